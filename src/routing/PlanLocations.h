#pragma once

#include <cstdint>
#include <vector>

struct TLocationData;

// The locations of one lorry-driver pair; null where the pair has none.
struct TPairLocations
{
    TLocationData* truckBase = nullptr;
    TLocationData* trailerBase = nullptr;
    TLocationData* truckEndBase = nullptr;
    TLocationData* trailerEndBase = nullptr;
    TLocationData* driverBase = nullptr;
    TLocationData* truckWarehouse = nullptr;
    TLocationData* trailerWarehouse = nullptr;
};

// What the node assignment and the matrix partition read of the plan: its orders, lorry-driver
// pairs and warehouses by index, and the rejections between orders and pairs. The optimiser's
// preparation answers it over the order list, the resources and the rejection matrix.
class CPlanLocations
{
  public:
    virtual ~CPlanLocations() = default;

    virtual int GetOrderCount() const = 0;
    // Where the order is delivered: every line's location in line mode, else the order's.
    virtual void GetOrderDeliveries(int order, std::vector<TLocationData*>& locations) = 0;
    // The warehouse the order is loaded at; null when none.
    virtual TLocationData* GetOrderOrigin(int order) = 0;

    virtual int GetPairCount() const = 0;
    virtual TPairLocations GetPairLocations(int pair) = 0;
    // The rejection mask of the order for the pair: 0 when the pair may serve it.
    virtual uint32_t GetRejectionMask(int order, int pair) const = 0;

    virtual int GetWarehouseCount() const = 0;
    virtual TLocationData* GetWarehouseLocation(int warehouse) = 0;
};
