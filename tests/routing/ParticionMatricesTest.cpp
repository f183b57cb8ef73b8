#include "routing/ParticionMatrices.h"

#include "../KLV/TraceCapture.h"
#include "TempFolder.h"
#include "model/Locations.h"
#include "params/Parameters.h"
#include "routing/PlanLocations.h"
#include "routing/SchNodesList.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace {

// A plan of orders (one delivery each) and pairs (a truck base each), with a rejection table.
class FakePlan : public CPlanLocations
{
  public:
    FakePlan(int orders, int pairs) : deliveries(orders), bases(pairs) {}

    int GetOrderCount() const override { return static_cast<int>(deliveries.size()); }
    void GetOrderDeliveries(int order, std::vector<TLocationData*>& locations) override
    {
        locations.push_back(&deliveries[static_cast<std::size_t>(order)]);
    }
    TLocationData* GetOrderOrigin(int) override { return nullptr; }
    int GetPairCount() const override { return static_cast<int>(bases.size()); }
    TPairLocations GetPairLocations(int pair) override
    {
        TPairLocations locations;
        locations.truckBase = &bases[static_cast<std::size_t>(pair)];
        return locations;
    }
    uint32_t GetRejectionMask(int order, int pair) const override
    {
        const auto found = masks.find({order, pair});
        return found == masks.end() ? 4u : found->second; // rejected unless said otherwise
    }
    int GetWarehouseCount() const override { return 0; }
    TLocationData* GetWarehouseLocation(int) override { return nullptr; }

    void Allow(int order, int pair, uint32_t mask = 0) { masks[{order, pair}] = mask; }

    std::deque<TLocationData> deliveries;
    std::deque<TLocationData> bases;
    std::map<std::pair<int, int>, uint32_t> masks;
};

class ParticionMatricesTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetUserParameters();
        UserParameters().PartirMatricesDistancias = 1;
    }
    void TearDown() override { ResetUserParameters(); }

    std::vector<std::vector<int>> ClassOrders(const CClasificacionNodos& partition) const
    {
        std::vector<std::vector<int>> orders;
        for (int position = 0; position < partition.GetClassCount(); ++position)
            orders.push_back(partition.GetClass(position)->orders);
        return orders;
    }
};

TEST_F(ParticionMatricesTest, ClassesAreTheConnectedGroupsOfPairsAndOrders)
{
    FakePlan plan(3, 4);
    plan.Allow(0, 0);
    plan.Allow(1, 1, 0x100); // order not located still links
    plan.Allow(2, 1, 0x200); // pair not located too
    plan.Allow(0, 2);        // pair 2 links order 0 (class 0) and order 1 (class 1)
    plan.Allow(1, 2);
    // Pair 3 is rejected by every order (4 = NoFit, 0x300 both not-located bits at once).
    plan.Allow(2, 3, 0x300);

    CClasificacionNodos partition;
    partition.SeparaEnEquivalentes(plan);
    ASSERT_EQ(partition.GetClassCount(), 2);
    EXPECT_EQ(partition.GetClass(0)->pairs, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(partition.GetClass(0)->orders, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(partition.GetClass(1)->pairs, (std::vector<int>{3}));
    EXPECT_TRUE(partition.GetClass(1)->orders.empty());

    partition.AsignaMatrizPedido(plan);
    EXPECT_EQ(partition.GetOrderClass(2), 0);
    EXPECT_EQ(partition.GetPairClass(3), 1);

    // Without partitioning every pair meets every order: one class.
    UserParameters().PartirMatricesDistancias = 0;
    partition.SeparaEnEquivalentes(plan);
    EXPECT_EQ(ClassOrders(partition), (std::vector<std::vector<int>>{{0, 1, 2}}));
}

TEST_F(ParticionMatricesTest, ADepotOfTwoClassesGetsAnIndexOfItsOwnInTheSecond)
{
    FakePlan plan(2, 2);
    plan.Allow(0, 0);
    plan.Allow(1, 1);
    CSchNodesList nodes;
    for (int node = 0; node < 3; ++node) {
        CNode* point = nodes.GetOrCreateNode(node);
        point->x = node;
        point->y = 40;
        point->postcode = "P" + std::to_string(node);
    }
    plan.deliveries[0].nodeIndex = 1;
    plan.deliveries[1].nodeIndex = 2;
    plan.bases[0].nodeIndex = 0; // both trucks start at node 0
    plan.bases[1].nodeIndex = 0;

    CClasificacionNodos partition;
    partition.SeparaEnEquivalentes(plan);
    partition.AsignaMatrizPedido(plan);
    ASSERT_EQ(partition.GetClassCount(), 2);
    partition.RegeneraINodeNumber(plan, nodes, true);
    EXPECT_EQ(plan.bases[0].nodeIndex, 0);
    EXPECT_EQ(plan.bases[1].nodeIndex, 3);
    EXPECT_EQ(plan.deliveries[1].nodeIndex, 2);
    ASSERT_EQ(nodes.GetMaxIndex(), 3);
    EXPECT_EQ(nodes.GetNode(3)->postcode, "P0");
    EXPECT_EQ(nodes.GetNode(3)->state, CNode::STATE_ADDED);
    EXPECT_EQ(nodes.FindPoint(0, 40), 0);

    // One matrix over the located nodes; a node without coordinates gets no entry.
    nodes.GetOrCreateNode(5); // slot 4 empty, node 5 not located
    partition.SetSingleMatrixTranslation(nodes);
    for (int node = 0; node < 4; ++node) {
        EXPECT_EQ(partition.FindEntry(node).matrixClass, 0);
        EXPECT_EQ(partition.FindEntry(node).row, node);
    }
    EXPECT_FALSE(partition.FindEntry(4).Exists());
    EXPECT_FALSE(partition.FindEntry(5).Exists());
    EXPECT_EQ(*partition.GetClassNodes(0), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(partition.GetClassNodes(1)->empty());
    EXPECT_EQ(partition.GetClassLastRow(1), 5);
    EXPECT_EQ(partition.GetClassNodes(2), nullptr);
}

TEST_F(ParticionMatricesTest, TranslationFileRoundTripsAndSkipsEmptyEntries)
{
    TraceCapture trace(1);
    const std::string path = (trace.Folder() / "plan.ttm").string();
    trv::test::WriteFileBytes(path, "0\t0\n-1\t-1\n0\t2\r\n\n0\t9\n");
    CClasificacionNodos partition;
    ASSERT_TRUE(partition.Load(path));
    EXPECT_EQ(partition.FindEntry(0).row, 0);
    EXPECT_FALSE(partition.FindEntry(1).Exists());
    EXPECT_EQ(partition.FindEntry(2).row, 2);
    EXPECT_FALSE(partition.FindEntry(3).Exists()); // reading stops at the empty line
    ASSERT_TRUE(partition.Save(path));
    EXPECT_EQ(trv::test::ReadFileBytes(path), "0\t0\n-1\t-1\n0\t2\n");

    trv::test::EnvironmentOverride temporary("TMPDIR", trace.Folder().string());
    ASSERT_TRUE(partition.Init((trace.Folder() / "plan.pln").string()));
    EXPECT_FALSE(partition.Init((trace.Folder() / "none.pln").string()));
    EXPECT_FALSE(partition.FindEntry(0).Exists());
    const std::vector<std::string> messages = trace.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].find("tabla de traduccion"), std::string::npos);
}

} // namespace
