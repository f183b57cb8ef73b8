// The road matrix of a street grid: in process and over N worker processes, next to the
// road-network library's command-line router on the same pairs in the same run. The router is
// given chained waypoints o, d1, o, d2, ... so each call gives both directions of up to 49
// pairs. Every pair is compared with the router's (km to 0.01, minutes to 1).
// TRV_BENCH_MATRIX_POINTS sets the number of points (500 by default).

#include "ClassNodes.h"
#include "params/Parameters.h"
#include "params/SpeedTable.h"
#include "platform/Profile.h"
#include "routing/MatrixWorker.h"
#include "routing/RoutingContext.h"
#include "routing/RoutingMapAndGuideClient.h"
#include "routing/RoutinoEngine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kGrid = 60;          // streets each way
constexpr double kSpacing = 0.004; // degrees between streets (about 350-450 m)
constexpr double kWest = 2.0;
constexpr double kSouth = 41.0;

// The road data, prepared once per run, and a program folder whose "Config.ini" names it.
struct Roads
{
    std::filesystem::path folder;
    std::vector<std::pair<double, double>> points;
    bool ready = false;

    Roads()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("trv_bench_roads_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "data");
        const std::filesystem::path extract = folder / "grid.osm";
        WriteGrid(extract);
        const std::string command = "planetsplitter --dir='" + (folder / "data").string() + "' '" +
                                    extract.string() + "' > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return;
        std::ofstream(folder / "Config.ini")
            << "[Configuration]\nNodeGraphPath=" << (folder / "data").string() << "\n";
        ::setenv("TREVANTOR_HOME", folder.c_str(), 1);
        trv::ClearProfileCache();
        const char* count = std::getenv("TRV_BENCH_MATRIX_POINTS");
        const int wanted = count != nullptr ? std::atoi(count) : 500;
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> along(0.0, (kGrid - 1) * kSpacing);
        for (int point = 0; point < wanted; ++point)
            points.emplace_back(kWest + along(random), kSouth + along(random));
        ready = true;
    }
    ~Roads()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // Residential streets; every tenth a primary road; two motorway lines across.
    static void WriteGrid(const std::filesystem::path& path)
    {
        std::ofstream osm(path);
        osm << "<?xml version='1.0' encoding='UTF-8'?>\n<osm version='0.6'>\n";
        osm.precision(9);
        const auto id = [](int column, int row) { return 1 + row * kGrid + column; };
        for (int row = 0; row < kGrid; ++row)
            for (int column = 0; column < kGrid; ++column)
                osm << "<node id='" << id(column, row) << "' version='1' lat='"
                    << kSouth + row * kSpacing << "' lon='" << kWest + column * kSpacing << "'/>\n";
        int way = 1;
        const auto street = [&](bool across, int line) {
            const char* kind = (line == kGrid / 3 || line == 2 * kGrid / 3) && across ? "motorway"
                               : line % 10 == 0                                       ? "primary"
                                                : "residential";
            osm << "<way id='" << way++ << "' version='1'>";
            for (int step = 0; step < kGrid; ++step)
                osm << "<nd ref='" << (across ? id(step, line) : id(line, step)) << "'/>";
            osm << "<tag k='highway' v='" << kind << "'/></way>\n";
        };
        for (int line = 0; line < kGrid; ++line) {
            street(true, line);
            street(false, line);
        }
        osm << "</osm>\n";
    }
};

Roads& TheRoads()
{
    static Roads roads;
    return roads;
}

std::vector<int> ClassNodes(const Roads& roads)
{
    ResetRoutingContext();
    return AddClassNodes(roads.points);
}

// The matrix last computed by the provider, for the router's comparison.
CDistancesArray& LastMatrix()
{
    static CDistancesArray matrix;
    return matrix;
}

// Argument 0: in process; N: N worker processes.
void BM_RoadMatrix(benchmark::State& state)
{
    Roads& roads = TheRoads();
    if (!roads.ready) {
        state.SkipWithError("planetsplitter failed");
        return;
    }
    const int workers = static_cast<int>(state.range(0));
    const std::vector<int> nodes = ClassNodes(roads);
    CRoutingMapAndGuide provider;
    if (!provider.EspabilaMatriz((roads.folder / "data").string())) {
        state.SkipWithError("no road data");
        return;
    }
    TMatrixWorkerSettings settings;
    settings.workers = std::max(workers, 1);
    settings.allowanceMilliseconds = 600000;
    provider.SetMatrixWorkerSettings(settings);
    provider.SetMatrixWorkerPath(workers == 0
                                     ? std::string("/nowhere")
                                     : std::string(TRV_PROGRAM_DIR) + "/" + kMatrixWorkerProgram);
    const int last = static_cast<int>(nodes.size()) - 1;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool computed =
            provider.CalculateMatrix(last, nodes, LastMatrix(), trv::OleDate(46000.0), 0, 0);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!computed)
            state.SkipWithError("the matrix failed");
    }
    const double pairs = static_cast<double>(nodes.size()) * static_cast<double>(nodes.size());
    state.counters["pairs_per_s"] =
        benchmark::Counter(pairs * state.iterations(), benchmark::Counter::kIsRate);
}

// The router through chained waypoints: both directions of up to 49 pairs a call. Compares every
// leg with the last matrix.
void BM_CommandLineRouter(benchmark::State& state)
{
    Roads& roads = TheRoads();
    if (!roads.ready) {
        state.SkipWithError("planetsplitter failed");
        return;
    }
    TSpeedTable table;
    table.speeds.fill(80);
    ReadSpeedTable(table);
    const TEngineProfile profile = MakeRouteProfile(table, UserParameters());
    static const char* const classes[ROAD_CLASS_COUNT] = {"motorway",    "trunk",    "primary",
                                                          "secondary",   "tertiary", "unclassified",
                                                          "residential", "service",  "track"};
    std::ostringstream base;
    base << "routino-router --dir=" << (roads.folder / "data").string()
         << " --profiles=" << RoutinoEngine::DataFolder()
         << "/profiles.xml --translations=" << RoutinoEngine::DataFolder()
         << "/translations.xml --profile=" << profile.vehicle
         << (profile.quickest ? " --quickest" : " --shortest")
         << " --oneway=1 --turns=1 --output-text --output-stdout";
    for (int road = 0; road < ROAD_CLASS_COUNT; ++road)
        base << " --speed-" << classes[road] << "=" << profile.speeds[road];
    const int count = static_cast<int>(roads.points.size());
    long long legs = 0;
    long long compared = 0;
    long long different = 0;
    const CDistancesArray& matrix = LastMatrix();
    const bool comparable = matrix.GetNodeCount() == count;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        legs = 0;
        for (int origin = 0; origin < count; ++origin) {
            for (int first = origin + 1; first < count; first += 49) {
                const int end = std::min(count, first + 49);
                std::ostringstream command;
                command << base.str();
                command.precision(10);
                int waypoint = 1;
                std::vector<int> order;
                for (int destination = first; destination < end; ++destination) {
                    for (const int node : {origin, destination}) {
                        command << " --lon" << waypoint << "=" << roads.points[node].first
                                << " --lat" << waypoint << "=" << roads.points[node].second;
                        order.push_back(node);
                        ++waypoint;
                    }
                }
                command << " --lon" << waypoint << "=" << roads.points[origin].first << " --lat"
                        << waypoint << "=" << roads.points[origin].second;
                order.push_back(origin);
                command << " 2>/dev/null";
                FILE* pipe = ::popen(command.str().c_str(), "r");
                if (pipe == nullptr)
                    continue;
                // Waypoint lines carry the running totals: km and minutes of each leg.
                std::vector<std::pair<double, double>> totals;
                char line[512];
                while (std::fgets(line, sizeof line, pipe) != nullptr) {
                    if (line[0] == '#' || std::strstr(line, "Waypt") == nullptr)
                        continue;
                    std::istringstream fields(line);
                    std::string skip;
                    double km = 0.0;
                    double minutes = 0.0;
                    fields >> skip >> skip >> skip >> skip >> skip >> skip >> km >> minutes;
                    totals.emplace_back(km, minutes);
                }
                ::pclose(pipe);
                for (std::size_t leg = 1; leg < totals.size() && leg < order.size(); ++leg) {
                    ++legs;
                    if (!comparable)
                        continue;
                    const double km = totals[leg].first - totals[leg - 1].first;
                    const double minutes = totals[leg].second - totals[leg - 1].second;
                    const TDistanceCell& cell = matrix.Cell(order[leg - 1], order[leg]);
                    ++compared;
                    if (std::fabs(cell.km - km) > 0.011 || std::fabs(cell.minutes - minutes) > 1.0)
                        ++different;
                }
            }
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["pairs_per_s"] = benchmark::Counter(
        static_cast<double>(legs) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["compared"] = benchmark::Counter(static_cast<double>(compared));
    state.counters["different"] = benchmark::Counter(static_cast<double>(different));
}

void WorkerCounts(benchmark::internal::Benchmark* benchmark)
{
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (const int workers : {0, 1, 2, 4})
        benchmark->Arg(workers);
    if (cores > 4)
        benchmark->Arg(cores);
}

BENCHMARK(BM_RoadMatrix)
    ->Apply(WorkerCounts)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_CommandLineRouter)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
