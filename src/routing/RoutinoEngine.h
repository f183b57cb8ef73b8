#pragma once

#include "routing/RoutingEngine.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The file in a road-data folder that records the extract it was prepared from and its anchor
// point (the junction nearest the extract's centre).
inline constexpr const char* kRoadDataInfoFile = "Roads.ini";

struct TRoadDataInfo
{
    std::string extract;
    bool hasAnchor = false;
    double anchorLongitude = 0.0;
    double anchorLatitude = 0.0;
};

bool WriteRoadDataInfo(const std::string& folder, const TRoadDataInfo& info);
TRoadDataInfo ReadRoadDataInfo(const std::string& folder);

// The road routing engine over the road-network library, on road data prepared by its
// planetsplitter. The library keeps global state, so every call into it runs on the engine's
// one thread; the engine's public operations may be called from the main thread.
class RoutinoEngine : public RoutingEngine
{
  public:
    RoutinoEngine();
    ~RoutinoEngine() override;
    RoutinoEngine(const RoutinoEngine&) = delete;
    RoutinoEngine& operator=(const RoutinoEngine&) = delete;

    void SetEvents(RoutingEngineEvents* events) override;
    bool Open(const std::string& folder, std::string& error) override;
    bool IsOpen() const override { return opened_.load(); }
    bool SetProfile(const TEngineProfile& profile, std::string& error) override;
    bool CheckPoint(const TRoutingPoint& point, int mode) override;
    bool CalculateSync(const std::vector<TRoutingPoint>& stations, double& metres, double& units,
                       std::string& error) override;
    int NewRoute() override;
    bool SetStations(int route, const std::vector<TRoutingPoint>& stations) override;
    bool StartRoute(int route) override;
    bool ListRoute(int route, int kind, TItinerary& rows) override;
    void CancelRoute(int route) override;
    void ReleaseRoute(int route) override;
    void CancelRouting() override;
    bool CalculateMatrix(const std::vector<TRoutingPoint>& origins,
                         const std::vector<TRoutingPoint>& destinations,
                         std::vector<double>& metres, std::vector<double>& units,
                         const std::function<bool(int)>& rowsDone) override;
    bool StartMatrix(const std::vector<TRoutingPoint>& origins,
                     const std::vector<TRoutingPoint>& destinations) override;

    // Where the library's own profiles and translations are read from.
    static std::string DataFolder();

  private:
    struct Point
    {
        double lon = 0.0; // degrees
        double lat = 0.0;
        double km = 0.0;
        double seconds = 0.0;
        bool station = false;
    };
    struct Route
    {
        std::vector<TRoutingPoint> stations;
        std::vector<Point> points;
        double startDate = 0.0;
        bool done = false;
    };
    struct Library; // the library's handles, touched only on the engine thread

    // Runs `job` on the engine thread and waits for it.
    void RunAndWait(const std::function<void()>& job);
    void Post(std::function<void()> job);
    void Loop();
    // On the engine thread: the route through the stations; 0 or the library's error code.
    // Only asynchronous routes report progress (and may be stopped by its answer).
    int Calculate(const std::vector<TRoutingPoint>& stations, int generation, bool reportProgress,
                  std::vector<Point>& points, std::string& error);

    // On the engine thread: the matrix cells; false when stopped or without road data.
    bool CalculateRows(const std::vector<TRoutingPoint>& origins,
                       const std::vector<TRoutingPoint>& destinations, int generation,
                       std::vector<double>& metres, std::vector<double>& units,
                       const std::function<bool(int)>& rowsDone);

    std::unique_ptr<Library> library_;
    std::atomic<bool> opened_{false};
    // Moved on by every cancel; a route runs while the generation it started in holds.
    std::atomic<int> generation_{0};
    TRoadDataInfo info_;
    std::shared_ptr<std::atomic<RoutingEngineEvents*>> events_;

    std::mutex routesLock_;
    std::map<int, Route> routes_;
    int nextRoute_ = 0;

    std::mutex jobsLock_;
    std::condition_variable jobsReady_;
    std::deque<std::function<void()>> jobs_;
    bool stop_ = false;
    std::thread thread_;
};
