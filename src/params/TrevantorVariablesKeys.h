#pragma once

#include "containers/SmartArray.h"
#include "params/VariablesKeys.h"

#include <cstdint>
#include <string>

// The catalogue's own kinds: a variable spanning a fixed set of list fields that only the
// catalogue's key sets convert.
enum CatalogueVariableKind : int
{
    VAR_TANK_SET = 101,             // a trailer's tanks: nine list fields
    VAR_RESOURCE_PERMISSIONS = 102, // an order's four permission lists
};

inline constexpr int kTankSetItems = 9;
inline constexpr int kPermissionItems = 4;

// Positions of the Tank set's item keys, in the order the trailer registers them.
enum TankSetItem : int
{
    TANK_ITEM_CAPACITIES = 0,       // TANKS
    TANK_ITEM_IDENTIFIERS,          // TANKS_IDS
    TANK_ITEM_INITIAL_PER_TANK,     // INITIAL_IFES_FOR_EACH_TANKS
    TANK_ITEM_INITIAL_PRODUCTS,     // INITIAL_IFES
    TANK_ITEM_PRODUCTS_LOADED,      // PRODUCTS_LOADED
    TANK_ITEM_QUANTITIES_LOADED,    // QUANTITIES_LOADED
    TANK_ITEM_FIXED_PRODUCTS,       // IFES_FIJOS
    TANK_ITEM_COMPATIBILITY_GROUPS, // PRODUCT_COMPATIBILITY_GROUPS
    TANK_ITEM_COMPARTMENT_RULES,    // COMPARTMENT_RULES
};

// The four permission lists of an order, in the order of the item keys.
enum PermissionList : int
{
    PERMISSION_NON_ALLOWED_RESOURCES = 0,
    PERMISSION_NON_ALLOWED_DRIVERS,
    PERMISSION_ALLOWED_RESOURCES,
    PERMISSION_ALLOWED_DRIVERS,
};

// One tank as a Tank set variable writes it.
struct TTankSetEntry
{
    float capacity = 0.0f;
    int identifier = 0;
    int initialProductCount = 0;
    int fixedProduct = 0;
    int compartmentRule = 0;
    std::string compatibilityGroup;
    CSmartIntArray initialProducts;
};

// A trailer's tanks and initial load as the Tank set variable (kind 101) moves them; the fleet
// model's trailer implements it and its registration's member locates this interface.
class CTankSetVariable
{
  public:
    virtual ~CTankSetVariable() = default;

    // ---- Reading ----------------------------------------------------------------------------
    // Adds a tank keeping the tanks ordered by capacity; its index among the tanks.
    virtual int InsertSortedCapacity(float capacity, int compartmentRule) = 0;
    // Entry `position` of the per-tank lists, by the record's position of the tank.
    virtual void SetCompatibilityGroup(int position, const std::string& group) = 0;
    virtual void SetTankIdentifier(int position, int identifier) = 0;
    // The initial products: how many each tank holds, how many tanks hold any, the product
    // numbers and the fixed products.
    virtual void SetInitialGroups(const CSmartIntArray& countPerTank, int tanksWithProducts,
                                  const CSmartIntArray& initialProducts,
                                  const CSmartIntArray& fixedProducts) = 0;
    // Appends a line to the initial load; `withIncompatibilityGroup` also makes the product
    // the line's last-trip incompatibility group.
    virtual void AddInitialLoadLine(const std::string& product, float quantity,
                                    bool withIncompatibilityGroup) = 0;
    virtual void SetLoaded() = 0;

    // ---- Writing ----------------------------------------------------------------------------
    virtual int GetTankCount() const = 0;
    // Tank `index` in the tank set's order.
    virtual TTankSetEntry GetTank(int index) const = 0;
    virtual int GetInitialLoadCount() const = 0;
    virtual void GetInitialLoadLine(int index, std::string& productName, float& volume) const = 0;
};

// An order's four permission lists as the Resource permissions variable (kind 102) moves
// them; the demand model's order implements it and its registration's member locates it.
class CPermissionListsVariable
{
  public:
    virtual ~CPermissionListsVariable() = default;

    // Replaces the four lists (sorted, distinct); empty items are not kept.
    virtual void AddOrderResourceCodes(const CSmartSortNoRepeatStringArray& nonAllowedResources,
                                       const CSmartSortNoRepeatStringArray& nonAllowedDrivers,
                                       const CSmartSortNoRepeatStringArray& allowedResources,
                                       const CSmartSortNoRepeatStringArray& allowedDrivers) = 0;
    // One list by PermissionList.
    virtual CSmartStringArray GetPermissionList(int list) const = 0;
};

// The key set of one entity kind in the catalogue: the generic key set plus the kinds Tank
// set and Resource permissions.
class CTrevantorVariablesKeys : public CVariablesKeys
{
  public:
    // 0 failed (the entity's read stops), 1 done or skipped, 2 not a catalogue kind.
    int ReadCustom(int index, const TEntityRef& entity, CFieldRecord& record, int direct,
                   const TFieldMap* fields) override;
    int WriteCustom(int index, const TEntityRef& entity, CFieldRecord& record, int outputIndex,
                    int outputFlag, const TFieldMap* fields) override;

  private:
    int ReadTankSet(const TVarKeyStruct& v, CTankSetVariable& tanks, CFieldRecord& record,
                    int direct, const TFieldMap* fields);
    int ReadPermissions(const TVarKeyStruct& v, CPermissionListsVariable& order,
                        CFieldRecord& record, int direct, const TFieldMap* fields);
    int WriteTankSet(const TVarKeyStruct& v, const CTankSetVariable& tanks, CFieldRecord& record,
                     int outputFlag);
    int WritePermissions(const TVarKeyStruct& v, const CPermissionListsVariable& order,
                         CFieldRecord& record, int outputFlag);
};

// The columns in use of one customizable dialog: its records are copies of the columns'
// variables in column order, each with the entity kind it is shown for and its width text.
class TTrevantorVariablesShowed : public CTrevantorVariablesKeys
{
  public:
    // Appends a column showing a copy of `variable` for entities of `entityKind`.
    void AddColumn(const TVarKeyStruct& variable, int entityKind, const std::string& width);
    int GetColumnCount() const { return GetSize(); }
    int GetColumnEntityKind(int column) const;
    std::string GetColumnWidth(int column) const;
    void SetColumnWidth(int column, const std::string& width);
    // Empties the columns, their entity kinds and widths.
    void RemoveAllColumns();

    int m_nUsageSelector = 1; // 0 for the scheduled-trips dialog: only bits 4 and 8 count
    int m_bDefaultsUsed = 0;  // the layout came from the built-in one

  private:
    CSmartIntArray m_columnKinds;
    CSmartStringArray m_columnWidths;
};
