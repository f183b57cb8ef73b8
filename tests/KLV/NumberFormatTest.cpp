#include "KLV/NumberFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TNumberFormat Format(char decimalSeparator, char thousandsSeparator, int decimals, int grouping)
{
    TNumberFormat format;
    format.Set(decimalSeparator, thousandsSeparator, decimals, grouping);
    return format;
}

TEST(NumberFormat, FormatsTheTableOfCases)
{
    struct Case
    {
        TNumberFormat format;
        double value;
        const char* formatted;       // FormatValue
        const char* withLeadingZero; // FormatWithLeadingZero
    };
    const TNumberFormat defaults;
    const TNumberFormat grouped = Format('.', ',', 2, 1);
    const TNumberFormat european = Format(',', '.', 2, 1);
    const Case cases[] = {
        {defaults, 1234.5, "1234.50", "1234.50"},
        {grouped, 1234.5, "1,234.50", "1,234.50"},
        {defaults, 0.5, ".50", "0.50"},
        {defaults, -0.5, "-.50", "-0.50"},
        {defaults, 0.0, ".00", "0.00"},
        {grouped, 123456, "123,456.00", "123,456.00"},
        {grouped, 1234567, "1,234,567.00", "1,234,567.00"},
        {grouped, -1234567.891, "-1,234,567.89", "-1,234,567.89"},
        {grouped, 999.999, "1,000.00", "1,000.00"},
        {defaults, 1.999, "2.00", "2.00"},
        {defaults, 0.999, "1.00", "1.00"},
        {Format('.', ',', 0, 0), 12.7, "13", "13"},
        {Format('.', ',', 0, 1), 12.7, "13", "13"},
        {Format('.', ',', 0, 1), 1234.4, "1,234", "1,234"},
        {Format('.', ',', 0, 0), 0.3, "", "0"},
        {Format('.', ',', 0, 0), -0.3, "-", "-0"},
        {european, 1234.5, "1.234,50", "1.234,50"},
        {european, 0.25, ",25", "0,25"},
        {Format('.', ',', -1, 0), 2.5, "2.500000", "2.500000"},
        // Both parts from one rounding: the fraction carries into the integer part.
        {Format('.', ',', -1, 1), 1999.9999999, "2,000.000000", "2,000.000000"},
        {Format('.', ',', 3, 0), 1e15, "1000000000000000.000", "1000000000000000.000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.format.FormatValue(c.value), c.formatted) << c.value;
        EXPECT_EQ(c.format.FormatWithLeadingZero(c.value), c.withLeadingZero) << c.value;
    }
}

TEST(NumberFormat, EqualSeparatorsSwitchGroupingOff)
{
    const TNumberFormat commas = Format(',', ',', 2, 1);
    EXPECT_EQ(commas.thousandsSeparator, '.');
    EXPECT_EQ(commas.grouping, 0);
    const TNumberFormat points = Format('.', '.', 2, 1);
    EXPECT_EQ(points.thousandsSeparator, ',');
    EXPECT_EQ(points.grouping, 0);
}

TEST(NumberFormat, ParsesDisplayTextIntoPlainForm)
{
    struct Case
    {
        TNumberFormat format;
        const char* text;
        const char* plain;
        double value;
    };
    const TNumberFormat european = Format(',', '.', 2, 1);
    const Case cases[] = {
        {european, "1.234,5", "1234.5", 1234.5},
        {european, "-1.234.567", "-1234567", -1234567},
        {TNumberFormat(), "1,234.50", "1234.50", 1234.5},
        {TNumberFormat(), ".75", ".75", 0.75},
        {TNumberFormat(), "abc", "abc", 0},
        {TNumberFormat(), "", "", 0},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_DOUBLE_EQ(c.format.ParseValue(text), c.value) << c.text;
        EXPECT_EQ(text, c.plain) << c.text;
    }
}

TEST(NumberFormat, GroupsSplitsAndCutsText)
{
    const TNumberFormat grouped = Format('.', ',', 2, 1);
    std::string result;
    EXPECT_EQ(grouped.GroupThousands("-123456", result), 1);
    EXPECT_EQ(result, "-123,456.");
    EXPECT_EQ(grouped.GroupThousands("1,2,3,4,5,6,7.5", result), 2);
    EXPECT_EQ(result, "1,234,567.5");
    EXPECT_EQ(TNumberFormat().GroupThousands("1,234.5", result), 0);
    EXPECT_EQ(result, "1234.5");

    std::string integerPart, fractionPart;
    grouped.SplitParts("12,345.6.7", integerPart, fractionPart);
    EXPECT_EQ(integerPart, "12345");
    EXPECT_EQ(fractionPart, "6.7");

    std::string text = "-,123";
    grouped.StripLeadingSeparator(text);
    EXPECT_EQ(text, "-123");

    EXPECT_EQ(TNumberFormat::MidSafe("12345", 1, 2), "23");
    EXPECT_EQ(TNumberFormat::MidSafe("12345", 5, 2), "");
    EXPECT_EQ(TNumberFormat::MidSafe("12345", -1, 2), "");
    EXPECT_EQ(TNumberFormat::MidSafe("ñandú", 1, 3), "and");
    EXPECT_EQ(FormatInt(-42), "-42");
}

} // namespace
