#pragma once

#include "containers/BoolTable.h"
#include "params/FieldRecord.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <span>
#include <string>
#include <vector>

// A rule of the planner: customers near point 1 and customers near point 2 are not combined in
// one trip (rejection type 0) or only at a cost (type 1). Other types are kept but never
// applied.
struct TNoCombinableRule
{
    static constexpr double kNotLocated = 12345678.0;

    double longitude1 = kNotLocated; // "COORD1LON", degrees
    double latitude1 = kNotLocated;  // "COORD1LAT"
    double radius1Km = 0;            // "RADIX1"
    double longitude2 = kNotLocated; // "COORD2LON"
    double latitude2 = kNotLocated;  // "COORD2LAT"
    double radius2Km = 0;            // "RADIX2"
    int rejectionType = 0;           // "TIPO_RECHAZO"
    int active = 0;                  // "ACTIVADO"
    int saved = 0;                   // known to the database
    int id = 0;                      // "ID" given by the database; 0 for a new rule
};

// A point on the map in degrees.
struct TMapPoint
{
    double longitude = 0;
    double latitude = 0;
};

// Reads a plan's matrix file (".coc" or ".ccpen"): the matrices it holds, or false when its
// numbers do not describe exactly its bytes. `expected` matrices are wanted; with 1 the older
// single-matrix form is read too.
bool ReadNoCombinableMatrices(std::span<const std::byte> bytes, int expected,
                              std::vector<CBoolTable>& matrices);

// The non-combinable rules of the company and the customer-by-customer matrices they give, one
// per loading warehouse in each of two families (rejection types 0 and 1). A bit (a, b) of
// matrix k: orders of customers a and b loading at warehouse k are non-combinable; every bit
// is set with its mirror.
class CNoCombinable
{
  public:
    // ---- Rules ----------------------------------------------------------------------------------
    // Appends an active, unsaved rule and applies it to the orders at once.
    void AddRule(const TMapPoint& point1, const TMapPoint& point2, double radius1Km,
                 double radius2Km, int rejectionType);
    TNoCombinableRule* FindRuleById(int id);
    // The newest rule, or null.
    TNoCombinableRule* GetLastRule();
    // Removes the first rule of that identifier: 1, or 0 when none has it.
    int RemoveRuleById(int id);
    const std::list<TNoCombinableRule>& GetRules() const { return m_rules; }
    void RemoveAllRules() { m_rules.clear(); }

    // ---- Matrices -------------------------------------------------------------------------------
    // Both families become `count` (at least 1) clear matrices of customers × customers.
    void InitMatrices(int customers, int count);
    // Every matrix cleared, then every active rule of type 0 or 1 applied to every two orders of
    // different customers loading at the same warehouse.
    void CalculaNoCombinables();
    // Applies the rules to the customers a and b, at their places, in matrix k.
    void ApplyRules(int customerA, const TMapPoint& placeA, int customerB, const TMapPoint& placeB,
                    const std::list<TNoCombinableRule>& rules, int matrix);
    void SetPairBit(int column, int row, int rejectionType, int matrix);
    // Whether the point lies within the radius of the centre (the bound counts as inside).
    static bool IsInRadius(const TMapPoint& point, const TMapPoint& centre, double radiusKm);

    int GetMatrixCount() const { return m_matrixCount; }
    // The matrix of a rejection type (0 or 1) and warehouse index; the caller keeps in range.
    const CBoolTable& GetMatrix(int rejectionType, int matrix) const
    {
        return (rejectionType == 0 ? m_type0 : m_type1)[static_cast<size_t>(matrix)];
    }
    bool IsNonCombinable(int rejectionType, int matrix, int customerA, int customerB) const
    {
        return GetMatrix(rejectionType, matrix).GetBit(customerA, customerB) != 0;
    }
    // Cleared whenever a bit is set.
    bool IsUnchanged() const { return m_unchanged; }

    // ---- The company's database -----------------------------------------------------------------
    // The definitions file the rules are exchanged through; empty: the program's.
    void SetDefinitionFile(std::string file) { m_definitionFile = std::move(file); }
    // The company's rules, active and saved, replace the list (left empty when the database
    // cannot be read).
    void LoadRules();
    // Writes the newest rule and reads its identifier back; 1 when both succeeded (the rule is
    // then saved), 0 otherwise.
    int ExportarBDD();
    // Writes an existing rule (by its identifier when it has one); 1 when written.
    int SaveRule(const TNoCombinableRule& rule);
    // Deletes the company's row of the rule: by identifier, else by its coordinates.
    int BorrarBDD(const TNoCombinableRule& rule);
    // The identifier the database gave the rule: the highest of the company's rows with the
    // rule's points, radii and type; -1 when none can be read.
    int GetLastRuleId(const TNoCombinableRule& rule);

    // ---- The plan's files -----------------------------------------------------------------------
    // With rules, "<plan>.ccdef"; without, the matrices in "<plan>.coc" and "<plan>.ccpen".
    // 1 when everything was written.
    int ExportToPlan(const std::string& planPath);
    // The plan's rules, else its matrices; 0 when neither could be read (the matrices are then
    // released and the caller sizes them afresh).
    int ImportFromPlan(const std::string& planPath, int expected);

  private:
    // Applies the rules to every two distinct customers at one warehouse, by groups of orders
    // of one customer and place: the same bits as every pair of orders gives.
    void ApplyToOrders(std::span<const TNoCombinableRule* const> rules);
    CBoolTable& Matrix(int rejectionType, int matrix)
    {
        return (rejectionType == 0 ? m_type0 : m_type1)[static_cast<size_t>(matrix)];
    }
    bool ReadMatrixFile(const std::string& path, int expected, std::vector<CBoolTable>& family);

    int m_matrixCount = 0;
    std::vector<CBoolTable> m_type0;
    std::vector<CBoolTable> m_type1;
    std::list<TNoCombinableRule> m_rules;
    bool m_unchanged = true;
    std::string m_definitionFile;
};
