#pragma once

#include "params/FieldRecord.h"
#include "params/VariableAccess.h"

#include <memory>
#include <string>
#include <vector>

class CFieldRecord;
class CFieldRecordSource;
class CListaFares;
class CLorry;
class CLorryDriver;
class COrder;
struct TLocationData;
struct TVehicleLoadState;

// Fares price a carrier's trips instead of the vehicles' own rates. A fare is the price list of
// one vehicle class; fares are grouped in tables, one per contract ("FARE_ORDER_ID"). Orders
// choose a table by name, trailers the fare inside it by their fare index.

// Kinds of a special rule ("SPECIAL_FARE_TYPE").
enum SpecialFareType : int
{
    SPECIAL_FARE_UNKNOWN = -1,
    SPECIAL_FARE_ORDER = 1,
    SPECIAL_FARE_RESOURCE = 2,
    SPECIAL_FARE_TRIP = 3,
};

// Where a resource rule reads its value.
enum SpecialFareEntity : int
{
    SPECIAL_FARE_ENTITY_NONE = -1,
    SPECIAL_FARE_ENTITY_PAIR = 0,
    SPECIAL_FARE_ENTITY_TRAILER = 1,
    SPECIAL_FARE_ENTITY_TRUCK = 2,
};

// Fare types decided from the radial and without-return flags.
enum FareType : int
{
    FARE_TYPE_NORMAL = 0,
    FARE_TYPE_RADIAL = 1,
    FARE_TYPE_NO_RETURN = 2,
};

// The largest key a price row may have: the price table holds one entry per unit up to it.
inline constexpr int kMaxFareKey = 1000000;

// A special rule: an amount per unit of a property of the order, the vehicle or the trip.
struct TSpecialFare
{
    float cost = 0.0f;        // "SPECIAL_FARE_COST"
    int weightDependency = 0; // 0 none, 1 times the trip's load in tonnes, 2 the order's
    int additionalKm = 0;     // the rule adds kilometres instead of money
    int payJustFirstTime = 0; // charged once per vehicle state
    int type = SPECIAL_FARE_UNKNOWN;
    int entity = SPECIAL_FARE_ENTITY_NONE;
    TVarAccessorPtr member; // the value's field in its entity; null when not found
    int variableKind = -1;
    std::string variableName; // "SPECIAL_FARE_VARIABLE_NAME"
    std::string listName;     // requirement or additional-information name
    int listIndex = -1;       // its position in its definition list
    int format = -1;          // 1 "BOOL", 2 "INTEGER", 3 "FLOAT"; a requirement's type
};

// The money and weight terms of a fare, as its records give them.
struct TFareTerms
{
    float minimumLoadKg = 0.0f;        // "FARE_MINIMUM_LOAD"
    float minimumCost = 0.0f;          // "FARE_MINIMUM_COST"
    float firstUnloadCost = 0.0f;      // "FIRST_UNLOAD_COST"
    float firstUnloadKm = 0.0f;        // "FIRST_UNLOAD_KM_COST": km added for the first unload
    float additionalUnloadCost = 0.0f; // "ADDITIONAL_UNLOAD_COST": per unload after the first
    float additionalUnloadKm = 0.0f;   // "ADDITIONAL_UNLOAD_KM_COST"
    int radial = 0;                    // "FARE_RADIAL"
    int noReturn = 0;                  // "FARE_NO_RETURN"
    int mode = 0;                      // "FARE_POR_KM": how the price table is read, 0..4
    int deliveriesOnly = 0;            // "FARE_SOLO_POR_ENTREGAS"
};

// One price row: a key (kilometres, or kilogrammes in the load modes) and its price.
struct TFareRow
{
    int key = 0;
    float price = 0.0f;
};

class CFare
{
  public:
    // Stores the ids; registers the order id among the table names and the fare's key in the
    // registry of `list`.
    void SetIds(const std::string& id, const std::string& subId, const std::string& orderId,
                CListaFares& list);

    const std::string& GetId() const { return m_strId; }
    const std::string& GetSubId() const { return m_strSubId; }
    const std::string& GetOrderId() const { return m_strOrderId; }
    int GetFareIndex() const { return m_nFareIndex; }
    int GetTableIndex() const { return m_nTableIndex; }
    int GetType() const { return m_nType; }
    const TFareTerms& GetTerms() const { return m_terms; }
    TFareTerms& Terms() { return m_terms; }

    // ---- Special rules ------------------------------------------------------------------------
    int GetSpecialFareCount() const { return static_cast<int>(m_specialFares.size()); }
    const TSpecialFare& GetSpecialFare(int index) const
    {
        return m_specialFares[static_cast<std::size_t>(index)];
    }
    // Adds a rule from its definition text (the value of `key` in section "SPECIAL_FARES" of
    // `file` when the key is given and the text is empty); a rule whose value cannot be found
    // in the catalogue or the definition lists is not kept. True when the rule was kept.
    bool AddSpecialFare(const std::string& file, const std::string& key, const std::string& text,
                        float cost);

    // ---- Price rows and table -----------------------------------------------------------------
    // Appends a row unless an equal one ("%010d%011.5f") is stored; false for a repeat.
    bool AddRow(int key, float price);
    const std::vector<TFareRow>& GetRows() const { return m_rows; }
    // The text a row is compared by.
    static std::string RowText(const TFareRow& row);
    // Builds the price table from the rows (nothing without rows).
    void BuildPriceTable();
    int GetPriceTableLength() const { return static_cast<int>(m_priceTable.size()); }
    const float* GetPriceTable() const { return m_priceTable.data(); }

    // ---- Pricing ------------------------------------------------------------------------------
    // The fare of the pair's current trip priced with `pricedLorry` (null: the pair's own);
    // `closingOrder` is the order the trip would end with, or null. The price without unload
    // costs, special rules and minimum goes to `pureFare`, unless the orders' price per km
    // replaces the table.
    float TripFare(const CLorryDriver& pair, TVehicleLoadState& state, const CLorry* pricedLorry,
                   float& pureFare, const COrder* closingOrder) const;
    // The table price for `chargeableKm` with unload costs, special rules and the minimum.
    float Price(int chargeableKm, const COrder* order, const CLorryDriver* pair,
                TVehicleLoadState& state, const CLorry* lorry, float& pureFare, bool mark,
                float chargedLoadKg, float rawLoadKg) const;
    // The sum of the special rules for one call: the additional-km rules on that pass, the cost
    // rules otherwise. With `mark` a rule that counted is marked charged in the state.
    float SpecialFaresCost(const COrder* order, const CLorryDriver* pair, TVehicleLoadState* state,
                           const CLorry* lorry, float weight1, float weight2, bool additionalKmPass,
                           bool mark) const;
    // The price table at an index: 0 without a table, entry 0 below it, the last beyond it.
    float ReadPriceTable(int index) const;

    // ---- Reading ------------------------------------------------------------------------------
    // The minimums and unload terms of the fare's header records (the last record wins).
    void LoadMinimums(CFieldRecordSource& source, int kind, const std::string& file);
    // Flags, mode and type from the current record.
    void set_FareType(CFieldRecord& record);
    // The rules of the fare's header records in the plan's fare file.
    void LoadSpecialFaresFromFares(CFieldRecordSource& source, const std::string& file);
    // The rules of the company's "SPECIAL_FARES" section, with this fare's costs.
    void LoadSpecialFaresFromIni(CFieldRecordSource& source);
    // A price row and the terms it gives from the current record.
    void AddRow(CFieldRecord& record);

  private:
    // A filter on this fare's id and sub-id, and with `withOrder` on its order id too.
    std::string Filter(bool withOrder) const;
    // Opens `definition` on `file` for this fare's records: on the three ids, else on two.
    std::unique_ptr<CFieldRecord> OpenOwnRecords(CFieldRecordSource& source,
                                                 const std::string& definition,
                                                 const std::string& file) const;

    std::string m_strId;
    std::string m_strSubId;
    std::string m_strOrderId;
    std::vector<TSpecialFare> m_specialFares;
    std::vector<TFareRow> m_rows; // in reading order, no two with equal texts
    int m_nFareIndex = 0;
    int m_nTableIndex = 0;
    std::vector<float> m_priceTable; // read by index for every trip priced
    TFareTerms m_terms;
    int m_nType = FARE_TYPE_NORMAL;
};

// A fare table: the fares of one contract, by fare index (positions of other fares empty).
class CFares
{
  public:
    explicit CFares(std::string name = {}) : m_strName(std::move(name)) {}

    const std::string& GetName() const { return m_strName; }
    int GetSize() const { return static_cast<int>(m_fares.size()); }
    // The fare at a fare index, or null.
    CFare* GetFare(int fareIndex) const
    {
        if (fareIndex < 0 || fareIndex >= GetSize())
            return nullptr;
        return m_fares[static_cast<std::size_t>(fareIndex)].get();
    }
    // The largest number of special rules of any fare of the table.
    int GetMaxSpecialFares() const { return m_nMaxSpecialFares; }

    // Places the fare at its fare index, replacing what was there.
    CFare& SetFare(std::unique_ptr<CFare> fare);
    // A fare from the current header record, unless the table holds it already.
    void AddFare(CFieldRecordSource& source, int kind, const std::string& file,
                 CFieldRecord& record, CListaFares& list);
    // A price row of the current record for the fare it names; unknown fares are skipped.
    void AddRow(CFieldRecord& record, const CListaFares& list);
    void BuildPriceTables();
    // The header records (one per rule, or one) and then, with `rows`, the price rows of every
    // fare; false when a record could not be written.
    bool WriteFares(CFieldRecord& fares, CFieldRecord* rows) const;

  private:
    std::string m_strName;
    std::vector<std::unique_ptr<CFare>> m_fares;
    int m_nMaxSpecialFares = 0;
};

// The program's fare tables, by table index, with the fare registry and the table names that
// trailers and orders keep indexes into: both only grow during a run.
class CListaFares
{
  public:
    // ---- Indexes ------------------------------------------------------------------------------
    // The fare index of a fare id and sub-id: a numeric id with no sub-id (or "0") keeps its own
    // number when that position is free; other keys take the next position at the end.
    int RegisterFareIndex(const std::string& id, const std::string& subId);
    // The position of the registry key of id and sub-id, or -1; registers nothing.
    int FindFareIndex(const std::string& id, const std::string& subId) const;
    const std::vector<std::string>& GetFareRegistry() const { return m_fareRegistry; }
    // The table index of a contract name, appended when new.
    int GetTableIndex(const std::string& orderId);
    // The table index of a contract name, or -1.
    int FindTableName(const std::string& orderId) const;
    const std::vector<std::string>& GetTableNames() const { return m_tableNames; }
    static std::string RegistryKey(const std::string& id, const std::string& subId);

    // ---- Tables -------------------------------------------------------------------------------
    int GetSize() const { return static_cast<int>(m_tables.size()); }
    // The table at a table index, or null (a name added after the last load has none).
    CFares* GetTable(int tableIndex) const
    {
        if (tableIndex < 0 || tableIndex >= GetSize())
            return nullptr;
        return m_tables[static_cast<std::size_t>(tableIndex)].get();
    }

    // ---- Loading and saving -------------------------------------------------------------------
    // Replaces the tables: kind 1 from the plan's fare file `file` and its price rows beside it,
    // other kinds from the company's definitions. Every known table name gets a table. Returns
    // whether the fare definition opened.
    int LoadListaFares(CFieldRecordSource& source, const std::string& file, int kind);
    // Reads the price rows and builds every price table.
    void LoadSubfaresCosts(CFieldRecordSource& source, int kind, const std::string& file);
    // Writes every fare beside `file` (".far", ".sfar", ".pfar"); false when a file could not
    // be written.
    bool SaveFares(CFieldRecordSource& source, const std::string& file) const;

  private:
    CFares& TableAt(int tableIndex);

    std::vector<std::unique_ptr<CFares>> m_tables;
    std::vector<std::string> m_fareRegistry; // "id@subId" by fare index
    std::vector<std::string> m_tableNames;   // "FARE_ORDER_ID" by table index
};
