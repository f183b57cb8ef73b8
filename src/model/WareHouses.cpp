#include "model/WareHouses.h"

#include "model/ModelDates.h"
#include "params/FieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Text.h"

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

void CWareHouseNearnessTable::Create(int nodes, int orders, int classes, int width)
{
    assert(nodes >= 0 && orders >= 0 && classes >= 0 && width >= 1);
    m_nodes = nodes;
    m_orders = orders;
    m_classes = classes;
    m_width = width;
    m_slots.assign(static_cast<size_t>(nodes) * orders * classes * width, -1);
}

void CWareHouseNearnessTable::Reset()
{
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_nodes = m_orders = m_classes = m_width = 0;
}

size_t CWareHouseNearnessTable::Offset(int node, int order, int warehouseClass) const
{
    assert(node >= 0 && node < m_nodes && order >= 0 && order < m_orders && warehouseClass >= 0 &&
           warehouseClass < m_classes);
    return ((static_cast<size_t>(node) * m_orders + order) * m_classes + warehouseClass) * m_width;
}

int32_t* CWareHouseNearnessTable::GetSlots(int node, int order, int warehouseClass)
{
    return m_slots.data() + Offset(node, order, warehouseClass);
}

const int32_t* CWareHouseNearnessTable::GetSlots(int node, int order, int warehouseClass) const
{
    return m_slots.data() + Offset(node, order, warehouseClass);
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
