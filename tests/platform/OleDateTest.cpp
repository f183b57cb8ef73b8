#include "platform/OleDate.h"

#include <gtest/gtest.h>

using trv::OleDate;

TEST(OleDate, KnownValuesAndRoundTrips)
{
    struct Case
    {
        int year, month, day, hour, minute, second;
        double value;
    };
    const Case cases[] = {
        {1899, 12, 30, 0, 0, 0, 0.0},      {1899, 12, 31, 12, 0, 0, 1.5},
        {1900, 1, 1, 0, 0, 0, 2.0},        {1899, 12, 29, 6, 0, 0, -1.25},
        {2000, 2, 29, 18, 0, 0, 36585.75}, {2024, 12, 31, 23, 59, 59, 45657.999988425926},
        {100, 1, 1, 0, 0, 0, -657434.0},   {9999, 12, 31, 0, 0, 0, 2958465.0},
    };
    for (const Case& item : cases) {
        const OleDate date(item.year, item.month, item.day, item.hour, item.minute, item.second);
        ASSERT_TRUE(date.IsValid()) << item.value;
        EXPECT_NEAR(date.GetValue(), item.value, 1e-9);
        const OleDate back(item.value);
        EXPECT_EQ(back.GetYear(), item.year);
        EXPECT_EQ(back.GetMonth(), item.month);
        EXPECT_EQ(back.GetDay(), item.day);
        EXPECT_EQ(back.GetHour(), item.hour);
        EXPECT_EQ(back.GetMinute(), item.minute);
        EXPECT_EQ(back.GetSecond(), item.second);
    }
    // 1 January 2023 was a Sunday, 30 December 1899 a Saturday.
    EXPECT_EQ(OleDate(2023, 1, 1).GetDayOfWeek(), 1);
    EXPECT_EQ(OleDate().GetDayOfWeek(), 7);
    EXPECT_EQ(OleDate(2024, 12, 31).GetDayOfYear(), 366);
}

TEST(OleDate, OutOfRangePartsAreInvalid)
{
    const int bad[][6] = {{2023, 2, 29, 0, 0, 0}, {2023, 13, 1, 0, 0, 0}, {2023, 4, 31, 0, 0, 0},
                          {2023, 1, 1, 24, 0, 0}, {2023, 1, 1, 0, 60, 0}, {99, 1, 1, 0, 0, 0}};
    for (const auto& parts : bad) {
        const OleDate date(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
        EXPECT_EQ(date.GetStatus(), OleDate::invalid) << parts[0] << "-" << parts[1];
        EXPECT_EQ(date.GetYear(), -1);
        EXPECT_EQ(date.FormatDayFirst(), "");
    }
    EXPECT_FALSE(OleDate(3e6).IsValid());
}

TEST(OleDate, RoundsToTheNearestSecond)
{
    const OleDate almostMidnight(1.0 - 0.2 / 86400.0);
    EXPECT_EQ(almostMidnight.FormatDayFirst(), "31/12/1899");
    EXPECT_EQ(almostMidnight.GetHour(), 0);
}

TEST(OleDate, DayFirstParsing)
{
    struct Case
    {
        const char* text;
        const char* formatted; // "" when invalid
    };
    const Case cases[] = {
        {"05/03/2024", "05/03/2024 00:00:00"},
        {"5/3/2024", "05/03/2024 00:00:00"},
        {"05032024", "05/03/2024 00:00:00"},
        {"31-12-1999", "31/12/1999 00:00:00"},
        {"01.02.24", "01/02/2024 00:00:00"},
        {"01/02/95", "01/02/1995 00:00:00"},
        {" 29/02/2024 13:45 ", "29/02/2024 13:45:00"},
        {"29/02/2024 13:45:07", "29/02/2024 13:45:07"},
        {"29022023", ""},
        {"13/13/2024", ""},
        {"2024-03-05", ""},
        {"05/03-2024", ""},
        {"05/03/2024 25:00", ""},
        {"0503202", ""},
        {"", ""},
    };
    for (const Case& item : cases) {
        const OleDate date = OleDate::ParseDayFirst(item.text);
        EXPECT_EQ(date.Format("%d/%m/%Y %H:%M:%S"), item.formatted) << item.text;
        EXPECT_EQ(date.IsValid(), *item.formatted != '\0') << item.text;
    }
    const OleDate time = OleDate::ParseTime("07:30");
    ASSERT_TRUE(time.IsValid());
    EXPECT_NEAR(time.GetValue(), 7.5 / 24, 1e-12);
    EXPECT_FALSE(OleDate::ParseTime("7h30").IsValid());
}

TEST(OleDate, Formatting)
{
    const OleDate date(2024, 3, 5, 14, 7, 9);
    EXPECT_EQ(date.FormatDayFirst(), "05/03/2024");
    EXPECT_EQ(date.Format("%#d/%#m/%y %I:%M %p"), "5/3/24 02:07 PM");
    EXPECT_EQ(date.Format("%A %d %B, %a %b, %j, 100%%"), "Tuesday 05 March, Tue Mar, 065, 100%");
    EXPECT_EQ(OleDate().Format("%H:%M"), "00:00");
}

TEST(OleDate, ComparisonAndArithmetic)
{
    const OleDate day(2024, 3, 5);
    EXPECT_EQ(day, OleDate(day.GetValue() + 0.4 / 86400));
    EXPECT_NE(day, OleDate(day.GetValue() + 0.6 / 86400));
    EXPECT_NE(day, OleDate::Invalid());
    EXPECT_NE(OleDate::Invalid(), OleDate::Invalid());
    EXPECT_EQ(OleDate::Null(), OleDate::Null());
    EXPECT_LT(day, day + 1.0);
    EXPECT_FALSE(OleDate::Invalid() < day);
    EXPECT_EQ((day + 1.5).Format("%d %H"), "06 12");
    EXPECT_DOUBLE_EQ((day + 10.0) - day, 10.0);
    // Before the epoch the value runs backwards within a day; arithmetic must not.
    const OleDate before(1899, 12, 29, 18, 0, 0);
    EXPECT_NEAR(before.GetValue(), -1.75, 1e-12);
    EXPECT_EQ((before + 0.25).Format("%d/%m/%Y %H:%M"), "30/12/1899 00:00");
    EXPECT_LT(OleDate(1899, 12, 29, 6, 0, 0), before);
    EXPECT_EQ(OleDate(1899, 12, 30).GetValue(), 0.0);
}
