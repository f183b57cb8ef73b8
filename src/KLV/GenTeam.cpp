#include "KLV/GenTeam.h"

#include <algorithm>
#include <omp.h>

TThreadTeam::TThreadTeam(int size) : m_size(std::max(size, 1)) {}

void TThreadTeam::RunLoop(ESchedule schedule, std::int64_t count, void* context, TStartFn start,
                          TBodyFn body) const
{
    // The team is fixed: the run time may not shrink it behind our back.
    omp_set_dynamic(0);
#pragma omp parallel num_threads(m_size)
    {
        const int thread = omp_get_thread_num();
        start(context, thread);
        if (schedule == ESchedule::Static) {
#pragma omp for schedule(static)
            for (std::int64_t i = 0; i < count; ++i)
                body(context, i, thread);
        } else {
#pragma omp for schedule(dynamic, 1)
            for (std::int64_t i = 0; i < count; ++i)
                body(context, i, thread);
        }
    }
}
