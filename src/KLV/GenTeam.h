#pragma once

#include <cstdint>

// The optimiser's thread team: a fixed team of threads that share the iterations of a loop,
// each member knowing its index (for its workspace and its scratch gene). Every parallel loop
// of the genetic search goes through it, so the run time underneath (OpenMP) stays in one
// place.
class TThreadTeam
{
  public:
    enum class ESchedule
    {
        Static,  // contiguous blocks, one per member
        Dynamic, // one iteration at a time to whichever member is free
    };

    // A team of size members (at least 1).
    explicit TThreadTeam(int size);

    int GetSize() const { return m_size; }

    // Runs start(thread) once on every member, then body(iteration, thread) for each iteration
    // 0 .. count - 1, each exactly once; returns when all are done. Not to be nested.
    template <class Start, class Body>
    void For(ESchedule schedule, std::int64_t count, Start&& start, Body&& body) const
    {
        struct TCalls
        {
            Start& start;
            Body& body;
        } calls{start, body};
        RunLoop(
            schedule, count, &calls,
            [](void* context, int thread) { static_cast<TCalls*>(context)->start(thread); },
            [](void* context, std::int64_t iteration, int thread) {
                static_cast<TCalls*>(context)->body(iteration, thread);
            });
    }

  private:
    using TStartFn = void (*)(void*, int);
    using TBodyFn = void (*)(void*, std::int64_t, int);
    void RunLoop(ESchedule schedule, std::int64_t count, void* context, TStartFn start,
                 TBodyFn body) const;

    int m_size;
};
