#pragma once

#include <array>
#include <cstdint>
#include <string>

// The road-class speed table (km/h) of the routing, with its two routing factors, from
// sections "SpeedTable" and "RoutingParameters" of the speed-table file.

struct TSpeedTable
{
    // Speeds in the order MotorwayFast, MotorwaySlow, NationalFast, NationalSlow, CountryFast,
    // CountrySlow, UrbanFast, UrbanSlow, CountryPath, ResidentAreasFast, ResidentAreasSlow.
    std::array<std::int16_t, 11> speeds{110, 90, 60, 50, 55, 40, 30, 10, 10, 10, 10};
    int shortestFastest = 100;
    int tollFactor = 100;
};

// Reads the table from `file` (empty: SpeedTableFilePath) through the three-file rule of the
// parameters, so the maker's override file applies. "ResidentAreasFast" left at 10 takes both
// resident-area speeds from the older key "ResidentAreas"; a negative toll factor becomes 100.
void ReadSpeedTable(TSpeedTable& table, const std::string& file = {});

// Writes the eleven speeds and the two factors ("ResidentAreas" is not written); false when a
// key could not be written.
bool WriteSpeedTable(const TSpeedTable& table, const std::string& file = {});
