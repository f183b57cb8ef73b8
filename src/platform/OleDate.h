#pragma once

#include <string>
#include <string_view>

namespace trv {

// An OLE date: days since 30 December 1899 as a double, the time of day as its fraction, with
// a status (valid, invalid, null). Before the epoch the integer part is the day and the
// magnitude of the fraction the time (-1.25 is 29 December 1899, 06:00), as OLE defines it.
// Valid values cover the years 100 to 9999. Converted values are rounded to the second.
//
// The members follow the framework date-time type the program was written against
// (GetYear ... GetDayOfWeek return -1 when the date is not valid), so that code using it reads
// the same.
class OleDate
{
  public:
    enum Status
    {
        valid = 0,
        invalid = 1,
        null = 2
    };

    // The zero date (30 December 1899, 00:00), valid.
    OleDate() = default;
    // A value in days; invalid when outside the supported range or not a number.
    explicit OleDate(double days);
    // From its parts; invalid when a part is out of range (30 February, hour 24 ...).
    OleDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

    static OleDate Null();
    static OleDate Invalid();
    // The current local date and time.
    static OleDate GetCurrentTime();

    // Set from parts; false (and invalid status) when a part is out of range.
    bool SetDateTime(int year, int month, int day, int hour, int minute, int second);
    bool SetDate(int year, int month, int day);
    // A time of day on the zero date.
    bool SetTime(int hour, int minute, int second);

    double GetValue() const { return m_value; }
    void SetValue(double days) { *this = OleDate(days); }
    Status GetStatus() const { return m_status; }
    void SetStatus(Status status) { m_status = status; }
    bool IsValid() const { return m_status == valid; }

    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    // 1 Sunday ... 7 Saturday.
    int GetDayOfWeek() const;
    // 1 ... 366.
    int GetDayOfYear() const;

    // All six parts at once; false when the date is not valid.
    bool GetParts(int& year, int& month, int& day, int& hour, int& minute, int& second) const;

    // Day-first date text: "DD/MM/YYYY", "D-M-YYYY", "DD.MM.YY" (years below 30 are 20xx, other
    // two-digit years 19xx) or the eight digits "DDMMYYYY", optionally followed by a blank and
    // "HH:MM" or "HH:MM:SS". Anything else gives an invalid date.
    static OleDate ParseDayFirst(std::string_view text);
    // "HH:MM" or "HH:MM:SS" (blanks around allowed) as a time on the zero date; invalid else.
    static OleDate ParseTime(std::string_view text);

    // strftime-like formatting in the C locale: %d %m %Y %y %H %I %M %S %p %j %a %A %b %B %w
    // and %%; a '#' after '%' drops leading zeros ("%#d"). Empty when the date is not valid.
    std::string Format(std::string_view pattern) const;
    // "%02d/%02d/%04d" of day, month and year; empty when not valid.
    std::string FormatDayFirst() const;

    // Equal when both are valid and less than half a second apart, or both null.
    bool operator==(const OleDate& other) const;
    bool operator!=(const OleDate& other) const { return !(*this == other); }
    // Ordered by value, only when both are valid.
    bool operator<(const OleDate& other) const;
    bool operator>(const OleDate& other) const { return other < *this; }
    bool operator<=(const OleDate& other) const { return *this < other || *this == other; }
    bool operator>=(const OleDate& other) const { return other <= *this; }

    // Moves the date by a number of days (fractions are times); keeps a non-valid status.
    OleDate operator+(double days) const;
    OleDate operator-(double days) const { return *this + (-days); }
    // The days between two valid dates, 0 when either is not.
    double operator-(const OleDate& other) const;

  private:
    double m_value = 0.0;
    Status m_status = valid;
};

} // namespace trv
