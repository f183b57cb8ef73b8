#include "routing/DistancesArray.h"

#include "../KLV/TraceCapture.h"
#include "KLV/Folders.h"
#include "TempFolder.h"
#include "params/Parameters.h"
#include "platform/UserPrompt.h"
#include "routing/RoutingContext.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace {

// Little-endian words of a matrix file, built by hand.
struct FileBytes
{
    std::string bytes;

    FileBytes& Int(int32_t value)
    {
        bytes.append(reinterpret_cast<const char*>(&value), 4);
        return *this;
    }
    FileBytes& Float(float value)
    {
        bytes.append(reinterpret_cast<const char*>(&value), 4);
        return *this;
    }
    FileBytes& Mark()
    {
        bytes.append("DST\0", 4);
        return *this;
    }
    // n, the mark, version, date, B, A (without slots), the tables flag and, from version 2, the
    // routing values.
    FileBytes& Header(int n, int version, int first = -1, int second = -1, int tables = 0)
    {
        Int(n).Mark().Int(version).Int(11).Int(12).Int(2024).Int(second).Int(first);
        for (int slot = 0; slot < first; ++slot)
            Int(100 + slot);
        Int(tables);
        if (version > 1)
            Int(7).Int(8);
        return *this;
    }
};

class DistancesArrayTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetRoutingContext();
        ResetUserParameters();
    }
    void TearDown() override
    {
        ResetRoutingContext();
        ResetUserParameters();
    }

    trv::test::TempFolder folder;
    trv::RecordingUserPrompt prompt;
};

TEST_F(DistancesArrayTest, ThreeByThreeMatrixIsWrittenAsTheGoldenFile)
{
    CDistancesArray matrix;
    matrix.Allocate(3);
    matrix.SetDate(trv::OleDate(2024, 12, 11));
    FileBytes expected;
    expected.Int(3).Mark().Int(2).Int(11).Int(12).Int(2024).Int(-1).Int(-1).Int(0).Int(0).Int(-1);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            matrix.SetCell(row, column, {row * 10.5f + column, row * 7 + column});
            expected.Float(static_cast<float>(row * 7 + column)).Float(row * 10.5f + column);
        }
    }
    matrix.SetStraightLineFlag(1);
    expected.Int(1);

    const std::string path = folder.File("plan_0.dst");
    ASSERT_TRUE(matrix.Save(path));
    const std::string written = trv::test::ReadFileBytes(path);
    EXPECT_EQ(written.size(), 120u);
    EXPECT_EQ(written, expected.bytes);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    CDistancesArray loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.GetNodeCount(), 3);
    EXPECT_EQ(loaded.GetDate(), trv::OleDate(2024, 12, 11));
    EXPECT_EQ(loaded.GetVersion(), 2);
    EXPECT_EQ(loaded.GetStraightLineFlag(), 1);
    EXPECT_EQ(loaded.Cell(2, 1).km, 22.0f);
    EXPECT_EQ(loaded.Cell(2, 1).minutes, 15);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(loaded.Cells()) % 64, 0u);
}

TEST_F(DistancesArrayTest, LayoutsReadBack)
{
    // n = 0: the header and the trailing flag only; a never-dated matrix is 30/12/1899.
    {
        CDistancesArray empty;
        empty.Allocate(0);
        const std::string path = folder.File("empty.dst");
        ASSERT_TRUE(empty.Save(path));
        EXPECT_EQ(std::filesystem::file_size(path), 48u);
        CDistancesArray loaded;
        ASSERT_TRUE(loaded.Load(path));
        EXPECT_EQ(loaded.GetNodeCount(), 0);
        EXPECT_EQ(loaded.GetDate().FormatDayFirst(), "30/12/1899");
    }
    // Tables A = 2, B = 3 with their slots round-trip.
    {
        CDistancesArray tables;
        tables.Allocate(2, true, 2, 3);
        tables.Slots() = {4, 9};
        tables.SetCell(1, 0, {3.5f, 4});
        tables.GetTable(1, 0).Values()[5] = 77;
        const std::string path = folder.File("tables.dst");
        ASSERT_TRUE(tables.Save(path));
        EXPECT_EQ(std::filesystem::file_size(path), 48u + 8 + 4 * (8 + 4 * 6));
        CDistancesArray loaded;
        ASSERT_TRUE(loaded.Load(path));
        EXPECT_EQ(loaded.GetFirstDimension(), 2);
        EXPECT_EQ(loaded.GetSecondDimension(), 3);
        EXPECT_EQ(loaded.Slots(), (std::vector<int32_t>{4, 9}));
        EXPECT_EQ(loaded.GetTable(1, 0).Values()[5], 77);
        EXPECT_EQ(loaded.Cell(1, 0).minutes, 4);
        // Reading a file without tables frees them.
        ASSERT_TRUE(loaded.Load(folder.File("empty.dst")));
        EXPECT_FALSE(loaded.HasTables());
        EXPECT_EQ(loaded.GetFirstDimension(), -1);
    }
    // Version 1: no routing values; minutes round half up.
    {
        FileBytes file;
        file.Header(1, 1).Float(12.6f).Float(1.5f).Int(0);
        CDistancesArray loaded;
        ASSERT_TRUE(loaded.Load(folder.Write("v1.dst", file.bytes)));
        EXPECT_EQ(loaded.GetRoutingValue1(), 0);
        EXPECT_EQ(loaded.GetRoutingValue2(), -1);
        EXPECT_EQ(loaded.Cell(0, 0).minutes, 13);
        FileBytes v2;
        v2.Header(1, 2).Float(12.4f).Float(1.5f).Int(0);
        ASSERT_TRUE(loaded.Load(folder.Write("v2.dst", v2.bytes)));
        EXPECT_EQ(loaded.Cell(0, 0).minutes, 12);
        EXPECT_EQ(loaded.GetRoutingValue1(), 7);
        EXPECT_EQ(loaded.GetRoutingValue2(), 8);
    }
    // A second word other than the mark: the older text layout.
    {
        CDistancesArray loaded;
        ASSERT_TRUE(loaded.Load(folder.Write("old.dst", "2\n0\t0\n12.6\t3.25\n5\t1\n0\t0\n")));
        EXPECT_EQ(loaded.GetNodeCount(), 2);
        EXPECT_EQ(loaded.Cell(0, 1).minutes, 13);
        EXPECT_EQ(loaded.Cell(0, 1).km, 3.25f);
        EXPECT_EQ(loaded.Cell(1, 0).minutes, 5);
        EXPECT_FALSE(loaded.HasTables());
    }
}

TEST_F(DistancesArrayTest, BadFilesAreRefusedWithoutLosingWhatWasRead)
{
    CRoutingContext& context = RoutingContext();
    context.nodes.GetOrCreateNode(0)->postcode = "28001";
    context.nodes.GetNode(0)->city = "MADRID";
    context.nodes.GetOrCreateNode(1)->postcode = "08001";
    context.nodes.GetNode(1)->city = "BARCELONA";

    // The largest float in cell (0, 1): "NoWayBetween" names both nodes; cell (0, 0) stays.
    FileBytes noWay;
    noWay.Header(2, 2)
        .Float(5)
        .Float(2.5f)
        .Float(FLT_MAX)
        .Float(1)
        .Float(0)
        .Float(0)
        .Float(0)
        .Float(0)
        .Int(0);
    CDistancesArray matrix;
    EXPECT_FALSE(matrix.Load(folder.Write("noway.dst", noWay.bytes)));
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "NoWayBetween");
    for (const char* text : {"28001", "MADRID", "08001", "BARCELONA"})
        EXPECT_NE(prompt.calls[0].text.find(text), std::string::npos) << text;
    EXPECT_EQ(matrix.Cell(0, 0).minutes, 5);
    EXPECT_EQ(matrix.Cell(0, 0).km, 2.5f);

    // The same in a matrix large enough to be converted while it is read; minutes of any size
    // are held inside the int range.
    const int n = 300;
    CDistancesArray large;
    large.Allocate(n);
    const float minutes[] = {12.5f, -12.4f, -12.5f, 0.49999997f, 3e9f, -3e9f, NAN, 2147483520.0f};
    const int32_t rounded[] = {13, -11, -12, 0, INT32_MAX, INT32_MIN, 0, 2147483520};
    const std::string path = folder.File("large.dst");
    ASSERT_TRUE(large.Save(path));
    std::string bytes = trv::test::ReadFileBytes(path);
    for (std::size_t cell = 0; cell < std::size(minutes); ++cell)
        std::memcpy(&bytes[44 + 8 * (1000 + cell)], &minutes[cell], 4);
    ASSERT_TRUE(large.Load(folder.Write("large.dst", bytes)));
    for (std::size_t cell = 0; cell < std::size(minutes); ++cell)
        EXPECT_EQ(large.Cells()[1000 + cell].minutes, rounded[cell]) << minutes[cell];
    const float mark = FLT_MAX;
    const float seven = 7.0f;
    std::memcpy(&bytes[44 + 8 * 70001 + 4], &mark, 4);
    std::memcpy(&bytes[44 + 8 * 70000 + 4], &seven, 4);
    std::memcpy(&bytes[44 + 8 * 80000 + 4], &seven, 4);
    EXPECT_FALSE(large.Load(folder.Write("large.dst", bytes)));
    EXPECT_EQ(prompt.calls.back().key, "NoWayBetween");
    EXPECT_EQ(large.Cells()[70000].km, 7.0f);
    EXPECT_EQ(large.Cells()[1000].minutes, 13);
    EXPECT_EQ(large.Cells()[70001].km, 0.0f);
    EXPECT_EQ(large.Cells()[80000].km, 0.0f);

    // An empty file is deleted.
    const std::string empty = folder.Write("empty.dst", "");
    EXPECT_FALSE(matrix.Load(empty));
    EXPECT_FALSE(std::filesystem::exists(empty));

    // Absurd sizes and truncated files are refused before anything is allocated.
    TraceCapture trace(1);
    FileBytes huge;
    huge.Header(2000000000, 2).Int(0);
    FileBytes truncated;
    truncated.Header(3, 2).Float(1).Float(1);
    FileBytes slots;
    slots.Int(1).Mark().Int(2).Int(1).Int(1).Int(2000).Int(1000000).Int(2000000000);
    for (const std::string& bytes : {huge.bytes, truncated.bytes, slots.bytes}) {
        EXPECT_FALSE(matrix.Load(folder.Write("bad.dst", bytes)));
        EXPECT_EQ(matrix.GetCellCount(), 0u);
    }
    EXPECT_FALSE(trace.Messages().empty());
    EXPECT_FALSE(matrix.Load(folder.File("missing.dst")));
}

TEST_F(DistancesArrayTest, ExportCopiesTheCacheFileOrLeavesTheOldOne)
{
    trv::test::EnvironmentOverride temporary("TMPDIR", folder.Path().string());
    const std::string plan = folder.File("plans/plan.pln");
    std::filesystem::create_directories(folder.Path() / "plans");
    // No cache file: nothing to copy.
    EXPECT_TRUE(CDistancesArray::Export(plan, 0));
    EXPECT_FALSE(std::filesystem::exists(folder.File("plans/plan_0.dst")));

    std::filesystem::create_directories(GetTempFolder(1));
    CDistancesArray matrix;
    matrix.Allocate(1);
    ASSERT_TRUE(matrix.Save(CDistancesArray::GetCacheFile(0)));
    ASSERT_TRUE(CDistancesArray::Export(plan, 0));
    const std::string good = trv::test::ReadFileBytes(folder.File("plans/plan_0.dst"));
    EXPECT_EQ(good.size(), 56u);

    // A copy that cannot be written (its temporary name taken by a folder, which fails even
    // for root): "FileCannotWrite", the old file intact.
    matrix.Allocate(2);
    ASSERT_TRUE(matrix.Save(CDistancesArray::GetCacheFile(0)));
    std::filesystem::create_directories(folder.File("plans/plan_0.dst.tmp/x"));
    EXPECT_FALSE(CDistancesArray::Export(plan, 0));
    EXPECT_FALSE(matrix.Save(folder.File("plans/plan_0.dst")));
    ASSERT_FALSE(prompt.calls.empty());
    EXPECT_EQ(prompt.calls.back().key, "FileCannotWrite");
    EXPECT_NE(prompt.calls.back().text.find("plan_0.dst"), std::string::npos);
    EXPECT_EQ(trv::test::ReadFileBytes(folder.File("plans/plan_0.dst")), good);
    std::filesystem::remove_all(GetTempFolder(1));
}

TEST(StartStopCorrectionTest, ShortTravelsTakeLonger)
{
    struct Case
    {
        float acceleration;
        TDistanceCell cell;
        int32_t minutes;
    };
    const Case cases[] = {
        {1.0f, {10.0f, 10}, 12}, {1.0f, {1.0f, 1}, 3},  {0.5f, {10.0f, 10}, 11},
        {0.5f, {0.25f, 1}, 4},   {1.0f, {10.0f, 0}, 0}, {0.0f, {10.0f, 10}, 10},
        {1.0f, {0.0f, 10}, 10},
    };
    for (const Case& test : cases) {
        TDistanceCell cell = test.cell;
        ApplyStartStopCorrection(cell, test.acceleration);
        EXPECT_EQ(cell.minutes, test.minutes)
            << "p " << test.acceleration << " d " << test.cell.km << " t " << test.cell.minutes;
        EXPECT_EQ(cell.km, test.cell.km);
    }
}

TEST(TravelTimeAdjustmentTest, OnWhenAnyCorrectionApplies)
{
    struct Case
    {
        const char* name;
        bool hourSpeeds;
        float distanceToFly;
        int timeForDistanceToFly;
        int fixStartStop;
        int fixStartStopDistance0;
        int minimumTrip;
        bool expected;
    };
    const Case cases[] = {
        {"nothing", false, -1, -1, 0, 0, 0, false},
        {"hour speeds loaded", true, -1, -1, 0, 0, 0, true},
        {"distance to fly alone", false, 5, -1, 0, 0, 0, false},
        {"distance and time to fly", false, 5, 3, 0, 0, 0, true},
        {"fixed start-stop time", false, -1, -1, 2, 0, 0, true},
        {"fixed start-stop time at 0 km", false, -1, -1, 0, 1, 0, true},
        {"minimum trip time", false, -1, -1, 0, 0, 1, true},
        {"negative minimum trip time", false, -1, -1, 0, 0, -1, false},
    };
    for (const Case& test : cases) {
        ResetUserParameters();
        CUserParameters& parameters = UserParameters();
        parameters.DistanceToFly = test.distanceToFly;
        parameters.TimeForDistanceToFly = test.timeForDistanceToFly;
        parameters.FixTimeStartStop = test.fixStartStop;
        parameters.FixTimeStartStopDistance0 = test.fixStartStopDistance0;
        parameters.MinimoTiempoTrayecto = test.minimumTrip;
        UpdateTravelTimeAdjustmentFlag(test.hourSpeeds);
        EXPECT_EQ(RoutingContext().travelTimeAdjustment, test.expected) << test.name;
    }
    ResetUserParameters();
    ResetRoutingContext();
}

} // namespace
