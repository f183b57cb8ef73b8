#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// File-system helpers of the zip classes. Attributes are in the Windows form the archives
// carry: 0x01 read-only, 0x02 hidden, 0x10 folder, 0x20 archive.
namespace ZipPlatform {

inline constexpr std::uint32_t kDefaultFolderAttributes = 0x41FF0010;
inline constexpr std::uint32_t kDefaultFileAttributes = 0x81A40020;
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeFolder = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

// Creates the folder with every missing parent; true when it exists afterwards.
bool ForceDirectory(const std::string& path);

// 0 missing, 1 exists but is not a folder, -1 a folder.
int GetPathKind(const std::string& path);

std::string GetCurrentFolder();

// Free bytes on the file system of the path; 0 when unknown.
std::uint64_t GetDeviceFreeSpace(const std::string& path);

// Removable media are not told apart on this system: always false, so spanning over removable
// disks is refused as a non-removable device.
bool IsDriveRemovable(const std::string& path);

bool SetVolumeLabel(const std::string& path, const std::string& label);

// Deletes a file; on failure throws "Error while removing a file" (113) when asked, else false.
bool RemoveFile(const std::string& path, bool throwOnError = true);

// Moves a file; on failure throws "Error while renaming a file" (114) with the old path.
bool RenameFile(const std::string& oldPath, const std::string& newPath, bool throwOnError = true);

// Access time now, modification time `time` (now when -1).
bool SetFileModTime(const std::string& path, std::time_t time);
bool GetFileModTime(const std::string& path, std::time_t& time);

bool GetFileAttr(const std::string& path, std::uint32_t& attributes);
bool SetFileAttr(const std::string& path, std::uint32_t attributes);

bool GetFileSize(const std::string& path, std::uint64_t& size);

// A new unique file "ZAR..." in the first of: the folder, the system temporary folder, the
// current folder, that has `needed` bytes free; empty when none has.
std::string GetTempFileName(const std::string& folder, std::uint64_t needed);

// The DOS date and time of a time value read as local time, and back.
void TimeToDos(std::time_t time, std::uint16_t& dosDate, std::uint16_t& dosTime);
std::time_t DosToTime(std::uint16_t dosDate, std::uint16_t dosTime);

// Windows attributes as a Unix-made entry stores them: the Unix mode in the high 16 bits, the
// Windows attributes kept in the low 16.
std::uint32_t WindowsToUnixAttributes(std::uint32_t attributes);

} // namespace ZipPlatform
