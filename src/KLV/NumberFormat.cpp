#include "KLV/NumberFormat.h"

#include "platform/Text.h"

#include <algorithm>
#include <cmath>

namespace {

std::string WithoutCharacter(const std::string& text, char removed)
{
    std::string result = text;
    std::erase(result, removed);
    return result;
}

} // namespace

void TNumberFormat::Set(char decimalSeparatorIn, char thousandsSeparatorIn, int decimalsIn,
                        int groupingIn)
{
    decimalSeparator = decimalSeparatorIn;
    thousandsSeparator = thousandsSeparatorIn;
    decimals = decimalsIn;
    grouping = groupingIn;
    reserved = 0;
    if (decimalSeparator == thousandsSeparator) {
        grouping = 0;
        thousandsSeparator = decimalSeparator == ',' ? '.' : ',';
    }
}

std::string TNumberFormat::FormatValue(double value) const
{
    // Both parts come from one rounding, so a fraction that rounds up carries into the integer
    // part (1.999 -> "2.00") with six digits as well.
    const int places = decimals < 0 ? 6 : decimals;
    const std::string fixed = trv::FormatDouble(std::fabs(value), places);
    const std::size_t point = fixed.find('.');
    std::string integerText = fixed.substr(0, point);
    if (integerText == "0")
        integerText.clear();
    std::string text = integerText;
    if (decimals != 0 && point != std::string::npos) {
        text += decimalSeparator;
        text += fixed.substr(point + 1);
    }
    std::string result;
    GroupThousands(text, result);
    return value < 0 ? "-" + result : result;
}

std::string TNumberFormat::FormatWithLeadingZero(double value) const
{
    std::string text = FormatValue(value);
    if (text.empty() || text == "-")
        text += '0';
    else if (text[0] == decimalSeparator)
        text.insert(0, 1, '0');
    else if (text.size() > 1 && text[0] == '-' && text[1] == decimalSeparator)
        text.insert(1, 1, '0');
    return text;
}

double TNumberFormat::ParseValue(std::string& text) const
{
    std::string integerPart;
    std::string fractionPart;
    SplitParts(text, integerPart, fractionPart);
    text = integerPart;
    if (!fractionPart.empty())
        text += "." + fractionPart;
    return trv::ParseDouble(text);
}

void TNumberFormat::SplitParts(const std::string& text, std::string& integerPart,
                               std::string& fractionPart) const
{
    const std::string plain = WithoutCharacter(text, thousandsSeparator);
    const std::size_t point = plain.find(decimalSeparator);
    if (point == std::string::npos) {
        integerPart = plain;
        fractionPart.clear();
        return;
    }
    integerPart = plain.substr(0, point);
    fractionPart = plain.substr(point + 1);
}

int TNumberFormat::GroupThousands(const std::string& text, std::string& result) const
{
    result = WithoutCharacter(text, thousandsSeparator);
    if (!grouping)
        return 0;
    std::string integerPart;
    std::string fractionPart;
    SplitParts(result, integerPart, fractionPart);

    // Built backwards, then reversed; a leading minus counts as one more character and the
    // separator it may leave in front is stripped below.
    std::string grouped;
    int digitsInGroup = 0;
    for (auto character = integerPart.rbegin(); character != integerPart.rend(); ++character) {
        grouped += *character;
        if (++digitsInGroup == 3) {
            grouped += thousandsSeparator;
            digitsInGroup = 0;
        }
    }
    std::reverse(grouped.begin(), grouped.end());
    if (decimals != 0) {
        grouped += decimalSeparator;
        grouped += fractionPart;
    }
    StripLeadingSeparator(grouped);
    result = grouped;
    return static_cast<int>(std::count(result.begin(), result.end(), thousandsSeparator));
}

void TNumberFormat::StripLeadingSeparator(std::string& text) const
{
    const std::size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    if (start < text.size() && text[start] == thousandsSeparator)
        text.erase(start, 1);
}

std::string TNumberFormat::MidSafe(const std::string& text, int start, int count)
{
    if (start < 0 || std::size_t(start) >= trv::Length(text) || count <= 0)
        return std::string();
    return trv::Mid(text, std::size_t(start), std::size_t(count));
}

std::string FormatInt(int n)
{
    return trv::FormatInt(n);
}
