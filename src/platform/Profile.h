#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// INI files read and written with the semantics the program's configuration relies on:
//
// - Section and key names match whatever their letter case (ASCII and Latin-1 letters).
// - The first matching section and, inside it, the first matching key win.
// - Blanks around names and values are trimmed; a value enclosed in a pair of the same quote
//   character (" or ') loses the quotes.
// - Lines starting with ';' are comments; a key is the text before the first '=' of a line.
// - A missing file, section or key gives the caller's default.
// - File names are found whatever their letter case ("config.ini" finds "Config.ini").
//
// Parsed files are cached and parsed again only when the file changed on disk, so reading
// hundreds of keys costs one parse. Writes change one line and keep every other byte of the
// file; they go to a temporary file that then replaces the original, so a crash never leaves
// half a file. Files that are not UTF-8 are read as Windows-1252 and written back in it.
// Every function may be called from any thread.

namespace trv {

// The value of the key, or `defaultValue` when the file, section or key is missing.
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::string_view file);

// True and the value when the key exists (its value may be empty).
bool FindProfileString(std::string_view section, std::string_view key, std::string_view file,
                       std::string& value);

// The key's value as a decimal integer (an optional sign, then digits; reading stops at the
// first other character, no digits give 0); `defaultValue` when the key is missing or empty.
int GetProfileInt(std::string_view section, std::string_view key, int defaultValue,
                  std::string_view file);

// The lines of the section in file order: "key=value" with both parts trimmed, or the trimmed
// line itself when it holds no '='. Blank lines and comments are left out. False (and no
// entries) when the file or the section is missing.
bool GetProfileSection(std::string_view section, std::string_view file,
                       std::vector<std::string>& entries);

// Sets the key's value, adding the key (and the section, and the file) when missing. False
// when the file cannot be written or when a name or value would break the file's lines (a
// line break in any of them, '=' in the key, ']' in the section name).
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        std::string_view file);

// Sets several keys of one section as WriteProfileString would, in one replacement of the
// file: a reader never sees some of the keys written and others not, and a long list costs
// one write. Other keys and lines of the section stay. False, and the file untouched, when any
// key or value could not be written alone.
bool WriteProfileSection(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keys,
                         std::string_view file);

// Removes the first line of the section that defines the key. True when the file is as asked
// afterwards (a missing key is no error); false when it cannot be written.
bool DeleteProfileKey(std::string_view section, std::string_view key, std::string_view file);

// Removes the section, from its header to the next one. True when the file is as asked
// afterwards; false when it cannot be written.
bool DeleteProfileSection(std::string_view section, std::string_view file);

// Removes every line of the section that holds '=' (lines without one and comments stay).
// True when the file is as asked afterwards; false when it cannot be written.
bool DeleteProfileSectionKeys(std::string_view section, std::string_view file);

// Forgets every parsed file; the next read parses again.
void ClearProfileCache();

} // namespace trv
