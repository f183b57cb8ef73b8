// Orders, warehouses and locations through their key sets: widths, parameter defaults, required
// fields, and files written from entities and read back.

#include "KeySetFileTest.h"
#include "model/Locations.h"
#include "model/Orders.h"
#include "model/WareHouses.h"
#include "params/Parameters.h"

#include <limits>

namespace {

class DemandKeySetsTest : public KeySetFileTest
{
};

TEST_F(DemandKeySetsTest, WidthsComeFromTheirKeys)
{
    struct Case
    {
        const char* widths;
        int slot;
        const char* name;
        int expected;
    } cases[] = {
        // The origin warehouse's texts are measured under the older keys.
        {"ORIGIN_CODE=12\nWAREHOUSE_CODE=99\n", KEYS_ORDER, "WAREHOUSE_CODE", 12},
        {"ORIGIN_CODE=12\nWAREHOUSE_CODE=99\n", KEYS_ORDER, "WAREHOUSE_DOCK_CODE", 12},
        {"ORIGIN_CODE=12\nWAREHOUSE_CODE=99\n", KEYS_WAREHOUSE, "WAREHOUSE_DOCK_CODE", 12},
        {"WAREHOUSE_CODE=99\n", KEYS_ORDER, "WAREHOUSE_CODE", 500},
        {"CUSTOMER_NODE_CODE=15\n", KEYS_CUSTOMER, "CUSTOMER_NODE_CODE", 15},
        {"CUSTOMER_NODE_CODE=15\n", KEYS_CUSTOMER, "CUSTOMER_FEEDBACK_CODE", 15},
        {"LOCATION_PC=9\nLOCATION_CP=40\n", KEYS_LOCATION_ENTRY, "LOCATION_CP", 9},
        {"LOCATION_PC=9\nLOCATION_CP=40\n", KEYS_LOCATION, "LOCATION_CP", 9},
        {"MAXCHARS_DEFAULT=7\nWEBFLEETID=3\n", KEYS_ORDER, "WEBFLEETID", 20},
        {"MAXCHARS_DEFAULT=7\n", KEYS_ORDER, "GROUP_ORDER", -1},
        {"MAXCHARS_DEFAULT=7\n", KEYS_ORDER, "LISTA_INFOS", -1},
        {"MAXCHARS_DEFAULT=7\n", KEYS_ORDER_LINE, "PRODUCT_LOAD_GROUP", -1},
        {"MAXCHARS_DEFAULT=7\n", KEYS_CUSTOMER, "CUSTOMER_NAME", 7},
        {"", KEYS_CUSTOMER, "CUSTOMER_NAME", 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.widths) + c.name);
        Build(c.widths);
        const TVarKeyStruct* v = Variable(c.slot, c.name);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->maximum, c.expected);
    }
}

// The names shared by two key sets lead to the one built last; each set keeps its own records.
TEST_F(DemandKeySetsTest, SharedNamesLeadToTheLastSetBuilt)
{
    struct Case
    {
        const char* name;
        int entityKind;
    } cases[] = {
        {"WAREHOUSE_ID", ENTITY_WAREHOUSE},
        {"WAREHOUSE_PERCENT_REDUCE_CAPACITY", 14},
        {"WAREHOUSE_INODENUMBER", 14},
        {"WAREHOUSE_TO_DAY", ENTITY_ORDER},
        {"NUM_LINEAS", ENTITY_ORDER},
        {"CUSTOMER_DELIVERY_TIME_WINDOW", 15},
        {"PRODUCT_POSSIBLE_WAREHOUSES", 2},
        {"LOCATION_CLUSTER", ENTITY_LOCATION},
        {"LOCATION_TIME", -1},
        {"LOCATION_DELIVERY_TIME_WINDOW", -1},
    };
    for (const Case& c : cases) {
        const CVariablesKeys* keys = TrevantorVariables().Lookup(c.name);
        ASSERT_NE(keys, nullptr) << c.name;
        EXPECT_EQ(keys->m_nEntityKind, c.entityKind) << c.name;
    }
    int shared = 0;
    const CTrevantorVariablesKeys& orderKeys = TrevantorVariables().GetKeySet(KEYS_ORDER);
    for (int i = 0; i < orderKeys.GetSize(); ++i)
        if (TrevantorVariables().Lookup(orderKeys.GetVariable(i)->name)->m_nEntityKind == 14)
            ++shared;
    EXPECT_EQ(shared, 19);
}

TEST_F(DemandKeySetsTest, ParametersAtBuildingGiveTheDefaults)
{
    UserParameters().DeliveryProblem = 1;
    UserParameters().SchedulingTime = 1;
    for (const char* key :
         {"Delivery", "Collection", "CollectionExclusiva", "CollectionSuelta", "DeliverySuelta"})
        SetTranslation(key, std::string("~") + key);
    Build("");
    UserParameters().DeliveryProblem = 0; // too late: the set keeps what it was built with

    // An imported order without a type or a maximum takes the defaults.
    COrder order;
    order.plan.kind = ORDER_DELIVERY;
    order.lines.header.maximumQuantity = 5;
    CMemoryFieldRecord record;
    record.Current()["ORDER_CODE"] = "A7";
    CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(KEYS_ORDER);
    ASSERT_EQ(keys.ReadFromFetch(order, record, 0, nullptr), 1);
    EXPECT_EQ(order.plan.kind, ORDER_COLLECTION);
    EXPECT_EQ(order.plan.loadUnloadSameDay, 1);
    EXPECT_EQ(order.lines.header.maximumQuantity, std::numeric_limits<float>::max());

    const char* names[] = {"~Delivery", "~Collection", "~CollectionExclusiva", "~CollectionSuelta",
                           "~DeliverySuelta"};
    const int type = keys.FindVariable("ORDER_TYPE");
    for (int kind = 0; kind <= 4; ++kind) {
        order.plan.kind = kind;
        int numeric = 0;
        EXPECT_EQ(keys.FormatValue(type, order, numeric), names[kind]);
    }
}

// A locations record must state both times: the definition collects the missing field with its
// position and the reading goes on; the location key set itself reads only two fields.
TEST_F(DemandKeySetsTest, LocationsStateTheirTimesAndLocationsReadTwoFields)
{
    definitions = "[LOCATIONS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\n[LOCATIONS]\nLOCATION_TYPE=1\n"
                  "LOCATION_CODE=2\nLOCATION_TIME=3\nLOCATION_PARKING_TIME=4\n";
    Build("");
    program.Write("Locations.csv", "0;A1;15;5\n0;B2;;5\n0;C3;20;\n");
    SetTranslation("ThisFieldIsRequired", "%s is required%s%s");
    SetTranslation("RequiredPosition", "position %d, record %d, file %s");
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("LOCATIONS", "", "", FETCH_MODE_READ, program.File("Locations.csv"), "",
                           "", 1, nullptr, "", program.File("Data.ini")));
    CFetchFieldRecord record(fetch);
    std::vector<std::string> codes;
    while (!record.IsEOF()) {
        if (!record.MoveNext())
            continue;
        CLocation entry;
        EXPECT_TRUE(
            TrevantorVariables().ReadEntity(ENTITY_LOCATION_ENTRY, entry, record, 0, nullptr));
        codes.push_back(entry.data.code);
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"A1", "B2", "C3"}));
    ASSERT_EQ(fetch.m_arrRequiredMessages.GetSize(), 4);
    EXPECT_EQ(fetch.m_arrRequiredMessages[0], "LOCATION_TIME is required");
    EXPECT_NE(fetch.m_arrRequiredMessages[1].find("position 3, record 2"), std::string::npos)
        << fetch.m_arrRequiredMessages[1];
    EXPECT_EQ(fetch.m_arrRequiredMessages[2], "LOCATION_PARKING_TIME is required");
    EXPECT_NE(fetch.m_arrRequiredMessages[3].find("position 4, record 3"), std::string::npos)
        << fetch.m_arrRequiredMessages[3];

    CMemoryFieldRecord full;
    for (const char* field : {"LOCATION_CODE", "LOCATION_NAME", "LOCATION_ID",
                              "LOCATION_FEEDBACK_CODE", "LOCATION_CITY"})
        full.Current()[field] = std::string("x") + field;
    full.Current()["LOCATION_TIME"] = "12";
    TLocationData place;
    ASSERT_EQ(TrevantorVariables().GetKeySet(KEYS_LOCATION).ReadFromFetch(place, full, 0, nullptr),
              1);
    EXPECT_EQ(place.id, "xLOCATION_ID");
    EXPECT_EQ(place.feedbackCode, "xLOCATION_FEEDBACK_CODE");
    EXPECT_EQ(place.code, "");
    EXPECT_EQ(place.city, "");
    EXPECT_EQ(place.serviceMinutes, 0);
    // Written, every field is there.
    CMemoryFieldRecord written;
    place.code = "P9";
    place.serviceMinutes = 25;
    ASSERT_TRUE(TrevantorVariables().WriteEntity(ENTITY_LOCATION, place, written, 0));
    EXPECT_EQ(written.Current()["LOCATION_CODE"], "P9");
    EXPECT_EQ(written.Current()["LOCATION_TIME"], "25");
}

// Written, read and written again, an order gives the same fields, but for those only written:
// the usage-6 fields are derived or informative, the usage-4 ones never leave the program.
TEST_F(DemandKeySetsTest, AnOrderFileReadBackGivesTheSameFields)
{
    CListaCondicionantes& requirements = Requirements();
    DefineColumns("ORDERS", {KEYS_ORDER, KEYS_CUSTOMER, KEYS_ORDER_LINE}, &requirements);
    Build("");
    InstallRequirements(requirements);

    COrder order;
    order.Text(ORDER_CODE) = "A7";
    order.Text(SERVICE_COMMENTS1) = "Ring twice";
    order.plan.priority = 3;
    order.plan.budget = 12.5f;
    order.plan.fromDay = trv::OleDate(2024, 6, 3);
    order.plan.assignedLoadingWindow = CTimeWindow(480, 600);
    order.plan.minutesToWarehouse = 45;
    order.wareHouse.location.code = "W1";
    order.wareHouse.location.openingHours.InsertWindow(360, 720);
    order.wareHouse.location.openingHours.InsertWindow(900, 1200);
    order.customer.location.code = "C1";
    order.customer.location.coordinates.longitude = -5.9;
    order.customer.location.coordinates.latitude = 37.3;
    order.customer.location.openingHours.InsertWindow(480, 840);
    order.customer.assignedWindow = CTimeWindow(500, 560);
    order.requirements.Init(requirements.GetSize());
    order.requirements.SetValue(0, 1);
    order.requirements.SetValue(1, 3);
    CSmartSortNoRepeatStringArray none, trucks, drivers;
    trucks.Add("T1");
    trucks.Add("T2");
    drivers.Add("D4");
    order.AddOrderResourceCodes(none, none, trucks, drivers);
    order.fixedFares.Add(10.5f);
    order.fixedFares.Add(20.25f);
    for (const char* code : {"P1", "P2"}) {
        auto line = std::make_unique<COrderLine>();
        line->productCode = code;
        line->quantity = code[1] == '1' ? 2 : 3;
        line->possibleWarehouses.Add("W1");
        order.lines.Add(line.release());
    }

    COrder read;
    read.requirements.Init(requirements.GetSize());
    const auto [first, second] = RoundTrip("ORDERS", ENTITY_ORDER, order, read);
    ASSERT_EQ(Lines(first).size(), 2u) << first;
    ASSERT_EQ(Lines(second).size(), 2u) << second;

    std::set<std::string> writtenOnly;
    for (const int slot : {KEYS_ORDER, KEYS_CUSTOMER, KEYS_ORDER_LINE}) {
        const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(slot);
        for (int i = 0; i < keys.GetSize(); ++i)
            if (!(keys.GetVariable(i)->usageMask & VAR_USE_READ))
                writtenOnly.insert(keys.GetVariable(i)->name);
    }
    for (int line = 0; line < 2; ++line)
        for (const std::string& column : columns["ORDERS"]) {
            if (writtenOnly.count(column))
                continue;
            EXPECT_EQ(Column("ORDERS", second, column, line), Column("ORDERS", first, column, line))
                << column << " line " << line;
        }
    EXPECT_EQ(Column("ORDERS", first, "TIME_TO_WAREHOUSE"), "45");
    EXPECT_EQ(read.plan.minutesToWarehouse, 0);
    for (const char* neverWritten : {"NUM_LINEAS", "PRODUCT_QUANTITIES_STRING"})
        EXPECT_EQ(Column("ORDERS", first, neverWritten), "") << neverWritten;

    EXPECT_EQ(read.Text(SERVICE_COMMENTS1), "Ring twice");
    EXPECT_EQ(read.wareHouse.location.code, "W1");
    EXPECT_EQ(read.wareHouse.location.openingHours.GetSize(), 2);
    EXPECT_EQ(read.customer.assignedWindow, CTimeWindow(500, 560));
    EXPECT_DOUBLE_EQ(read.customer.location.coordinates.latitude, 37.3);
    EXPECT_EQ(read.requirements.GetInt(1), 3);
    EXPECT_EQ(read.GetPermissionList(PERMISSION_ALLOWED_RESOURCES).GetSize(), 2);
    EXPECT_EQ(read.fixedFares.GetSize(), 2);
    ASSERT_EQ(read.lines.GetSize(), 2);
    EXPECT_EQ(read.lines[1]->productCode, "P2");
}

TEST_F(DemandKeySetsTest, WarehouseAndLocationFilesReadBackGiveTheSameFields)
{
    CListaCondicionantes& requirements = Requirements();
    DefineColumns("WAREHOUSES", {KEYS_WAREHOUSE}, &requirements);
    DefineColumns("PLACES", {KEYS_LOCATION_ENTRY});
    Build("");
    InstallRequirements(requirements);

    CWareHouse warehouse;
    warehouse.location.code = "W1";
    warehouse.location.name = "North";
    warehouse.location.coordinates.longitude = -3.7;
    warehouse.location.coordinates.latitude = 40.4;
    warehouse.location.openingHours.InsertWindow(360, 720);
    warehouse.dockCode = "D2";
    warehouse.availableDocks = 3;
    warehouse.capacityReducePercent = 12.5f;
    warehouse.fixedTimes.Add(7);
    warehouse.fixedTimes.Add(9);
    warehouse.requirements.Init(requirements.GetSize());
    warehouse.requirements.SetValue(0, 1);
    CWareHouse readWarehouse;
    readWarehouse.requirements.Init(requirements.GetSize());
    const auto [warehouseFirst, warehouseSecond] =
        RoundTrip("WAREHOUSES", ENTITY_WAREHOUSE, warehouse, readWarehouse);
    EXPECT_EQ(warehouseSecond, warehouseFirst);
    EXPECT_EQ(readWarehouse.fixedTimes.GetSize(), 2);
    EXPECT_FLOAT_EQ(readWarehouse.capacityReducePercent, 12.5f);

    CLocation entry;
    entry.locationType = 1;
    entry.data.code = "L1";
    entry.data.street = "Gran Via";
    entry.data.streetNumber = 12;
    entry.data.serviceMinutes = 15;
    entry.data.coordinates.longitude = -3.7;
    entry.data.coordinates.latitude = 40.4;
    entry.data.openingHours.InsertWindow(480, 1200);
    entry.data.deliveryWindow = CTimeWindow(540, 600);
    CLocation readEntry;
    const auto [entryFirst, entrySecond] =
        RoundTrip("PLACES", ENTITY_LOCATION_ENTRY, entry, readEntry);
    EXPECT_EQ(entrySecond, entryFirst);
    EXPECT_EQ(readEntry.locationType, 1);
    EXPECT_EQ(readEntry.data.deliveryWindow, CTimeWindow(540, 600));
}

} // namespace
