#pragma once

#include "containers/SmartArray.h"
#include "model/StopPoint.h"
#include "model/Tanks.h"

#include <cstdint>
#include <vector>

class CLorry;

// One order served by a trip, as the trip information lists it.
struct TOrderTripRow
{
    int32_t orderIndex = -1;
    const CLorry* lorry = nullptr;
    int32_t start = kUnsetTime;
    int32_t end = kUnsetTime;
};

// The loading and unloading windows of a trip and the orders it serves, in visiting order.
struct COrdersTripInfo
{
    int32_t loadStart = kUnsetTime;
    int32_t loadEnd = kUnsetTime;
    int32_t unloadStart = kUnsetTime;
    int32_t unloadEnd = kUnsetTime;
    std::vector<TOrderTripRow> rows;
};

// Assignment-state bits of a trip: who drives its orders and whether they are assigned.
enum AssignmentState : int
{
    ASSIGNMENT_ALL_DRIVERS = 0x01,
    ASSIGNMENT_NO_DRIVER = 0x02,
    ASSIGNMENT_SOME_DRIVERS = 0x04,
    ASSIGNMENT_ALL_ASSIGNED = 0x08,
    ASSIGNMENT_NONE_ASSIGNED = 0x10,
    ASSIGNMENT_SOME_ASSIGNED = 0x20,
};

// An order whose "ASSIGNED" is set with a trip and a sub-trip above 0.
bool IsFullyAssigned(const COrder& order);

// One trip of a lorry-driver pair: its stops in visiting order and what each tank carries.
class CTrip
{
  public:
    CTrip() = default;
    CTrip(const CTrip&) = delete;
    CTrip& operator=(const CTrip&) = delete;

    // Empty again, keeping the storage of the stop list.
    void Clear();
    bool IsEmpty() const { return stops.empty(); }
    int GetStopCount() const { return static_cast<int>(stops.size()); }
    CStopPoint& AddStop() { return stops.emplace_back(); }

    // ---- Finding stops: null or -1 when there is none -----------------------------------------
    CStopPoint* GetLastStopPoint();
    int FindLastStopOfTypes(int a, int b) const;
    // The first stop (any type) of that order reference, its index through `index`.
    CStopPoint* FindOrderStop(int order, int* index = nullptr);
    CStopPoint* FindStopOfType(int type);
    CStopPoint* GetFirstLoadOrUnloadStop();
    // The order of the first Delivery or Collection stop.
    int GetFirstOrder() const;
    // From `position` forward, the next order stop; `position` is left after it.
    CStopPoint* NextOrderStop(int& position);
    // The same for the stops that work: load, unload and order stops.
    CStopPoint* NextWorkStop(int& position);
    // From `position` back, the nearest order stop at or before it; `position` is left before it.
    CStopPoint* PreviousOrderStop(int& position);
    // The order stop before the one serving `order`; null when that is the first or absent.
    CStopPoint* FindStopBeforeOrder(int order);
    // The order served around minutes t0 .. t1, -1.
    int FindOrderAt(int32_t t0, int32_t t1) const;

    // ---- Orders -------------------------------------------------------------------------------
    // The order references of the order stops (no escoba copies, no immediate repeats); false
    // on an invalid reference.
    bool GetTripOrders(std::vector<int>& orders, const TOrderScope& scope = {}) const;
    int CountEmptyTanks() const;
    void ShiftTimes(int32_t minutes);
    // The "ASSIGNED_TRIP" of its orders when all are fully assigned; 0 when one is not; -1
    // without order stops.
    int GetAssignedTripNumber(const TOrderScope& scope = {}) const;
    int GetDisplayTripNumber(const TOrderScope& scope = {}) const;
    bool HasAssignedOrder(const TOrderScope& scope = {}) const;
    bool IsWithoutBadAssignment() const;
    // AssignmentState bits over the orders of the program-wide list; 0 without order stops.
    int GetAssignmentState() const;
    // The OR of the rejection masks of its orders for the pair at `row`.
    uint32_t GetRejectionMask(int row) const;
    bool GetTripInfo(COrdersTripInfo& info, const TOrderScope& scope) const;
    // Whether the stocks allow an automatic assignment of the trip's orders.
    bool CheckStock() const;
    // Hands the stock left after the trip to the order list.
    void ReportStock() const;

    // ---- Post-processing of a finished trip ---------------------------------------------------
    // Filling, efficiency and empty-km figures; kind 4 a delivery trip, 5 a collection trip.
    void CalculateLoadPercentages(float capacity1, int kind, int alsoKind, float capacity2,
                                  const TOrderScope& scope);
    // Makes room for the loading of every order after the first; runs once per trip.
    void AdjustLoadTimes(int32_t earliest, int warehouse, const TOrderScope& scope);

    std::vector<CStopPoint> stops;
    int32_t loadTimesAdjusted = 0;
    int32_t reserved = 0;
    CSmartPtrArray<CProductsInTank> productsInTanks; // per tank; null: left empty

  private:
    // Walks the stock accumulation; `refuse` makes the walk stop at the first failure.
    bool AccumulateStock(std::vector<int>& counters, bool refuse) const;
    // Consecutive deliveries to one customer ending at stop `current` become one visit window.
    void MergeVisit(size_t current, int customer, const TOrderScope& scope);
};
