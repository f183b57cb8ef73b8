// Conversions between the engine's normalised value texts and a definition's formats.

#include "KLV/Fetch.h"
#include "KLV/Utils.h"

std::string CFetch::ToDateFormat(const std::string& date) const
{
    const std::size_t blank = date.rfind(' ');
    const std::string datePart = date.substr(0, blank);
    const std::string timePart = blank == std::string::npos ? std::string() : date.substr(blank);
    std::string result = m_strDateFormat;
    for (const char letter : {'D', 'M', 'Y'}) {
        std::string value = ExtractByMask(letter, datePart, "DDMMYYYY");
        FillMask(value, result, letter);
    }
    return result + timePart;
}
