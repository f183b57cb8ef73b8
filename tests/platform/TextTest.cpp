#include "platform/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <string>
#include <vector>

using namespace trv;

namespace {

std::vector<char32_t> CodePoints(std::string_view text)
{
    std::vector<char32_t> points;
    std::size_t position = 0;
    while (position < text.size())
        points.push_back(DecodeUtf8(text, position));
    return points;
}

} // namespace

TEST(Text, EveryWindows1252ByteBecomesItsCharacter)
{
    // 0x80-0x9F as the code page defines them, written here as characters; the five undefined
    // bytes stay as the control characters of the same value.
    const std::vector<char32_t> high = CodePoints("€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F"
                                                  "\u0090‘’“”•–—˜™š›œ\u009DžŸ");
    ASSERT_EQ(high.size(), 32u);
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(byte)));
        ASSERT_TRUE(IsValidUtf8(utf8)) << byte;
        const std::vector<char32_t> points = CodePoints(utf8);
        ASSERT_EQ(points.size(), 1u) << byte;
        const char32_t expected = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : byte;
        EXPECT_EQ(points[0], expected) << "byte " << byte;
        std::string back;
        EXPECT_TRUE(Utf8ToCp1252(utf8, back));
        EXPECT_EQ(back, std::string(1, static_cast<char>(byte)));
    }
    EXPECT_EQ(Cp1252ToUtf8("Espa\xF1"
                           "a \x80"
                           "5"),
              "España €5");
}

TEST(Text, CodePage850RoundTripsAndRefusesWhatItLacks)
{
    EXPECT_EQ(Cp850ToUtf8("\x82\xA4\xA5\x81\xE1\x9C\x80"), "éñÑüß£Ç");
    std::string all;
    for (int byte = 0; byte <= 0xFF; ++byte)
        all += static_cast<char>(byte);
    std::string back;
    EXPECT_TRUE(Utf8ToCp850(Cp850ToUtf8(all), back));
    EXPECT_EQ(back, all);

    EXPECT_FALSE(Utf8ToCp850("5€", back));
    EXPECT_EQ(back, "5?");
    EXPECT_TRUE(Utf8ToCp850("año", back));
    EXPECT_EQ(back, "a\xA4o");
}

TEST(Text, Utf8Validity)
{
    struct Case
    {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ascii", true},
        {"ñandú €", true},
        {"\xF0\x9D\x84\x9E", true},  // U+1D11E
        {"\xC0\xAF", false},         // overlong "/"
        {"\xE0\x80\xAF", false},     // overlong "/"
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // beyond U+10FFFF
        {"\xE2\x82", false},         // cut short
        {"a\x80"
         "b",
         false}, // lone continuation byte
        {"Espa\xF1"
         "a",
         false}, // Windows-1252
        {"\xFF", false},
    };
    for (const Case& item : cases)
        EXPECT_EQ(IsValidUtf8(item.text), item.valid) << item.text;
}

TEST(Text, FileTextKeepsUtf8AndConvertsTheRest)
{
    EXPECT_EQ(DecodeFileText("ñandú\r\n"), "ñandú\r\n");
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF[Sección]"), "[Sección]");
    EXPECT_EQ(DecodeFileText("[Secci\xF3n]"), "[Sección]");
    EXPECT_EQ(DecodeFileText(""), "");
}

TEST(Text, CasingKnowsLatin1AndKeepsSequencesWhole)
{
    struct Case
    {
        const char* text;
        const char* upper;
        const char* lower;
    };
    const Case cases[] = {
        {"ñandú", "ÑANDÚ", "ñandú"},
        {"ÑANDÚ", "ÑANDÚ", "ñandú"},
        {"Straße Ÿÿ", "STRAßE ŸŸ", "straße ÿÿ"},
        {"×÷ 1-2 €", "×÷ 1-2 €", "×÷ 1-2 €"},
        {"œŒšŠ", "ŒŒŠŠ", "œœšš"},
        {"a\xE9z", "A\xE9Z", "a\xE9z"}, // a stray byte stays as it is
    };
    for (const Case& item : cases) {
        EXPECT_EQ(ToUpper(item.text), item.upper) << item.text;
        EXPECT_EQ(ToLower(item.text), item.lower) << item.text;
    }
}

TEST(Text, CaseInsensitiveCompare)
{
    struct Case
    {
        const char* left;
        const char* right;
        int sign;
    };
    const Case cases[] = {
        {"ñandú", "ÑANDÚ", 0}, {"Config.ini", "config.INI", 0},
        {"abc", "ABD", -1},    {"a", "ab", -1},
        {"Zeta", "alpha", 1},  {"", "", 0},
        {"ñ", "n", 1},         {"Émile", "émile", 0},
    };
    for (const Case& item : cases) {
        const int result = CompareNoCase(item.left, item.right);
        EXPECT_EQ((result > 0) - (result < 0), item.sign) << item.left << " / " << item.right;
        EXPECT_EQ(CompareNoCase(item.right, item.left) == 0, item.sign == 0);
        EXPECT_EQ(EqualsNoCase(item.left, item.right), item.sign == 0);
    }
}

TEST(Text, CharacterCountingNeverSplitsASequence)
{
    const std::string word = "ñandú";
    EXPECT_EQ(Length(word), 5u);
    EXPECT_EQ(Left(word, 2), "ña");
    EXPECT_EQ(Left(word, 1), "ñ");
    EXPECT_EQ(Left(word, 9), word);
    EXPECT_EQ(Mid(word, 1, 3), "and");
    EXPECT_EQ(Mid(word, 3), "dú");
    EXPECT_EQ(Mid(word, 7), "");
    EXPECT_EQ(Right(word, 2), "dú");
    EXPECT_EQ(Right(word, 9), word);
    EXPECT_EQ(PadRight("ñ", 3), "ñ  ");
    EXPECT_EQ(PadLeft("ú", 3, '0'), "00ú");
    EXPECT_EQ(PadRight(word, 2), word);
    EXPECT_EQ(FitWidth(word, 3), "ñan");
    EXPECT_EQ(FitWidth("ñ", 2, '.'), "ñ.");
    // A stray byte counts as one character of its own.
    EXPECT_EQ(Length("a\xE9"
                     "b"),
              3u);
    EXPECT_EQ(Left("a\xE9"
                   "b",
                   2),
              "a\xE9");
    EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
}

TEST(Text, NumbersIgnoreTheProcessLocale)
{
    // Under a comma locale the C library would write "12,345600"; ours must not.
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "es_ES.UTF-8", "fr_FR.UTF-8"})
        if ((comma = std::setlocale(LC_ALL, name)) != nullptr)
            break;
    EXPECT_EQ(FormatDouble(12.3456), "12.345600");
    EXPECT_EQ(FormatDouble(-0.5, 2), "-0.50");
    EXPECT_EQ(FormatC("%d|%5.1f|%s", 7, 3.14159, "x"), "7|  3.1|x");
    EXPECT_EQ(FormatC("%s", std::string(300, 'a').c_str()).size(), 300u);
    EXPECT_EQ(FormatInt(-1234567890123LL), "-1234567890123");
    EXPECT_DOUBLE_EQ(ParseDouble("12.5"), 12.5);
    std::setlocale(LC_ALL, "C");
}

TEST(Text, NumberParsingTable)
{
    struct DoubleCase
    {
        const char* text;
        double value;
    };
    const DoubleCase doubles[] = {
        {"  12.5abc", 12.5}, {"-3", -3},      {"abc", 0}, {"1e3", 1000},
        {".5", 0.5},         {"+2.25", 2.25}, {"", 0},    {"12,5", 12},
    };
    for (const DoubleCase& item : doubles)
        EXPECT_DOUBLE_EQ(ParseDouble(item.text), item.value) << item.text;

    EXPECT_EQ(ParseInt("  42x"), 42);
    EXPECT_EQ(ParseInt("-7"), -7);
    EXPECT_EQ(ParseInt("99999999999"), INT_MAX);
    EXPECT_EQ(ParseInt("-99999999999"), INT_MIN);
    EXPECT_EQ(ParseInt("x1"), 0);
    EXPECT_EQ(ParseInt64("-9223372036854775808"), LLONG_MIN);

    double value = 0;
    EXPECT_TRUE(TryParseDouble(" 3.25 ", value));
    EXPECT_DOUBLE_EQ(value, 3.25);
    EXPECT_FALSE(TryParseDouble("12,5", value));
    EXPECT_FALSE(TryParseDouble("", value));
    int integer = 0;
    EXPECT_TRUE(TryParseInt("-15", integer));
    EXPECT_EQ(integer, -15);
    EXPECT_FALSE(TryParseInt("12a", integer));
    EXPECT_FALSE(TryParseInt("3000000000", integer));
}
