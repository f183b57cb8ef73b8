#include "routing/RoutingMapAndGuideClient.h"

#include "KLV/AppGlobals.h"
#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "params/Parameters.h"
#include "params/SpeedTable.h"
#include "platform/Dispatcher.h"
#include "platform/OleDate.h"
#include "platform/ProgramFolder.h"
#include "platform/Progress.h"
#include "platform/UserPrompt.h"
#include "routing/MatrixWorker.h"
#include "routing/RoutinoEngine.h"
#include "routing/SchNodesList.h"
#include "routing/StraightLineDistances.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

// Speed table positions (TSpeedTable::speeds).
enum
{
    MOTORWAY_FAST,
    MOTORWAY_SLOW,
    NATIONAL_FAST,
    NATIONAL_SLOW,
    COUNTRY_FAST,
    COUNTRY_SLOW,
    URBAN_FAST,
    URBAN_SLOW,
    COUNTRY_PATH,
    RESIDENT_AREAS_FAST,
    RESIDENT_AREAS_SLOW,
};

uint64_t PointKey(const TRoutingPoint& point)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(point.x)) << 32) |
           static_cast<uint32_t>(point.y);
}

// The integer before and after the first comma of "x,y".
void ParsePoint(const std::string& text, TTimedPoint& point)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return;
    point.x = std::atoi(text.substr(0, comma).c_str());
    point.y = std::atoi(text.substr(comma + 1).c_str());
}

} // namespace

CRoutingMapAndGuide::CRoutingMapAndGuide(std::unique_ptr<RoutingEngine> engine)
    : m_pRouting(std::move(engine))
{
}

CRoutingMapAndGuide::~CRoutingMapAndGuide()
{
    UnadviseEvents();
}

bool CRoutingMapAndGuide::EspabilaMatriz(const std::string& roadFolder,
                                         const std::string& planRoadEditorDb)
{
    TRV_TRACE(2, "CRoutingMapAndGuide::EspabilaMatriz", "Se realiza la acción EspabilaMatriz");
    if (m_bInitialised)
        return true;
    std::string folder = roadFolder;
    if (folder.empty()) {
        TRoutingConfiguration configuration;
        configuration.Read();
        folder = configuration.nodeGraphPath;
    }
    if (!m_pRouting)
        m_pRouting = std::make_unique<RoutinoEngine>();
    std::string error;
    if (!m_pRouting->IsOpen() && !m_pRouting->Open(folder, error)) {
        // Without road data the callers use straight lines; say so once.
        if (!m_bNoRoadDataTraced)
            TRV_TRACE(1, "CRoutingMapAndGuide::EspabilaMatriz",
                      "Sin datos de carreteras en [%s]: %s", folder.c_str(), error.c_str());
        m_bNoRoadDataTraced = true;
        return false;
    }
    ReleaseRoute(m_pMatrixRoute);
    ReleaseRoute(m_pSingleRoute);
    ReloadStreetModel(planRoadEditorDb);
    m_bInitialised = 1;
    AdviseEvents();
    TRV_TRACE(2, "CRoutingMapAndGuide::EspabilaMatriz", "Se finaliza la acción EspabilaMatriz");
    return true;
}

void CRoutingMapAndGuide::AdviseEvents()
{
    if (m_bAdvised || !m_pRouting)
        return;
    m_pRouting->SetEvents(this);
    m_bAdvised = true;
}

void CRoutingMapAndGuide::UnadviseEvents()
{
    if (!m_bAdvised)
        return;
    m_pRouting->SetEvents(nullptr);
    m_bAdvised = false;
}

void CRoutingMapAndGuide::ReleaseRoute(int& slot)
{
    if (slot != 0 && m_pRouting) {
        m_pRouting->CancelRoute(slot);
        m_pRouting->ReleaseRoute(slot);
    }
    slot = 0;
}

int CRoutingMapAndGuide::KillAndReleaseEverything(int kind, bool release)
{
    TRV_TRACE(2, "CRoutingMapAndGuide::KillAndReleaseEverything",
              "Entro en la función KillAndReleaseEverything");
    if (!m_pRouting || !m_bInitialised)
        return 0;
    if (m_pMatrixRoute != 0 && (kind == TIPO_RUTA || kind == TIPO_AMBOS)) {
        if (!release) {
            m_pRouting->CancelRoute(m_pMatrixRoute);
            TRV_TRACE(2, "CRoutingMapAndGuide::KillAndReleaseEverything",
                      "Despues del CancelRouteCalculation iTipo==TIPO_RUTA || iTipo==TIPO_AMBOS");
        } else {
            ReleaseRoute(m_pMatrixRoute);
            TRV_TRACE(2, "CRoutingMapAndGuide::KillAndReleaseEverything",
                      "Despues del m_pRouteDist.Detach");
        }
    }
    if (m_pSingleRoute != 0 && (kind == TIPO_DISTANCIA || kind == TIPO_AMBOS)) {
        if (!release)
            m_pRouting->CancelRoute(m_pSingleRoute);
        else
            ReleaseRoute(m_pSingleRoute);
        TRV_TRACE(2, "CRoutingMapAndGuide::KillAndReleaseEverything",
                  "Despues del CancelRouteCalculation iTipo==TIPO_DISTANCIA || iTipo==TIPO_AMBOS");
    }
    m_pRouting->CancelRouting();
    TRV_TRACE(2, "CRoutingMapAndGuide::KillAndReleaseEverything", "Despues del CancelRouting");
    m_bCancelled = 1;
    return 0;
}

void CRoutingMapAndGuide::HideProgress()
{
    trv::Progress& progress = trv::GetProgress();
    progress.SetCaption("");
    progress.SetPosition(0, 0);
}

void CRoutingMapAndGuide::Reset()
{
    HideProgress();
    m_bBusy = 0;
    if (m_pEvents != nullptr)
        m_pEvents->ClearPendingRoutes(true);
}

void CRoutingMapAndGuide::OnRouteResult(double metres, double units)
{
    m_fRouteKm = static_cast<float>(metres * 0.001);
    m_nRouteMinutes = static_cast<int>(units) * 10 / 60;
}

void CRoutingMapAndGuide::OnRouteError(int code, const std::string& text)
{
    if (code != RoutingEngine::kCancelCode) {
        const std::size_t first = text.find('|');
        const std::size_t second =
            first == std::string::npos ? std::string::npos : text.find('|', first + 1);
        const std::string part = second == std::string::npos
                                     ? std::string()
                                     : text.substr(first + 1, second - first - 1);
        char* end = nullptr;
        const long number = part.empty() ? 0 : std::strtol(part.c_str(), &end, 10);
        if (!part.empty() && end != nullptr && *end == '\0') {
            m_nLastError = static_cast<int>(number);
            if (m_pEvents != nullptr)
                m_pEvents->OnRouteMessage(CRouteEvents::kRouteFailed, number);
        } else {
            trv::GetUserPrompt().ShowMessage("RoutingError", text, trv::MessageKind::Error);
        }
    }
    m_bCancelled = 1;
    Reset();
}

void CRoutingMapAndGuide::OnListed(int route)
{
    TRV_TRACE(2, "CRoutingMapAndGuide::OnListed", "Antes poner Fin calculada Ruta");
    // A route released since it was started is no longer anybody's.
    if (route != m_pMatrixRoute && route != m_pSingleRoute)
        return;
    m_bRouteListed = 1;
    HideProgress();
    if (route == m_pMatrixRoute)
        GetRouteCalculated(route);
}

bool CRoutingMapAndGuide::OnProgress(int percent)
{
    m_nProgress = percent;
    if (percent >= 0 && m_nProgressTotal > 0) {
        const long long position =
            (static_cast<long long>(m_nProgressOffset) + percent * m_nProgressSlice / 100) * 100 /
            m_nProgressTotal;
        // The bar belongs to the main thread.
        trv::GetDispatcher().Post([position] { trv::GetProgress().SetPosition(position, 100); });
    }
    return m_bCancelled == 0;
}

void CRoutingMapAndGuide::WaitForRoute(int sleepMilliseconds)
{
    while (!m_bRouteListed && !m_bCancelled) {
        if (trv::GetDispatcher().Pump() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(sleepMilliseconds));
    }
}

bool CRoutingMapAndGuide::CalcRoute(int kind, const std::vector<TRoutingPoint>& stations,
                                    const std::string& text, bool wait, int offset, int total)
{
    int& slot = kind == TIPO_RUTA ? m_pMatrixRoute : m_pSingleRoute;
    TRV_TRACE(2, "CRoutingMapAndGuide::CalcRoute", "Entro CalcRoute");
    m_bBusy = 1;
    m_nLastError = -1;
    if (!m_pRouting || !m_bInitialised) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalcRoute", "pRouteLister es nulo");
        m_bBusy = 0;
        return false;
    }
    ReleaseRoute(slot);
    slot = m_pRouting->NewRoute();
    if (slot <= 0) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalcRoute", "Error creando nueva ruta");
        slot = 0;
        m_bBusy = 0;
        return false;
    }
    if (!m_pRouting->SetStations(slot, stations)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalcRoute",
                  "La función m_pRouteLister->put_RouteStations ha devuelto error");
        m_bBusy = 0;
        return false;
    }
    if (!SetRouteOptions(slot)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalcRoute",
                  "La funcion SetRouteOptions ha devuelto FALSE");
        m_bBusy = 0;
        return false;
    }
    m_nProgress = 0;
    m_bRouteListed = 0;
    m_bCancelled = 0;
    trv::Progress& progress = trv::GetProgress();
    progress.SetCaption(text);
    if (offset == 0) {
        progress.SetPosition(0, 100);
        m_nProgressTotal = total;
    }
    if (total > 0 && total < m_nProgressTotal) {
        progress.SetPosition(static_cast<long long>(m_nProgressOffset) * 100 / m_nProgressTotal *
                                 (m_nProgressTotal / total),
                             100);
        m_nProgressTotal = total;
    }
    m_nProgressOffset = offset;
    TRV_TRACE(2, "CRoutingMapAndGuide::CalcRoute",
              "Realizamos el calculo de la ruta a través de la función "
              "m_pRouteLister->CalcRouteExtended");
    if (!m_pRouting->StartRoute(slot)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalcRoute", "calculando distancia sincrona: %s",
                  "la ruta no existe");
        m_bBusy = 0;
        return false;
    }
    if (wait)
        WaitForRoute(100);
    TRV_TRACE(2, "CRoutingMapAndGuide::CalcRoute", "Salgo CalcRoute");
    if (wait && (m_bCancelled || !m_bRouteListed))
        return false;
    return true;
}

bool CRoutingMapAndGuide::CalcRouteAndWait(const std::vector<TRoutingPoint>& stations,
                                           const std::string& text)
{
    KillAndReleaseEverything(TIPO_RUTA, true);
    HideProgress();
    if (!CalcRoute(TIPO_DISTANCIA, stations, text, false, 0, 100))
        return false;
    WaitForRoute(1);
    m_bBusy = 0;
    return m_bRouteListed && !m_bCancelled;
}

int CRoutingMapAndGuide::GetRouteItinerary(int& route, TItinerary& itinerary)
{
    route = m_pSingleRoute;
    if (!m_pRouting || route == 0 || !m_pRouting->ListRoute(route, 2, itinerary))
        return 1;
    return 0;
}

void CRoutingMapAndGuide::GetRouteCalculated(int route)
{
    if (m_pMatrixRoute == 0 && m_pSingleRoute == 0)
        return;
    TItinerary itinerary;
    if (!m_pRouting->ListRoute(route, 1, itinerary)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::GetRouteCalculated",
                  "calculando distancia asíncrona: %s", "la ruta no tiene itinerario");
        if (m_pEvents != nullptr) {
            m_pEvents->ClearPendingRoutes(false);
            m_pEvents->OnRouteMessage(CRouteEvents::kRouteFailed, m_nLastError);
        }
        return;
    }
    if (m_pMatrixRoute != 0 && m_pEvents != nullptr)
        m_pEvents->OnRouteMessage(CRouteEvents::kRouteListed,
                                  reinterpret_cast<std::intptr_t>(&itinerary));
}

int CRoutingMapAndGuide::GetRouteValues(const TItinerary& itinerary, std::vector<TRouteLeg>& trips,
                                        std::size_t first)
{
    TRV_TRACE(2, "CRoutingMapAndGuide::GetRouteValues", "Recogidas las rutas calculadas");
    if (itinerary.empty()) {
        m_bBusy = 0;
        return 0;
    }
    double previousDate = itinerary[0].time;
    double previousKm = itinerary[0].km;
    std::size_t entry = first;
    // Rows counted from 1: rows 1-2 are the first leg, 3-4 the second and so on.
    for (std::size_t row = 1; row < itinerary.size(); ++row) {
        const double date = itinerary[row].time;
        const double km = itinerary[row].km;
        if ((row + 1) % 2 == 0) {
            if (trips.size() <= entry)
                trips.resize(entry + 1);
            const long long seconds = std::llround((date - previousDate) * 86400.0);
            trips[entry].minutes = static_cast<int>(seconds / 60);
            trips[entry].km = static_cast<float>(km - previousKm);
        } else {
            ++entry;
        }
        previousDate = date;
        previousKm = km;
    }
    TRV_TRACE(2, "CRoutingMapAndGuide::GetRouteValues",
              "Guardada la informacion de las rutas y tiempos en la lista de trayectos.");
    m_bBusy = 0;
    return static_cast<int>(itinerary.size() / 2);
}

void CRoutingMapAndGuide::GeoToRouting(double x, double y, int& outX, int& outY)
{
    const TRoutingPoint point = RoutingPointFromDegrees(x, y);
    outX = point.x;
    outY = point.y;
}

bool CRoutingMapAndGuide::CalculaDistanciaSincrona(double originX, double originY,
                                                   double destinationX, double destinationY,
                                                   TDistanceCell& cell)
{
    cell.km = -1.0f;
    cell.minutes = -1;
    if (!m_pRouting || !m_bInitialised) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalculaDistanciaSincrona",
                  "calculando distancia sincrona: %s", "sin datos de carreteras");
        return false;
    }
    if (KillAndReleaseEverything(TIPO_DISTANCIA, true) != 0)
        return false;
    // The synchronous cell reads the parameters' speed table, never the plan's speed file.
    const bool planFile = m_bPlanSpeedFile;
    m_bPlanSpeedFile = false;
    const bool optionsSet = SetRouteOptions(0);
    m_bPlanSpeedFile = planFile;
    double metres = 0.0;
    double units = 0.0;
    std::string error;
    if (!optionsSet ||
        !m_pRouting->CalculateSync({RoutingPointFromDegrees(originX, originY),
                                    RoutingPointFromDegrees(destinationX, destinationY)},
                                   metres, units, error)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalculaDistanciaSincrona",
                  "calculando distancia sincrona: %s", error.c_str());
        m_pRouting->CancelRouting();
        return false;
    }
    cell.km = static_cast<float>(metres * 0.001);
    cell.minutes = UnitsToMinutes(std::floor(units));
    return true;
}

void CRoutingMapAndGuide::CalcularTramoDosNodos(const std::vector<TRoutingPoint>& stations,
                                                std::vector<TTimedPoint>& points, int start,
                                                int end, const std::string& text)
{
    const int duration = end - start;
    KillAndReleaseEverything(TIPO_RUTA, true);
    TItinerary rows;
    if (CalcRoute(TIPO_DISTANCIA, stations, text, true, 0, 100) &&
        m_pRouting->ListRoute(m_pSingleRoute, 3, rows) && !rows.empty()) {
        const int total = static_cast<int>(rows.back().time);
        for (std::size_t row = 0; row < rows.size(); ++row) {
            TTimedPoint point;
            if (row == 0) {
                point.minute = start;
            } else {
                const int elapsed = static_cast<int>(rows[row].time);
                point.minute = total < 1 ? start + elapsed : start + elapsed * duration / total;
            }
            ParsePoint(rows[row].point, point);
            points.push_back(point);
        }
    }
    ReleaseRoute(m_pSingleRoute);
    m_bBusy = 0;
}

bool CRoutingMapAndGuide::CalculaDistanciaRealParaEuclideas(
    const std::vector<TRoutingPoint>& stations, bool wait, int offset, int slice, int total)
{
    KillAndReleaseEverything(TIPO_DISTANCIA, true);
    TRV_TRACE(2, "CRoutingMapAndGuide::CalculaDistanciaRealParaEuclideas",
              "Despues del Kill and release everything");
    if (offset == 0)
        m_nProgressSlice = slice;
    return CalcRoute(TIPO_RUTA, stations, Translate("ActualizaDistanciasEuclideas"), wait, offset,
                     total);
}

bool CRoutingMapAndGuide::NodePoint(int node, const CSchNodesList& list, TRoutingPoint& point)
{
    if (node >= 0 && static_cast<std::size_t>(node) < m_NodePointCached.size() &&
        m_NodePointCached[static_cast<std::size_t>(node)]) {
        point = m_NodePoints[static_cast<std::size_t>(node)];
        return true;
    }
    const CNode* found = list.GetNode(node);
    if (found == nullptr || !found->HasPoint())
        return false;
    point = RoutingPointFromDegrees(found->x, found->y);
    return true;
}

bool CRoutingMapAndGuide::CacheNodePoints(const std::vector<int>& nodes, const CSchNodesList& list)
{
    std::vector<TRoutingPoint> converted(static_cast<std::size_t>(std::max(list.GetSize(), 0)));
    std::vector<int> located;
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    for (const int node : nodes) {
        const CNode* found = list.GetNode(node);
        if (found == nullptr || !found->HasPoint())
            continue;
        const TRoutingPoint point = RoutingPointFromDegrees(found->x, found->y);
        converted[static_cast<std::size_t>(node)] = point;
        located.push_back(node);
        left = std::min(left, point.x);
        right = std::max(right, point.x);
        top = std::min(top, point.y);
        bottom = std::max(bottom, point.y);
    }
    std::vector<int> ordered;
    if (!located.empty())
        SpatialOrder(located, converted, ordered, left, top, right, bottom);
    trv::Progress& progress = trv::GetProgress();
    progress.SetCaption(Translate("AddingNodes"));
    m_nProgress = 0;
    const long long count = static_cast<long long>(ordered.size());
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        const std::size_t node = static_cast<std::size_t>(ordered[i]);
        m_nProgress = static_cast<int>(i);
        progress.SetPosition(static_cast<long long>(i), count);
        if (m_NodePoints.size() <= node) {
            m_NodePoints.resize(node + 1);
            m_NodePointCached.resize(node + 1, 0);
        }
        m_NodePoints[node] = converted[node];
        m_NodePointCached[node] = 1;
    }
    return true;
}

void CRoutingMapAndGuide::PlaceNodes(const std::vector<int>& nodes, const CSchNodesList& list)
{
    m_Stations.clear();
    m_Stations.reserve(nodes.size());
    for (const int node : nodes) {
        TRoutingPoint point;
        if (!NodePoint(node, list, point)) {
            // The slot stays so the rows after it keep their places; the engine finds no road
            // there and the cells go to the straight line.
            TRV_TRACE(1, "CRoutingMapAndGuide::situarNodosMapGuide",
                      "Error buscando el nodo %d en la lista de nodos", node);
            point = RoutingPointFromDegrees(12345678.0, 12345678.0);
        }
        m_Stations.push_back(point);
    }
}

bool CRoutingMapAndGuide::CheckAbnormalNode(double longitude, double latitude,
                                            const std::string& key, const std::string& name)
{
    if (!m_pRouting || !m_bInitialised)
        return false;
    const TRoutingPoint point = RoutingPointFromDegrees(longitude, latitude);
    const auto known = m_CheckedPoints.find(PointKey(point));
    if (known != m_CheckedPoints.end())
        return known->second;
    const bool routable = m_pRouting->CheckPoint(point, 0) && m_pRouting->CheckPoint(point, 1);
    if (!routable)
        TRV_TRACE(1, "CRoutingMapAndGuide::CheckAbnormalNode", "Error en esta localización %s-%s",
                  key.c_str(), name.c_str());
    m_CheckedPoints.emplace(PointKey(point), routable);
    return routable;
}

std::string CRoutingMapAndGuide::SpeedFile() const
{
    return m_bPlanSpeedFile ? GetTempFolder(1) + "Trevantor.vel" : std::string();
}

TEngineProfile MakeRouteProfile(const TSpeedTable& table, const CUserParameters& parameters)
{
    TEngineProfile profile;
    profile.vehicle = parameters.VehicleType == 1   ? "hgv"
                      : parameters.VehicleType == 0 ? "motorcar"
                                                    : "goods";
    profile.quickest = table.shortestFastest >= 50;
    profile.allClasses = parameters.SaltarBloqueosCarreterasDefecto != 0;
    profile.avoidTolls = table.tollFactor <= 0;
    profile.hazardousGoods = parameters.MercanciasPeligrosas != 0;
    const auto speed = [&](int position) { return static_cast<float>(table.speeds[position]); };
    profile.speeds[ROAD_MOTORWAY] = speed(MOTORWAY_FAST);
    profile.speeds[ROAD_TRUNK] = speed(MOTORWAY_SLOW);
    profile.speeds[ROAD_PRIMARY] = speed(NATIONAL_FAST);
    profile.speeds[ROAD_SECONDARY] = speed(NATIONAL_SLOW);
    profile.speeds[ROAD_TERTIARY] = speed(COUNTRY_FAST);
    profile.speeds[ROAD_UNCLASSIFIED] = speed(COUNTRY_SLOW);
    profile.speeds[ROAD_RESIDENTIAL] = speed(URBAN_FAST);
    profile.speeds[ROAD_SERVICE] = speed(URBAN_SLOW);
    profile.speeds[ROAD_TRACK] = speed(COUNTRY_PATH);
    return profile;
}

TEngineProfile ReadRouteProfile(const std::string& speedFile)
{
    TSpeedTable table;
    table.speeds.fill(80);
    ReadSpeedTable(table, speedFile);
    TRV_TRACE(3, "CRoutingMapAndGuide::SetRouteOptions",
              "ResidentAreas %d/%d sin clase de carretera equivalente",
              table.speeds[RESIDENT_AREAS_FAST], table.speeds[RESIDENT_AREAS_SLOW]);
    return MakeRouteProfile(table, UserParameters());
}

bool CRoutingMapAndGuide::SetRouteOptions(int /*route*/)
{
    TRV_TRACE(2, "CRoutingMapAndGuide::SetRouteOptions", "SetRouteOptions");
    const TEngineProfile profile = ReadRouteProfile(SpeedFile());
    // The road data knows neither tolls nor hazardous-goods closures: say so once.
    if (profile.avoidTolls && !m_bTollTraced) {
        TRV_TRACE(1, "CRoutingMapAndGuide::SetRouteOptions",
                  "Evitar peajes no es posible con los datos de carreteras");
        m_bTollTraced = true;
    }
    if (profile.hazardousGoods && !m_bHazardTraced) {
        TRV_TRACE(1, "CRoutingMapAndGuide::SetRouteOptions",
                  "Las restricciones de mercancías peligrosas no se aplican");
        m_bHazardTraced = true;
    }
    TRV_TRACE(2, "CRoutingMapAndGuide::SetRouteOptions", "Speeds y blocks tolls");
    std::string error;
    if (!m_pRouting || !m_pRouting->SetProfile(profile, error)) {
        trv::GetUserPrompt().ShowMessage("Error en set route options",
                                         "Error en set route options: " + error,
                                         trv::MessageKind::Error);
        return false;
    }
    return true;
}

void SpatialOrder(const std::vector<int>& nodes, const std::vector<TRoutingPoint>& points,
                  std::vector<int>& ordered, int x0, int y0, int x1, int y1)
{
    if (nodes.size() == 1 || (std::llabs(static_cast<long long>(x1) - x0) < 2 &&
                              std::llabs(static_cast<long long>(y1) - y0) < 2)) {
        ordered.insert(ordered.end(), nodes.begin(), nodes.end());
        return;
    }
    const int mx = static_cast<int>((static_cast<long long>(x0) + x1) / 2);
    const int my = static_cast<int>((static_cast<long long>(y0) + y1) / 2);
    std::vector<int> groups[4];
    for (const int node : nodes) {
        const TRoutingPoint& point = points[static_cast<std::size_t>(node)];
        groups[(point.x > mx ? 1 : 0) + (point.y > my ? 2 : 0)].push_back(node);
    }
    const int rectangles[4][4] = {
        {x0, y0, mx, my}, {mx + 1, y0, x1, my}, {x0, my + 1, mx, y1}, {mx + 1, my + 1, x1, y1}};
    for (int group = 0; group < 4; ++group)
        if (!groups[group].empty())
            SpatialOrder(groups[group], points, ordered, rectangles[group][0], rectangles[group][1],
                         rectangles[group][2], rectangles[group][3]);
}

namespace {

constexpr const char* kRoadEditorSuffix = "_RE5.mdb";
constexpr const char* kAuthorName = "Trevantor";
constexpr const char* kAuthorDescription = "Cortar Carreteras";

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return !path.empty() && std::filesystem::is_regular_file(path, ignored);
}

// The database to open: the plan's, an existing company-name one, or the company alias's, made
// from the template (itself made when missing) without overwriting an existing one.
std::string ChooseRoadEditorDb(const std::string& planRoadEditorDb)
{
    const std::string folder = trv::GetProgramFolder() + "Configuration/";
    const std::string aliasDb = folder + trv::GetCompanyAlias() + kRoadEditorSuffix;
    const std::string templateDb = folder + kRoadEditorSuffix;
    const std::string companyName = trv::GetCompanyName();
    if (FileExists(planRoadEditorDb)) {
        TRV_TRACE(2, "CRoutingMapAndGuide::LookforStreetModel",
                  "Path BDD Editor desde Solucion Carreteras=[%s]", planRoadEditorDb.c_str());
        return planRoadEditorDb;
    }
    // Without a company name the name's database would be the template itself.
    const std::string nameDb = folder + companyName + kRoadEditorSuffix;
    if (!companyName.empty() && FileExists(nameDb)) {
        TRV_TRACE(2, "CRoutingMapAndGuide::LookforStreetModel",
                  "Path BDD Editor existente Carreteras=[%s]", nameDb.c_str());
        return nameDb;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!FileExists(templateDb)) {
        CRoadEditorDb made;
        made.Open(templateDb);
    }
    if (aliasDb != templateDb)
        std::filesystem::copy_file(templateDb, aliasDb,
                                   std::filesystem::copy_options::skip_existing, error);
    TRV_TRACE(2, "CRoutingMapAndGuide::LookforStreetModel",
              "Path BDD Editor No-Existía Carreteras=[%s]", aliasDb.c_str());
    return aliasDb;
}

} // namespace

void CRoutingMapAndGuide::LookforStreetModel(bool showAllSymbols,
                                             const std::string& planRoadEditorDb)
{
    if (m_bStreetModelLoaded)
        return;
    const std::string path = ChooseRoadEditorDb(planRoadEditorDb);
    m_RoadsLayer.symbolLayers.clear();
    m_RoadsLayer.symbolLayerMask = showAllSymbols ? 956 : 128;
    for (int symbolLayer :
         showAllSymbols ? std::vector<int>{4, 8, 16, 32, 64, 128, 256} : std::vector<int>{128})
        m_RoadsLayer.symbolLayers[symbolLayer] = 2.0;
    TRV_TRACE(2, "CRoutingMapAndGuide::LookforStreetModel", "Antes de put_tablepath");
    if (!m_RoadEditorDb.Open(path)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::LookforStreetModel", "Arrancando RoadEditor %s: %s",
                  path.c_str(), m_RoadEditorDb.LastError().c_str());
        return;
    }
    TRV_TRACE(2, "CRoutingMapAndGuide::LookforStreetModel", "Despues de put_TablePath");
    GetStateGroup(showAllSymbols);
    m_bStreetModelLoaded = true;
}

void CRoutingMapAndGuide::ReloadStreetModel(const std::string& planRoadEditorDb)
{
    m_RoadEditorDb.Release();
    m_bStreetModelLoaded = false;
    m_nAuthorId = -1;
    LookforStreetModel(UserParameters().MostrarTodosSimbolosCarreteras != 0, planRoadEditorDb);
}

void CRoutingMapAndGuide::GetStateGroup(bool showAllSymbols)
{
    if (!m_RoadEditorDb.IsOpen())
        return;
    TRoadEditorSettings& settings = m_RoadEditorDb.Settings();
    EnableSegmentAttributes(settings, m_RoadsLayer, showAllSymbols);
    if (UserParameters().MercanciasPeligrosas != 0 && !m_bHazardTraced) {
        // The road data carries no truck attribute sets to add.
        TRV_TRACE(1, "CRoutingMapAndGuide::GetStateGroup",
                  "Mercancias peligrosas: los datos de carreteras no tienen atributos de camion");
        m_bHazardTraced = true;
    }
    m_nAuthorId = m_RoadEditorDb.FindAuthor(kAuthorName);
    if (m_nAuthorId < 0)
        m_nAuthorId = m_RoadEditorDb.AddAuthor(kAuthorName, kAuthorDescription);
    if (m_nAuthorId < 0)
        TRV_TRACE(1, "CRoutingMapAndGuide::GetStateGroup", "%s: %s", kAuthorName,
                  m_RoadEditorDb.LastError().c_str());
    settings.referenceDate = trv::OleDate::GetCurrentTime().GetValue();
    settings.authorId = static_cast<int>(m_nAuthorId);
    m_bStreetModelLoaded = true;
}

void CRoutingMapAndGuide::EnableSegmentAttributes(TRoadEditorSettings& settings, TRoadsLayer& layer,
                                                  bool showAllSymbols)
{
    for (int attribute : {5, 6, 45, 46, 47})
        settings.attributes[attribute] = false;
    if (!showAllSymbols)
        return;
    const auto switchOn = [&](int attribute, const char* name = "") -> TSegmentAttributeStyle& {
        TSegmentAttributeStyle& style = layer.attributes[attribute];
        style.on = true;
        style.scale = 5.0;
        if (*name != '\0')
            style.name = name;
        return style;
    };
    for (int attribute : {45, 46, 47})
        switchOn(attribute);
    switchOn(71, "CLOSEDHZRDGOODS");
    switchOn(72, "EXPLOSIVES");
    switchOn(73, "CLOSEDH2O");
    for (int attribute : {77, 78}) {
        TSegmentAttributeStyle& style = switchOn(attribute);
        style.colour = 11145471;
        style.width = 150;
        style.pattern = 0;
        style.size = 1.2;
    }
    switchOn(5);
    switchOn(6);
}
