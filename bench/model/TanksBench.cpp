#include "AllocationCounter.h"
#include "model/ModelContext.h"
#include "model/Trailer.h"

#include <benchmark/benchmark.h>

#include <map>
#include <tuple>

namespace {

// Combination tables of a trailer with n tanks of mixed sizes, built from scratch each time.
void BuildCombinations(benchmark::State& state)
{
    const int tanks = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        CTanks set;
        for (int i = 0; i < tanks; ++i)
            set.AddTank(1000.0f + static_cast<float>((i * 7) % 5) * 500.0f, 0);
        state.ResumeTiming();
        set.BuildCombinations();
        benchmark::DoNotOptimize(set.GetCombinations().GetCount(tanks / 2));
    }
}
BENCHMARK(BuildCombinations)->Arg(8)->Arg(12)->Arg(16)->Unit(benchmark::kMillisecond);

class Matrices : public CConditionedIncompatibilities
{
  public:
    bool HasMatrix(int type) const override { return type == 1; }
    std::optional<float> GetThreshold(int type, int group, int nextGroup) const override
    {
        if (type != 1 || group < 0 || nextGroup < 0 || group > 3 || nextGroup > 3)
            return std::nullopt;
        return static_cast<float>(100 * (group + nextGroup));
    }
};

// What the optimiser does with a trailer before each evaluation: its hoses and groups set up,
// then a hose looked up for each tank's group.
void InitAndFindHose(benchmark::State& state)
{
    ResetModelContext();
    Matrices matrices;
    ModelContext().conditionedIncompatibilities = &matrices;
    CTrailer trailer;
    trailer.hoseCount = 2;
    trailer.alternativeResourceType = 1;
    trailer.hoseGroups[0] = 2;
    for (int tank = 0; tank < 4; ++tank) {
        trailer.tankLastUnloadGroups.Add(tank);
        trailer.tankLastUnloadQuantities.Add(50.0f * static_cast<float>(tank + 1));
        trailer.tankLastTripGroups.Add(tank);
    }
    CInfoGruposProductosDescargados& info = trailer.unloadedGroups;
    info.Init(trailer); // sizes the lists once
    const long long allocationsBefore = AllocationCount();
    int group = 0;
    for (auto _ : state) {
        info.Init(trailer);
        int position = -1;
        benchmark::DoNotOptimize(info.FindHose(group, position));
        benchmark::DoNotOptimize(position);
        group = (group + 1) & 3;
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount() - allocationsBefore),
                           benchmark::Counter::kAvgIterations);
    ResetModelContext();
}
BENCHMARK(InitAndFindHose)->Unit(benchmark::kNanosecond);

} // namespace
