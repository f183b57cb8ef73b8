#pragma once

class IStepLockEngine;

// Holds the running engine's evaluations back while the model rewrites data they read: with an
// engine that runs and is not paused it raises the pause counter, waits until no evaluation
// runs and holds the evaluation gate, all undone when the guard ends. Guards nest; without an
// engine, or with a stopped or paused one, it does nothing.
class CEnginePause
{
  public:
    // `caller` ("Class::Method") names a wait worth tracing.
    explicit CEnginePause(const char* caller);
    // The engine given instead of the document's current one.
    CEnginePause(IStepLockEngine* engine, const char* caller);
    ~CEnginePause();
    CEnginePause(const CEnginePause&) = delete;
    CEnginePause& operator=(const CEnginePause&) = delete;

    // Whether this guard holds the gate.
    bool IsHeld() const { return m_taken; }

  private:
    IStepLockEngine* m_engine;
    bool m_taken = false;
};
