// Init/Close cycles of one definition out of a generated Data.ini. Once the definition files
// are cached, the cost of an Init must not grow with the number of definitions in them:
// compare the per-Init time at 30 and at 300 definitions.

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A program folder holding a Data.ini of `count` definitions and a company file that
// overrides one setting of each tenth one.
class GeneratedProgram
{
  public:
    explicit GeneratedProgram(int count)
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trv_fetch_bench_" + std::to_string(::getpid()) + "_" + std::to_string(count));
        std::filesystem::create_directories(folder_ / "BENCH" / "Configuration");
        std::ofstream data(folder_ / "Data.ini");
        data << "[CONST_VALUES]\nINPUT=in\n\n[BOOL]\nDEFAULT=1,0\n\n[TIME]\nDEFAULT=HH:MM\n\n"
                "[DATE]\nDEFAULT=DD/MM/YYYY\n\n";
        for (int index = 0; index < count; ++index) {
            data << "[DEF" << index << "_FORMAT]\nTYPE=FIXED\nSEPARATOR=;\nFILENAME=#INPUT#_"
                 << index << ".txt\nWHERE=STATE=1\nREQUIREMENTS=CODE,NAME\n\n";
            data << "[DEF" << index << "]\n";
            for (int field = 0; field < 20; ++field)
                data << "FIELD" << field << "=" << field + 1 << "\n";
            data << "\n";
        }
        std::ofstream custom(folder_ / "BENCH" / "Configuration" / "CustomData.ini");
        for (int index = 0; index < count; index += 10)
            custom << "[DEF" << index << "]\nFIELD0=99\n\n";
        data.close();
        custom.close();

        const char* home = std::getenv("TREVANTOR_HOME");
        savedHome_ = home ? home : "";
        ::setenv("TREVANTOR_HOME", folder_.c_str(), 1);
        trv::SetCompanyAlias("BENCH");
        CFetch::ResetDefinitionFiles();
        CFetch::SetDataIniFile((folder_ / "FileNames.ini").string());
    }

    ~GeneratedProgram()
    {
        CFetch::ResetDefinitionFiles();
        trv::ResetAppGlobals();
        ::setenv("TREVANTOR_HOME", savedHome_.c_str(), 1);
        std::filesystem::remove_all(folder_);
    }

  private:
    std::filesystem::path folder_;
    std::string savedHome_;
};

void BM_FetchInitClose(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    GeneratedProgram program(count);
    const std::string name = "DEF" + std::to_string(count / 2);
    CFetch fetch;
    for (auto _ : state) {
        const int result = fetch.Init(name);
        benchmark::DoNotOptimize(result);
        fetch.Close();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FetchInitClose)->Arg(30)->Arg(300)->Iterations(1000)->Unit(benchmark::kMicrosecond);

} // namespace
