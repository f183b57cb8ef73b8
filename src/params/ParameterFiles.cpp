#include "params/ParameterFiles.h"

#include "KLV/IniFiles.h"
#include "params/DictionaryBridge.h"
#include "params/Parameters.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"

#include <string_view>

std::string ParamsFilePath;
std::string OverrideParamsFilePath;
std::string ShowParamsFilePath;
std::string PntTableFilePath;
std::string CustomPntTableFilePath;
std::string SpeedTableFilePath;
std::string SchedulerIniFilePath;
std::string SystemProfilesDir;
std::string UserProfilesDir;
std::string CustomerLabelsFilePath;
std::string ColumnsFilePath;

void ResetParameterFilePaths()
{
    for (std::string* path :
         {&ParamsFilePath, &OverrideParamsFilePath, &ShowParamsFilePath, &PntTableFilePath,
          &CustomPntTableFilePath, &SpeedTableFilePath, &SchedulerIniFilePath, &SystemProfilesDir,
          &UserProfilesDir, &CustomerLabelsFilePath, &ColumnsFilePath})
        path->clear();
}

std::string ConfigurationFile()
{
    if (!SchedulerIniFilePath.empty())
        return SchedulerIniFilePath;
    return trv::JoinPath(trv::GetProgramFolder(), "Config.ini");
}

std::string ColumnsFileInFolder(const std::string& folder)
{
    const std::string name = trv::GetProfileString("FileNames", "ColumnsFile", "Columns.ini",
                                                   trv::JoinPath(folder, "FileNames.ini"));
    return trv::ResolvePathCase(trv::JoinPath(folder, name.empty() ? "Columns.ini" : name));
}

int GetLanguageID()
{
    if (!ParamsFilePath.empty()) {
        int id = trv::GetProfileInt("Parameters", "LanguageID", -1, ParamsFilePath);
        if (id != -1)
            return id;
    }
    int id = trv::GetProfileInt("Configuration", "LanguageID", -1, ConfigurationFile());
    if (id != -1)
        return id;
    return trv::ParseInt(trv::params::SelectedDictionaryLanguage());
}

// ---- The three-file rule -----------------------------------------------------------------

namespace {

// Cost keys the planner may always change, compared exactly (letter case included).
constexpr std::string_view kAlwaysAllowedKeys[] = {
    "KmFactor", "CostFactor",    "PntLate", "WorkingFactor",        "PntWork",
    "PntDrive", "EqualizeHours", "PntASAP", "ExtraPenaltiesFactor", "ClosePointsFactor"};

// The file a key is read from: the maker's override file when the key is not the planner's to
// change and that file holds it (an empty value included), else the given file.
const std::string& ChooseParamFile(const std::string& section, const std::string& key,
                                   const std::string& file)
{
    if (CUserParameters::IsAllowedParam(key) || OverrideParamsFilePath.empty())
        return file;
    std::string ignored;
    if (trv::FindProfileString(section, key, OverrideParamsFilePath, ignored))
        return OverrideParamsFilePath;
    return file;
}

} // namespace

bool CUserParameters::IsAllowedParam(const std::string& key)
{
    for (std::string_view allowed : kAlwaysAllowedKeys)
        if (key == allowed)
            return true;
    return trv::GetProfileInt("Allowed Params", key, 0, ShowParamsFilePath) != 0;
}

std::string CUserParameters::ReadParamString(const std::string& section, const std::string& key,
                                             const std::string& file,
                                             const std::string& defaultValue)
{
    return ReadIniString(section, key, ChooseParamFile(section, key, file), defaultValue);
}

float CUserParameters::ReadParamFloat(const std::string& section, const std::string& key,
                                      const std::string& file, float defaultValue)
{
    return ReadIniFloat(section, key, ChooseParamFile(section, key, file), defaultValue);
}

int CUserParameters::ReadParamInt(const std::string& section, const std::string& key,
                                  const std::string& file, int defaultValue)
{
    return trv::GetProfileInt(section, key, defaultValue, ChooseParamFile(section, key, file));
}

int CUserParameters::GetDecimalPrecision(const std::string& file)
{
    return ReadParamInt("Formats", "DecimalPrecision", file.empty() ? ParamsFilePath : file, 2);
}
