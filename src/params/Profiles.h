#pragma once

#include "containers/SmartArray.h"

#include <string>

// Parameter profiles: small INI files named after the profile with the extension ".INI", in
// the system profiles folder or, failing that, the user profiles folder. Section "Parameters"
// holds the problem-type flags, "Names" and "Descriptions" the profile's texts per language id,
// "Ratios" free key=value lines and "Captions <language id>" dictionary overrides. These read
// and write one given profile file.

// The profile's name or description for the language; the text of language 1 when the
// language has none.
std::string GetProfileName(int languageId, const std::string& profileFile);
std::string GetProfileDescription(int languageId, const std::string& profileFile);
bool SetProfileName(int languageId, const std::string& profileFile, const std::string& text);
bool SetProfileDescription(int languageId, const std::string& profileFile, const std::string& text);

// One problem-type flag of section "Parameters" ("LoadingProblem", "Tanks" ...) with the
// absent value the flag has; "VehicleType" takes `vehicleTypeAbsent`. -1 for a key that is no
// profile flag.
int GetProfileFlag(const std::string& profileFile, const std::string& key,
                   int vehicleTypeAbsent = 1);
// Writes one flag "%d"; false for a key that is no writable flag or when the write fails.
bool SetProfileFlag(const std::string& profileFile, const std::string& key, int value);

// "Toolbar" (absent "Standard") and the lines of "Ratios".
std::string GetProfileToolbar(const std::string& profileFile);
void GetProfileRatios(const std::string& profileFile, CSmartStringArray& ratios);
