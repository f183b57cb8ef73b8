#include "model/FleetNavigation.h"

#include "model/Resources.h"
#include "model/TruckTrips.h"

namespace {

template <class Part> TEntityRef RefOf(Part* part)
{
    return part ? TEntityRef(*part) : TEntityRef();
}

} // namespace

TEntityRef CModelNavigation::GetPairTruck(const TEntityRef& pair) const
{
    const CLorryDriver* found = pair.Get<CLorryDriver>();
    return found ? RefOf(found->GetTruck()) : TEntityRef();
}

TEntityRef CModelNavigation::GetPairTrailer(const TEntityRef& pair) const
{
    const CLorryDriver* found = pair.Get<CLorryDriver>();
    return found ? RefOf(found->GetTrailer()) : TEntityRef();
}

TEntityRef CModelNavigation::GetPairDriver(const TEntityRef& pair) const
{
    const CLorryDriver* found = pair.Get<CLorryDriver>();
    return found ? RefOf(found->driver) : TEntityRef();
}

TEntityRef CModelNavigation::GetVehicleTotals(const TEntityRef& vehicle) const
{
    CTruckTrips* plan = vehicle.Get<CTruckTrips>();
    return plan ? TEntityRef(plan->totals) : TEntityRef();
}
