#include "KLV/CriticalSection.h"

#include "KLV/Trace.h"

namespace {

std::atomic<IStepLockEngine*> currentEngine{nullptr};

} // namespace

void TCriticalSection::EnterStepFunc(IStepLockEngine* engine, const char* name)
{
    if (!engine)
        return;
    engine->SetPopulationStopFlags(1);
    const int before = m_sections.load();
    TRV_TRACE(2, "TCriticalSection::EnterStepFunc",
              "%s=>Antes del EnterCriticalSection tengo %d sections", name, before);
    engine->EnterGenerationStep();
    const int held = m_sections.load();
    m_owner.store(std::this_thread::get_id());
    m_engines.push_back(engine);
    m_sections.store(held + 1);
    engine->SetPopulationStopFlags(0);
    TRV_TRACE(2, "TCriticalSection::EnterStepFunc",
              "%s=>Tenia %d sections y despues del ENTER tengo %d sections", name, held, held + 1);
}

int TCriticalSection::LeaveStepFunc(const char* name)
{
    const int before = m_sections.load();
    if (before <= 0 || m_owner.load() != std::this_thread::get_id())
        return 0;
    TRV_TRACE(2, "TCriticalSection::LeaveStepFunc",
              "%s=>Antes del LeaveCriticalSection tengo %d sections", name, before);
    IStepLockEngine* engine = m_engines.back();
    m_engines.pop_back();
    if (before == 1)
        m_owner.store(std::thread::id());
    m_sections.store(before - 1);
    engine->LeaveGenerationStep();
    TRV_TRACE(2, "TCriticalSection::LeaveStepFunc",
              "%s=>Tenia %d sections y despues del LEAVE tengo %d sections", name, before,
              before - 1);
    return 0;
}

namespace trv {

TCriticalSection& GetStepCriticalSection()
{
    static TCriticalSection section;
    return section;
}

IStepLockEngine* GetCurrentStepEngine()
{
    return currentEngine.load();
}

void SetCurrentStepEngine(IStepLockEngine* engine)
{
    currentEngine.store(engine);
}

} // namespace trv
