// Reading the fleet from a resources definition: one record per resource, turned into a truck,
// a trailer, a driver, their lorry and the lorry-driver pair; removing pairs with what they used.

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "KLV/Folders.h"
#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "model/FileChoice.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/ModelDialogs.h"
#include "model/Resources.h"
#include "params/FieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/Progress.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

constexpr double kUnsetCoordinate = 12345678.0;

const char* ResourcesDefinition(int sourceKind)
{
    switch (sourceKind) {
    case 1:
        return "INT_RESOURCES";
    case 2:
        return "EXT_RESOURCES";
    case 3:
        return "CUSTOMER_RESOURCES";
    case 4:
        return "INT_RESOURCESDB";
    default:
        return nullptr;
    }
}

// The condition a filter dialog of `filterKind` gives, joined with `extra`; false when the
// planner cancelled. A dialog without filterable fields is not shown: `extra` alone, so that the
// company's rows stay the only ones read.
bool AskFilter(int filterKind, const std::string& extra, std::string& condition)
{
    std::unique_ptr<CFilterDialog> dialog =
        GetFilterDialogFactory().Create(filterKind, UserParameters().SimpleFilter != 0);
    condition.clear();
    if (!dialog->HasFilterableFields()) {
        condition = extra;
        return true;
    }
    if (!dialog->Ask(condition))
        return false;
    condition = JoinConditions(condition, extra);
    return true;
}

// The filter file keeps the last general filter; the resources import takes it over as its own.
void KeepLastGeneralFilter()
{
    const std::string file =
        GetTempFolder(0) + "Trevantor/" + trv::GetCompanyAlias() + "Filters.ini";
    const std::string last = ReadIniString("KEEP_SAVED_GENERAL", "Last", file, "");
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ignored);
    if (!last.empty())
        trv::WriteProfileString("KEEP_SAVED_CUSTOMER_FILTERS_RESOURCES", "Last", last, file);
    trv::WriteProfileString("KEEP_SAVED_GENERAL", "Last", "", file);
}

bool IsUnlocated(const TLocationData& location)
{
    return location.coordinates.longitude == kUnsetCoordinate ||
           location.coordinates.latitude == kUnsetCoordinate;
}

template <class Vehicle> void ReleaseVehicle(CVehicleList<Vehicle>& list, Vehicle*& vehicle)
{
    if (!vehicle)
        return;
    const auto found = std::find(list.begin(), list.end(), vehicle);
    if (found != list.end() && list.Release(static_cast<int>(found - list.begin())))
        vehicle = nullptr;
}

} // namespace

// ---- Import ---------------------------------------------------------------------------------

bool CResources::GeneralImport(CFieldRecordSource& definitions, TResourcesImport& request)
{
    const CUserParameters& parameters = UserParameters();
    CSmartStringArray ownMessages;
    CSmartStringArray& messages = request.messages ? *request.messages : ownMessages;
    const std::string dateText = FetchDateText(request.planningDate);
    const std::string dayText = std::to_string(request.planningDay);

    std::string condition = request.condition;
    if (request.sourceKind == 4)
        condition = CompanyDateCondition(request.planningDate);
    if (parameters.AskAlwaysFilterForResources)
        KeepLastGeneralFilter();
    if (request.sourceKind == 3 || request.sourceKind == 4) {
        std::string dialogCondition;
        if (!AskFilter(FILTER_RESOURCES, condition, dialogCondition))
            return false; // the fleet stays as it was
        condition = dialogCondition;
    }
    if (request.sourceKind == 3 && parameters.ResourcesAutomaticLoadFromSolution) {
        request.file = ReadIniString("CUSTOMER_RESOURCES_FORMAT", "VEH_FILE_AUTOMATIC_LOAD",
                                     CFetch::GetCustomDataIniPath(), "");
        if (!request.file.empty())
            request.sourceKind = 1;
    }
    const char* definition = ResourcesDefinition(request.sourceKind);
    const bool locate = request.sourceKind == 2 ? false : request.locate;

    std::unique_ptr<CFieldRecord> record;
    if (definition)
        record = definitions.Open(definition, {.mode = TFieldRecordMode::read,
                                               .file = request.file,
                                               .filter = condition,
                                               .date = dateText,
                                               .period = dayText});
    const bool opened = record != nullptr;
    if (opened && !request.add)
        RemoveAll();

    trv::Progress& progress = trv::GetProgress();
    progress.SetCaption(Translate("LoadingResources..."));
    std::vector<int> rowsRead;
    CSmartStringArray readerMessages;
    if (record) {
        drivers.daysOffSource = {&definitions, request.sourceKind, request.file};
        drivers.LoadGeneralDaysOff();
        if (parameters.SchedulingTime == 1 && parameters.DayOff &&
            (parameters.PermitirTurnos || parameters.PermitirVehiculosSinConductor))
            LoadDriverAvailability(definitions, request.sourceKind, request.file,
                                   parameters.AvailableDays, dateText, request.planningDay);
        std::string currentSource;
        int sources = 0;
        long long total = 0;
        long long read = 0;
        while (!record->IsEOF() && !progress.IsCancelled()) {
            const TRecordSourcePosition source = record->GetSourcePosition();
            if (sources == 0 || source.name != currentSource) {
                // Which file of how many, and the range of its records.
                currentSource = source.name;
                ++sources;
                total = record->GetRecordCount();
                read = 0;
                if (source.total > 0)
                    progress.SetCaption(
                        Translate("LoadingResources") + " " +
                        std::to_string(source.number > 0 ? source.number : sources) + "/" +
                        std::to_string(source.total) + " " + source.name);
            }
            if (!record->MoveNext())
                continue;
            ReadResourceRecord(*record, readerMessages, request.planningDate, locate, request.add,
                               rowsRead);
            ++read;
            progress.SetPosition(read, std::max(total, read));
        }
        record->TakeReadMessages(messages);
    }

    if (request.add && parameters.SiempreAñadirRecursos == 0 &&
        parameters.SiempreAñadirRecursosBorrando == 1) {
        Reindex();
        std::sort(rowsRead.begin(), rowsRead.end());
        for (int row = pairs.GetSize() - 1; row >= 0; --row) {
            if (std::binary_search(rowsRead.begin(), rowsRead.end(), row))
                continue;
            if (engine)
                engine->RemovePairItem(row);
            RemoveLorryDriver(*pairs[row]);
            if (request.removedCount)
                ++*request.removedCount;
        }
    }
    if (record)
        record->Close();
    record.reset();

    for (const std::string& message : readerMessages)
        messages.Add(message);
    // A source that did not open reads nothing; the companions are still read.
    bool result = opened && messages.GetSize() == 0;
    ReadDriverVehicles(definitions,
                       request.sourceKind == 1 ? "INT_DRIVER_VEHICLES" : "CUSTOMER_DRIVER_VEHICLES",
                       FleetCompanionFile(request.file, ".vdc"), dateText);
    if (result)
        Reindex();

    if (request.sourceKind == 3) {
        std::string realTimeCondition;
        if (!AskFilter(FILTER_REAL_TIME_LOAD, "", realTimeCondition))
            result = false;
        else
            LoadRealTimeLoadResourceData(definitions, 3, request.file, request.planningDate,
                                         request.planningDay, realTimeCondition);
    }
    ModelContext().locations.Close();
    TRV_TRACE(2, "CResources::GeneralImport", "FIn import vehiculos");
    return result;
}

bool CResources::ReadResourceRecord(CFieldRecord& record, CSmartStringArray& messages,
                                    const trv::OleDate& planningDate, bool locate, bool add,
                                    std::vector<int>& rowsRead)
{
    (void)planningDate; // the drivers' calendars are merged for the document's date
    const CUserParameters& parameters = UserParameters();
    bool isNewVehicle = false;
    int isNewDriver = 0;
    CTruck* truck = trucks.LoadTruck(record, isNewVehicle);
    CTrailer* trailer = trailers.LoadTrailer(record, isNewVehicle);
    CDriver* driver = drivers.LoadDriver(record, isNewDriver);

    if (parameters.PermitirVehiculosSinConductor == 0 ? !(truck && trailer && driver)
                                                      : !(truck || trailer || driver))
        return false;
    if (truck && truck->speedLevel == -1)
        truck->speedLevel = 2;
    const std::string truckText = truck ? truck->plate : std::string();
    const std::string driverText = driver ? driver->name : std::string();

    CLorry* lorry = lorries.Add(truck, trailer);
    if (lorry && (lorry->useCount >= 5 ||
                  (lorry->useCount >= 3 && driver && pairs.GetDriverlessRows().empty())))
        return false;

    int existed = 0;
    CLorryDriver* pair = pairs.Add(lorry, driver, existed);
    // A listed pair counts as read even when left untouched, or the removal of the unlisted
    // pairs that follows would take it away.
    if (add && parameters.SiempreAñadirRecursos == 0)
        rowsRead.push_back(pair->row);
    if (parameters.IgnorarRecursosYaCargadosAlAgregar && existed)
        return true;
    if (add && existed)
        pair->requirements.ResetAll();
    const bool wasFrozen = (pair->flags & PAIR_FROZEN) != 0;
    const int wasDeactivated = pair->deactivated;

    TrevantorVariables().ReadEntity(ENTITY_RESOURCE, *pair, record, 0, nullptr);
    pair->CalculateFields(1);
    pair->MakeCodesUpper();
    if (add && parameters.MantenerAsignaciones && existed) {
        pair->SetFrozen(wasFrozen);
        pair->deactivated = wasDeactivated;
    }
    if (locate && (!pair->lorry || (pair->GetTruck() && IsUnlocated(pair->GetTruck()->base))))
        LocateLorryDriver(*pair);

    if (parameters.TransportCard) {
        const char* error = nullptr;
        if (pair->transportCardType == 1 && pair->cardProvince == 0)
            error = "ErrorComarcalTransportCard";
        else if (pair->transportCardType == 2 && pair->cardLocation.code.empty())
            error = "ErrorLocalTransportCard";
        if (error) {
            RemoveLorryDriver(*pair);
            messages.Add(TranslateFormat("ErrorInvalidResource", truckText, driverText));
            messages.Add(Translate(error));
        }
    }
    return true;
}

void CResources::LocateLorryDriver(CLorryDriver& pair)
{
    CLocations& locations = ModelContext().locations;
    const bool priority = UserParameters().PrioridadTrevantorSobreLocations != 0;
    auto look = [&](int type, TLocationData& location) {
        if (location.LookupState() != LOCATION_NOT_LOOKED_UP)
            return;
        const int flags = priority || IsUnlocated(location) ? LOCATION_COMPLETE_IMPORT : 0;
        locations.LookUpLocation(type, location, flags, nullptr);
    };
    if (CTruck* truck = pair.GetTruck()) {
        look(2, truck->base);
        look(2, truck->endBase);
        look(1, truck->warehouse);
    }
    if (pair.transportCardType == 2)
        look(2, pair.cardLocation);
}

// ---- Removal and renumbering ------------------------------------------------------------------

void CResources::RemoveLorryDriver(CLorryDriver& pair)
{
    if (pair.driver) {
        drivers.Release(pair.driver->name, pair.driver->code);
        pair.driver = nullptr; // possibly gone
    }
    if (CLorry* lorry = pair.lorry) {
        if (lorry->useCount < 2) {
            ReleaseVehicle(trucks, lorry->truck);
            ReleaseVehicle(trailers, lorry->trailer);
        }
        const auto found = std::find(lorries.begin(), lorries.end(), lorry);
        if (found != lorries.end()) {
            if (lorry->useCount < 2)
                lorries.RemoveAt(static_cast<int>(found - lorries.begin()));
            else
                --lorry->useCount;
        }
        pair.lorry = nullptr;
    }
    pairs.RemovePair(pair.row);
    pairs.CalculateAll();
    if (engine)
        engine->RecreateFirstWorkspaceTrips();
}

void CResources::RemoveAll()
{
    if (drivers.generalDaysOff.GetSize() > 0)
        drivers.generalDaysOff.RemoveAll();
    pairs.RemoveAllPairs();
    lorries.SetSize(0);
    drivers.SetSize(0);
    trucks.SetSize(0);
    trailers.SetSize(0);
}

void CResources::Reindex()
{
    pairs.CalculateAll();
    for (int i = 0; i < trailers.GetSize(); ++i)
        trailers[i]->pairRows[0] = i;
    for (int i = 0; i < trucks.GetSize(); ++i)
        trucks[i]->highestRow = i;
    if (rebuildProductList)
        rebuildProductList();
}

// ---- Dialogs around the import ----------------------------------------------------------------

bool CResources::ConfirmReplaceResources(bool ask) const
{
    if (pairs.GetSize() == 0 || !ask)
        return true;
    return trv::GetUserPrompt().AskQuestion("InfoAlreadyTrucks", Translate("InfoAlreadyTrucks"),
                                            false, trv::PromptAnswer::Yes) != trv::PromptAnswer::No;
}

bool CResources::SelectResourcesFile(int sourceKind, bool open, const std::string& fileName,
                                     const std::string& defaultExtension, std::string& chosen) const
{
    const bool companyFile = trv::HasCompanyFile();
    const std::string folder = companyFile ? ProgramDataFolder() : LastChosenFolder();
    trv::FileChoiceRequest request;
    request.key = "SelectResourcesFile";
    if (companyFile && open)
        request.title = trv::Left(TranslateFormat("SelectResourcesFile", defaultExtension), 300);
    request.save = !open;
    request.filter = FileDialogFilter(defaultExtension, sourceKind == 3 ? "FilterResourcesImport"
                                                                        : "FilterResources");
    request.defaultPath = trv::JoinPath(folder, fileName);
    request.defaultExtension = defaultExtension;

    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    const bool confirmed = trv::GetUserPrompt().ChooseFile(request, chosen) && !chosen.empty();
    if (!error)
        std::filesystem::current_path(current, error);
    return confirmed;
}

CLorryDriver* CResources::AddResource(const std::string& truckPlate,
                                      const std::string& trailerPlate,
                                      const std::string& driverName)
{
    CTruck* truck = trucks.FindByPlate(truckPlate);
    if (!truck)
        truck = trucks.AddNew();
    CTrailer* trailer = trailers.FindByPlate(trailerPlate);
    if (!trailer)
        trailer = trailers.AddNew();
    CDriver* driver = nullptr;
    const std::string upperName = trv::ToUpper(driverName);
    for (CDriver* listed : drivers)
        if (trv::ToUpper(listed->name) == upperName) {
            driver = listed;
            break;
        }
    if (!driver)
        driver = drivers.AddNew();
    int existed = 0;
    return pairs.Add(lorries.Add(truck, trailer), driver, existed);
}
