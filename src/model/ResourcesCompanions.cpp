// The tables that travel beside the resources: days off for all, the available drivers and
// their days off, the driver-vehicle compatibilities with the matrix built from them, what the
// vehicles already carry, and the export of the fleet with these companions.

#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/OrderLine.h"
#include "model/Resources.h"
#include "params/FieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Progress.h"
#include "platform/Text.h"

#include <algorithm>
#include <set>

namespace {

constexpr const char* kRealTimeMethod = "CResources::LoadRealTimeLoadResourceData";

const char* RealTimeDefinition(int sourceKind)
{
    switch (sourceKind) {
    case 1:
        return "INT_REAL_TIME_LOAD";
    case 2:
        return "EXT_REAL_TIME_LOAD";
    case 3:
        return "CUSTOMER_REAL_TIME_LOAD";
    case 4:
        return "INT_INT_REAL_TIME_LOADDB";
    default:
        return nullptr;
    }
}

void CopyWindows(const CDateTable& from, CDateTable& to)
{
    for (const CDateWindow* window : from)
        to.AddWindow(window->startDate, window->endDate, window->description, window->code,
                     window->generalMark);
}

int WidthOf(const char* key)
{
    const int width = TrevantorVariables().GetMaxChars(key);
    return width == -1 ? 500 : width;
}

} // namespace

// ---- Driver availability ----------------------------------------------------------------------

void CResources::LoadDriverAvailability(CFieldRecordSource& definitions, int sourceKind,
                                        const std::string& resourcesFile, int days,
                                        const std::string& dateText, int planningDay)
{
    const trv::OleDate& planningDate = ModelContext().planningDate;
    CDateTable forAll;
    if (sourceKind == 1)
        forAll.ReadDaysOff(definitions, "INT_DAYOFF_ALL",
                           FleetCompanionFile(resourcesFile, ".fstall"), 1, "", false);
    else
        forAll.ReadDaysOff(definitions, "CUSTOMER_DAYOFF_ALL", "", 1, "", false);
    if (forAll.GetSize() > 0)
        forAll.MergeWindows(planningDate);

    std::unique_ptr<CFieldRecord> available =
        sourceKind == 1
            ? definitions.Open("INT_AVAILABLE_DRIVERS",
                               {.file = FleetCompanionFile(resourcesFile, ".adri")})
            : definitions.Open("AVAILABLE_DRIVERS",
                               {.date = dateText, .period = std::to_string(planningDay)});
    if (available) {
        while (!available->IsEOF()) {
            if (!available->MoveNext())
                continue;
            const std::string code = available->GetFieldString("DRIVER_CODE", "", -1, {});
            if (std::find(availableDriverCodes.begin(), availableDriverCodes.end(), code) ==
                availableDriverCodes.end())
                availableDriverCodes.push_back(code);
        }
        available->Close();
    }
    if (availableDriverCodes.empty())
        return;

    const std::string whereFormat = sourceKind == 1
                                        ? std::string()
                                        : ReadIniString("DRIVER_DAYOFF_FORMAT", "WHERE_FORMAT",
                                                        CFetch::GetCustomDataIniPath(), "");
    availableDaysOff.SetSize(0);
    for (const std::string& code : availableDriverCodes) {
        auto* calendar = new CDateTable;
        availableDaysOff.Add(calendar);
        CopyWindows(forAll, *calendar);
        if (sourceKind == 1)
            calendar->ReadDaysOff(definitions, "INT_DAYOFF_DRIVER",
                                  FleetCompanionFile(resourcesFile, ".fst"), 0,
                                  DriverDaysOffFilter("", code), false);
        else
            calendar->ReadDaysOff(definitions, "DRIVER_DAYOFF", "", 0,
                                  DriverDaysOffFilter(whereFormat, code), false);
        calendar->MergeWindows(planningDate);
    }

    driversPerDay.assign(static_cast<size_t>(std::max(days, 0)),
                         static_cast<int>(availableDriverCodes.size()));
    for (const CDateTable* calendar : availableDaysOff)
        for (const CDateWindow* window : *calendar)
            for (int day = std::max(window->firstDay, 0);
                 day <= window->lastDay && day < static_cast<int>(driversPerDay.size()); ++day)
                --driversPerDay[static_cast<size_t>(day)];
}

// ---- Driver-vehicle compatibilities -----------------------------------------------------------

void CResources::ReadDriverVehicles(CFieldRecordSource& definitions, const std::string& definition,
                                    const std::string& file, const std::string& dateText)
{
    compatibilities.records.clear();
    std::unique_ptr<CFieldRecord> record =
        definitions.Open(definition, {.file = file, .date = dateText});
    if (!record)
        return;
    while (!record->IsEOF()) {
        if (!record->MoveNext())
            continue;
        const std::string driver = record->GetFieldString("DRIVER_CODE", "", -1, {});
        CSmartStringArray vehicles;
        record->GetFieldList("VEHICLE_CODE", vehicles, "", false, -1, {});
        for (const std::string& vehicle : vehicles)
            if (!driver.empty() && !vehicle.empty())
                compatibilities.records.push_back({driver, vehicle});
    }
    record->Close();
}

void CDriverVehicleCompatibilities::Build(int pairCount)
{
    (void)pairCount; // the program-wide pairs are the ones counted
    BuildDriverVehicleMatrix(Resources().pairs);
}

bool CDriverVehicleCompatibilities::MayDrive(int driverRow, int lorryRow) const
{
    // A matrix built for fewer pairs does not know the rows beyond them.
    if (driverRow < 0 || lorryRow < 0 || driverRow >= m_columns || lorryRow >= m_columns)
        return false;
    return matrix.GetBit(lorryRow, driverRow) != 0;
}

void CDriverVehicleCompatibilities::BuildDriverVehicleMatrix(const CLorriesDrivers& pairs)
{
    const int count = pairs.GetSize();
    m_columns = count;
    matrix.Create(count, count);
    auto sameBase = [&](int lorryRow, int driverRow) {
        const CLorryDriver& lorryPair = *pairs[lorryRow];
        const CLorryDriver& driverPair = *pairs[driverRow];
        const CTruck* truck = lorryPair.GetTruck();
        return truck && driverPair.driver &&
               truck->base.nodeIndex == driverPair.driver->base.nodeIndex;
    };
    if (records.empty()) {
        for (int column = 0; column < count; ++column)
            for (int row = 0; row < count; ++row)
                if (sameBase(column, row))
                    matrix.SetBit(column, row);
        return;
    }
    for (const CDriverVehicleCompatibility& record : records) {
        const std::string vehicle = trv::ToUpper(record.vehicleCode);
        const std::string driver = trv::ToUpper(record.driverCode);
        for (int column = pairs.FindByTrailerCode(vehicle, 0); column >= 0;
             column = pairs.FindByTrailerCode(vehicle, column + 1))
            for (int row = pairs.FindByDriverCode(driver, 0, -2, true, false); row >= 0;
                 row = pairs.FindByDriverCode(driver, row + 1, -2, true, false))
                if (sameBase(column, row))
                    matrix.SetBit(column, row);
    }
}

// ---- Real-time load ---------------------------------------------------------------------------

bool CResources::LoadRealTimeLoadResourceData(CFieldRecordSource& definitions, int sourceKind,
                                              const std::string& file,
                                              const trv::OleDate& planningDate, int planningDay,
                                              const std::string& filter)
{
    const char* definition = RealTimeDefinition(sourceKind);
    if (!definition)
        return false;
    std::unique_ptr<CFieldRecord> record =
        definitions.Open(definition, {.file = file,
                                      .filter = filter,
                                      .date = FetchDateText(planningDate),
                                      .period = std::to_string(planningDay)});
    if (!record)
        return false;
    trv::Progress& progress = trv::GetProgress();
    progress.SetCaption(Translate("LoadingResourcesRealTimeLoad..."));
    const long long total = record->GetRecordCount();
    long long read = 0;
    const int plateWidth = WidthOf("TRUCK_PLATE");
    const int driverWidth = WidthOf("DRIVER_CODE");
    while (!record->IsEOF() && !progress.IsCancelled()) {
        if (!record->MoveNext())
            continue;
        progress.SetPosition(++read, std::max(total, read));
        const std::string plate = record->GetFieldString("TRUCK_PLATE", "", plateWidth, {});
        const std::string driver = record->GetFieldString("DRIVER_CODE", "", driverWidth, {});
        if (plate.empty())
            continue;
        int row = pairs.FindByTruckPlateAndDriver(plate, driver, 0);
        if (row < 0) {
            TRV_TRACE(1, kRealTimeMethod,
                      "CARGA REAL. La combinación matricula [%s] y conductor [%s] no se "
                      "corresponde con ningún recurso cargado en el sistema",
                      plate.c_str(), driver.c_str());
            row = pairs.FindByTruckPlate(plate, 0, -2, true, false);
        }
        if (row < 0) {
            TRV_TRACE(1, kRealTimeMethod,
                      "CARGA REAL. La matricula [%s] no se corresponde con ningún recurso "
                      "cargado en el sistema",
                      plate.c_str());
            continue;
        }
        CTrailer* trailer = pairs[row]->GetTrailer();
        if (!trailer) {
            // Nothing to load into: the pair has no lorry, or its lorry no trailer.
            TRV_TRACE(1, kRealTimeMethod,
                      "CARGA REAL. El recurso de la matricula [%s] no tiene cisterna",
                      plate.c_str());
            continue;
        }
        CSmartStringArray products;
        record->GetFieldListStrings("PRODUCTS_LOADED", products, {});
        const CSmartFloatArray quantities = record->GetFieldListFloat("QUANTITIES_LOADED", {});
        CTanks& tanks = trailer->tanks;
        int appended = 0;
        for (int i = 0; i < quantities.GetSize(); ++i) {
            if (quantities[i] <= 0)
                continue;
            if (i >= products.GetSize()) {
                TRV_TRACE(1, kRealTimeMethod,
                          "CARGA REAL. La matricula [%s] tiene más cantidades que productos",
                          plate.c_str());
                break;
            }
            if (appended == 0)
                tanks.ClearInitialLines();
            if (tanks.AddRealLoadLine(products[i], quantities[i])) {
                ++appended;
                trailer->realLoad = 1;
            }
        }
        if (appended > 0)
            while (tanks.GetInitialLoadCount() < tanks.GetSize())
                tanks.AppendEmptyInitialLine();
    }
    record->Close();
    if (ModelContext().orders.GetSize() > 0 && rebuildProductList)
        rebuildProductList();
    return true;
}

// ---- Export -----------------------------------------------------------------------------------

bool CResources::ExportResources(CFieldRecordSource& definitions, const std::string& file,
                                 const trv::OleDate& planningDate, int planningDay)
{
    CTrevantorVariables& catalogue = TrevantorVariables();
    bool result = false;
    if (std::unique_ptr<CFieldRecord> record =
            definitions.Open("INT_RESOURCES", {.mode = TFieldRecordMode::write,
                                               .file = file,
                                               .date = FetchDateText(planningDate),
                                               .period = std::to_string(planningDay)})) {
        result = true;
        for (CLorryDriver* pair : pairs) {
            record->ClearRecord();
            if (CTruck* truck = pair->GetTruck())
                result = catalogue.WriteEntity(ENTITY_TRUCK, *truck, *record, 0) && result;
            if (CTrailer* trailer = pair->GetTrailer())
                result = catalogue.WriteEntity(ENTITY_TRAILER, *trailer, *record, 0) && result;
            if (pair->driver)
                result = catalogue.WriteEntity(ENTITY_DRIVER, *pair->driver, *record, 0) && result;
            pair->CalculateFields(0);
            result = catalogue.WriteEntity(ENTITY_RESOURCE, *pair, *record, 0) && result;
            result = record->WriteRecord() && result;
        }
        result = record->Close() && result;
    }

    // The companions are named as the import reads them, never over the resources file.
    result =
        WriteDriverVehicles(definitions, "INT_DRIVER_VEHICLES", FleetCompanionFile(file, ".vdc")) &&
        result;

    const CUserParameters& parameters = UserParameters();
    if (parameters.SchedulingTime == 1 && parameters.DayOff) {
        const std::string daysOffFile = FleetCompanionFile(file, ".fst");
        std::unique_ptr<CFieldRecord> record = definitions.Open(
            "INT_DAYOFF_DRIVER", {.mode = TFieldRecordMode::write, .file = daysOffFile});
        if (!record) {
            result = false;
        } else {
            // Each code's calendar once: a driver of two pairs, or an available driver who
            // also drives, would otherwise come back with every window doubled.
            std::set<std::string> written;
            for (const CLorryDriver* pair : pairs)
                if (pair->driver && written.insert(trv::ToUpper(pair->driver->code)).second)
                    pair->driver->daysOff.WriteDaysOff(*record, pair->driver->code);
            for (size_t i = 0; i < availableDriverCodes.size() &&
                               i < static_cast<size_t>(availableDaysOff.GetSize());
                 ++i)
                if (written.insert(trv::ToUpper(availableDriverCodes[i])).second)
                    availableDaysOff[static_cast<int>(i)]->WriteDaysOff(*record,
                                                                        availableDriverCodes[i]);
            result = record->Close() && result;
        }
        result = WriteAvailableDrivers(definitions, FleetCompanionFile(file, ".adri")) && result;
    }
    return result;
}

bool CResources::WriteDriverVehicles(CFieldRecordSource& definitions, const std::string& definition,
                                     const std::string& file) const
{
    std::unique_ptr<CFieldRecord> record =
        definitions.Open(definition, {.mode = TFieldRecordMode::write, .file = file});
    if (!record)
        return false;
    bool written = true;
    for (const CDriverVehicleCompatibility& compatibility : compatibilities.records) {
        record->ClearRecord();
        record->SetFieldString("VEHICLE_CODE", compatibility.vehicleCode, -1, {});
        record->SetFieldString("DRIVER_CODE", compatibility.driverCode, -1, {});
        written = record->WriteRecord() && written;
    }
    return record->Close() && written;
}

bool CResources::WriteAvailableDrivers(CFieldRecordSource& definitions,
                                       const std::string& file) const
{
    std::unique_ptr<CFieldRecord> record =
        definitions.Open("INT_AVAILABLE_DRIVERS", {.mode = TFieldRecordMode::write, .file = file});
    if (!record)
        return false;
    bool written = true;
    for (const std::string& code : availableDriverCodes) {
        record->ClearRecord();
        record->SetFieldString("DRIVER_CODE", code, -1, {});
        written = record->WriteRecord() && written;
    }
    return record->Close() && written;
}
