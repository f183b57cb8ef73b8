#include "routing/LocatorMapGuide.h"

#include "params/Parameters.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "routing/Gazetteer.h"
#include "routing/LocationsGeocoder.h"
#include "routing/RoutingMapAndGuideClient.h"

#include <algorithm>
#include <cmath>

CLocatorMapGuide::CLocatorMapGuide() = default;
CLocatorMapGuide::~CLocatorMapGuide() = default;

bool CLocatorMapGuide::UseCompanyGeocoding(const std::string& configurationFolder)
{
    m_Backends.clear();
    m_pLocationsTable = std::make_unique<CLocationsGeocoder>();
    m_pGazetteer = std::make_unique<CGazetteer>();
    AddBackend(m_pLocationsTable.get());
    AddBackend(m_pGazetteer.get());
    const bool loaded = m_pGazetteer->Load(trv::JoinPath(configurationFolder, "Gazetteer.csv"));
    SetCountryTest(UserParameters().CoordTestCountry != 0 ? m_pGazetteer.get() : nullptr);
    return loaded;
}

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

bool IsUsablePoint(double longitude, double latitude)
{
    return std::isfinite(longitude) && std::isfinite(latitude) && std::fabs(longitude) <= 180.0 &&
           std::fabs(latitude) <= 90.0;
}

int HundredThousandths(double degrees)
{
    return static_cast<int>(std::lround(degrees * 100000.0));
}

std::string CompactPostcode(std::string_view postcode)
{
    std::string compact;
    for (const char c : postcode)
        if (c != ' ')
            compact += c;
    return compact;
}

void AppendStreetMatches(const std::vector<TGeocoderRow>& places, std::string_view street,
                         std::vector<TGeocoderRow>& rows)
{
    const std::string word = trv::ToUpper(SignificantStreetWord(trv::Trim(street)));
    const std::size_t first = rows.size();
    if (!word.empty())
        for (const TGeocoderRow& place : places)
            if (place.street != "@" && trv::ToUpper(place.street).find(word) != std::string::npos)
                rows.push_back(place);
    if (rows.size() == first)
        rows.insert(rows.end(), places.begin(), places.end());
}
