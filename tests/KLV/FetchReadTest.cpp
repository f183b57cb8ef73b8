#include "FetchReadTestProgram.h"
#include "KLV/Fetch.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Records = std::vector<std::string>;
using FetchReadTest = FetchReadTestProgram;

// Walks a definition's records and counts them.
int CountRecords(CFetch& fetch)
{
    int count = 0;
    for (int guard = 0; !fetch.IsEOF() && guard < 1000; ++guard)
        count += fetch.MoveNext() ? 1 : 0;
    return count;
}

TEST_F(FetchReadTest, KeyGroupsGiveOneParentRecordAndTheChildWalksTheGroup)
{
    CFetch parent;
    ASSERT_TRUE(Open(parent, "GROUPED"));
    auto owned = std::make_unique<CFetch>(&parent);
    CFetch& child = *owned;
    ASSERT_TRUE(Open(child, "GROUPED"));
    parent.m_arrChildren.push_back(std::move(owned));

    std::vector<std::pair<std::string, Records>> groups;
    while (!parent.IsEOF()) {
        if (!parent.MoveNext())
            continue;
        Records walked;
        while (!child.IsEOF())
            if (child.MoveNext())
                walked.push_back(child.GetFieldString("ORDER") + child.GetFieldString("LINE"));
        groups.emplace_back(parent.m_strCurrentLine, walked);
    }
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].first, "A;2");
    EXPECT_EQ(groups[0].second, (Records{"A1", "A2"}));
    EXPECT_EQ(groups[1].first, "B;1");
    EXPECT_EQ(groups[1].second, (Records{"B1"}));
    // The key index of the lines: key (each KEY value and the separator) and occurrence.
    EXPECT_EQ(parent.m_mapLineIndex.at("A;1"), 0);
    EXPECT_EQ(parent.m_mapLineIndex.at("A;2"), 1);
    EXPECT_EQ(parent.m_mapLineIndex.at("B;1"), 2);
}

TEST_F(FetchReadTest, NumbersTimesAndBooleansFollowTheDefinitionsFormats)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "TYPED"));
    ASSERT_FALSE(fetch.IsEOF());
    ASSERT_TRUE(fetch.MoveNext());

    // Integers: a bound of -1 is none, and the default is clamped too.
    EXPECT_EQ(fetch.GetFieldInt("ZERO", 0, 0, 1, -1), 1);
    EXPECT_EQ(fetch.GetFieldInt("BIG", 0, 0, -1, 100), 100);
    EXPECT_EQ(fetch.GetFieldInt("ABSENT", 0, 0, 5, -1), 5);
    EXPECT_EQ(fetch.GetFieldInt("TEXT"), 12);

    // DECIMAL_SEP ",": points are thousands marks.
    EXPECT_FLOAT_EQ(fetch.GetFieldFloat("THOUSANDS"), 1234.5f);
    EXPECT_FLOAT_EQ(fetch.GetFieldFloat("COMMA_ONLY"), 0.5f);
    EXPECT_DOUBLE_EQ(fetch.GetFieldDouble("DOUBLE"), 2.25);
    EXPECT_DOUBLE_EQ(fetch.GetFieldDouble("NOT_NUMBER", 0, 0, nullptr, 9.0), 9.0);

    EXPECT_EQ(fetch.GetFieldBool("YES"), 1);
    EXPECT_EQ(fetch.GetFieldBool("NO", 1), 0);
    EXPECT_EQ(fetch.GetFieldBool("ABSENT", 1), 1);

    EXPECT_EQ(fetch.GetFieldTime("TIME"), 450);
    EXPECT_EQ(fetch.GetFieldTime("TIME", kUnsetTime, 0, 500), 500);
    EXPECT_EQ(fetch.GetFieldTime("TIME", kUnsetTime, 0, kUnsetTime, 400), 400);
    EXPECT_EQ(fetch.GetFieldTime("UNSET", 0, 0, 0, 100), kUnsetTime);

    EXPECT_EQ(fetch.GetFieldString("LONG", "", 0, 3), "abc");
    EXPECT_EQ(fetch.GetFieldString("SHORT"), "abc"); // MAXIMUM_CHARACTERS
    EXPECT_EQ(fetch.GetFieldString("ABSENT", "none"), "none");
}

TEST_F(FetchReadTest, EmptyRequiredFieldsAreReportedAndTakeTheDefault)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "TYPED"));
    ASSERT_TRUE(fetch.MoveNext());
    EXPECT_EQ(fetch.GetFieldInt("ABSENT", 3, 1), 3);
    EXPECT_EQ(fetch.m_arrRequiredMessages.GetSize(), 2);
    EXPECT_EQ(fetch.GetFieldString("LONG", "", 1, 0), "abcdef");
    EXPECT_EQ(fetch.m_arrRequiredMessages.GetSize(), 2);
}

TEST_F(FetchReadTest, DatesAreReadInTheDateFormat)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "DATES"));
    ASSERT_TRUE(fetch.MoveNext());
    const trv::OleDate fallback(2000, 1, 1);
    EXPECT_EQ(fetch.GetFieldDate("DAY", fallback).GetValue(),
              trv::OleDate(2025, 12, 24).GetValue());
    const trv::OleDate bad = fetch.GetFieldDate("BAD", fallback);
    EXPECT_EQ(bad.GetStatus(), trv::OleDate::valid);
    EXPECT_EQ(bad.GetValue(), 0.0);
    EXPECT_EQ(fetch.GetFieldDate("ABSENT", fallback).GetValue(), fallback.GetValue());

    CFetch slashed;
    ASSERT_TRUE(Open(slashed, "TYPED"));
    ASSERT_TRUE(slashed.MoveNext());
    EXPECT_EQ(slashed.GetFieldDate("DATE", fallback).GetValue(),
              trv::OleDate(2025, 12, 24).GetValue());
}

TEST_F(FetchReadTest, ListsSplitAtTheListSeparatorOrAtAFixedItemWidth)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "TYPED"));
    ASSERT_TRUE(fetch.MoveNext());
    struct Case
    {
        const char* field;
        Records items;
    };
    const Case cases[] = {
        {"LIST", {"a", "b", "c"}},
        {"VALUES", {"x", "y", "z"}},
        {"WORDS", {"1", "2", "3"}},
    };
    for (const Case& item : cases) {
        FetchTextArray items;
        fetch.GetFieldListStrings(item.field, items);
        EXPECT_EQ(Records(items.begin(), items.end()), item.items) << item.field;
    }
    FetchTextArray cut;
    EXPECT_EQ(fetch.GetFieldList("LIST", cut, "", 0, 0, 0), 0);
    FetchTextArray defaulted;
    fetch.GetFieldList("ABSENT", defaulted, "d1#,#d2");
    EXPECT_EQ(Records(defaulted.begin(), defaulted.end()), (Records{"d1", "d2"}));

    const CAutoArray<float> floats = fetch.GetFieldListFloat("FLOATS");
    ASSERT_EQ(floats.GetSize(), 2);
    EXPECT_FLOAT_EQ(floats[0], 1.5f);
    EXPECT_FLOAT_EQ(floats[1], 2.5f);
    const CAutoArray<int> ints = fetch.GetFieldListInt("INTS");
    ASSERT_EQ(ints.GetSize(), 3);
    EXPECT_EQ(ints[0], 4);
    EXPECT_EQ(ints[1], kEmptyListItem);
    EXPECT_EQ(ints[2], 6);

    CFetch fixed;
    ASSERT_TRUE(Open(fixed, "FIXED_LIST"));
    ASSERT_TRUE(fixed.MoveNext());
    FetchTextArray items;
    fixed.GetFieldListStrings("ITEMS", items);
    EXPECT_EQ(Records(items.begin(), items.end()), (Records{"aaa", "bbb", "ccc"}));
}

TEST_F(FetchReadTest, RequirementsTakeTheFirstValueOrAcceptAnyValue)
{
    CFetch required;
    ASSERT_TRUE(Open(required, "REQUIRED"));
    ASSERT_TRUE(required.MoveNext());
    EXPECT_EQ(required.GetRequirements("WEIGHT", 0), 7);
    EXPECT_EQ(required.m_strRequirementName, "WEIGHT");
    EXPECT_EQ(required.GetRequirementText("WEIGHT"), "7");

    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "TYPED"));
    ASSERT_TRUE(fetch.MoveNext());
    EXPECT_EQ(fetch.GetRequirements("ABSENT", 0), kAnyRequirementValue);
    EXPECT_EQ(kAnyRequirementValue, 3141592);
    EXPECT_EQ(fetch.GetRequirements("YES", 1), 1);
    FetchTextArray list;
    EXPECT_EQ(fetch.GetRequirements("LIST", 2, 0, 0, nullptr, &list), 0);
    EXPECT_EQ(Records(list.begin(), list.end()), (Records{"a", "b", "c"}));
    EXPECT_EQ(fetch.GetRequirements("ABSENT", 2, 0, 0, nullptr, &list), kAnyRequirementValue);
}

TEST_F(FetchReadTest, FixedDefinitionHasExactlyOneRecordUnlessItsWhereRejectsIt)
{
    CFetch one;
    ASSERT_TRUE(Open(one, "FIXED_ONE"));
    EXPECT_EQ(CountRecords(one), 1);
    EXPECT_TRUE(one.IsEOF());

    CFetch rejected;
    ASSERT_TRUE(Open(rejected, "FIXED_REJECTED"));
    EXPECT_EQ(CountRecords(rejected), 0);
    EXPECT_TRUE(rejected.IsEOF());
}

TEST_F(FetchReadTest, EmptyFileEndsAtOnceAndAnExtraFilterNarrowsTheWhere)
{
    WriteBytes(ReadPath("empty.txt"), "");
    CFetch empty;
    ASSERT_TRUE(Open(empty, "ENCODED", ReadPath("empty.txt")));
    EXPECT_TRUE(empty.IsEOF());

    CFetch narrowed;
    ASSERT_TRUE(Open(narrowed, "CSV_WHERE", "", FETCH_MODE_READ, "CODE=\"A3\""));
    EXPECT_EQ(ReadRecords(narrowed, {"CODE"}), Records{"A3"});
}

TEST_F(FetchReadTest, FloatColumnsLoseOnlyAnAllZeroFraction)
{
    const std::string database = ReadPath("prices.db");
    const std::string create = "/usr/bin/python3 -c \"import sqlite3; c = sqlite3.connect('" +
                               database +
                               "'); c.execute('CREATE TABLE prices (id INTEGER, price DOUBLE, "
                               "code VARCHAR(20))'); c.execute(\\\"INSERT INTO prices VALUES "
                               "(1, 12.0, '7.000'), (2, 0.0005, 'x')\\\"); c.commit()\"";
    if (std::system(create.c_str()) != 0)
        GTEST_SKIP() << "no python3 sqlite3 module";
    WriteBytes(
        ReadPath("Read.ini"),
        ReadBytes(ReadPath("Read.ini")) +
            "\n[PRICES_FORMAT]\nTYPE=DATABASE\nFILENAME=Driver=SQLite3;Database=" + database +
            "\nTABLENAME=prices\nKEY=ID\n[PRICES]\nID=id\nPRICE=price\n"
            "CODE=code\n");
    trv::ClearProfileCache();
    CFetch fetch;
    if (!Open(fetch, "PRICES"))
        GTEST_SKIP() << "no SQLite ODBC driver";
    EXPECT_EQ(ReadRecords(fetch, {"ID", "PRICE", "CODE"}), (Records{"1|12|7.000", "2|0.000500|x"}));
}

} // namespace
