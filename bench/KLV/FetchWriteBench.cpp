// Writing 100,000 records of 20 fields through a ';'-separated definition, next to reading the
// same file back through the same definition in the same run. Writing should stay within twice
// the time of reading: compare BM_FetchWrite20Fields with BM_FetchReadWritten20Fields.

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRecords = 100000;
constexpr int kFields = 20;

class WriteProgram
{
  public:
    WriteProgram()
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trv_fetch_write_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        std::ofstream data(folder_ / "Data.ini");
        data << "[BOOL]\nDEFAULT=1,0\n\n[TIME]\nDEFAULT=HH:MM\n\n[DATE]\nDEFAULT=DD/MM/YYYY\n\n"
                "[DECIMALS]\nDEFAULT=2\n\n[DEFAULT]\nDECIMAL_SEP=.\n\n"
                "[ROWS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nFILENAME=rows.txt\n\n[ROWS]\n";
        for (int field = 0; field < kFields; ++field)
            data << "FIELD" << field << "=" << field + 1 << "\n";
        data.close();

        const char* home = std::getenv("TREVANTOR_HOME");
        savedHome_ = home ? home : "";
        ::setenv("TREVANTOR_HOME", folder_.c_str(), 1);
        trv::SetCompanyAlias("");
        CFetch::ResetDefinitionFiles();
        CFetch::SetDataIniFile((folder_ / "FileNames.ini").string());

        for (int field = 0; field < kFields; ++field)
            names_.push_back("FIELD" + std::to_string(field));
        // Texts of mixed lengths, some numeric, as an export of orders would hold.
        for (int record = 0; record < 97; ++record)
            values_.push_back(record % 3 == 0 ? std::to_string(record * 137)
                                              : "Value " + std::to_string(record) + " of text");
    }

    ~WriteProgram()
    {
        CFetch::ResetDefinitionFiles();
        trv::ResetAppGlobals();
        ::setenv("TREVANTOR_HOME", savedHome_.c_str(), 1);
        std::filesystem::remove_all(folder_);
    }

    void WriteAll() const
    {
        CFetch fetch;
        fetch.Init("ROWS", "", "", FETCH_MODE_WRITE);
        for (int record = 0; record < kRecords; ++record) {
            for (int field = 0; field < kFields; ++field)
                fetch.SetFieldString(names_[field],
                                     values_[static_cast<std::size_t>(record + field) % 97]);
            fetch.WriteRecord();
            fetch.ClearRecord();
        }
        fetch.Close();
    }

    std::size_t ReadAll() const
    {
        CFetch fetch;
        fetch.Init("ROWS");
        std::size_t characters = 0;
        while (!fetch.IsEOF()) {
            if (!fetch.MoveNext())
                continue;
            for (int field = 0; field < kFields; ++field)
                characters += fetch.GetFieldString(names_[field]).size();
        }
        fetch.Close();
        return characters;
    }

  private:
    std::filesystem::path folder_;
    std::string savedHome_;
    std::vector<std::string> names_;
    std::vector<std::string> values_;
};

void BM_FetchWrite20Fields(benchmark::State& state)
{
    WriteProgram program;
    for (auto _ : state)
        program.WriteAll();
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_FetchWrite20Fields)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_FetchReadWritten20Fields(benchmark::State& state)
{
    WriteProgram program;
    program.WriteAll();
    for (auto _ : state)
        benchmark::DoNotOptimize(program.ReadAll());
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_FetchReadWritten20Fields)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
