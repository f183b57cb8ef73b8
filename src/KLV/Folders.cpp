#include "KLV/Folders.h"

#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <glob.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Glob(const std::string& pattern)
{
    std::vector<std::string> paths;
    glob_t matches{};
    if (::glob(trv::NormalizePath(pattern).c_str(), 0, nullptr, &matches) == 0) {
        for (std::size_t index = 0; index < matches.gl_pathc; ++index)
            paths.emplace_back(matches.gl_pathv[index]);
    }
    ::globfree(&matches);
    return paths;
}

void RemoveAll(std::string& text, std::string_view word)
{
    for (std::size_t position = text.find(word); position != std::string::npos;
         position = text.find(word, position))
        text.erase(position, word.size());
}

bool IsFile(const std::string& path)
{
    struct stat status
    {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The program as the first argument when it names a file (its path may hold blanks), else the
// program text read as a command line; then the arguments.
std::vector<std::string> CommandArguments(const std::string& program, const std::string& arguments)
{
    std::vector<std::string> all;
    if (IsFile(program))
        all.push_back(program);
    else
        all = trv::SplitCommandLine(program);
    for (std::string& argument : trv::SplitCommandLine(arguments))
        all.push_back(std::move(argument));
    return all;
}

bool IsFolder(const std::string& path)
{
    struct stat status
    {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

std::string GetExeFolder()
{
    return trv::GetProgramFolder();
}

std::string GetExeFileName()
{
    return trv::GetPathFileName(trv::GetExecutablePath());
}

std::string GetExeBaseName()
{
    std::string name = GetExeFileName();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string GetCommonFilesFolder()
{
    return "/usr/lib";
}

std::string GetTempFolder(int perProcess)
{
    std::string folder;
    if (const char* temporary = std::getenv("TMPDIR"); temporary && *temporary)
        folder = temporary;
    else
        folder = "/tmp";
    if (folder.back() != '/')
        folder += '/';
    if (perProcess != 1)
        return folder;
    // The id is read once: a forked child keeps the folder of the process that set it up.
    static const std::string processFolder = "Trevantor" + std::to_string(::getpid()) + "/";
    return folder + processFolder;
}

bool FileExists(const std::string& pattern)
{
    return !Glob(pattern).empty();
}

void DeleteFiles(const std::string& pattern)
{
    for (const std::string& path : Glob(pattern)) {
        if (!IsFolder(path))
            ::unlink(path.c_str());
    }
}

std::string GetMapDataPath()
{
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).string();
    if (error)
        return {};
    return trv::NormalizePath(
        trv::GetProfileString("Locator", "MapPath0", "", trv::JoinPath(current, "MapServ.cfg")));
}

std::string GetMapGeoFiles()
{
    const std::string folder = GetMapDataPath();
    if (folder.empty())
        return {};
    const std::vector<std::string> matches = Glob(trv::JoinPath(folder, "*.geo"));
    if (matches.empty() || !IsFolder(matches.front()))
        return {};
    return matches.front();
}

int StartProcess(bool closeHandle, const std::string& program, const std::string& arguments)
{
    trv::SpawnOptions options;
    options.idlePriority = true;
    options.nullStandardStreams = true;
    const int processId = trv::SpawnProcess(CommandArguments(program, arguments), options);
    if (processId <= 0)
        return 0;
    if (!closeHandle)
        return processId;
    trv::ReleaseProcess(processId);
    return 0;
}

bool RunProgram(int /*showMode*/, unsigned creationFlags, const std::string& program,
                const std::string& arguments, bool wait)
{
    std::string programText = program;
    std::string argumentText = arguments;
    RemoveAll(programText, "%*");
    RemoveAll(argumentText, "%*");
    trv::SpawnOptions options;
    options.idlePriority = (creationFlags & IDLE_PRIORITY_CLASS) != 0;
    const int processId = trv::SpawnProcess(CommandArguments(programText, argumentText), options);
    if (processId <= 0)
        return false;
    if (wait)
        trv::WaitForProcess(processId, -1);
    else
        trv::ReleaseProcess(processId);
    return true;
}
