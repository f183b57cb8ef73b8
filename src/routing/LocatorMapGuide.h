#pragma once

#include "routing/Locator.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CGazetteer;
class CLocationsGeocoder;
class CRoutingMapAndGuide;

// One place a geocoder backend found: a point in hundred-thousandths of a degree, its country
// number and its address (street "@" when none, house number "1-9999" for the whole street).
struct TGeocoderRow
{
    int longitude = 0;
    int latitude = 0;
    int country = 34;
    std::string postcode;
    std::string city;
    std::string suburb;
    std::string street;
    std::string houseNumber;
};

// Whether a longitude and latitude (degrees) are a point on the earth.
bool IsUsablePoint(double longitude, double latitude);
// Degrees in hundred-thousandths, rounded.
int HundredThousandths(double degrees);
// The postcode without blanks: "28 001" (sent for "28.001") is "28001".
std::string CompactPostcode(std::string_view postcode);
// Appends the places on the street (those whose street holds its significant word), or all of
// them when none is.
void AppendStreetMatches(const std::vector<TGeocoderRow>& places, std::string_view street,
                         std::vector<TGeocoderRow>& rows);

// A source of places for an address.
class GeocoderBackend
{
  public:
    virtual ~GeocoderBackend() = default;
    // Appends the places matching the address; the texts are those the locator sends.
    virtual void Search(const std::string& countryCode, const std::string& postcode,
                        const std::string& city, const std::string& suburb,
                        const std::string& street, std::vector<TGeocoderRow>& rows) = 0;
};

// The locator over a chain of backends, asked in order; their places make at most five
// candidates, the earlier backends' first.
class CLocatorMapGuide : public CLocator, public CLocatorGeocoder
{
  public:
    static constexpr int kMaxCandidates = 5;

    CLocatorMapGuide();
    ~CLocatorMapGuide() override;

    // The company's geocoding: its locations table first, then the gazetteer "Gazetteer.csv"
    // of its configuration folder, which also tells the country of a point when
    // "CoordTestCountry" is set. False when the gazetteer does not open (the table still serves).
    bool UseCompanyGeocoding(const std::string& configurationFolder);

    // Appends a backend (owned by the caller, alive while the locator searches). With one or
    // more the locator has a geocoder.
    void AddBackend(GeocoderBackend* backend);

    long SearchAddressAndFillPossibles(const std::string& countryCode, const std::string& postcode,
                                       const std::string& city, const std::string& suburb,
                                       const std::string& street,
                                       CLocatorPossibleLocations& entry) override;

  private:
    std::vector<GeocoderBackend*> m_Backends;
    std::unique_ptr<CLocationsGeocoder> m_pLocationsTable;
    std::unique_ptr<CGazetteer> m_pGazetteer;
};

// The router's point check over the routing provider; without road data it refuses nothing.
class CRoutingPointCheck : public CLocatorRouterCheck
{
  public:
    explicit CRoutingPointCheck(CRoutingMapAndGuide* provider) : m_pProvider(provider) {}
    int CheckAbnormalNode(const CLocatorPossibleLocations& entry) override;

  private:
    CRoutingMapAndGuide* m_pProvider;
};
