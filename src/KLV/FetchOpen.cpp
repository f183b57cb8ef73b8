// Opening a definition's source by its kind, the last step of Init: text files (separated or
// fixed-width), XML and JSON documents, FOLDER sets of files and "|" lists, and LIST
// definitions made of other definitions. INI sections open in FetchIni.cpp.

#include "KLV/Fetch.h"
#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fnmatch.h>
#include <system_error>

namespace {

constexpr const char* kAskFileName = "FETCH_ASK_FILENAME";
constexpr const char* kStructuredSeparator = "#,#";

// The "|"-separated names, in order (quotes are not respected).
void SplitFileList(const std::string& list, FetchTextArray& files)
{
    files.SetSize(0);
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = list.find('|', start);
        files.Add(list.substr(start, bar == std::string::npos ? bar : bar - start));
        if (bar == std::string::npos)
            return;
        start = bar + 1;
    }
}

// Files of the folder whose names match the wildcard pattern, in name order (the directory's
// own order is arbitrary). Windows patterns ignore case, so these do too.
std::vector<std::string> FindMatchingFiles(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!entry.is_regular_file(error))
            continue;
        const std::string name = entry.path().filename().string();
        if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (std::string& name : names)
        name = folder + name;
    return names;
}

// A "|"-separated list of files reads as a folder: its first file opens now, the others by name
// when the one before ends. Gives the first file.
std::string StartFileList(CFetch& fetch, const std::string& list)
{
    SplitFileList(list, fetch.m_arrFiles);
    fetch.m_nNextFile = 0;
    if (!fetch.m_strWhere.empty())
        fetch.m_strFolderWhere = fetch.m_strWhere;
    fetch.m_strCurrentFile = fetch.m_arrFiles[0];
    fetch.m_nKind = FETCH_KIND_FOLDER;
    return fetch.m_arrFiles[0];
}

// With COPY_FILES_TO_TMP the file is read from its copy in the temporary folder.
void UseTemporaryCopy(CFetch& fetch, std::string& name)
{
    fetch.ReadCopyToTemp();
    if (fetch.m_bCopyToTemp) {
        fetch.CopyToTemp(name);
        fetch.m_strCurrentFile = name;
    }
}

void ReadAsciiFormat(CFetch& fetch)
{
    fetch.m_strAsciiFormat = fetch.GetSetting("ASCIIFORMAT");
    if (fetch.m_strAsciiFormat.empty())
        fetch.m_strAsciiFormat = "WINDOWS";
}

} // namespace

int CFetch::OpenSource(const std::string& file, CAdoDB* connection,
                       CFetchConditionBuilder* conditionBuilder)
{
    switch (m_nKind) {
    case FETCH_KIND_FIXED:
        // One record made of expressions only: nothing to open.
        m_nRecord = 0;
        return 1;
    case FETCH_KIND_CALCULATED:
        return 1;
    case FETCH_KIND_ASCII:
        m_nFolderFileKind = FETCH_KIND_ASCII;
        return OpenTextFile(m_nMode, file);
    case FETCH_KIND_XML:
    case FETCH_KIND_JSON:
        m_nFolderFileKind = m_nKind;
        return OpenStructuredFile(m_nMode, file);
    case FETCH_KIND_FOLDER:
        return OpenFolder();
    case FETCH_KIND_INI:
        return OpenIni(m_nMode);
    case FETCH_KIND_LIST:
        return OpenList(m_nMode, conditionBuilder);
    case FETCH_KIND_DATABASE:
    case FETCH_KIND_SQL:
        return OpenDatabaseSource(connection); // FetchDatabase.cpp
    default:
        // The database kinds have no reader in this build.
        m_strLastError = "TYPE " + m_strType;
        TRV_TRACE(1, "CFetch::Init", "No se puede abrir el tipo %s (%s)", m_strType.c_str(),
                  m_strName.c_str());
        return 0;
    }
}

std::string CFetch::GetOpenMode(int mode)
{
    return mode == FETCH_MODE_READ ? "r" : "w";
}

void CFetch::ReadCopyToTemp()
{
    const std::string& value = GetSetting("COPY_FILES_TO_TMP");
    const char first = value.empty() ? '\0' : value[0];
    m_bCopyToTemp = first == 'Y' || first == 'y' || first == 'S' || first == 's';
}

void CFetch::CopyToTemp(std::string& path)
{
    const std::string folder = GetTempFolder(1);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string copy = folder + trv::GetPathFileName(path);
    if (m_nMode == FETCH_MODE_READ && CopyFileContents(path, copy) != 0)
        TRV_TRACE(1, "CFetch::CopyToTemp", "No se pudo copiar %s a %s", path.c_str(), copy.c_str());
    path = copy;
}

// Loads the name, or failing that the first loadable file of the list from m_nNextFile on.
int CFetch::LoadFirstLoadable(int mode, const std::string& name)
{
    if (LoadSourceFile(mode, name))
        return 1;
    for (int index = m_nNextFile; index < m_arrFiles.GetSize(); ++index) {
        std::string path = m_arrFiles[index];
        if (path == name)
            continue;
        if (m_bCopyToTemp)
            CopyToTemp(path);
        m_strCurrentFile = path;
        if (LoadSourceFile(mode, path)) {
            m_nNextFile = index;
            return 1;
        }
    }
    return 0;
}

// The steps every text, XML and JSON open ends with: separators, header, the WHERE.
int CFetch::FinishTextOpen(int mode)
{
    ReadStringSeparator();
    ReadListSeparator();
    ReadListsInSameLine();
    m_nRecord = 0;
    m_nGroupIndex = 0;
    m_arrGroupLines.RemoveAll();
    ReadHeader(mode);
    return PrepareWhere();
}

CFetchFilterSettings CFetch::GetFilterSettings(bool linePositions) const
{
    CFetchFilterSettings settings;
    settings.separator = m_strSeparator;
    settings.qualifier = m_strStringDelimiter;
    settings.decimalSeparator = m_strDecimalSeparator;
    if (!m_strDateFormat.empty())
        settings.dateFormat = m_strDateFormat;
    settings.linePositions = linePositions;
    return settings;
}

int CFetch::PrepareWhere()
{
    if (m_whereFilter.Parse(m_strWhere, GetFilterSettings(true), FetchFilterUse::Where))
        return 1;
    m_strLastError = ReportInvalidFilter(m_strName, "WHERE", m_strWhere, m_whereFilter.GetError());
    return 0;
}

int CFetch::OpenTextFile(int mode, const std::string& explicitFile)
{
    m_bHasCurrentRecord = 0;
    m_arrLines.RemoveAll();
    m_mapLineIndex.clear();
    std::string name;
    const bool resolved = ReadFileName(name) != 0;
    if (explicitFile.empty() && !resolved) {
        // No file and none to ask: an open definition without records or target.
        return FinishTextOpen(mode);
    }
    if (name.empty() || name == kAskFileName)
        name = explicitFile;
    if (name.find('|') != std::string::npos) {
        if (!explicitFile.empty() || m_nKind == FETCH_KIND_FOLDER) {
            name = explicitFile;
        } else {
            m_arrLineTypes.SetSize(0);
            name = StartFileList(*this, name);
        }
    }
    UseTemporaryCopy(*this, name);
    ReadAsciiFormat(*this);
    ReadLineTypes();
    if (!ReadFieldsSeparator())
        return 0;
    ReadKeyFields();
    if (!LoadFirstLoadable(mode, name)) {
        TRV_TRACE(1, "CFetch::OpenTextFile", "Error_Abrir_Archivo %s", name.c_str());
        if (m_strLastError.empty())
            m_strLastError = TranslateFormat("Error_Abrir_Archivo", name.c_str());
        return 0;
    }
    return FinishTextOpen(mode);
}

int CFetch::OpenStructuredFile(int mode, const std::string& explicitFile)
{
    m_bHasCurrentRecord = 0;
    m_arrLines.RemoveAll();
    m_mapColumns.clear();
    ReadAsciiFormat(*this);
    std::string name;
    const bool resolved = ReadFileName(name) != 0;
    if (explicitFile.empty() && !resolved)
        return 0;
    if (name.empty())
        name = explicitFile;
    // Split once: the following files of the list are opened by name.
    if (name.find('|') != std::string::npos && m_nKind != FETCH_KIND_FOLDER)
        name = StartFileList(*this, name);
    UseTemporaryCopy(*this, name);
    if (!ReadFieldsSeparator() && mode == FETCH_MODE_WRITE)
        return 0;
    ReadKeyFields();
    if (!LoadFirstLoadable(mode, name))
        return 0;
    return FinishTextOpen(mode);
}

int CFetch::LoadSourceFile(int mode, const std::string& path)
{
    const int fileKind = m_nKind == FETCH_KIND_FOLDER ? m_nFolderFileKind : m_nKind;
    if (mode == FETCH_MODE_CONSULT) {
        if (fileKind == FETCH_KIND_JSON)
            m_strOutputPath = path;
        return 1;
    }
    if (fileKind == FETCH_KIND_JSON && mode == FETCH_MODE_WRITE) {
        m_strOutputPath = path;
        return 1;
    }
    if ((fileKind == FETCH_KIND_JSON || fileKind == FETCH_KIND_XML) && mode == FETCH_MODE_READ) {
        m_strSeparator = kStructuredSeparator;
        m_strOutputPath = path;
        const int count = fileKind == FETCH_KIND_JSON ? ReadJsonFile(path) : ReadXmlFile(path);
        m_nRecordCount = count < 0 ? 0 : count;
        return count > 0;
    }

    m_pOutputFile.reset();
    m_strOutputPath = path;
    m_nRecord = 0;
    if (mode == FETCH_MODE_WRITE && !GetSetting("KEEP_FILE_IF_BLANK").empty())
        return 1;
    if (mode == FETCH_MODE_WRITE)
        return OpenOutputTarget();
    // Binary: the reader takes CR LF and LF alike.
    m_pOutputFile.reset(std::fopen(path.c_str(), "rb"));
    if (!m_pOutputFile)
        return 0;
    m_nRecordCount = ReadTextFile();
    return 1;
}

void CFetch::ReadHeader(int mode)
{
    m_nHeaderSize = trv::ParseInt(GetSetting("HEADERSIZE"));
    if (mode == FETCH_MODE_READ) {
        m_nRecord = m_nHeaderSize;
        return;
    }
    if (mode != FETCH_MODE_WRITE || m_nHeaderSize <= 0)
        return;

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string header = GetSetting("BUILD_HEADER");
    trv::ReplaceAllInPlace(header, "BUILD_DATE",
                           ToDateFormat(trv::FormatC("%02d%02d%04d", local.tm_mday,
                                                     local.tm_mon + 1, local.tm_year + 1900)));
    trv::ReplaceAllInPlace(header, "BUILD_TIME",
                           trv::FormatC("%02d:%02d", local.tm_hour, local.tm_min));
    trv::ReplaceAllInPlace(header, "FETCH_DATE", m_strDateArgument);

    const int fileKind = m_nKind == FETCH_KIND_FOLDER ? m_nFolderFileKind : m_nKind;
    if (fileKind == FETCH_KIND_JSON || fileKind == FETCH_KIND_XML) {
        m_strSeparator = ",";
        m_arrHeaderFields.SetSize(0);
        FetchTextArray names;
        AppendCommaItems(header, names);
        for (std::string name : names) {
            name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
            m_arrHeaderFields.Add(name);
        }
        return;
    }
    if (!m_pOutputFile && !OpenOutputTarget())
        return;
    for (int line = 0; line < m_nHeaderSize; ++line)
        std::fprintf(m_pOutputFile.get(), "%s\n", header.c_str());
}

int CFetch::OpenFolder()
{
    m_arrFiles.SetSize(0);
    m_nNextFile = 0;
    m_nFolderFileKind = FETCH_KIND_ASCII;
    BuildFolder();
    m_nRecord = 0;
    m_arrLines.RemoveAll();
    m_bHasCurrentRecord = 0;
    if (m_strFolder.empty() || m_strExtension.empty()) {
        TRV_TRACE(1, "CFetch::OpenFolder", "FOLDER o EXTENSION vacios (%s)", m_strName.c_str());
        return 0;
    }
    for (const std::string& path : FindMatchingFiles(m_strFolder, m_strExtension))
        m_arrFiles.Add(path);
    if (m_arrFiles.GetSize() == 0)
        return 1;
    if (!m_strWhere.empty())
        m_strFolderWhere = m_strWhere;
    m_arrLineTypes.SetSize(0);
    const std::string first = m_arrFiles[0];
    const int result = OpenTextFile(FETCH_MODE_READ, first);
    // A copy in the temporary folder, when one was made, stays the file being read.
    if (!m_bCopyToTemp)
        m_strCurrentFile = first;
    return result;
}

// ---- LIST definitions --------------------------------------------------------------------

int CFetch::ReadListSection()
{
    m_arrListChildren.SetSize(0);
    m_arrListChildrenCopy.SetSize(0);
    const std::string& list = GetSetting("LIST");
    if (list.empty()) {
        const std::string section = m_strName + "_FORMAT";
        m_strLastError =
            TranslateFormat("FormatNotFound", "LIST", section.c_str(), m_strDefinitionFile.c_str());
        trv::GetUserPrompt().ShowMessage("FormatNotFound", m_strLastError, trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::ReadListSection", "InitList, %s", m_strLastError.c_str());
        return 0;
    }
    AppendCommaItems(list, m_arrListChildren);
    AppendCommaItems(list, m_arrListChildrenCopy);
    return 1;
}

int CFetch::OpenList(int mode, CFetchConditionBuilder* conditionBuilder)
{
    if (m_bFollowLinks && !ReadListSection())
        return 0;
    m_bIsListReader = 1;
    m_strListFile = m_strFile;
    m_strListWhere = m_strWhere;
    m_strListWriteIf = m_strWriteIf;
    const std::string date = m_strDateArgument;
    const std::string range = m_strSchedulingRange;

    if (mode == FETCH_MODE_READ) {
        m_mapFormat.clear();
        m_nNextFile = 0;
        // The object becomes its first child that opens, in place.
        const FetchTextArray children = m_arrListChildren;
        const int followLinks = m_bFollowLinks;
        for (m_nCurrentChild = 0; m_nCurrentChild < children.GetSize(); ++m_nCurrentChild) {
            if (Init(children[m_nCurrentChild], date, range, FETCH_MODE_READ, m_strListFile,
                     m_strListWhere, m_strListWriteIf, followLinks))
                return 1;
            TRV_TRACE(1, "CFetch::OpenList", "No se pudo abrir %s",
                      children[m_nCurrentChild].c_str());
        }
        m_nCurrentChild = std::max(0, children.GetSize() - 1);
        return 0;
    }

    int result = 1;
    const FetchTextArray children = m_arrListChildren;
    for (const std::string& childName : children) {
        auto child = std::make_unique<CFetch>(nullptr, m_bDisabled);
        if (child->Init(childName, date, range, mode, m_strListFile, m_strListWhere,
                        m_strListWriteIf, 1, nullptr, "", "", conditionBuilder, 0, 0)) {
            m_arrChildren.push_back(std::move(child));
            continue;
        }
        // A child defined nowhere is simply not part of this installation's list.
        CFetch probe;
        if (probe.IsDefined(childName))
            result = 0;
    }
    return result;
}
