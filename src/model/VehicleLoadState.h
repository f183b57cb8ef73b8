#pragma once

#include "model/OrderLine.h"
#include "model/TripFare.h"

#include <cstdint>
#include <limits>
#include <vector>

class CLorry;
class CListaFares;

inline constexpr int32_t kLoadStateUnsetTime = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kLoadStateNoLimit = std::numeric_limits<int32_t>::max();

// How large the lists of a vehicle load state are, taken from the plan once per run so that
// each reset only clears them.
struct TLoadStateSizes
{
    int fareCounters = 0;                       // 0 without "Fares" or without fare tables
    int customerCodes = 0;                      // distinct customer codes of the orders' derivation
    int drivers = 0;                            // drivers of the fleet
    int productGroups = 0;                      // the order-group counters hold one more
    bool secondOnBoardLines = false;            // "DeliveryProblem" 3
    bool perDayIncompatibilities = false;       // "IncompatibilidadesPorDia"
    bool mayDelayDeparture = false;             // "PuedeRetrasarSalida"
    bool keepCustomerFlagsBetweenTrips = false; // "SameSpecialCodeFactor"
};

// The sizes the current parameters, fare tables, orders and fleet call for.
TLoadStateSizes CurrentLoadStateSizes();
// The largest special-rule count of any fare table: the fare counters of a vehicle cover every
// table an order of the trip may use, not only the first.
int LargestSpecialFareCount(const CListaFares& fares);

// The counters, totals, capacities and times of a vehicle load state: plain values that a
// reset sets back in one assignment.
struct TVehicleLoadCounters
{
    int32_t pairRow = -1; // "RESOURCE_INDEX": the pair whose lines are on board; kept by resets

    // ---- Vehicle --------------------------------------------------------------------------------
    float capacities[3] = {0, 0, 0};     // the trailer's overloaded capacities
    float capacityCopies[3] = {0, 0, 0}; // what is left of them in the current trip
    float notInBulkCapacity = 0;         // "NOT_IN_BULK_CAPACITY1" of the trailer
    float loadFigures[6] = {0, 0, 0, 0, 0, 0};
    int32_t baseNode = -1;
    int32_t nodeAfterBase = -1;

    // ---- Time and day ---------------------------------------------------------------------------
    int32_t currentTime = kLoadStateUnsetTime; // "ARRIVAL_TIME_TO_DEPOT"
    int32_t earliestTime = kLoadStateUnsetTime;
    int32_t latestTime = kLoadStateNoLimit;
    int32_t earliestServiceTime = kLoadStateUnsetTime;
    int32_t currentServiceTime = kLoadStateUnsetTime;
    int32_t dayIndex = 0;
    int32_t dayOfWeek = 0;          // of the plan, 1 Monday .. 7 Sunday
    int32_t accumulatedMinutes = 0; // over the plan; only the full reset clears it
    int32_t driverAccumulatedMinutes = 0;
    int32_t offDayWindow = -1; // the driver's current off-day window
    int32_t allowedDepartureDelay = 0;
    int32_t mayDelayDeparture = 0;

    // ---- Plan totals the catalogue shows --------------------------------------------------------
    float totalKm = 0;                  // "TOTAL_KM"
    float driverCost = 0;               // "DRIVER_COST"
    int32_t stopMinutes = 0;            // "DURACION_PARADA"
    int32_t extraDrivingMinutes = 0;    // "EXTRA_DRIVING_TIME"
    int32_t extraWorkingEndMinutes = 0; // "EXTRA_WORKING_TIME_END_TIME"
    int32_t extraWorkingMinutes = 0;    // "EXTRA_WORKING_TIME"
    int32_t minutesOutOfWindows = 0;    // "TIME_OUT_OF_TIME_WINDOWS"
    int32_t numberOfCustomers = 0;      // "NUMBER_OF_CUSTOMERS"
    float emptyKm = 0;                  // "KM_EN_VACIO"
    int32_t numberOfTrips = 0;          // "NUMBER_OF_TRIPS"
    int32_t numberOfLoads = 0;          // "NUMBER_OF_LOADS"

    // ---- Current trip ---------------------------------------------------------------------------
    int32_t tripUnloads = 0; // unloads of the current trip; the fare of a trip reads it
    float tripKm = 0;        // passed on to the next trip while no unload happened
    float tripFigures[2] = {0, 0};
    int32_t tripCounters[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int32_t tripLimits[6] = {kLoadStateNoLimit, kLoadStateNoLimit, kLoadStateNoLimit,
                             kLoadStateNoLimit, kLoadStateNoLimit, kLoadStateNoLimit};
    float bestTripValue = std::numeric_limits<float>::max();
    int32_t threshold = 1000000;
    int32_t lastStopIndexes[4] = {-1, -1, -1, -1}; // references to the trip's last stops
    int32_t indexes[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int32_t flags[3] = {1, 1, 1};
    TTripFareInputs fareInputs; // what the trip's fare reads besides the fields above
};

// The decoding's working record of one lorry-driver pair: where the vehicle is, what it
// carries and what its current trip and day have used so far. The optimiser copies it whole;
// the named fields are those the catalogue and the fleet model read, the others are the
// optimiser's to use. Lists are cleared, never freed, by the resets, so that a decoding in
// steady state allocates nothing.
struct TVehicleLoadState : TVehicleLoadCounters
{
    // ---- Lists ----------------------------------------------------------------------------------
    std::vector<int32_t> fareCounters;        // one per special rule of the largest fare table
    CTruckOrderLines onBoardLines;            // the order lines on board
    CTruckOrderLines secondOnBoardLines;      // used with "DeliveryProblem" 3
    std::vector<int32_t> perDayList;          // 100 entries with "IncompatibilidadesPorDia"
    std::vector<uint32_t> orderGroupCounters; // one per product group, plus one
    std::vector<uint32_t> unsignedValues;
    std::vector<int32_t> intValues;
    std::vector<uint8_t> customerFlags;   // one per distinct customer code
    std::vector<uint16_t> driverCounters; // one per driver

    // Every counter, total, capacity and time back to its start value; the lists sized for
    // `sizes` and zeroed. Allocates only when a list must grow.
    void Reset(const TLoadStateSizes& sizes);
    // The start of a trip of `lorry` (null: no lorry): the current trip's counters and lists
    // cleared, the capacities taken from the trailer.
    void StartTrip(const CLorry* lorry, const TLoadStateSizes& sizes);
};
