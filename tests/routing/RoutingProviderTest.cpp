#include "../KLV/TraceCapture.h"
#include "FakeRoutingEngine.h"
#include "KLV/Folders.h"
#include "params/Parameters.h"
#include "params/SpeedTable.h"
#include "platform/UserPrompt.h"
#include "routing/RoutingMapAndGuideClient.h"
#include "routing/SchNodesList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

namespace {

class RecordingRouteEvents : public CRouteEvents
{
  public:
    std::vector<std::pair<int, std::intptr_t>> messages;
    int bothCleared = 0;
    int firstCleared = 0;
    void OnRouteMessage(int wParam, std::intptr_t lParam) override
    {
        messages.emplace_back(wParam, lParam);
    }
    void ClearPendingRoutes(bool both) override { ++(both ? bothCleared : firstCleared); }
};

bool Contains(const std::vector<std::string>& lines, const std::string& text)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
}

// A ready provider over a fake engine the test scripts.
struct FakeProvider
{
    FakeProvider()
    {
        auto owned = std::make_unique<FakeRoutingEngine>();
        engine = owned.get();
        provider = std::make_unique<CRoutingMapAndGuide>(std::move(owned));
        provider->SetRouteEvents(&events);
        EXPECT_TRUE(provider->EspabilaMatriz("unused"));
    }
    FakeRoutingEngine* engine = nullptr;
    RecordingRouteEvents events;
    std::unique_ptr<CRoutingMapAndGuide> provider;
    const std::vector<TRoutingPoint> stations{{200000, 4100000}, {210000, 4100000}};
};

TEST(RoutingProviderTest, CalcRouteWithoutEngineFailsTracedAndNotBusy)
{
    TraceCapture trace(2);
    CRoutingMapAndGuide provider(nullptr);
    EXPECT_FALSE(
        provider.CalcRoute(CRouting::TIPO_DISTANCIA, {{0, 0}, {1, 1}}, "ruta", true, 0, 100));
    EXPECT_EQ(provider.m_bBusy.load(), 0);
    EXPECT_TRUE(Contains(trace.Messages(), "pRouteLister es nulo"));
}

TEST(RoutingProviderTest, ListedRouteGivesKmAndMinutes)
{
    FakeProvider fake;
    fake.engine->outcome.metres = 12345.0;
    fake.engine->outcome.units = 95.0; // 950 s
    EXPECT_TRUE(fake.provider->CalcRouteAndWait(fake.stations, "ruta"));
    EXPECT_FLOAT_EQ(fake.provider->m_fRouteKm, 12.345f);
    EXPECT_EQ(fake.provider->m_nRouteMinutes, 15);
    EXPECT_EQ(fake.provider->m_bBusy.load(), 0);
}

TEST(RoutingProviderTest, ErrorEventsEndTheWaitAndReachTheSinkOrThePrompt)
{
    struct Case
    {
        const char* name;
        int code;
        const char* text;
        bool toSink;   // message 7026 with wParam 3 and the code
        bool toPrompt; // the whole text in a message box
    };
    const Case cases[] = {
        {"numeric code", 1002, "Route failed|1002|no route to station 2", true, false},
        {"cancel", RoutingEngine::kCancelCode, "Route cancelled|5|", false, false},
        {"no code between the bars", 7, "Route failed without a code", false, true},
        {"text between the bars", 7, "Route failed|abc|x", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        trv::RecordingUserPrompt prompt;
        FakeProvider fake;
        fake.engine->outcome.errorCode = c.code;
        fake.engine->outcome.errorText = c.text;
        EXPECT_FALSE(fake.provider->CalcRouteAndWait(fake.stations, "ruta"));
        EXPECT_EQ(fake.provider->m_bBusy.load(), 0);
        EXPECT_EQ(fake.provider->m_bCancelled.load(), 1);
        EXPECT_EQ(fake.events.bothCleared, 1);
        if (c.toSink) {
            ASSERT_EQ(fake.events.messages.size(), 1u);
            EXPECT_EQ(fake.events.messages[0], std::make_pair(3, std::intptr_t{c.code}));
            EXPECT_EQ(fake.provider->LastError(), c.code);
        } else {
            EXPECT_TRUE(fake.events.messages.empty());
            EXPECT_EQ(fake.provider->LastError(), -1); // as the calculation set it
        }
        ASSERT_EQ(prompt.calls.size(), c.toPrompt ? 1u : 0u);
        if (c.toPrompt) {
            EXPECT_EQ(prompt.calls[0].text, c.text);
        }
    }
}

TEST(RoutingProviderTest, KillAndReleaseEverythingTouchesTheRoutesOfItsKind)
{
    struct Case
    {
        int kind;
        bool release;
        bool matrixKept;
        bool singleKept;
        std::vector<int> cancelled; // 1 the matrix route, 2 the single route
    };
    const Case cases[] = {
        {CRouting::TIPO_RUTA, true, false, true, {1}},
        {CRouting::TIPO_DISTANCIA, true, true, false, {2}},
        {CRouting::TIPO_AMBOS, true, false, false, {1, 2}},
        {CRouting::TIPO_RUTA, false, true, true, {1}},
        {CRouting::TIPO_AMBOS, false, true, true, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " release " << c.release);
        FakeProvider fake;
        ASSERT_TRUE(
            fake.provider->CalculaDistanciaRealParaEuclideas(fake.stations, true, 0, 100, 100));
        const int matrix = fake.provider->MatrixRoute();
        // A single route beside it, as a route dialog leaves one.
        ASSERT_TRUE(fake.provider->CalcRoute(CRouting::TIPO_DISTANCIA, fake.stations, "ruta", true,
                                             0, 100));
        fake.engine->cancelled.clear();
        fake.engine->released.clear();
        fake.engine->cancelRoutingCalls = 0;
        EXPECT_EQ(fake.provider->KillAndReleaseEverything(c.kind, c.release), 0);
        EXPECT_EQ(fake.provider->MatrixRoute() != 0, c.matrixKept);
        EXPECT_EQ(fake.provider->m_bCancelled.load(), 1);
        std::vector<int> cancelled;
        for (const int route : fake.engine->cancelled)
            cancelled.push_back(route == matrix ? 1 : 2);
        EXPECT_EQ(cancelled, c.cancelled);
        EXPECT_EQ(fake.engine->released.size(), c.release ? c.cancelled.size() : 0u);
        EXPECT_EQ(fake.engine->cancelRoutingCalls, 1);
    }
}

TEST(RoutingProviderTest, WithoutRoadDataTheProviderIsNotReadyAndSaysSoOnce)
{
    TraceCapture trace(1);
    auto owned = std::make_unique<FakeRoutingEngine>();
    owned->opened = false;
    CRoutingMapAndGuide provider(std::move(owned));
    EXPECT_FALSE(provider.EspabilaMatriz("/nowhere"));
    EXPECT_FALSE(provider.EspabilaMatriz("/nowhere"));
    EXPECT_FALSE(provider.IsReady());
    const std::vector<std::string> lines = trace.Messages();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("Sin datos de carreteras") != std::string::npos;
                            }),
              1);
    TDistanceCell cell;
    EXPECT_FALSE(provider.CalculaDistanciaSincrona(2.0, 41.0, 2.1, 41.0, cell));
    EXPECT_EQ(cell.minutes, -1);
}

TEST(RoutingProviderTest, RouteValuesTakeOneLegPerPairOfRows)
{
    FakeProvider fake;
    const double day = 46000.0;
    // Rows 1-2 a leg of 12 minutes 30 seconds, rows 3-4 one of 61 minutes; row 2 to 3 ignored.
    const TItinerary itinerary = {{day, 0.0, ""},
                                  {day + 750.0 / 86400.0, 10.5, ""},
                                  {day + 1000.0 / 86400.0, 14.0, ""},
                                  {day + 4660.0 / 86400.0, 70.0, ""}};
    std::vector<TRouteLeg> trips;
    fake.provider->m_bBusy = 1;
    EXPECT_EQ(fake.provider->GetRouteValues(itinerary, trips, 0), 2);
    ASSERT_EQ(trips.size(), 2u);
    EXPECT_FLOAT_EQ(trips[0].km, 10.5f);
    EXPECT_EQ(trips[0].minutes, 12);
    EXPECT_FLOAT_EQ(trips[1].km, 56.0f);
    EXPECT_EQ(trips[1].minutes, 61);
    EXPECT_EQ(fake.provider->m_bBusy.load(), 0);
}

TEST(RoutingProviderTest, LegBetweenTwoNodesSpreadsItsMinutesOverTheGivenSpan)
{
    struct Case
    {
        const char* name;
        TItinerary rows; // elapsed 10-second units
        std::vector<int> minutes;
    };
    const Case cases[] = {
        {"scaled to the span",
         {{0.0, 0.0, "200000,4100000"},
          {30.0, 1.0, "200500,4100000"},
          {120.0, 4.0, "201000,4100100"}},
         {600, 615, 660}},
        {"total below one unit", {{0.0, 0.0, "1,2"}, {0.5, 0.01, "3,4"}}, {600, 600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProvider fake;
        fake.engine->itineraries[3] = c.rows;
        std::vector<TTimedPoint> points;
        fake.provider->CalcularTramoDosNodos(fake.stations, points, 600, 660, "tramo");
        std::vector<int> minutes;
        for (const TTimedPoint& point : points)
            minutes.push_back(point.minute);
        EXPECT_EQ(minutes, c.minutes);
        EXPECT_EQ(fake.provider->SingleRoute(), 0); // released at the end
        EXPECT_EQ(fake.provider->m_bBusy.load(), 0);
    }
    FakeProvider fake;
    fake.engine->itineraries[3] = cases[0].rows;
    std::vector<TTimedPoint> points;
    fake.provider->CalcularTramoDosNodos(fake.stations, points, 600, 660, "tramo");
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].x, 201000.0);
    EXPECT_EQ(points[2].y, 4100100.0);
}

TEST(RoutingProviderTest, SpatialOrderKeepsTinyGroupsAndSortsByQuadrant)
{
    // Points by node index.
    const std::vector<TRoutingPoint> points = {{10, 10}, {90, 90}, {90, 10},
                                               {10, 90}, {11, 11}, {50, 50}};
    std::vector<int> ordered;
    SpatialOrder({3}, points, ordered, 0, 0, 100, 100);
    EXPECT_EQ(ordered, std::vector<int>({3}));
    ordered.clear();
    SpatialOrder({4, 0}, points, ordered, 10, 10, 11, 11);
    EXPECT_EQ(ordered, std::vector<int>({4, 0}));
    ordered.clear();
    // Lower left, lower right, upper left, upper right; (50,50) sits on both middles.
    SpatialOrder({1, 3, 2, 0, 5}, points, ordered, 0, 0, 100, 100);
    EXPECT_EQ(ordered, std::vector<int>({0, 5, 2, 3, 1}));
}

TEST(RoutingProviderTest, PlacedNodesKeepTheirRowsWithoutCoordinates)
{
    FakeProvider fake;
    CSchNodesList nodes;
    for (const auto& [x, y] : std::vector<std::pair<double, double>>{
             {2.0, 41.0}, {12345678.0, 12345678.0}, {2.1, 41.02}}) {
        CNode* node = nodes.AddNewNode();
        node->x = x;
        node->y = y;
    }
    // Node 2 is not cached: it is converted on the spot.
    ASSERT_TRUE(fake.provider->CacheNodePoints({0, 1}, nodes));
    fake.provider->PlaceNodes({0, 1, 2}, nodes);
    const std::vector<TRoutingPoint>& stations = fake.provider->Stations();
    ASSERT_EQ(stations.size(), 3u);
    EXPECT_EQ(stations[0].x, 200000);
    EXPECT_EQ(stations[2].x, 210000);
    EXPECT_EQ(stations[2].y, 4102000);
    EXPECT_NE(stations[1].x, stations[0].x);
}

TEST(RoutingProviderTest, RouteProfileFollowsSpeedsVehicleTypeAndTollFactor)
{
    ResetUserParameters();
    TSpeedTable table;
    for (const auto& [type, vehicle] :
         std::vector<std::pair<int, std::string>>{{1, "hgv"}, {0, "motorcar"}, {2, "goods"}}) {
        UserParameters().VehicleType = type;
        EXPECT_EQ(MakeRouteProfile(table, UserParameters()).vehicle, vehicle) << type;
    }
    for (const auto& [factor, avoid] :
         std::vector<std::pair<int, bool>>{{0, true}, {-5, true}, {1, false}}) {
        table.tollFactor = factor;
        EXPECT_EQ(MakeRouteProfile(table, UserParameters()).avoidTolls, avoid) << factor;
    }
    table.shortestFastest = 49;
    EXPECT_FALSE(MakeRouteProfile(table, UserParameters()).quickest);
    table.shortestFastest = 50;
    EXPECT_TRUE(MakeRouteProfile(table, UserParameters()).quickest);
    table.speeds[0] = 123;
    table.speeds[8] = 7;
    const TEngineProfile profile = MakeRouteProfile(table, UserParameters());
    EXPECT_EQ(profile.speeds[ROAD_MOTORWAY], 123.0f);
    EXPECT_EQ(profile.speeds[ROAD_TRACK], 7.0f);
    ResetUserParameters();
}

TEST(RoutingProviderTest, PlanSpeedFileDrivesTheRouteAndReadTollsAskNoAvoidance)
{
    TraceCapture trace(1);
    ResetUserParameters();
    FakeProvider fake;
    const std::string planFile = GetTempFolder(1) + "Trevantor.vel";
    std::filesystem::create_directories(GetTempFolder(1));
    TSpeedTable table;
    table.speeds[0] = 77;
    table.tollFactor = -5; // read back as 100
    ASSERT_TRUE(WriteSpeedTable(table, planFile));
    fake.provider->SetUsePlanSpeedFile(true);
    EXPECT_EQ(fake.provider->SpeedFile(), planFile);
    ASSERT_TRUE(fake.provider->SetRouteOptions(0));
    ASSERT_FALSE(fake.engine->profiles.empty());
    EXPECT_EQ(fake.engine->profiles.back().speeds[ROAD_MOTORWAY], 77.0f);
    EXPECT_FALSE(fake.engine->profiles.back().avoidTolls);
    EXPECT_FALSE(Contains(trace.Messages(), "peajes"));
    std::filesystem::remove(planFile);
}

} // namespace
