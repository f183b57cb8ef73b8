#pragma once

#include <atomic>
#include <thread>
#include <vector>

// The lock around the optimiser's data. The optimiser's worker holds its engine's
// generation-step lock around each generation; code outside the optimiser takes that lock only
// through the program-wide TCriticalSection, which first asks the running step to end early.

// What TCriticalSection needs of the optimiser's engine; the engine implements it.
class IStepLockEngine
{
  public:
    virtual ~IStepLockEngine() = default;

    // The generation-step lock: a blocking wait, recursive for the thread that holds it.
    virtual void EnterGenerationStep() = 0;
    virtual void LeaveGenerationStep() = 0;

    // Sets the stop flag of the current and of the next population (1 makes a running step
    // end early, 0 lets it run).
    virtual void SetPopulationStopFlags(int value) = 0;

    // The evaluation gate the data model takes around changes that evaluations read. Decided
    // under the engine's own lock: when the document runs and the engine is not paused, raises
    // the pause counter, waits until no evaluation runs and holds the gate (recursive for its
    // holder). True when taken; pass the answer to SalePausa, which undoes exactly that.
    virtual bool EntraPausa() = 0;
    virtual void SalePausa(bool taken) = 0;
};

class TCriticalSection
{
  public:
    // Enters the engine's step lock for `name` ("Class::Method"): raises the stop flags, waits
    // for the lock, counts the entry, lowers the flags, tracing before and after. With no
    // engine it does nothing at all.
    void EnterStepFunc(IStepLockEngine* engine, const char* name);

    // Leaves the lock entered last; returns 0. A leave by a thread that holds no entry (the
    // count is 0, or another thread holds the lock) does nothing.
    int LeaveStepFunc(const char* name);

    // Entries not yet left.
    int GetSections() const { return m_sections.load(); }

  private:
    std::atomic<int> m_sections{0};
    std::atomic<std::thread::id> m_owner{};
    std::vector<IStepLockEngine*> m_engines; // one per entry; changed only by the owner
};

namespace trv {

// The one program-wide traced critical section.
TCriticalSection& GetStepCriticalSection();

// The document's running engine, null when no optimisation exists. The document sets it when
// it creates or deletes its engine; callers pass it to EnterStepFunc and skip the call when
// it is null.
IStepLockEngine* GetCurrentStepEngine();
void SetCurrentStepEngine(IStepLockEngine* engine);

} // namespace trv
