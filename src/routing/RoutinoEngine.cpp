#include "routing/RoutinoEngine.h"

#include "KLV/Trace.h"
#include "platform/Dispatcher.h"
#include "platform/OleDate.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <numbers>
#include <routino.h>
#include <unistd.h>

namespace {

constexpr const char* kRoadsSection = "Roads";

std::string InfoPath(const std::string& folder)
{
    return folder + "/" + kRoadDataInfoFile;
}

// The engine whose route is being calculated: the library's progress callback carries no
// context, and only the engine thread calls into the library.
std::atomic<RoutingEngineEvents*> progressEvents{nullptr};
// A cancel moves the engine's generation on; the running route belongs to the one it started in.
const std::atomic<int>* progressGeneration = nullptr;
int progressStartedIn = 0;

int ProgressCallback(double complete)
{
    if (progressGeneration != nullptr && progressGeneration->load() != progressStartedIn)
        return 0;
    RoutingEngineEvents* events = progressEvents.load();
    if (events != nullptr && !events->OnProgress(static_cast<int>(complete * 100.0)))
        return 0;
    return 1;
}

std::string ErrorDescription(int code)
{
    switch (code) {
    case ROUTINO_ERROR_NO_DATABASE:
    case ROUTINO_ERROR_NO_DATABASE_FILES:
        return "no road data";
    case ROUTINO_ERROR_BAD_DATABASE_FILES:
        return "the road data cannot be read";
    case ROUTINO_ERROR_NO_PROFILE:
    case ROUTINO_ERROR_NO_SUCH_PROFILE:
        return "no such vehicle profile";
    case ROUTINO_ERROR_PROFILE_DATABASE_ERR:
    case ROUTINO_ERROR_NOTVALID_PROFILE:
    case ROUTINO_ERROR_BAD_USER_PROFILE:
        return "the vehicle profile does not suit the road data";
    case ROUTINO_ERROR_NO_NEARBY_HIGHWAY:
        return "no road near a station";
    case ROUTINO_ERROR_PROGRESS_ABORTED:
        return "cancelled";
    default:
        if (code > ROUTINO_ERROR_NO_ROUTE_1 - 1)
            return "no route to station " + std::to_string(code - ROUTINO_ERROR_NO_ROUTE_1 + 1);
        return "routing error";
    }
}

double ToDegrees(float radians)
{
    return static_cast<double>(radians) * 180.0 / std::numbers::pi;
}

const char* const kHighwayNames[] = {"",          "motorway", "trunk",        "primary",
                                     "secondary", "tertiary", "unclassified", "residential",
                                     "service",   "track",    "cycleway",     "path",
                                     "steps",     "ferry"};
const char* const kPropertyNames[] = {"",       "paved",     "multilane",   "bridge",
                                      "tunnel", "footroute", "bicycleroute"};

// The package's profiles as plain values, read once: the library forgets them when our own
// profile file replaces its profiles.
std::map<std::string, Routino_UserProfile>& PackageProfiles()
{
    static std::map<std::string, Routino_UserProfile> profiles;
    return profiles;
}

std::string Percent(float preference)
{
    return trv::FormatDouble(static_cast<double>(preference) * 100.0, 1);
}

// One profile in the library's XML form. The library's own conversion from a user profile
// drops the one-way and turn rules, so the profile goes through its XML reader instead.
std::string ProfileXml(const std::string& name, const std::string& transport,
                       const Routino_UserProfile& user)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<routino-profiles>\n";
    xml += "<profile name=\"" + name + "\" transport=\"" + transport + "\">\n<speeds>\n";
    for (int highway = 1; highway <= ROUTINO_HIGHWAY_FERRY; ++highway)
        xml += std::string("<speed highway=\"") + kHighwayNames[highway] + "\" kph=\"" +
               trv::FormatDouble(user.speed[highway], 1) + "\" />\n";
    xml += "</speeds>\n<preferences>\n";
    for (int highway = 1; highway <= ROUTINO_HIGHWAY_FERRY; ++highway)
        xml += std::string("<preference highway=\"") + kHighwayNames[highway] + "\" percent=\"" +
               Percent(user.highway[highway]) + "\" />\n";
    xml += "</preferences>\n<properties>\n";
    for (int property = 1; property <= ROUTINO_PROPERTY_BICYCLEROUTE; ++property)
        xml += std::string("<property type=\"") + kPropertyNames[property] + "\" percent=\"" +
               Percent(user.props[property]) + "\" />\n";
    xml += "</properties>\n<restrictions>\n<oneway obey=\"1\" />\n<turns obey=\"1\" />\n";
    xml += "<weight limit=\"" + trv::FormatDouble(user.weight, 2) + "\" />\n";
    xml += "<height limit=\"" + trv::FormatDouble(user.height, 2) + "\" />\n";
    xml += "<width limit=\"" + trv::FormatDouble(user.width, 2) + "\" />\n";
    xml += "<length limit=\"" + trv::FormatDouble(user.length, 2) + "\" />\n";
    xml += "</restrictions>\n</profile>\n</routino-profiles>\n";
    return xml;
}

} // namespace

TRoutingPoint RoutingPointFromDegrees(double longitude, double latitude)
{
    return {static_cast<int>(longitude * 100000.0), static_cast<int>(latitude * 100000.0)};
}

bool WriteRoadDataInfo(const std::string& folder, const TRoadDataInfo& info)
{
    const std::string path = InfoPath(folder);
    bool written = trv::WriteProfileString(kRoadsSection, "Extract", info.extract, path);
    if (info.hasAnchor) {
        written = trv::WriteProfileString(kRoadsSection, "AnchorLongitude",
                                          trv::FormatDouble(info.anchorLongitude, 6), path) &&
                  written;
        written = trv::WriteProfileString(kRoadsSection, "AnchorLatitude",
                                          trv::FormatDouble(info.anchorLatitude, 6), path) &&
                  written;
    }
    return written;
}

TRoadDataInfo ReadRoadDataInfo(const std::string& folder)
{
    const std::string path = InfoPath(folder);
    TRoadDataInfo info;
    info.extract = trv::GetProfileString(kRoadsSection, "Extract", "", path);
    std::string longitude;
    std::string latitude;
    info.hasAnchor = trv::FindProfileString(kRoadsSection, "AnchorLongitude", path, longitude) &&
                     trv::FindProfileString(kRoadsSection, "AnchorLatitude", path, latitude) &&
                     trv::TryParseDouble(longitude, info.anchorLongitude) &&
                     trv::TryParseDouble(latitude, info.anchorLatitude);
    return info;
}

struct RoutinoEngine::Library
{
    Routino_Database* database = nullptr;
    Routino_Profile* profile = nullptr; // the library's own
    Routino_Translation* translation = nullptr;
    bool quickest = true;
};

RoutinoEngine::RoutinoEngine()
    : library_(std::make_unique<Library>()),
      events_(std::make_shared<std::atomic<RoutingEngineEvents*>>(nullptr)),
      thread_([this] { Loop(); })
{
}

RoutinoEngine::~RoutinoEngine()
{
    ++generation_;
    RunAndWait([this] {
        if (library_->database != nullptr)
            Routino_UnloadDatabase(library_->database);
        *library_ = Library{};
    });
    {
        const std::lock_guard<std::mutex> lock(jobsLock_);
        stop_ = true;
    }
    jobsReady_.notify_one();
    thread_.join();
    events_->store(nullptr);
}

std::string RoutinoEngine::DataFolder()
{
    return "/usr/share/routino";
}

void RoutinoEngine::Loop()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(jobsLock_);
            jobsReady_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

void RoutinoEngine::Post(std::function<void()> job)
{
    {
        const std::lock_guard<std::mutex> lock(jobsLock_);
        jobs_.push_back(std::move(job));
    }
    jobsReady_.notify_one();
}

void RoutinoEngine::RunAndWait(const std::function<void()>& job)
{
    std::promise<void> done;
    Post([&] {
        job();
        done.set_value();
    });
    done.get_future().wait();
}

void RoutinoEngine::SetEvents(RoutingEngineEvents* events)
{
    events_->store(events);
}

bool RoutinoEngine::Open(const std::string& folder, std::string& error)
{
    bool opened = false;
    RunAndWait([&] {
        Library& library = *library_;
        static const int apiCheck = Routino_CheckAPIVersion();
        if (apiCheck != ROUTINO_ERROR_NONE) {
            error = "the road-network library does not match this program";
            return;
        }
        // Profiles and translations are the library's process-wide state: read once.
        static const int profilesRead = [] {
            const int read = Routino_ParseXMLProfiles((DataFolder() + "/profiles.xml").c_str());
            char** names = read == 0 ? Routino_GetProfileNames() : nullptr;
            for (char** name = names; name != nullptr && *name != nullptr; ++name) {
                Routino_UserProfile* user =
                    Routino_CreateUserProfileFromProfile(Routino_GetProfile(*name));
                if (user != nullptr)
                    PackageProfiles()[*name] = *user;
                std::free(user);
                std::free(*name);
            }
            std::free(names);
            return read;
        }();
        static const int translationsRead =
            Routino_ParseXMLTranslations((DataFolder() + "/translations.xml").c_str());
        if (profilesRead != 0 || translationsRead != 0) {
            error = "the road-network library's profiles cannot be read from " + DataFolder();
            return;
        }
        if (library.database != nullptr)
            Routino_UnloadDatabase(library.database);
        library.database = Routino_LoadDatabase(folder.c_str(), nullptr);
        if (library.database == nullptr) {
            error = ErrorDescription(Routino_errno) + " in " + folder;
            return;
        }
        library.translation = Routino_GetTranslation("en");
        library.profile = nullptr;
        opened = true;
    });
    if (!opened)
        return false;
    info_ = ReadRoadDataInfo(folder);
    opened_ = true;
    // A usable profile until the route options give their own.
    TEngineProfile defaults;
    defaults.speeds.fill(0.0f);
    return SetProfile(defaults, error);
}

bool RoutinoEngine::SetProfile(const TEngineProfile& profile, std::string& error)
{
    bool set = false;
    RunAndWait([&] {
        Library& library = *library_;
        const auto base = PackageProfiles().find(profile.vehicle);
        if (base == PackageProfiles().end()) {
            error =
                ErrorDescription(ROUTINO_ERROR_NO_SUCH_PROFILE) + " \"" + profile.vehicle + "\"";
            return;
        }
        Routino_UserProfile user = base->second;
        float bestPreference = 0.0f;
        for (int road = 0; road < ROAD_CLASS_COUNT; ++road)
            bestPreference = std::max(bestPreference, user.highway[road + 1]);
        for (int road = 0; road < ROAD_CLASS_COUNT; ++road) {
            // The road classes follow the library's highway numbering from motorway on.
            const int highway = ROUTINO_HIGHWAY_MOTORWAY + road;
            if (profile.speeds[road] > 0.0f)
                user.speed[highway] = profile.speeds[road];
            if (profile.allClasses && user.highway[highway] <= 0.0f)
                user.highway[highway] = bestPreference;
        }
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() /
            ("trevantor-profile-" + std::to_string(::getpid()) + ".xml");
        std::ofstream(file) << ProfileXml("trevantor", profile.vehicle, user);
        Routino_FreeXMLProfiles();
        const int parsed = Routino_ParseXMLProfiles(file.c_str());
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        Routino_Profile* made = parsed == 0 ? Routino_GetProfile("trevantor") : nullptr;
        if (made == nullptr) {
            error = ErrorDescription(ROUTINO_ERROR_BAD_USER_PROFILE);
            library.profile = nullptr;
            return;
        }
        if (library.database != nullptr &&
            Routino_ValidateProfile(library.database, made) != ROUTINO_ERROR_NONE) {
            error = ErrorDescription(Routino_errno);
            library.profile = nullptr;
            return;
        }
        library.profile = made;
        library.quickest = profile.quickest;
        set = true;
    });
    return set;
}

int RoutinoEngine::Calculate(const std::vector<TRoutingPoint>& stations, int generation,
                             bool reportProgress, std::vector<Point>& points, std::string& error)
{
    Library& library = *library_;
    points.clear();
    if (library.database == nullptr || library.profile == nullptr) {
        error = ErrorDescription(ROUTINO_ERROR_NO_DATABASE);
        return ROUTINO_ERROR_NO_DATABASE;
    }
    if (stations.size() < 2) {
        error = "a route needs two stations";
        return ROUTINO_ERROR_BAD_OPTIONS;
    }
    std::vector<Routino_Waypoint*> waypoints;
    waypoints.reserve(stations.size());
    int code = ROUTINO_ERROR_NONE;
    for (const TRoutingPoint& station : stations) {
        Routino_Waypoint* waypoint = Routino_FindWaypoint(
            library.database, library.profile, station.y / 100000.0, station.x / 100000.0);
        if (waypoint == nullptr) {
            code = ROUTINO_ERROR_NO_NEARBY_HIGHWAY;
            error = ErrorDescription(code) + " (" + std::to_string(station.x) + "," +
                    std::to_string(station.y) + ")";
            break;
        }
        waypoints.push_back(waypoint);
    }
    Routino_Output* output = nullptr;
    if (code == ROUTINO_ERROR_NONE) {
        const int options = (library.quickest ? ROUTINO_ROUTE_QUICKEST : ROUTINO_ROUTE_SHORTEST) |
                            ROUTINO_ROUTE_LIST_TEXT_ALL;
        progressGeneration = &generation_;
        progressStartedIn = generation;
        progressEvents = reportProgress ? events_->load() : nullptr;
        output = Routino_CalculateRoute(library.database, library.profile, library.translation,
                                        waypoints.data(), static_cast<int>(waypoints.size()),
                                        options, ProgressCallback);
        progressEvents = nullptr;
        progressGeneration = nullptr;
        if (output == nullptr) {
            code = Routino_errno != ROUTINO_ERROR_NONE ? Routino_errno : ROUTINO_ERROR_NO_ROUTE_1;
            error = ErrorDescription(code);
        }
    }
    for (Routino_Waypoint* waypoint : waypoints)
        std::free(waypoint);
    // The library gives the time in minutes (its header says seconds; its router agrees with
    // minutes).
    for (const Routino_Output* point = output; point != nullptr; point = point->next)
        points.push_back({ToDegrees(point->lon), ToDegrees(point->lat), point->dist,
                          point->time * 60.0, point->type == ROUTINO_POINT_WAYPOINT});
    if (output != nullptr)
        Routino_DeleteRoute(output);
    return code;
}

bool RoutinoEngine::CheckPoint(const TRoutingPoint& point, int mode)
{
    bool accepted = false;
    RunAndWait([&] {
        Library& library = *library_;
        if (library.database == nullptr || library.profile == nullptr)
            return;
        if (mode == 0) {
            Routino_Waypoint* waypoint = Routino_FindWaypoint(
                library.database, library.profile, point.y / 100000.0, point.x / 100000.0);
            accepted = waypoint != nullptr;
            std::free(waypoint);
            return;
        }
        if (!info_.hasAnchor) {
            TRV_TRACE(1, "RoutinoEngine::CheckPoint",
                      "Los datos de carreteras no tienen punto de anclaje: punto aceptado");
            accepted = true;
            return;
        }
        std::vector<Point> points;
        std::string error;
        accepted =
            Calculate({point, RoutingPointFromDegrees(info_.anchorLongitude, info_.anchorLatitude)},
                      generation_.load(), false, points, error) == ROUTINO_ERROR_NONE;
    });
    return accepted;
}

bool RoutinoEngine::CalculateSync(const std::vector<TRoutingPoint>& stations, double& metres,
                                  double& units, std::string& error)
{
    int code = ROUTINO_ERROR_NONE;
    std::vector<Point> points;
    RunAndWait([&] { code = Calculate(stations, generation_.load(), false, points, error); });
    if (code != ROUTINO_ERROR_NONE)
        return false;
    metres = points.back().km * 1000.0;
    units = points.back().seconds / 10.0;
    return true;
}

int RoutinoEngine::NewRoute()
{
    const std::lock_guard<std::mutex> lock(routesLock_);
    routes_[++nextRoute_] = Route{};
    return nextRoute_;
}

bool RoutinoEngine::SetStations(int route, const std::vector<TRoutingPoint>& stations)
{
    const std::lock_guard<std::mutex> lock(routesLock_);
    const auto found = routes_.find(route);
    if (found == routes_.end())
        return false;
    found->second.stations = stations;
    found->second.points.clear();
    found->second.done = false;
    return true;
}

bool RoutinoEngine::StartRoute(int route)
{
    std::vector<TRoutingPoint> stations;
    {
        const std::lock_guard<std::mutex> lock(routesLock_);
        const auto found = routes_.find(route);
        if (found == routes_.end())
            return false;
        stations = found->second.stations;
    }
    const int generation = generation_.load();
    Post([this, route, stations, generation] {
        std::vector<Point> points;
        std::string error;
        const int code = Calculate(stations, generation, true, points, error);
        double metres = 0.0;
        double units = 0.0;
        if (code == ROUTINO_ERROR_NONE) {
            metres = points.back().km * 1000.0;
            units = points.back().seconds / 10.0;
            const std::lock_guard<std::mutex> lock(routesLock_);
            const auto found = routes_.find(route);
            if (found != routes_.end()) {
                found->second.points = std::move(points);
                found->second.startDate = trv::OleDate::GetCurrentTime().GetValue();
                found->second.done = true;
            }
        }
        // The events reach the main thread as the control's did: result then listing, or error.
        std::shared_ptr<std::atomic<RoutingEngineEvents*>> events = events_;
        trv::GetDispatcher().Post([events, code, error, route, metres, units] {
            RoutingEngineEvents* sink = events->load();
            if (sink == nullptr)
                return;
            if (code == ROUTINO_ERROR_PROGRESS_ABORTED) {
                sink->OnRouteError(kCancelCode, "Route cancelled");
                return;
            }
            if (code != ROUTINO_ERROR_NONE) {
                sink->OnRouteError(code, "Route failed|" + std::to_string(code) + "|" + error);
                return;
            }
            sink->OnRouteResult(metres, units);
            sink->OnListed(route);
        });
    });
    return true;
}

bool RoutinoEngine::ListRoute(int route, int kind, TItinerary& rows)
{
    rows.clear();
    const std::lock_guard<std::mutex> lock(routesLock_);
    const auto found = routes_.find(route);
    if (found == routes_.end() || !found->second.done)
        return false;
    const Route& listed = found->second;
    for (const Point& point : listed.points) {
        if (kind != 3 && !point.station)
            continue;
        TItineraryRow row;
        row.time = kind == 3 ? point.seconds / 10.0 : listed.startDate + point.seconds / 86400.0;
        row.km = point.km;
        const TRoutingPoint at = RoutingPointFromDegrees(point.lon, point.lat);
        row.point = std::to_string(at.x) + "," + std::to_string(at.y);
        rows.push_back(std::move(row));
    }
    return true;
}

void RoutinoEngine::CancelRoute(int /*route*/)
{
    // One route runs at a time on the engine thread.
    ++generation_;
}

void RoutinoEngine::ReleaseRoute(int route)
{
    ++generation_;
    const std::lock_guard<std::mutex> lock(routesLock_);
    routes_.erase(route);
}

void RoutinoEngine::CancelRouting()
{
    ++generation_;
}

bool RoutinoEngine::CalculateRows(const std::vector<TRoutingPoint>& origins,
                                  const std::vector<TRoutingPoint>& destinations, int generation,
                                  std::vector<double>& metres, std::vector<double>& units,
                                  const std::function<bool(int)>& rowsDone)
{
    Library& library = *library_;
    const std::size_t columns = destinations.size();
    metres.assign(origins.size() * columns, -1.0);
    units.assign(origins.size() * columns, -1.0);
    if (library.database == nullptr || library.profile == nullptr)
        return false;
    // Each distinct point is placed on the roads once, not once per pair.
    std::map<std::pair<int, int>, Routino_Waypoint*> placed;
    const auto place = [&](const TRoutingPoint& point) {
        const auto found = placed.find({point.x, point.y});
        if (found != placed.end())
            return found->second;
        Routino_Waypoint* waypoint = Routino_FindWaypoint(library.database, library.profile,
                                                          point.y / 100000.0, point.x / 100000.0);
        placed.emplace(std::make_pair(point.x, point.y), waypoint);
        return waypoint;
    };
    // The library's shorter listings read names it does not always have: the full one is safe.
    const int options = (library.quickest ? ROUTINO_ROUTE_QUICKEST : ROUTINO_ROUTE_SHORTEST) |
                        ROUTINO_ROUTE_LIST_TEXT_ALL;
    bool finished = true;
    for (std::size_t row = 0; row < origins.size() && finished; ++row) {
        Routino_Waypoint* origin = place(origins[row]);
        for (std::size_t column = 0; column < columns; ++column) {
            const std::size_t cell = row * columns + column;
            if (origins[row].x == destinations[column].x &&
                origins[row].y == destinations[column].y) {
                metres[cell] = 0.0;
                units[cell] = 0.0;
                continue;
            }
            Routino_Waypoint* destination = place(destinations[column]);
            if (origin == nullptr || destination == nullptr)
                continue;
            Routino_Waypoint* pair[2] = {origin, destination};
            Routino_Output* output = Routino_CalculateRoute(
                library.database, library.profile, library.translation, pair, 2, options, nullptr);
            const Routino_Output* last = output;
            while (last != nullptr && last->next != nullptr)
                last = last->next;
            if (last != nullptr) {
                metres[cell] = static_cast<double>(last->dist) * 1000.0;
                // The library's minutes (see Calculate) in 10-second units.
                units[cell] = static_cast<double>(last->time) * 6.0;
            }
            if (output != nullptr)
                Routino_DeleteRoute(output);
        }
        finished =
            generation_.load() == generation && (!rowsDone || rowsDone(static_cast<int>(row) + 1));
    }
    for (const auto& [point, waypoint] : placed)
        std::free(waypoint);
    return finished;
}

bool RoutinoEngine::CalculateMatrix(const std::vector<TRoutingPoint>& origins,
                                    const std::vector<TRoutingPoint>& destinations,
                                    std::vector<double>& metres, std::vector<double>& units,
                                    const std::function<bool(int)>& rowsDone)
{
    bool finished = false;
    RunAndWait([&] {
        finished =
            CalculateRows(origins, destinations, generation_.load(), metres, units, rowsDone);
    });
    return finished;
}

bool RoutinoEngine::StartMatrix(const std::vector<TRoutingPoint>& origins,
                                const std::vector<TRoutingPoint>& destinations)
{
    if (!opened_.load())
        return false;
    const int generation = generation_.load();
    Post([this, origins, destinations, generation] {
        std::shared_ptr<std::atomic<RoutingEngineEvents*>> events = events_;
        const int rows = static_cast<int>(origins.size());
        auto metres = std::make_shared<std::vector<double>>();
        auto units = std::make_shared<std::vector<double>>();
        const bool finished =
            CalculateRows(origins, destinations, generation, *metres, *units, [&](int done) {
                RoutingEngineEvents* sink = events->load();
                return sink == nullptr || sink->OnProgress(rows > 0 ? done * 100 / rows : 100);
            });
        const int columns = static_cast<int>(destinations.size());
        trv::GetDispatcher().Post([events, finished, metres, units, columns] {
            RoutingEngineEvents* sink = events->load();
            if (sink == nullptr)
                return;
            if (!finished) {
                sink->OnRouteError(kCancelCode, "Matrix cancelled");
                return;
            }
            sink->OnMatrixResult(*metres, *units, columns);
        });
    });
    return true;
}
