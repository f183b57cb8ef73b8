#include "params/Profiles.h"

#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "params/DictionaryBridge.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <string_view>
#include <vector>

namespace {

using P = CUserParameters;

struct ProfileFlag
{
    const char* key;
    int P::*member;
    int absent;
    bool writable;
};

// The flags in the order LoadProfile reads them; "VehicleType" has its own absent value.
constexpr ProfileFlag kProblemFlags[] = {
    {"LoadingProblem", &P::LoadingProblem, 0, true},
    {"DeliveryProblem", &P::DeliveryProblem, 0, true},
    {"QuantitiesControl", &P::QuantitiesControl, 0, true},
    {"PointToPoint", &P::PointToPoint, 0, true},
    {"Teletransporting", &P::Teletransporting, 0, true},
    {"Tanks", &P::Tanks, 0, true},
    {"ResourcesReturnToBase", &P::ResourcesReturnToBase, 1, true},
    {"TimesInOrderLines", &P::TimesInOrderLines, 0, true},
    {"UsingMultiplicativeFactors", &P::UsingMultiplicativeFactors, 0, true},
    {"CustomerInOrderLines", &P::CustomerInOrderLines, 0, true},
    {"SortingOrderLines", &P::SortingOrderLines, 0, true},
    {"TransportCard", &P::TransportCard, 0, true},
    {"AllowToNoServeNonTodayOrders", &P::AllowToNoServeNonTodayOrders, 0, true},
};
constexpr ProfileFlag kVehicleType = {"VehicleType", &P::VehicleType, 1, true};
constexpr ProfileFlag kLateFlags[] = {
    {"TimeWindowsIsArrivalAndLeave", &P::TimeWindowsIsArrivalAndLeave, 0, true},
    {"ConsiderFullTruckToLoadingTime", &P::ConsiderFullTruckToLoadingTime, 0, false},
};

const ProfileFlag* FindFlag(std::string_view key)
{
    for (const ProfileFlag& flag : kProblemFlags)
        if (key == flag.key)
            return &flag;
    if (key == kVehicleType.key)
        return &kVehicleType;
    for (const ProfileFlag& flag : kLateFlags)
        if (key == flag.key)
            return &flag;
    return nullptr;
}

std::string CaptionsSection(int languageId)
{
    return trv::FormatC("Captions %d", languageId);
}

// The text of `section` for the language, or of language 1 when empty.
std::string ReadLanguageText(const char* section, int languageId, const std::string& file)
{
    std::string text = ReadIniString(section, trv::FormatC("%d", languageId), file, "");
    if (text.empty())
        text = ReadIniString(section, "1", file, "");
    return text;
}

// An icon of the planner's parameters file, else the profile's.
std::string ReadIcon(const char* key, const std::string& profileFile)
{
    std::string icon;
    if (!ParamsFilePath.empty())
        icon = ReadIniString("Parameters", key, ParamsFilePath, "");
    if (icon.empty())
        icon = ReadIniString("Parameters", key, profileFile, "");
    return icon;
}

} // namespace

// ---- One profile file ------------------------------------------------------------------------

std::string GetProfileName(int languageId, const std::string& profileFile)
{
    return ReadLanguageText("Names", languageId, profileFile);
}

std::string GetProfileDescription(int languageId, const std::string& profileFile)
{
    return ReadLanguageText("Descriptions", languageId, profileFile);
}

bool SetProfileName(int languageId, const std::string& profileFile, const std::string& text)
{
    return trv::WriteProfileString("Names", trv::FormatC("%d", languageId), text, profileFile);
}

bool SetProfileDescription(int languageId, const std::string& profileFile, const std::string& text)
{
    return trv::WriteProfileString("Descriptions", trv::FormatC("%d", languageId), text,
                                   profileFile);
}

int GetProfileFlag(const std::string& profileFile, const std::string& key, int vehicleTypeAbsent)
{
    const ProfileFlag* flag = FindFlag(key);
    if (!flag)
        return -1;
    int absent = flag == &kVehicleType ? vehicleTypeAbsent : flag->absent;
    return trv::GetProfileInt("Parameters", flag->key, absent, profileFile);
}

bool SetProfileFlag(const std::string& profileFile, const std::string& key, int value)
{
    const ProfileFlag* flag = FindFlag(key);
    if (!flag || !flag->writable)
        return false;
    return WriteIniInt(value, "Parameters", flag->key, profileFile);
}

std::string GetProfileToolbar(const std::string& profileFile)
{
    return ReadIniString("Parameters", "Toolbar", profileFile, "Standard");
}

void GetProfileRatios(const std::string& profileFile, CSmartStringArray& ratios)
{
    ratios.SetSize(0);
    std::vector<std::string> lines;
    trv::GetProfileSection("Ratios", profileFile, lines);
    for (const std::string& line : lines)
        ratios.Add(line);
}

// ---- The profile of the parameters -----------------------------------------------------------

std::string CUserParameters::FindProfileFile(const std::string& name) const
{
    std::string systemFile = trv::JoinPath(SystemProfilesDir, name + ".INI");
    std::string found = trv::FindPathNoCase(systemFile);
    if (!found.empty())
        return found;
    std::string userFile = trv::JoinPath(UserProfilesDir, name + ".INI");
    return trv::ResolvePathCase(userFile);
}

void CUserParameters::ApplyProfileCaptions(const std::string& profileFile) const
{
    // The labels file comes second so that the company's own captions have the last word.
    std::string section = CaptionsSection(GetLanguageID());
    trv::params::OverrideCaptions(profileFile, section);
    if (!CustomerLabelsFilePath.empty())
        trv::params::OverrideCaptions(CustomerLabelsFilePath, section);
}

void CUserParameters::LoadProfileName(const std::string& file)
{
    const std::string& path = file.empty() ? ParamsFilePath : file;
    Profile = ReadIniString("Parameters", "Profile", path, "Standard");
    if (Profile.empty())
        Profile = "Standard";
    Profile = trv::ToUpper(Profile);
    NotSalesman = Profile == "SALESMAN" ? 0 : -1;
    LoadProfile(Profile);
}

void CUserParameters::LoadProfile(const std::string& name)
{
    std::string profileFile = FindProfileFile(name);
    TRV_TRACE(2, "CUserParameters::LoadProfile", "Perfil %s en %s", name.c_str(),
              profileFile.c_str());
    ApplyProfileCaptions(profileFile);

    for (const ProfileFlag& flag : kProblemFlags)
        this->*flag.member = GetProfileFlag(profileFile, flag.key);
    Toolbar = GetProfileToolbar(profileFile);
    OrderIcon = GetOrderIcon(profileFile);
    WarehouseIcon = GetWarehouseIcon(profileFile);
    ResourceIcon = GetResourceIcon(profileFile);
    ProductsIcon = GetProductsIcon(profileFile);
    GPSProviderIcon = GetGPSProviderIcon(profileFile);
    VehicleType = GetProfileFlag(profileFile, "VehicleType", NotSalesman != 0 ? 1 : 0);
    for (const ProfileFlag& flag : kLateFlags)
        this->*flag.member = GetProfileFlag(profileFile, flag.key);
    GetProfileRatios(profileFile, Ratios);
}

bool CUserParameters::SetProfile(const std::string& name)
{
    Profile = name;
    bool written = trv::WriteProfileString("Parameters", "Profile", Profile, ParamsFilePath);
    if (!written)
        TRV_TRACE(1, "CUserParameters::SetProfile", "No se ha podido escribir el perfil en %s",
                  ParamsFilePath.c_str());
    LoadProfile(name);
    return written;
}

bool CUserParameters::SaveProfileName(const std::string& file)
{
    const std::string& path = file.empty() ? ParamsFilePath : file;
    return trv::WriteProfileString("Parameters", "Profile", Profile, path);
}

bool CUserParameters::SetLanguage(const std::string& languageId)
{
    bool written = true;
    if (!ParamsFilePath.empty())
        written = trv::WriteProfileString("Parameters", "LanguageID", languageId, ParamsFilePath);
    trv::params::SelectDictionaryLanguage(languageId);
    ApplyProfileCaptions(FindProfileFile(Profile));
    return written;
}

std::string CUserParameters::GetOrderIcon(const std::string& profileFile) const
{
    return ReadIcon("OrderIcon", profileFile);
}

std::string CUserParameters::GetWarehouseIcon(const std::string& profileFile) const
{
    return ReadIcon("WarehouseIcon", profileFile);
}

std::string CUserParameters::GetResourceIcon(const std::string& profileFile) const
{
    return ReadIcon("ResourceIcon", profileFile);
}

std::string CUserParameters::GetProductsIcon(const std::string& profileFile) const
{
    return ReadIcon("ProductsIcon", profileFile);
}

std::string CUserParameters::GetGPSProviderIcon(const std::string& profileFile) const
{
    return ReadIcon("GPSProviderIcon", profileFile);
}
