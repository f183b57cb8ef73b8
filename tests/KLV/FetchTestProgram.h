#pragma once

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A copy of the test program folder (tests/data/fetch/program) per test, with the company
// "ACME" chosen and the trace log on, so tests may write files and read back trace lines.
class FetchTestProgram : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        capture_ = std::make_unique<TraceCapture>(3);
        std::filesystem::copy(TRV_TEST_DATA_DIR "/fetch/program", capture_->Folder(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        trv::SetCompanyAlias("ACME");
        CFetch::ResetDefinitionFiles();
        CFetch::SetDataIniFile(Path("FileNames.ini"));
    }

    void TearDown() override
    {
        CFetch::ResetDefinitionFiles();
        trv::ResetAppGlobals();
        capture_.reset();
    }

    // A path inside the program folder.
    std::string Path(const std::string& name) const
    {
        return (capture_->Folder() / name).lexically_normal().string();
    }

    std::vector<std::string> TraceMessages() const { return capture_->Messages(); }

    bool Traced(const std::string& start) const
    {
        const auto messages = TraceMessages();
        return std::any_of(messages.begin(), messages.end(), [&](const std::string& message) {
            return message.rfind(start, 0) == 0;
        });
    }

    // Init that reads the definition and opens nothing.
    static int Consult(CFetch& fetch, const std::string& name, const std::string& file = "",
                       const std::string& definitionFile = "", int mode = FETCH_MODE_CONSULT,
                       const std::string& date = "")
    {
        return fetch.Init(name, date, "", mode, file, "", "", 1, nullptr, "", definitionFile,
                          nullptr, 1, 0);
    }

    static std::vector<std::string> Items(const FetchTextArray& array)
    {
        return std::vector<std::string>(array.begin(), array.end());
    }

  private:
    std::unique_ptr<TraceCapture> capture_;
};
