#include "model/TruckTrips.h"

#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/Resources.h"
#include "model/WeekDay.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <algorithm>

// ---- CTruckTrips
// ---------------------------------------------------------------------------------

CTruckTrips::CTruckTrips() = default;
CTruckTrips::~CTruckTrips() = default;

void CTruckTrips::ConstructPlanningPart(const TLoadStateSizes& sizes)
{
    loadState = TVehicleLoadState();
    ResetPlanningPart(sizes);
}

void CTruckTrips::ClearTotals()
{
    std::string text = std::move(totals.text);
    std::string trailers = std::move(totals.trailersUsed);
    std::string trucks = std::move(totals.trucksUsed);
    totals = TTripTotals();
    totals.text = std::move(text);
    totals.trailersUsed = std::move(trailers);
    totals.trucksUsed = std::move(trucks);
}

TPairTripsView CTruckTrips::GetTripsView() const
{
    TPairTripsView view;
    view.hasCopies = totals.hasCopies != 0;
    view.accumulatedMinutes = loadState.accumulatedMinutes;
    view.currentTripUnloads = loadState.tripUnloads;
    view.stateFlags = totals.stateFlags;
    return view;
}

CTrip* CTruckTrips::GetTrip(int index) const
{
    if (index < 0 || index >= GetTripCount())
        return nullptr;
    return m_trips[static_cast<size_t>(index)].get();
}

std::unique_ptr<CTrip> CTruckTrips::TakeSpareTrip()
{
    if (m_spareTrips.empty())
        return std::make_unique<CTrip>();
    std::unique_ptr<CTrip> trip = std::move(m_spareTrips.back());
    m_spareTrips.pop_back();
    return trip;
}

CTrip& CTruckTrips::AddTrip()
{
    m_trips.push_back(TakeSpareTrip());
    return *m_trips.back();
}

CTrip& CTruckTrips::NewPendingTrip()
{
    if (m_pending) {
        m_pending->Clear();
        return *m_pending;
    }
    m_pending = TakeSpareTrip();
    return *m_pending;
}

void CTruckTrips::InsertTripByStart()
{
    if (!m_pending)
        return;
    if (m_pending->IsEmpty()) {
        m_spareTrips.push_back(std::move(m_pending));
        return;
    }
    const int32_t start = m_pending->stops.front().start;
    size_t position = m_trips.size();
    for (size_t i = 0; i < m_trips.size(); ++i) {
        const CTrip& trip = *m_trips[i];
        if (trip.IsEmpty())
            continue;
        const bool startsLater = trip.stops.front().start > start;
        const bool secondLater = i == 0 && trip.GetStopCount() > 1 && trip.stops[1].start > start;
        if (startsLater || secondLater) {
            position = i;
            break;
        }
    }
    m_trips.insert(m_trips.begin() + static_cast<std::ptrdiff_t>(position), std::move(m_pending));
    if (position != 0 || m_trips.size() < 2)
        return;
    // The new first trip opens with the pair's depot stop.
    CTrip& newFirst = *m_trips[0];
    CTrip& oldFirst = *m_trips[1];
    if (oldFirst.IsEmpty())
        return;
    newFirst.stops.insert(newFirst.stops.begin(), oldFirst.stops.front());
    oldFirst.stops.erase(oldFirst.stops.begin());
    if (!oldFirst.IsEmpty())
        return;
    oldFirst.Clear();
    m_spareTrips.push_back(std::move(m_trips[1]));
    m_trips.erase(m_trips.begin() + 1);
}

void CTruckTrips::ClearTrips()
{
    for (std::unique_ptr<CTrip>& trip : m_trips) {
        trip->Clear();
        m_spareTrips.push_back(std::move(trip));
    }
    m_trips.clear();
}

bool CTruckTrips::HasWork() const
{
    return GetTripCount() > 1 || (GetTripCount() == 1 && m_trips[0]->GetStopCount() > 2);
}

bool CTruckTrips::WriteRecord(CFieldRecord& record, CLorryDriver& pair)
{
    CalculateSummary();
    CTrevantorVariables& catalogue = TrevantorVariables();
    return catalogue.WriteEntity(ENTITY_RESOURCE, pair, record, 0) &&
           catalogue.WriteEntity(ENTITY_LORRY_TOTALS, *this, record, 0) &&
           catalogue.WriteEntity(ENTITY_TRIP_TOTALS, totals, record, 0);
}

// ---- CWorkspaceTrips
// -------------------------------------------------------------------------------

CTruckTrips* CWorkspaceTrips::GetPairPlan(int row) const
{
    if (row < 0 || row >= GetPairCount())
        return nullptr;
    return m_pairPlans[static_cast<size_t>(row)].get();
}

void CWorkspaceTrips::ResetTruckTrips()
{
    m_sizes = CurrentLoadStateSizes();
    m_pairPlans.clear();
    planTotals.fill(0);
    const int pairs = Resources().pairs.GetSize();
    for (int row = 0; row < pairs; ++row) {
        auto plan = std::make_unique<CTruckTrips>();
        plan->ConstructPlanningPart(m_sizes);
        plan->loadState.pairRow = row;
        m_pairPlans.push_back(std::move(plan));
    }
    InitTruckTrips(-1);
}

void CWorkspaceTrips::InitTruckTrips(int pair)
{
    planTotals.fill(0);
    const trv::OleDate& date = ModelContext().planningDate;
    const int dayOfWeek = trv::WeekDayNumber(trv::DayOfWeekOfOleDay(date.GetValue()),
                                             trv::WeekDayNumbering::MondayIsOne);
    if (pair >= 0 && pair < GetPairCount()) {
        InitPair(pair, dayOfWeek);
        return;
    }
    for (int row = 0; row < GetPairCount(); ++row)
        InitPair(row, dayOfWeek);
}

void CWorkspaceTrips::InitPair(int row, int dayOfWeek)
{
    CTruckTrips& plan = *m_pairPlans[static_cast<size_t>(row)];
    const CLorriesDrivers& pairs = Resources().pairs;
    const CLorryDriver* pair = row < pairs.GetSize() ? pairs[row] : nullptr;
    const CLorry* lorry = pair ? pair->lorry : nullptr;
    const CDriver* driver = pair ? pair->driver : nullptr;
    const CTruck* truck = lorry ? lorry->truck : nullptr;
    const CTrailer* trailer = lorry ? lorry->trailer : nullptr;

    plan.SetLorryCapacities(lorry, m_sizes);
    plan.ClearTotals();
    plan.ResetPlanningPart(m_sizes);
    TVehicleLoadState& state = plan.loadState;
    for (int i = 0; i < 3; ++i) {
        state.capacities[i] = trailer ? trailer->overloadedCapacity[i] : 0.0f;
        state.capacityCopies[i] = state.capacities[i];
    }
    if (lorry)
        state.baseNode = truck ? truck->base.nodeIndex : -1;
    else if (driver)
        state.baseNode = driver->base.nodeIndex;

    // Pairs plan one day here: the day index stays 0.
    const int32_t dayOffset = state.dayIndex * 1440;
    const int32_t driverStart = driver ? driver->workingWindow.start : kUnsetTime;
    const bool startKnown = driverStart != kUnsetTime;
    state.currentTime = startKnown ? driverStart + dayOffset : kUnsetTime;
    state.earliestTime = state.currentTime;
    state.latestTime = driver ? driverStart : kLoadStateNoLimit;
    state.notInBulkCapacity = trailer ? trailer->notInBulkCapacity1 : 0.0f;
    state.driverAccumulatedMinutes = driver ? driver->accumulatedWorkingMinutes : 0;
    state.dayOfWeek = dayOfWeek;
    state.offDayWindow = driver ? driver->currentOffDayWindow : -1;

    plan.ClearTrips();
    CTrip& first = plan.AddTrip();
    CStopPoint& depot = first.AddStop();
    depot.type = STOP_DEPOT;
    depot.createdType = STOP_DEPOT;
    depot.place = truck ? &truck->base : nullptr;
    depot.start = state.currentTime;
    depot.end = state.currentTime;
    if (driver) {
        ++state.numberOfTrips;
        ++planTotals[kPlanTripCountTotal];
    }
}

void CWorkspaceTrips::AddPairPlan()
{
    auto plan = std::make_unique<CTruckTrips>();
    plan->ConstructPlanningPart(m_sizes);
    plan->loadState.pairRow = GetPairCount();
    m_pairPlans.push_back(std::move(plan));
    InitTruckTrips(GetPairCount() - 1);
}

void CWorkspaceTrips::RemovePairPlan(int row)
{
    if (row < 0 || row >= GetPairCount())
        return;
    m_pairPlans.erase(m_pairPlans.begin() + row);
    for (int i = row; i < GetPairCount(); ++i)
        m_pairPlans[static_cast<size_t>(i)]->loadState.pairRow = i;
}

void CWorkspaceTrips::CopyEscobaStops()
{
    const CDrivers& drivers = Resources().drivers;
    for (int row = 0; row < GetPairCount(); ++row) {
        CTruckTrips& plan = *m_pairPlans[static_cast<size_t>(row)];
        // Copies land in other pairs only, so this pair's trips stay as they are.
        for (int t = 0; t < plan.GetTripCount(); ++t) {
            for (const CStopPoint& stop : plan.GetTrip(t)->stops) {
                if (stop.escobaDrivers.empty() || stop.escobaCopy)
                    continue;
                const CDriver* driver = drivers.FindDriver(stop.escobaDrivers);
                if (!driver || driver->pairRow == row || IsPauseStopType(stop.type))
                    continue;
                CTruckTrips* target = GetPairPlan(driver->pairRow);
                if (!target)
                    continue;
                CTrip& copy = target->NewPendingTrip();
                copy.stops.push_back(stop);
                copy.stops.back().escobaCopy = 1;
                target->InsertTripByStart();
            }
        }
    }
}

void CWorkspaceTrips::CopyTwinStops()
{
    if (UserParameters().HayEscobas != 0)
        return;
    const CLorriesDrivers& pairs = Resources().pairs;
    for (int row = 0; row < GetPairCount() && row < pairs.GetSize(); ++row) {
        CTruckTrips& plan = *m_pairPlans[static_cast<size_t>(row)];
        bool sharedTruck = false;
        for (int t = 0; t < plan.GetTripCount() && !sharedTruck; ++t)
            for (const CStopPoint& stop : plan.GetTrip(t)->stops)
                if (stop.lorry && stop.lorry->truck && stop.lorry->truck->highestRow > row) {
                    sharedTruck = true;
                    break;
                }
        if (!sharedTruck)
            continue;
        const CLorryDriver& pair = *pairs[row];
        const int twinRow =
            pairs.FindByTrailerAndDriver(pair.GetTrailerCode(), pair.GetDriverCode(), row + 1);
        CTruckTrips* twin = GetPairPlan(twinRow);
        if (!twin || twin->GetTripCount() > 1 ||
            (twin->GetTripCount() == 1 && twin->GetTrip(0)->GetStopCount() > 1))
            continue;
        for (int t = 0; t < plan.GetTripCount(); ++t) {
            const CTrip& trip = *plan.GetTrip(t);
            for (size_t s = 0; s < trip.stops.size(); ++s) {
                if (s == 0 && trip.stops[s].type == STOP_DEPOT)
                    continue;
                CTrip& copy = twin->NewPendingTrip();
                copy.stops.push_back(trip.stops[s]);
                copy.stops.back().escobaCopy = 1;
                twin->InsertTripByStart();
            }
        }
        twin->totals.hasCopies = 1;
    }
}

// ---- Program-wide copy
// ---------------------------------------------------------------------------

CTruckTrips* CPlanTripsCopy::GetPairPlan(int row) const
{
    if (row < 0 || row >= GetPairCount())
        return nullptr;
    return m_pairPlans[static_cast<size_t>(row)].get();
}

void CPlanTripsCopy::CreateTruckTripsArray()
{
    const TLoadStateSizes sizes = CurrentLoadStateSizes();
    m_pairPlans.clear();
    sharedTotals.fill(0);
    for (int row = 0; row < Resources().pairs.GetSize(); ++row) {
        auto plan = std::make_unique<CTruckTrips>();
        plan->ConstructPlanningPart(sizes);
        plan->loadState.pairRow = row;
        m_pairPlans.push_back(std::move(plan));
    }
}

void CPlanTripsCopy::CopyTruckTripsToGlobal(const CWorkspaceTrips& workspace)
{
    std::copy(workspace.planTotals.begin() + kPlanTripCountTotal, workspace.planTotals.end(),
              sharedTotals.begin());
    const int rows = std::min(GetPairCount(), workspace.GetPairCount());
    for (int row = 0; row < rows; ++row)
        m_pairPlans[static_cast<size_t>(row)]->loadState = workspace.GetPairPlan(row)->loadState;
}

namespace {
std::unique_ptr<CPlanTripsCopy> g_planTripsCopy;
}

CPlanTripsCopy& PlanTripsCopy()
{
    if (!g_planTripsCopy)
        g_planTripsCopy = std::make_unique<CPlanTripsCopy>();
    return *g_planTripsCopy;
}

void ResetPlanTripsCopy()
{
    g_planTripsCopy = std::make_unique<CPlanTripsCopy>();
}

// ---- Running plan
// --------------------------------------------------------------------------------

bool CWorkspaceRunningPlan::FindOrderStop(int orderIndex, TPlannedStop& planned) const
{
    const CLorriesDrivers& pairs = Resources().pairs;
    for (int row = 0; row < m_workspace.GetPairCount() && row < pairs.GetSize(); ++row) {
        int trip = 0;
        int stop = 0;
        const CStopPoint* found =
            m_workspace.GetPairPlan(row)->FindOrderStopIndex(orderIndex, trip, stop);
        if (!found)
            continue;
        const CLorryDriver& pair = *pairs[row];
        const CLorry* lorry = found->lorry ? found->lorry : pair.lorry;
        planned.truckCode = lorry && lorry->truck ? lorry->truck->code : std::string();
        planned.trailerCode = lorry && lorry->trailer ? lorry->trailer->code : std::string();
        planned.driverCode = pair.GetDriverCode();
        planned.stopPosition = stop;
        planned.trip = trip + 1; // assignments number trips from 1
        planned.stopType = found->type;
        return true;
    }
    return false;
}
