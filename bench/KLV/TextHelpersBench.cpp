#include "KLV/Translate.h"
#include "KLV/Utils.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// Cutting a separated line into fields, as every text import does per record.
void SplitDelimitedLine(benchmark::State& state)
{
    const std::string line =
        "ORD00042;\"Calle Mayor, 5\";Madrid;28013;12.5;\"frágil; no apilar\";;2024-03-05";
    CSmartStringArray fields;
    for (auto _ : state) {
        SplitDelimitedFields(line, fields, ";", "\"", false);
        benchmark::DoNotOptimize(fields.GetSize());
    }
}
BENCHMARK(SplitDelimitedLine);

// Translating keys while a list fills: the key is split, looked up and its markers scanned.
void TranslateKeys(benchmark::State& state)
{
    trv::ResetDictionary();
    EnableAcceleratorStripping();
    for (int index = 0; index < 5000; ++index)
        SetTranslation("Key" + std::to_string(index), "Text " + std::to_string(index));
    const std::string keys[] = {"Key17", "&Key4000...", "  Key250:", "MissingKey"};
    for (auto _ : state)
        for (const std::string& key : keys)
            benchmark::DoNotOptimize(Translate(key));
    trv::ResetDictionary();
}
BENCHMARK(TranslateKeys);

} // namespace
