#include "model/Trailer.h"

#include "CleanModelTest.h"
#include "KLV/CriticalSection.h"
#include "MemoryFieldRecord.h"
#include "model/EnginePause.h"
#include "model/ModelContext.h"
#include "model/VariableBuilders.h"
#include "params/TrevantorVariables.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

namespace {

// Counts the pause the model takes; it pauses only while it runs and is not paused.
class CountingEngine : public IStepLockEngine
{
  public:
    void EnterGenerationStep() override {}
    void LeaveGenerationStep() override {}
    void SetPopulationStopFlags(int) override {}
    bool EntraPausa() override
    {
        std::lock_guard lock(mutex);
        if (!running || paused)
            return false;
        ++counter;
        ++pauses;
        return true;
    }
    void SalePausa(bool taken) override
    {
        std::lock_guard lock(mutex);
        if (taken)
            --counter;
    }

    std::mutex mutex;
    bool running = true;
    bool paused = false;
    int counter = 0;
    int pauses = 0;
};

// Answers speed levels and notes the engine's pause counter while it is asked.
class SpeedLevels : public CModelDistances
{
  public:
    bool MatricesExist() const override { return true; }
    bool GetKmAndMinutes(int, int, float&, int&) const override { return false; }
    int FindSpeedLevel(int speedLevelId) const override
    {
        counterSeen = engine ? engine->counter : -1;
        return speedLevelId == 3 ? 0 : -1;
    }
    CountingEngine* engine = nullptr;
    mutable int counterSeen = -1;
};

class VehiclesTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
    }
    void TearDown() override
    {
        trv::SetCurrentStepEngine(nullptr);
        ResetTrevantorVariables();
        CleanModelTest::TearDown();
    }

    CMemoryFieldRecord& Record(CMemoryFieldRecord::Row row)
    {
        record.Current() = std::move(row);
        return record;
    }

    CMemoryFieldRecord record;
};

TEST_F(VehiclesTest, TrucksLoadOncePerPlate)
{
    CTrucks trucks;
    bool isNew = false;
    CTruck* first = trucks.LoadTruck(Record({{"TRUCK_PLATE", "ab12"},
                                             {"TRUCK_CODE", "t1"},
                                             {"TRUCK_BASE_CODE", "B1"},
                                             {"TRUCK_BASE_CITY", "Soria"},
                                             {"TRUCK_KM_COST", "-3"}}),
                                     isNew);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(first->code, "t1");
    EXPECT_EQ(first->kmCost, 0.0f);
    EXPECT_EQ(first->endBase.code, "B1");
    EXPECT_EQ(first->endBase.city, "Soria");

    // The same plate in other letters: the listed truck, the record's values ignored.
    CTruck* again = trucks.LoadTruck(
        Record({{"TRUCK_PLATE", "AB12"}, {"TRUCK_CODE", "other"}, {"TRUCK_BASE_CODE", "B2"}}),
        isNew);
    EXPECT_EQ(again, first);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(first->code, "t1");
    EXPECT_EQ(trucks.GetSize(), 1);

    EXPECT_EQ(trucks.LoadTruck(Record({{"TRUCK_PLATE", "NOBASE"}}), isNew), nullptr);
    EXPECT_EQ(trucks.LoadTruck(Record({{"TRUCK_CODE", "noplate"}}), isNew), nullptr);
    EXPECT_EQ(trucks.GetSize(), 1);
    EXPECT_EQ(trucks.FindIndexByPlate("Ab12"), 0);
}

TEST_F(VehiclesTest, KeySetsBindEveryRowAndCoordinatesByName)
{
    EXPECT_EQ(TrevantorVariables().GetKeySet(KEYS_TRUCK).GetSize(), 44);
    EXPECT_EQ(TrevantorVariables().GetKeySet(KEYS_TRAILER).GetSize(), 52);
    CTrucks trucks;
    bool isNew = false;
    CTruck* truck = trucks.LoadTruck(Record({{"TRUCK_PLATE", "P"},
                                             {"TRUCK_BASE_CODE", "B"},
                                             {"TRUCK_END_BASE_CODE", "E"},
                                             {"TRUCK_END_BASE_LATITUDE", "40"},
                                             {"TRUCK_END_BASE_LONGITUDE", "-3"}}),
                                     isNew);
    ASSERT_NE(truck, nullptr);
    EXPECT_EQ(truck->endBase.coordinates.latitude, 40.0);
    EXPECT_EQ(truck->endBase.coordinates.longitude, -3.0);
    EXPECT_EQ(truck->mustRest, 1);
    EXPECT_EQ(truck->ability, 1.0f);
    EXPECT_EQ(truck->speedLevel, 2);
}

TEST_F(VehiclesTest, TrailersReadTheirTanksAndRefuseTooMany)
{
    trv::RecordingUserPrompt prompt;
    CTrailers trailers;
    bool isNew = false;
    CTrailer* trailer = trailers.LoadTrailer(Record({{"TRAILER_PLATE", "R1"},
                                                     {"TRAILER_IN_BULK", "1"},
                                                     {"TANKS", "5000|3000"},
                                                     {"PRODUCTS_LOADED", "A|B"},
                                                     {"QUANTITIES_LOADED", "5000|3000"}}),
                                             isNew);
    ASSERT_NE(trailer, nullptr);
    EXPECT_EQ(trailer->tanks.GetSize(), 2);
    EXPECT_EQ(trailer->tanksCapacitiesText, " 3000.00 | 5000.00  ");
    EXPECT_EQ(trailer->capacity[1], 8000.0f);
    EXPECT_EQ(trailer->tanks.GetInitialText(), "5000 (A), 3000 (B)");
    EXPECT_EQ(trailer->realLoad, 1);
    // Defaults of the key set and of the derivation without a pair.
    EXPECT_EQ(trailer->hoseCount, 2);
    EXPECT_EQ(trailer->alternativeResourceType, 0);
    EXPECT_EQ(trailer->overloadedCapacity[1], 8000.0f);

    std::string seventeen = "100";
    for (int i = 1; i < 17; ++i)
        seventeen += "|100";
    EXPECT_EQ(trailers.LoadTrailer(Record({{"TRAILER_PLATE", "R17"}, {"TANKS", seventeen}}), isNew),
              nullptr);
    EXPECT_EQ(trailers.GetSize(), 1);
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "TooManyTanks");
    EXPECT_NE(prompt.calls[0].text.find("R17"), std::string::npos);
    EXPECT_NE(prompt.calls[0].text.find("17"), std::string::npos);
}

TEST_F(VehiclesTest, ReleaseOnlyDeletesWithTheLastUser)
{
    CTrailers trailers;
    trailers.GetOrAdd("X")->useCount = 2;
    trailers.GetOrAdd("Y");
    EXPECT_EQ(trailers.GetOrAdd("x"), trailers[0]);
    EXPECT_FALSE(trailers.ReleaseByPlate("X"));
    EXPECT_EQ(trailers[0]->useCount, 1);
    EXPECT_TRUE(trailers.Release(0));
    EXPECT_EQ(trailers.GetSize(), 1);
    EXPECT_EQ(trailers[0]->plate, "Y");
    EXPECT_FALSE(trailers.Release(4));
    EXPECT_FALSE(trailers.ReleaseByPlate("none"));
}

TEST_F(VehiclesTest, WarehouseFollowsTheBaseWhenItNamesIt)
{
    CTruck truck;
    truck.base.code = "B1";
    truck.base.city = "Soria";
    truck.warehouse.code = "B1";
    truck.ResolveSpeedAndWarehouse();
    EXPECT_EQ(truck.warehouse.city, "Soria");
    EXPECT_EQ(truck.speedLevelIndex, -1); // no matrices

    truck.warehouse.code = "W9";
    truck.warehouse.city = "Teruel";
    truck.ResolveSpeedAndWarehouse();
    EXPECT_EQ(truck.warehouse.city, "Teruel");
}

TEST_F(VehiclesTest, TrailerDerivation)
{
    CModelContext& context = ModelContext();
    context.lastUnloadGroups.FindOrAdd("GAS");
    context.lastUnloadGroups.FindOrAdd("DIESEL");
    context.lastTripGroups.FindOrAdd("FOOD");
    SpeedLevels levels;
    context.distances = &levels;

    CTrailer trailer;
    trailer.speedLevel = 3;
    trailer.capacity[0] = 24000;
    trailer.capacity[2] = -5;
    trailer.resourceType = 4;
    trailer.hoseProduct2 = "diesel";
    trailer.collectorProduct = "GAS";
    trailer.lastUnloadGroupNames.Add("DIESEL");
    trailer.lastUnloadGroupNames.Add("UNKNOWN");
    trailer.lastUnloadQuantityTexts.Add("12.5");
    trailer.lastTripGroupNames.Add("FOOD");
    trailer.lastTripProblemNames.Add("FOOD");
    trailer.lastTripProblemNames.Add("NONE");
    trailer.fareId = "7";
    trailer.CalculateFields(10, 0, 0);

    EXPECT_FLOAT_EQ(trailer.overloadedCapacity[0], 26400.0f);
    EXPECT_EQ(trailer.capacity[2], 0.0f);
    EXPECT_EQ(trailer.speedLevelIndex, 0);
    EXPECT_EQ(trailer.alternativeResourceType, 4);
    EXPECT_EQ(trailer.hoseGroups[0], 0xFFFFFFFFu);
    EXPECT_EQ(trailer.hoseGroups[1], 1u);
    EXPECT_EQ(trailer.collectorGroup, 0);
    EXPECT_EQ(
        std::vector<int>(trailer.tankLastUnloadGroups.begin(), trailer.tankLastUnloadGroups.end()),
        (std::vector<int>{1, -1}));
    EXPECT_EQ(trailer.tankLastUnloadQuantities[0], 12.5f);
    EXPECT_EQ(trailer.tankLastTripGroups[0], 0);
    EXPECT_EQ(trailer.lastTripProblemFlags, (std::vector<bool>{true}));
    EXPECT_EQ(trailer.fareIndex, 7);
    EXPECT_EQ(ModelContext().fares.FindFareIndex("7", ""), 7);
}

TEST_F(VehiclesTest, TrailerDerivationHoldsARunningEngineBack)
{
    SpeedLevels levels;
    ModelContext().distances = &levels;
    CountingEngine engine;
    levels.engine = &engine;
    trv::SetCurrentStepEngine(&engine);

    CTrailer trailer;
    trailer.tanks.AddTank(1000, 0);
    trailer.CalculateFields(0, 0, 0);
    EXPECT_GE(levels.counterSeen, 1);
    EXPECT_EQ(engine.counter, 0);
    EXPECT_EQ(engine.pauses, 2); // the trailer's and, nested, its tanks'

    // Nested guards undo in reverse.
    {
        CEnginePause outer("Test::Outer");
        CEnginePause inner("Test::Inner");
        EXPECT_TRUE(inner.IsHeld());
        EXPECT_EQ(engine.counter, 2);
    }
    EXPECT_EQ(engine.counter, 0);

    for (bool paused : {true, false}) {
        engine.paused = paused;
        engine.running = !paused;
        engine.pauses = 0;
        if (!paused)
            trv::SetCurrentStepEngine(nullptr);
        trailer.CalculateFields(0, 0, 0);
        EXPECT_EQ(engine.pauses, 0);
        EXPECT_EQ(engine.counter, 0);
    }
}

} // namespace
