// Non-combinable rules in the company's database, on SQLite and PostgreSQL alike, and the
// demo company's database made from its script with the bundled definitions.

#include "DatabaseTableTest.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "model/ModelContext.h"
#include "model/NoCombinable.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const auto* const peers = ::testing::AddGlobalTestEnvironment(new NetPeers);

const TMapPoint kMadrid{-3.7, 40.4};
const TMapPoint kBarcelona{2.17, 41.38};

class NoCombinableDatabaseTest : public DatabaseTableTest
{
  protected:
    void SetUp() override
    {
        const bool sqlite = GetParam() == Backend::SQLite;
        // Quoted names keep their case on PostgreSQL, as the engine quotes them.
        std::string columns =
            sqlite ? "\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT" : "\"ID\" SERIAL PRIMARY KEY";
        for (const char* column :
             {"COORD1LON", "COORD1LAT", "RADIX1", "COORD2LON", "COORD2LAT", "RADIX2"})
            columns += std::string(", \"") + column + "\" DOUBLE PRECISION";
        columns += ", \"TIPO_RECHAZO\" INTEGER, \"CLIENTE\" VARCHAR(100)";
        CreateTable("nc_", columns);
        std::string definitions = "[BOOL]\nDEFAULT=1,0\n[TIME]\nDEFAULT=HH:MM\n[DATE]\nDEFAULT=DD/"
                                  "MM/YYYY\n[DECIMALS]\nDEFAULT=6\n[DEFAULT]\n"
                                  "DECIMAL_SEP=.\n";
        for (const char* name : {"NOCOMBINABLESCOORDS_READ", "NOCOMBINABLESCOORDS_WRITE"})
            definitions += std::string("[") + name +
                           "_FORMAT]\nTYPE=DATABASE\nFILENAME=" + m_connection +
                           "\nTABLENAME=" + m_table + "\nKEY=ID\n[" + name +
                           "]\nID=ID\nCOORD1LON=COORD1LON\nCOORD1LAT=COORD1LAT\nRADIX1=RADIX1\n"
                           "COORD2LON=COORD2LON\nCOORD2LAT=COORD2LAT\nRADIX2=RADIX2\n"
                           "TIPO_RECHAZO=TIPO_RECHAZO\nCLIENTE=CLIENTE\n";
        rules.SetDefinitionFile(m_folder.File("Data.ini"));
        trv::test::WriteFileBytes(m_folder.File("Data.ini"), definitions);
        trv::SetCompanyName("O'Brien");
    }
    void TearDown() override
    {
        trv::ResetAppGlobals();
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
        DatabaseTableTest::TearDown();
    }

    std::vector<std::string> Companies()
    {
        return QueryRows("SELECT \"CLIENTE\" FROM " + m_table + " ORDER BY \"ID\"");
    }

    CNoCombinable rules;
};

TEST_P(NoCombinableDatabaseTest, RulesAreExportedReadBackAndDeletedForTheCompanyOnly)
{
    // Another company's rule at the same places.
    Run("INSERT INTO " + m_table +
        " (\"COORD1LON\", \"COORD1LAT\", \"RADIX1\", \"COORD2LON\", \"COORD2LAT\", "
        "\"RADIX2\", \"TIPO_RECHAZO\", \"CLIENTE\") "
        "VALUES (-3.7, 40.4, 0.5, 2.17, 41.38, 0.7, 0, 'SUR')");
    rules.InitMatrices(1, 1);
    rules.AddRule(kMadrid, kBarcelona, 0.5, 0.7, 0);
    ASSERT_EQ(rules.ExportarBDD(), 1);
    const TNoCombinableRule first = *rules.GetLastRule();
    EXPECT_GT(first.id, 1);
    EXPECT_EQ(first.saved, 1);
    // 1e-5 degrees away: a rule of its own.
    rules.AddRule({kMadrid.longitude + 1e-5, kMadrid.latitude}, kBarcelona, 0.5, 0.7, 1);
    ASSERT_EQ(rules.ExportarBDD(), 1);
    const TNoCombinableRule second = *rules.GetLastRule();
    EXPECT_GT(second.id, first.id);

    CNoCombinable loaded;
    loaded.SetDefinitionFile(m_folder.File("Data.ini"));
    loaded.LoadRules();
    ASSERT_EQ(loaded.GetRules().size(), 2u);
    const TNoCombinableRule& read = loaded.GetRules().front();
    EXPECT_EQ(read.id, first.id);
    EXPECT_EQ(read.active, 1);
    EXPECT_EQ(read.saved, 1);
    EXPECT_DOUBLE_EQ(read.longitude1, kMadrid.longitude);
    EXPECT_DOUBLE_EQ(read.radius2Km, 0.7);
    EXPECT_EQ(loaded.GetRules().back().rejectionType, 1);

    // By identifier: exactly that row.
    ASSERT_EQ(rules.BorrarBDD(first), 1);
    EXPECT_EQ(Companies(), (std::vector<std::string>{"SUR", "O'Brien"}));

    // Without identifier, by the coordinates: a rule 1e-5 degrees off deletes nothing.
    TNoCombinableRule near = second;
    near.id = 0;
    near.longitude1 += 1e-5;
    ASSERT_EQ(rules.BorrarBDD(near), 1);
    EXPECT_EQ(Companies().size(), 2u);
    near.longitude1 = second.longitude1;
    ASSERT_EQ(rules.BorrarBDD(near), 1);
    EXPECT_EQ(Companies(), (std::vector<std::string>{"SUR"}));

    // The other company's rules are its own.
    trv::SetCompanyName("SUR");
    loaded.LoadRules();
    ASSERT_EQ(loaded.GetRules().size(), 1u);
    EXPECT_EQ(loaded.GetRules().front().id, 1);
}

TEST_P(NoCombinableDatabaseTest, AnUnreachableTableExportsNothing)
{
    trv::test::WriteFileBytes(
        m_folder.File("Missing.ini"),
        "[NOCOMBINABLESCOORDS_WRITE_FORMAT]\nTYPE=DATABASE\nFILENAME=" + m_connection +
            "\nTABLENAME=nothing_here\nKEY=ID\n"
            "[NOCOMBINABLESCOORDS_WRITE]\nID=ID\nCLIENTE=CLIENTE\n");
    rules.SetDefinitionFile(m_folder.File("Missing.ini"));
    rules.InitMatrices(1, 1);
    rules.AddRule(kMadrid, kBarcelona, 0.5, 0.7, 0);
    EXPECT_EQ(rules.ExportarBDD(), 0);
    EXPECT_EQ(rules.GetLastRule()->saved, 0);
    EXPECT_EQ(rules.GetLastRuleId(*rules.GetLastRule()), -1);
    rules.LoadRules();
    EXPECT_TRUE(rules.GetRules().empty());
}

INSTANTIATE_TEST_SUITE_P(Databases, NoCombinableDatabaseTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

// The demo company's database made from its script serves the bundled definitions.
TEST(NoCombinableSampleDatabase, TheScriptsTableTakesRules)
{
    trv::test::TempFolder folder("trv_sample_database");
    const std::string database = folder.File("Demo.db");
    const std::string make =
        "sqlite3 " + database + " < " + std::string(TRV_SAMPLES_DIR) + "/Demo/Database.sql";
    ASSERT_EQ(std::system(make.c_str()), 0) << "sqlite3 is installed by tools/install-deps.sh";
    std::string definitions = trv::test::ReadFileBytes(std::string(TRV_PROGRAM_DIR) + "/Data.ini");
    definitions.replace(definitions.find("[DEFAULT]\n"), 10,
                        "[DEFAULT]\nCONNECTION_STRING=Driver=" + NetPeers::Get("SQLITE_DRIVER") +
                            ";Database=" + database + "\n");
    CNoCombinable rules;
    rules.SetDefinitionFile(folder.Write("Data.ini", definitions));
    trv::SetCompanyName("Demo");
    rules.InitMatrices(1, 1);
    rules.AddRule(kMadrid, kBarcelona, 0, 0, 0);
    EXPECT_EQ(rules.ExportarBDD(), 1);
    EXPECT_EQ(rules.GetLastRule()->id, 1);
    CNoCombinable loaded;
    loaded.SetDefinitionFile(folder.File("Data.ini"));
    loaded.LoadRules();
    ASSERT_EQ(loaded.GetRules().size(), 1u);
    EXPECT_EQ(loaded.BorrarBDD(loaded.GetRules().front()), 1);
    loaded.LoadRules();
    EXPECT_TRUE(loaded.GetRules().empty());
    trv::ResetAppGlobals();
    CFetch::ResetDefinitionFiles();
    trv::ClearProfileCache();
}

} // namespace
