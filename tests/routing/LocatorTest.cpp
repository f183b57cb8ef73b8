#include "routing/Locator.h"

#include "../KLV/TraceCapture.h"
#include "FakeLocatorServices.h"
#include "model/Locations.h"
#include "model/LookupTables.h"
#include "params/Parameters.h"
#include "platform/Progress.h"
#include "platform/UserPrompt.h"
#include "routing/LocatorMapGuide.h"
#include "routing/RoutingMapAndGuideClient.h"

#include <gtest/gtest.h>

namespace {

constexpr double kNone = kNotLocatedCoordinate;

class LocatorTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetUserParameters();
        BuildCountryTable();
    }
    void TearDown() override { ResetUserParameters(); }
};

TEST_F(LocatorTest, StreetAbbreviationsAreRemoved)
{
    struct Case
    {
        const char* street;
        const char* expected;
    };
    const Case cases[] = {
        {"c/ mayor 5", "  MAYOR 5"},
        {"Avda. de la Paz", "  DE LA PAZ"},
        {"Avda. de la Constitución", "  DE LA CONSTITUCIÓN"},
        {"PLAZA MAYOR", "PLAZA MAYOR"},
        {"calle sol", "calle sol"},
        {"Ctra. N-II km 5", "  N-II KM 5"},
        // Only the first "C" is examined (inside CALLE); "C/" still qualifies on its own.
        {"calle c/sol", "CALLE  SOL"},
        // An abbreviation at the very end is not followed by a blank.
        {"san roque pza", "san roque pza"},
        // The character before "C/" is a letter of two bytes: nothing qualifies.
        {"éc/ mayor", "éc/ mayor"},
        {"av.ñandú", " ÑANDÚ"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormaliseStreet(c.street), c.expected) << c.street;
}

TEST_F(LocatorTest, NormaliseStreetTextStoresTheEntryText)
{
    CLocator locator;
    locator.AddEntry().street = "Avda. de la Paz";
    locator.NormaliseStreetText(0);
    EXPECT_EQ(locator.Entry(0).street, "  DE LA PAZ");
}

TEST_F(LocatorTest, CheckPassHandlesEachEntry)
{
    struct Case
    {
        const char* name;
        double x, y;
        int status;
        int country;
        bool coordTest;
        long searchResult;
        double refused;                // longitude the router refuses
        std::map<double, int> answers; // the country test's answers by longitude
        // Expected:
        double x2, y2, savedX;
        int status2;
        bool searched;
        int offered; // times offered to the router
        const char* street;
    };
    // clang-format off
    const Case cases[] = {
        {"refused point", -3.7, 40.4, 0, 34, false, kLocatorSearchOk, -3.7, {},
         kNone, kNone, -3.7, kLocatorIsolated, false, 1, "c/ mayor 5"},
        {"isolated entry is not located again", kNone, kNone, kLocatorIsolated, 34, false,
         kLocatorSearchOk, 0.0, {},
         kNone, kNone, kNone, kLocatorIsolated, false, 0, "c/ mayor 5"},
        {"point in another country", -3.7, 40.4, 0, 34, true, kLocatorSearchOk, 0.0, {{-3.7, 33}},
         kNone, kNone, kNone, kLocatorNotFound, false, 0, "c/ mayor 5"},
        {"point in its country", -3.7, 40.4, 0, 34, true, kLocatorSearchOk, 0.0, {{-3.7, 34}},
         -3.7, 40.4, kNone, 0, false, 1, "c/ mayor 5"},
        {"country test off", -3.7, 40.4, 0, 34, false, kLocatorSearchOk, 0.0, {{-3.7, 33}},
         -3.7, 40.4, kNone, 0, false, 1, "c/ mayor 5"},
        {"country cannot be told", -3.7, 40.4, 0, 34, true, kLocatorSearchOk, 0.0, {},
         -3.7, 40.4, kNone, 0, false, 1, "c/ mayor 5"},
        // The grading offers the new point once, the pass a second time.
        {"geocoded and offered", kNone, kNone, kLocatorNotFound, 34, true, kLocatorSearchOk, 0.0,
         {}, -4.0, 41.0, kNone, kLocatorStreet, true, 2, "  MAYOR 5"},
        {"geocoded and refused", kNone, kNone, kLocatorNotFound, 34, false, kLocatorSearchOk,
         -4.0, {}, kNone, kNone, -4.0, kLocatorIsolated, true, 1, "  MAYOR 5"},
        {"failed search", kNone, kNone, kLocatorNotFound, 34, false, kLocatorSearchFailed, 0.0,
         {}, kNone, kNone, kNone, kLocatorNotFound, true, 0, "  MAYOR 5"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserParameters().CoordTestCountry = c.coordTest ? 1 : 0;
        RecordingGeocoder geocoder;
        geocoder.result = c.searchResult;
        TLocatorData candidate;
        candidate.longitude = -4.0;
        candidate.latitude = 41.0;
        geocoder.answer = {candidate};
        RecordingRouterCheck router;
        router.refusedLongitudes = {c.refused};
        FakeCountryTest countries;
        countries.countries = c.answers;

        CLocator locator;
        locator.SetGeocoder(&geocoder);
        locator.SetRouterCheck(&router);
        locator.SetCountryTest(&countries);
        CLocatorPossibleLocations& entry = locator.AddEntry();
        entry.key = "K";
        entry.street = "c/ mayor 5";
        entry.x = c.x;
        entry.y = c.y;
        entry.status = c.status;
        entry.country = c.country;

        EXPECT_EQ(locator.CheckNodes(nullptr), 1);
        EXPECT_EQ(entry.x, c.x2);
        EXPECT_EQ(entry.y, c.y2);
        EXPECT_EQ(entry.savedX, c.savedX);
        EXPECT_EQ(entry.status, c.status2);
        EXPECT_EQ(geocoder.calls.size(), c.searched ? 1u : 0u);
        EXPECT_EQ(router.offered.size(), static_cast<std::size_t>(c.offered));
        EXPECT_EQ(entry.street, c.street);
        EXPECT_EQ(entry.GetCount(), c.searched && c.searchResult == kLocatorSearchOk ? 1 : 0);
        if (!c.coordTest) {
            EXPECT_TRUE(countries.asked.empty());
        }
    }
}

// Records the locator's notices after a search.
class NoticeLocator : public CLocator
{
  public:
    std::vector<std::pair<int, int>> added;
    int updates = 0;

  public:
    void KeepBestStreetMatch(int, CLocatorPossibleLocations&) override { ++updates; }
    void ClassifyLocation(int index, int count) override { added.emplace_back(index, count); }
};

TEST_F(LocatorTest, LocateEntrySearchesTheAddressWithTheCountryCode)
{
    struct Case
    {
        int country;
        const char* code;
    };
    const Case cases[] = {{34, "E"}, {1234, "E"}, {-5, "E"}, {1000, "E"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.country);
        RecordingGeocoder geocoder;
        geocoder.answer.resize(2);
        geocoder.answer[0].longitude = -4.0;
        geocoder.answer[0].latitude = 41.0;
        NoticeLocator locator;
        locator.SetGeocoder(&geocoder);
        CLocatorPossibleLocations& entry = locator.AddEntry();
        entry.country = c.country;
        entry.street = "MAYOR 5";
        entry.postcode = "28001";
        entry.suburb = "CENTRO";
        entry.city = "MADRID";
        entry.candidates.resize(1); // one from an earlier search, which comes first
        entry.candidates[0].longitude = -5.0;
        entry.candidates[0].latitude = 42.0;
        locator.LocateEntry(0);
        ASSERT_EQ(geocoder.calls.size(), 1u);
        const RecordingGeocoder::Call& call = geocoder.calls[0];
        EXPECT_EQ(call.countryCode, c.code);
        EXPECT_EQ(call.postcode, "28001");
        EXPECT_EQ(call.city, "MADRID");
        EXPECT_EQ(call.suburb, "CENTRO");
        EXPECT_EQ(call.street, "MAYOR 5");
        EXPECT_EQ(entry.x, -5.0);
        EXPECT_EQ(entry.y, 42.0);
        EXPECT_EQ(locator.updates, 1);
        EXPECT_EQ(locator.added, (std::vector<std::pair<int, int>>{{0, 2}}));
    }
}

TEST_F(LocatorTest, LocateEntryKeepsAnExistingPoint)
{
    RecordingGeocoder geocoder;
    geocoder.answer.resize(1);
    geocoder.answer[0].longitude = -4.0;
    geocoder.answer[0].latitude = 41.0;
    CLocator locator;
    locator.SetGeocoder(&geocoder);
    CLocatorPossibleLocations& entry = locator.AddEntry();
    entry.x = -3.7;
    entry.y = 40.4;
    locator.LocateEntry(0);
    EXPECT_EQ(entry.x, -3.7);
    EXPECT_EQ(entry.y, 40.4);
    EXPECT_EQ(entry.GetCount(), 1);
}

// Cancels when asked at the given position; records the positions.
class RecordingProgress : public trv::Progress
{
  public:
    long long cancelAt = -1;
    long long position = -1;
    long long total = -1;
    int steps = 0;
    std::string caption;

    void SetCaption(std::string_view text) override { caption = text; }
    void SetPosition(long long at, long long of) override
    {
        position = at;
        total = of;
        ++steps;
    }
    bool IsCancelled() const override { return position == cancelAt; }
};

TEST_F(LocatorTest, CancelIsReportedAfterEveryEntryWasExamined)
{
    for (const long long cancelAt : {-1LL, 3LL}) {
        SCOPED_TRACE(cancelAt);
        RecordingRouterCheck router;
        CLocator locator;
        locator.SetRouterCheck(&router);
        for (int i = 0; i < 10; ++i) {
            CLocatorPossibleLocations& entry = locator.AddEntry();
            entry.x = -3.0 - i;
            entry.y = 40.0;
        }
        RecordingProgress progress;
        progress.cancelAt = cancelAt;
        EXPECT_EQ(locator.CheckNodes(&progress), cancelAt < 0 ? 1 : 0);
        EXPECT_EQ(router.offered.size(), 10u);
        EXPECT_FALSE(progress.caption.empty());
    }
}

TEST_F(LocatorTest, ProgressCountsEveryEntryBeyondSixteenBits)
{
    CLocator locator;
    for (int i = 0; i < 70000; ++i) {
        CLocatorPossibleLocations& entry = locator.AddEntry();
        entry.x = -3.0;
        entry.y = 40.0;
    }
    RecordingProgress progress;
    EXPECT_EQ(locator.CheckNodes(&progress), 1);
    EXPECT_EQ(progress.position, 70000);
    EXPECT_EQ(progress.total, 70000);
    EXPECT_EQ(progress.steps, 70001);
}

TEST_F(LocatorTest, MissingGeocoderIsReportedOncePerPass)
{
    TraceCapture trace(1);
    trv::RecordingUserPrompt prompt;
    CLocator locator;
    for (int i = 0; i < 100; ++i)
        locator.AddEntry().street = "c/ mayor 5";
    EXPECT_EQ(locator.CheckNodes(nullptr), 1);
    EXPECT_EQ(prompt.calls.size(), 1u);
    int traced = 0;
    for (const std::string& message : trace.Messages())
        traced += message.find("Locator no inicializado") != std::string::npos ? 1 : 0;
    EXPECT_EQ(traced, 1);
    // Every entry still had its street normalised.
    EXPECT_EQ(locator.Entry(99).street, "  MAYOR 5");
    // Outside a pass, each search reports.
    locator.LocateEntry(0);
    EXPECT_EQ(prompt.calls.size(), 2u);
}

TEST_F(LocatorTest, ProblemEntriesDependOnAmbiguousAsValid)
{
    CLocator empty;
    EXPECT_EQ(empty.CountProblemEntries(), 0);

    CLocator locator;
    for (int status = 0; status <= 7; ++status)
        locator.AddEntry().status = status;
    struct Case
    {
        int ambiguousAsValid;
        int expected;
    };
    for (const Case c : {Case{1, 2}, Case{0, 3}}) {
        UserParameters().AmbiguousAsValid = c.ambiguousAsValid;
        EXPECT_EQ(locator.CountProblemEntries(), c.expected) << c.ambiguousAsValid;
    }
}

TEST_F(LocatorTest, GeocoderStreetDropsFillersAndCutsAfterTheNumber)
{
    struct Case
    {
        const char* street;
        const char* expected;
    };
    const Case cases[] = {
        {"Calle de la Paz S/N", "Calle Paz   "},
        {"Av. de la Constitución 12, 3º B", "Av. Constitución 12"},
        // A non-digit in the last place never cuts: the appended blank stays.
        {"Mayor 12", "Mayor 12 "},
        {"Camino de los Pozos 7/9", "Camino Pozos 7"},
        {"Rambla\\Nova", "Rambla Nova "},
        {"", " "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GeocoderStreet(c.street), c.expected) << c.street;
}

TLocatorData Candidate(double longitude, const std::string& postcode, const std::string& city,
                       const std::string& street, const std::string& houseNumber)
{
    TLocatorData candidate;
    candidate.longitude = longitude;
    candidate.latitude = 40.0;
    candidate.postcode = postcode;
    candidate.city = city;
    candidate.street = street;
    candidate.houseNumber = houseNumber;
    return candidate;
}

TEST_F(LocatorTest, ClassificationGradesTheCandidates)
{
    struct Case
    {
        const char* name;
        int status; // before
        std::vector<TLocatorData> candidates;
        int ambiguousAsValid;
        double refused;
        // Expected:
        int status2;
        bool keepsPoint;
        int remaining;
    };
    // clang-format off
    const Case cases[] = {
        {"two candidates at one point", 2,
         {Candidate(-3.7, "28001", "MADRID", "MAYOR", ""), Candidate(-3.7, "28002", "MADRID", "SOL", "")},
         1, 0.0, kLocatorCity, true, 1},
        {"two points", 2,
         {Candidate(-3.7, "28001", "MADRID", "MAYOR", ""), Candidate(-3.8, "28002", "MADRID", "SOL", "")},
         1, 0.0, kLocatorAmbiguous, true, 2},
        {"two points, ambiguous not valid", 2,
         {Candidate(-3.7, "28001", "MADRID", "MAYOR", ""), Candidate(-3.8, "28002", "MADRID", "SOL", "")},
         0, 0.0, kLocatorAmbiguous, false, 2},
        {"whole street", 2, {Candidate(-3.7, "28001", "MADRID", "MAYOR", "1-9999")}, 1, 0.0,
         kLocatorStreet, true, 1},
        {"house number", 2, {Candidate(-3.7, "28001", "MADRID", "MAYOR", "12")}, 1, 0.0,
         kLocatorNumber, true, 1},
        {"no street", 2, {Candidate(-3.7, "28001", "MADRID", "@", "")}, 1, 0.0,
         kLocatorCity, true, 1},
        {"city inside the other, postcode below", 2,
         {Candidate(-3.7, "28001-5", "Madrid Centro", "@", "")}, 1, 0.0, kLocatorCity, true, 1},
        {"another city without street", 2, {Candidate(-3.7, "08001", "BARCELONA", "@", "")}, 1,
         0.0, kLocatorNotFound, false, 1},
        {"another city with a street", 2, {Candidate(-3.7, "08001", "BARCELONA", "MAYOR", "")},
         1, 0.0, kLocatorNotFound, false, 1},
        {"same city, other postcode", 2, {Candidate(-3.7, "28080", "madrid", "MAYOR", "")}, 1,
         0.0, kLocatorStreet, true, 1},
        {"confirmed place keeps its grade", kLocatorConfirmed,
         {Candidate(-3.7, "08001", "BARCELONA", "@", "")}, 1, 0.0, kLocatorConfirmed, true, 1},
        {"confirmed place with a street", kLocatorConfirmed,
         {Candidate(-3.7, "08001", "BARCELONA", "MAYOR", "3")}, 1, 0.0, kLocatorNumber, true, 1},
        {"refused point", 2, {Candidate(-3.7, "28001", "MADRID", "MAYOR", "12")}, 1, -3.7,
         kLocatorIsolated, false, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserParameters().AmbiguousAsValid = c.ambiguousAsValid;
        RecordingRouterCheck router;
        router.refusedLongitudes = {c.refused};
        CLocator locator;
        locator.SetRouterCheck(&router);
        CLocatorPossibleLocations& entry = locator.AddEntry();
        entry.postcode = "28001";
        entry.city = "Madrid";
        entry.status = c.status;
        entry.candidates = c.candidates;
        entry.x = -3.7;
        entry.y = 40.0;
        locator.ClassifyLocation(0, 0);
        EXPECT_EQ(entry.status, c.status2);
        EXPECT_EQ(entry.HasPoint(), c.keepsPoint);
        EXPECT_EQ(entry.GetCount(), c.remaining);
        if (c.status2 == kLocatorIsolated) {
            EXPECT_EQ(entry.savedX, -3.7);
        }
    }
}

TEST_F(LocatorTest, StreetMatchKeepsTheNumberedCandidate)
{
    struct Case
    {
        const char* name;
        std::vector<TLocatorData> candidates;
        std::vector<std::string> kept; // house numbers of the candidates left, in order
    };
    // clang-format off
    const Case cases[] = {
        {"numbered match wins",
         {Candidate(-3.7, "28001", "Madrid", "Calle Mayor", ""), Candidate(-3.8, "28001", "Madrid", "Calle Mayor", "12"),
          Candidate(-3.9, "28001", "Madrid", "Calle Sol", "")}, {"12"}},
        {"last street match without numbers",
         {Candidate(-3.7, "28001", "Madrid", "Mayor", ""), Candidate(-3.8, "28001", "Madrid", "Mayor", "1-9999")},
         {"1-9999"}},
        {"no match keeps every distinct candidate",
         {Candidate(-3.7, "28001", "Madrid", "Sol", "1"), Candidate(-3.7, "28001", "Madrid", "Sol", "2"),
          Candidate(-3.9, "28001", "Madrid", "Luna", "3")}, {"1", "3"}},
        {"postcode elsewhere is no match",
         {Candidate(-3.7, "08001", "Madrid", "Mayor", "5"), Candidate(-3.8, "28001", "Madrid", "@", "6")},
         {"5", "6"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CLocator locator;
        CLocatorPossibleLocations& entry = locator.AddEntry();
        entry.postcode = "28001";
        entry.city = "Alcalá";
        entry.street = "calle mayor 12";
        entry.candidates = c.candidates;
        locator.KeepBestStreetMatch(0, entry);
        std::vector<std::string> kept;
        for (const TLocatorData& candidate : entry.candidates)
            kept.push_back(candidate.houseNumber);
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(entry.street, "CALLE MAYOR 12");
        EXPECT_EQ(entry.city, "ALCALA");
    }
    EXPECT_EQ(SignificantStreetWord("CALLE MAYOR 12"), "MAYOR");
    EXPECT_EQ(SignificantStreetWord("Avenida de la Paz"), "Avenida de la Paz");
    EXPECT_EQ(SignificantStreetWord("PLAZA ÁNGEL GANIVET"), "GANIVET");
}

// Answers the rows it was given, recording the streets it was sent.
class FixedBackend : public GeocoderBackend
{
  public:
    std::vector<TGeocoderRow> rows;
    std::vector<std::string> streets;

    void Search(const std::string&, const std::string&, const std::string&, const std::string&,
                const std::string& street, std::vector<TGeocoderRow>& out) override
    {
        streets.push_back(street);
        out.insert(out.end(), rows.begin(), rows.end());
    }
};

TEST_F(LocatorTest, BackendChainGivesAtMostFiveCandidatesInItsOrder)
{
    FixedBackend table;
    FixedBackend gazetteer;
    for (int i = 0; i < 3; ++i)
        table.rows.push_back({-370000 - i, 4040000, 34, "28001", "MADRID", "", "MAYOR", ""});
    for (int i = 0; i < 5; ++i)
        gazetteer.rows.push_back({-380000 - i, 4140000, 34, "28001", "MADRID", "", "SOL", ""});
    CLocatorMapGuide locator;
    locator.AddBackend(&table);
    locator.AddBackend(&gazetteer);
    CLocatorPossibleLocations entry;
    EXPECT_EQ(
        locator.SearchAddressAndFillPossibles("E", "28001", "MADRID", "", "Calle de la Paz", entry),
        kLocatorSearchOk);
    ASSERT_EQ(entry.GetCount(), 5);
    EXPECT_EQ(entry.candidates[0].street, "MAYOR");
    EXPECT_EQ(entry.candidates[3].street, "SOL");
    EXPECT_DOUBLE_EQ(entry.candidates[0].longitude, -3.7);
    EXPECT_DOUBLE_EQ(entry.candidates[0].latitude, 40.4);
    EXPECT_EQ(table.streets, std::vector<std::string>{"Calle Paz "});

    FixedBackend nothing;
    CLocatorMapGuide empty;
    empty.AddBackend(&nothing);
    CLocatorPossibleLocations untouched;
    EXPECT_EQ(empty.SearchAddressAndFillPossibles("E", "", "", "", "", untouched),
              kLocatorSearchFailed);
    EXPECT_EQ(untouched.GetCount(), 0);
}

TEST_F(LocatorTest, LocatedPointIsTheStreetMatchKept)
{
    FixedBackend backend;
    backend.rows.push_back({-370000, 4040000, 34, "28001", "MADRID", "", "MAYOR", ""});
    backend.rows.push_back({-380000, 4140000, 34, "28001", "MADRID", "", "MAYOR", "12"});
    CLocatorMapGuide locator;
    locator.AddBackend(&backend);
    locator.AddLocation("K", "Cliente", 0, kNone, kNone, 34, "28001", "Madrid", "Calle Mayor 12",
                        "", -1);
    locator.LocateEntry(0);
    const CLocatorPossibleLocations& entry = locator.Entry(0);
    ASSERT_EQ(entry.GetCount(), 1);
    EXPECT_DOUBLE_EQ(entry.x, -3.8);
    EXPECT_DOUBLE_EQ(entry.y, 41.4);
    EXPECT_EQ(entry.status, kLocatorNumber);
}

TEST_F(LocatorTest, AddedPlacesAreFoundByKeyAndCheckedByTheRouter)
{
    RecordingRouterCheck router;
    router.refusedLongitudes = {-9.0};
    CLocator locator;
    locator.SetRouterCheck(&router);
    locator.AddLocation("A", "", 0, kNone, kNone, 34, "", "", "", "", -1);
    locator.AddLocation("B", "", 0, -3.7, 40.4, 34, "", "", "", "", 7);
    locator.AddLocation("C", "", 0, -9.0, 40.4, 34, "", "", "", "", -1);
    locator.AddLocation("A", "second", 0, kNone, kNone, 34, "", "", "", "", -1);
    EXPECT_EQ(locator.Entry(0).status, kLocatorNotFound);
    EXPECT_EQ(locator.Entry(1).status, kLocatorConfirmed);
    EXPECT_EQ(locator.Entry(1).locationClass, 7);
    EXPECT_EQ(locator.Entry(2).status, kLocatorIsolated);
    EXPECT_EQ(locator.Entry(2).savedX, -9.0);
    EXPECT_FALSE(locator.Entry(2).HasPoint());
    ASSERT_NE(locator.FindLocation("A"), nullptr);
    EXPECT_EQ(locator.FindLocation("A")->name, "second");
    EXPECT_EQ(locator.FindLocation("Z"), nullptr);

    // The index outlives the entries it named, but names nothing any more.
    locator.RemoveAllEntries();
    EXPECT_EQ(locator.FindLocation("B"), nullptr);
    locator.AddLocation("X", "", 0, kNone, kNone, 34, "", "", "", "", -1);
    locator.RemoveAll();
    EXPECT_EQ(locator.GetCount(), 0);
    EXPECT_EQ(locator.FindLocation("X"), nullptr);
}

TEST_F(LocatorTest, WithoutRoadDataTheRouterRefusesNothing)
{
    CLocatorPossibleLocations entry;
    entry.x = -3.7;
    entry.y = 40.4;
    CRoutingPointCheck noProvider(nullptr);
    EXPECT_EQ(noProvider.CheckAbnormalNode(entry), 1);
    CRoutingMapAndGuide provider;
    CRoutingPointCheck notReady(&provider);
    EXPECT_EQ(notReady.CheckAbnormalNode(entry), 1);
}

// A loop over one category sees every entry of it, the first and the last included, and no
// other.
TEST_F(LocatorTest, CursorVisitsEveryEntryOfTheCategory)
{
    CLocator locator;
    const int categories[] = {2, 0, 2, 1, 0};
    for (const int category : categories) {
        CLocatorPossibleLocations& entry = locator.AddEntry();
        entry.category = category;
        entry.key = std::to_string(locator.GetCount() - 1);
    }
    struct Case
    {
        int category;
        std::vector<std::string> keys;
    };
    const Case cases[] = {{0, {"1", "4"}}, {2, {"0", "2"}}, {1, {"3"}}, {3, {}}};
    for (const Case& c : cases) {
        std::vector<std::string> keys;
        for (locator.StartCategory(c.category); !locator.IsAtEnd(); locator.NextInCategory())
            keys.push_back(locator.Current()->key);
        EXPECT_EQ(keys, c.keys) << c.category;
    }
    TLocationData location;
    EXPECT_EQ(locator.GetLocatorData(location), -1);
}

TEST_F(LocatorTest, LocatorDataFillsTheLocation)
{
    CLocator locator;
    locator.AddLocation("K", "Cliente", 0, -3.7, 40.4, 351, "4000", "PORTO", "RUA X", "", -1);
    TLocationData location;
    location.nodeCode = "N9";
    locator.StartCategory(0);
    EXPECT_EQ(locator.GetLocatorData(location), kLocatorConfirmed);
    EXPECT_EQ(location.nodeCode, "");
    EXPECT_EQ(location.name, "Cliente");
    EXPECT_EQ(location.city, "PORTO");
    EXPECT_EQ(location.postcode, "4000");
    EXPECT_EQ(location.street, "RUA X");
    EXPECT_EQ(location.country, 351);
    EXPECT_EQ(location.coordinates.longitude, -3.7);
    EXPECT_EQ(location.coordinates.latitude, 40.4);
}

} // namespace
