#pragma once

#include "routing/LocatorMapGuide.h"

#include <string>
#include <vector>

// The company's locations table (the definition "LOCATIONS") as a geocoder backend: the places
// of the postcode and city asked, narrowed to the street's significant word when any holds it.
class CLocationsGeocoder : public GeocoderBackend
{
  public:
    void Search(const std::string& countryCode, const std::string& postcode,
                const std::string& city, const std::string& suburb, const std::string& street,
                std::vector<TGeocoderRow>& rows) override;

    // The condition that selects the places of a postcode (blanks dropped) and a city; empty
    // when neither is given.
    static std::string Filter(const std::string& postcode, const std::string& city);
};
