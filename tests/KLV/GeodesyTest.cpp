#include "KLV/Geodesy.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TGeoCoordinate Ecef(double x, double y, double z)
{
    TGeoCoordinate record;
    record.form = 0;
    record.X = x;
    record.Y = y;
    record.Z = z;
    return record;
}

} // namespace

TEST(Geodesy, EcefEdgeCases)
{
    struct Case
    {
        double x, y, z;
        double longitude, latitude, height;
    };
    const Case cases[] = {
        {6378.137, 0, 0, 0, 0, 0},
        {0, 0, 6356.752314245179, 0, 90, 0},
        {0, 0, -6400, 0, -90, 6400 - 6356.752314245179},
        {0, 6378.137, 0, 90, 0, 0},
        {-6378.137 - 1, 0, 0, 180, 0, 1},
    };
    for (const Case& item : cases) {
        TGeoCoordinate record = Ecef(item.x, item.y, item.z);
        EcefToGeodetic(record);
        EXPECT_NEAR(record.longitude, item.longitude, 1e-9) << item.x << "," << item.z;
        EXPECT_NEAR(record.latitude, item.latitude, 1e-9) << item.x << "," << item.z;
        EXPECT_NEAR(record.height, item.height, 1e-6) << item.x << "," << item.z;
        EXPECT_DOUBLE_EQ(record.semiMajorAxis, 6378.137);
    }
}

TEST(Geodesy, RecoversAPointBuiltFromItsGeodeticCoordinates)
{
    const double a = 6378.137;
    const double e2 = 0.00669437999014133;
    const double degrees = std::acos(-1.0) / 180.0;
    for (const double latitude : {40.4168, -33.9, 71.0, 1e-3}) {
        const double longitude = -3.7038;
        const double height = 0.65;
        const double sine = std::sin(latitude * degrees);
        const double n = a / std::sqrt(1 - e2 * sine * sine);
        TGeoCoordinate record =
            Ecef((n + height) * std::cos(latitude * degrees) * std::cos(longitude * degrees),
                 (n + height) * std::cos(latitude * degrees) * std::sin(longitude * degrees),
                 (n * (1 - e2) + height) * sine);
        EcefToGeodetic(record);
        EXPECT_NEAR(record.latitude, latitude, 1e-9);
        EXPECT_NEAR(record.longitude, longitude, 1e-9);
        EXPECT_NEAR(record.height, height, 1e-6);
    }
}

TEST(Geodesy, LatitudesAndRadii)
{
    TGeoCoordinate record;
    InitWgs84Ellipsoid(record);
    EXPECT_NEAR(GeocentricToGeodeticLatitude(record, 0, 0), 0, 1e-12);
    EXPECT_NEAR(GeocentricToGeodeticLatitude(record, 45, 0),
                std::atan(1 / (1 - 0.00669437999014133)) * 180 / std::acos(-1.0), 1e-9);
    double radius = 0, primeVertical = 0, meridian = 0;
    EllipsoidRadii(record, 0, radius, primeVertical, meridian);
    EXPECT_NEAR(radius, 6378.137, 1e-9);
    EXPECT_NEAR(primeVertical, 6378.137, 1e-9);
    EXPECT_NEAR(meridian, 6378.137 * (1 - 0.00669437999014133), 1e-9);
    EXPECT_NEAR(EllipsoidRadiusAtLatitude(record, 90), 6356.752314245179, 1e-6);
}

TEST(Geodesy, CoordinateTexts)
{
    TGeoCoordinate record;
    ParseCoordinateText(record, "-3.7038;40.4168", ";");
    EXPECT_DOUBLE_EQ(record.longitude, -3.7038);
    EXPECT_DOUBLE_EQ(record.latitude, 40.4168);
    EXPECT_DOUBLE_EQ(record.X, -3.7038);
    EXPECT_DOUBLE_EQ(record.Y, 40.4168);
    EXPECT_DOUBLE_EQ(record.Z, kNotLocatedCoordinate);
    std::string text;
    FormatCoordinateText(record, text, ";");
    EXPECT_EQ(text, "-3.703800;40.416800");

    record.form = 0;
    ParseCoordinateText(record, "1.5, 2.5, -3.5", ",");
    EXPECT_DOUBLE_EQ(record.X, 1.5);
    EXPECT_DOUBLE_EQ(record.Y, 2.5);
    EXPECT_DOUBLE_EQ(record.Z, -3.5);
    FormatCoordinateText(record, text, "|");
    EXPECT_EQ(text, "1.500000|2.500000|-3.500000");
}

TEST(Geodesy, PointValidity)
{
    EXPECT_FALSE(CDoublePoint().IsValid());
    EXPECT_FALSE(CDoublePoint(12345678.0, 40.4).IsValid());
    EXPECT_FALSE(CDoublePoint(-3.7, 12345678.0).IsValid());
    EXPECT_TRUE(CDoublePoint(0, 0).IsValid());
    EXPECT_TRUE(CDoublePoint(12345678.5, 40.4).IsValid());
    const TGeoCoordinate fresh;
    EXPECT_FALSE(CDoublePoint(fresh.longitude, fresh.latitude).IsValid());
    EXPECT_EQ(fresh.kind, 2);
    EXPECT_EQ(fresh.form, 1);
}
