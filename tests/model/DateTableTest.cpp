#include "model/DateTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The planning date: Monday 1 January 2024. A function, not a global, so no date is built
// before the date code's own constants.
COleDateTime PlanningDate()
{
    return COleDateTime(2024, 1, 1);
}

COleDateTime January(int day)
{
    return COleDateTime(2024, 1, day);
}

struct Record
{
    std::string code;
    COleDateTime start;
    COleDateTime end;
    std::string description;

    bool operator==(const Record& other) const
    {
        return code == other.code && start == other.start && end == other.end &&
               description == other.description;
    }
};

std::ostream& operator<<(std::ostream& out, const Record& record)
{
    return out << record.code << " " << record.start.FormatDayFirst() << "-"
               << record.end.FormatDayFirst() << " " << record.description;
}

// A days-off definition held in memory: what is written can be read back.
class MemoryDefinition : public trv::DayOffRecordReader, public trv::DayOffRecordWriter
{
  public:
    explicit MemoryDefinition(std::vector<Record> records = {}) : records(std::move(records)) {}

    int Open(const std::string& name, const std::string&, const std::string&) override
    {
        if (name != "INT_DAYOFF_ALL")
            return 0;
        m_next = 0;
        m_open = true;
        return 1;
    }
    bool IsEOF() override { return m_next >= records.size(); }
    bool MoveNext() override
    {
        if (IsEOF())
            return false;
        m_current = records[m_next++];
        return true;
    }
    COleDateTime GetFieldDate(const char* name, const COleDateTime&) override
    {
        return std::string(name) == "START_DATE" ? m_current.start : m_current.end;
    }
    std::string GetFieldString(const char* name, const std::string&) override
    {
        return std::string(name) == "OFF_DAY_CODE" ? m_current.code : m_current.description;
    }
    void Close() override { m_open = false; }

    void SetFieldString(const char* name, const std::string& text) override
    {
        (std::string(name) == "OFF_DAY_CODE" ? m_output.code : m_output.description) = text;
    }
    void SetFieldDate(const char* name, const COleDateTime& date) override
    {
        (std::string(name) == "START_DATE" ? m_output.start : m_output.end) = date;
    }
    void WriteRecord() override
    {
        written.push_back(m_output);
        m_output = Record();
    }

    bool IsOpen() const { return m_open; }

    std::vector<Record> records;
    std::vector<Record> written;

  private:
    std::size_t m_next = 0;
    Record m_current;
    Record m_output;
    bool m_open = false;
};

int Read(CDateTable& table, MemoryDefinition& definition, bool skipDuplicates, int mark = 0)
{
    return table.ReadDaysOff(definition, "INT_DAYOFF_ALL", "plan.fstall", mark, "", skipDuplicates);
}

struct Days
{
    int first;
    int last;
    bool operator==(const Days&) const = default;
};

std::vector<Days> DaysOf(const CDateTable& table)
{
    std::vector<Days> days;
    for (const CDateWindow* window : table)
        days.push_back({window->firstDay, window->lastDay});
    return days;
}

// Windows with days set by hand, as a merged calendar holds them.
CDateTable TableOfDays(std::initializer_list<Days> days)
{
    CDateTable table;
    for (const Days& range : days) {
        CDateWindow* window = table.NewWindow();
        window->firstDay = range.first;
        window->lastDay = range.last;
    }
    return table;
}

TEST(DateTable, FridayEndCoversTheWeekendAndJoinsTheNextMonday)
{
    CDateTable table;
    table.AddWindow(January(3), January(5), "Holiday", "D1", 0);
    table.AddWindow(January(8), January(10), "", "D1", 0);
    table.MergeWindows(PlanningDate());
    ASSERT_EQ(table.GetSize(), 1);
    EXPECT_EQ(DaysOf(table), (std::vector<Days>{{2, 9}}));
    EXPECT_EQ(table[0]->startDate, January(3));
    EXPECT_EQ(table[0]->endDate, January(10));
    EXPECT_EQ(table[0]->description, "Holiday");

    // Alone, the Wednesday-to-Friday window ends on the Sunday.
    CDateWindow window;
    window.Assign(January(3), January(5), "", "", 0);
    window.SetReference(PlanningDate());
    EXPECT_EQ(window.firstDay, 2);
    EXPECT_EQ(window.lastDay, 6);
    EXPECT_EQ(window.endDate, January(7));
    window.SetReference(PlanningDate());
    EXPECT_EQ(window.endDate, January(7));
}

TEST(DateTable, MergeJoinsOnlyTouchingWindowsOfOneCode)
{
    struct Case
    {
        const char* name;
        int secondStart;
        const char* secondCode;
        int expectedCount;
    };
    // The first window runs Tuesday 2 to Thursday 4 January.
    const Case cases[] = {
        {"starts on the last day", 4, "A", 1}, {"starts the day after", 5, "A", 1},
        {"starts two days after", 6, "A", 2},  {"other code", 5, "B", 2},
        {"code differs in case", 5, "a", 2},
    };
    for (const Case& test : cases) {
        CDateTable table;
        table.AddWindow(January(2), January(4), "", "A", 0);
        table.AddWindow(January(test.secondStart), January(16), "", test.secondCode, 0);
        table.MergeWindows(PlanningDate());
        EXPECT_EQ(table.GetSize(), test.expectedCount) << test.name;
    }
}

TEST(DateTable, JoinedWindowsCombineDescriptionsAndMarks)
{
    struct Case
    {
        const char* firstText;
        const char* secondText;
        int firstMark;
        int secondMark;
        const char* text;
        int mark;
    };
    const Case cases[] = {
        {"Easter", "Bridge", 1, 1, "Easter - Bridge", 1},
        {"", "Bridge", 1, 0, "Bridge", 0},
        {"Easter", "", 0, 1, "Easter", 0},
        {"", "", 0, 0, "", 0},
    };
    for (const Case& test : cases) {
        CDateTable table;
        table.AddWindow(January(2), January(3), test.firstText, "", test.firstMark);
        table.AddWindow(January(4), January(4), test.secondText, "", test.secondMark);
        table.MergeWindows(PlanningDate());
        ASSERT_EQ(table.GetSize(), 1);
        EXPECT_EQ(table[0]->description, test.text);
        EXPECT_EQ(table[0]->generalMark, test.mark);
    }
}

TEST(DateTable, AddWindowKeepsStartOrderNewBeforeEqual)
{
    CDateTable table;
    EXPECT_EQ(table.AddWindow(January(10), January(11), "first", "", 0), 0);
    EXPECT_EQ(table.AddWindow(January(10), January(12), "second", "", 0), 0);
    EXPECT_EQ(table.AddWindow(January(2), January(3), "earliest", "", 0), 0);
    EXPECT_EQ(table.AddWindow(January(20), January(21), "latest", "", 0), 3);
    EXPECT_EQ(table[1]->description, "second");
    EXPECT_EQ(table[2]->description, "first");
    EXPECT_EQ(table.FindByCode(""), table[0]);
    EXPECT_EQ(table.FindByCode("X"), nullptr);
}

TEST(DateTable, CopyMatchingWindowsByCodePostcodeAndCity)
{
    CDateTable all;
    const char* codes[] = {"", "28", "2800", "28001", "8001", "madrid", "cust7", "Ab", "29"};
    for (int i = 0; i < 9; ++i)
        all.AddNewWindow(January(2 + 3 * i), January(2 + 3 * i), codes[i], codes[i], 1);

    CDateTable customer;
    all.CopyMatchingWindows(customer, "CUST7", "Madrid", "28001", PlanningDate());
    std::vector<std::string> copied;
    for (const CDateWindow* window : customer) {
        copied.push_back(window->code);
        EXPECT_EQ(window->generalMark, 0);
        EXPECT_NE(window->firstDay, -1); // merged for the reference date
    }
    EXPECT_EQ(copied, (std::vector<std::string>{"", "28", "2800", "28001", "madrid", "cust7"}));

    // A code matches the postcode's beginning only in its exact letter case.
    CDateTable lettered;
    all.CopyMatchingWindows(lettered, "C1", "Lisboa", "AB12", PlanningDate());
    ASSERT_EQ(lettered.GetSize(), 1);
    EXPECT_EQ(lettered[0]->code, "");
}

TEST(DateTable, DelayToAvailableFromStartIndex)
{
    const CDateTable table = TableOfDays({{1, 2}, {3, 5}});
    int delay = -1;
    int window = -1;
    int next = -1;
    EXPECT_EQ(table.DelayToAvailable(1500, 0, delay, window, next), 3);
    EXPECT_EQ(delay, 3 * 1440 - 1500);
    EXPECT_EQ(window, 0);
    EXPECT_EQ(next, 1);

    EXPECT_EQ(table.DelayToAvailable(1500, 1, delay, window, next), -1);
    EXPECT_EQ(delay, 0);
    EXPECT_EQ(next, -1);
    EXPECT_EQ(table.DelayToAvailable(1500, 2, delay, window, next), -1);
    EXPECT_EQ(table.DelayToAvailable(1500, -1, delay, window, next), -1);

    // A minute before the planning date still counts as day 0.
    const CDateTable fromZero = TableOfDays({{0, 0}});
    EXPECT_EQ(fromZero.DelayToAvailable(-100, 0, delay, window, next), 3);
    EXPECT_EQ(delay, 1540);

    // A later window in table order that also holds the day gives the delay.
    const CDateTable nested = TableOfDays({{0, 4}, {1, 2}});
    EXPECT_EQ(nested.DelayToAvailable(1500, 0, delay, window, next), 3);
    EXPECT_EQ(delay, 3 * 1440 - 1500);
    EXPECT_EQ(window, 1);
    EXPECT_EQ(next, 2);

    // Callers that only want the answer pass one variable for every output.
    int shared = 0;
    EXPECT_EQ(table.DelayToAvailable(1500, 0, shared, shared, shared), 3);
    EXPECT_EQ(CDateTable().DelayToAvailable(0, 0, shared, shared, shared), -1);
}

TEST(DateTable, DelayToEndOfCoverageFollowsChainInTableOrder)
{
    int delay = -7;
    int window = -1;
    const CDateTable chain = TableOfDays({{0, 1}, {2, 4}});
    EXPECT_EQ(chain.DelayToEndOfCoverage(600, delay, window), 3);
    EXPECT_EQ(delay, 6600);
    EXPECT_EQ(window, 1);

    const CDateTable reversed = TableOfDays({{2, 4}, {0, 1}});
    EXPECT_EQ(reversed.DelayToEndOfCoverage(600, delay, window), 3);
    EXPECT_EQ(delay, 2280);
    EXPECT_EQ(window, 1);

    delay = -7;
    EXPECT_EQ(chain.DelayToEndOfCoverage(5 * 1440, delay, window), -1);
    EXPECT_EQ(delay, -7);
    EXPECT_EQ(CDateTable().DelayToEndOfCoverage(0, delay, window), -1);
}

TEST(DateTable, FindFirstWindowFromReferenceDate)
{
    EXPECT_EQ(CDateTable().FindFirstWindowFrom(PlanningDate()), 0);

    CDateTable past;
    past.AddWindow(COleDateTime(2023, 12, 4), COleDateTime(2023, 12, 6), "", "", 0);
    past.AddWindow(COleDateTime(2023, 12, 18), COleDateTime(2023, 12, 20), "", "", 0);
    EXPECT_EQ(past.FindFirstWindowFrom(PlanningDate()), 0);

    CDateTable mixed;
    mixed.AddWindow(COleDateTime(2023, 12, 4), COleDateTime(2023, 12, 6), "", "", 0);
    mixed.AddWindow(COleDateTime(2023, 12, 27), January(2), "", "x", 0);
    mixed.AddWindow(January(10), January(10), "", "", 0);
    EXPECT_EQ(mixed.FindFirstWindowFrom(PlanningDate()), 1);
}

TEST(DateTable, ReadDaysOffKeepsValidRecordsInDateOrder)
{
    MemoryDefinition definition({
        {"D1", January(10), January(12), "later"},
        {"D1", January(3), January(3), "one day"},
        {"D2", January(5), January(4), "ends before it starts"},
        {"D3", COleDateTime::Invalid(), January(4), "invalid start"},
    });
    CDateTable table;
    EXPECT_EQ(Read(table, definition, false, 1), 1);
    EXPECT_FALSE(definition.IsOpen());
    ASSERT_EQ(table.GetSize(), 2);
    EXPECT_EQ(table[0]->description, "one day");
    EXPECT_EQ(table[1]->description, "later");
    EXPECT_EQ(table[1]->code, "D1");
    EXPECT_EQ(table[1]->generalMark, 1);
    EXPECT_EQ(table[1]->firstDay, -1); // days come with the merge

    CDateTable untouched;
    untouched.AddWindow(January(1), January(1), "", "", 0);
    EXPECT_EQ(untouched.ReadDaysOff(definition, "MISSING", "", 0, "", true), 0);
    EXPECT_EQ(untouched.GetSize(), 1);
}

TEST(DateTable, ReadingTwiceWithSkipDuplicatesAddsNothing)
{
    MemoryDefinition definition({
        {"", January(3), January(5), "Friday end"},
        {"", January(8), January(9), "touches it"},
        {"", January(20), January(21), "alone"},
    });
    CDateTable table;
    Read(table, definition, true, 1);
    ASSERT_EQ(table.GetSize(), 3);
    Read(table, definition, true, 1);
    EXPECT_EQ(table.GetSize(), 3);

    // Also after the planning date moved an end and joined two windows.
    table.FindFirstWindowFrom(PlanningDate());
    ASSERT_EQ(table.GetSize(), 2);
    Read(table, definition, true, 1);
    EXPECT_EQ(table.GetSize(), 2);

    Read(table, definition, false, 1);
    EXPECT_EQ(table.GetSize(), 5);
}

TEST(DateTable, WrittenCalendarGivesTheReadDatesBack)
{
    const std::vector<Record> records = {
        {"D1", January(3), January(5), "Friday end"},
        {"D1", January(8), January(9), "joined"},
        {"D2", January(15), January(16), "own"},
    };
    MemoryDefinition definition(records);
    CDateTable table;
    Read(table, definition, false);
    table.FindFirstWindowFrom(PlanningDate());
    ASSERT_EQ(table.GetSize(), 2); // the planner sees one window for D1, ending on the 9th
    EXPECT_EQ(table[0]->endDate, January(9));

    EXPECT_EQ(table.WriteDaysOff(definition, ""), 1);
    EXPECT_EQ(definition.written, records);

    // The written records read back into the same calendar.
    MemoryDefinition copy(definition.written);
    CDateTable reread;
    Read(reread, copy, false);
    reread.FindFirstWindowFrom(PlanningDate());
    EXPECT_EQ(DaysOf(reread), DaysOf(table));

    // A code given to the writer replaces the windows' own.
    definition.written.clear();
    table.WriteDaysOff(definition, "DRIVER9");
    ASSERT_EQ(definition.written.size(), 3u);
    EXPECT_EQ(definition.written[2].code, "DRIVER9");
}

TEST(DateTable, EditedWindowWritesItsNewDates)
{
    CDateTable table;
    table.AddWindow(January(3), January(5), "old", "D1", 0);
    table.MergeWindows(PlanningDate());
    CDateWindow edited;
    edited.Assign(January(16), January(17), "new", "ignored", 1);
    table[0]->CopyFrom(edited);
    EXPECT_EQ(table[0]->code, "D1");
    EXPECT_EQ(table[0]->firstDay, 2); // days wait for the next merge

    MemoryDefinition definition;
    table.WriteDaysOff(definition, "");
    EXPECT_EQ(definition.written, (std::vector<Record>{{"D1", January(16), January(17), "new"}}));
}

} // namespace
