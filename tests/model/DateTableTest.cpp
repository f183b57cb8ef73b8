#include "model/DateTable.h"

#include "MemoryFieldRecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The planning date: Monday 1 January 2024. A function, not a global, so no date is built
// before the date code's own constants.
trv::OleDate PlanningDate()
{
    return trv::OleDate(2024, 1, 1);
}

trv::OleDate January(int day)
{
    return trv::OleDate(2024, 1, day);
}

struct Record
{
    std::string code;
    trv::OleDate start;
    trv::OleDate end;
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

using Rows = std::vector<CMemoryFieldRecord::Row>;

Rows ToRows(const std::vector<Record>& records)
{
    Rows rows;
    CMemoryFieldRecord writer(&rows);
    for (const Record& record : records) {
        writer.SetFieldString(CDateTable::CodeField, record.code, -1, {});
        writer.SetFieldDate(CDateTable::StartDateField, record.start, {});
        writer.SetFieldDate(CDateTable::EndDateField, record.end, {});
        writer.SetFieldString(CDateTable::DescriptionField, record.description, -1, {});
        writer.WriteRecord();
        writer.ClearRecord();
    }
    return rows;
}

// A days-off definition held in memory: what is written can be read back.
class MemoryDefinition
{
  public:
    explicit MemoryDefinition(const std::vector<Record>& records = {})
    {
        source.tables["INT_DAYOFF_ALL"] = ToRows(records);
    }

    bool IsOpen() const { return source.openRecords > 0; }
    std::vector<Record> Written()
    {
        std::vector<Record> records;
        CMemoryFieldRecord reader(&m_written);
        while (reader.MoveNext())
            records.push_back({reader.GetFieldString(CDateTable::CodeField, "", -1, {}),
                               reader.GetFieldDate(CDateTable::StartDateField, {}, {}),
                               reader.GetFieldDate(CDateTable::EndDateField, {}, {}),
                               reader.GetFieldString(CDateTable::DescriptionField, "", -1, {})});
        return records;
    }
    void ClearWritten() { m_written.clear(); }

  private:
    Rows m_written;

  public:
    CMemoryRecordSource source;
    CMemoryFieldRecord output{&m_written};
};

int Read(CDateTable& table, MemoryDefinition& definition, bool skipDuplicates, int mark = 0)
{
    return table.ReadDaysOff(definition.source, "INT_DAYOFF_ALL", "plan.fstall", mark, "",
                             skipDuplicates);
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

    // A window to a mistyped year thousands of years ahead gives the longest delay there is.
    const CDateTable farAhead = TableOfDays({{0, 2191500}});
    EXPECT_EQ(farAhead.DelayToEndOfCoverage(600, delay, window), 3);
    EXPECT_EQ(delay, INT32_MAX);
    int next = -1;
    EXPECT_EQ(farAhead.DelayToAvailable(600, 0, delay, window, next), 3);
    EXPECT_EQ(delay, INT32_MAX);

    delay = -7;
    EXPECT_EQ(chain.DelayToEndOfCoverage(5 * 1440, delay, window), -1);
    EXPECT_EQ(delay, -7);
    EXPECT_EQ(CDateTable().DelayToEndOfCoverage(0, delay, window), -1);
}

TEST(DateTable, FindFirstWindowFromReferenceDate)
{
    EXPECT_EQ(CDateTable().FindFirstWindowFrom(PlanningDate()), 0);

    CDateTable past;
    past.AddWindow(trv::OleDate(2023, 12, 4), trv::OleDate(2023, 12, 6), "", "", 0);
    past.AddWindow(trv::OleDate(2023, 12, 18), trv::OleDate(2023, 12, 20), "", "", 0);
    EXPECT_EQ(past.FindFirstWindowFrom(PlanningDate()), 0);

    CDateTable mixed;
    mixed.AddWindow(trv::OleDate(2023, 12, 4), trv::OleDate(2023, 12, 6), "", "", 0);
    mixed.AddWindow(trv::OleDate(2023, 12, 27), January(2), "", "x", 0);
    mixed.AddWindow(January(10), January(10), "", "", 0);
    EXPECT_EQ(mixed.FindFirstWindowFrom(PlanningDate()), 1);
}

TEST(DateTable, ReadDaysOffKeepsValidRecordsInDateOrder)
{
    MemoryDefinition definition({
        {"D1", January(10), January(12), "later"},
        {"D1", January(3), January(3), "one day"},
        {"D2", January(5), January(4), "ends before it starts"},
        {"D3", trv::OleDate::Invalid(), January(4), "invalid start"},
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
    EXPECT_EQ(untouched.ReadDaysOff(definition.source, "MISSING", "", 0, "", true), 0);
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

    EXPECT_EQ(table.WriteDaysOff(definition.output, ""), 1);
    EXPECT_EQ(definition.Written(), records);

    // The written records read back into the same calendar.
    MemoryDefinition copy(definition.Written());
    CDateTable reread;
    Read(reread, copy, false);
    reread.FindFirstWindowFrom(PlanningDate());
    EXPECT_EQ(DaysOf(reread), DaysOf(table));

    // A code given to the writer replaces the windows' own.
    definition.ClearWritten();
    table.WriteDaysOff(definition.output, "DRIVER9");
    ASSERT_EQ(definition.Written().size(), 3u);
    EXPECT_EQ(definition.Written()[2].code, "DRIVER9");
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
    table.WriteDaysOff(definition.output, "");
    EXPECT_EQ(definition.Written(), (std::vector<Record>{{"D1", January(16), January(17), "new"}}));
}

} // namespace
