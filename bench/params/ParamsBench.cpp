// Penalty lookups and the parameter reads of one cost evaluation: the optimiser makes them
// for every stop of every gene, so they must cost a handful of instructions and no search.

#include "params/ParameterFiles.h"
#include "params/Parameters.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

TPenaltyTable MakeTable(int rowCount)
{
    TPenaltyTable table;
    table.rows.resize(static_cast<std::size_t>(rowCount));
    for (int r = 0; r < rowCount; ++r) {
        TPenaltyRow& row = table.rows[static_cast<std::size_t>(r)];
        row.period = 30;
        for (std::size_t i = 0; i < kPenaltyPeriods; ++i) {
            row.rates[i] = static_cast<float>(i + 1);
            if (i > 0)
                row.cumulative[i] = row.cumulative[i - 1] + 30.0f * row.rates[i - 1];
        }
    }
    return table;
}

// Minutes drawn up to `range`: the time per lookup must not grow with it.
void BM_GetPenalty(benchmark::State& state)
{
    const TPenaltyTable table = MakeTable(8);
    const int range = static_cast<int>(state.range(0));
    std::mt19937 random(42);
    std::uniform_int_distribution<int> minutes(-range, range);
    std::uniform_int_distribution<int> rows(1, 8);
    std::vector<std::pair<int, int>> queries(4096);
    for (auto& query : queries)
        query = {rows(random), minutes(random)};
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& query = queries[next++ & 4095];
        benchmark::DoNotOptimize(table.GetPenalty(query.first, query.second));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetPenalty)->Arg(60)->Arg(1440)->Arg(100000);

// The members one evaluation of a trip reads, through the program-wide object.
void BM_EvaluationReads(benchmark::State& state)
{
    for (auto _ : state) {
        const CUserParameters& p = UserParameters();
        float cost =
            static_cast<float>(p.KmFactor) * p.KmFactorCorrection +
            static_cast<float>(p.CostFactor) * p.CostFactorCorrection +
            static_cast<float>(p.PntLate * p.MaxWorkingTime + p.PntDrive * p.MaxDrivingTime +
                               p.PntWork * p.WTTo - p.WTFrom + p.MaxDrivingNoStops +
                               p.MinutesToRest + p.LoadTime + p.UnloadTime) +
            p.CostForResourceUsed + p.WeightMultiplier + p.PenaltyTable.GetPenalty(1, 45);
        benchmark::DoNotOptimize(cost);
    }
}
BENCHMARK(BM_EvaluationReads);

// A whole Load of the bundled parameters (the INI files stay cached between loads).
void BM_LoadBundledParameters(benchmark::State& state)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "trv_params_bench";
    std::filesystem::create_directories(folder);
    const std::string programFolder = TRV_BENCH_PROGRAM_DIR;
    for (const char* name :
         {"Params.ini", "TablaPen.txt", "ShowParams.ini", "Params-Corvane.ini", "Config.ini"})
        std::filesystem::copy_file(programFolder + "/" + name, folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
    ParamsFilePath = (folder / "Params.ini").string();
    ShowParamsFilePath = (folder / "ShowParams.ini").string();
    OverrideParamsFilePath = (folder / "Params-Corvane.ini").string();
    PntTableFilePath = (folder / "TablaPen.txt").string();
    SchedulerIniFilePath = (folder / "Config.ini").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(UserParameters().Load());
    ResetParameterFilePaths();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadBundledParameters)->Unit(benchmark::kMillisecond);

} // namespace
