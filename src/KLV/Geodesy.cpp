#include "KLV/Geodesy.h"

#include "KLV/Utils.h"
#include "platform/Text.h"

#include <cmath>

namespace {

constexpr double kSemiMajorAxisKm = 6378.137;
constexpr double kSemiMinorAxisKm = 6356.752314245179;
constexpr double kFlattening = 0.003352810664747574;
constexpr double kEccentricity = 0.08181919084262157;
constexpr double kEccentricitySquared = 0.00669437999014133;
constexpr double kAxisRatioFourth = 0.9866560547431698; // (b/a)⁴
constexpr double kSemiMajorAxisSquared = 40680631.59076899;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kRadiansToDegrees = 57.29577951308232;

double PrimeVerticalRadius(double sinLatitude)
{
    return kSemiMajorAxisKm / std::sqrt(1 - kEccentricitySquared * sinLatitude * sinLatitude);
}

double RadiusAt(double latitudeRadians)
{
    const double sine = std::sin(latitudeRadians);
    const double cosine = std::cos(latitudeRadians);
    const double primeVertical = PrimeVerticalRadius(sine);
    return std::sqrt(kAxisRatioFourth * primeVertical * primeVertical * sine * sine +
                     primeVertical * primeVertical * cosine * cosine);
}

// One step of the geocentric-to-geodetic iteration.
double GeodeticFromGeocentric(double tanGeocentric, double primeVertical, double heightKm)
{
    return std::atan(tanGeocentric /
                     (1 - primeVertical * kEccentricitySquared / (primeVertical + heightKm)));
}

} // namespace

void InitWgs84Ellipsoid(TGeoCoordinate& record)
{
    record.semiMajorAxis = kSemiMajorAxisKm;
    record.semiMinorAxis = kSemiMinorAxisKm;
    record.flattening = kFlattening;
    record.eccentricity = kEccentricity;
    record.eccentricitySquared = kEccentricitySquared;
}

void EcefToGeodetic(TGeoCoordinate& record)
{
    const double x = record.X;
    const double y = record.Y;
    const double z = record.Z;
    const double radius = std::sqrt(x * x + y * y + z * z);
    const double planar = std::sqrt(x * x + y * y);
    record.longitude =
        std::fabs(x) + std::fabs(y) < 1e-10 ? 0.0 : std::atan2(y, x) * kRadiansToDegrees;
    InitWgs84Ellipsoid(record);

    if (planar < 1e-10) {
        record.latitude = z < 0 ? -90.0 : 90.0;
        record.height = radius - RadiusAt(record.latitude * kDegreesToRadians);
        return;
    }

    const double geocentric = std::asin(z / radius);
    const double sinGeocentric = std::sin(geocentric);
    const double cosGeocentric = std::cos(geocentric);
    const double tanGeocentric = std::tan(geocentric);
    const double denominator = 1 - kEccentricitySquared * sinGeocentric * sinGeocentric;
    const double initialPrimeVertical = PrimeVerticalRadius(sinGeocentric);
    const double initialHeight =
        radius - std::sqrt(kSemiMajorAxisSquared * cosGeocentric * cosGeocentric / denominator +
                           kAxisRatioFourth * initialPrimeVertical * initialPrimeVertical *
                               sinGeocentric * sinGeocentric);
    const double first = GeodeticFromGeocentric(tanGeocentric, initialPrimeVertical, initialHeight);
    const double second =
        GeodeticFromGeocentric(tanGeocentric, PrimeVerticalRadius(std::sin(first)), initialHeight);
    double latitude = second;
    double primeVertical = PrimeVerticalRadius(std::sin(latitude));
    record.latitude = latitude * kRadiansToDegrees;

    for (int step = 0; step < 5; ++step) {
        const double refined =
            std::atan((z + kEccentricitySquared * primeVertical * std::sin(latitude)) / planar);
        const double previousDegrees = record.latitude;
        record.latitude = refined * kRadiansToDegrees;
        primeVertical = PrimeVerticalRadius(std::sin(refined));
        record.height = planar / std::cos(refined) - primeVertical;
        latitude = refined;
        if (std::fabs(record.latitude - previousDegrees) < 1e-12)
            break;
    }
}

double GeocentricToGeodeticLatitude(const TGeoCoordinate&, double geocentricLatitude,
                                    double heightKm)
{
    const double geocentric = geocentricLatitude * kDegreesToRadians;
    const double tanGeocentric = std::tan(geocentric);
    const double first =
        GeodeticFromGeocentric(tanGeocentric, PrimeVerticalRadius(std::sin(geocentric)), heightKm);
    const double second =
        GeodeticFromGeocentric(tanGeocentric, PrimeVerticalRadius(std::sin(first)), heightKm);
    return second * kRadiansToDegrees;
}

double EllipsoidRadiusAtLatitude(const TGeoCoordinate&, double latitude)
{
    return RadiusAt(latitude * kDegreesToRadians);
}

void EllipsoidRadii(const TGeoCoordinate&, double latitude, double& radiusKm,
                    double& primeVerticalKm, double& meridianKm)
{
    const double radians = latitude * kDegreesToRadians;
    const double sine = std::sin(radians);
    radiusKm = RadiusAt(radians);
    primeVerticalKm = PrimeVerticalRadius(sine);
    meridianKm =
        primeVerticalKm * (1 - kEccentricitySquared) / (1 - kEccentricitySquared * sine * sine);
}

void ParseCoordinateText(TGeoCoordinate& record, std::string_view text, std::string_view separator)
{
    std::string rest(text);
    if (record.form == 1) {
        record.longitude = trv::ParseDouble(ExtractToken(rest, separator));
        record.latitude = trv::ParseDouble(rest);
        record.X = record.longitude;
        record.Y = record.latitude;
        record.Z = kNotLocatedCoordinate;
        return;
    }
    record.X = trv::ParseDouble(ExtractToken(rest, separator));
    record.Y = trv::ParseDouble(ExtractToken(rest, separator));
    record.Z = trv::ParseDouble(ExtractToken(rest, separator));
}

void FormatCoordinateText(const TGeoCoordinate& record, std::string& text,
                          std::string_view separator)
{
    const std::string sep(separator);
    if (record.form == 1)
        text = trv::FormatC("%f%s%f", record.longitude, sep.c_str(), record.latitude);
    else
        text = trv::FormatC("%f%s%f%s%f", record.X, sep.c_str(), record.Y, sep.c_str(), record.Z);
}
