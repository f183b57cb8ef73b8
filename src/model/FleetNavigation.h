#pragma once

#include "model/OrdersNavigation.h"

// The catalogue's way through the whole model: orders as the demand model answers them, and a
// pair to its lorry's truck and trailer and to its driver, and a planned vehicle to its totals.
class CModelNavigation : public COrdersNavigation
{
  public:
    TEntityRef GetPairTruck(const TEntityRef& pair) const override;
    TEntityRef GetPairTrailer(const TEntityRef& pair) const override;
    TEntityRef GetPairDriver(const TEntityRef& pair) const override;
    // A planned vehicle is a pair's plan; its totals are the evaluated ones.
    TEntityRef GetVehicleTotals(const TEntityRef& vehicle) const override;
};
