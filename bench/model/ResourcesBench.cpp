#include "BenchProgramFolder.h"
#include "model/ModelContext.h"
#include "model/Resources.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

// n pairs: each truck and trailer on its own lorry, every fourth lorry shared by two drivers,
// every tenth pair without driver.
void BuildFleet(int pairs)
{
    ResetResources();
    CResources& fleet = Resources();
    CLorry* lorry = nullptr;
    for (int i = 0; i < pairs; ++i) {
        const std::string id = std::to_string(i);
        if (i % 4 != 1) {
            CTrailer* trailer = fleet.trailers.GetOrAdd("R" + id);
            trailer->capacity[0] = 20000.0f + static_cast<float>(i % 7) * 1000.0f;
            lorry = fleet.lorries.Add(fleet.trucks.GetOrAdd("T" + id), trailer);
        }
        CDriver* driver = nullptr;
        if (i % 10 != 9) {
            driver = fleet.drivers.AddNew();
            driver->code = "D" + id;
            driver->workingWindow = {360 + (i % 5) * 60, 1080};
            driver->equalGroup = "G" + std::to_string(i % 3);
            driver->accumulatedDays = 3;
            driver->accumulatedCost = 100.0f + static_cast<float>(i);
        }
        int existed = 0;
        fleet.pairs.Add(lorry, driver, existed);
    }
}

// The whole-list recalculation after a change of the fleet.
void CalculateAll(benchmark::State& state)
{
    ResetUserParameters();
    ResetModelContext();
    BuildFleet(static_cast<int>(state.range(0)));
    for (auto _ : state)
        Resources().pairs.CalculateAll();
    state.SetComplexityN(state.range(0));
    ResetResources();
}
BENCHMARK(CalculateAll)
    ->Arg(200)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNSquared);

// A plan's ".veh" of `count` resource records: every fourth driver shares the lorry before
// him, the others have a truck and a trailer of their own.
std::string WriteResources(const BenchProgramFolder& folder, int count)
{
    const std::string path = folder.File("plan" + std::to_string(count) + ".veh");
    std::ofstream veh(path);
    for (int i = 0; i < count; ++i) {
        const std::string lorry = std::to_string(i % 4 == 1 ? i - 1 : i);
        const std::string id = std::to_string(i);
        veh << "T" << lorry << ";TC" << lorry << ";BASE" << i % 7
            << ";Base;Madrid;-3.7;40.4;1.5;2;R" << lorry << ";RC" << lorry << ";"
            << 20000 + (i % 7) * 1000 << ";D" << id << ";Driver " << id << ";08:00;18:00;BASE"
            << i % 7 << ";12;0;0;0;" << i % 3 << ";0;0;;\n";
    }
    return path;
}

// A replacing import of the plan's resources file, companions absent.
void ImportResources(benchmark::State& state)
{
    ResetUserParameters();
    BenchProgramFolder folder("trv_resources_bench_");
    const int count = static_cast<int>(state.range(0));
    const std::string veh = WriteResources(folder, count);
    CFetchRecordSource definitions;
    for (auto _ : state) {
        TResourcesImport request;
        request.file = veh;
        request.planningDate = trv::OleDate(2026, 2, 2);
        CSmartStringArray messages;
        request.messages = &messages;
        if (!Resources().GeneralImport(definitions, request) ||
            Resources().pairs.GetSize() != count)
            state.SkipWithError("import failed");
    }
    state.SetComplexityN(state.range(0));
    ResetResources();
}
BENCHMARK(ImportResources)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
