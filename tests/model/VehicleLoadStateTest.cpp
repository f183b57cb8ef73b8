#include "model/VehicleLoadState.h"

#include "CleanModelTest.h"
#include "model/Resources.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class VehicleLoadStateTest : public CleanModelTest
{
};

TEST_F(VehicleLoadStateTest, ResetSetsStartValuesAndSizesTheListsZeroed)
{
    TVehicleLoadState state;
    state.pairRow = 4;
    state.accumulatedMinutes = 300;
    state.currentTime = 12;
    state.indexes[3] = 7;
    state.tripLimits[2] = 5;
    state.customerFlags.assign(3, 1);
    state.onBoardLines.totalVolume = 9;
    state.onBoardLines.volumes.Add(9);
    state.intValues.push_back(1);

    TLoadStateSizes sizes;
    sizes.fareCounters = 4;
    sizes.customerCodes = 10;
    sizes.drivers = 6;
    sizes.productGroups = 2;
    sizes.perDayIncompatibilities = true;
    sizes.mayDelayDeparture = true;
    state.Reset(sizes);

    EXPECT_EQ(state.pairRow, 4); // the row stays with its pair
    EXPECT_EQ(state.accumulatedMinutes, 0);
    EXPECT_EQ(state.currentTime, kLoadStateUnsetTime);
    EXPECT_EQ(state.earliestTime, kLoadStateUnsetTime);
    EXPECT_EQ(state.latestTime, kLoadStateNoLimit);
    EXPECT_EQ(state.baseNode, -1);
    EXPECT_EQ(state.indexes[3], -1);
    EXPECT_EQ(state.tripLimits[2], kLoadStateNoLimit);
    EXPECT_EQ(state.bestTripValue, std::numeric_limits<float>::max());
    EXPECT_EQ(state.threshold, 1000000);
    EXPECT_EQ(state.allowedDepartureDelay, kLoadStateNoLimit);
    EXPECT_EQ(state.mayDelayDeparture, 1);
    EXPECT_EQ(state.fareCounters, std::vector<int32_t>(4, 0));
    EXPECT_EQ(state.customerFlags, std::vector<uint8_t>(10, 0));
    EXPECT_EQ(state.driverCounters.size(), 6u);
    EXPECT_EQ(state.orderGroupCounters.size(), 3u);
    EXPECT_EQ(state.perDayList.size(), 100u);
    EXPECT_EQ(state.onBoardLines.volumes.GetSize(), 0);
    EXPECT_EQ(state.onBoardLines.totalVolume, 0);
    EXPECT_TRUE(state.intValues.empty());

    sizes.mayDelayDeparture = false;
    state.Reset(sizes);
    EXPECT_EQ(state.allowedDepartureDelay, 0);
    EXPECT_EQ(state.mayDelayDeparture, 0);
}

TEST_F(VehicleLoadStateTest, TripStartPassesKilometresOnOnlyFromATripWithoutUnloads)
{
    CTrailer trailer;
    trailer.overloadedCapacity[0] = 20000;
    trailer.overloadedCapacity[2] = 30;
    trailer.notInBulkCapacity1 = 5;
    CLorry lorry(nullptr, &trailer);
    TLoadStateSizes sizes;
    sizes.customerCodes = 2;
    TVehicleLoadState state;
    state.Reset(sizes);

    state.tripKm = 40;
    state.customerFlags[1] = 1;
    state.StartTrip(&lorry, sizes);
    EXPECT_EQ(state.tripKm, 40); // no unload yet: the km go on
    EXPECT_EQ(state.capacities[0], 20000);
    EXPECT_EQ(state.capacityCopies[2], 30);
    EXPECT_EQ(state.notInBulkCapacity, 5);
    EXPECT_EQ(state.customerFlags[1], 0);

    state.tripUnloads = 2;
    state.StartTrip(nullptr, sizes);
    EXPECT_EQ(state.tripKm, 0);
    EXPECT_EQ(state.tripUnloads, 0);
    EXPECT_EQ(state.capacities[0], 0);

    sizes.keepCustomerFlagsBetweenTrips = true;
    state.customerFlags[0] = 1;
    state.StartTrip(nullptr, sizes);
    EXPECT_EQ(state.customerFlags[0], 1);
}

} // namespace
