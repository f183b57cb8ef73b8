#include "platform/Path.h"

#include "platform/Text.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace trv {

namespace {

bool IsSeparator(char character)
{
    return character == '/' || character == '\\';
}

std::vector<std::string_view> SplitComponents(std::string_view path)
{
    std::vector<std::string_view> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        if (end > start)
            components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// The entry of `folder` whose name equals `name` ignoring case; empty when none.
std::string FindEntryNoCase(const std::string& folder, std::string_view name)
{
    std::error_code error;
    std::filesystem::directory_iterator entries(folder.empty() ? "." : folder, error);
    if (error)
        return {};
    for (const auto& entry : entries) {
        std::string entryName = entry.path().filename().string();
        if (EqualsNoCase(entryName, name))
            return entryName;
    }
    return {};
}

} // namespace

std::string NormalizePath(std::string_view path)
{
    if (path.empty())
        return {};
    const bool absolute = IsSeparator(path.front());
    const bool folder = IsSeparator(path.back());
    std::vector<std::string_view> kept;
    for (std::string_view component : SplitComponents(path)) {
        if (component == ".")
            continue;
        if (component == ".." && !kept.empty() && kept.back() != "..") {
            kept.pop_back();
            continue;
        }
        if (component == ".." && absolute)
            continue; // nothing above the root
        kept.push_back(component);
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t index = 0; index < kept.size(); ++index) {
        if (index > 0)
            out += '/';
        out += kept[index];
    }
    if (folder && !kept.empty())
        out += '/';
    if (out.empty())
        out = ".";
    return out;
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    if (IsAbsolutePath(name) || folder.empty())
        return NormalizePath(name);
    if (name.empty())
        return NormalizePath(folder);
    std::string joined(folder);
    joined += '/';
    joined += name;
    return NormalizePath(joined);
}

bool IsAbsolutePath(std::string_view path)
{
    return !path.empty() && IsSeparator(path.front());
}

std::string GetPathFileName(std::string_view path)
{
    const std::size_t last = path.find_last_of("/\\");
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string GetPathFolder(std::string_view path)
{
    const std::size_t last = path.find_last_of("/\\");
    if (last == std::string_view::npos)
        return {};
    return NormalizePath(path.substr(0, last + 1));
}

std::string ReplaceFinalExtension(std::string_view path, std::string_view extension,
                                  std::string_view replacement)
{
    if (path.size() < extension.size() ||
        !EqualsNoCase(path.substr(path.size() - extension.size()), extension))
        return {};
    std::string replaced(path.substr(0, path.size() - extension.size()));
    replaced += replacement;
    return replaced;
}

std::string FindPathNoCase(std::string_view path)
{
    const std::string normalized = NormalizePath(path);
    if (normalized.empty())
        return {};
    if (Exists(normalized))
        return normalized;
    const bool absolute = IsAbsolutePath(normalized);
    std::string found = absolute ? "/" : "";
    bool first = true;
    for (std::string_view component : SplitComponents(normalized)) {
        std::string candidate = found;
        if (!first)
            candidate += '/';
        std::string exact = candidate + std::string(component);
        if (component == ".." || Exists(exact)) {
            found = std::move(exact);
        } else {
            std::string entry = FindEntryNoCase(found, component);
            if (entry.empty())
                return {};
            found = candidate + entry;
        }
        first = false;
    }
    if (normalized.back() == '/')
        found += '/';
    return found;
}

std::string ResolvePathCase(std::string_view path)
{
    std::string found = FindPathNoCase(path);
    return found.empty() ? NormalizePath(path) : found;
}

} // namespace trv
