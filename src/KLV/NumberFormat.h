#pragma once

#include <string>

// Display text of numbers with a chosen decimal separator, thousands separator, number of
// decimals and grouping, and its reading back. The two separators are never equal.
struct TNumberFormat
{
    char decimalSeparator = '.';
    char thousandsSeparator = ','; // between groups of three integer digits when grouping is on
    int decimals = 2;              // digits after the separator; -1: six digits
    int grouping = 0;              // non-zero: integer digits grouped by threes
    int reserved = 0;              // kept with the settings; read by no operation here

    TNumberFormat() = default;

    // Stores the settings; equal separators switch grouping off and give the thousands
    // separator the other of '.' and ','.
    void Set(char decimalSeparator, char thousandsSeparator, int decimals, int grouping);

    // The display text; a value whose integer part is 0 has none (".50").
    std::string FormatValue(double value) const;
    // FormatValue with a zero before a leading decimal separator ("0.50", "-0.50").
    std::string FormatWithLeadingZero(double value) const;

    // The number a display text denotes; text is rewritten into plain form (digits, optional
    // '.' and fraction). 0 when nothing numeric leads.
    double ParseValue(std::string& text) const;

    // Removes every thousands separator and splits at the first decimal separator.
    void SplitParts(const std::string& text, std::string& integerPart,
                    std::string& fractionPart) const;

    // result is text with thousands separators inserted when grouping is on (and removed when
    // it is off); returns the number of separators in result.
    int GroupThousands(const std::string& text, std::string& result) const;

    // Removes a thousands separator that stands first or right after a leading minus.
    void StripLeadingSeparator(std::string& text) const;

    // count characters from start, or an empty text when start is negative or not below the
    // length.
    static std::string MidSafe(const std::string& text, int start, int count);
};

// "%d" of n.
std::string FormatInt(int n);
