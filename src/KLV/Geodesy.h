#pragma once

#include <string>
#include <string_view>

// Coordinates: the point type of the whole program and the conversion of earth-centred,
// earth-fixed (ECEF) coordinates in kilometres into longitude, latitude and height on the WGS84
// ellipsoid. 12345678.0 in a coordinate marks a point that is not located.

inline constexpr double kNotLocatedCoordinate = 12345678.0;

class CDoublePoint
{
  public:
    CDoublePoint() = default;
    CDoublePoint(double xValue, double yValue) : x(xValue), y(yValue) {}

    // True when neither coordinate is the not-located marker (exact comparison).
    bool IsValid() const { return x != kNotLocatedCoordinate && y != kNotLocatedCoordinate; }

    double x = kNotLocatedCoordinate; // longitude, degrees
    double y = kNotLocatedCoordinate; // latitude, degrees
};

// One coordinate in either form: geographic (form 1: X longitude, Y latitude) or ECEF (X, Y, Z
// in km), with the ellipsoid it is converted on.
struct TGeoCoordinate
{
    double semiMajorAxis = 0;       // a, km
    double semiMinorAxis = 0;       // b, km
    double flattening = 0;          // f
    double eccentricity = 0;        // e
    double eccentricitySquared = 0; // e²
    int kind = 2;                   // not read by the conversions
    double X = kNotLocatedCoordinate;
    double Y = kNotLocatedCoordinate;
    double Z = kNotLocatedCoordinate;
    double longitude = kNotLocatedCoordinate; // degrees, east positive
    double latitude = kNotLocatedCoordinate;  // degrees, north positive
    double height = 0;                        // km above the ellipsoid
    int form = 1;                             // 1 geographic, anything else ECEF
};

// Sets the five ellipsoid fields to WGS84.
void InitWgs84Ellipsoid(TGeoCoordinate& record);

// From X, Y, Z sets longitude, latitude and height (and the ellipsoid fields).
void EcefToGeodetic(TGeoCoordinate& record);

// The geodetic latitude (degrees) of a geocentric latitude (degrees) at a height (km).
double GeocentricToGeodeticLatitude(const TGeoCoordinate& record, double geocentricLatitude,
                                    double heightKm);

// Distance from the earth's centre to the ellipsoid surface at a geodetic latitude, km.
double EllipsoidRadiusAtLatitude(const TGeoCoordinate& record, double latitude);

// That distance, the prime-vertical radius N and the meridian radius, km.
void EllipsoidRadii(const TGeoCoordinate& record, double latitude, double& radiusKm,
                    double& primeVerticalKm, double& meridianKm);

// Form 1: the first token is the longitude and the rest the latitude (both also stored in X and
// Y; Z becomes the not-located marker); other forms: X, Y and Z from three tokens. Numbers are
// read in the C locale.
void ParseCoordinateText(TGeoCoordinate& record, std::string_view text, std::string_view separator);

// Form 1: "%f<separator>%f" of longitude and latitude; other forms "%f<sep>%f<sep>%f" of X, Y, Z.
void FormatCoordinateText(const TGeoCoordinate& record, std::string& text,
                          std::string_view separator);
