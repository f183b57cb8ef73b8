// Writing records: the typed writers, the record operations and the layouts of a written record
// (separated or fixed-width line, INI entry, JSON object, several lines for list values), the
// text target written through a temporary file, and the calculated-fields protocol.

#include "KLV/Fetch.h"
#include "KLV/Geodesy.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <json/json.h>
#include <unistd.h>

namespace {

constexpr const char* kListStart = "LIST(";
constexpr std::string_view kSameLineMarker = "#LIST#";
constexpr std::size_t kOutputBufferBytes = 1 << 18;

// Whether any of the four characters occurs in the text, eight bytes at a time: most values
// of an export hold none of them.
bool ContainsAnyOf(std::string_view text, char first, char second, char third, char fourth)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    const auto spread = [](char character) {
        return kOnes * static_cast<unsigned char>(character);
    };
    const std::uint64_t masks[4] = {spread(first), spread(second), spread(third), spread(fourth)};
    const auto hasZeroByte = [](std::uint64_t word) {
        return ((word - kOnes) & ~word & kHighs) != 0;
    };
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        if (hasZeroByte(word ^ masks[0]) || hasZeroByte(word ^ masks[1]) ||
            hasZeroByte(word ^ masks[2]) || hasZeroByte(word ^ masks[3]))
            return true;
    }
    for (; at < text.size(); ++at) {
        const char character = text[at];
        if (character == first || character == second || character == third || character == fourth)
            return true;
    }
    return false;
}

template <typename Value>
std::string JoinList(const Value* values, int count, const std::string& separator,
                     const char* format)
{
    std::string text = kListStart;
    for (int index = 0; index < count; ++index) {
        if (index > 0)
            text += separator;
        text += trv::FormatC(format, values[index]);
    }
    text += ')';
    return text;
}

std::string JoinTexts(const FetchTextArray& values, const std::string& separator)
{
    std::string text = kListStart;
    for (int index = 0; index < values.GetSize(); ++index) {
        if (index > 0)
            text += separator;
        text += values[index];
    }
    text += ')';
    return text;
}

// A record's line of fixed widths: each value at its place, spaces in the gaps; a field that
// starts inside the one before it is not written. `valueAt(place)` gives the values.
template <typename ValueAt>
void AppendFixedPlaces(CFetch& fetch, std::string& line, int places, ValueAt valueAt)
{
    std::size_t characters = 0;
    for (int place = 0; place < places;) {
        const std::size_t index = static_cast<std::size_t>(place);
        const int width = index < fetch.m_arrOutWidths.size() ? fetch.m_arrOutWidths[index] : 0;
        if (width <= 0) {
            ++place;
            continue;
        }
        if (characters < index) {
            line.append(index - characters, ' ');
            characters = index;
        }
        fetch.AppendFixedValue(line, valueAt(place), width, fetch.m_arrOutPadChars[index], place);
        characters += static_cast<std::size_t>(width);
        place += width;
    }
}

// A record's line of separated values, text places enclosed.
template <typename ValueAt>
void AppendSeparatedPlaces(const CFetch& fetch, std::string& line, int places, ValueAt valueAt)
{
    for (int place = 0; place < places; ++place) {
        if (place > 0)
            line += fetch.m_strSeparator;
        const std::size_t index = static_cast<std::size_t>(place);
        const bool isText = index < fetch.m_arrOutIsText.size() && fetch.m_arrOutIsText[index];
        fetch.AppendSeparatedValue(line, valueAt(place), isText);
    }
}

} // namespace

std::string CannotWriteText(const std::string& path, const std::string& reason)
{
    std::string text = TranslateFormat("FileCannotWrite", reason.c_str(), path.c_str());
    if (text.find(path) == std::string::npos)
        text += ": " + path + " (" + reason + ")";
    return text;
}

// ---- Typed writers -----------------------------------------------------------------------

void CFetch::SetFieldString(const std::string& name, const std::string& text, int maxChars,
                            int append, int storeOnly)
{
    FetchFieldLine* line = nullptr;
    if (m_nKind != FETCH_KIND_LIST) {
        EnsureWriteLinesClassified();
        line = LookupFieldLine(name);
    }
    if (maxChars == -1)
        maxChars = line ? LineMaxChars(*line) : GetMaxChars(name, 1);
    // The text as it is unless a line break or the width changes it.
    const bool cut = maxChars > 0 && text.size() > static_cast<std::size_t>(maxChars) &&
                     trv::Length(text) > static_cast<std::size_t>(maxChars);
    const TFetchColumnType type{202, FETCH_VALUE_TEXT, maxChars};
    if (!cut && text.find('\n') == std::string::npos) {
        SetFieldOnLine(line, name, text, append, &type, storeOnly);
        return;
    }
    std::string value = text;
    std::replace(value.begin(), value.end(), '\n', ' ');
    if (cut)
        value = trv::Left(value, static_cast<std::size_t>(maxChars));
    SetFieldOnLine(line, name, value, append, &type, storeOnly);
}

void CFetch::SetFieldInt(const std::string& name, int value, int minimum, int maximum, int isSet,
                         int append, int storeOnly)
{
    static constexpr TFetchColumnType kType{3, FETCH_VALUE_INTEGER, 0};
    const std::string text = isSet ? trv::FormatInt(ClampToBounds(value, minimum, maximum)) : "";
    SetField(name, text, append, &kType, storeOnly);
}

int CFetch::SetFieldDouble(const std::string& name, double value, int append, int storeOnly)
{
    static constexpr TFetchColumnType kType{5, FETCH_VALUE_NUMBER, 8};
    SetField(name, trv::FormatC("%.20f", value), append, &kType, storeOnly);
    return 0;
}

void CFetch::SetFieldFloat(const std::string& name, int raw, float value, int append, int storeOnly)
{
    static constexpr TFetchColumnType kType{4, FETCH_VALUE_NUMBER, 4};
    std::string text;
    if (raw) {
        text = trv::FormatC("%.20f", static_cast<double>(value));
    } else {
        text = trv::FormatDouble(value, m_nDecimals);
        trv::ReplaceAllInPlace(text, ".", m_strDecimalSeparator);
    }
    SetField(name, text, append, &kType, storeOnly);
}

void CFetch::SetFieldBool(const std::string& name, bool value, int isSet, int append, int storeOnly)
{
    if (m_nKind == FETCH_KIND_LIST) {
        for (auto& child : m_arrChildren)
            child->SetFieldBool(name, value, isSet, append, storeOnly);
        return;
    }
    static constexpr TFetchColumnType kType{11, FETCH_VALUE_BOOL, 4};
    const std::string text = !isSet ? std::string() : value ? m_strBoolTrue : m_strBoolFalse;
    SetField(name, text, append, &kType, storeOnly);
}

void CFetch::SetFieldTime(const std::string& name, int minutes, int minimum, int maximum,
                          int append, int storeOnly)
{
    if (m_nKind == FETCH_KIND_LIST) {
        for (auto& child : m_arrChildren)
            child->SetFieldTime(name, minutes, minimum, maximum, append, storeOnly);
        return;
    }
    static constexpr TFetchColumnType kType{202, FETCH_VALUE_TIME, 0};
    if (minutes != kUnsetTime)
        minutes = ClampToBounds(minutes, minimum, maximum, kUnsetTime);
    SetField(name, FormatMinutes(minutes), append, &kType, storeOnly);
}

void CFetch::SetFieldTimeOfDay(const std::string& name, int minutes, int minimum, int maximum,
                               int append, int storeOnly)
{
    if (minutes != kUnsetTime) {
        minutes %= 1440;
        if (minutes < 0)
            minutes += 1440;
    }
    SetFieldTime(name, minutes, minimum, maximum, append, storeOnly);
}

void CFetch::SetFieldDate(const std::string& name, const trv::OleDate& date, int append,
                          int storeOnly)
{
    const std::string text =
        trv::FormatC("%02d%02d%04d", date.GetDay(), date.GetMonth(), date.GetYear());
    SetFieldDateText(name, text, append, storeOnly);
}

void CFetch::SetFieldDateTime(const std::string& name, const trv::OleDate& date, int seconds,
                              int append, int storeOnly)
{
    static constexpr TFetchColumnType kType{7, FETCH_VALUE_DATE, 0};
    std::string text =
        ToDateFormat(trv::FormatC("%02d%02d%04d", date.GetDay(), date.GetMonth(), date.GetYear()));
    text += ' ';
    text += FormatMinutes(date.GetHour() * 60 + date.GetMinute());
    if (seconds) {
        // The seconds follow the minutes as the minutes follow the hours in the TIME format.
        const std::size_t hours = m_strTimeFormat.rfind('H');
        const std::size_t minutes =
            m_strTimeFormat.find('M', hours == std::string::npos ? 0 : hours);
        text += hours == std::string::npos || minutes == std::string::npos
                    ? std::string(":")
                    : m_strTimeFormat.substr(hours + 1, minutes - hours - 1);
        text += trv::FormatC("%02d", date.GetSecond());
    }
    SetField(name, text, append, &kType, storeOnly);
}

void CFetch::SetFieldCoordinates(const FetchTextArray& names, const CDoublePoint& location,
                                 int append, int storeOnly)
{
    static constexpr TFetchColumnType kType{5, FETCH_VALUE_NUMBER, 8};
    if (names.GetSize() < 2)
        return;
    SetField(names[0], trv::FormatC("%.20f", location.x), append, &kType, storeOnly);
    SetField(names[1], trv::FormatC("%.20f", location.y), append, &kType, storeOnly);
}

void CFetch::SetFieldListFloat(const std::string& name, int raw, const CAutoArray<float>& values,
                               int append, int storeOnly)
{
    std::string text = kListStart;
    for (int index = 0; index < values.GetSize(); ++index) {
        if (index > 0)
            text += m_strListSeparator;
        text += trv::FormatC(raw ? "%.20f" : "%.2f", static_cast<double>(values[index]));
    }
    text += ')';
    const TFetchColumnType type{202, FETCH_VALUE_LIST, static_cast<int>(text.size())};
    SetField(name, text, append, &type, storeOnly);
}

void CFetch::SetFieldListInt(const std::string& name, const CAutoArray<int>& values, int append,
                             int storeOnly)
{
    const std::string text = JoinList(values.GetData(), values.GetSize(), m_strListSeparator, "%d");
    const TFetchColumnType type{202, FETCH_VALUE_LIST, static_cast<int>(text.size())};
    SetField(name, text, append, &type, storeOnly);
}

void CFetch::SetFieldListString(const std::string& name, const FetchTextArray& values, int isSet,
                                int append, int storeOnly)
{
    const std::string text = isSet ? JoinTexts(values, m_strListSeparator) : std::string();
    const TFetchColumnType type{202, FETCH_VALUE_LIST, static_cast<int>(text.size())};
    SetField(name, text, append, &type, storeOnly);
}

void CFetch::SetFieldListText(const std::string& name, const FetchTextArray& values, int append,
                              int storeOnly)
{
    SetFieldString(name, JoinTexts(values, m_strListSeparator), -1, append, storeOnly);
}

// ---- Record operations -------------------------------------------------------------------

void CFetch::ClearRecord()
{
    m_arrSetTypes.clear();
    m_arrSetNames.clear();
    m_arrSetValues.clear();
    ++m_nSetStamp;
    m_arrOutValues.clear();
    m_arrOutWidths.clear();
    m_arrOutPadChars.clear();
    m_arrOutIsText.clear();
    m_arrOutColumns.clear();
    // Parsed by the first value set; a definition that never writes never parses it.
    if (m_bWriteIfParsed)
        m_writeIfFilter.ClearWriteIf();
    // The values computed for the record before go with it.
    m_mapFieldCache.clear();
    // The next record's linked children receive its linking values again.
    m_bLinkSearched = 0;
    for (auto& child : m_arrChildren)
        child->ClearRecord();
}

std::string_view CFetch::CleanOutputView(int place, std::string& scratch) const
{
    if (place < 0 || static_cast<std::size_t>(place) >= m_arrOutValues.size())
        return {};
    const std::string& value = m_arrOutValues[static_cast<std::size_t>(place)];
    if (value.find(kSameLineMarker) == std::string::npos)
        return trv::Trim(value);
    scratch = value;
    trv::ReplaceAllInPlace(scratch, kSameLineMarker, "");
    return trv::Trim(scratch);
}

std::string CFetch::GetCleanOutputValue(int place) const
{
    std::string scratch;
    return std::string(CleanOutputView(place, scratch));
}

int CFetch::GetRecordCount()
{
    if (m_nKind == FETCH_KIND_DATABASE && m_nRecordCount < 0 && !m_pWorkbook)
        m_nRecordCount = CountQueryRows(); // FetchDatabase.cpp
    if (m_nKind != FETCH_KIND_LIST)
        return m_nRecordCount;
    int total = 0;
    for (auto& child : m_arrChildren)
        total += child->GetRecordCount();
    m_nRecordCount = total;
    return total;
}

bool CFetch::WriteRecord(int newDriverFile, const std::string& driverCode)
{
    if (m_bufVariables.GetSize() > 0)
        ProcessVariablesSection(m_bufVariables, 0);
    // A LIST definition's condition is its children's: they receive the values and test it.
    if (m_nKind != FETCH_KIND_LIST) {
        EnsureWriteIfParsed();
        if (!m_writeIfFilter.IsEmpty() && m_writeIfFilter.TestWriteIf())
            return true;
    }
    if (!m_strAskQuestion.empty())
        SetFieldString(m_strAskQuestion, m_strAskAnswer, -1);

    bool written = true;
    switch (m_nKind) {
    case FETCH_KIND_ASCII:
    case FETCH_KIND_FOLDER:
    case FETCH_KIND_JSON:
        if (m_arrOutValues.empty())
            return true;
        written =
            WriteListLines() ? !m_bListLinesFailed : WriteTextRecord(newDriverFile, driverCode);
        break;
    case FETCH_KIND_INI:
        if (m_arrOutValues.empty())
            return true;
        written = WriteIniRecord();
        break;
    case FETCH_KIND_DATABASE:
        if (m_arrOutColumns.empty())
            return true;
        if (WriteListLines() ? m_bListLinesFailed : !WriteDatabaseRow(-1))
            return false;
        break;
    default:
        break;
    }

    const bool database = m_nKind == FETCH_KIND_DATABASE;
    for (auto& child : m_arrChildren) {
        if (database && child->m_arrOutColumns.empty())
            break;
        const bool childWritten = m_nKind == FETCH_KIND_LIST
                                      ? child->WriteRecord(newDriverFile, driverCode)
                                      : child->WriteRecord(0, "");
        written = childWritten && written;
    }
    m_arrSetTypes.clear();
    return written;
}

// ---- Layouts -----------------------------------------------------------------------------

void CFetch::AppendSeparatedValue(std::string& line, std::string_view value, bool isText) const
{
    // Valid for its separator: a value holding the separator, the qualifier or a line break is
    // enclosed, with the qualifier inside doubled.
    const std::string_view qualifier =
        m_strStringDelimiter.empty() ? std::string_view("\"") : m_strStringDelimiter;
    bool enclose = isText;
    if (!enclose && m_strSeparator.size() == 1 && qualifier.size() == 1) {
        // One pass for the usual one-character separator and qualifier.
        enclose = ContainsAnyOf(value, m_strSeparator.front(), qualifier.front(), '\r', '\n');
    } else if (!enclose) {
        enclose = value.find(m_strSeparator) != std::string_view::npos ||
                  value.find(qualifier) != std::string_view::npos ||
                  value.find_first_of("\r\n") != std::string_view::npos;
    }
    if (!enclose) {
        line.append(value);
        return;
    }
    line.append(qualifier);
    for (std::size_t start = 0;;) {
        const std::size_t found = value.find(qualifier, start);
        line.append(value.substr(start, found == std::string_view::npos ? found : found - start));
        if (found == std::string_view::npos)
            break;
        line.append(qualifier);
        line.append(qualifier);
        start = found + qualifier.size();
    }
    line.append(qualifier);
}

void CFetch::AppendFixedValue(std::string& line, std::string_view value, int width, char pad,
                              int place)
{
    const std::size_t characters = static_cast<std::size_t>(width);
    std::string text(value);
    if (pad == '0' && text.find('.') != std::string::npos) {
        std::string digits = text;
        digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
        if (IsNumeric(digits))
            text.erase(text.find('.'));
    }
    if (IsNumeric(text) && trv::Length(text) > characters) {
        // Cutting a number makes another number: the field says it did not fit instead.
        const std::string field = static_cast<std::size_t>(place) < m_arrOutColumns.size()
                                      ? m_arrOutColumns[static_cast<std::size_t>(place)]
                                      : std::string();
        TRV_TRACE(1, "CFetch::WriteRecord", "%s: field %s: %s does not fit in %d characters",
                  m_strName.c_str(), field.c_str(), text.c_str(), width);
        line.append(characters, '*');
        return;
    }
    const std::string cut = trv::Left(text, characters);
    const std::size_t fill = characters - trv::Length(cut);
    if (pad == '0') {
        // The sign of a negative number stays in front of its zeros.
        const bool negative = cut.size() > 1 && cut[0] == '-' && IsNumeric(cut);
        if (negative)
            line += '-';
        line.append(fill, '0');
        line.append(negative ? std::string_view(cut).substr(1) : std::string_view(cut));
    } else if (pad == ' ') {
        line.append(fill, ' ');
        line.append(cut);
    } else {
        line.append(cut);
        line.append(fill, ' ');
    }
}

bool CFetch::WriteOutputLine(const std::string& line)
{
    if (!m_pOutputFile && !OpenOutputTarget())
        return false;
    if (std::fwrite(line.data(), 1, line.size(), m_pOutputFile.get()) == line.size())
        return true;
    const std::string reason = std::strerror(errno);
    if (!m_bOutputFailed) {
        m_strLastError = CannotWriteText(m_strOutputPath, reason);
        TRV_TRACE(1, "CFetch::WriteRecord", "%s: %s", m_strName.c_str(), m_strLastError.c_str());
    }
    m_bOutputFailed = 1;
    return false;
}

bool CFetch::WriteTextRecord(int newDriverFile, const std::string& driverCode)
{
    if (m_bOneFilePerDriver && newDriverFile) {
        // The file of the driver before is complete: it gets its name now.
        bool committed = true;
        if (m_pOutputFile)
            committed = CommitOutputTarget();
        trv::ReplaceAllInPlace(m_strOutputPath, "DRIVER_CODE", driverCode);
        if (!OpenOutputTarget() || !committed)
            return false;
    }
    std::string& line = m_strOutputLine;
    line.clear();
    std::string& scratch = m_strOutputScratch;
    const int places = static_cast<int>(m_arrOutValues.size());
    const auto cleanValue = [&](int place) { return CleanOutputView(place, scratch); };
    if (m_strSeparator.empty()) {
        AppendFixedPlaces(*this, line, places, cleanValue);
        line += '\n';
        return WriteOutputLine(line);
    }
    if (m_nKind == FETCH_KIND_JSON) {
        std::vector<std::string> values;
        values.reserve(static_cast<std::size_t>(places));
        for (int place = 0; place < places; ++place)
            values.emplace_back(cleanValue(place));
        AppendJsonRecord(values);
        return true;
    }
    if (m_nKind != FETCH_KIND_ASCII)
        return true;
    AppendSeparatedPlaces(*this, line, places, cleanValue);
    line += '\n';
    return WriteOutputLine(line);
}

bool CFetch::WriteIniRecord()
{
    std::string value;
    std::string scratch;
    for (int place = 1; place < static_cast<int>(m_arrOutValues.size()); ++place) {
        value.append(CleanOutputView(place, scratch));
        value += m_strSeparator;
    }
    const std::string section = GetSetting("TABLENAME");
    const std::string key = GetCleanOutputValue(0);
    if (trv::WriteProfileString(section, key, value, m_strFile))
        return true;
    m_strLastError = CannotWriteText(m_strFile, "[" + section + "] " + key);
    TRV_TRACE(1, "CFetch::WriteRecord", "%s: %s", m_strName.c_str(), m_strLastError.c_str());
    return false;
}

void CFetch::AppendJsonRecord(const std::vector<std::string>& values)
{
    if (!m_jsonDocument)
        m_jsonDocument.reset(new Json::Value(Json::arrayValue));
    Json::Value record(Json::objectValue);
    for (std::size_t place = 0; place < values.size(); ++place) {
        // The header names the members; a place beyond it is named after its field.
        std::string key;
        if (place < static_cast<std::size_t>(m_arrHeaderFields.GetSize()))
            key = m_arrHeaderFields[static_cast<int>(place)];
        else if (place < m_arrOutColumns.size())
            key = m_arrOutColumns[place];
        if (key.empty())
            continue;
        record[key] = values[place];
    }
    (*m_jsonDocument)[static_cast<Json::ArrayIndex>(m_nRecord)] = std::move(record);
    ++m_nRecord;
}

// ---- Records holding lists ---------------------------------------------------------------

int CFetch::WriteListLines()
{
    m_bListLinesFailed = 0;
    const int places = static_cast<int>(m_arrOutValues.size());
    if (places == 0)
        return 0;
    const auto isList = [](const std::string& value) { return value.starts_with(kListStart); };
    if (std::none_of(m_arrOutValues.begin(), m_arrOutValues.end(), isList))
        return 0;

    std::vector<CSmartStringArray> items(static_cast<std::size_t>(places));
    std::vector<int> lists;
    for (int place = 0; place < places; ++place) {
        const std::string& value = m_arrOutValues[static_cast<std::size_t>(place)];
        if (!isList(value))
            continue;
        std::string text = value.substr(5);
        const std::size_t close = text.rfind(')');
        if (close != std::string::npos)
            text.erase(close);
        SplitDelimitedFields(text, items[static_cast<std::size_t>(place)], m_strListSeparator,
                             kSameLineMarker, false);
        lists.push_back(place);
    }

    const int lineCount = items[static_cast<std::size_t>(lists.front())].GetSize();
    const bool unequal = std::any_of(lists.begin(), lists.end(), [&](int place) {
        return items[static_cast<std::size_t>(place)].GetSize() != lineCount;
    });
    if (unequal) {
        std::string message = m_strName + "\n" + GetCleanOutputValue(0) + "\n" +
                              Translate("MultipleLineFieldSizeDoesNotFit") + ": \n";
        for (const int place : lists)
            message +=
                "(" + JoinStrings(items[static_cast<std::size_t>(place)], ",", false) + ")\n";
        trv::GetUserPrompt().ShowMessage("MultipleLineFieldSizeDoesNotFit", message,
                                         trv::MessageKind::Warning);
        TRV_TRACE(1, "CFetch::WriteListLines", "%s", message.c_str());
        return 1;
    }

    bool written = true;
    std::vector<std::string> values(static_cast<std::size_t>(places));
    const auto lineValue = [&](int place) {
        return std::string_view(values[static_cast<std::size_t>(place)]);
    };
    for (int line = 0; line < lineCount; ++line) {
        for (int place = 0; place < places; ++place) {
            const CSmartStringArray& placeItems = items[static_cast<std::size_t>(place)];
            const bool listPlace = isList(m_arrOutValues[static_cast<std::size_t>(place)]);
            values[static_cast<std::size_t>(place)] =
                listPlace ? std::string(placeItems[line]) : GetCleanOutputValue(place);
        }
        if (m_nKind == FETCH_KIND_DATABASE) {
            written = WriteDatabaseValues(line, values) && written; // FetchDatabase.cpp
            continue;
        }
        if (!IsTextTargetKind(m_nKind))
            continue;
        std::string& text = m_strOutputLine;
        text.clear();
        if (!m_strSeparator.empty()) {
            AppendSeparatedPlaces(*this, text, places, lineValue);
            text += '\n';
            if (m_nKind == FETCH_KIND_JSON)
                AppendJsonRecord(values);
        } else {
            AppendFixedPlaces(*this, text, places, lineValue);
            if (!text.empty())
                text += '\n';
        }
        if (m_nKind == FETCH_KIND_ASCII && !text.empty())
            written = WriteOutputLine(text) && written;
    }
    m_bListLinesFailed = written ? 0 : 1;
    return 1;
}

// ---- The text target ---------------------------------------------------------------------

int CFetch::OpenOutputTarget()
{
    if (m_pOutputFile)
        return 1;
    if (m_strOutputPath.empty())
        return 0;
    static std::atomic<unsigned> sequence{0};
    int descriptor = -1;
    std::string temporary;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporary = m_strOutputPath +
                    trv::FormatC(".%d-%u.tmp", static_cast<int>(::getpid()), sequence.fetch_add(1));
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    std::FILE* file = descriptor < 0 ? nullptr : ::fdopen(descriptor, "wb");
    if (!file) {
        const std::string reason = std::strerror(errno);
        if (descriptor >= 0) {
            ::close(descriptor);
            ::unlink(temporary.c_str());
        }
        m_strLastError = CannotWriteText(m_strOutputPath, reason);
        TRV_TRACE(1, "CFetch::OpenOutputTarget", "Error_Abrir_Archivo %s: %s",
                  m_strOutputPath.c_str(), reason.c_str());
        trv::GetUserPrompt().ShowMessage("FileCannotWrite", m_strLastError,
                                         trv::MessageKind::Error);
        m_bOutputFailed = 1;
        return 0;
    }
    // Large writes: a record line costs a copy, not a system call every few lines.
    if (!m_pOutputBuffer)
        m_pOutputBuffer = std::make_unique_for_overwrite<char[]>(kOutputBufferBytes);
    std::setvbuf(file, m_pOutputBuffer.get(), _IOFBF, kOutputBufferBytes);
    m_pOutputFile.reset(file);
    m_strOutputTempPath = temporary;
    return 1;
}

bool CFetch::CommitOutputTarget()
{
    if (!m_pOutputFile) {
        const bool ok = !m_bOutputFailed;
        m_bOutputFailed = 0;
        return ok;
    }
    std::FILE* file = m_pOutputFile.release();
    const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file) == 0;
    bool ok = flushed && closed && !m_bOutputFailed;
    std::string reason = ok ? std::string() : std::strerror(flushed ? errno : flushError);
    const std::string temporary = std::move(m_strOutputTempPath);
    m_strOutputTempPath.clear();
    if (!temporary.empty()) {
        if (ok && std::rename(temporary.c_str(), m_strOutputPath.c_str()) != 0) {
            ok = false;
            reason = std::strerror(errno);
        }
        if (!ok)
            ::unlink(temporary.c_str());
    }
    if (!ok) {
        if (!m_bOutputFailed || reason.empty() || m_strLastError.empty())
            m_strLastError = CannotWriteText(m_strOutputPath, reason);
        TRV_TRACE(1, "CFetch::Close", "%s: %s; the file was left as it was", m_strName.c_str(),
                  m_strLastError.c_str());
    }
    m_bOutputFailed = 0;
    return ok;
}

// ---- Calculated fields -------------------------------------------------------------------

void CFetch::GetFieldExpressions(FetchTextMap& expressions)
{
    if (m_bufRawSection.GetSize() == 0)
        LoadRawSection(m_strName);
    for (const std::string& entry : m_bufRawSection) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos)
            continue;
        expressions[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
}

void CFetch::StripListWrappers()
{
    for (std::string& value : m_arrSetValues) {
        if (!value.starts_with(kListStart))
            continue;
        value.erase(0, 5);
        const std::size_t close = value.rfind(')');
        if (close != std::string::npos)
            value.erase(close);
    }
}

void CFetch::EvaluateFields(FetchTextMap& expressions)
{
    for (const auto& [name, expression] : expressions)
        m_mapFields[name] = expression;
    // The lines changed: they are classified again before they are evaluated.
    m_bFieldsClassified = 0;
    ClearFieldCache();
    for (const auto& entry : expressions) {
        int linked = 0;
        const std::string value = GetField(entry.first, linked);
        SetField(entry.first, value);
    }
}

void CFetch::ProcessVariablesSection(const FetchRawSection& block, int passThrough)
{
    struct Variable
    {
        std::string name;
        bool hadLine = false;
        std::string ownLine;
        std::string value;
    };
    std::vector<Variable> variables;
    for (const std::string& entry : block) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos || equals == 0)
            continue;
        Variable variable;
        variable.name = entry.substr(0, equals);
        const auto own = m_mapFields.find(variable.name);
        variable.hadLine = own != m_mapFields.end();
        if (variable.hadLine)
            variable.ownLine = own->second;
        m_mapFields[variable.name] = entry.substr(equals + 1);
        variables.push_back(std::move(variable));
    }
    if (variables.empty())
        return;
    // Every variable's expression in place of the field's own line, classified once, evaluated
    // against the values set so far.
    m_bFieldsClassified = 0;
    for (Variable& variable : variables) {
        ClearFieldCache();
        int linked = 0;
        variable.value = GetField(variable.name, linked);
    }
    const bool ownBlock = &block == &m_bufVariables;
    for (const Variable& variable : variables) {
        if (variable.hadLine || !ownBlock)
            m_mapFields[variable.name] = variable.ownLine;
        else
            m_mapFields.erase(variable.name);
    }
    m_bFieldsClassified = 0;
    ClearFieldCache();
    for (const Variable& variable : variables)
        SetField(variable.name, variable.value, passThrough);
}

// ---- The JSON document's deleter ---------------------------------------------------------

void FetchJsonDeleter::operator()(Json::Value* value) const
{
    delete value;
}
