#include "KLV/FetchFilter.h"

#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

// A record held in memory: a line and named field values.
class MemoryRecord : public CFetchFilterRecord
{
  public:
    MemoryRecord(std::string line, const Fields& fields) : m_line(std::move(line))
    {
        for (const auto& [name, value] : fields)
            m_fields[name] = value;
    }
    std::string_view GetCurrentLine() const override { return m_line; }
    void GetFieldValue(std::string_view name, std::string& value) override
    {
        const auto found = m_fields.find(name);
        value = found == m_fields.end() ? std::string() : found->second;
    }

  private:
    std::string m_line;
    std::map<std::string, std::string, std::less<>> m_fields;
};

struct FilterCase
{
    const char* condition;
    Fields fields;
    int expected; // 1 rejected, 0 passes
    const char* why;
};

void RunCases(const std::vector<FilterCase>& cases, const CFetchFilterSettings& settings = {},
              const std::string& line = "")
{
    for (const FilterCase& test : cases) {
        SCOPED_TRACE(std::string(test.condition) + ": " + test.why);
        CFetchFilter filter;
        ASSERT_TRUE(filter.Parse(test.condition, settings)) << filter.GetError();
        MemoryRecord record(line, test.fields);
        EXPECT_EQ(filter.Test(record), test.expected);
    }
}

TEST(FetchFilterTest, ComparisonsAndConnectorsByFieldName)
{
    RunCases({
        {"QTY>=10 AND QTY<=20", {{"QTY", "15"}}, 0, ">= and <= win over > < ="},
        {"QTY>=10 AND QTY<=20", {{"QTY", "25"}}, 1, "above the range"},
        {"QTY>=10 AND QTY<=20", {{"QTY", "10"}}, 0, "bound included"},
        {"QTY>=10 AND QTY<=20", {{"QTY", "9.5"}}, 1, "numbers, not texts"},
        {"QTY>=10 AND QTY<=20", {}, 1, "a field without value is the empty text"},
        {"(A=1) AND (B=2)", {{"A", "1"}, {"B", "2"}}, 0, "both groups hold"},
        {"(A=1) AND (B=2)", {{"A", "1"}, {"B", "3"}}, 1, "second group fails"},
        {"(A=1) AND (B=2)", {{"A", "2"}, {"B", "2"}}, 1, "first group fails"},
        {"(A=1) OR (B=2)", {{"A", "1"}, {"B", "3"}}, 0, "first group holds"},
        {"(A=1) OR (B=2)", {{"A", "2"}, {"B", "2"}}, 0, "second group holds"},
        {"(A=1) OR (B=2)", {{"A", "2"}, {"B", "3"}}, 1, "neither holds"},
        {"(A=1) AND B=2", {{"A", "1"}, {"B", "3"}}, 1, "text after the last ) is tested"},
        {"A=1 AND (B=2)", {{"A", "0"}, {"B", "2"}}, 1, "text before the first ( is tested"},
        {"QTY>=10  AND  (A=1)", {{"QTY", "12"}, {"A", "1"}}, 0, "the extra filter's joint"},
        {"A=1 OR B=2 AND C=3", {{"A", "1"}}, 1, "left to right: (A or B) and C"},
        {"A=1 OR B=2 AND C=3", {{"A", "1"}, {"C", "3"}}, 0, "left to right, C holds"},
        {"A=1 AND B=2 OR C=3", {{"A", "0"}, {"C", "3"}}, 0, "left to right: (A and B) or C"},
        {"NAME LIKE 'ABC'", {{"NAME", "xxABCxx"}}, 0, "LIKE: contained"},
        {"NAME LIKE 'ABC'", {{"NAME", "xxABDxx"}}, 1, "LIKE: not contained"},
        {"NAME LIKE ABC", {{"NAME", "xxQQ"}, {"ABC", "QQ"}}, 0, "unquoted word: a field"},
        {"NAME NOT_LIKE \"AB\"", {{"NAME", "XYZ"}}, 0, "NOT_LIKE: absent"},
        {"NAME NOT_LIKE \"AB\"", {{"NAME", "XABY"}}, 1, "NOT_LIKE: present"},
        {"CODE START_BY 'X1'", {{"CODE", "X123"}}, 0, "START_BY: at the start"},
        {"CODE START_BY 'X1'", {{"CODE", "AX1"}}, 1, "START_BY: elsewhere"},
        {"NAME=\"O\"\"Brien AND Co\"",
         {{"NAME", "O\"Brien AND Co"}},
         0,
         "connector and doubled quote inside a literal"},
        {"NAME='it''s' OR NAME=\"x\"", {{"NAME", "it's"}}, 0, "single-quoted literal"},
        {"NAME=\"A=B\" AND X=1", {{"NAME", "A=B"}, {"X", "1"}}, 0, "operator inside a literal"},
        {"NAME=abc", {{"NAME", "ABC"}, {"abc", "abc"}}, 1, "texts are case-sensitive"},
        {"V=0", {{"V", "0.0"}}, 0, "two numbers compare as numbers"},
        {"V<>0", {{"V", "0.000"}}, 1, "zero is zero"},
        {"V=\"007\"", {{"V", "7"}}, 0, "quoted numbers are still numbers"},
        {"V=\"7a\"", {{"V", "7"}}, 1, "a number and a text compare as texts"},
        {"A=B", {{"A", "5"}, {"B", "5.0"}}, 0, "field against field"},
        {"D>=01/02/2024", {{"D", "15/02/2024"}}, 0, "dates by value"},
        {"D>=01/02/2024", {{"D", "31/01/2024"}}, 1, "dates by value, not as texts"},
        {"D<\"2024-02-10\"", {{"D", "15/02/2024"}}, 1, "year-month-day literal"},
        {"T<'10:30'", {{"T", "9:45"}}, 0, "times by minutes"},
        {"[NAME]='X1'", {{"NAME", "X1"}}, 0, "a bracketed name falls back to the bare one"},
        {"NOTE=", {{"NOTE", ""}}, 0, "empty value: equal to the empty text"},
        {"NOTE<>\"\"", {{"NOTE", "x"}}, 0, "not empty"},
        {"ORDER=1 AND COLOR=2",
         {{"ORDER", "1"}, {"COLOR", "2"}},
         0,
         "OR and AND inside names are no connectors"},
    });
}

TEST(FetchFilterTest, DecimalSeparatorOfTheDefinition)
{
    CFetchFilterSettings settings;
    settings.decimalSeparator = ",";
    RunCases({{"QTY>1,5", {{"QTY", "2,25"}}, 0, "comma decimals"},
              {"QTY>1,5", {{"QTY", "1.25"}}, 1, "a point is still a decimal mark"}},
             settings);
}

TEST(FetchFilterTest, ColumnsOfASeparatedLine)
{
    CFetchFilterSettings settings;
    settings.separator = ";";
    settings.qualifier = "\"";
    const std::string line = "10;\"a;b\";X";
    RunCases({{"1>=10", {}, 0, "first column as a number"},
              {"2=\"a;b\"", {}, 0, "qualified column with a separator inside"},
              {"3='X'", {}, 0, "last column"},
              {"3='X' AND 4='Y'", {}, 1, "a column beyond the fields rejects the record"},
              {"7=1 OR 3='X'", {}, 1, "rejected without looking at the other conditions"},
              {"(3='Y') AND (1=10)", {}, 1, "a failing group before AND"}},
             settings, line);
    RunCases({{"3=5", {}, 0, "an apostrophe in a field does not hide separators"}}, settings,
             "1;O'Brien;5");
    RunCases({{"3=\"\"", {}, 0, "a trailing separator gives an empty last field"},
              {"4=\"\"", {}, 1, "but no fourth one"}},
             settings, "1;2;");
}

TEST(FetchFilterTest, PositionsOfAFixedWidthLine)
{
    const CFetchFilterSettings settings; // no separator
    RunCases({{"1,2='AB'", {}, 0, "start and length"},
              {"5,4>=40", {}, 0, "a padded number"},
              {"9,3='XYZ'", {}, 0, "to the end"},
              {"9,10='XYZ'", {}, 0, "beyond the end is cut"},
              {"1,2147483647='AB  0042XYZ'", {}, 0, "the longest slice there is"}},
             settings, "AB  0042XYZ");
    RunCases({{"1,5='ÉCOLE' AND 8,1=1", {}, 0, "characters, not bytes"}}, settings, "ÉCOLE  1");
}

TEST(FetchFilterTest, LinePositionsOffReadsNumericNamesAsFields)
{
    CFetchFilterSettings settings;
    settings.separator = ";";
    settings.linePositions = false;
    RunCases({{"2='B'", {{"2", "B"}}, 0, "expression conditions have no line"}}, settings, "A;C");
}

TEST(FetchFilterTest, MalformedConditionsAreRefused)
{
    struct Case
    {
        const char* condition;
        const char* separator;
        const char* why;
    };
    const Case cases[] = {
        {"(A=1", ";", "unbalanced: too few )"},
        {"((A=1) AND (B=2)", ";", "unbalanced: two ( and one )"},
        {"A=1)", ";", "unbalanced: too many )"},
        {")A=1(", ";", ") before ("},
        {"((A=1))", ";", "nested parentheses"},
        {"(A=1)(B=2)", ";", "no connector between groups"},
        {"(A=1) AND", ";", "nothing after AND"},
        {"AND (A=1)", ";", "nothing before AND"},
        {"(A=1 AND)", ";", "AND without comparison"},
        {"QTY 10", ";", "no operator"},
        {"A=1 and B=2", ";", "connectors are written in capitals"},
        {"()", ";", "empty group"},
        {"=5", ";", "no field"},
        {"0=1", ";", "column 0"},
        {"5=1", "", "fixed width needs start,length"},
        {"2,2147483647=1", "", "a slice ending beyond any line"},
        {"99999999999,1=1", "", "a start beyond any line"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.condition) + ": " + test.why);
        CFetchFilterSettings settings;
        settings.separator = test.separator;
        CFetchFilter filter;
        EXPECT_FALSE(filter.Parse(test.condition, settings));
        EXPECT_FALSE(filter.GetError().empty());
    }
}

TEST(FetchFilterTest, InvalidFilterIsShownToThePerson)
{
    trv::RecordingUserPrompt prompt;
    CFetchFilter filter;
    ASSERT_FALSE(filter.Parse("(A=1", {}));
    const std::string text = ReportInvalidFilter("ORDERS", "WHERE", "(A=1", filter.GetError());
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "FilterNotValid");
    EXPECT_EQ(prompt.calls[0].text, text);
    EXPECT_NE(text.find("ORDERS"), std::string::npos);
    EXPECT_NE(text.find("(A=1"), std::string::npos);
}

TEST(FetchFilterTest, EmptyConditionPassesEverything)
{
    CFetchFilter filter;
    ASSERT_TRUE(filter.Parse("   ", {}));
    MemoryRecord record("", {});
    EXPECT_EQ(filter.Test(record), 0);
    EXPECT_EQ(filter.TestWriteIf(), 0);
}

TEST(FetchFilterTest, QuotedValuesRoundTrip)
{
    const std::string values[] = {"plain", "O\"Brien", "x AND y OR (z)", "it's", "\"\"", ""};
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        CFetchFilter filter;
        ASSERT_TRUE(filter.Parse("NAME=" + QuoteFilterValue(value), {})) << filter.GetError();
        MemoryRecord same("", {{"NAME", value}});
        MemoryRecord other("", {{"NAME", value + "!"}});
        EXPECT_EQ(filter.Test(same), 0);
        EXPECT_EQ(filter.Test(other), 1);
        EXPECT_EQ(UnquoteFilterValue(QuoteFilterValue(value)), value);
    }
    EXPECT_EQ(QuoteFilterValue("O\"Brien"), "\"O\"\"Brien\"");
    const trv::OleDate date(2024, 2, 1);
    EXPECT_EQ(QuoteFilterValue(date), "\"2024-02-01\"");
    CFetchFilter filter;
    ASSERT_TRUE(filter.Parse("DAY=" + QuoteFilterValue(date), {}));
    MemoryRecord record("", {{"DAY", "01/02/2024"}});
    EXPECT_EQ(filter.Test(record), 0);
}

TEST(FetchFilterTest, WriteIfHoldsTheWriteUntilTheConditionHolds)
{
    CFetchFilter filter;
    ASSERT_TRUE(filter.Parse("STATE=1", {}, FetchFilterUse::WriteIf));
    EXPECT_EQ(filter.TestWriteIf(), 1) << "STATE never set";
    filter.ResolveWriteIf("OTHER", "1");
    EXPECT_EQ(filter.TestWriteIf(), 1) << "another field";
    filter.ResolveWriteIf("STATE", "0");
    EXPECT_EQ(filter.TestWriteIf(), 1);
    filter.ResolveWriteIf("STATE", "1.0");
    EXPECT_EQ(filter.TestWriteIf(), 0) << "numbers compare as numbers";
    filter.ResolveWriteIf("STATE", "2");
    EXPECT_EQ(filter.TestWriteIf(), 1) << "the last value set is the one written";
    filter.ResolveWriteIf("STATE", "1");
    filter.ClearWriteIf();
    EXPECT_EQ(filter.TestWriteIf(), 1) << "a new record forgets the values";
}

TEST(FetchFilterTest, WriteIfGroupsAndLiterals)
{
    struct Case
    {
        Fields values;
        int expected;
    };
    CFetchFilter filter;
    ASSERT_TRUE(filter.Parse("(STATE>=2 AND STATE<5) OR (NAME=\"O\"\"Brien\")", {},
                             FetchFilterUse::WriteIf))
        << filter.GetError();
    const Case cases[] = {
        {{{"STATE", "3"}}, 0},
        {{{"STATE", "5"}}, 1},
        {{{"STATE", "9"}, {"NAME", "O\"Brien"}}, 0},
        {{{"NAME", "Brien"}}, 1},
    };
    for (const Case& test : cases) {
        filter.ClearWriteIf();
        for (const auto& [field, value] : test.values)
            filter.ResolveWriteIf(field, value);
        EXPECT_EQ(filter.TestWriteIf(), test.expected) << test.values.front().second;
    }
    EXPECT_FALSE(filter.Parse("NAME LIKE 'A'", {}, FetchFilterUse::WriteIf))
        << "WRITE_IF knows six operators";
    EXPECT_FALSE(filter.Parse("(STATE=1", {}, FetchFilterUse::WriteIf));
}

TEST(FetchFilterTest, SplitAtFirstOf)
{
    static constexpr std::string_view kOperators[] = {"=", "<>", "<=", ">=", "<", ">"};
    static constexpr std::string_view kConnectors[] = {" OR ", " AND "};
    struct Case
    {
        bool connectors;
        const char* text;
        const char* result;
        const char* found;
        const char* rest;
    };
    const Case cases[] = {
        {false, "QTY>=10", "QTY", ">=", "10"},
        {false, " A <> 1 ", "A", "<>", " 1 "},
        {false, "A=", "A=", "", ""},
        {false, "ABC", "ABC", "", ""},
        {true, "A=1 AND B=2 OR C=3", "A=1", " AND ", "B=2 OR C=3"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        std::string text = test.text;
        std::string found = "stale";
        const std::string result = test.connectors ? SplitAtFirstOf(kConnectors, text, found)
                                                   : SplitAtFirstOf(kOperators, text, found);
        EXPECT_EQ(result, test.result);
        EXPECT_EQ(found, test.found);
        EXPECT_EQ(text, test.rest);
    }
}

TEST(FetchFilterTest, RewriteFilterGroupByGroup)
{
    const auto trim = [](std::string& piece) {
        piece = std::string(trv::Trim(piece));
        return true;
    };
    std::string condition = "(A=1) AND (B=2)";
    ASSERT_TRUE(RewriteFilter(condition, true, trim));
    EXPECT_EQ(condition, " ( A=1 ) AND ( B=2 ) ");
    condition = "(A=1) OR (B=\"(x\") AND C=3";
    ASSERT_TRUE(RewriteFilter(condition, false, trim));
    EXPECT_EQ(condition, " (A=1) OR (B=\"(x\") AND C=3");

    condition = "((A=1)";
    EXPECT_FALSE(RewriteFilter(condition, true, trim));
    EXPECT_EQ(condition, "((A=1)") << "unchanged on failure";
    condition = "(A=1) AND (B=2)";
    EXPECT_FALSE(RewriteFilter(
        condition, true, [](std::string& piece) { return piece.find('B') == std::string::npos; }));
    EXPECT_EQ(condition, "(A=1) AND (B=2)");
}

} // namespace
