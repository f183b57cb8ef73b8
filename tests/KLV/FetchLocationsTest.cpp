#include "FetchTestProgram.h"
#include "KLV/Fetch.h"
#include "KLV/Folders.h"
#include "TempFolder.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <unistd.h>

namespace {

using trv::test::ReadFileBytes;

using FetchLocationsTest = FetchTestProgram;

std::string Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return trv::FormatC("%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

TEST_F(FetchLocationsTest, FileNamesResolveAgainstTheDefinitionsFolder)
{
    struct Case
    {
        const char* definition;
        const char* initFile;
        int mode;
        const char* date;
        std::string expected;
        const char* why;
    };
    const Case cases[] = {
        {"ORDERS", "", FETCH_MODE_READ, "", Path("orders_in.txt"), "relative FILENAME"},
        {"TRUEONLY", "in/x.txt", FETCH_MODE_READ, "", Path("in/x.txt"),
         "relative Init file when FILENAME is empty"},
        {"TRUEONLY", "/data/x.txt", FETCH_MODE_READ, "", "/data/x.txt", "absolute Init file"},
        {"ORDERS", "/data/x.txt", FETCH_MODE_READ, "", Path("orders_in.txt"),
         "FILENAME beats the Init file"},
        {"PAIR", "", FETCH_MODE_READ, "", Path("a.txt") + "|" + Path("b.txt"),
         "each name of a list"},
        {"BUILT", "", FETCH_MODE_WRITE, "", Path("Orders_" + Today() + ".txt"),
         "BUILD_DATE in a built name"},
        {"PLAN", "", FETCH_MODE_WRITE, "01022024", Path("Plan_01-02-2024.csv"),
         "FETCH_DATE in the DATE format, its slashes escaped"},
        {"SAVE", "", FETCH_MODE_READ, "", Path("out.txt"),
         "FETCH_ASK_FILENAME read: DEFAULT_FILENAME, no question"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.definition) + ": " + test.why);
        trv::RecordingUserPrompt prompt;
        CFetch fetch;
        ASSERT_TRUE(Consult(fetch, test.definition, test.initFile, "", test.mode, test.date));
        std::string path;
        EXPECT_TRUE(fetch.ReadFileName(path));
        EXPECT_EQ(path, test.expected);
        EXPECT_TRUE(prompt.calls.empty());
    }
}

TEST_F(FetchLocationsTest, FetchAskFileNameAsksThroughThePromptWhenWriting)
{
    trv::RecordingUserPrompt prompt;
    prompt.fileAnswers = {Path("chosen"), ""};
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "SAVE", "", "", FETCH_MODE_WRITE));
    std::string path;
    ASSERT_TRUE(fetch.ReadFileName(path));
    EXPECT_EQ(path, Path("chosen.txt")); // the default extension is added
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].kind, "file");

    fetch.m_strFile = "FETCH_ASK_FILENAME"; // cancelled: the name cannot be resolved
    EXPECT_FALSE(fetch.ReadFileName(path));

    CFetch noDefault; // read mode without DEFAULT_FILENAME keeps the word for the open
    ASSERT_TRUE(Consult(noDefault, "SAVE"));
    noDefault.m_mapFormat.erase("DEFAULT_FILENAME");
    ASSERT_TRUE(noDefault.ReadFileName(path));
    EXPECT_EQ(path, "FETCH_ASK_FILENAME");
}

TEST_F(FetchLocationsTest, SpecialLocations)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "TRUEONLY"));
    std::string path;

    fetch.m_mapFormat["FILENAME"] = "FILE(CUSTOM_DATAINI)";
    ASSERT_TRUE(fetch.ReadFileName(path));
    EXPECT_EQ(path, Path("ACME/Configuration/CustomData.ini"));

    fetch.m_mapFormat["FILENAME"] = "final.txt";
    fetch.m_mapFormat["URL_GET"] = "http://127.0.0.1:1/none";
    fetch.m_mapFormat["TMP_FILENAME"] = "work.tmp";
    fetch.m_mapFormat["DESTINATION_FOLDER"] = "done";
    ASSERT_TRUE(fetch.ReadFileName(path)); // FILENAME wins over URL_GET: nothing downloaded
    EXPECT_EQ(path, Path("work.tmp"));
    EXPECT_EQ(fetch.m_strFile, Path("final.txt"));
    EXPECT_EQ(fetch.m_strTmpFileName, Path("work.tmp"));
    EXPECT_EQ(fetch.m_strDestinationFolder, "done");

    fetch.m_mapFormat.clear(); // no location at all
    fetch.m_strFile.clear();
    EXPECT_FALSE(fetch.ReadFileName(path));
    EXPECT_FALSE(fetch.m_strLastError.empty());
    fetch.m_nKind = FETCH_KIND_SQL; // database kinds need no file
    EXPECT_TRUE(fetch.ReadFileName(path));
    fetch.m_nKind = FETCH_KIND_INI; // an INI source may live in the definitions file
    ASSERT_TRUE(fetch.ReadFileName(path));
    EXPECT_EQ(path, Path("Data.ini"));
}

TEST_F(FetchLocationsTest, SanitizeTheNamePartOnly)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    const std::pair<const char*, const char*> cases[] = {
        {"/data/in/a?b*c.txt", "/data/in/a-b-c.txt"},
        {"C:\\data\\x/y.txt", "C:\\data\\x-y.txt"},
        {"plain.txt", "plain.txt"},
    };
    for (const auto& [raw, expected] : cases) {
        std::string path = raw;
        fetch.SanitizeFileName(path);
        EXPECT_EQ(path, expected) << raw;
    }
}

TEST_F(FetchLocationsTest, FoldersAndPatternsOfFolderSources)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    const std::pair<const char*, std::string> folders[] = {
        {"in", Path("in") + "/"},
        {"/data/in/", "/data/in/"},
        {"", ""},
    };
    for (const auto& [setting, expected] : folders) {
        fetch.m_mapFormat["FOLDER"] = setting;
        fetch.BuildFolder();
        EXPECT_EQ(fetch.m_strFolder, expected) << setting;
    }
    fetch.m_mapFormat["FOLDER"] = "FETCH_BUILD_FOLDER";
    fetch.m_mapFormat["BUILD_FOLDER_NAME"] = "/data/BUILD_DATE";
    fetch.BuildFolder();
    EXPECT_EQ(fetch.m_strFolder, "/data/" + Today() + "/");

    fetch.m_mapFormat["EXTENSION"] = "FETCH_BUILD_EXTENSION";
    fetch.m_mapFormat["BUILD_EXTENSION_NAME"] = "*_BUILD_DATE.txt";
    fetch.BuildExtension();
    EXPECT_EQ(fetch.m_strExtension, "*_" + Today() + ".txt");
}

TEST_F(FetchLocationsTest, WorkingFileOfADownload)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    EXPECT_EQ(fetch.GetDownloadFileName(), GetTempFolder(1) + "ROUTES.tmp");
    fetch.m_mapFormat["CARPETA_TEMPORAL"] = "/srv/shared/";
    EXPECT_EQ(fetch.GetDownloadFileName(),
              "/srv/shared/ROUTES." + std::to_string(getpid()) + ".tmp");
}

TEST_F(FetchLocationsTest, CopiesAndTemplates)
{
    std::string content;
    for (int index = 0; index < 70000; ++index)
        content += static_cast<char>(index * 7);
    std::ofstream(Path("template.xls"), std::ios::binary) << content;

    EXPECT_EQ(CopyFileContents(Path("template.xls"), Path("copy.xls")), 0);
    EXPECT_EQ(ReadFileBytes(Path("copy.xls")), content);
    EXPECT_EQ(CopyFileContents(Path("missing.xls"), Path("copy2.xls")), -1);
    EXPECT_EQ(CopyFileContents(Path("template.xls"), Path("no/such/folder/x.xls")), -2);

    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "SHEET", "", "", FETCH_MODE_WRITE));
    EXPECT_EQ(fetch.CopyTemplateFile("missing.xls", Path("out.xls")), -3);
    fetch.m_mapFormat["PLANTILLA_EXCEL"] = "template.xls";
    std::string path;
    ASSERT_TRUE(fetch.ReadFileName(path)); // the template goes onto the resolved target
    EXPECT_EQ(path, Path("sheet.xls"));
    EXPECT_EQ(ReadFileBytes(Path("sheet.xls")), content);
}

} // namespace
