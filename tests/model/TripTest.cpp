#include "model/Trip.h"

#include "CleanModelTest.h"
#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/Resources.h"
#include "params/StateColors.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Rejections answered from a small table; everything else may serve everything.
class FakeStopRejections : public CStopRejections
{
  public:
    uint32_t ComputeMask(int, int) const override { return computed; }
    uint32_t GetStoredMask(int, int) const override { return stored; }
    bool IsUserRejected(int, int) const override { return user; }
    std::string GetRejectionText(uint32_t mask, int, int) const override
    {
        return mask == kUserRejectionReason ? Translate("UserRejectionThisVehicle") + "."
                                            : "mask " + std::to_string(mask);
    }

    uint32_t computed = 0;
    uint32_t stored = 0;
    bool user = false;
};

class TripTest : public CleanFleetTest
{
  protected:
    // An order of the program-wide list: its customer code index and loading minutes.
    COrder& AddOrder(int customer = 0, int loadingMinutes = 0, int kind = ORDER_DELIVERY)
    {
        COrders& orders = ModelContext().orders;
        COrder& order = *orders.AddOrder();
        order.plan.index = orders.GetSize() - 1;
        order.plan.derivationIndex = order.plan.index;
        order.plan.kind = kind;
        order.customer.location.codeIndex = customer;
        order.lines.header.minutesAtWarehouse = loadingMinutes;
        return order;
    }

    static CStopPoint& AddStop(CTrip& trip, int type, int order, int start, int end)
    {
        CStopPoint& stop = trip.AddStop();
        stop.type = type;
        stop.createdType = type;
        stop.order = order;
        stop.start = start;
        stop.end = end;
        return stop;
    }

    static std::vector<int> Starts(const CTrip& trip)
    {
        std::vector<int> starts;
        for (const CStopPoint& stop : trip.stops)
            starts.push_back(stop.start);
        return starts;
    }
    static std::vector<int> Ends(const CTrip& trip)
    {
        std::vector<int> ends;
        for (const CStopPoint& stop : trip.stops)
            ends.push_back(stop.end);
        return ends;
    }

    TOrderScope scope;
};

// ---- Stop types and texts ----------------------------------------------------------------------

TEST_F(TripTest, StopTypeNamesCoverOneToTwentyAndCallOthersUndefined)
{
    EXPECT_EQ(GetStopTypeName(0), Translate("Undefined"));
    EXPECT_EQ(GetStopTypeName(21), Translate("Undefined"));
    EXPECT_EQ(GetStopTypeName(-3), Translate("Undefined"));
    EXPECT_EQ(GetStopTypeName(STOP_DEPOT), Translate("Depot"));
    EXPECT_EQ(GetStopTypeName(STOP_DAY_OFF_CUSTOMER), Translate("DayOffCustomer"));

    CSmartStringArray names;
    names.Add("left over");
    FillStopTypeNames(names);
    ASSERT_EQ(names.GetSize(), 21);
    EXPECT_EQ(names[0], "");
    EXPECT_EQ(names[14], Translate("PlataformaDistribucionCollection"));

    const struct
    {
        int type;
        bool pause;
        bool loadOrUnload;
    } cases[] = {{STOP_LOAD, false, true},     {STOP_UNLOAD, false, true},
                 {STOP_SLEEPING, true, false}, {STOP_DAY_OFF_CUSTOMER, true, false},
                 {STOP_PARKING, false, false}, {STOP_DELIVERY, false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsPauseStopType(c.type), c.pause) << c.type;
        EXPECT_EQ(IsLoadOrUnloadStopType(c.type), c.loadOrUnload) << c.type;
    }
}

TEST_F(TripTest, FieldTextsOfParkingRestsAndDaysOff)
{
    COrder& order = AddOrder();
    auto window = std::make_unique<CDateWindow>();
    window->description = "Holidays";
    order.customer.daysOff.Add(window.release());
    order.customer.daysOff.Add(new CDateWindow()); // no description
    CDriver driver;
    auto driverWindow = std::make_unique<CDateWindow>();
    driverWindow->description = "Leave";
    driver.daysOff.Add(driverWindow.release());

    const std::string dayOff = Translate("DayOffCustomer");
    const struct
    {
        int type;
        int createdType;
        int offDayWindow;
        std::string field;
        std::string text;
        std::string expected;
    } cases[] = {
        {STOP_DELIVERY, STOP_PARKING, -1, "STOP_POINT_TYPE", "Delivery", "P Delivery"},
        {STOP_DELIVERY, STOP_PARKING, -1, "STOP_POINT_KM", "12", "12"},
        {STOP_SLEEPING, STOP_SLEEPING, -1, "STOP_POINT_KM", "12", ""},
        {STOP_SLEEPING, STOP_SLEEPING, -1, "STOP_POINT_SURFACE", "3", ""},
        {STOP_SLEEPING, STOP_SLEEPING, -1, "STOP_POINT_START", "08:00", "08:00"},
        {STOP_DAY_OFF_CUSTOMER, STOP_DAY_OFF_CUSTOMER, 0, "STOP_POINT_TYPE", dayOff,
         dayOff + "-Holidays"},
        {STOP_DAY_OFF_CUSTOMER, STOP_DAY_OFF_CUSTOMER, 1, "STOP_POINT_TYPE", dayOff, dayOff},
        {STOP_DAY_OFF_CUSTOMER, STOP_DAY_OFF_CUSTOMER, 7, "STOP_POINT_TYPE", dayOff, dayOff},
        {STOP_DAY_OFF, STOP_DAY_OFF, 0, "STOP_POINT_TYPE", Translate("DayOff"), "Leave"},
        {STOP_DAY_OFF, STOP_DAY_OFF, -1, "STOP_POINT_TYPE", Translate("DayOff"),
         Translate("DayOff")},
    };
    for (const auto& c : cases) {
        CStopPoint stop;
        stop.type = c.type;
        stop.createdType = c.createdType;
        stop.order = 0;
        stop.offDayWindow = c.offDayWindow;
        std::string text = c.text;
        stop.GetFieldText(text, c.field, &driver, scope);
        EXPECT_EQ(text, c.expected) << c.type << " " << c.field;
    }
}

// ---- Colours -----------------------------------------------------------------------------------

TEST_F(TripTest, ColoursFollowCopiesFlagsAndRejections)
{
    TStateColors colors;
    FakeStopRejections rejections;
    ModelContext().stopRejections = &rejections;
    CResources& fleet = Resources();
    CLorry* lorry = fleet.lorries.Add(fleet.trucks.GetOrAdd("T1"), fleet.trailers.GetOrAdd("R1"));
    CDriver* driver = fleet.drivers.AddNew();
    int existed = 0;
    fleet.pairs.Add(lorry, driver, existed);
    COrder& order = AddOrder();
    order.plan.assigned = 1;

    CStopPoint stop;
    stop.type = STOP_DELIVERY;
    stop.order = 0;
    stop.lorry = lorry;

    stop.validFlags = STOP_LATE;
    EXPECT_EQ(stop.GetColors(driver, scope, colors).first, colors.ByKey("Late"));
    stop.validFlags = 0;
    EXPECT_EQ(stop.GetColors(driver, scope, colors).first, colors.ByKey("Assigned"));
    stop.escobaCopy = 1;
    stop.validFlags = STOP_LATE | STOP_OVERLOAD | STOP_BAD_ASSIGNED;
    EXPECT_EQ(stop.GetColors(driver, scope, colors).first, colors.ByKey("ClonEscoba"));

    stop.escobaCopy = 0;
    stop.validFlags = 0;
    rejections.user = true;
    EXPECT_EQ(stop.GetColors(driver, scope, colors).first, colors.ByKey("BadAssigned"));
    EXPECT_EQ(stop.messages, Translate("UserRejectionThisVehicle") + ".");

    // A sweeper with only its own stored reason is not rejected.
    rejections.user = false;
    rejections.computed = 0x40;
    rejections.stored = 4;
    lorry->trailer->sweeper = 1;
    EXPECT_FALSE(stop.GetRejectionText(driver, scope));
    rejections.stored = 6;
    EXPECT_TRUE(stop.GetRejectionText(driver, scope));
    EXPECT_EQ(stop.messages, "mask 64");
}

TEST_F(TripTest, OrderColourOfDeliveriesAndCollectionsOnly)
{
    TStateColors colors;
    COrder& order = AddOrder();
    CStopPoint stop;
    stop.order = 0;
    const struct
    {
        int type;
        int colour;
        int derivationIndex;
        int realTimeState;
        int32_t expected;
    } cases[] = {
        {STOP_DELIVERY, 0x123456, 0, 0, 0x123456}, {STOP_COLLECTION, -1, 5, 0, 0x80C0FF},
        {STOP_DELIVERY, -1, 0, 2, 0xFFFFCC},       {STOP_DELIVERY, -1, 0, 3, 0x99FF33},
        {STOP_DELIVERY, -1, 0, 0, kNoColor},       {STOP_LOAD, 0x123456, 0, 0, kNoColor},
    };
    for (const auto& c : cases) {
        stop.type = c.type;
        order.plan.colour = c.colour;
        order.plan.derivationIndex = c.derivationIndex;
        order.plan.realTimeState = c.realTimeState;
        EXPECT_EQ(stop.GetColors(nullptr, scope, colors).second, c.expected) << c.type;
    }
}

// ---- Queries -----------------------------------------------------------------------------------

TEST_F(TripTest, StopsAroundAnOrder)
{
    for (int i = 0; i < 3; ++i)
        AddOrder();
    CTrip trip;
    AddStop(trip, STOP_DEPOT, -1, 0, 0);
    AddStop(trip, STOP_LOAD, -1, 10, 20);
    AddStop(trip, STOP_DELIVERY, 0, 30, 40);
    AddStop(trip, STOP_SLEEPING, -1, 50, 60);
    AddStop(trip, STOP_PLATFORM_DELIVERY, 1, 70, 80);
    AddStop(trip, STOP_DELIVERY, 2, 90, 100);

    EXPECT_EQ(trip.FindStopBeforeOrder(0), nullptr); // served by the first order stop
    EXPECT_EQ(trip.FindStopBeforeOrder(2)->order, 1);
    EXPECT_EQ(trip.FindStopBeforeOrder(9), nullptr);
    EXPECT_EQ(trip.GetFirstOrder(), 0);
    EXPECT_EQ(trip.FindLastStopOfTypes(STOP_LOAD, STOP_SLEEPING), 3);

    int position = 3;
    EXPECT_EQ(trip.NextOrderStop(position)->order, 1);
    EXPECT_EQ(position, 5);
    position = 3;
    EXPECT_EQ(trip.PreviousOrderStop(position)->order, 0);
    EXPECT_EQ(position, 1);
    position = 0;
    EXPECT_EQ(trip.NextWorkStop(position)->type, STOP_LOAD);

    EXPECT_EQ(trip.FindOrderAt(35, 60), 0);
    EXPECT_EQ(trip.FindOrderAt(45, 60), -1); // the delivery ended at 40
    EXPECT_EQ(trip.FindOrderAt(95, 200), 2);

    std::vector<int> orders;
    EXPECT_TRUE(trip.GetTripOrders(orders));
    EXPECT_EQ(orders, (std::vector<int>{0, 1, 2}));
    trip.stops[4].order = 3; // beyond the orders, with no partitions
    EXPECT_FALSE(trip.GetTripOrders(orders));
    scope.partitionCount = 1;
    EXPECT_TRUE(trip.GetTripOrders(orders, scope));
}

TEST_F(TripTest, AssignmentStateCountsAssignedOrdersAndDrivers)
{
    COrder& withDriver = AddOrder();
    withDriver.plan.assigned = 1;
    withDriver.Text(ASSIGNED_DRIVER) = "D1";
    COrder& withoutDriver = AddOrder();
    withoutDriver.plan.assigned = 1;
    CTrip trip;
    EXPECT_EQ(trip.GetAssignmentState(), 0);
    AddStop(trip, STOP_DELIVERY, 0, 0, 0);
    AddStop(trip, STOP_DELIVERY, 1, 0, 0);
    EXPECT_EQ(trip.GetAssignmentState(), ASSIGNMENT_ALL_ASSIGNED | ASSIGNMENT_SOME_DRIVERS);
    withoutDriver.plan.assigned = 0;
    withDriver.Text(ASSIGNED_DRIVER).clear();
    EXPECT_EQ(trip.GetAssignmentState(), ASSIGNMENT_SOME_ASSIGNED | ASSIGNMENT_NO_DRIVER);
}

TEST_F(TripTest, TripInfoRefusesReferencesBeyondThePartitions)
{
    AddOrder();
    CTrip trip;
    AddStop(trip, STOP_LOAD, -1, 5, 10);
    AddStop(trip, STOP_DELIVERY, 0, 20, 30);
    AddStop(trip, STOP_UNLOAD, -1, 40, 50);
    AddStop(trip, STOP_DELIVERY, 1, 60, 70);
    COrdersTripInfo info;
    EXPECT_FALSE(trip.GetTripInfo(info, scope));
    EXPECT_EQ(info.rows.size(), 1u); // the rows before the bad reference stay
    scope.partitionCount = 1;
    EXPECT_TRUE(trip.GetTripInfo(info, scope));
    EXPECT_EQ(info.loadStart, 5);
    EXPECT_EQ(info.unloadEnd, 50);
    ASSERT_EQ(info.rows.size(), 2u);
    EXPECT_EQ(info.rows[1].orderIndex, 0); // the first additional order
}

// ---- Load figures ------------------------------------------------------------------------------

TEST_F(TripTest, LoadPercentagesWithoutCapacityOrKilometres)
{
    AddOrder();
    AddOrder(0, 0, ORDER_DELIVERY_LOOSE);
    CTrip trip;
    AddStop(trip, STOP_LOAD, -1, 0, 0);
    AddStop(trip, STOP_DELIVERY, 0, 0, 0);
    AddStop(trip, STOP_DELIVERY, 1, 0, 0);
    CStopPoint& load = trip.stops[0];
    CStopPoint& first = trip.stops[1];
    CStopPoint& loose = trip.stops[2];
    first.quantity = 3;
    first.volume = 2;
    loose.quantity = 100;
    trip.productsInTanks.Add(nullptr);
    trip.productsInTanks.Add(new CProductsInTank());

    trip.CalculateLoadPercentages(0, STOP_DELIVERY, STOP_DELIVERY, 4, scope);
    EXPECT_FLOAT_EQ(load.fillingPercent1, 300); // capacity 0 counts as 1
    EXPECT_FLOAT_EQ(load.fillingPercent2, 50);
    EXPECT_FLOAT_EQ(load.quantity, 3);
    EXPECT_EQ(load.emptyTanks, 1);
    EXPECT_EQ(load.emptyKmRatio, 0); // 0 km: no division by zero
    EXPECT_FLOAT_EQ(loose.fillingPercent1, 300);

    first.km = 40;
    load.km = 0;
    load.emptyKmRatio = 10;
    trip.CalculateLoadPercentages(10, STOP_DELIVERY, STOP_DELIVERY, 4, scope);
    EXPECT_FLOAT_EQ(load.emptyKmRatio, 25);
    EXPECT_FLOAT_EQ(load.fillingPercent1, 30);
}

TEST_F(TripTest, LoadTimesCountOnlyOrdersAfterTheFirst)
{
    AddOrder(0, 7);  // A
    AddOrder(1, 11); // B
    const struct
    {
        std::vector<int> orders;
        std::vector<int> expectedStarts;
    } cases[] = {
        // A, A, B: B's 11 minutes, given back once B has loaded.
        {{0, 0, 1}, {100, 211, 311, 400}},
        // A, B, A: every stop of A is left out.
        {{0, 1, 0}, {100, 211, 300, 400}},
    };
    for (const auto& c : cases) {
        CTrip trip;
        AddStop(trip, STOP_LOAD, -1, 100, 110);
        int start = 200;
        for (int order : c.orders) {
            AddStop(trip, STOP_DELIVERY, order, start, start + 10);
            start += 100;
        }
        trip.AdjustLoadTimes(kUnsetTime, -1, scope);
        EXPECT_EQ(trip.stops[0].end, 121);
        EXPECT_EQ(Starts(trip), c.expectedStarts);
        trip.AdjustLoadTimes(kUnsetTime, -1, scope);
        EXPECT_EQ(Starts(trip), c.expectedStarts); // a second call changes nothing
    }
}

TEST_F(TripTest, LoadTimesUseTheSlackBeforeTheFirstStop)
{
    AddOrder(0, 0);
    AddOrder(1, 30);
    CTrip trip;
    AddStop(trip, STOP_DEPOT, -1, 100, 100);
    AddStop(trip, STOP_LOAD, -1, 110, 120);
    AddStop(trip, STOP_DELIVERY, 0, 200, 210);
    AddStop(trip, STOP_DELIVERY, 1, 300, 310);
    trip.AdjustLoadTimes(80, -1, scope); // 20 minutes of slack out of 30
    EXPECT_EQ(Starts(trip), (std::vector<int>{80, 90, 210, 300}));
    EXPECT_EQ(Ends(trip), (std::vector<int>{80, 130, 220, 310}));
}

TEST_F(TripTest, VisitMergeKeepsLooseOrdersOutOfTheRun)
{
    UserParameters().QuantitiesControl = 1;
    AddOrder(4);                            // 0: customer 4
    AddOrder(4, 0, ORDER_COLLECTION_LOOSE); // 1: customer 4, loose
    AddOrder(4);                            // 2: customer 4
    {
        CTrip trip;
        AddStop(trip, STOP_DELIVERY, 0, 100, 110);
        AddStop(trip, STOP_DELIVERY, 2, 120, 130);
        trip.AdjustLoadTimes(kUnsetTime, -1, scope);
        EXPECT_EQ(Starts(trip), (std::vector<int>{100, 100}));
        EXPECT_EQ(Ends(trip), (std::vector<int>{130, 130}));
    }
    {
        CTrip trip;
        AddStop(trip, STOP_DELIVERY, 0, 100, 110);
        AddStop(trip, STOP_DELIVERY, 1, 120, 125);
        AddStop(trip, STOP_DELIVERY, 2, 140, 150);
        trip.AdjustLoadTimes(kUnsetTime, -1, scope);
        EXPECT_EQ(Starts(trip), (std::vector<int>{100, 100, 140}));
        EXPECT_EQ(Ends(trip), (std::vector<int>{125, 125, 150}));
    }
}

} // namespace
