#include "GenCircleProblem.h"
#include "KLV/Gen.h"
#include "KLV/GenRandom.h"
#include "KLV/MapGenToCola.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

// Threads evaluating through one fitness cache, as breeding does. Also run under
// ThreadSanitizer (make tsan).
namespace {

using trv::test::CircleGen;
using trv::test::CircleProblem;
using trv::test::CircleTestEngine;
using Sequence = std::vector<unsigned short>;

constexpr int kThreads = 8;

std::vector<Sequence> RandomSequences(int count, int length)
{
    TGenRandom random(45);
    std::vector<Sequence> sequences;
    while (static_cast<int>(sequences.size()) < count) {
        Sequence sequence(length);
        for (int i = 0; i < length; ++i)
            sequence[i] = static_cast<unsigned short>(i);
        for (int i = length - 1; i > 0; --i)
            std::swap(sequence[i], sequence[random.Next() * (i + 1) / 32768]);
        if (std::find(sequences.begin(), sequences.end(), sequence) == sequences.end())
            sequences.push_back(sequence);
    }
    return sequences;
}

TEST(GenConcurrencyTest, ThreadsEvaluatingOverlappingSequencesCacheEachOnce)
{
    const CircleProblem problem(40);
    CircleTestEngine engine(problem, TParametrosPoblacion{}, kThreads);
    const std::vector<Sequence> sequences = RandomSequences(300, 40);

    std::vector<int> wrongCosts(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CircleGen gene(&engine, problem, engine.GetThreadWorkspace(t));
            // Every thread walks all sequences three times from its own starting point, so
            // the same sequence is asked for by several threads at the same moment.
            for (int round = 0; round < 3; ++round) {
                for (int k = 0; k < static_cast<int>(sequences.size()); ++k) {
                    const Sequence& sequence = sequences[(k + 37 * t) % sequences.size()];
                    gene.SetItems(sequence.data(), 40);
                    gene.SetCoste(TGen::kNotEvaluated);
                    gene.EvaluaConCache();
                    if (gene.GetCoste() != problem.TourLength(sequence.data(), 40))
                        ++wrongCosts[t];
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(wrongCosts, std::vector<int>(kThreads, 0));
    CMapGenToCola& cache = engine.GetCache();
    EXPECT_EQ(cache.GetCount(), 300);
    EXPECT_TRUE(cache.Comprueba());
    // One entry per sequence: removing it once empties its place.
    for (const Sequence& sequence : sequences) {
        float cost = 0.0f;
        unsigned hash = 0;
        ASSERT_TRUE(cache.Busca(cost, hash, sequence.data()));
        EXPECT_EQ(cost, problem.TourLength(sequence.data(), 40));
        EXPECT_TRUE(cache.Borra(sequence.data()));
        EXPECT_FALSE(cache.Busca(cost, hash, sequence.data()));
    }
    EXPECT_EQ(cache.GetCount(), 0);
}

TEST(GenConcurrencyTest, CacheStaysConsistentUnderMixedOperationsAtTheBound)
{
    CMapGenToCola cache;
    cache.Inicializa(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&cache, t] {
            TGenRandom random = TGenRandom::ForChildSlot(45, 0, t);
            for (int step = 0; step < 20000; ++step) {
                // More keys than the bound, so insertions evict while others look up.
                const int n = random.Next() % 12000;
                const unsigned short key[] = {static_cast<unsigned short>(n), 1, 2, 3};
                float cost = 0.0f;
                unsigned hash = 0;
                const int action = random.Next() % 100;
                if (action < 60) {
                    if (cache.Busca(cost, hash, key)) {
                        EXPECT_EQ(cost, static_cast<float>(n));
                    }
                } else if (action < 98) {
                    cache.Inserta(key, static_cast<float>(n), hash, false);
                } else {
                    cache.Borra(key);
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_LE(cache.GetCount(), CMapGenToCola::kMaxEntries);
    EXPECT_TRUE(cache.Comprueba());
}

} // namespace
