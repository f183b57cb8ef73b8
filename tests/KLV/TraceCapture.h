#pragma once

#include "KLV/Trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

// A per-test program folder whose configuration switches the trace log on, so a test can
// read back the lines the code under test wrote. Tests run in parallel processes: each one
// works in its own folder.
class TraceCapture
{
  public:
    explicit TraceCapture(int level = 3)
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trv_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        const char* home = std::getenv("TREVANTOR_HOME");
        savedHome_ = home ? home : "";
        ::setenv("TREVANTOR_HOME", folder_.c_str(), 1);
        std::ofstream(folder_ / "config.ini") << "[LOG]\nLevel=" << level << "\n";
        trv::ResetTrace();
    }

    ~TraceCapture()
    {
        trv::ResetTrace();
        ::setenv("TREVANTOR_HOME", savedHome_.c_str(), 1);
        std::filesystem::remove_all(folder_);
    }

    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }

    // The message texts (after "--> ") of the lines written so far.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        std::ifstream in(folder_ / "Traces" / "Trace.log");
        for (std::string line; std::getline(in, line);) {
            const std::size_t start = line.find(" --> ");
            const std::size_t end = line.rfind(" [");
            if (start != std::string::npos && end != std::string::npos && end > start)
                messages.push_back(line.substr(start + 5, end - start - 5));
        }
        return messages;
    }

  private:
    std::filesystem::path folder_;
    std::string savedHome_;
};
