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

// Process creation flags and show modes as the Windows program passed them; only the priority
// class has an effect here.
constexpr unsigned CREATE_NO_WINDOW = 0x08000000;
constexpr unsigned NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr unsigned IDLE_PRIORITY_CLASS = 0x00000040;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

// Starts the program with the arguments (split at blanks, double quotes grouping) at the lowest
// priority, its standard streams on /dev/null. Returns its process id, which the caller waits
// on (trv::WaitForProcess); 0 when it cannot start, or when `closeHandle` is set (nobody waits:
// it is reaped when it ends).
int StartProcess(bool closeHandle, const std::string& program, const std::string& arguments);

// Starts the program followed by the arguments, every "%*" removed, at idle priority when the
// creation flags ask for it; waits for its end when asked. `program` may be a whole command line
// (an associated program's command). True when it started.
bool RunProgram(int showMode, unsigned creationFlags, const std::string& program,
                const std::string& arguments, bool wait);
