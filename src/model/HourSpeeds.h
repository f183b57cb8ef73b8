#pragma once

#include "containers/BoolTable.h"
#include "containers/SmartArray.h"

#include <array>
#include <string>

class CFieldRecordSource;

// Traffic by hour of the day: a travel time is divided by the factor of its departure hour, so a
// factor above 1 makes that hour faster.
struct CHourSpeeds
{
    static constexpr int Hours = 24;

    CHourSpeeds() { factors.fill(1.0f); }

    // The factor of the hour a departure minute falls in; minutes before the plan's day 0 and
    // after it fold into the same 24 hours.
    float GetFactor(int departureMinute) const
    {
        // Non-negative modulo: minutes earlier than ten days back fold in too.
        int minute = departureMinute % 1440;
        if (minute < 0)
            minute += 1440;
        return factors[static_cast<std::size_t>(minute / 60)];
    }

    std::array<float, Hours> factors;
    bool loaded = false;
};

// Which groups of goods may not travel with which: bit (row then, column if) set by a rule.
// Absent (no columns, no rows) when no rule has both values above 0.
struct CTripsIncompatibilities
{
    bool IsLoaded() const { return table.GetColumns() > 0 && table.GetRows() > 0; }

    CBoolTable table;
};

// The hour speeds file of the company: "HourSpeeds.txt" in its configuration folder.
std::string HourSpeedsFilePath();

// Reads "HOUR_SPEEDS" from `file` into the program-wide factors for the planning date's week
// day; a definition that does not open changes nothing.
void LoadHourSpeeds(CFieldRecordSource& source, const std::string& file);
// The same from the company's hour speeds file.
void LoadHourSpeeds(CFieldRecordSource& source);
// The program-wide factor of a departure minute, for the travel-time computation.
float HourSpeedFactor(int departureMinute);
// Whether hour speeds were loaded, for the distance matrices.
bool HourSpeedsLoaded();

// The translated captions of the three speed classes, slow to fast.
void FillSpeedClassNames(CSmartStringArray& names);

// Clears the table, sizes it from "TRIPS_INCOMPATIBILITIES" and fills it when it exists.
void LoadTripsIncompatibilities(CFieldRecordSource& source);
void ClearTripsIncompatibilities();
void SizeTripsIncompatibilities(CFieldRecordSource& source);
void FillTripsIncompatibilities(CFieldRecordSource& source);
// Whether the catalogue may offer the incompatibility rules: the table exists.
bool TripsIncompatibilitiesLoaded();
// False as soon as one (if, then) pair of values has a rule; pairs outside the table are
// skipped, and no if value at all is compatible.
bool TripsCompatible(int ifCount, const int* ifValues, int thenCount, const int* thenValues);
