// The plan's order list: identity by position, lookups, counters and assignment.

#include "CleanModelTest.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class OrdersListTest : public CleanModelTest
{
  protected:
    COrder& Add(const char* code, int partition = 1, const char* customer = "")
    {
        COrder* order = orders.AddOrder();
        order->plan.index = orders.GetSize() - 1;
        order->Text(ORDER_CODE) = code;
        order->plan.partitionNumber = partition;
        order->customer.location.code = customer;
        return *order;
    }
    COrders orders;
};

TEST_F(OrdersListTest, LookupsByCodeKeepTheirDirectionsAndStarts)
{
    Add("A7", 1);
    Add("B1", 1);
    Add("A7", 2);
    Add("A7", 1);
    struct Case
    {
        const char* code;
        int start;
        bool backwards;
        int found;
        int count;
    } cases[] = {
        {"a7", 0, false, 0, 3}, // the searched code is upper-cased
        {"A7", 1, false, 2, 2},  {"A7", 2, true, 2, 2},
        {"A7", 4, false, -1, 0}, // a start at the count finds nothing
        {"B1", 3, false, -1, 0}, {"C9", 0, false, -1, 0},
    };
    for (const Case& c : cases) {
        int count = -5;
        EXPECT_EQ(orders.FindOrderByCode(c.code, count, c.start, c.backwards), c.found)
            << c.code << " from " << c.start;
        EXPECT_EQ(count, c.count) << c.code << " from " << c.start;
    }
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, -1), 3); // the latest piece first
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, 1), 3);
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, 0), 0);
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 2, 3), -1);
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, 4), -1);
    EXPECT_EQ(orders.GetMaxPartitionNumber("A7"), 2);
    EXPECT_EQ(orders.GetMaxPartitionNumber("a7"), 0); // no upper-casing here

    // The index follows codes changed in place, removals and insertions.
    orders[1]->Text(ORDER_CODE) = "A7";
    orders.CodesChanged();
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, 0), 0);
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, 1), 1);
    orders.RemoveOrderLines(0);
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, -1), 2);
    COrder* inserted = orders.InsertOrderAt(0);
    ASSERT_NE(inserted, nullptr);
    inserted->Text(ORDER_CODE) = "A7";
    inserted->plan.partitionNumber = 5;
    orders.CodesChanged();
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 5, -1), 0);
    EXPECT_EQ(orders.FindOrderByCodeAndPartition("A7", 1, -1), 3);

    COrders empty;
    EXPECT_EQ(empty.FindOrderByCodeAndPartition("A7", 1, -1), -1);
}

TEST_F(OrdersListTest, CustomerAndLineLookups)
{
    COrder& first = Add("A7", 1, "abcdef");
    first.customer.location.name = "Depot North";
    COrder& second = Add("B1", 2, "xbcd");
    second.customer.location.city = "Sevilla";
    auto* line = new COrderLine;
    line->productCode = "Gas95";
    line->productName = "GASOLINE";
    line->partition = 3;
    second.lines.Add(line);

    // MatchText: the value upper-cased and cut to the length before the comparison.
    EXPECT_TRUE(MatchText("abcdef", "ABC", true, 3));
    EXPECT_FALSE(MatchText("abcdef", "BCD", true, 3));
    EXPECT_FALSE(MatchText("abcdef", "BCD", false, 3));
    EXPECT_TRUE(MatchText("abcdef", "BCD", false, -1));
    EXPECT_EQ(orders.FindOrderByPattern("BCD", 0, false, -1, false), 0);
    EXPECT_EQ(orders.FindOrderByPattern("BCD", 1, false, -1, true), 1);
    EXPECT_EQ(orders.FindOrderByPattern("ABC", 1, true, 3, false), -1);
    EXPECT_EQ(orders.MatchCustomerName("NORTH", 0), 0);
    EXPECT_EQ(orders.MatchCustomerCity("VILL", 1), 1);
    EXPECT_EQ(orders.MatchCustomerCity("VILL", 0), -1);

    int position = 7;
    EXPECT_EQ(orders.FindOrderByLineProduct("GAS95", 2, position), 1);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(orders.FindOrderByLineProduct("GAS95", 1, position), -1);
    EXPECT_EQ(position, -1);
    EXPECT_EQ(orders.FindOrderByLineProductAnyPartition("gas95", position), 1);
    EXPECT_EQ(orders.FindOrderWithLine("B1", "Gas95", 0), 1);
    EXPECT_EQ(orders.FindOrderWithLine("B1", "GAS95", 0), -1); // compared as stored
    EXPECT_EQ(orders.GetMaxProductPartition("B1", "GASOLINE"), 3);
    orders.SetLinesStockForAutoAssign("GASOLINE", 12);
    EXPECT_EQ(line->stockForAutoAssign, 12);

    // With customers in the lines, the lines' customers are matched; no line, no match.
    UserParameters().CustomerInOrderLines = 1;
    line->customer.location.code = "LINECUST";
    EXPECT_EQ(orders.MatchCustomerCode("LINE", 1, false, -1), 1);
    EXPECT_EQ(orders.MatchCustomerCode("ABC", 0, false, -1), -1);
}

TEST_F(OrdersListTest, RemovingAndInsertingKeepIndexesDense)
{
    Add("A");
    Add("B");
    Add("C");
    orders.ordersChanged = 0;
    orders.RemoveOrderLines(0);
    ASSERT_EQ(orders.GetSize(), 2);
    EXPECT_EQ(orders[0]->plan.index, 0);
    EXPECT_EQ(orders[1]->plan.index, 1);
    EXPECT_EQ(orders[0]->Text(ORDER_CODE), "B");
    EXPECT_EQ(orders.ordersChanged, 1);
    orders.RemoveOrderLines(5); // ignored
    EXPECT_EQ(orders.GetSize(), 2);

    // Beyond the end nothing is inserted: no empty slot ever enters the list.
    EXPECT_EQ(orders.InsertOrderAt(3), nullptr);
    ASSERT_EQ(orders.GetSize(), 2);
    COrder* appended = orders.InsertOrderAt(2);
    ASSERT_NE(appended, nullptr);
    COrder* first = orders.InsertOrderAt(0);
    ASSERT_EQ(orders.GetSize(), 4);
    EXPECT_EQ(orders[0], first);
    for (int i = 0; i < orders.GetSize(); ++i) {
        ASSERT_NE(orders[i], nullptr);
        EXPECT_EQ(orders[i]->plan.index, i);
    }
}

TEST_F(OrdersListTest, CountersAssignmentAndWarehouses)
{
    for (const char* code : {"A", "B", "C"}) {
        COrder& order = Add(code);
        order.customer.location.nodeIndex = 4;
        order.customer.location.reference = 0;
        order.plan.possibleRow = 0;
    }
    orders[1]->plan.deactivated = 1;
    orders[2]->lines.header.maySplit = 1;
    EXPECT_EQ(orders.CountSchedulableOrders(), 2);
    EXPECT_EQ(orders.CountSplittableOrders(), 1);

    // An assignment from a panel carries no times: the windows stay unset.
    COrder& order = *orders[0];
    order.customer.assignedWindow = CTimeWindow(480, 600);
    EXPECT_EQ(orders.AssignOrderToResource(0, 2, "T1", "R1", "D1", 1, 1, true, ""), 1);
    EXPECT_EQ(order.plan.assigned, 2);
    EXPECT_EQ(order.Text(ASSIGNED_TRUCK), "T1");
    EXPECT_EQ(order.customer.assignedWindow, CTimeWindow());
    EXPECT_EQ(order.plan.assignedLoadingWindow, CTimeWindow());
    EXPECT_EQ(orders.CountSchedulableOrders(), 1);

    CWareHouses& wareHouses = ModelContext().wareHouses;
    for (const char* code : {"MAD", "BCN"})
        wareHouses.AddWareHouse()->location.code = code;
    wareHouses.Renumber();
    orders[2]->wareHouse.location.code = "BCN";
    EXPECT_TRUE(orders.ResolveWarehouseIndexes());
    EXPECT_EQ(orders[2]->plan.warehouseIndex, 1);
    EXPECT_EQ(orders[0]->plan.warehouseIndex, -1);
    EXPECT_FALSE(orders.ResolveWarehouseIndexes());
}

TEST(TimeTableLimit, LastEndAndDays)
{
    CTimeTable table;
    EXPECT_EQ(table.GetLimitMinute(false, 0), 14400);
    EXPECT_EQ(table.GetLimitMinute(true, 2), 2 * 1440 + 14400);
    EXPECT_EQ(table.GetLimitMinute(true, UnsetDay), 2147483647);
    table.InsertWindow(480, 600);
    table.InsertWindow(900, 1000);
    table.lastDay = 3;
    EXPECT_EQ(table.GetLimitMinute(false, 5), 1000);
    EXPECT_EQ(table.GetLimitMinute(true, 1), 1440 + 1000);
    EXPECT_EQ(table.GetLimitMinute(true, UnsetDay), 3 * 1440 + 1000);
}

} // namespace
