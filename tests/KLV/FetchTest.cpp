#include "KLV/Fetch.h"

#include "FetchTestProgram.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

namespace {

using FetchTest = FetchTestProgram;

// Which file a value of a definition comes from, over Data.ini, the company's CustomData.ini,
// its INCLUDE and OVERWRITE files and an explicit definitions file with its own OVERWRITE.
TEST_F(FetchTest, PrecedenceOfDefinitionFiles)
{
    enum Where
    {
        Setting,
        Field,
        DefinitionFile
    };
    struct Case
    {
        const char* definition;
        const char* explicitFile;
        Where where;
        const char* key;
        const char* expected;
        const char* why;
    };
    const std::string company = "ACME/Configuration/";
    const Case cases[] = {
        {"FLEET", "", DefinitionFile, "", "ACME/Configuration/CustomData.ini",
         "the company's NAME_FORMAT makes it the definitions file"},
        {"FLEET", "", Setting, "TYPE", "ASCII", "company file"},
        {"FLEET", "", Setting, "SEPARATOR", "|", "company beats INCLUDE and Data.ini"},
        {"FLEET", "", Setting, "HEADERSIZE", "2", "INCLUDE beats Data.ini"},
        {"FLEET", "", Setting, "ASCIIFORMAT", "UTF8", "a key only in Data.ini still applies"},
        {"FLEET", "", Setting, "FILENAME", "fleet_over.txt", "OVERWRITE beats every file"},
        {"FLEET", "", Field, "PLATE", "5", "company field line"},
        {"FLEET", "", Field, "DRIVER", "2", "Data.ini field line"},
        {"ROUTES", "", DefinitionFile, "", "Data.ini",
         "company holds only field lines: Data.ini stays the definitions file"},
        {"ROUTES", "", Field, "NAME", "7", "company line beats INCLUDE and Data.ini"},
        {"ROUTES", "", Field, "DISTANCE", "9", "INCLUDE line beats Data.ini"},
        {"ROUTES", "", Field, "CODE", "1", "Data.ini line"},
        {"ROUTES", "", Setting, "FILENAME", "ACME_routes.txt",
         "the company's constant beats Data.ini's"},
        {"DEPOTS", "", DefinitionFile, "", "ACME/Configuration/Include.ini",
         "a definition only in the INCLUDE file"},
        {"DEPOTS", "", Field, "CODE", "1", "INCLUDE file"},
        {"ORDERS", "", Setting, "FILENAME", "orders_in.txt", "constant replaced"},
        {"ORDERS", "", Setting, "ARCHIVE", "#NOSUCH#.txt", "missing constant stays"},
        {"ORDERS", "", Field, "CODE", "1", "NAME line beats INCLUDE_SECTION line"},
        {"ORDERS", "", Field, "CREATED", "FETCH_DATE", "INCLUDE_SECTION line"},
        {"GRAPH", "Graph.ini", DefinitionFile, "", "Graph.ini", "explicit file"},
        {"GRAPH", "Graph.ini", Setting, "WHERE", "B=2", "the explicit file's OVERWRITE"},
        {"GRAPH", "Graph.ini", Field, "NODE", "1", "explicit file"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.definition) + " " + test.key + ": " + test.why);
        CFetch fetch;
        const std::string explicitFile = *test.explicitFile ? Path(test.explicitFile) : "";
        ASSERT_TRUE(Consult(fetch, test.definition, "", explicitFile));
        switch (test.where) {
        case Setting:
            EXPECT_EQ(fetch.GetSetting(test.key), test.expected);
            break;
        case Field:
            EXPECT_EQ(fetch.m_mapFields[test.key], test.expected);
            break;
        case DefinitionFile:
            EXPECT_EQ(fetch.m_strDefinitionFile, Path(test.expected));
            break;
        }
    }
    EXPECT_TRUE(Traced("Constante_Fetch_No_Encontrada [NOSUCH]"));
}

TEST_F(FetchTest, DefinitionsThatExistNowhereAreNotDefined)
{
    CFetch fetch;
    EXPECT_FALSE(Consult(fetch, "NOWHERE"));
    EXPECT_FALSE(fetch.IsDefined("NOWHERE"));
    EXPECT_TRUE(fetch.IsDefined("FLEET"));
    EXPECT_TRUE(fetch.IsDefined("DEPOTS"));
    EXPECT_TRUE(fetch.IsDefined("ROUTES"));
}

// One object initialised again for another definition (as a LIST reader does) finds a
// definition of Data.ini after one of the company file, and keeps no requirements of the
// definition before.
TEST_F(FetchTest, InitAgainStartsFromTheStandardFiles)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "FLEET"));
    ASSERT_TRUE(Consult(fetch, "ORDERS"));
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    EXPECT_EQ(fetch.m_strDefinitionFile, Path("Data.ini"));
    EXPECT_TRUE(fetch.m_arrRequirements.GetSize() == 0);
    ASSERT_TRUE(Consult(fetch, "GRAPH", "", Path("Graph.ini")));
    ASSERT_TRUE(Consult(fetch, "ORDERS"));
    EXPECT_EQ(Items(fetch.m_arrRequirements), (std::vector<std::string>{"a", "", "b"}));
}

TEST_F(FetchTest, ReadInitOfAWriteOnlyDefinitionFailsWithoutAWindow)
{
    trv::RecordingUserPrompt prompt;
    CFetch reader;
    EXPECT_FALSE(reader.Init("EXPORT"));
    EXPECT_EQ(reader.m_nKind, FETCH_KIND_UNKNOWN);
    CFetch writer;
    EXPECT_TRUE(writer.Init("EXPORT", "", "", FETCH_MODE_WRITE));
    EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(FetchTest, UnknownOrMissingTypeFails)
{
    trv::RecordingUserPrompt prompt;
    CFetch unknown;
    EXPECT_FALSE(Consult(unknown, "BADTYPE")); // "ascii": the words are case-sensitive
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].kind, "message");
    EXPECT_EQ(prompt.calls[0].key, "DataTypeNotFound");
    EXPECT_EQ(prompt.calls[0].text, unknown.m_strLastError);
    EXPECT_FALSE(unknown.m_strLastError.empty());

    CFetch missing; // with an explicit file the definition is taken without checking TYPE
    EXPECT_FALSE(Consult(missing, "NOTYPE", "", Path("Graph.ini")));
    EXPECT_EQ(prompt.calls.size(), 1u); // no message for a missing TYPE
    EXPECT_FALSE(missing.m_strLastError.empty());
    EXPECT_TRUE(Traced("ReadType, "));
    EXPECT_TRUE(Traced("No Read Type"));
}

TEST_F(FetchTest, KindsOfTypeWords)
{
    const std::pair<const char*, int> cases[] = {
        {"ASCII", FETCH_KIND_ASCII},
        {"DATABASE", FETCH_KIND_DATABASE},
        {"FIXED", FETCH_KIND_FIXED},
        {"LIST", FETCH_KIND_LIST},
        {"INI", FETCH_KIND_INI},
        {"INI_OVERWRITE", FETCH_KIND_INI},
        {"SQL", FETCH_KIND_SQL},
        {"EXCEL", FETCH_KIND_SQL},
        {"INFORMIX", FETCH_KIND_SQL},
        {"FOLDER", FETCH_KIND_FOLDER},
        {"FETCH_CALCULATED", FETCH_KIND_CALCULATED},
        {"XML", FETCH_KIND_XML},
        {"JSON", FETCH_KIND_JSON},
        {"Json", FETCH_KIND_UNKNOWN},
        {"", FETCH_KIND_UNKNOWN},
    };
    for (const auto& [word, kind] : cases)
        EXPECT_EQ(CFetch::KindOfType(word), kind) << word;
}

TEST_F(FetchTest, WhereAndWriteIfJoinTheExtraConditions)
{
    struct Case
    {
        const char* definition;
        const char* extra;
        const char* where;
    };
    const Case cases[] = {
        {"ORDERS", "QTY>2", "STATE=1  AND  QTY>2"},
        {"ORDERS", "", "STATE=1"},
        {"ROUTES", "QTY>2", "QTY>2"},
        {"ROUTES", "", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.definition) + " + " + test.extra);
        CFetch fetch;
        ASSERT_TRUE(fetch.Init(test.definition, "", "", FETCH_MODE_CONSULT, "", test.extra,
                               test.extra, 1, nullptr, "", "", nullptr, 1, 0));
        EXPECT_EQ(fetch.m_strWhere, test.where);
        EXPECT_EQ(fetch.m_strOwnWhere, fetch.GetSetting("WHERE"));
    }
    CFetch orders;
    ASSERT_TRUE(orders.Init("ORDERS", "", "", FETCH_MODE_CONSULT, "", "", "DONE=1", 1, nullptr, "",
                            "", nullptr, 1, 0));
    EXPECT_EQ(orders.m_strWriteIf, "QTY>0  AND  DONE=1");
}

class ConditionBuilder : public CFetchConditionBuilder
{
  public:
    void SetInputs(const std::string& name, const std::string& text,
                   const std::string& qualifier) override
    {
        inputs = name + "|" + text + "|" + qualifier;
    }
    bool DoModal() override { return true; }
    std::string GetCondition() const override { return "ZONE=3"; }
    std::string inputs;
};

TEST_F(FetchTest, BuildWriteIfCombinesTheBuiltCondition)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ORDERS"));
    ConditionBuilder builder;
    std::string writeIf = "QTY>0";
    fetch.BuildWriteIf(writeIf, &builder); // no BUILD_WRITE_IF: no effect
    EXPECT_EQ(writeIf, "QTY>0");
    fetch.m_mapFormat["BUILD_WRITE_IF"] = "ZONES,North,South";
    fetch.m_mapFormat["STRINGSEPARATOR"] = "\"";
    fetch.BuildWriteIf(writeIf, &builder);
    EXPECT_EQ(builder.inputs, "ZONES|North,South|\"");
    EXPECT_EQ(writeIf, "( ZONE=3 ) AND ( QTY>0 )");
    std::string empty;
    fetch.BuildWriteIf(empty, &builder);
    EXPECT_EQ(empty, "ZONE=3");
}

TEST_F(FetchTest, CommaListsKeepTheirEmptyItems)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ORDERS"));
    EXPECT_EQ(Items(fetch.m_arrRequirements), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Items(fetch.m_arrSources), (std::vector<std::string>{"ERP", "", "WEB"}));
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}}, {",", {""}}, {",a", {"", "a"}}, {"a,b,", {"a", "b"}}, {"a,,", {"a", ""}}};
    for (const auto& [text, items] : cases) {
        FetchTextArray array;
        CFetch::AppendCommaItems(text, array);
        EXPECT_EQ(Items(array), items) << text;
    }
}

TEST_F(FetchTest, DescriptionIsReadWhenTheSourceIsOpened)
{
    CFetch opened;
    ASSERT_TRUE(opened.Init("ORDERS"));
    EXPECT_EQ(opened.m_strErrorText, "OrdersNotRead");
    EXPECT_EQ(opened.m_strDescription, "Orders of the day, with commas");
    EXPECT_EQ(opened.m_bInitialised, 1);

    CFetch notOpened;
    ASSERT_TRUE(Consult(notOpened, "ORDERS"));
    EXPECT_EQ(notOpened.m_strErrorText, "");
}

TEST_F(FetchTest, FetchAskAnswerComesFromTheQuestionInterface)
{
    {
        trv::RecordingUserPrompt prompt;
        prompt.textAnswers = {"North"};
        CFetch fetch;
        ASSERT_TRUE(Consult(fetch, "ASK"));
        EXPECT_EQ(fetch.m_strAskQuestion, "Which depot?");
        EXPECT_EQ(fetch.m_strAskAnswer, "North");
        ASSERT_EQ(prompt.calls.size(), 1u);
        EXPECT_EQ(prompt.calls[0].kind, "text");
        EXPECT_EQ(prompt.calls[0].key, "FetchAskValue");
        EXPECT_EQ(prompt.calls[0].text, "Which depot?");
    }
    CFetch headless; // the default prompt answers with the proposed (empty) text
    ASSERT_TRUE(Consult(headless, "ASK"));
    EXPECT_EQ(headless.m_strAskAnswer, "");
}

TEST_F(FetchTest, DisabledDefinitionSucceedsWithoutReading)
{
    CFetch fetch(nullptr, 1);
    EXPECT_TRUE(fetch.Init("NOWHERE", "01022024"));
    EXPECT_EQ(fetch.m_strDateArgument, "01022024");
    EXPECT_TRUE(fetch.m_mapFormat.empty());
}

TEST_F(FetchTest, MaximumCharactersOfTheDefinitionsAndCompanyFiles)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ORDERS"));
    EXPECT_EQ(fetch.GetMaxChars("NAME", 0), 40); // the company file replaces Data.ini's 30
    EXPECT_EQ(fetch.GetMaxChars("CODE", 1), 10);
    EXPECT_EQ(fetch.GetMaxChars("OTHER", 1), 50);
    EXPECT_EQ(fetch.GetMaxChars("OTHER", 0), -1);
}

TEST_F(FetchTest, RawSectionsForTheVariableLayer)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ORDERS"));
    EXPECT_EQ(Items(fetch.m_bufVariables),
              (std::vector<std::string>{"COMMON=1", "ORDER_CODE=CODE"}));
    EXPECT_EQ(Items(fetch.m_bufOrderLineVariables), (std::vector<std::string>{"LINE_QTY=QTY"}));
    fetch.LoadRawSection("ROUTES"); // INCLUDE_SECTION, then include, definitions, company
    EXPECT_EQ(Items(fetch.m_bufRawSection),
              (std::vector<std::string>{"CODE=99", "CREATED=FETCH_DATE", "NAME=8", "DISTANCE=9",
                                        "CODE=1", "NAME=2", "DISTANCE=3", "NAME=7"}));
}

TEST_F(FetchTest, DataIniFileNamedByFileNames)
{
    const std::string data = TRV_TEST_DATA_DIR "/fetch/filenames/";
    const std::pair<std::string, std::string> cases[] = {
        {Path("FileNames.ini"), Path("Data.ini")},
        {data + "Missing.ini", Path("Data.ini")},
        {data + "Empty.ini", Path("Data.ini")},
        {data + "Backslash.ini", Path("Definitions/Standard.ini")},
    };
    for (const auto& [fileNames, expected] : cases) {
        CFetch::SetDataIniFile(fileNames);
        EXPECT_EQ(CFetch::GetDataIniFile(), expected) << fileNames;
    }
}

TEST_F(FetchTest, CompanyOverrideFileOfTheAlias)
{
    EXPECT_EQ(CFetch::GetCustomDataIniPath(), Path("ACME/Configuration/CustomData.ini"));
    trv::SetCompanyAlias("BETA");
    EXPECT_EQ(CFetch::GetCustomDataIniPath(), Path("BETA/CustomData.ini"));
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "FLEET"));
    EXPECT_EQ(fetch.m_strType, "FETCH_CALCULATED");
}

TEST_F(FetchTest, CloseEmptiesTheDefinitionAndInitWorksAgain)
{
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("ORDERS"));
    fetch.Close();
    EXPECT_TRUE(fetch.m_mapFormat.empty());
    EXPECT_TRUE(fetch.m_mapFields.empty());
    fetch.Close();
    ASSERT_TRUE(fetch.Init("ORDERS"));
    EXPECT_EQ(fetch.m_mapFields["CODE"], "1");
}

} // namespace
