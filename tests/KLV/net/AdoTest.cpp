#include "DatabaseTableTest.h"
#include "KLV/AdoDB.h"
#include "KLV/AdoRecordset.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class AdoTest : public DatabaseTableTest
{
  protected:
    void SetUp() override
    {
        CreateTable("t_",
                    "id INTEGER PRIMARY KEY, name VARCHAR(40), amount DOUBLE PRECISION, "
                    "due TIMESTAMP, paid BOOLEAN",
                    "plan.db");
    }

    std::string ConnectionString() const { return m_connection; }

    void InsertSampleRows()
    {
        Run("INSERT INTO " + m_table +
            " (id, name, amount, due, paid) VALUES "
            "(1, 'M\xC3\xBCller', 12.5, {ts '2024-03-31 08:30:00'}, " +
            True() + "), (2, '', 0, NULL, NULL), (3, NULL, NULL, NULL, NULL)");
    }

    std::string True() const { return GetParam() == Backend::SQLite ? "1" : "TRUE"; }

    CAdoRecordsetPtr Open(const std::string& statement)
    {
        std::string error;
        CAdoRecordsetPtr recordset =
            CreateAdoRecordset(m_database->m_pConnection, statement, adOpenDynamic,
                               adLockOptimistic, adCmdText, error);
        EXPECT_TRUE(error.empty()) << error;
        return recordset;
    }
};

TEST_P(AdoTest, BadConnectionGivesAnEmptyConnectionAndOneTraceWithoutPassword)
{
    const std::string connection =
        GetParam() == Backend::SQLite
            ? "Driver=NoSuchDriver;Database=x.db;Pwd=hunter2-pass"
            : ConnectionString().replace(ConnectionString().find("Pwd=trv-secret"), 14,
                                         "Pwd=hunter2-pass");
    TraceCapture trace;

    CAdoDBPtr database = CreateAdoDB(connection);

    EXPECT_FALSE(database->m_pConnection);
    EXPECT_FALSE(database->m_strLastError.empty());
    EXPECT_TRUE(database->m_strConnectionString.empty());
    const auto lines = trace.LinesWith("CAdoDB::CAdoDB");
    ASSERT_EQ(lines.size(), 1u) << trace.Text();
    EXPECT_TRUE(Contains(lines[0], "Error ejecutando: ")) << lines[0];
    EXPECT_TRUE(Contains(lines[0], "Pwd=***")) << lines[0];
    EXPECT_FALSE(Contains(trace.Text(), "hunter2")) << trace.Text();

    std::string error;
    EXPECT_EQ(database->Execute(database->m_pConnection, "SELECT 1", error), -1);
    EXPECT_FALSE(error.empty());
    database.reset(); // closing an unopened connection is harmless
}

TEST_P(AdoTest, StatementsReturnTheRowsTheyAffected)
{
    EXPECT_EQ(Run("INSERT INTO " + m_table + " (id, name) VALUES (1, 'a'), (2, 'b')"), 2);
    EXPECT_EQ(Run("UPDATE " + m_table + " SET name = 'c' WHERE id = 2"), 1);
    EXPECT_EQ(Run("UPDATE " + m_table + " SET name = 'd' WHERE id = 99"), 0);
    EXPECT_EQ(Run("DELETE FROM " + m_table), 2);
}

TEST_P(AdoTest, FailingStatementReturnsMinusOneAndLeavesNoOpenTransaction)
{
    Run("INSERT INTO " + m_table + " (id, name) VALUES (1, 'a')");
    m_database->m_nRollback = 0; // rolled back whatever the dialect asks
    std::string error;

    EXPECT_EQ(m_database->Execute(m_database->m_pConnection,
                                  "UPDATE " + m_table + " SET no_such_column = 1", error),
              -1);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(m_database->m_strLastError, error);
    EXPECT_FALSE(m_database->m_pConnection->InTransaction());

    // A duplicate key fails inside the transaction; the row before it stays out as well.
    EXPECT_EQ(m_database->Execute(
                  m_database->m_pConnection,
                  "INSERT INTO " + m_table + " (id, name) VALUES (2, 'b'), (1, 'c')", error),
              -1);

    // The connection goes on working, and what it commits is seen by another one.
    EXPECT_EQ(Run("INSERT INTO " + m_table + " (id, name) VALUES (3, 'c')"), 1);
    CAdoDBPtr other = CreateAdoDB(ConnectionString());
    ASSERT_TRUE(other->m_pConnection) << other->m_strLastError;
    std::string openError;
    CAdoRecordsetPtr rows =
        CreateAdoRecordset(other->m_pConnection, "SELECT id FROM " + m_table + " ORDER BY id",
                           adOpenDynamic, adLockOptimistic, adCmdText, openError);
    ASSERT_TRUE(openError.empty()) << openError;
    EXPECT_EQ(rows->GetRecordset()->RecordCount(), 2);
}

TEST_P(AdoTest, FieldTypeAndSizeByNameAndZeroForAnUnknownColumn)
{
    CAdoRecordsetPtr recordset = Open("SELECT * FROM " + m_table);
    struct Case
    {
        const char* field;
        long type;
        long size;
    };
    const Case cases[] = {
        {"id", trv::AdoType::Integer, 4},    {"NAME", trv::AdoType::VarChar, 40},
        {"amount", trv::AdoType::Double, 8}, {"due", trv::AdoType::DBTimeStamp, 16},
        {"paid", trv::AdoType::Boolean, 2},
    };
    for (const Case& c : cases) {
        long type = -1, size = -1;
        recordset->vGetFieldType(c.field, type);
        recordset->vGetFieldSize(c.field, size);
        EXPECT_EQ(type, c.type) << c.field;
        EXPECT_EQ(size, c.size) << c.field;
    }

    TraceCapture trace;
    long type = -1, size = -1;
    recordset->vGetFieldType("missing", type);
    recordset->vGetFieldSize("missing", size);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(trace.LinesWith("CAdoRecordset::dump_com_error").size(), 2u) << trace.Text();
    const auto lines = trace.LinesWith("Field= missing");
    ASSERT_EQ(lines.size(), 2u) << trace.Text();
    EXPECT_TRUE(Contains(lines[0], "CAdoRecordset::vGetFieldType")) << lines[0];
}

TEST_P(AdoTest, WalkReadsValuesAndMoveFirstStartsOver)
{
    InsertSampleRows();
    CAdoRecordsetPtr recordset = Open("SELECT * FROM " + m_table + " ORDER BY id");
    trv::AdoRecordsetPtr rows = recordset->GetRecordset();
    ASSERT_EQ(rows->RecordCount(), 3);

    std::vector<bool> empty;
    while (!recordset->IsEOF()) {
        empty.push_back(recordset->IsRecordEmpty());
        rows->MoveNext();
    }
    // Row 3 has an id, so no row is all NULL; see the projection below.
    EXPECT_EQ(empty, (std::vector<bool>{false, false, false}));

    rows->MoveFirst();
    ASSERT_FALSE(recordset->IsEOF());
    trv::FieldValue name, amount, due, paid;
    recordset->vGetFieldValue("name", name);
    recordset->vGetFieldValue("Amount", amount);
    recordset->vGetFieldValue("due", due);
    recordset->vGetFieldValue("paid", paid);
    EXPECT_EQ(std::get<std::string>(name), "M\xC3\xBCller");
    EXPECT_DOUBLE_EQ(std::get<double>(amount), 12.5);
    EXPECT_EQ(std::get<trv::OleDate>(due), trv::OleDate(2024, 3, 31, 8, 30, 0));
    EXPECT_EQ(std::get<bool>(paid), true);

    trv::FieldValue untouched = std::string("kept");
    recordset->vGetFieldValue("missing", untouched);
    EXPECT_EQ(std::get<std::string>(untouched), "kept");

    CAdoRecordsetPtr projection =
        Open("SELECT name, paid FROM " + m_table + " WHERE id > 1 ORDER BY id");
    EXPECT_FALSE(projection->IsRecordEmpty()); // an empty string is a value
    projection->GetRecordset()->MoveNext();
    EXPECT_TRUE(projection->IsRecordEmpty());
}

TEST_P(AdoTest, ForwardOnlyWalkGivesTheRowsOfAStaticOne)
{
    InsertSampleRows();
    const std::string statement = "SELECT * FROM " + m_table + " ORDER BY id";
    const auto rowsOf = [](const trv::AdoRecordsetPtr& rows) {
        std::vector<std::vector<trv::FieldValue>> values;
        for (; !rows->IsEOF(); rows->MoveNext()) {
            values.emplace_back();
            for (std::size_t field = 0; field < rows->FieldCount(); ++field)
                values.back().push_back(rows->Value(field));
        }
        return values;
    };
    std::string error;
    CAdoRecordsetPtr forward =
        CreateAdoRecordset(m_database->m_pConnection, statement, adOpenForwardOnly,
                           adLockOptimistic, adCmdText, error);
    ASSERT_TRUE(error.empty()) << error;
    const trv::AdoRecordsetPtr rows = forward->GetRecordset();
    EXPECT_EQ(rows->RecordCount(), -1);
    const auto walked = rowsOf(rows);
    // A text, an empty text and NULL one after another: the reused row storage keeps none.
    EXPECT_EQ(walked, rowsOf(Open(statement)->GetRecordset()));
    ASSERT_EQ(walked.size(), 3u);
    EXPECT_THROW(rows->Value(0), trv::AdoError);

    // Back to the first row: the statement runs again.
    rows->MoveFirst();
    ASSERT_FALSE(rows->IsEOF());
    trv::FieldValue name;
    forward->vGetFieldValue("name", name);
    EXPECT_EQ(std::get<std::string>(name), "M\xC3\xBCller");

    CAdoRecordsetPtr empty =
        CreateAdoRecordset(m_database->m_pConnection, "SELECT * FROM " + m_table + " WHERE id > 99",
                           adOpenForwardOnly, adLockOptimistic, adCmdText, error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_TRUE(empty->IsEOF());
    EXPECT_TRUE(empty->IsRecordEmpty());
}

TEST_P(AdoTest, AddedColumnIsSeenAfterRequery)
{
    InsertSampleRows();
    CAdoRecordsetPtr recordset = Open("SELECT * FROM " + m_table);
    long type = -1;
    recordset->vGetFieldType("remark", type);
    ASSERT_EQ(type, 0);

    CADOXCatalog catalog;
    ASSERT_TRUE(catalog.Open(recordset->m_pConnection));
    {
        // Found whatever the case and quoting the engine gives the name.
        CADOXTable table(catalog, "[" + trv::ToUpper(m_table) + "]");
        EXPECT_EQ(table.m_strTableName, m_table);
        EXPECT_TRUE(table.AddField("remark", trv::AdoType::VarChar, true));
        EXPECT_TRUE(table.AddField("checked", trv::AdoType::Boolean, true));
        EXPECT_FALSE(table.AddField("remark", trv::AdoType::VarChar, true)); // already there
    }
    CADOXTable missing(catalog, "no_such_table");
    EXPECT_FALSE(missing.AddField("remark", trv::AdoType::VarChar, true));

    recordset->Requery();
    recordset->vGetFieldType("remark", type);
    EXPECT_TRUE(type == trv::AdoType::VarChar || type == trv::AdoType::LongVarChar) << type;
    recordset->vGetFieldType("checked", type);
    EXPECT_EQ(type, trv::AdoType::Boolean);
    EXPECT_EQ(recordset->GetRecordset()->RecordCount(), 3);
    EXPECT_EQ(Run("UPDATE " + m_table + " SET remark = 'late' WHERE id = 1"), 1);
}

TEST_P(AdoTest, RecordsetThatCannotOpenSaysWhichQuery)
{
    std::string error = "stale";
    const std::string statement = "SELECT * FROM no_such_table";
    TraceCapture trace;

    CAdoRecordsetPtr recordset = CreateAdoRecordset(
        m_database->m_pConnection, statement, adOpenDynamic, adLockOptimistic, adCmdText, error);

    ASSERT_TRUE(recordset);
    EXPECT_TRUE(error.starts_with("Error Accediendo BD. Query=" + statement + ". Error=")) << error;
    EXPECT_TRUE(recordset->IsEOF());
    EXPECT_EQ(trace.LinesWith("CAdoRecordset::dump_com_error").size(), 1u) << trace.Text();
}

INSTANTIATE_TEST_SUITE_P(Databases, AdoTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

} // namespace
