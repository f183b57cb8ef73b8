#include "KLV/Trace.h"

#include "KLV/AppGlobals.h"
#include "KLV/Folders.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

// Lines held back by buffered messages are written when this many are waiting.
constexpr std::size_t kPendingLimit = 1000;

std::mutex initMutex;
std::atomic<bool> initialised{false};
std::atomic<int> configuredLevel{0};
bool flushRegistered = false; // guarded by initMutex

// The trace lock guards the log path, the pending lines and the file.
std::mutex traceMutex;
std::string logPath;
std::vector<std::string> pendingLines;

const char* BareFileName(const char* sourceFile)
{
    const char* name = sourceFile ? sourceFile : "";
    for (const char* character = name; *character; ++character) {
        if (*character == '/' || *character == '\\')
            name = character + 1;
    }
    return name;
}

// The process's private resident memory (anonymous pages), in bytes.
long long PrivateMemoryBytes()
{
    const int descriptor = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return 0;
    char buffer[128];
    const ssize_t count = ::read(descriptor, buffer, sizeof buffer - 1);
    ::close(descriptor);
    if (count <= 0)
        return 0;
    buffer[count] = '\0';
    long long size = 0;
    long long resident = 0;
    long long shared = 0;
    if (std::sscanf(buffer, "%lld %lld %lld", &size, &resident, &shared) != 3)
        return 0;
    return (resident - shared) * static_cast<long long>(::sysconf(_SC_PAGESIZE));
}

std::string LevelWord(int level)
{
    switch (level) {
    case 1:
        return "ERROR       ";
    case 2:
        return "INFORMACION ";
    case 3:
        return "DESAROLLO   ";
    default:
        return trv::FormatC("NIVEL %d - NO CONTROLADO", level);
    }
}

std::tm LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines,
                const std::string* ownLine)
{
    if (path.empty())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return false;
    for (const std::string& line : lines)
        std::fwrite(line.data(), 1, line.size(), file);
    if (ownLine)
        std::fwrite(ownLine->data(), 1, ownLine->size(), file);
    std::fclose(file);
    return true;
}

void FlushAtExit()
{
    trv::FlushTrace();
}

// A second instance keeps the running one's log and writes its own beside it.
std::string PathForSecondInstance(const std::string& path)
{
    const std::string suffix = "_" + std::to_string(::getpid());
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".log") == 0)
        return path.substr(0, path.size() - 4) + suffix + ".log";
    return path + suffix;
}

std::string CurrentLogPath()
{
    std::lock_guard lock(traceMutex);
    return logPath;
}

void TracePromptMessage(const char* method, const std::string& text)
{
    WriteTrace("UserPrompt.cpp", 0, method, 2, false, "%s", text.c_str());
}

[[maybe_unused]] const bool promptTracerInstalled =
    (trv::SetPromptTracer(&TracePromptMessage), true);

} // namespace

std::atomic<int> trv::detail::traceCeiling{INT_MAX};

void WriteTrace(const char* sourceFile, int line, const char* method, int level, bool buffered,
                const char* format, ...)
{
    if (!initialised.load(std::memory_order_acquire))
        InitTrace(false, std::string());
    const int configured = configuredLevel.load(std::memory_order_relaxed);
    if (configured < 1 || level > configured || !format)
        return;
    va_list arguments;
    va_start(arguments, format);
    const std::string text = trv::FormatCV(format, arguments);
    va_end(arguments);
    WriteTraceLine(sourceFile, line, method, level, buffered, text.c_str());
}

void WriteTraceLine(const char* sourceFile, int line, const char* method, int level, bool buffered,
                    const char* text)
{
    if (!initialised.load(std::memory_order_acquire))
        InitTrace(false, std::string());
    const std::tm now = LocalNow();
    const int configured = configuredLevel.load(std::memory_order_relaxed);
    if (configured < 1 || level > configured)
        return;
    const float megabytes = static_cast<float>(PrivateMemoryBytes()) * 0.000001f;
    const std::string memory = trv::FormatC("%8.3f Mb", static_cast<double>(megabytes));
    std::string formatted = trv::FormatC(
        "[%d/%d/%d %02d:%02d:%02d] %-12s %s %s --> %s [%s:{%d}]\n", now.tm_mday, now.tm_mon + 1,
        now.tm_year + 1900, now.tm_hour, now.tm_min, now.tm_sec, LevelWord(level).c_str(),
        memory.c_str(), method ? method : "", text ? text : "", BareFileName(sourceFile), line);

    std::lock_guard lock(traceMutex);
    if (buffered) {
        pendingLines.push_back(std::move(formatted));
        if (pendingLines.size() < kPendingLimit)
            return;
        if (WriteLines(logPath, pendingLines, nullptr))
            pendingLines.clear();
        return;
    }
    if (WriteLines(logPath, pendingLines, &formatted))
        pendingLines.clear();
}

void InitTrace(bool alreadyRunning, const std::string& iniPath)
{
    std::lock_guard initLock(initMutex);
    if (initialised.load(std::memory_order_acquire))
        return;
    const std::string exeFolder = GetExeFolder();
    const std::string configFile = iniPath.empty() ? exeFolder + "config.ini" : iniPath;
    const int level = trv::GetProfileInt("LOG", "Level", -1, configFile);
    configuredLevel.store(level < 1 ? 0 : level, std::memory_order_relaxed);
    trv::detail::traceCeiling.store(level < 1 ? 0 : level, std::memory_order_relaxed);
    if (level < 1) {
        initialised.store(true, std::memory_order_release);
        return;
    }

    const std::string tracesFolder = exeFolder + "Traces/";
    std::error_code error;
    std::filesystem::create_directories(tracesFolder, error);

    std::string baseName = trv::GetProfileString("LOG", "SufijoFichero", "Trace", configFile);
    std::string defaultPath;
    if (!baseName.empty()) {
        const std::tm now = LocalNow();
        trv::ReplaceAllInPlace(
            baseName, "DATE",
            trv::FormatC("%04d%02d%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday));
        trv::ReplaceAllInPlace(baseName, "TIME",
                               trv::FormatC("%02d%02d%02d", now.tm_hour, now.tm_min, now.tm_sec));
        trv::ReplaceAllInPlace(baseName, "PROFILE", trv::GetCompanyAlias());
        defaultPath = tracesFolder + baseName + ".log";
    }
    std::string path = trv::GetProfileString("LOG", "FicheroLog", defaultPath, configFile);
    if (!path.empty())
        path = trv::NormalizePath(path);
    if (alreadyRunning && !path.empty())
        path = PathForSecondInstance(path);
    {
        std::lock_guard lock(traceMutex);
        logPath = path;
    }
    if (!alreadyRunning)
        RotateTraceFiles(tracesFolder, baseName);
    if (!path.empty()) {
        if (std::FILE* file = std::fopen(path.c_str(), "w"))
            std::fclose(file);
    }
    if (!flushRegistered) {
        flushRegistered = true;
        std::atexit(&FlushAtExit);
    }
    initialised.store(true, std::memory_order_release);
}

void RotateTraceFiles(const std::string& folder, const std::string& baseName)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const auto numbered = [](int number) { return trv::FormatC(".%02d.log", number); };
    const auto filesEndingIn = [&](const std::string& suffix) {
        std::vector<fs::path> found;
        std::error_code listError;
        for (fs::directory_iterator entry(folder, listError), end; !listError && entry != end;
             entry.increment(listError)) {
            const std::string name = entry->path().filename().string();
            if (name.size() > suffix.size() && name.ends_with(suffix))
                found.push_back(entry->path());
        }
        return found;
    };

    for (const fs::path& path : filesEndingIn(numbered(9)))
        fs::remove(path, error);
    for (int number = 8; number >= 1; --number) {
        const std::string from = numbered(number);
        const std::string to = numbered(number + 1);
        for (const fs::path& path : filesEndingIn(from)) {
            std::string name = path.filename().string();
            name.replace(name.size() - from.size(), from.size(), to);
            fs::rename(path, path.parent_path() / name, error);
        }
    }
    if (!baseName.empty() && baseName != "Trace")
        return;
    const std::string current = CurrentLogPath();
    if (current.size() < 4 || !current.ends_with(".log"))
        return;
    fs::rename(current, current.substr(0, current.size() - 4) + numbered(1), error);
}

namespace trv {

std::string GetTraceLogPath()
{
    return CurrentLogPath();
}

void FlushTrace()
{
    std::lock_guard lock(traceMutex);
    if (!pendingLines.empty() && WriteLines(logPath, pendingLines, nullptr))
        pendingLines.clear();
}

void ResetTrace()
{
    std::lock_guard initLock(initMutex);
    std::lock_guard lock(traceMutex);
    initialised.store(false, std::memory_order_release);
    configuredLevel.store(0, std::memory_order_relaxed);
    detail::traceCeiling.store(INT_MAX, std::memory_order_relaxed);
    logPath.clear();
    pendingLines.clear();
}

} // namespace trv
