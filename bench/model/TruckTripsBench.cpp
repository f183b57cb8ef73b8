#include "AllocationCounter.h"
#include "model/ModelContext.h"
#include "model/Resources.h"
#include "model/TruckTrips.h"
#include "params/Parameters.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// `pairs` pairs, each truck and trailer on its own lorry, every tenth without driver, and
// `customers` distinct customer codes known to the orders' derivation.
void BuildPlanData(int pairs, int customers)
{
    ResetUserParameters();
    ResetModelContext();
    ResetResources();
    for (int i = 0; i < customers; ++i)
        ModelContext().customerCodes.FindOrAdd("C" + std::to_string(i));
    CResources& fleet = Resources();
    for (int i = 0; i < pairs; ++i) {
        const std::string id = std::to_string(i);
        CTrailer* trailer = fleet.trailers.GetOrAdd("R" + id);
        trailer->overloadedCapacity[0] = 20000.0f;
        CLorry* lorry = fleet.lorries.Add(fleet.trucks.GetOrAdd("T" + id), trailer);
        CDriver* driver = nullptr;
        if (i % 10 != 9) {
            driver = fleet.drivers.AddNew();
            driver->code = "D" + id;
            driver->workingWindow = {360 + (i % 5) * 60, 1080};
        }
        int existed = 0;
        fleet.pairs.Add(lorry, driver, existed);
    }
}

// The re-initialisation before every decoding of a gene: after the first run it reuses every
// list, trip and stop it made, so the allocations counter must read 0.
void InitTruckTrips(benchmark::State& state)
{
    BuildPlanData(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    CWorkspaceTrips workspace;
    workspace.ResetTruckTrips();
    // A decoding leaves trips and stops behind; the next initialisation empties them.
    for (int row = 0; row < workspace.GetPairCount(); ++row)
        for (int trip = 0; trip < 3; ++trip)
            for (int stop = 0; stop < 8; ++stop)
                workspace.GetPairPlan(row)->AddTrip().AddStop().start = stop;
    workspace.InitTruckTrips(-1);
    const long long allocationsBefore = AllocationCount();
    for (auto _ : state) {
        workspace.InitTruckTrips(-1);
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount() - allocationsBefore),
                           benchmark::Counter::kAvgIterations);
    ResetResources();
    ResetModelContext();
}
BENCHMARK(InitTruckTrips)
    ->Args({200, 1000})
    ->ArgNames({"pairs", "customers"})
    ->Unit(benchmark::kMicrosecond);

} // namespace
