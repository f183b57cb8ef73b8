#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

// What the routing provider asks of a road routing engine: stations, synchronous and
// asynchronous routes, itineraries, point checks and cancels. Units are the provider's: metres,
// 10-second units, and routing coordinates (degrees x 100000, truncated).

struct TRoutingPoint
{
    int x = 0; // longitude x 100000
    int y = 0; // latitude x 100000
};

// Degrees to routing coordinates.
TRoutingPoint RoutingPointFromDegrees(double longitude, double latitude);

// One row of a route's itinerary.
struct TItineraryRow
{
    // Arrival as an OLE date-time (list kinds 1 and 2) or elapsed 10-second units (kind 3).
    double time = 0.0;
    double km = 0.0;   // cumulative
    std::string point; // "x,y" in routing coordinates
};
using TItinerary = std::vector<TItineraryRow>;

// Road classes of a profile, in the order of the speeds below.
enum TRoadClass
{
    ROAD_MOTORWAY,
    ROAD_TRUNK,
    ROAD_PRIMARY,
    ROAD_SECONDARY,
    ROAD_TERTIARY,
    ROAD_UNCLASSIFIED,
    ROAD_RESIDENTIAL,
    ROAD_SERVICE,
    ROAD_TRACK,
    ROAD_CLASS_COUNT
};

// How a route is weighed: the vehicle the engine's own profile starts from, the speed of each
// road class, quickest or shortest.
struct TEngineProfile
{
    std::string vehicle = "goods"; // "hgv", "motorcar" or "goods"
    std::array<float, ROAD_CLASS_COUNT> speeds{};
    bool quickest = true;
    // Every road class open to the vehicle, whatever its own profile bars.
    bool allClasses = false;
    // Asked by the parameters but unknown to the road data: traced by the provider, not honoured.
    bool avoidTolls = false;
    bool hazardousGoods = false;
};

// Events of asynchronous routes. Results, errors and listings reach the main thread through the
// installed dispatcher; progress is asked on the engine's thread and answers whether to go on.
class RoutingEngineEvents
{
  public:
    virtual ~RoutingEngineEvents() = default;
    virtual void OnRouteResult(double metres, double units) = 0;
    // `text` holds the numeric code between its first two "|"; code -777 is a cancel.
    virtual void OnRouteError(int code, const std::string& text) = 0;
    virtual void OnListed(int route) = 0;
    virtual bool OnProgress(int percent) = 0;
    // A matrix started by StartMatrix: metres and 10-second units of every origin (row) to every
    // destination (column), -1 where there is no route.
    virtual void OnMatrixResult(const std::vector<double>& /*metres*/,
                                const std::vector<double>& /*units*/, int /*columns*/)
    {
    }
};

class RoutingEngine
{
  public:
    static constexpr int kCancelCode = -777;

    virtual ~RoutingEngine() = default;

    // Connects (null: disconnects) the events of later routes.
    virtual void SetEvents(RoutingEngineEvents* events) = 0;

    // Loads the road data of `folder`; false with the reason in `error`.
    virtual bool Open(const std::string& folder, std::string& error) = 0;
    virtual bool IsOpen() const = 0;

    // The profile of every later route; false with the reason when the engine refuses it.
    virtual bool SetProfile(const TEngineProfile& profile, std::string& error) = 0;

    // Mode 0: a routable road near the point; mode 1: a route from the point to the road data's
    // anchor point.
    virtual bool CheckPoint(const TRoutingPoint& point, int mode) = 0;

    // Route through the stations, waited for.
    virtual bool CalculateSync(const std::vector<TRoutingPoint>& stations, double& metres,
                               double& units, std::string& error) = 0;

    // A new route (identifier above 0); its stations; its calculation, reported by the events.
    virtual int NewRoute() = 0;
    virtual bool SetStations(int route, const std::vector<TRoutingPoint>& stations) = 0;
    virtual bool StartRoute(int route) = 0;
    // Kinds 1 and 2: one row per station; kind 3: every point of the road. False when the route
    // has no result.
    virtual bool ListRoute(int route, int kind, TItinerary& rows) = 0;
    virtual void CancelRoute(int route) = 0;
    virtual void ReleaseRoute(int route) = 0;
    // Stops whatever runs.
    virtual void CancelRouting() = 0;

    // Every origin to every destination with the current profile, row by row into `metres` and
    // `units` (-1 both where there is no route, 0 where the two points are the same).
    // `rowsDone(rows)` is asked after every row; its false stops the matrix. False when stopped or
    // without road data.
    virtual bool CalculateMatrix(const std::vector<TRoutingPoint>& /*origins*/,
                                 const std::vector<TRoutingPoint>& /*destinations*/,
                                 std::vector<double>& /*metres*/, std::vector<double>& /*units*/,
                                 const std::function<bool(int)>& /*rowsDone*/)
    {
        return false;
    }
    // The same on the engine's own thread: the percentage goes to OnProgress, then the events
    // get OnMatrixResult, or OnRouteError (the cancel code when stopped).
    virtual bool StartMatrix(const std::vector<TRoutingPoint>& /*origins*/,
                             const std::vector<TRoutingPoint>& /*destinations*/)
    {
        return false;
    }
};
