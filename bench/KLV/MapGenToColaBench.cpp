#include "GenCircleProblem.h"
#include "KLV/Gen.h"
#include "KLV/GenRandom.h"
#include "KLV/MapGenToCola.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using trv::test::CircleGen;
using trv::test::CircleProblem;
using trv::test::CircleTestEngine;
using Sequence = std::vector<unsigned short>;

Sequence Shuffled(int length, TGenRandom& random)
{
    Sequence sequence(length);
    for (int i = 0; i < length; ++i)
        sequence[i] = static_cast<unsigned short>(i);
    for (int i = length - 1; i > 0; --i)
        std::swap(sequence[i], sequence[random.Next() * (i + 1) / 32768]);
    return sequence;
}

// A child that repeats a recent sequence: the gene's evaluation through the cache, a hit, on
// a cache holding 5,000 sequences of the plan's length.
void CacheHitThroughTheGene(benchmark::State& state)
{
    const int length = static_cast<int>(state.range(0));
    const CircleProblem problem(length);
    CircleTestEngine engine(problem, TParametrosPoblacion{});
    TGenRandom random(7);
    std::vector<Sequence> sequences;
    for (int i = 0; i < 5000; ++i) {
        sequences.push_back(Shuffled(length, random));
        engine.GetCache().Inserta(sequences.back().data(), 1.0f, 0, false);
    }
    std::vector<std::unique_ptr<CircleGen>> genes;
    for (int i = 0; i < 64; ++i) {
        genes.push_back(std::make_unique<CircleGen>(&engine, problem));
        genes.back()->SetItems(sequences[i * 61].data(), length);
    }
    std::size_t next = 0;
    for (auto _ : state) {
        TGen& gene = *genes[next++ & 63];
        gene.EvaluaConCache();
        benchmark::DoNotOptimize(gene.GetCoste());
    }
    state.counters["evaluations"] = static_cast<double>(problem.evaluations.load());
}
BENCHMARK(CacheHitThroughTheGene)->Arg(125)->Arg(1250);

// What a hit saves: one evaluation of the toy problem (a plan's evaluation costs far more).
void ToyEvaluation(benchmark::State& state)
{
    const int length = static_cast<int>(state.range(0));
    const CircleProblem problem(length);
    CircleGen gene(nullptr, problem);
    TGenRandom random(7);
    const Sequence sequence = Shuffled(length, random);
    gene.SetItems(sequence.data(), length);
    for (auto _ : state)
        benchmark::DoNotOptimize(gene.Evaluate(1));
}
BENCHMARK(ToyEvaluation)->Arg(125)->Arg(1250);

// Breeding's traffic from every thread: 90 % hits on recent sequences, 10 % new sequences
// inserted (evicting at the bound), 125-item keys. Items per second are the total of all
// threads.
CMapGenToCola g_sharedCache;
std::vector<Sequence> g_hotSequences;

void CacheMixedTraffic(benchmark::State& state)
{
    constexpr int kLength = 125;
    if (state.thread_index() == 0) {
        g_sharedCache.Inicializa(kLength);
        TGenRandom random(11);
        g_hotSequences.clear();
        for (int i = 0; i < 2000; ++i) {
            g_hotSequences.push_back(Shuffled(kLength, random));
            g_sharedCache.Inserta(g_hotSequences.back().data(), 1.0f, 0, false);
        }
    }
    TGenRandom random = TGenRandom::ForChildSlot(11, 0, state.thread_index());
    Sequence fresh(kLength);
    unsigned serial = 0;
    for (auto _ : state) {
        const int draw = random.Next();
        float cost = 0.0f;
        unsigned hash = 0;
        if (draw % 10 != 0) {
            const Sequence& hot = g_hotSequences[draw % g_hotSequences.size()];
            benchmark::DoNotOptimize(g_sharedCache.Busca(cost, hash, hot.data()));
        } else {
            // A sequence no thread has made before: thread and serial in its first items.
            fresh = g_hotSequences[draw % g_hotSequences.size()];
            ++serial;
            fresh[0] = static_cast<unsigned short>(60000 + state.thread_index());
            fresh[1] = static_cast<unsigned short>(serial & 0xFFFF);
            fresh[2] = static_cast<unsigned short>(serial >> 16);
            if (!g_sharedCache.Busca(cost, hash, fresh.data()))
                g_sharedCache.Inserta(fresh.data(), 2.0f, hash, true);
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CacheMixedTraffic)->Threads(1)->Threads(8)->UseRealTime();

} // namespace
