// The price of a trip under a fare: the kilometres and load it charges, the price table read in
// each mode, the unload costs, the special rules and the minimum.

#include "model/Fares.h"
#include "model/ModelContext.h"
#include "model/Resources.h"
#include "model/VehicleLoadState.h"
#include "params/Parameters.h"
#include "params/VariablesKeys.h"
#include "platform/Text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <typeinfo>

namespace {

constexpr float kPerKg = 0.001f;

// Float to int as a truncating cast, but saturating: a huge or undefined amount never makes
// the conversion undefined.
int TruncateToInt(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0f)
        return INT_MAX;
    if (value <= -2147483648.0f)
        return INT_MIN;
    return static_cast<int>(value);
}

int SaturatedInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Road km between two planning nodes; 0 when the matrices do not hold them.
float Km(int fromNode, int toNode)
{
    const CModelDistances* distances = ModelContext().distances;
    float km = 0.0f;
    int minutes = 0;
    if (!distances || fromNode < 0 || toNode < 0 ||
        !distances->GetKmAndMinutes(fromNode, toNode, km, minutes))
        return 0.0f;
    return km;
}

// Where an order is loaded or unloaded at its warehouse under the loading problem in force.
const TLocationData* ServicePoint(const COrder& order, bool looseHaveNone)
{
    if (looseHaveNone && IsLooseKind(order.plan.kind))
        return nullptr;
    const TLocationData& copy = order.wareHouse.location;
    switch (UserParameters().LoadingProblem) {
    case 2:
        return &copy;
    case 3: {
        const CWareHouses& wareHouses = ModelContext().wareHouses;
        const int index = order.plan.warehouseIndex;
        if (index < 0 || index >= wareHouses.GetSize())
            return nullptr;
        if (copy.openingHours.GetSize() > 0 && copy.nodeIndex >= 0)
            return &copy;
        return &wareHouses[index]->location;
    }
    case 4:
    case 5:
        return copy.nodeIndex != -1 ? &copy : nullptr;
    default:
        return nullptr;
    }
}

// The node an order loads at: its service point, else the trip's loading place, else the
// truck's warehouse; -1 when none has one.
int LoadingPointNode(const COrder& order, const TTripFareInputs& trip, const CTruck* truck,
                     bool looseHaveNone)
{
    if (const TLocationData* point = ServicePoint(order, looseHaveNone))
        return point->nodeIndex;
    if (trip.loadingLocation)
        return trip.loadingLocation->nodeIndex;
    return truck ? truck->warehouse.nodeIndex : -1;
}

int ReturnKm(const CLorryDriver& pair, const TTripFareInputs& trip, const COrder* closingOrder)
{
    const CTruck* truck = pair.GetTruck();
    const int baseNode = truck ? truck->base.nodeIndex : -1;
    const int node = trip.currentNode;
    if (node == baseNode) {
        // Back at the base: the return is counted to the loading point instead.
        const COrder* last = trip.lastOrder;
        if (!last)
            return 0;
        const int pointNode = LoadingPointNode(*last, trip, truck, true);
        if (pointNode == node)
            return 0;
        const int customerNode = last->GetNode();
        return TruncateToInt(Km(customerNode, pointNode) - Km(customerNode, node));
    }
    if (!trip.lastCustomer)
        return 0;
    if (!closingOrder) {
        const COrder* delivery = trip.lastDeliveryOrder;
        return delivery ? TruncateToInt(Km(node, LoadingPointNode(*delivery, trip, truck, true)))
                        : 0;
    }
    if (!trip.lastDeliveryOrder)
        return 0;
    switch (closingOrder->plan.kind) {
    case ORDER_DELIVERY:
        return TruncateToInt(Km(node, LoadingPointNode(*closingOrder, trip, truck, false)));
    case ORDER_DELIVERY_LOOSE:
        return 0;
    default:
        return TruncateToInt(Km(node, closingOrder->GetNode()));
    }
}

// The value of a rule's variable in its entity: 0 when the entity does not hold it.
float RuleValue(const TSpecialFare& rule, const TEntityRef& entity)
{
    const void* field = rule.member->Locate(entity);
    if (!field)
        return 0.0f;
    switch (rule.variableKind) {
    case VAR_BOOL:
        if (rule.member->StorageType() == typeid(bool))
            return *static_cast<const bool*>(field) ? 1.0f : 0.0f;
        return *static_cast<const int32_t*>(field) != 0 ? 1.0f : 0.0f;
    case VAR_INT:
        return static_cast<float>(*static_cast<const int32_t*>(field));
    case VAR_FLOAT:
        return *static_cast<const float*>(field);
    case VAR_REQUIREMENTS: {
        // A set reads as the any-value marker; a slot's integer is converted, never its bits.
        const int value = static_cast<const TRequirementValues*>(field)->GetInt(rule.listIndex);
        if (rule.format == 1)
            return value != 0 ? 1.0f : 0.0f;
        return static_cast<float>(value);
    }
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO: {
        const auto& texts = *static_cast<const CSmartStringArray*>(field);
        if (rule.listIndex < 0 || rule.listIndex >= texts.GetSize())
            return 0.0f;
        const std::string& text = texts[rule.listIndex];
        if (rule.format == 1)
            return trv::ParseInt(text) != 0 ? 1.0f : 0.0f;
        if (rule.format == 2)
            return static_cast<float>(trv::ParseInt(text));
        return static_cast<float>(trv::ParseDouble(text));
    }
    default:
        return 0.0f; // kinds without a number contribute nothing (traced when loaded)
    }
}

// The entity a rule reads: the order, the pair or one of the lorry's vehicles, or the state.
TEntityRef RuleEntity(const TSpecialFare& rule, const COrder* order, const CLorryDriver* pair,
                      const CLorry* lorry, const TVehicleLoadState& state)
{
    if (rule.type == SPECIAL_FARE_ORDER)
        return order ? TEntityRef(const_cast<COrder&>(*order)) : TEntityRef();
    if (rule.type != SPECIAL_FARE_RESOURCE)
        return state.fareInputs.totalsEntity.IsNull()
                   ? TEntityRef(const_cast<TVehicleLoadState&>(state))
                   : state.fareInputs.totalsEntity;
    if (!pair)
        return {};
    switch (rule.entity) {
    case SPECIAL_FARE_ENTITY_PAIR:
        return TEntityRef(const_cast<CLorryDriver&>(*pair));
    case SPECIAL_FARE_ENTITY_TRAILER:
        return lorry && lorry->trailer ? TEntityRef(*lorry->trailer) : TEntityRef();
    case SPECIAL_FARE_ENTITY_TRUCK:
        return lorry && lorry->truck ? TEntityRef(*lorry->truck) : TEntityRef();
    default:
        return {};
    }
}

} // namespace

float CFare::ReadPriceTable(int index) const
{
    if (m_priceTable.empty())
        return 0.0f;
    if (index < 0)
        return m_priceTable.front();
    if (index >= static_cast<int>(m_priceTable.size()))
        return m_priceTable.back();
    return m_priceTable[static_cast<std::size_t>(index)];
}

float CFare::SpecialFaresCost(const COrder* order, const CLorryDriver* pair,
                              TVehicleLoadState* state, const CLorry* lorry, float weight1,
                              float weight2, bool additionalKmPass, bool mark) const
{
    float sum = 0.0f;
    if (!state)
        return sum;
    const int counters = static_cast<int>(state->fareCounters.size());
    for (int i = 0; i < GetSpecialFareCount(); ++i) {
        const TSpecialFare& rule = m_specialFares[static_cast<std::size_t>(i)];
        if (rule.additionalKm != (additionalKmPass ? 1 : 0) || !rule.member)
            continue;
        const TEntityRef entity = RuleEntity(rule, order, pair, lorry, *state);
        if (entity.IsNull())
            continue;
        // A rule without a counter of its own is never marked, so it is charged every time.
        int32_t* counter =
            i < counters ? &state->fareCounters[static_cast<std::size_t>(i)] : nullptr;
        if (rule.payJustFirstTime && counter && *counter != 0)
            continue;
        const float value = RuleValue(rule, entity);
        float amount = rule.cost * value;
        if (!additionalKmPass) {
            if (rule.weightDependency == 1)
                amount *= weight1;
            else if (rule.weightDependency == 2)
                amount *= weight2 * kPerKg;
        }
        if (value > 0.0f && mark && counter)
            *counter = 1;
        sum += amount;
    }
    return sum;
}

float CFare::Price(int chargeableKm, const COrder* order, const CLorryDriver* pair,
                   TVehicleLoadState& state, const CLorry* lorry, float& pureFare, bool mark,
                   float chargedLoadKg, float rawLoadKg) const
{
    const float additional = SpecialFaresCost(order, pair, &state, lorry, 0.0f, 0.0f, true, mark);
    const int index =
        SaturatedInt(static_cast<long long>(chargeableKm) +
                     TruncateToInt(state.fareInputs.additionalKm) + TruncateToInt(additional));
    const int mode = m_terms.mode;
    const bool byKm = mode == 0 || mode == 1 || mode == 4;
    const float table = ReadPriceTable(byKm ? index : TruncateToInt(chargedLoadKg));
    const float tonnes = chargedLoadKg * kPerKg;
    const float rawTonnes = rawLoadKg * kPerKg;
    const float rules = SpecialFaresCost(order, pair, &state, lorry, tonnes, 0.0f, false, mark);
    const float km = static_cast<float>(index);
    float amount = 0.0f;
    switch (mode) {
    case 0:
        amount = table * tonnes;
        pureFare = table * rawTonnes;
        break;
    case 1:
        amount = (table * tonnes) * km;
        pureFare = km * (rawTonnes * table);
        break;
    case 3:
        amount = table * tonnes;
        pureFare = amount;
        break;
    case 4:
        amount = table * km;
        pureFare = km * table;
        break;
    default:
        amount = table;
        pureFare = table;
        break;
    }
    const float unloads = static_cast<float>(state.tripUnloads - 1) * m_terms.additionalUnloadCost +
                          m_terms.firstUnloadCost;
    return std::max(unloads + rules + amount, m_terms.minimumCost);
}

float CFare::TripFare(const CLorryDriver& pair, TVehicleLoadState& state, const CLorry* pricedLorry,
                      float& pureFare, const COrder* closingOrder) const
{
    const TTripFareInputs& trip = state.fareInputs;
    const CTruck* truck = pair.GetTruck();
    const int baseNode = truck ? truck->base.nodeIndex : -1;

    // The approach to the first load is not charged.
    long long km = TruncateToInt(state.tripKm);
    if (trip.loadingLocation && state.numberOfTrips == 1)
        km -= TruncateToInt(Km(baseNode, trip.loadingLocation->nodeIndex));

    const bool deliveriesOnly = m_terms.deliveriesOnly != 0 && trip.lastOrder &&
                                trip.lastOrder->plan.kind != ORDER_COLLECTION_EXCLUSIVE;
    const float load =
        deliveriesOnly ? trip.deliveredQuantity : trip.deliveredQuantity + trip.collectedQuantity;

    const long long returnKm = ReturnKm(pair, trip, closingOrder);
    const long long unloadKm =
        TruncateToInt(static_cast<float>(state.tripUnloads - 1) * m_terms.additionalUnloadKm +
                      m_terms.firstUnloadKm);
    long long chargeable = 0;
    switch (m_nType) {
    case FARE_TYPE_NORMAL:
        chargeable = km + returnKm + unloadKm;
        break;
    case FARE_TYPE_RADIAL: {
        // In 64 bits: the default tolerance of 100000 % overflows 32 bits from 10728 km on.
        const long long radial = TruncateToInt(trip.radialKm);
        const long long limit =
            2 * (100 + static_cast<long long>(UserParameters().FactorRetorno)) * radial / 100;
        chargeable = limit < km + returnKm ? (km + returnKm + unloadKm) / 2 : radial + unloadKm;
        break;
    }
    default:
        chargeable = km + unloadKm;
        break;
    }
    const int chargeableKm = SaturatedInt(chargeable);

    const CTrailer* trailer = pair.GetTrailer();
    const float chargedLoad =
        std::max({m_terms.minimumLoadKg, load,
                  trailer ? static_cast<float>(trailer->fareMinimumWeight) : 0.0f});

    const CLorry* priced = pricedLorry ? pricedLorry : pair.lorry;
    const CTruck* pricedTruck = priced ? priced->truck : nullptr;
    if (trip.orderKmPrice != 0.0f && pricedTruck && pricedTruck->kmCost == 0.0f)
        return static_cast<float>(chargeableKm) * trip.orderKmPrice;
    return Price(chargeableKm, nullptr, &pair, state, priced, pureFare, true, chargedLoad, load);
}
