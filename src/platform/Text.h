#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// Text helpers for the program's strings: std::string holding UTF-8.
//
// Files written by the Windows program are Windows-1252 (or code page 850 inside zip archives);
// they are converted to UTF-8 on reading. Casing and case-insensitive comparison know ASCII and
// the Latin-1 letters (plus the few letters Windows-1252 adds: Š Œ Ž Ÿ). Lengths, positions and
// widths count characters, never bytes, and never split a UTF-8 sequence. A byte that is not
// part of a valid sequence counts as one character of its own and is kept as it is.
//
// Numbers are formatted and parsed in the C locale whatever the process locale says.

namespace trv {

// ---- Encodings ---------------------------------------------------------------------------

// True when the text is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the control characters of the same value, as Windows converts them.
std::string Cp1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252; false (out holds the convertible part, '?' in place of the others)
// when a character has no Windows-1252 form.
bool Utf8ToCp1252(std::string_view utf8, std::string& out);

// Code page 850 (the DOS code page zip archives store names in) to UTF-8.
std::string Cp850ToUtf8(std::string_view text);

// UTF-8 to code page 850; false (out holds the convertible part, '?' in place of the others)
// when a character has no code page 850 form.
bool Utf8ToCp850(std::string_view utf8, std::string& out);

// The text of a file's bytes: valid UTF-8 (a byte-order mark removed) as it is, anything else
// read as Windows-1252.
std::string DecodeFileText(std::string_view bytes);

// The bytes of an open file from its current position to its end, in one allocation when its
// size is known; false on a read error.
bool ReadRemainingBytes(std::FILE* file, std::string& bytes);

// The whole file as bytes; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Reads a whole file and decodes it with DecodeFileText; false when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& text);

// Replaces every occurrence of `word` in place, going on after each inserted value (so a value
// holding the word is not replaced again). An empty word changes nothing.
void ReplaceAllInPlace(std::string& text, std::string_view word, std::string_view value);

// ---- Characters --------------------------------------------------------------------------

// Decodes the character starting at byte `position` and advances `position` past it. A byte
// that does not start a valid sequence is returned as its own value (0x80-0xFF) and skipped.
char32_t DecodeUtf8(std::string_view text, std::size_t& position);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t codePoint);

// Number of bytes of the character starting at `position` (1 for an invalid byte, 0 at the end).
std::size_t CharacterSize(std::string_view text, std::size_t position);

// ---- Casing ------------------------------------------------------------------------------

char32_t ToUpperChar(char32_t codePoint);
char32_t ToLowerChar(char32_t codePoint);
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);

// Three-way comparison ignoring the case of ASCII and Latin-1 letters (<0, 0, >0), comparing
// lower-cased code points in order, as the C library's case-insensitive compare does for ASCII.
int CompareNoCase(std::string_view left, std::string_view right);
bool EqualsNoCase(std::string_view left, std::string_view right);

// ---- Character counting ------------------------------------------------------------------

// Number of characters.
std::size_t Length(std::string_view text);

// Byte offset of the character at index `characterIndex` (the text's size when beyond the end).
std::size_t ByteOffset(std::string_view text, std::size_t characterIndex);

// The first `count` characters.
std::string Left(std::string_view text, std::size_t count);

// `count` characters from character index `start` (to the end by default).
std::string Mid(std::string_view text, std::size_t start, std::size_t count = std::string::npos);

// The last `count` characters.
std::string Right(std::string_view text, std::size_t count);

// The text filled with `fill` up to `width` characters: on the right (PadRight) or on the left
// (PadLeft). A longer text stays whole.
std::string PadRight(std::string_view text, std::size_t width, char fill = ' ');
std::string PadLeft(std::string_view text, std::size_t width, char fill = ' ');

// The text cut to at most `width` characters, then filled on the right up to it.
std::string FitWidth(std::string_view text, std::size_t width, char fill = ' ');

// The text as XML character data or an attribute value: & < > " written as entities.
std::string XmlEscape(std::string_view text);

// Blanks, tabs, CR and LF removed from the start, the end or both.
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);
std::string_view Trim(std::string_view text);

// ---- Locale-independent numbers ----------------------------------------------------------

// printf into a std::string, always in the C locale ("%f" writes a point, never a comma).
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatCV(const char* format, va_list arguments);

// "%.*f" of the value in the C locale ("%f" is FormatDouble(value, 6)).
std::string FormatDouble(double value, int decimals = 6);
// "%d" / "%lld".
std::string FormatInt(long long value);

// Like atof/atoi in the C locale: leading blanks skipped, the longest numeric prefix read,
// 0 when there is none. Integers saturate instead of overflowing.
double ParseDouble(std::string_view text);
int ParseInt(std::string_view text);
long long ParseInt64(std::string_view text);

// Strict forms: the whole text (blanks around it allowed) must be the number.
bool TryParseDouble(std::string_view text, double& value);
bool TryParseInt(std::string_view text, int& value);

} // namespace trv
