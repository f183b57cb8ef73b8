// Reading a generated 100,000-line, 20-column ';'-separated file through a definition (every
// record made current and every field read), next to awk counting the same file's fields in
// the same run. The reader must stay within three times awk's time.

#include "KLV/Fetch.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kLines = 100000;
constexpr int kColumns = 20;

// A folder with the data file and a definitions file whose definition reads every column.
class GeneratedSource
{
  public:
    GeneratedSource()
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trv_fetch_read_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        std::ofstream data(folder_ / "data.csv", std::ios::binary);
        std::string line;
        for (int row = 0; row < kLines; ++row) {
            line.clear();
            for (int column = 0; column < kColumns; ++column) {
                if (column > 0)
                    line += ';';
                line += column == 1 ? "Name " + std::to_string(row) : std::to_string(row + column);
            }
            line += '\n';
            data << line;
        }
        std::ofstream definitions(folder_ / "Read.ini");
        definitions << "[BOOL]\nDEFAULT=1,0\n[TIME]\nDEFAULT=HH:MM\n[DATE]\nDEFAULT=DD/MM/YYYY\n"
                       "[BENCH_FORMAT]\nTYPE=ASCII\nFILENAME=data.csv\nSEPARATOR=;\n[BENCH]\n";
        for (int column = 0; column < kColumns; ++column)
            definitions << "F" << column << "=" << column + 1 << "\n";
    }

    ~GeneratedSource() { std::filesystem::remove_all(folder_); }

    std::string Path(const char* name) const { return (folder_ / name).string(); }

  private:
    std::filesystem::path folder_;
};

GeneratedSource& Source()
{
    static GeneratedSource source;
    return source;
}

void BM_FetchReadDefinition(benchmark::State& state)
{
    GeneratedSource& source = Source();
    std::string names[kColumns];
    for (int column = 0; column < kColumns; ++column)
        names[column] = "F" + std::to_string(column);
    for (auto _ : state) {
        CFetch fetch;
        fetch.Init("BENCH", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "",
                   source.Path("Read.ini"));
        std::size_t characters = 0;
        int records = 0;
        while (!fetch.IsEOF()) {
            if (!fetch.MoveNext())
                continue;
            ++records;
            for (const std::string& name : names) {
                int linked = 0;
                characters += fetch.GetField(name, linked).size();
            }
        }
        benchmark::DoNotOptimize(characters);
        if (records != kLines)
            state.SkipWithError("wrong record count");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_FetchReadDefinition)->Unit(benchmark::kMillisecond)->UseRealTime();

// The records only: the file loaded, decoded and every line split into its fields.
void BM_FetchReadRecordsOnly(benchmark::State& state)
{
    GeneratedSource& source = Source();
    for (auto _ : state) {
        CFetch fetch;
        fetch.Init("BENCH", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "",
                   source.Path("Read.ini"));
        std::size_t fields = 0;
        while (!fetch.IsEOF())
            if (fetch.MoveNext())
                fields += static_cast<std::size_t>(fetch.m_arrLineFields.GetSize());
        benchmark::DoNotOptimize(fields);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_FetchReadRecordsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AwkCountFields(benchmark::State& state)
{
    GeneratedSource& source = Source();
    const std::string command =
        "awk -F';' '{n+=NF} END{print n}' " + source.Path("data.csv") + " >/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("awk failed");
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_AwkCountFields)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
