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
#include <atomic>
#include <cmath>
#include <omp.h>

// The C library has vector forms of the arc cosine; telling the compiler lets the fill's inner
// loop use them.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
extern "C" __attribute__((__simd__("notinbranch"))) double acos(double) noexcept;
#endif

namespace {

constexpr double kNotLocated = 12345678.0;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kEarthRadiusKm = 6378.0;
// Nodes per side of the square tiles the fill hands to its threads.
constexpr int kTileSize = 64;

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

// The prepared nodes as columns, so the inner loop reads each value contiguously.
struct TPreparedColumns
{
    explicit TPreparedColumns(const std::vector<TPrepared>& prepared)
    {
        for (const TPrepared& node : prepared) {
            x.push_back(node.x);
            y.push_back(node.y);
            sinLatitude.push_back(node.sinLatitude);
            cosLatitude.push_back(node.cosLatitude);
            sinLongitude.push_back(node.sinLongitude);
            cosLongitude.push_back(node.cosLongitude);
        }
    }

    std::vector<double> x, y, sinLatitude, cosLatitude, sinLongitude, cosLongitude;
};

// The km from one node to the nodes first .. first + count - 1. Written without branches so the
// compiler can take several arc cosines at once.
void GreatCircleRow(const TPrepared& from, const TPreparedColumns& to, int first, int count,
                    double* km)
{
    const double* x = to.x.data() + first;
    const double* y = to.y.data() + first;
    const double* sinLatitude = to.sinLatitude.data() + first;
    const double* cosLatitude = to.cosLatitude.data() + first;
    const double* sinLongitude = to.sinLongitude.data() + first;
    const double* cosLongitude = to.cosLongitude.data() + first;
#pragma omp simd
    for (int b = 0; b < count; ++b) {
        const double cosDelta =
            from.cosLongitude * cosLongitude[b] + from.sinLongitude * sinLongitude[b];
        double c = from.sinLatitude * sinLatitude[b] + from.cosLatitude * cosLatitude[b] * cosDelta;
        c = c < -1.0 ? -1.0 : c;
        c = c > 1.0 ? 1.0 : c;
        const double distance = ::acos(c) * kEarthRadiusKm;
        const bool samePoint = (from.x == x[b]) & (from.y == y[b]);
        km[b] = samePoint ? 0.0 : distance;
    }
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
    const TPreparedColumns columns(prepared);
    TDistanceCell* cells = matrix.Cells();
    // A pair's km do not depend on its direction (the products commute exactly), so the matrix
    // is filled in square tiles on and below the diagonal, each written with its mirror: half
    // the arc cosines, and each thread's writes stay within a few cache lines per row.
    const int tiles = (count + kTileSize - 1) / kTileSize;
    const long long tileCount = static_cast<long long>(tiles) * (tiles + 1) / 2;
    std::atomic<long long> tilesDone{0};
#pragma omp parallel for schedule(dynamic, 1)
    for (long long tile = 0; tile < tileCount; ++tile) {
        // Tile number -> (I, J) with J <= I, row by row of the lower triangle.
        int tileRow =
            static_cast<int>((std::sqrt(8.0 * static_cast<double>(tile) + 1.0) - 1.0) / 2.0);
        while (static_cast<long long>(tileRow) * (tileRow + 1) / 2 > tile)
            --tileRow;
        while (static_cast<long long>(tileRow + 1) * (tileRow + 2) / 2 <= tile)
            ++tileRow;
        const int tileColumn =
            static_cast<int>(tile - static_cast<long long>(tileRow) * (tileRow + 1) / 2);
        const int aEnd = std::min(count, (tileRow + 1) * kTileSize);
        const int bEnd = std::min(count, (tileColumn + 1) * kTileSize);
        const int bFirst = tileColumn * kTileSize;
        double km[kTileSize];
        for (int a = tileRow * kTileSize; a < aEnd; ++a) {
            const TPrepared& from = prepared[static_cast<std::size_t>(a)];
            const int last = tileRow == tileColumn ? a + 1 : bEnd;
            GreatCircleRow(from, columns, bFirst, last - bFirst, km);
            TDistanceCell* rowA =
                cells + static_cast<std::size_t>(rows[static_cast<std::size_t>(a)]) * n;
            for (int b = bFirst; b < last; ++b) {
                const TPrepared& to = prepared[static_cast<std::size_t>(b)];
                TDistanceCell cell{};
                if (from.located && to.located) {
                    cell.km = static_cast<float>(km[b - bFirst]);
                    cell.minutes = MinutesAt(km[b - bFirst], speed);
                }
                // The row of a node without coordinates stays as it is.
                if (from.located)
                    rowA[rows[static_cast<std::size_t>(b)]] = cell;
                if (to.located)
                    cells[static_cast<std::size_t>(rows[static_cast<std::size_t>(b)]) * n +
                          static_cast<std::size_t>(rows[static_cast<std::size_t>(a)])] = cell;
            }
        }
        const long long done = tilesDone.fetch_add(1, std::memory_order_relaxed) + 1;
        // Only the calling thread reports, as the progress object may not be shared.
        if (progress != nullptr && omp_get_thread_num() == 0)
            progress->SetPosition(done * count / tileCount, count);
    }
    if (progress != nullptr)
        progress->SetPosition(count, count);
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
