#pragma once

#include <vector>

class CUserParameters;

// The document's unattended timers that the parameters arm: the stop without improvement,
// the pull of new orders, the web export, the fleet-service poll and the real-time date check.
struct TParameterTimer
{
    int id = 0;       // the timer's id on the main window
    int periodMs = 0; // milliseconds between two ticks
};

constexpr int kTimerNoImprovementStop = 1935;
constexpr int kTimerPullOrders = 176;
constexpr int kTimerWebExport = 141;
constexpr int kTimerFleetServicePoll = 33344;
constexpr int kTimerRealTimeDate = 177;

// The timers to arm, in the order the document arms them; a timer whose key leaves it off is
// not listed.
std::vector<TParameterTimer> GetParameterTimers(const CUserParameters& parameters);
