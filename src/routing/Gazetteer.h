#pragma once

#include "routing/LocatorMapGuide.h"

#include <string>
#include <unordered_map>
#include <vector>

// Places read from a gazetteer file through the definition "GAZETTEER", indexed once per load
// by country and postcode and by city (upper case, without accents). It answers address
// searches and tells the country of a point from the nearest place.
class CGazetteer : public GeocoderBackend, public CLocatorCountryTest
{
  public:
    // A point farther than this from every place lies in no known country.
    static constexpr double kCountryRadiusKm = 50.0;

    // Replaces the places by those of the file; false when it does not open.
    bool Load(const std::string& file);
    int GetCount() const { return static_cast<int>(m_Places.size()); }

    // The places of the postcode (blanks ignored), else of the city; among them those whose
    // street holds the street's significant word, when any does.
    void Search(const std::string& countryCode, const std::string& postcode,
                const std::string& city, const std::string& suburb, const std::string& street,
                std::vector<TGeocoderRow>& rows) override;
    // The country of the nearest place within kCountryRadiusKm, else -1.
    int GetCountryAt(double longitude, double latitude) override;

  private:
    struct TPlace
    {
        TGeocoderRow row;
        double longitude = 0.0;
        double latitude = 0.0;
    };

    std::vector<TPlace> m_Places;
    // "country|postcode" and "country|CITY" to place positions, in file order.
    std::unordered_map<std::string, std::vector<int>> m_ByPostcode;
    std::unordered_map<std::string, std::vector<int>> m_ByCity;
    // Half-degree cells (latitude row, longitude column) to place positions.
    std::unordered_map<long long, std::vector<int>> m_Grid;
};
