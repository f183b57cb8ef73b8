#include "GenCircleProblem.h"
#include "KLV/GenEngine.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <vector>

// The genetic search on the 500-point toy problem, with a team of 1, 2, 4 and 8 threads.
namespace {

using trv::test::CircleEngine;
using trv::test::CircleProblem;

constexpr int kPoints = 500;

TParametrosPoblacion BenchBlock()
{
    TParametrosPoblacion block;
    block.populationSize = 100;
    block.SetChildren(24);
    block.randomFirstGene = 1;
    block.localSearchStart = INT_MAX; // generations without local search
    block.workerThreadPriority = 0;   // measured against the machine, not starved by it
    return block;
}

void GenerationsWithoutLocalSearch(benchmark::State& state)
{
    const CircleProblem problem(kPoints);
    CircleEngine engine(problem, static_cast<int>(state.range(0)));
    engine.Start(BenchBlock());
    for (auto _ : state)
        engine.Generacion();
    state.counters["generations/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(GenerationsWithoutLocalSearch)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One insertion pass and one interchange pass over every move of gene 0, always from the same
// random start.
void InsertionAndInterchangePass(benchmark::State& state)
{
    const CircleProblem problem(kPoints);
    CircleEngine engine(problem, static_cast<int>(state.range(0)));
    engine.Start(BenchBlock());
    TGen& gene0 = *engine.GetCurrentPopulation()->GetGen(0);
    const std::vector<unsigned short> start(gene0.GetItems(), gene0.GetItems() + kPoints);
    for (auto _ : state) {
        engine.ImponeGen(start.data(), kPoints);
        engine.Inserciones();
        engine.Intercambios();
    }
    state.counters["moves"] =
        static_cast<double>(kPoints) * kPoints + static_cast<double>(kPoints) * (kPoints - 1) / 2;
}
BENCHMARK(InsertionAndInterchangePass)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace
