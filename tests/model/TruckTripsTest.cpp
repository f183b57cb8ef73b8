#include "model/TruckTrips.h"

#include "CleanModelTest.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/Resources.h"
#include "params/StateColors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Orders that exist only inside a workspace.
class FakeAdditionalOrders : public CAdditionalOrders
{
  public:
    int GetCount() const override { return orders.GetSize(); }
    COrder* Get(int position) const override
    {
        return position >= 0 && position < orders.GetSize() ? orders[position] : nullptr;
    }
    COrders orders;
};

class TruckTripsTest : public CleanFleetTest
{
  protected:
    // A pair of its own truck, trailer and (unless the code is empty) driver; its row.
    int AddPair(const std::string& id, const std::string& driverCode, int driverStart = 360)
    {
        CResources& fleet = Resources();
        CTrailer* trailer = fleet.trailers.GetOrAdd("R" + id);
        trailer->code = "R" + id;
        trailer->capacity[0] = 1000;
        CTruck* truck = fleet.trucks.GetOrAdd("T" + id);
        truck->code = "T" + id;
        return AddPairOn(fleet.lorries.Add(truck, trailer), driverCode, driverStart);
    }
    int AddPairOn(CLorry* lorry, const std::string& driverCode, int driverStart = 360)
    {
        CResources& fleet = Resources();
        CDriver* driver = nullptr;
        if (!driverCode.empty()) {
            driver = fleet.drivers.AddNew();
            driver->code = driverCode;
            driver->workingWindow = {driverStart, 1080};
        }
        int existed = 0;
        CLorryDriver* pair = fleet.pairs.Add(lorry, driver, existed);
        if (driver)
            driver->pairRow = pair->row;
        return pair->row;
    }

    COrder& AddOrder()
    {
        COrders& orders = ModelContext().orders;
        COrder& order = *orders.AddOrder();
        order.plan.index = orders.GetSize() - 1;
        return order;
    }

    static CStopPoint& AddStop(CTrip& trip, int type, int start, int order = -1,
                               const CLorry* lorry = nullptr)
    {
        CStopPoint& stop = trip.AddStop();
        stop.type = type;
        stop.start = start;
        stop.end = start + 10;
        stop.order = order;
        stop.lorry = lorry;
        return stop;
    }

    // A line the export may reduce.
    static COrderLine& AddReducibleLine(COrder& order, float quantity)
    {
        order.plan.doNotReduceQuantities = 0;
        auto* line = new COrderLine();
        line->adjustedQuantity = quantity;
        order.lines.Add(line);
        return *line;
    }

    // One trip loading `loaded` and delivering the orders, reduced for the lorry.
    static void Reduce(const CLorry* lorry, float loaded, const std::vector<int>& orders)
    {
        CTruckTrips plan;
        CTrip& trip = plan.AddTrip();
        AddStop(trip, STOP_LOAD, 0).quantity = loaded;
        for (int order : orders)
            AddStop(trip, STOP_DELIVERY, 10, order);
        plan.ReduceQuantitiesAtExit({}, lorry, 0);
    }

    static std::vector<int> FirstStarts(const CTruckTrips& plan)
    {
        std::vector<int> starts;
        for (int t = 0; t < plan.GetTripCount(); ++t)
            starts.push_back(plan.GetTrip(t)->stops.front().start);
        return starts;
    }

    CWorkspaceTrips workspace;
};

// ---- Initialisation ----------------------------------------------------------------------------

TEST_F(TruckTripsTest, EveryPairStartsWithItsDepotStop)
{
    AddPair("1", "D1", 420);
    AddPair("2", "");
    workspace.ResetTruckTrips();
    ASSERT_EQ(workspace.GetPairCount(), 2);

    const CTruckTrips& driven = *workspace.GetPairPlan(0);
    ASSERT_EQ(driven.GetTripCount(), 1);
    const CStopPoint& depot = driven.GetTrip(0)->stops.front();
    EXPECT_EQ(depot.type, STOP_DEPOT);
    EXPECT_EQ(depot.start, 420);
    EXPECT_EQ(depot.place, &Resources().trucks[0]->base);
    EXPECT_EQ(driven.loadState.numberOfTrips, 1);
    EXPECT_EQ(driven.loadState.currentTime, 420);

    const CTruckTrips& driverless = *workspace.GetPairPlan(1);
    EXPECT_EQ(driverless.GetTrip(0)->stops.front().start, kUnsetTime);
    EXPECT_EQ(driverless.loadState.numberOfTrips, 0);
    EXPECT_EQ(driverless.loadState.latestTime, kLoadStateNoLimit);
    EXPECT_EQ(workspace.planTotals[kPlanTripCountTotal], 1);
}

TEST_F(TruckTripsTest, InitialisingAnInvalidRowResetsEveryPair)
{
    AddPair("1", "D1");
    AddPair("2", "D2");
    workspace.ResetTruckTrips();
    for (int pair : {-1, 2, 0}) {
        for (int row = 0; row < 2; ++row) {
            CTruckTrips& plan = *workspace.GetPairPlan(row);
            AddStop(plan.AddTrip(), STOP_DELIVERY, 500);
            plan.loadState.accumulatedMinutes = 99;
        }
        workspace.InitTruckTrips(pair);
        for (int row = 0; row < 2; ++row) {
            const bool reset = pair != 0 || row == 0;
            EXPECT_EQ(workspace.GetPairPlan(row)->GetTripCount(), reset ? 1 : 2)
                << pair << " " << row;
            EXPECT_EQ(workspace.GetPairPlan(row)->loadState.accumulatedMinutes, reset ? 0 : 99);
        }
    }
}

TEST_F(TruckTripsTest, PlanDayOfWeekCountsFromMonday)
{
    AddPair("1", "D1");
    // 13 December 2026 is a Sunday.
    ASSERT_TRUE(ModelContext().planningDate.SetDate(2026, 12, 13));
    workspace.ResetTruckTrips();
    EXPECT_EQ(workspace.GetPairPlan(0)->loadState.dayOfWeek, 7);
    ASSERT_TRUE(ModelContext().planningDate.SetDate(2026, 12, 14));
    workspace.InitTruckTrips(0);
    EXPECT_EQ(workspace.GetPairPlan(0)->loadState.dayOfWeek, 1);
}

// ---- Inserting trips ---------------------------------------------------------------------------

TEST_F(TruckTripsTest, AnEarlierTripTakesOverTheDepotStop)
{
    CTruckTrips plan;
    CTrip& first = plan.AddTrip();
    AddStop(first, STOP_DEPOT, 100);
    AddStop(first, STOP_LOAD, 300);
    AddStop(plan.NewPendingTrip(), STOP_LOAD, 200);
    plan.InsertTripByStart();
    ASSERT_EQ(plan.GetTripCount(), 2);
    EXPECT_EQ(plan.GetTrip(0)->stops[0].type, STOP_DEPOT);
    EXPECT_EQ(plan.GetTrip(0)->stops[1].start, 200);
    EXPECT_EQ(FirstStarts(plan), (std::vector<int>{100, 300}));

    // A trip holding only the depot stop disappears once emptied.
    CTruckTrips alone;
    AddStop(alone.AddTrip(), STOP_DEPOT, 500);
    AddStop(alone.NewPendingTrip(), STOP_LOAD, 200);
    alone.InsertTripByStart();
    ASSERT_EQ(alone.GetTripCount(), 1);
    EXPECT_EQ(alone.GetTrip(0)->GetStopCount(), 2);

    AddStop(alone.NewPendingTrip(), STOP_LOAD, 900);
    alone.InsertTripByStart();
    EXPECT_EQ(FirstStarts(alone), (std::vector<int>{500, 900}));
}

// ---- Copies ------------------------------------------------------------------------------------

TEST_F(TruckTripsTest, EscobaStopsGoToTheNamedDriversPairOnly)
{
    AddPair("1", "D1");
    AddPair("2", "D2");
    workspace.ResetTruckTrips();
    CTrip& trip = workspace.GetPairPlan(0)->AddTrip();
    AddStop(trip, STOP_DELIVERY, 600).escobaDrivers = "d2";
    AddStop(trip, STOP_SLEEPING, 700).escobaDrivers = "D2";
    AddStop(trip, STOP_DELIVERY, 800).escobaDrivers = "D1"; // its own pair
    AddStop(trip, STOP_DELIVERY, 900).escobaDrivers = "NOBODY";
    workspace.CopyEscobaStops();

    const CTruckTrips& target = *workspace.GetPairPlan(1);
    ASSERT_EQ(target.GetTripCount(), 2);
    const CStopPoint& copy = target.GetTrip(1)->stops.front();
    EXPECT_EQ(copy.start, 600);
    EXPECT_EQ(copy.escobaCopy, 1);
    EXPECT_EQ(copy.escobaDrivers, "d2");
    EXPECT_EQ(workspace.GetPairPlan(0)->GetTripCount(), 2);
}

TEST_F(TruckTripsTest, TwinStopsGoToAnEmptyTwinWithoutEscobaDrivers)
{
    CResources& fleet = Resources();
    CTruck* truck = fleet.trucks.GetOrAdd("T1");
    CTrailer* trailer = fleet.trailers.GetOrAdd("R1");
    trailer->code = "R1";
    CLorry* lorry = fleet.lorries.Add(truck, trailer);
    AddPairOn(lorry, "D1");
    const int twin = AddPairOn(fleet.lorries.Add(fleet.trucks.GetOrAdd("T2"), trailer), "D1");
    truck->highestRow = twin;

    for (bool escobas : {true, false}) {
        UserParameters().HayEscobas = escobas ? 1 : 0;
        workspace.ResetTruckTrips();
        CTrip& trip = *workspace.GetPairPlan(0)->GetTrip(0);
        AddStop(trip, STOP_LOAD, 500, -1, lorry);
        AddStop(trip, STOP_DELIVERY, 600, -1, lorry);
        workspace.CopyTwinStops();
        const CTruckTrips& twinPlan = *workspace.GetPairPlan(twin);
        EXPECT_EQ(twinPlan.totals.hasCopies, escobas ? 0 : 1);
        // Each stop but the opening depot stop comes in a trip of its own.
        EXPECT_EQ(twinPlan.GetTripCount(), escobas ? 1 : 3);
        EXPECT_EQ(twinPlan.GetTrip(0)->GetStopCount(), 1);
    }

    // A twin with stops of its own receives nothing.
    workspace.ResetTruckTrips();
    AddStop(*workspace.GetPairPlan(0)->GetTrip(0), STOP_LOAD, 500, -1, lorry);
    AddStop(*workspace.GetPairPlan(twin)->GetTrip(0), STOP_LOAD, 700);
    workspace.CopyTwinStops();
    EXPECT_EQ(workspace.GetPairPlan(twin)->GetTrip(0)->GetStopCount(), 2);
    EXPECT_EQ(workspace.GetPairPlan(twin)->totals.hasCopies, 0);
}

TEST_F(TruckTripsTest, ProgramWideCopyTakesTheSharedTotalsAndLoadStates)
{
    AddPair("1", "D1", 480);
    workspace.ResetTruckTrips();
    workspace.planTotals[0] = 5;
    workspace.planTotals[kPlanTripCountTotal + 1] = 7;
    workspace.GetPairPlan(0)->loadState.fareCounters = {1, 2, 3};
    ResetPlanTripsCopy();
    CPlanTripsCopy& copy = PlanTripsCopy();
    copy.CreateTruckTripsArray();
    copy.CopyTruckTripsToGlobal(workspace);
    EXPECT_EQ(copy.sharedTotals[0], 1); // the plan's trip count
    EXPECT_EQ(copy.sharedTotals[1], 7);
    EXPECT_EQ(copy.GetPairPlan(0)->loadState.currentTime, 480);
    EXPECT_EQ(copy.GetPairPlan(0)->loadState.fareCounters, (std::vector<int32_t>{1, 2, 3}));
    ResetPlanTripsCopy();
}

TEST_F(TruckTripsTest, PairStateColourAndOrderComparisonReadThePlan)
{
    AddPair("1", "D1");
    COrder& order = AddOrder();
    workspace.ResetTruckTrips();
    CTruckTrips& plan = *workspace.GetPairPlan(0);
    plan.totals.hasCopies = 1;
    TStateColors colors;
    EXPECT_EQ(Resources().pairs[0]->GetStateColor(plan.GetTripsView(), colors),
              colors.ByKey("ClonEscoba"));

    const CLorry* lorry = Resources().pairs[0]->lorry;
    CTrip& trip = plan.AddTrip();
    AddStop(trip, STOP_LOAD, 500, -1, lorry);
    AddStop(trip, STOP_DELIVERY, 600, 0, lorry);
    CWorkspaceRunningPlan running(workspace);
    TPlannedStop stop;
    ASSERT_TRUE(running.FindOrderStop(0, stop));
    EXPECT_EQ(stop.truckCode + stop.trailerCode + stop.driverCode, "T1R1D1");
    EXPECT_EQ(stop.trip, 2);
    EXPECT_EQ(stop.stopPosition, 1);

    ModelContext().runningPlan = &running;
    order.CompareWithPlan("T1", "R1", "D1", 0, 1);
    EXPECT_EQ(order.plan.assignmentChanged, 1);
    ModelContext().runningPlan = nullptr;
}

// ---- Plan queries ------------------------------------------------------------------------------

TEST_F(TruckTripsTest, AssignmentStatesCombine)
{
    const struct
    {
        std::vector<int> codes;
        int expected;
    } cases[] = {
        {{}, 0},
        {{0, 0}, 0},
        {{0x08 | 0x01, 0x10 | 0x02}, 0x20 | 0x04},
        {{0x08 | 0x01, 0}, 0x08 | 0x01},
        {{0x10 | 0x02, 0x10 | 0x02, 0}, 0x10 | 0x02},
        {{0x20 | 0x04, 0x10 | 0x02}, 0x20 | 0x04},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CombineAssignmentStates(c.codes), c.expected);
}

TEST_F(TruckTripsTest, FirstTripLimits)
{
    AddPair("1", "D1");
    UserParameters().KmViajeLargo = 100;
    UserParameters().MinimoPorcentajeEficiencia = 50;
    const struct
    {
        float efficiency;
        float returnKm;
        bool expected;
    } cases[] = {{60, 150, true}, {60, 100, false}, {40, 150, false}};
    for (const auto& c : cases) {
        CTruckTrips plan;
        CTrip& trip = plan.AddTrip();
        AddStop(trip, STOP_DEPOT, 0);
        AddStop(trip, STOP_LOAD, 10).efficiencyPercent = c.efficiency;
        AddStop(trip, STOP_DELIVERY, 20).km = 300 - c.returnKm;
        AddStop(trip, STOP_DEPOT, 30).km = c.returnKm;
        EXPECT_EQ(plan.CheckFirstTripLimits({}), c.expected) << c.efficiency << " " << c.returnKm;
    }
}

TEST_F(TruckTripsTest, ReducingQuantitiesNeverGoesBelowZero)
{
    const CLorry* lorry = Resources().pairs[AddPair("1", "D1")]->lorry; // capacity 1000
    const struct
    {
        float percent;
        float loaded;
        float expectedBig;
        float expectedSmall;
    } cases[] = {
        {100, 1300, 800, 200}, // one line takes the whole excess of 300
        {50, 1300, 800, 200},  // halves until the excess is gone or another line is larger
        {0, 1300, 800, 200},
        {50, 5000, 0, 0}, // more excess than the lines hold: they end at 0, never below
    };
    for (const auto& c : cases) {
        ResetModelContext();
        UserParameters().PercentMaximoReducir = c.percent;
        COrder& order = AddOrder();
        COrderLine& big = AddReducibleLine(order, 1100);
        big.adjustedVolume = 110;
        big.factor = 10;
        COrderLine& small = AddReducibleLine(order, 200);
        Reduce(lorry, c.loaded, {0});
        EXPECT_NEAR(big.adjustedQuantity, c.expectedBig, 0.01) << c.percent;
        EXPECT_NEAR(big.adjustedVolume, c.expectedBig / 10, 0.01) << c.percent;
        EXPECT_NEAR(small.adjustedQuantity, c.expectedSmall, 0.01) << c.percent;
        EXPECT_GE(small.adjustedQuantity, 0);
    }
}

TEST_F(TruckTripsTest, PrioritisedOrdersAreReducedFirst)
{
    const CLorry* lorry = Resources().pairs[AddPair("1", "D1")]->lorry;
    COrderLine& plain = AddReducibleLine(AddOrder(), 900);
    COrder& first = AddOrder();
    first.plan.reduceQuantitiesFirst = 1;
    COrderLine& prioritised = AddReducibleLine(first, 400);
    COrderLine& kept = AddReducibleLine(AddOrder(), 5000);
    ModelContext().orders[2]->plan.doNotReduceQuantities = 1;
    Reduce(lorry, 1300, {0, 1, 2});
    EXPECT_NEAR(plain.adjustedQuantity, 900, 0.01);
    EXPECT_NEAR(prioritised.adjustedQuantity, 100, 0.01);
    EXPECT_NEAR(kept.adjustedQuantity, 5000, 0.01);
}

TEST_F(TruckTripsTest, SummaryListsEachVehicleOnce)
{
    const int row = AddPair("1", "D1");
    const CLorry* lorry = Resources().pairs[row]->lorry;
    CTruckTrips plan;
    plan.totals.trailersUsed = "kept";
    CTrip& trip = plan.AddTrip();
    AddStop(trip, STOP_DEPOT, 100);
    AddStop(trip, STOP_DELIVERY, 200, -1, lorry);
    AddStop(plan.AddTrip(), STOP_COLLECTION, 300, -1, lorry);
    plan.CalculateSummary();
    EXPECT_EQ(plan.totals.trailersUsed, "R1");
    EXPECT_EQ(plan.totals.trucksUsed, "T1");
    EXPECT_EQ(plan.totals.startTime, 100);
    EXPECT_EQ(plan.totals.totalTime, 200);
}

TEST_F(TruckTripsTest, PlanQueriesOverPairsAndCounters)
{
    AddPair("1", "D1");
    AddPair("2", "D2");
    for (int i = 0; i < 3; ++i)
        AddOrder();
    ModelContext().orders[2]->plan.mayStayUnserved = 1;
    FakeAdditionalOrders additional;
    additional.orders.AddOrder();
    workspace.scope.additionalOrders = &additional;
    workspace.scope.partitionCount = 1;
    workspace.ResetTruckTrips();
    const CLorry* lorry = Resources().pairs[0]->lorry;
    CTrip& trip = workspace.GetPairPlan(1)->AddTrip();
    AddStop(trip, STOP_LOAD, 400, -1, lorry);
    AddStop(trip, STOP_DELIVERY, 500, 2, lorry);
    AddStop(trip, STOP_DELIVERY, 600, 2, lorry);
    AddStop(trip, STOP_DELIVERY, 700, 3, lorry); // the additional order

    EXPECT_EQ(workspace.CountScheduledOrders(), 1);
    EXPECT_EQ(workspace.CountScheduledOptionalOrders(), 1);
    EXPECT_EQ(workspace.CountUsedLorries(), 1);
    int row = -1;
    int counter = -1;
    ASSERT_TRUE(workspace.FindOrderStop(2, row, counter));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(counter, 2); // after the depot trip's stop and the load
    EXPECT_FALSE(workspace.FindOrderStop(0, row, counter));
    EXPECT_TRUE(workspace.IsTruckInAnyTrip(0));
    EXPECT_FALSE(workspace.IsTruckInAnyTrip(1));

    const struct
    {
        int row;
        int trip;
        int stop;
        int expected;
    } counters[] = {{1, 1, 2, 3},  {1, 0, 0, 0},  {1, 2, 0, -1},
                    {1, 1, 4, -1}, {2, 0, 0, -1}, {-1, 0, 0, -1}};
    for (const auto& c : counters)
        EXPECT_EQ(workspace.GetStopCounter(c.row, c.trip, c.stop), c.expected)
            << c.row << " " << c.trip << " " << c.stop;

    std::vector<int> orders;
    EXPECT_TRUE(workspace.GetTripOrders(1, 1, orders));
    EXPECT_EQ(orders, (std::vector<int>{2, 3}));
    COrdersTripInfo info;
    EXPECT_TRUE(workspace.GetTripInfo(1, -1, info));
    EXPECT_EQ(info.rows.size(), 3u);
    EXPECT_FALSE(workspace.GetTripInfo(1, 5, info));
}

} // namespace
