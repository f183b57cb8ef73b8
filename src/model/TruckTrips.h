#pragma once

#include "model/OrderServices.h"
#include "model/Trip.h"
#include "model/VehicleLoadState.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CLorryDriver;
class CTrailer;
struct TPairTripsView;
class CFieldRecord;

// The totals the evaluation computes for one pair's plan.
struct TTripTotals
{
    int32_t workingMinutes = 0;         // "WORKING_TIME"
    int32_t drivingMinutes = 0;         // "DRIVING_TIME"
    int32_t breachMinutes = 0;          // "BREACH_TIME"
    float efficiencyPercent = 0;        // "PORCENTAJE_EFICIENCIA"
    int32_t realTimeWorkingMinutes = 0; // "REALTIME_WORKING_TIME"
    int32_t realTimeDrivingMinutes = 0; // "REALTIME_DRIVING_TIME"
    float realTimeKm = 0;               // "REALTIME_KM"
    int32_t values1[3] = {0, 0, 0};
    float vehicleCost = 0;       // "VEHICLE_COST"
    float totalCost = 0;         // "TOTAL_COST"
    float fareLorryCost = 0;     // "FARE_LORRY_COST"
    float pureFareLorryCost = 0; // "PURE_FARE_LORRY_COST"
    int32_t value2 = 0;
    float totalAllowances = 0; // "TOTAL_DIETAS"
    int32_t stopDuration = 0;  // "HORA_PARADA"
    float chargedServices = 0; // "COBRADO_SERVICIOS"
    float quantity1Trips = 0;  // "CANTIDAD1_VIAJES"
    float quantity2Trips = 0;  // "CANTIDAD2_VIAJES"
    int32_t value3 = 0;
    uint32_t stateFlags = 0;           // the pair's state colour reads it
    int32_t startTime = 0;             // "START_TIME"
    int32_t endTime = 0;               // "END_TIME"
    int32_t totalTime = 0;             // "TOTAL_TIME"
    int32_t numberOfNights = 0;        // "NUMBER_OF_NIGHTS"
    int32_t numberOfNightsOutHome = 0; // "NUMBER_OF_NIGHTS_OUT_HOME"
    float averageSpeed = 0;            // "AVERAGE_SPEED"
    float kmPerDelivery = 0;           // "KM_VS_ENTREGAS"
    float quantity1PerKm = 0;          // "CANTIDAD1_VS_KM"
    float quantity2PerKm = 0;          // "CANTIDAD2_VS_KM"
    float quantity1PerWorkingTime = 0; // "CANTIDAD1_VS_TIEMPOTRABAJO"
    float quantity2PerWorkingTime = 0; // "CANTIDAD2_VS_TIEMPOTRABAJO"
    int32_t values4[2] = {0, 0};
    std::string text;
    int32_t hasCopies = 0;      // stops of other pairs were copied in
    float customersPerTrip = 0; // "CUSTOMERS_VS_TRIPS"
    float fillingPercent1 = 0;  // "PORCENTAJE_LLENADO_CANTIDAD1"
    float fillingPercent2 = 0;  // "PORCENTAJE_LLENADO_CANTIDAD2"
    float emptyKmPercent = 0;   // "KMENVACIO_VS_KM"
    int32_t value5 = 0;
    std::string trailersUsed; // "TRAILERS_USED_BY_DRIVER"
    std::string trucksUsed;   // "TRUCKS_USED_BY_DRIVER"
};

// The figures of one trip for the info panel and the reports.
struct TTripQuantities
{
    float km = 0;
    int32_t duration = 0;
    int32_t start = 0;
    int32_t end = 0;
};

struct TTripTotalFigures
{
    float km = 0;
    float fareCost = 0;
    int mixedZones = 0;
    int bigEnough = 0;
};

class CWorkspaceTrips;

// The plan of one lorry-driver pair in one workspace: the decoding's vehicle load state, the
// evaluated totals and the trips in time order. Trips are kept when emptied and reused, so the
// decoding of a gene allocates nothing once the plan has grown.
class CTruckTrips
{
  public:
    CTruckTrips();
    ~CTruckTrips();
    CTruckTrips(const CTruckTrips&) = delete;
    CTruckTrips& operator=(const CTruckTrips&) = delete;

    // ---- Planning part -------------------------------------------------------------------------
    void ConstructPlanningPart(const TLoadStateSizes& sizes);
    void ResetPlanningPart(const TLoadStateSizes& sizes)
    {
        loadState.Reset(sizes);
        // Trip fare rules read the totals through the plan, as the catalogue binds them.
        loadState.fareInputs.totalsEntity = TEntityRef(*this);
    }
    void SetLorryCapacities(const CLorry* lorry, const TLoadStateSizes& sizes)
    {
        loadState.StartTrip(lorry, sizes);
    }
    // Every number of the totals 0; the texts stay.
    void ClearTotals();
    // What the pair's state colour reads of its plan.
    TPairTripsView GetTripsView() const;

    // ---- Trips ---------------------------------------------------------------------------------
    int GetTripCount() const { return static_cast<int>(m_trips.size()); }
    CTrip* GetTrip(int index) const;
    CTrip* GetLastTrip() const { return m_trips.empty() ? nullptr : m_trips.back().get(); }
    // A new empty trip appended.
    CTrip& AddTrip();
    // A new empty trip in the pending slot, to be filled and then inserted by its start.
    CTrip& NewPendingTrip();
    // Inserts the pending trip by the start of its first stop; an empty one is dropped.
    void InsertTripByStart();
    // Every trip emptied and kept for reuse.
    void ClearTrips();
    bool HasWork() const;

    // ---- Queries over the pair's plan ----------------------------------------------------------
    int GetAssignmentState() const;
    // The first stop of that order reference, with its trip and stop indexes.
    CStopPoint* FindOrderStopIndex(int order, int& trip, int& stop) const;
    CStopPoint* FindStopBeforeOrder(int order) const;
    CStopPoint* FindStopByCode(const std::string& code, const CLorryDriver* pair, int& trip,
                               int& stop, const TOrderScope& scope) const;
    CStopPoint* GetTripStartStop(int trip) const;
    CStopPoint* GetTripEndStop(int trip) const;
    CStopPoint* GetLastOrderStop(int trip) const;
    TTripQuantities GetTripQuantities(int trip) const;
    TTripTotalFigures GetTripTotals(const TOrderScope& scope, int trip, int row) const;
    bool CheckFirstTripLimits(const TOrderScope& scope) const;
    void CalculateSummary();
    bool TripMixesOrderKinds(int trip, const TOrderScope& scope) const;
    int GetLastLeadingAssignedTrip(const TOrderScope& scope = {}) const;
    CTrip* GetLeadingAssignedTrip(const TOrderScope& scope = {}) const;
    int GetLeadingAssignedTripNumber(const TOrderScope& scope = {}) const;
    CTrip* FindFirstUnassignedTrip(const TOrderScope& scope = {}) const;
    // Takes the load above the trailer's capacity off the trip's order lines, for the export.
    void ReduceQuantitiesAtExit(const TOrderScope& scope, const CLorry* lorry, int trip);
    // The summary, then the pair's variables and its totals into the record's output.
    bool WriteRecord(CFieldRecord& record, CLorryDriver& pair);

    TVehicleLoadState loadState;
    TTripTotals totals;

  private:
    std::vector<std::unique_ptr<CTrip>> m_trips;
    std::vector<std::unique_ptr<CTrip>> m_spareTrips;
    std::unique_ptr<CTrip> m_pending;

    std::unique_ptr<CTrip> TakeSpareTrip();
};

// Combines assignment-state codes of several trips or pairs into one.
int CombineAssignmentStates(const std::vector<int>& codes);

inline constexpr int kPlanTotalCount = 56;
inline constexpr int kSharedPlanTotalCount = 37;
// The first shared total counts the trips of the plan.
inline constexpr int kPlanTripCountTotal = kPlanTotalCount - kSharedPlanTotalCount;

// The trips part of an evaluation workspace: the plan totals and one pair plan per pair row.
// The optimiser's workspace owns one and names its additional orders and partition count.
class CWorkspaceTrips
{
  public:
    // ---- Building ------------------------------------------------------------------------------
    // One fresh plan per pair of the fleet, then every pair initialised.
    void ResetTruckTrips();
    // Re-initialises the pair at `pair`, or every pair for any other value.
    void InitTruckTrips(int pair);
    void AddPairPlan();
    void RemovePairPlan(int row);
    // Stops that name an escoba driver are copied into that driver's pair.
    void CopyEscobaStops();
    // Without escoba drivers, stops of a shared truck are copied into its twin pair.
    void CopyTwinStops();

    int GetPairCount() const { return static_cast<int>(m_pairPlans.size()); }
    CTruckTrips* GetPairPlan(int row) const;
    const TLoadStateSizes& GetSizes() const { return m_sizes; }

    // ---- Queries over the whole plan -----------------------------------------------------------
    int CountScheduledOrders() const;
    int CountScheduledOptionalOrders() const;
    int CountUsedLorries() const;
    bool FindOrderStop(int order, int& row, int& counter) const;
    bool GetTripOrders(int row, int trip, std::vector<int>& orders) const;
    bool GetTripInfo(int row, int trip, COrdersTripInfo& info) const;
    int CountTripOrderStops(int row, int trip) const;
    bool IsTruckInAnyTrip(int row) const;
    int GetStopCounter(int row, int trip, int stop) const;
    int GetPlanAssignmentState() const;

    std::array<int32_t, kPlanTotalCount> planTotals{};
    TOrderScope scope;

  private:
    void InitPair(int row, int dayOfWeek);
    int CountScheduled(bool optionalOnly) const;

    std::vector<std::unique_ptr<CTruckTrips>> m_pairPlans;
    TLoadStateSizes m_sizes;
};

// The program-wide copy of the incumbent's pair states.
class CPlanTripsCopy
{
  public:
    // One empty plan per pair, its fare counters sized and zeroed.
    void CreateTruckTripsArray();
    // The workspace's shared totals and every pair's vehicle load state.
    void CopyTruckTripsToGlobal(const CWorkspaceTrips& workspace);

    int GetPairCount() const { return static_cast<int>(m_pairPlans.size()); }
    CTruckTrips* GetPairPlan(int row) const;

    std::array<int32_t, kSharedPlanTotalCount> sharedTotals{};

  private:
    std::vector<std::unique_ptr<CTruckTrips>> m_pairPlans;
};

// The one program-wide copy.
CPlanTripsCopy& PlanTripsCopy();
void ResetPlanTripsCopy();

// Where a workspace's plan serves an order, as the order record asks while an engine exists.
class CWorkspaceRunningPlan : public CRunningPlan
{
  public:
    explicit CWorkspaceRunningPlan(const CWorkspaceTrips& workspace) : m_workspace(workspace) {}
    bool FindOrderStop(int orderIndex, TPlannedStop& stop) const override;

  private:
    const CWorkspaceTrips& m_workspace;
};
