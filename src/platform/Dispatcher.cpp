#include "platform/Dispatcher.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

namespace trv {

namespace {

std::mutex queueLock;
std::deque<std::function<void()>> queue;
std::atomic<Dispatcher*> installed{nullptr};

} // namespace

void Dispatcher::Post(std::function<void()> call)
{
    const std::lock_guard<std::mutex> lock(queueLock);
    queue.push_back(std::move(call));
}

int Dispatcher::Pump()
{
    int ran = 0;
    for (;;) {
        std::function<void()> call;
        {
            const std::lock_guard<std::mutex> lock(queueLock);
            if (queue.empty())
                return ran;
            call = std::move(queue.front());
            queue.pop_front();
        }
        // Run outside the lock: a call may post another.
        call();
        ++ran;
    }
}

Dispatcher& GetDispatcher()
{
    static Dispatcher headless;
    Dispatcher* dispatcher = installed.load();
    return dispatcher ? *dispatcher : headless;
}

Dispatcher* InstallDispatcher(Dispatcher* dispatcher)
{
    return installed.exchange(dispatcher);
}

} // namespace trv
