#pragma once

#include "containers/BoolTable.h"
#include "containers/SmartArray.h"
#include "model/Condicionantes.h"
#include "model/DateTable.h"
#include "model/Locations.h"
#include "model/OrderServices.h"
#include "model/TimeWindow.h"
#include "model/Trailer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CFieldRecord;
class CFieldRecordSource;
class CLorryDriver;
struct TStateColors;

// The person half of a lorry-driver pair.
class CDriver
{
  public:
    CDriver();

    // Reads the driver through the catalogue; negative costs become 0. The read's result.
    bool Load(CFieldRecord& record);
    // Derived fields for the pair at `row` (-1: none), holding the running engine back.
    void CalculateFields(int row);

    int32_t index = -1;   // position in the driver list
    int32_t pairRow = -1; // the pair the driver belongs to
    int32_t deactivated = 0;
    float hourlyCost = 0;
    float extraHourlyCost = 0;
    float nightCost = 0;
    float lunchCost = 0;
    float breakfastCost = 0;
    int32_t maximumDrivingMinutes = 0;
    int32_t maximumWorkingMinutes = 0;
    int32_t maximumWorkingMinutesWithCuts = 0;
    int32_t accumulatedWorkingMinutes = 0;
    int32_t maximumMinutesToConsiderRest = 0;
    int32_t maximumProducts = 0x7FFFFFFF;
    int32_t maximumTrips = 0x7FFFFFFF;
    float accumulatedCost = 0;
    int32_t accumulatedDays = 1;
    float equalGroupCostPerDay = 0;
    float equalGroupWorkingMinutesPerDay = 0;
    int32_t equalGroupCount = 0;
    int32_t equalWorkTable = 5;
    int32_t equalAccumulatedCostTable = 8;
    int32_t kmTable = 9;
    int32_t extraWorkTable = 2;
    int32_t workLimitTable = 2;
    int32_t waitingStartTable = 0;
    int32_t lunchMinutes = 0;
    int32_t breakfastMinutes = 0;
    int32_t breakfastTime = 0;
    int32_t useCount = 0; // pairs holding the driver
    int32_t currentOffDayWindow = 0;
    CSmartUIntArray pairRows; // the pairs the driver may drive, his own first
    std::string id;
    std::string code;
    std::string name;
    CTimeWindow workingWindow{0, 0};
    std::string equalGroup;
    CTimeWindow lunchWindow;
    CDateTable daysOff;
    TLocationData base;
    std::string email;

    // Rows of the pairs that hold this driver, ascending; kept by the pair list.
    std::vector<int> ownRows;
};

// Where the days off of the drivers being read come from: the resources' source kind (1 the
// plan's own file) and that file.
struct TDaysOffSource
{
    CFieldRecordSource* definitions = nullptr; // null: no days off are read
    int sourceKind = 0;
    std::string resourcesFile;
};

// A companion file of a resources file: a final ".veh" replaced by the extension, any other
// name extended by it.
std::string FleetCompanionFile(const std::string& resourcesFile, const std::string& extension);
// The filter of one driver's own days off: the company's WHERE_FORMAT with every OFF_DAY_CODE
// holding the code (inside quotes with that quote doubled), else OFF_DAY_CODE equal to it.
std::string DriverDaysOffFilter(const std::string& whereFormat, const std::string& code);

// The program-wide driver list with the days off that apply to every driver.
class CDrivers : public CSmartPtrArray<CDriver>
{
  public:
    // The general days off, then each new driver's own as LoadDriver reads him; only with
    // "SchedulingTime" 1 and "DayOff".
    void LoadGeneralDaysOff();
    void LoadDaysOff(CDriver& driver) const;

    // The first driver of that code ignoring case; null.
    CDriver* FindDriver(const std::string& code) const;
    CDriver* AddNew();
    // The driver of the record's code: the listed one (isNew 0), a new one read from the record
    // (isNew 1) or null (no code, a refused duplicate, a failed read).
    CDriver* LoadDriver(CFieldRecord& record, int& isNew);
    // One use less for the driver of that name and code; true when it was his last and he is
    // gone.
    bool Release(const std::string& name, const std::string& code);
    // Every driver's copies of the general days off replaced by the current ones.
    void RefreshGeneralDaysOff();

    CDateTable generalDaysOff;
    TDaysOffSource daysOffSource;
};

// A driver's planning record in an optimisation workspace.
struct CDriverData
{
    CBoolTable slots;         // 288 five-minute slots of a day
    CSmartWordArray dayPairs; // per planning day the pair row holding the driver, 0xFFFF none
    int32_t value = -1;
};

// One record per driver, rebuilt when the optimiser builds its data and reset without
// allocating afterwards.
class CDriversData : public CSmartPtrArray<CDriverData>
{
  public:
    void ResetPlanningData(int driverCount);
    void ResetRecords();

    std::vector<uint16_t> counters; // one per driver
    int32_t value = 0;
};

// One truck coupled with one trailer; either may be absent.
class CLorry
{
  public:
    CLorry(CTruck* truck, CTrailer* trailer) : truck(truck), trailer(trailer) {}

    int32_t useCount = 0; // pairs built on it
    int32_t firstStart = kUnsetTime;
    int32_t lastStart = kUnsetTime;
    CTruck* truck;     // not owned
    CTrailer* trailer; // not owned
};

class CLorries : public CSmartPtrArray<CLorry>
{
  public:
    // The lorry of exactly these vehicles, created (raising their use counts) when new; null
    // when both are absent.
    CLorry* Add(CTruck* truck, CTrailer* trailer);
};

// The pairs sharing one lorry, by driver priority and then by row.
class CPossibleDrivers : public CSmartArray<CLorryDriver*, CLorryDriver*, 2, 0>
{
  public:
    int Compare(CLorryDriver* a, CLorryDriver* b) const override;
};

// Flag word bits of a pair.
enum PairFlag : int
{
    PAIR_DEACTIVATED = 1,
    PAIR_FROZEN = 2,
    PAIR_WAREHOUSE_REJECTED = 4,
    PAIR_WITHOUT_LORRY = 8,
};

// What the colour of a pair's line reads from its trips in the running plan.
struct TPairTripsView
{
    bool hasCopies = false;         // stops of another pair were copied in
    int32_t accumulatedMinutes = 0; // of the plan
    int32_t currentTripUnloads = 0; // of the current trip
    uint32_t stateFlags = 0;        // of the totals
};

// Transport card types, in the order the editors list them.
void FillTransportCardTypes(CSmartStringArray& names);

// A lorry with its driver: the planning unit.
class CLorryDriver
{
  public:
    CLorryDriver(CLorry* lorry, CDriver* driver) : lorry(lorry), driver(driver) {}

    // Derived fields; pack 1 builds the flag word from the booleans, 0 the booleans from it.
    void CalculateFields(int pack);
    // Word and booleans agree, then every driver is recalculated.
    void UpdateFlags(int pack);
    void SetDeactivated(bool on) { SetFlag(PAIR_DEACTIVATED, on); }
    void SetFrozen(bool on) { SetFlag(PAIR_FROZEN, on); }
    void SetWarehouseRejected(bool on) { SetFlag(PAIR_WAREHOUSE_REJECTED, on); }
    void MakeCodesUpper();
    bool IsNotLocated() const;
    // 0x02BBGGRR: the custom colour, else the palette colour of the truck's highest row.
    uint32_t GetColor() const;
    uint32_t GetStateColor(const TPairTripsView& trips, const TStateColors& colors) const;
    bool IsFreelyUsable() const;

    CTruck* GetTruck() const { return lorry ? lorry->truck : nullptr; }
    CTrailer* GetTrailer() const { return lorry ? lorry->trailer : nullptr; }
    std::string GetTruckCode() const;
    std::string GetTruckPlate() const;
    std::string GetTrailerCode() const;
    std::string GetTrailerPlate() const;
    std::string GetDriverCode() const;
    std::string GetDriverName() const;
    CTimeWindow GetDriverTimeWindow() const;

    CLorry* lorry;   // not owned; null for a driver waiting for a vehicle
    CDriver* driver; // not owned; null for a lorry waiting for a driver
    int32_t row = -1;
    int32_t deactivated = 0;
    int32_t frozen = 0;
    int32_t warehouseRejected = 0;
    TRequirementValues requirements;
    int32_t transportCardType = 0;
    int32_t cardProvince = 0;
    TLocationData cardLocation;
    float overload[3] = {0, 0, 0};
    int32_t minimumFillPercent = 0;
    int32_t detourFactor = 1000000;
    int32_t internationalCard = 1;
    int32_t localCardRadius = 50;
    float maximumDistanceWithoutDriving = -1.0f;
    int32_t exportWithFirstTrip = 0;
    CSmartStringArray informativeValues;
    int32_t customColorSet = 0;
    int32_t customColor = 0x1000000;
    int32_t fictitious = 0;
    int32_t reinforcement = 0;
    int32_t availableDays = 1;
    float costForResourceUsed = 0;
    std::string gpsId;
    int32_t noCheapest = 0;
    TGeoCoordinate realPosition;
    int32_t warehouseMask = -1;
    int32_t warehouseClass = -1;
    std::string warehouseMaskText; // the mask as a text, the identity of a warehouse class
    int32_t driverPriority = 0;
    int32_t flags = 0;
    CPossibleDrivers possibleDrivers;
    std::string resourceColor;
    int32_t resourceRgb = -1;

  private:
    void SetFlag(int bit, bool on);
};

// Which warehouses reject a pair, by warehouse index; the rejection model answers.
class CPairWarehouseRejections
{
  public:
    virtual ~CPairWarehouseRejections() = default;
    virtual int GetWarehouseCount() const = 0;
    virtual bool IsRejected(int pairRow, int warehouse) const = 0;
};

// May the driver of one pair drive the lorry of another; the resources' companion tables
// build it for the current pairs.
class CDriverVehicleMatrix
{
  public:
    virtual ~CDriverVehicleMatrix() = default;
    virtual void Build(int pairCount) = 0;
    virtual bool MayDrive(int driverRow, int lorryRow) const = 0;
};

// The one list of pairs: a pair's position is its row.
class CLorriesDrivers : public CSmartPtrArray<CLorryDriver>
{
  public:
    // The pair of that lorry and driver; created (existed 0) or found (existed 1).
    CLorryDriver* Add(CLorry* lorry, CDriver* driver, int& existed);
    CLorryDriver* Find(const CLorry* lorry, const CDriver* driver) const;
    // The row named by trailer, truck and driver texts through the fallback chain.
    int FindLorryDriver(const std::string& trailer, const std::string& truck,
                        const std::string& driverCode, int& row) const;
    void CalculateAll();
    void CalculatePossibleDrivers(CLorryDriver& pair);
    void AssignLorriesToDrivers();
    // A driverless pair whose lorry the driver of row `driverRow` may take; null.
    CLorryDriver* PickLorryForDriver(int driverRow) const;
    // The number of pairs; the distinct warehouse masks appended to `masks`.
    int BuildWarehouseMasks(CSmartStringArray& masks);

    // Ranged lookups: end -2 is the end of the list; backwards scans start down to 0.
    int FindByTrailerPlate(const std::string& text, int start, int end, bool exact) const;
    int FindByDriverCode(const std::string& text, int start, int end, bool exact,
                         bool backwards) const;
    int FindByDriverName(const std::string& text, int start, int end, bool exact,
                         bool backwards) const;
    int FindByTruckPlate(const std::string& text, int start, int end, bool exact,
                         bool backwards) const;
    // From `start` to the end, every criterion equal.
    int FindByTrailerCode(const std::string& code, int start) const;
    int FindByTruckCode(const std::string& code, int start) const;
    int FindByTrailerAndDriver(const std::string& trailer, const std::string& driver,
                               int start) const;
    int FindByTrailerPlateAndDriver(const std::string& trailer, const std::string& driver,
                                    int start) const;
    int FindByTruckAndDriver(const std::string& truck, const std::string& driver, int start) const;
    int FindByTruckPlateAndDriver(const std::string& truck, const std::string& driver,
                                  int start) const;
    int FindByTrailerAndTruck(const std::string& trailer, const std::string& truck,
                              int start) const;
    int FindByTrailerAndTruckPlates(const std::string& trailer, const std::string& truck,
                                    int start) const;
    int FindByCodes(const std::string& trailer, const std::string& truck, const std::string& driver,
                    int start) const;
    int FindByPlates(const std::string& trailer, const std::string& truck,
                     const std::string& driver, int start) const;

    float minimumCostPerDay = 0;
    int32_t minimumWorkingMinutesPerDay = 0;
    int32_t maximumAccumulatedDays = 0;
    int32_t distinctWarehouseMasks = 0;

    // Rows of the pairs without driver, ascending.
    const std::vector<int>& GetDriverlessRows() const { return m_driverlessRows; }

    // Deletes the pair at `row`; the pairs behind move up a row, their trailers and trucks
    // taking the new rows.
    void RemovePair(int row);
    // Deletes every pair.
    void RemoveAllPairs();

  private:
    template <class Field>
    int FindRanged(const std::string& text, int start, int end, bool exact, bool backwards,
                   Field field) const;
    template <class Match> int FindFrom(int start, Match match) const;

    std::vector<int> m_driverlessRows;
};

// One allowed pairing: the driver of that code may drive the trailer of that code.
struct CDriverVehicleCompatibility
{
    std::string driverCode;  // "DRIVER_CODE"
    std::string vehicleCode; // "VEHICLE_CODE", a "TRAILER_CODE"
};

// The compatibilities a resource import read, and the matrix built from them for the pairs:
// bit (column = the lorry's pair, row = the driver's pair).
class CDriverVehicleCompatibilities : public CDriverVehicleMatrix
{
  public:
    // Rebuilt over the program-wide pairs.
    void Build(int pairCount) override;
    bool MayDrive(int driverRow, int lorryRow) const override;
    // Without compatibilities a driver may drive every lorry whose truck shares his base node;
    // with them only the lorries whose trailer is listed for him, at his base node.
    void BuildDriverVehicleMatrix(const CLorriesDrivers& pairs);

    std::vector<CDriverVehicleCompatibility> records;
    CBoolTable matrix;

  private:
    int m_columns = 0;
};

// The planning engine, as the fleet's changes reach it; the engine implements it.
class CFleetEngine
{
  public:
    virtual ~CFleetEngine() = default;
    // Takes the pair row's item out of every gene and re-evaluates; whether it was there.
    virtual bool RemovePairItem(int row) = 0;
    // The workspace of the current population's first gene recreates its trips, one per pair.
    virtual void RecreateFirstWorkspaceTrips() = 0;
};

// What one resource import reads.
struct TResourcesImport
{
    // 1 the plan's ".veh" ("INT_RESOURCES"), 2 "EXT_RESOURCES", 3 the company's
    // "CUSTOMER_RESOURCES", 4 the internal database ("INT_RESOURCESDB").
    int sourceKind = 1;
    std::string file;
    trv::OleDate planningDate;
    int planningDay = 0;
    CSmartStringArray* messages = nullptr; // receives the definition's and the reader's
    bool locate = false;                   // look the depots up in the locations table
    int* removedCount = nullptr; // raised per pair removed because the import no longer lists it
    bool add = false;            // false replaces the fleet
    std::string condition;       // an extra filter
};

// The fleet: vehicles, drivers, lorries and pairs, with the drivers available for the plan.
struct CResources
{
    CResources() { driverVehicleMatrix = &compatibilities; }
    CResources(const CResources&) = delete;
    CResources& operator=(const CResources&) = delete;

    // ---- Import ---------------------------------------------------------------------------------
    // Reads the fleet from the request's source. True when the source opened and neither the
    // source nor the reader had anything to report. A replacing import empties the fleet only
    // once the filter was confirmed and the source opened: otherwise the fleet stays.
    bool GeneralImport(CFieldRecordSource& definitions, TResourcesImport& request);
    // One record: its truck, trailer and driver, their lorry and pair. False when refused.
    bool ReadResourceRecord(CFieldRecord& record, CSmartStringArray& messages,
                            const trv::OleDate& planningDate, bool locate, bool add,
                            std::vector<int>& rowsRead);
    // Removes the pair, releasing its driver, its lorry and the vehicles nobody else uses.
    void RemoveLorryDriver(CLorryDriver& pair);
    void RemoveAll();
    // Recalculates the pairs and renumbers trailers and trucks.
    void Reindex();
    // False when the planner does not want the present fleet replaced.
    bool ConfirmReplaceResources(bool ask) const;
    // A resources file to open or save (kind 1 or 3); false when none was chosen.
    bool SelectResourcesFile(int sourceKind, bool open, const std::string& fileName,
                             const std::string& defaultExtension, std::string& chosen) const;
    // The pair of these vehicles and driver, created as needed (empty objects for the editor).
    CLorryDriver* AddResource(const std::string& truckPlate, const std::string& trailerPlate,
                              const std::string& driverName);
    void LocateLorryDriver(CLorryDriver& pair);

    // ---- Companion tables
    // ------------------------------------------------------------------------ Days off for all,
    // the available drivers and their days off, the drivers per day over `days` days. `sourceKind`
    // and `resourcesFile` name the companions.
    void LoadDriverAvailability(CFieldRecordSource& definitions, int sourceKind,
                                const std::string& resourcesFile, int days,
                                const std::string& dateText, int planningDay);
    // Replaces the compatibilities by the definition's records.
    void ReadDriverVehicles(CFieldRecordSource& definitions, const std::string& definition,
                            const std::string& file, const std::string& dateText);
    // What each vehicle already carries, into its trailer's initial lines; false when the
    // definition did not open.
    bool LoadRealTimeLoadResourceData(CFieldRecordSource& definitions, int sourceKind,
                                      const std::string& file, const trv::OleDate& planningDate,
                                      int planningDay, const std::string& filter);
    // Writes the fleet to `file` and its companions; false when any of them failed.
    bool ExportResources(CFieldRecordSource& definitions, const std::string& file,
                         const trv::OleDate& planningDate, int planningDay);
    bool WriteDriverVehicles(CFieldRecordSource& definitions, const std::string& definition,
                             const std::string& file) const;
    bool WriteAvailableDrivers(CFieldRecordSource& definitions, const std::string& file) const;

    CTrucks trucks;
    CTrailers trailers;
    CDrivers drivers;
    CLorries lorries;
    CLorriesDrivers pairs;

    // Driver availability: codes in order of first appearance (only ever growing), one
    // calendar per code, and per day of the horizon the available drivers not off.
    std::vector<std::string> availableDriverCodes;
    CSmartPtrArray<CDateTable> availableDaysOff;
    std::vector<int> driversPerDay;
    CDriverVehicleCompatibilities compatibilities;

    // Services of later subsystems, not owned; null until installed.
    CDriverVehicleMatrix* driverVehicleMatrix = nullptr;
    const CPairWarehouseRejections* warehouseRejections = nullptr;
    CFleetEngine* engine = nullptr; // the document's engine; null while none exists
    // The order list's product list rebuild; the order list's derived data wires it.
    std::function<void()> rebuildProductList;
};

// The one program-wide fleet.
CResources& Resources();
// Replaces it by an empty one (tests start clean).
void ResetResources();

// What orders ask of the fleet, answered over the program-wide pairs.
class CFleetLookups : public COrderFleetLookups
{
  public:
    int GetPairCount() const override;
    int FindByDriverCode(const std::string& driverCode) const override;
    int FindLorryDriver(const std::string& trailer, const std::string& truck,
                        const std::string& driver) const override;
    bool IsSweeperTrailer(int pairRow) const override;
    bool GetPairDriver(int pairRow, std::string& driverCode, int& driverRow) const override;
    const TLocationData* GetTruckBase(int pairRow) const override;
    int GetWarehouseClass(int pairRow) const override;
    float GetTrailerFirstCapacity(int pairRow) const override;
    int GetFirstBaseNode() const override;
};

// Makes the program-wide fleet answer the orders' fleet lookups in the model context.
void InstallFleetLookups();
