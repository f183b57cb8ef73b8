#include "KLV/Fetch.h"
#include "platform/OleDate.h"

#include <gtest/gtest.h>

namespace {

TEST(FetchConversionsTest, DatesBetweenTheFormatAndTheNormalisedText)
{
    struct Case
    {
        const char* format;
        const char* formatted;  // in the DATE format
        const char* normalised; // day, month, year as eight digits
        bool roundTrip;         // ToDateFormat of the normalised text gives `formatted`
    };
    const Case cases[] = {
        {"YYYY-MM-DD", "2023-12-31 08:30", "31122023 08:30", true},
        {"YYYY-MM-DD", "2023-12-31", "31122023", true},
        {"DD/MM/YY", "01/02/24", "01022024", true},
        {"D/M/YYYY", "1/2/2024", "01022024", false},
        {"DD/MM/YYYY HH:MM", "05/03/2024 17:45", "05032024 17:45", false},
        {"WW/YYYY", "03/2024", "15012024", false},
        {"WW/YYYY", "01/2023", "02012023", false},
        {"DD/MM/YYYY", "", "", false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.format) + " " + test.formatted);
        CFetch fetch;
        fetch.m_strDateFormat = test.format;
        EXPECT_EQ(fetch.FromDateFormat(test.formatted), test.normalised);
        if (test.roundTrip) {
            EXPECT_EQ(fetch.ToDateFormat(test.normalised), test.formatted);
        }
    }
}

TEST(FetchConversionsTest, LinkedDateFormatWinsWhenSet)
{
    CFetch fetch;
    fetch.m_strDateFormat = "DD/MM/YYYY";
    CFetch linked;
    linked.m_strDateFormat = "YYYYMMDD";
    EXPECT_EQ(fetch.FromDateFormat("20240201", &linked), "01022024");
}

TEST(FetchConversionsTest, TimesBetweenMinutesAndText)
{
    struct Case
    {
        const char* format;
        int minutes;
        const char* text;
    };
    const Case both[] = {
        {"HH:MM", 510, "08:30"},  {"HH:MM", -90, "-01:30"}, {"HH:MM", 0, "00:00"},
        {"HH:MM", 1500, "25:00"}, {"MMMM", 510, "0510"},    {"HH.MM", 61, "01.01"},
    };
    for (const Case& test : both) {
        SCOPED_TRACE(std::string(test.format) + " " + test.text);
        CFetch fetch;
        fetch.m_strTimeFormat = test.format;
        EXPECT_EQ(fetch.FormatMinutes(test.minutes), test.text);
        EXPECT_EQ(fetch.ParseTime(test.text), test.minutes);
    }

    CFetch fetch;
    fetch.m_strTimeFormat = "HH:MM";
    EXPECT_EQ(fetch.FormatMinutes(kUnsetTime), "");
    EXPECT_EQ(fetch.ParseTime("UNDEFINED_TIME"), kUnsetTime);
    EXPECT_EQ(fetch.ParseTime(""), 0);
    EXPECT_EQ(fetch.ParseTime("15/01/2024 08:30"), 510);
    CFetch linked;
    linked.m_strTimeFormat = "HHMM";
    EXPECT_EQ(fetch.ParseTime("0830", &linked), 510);
}

TEST(FetchConversionsTest, BooleanTexts)
{
    struct Case
    {
        const char* trueText;
        const char* text;
        int isTrue;
        const char* after; // the text as the test leaves it
    };
    const Case cases[] = {
        {"S", "s", 1, "S"},  {"S", "N", 0, "N"}, {"S", "1", 0, "1"},       {"1", "01", 1, "1"},
        {"1", " 1", 1, "1"}, {"1", "0", 0, "0"}, {"YES", "yes", 1, "YES"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.trueText) + " " + test.text);
        CFetch fetch;
        fetch.m_strBoolTrue = test.trueText;
        std::string text = test.text;
        EXPECT_EQ(fetch.IsTrueText(text), test.isTrue);
        EXPECT_EQ(text, test.after);
    }
}

TEST(FetchConversionsTest, DatabaseValuesAsText)
{
    CFetch fetch;
    fetch.m_strDateFormat = "YYYY-MM-DD";
    fetch.m_strTimeFormat = "HH:MM";
    fetch.m_strBoolTrue = "S";
    fetch.m_strBoolFalse = "N";
    struct Case
    {
        trv::FieldValue value;
        const char* text;
    };
    const Case cases[] = {
        {std::monostate{}, ""},
        {trv::DbNull{}, ""},
        {std::int64_t{200}, "200"},
        {std::int64_t{-5}, "-5"},
        {2.5, "2.500000"},
        {true, "S"},
        {false, "N"},
        {std::string("text"), "text"},
        {trv::OleDate(2023, 12, 31, 8, 30), "2023-12-31 08:30"},
    };
    for (const Case& test : cases)
        EXPECT_EQ(fetch.VariantToText(test.value), test.text) << test.text;
}

} // namespace
