#include "KLV/Base64.h"

#include <array>

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> MakeDecodeTable()
{
    std::array<signed char, 256> table{};
    for (auto& value : table)
        value = -1;
    for (std::size_t index = 0; index < kAlphabet.size(); ++index)
        table[static_cast<unsigned char>(kAlphabet[index])] = static_cast<signed char>(index);
    return table;
}

constexpr std::array<signed char, 256> kDecodeTable = MakeDecodeTable();

} // namespace

std::string Base64Encode(const void* bytes, std::size_t length)
{
    const auto* data = static_cast<const unsigned char*>(bytes);
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    std::size_t index = 0;
    for (; index + 3 <= length; index += 3) {
        const unsigned group = (data[index] << 16) | (data[index + 1] << 8) | data[index + 2];
        out += kAlphabet[group >> 18];
        out += kAlphabet[(group >> 12) & 0x3F];
        out += kAlphabet[(group >> 6) & 0x3F];
        out += kAlphabet[group & 0x3F];
    }
    const std::size_t left = length - index;
    if (left > 0) {
        unsigned group = data[index] << 16;
        if (left == 2)
            group |= data[index + 1] << 8;
        out += kAlphabet[group >> 18];
        out += kAlphabet[(group >> 12) & 0x3F];
        out += left == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        out += '=';
    }
    return out;
}

std::string Base64Decode(std::string_view text)
{
    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    unsigned group = 0;
    int count = 0;
    for (char character : text) {
        const int value = kDecodeTable[static_cast<unsigned char>(character)];
        if (value < 0)
            break; // "=", or the first character outside the alphabet
        group = (group << 6) | static_cast<unsigned>(value);
        if (++count == 4) {
            out += static_cast<char>(group >> 16);
            out += static_cast<char>((group >> 8) & 0xFF);
            out += static_cast<char>(group & 0xFF);
            group = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out += static_cast<char>(group >> 4);
    } else if (count == 3) {
        out += static_cast<char>(group >> 10);
        out += static_cast<char>((group >> 2) & 0xFF);
    }
    return out;
}
