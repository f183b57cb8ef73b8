#pragma once

#include "KLV/Geodesy.h"
#include "containers/SmartArray.h"

#include <cstdint>
#include <string>
#include <string_view>

// Text, date, file and process helpers of the in-house library.
//
// Texts are UTF-8. Token cutting works on bytes (separators and markers are whole texts, so a
// UTF-8 sequence is never cut); every helper that cuts, pads or counts for a width counts
// characters. Positions taken and given by the token helpers are byte offsets.
//
// "Cut" means: the token is returned and removed from the text together with the separator
// that ended it.

// ---- Token cutting and splitting ----------------------------------------------------------

// Cuts the text before the first separator found from `start`; with no separator returns the
// whole text and empties it. Quote-aware: a separator inside a closed pair of double (or
// single) quotes does not count; the quotes stay in the token.
std::string ExtractToken(std::string& text, std::string_view separator, int start = 0,
                         bool quoteAware = false);

// Cuts the text before the first occurrence of the character.
std::string ExtractTokenAtChar(char separator, std::string& text);

// Cuts the next field, which may be enclosed by the markers ("x,y" with quotes as markers).
std::string ExtractDelimitedToken(std::string& text, std::string_view separator,
                                  std::string_view opening, std::string_view closing);

// ExtractDelimitedToken with the same marker opening and closing the field.
std::string ExtractQuotedField(std::string& text, std::string_view separator,
                               std::string_view marker);

// Splits a whole line into fields enclosed or not by the marker. A line ending with the
// separator gets an empty last field; an empty line gives one empty field only when
// `emptyLineField` is set, else none.
void SplitDelimitedFields(std::string_view line, CSmartStringArray& fields,
                          std::string_view separator, std::string_view marker, bool emptyLineField);

// Like SplitDelimitedFields without markers or quotes.
void SplitString(std::string_view text, CSmartStringArray& items, std::string_view separator,
                 bool emptyTextItem);

// Cuts the shortest leading token among all separators (markers optional); reports the
// separator that ended it (empty on a tie). With no separator in the text: the whole text,
// trimmed, and the text becomes empty.
std::string ExtractTokenAtAnySeparator(const CSmartStringArray& separators, std::string& text,
                                       std::string& foundSeparator, std::string_view opening = {},
                                       std::string_view closing = {});

// `count` times removes the text up to and including the first separator (all of it when the
// separator is missing).
void RemoveLeadingTokens(std::string& text, int count, std::string_view separator);

// The items joined with the separator, empty items left out when asked.
std::string JoinStrings(const CSmartStringArray& items, std::string_view separator, bool skipEmpty);

// Appends every text of a list of zero-terminated texts ended by an empty text.
void MultiStringToArray(CSmartStringArray& items, const char* list);

// The next text of a zero-terminated list, advancing through it. The list is the one of the
// first call in the process; later calls ignore their argument. Empty at the end.
std::string GetNextMultiString(const char* list);

// ---- Counting, searching and testing ------------------------------------------------------

int CountChar(char character, std::string_view text);

// Occurrences of `substring` starting between `start` and `last` (inclusive, byte offsets),
// those inside double or single quotes skipped when `quoteAware` is set.
int CountOutsideQuotes(bool quoteAware, int start, std::string_view substring,
                       std::string_view text, int last);

// Index of the first item equal to the text (case-sensitive), -1 when none.
int FindStringInArray(const CSmartStringArray& items, std::string_view text);

// Same count, and every item of `b` is somewhere in `a` (case-sensitive).
bool StringArraysEqual(const CSmartStringArray& a, const CSmartStringArray& b);

// The text's length when it is digits with at most one "." and a "-" only in front; else 0.
int IsNumeric(std::string_view text);
// Holds "/" or "-", and every piece before one of them is numeric.
bool IsDateLikeText(std::string_view text);
// Holds ":", and every ":"-separated piece is numeric.
bool IsTimeLikeText(std::string_view text);

bool IsAsciiLetter(char character);
bool IsAsciiDigit(char character);
bool IsAsciiAlnum(char character);
// False for the nine characters " * / : < > ? \ and |.
bool IsValidFileNameChar(char character);
// The text is exactly that one character.
bool IsSingleCharString(std::string_view text, char character);
// Value of the hexadecimal digits (0 for an empty text); reading stops at another character.
unsigned int HexTextToInt(std::string_view text);

// The value raised to the minimum and lowered to the maximum; a bound equal to `noBound` leaves
// that side open.
int ClampToBounds(int value, int minimum, int maximum, int noBound = -1);

// ---- Text conversions ---------------------------------------------------------------------

// Á É Í Ó Ú á é í ó ú become A E I O U a e i o u; nothing else changes.
void StripAccents(std::string& text);
std::string StripAccentsText(std::string_view text);

// Percent-encodes every byte outside the unreserved set A-Z a-z 0-9 - _ . ~ by its value.
void UrlEncode(std::string& text);

// Copy with every character for which IsValidFileNameChar is false replaced.
std::string ReplaceInvalidFileNameChars(char replacement, std::string_view text);

// The text before the last "."; the whole text when there is none.
std::string RemoveExtension(std::string_view fileName);
// The text after the last "\" or "/"; the whole text when there is none.
std::string GetFileNameFromPath(std::string_view path);
// The text up to and including the last "\" or "/"; the whole text when there is none.
std::string GetFolderFromPath(std::string_view path);

// Removes trailing CR, LF and blanks.
void TrimLineEnd(std::string& text);

// Colours are COLORREF values: red in the low byte.
using ColorRef = std::uint32_t;
inline constexpr ColorRef MakeRgb(int red, int green, int blue)
{
    return static_cast<ColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
// "%02X%02X%02X" of red, green, blue.
std::string ColorToHex(ColorRef colour);
// "RGB(r,g,b)" to a colour.
ColorRef ParseRgbText(std::string_view text);

// The characters of the value under the mask's run of placeholders, value and mask aligned on
// their right ends (characters, not bytes).
std::string ExtractByMask(char placeholder, std::string_view value, std::string_view mask);
// The same characters as a view into the value (no allocation).
std::string_view ExtractByMaskView(char placeholder, std::string_view value, std::string_view mask);

// Writes the value (padded with "0" on the left, or cut to its last K characters) into the
// mask's run of K placeholders; the mask holds the result, the value the text written.
void FillMask(std::string& value, std::string& mask, char placeholder);

// name + " (" + detail + ")" within `width` characters (-1: no limit), the detail cut with
// "..." or left out when there is no room.
std::string JoinNameAndDetail(std::string_view detail, std::string_view name, int width);

// ---- Times, dates and distances -----------------------------------------------------------

// Minutes from midnight; this marks an unset time (0x80000000, as stored files write it).
inline constexpr int kUnsetTime = INT32_MIN;
// An empty item of an integer list: the unset time's bits, but no time is meant.
inline constexpr int kEmptyListItem = kUnsetTime;
// A requirement whose field is missing or empty: compatible with every value.
inline constexpr int kAnyRequirementValue = 3141592;

// The minutes (wrapped into a day) as a time on the zero date, formatted with an OleDate
// pattern ("%H:%M"); empty for the unset time.
std::string MinutesToTimeText(int minutes, std::string_view format);
// MinutesToTimeText followed by " (+days)".
std::string FormatTimeWithDayOffset(int minutes, std::string_view format, int days);
// The pattern with %H (hours, not reduced to a day), %I, %M and %S replaced.
std::string FormatTimeOfDay(int minutes, std::string_view pattern);
// A time text ("HH:MM[:SS]") to minutes from midnight; 0 when it is not a time.
int TimeTextToMinutes(std::string_view text);
// "hh:mm" to hh × 100 + mm.
int HhmmTextToInt(std::string_view text);
// hhmm to "%02d:%02d".
std::string IntToHhmmText(int hhmm);
// The approximate days from date A to date B (both "DDMMYYYY"); divided by 365 for years.
int DaysBetweenDates(std::string_view dateA, std::string_view dateB);
// Great-circle distance in km on a sphere of radius 6378 (x longitude, y latitude, degrees).
double GreatCircleDistanceKm(const CDoublePoint& from, const CDoublePoint& to);

// ---- Process and file-system utilities ----------------------------------------------------

// Lowers every thread of the process running above normal priority to below normal; false when
// the thread list cannot be read.
bool SetProcessThreadsPriority(int processId);

// The program fetches through libcurl, which keeps no URL cache: there is never an entry to
// remove, and that is traced as the Windows program traced a missing entry.
void BorrarCacheIE(const std::string& url);

// Downloaded files need no permission changes on Linux: the file keeps its permissions.
// True when the file exists.
bool GrantEveryoneAccess(const std::string& path);

// Opens a document or an address with the desktop's associated program (xdg-open), without
// waiting; false when it could not be started.
bool OpenUrlInBrowser(const std::string& target);

// Reversible obfuscation of printable ASCII (32-126) in place; returns `length`. Not
// encryption: it only keeps a password from being read at a glance.
int ScrambleText(char* buffer, int length);
int UnscrambleText(char* buffer, int length);
