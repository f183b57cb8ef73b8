#include "model/WareHousesData.h"

#include "model/ModelContext.h"
#include "params/Parameters.h"
#include "platform/Text.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

constexpr int kMinutesPerDay = 1440;

// Slots per hour as the parameter gives them, kept where a slot lasts at least one minute.
int SlotsPerHourInForce()
{
    return std::clamp(UserParameters().DocksDisponiblesPorHora, 1, 60);
}

// Walks the orders' loading dock keys in list order, numbering each at its first appearance.
template <class Visit> void ForEachFirstDockKey(Visit visit)
{
    std::unordered_map<std::string, int> numbers;
    for (COrder* order : ModelContext().orders) {
        const auto [found, isNew] =
            numbers.try_emplace(LoadingDockKey(*order), static_cast<int>(numbers.size()));
        visit(*order, found->second, isNew);
    }
}

} // namespace

std::string LoadingDockKey(const COrder& order)
{
    const CWareHouse& copy = order.wareHouse;
    return trv::ToUpper(copy.dockCode.empty() ? copy.GetCode() : copy.dockCode);
}

// ---- One entry ----------------------------------------------------------------------------

void CWareHouseData::FillFromList(CSmartWordArray& list)
{
    const int slots = GetSlotCount();
    if (list.GetSize() == 0)
        return;
    const unsigned short last = list[list.GetSize() - 1];
    while (list.GetSize() < slots)
        list.Add(last);
    const int count = std::min(slots, list.GetSize());
    for (int slot = 0; slot < count; ++slot)
        counters[static_cast<std::size_t>(slot)] = list[slot];
}

int CWareHouseData::SlotsOfDuration(int durationMinutes) const
{
    const int slots = durationMinutes <= 0 ? 0 : (durationMinutes + slotMinutes - 1) / slotMinutes;
    return slots == 0 ? 1 : slots;
}

bool CWareHouseData::IsUsable(int slot, int quantity) const
{
    const int left = counters[static_cast<std::size_t>(slot)];
    if (left == 0)
        return false;
    if (dockMode == 2)
        return left > quantity / 2;
    if (dockMode == 3)
        return left > quantity;
    return true;
}

int CWareHouseData::FindSlots(int arrivalMinute, int durationMinutes, int& firstSlot,
                              int& slotCount, int quantity) const
{
    const int slots = GetSlotCount();
    int slot = arrivalMinute / slotMinutes;
    const int count = SlotsOfDuration(durationMinutes);
    firstSlot = slot;
    slotCount = count;
    if (arrivalMinute < 0 || arrivalMinute > kMinutesPerDay || slot + count > slots)
        return 0;
    const bool backwards = dockMode == 2;
    for (bool first = true;; first = false) {
        bool usable = true;
        for (int i = slot; i < slot + count && usable; ++i)
            usable = IsUsable(i, quantity);
        if (usable) {
            firstSlot = slot;
            return first ? 0 : slotMinutes * slot - arrivalMinute;
        }
        if (backwards) {
            if (--slot == -1)
                break;
        } else if (++slot + count > slots) {
            slot = slots;
            break;
        }
    }
    firstSlot = slot;
    return slotMinutes * slot - arrivalMinute;
}

int CWareHouseData::TakeSlots(int firstSlot, int slotCount, int quantity)
{
    const int slots = GetSlotCount();
    if (firstSlot == slots)
        return firstSlot;
    const int taken = dockMode == 2 || dockMode == 3 ? quantity : 1;
    const int from = std::max(firstSlot, 0);
    const int to = std::min(firstSlot + slotCount, slots);
    for (int slot = from; slot < to; ++slot) {
        uint16_t& left = counters[static_cast<std::size_t>(slot)];
        if (left == 0)
            continue;
        // A booking beyond what is left empties the slot instead of wrapping around.
        const int remaining = std::clamp(static_cast<int>(left) - taken, 0,
                                         static_cast<int>(std::numeric_limits<uint16_t>::max()));
        left = static_cast<uint16_t>(remaining);
    }
    return firstSlot + slotCount;
}

int CWareHouseData::TakeSlotsAt(int minute, int durationMinutes, int quantity)
{
    return TakeSlots(minute / slotMinutes, SlotsOfDuration(durationMinutes), quantity);
}

int CWareHouseData::FindAndTakeSlots(int minute, int durationMinutes, int& waitMinutes,
                                     int quantity)
{
    int firstSlot = 0;
    int slotCount = 0;
    waitMinutes += FindSlots(minute, durationMinutes, firstSlot, slotCount, quantity);
    return TakeSlots(firstSlot, slotCount, quantity);
}

void CWareHouseData::ResizeSlots(int count)
{
    if (UserParameters().ControlDocks != 0 && GetSlotCount() != count)
        counters.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
}

void CWareHouseData::ResizeStocks()
{
    if (UserParameters().ControlStocks != 0)
        stocks.assign(static_cast<std::size_t>(ModelContext().products.GetSize()), 0.0f);
}

void CWareHouseData::CopyTo(CWareHouseData& other) const
{
    // Both lists have one shape; a shorter array still never takes more than it holds.
    std::copy_n(counters.begin(), std::min(counters.size(), other.counters.size()),
                other.counters.begin());
    std::copy_n(stocks.begin(), std::min(stocks.size(), other.stocks.size()), other.stocks.begin());
}

// ---- The list -----------------------------------------------------------------------------

void CWareHousesData::AddEntries()
{
    m_slotsPerHour = SlotsPerHourInForce();
    const int slotMinutes = 60 / m_slotsPerHour;
    const int dockMode = UserParameters().ControlDocks;
    auto addEntry = [&] {
        CWareHouseData* entry = new CWareHouseData;
        entry->slotMinutes = slotMinutes;
        entry->dockMode = dockMode;
        Add(entry);
    };
    for (int w = 0; w < ModelContext().wareHouses.GetSize(); ++w)
        addEntry();
    const int loadingProblem = UserParameters().LoadingProblem;
    if (loadingProblem != 2 && loadingProblem != 5)
        return;
    // Key number i uses entry i whatever the number of warehouses: the appended entries only
    // make the list long enough.
    ForEachFirstDockKey([&](COrder& order, int number, bool isNew) {
        if (order.wareHouse.dockDataIndex != number)
            order.wareHouse.dockDataIndex = number;
        if (isNew)
            addEntry();
    });
}

void CWareHousesData::Reset()
{
    RemoveAll();
    const CUserParameters& parameters = UserParameters();
    if (parameters.ControlDocks == 0 && parameters.ControlStocks == 0)
        return;
    AddEntries();
    SizeEntries();
    ComputeFullCapacities();
    FillCapacities();
}

void CWareHousesData::Build()
{
    RemoveAll();
    AddEntries();
    SizeEntries();
}

void CWareHousesData::SizeEntries()
{
    const int slots = 24 * m_slotsPerHour;
    for (CWareHouseData* entry : *this) {
        entry->ResizeSlots(slots);
        entry->ResizeStocks();
    }
}

void CWareHousesData::ComputeFullCapacities()
{
    m_fullCapacities.clear();
    const CUserParameters& parameters = UserParameters();
    const int entries = GetSize();
    // The counters an entry gets from a docks list, without touching the list itself: the
    // warehouses are shared by every workspace.
    auto fromList = [&](int entry, const CSmartWordArray& docks) {
        TFullCapacity full;
        full.entry = entry;
        full.hasCounters = true;
        CWareHouseData image = *(*this)[entry];
        CSmartWordArray list;
        list.Copy(docks);
        image.FillFromList(list);
        full.counters = std::move(image.counters);
        return full;
    };
    switch (parameters.LoadingProblem) {
    case 2:
    case 4:
    case 5:
        if (parameters.ControlDocks == 0)
            return;
        ForEachFirstDockKey([&](COrder& order, int number, bool isNew) {
            if (isNew && number < entries)
                m_fullCapacities.push_back(fromList(number, order.wareHouse.docksPerSlot));
        });
        return;
    case 3: {
        const CWareHouses& wareHouses = ModelContext().wareHouses;
        const int count = std::min(entries, wareHouses.GetSize());
        for (int w = 0; w < count; ++w) {
            const CWareHouse& wareHouse = *wareHouses[w];
            TFullCapacity full;
            if (parameters.ControlDocks == 2 || parameters.ControlDocks == 3)
                full = fromList(w, wareHouse.docksPerSlot);
            full.entry = w;
            if (parameters.ControlStocks != 0)
                for (const TProductWareHouse* product : wareHouse.products)
                    full.stocks.emplace_back(product->productIndex, product->stock);
            m_fullCapacities.push_back(std::move(full));
        }
        return;
    }
    default:
        return;
    }
}

void CWareHousesData::FillCapacities()
{
    for (const TFullCapacity& full : m_fullCapacities) {
        CWareHouseData& entry = *(*this)[full.entry];
        if (full.hasCounters)
            std::copy(full.counters.begin(), full.counters.end(), entry.counters.begin());
        for (const auto& [product, stock] : full.stocks)
            if (product >= 0 && product < static_cast<int>(entry.stocks.size()))
                entry.stocks[static_cast<std::size_t>(product)] = stock;
    }
}

void CWareHousesData::CopyToGlobal() const
{
    CWareHousesData& global = ModelContext().wareHousesData;
    const int count = std::min(GetSize(), global.GetSize());
    for (int i = 0; i < count; ++i)
        (*this)[i]->CopyTo(*global[i]);
}

void CWareHousesData::RemoveAll()
{
    SetSize(0);
    m_fullCapacities.clear();
}

void ClearGlobalWareHousesData()
{
    ModelContext().wareHousesData.RemoveAll();
}
