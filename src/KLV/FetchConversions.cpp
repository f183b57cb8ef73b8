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

// Splits "date time" at its last blank: the time part keeps the blank.
std::string CutTimePart(std::string& text)
{
    const std::size_t blank = text.rfind(' ');
    if (blank == std::string::npos)
        return {};
    std::string time = text.substr(blank);
    text.erase(blank);
    return time;
}

std::string PadPart(std::string value, std::size_t shortLength, const char* prefix)
{
    if (value.size() == shortLength)
        value.insert(0, prefix);
    return value;
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

std::string CFetch::FromDateFormat(const std::string& text) const
{
    std::string format = m_strLinkedDateFormat.empty() ? m_strDateFormat : m_strLinkedDateFormat;
    if (text.empty())
        return {};
    std::string date = text;
    const std::string timePart = CutTimePart(date);
    if (!timePart.empty()) {
        const std::size_t formatBlank = format.rfind(' ');
        if (formatBlank != std::string::npos)
            format.erase(formatBlank);
    }
    if (format.find('W') != std::string::npos)
        return WeekToDateText(date, format) + timePart;
    const std::string day = PadPart(ExtractByMask('D', date, format), 1, "0");
    const std::string month = PadPart(ExtractByMask('M', date, format), 1, "0");
    const std::string year = PadPart(ExtractByMask('Y', date, format), 2, "20");
    return day + month + year + timePart;
}

std::string CFetch::WeekToDateText(const std::string& text, const std::string& format) const
{
    const std::string weekText = ExtractByMask('W', text, format);
    const int week = weekText.empty() ? 1 : trv::ParseInt(weekText);
    std::string yearText = PadPart(ExtractByMask('Y', text, format), 2, "20");
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

int CFetch::ParseTime(std::string text) const
{
    const bool negative = text.starts_with('-');
    if (negative)
        text.erase(0, 1);
    const std::string& format =
        m_strLinkedTimeFormat.empty() ? m_strTimeFormat : m_strLinkedTimeFormat;
    if (text.empty())
        return 0;
    if (text == "UNDEFINED_TIME")
        return kUnsetTime;
    const std::size_t blank = text.rfind(' ');
    if (blank != std::string::npos)
        text.erase(0, blank + 1);
    const long long hours = trv::ParseInt(ExtractByMask('H', text, format));
    const long long minutes = trv::ParseInt(ExtractByMask('M', text, format));
    const long long total = negative ? -(hours * 60) - minutes : hours * 60 + minutes;
    // Absurd texts must not overflow into the unset marker or beyond.
    if (total <= kUnsetTime || total > 2147483647LL)
        return 0;
    return static_cast<int>(total);
}

int CFetch::IsTrueText(std::string& text) const
{
    text = trv::ToUpper(text);
    const int number = trv::ParseInt(text);
    if (number != 0)
        text = trv::FormatInt(number);
    const std::string& trueText = m_strLinkedBoolTrue.empty() ? m_strBoolTrue : m_strLinkedBoolTrue;
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
    std::string value = GetField(name, linked, 0, direct, variables);
    if (value.empty()) {
        if (required)
            CheckRequiredField(name, linked);
        value = defaultText;
    }
    return FromDateFormat(value);
}

CSmartIntArray CFetch::GetFieldListTime(const std::string& name, int minimum, int maximum,
                                        int required, int direct, const FetchTextMap* variables)
{
    FetchTextArray items;
    GetFieldList(name, items, "", required, 0, -1, direct, variables);
    CSmartIntArray minutes;
    for (const std::string& item : items) {
        if (item.empty())
            continue;
        int value = ParseTime(item);
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
        location = database
                       ? databaseLocation(m_strColumn)
                       : TranslateFormat("RequiredPosition", m_nPosition, m_nRecord, m_strFile);
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
