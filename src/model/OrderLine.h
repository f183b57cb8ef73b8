#pragma once

#include "containers/SmartArray.h"
#include "model/DateTable.h"
#include "model/Locations.h"
#include "model/TimeWindow.h"
#include "params/FieldRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A program-wide list of distinct texts: a text's position is the order in which it first
// appeared, and texts equal ignoring case share a position. The hash index keeps the lookups of
// the derivation, one per line, from scanning the list.
class CDistinctTexts
{
  public:
    // The position of the text, appending it when missing.
    int FindOrAdd(std::string_view text);
    // The position of the text, or -1.
    int Find(std::string_view text) const;
    int GetSize() const { return static_cast<int>(m_texts.size()); }
    const std::string& operator[](int index) const { return m_texts[static_cast<size_t>(index)]; }
    void RemoveAll();

  private:
    // Hash and equality that ignore case as the foundation's comparison does; only ASCII letters
    // are folded in the hash, which keeps it consistent with that comparison.
    struct NoCaseHash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const;
    };
    struct NoCaseEqual
    {
        using is_transparent = void;
        bool operator()(std::string_view left, std::string_view right) const;
    };

    std::vector<std::string> m_texts;
    std::unordered_map<std::string, int, NoCaseHash, NoCaseEqual> m_index;
};

// One load group of products, named by the lines.
struct TProductLoadGroup
{
    std::string name;
    int32_t index = 0; // its position in the list
    int32_t flag = 1;  // loads of the group may be auto-assigned
};

// The program-wide load groups, in order of first appearance; names match exactly.
class CProductLoadGroups : public CSmartPtrArray<TProductLoadGroup>
{
  public:
    // 0 with the position of the group of that name; 1 with the position of a group appended.
    int FindOrAdd(const std::string& name, int& index);
    // The position of the group of that name, or -1.
    int FindIndex(const std::string& name) const;
    void RemoveAll();

  private:
    std::unordered_map<std::string, int> m_index;
};

// A delivery point: the place with its opening hours, an arrival window fixed by a plan or by
// hand, and its days off.
class CCustomer
{
  public:
    CCustomer() = default;
    CCustomer(const CCustomer& other) { *this = other; }
    // Copies the place, the assigned window and the calendar; the indexes are derived, not copied.
    CCustomer& operator=(const CCustomer& other);

    // Postcode index, province, normalised hours and window, calendar for the planning date.
    void CalculateFields();
    void ClearLocation();
    bool HasNode() const { return location.nodeIndex >= 0; }

    int32_t postcodeIndex = -1;
    int32_t reservedIndex = -1;
    int32_t province = -1;
    TLocationData location;
    CTimeWindow assignedWindow; // "ASSIGNED_CUSTOMER_TIME_WINDOW"
    CDateTable daysOff;
};

class CFetch;
class COrder;
class COrderLine;
using COrderLineRefs = CSmartArray<COrderLine*, COrderLine*>;

// One product line of an order.
class COrderLine
{
  public:
    COrderLine() { Clear(); }
    COrderLine(const COrderLine& other) { *this = other; }
    // Copies the line's values; the derived indexes are not copied and the copy stands for itself.
    COrderLine& operator=(const COrderLine& other);

    void Clear();
    // Adds the other line's amounts and minutes; the names join as "A/B". Returns 0.
    int Accumulate(const COrderLine& other);
    // Possible warehouse indexes, quantities per day and the load group index.
    void PrepareLine();
    // Day 0 of the per-day lists becomes the line's quantity, volume and surface.
    void ApplyDayQuantities();
    // The per-day quantities and volumes from the items per day and the factors.
    void DeriveDayQuantitiesFromItems();
    int GetLoadGroupFlag() const;
    // Resized to the number of order-line information definitions.
    void SizeInformativeValues();

    // ---- Exchange through the catalogue ------------------------------------------------------
    // Reads the order's variables and then this line's from the record's current record; a
    // field map limits both to its names.
    bool ReadWithOrder(COrder& order, CFieldRecord& record, const TFieldMap* names);
    bool WriteLine(CFieldRecord& record);
    // Runs the calculated fields of an open definition over the order and this line: both are
    // written into its record, its expressions evaluated, and the fields they name read back.
    // False when the definition holds no expressions or the read failed.
    bool ApplyCalculatedFields(CFetch& fetch, COrder& order);

    int32_t productIndex = -1;
    float quantity = 0;         // "PRODUCT_QUANTITY"
    float volume = 0;           // "PRODUCT_VOLUME"
    float surface = 0;          // "PRODUCT_SURFACE"
    float adjustedQuantity = 0; // "PRODUCT_ADJUSTED_QUANTITY"
    float adjustedVolume = 0;   // "PRODUCT_ADJUSTED_VOLUME"
    int32_t height = 0;         // "PRODUCT_HEIGHT"
    int32_t length = 0;         // "PRODUCT_LENGTH"
    int32_t productType = 0;    // "PRODUCT_TYPE"
    int32_t typeGroupIndex = 0;
    int32_t incompatibilityGroupIndex = -1;
    int32_t lastUnloadGroupIndex = -1;
    int32_t lastTripGroupIndex = -1;
    int32_t compartmentPriority = 0; // "PRODUCT_PRIORITY_COMPARTMENT"
    int32_t partition = 0;           // "PRODUCT_PARTITION"
    int32_t typeBit = 0;
    float payToDriver = 0;           // "PRODUCT_PAY_TO_DRIVER"
    float items = 0;                 // "PRODUCT_NUMBER_OF_ITEMS"
    float firstItemCount = 0;        // "PRODUCT_ORIGINAL_NUMBER_OF_ITEMS"
    int32_t changedByHand = 0;       // "QUANTITY_CHANGED_MANUALLY"
    float factor = 0;                // "PRODUCT_MULTIPLICATIVE1": quantity per item
    float volumeFactor = 0;          // "PRODUCT_MULTIPLICATIVE_VOLUME": volume per item
    int32_t inBulk = 1;              // "PRODUCT_IN_BULK"
    int32_t mixBulk = 0;             // "PRODUCT_MIX_BULK"
    int32_t scoopable = 1;           // "PRODUCT_CUCHARABLE"
    int32_t stockForAutoAssign = -1; // "STOCK_PARA_AUTOASIGNABLE"
    int32_t minutesAtWarehouse = 0;  // "PRODUCT_TIME_AT_WAREHOUSE"
    int32_t minutesAtCustomer = 0;   // "PRODUCT_TIME_AT_CUSTOMER"
    int32_t lineId = 0;              // "PRODUCT_LINE_ID"
    int32_t orderIndex = -1;
    std::string productName; // "PRODUCT_NAME"
    std::string productCode; // "PRODUCT_CODE"
    std::string productInfo; // "PRODUCT_INFO"
    CSmartFloatArray quantitiesPerDay;
    CSmartFloatArray volumesPerDay;
    CSmartFloatArray surfacesPerDay;  // "PRODUCT_NUMBER_OF_SURFACES_PER_DAY"
    CSmartFloatArray itemsPerDay;     // "PRODUCT_NUMBER_OF_ITEMS_PER_DAY"
    std::string typeGroup;            // "PRODUCT_TYPE_GROUP"
    std::string incompatibilityGroup; // "PRODUCT_INCOMPATIBILITY_GROUP"
    std::string lastTripGroup;        // "PRODUCT_CONDITIONED_INCOMPATIBILITY_GROUP_LAST_TRIP"
    std::string lastUnloadGroup;      // "PRODUCT_CONDITIONED_INCOMPATIBILITY_GROUP_LAST_UNLOAD"
    std::string auxiliaryText;        // "PRODUCT_AUX_STRING"
    std::string loadGroup;            // "PRODUCT_LOAD_GROUP"
    int32_t loadGroupIndex = -1;
    CSmartIntArray additiveConditions;    // "INCOMPATIBLE_IF" of the line's additives
    CSmartIntArray additiveResults;       // "INCOMPATIBLE_THEN", parallel to the conditions
    CCustomer customer;                   // the line's own delivery point (line mode)
    CSmartStringArray informativeValues;  // "ORDER_LINE_INFORMATIVE_VALUES"
    CSmartStringArray possibleWarehouses; // "PRODUCT_POSSIBLE_WAREHOUSES"
    CSmartUIntArray possibleWarehouseIndexes;
    COrderLineRefs representedLines; // not owned
    CSmartIntArray orderIndexes;
};

// What the line-route measurement leaves on an order's lines: after-last minus after-first of the
// optimiser's vehicle-state counters, in the optimiser's order.
struct TLineRouteFigures
{
    float firstFloat = 0;
    int32_t firstInt = 0;
    float floats[4] = {};
    int32_t ints[6] = {};
};

// The scalar part of an order's lines: what a copy of the header takes and what the optimiser
// copies of every order at each start.
struct TOrderLinesHeader
{
    float totalQuantity = 0;               // "TOTAL_QUANTITY"
    float totalVolume = 0;                 // "TOTAL_VOLUME"
    float totalSurface = 0;                // "TOTAL_SURFACE"
    float maximumQuantity = 3.4028235e38f; // "ORDER_MAX_QUANTITY"
    float minimumQuantityToGroup = 0;      // "ORDER_MIN_QUANTITY_TO_GROUP"
    float totalPayToDriver = 0;
    int32_t hasReturnOrder = 0; // "TIENE_OTRO_PEDIDO_DE_REGRESO"
    float packedVolume = 0;
    float bulkVolume = 0;
    int32_t bulkLength = 0;
    int32_t commonTypeGroup = 0; // 0 none, -1 lines of different groups
    int32_t hasAdditives = 0;
    int32_t bulkLines = 0;
    int32_t maySplit = 0; // "PUEDE_PARTIR"
    int32_t minutesAtWarehouse = 0;
    int32_t minutesAtCustomer = 0;
    TLineRouteFigures lineRoute;
    int32_t reserved = 0;
};

// The lines of one order, owned, with their totals and summary texts.
class COrderLines : public CSmartPtrArray<COrderLine>
{
  public:
    COrderLines() = default;
    COrderLines(const COrderLines&) = delete;
    COrderLines& operator=(const COrderLines&) = delete;

    void RemoveAllLines();
    void CopyFrom(const COrderLines& other);
    void CopyHeader(const COrderLines& other) { header = other.header; }
    // Takes the line, placing it by compartment priority and volume (appended in line mode), and
    // adds it into the totals; its position.
    int InsertLine(std::unique_ptr<COrderLine> line);
    // Inserts the pending line (by time in line mode); its position, -1 without one.
    int AddPendingLine();
    // Line mode: places the line by its assigned window, else its first opening, moving windows
    // more than half a day apart onto the same day.
    int InsertSortedByTime(std::unique_ptr<COrderLine> line);
    // By product code and partition, and by customer code in line mode.
    int FindLine(const std::string& code, int partition, const std::string& customerCode) const;
    int FindLine(const std::string& code, int partition, const std::string& customerCode,
                 bool byCustomer) const;
    // The key is the customer code, "·" and the product code.
    int FindLineByKey(const std::string& key) const;
    int FindLineByProduct(int productIndex) const;
    int GetFirstLineNode() const;
    void CalculateFields(bool& hasBulk, bool& hasPacked, int orderIndex);
    int GetLoadingMinutes(int warehouseIndex) const;
    void MeasureLineRoute(int orderIndex);
    void IntersectWarehouses(const CSmartUIntArray& indexes);
    void RemoveLine(int index);
    void CopyQuantitiesToAdjusted();
    void SetLineDays(int32_t firstDay, int32_t lastDay);
    void KeepFirstReferences();
    void SetStockByProduct(const std::string& name, int value);
    int GetStockByProduct(const std::string& name) const;
    // 1 when a goes first (lower priority, or equal with a larger volume), -1 when b does.
    static int CompareLines(const COrderLine& a, const COrderLine& b);

    std::unique_ptr<COrderLine> pendingLine;
    TOrderLinesHeader header;
    CSmartUIntArray commonWarehouses;
    std::string quantitiesText;        // "LISTA_CANTIDADES"
    std::string productsText;          // "LISTA_PRODUCTOS"
    std::string infosText;             // "LISTA_INFOS"
    std::string productQuantitiesText; // "PRODUCT_QUANTITIES_STRING"
};

// The lines a vehicle has on board, with each entry's volume and companion values.
class CTruckOrderLines
{
  public:
    // Removes the line's volume from the first entries of its product that match (mixed bulk
    // when asked, else an entry of exactly its volume); an entry left with at most 1e-6 is
    // dropped and the scan ends. The position of the entry dropped, or -1.
    int RemoveLine(const COrderLine& line, bool mixedBulk);
    void AddLine(const COrderLine* line, float volume);
    int GetSize() const { return lines.GetSize(); }

    CSmartArray<const COrderLine*, const COrderLine*> lines; // not owned
    CSmartFloatArray volumes;
    CSmartIntArray compartmentPriorities;
    CSmartIntArray flags;
    CSmartByteArray bytes;
    float totalVolume = 0;
    float secondTotal = 0;
    float thirdTotal = 0;
};
