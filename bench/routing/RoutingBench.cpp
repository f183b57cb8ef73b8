// The matrices' two heavy operations next to what the memory allows in the same run: the
// straight-line fill against a plain store loop over the same cells, and loading a cached matrix
// file against a plain fread loop over the same file in 1 MiB blocks.

#include "routing/DistancesArray.h"
#include "routing/StraightLineDistances.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Points spread over a country, each at its own row.
std::vector<TStraightLinePoint> Points(int count)
{
    std::vector<TStraightLinePoint> points;
    for (int node = 0; node < count; ++node)
        points.push_back({node, -9.0 + (node * 7919 % count) * 12.0 / count,
                          36.0 + (node * 104729 % count) * 7.0 / count});
    return points;
}

// The bandwidth bound: every cell written once by one plain loop.
void StoreLoop(CDistancesArray& matrix)
{
    TDistanceCell* cells = matrix.Cells();
    const std::size_t count = matrix.GetCellCount();
    for (std::size_t index = 0; index < count; ++index)
        cells[index] = {static_cast<float>(index & 1023), static_cast<int32_t>(index)};
    benchmark::ClobberMemory();
}

void BM_StraightLineFill(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::vector<TStraightLinePoint> points = Points(n);
    CDistancesArray matrix;
    matrix.Allocate(n);
    double fillSeconds = 0;
    double storeSeconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        StoreLoop(matrix);
        storeSeconds += Seconds(start);
        start = Clock::now();
        FillStraightLineRows(matrix, points, 70.0);
        benchmark::ClobberMemory();
        const double fill = Seconds(start);
        fillSeconds += fill;
        state.SetIterationTime(fill);
    }
    state.counters["store_ms"] = benchmark::Counter(storeSeconds * 1000.0 / state.iterations());
    state.counters["fill_ms"] = benchmark::Counter(fillSeconds * 1000.0 / state.iterations());
    state.counters["fill_to_store"] = benchmark::Counter(fillSeconds / storeSeconds);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(matrix.GetCellCount()) *
                            static_cast<int64_t>(sizeof(TDistanceCell)));
}
BENCHMARK(BM_StraightLineFill)
    ->Arg(2000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Reads the whole file in 1 MiB blocks into one block buffer.
void PlainRead(const std::string& path, std::vector<char>& block)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    while (std::fread(block.data(), 1, block.size(), file) == block.size())
        benchmark::DoNotOptimize(block.data());
    std::fclose(file);
}

void BM_LoadCachedMatrix(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("trv_bench_" + std::to_string(::getpid()) + "_" + std::to_string(n) + ".dat"))
            .string();
    {
        CDistancesArray matrix;
        matrix.Allocate(n);
        FillStraightLineRows(matrix, Points(n), 70.0);
        if (!matrix.Save(path)) {
            state.SkipWithError("cannot write the cache file");
            return;
        }
    }
    std::vector<char> block(1 << 20);
    CDistancesArray matrix;
    PlainRead(path, block); // both start warm
    if (!matrix.Load(path)) {
        state.SkipWithError("cannot read the cache file");
        return;
    }
    double loadSeconds = 0;
    double readSeconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        PlainRead(path, block);
        readSeconds += Seconds(start);
        start = Clock::now();
        const bool loaded = matrix.Load(path);
        const double load = Seconds(start);
        benchmark::DoNotOptimize(loaded);
        loadSeconds += load;
        state.SetIterationTime(load);
    }
    std::error_code error;
    const double fileMegabytes = static_cast<double>(std::filesystem::file_size(path, error)) / 1e6;
    std::filesystem::remove(path, error);
    state.counters["file_MB"] = benchmark::Counter(fileMegabytes);
    state.counters["fread_ms"] = benchmark::Counter(readSeconds * 1000.0 / state.iterations());
    state.counters["load_ms"] = benchmark::Counter(loadSeconds * 1000.0 / state.iterations());
    state.counters["load_to_fread"] = benchmark::Counter(loadSeconds / readSeconds);
}
BENCHMARK(BM_LoadCachedMatrix)
    ->Arg(2000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
