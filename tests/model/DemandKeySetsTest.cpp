// Orders, warehouses and locations through their key sets: widths, parameter defaults, required
// fields, and files written from entities and read back.

#include "CleanModelTest.h"
#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "MemoryFieldRecord.h"
#include "TempFolder.h"
#include "model/Condicionantes.h"
#include "model/Locations.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/OrdersNavigation.h"
#include "model/VariableBuilders.h"
#include "model/WareHouses.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kFormats = "[BOOL]\nDEFAULT=1,0\n[TIME]\nDEFAULT=HH:MM\n"
                                 "[DATE]\nDEFAULT=DD/MM/YYYY\n[DEFAULT]\nDECIMAL_SEP=.\n";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ';'))
        fields.push_back(field);
    if (!line.empty() && line.back() == ';')
        fields.emplace_back();
    return fields;
}

class DemandKeySetsTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        trv::ResetDictionary();
        Build("");
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
        trv::ResetDictionary();
        CleanModelTest::TearDown();
    }

    // The catalogue built over a definitions file holding these widths.
    CTrevantorVariables& Build(const std::string& maximumCharacters)
    {
        program.Write("Data.ini", std::string(kFormats) + "[MAXIMUM_CHARACTERS]\n" +
                                      maximumCharacters + definitions);
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
        TrevantorVariables().SetEntityNavigation(&navigation);
        return TrevantorVariables();
    }

    static const TVarKeyStruct* Variable(int slot, const char* name)
    {
        const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(slot);
        return keys.GetVariable(keys.FindVariable(name));
    }

    // A separated definition with one column per field the key sets name, in registration order.
    void DefineColumns(const std::string& name, std::initializer_list<int> slots,
                       const CVariableDefinitionList* requirements = nullptr)
    {
        std::vector<std::string> columns;
        std::set<std::string> seen;
        std::set<std::string> listed; // several values written into one record
        auto add = [&](const std::string& column) {
            if (seen.insert(column).second)
                columns.push_back(column);
        };
        for (const int slot : slots) {
            const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(slot);
            for (int i = 0; i < keys.GetSize(); ++i) {
                const TVarKeyStruct& v = *keys.GetVariable(i);
                if (v.kind == VAR_REQUIREMENTS && requirements)
                    for (int n = 0; n < requirements->GetDefinitionCount(); ++n)
                        add(requirements->GetDefinitionName(n));
                else if (v.itemNames.GetSize() && v.kind != VAR_ENUM)
                    for (const std::string& item : v.itemNames) {
                        add(item);
                        if (v.kind == VAR_TIMETABLE || v.kind == VAR_RESOURCE_PERMISSIONS)
                            listed.insert(item);
                    }
                else if (!IsListKind(v.kind))
                    add(v.name);
                if (v.kind == VAR_WORD_LIST || v.kind == VAR_FLOAT_LIST ||
                    v.kind == VAR_STRING_LIST)
                    listed.insert(v.name);
            }
        }
        std::string lists;
        std::string section = "[" + name + "]\n";
        for (size_t i = 0; i < columns.size(); ++i) {
            section += columns[i] + "=" + std::to_string(i + 1) + "\n";
            if (listed.count(columns[i]))
                lists += (lists.empty() ? "" : ",") + columns[i];
        }
        definitions += "[" + name + "_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nKEY=" + columns[0] +
                       "\nLISTS_IN_SAMELINE=" + lists + "\n" + section;
        this->columns[name] = columns;
    }

    std::string Write(const std::string& definition, const std::string& file,
                      const std::function<bool(CFieldRecord&)>& write)
    {
        CFetchRecordSource source(program.File("Data.ini"), program.File(file));
        {
            std::unique_ptr<CFieldRecord> output =
                source.Open(definition, {.mode = TFieldRecordMode::write});
            EXPECT_NE(output, nullptr);
            if (!output)
                return {};
            output->ClearRecord();
            EXPECT_TRUE(write(*output));
            EXPECT_TRUE(output->WriteRecord());
        }
        std::ifstream in(program.File(file), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The entity written to a file, read from it into `read` and written again: both texts.
    template <class Entity>
    std::pair<std::string, std::string> RoundTrip(const std::string& definition, int entityKind,
                                                  Entity& entity, Entity& read)
    {
        CTrevantorVariables& catalogue = TrevantorVariables();
        const std::string first = Write(definition, "first.txt", [&](CFieldRecord& record) {
            return catalogue.WriteEntity(entityKind, entity, record, 0);
        });
        CFetchRecordSource source(program.File("Data.ini"), program.File("first.txt"));
        std::unique_ptr<CFieldRecord> input = source.Open(definition, {});
        EXPECT_NE(input, nullptr);
        if (!input || !input->MoveNext())
            return {first, ""};
        EXPECT_TRUE(catalogue.ReadEntity(entityKind, read, *input, 0, nullptr));
        input.reset();
        const std::string second = Write(definition, "second.txt", [&](CFieldRecord& record) {
            return catalogue.WriteEntity(entityKind, read, record, 0);
        });
        return {first, second};
    }

    // Requirement definitions FRIDGE (a flag) and AXLES (a least number) for every key set.
    CListaCondicionantes& Requirements()
    {
        CMemoryRecordSource source;
        source.tables["REQUIREMENTS"] = {{{"REQ_NAME", "FRIDGE"}, {"REQ_TYPE", "BOOL"}},
                                         {{"REQ_NAME", "AXLES"}, {"REQ_TYPE", ">"}}};
        CListaCondicionantes& requirements = ModelContext().requirementDefinitions;
        requirements.LoadDefinitions(source, true, nullptr, false);
        return requirements;
    }
    void InstallRequirements(CListaCondicionantes& requirements)
    {
        for (const int slot : {KEYS_ORDER, KEYS_WAREHOUSE})
            TrevantorVariables().GetKeySet(slot).SetDefinitionList(VAR_REQUIREMENTS, &requirements);
    }

    // The value of a column in every line of a file written by DefineColumns' definition.
    std::string Column(const std::string& definition, const std::string& text,
                       const std::string& column, int line = 0)
    {
        const std::vector<std::string>& names = columns[definition];
        const auto at = std::find(names.begin(), names.end(), column);
        EXPECT_NE(at, names.end()) << column;
        const std::vector<std::string> fields = Fields(Lines(text).at(static_cast<size_t>(line)));
        const auto index = static_cast<size_t>(at - names.begin());
        return index < fields.size() ? fields[index] : std::string();
    }

    trv::test::ProgramFolder program{"trv_demand_keys"};
    std::string definitions;
    std::map<std::string, std::vector<std::string>> columns;
    COrdersNavigation navigation;
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
