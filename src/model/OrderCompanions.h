#pragma once

#include "model/ConditionedIncompatibilities.h"
#include "params/FieldRecord.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The small tables that travel with the orders: product incompatibility pairs, conditioned
// incompatibilities between the last load unloaded and the next one, additives and customer
// days off. Each has its own data definitions and, for the plan's own files, its own file
// named like the orders file.

// Where the orders being read come from: the definitions, the import's source kind (1 the
// plan's own file, 2 an exchange, 3 the company's import, 4 the internal database) and the
// orders file.
struct TOrdersSource
{
    CFieldRecordSource* definitions = nullptr;
    int sourceKind = 0;
    std::string ordersFile;
};

// The companion of an orders file: a final ".ord" (any letter case) replaced by the extension;
// empty for any other name, whose companions are then their definitions' own sources. Folders
// keep their names ("d.ord/x.ord" gives "d.ord/x.add").
std::string OrderCompanionFile(const std::string& ordersFile, std::string_view extension);

// One conditioned rule: below the minimum quantity (0 or less: always) the group unloaded
// after may not follow the group unloaded before.
struct TIncompatibility
{
    double minimumQuantity = 0.0; // "MIN QUANTITY"
    int resourceType = -1;        // "RESOURCE TYPE"; -1 for the last-trip rules
    int level = 0;                // "NIVEL"
    std::string groupBefore;      // "UNLOAD BEFORE"
    std::string groupAfter;       // "UNLOAD AFTER"
};

// The rules of one vehicle type (and the last-trip rules) as a square matrix by group positions
// (row: the group unloaded before, column: the one after); empty cells hold no rule.
class CIncompatiblesTipoVeh
{
  public:
    explicit CIncompatiblesTipoVeh(int groups = 0) { Resize(groups); }

    // Keeps the rules whose cells exist in both sizes.
    void Resize(int groups);
    int GetGroupCount() const { return m_groups; }
    // The rule of the cell, created empty when the cell has none; the cell must exist.
    TIncompatibility& Cell(int before, int after);
    // Null for an empty cell or one outside the matrix.
    const TIncompatibility* Find(int before, int after) const;
    bool IsEmpty() const;
    // Every rule in cell order (row after row).
    template <class Visit> void ForEachRule(Visit&& visit) const
    {
        for (const auto& cell : m_cells)
            if (cell)
                visit(*cell);
    }

  private:
    int m_groups = 0;
    std::vector<std::unique_ptr<TIncompatibility>> m_cells;
};

// The order list's conditioned tables: the last-unload rules of each vehicle type (slot 0 never
// used) over the program-wide last-unload groups, and the last-trip rules over the last-trip
// groups. The tanks read the thresholds of the last-unload rules through the interface.
class COrderConditionedTables : public CConditionedIncompatibilities
{
  public:
    bool HasMatrix(int vehicleType) const override;
    std::optional<float> GetThreshold(int vehicleType, int group, int nextGroup) const override;

    // The matrix of a vehicle type (1 and up), made or grown to hold `groups` groups.
    CIncompatiblesTipoVeh& EnsureVehicleType(int vehicleType, int groups);
    // Null when the type has no matrix.
    const CIncompatiblesTipoVeh* GetVehicleType(int vehicleType) const;
    // One past the highest vehicle type that has a slot.
    int GetVehicleTypeSlots() const { return static_cast<int>(m_vehicleTypes.size()); }
    bool HasLastUnloadRules() const;

    CIncompatiblesTipoVeh& LastTrip() { return m_lastTrip; }
    const CIncompatiblesTipoVeh& LastTrip() const { return m_lastTrip; }
    bool HasLastTripRules() const { return !m_lastTrip.IsEmpty(); }

    void Clear();

  private:
    std::vector<std::unique_ptr<CIncompatiblesTipoVeh>> m_vehicleTypes;
    CIncompatiblesTipoVeh m_lastTrip;
};
