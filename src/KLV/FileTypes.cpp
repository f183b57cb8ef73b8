#include "KLV/FileTypes.h"

#include "KLV/Folders.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::string RegistryKey(const std::string& key, bool fullKey)
{
    return fullKey ? key : "software\\" + key;
}

std::string DataHome()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return data;
    const char* home = std::getenv("HOME");
    return trv::JoinPath(home && *home ? home : "/tmp", ".local/share");
}

// The data folders searched after the user's: $XDG_DATA_DIRS, by default the system's.
std::vector<std::string> DataFolders()
{
    std::vector<std::string> folders{DataHome()};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    std::stringstream stream(list);
    for (std::string folder; std::getline(stream, folder, ':');) {
        if (!folder.empty())
            folders.push_back(folder);
    }
    return folders;
}

// A name safe as a file name and inside a MIME type.
std::string Slug(const std::string& text)
{
    std::string slug;
    for (char character : text) {
        const bool keep = (character >= 'a' && character <= 'z') ||
                          (character >= '0' && character <= '9') || character == '-';
        if (character >= 'A' && character <= 'Z')
            slug += static_cast<char>(character - 'A' + 'a');
        else
            slug += keep ? character : '-';
    }
    return slug;
}

bool WriteText(const std::string& path, const std::string& text)
{
    std::error_code error;
    std::filesystem::create_directories(trv::GetPathFolder(path), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string FirstLine(const std::string& text)
{
    return std::string(trv::Trim(text.substr(0, text.find('\n'))));
}

// The MIME type of the extension from the shared MIME database (heaviest glob wins).
std::string MimeTypeOfExtension(const std::string& extension)
{
    const std::string pattern = "*" + extension;
    std::string best;
    int bestWeight = -1;
    for (const std::string& folder : DataFolders()) {
        std::ifstream globs(trv::JoinPath(folder, "mime/globs2"));
        for (std::string line; std::getline(globs, line);) {
            if (line.empty() || line.front() == '#')
                continue;
            const std::size_t first = line.find(':');
            const std::size_t second = line.find(':', first + 1);
            if (first == std::string::npos || second == std::string::npos)
                continue;
            std::string glob = line.substr(second + 1);
            glob = glob.substr(0, glob.find(':'));
            const int weight = trv::ParseInt(line.substr(0, first));
            if (weight > bestWeight && trv::EqualsNoCase(glob, pattern)) {
                bestWeight = weight;
                best = line.substr(first + 1, second - first - 1);
            }
        }
        if (!best.empty())
            return best;
    }
    return best;
}

std::string DefaultDesktopEntry(const std::string& mimeType)
{
    std::string output;
    if (!trv::CaptureProcessOutput({"xdg-mime", "query", "default", mimeType}, output))
        return {};
    return FirstLine(output);
}

// The Exec line of the desktop entry, searched in the data folders.
std::string DesktopExec(const std::string& desktopId)
{
    for (const std::string& folder : DataFolders()) {
        const std::string path = trv::JoinPath(folder, "applications/" + desktopId);
        std::vector<std::string> entries;
        if (!trv::GetProfileSection("Desktop Entry", path, entries))
            continue;
        for (const std::string& entry : entries) {
            if (entry.starts_with("Exec="))
                return entry.substr(5);
        }
    }
    return {};
}

// The open command with the file put in: in place of the file placeholders (bare when the
// placeholder is already quoted), or quoted after the command when it has none.
std::string CommandForFile(std::string command, const std::string& file)
{
    bool placed = false;
    std::string result;
    for (std::size_t index = 0; index < command.size(); ++index) {
        if (command[index] != '%' || index + 1 >= command.size()) {
            result += command[index];
            continue;
        }
        const char code = command[++index];
        if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
            const bool quoted = index >= 2 && command[index - 2] == '"' &&
                                index + 1 < command.size() && command[index + 1] == '"';
            result += quoted ? file : "\"" + file + "\"";
            placed = true;
        } else if (code == '%') {
            result += '%';
        }
        // Other field codes (%i, %c, %k ...) stand for nothing here.
    }
    result = std::string(trv::Trim(result));
    if (!placed)
        result += " \"" + file + "\"";
    return result;
}

} // namespace

bool QueryRegistryValue(trv::RegistryRoot root, const std::string& key,
                        const std::string& valueName, unsigned& type, std::string& data,
                        bool fullKey)
{
    return trv::ReadRegistry(root, RegistryKey(key, fullKey), valueName, type, data);
}

bool ReadRegistryValue(trv::RegistryRoot root, const std::string& key, const std::string& valueName,
                       std::string& value, bool fullKey)
{
    unsigned type = 0;
    return QueryRegistryValue(root, key, valueName, type, value, fullKey);
}

bool WriteRegistryValue(const std::string& key, const std::string& valueName,
                        const std::string& data, bool fullKey, unsigned type)
{
    return trv::WriteRegistry(trv::RegistryRoot::CurrentUser, RegistryKey(key, fullKey), valueName,
                              type, data);
}

bool WriteRegistryInt(const std::string& key, const std::string& valueName, int value)
{
    return WriteRegistryValue(key, valueName, trv::FormatC("%d", value));
}

bool RegisterDocumentFileType(const std::string& fileTypeId, const std::string& description,
                              const std::string& extension, const std::string& iconFile,
                              int /*iconIndex*/)
{
    const std::string slug = Slug(fileTypeId);
    const std::string mimeType = "application/x-" + slug;
    const std::string pattern = "*" + (extension.starts_with(".") ? extension : "." + extension);
    const std::string dataHome = DataHome();
    const std::string executable = trv::GetExecutablePath();

    const std::string mimeXml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        mimeType +
        "\">\n"
        "    <comment>" +
        trv::XmlEscape(description) +
        "</comment>\n"
        "    <glob pattern=\"" +
        trv::XmlEscape(pattern) +
        "\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n";
    const bool hasIcon = iconFile.find(".ico") != std::string::npos ||
                         iconFile.find(".png") != std::string::npos ||
                         iconFile.find(".svg") != std::string::npos;
    const std::string desktop = "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Name=" +
                                description +
                                "\n"
                                "Exec=\"" +
                                executable +
                                "\" %f\n"
                                "MimeType=" +
                                mimeType +
                                ";\n"
                                "Icon=" +
                                (hasIcon ? iconFile : GetExeBaseName()) +
                                "\n"
                                "NoDisplay=true\n";
    const std::string desktopId = slug + ".desktop";
    if (!WriteText(trv::JoinPath(dataHome, "mime/packages/" + slug + ".xml"), mimeXml) ||
        !WriteText(trv::JoinPath(dataHome, "applications/" + desktopId), desktop))
        return false;

    std::string output;
    trv::CaptureProcessOutput({"update-mime-database", trv::JoinPath(dataHome, "mime")}, output);
    // A type another program already opens stays with that program.
    const std::string current = DefaultDesktopEntry(mimeType);
    if (current.empty())
        trv::CaptureProcessOutput({"xdg-mime", "default", desktopId, mimeType}, output);
    return true;
}

std::string GetAssociatedProgram(const std::string& file)
{
    std::string mimeType;
    if (trv::ToUpper(file.substr(0, 4)) == "HTTP") {
        mimeType = "text/html";
    } else {
        const std::string name = trv::GetPathFileName(file);
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos)
            mimeType = MimeTypeOfExtension(name.substr(dot));
    }
    if (mimeType.empty())
        return {};
    const std::string desktopId = DefaultDesktopEntry(mimeType);
    if (desktopId.empty())
        return {};
    const std::string command = DesktopExec(desktopId);
    if (command.empty())
        return {};
    return CommandForFile(command, file);
}

void OpenWithAssociatedProgram(const std::string& file, int showMode, const std::string& arguments,
                               bool wait)
{
    std::string command = GetAssociatedProgram(file);
    if (command.empty())
        command = "xdg-open \"" + file + "\"";
    RunProgram(showMode, NORMAL_PRIORITY_CLASS, command, arguments, wait);
}
