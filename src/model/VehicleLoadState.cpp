#include "model/VehicleLoadState.h"

#include "model/Fares.h"
#include "model/ModelContext.h"
#include "model/Resources.h"
#include "params/Parameters.h"

#include <algorithm>

namespace {

// Resizes to `count` zeroed entries; the storage only ever grows.
template <class Value> void ZeroSized(std::vector<Value>& values, int count)
{
    values.assign(static_cast<size_t>(std::max(count, 0)), Value{});
}

void EmptyLines(CTruckOrderLines& lines)
{
    // RemoveAt keeps the storage, where SetSize(0) would free it.
    if (lines.lines.GetSize() > 0)
        lines.lines.RemoveAt(0, lines.lines.GetSize());
    if (lines.volumes.GetSize() > 0)
        lines.volumes.RemoveAt(0, lines.volumes.GetSize());
    if (lines.compartmentPriorities.GetSize() > 0)
        lines.compartmentPriorities.RemoveAt(0, lines.compartmentPriorities.GetSize());
    if (lines.flags.GetSize() > 0)
        lines.flags.RemoveAt(0, lines.flags.GetSize());
    if (lines.bytes.GetSize() > 0)
        lines.bytes.RemoveAt(0, lines.bytes.GetSize());
    lines.totalVolume = 0;
    lines.secondTotal = 0;
    lines.thirdTotal = 0;
}

} // namespace

int LargestSpecialFareCount(const CListaFares& fares)
{
    int largest = 0;
    for (int i = 0; i < fares.GetSize(); ++i)
        if (const CFares* table = fares.GetTable(i))
            largest = std::max(largest, table->GetMaxSpecialFares());
    return largest;
}

TLoadStateSizes CurrentLoadStateSizes()
{
    const CUserParameters& parameters = UserParameters();
    const CModelContext& context = ModelContext();
    TLoadStateSizes sizes;
    if (parameters.Fares != 0 && context.fares.GetSize() > 0)
        sizes.fareCounters = LargestSpecialFareCount(context.fares);
    sizes.customerCodes = context.customerCodes.GetSize();
    sizes.drivers = Resources().drivers.GetSize();
    sizes.productGroups = context.loadGroups.GetSize();
    sizes.secondOnBoardLines = parameters.DeliveryProblem == 3;
    sizes.perDayIncompatibilities = parameters.IncompatibilidadesPorDia != 0;
    sizes.mayDelayDeparture = parameters.PuedeRetrasarSalida != 0;
    sizes.keepCustomerFlagsBetweenTrips = parameters.SameSpecialCodeFactor != 0;
    return sizes;
}

void TVehicleLoadState::Reset(const TLoadStateSizes& sizes)
{
    const int32_t row = pairRow;
    static_cast<TVehicleLoadCounters&>(*this) = TVehicleLoadCounters();
    pairRow = row;
    ZeroSized(fareCounters, sizes.fareCounters);
    ZeroSized(customerFlags, sizes.customerCodes);
    ZeroSized(driverCounters, sizes.drivers);
    ZeroSized(orderGroupCounters, sizes.productGroups + 1);
    EmptyLines(onBoardLines);
    EmptyLines(secondOnBoardLines);
    ZeroSized(perDayList, sizes.perDayIncompatibilities ? 100 : 0);
    unsignedValues.clear();
    intValues.clear();
    if (sizes.mayDelayDeparture) {
        allowedDepartureDelay = kLoadStateNoLimit;
        mayDelayDeparture = 1;
    }
}

void TVehicleLoadState::StartTrip(const CLorry* lorry, const TLoadStateSizes& sizes)
{
    if (tripUnloads > 0) {
        // A trip without unloads hands its kilometres on to the next one.
        tripKm = 0;
        tripFigures[0] = 0;
        tripFigures[1] = 0;
    }
    tripUnloads = 0;
    std::fill(std::begin(tripCounters), std::end(tripCounters), 0);
    EmptyLines(onBoardLines);
    EmptyLines(secondOnBoardLines);
    if (sizes.perDayIncompatibilities)
        std::fill(perDayList.begin(), perDayList.end(), 0);
    const CTrailer* trailer = lorry ? lorry->trailer : nullptr;
    for (int i = 0; i < 3; ++i) {
        capacities[i] = trailer ? trailer->overloadedCapacity[i] : 0.0f;
        capacityCopies[i] = capacities[i];
    }
    notInBulkCapacity = trailer ? trailer->notInBulkCapacity1 : 0.0f;
    std::fill(std::begin(loadFigures), std::end(loadFigures), 0.0f);
    if (!sizes.keepCustomerFlagsBetweenTrips)
        std::fill(customerFlags.begin(), customerFlags.end(), uint8_t{0});
    if (sizes.fareCounters > 0)
        std::fill(fareCounters.begin(), fareCounters.end(), 0);
    std::fill(std::begin(lastStopIndexes), std::end(lastStopIndexes), -1);
    std::fill(std::begin(tripLimits), std::end(tripLimits), kLoadStateNoLimit);
}
