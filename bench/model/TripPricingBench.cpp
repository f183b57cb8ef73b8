// What the optimiser's threads do per trip and loading: price a trip with its special rules,
// find and book dock slots; and what each optimiser start builds: the warehouses by nearness.

#include "AllocationCounter.h"
#include "model/Fares.h"
#include "model/ModelContext.h"
#include "model/Resources.h"
#include "model/VehicleLoadState.h"
#include "model/WareHouseChoice.h"
#include "model/WareHousesData.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// Nodes on a line, km the gap between positions.
class CLineDistances : public CModelDistances
{
  public:
    bool MatricesExist() const override { return true; }
    bool GetKmAndMinutes(int from, int to, float& km, int& minutes) const override
    {
        if (from < 0 || to < 0 || from >= nodes || to >= nodes)
            return false;
        km = static_cast<float>(std::abs(from * 37 % 1009 - to * 37 % 1009));
        minutes = 0;
        return true;
    }
    int FindSpeedLevel(int) const override { return -1; }
    int GetFirstMatrixNodeCount() const override { return nodes; }
    int nodes = 0;
};

struct TTotals
{
    float totalKm = 120;
    int32_t customers = 6;
    int32_t night = 1;
};

// A trip priced with five special rules on the trip's totals, one paid only the first time.
void TripFare(benchmark::State& state)
{
    ResetUserParameters();
    ResetModelContext();
    ResetTrevantorVariables();
    CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(KEYS_LORRY_TOTALS);
    keys.AddFloat("TOTAL_KM", VarMember(&TTotals::totalKm), "", "", 0, 0, 1, 3);
    keys.AddInt("NUMBER_OF_CUSTOMERS", VarMember(&TTotals::customers), "", "", 0, 0, 3);
    keys.AddBool("NIGHT", VarMember(&TTotals::night), "", "", 0, 0, 3);
    CLineDistances distances;
    distances.nodes = 100;
    ModelContext().distances = &distances;

    CFare fare;
    fare.AddRow(100, 1.2f);
    fare.AddRow(300, 1.1f);
    fare.AddRow(1000, 1.0f);
    fare.BuildPriceTable();
    fare.Terms().firstUnloadCost = 10;
    fare.Terms().additionalUnloadCost = 5;
    for (const char* rule :
         {"TRIP,0,0,1,NIGHT", "TRIP,0,1,0,NUMBER_OF_CUSTOMERS", "TRIP,1,0,0,TOTAL_KM",
          "TRIP,0,0,0,NUMBER_OF_CUSTOMERS", "TRIP,0,0,0,TOTAL_KM"})
        fare.AddSpecialFare("", "", rule, 0.5f);

    CTruck truck;
    truck.base.nodeIndex = 0;
    CTrailer trailer;
    CLorry lorry(&truck, &trailer);
    CLorryDriver pair(&lorry, nullptr);
    COrder order;
    order.customer.location.nodeIndex = 40;
    TLocationData loading;
    loading.nodeIndex = 7;
    TTotals totals;
    TVehicleLoadState trip;
    trip.tripKm = 180;
    trip.numberOfTrips = 2;
    trip.fareInputs.loadingLocation = &loading;
    trip.fareInputs.currentNode = 40;
    trip.fareInputs.lastOrder = &order;
    trip.fareInputs.lastCustomer = &order.customer;
    trip.fareInputs.lastDeliveryOrder = &order;
    trip.tripUnloads = 4;
    trip.fareInputs.deliveredQuantity = 12000;
    trip.fareCounters.assign(8, 0);
    trip.fareInputs.totalsEntity = TEntityRef(totals);

    const long long allocationsBefore = AllocationCount();
    for (auto _ : state) {
        float pure = 0;
        trip.fareCounters[0] = 0;
        benchmark::DoNotOptimize(fare.TripFare(pair, trip, nullptr, pure, nullptr));
        benchmark::DoNotOptimize(pure);
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount() - allocationsBefore),
                           benchmark::Counter::kAvgIterations);
    ResetTrevantorVariables();
    ResetModelContext();
}
BENCHMARK(TripFare);

// One loading moved to a run with room and booked, on a day of 96 slots mostly taken.
void FindAndTakeSlots(benchmark::State& state)
{
    CWareHouseData dock;
    dock.slotMinutes = 15;
    dock.dockMode = static_cast<int>(state.range(0));
    dock.counters.assign(96, 0);
    const long long allocationsBefore = AllocationCount();
    int arrival = 0;
    for (auto _ : state) {
        // Every slot but the last few is full: the search walks most of the day.
        for (int slot = 80; slot < 96; ++slot)
            dock.counters[static_cast<std::size_t>(slot)] = 60;
        int firstSlot = 0;
        int slotCount = 0;
        const int shift = dock.FindSlots(arrival, 40, firstSlot, slotCount, 10);
        benchmark::DoNotOptimize(shift);
        benchmark::DoNotOptimize(dock.TakeSlots(firstSlot, slotCount, 10));
        arrival = arrival >= 1100 ? 0 : arrival + 17;
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount() - allocationsBefore),
                           benchmark::Counter::kAvgIterations);
}
BENCHMARK(FindAndTakeSlots)->Arg(1)->Arg(3);

// Pair row r rejects warehouse r % 4 - 1: four distinct masks.
class CFourMasks : public CPairWarehouseRejections
{
  public:
    int GetWarehouseCount() const override { return 10; }
    bool IsRejected(int row, int wareHouse) const override
    {
        return row % 4 != 0 && wareHouse == row % 4 - 1;
    }
};

// The table of warehouses by nearness for 2,000 nodes, 1,000 orders, 200 pairs in 4 masks and
// 10 warehouses, as an optimiser start builds it.
void BuildNearnessTable(benchmark::State& state)
{
    ResetUserParameters();
    ResetModelContext();
    ResetResources();
    UserParameters().LoadingProblem = 3;
    constexpr int kNodes = 2000;
    CLineDistances distances;
    distances.nodes = kNodes;
    ModelContext().distances = &distances;
    CFourMasks rejections;
    Resources().warehouseRejections = &rejections;
    for (int w = 0; w < 10; ++w)
        ModelContext().wareHouses.AddWareHouse()->location.nodeIndex = w * 191 + 5;
    for (int o = 0; o < 1000; ++o) {
        COrder* order = ModelContext().orders.AddOrder();
        order->plan.index = o;
        order->customer.location.nodeIndex = (o * 7 + 3) % kNodes;
    }
    for (int r = 0; r < 200; ++r) {
        auto* pair = new CLorryDriver(nullptr, nullptr);
        pair->row = r;
        // The pairs need no vehicles here: only their rows and masks are read.
        static_cast<CSmartPtrArray<CLorryDriver>&>(Resources().pairs).Add(pair);
    }
    for (auto _ : state) {
        ResetWareHouseGlobals();
        benchmark::DoNotOptimize(ModelContext().wareHouses.GetNearnessTable().GetCount());
    }
    const CWareHouseNearnessTable& table = ModelContext().wareHouses.GetNearnessTable();
    state.counters["stored"] = table.IsStored() ? 1 : 0;
    state.counters["MB"] =
        static_cast<double>(CWareHouseNearnessTable::StoredBytes(kNodes, 1000, 4, 10)) / (1 << 20);
    ResetResources();
    ResetModelContext();
}
BENCHMARK(BuildNearnessTable)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
