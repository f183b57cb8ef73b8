#pragma once

#include <string>

// Paths of the parameter files: process-wide texts set once by the application at start-up
// from "FileNames.ini" and only read by the parameters. An empty OverrideParamsFilePath means
// that no key is overridden; an empty ParamsFilePath skips the parameters file where a reader
// tests it.

extern std::string ParamsFilePath;         // the company's parameters file ("Params.ini")
extern std::string OverrideParamsFilePath; // the maker's override file ("Params-Corvane.ini")
extern std::string ShowParamsFilePath;     // the allowed-keys file ("ShowParams.ini")
extern std::string PntTableFilePath;       // the standard penalty file ("TablaPen.txt")
extern std::string CustomPntTableFilePath; // the company's penalty file ("CustomTablaPen.txt")
extern std::string SpeedTableFilePath;     // the road-speed table ("SpeedTable.ini")
extern std::string SchedulerIniFilePath;   // the configuration file ("Config.ini")
extern std::string SystemProfilesDir;      // folder of the maker's profiles, with a final '/'
extern std::string UserProfilesDir;        // folder of the company's own profiles
extern std::string CustomerLabelsFilePath; // caption overrides read with the profile ("Labels.ini")
extern std::string ColumnsFilePath;        // the dialogs' column layouts ("Columns.ini")

// The configuration file: SchedulerIniFilePath, or "Config.ini" beside the program when empty.
std::string ConfigurationFile();

// The columns file of a program folder: "ColumnsFile" of [FileNames] in its "FileNames.ini"
// (default "Columns.ini"), found whatever its letter case; the path to create when missing.
std::string ColumnsFileInFolder(const std::string& folder);

// Empties every path above (tests start clean).
void ResetParameterFilePaths();

// The language id of the captions: the parameters file's, else the configuration file's, else
// the language selected in the dictionary settings (-1 means "not set" at each step).
int GetLanguageID();
