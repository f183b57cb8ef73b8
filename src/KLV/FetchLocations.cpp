// Where a definition's records are: the file name (asked, built, relative to the definitions
// file or given by the caller), the folder and pattern of FOLDER sources.

#include "KLV/Fetch.h"
#include "KLV/Folders.h"
#include "KLV/Translate.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

constexpr const char* kAskFileName = "FETCH_ASK_FILENAME";
constexpr const char* kBuildFileName = "FETCH_BUILD_FILENAME";
constexpr const char* kCustomDataIni = "FILE(CUSTOM_DATAINI)";
constexpr std::size_t kCopyBlockBytes = 32768;

// Characters a file name cannot hold, replaced by the escape text.
std::string EscapeNameCharacters(const std::string& text, const std::string& escape)
{
    std::string result;
    result.reserve(text.size());
    for (const char character : text) {
        if (character == '/' || character == '*' || character == '?' || character == '\\')
            result += escape;
        else
            result += character;
    }
    return result;
}

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

namespace {

// Copies the source's bytes onto the target opened with `mode` ("wb" replaces, "ab" appends).
int CopyFileBytes(const std::string& sourcePath, const std::string& targetPath, const char* mode)
{
    FilePtr source(std::fopen(sourcePath.c_str(), "rb"));
    if (!source)
        return -1;
    FilePtr target(std::fopen(targetPath.c_str(), mode));
    if (!target)
        return -2;
    std::unique_ptr<char[]> block(new char[kCopyBlockBytes]);
    for (;;) {
        const std::size_t read = std::fread(block.get(), 1, kCopyBlockBytes, source.get());
        if (read > 0 && std::fwrite(block.get(), 1, read, target.get()) != read)
            return -1;
        if (read < kCopyBlockBytes)
            break;
    }
    if (std::ferror(source.get()))
        return -1;
    return std::fclose(target.release()) == 0 ? 0 : -1;
}

} // namespace

int CopyFileContents(const std::string& sourcePath, const std::string& targetPath)
{
    return CopyFileBytes(sourcePath, targetPath, "wb");
}

int AppendFileToFile(const std::string& source, const std::string& target)
{
    return CopyFileBytes(source, target, "ab");
}

int CFetch::CopyTemplateFile(const std::string& templatePath, const std::string& targetPath)
{
    const std::string path = trv::FindPathNoCase(ResolveRelative(templatePath));
    if (path.empty())
        return -3;
    return CopyFileContents(path, targetPath);
}

std::string CFetch::BuildName(const std::string& pattern, bool escapeValues) const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string date =
        trv::FormatC("%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    std::string time = trv::FormatC("%02d%02d%02d", local.tm_hour, local.tm_min, local.tm_sec);
    std::string fetchDate = ToDateFormat(m_strDateArgument);
    // A date format such as DD/MM/YYYY must not turn a file name into folders.
    if (escapeValues)
        fetchDate = EscapeNameCharacters(fetchDate, m_strFileNameEscape);
    std::string name = pattern;
    trv::ReplaceAllInPlace(name, "BUILD_DATE", date);
    trv::ReplaceAllInPlace(name, "BUILD_TIME", time);
    trv::ReplaceAllInPlace(name, "FETCH_DATE", fetchDate);
    return name;
}

void CFetch::BuildExtension()
{
    m_strExtension = GetSetting("EXTENSION");
    if (m_strExtension == "FETCH_BUILD_EXTENSION")
        m_strExtension = BuildName(GetSetting("BUILD_EXTENSION_NAME"), false);
}

void CFetch::BuildFolder()
{
    std::string folder = GetSetting("FOLDER");
    if (folder == "FETCH_BUILD_FOLDER")
        folder = BuildName(GetSetting("BUILD_FOLDER_NAME"), false);
    // An empty setting stays empty (the open then fails) instead of naming the root folder.
    if (folder.empty()) {
        m_strFolder.clear();
        return;
    }
    folder = ResolveRelative(folder);
    if (folder.back() != '/')
        folder += '/';
    m_strFolder = folder;
}

void CFetch::SanitizeFileName(std::string& path) const
{
    // A path written on Windows separates folders with "\\" only, and a "/" after the last one
    // belongs to the name (a date, say); else "/" is the separator.
    const std::size_t separator =
        path.find('\\') != std::string::npos ? path.rfind('\\') : path.rfind('/');
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    path = path.substr(0, nameStart) +
           EscapeNameCharacters(path.substr(nameStart), m_strFileNameEscape);
}

void CFetch::ResolveCustomDataIni(std::string& path) const
{
    if (path != kCustomDataIni)
        return;
    const std::string customFile = GetCustomDataIniPath();
    if (!customFile.empty())
        path = customFile;
}

std::string CFetch::ResolveRelative(const std::string& path) const
{
    if (path.empty() || path == kAskFileName)
        return path;
    const std::string folder = trv::GetPathFolder(m_strDefinitionFile);
    // Each name of a "|" list on its own, so every one of them is found.
    std::string result;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = path.find('|', start);
        const std::string item = path.substr(start, bar == std::string::npos ? bar : bar - start);
        if (!result.empty() || start > 0)
            result += '|';
        if (!item.empty()) {
            std::string resolved = trv::IsAbsolutePath(trv::NormalizePath(item))
                                       ? trv::NormalizePath(item)
                                       : trv::JoinPath(folder, item);
            result += trv::ResolvePathCase(resolved);
        }
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return result;
}

std::string CFetch::GetDownloadFileName() const
{
    const std::string& sharedFolder = GetSetting("CARPETA_TEMPORAL");
    if (sharedFolder.empty())
        return GetTempFolder(1) + m_strName + ".tmp";
    // A folder other programs use too: the process id keeps two running programs apart.
    return trv::JoinPath(sharedFolder, m_strName + "." + std::to_string(getpid()) + ".tmp");
}

bool CFetch::AskFileName()
{
    std::string extension = GetSetting("DEFAULT_FILENAME_EXT");
    if (extension.empty()) {
        if (m_strType == "EXCEL")
            extension = "xls";
        else if (m_strType == "JSON")
            extension = "json";
        else if (m_strType == "XML")
            extension = "xml";
        else
            extension = "txt";
    }
    extension = trv::ToUpper(extension);
    trv::FileChoiceRequest request;
    request.save = true;
    request.filter = "Archivo " + extension + " (*." + extension + ")|*." + extension +
                     "|Todos los archivos (*.*)|*.*||";
    request.defaultPath = GetSetting("DEFAULT_FILENAME");
    std::string chosen;
    if (!trv::GetUserPrompt().ChooseFile(request, chosen) || chosen.empty())
        return false;
    // The save dialog's default extension: a name typed without one gets it.
    if (trv::GetPathFileName(chosen).find('.') == std::string::npos)
        chosen += "." + trv::ToLower(extension);
    m_strFile = chosen;
    return true;
}

int CFetch::ReadFileName(std::string& path)
{
    enum class Origin
    {
        Given,
        Asked,
        Built,
    };
    m_nDownload = FetchDownload::None;
    if (const std::string& fileName = GetSetting("FILENAME"); !fileName.empty()) {
        m_strFile = fileName;
    } else if (const std::string& urlGet = GetSetting("URL_GET"); !urlGet.empty()) {
        m_strFile = urlGet;
        m_nDownload = FetchDownload::Get;
    } else if (const std::string& urlPost = GetSetting("URL_POST"); !urlPost.empty()) {
        m_strFile = urlPost;
        m_nDownload = FetchDownload::Post;
    }

    const bool writing = m_nMode == FETCH_MODE_WRITE;
    Origin origin = Origin::Given;
    if (m_strFile == kAskFileName) {
        if (writing) {
            if (!AskFileName())
                return 0;
            origin = Origin::Asked;
        } else if (const auto found = m_mapFormat.find("DEFAULT_FILENAME");
                   found != m_mapFormat.end()) {
            m_strFile = found->second;
        }
    } else if (m_strFile == kBuildFileName) {
        m_strFile =
            BuildName(GetSetting("BUILD_FILENAME_NAME"), true) + GetSetting("BUILD_FILENAME_EXT");
        origin = Origin::Built;
    }
    ResolveCustomDataIni(m_strFile);

    if (m_nDownload != FetchDownload::None && m_nMode == FETCH_MODE_READ && !DownloadSource())
        return 0;

    if (m_nDownload == FetchDownload::None)
        m_strFile = ResolveRelative(m_strFile);
    if (m_nKind == FETCH_KIND_INI) {
        if (m_strFile.empty())
            m_strFile = m_strDefinitionFile;
        path = m_strFile;
    } else {
        m_strTmpFileName = ResolveRelative(GetSetting("TMP_FILENAME"));
        path = m_strTmpFileName.empty() ? m_strFile : m_strTmpFileName;
    }
    m_strDestinationFolder = GetSetting("DESTINATION_FOLDER");
    if (path != kAskFileName)
        SanitizeFileName(path);

    // The template goes onto the resolved target, wherever the process's current folder is.
    const std::string& templatePath = GetSetting("PLANTILLA_EXCEL");
    if (writing && !templatePath.empty() && !m_strFile.empty() && m_strFile != kAskFileName &&
        (origin == Origin::Given || m_strType == "EXCEL"))
        CopyTemplateFile(templatePath, m_strFile);

    if (path.empty() && m_nKind != FETCH_KIND_SQL) {
        const std::string section = m_strName + "_FORMAT";
        m_strLastError = TranslateFormat("FormatNotFound", "FILENAME", section.c_str(),
                                         m_strDefinitionFile.c_str());
        return 0;
    }
    return 1;
}
