// Whole entities through the catalogue: orders with their delivery points and lines, the
// entity kinds, the column texts of the dialogs and which columns are out of use.

#include "MemoryFieldRecord.h"
#include "ParamsTestSupport.h"
#include "params/TrevantorVariables.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct TCustomer
{
    std::string code;
    int32_t serviceMinutes = kUnsetTime;
};

struct TLine
{
    std::string code;
    std::string name;
    int32_t partition = 0;
    float quantity = 0;
    int32_t items = 0;
    int32_t originalItems = 0;
    TCustomer point;
};

struct TOrder
{
    std::string code;
    int32_t type = 0;
    TCustomer point;
    std::vector<TLine> lines;
};

struct TTruck
{
    std::string plate;
};

struct TLorry
{
    TTruck truck;
};

struct TTotals
{
    float km = 0;
};

struct TVehicle
{
    TTotals totals;
};

struct TPair
{
    TLorry* lorry = nullptr;
};

// The models' navigation over the test entities.
class CFakeNavigation : public CEntityNavigation
{
  public:
    TEntityRef GetOrderDeliveryPoint(const TEntityRef& order) const override
    {
        TOrder* o = order.Get<TOrder>();
        return o ? TEntityRef(o->point) : TEntityRef();
    }
    bool IsDeliveryOrder(const TEntityRef& order) const override
    {
        const TOrder* o = order.Get<TOrder>();
        return o && (o->type == 0 || o->type == 4);
    }
    int GetOrderLineCount(const TEntityRef& order) const override
    {
        const TOrder* o = order.Get<TOrder>();
        return o ? static_cast<int>(o->lines.size()) : 0;
    }
    TEntityRef GetOrderLine(const TEntityRef& order, int index) const override
    {
        TOrder* o = order.Get<TOrder>();
        if (!o || index < 0 || index >= static_cast<int>(o->lines.size()))
            return {};
        return o->lines[static_cast<size_t>(index)];
    }
    std::unique_ptr<CEntityHolder> NewOrderLine() const override
    {
        return std::make_unique<TEntityHolder<TLine>>();
    }
    int FindOrderLine(const TEntityRef& order, const TEntityRef& line,
                      bool byDeliveryPoint) const override
    {
        const TOrder* o = order.Get<TOrder>();
        const TLine* l = line.Get<TLine>();
        for (size_t i = 0; o && l && i < o->lines.size(); ++i) {
            const TLine& each = o->lines[i];
            if (each.code == l->code && each.partition == l->partition &&
                (!byDeliveryPoint || each.point.code == l->point.code))
                return static_cast<int>(i);
        }
        return -1;
    }
    int AddOrderLineCopy(const TEntityRef& order, const TEntityRef& line) override
    {
        TOrder* o = order.Get<TOrder>();
        o->lines.push_back(*line.Get<TLine>());
        return static_cast<int>(o->lines.size()) - 1;
    }
    void AccumulateOrderLine(const TEntityRef& order, int index, const TEntityRef& line) override
    {
        TLine& kept = order.Get<TOrder>()->lines[static_cast<size_t>(index)];
        kept.quantity += line.Get<TLine>()->quantity;
    }
    TEntityRef GetLineDeliveryPoint(const TEntityRef& line) const override
    {
        TLine* l = line.Get<TLine>();
        return l ? TEntityRef(l->point) : TEntityRef();
    }
    TEntityRef GetPairTruck(const TEntityRef& pair) const override
    {
        TPair* p = pair.Get<TPair>();
        return p && p->lorry ? TEntityRef(p->lorry->truck) : TEntityRef();
    }
    TEntityRef GetPairTrailer(const TEntityRef&) const override { return {}; }
    TEntityRef GetPairDriver(const TEntityRef&) const override { return {}; }
    TEntityRef GetVehicleTotals(const TEntityRef& vehicle) const override
    {
        TVehicle* v = vehicle.Get<TVehicle>();
        return v ? TEntityRef(v->totals) : TEntityRef();
    }
};

constexpr int kAll = VAR_USE_READ | VAR_USE_WRITE | VAR_USE_SHOWN;

class EntityAccessTest : public ParamsFolderTest
{
  protected:
    void SetUp() override
    {
        ParamsFolderTest::SetUp();
        ResetTrevantorVariables();
        CTrevantorVariables& catalogue = TrevantorVariables();
        catalogue.SetBuilder(KEYS_ORDER, [](CTrevantorVariables&, CTrevantorVariablesKeys& k) {
            k.AddString("ORDER_CODE", VarMember(&TOrder::code), 20, "", "", "", 0, kAll);
            k.AddInt("ORDER_TYPE", VarMember(&TOrder::type), "", "", 0, 0, kAll);
        });
        catalogue.SetBuilder(KEYS_ORDER_LINE, [](CTrevantorVariables&, CTrevantorVariablesKeys& k) {
            k.AddString("PRODUCT_CODE", VarMember(&TLine::code), 20, "", "", "", 0, kAll);
            k.AddString("PRODUCT_NAME", VarMember(&TLine::name), 20, "", "", "", 0, kAll);
            k.AddInt("PRODUCT_PARTITION", VarMember(&TLine::partition), "", "", 0, 0, kAll);
            k.AddFloat("PRODUCT_QUANTITY", VarMember(&TLine::quantity), "", "", 0, 0, 1, kAll);
            k.AddInt("PRODUCT_NUMBER_OF_ITEMS", VarMember(&TLine::items), "", "", 0, 0, kAll);
            k.AddInt("PRODUCT_ORIGINAL_NUMBER_OF_ITEMS", VarMember(&TLine::originalItems), "", "",
                     0, 0, kAll);
        });
        catalogue.SetBuilder(KEYS_CUSTOMER, [](CTrevantorVariables&, CTrevantorVariablesKeys& k) {
            k.AddString("CUSTOMER_CODE", VarMember(&TCustomer::code), 20, "", "", "", 0, kAll);
            k.AddDuration("CUSTOMER_TIME", VarMember(&TCustomer::serviceMinutes), -1, -1, "", "",
                          kUnsetTime, 0, kAll);
        });
        catalogue.SetBuilder(KEYS_TRUCK, [](CTrevantorVariables&, CTrevantorVariablesKeys& k) {
            k.AddString("TRUCK_PLATE", VarMember(&TTruck::plate), 20, "", "", "", 0, kAll);
        });
        catalogue.SetBuilder(
            KEYS_TRIP_TOTALS, [](CTrevantorVariables&, CTrevantorVariablesKeys& k) {
                k.AddFloat("TOTAL_KM", VarMember(&TTotals::km), "", "", 0, 0, 1, kAll);
            });
        catalogue.SetEntityNavigation(&navigation);
        catalogue.Init();
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        ParamsFolderTest::TearDown();
    }

    static CTrevantorVariables& Catalogue() { return TrevantorVariables(); }

    static std::vector<std::string> Codes(const TOrder& order)
    {
        std::vector<std::string> codes;
        for (const TLine& line : order.lines)
            codes.push_back(line.code + "=" + std::to_string(static_cast<int>(line.quantity)));
        return codes;
    }

    static std::vector<std::string> Names(const CMemoryFieldRecord& record)
    {
        std::vector<std::string> names;
        for (const auto& write : record.writes)
            names.push_back(write.first + "=" + write.second);
        return names;
    }

    CFakeNavigation navigation;
};

using Row = CMemoryFieldRecord::Row;

TEST_F(EntityAccessTest, OrderLinesComeFromTheLinkTheOwnRowsOrTheRecord)
{
    struct Case
    {
        const char* why;
        bool database;
        std::vector<Row> linked;
        std::vector<Row> own;
        std::vector<std::string> lines;
    };
    const std::vector<Row> threeRows = {{{"PRODUCT_CODE", "A"}, {"PRODUCT_QUANTITY", "1"}},
                                        {{"PRODUCT_CODE", "B"}, {"PRODUCT_QUANTITY", "2"}},
                                        {{"PRODUCT_CODE", "C"}, {"PRODUCT_QUANTITY", "3"}}};
    const Case cases[] = {
        {"a linked definition's rows",
         false,
         {Row{{"PRODUCT_CODE", "L1"}, {"PRODUCT_QUANTITY", "4"}}, Row{{"PRODUCT_CODE", "L2"}}},
         threeRows,
         {"L1=4", "L2=0"}},
        {"the record's own line rows", false, {}, threeRows, {"A=1", "B=2", "C=3"}},
        {"a database record is one line", true, {}, threeRows, {"Z=9"}},
        {"a record without line rows is one line", false, {}, {}, {"Z=9"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.why);
        CMemoryFieldRecord record;
        record.Current() = {{"ORDER_CODE", "O1"},
                            {"CUSTOMER_CODE", "C1"},
                            {"PRODUCT_CODE", "Z"},
                            {"PRODUCT_QUANTITY", "9"}};
        record.database = test.database;
        record.lineRows = test.own;
        if (!test.linked.empty())
            record.linkedLines["PRODUCT_CODE"] = test.linked;
        TOrder order;
        ASSERT_TRUE(Catalogue().ReadEntity(ENTITY_ORDER, order, record, 0, nullptr));
        EXPECT_EQ(order.code, "O1");
        EXPECT_EQ(order.point.code, "C1");
        EXPECT_EQ(Codes(order), test.lines);
    }
}

TEST_F(EntityAccessTest, ReadLinesAreCompletedThenMergedOrDropped)
{
    UserParameters().UnloadTime = 35;
    const std::vector<Row> rows = {
        {{"PRODUCT_CODE", "A"}, {"PRODUCT_QUANTITY", "1"}, {"PRODUCT_NUMBER_OF_ITEMS", "4"}},
        {{"PRODUCT_CODE", "A"}, {"PRODUCT_QUANTITY", "2"}},
        {{"PRODUCT_CODE", "A"}, {"PRODUCT_PARTITION", "1"}, {"PRODUCT_QUANTITY", "5"}},
        {{"PRODUCT_NAME", "N"}, {"PRODUCT_QUANTITY", "6"}},
    };
    for (const int neverDuplicate : {0, 1}) {
        SCOPED_TRACE(neverDuplicate);
        UserParameters().NuncaDuplicarLineas = neverDuplicate;
        CMemoryFieldRecord record;
        record.lineRows = rows;
        TOrder order;
        ASSERT_TRUE(Catalogue().ReadEntity(ENTITY_ORDER, order, record, 0, nullptr));
        const std::vector<std::string> expected = {neverDuplicate ? "A=1" : "A=3", "A=5", "N=6"};
        EXPECT_EQ(Codes(order), expected);
        ASSERT_EQ(order.lines.size(), 3u);
        EXPECT_EQ(order.lines[0].originalItems, 4);
        EXPECT_EQ(order.lines[2].name, "N");
        EXPECT_EQ(order.lines[0].point.serviceMinutes, 35);
    }
}

// A source that never moves and never ends.
class CStuckRecord : public CMemoryFieldRecord
{
  public:
    bool IsLinesEnd() override { return false; }
    bool MoveNextLine() override { return false; }
};

TEST_F(EntityAccessTest, FieldMapAndStuckSourcesReadNoLines)
{
    CMemoryFieldRecord record;
    record.Current() = {{"ORDER_CODE", "O1"}, {"ORDER_TYPE", "3"}};
    record.lineRows = {{{"PRODUCT_CODE", "A"}}};
    const TFieldMap fields = {{"ORDER_TYPE", "ORDER_TYPE"}};
    TOrder order;
    ASSERT_TRUE(Catalogue().ReadEntity(ENTITY_ORDER, order, record, 1, &fields));
    EXPECT_EQ(order.type, 3);
    EXPECT_EQ(order.code, "");
    EXPECT_TRUE(order.lines.empty());

    CStuckRecord stuck;
    TOrder other;
    EXPECT_TRUE(Catalogue().ReadEntity(ENTITY_ORDER, other, stuck, 0, nullptr));
    EXPECT_TRUE(other.lines.empty());

    EXPECT_FALSE(Catalogue().ReadEntity(ENTITY_STOP_POINT, other, record, 0, nullptr));
}

TEST_F(EntityAccessTest, LinesWithTheirOwnDeliveryPoints)
{
    UserParameters().CustomerInOrderLines = 1;
    CMemoryFieldRecord record;
    record.lineRows = {{{"PRODUCT_CODE", "A"}, {"CUSTOMER_CODE", "C1"}},
                       {{"PRODUCT_CODE", "A"}, {"CUSTOMER_CODE", "C2"}, {"CUSTOMER_TIME", "5"}}};
    TOrder order;
    ASSERT_TRUE(Catalogue().ReadEntity(ENTITY_ORDER, order, record, 0, nullptr));
    ASSERT_EQ(order.lines.size(), 2u); // the same product at two points
    EXPECT_EQ(order.lines[0].point.code, "C1");
    EXPECT_EQ(order.lines[0].point.serviceMinutes, 20);
    EXPECT_EQ(order.lines[1].point.serviceMinutes, 5);
    EXPECT_EQ(order.point.code, ""); // the order's own point is not read
}

TEST_F(EntityAccessTest, OrdersAreWrittenWithTheirPointsAndLines)
{
    TOrder order;
    order.code = "O1";
    order.point.code = "P";
    order.lines = {{"A", "", 0, 1, 0, 0, {"C1", 10}}, {"B", "", 0, 2, 0, 0, {"C2", 10}}};
    auto written = [&](int kind, int customerInLines) {
        UserParameters().CustomerInOrderLines = customerInLines;
        CMemoryFieldRecord record;
        EXPECT_TRUE(Catalogue().WriteEntity(kind, order, record, 0));
        std::vector<std::string> codes;
        for (const std::string& write : Names(record))
            if (write.find("_CODE=") != std::string::npos)
                codes.push_back(write);
        return std::make_pair(codes, record.variablesEvaluated);
    };
    using Written = std::pair<std::vector<std::string>, int>;
    EXPECT_EQ(written(ENTITY_ORDER_WITHOUT_LINES, 0),
              Written({"ORDER_CODE=O1", "CUSTOMER_CODE=P"}, 0));
    EXPECT_EQ(written(ENTITY_ORDER, 0),
              Written({"ORDER_CODE=O1", "CUSTOMER_CODE=P", "PRODUCT_CODE=A", "PRODUCT_CODE=B"}, 2));
    EXPECT_EQ(written(ENTITY_ORDER, 1),
              Written({"ORDER_CODE=O1", "PRODUCT_CODE=A", "CUSTOMER_CODE=C1", "PRODUCT_CODE=B",
                       "CUSTOMER_CODE=C2"},
                      2));
}

TEST_F(EntityAccessTest, PointFromTheLinesOfADeliveryOrACollection)
{
    UserParameters().CustomerInOrderLines = 2;
    TOrder order;
    order.code = "O1";
    order.lines = {{"A", "", 0, 1, 0, 0, {"FIRST", 10}}, {"B", "", 0, 2, 0, 0, {"LAST", 10}}};
    TCustomer given{"GIVEN", 0};
    struct Case
    {
        int loadingProblem;
        int orderType;
        const char* point;
    };
    for (const Case& test :
         {Case{1, 0, "LAST"}, Case{1, 4, "LAST"}, Case{1, 1, "FIRST"}, Case{0, 1, "GIVEN"}}) {
        SCOPED_TRACE(test.point);
        UserParameters().LoadingProblem = test.loadingProblem;
        order.type = test.orderType;
        CMemoryFieldRecord record;
        ASSERT_TRUE(Catalogue().WriteEntity(ENTITY_ORDER_WITHOUT_LINES, order, record, 0, given));
        EXPECT_EQ(record.Current()["CUSTOMER_CODE"], test.point);
    }
}

TEST_F(EntityAccessTest, ColumnTextsFindTheirObject)
{
    CTrevantorVariables& catalogue = Catalogue();
    const auto column = [&](int dialog, int slot, const char* name, int kind) {
        CTrevantorVariablesKeys& keys = catalogue.GetKeySet(slot);
        catalogue.GetDialogColumns(dialog)->AddColumn(*keys.GetVariable(keys.FindVariable(name)),
                                                      kind, "-1");
        return catalogue.GetDialogColumns(dialog)->GetColumnCount() - 1;
    };
    TOrder order;
    order.code = "O1";
    order.point.code = "P";
    order.lines = {{"A", "", 0, 1, 0, 0, {"C1", 10}}, {"B", "", 0, 2, 0, 0, {"C2", 10}}};
    TLorry lorry{{"1234ABC"}};
    TPair withLorry{&lorry};
    TPair without;
    TVehicle vehicle{{12.5f}};

    const int orderLine = column(0, KEYS_ORDER_LINE, "PRODUCT_CODE", ENTITY_ORDER_LINE);
    const int orderCustomer = column(0, KEYS_CUSTOMER, "CUSTOMER_CODE", ENTITY_CUSTOMER);
    const int truck = column(4, KEYS_TRUCK, "TRUCK_PLATE", ENTITY_TRUCK);
    const int totals = column(4, KEYS_TRIP_TOTALS, "TOTAL_KM", ENTITY_TRIP_TOTALS);
    const int stopCustomer = column(5, KEYS_CUSTOMER, "CUSTOMER_CODE", ENTITY_CUSTOMER);
    const int lineCode = column(7, KEYS_ORDER_LINE, "PRODUCT_CODE", ENTITY_ORDER_LINE);
    const int lineCustomer = column(7, KEYS_CUSTOMER, "CUSTOMER_CODE", ENTITY_CUSTOMER);

    struct Case
    {
        const char* why;
        int dialog;
        int column;
        TEntityRef entity;
        int line;
        TEntityRef first;
        int customerInLines;
        const char* text;
    };
    const Case cases[] = {
        {"an order row's chosen line", 0, orderLine, order, 1, {}, 0, "B"},
        {"an order row without a line", 0, orderLine, order, -1, {}, 0, ""},
        {"a line index out of range", 0, orderLine, order, 5, {}, 0, ""},
        {"the order's point", 0, orderCustomer, order, 1, {}, 0, "P"},
        {"the chosen line's point", 0, orderCustomer, order, 1, {}, 1, "C2"},
        {"a pair's truck", 4, truck, withLorry, -1, {}, 0, "1234ABC"},
        {"a pair without a lorry", 4, truck, without, -1, {}, 0, ""},
        {"the planned vehicle's totals", 4, totals, without, -1, vehicle, 0, "12.50"},
        {"a customer in a stop-point dialog", 5, stopCustomer, order, -1, order, 0, ""},
        {"the order-line tab's own line", 7, lineCode, order.lines[0], -1, {}, 0, "A"},
        {"the order-line tab's line point", 7, lineCustomer, order.lines[1], -1, {}, 1, "C2"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.why);
        UserParameters().CustomerInOrderLines = test.customerInLines;
        int notApplicable = -1;
        int numeric = -1;
        EXPECT_EQ(catalogue.GetVariableText(test.dialog, test.column, test.entity, notApplicable,
                                            numeric, test.line, test.first),
                  test.text);
        EXPECT_EQ(notApplicable, 0);
    }

    EXPECT_EQ(catalogue.GetColumnValue(0, orderLine, order, 0), TVariableValue(std::string("A")));
    EXPECT_EQ(catalogue.GetColumnValue(0, orderLine, order, -1), TVariableValue(std::string()));
    // The customer columns of the order-line tab are out of use without points on lines.
    int notApplicable = 0;
    int numeric = 0;
    UserParameters().CustomerInOrderLines = 0;
    catalogue.GetVariableText(7, lineCustomer, order.lines[1], notApplicable, numeric, -1);
    EXPECT_EQ(notApplicable, 1);
}

TEST_F(EntityAccessTest, ColumnsOutOfUseUnderTheParameters)
{
    bool incompatibilities = false;
    Catalogue().SetTripsIncompatibilityTest([&] { return incompatibilities; });
    struct Case
    {
        std::vector<int> dialogs;
        const char* key;
        std::function<void(CUserParameters&)> set; // the parameters that bring it into use
    };
    const Case cases[] = {
        {{0, 1, 5, 8, 9}, "WAREHOUSE_CITY", [](CUserParameters& p) { p.LoadingProblem = 2; }},
        {{0, 9}, "WAREHOUSE_CODE", [](CUserParameters& p) { p.LoadingProblem = 3; }},
        {{0, 5}, "SCHEDULING_DATE + STOP_DAYS", [](CUserParameters& p) { p.SchedulingTime = 1; }},
        {{5},
         "#WEEK#SCHEDULING_DATE + STOP_DAYS",
         [](CUserParameters& p) { p.SchedulingTime = 1; }},
        {{8},
         "#DAYOFWEEK#SCHEDULING_DATE + STOP_DAYS",
         [](CUserParameters& p) { p.SchedulingTime = 1; }},
        {{5}, "STOP_POINT_QUANTITY", [](CUserParameters& p) { p.QuantitiesControl = 1; }},
        {{0}, "ORDER_TYPE", [](CUserParameters& p) { p.DeliveryProblem = 2; }},
        {{0, 7},
         "PRODUCT_NUMBER_OF_ITEMS",
         [](CUserParameters& p) { p.UsingMultiplicativeFactors = 1; }},
        {{1, 7}, "PRODUCT_TIME_AT_CUSTOMER", [](CUserParameters& p) { p.TimesInOrderLines = 1; }},
        {{0, 5}, "ORDER_FIXED_FARES", [](CUserParameters& p) { p.Fares = 1; }},
        {{5}, "STOP_POINT_EXTRA_KM", [](CUserParameters& p) { p.Fares = 1; }},
        {{2, 3, 4, 10}, "TRAILER_CAPACITY2", [](CUserParameters& p) { p.QuantitiesControl = 1; }},
        {{2, 10}, "RESOURCE_FARE_ID", [](CUserParameters& p) { p.Fares = 1; }},
        {{3, 4}, "RADIO_TARJETA_LOCAL", [](CUserParameters& p) { p.TransportCard = 1; }},
        {{7}, "CUSTOMER_CODE", [](CUserParameters& p) { p.CustomerInOrderLines = 1; }},
        {{0, 5}, "PRODUCT_TYPE", [&](CUserParameters&) { incompatibilities = true; }},
        {{2}, "ALLOWED_PRODUCT_TYPES", [&](CUserParameters&) { incompatibilities = true; }},
    };
    for (const Case& test : cases) {
        for (const int dialog : test.dialogs) {
            SCOPED_TRACE(std::string(test.key) + " in dialog " + std::to_string(dialog));
            ResetUserParameters();
            incompatibilities = false;
            EXPECT_TRUE(Catalogue().IsNotApplicable(dialog, test.key));
            test.set(UserParameters());
            EXPECT_FALSE(Catalogue().IsNotApplicable(dialog, test.key));
        }
    }
    // Always out of use, never out of use, and keys of another group.
    const std::pair<int, const char*> fixed[] = {{0, "WAREHOUSE_AVAILABLE_DOCKS"},
                                                 {8, "WAREHOUSE_AVAILABLE_DOCKS"}};
    for (const auto& [dialog, key] : fixed)
        EXPECT_TRUE(Catalogue().IsNotApplicable(dialog, key)) << key;
    ResetUserParameters();
    const std::pair<int, const char*> never[] = {
        {6, "ORDER_FIXED_FARES"}, {11, "WAREHOUSE_CITY"},   {0, "STOP_POINT_EXTRA_KM"},
        {5, "TRAILER_CAPACITY"},  {2, "ORDER_FIXED_FARES"}, {0, "ORDER_CODE"}};
    for (const auto& [dialog, key] : never)
        EXPECT_FALSE(Catalogue().IsNotApplicable(dialog, key)) << key << " " << dialog;
}

} // namespace
