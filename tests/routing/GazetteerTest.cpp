#include "routing/Gazetteer.h"

#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "model/LookupTables.h"
#include "params/Parameters.h"
#include "routing/LocationsGeocoder.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kGazetteer = "COUNTRY;POSTCODE;CITY;SUBURB;STREET;NUMBER;LONGITUDE;LATITUDE\n"
                                   "34;28801;Alcalá de Henares;;;;-3.3644;40.4820\n"
                                   "34;28001;Madrid;Centro;Calle Mayor;1-9999;-3.7090;40.4155\n"
                                   "34;28001;Madrid;Centro;Calle Mayor;12;-3.7080;40.4160\n"
                                   "34;28001;Madrid;Centro;Calle del Sol;;-3.7000;40.4200\n"
                                   "351;4000;Porto;;;;-8.6110;41.1496\n"
                                   "34;99999;Nowhere;;;;;\n";

class GazetteerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        BuildCountryTable();
        ASSERT_TRUE(gazetteer.Load(folder.Write("Gazetteer.csv", kGazetteer)));
    }
    void TearDown() override { CFetch::ResetDefinitionFiles(); }

    std::vector<TGeocoderRow> Search(const std::string& postcode, const std::string& city,
                                     const std::string& street)
    {
        std::vector<TGeocoderRow> rows;
        gazetteer.Search("E", postcode, city, "", street, rows);
        return rows;
    }

    trv::test::TempFolder folder;
    CGazetteer gazetteer;
};

TEST_F(GazetteerTest, SearchesByPostcodeOrCityAndNarrowsToTheStreet)
{
    struct Case
    {
        const char* name;
        const char* postcode;
        const char* city;
        const char* street;
        std::vector<std::string> cities; // of the rows, in order
        std::vector<std::string> numbers;
    };
    const Case cases[] = {
        {"city without accents", "", "ALCALA DE HENARES", "", {"Alcalá de Henares"}, {""}},
        {"postcode with a blank",
         "28 001",
         "",
         "",
         {"Madrid", "Madrid", "Madrid"},
         {"1-9999", "12", ""}},
        {"street word",
         "28001",
         "MADRID",
         "CALLE MAYOR 12",
         {"Madrid", "Madrid"},
         {"1-9999", "12"}},
        {"unknown street keeps the area",
         "28001",
         "",
         "Calle Luna",
         {"Madrid", "Madrid", "Madrid"},
         {"1-9999", "12", ""}},
        {"unknown postcode falls back to the city",
         "28999",
         "alcalá de henares",
         "",
         {"Alcalá de Henares"},
         {""}},
        {"another country's postcode", "4000", "", "", {}, {}},
        {"nothing asked", "", "", "", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> cities;
        std::vector<std::string> numbers;
        for (const TGeocoderRow& row : Search(c.postcode, c.city, c.street)) {
            cities.push_back(row.city);
            numbers.push_back(row.houseNumber);
        }
        EXPECT_EQ(cities, c.cities);
        EXPECT_EQ(numbers, c.numbers);
    }
    const std::vector<TGeocoderRow> alcala = Search("", "Alcalá de Henares", "");
    ASSERT_EQ(alcala.size(), 1u);
    EXPECT_EQ(alcala[0].street, "@");
    EXPECT_EQ(alcala[0].longitude, -336440);
    EXPECT_EQ(alcala[0].latitude, 4048200);
    // The row without a point is no place.
    EXPECT_EQ(gazetteer.GetCount(), 5);
}

TEST_F(GazetteerTest, WindowsCodePageFileReadsLikeItsUtf8Copy)
{
    std::string cp1252 = kGazetteer;
    const std::string accented = "\xC3\xA1"; // á in UTF-8
    cp1252.replace(cp1252.find(accented), accented.size(), "\xE1");
    CGazetteer old;
    ASSERT_TRUE(old.Load(folder.Write("Old.csv", cp1252)));
    std::vector<TGeocoderRow> rows;
    old.Search("E", "", "ALCALA DE HENARES", "", "", rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].city, "Alcalá de Henares");
}

TEST_F(GazetteerTest, CountryOfThePointIsTheNearestPlaceWithinFiftyKm)
{
    struct Case
    {
        const char* name;
        double longitude;
        double latitude;
        int country;
    };
    const Case cases[] = {
        {"in Madrid", -3.70, 40.41, 34},
        {"near Porto", -8.40, 41.20, 351},
        {"between cells, near Alcalá", -3.0, 40.5, 34},
        {"at sea", -12.0, 41.0, -1},
        {"not located", kNotLocatedCoordinate, kNotLocatedCoordinate, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gazetteer.GetCountryAt(c.longitude, c.latitude), c.country) << c.name;
}

TEST_F(GazetteerTest, MissingFileLoadsNothing)
{
    CGazetteer missing;
    EXPECT_FALSE(missing.Load(folder.File("None.csv")));
    EXPECT_EQ(missing.GetCount(), 0);
}

// The program folder of a company: the bundled definitions, its locations table and its
// gazetteer.
class CompanyGeocodingTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        BuildCountryTable();
        ResetUserParameters();
        CFetch::ResetDefinitionFiles();
        program.Write("Data.ini",
                      trv::test::ReadFileBytes(std::string(TRV_PROGRAM_DIR) + "/Data.ini"));
        program.Write("Locations.csv",
                      "TYPE;CODE;NAME;ID;CITY;CP;SUBURB;STREET;NR;COUNTRY;LON;LAT\n"
                      "0;C1;Cliente;;Madrid;28001;;Calle Mayor;7;34;-3.71;40.41\n"
                      "0;C2;Quote;;Villa \"Nueva\";28999;;;;34;-3.9;40.3\n"
                      "0;C3;Sin punto;;Madrid;28001;;Calle Mayor;9;34;;\n");
        program.Write("Configuration/Gazetteer.csv", kGazetteer);
    }
    void TearDown() override
    {
        CFetch::ResetDefinitionFiles();
        ResetUserParameters();
    }

    trv::test::ProgramFolder program;
};

TEST_F(CompanyGeocodingTest, LocationsTableComesBeforeTheGazetteer)
{
    UserParameters().CoordTestCountry = 1;
    CLocatorMapGuide locator;
    ASSERT_TRUE(locator.UseCompanyGeocoding(program.File("Configuration")));
    CLocatorPossibleLocations entry;
    ASSERT_EQ(
        locator.SearchAddressAndFillPossibles("E", "28 001", "Madrid", "", "Calle Mayor 12", entry),
        kLocatorSearchOk);
    std::vector<std::string> numbers;
    for (const TLocatorData& candidate : entry.candidates)
        numbers.push_back(candidate.houseNumber);
    EXPECT_EQ(numbers, (std::vector<std::string>{"7", "1-9999", "12"}));
    EXPECT_DOUBLE_EQ(entry.candidates[0].longitude, -3.71);

    // The country test is the gazetteer's: a located point far from every place is left alone.
    locator.AddLocation("P", "", 0, -8.61, 41.15, 34, "", "", "", "", -1);
    locator.AddLocation("S", "", 0, -20.0, 41.15, 34, "", "", "", "", -1);
    EXPECT_EQ(locator.CheckNodes(nullptr), 1);
    EXPECT_EQ(locator.Entry(0).status, kLocatorNotFound);
    EXPECT_EQ(locator.Entry(1).status, kLocatorConfirmed);
}

TEST_F(CompanyGeocodingTest, CityWithAQuoteKeepsTheFilterWhole)
{
    EXPECT_EQ(CLocationsGeocoder::Filter("28 999", "Villa \"Nueva\""),
              "LOCATION_CP=\"28999\" AND LOCATION_CITY=\"Villa \"\"Nueva\"\"\"");
    EXPECT_EQ(CLocationsGeocoder::Filter("", " "), "");
    CLocationsGeocoder table;
    std::vector<TGeocoderRow> rows;
    table.Search("E", "", "Villa \"Nueva\"", "", "", rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].street, "@");
    EXPECT_EQ(rows[0].longitude, -390000);
}

} // namespace
