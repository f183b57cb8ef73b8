#include "model/Resources.h"

#include "KLV/CriticalSection.h"
#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "KLV/IniFiles.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "model/EnginePause.h"
#include "model/ModelContext.h"
#include "params/Parameters.h"
#include "params/StateColors.h"
#include "params/TrevantorVariables.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <cstring>
#include <memory>

// ---- CDriver ------------------------------------------------------------------------------------

CDriver::CDriver() : maximumMinutesToConsiderRest(UserParameters().MaxTimeToConsiderRest) {}

bool CDriver::Load(CFieldRecord& record)
{
    const bool read = TrevantorVariables().ReadEntity(ENTITY_DRIVER, *this, record, 0, nullptr);
    for (float* cost : {&hourlyCost, &extraHourlyCost, &nightCost, &lunchCost, &breakfastCost})
        *cost = std::max(*cost, 0.0f);
    CalculateFields(-1);
    return read;
}

namespace {

bool IsDeactivatedPair(const CLorryDriver& pair)
{
    return pair.deactivated != 0;
}

bool UsesPublicTransport(const CLorryDriver& pair)
{
    const CTrailer* trailer = pair.GetTrailer();
    return trailer && trailer->publicTransportWhenEmpty != 0;
}

float TrailerKmCost(const CLorryDriver& pair)
{
    const CTrailer* trailer = pair.GetTrailer();
    return trailer ? trailer->kmCost : 0.0f;
}

// Whether the driver moves from his current pair to the new one.
bool PrefersNewPair(const CLorryDriver* current, const CLorryDriver* next)
{
    if (!current || IsDeactivatedPair(*current))
        return true;
    if (!next || !current->lorry || !next->lorry || IsDeactivatedPair(*next))
        return false;
    if (UsesPublicTransport(*current))
        return false;
    return UsesPublicTransport(*next) || TrailerKmCost(*current) > TrailerKmCost(*next);
}

CLorryDriver* PairAt(int row)
{
    CLorriesDrivers& pairs = Resources().pairs;
    return row >= 0 && row < pairs.GetSize() ? pairs[row] : nullptr;
}

} // namespace

void CDriver::CalculateFields(int row)
{
    CEnginePause pause("CDriver::CalculateFields");
    const CUserParameters& parameters = UserParameters();
    if ((workingWindow.start == 0 && workingWindow.end == 0) || workingWindow.IsUnset())
        workingWindow = CTimeWindow(parameters.WTFrom, parameters.WTTo);
    if (maximumDrivingMinutes == 0)
        maximumDrivingMinutes = parameters.MaxDrivingTime;
    if (maximumWorkingMinutes == 0)
        maximumWorkingMinutes = parameters.MaxWorkingTime;
    if (maximumWorkingMinutesWithCuts == 0)
        maximumWorkingMinutesWithCuts = maximumWorkingMinutes;
    workingWindow.Normalize(parameters.StartTimeToday);

    if (pairRow == -1 || PrefersNewPair(PairAt(pairRow), PairAt(row)))
        pairRow = row;

    if (row >= 0 && index >= 0) {
        // Own rows and, when vehicles may go without driver, driverless ones, in row order.
        pairRows.SetSize(0);
        pairRows.Add(static_cast<unsigned int>(row));
        static const std::vector<int> none;
        const std::vector<int>& driverless =
            parameters.PermitirVehiculosSinConductor ? Resources().pairs.GetDriverlessRows() : none;
        auto own = ownRows.begin();
        auto free = driverless.begin();
        while (own != ownRows.end() || free != driverless.end()) {
            const bool takeOwn = free == driverless.end() || (own != ownRows.end() && *own < *free);
            const int next = takeOwn ? *own++ : *free++;
            if (!takeOwn || next != row)
                pairRows.Add(static_cast<unsigned int>(next));
        }
    }

    for (int32_t* end : {&lunchWindow.start, &lunchWindow.end})
        if (*end != kUnsetTime && (*end < -2880 || *end > 2880))
            *end = 0;
    if (lunchWindow.end <= workingWindow.start) {
        lunchWindow = CTimeWindow();
        lunchMinutes = 0;
    }
    if (breakfastTime <= workingWindow.start)
        breakfastMinutes = 0;

    const CModelContext& context = ModelContext();
    if (pairRow != -1 && daysOff.GetSize() > 0)
        currentOffDayWindow = daysOff.FindFirstWindowFrom(context.planningDate);

    const trv::OleDate& planning = context.planningDate;
    if (row != -1 && parameters.ComenzarPlanificacionConHoraReal && !trv::GetCurrentStepEngine() &&
        !context.hasLoadedSequence && planning.IsValid() && planning.GetValue() != 0.0) {
        const TClockReading now = context.clock();
        if (planning.GetYear() == now.year && planning.GetMonth() == now.month &&
            planning.GetDay() == now.day && now.hour > workingWindow.start / 60) {
            workingWindow.start = now.hour * 60 + now.minute;
            if (workingWindow.end <= workingWindow.start)
                workingWindow.end = workingWindow.start + workingWindow.end + maximumWorkingMinutes;
        }
    }
}

// ---- CDrivers -----------------------------------------------------------------------------------

CDriver* CDrivers::FindDriver(const std::string& code) const
{
    for (CDriver* driver : *this)
        if (trv::CompareNoCase(driver->code, code) == 0)
            return driver;
    return nullptr;
}

CDriver* CDrivers::AddNew()
{
    auto* driver = new CDriver;
    Add(driver);
    return driver;
}

CDriver* CDrivers::LoadDriver(CFieldRecord& record, int& isNew)
{
    const CUserParameters& parameters = UserParameters();
    const bool withoutDriver = parameters.PermitirVehiculosSinConductor != 0;
    int width = -1;
    if (!withoutDriver) {
        width = TrevantorVariables().GetMaxChars("DRIVER_CODE");
        if (width == -1)
            width = 500;
    }
    const std::string code =
        record.GetFieldString("DRIVER_CODE", "", width, {.required = !withoutDriver});
    if (code.empty())
        return nullptr;
    if (CDriver* found = FindDriver(code)) {
        if (!withoutDriver && parameters.SiempreAñadirRecursos) {
            trv::GetUserPrompt().ShowMessage("ErrorDriverDuplicate",
                                             TranslateFormat("ErrorDriverDuplicate", code),
                                             trv::MessageKind::Error);
            return nullptr;
        }
        isNew = 0;
        return found;
    }
    isNew = 1;
    CDriver* driver = AddNew();
    if (driver->Load(record)) {
        LoadDaysOff(*driver);
        return driver;
    }
    RemoveAt(GetSize() - 1);
    return nullptr;
}

std::string FleetCompanionFile(const std::string& resourcesFile, const std::string& extension)
{
    std::string companion = trv::ReplaceFinalExtension(resourcesFile, ".veh", extension);
    return companion.empty() ? resourcesFile + extension : companion;
}

std::string DriverDaysOffFilter(const std::string& whereFormat, const std::string& code)
{
    static const std::string placeholder = CDateTable::CodeField;
    if (whereFormat.empty() || whereFormat.find(placeholder) == std::string::npos)
        return placeholder + "=" + QuoteFilterValue(code);
    std::string filter;
    size_t from = 0;
    for (size_t at = whereFormat.find(placeholder); at != std::string::npos;
         at = whereFormat.find(placeholder, from)) {
        filter.append(whereFormat, from, at - from);
        from = at + placeholder.size();
        const char before = at > 0 ? whereFormat[at - 1] : '\0';
        const char after = from < whereFormat.size() ? whereFormat[from] : '\0';
        if ((before == '\'' || before == '"') && after == before) {
            // Already quoted by the company: only that quote needs doubling.
            std::string value = code;
            trv::ReplaceAllInPlace(value, std::string(1, before), std::string(2, before));
            filter += value;
        } else {
            filter += QuoteFilterValue(code);
        }
    }
    filter.append(whereFormat, from, std::string::npos);
    return filter;
}

namespace {

bool DaysOffAreRead()
{
    const CUserParameters& parameters = UserParameters();
    return parameters.SchedulingTime == 1 && parameters.DayOff != 0;
}

} // namespace

void CDrivers::LoadGeneralDaysOff()
{
    if (!DaysOffAreRead() || !daysOffSource.definitions)
        return;
    if (daysOffSource.sourceKind == 1)
        generalDaysOff.ReadDaysOff(*daysOffSource.definitions, "INT_DAYOFF_ALL",
                                   FleetCompanionFile(daysOffSource.resourcesFile, ".fstall"), 1,
                                   "", false);
    else
        generalDaysOff.ReadDaysOff(*daysOffSource.definitions, "ALL_DAYOFF", "", 1, "", false);
    generalDaysOff.FindFirstWindowFrom(ModelContext().planningDate);
}

void CDrivers::LoadDaysOff(CDriver& driver) const
{
    if (!DaysOffAreRead() || !daysOffSource.definitions)
        return;
    CDateTable& days = driver.daysOff;
    days.RemoveAll();
    for (const CDateWindow* window : generalDaysOff)
        days.AddWindow(window->startDate, window->endDate, window->description, window->code,
                       window->generalMark);
    if (daysOffSource.sourceKind == 1) {
        days.ReadDaysOff(*daysOffSource.definitions, "INT_DAYOFF_DRIVER",
                         FleetCompanionFile(daysOffSource.resourcesFile, ".fst"), 0,
                         std::string(CDateTable::CodeField) + "=" + QuoteFilterValue(driver.code),
                         false);
        return;
    }
    const std::string whereFormat =
        ReadIniString("DRIVER_DAYOFF_FORMAT", "WHERE_FORMAT", CFetch::GetCustomDataIniPath(), "");
    days.ReadDaysOff(*daysOffSource.definitions, "DRIVER_DAYOFF", "", 0,
                     DriverDaysOffFilter(whereFormat, driver.code), false);
}

bool CDrivers::Release(const std::string& name, const std::string& code)
{
    const std::string upperName = trv::ToUpper(name);
    const std::string upperCode = trv::ToUpper(code);
    for (int i = 0; i < GetSize(); ++i) {
        CDriver* driver = (*this)[i];
        if (trv::ToUpper(driver->name) != upperName || trv::ToUpper(driver->code) != upperCode)
            continue;
        if (driver->useCount < 2) {
            RemoveAt(i);
            return true;
        }
        --driver->useCount;
        return false;
    }
    return false;
}

void CDrivers::RefreshGeneralDaysOff()
{
    const trv::OleDate& planningDate = ModelContext().planningDate;
    for (CDriver* driver : *this) {
        CDateTable& days = driver->daysOff;
        for (int i = days.GetSize() - 1; i >= 0; --i)
            if (days[i]->generalMark)
                days.RemoveAt(i);
        for (const CDateWindow* window : generalDaysOff)
            days.AddWindow(window->startDate, window->endDate, window->description, window->code,
                           window->generalMark);
        days.MergeWindows(planningDate);
    }
}

// ---- CDriversData -------------------------------------------------------------------------------

void CDriversData::ResetPlanningData(int driverCount)
{
    value = 0;
    SetSize(0);
    for (int i = 0; i < driverCount; ++i)
        Add(new CDriverData);
    counters.assign(static_cast<size_t>(std::max(driverCount, 0)), 0);
    ResetRecords();
}

void CDriversData::ResetRecords()
{
    const CUserParameters& parameters = UserParameters();
    const bool bySlots = parameters.HayEscobas && parameters.SchedulingTime != 1;
    const int days = std::max(parameters.AvailableDays, 0);
    for (CDriverData* record : *this) {
        if (bySlots) {
            record->slots.Create(288, 1);
        } else {
            // Sized once; later resets only refill.
            if (record->dayPairs.GetSize() != days)
                record->dayPairs.SetSize(days);
            std::fill(record->dayPairs.begin(), record->dayPairs.end(),
                      static_cast<unsigned short>(0xFFFF));
        }
        record->value = -1;
    }
}

// ---- Lorries ------------------------------------------------------------------------------------

CLorry* CLorries::Add(CTruck* truck, CTrailer* trailer)
{
    if (!truck && !trailer)
        return nullptr;
    for (CLorry* lorry : *this)
        if (lorry->truck == truck && lorry->trailer == trailer)
            return lorry;
    if (truck)
        ++truck->useCount;
    if (trailer)
        ++trailer->useCount;
    auto* lorry = new CLorry(truck, trailer);
    CSmartPtrArray<CLorry>::Add(lorry);
    return lorry;
}

int CPossibleDrivers::Compare(CLorryDriver* a, CLorryDriver* b) const
{
    if (a->driverPriority != b->driverPriority)
        return a->driverPriority < b->driverPriority ? -1 : 1;
    if (a->row != b->row)
        return a->row < b->row ? -1 : 1;
    return 0;
}

void FillTransportCardTypes(CSmartStringArray& names)
{
    names.SetSize(0);
    for (const char* key : {"Nacional", "Comarcal", "Local"})
        names.Add(Translate(key));
}

// ---- CLorryDriver -------------------------------------------------------------------------------

namespace {

constexpr ColorRef kPalette[46] = {
    MakeRgb(255, 255, 0),   MakeRgb(0, 255, 0),     MakeRgb(255, 0, 0),     MakeRgb(255, 0, 255),
    MakeRgb(0, 0, 255),     MakeRgb(0, 255, 255),   MakeRgb(0, 0, 0),       MakeRgb(127, 127, 0),
    MakeRgb(0, 127, 0),     MakeRgb(127, 0, 0),     MakeRgb(127, 0, 127),   MakeRgb(0, 0, 127),
    MakeRgb(0, 127, 127),   MakeRgb(127, 127, 127), MakeRgb(0, 0, 191),     MakeRgb(0, 191, 0),
    MakeRgb(0, 191, 191),   MakeRgb(191, 0, 0),     MakeRgb(191, 0, 191),   MakeRgb(191, 191, 0),
    MakeRgb(191, 191, 191), MakeRgb(0, 127, 255),   MakeRgb(127, 0, 255),   MakeRgb(127, 127, 255),
    MakeRgb(0, 255, 127),   MakeRgb(127, 255, 0),   MakeRgb(127, 255, 127), MakeRgb(127, 255, 255),
    MakeRgb(255, 0, 127),   MakeRgb(255, 127, 0),   MakeRgb(255, 127, 127), MakeRgb(255, 127, 255),
    MakeRgb(255, 255, 127), MakeRgb(0, 127, 191),   MakeRgb(127, 0, 191),   MakeRgb(127, 127, 191),
    MakeRgb(0, 191, 127),   MakeRgb(127, 191, 0),   MakeRgb(127, 191, 127), MakeRgb(127, 191, 191),
    MakeRgb(191, 0, 127),   MakeRgb(191, 127, 0),   MakeRgb(191, 127, 127), MakeRgb(191, 127, 191),
    MakeRgb(191, 191, 127), MakeRgb(0, 0, 0),
};

bool IsLocated(const TLocationData& location)
{
    return location.coordinates.longitude != 12345678.0 &&
           location.coordinates.latitude != 12345678.0;
}

} // namespace

void CLorryDriver::CalculateFields(int pack)
{
    {
        CEnginePause pause("CLorryDriver::CalculateFields");
        if (CTrailer* trailer = GetTrailer())
            trailer->CalculateFields(overload[0], overload[1], overload[2]);
        if (CTruck* truck = GetTruck())
            truck->ResolveSpeedAndWarehouse();
        if (driver) {
            driver->CalculateFields(row);
            const CTruck* truck = GetTruck();
            if (truck && !truck->base.code.empty() && driver->base.code.empty())
                driver->base = truck->base;
            if (driver->equalWorkTable == -1)
                driver->equalWorkTable = fictitious ? 0 : 5;
        }
        if (maximumDistanceWithoutDriving == -1.0f)
            maximumDistanceWithoutDriving = UserParameters().MaxDstNoDrive;
        if (CTruck* truck = GetTruck(); truck && truck->ability == 0.0f)
            truck->ability = 1.0f;
        UpdateFlags(pack);
        customColorSet = customColor < 0x1000000 ? 1 : 0;
        availableDays = UserParameters().AvailableDays;
    }
    if (!resourceColor.empty())
        resourceRgb = static_cast<int32_t>(ParseRgbText(resourceColor));
}

void CLorryDriver::UpdateFlags(int pack)
{
    if (pack == 1) {
        flags = (deactivated ? PAIR_DEACTIVATED : 0) | (frozen ? PAIR_FROZEN : 0) |
                (warehouseRejected ? PAIR_WAREHOUSE_REJECTED : 0) |
                (lorry ? 0 : PAIR_WITHOUT_LORRY);
    } else {
        deactivated = (flags & PAIR_DEACTIVATED) ? 1 : 0;
        frozen = (flags & PAIR_FROZEN) ? 1 : 0;
        warehouseRejected = (flags & PAIR_WAREHOUSE_REJECTED) ? 1 : 0;
    }
    CLorriesDrivers& pairs = Resources().pairs;
    for (int i = 0; i < pairs.GetSize(); ++i)
        if (CDriver* other = pairs[i]->driver)
            other->CalculateFields(i);
}

void CLorryDriver::SetFlag(int bit, bool on)
{
    flags = on ? (flags | bit) : (flags & ~bit);
    UpdateFlags(0);
}

void CLorryDriver::MakeCodesUpper()
{
    if (driver) {
        driver->code = trv::ToUpper(driver->code);
        driver->name = trv::ToUpper(driver->name);
    }
    if (CTruck* truck = GetTruck())
        truck->MakeUpper();
    if (CTrailer* trailer = GetTrailer())
        trailer->MakeUpper();
}

bool CLorryDriver::IsNotLocated() const
{
    const CTruck* truck = GetTruck();
    if (!truck || !IsLocated(truck->base) || !IsLocated(truck->endBase))
        return true;
    return UserParameters().LoadingProblem == 1 && !IsLocated(truck->warehouse);
}

uint32_t CLorryDriver::GetColor() const
{
    const CTruck* truck = GetTruck();
    uint32_t color = static_cast<uint32_t>(customColor) & 0xFFFFFFu;
    if (!customColorSet && truck) {
        const int highest = truck->highestRow;
        color = kPalette[((highest % 46) + 46) % 46];
    }
    return color + 0x02000000u;
}

uint32_t CLorryDriver::GetStateColor(const TPairTripsView& trips, const TStateColors& colors) const
{
    if (trips.hasCopies)
        return colors.ByKey("ClonEscoba");
    if (trips.accumulatedMinutes == 0 && trips.currentTripUnloads == 0 && !fictitious &&
        !(flags & PAIR_DEACTIVATED))
        return colors.ByKey("NonWorkingVehicles");
    if (flags & PAIR_FROZEN)
        return colors.ByKey("Frozen");
    if (IsNotLocated())
        return colors.ByKey("NotLocated");
    const struct
    {
        uint32_t bits;
        const char* key;
    } states[] = {{0x200, "IncompatibilidadImposible"},
                  {0x460, "BadAssigned"},
                  {0x1, "Late"},
                  {0x2, "Work"},
                  {0x4, "Drive"},
                  {0x8, "Overload"},
                  {0x10, "Underload"}};
    for (const auto& state : states)
        if (trips.stateFlags & state.bits)
            return colors.ByKey(state.key);
    return colors.ByKey((flags & PAIR_DEACTIVATED) ? "Deactivated" : "Normal");
}

bool CLorryDriver::IsFreelyUsable() const
{
    const CTruck* truck = GetTruck();
    return flags == 0 && (!lorry || (truck && truck->base.nodeIndex >= 0)) && driverPriority <= 1;
}

std::string CLorryDriver::GetTruckCode() const
{
    return GetTruck() ? GetTruck()->code : std::string();
}
std::string CLorryDriver::GetTruckPlate() const
{
    return GetTruck() ? GetTruck()->plate : std::string();
}
std::string CLorryDriver::GetTrailerCode() const
{
    return GetTrailer() ? GetTrailer()->code : std::string();
}
std::string CLorryDriver::GetTrailerPlate() const
{
    return GetTrailer() ? GetTrailer()->plate : std::string();
}
std::string CLorryDriver::GetDriverCode() const
{
    return driver ? driver->code : std::string();
}
std::string CLorryDriver::GetDriverName() const
{
    return driver ? driver->name : std::string();
}
CTimeWindow CLorryDriver::GetDriverTimeWindow() const
{
    return driver ? driver->workingWindow : CTimeWindow();
}

// ---- CLorriesDrivers ----------------------------------------------------------------------------

CLorryDriver* CLorriesDrivers::Find(const CLorry* lorry, const CDriver* driver) const
{
    for (CLorryDriver* pair : *this)
        if (pair->lorry == lorry && pair->driver == driver)
            return pair;
    return nullptr;
}

CLorryDriver* CLorriesDrivers::Add(CLorry* lorry, CDriver* driver, int& existed)
{
    existed = 1;
    if (CLorryDriver* found = Find(lorry, driver))
        return found;
    existed = 0;
    if (driver)
        ++driver->useCount;
    if (lorry)
        ++lorry->useCount;
    auto* pair = new CLorryDriver(lorry, driver);
    CSmartPtrArray<CLorryDriver>::Add(pair);
    pair->row = GetSize() - 1;
    if (driver)
        driver->ownRows.push_back(pair->row);
    else
        m_driverlessRows.push_back(pair->row);
    pair->MakeCodesUpper();
    pair->requirements.Init(ModelContext().requirementDefinitions.GetSize());
    pair->CalculateFields(1);
    return pair;
}

void CLorriesDrivers::RemovePair(int row)
{
    if (row < 0 || row >= GetSize())
        return;
    RemoveAt(row);
    m_driverlessRows.clear();
    for (CDriver* driver : Resources().drivers)
        driver->ownRows.clear();
    for (int i = 0; i < GetSize(); ++i) {
        CLorryDriver& pair = *(*this)[i];
        pair.row = i;
        if (pair.driver)
            pair.driver->ownRows.push_back(i);
        else
            m_driverlessRows.push_back(i);
        if (CTrailer* trailer = pair.GetTrailer()) {
            trailer->pairRows[0] = trailer->pairRows[1] = i;
            if (CTruck* truck = pair.GetTruck())
                truck->highestRow = i;
        }
    }
}

void CLorriesDrivers::RemoveAllPairs()
{
    SetSize(0);
    m_driverlessRows.clear();
    for (CDriver* driver : Resources().drivers)
        driver->ownRows.clear();
}

template <class Field>
int CLorriesDrivers::FindRanged(const std::string& text, int start, int end, bool exact,
                                bool backwards, Field field) const
{
    const int count = GetSize();
    if (start < 0 || start >= count)
        return -1;
    if (end == -2)
        end = count;
    else if (end <= start || end > count)
        return -1;
    const std::string upper = trv::ToUpper(text);
    auto matches = [&](int row) {
        const std::string value = field(*(*this)[row]);
        return exact ? value == upper : value.find(upper) != std::string::npos;
    };
    if (backwards) {
        for (int row = start; row >= 0; --row)
            if (matches(row))
                return row;
        return -1;
    }
    for (int row = start; row < end; ++row)
        if (matches(row))
            return row;
    return -1;
}

int CLorriesDrivers::FindByTrailerPlate(const std::string& text, int start, int end,
                                        bool exact) const
{
    return FindRanged(text, start, end, exact, false,
                      [](const CLorryDriver& p) { return p.GetTrailerPlate(); });
}
int CLorriesDrivers::FindByDriverCode(const std::string& text, int start, int end, bool exact,
                                      bool backwards) const
{
    return FindRanged(text, start, end, exact, backwards,
                      [](const CLorryDriver& p) { return p.GetDriverCode(); });
}
int CLorriesDrivers::FindByDriverName(const std::string& text, int start, int end, bool exact,
                                      bool backwards) const
{
    return FindRanged(text, start, end, exact, backwards,
                      [](const CLorryDriver& p) { return p.GetDriverName(); });
}
int CLorriesDrivers::FindByTruckPlate(const std::string& text, int start, int end, bool exact,
                                      bool backwards) const
{
    return FindRanged(text, start, end, exact, backwards,
                      [](const CLorryDriver& p) { return p.GetTruckPlate(); });
}

template <class Match> int CLorriesDrivers::FindFrom(int start, Match match) const
{
    for (int row = std::max(start, 0); row < GetSize(); ++row)
        if (match(*(*this)[row]))
            return row;
    return -1;
}

int CLorriesDrivers::FindByTrailerCode(const std::string& code, int start) const
{
    const std::string upper = trv::ToUpper(code);
    return FindFrom(start, [&](const CLorryDriver& p) { return p.GetTrailerCode() == upper; });
}
int CLorriesDrivers::FindByTruckCode(const std::string& code, int start) const
{
    const std::string upper = trv::ToUpper(code);
    return FindFrom(start, [&](const CLorryDriver& p) { return p.GetTruckCode() == upper; });
}
int CLorriesDrivers::FindByTrailerAndDriver(const std::string& trailer, const std::string& driver,
                                            int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTrailerCode() == trailer && p.GetDriverCode() == driver;
    });
}
int CLorriesDrivers::FindByTrailerPlateAndDriver(const std::string& trailer,
                                                 const std::string& driver, int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTrailerPlate() == trailer && p.GetDriverCode() == driver;
    });
}
int CLorriesDrivers::FindByTruckAndDriver(const std::string& truck, const std::string& driver,
                                          int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTruckCode() == truck && p.GetDriverCode() == driver;
    });
}
int CLorriesDrivers::FindByTruckPlateAndDriver(const std::string& truck, const std::string& driver,
                                               int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTruckPlate() == truck && p.GetDriverCode() == driver;
    });
}
int CLorriesDrivers::FindByTrailerAndTruck(const std::string& trailer, const std::string& truck,
                                           int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTrailerCode() == trailer && p.GetTruckCode() == truck;
    });
}
int CLorriesDrivers::FindByTrailerAndTruckPlates(const std::string& trailer,
                                                 const std::string& truck, int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTrailerPlate() == trailer && p.GetTruckPlate() == truck;
    });
}
int CLorriesDrivers::FindByCodes(const std::string& trailer, const std::string& truck,
                                 const std::string& driver, int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTrailerCode() == trailer && p.GetTruckCode() == truck &&
               p.GetDriverCode() == driver;
    });
}
int CLorriesDrivers::FindByPlates(const std::string& trailer, const std::string& truck,
                                  const std::string& driver, int start) const
{
    return FindFrom(start, [&](const CLorryDriver& p) {
        return p.GetTrailerPlate() == trailer && p.GetTruckPlate() == truck &&
               p.GetDriverCode() == driver;
    });
}

int CLorriesDrivers::FindLorryDriver(const std::string& trailer, const std::string& truck,
                                     const std::string& driverCode, int& row) const
{
    int primary = FindByCodes(trailer, truck, driverCode, 0);
    if (primary < 0)
        primary = FindByPlates(trailer, truck, driverCode, 0);
    row = primary;
    const int start = primary + 1 > 0 ? primary + 1 : 0;
    auto found = [&] { return row >= 0 && (*this)[row]->lorry; };
    // Each step runs only while no pair with a lorry has been found; a driver-only pair found
    // is kept but lets the next step try.
    auto step = [&](bool applies, auto first, auto second) {
        if (found() || !applies)
            return;
        row = first();
        if (row < 0)
            row = second();
    };
    const bool a = !trailer.empty();
    const bool b = !truck.empty();
    const bool c = !driverCode.empty();
    step(
        a && c, [&] { return FindByTrailerAndDriver(trailer, driverCode, start); },
        [&] { return FindByTrailerPlateAndDriver(trailer, driverCode, start); });
    step(
        a && b, [&] { return FindByTrailerAndTruck(trailer, truck, start); },
        [&] { return FindByTrailerAndTruckPlates(trailer, truck, start); });
    step(
        a, [&] { return FindByTrailerCode(trailer, start); },
        [&] { return FindByTrailerPlate(trailer, start, -2, true); });
    step(
        b && c, [&] { return FindByTruckAndDriver(truck, driverCode, start); },
        [&] { return FindByTruckPlateAndDriver(truck, driverCode, start); });
    step(
        b, [&] { return FindByTruckCode(truck, start); },
        [&] { return FindByTruckPlate(truck, start, -2, true, false); });
    return primary >= 0 ? primary : row;
}

void CLorriesDrivers::CalculateAll()
{
    minimumCostPerDay = 0;
    minimumWorkingMinutesPerDay = 0;
    maximumAccumulatedDays = 0;
    AssignLorriesToDrivers();

    CDrivers& drivers = Resources().drivers;
    for (int i = 0; i < drivers.GetSize(); ++i) {
        CDriver& driver = *drivers[i];
        driver.index = i;
        float cost = 0;
        float minutes = 0;
        int count = 0;
        for (const CDriver* other : drivers) {
            if (other->equalGroup != driver.equalGroup || other->accumulatedDays == 0)
                continue;
            const auto days = static_cast<float>(other->accumulatedDays);
            cost += other->accumulatedCost / days;
            minutes += static_cast<float>(other->accumulatedWorkingMinutes) / days;
            ++count;
        }
        if (count != 0) {
            cost /= static_cast<float>(count);
            minutes /= static_cast<float>(count);
        }
        driver.equalGroupCount = count;
        driver.equalGroupCostPerDay = cost;
        driver.equalGroupWorkingMinutesPerDay = minutes;
    }

    for (int j = 0; j < GetSize(); ++j) {
        CLorryDriver& pair = *(*this)[j];
        if (CDriver* driver = pair.driver) {
            driver->pairRow = -1;
            maximumAccumulatedDays = std::max(maximumAccumulatedDays, driver->accumulatedDays);
            const int days = driver->accumulatedDays;
            if (days != 0) {
                const float cost = driver->accumulatedCost;
                if ((cost / static_cast<float>(days) < minimumCostPerDay && cost != 0) ||
                    minimumCostPerDay == 0)
                    minimumCostPerDay = cost / static_cast<float>(days + 1);
                const int work = driver->accumulatedWorkingMinutes;
                if ((work / days < minimumWorkingMinutesPerDay && work != 0) ||
                    minimumWorkingMinutesPerDay == 0)
                    minimumWorkingMinutesPerDay = work / (days + 1);
            }
        }
        if (pair.lorry && !pair.lorry->truck && !pair.lorry->trailer)
            pair.lorry = nullptr;
        else if (CTrailer* trailer = pair.GetTrailer())
            trailer->pairRows[1] = j;
    }

    for (CLorryDriver* pair : *this) {
        pair->CalculateFields(1);
        CalculatePossibleDrivers(*pair);
    }
}

void CLorriesDrivers::CalculatePossibleDrivers(CLorryDriver& pair)
{
    CLorry* lorry = pair.lorry;
    CDriver* driver = pair.driver;
    if (!lorry || !driver)
        return;
    lorry->firstStart = lorry->lastStart = kUnsetTime;
    pair.possibleDrivers.SetSize(0);
    if (lorry->useCount < 2) {
        lorry->firstStart = lorry->lastStart = driver->workingWindow.start;
        return;
    }
    for (CLorryDriver* shared : *this) {
        CDriver* other = shared->driver;
        if (shared->lorry != lorry || !other)
            continue;
        CTimeWindow& mine = driver->workingWindow;
        CTimeWindow& theirs = other->workingWindow;
        if (other != driver) {
            if (theirs.start < mine.end &&
                mine.start + driver->maximumWorkingMinutes < theirs.start)
                mine.end = theirs.start;
            if (mine.start < theirs.end && theirs.start + other->maximumWorkingMinutes < mine.start)
                theirs.end = mine.start;
        }
        const int start = theirs.start;
        if (lorry->firstStart == kUnsetTime)
            lorry->firstStart = start;
        if (lorry->lastStart == kUnsetTime)
            lorry->lastStart = start;
        if (start < lorry->firstStart)
            lorry->firstStart = start;
        else if (lorry->lastStart < start)
            lorry->lastStart = start;
        if (pair.possibleDrivers.Find(shared) < 0)
            pair.possibleDrivers.Add(shared);
    }
    CPossibleDrivers& list = pair.possibleDrivers;
    std::stable_sort(list.begin(), list.end(),
                     [&list](CLorryDriver* a, CLorryDriver* b) { return list.Compare(a, b) < 0; });
}

void CLorriesDrivers::AssignLorriesToDrivers()
{
    if (CDriverVehicleMatrix* matrix = Resources().driverVehicleMatrix)
        matrix->Build(GetSize());
    for (CLorryDriver* pair : *this) {
        if (pair->lorry || !pair->driver)
            continue;
        const CLorryDriver* chosen = PickLorryForDriver(pair->driver->pairRow);
        if (!chosen)
            continue;
        pair->lorry = chosen->lorry;
        pair->requirements.CopyFrom(chosen->requirements, true);
        ++pair->lorry->useCount;
    }
}

namespace {

bool LorryHasDrivenPair(const CLorriesDrivers& pairs, const CLorry* lorry)
{
    for (const CLorryDriver* pair : pairs)
        if (pair->lorry == lorry && pair->driver)
            return true;
    return false;
}

} // namespace

CLorryDriver* CLorriesDrivers::PickLorryForDriver(int driverRow) const
{
    const CDriverVehicleMatrix* matrix = Resources().driverVehicleMatrix;
    auto mayDrive = [&](int row) {
        return matrix && driverRow >= 0 && matrix->MayDrive(driverRow, row);
    };
    auto candidate = [&](const CLorryDriver& pair, int maximumUses) {
        const CTrailer* trailer = pair.GetTrailer();
        return !pair.driver && trailer && trailer->towedClass == 0 &&
               pair.lorry->useCount < maximumUses && mayDrive(pair.row);
    };
    // Largest capacity first, then the lowest row.
    std::vector<const CLorryDriver*> byCapacity;
    for (const CLorryDriver* pair : *this)
        if (pair->GetTrailer())
            byCapacity.push_back(pair);
    std::stable_sort(byCapacity.begin(), byCapacity.end(),
                     [](const CLorryDriver* a, const CLorryDriver* b) {
                         return a->GetTrailer()->capacity[0] > b->GetTrailer()->capacity[0];
                     });
    for (const CLorryDriver* pair : byCapacity)
        if (candidate(*pair, 4) && !LorryHasDrivenPair(*this, pair->lorry))
            return const_cast<CLorryDriver*>(pair);

    const int count = GetSize();
    int candidates = 0;
    for (const CLorryDriver* pair : *this)
        candidates += candidate(*pair, 3) ? 1 : 0;
    if (candidates == 0)
        return nullptr;
    // The seeded source stands in for the process-wide generator: same seed, same lorry.
    const auto draw = static_cast<int>(ModelContext().random() % 32768u);
    const int skip = static_cast<int>(static_cast<long long>(draw) * count / 32768);
    int passed = 0;
    for (int row = 0;; row = (row + 1) % count) {
        if (!candidate(*(*this)[row], 3))
            continue;
        if (passed++ == skip % candidates)
            return (*this)[row];
    }
}

int CLorriesDrivers::BuildWarehouseMasks(CSmartStringArray& masks)
{
    const CPairWarehouseRejections* rejections = Resources().warehouseRejections;
    const int warehouses = rejections ? rejections->GetWarehouseCount() : 0;
    for (CLorryDriver* pair : *this) {
        if (pair->warehouseMask == -1 || pair->warehouseMaskText.empty()) {
            uint32_t mask = 0;
            std::string whole;
            for (int w = 0; w < warehouses; ++w) {
                const bool rejected = rejections->IsRejected(pair->row, w);
                if (rejected)
                    mask |= 1u << (w % 32);
                whole += rejected ? '1' : '0';
            }
            pair->warehouseMask = static_cast<int32_t>(mask);
            // Beyond 32 warehouses a mask would fold warehouses together: the whole set names it.
            pair->warehouseMaskText =
                warehouses <= 32 ? trv::FormatC("%d", pair->warehouseMask) : whole;
        }
        if (masks.Find(pair->warehouseMaskText) < 0)
            masks.Add(pair->warehouseMaskText);
    }
    for (CLorryDriver* pair : *this)
        pair->warehouseClass = pair->row;
    distinctWarehouseMasks = masks.GetSize();
    return GetSize();
}

// ---- The program-wide fleet ---------------------------------------------------------------------

namespace {

std::unique_ptr<CResources>& ResourcesInstance()
{
    static std::unique_ptr<CResources> instance = std::make_unique<CResources>();
    return instance;
}

} // namespace

CResources& Resources()
{
    return *ResourcesInstance();
}

void ResetResources()
{
    ResourcesInstance() = std::make_unique<CResources>();
}

// ---- CFleetLookups ------------------------------------------------------------------------------

int CFleetLookups::GetPairCount() const
{
    return Resources().pairs.GetSize();
}

int CFleetLookups::FindByDriverCode(const std::string& driverCode) const
{
    return Resources().pairs.FindByDriverCode(driverCode, 0, -2, true, false);
}

int CFleetLookups::FindLorryDriver(const std::string& trailer, const std::string& truck,
                                   const std::string& driver) const
{
    int row = -1;
    return Resources().pairs.FindLorryDriver(trailer, truck, driver, row);
}

bool CFleetLookups::IsSweeperTrailer(int pairRow) const
{
    const CLorryDriver* pair = PairAt(pairRow);
    return pair && pair->GetTrailer() && pair->GetTrailer()->sweeper != 0;
}

bool CFleetLookups::GetPairDriver(int pairRow, std::string& driverCode, int& driverRow) const
{
    const CLorryDriver* pair = PairAt(pairRow);
    if (!pair || !pair->driver)
        return false;
    driverCode = pair->driver->code;
    driverRow = pair->driver->index;
    return true;
}

const TLocationData* CFleetLookups::GetTruckBase(int pairRow) const
{
    const CLorryDriver* pair = PairAt(pairRow);
    return pair && pair->GetTruck() ? &pair->GetTruck()->base : nullptr;
}

int CFleetLookups::GetWarehouseClass(int pairRow) const
{
    const CLorryDriver* pair = PairAt(pairRow);
    return pair ? pair->warehouseClass : -1;
}

float CFleetLookups::GetTrailerFirstCapacity(int pairRow) const
{
    const CLorryDriver* pair = PairAt(pairRow);
    return pair && pair->GetTrailer() ? pair->GetTrailer()->capacity[0] : -1.0f;
}

int CFleetLookups::GetFirstBaseNode() const
{
    for (const CLorryDriver* pair : Resources().pairs)
        if (const CTruck* truck = pair->GetTruck())
            return truck->base.nodeIndex;
    return -1;
}

void InstallFleetLookups()
{
    static const CFleetLookups lookups;
    ModelContext().fleet = &lookups;
}
