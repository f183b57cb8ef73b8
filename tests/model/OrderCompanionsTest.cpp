// The orders' companion tables through the bundled definitions: reading them beside an import,
// writing them beside the orders and reading them back, and the choice of order files.

#include "model/OrderCompanions.h"

#include "../KLV/TraceCapture.h"
#include "CatalogueModelTest.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "TempFolder.h"
#include "model/ModelContext.h"
#include "model/OrdersNavigation.h"
#include "model/VariableBuilders.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

class OrderCompanionsTest : public CatalogueModelTest
{
  protected:
    // The bundled definitions, with the company's own files of kind 3 placed in the folder.
    std::string Definitions()
    {
        std::string text = trv::test::ReadFileBytes(std::string(TRV_PROGRAM_DIR) + "/Data.ini");
        for (const char* name :
             {"Compatibilities.inc", "Incompatibilities.inc", "LastUnload.clui", "LastTrip.clti"}) {
            const std::string setting = std::string("FILENAME=") + name;
            for (size_t at = text.find(setting); at != std::string::npos;
                 at = text.find(setting, at + 1))
                text.replace(at, setting.size(), "FILENAME=" + folder.File(name));
        }
        return folder.Write("Data.ini", text);
    }

    TOrdersSource Source(int kind, const std::string& ordersFile)
    {
        definitionFile = Definitions();
        source = std::make_unique<CFetchRecordSource>(definitionFile);
        return {source.get(), kind, ordersFile};
    }

    static Pairs PairsOf(const COrders& orders)
    {
        Pairs pairs;
        for (int i = 0; i < orders.incompatibleGroups1.GetSize(); ++i)
            pairs.emplace_back(orders.incompatibleGroups1[i], orders.incompatibleGroups2[i]);
        return pairs;
    }

    static std::unique_ptr<COrder> Order(const char* code, const char* customer)
    {
        auto order = std::make_unique<COrder>();
        order->Text(ORDER_CODE) = code;
        order->customer.location.code = customer;
        auto line = std::make_unique<COrderLine>();
        line->productCode = "P1";
        line->quantity = 4;
        order->lines.Add(line.release());
        return order;
    }

    trv::test::TempFolder folder{"trv_order_companions"};
    std::string definitionFile;
    std::unique_ptr<CFetchRecordSource> source;
};

TEST_F(OrderCompanionsTest, CompanionNamesReplaceOnlyAFinalOrd)
{
    EXPECT_EQ(OrderCompanionFile("d.ord/x.ord", ".add"), "d.ord/x.add");
    EXPECT_EQ(OrderCompanionFile("plan.ORD", ".clui"), "plan.clui");
    EXPECT_EQ(OrderCompanionFile("orders.txt", ".inc"), "");
    EXPECT_EQ(OrderCompanionFile("d.ord/orders", ".inc"), "");
}

// Families that share no group become pairs, each unordered pair once; pairs read from the
// incompatibility table stop the derivation.
TEST_F(OrderCompanionsTest, CustomerCompatibilityDerivesPairsOfFamiliesWithoutACommonGroup)
{
    folder.Write("Compatibilities.inc", "G1;A\nG1;B\nG2;C\nG3;A\nG3;D\n");
    COrders& orders = ModelContext().orders;
    const TOrdersSource company = Source(3, "orders.txt");
    orders.LoadIncompatibilityTable(company);
    orders.LoadCustomerCompatibilityTable(company);
    EXPECT_EQ(PairsOf(orders), (Pairs{{"A", "C"}, {"B", "C"}, {"B", "D"}, {"C", "D"}}));

    folder.Write("Incompatibilities.inc", "X;Y\n");
    orders.LoadIncompatibilityTable(company);
    orders.LoadCustomerCompatibilityTable(company);
    EXPECT_EQ(PairsOf(orders), (Pairs{{"X", "Y"}}));

    // Other kinds have no compatibility table.
    COrders other;
    folder.Write("x.inc", "");
    const TOrdersSource plan = Source(1, folder.File("x.ord"));
    other.LoadIncompatibilityTable(plan);
    other.LoadCustomerCompatibilityTable(plan);
    EXPECT_TRUE(PairsOf(other).empty());
}

TEST_F(OrderCompanionsTest, ConditionedRulesByVehicleTypeAndForTheLastTrip)
{
    // Type 2 for (GAS, DIESEL), then a general rule for the same pair; type 1 only for (DIESEL,
    // GAS); a general rule for (GAS, WATER); a type beyond any vehicle type.
    folder.Write("p.clui", "GAS;DIESEL;2;100;1\n"
                           "DIESEL;GAS;1;50;0\n"
                           "GAS;DIESEL;0;300;2\n"
                           "GAS;WATER;-1;0;0\n"
                           "GAS;WATER;2000000000;1;1\n");
    folder.Write("p.clti", "MILK;WINE;7.5;3\n");
    TraceCapture trace;
    COrders& orders = ModelContext().orders;
    orders.LoadCondicionedIncompatibilityTable(Source(1, folder.File("p.ord")));

    const COrderConditionedTables& tables = orders.conditionedTables;
    const CDistinctTexts& groups = ModelContext().lastUnloadGroups;
    const int gas = groups.Find("GAS");
    const int diesel = groups.Find("DIESEL");
    const int water = groups.Find("WATER");
    EXPECT_FALSE(tables.HasMatrix(0));
    EXPECT_FALSE(tables.HasMatrix(3));
    const TIncompatibility* general = tables.GetVehicleType(2)->Find(gas, diesel);
    ASSERT_NE(general, nullptr);
    EXPECT_DOUBLE_EQ(general->minimumQuantity, 300);
    EXPECT_EQ(general->level, 2);
    EXPECT_EQ(general->resourceType, 2);
    EXPECT_EQ(tables.GetVehicleType(1)->Find(gas, diesel)->resourceType, 1);
    EXPECT_EQ(tables.GetVehicleType(2)->Find(diesel, gas), nullptr);
    // The tanks read the thresholds through the model's lookup.
    const CConditionedIncompatibilities& lookup = *ModelContext().conditionedIncompatibilities;
    EXPECT_EQ(lookup.GetThreshold(1, diesel, gas), 50.0f);
    EXPECT_EQ(lookup.GetThreshold(2, gas, water), 0.0f);
    EXPECT_EQ(lookup.GetThreshold(2, water, gas), std::nullopt);
    EXPECT_EQ(tables.GetVehicleTypeSlots(), 3);

    const CDistinctTexts& tripGroups = ModelContext().lastTripGroups;
    const TIncompatibility* trip =
        tables.LastTrip().Find(tripGroups.Find("MILK"), tripGroups.Find("WINE"));
    ASSERT_NE(trip, nullptr);
    EXPECT_DOUBLE_EQ(trip->minimumQuantity, 7.5);
    EXPECT_EQ(trip->resourceType, -1);

    const std::vector<std::string> lines = trace.Messages();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("2000000000") != std::string::npos;
    }));
}

// A second reading (the last-trip table still empty) meets groups the first did not: the vehicle
// type's matrix grows to hold them instead of writing past its end.
TEST_F(OrderCompanionsTest, ALaterReadingGrowsTheVehicleTypeMatrix)
{
    COrders& orders = ModelContext().orders;
    folder.Write("a.clui", "A;B;1;5;0\n");
    orders.LoadCondicionedIncompatibilityTable(Source(1, folder.File("a.ord")));
    folder.Write("b.clui", "C;D;1;6;0\n");
    orders.LoadCondicionedIncompatibilityTable(Source(1, folder.File("b.ord")));
    const CDistinctTexts& groups = ModelContext().lastUnloadGroups;
    const CConditionedIncompatibilities& lookup = *ModelContext().conditionedIncompatibilities;
    EXPECT_EQ(lookup.GetThreshold(1, groups.Find("A"), groups.Find("B")), 5.0f);
    EXPECT_EQ(lookup.GetThreshold(1, groups.Find("C"), groups.Find("D")), 6.0f);
}

TEST_F(OrderCompanionsTest, OneConditionedTableWithoutTheOtherIsTraced)
{
    struct Case
    {
        const char* lastUnload;
        const char* lastTrip;
        bool traced;
    } cases[] = {
        {"A;B;1;5;0\n", "", true},
        {"", "A;B;5;0\n", true},
        // A general rule alone makes no vehicle type: it is dropped.
        {"A;B;0;5;0\n", "A;B;5;0\n", true},
        {"A;B;1;5;0\n", "A;B;5;0\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lastUnload) + "|" + c.lastTrip);
        folder.Write("p.clui", c.lastUnload);
        folder.Write("p.clti", c.lastTrip);
        TraceCapture trace;
        COrders orders;
        orders.LoadCondicionedIncompatibilityTable(Source(1, folder.File("p.ord")));
        const std::string expected = TranslateFormat(
            "ErrorLoadingIncompatibilities",
            Translate(orders.conditionedTables.HasLastUnloadRules() ? "UltimoViaje"
                                                                    : "UltimaDescarga"));
        const std::vector<std::string> lines = trace.Messages();
        EXPECT_EQ(std::find(lines.begin(), lines.end(), expected) != lines.end(), c.traced);
    }
}

// The orders and every companion written beside "x.ord" in a folder whose own name holds
// ".ord", then read back as the plan's own files.
TEST_F(OrderCompanionsTest, ExportWritesTheCompanionsBesideTheOrdersAndReadsThemBack)
{
    UserParameters().SchedulingTime = 1;
    UserParameters().DayOff = 1;
    std::filesystem::create_directories(folder.File("d.ord"));
    folder.Write("in.clui", "GAS;DIESEL;2;100;1\nDIESEL;GAS;0;20;0\n");
    folder.Write("in.clti", "MILK;WINE;7.5;3\n");
    folder.Write("in.fstcmr", "C1;01/02/2024;03/02/2024;Closed\n");
    COrders& orders = ModelContext().orders;
    orders.Add(Order("A7", "C1").release());
    orders.Add(Order("B1", "C2").release());
    orders.incompatibleGroups1.Add("FOOD");
    orders.incompatibleGroups2.Add("PAINT");
    const TOrdersSource input = Source(1, folder.File("in.ord"));
    orders.LoadCondicionedIncompatibilityTable(input);
    orders.LoadCustomerDaysOff(input);
    ASSERT_EQ(orders.customerDaysOff.GetSize(), 1);

    const std::string file = folder.File("d.ord/x.ord");
    ASSERT_TRUE(orders.ExportOrders(*source, file));
    for (const char* name : {"x.ord", "x.add", "x.inc", "x.clui", "x.clti", "x.fstcmr"})
        EXPECT_TRUE(std::filesystem::exists(folder.File(std::string("d.ord/") + name))) << name;
    EXPECT_NE(trv::test::ReadFileBytes(file).find("A7;"), std::string::npos);

    ResetModelContext();
    COrders& back = ModelContext().orders;
    const TOrdersSource plan = Source(1, file);
    EXPECT_TRUE(back.HasAdditivesTable(plan));
    back.LoadIncompatibilityTable(plan);
    back.LoadCondicionedIncompatibilityTable(plan);
    back.LoadCustomerDaysOff(plan);
    EXPECT_EQ(PairsOf(back), (Pairs{{"FOOD", "PAINT"}}));
    const CDistinctTexts& groups = ModelContext().lastUnloadGroups;
    const COrderConditionedTables& tables = back.conditionedTables;
    ASSERT_TRUE(tables.HasMatrix(2));
    EXPECT_DOUBLE_EQ(
        tables.GetVehicleType(2)->Find(groups.Find("GAS"), groups.Find("DIESEL"))->minimumQuantity,
        100);
    EXPECT_DOUBLE_EQ(
        tables.GetVehicleType(2)->Find(groups.Find("DIESEL"), groups.Find("GAS"))->minimumQuantity,
        20);
    EXPECT_TRUE(tables.HasLastTripRules());
    ASSERT_EQ(back.customerDaysOff.GetSize(), 1);
    EXPECT_EQ(back.customerDaysOff[0]->code, "C1");
    EXPECT_EQ(back.customerDaysOff[0]->description, "Closed");
}

TEST_F(OrderCompanionsTest, ExportWithoutOrdWritesOnlyTheOrdersAndFailsOnACompanion)
{
    COrders& orders = ModelContext().orders;
    orders.Add(Order("A7", "C1").release());
    Source(1, "");
    ASSERT_TRUE(orders.ExportOrders(*source, folder.File("plain.txt")));
    EXPECT_TRUE(std::filesystem::exists(folder.File("plain.txt")));
    for (const char* name : {"plain.add", "plain.inc", "plain.txt.inc", "plain.clui"})
        EXPECT_FALSE(std::filesystem::exists(folder.File(name))) << name;

    // A folder where the ".inc" file should go: that companion cannot be written.
    std::filesystem::create_directories(folder.File("y.inc"));
    TraceCapture trace;
    EXPECT_FALSE(orders.ExportOrders(*source, folder.File("y.ord")));
    EXPECT_TRUE(std::filesystem::exists(folder.File("y.ord")));
    EXPECT_TRUE(std::filesystem::exists(folder.File("y.clui")));
    const std::vector<std::string> lines = trace.Messages();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("INT_INCOMPATIBILITY_TABLE") != std::string::npos;
    }));
}

class SelectOrdersFileTest : public ::testing::Test
{
  protected:
    void SetUp() override { environment.Set("XDG_CONFIG_HOME", folder.File("config")); }

    static std::string LastFolder()
    {
        unsigned type = 0;
        std::string value;
        if (!trv::ReadRegistry(trv::RegistryRoot::CurrentUser, trv::kApplicationRegistryKey,
                               "LastFolder", type, value))
            return "(none)";
        return value;
    }

    trv::test::TempFolder folder{"trv_select_orders"};
    trv::test::EnvironmentOverride environment;
};

TEST_F(SelectOrdersFileTest, FilterByKindAndExtension)
{
    struct Case
    {
        int kind;
        const char* extension;
        std::string filter;
    } cases[] = {
        {1, ".xls", Translate("FilterExcel")},
        {1, ".txt", Translate("FilterOrders")},
        {3, ".xls", Translate("FilterExcel")},
        {3, ".txt", Translate("FilterOrdersImport")},
        {1, ".ord", TranslateFormat("FilterExtension", ".ord", ".ord")},
        {2, ".txt", ""},
    };
    trv::RecordingUserPrompt prompt;
    for (const Case& c : cases) {
        prompt.fileAnswers.push_back("");
        EXPECT_TRUE(COrders::SelectOrdersFile(c.kind, true, "", c.extension).empty());
        ASSERT_FALSE(prompt.fileRequests.empty());
        EXPECT_EQ(prompt.fileRequests.back().filter, c.filter) << c.kind << c.extension;
        EXPECT_EQ(prompt.fileRequests.back().defaultExtension, c.extension);
    }
    // Cancelled every time: nothing remembered.
    EXPECT_EQ(LastFolder(), "(none)");
}

TEST_F(SelectOrdersFileTest, OpeningChoosesSeveralAndRemembersTheFolderOnOk)
{
    trv::test::ProgramFolder program("trv_select_program");
    trv::RecordingUserPrompt prompt;

    // Without "Empresa.ini": the data folder, a title, several files.
    prompt.fileListAnswers.push_back({"/data/in/a.ord", "/data/in/b.ord"});
    EXPECT_EQ(COrders::SelectOrdersFile(1, true, "a.ord", ".ord"),
              (std::vector<std::string>{"/data/in/a.ord", "/data/in/b.ord"}));
    trv::FileChoiceRequest asked = prompt.fileRequests.back();
    EXPECT_TRUE(asked.multiple);
    EXPECT_FALSE(asked.save);
    EXPECT_EQ(asked.defaultPath, "a.ord");
    EXPECT_EQ(asked.initialFolder, program.File(Translate("Datos")));
    EXPECT_EQ(asked.key, "SelectOrdersFile");
    EXPECT_EQ(LastFolder(), "/data/in/");

    // With "Empresa.ini": the remembered folder, no title; saving picks one file.
    program.Write("Empresa.ini", "[Empresa]\n");
    prompt.fileAnswers.push_back("/out/plan.ord");
    EXPECT_EQ(COrders::SelectOrdersFile(1, false, "plan.ord", ".ord"),
              (std::vector<std::string>{"/out/plan.ord"}));
    asked = prompt.fileRequests.back();
    EXPECT_FALSE(asked.multiple);
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.initialFolder, "/data/in/");
    EXPECT_TRUE(asked.key.empty());
    EXPECT_EQ(LastFolder(), "/out/");

    // Cancelled: the folder stays.
    prompt.fileListAnswers.push_back({});
    EXPECT_TRUE(COrders::SelectOrdersFile(3, true, "", ".txt").empty());
    EXPECT_EQ(LastFolder(), "/out/");
}

} // namespace
