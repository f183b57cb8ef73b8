#pragma once

#include "routing/Locator.h"

#include <map>
#include <string>
#include <vector>

// A geocoder that records every search and answers the scripted result, appending the scripted
// candidates on success.
class RecordingGeocoder : public CLocatorGeocoder
{
  public:
    struct Call
    {
        std::string countryCode;
        std::string postcode;
        std::string city;
        std::string suburb;
        std::string street;
        std::string key; // the entry's
    };

    long result = kLocatorSearchOk;
    std::vector<TLocatorData> answer;
    std::vector<Call> calls;

    long SearchAddressAndFillPossibles(const std::string& countryCode, const std::string& postcode,
                                       const std::string& city, const std::string& suburb,
                                       const std::string& street,
                                       CLocatorPossibleLocations& entry) override
    {
        calls.push_back({countryCode, postcode, city, suburb, street, entry.key});
        if (result != kLocatorSearchOk)
            return result;
        entry.candidates.insert(entry.candidates.end(), answer.begin(), answer.end());
        return result;
    }
};

// A router check that refuses the listed longitudes and records the keys offered.
class RecordingRouterCheck : public CLocatorRouterCheck
{
  public:
    std::vector<double> refusedLongitudes;
    std::vector<std::string> offered;

    int CheckAbnormalNode(const CLocatorPossibleLocations& entry) override
    {
        offered.push_back(entry.key);
        for (const double longitude : refusedLongitudes)
            if (longitude == entry.x)
                return 0;
        return 1;
    }
};

// A country test answering by longitude (-1 for any other) and recording the points asked.
class FakeCountryTest : public CLocatorCountryTest
{
  public:
    std::map<double, int> countries;
    std::vector<double> asked;

    int GetCountryAt(double longitude, double /*latitude*/) override
    {
        asked.push_back(longitude);
        const auto found = countries.find(longitude);
        return found == countries.end() ? -1 : found->second;
    }
};
