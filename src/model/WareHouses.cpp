#include "model/WareHouses.h"

#include "model/ModelDates.h"
#include "params/FieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Text.h"

#include <algorithm>
#include <cassert>

// ---- Products -----------------------------------------------------------------------------

CProduct* CProducts::AddProduct()
{
    auto* product = new CProduct;
    Add(product);
    return product;
}

int CProducts::FindOrAddProduct(const std::string& code, const std::string& name,
                                const std::string& info)
{
    for (int i = 0; i < GetSize(); ++i) {
        if ((*this)[i]->name == name)
            return i;
    }
    CProduct* product = AddProduct();
    product->code = code;
    product->name = name;
    product->info = info;
    return GetSize() - 1;
}

CProductsAtWareHouse& CProductsAtWareHouse::operator=(const CProductsAtWareHouse& other)
{
    if (this == &other)
        return *this;
    SetSize(0);
    for (const TProductWareHouse* product : other)
        Add(new TProductWareHouse(*product));
    return *this;
}

TProductWareHouse* CProductsAtWareHouse::AddProduct()
{
    auto* product = new TProductWareHouse;
    Add(product);
    return product;
}

// ---- One warehouse ------------------------------------------------------------------------

CWareHouse::CWareHouse() = default;

CWareHouse& CWareHouse::operator=(const CWareHouse& other)
{
    if (this == &other)
        return *this;
    fixedTimes.Copy(other.fixedTimes);
    finishToArrival = other.finishToArrival;
    arrivalToFinish = other.arrivalToFinish;
    index = other.index;
    availableDocks = other.availableDocks;
    minimumProductLoad = other.minimumProductLoad;
    dockDataIndex = other.dockDataIndex;
    dateFrom = other.dateFrom;
    dateTo = other.dateTo;
    capacityReducePercent = other.capacityReducePercent;
    products = other.products;
    requirements = other.requirements;
    location = other.location;
    dockCode = other.dockCode;
    docksPerSlot.Copy(other.docksPerSlot);
    return *this;
}

bool CWareHouse::ReadRecord(CFieldRecord& record)
{
    return TrevantorVariables().ReadEntity(ENTITY_WAREHOUSE, *this, record, 0, nullptr);
}

bool CWareHouse::WriteRecord(CFieldRecord& record)
{
    return TrevantorVariables().WriteEntity(ENTITY_WAREHOUSE, *this, record, 0);
}

void CWareHouse::WriteProducts(CFieldRecord& record) const
{
    for (const TProductWareHouse* product : products) {
        record.ClearRecord();
        const TFieldWrite text;
        TFieldWrite number;
        number.raw = true;
        record.SetFieldString("WAREHOUSE_CODE", location.code, -1, text);
        record.SetFieldString("PRODUCT_CODE", product->code, -1, text);
        record.SetFieldString("PRODUCT_NAME", product->name, -1, text);
        record.SetFieldFloat("PRODUCT_STOCK", product->stock, number);
        record.SetFieldFloat("PRODUCT_COST", product->cost, number);
        // Without it a saved plan opens again with no loading speeds.
        record.SetFieldFloat("PRODUCT_SPEED", product->loadingSpeed, number);
        record.WriteRecord();
    }
}

float CWareHouse::GetProductSpeed(int i) const
{
    if (i < 0 || i >= products.GetSize())
        return 0;
    return products[i]->loadingSpeed;
}

void CWareHouse::BuildFixedTimeTables()
{
    assert(fixedTimes.GetSize() == FixedTimeHours);
    finishToArrival.assign(TableMinutes, 0);
    arrivalToFinish.assign(TableMinutes, 0);
    auto hourValue = [&](int hour) {
        return static_cast<int>(fixedTimes[(hour + FixedTimeHours) % FixedTimeHours]);
    };
    int previousFinish = 0;
    for (int hour = 0; hour < FixedTimeHours; ++hour) {
        const int current = hourValue(hour);
        const int next = hourValue(hour + 1);
        const int previous = hourValue(hour - 1);
        for (int minute = 0; minute < 60; ++minute) {
            const int arrival = hour * 60 + minute;
            int stay = current;
            // An arrival late in the hour blends into the next hour's stay.
            if (!((previous != current && minute < current) || current == next ||
                  current + minute <= 59))
                stay =
                    ((current - 60 + minute) * next + (60 - minute) * current) / (current + next);
            const int finish = arrival + stay;
            arrivalToFinish[arrival] = finish;
            for (int m = finish; m > previousFinish; --m)
                finishToArrival[m % TableMinutes] = finishToArrival[previousFinish % TableMinutes];
            finishToArrival[finish % TableMinutes] = arrival;
            previousFinish = finish;
        }
    }
}

void CWareHouse::CalculateFields(const trv::OleDate& planningDate)
{
    const CUserParameters& parameters = UserParameters();
    CTimeTable& hours = location.openingHours;
    hours.Normalize(parameters.StartTimeToday);
    if (!IsZeroDate(planningDate)) {
        // A date that is not given (zero, null or invalid) leaves the day unset.
        auto dayOf = [&](const trv::OleDate& date) {
            return !date.IsValid() || IsZeroDate(date) ? UnsetDay : DaysFrom(planningDate, date);
        };
        hours.firstDay = dayOf(dateFrom);
        hours.lastDay = dayOf(dateTo);
    }
    if (location.code.empty())
        location.Reset();
    if (parameters.ControlDocks != 0 && docksPerSlot.GetSize() == 0)
        docksPerSlot.Add(static_cast<unsigned short>(availableDocks & 0xFFFF));
}

// ---- The nearness table -------------------------------------------------------------------

namespace {

// The smallest signed integer size that holds every index below `width` and -1.
int SlotSize(int width)
{
    if (width <= INT8_MAX)
        return 1;
    return width <= INT16_MAX ? 2 : 4;
}

} // namespace

std::size_t CWareHouseNearnessTable::StoredBytes(int nodes, int places, int masks, int width)
{
    return static_cast<std::size_t>(nodes) * static_cast<std::size_t>(places) *
           static_cast<std::size_t>(masks) * static_cast<std::size_t>(width) *
           static_cast<std::size_t>(SlotSize(width));
}

void CWareHouseNearnessTable::Create(int nodes, std::vector<int32_t> placeOfOrder, int places,
                                     std::vector<int32_t> maskOfRow, int masks, int width,
                                     bool storeLists)
{
    assert(nodes >= 0 && places >= 0 && masks >= 0 && width >= 1);
    Reset();
    m_nodes = nodes;
    m_places = places;
    m_masks = masks;
    m_width = width;
    m_placeOfOrder = std::move(placeOfOrder);
    m_maskOfRow = std::move(maskOfRow);
    m_elementSize = SlotSize(width);
    // Every byte of -1 reads as -1 in any of the sizes.
    if (storeLists)
        m_slots.assign(StoredBytes(nodes, places, masks, width), 0xFF);
}

void CWareHouseNearnessTable::SetDetours(std::vector<float> kmFromNode,
                                         std::vector<float> kmToPlace, std::vector<uint8_t> usable)
{
    m_slots = {};
    m_kmFromNode = std::move(kmFromNode);
    m_kmToPlace = std::move(kmToPlace);
    m_usable = std::move(usable);
}

void CWareHouseNearnessTable::Reset()
{
    *this = CWareHouseNearnessTable();
}

std::size_t CWareHouseNearnessTable::Offset(int node, int place, int mask) const
{
    assert(node >= 0 && node < m_nodes && place >= 0 && place < m_places && mask >= 0 &&
           mask < m_masks);
    return ((static_cast<std::size_t>(node) * static_cast<std::size_t>(m_places) +
             static_cast<std::size_t>(place)) *
                static_cast<std::size_t>(m_masks) +
            static_cast<std::size_t>(mask)) *
           static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_elementSize);
}

void CWareHouseNearnessTable::SetRanked(int node, int place, int mask, const int32_t* ranked)
{
    unsigned char* slots = m_slots.data() + Offset(node, place, mask);
    for (int i = 0; i < m_width; ++i) {
        switch (m_elementSize) {
        case 1:
            reinterpret_cast<int8_t*>(slots)[i] = static_cast<int8_t>(ranked[i]);
            break;
        case 2:
            reinterpret_cast<int16_t*>(slots)[i] = static_cast<int16_t>(ranked[i]);
            break;
        default:
            reinterpret_cast<int32_t*>(slots)[i] = ranked[i];
            break;
        }
    }
}

void CWareHouseNearnessTable::Rank(const float* keys, const uint8_t* usable, int count,
                                   int32_t* ranked, int width)
{
    std::fill(ranked, ranked + width, -1);
    int filled = 0;
    for (int k = 0; k < count; ++k) {
        if (!usable[k] || keys[k] < 0.0f)
            continue;
        // Before the first slot whose key is not below: equal keys put the later one first.
        int at = 0;
        while (at < filled && keys[ranked[at]] < keys[k])
            ++at;
        const int last = std::min(filled, width - 1);
        for (int i = last; i > at; --i)
            ranked[i] = ranked[i - 1];
        if (at < width)
            ranked[at] = k;
        filled = std::min(filled + 1, width);
    }
}

CRankedWareHouses CWareHouseNearnessTable::GetRanked(int node, int order, int warehouseClass) const
{
    if (node < 0 || node >= m_nodes || order < 0 ||
        order >= static_cast<int>(m_placeOfOrder.size()) || warehouseClass < 0 ||
        warehouseClass >= static_cast<int>(m_maskOfRow.size()))
        return {};
    const int place = m_placeOfOrder[static_cast<std::size_t>(order)];
    const int mask = m_maskOfRow[static_cast<std::size_t>(warehouseClass)];
    if (place < 0 || mask < 0 || mask >= m_masks)
        return {nullptr, 4, m_width};
    if (IsStored())
        return {m_slots.data() + Offset(node, place, mask), m_elementSize, m_width};

    // Too large to store: rank this one list now, in storage the thread keeps.
    thread_local std::vector<float> keys;
    thread_local std::vector<int32_t> ranked;
    keys.resize(static_cast<std::size_t>(m_width));
    ranked.resize(static_cast<std::size_t>(m_width));
    const std::size_t width = static_cast<std::size_t>(m_width);
    for (std::size_t w = 0; w < width; ++w) {
        const float toWarehouse = m_kmFromNode[static_cast<std::size_t>(node) * width + w];
        const float toPlace =
            m_kmToPlace[w * static_cast<std::size_t>(m_places) + static_cast<std::size_t>(place)];
        keys[w] = toWarehouse < 0.0f || toPlace < 0.0f ? -1.0f : toWarehouse + toPlace;
    }
    Rank(keys.data(), m_usable.data() + static_cast<std::size_t>(mask) * width, m_width,
         ranked.data(), m_width);
    return {ranked.data(), 4, m_width};
}

// ---- The warehouse list -------------------------------------------------------------------

CWareHouse* CWareHouses::AddWareHouse()
{
    auto* wareHouse = new CWareHouse;
    Add(wareHouse);
    return wareHouse;
}

void CWareHouses::RemoveAt(int index)
{
    CSmartPtrArray<CWareHouse>::RemoveAt(index, 1);
}

void CWareHouses::RemoveWareHouse(int index)
{
    if (index < 0 || index >= GetSize())
        return;
    RemoveAt(index);
    Renumber();
}

void CWareHouses::Renumber()
{
    for (int i = 0; i < GetSize(); ++i)
        (*this)[i]->index = i;
}

void CWareHouses::RemoveAll()
{
    SetSize(0);
    m_nearness.Reset();
}

int CWareHouses::FindWareHouse(const std::string& code, int start) const
{
    if (start < 0)
        start = 0;
    for (int i = start; i < GetSize(); ++i) {
        if (trv::EqualsNoCase((*this)[i]->location.code, code))
            return i;
    }
    return -1;
}

void CWareHouses::CalculateFields(const trv::OleDate& planningDate)
{
    for (int i = 0; i < GetSize(); ++i) {
        (*this)[i]->CalculateFields(planningDate);
        (*this)[i]->dockDataIndex = i;
    }
}
