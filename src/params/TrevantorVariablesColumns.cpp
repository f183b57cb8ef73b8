// The customizable dialogs' columns: their built-in layouts, the saved layouts of the columns
// file, the column sets resolved to catalogue variables and the options models the columns tab
// edits.

#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <algorithm>
#include <initializer_list>
#include <span>
#include <string_view>

namespace {

constexpr const char* kLayoutSection = "Customizable dialogs";
constexpr const char* kGroupByKeySuffix = "_TOTALS_FILTER";
// The additional-value kinds, in the order their columns follow a built-in layout.
constexpr int kAdditionalValueKinds[] = {VAR_REQUIREMENTS, VAR_ORDER_INFO, VAR_ORDER_LINE_INFO,
                                         VAR_RESOURCE_INFO};
constexpr int kShownUsage = VAR_USE_SHOWN | VAR_USE_LEADING;
constexpr int kShownSecondUsage = VAR_USE_SHOWN_SECOND | VAR_USE_LEADING_SECOND;
constexpr const char* kCompositeSeparator = " + ";

// ---- The dialogs' entities ---------------------------------------------------------------------

// A key set a dialog shows; a secondary one offers only the columns of the first column set.
struct TDialogKeys
{
    int slot;
    bool secondary = false;
};

std::span<const TDialogKeys> DialogKeySets(int dialog)
{
    static constexpr TDialogKeys orders[] = {{KEYS_ORDER}, {KEYS_CUSTOMER}, {KEYS_ORDER_LINE}};
    static constexpr TDialogKeys resources[] = {
        {KEYS_TRUCK}, {KEYS_TRAILER}, {KEYS_DRIVER}, {KEYS_RESOURCE}};
    static constexpr TDialogKeys scheduledResources[] = {{KEYS_TRUCK},        {KEYS_TRAILER},
                                                         {KEYS_DRIVER},       {KEYS_RESOURCE},
                                                         {KEYS_LORRY_TOTALS}, {KEYS_TRIP_TOTALS}};
    static constexpr TDialogKeys stops[] = {{KEYS_STOP_POINT},  {KEYS_LOCATION},
                                            {KEYS_ORDER, true}, {KEYS_CUSTOMER, true},
                                            {KEYS_TRUCK},       {KEYS_TRAILER}};
    static constexpr TDialogKeys warehouses[] = {{KEYS_WAREHOUSE}};
    static constexpr TDialogKeys orderLines[] = {{KEYS_ORDER_LINE}, {KEYS_CUSTOMER}};
    switch (dialog) {
    case DIALOG_ORDERS:
    case DIALOG_ORDERS_WIZARD:
    case DIALOG_SERVICE_ORDERS:
        return orders;
    case DIALOG_RESOURCES:
    case DIALOG_RESOURCES_WIZARD:
    case DIALOG_SERVICE_RESOURCES:
        return resources;
    case DIALOG_SCHEDULED_RESOURCES:
        return scheduledResources;
    case DIALOG_SCHEDULED_TRIPS:
    case DIALOG_STOP_POINTS:
        return stops;
    case DIALOG_WAREHOUSES:
    case DIALOG_SERVICE_WAREHOUSES:
        return warehouses;
    case DIALOG_ORDER_LINES:
        return orderLines;
    default:
        return {};
    }
}

// ---- Built-in layouts --------------------------------------------------------------------------

// One column of a built-in layout; a name in parentheses is one column named by two item keys.
struct TLayoutColumn
{
    std::string_view name;
    char flag;
    int width = -1;
};

constexpr TLayoutColumn kOrdersLayout[] = {
    {"ORDER_CODE", 'T'},
    {"ORDER_TYPE", 'T'},
    {"DEACTIVATED", 'F'},
    {"CUSTOMER_CODE", 'F'},
    {"CUSTOMER_NAME", 'T'},
    {"CUSTOMER_CITY", 'T'},
    {"CUSTOMER_CP", 'T'},
    {"CUSTOMER_STREET", 'F'},
    {"CUSTOMER_TIME", 'T'},
    {"(CUSTOMER_START_TIME,CUSTOMER_END_TIME)", 'T'},
    {"(ASSIGNED_CUSTOMER_START_TIME,ASSIGNED_CUSTOMER_END_TIME)", 'F'},
    {"CUSTOMER_COUNTRY", 'F'},
    {"FROM_DAY", 'F'},
    {"TO_DAY", 'F'},
    {"WAREHOUSE_CODE", 'T'},
    {"WAREHOUSE_NAME", 'T'},
    {"WAREHOUSE_TIME", 'T'},
    {"WAREHOUSE_AVAILABLE_DOCKS", 'F'},
    {"WAREHOUSE_CITY", 'T'},
    {"WAREHOUSE_CP", 'T'},
    {"WAREHOUSE_STREET", 'F'},
    {"(WAREHOUSE_START_TIME,WAREHOUSE_END_TIME)", 'F'},
    {"WAREHOUSE_COUNTRY", 'F'},
    {"PRODUCT_NAME", 'F'},
    {"PRODUCT_NUMBER_OF_ITEMS", 'F'},
    {"PRODUCT_MULTIPLICATIVE1", 'F'},
    {"PRODUCT_MULTIPLICATIVE_VOLUME", 'F'},
    {"PRODUCT_QUANTITY", 'F'},
    {"PRODUCT_VOLUME", 'F'},
    {"PRODUCT_TIME_AT_WAREHOUSE", 'F'},
    {"PRODUCT_TIME_AT_CUSTOMER", 'F'},
    {"PRODUCT_IN_BULK", 'F'},
    {"PRODUCT_TYPE", 'F'},
    {"PRODUCT_TYPE_GROUP", 'F'},
    {"TOTAL_QUANTITY", 'T'},
    {"TOTAL_VOLUME", 'T'},
    {"TOTAL_NUMBER_OF_ORDER_LINES", 'F'},
    {"ROUNDTRIP", 'F'},
    {"ASSIGNED_TRUCK", 'F'},
    {"ORDER_FIXED_FARES", 'F'},
    {"PENALTY_BY_LOCATION", 'F'},
    {"GROUPING_INDEX", 'F'},
    {"LAST_ORDER_OF_TRIP", 'F'},
    {"PLATAFORMA_DISTRIBUCION_CODE", 'F'},
    {"PLATAFORMA_DISTRIBUCION_COST", 'F'},
};
// The wizard's and the web service's order tables show only these of the orders' columns.
constexpr std::string_view kShortOrdersShown[] = {"ORDER_CODE",     "ORDER_TYPE",
                                                  "CUSTOMER_NAME",  "WAREHOUSE_NAME",
                                                  "TOTAL_QUANTITY", "TOTAL_VOLUME"};

constexpr TLayoutColumn kResourcesLayout[] = {
    {"TRAILER_CODE", 'T'},        {"TRUCK_BASE_CODE", 'F'},
    {"TRUCK_BASE_NAME", 'F'},     {"TRUCK_BASE_CITY", 'T'},
    {"TRUCK_BASE_CP", 'T'},       {"TRUCK_BASE_STREET", 'F'},
    {"TRAILER_CAPACITY", 'T'},    {"TRAILER_CAPACITY2", 'T'},
    {"DRIVER_NAME", 'T'},         {"(DRIVER_START,DRIVER_END)", 'T'},
    {"DRIVER_MAX_DRIVE", 'T'},    {"DRIVER_MAX_WORK", 'F'},
    {"TRUCK_HOURLY_COST", 'F'},   {"TRUCK_KM_COST", 'F'},
    {"DRIVER_HOURLY_COST", 'F'},  {"RESOURCE_DEACTIVATED", 'F'},
    {"SPEED_LEVEL_ID", 'F'},      {"RESOURCE_AVAILABLE_DAYS", 'F'},
    {"RESOURCE_FICTITIOUS", 'F'},
};
// The wizard's and the web service's resource tables differ from the resource grid in these.
constexpr TLayoutColumn kShortResourcesChanges[] = {
    {"TRUCK_BASE_CP", 'F'}, // becomes TRUCK_CP_BASE, not shown
    {"DRIVER_MAX_DRIVE", 'F'},
};
constexpr std::string_view kShortResourcesPostcode = "TRUCK_CP_BASE";

constexpr TLayoutColumn kScheduledResourcesLayout[] = {
    {"TRAILER_CODE", 'T', 70},
    {"TRUCK_BASE_CODE", 'F', 70},
    {"TRUCK_BASE_NAME", 'F', 70},
    {"TRUCK_BASE_CITY", 'F', 70},
    {"TRUCK_CP_BASE", 'F', 50},
    {"TRUCK_BASE_STREET", 'F', 70},
    {"TRAILER_CAPACITY", 'T', 70},
    {"TRAILER_CAPACITY2", 'T', 70},
    {"DRIVER_NAME", 'T', 90},
    {"(DRIVER_START,DRIVER_END)", 'F', 70},
    {"DRIVER_MAX_DRIVE", 'F', 50},
    {"DRIVER_MAX_WORK", 'F', 50},
    {"TRUCK_HOURLY_COST", 'F', 50},
    {"TRUCK_KM_COST", 'F', 50},
    {"DRIVER_HOURLY_COST", 'F', 50},
    {"RESOURCE_DEACTIVATED", 'F', 40},
    {"SPEED_LEVEL_ID", 'F', 50},
    {"RESOURCE_AVAILABLE_DAYS", 'F', 40},
    {"TOTAL_KM", 'T', 50},
    {"TOTAL_COST", 'T', 50},
    {"WORKING_TIME", 'T', 50},
    {"EXTRA_WORKING_TIME", 'T', 50},
    {"DRIVING_TIME", 'T', 50},
    {"EXTRA_DRIVING_TIME", 'T', 50},
    {"TIME_OUT_OF_TIME_WINDOWS", 'T', 50},
    {"RESOURCE_FICTITIOUS", 'F'},
};

constexpr TLayoutColumn kScheduledTripsLayout[] = {
    {"STOP_POINT_TYPE", 'T', 50},
    {"TRAILER_CODE", 'T', 50},
    {"LOCATION_CODE", 'F', 70},
    {"LOCATION_NAME", 'T', 80},
    {"LOCATION_CITY", 'T', 70},
    {"LOCATION_PC", 'T', 50},
    {"LOCATION_STREET", 'F', 70},
    {"LOCATION_STREETNR", 'F', 40},
    {"LOCATION_LONGITUDE", 'F', 50},
    {"LOCATION_LATITUDE", 'F', 50},
    {"LOCATION_NODE_CODE", 'F', 50},
    {"STOP_POINT_KM", 'T', 60},
    {"STOP_POINT_EXTRA_KM", 'F', 60},
    {"SCHEDULING_DATE + STOP_DAYS", 'T', 70},
    {"(STOP_POINT_START,STOP_POINT_END)", 'T', 100},
    {"(LOCATION_START_TIME,LOCATION_END_TIME)", 'T', 100},
    {"STOP_POINT_QUANTITY", 'T', 50},
    {"STOP_POINT_VOLUME", 'T', 50},
    {"ORDER_CODE", 'F', 70},
    {"ORDER_DEACTIVATED", 'F', 40},
    {"CUSTOMER_TIME", 'F', 50},
    {"FROM_DAY", 'F', 70},
    {"TO_DAY", 'F', 70},
    {"WAREHOUSE_TIME", 'F', 50},
    {"ROUNDTRIP", 'F', 40},
    {"ASSIGNED_TRUCK", 'F', 40},
    {"LAST_ORDER_OF_TRIP", 'F'},
    {"PLATAFORMA_DISTRIBUCION_CODE", 'F'},
    {"PLATAFORMA_DISTRIBUCION_COST", 'F'},
    {"#WEEK#SCHEDULING_DATE + STOP_DAYS", 'F'},
};

constexpr TLayoutColumn kWarehousesLayout[] = {
    {"WAREHOUSE_CODE", 'T'},    {"WAREHOUSE_NAME", 'T'},
    {"WAREHOUSE_TIME", 'T'},    {"WAREHOUSE_AVAILABLE_DOCKS", 'T'},
    {"WAREHOUSE_CITY", 'T'},    {"WAREHOUSE_CP", 'T'},
    {"WAREHOUSE_STREET", 'T'},  {"(WAREHOUSE_START_TIME,WAREHOUSE_END_TIME)", 'T'},
    {"WAREHOUSE_COUNTRY", 'F'},
};

constexpr TLayoutColumn kOrderLinesLayout[] = {
    {"CUSTOMER_CODE", 'F'},
    {"CUSTOMER_NAME", 'T'},
    {"CUSTOMER_CITY", 'T'},
    {"CUSTOMER_CP", 'T'},
    {"CUSTOMER_STREET", 'F'},
    {"CUSTOMER_TIME", 'T'},
    {"(CUSTOMER_START_TIME,CUSTOMER_END_TIME)", 'T'},
    {"(ASSIGNED_CUSTOMER_START_TIME,ASSIGNED_CUSTOMER_END_TIME)", 'F'},
    {"CUSTOMER_COUNTRY", 'F'},
    {"PRODUCT_NAME", 'T'},
    {"PRODUCT_NUMBER_OF_ITEMS", 'T'},
    {"PRODUCT_MULTIPLICATIVE1", 'T'},
    {"PRODUCT_MULTIPLICATIVE_VOLUME", 'T'},
    {"PRODUCT_QUANTITY", 'T'},
    {"PRODUCT_VOLUME", 'T'},
    {"PRODUCT_TIME_AT_WAREHOUSE", 'F'},
    {"PRODUCT_TIME_AT_CUSTOMER", 'F'},
    {"PRODUCT_IN_BULK", 'F'},
    {"PRODUCT_TYPE", 'F'},
    {"PRODUCT_TYPE_GROUP", 'F'},
};

constexpr TLayoutColumn kStopPointsLayout[] = {
    {"LOCATION_NAME", 'T', 80},
    {"TRIP_NUMBER", 'T', 50},
    {"SUBTRIP_NUMBER", 'T', 50},
};

template <class Names> bool Contains(const Names& names, std::string_view name)
{
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// The dialog's built-in columns (before its additional-value columns).
std::vector<TLayoutColumn> BuiltInColumns(int dialog)
{
    switch (dialog) {
    case DIALOG_ORDERS:
        return {std::begin(kOrdersLayout), std::end(kOrdersLayout)};
    case DIALOG_ORDERS_WIZARD:
    case DIALOG_SERVICE_ORDERS: {
        std::vector<TLayoutColumn> columns(std::begin(kOrdersLayout), std::end(kOrdersLayout));
        for (TLayoutColumn& column : columns)
            column.flag = Contains(kShortOrdersShown, column.name) ? 'T' : 'F';
        return columns;
    }
    case DIALOG_RESOURCES:
        return {std::begin(kResourcesLayout), std::end(kResourcesLayout)};
    case DIALOG_RESOURCES_WIZARD:
    case DIALOG_SERVICE_RESOURCES: {
        std::vector<TLayoutColumn> columns(std::begin(kResourcesLayout),
                                           std::end(kResourcesLayout));
        for (TLayoutColumn& column : columns) {
            for (const TLayoutColumn& change : kShortResourcesChanges) {
                if (column.name != change.name)
                    continue;
                column.flag = change.flag;
                if (column.name == "TRUCK_BASE_CP")
                    column.name = kShortResourcesPostcode;
            }
        }
        return columns;
    }
    case DIALOG_SCHEDULED_RESOURCES:
        return {std::begin(kScheduledResourcesLayout), std::end(kScheduledResourcesLayout)};
    case DIALOG_SCHEDULED_TRIPS:
        return {std::begin(kScheduledTripsLayout), std::end(kScheduledTripsLayout)};
    case DIALOG_WAREHOUSES:
    case DIALOG_SERVICE_WAREHOUSES:
        return {std::begin(kWarehousesLayout), std::end(kWarehousesLayout)};
    case DIALOG_ORDER_LINES:
        return {std::begin(kOrderLinesLayout), std::end(kOrderLinesLayout)};
    case DIALOG_STOP_POINTS:
        return {std::begin(kStopPointsLayout), std::end(kStopPointsLayout)};
    default:
        return {};
    }
}

// ---- The file's lists --------------------------------------------------------------------------

std::string DialogKey(int dialog, const char* suffix = "")
{
    return std::to_string(dialog) + suffix;
}

// Column names: text outside parentheses splits at ",", text inside is one name.
void SplitColumnNames(std::string_view text, CSmartStringArray& names)
{
    names.SetSize(0);
    CSmartStringArray pieces;
    while (!text.empty()) {
        const std::size_t open = text.find('(');
        SplitString(text.substr(0, open), pieces, ",", false);
        for (const std::string& piece : pieces)
            if (!piece.empty())
                names.Add(piece);
        if (open == std::string_view::npos)
            break;
        text.remove_prefix(open + 1);
        const std::size_t close = text.find(')');
        const std::string_view inside = text.substr(0, close);
        if (!inside.empty())
            names.Add(std::string(inside));
        text = close == std::string_view::npos ? std::string_view() : text.substr(close + 1);
    }
}

// Flags: "T" 1, "F" 0, "S" 2 after trimming; any other item is left out, which leaves the
// list shorter than the names and the layout unusable.
void SplitColumnFlags(std::string_view text, CSmartIntArray& flags, bool allShown)
{
    flags.SetSize(0);
    CSmartStringArray items;
    SplitString(text, items, ",", false);
    for (const std::string& item : items) {
        const std::string_view letter = trv::Trim(item);
        if (allShown)
            flags.Add(1);
        else if (letter == "T")
            flags.Add(1);
        else if (letter == "F")
            flags.Add(0);
        else if (letter == "S")
            flags.Add(2);
    }
}

void SplitColumnWidths(std::string_view text, CSmartStringArray& widths)
{
    SplitString(text, widths, ",", false);
    for (std::string& width : widths)
        width = std::string(trv::Trim(width));
}

const char* FlagLetter(int state)
{
    return state == 0 ? "F" : (state == 3 ? "S" : "T");
}

void RemoveColumn(int column, CSmartStringArray& names, CSmartIntArray& flags,
                  CSmartStringArray& widths)
{
    if (column < names.GetSize())
        names.RemoveAt(column);
    if (column < flags.GetSize())
        flags.RemoveAt(column);
    if (column < widths.GetSize())
        widths.RemoveAt(column);
}

} // namespace

// ---- Reading layouts ---------------------------------------------------------------------------

void CTrevantorVariables::AddRequirementDefaults(int dialog, std::string& names, std::string& flags,
                                                 std::string& widths, int kind) const
{
    for (const TDialogKeys& keys : DialogKeySets(dialog))
        m_keySets[static_cast<size_t>(keys.slot)].ExpandListColumns(names, flags, widths, kind);
}

void CTrevantorVariables::GetDefaultLayout(int dialog, std::string& names, std::string& flags,
                                           std::string& widths) const
{
    names.clear();
    flags.clear();
    widths.clear();
    for (const TLayoutColumn& column : BuiltInColumns(dialog)) {
        const char* separator = names.empty() ? "" : ",";
        names += separator + std::string(column.name);
        flags += separator + std::string(1, column.flag);
        widths += separator + std::to_string(column.width);
    }
    for (const int kind : kAdditionalValueKinds)
        AddRequirementDefaults(dialog, names, flags, widths, kind);
}

void CTrevantorVariables::RemoveUndefinedRequirementColumns(int dialog, CSmartStringArray& names,
                                                            CSmartIntArray& flags,
                                                            CSmartStringArray& widths,
                                                            int kind) const
{
    for (int column = names.GetSize() - 1; column >= 0; --column) {
        bool undefined = false;
        for (const TDialogKeys& dialogKeys : DialogKeySets(dialog)) {
            const CTrevantorVariablesKeys& keys = m_keySets[static_cast<size_t>(dialogKeys.slot)];
            const CVariableDefinitionList* list = keys.GetDefinitionList(kind);
            const int definitions = list ? list->GetDefinitionCount() : 0;
            for (int i = 0; i < keys.GetSize() && !undefined; ++i) {
                const TVarKeyStruct& variable = *keys.GetVariable(i);
                if (variable.kind != kind)
                    continue;
                const int index =
                    CVariablesKeys::ParseIndexedName(names[column], variable.GetKeyName());
                undefined = index >= definitions;
            }
        }
        if (undefined)
            RemoveColumn(column, names, flags, widths);
    }
}

bool CTrevantorVariables::ReadDialogLayout(int dialog, CSmartStringArray& names,
                                           CSmartIntArray& flags, CSmartStringArray& widths,
                                           bool builtInOnly, bool allShown) const
{
    std::string nameText;
    std::string flagText;
    std::string widthText;
    std::string defaultText;
    if (!builtInOnly && !ColumnsFilePath.empty()) {
        nameText = trv::GetProfileString(kLayoutSection, DialogKey(dialog), "", ColumnsFilePath);
        flagText =
            trv::GetProfileString(kLayoutSection, DialogKey(dialog, "_BOOLS"), "", ColumnsFilePath);
        widthText = trv::GetProfileString(kLayoutSection, DialogKey(dialog, "_WIDTHS"), "",
                                          ColumnsFilePath);
        defaultText = trv::GetProfileString(kLayoutSection, DialogKey(dialog, "_DEFAULT"), "",
                                            ColumnsFilePath);
    }
    const bool builtIn = nameText.empty() || flagText.empty() || defaultText.starts_with('Y');
    if (builtIn)
        GetDefaultLayout(dialog, nameText, flagText, widthText);
    SplitColumnNames(nameText, names);
    SplitColumnFlags(flagText, flags, allShown);
    SplitColumnWidths(widthText, widths);
    for (const int kind : kAdditionalValueKinds)
        RemoveUndefinedRequirementColumns(dialog, names, flags, widths, kind);
    // A built-in layout hides what the planning parameters leave out of use; a saved one keeps
    // the user's choice.
    if (builtIn && !allShown && names.GetSize() > 0 && names.GetSize() == flags.GetSize() &&
        names.GetSize() == widths.GetSize()) {
        for (int column = 0; column < names.GetSize(); ++column)
            if (IsNotApplicable(dialog, names[column]))
                flags[column] = 0;
    }
    return builtIn;
}

// ---- Column sets -------------------------------------------------------------------------------

bool CTrevantorVariables::FindColumnVariable(int dialog, TVarKeyStruct& record, bool group,
                                             int& entityKind, const std::string& name) const
{
    for (const TDialogKeys& dialogKeys : DialogKeySets(dialog)) {
        const CTrevantorVariablesKeys& keys = m_keySets[static_cast<size_t>(dialogKeys.slot)];
        if (keys.FindVariable(name, &record) < 0)
            continue;
        entityKind = keys.m_nEntityKind;
        if (dialog == DIALOG_SCHEDULED_RESOURCES && group)
            record.usageMask |= kGroupByUsage;
        return true;
    }
    return false;
}

void CTrevantorVariables::AddColumnFrom(TTrevantorVariablesShowed& columns,
                                        const CVariablesKeys& source, const TVarKeyStruct& record,
                                        const std::string& width)
{
    // An additional-value column shows its definition's value: the set needs the list.
    if (IsListKind(record.kind))
        columns.SetDefinitionList(record.kind, source.GetDefinitionList(record.kind));
    columns.AddColumn(record, source.m_nEntityKind, width);
}

bool CTrevantorVariables::LoadDialogColumns(int dialog, int& count, bool allShown)
{
    count = 0;
    TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!columns)
        return false;
    CSmartStringArray names;
    CSmartIntArray flags;
    CSmartStringArray widths;
    columns->m_bDefaultsUsed = ReadDialogLayout(dialog, names, flags, widths, false, allShown);
    if (names.GetSize() != flags.GetSize() || names.GetSize() != widths.GetSize())
        return columns->m_bDefaultsUsed != 0;

    columns->RemoveAllColumns();
    const auto addColumn = [&](const std::string& name, bool group, const std::string& width) {
        TVarKeyStruct record;
        int entityKind = 0;
        if (FindColumnVariable(dialog, record, group, entityKind, name))
            AddColumnFrom(*columns, *GetKeysOfEntity(entityKind), record, width);
    };
    for (int column = 0; column < names.GetSize(); ++column) {
        if (flags[column] == 0)
            continue;
        const std::string& name = names[column];
        const bool group = flags[column] == 2;
        // A composite column evaluates its parts among the set's own records: they come first.
        if (name.find(kCompositeSeparator) != std::string::npos) {
            CSmartStringArray parts;
            SplitString(name, parts, kCompositeSeparator, false);
            for (const std::string& part : parts)
                addColumn(part, group, "");
        }
        addColumn(name, group, widths[column]);
    }
    count = columns->GetColumnCount();
    return columns->m_bDefaultsUsed != 0;
}

void CTrevantorVariables::ResetDialogColumns(int dialog)
{
    TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!columns)
        return;
    columns->RemoveAllColumns();
    if (dialog != DIALOG_SERVICE_ORDERS && dialog != DIALOG_SERVICE_RESOURCES)
        return;
    for (const TDialogKeys& dialogKeys : DialogKeySets(dialog)) {
        const CTrevantorVariablesKeys& keys = m_keySets[static_cast<size_t>(dialogKeys.slot)];
        for (int i = 0; i < keys.GetSize(); ++i)
            AddColumnFrom(*columns, keys, *keys.GetVariable(i), "");
    }
}

bool CTrevantorVariables::IsColumnUsage(int dialog, int usageMask) const
{
    const TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!columns || (usageMask & kGroupByUsage))
        return false;
    const int shown =
        columns->m_nUsageSelector != 0 ? kShownUsage | kShownSecondUsage : kShownUsage;
    return (usageMask & shown) != 0;
}

void CTrevantorVariables::GetShownColumnWidths(int dialog, CSmartStringArray& widths) const
{
    widths.SetSize(0);
    const TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!columns)
        return;
    for (int column = 0; column < columns->GetColumnCount(); ++column)
        if (IsColumnUsage(dialog, columns->GetVariable(column)->usageMask))
            widths.Add(columns->GetColumnWidth(column));
}

const TVarKeyStruct* CTrevantorVariables::GetShownColumnVariable(int dialog, int column) const
{
    const TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    const TVarKeyStruct* variable = columns ? columns->GetVariable(column) : nullptr;
    return variable && IsColumnUsage(dialog, variable->usageMask) ? variable : nullptr;
}

bool CTrevantorVariables::DialogShowsLineVariables(int dialog) const
{
    const TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!columns)
        return false;
    const bool customerInLines = UserParameters().CustomerInOrderLines != 0;
    for (int column = 0; column < columns->GetColumnCount(); ++column) {
        const std::string key = columns->GetVariable(column)->GetKeyName();
        if (IsOrderLineVariable(key) || (customerInLines && IsCustomerVariable(key)))
            return true;
    }
    return false;
}

const TVarKeyStruct* CTrevantorVariables::GetScheduledResourcesVariable(int column) const
{
    const TTrevantorVariablesShowed* columns = GetDialogColumns(DIALOG_SCHEDULED_RESOURCES);
    return columns ? columns->GetVariable(column) : nullptr;
}

void CTrevantorVariables::ConvertScheduledResourcesValue(int column, float& number,
                                                         std::string& text, int kindOverride) const
{
    if (const TTrevantorVariablesShowed* columns = GetDialogColumns(DIALOG_SCHEDULED_RESOURCES))
        columns->ConvertValueText(column, number, text, kindOverride);
}

int CTrevantorVariables::GetScheduledTripsEntityKind(int column) const
{
    const TTrevantorVariablesShowed* columns = GetDialogColumns(DIALOG_SCHEDULED_TRIPS);
    return columns ? columns->GetColumnEntityKind(column) : 0;
}

// ---- Options models ----------------------------------------------------------------------------

bool CTrevantorVariables::BuildColumnOptions(int dialog, bool builtInOnly)
{
    TVarsShowed* options = GetDialogOptions(dialog);
    TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!options || !columns)
        return false;
    options->RemoveAll();
    CSmartStringArray names;
    CSmartIntArray flags;
    CSmartStringArray widths;
    columns->m_bDefaultsUsed = ReadDialogLayout(dialog, names, flags, widths, builtInOnly, false);
    if (names.GetSize() != flags.GetSize() || names.GetSize() != widths.GetSize())
        return false;

    const bool customerInLines = UserParameters().CustomerInOrderLines != 0;
    int leading = 0;
    for (const TDialogKeys& dialogKeys : DialogKeySets(dialog)) {
        if (dialog == DIALOG_ORDER_LINES && dialogKeys.slot == KEYS_CUSTOMER && !customerInLines)
            continue;
        CVariablesKeys::BuildShownColumns(m_keySets[static_cast<size_t>(dialogKeys.slot)], *options,
                                          leading, !dialogKeys.secondary, nullptr);
    }
    if (dialog == DIALOG_SCHEDULED_RESOURCES && !ColumnsFilePath.empty())
        m_strGroupByKey = trv::GetProfileString(
            kLayoutSection, DialogKey(dialog, kGroupByKeySuffix), "", ColumnsFilePath);
    options->ApplySavedLayout(names, flags, widths, leading);
    return true;
}

// ---- Writing layouts ---------------------------------------------------------------------------

std::vector<std::pair<std::string, std::string>>
CTrevantorVariables::DialogLayoutKeys(int dialog, const CSmartIntArray* gridWidths, int gridColumns)
{
    TVarsShowed* options = GetDialogOptions(dialog);
    TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!options || !columns)
        return {};

    // The entries by their positions; a position no entry holds (a name saved twice) is
    // left out rather than written as an empty column.
    std::vector<int> byPosition(static_cast<size_t>(options->GetCount()));
    for (int entry = 0; entry < options->GetCount(); ++entry)
        byPosition[static_cast<size_t>(entry)] = entry;
    std::stable_sort(byPosition.begin(), byPosition.end(),
                     [&](int a, int b) { return options->order[a] < options->order[b]; });

    CSmartStringArray builtInNames;
    CSmartIntArray builtInFlags;
    CSmartStringArray builtInWidths;
    ReadDialogLayout(dialog, builtInNames, builtInFlags, builtInWidths, true, false);
    const bool withGrid = gridWidths && gridWidths->GetSize() == gridColumns;

    std::string names;
    std::string flags;
    std::string widths;
    for (const int entry : byPosition) {
        if (options->order[entry] == 0)
            continue;
        const std::string& key = options->keyNames[entry];
        std::string width = options->widths[entry];
        if (withGrid) {
            // The grid shows the shown columns in column order.
            int column = -1;
            int gridColumn = -1;
            for (int i = 0; i < columns->GetColumnCount(); ++i) {
                const TVarKeyStruct* variable = columns->GetVariable(i);
                const bool shown = IsColumnUsage(dialog, variable->usageMask);
                gridColumn += shown ? 1 : 0;
                if (variable->GetKeyName() == key) {
                    column = shown ? i : -1;
                    break;
                }
            }
            const int builtIn = builtInNames.FindFrom(0, key);
            if (column >= 0 && gridColumn < gridWidths->GetSize()) {
                width = std::to_string((*gridWidths)[gridColumn]);
                columns->SetColumnWidth(column, width);
            } else if (builtIn >= 0 && builtIn < builtInWidths.GetSize()) {
                width = builtInWidths[builtIn];
                for (int i = 0; i < columns->GetColumnCount(); ++i)
                    if (columns->GetVariable(i)->GetKeyName() == key)
                        columns->SetColumnWidth(i, width);
            }
        }
        const char* separator = flags.empty() ? "" : ",";
        names += separator + (key.find(',') != std::string::npos ? "(" + key + ")" : key);
        flags += separator + std::string(FlagLetter(options->states[entry]));
        widths += separator + width;
    }

    std::vector<std::pair<std::string, std::string>> keys = {
        {DialogKey(dialog), names},
        {DialogKey(dialog, "_BOOLS"), flags},
        {DialogKey(dialog, "_WIDTHS"), widths},
        {DialogKey(dialog, "_DEFAULT"), columns->m_bDefaultsUsed ? "YES" : "NO"},
    };
    if (dialog == DIALOG_SCHEDULED_RESOURCES)
        keys.emplace_back(DialogKey(dialog, kGroupByKeySuffix), m_strGroupByKey);
    return keys;
}

void CTrevantorVariables::WriteDialogLayout(int dialog, const CSmartIntArray* gridWidths,
                                            int gridColumns)
{
    const auto keys = DialogLayoutKeys(dialog, gridWidths, gridColumns);
    if (keys.empty() || ColumnsFilePath.empty())
        return;
    if (!trv::WriteProfileSection(kLayoutSection, keys, ColumnsFilePath))
        TRV_TRACE(1, "CTrevantorVariables::WriteDialogLayout", "dialog %d not written to %s",
                  dialog, ColumnsFilePath.c_str());
}

void CTrevantorVariables::WriteDefaultFlags()
{
    if (ColumnsFilePath.empty())
        return;
    std::vector<std::pair<std::string, std::string>> keys;
    for (int dialog = 0; dialog < m_dialogColumns.GetSize(); ++dialog)
        keys.emplace_back(DialogKey(dialog, "_DEFAULT"),
                          m_dialogColumns[dialog]->m_bDefaultsUsed ? "YES" : "NO");
    if (!trv::WriteProfileSection(kLayoutSection, keys, ColumnsFilePath))
        TRV_TRACE(1, "CTrevantorVariables::WriteDefaultFlags", "not written to %s",
                  ColumnsFilePath.c_str());
}

void CTrevantorVariables::CreateDialogColumnSets()
{
    for (int dialog = 0; dialog < kDialogCount; ++dialog) {
        auto* columns = new TTrevantorVariablesShowed;
        columns->m_nUsageSelector = dialog == DIALOG_SCHEDULED_TRIPS ? 0 : 1;
        m_dialogColumns.Add(columns);
        m_dialogOptions.Add(new TVarsShowed);
    }
    // Every layout is rewritten at once: one replacement of the file.
    std::vector<std::pair<std::string, std::string>> keys;
    for (int dialog = 0; dialog < kDialogCount; ++dialog) {
        if (!BuildColumnOptions(dialog, false) && !ColumnsFilePath.empty()) {
            // The unusable layout is replaced by empty lists: keep it where it can be found.
            const auto saved = [&](const char* suffix) {
                return trv::GetProfileString(kLayoutSection, DialogKey(dialog, suffix), "",
                                             ColumnsFilePath);
            };
            TRV_TRACE(1, "CTrevantorVariables::Init",
                      "dialog %d: columns, flags and widths differ in number; the saved layout "
                      "%s=%s %s=%s %s=%s is replaced by the built-in one",
                      dialog, DialogKey(dialog).c_str(), saved("").c_str(),
                      DialogKey(dialog, "_BOOLS").c_str(), saved("_BOOLS").c_str(),
                      DialogKey(dialog, "_WIDTHS").c_str(), saved("_WIDTHS").c_str());
        }
        for (auto& key : DialogLayoutKeys(dialog, nullptr, 0))
            keys.push_back(std::move(key));
    }
    if (!ColumnsFilePath.empty() &&
        !trv::WriteProfileSection(kLayoutSection, keys, ColumnsFilePath))
        TRV_TRACE(1, "CTrevantorVariables::Init", "the dialog layouts were not written to %s",
                  ColumnsFilePath.c_str());
}
