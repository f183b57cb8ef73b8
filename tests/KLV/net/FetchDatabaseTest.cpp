// Database definitions read and written through CFetch, on SQLite and PostgreSQL alike.

#include "DatabaseTableTest.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class FetchDatabaseTest : public DatabaseTableTest
{
  protected:
    void SetUp() override
    {
        CreateTable("f_",
                    "id INTEGER NOT NULL, line INTEGER NOT NULL, name VARCHAR(40), qty INTEGER");
    }

    // Writes the definitions file: the formats every definition needs, then `sections`.
    std::string Definitions(const std::string& sections)
    {
        const std::string path = m_folder.File("Data.ini");
        std::ofstream(path) << "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=hh:mm\n[DATE]\n"
                               "DEFAULT=DD/MM/YYYY\n[DECIMALS]\nDEFAULT=2\n"
                            << sections;
        return path;
    }

    // The table's rows as "id|line|name|qty", ordered by id and line.
    std::vector<std::string> Rows(const std::string& columns = "id, line, name, qty")
    {
        return QueryRows("SELECT " + columns + " FROM " + m_table + " ORDER BY id, line");
    }

    // A DATABASE target of the table keyed by ID and LINE, with extra settings.
    std::string Target(const std::string& settings = "")
    {
        return Definitions("[LINES_FORMAT]\nTYPE=DATABASE\nFILENAME=" + m_connection +
                           "\nTABLENAME=" + m_table + "\nKEY=ID,LINE\n" + settings +
                           "[LINES]\nID=id\nLINE=line\nNAME=name\nQTY=qty\n");
    }
};

std::vector<std::string> ReadAll(CFetch& fetch)
{
    std::vector<std::string> rows;
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        rows.push_back(trv::FormatC("%d", fetch.GetFieldInt("ID")) + "|" +
                       fetch.GetFieldString("NAME") + "|" + fetch.GetFieldString("QTY"));
    }
    return rows;
}

void SetLine(CFetch& fetch, int id, int line, const std::string& name, const std::string& qty)
{
    fetch.ClearRecord();
    fetch.SetFieldInt("ID", id);
    fetch.SetFieldInt("LINE", line);
    fetch.SetFieldString("NAME", name);
    fetch.SetFieldString("QTY", qty);
}

} // namespace

TEST_P(FetchDatabaseTest, ReadsWithWhereAndOrderBy)
{
    Run("INSERT INTO " + m_table +
        " (id, line, name, qty) VALUES (1, 1, 'A', 5), (2, 1, 'O''Brien', 7), (3, 1, 'C', 7), "
        "(4, 1, NULL, 9), (5, 1, 'E', 1)");
    TraceCapture trace;
    const std::string file = Definitions(
        "[ORDERS_FORMAT]\nTYPE=DATABASE\nFILENAME=" + m_connection + "\nTABLENAME=" + m_table +
        "\nKEY=ID\nWHERE=QTY>=5 AND NAME<>'x''; DROP TABLE t; --'\nORDER_BY=QTY <,ID\n"
        "[ORDERS]\nID=id\nNAME=name\nQTY=qty\n[ALL_FORMAT]\nTYPE=DATABASE\nFILENAME=" +
        m_connection + "\nTABLENAME=" + m_table + "\nKEY=ID\n[ALL]\nID=id\nNAME=name\nQTY=qty\n");
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("ORDERS", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file))
        << fetch.m_strLastError;
    // NULL names fail the comparison, as in every SQL condition.
    EXPECT_EQ(ReadAll(fetch), (std::vector<std::string>{"2|O'Brien|7", "3|C|7", "1|A|5"}));
    EXPECT_EQ(fetch.m_strQuery, "SELECT * FROM " + m_table +
                                    "  WHERE \"qty\">=5  AND  \"name\"<>'x''; DROP TABLE t; --' "
                                    "ORDER BY \"qty\" DESC,\"id\"");
    fetch.Close();

    // An empty value (NULL) through the extra WHERE of Init.
    CFetch nulls;
    ASSERT_TRUE(nulls.Init("ALL", "", "", FETCH_MODE_READ, "", "NAME=", "", 1, nullptr, "", file));
    EXPECT_EQ(ReadAll(nulls), (std::vector<std::string>{"4||9"}));
}

TEST_P(FetchDatabaseTest, ReadWalksRowsAsTheyComeCountsThemWhenAskedAndClosesMidWalk)
{
    Run("INSERT INTO " + m_table +
        " (id, line, name, qty) VALUES (1, 1, 'A', 5), (2, 1, 'B', 7), (3, 1, 'C', 7), "
        "(4, 1, NULL, 9), (5, 1, 'E', 1)");
    const std::string file = Definitions(
        "[ORDERS_FORMAT]\nTYPE=DATABASE\nFILENAME=" + m_connection + "\nTABLENAME=" + m_table +
        "\nKEY=ID\nWHERE=QTY>=5\nORDER_BY=ID\nPOST_EXECUTE_SQL_SENTENCE=DELETE FROM " + m_table +
        " WHERE id = 5\n[ORDERS]\nID=id\nNAME=name\nQTY=qty\n");
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("ORDERS", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file))
        << fetch.m_strLastError;
    EXPECT_EQ(fetch.GetRecordCount(), 4);
    ASSERT_TRUE(fetch.MoveNext());
    EXPECT_EQ(fetch.GetFieldString("NAME"), "A");
    // Counted while the walk is under way: the walk goes on where it was.
    EXPECT_EQ(fetch.GetRecordCount(), 4);
    ASSERT_TRUE(fetch.MoveNext());
    EXPECT_EQ(fetch.GetFieldString("NAME"), "B");
    ASSERT_TRUE(fetch.MoveNext());
    EXPECT_EQ(fetch.GetFieldString("NAME"), "C");
    // Closed before the last row: the closing statement still runs on the connection.
    EXPECT_TRUE(fetch.Close()) << fetch.m_strLastError;
    EXPECT_EQ(Rows("id"), (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST_P(FetchDatabaseTest, RefusesWhatCannotBeOpened)
{
    const std::string file = Definitions("[NOKEY_FORMAT]\nTYPE=DATABASE\nFILENAME=" + m_connection +
                                         "\nTABLENAME=" + m_table +
                                         "\n[NOKEY]\nID=id\n"
                                         "[UNKNOWN_FORMAT]\nTYPE=DATABASE\nFILENAME=" +
                                         m_connection + "\nTABLENAME=" + m_table +
                                         "\nKEY=ID\nWHERE=COLOUR=1\n[UNKNOWN]\nID=id\n"
                                         "[NULLS_FORMAT]\nTYPE=DATABASE\nFILENAME=" +
                                         m_connection + "\nTABLENAME=" + m_table +
                                         "\nKEY=ID\nWHERE=NAME>NULL\n[NULLS]\nID=id\nNAME=name\n");
    for (const char* name : {"NOKEY", "UNKNOWN", "NULLS"}) {
        SCOPED_TRACE(name);
        CFetch fetch;
        EXPECT_FALSE(fetch.Init(name, "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
        EXPECT_FALSE(fetch.m_strLastError.empty());
    }
}

TEST_P(FetchDatabaseTest, InsertsThenUpdatesByKey)
{
    TraceCapture trace;
    const std::string file = Target();
    {
        CFetch fetch;
        ASSERT_TRUE(fetch.Init("LINES", "", "", FETCH_MODE_WRITE, "", "", "", 1, nullptr, "", file))
            << fetch.m_strLastError;
        SetLine(fetch, 5, 1, "A", "3");
        ASSERT_TRUE(fetch.WriteRecord());
        SetLine(fetch, 5, 1, "O'Brien", "4");
        ASSERT_TRUE(fetch.WriteRecord());
        SetLine(fetch, 5, 2, "x'; DROP TABLE t; --", "");
        ASSERT_TRUE(fetch.WriteRecord());
        // Refused, with a trace: a key without value and a number column given a text.
        fetch.ClearRecord();
        fetch.SetFieldString("LINE", "3");
        fetch.SetFieldString("ID", "");
        EXPECT_FALSE(fetch.WriteRecord());
        SetLine(fetch, 6, 1, "B", "3; DELETE FROM x");
        EXPECT_FALSE(fetch.WriteRecord());
        EXPECT_TRUE(fetch.Close());
    }
    const std::string insert =
        "INSERT INTO " + m_table + " (\"id\",\"line\",\"name\",\"qty\") VALUES (5,1,'A',3)";
    const std::string update =
        "UPDATE " + m_table + " SET \"name\"='O''Brien',\"qty\"=4 WHERE \"id\"=5 And \"line\"=1";
    EXPECT_FALSE(trace.LinesWith("Query: [" + insert + "]").empty()) << trace.Text();
    EXPECT_FALSE(trace.LinesWith("Query: [" + update + "]").empty());
    EXPECT_FALSE(trace.LinesWith("bKey && sFieldValue==NULL").empty());
    EXPECT_FALSE(trace.LinesWith("is not a number").empty());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"5|1|O'Brien|4", "5|2|x'; DROP TABLE t; --|NULL"}));
}

TEST_P(FetchDatabaseTest, SameFieldNameAddsMissingColumnOnLentConnection)
{
    // An SQL-family definition without a connection string of its own opens one on the
    // string of the connection lent to Init.
    const std::string file = Definitions("[PLAIN_FORMAT]\nTYPE=INFORMIX\nTABLENAME=" + m_table +
                                         "\nKEY=ID,LINE\nSAMEFIELDNAME=YES\n[PLAIN]\nID=id\n"
                                         "LINE=line\n");
    CFetch fetch;
    ASSERT_TRUE(
        fetch.Init("PLAIN", "", "", FETCH_MODE_WRITE, "", "", "", 1, m_database.get(), "", file))
        << fetch.m_strLastError;
    fetch.SetFieldInt("ID", 1);
    fetch.SetFieldInt("LINE", 1);
    fetch.SetFieldString("colour", "red");
    fetch.SetFieldInt("weight", 7);
    ASSERT_TRUE(fetch.WriteRecord()) << fetch.m_strLastError;
    EXPECT_TRUE(fetch.Close());
    EXPECT_EQ(Rows("id, line, colour, weight"), (std::vector<std::string>{"1|1|red|7"}));
    // The lent connection stays open.
    EXPECT_TRUE(m_database->m_pConnection && m_database->m_pConnection->State() == 1);
}

TEST_P(FetchDatabaseTest, DeletesOldRowsAndLogsNewEntries)
{
    // The program folder, where "IONewEntries.log" goes, is a folder of the test.
    trv::test::ProgramFolder program("trv_net");
    std::ofstream(program.File("IONewEntries.log")) << "left from an earlier run\n";
    Run("INSERT INTO " + m_table + " (id, line, name, qty) VALUES (8, 1, 'kept', 1)");
    struct Case
    {
        const char* settings;
        std::vector<std::string> rows;
    };
    // Two records of two lines each for ID 7: without DELETE_ALWAYS the old rows of ID 7 go
    // before the first line only; with it, before each record's first line.
    const Case cases[] = {
        {"DELETE=ID\n", {"7|1|b1|2", "7|2|a2|1", "7|3|b3|2", "8|1|kept|1"}},
        {"DELETE=ID\nDELETE_ALWAYS=YES\n", {"7|1|b1|2", "7|3|b3|2", "8|1|kept|1"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.settings);
        Run("DELETE FROM " + m_table + " WHERE id=7");
        Run("INSERT INTO " + m_table +
            " (id, line, name, qty) VALUES (7, 1, 'old', 1), "
            "(7, 9, 'old', 1)");
        CFetch fetch;
        ASSERT_TRUE(fetch.Init("LINES", "", "", FETCH_MODE_WRITE, "", "", "", 1, nullptr, "",
                               Target(test.settings)))
            << fetch.m_strLastError;
        fetch.m_bLogNewEntries = 1;
        const std::vector<std::vector<std::string>> records = {{"1", "2", "a1", "a2"},
                                                               {"1", "3", "b1", "b3"}};
        for (const auto& record : records) {
            fetch.ClearRecord();
            fetch.SetFieldInt("ID", 7);
            FetchTextArray lines;
            lines.Add(record[0]);
            lines.Add(record[1]);
            fetch.SetFieldListString("LINE", lines);
            FetchTextArray names;
            names.Add(record[2]);
            names.Add(record[3]);
            fetch.SetFieldListString("NAME", names);
            fetch.SetFieldInt("QTY", static_cast<int>(&record - records.data()) + 1);
            ASSERT_TRUE(fetch.WriteRecord()) << fetch.m_strLastError;
        }
        EXPECT_TRUE(fetch.Close());
        EXPECT_EQ(Rows(), test.rows);
    }
    // The log of the last opening: the rows it inserted, not those it updated.
    const std::string log = ReadText(program.File("IONewEntries.log"));
    EXPECT_EQ(log, m_table + ": 7,1,'a1',1\n" + m_table + ": 7,2,'a2',1\n" + m_table +
                       ": 7,1,'b1',2\n" + m_table + ": 7,3,'b3',2\n");
}

TEST_P(FetchDatabaseTest, SentencesAndDeletesOfTheSqlFamily)
{
    Run("INSERT INTO " + m_table + " (id, line, name, qty) VALUES (1, 1, 'a', 1)");
    const std::string file = Definitions(
        "[FAMILY_FORMAT]\nTYPE=INFORMIX\nCONNECTION_STRING=" + m_connection +
        "\nTABLENAME=" + m_table +
        "\nKEY=ID,LINE\nDELETE_ALL_DATA_AT_START=YES\nPRE_EXECUTE_SQL_SENTENCE=INSERT INTO " +
        m_table + " (id, line, name) VALUES (9, 9, 'pre')\nPOST_EXECUTE_SQL_SENTENCE=UPDATE " +
        m_table + " SET qty=0 WHERE qty IS NULL\n[FAMILY]\nID=id\nLINE=line\nNAME=name\n");
    CFetch fetch;
    ASSERT_TRUE(
        fetch.Init("FAMILY", "02012024", "", FETCH_MODE_WRITE, "", "", "", 1, nullptr, "", file))
        << fetch.m_strLastError;
    EXPECT_EQ(Rows(), (std::vector<std::string>{"9|9|pre|NULL"}));
    for (const char* name : {"c", "02/01/2024"}) {
        fetch.ClearRecord();
        fetch.SetFieldInt("ID", name[0] == 'c' ? 3 : 4);
        fetch.SetFieldInt("LINE", 1);
        fetch.SetFieldString("NAME", name);
        ASSERT_TRUE(fetch.WriteRecord()) << fetch.m_strLastError;
    }
    // The deletes of report code: a filter, FETCH_DATE in the definition's DATE format.
    EXPECT_TRUE(fetch.DeleteData("ID=9 OR NAME=FETCH_DATE"));
    EXPECT_FALSE(fetch.DeleteData("ID>NULL"));
    EXPECT_TRUE(fetch.Close());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"3|1|c|0"}));
}

TEST_P(FetchDatabaseTest, LinkConditionOfLinkedRecords)
{
    const std::string file = Target();
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("LINES", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
    FetchTextArray fields;
    fields.Add("ID");
    fields.Add("NAME");
    FetchTextArray values;
    values.Add("5");
    values.Add("");
    std::string condition;
    ASSERT_TRUE(fetch.BuildLinkWhere(fields, values, condition)) << fetch.m_strLastError;
    EXPECT_EQ(condition, "\"id\"=5 AND \"name\" IS NULL");
    values[1] = "O'Brien";
    ASSERT_TRUE(fetch.BuildLinkWhere(fields, values, condition));
    EXPECT_EQ(condition, "\"id\"=5 AND \"name\"='O''Brien'");
    values[0] = "5 OR 1=1";
    EXPECT_FALSE(fetch.BuildLinkWhere(fields, values, condition));
}

INSTANTIATE_TEST_SUITE_P(Databases, FetchDatabaseTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);
