// Dock slots and stocks while a plan is decoded: finding a slot run with room, booking it, and
// the lists of the warehouses and of the orders' loading docks at full capacity.

#include "model/WareHousesData.h"

#include "CleanModelTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class WareHousesDataTest : public CleanModelTest
{
  protected:
    // A day of 96 quarter-hour slots, every one holding `left`.
    static CWareHouseData Day(int mode, int left)
    {
        CWareHouseData entry;
        entry.slotMinutes = 15;
        entry.dockMode = mode;
        entry.counters.assign(96, static_cast<uint16_t>(left));
        return entry;
    }
    static COrder* AddOrder(const std::string& code, const std::string& dockCode,
                            std::vector<unsigned short> docks = {})
    {
        COrder* order = ModelContext().orders.AddOrder();
        order->wareHouse.location.code = code;
        order->wareHouse.dockCode = dockCode;
        for (unsigned short value : docks)
            order->wareHouse.docksPerSlot.Add(value);
        return order;
    }
};

TEST_F(WareHousesDataTest, FindSlotsMovesALoadingToARunWithRoom)
{
    struct Case
    {
        const char* name;
        int mode;
        int quantity;
        std::vector<std::pair<int, int>> counters; // slot, value; every other slot holds 20
        int arrival;
        int duration;
        int shift;
        int firstSlot;
        int slotCount;
    };
    const Case cases[] = {
        {"own run free", 1, 1, {}, 605, 30, 0, 40, 2},
        {"first slot full", 1, 1, {{40, 0}}, 605, 30, 10, 41, 2},
        {"half fits", 2, 10, {{40, 6}, {41, 6}}, 605, 30, 0, 40, 2},
        {"half does not fit", 2, 10, {{40, 5}}, 605, 30, 570 - 605, 38, 2},
        {"all must fit", 3, 10, {{40, 10}}, 605, 30, 615 - 605, 41, 2},
        {"more than all fits", 3, 10, {{40, 11}, {41, 11}}, 605, 30, 0, 40, 2},
        {"no duration is one slot", 1, 1, {}, 605, 0, 0, 40, 1},
        {"sixteen minutes are two", 1, 1, {}, 605, 16, 0, 40, 2},
        {"before the day", 1, 1, {}, -5, 30, 0, 0, 2},
        {"after the day", 1, 1, {}, 1441, 30, 0, 96, 2},
        {"run past the day's end", 1, 1, {}, 1430, 30, 0, 95, 2},
    };
    for (const Case& c : cases) {
        CWareHouseData entry = Day(c.mode, 20);
        for (const auto& [slot, value] : c.counters)
            entry.counters[static_cast<std::size_t>(slot)] = static_cast<uint16_t>(value);
        int firstSlot = -2;
        int slotCount = -2;
        EXPECT_EQ(entry.FindSlots(c.arrival, c.duration, firstSlot, slotCount, c.quantity), c.shift)
            << c.name;
        EXPECT_EQ(firstSlot, c.firstSlot) << c.name;
        EXPECT_EQ(slotCount, c.slotCount) << c.name;
    }
}

TEST_F(WareHousesDataTest, ASearchWithoutRoomEndsAtTheDaysEdge)
{
    // Forwards the search stops past the last slot, which books nothing.
    CWareHouseData forwards = Day(1, 0);
    int firstSlot = 0;
    int slotCount = 0;
    EXPECT_EQ(forwards.FindSlots(605, 30, firstSlot, slotCount, 1), 96 * 15 - 605);
    EXPECT_EQ(firstSlot, 96);
    EXPECT_EQ(forwards.TakeSlots(firstSlot, slotCount, 1), 96);

    // Backwards it stops at slot -1.
    CWareHouseData backwards = Day(2, 1);
    EXPECT_EQ(backwards.FindSlots(605, 30, firstSlot, slotCount, 10), -15 - 605);
    EXPECT_EQ(firstSlot, -1);

    // An entry without counters has no day at all.
    CWareHouseData none;
    EXPECT_EQ(none.FindSlots(605, 30, firstSlot, slotCount, 1), 0);
    EXPECT_EQ(none.TakeSlots(0, 2, 1), 0);
}

TEST_F(WareHousesDataTest, BookingLowersTheRunAndNeverWraps)
{
    struct Case
    {
        const char* name;
        int mode;
        int left;
        int quantity;
        int expected;
    };
    const Case cases[] = {
        {"one dock", 1, 3, 50, 2},
        {"quantity", 2, 30, 10, 20},
        {"beyond what is left", 2, 6, 10, 0},
        {"all of it", 3, 11, 11, 0},
        {"negative quantity", 3, 65530, -10, 65535},
    };
    for (const Case& c : cases) {
        CWareHouseData entry = Day(c.mode, c.left);
        entry.counters[42] = 0;
        EXPECT_EQ(entry.TakeSlots(40, 3, c.quantity), 43) << c.name;
        EXPECT_EQ(entry.counters[39], c.left) << c.name;
        EXPECT_EQ(entry.counters[40], c.expected) << c.name;
        EXPECT_EQ(entry.counters[41], c.expected) << c.name;
        EXPECT_EQ(entry.counters[42], 0) << c.name; // an empty slot stays empty
        EXPECT_EQ(entry.counters[43], c.left) << c.name;
    }
    // Slots outside the day are skipped.
    CWareHouseData entry = Day(1, 2);
    EXPECT_EQ(entry.TakeSlots(-1, 2, 1), 1);
    EXPECT_EQ(entry.counters[0], 1);
    EXPECT_EQ(entry.TakeSlots(95, 3, 1), 98);
    EXPECT_EQ(entry.counters[95], 1);
}

TEST_F(WareHousesDataTest, FindAndTakeAddsTheShiftToTheWait)
{
    CWareHouseData entry = Day(1, 1);
    entry.counters[40] = 0;
    int wait = 5;
    EXPECT_EQ(entry.FindAndTakeSlots(605, 30, wait, 1), 43);
    EXPECT_EQ(wait, 15);
    EXPECT_EQ(entry.counters[41], 0);
    EXPECT_EQ(entry.counters[42], 0);
    EXPECT_EQ(entry.TakeSlotsAt(605, 16, 1), 42);
    EXPECT_EQ(entry.counters[43], 1);
}

TEST_F(WareHousesDataTest, ADocksListFillsTheDay)
{
    CWareHouseData entry = Day(1, 9);
    CSmartWordArray list;
    list.Add(1);
    list.Add(2);
    list.Add(3);
    entry.FillFromList(list);
    ASSERT_EQ(list.GetSize(), 96);
    EXPECT_EQ(entry.counters[0], 1);
    EXPECT_EQ(entry.counters[1], 2);
    for (int slot = 2; slot < 96; ++slot)
        EXPECT_EQ(entry.counters[static_cast<std::size_t>(slot)], 3) << slot;

    CSmartWordArray empty;
    entry.counters[5] = 7;
    entry.FillFromList(empty);
    EXPECT_EQ(entry.counters[5], 7);
}

TEST_F(WareHousesDataTest, WarehousesGiveDocksAndStocksWithTheirOwnLoadingProblem)
{
    UserParameters().LoadingProblem = 3;
    UserParameters().ControlStocks = 1;
    ModelContext().products.FindOrAddProduct("P0", "Zero", "");
    ModelContext().products.FindOrAddProduct("P1", "One", "");
    for (int w = 0; w < 2; ++w) {
        CWareHouse* wareHouse = ModelContext().wareHouses.AddWareHouse();
        wareHouse->docksPerSlot.Add(static_cast<unsigned short>(w + 2));
        TProductWareHouse* product = wareHouse->products.AddProduct();
        product->productIndex = 1;
        product->stock = 100.0f * (w + 1);
    }
    struct Case
    {
        int controlDocks;
        int expectedCounter; // counters of entry 1
    };
    // Mode 1 leaves the counters as they were sized; modes 2 and 3 read the docks lists.
    const Case cases[] = {{1, 0}, {2, 3}, {3, 3}};
    for (const Case& c : cases) {
        UserParameters().ControlDocks = c.controlDocks;
        CWareHousesData list;
        list.Reset();
        ASSERT_EQ(list.GetSize(), 2);
        ASSERT_EQ(list[1]->GetSlotCount(), 96);
        EXPECT_EQ(list[1]->counters[95], c.expectedCounter) << c.controlDocks;
        ASSERT_EQ(list[1]->stocks.size(), 2u);
        EXPECT_EQ(list[1]->stocks[1], 200.0f);
        EXPECT_EQ(list[1]->stocks[0], 0.0f);

        // A decoding draws down; the refill puts back what the warehouses give.
        list[1]->stocks[1] = 5.0f;
        list[1]->TakeSlots(0, 1, 1);
        list.FillCapacities();
        EXPECT_EQ(list[1]->stocks[1], 200.0f);
        EXPECT_EQ(list[1]->counters[0], c.controlDocks == 1 ? 0 : 3);
        EXPECT_EQ(list[1]->counters[95], c.expectedCounter);
    }
}

TEST_F(WareHousesDataTest, OrdersSharingADockKeyShareAnEntry)
{
    UserParameters().LoadingProblem = 5;
    UserParameters().ControlDocks = 1;
    UserParameters().DocksDisponiblesPorHora = 2;
    ModelContext().wareHouses.AddWareHouse();
    COrder* first = AddOrder("W1", "dock-a", {4});
    COrder* second = AddOrder("W2", "DOCK-A", {9});
    COrder* third = AddOrder("w3", "", {1, 2});
    COrder* fourth = AddOrder("W3", "", {7});

    CWareHousesData list;
    list.Reset();
    // Key numbers start at 0 whatever the number of warehouses: one entry per warehouse, then
    // one per key.
    ASSERT_EQ(list.GetSize(), 3);
    EXPECT_EQ(first->wareHouse.dockDataIndex, 0);
    EXPECT_EQ(second->wareHouse.dockDataIndex, 0);
    EXPECT_EQ(third->wareHouse.dockDataIndex, 1);
    EXPECT_EQ(fourth->wareHouse.dockDataIndex, 1);
    ASSERT_EQ(list[0]->GetSlotCount(), 48);
    EXPECT_EQ(list[0]->counters[47], 4); // the key's first order gives the docks
    EXPECT_EQ(list[1]->counters[0], 1);
    EXPECT_EQ(list[1]->counters[47], 2);
    EXPECT_EQ(list[2]->counters[0], 0);
    EXPECT_EQ(list[0]->slotMinutes, 30);
    // The warehouses' own lists are shared by every workspace and stay as they were.
    EXPECT_EQ(first->wareHouse.docksPerSlot.GetSize(), 1);
}

TEST_F(WareHousesDataTest, TheProgramWideListTakesTheBestPlansState)
{
    // Built whatever the parameters say, and not filled.
    ModelContext().wareHouses.AddWareHouse()->docksPerSlot.Add(3);
    ModelContext().wareHousesData.Build();
    ASSERT_EQ(ModelContext().wareHousesData.GetSize(), 1);
    EXPECT_EQ(ModelContext().wareHousesData[0]->GetSlotCount(), 0);

    UserParameters().LoadingProblem = 3;
    UserParameters().ControlDocks = 2;
    ModelContext().wareHousesData.Build();
    CWareHousesData workspace;
    workspace.Reset();
    workspace[0]->TakeSlots(10, 1, 2);
    workspace.CopyToGlobal();
    const CWareHouseData& global = *ModelContext().wareHousesData[0];
    ASSERT_EQ(global.GetSlotCount(), 96);
    EXPECT_EQ(global.counters[10], 1);
    EXPECT_EQ(global.counters[11], 3);

    ClearGlobalWareHousesData();
    EXPECT_EQ(ModelContext().wareHousesData.GetSize(), 0);
    // Both parameters off: a workspace keeps no entries.
    UserParameters().ControlDocks = 0;
    workspace.Reset();
    EXPECT_EQ(workspace.GetSize(), 0);
}

} // namespace
