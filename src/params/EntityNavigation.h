#pragma once

#include "params/VariableAccess.h"

#include <memory>

// An entity owned by whoever holds this, reached as a typed reference.
class CEntityHolder
{
  public:
    virtual ~CEntityHolder() = default;
    virtual TEntityRef Get() = 0;
};

// The holder of one value of type Entity.
template <class Entity> class TEntityHolder : public CEntityHolder
{
  public:
    TEntityRef Get() override { return m_entity; }
    Entity m_entity{};
};

// How the catalogue reaches the parts of an entity it knows nothing about; the demand and
// fleet models implement it. Every answer is a null reference when the entity is not of the
// expected type or has no such part.
class CEntityNavigation
{
  public:
    virtual ~CEntityNavigation() = default;

    // ---- Orders and their lines ---------------------------------------------------------------
    virtual TEntityRef GetOrderDeliveryPoint(const TEntityRef& order) const = 0;
    // True for a delivery (order kind 0 or 4), false for a collection.
    virtual bool IsDeliveryOrder(const TEntityRef& order) const = 0;
    virtual int GetOrderLineCount(const TEntityRef& order) const = 0;
    // Line `index` of the order; null outside 0 .. count - 1.
    virtual TEntityRef GetOrderLine(const TEntityRef& order, int index) const = 0;
    // A new cleared order line, owned by the caller, to read a record's line into.
    virtual std::unique_ptr<CEntityHolder> NewOrderLine() const = 0;
    // The index of the order's line with the product code and partition of `line` (and its
    // delivery point's code when `byDeliveryPoint`), or -1.
    virtual int FindOrderLine(const TEntityRef& order, const TEntityRef& line,
                              bool byDeliveryPoint) const = 0;
    // Adds a copy of `line` to the order (the order's line totals follow); its index.
    virtual int AddOrderLineCopy(const TEntityRef& order, const TEntityRef& line) = 0;
    // Adds the quantities of `line` to the order's line `index`.
    virtual void AccumulateOrderLine(const TEntityRef& order, int index,
                                     const TEntityRef& line) = 0;
    virtual TEntityRef GetLineDeliveryPoint(const TEntityRef& line) const = 0;

    // ---- Lorry-driver pairs and planned vehicles ----------------------------------------------
    // The truck and trailer of the pair's lorry; null when the pair has no lorry.
    virtual TEntityRef GetPairTruck(const TEntityRef& pair) const = 0;
    virtual TEntityRef GetPairTrailer(const TEntityRef& pair) const = 0;
    virtual TEntityRef GetPairDriver(const TEntityRef& pair) const = 0;
    // The totals block of a planned vehicle.
    virtual TEntityRef GetVehicleTotals(const TEntityRef& vehicle) const = 0;
};
