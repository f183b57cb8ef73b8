// Trucks, trailers, drivers and lorry-driver pairs through their key sets: bounds of the times,
// the fields the parameters make required, defaults taken at building, and a resource file
// read back.

#include "KeySetFileTest.h"
#include "model/Resources.h"
#include "model/Trailer.h"
#include "params/Parameters.h"

namespace {

class FleetKeySetsTest : public KeySetFileTest
{
  protected:
    // Reads one record of `text` through the definition "FLEET" into the entity with the key
    // set of `slot`; the definition's required-field messages go to `required`.
    template <class Entity>
    void ReadOne(int slot, const std::string& text, Entity& entity,
                 std::vector<std::string>* required = nullptr)
    {
        program.Write("fleet.txt", text);
        CFetch fetch;
        ASSERT_TRUE(fetch.Init("FLEET", "", "", FETCH_MODE_READ, program.File("fleet.txt"), "", "",
                               1, nullptr, "", program.File("Data.ini")));
        CFetchFieldRecord record(fetch);
        ASSERT_TRUE(record.MoveNext());
        EXPECT_EQ(TrevantorVariables().GetKeySet(slot).ReadFromFetch(entity, record, 0, nullptr),
                  1);
        if (required)
            required->assign(fetch.m_arrRequiredMessages.begin(),
                             fetch.m_arrRequiredMessages.end());
    }

    static constexpr const char* kFleet =
        "[FLEET_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\n[FLEET]\nDRIVER_START=1\nDRIVER_END=2\n"
        "DRIVER_LUNCH_START_TIME=3\nDRIVER_MAX_DRIVE=4\nDRIVER_MAX_WORK=5\n"
        "DRIVER_MAX_WORK_CON_CORTES=6\nDRIVER_BREAKFAST_TIME=7\n"
        "DRIVER_ACUMULATED_WORKING_TIME=8\nDRIVER_CODE=9\nTRUCK_PLATE=10\nTRUCK_BASE_CODE=11\n"
        "SPEED_LEVEL_ID=12\nRESOURCE_INDEX=13\nTRANSPORT_CARD_TYPE=14\n";
};

TEST_F(FleetKeySetsTest, TimesStayWithinTheirBounds)
{
    definitions = kFleet;
    Build("");
    CDriver driver;
    ReadOne(KEYS_DRIVER, "50:00;50:00;-30:00;25:00;25:00;25:00;24:30;100:00;D1\n", driver);
    struct Case
    {
        const char* name;
        int32_t value;
        int32_t expected;
    } cases[] = {
        {"DRIVER_START", driver.workingWindow.start, 2879},
        {"DRIVER_END", driver.workingWindow.end, 2880},
        {"DRIVER_LUNCH_START_TIME", driver.lunchWindow.start, -1440},
        {"DRIVER_MAX_DRIVE", driver.maximumDrivingMinutes, 1439},
        {"DRIVER_MAX_WORK", driver.maximumWorkingMinutes, 1439},
        {"DRIVER_MAX_WORK_CON_CORTES", driver.maximumWorkingMinutesWithCuts, 1439},
        {"DRIVER_BREAKFAST_TIME", driver.breakfastTime, 1439},
        // Bounded only from below.
        {"DRIVER_ACUMULATED_WORKING_TIME", driver.accumulatedWorkingMinutes, 6000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, c.expected) << c.name;

    // An empty speed class is the normal one; a class beyond the range is the last one.
    SetTranslation("DBD_NORMAL", "Normal speed");
    Build("");
    CTruck truck;
    truck.speedLevel = 0;
    ReadOne(KEYS_TRUCK, ";;;;;;;;;T1;B1;\n", truck);
    EXPECT_EQ(truck.speedLevel, 2);
    const CTrevantorVariablesKeys& truckKeys = TrevantorVariables().GetKeySet(KEYS_TRUCK);
    int numeric = 0;
    EXPECT_EQ(truckKeys.FormatValue(truckKeys.FindVariable("SPEED_LEVEL_ID"), truck, numeric),
              "Normal speed");
    ReadOne(KEYS_TRUCK, ";;;;;;;;;T1;B1;9\n", truck);
    EXPECT_EQ(truck.speedLevel, 4);
}

// Without vehicles lacking a driver, a truck needs its base and a driver its code.
TEST_F(FleetKeySetsTest, VehiclesWithoutDriverDecideTheRequiredFields)
{
    definitions = kFleet;
    for (const int allowed : {0, 1}) {
        SCOPED_TRACE(allowed);
        UserParameters().PermitirVehiculosSinConductor = allowed;
        Build("");
        std::vector<std::string> required;
        CTruck truck;
        ReadOne(KEYS_TRUCK, ";;;;;;;;;T1;;\n", truck, &required);
        EXPECT_EQ(required.size(), allowed ? 0u : 2u);
        CDriver driver;
        ReadOne(KEYS_DRIVER, "08:00;18:00;;;;;;;\n", driver, &required);
        EXPECT_EQ(required.size(), allowed ? 0u : 2u);
        const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(KEYS_DRIVER);
        EXPECT_EQ(keys.GetVariable(keys.FindVariable("DRIVER_CODE"))->usageMask, allowed ? 7 : 39);
    }
}

TEST_F(FleetKeySetsTest, PairsWriteTheirRowAndReadTheirCardType)
{
    definitions = kFleet;
    UserParameters().CostForResourceUsed = 5;
    Build("");
    UserParameters().CostForResourceUsed = 9; // too late for the key set
    CLorryDriver pair(nullptr, nullptr);
    pair.row = 3;
    ReadOne(KEYS_RESOURCE, ";;;;;;;;;;;;7;2\n", pair);
    EXPECT_EQ(pair.row, 3);
    EXPECT_EQ(pair.transportCardType, 2);
    const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(KEYS_RESOURCE);
    EXPECT_EQ(std::get<float>(
                  keys.GetVariable(keys.FindVariable("COST_FOR_RESOURCE_USED"))->defaultValue),
              5.0f);
    CMemoryFieldRecord written;
    ASSERT_TRUE(TrevantorVariables().WriteEntity(ENTITY_RESOURCE, pair, written, 0));
    EXPECT_EQ(written.Current()["RESOURCE_INDEX"], "3");
}

// A truck whose end base lies at latitude 40 and longitude -3, a trailer with three tanks and a
// load, a driver and a pair with a local transport card, each written, read and written again.
TEST_F(FleetKeySetsTest, AResourceFileReadBackGivesTheSameFields)
{
    CListaCondicionantes& requirements = Requirements();
    DefineColumns("TRUCKS", {KEYS_TRUCK});
    DefineColumns("DRIVERS", {KEYS_DRIVER});
    DefineColumns("PAIRS", {KEYS_RESOURCE}, &requirements);
    Build("");
    InstallRequirements(requirements);

    CTruck truck;
    truck.plate = "1234ABC";
    truck.base.code = "B1";
    truck.endBase.code = "E1";
    truck.endBase.coordinates.latitude = 40.0;
    truck.endBase.coordinates.longitude = -3.0;
    CTruck readTruck;
    const auto [truckFirst, truckSecond] = RoundTrip("TRUCKS", ENTITY_TRUCK, truck, readTruck);
    EXPECT_EQ(truckSecond, truckFirst);
    EXPECT_EQ(Column("TRUCKS", truckFirst, "TRUCK_END_BASE_LATITUDE").substr(0, 3), "40.");
    EXPECT_EQ(readTruck.endBase.coordinates.latitude, 40.0);

    CTrailer trailer;
    trailer.plate = "R1";
    CMemoryFieldRecord tanks;
    tanks.Current() = {{"TRAILER_PLATE", "R1"},
                       {"TANKS", "1000|2000|3000"},
                       {"TANKS_IDS", "0|1|2"},
                       {"PRODUCTS_LOADED", "A"},
                       {"QUANTITIES_LOADED", "900"}};
    ASSERT_TRUE(TrevantorVariables().ReadEntity(ENTITY_TRAILER, trailer, tanks, 0, nullptr));
    ASSERT_EQ(trailer.tanks.GetSize(), 3);
    // The tanks' lists go through a record: a separated file needs the resource definitions'
    // own list settings.
    CMemoryFieldRecord written;
    ASSERT_TRUE(TrevantorVariables().WriteEntity(ENTITY_TRAILER, trailer, written, 0));
    CTrailer readTrailer;
    ASSERT_TRUE(TrevantorVariables().ReadEntity(ENTITY_TRAILER, readTrailer, written, 0, nullptr));
    CMemoryFieldRecord again;
    ASSERT_TRUE(TrevantorVariables().WriteEntity(ENTITY_TRAILER, readTrailer, again, 0));
    EXPECT_EQ(again.Current(), written.Current());
    EXPECT_EQ(readTrailer.tanks.GetSize(), 3);

    CDriver driver;
    driver.code = "D1";
    driver.workingWindow = CTimeWindow(480, 1080);
    driver.lunchWindow = CTimeWindow(780, 840);
    CDriver readDriver;
    const auto [driverFirst, driverSecond] =
        RoundTrip("DRIVERS", ENTITY_DRIVER, driver, readDriver);
    EXPECT_EQ(driverSecond, driverFirst);
    EXPECT_EQ(readDriver.lunchWindow, CTimeWindow(780, 840));

    CLorryDriver pair(nullptr, nullptr);
    pair.transportCardType = 2;
    pair.cardLocation.code = "L9";
    pair.requirements.Init(requirements.GetSize());
    pair.requirements.SetValue(1, 4);
    CLorryDriver readPair(nullptr, nullptr);
    readPair.requirements.Init(requirements.GetSize());
    const auto [pairFirst, pairSecond] = RoundTrip("PAIRS", ENTITY_RESOURCE, pair, readPair);
    EXPECT_EQ(pairSecond, pairFirst);
    EXPECT_EQ(readPair.transportCardType, 2);
    EXPECT_EQ(readPair.requirements.GetInt(1), 4);
}

} // namespace
