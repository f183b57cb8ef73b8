#pragma once

#include "containers/SmartArray.h"
#include "model/Condicionantes.h"
#include "model/Locations.h"
#include "platform/OleDate.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CFieldRecord;
class CFetch;

// One product of the program-wide product list; products are the same when their names are.
struct CProduct
{
    std::string code; // "PRODUCT_CODE"
    std::string name; // "PRODUCT_NAME"
    std::string info; // "PRODUCT_INFO"
};

// The program-wide product list: a product's position is its product index everywhere.
class CProducts : public CSmartPtrArray<CProduct>
{
  public:
    CProduct* AddProduct();
    // The index of the first product named `name` (exact), appending one when there is none.
    int FindOrAddProduct(const std::string& code, const std::string& name, const std::string& info);
};

// One product held at one warehouse.
struct TProductWareHouse
{
    std::string code;
    std::string name;
    int32_t productIndex = -1; // position in CProducts
    float cost = 0;
    float stock = 0;
    int32_t reserved = 0;
    float loadingSpeed = 0; // quantity loaded per minute ("PRODUCT_SPEED")
    int32_t reservedWords[7] = {};
};

// The products of one warehouse in reading order; copies are deep.
class CProductsAtWareHouse : public CSmartPtrArray<TProductWareHouse>
{
  public:
    CProductsAtWareHouse() = default;
    CProductsAtWareHouse(const CProductsAtWareHouse& other) { *this = other; }
    CProductsAtWareHouse& operator=(const CProductsAtWareHouse& other);
    TProductWareHouse* AddProduct();
};

// A place where lorries load: its location, docks, fixed loading times per hour and products.
class CWareHouse
{
  public:
    // Minutes of the day that the fixed loading time tables cover.
    static constexpr int TableMinutes = 1440;
    // Loading times per hour of the day: either none or exactly this many.
    static constexpr int FixedTimeHours = 24;

    CWareHouse();
    CWareHouse(const CWareHouse& other) { *this = other; }
    CWareHouse& operator=(const CWareHouse& other);

    // Moves the warehouse from and to the current record through the catalogue (entity 14).
    bool ReadRecord(CFieldRecord& record);
    bool WriteRecord(CFieldRecord& record);
    // Reads this warehouse's products from the products definition of source kind 1, 2 or 3
    // (any other kind reads nothing); false when the definition did not open.
    bool LoadProducts(int sourceKind, const std::string& file);
    // One output record per product: the warehouse code and the product's code, name, stock,
    // cost and loading speed.
    void WriteProducts(CFieldRecord& record) const;

    void MakeUpper() { location.MakeUpper(); }
    // The loading speed of the i-th product held here; 0 beyond the products.
    float GetProductSpeed(int i) const;
    // Builds the arrival-to-finish and finish-to-arrival minute tables from the 24 fixed
    // loading times.
    void BuildFixedTimeTables();
    // Normalises the opening hours, derives the first and last day from the planning date and
    // gives the docks per slot their default.
    void CalculateFields(const trv::OleDate& planningDate);

    // The minute a stay that starts at `arrival` (0..1439) ends, and the latest arrival whose stay
    // is over by `minute`; the tables exist only with fixed loading times.
    bool HasFixedTimeTables() const { return !arrivalToFinish.empty(); }
    int32_t GetFinishOfArrival(int arrival) const { return arrivalToFinish[arrival]; }
    int32_t GetArrivalOfFinish(int minute) const { return finishToArrival[minute]; }

    const std::string& GetCode() const { return location.code; }

    CSmartWordArray fixedTimes;           // "WAREHOUSE_FIXED_TIME_HOURS"
    std::vector<int32_t> finishToArrival; // 1440 entries once built
    std::vector<int32_t> arrivalToFinish; // 1440 entries once built; may pass 1439
    int32_t index = -1;                   // position in CWareHouses
    int32_t availableDocks = -1;          // "WAREHOUSE_AVAILABLE_DOCKS"
    int32_t minimumProductLoad = 0;       // "WAREHOUSE_MINIMUM_PRODUCT_LOAD"
    int32_t dockDataIndex = -1;           // entry in the dock and stock data
    trv::OleDate dateFrom;                // "WAREHOUSE_FROM_DAY" (orders' copy)
    trv::OleDate dateTo;                  // "WAREHOUSE_TO_DAY" (orders' copy)
    float capacityReducePercent = 0;      // "WAREHOUSE_PERCENT_REDUCE_CAPACITY"
    CProductsAtWareHouse products;
    TRequirementValues requirements; // "WAREHOUSE_REQUIREMENTS"
    TLocationData location;
    std::string dockCode;         // "WAREHOUSE_DOCK_CODE"
    CSmartWordArray docksPerSlot; // "LISTA_PAX_DOCKS" (orders' copy)
};

// One ranked list of warehouse indexes, best first, -1 where no warehouse is ranked.
class CRankedWareHouses
{
  public:
    CRankedWareHouses() = default;
    CRankedWareHouses(const void* slots, int elementSize, int size)
        : m_slots(slots), m_elementSize(elementSize), m_size(size)
    {
    }

    int GetSize() const { return m_size; }
    int operator[](int i) const
    {
        if (!m_slots)
            return -1;
        switch (m_elementSize) {
        case 1:
            return static_cast<const int8_t*>(m_slots)[i];
        case 2:
            return static_cast<const int16_t*>(m_slots)[i];
        default:
            return static_cast<const int32_t*>(m_slots)[i];
        }
    }

  private:
    const void* m_slots = nullptr; // null: every slot -1
    int m_elementSize = 4;
    int m_size = 0;
};

// For every (node, order, pair row) the usable warehouses ranked by detour, filled at an
// optimiser start and freed with the warehouse list. A list depends only on the node, the
// order's delivery place and the pair's warehouse mask, so one list is stored per such triple,
// in the smallest integer type that holds a warehouse index. When even that would not fit the
// memory budget, the table keeps the detours instead and ranks a list on each lookup.
class CWareHouseNearnessTable
{
  public:
    // Memory the stored lists may take.
    static constexpr std::size_t kStoredBudgetBytes = std::size_t{512} << 20;

    // Lists of `width` slots for nodes x places x masks, all -1 (none stored without
    // `storeLists`: SetDetours follows); `placeOfOrder` gives each order's delivery place
    // (-1: none), `maskOfRow` each pair row's mask.
    void Create(int nodes, std::vector<int32_t> placeOfOrder, int places,
                std::vector<int32_t> maskOfRow, int masks, int width, bool storeLists = true);
    // Bytes the stored lists of such a table take.
    static std::size_t StoredBytes(int nodes, int places, int masks, int width);
    // Stores one ranked list (`width` indexes).
    void SetRanked(int node, int place, int mask, const int32_t* ranked);
    // Instead of stored lists: the km from each node to each warehouse and from each warehouse
    // to each place (negative: unreachable), and which warehouses each mask may use.
    void SetDetours(std::vector<float> kmFromNode, std::vector<float> kmToPlace,
                    std::vector<uint8_t> usable);
    void Reset();
    // The number of nodes; 0 while the table is not built.
    int GetCount() const { return m_nodes; }
    int GetWidth() const { return m_width; }
    bool IsStored() const { return m_kmFromNode.empty(); }
    // The ranked list of an order at a node for the pair row's warehouse class; an empty list
    // outside the table. A list ranked on demand lives until the thread's next lookup.
    CRankedWareHouses GetRanked(int node, int order, int warehouseClass) const;

    // Ranks the warehouses whose `usable` flag is set and whose key is not negative, by key,
    // equal keys the higher index first; fills `ranked` (width slots, -1 after the last).
    static void Rank(const float* keys, const uint8_t* usable, int count, int32_t* ranked,
                     int width);

  private:
    std::size_t Offset(int node, int place, int mask) const;

    std::vector<unsigned char> m_slots;
    int m_elementSize = 1;
    std::vector<int32_t> m_placeOfOrder;
    std::vector<int32_t> m_maskOfRow;
    std::vector<float> m_kmFromNode; // nodes x width
    std::vector<float> m_kmToPlace;  // width x places
    std::vector<uint8_t> m_usable;   // masks x width
    int m_nodes = 0;
    int m_places = 0;
    int m_masks = 0;
    int m_width = 0;
};

// The program-wide warehouse list: a warehouse's position is the warehouse index of orders,
// rejections and lorry-driver masks.
class CWareHouses : public CSmartPtrArray<CWareHouse>
{
  public:
    CWareHouse* AddWareHouse();
    void RemoveAt(int index);
    // Ignores an index outside the list; renumbers the rest.
    void RemoveWareHouse(int index);
    void Renumber();
    // Empties the list and frees the nearness table.
    void RemoveAll();
    // The first index from `start` on whose code equals `code` ignoring case; -1 when none.
    int FindWareHouse(const std::string& code, int start = 0) const;
    // CWareHouse::CalculateFields for each warehouse; its dock data index becomes its position.
    void CalculateFields(const trv::OleDate& planningDate);

    CWareHouseNearnessTable& GetNearnessTable() { return m_nearness; }

    // Reads the warehouses of source kind 1 (the plan's file: "file" with its final ".ord" made
    // ".wrh"), 2 (exchange), 3 (the company's) or 4 (the internal database, this company's rows)
    // with their products, completing their locations from the locations table when asked.
    // False when the source did not open, the planner cancelled the filter or required fields
    // were missing (their messages are appended to `messages`). The list is emptied, unless
    // appending, only once the source has opened.
    bool GeneralImport(int sourceKind, const std::string& file, const trv::OleDate& planningDate,
                       CSmartStringArray& messages, bool completeFromLocations, bool append,
                       int planningPeriod = 0);
    // Reads the current record of an open warehouse definition into a new warehouse; false
    // (and nothing added) for a record without code, with a code already listed or unreadable.
    bool LoadWareHouseData(CFieldRecord& record, const trv::OleDate& planningDate,
                           bool completeFromLocations);
    // The plan's warehouses (".wrh") and their products (".prd-wrh"); false when the file
    // could not be written.
    bool SaveWareHouses(const std::string& file, const trv::OleDate& planningDate,
                        int planningPeriod = 0);
    bool SaveWareHouseProducts(const std::string& file);

  private:
    int FindCode(const std::string& code) const;
    void IndexCodes();

    CWareHouseNearnessTable m_nearness;
    // Upper-cased codes to positions while an import runs.
    std::unordered_map<std::string, int> m_codeIndex;
};

// The products file of a warehouses file: a final ".wrh" becomes ".prd-wrh".
std::string WareHouseProductsFile(const std::string& wareHousesFile);
// The warehouses file of an orders file: a final ".ord" becomes ".wrh"; empty without it.
std::string WareHousesFileOfOrders(const std::string& ordersFile);
