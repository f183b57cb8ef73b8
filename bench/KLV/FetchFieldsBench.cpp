// Field evaluation in the read loop: a definition of 50 fields (20 columns of a ';'-separated
// file and 30 computed from them) read over 1,000, 10,000 and 100,000 records. The time per
// field read (the items rate) must stay flat as the records grow: expressions are classified
// once per Init and each read only evaluates.

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

constexpr int kColumns = 20;

const char* const kComputed[] = {
    "+\"ID-\"+C1+\"-\"+C2",
    "SUMINT(C3,C4)",
    "SUBINT(C4,7)",
    "MULTINT(C3,3)",
    "DIVINT(C4,C3)",
    "MOD(C4,7)",
    "SUMFLOAT(C5,C6)",
    "MULTFLOAT(C6,1.5)",
    "DIVFLOAT(C5,C6)",
    "MID(C7,2,3)",
    "RIGHT(C7,2)",
    "POS(C7,B)",
    "SUBST(C7,B,x)",
    "ISDIFF(C8,A,x)",
    "ENUM(C8,A,B,C,D)",
    "BINENUM(C8,A,B,C,D)",
    "CASE(C8,(A,B,CASE_DEFAULT),(=first,=second,=other))",
    "IF_THEN(C3>50,=high,=low)",
    "IF_THEN(C8=\"A\" AND C3<20,C7,=none)",
    "SUMTIME(C9,30)",
    "SUBTIMEMINUTES(C9,C3)",
    "TIMETOINT(C9)",
    "SUMDAYS(C10,5)",
    "DAY_NUMBER(C10)",
    "WEEK_FROM_DATE(C10)",
    "GET_MONTH(C10)",
    "SUMWORKINGDAYS(C10,3)",
    "NUM_TO_TEXT(C11)",
    "RGB(C3,C4,0)",
    "VALUE=constant",
};
constexpr int kComputedCount = static_cast<int>(sizeof kComputed / sizeof kComputed[0]);

// A program folder with the definition and a source file of `records` lines.
class FieldsProgram
{
  public:
    explicit FieldsProgram(int records)
    {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("trv_fields_bench_" + std::to_string(::getpid()) + "_" + std::to_string(records));
        std::filesystem::create_directories(folder_);
        std::ofstream data(folder_ / "Data.ini");
        data << "[BOOL]\nDEFAULT=1,0\n\n[TIME]\nDEFAULT=HH:MM\n\n[DATE]\nDEFAULT=DD/MM/YYYY\n\n"
                "[ROWS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nFILENAME=rows.txt\n\n[ROWS]\n";
        for (int column = 1; column <= kColumns; ++column) {
            data << "C" << column << "=" << column << "\n";
            names_.push_back("C" + std::to_string(column));
        }
        for (int index = 0; index < kComputedCount; ++index) {
            data << "F" << index << "=" << kComputed[index] << "\n";
            names_.push_back("F" + std::to_string(index));
        }
        data.close();

        std::ofstream rows(folder_ / "rows.txt");
        const char* letters[] = {"A", "B", "C", "D"};
        for (int record = 0; record < records; ++record) {
            rows << "CODE" << record << ';' << record % 97 << ';' << record % 89 + 1 << ';'
                 << record % 113 + 3 << ';' << record % 7 << ".25;" << record % 5 + 1 << ".5;"
                 << "ABCDEFG;" << letters[record % 4] << ';' << (record % 20 + 4) << ':'
                 << (record % 6) * 10 << ';' << (record % 18 + 10) << "/0" << record % 9 + 1
                 << "/2024;" << record % 50 << ".000";
            for (int column = 12; column <= kColumns; ++column)
                rows << ";text" << column;
            rows << '\n';
        }
        rows.close();

        const char* home = std::getenv("TREVANTOR_HOME");
        savedHome_ = home ? home : "";
        ::setenv("TREVANTOR_HOME", folder_.c_str(), 1);
        CFetch::ResetDefinitionFiles();
        CFetch::SetDataIniFile((folder_ / "FileNames.ini").string());
    }

    ~FieldsProgram()
    {
        CFetch::ResetDefinitionFiles();
        trv::ResetAppGlobals();
        ::setenv("TREVANTOR_HOME", savedHome_.c_str(), 1);
        std::filesystem::remove_all(folder_);
    }

    const std::vector<std::string>& Names() const { return names_; }

  private:
    std::filesystem::path folder_;
    std::string savedHome_;
    std::vector<std::string> names_;
};

// Every field of every record through the typed text reader, as an import reads them.
void BM_FetchFieldReads(benchmark::State& state)
{
    const int records = static_cast<int>(state.range(0));
    FieldsProgram program(records);
    long long reads = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CFetch fetch;
        if (!fetch.Init("ROWS")) {
            state.SkipWithError("the definition does not open");
            return;
        }
        state.ResumeTiming();
        while (!fetch.IsEOF()) {
            if (!fetch.MoveNext())
                continue;
            for (const std::string& name : program.Names()) {
                benchmark::DoNotOptimize(fetch.GetFieldString(name));
                ++reads;
            }
        }
    }
    state.SetItemsProcessed(reads);
    state.counters["time_per_field"] = benchmark::Counter(
        static_cast<double>(reads), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FetchFieldReads)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace
