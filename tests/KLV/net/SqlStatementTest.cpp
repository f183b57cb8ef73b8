#include "KLV/SqlStatement.h"

#include "DatabaseTableTest.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

constexpr long kVarChar = 200;
constexpr long kInteger = 3;

// A table per backend and test, written and read through the SQL texts of the default dialect.
class SqlStatementTest : public DatabaseTableTest, public trv::CSqlFilterFields
{
  protected:
    void SetUp() override
    {
        CreateTable("s_", "id INTEGER NOT NULL, line INTEGER NOT NULL, name VARCHAR(40), "
                          "qty INTEGER, due TIMESTAMP");
        if (HasFatalFailure())
            return;
        m_sqlTable = std::make_unique<trv::CSqlTable>(*m_database, m_dialect, m_table);
        std::string error;
        ASSERT_TRUE(m_sqlTable->Open(error)) << error;
    }

    void TearDown() override
    {
        m_sqlTable.reset();
        DatabaseTableTest::TearDown();
    }

    // Rows as "id|line|name|qty" texts, in the order of the statement's filter and sorting.
    std::vector<std::string> Rows(const std::string& tail)
    {
        return QueryRows("SELECT id, line, name, qty FROM " + m_table + tail);
    }

    bool Write(const std::string& id, const std::string& line,
               std::vector<trv::SqlOutValue> columns, std::string& statement,
               bool addMissing = false)
    {
        bool inserted = false;
        std::string error;
        return m_sqlTable->WriteRow({{"id", id, {}}, {"line", line, {}}}, std::move(columns),
                                    addMissing, m_format, statement, inserted, error);
    }

    // The definition's fields are the table's columns.
    bool ColumnOfField(const std::string& field, std::string& column) override
    {
        column = field;
        return true;
    }
    bool FieldValue(const std::string&, std::string&) override { return false; }
    trv::SqlColumnType ColumnType(const std::string& column) override
    {
        return m_sqlTable->ColumnType(column);
    }
    std::string FetchDateText() override { return "01/03/2024"; }

    trv::CSqlDialect m_dialect{"DATABASE"};
    trv::SqlValueFormat m_format;
    std::unique_ptr<trv::CSqlTable> m_sqlTable;
};

TEST_P(SqlStatementTest, InsertThenUpdateByKey)
{
    std::string statement;
    ASSERT_TRUE(Write("5", "1", {{"name", "A", {}}, {"qty", "3", {}}}, statement));
    EXPECT_EQ(statement,
              "INSERT INTO " + m_table + " (\"id\",\"line\",\"name\",\"qty\") VALUES (5,1,'A',3)");
    ASSERT_TRUE(Write("5", "1", {{"name", "O'Brien", {}}, {"qty", "4", {}}}, statement));
    EXPECT_EQ(statement, "UPDATE " + m_table +
                             " SET \"name\"='O''Brien',\"qty\"=4 WHERE \"id\"=5 And \"line\"=1");
    ASSERT_TRUE(Write("5", "2", {{"name", "x'; DROP TABLE t; --", {}}}, statement));
    // Only keys, and the row exists: nothing to run, and that is no failure.
    ASSERT_TRUE(Write("5", "2", {}, statement));
    EXPECT_EQ(statement, "");

    EXPECT_EQ(Rows(" ORDER BY id, line"),
              (std::vector<std::string>{"5|1|O'Brien|4", "5|2|x'; DROP TABLE t; --|NULL"}));
}

TEST_P(SqlStatementTest, RefusedValuesWriteNothing)
{
    TraceCapture trace;
    std::string statement;
    EXPECT_FALSE(Write("5", "1", {{"qty", "3; DELETE FROM x", {}}}, statement));
    EXPECT_FALSE(trace.LinesWith("is not a number").empty());
    EXPECT_FALSE(Write("", "1", {{"qty", "3", {}}}, statement));
    EXPECT_FALSE(trace.LinesWith("bKey && sFieldValue==NULL").empty());
    EXPECT_TRUE(Rows("").empty());
}

TEST_P(SqlStatementTest, MissingColumnIsAdded)
{
    std::string statement;
    // Without the switch a column the table lacks is left out.
    ASSERT_TRUE(Write("1", "1", {{"qty", "2", {}}, {"colour", "red", {kVarChar, 0}}}, statement));
    EXPECT_EQ(statement.find("colour"), std::string::npos);
    ASSERT_TRUE(Write("1", "2", {{"colour", "blue", {kVarChar, 0}}, {"weight", "7", {kInteger, 0}}},
                      statement, true));
    std::string error;
    CAdoRecordsetPtr recordset = CreateAdoRecordset(
        m_database->m_pConnection, "SELECT colour, weight FROM " + m_table + " WHERE line=2",
        adOpenDynamic, adLockOptimistic, adCmdText, error);
    ASSERT_TRUE(error.empty()) << error;
    auto set = recordset->GetRecordset();
    ASSERT_FALSE(set->IsEOF());
    EXPECT_EQ(FieldText(set->Value(0)), "blue");
    EXPECT_EQ(FieldText(set->Value(1)), "7");
}

TEST_P(SqlStatementTest, FilterAndOrderByRead)
{
    Run("INSERT INTO " + m_table +
        " (id, line, name, qty, due) VALUES (1, 1, 'A', 5, {ts '2024-03-02 10:00:00'}), "
        "(2, 1, '', 2, {ts '2024-02-01 00:00:00'}), (3, 1, NULL, 9, {ts '2024-03-05 00:00:00'}), "
        "(4, 1, 'it''s', 7, NULL)");
    struct Case
    {
        const char* where;
        std::vector<std::string> orderBy;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"qty>=5", {"qty <"}, {"3", "4", "1"}},
        {"name=", {"id"}, {"3"}},
        // An empty value means NULL: the empty text of row 2 is not NULL.
        {"name<>'' AND qty<9", {"id <"}, {"4", "2", "1"}},
        {"name='it''s' OR (id=2)", {"id"}, {"2", "4"}},
        {"due>=FETCH_DATE", {"id"}, {"1", "3"}},
        {"name='x''; DROP TABLE t; --'", {"id"}, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.where);
        std::string where = test.where;
        std::string error;
        ASSERT_TRUE(trv::ConvertFilterToSql(where, m_dialect, m_format, *this, false, error))
            << error;
        const std::string statement = m_dialect.ReadStatement(m_table, where) + " ORDER BY " +
                                      m_dialect.OrderBy(test.orderBy);
        std::vector<std::string> ids;
        for (const std::string& row : QueryRows(statement))
            ids.push_back(row.substr(0, row.find('|')));
        EXPECT_EQ(ids, test.ids) << statement;
    }
}

TEST_P(SqlStatementTest, NewEntriesLogHoldsTheInsertedRows)
{
    TemporaryFolder program;
    const char* saved = std::getenv("TREVANTOR_HOME");
    const std::string savedHome = saved ? saved : "";
    ::setenv("TREVANTOR_HOME", program.File("").c_str(), 1);
    std::ofstream(program.File("IONewEntries.log")) << "left from an earlier run\n";
    {
        trv::CSqlNewEntriesLog log;
        std::string statement;
        for (const char* line : {"1", "2", "1"}) {
            bool inserted = false;
            std::string error;
            ASSERT_TRUE(m_sqlTable->WriteRow({{"id", "9", {}}, {"line", line, {}}},
                                             {{"name", "it's", {}}}, false, m_format, statement,
                                             inserted, error))
                << error;
            if (inserted) {
                ASSERT_TRUE(log.Append(m_table, m_sqlTable->LastInsertedValues()));
            }
        }
    }
    std::ifstream file(program.File("IONewEntries.log"));
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), m_table + ": 9,1,'it''s'\n" + m_table + ": 9,2,'it''s'\n");
    if (saved)
        ::setenv("TREVANTOR_HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("TREVANTOR_HOME");
}

INSTANTIATE_TEST_SUITE_P(Databases, SqlStatementTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

} // namespace
