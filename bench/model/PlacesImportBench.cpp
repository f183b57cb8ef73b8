// Importing warehouses with their products, and looking codes up in the locations table.
// Both run in a scratch program folder holding the program's own definitions file.

#include "BenchProgramFolder.h"
#include "KLV/Fetch.h"
#include "model/ModelContext.h"
#include "model/VariableBuilders.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class BenchFolder : public BenchProgramFolder
{
  public:
    BenchFolder() : BenchProgramFolder("trv_places_bench_") {}
};

constexpr int kProductsPerWareHouse = 10;

// A plan's ".wrh" and ".prd-wrh" with `count` warehouses of ten products each.
std::string WriteWareHouses(const BenchFolder& folder, int count)
{
    const std::string base = folder.File("plan" + std::to_string(count));
    std::ofstream wareHouses(base + ".wrh");
    std::ofstream products(base + ".prd-wrh");
    for (int w = 0; w < count; ++w) {
        const std::string code = "W" + std::to_string(w);
        wareHouses << code << ";Warehouse " << w << ";;City;28001;Street;34;-3.7;40.4;;30;5;0;;;"
                   << "06:00;22:00;3;0;0;;\n";
        for (int p = 0; p < kProductsPerWareHouse; ++p)
            products << code << ";P" << p << ";Product " << p << ";100;1.5;12.5\n";
    }
    return base + ".ord";
}

void BM_ImportWareHouses(benchmark::State& state)
{
    BenchFolder folder;
    const int count = static_cast<int>(state.range(0));
    const std::string orders = WriteWareHouses(folder, count);
    const trv::OleDate planningDate(2024, 6, 3);
    for (auto _ : state) {
        CSmartStringArray messages;
        CWareHouses& list = ModelContext().wareHouses;
        if (!list.GeneralImport(1, orders, planningDate, messages, false, false) ||
            list.GetSize() != count)
            state.SkipWithError("import failed");
    }
    // Time per warehouse: at 2,000 it should stay within 1.5 times that at 200.
    state.counters["per_warehouse"] =
        benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ImportWareHouses)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_LocationLookups(benchmark::State& state)
{
    BenchFolder folder;
    constexpr int kRows = 20000;
    constexpr int kLookups = 5000;
    {
        std::ofstream table(folder.File("Locations.csv"));
        table << "header\n";
        for (int i = 0; i < kRows; ++i)
            table << "0;L" << i << ";Place " << i << ";;City;28001;;Street;1;34;-3.7;40.4;;10;0;;"
                  << ";;\n";
    }
    for (auto _ : state) {
        CLocations& locations = ModelContext().locations;
        int found = 0;
        for (int i = 0; i < kLookups; ++i) {
            TLocationData record;
            record.code = "L" + std::to_string((i * 7) % kRows);
            found +=
                locations.ReadLocationByCode(0, record.code, &record, LOCATION_COPY, 0, 0, nullptr);
        }
        locations.Close();
        if (found != kLookups)
            state.SkipWithError("lookups missed");
    }
    state.counters["per_lookup"] =
        benchmark::Counter(static_cast<double>(kLookups) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LocationLookups)->Unit(benchmark::kMillisecond);

} // namespace
