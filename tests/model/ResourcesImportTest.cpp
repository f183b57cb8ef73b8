// The fleet's import and export: resource records, the companions beside them, the driver
// availability, the driver-vehicle matrix and what the vehicles already carry.

#include "../KLV/TraceCapture.h"
#include "FleetCatalogueTest.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "MemoryFieldRecord.h"
#include "TempFolder.h"
#include "model/Condicionantes.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/ModelDialogs.h"
#include "model/OrderLine.h"
#include "model/Resources.h"
#include "params/FetchFieldRecord.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"
#include "platform/Progress.h"
#include "platform/Registry.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Row = CMemoryFieldRecord::Row;

// A resource record: truck, trailer and driver (each left out when empty), then extra fields.
Row Resource(const std::string& truck, const std::string& trailer, const std::string& driver,
             Row extra = {})
{
    Row row = std::move(extra);
    if (!truck.empty()) {
        row["TRUCK_PLATE"] = truck;
        row["TRUCK_BASE_CODE"] = "BASE";
    }
    if (!trailer.empty())
        row["TRAILER_PLATE"] = trailer;
    if (!driver.empty()) {
        row["DRIVER_CODE"] = driver;
        row["DRIVER_NAME"] = "Name " + driver;
    }
    return row;
}

class RecordingEngine : public CFleetEngine
{
  public:
    bool RemovePairItem(int row) override
    {
        removed.push_back(row);
        return true;
    }
    void RecreateFirstWorkspaceTrips() override { ++recreated; }

    std::vector<int> removed;
    int recreated = 0;
};

class FleetImportTest : public FleetCatalogueTest
{
  protected:
    bool Import(std::vector<Row> rows, bool add = false, int sourceKind = 1)
    {
        source.tables[sourceKind == 3 ? "CUSTOMER_RESOURCES" : "INT_RESOURCES"] = std::move(rows);
        request.sourceKind = sourceKind;
        request.add = add;
        request.messages = &messages;
        return Resources().GeneralImport(source, request);
    }

    static CResources& Fleet() { return Resources(); }

    CMemoryRecordSource source;
    TResourcesImport request;
    CSmartStringArray messages;
};

// ---- Records ----------------------------------------------------------------------------------

TEST_F(FleetImportTest, ListedPairsAreUpdatedOrLeftAlone)
{
    UserParameters().SiempreAñadirRecursos = 0;
    ASSERT_TRUE(Import({Resource("T1", "R1", "D1", {{"DRIVER_PRIORITY", "1"}})}));
    ASSERT_EQ(Fleet().pairs.GetSize(), 1);
    CLorryDriver* pair = Fleet().pairs[0];

    ASSERT_TRUE(Import({Resource("T1", "R1", "D1", {{"DRIVER_PRIORITY", "5"}})}, true));
    ASSERT_EQ(Fleet().pairs.GetSize(), 1);
    EXPECT_EQ(Fleet().pairs[0], pair);
    EXPECT_EQ(pair->driverPriority, 5);

    UserParameters().IgnorarRecursosYaCargadosAlAgregar = 1;
    ASSERT_TRUE(Import({Resource("T1", "R1", "D1", {{"DRIVER_PRIORITY", "9"}})}, true));
    EXPECT_EQ(Fleet().pairs.GetSize(), 1);
    EXPECT_EQ(pair->driverPriority, 5);
}

TEST_F(FleetImportTest, IncompleteRecordsAndTheSharingLimit)
{
    // Without driverless vehicles all three are needed.
    ASSERT_TRUE(Import({Resource("T1", "R1", ""), Resource("", "", "D0")}));
    EXPECT_EQ(Fleet().pairs.GetSize(), 0);

    UserParameters().PermitirVehiculosSinConductor = 1;
    ASSERT_TRUE(Import({Resource("", "", "D0")}));
    ASSERT_EQ(Fleet().pairs.GetSize(), 1);
    EXPECT_EQ(Fleet().pairs[0]->lorry, nullptr);
    EXPECT_NE(Fleet().pairs[0]->flags & PAIR_WITHOUT_LORRY, 0);

    // A fourth driver on a lorry of three driven pairs: refused while every pair is driven,
    // taken once a driverless pair exists, and the sixth pair of one lorry never.
    UserParameters().PermitirVehiculosSinConductor = 0;
    const std::vector<Row> four = {Resource("T1", "R1", "D1"), Resource("T1", "R1", "D2"),
                                   Resource("T1", "R1", "D3"), Resource("T1", "R1", "D4")};
    ASSERT_TRUE(Import(four));
    EXPECT_EQ(Fleet().pairs.GetSize(), 3);

    UserParameters().PermitirVehiculosSinConductor = 1;
    std::vector<Row> withFree = {Resource("T9", "R9", "")};
    withFree.insert(withFree.end(), four.begin(), four.end());
    withFree.push_back(Resource("T1", "R1", "D5"));
    withFree.push_back(Resource("T1", "R1", "D6"));
    ASSERT_TRUE(Import(withFree));
    EXPECT_EQ(Fleet().pairs.GetSize(), 6);
    EXPECT_EQ(Fleet().pairs.FindByDriverCode("D5", 0, -2, true, false), 5);
    EXPECT_EQ(Fleet().pairs.FindByDriverCode("D6", 0, -2, true, false), -1);
}

TEST_F(FleetImportTest, TransportCardsWithoutTheirPlaceRemoveThePair)
{
    UserParameters().TransportCard = 1;
    struct Case
    {
        const char* type;
        const char* province;
        const char* code;
        const char* error; // null: the pair stays
    } cases[] = {
        {"2", "0", "", "ErrorLocalTransportCard"},
        {"1", "0", "", "ErrorComarcalTransportCard"},
        {"2", "0", "LOC1", nullptr},
        {"1", "28", "", nullptr},
        {"0", "0", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + "/" + c.province + "/" + c.code);
        messages.SetSize(0);
        const bool imported = Import({Resource("T1", "R1", "D1",
                                               {{"TRANSPORT_CARD_TYPE", c.type},
                                                {"PROVINCIA_TARJETA_COMARCAL", c.province},
                                                {"TRANSPORT_CARD_CODE", c.code}})});
        if (!c.error) {
            EXPECT_TRUE(imported);
            EXPECT_EQ(Fleet().pairs.GetSize(), 1);
            continue;
        }
        EXPECT_FALSE(imported);
        EXPECT_EQ(Fleet().pairs.GetSize(), 0);
        EXPECT_EQ(Fleet().lorries.GetSize(), 0);
        ASSERT_EQ(messages.GetSize(), 2);
        EXPECT_EQ(messages[0], TranslateFormat("ErrorInvalidResource", "T1", "Name D1"));
        EXPECT_FALSE(messages[0].empty());
        EXPECT_EQ(messages[1], Translate(c.error));
    }
}

TEST_F(FleetImportTest, AnAddingImportRemovesTheUnlistedPairsFromTheTop)
{
    ASSERT_TRUE(Import({Resource("T0", "R0", "D0"), Resource("T1", "R1", "D1"),
                        Resource("T2", "R2", "D2"), Resource("T3", "R3", "D3")}));
    RecordingEngine engine;
    Fleet().engine = &engine;
    UserParameters().SiempreAñadirRecursos = 0;
    UserParameters().SiempreAñadirRecursosBorrando = 1;
    int removed = 0;
    request.removedCount = &removed;
    ASSERT_TRUE(Import({Resource("T2", "R2", "D2"), Resource("T0", "R0", "D0")}, true));
    Fleet().engine = nullptr;
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(engine.removed, (std::vector<int>{3, 1}));
    ASSERT_EQ(Fleet().pairs.GetSize(), 2);
    EXPECT_EQ(Fleet().pairs[0]->GetDriverCode(), "D0");
    EXPECT_EQ(Fleet().pairs[1]->GetDriverCode(), "D2");
    EXPECT_EQ(Fleet().pairs[1]->row, 1);
    EXPECT_EQ(Fleet().trucks.GetSize(), 2);
    EXPECT_EQ(Fleet().drivers.GetSize(), 2);
}

TEST_F(FleetImportTest, RemovingALorrysLastPairReleasesWhatNobodyElseUses)
{
    ASSERT_TRUE(Import(
        {Resource("T1", "R1", "D1"), Resource("T1", "R1", "D2"), Resource("T2", "R2", "D3")}));
    RecordingEngine engine;
    Fleet().engine = &engine;
    // A shared lorry only loses a use.
    Fleet().RemoveLorryDriver(*Fleet().pairs[0]);
    EXPECT_EQ(Fleet().lorries.GetSize(), 2);
    EXPECT_EQ(Fleet().trucks.GetSize(), 2);
    ASSERT_EQ(Fleet().pairs.GetSize(), 2);
    EXPECT_EQ(Fleet().pairs[0]->GetDriverCode(), "D2");
    EXPECT_EQ(Fleet().pairs[0]->row, 0);
    EXPECT_EQ(Fleet().pairs[1]->row, 1);
    EXPECT_EQ(Fleet().pairs[1]->GetTrailer()->pairRows[1], 1);

    Fleet().RemoveLorryDriver(*Fleet().pairs[0]);
    Fleet().engine = nullptr;
    EXPECT_EQ(engine.recreated, 2);
    EXPECT_EQ(Fleet().lorries.GetSize(), 1);
    ASSERT_EQ(Fleet().trucks.GetSize(), 1);
    EXPECT_EQ(Fleet().trucks[0]->plate, "T2");
    ASSERT_EQ(Fleet().trailers.GetSize(), 1);
    ASSERT_EQ(Fleet().drivers.GetSize(), 1);
    ASSERT_EQ(Fleet().pairs.GetSize(), 1);
    EXPECT_EQ(Fleet().pairs[0]->row, 0);
    EXPECT_EQ(Fleet().pairs[0]->GetDriverCode(), "D3");
}

TEST_F(FleetImportTest, FiltersAndTheAutomaticSolutionFile)
{
    ASSERT_TRUE(Import({Resource("T1", "R1", "D1")}));
    {
        // A cancelled filter leaves the fleet as it was.
        CRecordingFilterDialogFactory filters;
        filters.cancel = true;
        EXPECT_FALSE(Import({Resource("T2", "R2", "D2")}, false, 3));
        ASSERT_EQ(filters.created.size(), 1u);
        EXPECT_EQ(filters.created[0].first, FILTER_RESOURCES);
        ASSERT_EQ(Fleet().pairs.GetSize(), 1);
        EXPECT_EQ(Fleet().pairs[0]->GetDriverCode(), "D1");
    }
    {
        // The company's import: its filter, then the real-time filter.
        CRecordingFilterDialogFactory filters;
        filters.condition = "DRIVER_CODE=\"D2\"";
        source.tables["CUSTOMER_REAL_TIME_LOAD"] = {};
        EXPECT_TRUE(Import({Resource("T2", "R2", "D2")}, false, 3));
        ASSERT_EQ(filters.created.size(), 2u);
        EXPECT_EQ(filters.created[1].first, FILTER_REAL_TIME_LOAD);
        EXPECT_EQ(source.lastOpen.filter, "DRIVER_CODE=\"D2\"");
    }

    // With the company's automatic file, kind 3 reads that file as the plan's own.
    trv::test::ProgramFolder program("trv_fleet_auto");
    trv::SetCompanyAlias("ACME");
    CFetch::ResetDefinitionFiles();
    program.Write("ACME/Configuration/CustomData.ini",
                  "[CUSTOMER_RESOURCES_FORMAT]\nVEH_FILE_AUTOMATIC_LOAD=/plans/last.veh\n");
    UserParameters().ResourcesAutomaticLoadFromSolution = 1;
    CRecordingFilterDialogFactory filters;
    source.tables["INT_RESOURCES"] = {Resource("T3", "R3", "D3")};
    request.sourceKind = 3;
    request.file.clear();
    request.add = false;
    const bool imported = Resources().GeneralImport(source, request);
    trv::ResetAppGlobals();
    CFetch::ResetDefinitionFiles();
    ASSERT_TRUE(imported);
    EXPECT_EQ(request.sourceKind, 1);
    EXPECT_EQ(request.file, "/plans/last.veh");
    ASSERT_EQ(Fleet().pairs.GetSize(), 1);
    EXPECT_EQ(Fleet().pairs[0]->GetDriverCode(), "D3");
    // The dialog of kind 3 was shown; no real-time load for a plan's file.
    ASSERT_EQ(filters.created.size(), 1u);
    EXPECT_EQ(filters.created[0].first, FILTER_RESOURCES);
}

TEST_F(FleetImportTest, TheCompanyAndDateConditionOfTheDatabase)
{
    // The company in use: its name, or its alias once the installation has a company file.
    trv::test::ProgramFolder program("trv_fleet_company");
    trv::SetCompanyName("O\"Brien");
    trv::SetCompanyAlias("OB");
    EXPECT_EQ(CompanyDateCondition(trv::OleDate(2026, 2, 3)),
              "EMPRESA=\"O\"\"Brien\" AND FECHA_PLANIFICACION=\"2026-02-03\"");
    program.Write("empresa.ini", "");
    EXPECT_EQ(CompanyDateCondition(trv::OleDate(2026, 3, 2)),
              "EMPRESA=\"OB\" AND FECHA_PLANIFICACION=\"2026-03-02\"");
    trv::ResetAppGlobals();
}

TEST_F(FleetImportTest, ConditionsJoinedKeepTheirOwnMeaning)
{
    struct Case
    {
        const char* first;
        const char* second;
        const char* joined;
    } cases[] = {
        {"", "B=\"2\"", "B=\"2\""},
        {"A=\"1\"", "", "A=\"1\""},
        {"A=\"1\" OR A=\"2\"", "B=\"3\" AND C=\"4\"",
         "(A=\"1\" OR A=\"2\") AND (B=\"3\" AND C=\"4\")"},
        // A side with groups of its own cannot be nested further.
        {"(A=\"1\" OR A=\"2\") AND D=\"5\"", "B=\"3\"",
         "(A=\"1\" OR A=\"2\") AND D=\"5\" AND (B=\"3\")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JoinConditions(c.first, c.second), c.joined) << c.first << " + " << c.second;
}

TEST_F(FleetImportTest, ReplacingAskedOnlyOverAFleet)
{
    trv::RecordingUserPrompt prompt;
    EXPECT_TRUE(Fleet().ConfirmReplaceResources(true));
    ASSERT_TRUE(Import({Resource("T1", "R1", "D1")}));
    EXPECT_TRUE(Fleet().ConfirmReplaceResources(false));
    EXPECT_TRUE(prompt.calls.empty());
    prompt.questionAnswers = {trv::PromptAnswer::No, trv::PromptAnswer::Yes};
    EXPECT_FALSE(Fleet().ConfirmReplaceResources(true));
    EXPECT_TRUE(Fleet().ConfirmReplaceResources(true));
    ASSERT_EQ(prompt.calls.size(), 2u);
    EXPECT_EQ(prompt.calls[0].key, "InfoAlreadyTrucks");
}

TEST_F(FleetImportTest, ChoosingAResourcesFile)
{
    trv::test::ProgramFolder program("trv_fleet_choose");
    trv::test::EnvironmentOverride environment("XDG_CONFIG_HOME", program.File("config"));
    trv::RecordingUserPrompt prompt;
    prompt.fileAnswers = {"/data/plan.veh", ""};
    std::string chosen;
    EXPECT_TRUE(Fleet().SelectResourcesFile(1, true, "plan.veh", ".veh", chosen));
    EXPECT_EQ(chosen, "/data/plan.veh");
    EXPECT_FALSE(Fleet().SelectResourcesFile(3, false, "out.txt", ".txt", chosen));
    ASSERT_EQ(prompt.fileRequests.size(), 2u);
    EXPECT_EQ(prompt.fileRequests[0].defaultPath, "plan.veh");
    EXPECT_EQ(prompt.fileRequests[0].defaultExtension, ".veh");
    EXPECT_FALSE(prompt.fileRequests[0].save);
    EXPECT_EQ(prompt.fileRequests[0].filter, TranslateFormat("FilterExtension", ".veh", ".veh"));
    EXPECT_TRUE(prompt.fileRequests[1].save);
    EXPECT_EQ(prompt.fileRequests[1].filter, Translate("FilterResourcesImport"));

    // With the company file beside the program the dialog starts in its data folder.
    program.Write("Empresa.ini", "");
    EXPECT_TRUE(Fleet().SelectResourcesFile(1, true, "plan.veh", ".veh", chosen));
    ASSERT_EQ(prompt.fileRequests.size(), 3u);
    EXPECT_EQ(prompt.fileRequests[2].defaultPath,
              program.Path().string() + "/" + Translate("Datos") + "/plan.veh");
    EXPECT_EQ(prompt.fileRequests[2].title, TranslateFormat("SelectResourcesFile", ".veh"));

    // Without it, the folder the orders' dialog last confirmed.
    std::filesystem::remove(program.File("Empresa.ini"));
    ASSERT_TRUE(trv::WriteRegistry(trv::RegistryRoot::CurrentUser, trv::kApplicationRegistryKey,
                                   "LastFolder", trv::kRegistryString, "/data/in/"));
    EXPECT_TRUE(Fleet().SelectResourcesFile(1, true, "plan.veh", ".veh", chosen));
    ASSERT_EQ(prompt.fileRequests.size(), 4u);
    EXPECT_EQ(prompt.fileRequests[3].defaultPath, "/data/in/plan.veh");
    EXPECT_TRUE(prompt.fileRequests[3].title.empty());
}

// ---- Driver-vehicle matrix ----------------------------------------------------------------------

TEST_F(FleetImportTest, DriverVehicleMatrix)
{
    // Rows: 0 lorry A at node 1 with driver D1 (node 1), 1 lorry B at node 1 with D2 (node 2),
    // 2 lorry C at node 1 without driver, 3 driver D3 (node 1) without lorry.
    UserParameters().PermitirVehiculosSinConductor = 1;
    auto at = [](const char* node) { return Row{{"TRUCK_INODENUMBER", node}}; };
    Row a = Resource("TA", "RA", "D1", at("1"));
    a["TRAILER_CODE"] = "RA";
    a["DRIVER_INODENUMBER"] = "1";
    a["DRIVER_BASE_CODE"] = "HOME1";
    Row b = Resource("TB", "RB", "D2", at("1"));
    b["TRAILER_CODE"] = "RB";
    b["DRIVER_INODENUMBER"] = "2";
    b["DRIVER_BASE_CODE"] = "HOME2";
    Row c = Resource("TC", "RC", "", at("1"));
    c["TRAILER_CODE"] = "RC";
    Row d = Resource("", "", "D3", {{"DRIVER_INODENUMBER", "1"}, {"DRIVER_BASE_CODE", "HOME1"}});
    ASSERT_TRUE(Import({a, b, c, d}));
    ASSERT_EQ(Fleet().pairs.GetSize(), 4);
    // The driver without lorry may have been given one; take the lorry away again.
    Fleet().pairs[3]->lorry = nullptr;

    CDriverVehicleCompatibilities& matrix = Fleet().compatibilities;
    struct Case
    {
        const char* name;
        std::vector<CDriverVehicleCompatibility> records;
        std::vector<std::pair<int, int>> allowed; // (driver row, lorry row)
    } cases[] = {
        {"same base", {}, {{0, 0}, {0, 1}, {0, 2}, {3, 0}, {3, 1}, {3, 2}}},
        {"listed trailers",
         {{"d1", "ra"}, {"D2", "RB"}, {"D3", "RC"}, {"D1", "NONE"}},
         {{0, 0}, {3, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        matrix.records = c.records;
        matrix.BuildDriverVehicleMatrix(Fleet().pairs);
        for (int driverRow = 0; driverRow < 4; ++driverRow)
            for (int lorryRow = 0; lorryRow < 4; ++lorryRow) {
                const bool expected =
                    std::find(c.allowed.begin(), c.allowed.end(),
                              std::make_pair(driverRow, lorryRow)) != c.allowed.end();
                EXPECT_EQ(matrix.MayDrive(driverRow, lorryRow), expected)
                    << driverRow << " drives " << lorryRow;
            }
    }
    EXPECT_FALSE(matrix.MayDrive(4, 0));
}

TEST_F(FleetImportTest, CompatibilityRecordsListSeveralVehicles)
{
    source.tables["INT_DRIVER_VEHICLES"] = {
        {{"DRIVER_CODE", "D1"}, {"VEHICLE_CODE", "R1|R2|R3"}},
        {{"DRIVER_CODE", ""}, {"VEHICLE_CODE", "R4"}},
        {{"DRIVER_CODE", "D2"}, {"VEHICLE_CODE", ""}},
    };
    Fleet().compatibilities.records = {{"OLD", "OLD"}};
    Fleet().ReadDriverVehicles(source, "INT_DRIVER_VEHICLES", "plan.vdc", "");
    ASSERT_EQ(Fleet().compatibilities.records.size(), 3u);
    EXPECT_EQ(Fleet().compatibilities.records[2].vehicleCode, "R3");
    EXPECT_EQ(Fleet().compatibilities.records[2].driverCode, "D1");
    // A table that does not open leaves the list empty.
    Fleet().ReadDriverVehicles(source, "CUSTOMER_DRIVER_VEHICLES", "", "");
    EXPECT_TRUE(Fleet().compatibilities.records.empty());
}

// ---- Driver availability ------------------------------------------------------------------------

TEST_F(FleetImportTest, AvailableDriversPerDay)
{
    const trv::OleDate monday(2026, 2, 2);
    ModelContext().planningDate = monday;
    source.tables["INT_AVAILABLE_DRIVERS"] = {{{"DRIVER_CODE", "A"}},
                                              {{"DRIVER_CODE", "B"}},
                                              {{"DRIVER_CODE", "A"}},
                                              {{"DRIVER_CODE", "C"}}};
    auto date = [](int day) { return std::to_string((trv::OleDate(2026, 2, day)).GetValue()); };
    source.tables["INT_DAYOFF_DRIVER"] = {{{"OFF_DAY_CODE", "B"},
                                           {"START_DATE", date(3)},
                                           {"END_DATE", date(4)},
                                           {"DESCRIPTION", "off"}}};
    // The memory tables ignore filters: B's window reaches every calendar unless the filter
    // holds, so give the others none by reading them from a filtering table.
    class FilteringSource : public CFieldRecordSource
    {
      public:
        explicit FilteringSource(CMemoryRecordSource& inner) : m_inner(inner) {}
        std::unique_ptr<CFieldRecord> Open(const std::string& definition,
                                           const TFieldRecordOpen& how) override
        {
            if (definition == "INT_DAYOFF_DRIVER" && how.filter.find("\"B\"") == std::string::npos)
                return nullptr;
            return m_inner.Open(definition, how);
        }

      private:
        CMemoryRecordSource& m_inner;
    } filtering(source);

    Fleet().LoadDriverAvailability(filtering, 1, "plan.veh", 7, "", 0);
    EXPECT_EQ(Fleet().availableDriverCodes, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Fleet().driversPerDay, (std::vector<int>{3, 2, 2, 3, 3, 3, 3}));
    ASSERT_EQ(Fleet().availableDaysOff.GetSize(), 3);
    EXPECT_EQ(Fleet().availableDaysOff[1]->GetSize(), 1);

    // A second import appends its new codes after the old ones.
    source.tables["INT_AVAILABLE_DRIVERS"] = {{{"DRIVER_CODE", "D"}}, {{"DRIVER_CODE", "B"}}};
    Fleet().LoadDriverAvailability(filtering, 1, "plan.veh", 7, "", 0);
    EXPECT_EQ(Fleet().availableDriverCodes, (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(Fleet().driversPerDay, (std::vector<int>{4, 3, 3, 4, 4, 4, 4}));
}

// ---- Real-time load ---------------------------------------------------------------------------

class RealTimeLoadTest : public FleetImportTest
{
  protected:
    void SetUp() override
    {
        FleetImportTest::SetUp();
        ASSERT_TRUE(Import({Resource("T1", "R1", "D1"), Resource("T2", "R2", "D2")}));
        for (CTrailer* trailer : Fleet().trailers)
            for (float capacity : {1000.0f, 2000.0f, 3000.0f, 4000.0f})
                trailer->tanks.AddTank(capacity, 0);
    }

    const CSmartPtrArray<COrderLine>& Lines(int trailer)
    {
        return Fleet().trailers[trailer]->tanks.GetInitialLines();
    }

    bool Load(std::vector<Row> rows)
    {
        source.tables["INT_REAL_TIME_LOAD"] = std::move(rows);
        return Fleet().LoadRealTimeLoadResourceData(source, 1, "load.txt", trv::OleDate(), 0, "");
    }
};

TEST_F(RealTimeLoadTest, LoadsGoToTheTrailersInitialLines)
{
    ASSERT_TRUE(Load({{{"TRUCK_PLATE", "T1"},
                       {"DRIVER_CODE", "D1"},
                       {"PRODUCTS_LOADED", "A|B|C"},
                       {"QUANTITIES_LOADED", "0|5|0"}},
                      {{"TRUCK_PLATE", "T2"},
                       {"DRIVER_CODE", "D2"},
                       {"PRODUCTS_LOADED", "X|Y|X"},
                       {"QUANTITIES_LOADED", "1|0|2"}}}));
    ASSERT_EQ(Lines(0).GetSize(), 4);
    EXPECT_EQ(Lines(0)[0]->productCode, "B");
    EXPECT_EQ(Lines(0)[0]->productName, "B");
    EXPECT_FLOAT_EQ(Lines(0)[0]->volume, 5.0f);
    for (int i = 1; i < 4; ++i) {
        EXPECT_TRUE(Lines(0)[i]->productCode.empty());
        EXPECT_FLOAT_EQ(Lines(0)[i]->volume, 0.0f);
    }
    EXPECT_EQ(Fleet().trailers[0]->realLoad, 1);
    // Two quantities of one product: one line with their sum, then the empty tanks.
    ASSERT_EQ(Lines(1).GetSize(), 4);
    EXPECT_EQ(Lines(1)[0]->productCode, "X");
    EXPECT_FLOAT_EQ(Lines(1)[0]->volume, 3.0f);

    // Nothing above zero leaves the lines as they are.
    ASSERT_TRUE(
        Load({{{"TRUCK_PLATE", "T1"}, {"PRODUCTS_LOADED", "A"}, {"QUANTITIES_LOADED", "0"}}}));
    EXPECT_EQ(Lines(0).GetSize(), 4);
    EXPECT_EQ(Lines(0)[0]->productCode, "B");
}

TEST_F(RealTimeLoadTest, RecordsNamingNoLoadedVehicleAreTracedAndSkipped)
{
    TraceCapture trace(1);
    ASSERT_TRUE(Load({
        {{"TRUCK_PLATE", "T2"},
         {"DRIVER_CODE", "NOBODY"},
         {"PRODUCTS_LOADED", "P"},
         {"QUANTITIES_LOADED", "7"}},
        {{"TRUCK_PLATE", "T9"},
         {"DRIVER_CODE", "D1"},
         {"PRODUCTS_LOADED", "P"},
         {"QUANTITIES_LOADED", "7"}},
        // More quantities than products: the extra one has no product to name.
        {{"TRUCK_PLATE", "T1"},
         {"DRIVER_CODE", "D1"},
         {"PRODUCTS_LOADED", "P"},
         {"QUANTITIES_LOADED", "1|4"}},
    }));
    const auto messages = trace.Messages();
    auto count = [&](const std::string& text) {
        return std::count_if(messages.begin(), messages.end(), [&](const std::string& message) {
            return message.find(text) != std::string::npos;
        });
    };
    EXPECT_EQ(count("La combinación matricula [T2] y conductor [NOBODY]"), 1);
    EXPECT_EQ(count("La matricula [T9] no se corresponde"), 1);
    ASSERT_EQ(Lines(1).GetSize(), 4);
    EXPECT_FLOAT_EQ(Lines(1)[0]->volume, 7.0f);
    ASSERT_EQ(Lines(0).GetSize(), 4);
    EXPECT_FLOAT_EQ(Lines(0)[0]->volume, 1.0f);

    // A pair without lorry has no trailer to load.
    UserParameters().PermitirVehiculosSinConductor = 1;
    ASSERT_TRUE(Import({Resource("T5", "", "")}, true));
    ASSERT_TRUE(
        Load({{{"TRUCK_PLATE", "T5"}, {"PRODUCTS_LOADED", "P"}, {"QUANTITIES_LOADED", "1"}}}));
    // A definition that does not open changes nothing.
    source.tables.erase("INT_REAL_TIME_LOAD");
    EXPECT_FALSE(Fleet().LoadRealTimeLoadResourceData(source, 1, "", trv::OleDate(), 0, ""));
    EXPECT_FLOAT_EQ(Lines(0)[0]->volume, 1.0f);
}

// ---- Export and the plan's files ----------------------------------------------------------------

class FleetFilesTest : public FleetImportTest
{
  protected:
    void SetUp() override
    {
        FleetImportTest::SetUp();
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        program.Write("Data.ini",
                      trv::test::ReadFileBytes(std::string(TRV_PROGRAM_DIR) + "/Data.ini"));
    }
    void TearDown() override
    {
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
        FleetImportTest::TearDown();
    }

    trv::test::ProgramFolder program{"trv_fleet_files"};
    CFetchRecordSource definitions;
};

constexpr const char* kVeh =
    // plate;code;base;name;city;lon;lat;km;speed;trailer;code;capacity;driver;name;start;end;
    // base;cost;deactivated;frozen;fictitious;priority;card;province;card code;axles
    "T1;TC1;BASE1;Base one;Madrid;-3.7;40.4;1.5;2;R1;RC1;30000;D1;Ana;08:00;18:00;BASE1;12;0;1;0;"
    "2;0;0;;3\n"
    "T1;TC1;BASE1;Base one;Madrid;-3.7;40.4;1.5;2;R1;RC1;30000;D2;Luis;06:00;14:00;BASE1;10;1;0;"
    "0;1;0;0;;\n"
    "T2;TC2;BASE2;Base two;Sevilla;-5.9;37.3;1.2;1;R2;RC2;20000;D3;Eva;07:00;15:00;BASE2;11;0;0;"
    "1;0;2;0;LOC2;5\n";

TEST_F(FleetFilesTest, APlansFleetExportsAndImportsTheSame)
{
    UserParameters().SchedulingTime = 1;
    UserParameters().DayOff = 1;
    UserParameters().PermitirTurnos = 1;
    UserParameters().AvailableDays = 5;
    ModelContext().planningDate = trv::OleDate(2026, 2, 2);
    const std::string veh = program.Write("plan.veh", kVeh);
    program.Write("plan.vdc", "D1;RC1,RC2\nD3;RC2\n");
    program.Write("plan.fst", "D1;03/02/2026;04/02/2026;Leave\nD3;06/02/2026;06/02/2026;Exam\n");
    program.Write("plan.fstall", ";09/02/2026;09/02/2026;Holiday\n");
    program.Write("plan.adri", "D1\nD3\nD9\n");
    // One requirement, a column of its own name.
    std::string definitionsText = trv::test::ReadFileBytes(program.File("Data.ini"));
    definitionsText.replace(definitionsText.find("TRANSPORT_CARD_CODE=25\n"), 23,
                            "TRANSPORT_CARD_CODE=25\nAXLES=26\n");
    program.Write("Data.ini", definitionsText);
    CListaCondicionantes& requirements = ModelContext().requirementDefinitions;
    requirements.NewElement()->name = "AXLES";
    requirements[0]->type = REQ_TYPE_MORE_THAN;
    TrevantorVariables()
        .GetKeysOfEntity(ENTITY_RESOURCE)
        ->SetDefinitionList(VAR_REQUIREMENTS, &requirements);

    request.file = veh;
    request.planningDate = ModelContext().planningDate;
    request.messages = &messages;
    ASSERT_TRUE(Fleet().GeneralImport(definitions, request)) << messages.GetSize();
    CResources& fleet = Fleet();
    ASSERT_EQ(fleet.pairs.GetSize(), 3);
    ASSERT_EQ(fleet.compatibilities.records.size(), 3u);
    EXPECT_EQ(fleet.availableDriverCodes, (std::vector<std::string>{"D1", "D3", "D9"}));
    EXPECT_EQ(fleet.driversPerDay, (std::vector<int>{3, 2, 2, 3, 2}));

    struct Snapshot
    {
        std::string truck, trailer, driver;
        int flags, priority, card;
        float capacity;
        std::vector<std::pair<double, double>> daysOff; // the dates read, in order
        int axles;
    };
    auto snapshot = [](const CResources& resources) {
        std::vector<Snapshot> pairs;
        for (const CLorryDriver* pair : resources.pairs) {
            // Windows may join differently once every window carries the driver's code; the
            // dates they were read with are the calendar.
            std::vector<std::pair<double, double>> dates;
            for (const CDateWindow* window : pair->driver->daysOff)
                for (const TDayOffRecord& record : window->GetRecords())
                    dates.emplace_back(record.startDate.GetValue(), record.endDate.GetValue());
            std::sort(dates.begin(), dates.end());
            pairs.push_back({pair->GetTruckPlate(), pair->GetTrailerPlate(), pair->GetDriverCode(),
                             pair->flags, pair->driverPriority, pair->transportCardType,
                             pair->GetTrailer()->capacity[0], dates, pair->requirements.GetInt(0)});
        }
        return pairs;
    };
    const std::vector<Snapshot> before = snapshot(fleet);
    const std::vector<CDriverVehicleCompatibility> compatibilities = fleet.compatibilities.records;
    EXPECT_EQ(before[0].flags & PAIR_FROZEN, PAIR_FROZEN);
    EXPECT_EQ(before[1].flags & PAIR_DEACTIVATED, PAIR_DEACTIVATED);
    EXPECT_EQ(before[0].daysOff.size(), 2u); // his leave and the holiday for all
    EXPECT_EQ(before[0].axles, 3);
    EXPECT_EQ(before[2].axles, 5);

    const std::string again = program.File("again.veh");
    ASSERT_TRUE(fleet.ExportResources(definitions, again, request.planningDate, 0));
    for (const char* companion : {"again.vdc", "again.fst", "again.adri"})
        EXPECT_TRUE(std::filesystem::exists(program.File(companion))) << companion;

    ResetResources();
    TResourcesImport second;
    second.file = again;
    second.planningDate = request.planningDate;
    CSmartStringArray secondMessages;
    second.messages = &secondMessages;
    ASSERT_TRUE(Fleet().GeneralImport(definitions, second));
    const std::vector<Snapshot> after = snapshot(Fleet());
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(after[i].truck, before[i].truck);
        EXPECT_EQ(after[i].trailer, before[i].trailer);
        EXPECT_EQ(after[i].driver, before[i].driver);
        EXPECT_EQ(after[i].flags, before[i].flags);
        EXPECT_EQ(after[i].priority, before[i].priority);
        EXPECT_EQ(after[i].card, before[i].card);
        EXPECT_FLOAT_EQ(after[i].capacity, before[i].capacity);
        EXPECT_EQ(after[i].daysOff, before[i].daysOff);
        EXPECT_EQ(after[i].axles, before[i].axles);
    }
    ASSERT_EQ(Fleet().compatibilities.records.size(), compatibilities.size());
    for (size_t i = 0; i < compatibilities.size(); ++i) {
        EXPECT_EQ(Fleet().compatibilities.records[i].driverCode, compatibilities[i].driverCode);
        EXPECT_EQ(Fleet().compatibilities.records[i].vehicleCode, compatibilities[i].vehicleCode);
    }
    EXPECT_EQ(Fleet().availableDriverCodes, (std::vector<std::string>{"D1", "D3", "D9"}));
}

// Keeps every caption and the last position.
class CaptionRecorder : public trv::Progress
{
  public:
    CaptionRecorder() : m_previous(trv::InstallProgress(this)) {}
    ~CaptionRecorder() override { trv::InstallProgress(m_previous); }
    CaptionRecorder(const CaptionRecorder&) = delete;
    CaptionRecorder& operator=(const CaptionRecorder&) = delete;

    void SetCaption(std::string_view caption) override { captions.emplace_back(caption); }
    void SetPosition(long long at, long long of) override { position = {at, of}; }

    std::vector<std::string> captions;
    std::pair<long long, long long> position;

  private:
    trv::Progress* m_previous;
};

TEST_F(FleetFilesTest, TheProgressNamesTheFileRead)
{
    CaptionRecorder progress;
    request.file = program.Write("a.veh", kVeh);
    request.messages = &messages;
    ASSERT_TRUE(Fleet().GeneralImport(definitions, request));
    EXPECT_EQ(Fleet().pairs.GetSize(), 3);
    EXPECT_EQ(progress.captions,
              (std::vector<std::string>{Translate("LoadingResources..."),
                                        Translate("LoadingResources") + " 1/1 a.veh"}));
    EXPECT_GT(progress.position.first, 0);
    EXPECT_GE(progress.position.second, progress.position.first);
}

TEST_F(FleetFilesTest, ExportingNamesItsCompanionsAndFailsWhereItCannotWrite)
{
    ASSERT_TRUE(Import({Resource("T1", "R1", "D1")}));
    Fleet().compatibilities.records = {{"D1", "R1"}};
    // Without days off planned only the resources and compatibilities are written.
    ASSERT_TRUE(Fleet().ExportResources(definitions, program.File("X.veh"), {}, 0));
    EXPECT_TRUE(std::filesystem::exists(program.File("X.veh")));
    EXPECT_TRUE(std::filesystem::exists(program.File("X.vdc")));
    EXPECT_FALSE(std::filesystem::exists(program.File("X.fst")));
    // A name without ".veh" keeps it and gets the companions appended.
    ASSERT_TRUE(Fleet().ExportResources(definitions, program.File("Y.txt"), {}, 0));
    EXPECT_TRUE(std::filesystem::exists(program.File("Y.txt")));
    EXPECT_TRUE(std::filesystem::exists(program.File("Y.txt.vdc")));

    // A folder nothing can be written into (a file stands in its place, which holds for a
    // test run as root too): the export fails and writes none of its files.
    UserParameters().SchedulingTime = 1;
    UserParameters().DayOff = 1;
    const std::string locked = program.Write("locked", "");
    EXPECT_FALSE(Fleet().ExportResources(definitions, locked + "/Z.veh", {}, 0));
    for (const auto& entry : std::filesystem::directory_iterator(program.Path()))
        EXPECT_EQ(entry.path().filename().string().rfind("Z.", 0), std::string::npos)
            << entry.path();
    EXPECT_EQ(trv::test::ReadFileBytes(locked), "");
}

} // namespace
