#pragma once

#include "model/OrdersNavigation.h"

// The catalogue's way through the whole model: orders as the demand model answers them, and a
// pair to its lorry's truck and trailer and to its driver.
class CModelNavigation : public COrdersNavigation
{
  public:
    TEntityRef GetPairTruck(const TEntityRef& pair) const override;
    TEntityRef GetPairTrailer(const TEntityRef& pair) const override;
    TEntityRef GetPairDriver(const TEntityRef& pair) const override;
};
