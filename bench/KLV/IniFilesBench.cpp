// Reading many keys from one large INI file: the parse is cached per file version, so a key
// read costs a file status check and a lookup. Compare "Cached" (keys per second) with "Cold"
// (every read parses the file again, as it would without the cache).

#include "KLV/IniFiles.h"
#include "platform/Profile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kKeys = 10000;

// Removes the generated file when the program ends.
struct TemporaryFile
{
    std::string path;
    ~TemporaryFile() { std::filesystem::remove(path); }
};

// About 2 MB: 10,000 keys over 100 sections, each value around 190 characters.
const std::string& LargeFile()
{
    static const TemporaryFile temporary{[] {
        const std::string file = (std::filesystem::temp_directory_path() /
                                  ("trv_bench_ini_" + std::to_string(::getpid()) + ".ini"))
                                     .string();
        std::ofstream out(file);
        for (int key = 0; key < kKeys; ++key) {
            if (key % 100 == 0)
                out << "[Section" << key / 100 << "]\n";
            out << "Key" << key << "=" << std::string(190, static_cast<char>('a' + key % 26))
                << "\n";
        }
        return file;
    }()};
    return temporary.path;
}

std::string SectionOf(int key)
{
    return "Section" + std::to_string(key / 100);
}

void BM_ReadIniString_Cached(benchmark::State& state)
{
    const std::string& file = LargeFile();
    ReadIniString("Section0", "Key0", file, ""); // first parse
    int key = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ReadIniString(SectionOf(key), "Key" + std::to_string(key), file, ""));
        key = (key + 1) % kKeys;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fileBytes"] = static_cast<double>(std::filesystem::file_size(file));
}
BENCHMARK(BM_ReadIniString_Cached);

void BM_ReadIniString_Cold(benchmark::State& state)
{
    const std::string& file = LargeFile();
    int key = 0;
    for (auto _ : state) {
        trv::ClearProfileCache();
        benchmark::DoNotOptimize(
            ReadIniString(SectionOf(key), "Key" + std::to_string(key), file, ""));
        key = (key + 1) % kKeys;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadIniString_Cold);

// 10,000 keys in one go, as a definition load or a parameters load does.
void BM_Read10000Keys_Cached(benchmark::State& state)
{
    const std::string& file = LargeFile();
    ReadIniString("Section0", "Key0", file, "");
    for (auto _ : state) {
        for (int key = 0; key < kKeys; ++key)
            benchmark::DoNotOptimize(
                ReadIniString(SectionOf(key), "Key" + std::to_string(key), file, ""));
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_Read10000Keys_Cached)->Unit(benchmark::kMillisecond);

} // namespace
