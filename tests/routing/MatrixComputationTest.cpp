#include "ClassNodes.h"
#include "FakeRoutingEngine.h"
#include "KLV/Folders.h"
#include "RoadFixture.h"
#include "TempFolder.h"
#include "containers/BoolTable.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "platform/Profile.h"
#include "platform/Progress.h"
#include "routing/MatrixWorker.h"
#include "routing/RoutingContext.h"
#include "routing/RoutingMapAndGuideClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

using trv::test::RoadFixture;

std::string Bytes(std::initializer_list<int32_t> words)
{
    std::string bytes;
    for (const int32_t word : words)
        bytes.append(reinterpret_cast<const char*>(&word), 4);
    return bytes;
}

std::string FloatBytes(std::initializer_list<float> values)
{
    std::string bytes;
    for (const float value : values)
        bytes.append(reinterpret_cast<const char*>(&value), 4);
    return bytes;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool WorkerFilesLeft()
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(GetTempFolder(1), ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Mx_", 0) == 0 || name.rfind("Prog_", 0) == 0)
            return true;
    }
    return false;
}

TEST(MatrixWorkerTest, OriginsSplitIntoContiguousBlocks)
{
    struct Case
    {
        int nodes;
        int workers;
        std::vector<std::pair<int, int>> blocks; // first, count
    };
    const Case cases[] = {
        {7, 3, {{0, 3}, {3, 2}, {5, 2}}},
        {2, 4, {{0, 1}, {1, 1}}},
        {6, 3, {{0, 2}, {2, 2}, {4, 2}}},
        {5, 1, {{0, 5}}},
        {3, 0, {{0, 3}}},
        {0, 2, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::to_string(test.nodes) + " on " + std::to_string(test.workers));
        std::vector<std::pair<int, int>> blocks;
        for (const TMatrixBlock& block : SplitMatrixRows(test.nodes, test.workers))
            blocks.emplace_back(block.first, block.count);
        EXPECT_EQ(blocks, test.blocks);
    }
}

TEST(MatrixWorkerTest, InputFileHoldsTheBlocksOriginsThenEveryNode)
{
    trv::test::TempFolder folder;
    const std::vector<TRoutingPoint> nodes{{1, 2}, {3, 4}, {-5, 6}};
    const std::string path = folder.File("Mx_In_1.dat");
    ASSERT_TRUE(WriteMatrixInput(path, nodes, {1, 2}));
    EXPECT_EQ(ReadAll(path), Bytes({2, 3, 3, 4, -5, 6, 1, 2, 3, 4, -5, 6}));
    std::vector<TRoutingPoint> origins;
    std::vector<TRoutingPoint> read;
    std::string error;
    ASSERT_TRUE(ReadMatrixInput(path, origins, read, error)) << error;
    ASSERT_EQ(origins.size(), 2u);
    EXPECT_EQ(origins[1].x, -5);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[2].y, 6);
    EXPECT_FALSE(WriteMatrixInput(path, nodes, {2, 2})); // past the last node

    const std::string bad[] = {
        Bytes({1}),                               // no node count
        Bytes({1, 1, 7, 7}),                      // short of the node
        Bytes({1, 1, 7, 7, 7, 7, 9}),             // a word too many
        Bytes({-1, 1, 7, 7}),                     // negative origins
        Bytes({2, 1, 7, 7, 7, 7, 7, 7}),          // more origins than nodes
        Bytes({0x40000000, 0x40000000, 0, 0, 0}), // counts no file can hold
    };
    for (const std::string& data : bad) {
        EXPECT_FALSE(ParseMatrixInput(data.data(), data.size(), origins, read, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(MatrixWorkerTest, OutputFileIsRefusedUnlessItHoldsWhatWasAsked)
{
    trv::test::TempFolder folder;
    const std::string path = folder.File("Mx_Out_0.dat");
    ASSERT_TRUE(WriteMatrixOutput(path, 1, 2, {{1.5f, 2.0f}, {-1.0f, -1.0f}}));
    EXPECT_EQ(ReadAll(path), Bytes({1, 2}) + FloatBytes({1.5f, 2.0f, -1.0f, -1.0f}));
    std::vector<TMatrixOutputCell> cells;
    std::string error;
    ASSERT_TRUE(ReadMatrixOutputFile(path, 1, 2, cells, error)) << error;
    EXPECT_EQ(cells[0].km, 1.5f);
    EXPECT_EQ(cells[1].minutes, -1.0f);
    struct Case
    {
        const char* name;
        std::string data;
    };
    const Case cases[] = {
        {"rows", Bytes({2, 2}) + FloatBytes({1, 2, 3, 4})},
        {"columns", Bytes({1, 3}) + FloatBytes({1, 2, 3, 4, 5, 6})},
        {"short", Bytes({1, 2}) + FloatBytes({1, 2, 3})},
        {"long", Bytes({1, 2}) + FloatBytes({1, 2, 3, 4, 5})},
        {"no counts", Bytes({1})},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_FALSE(ParseMatrixOutput(test.data.data(), test.data.size(), 1, 2, cells, error));
    }
    EXPECT_EQ(ReadMatrixProgress(folder.File("Prog_9.dat")), -1);
    ASSERT_TRUE(WriteMatrixProgress(folder.File("Prog_9.dat"), 101));
    EXPECT_EQ(ReadMatrixProgress(folder.File("Prog_9.dat")), 101);
}

TEST(MatrixWorkerTest, WatchEndsOnlyWhenTheAverageIsPast100)
{
    EXPECT_FALSE(CRoutingMapAndGuide::MatrixWatchDone({101, 101, 100}));
    EXPECT_FALSE(CRoutingMapAndGuide::MatrixWatchDone({-1, 101}));
    EXPECT_TRUE(CRoutingMapAndGuide::MatrixWatchDone({101, 101, 101}));
}

// Records where and what the progress was told, and cancels once asked to.
class RecordingProgress : public trv::Progress
{
  public:
    void SetPosition(long long position, long long) override
    {
        threads.push_back(std::this_thread::get_id());
        positions.push_back(position);
    }
    bool IsCancelled() const override { return cancelAfterFirst && !positions.empty(); }

    std::vector<std::thread::id> threads;
    std::vector<long long> positions;
    bool cancelAfterFirst = false;
};

class MatrixComputationTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetRoutingContext();
        ResetUserParameters();
        ResetParameterFilePaths();
        trv::ClearProfileCache();
        previous_ = trv::InstallProgress(&progress);
    }
    void TearDown() override
    {
        trv::InstallProgress(previous_);
        ResetRoutingContext();
        ResetUserParameters();
        ResetParameterFilePaths();
        trv::ClearProfileCache();
    }

    // Nodes at the points, each at its own row of one matrix.
    std::vector<int> Nodes(const std::vector<std::pair<double, double>>& points)
    {
        return AddClassNodes(points);
    }

    // A worker script of the test's own; "$FOLDER" is the exchange folder.
    std::string Stub(const std::string& name, const std::string& body)
    {
        const std::string path = scripts.Write(
            name, "#!/bin/sh\nFOLDER=\"${TMPDIR:-/tmp}/Trevantor$1/\"\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }

    // A worker that copies the prepared "out_<worker>.dat" as its output and reports it complete.
    std::string CopyingStub()
    {
        return Stub("copy", "cp '" + scripts.File("out_") +
                                "'$2.dat \"$FOLDER/Mx_Out_$2.dat\"\n"
                                "printf '\\145\\000\\000\\000' > \"$FOLDER/Prog_$2.dat\"");
    }

    static TMatrixWorkerSettings Quick(int workers)
    {
        TMatrixWorkerSettings settings;
        settings.workers = workers;
        settings.allowanceMilliseconds = 200;
        settings.restartStepMilliseconds = 100;
        return settings;
    }

    RecordingProgress progress;
    trv::test::TempFolder scripts;
    trv::OleDate date{46000.0};

  private:
    trv::Progress* previous_ = nullptr;
};

struct FakeMatrixProvider
{
    FakeMatrixProvider()
    {
        auto owned = std::make_unique<FakeRoutingEngine>();
        engine = owned.get();
        provider = std::make_unique<CRoutingMapAndGuide>(std::move(owned));
        EXPECT_TRUE(provider->EspabilaMatriz("unused"));
        provider->SetMatrixWorkerPath("/nowhere/worker");
    }
    FakeRoutingEngine* engine = nullptr;
    std::unique_ptr<CRoutingMapAndGuide> provider;
};

TEST_F(MatrixComputationTest, OneNodeGetsItsOwnEmptyCellWithoutTheEngine)
{
    FakeMatrixProvider fake;
    const std::vector<int> nodes = Nodes({{2.0, 41.0}});
    CDistancesArray matrix;
    EXPECT_TRUE(fake.provider->CalculateMatrix(0, nodes, matrix, date, 3, 1));
    EXPECT_EQ(fake.engine->matrixCalls, 0);
    EXPECT_EQ(matrix.GetNodeCount(), 1);
    EXPECT_EQ(matrix.Cell(0, 0).km, 0.0f);
    EXPECT_EQ(matrix.GetRoutingValue1(), 3);
    EXPECT_EQ(matrix.GetRoutingValue2(), 1);
}

TEST_F(MatrixComputationTest, EngineMatrixFillsTheRowsOfTheTranslation)
{
    FakeMatrixProvider fake;
    std::vector<int> nodes = Nodes({{2.0, 41.0}, {2.1, 41.0}, {2.2, 41.0}});
    // Node 2 lives in row 0 and node 0 in row 2.
    RoutingContext().partition.GetEntry(0) = {0, 2};
    RoutingContext().partition.GetEntry(2) = {0, 0};
    CDistancesArray matrix;
    ASSERT_TRUE(fake.provider->CalculateMatrix(2, nodes, matrix, date, 0, 0));
    EXPECT_EQ(fake.engine->matrixCalls, 1);
    // Position 0 (row 2) to position 1 (row 1): 1 km, 100 units = 17 minutes.
    EXPECT_FLOAT_EQ(matrix.Cell(2, 1).km, 1.0f);
    EXPECT_EQ(matrix.Cell(2, 1).minutes, 17);
    EXPECT_FLOAT_EQ(matrix.Cell(0, 2).km, 2.0f);
    EXPECT_EQ(matrix.Cell(1, 1).km, 0.0f);
}

TEST_F(MatrixComputationTest, NegativeCellIsEmptiedUnroutedAndPending)
{
    FakeMatrixProvider fake;
    const std::vector<int> nodes = Nodes({{2.0, 41.0}, {2.1, 41.0}, {2.2, 41.0}});
    fake.engine->matrixMetres = {0, 1000, 2000, 1000, 0, -1, 2000, 1000, 0};
    CBoolTable routed;
    routed.Create(3, 3);
    routed.SetAll();
    std::vector<TPendingNode> pending{{2, 4}};
    fake.provider->SetMatrixTargets(&routed, &pending);
    CDistancesArray matrix;
    ASSERT_TRUE(fake.provider->CalculateMatrix(2, nodes, matrix, date, 0, 0));
    EXPECT_EQ(matrix.Cell(1, 2).km, 0.0f);
    EXPECT_EQ(matrix.Cell(1, 2).minutes, 0);
    EXPECT_EQ(routed.GetBit(2, 1), 0);
    EXPECT_EQ(routed.GetBit(1, 2), 1);
    EXPECT_EQ(fake.provider->m_bNegativeCells.load(), 1);
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].node, 2);
    EXPECT_EQ(pending[0].count, 5);
    EXPECT_EQ(pending[1].node, 1);
    EXPECT_EQ(pending[1].count, 1);
}

TEST_F(MatrixComputationTest, WithoutRoadDataTheClassIsStraightLine)
{
    CRoutingMapAndGuide provider(nullptr);
    const std::vector<int> nodes = Nodes({{2.0, 41.0}, {2.1, 41.0}});
    CDistancesArray matrix;
    EXPECT_TRUE(provider.CalculateMatrix(1, nodes, matrix, date, 0, 0));
    EXPECT_EQ(matrix.GetStraightLineFlag(), 1);
    EXPECT_GT(matrix.Cell(0, 1).km, 8.0f);
}

TEST_F(MatrixComputationTest, WorkerOutputsLandAtTheirOffsetWithOneCorrection)
{
    UserParameters().DistanciaAceleracion = 0.5f;
    // Worker 0 has origins 0-1, worker 1 origin 2; each copies its prepared output.
    scripts.Write("out_0.dat", Bytes({2, 3}) + FloatBytes({0, 0, 10, 10, 0.25f, 1, //
                                                           10, 10, 0, 0, 3, 3}));
    scripts.Write("out_1.dat", Bytes({1, 3}) + FloatBytes({0.25f, 1, 7, 8, 0, 0}));
    const std::string stub = CopyingStub();
    FakeMatrixProvider fake;
    fake.provider->SetMatrixWorkerPath(stub);
    fake.provider->SetMatrixWorkerSettings(Quick(2));
    const std::vector<int> nodes = Nodes({{2.0, 41.0}, {2.1, 41.0}, {2.2, 41.0}});
    CDistancesArray matrix;
    ASSERT_TRUE(fake.provider->CalculateMatrix(2, nodes, matrix, date, 0, 0));
    EXPECT_EQ(fake.engine->matrixCalls, 0);
    EXPECT_EQ(matrix.Cell(0, 1).minutes, 11); // 10 km in 10 minutes
    EXPECT_EQ(matrix.Cell(0, 2).minutes, 4);  // 0.25 km in 1 minute
    EXPECT_EQ(matrix.Cell(1, 2).minutes, 4);  // 3 km in 3 minutes: one more, as 10 km
    EXPECT_EQ(matrix.Cell(2, 0).minutes, 4);
    EXPECT_FLOAT_EQ(matrix.Cell(2, 1).km, 7.0f);
    EXPECT_FALSE(WorkerFilesLeft());
}

TEST_F(MatrixComputationTest, WrongWorkerOutputFailsToTheStraightLine)
{
    scripts.Write("out_0.dat", Bytes({1, 2}) + FloatBytes({5, 5, 5, 5}));
    const std::string stub = CopyingStub();
    FakeMatrixProvider fake;
    fake.provider->SetMatrixWorkerPath(stub);
    fake.provider->SetMatrixWorkerSettings(Quick(1));
    const std::vector<int> nodes = Nodes({{2.0, 41.0}, {2.1, 41.0}, {2.2, 41.0}});
    CDistancesArray matrix;
    EXPECT_FALSE(fake.provider->CalculateMatrix(2, nodes, matrix, date, 0, 0));
    EXPECT_EQ(matrix.GetStraightLineFlag(), 1);
    EXPECT_NE(matrix.Cell(0, 1).km, 5.0f);
    EXPECT_FALSE(WorkerFilesLeft());
}

TEST_F(MatrixComputationTest, WorkersThatNeverFinishAreRestartedThenGivenUp)
{
    struct Case
    {
        const char* name;
        const char* body;
    };
    const Case cases[] = {
        {"silent", "exec sleep 30"},
        {"dies", "printf '\\062\\000\\000\\000' > \"$FOLDER/Prog_$2.dat\"; exit 1"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        FakeMatrixProvider fake;
        fake.provider->SetMatrixWorkerPath(Stub(test.name, test.body));
        fake.provider->SetMatrixWorkerSettings(Quick(1));
        const std::vector<int> nodes = Nodes({{2.0, 41.0}, {2.1, 41.0}});
        CDistancesArray matrix;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(fake.provider->CalculateMatrix(1, nodes, matrix, date, 0, 0));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(fake.provider->WorkerRestarts(), 3);
        EXPECT_EQ(matrix.GetStraightLineFlag(), 1);
        EXPECT_FALSE(WorkerFilesLeft());
        if (std::string(test.name) == "silent") { // 200 ms, then 100 ms more per restart
            EXPECT_GE(elapsed, std::chrono::milliseconds(200 + 300 + 400 + 500));
        }
        ResetRoutingContext();
    }
}

TEST_F(MatrixComputationTest, CancelEndsEveryWorkerAndProgressStaysOnTheMainThread)
{
    FakeMatrixProvider fake;
    fake.provider->SetMatrixWorkerPath(Stub("silent", "exec sleep 30"));
    TMatrixWorkerSettings settings = Quick(3);
    settings.allowanceMilliseconds = 60000;
    fake.provider->SetMatrixWorkerSettings(settings);
    progress.cancelAfterFirst = true;
    const std::vector<int> nodes = Nodes({{2.0, 41.0}, {2.1, 41.0}, {2.2, 41.0}});
    CDistancesArray matrix;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(fake.provider->CalculateMatrix(2, nodes, matrix, date, 0, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(matrix.GetStraightLineFlag(), 0);
    EXPECT_FALSE(WorkerFilesLeft());
    ASSERT_FALSE(progress.threads.empty());
    for (const std::thread::id thread : progress.threads)
        EXPECT_EQ(thread, std::this_thread::get_id());
}

// On the road fixture: the engine's matrix, the workers' matrix (one of them killed half-way
// once) and single routes agree.
TEST_F(MatrixComputationTest, EngineAndWorkerMatricesAgreeOnTheRoads)
{
    ASSERT_FALSE(RoadFixture::Folder().empty());
    trv::test::ProgramFolder program;
    program.Write("Config.ini", "[Configuration]\nNodeGraphPath=" + RoadFixture::Folder() + "\n");
    trv::ClearProfileCache();
    const std::vector<std::pair<double, double>> points{
        {2.001, 41.0002}, {2.099, 41.0002}, {2.0505, 41.0275}, {2.03, 41.0202},
        {2.075, 40.9805}, {2.0502, 41.021}, {2.0502, 41.0245}, {2.068, 41.038}};
    const std::vector<int> nodes = Nodes(points);
    const int last = static_cast<int>(nodes.size()) - 1;

    auto engineProvider = std::make_unique<CRoutingMapAndGuide>();
    ASSERT_TRUE(engineProvider->EspabilaMatriz(RoadFixture::Folder()));
    engineProvider->SetMatrixWorkerPath("/nowhere/worker");
    CDistancesArray inProcess;
    ASSERT_TRUE(engineProvider->CalculateMatrix(last, nodes, inProcess, date, 0, 0));

    const std::string worker = std::string(TRV_PROGRAM_DIR) + "/" + kMatrixWorkerProgram;
    const std::string stub = Stub(
        "once", "if [ ! -e '" + scripts.File("killed") + "' ] && [ \"$2\" = 1 ]; then touch '" +
                    scripts.File("killed") +
                    "'; printf '\\062\\000\\000\\000' > \"$FOLDER/Prog_$2.dat\"; kill -9 $$; fi\n"
                    "exec '" +
                    worker + "' \"$@\"");
    CRoutingMapAndGuide workerProvider;
    ASSERT_TRUE(workerProvider.EspabilaMatriz(RoadFixture::Folder()));
    workerProvider.SetMatrixWorkerPath(stub);
    // A dead worker is restarted at once; the allowance only covers a slow machine.
    TMatrixWorkerSettings settings = Quick(3);
    settings.allowanceMilliseconds = 20000;
    workerProvider.SetMatrixWorkerSettings(settings);
    CDistancesArray inWorkers;
    ASSERT_TRUE(workerProvider.CalculateMatrix(last, nodes, inWorkers, date, 0, 0));
    EXPECT_TRUE(std::filesystem::exists(scripts.File("killed")));
    EXPECT_GE(workerProvider.WorkerRestarts(), 1);
    EXPECT_FALSE(WorkerFilesLeft());

    for (int row = 0; row <= last; ++row) {
        for (int column = 0; column <= last; ++column) {
            SCOPED_TRACE(std::to_string(row) + " to " + std::to_string(column));
            EXPECT_EQ(inProcess.Cell(row, column).km, inWorkers.Cell(row, column).km);
            EXPECT_EQ(inProcess.Cell(row, column).minutes, inWorkers.Cell(row, column).minutes);
        }
    }
    for (const auto& [from, to] :
         std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {3, 4}, {5, 6}}) {
        TDistanceCell single;
        ASSERT_TRUE(engineProvider->CalculaDistanciaSincrona(
            points[from].first, points[from].second, points[to].first, points[to].second, single));
        EXPECT_NEAR(inProcess.Cell(from, to).km, single.km, 0.01);
        EXPECT_EQ(inProcess.Cell(from, to).minutes, single.minutes);
        EXPECT_GT(single.km, 0.0f);
    }
}

} // namespace
