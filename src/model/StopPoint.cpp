#include "model/StopPoint.h"

#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/Resources.h"
#include "params/Parameters.h"
#include "params/StateColors.h"

#include <array>

namespace {

constexpr std::array<const char*, STOP_TYPE_LAST + 1> kStopTypeKeys = {
    nullptr,
    "Depot",
    "Load",
    "Unload",
    "Delivery",
    "Collection",
    "Sleeping",
    "WaitingForOpen",
    "Return",
    "Deactivated",
    "NotLocated",
    "NotScheduled",
    "Cleaning",
    "DrivingRest",
    "PlataformaDistribucionCollection",
    "PlataformaDistribucionDelivery",
    "Lunching",
    "SleepOutHome",
    "DayOff",
    "Parking",
    "DayOffCustomer",
};

// The description of window `index` of a calendar; empty outside it.
std::string WindowDescription(const CDateTable& calendar, int index)
{
    if (index < 0 || index >= calendar.GetSize() || !calendar[index])
        return {};
    return calendar[index]->description;
}

} // namespace

std::string GetStopTypeName(int type)
{
    if (type <= STOP_NONE || type > STOP_TYPE_LAST)
        return Translate("Undefined");
    return Translate(kStopTypeKeys[static_cast<size_t>(type)]);
}

void FillStopTypeNames(CSmartStringArray& names)
{
    names.SetSize(0);
    names.SetSize(STOP_TYPE_LAST + 1);
    for (int type = STOP_DEPOT; type <= STOP_TYPE_LAST; ++type)
        names[type] = GetStopTypeName(type);
}

bool IsPauseStopType(int type)
{
    switch (type) {
    case STOP_SLEEPING:
    case STOP_WAITING_FOR_OPEN:
    case STOP_CLEANING:
    case STOP_DRIVING_REST:
    case STOP_LUNCHING:
    case STOP_SLEEP_OUT_HOME:
    case STOP_DAY_OFF:
    case STOP_DAY_OFF_CUSTOMER:
        return true;
    default:
        return false;
    }
}

bool IsLoadOrUnloadStopType(int type)
{
    return type == STOP_LOAD || type == STOP_UNLOAD;
}

bool IsOrderStopType(int type)
{
    return type == STOP_DELIVERY || type == STOP_COLLECTION || type == STOP_PLATFORM_COLLECTION ||
           type == STOP_PLATFORM_DELIVERY;
}

// ---- Order references --------------------------------------------------------------------------

COrder* TOrderScope::Resolve(int reference) const
{
    const COrders& orders = ModelContext().orders;
    if (reference < 0)
        return nullptr;
    if (reference < orders.GetSize())
        return orders[reference];
    if (!additionalOrders)
        return nullptr;
    return additionalOrders->Get(reference - orders.GetSize());
}

bool TOrderScope::IsValidReference(int reference) const
{
    return reference >= 0 && reference < ModelContext().orders.GetSize() + partitionCount;
}

// ---- CStopPoint --------------------------------------------------------------------------------

void CStopPoint::GetFieldText(std::string& value, const std::string& fieldKey,
                              const CDriver* driver, const TOrderScope& scope) const
{
    if (fieldKey == "STOP_POINT_TYPE" && createdType == STOP_PARKING)
        value.insert(0, "P ");
    const bool resting = type == STOP_SLEEPING || type == STOP_WAITING_FOR_OPEN ||
                         type == STOP_LUNCHING || type == STOP_SLEEP_OUT_HOME;
    if (resting && (fieldKey == "STOP_POINT_KM" || fieldKey == "STOP_POINT_QUANTITY" ||
                    fieldKey == "STOP_POINT_VOLUME" || fieldKey == "STOP_POINT_SURFACE"))
        value.clear();
    // A window index outside the calendar leaves the text as it is.
    if (type == STOP_DAY_OFF && driver && value == Translate("DayOff")) {
        const std::string description = WindowDescription(driver->daysOff, offDayWindow);
        if (!description.empty())
            value = description;
    }
    if (type == STOP_DAY_OFF_CUSTOMER && HasOrder() && value == Translate("DayOffCustomer")) {
        const COrder* stopOrder = scope.Resolve(order);
        const std::string description =
            stopOrder ? WindowDescription(stopOrder->customer.daysOff, offDayWindow) : "";
        if (!description.empty())
            value += "-" + description;
    }
}

bool CStopPoint::GetRejectionText(const CDriver* driver, const TOrderScope& scope)
{
    const COrder* stopOrder = HasOrder() ? scope.Resolve(order) : nullptr;
    const CStopRejections* rejections = ModelContext().stopRejections;
    if (!stopOrder || !rejections)
        return false;
    const CLorryDriver* pair = Resources().pairs.Find(lorry, driver);
    if (!pair)
        return false;
    const int orderIndex = stopOrder->plan.index;
    const int row = pair->row;
    const uint32_t computed = rejections->ComputeMask(orderIndex, row);
    const uint32_t stored = rejections->GetStoredMask(orderIndex, row);
    const bool user = rejections->IsUserRejected(orderIndex, row);
    const CTrailer* trailer = pair->GetTrailer();
    // A sweeper vehicle may carry what only its own reason (4) keeps from the others.
    const bool sweeperOnly = trailer && trailer->sweeper != 0 && (stored & ~4u) == 0;
    if (!user && (computed == 0 || sweeperOnly))
        return false;
    const uint32_t reasons = computed != 0 ? computed : stored != 0 ? stored : kUserRejectionReason;
    messages = rejections->GetRejectionText(reasons, orderIndex, row);
    return true;
}

std::pair<int32_t, int32_t> CStopPoint::GetColors(const CDriver* driver, const TOrderScope& scope,
                                                  const TStateColors& colors)
{
    const bool rejected = GetRejectionText(driver, scope);
    const CUserParameters& parameters = UserParameters();
    const COrder* stopOrder = HasOrder() ? scope.Resolve(order) : nullptr;

    const char* key = "Normal";
    if (stopOrder) {
        if (stopOrder->plan.assignedDriverRow != -1 && stopOrder->plan.assignedSubtrip == 0)
            key = "Preferent";
        else if (!stopOrder->Text(PREFIXED_RESOURCE).empty() &&
                 parameters.RespectPreFixedResource != 0)
            key = "Preferent";
        if (stopOrder->plan.assigned != 0)
            key = "Assigned";
    }
    switch (type) {
    case STOP_SLEEPING:
    case STOP_SLEEP_OUT_HOME:
        key = "Sleeping";
        break;
    case STOP_WAITING_FOR_OPEN:
        key = "WaitingForOpen";
        break;
    case STOP_CLEANING:
        key = "Clean";
        break;
    case STOP_DRIVING_REST:
        key = "DrivingRest";
        break;
    case STOP_LUNCHING:
        key = "Lunching";
        break;
    case STOP_DAY_OFF:
    case STOP_DAY_OFF_CUSTOMER:
        key = "DayOff";
        break;
    case STOP_LOAD:
    case STOP_UNLOAD:
        if (parameters.PointToPoint == 0)
            key = "LoadUnload";
        break;
    default:
        break;
    }
    constexpr int32_t badAssigned = STOP_BAD_ASSIGNED_2 | STOP_BAD_ASSIGNED_3 | STOP_BAD_ASSIGNED_4;
    if (escobaCopy)
        key = "ClonEscoba";
    else if ((validFlags & STOP_BAD_ASSIGNED) || rejected || (validFlags & badAssigned))
        key = "BadAssigned";
    else if (validFlags & STOP_OVERLOAD)
        key = "Overload";
    else if (validFlags & STOP_IMPOSSIBLE_INCOMPATIBILITY)
        key = "IncompatibilidadImposible";
    else if (validFlags & STOP_LATE)
        key = "Late";
    else if (validFlags & STOP_UNDERLOAD)
        key = "Underload";

    int32_t orderColor = kNoColor;
    if (stopOrder && (type == STOP_DELIVERY || type == STOP_COLLECTION)) {
        if (stopOrder->plan.colour != -1)
            orderColor = stopOrder->plan.colour;
        else if (stopOrder->plan.index != stopOrder->plan.derivationIndex)
            orderColor = 0x80C0FF;
        else if (stopOrder->plan.realTimeState == 2)
            orderColor = 0xFFFFCC;
        else if (stopOrder->plan.realTimeState == 3)
            orderColor = 0x99FF33;
    }
    return {static_cast<int32_t>(colors.ByKey(key)), orderColor};
}
