#pragma once

#include "platform/OleDate.h"

#include <string>
#include <vector>

class CBoolTable;
class CCheckedNodesList;
class CDistancesArray;
class CSchNodesList;
struct TDistanceCell;

namespace trv {
class Progress;
}

// One node of a straight-line fill: its matrix row and its point in degrees.
struct TStraightLinePoint
{
    int row = -1;
    double x = 12345678.0;
    double y = 12345678.0;
};

// The average road speed of straight-line times: the mean of "NationalFast" and "NationalSlow"
// of the speed table, 1 km/h when that is not above 0.
double StraightLineSpeed();

// Sizes the matrix n x n with zero cells, dates it and, with the straight-line switch on, fills
// it from the class's nodes. Always true.
bool ActualizaDistanciasEuclideas(CDistancesArray& matrix, trv::Progress* progress, int nodeCount,
                                  const std::vector<int>& classNodes, const trv::OleDate& date,
                                  int label);
// Great-circle km and times from the average speed between the class's nodes, rows from the
// translation table.
void FillStraightLineMatrix(CDistancesArray& matrix, const std::vector<int>& classNodes,
                            trv::Progress* progress = nullptr);
// The fill itself over points with their rows: rows are computed in parallel, and every cell
// depends only on its two points, so the result does not depend on the number of threads.
void FillStraightLineRows(CDistancesArray& matrix, const std::vector<TStraightLinePoint>& points,
                          double speedKmh, trv::Progress* progress = nullptr);

// One cell: 0 km and 0 minutes when either point is not located.
void SetStraightLineCell(CDistancesArray& matrix, int row, int column, double ax, double ay,
                         double bx, double by, double speedKmh);
// Scales a straight-line cell from the current straight-line factor to `factor` and gives its new
// minutes at `speedKmh`.
int RescaleStraightLineCell(CDistancesArray& matrix, int row, int column, double speedKmh,
                            double factor);
// The same for every pair of node indexes below n that the skip table does not mark and that has
// rows in the translation table.
void RescaleStraightLineMatrix(int nodeCount, CDistancesArray& matrix, const CBoolTable* skip,
                               double speedKmh, double factor);

// The node check of straight-line mode: with the switch on every node is accepted as it is.
int CheckNodesStraightLine(const CSchNodesList& nodes, CCheckedNodesList& checked);
void CopyNodesToChecked(const CSchNodesList& nodes, CCheckedNodesList& checked);

// The document's routing connection settings, from "Config.ini".
struct TRoutingConfiguration
{
    int reserved = 0;
    // 1 when [Connection] "Methode" starts with "M".
    int method = 0;
    // [Configuration] "NodeGraphPath", by default "grafo.grf" in the program folder.
    std::string nodeGraphPath;

    void Read();
};
