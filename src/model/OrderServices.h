#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class COrderLines;
struct TLineRouteFigures;
struct TLocationData;

// What orders ask of the fleet, by lorry-driver row. The fleet model answers once it exists.
class COrderFleetLookups
{
  public:
    virtual ~COrderFleetLookups() = default;

    virtual int GetPairCount() const = 0;
    // The row of the pair whose driver has that code, or -1.
    virtual int FindByDriverCode(const std::string& driverCode) const = 0;
    // The row named by trailer, truck and driver texts, with the list's fallbacks, or -1.
    virtual int FindLorryDriver(const std::string& trailer, const std::string& truck,
                                const std::string& driver) const = 0;
    virtual bool IsSweeperTrailer(int pairRow) const = 0;
    // False when the pair has no driver.
    virtual bool GetPairDriver(int pairRow, std::string& driverCode, int& driverRow) const = 0;
    virtual const TLocationData* GetTruckBase(int pairRow) const = 0;
    virtual int GetWarehouseClass(int pairRow) const = 0;
    // The first capacity of the pair's trailer; negative without a trailer.
    virtual float GetTrailerFirstCapacity(int pairRow) const = 0;
    // The node of the fleet's first base, -1 when none.
    virtual int GetFirstBaseNode() const = 0;
};

// The rejection mask of an order for a pair: 0 when the pair may serve it.
class COrderRejections
{
  public:
    virtual ~COrderRejections() = default;
    virtual uint32_t GetMask(int orderIndex, int pairRow) const = 0;
    // Whether the rejection matrices are built; the relation check runs only then.
    virtual bool MatricesExist() const { return false; }
    // Checks the relation group of the order against the matrices.
    virtual void CheckRelatedOrders(int /*orderIndex*/) const {}
};

// Where the running plan serves an order.
struct TPlannedStop
{
    std::string truckCode;
    std::string trailerCode;
    std::string driverCode;
    int stopPosition = -1;
    int trip = -1;
    int stopType = 0;
};

// The running optimiser's plan; installed only while an engine exists.
class CRunningPlan
{
  public:
    virtual ~CRunningPlan() = default;
    // False when the plan does not hold the order.
    virtual bool FindOrderStop(int orderIndex, TPlannedStop& stop) const = 0;
};

// Places an order's lines one after the other on a reference vehicle and gives the differences
// of its counters.
class CLineRouteMeasurement
{
  public:
    virtual ~CLineRouteMeasurement() = default;
    virtual void Measure(int orderIndex, const COrderLines& lines,
                         TLineRouteFigures& figures) const = 0;
};

// Puts an order's delivery points in the order a vehicle drives them, starting at the order's
// loading node (-1 when it has none): the optimiser's line-ordering search answers.
class COrderLineOrdering
{
  public:
    virtual ~COrderLineOrdering() = default;
    // A permutation of the line positions: new place i holds the line at result[i].
    virtual std::vector<int> OrderLines(int orderIndex, int loadingNode,
                                        std::span<const int> customerNodes) const = 0;
};
