#include "model/WareHouses.h"

#include "model/ModelContext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CWareHouse WithFixedTimes(std::initializer_list<std::pair<int, int>> hours, int otherHours)
{
    CWareHouse wareHouse;
    wareHouse.fixedTimes.SetSize(CWareHouse::FixedTimeHours);
    for (int h = 0; h < CWareHouse::FixedTimeHours; ++h)
        wareHouse.fixedTimes[h] = static_cast<unsigned short>(otherHours);
    for (auto [hour, minutes] : hours)
        wareHouse.fixedTimes[hour] = static_cast<unsigned short>(minutes);
    wareHouse.BuildFixedTimeTables();
    return wareHouse;
}

TEST(WareHouseFixedTimes, EqualHoursWrapPastMidnight)
{
    const CWareHouse wareHouse = WithFixedTimes({}, 20);
    for (int arrival : {0, 480, 1419})
        EXPECT_EQ(wareHouse.GetFinishOfArrival(arrival), arrival + 20) << arrival;
    // The last arrivals of the day finish on the next one, and those finishes point back.
    for (int arrival = 1420; arrival < 1440; ++arrival) {
        EXPECT_EQ(wareHouse.GetFinishOfArrival(arrival), arrival + 20);
        EXPECT_EQ(wareHouse.GetArrivalOfFinish(arrival - 1420), arrival);
    }
    EXPECT_EQ(wareHouse.GetArrivalOfFinish(500), 480);
}

TEST(WareHouseFixedTimes, LateArrivalsBlendIntoTheNextHour)
{
    // 20 minutes in hours 7 and 8, 40 from 9 on (and before 7).
    const CWareHouse wareHouse = WithFixedTimes({{7, 20}, {8, 20}}, 40);
    struct Case
    {
        int arrival;
        int stay;
    } cases[] = {{8 * 60, 20}, {8 * 60 + 39, 20}, {8 * 60 + 40, 6}, {8 * 60 + 59, 13}};
    for (const Case& c : cases)
        EXPECT_EQ(wareHouse.GetFinishOfArrival(c.arrival) - c.arrival, c.stay) << c.arrival;
}

TEST(WareHouses, ListOperations)
{
    CWareHouses list;
    for (const char* code : {"MAD", "bcn", "VLC"}) {
        CWareHouse* wareHouse = list.AddWareHouse();
        wareHouse->location.code = code;
    }
    list.Renumber();
    EXPECT_EQ(list.FindWareHouse("BCN"), 1);
    EXPECT_EQ(list.FindWareHouse("mad", 1), -1);
    EXPECT_EQ(list.FindWareHouse("VLC", 3), -1);

    list.RemoveWareHouse(7);
    list.RemoveWareHouse(0);
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list[0]->index, 0);
    EXPECT_EQ(list[1]->index, 1);
    EXPECT_EQ(list.FindWareHouse("vlc"), 1);

    list.GetNearnessTable().Create(2, {0, 1, 2}, 3, {0}, 1, 2);
    EXPECT_EQ(list.GetNearnessTable().GetRanked(1, 2, 0)[1], -1);
    list.RemoveAll();
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_EQ(list.GetNearnessTable().GetCount(), 0);
}

TEST(WareHouses, ProductSpeedsAndSharedProductIndexes)
{
    ResetModelContext();
    CProducts& products = ModelContext().products;
    EXPECT_EQ(products.FindOrAddProduct("P1", "Diesel", ""), 0);
    EXPECT_EQ(products.FindOrAddProduct("P2", "Petrol", ""), 1);
    // Products are the same by name, whatever their code.
    EXPECT_EQ(products.FindOrAddProduct("X9", "Diesel", ""), 0);
    EXPECT_EQ(products.GetSize(), 2);

    CWareHouse wareHouse;
    wareHouse.products.AddProduct()->loadingSpeed = 12.5f;
    EXPECT_FLOAT_EQ(wareHouse.GetProductSpeed(0), 12.5f);
    EXPECT_EQ(wareHouse.GetProductSpeed(1), 0.0f);
    EXPECT_EQ(wareHouse.GetProductSpeed(-1), 0.0f);

    // Copies own their products.
    CWareHouse copy = wareHouse;
    copy.products[0]->loadingSpeed = 3;
    EXPECT_FLOAT_EQ(wareHouse.GetProductSpeed(0), 12.5f);
    ResetModelContext();
}

} // namespace
