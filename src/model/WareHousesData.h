#pragma once

#include "containers/SmartArray.h"

#include <cstdint>
#include <string>
#include <vector>

class COrder;

// Dock slots and stocks of one warehouse (or one loading dock code) while a plan is decoded:
// the remaining capacity of every slot of the day and the remaining stock of every product.
class CWareHouseData
{
  public:
    // Counters from a docks-per-slot list: a shorter list is first extended in place with its
    // last value; an empty one changes nothing.
    void FillFromList(CSmartWordArray& list);
    // Moves a loading that arrives at `arrivalMinute` and lasts `durationMinutes` to a run of
    // slots with room for `quantity`; gives the run and returns the shift in minutes (0 when
    // the arrival's own run has room or lies outside the day).
    int FindSlots(int arrivalMinute, int durationMinutes, int& firstSlot, int& slotCount,
                  int quantity) const;
    // Books a loading in `slotCount` slots from `firstSlot`; returns the slot after the run.
    int TakeSlots(int firstSlot, int slotCount, int quantity);
    int TakeSlotsAt(int minute, int durationMinutes, int quantity);
    // FindSlots, the shift added to `waitMinutes`, then TakeSlots.
    int FindAndTakeSlots(int minute, int durationMinutes, int& waitMinutes, int quantity);
    // With docks controlled, `count` counters at 0 unless there are that many already.
    void ResizeSlots(int count);
    // With stocks controlled, one stock 0 per product.
    void ResizeStocks();
    void CopyTo(CWareHouseData& other) const;

    int GetSlotCount() const { return static_cast<int>(counters.size()); }

    std::vector<uint16_t> counters; // free docks (mode 1) or quantity left (modes 2, 3) per slot
    std::vector<float> stocks;      // by product index
    int32_t slotMinutes = 15;       // 60 / slots per hour, as in force at the list's reset
    int32_t dockMode = 0;           // "ControlDocks": 1 docks, 2 half the quantity, 3 all of it

  private:
    bool IsUsable(int slot, int quantity) const;
    int SlotsOfDuration(int durationMinutes) const;
};

// One entry per warehouse, then one per loading dock key of the orders' own warehouses.
// Each evaluation workspace owns one; the program-wide one holds the best plan's state.
class CWareHousesData : public CSmartPtrArray<CWareHouseData>
{
  public:
    // Rebuilds a workspace's list from the warehouses and orders, at full capacity.
    void Reset();
    // Builds the program-wide list's entries, whatever the parameters say, without filling.
    void Build();
    // Counters and stocks of every entry sized for the parameters in force.
    void SizeEntries();
    // Every entry the warehouses or orders give capacities to back at full capacity: one copy
    // of what the last reset computed, so the decoding neither allocates nor reads texts.
    void FillCapacities();
    // Counters and stocks of every entry into the program-wide list's entry at its position.
    void CopyToGlobal() const;
    // Also forgets the full capacities.
    void RemoveAll();

    int GetSlotsPerHour() const { return m_slotsPerHour; }

  private:
    // What FillCapacities writes into one entry.
    struct TFullCapacity
    {
        int entry = -1;
        bool hasCounters = false;
        std::vector<uint16_t> counters;
        std::vector<std::pair<int, float>> stocks; // product index, stock
    };

    void AddEntries();
    void ComputeFullCapacities();

    int m_slotsPerHour = 4;
    std::vector<TFullCapacity> m_fullCapacities;
};

// The loading dock key of an order's own warehouse: its dock code, else its code, upper case.
std::string LoadingDockKey(const COrder& order);
// The program-wide list emptied.
void ClearGlobalWareHousesData();
