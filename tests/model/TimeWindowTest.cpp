#include "model/TimeWindow.h"

#include "model/WeekDay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using trv::WeekDayNumbering;

CTimeTable MakeTable(std::initializer_list<CTimeWindow> windows)
{
    CTimeTable table;
    for (const CTimeWindow& window : windows)
        table.InsertWindow(window.start, window.end);
    return table;
}

std::vector<CTimeWindow> Windows(const CTimeTable& table)
{
    return {table.begin(), table.end()};
}

constexpr int Monday = trv::WeekDayNumber(trv::DayOfWeek::Monday, WeekDayNumbering::MondayIsOne);
constexpr int Wednesday =
    trv::WeekDayNumber(trv::DayOfWeek::Wednesday, WeekDayNumbering::MondayIsOne);

struct ServiceCase
{
    int arrival;
    int result;
    int wait;
    int slack;
};

// Plain single-day calls: no limits, no days.
int SingleDay(const CTimeTable& table, int arrival, int& wait, int& slack)
{
    return table.ComputeServiceStart(arrival, wait, slack, -1, -1, false, Monday, UnsetDay,
                                     UnsetDay, 0);
}

int MultiDay(const CTimeTable& table, int arrival, int& wait, int& slack, int weekDayOfDayZero,
             int firstDay = UnsetDay, int lastDay = UnsetDay)
{
    return table.ComputeServiceStart(arrival, wait, slack, -1, -1, true, weekDayOfDayZero, firstDay,
                                     lastDay, 0);
}

TEST(TimeTableServiceStart, SingleDayWindowsGiveCodesWaitsAndSlacks)
{
    const CTimeTable table = MakeTable({{480, 720}, {840, 1080}});
    const ServiceCase cases[] = {
        {400, ServiceStartsAfterWait, 80, 320}, {480, ServiceStartsAtArrival, 0, 240},
        {600, ServiceStartsAtArrival, 0, 120},  {720, ServiceStartsAtArrival, 0, 0},
        {780, ServiceStartsAfterWait, 60, 300}, {1100, ServiceImpossible, 20, 0},
    };
    for (const ServiceCase& test : cases) {
        int wait = -99;
        int slack = -99;
        EXPECT_EQ(SingleDay(table, test.arrival, wait, slack), test.result) << test.arrival;
        EXPECT_EQ(wait, test.wait) << test.arrival;
        EXPECT_EQ(slack, test.slack) << test.arrival;
    }
}

TEST(TimeTableServiceStart, EmptyTableIsAlwaysOpen)
{
    const CTimeTable table;
    int wait = -99;
    int slack = 0;
    EXPECT_EQ(SingleDay(table, 5000, wait, slack), ServiceStartsAtArrival);
    EXPECT_EQ(wait, 0);
    EXPECT_EQ(slack, UnlimitedSlack);
    EXPECT_EQ(MultiDay(table, 3 * 1440 + 17, wait, slack, Monday), ServiceStartsAtArrival);
    EXPECT_EQ(slack, UnlimitedSlack);
}

TEST(TimeTableServiceStart, WindowPastMidnightLiesOnLaterDay)
{
    int wait = 0;
    int slack = 0;
    // Open from 22:00 to 02:00 the next day: an arrival at 01:00 of that day is served.
    const CTimeTable overnight = MakeTable({{1320, 1560}});
    EXPECT_EQ(SingleDay(overnight, 1500, wait, slack), ServiceStartsAtArrival);
    EXPECT_EQ(slack, 60);
    // A window wholly on day 1 makes a day-0 arrival wait into the next day.
    const CTimeTable tomorrow = MakeTable({{1440 + 480, 1440 + 720}});
    EXPECT_EQ(SingleDay(tomorrow, 1000, wait, slack), ServiceStartsAfterWait);
    EXPECT_EQ(wait, 1440 + 480 - 1000);
    EXPECT_EQ(slack, 1440 + 720 - 1000);
}

TEST(TimeTableServiceStart, OrderLimitsNarrowEveryWindow)
{
    const CTimeTable table = MakeTable({{480, 720}, {840, 1080}});
    int wait = 0;
    int slack = 0;
    EXPECT_EQ(table.ComputeServiceStart(400, wait, slack, 500, 1000, false, Monday, UnsetDay,
                                        UnsetDay, 0),
              ServiceStartsAfterWait);
    EXPECT_EQ(wait, 100);
    EXPECT_EQ(slack, 320);
    EXPECT_EQ(table.ComputeServiceStart(900, wait, slack, 500, 1000, false, Monday, UnsetDay,
                                        UnsetDay, 0),
              ServiceStartsAtArrival);
    EXPECT_EQ(slack, 100);
    // Past the end limit the day is over, though the window itself lasts longer.
    EXPECT_EQ(table.ComputeServiceStart(1050, wait, slack, 500, 1000, false, Monday, UnsetDay,
                                        UnsetDay, 0),
              ServiceImpossible);
    EXPECT_EQ(wait, 50);
}

TEST(TimeTableServiceStart, MultiDayMovesToLaterDayOrRefuses)
{
    CTimeTable table = MakeTable({{480, 720}});
    int wait = 0;
    int slack = 0;
    // Day 1 at 08:20: inside the window of that day.
    EXPECT_EQ(MultiDay(table, 1440 + 500, wait, slack, Monday), ServiceStartsAtArrival);
    EXPECT_EQ(slack, 220);
    // Day 1 at 13:20: the window is over, service moves to day 2 at 08:00.
    EXPECT_EQ(MultiDay(table, 1440 + 800, wait, slack, Monday), ServiceOnLaterDay);
    EXPECT_EQ(1440 + 800 + wait, 2 * 1440 + 480);
    // ... unless day 1 is the last day: late by 80 minutes.
    EXPECT_EQ(MultiDay(table, 1440 + 800, wait, slack, Monday, UnsetDay, 1), ServiceImpossible);
    EXPECT_EQ(wait, 80);
    // Before the first allowed day: start on day 2 at the opening.
    EXPECT_EQ(MultiDay(table, 100, wait, slack, Monday, 2), ServiceOnLaterDay);
    EXPECT_EQ(100 + wait, 2 * 1440 + 480);
    // A request past the table's own last day is late by the distance to its last service.
    table.lastDay = 1;
    EXPECT_EQ(MultiDay(table, 100, wait, slack, Monday, 3), ServiceImpossible);
    EXPECT_EQ(wait, 3 * 1440 - (1440 + 720));
}

TEST(TimeTableServiceStart, ClosedWeekDayMovesToNextOpenOne)
{
    CTimeTable table = MakeTable({{480, 720}});
    table.weekDayMask = trv::WeekDayMaskBit(trv::DayOfWeek::Wednesday);
    int wait = 0;
    int slack = 0;
    // Day 0 is a Wednesday; day 1 (Thursday) is closed until the next Wednesday, day 7.
    EXPECT_EQ(MultiDay(table, 1440 + 600, wait, slack, Wednesday), ServiceOnLaterDay);
    EXPECT_EQ(1440 + 600 + wait, 7 * 1440 + 480);
    // With day 3 as the last day the next opening is too late: one week earlier is day 0,
    // already past, so the arrival is late against day 0's closing.
    EXPECT_EQ(MultiDay(table, 1440 + 600, wait, slack, Wednesday, UnsetDay, 3), ServiceImpossible);
    EXPECT_EQ(wait, 1440 + 600 - 720);
    // Mask 0 never delays.
    table.weekDayMask = 0;
    EXPECT_EQ(MultiDay(table, 1440 + 600, wait, slack, Wednesday), ServiceStartsAtArrival);
}

TEST(TimeTableDelayToAllowedDay, WeekDayOfDayZeroFollowsCallersNumbering)
{
    CTimeTable table = MakeTable({{480, 720}});
    table.weekDayMask = trv::WeekDayMaskBit(trv::DayOfWeek::Sunday);
    // A caller that counts 1 = Sunday converts before asking; day 0 is then a Sunday.
    const int sunday =
        trv::ConvertWeekDay(1, WeekDayNumbering::SundayIsOne, WeekDayNumbering::MondayIsOne);
    ASSERT_EQ(sunday, 7);
    int wait = -1;
    EXPECT_EQ(table.DelayToAllowedDay(600, sunday, wait, UnsetDay), 1);
    EXPECT_EQ(wait, -1);
    EXPECT_EQ(table.DelayToAllowedDay(1440 + 600, sunday, wait, UnsetDay), 1);
    EXPECT_EQ(wait, 7 * 1440 + 480 - (1440 + 600));
}

TEST(TimeTableDelayToAllowedDay, DayBeforePlanningDayWrapsTheWeek)
{
    CTimeTable table = MakeTable({{480, 720}});
    // Day -1 of a Monday plan is a Sunday.
    table.weekDayMask = trv::WeekDayMaskBit(trv::DayOfWeek::Sunday);
    int wait = -1;
    EXPECT_EQ(table.DelayToAllowedDay(-2000, Monday, wait, UnsetDay), 1);
    EXPECT_EQ(wait, -1);
    table.weekDayMask = trv::WeekDayMaskBit(trv::DayOfWeek::Monday);
    EXPECT_EQ(table.DelayToAllowedDay(-2000, Monday, wait, UnsetDay), 1);
    EXPECT_EQ(wait, 480 + 2000);
}

TEST(TimeTableDelayToAllowedDay, MaskWithoutWeekDaysIsImpossibleAtOnce)
{
    CTimeTable table = MakeTable({{480, 720}});
    table.weekDayMask = 0x80;
    int wait = 25;
    EXPECT_EQ(table.DelayToAllowedDay(600, Monday, wait, UnsetDay), 0);
    EXPECT_EQ(wait, -1);
    int slack = 0;
    EXPECT_EQ(MultiDay(table, 600, wait, slack, Monday), ServiceImpossible);
}

TEST(TimeTableDelayToAllowedDay, EmptyTableOpensAtMidnightOfTheOpenDay)
{
    // Always open on Mondays only: a Tuesday arrival waits for next Monday's midnight, not for
    // the closed Sunday before it.
    CTimeTable table;
    table.weekDayMask = trv::WeekDayMaskBit(trv::DayOfWeek::Monday);
    int wait = 0;
    int slack = 0;
    EXPECT_EQ(MultiDay(table, 1440 + 600, wait, slack, Monday), ServiceOnLaterDay);
    const int start = 1440 + 600 + wait;
    EXPECT_EQ(start, 7 * 1440);
    EXPECT_EQ(MultiDay(table, start, wait, slack, Monday), ServiceStartsAtArrival);
}

TEST(TimeTable, InsertKeepsStartOrderWithLatestFirstOnTies)
{
    CTimeTable table = MakeTable({{840, 1080}, {480, 600}});
    table.InsertWindow(480, 700);
    table.InsertWindow(2000, 2100);
    EXPECT_EQ(Windows(table),
              (std::vector<CTimeWindow>{{480, 700}, {480, 600}, {840, 1080}, {2000, 2100}}));
}

TEST(TimeTable, SpansAndClosingTimes)
{
    const CTimeTable empty;
    EXPECT_EQ(empty.GetFirstStart(), -1440);
    EXPECT_EQ(empty.GetLastEnd(), 14400);
    EXPECT_EQ(empty.GetClosingTime(300), 1440);

    EXPECT_EQ(MakeTable({{480, 720}}).GetClosingTime(900), 720);
    const CTimeTable table = MakeTable({{480, 720}, {840, 1080}});
    EXPECT_EQ(table.GetFirstStart(), 480);
    EXPECT_EQ(table.GetLastEnd(), 1080);
    EXPECT_EQ(table.GetClosingTime(100), 720);
    EXPECT_EQ(table.GetClosingTime(720), 720);
    EXPECT_EQ(table.GetClosingTime(750), 1080);
    EXPECT_EQ(table.GetClosingTime(1200), 1080);
}

TEST(TimeWindow, NormalizeForReferenceMinute)
{
    struct Case
    {
        CTimeWindow window;
        int reference;
        CTimeWindow expected;
        bool changed;
    };
    const Case cases[] = {
        {{1320, 120}, 0, {1320, 1560}, true},
        {{480, 720}, 0, {480, 720}, false},
        {{400, 1440}, 360, {-1040, -1}, true},
        {{100, 200}, 360, {100, 200}, false},
        {{1000, 2000}, 360, {-440, 560}, true},
        {{1320, kUnsetTime}, 0, {1320, kUnsetTime}, false},
        {{}, 360, {}, false},
    };
    for (const Case& test : cases) {
        CTimeWindow window = test.window;
        EXPECT_EQ(window.Normalize(test.reference), test.changed) << test.window.start;
        EXPECT_EQ(window, test.expected) << test.window.start;
    }
}

TEST(TimeTable, NormalizeResortsMovedWindowsAndDropsUnset)
{
    CTimeTable table = MakeTable({{100, 200}, {400, 1440}});
    table.Add(CTimeWindow());
    table.Normalize(360);
    EXPECT_EQ(Windows(table), (std::vector<CTimeWindow>{{-1040, -1}, {100, 200}}));

    CTimeTable unset;
    unset.Add(CTimeWindow());
    unset.Add(CTimeWindow());
    unset.Normalize(0);
    EXPECT_EQ(unset.GetSize(), 0);
}

TEST(TimeWindow, TextsWithDayOffset)
{
    struct Case
    {
        CTimeWindow window;
        const char* text;
    };
    const Case cases[] = {
        {{1320, 1560}, "22:00 - 02:00 (+1)"},
        {{480, 720}, "08:00 - 12:00"},
        {{600, 3 * 1440 + 30}, "10:00 - 00:30 (+3)"},
        {{480, kUnsetTime}, "08:00 - "},
        {{kUnsetTime, 600}, " - 10:00"},
        {{}, ""},
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.window.ToText("%H:%M", " - "), test.text);
}

TEST(TimeTable, TextCopyAndReset)
{
    CTimeTable table = MakeTable({{480, 720}, {840, 1080}});
    EXPECT_EQ(table.ToText("%H:%M", " - "), "08:00 - 18:00");
    EXPECT_EQ(CTimeTable().ToText("%H:%M", " - "), "");

    table.firstDay = 1;
    table.lastDay = 4;
    table.weekDayMask = -1;
    CTimeTable copy;
    copy.InsertWindow(1, 2);
    copy = table;
    EXPECT_EQ(Windows(copy), Windows(table));
    EXPECT_EQ(copy.firstDay, 1);
    EXPECT_EQ(copy.lastDay, 4);
    EXPECT_EQ(copy.weekDayMask, -1);

    copy.Reset();
    EXPECT_EQ(copy.GetSize(), 0);
    EXPECT_EQ(copy.firstDay, UnsetDay);
    EXPECT_EQ(copy.lastDay, UnsetDay);
    EXPECT_EQ(copy.weekDayMask, 0);
    EXPECT_EQ(table.GetSize(), 2);
}

} // namespace
