#pragma once

#include "params/EntityNavigation.h"

// How the catalogue reaches an order's delivery point and lines. Pairs and planned vehicles
// belong to the fleet model and are not answered here.
class COrdersNavigation : public CEntityNavigation
{
  public:
    TEntityRef GetOrderDeliveryPoint(const TEntityRef& order) const override;
    bool IsDeliveryOrder(const TEntityRef& order) const override;
    int GetOrderLineCount(const TEntityRef& order) const override;
    TEntityRef GetOrderLine(const TEntityRef& order, int index) const override;
    std::unique_ptr<CEntityHolder> NewOrderLine() const override;
    int FindOrderLine(const TEntityRef& order, const TEntityRef& line,
                      bool byDeliveryPoint) const override;
    int AddOrderLineCopy(const TEntityRef& order, const TEntityRef& line) override;
    void AccumulateOrderLine(const TEntityRef& order, int index, const TEntityRef& line) override;
    TEntityRef GetLineDeliveryPoint(const TEntityRef& line) const override;

    TEntityRef GetPairTruck(const TEntityRef&) const override { return {}; }
    TEntityRef GetPairTrailer(const TEntityRef&) const override { return {}; }
    TEntityRef GetPairDriver(const TEntityRef&) const override { return {}; }
    TEntityRef GetVehicleTotals(const TEntityRef&) const override { return {}; }
};
