#include "KLV/GenEngine.h"

#include "GenCircleProblem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

// The search engine run generation by generation in the test's thread.
namespace {

using trv::test::CircleEngine;
using trv::test::CircleProblem;
using Sequence = std::vector<unsigned short>;

TParametrosPoblacion SmallBlock()
{
    TParametrosPoblacion block;
    block.populationSize = 20;
    block.survivors = 8;
    block.randomFirstGene = 1;
    // Team threads at normal priority: on a busy machine the lowest one starves the barriers.
    block.workerThreadPriority = 0;
    return block;
}

std::set<const TGen*> Genes(TPoblacion& population)
{
    std::set<const TGen*> genes;
    for (int i = 0; i < population.GetSize(); ++i)
        genes.insert(population.GetGen(i));
    return genes;
}

TEST(GenEngineTest, GenerationsSortTheChildrenAmongTheSurvivorsAndNeverLoseTheBest)
{
    const CircleProblem problem(25);
    CircleEngine engine(problem, 2);
    engine.Start(SmallBlock());
    float best = engine.GetCurrentPopulation()->GetGen(0)->GetCoste();
    for (int generation = 0; generation < 50; ++generation) {
        engine.Generacion();
        TPoblacion& current = *engine.GetCurrentPopulation();
        for (int i = 1; i < current.GetSize(); ++i)
            ASSERT_LE(current.GetGen(i - 1)->GetCoste(), current.GetGen(i)->GetCoste());
        ASSERT_LE(current.GetGen(0)->GetCoste(), best);
        best = current.GetGen(0)->GetCoste();
        // Both populations own distinct genes: a merge that lost or doubled a pointer shows.
        std::set<const TGen*> all = Genes(current);
        const std::set<const TGen*> next = Genes(*engine.GetNextPopulation());
        all.insert(next.begin(), next.end());
        ASSERT_EQ(all.size(), 40u);
    }
    EXPECT_EQ(engine.GetGeneration(), 50);
    EXPECT_LT(best, 2.5f * static_cast<float>(problem.OptimumLength()));
}

TEST(GenEngineTest, AllSurvivorsBreedNothingKeepThePopulationAndStillSearchLocally)
{
    const CircleProblem problem(20);
    CircleEngine engine(problem, 2);
    TParametrosPoblacion block = SmallBlock();
    block.survivors = block.populationSize;
    block.localSearchStart = -1; // local search from the first generation
    block.localSearchStep = 0;
    engine.Start(block);
    TPoblacion& population = *engine.GetCurrentPopulation();
    const std::set<const TGen*> before = Genes(population);
    const float startCost = population.GetGen(0)->GetCoste();

    engine.Generacion();

    EXPECT_EQ(engine.GetCurrentPopulation(), &population);
    EXPECT_EQ(Genes(population), before);
    EXPECT_EQ(engine.GetLastLocalSearchStart(), 0);
    EXPECT_LT(population.GetGen(0)->GetCoste(), startCost);
}

TEST(GenEngineTest, WithoutRetriesEveryChildIsRandom)
{
    const CircleProblem problem(15);
    CircleEngine engine(problem, 2);
    TParametrosPoblacion block = SmallBlock();
    block.breedingRetries = 0;
    engine.Start(block);
    const long draws = problem.randomDraws.load();
    engine.Generacion();
    EXPECT_EQ(problem.randomDraws.load() - draws, block.populationSize - block.survivors);
}

TEST(GenEngineTest, RevaloraMakesTheNextStatisticsPublishAndIncumbenteWithoutUpdateChangesNothing)
{
    const CircleProblem problem(15);
    CircleEngine engine(problem, 2);
    engine.Start(SmallBlock());
    engine.Generacion();
    TGen* incumbent = engine.Incumbente("test", false, true);
    ASSERT_FALSE(engine.GetBestChanged());

    engine.Generacion(); // keeps the incumbent behind the best gene at times
    engine.Revalora();
    EXPECT_EQ(engine.GetBestValue(), TGen::kNotEvaluated);
    EXPECT_TRUE(engine.GetBestChanged());
    const Sequence held(incumbent->GetItems(), incumbent->GetItems() + incumbent->GetLength());
    const float heldCost = incumbent->GetCoste();
    EXPECT_EQ(engine.Incumbente("test", false, false), incumbent);
    EXPECT_EQ(Sequence(incumbent->GetItems(), incumbent->GetItems() + incumbent->GetLength()),
              held);
    EXPECT_EQ(incumbent->GetCoste(), heldCost);
    EXPECT_TRUE(engine.GetBestChanged());

    engine.Incumbente("test", true, true);
    EXPECT_FALSE(engine.GetBestChanged());
    engine.Estadisticas();
    EXPECT_TRUE(engine.GetImproved());
    EXPECT_TRUE(engine.GetBestChanged());
    EXPECT_EQ(engine.GetBestValue(), engine.GetCurrentPopulation()->GetGen(0)->GetCoste());
}

TEST(GenEngineTest, ImponeGenTakesAPermutationAndRefusesAnythingElse)
{
    const CircleProblem problem(6);
    CircleEngine engine(problem, 1);
    engine.Start(SmallBlock());
    TGen& gene0 = *engine.GetCurrentPopulation()->GetGen(0);
    const Sequence before(gene0.GetItems(), gene0.GetItems() + 6);
    const Sequence refused[] = {{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4, 4}, {0, 1, 2, 3, 4, 6}};
    for (const Sequence& items : refused) {
        EXPECT_FALSE(engine.ImponeGen(items.data(), static_cast<int>(items.size())));
        EXPECT_EQ(Sequence(gene0.GetItems(), gene0.GetItems() + gene0.GetLength()), before);
    }
    const Sequence circle{0, 1, 2, 3, 4, 5};
    ASSERT_TRUE(engine.ImponeGen(circle.data(), 6));
    EXPECT_NEAR(gene0.GetCoste(), problem.OptimumLength(), 1e-5);
    const TGen& best = *engine.GetBestGene();
    EXPECT_EQ(Sequence(best.GetItems(), best.GetItems() + 6), circle);
}

TEST(GenEngineTest, AnEmptyGeneLeavesTheLoopIdle)
{
    const CircleProblem problem(10);
    CircleEngine engine(problem, 2);
    engine.Start(SmallBlock(), 0);
    engine.Generacion();
    EXPECT_EQ(engine.GetGeneration(), 0);

    std::atomic<int> running{1};
    const long evaluations = problem.evaluations.load();
    std::thread worker([&] { engine.Ejecuta(running); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(problem.evaluations.load(), evaluations);
    const auto stop = std::chrono::steady_clock::now();
    running = 0;
    engine.Wake();
    worker.join();
    EXPECT_EQ(engine.GetGeneration(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::milliseconds(400));
}

} // namespace
