#pragma once

#include "KLV/Fetch.h"
#include "model/ModelContext.h"
#include "model/VariableBuilders.h"
#include "params/TrevantorVariables.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// A scratch program folder holding the program's own definitions file, and a clean catalogue;
// the import benchmarks run in one.
class BenchProgramFolder
{
  public:
    explicit BenchProgramFolder(const std::string& prefix)
    {
        m_path = std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()));
        std::filesystem::create_directories(m_path);
        std::filesystem::copy_file(std::string(TRV_BENCH_PROGRAM_DIR) + "/Data.ini",
                                   m_path / "Data.ini",
                                   std::filesystem::copy_options::overwrite_existing);
        ::setenv("TREVANTOR_HOME", m_path.c_str(), 1);
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
    }
    ~BenchProgramFolder()
    {
        ResetModelContext();
        ResetTrevantorVariables();
        std::filesystem::remove_all(m_path);
    }
    BenchProgramFolder(const BenchProgramFolder&) = delete;
    BenchProgramFolder& operator=(const BenchProgramFolder&) = delete;

    std::string File(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};
