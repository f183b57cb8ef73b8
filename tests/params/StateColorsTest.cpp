#include "params/StateColors.h"

#include "ParamsTestSupport.h"
#include "params/SpeedTable.h"

#include <gtest/gtest.h>

namespace {

using StateColorsTest = ParamsFolderTest;

TEST_F(StateColorsTest, KeyedColoursLoadAndFixedOnesKeepTheirDefaults)
{
    WriteFile("Config.ini", "[Colors]\nLate=65280\nDrive=\nNormal=123abc\nWork=x\n");
    TStateColors colors;
    colors.colors[20] = 1;
    colors.Load(Path("Config.ini"));
    EXPECT_EQ(colors.colors[2], 65280u);    // Late
    EXPECT_EQ(colors.colors[1], 32767u);    // Drive: empty keeps the default
    EXPECT_EQ(colors.colors[3], 123u);      // Normal: the leading digits
    EXPECT_EQ(colors.colors[0], 0u);        // Work: no digits
    EXPECT_EQ(colors.colors[20], 6553700u); // no key: its default again
}

TEST_F(StateColorsTest, SaveWritesTheTwentyFourKeysInOrder)
{
    TStateColors colors;
    for (auto& color : colors.colors)
        color = 7;
    ASSERT_TRUE(colors.Save(Path("Config.ini")));
    std::vector<std::string> entries;
    ASSERT_TRUE(trv::GetProfileSection("Colors", Path("Config.ini"), entries));
    const std::vector<std::string> expected = {"Work=7",
                                               "Drive=7",
                                               "Late=7",
                                               "Normal=7",
                                               "Assigned=7",
                                               "Deactivated=7",
                                               "Preferent=7",
                                               "NotLocated=7",
                                               "Sleeping=7",
                                               "WaitingForOpen=7",
                                               "DrivingRest=7",
                                               "Frozen=7",
                                               "Clean=7",
                                               "Overload=7",
                                               "Underload=7",
                                               "Lunching=7",
                                               "BadAssigned=7",
                                               "DayOff=7",
                                               "LoadUnload=7",
                                               "NonWorkingVehicles=7",
                                               "WareHouseRejected=7",
                                               "WarningDangerousLoad=7",
                                               "ClonEscoba=7",
                                               "IncompatibilidadImposible=7"};
    EXPECT_EQ(entries, expected);

    TStateColors loaded;
    loaded.Load(Path("Config.ini"));
    for (int i = 0; i < kStateColorCount; ++i) {
        std::uint32_t expectedColor = TStateColors::KeyOf(i) ? 7u : TStateColors().colors[i];
        EXPECT_EQ(loaded.colors[static_cast<std::size_t>(i)], expectedColor) << i;
    }
    EXPECT_FALSE(colors.Save(Path("no such folder/Config.ini")));
}

using SpeedTableTest = ParamsFolderTest;

TEST_F(SpeedTableTest, ResidentAreaSpeedsAndTollFactor)
{
    const struct
    {
        const char* lines;
        int residentFast;
        int residentSlow;
        int tollFactor;
    } cases[] = {
        {"[SpeedTable]\nResidentAreas=20\nResidentAreasSlow=5\n", 20, 20, 100},
        {"[SpeedTable]\nResidentAreasFast=15\nResidentAreas=20\nResidentAreasSlow=5\n", 15, 5, 100},
        {"[RoutingParameters]\nTollFactor=-5\n", 10, 10, 100},
        {"[RoutingParameters]\nTollFactor=0\n", 10, 10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        WriteFile("SpeedTable.ini", c.lines);
        TSpeedTable table;
        ReadSpeedTable(table);
        EXPECT_EQ(table.speeds[0], 110);
        EXPECT_EQ(table.speeds[9], c.residentFast);
        EXPECT_EQ(table.speeds[10], c.residentSlow);
        EXPECT_EQ(table.tollFactor, c.tollFactor);
    }
}

TEST_F(SpeedTableTest, WrittenTableReadsBack)
{
    TSpeedTable table;
    table.speeds = {90, 80, 70, 60, 55, 45, 30, 20, 15, 12, 8};
    table.shortestFastest = 40;
    ASSERT_TRUE(WriteSpeedTable(table));
    TSpeedTable loaded;
    ReadSpeedTable(loaded);
    EXPECT_EQ(loaded.speeds, table.speeds);
    EXPECT_EQ(loaded.shortestFastest, 40);
    EXPECT_EQ(trv::GetProfileString("SpeedTable", "ResidentAreas", "absent", SpeedTableFilePath),
              "absent");
}

} // namespace
