#include "model/WeekDay.h"

#include "platform/OleDate.h"

#include <gtest/gtest.h>

namespace {

using trv::DayOfWeek;
using trv::WeekDayNumbering;

TEST(WeekDay, EachNumberingNamesItsDays)
{
    struct Case
    {
        DayOfWeek day;
        int mondayIsOne;
        int sundayIsOne;
        int maskBit;
    };
    const Case cases[] = {
        {DayOfWeek::Monday, 1, 2, 0x01},    {DayOfWeek::Tuesday, 2, 3, 0x02},
        {DayOfWeek::Wednesday, 3, 4, 0x04}, {DayOfWeek::Thursday, 4, 5, 0x08},
        {DayOfWeek::Friday, 5, 6, 0x10},    {DayOfWeek::Saturday, 6, 7, 0x20},
        {DayOfWeek::Sunday, 7, 1, 0x40},
    };
    for (const Case& test : cases) {
        const int index = static_cast<int>(test.day);
        EXPECT_EQ(trv::WeekDayNumber(test.day, WeekDayNumbering::MondayIsOne), test.mondayIsOne)
            << index;
        EXPECT_EQ(trv::WeekDayNumber(test.day, WeekDayNumbering::SundayIsOne), test.sundayIsOne)
            << index;
        EXPECT_EQ(trv::DayOfWeekFromNumber(test.mondayIsOne, WeekDayNumbering::MondayIsOne),
                  test.day);
        EXPECT_EQ(trv::DayOfWeekFromNumber(test.sundayIsOne, WeekDayNumbering::SundayIsOne),
                  test.day);
        EXPECT_EQ(trv::ConvertWeekDay(test.sundayIsOne, WeekDayNumbering::SundayIsOne,
                                      WeekDayNumbering::MondayIsOne),
                  test.mondayIsOne);
        EXPECT_EQ(trv::WeekDayMaskBit(test.day), test.maskBit);
    }
}

TEST(WeekDay, CountingDaysWrapsBothWays)
{
    EXPECT_EQ(trv::AddDays(DayOfWeek::Sunday, 1), DayOfWeek::Monday);
    EXPECT_EQ(trv::AddDays(DayOfWeek::Monday, -1), DayOfWeek::Sunday);
    EXPECT_EQ(trv::AddDays(DayOfWeek::Wednesday, 7 * 52 + 2), DayOfWeek::Friday);
    EXPECT_EQ(trv::AddDays(DayOfWeek::Wednesday, -15), DayOfWeek::Tuesday);
    EXPECT_EQ(trv::DayOfWeekFromNumber(0, WeekDayNumbering::MondayIsOne), DayOfWeek::Sunday);
    EXPECT_EQ(trv::DayOfWeekFromNumber(8, WeekDayNumbering::SundayIsOne), DayOfWeek::Sunday);
}

TEST(WeekDay, OleDatesAgreeWithTheDateType)
{
    EXPECT_EQ(trv::DayOfWeekOfOleDay(0.0), DayOfWeek::Saturday);
    EXPECT_EQ(trv::DayOfWeekOfOleDay(-1.25), DayOfWeek::Friday);
    for (int day = 1; day <= 14; ++day) {
        const trv::OleDate date(2024, 1, day, 18, 30, 0);
        EXPECT_EQ(trv::DayOfWeekOfOleDay(date.GetValue()),
                  trv::DayOfWeekFromNumber(date.GetDayOfWeek(), WeekDayNumbering::SundayIsOne))
            << day;
    }
    EXPECT_EQ(trv::DayOfWeekOfOleDay(trv::OleDate(2024, 1, 1).GetValue()), DayOfWeek::Monday);
}

} // namespace
