#include "KLV/Poblacion.h"

#include "GenCircleProblem.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using trv::test::CircleGen;
using trv::test::CircleProblem;
using trv::test::CircleTestEngine;

TParametrosPoblacion Block(int size, int survivors)
{
    TParametrosPoblacion block;
    block.populationSize = size;
    block.survivors = survivors;
    block.reseedBest = 0;
    return block;
}

// Gives the genes of population these costs, in position order.
void SetCosts(TPoblacion& population, const std::vector<float>& costs)
{
    for (int i = 0; i < static_cast<int>(costs.size()); ++i)
        population.GetGen(i)->SetCoste(costs[i]);
}

std::vector<float> Costs(const TPoblacion& population)
{
    std::vector<float> costs;
    for (int i = 0; i < population.GetSize(); ++i)
        costs.push_back(population.GetGen(i)->GetCoste());
    return costs;
}

bool SortedByCost(const TPoblacion& population)
{
    const std::vector<float> costs = Costs(population);
    return std::is_sorted(costs.begin(), costs.end());
}

TEST(PoblacionTest, ParameterBlockKeepsSurvivorsWithinThePopulation)
{
    const struct
    {
        int size, children, survivors;
    } cases[] = {{100, 24, 76}, {100, 0, 100}, {100, 100, 0}, {100, 150, 0}, {100, -5, 100}};
    for (const auto& c : cases) {
        TParametrosPoblacion block;
        block.populationSize = c.size;
        block.SetChildren(c.children);
        EXPECT_EQ(block.survivors, c.survivors) << c.size << " " << c.children;
    }

    TraceCapture trace(1);
    TParametrosPoblacion empty = Block(0, 0);
    EXPECT_FALSE(empty.Validate());
    EXPECT_EQ(trace.Messages().size(), 1u);
    EXPECT_TRUE(Block(1, 0).Validate());

    const CircleProblem problem(4);
    trv::test::CirclePob clamped(Block(0, 7), problem);
    EXPECT_EQ(clamped.GetSize(), 1) << "a population never has fewer genes than one";
    EXPECT_EQ(clamped.GetSurvivors(), 1);
}

TEST(PoblacionTest, InicializaFillsSortsAndRecordsTheFirstGene)
{
    const CircleProblem problem(12);
    CircleTestEngine engine(problem, Block(20, 15));
    TPoblacion& population = engine.Current();
    population.Inicializa(false);
    EXPECT_TRUE(SortedByCost(population));
    for (int i = 0; i < population.GetSize(); ++i)
        EXPECT_TRUE(population.GetGen(i)->EsValido());
    // The first gene is gene 0 before the sort; the published best is gene 0 after it.
    EXPECT_TRUE(engine.Betters().GetGen(0)->Iguales(*engine.GetFirstGene()));
    EXPECT_TRUE(engine.Best().Iguales(*population.GetGen(0)));
    EXPECT_EQ(population.GetWorstCost(), population.GetGen(19)->GetCoste());
}

TEST(PoblacionTest, InicializaDrawsAtMostTwelveTimesPerGene)
{
    const CircleProblem problem(6, /*constantCost=*/true);
    CircleTestEngine engine(problem, Block(5, 3));
    engine.Current().Inicializa(false);
    EXPECT_EQ(problem.randomDraws.load(), 1 + 4 * 12);
}

TEST(PoblacionTest, OrdenaPutsAChildOfEqualCostAfterTheSurvivor)
{
    const CircleProblem problem(4);
    CircleTestEngine engine(problem, Block(5, 3));
    TPoblacion& population = engine.Current();
    SetCosts(population, {1, 3, 5, 3, 0.5f});
    TGen* survivor = population.GetGen(1);
    TGen* child = population.GetGen(3);
    population.Ordena();
    EXPECT_EQ(Costs(population), (std::vector<float>{0.5f, 1, 3, 3, 5}));
    EXPECT_EQ(population.GetGen(2), survivor);
    EXPECT_EQ(population.GetGen(3), child);
    EXPECT_EQ(population.GetWorstCost(), 5.0f);
}

TEST(PoblacionTest, BuscaCoste)
{
    const CircleProblem problem(4);
    CircleTestEngine engine(problem, Block(4, 4));
    TPoblacion& population = engine.Current();
    SetCosts(population, {1, 3, 3, 7});
    const struct
    {
        float cost;
        bool found;
        int position;
    } cases[] = {{0, false, 0}, {1, true, 0}, {2, false, 1}, {3, true, 1},
                 {5, false, 3}, {7, true, 4}, {8, false, 4}};
    for (const auto& c : cases) {
        const auto [found, position] = population.BuscaCoste(c.cost, 4);
        EXPECT_EQ(found, c.found) << c.cost;
        EXPECT_EQ(position, c.position) << c.cost;
    }
    EXPECT_EQ(population.BuscaCoste(5, 0), std::make_pair(false, 0));
}

TEST(PoblacionTest, OrdenaBurbujaSortsTracksTheWorstAndPublishes)
{
    const CircleProblem problem(4);
    CircleTestEngine engine(problem, Block(5, 5));
    TPoblacion& population = engine.Current();
    for (int i = 0; i < 5; ++i)
        population.GetGen(i)->Azar();
    SetCosts(population, {4, 9, 2, 7, 1});
    TGen* cheapest = population.GetGen(4);
    population.OrdenaBurbuja(5);
    EXPECT_EQ(Costs(population), (std::vector<float>{1, 2, 4, 7, 9}));
    EXPECT_EQ(population.GetWorstCost(), 9.0f);
    EXPECT_EQ(engine.publishes, 1);
    EXPECT_TRUE(engine.Best().Iguales(*cheapest));

    // One pass moves the cheapest to the front only.
    SetCosts(population, {5, 4, 3, 2, 1});
    population.OrdenaBurbuja(1);
    EXPECT_EQ(Costs(population), (std::vector<float>{1, 5, 4, 3, 2}));
}

TEST(PoblacionTest, RevaluaReevaluatesAndSortsUnlessPaused)
{
    const CircleProblem problem(8);
    CircleTestEngine engine(problem, Block(6, 4));
    TPoblacion& population = engine.Current();
    population.Inicializa(false);
    SetCosts(population, {9, 8, 7, 6, 5, 4}); // stale costs, reversed
    engine.paused = true;
    population.Revalua();
    EXPECT_EQ(engine.improvedSets, 1);
    for (int i = 0; i < 6; ++i) {
        const TGen& gene = *population.GetGen(i);
        EXPECT_FLOAT_EQ(gene.GetCoste(), problem.TourLength(gene.GetItems(), 8));
    }
    engine.paused = false;
    SetCosts(population, {9, 8, 7, 6, 5, 4});
    population.Revalua();
    EXPECT_TRUE(SortedByCost(population));
    EXPECT_EQ(engine.improvedSets, 2);
}

TEST(PoblacionTest, PartialReseedKeepsGeneZero)
{
    const CircleProblem problem(10);
    CircleTestEngine engine(problem, Block(8, 6));
    TPoblacion& population = engine.Current();
    population.Inicializa(false);
    TGen* best = population.GetGen(0);
    const std::vector<unsigned short> bestItems(best->GetItems(), best->GetItems() + 10);
    const long draws = problem.randomDraws.load();
    population.Randomiza(false, false, false);
    EXPECT_EQ(problem.randomDraws.load() - draws, 7) << "genes 1 .. N - 1";
    EXPECT_EQ(population.GetGen(0), best);
    EXPECT_EQ(std::vector<unsigned short>(best->GetItems(), best->GetItems() + 10), bestItems);
    EXPECT_EQ(engine.reseedCounter, 1);
    EXPECT_EQ(engine.Betters().GetSize(), 1) << "a partial re-seed keeps no better";
    EXPECT_TRUE(SortedByCost(population));
}

TEST(PoblacionTest, FullReseedIsTotalOnlyWhileTheBettersAreFew)
{
    const CircleProblem problem(10);
    for (const int mostKept : {0, 5}) {
        TParametrosPoblacion block = Block(8, 6);
        block.mostKeptGoodGenes = mostKept;
        CircleTestEngine engine(problem, block);
        TPoblacion& population = engine.Current();
        population.Inicializa(false);
        // Another start gene, so a restored first gene shows.
        TGen& first = *engine.GetFirstGene();
        first.Intercambia(0, 1);
        const float oldBest = population.GetGen(0)->GetCoste();
        population.GetGen(0)->SetCoste(oldBest - 1); // differs from the betters' gene 0
        TGen* geneZero = population.GetGen(0);
        const long draws = problem.randomDraws.load();
        population.Randomiza(true, false, false);

        // Either way the best goes into the betters first.
        ASSERT_EQ(engine.Betters().GetSize(), 2) << mostKept;
        EXPECT_EQ(engine.Betters().GetGen(0)->GetCoste(), oldBest - 1);
        if (mostKept == 0) {
            // Two betters above the limit of 0: a partial re-seed, without betters back.
            EXPECT_EQ(problem.randomDraws.load() - draws, 7);
            EXPECT_EQ(engine.totalResets, 0);
            EXPECT_EQ(population.GetGen(0), geneZero);
        } else {
            EXPECT_EQ(problem.randomDraws.load() - draws, 8);
            EXPECT_EQ(engine.totalResets, 1);
            EXPECT_EQ(engine.reseedCounter, 0);
            bool firstRestored = false;
            for (int i = 0; i < 8; ++i)
                firstRestored = firstRestored || population.GetGen(i)->Iguales(first);
            EXPECT_TRUE(firstRestored) << "gene 0 becomes the run's first gene";
        }
        EXPECT_TRUE(SortedByCost(population));
    }
}

TEST(PoblacionTest, ReseedsBringBettersBack)
{
    const CircleProblem problem(10);
    const struct
    {
        bool bad, good;
        std::vector<float> expected; // costs after the re-seed, sorted
    } cases[] = {
        // Gene 0 costs 0.5, the betters 0.1 and 0.9: bad brings back only the worse one from
        // position 1; good keeps gene 0 among the betters and brings them all from position 0.
        {true, false, {0.5f, 0.9f}},
        {false, true, {0.1f, 0.5f, 0.9f}},
    };
    for (const auto& c : cases) {
        CircleTestEngine engine(problem, Block(6, 4));
        TPoblacion& population = engine.Current();
        population.Inicializa(false);
        TPoblacion& betters = engine.Betters();
        betters.GetGen(0)->SetCoste(0.1f);
        TGen* worse = betters.NuevoGen(nullptr);
        worse->Copia(*betters.GetGen(0));
        worse->SetCoste(0.9f);
        betters.AnadeGen(worse);
        population.GetGen(0)->SetCoste(0.5f);
        population.Randomiza(false, c.bad, c.good);

        std::vector<float> low;
        for (float cost : Costs(population))
            if (cost < 1.0f)
                low.push_back(cost);
        EXPECT_EQ(low, c.expected) << c.good;
        EXPECT_EQ(engine.localSearchEndMarks, c.good ? 1 : 0);
    }
}

TEST(PoblacionTest, SelectionWeightsAreCumulative)
{
    const CircleProblem problem(4);
    CircleTestEngine engine(problem, Block(4, 4));
    TPoblacion& population = engine.Current();
    SetCosts(population, {1, 2, 3, 5});
    population.OrdenaBurbuja(4); // worst cost 5
    population.PesosCuadraticos();
    // Squared distances 16, 9, 4, 0 of 29, as running percentages.
    const float expected[] = {1600.0f / 29, 2500.0f / 29, 2900.0f / 29, 100.0f};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(population.GetGen(i)->GetPeso(), expected[i], 1e-3) << i;
    population.PesosLineales();
    EXPECT_NEAR(population.GetGen(0)->GetPeso(), 400.0f / 9, 1e-3);

    SetCosts(population, {2, 2, 2, 2});
    population.OrdenaBurbuja(4);
    population.PesosCuadraticos();
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(population.GetGen(i)->GetPeso(), 25.0f * (i + 1)) << "equal shares";
}

TEST(PoblacionTest, ItemChangesReachEveryGene)
{
    const CircleProblem problem(5);
    CircleTestEngine engine(problem, Block(4, 2), 3);
    TPoblacion& population = engine.Current();
    population.Inicializa(false);
    EXPECT_TRUE(population.AnadeElemento(7));
    EXPECT_EQ(population.Parametros().geneLength, 6);
    EXPECT_FALSE(population.AnadeElemento(7)) << "present already";
    EXPECT_TRUE(population.QuitaYRenumera(2));
    EXPECT_EQ(population.Parametros().geneLength, 5);
    EXPECT_FALSE(population.QuitaElemento(9));
    for (int i = 0; i < population.GetSize(); ++i) {
        const TGen& gene = *population.GetGen(i);
        std::vector<unsigned short> sorted(gene.GetItems(), gene.GetItems() + gene.GetLength());
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<unsigned short>{0, 1, 2, 3, 6})) << i;
    }

    population.AsignaEstructuras();
    for (int i = 0; i < population.GetSize(); ++i)
        EXPECT_EQ(population.GetGen(i)->GetWorkspaceInUse(), engine.GetThreadWorkspace(i % 3).get())
            << i;
}

} // namespace
