#pragma once

#include "routing/DistancesArray.h"
#include "routing/RoutingEngine.h"

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSchNodesList;

// Where the provider reports asynchronous route results (message 7026) and whose pending-route
// flags it clears: the plan document.
class CRouteEvents
{
  public:
    static constexpr int kRouteMessage = 7026;
    static constexpr int kRouteListed = 1; // lParam: the itinerary, valid during the call
    static constexpr int kRouteFailed = 3; // lParam: the error code

    virtual ~CRouteEvents() = default;
    virtual void OnRouteMessage(int wParam, std::intptr_t lParam) = 0;
    // The first pending-route flag only, or both.
    virtual void ClearPendingRoutes(bool both) = 0;
};

// One point of a timed polyline: routing coordinates and the minute it is passed.
struct TTimedPoint
{
    double x = 12345678.0;
    double y = 12345678.0;
    int minute = 0;
};

// Kilometres and minutes of one leg of a route through pending node pairs.
struct TRouteLeg
{
    float km = 0.0f;
    int minutes = 0;
};

// The one routing provider of the process: every road route, itinerary and node check goes
// through it. Driven from the main thread.
class CRouting
{
  public:
    // Route kinds of KillAndReleaseEverything.
    static constexpr int TIPO_RUTA = 0;      // the route of matrices and pending pairs
    static constexpr int TIPO_DISTANCIA = 1; // single routes
    static constexpr int TIPO_AMBOS = 2;

    virtual ~CRouting() = default;

    virtual int KillAndReleaseEverything(int kind, bool release) = 0;
    virtual void AdviseEvents() = 0;
    virtual void UnadviseEvents() = 0;
    // The stations become the nodes' cached points, in list order.
    virtual void PlaceNodes(const std::vector<int>& nodes, const CSchNodesList& list) = 0;
    virtual void GeoToRouting(double x, double y, int& outX, int& outY) = 0;
    virtual bool CacheNodePoints(const std::vector<int>& nodes, const CSchNodesList& list) = 0;
    virtual bool SetRouteOptions(int route) = 0;
    virtual bool CalculaDistanciaSincrona(double originX, double originY, double destinationX,
                                          double destinationY, TDistanceCell& cell) = 0;
    virtual void CalcularTramoDosNodos(const std::vector<TRoutingPoint>& stations,
                                       std::vector<TTimedPoint>& points, int start, int end,
                                       const std::string& text) = 0;
    virtual bool CalculaDistanciaRealParaEuclideas(const std::vector<TRoutingPoint>& stations,
                                                   bool wait, int offset, int slice, int total) = 0;
    virtual int GetRouteItinerary(int& route, TItinerary& itinerary) = 0;
    virtual bool CalcRouteAndWait(const std::vector<TRoutingPoint>& stations,
                                  const std::string& text) = 0;
    // Writes one leg per pair of rows into `trips` from `first` on; the number of legs.
    virtual int GetRouteValues(const TItinerary& itinerary, std::vector<TRouteLeg>& trips,
                               std::size_t first) = 0;

    // Results of the last route (route result event).
    float m_fRouteKm = 0.0f;
    int m_nRouteMinutes = 0;

    // Written by the engine thread's progress callback as well as the main thread.
    std::atomic<int> m_bNegativeCells{0};
    std::atomic<int> m_bInitialised{0};
    std::atomic<int> m_bMatrixDone{0};
    std::atomic<int> m_bRouteListed{0};
    std::atomic<int> m_bBusy{0};
    std::atomic<int> m_bCancelled{0};
    std::atomic<int> m_nProgress{0};

  protected:
    // Routing coordinates of each node, by node index; a node without coordinates has none.
    std::vector<TRoutingPoint> m_NodePoints;
    std::vector<uint8_t> m_NodePointCached;
};

// The spatial order in which node points are cached: quadrants of the rectangle, recursively.
// `points` holds the routing point of each node, by node index.
void SpatialOrder(const std::vector<int>& nodes, const std::vector<TRoutingPoint>& points,
                  std::vector<int>& ordered, int x0, int y0, int x1, int y1);
