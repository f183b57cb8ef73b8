#include "FetchTestProgram.h"
#include "KLV/Fetch.h"
#include "KLV/FetchExpression.h"
#include "KLV/Translate.h"
#include "platform/OleDate.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

const std::string kFieldsIni = TRV_TEST_DATA_DIR "/fetch/fields/Fields.ini";

// ---- Classification ------------------------------------------------------------------------

TEST(FetchExpressionTest, ClassifiesLinesByKeywordThenShape)
{
    const FetchPlaceRules fixedText{FETCH_KIND_ASCII, false};
    const FetchPlaceRules separatedText{FETCH_KIND_ASCII, true};
    const FetchPlaceRules ini{FETCH_KIND_INI, true};
    const FetchPlaceRules database{FETCH_KIND_DATABASE, false};
    struct Case
    {
        const char* expression;
        FetchPlaceRules rules;
        int kind;
        int ok;
        const char* argument;
    };
    const Case cases[] = {
        {"", fixedText, LINE_UNDEFINED, 1, ""},
        {"VALUE=", fixedText, LINE_VALUE, 1, ""},
        {"VALUE=A,B", fixedText, LINE_VALUE, 1, "A,B"},
        {" VALUE=1", fixedText, LINE_PLAIN, 1, " VALUE=1"},
        {"+\"ABC\"+CODE", fixedText, LINE_CONCAT, 1, "\"ABC\"+CODE"},
        {"SUMINT(A,B)", fixedText, LINE_SUMINT, 1, "A,B"},
        {"SUMINT(A,B", fixedText, LINE_SUMINT, 0, "A,B"},
        {"SUMINT(,B)", fixedText, LINE_SUMINT, 0, ",B"},
        {"SUMINT(A,)", fixedText, LINE_SUMINT, 0, "A,"},
        {"sumint(A,B)", separatedText, LINE_PLAIN, 1, "sumint(A,B)"},
        {"MID(F,1)", fixedText, LINE_MID, 0, "F,1"},
        {"MID(F,1,2)", fixedText, LINE_MID, 1, "F,1,2"},
        {"SUBST(F,A)", fixedText, LINE_SUBST, 0, "F,A"},
        {"SUBST(F,A,B)", fixedText, LINE_SUBST, 1, "F,A,B"},
        {"SUMTIMEMINUTES(T,5)", fixedText, LINE_SUMTIMEMINUTES, 1, "T,5"},
        {"NUMLINEA and more", fixedText, LINE_NUMLINEA, 1, " and more"},
        {"GET_DAY(D)", fixedText, LINE_GET_DAY, 1, "D"},
        {"GET_DAY_FROM_ZERO(D)", fixedText, LINE_GET_DAY_FROM_ZERO, 1, "D"},
        {"IF_THEN(A=1,=x)", fixedText, LINE_IF_THEN, 0, "A=1,=x"},
        {"RGB(1,2,3)", fixedText, LINE_RGB, 1, "1,2,3"},
        {"(a),(b),c,d", fixedText, LINE_LINKED, 1, "(a),(b),c,d"},
        {"(a),(b),c", fixedText, LINE_LINKED, 0, "(a),(b),c"},
        {"(a)(b),c,d", fixedText, LINE_LINKED, 0, "(a)(b),c,d"},
        {"5,10", fixedText, LINE_POSITION, 1, "5,10"},
        {"5,010,3,DEFAULT=VALUE=x", fixedText, LINE_POSITION, 1, "5,010,3,DEFAULT=VALUE=x"},
        {"0,10", fixedText, LINE_PLAIN, 1, "0,10"},
        {"A,10", fixedText, LINE_PLAIN, 1, "A,10"},
        {"5,", fixedText, LINE_PLAIN, 1, "5,"},
        {"3", separatedText, LINE_POSITION, 1, "3"},
        {"3,DEFAULT=FIELD", separatedText, LINE_POSITION, 1, "3,DEFAULT=FIELD"},
        {"0", separatedText, LINE_PLAIN, 1, "0"},
        {"0", ini, LINE_POSITION, 1, "0"},
        {"-1", ini, LINE_PLAIN, 1, "-1"},
        {"ORDER_DATE", database, LINE_POSITION, 1, "ORDER_DATE"},
        {"[]", database, LINE_PLAIN, 1, "[]"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.expression);
        std::string argument;
        int ok = -1;
        EXPECT_EQ(ClassifyExpression(test.expression, test.rules, argument, ok), test.kind);
        EXPECT_EQ(ok, test.ok);
        EXPECT_EQ(argument, test.argument);
    }
}

// ---- Field sources -------------------------------------------------------------------------

TEST(FetchSourcesTest, PlacesByKind)
{
    struct Case
    {
        int kind;
        const char* separator;
        const char* source;
        int result;
        int start;
        int length;
        int third;
        char pad;
        const char* column;
        const char* rest;
    };
    const Case cases[] = {
        {FETCH_KIND_ASCII, "", "5,010", 1, 5, 10, -1, '0', "", ""},
        {FETCH_KIND_ASCII, "", "5, 10", 1, 5, 10, -1, ' ', "", ""},
        {FETCH_KIND_ASCII, "", "5,10", 1, 5, 10, -1, '#', "", ""},
        {FETCH_KIND_ASCII, "", "5,0", 1, 5, 0, -1, '#', "", ""},
        {FETCH_KIND_ASCII, "", "5,10,3", 1, 5, 10, 3, '#', "", ""},
        {FETCH_KIND_ASCII, "", "5,10,DEFAULT=VALUE=x", 1, 5, 10, -1, '#', "", "DEFAULT=VALUE=x"},
        {FETCH_KIND_ASCII, "", "5", 0, 5, -1, -1, '#', "", ""},
        {FETCH_KIND_ASCII, ";", "3,DEFAULT=OTHER", 1, 3, -1, -1, '#', "", "DEFAULT=OTHER"},
        {FETCH_KIND_ASCII, ";", "", 0, -1, -1, -1, '#', "", ""},
        {FETCH_KIND_INI, "|", "2", 1, 2, -1, -1, '#', "", ""},
        {FETCH_KIND_DATABASE, "", "[Order Date],DEFAULT=VALUE=0", 1, -1, -1, -1, '#', "Order Date",
         "DEFAULT=VALUE=0"},
        {FETCH_KIND_DATABASE, "", "[]", 0, -1, -1, -1, '#', "", ""},
        {FETCH_KIND_CALCULATED, "", "NAME", 1, -1, -1, -1, '#', "NAME", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.source);
        CFetch fetch;
        fetch.m_nKind = test.kind;
        fetch.m_strSeparator = test.separator;
        fetch.m_chPad = '#';
        std::string source = test.source;
        std::string linking;
        std::string linked;
        EXPECT_EQ(fetch.ProcessINILine(source, linking, linked), test.result);
        EXPECT_EQ(fetch.m_nPosition, test.start);
        EXPECT_EQ(fetch.m_nLength, test.length);
        EXPECT_EQ(fetch.m_nListWidth, test.third);
        EXPECT_EQ(fetch.m_chPad, test.pad);
        EXPECT_EQ(fetch.m_strColumn, test.column);
        EXPECT_EQ(source, test.rest);
    }
}

TEST(FetchSourcesTest, DocumentPathsTakeThePrefixUnlessRooted)
{
    CFetch fetch;
    fetch.m_nKind = FETCH_KIND_XML;
    fetch.m_nMode = FETCH_MODE_READ;
    fetch.m_strSeparator = "#,#";
    fetch.m_mapFormat["PREFIXXML"] = "Doc";
    fetch.m_mapColumns = {{"Root\\Item", 1}, {"Doc.Item", 4}};
    struct Case
    {
        const char* path;
        int position;
    };
    const Case cases[] = {{"\\Root\\Item", 2}, {"Item", 5}, {"Missing", 0}};
    for (const Case& test : cases) {
        std::string source = test.path;
        std::string linking;
        std::string linked;
        EXPECT_TRUE(fetch.ProcessINILine(source, linking, linked)) << test.path;
        EXPECT_EQ(fetch.m_nPosition, test.position) << test.path;
    }
}

TEST(FetchSourcesTest, LinksSplitIntoTheirListsOrReportTheWholeSourcePart)
{
    trv::RecordingUserPrompt prompt;
    SetTranslation("LinkingFieldsFormatNotCorrect", "Link %s in %s");
    CFetch fetch;
    fetch.m_nKind = FETCH_KIND_ASCII;
    fetch.m_strDefinitionFile = "Data.ini";

    std::string source = "(A,B),(C,D),CHILD,X,LIST";
    std::string linking;
    std::string linked;
    EXPECT_TRUE(fetch.ProcessINILine(source, linking, linked));
    EXPECT_EQ(linking, "A,B");
    EXPECT_EQ(linked, "C,D");
    EXPECT_EQ(source, "CHILD,X,LIST");
    EXPECT_TRUE(prompt.calls.empty());

    source = "(A)(B),CHILD,X";
    EXPECT_FALSE(fetch.ProcessINILine(source, linking, linked));
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "LinkingFieldsFormatNotCorrect");
    EXPECT_EQ(prompt.calls[0].text, "Link (A)(B),CHILD,X in Data.ini");
    trv::ResetDictionary();
}

TEST(FetchRawValueTest, ValueAtThePlaceOfTheCurrentRecord)
{
    struct Case
    {
        int kind;
        const char* separator;
        const char* line;
        int position;
        int length;
        const char* value;
    };
    const Case cases[] = {
        {FETCH_KIND_ASCII, "", "  ABC  DEF", 3, 5, "ABC"},
        {FETCH_KIND_ASCII, "",
         "\xC3\x91"
         "and\xC3\xBA  X",
         1, 5,
         "\xC3\x91"
         "and\xC3\xBA"},
        {FETCH_KIND_ASCII, "",
         "\xC3\x91"
         "and\xC3\xBA  X",
         8, 1, "X"},
        {FETCH_KIND_ASCII, "", "short", 9, 3, ""},
        {FETCH_KIND_ASCII, "", "short", -1, 3, ""},
        {FETCH_KIND_ASCII, ";", "\"a;b\"; c ", 1, -1, "a;b"},
        {FETCH_KIND_ASCII, ";", "\"a;b\"; c ", 2, -1, " c "},
        {FETCH_KIND_ASCII, ";", "\"a;b\"; c ", 3, -1, ""},
        {FETCH_KIND_INI, "|", "KEY=a|b|c", 0, -1, "KEY"},
        {FETCH_KIND_INI, "|", "KEY=a|b|c", 2, -1, "b"},
        {FETCH_KIND_INI, "|", "KEY=a|b|c", 4, -1, ""},
        {FETCH_KIND_CALCULATED, "", "anything", 1, 1, ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.line) + " @" + std::to_string(test.position));
        CFetch fetch;
        fetch.m_nKind = test.kind;
        fetch.m_strSeparator = test.separator;
        fetch.m_strStringDelimiter = "\"";
        fetch.m_strCurrentLine = test.line;
        fetch.m_strCurrentIniEntry = test.line;
        fetch.m_nPosition = test.position;
        fetch.m_nLength = test.length;
        EXPECT_EQ(fetch.ReadRawValue(), test.value);
    }
}

// ---- Evaluation over a computed definition -------------------------------------------------

class FetchFieldsTest : public FetchTestProgram
{
  protected:
    static int Open(CFetch& fetch, const std::string& name)
    {
        return fetch.Init(name, "15012024", "10", FETCH_MODE_READ, "orders.txt", "", "", 1, nullptr,
                          "", kFieldsIni);
    }

    static std::string Field(CFetch& fetch, const std::string& name)
    {
        int linked = -1;
        return fetch.GetField(name, linked);
    }

    int CountTraced(const std::string& start) const
    {
        const auto messages = TraceMessages();
        return static_cast<int>(
            std::count_if(messages.begin(), messages.end(), [&](const std::string& message) {
                return message.rfind(start, 0) == 0;
            }));
    }
};

TEST_F(FetchFieldsTest, EveryFunctionOfTheLanguage)
{
    trv::RecordingUserPrompt prompt;
    prompt.textAnswers = {"D1"};
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "CALC"));
    struct Case
    {
        const char* field;
        const char* value;
    };
    const Case cases[] = {
        {"VALUE_COMMA", "A,B"},
        {"EMPTY", ""},
        {"CONCAT", "ABCX7"},
        {"CONCAT_PLUS", "A+BX7!"},
        {"CONCAT_TRAILING", ""},
        {"DAY_MONDAY", "0"},
        {"DAY_SUNDAY", "6"},
        {"DAY_ARGUMENT", "0"},
        {"SUMDAYS_RANGE", "25/01/2024"},
        {"SUMDAYS_BACK", "31/12/2023"},
        {"SUMDAYS_EMPTY", ""},
        {"YEARS", "23"},
        {"YEARS_EMPTY", "0"},
        {"SAME", "S"},
        {"DIFFERENT", "N"},
        {"MIDDLE", "CDE"},
        {"MIDDLE_TWO", "BC"},
        {"MIDDLE_SHORT", ""},
        {"RIGHT_LONG", "ABC"},
        {"RIGHT_TWO", "DE"},
        {"POS_TEXT", "3"},
        {"POS_NONE", "0"},
        {"POS_FIELD", "1"},
        {"SUBST_TEXT", "A-DE"},
        {"SUBST_FIELD", "xDE"},
        {"SUM_INT", "12"},
        {"SUB_INT", "2"},
        {"MULT_INT", "42"},
        {"DIV_INT", "3"},
        {"DIV_INT_NEGATIVE", "-3"},
        {"DIV_INT_ZERO", ""},
        {"MOD_INT", "1"},
        {"MOD_ZERO", ""},
        {"SUM_INT_OPEN", ""},
        {"SUM_INT_NO_FIRST", ""},
        {"SUM_FLOAT", "3.750000"},
        {"SUB_FLOAT", "-3.500000"},
        {"MULT_FLOAT", "7.500000"},
        {"DIV_FLOAT", "2.500000"},
        {"DIV_FLOAT_ZERO", "0.000000"},
        {"SUM_TIME", "10:00"},
        {"SUB_TIME", "-01:30"},
        {"SUM_TIME_MINUTES", "09:00"},
        {"SUB_TIME_MINUTES", "08:25"},
        {"WORKING_FRIDAY", "29/01/2024"},
        {"WORKING_RANGE", "29/01/2024"},
        {"WORKING_BACK", "12/01/2024"},
        {"WORKING_BACK_WEEK", "08/01/2024"},
        {"WORKING_EMPTY", ""},
        {"ENUM_MATCH", "1"},
        {"BINENUM_MATCH", "2"},
        {"ENUM_FIRST", "0"},
        {"ENUM_NONE", "0"},
        {"BINENUM_NONE", "0"},
        {"ENUM_ALONE", ""},
        {"CASE_MATCH", "x"},
        {"CASE_DEFAULTED", "y"},
        {"CASE_UNMATCHED", "B"},
        {"CASE_FIELD", "ABCDE"},
        {"CASE_UNEVEN", ""},
        {"IF_TRUE", "yes"},
        {"IF_FALSE", "ABCDE"},
        {"IF_NUMBER", "big"},
        {"IF_SHORT", ""},
        {"LINE", "0"},
        {"LINE_MORE", "0"},
        {"MINUTES", "510"},
        {"MINUTES_EMPTY", "0"},
        {"MINUTES_UNDEFINED", "-2147483648"},
        {"WEEK_JAN7", "1"},
        {"WEEK_JAN8", "2"},
        {"WEEK_JAN8_2023", "1"},
        {"YEAR", "2024"},
        {"MONTH", "1"},
        {"DAY", "15"},
        {"HOUR", "8"},
        {"MINUTE", "45"},
        {"SERIAL", "45306"},
        {"ASKED", "D1"},
        {"ASKED_OTHER", ""},
        {"TEXT_ZEROS", "12"},
        {"TEXT_SOME", "12.05"},
        {"TEXT_HALF", "12.5"},
        {"RED", "255"},
        {"BLUE", "16711680"},
        {"MIXED", "328193"},
        {"RGB_SHORT", ""},
        {"CUT", "ABCDEFGH"},
        {"CUT_MID", "ABCD"},
        {"PLAIN", ""},
        {"DEFAULT_VALUE", "zz"},
        {"DEFAULT_FIELD", "X7"},
        {"LOWER", ""},
        {"NO_SUCH_FIELD", ""},
    };
    for (const Case& test : cases)
        EXPECT_EQ(Field(fetch, test.field), test.value) << test.field;
    // A second read of each comes from the record's cache and gives the same.
    for (const Case& test : cases)
        EXPECT_EQ(Field(fetch, test.field), test.value) << test.field << " (cached)";

    const std::string today = trv::OleDate::GetCurrentTime().Format("%d/%m/%Y");
    EXPECT_EQ(Field(fetch, "NOW_DATE"), today);
    EXPECT_EQ(Field(fetch, "NOW_STAMP").substr(0, 11), today + " ");
    EXPECT_EQ(Field(fetch, "NOW_STAMP").size(), 16u);

    EXPECT_EQ(CountTraced("DIV_INT_ZERO: division by zero"), 1);
    EXPECT_EQ(CountTraced("MOD_ZERO: division by zero"), 1);
}

TEST_F(FetchFieldsTest, TypedReadersOfComputedFields)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "CALC"));
    EXPECT_EQ(fetch.GetFieldInt("SUM_INT"), 12);
    EXPECT_EQ(fetch.GetFieldTime("SUM_TIME"), 600);
    EXPECT_EQ(fetch.GetFieldTime("SUB_TIME"), -90);
    EXPECT_EQ(fetch.GetFieldTime("UNDEF"), kUnsetTime);
    EXPECT_TRUE(fetch.GetFieldBool("SAME"));
    EXPECT_EQ(fetch.GetFieldDate("WORKING_FRIDAY", trv::OleDate()), trv::OleDate(2024, 1, 29));
}

TEST_F(FetchFieldsTest, FieldsReferringToEachOtherReadEmptyWithOneTraceLine)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "LOOP"));
    EXPECT_EQ(Field(fetch, "A"), "");
    EXPECT_EQ(CountTraced("Field: A refers to itself"), 1);
    const struct
    {
        const char* field;
        const char* value;
    } cases[] = {{"B", ""}, {"C", ""}, {"SELF", ""}, {"WIDE", ""}, {"P", ""}, {"OK", "fine"}};
    for (const auto& test : cases)
        EXPECT_EQ(Field(fetch, test.field), test.value) << test.field;
    EXPECT_EQ(fetch.m_nFieldDepth, 0);
}

TEST_F(FetchFieldsTest, MalformedConditionIsShownOnceAndReadsEmpty)
{
    trv::RecordingUserPrompt prompt;
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "BADIF"));
    EXPECT_EQ(Field(fetch, "BROKEN"), "");
    fetch.ClearFieldCache();
    EXPECT_EQ(Field(fetch, "BROKEN"), "");
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_NE(prompt.calls[0].text.find("IF_THEN"), std::string::npos);
    EXPECT_EQ(CountTraced("LookSpecialLinesIf, "), 2);
}

TEST_F(FetchFieldsTest, ClassificationFollowsANewInit)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "LOOP"));
    EXPECT_EQ(Field(fetch, "OK"), "fine");
    ASSERT_TRUE(Open(fetch, "CALC"));
    EXPECT_EQ(Field(fetch, "OK"), "");
    EXPECT_EQ(Field(fetch, "CONCAT"), "ABCX7");
    std::string argument;
    int ok = 0;
    EXPECT_EQ(fetch.GetLineFormat("CONCAT", argument, ok, 0), LINE_CONCAT);
    EXPECT_EQ(argument, "\"ABC\"+CODE");
    EXPECT_EQ(fetch.GetLineFormat("SUMINT(1", argument, ok, 1), LINE_SUMINT);
    EXPECT_EQ(ok, 0);
}

TEST_F(FetchFieldsTest, LinesChangedBetweenTwoInitsAreClassifiedAgain)
{
    const std::string file = Path("Changing.ini");
    auto write = [&file](const char* line) {
        std::ofstream(file) << "[BOOL]\nDEFAULT=1,0\n[TIME]\nDEFAULT=HH:MM\n[DATE]\n"
                               "DEFAULT=DD/MM/YYYY\n[ONE_FORMAT]\nTYPE=FETCH_CALCULATED\n[ONE]\n"
                            << line << "\n";
    };
    CFetch fetch;
    write("F=VALUE=first");
    ASSERT_TRUE(fetch.Init("ONE", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
    EXPECT_EQ(Field(fetch, "F"), "first");
    write("F=+\"sec\"+\"ond\"");
    ASSERT_TRUE(fetch.Init("ONE", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
    EXPECT_EQ(Field(fetch, "F"), "second");
}

TEST_F(FetchFieldsTest, VariablesComputeFromTheLineWhenTheirEntryIsSet)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "CALC"));
    const FetchTextMap variables = {{"CONCAT", "1"}, {"CODE", "1"}};
    int linked = 0;
    EXPECT_EQ(fetch.GetField("CONCAT", linked, 0, 0, &variables), "ABCX7");
    // Without an entry a field takes the output record's value: none here.
    EXPECT_EQ(fetch.GetField("SUM_INT", linked, 0, 0, &variables), "");
}

TEST_F(FetchFieldsTest, ListsOfTimesAndEarthCentredCoordinates)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "CALC"));
    const CSmartIntArray minutes = fetch.GetFieldListTime("TIMES", 60, 1200, 0, 0, nullptr);
    EXPECT_EQ(std::vector<int>(minutes.begin(), minutes.end()), (std::vector<int>{480, 1200, 60}));

    FetchTextArray names;
    for (const char* name : {"ECEF_X", "ECEF_ZERO", "ECEF_ZERO"})
        names.Add(name);
    TGeoCoordinate raw;
    fetch.GetFieldCoordinates(raw, names, 0, 0, kNotLocatedCoordinate);
    EXPECT_DOUBLE_EQ(raw.longitude, 6378.137) << "not ECEF: X is the longitude as read";

    fetch.m_strCoordinatesFormat = "ECEF";
    TGeoCoordinate converted;
    fetch.GetFieldCoordinates(converted, names, 0, 0, kNotLocatedCoordinate);
    EXPECT_NEAR(converted.longitude, 0.0, 1e-6);
    EXPECT_NEAR(converted.latitude, 0.0, 1e-6);
}

TEST_F(FetchFieldsTest, ComputedFromTheOutputRecordWhenWriting)
{
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("CALC", "15012024", "10", FETCH_MODE_WRITE, "", "", "", 1, nullptr, "",
                           kFieldsIni));
    fetch.SetField("FREE", "40");
    const FetchTextMap variables = {{"SUM_FREE", "1"}};
    int linked = 0;
    // The operand FREE has no entry in the map: it is the value set for it.
    EXPECT_EQ(fetch.GetField("SUM_FREE", linked, 0, 0, &variables), "47");
    EXPECT_EQ(fetch.GetField("FREE", linked, 0, 1, nullptr), "40");
    // A field without an entry is not computed: its output value, none here.
    EXPECT_EQ(fetch.GetField("CONCAT", linked, 0, 1, nullptr), "");
    // Writing, a place gives the value set for it, and a constant its text.
    fetch.SetField("DEFAULT_VALUE", "set");
    EXPECT_EQ(fetch.GetField("DEFAULT_VALUE", linked), "set");
    EXPECT_EQ(fetch.GetField("VALUE_COMMA", linked), "A,B");
}

// ---- Required fields -------------------------------------------------------------------------

TEST_F(FetchFieldsTest, MissingRequiredFieldIsReportedWithPositionLineAndFile)
{
    SetTranslation("ThisFieldIsRequired", "%s is required (%s: %s)");
    SetTranslation("RequiredPosition", "position %d, line %d, file %s");
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "CALC"));
    trv::RecordingUserPrompt prompt;
    fetch.m_strErrorText = "Orders";
    fetch.m_strDescription = "CODE";
    fetch.m_nPosition = 12;
    fetch.m_nRecord = 3;

    EXPECT_EQ(fetch.GetFieldString("EMPTY", "fallback", 1), "fallback");
    ASSERT_EQ(fetch.m_arrRequiredMessages.GetSize(), 2);
    EXPECT_EQ(fetch.m_arrRequiredMessages[0], "EMPTY is required (Orders: X7)");
    EXPECT_EQ(fetch.m_arrRequiredMessages[1], "position 12, line 3, file orders.txt");

    EXPECT_TRUE(fetch.ReportRequiredMessages());
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].kind, "question");
    EXPECT_EQ(prompt.calls[0].text,
              "EMPTY is required (Orders: X7)\nposition 12, line 3, file orders.txt");
    EXPECT_EQ(fetch.m_arrRequiredMessages.GetSize(), 0);
    trv::ResetDictionary();
}

} // namespace
