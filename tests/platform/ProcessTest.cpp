#include "platform/Process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ProcessTest, SplitsCommandLines)
{
    struct Case
    {
        const char* line;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"", {}},
        {"  prog   a  b ", {"prog", "a", "b"}},
        {"\"/opt/my app/run\" -o\"/tmp/out dir\"", {"/opt/my app/run", "-o/tmp/out dir"}},
        {"prog \"\" x", {"prog", "", "x"}},
        {"prog \"say \"\"hi\"\"\"", {"prog", "say \"hi\""}},
        {"prog\ta", {"prog", "a"}},
    };
    for (const Case& test : cases)
        EXPECT_EQ(trv::SplitCommandLine(test.line), test.arguments) << test.line;
}

TEST(ProcessTest, WaitsWithAndWithoutLimit)
{
    const int slow = trv::SpawnProcess({"sleep", "5"}, {});
    ASSERT_GT(slow, 0);
    EXPECT_FALSE(trv::WaitForProcess(slow, 50));
    trv::TerminateProcess(slow);
    int exitCode = 0;
    ASSERT_TRUE(trv::WaitForProcess(slow, -1, &exitCode));
    EXPECT_EQ(exitCode, 128 + 9);

    const int failing = trv::SpawnProcess({"/bin/sh", "-c", "exit 3"}, {});
    ASSERT_GT(failing, 0);
    ASSERT_TRUE(trv::WaitForProcess(failing, -1, &exitCode));
    EXPECT_EQ(exitCode, 3);

    EXPECT_EQ(trv::SpawnProcess({"/no/such/program"}, {}), -1);

    std::string output;
    EXPECT_TRUE(trv::CaptureProcessOutput({"printf", "a b"}, output));
    EXPECT_EQ(output, "a b");
}

} // namespace
