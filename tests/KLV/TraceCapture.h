#pragma once

#include "KLV/Trace.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A per-test program folder whose configuration switches the trace log on, so a test can
// read back the lines the code under test wrote. Tests run in parallel processes: each one
// works in its own folder.
class TraceCapture
{
  public:
    explicit TraceCapture(int level = 3)
    {
        trv::test::WriteFileBytes(folder_.Path() / "config.ini",
                                  "[LOG]\nLevel=" + std::to_string(level) + "\n");
        trv::ResetTrace();
    }

    ~TraceCapture() { trv::ResetTrace(); }

    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    const std::filesystem::path& Folder() const { return folder_.Path(); }

    // The message texts (after "--> ") of the lines written so far.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        std::ifstream in(folder_.Path() / "Traces" / "Trace.log");
        for (std::string line; std::getline(in, line);) {
            const std::size_t start = line.find(" --> ");
            const std::size_t end = line.rfind(" [");
            if (start != std::string::npos && end != std::string::npos && end > start)
                messages.push_back(line.substr(start + 5, end - start - 5));
        }
        return messages;
    }

  private:
    trv::test::ProgramFolder folder_;
};
