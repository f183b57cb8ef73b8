#include "params/TrevantorVariablesKeys.h"

#include "KLV/Trace.h"

#include <cstdint>
#include <typeinfo>
#include <vector>

namespace {

// Whether the catalogue kind's variable takes part: step one of reading and writing.
int CheckCatalogueVariable(const TVarKeyStruct* v, int usageBit, const TFieldMap* fields)
{
    if (!v)
        return 0;
    if (!(v->usageMask & usageBit))
        return 1;
    if (fields && fields->find(v->name) == fields->end())
        return 1;
    return -1;
}

// The interface the variable's member locates in the entity; null when it locates something
// else or nothing.
template <class Interface> Interface* Locate(const TVarKeyStruct& v, const TEntityRef& entity)
{
    if (!v.member || v.member->StorageType() != typeid(Interface))
        return nullptr;
    return static_cast<Interface*>(v.member->Locate(entity));
}

template <class Array> auto At(const Array& items, int index, decltype(items[0]) fallback)
{
    return index < items.GetSize() ? items[index] : fallback;
}

// A tank identifier that names a tank of the record: set, a tank number and not taken yet.
bool TakeIdentifier(const CSmartIntArray& identifiers, int position, std::vector<bool>& used,
                    const char* what)
{
    if (position >= identifiers.GetSize())
        return false;
    const int identifier = identifiers[position];
    if (identifier == kEmptyListItem)
        return false;
    if (identifier < 0 || identifier >= static_cast<int>(used.size())) {
        TRV_TRACE(2, "CTrevantorVariablesKeys::ReadOtherKind",
                  "TANKS_IDS %d at position %d names no tank: %s skipped", identifier, position,
                  what);
        return false;
    }
    if (used[static_cast<std::size_t>(identifier)])
        return false;
    used[static_cast<std::size_t>(identifier)] = true;
    return true;
}

} // namespace

int CTrevantorVariablesKeys::ReadCustom(int index, const TEntityRef& entity, CFieldRecord& record,
                                        int direct, const TFieldMap* fields)
{
    const TVarKeyStruct* v = GetVariable(index);
    if (const int skip = CheckCatalogueVariable(v, VAR_USE_READ, fields); skip >= 0)
        return skip;
    switch (v->kind) {
    case VAR_TANK_SET: {
        if (v->itemNames.GetSize() != kTankSetItems)
            return 0;
        CTankSetVariable* tanks = Locate<CTankSetVariable>(*v, entity);
        if (!tanks) {
            TRV_TRACE(1, "CTrevantorVariablesKeys::ReadOtherKind", "%s: entity without tanks",
                      v->GetKeyName().c_str());
            return 0;
        }
        return ReadTankSet(*v, *tanks, record, direct, fields);
    }
    case VAR_RESOURCE_PERMISSIONS: {
        if (v->itemNames.GetSize() != kPermissionItems)
            return 0;
        CPermissionListsVariable* order = Locate<CPermissionListsVariable>(*v, entity);
        if (!order) {
            TRV_TRACE(1, "CTrevantorVariablesKeys::ReadOtherKind",
                      "%s: entity without permission lists", v->GetKeyName().c_str());
            return 0;
        }
        return ReadPermissions(*v, *order, record, direct, fields);
    }
    default:
        return 2;
    }
}

int CTrevantorVariablesKeys::ReadTankSet(const TVarKeyStruct& v, CTankSetVariable& tanks,
                                         CFieldRecord& record, int direct, const TFieldMap* fields)
{
    const CSmartStringArray& items = v.itemNames;
    const TFieldRead how{.required = v.required != 0, .direct = direct != 0, .fields = fields};
    const CSmartFloatArray capacities = record.GetFieldListFloat(items[TANK_ITEM_CAPACITIES], how);
    const CSmartIntArray identifiers = record.GetFieldListInt(items[TANK_ITEM_IDENTIFIERS], how);
    CSmartIntArray perTank = record.GetFieldListInt(items[TANK_ITEM_INITIAL_PER_TANK], how);
    const CSmartIntArray initialProducts =
        record.GetFieldListInt(items[TANK_ITEM_INITIAL_PRODUCTS], how);
    CSmartStringArray productsLoaded;
    record.GetFieldListStrings(items[TANK_ITEM_PRODUCTS_LOADED], productsLoaded, how);
    const CSmartFloatArray quantities =
        record.GetFieldListFloat(items[TANK_ITEM_QUANTITIES_LOADED], how);
    const CSmartIntArray fixedProducts =
        record.GetFieldListInt(items[TANK_ITEM_FIXED_PRODUCTS], how);
    CSmartStringArray groups;
    record.GetFieldListStrings(items[TANK_ITEM_COMPATIBILITY_GROUPS], groups, how);
    const CSmartIntArray rules = record.GetFieldListInt(items[TANK_ITEM_COMPARTMENT_RULES], how);

    // Identifiers are tank numbers 0 .. capacities - 1, each used once.
    const bool withIdentifiers = identifiers.GetSize() > 0;
    int tanksAdded = 0;
    {
        std::vector<bool> used(static_cast<std::size_t>(capacities.GetSize()), false);
        for (int i = 0; i < capacities.GetSize(); ++i) {
            if (capacities[i] <= 0.0f)
                continue;
            if (withIdentifiers && !TakeIdentifier(identifiers, i, used, "tank"))
                continue;
            tanks.InsertSortedCapacity(capacities[i], At(rules, i, 0));
            tanks.SetCompatibilityGroup(i, At(groups, i, std::string()));
            if (withIdentifiers)
                tanks.SetTankIdentifier(i, identifiers[i]);
            ++tanksAdded;
        }
    }

    if (perTank.GetSize() == 0 && initialProducts.GetSize() > 0 && initialProducts[0] != -1) {
        for (int tank = 0; tank < tanks.GetTankCount(); ++tank) {
            int count = 0;
            for (const int identifier : identifiers)
                count += identifier == tank ? 1 : 0;
            perTank.Add(count);
        }
    }
    int tanksWithProducts = 0;
    for (const int count : perTank)
        tanksWithProducts += count > 0 ? 1 : 0;
    tanks.SetInitialGroups(perTank, tanksWithProducts, initialProducts, fixedProducts);

    if (tanksAdded == 0)
        return 1;
    int linesAdded = 0;
    std::vector<bool> used(static_cast<std::size_t>(capacities.GetSize()), false);
    for (int i = 0; i < quantities.GetSize(); ++i) {
        if (quantities[i] <= 0.0f)
            continue;
        if (withIdentifiers && !TakeIdentifier(identifiers, i, used, "load"))
            continue;
        tanks.AddInitialLoadLine(At(productsLoaded, i, std::string()), quantities[i],
                                 !withIdentifiers);
        if (withIdentifiers)
            tanks.SetLoaded();
        ++linesAdded;
    }
    for (int line = linesAdded; linesAdded > 0 && line < tanksAdded; ++line)
        tanks.AddInitialLoadLine(std::string(), 0.0f, false);
    return 1;
}

int CTrevantorVariablesKeys::ReadPermissions(const TVarKeyStruct& v,
                                             CPermissionListsVariable& order, CFieldRecord& record,
                                             int direct, const TFieldMap* fields)
{
    CSmartSortNoRepeatStringArray lists[kPermissionItems];
    for (int list = 0; list < kPermissionItems; ++list) {
        CSmartStringArray read;
        record.GetFieldList(v.itemNames[list], read, std::string(), true, v.maximum,
                            {.required = v.required != 0, .direct = direct != 0, .fields = fields});
        for (const std::string& item : read)
            if (lists[list].Find(item) < 0)
                lists[list].AddSorted(item);
    }
    order.AddOrderResourceCodes(
        lists[PERMISSION_NON_ALLOWED_RESOURCES], lists[PERMISSION_NON_ALLOWED_DRIVERS],
        lists[PERMISSION_ALLOWED_RESOURCES], lists[PERMISSION_ALLOWED_DRIVERS]);
    return 1;
}

int CTrevantorVariablesKeys::WriteCustom(int index, const TEntityRef& entity, CFieldRecord& record,
                                         int, int outputFlag, const TFieldMap* fields)
{
    const TVarKeyStruct* v = GetVariable(index);
    if (const int skip = CheckCatalogueVariable(v, VAR_USE_WRITE, fields); skip >= 0)
        return skip;
    switch (v->kind) {
    case VAR_TANK_SET: {
        const CTankSetVariable* tanks = Locate<CTankSetVariable>(*v, entity);
        if (!tanks) {
            TRV_TRACE(1, "CTrevantorVariablesKeys::WriteOtherKind", "%s: entity without tanks",
                      v->GetKeyName().c_str());
            return 0;
        }
        if (tanks->GetTankCount() == 0)
            return 1;
        if (v->itemNames.GetSize() != kTankSetItems)
            return 0;
        return WriteTankSet(*v, *tanks, record, outputFlag);
    }
    case VAR_RESOURCE_PERMISSIONS: {
        if (v->itemNames.GetSize() != kPermissionItems)
            return 0;
        const CPermissionListsVariable* order = Locate<CPermissionListsVariable>(*v, entity);
        if (!order) {
            TRV_TRACE(1, "CTrevantorVariablesKeys::WriteOtherKind",
                      "%s: entity without permission lists", v->GetKeyName().c_str());
            return 0;
        }
        return WritePermissions(*v, *order, record, outputFlag);
    }
    default:
        return 2;
    }
}

int CTrevantorVariablesKeys::WriteTankSet(const TVarKeyStruct& v, const CTankSetVariable& tanks,
                                          CFieldRecord& record, int outputFlag)
{
    const CSmartStringArray& items = v.itemNames;
    const TFieldWrite how{.storeOnly = outputFlag != 0};
    const TFieldWrite appended{.append = true, .storeOnly = outputFlag != 0};
    const TFieldWrite numbers{.storeOnly = outputFlag != 0, .raw = v.rawFloat != 0};
    CSmartFloatArray capacities;
    CSmartIntArray identifiers;
    CSmartIntArray counts;
    CSmartIntArray fixedProducts;
    CSmartStringArray groups;
    CSmartIntArray rules;
    for (int i = 0; i < tanks.GetTankCount(); ++i) {
        const TTankSetEntry tank = tanks.GetTank(i);
        // One list per tank, added to the field's earlier values.
        record.SetFieldListInt(items[TANK_ITEM_INITIAL_PRODUCTS], tank.initialProducts, appended);
        capacities.Add(tank.capacity);
        identifiers.Add(tank.identifier);
        counts.Add(tank.initialProductCount);
        fixedProducts.Add(tank.fixedProduct);
        groups.Add(tank.compatibilityGroup);
        rules.Add(tank.compartmentRule);
    }
    record.SetFieldListFloat(items[TANK_ITEM_CAPACITIES], capacities, numbers);
    record.SetFieldListInt(items[TANK_ITEM_IDENTIFIERS], identifiers, how);
    record.SetFieldListInt(items[TANK_ITEM_INITIAL_PER_TANK], counts, how);
    record.SetFieldListInt(items[TANK_ITEM_FIXED_PRODUCTS], fixedProducts, how);
    record.SetFieldListString(items[TANK_ITEM_COMPATIBILITY_GROUPS], groups, how);
    record.SetFieldListInt(items[TANK_ITEM_COMPARTMENT_RULES], rules, how);
    if (tanks.GetInitialLoadCount() == 0)
        return 1;
    CSmartStringArray names;
    CSmartFloatArray volumes;
    for (int i = 0; i < tanks.GetInitialLoadCount(); ++i) {
        std::string name;
        float volume = 0.0f;
        tanks.GetInitialLoadLine(i, name, volume);
        names.Add(name);
        volumes.Add(volume);
    }
    record.SetFieldListString(items[TANK_ITEM_PRODUCTS_LOADED], names, how);
    record.SetFieldListFloat(items[TANK_ITEM_QUANTITIES_LOADED], volumes, numbers);
    return 1;
}

int CTrevantorVariablesKeys::WritePermissions(const TVarKeyStruct& v,
                                              const CPermissionListsVariable& order,
                                              CFieldRecord& record, int outputFlag)
{
    for (int list = 0; list < kPermissionItems; ++list) {
        const CSmartStringArray items = order.GetPermissionList(list);
        if (items.GetSize() > 0)
            record.SetFieldListString(v.itemNames[list], items, {.storeOnly = outputFlag != 0});
    }
    return 1;
}

// ---- Dialog column sets ----------------------------------------------------------------------

void TTrevantorVariablesShowed::AddColumn(const TVarKeyStruct& variable, int entityKind,
                                          const std::string& width)
{
    TVarKeyStruct* copy = AddVariable(
        variable.name, variable.kind, variable.member, variable.defaultValue, variable.captionKey,
        variable.explanationKey, variable.required, variable.usageMask, variable.maximum,
        variable.minimum, variable.rawFloat, variable.secondMaximum);
    if (!copy)
        return;
    copy->itemNames = variable.itemNames;
    copy->holderKind = variable.holderKind;
    m_columnKinds.Add(entityKind);
    m_columnWidths.Add(width);
}

int TTrevantorVariablesShowed::GetColumnEntityKind(int column) const
{
    return column >= 0 && column < m_columnKinds.GetSize() ? m_columnKinds[column] : 0;
}

std::string TTrevantorVariablesShowed::GetColumnWidth(int column) const
{
    return column >= 0 && column < m_columnWidths.GetSize() ? m_columnWidths[column]
                                                            : std::string();
}

void TTrevantorVariablesShowed::SetColumnWidth(int column, const std::string& width)
{
    if (column >= 0 && column < m_columnWidths.GetSize())
        m_columnWidths[column] = width;
}

void TTrevantorVariablesShowed::RemoveAllColumns()
{
    RemoveAllVariables();
    m_columnKinds.SetSize(0);
    m_columnWidths.SetSize(0);
}
