#include "platform/OleDate.h"

#include "platform/Text.h"

#include <cctype>
#include <cmath>
#include <ctime>

namespace trv {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kHalfSecondDays = 0.5 / kSecondsPerDay;
// The supported range: 1 January 100 to 31 December 9999, 23:59:59.
constexpr double kMinimumValue = -657434.0;
constexpr double kMaximumValue = 2958465.99999;

constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};

// Days from 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr long long DaysFromCivil(long long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(static_cast<long long>(yearOfEra) + era * 400 + (month <= 2));
}

// Constant-initialised, so dates built during static initialisation are right too.
constexpr long long kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// OLE values run backwards in time within a day before the epoch; the linear form does not.
double ToLinear(double value)
{
    const double day = std::trunc(value);
    return day + std::fabs(value - day);
}

double FromLinear(double linear)
{
    const double day = std::floor(linear);
    const double time = linear - day;
    return day >= 0 ? day + time : day - time;
}

bool InRange(double value)
{
    return std::isfinite(value) && value >= kMinimumValue && value <= kMaximumValue;
}

// Reads 1..maxDigits digits at `position`; false when there are none.
bool ReadNumber(std::string_view text, std::size_t& position, std::size_t maxDigits, int& value)
{
    const std::size_t start = position;
    value = 0;
    while (position < text.size() && position - start < maxDigits &&
           std::isdigit(static_cast<unsigned char>(text[position]))) {
        value = value * 10 + (text[position] - '0');
        ++position;
    }
    return position > start;
}

// "HH:MM" or "HH:MM:SS" filling the whole text.
bool ParseTimeParts(std::string_view text, int& hour, int& minute, int& second)
{
    std::size_t position = 0;
    second = 0;
    if (!ReadNumber(text, position, 2, hour) || position >= text.size() || text[position] != ':')
        return false;
    ++position;
    if (!ReadNumber(text, position, 2, minute))
        return false;
    if (position < text.size()) {
        if (text[position] != ':')
            return false;
        ++position;
        if (!ReadNumber(text, position, 2, second))
            return false;
    }
    return position == text.size();
}

bool ParseDateParts(std::string_view text, int& year, int& month, int& day)
{
    std::size_t position = 0;
    if (text.size() == 8 && ReadNumber(text, position, 8, year) && position == 8) {
        day = (text[0] - '0') * 10 + (text[1] - '0');
        month = (text[2] - '0') * 10 + (text[3] - '0');
        year = ParseInt(text.substr(4));
        return true;
    }
    position = 0;
    if (!ReadNumber(text, position, 2, day) || position >= text.size())
        return false;
    const char separator = text[position];
    if (separator != '/' && separator != '-' && separator != '.')
        return false;
    ++position;
    if (!ReadNumber(text, position, 2, month) || position >= text.size() ||
        text[position] != separator)
        return false;
    ++position;
    const std::size_t yearStart = position;
    if (!ReadNumber(text, position, 4, year) || position != text.size())
        return false;
    const std::size_t yearDigits = position - yearStart;
    if (yearDigits == 2)
        year += year < 30 ? 2000 : 1900;
    else if (yearDigits != 4)
        return false;
    return true;
}

void AppendNumber(std::string& out, int value, int width, bool dropZeros)
{
    out += FormatC("%0*d", dropZeros ? 1 : width, value);
}

} // namespace

OleDate::OleDate(double days) : m_value(days), m_status(InRange(days) ? valid : invalid)
{
    if (m_status != valid)
        m_value = 0.0;
}

OleDate::OleDate(int year, int month, int day, int hour, int minute, int second)
{
    SetDateTime(year, month, day, hour, minute, second);
}

OleDate OleDate::Null()
{
    OleDate date;
    date.m_status = null;
    return date;
}

OleDate OleDate::Invalid()
{
    OleDate date;
    date.m_status = invalid;
    return date;
}

OleDate OleDate::GetCurrentTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return OleDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec);
}

bool OleDate::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    const bool partsValid = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                            day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 &&
                            minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
    if (!partsValid) {
        m_value = 0.0;
        m_status = invalid;
        return false;
    }
    const double dayNumber = static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
    const double time = (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
    m_value = FromLinear(dayNumber + time);
    m_status = valid;
    return true;
}

bool OleDate::SetDate(int year, int month, int day)
{
    return SetDateTime(year, month, day, 0, 0, 0);
}

bool OleDate::SetTime(int hour, int minute, int second)
{
    return SetDateTime(1899, 12, 30, hour, minute, second);
}

bool OleDate::GetParts(int& year, int& month, int& day, int& hour, int& minute, int& second) const
{
    if (m_status != valid)
        return false;
    const long long totalSeconds = std::llround(ToLinear(m_value) * kSecondsPerDay);
    long long dayNumber = totalSeconds / 86400;
    long long secondOfDay = totalSeconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --dayNumber;
    }
    CivilFromDays(dayNumber + kEpochDays, year, month, day);
    hour = static_cast<int>(secondOfDay / 3600);
    minute = static_cast<int>(secondOfDay / 60 % 60);
    second = static_cast<int>(secondOfDay % 60);
    return true;
}

namespace {

struct Parts
{
    int year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
};

Parts Split(const OleDate& date)
{
    Parts parts;
    if (!date.GetParts(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second))
        parts = Parts();
    return parts;
}

} // namespace

int OleDate::GetYear() const
{
    return Split(*this).year;
}

int OleDate::GetMonth() const
{
    return Split(*this).month;
}

int OleDate::GetDay() const
{
    return Split(*this).day;
}

int OleDate::GetHour() const
{
    return Split(*this).hour;
}

int OleDate::GetMinute() const
{
    return Split(*this).minute;
}

int OleDate::GetSecond() const
{
    return Split(*this).second;
}

int OleDate::GetDayOfWeek() const
{
    const Parts parts = Split(*this);
    if (parts.year < 0)
        return -1;
    // 1 January 1970 was a Thursday (5 in 1 Sunday ... 7 Saturday).
    const long long days = DaysFromCivil(parts.year, parts.month, parts.day);
    return static_cast<int>(((days + 4) % 7 + 7) % 7) + 1;
}

int OleDate::GetDayOfYear() const
{
    const Parts parts = Split(*this);
    if (parts.year < 0)
        return -1;
    return static_cast<int>(DaysFromCivil(parts.year, parts.month, parts.day) -
                            DaysFromCivil(parts.year, 1, 1)) +
           1;
}

OleDate OleDate::ParseDayFirst(std::string_view text)
{
    text = Trim(text);
    const std::size_t blank = text.find(' ');
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ParseDateParts(text.substr(0, blank), year, month, day))
        return Invalid();
    if (blank != std::string_view::npos &&
        !ParseTimeParts(Trim(text.substr(blank)), hour, minute, second))
        return Invalid();
    return OleDate(year, month, day, hour, minute, second);
}

OleDate OleDate::ParseTime(std::string_view text)
{
    int hour = 0, minute = 0, second = 0;
    if (!ParseTimeParts(Trim(text), hour, minute, second))
        return Invalid();
    OleDate date;
    date.SetTime(hour, minute, second);
    return date;
}

std::string OleDate::Format(std::string_view pattern) const
{
    const Parts parts = Split(*this);
    if (parts.year < 0)
        return {};
    std::string out;
    out.reserve(pattern.size() + 8);
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        if (pattern[index] != '%' || index + 1 >= pattern.size()) {
            out += pattern[index];
            continue;
        }
        char code = pattern[++index];
        const bool dropZeros = code == '#' && index + 1 < pattern.size();
        if (dropZeros)
            code = pattern[++index];
        const int hour12 = parts.hour % 12 == 0 ? 12 : parts.hour % 12;
        switch (code) {
        case 'd':
            AppendNumber(out, parts.day, 2, dropZeros);
            break;
        case 'm':
            AppendNumber(out, parts.month, 2, dropZeros);
            break;
        case 'Y':
            AppendNumber(out, parts.year, 4, dropZeros);
            break;
        case 'y':
            AppendNumber(out, parts.year % 100, 2, dropZeros);
            break;
        case 'H':
            AppendNumber(out, parts.hour, 2, dropZeros);
            break;
        case 'I':
            AppendNumber(out, hour12, 2, dropZeros);
            break;
        case 'M':
            AppendNumber(out, parts.minute, 2, dropZeros);
            break;
        case 'S':
            AppendNumber(out, parts.second, 2, dropZeros);
            break;
        case 'j':
            AppendNumber(out, GetDayOfYear(), 3, dropZeros);
            break;
        case 'w':
            AppendNumber(out, GetDayOfWeek() - 1, 1, dropZeros);
            break;
        case 'p':
            out += parts.hour < 12 ? "AM" : "PM";
            break;
        case 'A':
            out += kDayNames[GetDayOfWeek() - 1];
            break;
        case 'a':
            out.append(kDayNames[GetDayOfWeek() - 1], 3);
            break;
        case 'B':
            out += kMonthNames[parts.month - 1];
            break;
        case 'b':
            out.append(kMonthNames[parts.month - 1], 3);
            break;
        case '%':
            out += '%';
            break;
        default:
            out += '%';
            out += code;
            break;
        }
    }
    return out;
}

std::string OleDate::FormatDayFirst() const
{
    const Parts parts = Split(*this);
    if (parts.year < 0)
        return {};
    return FormatC("%02d/%02d/%04d", parts.day, parts.month, parts.year);
}

bool OleDate::operator==(const OleDate& other) const
{
    if (m_status == null || other.m_status == null)
        return m_status == other.m_status;
    if (m_status != valid || other.m_status != valid)
        return false;
    return std::fabs(ToLinear(m_value) - ToLinear(other.m_value)) < kHalfSecondDays;
}

bool OleDate::operator<(const OleDate& other) const
{
    return m_status == valid && other.m_status == valid &&
           ToLinear(m_value) < ToLinear(other.m_value);
}

OleDate OleDate::operator+(double days) const
{
    if (m_status != valid)
        return *this;
    return OleDate(FromLinear(ToLinear(m_value) + days));
}

double OleDate::operator-(const OleDate& other) const
{
    if (m_status != valid || other.m_status != valid)
        return 0.0;
    return ToLinear(m_value) - ToLinear(other.m_value);
}

} // namespace trv
