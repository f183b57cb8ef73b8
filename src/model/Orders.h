#pragma once

#include "containers/SmartArray.h"
#include "model/Condicionantes.h"
#include "model/OrderCompanions.h"
#include "model/OrderLine.h"
#include "model/TimeWindow.h"
#include "model/WareHouses.h"
#include "params/FieldRecord.h"
#include "params/TrevantorVariablesKeys.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

// Order kinds ("ORDER_TYPE").
enum OrderKind : int
{
    ORDER_DELIVERY = 0,
    ORDER_COLLECTION = 1,
    ORDER_COLLECTION_EXCLUSIVE = 2,
    ORDER_COLLECTION_LOOSE = 3,
    ORDER_DELIVERY_LOOSE = 4,
};

// Loose orders carry goods without a loading warehouse of their own.
constexpr bool IsLooseKind(int kind)
{
    return kind == ORDER_COLLECTION_LOOSE || kind == ORDER_DELIVERY_LOOSE;
}

// Remaining quantity by (index, product): the warehouses' stocks or a vehicle's capacities
// while a plan is decoded.
class CRemainingQuantities
{
  public:
    void Resize(int count, int products)
    {
        m_products = products;
        m_values.assign(static_cast<size_t>(count) * static_cast<size_t>(products), 0.0f);
    }
    int GetCount() const
    {
        return m_products == 0 ? 0 : static_cast<int>(m_values.size()) / m_products;
    }
    // 0 for a product beyond the table.
    float Get(int index, int product) const
    {
        if (index < 0 || index >= GetCount() || product < 0 || product >= m_products)
            return 0;
        return m_values[static_cast<size_t>(index) * m_products + product];
    }
    void Set(int index, int product, float value)
    {
        if (index < 0 || index >= GetCount() || product < 0 || product >= m_products)
            return;
        m_values[static_cast<size_t>(index) * m_products + product] = value;
    }

  private:
    std::vector<float> m_values;
    int m_products = 0;
};

// The scalar fields of an order that the optimiser copies of every order at each start.
struct TOrderPlanFields
{
    int32_t index = -1;
    float maximumReturnDistance = 0;   // "ORDER_DISTANCE_RETORNO_MAX"
    int32_t doNotReduceQuantities = 1; // "NO_REDUCIR_CANTIDADES_SALIDA"
    int32_t reduceQuantitiesFirst = 0; // "PRIORITARIO_REDUCIR_CANTIDADES_SALIDA"
    int32_t unlinkedMark = 0;
    int32_t groupOrderIndex = -1;
    int32_t fareTableIndex = 0;
    float palletWeight = 0;      // "ORDER_PALLET_WEIGHT"
    int32_t deactivated = 0;     // "ORDER_DEACTIVATED"
    int32_t changedByUser = 0;   // "ORDER_USER_CHANGE_STATE"
    int32_t considerDocks = 0;   // "ORDER_CONSIDER_DOCKS"
    int32_t partitionNumber = 1; // "PARTITION_NUMBER"
    int32_t groupingCode = -1;   // "ORDER_AGRUPATION_CODE"
    int32_t avoidUnloading = 0;  // "ORDER_AVOID_UNLOAD"
    float budget = 0;            // "ORDER_BUDGET"
    int32_t deleteIfExists = 0;  // "DELETE_IF_EXISTS"
    trv::OleDate fromDay;        // "FROM_DAY"
    trv::OleDate toDay;          // "TO_DAY"
    trv::OleDate prefixedDay;    // "PREFIXED_DAY"
    int32_t prefixedDayOffset = -1;
    int32_t warehouseIndex = -1;
    int32_t minimumDaysBetweenRelated = 0;     // "MIN_DAYS_BETWEEN_RELATIONED"
    int32_t maximumDaysBetweenRelated = 10000; // "MAX_DAYS_BETWEEN_RELATIONED"
    int32_t relatedOrderIndex = -1;
    int32_t sameVehicleType = 0;   // "OBLIGATED_SAME_VEHICLE_TYPE"
    int32_t relationPosition = -1; // "RELATION_CODE_ORDER"
    int32_t numberOfLines = 0;     // "ORDER_NUMBER_OF_LINES"
    int32_t possibleRow = -1;
    int32_t acceptingRows = 0;
    int32_t possibleDriverRow = -1;
    int32_t predeterminedSequence = -1;     // "PREDETERMINATED_SEQ"
    int32_t predeterminedSequenceGroup = 0; // "PREDETERMINATED_SEQ_GROUP"
    int32_t applyOrderPerDay = 0;           // "APLICAR_ORDEN_POR_DIA"
    int32_t assigned = 0;                   // "ASSIGNED": 0 free, 1 assigned, 2 fixed
    int32_t assignedPairRow = -1;
    int32_t assignedDriverRow = -1;
    int32_t sweeperDriverIndex = -1;
    int32_t penaltyEarlyService = 0;   // "ORDER_PENA_SERVICE_BEFORE"
    int32_t penaltyLateService = 1;    // "ORDER_PENA_SERVICE_AFTER"
    int32_t assignedTrip = -1;         // "ASSIGNED_TRIP"
    int32_t assignedSubtrip = -1;      // "ASSIGNED_SUBTRIP"
    CTimeWindow assignedLoadingWindow; // "ASSIGNED_WAREHOUSE_TIMETABLE"
    int32_t realTimeLoaded = 0;        // "REAL_TIME_LOADED"
    int32_t realTimeLoadPool = -1;     // "REAL_TIME_LOAD_POOL_NUMBER"
    int32_t realTimeServed = 0;        // "REAL_TIME_SERVED"
    int32_t roundTrip = 0;             // "ROUNDTRIP"
    int32_t penaltyByLocation = 0;     // "PENALTY_BY_LOCATION"
    int32_t groupingIndex = 0;
    int32_t indivisibleGroupingIndex = 0;
    int32_t lastOrderOfTrip = 0;        // "LAST_ORDER_OF_TRIP"
    float distributionPlatformCost = 0; // "PLATAFORMA_DISTRIBUCION_COST"
    float extraKm = 0;                  // "KM_EXTRAS"
    int32_t extraDrivingMinutes = 0;    // "EXTRA_DRIVE_TIME"
    int32_t unloadSpeedIndex = -1;      // "UNLOAD_SPEED_INDEX"
    int32_t kind = ORDER_DELIVERY;      // "ORDER_TYPE"
    int32_t platformWarehouseIndex = -1;
    float payToDriver = 0;       // "ORDER_PAY_TO_DRIVER"
    int32_t mayStayUnserved = 0; // "NOTBESERVED_ALLOWED"
    int32_t addedByAppend = 0;
    int32_t priority = 0;           // "ORDER_PRIORITY"
    int32_t servedFactor = 0;       // "ORDER_SERVED_FACTOR"
    int32_t invertCustomers = 0;    // "INVERT_CUSTOMERS"
    int32_t sortDestinations = 0;   // "AUTO_ORDENAR_DESTINOS"
    int32_t mergeAutomatically = 1; // "AUTOFUSIONAR"
    trv::OleDate serviceDate;
    int32_t loadUnloadSameDay = 0; // "LOAD_UNLOAD_SAME_DAY"
    int32_t allowPastDates = 0;    // "ALLOW_PAST_DATES"
    int32_t loadingWindowAdjusted = 0;
    int32_t windowIsArrivalAndLeave = 0;   // "TIME_WINDOW_IS_ARRIVAL_AND_LEAVE"
    int32_t maximumMinutesFirstToLast = 0; // "MAX_TIME_FIRST_LAST"
    int32_t minutesToChangeCity = 0;       // "TIME_TO_CHANGE_CITY"
    int32_t checkedByManager = 0;          // "CHECKED_BY_MANAGER"
    int32_t heavyLocationMark = 0;
    int32_t maximumCustomers = 2147483647;    // "MAX_CLIENTS"
    int32_t maximumSpecialCodes = 2147483647; // "MAX_SPECIAL_CODES"
    int32_t specialCodeIndex = -1;
    int32_t tollZoneIndex = -1;  // "ZONA_PEAJE_ID"
    float tollPrice = 0;         // "PRECIO_PEAJE"
    int32_t applyFillMargin = 1; // "ORDER_APPLY_MARGEN_LLENADO"
    float extraQuantity = 0;     // "EXTRA_QUANTITY"
    int32_t partitionCodeIndex = -1;
    int32_t linesOrderedBySortingEngine = 0; // "LINEAS_ORDENADAS_POR_GENETICO"
    int32_t autoAssignable = 0;              // "AUTOASIGNABLE"
    int32_t grouping = -1;                   // "AGRUPACION"
    float kmToWarehouse = 0;                 // "KM_TO_WAREHOUSE"
    int32_t minutesToWarehouse = 0;          // "TIME_TO_WAREHOUSE"
    float zoneGroupingQuantity = 0;          // "TOTAL_QUANTITY_ZONE_AGRUPACION"
    float secondZoneGroupingQuantity = 0;    // "TOTAL_QUANTITY_ZONE2_AGRUPACION"
    float zoneSpeedFactor = 1.0f;            // "ORDER_ZONA_SPEED_FACTOR"
    int32_t colour = -1;
    int32_t assignmentChanged = 0; // "ASSIGNED_CHANGED"
    int32_t reservedInts[2] = {0, 0};
    float fareKmCost = 0; // "ORDER_FARE_KM_COST"
    int32_t derivationIndex = -1;
    int32_t realTimeStartMinute = -1;
    int32_t realTimeState = 0;
};

// The order's 21 texts, by their catalogue keys.
enum OrderText : int
{
    ORDER_FARE_ID = 0,
    GROUPING_INDEX,
    GROUPING_CODE_INDIVISIBLE,
    PLATAFORMA_DISTRIBUCION_CODE,
    ZONA_PEAJE,
    SPECIAL_CODE,
    ZONA_COMPATIBILIDAD,
    ZONA2,
    GRUPO_ZONA,
    PREFIXED_RESOURCE,
    ASSIGNED_TRUCK,
    ASSIGNED_TRAILER,
    ASSIGNED_DRIVER,
    ASSIGNED_ESCOBADO,
    RELATION_CODE,
    ORDER_CODE,
    SERVICE_COLOR,
    SERVICE_COMMENTS1,
    SERVICE_COMMENTS2,
    SECCION_ORIGINAL,
    GROUP_ORDER,
    ORDER_TEXT_COUNT,
};

// One service to deliver or collect goods: its lines, its customer, its loading warehouse, its
// dates and constraints, and who serves it once planned.
class COrder : public CPermissionListsVariable
{
  public:
    COrder();
    COrder(const COrder&) = delete;
    COrder& operator=(const COrder& source);

    // The scalar fields, the customer's indexes and place integers and the lines' header.
    void CopyPlanFields(const COrder& source);
    void ClearAssignment();
    void MakeUpper();

    // ---- Queries ------------------------------------------------------------------------------
    bool IsDelivery() const
    {
        return plan.kind == ORDER_DELIVERY || plan.kind == ORDER_DELIVERY_LOOSE;
    }
    bool IsLocated() const;
    // The warehouse the order loads at, or null. Without a fixed one, the ranked warehouses of
    // the nearness table; with "ControlStocks" the first whose remaining stock takes the lines.
    const CWareHouse* GetLoadingWarehouse(int pairRow, const CRemainingQuantities* vehicleState,
                                          int node, int* nodeOut, int chosenIndex, bool* stockOk,
                                          bool ignoreKind) const;
    const CTimeTable* GetLoadingTimeTable(int pairRow, const CRemainingQuantities* vehicleState,
                                          int node, int* nodeOut,
                                          const TLocationData* defaultLocation) const;
    const TLocationData* GetLoadingLocation(int pairRow, const CRemainingQuantities* vehicleState,
                                            int node, int* nodeOut,
                                            const TLocationData* defaultLocation, bool* stockOk,
                                            bool ignoreKind) const;
    int GetLoadingNode() const;
    // The warehouse "LoadingProblem" 2 to 5 loads at: the order's copy, or with 3 the warehouse
    // of its index (the copy when that has opening hours and a node); null for none.
    const CWareHouse* GetProblemLoadingWarehouse() const;
    // The warehouse and platform indexes from the warehouse copy's code and the platform code;
    // true when either changed.
    bool UpdateWarehouseIndexes();
    int GetNode() const;
    bool LinesFitCapacity(const CRemainingQuantities& vehicles, int vehicleIndex) const;
    void TakeCapacity(CRemainingQuantities& vehicles, int vehicleIndex) const;
    bool CanBeLeftUnserved() const;
    bool IsPlannable() const;
    bool TimeWindowsOverlap(const CTimeTable& table) const;
    int GetLargestVolumeLine(float& volume) const;
    // The row of the pair with the largest first trailer capacity among those not rejecting the
    // order; -1 when every pair rejects it or no fleet is known.
    int GetLargestCapacityTrailer() const;
    static std::string GetOrderKindName(int kind);
    static void GetOrderKindNames(CSmartStringArray& names);

    // ---- Assignment ---------------------------------------------------------------------------
    void SetAssignment(int linePosition, int pairRow, const std::string& truckCode,
                       const std::string& trailerCode, const std::string& driverCode, int trip,
                       int subtrip, bool fixed, const CTimeWindow& customerWindow,
                       const CTimeWindow& deliveryLoadingWindow,
                       const CTimeWindow& collectionLoadingWindow, const std::string& planText);
    // Records in "ASSIGNED_CHANGED" how a new assignment differs from the running plan.
    void CompareWithPlan(const std::string& truckCode, const std::string& trailerCode,
                         const std::string& driverCode, int position, int trip);

    // ---- Additives -----------------------------------------------------------------------------
    // With "Tanks", the additives of the order's last line from the companion table of the
    // import: source kind 1 reads the import file's ".add" companion (nothing without a final
    // ".ord"), 2 and 3 their own definitions.
    void LoadAdditives(CFieldRecordSource& definitions, int sourceKind,
                       const std::string& importFile);
    // One record per additive of every line.
    void ExportAdditives(CFieldRecord& record) const;

    // ---- Derivation ----------------------------------------------------------------------------
    // Derives what the optimiser needs and no source gives: totals, days and opening days, the
    // warehouse copy, indexes, relation chain, real-time state, distance to the warehouse,
    // colour. A set planning date becomes the service date; with a calculated-fields
    // definition its expressions run over every line.
    void CalculateFields(const trv::OleDate& planningDate, bool computeIndexes, bool append,
                         bool import, CFetch* calculatedFields);
    // Positions in the program-wide lists, the relation chain, requirements from variables.
    void CalculateIndexes();
    // Puts the order at `index` into this head's relation chain by "RELATION_CODE_ORDER" and
    // time limit; the head itself comes first.
    void AddRelatedOrder(int index);
    // Reads the order through the catalogue and fills unset service times.
    bool ReadRecord(CFieldRecord& record);

    // ---- Line order (delivery points in the lines) --------------------------------------------
    void SortLinesByTime();
    // New place i holds the line at positions[i]; anything but a permutation is refused.
    void ApplyLineOrder(const std::vector<int>& positions);
    void GetLineKeys(CSmartStringArray& keys) const;
    void ReorderLinesByKeys(const CSmartStringArray& keys);
    void InvertLines();
    // Lets the line-ordering search order the delivery points once.
    void ReordenaLineasPedidoConGenetico();
    // The search's cost of a line order: km from the loading node through the delivery points.
    static double MeasureLineOrder(int loadingNode, std::span<const int> customerNodes);
    int GetLineOrderingStart() const;

    // ---- Merging and checks between orders ----------------------------------------------------
    // Takes every line of the other order and its quantity.
    void MergeOrder(COrder& other);
    int AddOrMergeLine(const COrderLine& line);
    bool DaysIncompatible(const COrder& other, const CTimeTable& otherTable,
                          const CTimeTable& table) const;
    bool WindowsIncompatible(const COrder& other, const CTimeTable& otherTable,
                             const CTimeTable& table) const;

    // ---- Exchange ------------------------------------------------------------------------------
    // The lines' derived fields, then the order's quantity, volume and surface summed again from
    // the lines' first-day values.
    void SumLineTotals(int orderIndex, bool* hasBulk = nullptr, bool* hasPacked = nullptr);
    // Writes the order and its customer into the record, with one output record per line or
    // (withLines false) without its lines. A folded loading window is written without the
    // loading minutes; an order whose window was not folded has it folded afterwards.
    bool ExportToFetch(CFieldRecord& record, bool withLines, const TEntityRef& deliveryPoint = {});

    // ---- Permission lists ---------------------------------------------------------------------
    void AddOrderResourceCodes(const CSmartSortNoRepeatStringArray& nonAllowedResources,
                               const CSmartSortNoRepeatStringArray& nonAllowedDrivers,
                               const CSmartSortNoRepeatStringArray& allowedResources,
                               const CSmartSortNoRepeatStringArray& allowedDrivers) override;
    CSmartStringArray GetPermissionList(int list) const override;

    std::string& Text(int which) { return texts[static_cast<size_t>(which)]; }
    const std::string& Text(int which) const { return texts[static_cast<size_t>(which)]; }

    TOrderPlanFields plan;
    std::string reservedText;
    COrderLines lines;
    std::string texts[ORDER_TEXT_COUNT];
    TRequirementValues requirements;     // "ORDER_REQUIREMENTS"
    CSmartStringArray informativeValues; // "ORDER_INFORMATIVE_VALUES"
    CSmartUIntArray relatedOrders;
    CSmartStringArray permissionLists[kPermissionItems]; // by PermissionList
    bool permissionFlags[kPermissionItems] = {false, false, true, true};
    std::shared_ptr<CTruckOrderLines> onBoardLines;
    CCustomer customer;
    CWareHouse wareHouse;                // the order's own copy of its loading warehouse
    CSmartStringArray incompatibleZones; // "LISTA_ZONAS_INCOMPATIBILIDAD"
    CSmartFloatArray fixedFares;         // "ORDER_FIXED_FARES"
    CSmartFloatArray fixedReturnFares;   // "ORDER_FIXED_FARES_RETURN"
    int32_t alreadyExported = 0;         // "ORDER_ALREADY_EXPORTED"
    int32_t realArrivalTime = 0;         // "HORA_REAL_LLEGADA_MATADERO"
    std::string fleetServiceId;          // "WEBFLEETID"
    int32_t lineKinds = 0;               // 1 only bulk, 2 no bulk, 3 both
    int32_t warehouseProvince = -1;

  private:
    void ApplyOpeningDays();
    // With "LoadingProblem" 2 to 5, the loading warehouse and its distance; null when none.
    const CWareHouse* MeasureDistanceToWarehouse();
    void DeriveRequirements();
    int32_t GetRelationTimeLimit() const;
    bool ReorderLines(const std::vector<int>& positions);
    void RederiveAfterLineOrder();
    const CWareHouse* FindRankedWarehouse(int pairRow, const CRemainingQuantities* vehicleState,
                                          int node, bool* stockOk) const;
};

// The optimiser's copies of every order, twice over, when partitions are on.
class COrdersParticionesData
{
  public:
    // With "Particiones" set, 2 × n copies of the n orders, copy k of order k mod n; the
    // partition count becomes n, the parameter itself stays as it is.
    void Build(std::span<const COrder* const> orders);
    int GetSize() const { return m_orders.GetSize(); }
    const COrder& operator[](int index) const { return *m_orders[index]; }
    // The number of partitions of the last build: the order count, or 0.
    int GetPartitionCount() const { return m_partitions; }

  private:
    CSmartPtrArray<COrder> m_orders;
    CSmartIntArray m_values;
    int m_partitions = 0;
};

// Whether value (upper-cased and, with a length other than -1, cut to that many characters)
// equals the text (exact) or holds it.
bool MatchText(const std::string& value, const std::string& text, bool exact, int length);

// The plan's orders. An order's position is its index everywhere (gene item, rejection column,
// info panel row): the list never holds an empty slot and every removal renumbers the rest.
class COrders : public CSmartPtrArray<COrder>
{
  public:
    // ---- Adding and removing ------------------------------------------------------------------
    // A new empty order appended; the caller sets its index.
    COrder* AddOrder();
    // A new empty order put at the index, the orders from there on moving up one place; at the
    // count itself it is appended. Beyond the count nothing is inserted (null, with a trace).
    COrder* InsertOrderAt(int index);
    // Removes and deletes the order, renumbers the rest and raises the orders-changed flag.
    void RemoveOrderLines(int index);
    void RemoveAllOrders();
    // The caller changed the code or partition of a listed order: the code index is rebuilt.
    void CodesChanged() { m_codesValid = false; }

    // ---- Lookups: an order index or -1 --------------------------------------------------------
    // The first order of that (upper-cased) code met from the start in the search's direction;
    // count receives how many of them lie in that direction.
    int FindOrderByCode(const std::string& code, int& count, int start, bool backwards) const;
    // A start of -1 searches back from the last order (the latest piece first).
    int FindOrderByCodeAndPartition(const std::string& code, int partition, int start) const;
    int FindOrderWithLine(const std::string& code, const std::string& productCode, int start) const;
    int FindOrderByLineProduct(const std::string& productCode, int partition, int& line) const;
    int FindOrderByLineProductAnyPartition(const std::string& productCode, int& line) const;
    int FindOrderByRelationCode(const std::string& text, int start) const;
    int FindOrderByPattern(const std::string& pattern, int start, bool exact, int length,
                           bool backwards) const;
    int MatchCustomerCode(const std::string& text, int index, bool exact, int length) const;
    int MatchCustomerName(const std::string& text, int index) const;
    int MatchCustomerCity(const std::string& text, int index) const;

    // ---- Counters ------------------------------------------------------------------------------
    int CountSchedulableOrders() const;
    int CountSplittableOrders() const;
    int GetMaxPartitionNumber(const std::string& code) const;
    int GetMaxProductPartition(const std::string& code, const std::string& productName) const;

    // ---- Changes -------------------------------------------------------------------------------
    void SetLinesStockForAutoAssign(const std::string& productName, int stock);
    int AssignOrder(int orderIndex, int linePosition, int pairRow, const std::string& truckCode,
                    const std::string& trailerCode, const std::string& driverCode, int trip,
                    int subtrip, bool fixed, const CTimeWindow& customerWindow,
                    const CTimeWindow& deliveryLoadingWindow,
                    const CTimeWindow& collectionLoadingWindow, const std::string& planText);
    // AssignOrder with no line and unset times.
    int AssignOrderToResource(int orderIndex, int pairRow, const std::string& truckCode,
                              const std::string& trailerCode, const std::string& driverCode,
                              int trip, int subtrip, bool fixed, const std::string& planText);
    // The warehouse and platform indexes of every order again; true when any changed.
    bool ResolveWarehouseIndexes();

    // ---- Companion tables (OrderCompanions.cpp) -------------------------------------------------
    // Whether the additives definition of the source opens; each order then reads its own.
    bool HasAdditivesTable(const TOrdersSource& source) const;
    // The ".inc" pairs, in reading order (emptied first).
    void LoadIncompatibilityTable(const TOrdersSource& source);
    // When the ".inc" table gave no pair: the families that share no group of the company's
    // compatibility table become pairs, each unordered pair once.
    void LoadCustomerCompatibilityTable(const TOrdersSource& source);
    // The ".clui" and ".clti" rules, unless both tables already hold rules.
    void LoadCondicionedIncompatibilityTable(const TOrdersSource& source);
    void LoadCustomerDaysOff(const TOrdersSource& source);
    // Writers into a definition opened for writing; false when a record was not written.
    bool WriteIncompatibilityTable(CFieldRecord& record) const;
    bool WriteLastUnloadTable(CFieldRecord& record) const;
    bool WriteLastTripTable(CFieldRecord& record) const;
    // Writes the orders and, for a name ending in ".ord", their companions beside them. True
    // only when every definition it had to write opened and wrote; the trace names the first
    // that failed.
    bool ExportOrders(CFieldRecordSource& definitions, const std::string& file);
    // Asks for order files of a kind and extension (".xls", ".txt" ...): the chosen paths,
    // empty when cancelled. Several may be chosen when opening.
    static std::vector<std::string> SelectOrdersFile(int kind, bool open,
                                                     const std::string& defaultFile,
                                                     const std::string& extension);

    CSmartStringArray incompatibleGroups1; // "GROUP1" of each pair
    CSmartStringArray incompatibleGroups2; // "GROUP2" of each pair
    COrderConditionedTables conditionedTables;

    int32_t externalSource = 0;
    CDateTable customerDaysOff;
    int32_t documentFlag = 0;
    int32_t sameVehicleRelation = 0;
    int32_t ordersChanged = 0; // raised by every removal; the document lowers it
    float totalQuantity = 0;
    float totalVolume = 0;
    float totalSurface = 0;

  private:
    // The index when the order's customer, or with customers in the lines any line's, passes.
    int MatchCustomer(int index, const std::function<bool(const TLocationData&)>& test) const;
    // Positions of the orders of each code, ascending, and of each code and partition.
    void EnsureCodeIndex() const;
    const std::vector<int>* Positions(const std::string& code) const;
    bool IndexHolds(const std::vector<int>& positions, const std::string& code) const;
    void Renumber(int from);

    mutable std::unordered_map<std::string, std::vector<int>> m_byCode;
    mutable std::unordered_map<std::string, std::vector<int>> m_byCodeAndPartition;
    mutable bool m_codesValid = false;
    mutable int m_indexedCount = 0;
};
