#pragma once

#include <string>

// Standard folders and file helpers. Folders end with '/'.

// The program folder (where the bundled configuration lives): $TREVANTOR_HOME when set, else
// the executable's folder.
std::string GetExeFolder();

// The executable's file name without its folder.
std::string GetExeFileName();

// The executable's file name without its folder and without the text from its last ".".
std::string GetExeBaseName();

// The machine's folder of shared program files ("/usr/lib"), without a trailing separator.
std::string GetCommonFilesFolder();

// The user's temporary folder ($TMPDIR, else /tmp); with `perProcess` equal to 1 followed by
// "Trevantor<pid>/". The folder is not created here.
std::string GetTempFolder(int perProcess);

// True when at least one file or folder matches the path or wildcard pattern.
bool FileExists(const std::string& pattern);

// Deletes every file matching the wildcard pattern; failures are ignored.
void DeleteFiles(const std::string& pattern);

// The map data folder: "MapPath0" of section "Locator" of "MapServ.cfg" in the current folder;
// empty when not configured.
std::string GetMapDataPath();

// The first folder matching "*.geo" in the map data folder, or empty.
std::string GetMapGeoFiles();
