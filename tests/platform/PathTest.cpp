#include "platform/Path.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

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
    const trv::test::TempFolder root("trv_path_test");
    root.Write("Configuration/Config.ini", "x");
    const std::string base = root.Path().string();

    EXPECT_EQ(FindPathNoCase(base + "/configuration/config.ini"),
              base + "/Configuration/Config.ini");
    EXPECT_EQ(FindPathNoCase(base + "\\CONFIGURATION\\CONFIG.INI"),
              base + "/Configuration/Config.ini");
    EXPECT_EQ(FindPathNoCase(base + "/configuration/"), base + "/Configuration/");
    EXPECT_EQ(FindPathNoCase(base + "/configuration/missing.ini"), "");
    EXPECT_EQ(ResolvePathCase(base + "/configuration/New.ini"), base + "/configuration/New.ini");
}
