// An order's derivation, its relation chain, the checks between two orders and the order of its
// lines.

#include "CleanModelTest.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/VariableBuilders.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// Distances by (from, to) node.
class CFakeDistances : public CModelDistances
{
  public:
    bool MatricesExist() const override { return true; }
    bool GetKmAndMinutes(int from, int to, float& km, int& minutes) const override
    {
        const auto found = cells.find({from, to});
        if (found == cells.end())
            return false;
        km = found->second.first;
        minutes = found->second.second;
        return true;
    }
    int FindSpeedLevel(int) const override { return -1; }

    std::map<std::pair<int, int>, std::pair<float, int>> cells;
};

// Records the searches asked for and answers with the lines reversed.
class CRecordingOrdering : public COrderLineOrdering
{
  public:
    std::vector<int> OrderLines(int, int loadingNode,
                                std::span<const int> customerNodes) const override
    {
        calls.emplace_back(loadingNode,
                           std::vector<int>(customerNodes.begin(), customerNodes.end()));
        std::vector<int> reversed;
        for (int i = static_cast<int>(customerNodes.size()) - 1; i >= 0; --i)
            reversed.push_back(i);
        return reversed;
    }
    mutable std::vector<std::pair<int, std::vector<int>>> calls;
};

const trv::OleDate kMonday{2024, 6, 3};

class OrderDerivationTest : public CleanModelTest
{
  protected:
    COrder& Add(const char* code)
    {
        COrders& orders = ModelContext().orders;
        COrder* order = orders.AddOrder();
        order->plan.index = orders.GetSize() - 1;
        order->Text(ORDER_CODE) = code;
        // A warehouse copy without a code is reset by its derivation.
        order->wareHouse.location.code = "W1";
        return *order;
    }
    static COrderLine* AddLine(COrder& order, const char* customer, const char* product)
    {
        auto* line = new COrderLine;
        line->customer.location.code = customer;
        line->productCode = product;
        order.lines.Add(line);
        return line;
    }
    static std::vector<std::string> Products(const COrder& order)
    {
        std::vector<std::string> products;
        for (const COrderLine* line : order.lines)
            products.push_back(line->productCode);
        return products;
    }
};

TEST_F(OrderDerivationTest, DerivedFields)
{
    CFakeDistances distances;
    distances.cells[{1, 2}] = {12.5f, 20};
    struct Case
    {
        const char* what;
        std::function<void(COrder&, CUserParameters&)> prepare;
        std::function<void(const COrder&)> check;
        trv::OleDate planningDate = kMonday;
    };
    const Case cases[] = {
        {"TO_DAY before FROM_DAY",
         [](COrder& o, CUserParameters&) {
             o.plan.fromDay = trv::OleDate(2024, 6, 5);
             o.plan.toDay = trv::OleDate(2024, 6, 4);
         },
         [](const COrder& o) {
             EXPECT_EQ(o.plan.toDay, o.plan.fromDay);
             EXPECT_EQ(o.customer.location.openingHours.firstDay, 2);
             EXPECT_EQ(o.customer.location.openingHours.lastDay, 2);
         }},
        {"Monday only: Saturday forward 2, Sunday back 6",
         [](COrder& o, CUserParameters& p) {
             p.ControlDiasApertura = 1;
             p.RespectPreFixedServiceDate = 0;
             o.customer.location.openingHours.weekDayMask = 1;
             o.plan.fromDay = trv::OleDate(2024, 6, 8);
             o.plan.toDay = trv::OleDate(2024, 6, 9);
         },
         [](const COrder& o) {
             EXPECT_EQ(o.customer.location.openingHours.firstDay, 7);
             EXPECT_EQ(o.customer.location.openingHours.lastDay, 0);
         }},
        {"the last day never goes below 0",
         [](COrder& o, CUserParameters& p) {
             p.ControlDiasApertura = 1;
             p.RespectPreFixedServiceDate = 0;
             o.customer.location.openingHours.weekDayMask = 1;
             o.plan.toDay = trv::OleDate(2024, 6, 9);
         },
         [](const COrder& o) { EXPECT_EQ(o.customer.location.openingHours.lastDay, 0); },
         trv::OleDate(2024, 6, 5)},
        {"without opening-day control the mask opens every day",
         [](COrder& o, CUserParameters&) { o.customer.location.openingHours.weekDayMask = 1; },
         [](const COrder& o) { EXPECT_EQ(o.customer.location.openingHours.weekDayMask, 0); }},
        {"a prefixed day pins both days",
         [](COrder& o, CUserParameters& p) {
             p.RespectPreFixedServiceDate = 1;
             o.plan.fromDay = kMonday;
             o.plan.toDay = trv::OleDate(2024, 6, 10);
             o.plan.prefixedDay = trv::OleDate(2024, 6, 6);
         },
         [](const COrder& o) {
             EXPECT_EQ(o.plan.prefixedDayOffset, 3);
             EXPECT_EQ(o.customer.location.openingHours.firstDay, 3);
             EXPECT_EQ(o.customer.location.openingHours.lastDay, 3);
         }},
        {"a four-character postcode in country 34",
         [](COrder& o, CUserParameters&) {
             o.customer.location.postcode = "8020";
             o.wareHouse.location.postcode = "28001";
         },
         [](const COrder& o) {
             EXPECT_EQ(o.customer.location.postcode, "08020");
             EXPECT_EQ(o.wareHouse.location.postcode, "28001");
             EXPECT_EQ(o.warehouseProvince, 28);
         }},
        {"a four-character postcode elsewhere",
         [](COrder& o, CUserParameters& p) {
             p.CountryIDC = 33;
             o.customer.location.postcode = "8020";
         },
         [](const COrder& o) { EXPECT_EQ(o.customer.location.postcode, "8020"); }},
        {"black is no colour",
         [](COrder& o, CUserParameters&) { o.Text(SERVICE_COLOR) = "RGB(0,0,0)"; },
         [](const COrder& o) {
             EXPECT_EQ(o.Text(SERVICE_COLOR), "");
             EXPECT_EQ(o.plan.colour, -1);
         }},
        {"red", [](COrder& o, CUserParameters&) { o.Text(SERVICE_COLOR) = "RGB(255,0,0)"; },
         [](const COrder& o) { EXPECT_EQ(o.plan.colour, 0x0000FF); }},
        {"no customer limit",
         [](COrder& o, CUserParameters&) {
             o.plan.maximumCustomers = 0;
             o.plan.maximumSpecialCodes = 0;
         },
         [](const COrder& o) {
             EXPECT_EQ(o.plan.maximumCustomers, 2147483647);
             EXPECT_EQ(o.plan.maximumSpecialCodes, 2147483647);
         }},
        {"a collection without loading problems is a delivery",
         [](COrder& o, CUserParameters& p) {
             p.LoadingProblem = 0;
             p.DeliveryProblem = 1;
             o.plan.kind = ORDER_COLLECTION;
         },
         [](const COrder& o) { EXPECT_EQ(o.plan.kind, ORDER_DELIVERY); }},
        {"a collection stays one with both problems",
         [](COrder& o, CUserParameters& p) {
             p.LoadingProblem = 1;
             p.DeliveryProblem = 1;
             o.plan.kind = ORDER_COLLECTION;
         },
         [](const COrder& o) { EXPECT_EQ(o.plan.kind, ORDER_COLLECTION); }},
        {"teletransporting moves the delivery window by 1439",
         [](COrder& o, CUserParameters& p) {
             p.Teletransporting = 1;
             o.customer.location.openingHours.InsertWindow(480, 600);
             o.wareHouse.location.openingHours.InsertWindow(500, 700);
         },
         [](const COrder& o) {
             EXPECT_EQ(o.customer.location.openingHours[0], CTimeWindow(480 + 1439, 600 + 1439));
         }},
        {"the loading window folds once",
         [](COrder& o, CUserParameters&) {
             o.plan.windowIsArrivalAndLeave = 1;
             o.wareHouse.location.openingHours.InsertWindow(480, 600);
             o.wareHouse.location.serviceMinutes = 15;
             AddLine(o, "C", "P")->minutesAtWarehouse = 30;
             o.CalculateFields(kMonday, false, false, false, nullptr);
         },
         [](const COrder& o) {
             EXPECT_EQ(o.wareHouse.location.openingHours[0].end, 645);
             EXPECT_EQ(o.plan.loadingWindowAdjusted, 1);
             EXPECT_EQ(o.wareHouse.location.serviceMinutes, 0);
         }},
        {"distance to the warehouse from the matrices",
         [&](COrder& o, CUserParameters& p) {
             ModelContext().distances = &distances;
             p.LoadingProblem = 2;
             o.wareHouse.location.nodeIndex = 1;
             o.customer.location.nodeIndex = 2;
         },
         [](const COrder& o) {
             EXPECT_FLOAT_EQ(o.plan.kmToWarehouse, 12.5f);
             EXPECT_EQ(o.plan.minutesToWarehouse, 20);
         }},
        {"served in real time today",
         [&](COrder& o, CUserParameters&) {
             ModelContext().clock = [] { return TClockReading{2024, 6, 3, 10, 30}; };
             ModelContext().realTimeDate = kMonday;
             o.plan.realTimeServed = 1;
         },
         [](const COrder& o) {
             EXPECT_EQ(o.plan.assigned, 1);
             EXPECT_EQ(o.customer.assignedWindow, CTimeWindow(630, 630));
             EXPECT_EQ(ModelContext().realTimeMark, 1);
         }},
    };
    for (const Case& c : cases) {
        ResetUserParameters();
        ResetModelContext();
        COrder& order = Add("A7");
        c.prepare(order, UserParameters());
        order.CalculateFields(c.planningDate, false, false, false, nullptr);
        SCOPED_TRACE(c.what);
        c.check(order);
    }
}

TEST_F(OrderDerivationTest, RequirementsFromOrderVariables)
{
    ResetTrevantorVariables();
    InstallVariableBuilders(TrevantorVariables());
    TrevantorVariables().Init();
    CListaCondicionantes& definitions = ModelContext().requirementDefinitions;
    for (const char* variable : {"ORDER_DEACTIVATED", "ORDER_BUDGET", "ORDER_PRIORITY", ""})
        definitions.NewElement()->orderVariable = variable;
    COrder& order = Add("A7");
    order.requirements.Init(4);
    order.requirements.SetValue(3, 9);
    order.plan.deactivated = 5;
    order.plan.budget = 2.6f;
    order.plan.priority = -4;
    order.CalculateFields(kMonday, true, false, false, nullptr);
    EXPECT_EQ(order.requirements.GetInt(0), 1);
    EXPECT_EQ(order.requirements.GetInt(1), 3);
    EXPECT_EQ(order.requirements.GetInt(2), -4);
    EXPECT_EQ(order.requirements.GetInt(3), 9); // no variable: the slot stays
    ResetTrevantorVariables();
}

TEST_F(OrderDerivationTest, RelationChainsFollowTheirPositions)
{
    const int positions[] = {3, 1, 2};
    for (int i = 0; i < 3; ++i) {
        COrder& order = Add(("R" + std::to_string(i)).c_str());
        order.Text(RELATION_CODE) = "group";
        order.plan.relationPosition = positions[i];
    }
    COrder& alone = Add("X");
    alone.plan.relationPosition = 7;
    ModelContext().orders[1]->plan.sameVehicleType = 3;
    for (COrder* order : ModelContext().orders)
        order->CalculateIndexes();

    const COrders& orders = ModelContext().orders;
    const COrder& head = *orders[0];
    ASSERT_EQ(head.relatedOrders.GetSize(), 3);
    EXPECT_EQ(head.relatedOrders[0], 1u);
    EXPECT_EQ(head.relatedOrders[1], 2u);
    EXPECT_EQ(head.relatedOrders[2], 0u);
    EXPECT_EQ(head.plan.relatedOrderIndex, 0);
    EXPECT_EQ(orders[2]->plan.relatedOrderIndex, 0);
    EXPECT_EQ(orders.sameVehicleRelation, 1);
    EXPECT_EQ(alone.plan.relatedOrderIndex, -1);
    EXPECT_EQ(alone.plan.relationPosition, 1);
}

TEST_F(OrderDerivationTest, DaysAndWindowsBetweenOrders)
{
    COrder& mine = Add("A");
    COrder& other = Add("B");
    CTimeTable mineTable;
    CTimeTable otherTable;
    mine.customer.location.openingHours.lastDay = 2;
    other.customer.location.openingHours.firstDay = 3;
    EXPECT_TRUE(mine.DaysIncompatible(other, otherTable, mineTable));
    EXPECT_FALSE(other.DaysIncompatible(mine, mineTable, otherTable));

    // Both pinned to day 1: the hours decide.
    for (COrder* order : {&mine, &other}) {
        order->customer.location.openingHours.firstDay = 1;
        order->customer.location.openingHours.lastDay = 1;
    }
    for (CTimeTable* table : {&mineTable, &otherTable})
        table->firstDay = table->lastDay = 1;
    mine.customer.location.openingHours.InsertWindow(480, 600);
    other.customer.location.openingHours.InsertWindow(720, 840);
    EXPECT_TRUE(mine.DaysIncompatible(other, otherTable, mineTable));
    EXPECT_FALSE(other.DaysIncompatible(mine, mineTable, otherTable));
}

TEST_F(OrderDerivationTest, LinesByTimeKeysAndInversion)
{
    UserParameters().CustomerInOrderLines = 1;
    COrder& order = Add("A7");
    AddLine(order, "C1", "NONE");
    AddLine(order, "C2", "LATE")->customer.location.openingHours.InsertWindow(900, 1000);
    AddLine(order, "C3", "EARLY")->customer.location.openingHours.InsertWindow(480, 600);
    AddLine(order, "C4", "TIE")->customer.location.openingHours.InsertWindow(480, 700);
    order.SortLinesByTime();
    EXPECT_EQ(Products(order), (std::vector<std::string>{"EARLY", "TIE", "LATE", "NONE"}));

    CSmartStringArray keys;
    order.GetLineKeys(keys);
    ASSERT_EQ(keys.GetSize(), 4);
    EXPECT_EQ(keys[0], "C3\xC2\xB7"
                       "EARLY");
    CSmartStringArray reordered;
    for (const char* key : {"c1\xC2\xB7none", "C2\xC2\xB7LATE",
                            "C3\xC2\xB7"
                            "EARLY",
                            "C4\xC2\xB7TIE"})
        reordered.Add(key);
    CSmartStringArray unknown = reordered;
    unknown[3] = "C9\xC2\xB7TIE";
    order.ReorderLinesByKeys(unknown);
    EXPECT_EQ(Products(order), (std::vector<std::string>{"EARLY", "TIE", "LATE", "NONE"}));
    order.ReorderLinesByKeys(reordered);
    EXPECT_EQ(Products(order), (std::vector<std::string>{"NONE", "LATE", "EARLY", "TIE"}));
    EXPECT_EQ(order.plan.linesOrderedBySortingEngine, 1);

    order.plan.invertCustomers = 1;
    order.InvertLines();
    EXPECT_EQ(Products(order), (std::vector<std::string>{"TIE", "EARLY", "LATE", "NONE"}));
    EXPECT_EQ(order.plan.invertCustomers, 0);
    order.InvertLines();
    EXPECT_EQ(Products(order).front(), "TIE");

    // A list that is not a permutation changes nothing.
    order.ApplyLineOrder({0, 0, 1, 2});
    EXPECT_EQ(Products(order), (std::vector<std::string>{"TIE", "EARLY", "LATE", "NONE"}));
    EXPECT_EQ(order.lines.GetSize(), 4);
}

TEST_F(OrderDerivationTest, TheLineSearchRunsOncePerOrderWithLines)
{
    CRecordingOrdering ordering;
    ModelContext().lineOrdering = &ordering;
    UserParameters().CustomerInOrderLines = 1;
    UserParameters().LoadingProblem = 2;
    COrder& single = Add("ONE");
    AddLine(single, "C1", "P1");
    single.ReordenaLineasPedidoConGenetico();
    EXPECT_TRUE(ordering.calls.empty());

    COrder& order = Add("TWO");
    order.wareHouse.location.nodeIndex = 9;
    AddLine(order, "C1", "P1")->customer.location.nodeIndex = 4;
    AddLine(order, "C2", "P2")->customer.location.nodeIndex = 5;
    order.ReordenaLineasPedidoConGenetico();
    order.ReordenaLineasPedidoConGenetico();
    ASSERT_EQ(ordering.calls.size(), 1u);
    EXPECT_EQ(ordering.calls[0].first, 9);
    EXPECT_EQ(ordering.calls[0].second, (std::vector<int>{4, 5}));
    EXPECT_EQ(Products(order), (std::vector<std::string>{"P2", "P1"}));

    CFakeDistances distances;
    distances.cells[{9, 5}] = {10, 0};
    distances.cells[{5, 4}] = {2.5f, 0};
    ModelContext().distances = &distances;
    const int nodes[] = {5, 4};
    EXPECT_DOUBLE_EQ(COrder::MeasureLineOrder(9, nodes), 12.5);
    EXPECT_DOUBLE_EQ(COrder::MeasureLineOrder(-1, nodes), 2147483648.0);
}

TEST_F(OrderDerivationTest, MergingOrdersAndLines)
{
    COrder& order = Add("A");
    COrder& other = Add("B");
    AddLine(order, "C", "P1");
    AddLine(other, "C", "P2");
    AddLine(other, "C", "P3");
    order.lines.header.totalQuantity = 2;
    other.lines.header.totalQuantity = 5;
    order.wareHouse.location.openingHours.InsertWindow(-3000, 20000);
    other.customer.location.openingHours.InsertWindow(480, 600);
    other.customer.location.openingHours.weekDayMask = 3;
    order.MergeOrder(other);
    EXPECT_EQ(Products(order), (std::vector<std::string>{"P1", "P2", "P3"}));
    EXPECT_EQ(other.lines.GetSize(), 0);
    EXPECT_FLOAT_EQ(order.lines.header.totalQuantity, 7);
    EXPECT_EQ(order.wareHouse.location.openingHours[0], CTimeWindow(-1440, 14400));
    EXPECT_EQ(order.customer.location.openingHours.weekDayMask, 3);

    // The same product adds up, unless lines are never duplicated.
    COrderLine line;
    line.productName = "P1";
    line.quantity = 4;
    line.items = 2;
    line.customer.location.serviceMinutes = kUnsetTime;
    EXPECT_EQ(order.AddOrMergeLine(line), 1);
    EXPECT_EQ(order.lines.GetSize(), 3);
    EXPECT_FLOAT_EQ(order.lines[order.lines.FindLine("P1", 0, "")]->quantity, 4);
    UserParameters().NuncaDuplicarLineas = 1;
    order.AddOrMergeLine(line);
    EXPECT_FLOAT_EQ(order.lines[order.lines.FindLine("P1", 0, "")]->quantity, 4);
    line.productName = "P9";
    order.AddOrMergeLine(line);
    ASSERT_EQ(order.lines.GetSize(), 4);
    const COrderLine& added = *order.lines[order.lines.FindLine("P9", 0, "")];
    EXPECT_FLOAT_EQ(added.firstItemCount, 2);
    EXPECT_EQ(added.customer.location.serviceMinutes, UserParameters().UnloadTime);
}

} // namespace
