#include "KLV/Utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Items(const CSmartStringArray& array)
{
    return std::vector<std::string>(array.begin(), array.end());
}

CSmartStringArray Array(std::initializer_list<const char*> items)
{
    CSmartStringArray array;
    for (const char* item : items)
        array.Add(item);
    return array;
}

} // namespace

TEST(Utils, ExtractTokenTable)
{
    struct Case
    {
        const char* text;
        const char* separator;
        int start;
        bool quoteAware;
        const char* token;
        const char* rest;
    };
    const Case cases[] = {
        {"a;b;c", ";", 0, false, "a", "b;c"},
        {"abc", ";", 0, false, "abc", ""},
        {";b", ";", 0, false, "", "b"},
        {"a::b", "::", 0, false, "a", "b"},
        {"a;b;c", ";", 2, false, "a;b", "c"},
        {"abc", "", 0, false, "abc", ""},
        {"\"a;b\";c", ";", 0, true, "\"a;b\"", "c"},
        {"'a;b';c", ";", 0, true, "'a;b'", "c"},
        {"\"a;b\";c", ";", 0, false, "\"a", "b\";c"},
        {"\"a;b;c", ";", 0, true, "\"a", "b;c"}, // an unclosed quote protects nothing
        {"x=\"1\" \"2;3\";y", ";", 0, true, "x=\"1\" \"2;3\"", "y"}, // a second quoted pair
        {"\"it's\";'a;b';c", ";", 0, true, "\"it's\"", "'a;b';c"},
        {"\"a;b\"", ";", 0, true, "\"a;b\"", ""},
    };
    for (const Case& item : cases) {
        std::string text = item.text;
        EXPECT_EQ(ExtractToken(text, item.separator, item.start, item.quoteAware), item.token)
            << item.text;
        EXPECT_EQ(text, item.rest) << item.text;
    }
    std::string text = "a|b";
    EXPECT_EQ(ExtractTokenAtChar('|', text), "a");
    EXPECT_EQ(ExtractTokenAtChar('|', text), "b");
    EXPECT_EQ(text, "");
}

TEST(Utils, ExtractQuotedFieldTable)
{
    struct Case
    {
        const char* text;
        const char* token;
        const char* rest;
    };
    const Case cases[] = {
        {"\"x,y\",z", "x,y", "z"},     {"\"x,y", "\"x", "y"}, // no closing quote
        {"plain,z", "plain", "z"},     {"\"last\"", "last", ""}, {"\"open", "\"open", ""},
        {"a,\"b,c\"", "a", "\"b,c\""}, {"\"\",z", "", "z"},
    };
    for (const Case& item : cases) {
        std::string text = item.text;
        EXPECT_EQ(ExtractQuotedField(text, ",", "\""), item.token) << item.text;
        EXPECT_EQ(text, item.rest) << item.text;
    }
    std::string text = "[a,b],c";
    EXPECT_EQ(ExtractDelimitedToken(text, ",", "[", "]"), "a,b");
    EXPECT_EQ(text, "c");
}

TEST(Utils, SplittingKeepsAnEmptyLastField)
{
    CSmartStringArray fields;
    fields.Add("stale");
    SplitDelimitedFields("a,b,", fields, ",", "\"", false);
    EXPECT_EQ(Items(fields), (std::vector<std::string>{"a", "b", ""}));
    SplitDelimitedFields("\"x,y\",z", fields, ",", "\"", false);
    EXPECT_EQ(Items(fields), (std::vector<std::string>{"x,y", "z"}));
    SplitDelimitedFields("", fields, ",", "\"", true);
    EXPECT_EQ(Items(fields), (std::vector<std::string>{""}));
    SplitDelimitedFields("", fields, ",", "\"", false);
    EXPECT_TRUE(Items(fields).empty());

    SplitString("1;2;;\"3;4\"", fields, ";", false);
    EXPECT_EQ(Items(fields), (std::vector<std::string>{"1", "2", "", "\"3", "4\""}));
    EXPECT_EQ(JoinStrings(Array({"a", "", "b"}), ", ", true), "a, b");
    EXPECT_EQ(JoinStrings(Array({"a", "", "b"}), ",", false), "a,,b");
    EXPECT_EQ(JoinStrings(Array({}), ",", false), "");
}

TEST(Utils, ShortestTokenAmongSeparators)
{
    struct Case
    {
        std::initializer_list<const char*> separators;
        const char* text;
        const char* token;
        const char* found;
        const char* rest;
    };
    const Case cases[] = {
        {{",", ";"}, "a;b,c", "a", ";", "b,c"},
        {{"-", "--"}, "a--b", "a", "--", "b"}, // the shorter rest wins
        {{";", ";"}, "a;b", "a", "", "b"},     // a full tie reports no separator
        {{",", ";"}, " no separator ", "no separator", "", ""},
        {{" AND ", " OR "}, "X=1 OR Y=2 AND Z=3", "X=1", " OR ", "Y=2 AND Z=3"},
    };
    for (const Case& item : cases) {
        std::string text = item.text;
        std::string found = "stale";
        EXPECT_EQ(ExtractTokenAtAnySeparator(Array(item.separators), text, found), item.token)
            << item.text;
        EXPECT_EQ(found, item.found) << item.text;
        EXPECT_EQ(text, item.rest) << item.text;
    }
    std::string text = "\"a,b\";c,d";
    std::string found;
    EXPECT_EQ(ExtractTokenAtAnySeparator(Array({",", ";"}), text, found, "\""), "a,b");
    EXPECT_EQ(found, ";");
}

TEST(Utils, LeadingTokensAndMultiStrings)
{
    std::string text = "a,b,c";
    RemoveLeadingTokens(text, 2, ",");
    EXPECT_EQ(text, "c");
    text = "a,b";
    RemoveLeadingTokens(text, 3, ",");
    EXPECT_EQ(text, "");

    CSmartStringArray items;
    MultiStringToArray(items, "one\0two\0\0");
    EXPECT_EQ(Items(items), (std::vector<std::string>{"one", "two"}));
    const char* list = "x\0y\0\0";
    EXPECT_EQ(GetNextMultiString(list), "x");
    EXPECT_EQ(GetNextMultiString("ignored\0\0"), "y");
    EXPECT_EQ(GetNextMultiString(list), "");
}

TEST(Utils, CountingOutsideQuotes)
{
    const std::string text = "a,\"b,c\",d,'e,f'";
    EXPECT_EQ(CountOutsideQuotes(true, 0, ",", text, static_cast<int>(text.size())), 3);
    EXPECT_EQ(CountOutsideQuotes(false, 0, ",", text, static_cast<int>(text.size())), 5);
    EXPECT_EQ(CountOutsideQuotes(false, 2, ",", "a,b,c,d", 4), 1);
    EXPECT_EQ(CountOutsideQuotes(true, 0, "(", "((a=\"(\")", -1), 2);
    EXPECT_EQ(CountOutsideQuotes(true, 0, ")", "(a=\")", -1), 0); // inside an open quote
    EXPECT_EQ(CountChar('a', "banana"), 3);
    EXPECT_EQ(FindStringInArray(Array({"a", "B", "b"}), "b"), 2);
    EXPECT_EQ(FindStringInArray(Array({"a"}), "A"), -1);
    EXPECT_TRUE(StringArraysEqual(Array({"a", "b"}), Array({"b", "a"})));
    EXPECT_FALSE(StringArraysEqual(Array({"a", "b"}), Array({"a"})));
    EXPECT_FALSE(StringArraysEqual(Array({"a", "b"}), Array({"a", "c"})));
}

TEST(Utils, CharacterTests)
{
    struct NumericCase
    {
        const char* text;
        int result;
    };
    const NumericCase numeric[] = {{"-1.5", 4}, {"1.2.3", 0}, {"1-2", 0}, {"", 0},
                                   {"007", 3},  {"12a", 0},   {".5", 2},  {"1,5", 0}};
    for (const NumericCase& item : numeric)
        EXPECT_EQ(IsNumeric(item.text), item.result) << item.text;

    EXPECT_TRUE(IsDateLikeText("05/03/2024"));
    EXPECT_TRUE(IsDateLikeText("2024-03-05"));
    EXPECT_TRUE(IsDateLikeText("05/03/x")); // the last piece is not tested
    EXPECT_FALSE(IsDateLikeText("5/a/2024"));
    EXPECT_FALSE(IsDateLikeText("12:30"));
    EXPECT_TRUE(IsTimeLikeText("12:30"));
    EXPECT_TRUE(IsTimeLikeText("12:30:15"));
    EXPECT_FALSE(IsTimeLikeText("12:3a"));
    EXPECT_FALSE(IsTimeLikeText("1230"));

    for (char invalid : std::string("\"*/:<>?\\|"))
        EXPECT_FALSE(IsValidFileNameChar(invalid)) << invalid;
    for (char valid : std::string("aZ0 .-_()"))
        EXPECT_TRUE(IsValidFileNameChar(valid)) << valid;
    EXPECT_EQ(ReplaceInvalidFileNameChars('_', "a/b:c?.txt"), "a_b_c_.txt");
    EXPECT_TRUE(IsSingleCharString("a", 'a'));
    EXPECT_FALSE(IsSingleCharString("A", 'a'));
    EXPECT_FALSE(IsSingleCharString("ab", 'a'));
    EXPECT_FALSE(IsSingleCharString("", 'a'));
    EXPECT_FALSE(IsAsciiLetter('\xC3'));
    EXPECT_TRUE(IsAsciiAlnum('7'));
    EXPECT_EQ(HexTextToInt("1F"), 31u);
    EXPECT_EQ(HexTextToInt("ff"), 255u);
    EXPECT_EQ(HexTextToInt("0xE101"), 57601u);
    EXPECT_EQ(HexTextToInt(""), 0u);
}

TEST(Utils, TextConversions)
{
    EXPECT_EQ(StripAccentsText("ÁÉÍÓÚáéíóú ñüàÑ"), "AEIOUaeiou ñüàÑ");

    struct UrlCase
    {
        const char* text;
        const char* encoded;
    };
    const UrlCase urls[] = {
        {"a b&c", "a%20b%26c"},     {"ñ", "%C3%B1"}, {"A-Z_.~09", "A-Z_.~09"}, {"100%", "100%25"},
        {"é+ç", "%C3%A9%2B%C3%A7"}, {"", ""},
    };
    for (const UrlCase& item : urls) {
        std::string text = item.text;
        UrlEncode(text);
        EXPECT_EQ(text, item.encoded) << item.text;
    }

    EXPECT_EQ(RemoveExtension("plan.v2.opt"), "plan.v2");
    EXPECT_EQ(RemoveExtension("noext"), "noext");
    EXPECT_EQ(GetFileNameFromPath("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(GetFileNameFromPath("/x/y"), "y");
    EXPECT_EQ(GetFileNameFromPath("file"), "file");
    EXPECT_EQ(GetFolderFromPath("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(GetFolderFromPath("file"), "file");
    std::string line = "abc \r\n";
    TrimLineEnd(line);
    EXPECT_EQ(line, "abc");
    EXPECT_EQ(ColorToHex(MakeRgb(255, 128, 1)), "FF8001");
    EXPECT_EQ(ParseRgbText("RGB(255,128,1)"), MakeRgb(255, 128, 1));
    EXPECT_EQ(ParseRgbText("x"), 0u);
}

TEST(Utils, Masks)
{
    struct FillCase
    {
        const char* value;
        const char* mask;
        const char* result;
    };
    const FillCase fills[] = {
        {"42", "AB-####-CD", "AB-0042-CD"},
        {"123456", "AB-####-CD", "AB-3456-CD"},
        {"123", "A#B", "A123B"}, // one placeholder keeps the whole value
        {"7", "no placeholder", "7"},
        {"5", "Ñ-##", "Ñ-05"},
        {"ñu", "###", "0ñu"},
    };
    for (const FillCase& item : fills) {
        std::string value = item.value;
        std::string mask = item.mask;
        FillMask(value, mask, '#');
        EXPECT_EQ(mask, item.result) << item.value << " " << item.mask;
    }

    struct ExtractCase
    {
        const char* value;
        const char* mask;
        const char* result;
    };
    const ExtractCase extracts[] = {
        {"AB-0042-CD", "AB-####-CD", "0042"},
        {"0042-CD", "####-CD", "0042"},
        {"X0042-CD", "####-CD", "X0042"}, // leading placeholder: everything before the tail
        {"ABC", "no placeholder", ""},
        {"ñ-12", "ñ-##", "12"},
        {"ñu-CD", "##-CD", "ñu"},
    };
    for (const ExtractCase& item : extracts)
        EXPECT_EQ(ExtractByMask('#', item.value, item.mask), item.result)
            << item.value << " " << item.mask;
}

TEST(Utils, NameAndDetailAtSeveralWidths)
{
    struct Case
    {
        const char* detail;
        const char* name;
        int width;
        const char* result;
    };
    const Case cases[] = {
        {"Centro", "Madrid", 12, "Madrid"},
        {"Centro", "Madrid", 20, "Madrid (Centro)"},
        {"Centro", "Madrid", 16, "Madrid (Centro)"},
        {"Centro", "Madrid", 14, "Madrid (Ce...)"},
        {"Centro", "Madrid", -1, "Madrid (Centro)"},
        {"Centro", "Madrid", 4, "Madr"},
        {"", " Madrid ", 3, "Madrid"},
        {" Centro ", "", 3, "Centro"},
        {"Núñez", "Córdoba", 15, "Córdoba (Núñez)"},
        {"Núñez", "Córdoba", 14, "Córdoba (N...)"},
    };
    for (const Case& item : cases)
        EXPECT_EQ(JoinNameAndDetail(item.detail, item.name, item.width), item.result)
            << item.name << " " << item.width;
}

TEST(Utils, TimesAndDates)
{
    EXPECT_EQ(MinutesToTimeText(-30, "%H:%M"), "23:30");
    EXPECT_EQ(MinutesToTimeText(1500, "%H:%M"), "01:00");
    EXPECT_EQ(MinutesToTimeText(-1470, "%H:%M"), "23:30");
    EXPECT_EQ(MinutesToTimeText(kUnsetTime, "%H:%M"), "");
    EXPECT_EQ(MinutesToTimeText(810, "%I:%M %p"), "01:30 PM");
    EXPECT_EQ(FormatTimeWithDayOffset(1500, "%H:%M", 1), "01:00 (+1)");
    EXPECT_EQ(FormatTimeOfDay(1500, "%H:%M"), "25:00");
    EXPECT_EQ(FormatTimeOfDay(810, "%I:%M:%S"), "01:30:00");
    EXPECT_EQ(TimeTextToMinutes("07:30"), 450);
    EXPECT_EQ(TimeTextToMinutes("23:59:59"), 1439);
    EXPECT_EQ(TimeTextToMinutes("25:00"), 0);
    EXPECT_EQ(TimeTextToMinutes("abc"), 0);
    EXPECT_EQ(HhmmTextToInt("07:45"), 745);
    EXPECT_EQ(HhmmTextToInt("7"), 700);
    EXPECT_EQ(IntToHhmmText(745), "07:45");

    EXPECT_EQ(DaysBetweenDates("15081980", "14082020"), 14599);
    EXPECT_EQ(DaysBetweenDates("15081980", "14082020") / 365, 39);
    EXPECT_EQ(DaysBetweenDates("01012000", "01012002"), 730);
    EXPECT_EQ(DaysBetweenDates("01012002", "01012000"), -730);
    EXPECT_EQ(DaysBetweenDates("31082001", "01092001"), 1);
}

TEST(Utils, GreatCircleDistance)
{
    const double degreeKm = 6378.0 * std::acos(-1.0) / 180.0;
    EXPECT_NEAR(GreatCircleDistanceKm({0, 0}, {0, 1}), degreeKm, 1e-9);
    EXPECT_NEAR(GreatCircleDistanceKm({-3.7, 40.4}, {-3.7, 40.4}), 0.0, 1e-9);
    EXPECT_NEAR(GreatCircleDistanceKm({0, 0}, {180, 0}), 180 * degreeKm, 1e-6);
    // Madrid to Barcelona, about 505 km on this sphere.
    EXPECT_NEAR(GreatCircleDistanceKm({-3.7038, 40.4168}, {2.1734, 41.3851}), 505.0, 5.0);
}

TEST(Utils, ScrambleIsReversibleForEveryText)
{
    std::string printable;
    for (int character = 32; character <= 126; ++character)
        printable += static_cast<char>(character);
    for (std::string text : {printable, std::string("contraseña €"), std::string("")}) {
        std::string scrambled = text;
        EXPECT_EQ(ScrambleText(scrambled.data(), static_cast<int>(scrambled.size())),
                  static_cast<int>(text.size()));
        if (!text.empty()) {
            EXPECT_NE(scrambled, text);
        }
        for (char character : scrambled) {
            if (static_cast<unsigned char>(character) < 128) {
                EXPECT_TRUE(character >= 32 && character <= 126);
            }
        }
        UnscrambleText(scrambled.data(), static_cast<int>(scrambled.size()));
        EXPECT_EQ(scrambled, text);
    }
}

TEST(Utils, ProcessAndFiles)
{
    EXPECT_TRUE(SetProcessThreadsPriority(::getpid()));
    EXPECT_FALSE(SetProcessThreadsPriority(-5));
    const std::string path = ::testing::TempDir() + "trv_grant_test.txt";
    std::ofstream(path) << "x";
    EXPECT_TRUE(GrantEveryoneAccess(path));
    std::remove(path.c_str());
    EXPECT_FALSE(GrantEveryoneAccess(path));
}
