#include "params/ParameterTimers.h"

#include "params/Parameters.h"

namespace {

constexpr int kMinuteMs = 60000;

int MinutesToMs(int minutes)
{
    return static_cast<int>(static_cast<long long>(minutes) * kMinuteMs);
}

} // namespace

std::vector<TParameterTimer> GetParameterTimers(const CUserParameters& p)
{
    std::vector<TParameterTimer> timers;
    if (p.MaxNoChangesTime != -1)
        timers.push_back({kTimerNoImprovementStop, 5000});
    if (p.PullOrdersTime > 0)
        timers.push_back({kTimerPullOrders, MinutesToMs(p.PullOrdersTime)});
    if (p.MinutosRefrescoWeb > 0)
        timers.push_back({kTimerWebExport, MinutesToMs(p.MinutosRefrescoWeb)});
    if (p.CompruebaEstadoServiciosWebfleet != 0)
        timers.push_back(
            {kTimerFleetServicePoll, MinutesToMs(p.TiempoCompruebaEstadoServiciosWebfleet)});
    if (p.ScheduleDayRealTime > 0)
        timers.push_back({kTimerRealTimeDate, MinutesToMs(p.ScheduleDayRealTime)});
    return timers;
}
