#include "model/OrderLine.h"

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Text.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kSpainCountry = 34;
constexpr int kProvinceCount = 50;
constexpr int32_t kHalfDayMinutes = 720;
constexpr float kRemovedVolume = 1e-6f;

void ShiftWindow(CTimeWindow& window, int32_t minutes)
{
    window.start += minutes;
    window.end += minutes;
}

bool HasFirstWindow(const CTimeTable& table)
{
    return table.GetSize() > 0 && !table[0].IsUnset();
}

void CopyCalendar(CDateTable& destination, const CDateTable& source)
{
    destination.RemoveAll();
    for (const CDateWindow* window : source) {
        CDateWindow* copy = destination.NewWindow();
        copy->CopyFrom(*window);
        copy->code = window->code;
        copy->firstDay = window->firstDay;
        copy->lastDay = window->lastDay;
    }
}

} // namespace

// ---- CDistinctTexts ---------------------------------------------------------------------------

size_t CDistinctTexts::NoCaseHash::operator()(std::string_view text) const
{
    size_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        if (c >= 0x80)
            continue;
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

bool CDistinctTexts::NoCaseEqual::operator()(std::string_view left, std::string_view right) const
{
    return trv::EqualsNoCase(left, right);
}

int CDistinctTexts::Find(std::string_view text) const
{
    const auto found = m_index.find(text);
    return found == m_index.end() ? -1 : found->second;
}

int CDistinctTexts::FindOrAdd(std::string_view text)
{
    const int found = Find(text);
    if (found >= 0)
        return found;
    const int index = GetSize();
    m_texts.emplace_back(text);
    m_index.emplace(m_texts.back(), index);
    return index;
}

void CDistinctTexts::RemoveAll()
{
    m_texts.clear();
    m_index.clear();
}

// ---- CProductLoadGroups -----------------------------------------------------------------------

int CProductLoadGroups::FindOrAdd(const std::string& name, int& index)
{
    index = FindIndex(name);
    if (index >= 0)
        return 0;
    auto* group = new TProductLoadGroup;
    group->name = name;
    group->index = GetSize();
    index = Add(group);
    m_index.emplace(name, index);
    return 1;
}

int CProductLoadGroups::FindIndex(const std::string& name) const
{
    const auto found = m_index.find(name);
    return found == m_index.end() ? -1 : found->second;
}

void CProductLoadGroups::RemoveAll()
{
    SetSize(0);
    m_index.clear();
}

// ---- CCustomer --------------------------------------------------------------------------------

CCustomer& CCustomer::operator=(const CCustomer& other)
{
    if (this == &other)
        return *this;
    location = other.location;
    assignedWindow = other.assignedWindow;
    CopyCalendar(daysOff, other.daysOff);
    return *this;
}

void CCustomer::CalculateFields()
{
    CModelContext& context = ModelContext();
    postcodeIndex = context.postcodes.FindOrAdd(location.postcode);

    province = -1;
    if (location.country == kSpainCountry) {
        const int postcodeNumber = std::atoi(location.postcode.c_str());
        province = postcodeNumber / 1000;
        if (province > kProvinceCount) {
            TRV_TRACE(1, "CCustomer::CalculateFields",
                      "El código de provincia para el cliente: [%s] es superior al numero de "
                      "provincia [CP=%d]",
                      location.code.c_str(), postcodeNumber);
            province = -1;
        }
    }

    const int referenceMinute = UserParameters().StartTimeToday;
    location.openingHours.Normalize(referenceMinute);
    location.deliveryWindow.Normalize(referenceMinute);
    CTimeWindow& window = location.deliveryWindow;
    if (!window.IsUnset() && (window.start < location.openingHours.GetFirstStart() ||
                              window.end > location.openingHours.GetLastEnd()))
        window = CTimeWindow();

    if (daysOff.GetSize() > 0)
        daysOff.FindFirstWindowFrom(context.planningDate);
}

void CCustomer::ClearLocation()
{
    location.Reset();
    assignedWindow = CTimeWindow();
}

// ---- COrderLine -------------------------------------------------------------------------------

void COrderLine::Clear()
{
    productName.clear();
    auxiliaryText.clear();
    quantity = volume = surface = adjustedQuantity = adjustedVolume = 0;
    productType = 0;
    items = factor = volumeFactor = payToDriver = 0;
    typeBit = 0;
    inBulk = true;
    minutesAtWarehouse = minutesAtCustomer = 0;
    additiveConditions.SetSize(0);
    additiveResults.SetSize(0);
    orderIndexes.SetSize(0);
    representedLines.SetSize(0);
    customer.location.Reset();
    customer.assignedWindow = CTimeWindow();
    possibleWarehouses.SetSize(0);
    quantitiesPerDay.SetSize(0);
    volumesPerDay.SetSize(0);
    surfacesPerDay.SetSize(0);
    itemsPerDay.SetSize(0);
}

COrderLine& COrderLine::operator=(const COrderLine& other)
{
    if (this == &other)
        return *this;
    productIndex = other.productIndex;
    quantity = other.quantity;
    volume = other.volume;
    surface = other.surface;
    adjustedQuantity = other.adjustedQuantity;
    adjustedVolume = other.adjustedVolume;
    height = other.height;
    length = other.length;
    productType = other.productType;
    typeGroupIndex = other.typeGroupIndex;
    incompatibilityGroupIndex = other.incompatibilityGroupIndex;
    lastUnloadGroupIndex = other.lastUnloadGroupIndex;
    lastTripGroupIndex = other.lastTripGroupIndex;
    compartmentPriority = other.compartmentPriority;
    partition = other.partition;
    typeBit = other.typeBit;
    payToDriver = other.payToDriver;
    items = other.items;
    firstItemCount = other.firstItemCount;
    changedByHand = other.changedByHand;
    factor = other.factor;
    volumeFactor = other.volumeFactor;
    inBulk = other.inBulk;
    mixBulk = other.mixBulk;
    scoopable = other.scoopable;
    stockForAutoAssign = other.stockForAutoAssign;
    minutesAtWarehouse = other.minutesAtWarehouse;
    minutesAtCustomer = other.minutesAtCustomer;
    lineId = other.lineId;
    orderIndex = other.orderIndex;
    productName = other.productName;
    productCode = other.productCode;
    productInfo = other.productInfo;
    typeGroup = other.typeGroup;
    incompatibilityGroup = other.incompatibilityGroup;
    lastTripGroup = other.lastTripGroup;
    lastUnloadGroup = other.lastUnloadGroup;
    loadGroup = other.loadGroup;
    auxiliaryText = other.auxiliaryText;
    additiveConditions = other.additiveConditions;
    additiveResults = other.additiveResults;
    orderIndexes = other.orderIndexes;
    customer = other.customer;
    possibleWarehouses = other.possibleWarehouses;
    quantitiesPerDay = other.quantitiesPerDay;
    volumesPerDay = other.volumesPerDay;
    surfacesPerDay = other.surfacesPerDay;
    itemsPerDay = other.itemsPerDay;
    informativeValues = other.informativeValues;
    SizeInformativeValues();
    representedLines.SetSize(0);
    representedLines.Add(this);
    return *this;
}

void COrderLine::SizeInformativeValues()
{
    informativeValues.SetSize(ModelContext().orderLineInfoDefinitions.GetSize());
}

int COrderLine::Accumulate(const COrderLine& other)
{
    quantity += other.quantity;
    volume += other.volume;
    surface += other.surface;
    items += other.items;
    payToDriver += other.payToDriver;
    length += other.length;
    height += other.height;
    minutesAtWarehouse += other.minutesAtWarehouse;
    minutesAtCustomer += other.minutesAtCustomer;
    customer.location.serviceMinutes =
        std::max(customer.location.serviceMinutes, other.customer.location.serviceMinutes);
    if (!other.productName.empty() && other.productName != productName)
        productName += "/" + other.productName;
    return 0;
}

void COrderLine::DeriveDayQuantitiesFromItems()
{
    const int days = itemsPerDay.GetSize();
    if (days == 0)
        return;
    const bool hadSurfaces = surfacesPerDay.GetSize() > 0;
    quantitiesPerDay.SetSize(days);
    volumesPerDay.SetSize(days);
    if (!hadSurfaces)
        surfacesPerDay.SetSize(days);
    for (int day = 0; day < days; ++day) {
        quantitiesPerDay[day] = itemsPerDay[day] * factor;
        volumesPerDay[day] = itemsPerDay[day] * volumeFactor;
        if (!hadSurfaces)
            surfacesPerDay[day] = 0;
    }
    ApplyDayQuantities();
}

void COrderLine::PrepareLine()
{
    CModelContext& context = ModelContext();
    possibleWarehouseIndexes.SetSize(0);
    if (UserParameters().LoadingProblem == 3) {
        for (const std::string& code : possibleWarehouses) {
            const int index = context.wareHouses.FindWareHouse(code);
            // A code that names no warehouse must not become warehouse -1 for the matrices.
            if (index < 0) {
                TRV_TRACE(2, "COrderLine::PrepareLine", "Almacén posible desconocido [%s]",
                          code.c_str());
                continue;
            }
            possibleWarehouseIndexes.Add(static_cast<unsigned>(index));
        }
    }
    DeriveDayQuantitiesFromItems();
    context.loadGroups.FindOrAdd(loadGroup, loadGroupIndex);
}

void COrderLine::ApplyDayQuantities()
{
    if (quantitiesPerDay.GetSize() == 0)
        return;
    quantity = quantitiesPerDay[0];
    if (volumesPerDay.GetSize() > 0)
        volume = volumesPerDay[0];
    if (surfacesPerDay.GetSize() > 0)
        surface = surfacesPerDay[0];
}

int COrderLine::GetLoadGroupFlag() const
{
    const CProductLoadGroups& groups = ModelContext().loadGroups;
    if (loadGroupIndex < 0 || loadGroupIndex >= groups.GetSize())
        return 0;
    return groups[loadGroupIndex]->flag;
}

// ---- COrderLines ------------------------------------------------------------------------------

void COrderLines::RemoveAllLines()
{
    for (COrderLine* line : *this) {
        line->orderIndexes.SetSize(0);
        line->representedLines.SetSize(0);
    }
    SetSize(0);
}

void COrderLines::CopyFrom(const COrderLines& other)
{
    RemoveAllLines();
    for (const COrderLine* line : other)
        Add(new COrderLine(*line));
    CopyHeader(other);
}

int COrderLines::CompareLines(const COrderLine& a, const COrderLine& b)
{
    if (a.compartmentPriority < b.compartmentPriority)
        return 1;
    if (a.compartmentPriority > b.compartmentPriority)
        return -1;
    if (a.volume > b.volume)
        return 1;
    if (a.volume < b.volume)
        return -1;
    return 0;
}

int COrderLines::InsertLine(std::unique_ptr<COrderLine> line)
{
    if (!line)
        return -1;
    if (GetSize() == 0) {
        header.totalQuantity = header.totalVolume = header.totalSurface = 0;
        header.minutesAtWarehouse = header.minutesAtCustomer = 0;
        header.bulkLines = header.bulkLength = 0;
        header.packedVolume = header.bulkVolume = 0;
    }
    int position = GetSize();
    if (!UserParameters().CustomerInOrderLines) {
        for (int i = 0; i < GetSize(); ++i)
            if (CompareLines(*line, *(*this)[i]) > 0) {
                position = i;
                break;
            }
    }
    COrderLine* inserted = line.release();
    InsertAt(position, inserted);
    header.totalQuantity += inserted->quantity;
    header.totalVolume += inserted->volume;
    header.totalSurface += inserted->surface;
    header.minutesAtWarehouse += inserted->minutesAtWarehouse;
    header.minutesAtCustomer += inserted->minutesAtCustomer;
    inserted->SizeInformativeValues();
    return position;
}

int COrderLines::AddPendingLine()
{
    if (!pendingLine)
        return -1;
    pendingLine->SizeInformativeValues();
    if (UserParameters().CustomerInOrderLines)
        return InsertSortedByTime(std::move(pendingLine));
    return InsertLine(std::move(pendingLine));
}

int COrderLines::InsertSortedByTime(std::unique_ptr<COrderLine> line)
{
    if (!line)
        return -1;
    CTimeWindow& assigned = line->customer.assignedWindow;
    CTimeTable& hours = line->customer.location.openingHours;
    const bool hasAssigned = !assigned.IsUnset();
    const bool hasHours = HasFirstWindow(hours);
    int position = GetSize();
    if (hasAssigned || hours.GetSize() > 0) {
        const int32_t entryAssigned = assigned.start;
        const int32_t entryOpening = hasHours ? hours[0].start : kUnsetTime;
        for (int i = 0; i < GetSize(); ++i) {
            COrderLine& held = *(*this)[i];
            CTimeWindow& heldAssigned = held.customer.assignedWindow;
            CTimeTable& heldHours = held.customer.location.openingHours;
            const bool heldHasAssigned = !heldAssigned.IsUnset();
            if (heldHasAssigned && hasAssigned) {
                const int32_t c = heldAssigned.start;
                if (c - entryAssigned > kHalfDayMinutes)
                    ShiftWindow(assigned, MinutesPerDay);
                if (entryAssigned - c > kHalfDayMinutes)
                    ShiftWindow(heldAssigned, MinutesPerDay);
            }
            if (HasFirstWindow(heldHours) && hasHours) {
                const int32_t d = heldHours[0].start;
                if (d - entryOpening > kHalfDayMinutes)
                    ShiftWindow(hours[0], MinutesPerDay);
                if (entryOpening - d > kHalfDayMinutes)
                    ShiftWindow(heldHours[0], MinutesPerDay);
            }
            const bool heldTimeless = !heldHasAssigned && heldHours.GetSize() == 0;
            // An unset start counts as earlier than any set one.
            const bool earlierAssigned =
                heldHasAssigned && (!hasAssigned || assigned.start < heldAssigned.start);
            const bool earlierOpening = heldHours.GetSize() > 0 && hasHours &&
                                        HasFirstWindow(heldHours) &&
                                        hours[0].start < heldHours[0].start;
            if (heldTimeless || earlierAssigned || earlierOpening) {
                position = i;
                break;
            }
        }
    }
    InsertAt(position, line.release());
    return position;
}

int COrderLines::FindLine(const std::string& code, int partition,
                          const std::string& customerCode) const
{
    return FindLine(code, partition, customerCode, UserParameters().CustomerInOrderLines != 0);
}

int COrderLines::FindLine(const std::string& code, int partition, const std::string& customerCode,
                          bool byCustomer) const
{
    for (int i = 0; i < GetSize(); ++i) {
        const COrderLine& line = *(*this)[i];
        if (line.partition != partition || !trv::EqualsNoCase(line.productCode, code))
            continue;
        if (byCustomer && !trv::EqualsNoCase(line.customer.location.code, customerCode))
            continue;
        return i;
    }
    return -1;
}

int COrderLines::FindLineByKey(const std::string& key) const
{
    for (int i = 0; i < GetSize(); ++i) {
        const COrderLine& line = *(*this)[i];
        if (trv::EqualsNoCase(line.customer.location.code + "·" + line.productCode, key))
            return i;
    }
    return -1;
}

int COrderLines::FindLineByProduct(int productIndex) const
{
    for (int i = 0; i < GetSize(); ++i)
        if ((*this)[i]->productIndex == productIndex && (*this)[i]->partition == 0)
            return i;
    return -1;
}

int COrderLines::GetFirstLineNode() const
{
    if (GetSize() == 0)
        return -1;
    for (const COrderLine* line : *this)
        if (!line->customer.HasNode())
            return -1;
    return (*this)[0]->customer.location.nodeIndex;
}

void COrderLines::CalculateFields(bool& hasBulk, bool& hasPacked, int orderIndex)
{
    CModelContext& context = ModelContext();
    const CUserParameters& parameters = UserParameters();
    header.totalQuantity = header.totalVolume = header.totalSurface = 0;
    header.packedVolume = header.bulkVolume = 0;
    header.bulkLength = header.bulkLines = 0;
    header.minutesAtWarehouse = header.minutesAtCustomer = 0;
    header.commonTypeGroup = 0;
    header.totalPayToDriver = 0;
    hasBulk = hasPacked = false;
    commonWarehouses.SetSize(0);
    quantitiesText.clear();
    productsText.clear();
    infosText.clear();
    productQuantitiesText.clear();

    for (int i = 0; i < GetSize(); ++i) {
        COrderLine& line = *(*this)[i];
        line.typeGroupIndex = context.typeGroups.FindOrAdd(line.typeGroup);
        line.PrepareLine();
        if (header.commonTypeGroup == 0)
            header.commonTypeGroup = line.typeGroupIndex;
        else if (line.typeGroupIndex != 0 && line.typeGroupIndex != header.commonTypeGroup)
            header.commonTypeGroup = -1;
        if (line.productType > 0)
            line.typeBit = 1 << (line.productType - 1);

        if (parameters.UsingMultiplicativeFactors) {
            line.volume = line.items * line.volumeFactor;
            line.quantity = line.items * line.factor;
            line.DeriveDayQuantitiesFromItems();
        } else {
            line.items = line.volume;
        }

        header.totalQuantity += line.quantity;
        header.totalVolume += line.volume;
        header.totalSurface += line.surface;
        header.totalPayToDriver += line.payToDriver;
        if (line.inBulk) {
            hasBulk = true;
            if (line.volume > 0) {
                ++header.bulkLines;
                header.bulkVolume += line.volume;
                header.bulkLength += line.length;
            }
        } else {
            header.packedVolume += line.volume;
            hasPacked = true;
        }

        if (parameters.VariableTimeOnlyOneLine && i > 0) {
            line.minutesAtWarehouse = line.minutesAtCustomer = 0;
        } else {
            header.minutesAtWarehouse += line.minutesAtWarehouse;
            header.minutesAtCustomer += line.minutesAtCustomer;
        }

        if (orderIndex >= 0) {
            line.orderIndexes.SetSize(0);
            line.orderIndexes.Add(orderIndex);
            line.orderIndex = orderIndex;
            line.representedLines.SetSize(0);
            line.representedLines.Add(&line);
        }
        line.lineId = i + 1;

        line.customer.CalculateFields();
        line.customer.location.codeIndex =
            context.customerCodes.FindOrAdd(line.customer.location.code);
        line.customer.location.cityIndex = context.cities.FindOrAdd(line.customer.location.city);

        line.incompatibilityGroupIndex =
            context.incompatibilityGroups.FindOrAdd(line.incompatibilityGroup);
        line.lastTripGroupIndex =
            line.lastTripGroup.empty() ? -1 : context.lastTripGroups.FindOrAdd(line.lastTripGroup);
        line.lastUnloadGroupIndex = line.lastUnloadGroup.empty()
                                        ? -1
                                        : context.lastUnloadGroups.FindOrAdd(line.lastUnloadGroup);

        if (commonWarehouses.GetSize() == 0)
            commonWarehouses = line.possibleWarehouseIndexes;
        else
            IntersectWarehouses(line.possibleWarehouseIndexes);

        quantitiesText += trv::FormatC("%f|", static_cast<double>(line.volume));
        productsText += line.productName + "|";
        infosText += line.productInfo + "|";
        const double whole = std::floor(static_cast<double>(line.items));
        if (static_cast<double>(line.items) - whole < 0.001)
            productQuantitiesText +=
                trv::FormatC(" %d %s |", static_cast<int>(line.items), line.productName.c_str());
        else
            productQuantitiesText += trv::FormatC(" %.2f %s |", static_cast<double>(line.items),
                                                  line.productName.c_str());
    }
    if (!productQuantitiesText.empty())
        productQuantitiesText.back() = ' ';
    MeasureLineRoute(orderIndex);
}

void COrderLines::IntersectWarehouses(const CSmartUIntArray& indexes)
{
    if (commonWarehouses.GetSize() == 0) {
        commonWarehouses = indexes;
        return;
    }
    int kept = 0;
    for (int i = 0; i < commonWarehouses.GetSize(); ++i)
        if (indexes.Find(commonWarehouses[i]) >= 0)
            commonWarehouses[kept++] = commonWarehouses[i];
    commonWarehouses.SetSize(kept);
}

int COrderLines::GetLoadingMinutes(int warehouseIndex) const
{
    const CWareHouses& wareHouses = ModelContext().wareHouses;
    if (warehouseIndex < 0 || warehouseIndex >= wareHouses.GetSize() || GetSize() == 0)
        return header.minutesAtWarehouse;
    const CWareHouse& wareHouse = *wareHouses[warehouseIndex];
    if (wareHouse.GetProductSpeed((*this)[0]->productIndex) <= 0)
        return header.minutesAtWarehouse;
    int minutes = 0;
    for (const COrderLine* line : *this) {
        // A product the warehouse has no rate for takes no loading time there.
        const float rate = wareHouse.GetProductSpeed(line->productIndex);
        if (rate > 0)
            minutes += static_cast<int>(line->volume / rate);
    }
    return minutes;
}

void COrderLines::MeasureLineRoute(int orderIndex)
{
    const CLineRouteMeasurement* measurement = ModelContext().lineRouteMeasurement;
    if (!measurement || !UserParameters().CustomerInOrderLines || orderIndex < 0 ||
        GetSize() == 0 || !(*this)[0]->customer.HasNode())
        return;
    measurement->Measure(orderIndex, *this, header.lineRoute);
}

void COrderLines::RemoveLine(int index)
{
    if (index >= 0 && index < GetSize())
        RemoveAt(index);
}

void COrderLines::CopyQuantitiesToAdjusted()
{
    for (COrderLine* line : *this) {
        line->adjustedQuantity = line->quantity;
        line->adjustedVolume = line->volume;
    }
}

void COrderLines::SetLineDays(int32_t firstDay, int32_t lastDay)
{
    for (COrderLine* line : *this) {
        line->customer.location.openingHours.firstDay = firstDay;
        line->customer.location.openingHours.lastDay = lastDay;
    }
}

void COrderLines::KeepFirstReferences()
{
    for (COrderLine* line : *this) {
        if (!line->inBulk || line->volume == 0)
            continue;
        if (line->orderIndexes.GetSize() > 1)
            line->orderIndexes.SetSize(1);
        if (line->representedLines.GetSize() > 1)
            line->representedLines.SetSize(1);
    }
}

void COrderLines::SetStockByProduct(const std::string& name, int value)
{
    for (COrderLine* line : *this)
        if (line->productName == name)
            line->stockForAutoAssign = value;
}

int COrderLines::GetStockByProduct(const std::string& name) const
{
    for (const COrderLine* line : *this)
        if (line->productName == name)
            return line->stockForAutoAssign;
    return -1;
}

// ---- CTruckOrderLines -------------------------------------------------------------------------

void CTruckOrderLines::AddLine(const COrderLine* line, float volume)
{
    lines.Add(line);
    volumes.Add(volume);
    compartmentPriorities.Add(line ? line->compartmentPriority : 0);
    flags.Add(0);
    bytes.Add(0);
    totalVolume += volume;
}

int CTruckOrderLines::RemoveLine(const COrderLine& line, bool mixedBulk)
{
    for (int i = 0; i < lines.GetSize(); ++i) {
        const COrderLine* held = lines[i];
        if (!held || held->productIndex != line.productIndex)
            continue;
        if (!(held->mixBulk && mixedBulk) && volumes[i] != line.volume)
            continue;
        volumes[i] -= line.volume;
        totalVolume -= line.volume;
        if (volumes[i] > kRemovedVolume)
            continue;
        lines.RemoveAt(i);
        volumes.RemoveAt(i);
        compartmentPriorities.RemoveAt(i);
        flags.RemoveAt(i);
        bytes.RemoveAt(i);
        return i;
    }
    return -1;
}

// ---- Exchange through the catalogue -------------------------------------------------------------

bool COrderLine::ReadWithOrder(COrder& order, CFieldRecord& record, const TFieldMap* names)
{
    CTrevantorVariables& catalogue = TrevantorVariables();
    return catalogue.ReadEntity(ENTITY_ORDER, order, record, 0, names) &&
           catalogue.ReadEntity(ENTITY_ORDER_LINE, *this, record, 0, names);
}

bool COrderLine::WriteLine(CFieldRecord& record)
{
    return TrevantorVariables().WriteEntity(ENTITY_ORDER_LINE, *this, record, 0);
}

bool COrderLine::ApplyCalculatedFields(CFetch& fetch, COrder& order)
{
    FetchTextMap expressions;
    fetch.GetFieldExpressions(expressions);
    if (expressions.empty())
        return false;
    CTrevantorVariables& catalogue = TrevantorVariables();
    CFetchFieldRecord record(fetch);
    fetch.SetMode(FETCH_MODE_WRITE);
    catalogue.WriteEntity(ENTITY_ORDER_WITHOUT_LINES, order, record, 0);
    WriteLine(record);
    fetch.StripListWrappers();
    fetch.CloseRecordset();
    fetch.EvaluateFields(expressions);

    const TFieldMap names(expressions.begin(), expressions.end());
    // A line read back accumulates into nothing: it is this line.
    CUserParameters& parameters = UserParameters();
    const int neverDuplicate = std::exchange(parameters.NuncaDuplicarLineas, 1);
    const bool read = ReadWithOrder(order, record, &names);
    parameters.NuncaDuplicarLineas = neverDuplicate;
    fetch.SetMode(FETCH_MODE_READ);
    return read;
}
