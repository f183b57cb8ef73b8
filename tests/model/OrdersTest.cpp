// The order record: construction, copies, queries against warehouses and the fleet, assignment
// and the optimiser's partition copies.

#include "model/Orders.h"

#include "CleanModelTest.h"
#include "model/ModelContext.h"
#include "model/OrdersNavigation.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// A fleet of pairs by row: driver codes, sweeper trailers and trailer capacities.
class CFakeFleet : public COrderFleetLookups
{
  public:
    struct TPair
    {
        std::string driver;
        bool sweeper = false;
        float capacity = 0;
        int warehouseClass = 0;
    };
    std::vector<TPair> pairs;

    int GetPairCount() const override { return static_cast<int>(pairs.size()); }
    int FindByDriverCode(const std::string& code) const override
    {
        for (size_t row = 0; row < pairs.size(); ++row)
            if (pairs[row].driver == code)
                return static_cast<int>(row);
        return -1;
    }
    int FindLorryDriver(const std::string&, const std::string&,
                        const std::string& driver) const override
    {
        return FindByDriverCode(driver);
    }
    bool IsSweeperTrailer(int row) const override { return Valid(row) && pairs[row].sweeper; }
    bool GetPairDriver(int row, std::string& code, int& driverRow) const override
    {
        if (!Valid(row) || pairs[row].driver.empty())
            return false;
        code = pairs[row].driver;
        driverRow = row;
        return true;
    }
    const TLocationData* GetTruckBase(int) const override { return nullptr; }
    int GetWarehouseClass(int row) const override
    {
        return Valid(row) ? pairs[row].warehouseClass : 0;
    }
    float GetTrailerFirstCapacity(int row) const override
    {
        return Valid(row) ? pairs[row].capacity : -1;
    }
    int GetFirstBaseNode() const override { return 77; }

  private:
    bool Valid(int row) const { return row >= 0 && row < GetPairCount(); }
};

class CFakeRejections : public COrderRejections
{
  public:
    std::map<int, uint32_t> maskByRow;
    uint32_t GetMask(int, int row) const override
    {
        const auto found = maskByRow.find(row);
        return found == maskByRow.end() ? 0 : found->second;
    }
};

class CFakePlan : public CRunningPlan
{
  public:
    TPlannedStop stop;
    bool FindOrderStop(int, TPlannedStop& found) const override
    {
        found = stop;
        return true;
    }
};

class OrdersTest : public CleanModelTest
{
  protected:
    // Warehouses W0..W(n-1) at nodes 10, 11, ... each holding `products` products.
    static void AddWareHouses(int count)
    {
        for (int i = 0; i < count; ++i) {
            CWareHouse* wareHouse = ModelContext().wareHouses.AddWareHouse();
            wareHouse->index = i;
            wareHouse->location.code = "W" + std::to_string(i);
            wareHouse->location.nodeIndex = 10 + i;
        }
    }

    static void AddLine(COrder& order, int product, float volume)
    {
        auto* line = new COrderLine;
        line->productIndex = product;
        line->volume = volume;
        order.lines.Add(line);
    }
};

TEST_F(OrdersTest, NewOrderStartsAsTheParametersSay)
{
    COrder delivery;
    EXPECT_EQ(delivery.plan.kind, ORDER_DELIVERY);
    EXPECT_EQ(delivery.plan.partitionNumber, 1);
    EXPECT_EQ(delivery.plan.maximumCustomers, 2147483647);
    EXPECT_EQ(delivery.lines.GetGrowBy(), 10);

    UserParameters().DeliveryProblem = 1;
    COrder collection;
    EXPECT_EQ(collection.plan.kind, ORDER_COLLECTION);
}

TEST_F(OrdersTest, CopyTakesFieldsLinesAndExactlyTheSourceLists)
{
    COrder source;
    source.plan.index = 3;
    source.plan.kind = ORDER_DELIVERY_LOOSE;
    source.Text(ORDER_CODE) = "A7";
    source.Text(ORDER_FARE_ID) = "F1";
    source.Text(ZONA2) = "Z2";
    source.Text(GRUPO_ZONA) = "G";
    source.fixedFares.Add(10);
    source.fixedFares.Add(20);
    source.fixedReturnFares.Add(5);
    source.customer.location.code = "C1";
    source.customer.location.nodeIndex = 9;
    source.customer.postcodeIndex = 4;
    AddLine(source, 1, 2);
    AddLine(source, 2, 3);
    source.lines.header.totalVolume = 5;

    COrder copy;
    copy.fixedFares.Add(99); // an earlier value is replaced, not kept
    copy = source;
    copy = source; // copying twice must not double the lists
    EXPECT_EQ(copy.plan.index, 3);
    EXPECT_EQ(copy.plan.kind, ORDER_DELIVERY_LOOSE);
    EXPECT_EQ(copy.Text(ORDER_CODE), "A7");
    EXPECT_EQ(copy.Text(ORDER_FARE_ID), "F1");
    EXPECT_EQ(copy.Text(ZONA2), "Z2");
    EXPECT_EQ(copy.Text(GRUPO_ZONA), "G");
    ASSERT_EQ(copy.fixedFares.GetSize(), 2);
    EXPECT_FLOAT_EQ(copy.fixedFares[1], 20);
    EXPECT_EQ(copy.fixedReturnFares.GetSize(), 1);
    EXPECT_EQ(copy.customer.location.code, "C1");
    EXPECT_EQ(copy.customer.postcodeIndex, 4);
    ASSERT_EQ(copy.lines.GetSize(), 2);
    EXPECT_NE(copy.lines[0], source.lines[0]);
    EXPECT_EQ(copy.lines[0]->representedLines[0], copy.lines[0]);
    EXPECT_FLOAT_EQ(copy.lines.header.totalVolume, 5);
}

TEST_F(OrdersTest, KindDecidesDeliveryAndLoadingWarehouse)
{
    AddWareHouses(2);
    struct Case
    {
        int kind;
        int loadingProblem;
        bool delivery;
        int expected; // -1 none, -2 the order's own copy, else the warehouse index
    };
    const Case cases[] = {
        {ORDER_DELIVERY, 2, true, -2},
        {ORDER_COLLECTION, 3, false, 1},
        {ORDER_COLLECTION_EXCLUSIVE, 4, false, -2},
        {ORDER_COLLECTION_LOOSE, 3, false, -1},
        {ORDER_DELIVERY_LOOSE, 2, true, -1},
        {ORDER_DELIVERY, 0, true, -1},
    };
    for (const Case& c : cases) {
        UserParameters().LoadingProblem = c.loadingProblem;
        COrder order;
        order.plan.kind = c.kind;
        order.plan.warehouseIndex = 1;
        order.wareHouse.location.nodeIndex = 5;
        int node = -1;
        const CWareHouse* found =
            order.GetLoadingWarehouse(-1, nullptr, -1, &node, -1, nullptr, false);
        EXPECT_EQ(order.IsDelivery(), c.delivery) << c.kind;
        if (c.expected == -1) {
            EXPECT_EQ(found, nullptr) << c.kind << " " << c.loadingProblem;
        } else if (c.expected == -2) {
            EXPECT_EQ(found, &order.wareHouse) << c.kind << " " << c.loadingProblem;
            EXPECT_EQ(node, 5);
        } else {
            EXPECT_EQ(found, ModelContext().wareHouses[c.expected]) << c.kind;
            EXPECT_EQ(node, 11);
        }
    }
    // Asked to ignore the kind, a loose order has its warehouse too.
    UserParameters().LoadingProblem = 2;
    COrder loose;
    loose.plan.kind = ORDER_DELIVERY_LOOSE;
    EXPECT_EQ(loose.GetLoadingWarehouse(-1, nullptr, -1, nullptr, -1, nullptr, true),
              &loose.wareHouse);
}

TEST_F(OrdersTest, RankedWarehousesWithStocksTakeTheFirstThatFits)
{
    UserParameters().LoadingProblem = 3;
    AddWareHouses(3);
    CWareHouseNearnessTable& table = ModelContext().wareHouses.GetNearnessTable();
    table.Create(1, {0}, 1, {0}, 1, 3);
    const int32_t ranked[] = {2, 0, 1};
    table.SetRanked(0, 0, 0, ranked);

    COrder order;
    order.plan.index = 0;
    order.customer.location.nodeIndex = 0;
    AddLine(order, 0, 5);
    CRemainingQuantities stocks;
    stocks.Resize(3, 1);

    bool stockOk = false;
    EXPECT_EQ(order.GetLoadingWarehouse(-1, &stocks, -1, nullptr, -1, &stockOk, false),
              ModelContext().wareHouses[2]);
    EXPECT_TRUE(stockOk);

    UserParameters().ControlStocks = 1;
    stocks.Set(0, 0, 6);
    EXPECT_EQ(order.GetLoadingWarehouse(-1, &stocks, -1, nullptr, -1, &stockOk, false),
              ModelContext().wareHouses[0]);
    EXPECT_TRUE(stockOk);
    order.TakeCapacity(stocks, 0);
    EXPECT_FLOAT_EQ(stocks.Get(0, 0), 1);

    // None fits: the last ranked warehouse, with the stock short.
    EXPECT_EQ(order.GetLoadingWarehouse(-1, &stocks, -1, nullptr, -1, &stockOk, false),
              ModelContext().wareHouses[1]);
    EXPECT_FALSE(stockOk);

    // Without a vehicle state there is no search.
    EXPECT_EQ(order.GetLoadingWarehouse(-1, nullptr, -1, nullptr, -1, &stockOk, false), nullptr);
}

TEST_F(OrdersTest, LocatedNeedsTheLoadingAndDeliveryNodes)
{
    AddWareHouses(1);
    COrder order;
    order.customer.location.nodeIndex = 3;
    order.customer.location.reference = 0;
    EXPECT_TRUE(order.IsLocated());
    UserParameters().LoadingProblem = 2;
    EXPECT_FALSE(order.IsLocated()); // the warehouse copy has no node
    order.wareHouse.location.nodeIndex = 1;
    EXPECT_TRUE(order.IsLocated());

    UserParameters().CustomerInOrderLines = 1;
    EXPECT_FALSE(order.IsLocated()); // no lines
    AddLine(order, 0, 1);
    order.lines[0]->customer.location.nodeIndex = 8;
    EXPECT_TRUE(order.IsLocated());
    EXPECT_EQ(order.GetNode(), 8);
}

TEST_F(OrdersTest, AssignmentWithoutSubtripFreesTheOrder)
{
    COrder order;
    order.plan.deactivated = true;
    order.SetAssignment(-1, -1, "TRUCK", "TRAILER", "D1", 2, 0, true, CTimeWindow(600, 660),
                        CTimeWindow(300, 360), CTimeWindow(400, 460), "");
    EXPECT_FALSE(order.plan.deactivated);
    EXPECT_EQ(order.plan.assigned, 0);
    EXPECT_EQ(order.plan.assignedTrip, 2);
    EXPECT_TRUE(order.customer.assignedWindow.IsUnset());
    EXPECT_TRUE(order.plan.assignedLoadingWindow.IsUnset());
    EXPECT_TRUE(order.plan.changedByUser);

    order.SetAssignment(-1, -1, "TRUCK", "TRAILER", "D1", 2, 1, true, CTimeWindow(600, 660),
                        CTimeWindow(300, 360), CTimeWindow(400, 460), "");
    EXPECT_EQ(order.plan.assigned, 2);
    EXPECT_EQ(order.customer.assignedWindow.start, 600);
    EXPECT_EQ(order.plan.assignedLoadingWindow.start, 300); // a delivery loads in its window

    order.ClearAssignment();
    EXPECT_EQ(order.plan.assigned, 0);
    EXPECT_TRUE(order.Text(ASSIGNED_TRUCK).empty());
    EXPECT_TRUE(order.customer.assignedWindow.IsUnset());
}

TEST_F(OrdersTest, AssignmentFindsDriversAndSweepersKeepTheOrdersDriver)
{
    CFakeFleet fleet;
    fleet.pairs = {{"D0"}, {"D1"}, {"SW", true}};
    ModelContext().fleet = &fleet;

    COrder order;
    order.SetAssignment(-1, 1, "T", "R", "", 1, 1, false, {}, {}, {}, "");
    EXPECT_EQ(order.Text(ASSIGNED_DRIVER), "D1");
    EXPECT_EQ(order.plan.assignedDriverRow, 1);
    EXPECT_EQ(order.plan.assignedPairRow, 1);
    EXPECT_EQ(order.plan.assigned, 1);

    order.SetAssignment(-1, 2, "T", "R", "SW", 1, 1, false, {}, {}, {}, "");
    EXPECT_EQ(order.Text(ASSIGNED_ESCOBADO), "SW");
    EXPECT_EQ(order.Text(ASSIGNED_DRIVER), "D1");
    EXPECT_EQ(order.plan.assignedDriverRow, 1);
}

TEST_F(OrdersTest, AssignmentIsComparedWithTheRunningPlan)
{
    CFakePlan runningPlan;
    runningPlan.stop = {"T", "R", "D", 4, 2, 4};
    struct Case
    {
        const char* truck;
        int position;
        int trip;
        int changed;
    };
    for (const Case& c :
         {Case{"OTHER", 5, 2, 3}, Case{"T", 3, 2, 2}, Case{"T", 5, 1, 1}, Case{"T", 5, 2, 0}}) {
        COrder order;
        ModelContext().runningPlan = nullptr;
        order.CompareWithPlan(c.truck, "R", "D", c.position, c.trip);
        EXPECT_EQ(order.plan.assignmentChanged, 0) << "no engine, no comparison";
        ModelContext().runningPlan = &runningPlan;
        order.CompareWithPlan(c.truck, "R", "D", c.position, c.trip);
        EXPECT_EQ(order.plan.assignmentChanged, c.changed) << c.truck << c.position << c.trip;
    }
}

TEST_F(OrdersTest, LargestTrailerSkipsPairsThatRejectTheOrder)
{
    COrder order;
    EXPECT_EQ(order.GetLargestCapacityTrailer(), -1);
    CFakeFleet fleet;
    fleet.pairs = {{"A", false, 10}, {"B", false, 30}, {"C", false, 20}};
    CFakeRejections rejections;
    rejections.maskByRow[1] = 0x100;
    ModelContext().fleet = &fleet;
    ModelContext().rejections = &rejections;
    EXPECT_EQ(order.GetLargestCapacityTrailer(), 2);
    rejections.maskByRow = {{0, 1}, {1, 1}, {2, 1}};
    EXPECT_EQ(order.GetLargestCapacityTrailer(), -1);
}

TEST_F(OrdersTest, PartitionCopiesDoubleTheOrdersAndLeaveTheParameter)
{
    std::vector<COrder> orders(7);
    std::vector<const COrder*> list;
    for (size_t i = 0; i < orders.size(); ++i) {
        orders[i].plan.index = static_cast<int>(i);
        AddLine(orders[i], 0, 1);
        list.push_back(&orders[i]);
    }
    COrdersParticionesData copies;
    copies.Build(list);
    EXPECT_EQ(copies.GetSize(), 0);
    EXPECT_EQ(copies.GetPartitionCount(), 0);

    UserParameters().Particiones = 1;
    copies.Build(list);
    ASSERT_EQ(copies.GetSize(), 14);
    EXPECT_EQ(copies.GetPartitionCount(), 7);
    EXPECT_EQ(UserParameters().Particiones, 1);
    EXPECT_EQ(copies[9].plan.index, 2);
    EXPECT_EQ(copies[9].lines.GetSize(), 1);
}

} // namespace

namespace {

TEST_F(OrdersTest, CatalogueReachesTheCustomerAndLinesOfAnOrder)
{
    COrdersNavigation navigation;
    COrder order;
    const TEntityRef orderRef(order);
    EXPECT_EQ(navigation.GetOrderDeliveryPoint(orderRef).Get<CCustomer>(), &order.customer);
    EXPECT_TRUE(navigation.IsDeliveryOrder(orderRef));

    struct Read
    {
        const char* code;
        int priority;
        float volume;
    };
    for (const Read& read : {Read{"P2", 2, 1}, Read{"P1", 1, 1}, Read{"p2", 0, 3}}) {
        const std::unique_ptr<CEntityHolder> holder = navigation.NewOrderLine();
        COrderLine* line = holder->Get().Get<COrderLine>();
        ASSERT_NE(line, nullptr);
        line->productCode = read.code;
        line->compartmentPriority = read.priority;
        line->volume = read.volume;
        const int index = navigation.FindOrderLine(orderRef, holder->Get(), false);
        if (index < 0)
            navigation.AddOrderLineCopy(orderRef, holder->Get());
        else
            navigation.AccumulateOrderLine(orderRef, index, holder->Get());
    }
    ASSERT_EQ(navigation.GetOrderLineCount(orderRef), 2);
    const COrderLine* first = navigation.GetOrderLine(orderRef, 0).Get<COrderLine>();
    EXPECT_EQ(first->productCode, "P1");
    EXPECT_FLOAT_EQ(order.lines[1]->volume, 4); // the second "P2" record joined the first
    EXPECT_FLOAT_EQ(order.lines.header.totalVolume, 2);
    EXPECT_TRUE(navigation.GetOrderLine(orderRef, 2).IsNull());
    EXPECT_EQ(
        navigation.GetLineDeliveryPoint(navigation.GetOrderLine(orderRef, 1)).Get<CCustomer>(),
        &order.lines[1]->customer);
    // Another entity is not an order.
    EXPECT_TRUE(navigation.GetOrderDeliveryPoint(TEntityRef(*order.lines[0])).IsNull());
}

} // namespace
