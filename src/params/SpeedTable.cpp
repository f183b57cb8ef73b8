#include "params/SpeedTable.h"

#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"

namespace {

constexpr const char* kSpeedKeys[] = {"MotorwayFast",      "MotorwaySlow",     "NationalFast",
                                      "NationalSlow",      "CountryFast",      "CountrySlow",
                                      "UrbanFast",         "UrbanSlow",        "CountryPath",
                                      "ResidentAreasFast", "ResidentAreasSlow"};
constexpr int kSpeedDefaults[] = {110, 90, 60, 50, 55, 40, 30, 10, 10, 10, 10};
constexpr std::size_t kResidentFast = 9;
constexpr std::size_t kResidentSlow = 10;

const std::string& FileOrDefault(const std::string& file)
{
    return file.empty() ? SpeedTableFilePath : file;
}

std::int16_t ReadSpeed(const char* key, int absent, const std::string& file)
{
    return static_cast<std::int16_t>(
        CUserParameters::ReadParamInt("SpeedTable", key, file, absent));
}

} // namespace

void ReadSpeedTable(TSpeedTable& table, const std::string& file)
{
    const std::string& path = FileOrDefault(file);
    for (std::size_t i = 0; i < kResidentFast; ++i)
        table.speeds[i] = ReadSpeed(kSpeedKeys[i], kSpeedDefaults[i], path);

    std::int16_t residentFast = ReadSpeed("ResidentAreasFast", 10, path);
    if (residentFast == 10) {
        // Files written before the two resident-area speeds existed hold one for both.
        std::int16_t resident = ReadSpeed("ResidentAreas", 10, path);
        table.speeds[kResidentFast] = resident;
        table.speeds[kResidentSlow] = resident;
    } else {
        table.speeds[kResidentFast] = residentFast;
        table.speeds[kResidentSlow] = ReadSpeed("ResidentAreasSlow", 10, path);
    }

    table.shortestFastest =
        CUserParameters::ReadParamInt("RoutingParameters", "ShortestFastest", path, 100);
    table.tollFactor = CUserParameters::ReadParamInt("RoutingParameters", "TollFactor", path, 100);
    if (table.tollFactor < 0)
        table.tollFactor = 100;
}

bool WriteSpeedTable(const TSpeedTable& table, const std::string& file)
{
    const std::string& path = FileOrDefault(file);
    bool written = true;
    for (std::size_t i = 0; i < table.speeds.size(); ++i)
        written = WriteIniInt(table.speeds[i], "SpeedTable", kSpeedKeys[i], path) && written;
    written =
        WriteIniInt(table.shortestFastest, "RoutingParameters", "ShortestFastest", path) && written;
    written = WriteIniInt(table.tollFactor, "RoutingParameters", "TollFactor", path) && written;
    if (!written)
        TRV_TRACE(1, "WriteSpeedTable", "No se ha podido escribir la tabla de velocidades en %s",
                  path.c_str());
    return written;
}
