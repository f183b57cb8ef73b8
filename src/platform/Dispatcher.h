#pragma once

#include <functional>

// How work finished on another thread reaches the main thread: the other thread posts a call,
// the main thread runs it. This base is the headless form: calls queue up and run when the main
// thread pumps; the document installs one that queues them on its event loop.

namespace trv {

class Dispatcher
{
  public:
    virtual ~Dispatcher() = default;

    // Queues `call` for the main thread; safe from any thread.
    virtual void Post(std::function<void()> call);

    // Runs the calls queued so far, on the calling (main) thread; how many ran.
    virtual int Pump();
};

// The installed dispatcher (the queued headless one until another is installed).
Dispatcher& GetDispatcher();

// Installs `dispatcher` (owned by the caller, alive until replaced) and returns the one it
// replaces; null puts the headless one back.
Dispatcher* InstallDispatcher(Dispatcher* dispatcher);

} // namespace trv
