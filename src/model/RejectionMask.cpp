// The mask of one order and one lorry-driver pair: every check reads values the entities keep
// ready, and only the compartment test of a bulk trailer builds a list.

#include "KLV/Utils.h"
#include "model/LookupTables.h"
#include "model/ModelContext.h"
#include "model/OrderLine.h"
#include "model/Orders.h"
#include "model/Rejections.h"
#include "params/Parameters.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double EarthRadiusKm = 6378.0;
constexpr int PortugalCountry = 351;

bool Contains(const CSmartStringArray& list, const std::string& text)
{
    for (const std::string& entry : list)
        if (entry == text)
            return true;
    return false;
}

const std::string& EmptyText()
{
    static const std::string empty;
    return empty;
}

const std::string& TrailerCode(const CLorryDriver& pair)
{
    const CTrailer* trailer = pair.GetTrailer();
    return trailer ? trailer->code : EmptyText();
}

const std::string& TrailerPlate(const CLorryDriver& pair)
{
    const CTrailer* trailer = pair.GetTrailer();
    return trailer ? trailer->plate : EmptyText();
}

const std::string& DriverCode(const CLorryDriver& pair)
{
    return pair.driver ? pair.driver->code : EmptyText();
}

// Provinces outside the tables' bounds (postcodes from 51000 on, unknown ones) are admitted
// nowhere.
bool ProvinceInTable(int province)
{
    return province >= 0 && province < ProvinceCount;
}

CBoolTable& BuiltNeighbours()
{
    if (trv::ProvinceNeighbours().GetRows() != ProvinceCount)
        BuildProvinceNeighbours();
    return trv::ProvinceNeighbours();
}

CBoolTable& BuiltPortugalProvinces()
{
    if (trv::PortugalProvinces().GetRows() != 1)
        BuildPortugalProvinces();
    return trv::PortugalProvinces();
}

bool CardAdmits(int cardProvince, int province)
{
    return ProvinceInTable(cardProvince) && ProvinceInTable(province) &&
           BuiltNeighbours().GetBit(province, cardProvince) != 0;
}

CDoublePoint PointOf(const TLocationData& place)
{
    return {place.coordinates.longitude, place.coordinates.latitude};
}

// The angle between two points by the spherical law of cosines, in km.
double LawOfCosinesKm(const TLocationData& from, const TLocationData& to)
{
    constexpr double radians = 3.14159265358979323846 / 180.0;
    const double latitudeA = from.coordinates.latitude * radians;
    const double latitudeB = to.coordinates.latitude * radians;
    const double deltaLongitude = (to.coordinates.longitude - from.coordinates.longitude) * radians;
    const double cosine = std::sin(latitudeA) * std::sin(latitudeB) +
                          std::cos(latitudeA) * std::cos(latitudeB) * std::cos(deltaLongitude);
    return std::acos(std::clamp(cosine, -1.0, 1.0)) * EarthRadiusKm;
}

// The place a local card measures the loading from.
const TLocationData* LocalCardReference(const COrder& order, const CLorryDriver& pair)
{
    const CTruck* truck = pair.GetTruck();
    const TLocationData* truckWarehouse = truck ? &truck->warehouse : nullptr;
    if (order.plan.kind == ORDER_COLLECTION_LOOSE || order.plan.kind == ORDER_DELIVERY_LOOSE)
        return truckWarehouse;
    const CWareHouse* loading = order.GetProblemLoadingWarehouse();
    return loading ? &loading->location : truckWarehouse;
}

} // namespace

void CRejectionGene::LoadOrderLinesIntoTanks(const CTrailer& /*trailer*/, CTruckOrderLines& onBoard,
                                             const COrderLines& lines, bool /*mixBulk*/)
{
    for (const COrderLine* line : lines)
        onBoard.AddLine(line, line->volume);
}

uint32_t CRejections::ComputeRejectionMask(int order, int row, bool dropUserBit,
                                           bool keepNotLocated, bool withLorryState,
                                           int requirementMode)
{
    const COrders& orders = ModelContext().orders;
    const CLorriesDrivers& pairs = Resources().pairs;
    if (order < 0 || order >= orders.GetSize() || row < 0 || row >= pairs.GetSize())
        return 0;
    return ComputeRejectionMask(*orders[order], *pairs[row], dropUserBit, keepNotLocated,
                                withLorryState, requirementMode);
}

uint32_t CRejections::ComputeRejectionMask(const COrder& order, const CLorryDriver& pair,
                                           bool dropUserBit, bool keepNotLocated,
                                           bool withLorryState, int requirementMode)
{
    const CTrailer* trailer = pair.GetTrailer();
    if (trailer && trailer->towedClass != 0)
        return 0;
    uint32_t mask = order.plan.deactivated ? REJECT_DEACTIVATED_ORDER : 0u;
    mask |= CheckNoFit(order, pair);
    mask |= CheckRequirements(order, pair, requirementMode);
    mask |= CheckOutOfDate(order, pair);
    mask |= CheckProductTypes(order, pair);
    if (UserParameters().TransportCard != 0)
        mask |= CheckTransportCard(order, pair);
    if (withLorryState)
        mask |= CheckLorryState(order, pair) | CheckAssignedOtherResource(order, pair);
    mask |= CheckAllowedResources(order, pair, withLorryState);
    if (keepNotLocated) {
        mask |= CheckNotLocated(order);
        if (pair.IsNotLocated())
            mask |= REJECT_LORRY_NOT_LOCATED;
    }
    if (!dropUserBit && IsUserRejected(order.plan.index, pair.row))
        mask |= REJECT_USER;
    return mask | CheckWarehouseRejected(order, pair);
}

uint32_t CRejections::CheckNoFit(const COrder& order, const CLorryDriver& pair)
{
    const CUserParameters& parameters = UserParameters();
    if (!pair.lorry || parameters.QuantitiesControl == 0)
        return 0;
    const CTrailer* trailer = pair.GetTrailer();
    if (trailer && trailer->towedClass != 0)
        return 0;
    // A missing trailer offers no capacity.
    static const float none[3] = {0, 0, 0};
    const float* capacity = trailer ? trailer->overloadedCapacity : none;
    const float* minimum = trailer ? trailer->minimumCapacity : none;
    const TOrderLinesHeader& totals = order.lines.header;

    if (parameters.Tanks != 0 && trailer && trailer->inBulk) {
        m_gene->ClearUnfixedTankLoads(*trailer);
        CTruckOrderLines onBoard;
        m_gene->LoadOrderLinesIntoTanks(*trailer, onBoard, order.lines, trailer->mixBulk != 0);
        const bool volumeOverloadAllowed =
            parameters.OnlyOneProductOverload != 0 && onBoard.GetSize() <= 1;
        if (totals.totalQuantity > capacity[0] || minimum[0] > totals.totalQuantity ||
            totals.totalSurface > capacity[2] || minimum[2] > totals.totalSurface ||
            (totals.totalVolume > capacity[1] && !volumeOverloadAllowed) ||
            minimum[1] > totals.totalVolume || totals.packedVolume > trailer->notInBulkCapacity1 ||
            !m_gene->LoadOrderInTanks(*trailer, onBoard))
            return REJECT_NO_FIT;
        return 0;
    }
    if (totals.totalQuantity > capacity[0] || minimum[0] > totals.totalQuantity)
        return REJECT_NO_FIT;
    if (const CTruck* truck = pair.GetTruck(); truck && truck->trailerHitch != 0)
        return 0;
    if (totals.totalSurface > capacity[2] || minimum[2] > totals.totalSurface ||
        totals.totalVolume > capacity[1] || minimum[1] > totals.totalVolume)
        return REJECT_NO_FIT;
    return 0;
}

uint32_t CRejections::CheckRequirements(const COrder& order, const CLorryDriver& pair,
                                        int requirementMode) const
{
    const CListaCondicionantes& definitions = ModelContext().requirementDefinitions;
    if (definitions.CompareValues(pair.requirements, order.requirements, false, false, false))
        return REJECT_REQUIREMENTS;
    if (requirementMode == 0 &&
        definitions.CompareValues(pair.requirements, order.requirements, false, true, true))
        return REJECT_REQUIREMENTS;
    return 0;
}

uint32_t CRejections::CheckOutOfDate(const COrder& order, const CLorryDriver& pair) const
{
    const CUserParameters& parameters = UserParameters();
    if (parameters.SchedulingTime != 1 || parameters.OutOfDate == 0)
        return 0;
    const int32_t firstDay = order.customer.location.openingHours.firstDay;
    return firstDay != UnsetDay && pair.availableDays - 1 < firstDay ? REJECT_OUT_OF_DATE : 0;
}

uint32_t CRejections::CheckProductTypes(const COrder& order, const CLorryDriver& pair) const
{
    const CTrailer* trailer = pair.GetTrailer();
    if (!trailer || trailer->allowedProductTypes == 0)
        return 0;
    for (const COrderLine* line : order.lines)
        if (line->typeBit != 0)
            return (line->typeBit & trailer->allowedProductTypes) == 0 ? REJECT_PRODUCT_TYPES : 0;
    return 0;
}

uint32_t CRejections::CheckTransportCard(const COrder& order, const CLorryDriver& pair) const
{
    const int cardCountry = pair.cardLocation.country;
    const int ownLoadingCountry = order.wareHouse.location.country;
    const int deliveryCountry = order.customer.location.country;
    switch (pair.transportCardType) {
    case 0: { // country card
        if (pair.internationalCard)
            return 0;
        int loadingCountry = ownLoadingCountry;
        if (UserParameters().LoadingProblem == 3) {
            const CWareHouses& wareHouses = ModelContext().wareHouses;
            const int index = order.plan.warehouseIndex;
            loadingCountry = index >= 0 && index < wareHouses.GetSize()
                                 ? wareHouses[index]->location.country
                                 : -1;
        }
        if (cardCountry == -1)
            return 0;
        if (loadingCountry != -1 && loadingCountry != cardCountry)
            return REJECT_TRANSPORT_CARD;
        return deliveryCountry == -1 || deliveryCountry == cardCountry ? 0 : REJECT_TRANSPORT_CARD;
    }
    case 1: { // regional card
        const bool provincesAdmitted = CardAdmits(pair.cardProvince, order.warehouseProvince) &&
                                       CardAdmits(pair.cardProvince, order.customer.province);
        if (pair.internationalCard) {
            if (ownLoadingCountry == PortugalCountry || deliveryCountry == PortugalCountry)
                return ProvinceInTable(pair.cardProvince) &&
                               BuiltPortugalProvinces().GetBit(pair.cardProvince, 0)
                           ? 0
                           : REJECT_TRANSPORT_CARD;
            return provincesAdmitted ? 0 : REJECT_TRANSPORT_CARD;
        }
        if (cardCountry != -1 && ((ownLoadingCountry != -1 && ownLoadingCountry != cardCountry) ||
                                  (deliveryCountry != -1 && deliveryCountry != cardCountry)))
            return REJECT_TRANSPORT_CARD;
        return provincesAdmitted ? 0 : REJECT_TRANSPORT_CARD;
    }
    case 2: { // local card
        const double radiusKm = pair.localCardRadius;
        const TLocationData* reference = LocalCardReference(order, pair);
        if (reference && LawOfCosinesKm(pair.cardLocation, *reference) >= radiusKm)
            return REJECT_TRANSPORT_CARD;
        const double deliveryKm =
            GreatCircleDistanceKm(PointOf(pair.cardLocation), PointOf(order.customer.location));
        return deliveryKm >= radiusKm ? REJECT_TRANSPORT_CARD : 0;
    }
    default:
        return 0;
    }
}

uint32_t CRejections::CheckLorryState(const COrder& order, const CLorryDriver& pair) const
{
    const TOrderPlanFields& plan = order.plan;
    if (plan.assigned && plan.assignedTrip > 0 && plan.assignedSubtrip > 0)
        return 0;
    uint32_t mask = 0;
    if (pair.flags & PAIR_DEACTIVATED)
        mask |= REJECT_DEACTIVATED_LORRY;
    if (pair.flags & PAIR_FROZEN)
        mask |= REJECT_FROZEN_LORRY;
    return mask;
}

uint32_t CRejections::CheckAssignedOtherResource(const COrder& order,
                                                 const CLorryDriver& pair) const
{
    const TOrderPlanFields& plan = order.plan;
    if (plan.assignedDriverRow != -1 && plan.assignedDriverRow != pair.row && pair.driver)
        return REJECT_ASSIGNED_OTHER;
    const CTruck* truck = pair.GetTruck();
    if (plan.assignedPairRow == -1 || plan.assignedPairRow == pair.row || !truck)
        return 0;
    const std::string& assignedTruck = order.Text(ASSIGNED_TRUCK);
    if (!assignedTruck.empty() && (assignedTruck == truck->plate || assignedTruck == truck->code))
        return 0;
    const std::string& assignedTrailer = order.Text(ASSIGNED_TRAILER);
    if (!assignedTrailer.empty() &&
        (assignedTrailer == TrailerPlate(pair) || assignedTrailer == TrailerCode(pair)))
        return 0;
    return REJECT_ASSIGNED_OTHER;
}

uint32_t CRejections::CheckAllowedResources(const COrder& order, const CLorryDriver& pair,
                                            bool withLorryState) const
{
    const std::string& driverCode = DriverCode(pair);
    const std::string& trailerCode = TrailerCode(pair);
    uint32_t mask = 0;
    if (withLorryState) {
        const std::string& prefixed = order.Text(PREFIXED_RESOURCE);
        if (UserParameters().RespectPreFixedResource != 0 && !prefixed.empty() &&
            prefixed != TrailerPlate(pair))
            mask |= REJECT_PREFIXED_RESOURCE;
        const CSmartStringArray& allowedDrivers = order.permissionLists[PERMISSION_ALLOWED_DRIVERS];
        if (allowedDrivers.GetSize() > 0 && !Contains(allowedDrivers, driverCode))
            mask |= REJECT_ALLOWED_DRIVER;
        const CSmartStringArray& allowedResources =
            order.permissionLists[PERMISSION_ALLOWED_RESOURCES];
        if (allowedResources.GetSize() > 0 && !Contains(allowedResources, trailerCode))
            mask |= REJECT_ALLOWED_RESOURCE;
    }
    if (Contains(order.permissionLists[PERMISSION_NON_ALLOWED_DRIVERS], driverCode))
        mask |= REJECT_NON_ALLOWED_DRIVER;
    if (Contains(order.permissionLists[PERMISSION_NON_ALLOWED_RESOURCES], trailerCode))
        mask |= REJECT_NON_ALLOWED_RESOURCE;
    return mask;
}

uint32_t CRejections::CheckNotLocated(const COrder& order) const
{
    const CUserParameters& parameters = UserParameters();
    if (parameters.CustomerInOrderLines != 0) {
        for (const COrderLine* line : order.lines)
            if (!line->customer.location.IsLocated())
                return REJECT_ORDER_NOT_LOCATED;
    } else if (!order.customer.location.IsLocated()) {
        return REJECT_ORDER_NOT_LOCATED;
    }
    if (parameters.LoadingProblem == 2)
        return order.wareHouse.location.IsLocated() ? 0 : REJECT_WAREHOUSE_NOT_LOCATED;
    if (parameters.LoadingProblem == 3) {
        const CWareHouses& wareHouses = ModelContext().wareHouses;
        const int index = order.plan.warehouseIndex;
        if (index >= 0 && index < wareHouses.GetSize() && !wareHouses[index]->location.IsLocated())
            return REJECT_WAREHOUSE_NOT_LOCATED;
    }
    return 0;
}

uint32_t CRejections::CheckWarehouseRejected(const COrder& order, const CLorryDriver& pair) const
{
    const int loadingProblem = UserParameters().LoadingProblem;
    const bool applies = (loadingProblem == 2 && order.wareHouse.index != -1) ||
                         (loadingProblem == 3 && order.plan.warehouseIndex != -1);
    return applies && IsWarehouseRejected(pair.row, order.plan.warehouseIndex)
               ? REJECT_WAREHOUSE_REJECTED
               : 0;
}
