#pragma once

#include "KLV/AdoDB.h"
#include "KLV/AdoRecordset.h"
#include "NetPeers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

enum class Backend
{
    SQLite,
    PostgreSQL
};

// Names the parameterised cases "SQLite" and "PostgreSQL".
inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info)
{
    return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

// One database per backend and test: a SQLite file of the test's own, or the PostgreSQL
// cluster of the fixture, with a table named after the test, dropped at its end.
class DatabaseTableTest : public ::testing::TestWithParam<Backend>
{
  protected:
    // Connects (`sqliteFile` names the SQLite database in the test's folder) and creates the
    // table `prefix` + the test's name with `columns`, dropping one left by an earlier run.
    void CreateTable(const std::string& prefix, const std::string& columns,
                     const std::string& sqliteFile = "t.db")
    {
        m_table = prefix;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        for (char c : std::string(info->name()))
            m_table += std::isalnum(static_cast<unsigned char>(c))
                           ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                           : '_';
        m_connection = GetParam() == Backend::SQLite ? "Driver=" + NetPeers::Get("SQLITE_DRIVER") +
                                                           ";Database=" + m_folder.File(sqliteFile)
                                                     : NetPeers::Get("PG_CONNECTION");
        m_database = CreateAdoDB(m_connection);
        ASSERT_TRUE(m_database->m_pConnection) << m_database->m_strLastError;
        Run("DROP TABLE IF EXISTS " + m_table);
        Run("CREATE TABLE " + m_table + " (" + columns + ")");
    }

    void TearDown() override
    {
        if (m_database && m_database->m_pConnection && !m_table.empty())
            Run("DROP TABLE IF EXISTS " + m_table);
    }

    // A value as the row texts show it: NULL for a null or any other kind.
    static std::string FieldText(const trv::FieldValue& value)
    {
        if (const auto* text = std::get_if<std::string>(&value))
            return *text;
        if (const auto* number = std::get_if<std::int64_t>(&value))
            return std::to_string(*number);
        return "NULL";
    }

    // Runs a statement that must succeed; the rows it affected.
    long Run(const std::string& statement)
    {
        std::string error;
        const long rows = m_database->Execute(m_database->m_pConnection, statement, error);
        EXPECT_TRUE(error.empty()) << statement << ": " << error;
        return rows;
    }

    // The rows of a query as texts, its columns joined by '|' (NULL for a null or other value).
    std::vector<std::string> QueryRows(const std::string& statement)
    {
        std::string error;
        CAdoRecordsetPtr recordset =
            CreateAdoRecordset(m_database->m_pConnection, statement, adOpenDynamic,
                               adLockOptimistic, adCmdText, error);
        EXPECT_TRUE(error.empty()) << error;
        std::vector<std::string> rows;
        auto set = recordset->GetRecordset();
        for (; set && !set->IsEOF(); set->MoveNext()) {
            std::string row;
            for (std::size_t field = 0; field < set->FieldCount(); ++field) {
                if (field > 0)
                    row += '|';
                row += FieldText(set->Value(field));
            }
            rows.push_back(row);
        }
        return rows;
    }

    TemporaryFolder m_folder;
    std::string m_table;
    std::string m_connection;
    CAdoDBPtr m_database;
};
