#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace trv {

std::string GetExecutablePath()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string GetProgramFolder()
{
    std::string folder;
    if (const char* home = std::getenv("TREVANTOR_HOME"); home && *home)
        folder = home;
    else
        folder = std::filesystem::path(GetExecutablePath()).parent_path().string();
    if (folder.empty())
        folder = ".";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace trv
