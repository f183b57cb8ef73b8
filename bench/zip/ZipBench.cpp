// Archiving and extracting a folder of 200 files (60 MB, text and binary), ours beside the
// command-line zip and unzip tools run on the same files in the same process.
#include "zip/ZipArchive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const int kFileCount = 200;
const std::size_t kFileSize = 300 * 1000;

struct Workspace
{
    Workspace()
    {
        root = (fs::temp_directory_path() / ("trvzipbench" + std::to_string(::getpid()))).string();
        fs::create_directories(root + "/plan");
        std::mt19937 generator(42);
        std::string content(kFileSize, '\0');
        for (int file = 0; file < kFileCount; ++file) {
            if (file % 2 == 0) {
                // Text like the plan's component files: records of codes, names and numbers.
                content.clear();
                while (content.size() < kFileSize) {
                    content += "ORD" + std::to_string(generator() % 100000) + ";Customer " +
                               std::to_string(generator() % 5000) + ";" +
                               std::to_string(generator() % 90000 / 100.0) + ";08:30;17:00\n";
                }
                content.resize(kFileSize);
            } else {
                // Binary like a distance matrix: 32-bit values with some structure.
                for (std::size_t i = 0; i + 4 <= kFileSize; i += 4) {
                    const std::uint32_t value = 1000 + generator() % 250000;
                    std::memcpy(content.data() + i, &value, 4);
                }
            }
            std::ofstream(root + "/plan/file" + std::to_string(file) + (file % 2 ? ".dst" : ".ord"),
                          std::ios::binary)
                << content;
        }
        files.clear();
        for (const auto& entry : fs::directory_iterator(root + "/plan")) {
            files.push_back(entry.path().string());
        }
    }
    ~Workspace()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string root;
    std::vector<std::string> files;
};

Workspace& Shared()
{
    static Workspace workspace;
    return workspace;
}

void Shell(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::abort();
    }
}

void CreateOurs(const std::string& archivePath)
{
    CZipArchive archive;
    archive.OpenArchive(archivePath, CZipArchive::zipCreate);
    for (const std::string& file : Shared().files) {
        archive.AddFileFromDisk(CZipAddFileInfo(file));
    }
    archive.CloseArchive();
}

void BM_ArchiveFolder_Ours(benchmark::State& state)
{
    const std::string archivePath = Shared().root + "/ours.zip";
    for (auto _ : state) {
        CreateOurs(archivePath);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kFileCount * kFileSize);
    state.counters["archive_MB"] = double(fs::file_size(archivePath)) / 1e6;
}

void BM_ArchiveFolder_ZipTool(benchmark::State& state)
{
    const std::string archivePath = Shared().root + "/tool.zip";
    for (auto _ : state) {
        fs::remove(archivePath);
        Shell("cd '" + Shared().root + "/plan' && zip -6 -r -q '" + archivePath + "' .");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kFileCount * kFileSize);
    state.counters["archive_MB"] = double(fs::file_size(archivePath)) / 1e6;
}

void BM_ExtractFolder_Ours(benchmark::State& state)
{
    const std::string archivePath = Shared().root + "/extract.zip";
    if (!fs::exists(archivePath)) {
        CreateOurs(archivePath);
    }
    const std::string target = Shared().root + "/out-ours";
    for (auto _ : state) {
        CZipArchive archive;
        archive.OpenArchive(archivePath, CZipArchive::zipOpen);
        for (int i = 0; i < archive.GetCount(); ++i) {
            archive.ExtractFileToDisk(i, target);
        }
        archive.CloseArchive();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kFileCount * kFileSize);
}

void BM_ExtractFolder_Unzip(benchmark::State& state)
{
    const std::string archivePath = Shared().root + "/extract.zip";
    if (!fs::exists(archivePath)) {
        CreateOurs(archivePath);
    }
    const std::string target = Shared().root + "/out-tool";
    for (auto _ : state) {
        Shell("unzip -o -q -j '" + archivePath + "' -d '" + target + "'");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kFileCount * kFileSize);
}

} // namespace

BENCHMARK(BM_ArchiveFolder_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ArchiveFolder_ZipTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExtractFolder_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ExtractFolder_Unzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
