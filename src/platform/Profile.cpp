#include "platform/Profile.h"

#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace trv {

namespace {

// One line of the file: where it starts, its length without the line end, its line end.
struct LineSpan
{
    std::size_t offset = 0;
    std::size_t length = 0;
    std::size_t endLength = 0;
};

struct ProfileEntry
{
    std::string key;   // trimmed; empty for a line without '='
    std::string value; // trimmed, quotes kept; the whole line for a line without '='
    std::size_t line = 0;
    bool hasEquals = false;
};

struct ProfileSection
{
    std::size_t headerLine = 0;
    std::size_t endLine = 0; // one past the section's last line
    std::vector<ProfileEntry> entries;
    std::unordered_map<std::string, std::size_t> keyIndex; // upper-cased key -> first entry
};

struct ProfileFile
{
    std::string raw;     // the file's bytes as they are on disk
    bool legacy = false; // not UTF-8: read and written as Windows-1252
    std::vector<LineSpan> lines;
    std::vector<ProfileSection> sections;
    std::unordered_map<std::string, std::size_t> sectionIndex; // upper-cased name -> first
};

using ProfileFilePtr = std::shared_ptr<const ProfileFile>;

// What identifies one version of a file on disk.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp& other) const
    {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct CacheEntry
{
    FileStamp stamp;
    timespec loadedAt{};
    ProfileFilePtr file;
};

// File time stamps advance in clock ticks, so two changes within one tick may leave the same
// stamp. A file changed this close to the moment it was parsed is parsed again at every read
// until the parse is clearly younger than the change.
constexpr long long kRacyWindowNanoseconds = 100'000'000;

std::mutex cacheMutex;
std::unordered_map<std::string, CacheEntry> cache;

// Serialises read-modify-write cycles of this process so no write is lost.
std::mutex writeMutex;
std::atomic<unsigned> temporaryCounter{0};

long long ToNanoseconds(const timespec& time)
{
    return static_cast<long long>(time.tv_sec) * 1'000'000'000LL + time.tv_nsec;
}

FileStamp StampOf(const struct stat& status)
{
    FileStamp stamp;
    stamp.device = status.st_dev;
    stamp.inode = status.st_ino;
    stamp.size = status.st_size;
    stamp.modified = status.st_mtim;
    stamp.changed = status.st_ctim;
    return stamp;
}

std::string FoldName(std::string_view name)
{
    return ToUpper(Trim(name));
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            ::close(descriptor);
            return false;
        }
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    return true;
}

std::vector<LineSpan> SplitLines(std::string_view raw)
{
    std::vector<LineSpan> lines;
    std::size_t offset = 0;
    while (offset < raw.size()) {
        const std::size_t newline = raw.find('\n', offset);
        LineSpan span;
        span.offset = offset;
        if (newline == std::string_view::npos) {
            span.length = raw.size() - offset;
            offset = raw.size();
        } else {
            span.length = newline - offset;
            span.endLength = 1;
            if (span.length > 0 && raw[newline - 1] == '\r') {
                --span.length;
                span.endLength = 2;
            }
            offset = newline + 1;
        }
        lines.push_back(span);
    }
    return lines;
}

void AddEntry(ProfileSection& section, std::string_view text, std::size_t line)
{
    ProfileEntry entry;
    entry.line = line;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        entry.value = std::string(text);
    } else {
        entry.hasEquals = true;
        entry.key = std::string(Trim(text.substr(0, equals)));
        entry.value = std::string(Trim(text.substr(equals + 1)));
        section.keyIndex.try_emplace(ToUpper(entry.key), section.entries.size());
    }
    section.entries.push_back(std::move(entry));
}

std::shared_ptr<ProfileFile> Parse(std::string raw)
{
    auto file = std::make_shared<ProfileFile>();
    file->raw = std::move(raw);
    file->legacy = !IsValidUtf8(file->raw);
    file->lines = SplitLines(file->raw);
    ProfileSection* current = nullptr;
    std::string decoded;
    for (std::size_t index = 0; index < file->lines.size(); ++index) {
        std::string_view text(file->raw.data() + file->lines[index].offset,
                              file->lines[index].length);
        if (index == 0 && text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        if (file->legacy) {
            decoded = Cp1252ToUtf8(text);
            text = decoded;
        }
        text = Trim(text);
        if (text.empty() || text.front() == ';')
            continue;
        if (text.front() == '[') {
            const std::size_t close = text.find(']');
            const std::string_view name = text.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            if (current)
                current->endLine = index;
            file->sectionIndex.try_emplace(FoldName(name), file->sections.size());
            file->sections.emplace_back();
            current = &file->sections.back();
            current->headerLine = index;
            continue;
        }
        if (current)
            AddEntry(*current, text, index);
    }
    if (current)
        current->endLine = file->lines.size();
    return file;
}

const ProfileSection* FindSection(const ProfileFile& file, std::string_view section)
{
    const auto found = file.sectionIndex.find(FoldName(section));
    return found == file.sectionIndex.end() ? nullptr : &file.sections[found->second];
}

const ProfileEntry* FindEntry(const ProfileSection& section, std::string_view key)
{
    const auto found = section.keyIndex.find(FoldName(key));
    return found == section.keyIndex.end() ? nullptr : &section.entries[found->second];
}

timespec Now()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

bool IsRacy(const CacheEntry& entry)
{
    return ToNanoseconds(entry.stamp.modified) >=
               ToNanoseconds(entry.loadedAt) - kRacyWindowNanoseconds ||
           ToNanoseconds(entry.stamp.changed) >=
               ToNanoseconds(entry.loadedAt) - kRacyWindowNanoseconds;
}

// The existing file the path names (letter case ignored when the exact name is missing) and
// its status; empty when there is none.
std::string LocateFile(std::string_view path, struct stat& status)
{
    std::string located(path);
    if (::stat(located.c_str(), &status) == 0)
        return S_ISREG(status.st_mode) ? located : std::string();
    located = FindPathNoCase(path);
    if (located.empty() || ::stat(located.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    return located;
}

// The parsed file, from the cache when the file did not change since it was parsed; null when
// the file is missing or unreadable.
ProfileFilePtr LoadProfile(std::string_view path)
{
    struct stat status
    {
    };
    const std::string located = LocateFile(path, status);
    if (located.empty())
        return nullptr;
    const FileStamp stamp = StampOf(status);
    std::lock_guard lock(cacheMutex);
    auto found = cache.find(located);
    if (found != cache.end() && found->second.stamp == stamp && !IsRacy(found->second))
        return found->second.file;
    CacheEntry entry;
    entry.loadedAt = Now();
    std::string raw;
    if (!ReadWholeFile(located, raw))
        return nullptr;
    // The stamp after reading: a change while reading then shows as a different stamp later.
    if (::stat(located.c_str(), &status) != 0)
        return nullptr;
    entry.stamp = StampOf(status);
    entry.file = Parse(std::move(raw));
    ProfileFilePtr file = entry.file;
    cache.insert_or_assign(located, std::move(entry));
    return file;
}

void ForgetProfile(const std::string& path)
{
    std::lock_guard lock(cacheMutex);
    cache.erase(path);
}

std::string_view LineEndOf(const ProfileFile& file)
{
    if (!file.lines.empty() && file.lines.front().endLength == 2)
        return "\r\n";
    return "\n";
}

// Text of our own for the file: UTF-8, or Windows-1252 for a legacy file. False when a legacy
// file cannot hold it.
bool EncodeForFile(const ProfileFile& file, std::string_view text, std::string& encoded)
{
    if (!file.legacy) {
        encoded = std::string(text);
        return true;
    }
    return Utf8ToCp1252(text, encoded);
}

// Writes the bytes to a new file beside the target and renames it over the target.
bool ReplaceFile(const std::string& path, const std::string& bytes)
{
    struct stat existing
    {
    };
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    const std::string temporary = path + ".~" + std::to_string(::getpid()) + "." +
                                  std::to_string(temporaryCounter.fetch_add(1));
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    if (exists)
        ::fchmod(descriptor, existing.st_mode & 07777);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            ::close(descriptor);
            ::unlink(temporary.c_str());
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    if (::close(descriptor) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// The file a write goes to: the existing one whatever its letter case (through a symbolic
// link to its target), else the path as given.
std::string WriteTarget(std::string_view path)
{
    std::string target = ResolvePathCase(path);
    std::error_code error;
    if (std::filesystem::is_symlink(target, error)) {
        const auto canonical = std::filesystem::canonical(target, error);
        if (!error)
            target = canonical.string();
    }
    return target;
}

// One change of a file: given the fresh parse, returns the new bytes, or false to leave the
// file untouched (`unchanged` set when nothing needs writing).
template <typename Change> bool ModifyProfile(std::string_view path, Change change)
{
    std::lock_guard lock(writeMutex);
    const std::string target = WriteTarget(path);
    std::string raw;
    struct stat status
    {
    };
    if (::stat(target.c_str(), &status) == 0 && !ReadWholeFile(target, raw))
        return false;
    std::shared_ptr<ProfileFile> file = Parse(std::move(raw));
    std::string bytes;
    bool unchanged = false;
    if (!change(file, bytes, unchanged))
        return false;
    if (unchanged)
        return true;
    const bool written = ReplaceFile(target, bytes);
    ForgetProfile(target);
    return written;
}

// The file's bytes with line `line` replaced by `text` (its line end kept).
std::string ReplaceLine(const ProfileFile& file, std::size_t line, std::string_view text)
{
    const LineSpan& span = file.lines[line];
    std::string bytes = file.raw.substr(0, span.offset);
    bytes += text;
    bytes.append(file.raw, span.offset + span.length);
    return bytes;
}

// The file's bytes with lines [first, last) removed.
std::string RemoveLines(const ProfileFile& file, std::size_t first, std::size_t last)
{
    const std::size_t begin = file.lines[first].offset;
    const LineSpan& end = file.lines[last - 1];
    std::string bytes = file.raw.substr(0, begin);
    bytes.append(file.raw, end.offset + end.length + end.endLength);
    return bytes;
}

// The file's bytes with `text` (whole lines with their ends) inserted after line `line`.
std::string InsertAfterLine(const ProfileFile& file, std::size_t line, std::string_view text)
{
    const LineSpan& span = file.lines[line];
    const std::size_t position = span.offset + span.length + span.endLength;
    std::string bytes = file.raw.substr(0, position);
    if (span.endLength == 0)
        bytes += LineEndOf(file);
    bytes += text;
    bytes.append(file.raw, position);
    return bytes;
}

bool IsBlankOrComment(const ProfileFile& file, std::size_t line)
{
    const LineSpan& span = file.lines[line];
    const std::string_view text = Trim(std::string_view(file.raw).substr(span.offset, span.length));
    return text.empty() || text.front() == ';';
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Why a write would break the file's lines or could never be read back; null when it can be
// written.
const char* WriteRefusal(std::string_view section, std::string_view key, std::string_view value)
{
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return "a line break in the section, key or value";
    if (key.find('=') != std::string_view::npos)
        return "'=' in the key";
    if (section.find(']') != std::string_view::npos)
        return "']' in the section name";
    const std::string_view trimmedKey = Trim(key);
    if (trimmedKey.empty())
        return "an empty key";
    if (trimmedKey.front() == ';')
        return "a key starting with ';' reads as a comment";
    if (trimmedKey.front() == '[')
        return "a key starting with '[' reads as a section header";
    return nullptr;
}

bool BuildWrite(const ProfileFile& file, std::string_view section, std::string_view key,
                std::string_view value, std::string& bytes, bool& unchanged)
{
    const std::string_view end = LineEndOf(file);
    const ProfileSection* found = FindSection(file, section);
    if (!found) {
        std::string text;
        if (!EncodeForFile(file, "[" + std::string(Trim(section)) + "]", text))
            return false;
        std::string line;
        if (!EncodeForFile(file, std::string(Trim(key)) + "=" + std::string(value), line))
            return false;
        bytes = file.raw;
        if (!bytes.empty() && bytes.back() != '\n')
            bytes += end;
        if (!file.lines.empty() && !IsBlankOrComment(file, file.lines.size() - 1))
            bytes += end;
        bytes += text;
        bytes += end;
        bytes += line;
        bytes += end;
        return true;
    }
    if (const ProfileEntry* entry = FindEntry(*found, key)) {
        if (entry->value == value) {
            unchanged = true;
            return true;
        }
        std::string line;
        if (!EncodeForFile(file, entry->key + "=" + std::string(value), line))
            return false;
        bytes = ReplaceLine(file, entry->line, line);
        return true;
    }
    std::size_t last = found->headerLine;
    for (std::size_t line = found->headerLine + 1; line < found->endLine; ++line) {
        if (!IsBlankOrComment(file, line))
            last = line;
    }
    std::string line;
    if (!EncodeForFile(file, std::string(Trim(key)) + "=" + std::string(value), line))
        return false;
    line += end;
    bytes = InsertAfterLine(file, last, line);
    return true;
}

} // namespace

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::string_view file)
{
    std::string value;
    if (!FindProfileString(section, key, file, value))
        return std::string(defaultValue);
    return value;
}

bool FindProfileString(std::string_view section, std::string_view key, std::string_view file,
                       std::string& value)
{
    const ProfileFilePtr profile = LoadProfile(file);
    if (!profile)
        return false;
    const ProfileSection* found = FindSection(*profile, section);
    if (!found)
        return false;
    const ProfileEntry* entry = FindEntry(*found, key);
    if (!entry)
        return false;
    std::string_view text = entry->value;
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    value = std::string(text);
    return true;
}

int GetProfileInt(std::string_view section, std::string_view key, int defaultValue,
                  std::string_view file)
{
    std::string value;
    if (!FindProfileString(section, key, file, value) || value.empty())
        return defaultValue;
    return ParseInt(value);
}

bool GetProfileSection(std::string_view section, std::string_view file,
                       std::vector<std::string>& entries)
{
    entries.clear();
    const ProfileFilePtr profile = LoadProfile(file);
    if (!profile)
        return false;
    const ProfileSection* found = FindSection(*profile, section);
    if (!found)
        return false;
    entries.reserve(found->entries.size());
    for (const ProfileEntry& entry : found->entries)
        entries.push_back(entry.hasEquals ? entry.key + "=" + entry.value : entry.value);
    return true;
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        std::string_view file)
{
    if (const char* reason = WriteRefusal(section, key, value)) {
        TracePlatformMessage("WriteProfileString", "[" + std::string(section) + "] " +
                                                       std::string(key) + " not written to " +
                                                       std::string(file) + ": " + reason);
        return false;
    }
    return ModifyProfile(
        file, [&](std::shared_ptr<ProfileFile>& profile, std::string& bytes, bool& unchanged) {
            if (BuildWrite(*profile, section, key, value, bytes, unchanged))
                return true;
            // A legacy file that cannot hold the new text becomes UTF-8 as a whole.
            profile = Parse(Cp1252ToUtf8(profile->raw));
            return BuildWrite(*profile, section, key, value, bytes, unchanged);
        });
}

bool WriteProfileSection(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keys,
                         std::string_view file)
{
    for (const auto& [key, value] : keys) {
        if (const char* reason = WriteRefusal(section, key, value)) {
            TracePlatformMessage("WriteProfileSection", "[" + std::string(section) + "] " + key +
                                                            " not written to " + std::string(file) +
                                                            ": " + reason);
            return false;
        }
    }
    // Each key is set on the text the previous one left; the file is replaced once.
    const auto writeAll = [&](std::shared_ptr<ProfileFile> profile, std::string& bytes,
                              bool& unchanged) {
        bool changed = false;
        for (const auto& [key, value] : keys) {
            std::string next;
            bool same = false;
            if (!BuildWrite(*profile, section, key, value, next, same))
                return false;
            if (same)
                continue;
            profile = Parse(std::move(next));
            changed = true;
        }
        unchanged = !changed;
        if (changed)
            bytes = profile->raw;
        return true;
    };
    return ModifyProfile(
        file, [&](std::shared_ptr<ProfileFile>& profile, std::string& bytes, bool& unchanged) {
            if (writeAll(profile, bytes, unchanged))
                return true;
            // A legacy file that cannot hold the new texts becomes UTF-8 as a whole.
            return writeAll(Parse(Cp1252ToUtf8(profile->raw)), bytes, unchanged);
        });
}

bool DeleteProfileKey(std::string_view section, std::string_view key, std::string_view file)
{
    return ModifyProfile(
        file, [&](std::shared_ptr<ProfileFile>& profile, std::string& bytes, bool& unchanged) {
            const ProfileSection* found = FindSection(*profile, section);
            const ProfileEntry* entry = found ? FindEntry(*found, key) : nullptr;
            if (!entry) {
                unchanged = true;
                return true;
            }
            bytes = RemoveLines(*profile, entry->line, entry->line + 1);
            return true;
        });
}

bool DeleteProfileSection(std::string_view section, std::string_view file)
{
    return ModifyProfile(
        file, [&](std::shared_ptr<ProfileFile>& profile, std::string& bytes, bool& unchanged) {
            const ProfileSection* found = FindSection(*profile, section);
            if (!found) {
                unchanged = true;
                return true;
            }
            bytes = RemoveLines(*profile, found->headerLine, found->endLine);
            return true;
        });
}

bool DeleteProfileSectionKeys(std::string_view section, std::string_view file)
{
    return ModifyProfile(
        file, [&](std::shared_ptr<ProfileFile>& profile, std::string& bytes, bool& unchanged) {
            const ProfileSection* found = FindSection(*profile, section);
            if (!found) {
                unchanged = true;
                return true;
            }
            std::vector<bool> removed(profile->lines.size(), false);
            bool any = false;
            for (const ProfileEntry& entry : found->entries) {
                if (entry.hasEquals)
                    removed[entry.line] = any = true;
            }
            if (!any) {
                unchanged = true;
                return true;
            }
            bytes.clear();
            bytes.reserve(profile->raw.size());
            for (std::size_t line = 0; line < profile->lines.size(); ++line) {
                const LineSpan& span = profile->lines[line];
                if (!removed[line])
                    bytes.append(profile->raw, span.offset, span.length + span.endLength);
            }
            return true;
        });
}

void ClearProfileCache()
{
    std::lock_guard lock(cacheMutex);
    cache.clear();
}

} // namespace trv
