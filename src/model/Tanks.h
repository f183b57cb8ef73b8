#pragma once

#include "containers/SmartArray.h"
#include "model/OrderLine.h"
#include "params/TrevantorVariablesKeys.h"

#include <cstdint>
#include <string>
#include <vector>

class CTrailer;

// A tank whose value reaches this is the trailer's big tank.
inline constexpr int kBigTankValue = 1000000;
// The combination tables of n tanks hold 2^n - 1 entries; more tanks than this are refused.
inline constexpr int kMaxTanks = 16;

// One tank (compartment) of a trailer.
struct CTank
{
    float capacity = 0;
    float overloadedCapacity = 0;
    int32_t value = 0;      // the compartment rule; kBigTankValue or more marks the big tank
    int32_t identifier = 0; // "TANKS_IDS"
    std::string compatibilityGroup; // "PRODUCT_COMPATIBILITY_GROUPS"
};

// For every size k = 1 .. n, combinations of k tank positions stored one after the other, in
// ascending order of their total capacity (generation order among equal totals).
class CTankCombinations
{
  public:
    void Clear();
    // The number of tanks the table was built for; -1 when it is not built.
    int GetTankCount() const { return m_tanks; }
    int GetCount(int size) const;
    // The `size` positions of combination `index` of that size.
    const uint8_t* Get(int size, int index) const;

  private:
    friend class CTanks;
    std::vector<std::vector<uint8_t>> m_bySize; // entry k - 1 holds the combinations of k
    int m_tanks = -1;
};

class CProductsInTank;

// A trailer's tanks in ascending order of capacity, with the combination tables the optimiser
// fills compartments from and the load the trailer starts the plan with.
class CTanks : public CSmartPtrArray<CTank>, public CTankSetVariable
{
  public:
    CTanks() = default;

    // Inserts before the first larger tank (equal capacities keep input order); the new tank's
    // position, or -1 when the trailer already has kMaxTanks (the refusal is counted).
    int AddTank(float capacity, int value);
    // Tank product groups, overloaded capacities, big tank and combination tables, holding the
    // running engine's evaluations back meanwhile.
    void Prepare(float overloadPercent);
    void ApplyOverload(float overloadPercent);
    // Builds both tables unless they are already sized for the current tanks.
    void BuildCombinations();
    // Removes the tanks and empties everything derived from them.
    void Clear();

    // The first initial line of that product code, ignoring case; -1.
    int FindInitialLine(const std::string& code) const;
    // A load the trailer already carries: a line of that product code (and name) and volume,
    // added into the initial line of the same code when there is one. True when appended.
    bool AddRealLoadLine(const std::string& product, float volume);
    // An initial line without product, filling a tank that starts empty.
    void AppendEmptyInitialLine();
    void ClearInitialLines() { m_initialLines.SetSize(0); }
    // The working lines become copies of the initial ones (product, name and volume).
    void CopyInitialLines();
    // "5000 (A), 3000 (B)": the initial load of the tanks that hold a named product.
    std::string GetInitialText() const;
    // What the working lines keep after the tank's unloading; products unloaded entirely are
    // left out.
    std::string GetRemainingText(const CProductsInTank& tank) const;

    float GetCapacitySum() const;
    float GetOverloadedCapacitySum() const;
    int GetBigTank() const { return m_bigTank; }
    bool AreEqual() const { return m_equal != 0; }
    // Tanks the last reading offered beyond kMaxTanks.
    int GetRefusedCount() const { return m_refused; }
    // Whether a reading placed a load by tank identifiers.
    bool WasLoaded() const { return m_loaded; }
    const CSmartWordArray& GetEntryOrder() const { return m_entryOrder; }
    const CTankCombinations& GetCombinations() const { return m_combinations; }
    const CTankCombinations& GetBigTankCombinations() const { return m_bigTankCombinations; }
    const std::vector<CSmartIntArray>& GetInitialGroupsPerTank() const { return m_initialGroups; }
    const CSmartIntArray& GetInitialGroupPerTank() const { return m_initialGroup; }
    const CSmartPtrArray<COrderLine>& GetInitialLines() const { return m_initialLines; }
    CSmartPtrArray<COrderLine>& GetWorkingLines() { return m_workingLines; }
    const CSmartStringArray& GetTankProducts() const { return m_tankProducts; }
    const CSmartUIntArray& GetTankProductGroups() const { return m_tankProductGroups; }

    // ---- CTankSetVariable -----------------------------------------------------------------
    int InsertSortedCapacity(float capacity, int compartmentRule) override;
    // The catalogue names the tank it has just inserted.
    void SetCompatibilityGroup(int position, const std::string& group) override;
    void SetTankIdentifier(int position, int identifier) override;
    // Tank i takes fixedProducts[i] and the next countPerTank[i] products, but only when there
    // is one count per tank and neither list is empty or starts with -1.
    void SetInitialGroups(const CSmartIntArray& countPerTank, int tanksWithProducts,
                          const CSmartIntArray& initialProducts,
                          const CSmartIntArray& fixedProducts) override;
    void AddInitialLoadLine(const std::string& product, float quantity,
                            bool withIncompatibilityGroup) override;
    void SetLoaded() override { m_loaded = true; }
    int GetTankCount() const override { return GetSize(); }
    TTankSetEntry GetTank(int index) const override;
    int GetInitialLoadCount() const override { return m_initialLines.GetSize(); }
    void GetInitialLoadLine(int index, std::string& productName, float& volume) const override;

  private:
    void EvaluateEqualTanks();
    void ResolveTankProducts();

    int m_bigTank = -1;
    int m_bigTankBuiltFor = -1;
    CTankCombinations m_combinations;
    CTankCombinations m_bigTankCombinations;
    CSmartWordArray m_entryOrder; // input number of the tank at each position
    int m_added = 0;              // input numbers handed out
    int m_lastInserted = -1;
    int m_refused = 0;
    std::vector<CSmartIntArray> m_initialGroups; // "INITIAL_IFES_FOR_EACH_TANKS"
    CSmartIntArray m_initialGroup;               // one per tank
    CSmartPtrArray<COrderLine> m_initialLines;
    CSmartPtrArray<COrderLine> m_workingLines;
    CSmartIntArray m_perTankFirst;
    CSmartIntArray m_perTankSecond;
    CSmartStringArray m_tankProducts;    // "PRODUCTS_LOADED"
    CSmartUIntArray m_tankProductGroups; // last-trip group per tank, -1 without product
    int32_t m_equal = 1;
    bool m_loaded = false;
};

// The order lines one tank of a trip holds (not owned) and each one's quantity in it.
class CProductsInTank : public CSmartArray<COrderLine*, COrderLine*>
{
  public:
    void Copy(const CProductsInTank& other);
    void Clear();
    // "5000 A, 3000 B".
    std::string GetText() const;
    void AddLine(COrderLine* line, float quantity);

    CSmartFloatArray quantities;
    int32_t tankPosition = -1;
};

// How often each value 0 .. max - 1 occurs (values outside are not counted) and how many
// distinct ones occur.
int CountValues(const CSmartIntArray& values, int max, std::vector<int>& counts);

// The optimiser's view of a trailer's hoses and of the product groups its tanks start with.
// Init runs before each evaluation with the trailer and allocates nothing once its lists have
// grown to the trailer's size.
class CInfoGruposProductosDescargados
{
  public:
    void Init(const CTrailer& trailer);
    // The first hose free or holding the group. A free hose answers the position of the
    // trailer's fixed hose for that group when there is one. False (position untouched) when
    // every hose holds another group.
    bool FindHose(int group, int& position) const;

    int32_t collectorGroup = -1;
    std::vector<int> hoseGroups;
    std::vector<int> hoseAssignment;
    std::vector<int> initialGroupsPresent;
    std::vector<int> groupsPresent;

  private:
    void AssignHosesByMatrix(const CTrailer& trailer);
    void AssignHose(const CTrailer& trailer, int group, float quantity);

    int m_fixedHoseGroups[2] = {-1, -1};
};
