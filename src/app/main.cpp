#include "platform/ProgramFolder.h"

#include <cstdio>
#include <filesystem>

int main()
{
    const std::string folder = trv::GetProgramFolder();
    std::printf("Trevantor %s\n", TRV_VERSION);
    std::printf("Program folder: %s\n", folder.c_str());
    for (const char* name : {"Config.ini", "FileNames.ini", "Data.ini", "Params.ini"}) {
        const bool found = std::filesystem::exists(folder + name);
        std::printf("  %-14s %s\n", name, found ? "found" : "missing");
    }
    return 0;
}
