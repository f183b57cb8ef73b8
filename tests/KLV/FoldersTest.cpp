#include "KLV/Folders.h"

#include "TempFolder.h"
#include "platform/Process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FoldersTest : public ::testing::Test
{
  protected:
    static std::string Contents(const fs::path& path) { return trv::test::ReadFileBytes(path); }

    trv::test::TempFolder folder_{"trv_folders"};
};

TEST_F(FoldersTest, TempFolderPerProcess)
{
    const std::string common = GetTempFolder(0);
    ASSERT_FALSE(common.empty());
    EXPECT_EQ(common.back(), '/');
    const std::string own = GetTempFolder(1);
    EXPECT_EQ(own, common + "Trevantor" + std::to_string(::getpid()) + "/");
    EXPECT_FALSE(fs::exists(own)); // not created here
}

TEST_F(FoldersTest, ExecutableNames)
{
    // The same tests also run as the sanitized copy of the binary.
    EXPECT_THAT(GetExeFileName(), ::testing::AnyOf("test_KLV", "test_KLV_asan"));
    EXPECT_THAT(GetExeBaseName(), ::testing::AnyOf("test_KLV", "test_KLV_asan"));
    const std::string folder = GetExeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
}

TEST_F(FoldersTest, WildcardsFindAndDeleteFiles)
{
    std::ofstream(folder_.Path() / "a.tmp") << "a";
    std::ofstream(folder_.Path() / "b.tmp") << "b";
    std::ofstream(folder_.Path() / "c.txt") << "c";
    fs::create_directories(folder_.Path() / "d.tmp");
    EXPECT_TRUE(FileExists(folder_.File("*.tmp")));
    EXPECT_TRUE(FileExists(folder_.File("d.tmp")));
    EXPECT_FALSE(FileExists(folder_.File("*.none")));
    DeleteFiles(folder_.File("*.tmp"));
    EXPECT_FALSE(fs::exists(folder_.Path() / "a.tmp"));
    EXPECT_FALSE(fs::exists(folder_.Path() / "b.tmp"));
    EXPECT_TRUE(fs::exists(folder_.Path() / "c.txt"));
    EXPECT_TRUE(fs::exists(folder_.Path() / "d.tmp")); // folders are not files
}

TEST_F(FoldersTest, RunProgramWaitsAndReportsFailures)
{
    const fs::path out = folder_.Path() / "out.txt";
    // The child writes only after a pause: a wait that returned early would see no file.
    // Inside the quoted -c argument a doubled quote stands for one.
    const std::string script = "sleep 0.2; printf '%s|' \"\"$@\"\" > '" + out.string() + "'";
    ASSERT_TRUE(RunProgram(SW_HIDE, NORMAL_PRIORITY_CLASS, "/bin/sh",
                           "-c \"" + script + "\" name %* /s \"two words\"", true));
    EXPECT_EQ(Contents(out), "/s|two words|");

    EXPECT_FALSE(RunProgram(SW_HIDE, 0, folder_.File("no-such-program"), "", true));
    EXPECT_FALSE(RunProgram(SW_HIDE, 0, "", "", true));
}

TEST_F(FoldersTest, StartProcessRunsAtIdlePriorityAndCanBeWaitedOn)
{
    const fs::path out = folder_.Path() / "nice.txt";
    const int processId =
        StartProcess(false, "/bin/sh", "-c \"sleep 0.1; nice > '" + out.string() + "'\"");
    ASSERT_GT(processId, 0);
    int exitCode = -1;
    ASSERT_TRUE(trv::WaitForProcess(processId, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Contents(out), "19\n");

    EXPECT_EQ(StartProcess(false, folder_.File("missing"), ""), 0);
    EXPECT_EQ(StartProcess(true, "/bin/true", ""), 0);
}

} // namespace
