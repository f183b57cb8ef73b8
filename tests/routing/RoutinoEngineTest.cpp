#include "routing/RoutinoEngine.h"

#include "../KLV/TraceCapture.h"
#include "RoadFixture.h"
#include "params/Parameters.h"
#include "params/SpeedTable.h"
#include "routing/RoutingMapAndGuideClient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

// The road-network library keeps or loses small blocks of its own (file names of road data that
// failed to load, search state of a failed route); leaks in our code are still reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libroutino.so\n";
}

namespace {

using trv::test::RoadFixture;

class RouteEventsSink : public CRouteEvents
{
  public:
    std::vector<std::pair<int, std::intptr_t>> messages;
    void OnRouteMessage(int wParam, std::intptr_t lParam) override
    {
        messages.emplace_back(wParam, lParam);
    }
    void ClearPendingRoutes(bool) override {}
};

// A provider ready on the fixture with the parameters' defaults.
std::unique_ptr<CRoutingMapAndGuide> ReadyProvider()
{
    ResetUserParameters();
    auto provider = std::make_unique<CRoutingMapAndGuide>();
    EXPECT_TRUE(provider->EspabilaMatriz(RoadFixture::Folder()));
    return provider;
}

struct Reference
{
    double km = -1.0;
    double minutes = -1.0;
};

// The library's own router on the same road data and profile: total km and minutes of its last
// itinerary line.
Reference ReferenceRoute(const std::string& vehicle, const TEngineProfile& profile, double lon1,
                         double lat1, double lon2, double lat2)
{
    static const char* const classes[ROAD_CLASS_COUNT] = {"motorway",    "trunk",    "primary",
                                                          "secondary",   "tertiary", "unclassified",
                                                          "residential", "service",  "track"};
    std::ostringstream command;
    command << "routino-router --dir=" << RoadFixture::Folder()
            << " --profiles=" << RoutinoEngine::DataFolder()
            << "/profiles.xml --translations=" << RoutinoEngine::DataFolder()
            << "/translations.xml --profile=" << vehicle
            << (profile.quickest ? " --quickest" : " --shortest")
            << " --oneway=1 --turns=1 --output-text-all --output-stdout";
    for (int road = 0; road < ROAD_CLASS_COUNT; ++road)
        command << " --speed-" << classes[road] << "=" << profile.speeds[road];
    command.precision(10);
    command << " --lon1=" << lon1 << " --lat1=" << lat1 << " --lon2=" << lon2 << " --lat2=" << lat2
            << " 2>/dev/null";
    Reference reference;
    FILE* pipe = ::popen(command.str().c_str(), "r");
    if (pipe == nullptr)
        return reference;
    char line[512];
    std::string last;
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        if (line[0] != '#')
            last = line;
    ::pclose(pipe);
    // Latitude, longitude, node, type, section km, section minutes, total km, total minutes.
    std::istringstream fields(last);
    std::string skip;
    fields >> skip >> skip >> skip >> skip >> skip >> skip >> reference.km >> reference.minutes;
    return reference;
}

TEST(RoutinoEngineTest, SynchronousCellsMatchTheLibrarysRouter)
{
    const std::unique_ptr<CRoutingMapAndGuide> provider = ReadyProvider();
    TSpeedTable table;
    table.speeds.fill(80);
    ReadSpeedTable(table, provider->SpeedFile());
    const TEngineProfile profile = MakeRouteProfile(table, UserParameters());
    struct Pair
    {
        const char* name;
        double lon1, lat1, lon2, lat2;
    };
    const Pair pairs[] = {
        {"along the motorway", 2.001, 41.0002, 2.099, 41.0002},
        {"motorway to the grid", 2.001, 41.0002, 2.0505, 41.0275},
        {"primary to the southern roads", 2.03, 41.0202, 2.075, 40.9805},
        {"one-way street northwards", 2.0502, 41.021, 2.0502, 41.0245},
        {"one-way street southwards", 2.0502, 41.0245, 2.0502, 41.021},
        {"into the dead end", 2.041, 41.0202, 2.068, 41.038},
    };
    double northwards = 0.0;
    double southwards = 0.0;
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.name);
        TDistanceCell cell;
        ASSERT_TRUE(
            provider->CalculaDistanciaSincrona(pair.lon1, pair.lat1, pair.lon2, pair.lat2, cell));
        const Reference reference =
            ReferenceRoute(profile.vehicle, profile, pair.lon1, pair.lat1, pair.lon2, pair.lat2);
        ASSERT_GT(reference.km, 0.0);
        EXPECT_NEAR(cell.km, reference.km, 0.01);
        // The router prints minutes to a tenth; ours are whole minutes rounded half up.
        EXPECT_NEAR(cell.minutes, reference.minutes, 0.55);
        if (std::string(pair.name) == "one-way street northwards")
            northwards = cell.km;
        if (std::string(pair.name) == "one-way street southwards")
            southwards = cell.km;
    }
    EXPECT_GT(southwards, northwards + 1.0); // southwards goes round the block
}

TEST(RoutinoEngineTest, RouteToTheIslandFailsThroughTheErrorEvent)
{
    const std::unique_ptr<CRoutingMapAndGuide> provider = ReadyProvider();
    RouteEventsSink sink;
    provider->SetRouteEvents(&sink);
    const std::vector<TRoutingPoint> stations = {RoutingPointFromDegrees(2.041, 41.0202),
                                                 RoutingPointFromDegrees(2.215, 41.1001)};
    EXPECT_FALSE(provider->CalcRouteAndWait(stations, "ruta"));
    EXPECT_EQ(provider->m_bBusy.load(), 0);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].first, 3);
    EXPECT_EQ(sink.messages[0].second, provider->LastError());
    EXPECT_GT(provider->LastError(), 0);

    // The same provider routes again afterwards, and the itinerary has one row per station.
    const std::vector<TRoutingPoint> reachable = {RoutingPointFromDegrees(2.041, 41.0202),
                                                  RoutingPointFromDegrees(2.089, 41.0002)};
    ASSERT_TRUE(provider->CalcRouteAndWait(reachable, "ruta")) << provider->LastError();
    EXPECT_GT(provider->m_fRouteKm, 3.0f);
    int route = 0;
    TItinerary itinerary;
    ASSERT_EQ(provider->GetRouteItinerary(route, itinerary), 0);
    ASSERT_EQ(itinerary.size(), 2u);
    EXPECT_NEAR(itinerary[1].km, provider->m_fRouteKm, 0.001);
}

TEST(RoutinoEngineTest, PointChecksNeedANearbyRoadAndARouteToTheAnchor)
{
    struct Case
    {
        const char* name;
        double lon, lat;
        int mode;
        bool accepted;
    };
    const Case cases[] = {
        {"beside a street", 2.0452, 41.0251, 0, true},
        {"beside a street", 2.0452, 41.0251, 1, true},
        {"5 km off", 2.05, 41.075, 0, false},
        {"on the island", 2.215, 41.1001, 0, true},
        {"on the island", 2.215, 41.1001, 1, false},
    };
    const std::unique_ptr<CRoutingMapAndGuide> provider = ReadyProvider();
    RoutinoEngine engine;
    std::string error;
    ASSERT_TRUE(engine.Open(RoadFixture::Folder(), error)) << error;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " mode " << c.mode);
        EXPECT_EQ(engine.CheckPoint(RoutingPointFromDegrees(c.lon, c.lat), c.mode), c.accepted);
    }
    EXPECT_TRUE(provider->CheckAbnormalNode(2.0452, 41.0251, "C1", "Cliente"));
    EXPECT_FALSE(provider->CheckAbnormalNode(2.215, 41.1001, "C2", "Isla"));
}

TEST(RoutinoEngineTest, HalvingTheMotorwaySpeedAboutDoublesAMotorwayLeg)
{
    RoutinoEngine engine;
    std::string error;
    ASSERT_TRUE(engine.Open(RoadFixture::Folder(), error)) << error;
    TEngineProfile profile;
    profile.vehicle = "hgv";
    profile.speeds.fill(50.0f);
    profile.speeds[ROAD_MOTORWAY] = 80.0f;
    const std::vector<TRoutingPoint> leg = {RoutingPointFromDegrees(2.011, 41.0002),
                                            RoutingPointFromDegrees(2.089, 41.0002)};
    double metres = 0.0;
    double fast = 0.0;
    double slow = 0.0;
    ASSERT_TRUE(engine.SetProfile(profile, error)) << error;
    ASSERT_TRUE(engine.CalculateSync(leg, metres, fast, error)) << error;
    profile.speeds[ROAD_MOTORWAY] = 40.0f;
    ASSERT_TRUE(engine.SetProfile(profile, error)) << error;
    ASSERT_TRUE(engine.CalculateSync(leg, metres, slow, error)) << error;
    EXPECT_NEAR(slow / fast, 2.0, 0.1);

    // Each vehicle type's own profile is one the library knows.
    for (const char* vehicle : {"hgv", "motorcar", "goods"}) {
        profile.vehicle = vehicle;
        EXPECT_TRUE(engine.SetProfile(profile, error)) << vehicle << ": " << error;
    }
    profile.vehicle = "spaceship";
    EXPECT_FALSE(engine.SetProfile(profile, error));
}

TEST(RoutinoEngineTest, MissingRoadDataLeavesTheEngineClosed)
{
    trv::test::TempFolder empty;
    RoutinoEngine engine;
    std::string error;
    EXPECT_FALSE(engine.Open(empty.Path().string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(engine.IsOpen());
    double metres = 0.0;
    double units = 0.0;
    EXPECT_FALSE(engine.CalculateSync({{0, 0}, {1, 1}}, metres, units, error));
}

} // namespace
