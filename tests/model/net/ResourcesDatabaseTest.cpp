// The fleet read from the company's database: the rows of the company in use and of the
// planning date only, through the bundled definition, on SQLite and PostgreSQL alike.

#include "../FleetCatalogueTest.h"
#include "DatabaseTableTest.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "model/ModelDialogs.h"
#include "model/Resources.h"
#include "params/FetchFieldRecord.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const auto* const peers = ::testing::AddGlobalTestEnvironment(new NetPeers);

class ResourcesDatabaseTest : public DatabaseTableTest
{
  protected:
    void SetUp() override
    {
        StartFleetCatalogue();
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        // Quoted names keep their case on PostgreSQL, as the engine quotes them.
        std::string columns;
        for (const char* column : {"TRUCK_PLATE", "TRUCK_CODE", "TRUCK_BASE_CODE", "TRAILER_PLATE",
                                   "TRAILER_CODE", "DRIVER_CODE", "DRIVER_NAME", "EMPRESA"})
            columns += std::string("\"") + column + "\" VARCHAR(60), ";
        columns += "\"TRAILER_CAPACITY\" DOUBLE PRECISION, \"FECHA_PLANIFICACION\" DATE";
        CreateTable("res_", columns);

        // The bundled fields; the format as a company on this database configures it.
        std::string definitions =
            trv::test::ReadFileBytes(std::string(TRV_PROGRAM_DIR) + "/Data.ini");
        const std::string format = "[INT_RESOURCESDB_FORMAT]\n";
        const std::size_t start = definitions.find(format);
        ASSERT_NE(start, std::string::npos);
        const std::size_t end = definitions.find("\n[", start + format.size());
        definitions.replace(
            start, end - start,
            format + "TYPE=DATABASE\nFILENAME=" + m_connection + "\nTABLENAME=" + m_table +
                "\nKEY=EMPRESA,FECHA_PLANIFICACION,TRUCK_PLATE,TRAILER_PLATE,DRIVER_CODE\n");
        trv::test::WriteFileBytes(m_folder.File("Data.ini"), definitions);
    }
    void TearDown() override
    {
        EndFleetCatalogue();
        trv::ResetAppGlobals();
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
        DatabaseTableTest::TearDown();
    }

    void Insert(const std::string& driver, std::string company, const std::string& date)
    {
        trv::ReplaceAllInPlace(company, "'", "''");
        Run("INSERT INTO " + m_table +
            " (\"TRUCK_PLATE\", \"TRUCK_BASE_CODE\", \"TRAILER_PLATE\", \"DRIVER_CODE\", "
            "\"DRIVER_NAME\", \"EMPRESA\", "
            "\"TRAILER_CAPACITY\", \"FECHA_PLANIFICACION\") VALUES ('T" +
            driver + "', 'BASE', 'R" + driver + "', '" + driver + "', 'Driver " + driver + "', '" +
            company + "', 30000, '" + date + "')");
    }

    bool Import()
    {
        CFetchRecordSource definitions(m_folder.File("Data.ini"));
        TResourcesImport request;
        request.sourceKind = 4;
        request.planningDate = trv::OleDate(2026, 2, 3);
        request.messages = &messages;
        return Resources().GeneralImport(definitions, request);
    }

    static std::vector<std::string> Drivers()
    {
        std::vector<std::string> codes;
        for (const CLorryDriver* pair : Resources().pairs)
            codes.push_back(pair->GetDriverCode());
        return codes;
    }

    CSmartStringArray messages;
};

TEST_P(ResourcesDatabaseTest, TheCompanysRowsOfThePlanningDate)
{
    trv::SetCompanyName("O'Brien");
    Insert("D1", "O'Brien", "2026-02-03");
    Insert("D2", "O'Brien", "2026-03-02"); // the same digits, day and month swapped
    Insert("D3", "SUR", "2026-02-03");
    Insert("D4", "O'Brien", "2026-02-03");

    ASSERT_TRUE(Import()) << (messages.GetSize() ? messages[0] : "");
    EXPECT_EQ(Drivers(), (std::vector<std::string>{"D1", "D4"}));

    {
        // The planner's filter narrows the company's rows further, whatever its operators.
        CRecordingFilterDialogFactory filters;
        filters.condition = "DRIVER_CODE=\"D2\" OR DRIVER_CODE=\"D4\"";
        ASSERT_TRUE(Import());
        EXPECT_EQ(Drivers(), (std::vector<std::string>{"D4"}));
    }
    {
        // A cancelled filter reads nothing and keeps the fleet.
        CRecordingFilterDialogFactory filters;
        filters.cancel = true;
        EXPECT_FALSE(Import());
        EXPECT_EQ(filters.shownCount, 1);
        EXPECT_EQ(Drivers(), (std::vector<std::string>{"D4"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, ResourcesDatabaseTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

} // namespace
