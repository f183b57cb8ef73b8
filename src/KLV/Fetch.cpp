#include "KLV/Fetch.h"

#include "KLV/AppGlobals.h"
#include "KLV/Folders.h"
#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/UserPrompt.h"

#include <mutex>

namespace {

constexpr int kSettingsBuckets = 101;
constexpr int kFieldBuckets = 1201;
constexpr int kChildIndexBuckets = 11;
constexpr const char* kWhereJoint = "  AND  ";

// The process-wide definitions file and the company override path, shared by every CFetch.
struct DefinitionFiles
{
    std::mutex lock;
    std::string dataIniFile;
    std::string customDataKey; // program folder and alias the custom path was worked out for
    std::string customDataPath;
};

DefinitionFiles& SharedFiles()
{
    static DefinitionFiles files;
    return files;
}

const std::string kEmpty;

// A file named by [INCLUDE] or [OVERWRITE] "FILE"; a relative name is taken from the folder of
// the file that names it.
std::string ReadSideFile(const std::string& section, const std::string& namingFile)
{
    const std::string value = ReadIniString(section, "FILE", namingFile, "");
    if (value.empty())
        return value;
    return trv::ResolvePathCase(trv::JoinPath(trv::GetPathFolder(namingFile), value));
}

// True when the file has any entry in the section.
bool HasSectionEntries(const std::string& section, const std::string& file)
{
    std::vector<std::string> entries;
    return trv::GetProfileSection(section, file, entries) && !entries.empty() &&
           !entries.front().empty();
}

void AppendRawSection(FetchRawSection& buffer, const std::string& section, const std::string& file)
{
    if (file.empty())
        return;
    std::vector<std::string> entries;
    if (!trv::GetProfileSection(section, file, entries))
        return;
    for (std::string& entry : entries)
        buffer.Add(entry);
}

} // namespace

// ---- Construction ------------------------------------------------------------------------

CFetch::CFetch(CFetch* parent, int disabled) : m_bDisabled(disabled), m_pParent(parent)
{
    m_strInitialDefinitionFile = parent ? parent->m_strDefinitionFile : std::string();
    m_strDefinitionFile =
        m_strInitialDefinitionFile.empty() ? GetDataIniFile() : m_strInitialDefinitionFile;
}

CFetch::~CFetch()
{
    Close();
}

void CFetch::DeleteFetch(CFetch* fetch)
{
    delete fetch;
}

// ---- Definition files --------------------------------------------------------------------

void CFetch::SetDataIniFile(const std::string& fileNamesIni)
{
    const std::string value = ReadIniString("FileNames", "DataIniFile", fileNamesIni, "");
    const std::string name = value.empty() ? std::string("Data.ini") : value;
    const std::string path = trv::ResolvePathCase(trv::JoinPath(GetExeFolder(), name));
    DefinitionFiles& files = SharedFiles();
    std::lock_guard guard(files.lock);
    files.dataIniFile = path;
}

std::string CFetch::GetDataIniFile()
{
    DefinitionFiles& files = SharedFiles();
    {
        std::lock_guard guard(files.lock);
        if (!files.dataIniFile.empty())
            return files.dataIniFile;
    }
    return trv::ResolvePathCase(GetExeFolder() + "Data.ini");
}

std::string CFetch::GetCustomDataIniPath()
{
    const std::string folder = GetExeFolder();
    const std::string alias = trv::GetCompanyAlias();
    const std::string key = folder + '\n' + alias;
    DefinitionFiles& files = SharedFiles();
    std::lock_guard guard(files.lock);
    if (files.customDataKey == key && !files.customDataPath.empty())
        return files.customDataPath;
    const std::string companyFolder = alias.empty() ? folder : folder + alias + "/";
    std::string path = trv::FindPathNoCase(companyFolder + "Configuration/CustomData.ini");
    if (path.empty())
        path = trv::ResolvePathCase(companyFolder + "CustomData.ini");
    files.customDataKey = key;
    files.customDataPath = path;
    return path;
}

void CFetch::ResetDefinitionFiles()
{
    DefinitionFiles& files = SharedFiles();
    std::lock_guard guard(files.lock);
    files.dataIniFile.clear();
    files.customDataKey.clear();
    files.customDataPath.clear();
}

int CFetch::SelectDefinitionFile(const std::string& explicitFile, std::string& includeFile,
                                 std::string& overwriteFile)
{
    if (!explicitFile.empty()) {
        m_strDefinitionFile = trv::ResolvePathCase(explicitFile);
        includeFile = ReadSideFile("INCLUDE", m_strDefinitionFile);
        overwriteFile = ReadSideFile("OVERWRITE", m_strDefinitionFile);
        return 1;
    }
    // Start again from the object's own file: an earlier Init of the same object may have
    // chosen the company file or an explicit one.
    m_strDefinitionFile =
        m_strInitialDefinitionFile.empty() ? GetDataIniFile() : m_strInitialDefinitionFile;
    includeFile.clear();
    overwriteFile.clear();

    const std::string formatSection = m_strName + "_FORMAT";
    const std::string customFile = GetCustomDataIniPath();
    if (!customFile.empty()) {
        includeFile = ReadSideFile("INCLUDE", customFile);
        overwriteFile = ReadSideFile("OVERWRITE", customFile);
        if (HasSectionEntries(formatSection, customFile)) {
            m_strDefinitionFile = customFile;
            return 1;
        }
        if (!includeFile.empty() && HasSectionEntries(formatSection, includeFile)) {
            m_strDefinitionFile = includeFile;
            return 1;
        }
    }
    return ReadIniString(formatSection, "TYPE", m_strDefinitionFile, "").empty() ? 0 : 1;
}

FetchTextArray CFetch::GetDefinitionFiles() const
{
    const std::string customFile = GetCustomDataIniPath();
    FetchTextArray chain;
    auto append = [&chain](const std::string& file) {
        if (!file.empty() && chain.Find(file) < 0)
            chain.Add(file);
    };
    append(m_strOverwriteFile);
    append(customFile);
    append(m_strIncludeFile);
    append(m_strDefinitionFile == customFile ? GetDataIniFile() : m_strDefinitionFile);
    return chain;
}

void CFetch::ReadChainSection(FetchTextMap& result, const std::string& section, int hashSize,
                              bool keepExisting, const FetchTextMap& constants) const
{
    ReadIniSection(GetDefinitionFiles(), result, section, hashSize, keepExisting, constants);
}

// ---- Init --------------------------------------------------------------------------------

int CFetch::Init(const std::string& name, const std::string& date,
                 const std::string& schedulingRange, int mode, const std::string& file,
                 const std::string& extraWhere, const std::string& extraWriteIf, int followLinks,
                 CAdoDB* connection, const std::string& connectionString,
                 const std::string& definitionFile, CFetchConditionBuilder* conditionBuilder,
                 int noOpen, int ignoreFile)
{
    m_bInitialised = 0;
    m_nMode = mode;
    m_bFollowLinks = followLinks;
    m_strFile = file;
    m_strConnectionString = connectionString;
    m_strName = name;
    m_strDateArgument = date;
    m_strSchedulingRange = schedulingRange;
    m_mapFieldCache.clear();
    m_mapFieldCache.reserve(kSettingsBuckets);
    m_nCacheHits = 0;
    m_nCacheMisses = 0;
    m_bNoFieldCache = 0;

    if (m_bDisabled)
        return 1;

    if (!SelectDefinitionFile(definitionFile, m_strIncludeFile, m_strOverwriteFile))
        return 0;

    ReadChainSection(m_mapConstants, "CONST_VALUES", kSettingsBuckets, false, FetchTextMap());
    ReadChainSection(m_mapFormat, name + "_FORMAT", kSettingsBuckets, false, m_mapConstants);
    m_bFieldsClassified = 0; // the field lines are classified again for these settings

    m_strModeSetting = GetSetting("MODE");
    if (mode == FETCH_MODE_READ && m_strModeSetting == "WRITE")
        return 0;

    if (!ReadType()) {
        TRV_TRACE(1, "CFetch::Init", "No Read Type");
        return 0;
    }
    ReadFieldSection();

    if (m_bFollowLinks) {
        m_arrChildren.clear();
        m_mapChildIndex.clear();
        m_mapChildIndex.reserve(kChildIndexBuckets);
    }

    m_strOwnWhere = GetSetting("WHERE");
    m_strWhere = JoinConditions(m_strOwnWhere, extraWhere);
    m_strWriteIf = JoinConditions(GetSetting("WRITE_IF"), extraWriteIf);
    if (mode == FETCH_MODE_WRITE)
        BuildWriteIf(m_strWriteIf, conditionBuilder);

    // Emptied first: an object initialised again (a LIST reader moving to its next child)
    // must not carry the requirements of the definition before.
    m_arrRequirements.SetSize(0);
    AppendCommaItems(GetSetting("REQUIREMENTS"), m_arrRequirements);
    m_arrSources.SetSize(0);
    AppendCommaItems(GetSetting("SOURCE"), m_arrSources);

    AskQuestion();

    if (!GetSpecialFormats(m_strIncludeFile))
        return 0;
    BuildExtension();

    m_strPreSql = GetSetting("PRE_EXECUTE_SQL_SENTENCE");
    m_strPostSql = GetSetting("POST_EXECUTE_SQL_SENTENCE");
    m_strPostCommand = GetSetting("POST_EXECUTE_COMMAND");
    m_strPostConcatFiles = GetSetting("POST_CONCAT_FILES");
    ReadListSeparator();
    ReadVariablesSection(m_bufVariables, "_VARIABLES");
    ReadVariablesSection(m_bufOrderLineVariables, "_ORDERLINES_VARIABLES");

    int result = 1;
    if (!noOpen) {
        result = OpenSource(ignoreFile ? std::string() : file, connection, conditionBuilder);
        const std::string& description = GetSetting("DESCRIPTION");
        const std::size_t comma = description.find(',');
        m_strErrorText = description.substr(0, comma);
        m_strDescription =
            comma == std::string::npos ? std::string() : description.substr(comma + 1);
    }
    m_bInitialised = 1;
    return result;
}

std::string CFetch::JoinConditions(const std::string& own, const std::string& extra)
{
    if (extra.empty())
        return own;
    if (own.empty())
        return extra;
    return own + kWhereJoint + extra;
}

int CFetch::IsDefined(const std::string& name)
{
    m_strName = name;
    std::string includeFile;
    std::string overwriteFile;
    return SelectDefinitionFile("", includeFile, overwriteFile);
}

void CFetch::AskQuestion()
{
    m_strAskQuestion = GetSetting("FETCH_ASK");
    m_strAskAnswer.clear();
    if (m_strAskQuestion.empty())
        return;
    std::string answer;
    if (trv::GetUserPrompt().AskText("FetchAskValue", m_strAskQuestion, answer))
        m_strAskAnswer = answer;
}

// ---- Settings ----------------------------------------------------------------------------

void CFetch::AppendCommaItems(const std::string& text, FetchTextArray& items)
{
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            items.Add(text.substr(start));
            return;
        }
        items.Add(text.substr(start, comma - start));
        start = comma + 1;
    }
}

const std::string& CFetch::GetSetting(const std::string& key) const
{
    const auto found = m_mapFormat.find(key);
    return found == m_mapFormat.end() ? kEmpty : found->second;
}

int CFetch::KindOfType(const std::string& type)
{
    struct TypeKind
    {
        const char* word;
        int kind;
    };
    static constexpr TypeKind kKinds[] = {
        {"ASCII", FETCH_KIND_ASCII},
        {"DATABASE", FETCH_KIND_DATABASE},
        {"FIXED", FETCH_KIND_FIXED},
        {"LIST", FETCH_KIND_LIST},
        {"INI", FETCH_KIND_INI},
        {"INI_OVERWRITE", FETCH_KIND_INI},
        {"SQL", FETCH_KIND_SQL},
        {"EXCEL", FETCH_KIND_SQL},
        {"ORACLE", FETCH_KIND_SQL},
        {"MYSQL", FETCH_KIND_SQL},
        {"NAV", FETCH_KIND_SQL},
        {"PROGRESS", FETCH_KIND_SQL},
        {"INFORMIX", FETCH_KIND_SQL},
        {"FOLDER", FETCH_KIND_FOLDER},
        {"FETCH_CALCULATED", FETCH_KIND_CALCULATED},
        {"XML", FETCH_KIND_XML},
        {"JSON", FETCH_KIND_JSON},
    };
    for (const TypeKind& entry : kKinds)
        if (type == entry.word)
            return entry.kind;
    return FETCH_KIND_UNKNOWN;
}

int CFetch::ReadType()
{
    const std::string section = m_strName + "_FORMAT";
    m_strType = GetSetting("TYPE");
    if (m_strType.empty()) {
        m_strLastError =
            TranslateFormat("FormatNotFound", "TYPE", section.c_str(), m_strDefinitionFile.c_str());
        TRV_TRACE(1, "CFetch::ReadType", "ReadType, %s", m_strLastError.c_str());
        return 0;
    }
    m_nKind = KindOfType(m_strType);
    if (m_nKind != FETCH_KIND_UNKNOWN)
        return 1;
    m_strLastError = TranslateFormat("DataTypeNotFound", m_strName.c_str(), section.c_str(),
                                     m_strDefinitionFile.c_str());
    trv::GetUserPrompt().ShowMessage("DataTypeNotFound", m_strLastError, trv::MessageKind::Error);
    TRV_TRACE(1, "CFetch::ReadType", "ReadType, %s", m_strLastError.c_str());
    return 0;
}

void CFetch::ReadFieldSection()
{
    m_strIncludeSection = GetSetting("INCLUDE_SECTION");
    if (m_nKind == FETCH_KIND_LIST)
        return;
    // The included lines first; the definition's own lines replace those of the same name.
    if (!m_strIncludeSection.empty())
        ReadChainSection(m_mapFields, m_strIncludeSection, kFieldBuckets, false, m_mapConstants);
    ReadChainSection(m_mapFields, m_strName, kFieldBuckets, !m_strIncludeSection.empty(),
                     m_mapConstants);
}

void CFetch::BuildWriteIf(std::string& writeIf, CFetchConditionBuilder* builder)
{
    const std::string& setting = GetSetting("BUILD_WRITE_IF");
    if (setting.empty() || !builder)
        return;
    const std::size_t comma = setting.find(',');
    const std::string builderName = setting.substr(0, comma);
    const std::string rest = comma == std::string::npos ? std::string() : setting.substr(comma + 1);
    builder->SetInputs(builderName, rest, GetSetting("STRINGSEPARATOR"));
    if (!builder->DoModal())
        return;
    const std::string built = builder->GetCondition();
    if (built.empty())
        return;
    writeIf = writeIf.empty() ? built : "( " + built + " ) AND ( " + writeIf + " )";
}

// ---- Widths and raw sections -------------------------------------------------------------

void CFetch::ReadMaximumCharacters()
{
    m_mapMaxChars.clear();
    m_mapMaxChars.reserve(kSettingsBuckets);
    const std::string customFile = GetCustomDataIniPath();
    for (const std::string& file : {m_strDefinitionFile, customFile}) {
        std::vector<std::string> entries;
        if (file.empty() || !trv::GetProfileSection("MAXIMUM_CHARACTERS", file, entries))
            continue;
        for (const std::string& entry : entries) {
            const std::size_t equals = entry.find('=');
            if (equals == std::string::npos)
                continue;
            m_mapMaxChars[entry.substr(0, equals)] = trv::ParseInt(entry.substr(equals + 1));
        }
    }
    m_bMaxCharsLoaded = 1;
    ++m_nMaxCharsStamp;
}

int CFetch::LineMaxChars(FetchFieldLine& line)
{
    if (!m_bMaxCharsLoaded)
        ReadMaximumCharacters();
    if (line.maxCharsStamp != m_nMaxCharsStamp) {
        line.maxChars = GetMaxChars(line.name, 1);
        line.maxCharsStamp = m_nMaxCharsStamp;
    }
    return line.maxChars;
}

int CFetch::GetMaxChars(const std::string& field, int useDefault)
{
    if (!m_bMaxCharsLoaded)
        ReadMaximumCharacters();
    auto found = m_mapMaxChars.find(field);
    if (found != m_mapMaxChars.end())
        return found->second;
    if (!useDefault)
        return -1;
    found = m_mapMaxChars.find("MAXCHARS_DEFAULT");
    return found == m_mapMaxChars.end() ? -1 : found->second;
}

void CFetch::ReadVariablesSection(FetchRawSection& buffer, const std::string& suffix)
{
    buffer.SetSize(0);
    const std::string customFile = GetCustomDataIniPath();
    const std::string& definitionFile = m_strDefinitionFile;
    const std::string& includeFile = m_strIncludeFile;
    if (!m_strIncludeSection.empty()) {
        const std::string section = m_strIncludeSection + suffix;
        AppendRawSection(buffer, section, definitionFile);
        if (includeFile != definitionFile)
            AppendRawSection(buffer, section, includeFile);
        if (customFile != definitionFile)
            AppendRawSection(buffer, section, customFile);
    }
    const std::string section = m_strName + suffix;
    if (customFile != definitionFile)
        AppendRawSection(buffer, section, customFile);
    if (includeFile != definitionFile)
        AppendRawSection(buffer, section, includeFile);
    AppendRawSection(buffer, section, definitionFile);
}

void CFetch::LoadRawSection(const std::string& section)
{
    m_bufRawSection.SetSize(0);
    const std::string customFile = GetCustomDataIniPath();
    // Each file once per section, in the order include, definitions, company.
    FetchTextArray files;
    for (const std::string& file : {m_strIncludeFile, m_strDefinitionFile, customFile})
        if (!file.empty() && files.Find(file) < 0)
            files.Add(file);
    if (!m_strIncludeSection.empty())
        for (const std::string& file : files)
            AppendRawSection(m_bufRawSection, m_strIncludeSection, file);
    for (const std::string& file : files)
        AppendRawSection(m_bufRawSection, section, file);
}
