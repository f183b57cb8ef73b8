#include "KLV/Trace.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// A file named in "FileNames.ini", found beside the program whatever its letter case; empty
// when it is not there.
std::string ConfiguredFile(const std::string& folder, const char* key, const char* fallback)
{
    const std::string name =
        trv::GetProfileString("FileNames", key, fallback, folder + "FileNames.ini");
    if (name.empty())
        return {};
    const std::string path = trv::FindPathNoCase(folder + name);
    return std::filesystem::exists(path) ? path : std::string();
}

void PrintFile(const char* what, const std::string& path)
{
    std::printf("  %-22s %s\n", what, path.empty() ? "missing" : path.c_str());
}

std::string HoursText(int minutes)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60, minutes % 60);
    return text;
}

} // namespace

int main()
{
    const std::string folder = trv::GetProgramFolder();
    InitTrace(false, "");
    std::printf("Trevantor %s\n", TRV_VERSION);
    std::printf("Program folder: %s\n", folder.c_str());

    SchedulerIniFilePath = ConfiguredFile(folder, "SchedulerIniFile", "Config.ini");
    ParamsFilePath = ConfiguredFile(folder, "SchedulerParamsIniFile", "Params.ini");
    ShowParamsFilePath = ConfiguredFile(folder, "ShowParamsIniFile", "ShowParams.ini");
    PntTableFilePath = ConfiguredFile(folder, "PntTableFile", "TablaPen.txt");
    CustomPntTableFilePath = ConfiguredFile(folder, "CustomPntTableFile", "CustomTablaPen.txt");
    SpeedTableFilePath = ConfiguredFile(folder, "SpeedTableFile", "SpeedTable.ini");
    ColumnsFilePath = ColumnsFileInFolder(folder);

    std::printf("Configuration:\n");
    PrintFile("configuration", SchedulerIniFilePath);
    PrintFile("parameters", ParamsFilePath);
    PrintFile("allowed parameters", ShowParamsFilePath);
    PrintFile("penalty table", PntTableFilePath);
    PrintFile("company penalty table", CustomPntTableFilePath);
    PrintFile("road speeds", SpeedTableFilePath);
    PrintFile("dictionaries", trv::FindPathNoCase(folder + "Languages/DIC.INI"));

    if (ParamsFilePath.empty() || PntTableFilePath.empty()) {
        std::printf("The planning parameters cannot be read.\n");
        return 1;
    }
    CUserParameters& parameters = UserParameters();
    if (!parameters.Load()) {
        std::printf("The planning parameters could not be loaded (see the trace log).\n");
        return 1;
    }
    std::printf("Planning parameters:\n");
    std::printf("  working day            %s - %s\n", HoursText(parameters.WTFrom).c_str(),
                HoursText(parameters.WTTo).c_str());
    std::printf("  maximum working time   %d min\n", parameters.MaxWorkingTime);
    std::printf("  maximum driving time   %d min\n", parameters.MaxDrivingTime);
    std::printf("  loading / unloading    %d / %d min\n", parameters.LoadTime,
                parameters.UnloadTime);
    std::printf("The planner itself is not built yet: nothing is planned.\n");
    return 0;
}
