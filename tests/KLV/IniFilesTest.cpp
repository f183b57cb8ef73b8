#include "KLV/IniFiles.h"

#include "TempFolder.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class IniFilesTest : public ::testing::Test
{
  protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = (trace_.Folder() / name).string();
        trv::test::WriteFileBytes(path, bytes);
        return path;
    }

    static std::string Read(const std::string& path) { return trv::test::ReadFileBytes(path); }

    TraceCapture trace_;
};

TEST_F(IniFilesTest, ReadsStringsAndFloats)
{
    const std::string file = Write("a.ini", "[Params]\nName=Ruta\nComma=2,5\nPoint= 2.75 \n"
                                            "Empty=\nWord=abc\nLong=" +
                                                std::string(12000, 'x') + "\n");
    EXPECT_EQ(ReadIniString("PARAMS", "name", file, "d"), "Ruta");
    EXPECT_EQ(ReadIniString("Params", "Missing", file, "d"), "d");
    EXPECT_EQ(ReadIniString("Params", "Name", file + ".none", "d"), "d");
    EXPECT_EQ(ReadIniString("Params", "Long", file, "").size(), 9999u);

    EXPECT_FLOAT_EQ(ReadIniFloat("Params", "Comma", file, 9.0f), 2.0f);
    EXPECT_FLOAT_EQ(ReadIniFloat("Params", "Point", file, 9.0f), 2.75f);
    EXPECT_FLOAT_EQ(ReadIniFloat("Params", "Empty", file, 9.0f), 9.0f);
    EXPECT_FLOAT_EQ(ReadIniFloat("Params", "Word", file, 9.0f), 0.0f);
    EXPECT_FLOAT_EQ(ReadIniFloat("Params", "Missing", file, 9.0f), 9.0f);
}

TEST_F(IniFilesTest, WritesNumbersInTheCLocale)
{
    const std::string file = Write("w.ini", "; settings\n[S]\nKeep=1 ; as it is\n");
    ASSERT_TRUE(WriteIniInt(-12, "S", "Int", file));
    ASSERT_TRUE(WriteIniFloat(1.5f, "S", "Float", file));
    EXPECT_EQ(Read(file), "; settings\n[S]\nKeep=1 ; as it is\nInt=-12\nFloat=1.500000\n");
}

TEST_F(IniFilesTest, ClearIniSectionKeepsLinesWithoutEquals)
{
    const std::string file = Write("c.ini", "[A]\nx=1\nplain line\n; note\ny = 2\n\n[B]\nz=3\n");
    ClearIniSection("a", file);
    EXPECT_EQ(Read(file), "[A]\nplain line\n; note\n\n[B]\nz=3\n");
}

TEST_F(IniFilesTest, ReadIniSectionFirstDefinitionWins)
{
    const std::string first =
        Write("first.ini", "[DEF]\nTYPE=ASCII\nFILE=a.txt\nTYPE=second line\n");
    const std::string second = Write("second.ini", "[def]\nTYPE=XML\nSEPARATOR=;\nbare\n");
    const std::string none = (trace_.Folder() / "missing.ini").string();
    IniTextMap result{{"OLD", "kept?"}};
    ASSERT_TRUE(ReadIniSection(std::vector<std::string>{first, none, second}, result, "Def", 17,
                               false, {}));
    EXPECT_EQ(result,
              (IniTextMap{{"TYPE", "ASCII"}, {"FILE", "a.txt"}, {"SEPARATOR", ";"}, {"", "bare"}}));

    // Keep existing: earlier names stay, names defined now are overwritten by their first
    // definition in this call.
    const std::string third = Write("third.ini", "[DEF]\nFILE=b.txt\nEXTRA=1\nFILE=c.txt\n");
    CSmartStringArray files;
    files.Add(third);
    ASSERT_TRUE(ReadIniSection(files, result, "DEF", 17, true, {}));
    EXPECT_EQ(result.at("TYPE"), "ASCII");
    EXPECT_EQ(result.at("FILE"), "b.txt");
    EXPECT_EQ(result.at("EXTRA"), "1");
    EXPECT_EQ(result.size(), 5u);
}

TEST_F(IniFilesTest, ReadIniSectionSubstitutesConstants)
{
    const std::string file = Write("k.ini", "[DEF]\n"
                                            "FILE=#PATH#\\in.txt\n"
                                            "#KEY#_NAME=#A##B#\n"
                                            "TWICE=#A#-#A#\n"
                                            "MISSING=#NOPE#/x\n"
                                            "AGAIN=#NOPE#\n"
                                            "SKIPS=#P1#P2#P3#\n"
                                            "OPEN=50# of\n"
                                            "LOOP=#SELF#\n");
    const IniTextMap constants{{"PATH", "C:\\data"}, {"KEY", "ORDER"}, {"A", "long value"},
                               {"B", "b"},           {"P2", "two"},    {"EMPTY", ""},
                               {"SELF", "#SELF#"}};
    IniTextMap result;
    ReadIniSection(std::vector<std::string>{file}, result, "DEF", 17, false, constants);
    EXPECT_EQ(result.at("FILE"), "C:\\data\\in.txt");
    EXPECT_EQ(result.at("ORDER_NAME"), "long valueb");
    EXPECT_EQ(result.at("TWICE"), "long value-long value");
    EXPECT_EQ(result.at("MISSING"), "#NOPE#/x");
    EXPECT_EQ(result.at("AGAIN"), "#NOPE#");
    EXPECT_EQ(result.at("SKIPS"), "#P1#P2#P3#"); // P1 and P3 are looked up, not P2
    EXPECT_EQ(result.at("OPEN"), "50# of");
    EXPECT_EQ(result.at("LOOP"), "#SELF#");

    const std::vector<std::string> messages = trace_.Messages();
    EXPECT_EQ(messages, (std::vector<std::string>{"Constante_Fetch_No_Encontrada [NOPE]",
                                                  "Constante_Fetch_No_Encontrada [P1]",
                                                  "Constante_Fetch_No_Encontrada [P3]"}));
}

TEST_F(IniFilesTest, ReadIniSectionReadsALargeSectionWhole)
{
    std::string text = "[BIG]\n";
    int count = 0;
    while (text.size() < 100 * 1024) {
        text += "KEY" + std::to_string(count) + "=" + std::string(40, 'v') + "\n";
        ++count;
    }
    const std::string big = Write("big.ini", text);
    const std::string small = Write("small.ini", "[BIG]\nKEY0=other\nLAST=1\n");
    IniTextMap result;
    ReadIniSection(std::vector<std::string>{big, small}, result, "BIG", 4099, false, {});
    EXPECT_EQ(result.size(), std::size_t(count + 1));
    EXPECT_EQ(result.at("KEY0"), std::string(40, 'v'));
    EXPECT_EQ(result.at("KEY" + std::to_string(count - 1)), std::string(40, 'v'));
    EXPECT_EQ(result.at("LAST"), "1");
}

} // namespace
