// The plan's order list: adding, removing, lookups by code and by line, counters and manual
// assignment.

#include "KLV/Trace.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "params/Parameters.h"
#include "platform/Text.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace {

std::string PartitionKey(const std::string& code, int partition)
{
    std::string key = code;
    key += '\x1f';
    key += std::to_string(partition);
    return key;
}

bool Contains(std::string_view value, std::string_view text)
{
    return value.find(text) != std::string_view::npos;
}

} // namespace

bool MatchText(const std::string& value, const std::string& text, bool exact, int length)
{
    std::string upper = trv::ToUpper(value);
    if (length != -1 && length >= 0 && static_cast<size_t>(length) < trv::Length(upper))
        upper = trv::Left(upper, static_cast<size_t>(length));
    return exact ? upper == text : Contains(upper, text);
}

bool COrder::UpdateWarehouseIndexes()
{
    const CWareHouses& wareHouses = ModelContext().wareHouses;
    const int warehouse = wareHouses.FindWareHouse(wareHouse.location.code);
    const int platform = wareHouses.FindWareHouse(Text(PLATAFORMA_DISTRIBUCION_CODE));
    const bool changed =
        warehouse != plan.warehouseIndex || platform != plan.platformWarehouseIndex;
    plan.warehouseIndex = warehouse;
    plan.platformWarehouseIndex = platform;
    return changed;
}

// ---- Adding and removing ------------------------------------------------------------------------

COrder* COrders::AddOrder()
{
    auto* order = new COrder;
    Add(order);
    // Appended orders join the code index at the next lookup, once their code is read.
    return order;
}

COrder* COrders::InsertOrderAt(int index)
{
    if (index < 0 || index > GetSize()) {
        TRV_TRACE(1, "COrders::InsertOrderAt", "position %d is beyond the %d orders: not inserted",
                  index, GetSize());
        return nullptr;
    }
    if (index == GetSize())
        return AddOrder();
    auto* order = new COrder;
    InsertAt(index, order);
    Renumber(index);
    return order;
}

void COrders::RemoveOrderLines(int index)
{
    if (index < 0 || index >= GetSize())
        return;
    (*this)[index]->lines.RemoveAllLines();
    RemoveAt(index);
    Renumber(index);
    ordersChanged = 1;
}

void COrders::RemoveAllOrders()
{
    SetSize(0);
    m_codesValid = false;
}

void COrders::Renumber(int from)
{
    for (int i = std::max(from, 0); i < GetSize(); ++i)
        (*this)[i]->plan.index = i;
    m_codesValid = false;
}

// ---- The code index -----------------------------------------------------------------------------

void COrders::EnsureCodeIndex() const
{
    // Orders appended since the last build are indexed now; a stale entry (a code changed in
    // place, positions shifted) makes the lookup rebuild the whole index.
    if (!m_codesValid) {
        m_byCode.clear();
        m_byCodeAndPartition.clear();
        m_indexedCount = 0;
        m_codesValid = true;
    }
    for (int i = m_indexedCount; i < GetSize(); ++i) {
        const COrder& order = *(*this)[i];
        m_byCode[order.Text(ORDER_CODE)].push_back(i);
        m_byCodeAndPartition[PartitionKey(order.Text(ORDER_CODE), order.plan.partitionNumber)]
            .push_back(i);
    }
    m_indexedCount = GetSize();
}

const std::vector<int>* COrders::Positions(const std::string& code) const
{
    EnsureCodeIndex();
    const auto found = m_byCode.find(code);
    return found == m_byCode.end() ? nullptr : &found->second;
}

bool COrders::IndexHolds(const std::vector<int>& positions, const std::string& code) const
{
    return std::all_of(positions.begin(), positions.end(), [&](int i) {
        return i < GetSize() && (*this)[i]->Text(ORDER_CODE) == code;
    });
}

// ---- Lookups ------------------------------------------------------------------------------------

int COrders::FindOrderByCode(const std::string& code, int& count, int start, bool backwards) const
{
    count = 0;
    if (start < 0 || start >= GetSize())
        return -1;
    const std::string upper = trv::ToUpper(code);
    const std::vector<int>* positions = Positions(upper);
    if (positions && !IndexHolds(*positions, upper)) {
        m_codesValid = false;
        positions = Positions(upper);
    }
    if (!positions)
        return -1;
    if (backwards) {
        const auto end = std::upper_bound(positions->begin(), positions->end(), start);
        count = static_cast<int>(end - positions->begin());
        return count > 0 ? *(end - 1) : -1;
    }
    const auto first = std::lower_bound(positions->begin(), positions->end(), start);
    count = static_cast<int>(positions->end() - first);
    return count > 0 ? *first : -1;
}

int COrders::FindOrderByCodeAndPartition(const std::string& code, int partition, int start) const
{
    if (start >= GetSize() || start < -1)
        return -1;
    const std::string upper = trv::ToUpper(code);
    const std::string key = PartitionKey(upper, partition);
    auto lookup = [&]() -> const std::vector<int>* {
        EnsureCodeIndex();
        const auto found = m_byCodeAndPartition.find(key);
        return found == m_byCodeAndPartition.end() ? nullptr : &found->second;
    };
    const std::vector<int>* positions = lookup();
    const bool stale = positions && std::any_of(positions->begin(), positions->end(), [&](int i) {
                           return i >= GetSize() || (*this)[i]->Text(ORDER_CODE) != upper ||
                                  (*this)[i]->plan.partitionNumber != partition;
                       });
    if (stale) {
        m_codesValid = false;
        positions = lookup();
    }
    if (!positions || positions->empty())
        return -1;
    if (start == -1)
        return positions->back();
    const auto first = std::lower_bound(positions->begin(), positions->end(), start);
    return first == positions->end() ? -1 : *first;
}

int COrders::FindOrderWithLine(const std::string& code, const std::string& productCode,
                               int start) const
{
    for (int i = std::max(start, 0); i < GetSize(); ++i) {
        const COrder& order = *(*this)[i];
        if (order.Text(ORDER_CODE) != code)
            continue;
        for (const COrderLine* line : order.lines)
            if (line->productCode == productCode)
                return i;
    }
    return -1;
}

int COrders::FindOrderByLineProduct(const std::string& productCode, int partition, int& line) const
{
    line = -1;
    for (int i = 0; i < GetSize(); ++i) {
        const COrder& order = *(*this)[i];
        if (order.plan.partitionNumber != partition)
            continue;
        for (int l = 0; l < order.lines.GetSize(); ++l)
            if (trv::EqualsNoCase(order.lines[l]->productCode, productCode)) {
                line = l;
                return i;
            }
    }
    return -1;
}

int COrders::FindOrderByLineProductAnyPartition(const std::string& productCode, int& line) const
{
    line = -1;
    for (int i = 0; i < GetSize(); ++i) {
        const COrder& order = *(*this)[i];
        for (int l = 0; l < order.lines.GetSize(); ++l)
            if (trv::EqualsNoCase(order.lines[l]->productCode, productCode)) {
                line = l;
                return i;
            }
    }
    return -1;
}

int COrders::FindOrderByRelationCode(const std::string& text, int start) const
{
    const std::string upper = trv::ToUpper(text);
    for (int i = std::max(start, 0); i < GetSize(); ++i)
        if (trv::ToUpper((*this)[i]->Text(RELATION_CODE)) == upper)
            return i;
    return -1;
}

int COrders::FindOrderByPattern(const std::string& pattern, int start, bool exact, int length,
                                bool backwards) const
{
    const int step = backwards ? -1 : 1;
    for (int i = start; i >= 0 && i < GetSize(); i += step)
        if (MatchCustomerCode(pattern, i, exact, length) >= 0)
            return i;
    return -1;
}

namespace {

// Whether the order's customer, or with customers in the lines any line's, passes the test.
template <class Test> bool AnyCustomer(const COrder& order, Test test)
{
    if (!UserParameters().CustomerInOrderLines)
        return test(order.customer.location);
    return std::any_of(order.lines.begin(), order.lines.end(),
                       [&](const COrderLine* line) { return test(line->customer.location); });
}

} // namespace

int COrders::MatchCustomer(int index, const std::function<bool(const TLocationData&)>& test) const
{
    if (index < 0 || index >= GetSize())
        return -1;
    return AnyCustomer(*(*this)[index], test) ? index : -1;
}

int COrders::MatchCustomerCode(const std::string& text, int index, bool exact, int length) const
{
    return MatchCustomer(index, [&](const TLocationData& place) {
        return MatchText(place.code, text, exact, length);
    });
}

int COrders::MatchCustomerName(const std::string& text, int index) const
{
    return MatchCustomer(
        index, [&](const TLocationData& place) { return MatchText(place.name, text, false, -1); });
}

int COrders::MatchCustomerCity(const std::string& text, int index) const
{
    return MatchCustomer(
        index, [&](const TLocationData& place) { return MatchText(place.city, text, false, -1); });
}

// ---- Counters -----------------------------------------------------------------------------------

namespace {

bool IsSchedulable(const COrder& order)
{
    return !order.plan.deactivated && !(order.plan.assigned && order.plan.assignedSubtrip > 0) &&
           order.IsLocated() && order.plan.possibleRow >= 0;
}

} // namespace

int COrders::CountSchedulableOrders() const
{
    return static_cast<int>(
        std::count_if(begin(), end(), [](const COrder* order) { return IsSchedulable(*order); }));
}

int COrders::CountSplittableOrders() const
{
    return static_cast<int>(std::count_if(begin(), end(), [](const COrder* order) {
        return IsSchedulable(*order) && order->lines.header.maySplit;
    }));
}

int COrders::GetMaxPartitionNumber(const std::string& code) const
{
    int highest = 0;
    for (const COrder* order : *this)
        if (order->Text(ORDER_CODE) == code)
            highest = std::max(highest, order->plan.partitionNumber);
    return highest;
}

int COrders::GetMaxProductPartition(const std::string& code, const std::string& productName) const
{
    int highest = 0;
    for (const COrder* order : *this) {
        if (order->Text(ORDER_CODE) != code)
            continue;
        for (const COrderLine* line : order->lines)
            if (line->productName == productName)
                highest = std::max(highest, line->partition);
    }
    return highest;
}

// ---- Changes ------------------------------------------------------------------------------------

void COrders::SetLinesStockForAutoAssign(const std::string& productName, int stock)
{
    for (COrder* order : *this)
        for (COrderLine* line : order->lines)
            if (line->productName == productName)
                line->stockForAutoAssign = stock;
}

int COrders::AssignOrder(int orderIndex, int linePosition, int pairRow,
                         const std::string& truckCode, const std::string& trailerCode,
                         const std::string& driverCode, int trip, int subtrip, bool fixed,
                         const CTimeWindow& customerWindow,
                         const CTimeWindow& deliveryLoadingWindow,
                         const CTimeWindow& collectionLoadingWindow, const std::string& planText)
{
    if (orderIndex < 0 || orderIndex >= GetSize()) {
        TRV_TRACE(1, "COrders::AssignOrder", "no order %d among %d", orderIndex, GetSize());
        return 1;
    }
    (*this)[orderIndex]->SetAssignment(linePosition, pairRow, truckCode, trailerCode, driverCode,
                                       trip, subtrip, fixed, customerWindow, deliveryLoadingWindow,
                                       collectionLoadingWindow, planText);
    return 1;
}

int COrders::AssignOrderToResource(int orderIndex, int pairRow, const std::string& truckCode,
                                   const std::string& trailerCode, const std::string& driverCode,
                                   int trip, int subtrip, bool fixed, const std::string& planText)
{
    const CTimeWindow unset;
    return AssignOrder(orderIndex, -1, pairRow, truckCode, trailerCode, driverCode, trip, subtrip,
                       fixed, unset, unset, unset, planText);
}

bool COrders::ResolveWarehouseIndexes()
{
    bool changed = false;
    for (COrder* order : *this)
        changed = order->UpdateWarehouseIndexes() || changed;
    return changed;
}
