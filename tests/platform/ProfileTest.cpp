#include "platform/Profile.h"

#include "TempFolder.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test
{
  protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        return folder_.Write(name, bytes);
    }

    static std::string Read(const std::string& path) { return trv::test::ReadFileBytes(path); }

    trv::test::TempFolder folder_{"trv_profile"};
};

TEST_F(ProfileTest, ReadsWithTheSemanticsCallersRelyOn)
{
    const std::string file = Write("a.ini", "top=ignored\n"
                                            "[General]\n"
                                            "  Name  =  Value with blanks  \n"
                                            "Quoted=\"  kept blanks \"\n"
                                            "Single='x'\n"
                                            "Half=\"open\n"
                                            "; Comment=no\n"
                                            "Empty=\n"
                                            "name=second\n"
                                            "Área=ñ\n"
                                            "[general]\n"
                                            "Other=in duplicate section\n"
                                            "[Numbers]\r\n"
                                            "Int=  -42abc\r\n"
                                            "Blank=\r\n"
                                            "Word=abc\r\n");
    struct Case
    {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"General", "name", "Value with blanks"}, // case-insensitive, trimmed, first wins
        {"GENERAL", "NAME", "Value with blanks"},
        {" general ", " name ", "Value with blanks"},
        {"General", "Quoted", "  kept blanks "},
        {"General", "Single", "x"},
        {"General", "Half", "\"open"},
        {"General", "; Comment", "default"},
        {"General", "Empty", ""},
        {"General", "área", "ñ"},        // Latin-1 letters fold too
        {"General", "Other", "default"}, // only the first section of a name counts
        {"General", "top", "default"},   // lines before any section belong to none
        {"Missing", "Name", "default"},
        {"Numbers", "Int", "-42abc"}, // CR LF line ends
    };
    for (const Case& test : cases)
        EXPECT_EQ(trv::GetProfileString(test.section, test.key, "default", file), test.expected)
            << test.section << "/" << test.key;
    EXPECT_EQ(trv::GetProfileString("General", "Name", "default", file + ".missing"), "default");

    EXPECT_EQ(trv::GetProfileInt("Numbers", "Int", 7, file), -42);
    EXPECT_EQ(trv::GetProfileInt("Numbers", "Blank", 7, file), 7);
    EXPECT_EQ(trv::GetProfileInt("Numbers", "Word", 7, file), 0);
    EXPECT_EQ(trv::GetProfileInt("Numbers", "Missing", 7, file), 7);
}

TEST_F(ProfileTest, FindsTheFileWhateverItsLetterCase)
{
    Write("Config.ini", "[LOG]\nLevel=3\n");
    EXPECT_EQ(trv::GetProfileInt("LOG", "Level", -1, folder_.File("config.ini")), 3);
    ASSERT_TRUE(trv::WriteProfileString("LOG", "Level", "2", folder_.File("CONFIG.INI")));
    EXPECT_EQ(Read(folder_.File("Config.ini")), "[LOG]\nLevel=2\n");
    EXPECT_FALSE(fs::exists(folder_.Path() / "CONFIG.INI"));
}

TEST_F(ProfileTest, ReadsASectionAsItsLines)
{
    const std::string file =
        Write("s.ini", "[S]\n a = 1 \n\n; note\nbare line\nb=\"q\"\n[T]\nc=3\n");
    std::vector<std::string> entries;
    ASSERT_TRUE(trv::GetProfileSection("s", file, entries));
    EXPECT_EQ(entries, (std::vector<std::string>{"a=1", "bare line", "b=\"q\""}));
    EXPECT_FALSE(trv::GetProfileSection("U", file, entries));
    EXPECT_TRUE(entries.empty());

    std::string big = "[Big]\n";
    for (int index = 0; index < 5000; ++index)
        big += "Key" + std::to_string(index) + "=" + std::string(20, 'v') + "\n";
    const std::string bigFile = Write("big.ini", big);
    ASSERT_TRUE(trv::GetProfileSection("Big", bigFile, entries));
    EXPECT_EQ(entries.size(), 5000u);
    EXPECT_EQ(entries.back(), "Key4999=" + std::string(20, 'v'));
}

TEST_F(ProfileTest, WritesKeepEveryOtherByte)
{
    const std::string original = "; header comment\r\n"
                                 "[One]\r\n"
                                 "  A = 1   ; not a comment\r\n"
                                 "B=2\r\n"
                                 "\r\n"
                                 "; belongs to Two\r\n"
                                 "[Two]\r\n"
                                 "C=3";
    const std::string file = Write("w.ini", original);

    ASSERT_TRUE(trv::WriteProfileString("one", "a", "10", file));
    EXPECT_EQ(Read(file), "; header comment\r\n"
                          "[One]\r\n"
                          "A=10\r\n"
                          "B=2\r\n"
                          "\r\n"
                          "; belongs to Two\r\n"
                          "[Two]\r\n"
                          "C=3");

    ASSERT_TRUE(trv::WriteProfileString("One", "New", "n", file));
    ASSERT_TRUE(trv::WriteProfileString("Two", "D", "4", file));
    ASSERT_TRUE(trv::WriteProfileString("Three", "E", "5", file));
    EXPECT_EQ(Read(file), "; header comment\r\n"
                          "[One]\r\n"
                          "A=10\r\n"
                          "B=2\r\n"
                          "New=n\r\n"
                          "\r\n"
                          "; belongs to Two\r\n"
                          "[Two]\r\n"
                          "C=3\r\n"
                          "D=4\r\n"
                          "\r\n"
                          "[Three]\r\n"
                          "E=5\r\n");
    EXPECT_EQ(trv::GetProfileString("One", "New", "", file), "n");

    ASSERT_TRUE(trv::DeleteProfileKey("ONE", "b", file));
    ASSERT_TRUE(trv::DeleteProfileKey("One", "Missing", file));
    ASSERT_TRUE(trv::DeleteProfileSection("two", file));
    EXPECT_EQ(Read(file), "; header comment\r\n"
                          "[One]\r\n"
                          "A=10\r\n"
                          "New=n\r\n"
                          "\r\n"
                          "; belongs to Two\r\n"
                          "[Three]\r\n"
                          "E=5\r\n");
    EXPECT_EQ(trv::GetProfileString("One", "B", "gone", file), "gone");
}

TEST_F(ProfileTest, WritesASectionsKeysAtOnce)
{
    const std::string original = "; layouts\r\n"
                                 "[Lists]\r\n"
                                 "0=A,B ; kept as a value\r\n"
                                 "; a note\r\n"
                                 "Other=x\r\n"
                                 "\r\n"
                                 "[Next]\r\n"
                                 "K=1\r\n";
    const std::string file = Write("s.ini", original);
    using Keys = std::vector<std::pair<std::string, std::string>>;

    ASSERT_TRUE(trv::WriteProfileSection("lists", Keys{{"0", "C"}, {"0_B", "T"}, {"1", ""}}, file));
    EXPECT_EQ(Read(file), "; layouts\r\n"
                          "[Lists]\r\n"
                          "0=C\r\n"
                          "; a note\r\n"
                          "Other=x\r\n"
                          "0_B=T\r\n"
                          "1=\r\n"
                          "\r\n"
                          "[Next]\r\n"
                          "K=1\r\n");

    // One key that cannot be written stops them all; the same values again leave the file's
    // bytes as they are.
    const std::string written = Read(file);
    EXPECT_FALSE(trv::WriteProfileSection("Lists", Keys{{"0", "D"}, {"2", "a\nb"}}, file));
    ASSERT_TRUE(trv::WriteProfileSection("Lists", Keys{{"0", "C"}, {"1", ""}}, file));
    EXPECT_EQ(Read(file), written);

    // A missing section is added at the end, a missing file is created.
    ASSERT_TRUE(trv::WriteProfileSection("New", Keys{{"A", "1"}, {"B", "2"}}, file));
    EXPECT_EQ(Read(file), written + "\r\n[New]\r\nA=1\r\nB=2\r\n");
    const std::string created = folder_.File("created.ini");
    ASSERT_TRUE(trv::WriteProfileSection("S", Keys{{"A", "1"}, {"A", "2"}}, created));
    EXPECT_EQ(Read(created), "[S]\nA=2\n");
}

TEST_F(ProfileTest, CreatesMissingFilesAndRefusesTextThatBreaksLines)
{
    const std::string file = folder_.File("new.ini");
    ASSERT_TRUE(trv::WriteProfileString("S", "K", "v", file));
    EXPECT_EQ(Read(file), "[S]\nK=v\n");
    EXPECT_FALSE(trv::WriteProfileString("S", "K", "two\nlines", file));
    EXPECT_FALSE(trv::WriteProfileString("S", "K=", "v", file));
    EXPECT_FALSE(trv::WriteProfileString("S]", "K", "v", file));
    // Keys that would come back as a comment or a section header are never written, and the
    // refusal is traced.
    static std::vector<std::string> traced;
    traced.clear();
    trv::SetPromptTracer([](const char*, const std::string& text) { traced.push_back(text); });
    for (const char* key : {";K", " ;K", "[K", "[T]"})
        EXPECT_FALSE(trv::WriteProfileString("S", key, "v", file)) << key;
    trv::SetPromptTracer(nullptr);
    ASSERT_EQ(traced.size(), 4u);
    EXPECT_NE(traced[0].find("comment"), std::string::npos) << traced[0];
    EXPECT_FALSE(trv::WriteProfileString("S", "K", "v", folder_.File("no/such/folder.ini")));
    EXPECT_EQ(Read(file), "[S]\nK=v\n");
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_.Path()), fs::directory_iterator()), 1);
}

TEST_F(ProfileTest, KeepsWindowsCodePageFilesInTheirCodePage)
{
    // "Ciudad=Málaga" in Windows-1252.
    const std::string file = Write("legacy.ini", "[Datos]\nCiudad=M\xE1laga\n");
    EXPECT_EQ(trv::GetProfileString("Datos", "Ciudad", "", file), "Málaga");
    ASSERT_TRUE(trv::WriteProfileString("Datos", "País", "España", file));
    EXPECT_EQ(Read(file), "[Datos]\nCiudad=M\xE1laga\nPa\xEDs=Espa\xF1"
                          "a\n");
    // A character the code page lacks turns the whole file into UTF-8, losing nothing.
    ASSERT_TRUE(trv::WriteProfileString("Datos", "Moneda", "€ ₺", file));
    EXPECT_EQ(Read(file), "[Datos]\nCiudad=Málaga\nPaís=España\nMoneda=€ ₺\n");
}

TEST_F(ProfileTest, SeesChangesMadeOnDiskAfterCaching)
{
    const std::string file = Write("c.ini", "[S]\nK=1\n");
    EXPECT_EQ(trv::GetProfileString("S", "K", "", file), "1");
    // Same size, rewritten in place at once: the time stamp may not even move.
    Write("c.ini", "[S]\nK=2\n");
    EXPECT_EQ(trv::GetProfileString("S", "K", "", file), "2");
    fs::remove(file);
    EXPECT_EQ(trv::GetProfileString("S", "K", "gone", file), "gone");
    Write("c.ini", "[S]\nK=3\n");
    EXPECT_EQ(trv::GetProfileString("S", "K", "", file), "3");
}

TEST_F(ProfileTest, ConcurrentWritersLoseNoKey)
{
    const std::string file = folder_.File("t.ini");
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            for (int index = 0; index < 25; ++index) {
                const std::string key = "K" + std::to_string(thread) + "_" + std::to_string(index);
                trv::WriteProfileString("S", key, std::to_string(index), file);
                trv::GetProfileString("S", key, "", file);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::vector<std::string> entries;
    ASSERT_TRUE(trv::GetProfileSection("S", file, entries));
    EXPECT_EQ(entries.size(), 100u);
}

} // namespace
