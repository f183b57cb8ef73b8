#include "model/ModelContext.h"
#include "model/Resources.h"
#include "params/Parameters.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// n pairs: each truck and trailer on its own lorry, every fourth lorry shared by two drivers,
// every tenth pair without driver.
void BuildFleet(int pairs)
{
    ResetResources();
    CResources& fleet = Resources();
    CLorry* lorry = nullptr;
    for (int i = 0; i < pairs; ++i) {
        const std::string id = std::to_string(i);
        if (i % 4 != 1) {
            CTrailer* trailer = fleet.trailers.GetOrAdd("R" + id);
            trailer->capacity[0] = 20000.0f + static_cast<float>(i % 7) * 1000.0f;
            lorry = fleet.lorries.Add(fleet.trucks.GetOrAdd("T" + id), trailer);
        }
        CDriver* driver = nullptr;
        if (i % 10 != 9) {
            driver = fleet.drivers.AddNew();
            driver->code = "D" + id;
            driver->workingWindow = {360 + (i % 5) * 60, 1080};
            driver->equalGroup = "G" + std::to_string(i % 3);
            driver->accumulatedDays = 3;
            driver->accumulatedCost = 100.0f + static_cast<float>(i);
        }
        int existed = 0;
        fleet.pairs.Add(lorry, driver, existed);
    }
}

// The whole-list recalculation after a change of the fleet.
void CalculateAll(benchmark::State& state)
{
    ResetUserParameters();
    ResetModelContext();
    BuildFleet(static_cast<int>(state.range(0)));
    for (auto _ : state)
        Resources().pairs.CalculateAll();
    state.SetComplexityN(state.range(0));
    ResetResources();
}
BENCHMARK(CalculateAll)
    ->Arg(200)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNSquared);

} // namespace
