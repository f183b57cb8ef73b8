// Testing a parsed record filter against one record, as the read loop does for every line:
// by field name (values handed over by the record) and by column of a separated line. The
// "allocations" counter is the number of heap allocations per record; it should be 0.

#include "AllocationCounter.h"
#include "KLV/FetchFilter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

// A record of a few named fields whose values are longer than the small-string buffer, so a
// copy that does not reuse the caller's capacity would show up as an allocation.
class BenchRecord : public CFetchFilterRecord
{
  public:
    std::string line;
    std::vector<std::pair<std::string, std::string>> fields;

    std::string_view GetCurrentLine() const override { return line; }
    void GetFieldValue(std::string_view name, std::string& value) override
    {
        for (const auto& [fieldName, fieldValue] : fields) {
            if (fieldName == name) {
                value.assign(fieldValue);
                return;
            }
        }
        value.clear();
    }
};

void RunFilter(benchmark::State& state, const char* condition, const CFetchFilterSettings& settings,
               BenchRecord& record)
{
    CFetchFilter filter;
    if (!filter.Parse(condition, settings)) {
        state.SkipWithError(filter.GetError().c_str());
        return;
    }
    filter.Test(record); // warms the reused buffers
    const long long before = AllocationCount();
    for (auto _ : state)
        benchmark::DoNotOptimize(filter.Test(record));
    state.counters["allocations"] = benchmark::Counter(
        static_cast<double>(AllocationCount() - before), benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations());
}

void BM_FilterByFieldName(benchmark::State& state)
{
    BenchRecord record;
    record.fields = {{"QTY", "15.000000000000000000000"},
                     {"CUSTOMER", "Transportes del Norte y Asociados"},
                     {"DATE", "15/02/2024"}};
    RunFilter(state, "(QTY>=10 AND QTY<=20) AND (CUSTOMER LIKE \"Norte\") AND (DATE>=01/02/2024)",
              {}, record);
}
BENCHMARK(BM_FilterByFieldName);

void BM_FilterByColumn(benchmark::State& state)
{
    BenchRecord record;
    record.line = "A7;\"Transportes del Norte; Asociados\";15;01/02/2024;DEPOT-NORTH-0001";
    CFetchFilterSettings settings;
    settings.separator = ";";
    settings.qualifier = "\"";
    RunFilter(state, "3>=10 AND 3<=20 AND 2 LIKE 'Norte' AND 5 START_BY 'DEPOT'", settings, record);
}
BENCHMARK(BM_FilterByColumn);

} // namespace
