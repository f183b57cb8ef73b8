// Orders, lines and customers moving through the catalogue and the data exchange engine: the key
// sets the model registers, an order's export and read-back, calculated fields, and the
// additives companion file.

#include "CatalogueModelTest.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/OrdersNavigation.h"
#include "model/VariableBuilders.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr const char* kDefinitions = R"([BOOL]
DEFAULT=1,0
[TIME]
DEFAULT=HH:MM
[DATE]
DEFAULT=DD/MM/YYYY
[DEFAULT]
DECIMAL_SEP=.
[ORDERS_FORMAT]
LISTS_IN_SAMELINE=WAREHOUSE_START_TIME,WAREHOUSE_END_TIME
TYPE=ASCII
SEPARATOR=;
KEY=ORDER_CODE
[ORDERS]
ORDER_CODE=1
CUSTOMER_CODE=2
PRODUCT_CODE=3
PRODUCT_QUANTITY=4
WAREHOUSE_START_TIME=5
WAREHOUSE_END_TIME=6
ORDER_PRIORITY=7
[DOUBLED_FORMAT]
TYPE=FETCH_CALCULATED
[DOUBLED]
PRODUCT_VOLUME=SUMFLOAT(PRODUCT_QUANTITY,PRODUCT_QUANTITY)
EXTRA_QUANTITY=SUMFLOAT(ORDER_BUDGET,PRODUCT_QUANTITY)
)";

class OrderExchangeTest : public CatalogueModelTest
{
  protected:
    void SetUp() override
    {
        CatalogueModelTest::SetUp();
        definitions = folder.Write("Orders.ini", kDefinitions);
    }

    static std::unique_ptr<COrder> Order(const char* code, std::initializer_list<float> quantities)
    {
        auto order = std::make_unique<COrder>();
        order->Text(ORDER_CODE) = code;
        order->customer.location.code = "C1";
        int product = 0;
        for (float quantity : quantities) {
            auto line = std::make_unique<COrderLine>();
            line->productCode = "P" + std::to_string(++product);
            line->quantity = quantity;
            order->lines.Add(line.release());
        }
        return order;
    }

    std::string Export(COrder& order, bool withLines)
    {
        const std::string file = folder.File("orders.txt");
        CFetchRecordSource source(definitions, file);
        {
            std::unique_ptr<CFieldRecord> output =
                source.Open("ORDERS", {.mode = TFieldRecordMode::write});
            EXPECT_NE(output, nullptr);
            if (!output)
                return {};
            output->ClearRecord();
            EXPECT_TRUE(order.ExportToFetch(*output, withLines));
            EXPECT_TRUE(output->WriteRecord());
        }
        return trv::test::ReadFileBytes(file);
    }

    trv::test::TempFolder folder{"trv_order_exchange"};
    std::string definitions;
};

TEST_F(OrderExchangeTest, NamesLeadToTheirKeySets)
{
    CTrevantorVariables& catalogue = TrevantorVariables();
    struct Case
    {
        const char* name;
        int entityKind;
    } cases[] = {
        {"ORDER_CODE", ENTITY_ORDER},
        {"ALLOWED_AND_NON_RESOURCES", ENTITY_ORDER},
        {"ORDER_TYPE", ENTITY_ORDER},
        {"WEBFLEETID", ENTITY_ORDER},
        // The warehouse key set, built last, takes the origin-warehouse names it shares.
        {"WAREHOUSE_CODE", ENTITY_WAREHOUSE},
        {"WAREHOUSE_TIMETABLE", ENTITY_WAREHOUSE},
        {"WAREHOUSE_FROM_DAY", ENTITY_ORDER},
        {"LISTA_PAX_DOCKS", ENTITY_ORDER},
        {"PRODUCT_CODE", ENTITY_ORDER_LINE},
        {"PRODUCT_LOAD_GROUP", ENTITY_ORDER_LINE},
        {"CUSTOMER_CODE", ENTITY_CUSTOMER},
        {"ASSIGNED_CUSTOMER_TIME_WINDOW", ENTITY_CUSTOMER},
    };
    for (const Case& c : cases) {
        const CVariablesKeys* keys = catalogue.Lookup(c.name);
        ASSERT_NE(keys, nullptr) << c.name;
        EXPECT_EQ(keys->m_nEntityKind, c.entityKind) << c.name;
    }
    // Every row of the three tables is registered, each with storage of its kind.
    EXPECT_EQ(catalogue.GetKeySet(KEYS_ORDER).GetSize(), 133);
    EXPECT_EQ(catalogue.GetKeySet(KEYS_ORDER_LINE).GetSize(), 36);
    EXPECT_EQ(catalogue.GetKeySet(KEYS_CUSTOMER).GetSize(), 20);

    const CTrevantorVariablesKeys& orderKeys = catalogue.GetKeySet(KEYS_ORDER);
    auto variable = [&](const CTrevantorVariablesKeys& keys, const char* name) {
        return keys.GetVariable(keys.FindVariable(name));
    };
    EXPECT_EQ(variable(orderKeys, "WEBFLEETID")->maximum, 20);
    EXPECT_EQ(variable(orderKeys, "GROUP_ORDER")->maximum, -1);
    EXPECT_EQ(variable(orderKeys, "WAREHOUSE_DOCK_CODE")->maximum, 500);
    const CTrevantorVariablesKeys& customerKeys = catalogue.GetKeySet(KEYS_CUSTOMER);
    EXPECT_EQ(variable(customerKeys, "CUSTOMER_ID")->usageMask, 3);
    EXPECT_EQ(variable(customerKeys, "CUSTOMER_CODE")->usageMask, 19);
}

TEST_F(OrderExchangeTest, DefaultsFollowTheParametersAtInitialisation)
{
    UserParameters().DeliveryProblem = 1;
    UserParameters().TiempoMaximoReparto = 300;
    ResetTrevantorVariables();
    InstallVariableBuilders(TrevantorVariables());
    TrevantorVariables().Init();
    const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(KEYS_ORDER);
    auto defaultOf = [&](const char* name) {
        return std::get<int32_t>(keys.GetVariable(keys.FindVariable(name))->defaultValue);
    };
    EXPECT_EQ(defaultOf("ORDER_TYPE"), ORDER_COLLECTION);
    EXPECT_EQ(defaultOf("MAX_TIME_FIRST_LAST"), 300);
    EXPECT_EQ(defaultOf("MAX_CLIENTS"), 2147483647);
}

TEST_F(OrderExchangeTest, WithLinesEveryLineIsARecordWithoutOnlyTheOrder)
{
    std::unique_ptr<COrder> order = Order("A7", {2, 3});
    const std::string withLines = Export(*order, true);
    EXPECT_EQ(std::count(withLines.begin(), withLines.end(), '\n'), 2) << withLines;
    EXPECT_NE(withLines.find("A7;C1;P1;2"), std::string::npos) << withLines;
    EXPECT_NE(withLines.find("A7;C1;P2;3"), std::string::npos) << withLines;
    EXPECT_FLOAT_EQ(order->lines.header.totalQuantity, 5);

    const std::string alone = Export(*order, false);
    EXPECT_EQ(std::count(alone.begin(), alone.end(), '\n'), 1) << alone;
    EXPECT_EQ(alone.find("P1"), std::string::npos) << alone;

    // The records read back give the order with both lines.
    Export(*order, true);
    CFetchRecordSource source(definitions, folder.File("orders.txt"));
    std::unique_ptr<CFieldRecord> input = source.Open("ORDERS", {});
    ASSERT_NE(input, nullptr);
    ASSERT_TRUE(input->MoveNext());
    COrder read;
    ASSERT_TRUE(TrevantorVariables().ReadEntity(ENTITY_ORDER, read, *input, 0, nullptr));
    EXPECT_EQ(read.Text(ORDER_CODE), "A7");
    EXPECT_EQ(read.customer.location.code, "C1");
    ASSERT_EQ(read.lines.GetSize(), 2);
    EXPECT_FLOAT_EQ(read.lines[0]->quantity + read.lines[1]->quantity, 5);
}

TEST_F(OrderExchangeTest, LoadingWindowIsWrittenUnfoldedAndFoldedAfterwards)
{
    std::unique_ptr<COrder> order = Order("A7", {2});
    order->lines[0]->minutesAtWarehouse = 30;
    order->plan.windowIsArrivalAndLeave = 1;
    order->wareHouse.location.openingHours.InsertWindow(480, 600);

    // Not folded before: written as it is, folded after.
    EXPECT_NE(Export(*order, true).find(";08:00;10:00;"), std::string::npos);
    EXPECT_EQ(order->wareHouse.location.openingHours[0].end, 630);
    EXPECT_EQ(order->plan.loadingWindowAdjusted, 1);
    EXPECT_EQ(order->lines.header.minutesAtWarehouse, 0);

    // Folded before: the loading minutes are taken out for the export and the fold stays.
    EXPECT_NE(Export(*order, true).find(";08:00;10:00;"), std::string::npos);
    EXPECT_EQ(order->wareHouse.location.openingHours[0].end, 630);
    EXPECT_EQ(order->plan.loadingWindowAdjusted, 1);

    // Without the flag nothing is folded.
    std::unique_ptr<COrder> plain = Order("B1", {2});
    plain->lines[0]->minutesAtWarehouse = 30;
    plain->wareHouse.location.openingHours.InsertWindow(480, 600);
    Export(*plain, true);
    EXPECT_EQ(plain->wareHouse.location.openingHours[0].end, 600);
    EXPECT_EQ(plain->plan.loadingWindowAdjusted, 0);
}

TEST_F(OrderExchangeTest, CalculatedFieldsChangeTheLineAndTheOrder)
{
    std::unique_ptr<COrder> order = Order("A7", {2.5f, 4});
    order->plan.budget = 1;
    COrderLine& line = *order->lines[0];
    CFetch fetch;
    ASSERT_TRUE(
        fetch.Init("DOUBLED", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", definitions));
    ASSERT_TRUE(line.ApplyCalculatedFields(fetch, *order));
    EXPECT_FLOAT_EQ(line.volume, 5);
    EXPECT_FLOAT_EQ(order->plan.extraQuantity, 3.5f);
    // Only the named fields are read back: the other line and the code stay.
    EXPECT_FLOAT_EQ(order->lines[1]->volume, 0);
    EXPECT_EQ(order->Text(ORDER_CODE), "A7");
    EXPECT_EQ(order->lines.GetSize(), 2);
}

// The additives of a plan's ".add" file, through the program's own definitions.
TEST_F(OrderExchangeTest, AdditivesComeFromTheAddFileBesideTheOrders)
{
    UserParameters().Tanks = 1;
    const std::string ordFile = folder.File("day.1.ord");
    folder.Write("day.1.add", "A7;0;O'NEIL 98;1;0;3;4\n"
                              "A7;0;;1;0;5;6\n"
                              "B1;0;O'NEIL 98;1;0;7;8\n"
                              ";GASOLINES;;1;0;9;1\n");
    CFetchRecordSource source(std::string(TRV_PROGRAM_DIR) + "/Data.ini");
    std::unique_ptr<COrder> order = Order("A7", {1});
    COrderLine& line = *order->lines[0];
    line.productName = "O'NEIL 98";
    line.lastTripGroup = "GASOLINES";
    order->LoadAdditives(source, 1, ordFile);
    ASSERT_EQ(line.additiveConditions.GetSize(), 2);
    EXPECT_EQ(line.additiveConditions[0], 3);
    EXPECT_EQ(line.additiveResults[1], 6);

    // An order without its own rows falls back to its line's group.
    std::unique_ptr<COrder> other = Order("Z9", {1});
    other->lines[0]->productName = "DIESEL";
    other->lines[0]->lastTripGroup = "GASOLINES";
    other->LoadAdditives(source, 1, ordFile);
    ASSERT_EQ(other->lines[0]->additiveConditions.GetSize(), 1);
    EXPECT_EQ(other->lines[0]->additiveConditions[0], 9);

    // Written to a new ".add" and read back, the additives are the same.
    const std::string copyFile = folder.File("copy.ord");
    {
        std::unique_ptr<CFieldRecord> output = source.Open(
            "INT_ADDITIVES", {.mode = TFieldRecordMode::write, .file = folder.File("copy.add")});
        ASSERT_NE(output, nullptr);
        order->ExportAdditives(*output);
    }
    std::unique_ptr<COrder> again = Order("A7", {1});
    again->lines[0]->productName = "O'NEIL 98";
    again->LoadAdditives(source, 1, copyFile);
    ASSERT_EQ(again->lines[0]->additiveConditions.GetSize(), 2);
    EXPECT_EQ(again->lines[0]->additiveConditions[1], 5);
    EXPECT_EQ(again->lines[0]->additiveResults[0], 4);
}

} // namespace
