#pragma once

#include "routing/RoadEditorDb.h"
#include "routing/Routing.h"
#include "routing/RoutingEngine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct TSpeedTable;
class CUserParameters;

// The profile of a route: the speed table's classes, weighting and toll switch, the parameters'
// vehicle type, class blocks and hazardous goods.
TEngineProfile MakeRouteProfile(const TSpeedTable& table, const CUserParameters& parameters);

// The routing provider over a road routing engine. Without road data it is not ready and callers
// use the straight-line mode.
class CRoutingMapAndGuide : public CRouting, private RoutingEngineEvents
{
  public:
    // `engine` may be null until EspabilaMatriz creates the road-network one.
    explicit CRoutingMapAndGuide(std::unique_ptr<RoutingEngine> engine = nullptr);
    ~CRoutingMapAndGuide() override;
    CRoutingMapAndGuide(const CRoutingMapAndGuide&) = delete;
    CRoutingMapAndGuide& operator=(const CRoutingMapAndGuide&) = delete;

    // Makes the provider ready on the road data named by "NodeGraphPath" (or `roadFolder` when
    // given) and opens the road-editor database (the plan's own at `planRoadEditorDb` when that
    // file exists); a second call does nothing. False (traced once) when there is no road data.
    bool EspabilaMatriz(const std::string& roadFolder = {},
                        const std::string& planRoadEditorDb = {});
    bool IsReady() const { return m_bInitialised.load() != 0; }

    void SetRouteEvents(CRouteEvents* events) { m_pEvents = events; }
    // The plan's own speed file ("Trevantor.vel" in the per-process folder) instead of the
    // parameters' speed table.
    void SetUsePlanSpeedFile(bool use) { m_bPlanSpeedFile = use; }
    // The speed file routes read.
    std::string SpeedFile() const;

    int KillAndReleaseEverything(int kind, bool release) override;
    void AdviseEvents() override;
    void UnadviseEvents() override;
    void PlaceNodes(const std::vector<int>& nodes, const CSchNodesList& list) override;
    void GeoToRouting(double x, double y, int& outX, int& outY) override;
    bool CacheNodePoints(const std::vector<int>& nodes, const CSchNodesList& list) override;
    bool SetRouteOptions(int route) override;
    bool CalculaDistanciaSincrona(double originX, double originY, double destinationX,
                                  double destinationY, TDistanceCell& cell) override;
    void CalcularTramoDosNodos(const std::vector<TRoutingPoint>& stations,
                               std::vector<TTimedPoint>& points, int start, int end,
                               const std::string& text) override;
    bool CalculaDistanciaRealParaEuclideas(const std::vector<TRoutingPoint>& stations, bool wait,
                                           int offset, int slice, int total) override;
    int GetRouteItinerary(int& route, TItinerary& itinerary) override;
    bool CalcRouteAndWait(const std::vector<TRoutingPoint>& stations,
                          const std::string& text) override;
    int GetRouteValues(const TItinerary& itinerary, std::vector<TRouteLeg>& trips,
                       std::size_t first) override;

    // Whether a located point can be routed: a road near it (mode 0) and a route from it to the
    // road data's anchor (mode 1). Answers are kept per point.
    bool CheckAbnormalNode(double longitude, double latitude, const std::string& key,
                           const std::string& name);

    // Opens the road-editor database once: the plan's when its file exists, else the company
    // name's, else the company alias's, made from the template on first use and never
    // overwritten. Then shows its segment attributes and selects the program's author entry.
    void LookforStreetModel(bool showAllSymbols, const std::string& planRoadEditorDb);
    // Releases the database and looks for it again ("MostrarTodosSimbolosCarreteras").
    void ReloadStreetModel(const std::string& planRoadEditorDb);
    void GetStateGroup(bool showAllSymbols);
    static void EnableSegmentAttributes(TRoadEditorSettings& settings, TRoadsLayer& layer,
                                        bool showAllSymbols);
    bool IsStreetModelLoaded() const { return m_bStreetModelLoaded; }
    CRoadEditorDb& RoadEditorDb() { return m_RoadEditorDb; }
    const TRoadsLayer& RoadsLayer() const { return m_RoadsLayer; }
    long long AuthorId() const { return m_nAuthorId; }

    // The route slots; 0 when none.
    int MatrixRoute() const { return m_pMatrixRoute; }
    int SingleRoute() const { return m_pSingleRoute; }
    const std::vector<TRoutingPoint>& Stations() const { return m_Stations; }
    int LastError() const { return m_nLastError; }
    // Hides the progress and clears busy and the pending routes, as the error event does.
    void Reset();

    // The route calculation behind the single route (kind TIPO_DISTANCIA) and the pending-pairs
    // update (TIPO_RUTA).
    bool CalcRoute(int kind, const std::vector<TRoutingPoint>& stations, const std::string& text,
                   bool wait, int offset, int total);

    // The engine's events (public for the engine and for tests driving a fake one).
    void OnRouteResult(double metres, double units) override;
    void OnRouteError(int code, const std::string& text) override;
    void OnListed(int route) override;
    bool OnProgress(int percent) override;

  private:
    void GetRouteCalculated(int route);
    void ReleaseRoute(int& slot);
    void HideProgress();
    // Runs the dispatcher's queued calls until the route is listed or cancelled.
    void WaitForRoute(int sleepMilliseconds);
    // The node's cached point, converted on the spot when missing; false without coordinates.
    bool NodePoint(int node, const CSchNodesList& list, TRoutingPoint& point);

    std::unique_ptr<RoutingEngine> m_pRouting;
    CRoadEditorDb m_RoadEditorDb;
    TRoadsLayer m_RoadsLayer;
    bool m_bStreetModelLoaded = false;
    long long m_nAuthorId = -1;
    CRouteEvents* m_pEvents = nullptr;
    bool m_bAdvised = false;
    bool m_bPlanSpeedFile = false;
    bool m_bNoRoadDataTraced = false;
    bool m_bTollTraced = false;
    bool m_bHazardTraced = false;
    int m_pMatrixRoute = 0;
    int m_pSingleRoute = 0;
    int m_nProgressSlice = 100;
    int m_nProgressOffset = 0;
    int m_nProgressTotal = 100;
    std::atomic<int> m_nLastError{0};
    std::vector<TRoutingPoint> m_Stations;
    std::string m_ProgressText;
    // Point checks already answered, by routing point (x in the high word).
    std::unordered_map<uint64_t, bool> m_CheckedPoints;
};
