#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <sys/stat.h>

namespace trv {

namespace {

// Code points of the bytes 0x80-0xFF of each code page.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::array<char16_t, 128> kCp850High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

// Marks a byte that starts no valid sequence: above every code point, and kept as it is.
constexpr char32_t kInvalidByteBase = 0x110000;

unsigned char ByteAt(std::string_view text, std::size_t position)
{
    return static_cast<unsigned char>(text[position]);
}

// Length of the valid sequence at `position`, 0 when the byte starts none.
std::size_t ValidSequenceSize(std::string_view text, std::size_t position)
{
    const std::size_t available = text.size() - position;
    const unsigned char lead = ByteAt(text, position);
    if (lead < 0x80)
        return 1;
    std::size_t size = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (available < size)
        return 0;
    const unsigned char second = ByteAt(text, position + 1);
    if (second < low || second > high)
        return 0;
    for (std::size_t index = 2; index < size; ++index) {
        const unsigned char next = ByteAt(text, position + index);
        if (next < 0x80 || next > 0xBF)
            return 0;
    }
    return size;
}

// Decodes one character; an invalid byte comes back as kInvalidByteBase + byte.
char32_t DecodeAt(std::string_view text, std::size_t& position)
{
    const std::size_t size = ValidSequenceSize(text, position);
    const unsigned char lead = ByteAt(text, position);
    if (size == 0) {
        ++position;
        return kInvalidByteBase + lead;
    }
    if (size == 1) {
        ++position;
        return lead;
    }
    char32_t codePoint = lead & (0xFF >> (size + 1));
    for (std::size_t index = 1; index < size; ++index)
        codePoint = (codePoint << 6) | (ByteAt(text, position + index) & 0x3F);
    position += size;
    return codePoint;
}

void AppendDecoded(std::string& out, char32_t codePoint)
{
    if (codePoint >= kInvalidByteBase)
        out += static_cast<char>(codePoint - kInvalidByteBase);
    else
        AppendUtf8(out, codePoint);
}

template <std::size_t N>
std::string HighTableToUtf8(std::string_view text, const std::array<char16_t, N>& table)
{
    // Sized exactly first: a file of mostly high bytes would otherwise grow the text twice over.
    const auto encodedSize = [](char16_t codePoint) -> std::size_t {
        return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : 3;
    };
    std::size_t size = 0;
    for (char byte : text) {
        const unsigned char value = static_cast<unsigned char>(byte);
        size += value < 0x80 ? 1 : value - 0x80u < N ? encodedSize(table[value - 0x80]) : 2;
    }
    std::string out;
    out.reserve(size);
    for (char byte : text) {
        const unsigned char value = static_cast<unsigned char>(byte);
        if (value < 0x80)
            out += byte;
        else if (value - 0x80u < N)
            AppendUtf8(out, table[value - 0x80]);
        else
            AppendUtf8(out, value); // Windows-1252 0xA0-0xFF are the Latin-1 code points
    }
    return out;
}

template <std::size_t N>
bool Utf8ToHighTable(std::string_view utf8, std::string& out, const std::array<char16_t, N>& table)
{
    out.clear();
    out.reserve(utf8.size());
    bool complete = true;
    std::size_t position = 0;
    while (position < utf8.size()) {
        const char32_t codePoint = DecodeAt(utf8, position);
        if (codePoint < 0x80) {
            out += static_cast<char>(codePoint);
            continue;
        }
        const auto found = std::find(table.begin(), table.end(), codePoint);
        if (found != table.end()) {
            out += static_cast<char>(0x80 + (found - table.begin()));
        } else if (N == 32 && codePoint >= 0xA0 && codePoint <= 0xFF) {
            out += static_cast<char>(codePoint);
        } else {
            out += '?';
            complete = false;
        }
    }
    return complete;
}

std::size_t SkipBlanks(std::string_view text)
{
    std::size_t position = 0;
    while (position < text.size() &&
           (text[position] == ' ' || (text[position] >= '\t' && text[position] <= '\r')))
        ++position;
    return position;
}

bool IsTrimmed(char character)
{
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}

locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

// ---- Encodings ---------------------------------------------------------------------------

bool IsValidUtf8(std::string_view text)
{
    std::size_t position = 0;
    while (position < text.size()) {
        // Most sources are plain ASCII: eight bytes at a time until a high bit shows.
        constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
        std::uint64_t word = 0;
        while (position + sizeof word <= text.size()) {
            std::memcpy(&word, text.data() + position, sizeof word);
            if (word & kHighBits)
                break;
            position += sizeof word;
        }
        if (position >= text.size())
            break;
        if (ByteAt(text, position) < 0x80) {
            ++position;
            continue;
        }
        const std::size_t size = ValidSequenceSize(text, position);
        if (size == 0)
            return false;
        position += size;
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view text)
{
    return HighTableToUtf8(text, kCp1252High);
}

bool Utf8ToCp1252(std::string_view utf8, std::string& out)
{
    return Utf8ToHighTable(utf8, out, kCp1252High);
}

std::string Cp850ToUtf8(std::string_view text)
{
    return HighTableToUtf8(text, kCp850High);
}

bool Utf8ToCp850(std::string_view utf8, std::string& out)
{
    return Utf8ToHighTable(utf8, out, kCp850High);
}

std::string DecodeFileText(std::string_view bytes)
{
    if (IsValidUtf8(bytes)) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        return std::string(bytes);
    }
    return Cp1252ToUtf8(bytes);
}

bool ReadRemainingBytes(std::FILE* file, std::string& bytes)
{
    bytes.clear();
    struct stat status
    {
    };
    if (::fstat(::fileno(file), &status) == 0 && status.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
    char block[1 << 16];
    for (;;) {
        const std::size_t read = std::fread(block, 1, sizeof block, file);
        bytes.append(block, read);
        if (read < sizeof block)
            return std::ferror(file) == 0;
    }
}

bool ReadFileBytes(const std::string& path, std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    const bool complete = ReadRemainingBytes(file, bytes);
    std::fclose(file);
    return complete;
}

bool ReadTextFile(const std::string& path, std::string& text)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return false;
    text = DecodeFileText(bytes);
    return true;
}

void ReplaceAllInPlace(std::string& text, std::string_view word, std::string_view value)
{
    if (word.empty() || word == value)
        return;
    for (std::size_t position = text.find(word); position != std::string::npos;
         position = text.find(word, position + value.size()))
        text.replace(position, word.size(), value);
}

// ---- Characters --------------------------------------------------------------------------

char32_t DecodeUtf8(std::string_view text, std::size_t& position)
{
    const char32_t codePoint = DecodeAt(text, position);
    return codePoint >= kInvalidByteBase ? codePoint - kInvalidByteBase : codePoint;
}

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::size_t CharacterSize(std::string_view text, std::size_t position)
{
    if (position >= text.size())
        return 0;
    const std::size_t size = ValidSequenceSize(text, position);
    return size == 0 ? 1 : size;
}

// ---- Casing ------------------------------------------------------------------------------

char32_t ToUpperChar(char32_t codePoint)
{
    if (codePoint < 0x80)
        return (codePoint >= 'a' && codePoint <= 'z') ? codePoint - 0x20 : codePoint;
    if (codePoint >= 0xE0 && codePoint <= 0xFE && codePoint != 0xF7)
        return codePoint - 0x20;
    switch (codePoint) {
    case 0xFF:
        return 0x178;
    case 0x161:
        return 0x160;
    case 0x153:
        return 0x152;
    case 0x17E:
        return 0x17D;
    default:
        return codePoint;
    }
}

char32_t ToLowerChar(char32_t codePoint)
{
    if (codePoint < 0x80)
        return (codePoint >= 'A' && codePoint <= 'Z') ? codePoint + 0x20 : codePoint;
    if (codePoint >= 0xC0 && codePoint <= 0xDE && codePoint != 0xD7)
        return codePoint + 0x20;
    switch (codePoint) {
    case 0x178:
        return 0xFF;
    case 0x160:
        return 0x161;
    case 0x152:
        return 0x153;
    case 0x17D:
        return 0x17E;
    default:
        return codePoint;
    }
}

namespace {

template <typename Mapping> std::string MapCase(std::string_view text, Mapping mapping)
{
    std::string out;
    out.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        const unsigned char byte = ByteAt(text, position);
        if (byte < 0x80) {
            out += static_cast<char>(mapping(byte));
            ++position;
            continue;
        }
        const char32_t codePoint = DecodeAt(text, position);
        AppendDecoded(out, codePoint >= kInvalidByteBase ? codePoint : mapping(codePoint));
    }
    return out;
}

char32_t FoldForCompare(std::string_view text, std::size_t& position)
{
    const unsigned char byte = ByteAt(text, position);
    if (byte < 0x80) {
        ++position;
        return (byte >= 'A' && byte <= 'Z') ? byte + 0x20 : byte;
    }
    const char32_t codePoint = DecodeAt(text, position);
    return codePoint >= kInvalidByteBase ? codePoint : ToLowerChar(codePoint);
}

} // namespace

std::string ToUpper(std::string_view text)
{
    return MapCase(text, ToUpperChar);
}

std::string ToLower(std::string_view text)
{
    return MapCase(text, ToLowerChar);
}

int CompareNoCase(std::string_view left, std::string_view right)
{
    std::size_t leftPosition = 0;
    std::size_t rightPosition = 0;
    while (leftPosition < left.size() && rightPosition < right.size()) {
        const char32_t leftFolded = FoldForCompare(left, leftPosition);
        const char32_t rightFolded = FoldForCompare(right, rightPosition);
        if (leftFolded != rightFolded)
            return leftFolded < rightFolded ? -1 : 1;
    }
    if (leftPosition < left.size())
        return 1;
    if (rightPosition < right.size())
        return -1;
    return 0;
}

bool EqualsNoCase(std::string_view left, std::string_view right)
{
    return CompareNoCase(left, right) == 0;
}

// ---- Character counting ------------------------------------------------------------------

std::size_t Length(std::string_view text)
{
    std::size_t count = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        position += ByteAt(text, position) < 0x80 ? 1 : CharacterSize(text, position);
        ++count;
    }
    return count;
}

std::size_t ByteOffset(std::string_view text, std::size_t characterIndex)
{
    std::size_t position = 0;
    for (std::size_t index = 0; index < characterIndex && position < text.size(); ++index)
        position += ByteAt(text, position) < 0x80 ? 1 : CharacterSize(text, position);
    return position;
}

std::string Left(std::string_view text, std::size_t count)
{
    return std::string(text.substr(0, ByteOffset(text, count)));
}

std::string Mid(std::string_view text, std::size_t start, std::size_t count)
{
    const std::size_t begin = ByteOffset(text, start);
    const std::string_view rest = text.substr(begin);
    if (count == std::string::npos)
        return std::string(rest);
    return std::string(rest.substr(0, ByteOffset(rest, count)));
}

std::string Right(std::string_view text, std::size_t count)
{
    const std::size_t length = Length(text);
    if (count >= length)
        return std::string(text);
    return std::string(text.substr(ByteOffset(text, length - count)));
}

std::string PadRight(std::string_view text, std::size_t width, char fill)
{
    std::string out(text);
    const std::size_t length = Length(text);
    if (length < width)
        out.append(width - length, fill);
    return out;
}

std::string PadLeft(std::string_view text, std::size_t width, char fill)
{
    const std::size_t length = Length(text);
    std::string out;
    if (length < width)
        out.assign(width - length, fill);
    out += text;
    return out;
}

std::string FitWidth(std::string_view text, std::size_t width, char fill)
{
    return PadRight(Left(text, width), width, fill);
}

std::string XmlEscape(std::string_view text)
{
    std::string escaped;
    for (const char character : text) {
        switch (character) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += character;
        }
    }
    return escaped;
}

std::string_view TrimLeft(std::string_view text)
{
    std::size_t begin = 0;
    while (begin < text.size() && IsTrimmed(text[begin]))
        ++begin;
    return text.substr(begin);
}

std::string_view TrimRight(std::string_view text)
{
    std::size_t end = text.size();
    while (end > 0 && IsTrimmed(text[end - 1]))
        --end;
    return text.substr(0, end);
}

std::string_view Trim(std::string_view text)
{
    return TrimRight(TrimLeft(text));
}

// ---- Locale-independent numbers ----------------------------------------------------------

std::string FormatCV(const char* format, va_list arguments)
{
    const locale_t previous = uselocale(CLocale());
    char buffer[256];
    va_list copy;
    va_copy(copy, arguments);
    const int needed = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    std::string out;
    if (needed < 0) {
        // leave out empty: a broken format writes nothing
    } else if (static_cast<std::size_t>(needed) < sizeof buffer) {
        out.assign(buffer, static_cast<std::size_t>(needed));
    } else {
        out.resize(static_cast<std::size_t>(needed));
        std::vsnprintf(out.data(), out.size() + 1, format, arguments);
    }
    uselocale(previous);
    return out;
}

std::string FormatC(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string out = FormatCV(format, arguments);
    va_end(arguments);
    return out;
}

std::string FormatDouble(double value, int decimals)
{
    return FormatC("%.*f", decimals, value);
}

std::string FormatInt(long long value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

namespace {

// Reads a double at the front of `text` (sign allowed); the characters used, 0 when none.
std::size_t ReadDouble(std::string_view text, double& value)
{
    std::size_t position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    const char* begin = text.data() + position;
    const auto result = std::from_chars(begin, text.data() + text.size(), value);
    if (result.ptr == begin)
        return 0;
    if (negative)
        value = -value;
    return static_cast<std::size_t>(result.ptr - text.data());
}

// Reads a saturating integer at the front of `text`; the characters used, 0 when none.
std::size_t ReadInteger(std::string_view text, long long& value)
{
    std::size_t position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    const std::size_t digitsStart = position;
    unsigned long long magnitude = 0;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(LLONG_MAX) + 1 : LLONG_MAX;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
        const unsigned digit = static_cast<unsigned>(text[position] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
        ++position;
    }
    if (position == digitsStart)
        return 0;
    value = negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
    return position;
}

} // namespace

double ParseDouble(std::string_view text)
{
    double value = 0;
    text.remove_prefix(SkipBlanks(text));
    return ReadDouble(text, value) ? value : 0.0;
}

long long ParseInt64(std::string_view text)
{
    long long value = 0;
    text.remove_prefix(SkipBlanks(text));
    return ReadInteger(text, value) ? value : 0;
}

int ParseInt(std::string_view text)
{
    return static_cast<int>(std::clamp<long long>(ParseInt64(text), INT_MIN, INT_MAX));
}

bool TryParseDouble(std::string_view text, double& value)
{
    text = Trim(text);
    double parsed = 0;
    if (text.empty() || ReadDouble(text, parsed) != text.size())
        return false;
    value = parsed;
    return true;
}

bool TryParseInt(std::string_view text, int& value)
{
    text = Trim(text);
    long long parsed = 0;
    if (text.empty() || ReadInteger(text, parsed) != text.size() || parsed < INT_MIN ||
        parsed > INT_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

} // namespace trv
