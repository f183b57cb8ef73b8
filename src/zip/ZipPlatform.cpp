#include "zip/ZipPlatform.h"

#include "zip/ZipException.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace ZipPlatform {

namespace {

std::string WithoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

std::string ParentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

bool ForceDirectory(const std::string& folder)
{
    const std::string path = WithoutTrailingSeparators(folder);
    if (path.empty() || path == "/") {
        return true;
    }
    const int kind = GetPathKind(path);
    if (kind == -1) {
        return true;
    }
    if (kind == 1) {
        return false;
    }
    const std::string parent = ParentOf(path);
    if (!parent.empty() && !ForceDirectory(parent)) {
        return false;
    }
    return ::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && GetPathKind(path) == -1);
}

int GetPathKind(const std::string& path)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0) {
        return 0;
    }
    return S_ISDIR(status.st_mode) ? -1 : 1;
}

std::string GetCurrentFolder()
{
    std::vector<char> buffer(4096);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return {};
    }
    return buffer.data();
}

std::uint64_t GetDeviceFreeSpace(const std::string& path)
{
    struct statvfs status
    {
    };
    if (::statvfs(path.c_str(), &status) != 0) {
        return 0;
    }
    return std::uint64_t(status.f_bavail) * status.f_frsize;
}

bool IsDriveRemovable(const std::string&)
{
    return false;
}

bool SetVolumeLabel(const std::string&, const std::string&)
{
    return false;
}

bool RemoveFile(const std::string& path, bool throwOnError)
{
    if (::unlink(path.c_str()) == 0) {
        return true;
    }
    if (throwOnError) {
        throw CZipException(CZipException::removeFailed, path);
    }
    return false;
}

bool RenameFile(const std::string& oldPath, const std::string& newPath, bool throwOnError)
{
    if (std::rename(oldPath.c_str(), newPath.c_str()) == 0) {
        return true;
    }
    if (throwOnError) {
        throw CZipException(CZipException::renameFailed, oldPath);
    }
    return false;
}

bool SetFileModTime(const std::string& path, std::time_t time)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    if (time == std::time_t(-1)) {
        times[1].tv_sec = 0;
        times[1].tv_nsec = UTIME_NOW;
    } else {
        times[1].tv_sec = time;
        times[1].tv_nsec = 0;
    }
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool GetFileModTime(const std::string& path, std::time_t& time)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    time = status.st_mtime;
    return true;
}

bool GetFileAttr(const std::string& path, std::uint32_t& attributes)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    attributes = S_ISDIR(status.st_mode) ? kAttributeFolder : kAttributeArchive;
    if (!(status.st_mode & S_IWUSR)) {
        attributes |= kAttributeReadOnly;
    }
    return true;
}

bool SetFileAttr(const std::string& path, std::uint32_t attributes)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    mode_t mode = status.st_mode & 07777;
    if (attributes & kAttributeReadOnly) {
        mode &= ~mode_t(0222);
    } else {
        mode |= S_IWUSR;
    }
    if (mode == (status.st_mode & 07777)) {
        return true;
    }
    return ::chmod(path.c_str(), mode) == 0;
}

bool GetFileSize(const std::string& path, std::uint64_t& size)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        return false;
    }
    size = std::uint64_t(status.st_size);
    return true;
}

std::string GetTempFileName(const std::string& folder, std::uint64_t needed)
{
    std::vector<std::string> candidates;
    if (!folder.empty()) {
        candidates.push_back(folder);
    }
    const char* temporary = std::getenv("TMPDIR");
    candidates.push_back(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp");
    candidates.push_back(GetCurrentFolder());
    for (const std::string& candidate : candidates) {
        if (candidate.empty() || GetPathKind(candidate) != -1 ||
            GetDeviceFreeSpace(candidate) < needed) {
            continue;
        }
        std::string pattern = WithoutTrailingSeparators(candidate) + "/ZARXXXXXX";
        const int descriptor = ::mkstemp(pattern.data());
        if (descriptor >= 0) {
            ::close(descriptor);
            return pattern;
        }
    }
    return {};
}

void TimeToDos(std::time_t time, std::uint16_t& dosDate, std::uint16_t& dosTime)
{
    struct tm local
    {
    };
    if (::localtime_r(&time, &local) == nullptr) {
        dosDate = 0;
        dosTime = 0;
        return;
    }
    const int year = local.tm_year + 1900;
    const int yearBits = year > 1980 ? year - 1980 : 0;
    dosDate = std::uint16_t(yearBits * 512 + (local.tm_mon + 1) * 32 + local.tm_mday);
    dosTime = std::uint16_t(local.tm_hour * 2048 + local.tm_min * 32 + local.tm_sec / 2);
}

std::time_t DosToTime(std::uint16_t dosDate, std::uint16_t dosTime)
{
    struct tm local
    {
    };
    local.tm_year = (dosDate >> 9) + 80;
    local.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
    local.tm_mday = dosDate & 0x1F;
    local.tm_hour = dosTime >> 11;
    local.tm_min = (dosTime >> 5) & 0x3F;
    local.tm_sec = (dosTime & 0x1F) * 2;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::uint32_t WindowsToUnixAttributes(std::uint32_t attributes)
{
    std::uint32_t mode = (attributes & kAttributeFolder) ? 0040000 : 0100000;
    if (!(attributes & kAttributeHidden)) {
        mode |= 0444;
    }
    if (!(attributes & kAttributeReadOnly)) {
        mode |= 0220;
    }
    return (mode << 16) | (attributes & 0xFFFF);
}

} // namespace ZipPlatform
