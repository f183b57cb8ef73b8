#pragma once

#include "containers/SmartArray.h"
#include "params/FieldRecord.h"
#include "params/VariableAccess.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

class CVariablesKeys;

// Requirements: named conditions that orders, warehouses and zones ask for and lorry-driver
// pairs offer, defined once program-wide; every taking part entity holds one value per
// definition. The same lists carry additional information (free texts of orders, lines and
// resources) and the all-variables lists of the requirements list control.

// Value types of a requirement definition ("REQ_TYPE").
enum RequirementType : int
{
    REQ_TYPE_NONE = 0,
    REQ_TYPE_BOOL = 1,
    REQ_TYPE_MORE_THAN = 2, // ">"
    REQ_TYPE_LESS_THAN = 3, // "<"
    REQ_TYPE_EQUAL = 4,     // "="
    REQ_TYPE_FREE_TEXT = 5,
    REQ_TYPE_IN_LIST = 6,
    REQ_TYPE_NOT_IN_LIST = 7,
    REQ_TYPE_MORE_PLUS = 8, // ">+": summed over an entity's records
};

// One requirement (or additional information) definition.
class CCondicionante
{
  public:
    int index = -1;
    std::string name;             // "REQ_NAME"
    uint8_t type = 0;             // RequirementType; the catalogue kind for all-variables lists
    int weight = 0;               // "REQ_PREFERENT": 0 strict, else the penalty factor
    CSmartStringArray listValues; // "REQ_LIST_VALUES"
    bool driver = false;          // "REQ_DRIVER"
    std::string orderVariable;    // "REQ_ORDER_VARIABLE"
    std::string resourceVariable; // "REQ_RESOURCE_VARIABLE"
    bool warehouse = false;       // "REQ_WAREHOUSE"

    // The list values joined by ",".
    std::string GetListValuesText() const;
    bool IsListType() const { return type == REQ_TYPE_IN_LIST || type == REQ_TYPE_NOT_IN_LIST; }
};

// One slot of an entity's requirement values: an integer, or an owned set of texts for the
// list types. kAnyRequirementValue (or a null set) means "any value".
using TRequirementSlot = std::variant<int32_t, std::unique_ptr<CSmartSortNoRepeatStringArray>>;

bool IsAnyValue(const TRequirementSlot& slot);

// The requirement values of an entity: one slot per requirement definition that existed when
// the values were created.
class TRequirementValues
{
  public:
    TRequirementValues() = default;
    TRequirementValues(const TRequirementValues& other) { *this = other; }
    TRequirementValues(TRequirementValues&&) noexcept = default;
    // A copy of every defined slot of the source, with the source's slot count.
    TRequirementValues& operator=(const TRequirementValues& other);
    TRequirementValues& operator=(TRequirementValues&&) noexcept = default;

    // `count` slots, every one "any value".
    void Init(int count);
    void Destroy();
    int GetCount() const { return static_cast<int>(m_slots.size()); }

    const TRequirementSlot& GetSlot(int index) const { return m_slots[index]; }
    // The integer of a slot; kAnyRequirementValue for a set or an undefined slot.
    int GetInt(int index) const;
    // The set of a list slot, or null.
    const CSmartSortNoRepeatStringArray* GetSet(int index) const;

    // Stores an integer; the marker drops a slot's set.
    void SetValue(int index, int value);
    // Copies the texts into the slot's own set.
    void SetValue(int index, const CSmartStringArray& texts);
    void ResetAll();
    bool IsAllAny() const;
    bool HasAny() const;
    // With `copy` set, every defined slot of the source (within both counts).
    void CopyFrom(const TRequirementValues& source, bool copy);
    // Copies the source, asking "DoUWannaOverwriteRequirements" first when this already holds a
    // value; nothing when this has no slots or the source is all "any value".
    void CopyAsking(const TRequirementValues& source);

  private:
    void CopySlot(int index, const TRequirementSlot& source);
    std::vector<TRequirementSlot> m_slots;
};

// The requirements file named in "FileNames.ini" ("RequirementsIniFile"), shown in the
// message about a bad requirement type.
void SetRequirementsFile(const std::string& fileNamesIni);
const std::string& GetRequirementsFile();

// A program-wide definition list: the requirements, and by its subclasses the additional
// information and the all-variables lists.
class CListaCondicionantes : public CSmartPtrArray<CCondicionante>, public CVariableDefinitionList
{
  public:
    CListaCondicionantes() = default;

    // Appends an empty definition.
    CCondicionante* NewElement();
    // The definition (section) the list loads from; also sets its caption.
    virtual std::string GetSection();
    // Lists whose empty "REQ_TYPE" means a free text (additional information).
    virtual bool IsInformationList() const { return false; }
    virtual bool IsOrderLineInformation() const { return false; }

    // Empties the list and loads it from the records of its definition, or from a key set of
    // the catalogue. A definition that cannot be opened leaves the list empty.
    void LoadDefinitions(CFieldRecordSource& source, bool fromRecords,
                         const CVariablesKeys* catalogueKeys, bool allVariables);
    // Appends one definition from the current record; false when it was refused.
    bool ReadDefinition(CFieldRecord& record);
    void LoadFromCatalogue(const CVariablesKeys& catalogueKeys, CFieldRecord* record,
                           bool allVariables);
    bool SaveDefinitions(CFieldRecordSource& source) const;
    void WriteDefinition(CFieldRecord& record, const CCondicionante& definition) const;
    // Lists the definitions without name or with a type the wizard does not offer in one
    // message; false when there was one.
    bool CheckDefinitions() const;

    std::string GetExplanation(const CCondicionante& definition, const std::string& subject) const;
    // Joins the names of the flagged definitions: "A, B and C".
    std::string GetFailedNamesText(const CSmartIntArray& flags) const;

    // ---- Matching (a is the resource side) -------------------------------------------------
    int CompareValue(int index, const TRequirementSlot& a, const TRequirementSlot& b, bool weighted,
                     bool driverMode, bool warehouseMode) const;
    int CompareValues(const TRequirementValues& resource, const TRequirementValues& other,
                      bool weighted, bool driverMode, bool warehouseMode) const;
    static bool MatchLists(const CSmartSortNoRepeatStringArray* a,
                           const CSmartSortNoRepeatStringArray* b, bool negate);
    // Keeps a flag set only for the requirements the resource strictly fails.
    void MarkFailedRequirements(CSmartIntArray& flags, const TRequirementValues& resource,
                                const TRequirementValues& order) const;

    // ---- Values from and to records ---------------------------------------------------------
    void MergeValue(CFieldRecord& record, int index, TRequirementValues& values, int direct) const;
    void WriteValue(CFieldRecord& record, const TRequirementValues& values, int index,
                    const std::string& fieldName) const;

    // ---- CVariableDefinitionList --------------------------------------------------------------
    int GetDefinitionCount() const override { return GetSize(); }
    std::string GetDefinitionName(int index) const override;
    std::string GetDefinitionExplanation(int index) const override;
    int FindByName(const std::string& name) const override;
    void ReadInformativeValues(CSmartStringArray& values, CFieldRecord& record) const override;
    void WriteInformativeValues(CFieldRecord& record, const CSmartStringArray& values,
                                const TFieldMap* names) const override;
    void ParseValues(CFieldRecord& record, bool merge, int direct, const TFieldMap* names, bool sum,
                     TRequirementValues& values) const override;
    void WriteValues(CFieldRecord& record, const std::string& prefix,
                     const TRequirementValues& values, const TFieldMap* names) const override;
    std::string GetValueText(const TRequirementValues& values, int index) const override;
    int GetIntegerValue(const TRequirementValues& values, int index) const override;

    int m_nMaxValueLength = -1; // text limit of an edited list value; -1 before any load
    std::string m_strCaption;

  private:
    void ReadAndMerge(CFieldRecord& record, int index, bool merge, int direct,
                      const TFieldMap* names, bool sum, TRequirementValues& values) const;
    // The slot's field and, with REQUIREMENTS fields in the definition, the name they read.
    std::string RequirementField(CFieldRecord& record, const std::string& fieldName,
                                 const std::string& definitionName) const;
};

class CListaKLV : public CListaCondicionantes
{
};

class CListaAddOrdersInfo : public CListaKLV
{
  public:
    std::string GetSection() override;
    bool IsInformationList() const override { return true; }
};

class CListaAddOrdersLinesInfo : public CListaKLV
{
  public:
    std::string GetSection() override;
    bool IsInformationList() const override { return true; }
    bool IsOrderLineInformation() const override { return true; }
};

class CListaAddResourcesInfo : public CListaKLV
{
  public:
    std::string GetSection() override;
    bool IsInformationList() const override { return true; }
};

class CListaAddOrdersGeneticInfo : public CListaKLV
{
  public:
    std::string GetSection() override;
};

class CListaAddResourcesGeneticInfo : public CListaKLV
{
  public:
    std::string GetSection() override;
};

class CListaOrdersInfo : public CListaKLV
{
  public:
    std::string GetSection() override;
};

class CListaTrucksInfo : public CListaKLV
{
  public:
    std::string GetSection() override;
};
