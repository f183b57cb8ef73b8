// The fare of a trip: the kilometres and load charged, the price table in each mode, unload
// costs, special rules and the minimum.

#include "CleanModelTest.h"
#include "MemoryFieldRecord.h"
#include "model/Fares.h"
#include "model/Resources.h"
#include "model/TruckTrips.h"
#include "model/VariableBuilders.h"
#include "model/VehicleLoadState.h"
#include "params/TrevantorVariables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

namespace {

// Nodes at positions on a line, km the gap between them.
class CLineDistances : public CModelDistances
{
  public:
    bool MatricesExist() const override { return true; }
    bool GetKmAndMinutes(int from, int to, float& km, int& minutes) const override
    {
        const auto a = positions.find(from);
        const auto b = positions.find(to);
        if (a == positions.end() || b == positions.end())
            return false;
        km = std::abs(a->second - b->second);
        minutes = 0;
        return true;
    }
    int FindSpeedLevel(int) const override { return -1; }

    std::map<int, float> positions{{0, 0.0f}, {3, 28.0f}, {5, 30.0f}, {6, 40.0f}};
};

// What the trip rules read.
struct TTotals
{
    float totalKm = 0;
};

constexpr int kBase = 0;
constexpr int kCustomer = 3;
constexpr int kLoading = 5;
constexpr int kOwnWarehouse = 6;

class TripFareTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        ResetTrevantorVariables();
        RegisterKeySets();
        ModelContext().distances = &distances;
        truck.base.nodeIndex = kBase;
        trailer.fareMinimumWeight = 0;
        loadingPlace.nodeIndex = kLoading;
        lastOrder.customer.location.nodeIndex = kCustomer;
        lastOrder.wareHouse.location.nodeIndex = kOwnWarehouse;

        // 8 km so far, back from the customer to the loading place is 2 km more.
        state.tripKm = 8;
        state.numberOfTrips = 2;
        state.fareInputs.loadingLocation = &loadingPlace;
        state.fareInputs.currentNode = kCustomer;
        state.fareInputs.lastOrder = &lastOrder;
        state.fareInputs.lastCustomer = &lastOrder.customer;
        state.fareInputs.lastDeliveryOrder = &lastOrder;
        state.tripUnloads = 1;
        state.fareInputs.deliveredQuantity = 2000;
        state.fareCounters.assign(4, 0);
        state.fareInputs.totalsEntity = TEntityRef(totals);
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CleanModelTest::TearDown();
    }

    void RegisterKeySets()
    {
        requirements.NewElement()->name = "ADR";
        requirements[0]->type = REQ_TYPE_BOOL;
        requirements.NewElement()->name = "HEIGHT";
        requirements[1]->type = REQ_TYPE_LESS_THAN;
        information.NewElement()->name = "Zone";
        CTrevantorVariables& catalogue = TrevantorVariables();
        CTrevantorVariablesKeys& order = catalogue.GetKeySet(KEYS_ORDER);
        order.AddRequirements("ORDER_REQUIREMENTS", VarMember(&COrder::requirements), "", "", 0, 3);
        order.AddVariableOfKind("ORDER_INFORMATIVE_VALUES", VarMember(&COrder::informativeValues),
                                VAR_ORDER_INFO, "", "", 0, 3);
        order.AddString("ORDER_NOTE",
                        VarField<COrder>([](COrder& o) -> std::string& { return o.reservedText; }),
                        20, "", "", "", 0, 3);
        order.SetDefinitionList(VAR_REQUIREMENTS, &requirements);
        order.SetDefinitionList(VAR_ORDER_INFO, &information);
        catalogue.GetKeySet(KEYS_TRAILER)
            .AddInt("RESOURCE_FARE_MIN_WEIGHT", VarMember(&CTrailer::fareMinimumWeight), "", "", 0,
                    0, 3);
        CTrevantorVariablesKeys& totalsKeys = catalogue.GetKeySet(KEYS_LORRY_TOTALS);
        totalsKeys.AddFloat("TOTAL_KM", VarMember(&TTotals::totalKm), "", "", 0, 0, 1, 3);
        totalsKeys.AddFloat(
            "TRIP_KM",
            VarField<TVehicleLoadState>([](TVehicleLoadState& s) -> float& { return s.tripKm; }),
            "", "", 0, 0, 1, 3);
    }

    // A fare whose table holds `price` at every index up to 10000.
    static void FlatTable(CFare& fare, float price) { fare.AddRow(10000, price); }

    float Fare(const CFare& fare, float* pure = nullptr, const COrder* closing = nullptr)
    {
        float pureFare = -1;
        const float price = fare.TripFare(pair, state, nullptr, pureFare, closing);
        if (pure)
            *pure = pureFare;
        return price;
    }

    CLineDistances distances;
    CTruck truck;
    CTrailer trailer;
    CLorry lorry{&truck, &trailer};
    CLorryDriver pair{&lorry, nullptr};
    TLocationData loadingPlace;
    COrder lastOrder;
    TTotals totals;
    TVehicleLoadState state;
    CListaCondicionantes requirements;
    CListaAddOrdersInfo information;
};

TEST_F(TripFareTest, TheTableIsReadAtTheChargedKilometres)
{
    CFare fare;
    fare.AddRow(10, 5.0f);
    fare.AddRow(20, 7.0f);
    fare.BuildPriceTable();
    ASSERT_EQ(fare.GetPriceTableLength(), 21);
    float pure = 0;
    EXPECT_FLOAT_EQ(Fare(fare, &pure), 14.0f); // C = 10, entry 10 is 7.0, 2 t
    EXPECT_FLOAT_EQ(pure, 14.0f);

    // A trip that charges less than nothing reads entry 0.
    EXPECT_EQ(fare.ReadPriceTable(-3), 5.0f);
    EXPECT_EQ(fare.ReadPriceTable(400), 7.0f);
    state.numberOfTrips = 1; // the approach of 30 km is deducted from 8 km
    EXPECT_FLOAT_EQ(Fare(fare), 10.0f);
    EXPECT_EQ(CFare().ReadPriceTable(0), 0.0f);
}

TEST_F(TripFareTest, ChargedKilometresFollowTheFareType)
{
    struct Case
    {
        const char* name;
        int type;
        float tripKm;
        int unloads;
        float firstUnloadKm;
        float additionalUnloadKm;
        float radialKm;
        int factorRetorno;
        int numberOfTrips;
        float expected;
    };
    const Case cases[] = {
        {"normal", FARE_TYPE_NORMAL, 8, 1, 0, 0, 0, 100000, 2, 10},
        {"unload km", FARE_TYPE_NORMAL, 8, 3, 0.5f, 1.5f, 0, 100000, 2, 13},
        {"radial beyond the tolerance", FARE_TYPE_RADIAL, 128, 1, 0, 0, 50, 20, 2, 65},
        {"radial with unloads", FARE_TYPE_RADIAL, 128, 3, 0.5f, 1.5f, 50, 20, 2, 66},
        {"radial within the tolerance", FARE_TYPE_RADIAL, 108, 1, 0, 0, 50, 20, 2, 50},
        {"radial below one km", FARE_TYPE_RADIAL, 8, 1, 0, 0, 0.5f, 100000, 2, 5},
        {"radial far away", FARE_TYPE_RADIAL, 8, 1, 0, 0, 20000, 100000, 2, 20000},
        {"without return", FARE_TYPE_NO_RETURN, 8, 3, 0.5f, 1.5f, 0, 100000, 2, 11},
        {"first trip", FARE_TYPE_NORMAL, 100, 1, 0, 0, 0, 100000, 1, 72},
    };
    for (const Case& c : cases) {
        CFare fare;
        CMemoryFieldRecord record;
        record.Current() = {{"FARE_RADIAL", c.type == FARE_TYPE_RADIAL ? "1" : "0"},
                            {"FARE_NO_RETURN", c.type == FARE_TYPE_NO_RETURN ? "1" : "0"}};
        fare.set_FareType(record);
        ASSERT_EQ(fare.GetType(), c.type);
        fare.Terms().mode = 4; // table 1.0 times the kilometres: the fare is the kilometres
        fare.Terms().firstUnloadKm = c.firstUnloadKm;
        fare.Terms().additionalUnloadKm = c.additionalUnloadKm;
        FlatTable(fare, 1.0f);
        fare.BuildPriceTable();
        UserParameters().FactorRetorno = c.factorRetorno;
        state.tripKm = c.tripKm;
        state.tripUnloads = c.unloads;
        state.fareInputs.radialKm = c.radialKm;
        state.numberOfTrips = c.numberOfTrips;
        EXPECT_FLOAT_EQ(Fare(fare), c.expected) << c.name;
    }
}

TEST_F(TripFareTest, ReturnKilometresDependOnWhereTheTripEnds)
{
    COrder closing;
    closing.customer.location.nodeIndex = kLoading;
    closing.wareHouse.location.nodeIndex = kOwnWarehouse;
    struct Case
    {
        const char* name;
        int loadingProblem;
        int currentNode;
        bool lastOrder;
        bool lastCustomer;
        int lastDeliveryKind; // -1: no last delivery order
        int closingKind;      // -1: no closing order
        float expected;       // 100 km so far plus the return
    };
    const Case cases[] = {
        {"to the loading place", 0, kCustomer, true, true, ORDER_DELIVERY, -1, 102},
        {"to the order's own warehouse", 2, kCustomer, true, true, ORDER_DELIVERY, -1, 112},
        {"loose orders load at the trip's place", 2, kCustomer, true, true, ORDER_DELIVERY_LOOSE,
         -1, 102},
        {"no delivery order", 0, kCustomer, true, true, -1, -1, 100},
        {"no last customer", 0, kCustomer, true, false, ORDER_DELIVERY, -1, 100},
        {"back at the base", 0, kBase, true, true, ORDER_DELIVERY, -1, 100 + 2 - 28},
        {"back at the base without an order", 0, kBase, false, false, -1, -1, 100},
        {"closing delivery", 2, kCustomer, true, true, ORDER_DELIVERY, ORDER_DELIVERY, 112},
        {"closing collection", 2, kCustomer, true, true, ORDER_DELIVERY, ORDER_COLLECTION, 102},
        {"closing loose delivery", 2, kCustomer, true, true, ORDER_DELIVERY, ORDER_DELIVERY_LOOSE,
         100},
        {"closing without a delivery", 2, kCustomer, true, true, -1, ORDER_COLLECTION, 100},
    };
    CFare fare;
    fare.Terms().mode = 4;
    FlatTable(fare, 1.0f);
    fare.BuildPriceTable();
    COrder delivery;
    delivery.wareHouse.location.nodeIndex = kOwnWarehouse;
    for (const Case& c : cases) {
        UserParameters().LoadingProblem = c.loadingProblem;
        state.tripKm = 100;
        state.fareInputs.currentNode = c.currentNode;
        state.fareInputs.lastOrder = c.lastOrder ? &lastOrder : nullptr;
        state.fareInputs.lastCustomer = c.lastCustomer ? &lastOrder.customer : nullptr;
        delivery.plan.kind = c.lastDeliveryKind;
        state.fareInputs.lastDeliveryOrder = c.lastDeliveryKind >= 0 ? &delivery : nullptr;
        closing.plan.kind = c.closingKind;
        EXPECT_FLOAT_EQ(Fare(fare, nullptr, c.closingKind >= 0 ? &closing : nullptr), c.expected)
            << c.name;
    }
    // The loading place at the base itself: no return.
    state.fareInputs.currentNode = kBase;
    state.fareInputs.lastOrder = &lastOrder;
    loadingPlace.nodeIndex = kBase;
    UserParameters().LoadingProblem = 0;
    EXPECT_FLOAT_EQ(Fare(fare), 100.0f);
}

TEST_F(TripFareTest, TheChargedLoadIsTheLargestOfLoadAndMinimums)
{
    struct Case
    {
        const char* name;
        int deliveriesOnly;
        int lastKind;
        float minimumLoad;
        int trailerMinimum;
        float expected; // kilogrammes, as the table gives 1000 per tonne
    };
    const Case cases[] = {
        {"deliveries only", 1, ORDER_DELIVERY, 0, 0, 800},
        {"deliveries only, exclusive collection last", 1, ORDER_COLLECTION_EXCLUSIVE, 0, 0, 1100},
        {"everything", 0, ORDER_DELIVERY, 0, 0, 1100},
        {"fare minimum", 1, ORDER_DELIVERY, 1000, 700, 1000},
        {"trailer minimum", 1, ORDER_DELIVERY, 600, 900, 900},
    };
    for (const Case& c : cases) {
        CFare fare;
        fare.Terms().mode = 3;
        fare.Terms().deliveriesOnly = c.deliveriesOnly;
        fare.Terms().minimumLoadKg = c.minimumLoad;
        FlatTable(fare, 1000.0f);
        fare.BuildPriceTable();
        trailer.fareMinimumWeight = c.trailerMinimum;
        lastOrder.plan.kind = c.lastKind;
        state.fareInputs.deliveredQuantity = 800;
        state.fareInputs.collectedQuantity = 300;
        EXPECT_FLOAT_EQ(Fare(fare), c.expected) << c.name;
    }
}

TEST_F(TripFareTest, ModesReadTheTableAtKilometresOrLoad)
{
    struct Case
    {
        int mode;
        float expected;
        float expectedPure;
    };
    // C = 10 reads 7.0; the load of 25000 kg reads the last entry, 3.0 at 10000. Charged load
    // 1000 kg (the fare's minimum), raw 600 kg.
    const Case cases[] = {
        {0, 7.0f, 7.0f * 0.6f}, {1, 7.0f * 10, 10 * (0.6f * 7.0f)},
        {2, 3.0f, 3.0f},        {3, 3.0f * 25, 3.0f * 25},
        {4, 70.0f, 70.0f},      {7, 3.0f, 3.0f},
    };
    for (const Case& c : cases) {
        CFare fare;
        fare.Terms().mode = c.mode;
        fare.Terms().minimumLoadKg = 1000;
        fare.AddRow(10, 5.0f);
        fare.AddRow(20, 7.0f);
        fare.AddRow(10000, 3.0f);
        fare.BuildPriceTable();
        const bool byLoad = c.mode == 2 || c.mode == 3 || c.mode == 7;
        state.fareInputs.deliveredQuantity = byLoad ? 25000.0f : 600.0f;
        float pure = 0;
        EXPECT_FLOAT_EQ(Fare(fare, &pure), c.expected) << c.mode;
        EXPECT_FLOAT_EQ(pure, c.expectedPure) << c.mode;
    }
}

TEST_F(TripFareTest, UnloadCostsMinimumAndThePricePerKilometre)
{
    CFare fare;
    fare.Terms().mode = 4;
    fare.Terms().firstUnloadCost = 5;
    fare.Terms().additionalUnloadCost = 2;
    FlatTable(fare, 1.0f);
    fare.BuildPriceTable();
    state.tripUnloads = 3;
    EXPECT_FLOAT_EQ(Fare(fare), 10 + 5 + 2 * 2);

    fare.Terms().minimumCost = 1000;
    EXPECT_FLOAT_EQ(Fare(fare), 1000);

    // The orders' price per km replaces the table, minimum included, for a truck without a
    // km cost of its own.
    state.tripUnloads = 1;
    state.tripKm = 98;
    state.fareInputs.orderKmPrice = 1.2f;
    float pure = -1;
    EXPECT_FLOAT_EQ(Fare(fare, &pure), 100 * 1.2f);
    EXPECT_EQ(pure, -1);
    truck.kmCost = 0.9f;
    EXPECT_FLOAT_EQ(Fare(fare), 1000);
    fare.Terms().minimumCost = 0;
    EXPECT_FLOAT_EQ(Fare(fare), 100 + 5);
}

TEST_F(TripFareTest, SpecialRulesReadTheirEntitiesAndCountOnce)
{
    totals.totalKm = 10;
    CFare fare;
    fare.Terms().mode = 4;
    FlatTable(fare, 1.0f);
    fare.BuildPriceTable();
    ASSERT_TRUE(fare.AddSpecialFare("", "", "TRIP,0,0,1,TOTAL_KM", 2.0f)); // 20, once
    ASSERT_TRUE(fare.AddSpecialFare("", "", "TRIP,0,1,0,TOTAL_KM", 0.5f)); // 5 km more
    ASSERT_TRUE(fare.AddSpecialFare("", "", "TRIP,1,0,0,TOTAL_KM", 1.0f)); // 10 x 2 t
    ASSERT_TRUE(fare.AddSpecialFare("", "", "RESOURCE,0,0,0,RESOURCE_FARE_MIN_WEIGHT", 0.01f));
    trailer.fareMinimumWeight = 500;

    // C = 10 plus 5 additional km reads 15 entries of 1.0; 20 + 20 + 5 in rules.
    EXPECT_FLOAT_EQ(Fare(fare), 15 + 20 + 20 + 5);
    EXPECT_EQ(state.fareCounters[0], 1);
    // Paid only the first time: a second price of the same state leaves it out.
    EXPECT_FLOAT_EQ(Fare(fare), 15 + 20 + 5);

    // Without a pair the resource rule reads nothing; without a state nothing counts at all.
    EXPECT_FLOAT_EQ(fare.SpecialFaresCost(nullptr, nullptr, &state, &lorry, 2, 0, false, false),
                    20);
    EXPECT_EQ(fare.SpecialFaresCost(nullptr, &pair, nullptr, &lorry, 2, 0, false, false), 0);

    // Without an entity of their own, trip rules read the load state.
    CFare onState;
    ASSERT_TRUE(onState.AddSpecialFare("", "", "TRIP,0,0,0,TRIP_KM", 3.0f));
    EXPECT_FLOAT_EQ(onState.SpecialFaresCost(nullptr, nullptr, &state, &lorry, 0, 0, false, false),
                    0.0f); // the state names another entity
    state.fareInputs.totalsEntity = TEntityRef();
    EXPECT_FLOAT_EQ(onState.SpecialFaresCost(nullptr, nullptr, &state, &lorry, 0, 0, false, false),
                    3.0f * 8);
    state.fareInputs.totalsEntity = TEntityRef(totals);

    // A state with fewer counters than rules still prices every rule, never past its counters.
    state.fareCounters.assign(1, 1);
    EXPECT_FLOAT_EQ(fare.SpecialFaresCost(nullptr, &pair, &state, &lorry, 2, 0, false, true),
                    20 + 5);
}

TEST_F(TripFareTest, OrderRulesReadRequirementsAndInformativeTexts)
{
    COrder order;
    order.requirements.Init(2);
    order.requirements.SetValue(1, 3);
    order.informativeValues.Add("2.5x");
    struct Case
    {
        const char* rule;
        float expected; // per order of 2000 kg where the rule weighs the order
    };
    const Case cases[] = {
        {"ORDER,0,0,0,REQUIREMENT,HEIGHT", 3.0f},
        {"ORDER,2,0,0,REQUIREMENT,HEIGHT", 3.0f * 2000 * 0.001f},
        {"ORDER,1,0,0,REQUIREMENT,HEIGHT", 0.0f}, // weighed by the trip's load: 0 per order
        {"ORDER,0,0,0,REQUIREMENT,ADR", 1.0f},    // any value is not 0
        {"ORDER,0,0,0,ADD_INFO,Zone,FLOAT", 2.5f},
        {"ORDER,0,0,0,ADD_INFO,Zone,INTEGER", 2.0f},
        {"ORDER,0,0,0,ADD_INFO,Zone,BOOL", 1.0f},
        {"ORDER,0,0,0,ORDER_NOTE", 0.0f}, // a text has no value to price
    };
    for (const Case& c : cases) {
        CFare fare;
        ASSERT_TRUE(fare.AddSpecialFare("", "", c.rule, 1.0f)) << c.rule;
        EXPECT_FLOAT_EQ(
            fare.SpecialFaresCost(&order, nullptr, &state, &lorry, 0, 2000, false, true),
            c.expected)
            << c.rule;
        // Order rules need the order.
        EXPECT_EQ(fare.SpecialFaresCost(nullptr, nullptr, &state, &lorry, 0, 2000, false, true), 0)
            << c.rule;
    }
    // A set in a requirement slot reads as the any-value marker.
    CSmartStringArray texts;
    texts.Add("A");
    order.requirements.SetValue(1, texts);
    CFare fare;
    ASSERT_TRUE(fare.AddSpecialFare("", "", "ORDER,0,0,0,REQUIREMENT,HEIGHT", 1.0f));
    EXPECT_FLOAT_EQ(fare.SpecialFaresCost(&order, nullptr, &state, &lorry, 0, 0, false, false),
                    static_cast<float>(kAnyRequirementValue));
}

// With the program's own catalogue, trip rules read the totals of the pair's plan.
TEST(TripFareCatalogue, TripRulesReadThePlansTotals)
{
    ResetTrevantorVariables();
    InstallVariableBuilders(TrevantorVariables());
    TrevantorVariables().Init();
    CTruckTrips plan;
    plan.ConstructPlanningPart(TLoadStateSizes{.fareCounters = 1});
    plan.loadState.totalKm = 10;
    CFare fare;
    ASSERT_TRUE(fare.AddSpecialFare("", "", "TRIP,0,0,1,TOTAL_KM", 2.0f));
    EXPECT_FLOAT_EQ(
        fare.SpecialFaresCost(nullptr, nullptr, &plan.loadState, nullptr, 0, 0, false, true),
        20.0f);
    EXPECT_EQ(plan.loadState.fareCounters[0], 1);
    // A reset before the next decoding keeps the plan as what the rules read.
    plan.ResetPlanningPart(TLoadStateSizes{.fareCounters = 1});
    plan.loadState.totalKm = 4;
    EXPECT_FLOAT_EQ(
        fare.SpecialFaresCost(nullptr, nullptr, &plan.loadState, nullptr, 0, 0, false, false),
        8.0f);
    ResetTrevantorVariables();
}

} // namespace
