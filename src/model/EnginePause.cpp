#include "model/EnginePause.h"

#include "KLV/CriticalSection.h"
#include "KLV/Trace.h"

#include <chrono>

namespace {

// A wait this long means an evaluation did not end when it should have.
constexpr auto kTracedWait = std::chrono::seconds(5);

} // namespace

CEnginePause::CEnginePause(const char* caller) : CEnginePause(trv::GetCurrentStepEngine(), caller)
{
}

CEnginePause::CEnginePause(IStepLockEngine* engine, const char* caller) : m_engine(engine)
{
    if (!m_engine)
        return;
    const auto start = std::chrono::steady_clock::now();
    m_taken = m_engine->EntraPausa();
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited > kTracedWait)
        TRV_TRACE(1, caller, "waited %lld ms for the evaluations to end",
                  static_cast<long long>(
                      std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()));
}

CEnginePause::~CEnginePause()
{
    if (m_engine)
        m_engine->SalePausa(m_taken);
}
