#pragma once

#include "KLV/NumberFormat.h"
#include "containers/SmartArray.h"
#include "params/EntityNavigation.h"
#include "params/TrevantorVariablesKeys.h"
#include "params/Variables.h"
#include "params/VarsShowed.h"
#include "platform/OleDate.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CFetch;

// Entity kinds: which entity a key set binds, which a dialog column shows and which the entity
// operations move.
enum EntityKind : int
{
    ENTITY_ORDER = 1,
    ENTITY_ORDER_LINE = 2,
    ENTITY_TRUCK = 3,
    ENTITY_TRAILER = 4,
    ENTITY_DRIVER = 5,
    ENTITY_RESOURCE = 6, // a lorry-driver pair
    ENTITY_LORRY_TOTALS = 9,
    ENTITY_TRIP_TOTALS = 10, // driver and trip totals of a planned vehicle
    ENTITY_STOP_POINT = 11,
    ENTITY_LOCATION = 12,
    ENTITY_LOCATION_ENTRY = 13, // its key set carries -1
    ENTITY_WAREHOUSE = 14,
    ENTITY_CUSTOMER = 15,
    ENTITY_ORDER_WITHOUT_LINES = 17, // written with its delivery point only
};

// The seventeen key sets; the first thirteen have builders, in the order Init runs them.
enum CatalogueKeySet : int
{
    KEYS_ORDER = 0,
    KEYS_ORDER_LINE,
    KEYS_CUSTOMER,
    KEYS_TRUCK,
    KEYS_TRAILER,
    KEYS_DRIVER,
    KEYS_RESOURCE,
    KEYS_LORRY_TOTALS,
    KEYS_TRIP_TOTALS,
    KEYS_STOP_POINT,
    KEYS_LOCATION,
    KEYS_LOCATION_ENTRY,
    KEYS_WAREHOUSE,
    KEYS_BUILT_COUNT, // the remaining key sets stay empty
    KEYS_ORDER_ADDITIONAL_INFO = KEYS_BUILT_COUNT,
    KEYS_RESOURCE_ADDITIONAL_INFO,
    KEYS_SPARE_1,
    KEYS_SPARE_2,
    KEYS_COUNT,
};

inline constexpr int kDialogCount = 12;

// The customizable dialogs; the number is also the name of the dialog's keys in the columns
// file.
enum CustomizableDialog : int
{
    DIALOG_ORDERS = 0,
    DIALOG_ORDERS_WIZARD = 1,
    DIALOG_RESOURCES = 2,
    DIALOG_RESOURCES_WIZARD = 3,
    DIALOG_SCHEDULED_RESOURCES = 4,
    DIALOG_SCHEDULED_TRIPS = 5,
    DIALOG_WAREHOUSES = 6,
    DIALOG_ORDER_LINES = 7,
    DIALOG_STOP_POINTS = 8,
    DIALOG_SERVICE_ORDERS = 9,
    DIALOG_SERVICE_RESOURCES = 10,
    DIALOG_SERVICE_WAREHOUSES = 11,
};

// Usage bit set at run time on the scheduled-resources column the rows are grouped by: such a
// column is never a shown one.
inline constexpr int kGroupByUsage = 0x40;
// The constant that stop dates count from.
inline constexpr const char* kSchedulingDateToken = "SCHEDULING_DATE";

class CTrevantorVariables;

// Registers one entity's variables in its key set; the models provide them.
using TVariablesBuilder = std::function<void(CTrevantorVariables&, CTrevantorVariablesKeys&)>;

// The program-wide registry of entity variables: one key set per entity kind, the dialog column
// sets and options models, the formats and the field widths.
class CTrevantorVariables : public CVariables
{
  public:
    CTrevantorVariables();
    ~CTrevantorVariables() override;
    CTrevantorVariables(const CTrevantorVariables&) = delete;
    CTrevantorVariables& operator=(const CTrevantorVariables&) = delete;

    // ---- Building -------------------------------------------------------------------------------
    // Empties the dialog sets, loads the widths, runs the builders, creates the twelve dialog
    // sets and applies the formats. Run once per process.
    void Init();
    // The builder Init runs for key set `slot` (KEYS_ORDER .. KEYS_WAREHOUSE).
    void SetBuilder(int slot, TVariablesBuilder builder);
    void InitOrderVariables();
    void InitOrderLineVariables();
    void InitCustomerVariables();
    void InitTruckVariables();
    void InitTrailerVariables();
    void InitDriverVariables();
    void InitResourceVariables();
    void InitLorryTotalsVariables();
    void InitTripTotalsVariables();
    void InitStopPointVariables();
    void InitLocationVariables();
    void InitLocationEntryVariables();
    void InitWarehouseVariables();

    // The width of the definitions' field `key`: its "MAXIMUM_CHARACTERS" entry, else
    // "MAXCHARS_DEFAULT", else 500.
    int GetMaxChars(const std::string& key);
    // Date "%d/%m/%Y", times "%H:%M", numbers with "DecimalPrecision" decimals and no grouping,
    // into every key set and dialog column set.
    void ApplyFormats();
    // The planning date that stop dates count from.
    void SetSchedulingDate(const trv::OleDate& date);

    // ---- Key sets and dialogs -------------------------------------------------------------------
    CTrevantorVariablesKeys& GetKeySet(int slot) { return m_keySets[static_cast<size_t>(slot)]; }
    // The key set that moves entities of an entity kind (17 the order's); null for others.
    CTrevantorVariablesKeys* GetKeysOfEntity(int entityKind);
    // Null outside 0 .. 11 and before Init.
    TTrevantorVariablesShowed* GetDialogColumns(int dialog);
    const TTrevantorVariablesShowed* GetDialogColumns(int dialog) const;
    TVarsShowed* GetDialogOptions(int dialog);

    // ---- Customizable dialog columns ------------------------------------------------------------
    // The layouts live in section "Customizable dialogs" of the columns file (ColumnsFilePath);
    // without one, every dialog shows its built-in layout and nothing is written.
    //
    // Rebuilds the dialog's column set from its layout (every listed column shown with
    // `allShown`); `count` is its number of columns, 0 when the saved lists differ in length
    // (the set then keeps its previous columns). True when the built-in layout was used.
    bool LoadDialogColumns(int dialog, int& count, bool allShown);
    // Dialogs 9 and 10: one width-less column for every variable of the dialog's entities.
    void ResetDialogColumns(int dialog);
    // The width texts of the shown columns, in column order.
    void GetShownColumnWidths(int dialog, CSmartStringArray& widths) const;
    // The column's variable when it is a shown column, else null.
    const TVarKeyStruct* GetShownColumnVariable(int dialog, int column) const;
    bool DialogShowsLineVariables(int dialog) const;
    // Whether a column with that usage mask is shown in the dialog.
    bool IsColumnUsage(int dialog, int usageMask) const;
    // Fills the dialog's options model from its layout (the built-in one with `builtInOnly`).
    // False when the saved lists differ in length: the model is then left empty.
    bool BuildColumnOptions(int dialog, bool builtInOnly);
    // Writes the dialog's layout from its options model. With as many grid widths as grid
    // columns (the shown columns, in order), each shown column's grid width is stored too.
    void WriteDialogLayout(int dialog, const CSmartIntArray* gridWidths, int gridColumns);
    void RewriteDialogLayout(int dialog) { WriteDialogLayout(dialog, nullptr, 0); }
    // Writes every dialog's defaults-used flag.
    void WriteDefaultFlags();
    // The dialog's layout as names, flags (0 "F", 1 "T", 2 "S") and width texts; true when it
    // is the built-in one.
    bool ReadDialogLayout(int dialog, CSmartStringArray& names, CSmartIntArray& flags,
                          CSmartStringArray& widths, bool builtInOnly, bool allShown) const;
    // The built-in layout as the three comma lists of the file, additional-value columns last.
    void GetDefaultLayout(int dialog, std::string& names, std::string& flags,
                          std::string& widths) const;
    void AddRequirementDefaults(int dialog, std::string& names, std::string& flags,
                                std::string& widths, int kind) const;
    // Drops the additional-value columns of `kind` whose definition no longer exists.
    void RemoveUndefinedRequirementColumns(int dialog, CSmartStringArray& names,
                                           CSmartIntArray& flags, CSmartStringArray& widths,
                                           int kind) const;
    // The first variable of the dialog's entities with that key name, copied into `record`,
    // and its entity kind; a scheduled-resources column marked "S" (`group`) is not shown.
    bool FindColumnVariable(int dialog, TVarKeyStruct& record, bool group, int& entityKind,
                            const std::string& name) const;
    // Shortcuts of the info panel's scheduled resources (dialog 4) and trips (dialog 5).
    const TVarKeyStruct* GetScheduledResourcesVariable(int column) const;
    void ConvertScheduledResourcesValue(int column, float& number, std::string& text,
                                        int kindOverride = 0) const;
    int GetScheduledTripsEntityKind(int column) const;

    // ---- Entity access --------------------------------------------------------------------------
    // The models' navigation between entities; not owned.
    void SetEntityNavigation(CEntityNavigation* navigation) { m_navigation = navigation; }
    // Whether a trips incompatibility table is loaded; false until one is wired.
    void SetTripsIncompatibilityTest(std::function<bool()> test);

    // Fills the entity from the record's current record; kinds 1-6, 13 and 14.
    bool ReadEntity(int entityKind, const TEntityRef& entity, CFieldRecord& record, int direct,
                    const TFieldMap* fields);
    // Writes the entity into the record's output record; kinds 1-6, 9-14 and 17. The delivery
    // point is used only for orders whose point comes from their lines.
    bool WriteEntity(int entityKind, const TEntityRef& entity, CFieldRecord& record, int flag,
                     const TEntityRef& deliveryPoint = {});
    // The object holding the members of a variable of `entityKind` for a row of `dialog`.
    TEntityRef GetEntityObject(int dialog, int entityKind, int lineIndex, const TEntityRef& entity,
                               const TEntityRef& first = {}, const TEntityRef& second = {},
                               const TEntityRef& third = {}) const;
    std::string GetVariableText(int dialog, int column, const TEntityRef& entity,
                                int& notApplicable, int& numeric, int lineIndex,
                                const TEntityRef& first = {}, const TEntityRef& second = {},
                                const TEntityRef& third = {}) const;
    TVariableValue GetColumnValue(int dialog, int column, const TEntityRef& entity, int lineIndex,
                                  const TEntityRef& first = {}) const;
    // Whether the variable is out of use in the dialog under the current parameters.
    bool IsNotApplicable(int dialog, const std::string& key) const;

    bool IsOrderLineVariable(const std::string& key) const;
    bool IsCustomerVariable(const std::string& key) const;
    static bool IsTransportCardVariable(const std::string& key);
    static bool IsFareVariable(const std::string& key);
    static bool IsProductTypeVariable(const std::string& key);
    static bool IsProductTimeVariable(const std::string& key);
    static bool IsCapacityVariable(const std::string& key);
    static bool IsItemCountVariable(const std::string& key);
    static bool IsWarehouseAddressVariable(const std::string& key);

    // ---- State ----------------------------------------------------------------------------------
    std::string m_strGroupByKey; // the scheduled-resources dialog's group-by key
    std::string m_strDateFormat = "%d/%m/%Y";
    std::string m_strMinutesFormat = "%H:%M";
    std::string m_strTimeOfDayFormat = "%H:%M";
    TNumberFormat m_numberFormat1;
    TNumberFormat m_numberFormat2;

  private:
    void RunBuilder(int slot);
    // Step five of Init: the dialog sets and options, every saved layout brought up to date.
    void CreateDialogColumnSets();
    // The keys WriteDialogLayout writes for the dialog; empty without an options model.
    std::vector<std::pair<std::string, std::string>>
    DialogLayoutKeys(int dialog, const CSmartIntArray* gridWidths, int gridColumns);
    void AddColumnFrom(TTrevantorVariablesShowed& columns, const CVariablesKeys& source,
                       const TVarKeyStruct& record, const std::string& width);
    bool ReadOrder(const TEntityRef& order, CFieldRecord& record, int direct,
                   const TFieldMap* fields);
    bool ReadOrderLines(const TEntityRef& order, CFieldRecord& record, int direct);
    bool WriteOrder(int entityKind, const TEntityRef& order, CFieldRecord& record, int flag,
                    const TEntityRef& deliveryPoint);
    bool HasTripsIncompatibilities() const { return m_tripsIncompatibilityTest(); }

    CSmartPtrArray<TTrevantorVariablesShowed> m_dialogColumns;
    std::array<CTrevantorVariablesKeys, KEYS_COUNT> m_keySets;
    CSmartPtrArray<TVarsShowed> m_dialogOptions;
    std::unique_ptr<CFetch> m_widthReader;
    std::array<TVariablesBuilder, KEYS_BUILT_COUNT> m_builders;
    CEntityNavigation* m_navigation = nullptr;
    std::function<bool()> m_tripsIncompatibilityTest;
};

// The one program-wide catalogue.
CTrevantorVariables& TrevantorVariables();
// Replaces it by a newly constructed one (tests start clean).
void ResetTrevantorVariables();
