#pragma once

#include "containers/SmartArray.h"

#include <string>
#include <unordered_map>
#include <vector>

// The configuration is read key by key from INI files, with the default given at each call.
// Section and key names match whatever their letter case; see platform/Profile.h for the file
// rules. Integers are read with trv::GetProfileInt directly.

using IniTextMap = std::unordered_map<std::string, std::string>;

// The key's value (at most 9999 characters), or the default when the key or file is missing.
std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& file, const std::string& defaultValue);

// The key's value read as a C-locale number ("2,5" reads as 2, a word as 0); the default when
// the value is missing or empty.
float ReadIniFloat(const std::string& section, const std::string& key, const std::string& file,
                   float defaultValue);

// Writes "%d" / "%f" (six decimals, C locale); true when the file was written.
bool WriteIniInt(int value, const std::string& section, const std::string& key,
                 const std::string& file);
bool WriteIniFloat(float value, const std::string& section, const std::string& key,
                   const std::string& file);

// Deletes every key of the section (each line holding "="); other lines stay.
void ClearIniSection(const std::string& section, const std::string& file);

// Fills `result` from the section of every file in order: the first file that defines a name
// wins, and inside one file its first line. Each entry is split at its first "=" (an entry
// without one has an empty name and the whole entry as value). In the name, then the value,
// every #NAME# whose constant is in `constants` with a non-empty value is replaced by it; a
// missing constant is traced once per call and left as it is. Unless `keepExisting` is set
// the map is emptied first (and sized for `hashSize` names); a name kept from before the call
// is overwritten by this call's first definition. Always returns true.
bool ReadIniSection(const CSmartStringArray& files, IniTextMap& result, const std::string& section,
                    int hashSize, bool keepExisting, const IniTextMap& constants);
bool ReadIniSection(const std::vector<std::string>& files, IniTextMap& result,
                    const std::string& section, int hashSize, bool keepExisting,
                    const IniTextMap& constants);
