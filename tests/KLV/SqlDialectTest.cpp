#include "KLV/SqlDialect.h"

#include "KLV/SqlStatement.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using trv::CSqlDialect;
using trv::SqlLiteralUse;
using trv::SqlOutValue;
using trv::SqlRowTexts;
using trv::SqlValueFormat;

constexpr long kInteger = 3;
constexpr long kDouble = 5;
constexpr long kDate = 7;
constexpr long kBoolean = 11;
constexpr long kTinyInt = 16;
constexpr long kTimeStamp = 135;
constexpr long kVarChar = 200;

TEST(SqlDialectTest, NamesOfTablesAndColumns)
{
    EXPECT_EQ(BracketName("(CODE"), "( [CODE]");
    EXPECT_EQ(BracketName("CODE)"), "[CODE] )");
    EXPECT_EQ(BracketName("CODE"), "[CODE]");

    struct Case
    {
        const char* type;
        const char* table;
        bool ini;
        const char* expected;
    };
    const Case cases[] = {
        {"SQL", "ORDER LINES", false, "[ORDER LINES]"},
        {"SQL", "[ORDER LINES]", false, "[ORDER LINES]"},
        {"SQL", "ORDERS", false, "ORDERS"},
        {"DATABASE", " ORDERS", false, " ORDERS"}, // a blank only at the start is no blank
        {"NAV", "ORDERS", false, "\"ORDERS\""},
        {"NAV", "ORDER LINES", false, "\"ORDER LINES\""},
        {"DATABASE", "ORDER LINES", true, "ORDER LINES"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.type) + " " + test.table);
        EXPECT_EQ(CSqlDialect(test.type).TableName(test.table, test.ini), test.expected);
    }

    // On a connection the driver's quote replaces the brackets, doubling it inside a name.
    CSqlDialect live("DATABASE");
    live.SetIdentifierQuote('"');
    EXPECT_EQ(live.TableName("[ORDER LINES]"), "\"ORDER LINES\"");
    EXPECT_EQ(live.ConditionColumn("A\"B"), "\"A\"\"B\"");
    EXPECT_EQ(live.FilterColumn("(CODE"), "( \"CODE\"");

    EXPECT_EQ(CSqlDialect("MYSQL").ConditionColumn("NEW NAME"), "`NEW NAME`");
    EXPECT_EQ(CSqlDialect("MYSQL").ConditionColumn("NAME"), "NAME");
    EXPECT_EQ(CSqlDialect("NAV").ListColumn("NAME"), "\"NAME\"");
    EXPECT_EQ(CSqlDialect("NAV").ConditionColumn("NAME"), "NAME");
    EXPECT_EQ(CSqlDialect("PROGRESS").ListColumn("NAME"), "\"NAME\"");
    EXPECT_EQ(CSqlDialect("ORACLE").FilterColumn("NAME"), "NAME");
    EXPECT_EQ(CSqlDialect("EXCEL").FilterColumn("NAME"), "[NAME]");
}

TEST(SqlDialectTest, StatementsPerDialect)
{
    struct Case
    {
        const char* type;
        const char* probe;
        const char* write;
        long isolation;
        int rollback;
    };
    const Case cases[] = {
        {"SQL", "SELECT TOP 1 * FROM T", "SELECT TOP 1 * FROM T", 4096, 0},
        {"PROGRESS", "SELECT TOP 1 * FROM T", "SELECT TOP 1 * FROM T", 4096, 0},
        {"ORACLE", "SELECT * FROM T WHERE 0=1", "SELECT * FROM T WHERE ROWNUM <= 1", 4096, 0},
        {"MYSQL", "SELECT * FROM T WHERE 0=1", "SELECT * FROM T WHERE 0=1", 4096, 1},
        {"INFORMIX", "SELECT * FROM T", "SELECT * FROM T", 4096, 0},
        {"NAV", "SELECT * FROM T", "SELECT * FROM T", 256, 0},
        {"EXCEL", "SELECT * FROM T", "SELECT * FROM T", 4096, 0},
        {"DATABASE", "SELECT * FROM T", "SELECT * FROM T", 4096, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.type);
        const CSqlDialect dialect(test.type);
        EXPECT_EQ(dialect.ProbeStatement("T"), test.probe);
        EXPECT_EQ(dialect.WriteStatement("T"), test.write);
        EXPECT_EQ(dialect.IsolationLevel(), test.isolation);
        EXPECT_EQ(dialect.RollbackFlag(), test.rollback);
        EXPECT_EQ(dialect.ReadStatement("T", "[A]=1"), "SELECT * FROM T  WHERE [A]=1");
        EXPECT_EQ(dialect.ReadStatement("T", ""), "SELECT * FROM T ");
    }

    // "<" after a name sorts descending in every dialect, never leaking the "<" into the SQL.
    const std::vector<std::string> orderBy = {"B <", "C"};
    EXPECT_EQ(CSqlDialect("SQL").OrderBy(orderBy), "[B] DESC,[C]");
    EXPECT_EQ(CSqlDialect("ORACLE").OrderBy(orderBy), "B DESC,C");
    EXPECT_EQ(CSqlDialect("MYSQL").OrderBy(orderBy), "B DESC,C");
    CSqlDialect live("DATABASE");
    live.SetIdentifierQuote('"');
    EXPECT_EQ(live.OrderBy(orderBy), "\"B\" DESC,\"C\"");
    // Reading a live table learns its columns without loading its rows.
    EXPECT_EQ(live.WriteStatement("T"), "SELECT * FROM T WHERE 0=1");
}

TEST(SqlDialectTest, LiteralsPerTypeAndDialect)
{
    SqlValueFormat format;
    format.boolTrue = "S";
    format.boolFalse = "N";
    format.dateFormat = "DD/MM/YYYY";
    format.decimalSeparator = ",";
    struct Case
    {
        const char* type;
        long adoType;
        long size;
        const char* value;
        SqlLiteralUse use;
        const char* expected;
    };
    const auto filter = SqlLiteralUse::Filter;
    const auto write = SqlLiteralUse::Write;
    const Case cases[] = {
        {"DATABASE", kVarChar, 40, "O'Brien", filter, "'O''Brien'"},
        {"DATABASE", kVarChar, 40, "x'; DROP TABLE t; --", write, "'x''; DROP TABLE t; --'"},
        {"DATABASE", kVarChar, 3, "M\xC3\xBCller", filter, "'M\xC3\xBCl'"}, // characters
        {"DATABASE", kVarChar, 0, "\"quoted\"", filter, "'quoted'"},
        {"DATABASE", kVarChar, 40, "", filter, "NULL"},
        {"DATABASE", kInteger, 0, "NULL", filter, "NULL"},
        {"MYSQL", kVarChar, 40, "a\\'b", filter, "'a\\\\''b'"},
        {"DATABASE", kBoolean, 0, "S", filter, "True"},
        {"DATABASE", kBoolean, 0, "N", filter, "False"},
        {"DATABASE", kBoolean, 0, "maybe", filter, "NULL"},
        {"MYSQL", kTinyInt, 0, "S", filter, "True"},
        {"MYSQL", kBoolean, 0, "N", write, "FALSE"},
        {"MYSQL", kBoolean, 0, "S", write, "TRUE"},
        {"SQL", kTinyInt, 0, "7", filter, "7"},
        {"DATABASE", kDouble, 0, "12,5", filter, "12.5"},
        {"DATABASE", kDouble, 0, "-3.25e2", write, "-3.25e2"},
        {"SQL", kDate, 0, "03/04/2024", filter, "#03/04/2024#"},
        {"PROGRESS", kDate, 0, "03/04/2024", filter, "'03/04/2024'"},
        {"INFORMIX", kDate, 0, "03/04/2024", filter, "DATE('03/04/2024')"},
        {"NAV", kDate, 0, "03/04/2024", filter, "{d'03/04/2024'}"},
        {"INFORMIX", kTimeStamp, 0, "03/04/2024 10:20", filter,
         "DATETIME('03/04/2024 10:20', '%m/%d/%Y %H:%i:%s')"},
        {"SQL", kTimeStamp, 0, "03/04/2024 10:20", filter, "'03/04/2024 10:20'"},
        {"ORACLE", kTimeStamp, 0, "03/04/2024 10:20:30", write,
         "to_date('03/04/2024 10:20:30','DD/MM/YYYY HH24:MI:SS')"},
        {"ORACLE", kDate, 0, "03/04/2024", filter, "to_date('03/04/2024','DD/MM/YYYY')"},
        // Built once from the value, not from the filter form of the date.
        {"INFORMIX", kDate, 0, "03/04/2024", write, "to_date('03/04/2024','DD/MM/YYYY')"},
        {"NAV", kDate, 0, "03/04/2024", write, "{d'04-03-2024'}"},
        {"NAV", kTimeStamp, 0, "03/04/2024 10:20:30", write, "{d'04-03-2024 10:20:30'}"},
        {"NAV", kTimeStamp, 0, "10:20", write, "{'10:20:00'}"},
        {"MYSQL", kDate, 0, "03/04/2024", write, "STR_TO_DATE('04-03-2024', '%m-%d-%Y')"},
        {"MYSQL", kTimeStamp, 0, "03/04/2024 10:20:30", write,
         "STR_TO_DATE('04-03-2024 10:20:30', '%m-%d-%Y %H:%i:%s')"},
        {"MYSQL", kDate, 0, "someday", write, "NULL"},
        {"PROGRESS", kDate, 0, "03/04/2024", write, "'03/04/2024'"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.type) + " " + std::to_string(test.adoType) + " " +
                     test.value);
        std::string literal;
        std::string error;
        EXPECT_TRUE(CSqlDialect(test.type).Literal(test.value, test.adoType, test.size, format,
                                                   test.use, literal, error))
            << error;
        EXPECT_EQ(literal, test.expected);
    }

    // The connection's forms of the default dialect: ODBC escapes from the definition's mask.
    CSqlDialect live("DATABASE");
    live.SetIdentifierQuote('"');
    SqlValueFormat isoFormat = format;
    isoFormat.dateFormat = "YYYY-MM-DD";
    std::string literal;
    std::string error;
    ASSERT_TRUE(
        live.Literal("2024-04-03", kDate, 0, isoFormat, SqlLiteralUse::Filter, literal, error));
    EXPECT_EQ(literal, "{d '2024-04-03'}");
    ASSERT_TRUE(live.Literal("03/04/2024 10:20", kTimeStamp, 0, format, SqlLiteralUse::Write,
                             literal, error));
    EXPECT_EQ(literal, "{ts '2024-04-03 10:20:00'}");

    // Values that would change the statement are refused, not spliced.
    const struct
    {
        const char* type;
        long adoType;
        const char* value;
    } refused[] = {
        {"DATABASE", kInteger, "1; DROP TABLE t"},
        {"DATABASE", kDouble, "12.5.3"},
        {"DATABASE", kDouble, "abc"},
        {"SQL", kDate, "1/1/2024# OR 1=1 --"},
        {"ORACLE", kDate, "SYSDATE"},
        {"NAV", kDate, "31/02/2024"},
    };
    for (const auto& test : refused) {
        SCOPED_TRACE(test.value);
        EXPECT_FALSE(CSqlDialect(test.type).Literal(test.value, test.adoType, 0, format,
                                                    SqlLiteralUse::Write, literal, error));
        EXPECT_FALSE(error.empty());
    }
}

// A definition of fields A, B, NAME, DUE, CODE and QTY over columns of the same names, with
// CUSTOMER's current value "O'Hara".
class FakeFields : public trv::CSqlFilterFields
{
  public:
    bool ColumnOfField(const std::string& field, std::string& column) override
    {
        if (missingInList.count(field)) {
            column.clear();
            return true;
        }
        if (!types.count(field))
            return false;
        column = field;
        return true;
    }
    bool FieldValue(const std::string& name, std::string& value) override
    {
        const auto found = values.find(name);
        if (found == values.end())
            return false;
        value = found->second;
        return true;
    }
    trv::SqlColumnType ColumnType(const std::string& column) override
    {
        const auto found = types.find(column);
        return found == types.end() ? trv::SqlColumnType() : found->second;
    }
    std::string FetchDateText() override { return "01/01/1980"; }

    std::map<std::string, trv::SqlColumnType> types = {
        {"A", {kInteger, 0}}, {"B", {kInteger, 0}},     {"NAME", {kVarChar, 5}},
        {"DUE", {kDate, 0}},  {"CODE", {kVarChar, 20}}, {"QTY", {kDouble, 0}},
        {"EXPR", {0, 0}},
    };
    std::map<std::string, std::string> values = {{"CUSTOMER", "O'Hara"}};
    std::set<std::string> missingInList;
};

TEST(SqlDialectTest, FiltersBecomeConditions)
{
    struct Case
    {
        const char* type;
        const char* filter;
        const char* expected;
    };
    const Case cases[] = {
        {"SQL", "(A=1) AND (B=2)", " ( [A]=1 ) AND ( [B]=2 ) "},
        {"SQL", "CODE=", "[CODE] IS NULL"},
        {"SQL", "CODE<>''", "[CODE] IS NOT NULL"},
        {"SQL", "NAME NOT_LIKE 'A%'", "[NAME] NOT LIKE 'A%'"},
        {"ORACLE", "NAME NOT_LIKE 'A%'", "NAME NOT LIKE 'A%'"},
        {"SQL", "CODE='x AND  y''s' OR A=3", "[CODE]='x AND  y''s'  OR  [A]=3"},
        {"SQL", "CODE=\"say \"\"hi\"\" AND go\"", "[CODE]='say \"hi\" AND go'"},
        {"SQL", "NAME='ABCDEFGH'", "[NAME]='ABCDE'"},
        {"SQL", "DUE>=FETCH_DATE", "[DUE]>=#01/01/1980#"},
        {"NAV", "DUE>=FETCH_DATE", "DUE>={d'01/01/1980'}"},
        {"INFORMIX", "DUE>=FETCH_DATE", "DUE>=DATE('01/01/1980')"},
        {"SQL", "CODE=CUSTOMER", "[CODE]='O''Hara'"},
        {"SQL", "CODE='x''; DROP TABLE t; --'", "[CODE]='x''; DROP TABLE t; --'"},
        {"SQL", "QTY>2,5", "[QTY]>2.5"},
        {"SQL", "CODE=NULL", "[CODE] IS NULL"},
        // A column of unknown type: names and numbers as written, anything else quoted.
        {"SQL", "EXPR=OTHER_COLUMN AND EXPR<>'it''s'", "EXPR=OTHER_COLUMN  AND  EXPR<>'it''s'"},
        {"SQL", "EXPR=1 OR 1", "EXPR=1  OR"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.type) + " " + test.filter);
        FakeFields fields;
        std::string where = test.filter;
        std::string error;
        SqlValueFormat format;
        format.decimalSeparator = ",";
        ASSERT_TRUE(
            trv::ConvertFilterToSql(where, CSqlDialect(test.type), format, fields, false, error))
            << error;
        EXPECT_EQ(where, test.expected);
    }

    const struct
    {
        const char* filter;
        const char* why;
    } failures[] = {
        {"A<NULL", "NULL only with = and <>"},
        {"A='1 OR 1=1'", "a text for a number column"},
        {"UNKNOWN=1", "a field without a line"},
        {"(A=1", "parentheses that do not balance"},
    };
    for (const auto& test : failures) {
        SCOPED_TRACE(test.why);
        FakeFields fields;
        std::string where = test.filter;
        std::string error;
        EXPECT_FALSE(trv::ConvertFilterToSql(where, CSqlDialect("SQL"), SqlValueFormat(), fields,
                                             false, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(where, test.filter);
    }

    // A LIST definition drops a condition on a field it lacks when OR joins it, and refuses
    // one that AND requires.
    FakeFields fields;
    fields.missingInList = {"GONE"};
    std::string where = "A=1 OR GONE=2";
    std::string error;
    ASSERT_TRUE(
        trv::ConvertFilterToSql(where, CSqlDialect("SQL"), SqlValueFormat(), fields, true, error));
    EXPECT_EQ(where, "[A]=1  OR");
    where = "A=1 AND GONE=2";
    EXPECT_FALSE(
        trv::ConvertFilterToSql(where, CSqlDialect("SQL"), SqlValueFormat(), fields, true, error));
}

TEST(SqlDialectTest, RowStatementsByKey)
{
    const SqlValueFormat format;
    std::string error;
    {
        const CSqlDialect dialect("DATABASE");
        SqlRowTexts texts;
        ASSERT_TRUE(
            trv::BuildKeyCondition(dialect, format, {{"ID", "5", {kInteger, 0}}}, texts, error));
        ASSERT_TRUE(trv::BuildValueLists(
            dialect, format, {{"NAME", "A", {kVarChar, 40}}, {"QTY", "3", {kInteger, 0}}}, texts,
            error));
        EXPECT_EQ(trv::InsertStatement("t", texts),
                  "INSERT INTO t ([ID],[NAME],[QTY]) VALUES (5,'A',3)");
        EXPECT_EQ(trv::UpdateStatement("t", texts), "UPDATE t SET [NAME]='A',[QTY]=3 WHERE [ID]=5");

        // Only keys: an insert of the keys alone, nothing to update.
        SqlRowTexts keysOnly;
        ASSERT_TRUE(trv::BuildKeyCondition(dialect, format,
                                           {{"K1", "1", {kInteger, 0}}, {"K2", "X", {kVarChar, 5}}},
                                           keysOnly, error));
        EXPECT_EQ(keysOnly.keyCondition, "[K1]=1 And [K2]='X'");
        EXPECT_EQ(trv::InsertStatement("t", keysOnly), "INSERT INTO t ([K1],[K2]) VALUES (1,'X')");
        EXPECT_EQ(trv::UpdateStatement("t", keysOnly), "");

        // Columns the table lacks (type 0) are left out.
        SqlRowTexts partial;
        ASSERT_TRUE(trv::BuildValueLists(
            dialect, format, {{"GONE", "1", {0, 0}}, {"QTY", "3", {kInteger, 0}}}, partial, error));
        EXPECT_EQ(partial.setList, "[QTY]=3");

        // A key without a value and a number that is none are refused.
        EXPECT_FALSE(
            trv::BuildKeyCondition(dialect, format, {{"ID", "", {kInteger, 0}}}, texts, error));
        EXPECT_FALSE(trv::BuildValueLists(dialect, format, {{"QTY", "3 OR 1=1", {kInteger, 0}}},
                                          texts, error));

        std::string condition;
        ASSERT_TRUE(trv::BuildDeleteCondition(
            dialect, format, {{"DAY", "7", {kInteger, 0}}, {"ROUTE", "", {kVarChar, 9}}}, condition,
            error));
        EXPECT_EQ(trv::DeleteStatement("t", condition, "[A]=1"),
                  "DELETE FROM t WHERE [DAY]=7 And [ROUTE] IS NULL AND [A]=1");
        ASSERT_TRUE(trv::BuildLinkCondition(
            dialect, format, {{"ORDER", "", {kVarChar, 9}}, {"LINE", "2", {kInteger, 0}}},
            condition, error));
        EXPECT_EQ(condition, "[ORDER] IS NULL AND [LINE]=2");
    }
    {
        const CSqlDialect dialect("MYSQL");
        SqlRowTexts texts;
        ASSERT_TRUE(trv::BuildKeyCondition(dialect, format, {{"NEW NAME", "A", {kVarChar, 9}}},
                                           texts, error));
        ASSERT_TRUE(trv::BuildValueLists(
            dialect, format, {{"PAID FLAG", "N", {kBoolean, 0}}, {"QTY", "3", {kInteger, 0}}},
            texts, error));
        EXPECT_EQ(trv::InsertStatement("t", texts),
                  "INSERT INTO t (`NEW NAME`,`PAID FLAG`,QTY) VALUES ('A',FALSE,3)");
        EXPECT_EQ(trv::UpdateStatement("t", texts),
                  "UPDATE t SET `PAID FLAG`=FALSE,QTY=3 WHERE `NEW NAME`='A'");
    }
    {
        const CSqlDialect dialect("NAV");
        SqlRowTexts texts;
        ASSERT_TRUE(
            trv::BuildKeyCondition(dialect, format, {{"No", "7", {kInteger, 0}}}, texts, error));
        ASSERT_TRUE(trv::BuildValueLists(dialect, format, {{"Due", "03/04/2024", {kDate, 0}}},
                                         texts, error));
        EXPECT_EQ(trv::InsertStatement("\"T\"", texts),
                  "INSERT INTO \"T\" (No,\"Due\") VALUES (7,{d'04-03-2024'})");
        EXPECT_EQ(trv::UpdateStatement("\"T\"", texts),
                  "UPDATE \"T\" SET \"Due\"={d'04-03-2024'} WHERE No=7");
    }
    {
        const CSqlDialect dialect("ORACLE");
        SqlRowTexts texts;
        ASSERT_TRUE(
            trv::BuildKeyCondition(dialect, format, {{"ID", "7", {kInteger, 0}}}, texts, error));
        ASSERT_TRUE(trv::BuildValueLists(
            dialect, format, {{"DUE", "03/04/2024 10:20:30", {kTimeStamp, 0}}}, texts, error));
        EXPECT_EQ(trv::UpdateStatement("T", texts),
                  "UPDATE T SET DUE=to_date('03/04/2024 10:20:30','DD/MM/YYYY HH24:MI:SS') "
                  "WHERE ID=7");
    }
    {
        const CSqlDialect dialect("INFORMIX");
        SqlRowTexts texts;
        ASSERT_TRUE(
            trv::BuildKeyCondition(dialect, format, {{"ID", "7", {kInteger, 0}}}, texts, error));
        ASSERT_TRUE(trv::BuildValueLists(dialect, format, {{"DUE", "03/04/2024", {kDate, 0}}},
                                         texts, error));
        EXPECT_EQ(trv::InsertStatement("T", texts),
                  "INSERT INTO T (ID,DUE) VALUES (7,to_date('03/04/2024','DD/MM/YYYY'))");
    }
}

} // namespace
