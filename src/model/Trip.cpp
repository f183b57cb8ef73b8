#include "model/Trip.h"

#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/Resources.h"
#include "params/Parameters.h"

#include <algorithm>

namespace {

bool IsDeliveryOrCollection(int type)
{
    return type == STOP_DELIVERY || type == STOP_COLLECTION;
}

bool IsWorkStopType(int type)
{
    return IsLoadOrUnloadStopType(type) || IsOrderStopType(type);
}

// Delivery or platform delivery: the stops whose orders the trip loads.
bool IsLoadedDeliveryType(int type)
{
    return type == STOP_DELIVERY || type == STOP_PLATFORM_DELIVERY;
}

bool IsLooseOrder(const COrder& order)
{
    return order.plan.kind == ORDER_COLLECTION_LOOSE || order.plan.kind == ORDER_DELIVERY_LOOSE;
}

int CustomerIndex(const COrder& order)
{
    return order.customer.location.codeIndex;
}

// The part of an assignment state for `count` of `total` orders.
int StatePart(int count, int total, int all, int none, int some)
{
    if (count == total)
        return all;
    return count == 0 ? none : some;
}

} // namespace

bool IsFullyAssigned(const COrder& order)
{
    return order.plan.assigned != 0 && order.plan.assignedTrip > 0 &&
           order.plan.assignedSubtrip > 0;
}

void CTrip::Clear()
{
    stops.clear();
    loadTimesAdjusted = 0;
    reserved = 0;
    if (productsInTanks.GetSize() > 0)
        productsInTanks.RemoveAt(0, productsInTanks.GetSize());
}

// ---- Finding stops
// -------------------------------------------------------------------------------

CStopPoint* CTrip::GetLastStopPoint()
{
    return stops.empty() ? nullptr : &stops.back();
}

int CTrip::FindLastStopOfTypes(int a, int b) const
{
    for (int i = GetStopCount() - 1; i >= 0; --i)
        if (stops[static_cast<size_t>(i)].type == a || stops[static_cast<size_t>(i)].type == b)
            return i;
    return -1;
}

CStopPoint* CTrip::FindOrderStop(int order, int* index)
{
    for (int i = 0; i < GetStopCount(); ++i) {
        if (stops[static_cast<size_t>(i)].order != order)
            continue;
        if (index)
            *index = i;
        return &stops[static_cast<size_t>(i)];
    }
    return nullptr;
}

CStopPoint* CTrip::FindStopOfType(int type)
{
    for (CStopPoint& stop : stops)
        if (stop.type == type)
            return &stop;
    return nullptr;
}

CStopPoint* CTrip::GetFirstLoadOrUnloadStop()
{
    for (CStopPoint& stop : stops)
        if (IsLoadOrUnloadStopType(stop.type))
            return &stop;
    return nullptr;
}

int CTrip::GetFirstOrder() const
{
    for (const CStopPoint& stop : stops)
        if (IsDeliveryOrCollection(stop.type))
            return stop.order;
    return -1;
}

CStopPoint* CTrip::NextOrderStop(int& position)
{
    for (; position >= 0 && position < GetStopCount(); ++position)
        if (IsOrderStopType(stops[static_cast<size_t>(position)].type))
            return &stops[static_cast<size_t>(position++)];
    return nullptr;
}

CStopPoint* CTrip::NextWorkStop(int& position)
{
    for (; position >= 0 && position < GetStopCount(); ++position)
        if (IsWorkStopType(stops[static_cast<size_t>(position)].type))
            return &stops[static_cast<size_t>(position++)];
    return nullptr;
}

CStopPoint* CTrip::PreviousOrderStop(int& position)
{
    if (position >= GetStopCount())
        position = GetStopCount() - 1;
    for (; position >= 0; --position)
        if (IsOrderStopType(stops[static_cast<size_t>(position)].type))
            return &stops[static_cast<size_t>(position--)];
    return nullptr;
}

CStopPoint* CTrip::FindStopBeforeOrder(int order)
{
    CStopPoint* previous = nullptr;
    for (CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type))
            continue;
        if (stop.order == order)
            return previous;
        previous = &stop;
    }
    return nullptr;
}

int CTrip::FindOrderAt(int32_t t0, int32_t t1) const
{
    const CStopPoint* last = nullptr;
    for (const CStopPoint& stop : stops) {
        if (!stop.HasOrder())
            continue;
        if (stop.start >= t1)
            break;
        last = &stop;
    }
    return last && t0 < last->end ? last->order : -1;
}

// ---- Orders
// --------------------------------------------------------------------------------------

bool CTrip::GetTripOrders(std::vector<int>& orders, const TOrderScope& scope) const
{
    orders.clear();
    for (const CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type) || stop.escobaCopy)
            continue;
        if (!scope.IsValidReference(stop.order))
            return false;
        if (orders.empty() || orders.back() != stop.order)
            orders.push_back(stop.order);
    }
    return true;
}

int CTrip::CountEmptyTanks() const
{
    int empty = 0;
    for (const CProductsInTank* tank : productsInTanks)
        if (!tank)
            ++empty;
    return empty;
}

void CTrip::ShiftTimes(int32_t minutes)
{
    for (CStopPoint& stop : stops) {
        stop.start += minutes;
        stop.end += minutes;
    }
}

int CTrip::GetAssignedTripNumber(const TOrderScope& scope) const
{
    int number = -1;
    for (const CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type))
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (!order || !IsFullyAssigned(*order))
            return 0;
        number = order->plan.assignedTrip;
    }
    return number;
}

int CTrip::GetDisplayTripNumber(const TOrderScope& scope) const
{
    for (const CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type))
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (order && (order->plan.assigned != 0 || order->plan.assignedTrip >= 0))
            return order->plan.assignedTrip;
    }
    return 0;
}

bool CTrip::HasAssignedOrder(const TOrderScope& scope) const
{
    for (const CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type))
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (order && order->plan.assigned != 0)
            return true;
    }
    return false;
}

bool CTrip::IsWithoutBadAssignment() const
{
    return std::none_of(stops.begin(), stops.end(), [](const CStopPoint& stop) {
        return (stop.validFlags & (STOP_BAD_ASSIGNED | STOP_BAD_ASSIGNED_2)) != 0;
    });
}

int CTrip::GetAssignmentState() const
{
    const COrders& orders = ModelContext().orders;
    int assigned = 0;
    int withDriver = 0;
    int count = 0;
    for (const CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type) || stop.order < 0 || stop.order >= orders.GetSize())
            continue;
        const COrder& order = *orders[stop.order];
        ++count;
        if (order.plan.assigned != 0)
            ++assigned;
        if (!order.Text(ASSIGNED_DRIVER).empty())
            ++withDriver;
    }
    if (count == 0)
        return 0;
    return StatePart(assigned, count, ASSIGNMENT_ALL_ASSIGNED, ASSIGNMENT_NONE_ASSIGNED,
                     ASSIGNMENT_SOME_ASSIGNED) |
           StatePart(withDriver, count, ASSIGNMENT_ALL_DRIVERS, ASSIGNMENT_NO_DRIVER,
                     ASSIGNMENT_SOME_DRIVERS);
}

uint32_t CTrip::GetRejectionMask(int row) const
{
    const CStopRejections* rejections = ModelContext().stopRejections;
    const COrders& orders = ModelContext().orders;
    uint32_t mask = 0;
    if (!rejections)
        return mask;
    for (const CStopPoint& stop : stops)
        if (IsOrderStopType(stop.type) && stop.order >= 0 && stop.order < orders.GetSize())
            mask |= rejections->ComputeMask(stop.order, row);
    return mask;
}

bool CTrip::GetTripInfo(COrdersTripInfo& info, const TOrderScope& scope) const
{
    info = COrdersTripInfo();
    const int orderCount = ModelContext().orders.GetSize();
    bool loadSeen = false;
    for (const CStopPoint& stop : stops) {
        if (stop.type == STOP_LOAD && !loadSeen) {
            loadSeen = true;
            info.loadStart = stop.start;
            info.loadEnd = stop.end;
        }
        if (stop.type == STOP_UNLOAD || stop.type == STOP_NONE) {
            info.unloadStart = stop.start;
            info.unloadEnd = stop.end;
        }
    }
    for (const CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type))
            continue;
        if (!scope.IsValidReference(stop.order))
            return false;
        const int index = stop.order < orderCount ? stop.order : stop.order - orderCount;
        info.rows.push_back({index, stop.lorry, stop.start, stop.end});
    }
    return true;
}

bool CTrip::AccumulateStock(std::vector<int>& counters, bool refuse) const
{
    const CModelContext& context = ModelContext();
    const int productCount = context.products.GetSize();
    counters.assign(static_cast<size_t>(productCount), -1);
    std::vector<bool> seen(static_cast<size_t>(productCount), false);
    for (const CStopPoint& stop : stops) {
        if (!IsOrderStopType(stop.type) || stop.order < 0 || stop.order >= context.orders.GetSize())
            continue;
        const COrder& order = *context.orders[stop.order];
        if (refuse && !order.plan.autoAssignable)
            return false;
        for (const COrderLine* line : order.lines) {
            if (refuse && line->GetLoadGroupFlag() == 0)
                return false;
            const int product = line->productIndex;
            if (line->stockForAutoAssign < 0 || product < 0 || product >= productCount)
                continue;
            auto at = static_cast<size_t>(product);
            if (!seen[at]) {
                seen[at] = true;
                counters[at] = line->stockForAutoAssign;
            }
            counters[at] -= static_cast<int>(line->quantity);
            if (refuse && counters[at] < 0)
                return false;
        }
    }
    return true;
}

bool CTrip::CheckStock() const
{
    std::vector<int> counters;
    return AccumulateStock(counters, true);
}

void CTrip::ReportStock() const
{
    std::vector<int> counters;
    AccumulateStock(counters, false);
    CModelContext& context = ModelContext();
    for (size_t product = 0; product < counters.size(); ++product)
        if (counters[product] >= 0)
            context.orders.SetLinesStockForAutoAssign(
                context.products[static_cast<int>(product)]->name, counters[product]);
}

// ---- Post-processing ---------------------------------------------------------------------------

void CTrip::CalculateLoadPercentages(float capacity1, int kind, int alsoKind, float capacity2,
                                     const TOrderScope& scope)
{
    const int empty = CountEmptyTanks();
    float sumKm = 0;
    float sumEmpty = 0;
    float quantity = 0;
    float volume = 0;
    float surface = 0;
    CStopPoint* lastLoad = nullptr;
    CStopPoint* lastUnload = nullptr;
    for (CStopPoint& stop : stops) {
        sumKm += stop.km;
        sumEmpty += stop.emptyKmRatio;
        if (stop.type == STOP_LOAD)
            lastLoad = &stop;
        else if (stop.type == STOP_UNLOAD)
            lastUnload = &stop;
        if (stop.type != kind && stop.type != alsoKind)
            continue;
        const COrder* order = scope.Resolve(stop.order);
        if (!order || IsLooseOrder(*order))
            continue;
        quantity += stop.quantity;
        volume += stop.volume;
        surface += stop.surface;
    }
    // A capacity that is not positive counts as 1.
    const float c1 = capacity1 > 0 ? capacity1 : 1.0f;
    const float c2 = capacity2 > 0 ? capacity2 : 1.0f;
    const float filling1 = quantity / c1 * 100.0f;
    const float filling2 = volume / c2 * 100.0f;
    CStopPoint* target = kind == STOP_DELIVERY     ? lastLoad
                         : kind == STOP_COLLECTION ? lastUnload
                                                   : nullptr;
    if (target) {
        target->quantity = quantity;
        target->volume = volume;
        target->surface = surface;
        target->fillingPercent1 = filling1;
        target->fillingPercent2 = filling2;
        target->emptyTanks = empty;
        // A trip of 0 km drove nothing empty.
        target->emptyKmRatio = sumKm != 0 ? sumEmpty / sumKm * 100.0f : 0.0f;
    }
    for (CStopPoint& stop : stops) {
        if (!stop.HasOrder())
            continue;
        stop.fillingPercent1 = filling1;
        stop.fillingPercent2 = filling2;
    }
}

void CTrip::AdjustLoadTimes(int32_t earliest, int warehouse, const TOrderScope& scope)
{
    if (loadTimesAdjusted)
        return;
    loadTimesAdjusted = 1;
    if (stops.empty())
        return;
    const CUserParameters& parameters = UserParameters();
    auto loadingMinutes = [&](const COrder& order) {
        return order.lines.GetLoadingMinutes(warehouse);
    };
    auto loadedOrder = [&](const CStopPoint& stop) -> COrder* {
        return IsLoadedDeliveryType(stop.type) && stop.HasOrder() ? scope.Resolve(stop.order)
                                                                  : nullptr;
    };

    CStopPoint& first = stops.front();
    int32_t slack = 0;
    if (first.start != kUnsetTime && earliest != kUnsetTime && earliest < first.start)
        slack = first.start - earliest;

    // Every order after the first loads in its own time; the stops of the first order do not.
    int32_t extra = 0;
    int firstOrder = -1;
    for (const CStopPoint& stop : stops) {
        const COrder* order = loadedOrder(stop);
        if (!order)
            continue;
        if (firstOrder == -1)
            firstOrder = stop.order;
        else if (stop.order != firstOrder)
            extra += loadingMinutes(*order);
    }

    int32_t moved = 0;
    if (slack > 0) {
        moved = std::min(extra, slack);
        extra -= moved;
        first.start -= moved;
        first.end -= moved;
    }

    const bool mergeVisits =
        parameters.QuantitiesControl != 0 && parameters.CustomerInOrderLines == 0;
    CStopPoint* load = nullptr;
    int walkFirstOrder = -1;
    int previousCustomer = -1;
    bool hasPrevious = false;
    for (size_t i = 0; i < stops.size(); ++i) {
        CStopPoint& stop = stops[i];
        if (stop.type == STOP_DEPOT)
            continue;
        if (stop.type == STOP_LOAD) {
            stop.start -= moved;
            stop.end += extra;
            load = &stop;
            continue;
        }
        const COrder* order = loadedOrder(stop);
        if (order) {
            if (walkFirstOrder == -1)
                walkFirstOrder = stop.order;
            else if (stop.order != walkFirstOrder && parameters.ConsiderFullTruckToLoadingTime == 0)
                extra = std::max(0, extra - loadingMinutes(*order));
        }
        if (stop.type != STOP_DELIVERY) {
            stop.start += extra;
            stop.end += extra;
        } else if (order) {
            const CTimeWindow& fixed = order->customer.assignedWindow;
            if (fixed.start == kUnsetTime)
                stop.start += extra;
            if (fixed.end == kUnsetTime)
                stop.end += extra;
            if (order->plan.assigned != 0 && load) {
                const CTimeWindow& loading = order->plan.assignedLoadingWindow;
                if (loading.start != kUnsetTime)
                    load->start = loading.start;
                if (loading.end != kUnsetTime)
                    load->end = loading.end;
            }
        }
        if (!order)
            continue;
        const int customer = CustomerIndex(*order);
        if (mergeVisits && hasPrevious && customer == previousCustomer && i > 0)
            MergeVisit(i, customer, scope);
        previousCustomer = customer;
        hasPrevious = true;
    }
}

void CTrip::MergeVisit(size_t current, int customer, const TOrderScope& scope)
{
    auto orderOf = [&](const CStopPoint& stop) -> const COrder* {
        return stop.HasOrder() ? scope.Resolve(stop.order) : nullptr;
    };
    size_t first = current - 1;
    if (const COrder* before = orderOf(stops[first]); before && IsLooseOrder(*before))
        return;
    while (first > 0) {
        const COrder* order = orderOf(stops[first - 1]);
        if (!order || CustomerIndex(*order) != customer || IsLooseOrder(*order))
            break;
        --first;
    }
    for (size_t k = first; k < current; ++k)
        stops[k].end = stops[current].end;
    const int32_t start = stops[first].start;
    for (size_t k = first; k <= current; ++k)
        stops[k].start = start;
}
