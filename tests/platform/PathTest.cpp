#include "platform/Path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace trv;

TEST(Path, NormaliseAcceptsBothSeparators)
{
    struct Case
    {
        const char* path;
        const char* normalized;
    };
    const Case cases[] = {
        {"Configuration\\Data.ini", "Configuration/Data.ini"},
        {"\\\\server\\share\\", "/server/share/"},
        {"a//b/./c/", "a/b/c/"},
        {"a/b/../c", "a/c"},
        {"../x", "../x"},
        {"/../x", "/x"},
        {"a/..", "."},
        {"", ""},
    };
    for (const Case& item : cases)
        EXPECT_EQ(NormalizePath(item.path), item.normalized) << item.path;

    EXPECT_EQ(JoinPath("/opt/trv/", "Languages\\DIC.INI"), "/opt/trv/Languages/DIC.INI");
    EXPECT_EQ(JoinPath("/opt/trv", "/etc/x"), "/etc/x");
    EXPECT_EQ(JoinPath("", "a\\b"), "a/b");
    EXPECT_EQ(GetPathFileName("C:\\Trv\\Config.ini"), "Config.ini");
    EXPECT_EQ(GetPathFolder("a\\b/c.txt"), "a/b/");
}

TEST(Path, FindsFilesWhateverTheirCase)
{
    const auto root =
        std::filesystem::temp_directory_path() / ("trv_path_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "Configuration");
    std::ofstream(root / "Configuration" / "Config.ini") << "x";
    const std::string base = root.string();

    EXPECT_EQ(FindPathNoCase(base + "/configuration/config.ini"),
              base + "/Configuration/Config.ini");
    EXPECT_EQ(FindPathNoCase(base + "\\CONFIGURATION\\CONFIG.INI"),
              base + "/Configuration/Config.ini");
    EXPECT_EQ(FindPathNoCase(base + "/configuration/"), base + "/Configuration/");
    EXPECT_EQ(FindPathNoCase(base + "/configuration/missing.ini"), "");
    EXPECT_EQ(ResolvePathCase(base + "/configuration/New.ini"), base + "/configuration/New.ini");
    std::filesystem::remove_all(root);
}
