#include "routing/Gazetteer.h"

#include "KLV/Fetch.h"
#include "KLV/Geodesy.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "model/LookupTables.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>

namespace {

// Postcodes are compared without blanks: "28 001" (sent for "28.001") is "28001".
std::string PostcodeKey(int country, std::string_view postcode)
{
    return std::to_string(country) + "|" + CompactPostcode(postcode);
}

std::string CityKey(int country, std::string_view city)
{
    return std::to_string(country) + "|" + trv::ToUpper(StripAccentsText(trv::Trim(city)));
}

// The country number of a registration code; -1 when no country has it.
int CountryOfCode(std::string_view code)
{
    if (code.empty())
        return -1;
    for (int country = 0; country < CountryCount; ++country)
        if (trv::EqualsNoCase(trv::GetCountryEntry(country).code, code))
            return country;
    return -1;
}

// The country test looks at the places of the cells around a point, not at every place.
constexpr double kCellDegrees = 0.5; // about 55 km of latitude, more than the radius

long long CellKey(long long latitudeCell, long long longitudeCell)
{
    return latitudeCell * 1000 + longitudeCell;
}

long long Cell(double degrees)
{
    return static_cast<long long>(std::floor(degrees / kCellDegrees));
}

} // namespace

bool CGazetteer::Load(const std::string& file)
{
    m_Places.clear();
    m_ByPostcode.clear();
    m_ByCity.clear();
    m_Grid.clear();
    CFetch fetch;
    if (!fetch.Init("GAZETTEER", "", "", FETCH_MODE_READ, file)) {
        TRV_TRACE(1, "CGazetteer::Load", "No se pudo abrir el nomenclátor %s", file.c_str());
        fetch.Close();
        return false;
    }
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        TPlace place;
        place.row.country = fetch.GetFieldInt("COUNTRY", 34);
        place.row.postcode = fetch.GetFieldString("POSTCODE");
        place.row.city = fetch.GetFieldString("CITY");
        place.row.suburb = fetch.GetFieldString("SUBURB");
        place.row.street = fetch.GetFieldString("STREET");
        place.row.houseNumber = fetch.GetFieldString("NUMBER");
        place.longitude = fetch.GetFieldDouble("LONGITUDE", 0, 0, nullptr, kNotLocatedCoordinate);
        place.latitude = fetch.GetFieldDouble("LATITUDE", 0, 0, nullptr, kNotLocatedCoordinate);
        if (!IsUsablePoint(place.longitude, place.latitude))
            continue; // no usable point: not a place
        if (place.row.street.empty())
            place.row.street = "@";
        place.row.longitude = HundredThousandths(place.longitude);
        place.row.latitude = HundredThousandths(place.latitude);
        const int position = static_cast<int>(m_Places.size());
        if (!place.row.postcode.empty())
            m_ByPostcode[PostcodeKey(place.row.country, place.row.postcode)].push_back(position);
        if (!place.row.city.empty())
            m_ByCity[CityKey(place.row.country, place.row.city)].push_back(position);
        m_Grid[CellKey(Cell(place.latitude), Cell(place.longitude))].push_back(position);
        m_Places.push_back(std::move(place));
    }
    fetch.Close();
    return true;
}

void CGazetteer::Search(const std::string& countryCode, const std::string& postcode,
                        const std::string& city, const std::string& /*suburb*/,
                        const std::string& street, std::vector<TGeocoderRow>& rows)
{
    const int found = CountryOfCode(countryCode);
    const int country = found < 0 ? 34 : found;
    const std::vector<int>* places = nullptr;
    if (const auto byPostcode = m_ByPostcode.find(PostcodeKey(country, postcode));
        !trv::Trim(postcode).empty() && byPostcode != m_ByPostcode.end())
        places = &byPostcode->second;
    else if (const auto byCity = m_ByCity.find(CityKey(country, city));
             !trv::Trim(city).empty() && byCity != m_ByCity.end())
        places = &byCity->second;
    if (places == nullptr)
        return;
    std::vector<TGeocoderRow> area;
    area.reserve(places->size());
    for (const int position : *places)
        area.push_back(m_Places[static_cast<std::size_t>(position)].row);
    AppendStreetMatches(area, street, rows);
}

int CGazetteer::GetCountryAt(double longitude, double latitude)
{
    if (!IsUsablePoint(longitude, latitude))
        return -1;
    const CDoublePoint point(longitude, latitude);
    // A cell spans less longitude distance towards the poles: look at enough cells east and
    // west to cover the radius at the cell row nearest the pole.
    const double poleward = std::min(89.0, std::fabs(latitude) + kCellDegrees);
    const double cellKm = 111.0 * kCellDegrees * std::cos(poleward * M_PI / 180.0);
    const long long span =
        std::min<long long>(static_cast<long long>(std::ceil(kCountryRadiusKm / cellKm)), 360);
    const long long latitudeCell = Cell(latitude);
    const long long longitudeCell = Cell(longitude);
    const long long cellsAround = static_cast<long long>(360.0 / kCellDegrees);
    double nearestKm = kCountryRadiusKm;
    int nearest = -1;
    for (long long row = latitudeCell - 1; row <= latitudeCell + 1; ++row)
        for (long long column = longitudeCell - span; column <= longitudeCell + span; ++column) {
            // Longitude wraps at the antimeridian.
            long long wrapped = (column + cellsAround / 2) % cellsAround;
            if (wrapped < 0)
                wrapped += cellsAround;
            const auto cell = m_Grid.find(CellKey(row, wrapped - cellsAround / 2));
            if (cell == m_Grid.end())
                continue;
            for (const int position : cell->second) {
                const TPlace& place = m_Places[static_cast<std::size_t>(position)];
                const double km =
                    GreatCircleDistanceKm(point, CDoublePoint(place.longitude, place.latitude));
                if (km < nearestKm || (km == nearestKm && (nearest < 0 || position < nearest))) {
                    nearestKm = km;
                    nearest = position;
                }
            }
        }
    return nearest < 0 ? -1 : m_Places[static_cast<std::size_t>(nearest)].row.country;
}
