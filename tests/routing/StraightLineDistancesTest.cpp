#include "routing/StraightLineDistances.h"

#include "ClassNodes.h"
#include "TempFolder.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "platform/Profile.h"
#include "routing/RoutingContext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <omp.h>

namespace {

class StraightLineTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetRoutingContext();
        ResetUserParameters();
        ResetParameterFilePaths();
        trv::ClearProfileCache();
        UserParameters().EuclideanInEffect = 1;
    }
    void TearDown() override
    {
        ResetRoutingContext();
        ResetUserParameters();
        ResetParameterFilePaths();
        trv::ClearProfileCache();
    }

    void Speeds(const std::string& fast, const std::string& slow)
    {
        SpeedTableFilePath = program.Write("SpeedTable.ini", "[SpeedTable]\nNationalFast=" + fast +
                                                                 "\nNationalSlow=" + slow + "\n");
        trv::ClearProfileCache();
    }

    // Nodes 0.. at the points, each at its own row of one matrix; the class's node list.
    std::vector<int> Nodes(const std::vector<std::pair<double, double>>& points)
    {
        return AddClassNodes(points);
    }

    trv::test::ProgramFolder program;
};

TEST_F(StraightLineTest, CellsAreGreatCircleKmAtTheAverageNationalSpeed)
{
    Speeds("80", "60");
    const std::vector<int> classNodes =
        Nodes({{-3.0, 40.0}, {-3.0, 41.0}, {12345678.0, 12345678.0}});
    CDistancesArray matrix;
    ASSERT_TRUE(ActualizaDistanciasEuclideas(matrix, nullptr, 3, classNodes,
                                             trv::OleDate(2024, 12, 11), 0));
    EXPECT_EQ(matrix.GetStraightLineFlag(), 1);
    EXPECT_EQ(matrix.GetDate(), trv::OleDate(2024, 12, 11));
    EXPECT_NEAR(matrix.Cell(0, 1).km, 111.3, 0.05);
    EXPECT_EQ(matrix.Cell(0, 1).minutes, 95);
    EXPECT_EQ(matrix.Cell(1, 0).km, matrix.Cell(0, 1).km);
    EXPECT_EQ(matrix.Cell(0, 0).km, 0.0f);
    // The node without coordinates: 0 km, 0 minutes in its row and its column.
    for (int other = 0; other < 3; ++other) {
        EXPECT_EQ(matrix.Cell(2, other).km, 0.0f);
        EXPECT_EQ(matrix.Cell(other, 2).minutes, 0);
    }

    // Speeds of 0: 1 km/h.
    Speeds("0", "0");
    FillStraightLineMatrix(matrix, classNodes);
    EXPECT_EQ(matrix.Cell(0, 1).minutes, static_cast<int>(matrix.Cell(0, 1).km * 60.0));

    // One node: one cell of 0 km and 0 minutes.
    CDistancesArray single;
    ActualizaDistanciasEuclideas(single, nullptr, 1, {0}, trv::OleDate(), 0);
    EXPECT_EQ(single.Cell(0, 0).km, 0.0f);
    EXPECT_EQ(single.Cell(0, 0).minutes, 0);

    // Switched off: a zero matrix of the right size.
    UserParameters().EuclideanInEffect = 0;
    ActualizaDistanciasEuclideas(matrix, nullptr, 3, classNodes, trv::OleDate(), 0);
    EXPECT_EQ(matrix.GetNodeCount(), 3);
    EXPECT_EQ(matrix.Cell(0, 1).km, 0.0f);
    EXPECT_EQ(matrix.GetStraightLineFlag(), 0);
}

TEST_F(StraightLineTest, FillDoesNotDependOnTheThreadCount)
{
    std::vector<TStraightLinePoint> points;
    for (int node = 0; node < 300; ++node)
        points.push_back(
            {299 - node, -9.0 + (node * 37 % 300) * 0.05, 36.0 + (node * 53 % 300) * 0.03});
    points[17].x = 12345678.0;
    CDistancesArray first;
    CDistancesArray second;
    first.Allocate(300);
    second.Allocate(300);
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    FillStraightLineRows(first, points, 70.0);
    omp_set_num_threads(4);
    FillStraightLineRows(second, points, 70.0);
    omp_set_num_threads(threads);
    EXPECT_EQ(
        std::memcmp(first.Cells(), second.Cells(), first.GetCellCount() * sizeof(TDistanceCell)),
        0);
}

TEST_F(StraightLineTest, RescalingScalesKmFromTheCurrentFactor)
{
    const std::vector<int> classNodes = Nodes({{0.0, 0.0}, {1.0, 0.0}});
    CDistancesArray matrix;
    matrix.Allocate(2);
    matrix.SetCell(0, 1, {100.0f, 1});
    matrix.SetCell(1, 0, {100.0f, 1});
    UserParameters().FactorDistanciasEuclideas = 1.0f;
    CBoolTable skip;
    skip.Create(2, 2);
    skip.SetBit(1, 0); // i = 1, j = 0 left alone
    RescaleStraightLineMatrix(2, matrix, &skip, 60.0, 1.0);
    EXPECT_EQ(matrix.Cell(0, 1).km, 100.0f);
    EXPECT_EQ(matrix.Cell(0, 1).minutes, 100);
    EXPECT_EQ(matrix.Cell(1, 0).minutes, 1);
    UserParameters().FactorDistanciasEuclideas = 0.0f; // taken as 1
    EXPECT_EQ(RescaleStraightLineCell(matrix, 0, 1, 0.0, 1.2), 7200);
    EXPECT_FLOAT_EQ(matrix.Cell(0, 1).km, 120.0f);
}

TEST_F(StraightLineTest, NodeCheckAcceptsEveryNodeWhenSwitchedOn)
{
    CSchNodesList nodes;
    nodes.GetOrCreateNode(1)->postcode = "X";
    CCheckedNodesList checked;
    EXPECT_EQ(CheckNodesStraightLine(nodes, checked), 1);
    ASSERT_EQ(checked.GetSize(), 2);
    EXPECT_TRUE(checked.IsChecked(0));
    EXPECT_EQ(checked.GetNode(1)->postcode, "X");
    UserParameters().EuclideanInEffect = 0;
    CCheckedNodesList none;
    EXPECT_EQ(CheckNodesStraightLine(nodes, none), 1);
    EXPECT_EQ(none.GetSize(), 0);
}

TEST_F(StraightLineTest, RoutingConfigurationReadsConfigIni)
{
    TRoutingConfiguration configuration;
    configuration.Read();
    EXPECT_EQ(configuration.method, 1);
    EXPECT_EQ(configuration.nodeGraphPath, (program.Path() / "grafo.grf").string());
    program.Write("Config.ini",
                  "[Connection]\nMethode=Other\n[Configuration]\nNodeGraphPath=/data/g.grf\n");
    trv::ClearProfileCache();
    configuration.Read();
    EXPECT_EQ(configuration.method, 0);
    EXPECT_EQ(configuration.nodeGraphPath, "/data/g.grf");
    EXPECT_EQ(configuration.reserved, 0);
}

} // namespace
