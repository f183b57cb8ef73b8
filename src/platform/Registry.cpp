#include "platform/Registry.h"

#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace trv {

namespace {

std::string SectionName(RegistryRoot root, std::string_view key)
{
    std::string name;
    switch (root) {
    case RegistryRoot::CurrentUser:
        name = "HKEY_CURRENT_USER";
        break;
    case RegistryRoot::LocalMachine:
        name = "HKEY_LOCAL_MACHINE";
        break;
    case RegistryRoot::ClassesRoot:
        name = "HKEY_CLASSES_ROOT";
        break;
    }
    std::string path(key);
    for (char& character : path) {
        if (character == '/')
            character = '\\';
    }
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return name + "\\" + path;
}

std::string ValueKey(std::string_view valueName)
{
    return valueName.empty() ? std::string("@") : std::string(valueName);
}

std::string EncodeValue(unsigned type, std::string_view data)
{
    if (type == kRegistryString || type == kRegistryExpandString) {
        std::string text(data);
        const std::size_t end = text.find('\0');
        if (end != std::string::npos)
            text.erase(end);
        return (type == kRegistryExpandString ? "expand:\"" : "\"") + text + "\"";
    }
    if (type == kRegistryNumber && data.size() == 4) {
        std::uint32_t number = 0;
        for (int index = 3; index >= 0; --index)
            number = (number << 8) | static_cast<unsigned char>(data[index]);
        return FormatC("dword:%08x", number);
    }
    std::string text = FormatC("hex(%u):", type);
    for (std::size_t index = 0; index < data.size(); ++index)
        text += FormatC(index ? ",%02x" : "%02x", static_cast<unsigned char>(data[index]));
    return text;
}

bool DecodeValue(std::string_view text, unsigned& type, std::string& data)
{
    data.clear();
    if (text.starts_with("expand:\"") && text.size() >= 9 && text.back() == '"') {
        type = kRegistryExpandString;
        data = std::string(text.substr(8, text.size() - 9));
        return true;
    }
    if (text.starts_with("dword:")) {
        const std::uint32_t number = static_cast<std::uint32_t>(
            std::strtoul(std::string(text.substr(6)).c_str(), nullptr, 16));
        type = kRegistryNumber;
        for (int index = 0; index < 4; ++index)
            data += static_cast<char>((number >> (8 * index)) & 0xFF);
        return true;
    }
    if (text.starts_with("hex(")) {
        const std::size_t close = text.find("):");
        if (close == std::string_view::npos)
            return false;
        type = static_cast<unsigned>(ParseInt(text.substr(4, close - 4)));
        std::string_view bytes = text.substr(close + 2);
        while (!bytes.empty()) {
            const std::size_t comma = bytes.find(',');
            const std::string byte(bytes.substr(0, comma));
            data += static_cast<char>(std::strtoul(byte.c_str(), nullptr, 16));
            if (comma == std::string_view::npos)
                break;
            bytes.remove_prefix(comma + 1);
        }
        return true;
    }
    type = kRegistryString;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    data = std::string(text);
    return true;
}

} // namespace

std::string GetRegistryFilePath()
{
    std::string folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        folder = config;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = JoinPath(home, ".config");
    else
        folder = "/tmp";
    return JoinPath(JoinPath(folder, "Trevantor"), "registry.ini");
}

bool ReadRegistry(RegistryRoot root, std::string_view key, std::string_view valueName,
                  unsigned& type, std::string& data)
{
    // The section's raw lines keep the quotes that tell a string from other data.
    std::vector<std::string> entries;
    if (!GetProfileSection(SectionName(root, key), GetRegistryFilePath(), entries))
        return false;
    const std::string wanted = ValueKey(valueName);
    for (const std::string& entry : entries) {
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos && EqualsNoCase(entry.substr(0, equals), wanted))
            return DecodeValue(std::string_view(entry).substr(equals + 1), type, data);
    }
    return false;
}

bool WriteRegistry(RegistryRoot root, std::string_view key, std::string_view valueName,
                   unsigned type, std::string_view data)
{
    const std::string path = GetRegistryFilePath();
    std::error_code error;
    std::filesystem::create_directories(GetPathFolder(path), error);
    return WriteProfileString(SectionName(root, key), ValueKey(valueName), EncodeValue(type, data),
                              path);
}

} // namespace trv
