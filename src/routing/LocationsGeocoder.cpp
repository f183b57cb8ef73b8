#include "routing/LocationsGeocoder.h"

#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "platform/Text.h"

std::string CLocationsGeocoder::Filter(const std::string& postcode, const std::string& city)
{
    const std::string compact = CompactPostcode(postcode);
    std::string filter;
    if (!compact.empty())
        filter = "LOCATION_CP=" + QuoteFilterValue(compact);
    const std::string_view trimmedCity = trv::Trim(city);
    if (!trimmedCity.empty())
        filter += (filter.empty() ? "" : " AND ") + std::string("LOCATION_CITY=") +
                  QuoteFilterValue(trimmedCity);
    return filter;
}

void CLocationsGeocoder::Search(const std::string& /*countryCode*/, const std::string& postcode,
                                const std::string& city, const std::string& /*suburb*/,
                                const std::string& street, std::vector<TGeocoderRow>& rows)
{
    // Without a postcode or a city every place of the table would match.
    const std::string filter = Filter(postcode, city);
    if (filter.empty())
        return;
    CFetch fetch;
    if (!fetch.Init("LOCATIONS", "", "", FETCH_MODE_READ, "", filter, "", 0)) {
        fetch.Close();
        return;
    }
    std::vector<TGeocoderRow> found;
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        const double longitude =
            fetch.GetFieldDouble("LOCATION_LONGITUDE", 0, 0, nullptr, kNotLocatedCoordinate);
        const double latitude =
            fetch.GetFieldDouble("LOCATION_LATITUDE", 0, 0, nullptr, kNotLocatedCoordinate);
        if (!IsUsablePoint(longitude, latitude))
            continue;
        TGeocoderRow row;
        row.longitude = HundredThousandths(longitude);
        row.latitude = HundredThousandths(latitude);
        row.country = fetch.GetFieldInt("LOCATION_COUNTRY", 34);
        row.postcode = fetch.GetFieldString("LOCATION_CP");
        row.city = fetch.GetFieldString("LOCATION_CITY");
        row.suburb = fetch.GetFieldString("LOCATION_SUBURB");
        row.street = fetch.GetFieldString("LOCATION_STREET");
        row.houseNumber = fetch.GetFieldString("LOCATION_STREETNR");
        if (row.street.empty())
            row.street = "@";
        found.push_back(std::move(row));
    }
    fetch.Close();
    AppendStreetMatches(found, street, rows);
}
