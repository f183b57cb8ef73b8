#include "KLV/CriticalSection.h"

#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Stands in for the optimiser's engine: a recursive step lock and two population stop flags.
class FakeEngine : public IStepLockEngine
{
  public:
    void EnterGenerationStep() override { stepLock.lock(); }
    void LeaveGenerationStep() override { stepLock.unlock(); }
    void SetPopulationStopFlags(int value) override
    {
        currentStop.store(value);
        nextStop.store(value);
    }
    bool EntraPausa() override { return false; }
    void SalePausa(bool) override {}

    std::recursive_mutex stepLock;
    std::atomic<int> currentStop{0};
    std::atomic<int> nextStop{0};
};

TEST(CriticalSectionTest, NestedEntriesCountAndTrace)
{
    TraceCapture trace(2);
    FakeEngine engine;
    TCriticalSection section;
    std::vector<int> counts{section.GetSections()};
    section.EnterStepFunc(&engine, "A::Outer");
    counts.push_back(section.GetSections());
    section.EnterStepFunc(&engine, "A::Inner");
    counts.push_back(section.GetSections());
    EXPECT_EQ(section.LeaveStepFunc("A::Inner"), 0);
    counts.push_back(section.GetSections());
    section.LeaveStepFunc("A::Outer");
    counts.push_back(section.GetSections());
    EXPECT_EQ(counts, (std::vector<int>{0, 1, 2, 1, 0}));

    // The lock is free again: another thread can take it at once.
    std::thread other([&] {
        EXPECT_TRUE(engine.stepLock.try_lock());
        engine.stepLock.unlock();
    });
    other.join();

    EXPECT_EQ(trace.Messages(),
              (std::vector<std::string>{
                  "A::Outer=>Antes del EnterCriticalSection tengo 0 sections",
                  "A::Outer=>Tenia 0 sections y despues del ENTER tengo 1 sections",
                  "A::Inner=>Antes del EnterCriticalSection tengo 1 sections",
                  "A::Inner=>Tenia 1 sections y despues del ENTER tengo 2 sections",
                  "A::Inner=>Antes del LeaveCriticalSection tengo 2 sections",
                  "A::Inner=>Tenia 2 sections y despues del LEAVE tengo 1 sections",
                  "A::Outer=>Antes del LeaveCriticalSection tengo 1 sections",
                  "A::Outer=>Tenia 1 sections y despues del LEAVE tengo 0 sections",
              }));
}

TEST(CriticalSectionTest, NoEngineAndUnbalancedLeavesDoNothing)
{
    TraceCapture trace(3);
    FakeEngine engine;
    TCriticalSection section;
    section.EnterStepFunc(nullptr, "A::NoEngine");
    EXPECT_EQ(section.LeaveStepFunc("A::Unbalanced"), 0);
    EXPECT_EQ(section.GetSections(), 0);

    // A thread that holds no entry cannot release the holder's lock.
    section.EnterStepFunc(&engine, "A::Holder");
    std::thread other([&] { section.LeaveStepFunc("B::NotHolder"); });
    other.join();
    EXPECT_EQ(section.GetSections(), 1);
    section.LeaveStepFunc("A::Holder");
    EXPECT_EQ(section.GetSections(), 0);

    const std::vector<std::string> messages = trace.Messages();
    ASSERT_EQ(messages.size(), 4u);
    for (const std::string& message : messages)
        EXPECT_EQ(message.rfind("A::Holder=>", 0), 0u) << message;
}

TEST(CriticalSectionTest, WaitingRaisesTheStopFlagsUntilTheLockIsHeld)
{
    TraceCapture trace(2);
    FakeEngine engine;
    TCriticalSection section;
    engine.stepLock.lock(); // the optimiser's worker runs a generation step

    std::atomic<bool> entered{false};
    std::atomic<int> flagsSeenInside{-1};
    std::thread editor([&] {
        section.EnterStepFunc(&engine, "CDlg::OnEdit");
        entered = true;
        flagsSeenInside = engine.currentStop + engine.nextStop;
        section.LeaveStepFunc("CDlg::OnEdit");
    });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((engine.currentStop == 0 || engine.nextStop == 0) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(engine.currentStop, 1);
    EXPECT_EQ(engine.nextStop, 1);
    EXPECT_FALSE(entered);

    engine.stepLock.unlock(); // the step sees the flags and ends
    editor.join();
    EXPECT_TRUE(entered);
    EXPECT_EQ(flagsSeenInside, 0);
    EXPECT_EQ(engine.currentStop, 0);
    EXPECT_EQ(engine.nextStop, 0);
    EXPECT_EQ(section.GetSections(), 0);
}

TEST(CriticalSectionTest, ProgramWideSectionAndEngine)
{
    TraceCapture trace(1);
    FakeEngine engine;
    EXPECT_EQ(trv::GetCurrentStepEngine(), nullptr);
    trv::SetCurrentStepEngine(&engine);
    trv::GetStepCriticalSection().EnterStepFunc(trv::GetCurrentStepEngine(), "A::Global");
    EXPECT_EQ(trv::GetStepCriticalSection().GetSections(), 1);
    trv::GetStepCriticalSection().LeaveStepFunc("A::Global");
    trv::SetCurrentStepEngine(nullptr);
    EXPECT_EQ(trv::GetStepCriticalSection().GetSections(), 0);
}

} // namespace
