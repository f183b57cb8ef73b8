// Value formats and separators of a definition: BOOL, TIME, DATE and coordinates, the number
// format, the file-name escape text, field and list separators, line types and deletes.

#include "KLV/Fetch.h"
#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <array>

namespace {

// A format entry of the definition or, failing that, the parent's or the "DEFAULT" one.
enum class FormatSource
{
    None,
    Own,
    Parent,
    Default,
};

// The definition's own entry of the section, else the "DEFAULT" entry when there is no
// parent to inherit from. Parent inheritance is decided by the caller.
FormatSource ReadFormatEntry(const std::string& section, const std::string& name,
                             const std::string& file, bool hasParent, std::string& value)
{
    value = ReadIniString(section, name, file, "");
    if (!value.empty())
        return FormatSource::Own;
    if (hasParent)
        return FormatSource::Parent;
    value = ReadIniString(section, "DEFAULT", file, "");
    return value.empty() ? FormatSource::None : FormatSource::Default;
}

void SplitBoolFormat(const std::string& entry, std::string& trueText, std::string& falseText)
{
    const std::size_t comma = entry.find(',');
    trueText = trv::ToUpper(entry.substr(0, comma));
    falseText = comma == std::string::npos ? std::string() : trv::ToUpper(entry.substr(comma + 1));
}

} // namespace

bool CFetch::IsYesValue(const std::string& value)
{
    static const std::array<const char*, 6> kYes = {"YES", "Y", "S", "SI", "1", "TRUE"};
    const std::string word = trv::ToUpper(trv::Trim(value));
    for (const char* yes : kYes)
        if (word == yes)
            return true;
    return false;
}

int CFetch::GetSpecialFormats(const std::string& includeFile)
{
    // Processed from the last to the first: a later-processed file's value replaces.
    FetchTextArray files;
    if (m_strDefinitionFile == GetCustomDataIniPath() && !includeFile.empty())
        files.Add(includeFile);
    files.Add(m_strDefinitionFile);

    bool boolFound = false;
    bool timeFound = false;
    bool dateFound = false;
    const bool hasParent = m_pParent != nullptr;
    for (int index = files.GetSize() - 1; index >= 0; --index) {
        const std::string& file = files[index];
        std::string value;

        switch (ReadFormatEntry("BOOL", m_strName, file, hasParent, value)) {
        case FormatSource::Own:
        case FormatSource::Default:
            SplitBoolFormat(value, m_strBoolTrue, m_strBoolFalse);
            boolFound = true;
            break;
        case FormatSource::Parent:
            m_strBoolTrue = m_pParent->m_strBoolTrue;
            m_strBoolFalse = m_pParent->m_strBoolFalse;
            boolFound = true;
            break;
        case FormatSource::None:
            break;
        }

        const std::pair<const char*, std::string CFetch::*> kTextFormats[] = {
            {"TIME", &CFetch::m_strTimeFormat}, {"DATE", &CFetch::m_strDateFormat}};
        for (const auto& [section, member] : kTextFormats) {
            bool& found = section[0] == 'T' ? timeFound : dateFound;
            switch (ReadFormatEntry(section, m_strName, file, hasParent, value)) {
            case FormatSource::Own:
            case FormatSource::Default:
                this->*member = trv::ToUpper(value);
                found = true;
                break;
            case FormatSource::Parent:
                this->*member = m_pParent->*member;
                found = true;
                break;
            case FormatSource::None:
                break;
            }
        }

        ReadFileNameEscape(file);
        ReadNumberFormat(file);

        switch (ReadFormatEntry("COORDENATES", m_strName, file, hasParent, value)) {
        case FormatSource::Own:
        case FormatSource::Default:
            m_strCoordinatesFormat = trv::ToUpper(value);
            break;
        case FormatSource::Parent:
            m_strCoordinatesFormat = m_pParent->m_strCoordinatesFormat;
            break;
        case FormatSource::None:
            break;
        }
    }

    std::string fileList;
    for (const std::string& file : files)
        fileList += (fileList.empty() ? "" : ", ") + file;
    const struct
    {
        bool found;
        const char* format;
        const char* trace;
    } kChecks[] = {{boolFound, "BOOL", "GetBoolsFormat, %s"},
                   {timeFound, "TIME", "GetTimeFormat, %s"},
                   {dateFound, "DATE", "GetDateFormat, %s"}};
    std::string missing;
    for (const auto& check : kChecks) {
        if (check.found)
            continue;
        const std::string text =
            TranslateFormat("FormatNotFound", check.format, m_strName.c_str(), fileList.c_str());
        WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetSpecialFormats", 2, false, check.trace,
                   text.c_str());
        missing +=
            trv::FormatC("%s[%s] has neither %s= nor DEFAULT= in %s", missing.empty() ? "" : "; ",
                         check.format, m_strName.c_str(), fileList.c_str());
    }
    // Init fails on a missing format: the caller learns which.
    if (!missing.empty())
        m_strLastError = missing;
    return boolFound && timeFound && dateFound;
}

void CFetch::ReadNumberFormat(const std::string& file)
{
    if (m_pParent) {
        m_nDecimals = m_pParent->m_nDecimals;
        m_strDecimalSeparator = m_pParent->m_strDecimalSeparator;
    } else {
        if (m_nDecimals == 2)
            m_nDecimals = trv::GetProfileInt("DECIMALS", "DEFAULT", 2, file);
        if (m_strDecimalSeparator == ".")
            m_strDecimalSeparator = ReadIniString("DEFAULT", "DECIMAL_SEP", file, ".");
    }
    if (m_strType == "EXCEL" && m_strDecimalSeparator == ".")
        m_strDecimalSeparator = ",";
    const std::string section = m_strName + "_FORMAT";
    m_nDecimals = trv::GetProfileInt(section, "DECIMALS", m_nDecimals, file);
    m_strDecimalSeparator = ReadIniString(section, "DECIMAL_SEP", file, m_strDecimalSeparator);
    m_bOneFilePerDriver = trv::GetProfileInt(section, "ONE_FILE_ONE_DRIVER", 0, file);
}

void CFetch::ReadFileNameEscape(const std::string& file)
{
    if (!m_strFileNameEscape.empty() && m_strFileNameEscape != "-")
        return;
    m_strFileNameEscape = GetSetting("ESC_CHAR_FILENAME");
    if (m_strFileNameEscape.empty() && m_pParent)
        m_strFileNameEscape = m_pParent->m_strFileNameEscape;
    if (m_strFileNameEscape.empty())
        m_strFileNameEscape = ReadIniString("DEFAULT", "ESC_CHAR_FILENAME", file, "-");
}

int CFetch::ReadFieldsSeparator()
{
    m_strSeparator = GetSetting("SEPARATOR");
    if (m_strSeparator.empty()) {
        if (m_nKind == FETCH_KIND_XML || m_nKind == FETCH_KIND_JSON)
            return 1;
        const std::string section = m_strName + "_FORMAT";
        m_strLastError = TranslateFormat("FormatNotFound", "SEPARATOR", section.c_str(),
                                         m_strDefinitionFile.c_str());
        trv::GetUserPrompt().ShowMessage("FormatNotFound", m_strLastError, trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::ReadFieldsSeparator", "ReadFieldsSeparator, %s",
                  m_strLastError.c_str());
        return 0;
    }
    if (m_strSeparator == "FIXED_SEPARATOR")
        m_strSeparator.clear();
    else if (m_strSeparator == "TAB")
        m_strSeparator = "\t";
    return 1;
}

void CFetch::ReadStringSeparator()
{
    m_strStringDelimiter = GetSetting("STRINGSEPARATOR");
}

void CFetch::ReadListSeparator()
{
    m_strListSeparator = GetSetting("LIST_SEP");
    if (m_strListSeparator.empty())
        m_strListSeparator = "#,#";
}

void CFetch::ReadListsInSameLine()
{
    m_arrListsInSameLine.SetSize(0);
    AppendCommaItems(GetSetting("LISTS_IN_SAMELINE"), m_arrListsInSameLine);
}

void CFetch::ReadLineTypes()
{
    m_nLineTypeCount = 0;
    m_bNoFieldCache = 0;
    // Emptied first: the opens read the line types again for every file of a folder.
    m_arrLineTypes.SetSize(0);
    const std::string& lineType = GetSetting("TIPO_LINEA");
    if (!lineType.empty()) {
        const std::size_t comma = lineType.find(',');
        m_strLineTypeField = lineType.substr(0, comma);
        m_nLineTypeCount =
            comma == std::string::npos ? 0 : trv::ParseInt(lineType.substr(comma + 1));
        for (int number = 1;; ++number) {
            const auto found = m_mapFormat.find("LINEA" + std::to_string(number));
            if (found == m_mapFormat.end())
                break;
            m_arrLineTypes.Add(found->second);
        }
        m_bNoFieldCache = 1;
    }
    const std::string& perProduct = GetSetting("LINEAS_POR_PRODUCTO");
    m_bLinesPerProduct = perProduct == "1" ||
                         (!perProduct.empty() && (perProduct[0] == 'S' || perProduct[0] == 's'));
}

void CFetch::ReadDelete(std::string& deleteFields)
{
    TRV_TRACE(2, "CFetch::ReadDelete", "Delete %s", m_strName.c_str());
    // Only a yes switches these on: "0" read as on would empty the whole target table.
    m_bDeleteAllAtStart = IsYesValue(GetSetting("DELETE_ALL_DATA_AT_START"));
    deleteFields = GetSetting("DELETE");
    m_bDeleteAlways = IsYesValue(GetSetting("DELETE_ALWAYS"));
    m_strDeleteSentence = GetSetting("DELETE_SENTENCE");
    TRV_TRACE(2, "CFetch::ReadDelete", "Delete sentence: %s", m_strDeleteSentence.c_str());
}
