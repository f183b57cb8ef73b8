#pragma once

namespace trv {

// Days of the week. Different parts of the program number them differently; every caller
// names the numbering it uses and converts through these helpers instead of doing its own
// arithmetic:
// - MondayIsOne: 1 Monday .. 7 Sunday (the plan's day of week, the opening days of a time
//   table, whose mask bit w - 1 stands for day w);
// - SundayIsOne: 1 Sunday .. 7 Saturday (the day of week of a date, hour speeds, date texts).
enum class DayOfWeek
{
    Monday = 0,
    Tuesday,
    Wednesday,
    Thursday,
    Friday,
    Saturday,
    Sunday
};

enum class WeekDayNumbering
{
    MondayIsOne,
    SundayIsOne
};

inline constexpr int DaysPerWeek = 7;

// Opening-day masks: bit 0 Monday .. bit 6 Sunday.
inline constexpr int AllWeekDaysMask = 0x7F;

// The remainder of value / 7 in 0..6, also for negative values.
constexpr int WeekRemainder(long long value)
{
    const int remainder = static_cast<int>(value % DaysPerWeek);
    return remainder < 0 ? remainder + DaysPerWeek : remainder;
}

// The day a number names in the given numbering; numbers outside 1..7 wrap around the week
// (0 is the day before the one numbered 1).
constexpr DayOfWeek DayOfWeekFromNumber(int number, WeekDayNumbering numbering)
{
    const int offset = numbering == WeekDayNumbering::MondayIsOne ? 0 : DaysPerWeek - 1;
    return static_cast<DayOfWeek>(WeekRemainder(static_cast<long long>(number) - 1 + offset));
}

// The number of a day in the given numbering, 1..7.
constexpr int WeekDayNumber(DayOfWeek day, WeekDayNumbering numbering)
{
    const int offset = numbering == WeekDayNumbering::MondayIsOne ? 0 : 1;
    return WeekRemainder(static_cast<int>(day) + offset) + 1;
}

// A week-day number moved from one numbering to another.
constexpr int ConvertWeekDay(int number, WeekDayNumbering from, WeekDayNumbering to)
{
    return WeekDayNumber(DayOfWeekFromNumber(number, from), to);
}

// The day that comes `days` days after `day` (before it when negative).
constexpr DayOfWeek AddDays(DayOfWeek day, long long days)
{
    return static_cast<DayOfWeek>(WeekRemainder(static_cast<int>(day) + WeekRemainder(days)));
}

// The bit of a day in an opening-day mask.
constexpr int WeekDayMaskBit(DayOfWeek day)
{
    return 1 << static_cast<int>(day);
}

constexpr bool IsWeekDayInMask(int mask, DayOfWeek day)
{
    return (mask & WeekDayMaskBit(day)) != 0;
}

// The day of week of an OLE date value (days since 30 December 1899, a Saturday). Before that
// date the integer part is the day, as OLE dates count.
constexpr DayOfWeek DayOfWeekOfOleDay(double oleDate)
{
    const long long day = static_cast<long long>(oleDate); // truncated: the day of the date
    return AddDays(DayOfWeek::Saturday, day);
}

} // namespace trv
