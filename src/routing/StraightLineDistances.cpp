#include "routing/StraightLineDistances.h"

#include "KLV/Translate.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "params/SpeedTable.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/Progress.h"
#include "platform/Text.h"
#include "routing/RoutingContext.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kNotLocated = 12345678.0;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kEarthRadiusKm = 6378.0;
// Rows filled between two progress reports.
constexpr int kRowsPerStep = 64;

bool Located(double x, double y)
{
    return x != kNotLocated && y != kNotLocated;
}

// The integer part of minutes, held inside the int range.
int32_t MinutesAt(double km, double speedKmh)
{
    const double minutes = km * 60.0 / speedKmh;
    if (!(minutes < 2147483647.0))
        return minutes != minutes ? 0 : 2147483647;
    return static_cast<int32_t>(minutes);
}

// What the fill needs of a node, computed once: sines and cosines of its latitude and
// longitude, so a pair costs one arc cosine.
struct TPrepared
{
    double x;
    double y;
    double sinLatitude;
    double cosLatitude;
    double sinLongitude;
    double cosLongitude;
    bool located;
};

TPrepared Prepare(double x, double y)
{
    TPrepared prepared{};
    prepared.x = x;
    prepared.y = y;
    prepared.located = Located(x, y);
    if (!prepared.located)
        return prepared;
    prepared.sinLatitude = std::sin(y * kDegreesToRadians);
    prepared.cosLatitude =
        std::sqrt(std::max(0.0, 1.0 - prepared.sinLatitude * prepared.sinLatitude));
    prepared.sinLongitude = std::sin(x * kDegreesToRadians);
    prepared.cosLongitude = std::cos(x * kDegreesToRadians);
    return prepared;
}

double GreatCircleKm(const TPrepared& a, const TPrepared& b)
{
    // The same point is exactly 0 km away, whatever the rounding of the sines.
    if (a.x == b.x && a.y == b.y)
        return 0.0;
    // cos(xa - xb) from the longitudes' sines and cosines.
    const double cosDelta = a.cosLongitude * b.cosLongitude + a.sinLongitude * b.sinLongitude;
    double c = a.sinLatitude * b.sinLatitude + a.cosLatitude * b.cosLatitude * cosDelta;
    c = std::clamp(c, -1.0, 1.0);
    return std::acos(c) * kEarthRadiusKm;
}

double EffectiveFactor(double factor)
{
    return factor > 0 ? factor : 1.0;
}
double EffectiveSpeed(double speedKmh)
{
    return speedKmh > 0 ? speedKmh : 1.0;
}

} // namespace

double StraightLineSpeed()
{
    TSpeedTable table;
    ReadSpeedTable(table);
    const double speed = (table.speeds[2] + table.speeds[3]) / 2.0;
    return EffectiveSpeed(speed);
}

bool ActualizaDistanciasEuclideas(CDistancesArray& matrix, trv::Progress* progress, int nodeCount,
                                  const std::vector<int>& classNodes, const trv::OleDate& date,
                                  int label)
{
    matrix.Free();
    matrix.Allocate(nodeCount);
    matrix.SetDate(date);
    if (progress != nullptr) {
        progress->SetCaption(Translate("ActualizaDistanciasEuclideas...") + "\n" +
                             TranslateFormat("DistanceArray", label));
        progress->SetPosition(0, static_cast<long long>(classNodes.size()));
    }
    if (UserParameters().EuclideanInEffect == 1)
        FillStraightLineMatrix(matrix, classNodes, progress);
    return true;
}

void FillStraightLineMatrix(CDistancesArray& matrix, const std::vector<int>& classNodes,
                            trv::Progress* progress)
{
    std::vector<TStraightLinePoint> points;
    const CRoutingContext& context = RoutingContext();
    for (int node : classNodes) {
        const TTranslationEntry entry = context.partition.FindEntry(node);
        const CNode* point = context.nodes.GetNode(node);
        if (entry.Exists() && point != nullptr)
            points.push_back({entry.row, point->x, point->y});
    }
    FillStraightLineRows(matrix, points, StraightLineSpeed(), progress);
}

void FillStraightLineRows(CDistancesArray& matrix, const std::vector<TStraightLinePoint>& points,
                          double speedKmh, trv::Progress* progress)
{
    matrix.SetStraightLineFlag(1);
    const double speed = EffectiveSpeed(speedKmh);
    const int n = matrix.GetNodeCount();
    // Each row is written by one node only (the first that names it), so no two threads ever
    // write the same cell.
    std::vector<char> rowTaken(static_cast<std::size_t>(n), 0);
    std::vector<TPrepared> prepared;
    std::vector<int> rows;
    prepared.reserve(points.size());
    rows.reserve(points.size());
    for (const TStraightLinePoint& point : points) {
        if (point.row < 0 || point.row >= n || rowTaken[static_cast<std::size_t>(point.row)])
            continue;
        rowTaken[static_cast<std::size_t>(point.row)] = 1;
        prepared.push_back(Prepare(point.x, point.y));
        rows.push_back(point.row);
    }
    const int count = static_cast<int>(rows.size());
    TDistanceCell* cells = matrix.Cells();
    for (int first = 0; first < count; first += kRowsPerStep) {
        const int last = std::min(count, first + kRowsPerStep);
#pragma omp parallel for schedule(dynamic, 1)
        for (int a = first; a < last; ++a) {
            const TPrepared& from = prepared[static_cast<std::size_t>(a)];
            if (!from.located)
                continue;
            TDistanceCell* row =
                cells + static_cast<std::size_t>(rows[static_cast<std::size_t>(a)]) * n;
            for (int b = 0; b < count; ++b) {
                const TPrepared& to = prepared[static_cast<std::size_t>(b)];
                TDistanceCell& cell = row[rows[static_cast<std::size_t>(b)]];
                if (!to.located) {
                    cell = TDistanceCell{};
                    continue;
                }
                const double km = GreatCircleKm(from, to);
                cell.km = static_cast<float>(km);
                cell.minutes = MinutesAt(km, speed);
            }
        }
        if (progress != nullptr)
            progress->SetPosition(last, count);
    }
}

void SetStraightLineCell(CDistancesArray& matrix, int row, int column, double ax, double ay,
                         double bx, double by, double speedKmh)
{
    TDistanceCell& cell = matrix.Cell(row, column);
    if (!Located(ax, ay) || !Located(bx, by)) {
        cell = TDistanceCell{};
        return;
    }
    const double km = GreatCircleKm(Prepare(ax, ay), Prepare(bx, by));
    cell.km = static_cast<float>(km);
    cell.minutes = MinutesAt(km, EffectiveSpeed(speedKmh));
}

int RescaleStraightLineCell(CDistancesArray& matrix, int row, int column, double speedKmh,
                            double factor)
{
    TDistanceCell& cell = matrix.Cell(row, column);
    const double current = EffectiveFactor(UserParameters().FactorDistanciasEuclideas);
    const double km = cell.km / current * EffectiveFactor(factor);
    cell.km = static_cast<float>(km);
    cell.minutes = MinutesAt(km, EffectiveSpeed(speedKmh));
    return cell.minutes;
}

void RescaleStraightLineMatrix(int nodeCount, CDistancesArray& matrix, const CBoolTable* skip,
                               double speedKmh, double factor)
{
    const CClasificacionNodos& translation = RoutingContext().partition;
    const int n = matrix.GetNodeCount();
    for (int i = 0; i < nodeCount; ++i) {
        const TTranslationEntry from = translation.FindEntry(i);
        if (!from.Exists() || from.row >= n)
            continue;
        for (int j = 0; j < nodeCount; ++j) {
            if (skip != nullptr && i < skip->GetColumns() && j < skip->GetRows() &&
                skip->GetBit(i, j))
                continue;
            const TTranslationEntry to = translation.FindEntry(j);
            if (to.Exists() && to.row < n)
                RescaleStraightLineCell(matrix, from.row, to.row, speedKmh, factor);
        }
    }
}

int CheckNodesStraightLine(const CSchNodesList& nodes, CCheckedNodesList& checked)
{
    if (UserParameters().EuclideanInEffect == 1)
        CopyNodesToChecked(nodes, checked);
    return 1;
}

void CopyNodesToChecked(const CSchNodesList& nodes, CCheckedNodesList& checked)
{
    for (int index = 0; index < nodes.GetSize(); ++index)
        checked.AppendChecked(nodes.GetNode(index), true);
}

void TRoutingConfiguration::Read()
{
    const std::string file = ConfigurationFile();
    reserved = 0;
    // The default method starts with "M".
    const std::string methode =
        trv::ToUpper(trv::GetProfileString("Connection", "Methode", "M", file));
    method = !methode.empty() && methode[0] == 'M' ? 1 : 0;
    nodeGraphPath =
        trv::GetProfileString("Configuration", "NodeGraphPath",
                              trv::JoinPath(trv::GetProgramFolder(), "grafo.grf"), file);
}
