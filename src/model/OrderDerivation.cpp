// What an order derives after it is imported, edited or read again: totals, days, opening days,
// warehouse copy, indexes, relation chain, real-time state; the order of its lines; the checks
// between two orders and the merging of orders and lines.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/Orders.h"
#include "model/WeekDay.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

namespace {

constexpr int32_t kNoLimit = std::numeric_limits<int32_t>::max();
constexpr int kSpainCountry = 34;
constexpr int32_t kTeleportMinutes = 1439;
constexpr int32_t kEarliestLoadingStart = -MinutesPerDay;
constexpr int32_t kLatestLoadingEnd = 10 * MinutesPerDay;
constexpr double kNoLoadingNodeCost = 2147483648.0;
// The line keys' separator: a middle dot, one character.
constexpr const char* kKeySeparator = "\xC2\xB7";

bool IsSetDate(const trv::OleDate& date)
{
    return date.IsValid() && !IsZeroDate(date);
}

// The mask bit of a date's week day (bit 0 Monday).
bool IsOpenOn(int mask, const trv::OleDate& date, int dayOffset)
{
    const int sundayIsOne = (date + dayOffset).GetDayOfWeek();
    const int mondayIsOne = trv::ConvertWeekDay(sundayIsOne, trv::WeekDayNumbering::SundayIsOne,
                                                trv::WeekDayNumbering::MondayIsOne);
    return (mask >> (mondayIsOne - 1)) & 1;
}

void ShiftWindow(CTimeWindow& window, int32_t minutes)
{
    window.start += minutes;
    window.end += minutes;
}

// The position of a text in a program-wide list, -1 for an empty text.
int32_t PositionOf(CDistinctTexts& list, const std::string& text)
{
    return text.empty() ? -1 : list.FindOrAdd(text);
}

std::string LineKey(const COrderLine& line)
{
    return line.customer.location.code + kKeySeparator + line.productCode;
}

// Sorting keys of the lines' positions; the lines then take the sorted order.
std::vector<int> SortedPositions(std::vector<std::pair<int64_t, int>> keys)
{
    std::sort(keys.begin(), keys.end());
    std::vector<int> positions;
    positions.reserve(keys.size());
    for (const auto& key : keys)
        positions.push_back(key.second);
    return positions;
}

} // namespace

// ---- Derivation ---------------------------------------------------------------------------------

void COrder::CalculateFields(const trv::OleDate& planningDate, bool computeIndexes, bool append,
                             bool import, CFetch* calculatedFields)
{
    CModelContext& context = ModelContext();
    const CUserParameters& parameters = UserParameters();
    CTimeTable& customerHours = customer.location.openingHours;
    CTimeTable& loadingHours = wareHouse.location.openingHours;

    plan.derivationIndex = plan.index;
    plan.numberOfLines = lines.GetSize();
    if (IsSetDate(planningDate))
        plan.serviceDate = planningDate;
    plan.sweeperDriverIndex = -1;
    if (context.fleet && !Text(ASSIGNED_ESCOBADO).empty())
        plan.sweeperDriverIndex = context.fleet->FindByDriverCode(Text(ASSIGNED_ESCOBADO));

    bool hasBulk = false;
    bool hasPacked = false;
    SumLineTotals(plan.index, &hasBulk, &hasPacked);
    if (parameters.CustomerInOrderLines && lines.GetSize() > 0)
        customer.location = lines[0]->customer.location;

    if (plan.windowIsArrivalAndLeave && loadingHours.GetSize() > 0) {
        if (!plan.loadingWindowAdjusted) {
            // An unset warehouse time adds nothing.
            const int32_t warehouseMinutes = wareHouse.location.serviceMinutes == kUnsetTime
                                                 ? 0
                                                 : wareHouse.location.serviceMinutes;
            loadingHours[0].end += lines.GetLoadingMinutes(plan.warehouseIndex) + warehouseMinutes;
            plan.loadingWindowAdjusted = 1;
        }
        wareHouse.location.serviceMinutes = 0;
        lines.header.minutesAtWarehouse = 0;
    }
    lineKinds = hasBulk && hasPacked ? 3 : (hasBulk ? 1 : 2);

    if (IsSetDate(plan.fromDay) && IsSetDate(plan.toDay) && plan.toDay < plan.fromDay)
        plan.toDay = plan.fromDay;
    const bool prefixed = IsSetDate(plan.prefixedDay);
    const bool serviceDateSet = IsSetDate(plan.serviceDate);
    if (prefixed && serviceDateSet)
        plan.prefixedDayOffset = DaysFrom(plan.serviceDate, plan.prefixedDay);
    if (serviceDateSet) {
        if (parameters.RespectPreFixedServiceDate && prefixed) {
            customerHours.firstDay = customerHours.lastDay = plan.prefixedDayOffset;
        } else {
            auto dayOf = [&](const trv::OleDate& date) {
                return IsSetDate(date) ? DaysFrom(plan.serviceDate, date) : UnsetDay;
            };
            customerHours.firstDay = dayOf(plan.fromDay);
            customerHours.lastDay = dayOf(plan.toDay);
        }
    }
    ApplyOpeningDays();

    if (plan.maximumCustomers < 1)
        plan.maximumCustomers = kNoLimit;
    if (plan.maximumSpecialCodes == 0)
        plan.maximumSpecialCodes = kNoLimit;

    customer.CalculateFields();
    UpdateWarehouseIndexes();
    if (const CWareHouse* source =
            context.wareHouses.GetSize() > plan.warehouseIndex && plan.warehouseIndex >= 0
                ? context.wareHouses[plan.warehouseIndex]
                : nullptr) {
        // The copy keeps its own hours and loading time: the order may narrow them.
        CTimeTable hours = loadingHours;
        const int32_t minutes = wareHouse.location.serviceMinutes;
        wareHouse.location = source->location;
        loadingHours = hours;
        wareHouse.location.serviceMinutes = minutes;
    }
    wareHouse.CalculateFields(plan.serviceDate);
    warehouseProvince = std::atoi(wareHouse.location.postcode.c_str()) / 1000;

    if (parameters.LoadingProblem == 0 || parameters.DeliveryProblem == 0)
        plan.kind = ORDER_DELIVERY;
    if (parameters.Teletransporting && customerHours.GetSize() > 0 && loadingHours.GetSize() > 0) {
        if (IsDelivery()) {
            if (customerHours[0].start < loadingHours.GetLastEnd())
                ShiftWindow(customerHours[0], kTeleportMinutes);
        } else if (loadingHours.GetLastEnd() < customerHours.GetFirstStart()) {
            ShiftWindow(loadingHours[0], kTeleportMinutes);
        }
    }
    for (COrderLine* line : lines) {
        line->customer.location.openingHours.firstDay = customerHours.firstDay;
        line->customer.location.openingHours.lastDay = customerHours.lastDay;
    }
    if (parameters.CountryIDC == kSpainCountry) {
        for (std::string* postcode : {&customer.location.postcode, &wareHouse.location.postcode})
            if (trv::Length(*postcode) == 4)
                *postcode = "0" + *postcode;
    }
    if (computeIndexes)
        CalculateIndexes();

    if (plan.realTimeServed) {
        plan.assigned = 1;
        CTimeWindow& window = customer.assignedWindow;
        const bool unset = window.IsUnset() || (window.start == 0 && window.end == 0);
        const TClockReading now = context.clock();
        const trv::OleDate& day = context.realTimeDate;
        if (unset && IsSetDate(day) && day.GetYear() == now.year && day.GetMonth() == now.month &&
            day.GetDay() == now.day) {
            const int32_t minute = now.hour * 60 + now.minute;
            window = CTimeWindow(minute, minute);
        }
    }
    if (plan.realTimeServed || plan.realTimeLoaded)
        context.realTimeMark = 1;
    if (context.rejections && context.rejections->MatricesExist())
        context.rejections->CheckRelatedOrders(plan.index);
    plan.groupOrderIndex =
        Text(GROUP_ORDER).empty() ? 0 : context.groupOrders.FindOrAdd(Text(GROUP_ORDER));

    const CWareHouse* loading = MeasureDistanceToWarehouse();
    if (calculatedFields && lines.GetSize() > 0 &&
        (append || import || !context.loadingSavedPlan)) {
        for (COrderLine* line : lines)
            line->ApplyCalculatedFields(*calculatedFields, *this);
    }
    if (computeIndexes)
        CalculateIndexes();
    if (!Text(ORDER_FARE_ID).empty())
        plan.fareTableIndex = context.fares.GetTableIndex(Text(ORDER_FARE_ID));

    if (parameters.LoadingProblem == 3 && loading && loading != &wareHouse) {
        TLocationData& copy = wareHouse.location;
        copy.reference = loading->location.reference;
        copy.nodeIndex = loading->location.nodeIndex;
        copy.coordinates = loading->location.coordinates;
        if (copy.serviceMinutes == kUnsetTime)
            copy.serviceMinutes = loading->location.serviceMinutes;
    }
    if (Text(SERVICE_COLOR) == "RGB(0,0,0)")
        Text(SERVICE_COLOR).clear();
    if (!Text(SERVICE_COLOR).empty())
        plan.colour = static_cast<int32_t>(ParseRgbText(Text(SERVICE_COLOR)));
}

void COrder::ApplyOpeningDays()
{
    const CUserParameters& parameters = UserParameters();
    CTimeTable& hours = customer.location.openingHours;
    if (!parameters.ControlDiasApertura) {
        hours.weekDayMask = 0;
        return;
    }
    const int mask = hours.weekDayMask & trv::AllWeekDaysMask;
    if (mask == 0 || parameters.RespectPreFixedServiceDate)
        return;
    if (IsSetDate(plan.fromDay) && hours.firstDay != UnsetDay) {
        for (int moved = 0; moved < trv::DaysPerWeek && !IsOpenOn(mask, plan.fromDay, moved);)
            ++moved, ++hours.firstDay;
    }
    if (IsSetDate(plan.toDay) && hours.lastDay != UnsetDay) {
        for (int moved = 0;
             moved > -trv::DaysPerWeek && hours.lastDay > 0 && !IsOpenOn(mask, plan.toDay, moved);)
            --moved, --hours.lastDay;
    }
}

const CWareHouse* COrder::GetProblemLoadingWarehouse() const
{
    const CWareHouses& wareHouses = ModelContext().wareHouses;
    switch (UserParameters().LoadingProblem) {
    case 2:
        return &wareHouse;
    case 3:
        if (plan.warehouseIndex == -1)
            return nullptr;
        if (wareHouse.location.openingHours.GetSize() > 0 && wareHouse.location.nodeIndex >= 0)
            return &wareHouse;
        return plan.warehouseIndex >= 0 && plan.warehouseIndex < wareHouses.GetSize()
                   ? wareHouses[plan.warehouseIndex]
                   : nullptr;
    case 4:
    case 5:
        return wareHouse.location.nodeIndex != -1 ? &wareHouse : nullptr;
    default:
        return nullptr;
    }
}

const CWareHouse* COrder::MeasureDistanceToWarehouse()
{
    CModelContext& context = ModelContext();
    const CWareHouse* loading = GetProblemLoadingWarehouse();
    const CModelDistances* distances = context.distances;
    if (loading && loading->location.nodeIndex >= 0 && customer.location.nodeIndex >= 0 &&
        distances && distances->MatricesExist()) {
        float km = 0;
        int minutes = 0;
        if (distances->GetKmAndMinutes(loading->location.nodeIndex, customer.location.nodeIndex, km,
                                       minutes)) {
            plan.kmToWarehouse = km;
            plan.minutesToWarehouse = minutes;
        }
    }
    return loading;
}

void COrder::CalculateIndexes()
{
    CModelContext& context = ModelContext();
    TLocationData& place = customer.location;
    place.codeIndex = context.customerCodes.FindOrAdd(place.code);
    place.cityIndex = context.cities.FindOrAdd(place.city);
    plan.specialCodeIndex = PositionOf(context.specialCodes, Text(SPECIAL_CODE));
    plan.tollZoneIndex = PositionOf(context.tollZones, Text(ZONA_PEAJE));
    plan.groupingIndex = PositionOf(context.groupingIndexes, Text(GROUPING_INDEX));
    plan.indivisibleGroupingIndex =
        PositionOf(context.indivisibleGroupings, Text(GROUPING_CODE_INDIVISIBLE));

    COrders& orders = context.orders;
    if (!Text(RELATION_CODE).empty()) {
        const int head = orders.FindOrderByRelationCode(Text(RELATION_CODE), 0);
        if (head < 0 || head == plan.index) {
            plan.relatedOrderIndex = -1;
        } else {
            COrder& first = *orders[head];
            plan.relatedOrderIndex = head;
            first.plan.relatedOrderIndex = head;
            first.AddRelatedOrder(plan.index);
            first.AddRelatedOrder(head);
        }
        if (plan.sameVehicleType == 1 || plan.sameVehicleType == 3 || plan.sameVehicleType == 5)
            orders.sameVehicleRelation = 1;
    } else {
        plan.relatedOrderIndex = -1;
        plan.relationPosition = 1;
    }
    plan.partitionCodeIndex =
        plan.partitionNumber != 0 ? context.partitionedCodes.FindOrAdd(Text(ORDER_CODE)) : -1;
    DeriveRequirements();
}

void COrder::DeriveRequirements()
{
    if (requirements.GetCount() == 0)
        return;
    const CListaCondicionantes& definitions = ModelContext().requirementDefinitions;
    const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(KEYS_ORDER);
    const int count = std::min(definitions.GetSize(), requirements.GetCount());
    for (int k = 0; k < count; ++k) {
        const std::string& name = definitions[k]->orderVariable;
        if (name.empty())
            continue;
        const int index = keys.FindVariable(name);
        if (index < 0)
            continue;
        const TVarKeyStruct& variable = *keys.GetVariable(index);
        void* field = variable.member ? variable.member->Locate(TEntityRef(*this)) : nullptr;
        if (!field)
            continue;
        switch (variable.kind) {
        case VAR_BOOL:
            requirements.SetValue(k, *static_cast<const int32_t*>(field) != 0 ? 1 : 0);
            break;
        case VAR_INT:
            requirements.SetValue(k, *static_cast<const int32_t*>(field));
            break;
        case VAR_FLOAT:
        case VAR_FLOAT_ALT_FORMAT: {
            // A slot holds an integer: the value rounded, never its bits.
            const double value = std::round(*static_cast<const float*>(field));
            requirements.SetValue(
                k, static_cast<int>(std::clamp<double>(value, std::numeric_limits<int>::min(),
                                                       std::numeric_limits<int>::max())));
            break;
        }
        default:
            break;
        }
    }
}

int32_t COrder::GetRelationTimeLimit() const
{
    const CTimeTable& hours = UserParameters().CustomerInOrderLines && lines.GetSize() > 0
                                  ? lines[0]->customer.location.openingHours
                                  : customer.location.openingHours;
    return hours.GetLimitMinute(ModelContext().multiDayPlanning, 0);
}

void COrder::AddRelatedOrder(int index)
{
    const COrders& orders = ModelContext().orders;
    if (relatedOrders.GetSize() == 0) {
        relatedOrders.Add(static_cast<unsigned>(plan.index));
        plan.relatedOrderIndex = plan.index;
    }
    if (index < 0 || index >= orders.GetSize())
        return;
    for (const unsigned listed : relatedOrders)
        if (static_cast<int>(listed) == index)
            return;
    const COrder& added = *orders[index];
    const int32_t limit = added.GetRelationTimeLimit();
    for (int i = 0; i < relatedOrders.GetSize(); ++i) {
        const int listedIndex = static_cast<int>(relatedOrders[i]);
        if (listedIndex >= orders.GetSize())
            continue;
        const COrder& listed = *orders[listedIndex];
        if (listed.plan.relationPosition > added.plan.relationPosition ||
            (listed.plan.relationPosition == added.plan.relationPosition &&
             listed.GetRelationTimeLimit() > limit)) {
            relatedOrders.InsertAt(i, static_cast<unsigned>(index));
            return;
        }
    }
    relatedOrders.Add(static_cast<unsigned>(index));
}

bool COrder::ReadRecord(CFieldRecord& record)
{
    if (!TrevantorVariables().ReadEntity(ENTITY_ORDER, *this, record, 0, nullptr))
        return false;
    const CUserParameters& parameters = UserParameters();
    if (customer.location.serviceMinutes == kUnsetTime)
        customer.location.serviceMinutes = parameters.UnloadTime;
    if (parameters.LoadingProblem != 3 && wareHouse.location.serviceMinutes == kUnsetTime)
        wareHouse.location.serviceMinutes = parameters.LoadTime;
    if (lines.GetSize() > 0) {
        COrderLine& last = *lines[lines.GetSize() - 1];
        if (parameters.LoadingProblem == 3 && last.customer.location.serviceMinutes == kUnsetTime)
            last.customer.location.serviceMinutes = parameters.UnloadTime;
        if (!last.lastUnloadGroup.empty())
            ModelContext().lastUnloadGroups.FindOrAdd(last.lastUnloadGroup);
    }
    InvertLines();
    return true;
}

// ---- Line order ---------------------------------------------------------------------------------

void COrder::RederiveAfterLineOrder()
{
    CalculateFields(trv::OleDate(), false, false, true, nullptr);
}

void COrder::SortLinesByTime()
{
    std::vector<std::pair<int64_t, int>> timed;
    std::vector<int> untimed;
    for (int i = 0; i < lines.GetSize(); ++i) {
        const CTimeTable& hours = lines[i]->customer.location.openingHours;
        if (hours.GetSize() > 0)
            timed.emplace_back(hours[0].start, i);
        else
            untimed.push_back(i);
    }
    std::vector<int> positions = SortedPositions(std::move(timed));
    positions.insert(positions.end(), untimed.begin(), untimed.end());
    ReorderLines(positions);
    RederiveAfterLineOrder();
}

bool COrder::ReorderLines(const std::vector<int>& positions)
{
    const int count = lines.GetSize();
    std::vector<bool> taken(static_cast<size_t>(count), false);
    if (static_cast<int>(positions.size()) != count)
        return false;
    for (const int position : positions) {
        if (position < 0 || position >= count || taken[static_cast<size_t>(position)])
            return false;
        taken[static_cast<size_t>(position)] = true;
    }
    std::vector<COrderLine*> reordered;
    reordered.reserve(static_cast<size_t>(count));
    for (const int position : positions)
        reordered.push_back(lines[position]);
    for (int i = 0; i < count; ++i)
        lines[i] = reordered[static_cast<size_t>(i)];
    return true;
}

void COrder::ApplyLineOrder(const std::vector<int>& positions)
{
    // A list that is not a permutation of the lines would lose or repeat lines.
    if (!ReorderLines(positions)) {
        TRV_TRACE(1, "COrder::ApplyLineOrder",
                  "order %s: the new line order is not a permutation of its %d lines",
                  Text(ORDER_CODE).c_str(), lines.GetSize());
        return;
    }
    plan.linesOrderedBySortingEngine = 1;
    RederiveAfterLineOrder();
}

void COrder::GetLineKeys(CSmartStringArray& keys) const
{
    if (!UserParameters().CustomerInOrderLines)
        return;
    for (const COrderLine* line : lines)
        keys.Add(LineKey(*line));
}

void COrder::ReorderLinesByKeys(const CSmartStringArray& keys)
{
    const int count = lines.GetSize();
    if (keys.GetSize() != count)
        return;
    std::vector<std::string> lineKeys;
    lineKeys.reserve(static_cast<size_t>(count));
    for (const COrderLine* line : lines)
        lineKeys.push_back(trv::ToUpper(LineKey(*line)));
    std::vector<int> positions;
    std::vector<bool> taken(static_cast<size_t>(count), false);
    for (const std::string& key : keys) {
        const std::string upper = trv::ToUpper(key);
        int found = -1;
        // Each line is taken once, so that a repeated key cannot drop a line.
        for (int i = 0; i < count && found < 0; ++i)
            if (!taken[static_cast<size_t>(i)] && lineKeys[static_cast<size_t>(i)] == upper)
                found = i;
        if (found < 0)
            return;
        taken[static_cast<size_t>(found)] = true;
        positions.push_back(found);
    }
    ApplyLineOrder(positions);
}

void COrder::InvertLines()
{
    if (!UserParameters().CustomerInOrderLines || !plan.invertCustomers)
        return;
    std::vector<int> positions(static_cast<size_t>(lines.GetSize()));
    std::iota(positions.rbegin(), positions.rend(), 0);
    ReorderLines(positions);
    plan.invertCustomers = 0;
}

int COrder::GetLineOrderingStart() const
{
    const CModelContext& context = ModelContext();
    switch (UserParameters().LoadingProblem) {
    case 2:
        return wareHouse.location.nodeIndex;
    case 3:
        return plan.warehouseIndex >= 0 && plan.warehouseIndex < context.wareHouses.GetSize()
                   ? context.wareHouses[plan.warehouseIndex]->location.nodeIndex
                   : -1;
    default:
        return context.fleet ? context.fleet->GetFirstBaseNode() : -1;
    }
}

void COrder::ReordenaLineasPedidoConGenetico()
{
    const COrderLineOrdering* ordering = ModelContext().lineOrdering;
    if (lines.GetSize() <= 1 || plan.linesOrderedBySortingEngine || !ordering)
        return;
    std::vector<int> nodes;
    nodes.reserve(static_cast<size_t>(lines.GetSize()));
    for (const COrderLine* line : lines)
        nodes.push_back(line->customer.location.nodeIndex);
    ApplyLineOrder(ordering->OrderLines(plan.index, GetLineOrderingStart(), nodes));
}

double COrder::MeasureLineOrder(int loadingNode, std::span<const int> customerNodes)
{
    const CModelDistances* distances = ModelContext().distances;
    if (loadingNode < 0 || !distances)
        return kNoLoadingNodeCost;
    double total = 0;
    int from = loadingNode;
    for (const int to : customerNodes) {
        float km = 0;
        int minutes = 0;
        if (distances->GetKmAndMinutes(from, to, km, minutes))
            total += km;
        from = to;
    }
    return total;
}

// ---- Merging --------------------------------------------------------------------------------

void COrder::MergeOrder(COrder& other)
{
    for (int i = 0; i < other.lines.GetSize(); ++i)
        lines.Add(other.lines[i]);
    // The lines now belong to this order: the other list lets them go without deleting them.
    for (int i = 0; i < other.lines.GetSize(); ++i)
        other.lines[i] = nullptr;
    other.lines.SetSize(0);
    lines.header.totalQuantity += other.lines.header.totalQuantity;

    CTimeTable& loadingHours = wareHouse.location.openingHours;
    if (loadingHours.GetSize() > 0 && other.wareHouse.location.openingHours.GetSize() == 0) {
        loadingHours[0].start = std::max(loadingHours[0].start, kEarliestLoadingStart);
        CTimeWindow& last = loadingHours[loadingHours.GetSize() - 1];
        last.end = std::min(last.end, kLatestLoadingEnd);
    }
    if (other.customer.location.openingHours.GetSize() > 0)
        customer.location.openingHours = other.customer.location.openingHours;
}

int COrder::AddOrMergeLine(const COrderLine& line)
{
    const CUserParameters& parameters = UserParameters();
    COrderLine copy = line;
    if (copy.firstItemCount <= 0)
        copy.firstItemCount = copy.items;
    if (copy.productCode.empty())
        copy.productCode = copy.productName;
    int index = lines.FindLine(copy.productCode, copy.partition, copy.customer.location.code,
                               parameters.CustomerInOrderLines != 0);
    if (index < 0) {
        index = lines.InsertLine(std::make_unique<COrderLine>(copy));
    } else if (!parameters.NuncaDuplicarLineas) {
        lines[index]->Accumulate(copy);
    }
    if (index >= 0 && lines[index]->customer.location.serviceMinutes == kUnsetTime)
        lines[index]->customer.location.serviceMinutes = parameters.UnloadTime;
    return 1;
}

// ---- Checks between two orders ----------------------------------------------------------------

bool COrder::DaysIncompatible(const COrder& other, const CTimeTable& otherTable,
                              const CTimeTable& table) const
{
    const bool inLines = UserParameters().CustomerInOrderLines != 0;
    auto defined = [](int32_t day) { return day >= 0; };
    int32_t last = -1;
    auto lower = [&](int32_t day) {
        if (defined(day))
            last = defined(last) ? std::min(last, day) : day;
    };
    lower(customer.location.openingHours.lastDay);
    lower(table.lastDay);
    if (inLines)
        for (const COrderLine* line : lines)
            lower(line->customer.location.openingHours.lastDay);
    int32_t first = -1;
    auto raise = [&](int32_t day) {
        if (defined(day))
            first = std::max(first, day);
    };
    raise(other.customer.location.openingHours.firstDay);
    raise(otherTable.firstDay);
    if (inLines)
        for (const COrderLine* line : other.lines)
            raise(line->customer.location.openingHours.firstDay);
    if (last >= 0 && last < first)
        return true;

    // Both pinned to one day, the same or an undefined one: the hours decide.
    auto pinnedDay = [&defined](const CTimeTable& a, const CTimeTable& b, int32_t& day) {
        if (a.firstDay != a.lastDay || b.firstDay != b.lastDay)
            return false;
        day = defined(a.firstDay) ? a.firstDay : b.firstDay;
        return !defined(a.firstDay) || !defined(b.firstDay) || a.firstDay == b.firstDay;
    };
    int32_t mine = -1;
    int32_t theirs = -1;
    if (!pinnedDay(table, customer.location.openingHours, mine) ||
        !pinnedDay(otherTable, other.customer.location.openingHours, theirs))
        return false;
    if (defined(mine) && defined(theirs) && mine != theirs)
        return false;
    return WindowsIncompatible(other, otherTable, table);
}

bool COrder::WindowsIncompatible(const COrder& other, const CTimeTable& otherTable,
                                 const CTimeTable& table) const
{
    const bool inLines = UserParameters().CustomerInOrderLines != 0;
    bool startSet = false;
    int32_t start = kEarliestLoadingStart;
    auto raise = [&](const CTimeTable& hours) {
        if (hours.GetSize() == 0)
            return;
        start = startSet ? std::max(start, hours[0].start) : hours[0].start;
        startSet = true;
    };
    raise(otherTable);
    raise(other.customer.location.openingHours);
    if (inLines)
        for (const COrderLine* line : other.lines)
            raise(line->customer.location.openingHours);
    bool endSet = false;
    int32_t end = kLatestLoadingEnd;
    auto lower = [&](const CTimeTable& hours) {
        if (hours.GetSize() == 0)
            return;
        end = endSet ? std::min(end, hours.GetLastEnd()) : hours.GetLastEnd();
        endSet = true;
    };
    lower(table);
    lower(customer.location.openingHours);
    if (inLines)
        for (const COrderLine* line : lines)
            lower(line->customer.location.openingHours);
    return startSet && endSet && end < start;
}
