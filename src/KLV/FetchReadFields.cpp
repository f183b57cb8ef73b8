// Typed getters of the current record: one field's text from GetField turned into a number, a
// time, a date, a boolean or a list with the definition's formats, defaults and widths.

#include "KLV/Fetch.h"
#include "KLV/Utils.h"
#include "platform/Text.h"

#include <algorithm>

namespace {

constexpr std::string_view kValuesPrefix = "VALUES(";
constexpr std::string_view kListSeparatorWord = "LIST_SEPARATOR";

// A number whose fraction is all zeros loses it ("12.000000" -> "12"); any other text stays
// as it is ("0.000500" keeps its digits).
void StripZeroFraction(std::string& text)
{
    const std::size_t point = text.find('.');
    if (point == std::string::npos || point == 0 ||
        text.find_first_not_of('0', point + 1) != std::string::npos)
        return;
    const std::size_t digitsStart = text.front() == '-' ? 1 : 0;
    if (digitsStart == point || text.find_first_not_of("0123456789", digitsStart) != point)
        return;
    text.erase(point);
}

// True when the field reads a single, double, decimal or numeric column of the open recordset,
// or a number cell of the open worksheet. A field without a parsed place (a column of its own
// name) finds its column by name.
bool ReadsFloatColumn(CFetch& fetch, FetchFieldLine* line, const std::string& name)
{
    if (fetch.m_nKind != FETCH_KIND_DATABASE || (!fetch.m_pRecordset && !fetch.m_pWorkbook))
        return false;
    if (line && line->placeParsed && line->kind == LINE_POSITION) {
        if (!line->placeOk || line->place.column.empty())
            return false;
        // A sheet's cells have a type each; a recordset's column one for every row.
        if (fetch.m_pWorkbook)
            return IsRealColumnType(CFetch::ExcelCellType(fetch.CurrentExcelCell(line->place)));
        fetch.ResolveSourceColumn(line->place);
        return line->place.floatColumn;
    }
    std::string argument;
    int ok = 0;
    const int lineKind = fetch.GetLineFormat(name, argument, ok, 0);
    const bool ownColumn = fetch.m_bSameFieldName && lineKind == LINE_UNDEFINED;
    if (lineKind != LINE_POSITION && !ownColumn)
        return false;
    std::string column;
    if (!fetch.ReadFieldFormat(name, column, false) || column.empty())
        return false;
    long type = 0;
    if (fetch.m_pWorkbook)
        type = fetch.ExcelFieldType(column);
    else
        fetch.m_pRecordset->vGetFieldType(column, type);
    return IsRealColumnType(type);
}

} // namespace

std::string CFetch::GetFieldString(const std::string& name, const std::string& defaultValue,
                                   int required, int width, int direct,
                                   const FetchTextMap* variables)
{
    FetchFieldLine* line = FindFieldLine(name);
    int linked = 0;
    const CFetch* formats = nullptr;
    std::string value = ReadField(line, name, linked, formats, 0, direct, variables);
    if (value.empty()) {
        if (required)
            CheckRequiredField(name, linked);
        return defaultValue;
    }
    // Values of the record come without line ends; those of the output record keep theirs.
    if (direct || variables)
        std::replace(value.begin(), value.end(), '\n', ' ');
    if (ReadsFloatColumn(*this, line, name))
        StripZeroFraction(value);
    if (width == -1)
        width = line ? LineMaxChars(*line) : GetMaxChars(name, 1);
    if (width > 0 && trv::Length(value) > static_cast<std::size_t>(width))
        value = trv::Left(value, static_cast<std::size_t>(width));
    return value;
}

const std::string* CFetch::ReadTypedField(const std::string& name, int required, int direct,
                                          const FetchTextMap* variables, const CFetch*& formats)
{
    int linked = 0;
    const std::string& value =
        ReadField(FindFieldLine(name), name, linked, formats, 0, direct, variables);
    if (!value.empty())
        return &value;
    // Reported before the caller falls back on its default.
    if (required)
        CheckRequiredField(name, linked);
    return nullptr;
}

int CFetch::GetFieldInt(const std::string& name, int defaultValue, int required, int minimum,
                        int maximum, int direct, const FetchTextMap* variables)
{
    const CFetch* formats = nullptr;
    const std::string* value = ReadTypedField(name, required, direct, variables, formats);
    if (!value)
        return ClampToBounds(defaultValue, minimum, maximum);
    return ClampToBounds(trv::ParseInt(*value), minimum, maximum);
}

float CFetch::GetFieldFloat(const std::string& name, int required, int direct,
                            const FetchTextMap* variables, float defaultValue)
{
    const CFetch* formats = nullptr;
    const std::string* read = ReadTypedField(name, required, direct, variables, formats);
    if (!read)
        return defaultValue;
    std::string value = *read;
    if (m_strDecimalSeparator != ".") {
        // With a decimal comma, points are thousands marks: "1.234,5" is 1234.5.
        if (value.find(',') != std::string::npos)
            value.erase(std::remove(value.begin(), value.end(), '.'), value.end());
        trv::ReplaceAllInPlace(value, m_strDecimalSeparator, ".");
    }
    if (value.front() == '.')
        value.insert(0, "0");
    return static_cast<float>(trv::ParseDouble(value));
}

double CFetch::GetFieldDouble(const std::string& name, int required, int direct,
                              const FetchTextMap* variables, double defaultValue)
{
    const CFetch* formats = nullptr;
    const std::string* read = ReadTypedField(name, required, direct, variables, formats);
    if (!read)
        return defaultValue;
    std::string converted;
    std::string_view value = *read;
    if (m_strDecimalSeparator != ".") {
        converted = *read;
        trv::ReplaceAllInPlace(converted, m_strDecimalSeparator, ".");
        value = converted;
    }
    const std::string_view text = trv::Trim(value);
    // A text without a number keeps the default, as a failed scan does.
    const bool numeric =
        !text.empty() &&
        (std::isdigit(static_cast<unsigned char>(text.front())) ||
         ((text.front() == '-' || text.front() == '+' || text.front() == '.') && text.size() > 1));
    return numeric ? trv::ParseDouble(text) : defaultValue;
}

int CFetch::GetFieldBool(const std::string& name, int defaultValue, int required, int direct,
                         const FetchTextMap* variables)
{
    const CFetch* formats = nullptr;
    const std::string* read = ReadTypedField(name, required, direct, variables, formats);
    if (!read)
        return defaultValue;
    std::string value = *read;
    return IsTrueText(value, formats) ? 1 : 0;
}

int CFetch::GetFieldTime(const std::string& name, int defaultMinutes, int required, int minimum,
                         int maximum, int direct, const FetchTextMap* variables)
{
    const CFetch* formats = nullptr;
    const std::string* value = ReadTypedField(name, required, direct, variables, formats);
    if (!value)
        return defaultMinutes;
    int minutes = ParseTime(*value, formats);
    if (minutes == kUnsetTime)
        return minutes;
    return ClampToBounds(minutes, minimum, maximum, kUnsetTime);
}

trv::OleDate CFetch::GetFieldDate(const std::string& name, const trv::OleDate& defaultDate,
                                  int required, int direct, const FetchTextMap* variables)
{
    const CFetch* formats = nullptr;
    const std::string* value = ReadTypedField(name, required, direct, variables, formats);
    if (!value)
        return defaultDate;
    int day = 0;
    int month = 0;
    int year = 0;
    trv::OleDate result;
    if (!ParseDate(*value, formats, day, month, year) || !result.SetDate(year, month, day) ||
        result.GetStatus() != trv::OleDate::valid)
        return trv::OleDate();
    return result;
}

int CFetch::GetListItemWidth(const std::string& name)
{
    if (!m_strSeparator.empty())
        return -1;
    const auto found = m_mapFields.find(name);
    if (found == m_mapFields.end() || found->second.empty() || found->second.front() == '(')
        return -1;
    std::string source = found->second;
    int start = -1;
    int length = -1;
    int third = -1;
    std::string column;
    const char pad = m_chPad;
    const int parsed = ParseFieldSource(source, start, length, third, column);
    m_chPad = pad;
    return parsed ? third : -1;
}

int CFetch::GetFieldList(const std::string& name, FetchTextArray& items,
                         const std::string& defaultValue, int required, int applyWidth, int width,
                         int direct, const FetchTextMap* variables, const CFetch** formats)
{
    std::string separator = m_strListSeparator;
    int linked = 0;
    const CFetch* readFormats = nullptr;
    std::string value =
        ReadField(FindFieldLine(name), name, linked, readFormats, 1, direct, variables);
    if (formats)
        *formats = readFormats;
    if (value.compare(0, kValuesPrefix.size(), kValuesPrefix) == 0) {
        value.erase(0, kValuesPrefix.size());
        if (!value.empty())
            value.pop_back();
    }
    if (value.empty()) {
        if (required)
            CheckRequiredField(name, linked);
        value = defaultValue;
    }
    if (width == -1 && !value.empty() && applyWidth)
        width = GetMaxChars(name, 1);
    const int last = static_cast<int>(value.size()) - 1;
    int separators = separator.empty() ? 0 : CountOutsideQuotes(true, 0, separator, value, last);
    if (separators == 0 && value.find(kListSeparatorWord) != std::string::npos) {
        separator = kListSeparatorWord;
        separators = CountOutsideQuotes(true, 0, separator, value, last);
    }
    const int itemWidth = GetListItemWidth(name);
    if (itemWidth > 0) {
        trv::ReplaceAllInPlace(value, separator, "");
        separators = static_cast<int>(trv::Length(value)) / itemWidth - 1;
    }
    if (value.empty())
        return width;
    std::size_t offset = 0;
    for (int index = 0; index <= separators; ++index) {
        std::string item;
        if (itemWidth > 0) {
            item = trv::Mid(value, offset, static_cast<std::size_t>(itemWidth));
            offset += static_cast<std::size_t>(itemWidth);
        } else {
            item = ExtractToken(value, separator, 0, true);
        }
        if (width > 0 && trv::Length(item) > static_cast<std::size_t>(width))
            item = trv::Left(item, static_cast<std::size_t>(width));
        items.Add(item);
    }
    return width;
}

CAutoArray<float> CFetch::GetFieldListFloat(const std::string& name, int required, int direct,
                                            const FetchTextMap* variables)
{
    FetchTextArray items;
    GetFieldList(name, items, "", required, 1, -1, direct, variables);
    CAutoArray<float> values(items.GetSize());
    for (int index = 0; index < items.GetSize(); ++index)
        values[index] = static_cast<float>(trv::ParseDouble(items[index]));
    return values;
}

CAutoArray<int> CFetch::GetFieldListInt(const std::string& name, int required, int direct,
                                        const FetchTextMap* variables)
{
    FetchTextArray items;
    GetFieldList(name, items, "", required, 0, -1, direct, variables);
    CAutoArray<int> values(items.GetSize());
    for (int index = 0; index < items.GetSize(); ++index)
        values[index] = items[index].empty() ? kEmptyListItem : trv::ParseInt(items[index]);
    return values;
}

FetchTextArray& CFetch::GetFieldListStrings(const std::string& name, FetchTextArray& items,
                                            int required, int direct, const FetchTextMap* variables)
{
    items.SetSize(0);
    GetFieldList(name, items, "", required, 0, -1, direct, variables);
    return items;
}

// ---- Requirements ------------------------------------------------------------------------

int CFetch::GetRequirements(const std::string& requirement, int type, int required, int direct,
                            const FetchTextMap* variables, FetchTextArray* list)
{
    m_strRequirementName = requirement;
    FetchTextArray items;
    std::string text;
    int linked = 0;
    const CFetch* formats = nullptr;
    // The REQUIREMENTS fields in order until one has a value; without them the requirement
    // is a field of its own name.
    FetchTextArray fields = m_arrRequirements;
    if ((fields.GetSize() == 0))
        fields.Add(requirement);
    ClearFieldCache();
    for (const std::string& field : fields) {
        if (type == 2) {
            GetFieldList(field, items, "", 0, 0, -1, direct, variables);
            if (!(items.GetSize() == 0))
                break;
            continue;
        }
        text = ReadField(FindFieldLine(field), field, linked, formats, 0, direct, variables);
        if (!text.empty())
            break;
    }
    ClearFieldCache();
    if (text.empty() && (items.GetSize() == 0)) {
        if (required)
            CheckRequiredField(requirement, linked);
        return kAnyRequirementValue;
    }
    switch (type) {
    case 1:
        return IsTrueText(text, formats) ? 1 : 0;
    case 2:
        if (list)
            *list = items;
        return 0;
    default:
        return trv::ParseInt(text);
    }
}

std::string CFetch::GetRequirementText(const std::string& requirement,
                                       const FetchTextMap* variables)
{
    m_strRequirementName = requirement;
    FetchTextArray fields = m_arrRequirements;
    if ((fields.GetSize() == 0))
        fields.Add(requirement);
    for (const std::string& field : fields) {
        int linked = 0;
        std::string text = GetField(field, linked, 0, 0, variables);
        if (!text.empty())
            return text;
    }
    return std::string();
}

int CFetch::GetLinkedFieldTokens(const std::string& name, std::string& linking, std::string& linked,
                                 std::string& first, std::string& second)
{
    const auto found = m_mapFields.find(name);
    if (found == m_mapFields.end() || found->second.rfind("VALUE=", 0) == 0)
        return 0;
    std::string source = found->second;
    if (!ProcessINILine(source, linking, linked))
        return 0;
    if (source.empty() || source.rfind("DEFAULT=", 0) == 0)
        return 0;
    first = ExtractToken(source, ",");
    second = ExtractToken(source, ",");
    return 1;
}
