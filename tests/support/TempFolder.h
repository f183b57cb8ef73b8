#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace trv::test {

// The whole content of a file as bytes; empty when it cannot be read.
inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces a file with `bytes` as they stand, creating its folder first.
inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh, empty folder for the running test, removed with the object. Its name holds the
// process id and the test's name: test cases run in parallel processes, and a folder left by a
// crashed run is emptied first.
class TempFolder
{
  public:
    explicit TempFolder(const std::string& prefix = "trv")
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = test != nullptr ? test->name() : "none";
        std::replace(name.begin(), name.end(), '/', '_'); // parameterised tests: "Name/0"
        path_ = std::filesystem::temp_directory_path() /
                (prefix + "_" + std::to_string(::getpid()) + "_" + name);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }

    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // The path of `name` inside the folder.
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    // Writes `bytes` to `name` inside the folder and gives its path.
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = File(name);
        WriteFileBytes(path, bytes);
        return path;
    }

  private:
    std::filesystem::path path_;
};

// Sets environment variables for the life of the object; each gets its old value back, or is
// unset again if it was unset.
class EnvironmentOverride
{
  public:
    EnvironmentOverride() = default;
    EnvironmentOverride(const std::string& name, const std::string& value) { Set(name, value); }

    ~EnvironmentOverride()
    {
        for (auto saved = saved_.rbegin(); saved != saved_.rend(); ++saved) {
            if (saved->second)
                ::setenv(saved->first.c_str(), saved->second->c_str(), 1);
            else
                ::unsetenv(saved->first.c_str());
        }
    }

    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

    void Set(const std::string& name, const std::string& value)
    {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A per-test folder that stands as the program folder (TREVANTOR_HOME) while the object lives.
class ProgramFolder
{
  public:
    explicit ProgramFolder(const std::string& prefix = "trv")
        : folder_(prefix), home_("TREVANTOR_HOME", folder_.Path().string())
    {
    }

    const std::filesystem::path& Path() const { return folder_.Path(); }
    std::string File(const std::string& name) const { return folder_.File(name); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        return folder_.Write(name, bytes);
    }

  private:
    TempFolder folder_; // removed after the program folder is given back
    EnvironmentOverride home_;
};

} // namespace trv::test
