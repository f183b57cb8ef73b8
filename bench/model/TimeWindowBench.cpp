#include "AllocationCounter.h"
#include "model/TimeWindow.h"
#include "model/WeekDay.h"

#include <benchmark/benchmark.h>

namespace {

// Five windows over a day, as a busy customer or warehouse has them.
CTimeTable FiveWindowTable()
{
    CTimeTable table;
    table.InsertWindow(360, 480);
    table.InsertWindow(540, 660);
    table.InsertWindow(720, 840);
    table.InsertWindow(900, 1020);
    table.InsertWindow(1080, 1200);
    return table;
}

constexpr int Monday =
    trv::WeekDayNumber(trv::DayOfWeek::Monday, trv::WeekDayNumbering::MondayIsOne);

// Arrivals every 7 minutes over three days, so every result code and window position occurs.
void ComputeServiceStart(benchmark::State& state)
{
    CTimeTable table = FiveWindowTable();
    const bool multiDay = state.range(0) != 0;
    if (multiDay)
        table.weekDayMask = trv::AllWeekDaysMask & ~trv::WeekDayMaskBit(trv::DayOfWeek::Sunday);
    int arrival = 0;
    const long long allocationsBefore = AllocationCount();
    for (auto _ : state) {
        int wait = 0;
        int slack = 0;
        const int result = table.ComputeServiceStart(arrival, wait, slack, -1, -1, multiDay, Monday,
                                                     UnsetDay, UnsetDay, 0);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(wait);
        benchmark::DoNotOptimize(slack);
        arrival = arrival >= 3 * MinutesPerDay ? 0 : arrival + 7;
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount() - allocationsBefore),
                           benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ComputeServiceStart)->Arg(0)->Arg(1)->ArgName("multiDay");

} // namespace
