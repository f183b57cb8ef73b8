#include "GenCircleProblem.h"
#include "KLV/CriticalSection.h"
#include "KLV/GenEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

// The search engine's run loop on a worker thread with a team of threads, and what other
// threads do to it meanwhile. Also run under ThreadSanitizer (make tsan).
namespace {

using namespace std::chrono_literals;
using trv::test::CircleEngine;
using trv::test::CircleGen;
using trv::test::CirclePob;
using trv::test::CircleProblem;
using Sequence = std::vector<unsigned short>;

constexpr int kThreads = 4;

Sequence Items(const TGen& gene)
{
    return Sequence(gene.GetItems(), gene.GetItems() + gene.GetLength());
}

bool IsPermutation(Sequence items)
{
    std::sort(items.begin(), items.end());
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i] != i)
            return false;
    return true;
}

// Runs the engine's loop on a worker thread until stopped or its generation limit.
class Worker
{
  public:
    explicit Worker(TGenEngine& engine) : m_engine(engine)
    {
        m_thread = std::thread([this] { m_engine.Ejecuta(m_running); });
    }
    ~Worker() { Stop(); }
    // As the document stops a run: the stop flags end a pass at once.
    void Stop()
    {
        m_engine.SetPopulationStopFlags(1);
        m_running = 0;
        m_engine.Wake();
        if (m_thread.joinable())
            m_thread.join();
        m_engine.SetPopulationStopFlags(0);
    }

  private:
    TGenEngine& m_engine;
    std::atomic<int> m_running{1};
    std::thread m_thread;
};

template <class Condition> bool WaitFor(Condition condition, std::chrono::seconds limit = 60s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TParametrosPoblacion ToyBlock()
{
    TParametrosPoblacion block;
    block.populationSize = 50;
    block.survivors = 26;
    block.randomFirstGene = 1;
    // Team threads at normal priority: on a busy machine the lowest one starves the barriers.
    block.workerThreadPriority = 0;
    block.localSearchStart = 30;
    block.localSearchStep = 30;
    return block;
}

TEST(GenEngineConcurrencyTest, TheToyReachesItsOptimumWhileAnotherThreadReadsTheIncumbent)
{
    const CircleProblem problem(30);
    CircleEngine engine(problem, kThreads);
    engine.Start(ToyBlock());
    engine.SetGenerationLimit(600);
    int invalid = 0;
    int wrongCost = 0;
    {
        Worker worker(engine);
        CircleGen check(nullptr, problem);
        for (int read = 0; read < 1000; ++read) {
            std::lock_guard readers(engine.GetReadersLock());
            const TGen& incumbent = *engine.Incumbente("test", false, true);
            invalid += !IsPermutation(Items(incumbent)) || incumbent.GetLength() != 30;
            check.SetItems(incumbent.GetItems(), incumbent.GetLength());
            wrongCost += check.Evaluate(1) != incumbent.GetCoste();
        }
        ASSERT_TRUE(WaitFor([&] {
            return engine.GetGeneration() >= 600 ||
                   std::abs(engine.Incumbente("test", false, true)->GetCoste() -
                            problem.OptimumLength()) < 1e-4;
        }));
        worker.Stop();
    }
    EXPECT_EQ(invalid, 0);
    EXPECT_EQ(wrongCost, 0);
    const TGen& best = *engine.Incumbente("test", true, true);
    EXPECT_NEAR(best.GetCoste(), problem.OptimumLength(), 1e-4);
}

// The best sequence and cost of a generation-bounded run.
std::pair<Sequence, float> BoundedRun(std::uint64_t seed, int generations)
{
    const CircleProblem problem(40);
    CircleEngine engine(problem, kThreads);
    engine.SetSeed(seed);
    engine.Start(ToyBlock());
    engine.SetGenerationLimit(generations);
    {
        std::atomic<int> running{1};
        std::thread worker([&] { engine.Ejecuta(running); });
        worker.join();
    }
    const TGen& best = *engine.Incumbente("test", false, true);
    return {Items(best), best.GetCoste()};
}

TEST(GenEngineConcurrencyTest, TheSameSeedAndTeamGiveTheSamePlan)
{
    const auto first = BoundedRun(2024, 300);
    const auto second = BoundedRun(2024, 300);
    EXPECT_EQ(first.first, second.first);
    EXPECT_EQ(first.second, second.second);
}

TEST(GenEngineConcurrencyTest, TheStepLockEndsARunningLocalSearchAndHoldsTheLoop)
{
    const int length = 300;
    const CircleProblem problem(length);
    CircleEngine engine(problem, kThreads);
    TParametrosPoblacion block = ToyBlock();
    block.localSearchStart = -1; // a local search in the first generation
    block.localSearchStep = 0;
    engine.Start(block);
    trv::SetCurrentStepEngine(&engine);
    TCriticalSection& section = trv::GetStepCriticalSection();
    {
        Worker worker(engine);
        ASSERT_TRUE(WaitFor([&] {
            return engine.GetCurrentPopulation()->GetLocalSearchRunning() != 0 &&
                   problem.evaluations.load() > 1000;
        }));
        section.EnterStepFunc(trv::GetCurrentStepEngine(), "test::Hold");
        // The insertion pass alone has length x length moves: the lock came long before.
        const long held = problem.evaluations.load();
        EXPECT_LT(held, static_cast<long>(length) * length / 2);
        const int generation = engine.GetGeneration();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(problem.evaluations.load(), held);
        EXPECT_EQ(engine.GetGeneration(), generation);
        section.LeaveStepFunc("test::Hold");
        EXPECT_TRUE(WaitFor([&] { return engine.GetGeneration() > generation; }));
    }
    trv::SetCurrentStepEngine(nullptr);
    EXPECT_EQ(section.GetSections(), 0);
}

// Every gene the engine holds is a permutation of the same length items, all below the item
// bound, and the cache's keys have that length.
void ExpectOneItemSet(CircleEngine& engine, int length)
{
    Sequence set = Items(*engine.GetCurrentPopulation()->GetGen(0));
    std::sort(set.begin(), set.end());
    ASSERT_EQ(static_cast<int>(std::unique(set.begin(), set.end()) - set.begin()), length);
    ASSERT_LT(set.back(), engine.GetItemBound());
    EXPECT_EQ(engine.GetCache().GetKeyLength(), length);
    std::vector<const TGen*> genes = {engine.GetFirstGene(), engine.GetBestGene(),
                                      engine.Incumbente("test", false, false)};
    for (TPoblacion* population :
         {engine.GetCurrentPopulation(), engine.GetNextPopulation(), engine.GetBetters()})
        for (int i = 0; i < population->GetSize(); ++i)
            genes.push_back(population->GetGen(i));
    int wrong = 0;
    for (const TGen* gene : genes) {
        Sequence items = Items(*gene);
        std::sort(items.begin(), items.end());
        wrong += items != set;
    }
    EXPECT_EQ(wrong, 0) << "of " << genes.size() << " genes, length " << length;
}

TEST(GenEngineConcurrencyTest, ItemChangesDuringARunKeepEveryGeneOnOneItemSet)
{
    const CircleProblem problem(40);
    CircleEngine engine(problem, kThreads);
    engine.Start(ToyBlock(), 30);
    trv::SetCurrentStepEngine(&engine);
    TCriticalSection& section = trv::GetStepCriticalSection();
    struct TChange
    {
        const char* name;
        void (*apply)(CircleEngine&);
        int length;
    };
    const TChange changes[] = {
        {"insert two at 5", [](CircleEngine& e) { e.InsertaElementos(2, 5); }, 32},
        {"append the next value", [](CircleEngine& e) { e.AnadeElemento(32, true); }, 33},
        {"remove 10 and renumber", [](CircleEngine& e) { e.QuitaElementoRenumera(10, true); }, 32},
        {"remove the last value", [](CircleEngine& e) { e.QuitaElemento(31); }, 31},
        {"insert three at the end", [](CircleEngine& e) { e.InsertaElementos(3, -1); }, 34},
    };
    {
        Worker worker(engine);
        for (const TChange& change : changes) {
            SCOPED_TRACE(change.name);
            const int generation = engine.GetGeneration();
            ASSERT_TRUE(WaitFor([&] { return engine.GetGeneration() > generation + 2; }));
            section.EnterStepFunc(trv::GetCurrentStepEngine(), "test::Change");
            change.apply(engine);
            ExpectOneItemSet(engine, change.length);
            section.LeaveStepFunc("test::Change");
        }
        section.EnterStepFunc(trv::GetCurrentStepEngine(), "test::Change");
        const int bound = engine.GetItemBound();
        EXPECT_FALSE(engine.QuitaElementoRenumera(static_cast<unsigned short>(bound), true));
        EXPECT_EQ(engine.GetItemBound(), bound);
        ExpectOneItemSet(engine, 34);
        section.LeaveStepFunc("test::Change");
        const int generation = engine.GetGeneration();
        ASSERT_TRUE(WaitFor([&] { return engine.GetGeneration() > generation + 2; }));
    }
    trv::SetCurrentStepEngine(nullptr);
    ExpectOneItemSet(engine, 34);
}

// A gene whose evaluation can be held in flight until the test lets it go.
struct TGateControl
{
    std::mutex mutex;
    std::condition_variable changed;
    bool holdEvaluations = false;
    int held = 0;
    std::atomic<int> finished{0};
};

class SlowGen : public CircleGen
{
  public:
    SlowGen(IGenEngine* engine, const CircleProblem& problem, TGateControl& control)
        : CircleGen(engine, problem), m_control(control)
    {
    }
    float Evaluate(int mode) override
    {
        {
            std::unique_lock lock(m_control.mutex);
            if (m_control.holdEvaluations) {
                ++m_control.held;
                m_control.changed.notify_all();
                m_control.changed.wait(lock, [&] { return !m_control.holdEvaluations; });
            }
        }
        const float cost = CircleGen::Evaluate(mode);
        m_control.finished.fetch_add(1);
        return cost;
    }

  private:
    TGateControl& m_control;
};

TEST(GenEngineConcurrencyTest, EntraPausaWaitsForEvaluationsInFlightAndHoldsNewOnesBack)
{
    const CircleProblem problem(12);
    CircleEngine engine(problem, kThreads);
    engine.Start(ToyBlock());
    TGateControl control;

    // One evaluation in flight on a thread of its own, held until released.
    control.holdEvaluations = true;
    std::thread slow([&] {
        SlowGen gene(&engine, problem, control);
        gene.EvaluateCost(1);
    });
    {
        std::unique_lock lock(control.mutex);
        control.changed.wait(lock, [&] { return control.held == 1; });
    }
    std::atomic<int> gateTaken{0};
    std::thread pauser([&] {
        const bool taken = engine.EntraPausa();
        gateTaken = 1;
        // New evaluations, on team threads and on a thread of their own, are held back.
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(control.finished.load(), 1);
        engine.SalePausa(taken);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(gateTaken.load(), 0) << "the gate was taken with an evaluation in flight";
    EXPECT_EQ(engine.GetPauseCounter(), 1);
    {
        std::lock_guard lock(control.mutex);
        control.holdEvaluations = false;
    }
    control.changed.notify_all();
    slow.join();
    ASSERT_TRUE(WaitFor([&] { return gateTaken.load() == 1; }));
    std::thread outsider([&] {
        SlowGen gene(&engine, problem, control);
        gene.EvaluateCost(1);
    });
    engine.GetTeam().For(
        TThreadTeam::ESchedule::Dynamic, 8, [](int) {},
        [&](std::int64_t, int) {
            SlowGen gene(&engine, problem, control);
            gene.EvaluateCost(1);
        });
    outsider.join();
    pauser.join();
    EXPECT_EQ(control.finished.load(), 10);
    EXPECT_EQ(engine.GetPauseCounter(), 0);
    EXPECT_EQ(engine.GetEvaluationsInFlight(), 0);
}

TEST(GenEngineConcurrencyTest, AGateTakenBeforeAPauseIsReleasedAfterIt)
{
    const CircleProblem problem(12);
    CircleEngine engine(problem, kThreads);
    engine.Start(ToyBlock());

    const bool taken = engine.EntraPausa();
    ASSERT_TRUE(taken);
    engine.SetPaused(true);
    EXPECT_FALSE(engine.EntraPausa()); // paused: the gate is not involved
    engine.SalePausa(taken);
    EXPECT_EQ(engine.GetPauseCounter(), 0);
    engine.SetPaused(false);

    // Released: another thread takes it and evaluations run.
    std::thread other([&] {
        const bool otherTaken = engine.EntraPausa();
        EXPECT_TRUE(otherTaken);
        engine.SalePausa(otherTaken);
    });
    other.join();
    CircleGen gene(&engine, problem);
    gene.EvaluateCost(1);
    EXPECT_EQ(engine.GetPauseCounter(), 0);
}

} // namespace
