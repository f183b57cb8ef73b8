#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPlanLocations;
class CSchNodesList;

// Where a node's cells are: the matrix (class) and its row and column in it. {-1, -1}: none.
struct TTranslationEntry
{
    int32_t matrixClass = -1;
    int32_t row = -1;

    bool Exists() const { return matrixClass >= 0 && row >= 0; }
};

// One group of lorry-driver pairs and orders that can meet.
struct TNodeClass
{
    int identifier = 0; // the number of classes when it was created
    int lastRow = -1;
    std::vector<int> pairs;
    std::vector<int> orders;
    std::vector<int> warehouses;
    std::vector<int> nodes;
};

// The matrix partition: classes of pairs and orders linked by allowed service, each location's
// class, per-class node indexes for shared locations, and the translation table from node index
// to matrix cell through which every reader finds a cell.
class CClasificacionNodos
{
  public:
    // Builds the classes: the connected groups of the relation pair-order, a pair and an order
    // linked when the order is not rejected for the pair (or matrices are not partitioned).
    void SeparaEnEquivalentes(const CPlanLocations& plan);
    // Gives every order, pair and warehouse the number of its class.
    void AsignaMatrizPedido(const CPlanLocations& plan);
    // A location used by a second class gets a node index of its own in that class; with
    // `addCopies` a copy of its node is appended to the node list.
    void RegeneraINodeNumber(CPlanLocations& plan, CSchNodesList& nodes, bool addCopies);
    // One matrix (class 0) over every located node: node j at row j.
    void SetSingleMatrixTranslation(const CSchNodesList& nodes);

    // The translation file: "class\trow" per node index, "-1\t-1" for none.
    bool Save(const std::string& path) const;
    // Sets the entries of the file's lines (the table is not emptied first); false when it
    // cannot be read.
    bool Load(const std::string& path);
    // Empties the table, loads the plan's ".ttm" and keeps a copy in the per-process folder.
    bool Init(const std::string& planPath);

    // The entry of a node, created as {0, 0} when missing.
    TTranslationEntry& GetEntry(int node);
    // The entry of a node; {-1, -1} when it has none.
    TTranslationEntry FindEntry(int node) const
    {
        if (node < 0 || static_cast<std::size_t>(node) >= m_entries.size())
            return {};
        return m_entries[static_cast<std::size_t>(node)];
    }
    const std::vector<TTranslationEntry>& Entries() const { return m_entries; }

    int GetClassCount() const { return static_cast<int>(m_classes.size()); }
    // The node list of the class at a position; null past the end.
    const std::vector<int>* GetClassNodes(int position) const;
    int GetClassLastRow(int position) const;
    const TNodeClass* GetClass(int position) const;
    // Class numbers given by AsignaMatrizPedido; -1 when none.
    int GetOrderClass(int order) const { return ClassAt(m_orderClass, order); }
    int GetPairClass(int pair) const { return ClassAt(m_pairClass, pair); }
    int GetWarehouseClass(int warehouse) const { return ClassAt(m_warehouseClass, warehouse); }

    // Empties the translation table and the all-nodes list.
    void Clear();
    // Empties everything, classes included.
    void RemoveAll();

  private:
    static int ClassAt(const std::vector<int>& classes, int index)
    {
        if (index < 0 || static_cast<std::size_t>(index) >= classes.size())
            return -1;
        return classes[static_cast<std::size_t>(index)];
    }

    std::vector<std::unique_ptr<TNodeClass>> m_classes;
    std::vector<TTranslationEntry> m_entries;
    std::vector<int> m_allNodes;
    std::vector<int> m_orderClass;
    std::vector<int> m_pairClass;
    std::vector<int> m_warehouseClass;
};
