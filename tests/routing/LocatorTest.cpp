#include "routing/Locator.h"

#include "../KLV/TraceCapture.h"
#include "FakeLocatorServices.h"
#include "model/LookupTables.h"
#include "params/Parameters.h"
#include "platform/Progress.h"
#include "platform/UserPrompt.h"

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
        bool offered;
        const char* street;
    };
    const Case cases[] = {
        {"refused point",
         -3.7,
         40.4,
         0,
         34,
         false,
         kLocatorSearchOk,
         -3.7,
         {},
         kNone,
         kNone,
         -3.7,
         kLocatorIsolated,
         false,
         true,
         "c/ mayor 5"},
        {"isolated entry is not located again",
         kNone,
         kNone,
         kLocatorIsolated,
         34,
         false,
         kLocatorSearchOk,
         0.0,
         {},
         kNone,
         kNone,
         kNone,
         kLocatorIsolated,
         false,
         false,
         "c/ mayor 5"},
        {"point in another country",
         -3.7,
         40.4,
         0,
         34,
         true,
         kLocatorSearchOk,
         0.0,
         {{-3.7, 33}},
         kNone,
         kNone,
         kNone,
         kLocatorNotFound,
         false,
         false,
         "c/ mayor 5"},
        {"point in its country",
         -3.7,
         40.4,
         0,
         34,
         true,
         kLocatorSearchOk,
         0.0,
         {{-3.7, 34}},
         -3.7,
         40.4,
         kNone,
         0,
         false,
         true,
         "c/ mayor 5"},
        {"country test off",
         -3.7,
         40.4,
         0,
         34,
         false,
         kLocatorSearchOk,
         0.0,
         {{-3.7, 33}},
         -3.7,
         40.4,
         kNone,
         0,
         false,
         true,
         "c/ mayor 5"},
        {"country cannot be told",
         -3.7,
         40.4,
         0,
         34,
         true,
         kLocatorSearchOk,
         0.0,
         {},
         -3.7,
         40.4,
         kNone,
         0,
         false,
         true,
         "c/ mayor 5"},
        {"geocoded and offered",
         kNone,
         kNone,
         kLocatorNotFound,
         34,
         true,
         kLocatorSearchOk,
         0.0,
         {},
         -4.0,
         41.0,
         kNone,
         kLocatorNotFound,
         true,
         true,
         "  MAYOR 5"},
        {"geocoded and refused",
         kNone,
         kNone,
         kLocatorNotFound,
         34,
         false,
         kLocatorSearchOk,
         -4.0,
         {},
         kNone,
         kNone,
         -4.0,
         kLocatorIsolated,
         true,
         true,
         "  MAYOR 5"},
        {"failed search",
         kNone,
         kNone,
         kLocatorNotFound,
         34,
         false,
         kLocatorSearchFailed,
         0.0,
         {},
         kNone,
         kNone,
         kNone,
         kLocatorNotFound,
         true,
         false,
         "  MAYOR 5"},
    };
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
        EXPECT_EQ(router.offered.size(), c.offered ? 1u : 0u);
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

  protected:
    void UpdateEntry(int, const CLocatorPossibleLocations&) override { ++updates; }
    void CandidatesAdded(int index, int count) override { added.emplace_back(index, count); }
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

} // namespace
