// Conversions between the engine's normalised value texts and a definition's formats, and the
// messages of empty required fields.

#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "platform/OleDate.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <cstdlib>

namespace {

// Where the day, month and year of a date text are under its format. A text with a time
// ("date time", split at its last blank) is read with the format up to its last blank; the time
// part keeps its blank.
struct DateTextParts
{
    std::string_view date;
    std::string_view time;
    std::string_view format;
    bool weeks = false; // the format counts weeks: the parts are not filled
    std::string_view day;
    std::string_view month;
    std::string_view year;
};

DateTextParts SplitDateText(std::string_view text, std::string_view format)
{
    DateTextParts parts;
    parts.date = text;
    const std::size_t blank = text.rfind(' ');
    if (blank != std::string_view::npos) {
        parts.time = text.substr(blank);
        parts.date = text.substr(0, blank);
        const std::size_t formatBlank = format.rfind(' ');
        if (formatBlank != std::string_view::npos)
            format = format.substr(0, formatBlank);
    }
    parts.format = format;
    parts.weeks = format.find('W') != std::string_view::npos;
    if (parts.weeks)
        return parts;
    parts.day = ExtractByMaskView('D', parts.date, format);
    parts.month = ExtractByMaskView('M', parts.date, format);
    parts.year = ExtractByMaskView('Y', parts.date, format);
    return parts;
}

// A one-digit day or month gets a leading zero, a two-digit year the century.
std::string_view DayPad(std::string_view part)
{
    return part.size() == 1 ? "0" : "";
}
std::string_view YearPad(std::string_view part)
{
    return part.size() == 2 ? "20" : "";
}

} // namespace

std::string CFetch::ToDateFormat(const std::string& date) const
{
    const std::size_t blank = date.rfind(' ');
    const std::string datePart = date.substr(0, blank);
    const std::string timePart = blank == std::string::npos ? std::string() : date.substr(blank);
    std::string result = m_strDateFormat;
    for (const char letter : {'D', 'M', 'Y'}) {
        std::string value = ExtractByMask(letter, datePart, "DDMMYYYY");
        FillMask(value, result, letter);
    }
    return result + timePart;
}

const std::string& CFetch::DateFormatFor(const CFetch* formats) const
{
    return formats && !formats->m_strDateFormat.empty() ? formats->m_strDateFormat
                                                        : m_strDateFormat;
}

const std::string& CFetch::TimeFormatFor(const CFetch* formats) const
{
    return formats && !formats->m_strTimeFormat.empty() ? formats->m_strTimeFormat
                                                        : m_strTimeFormat;
}

std::string CFetch::FromDateFormat(const std::string& text, const CFetch* formats) const
{
    if (text.empty())
        return {};
    const DateTextParts parts = SplitDateText(text, DateFormatFor(formats));
    if (parts.weeks)
        return WeekToDateText(std::string(parts.date), std::string(parts.format)) +
               std::string(parts.time);
    std::string result;
    for (const std::string_view piece : {DayPad(parts.day), parts.day, DayPad(parts.month),
                                         parts.month, YearPad(parts.year), parts.year, parts.time})
        result += piece;
    return result;
}

bool CFetch::ParseDate(std::string_view text, const CFetch* formats, int& day, int& month,
                       int& year) const
{
    if (text.empty())
        return false;
    // The normalised text "DDMMYYYY[ time]" is built on the stack; a format with weeks, or a
    // text longer than any date, goes through FromDateFormat.
    const DateTextParts parts = SplitDateText(text, DateFormatFor(formats));
    const std::string_view pieces[] = {DayPad(parts.day), parts.day,           DayPad(parts.month),
                                       parts.month,       YearPad(parts.year), parts.year,
                                       parts.time};
    std::size_t total = 0;
    for (const std::string_view piece : pieces)
        total += piece.size();
    char normalised[64];
    std::string fallback;
    std::string_view date;
    if (parts.weeks || total > sizeof normalised) {
        fallback = FromDateFormat(std::string(text), formats);
        date = fallback;
    } else {
        std::size_t size = 0;
        for (const std::string_view piece : pieces) {
            std::copy(piece.begin(), piece.end(), normalised + size);
            size += piece.size();
        }
        date = std::string_view(normalised, size);
    }
    return date.size() >= 8 && trv::TryParseInt(date.substr(0, 2), day) &&
           trv::TryParseInt(date.substr(2, 2), month) && trv::TryParseInt(date.substr(4, 4), year);
}

std::string CFetch::WeekToDateText(const std::string& text, const std::string& format) const
{
    const std::string weekText = ExtractByMask('W', text, format);
    const int week = weekText.empty() ? 1 : trv::ParseInt(weekText);
    const std::string_view yearPart = ExtractByMaskView('Y', text, format);
    std::string yearText = std::string(YearPad(yearPart)).append(yearPart);
    if (yearText.empty())
        yearText = trv::FormatC("%4d", trv::OleDate::GetCurrentTime().GetYear());
    trv::OleDate day(trv::ParseInt(yearText), 1, 1);
    if (!day.IsValid())
        return {};
    for (int count = 1; count < week; ++count)
        day = day + 7.0;
    // GetDayOfWeek: 1 Sunday ... 7 Saturday; Monday is 2.
    for (int step = 0; step < 7 && day.GetDayOfWeek() != 2; ++step)
        day = day + 1.0;
    return trv::FormatC("%02d%02d%4d", day.GetDay(), day.GetMonth(), day.GetYear());
}

std::string CFetch::FormatMinutes(int minutes) const
{
    if (minutes == kUnsetTime)
        return {};
    std::string result = m_strTimeFormat;
    long long rest = std::llabs(static_cast<long long>(minutes));
    if (result.find('H') != std::string::npos) {
        std::string hours = trv::FormatInt(rest / 60);
        FillMask(hours, result, 'H');
        rest %= 60;
    }
    std::string minuteText = trv::FormatInt(rest);
    FillMask(minuteText, result, 'M');
    return minutes < 0 ? "-" + result : result;
}

int CFetch::ParseTime(std::string_view text, const CFetch* formats) const
{
    const bool negative = text.starts_with('-');
    if (negative)
        text.remove_prefix(1);
    const std::string& format = TimeFormatFor(formats);
    if (text.empty())
        return 0;
    if (text == "UNDEFINED_TIME")
        return kUnsetTime;
    const std::size_t blank = text.rfind(' ');
    if (blank != std::string_view::npos)
        text.remove_prefix(blank + 1);
    const long long hours = trv::ParseInt(ExtractByMaskView('H', text, format));
    const long long minutes = trv::ParseInt(ExtractByMaskView('M', text, format));
    const long long total = negative ? -(hours * 60) - minutes : hours * 60 + minutes;
    // Absurd texts must not overflow into the unset marker or beyond.
    if (total <= kUnsetTime || total > 2147483647LL)
        return 0;
    return static_cast<int>(total);
}

int CFetch::IsTrueText(std::string& text, const CFetch* formats) const
{
    text = trv::ToUpper(text);
    const int number = trv::ParseInt(text);
    if (number != 0)
        text = trv::FormatInt(number);
    const std::string& trueText =
        formats && !formats->m_strBoolTrue.empty() ? formats->m_strBoolTrue : m_strBoolTrue;
    return text == trueText ? 1 : 0;
}

std::string CFetch::VariantToText(const trv::FieldValue& value) const
{
    struct Visitor
    {
        const CFetch& fetch;
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(trv::DbNull) const { return {}; }
        std::string operator()(bool flag) const
        {
            return flag ? fetch.m_strBoolTrue : fetch.m_strBoolFalse;
        }
        std::string operator()(std::int64_t number) const { return trv::FormatInt(number); }
        std::string operator()(double number) const { return trv::FormatDouble(number, 6); }
        std::string operator()(const std::string& text) const { return text; }
        std::string operator()(const trv::OleDate& date) const
        {
            int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
            if (!date.GetParts(year, month, day, hour, minute, second))
                return {};
            return fetch.ToDateFormat(trv::FormatC("%02d%02d%04d", day, month, year)) + " " +
                   fetch.FormatMinutes(hour * 60 + minute);
        }
    };
    return std::visit(Visitor{*this}, value);
}

std::string CFetch::GetDateText(const std::string& name, const std::string& defaultText,
                                int required, int direct, const FetchTextMap* variables)
{
    int linked = 0;
    const CFetch* formats = nullptr;
    std::string value = ReadField(FindFieldLine(name), name, linked, formats, 0, direct, variables);
    if (value.empty()) {
        if (required)
            CheckRequiredField(name, linked);
        value = defaultText;
        formats = nullptr;
    }
    return FromDateFormat(value, formats);
}

CSmartIntArray CFetch::GetFieldListTime(const std::string& name, int minimum, int maximum,
                                        int required, int direct, const FetchTextMap* variables)
{
    FetchTextArray items;
    const CFetch* formats = nullptr;
    GetFieldList(name, items, "", required, 0, -1, direct, variables, &formats);
    CSmartIntArray minutes;
    for (const std::string& item : items) {
        if (item.empty())
            continue;
        int value = ParseTime(item, formats);
        if (minimum != -1 && value < minimum)
            value = minimum;
        if (maximum != -1 && value > maximum)
            value = maximum;
        minutes.Add(value);
    }
    return minutes;
}

void CFetch::GetFieldCoordinates(TGeoCoordinate& coordinates, const FetchTextArray& names,
                                 int required, int raw, double defaultValue)
{
    auto read = [&](int index) {
        if (index >= names.GetSize())
            return defaultValue;
        return GetFieldDouble(names[index], required, 0, nullptr, defaultValue);
    };
    coordinates.X = read(0);
    coordinates.Y = read(1);
    if (m_strCoordinatesFormat == "ECEF" && !raw) {
        coordinates.Z = read(2);
        if (coordinates.X != defaultValue) {
            EcefToGeodetic(coordinates);
            return;
        }
    }
    coordinates.longitude = coordinates.X;
    coordinates.latitude = coordinates.Y;
}

void CFetch::CheckRequiredField(const std::string& name, int linked)
{
    const bool database = IsDatabaseKind(m_nKind);
    auto databaseLocation = [this](const std::string& column) {
        std::string text = TranslateFormat("RequiredField", column, m_strTableName);
        if (!m_strFile.empty())
            text += TranslateFormat("(Database)", m_strFile);
        return text;
    };
    std::string location;
    if (!linked) {
        // The place the field was read from: its line's, or the one parsed last.
        const auto index = m_mapFieldLineIndex.find(name);
        const FetchFieldLine* line =
            index == m_mapFieldLineIndex.end() ? nullptr : &m_arrFieldLines[index->second];
        const bool placed = line && (line->placeParsed || line->pathStamp != 0);
        const std::string& column = placed ? line->place.column : m_strColumn;
        const int position = placed ? line->place.position : m_nPosition;
        location = database ? databaseLocation(column)
                            : TranslateFormat("RequiredPosition", position, m_nRecord, m_strFile);
    } else {
        const auto found = m_mapFields.find(name);
        if (found != m_mapFields.end()) {
            const std::string first = found->second.substr(0, found->second.find(','));
            location = database ? databaseLocation(first)
                                : TranslateFormat("RequiredPosition", trv::ParseInt(first),
                                                  m_nRecord, m_strFile);
        }
    }
    std::string description;
    if (!m_strDescription.empty()) {
        int descriptionLinked = 0;
        description = GetField(m_strDescription, descriptionLinked);
    }
    m_arrRequiredMessages.Add(TranslateFormat("ThisFieldIsRequired", Translate(name),
                                              Translate(m_strErrorText), description));
    m_arrRequiredMessages.Add(location);
}

bool CFetch::ReportRequiredMessages()
{
    if (m_arrRequiredMessages.GetSize() == 0)
        return true;
    std::string text;
    for (const std::string& message : m_arrRequiredMessages) {
        if (message.empty())
            continue;
        if (!text.empty())
            text += '\n';
        text += message;
    }
    m_arrRequiredMessages.SetSize(0);
    return trv::GetUserPrompt().AskQuestion("ThisFieldIsRequired", text, false,
                                            trv::PromptAnswer::Yes) == trv::PromptAnswer::Yes;
}
