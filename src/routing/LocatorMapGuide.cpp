#include "routing/LocatorMapGuide.h"

#include "routing/RoutingMapAndGuideClient.h"

#include <algorithm>

void CLocatorMapGuide::AddBackend(GeocoderBackend* backend)
{
    m_Backends.push_back(backend);
    SetGeocoder(this);
}

long CLocatorMapGuide::SearchAddressAndFillPossibles(
    const std::string& countryCode, const std::string& postcode, const std::string& city,
    const std::string& suburb, const std::string& street, CLocatorPossibleLocations& entry)
{
    const std::string sentStreet = GeocoderStreet(street);
    std::vector<TGeocoderRow> rows;
    for (GeocoderBackend* backend : m_Backends)
        backend->Search(countryCode, postcode, city, suburb, sentStreet, rows);
    if (rows.empty())
        return kLocatorSearchFailed;
    const std::size_t count = std::min<std::size_t>(rows.size(), kMaxCandidates);
    for (std::size_t i = 0; i < count; ++i) {
        const TGeocoderRow& row = rows[i];
        TLocatorData& candidate = entry.AddCandidate();
        candidate.country = row.country;
        candidate.postcode = row.postcode;
        candidate.city = row.city;
        candidate.suburb = row.suburb;
        candidate.street = row.street;
        candidate.houseNumber = row.houseNumber;
        candidate.longitude = row.longitude * 0.00001;
        candidate.latitude = row.latitude * 0.00001;
    }
    return kLocatorSearchOk;
}

int CRoutingPointCheck::CheckAbnormalNode(const CLocatorPossibleLocations& entry)
{
    if (m_pProvider == nullptr || !m_pProvider->IsReady())
        return 1;
    return m_pProvider->CheckAbnormalNode(entry.x, entry.y, entry.key, entry.name) ? 1 : 0;
}
