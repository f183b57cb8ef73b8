#include "FetchTestProgram.h"
#include "KLV/Fetch.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

namespace {

using FetchFormatsTest = FetchTestProgram;

TEST_F(FetchFormatsTest, FormatsFromTheDefinitionAndIncludeFiles)
{
    struct Case
    {
        const char* definition;
        const char* boolTrue;
        const char* boolFalse;
        const char* time;
        const char* date;
        const char* coordinates;
        int decimals;
        const char* decimalSeparator;
        const char* why;
    };
    const Case cases[] = {
        {"ORDERS", "S", "N", "HH:MM", "DD/MM/YYYY", "DD.DDDDDD", 1, ".",
         "own BOOL \"s,n\" upper-cased; DATE only as DEFAULT; NAME_FORMAT DECIMALS"},
        {"TRUEONLY", "YES", "", "HH:MM", "DD/MM/YYYY", "DD.DDDDDD", 3, ".",
         "a BOOL entry without comma is all true text"},
        {"FLEET", "S", "N", "HH.MM", "DD-MM-YYYY", "", 2, ".",
         "the INCLUDE file, processed last, wins: its DATE and even its BOOL DEFAULT"},
        {"DEPOTS", "S", "N", "HH.MM", "YYYY-MM-DD", "", 2, ".", "the INCLUDE file alone"},
        {"SHEET", "1", "0", "HH:MM", "DD/MM/YYYY", "DD.DDDDDD", 3, ",",
         "a spreadsheet turns the decimal point into a comma"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.definition) + ": " + test.why);
        CFetch fetch;
        ASSERT_TRUE(Consult(fetch, test.definition));
        EXPECT_EQ(fetch.m_strBoolTrue, test.boolTrue);
        EXPECT_EQ(fetch.m_strBoolFalse, test.boolFalse);
        EXPECT_EQ(fetch.m_strTimeFormat, test.time);
        EXPECT_EQ(fetch.m_strDateFormat, test.date);
        EXPECT_EQ(fetch.m_strCoordinatesFormat, test.coordinates);
        EXPECT_EQ(fetch.m_nDecimals, test.decimals);
        EXPECT_EQ(fetch.m_strDecimalSeparator, test.decimalSeparator);
        EXPECT_EQ(fetch.m_strFileNameEscape, "-");
    }
}

TEST_F(FetchFormatsTest, MissingTimeFormatFailsInit)
{
    CFetch fetch;
    EXPECT_FALSE(Consult(fetch, "NOTIME", "", Path("NoTime.ini")));
    EXPECT_TRUE(Traced("GetTimeFormat, "));
    EXPECT_FALSE(Traced("GetBoolsFormat, "));
    EXPECT_FALSE(Traced("GetDateFormat, "));
    EXPECT_NE(fetch.m_strLastError.find("[TIME]"), std::string::npos) << fetch.m_strLastError;
}

TEST_F(FetchFormatsTest, LinkedDefinitionTakesItsParentsFormats)
{
    CFetch parent;
    ASSERT_TRUE(Consult(parent, "ORDERS"));
    CFetch child(&parent);
    ASSERT_TRUE(Consult(child, "DEPOTS")); // the INCLUDE file's own DEFAULT entries lose
    EXPECT_EQ(child.m_strBoolTrue, "S");
    EXPECT_EQ(child.m_strTimeFormat, "HH:MM");
    EXPECT_EQ(child.m_strDateFormat, "DD/MM/YYYY");
    EXPECT_EQ(child.m_strCoordinatesFormat, "DD.DDDDDD");
    EXPECT_EQ(child.m_nDecimals, 1);
}

TEST_F(FetchFormatsTest, FieldSeparators)
{
    struct Case
    {
        int kind;
        const char* setting;
        int result;
        const char* separator;
    };
    const Case cases[] = {
        {FETCH_KIND_ASCII, "TAB", 1, "\t"}, {FETCH_KIND_ASCII, "FIXED_SEPARATOR", 1, ""},
        {FETCH_KIND_ASCII, ";;", 1, ";;"},  {FETCH_KIND_XML, "", 1, ""},
        {FETCH_KIND_JSON, "", 1, ""},       {FETCH_KIND_ASCII, "", 0, ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string("SEPARATOR=") + test.setting);
        trv::RecordingUserPrompt prompt;
        CFetch fetch;
        ASSERT_TRUE(Consult(fetch, "ROUTES"));
        fetch.m_nKind = test.kind;
        fetch.m_mapFormat["SEPARATOR"] = test.setting;
        EXPECT_EQ(fetch.ReadFieldsSeparator(), test.result);
        EXPECT_EQ(fetch.m_strSeparator, test.separator);
        EXPECT_EQ(prompt.calls.size(), test.result ? 0u : 1u);
        if (!test.result) {
            EXPECT_EQ(prompt.calls[0].key, "FormatNotFound");
            EXPECT_TRUE(Traced("ReadFieldsSeparator, "));
        }
    }
}

TEST_F(FetchFormatsTest, ListSeparatorsAndListsInOneLine)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    const std::pair<const char*, const char*> separators[] = {{"", "#,#"}, {"|", "|"}};
    for (const auto& [setting, separator] : separators) {
        fetch.m_mapFormat["LIST_SEP"] = setting;
        fetch.ReadListSeparator();
        EXPECT_EQ(fetch.m_strListSeparator, separator);
    }
    fetch.m_mapFormat["LISTS_IN_SAMELINE"] = "TIMES,,LOADS,";
    fetch.m_mapFormat["STRINGSEPARATOR"] = "'";
    fetch.ReadListsInSameLine();
    fetch.ReadStringSeparator();
    EXPECT_EQ(Items(fetch.m_arrListsInSameLine), (std::vector<std::string>{"TIMES", "", "LOADS"}));
    EXPECT_EQ(fetch.m_strStringDelimiter, "'");
}

TEST_F(FetchFormatsTest, LineTypesOfMultiLineRecords)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    fetch.m_mapFormat["TIPO_LINEA"] = "1,2";
    fetch.m_mapFormat["LINEA1"] = "H";
    fetch.m_mapFormat["LINEA2"] = "D";
    fetch.m_mapFormat["LINEA4"] = "X"; // after the first missing number: not read
    fetch.ReadLineTypes();
    fetch.ReadLineTypes(); // read again for the next file of a folder: nothing doubles
    EXPECT_EQ(fetch.m_strLineTypeField, "1");
    EXPECT_EQ(fetch.m_nLineTypeCount, 2);
    EXPECT_EQ(Items(fetch.m_arrLineTypes), (std::vector<std::string>{"H", "D"}));
    EXPECT_EQ(fetch.m_bNoFieldCache, 1);
    const std::pair<const char*, int> perProduct[] = {{"1", 1},  {"Si", 1}, {"s", 1},
                                                      {"No", 0}, {"Y", 0},  {"", 0}};
    for (const auto& [setting, expected] : perProduct) {
        fetch.m_mapFormat["LINEAS_POR_PRODUCTO"] = setting;
        fetch.ReadLineTypes();
        EXPECT_EQ(fetch.m_bLinesPerProduct, expected) << setting;
    }
}

// Only a yes deletes: "0" read as on would empty the whole target table.
TEST_F(FetchFormatsTest, DeleteSettingsAreOnOnlyForYes)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    const std::pair<const char*, int> cases[] = {
        {"YES", 1}, {"y", 1},  {"S", 1},     {"si", 1}, {"1", 1},  {"TRUE", 1}, {" true ", 1},
        {"0", 0},   {"NO", 0}, {"FALSE", 0}, {"", 0},   {"No", 0}, {"2", 0},    {"Yesterday", 0},
    };
    for (const auto& [setting, expected] : cases) {
        fetch.m_mapFormat["DELETE_ALL_DATA_AT_START"] = setting;
        fetch.m_mapFormat["DELETE_ALWAYS"] = setting;
        fetch.m_mapFormat["DELETE"] = "CODE,DAY";
        fetch.m_mapFormat["DELETE_SENTENCE"] = "DELETE FROM T";
        std::string fields;
        fetch.ReadDelete(fields);
        EXPECT_EQ(fetch.m_bDeleteAllAtStart, expected) << setting;
        EXPECT_EQ(fetch.m_bDeleteAlways, expected) << setting;
        EXPECT_EQ(fields, "CODE,DAY");
        EXPECT_EQ(fetch.m_strDeleteSentence, "DELETE FROM T");
    }
    EXPECT_TRUE(Traced("Delete ROUTES"));
    EXPECT_TRUE(Traced("Delete sentence: DELETE FROM T"));
}

TEST_F(FetchFormatsTest, FileNameEscapeFromTheDefinition)
{
    CFetch fetch;
    ASSERT_TRUE(Consult(fetch, "ROUTES"));
    EXPECT_EQ(fetch.m_strFileNameEscape, "-");
    fetch.m_mapFormat["ESC_CHAR_FILENAME"] = "_";
    fetch.ReadFileNameEscape(fetch.m_strDefinitionFile);
    EXPECT_EQ(fetch.m_strFileNameEscape, "_");
}

TEST_F(FetchFormatsTest, NormalisedDatesInTheDateFormat)
{
    CFetch fetch;
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"DD/MM/YYYY", "01022024", "01/02/2024"},
        {"YYYYMMDD", "01022024", "20240201"},
        {"DD-MM-YY", "01022024", "01-02-24"},
        {"DD/MM/YYYY", "01022024 10:30", "01/02/2024 10:30"},
    };
    for (const auto& [format, date, expected] : cases) {
        fetch.m_strDateFormat = format;
        EXPECT_EQ(fetch.ToDateFormat(date), expected) << format << " " << date;
    }
}

} // namespace
