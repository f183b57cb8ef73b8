#include "model/Resources.h"

#include "FleetCatalogueTest.h"
#include "KLV/Translate.h"
#include "MemoryFieldRecord.h"
#include "model/FleetNavigation.h"
#include "model/ModelContext.h"
#include "params/StateColors.h"
#include "params/TrevantorVariables.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace {

class FleetTest : public FleetCatalogueTest
{
  protected:
    CMemoryFieldRecord& Record(CMemoryFieldRecord::Row row)
    {
        record.Current() = std::move(row);
        return record;
    }

    CTruck* Truck(const std::string& plate, const std::string& code = "")
    {
        CTruck* truck = Resources().trucks.GetOrAdd(plate);
        truck->code = code;
        return truck;
    }
    CTrailer* Trailer(const std::string& plate, float capacity = 0, const std::string& code = "")
    {
        CTrailer* trailer = Resources().trailers.GetOrAdd(plate);
        trailer->capacity[0] = capacity;
        trailer->code = code;
        return trailer;
    }
    CDriver* Driver(const std::string& code, const std::string& name = "")
    {
        CDriver* driver = Resources().drivers.AddNew();
        driver->code = code;
        driver->name = name;
        return driver;
    }
    CLorryDriver* Pair(CLorry* lorry, CDriver* driver)
    {
        int existed = 0;
        return Resources().pairs.Add(lorry, driver, existed);
    }
    CLorry* Lorry(CTruck* truck, CTrailer* trailer)
    {
        return Resources().lorries.Add(truck, trailer);
    }

    CMemoryFieldRecord record;
};

// ---- Drivers ------------------------------------------------------------------------------------

TEST_F(FleetTest, DriversLoadOncePerCode)
{
    UserParameters().SiempreAñadirRecursos = 0;
    CDrivers& drivers = Resources().drivers;
    int isNew = -1;
    CDriver* first = drivers.LoadDriver(Record({{"DRIVER_CODE", "d1"},
                                                {"DRIVER_HOURLY_COST", "-5.0"},
                                                {"DRIVER_MAX_DRIVE", "0"},
                                                {"DRIVER_MAX_WORK", "0"},
                                                {"DRIVER_MAX_WORK_CON_CORTES", "0"}}),
                                        isNew);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(isNew, 1);
    EXPECT_EQ(first->hourlyCost, 0.0f);
    EXPECT_EQ(first->maximumDrivingMinutes, UserParameters().MaxDrivingTime);
    EXPECT_EQ(first->maximumWorkingMinutes, UserParameters().MaxWorkingTime);
    EXPECT_EQ(first->maximumWorkingMinutesWithCuts, UserParameters().MaxWorkingTime);

    EXPECT_EQ(drivers.LoadDriver(Record({{"DRIVER_CODE", "D1"}}), isNew), first);
    EXPECT_EQ(isNew, 0);
    EXPECT_EQ(drivers.LoadDriver(Record({{"DRIVER_CODE", ""}}), isNew), nullptr);
    EXPECT_EQ(drivers.GetSize(), 1);

    trv::RecordingUserPrompt prompt;
    UserParameters().SiempreAñadirRecursos = 1;
    EXPECT_EQ(drivers.LoadDriver(Record({{"DRIVER_CODE", "D1"}}), isNew), nullptr);
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "ErrorDriverDuplicate");
    UserParameters().PermitirVehiculosSinConductor = 1;
    EXPECT_EQ(drivers.LoadDriver(Record({{"DRIVER_CODE", "D1"}}), isNew), first);
}

TEST_F(FleetTest, DriverWindowsAndLunch)
{
    const CUserParameters& parameters = UserParameters();
    struct Case
    {
        CTimeWindow window;
        CTimeWindow expected;
    } windows[] = {
        {{0, 0}, {parameters.WTFrom, parameters.WTTo}},
        {{}, {parameters.WTFrom, parameters.WTTo}},
        {{0, 600}, {0, 600}},
    };
    for (const Case& c : windows) {
        CDriver driver;
        driver.workingWindow = c.window;
        driver.CalculateFields(-1);
        EXPECT_EQ(driver.workingWindow.start, c.expected.start);
        EXPECT_EQ(driver.workingWindow.end, c.expected.end);
    }
    for (auto [lunchEnd, kept] : {std::pair{480, false}, std::pair{481, true}}) {
        CDriver driver;
        driver.workingWindow = {480, 1020};
        driver.lunchWindow = {420, lunchEnd};
        driver.lunchMinutes = 30;
        driver.CalculateFields(-1);
        EXPECT_EQ(!driver.lunchWindow.IsUnset(), kept) << lunchEnd;
        EXPECT_EQ(driver.lunchMinutes, kept ? 30 : 0);
    }
}

TEST_F(FleetTest, RealTimeStartMovesTheWorkingStartToNow)
{
    UserParameters().ComenzarPlanificacionConHoraReal = 1;
    ModelContext().planningDate = trv::OleDate(2026, 3, 9);
    for (auto [hour, minute, start] : {std::tuple{10, 20, 620}, std::tuple{9, 40, 540}}) {
        ModelContext().clock = [hour, minute] { return TClockReading{2026, 3, 9, hour, minute}; };
        CDriver driver;
        driver.workingWindow = {540, 1020};
        driver.CalculateFields(0);
        EXPECT_EQ(driver.workingWindow.start, start);
        EXPECT_EQ(driver.workingWindow.end, 1020);
    }
}

TEST_F(FleetTest, GeneralDaysOffAreReplacedAndDriversReleasedWithTheirLastPair)
{
    CDrivers& drivers = Resources().drivers;
    CDriver* driver = Driver("D1", "Ana");
    driver->daysOff.AddWindow(trv::OleDate(2026, 3, 2), trv::OleDate(2026, 3, 3), "own", "D1", 0);
    drivers.generalDaysOff.AddWindow(trv::OleDate(2026, 3, 10), trv::OleDate(2026, 3, 11), "all",
                                     "", 1);
    drivers.RefreshGeneralDaysOff();
    drivers.RefreshGeneralDaysOff();
    ASSERT_EQ(driver->daysOff.GetSize(), 2);
    int general = 0;
    for (const CDateWindow* window : driver->daysOff)
        general += window->generalMark ? 1 : 0;
    EXPECT_EQ(general, 1);

    driver->useCount = 2;
    EXPECT_FALSE(drivers.Release("ana", "d1"));
    EXPECT_EQ(driver->useCount, 1);
    EXPECT_TRUE(drivers.Release("ANA", "D1"));
    EXPECT_EQ(drivers.GetSize(), 0);
}

// Notes which days-off tables are asked for; none opens.
class DaysOffTables : public CFieldRecordSource
{
  public:
    std::unique_ptr<CFieldRecord> Open(const std::string& definition,
                                       const TFieldRecordOpen& how) override
    {
        opened.push_back(definition + " " + how.file + " " + how.filter);
        return nullptr;
    }
    std::vector<std::string> opened;
};

TEST_F(FleetTest, DaysOffComeFromTheResourcesCompanionFiles)
{
    DaysOffTables tables;
    CDrivers& drivers = Resources().drivers;
    drivers.daysOffSource = {&tables, 1, "/plans/X.veh"};
    int isNew = 0;
    drivers.LoadGeneralDaysOff();
    drivers.LoadDriver(Record({{"DRIVER_CODE", "D1"}}), isNew);
    EXPECT_TRUE(tables.opened.empty()); // days off are off by default

    UserParameters().SchedulingTime = 1;
    UserParameters().DayOff = 1;
    drivers.LoadGeneralDaysOff();
    drivers.LoadDriver(Record({{"DRIVER_CODE", "D2"}}), isNew);
    EXPECT_EQ(tables.opened, (std::vector<std::string>{
                                 "INT_DAYOFF_ALL /plans/X.fstall ",
                                 "INT_DAYOFF_DRIVER /plans/X.fst OFF_DAY_CODE=\"D2\"",
                             }));
}

TEST_F(FleetTest, DaysOffFiltersAndCompanionNames)
{
    struct Case
    {
        const char* format;
        const char* filter;
    } cases[] = {
        {"", "OFF_DAY_CODE=\"O'B\"\"\""},
        {"NAME=1", "OFF_DAY_CODE=\"O'B\"\"\""},
        {"A='OFF_DAY_CODE' OR B=OFF_DAY_CODE", "A='O''B\"' OR B=\"O'B\"\"\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriverDaysOffFilter(c.format, "O'B\""), c.filter) << c.format;
    EXPECT_EQ(FleetCompanionFile("a/X.veh", ".fst"), "a/X.fst");
    EXPECT_EQ(FleetCompanionFile("a/X.VEH", ".adri"), "a/X.adri");
    EXPECT_EQ(FleetCompanionFile("a/X.txt", ".fst"), "a/X.txt.fst");
}

TEST_F(FleetTest, PlanningRecordsResetWithoutGrowing)
{
    UserParameters().AvailableDays = 3;
    CDriversData data;
    data.ResetPlanningData(2);
    ASSERT_EQ(data.GetSize(), 2);
    data[1]->dayPairs[2] = 7;
    data[1]->value = 4;
    const unsigned short* block = data[1]->dayPairs.begin();
    data.ResetRecords();
    EXPECT_EQ(data[1]->dayPairs.begin(), block);
    EXPECT_EQ(data[1]->dayPairs[2], 0xFFFF);
    EXPECT_EQ(data[1]->value, -1);
    EXPECT_EQ(data.counters.size(), 2u);
}

// ---- Lorries and pairs --------------------------------------------------------------------------

TEST_F(FleetTest, LorriesAreSharedByTheirVehicles)
{
    CTruck* truck = Truck("T1");
    CTrailer* trailer = Trailer("R1");
    CLorry* lorry = Lorry(truck, trailer);
    EXPECT_EQ(Lorry(truck, trailer), lorry);
    EXPECT_EQ(truck->useCount, 1);
    EXPECT_EQ(trailer->useCount, 1);
    CLorry* truckOnly = Lorry(truck, nullptr);
    EXPECT_NE(truckOnly, lorry);
    EXPECT_EQ(truck->useCount, 2);
    EXPECT_EQ(Lorry(nullptr, nullptr), nullptr);
    EXPECT_EQ(Resources().lorries.GetSize(), 2);
}

TEST_F(FleetTest, FlagWordPacksTheBooleansAndTheMissingLorry)
{
    CLorryDriver* driverOnly = Pair(nullptr, Driver("D1"));
    EXPECT_EQ(driverOnly->flags, PAIR_WITHOUT_LORRY);
    CLorryDriver* pair = Pair(Lorry(Truck("T1"), nullptr), Driver("D2"));
    pair->frozen = 1;
    pair->UpdateFlags(1);
    EXPECT_EQ(pair->flags, PAIR_FROZEN);
    pair->flags = PAIR_DEACTIVATED | PAIR_WITHOUT_LORRY;
    pair->UpdateFlags(0);
    EXPECT_EQ(pair->flags, PAIR_DEACTIVATED | PAIR_WITHOUT_LORRY);
    EXPECT_EQ(pair->deactivated, 1);
    EXPECT_EQ(pair->frozen, 0);

    // Clearing a clear flag still recalculates every driver.
    driverOnly->driver->maximumDrivingMinutes = 0;
    pair->SetFrozen(false);
    EXPECT_EQ(driverOnly->driver->maximumDrivingMinutes, UserParameters().MaxDrivingTime);
}

TEST_F(FleetTest, PairCalculation)
{
    UserParameters().MaxDstNoDrive = 12.5f;
    CTruck* truck = Truck("T1");
    truck->base.code = "DEPOT";
    truck->base.city = "SORIA";
    truck->ability = 0;
    CDriver* withoutBase = Driver("D1");
    withoutBase->equalWorkTable = -1;
    CLorryDriver* pair = Pair(Lorry(truck, nullptr), withoutBase);
    EXPECT_EQ(withoutBase->base.city, "SORIA");
    EXPECT_EQ(withoutBase->equalWorkTable, 5);
    EXPECT_EQ(pair->maximumDistanceWithoutDriving, 12.5f);
    EXPECT_EQ(truck->ability, 1.0f);

    CDriver* fictitious = Driver("D2");
    fictitious->equalWorkTable = -1;
    fictitious->base.code = "OWN";
    CLorryDriver* other = Pair(nullptr, fictitious);
    other->fictitious = 1;
    fictitious->equalWorkTable = -1;
    other->maximumDistanceWithoutDriving = 0;
    other->CalculateFields(1);
    EXPECT_EQ(fictitious->equalWorkTable, 0);
    EXPECT_EQ(fictitious->base.code, "OWN");
    EXPECT_EQ(other->maximumDistanceWithoutDriving, 0.0f);
    EXPECT_EQ(other->GetTruckPlate(), "");
    EXPECT_EQ(other->GetTrailerCode(), "");
}

TEST_F(FleetTest, Colours)
{
    CTruck* truck = Truck("T1");
    CLorryDriver* pair = Pair(Lorry(truck, nullptr), Driver("D1"));
    truck->highestRow = 47;
    EXPECT_EQ(pair->GetColor(), 0x0200FF00u);
    pair->customColor = 0x123456;
    pair->CalculateFields(1);
    EXPECT_EQ(pair->GetColor(), 0x02123456u);

    TStateColors colors;
    for (int i = 0; i < kStateColorCount; ++i)
        colors.colors[static_cast<size_t>(i)] = static_cast<uint32_t>(i + 1);
    auto colorOf = [&](const char* key) {
        for (int i = 0; i < kStateColorCount; ++i)
            if (const char* name = TStateColors::KeyOf(i); name && std::string(name) == key)
                return static_cast<uint32_t>(i + 1);
        return 0u;
    };
    truck->base.coordinates.longitude = truck->endBase.coordinates.longitude = -3;
    truck->base.coordinates.latitude = truck->endBase.coordinates.latitude = 40;
    struct Case
    {
        TPairTripsView trips;
        int flags;
        const char* key;
    } cases[] = {
        {{true, 0, 0, 0x1}, PAIR_FROZEN, "ClonEscoba"},
        {{false, 0, 0, 0x1}, PAIR_FROZEN, "NonWorkingVehicles"},
        {{false, 5, 0, 0x1}, PAIR_FROZEN, "Frozen"},
        {{false, 5, 0, 0x201}, 0, "IncompatibilidadImposible"},
        {{false, 5, 0, 0x41}, 0, "BadAssigned"},
        {{false, 5, 0, 0x3}, 0, "Late"},
        {{false, 5, 0, 0x10}, 0, "Underload"},
        {{false, 5, 0, 0}, PAIR_DEACTIVATED, "Deactivated"},
        {{false, 0, 0, 0}, PAIR_DEACTIVATED, "Deactivated"},
        {{false, 5, 0, 0}, 0, "Normal"},
    };
    for (const Case& c : cases) {
        pair->flags = c.flags;
        EXPECT_EQ(pair->GetStateColor(c.trips, colors), colorOf(c.key)) << c.key;
    }
    truck->endBase.coordinates.latitude = 12345678.0;
    pair->flags = 0;
    EXPECT_EQ(pair->GetStateColor({false, 5, 0, 0x1}, colors), colorOf("NotLocated"));
}

TEST_F(FleetTest, CatalogueReachesThePairsVehiclesAndDriver)
{
    CTruck* truck = Truck("T1");
    CDriver* driver = Driver("D1");
    CLorryDriver* pair = Pair(Lorry(truck, nullptr), driver);
    CModelNavigation navigation;
    EXPECT_EQ(navigation.GetPairTruck(*pair).Get<CTruck>(), truck);
    EXPECT_TRUE(navigation.GetPairTrailer(*pair).IsNull());
    EXPECT_EQ(navigation.GetPairDriver(*pair).Get<CDriver>(), driver);
    EXPECT_TRUE(navigation.GetPairDriver(*truck).IsNull());
}

// ---- The pair list ------------------------------------------------------------------------------

TEST_F(FleetTest, AddingAPairTwiceFindsIt)
{
    CLorry* lorry = Lorry(Truck("T1"), nullptr);
    CDriver* driver = Driver("D1");
    int existed = -1;
    CLorryDriver* pair = Resources().pairs.Add(lorry, driver, existed);
    EXPECT_EQ(existed, 0);
    EXPECT_EQ(Resources().pairs.Add(lorry, driver, existed), pair);
    EXPECT_EQ(existed, 1);
    EXPECT_EQ(lorry->useCount, 1);
    EXPECT_EQ(driver->useCount, 1);
    EXPECT_EQ(pair->row, 0);
}

TEST_F(FleetTest, FindLorryDriverFallsBackInOrder)
{
    // Row 0: driver only. Row 1: trailer R1 and truck T1 with driver D2.
    Pair(nullptr, Driver("D1"));
    Pair(Lorry(Truck("T1", "TC1"), Trailer("R1", 0, "RC1")), Driver("D2"));
    CLorriesDrivers& pairs = Resources().pairs;
    int row = -5;
    EXPECT_EQ(pairs.FindLorryDriver("", "", "D1", row), 0);
    EXPECT_EQ(row, 0);
    // Without a primary row the chain's last result is the answer: trailer code, then plate.
    Pair(nullptr, Driver("RC1"));
    EXPECT_EQ(pairs.FindLorryDriver("RC1", "", "", row), 1);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(pairs.FindLorryDriver("R1", "", "", row), 1);
    EXPECT_EQ(row, 1);
    // A driver-only primary row is the answer; the steps that need vehicle texts are skipped.
    Pair(Lorry(nullptr, Trailer("R9")), nullptr);
    EXPECT_EQ(pairs.FindLorryDriver("", "", "RC1", row), 2);
    EXPECT_EQ(row, 2);

    CFleetLookups lookups;
    InstallFleetLookups();
    EXPECT_EQ(ModelContext().fleet->GetPairCount(), 4);
    EXPECT_EQ(lookups.FindByDriverCode("d2"), 1);
    EXPECT_EQ(lookups.FindLorryDriver("RC1", "TC1", "D2"), 1);
    std::string code;
    int driverRow = 0;
    EXPECT_FALSE(lookups.GetPairDriver(3, code, driverRow));
}

TEST_F(FleetTest, RangedLookups)
{
    for (int i = 0; i < 8; ++i)
        Pair(nullptr, Driver("D" + std::to_string(i), i == 2 ? "Luis Gil" : "Ana"));
    const CLorriesDrivers& pairs = Resources().pairs;
    EXPECT_EQ(pairs.FindByDriverName("luis", 5, -2, false, true), 2);
    EXPECT_EQ(pairs.FindByDriverName("luis", 5, -2, false, false), -1);
    EXPECT_EQ(pairs.FindByDriverName("ana", 5, 3, true, true), -1);
    EXPECT_EQ(pairs.FindByDriverName("ana", 8, -2, true, false), -1);
    EXPECT_EQ(pairs.FindByDriverName("LUIS GIL", 0, 3, true, false), 2);
}

TEST_F(FleetTest, DriversSharingALorryListEachOtherAndCutTheirWindows)
{
    CLorry* lorry = Lorry(Truck("T1"), nullptr);
    struct
    {
        int priority;
        CTimeWindow window;
    } drivers[] = {{1, {360, 1200}}, {0, {900, 1300}}, {1, {1300, 1400}}};
    for (const auto& d : drivers) {
        CDriver* driver = Driver("D" + std::to_string(d.priority) + std::to_string(d.window.start));
        driver->workingWindow = d.window;
        driver->maximumWorkingMinutes = 480;
        Pair(lorry, driver)->driverPriority = d.priority;
    }
    CLorriesDrivers& pairs = Resources().pairs;
    pairs.CalculateAll();
    for (const CLorryDriver* pair : pairs) {
        ASSERT_EQ(pair->possibleDrivers.GetSize(), 3);
        EXPECT_EQ(pair->possibleDrivers[0]->row, 1);
        EXPECT_EQ(pair->possibleDrivers[1]->row, 0);
        EXPECT_EQ(pair->possibleDrivers[2]->row, 2);
    }
    // 360 + 480 is before 900: the first driver stops where the second starts. 900 + 480 is
    // not before 1300, so the second keeps his end.
    EXPECT_EQ(pairs[0]->driver->workingWindow.end, 900);
    EXPECT_EQ(pairs[1]->driver->workingWindow.end, 1300);
    EXPECT_EQ(lorry->firstStart, 360);
    EXPECT_EQ(lorry->lastStart, 1300);
}

class AllowAll : public CDriverVehicleMatrix
{
  public:
    void Build(int) override {}
    bool MayDrive(int, int) const override { return true; }
};

TEST_F(FleetTest, ADriverWithoutLorryTakesTheLargestFreeOne)
{
    AllowAll matrix;
    Resources().driverVehicleMatrix = &matrix;
    Pair(Lorry(Truck("T0"), Trailer("R0", 20000)), nullptr);
    CLorry* large = Lorry(Truck("T1"), Trailer("R1", 30000));
    Pair(large, nullptr);
    Pair(Lorry(Truck("T2"), Trailer("R2", 30000)), nullptr);
    CLorryDriver* waiting = Pair(nullptr, Driver("D1"));
    Resources().pairs.CalculateAll();
    EXPECT_EQ(waiting->lorry, large);
    EXPECT_EQ(large->useCount, 2);

    // Only the random fallback is left: the same seed picks the same lorry.
    auto pick = [&] {
        ModelContext().random.seed(314);
        return Resources().pairs.PickLorryForDriver(0);
    };
    const CLorryDriver* first = pick();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pick(), first);
}

class RejectByRow : public CPairWarehouseRejections
{
  public:
    int GetWarehouseCount() const override { return 33; }
    // Pair 0 is rejected by warehouse 0, pair 1 by warehouse 32.
    bool IsRejected(int pairRow, int warehouse) const override
    {
        return warehouse == (pairRow == 0 ? 0 : 32);
    }
};

TEST_F(FleetTest, WarehouseMasksOfMoreThan32WarehousesStayApart)
{
    RejectByRow rejections;
    Resources().warehouseRejections = &rejections;
    Pair(nullptr, Driver("D1"));
    Pair(nullptr, Driver("D2"));
    CSmartStringArray masks;
    EXPECT_EQ(Resources().pairs.BuildWarehouseMasks(masks), 2);
    EXPECT_EQ(masks.GetSize(), 2);
    EXPECT_EQ(Resources().pairs.distinctWarehouseMasks, 2);
    EXPECT_EQ(Resources().pairs[1]->warehouseClass, 1);
}

TEST_F(FleetTest, TransportCardTypes)
{
    CSmartStringArray names;
    FillTransportCardTypes(names);
    ASSERT_EQ(names.GetSize(), 3);
    EXPECT_EQ(names[1], Translate("Comarcal"));
}

} // namespace
