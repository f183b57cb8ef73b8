#include "model/Orders.h"

#include "KLV/FetchFilter.h"
#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {

constexpr int kNotServedStopType = 20;

const std::array<const char*, 5> kKindNameKeys = {"Delivery", "Collection", "CollectionExclusiva",
                                                  "CollectionSuelta", "DeliverySuelta"};

void CopyLocationIntegers(TLocationData& destination, const TLocationData& source)
{
    destination.reference = source.reference;
    destination.streetNumber = source.streetNumber;
    destination.country = source.country;
    destination.serviceMinutes = source.serviceMinutes;
    destination.parkingMinutes = source.parkingMinutes;
    destination.cleaningMinutes = source.cleaningMinutes;
    destination.productChangeMinutes = source.productChangeMinutes;
    destination.nodeIndex = source.nodeIndex;
    destination.cluster = source.cluster;
    destination.codeIndex = source.codeIndex;
    destination.cityIndex = source.cityIndex;
}

const CWareHouse* WareHouseAt(int index)
{
    const CWareHouses& wareHouses = ModelContext().wareHouses;
    if (index < 0 || index >= wareHouses.GetSize())
        return nullptr;
    return wareHouses[index];
}

} // namespace

COrder::COrder()
{
    const CUserParameters& parameters = UserParameters();
    plan.kind = parameters.DeliveryProblem == 1 ? ORDER_COLLECTION : ORDER_DELIVERY;
    plan.maximumMinutesFirstToLast = parameters.TiempoMaximoReparto;
    plan.minutesToChangeCity = parameters.TimeToChangeCity;
    lines.SetSize(0, 10);
}

void COrder::CopyPlanFields(const COrder& source)
{
    plan = source.plan;
    customer.postcodeIndex = source.customer.postcodeIndex;
    customer.reservedIndex = source.customer.reservedIndex;
    customer.province = source.customer.province;
    CopyLocationIntegers(customer.location, source.customer.location);
    lines.CopyHeader(source.lines);
}

COrder& COrder::operator=(const COrder& source)
{
    if (this == &source)
        return *this;
    CopyPlanFields(source);
    customer = source.customer;
    if (source.requirements.GetCount() > 0)
        requirements = source.requirements;
    wareHouse = source.wareHouse;
    // Lists are replaced rather than appended to: an order assigned over one that already had
    // fares or zones would otherwise carry both.
    incompatibleZones = source.incompatibleZones;
    fixedFares = source.fixedFares;
    fixedReturnFares = source.fixedReturnFares;

    lines.RemoveAllLines();
    const bool lineMode = UserParameters().CustomerInOrderLines != 0;
    for (const COrderLine* line : source.lines) {
        auto copy = std::make_unique<COrderLine>(*line);
        copy->SizeInformativeValues();
        if (lineMode)
            lines.InsertSortedByTime(std::move(copy));
        else
            lines.Add(copy.release());
    }
    relatedOrders = source.relatedOrders;
    informativeValues = source.informativeValues;
    if (source.onBoardLines)
        onBoardLines = std::make_shared<CTruckOrderLines>(*source.onBoardLines);
    for (int i = 0; i < kPermissionItems; ++i) {
        permissionLists[i] = source.permissionLists[i];
        permissionFlags[i] = source.permissionFlags[i];
    }
    // Every text, the fare id and the two zone texts included, so that split pieces and partition
    // copies are exported with them.
    for (int i = 0; i < ORDER_TEXT_COUNT; ++i)
        texts[i] = source.texts[i];
    reservedText = source.reservedText;
    alreadyExported = source.alreadyExported;
    realArrivalTime = source.realArrivalTime;
    fleetServiceId = source.fleetServiceId;
    return *this;
}

void COrder::ClearAssignment()
{
    plan.assigned = 0;
    plan.assignedDriverRow = plan.assignedPairRow = -1;
    plan.assignedTrip = plan.assignedSubtrip = -1;
    Text(ASSIGNED_DRIVER).clear();
    Text(ASSIGNED_ESCOBADO).clear();
    Text(ASSIGNED_TRUCK).clear();
    Text(ASSIGNED_TRAILER).clear();
    plan.realTimeLoaded = false;
    plan.realTimeLoadPool = -1;
    onBoardLines.reset();
    plan.assignedLoadingWindow = CTimeWindow();
    customer.assignedWindow = CTimeWindow();
    for (COrderLine* line : lines)
        line->customer.assignedWindow = CTimeWindow();
}

void COrder::MakeUpper()
{
    for (int which : {ORDER_CODE, PREFIXED_RESOURCE, ASSIGNED_TRUCK, ASSIGNED_TRAILER,
                      ASSIGNED_DRIVER, ASSIGNED_ESCOBADO, PLATAFORMA_DISTRIBUCION_CODE})
        Text(which) = trv::ToUpper(Text(which));
    customer.location.MakeUpper();
    wareHouse.MakeUpper();
}

// ---- Queries ----------------------------------------------------------------------------------

bool COrder::IsLocated() const
{
    const int loadingProblem = UserParameters().LoadingProblem;
    if (loadingProblem == 2 && wareHouse.location.nodeIndex < 0)
        return false;
    if (loadingProblem == 3 && plan.warehouseIndex >= 0) {
        const CWareHouse* loading = WareHouseAt(plan.warehouseIndex);
        if (!loading || loading->location.nodeIndex < 0)
            return false;
    }
    if (UserParameters().CustomerInOrderLines)
        return lines.GetFirstLineNode() >= 0;
    return customer.location.nodeIndex >= 0 && customer.location.reference >= 0;
}

const CWareHouse* COrder::FindRankedWarehouse(int pairRow, const CRemainingQuantities* vehicleState,
                                              int node, bool* stockOk) const
{
    CModelContext& context = ModelContext();
    const CWareHouseNearnessTable& table = context.wareHouses.GetNearnessTable();
    if (node < 0)
        node = customer.location.nodeIndex;
    if (table.GetCount() == 0 || !vehicleState || node < 0 || node >= table.GetCount())
        return nullptr;
    const int warehouseClass =
        pairRow >= 0 && context.fleet ? context.fleet->GetWarehouseClass(pairRow) : 0;
    const CRankedWareHouses slots = table.GetRanked(node, plan.index, warehouseClass);
    const int width = slots.GetSize();
    if (width == 0)
        return nullptr;
    const bool controlStocks = UserParameters().ControlStocks != 0;
    for (int i = 0; i < width; ++i) {
        const int wareHouse = slots[i];
        if (wareHouse < 0)
            continue;
        if (!controlStocks || LinesFitCapacity(*vehicleState, wareHouse))
            return WareHouseAt(wareHouse);
    }
    // Nothing fitted: the last ranked warehouse, with its stock short.
    if (controlStocks && stockOk)
        *stockOk = false;
    return slots[width - 1] >= 0 ? WareHouseAt(slots[width - 1]) : nullptr;
}

const CWareHouse* COrder::GetLoadingWarehouse(int pairRow, const CRemainingQuantities* vehicleState,
                                              int node, int* nodeOut, int chosenIndex,
                                              bool* stockOk, bool ignoreKind) const
{
    if (stockOk)
        *stockOk = true;
    if (!ignoreKind && IsLooseKind(plan.kind))
        return nullptr;
    const CWareHouse* found = nullptr;
    const bool copyUsable =
        wareHouse.location.openingHours.GetSize() > 0 && wareHouse.location.nodeIndex >= 0;
    switch (UserParameters().LoadingProblem) {
    case 2:
        found = &wareHouse;
        break;
    case 3:
        if (plan.warehouseIndex >= 0 || chosenIndex >= 0) {
            found = WareHouseAt(chosenIndex >= 0 ? chosenIndex : plan.warehouseIndex);
            if (copyUsable)
                found = &wareHouse;
        } else {
            found = FindRankedWarehouse(pairRow, vehicleState, node, stockOk);
        }
        break;
    case 4:
    case 5:
        if (wareHouse.location.nodeIndex != -1)
            found = &wareHouse;
        break;
    default:
        break;
    }
    if (found && nodeOut)
        *nodeOut = found->location.nodeIndex;
    return found;
}

const CTimeTable* COrder::GetLoadingTimeTable(int pairRow, const CRemainingQuantities* vehicleState,
                                              int node, int* nodeOut,
                                              const TLocationData* defaultLocation) const
{
    if (wareHouse.location.openingHours.GetSize() > 0)
        return &wareHouse.location.openingHours;
    if (const CWareHouse* loading =
            GetLoadingWarehouse(pairRow, vehicleState, node, nodeOut, -1, nullptr, false))
        return &loading->location.openingHours;
    if (defaultLocation)
        return &defaultLocation->openingHours;
    const COrderFleetLookups* fleet = ModelContext().fleet;
    if (pairRow >= 0 && fleet)
        if (const TLocationData* base = fleet->GetTruckBase(pairRow))
            return &base->openingHours;
    return nullptr;
}

const TLocationData* COrder::GetLoadingLocation(int pairRow,
                                                const CRemainingQuantities* vehicleState, int node,
                                                int* nodeOut, const TLocationData* defaultLocation,
                                                bool* stockOk, bool ignoreKind) const
{
    if (const CWareHouse* loading =
            GetLoadingWarehouse(pairRow, vehicleState, node, nodeOut, -1, stockOk, ignoreKind))
        return &loading->location;
    if (defaultLocation)
        return defaultLocation;
    const COrderFleetLookups* fleet = ModelContext().fleet;
    return pairRow >= 0 && fleet ? fleet->GetTruckBase(pairRow) : nullptr;
}

int COrder::GetLoadingNode() const
{
    switch (UserParameters().LoadingProblem) {
    case 2:
        return wareHouse.location.nodeIndex;
    case 3: {
        const CWareHouse* loading = WareHouseAt(plan.warehouseIndex);
        return loading ? loading->location.nodeIndex : -1;
    }
    default: {
        const COrderFleetLookups* fleet = ModelContext().fleet;
        return fleet ? fleet->GetFirstBaseNode() : -1;
    }
    }
}

int COrder::GetNode() const
{
    if (!UserParameters().CustomerInOrderLines)
        return customer.location.nodeIndex;
    return lines.GetFirstLineNode();
}

bool COrder::LinesFitCapacity(const CRemainingQuantities& vehicles, int vehicleIndex) const
{
    for (const COrderLine* line : lines)
        if (line->volume > vehicles.Get(vehicleIndex, line->productIndex))
            return false;
    return true;
}

void COrder::TakeCapacity(CRemainingQuantities& vehicles, int vehicleIndex) const
{
    for (const COrderLine* line : lines)
        vehicles.Set(vehicleIndex, line->productIndex,
                     vehicles.Get(vehicleIndex, line->productIndex) - line->volume);
}

bool COrder::CanBeLeftUnserved() const
{
    if (UserParameters().AllowToNoServeNonTodayOrders)
        return DaysFrom(ModelContext().planningDate, plan.toDay) < 0;
    return plan.mayStayUnserved && plan.assigned == 0 && plan.assignedPairRow < 0;
}

bool COrder::IsPlannable() const
{
    if (plan.deactivated || (plan.assigned != 0 && plan.assignedSubtrip > 0))
        return false;
    return IsLocated() && plan.possibleRow >= 0;
}

bool COrder::TimeWindowsOverlap(const CTimeTable& table) const
{
    const CTimeTable& own = wareHouse.location.openingHours;
    return own.GetFirstStart() <= table.GetLastEnd() && table.GetFirstStart() <= own.GetLastEnd();
}

int COrder::GetLargestVolumeLine(float& volume) const
{
    int position = 0;
    volume = 0;
    for (int i = 0; i < lines.GetSize(); ++i)
        if (i == 0 || lines[i]->volume > volume) {
            volume = lines[i]->volume;
            position = i;
        }
    return position;
}

int COrder::GetLargestCapacityTrailer() const
{
    CModelContext& context = ModelContext();
    if (!context.fleet)
        return -1;
    int best = -1;
    float bestCapacity = 0;
    for (int row = 0; row < context.fleet->GetPairCount(); ++row) {
        if (context.rejections && context.rejections->GetMask(plan.index, row) != 0)
            continue;
        const float capacity = context.fleet->GetTrailerFirstCapacity(row);
        if (capacity < 0)
            continue;
        if (best < 0 || capacity > bestCapacity) {
            best = row;
            bestCapacity = capacity;
        }
    }
    return best;
}

std::string COrder::GetOrderKindName(int kind)
{
    if (kind < 0 || kind >= static_cast<int>(kKindNameKeys.size()))
        return Translate("Undefined");
    return Translate(kKindNameKeys[static_cast<size_t>(kind)]);
}

void COrder::GetOrderKindNames(CSmartStringArray& names)
{
    names.SetSize(static_cast<int>(kKindNameKeys.size()));
    for (int kind = 0; kind < names.GetSize(); ++kind)
        names[kind] = GetOrderKindName(kind);
}

// ---- Assignment -------------------------------------------------------------------------------

void COrder::SetAssignment(int linePosition, int pairRow, const std::string& truckCode,
                           const std::string& trailerCode, const std::string& driverCode, int trip,
                           int subtrip, bool fixed, const CTimeWindow& customerWindow,
                           const CTimeWindow& deliveryLoadingWindow,
                           const CTimeWindow& collectionLoadingWindow, const std::string& planText)
{
    plan.deactivated = false;
    CTimeWindow customerAssigned = customerWindow;
    CTimeWindow deliveryLoading = deliveryLoadingWindow;
    CTimeWindow collectionLoading = collectionLoadingWindow;
    if (trip != 0 && subtrip != 0) {
        plan.assigned = fixed ? 2 : 1;
    } else {
        plan.assigned = 0;
        customerAssigned = deliveryLoading = collectionLoading = CTimeWindow();
        if (plan.realTimeLoadPool < 0)
            plan.realTimeLoadPool = -1;
    }
    Text(ASSIGNED_TRUCK) = truckCode;
    Text(ASSIGNED_TRAILER) = trailerCode;

    const COrderFleetLookups* fleet = ModelContext().fleet;
    if (fleet && fleet->IsSweeperTrailer(pairRow)) {
        // A sweeper only picks up what others left: the order keeps its own driver.
        Text(ASSIGNED_ESCOBADO) = driverCode;
    } else if (!driverCode.empty()) {
        Text(ASSIGNED_DRIVER) = driverCode;
        plan.assignedDriverRow = fleet ? fleet->FindByDriverCode(driverCode) : -1;
    } else if (fleet) {
        std::string pairDriver;
        int driverRow = -1;
        if (fleet->GetPairDriver(pairRow, pairDriver, driverRow)) {
            Text(ASSIGNED_DRIVER) = pairDriver;
            plan.assignedDriverRow = driverRow;
        }
    }
    plan.assignedPairRow = fleet
                               ? fleet->FindLorryDriver(Text(ASSIGNED_TRAILER),
                                                        Text(ASSIGNED_TRUCK), Text(ASSIGNED_DRIVER))
                               : -1;

    if (!planText.empty())
        CompareWithPlan(truckCode, trailerCode, driverCode, linePosition, trip);

    plan.assignedTrip = trip;
    plan.assignedSubtrip = subtrip;
    plan.assignedLoadingWindow = IsDelivery() ? deliveryLoading : collectionLoading;

    if (!UserParameters().CustomerInOrderLines) {
        customer.assignedWindow = customerAssigned;
    } else if (linePosition == -1) {
        for (COrderLine* line : lines)
            line->customer.assignedWindow = customerAssigned;
    } else if (linePosition >= 0 && linePosition < lines.GetSize()) {
        lines[linePosition]->customer.assignedWindow = customerAssigned;
    }
    plan.changedByUser = true;
}

void COrder::CompareWithPlan(const std::string& truckCode, const std::string& trailerCode,
                             const std::string& driverCode, int position, int trip)
{
    const CRunningPlan* runningPlan = ModelContext().runningPlan;
    if (!runningPlan || plan.assignmentChanged != 0)
        return;
    TPlannedStop stop;
    if (!runningPlan->FindOrderStop(plan.index, stop) || stop.stopType == kNotServedStopType)
        return;
    const std::string newText = truckCode + trailerCode + driverCode;
    const std::string planText = stop.truckCode + stop.trailerCode + stop.driverCode;
    if (!newText.empty() && newText != planText)
        plan.assignmentChanged = 3;
    else if (position > 0 && position != stop.stopPosition + 1)
        plan.assignmentChanged = 2;
    else if (trip > 0 && trip != stop.trip)
        plan.assignmentChanged = 1;
}

// ---- Additives --------------------------------------------------------------------------------

namespace {

struct TAdditive
{
    int condition = 0;
    int result = 0;
};

// The records of the definition that pass the filter; none when it cannot be opened.
template <class Visit>
void ForEachRecord(CFieldRecordSource& definitions, const std::string& definition,
                   const std::string& file, const std::string& filter, Visit visit)
{
    std::unique_ptr<CFieldRecord> record =
        definitions.Open(definition, {TFieldRecordMode::read, file, filter});
    if (!record)
        return;
    while (!record->IsEOF())
        if (record->MoveNext() && !visit(*record))
            return;
}

std::string GroupFilter(const std::string& group)
{
    return "GROUP_ID=" + QuoteFilterValue(group);
}

} // namespace

void COrder::LoadAdditives(CFieldRecordSource& definitions, int sourceKind,
                           const std::string& importFile)
{
    if (!UserParameters().Tanks || lines.GetSize() == 0)
        return;
    std::string definition;
    std::string file;
    switch (sourceKind) {
    case 1:
        file = OrderCompanionFile(importFile, ".add");
        if (file.empty())
            return;
        definition = "INT_ADDITIVES";
        break;
    case 2:
        definition = "EXT_ADDITIVES";
        break;
    case 3:
        definition = "CUSTOMER_ADDITIVES";
        break;
    default:
        return;
    }

    COrderLine& line = *lines[lines.GetSize() - 1];
    const TFieldRead read;
    auto firstGroup = [&](const std::string& filter, std::string& group) {
        bool found = false;
        ForEachRecord(definitions, definition, file, filter, [&](CFieldRecord& record) {
            group = record.GetFieldString("GROUP_ID", "", 0, read);
            found = true;
            return false;
        });
        return found;
    };
    std::string group;
    const std::string lineFilter = "ORDER_CODE=" + QuoteFilterValue(Text(ORDER_CODE)) +
                                   " AND PRODUCT=" + QuoteFilterValue(line.productName) +
                                   trv::FormatC(" AND PARTITION=%d AND PRODUCT_PARTITION=%d",
                                                plan.partitionNumber, line.partition);
    if (!firstGroup(lineFilter, group))
        firstGroup(GroupFilter(line.lastTripGroup), group);

    std::vector<TAdditive> additives;
    auto collect = [&](const std::string& filter) {
        ForEachRecord(definitions, definition, file, filter, [&](CFieldRecord& record) {
            additives.push_back({record.GetFieldInt("INCOMPATIBLE_IF", 0, -1, -1, read),
                                 record.GetFieldInt("INCOMPATIBLE_THEN", 0, -1, -1, read)});
            return true;
        });
    };
    collect("ORDER_CODE=" + QuoteFilterValue(Text(ORDER_CODE)) + " AND " + GroupFilter(group) +
            trv::FormatC(" AND PARTITION=%d", plan.partitionNumber));
    if (additives.empty())
        collect(GroupFilter(line.lastTripGroup));

    line.additiveConditions.SetSize(static_cast<int>(additives.size()));
    line.additiveResults.SetSize(static_cast<int>(additives.size()));
    for (size_t i = 0; i < additives.size(); ++i) {
        line.additiveConditions[static_cast<int>(i)] = additives[i].condition;
        line.additiveResults[static_cast<int>(i)] = additives[i].result;
    }
    if (!additives.empty())
        lines.header.hasAdditives = 1;
}

void COrder::ExportAdditives(CFieldRecord& record) const
{
    const TFieldWrite write;
    for (int i = 0; i < lines.GetSize(); ++i) {
        const COrderLine& line = *lines[i];
        for (int j = 0; j < line.additiveConditions.GetSize(); ++j) {
            record.ClearRecord();
            record.SetFieldString("ORDER_CODE", Text(ORDER_CODE), -1, write);
            record.SetFieldInt("GROUP_ID", i, -1, -1, write);
            record.SetFieldString("PRODUCT", line.productName, -1, write);
            record.SetFieldInt("PARTITION", plan.partitionNumber, -1, -1, write);
            record.SetFieldInt("PRODUCT_PARTITION", line.partition, -1, -1, write);
            record.SetFieldInt("INCOMPATIBLE_IF", line.additiveConditions[j], -1, -1, write);
            record.SetFieldInt("INCOMPATIBLE_THEN", line.additiveResults[j], -1, -1, write);
            record.WriteRecord();
        }
    }
}

// ---- Permission lists -------------------------------------------------------------------------

void COrder::AddOrderResourceCodes(const CSmartSortNoRepeatStringArray& nonAllowedResources,
                                   const CSmartSortNoRepeatStringArray& nonAllowedDrivers,
                                   const CSmartSortNoRepeatStringArray& allowedResources,
                                   const CSmartSortNoRepeatStringArray& allowedDrivers)
{
    const CSmartSortNoRepeatStringArray* sources[kPermissionItems] = {
        &nonAllowedResources, &nonAllowedDrivers, &allowedResources, &allowedDrivers};
    for (int i = 0; i < kPermissionItems; ++i) {
        permissionLists[i].SetSize(0);
        for (const std::string& code : *sources[i])
            if (!code.empty())
                permissionLists[i].Add(code);
    }
}

CSmartStringArray COrder::GetPermissionList(int list) const
{
    if (list < 0 || list >= kPermissionItems)
        return {};
    return permissionLists[list];
}

// ---- Partition copies -------------------------------------------------------------------------

void COrdersParticionesData::Build(std::span<const COrder* const> orders)
{
    m_partitions = UserParameters().Particiones != 0 ? static_cast<int>(orders.size()) : 0;
    m_orders.SetSize(0);
    m_values.SetSize(0);
    if (m_partitions == 0)
        return;
    for (int k = 0; k < 2 * m_partitions; ++k) {
        auto* copy = new COrder;
        copy->lines.SetSize(0, 1);
        *copy = *orders[static_cast<size_t>(k % m_partitions)];
        m_orders.Add(copy);
    }
    m_values.SetSize(m_partitions, 1);
}

// ---- Exchange -----------------------------------------------------------------------------------

void COrder::SumLineTotals(int orderIndex, bool* hasBulk, bool* hasPacked)
{
    bool bulk = false;
    bool packed = false;
    lines.CalculateFields(bulk, packed, orderIndex);
    if (hasBulk)
        *hasBulk = bulk;
    if (hasPacked)
        *hasPacked = packed;
    TOrderLinesHeader& totals = lines.header;
    totals.totalQuantity = totals.totalVolume = totals.totalSurface = 0;
    for (int i = 0; i < lines.GetSize(); ++i) {
        COrderLine& line = *lines[i];
        line.ApplyDayQuantities();
        totals.totalQuantity += line.quantity;
        totals.totalVolume += line.volume;
        totals.totalSurface += line.surface;
    }
}

bool COrder::ExportToFetch(CFieldRecord& record, bool withLines, const TEntityRef& deliveryPoint)
{
    SumLineTotals(-1);
    const int loadingMinutes = lines.GetLoadingMinutes(plan.warehouseIndex);
    CTimeTable& loadingTable = wareHouse.location.openingHours;
    const bool folds = plan.windowIsArrivalAndLeave && loadingTable.GetSize() > 0;
    if (folds && plan.loadingWindowAdjusted) {
        loadingTable[0].end -= loadingMinutes;
        plan.loadingWindowAdjusted = 0;
    }
    const bool written = TrevantorVariables().WriteEntity(
        withLines ? ENTITY_ORDER : ENTITY_ORDER_WITHOUT_LINES, *this, record, 0, deliveryPoint);
    if (folds && !plan.loadingWindowAdjusted) {
        loadingTable[0].end += loadingMinutes;
        plan.loadingWindowAdjusted = 1;
        lines.header.minutesAtWarehouse = 0;
    }
    return written;
}
