// Hour speed factors by week day, the departure hour's factor, and the trip incompatibility
// table built from its rules.

#include "model/HourSpeeds.h"

#include "CleanModelTest.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "MemoryFieldRecord.h"
#include "TempFolder.h"
#include "params/FetchFieldRecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Row = CMemoryFieldRecord::Row;

class HourSpeedsTest : public CleanModelTest
{
  protected:
    void PlanOnTuesday() { ModelContext().planningDate.SetDate(2026, 12, 8); }
    CMemoryRecordSource source;
};

TEST_F(HourSpeedsTest, FactorsComeFromTheDayFieldWhenSetElseTheGeneralOne)
{
    struct Case
    {
        const char* general;
        const char* tuesday;
        bool planned; // a planning date exists
        float expected;
    };
    const Case cases[] = {
        {"80", "0", true, 0.8f},   {"80", "50", true, 0.5f}, {"0", "0", true, 1.0f},
        {"80", "50", false, 0.8f}, {"-20", "", true, -0.2f},
    };
    for (const Case& c : cases) {
        ResetModelContext();
        if (c.planned)
            PlanOnTuesday();
        source.tables["HOUR_SPEEDS"] = {
            Row{{"HOUR", "8"},
                {"SPEED_FACTOR", c.general},
                {"SPEED_FACTOR_MARTES", c.tuesday},
                {"SPEED_FACTOR_LUNES", "30"}},
            Row{{"HOUR", "24"}, {"SPEED_FACTOR", "10"}},
            Row{{"HOUR", "-1"}, {"SPEED_FACTOR", "10"}},
        };
        LoadHourSpeeds(source, "speeds.txt");
        const CHourSpeeds& speeds = ModelContext().hourSpeeds;
        EXPECT_FLOAT_EQ(speeds.factors[8], c.expected) << c.general << "/" << c.tuesday;
        for (int hour = 0; hour < CHourSpeeds::Hours; ++hour) {
            if (hour == 8)
                continue;
            EXPECT_EQ(speeds.factors[static_cast<std::size_t>(hour)], 1.0f) << hour;
        }
        EXPECT_TRUE(HourSpeedsLoaded());
        EXPECT_EQ(source.lastOpen.file, "speeds.txt");
        EXPECT_EQ(source.openRecords, 0);
    }
}

TEST_F(HourSpeedsTest, TheCompanysFileReadsThroughTheProgramsDefinition)
{
    trv::test::ProgramFolder folder;
    folder.Write("Data.ini", trv::test::ReadFileBytes(TRV_PROGRAM_DIR "/Data.ini"));
    folder.Write("ACME/configuration/hourspeeds.txt",
                 "HOUR;SPEED_FACTOR;LUNES;MARTES\n7;90;0;0\n8;80;0;50\n");
    trv::SetCompanyAlias("ACME");
    CFetch::ResetDefinitionFiles();
    PlanOnTuesday();
    CFetchRecordSource definitions;
    LoadHourSpeeds(definitions);
    EXPECT_FLOAT_EQ(ModelContext().hourSpeeds.factors[7], 0.9f);
    EXPECT_FLOAT_EQ(ModelContext().hourSpeeds.factors[8], 0.5f);
    EXPECT_TRUE(HourSpeedsLoaded());
    trv::ResetAppGlobals();
    CFetch::ResetDefinitionFiles();
}

TEST_F(HourSpeedsTest, AMissingDefinitionChangesNothing)
{
    ModelContext().hourSpeeds.factors[3] = 0.7f;
    LoadHourSpeeds(source, "speeds.txt");
    EXPECT_EQ(ModelContext().hourSpeeds.factors[3], 0.7f);
    EXPECT_FALSE(HourSpeedsLoaded());
}

TEST_F(HourSpeedsTest, DeparturesFoldIntoTheDaysHours)
{
    CHourSpeeds& speeds = ModelContext().hourSpeeds;
    for (int hour = 0; hour < CHourSpeeds::Hours; ++hour)
        speeds.factors[static_cast<std::size_t>(hour)] = static_cast<float>(hour);
    const std::pair<int, int> cases[] = {
        {-30, 23},   {1500, 1},    {0, 0},        {1439, 23},
        {-14400, 0}, {-14401, 23}, {-100000, 13}, {2147483647, 2147483647 % 1440 / 60},
    };
    for (const auto& [minute, hour] : cases)
        EXPECT_EQ(HourSpeedFactor(minute), static_cast<float>(hour)) << minute;
}

TEST_F(HourSpeedsTest, IncompatibilityRulesSizeAndFillTheTable)
{
    std::vector<Row> rules;
    for (int ifValue = 1; ifValue <= 3; ++ifValue)
        rules.push_back(
            Row{{"TI_IF", std::to_string(ifValue)}, {"TI_THEN", std::to_string(ifValue + 2)}});
    rules.push_back(Row{{"TI_IF", "-1"}, {"TI_THEN", "2"}});
    source.tables["TRIPS_INCOMPATIBILITIES"] = rules;
    LoadTripsIncompatibilities(source);
    const CBoolTable& table = ModelContext().tripsIncompatibilities.table;
    ASSERT_TRUE(TripsIncompatibilitiesLoaded());
    EXPECT_EQ(table.GetColumns(), 4);
    EXPECT_EQ(table.GetRows(), 6);
    EXPECT_EQ(source.openRecords, 0);

    struct Case
    {
        std::vector<int> ifValues;
        std::vector<int> thenValues;
        bool compatible;
    };
    const Case cases[] = {
        {{1}, {3}, false},     {{1}, {4}, true},       {{2, 1}, {5, 3}, false},
        {{}, {3, 4, 5}, true}, {{-1, 9}, {3}, true},   {{1}, {-3, 60}, true},
        {{3}, {5}, false},     {{0}, {0, 1, 2}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TripsCompatible(static_cast<int>(c.ifValues.size()), c.ifValues.data(),
                                  static_cast<int>(c.thenValues.size()), c.thenValues.data()),
                  c.compatible)
            << c.ifValues.size() << " " << c.thenValues.size();
}

TEST_F(HourSpeedsTest, RulesWithoutIfValuesLeaveNoTable)
{
    for (const char* ifValue : {"0", ""}) {
        source.tables["TRIPS_INCOMPATIBILITIES"] = {Row{{"TI_IF", ifValue}, {"TI_THEN", "4"}}};
        LoadTripsIncompatibilities(source);
        EXPECT_FALSE(TripsIncompatibilitiesLoaded());
        const int ifValues[] = {0};
        const int thenValues[] = {4};
        EXPECT_TRUE(TripsCompatible(1, ifValues, 1, thenValues));
    }
    // A definition that does not open leaves the table cleared.
    source.tables["TRIPS_INCOMPATIBILITIES"] = {Row{{"TI_IF", "2"}, {"TI_THEN", "2"}}};
    LoadTripsIncompatibilities(source);
    ASSERT_TRUE(TripsIncompatibilitiesLoaded());
    source.tables.clear();
    LoadTripsIncompatibilities(source);
    EXPECT_FALSE(TripsIncompatibilitiesLoaded());
}

TEST_F(HourSpeedsTest, SpeedClassNamesReplaceTheList)
{
    CSmartStringArray names;
    names.Add("old");
    FillSpeedClassNames(names);
    ASSERT_EQ(names.GetSize(), 3);
    EXPECT_EQ(names[0], Translate("DBD_SLOW"));
    EXPECT_EQ(names[2], Translate("DBD_FAST"));
}

} // namespace
