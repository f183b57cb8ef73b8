#include "params/ParameterFiles.h"

#include "ParamsTestSupport.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

namespace {

using ParameterFilesTest = ParamsFolderTest;

void WriteThreeFiles(const ParamsFolderTest& test)
{
    test.WriteFile("ShowParams.ini", "[Allowed Params]\n"
                                     "Allowed=1\nAllowedSeven=7\nForbidden=0\n");
    test.WriteFile("Params.ini", "[Parameters]\n"
                                 "Allowed=1\nAllowedSeven=1\nForbidden=1\nKmFactor=1\n"
                                 "OnlyHere=1\nEmptyThere=1\nNumberThenText=12abc\n"
                                 "NoDigits=abc\n");
    test.WriteFile("Params-Corvane.ini", "[Parameters]\n"
                                         "Allowed=2\nAllowedSeven=2\nForbidden=2\nKmFactor=2\n"
                                         "EmptyThere=\n");
}

TEST_F(ParameterFilesTest, KeyComesFromTheFileTheThreeFileRuleChooses)
{
    WriteThreeFiles(*this);
    const std::string file = ParamsFilePath;
    struct Case
    {
        const char* key;
        int expectedInt;
        std::string expectedText;
        float expectedFloat;
    };
    const Case cases[] = {
        {"Allowed", 1, "1", 1.0f},        // allowed: the planner's file
        {"AllowedSeven", 1, "1", 1.0f},   // any non-zero value allows
        {"Forbidden", 2, "2", 2.0f},      // 0 does not allow: the maker's file
        {"KmFactor", 1, "1", 1.0f},       // always allowed
        {"kmfactor", 2, "2", 2.0f},       // not the always-allowed spelling
        {"OnlyHere", 1, "1", 1.0f},       // the maker's file lacks it
        {"EmptyThere", -5, "", -5.0f},    // present but empty in the maker's file
        {"Absent", -5, "default", -5.0f}, // nowhere: the caller's default
        {"NumberThenText", 12, "12abc", 12.0f},
        {"NoDigits", 0, "abc", 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(CUserParameters::ReadParamInt("Parameters", c.key, file, -5), c.expectedInt);
        EXPECT_EQ(CUserParameters::ReadParamString("Parameters", c.key, file,
                                                   c.expectedText == "default" ? "default" : ""),
                  c.expectedText == "default" ? "default" : c.expectedText);
        EXPECT_FLOAT_EQ(CUserParameters::ReadParamFloat("Parameters", c.key, file, -5.0f),
                        c.expectedFloat);
    }

    // Without an override file every key comes from the given file.
    OverrideParamsFilePath.clear();
    EXPECT_EQ(CUserParameters::ReadParamInt("Parameters", "Forbidden", file, -5), 1);
    EXPECT_EQ(CUserParameters::ReadParamInt("Parameters", "EmptyThere", file, -5), 1);
}

TEST_F(ParameterFilesTest, LanguageIdFallsThroughParametersAndConfiguration)
{
    WriteFile("Config.ini", "[Configuration]\nLanguageID=3\n");
    WriteFile("Params.ini", "[Parameters]\nLanguageID=-1\n");
    EXPECT_EQ(GetLanguageID(), 3);
    WriteFile("Params.ini", "[Parameters]\nLanguageID=2\n");
    EXPECT_EQ(GetLanguageID(), 2);
    ParamsFilePath.clear();
    EXPECT_EQ(GetLanguageID(), 3);
}

TEST_F(ParameterFilesTest, TheColumnsFileIsNamedBesideTheProgramWhateverItsCase)
{
    const std::string folder = Path("");
    const struct
    {
        const char* fileNames; // "FileNames.ini", or null for none
        const char* existing;  // a file already there, or null
        const char* expected;
    } cases[] = {
        {nullptr, nullptr, "Columns.ini"},
        {"[FileNames]\nColumnsFile=\n", nullptr, "Columns.ini"},
        {"[FileNames]\nColumnsFile=Layouts/Grid.ini\n", nullptr, "Layouts/Grid.ini"},
        {"[FileNames]\nColumnsFile=Layouts\\Grid.ini\n", nullptr, "Layouts/Grid.ini"},
        {nullptr, "COLUMNS.INI", "COLUMNS.INI"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.expected);
        std::filesystem::remove(Path("FileNames.ini"));
        std::filesystem::remove(Path("COLUMNS.INI"));
        trv::ClearProfileCache();
        if (test.fileNames)
            WriteFile("FileNames.ini", test.fileNames);
        if (test.existing)
            WriteFile(test.existing, "");
        EXPECT_EQ(ColumnsFileInFolder(folder), Path(test.expected));
    }
}

} // namespace
