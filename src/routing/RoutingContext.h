#pragma once

#include "containers/BoolTable.h"
#include "model/Distances.h"
#include "routing/DistancesArray.h"
#include "routing/ParticionMatrices.h"
#include "routing/SchNodesList.h"

#include <memory>
#include <vector>

// The program-wide objects of the distances: the node list, the partition with its translation
// table, the class matrices and the routed-pairs tables handed to the routing provider. One place
// so a new plan or a test starts clean.
struct CRoutingContext
{
    CSchNodesList nodes;
    CClasificacionNodos partition;
    // One matrix per class, indexed by class number.
    std::vector<std::unique_ptr<CDistancesArray>> matrices;
    // Node-by-node tables of the pairs the routing provider has computed, one per class.
    std::vector<std::unique_ptr<CBoolTable>> routedPairs;
    // Set once the matrices of the plan are built.
    bool matricesBuilt = false;
    // The optimiser derives travel times from cell minutes with hour factors and corrections.
    bool travelTimeAdjustment = false;

    // A new empty matrix at the end of the list.
    CDistancesArray* AddMatrix();
    // A new empty routed-pairs table at the end of the list.
    CBoolTable* AddRoutedPairsTable();
    // Frees every matrix (before distances are prepared again or a plan is loaded).
    void ClearMatrices();

    // Kilometres and minutes between two nodes: one translation read per node and one cell read.
    // False when either node has no cell in the matrix of the first.
    bool GetKmAndMinutes(int fromNode, int toNode, float& km, int& minutes) const
    {
        const std::vector<TTranslationEntry>& entries = partition.Entries();
        if (fromNode < 0 || toNode < 0 || static_cast<std::size_t>(fromNode) >= entries.size() ||
            static_cast<std::size_t>(toNode) >= entries.size())
            return false;
        const TTranslationEntry from = entries[static_cast<std::size_t>(fromNode)];
        const TTranslationEntry to = entries[static_cast<std::size_t>(toNode)];
        if (!from.Exists() || !to.Exists() ||
            static_cast<std::size_t>(from.matrixClass) >= matrices.size())
            return false;
        const CDistancesArray* matrix = matrices[static_cast<std::size_t>(from.matrixClass)].get();
        if (matrix == nullptr || from.row >= matrix->GetNodeCount() ||
            to.row >= matrix->GetNodeCount())
            return false;
        const TDistanceCell& cell = matrix->Cell(from.row, to.row);
        km = cell.km;
        minutes = cell.minutes;
        return true;
    }
};

// The one program-wide routing context.
CRoutingContext& RoutingContext();
// Replaces it by a newly constructed one (tests start clean).
void ResetRoutingContext();

// The demand and fleet models' view of the matrices, over the routing context.
class CRoutingDistances : public CModelDistances
{
  public:
    bool MatricesExist() const override;
    bool GetKmAndMinutes(int fromNode, int toNode, float& km, int& minutes) const override;
    // The position of the level among the first matrix's slot entries.
    int FindSpeedLevel(int speedLevelId) const override;
    int GetFirstMatrixNodeCount() const override;
};

// Makes the model context read the matrices through the routing context.
void InstallRoutingDistances();
