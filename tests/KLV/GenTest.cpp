#include "KLV/Gen.h"

#include "GenCircleProblem.h"
#include "KLV/GenRandom.h"
#include "KLV/MapGenToCola.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using trv::test::CircleGen;
using trv::test::CircleProblem;
using trv::test::CircleTestEngine;
using Items = std::vector<unsigned short>;

Items ItemsOf(const TGen& gene)
{
    return Items(gene.GetItems(), gene.GetItems() + gene.GetLength());
}

std::vector<int> Draws(TGenRandom& stream, int count)
{
    std::vector<int> draws;
    for (int i = 0; i < count; ++i)
        draws.push_back(stream.Next());
    return draws;
}

// A gene of the toy problem whose evaluation can be made to fail.
class NanGen : public CircleGen
{
  public:
    using CircleGen::CircleGen;
    float Evaluate(int mode) override
    {
        if (!giveNaN)
            return CircleGen::Evaluate(mode);
        SetCoste(std::numeric_limits<float>::quiet_NaN());
        return GetCoste();
    }
    bool giveNaN = true;
};

TEST(GenRandomTest, StreamsRepeatByKeyAndStayInRange)
{
    TGenRandom a(314), b(314), other(315);
    const std::vector<int> first = Draws(a, 1000);
    EXPECT_EQ(first, Draws(b, 1000));
    EXPECT_NE(first, Draws(other, 1000));
    a.Seed(314);
    EXPECT_EQ(Draws(a, 1000), first) << "re-seeding restarts the stream";

    long sum = 0;
    for (int draw : first) {
        ASSERT_GE(draw, 0);
        ASSERT_LE(draw, TGenRandom::kRandMax);
        sum += draw;
    }
    EXPECT_NEAR(static_cast<double>(sum) / first.size(), 16383.5, 1000.0);

    // A child slot's stream depends on seed, generation and slot only, and on each of them.
    TGenRandom slot = TGenRandom::ForChildSlot(314, 7, 3);
    const std::vector<int> slotDraws = Draws(slot, 100);
    TGenRandom again = TGenRandom::ForChildSlot(314, 7, 3);
    EXPECT_EQ(Draws(again, 100), slotDraws);
    for (auto [seed, generation, index] : {std::tuple{315, 7, 3}, {314, 8, 3}, {314, 7, 4}}) {
        TGenRandom neighbour = TGenRandom::ForChildSlot(seed, generation, index);
        EXPECT_NE(Draws(neighbour, 100), slotDraws) << seed << " " << generation << " " << index;
    }
}

TEST(GenTest, AzarDrawsTheSamePermutationForTheSameSeed)
{
    const CircleProblem problem(50);
    TParametrosPoblacion block;
    CircleTestEngine engineA(problem, block), engineB(problem, block);
    CircleGen a(&engineA, problem), b(&engineB, problem);
    a.Azar();
    b.Azar();
    EXPECT_TRUE(a.EsValido());
    EXPECT_EQ(ItemsOf(a), ItemsOf(b));
    EXPECT_FLOAT_EQ(a.GetCoste(), problem.TourLength(a.GetItems(), 50));
    b.Azar();
    EXPECT_NE(ItemsOf(a), ItemsOf(b)) << "the next draw is another permutation";

    // A lent stream (a child slot's) gives the same draw whichever thread runs it.
    Items onThreads[2];
    for (Items& items : onThreads) {
        std::thread([&] {
            CircleGen child(&engineA, problem);
            TGenRandom slot = TGenRandom::ForChildSlot(314, 1, 5);
            child.SetRandomStream(&slot);
            child.Azar();
            items = ItemsOf(child);
        }).join();
    }
    EXPECT_EQ(onThreads[0], onThreads[1]);
}

TEST(GenTest, EsValidoRefusesRepeatsAndItemsAtOrAboveTheBound)
{
    const CircleProblem problem(4);
    CircleTestEngine engine(problem, TParametrosPoblacion{});
    const struct
    {
        Items items;
        bool valid;
    } cases[] = {
        {{0, 1, 2, 3}, true},
        {{3, 2, 1, 0}, true},
        {{0, 1, 1, 3}, false}, // repeated
        {{0, 1, 2, 4}, false}, // at the bound
        {{0, 1, 9, 3}, false}, // above it
        {{}, true},
    };
    for (const auto& c : cases) {
        CircleGen gene(&engine, problem);
        gene.SetItems(c.items.data(), static_cast<int>(c.items.size()));
        EXPECT_EQ(gene.EsValido(), c.valid) << ::testing::PrintToString(c.items);
        EXPECT_EQ(gene.CompruebaGen(), c.valid);
    }
}

TEST(GenTest, ItemOperations)
{
    const CircleProblem problem(5);
    const struct
    {
        const char* name;
        Items before;
        std::function<int(TGen&)> operation; // its result as an int (bools 0/1)
        int result;
        Items after;
    } cases[] = {
        {"add new at end",
         {0, 1, 2},
         [](TGen& g) { return g.AnadeElemento(4, true, true, true); },
         1,
         {0, 1, 2, 4}},
        {"add new first",
         {0, 1, 2},
         [](TGen& g) { return g.AnadeElemento(4, false, true, true); },
         1,
         {4, 0, 1, 2}},
        {"add present, checked",
         {0, 1, 2},
         [](TGen& g) { return g.AnadeElemento(1, true, true, true); },
         0,
         {0, 1, 2}},
        {"add present, unchecked",
         {0, 1},
         [](TGen& g) { return g.AnadeElemento(1, true, false, false); },
         1,
         {0, 1, 1}},
        {"add several first",
         {0, 1},
         [](TGen& g) {
             const unsigned short v[] = {3, 4};
             g.AnadeElementos(2, v, false);
             return 0;
         },
         0,
         {3, 4, 0, 1}},
        {"remove present", {0, 3, 1}, [](TGen& g) { return g.QuitaElemento(3, true); }, 1, {0, 1}},
        {"remove absent",
         {0, 3, 1},
         [](TGen& g) { return g.QuitaElemento(2, true); },
         0,
         {0, 3, 1}},
        {"remove several",
         {4, 0, 3, 1},
         [](TGen& g) {
             const unsigned short v[] = {3, 4, 2};
             g.QuitaElementos(true, 3, v);
             return 0;
         },
         0,
         {0, 1}},
        {"remove and renumber",
         {4, 0, 2, 1, 3},
         [](TGen& g) { return g.QuitaYRenumera(2); },
         1,
         {3, 0, 1, 2}},
        {"renumber absent",
         {4, 0, 1, 3},
         [](TGen& g) { return g.QuitaYRenumera(2); },
         0,
         {3, 0, 1, 2}},
        // Bound 5: the newest value 4 takes the place of 1, which moves up with the rest.
        {"make room for 1",
         {4, 0, 2, 1, 3},
         [](TGen& g) {
             g.Renumera(1);
             return 0;
         },
         0,
         {1, 0, 3, 2, 4}},
        {"position", {4, 0, 2}, [](TGen& g) { return g.Posicion(2); }, 2, {4, 0, 2}},
        {"position absent", {4, 0, 2}, [](TGen& g) { return g.Posicion(1); }, 3, {4, 0, 2}},
        {"position, empty gene", {}, [](TGen& g) { return g.Posicion(0); }, 0, {}},
        {"contains",
         {4, 0, 2},
         [](TGen& g) { return g.Contiene(0) * 10 + g.Contiene(3); },
         10,
         {4, 0, 2}},
    };
    for (const auto& c : cases) {
        CircleTestEngine engine(problem, TParametrosPoblacion{});
        CircleGen gene(&engine, problem);
        gene.SetItems(c.before.data(), static_cast<int>(c.before.size()));
        EXPECT_EQ(c.operation(gene), c.result) << c.name;
        EXPECT_EQ(ItemsOf(gene), c.after) << c.name;
    }
}

TEST(GenTest, AddingARaisesTheItemBoundAndTheUsedFlags)
{
    const CircleProblem problem(4);
    CircleTestEngine engine(problem, TParametrosPoblacion{});
    CircleGen gene(&engine, problem);
    const Items start{0, 1, 2, 3};
    gene.SetItems(start.data(), 4);
    EXPECT_TRUE(gene.AnadeElemento(9, true, true, true));
    EXPECT_EQ(engine.GetItemBound(), 10);
    EXPECT_EQ(gene.GetUsedFlagCount(), 10);
    const unsigned short more[] = {12, 11};
    gene.AnadeElementos(2, more, true);
    EXPECT_EQ(engine.GetItemBound(), 13);
    EXPECT_TRUE(gene.EsValido());
    EXPECT_EQ(engine.Current().Parametros().geneLength, 7) << "the population follows the length";
    EXPECT_TRUE(gene.QuitaElemento(9, true));
    EXPECT_EQ(engine.Current().Parametros().geneLength, 6);
}

TEST(GenTest, MovesReorderAndReevaluate)
{
    const CircleProblem problem(6);
    const struct
    {
        const char* name;
        std::function<void(TGen&)> move;
        Items after;
    } cases[] = {
        {"swap", [](TGen& g) { g.Intercambia(1, 4); }, {0, 4, 2, 3, 1, 5}},
        {"insert forward", [](TGen& g) { g.Inserta(1, 4); }, {0, 2, 3, 4, 1, 5}},
        {"insert backward", [](TGen& g) { g.Inserta(4, 1); }, {0, 4, 1, 2, 3, 5}},
        {"segment forward", [](TGen& g) { g.MueveSegmento(1, 2, 3, false); }, {0, 3, 4, 1, 2, 5}},
        {"segment backward reversed",
         [](TGen& g) { g.MueveSegmento(3, 5, 0, true); },
         {5, 4, 3, 0, 1, 2}},
        {"segment to the end",
         [](TGen& g) { g.MueveSegmento(0, 1, 4, false); },
         {2, 3, 4, 5, 0, 1}},
        {"segment in place reversed",
         [](TGen& g) { g.MueveSegmento(2, 4, 2, true); },
         {0, 1, 4, 3, 2, 5}},
    };
    for (const auto& c : cases) {
        CircleTestEngine engine(problem, TParametrosPoblacion{});
        CircleGen gene(&engine, problem);
        const Items start{0, 1, 2, 3, 4, 5};
        gene.SetItems(start.data(), 6);
        c.move(gene);
        EXPECT_EQ(ItemsOf(gene), c.after) << c.name;
        EXPECT_FLOAT_EQ(gene.GetCoste(), problem.TourLength(c.after.data(), 6)) << c.name;
    }
}

TEST(GenTest, CopyMoveAndEquality)
{
    const CircleProblem problem(5);
    CircleTestEngine engine(problem, TParametrosPoblacion{}, 2);
    auto ownSpace = std::make_shared<TEstructurasOptimizacion>();
    CircleGen source(&engine, problem), copy(&engine, problem, ownSpace);
    EXPECT_FALSE(source.HasOwnWorkspace());
    EXPECT_EQ(source.GetWorkspaceInUse(), engine.GetThreadWorkspace(0).get());
    EXPECT_TRUE(copy.HasOwnWorkspace());

    source.Azar();
    source.SetPeso(7.5f);
    copy.Copia(source);
    EXPECT_TRUE(copy.Iguales(source));
    EXPECT_EQ(copy.GetPeso(), 7.5f);
    EXPECT_EQ(copy.GetWorkspace(), ownSpace) << "Copia leaves the workspace";
    EXPECT_EQ(copy.GetWorkspaceInUse(), ownSpace.get());

    copy.Intercambia(0, 1);
    EXPECT_FALSE(copy.Iguales(source));

    CircleGen taker(&engine, problem);
    const Items items = ItemsOf(source);
    taker.Mueve(source);
    EXPECT_EQ(ItemsOf(taker), items);
    EXPECT_EQ(source.GetLength(), 0);
}

TEST(GenTest, GuardaThenLeeGivesTheSameItems)
{
    const CircleProblem problem(7);
    CircleTestEngine engine(problem, TParametrosPoblacion{});
    CircleGen saved(&engine, problem), read(&engine, problem);
    saved.Azar();
    std::stringstream file;
    ASSERT_TRUE(saved.Guarda(file));
    EXPECT_EQ(file.str().size(), 4u + 2 * 7);
    EXPECT_EQ(file.str().substr(0, 4), std::string("\x07\0\0\0", 4)) << "little-endian length";
    ASSERT_TRUE(read.Lee(file));
    EXPECT_EQ(ItemsOf(read), ItemsOf(saved));
    EXPECT_FLOAT_EQ(read.GetCoste(), saved.GetCoste()) << "read genes are evaluated";
}

TEST(GenTest, LeeRefusesDamagedSequencesAndKeepsTheGene)
{
    const CircleProblem problem(3);
    CircleTestEngine engine(problem, TParametrosPoblacion{});
    auto bytes = [](std::initializer_list<int> values) {
        std::string text;
        for (int v : values)
            text += static_cast<char>(v);
        return text;
    };
    const struct
    {
        const char* name;
        std::string file;
    } cases[] = {
        {"empty", ""},
        {"short length", bytes({3, 0})},
        {"short items", bytes({3, 0, 0, 0, 1, 0, 0, 0})},
        {"negative length", bytes({0xFF, 0xFF, 0xFF, 0xFF})},
        {"huge length", bytes({0, 0, 0, 0x40})},
        {"item at the bound", bytes({3, 0, 0, 0, 0, 0, 1, 0, 3, 0})},
        {"repeated item", bytes({3, 0, 0, 0, 0, 0, 1, 0, 1, 0})},
    };
    for (const auto& c : cases) {
        CircleGen gene(&engine, problem);
        const Items before{2, 0, 1};
        gene.SetItems(before.data(), 3);
        std::istringstream in(c.file);
        EXPECT_FALSE(gene.Lee(in)) << c.name;
        EXPECT_EQ(ItemsOf(gene), before) << c.name;
    }
}

TEST(GenTest, EvaluaConCacheEvaluatesEachSequenceOnce)
{
    const CircleProblem problem(9);
    CircleTestEngine engine(problem, TParametrosPoblacion{});
    CircleGen a(&engine, problem), b(&engine, problem);
    a.Azar();
    const long afterFirst = problem.evaluations.load();
    EXPECT_EQ(engine.GetCache().GetCount(), 1);

    b.SetItems(a.GetItems(), a.GetLength());
    b.SetCoste(TGen::kNotEvaluated);
    b.EvaluaConCache();
    EXPECT_EQ(problem.evaluations.load(), afterFirst) << "a hit evaluates nothing";
    EXPECT_EQ(b.GetCoste(), a.GetCoste());

    // A gene whose length differs from the cache's keys is evaluated directly, never cached.
    const unsigned short extra = 9;
    b.AnadeElemento(extra, true, true, true);
    b.EvaluaConCache();
    EXPECT_EQ(problem.evaluations.load(), afterFirst + 1);
    EXPECT_EQ(engine.GetCache().GetCount(), 1);
}

TEST(GenTest, ANaNCostIsAFault)
{
    TraceCapture trace(1);
    const CircleProblem problem(4);
    CircleTestEngine engine(problem, TParametrosPoblacion{});
    NanGen gene(&engine, problem);
    EXPECT_DEBUG_DEATH(gene.EvaluaConCache(), "NaN");
#ifdef NDEBUG
    EXPECT_EQ(gene.GetCoste(), TGen::kNotEvaluated);
    EXPECT_EQ(engine.GetCache().GetCount(), 0) << "a fault is never cached";
    const auto messages = trace.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("NaN"), std::string::npos);
#endif
}

TEST(GenTest, FirstGeneComesFromTheFirstSequenceOrIsBuilt)
{
    const CircleProblem problem(5);
    const unsigned short first[] = {4, 3, 2, 1, 0};
    CircleTestEngine withFirst(problem, TParametrosPoblacion{}, 1, first);
    CircleGen loaded(&withFirst, problem);
    loaded.FabricaPrimerGen();
    EXPECT_EQ(ItemsOf(loaded), Items(first, first + 5));
    EXPECT_FLOAT_EQ(loaded.GetCoste(), problem.TourLength(first, 5));
    EXPECT_EQ(withFirst.stepWaits, 2) << "waits for the running step before and after";

    TParametrosPoblacion randomFirst;
    randomFirst.randomFirstGene = 1;
    CircleTestEngine without(problem, randomFirst);
    CircleGen built(&without, problem);
    const long drawsBefore = problem.randomDraws.load();
    built.FabricaPrimerGen();
    EXPECT_EQ(problem.randomDraws.load(), drawsBefore + 1);
    EXPECT_TRUE(built.EsValido());
    EXPECT_EQ(without.stepWaits, 0);
}

TEST(GenTest, GuardaTxtTraceWritesTheCostAndEveryItem)
{
    TraceCapture trace(3);
    const CircleProblem problem(3);
    CircleGen gene(nullptr, problem);
    const Items items{2, 0, 1};
    gene.SetItems(items.data(), 3);
    gene.SetCoste(12.345f);
    gene.GuardaTxtTrace();
    EXPECT_EQ(trace.Messages(), std::vector<std::string>{"Value=[12.35] [2][0][1]"});
}

TEST(GenTest, WorkerThreadPriorityOnlyGoesDown)
{
    auto niceAfter = [](int priority, int startNice) {
        int result = 0;
        std::thread([&] {
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), startNice);
            SetWorkerThreadPriority(priority);
            result = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        }).join();
        return result;
    };
    const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    EXPECT_EQ(niceAfter(-2, base), std::max(base, 10));
    EXPECT_EQ(niceAfter(-15, base), 19);
    EXPECT_EQ(niceAfter(1, base), base) << "never raised";
    EXPECT_EQ(niceAfter(-1, 15), 15) << "a thread already lower stays where it is";
}

} // namespace
