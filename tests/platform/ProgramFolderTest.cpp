#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(ProgramFolder, EnvironmentWinsAndEndsWithSlash)
{
    ::setenv("TREVANTOR_HOME", "/opt/trv", 1);
    EXPECT_EQ(trv::GetProgramFolder(), "/opt/trv/");
    ::unsetenv("TREVANTOR_HOME");
    const std::string folder = trv::GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(trv::GetExecutablePath().rfind(folder, 0), 0u);
}
