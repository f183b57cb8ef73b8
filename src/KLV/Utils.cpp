#include "KLV/Utils.h"

#include "KLV/Trace.h"
#include "platform/OleDate.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr std::size_t npos = std::string::npos;

// Where a separator ends a token in quote-aware mode: separators inside a closed pair of
// quotes are passed over. A quote without its closing one protects nothing.
std::size_t FindSeparatorOutsideQuotes(const std::string& text, std::string_view separator,
                                       std::size_t start)
{
    std::size_t separatorPosition = text.find(separator, start);
    std::size_t from = start;
    while (separatorPosition != npos) {
        char quote = '"';
        std::size_t open = text.find('"', from);
        if (open == npos || open >= separatorPosition) {
            quote = '\'';
            open = text.find('\'', from);
            if (open == npos || open >= separatorPosition)
                return separatorPosition;
        }
        const std::size_t close = text.find(quote, open + 1);
        if (close == npos)
            return separatorPosition;
        from = close + 1;
        if (close > separatorPosition) {
            // Double quotes: search again after the closing quote; single quotes: from it.
            separatorPosition = text.find(separator, quote == '"' ? close + 1 : close);
        }
    }
    return npos;
}

std::string CutAt(std::string& text, std::size_t position, std::size_t separatorLength)
{
    std::string token = text.substr(0, position);
    text.erase(0, position + separatorLength);
    return token;
}

std::string TakeAll(std::string& text)
{
    std::string token = std::move(text);
    text.clear();
    return token;
}

int CountInRange(std::string_view text, char character, std::size_t from, std::size_t to)
{
    return static_cast<int>(std::count(text.begin() + from, text.begin() + to + 1, character));
}

// The keys of the reversible scramble; any two different values below 95.
constexpr int kScrambleEvenShift = 17;
constexpr int kScrambleOddShift = 42;
constexpr int kPrintableFirst = 32;
constexpr int kPrintableLast = 126;
constexpr int kPrintableCount = 95;

// Below-normal priority as a nice value.
constexpr int kBelowNormalNice = 5;

} // namespace

// ---- Token cutting and splitting ----------------------------------------------------------

std::string ExtractToken(std::string& text, std::string_view separator, int start, bool quoteAware)
{
    if (separator.empty())
        return TakeAll(text);
    const std::size_t from = static_cast<std::size_t>(std::max(start, 0));
    const std::size_t position =
        quoteAware ? FindSeparatorOutsideQuotes(text, separator, from) : text.find(separator, from);
    if (position == npos)
        return TakeAll(text);
    return CutAt(text, position, separator.size());
}

std::string ExtractTokenAtChar(char separator, std::string& text)
{
    const std::size_t position = text.find(separator);
    if (position == npos)
        return TakeAll(text);
    return CutAt(text, position, 1);
}

std::string ExtractDelimitedToken(std::string& text, std::string_view separator,
                                  std::string_view opening, std::string_view closing)
{
    if (opening.empty() || closing.empty())
        return ExtractToken(text, separator);
    const std::size_t openPosition = text.find(opening);
    if (openPosition == npos)
        return ExtractToken(text, separator);
    const std::size_t separatorPosition = separator.empty() ? npos : text.find(separator);

    if (separatorPosition == npos) {
        text.erase(openPosition, opening.size());
        const std::size_t closePosition = text.find(closing, openPosition);
        if (closePosition == npos)
            return std::string(opening) + TakeAll(text);
        text.erase(closePosition, closing.size());
        return TakeAll(text);
    }
    if (openPosition >= separatorPosition)
        return ExtractToken(text, separator);

    text.erase(openPosition, opening.size());
    const std::size_t closePosition = text.find(closing, openPosition);
    if (closePosition == npos) {
        text.insert(0, opening);
        return ExtractToken(text, separator);
    }
    std::string token = CutAt(text, closePosition, closing.size());
    token += ExtractToken(text, separator);
    return token;
}

std::string ExtractQuotedField(std::string& text, std::string_view separator,
                               std::string_view marker)
{
    return ExtractDelimitedToken(text, separator, marker, marker);
}

namespace {

bool EndsWithSeparator(std::string_view text, std::string_view separator)
{
    return !separator.empty() && text.size() >= separator.size() &&
           text.substr(text.size() - separator.size()) == separator;
}

template <typename Cutter>
void SplitWith(std::string_view text, CSmartStringArray& items, std::string_view separator,
               bool emptyTextItem, Cutter cut)
{
    const bool addEmpty = text.empty() ? emptyTextItem : EndsWithSeparator(text, separator);
    items.SetSize(0);
    std::string rest(text);
    while (!rest.empty())
        items.Add(cut(rest));
    if (addEmpty)
        items.Add(std::string());
}

} // namespace

void SplitDelimitedFields(std::string_view line, CSmartStringArray& fields,
                          std::string_view separator, std::string_view marker, bool emptyLineField)
{
    SplitWith(line, fields, separator, emptyLineField, [&](std::string& rest) {
        return ExtractDelimitedToken(rest, separator, marker, marker);
    });
}

void SplitString(std::string_view text, CSmartStringArray& items, std::string_view separator,
                 bool emptyTextItem)
{
    SplitWith(text, items, separator, emptyTextItem,
              [&](std::string& rest) { return ExtractToken(rest, separator); });
}

std::string ExtractTokenAtAnySeparator(const CSmartStringArray& separators, std::string& text,
                                       std::string& foundSeparator, std::string_view opening,
                                       std::string_view closing)
{
    bool found = false;
    bool tie = false;
    std::string bestToken;
    std::string bestRest;
    foundSeparator.clear();
    for (const std::string& separator : separators) {
        std::string rest = text;
        std::string token;
        if (!opening.empty() && !closing.empty())
            token = ExtractDelimitedToken(rest, separator, opening, closing);
        else if (!opening.empty())
            token = ExtractDelimitedToken(rest, separator, opening, opening);
        else
            token = ExtractToken(rest, separator);
        if (token == text)
            continue; // the separator does not occur
        const bool shorter = token.size() < bestToken.size() ||
                             (token.size() == bestToken.size() && rest.size() < bestRest.size());
        if (!found || shorter) {
            found = true;
            tie = false;
            bestToken = std::move(token);
            bestRest = std::move(rest);
            foundSeparator = separator;
        } else if (token.size() == bestToken.size() && rest.size() == bestRest.size()) {
            tie = true;
        }
    }
    if (!found)
        return std::string(trv::Trim(TakeAll(text)));
    if (tie)
        foundSeparator.clear();
    text = std::move(bestRest);
    return std::string(trv::Trim(bestToken));
}

void RemoveLeadingTokens(std::string& text, int count, std::string_view separator)
{
    for (int index = 0; index < count; ++index) {
        const std::size_t position = separator.empty() ? npos : text.find(separator);
        if (position == npos) {
            text.clear();
            return;
        }
        text.erase(0, position + separator.size());
    }
}

std::string JoinStrings(const CSmartStringArray& items, std::string_view separator, bool skipEmpty)
{
    std::string joined;
    bool first = true;
    for (const std::string& item : items) {
        if (skipEmpty && item.empty())
            continue;
        if (!first)
            joined += separator;
        joined += item;
        first = false;
    }
    return joined;
}

void MultiStringToArray(CSmartStringArray& items, const char* list)
{
    if (list == nullptr)
        return;
    for (const char* item = list; *item != '\0'; item += std::strlen(item) + 1)
        items.Add(std::string(item));
}

std::string GetNextMultiString(const char* list)
{
    static std::mutex mutex;
    static const char* position = list;
    std::lock_guard lock(mutex);
    if (position == nullptr || *position == '\0')
        return {};
    std::string item(position);
    position += item.size() + 1;
    return item;
}

// ---- Counting, searching and testing ------------------------------------------------------

int CountChar(char character, std::string_view text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), character));
}

int CountOutsideQuotes(bool quoteAware, int start, std::string_view substring,
                       std::string_view text, int last)
{
    if (substring.empty() || start < 0)
        return 0;
    const std::size_t lastPosition = last < 0 ? text.size() : static_cast<std::size_t>(last);
    int count = 0;
    std::size_t segmentStart = static_cast<std::size_t>(start);
    std::size_t position = text.find(substring, segmentStart);
    while (position != npos && position <= lastPosition) {
        if (!quoteAware) {
            ++count;
            position = text.find(substring, position + 1);
            continue;
        }
        std::size_t next = position + substring.size();
        char quote = '\0';
        if (CountInRange(text, '"', segmentStart, position) % 2 == 1)
            quote = '"';
        else if (CountInRange(text, '\'', segmentStart, position) % 2 == 1)
            quote = '\'';
        if (quote == '\0') {
            ++count;
        } else {
            const std::size_t close = text.find(quote, position + 1);
            if (close == npos)
                break; // the rest lies inside an open quote
            next = close + 1;
        }
        segmentStart = next;
        position = text.find(substring, next);
    }
    return count;
}

int FindStringInArray(const CSmartStringArray& items, std::string_view text)
{
    for (int index = 0; index < items.GetSize(); ++index)
        if (items[index] == text)
            return index;
    return -1;
}

bool StringArraysEqual(const CSmartStringArray& a, const CSmartStringArray& b)
{
    if (a.GetSize() != b.GetSize())
        return false;
    for (const std::string& item : b)
        if (FindStringInArray(a, item) < 0)
            return false;
    return true;
}

int IsNumeric(std::string_view text)
{
    if (text.empty())
        return 0;
    bool point = false;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char character = text[index];
        if (IsAsciiDigit(character))
            continue;
        if (character == '.' && !point) {
            point = true;
            continue;
        }
        if (character == '-' && index == 0)
            continue;
        return 0;
    }
    return static_cast<int>(text.size());
}

namespace {

// Every piece of the text before an occurrence of the separator is numeric.
bool PiecesBeforeAreNumeric(std::string_view text, char separator)
{
    std::size_t start = 0;
    std::size_t position = 0;
    while ((position = text.find(separator, start)) != npos) {
        if (IsNumeric(text.substr(start, position - start)) == 0)
            return false;
        start = position + 1;
    }
    return true;
}

} // namespace

bool IsDateLikeText(std::string_view text)
{
    if (text.find_first_of("/-") == npos)
        return false;
    return PiecesBeforeAreNumeric(text, '/') && PiecesBeforeAreNumeric(text, '-');
}

bool IsTimeLikeText(std::string_view text)
{
    if (text.find(':') == npos)
        return false;
    std::size_t start = 0;
    while (true) {
        const std::size_t position = text.find(':', start);
        const std::string_view piece =
            text.substr(start, position == npos ? npos : position - start);
        if (IsNumeric(piece) == 0)
            return false;
        if (position == npos)
            return true;
        start = position + 1;
    }
}

bool IsAsciiLetter(char character)
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z');
}

bool IsAsciiDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool IsAsciiAlnum(char character)
{
    return IsAsciiLetter(character) || IsAsciiDigit(character);
}

bool IsValidFileNameChar(char character)
{
    return std::strchr("\"*/:<>?\\|", character) == nullptr || character == '\0';
}

bool IsSingleCharString(std::string_view text, char character)
{
    return text.size() == 1 && text[0] == character;
}

unsigned int HexTextToInt(std::string_view text)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    unsigned int value = 0;
    for (char character : text) {
        unsigned int digit = 0;
        if (character >= '0' && character <= '9')
            digit = static_cast<unsigned int>(character - '0');
        else if (character >= 'a' && character <= 'f')
            digit = static_cast<unsigned int>(character - 'a' + 10);
        else if (character >= 'A' && character <= 'F')
            digit = static_cast<unsigned int>(character - 'A' + 10);
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}

// ---- Text conversions ---------------------------------------------------------------------

void StripAccents(std::string& text)
{
    // The second bytes of Á É Í Ó Ú á é í ó ú (all led by 0xC3) and their plain letters.
    static constexpr std::string_view kAccented = "\x81\x89\x8D\x93\x9A\xA1\xA9\xAD\xB3\xBA";
    static constexpr std::string_view kPlain = "AEIOUaeiou";
    std::size_t write = 0;
    for (std::size_t read = 0; read < text.size(); ++read) {
        if (text[read] == '\xC3' && read + 1 < text.size()) {
            const std::size_t index = kAccented.find(text[read + 1]);
            if (index != npos) {
                text[write++] = kPlain[index];
                ++read;
                continue;
            }
        }
        text[write++] = text[read];
    }
    text.resize(write);
}

std::string StripAccentsText(std::string_view text)
{
    std::string copy(text);
    StripAccents(copy);
    return copy;
}

void UrlEncode(std::string& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (char character : text) {
        const unsigned char byte = static_cast<unsigned char>(character);
        if (IsAsciiAlnum(character) || character == '-' || character == '_' || character == '.' ||
            character == '~') {
            encoded += character;
            continue;
        }
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
    }
    text = std::move(encoded);
}

std::string ReplaceInvalidFileNameChars(char replacement, std::string_view text)
{
    std::string copy(text);
    for (char& character : copy)
        if (!IsValidFileNameChar(character))
            character = replacement;
    return copy;
}

std::string RemoveExtension(std::string_view fileName)
{
    const std::size_t point = fileName.rfind('.');
    return std::string(point == npos ? fileName : fileName.substr(0, point));
}

std::string GetFileNameFromPath(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return std::string(separator == npos ? path : path.substr(separator + 1));
}

std::string GetFolderFromPath(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return std::string(separator == npos ? path : path.substr(0, separator + 1));
}

void TrimLineEnd(std::string& text)
{
    const std::size_t end = text.find_last_not_of("\r\n ");
    text.erase(end == npos ? 0 : end + 1);
}

std::string ColorToHex(ColorRef colour)
{
    return trv::FormatC("%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

ColorRef ParseRgbText(std::string_view text)
{
    if (text.size() < 5)
        return 0;
    std::string inner(text.substr(4, text.size() - 5));
    const int red = trv::ParseInt(ExtractToken(inner, ","));
    const int green = trv::ParseInt(ExtractToken(inner, ","));
    const int blue = trv::ParseInt(inner);
    return MakeRgb(red, green, blue);
}

std::string_view ExtractByMaskView(char placeholder, std::string_view value, std::string_view mask)
{
    long first = -1;
    long last = -1;
    long count = 0;
    long maskLength = 0;
    for (std::size_t position = 0; position < mask.size(); ++maskLength) {
        const std::size_t size = trv::CharacterSize(mask, position);
        if (size == 1 && mask[position] == placeholder) {
            if (first < 0)
                first = maskLength;
            last = maskLength;
            ++count;
        }
        position += size;
    }
    if (first < 0)
        return {};
    long valueLength = 0;
    for (std::size_t position = 0; position < value.size(); ++valueLength)
        position += trv::CharacterSize(value, position);
    long begin = 0;
    long end = 0;
    if (first != 0) {
        begin = first + valueLength - maskLength;
        end = begin + count;
    } else {
        end = valueLength - (maskLength - 1 - last);
    }
    begin = std::clamp(begin, 0L, valueLength);
    end = std::clamp(end, begin, valueLength);
    // Character indexes to byte offsets.
    std::size_t beginByte = value.size();
    std::size_t endByte = value.size();
    long index = 0;
    for (std::size_t position = 0; position < value.size(); ++index) {
        if (index == begin)
            beginByte = position;
        if (index == end) {
            endByte = position;
            break;
        }
        position += trv::CharacterSize(value, position);
    }
    return value.substr(beginByte, endByte - beginByte);
}

std::string ExtractByMask(char placeholder, std::string_view value, std::string_view mask)
{
    return std::string(ExtractByMaskView(placeholder, value, mask));
}

void FillMask(std::string& value, std::string& mask, char placeholder)
{
    const std::size_t lastPlaceholder = mask.rfind(placeholder);
    if (lastPlaceholder == npos) {
        mask = value;
        return;
    }
    const std::size_t count = static_cast<std::size_t>(CountChar(placeholder, mask));
    const std::size_t length = trv::Length(value);
    if (length < count)
        value = trv::PadLeft(value, count, '0');
    else if (length > count && count > 1)
        value = trv::Right(value, count);
    mask.insert(lastPlaceholder + 1, value);
    mask.erase(std::remove(mask.begin(), mask.end(), placeholder), mask.end());
}

std::string JoinNameAndDetail(std::string_view detail, std::string_view name, int width)
{
    const std::string_view trimmedDetail = trv::Trim(detail);
    const std::string_view trimmedName = trv::Trim(name);
    if (trimmedName.empty())
        return std::string(trimmedDetail);
    if (trimmedDetail.empty())
        return std::string(trimmedName);
    if (width == -1)
        return std::string(trimmedName) + " (" + std::string(trimmedDetail) + ")";

    const long limit = std::max(width, 0);
    const std::string cutName = trv::Left(trimmedName, static_cast<std::size_t>(limit));
    const long nameLength = static_cast<long>(trv::Length(cutName));
    const long room = limit - nameLength - 3;
    if (room <= 0)
        return cutName;
    if (static_cast<long>(trv::Length(trimmedDetail)) > room) {
        if (room <= 3)
            return cutName;
        const std::size_t detailWidth = static_cast<std::size_t>(limit - nameLength - 6);
        return cutName + " (" + trv::Left(trimmedDetail, detailWidth) + "...)";
    }
    return cutName + " (" + std::string(trimmedDetail) + ")";
}

// ---- Times, dates and distances -----------------------------------------------------------

std::string MinutesToTimeText(int minutes, std::string_view format)
{
    if (minutes == kUnsetTime)
        return {};
    const int minuteOfDay = ((minutes % 1440) + 1440) % 1440;
    trv::OleDate time;
    time.SetTime(minuteOfDay / 60, minuteOfDay % 60, 0);
    return time.Format(format);
}

std::string FormatTimeWithDayOffset(int minutes, std::string_view format, int days)
{
    return trv::FormatC("%s (+%d)", MinutesToTimeText(minutes, format).c_str(), days);
}

std::string FormatTimeOfDay(int minutes, std::string_view pattern)
{
    std::string text(pattern);
    trv::ReplaceAllInPlace(text, "%H", trv::FormatC("%02d", minutes / 60));
    trv::ReplaceAllInPlace(text, "%I", trv::FormatC("%02d", (minutes % 1440) / 60 % 12));
    trv::ReplaceAllInPlace(text, "%M", trv::FormatC("%02d", minutes % 60));
    trv::ReplaceAllInPlace(text, "%S", "00");
    return text;
}

int TimeTextToMinutes(std::string_view text)
{
    const trv::OleDate time = trv::OleDate::ParseTime(text);
    if (!time.IsValid())
        return 0;
    return time.GetHour() * 60 + time.GetMinute();
}

int HhmmTextToInt(std::string_view text)
{
    const std::size_t colon = text.find(':');
    const int hours = trv::ParseInt(text.substr(0, colon));
    const int minutes = colon == npos ? 0 : trv::ParseInt(text.substr(colon + 1));
    return hours * 100 + minutes;
}

std::string IntToHhmmText(int hhmm)
{
    return trv::FormatC("%02d:%02d", hhmm / 100, hhmm % 100);
}

namespace {

int ApproximateDayNumber(std::string_view date)
{
    const int day = trv::ParseInt(date.substr(0, 2));
    const int month = date.size() > 2 ? trv::ParseInt(date.substr(2, 2)) : 0;
    return day + 30 * month + month / 2 - 32 + (month > 8 ? 1 : 0);
}

int YearOf(std::string_view date)
{
    return trv::ParseInt(date.size() > 4 ? date.substr(date.size() - 4) : std::string_view());
}

} // namespace

int DaysBetweenDates(std::string_view dateA, std::string_view dateB)
{
    return ApproximateDayNumber(dateB) - ApproximateDayNumber(dateA) +
           365 * (YearOf(dateB) - YearOf(dateA));
}

double GreatCircleDistanceKm(const CDoublePoint& from, const CDoublePoint& to)
{
    constexpr double kDegreesToRadians = 0.017453292519943295;
    const double latitudeFrom = from.y * kDegreesToRadians;
    const double latitudeTo = to.y * kDegreesToRadians;
    const double longitudeDifference = (to.x - from.x) * kDegreesToRadians;
    const double cosine =
        std::sin(latitudeFrom) * std::sin(latitudeTo) +
        std::cos(latitudeFrom) * std::cos(latitudeTo) * std::cos(longitudeDifference);
    return std::acos(std::clamp(cosine, -1.0, 1.0)) * 6378.0;
}

// ---- Process and file-system utilities ----------------------------------------------------

bool SetProcessThreadsPriority(int processId)
{
    std::error_code error;
    std::filesystem::directory_iterator threads("/proc/" + std::to_string(processId) + "/task",
                                                error);
    if (error)
        return false;
    for (const auto& entry : threads) {
        const id_t threadId = static_cast<id_t>(trv::ParseInt(entry.path().filename().string()));
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, threadId);
        if (errno == 0 && nice < 0)
            setpriority(PRIO_PROCESS, threadId, kBelowNormalNice);
    }
    return true;
}

void BorrarCacheIE(const std::string& url)
{
    TRV_TRACE(2, "BorrarCacheIE", "No Se ha encontrado el elemento [%s] en la caché", url.c_str());
}

bool GrantEveryoneAccess(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool OpenUrlInBrowser(const std::string& target)
{
    std::string program = "xdg-open";
    char* arguments[] = {program.data(), const_cast<char*>(target.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ) != 0)
        return false;
    // Reap the opener when it ends; nobody waits for the browser.
    std::thread([child] {
        int status = 0;
        waitpid(child, &status, 0);
    }).detach();
    return true;
}

namespace {

bool IsPrintable(unsigned char character)
{
    return character >= kPrintableFirst && character <= kPrintableLast;
}

} // namespace

int ScrambleText(char* buffer, int length)
{
    for (int index = 0; index < length; ++index) {
        const unsigned char character = static_cast<unsigned char>(buffer[index]);
        // Bytes outside printable ASCII stay as they are, so every text comes back whole.
        if (!IsPrintable(character))
            continue;
        int shifted = character + (index % 2 == 0 ? kScrambleEvenShift : kScrambleOddShift);
        if (shifted > kPrintableLast)
            shifted -= kPrintableCount;
        buffer[index] = static_cast<char>(shifted);
    }
    return length;
}

int UnscrambleText(char* buffer, int length)
{
    for (int index = 0; index < length; ++index) {
        const unsigned char character = static_cast<unsigned char>(buffer[index]);
        if (!IsPrintable(character))
            continue;
        int shifted = character - (index % 2 == 0 ? kScrambleEvenShift : kScrambleOddShift);
        if (shifted < kPrintableFirst)
            shifted += kPrintableCount;
        buffer[index] = static_cast<char>(shifted);
    }
    return length;
}

int ClampToBounds(int value, int minimum, int maximum, int noBound)
{
    if (minimum != noBound && value < minimum)
        value = minimum;
    if (maximum != noBound && value > maximum)
        value = maximum;
    return value;
}
