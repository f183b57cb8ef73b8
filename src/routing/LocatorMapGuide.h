#pragma once

#include "routing/Locator.h"

#include <string>
#include <vector>

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

    // Appends a backend (owned by the caller, alive while the locator searches). With one or
    // more the locator has a geocoder.
    void AddBackend(GeocoderBackend* backend);

    long SearchAddressAndFillPossibles(const std::string& countryCode, const std::string& postcode,
                                       const std::string& city, const std::string& suburb,
                                       const std::string& street,
                                       CLocatorPossibleLocations& entry) override;

  private:
    std::vector<GeocoderBackend*> m_Backends;
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
