#pragma once

#include "routing/RoadEditorDb.h"
#include "routing/Routing.h"
#include "routing/RoutingEngine.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct TSpeedTable;
class CBoolTable;
class CUserParameters;
namespace trv {
class OleDate;
}

// The profile of a route: the speed table's classes, weighting and toll switch, the parameters'
// vehicle type, class blocks and hazardous goods.
TEngineProfile MakeRouteProfile(const TSpeedTable& table, const CUserParameters& parameters);
// The same from a speed file (empty: the parameters' speed table) and the program's parameters:
// the one profile of routes, matrices and matrix workers.
TEngineProfile ReadRouteProfile(const std::string& speedFile);

// A node the straight-line fill must give cells to, with the number of cells it lacks.
struct TPendingNode
{
    int node = -1;
    int count = 0;
};

// How a matrix is split over worker processes, from [Enviroment options] of "Config.ini".
struct TMatrixWorkerSettings
{
    // "NumProcsMatrix": the number of workers (default the processor count).
    int workers = 1;
    // "TimePerMatrix" x 1000: how long a worker may go without progress, per worker.
    int allowanceMilliseconds = 5000;
    // Added to the allowance by every restart.
    int restartStepMilliseconds = 1000;
    // Restarts of one worker before the computation fails.
    int maximumRestarts = 3;

    void Read();
};

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

    // The routed-pairs table and pending-nodes list the next matrix reports its failed cells to
    // (either may be null).
    void SetMatrixTargets(CBoolTable* routedPairs, std::vector<TPendingNode>* pendingNodes)
    {
        m_pRoutedPairs = routedPairs;
        m_pPendingNodes = pendingNodes;
    }
    // The worker program (empty: "trevantor-matrix-worker" in the program folder) and how work is
    // split; tests set both.
    void SetMatrixWorkerPath(const std::string& path) { m_MatrixWorkerPath = path; }
    std::string MatrixWorkerPath() const;
    void SetMatrixWorkerSettings(const TMatrixWorkerSettings& settings)
    {
        m_WorkerSettings = settings;
        m_bWorkerSettingsSet = true;
    }

    // Sizes the class matrix (highest row + 1) and fills it with road cells between the nodes,
    // in worker processes when the worker program is there, else on the engine's thread. Without
    // road data the class gets the straight-line fill and the call succeeds; when the workers
    // fail it gets the straight-line fill and the call fails. Cells land at the nodes' rows of
    // the translation table.
    bool CalculateMatrix(int highestRow, const std::vector<int>& nodes, CDistancesArray& matrix,
                         const trv::OleDate& date, int routeMode, int vehicleType);
    bool CalculateDistancesAndWriteDst(const std::vector<int>& nodes, CDistancesArray& matrix,
                                       const trv::OleDate& date);
    void CalcMatrixMonocore();
    void CalcMatrixMulticore(const std::string& program);
    // Reads one worker's output of `rows` origins into the cells of nodes (offset + r, c);
    // false, writing nothing, when the file is not what was asked.
    bool ReadMatrixOutput(const std::string& path, int rows, int& offset);
    // Empties every negative cell, clears its routed pair and counts both nodes as pending.
    void ComprobarNegativos(const std::vector<int>& nodes, std::vector<TPendingNode>* pending);
    void FillMatrixFromArrays(const std::vector<double>& metres, const std::vector<double>& units,
                              int columns);
    // The watcher: restarts stalled or dead workers, reports the average progress and sets
    // m_bMatrixDone once every worker is past 100 (m_bCancelled too when it gave up).
    void CalcMatrixWatcherThread(std::vector<std::string> commandLines);
    // Workers restarted by the last computation's watcher.
    int WorkerRestarts() const { return m_nWorkerRestarts.load(); }
    // Whether every worker's progress is past 100, as the average in whole numbers tells.
    static bool MatrixWatchDone(const std::vector<int>& progress);

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
    void OnMatrixResult(const std::vector<double>& metres, const std::vector<double>& units,
                        int columns) override;

  private:
    void GetRouteCalculated(int route);
    void ReleaseRoute(int& slot);
    void HideProgress();
    // Runs the dispatcher's queued calls until the route is listed or cancelled.
    void WaitForRoute(int sleepMilliseconds);
    // The node's cached point, converted on the spot when missing; false without coordinates.
    bool NodePoint(int node, const CSchNodesList& list, TRoutingPoint& point);

    // The cell of two node positions, or null when a node has no row in the matrix.
    TDistanceCell* MatrixCell(int origin, int destination);
    // Ends the workers and removes their files.
    void EndWorkers(const std::string& folder);

    std::unique_ptr<RoutingEngine> m_pRouting;
    CDistancesArray* m_pMatrix = nullptr;
    const std::vector<int>* m_pNodes = nullptr;
    CBoolTable* m_pRoutedPairs = nullptr;
    std::vector<TPendingNode>* m_pPendingNodes = nullptr;
    std::string m_MatrixWorkerPath;
    TMatrixWorkerSettings m_WorkerSettings;
    bool m_bWorkerSettingsSet = false;
    // The running workers' process ids, by worker; the watcher restarts them.
    std::mutex m_WorkersLock;
    std::vector<int> m_WorkerProcesses;
    std::atomic<bool> m_bStopWatcher{false};
    // Set by the watcher when a worker kept failing, or by a wrong output file.
    std::atomic<bool> m_bWorkersFailed{false};
    std::atomic<int> m_nWorkerRestarts{0};
    // The matrix row of every node position of the computation; -1 where it has none.
    std::vector<int> m_MatrixRows;
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
