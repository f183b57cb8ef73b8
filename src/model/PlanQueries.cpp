// The questions views, reports and services ask of a finished plan, per pair and over the
// whole plan. Only ReduceQuantitiesAtExit changes anything: the order lines of an export.

#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/Resources.h"
#include "model/TruckTrips.h"
#include "params/Parameters.h"

#include <algorithm>

namespace {

bool IsDeliveryOrCollection(int type)
{
    return type == STOP_DELIVERY || type == STOP_COLLECTION;
}

bool HasOrderStop(const CTrip& trip)
{
    return std::any_of(trip.stops.begin(), trip.stops.end(),
                       [](const CStopPoint& stop) { return IsOrderStopType(stop.type); });
}

// Every order stop of the trip serves a fully assigned order.
bool AllOrdersFullyAssigned(const CTrip& trip, const TOrderScope& scope)
{
    for (const CStopPoint& stop : trip.stops) {
        if (!IsOrderStopType(stop.type))
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (!order || !IsFullyAssigned(*order))
            return false;
    }
    return true;
}

// Appends the code to the " - " joined list unless it is there already.
void AddDistinctCode(std::vector<std::string>& codes, const std::string& code)
{
    if (std::find(codes.begin(), codes.end(), code) == codes.end())
        codes.push_back(code);
}

std::string JoinCodes(const std::vector<std::string>& codes)
{
    std::string text;
    for (const std::string& code : codes) {
        if (!text.empty())
            text += " - ";
        text += code;
    }
    return text;
}

float TrailerCapacity(const CLorryDriver& pair)
{
    const CTrailer* trailer = pair.GetTrailer();
    return trailer ? trailer->capacity[0] : 0.0f;
}

} // namespace

int CombineAssignmentStates(const std::vector<int>& codes)
{
    const int n = static_cast<int>(codes.size());
    int empty = 0, driversAll = 0, driversNone = 0, driversSome = 0;
    int assignedAll = 0, assignedNone = 0, assignedSome = 0;
    for (int code : codes) {
        if (code == 0) {
            ++empty;
            continue;
        }
        if (code & ASSIGNMENT_ALL_DRIVERS)
            ++driversAll;
        else if (code & ASSIGNMENT_NO_DRIVER)
            ++driversNone;
        else
            ++driversSome;
        if (code & ASSIGNMENT_ALL_ASSIGNED)
            ++assignedAll;
        else if (code & ASSIGNMENT_NONE_ASSIGNED)
            ++assignedNone;
        else
            ++assignedSome;
    }
    if (n == empty)
        return 0;
    int state = 0;
    if (n == driversAll + empty)
        state |= ASSIGNMENT_ALL_DRIVERS;
    else if (n == driversNone + empty)
        state |= ASSIGNMENT_NO_DRIVER;
    else if (driversSome > 0 || driversAll > 0)
        state |= ASSIGNMENT_SOME_DRIVERS;
    if (n == assignedAll + empty)
        state |= ASSIGNMENT_ALL_ASSIGNED;
    else if (n == assignedNone + empty)
        state |= ASSIGNMENT_NONE_ASSIGNED;
    else if (assignedSome > 0 || assignedAll > 0)
        state |= ASSIGNMENT_SOME_ASSIGNED;
    return state;
}

// ---- One pair
// ------------------------------------------------------------------------------------

int CTruckTrips::GetAssignmentState() const
{
    std::vector<int> codes;
    codes.reserve(m_trips.size());
    for (const auto& trip : m_trips)
        codes.push_back(trip->GetAssignmentState());
    return CombineAssignmentStates(codes);
}

CStopPoint* CTruckTrips::FindOrderStopIndex(int order, int& trip, int& stop) const
{
    for (int t = 0; t < GetTripCount(); ++t) {
        int index = -1;
        if (CStopPoint* found = m_trips[static_cast<size_t>(t)]->FindOrderStop(order, &index)) {
            trip = t;
            stop = index;
            return found;
        }
    }
    return nullptr;
}

CStopPoint* CTruckTrips::FindStopBeforeOrder(int order) const
{
    for (const auto& trip : m_trips)
        if (CStopPoint* found = trip->FindStopBeforeOrder(order))
            return found;
    return nullptr;
}

CStopPoint* CTruckTrips::FindStopByCode(const std::string& code, const CLorryDriver* pair,
                                        int& trip, int& stop, const TOrderScope& scope) const
{
    trip = 0;
    stop = 0;
    const bool warehouseCode =
        UserParameters().LoadingProblem == 3 && ModelContext().wareHouses.FindWareHouse(code) >= 0;
    const CTrailer* trailer = pair ? pair->GetTrailer() : nullptr;
    for (int t = 0; t < GetTripCount(); ++t) {
        CTrip& current = *m_trips[static_cast<size_t>(t)];
        for (int s = 0; s < current.GetStopCount(); ++s) {
            CStopPoint& candidate = current.stops[static_cast<size_t>(s)];
            bool matches = candidate.place &&
                           (candidate.place->code == code || candidate.place->name == code ||
                            candidate.place->nodeCode == code);
            if (!matches && IsOrderStopType(candidate.type)) {
                const COrder* order = scope.Resolve(candidate.order);
                matches = order && order->Text(ORDER_CODE) == code;
            }
            if (!matches && IsLoadOrUnloadStopType(candidate.type))
                matches = warehouseCode;
            if (!matches && candidate.type == STOP_DEPOT)
                matches = trailer && trailer->base.code == code;
            if (matches) {
                trip = t;
                stop = s;
                return &candidate;
            }
        }
    }
    return nullptr;
}

CStopPoint* CTruckTrips::GetTripStartStop(int trip) const
{
    CTrip* current = GetTrip(trip);
    if (!current)
        return nullptr;
    for (CStopPoint& stop : current->stops)
        if (stop.type == STOP_DEPOT || stop.type == STOP_LOAD || stop.type == STOP_COLLECTION ||
            stop.type == STOP_SLEEPING || stop.type == STOP_SLEEP_OUT_HOME)
            return &stop;
    return nullptr;
}

CStopPoint* CTruckTrips::GetTripEndStop(int trip) const
{
    CTrip* current = GetTrip(trip);
    if (!current)
        return nullptr;
    if (trip == GetTripCount() - 1)
        return current->GetLastStopPoint();
    CTrip& next = *m_trips[static_cast<size_t>(trip) + 1];
    int first = current->GetStopCount() - 1;
    while (first > 0 && current->stops[static_cast<size_t>(first) - 1].type == STOP_DEPOT &&
           current->stops[static_cast<size_t>(first)].type == STOP_DEPOT)
        --first;
    if (!next.IsEmpty() && first >= 0 &&
        current->stops[static_cast<size_t>(first)].type == STOP_DEPOT)
        return &current->stops[static_cast<size_t>(first)];
    for (CStopPoint& stop : next.stops)
        if (stop.type == STOP_LOAD || stop.type == STOP_COLLECTION || stop.type == STOP_DEPOT)
            return &stop;
    return nullptr;
}

CStopPoint* CTruckTrips::GetLastOrderStop(int trip) const
{
    CTrip* current = GetTrip(trip);
    if (!current)
        return nullptr;
    for (int s = current->GetStopCount() - 1; s >= 0; --s)
        if (IsOrderStopType(current->stops[static_cast<size_t>(s)].type))
            return &current->stops[static_cast<size_t>(s)];
    return nullptr;
}

TTripQuantities CTruckTrips::GetTripQuantities(int trip) const
{
    TTripQuantities result;
    const CTrip* current = GetTrip(trip);
    if (!current)
        return result;
    bool collecting = false;
    int32_t start = 0;
    int32_t end = 0;
    for (const CStopPoint& stop : current->stops) {
        if (stop.type == STOP_COLLECTION && !collecting) {
            collecting = true;
            start = stop.start;
        }
        if (stop.type == STOP_DELIVERY ||
            (collecting && (stop.type == STOP_COLLECTION || stop.type == STOP_UNLOAD)))
            result.km += stop.km;
        if (stop.type == STOP_LOAD) {
            if (!collecting)
                start = stop.end;
            end = stop.end;
        }
        if (stop.type != STOP_DEPOT && stop.type != STOP_DRIVING_REST && stop.type != STOP_LUNCHING)
            end = stop.end;
    }
    if (current->GetStopCount() > 1) {
        result.start = start;
        result.end = end;
        result.duration = end - start;
    }
    return result;
}

TTripTotalFigures CTruckTrips::GetTripTotals(const TOrderScope& scope, int trip, int row) const
{
    TTripTotalFigures figures;
    const CTrip* current = GetTrip(trip);
    if (!current)
        return figures;
    const CLorriesDrivers& pairs = Resources().pairs;
    const CStopRejections* rejections = ModelContext().stopRejections;
    const CLorryDriver* pair = row >= 0 && row < pairs.GetSize() ? pairs[row] : nullptr;
    bool zoneSeen = false;
    std::string zone;
    for (size_t s = 0; s < current->stops.size(); ++s) {
        const CStopPoint& stop = current->stops[s];
        // The leg to a later trip's first stop belongs to the trip before it.
        if (!(trip > 0 && s == 0))
            figures.km += stop.km;
        figures.fareCost += stop.fareCost;
        if (!IsOrderStopType(stop.type))
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (!order)
            continue;
        const CLorryDriver* largest = nullptr;
        for (const CLorryDriver* candidate : pairs) {
            if (rejections && rejections->ComputeMask(order->plan.index, candidate->row) != 0)
                continue;
            if (!largest || TrailerCapacity(*candidate) > TrailerCapacity(*largest))
                largest = candidate;
        }
        if (largest) {
            const CTrailer* largestTrailer = largest->GetTrailer();
            const bool fewTanks = !largestTrailer || largestTrailer->tanks.GetSize() <= 1;
            if (fewTanks || (pair && TrailerCapacity(*pair) >= 0.85f * TrailerCapacity(*largest)))
                figures.bigEnough = 1;
        }
        const std::string& orderZone = order->Text(ZONA_COMPATIBILIDAD);
        if (!zoneSeen) {
            zoneSeen = true;
            zone = orderZone;
        } else if (orderZone != zone) {
            figures.mixedZones = 1;
        }
    }
    if (const CTrip* next = GetTrip(trip + 1); next && !next->IsEmpty())
        figures.km += next->stops.front().km;
    return figures;
}

bool CTruckTrips::CheckFirstTripLimits(const TOrderScope& scope) const
{
    CTrip* first = GetTrip(0);
    if (!first || first->IsEmpty())
        return false;
    const CUserParameters& parameters = UserParameters();
    const CStopPoint* reference = first->GetFirstLoadOrUnloadStop();
    if (!reference)
        reference = &first->stops.front();
    if (static_cast<float>(parameters.MinimoPorcentajeEficiencia) > reference->efficiencyPercent)
        return false;
    bool early = false;
    for (const CStopPoint& stop : first->stops) {
        if (!IsOrderStopType(stop.type) || !scope.IsValidReference(stop.order))
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (order &&
            order->customer.location.openingHours.GetLastEnd() < parameters.HoraPrimeraHora)
            early = true;
    }
    if (early)
        return true;
    const float km = GetTripTotals(scope, 0, 0).km;
    const CStopPoint* back = nullptr;
    for (size_t s = 1; s < first->stops.size() && !back; ++s)
        if (first->stops[s].type == STOP_DEPOT)
            back = &first->stops[s];
    const float longTrip = 2.0f * static_cast<float>(parameters.KmViajeLargo);
    return km > longTrip && (!back || back->km > km * 0.5f * 0.8f);
}

void CTruckTrips::CalculateSummary()
{
    if (m_trips.empty() || m_trips.front()->IsEmpty())
        return;
    totals.startTime = m_trips.front()->stops.front().start;
    if (!m_trips.back()->IsEmpty()) {
        totals.endTime = m_trips.back()->stops.back().start;
        totals.totalTime = totals.endTime - totals.startTime;
    }
    std::vector<std::string> trailers;
    std::vector<std::string> trucks;
    for (const auto& trip : m_trips) {
        for (const CStopPoint& stop : trip->stops) {
            const bool served = stop.type == STOP_DELIVERY || stop.type == STOP_COLLECTION ||
                                stop.type == STOP_PLATFORM_DELIVERY;
            if (!served || !stop.lorry)
                continue;
            if (stop.lorry->trailer)
                AddDistinctCode(trailers, stop.lorry->trailer->code);
            if (stop.lorry->truck)
                AddDistinctCode(trucks, stop.lorry->truck->code);
        }
    }
    if (!trailers.empty())
        totals.trailersUsed = JoinCodes(trailers);
    if (!trucks.empty())
        totals.trucksUsed = JoinCodes(trucks);
}

bool CTruckTrips::TripMixesOrderKinds(int trip, const TOrderScope& scope) const
{
    if (trip < 0) {
        for (int t = 0; t < GetTripCount(); ++t)
            if (TripMixesOrderKinds(t, scope))
                return true;
        return false;
    }
    const CTrip* current = GetTrip(trip);
    if (!current)
        return false;
    bool realTime = false;
    bool planned = false;
    for (const CStopPoint& stop : current->stops) {
        if (!IsDeliveryOrCollection(stop.type))
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (!order)
            continue;
        if (order->plan.realTimeServed || order->plan.realTimeLoaded)
            realTime = true;
        else
            planned = true;
        if (realTime && planned)
            return true;
    }
    return false;
}

int CTruckTrips::GetLastLeadingAssignedTrip(const TOrderScope& scope) const
{
    int last = -1;
    for (int t = 0; t < GetTripCount(); ++t) {
        const CTrip& trip = *m_trips[static_cast<size_t>(t)];
        if (trip.IsEmpty() || !HasOrderStop(trip) || !AllOrdersFullyAssigned(trip, scope))
            break;
        last = t;
    }
    return last;
}

CTrip* CTruckTrips::GetLeadingAssignedTrip(const TOrderScope& scope) const
{
    return GetTrip(GetLastLeadingAssignedTrip(scope));
}

int CTruckTrips::GetLeadingAssignedTripNumber(const TOrderScope& scope) const
{
    const CTrip* trip = GetLeadingAssignedTrip(scope);
    return trip ? trip->GetAssignedTripNumber(scope) : 0;
}

CTrip* CTruckTrips::FindFirstUnassignedTrip(const TOrderScope& scope) const
{
    for (const auto& trip : m_trips)
        if (!trip->IsEmpty() && !AllOrdersFullyAssigned(*trip, scope))
            return trip.get();
    return nullptr;
}

void CTruckTrips::ReduceQuantitiesAtExit(const TOrderScope& scope, const CLorry* lorry, int trip)
{
    CTrip* current = GetTrip(trip);
    if (!lorry || !current || current->GetStopCount() < 2)
        return;
    const CStopPoint* load = current->GetFirstLoadOrUnloadStop();
    if (!load)
        return;
    const float capacity = lorry->trailer ? lorry->trailer->capacity[0] : 0.0f;
    float excess = load->quantity - capacity;
    const float percent = UserParameters().PercentMaximoReducir;
    const float share = (percent > 0 ? percent : 100.0f) * 0.01f;
    constexpr float kNegligible = 0.001f;
    constexpr int kMaximumSteps = 1000;
    for (int step = 0; excess >= kNegligible && step < kMaximumSteps; ++step) {
        COrderLine* largest = nullptr;
        bool priorityOnly = false;
        for (const CStopPoint& stop : current->stops) {
            if (!stop.HasOrder() || IsLoadOrUnloadStopType(stop.type))
                continue;
            COrder* order = scope.Resolve(stop.order);
            if (!order || order->plan.doNotReduceQuantities)
                continue;
            const bool priority = order->plan.reduceQuantitiesFirst != 0;
            if (priority && !priorityOnly) {
                // From the first order that asks to be reduced first, only such orders count.
                priorityOnly = true;
                largest = nullptr;
            }
            if (priorityOnly && !priority)
                continue;
            for (COrderLine* line : order->lines)
                if (!largest || line->adjustedQuantity > largest->adjustedQuantity)
                    largest = line;
        }
        if (!largest || largest->adjustedQuantity <= 0)
            return;
        // No line goes below 0; what one line cannot give, the next step takes elsewhere.
        const float taken = std::min(share * excess, largest->adjustedQuantity);
        largest->adjustedQuantity -= taken;
        if (largest->factor != 0)
            largest->adjustedVolume -= taken / largest->factor;
        excess -= taken;
    }
}

// ---- The whole plan
// ------------------------------------------------------------------------------

int CWorkspaceTrips::CountScheduled(bool optionalOnly) const
{
    const COrders& orders = ModelContext().orders;
    std::vector<bool> served(static_cast<size_t>(orders.GetSize()), false);
    int count = 0;
    for (const auto& plan : m_pairPlans) {
        for (int t = 0; t < plan->GetTripCount(); ++t) {
            for (const CStopPoint& stop : plan->GetTrip(t)->stops) {
                if (!IsOrderStopType(stop.type) || stop.order < 0 ||
                    stop.order >= orders.GetSize() || served[static_cast<size_t>(stop.order)])
                    continue;
                if (optionalOnly && !orders[stop.order]->plan.mayStayUnserved)
                    continue;
                served[static_cast<size_t>(stop.order)] = true;
                ++count;
            }
        }
    }
    return count;
}

int CWorkspaceTrips::CountScheduledOrders() const
{
    return CountScheduled(false);
}

int CWorkspaceTrips::CountScheduledOptionalOrders() const
{
    return CountScheduled(true);
}

int CWorkspaceTrips::CountUsedLorries() const
{
    int used = 0;
    for (const auto& plan : m_pairPlans) {
        bool works = false;
        for (int t = 0; t < plan->GetTripCount() && !works; ++t)
            for (const CStopPoint& stop : plan->GetTrip(t)->stops)
                if (stop.type > STOP_DEPOT) {
                    works = true;
                    break;
                }
        used += works ? 1 : 0;
    }
    return used;
}

bool CWorkspaceTrips::FindOrderStop(int order, int& row, int& counter) const
{
    for (int r = 0; r < GetPairCount(); ++r) {
        const CTruckTrips& plan = *m_pairPlans[static_cast<size_t>(r)];
        counter = -1;
        for (int t = 0; t < plan.GetTripCount(); ++t) {
            for (const CStopPoint& stop : plan.GetTrip(t)->stops) {
                ++counter;
                if (IsOrderStopType(stop.type) && stop.order == order) {
                    row = r;
                    return true;
                }
            }
        }
    }
    return false;
}

bool CWorkspaceTrips::GetTripOrders(int row, int trip, std::vector<int>& orders) const
{
    const CTruckTrips* plan = GetPairPlan(row);
    const CTrip* current = plan ? plan->GetTrip(trip) : nullptr;
    return current && current->GetTripOrders(orders, scope);
}

bool CWorkspaceTrips::GetTripInfo(int row, int trip, COrdersTripInfo& info) const
{
    const CTruckTrips* plan = GetPairPlan(row);
    if (!plan)
        return false;
    if (trip >= 0) {
        const CTrip* current = plan->GetTrip(trip);
        return current && current->GetTripInfo(info, scope);
    }
    for (int t = 0; t < plan->GetTripCount(); ++t)
        if (!plan->GetTrip(t)->GetTripInfo(info, scope))
            return false;
    return true;
}

int CWorkspaceTrips::CountTripOrderStops(int row, int trip) const
{
    const CTruckTrips* plan = GetPairPlan(row);
    const CTrip* current = plan ? plan->GetTrip(trip) : nullptr;
    return current ? current->GetAssignmentState() : 0;
}

bool CWorkspaceTrips::IsTruckInAnyTrip(int row) const
{
    const CLorriesDrivers& pairs = Resources().pairs;
    if (row < 0 || row >= pairs.GetSize())
        return false;
    const std::string plate = pairs[row]->GetTruckPlate();
    for (const auto& plan : m_pairPlans)
        for (int t = 0; t < plan->GetTripCount(); ++t)
            for (const CStopPoint& stop : plan->GetTrip(t)->stops)
                if (stop.lorry && stop.lorry->truck && stop.lorry->truck->plate == plate)
                    return true;
    return false;
}

int CWorkspaceTrips::GetStopCounter(int row, int trip, int stop) const
{
    const CTruckTrips* plan = GetPairPlan(row);
    const CTrip* current = plan ? plan->GetTrip(trip) : nullptr;
    if (!current || stop < 0 || stop >= current->GetStopCount())
        return -1;
    int counter = stop;
    for (int t = 0; t < trip; ++t)
        counter += plan->GetTrip(t)->GetStopCount();
    return counter;
}

int CWorkspaceTrips::GetPlanAssignmentState() const
{
    std::vector<int> codes;
    codes.reserve(m_pairPlans.size());
    for (const auto& plan : m_pairPlans)
        codes.push_back(plan->GetAssignmentState());
    return CombineAssignmentStates(codes);
}
