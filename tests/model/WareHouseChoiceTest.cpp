// The tables an optimiser start builds to choose loading warehouses: allowed origins per order
// and the warehouses ranked by detour for every node, order and pair row.

#include "model/WareHouseChoice.h"

#include "CleanModelTest.h"
#include "model/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

// Nodes on a line: the km between two nodes is the gap between their positions. Nodes at or
// beyond `heldNodes` have no place in the matrices.
class CLineDistances : public CModelDistances
{
  public:
    bool MatricesExist() const override { return true; }
    bool GetKmAndMinutes(int from, int to, float& km, int& minutes) const override
    {
        if (from < 0 || to < 0 || from >= heldNodes || to >= heldNodes)
            return false;
        km = static_cast<float>(std::abs(Position(from) - Position(to)));
        minutes = 0;
        return true;
    }
    int FindSpeedLevel(int) const override { return -1; }
    int GetFirstMatrixNodeCount() const override { return nodes; }

    static int Position(int node) { return node * 37 % 101; }

    int nodes = 0;
    int heldNodes = 1 << 30;
};

// Pair row r rejects warehouse r % masks - 1 (rows of class 0 reject none).
class CRowRejections : public CPairWarehouseRejections
{
  public:
    int GetWarehouseCount() const override { return wareHouses; }
    bool IsRejected(int row, int wareHouse) const override
    {
        return row % masks != 0 && wareHouse == row % masks - 1;
    }
    int wareHouses = 0;
    int masks = 1;
};

class WareHouseChoiceTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        ResetResources();
        ModelContext().distances = &distances;
        Resources().warehouseRejections = &rejections;
        UserParameters().LoadingProblem = 3;
    }
    void TearDown() override
    {
        ResetResources();
        CleanModelTest::TearDown();
    }

    void Build(int nodes, int orders, int pairs, int masks, int wareHouses)
    {
        distances.nodes = nodes;
        rejections.wareHouses = wareHouses;
        rejections.masks = masks;
        for (int w = 0; w < wareHouses; ++w)
            ModelContext().wareHouses.AddWareHouse()->location.nodeIndex = (w * 7 + 3) % nodes;
        for (int o = 0; o < orders; ++o) {
            COrder* order = ModelContext().orders.AddOrder();
            order->plan.index = o;
            order->customer.location.nodeIndex = (o * 13 + 1) % nodes;
        }
        for (int r = 0; r < pairs; ++r) {
            auto* pair = new CLorryDriver(nullptr, nullptr);
            pair->row = r;
            // The pairs need no vehicles here: only their rows and masks are read.
            static_cast<CSmartPtrArray<CLorryDriver>&>(Resources().pairs).Add(pair);
        }
    }

    // The ranking as the warehouses' detours give it, computed the plain way.
    std::vector<int> DirectRanking(int node, int order, int row) const
    {
        const int delivery = ModelContext().orders[order]->customer.location.nodeIndex;
        std::vector<int> ranked;
        const int count = ModelContext().wareHouses.GetSize();
        std::vector<float> keys(static_cast<std::size_t>(count));
        for (int w = count - 1; w >= 0; --w) {
            const int at = ModelContext().wareHouses[w]->location.nodeIndex;
            float toWareHouse = 0;
            float toDelivery = 0;
            int minutes = 0;
            if (delivery < 0 || at < 0 || rejections.IsRejected(row, w) ||
                !distances.GetKmAndMinutes(node, at, toWareHouse, minutes) ||
                !distances.GetKmAndMinutes(at, delivery, toDelivery, minutes))
                continue;
            keys[static_cast<std::size_t>(w)] = toWareHouse + toDelivery;
            ranked.push_back(w);
        }
        std::stable_sort(ranked.begin(), ranked.end(), [&](int a, int b) {
            return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
        });
        ranked.resize(static_cast<std::size_t>(std::max(1, count)), -1);
        return ranked;
    }

    static std::vector<int> Lookup(int node, int order, int row)
    {
        const CRankedWareHouses list =
            ModelContext().wareHouses.GetNearnessTable().GetRanked(node, order, row);
        std::vector<int> slots;
        for (int i = 0; i < list.GetSize(); ++i)
            slots.push_back(list[i]);
        return slots;
    }

    CLineDistances distances;
    CRowRejections rejections;
};

TEST_F(WareHouseChoiceTest, OrdersLoadAtTheirLinesCommonWarehousesOrAnywhere)
{
    Build(10, 3, 1, 1, 4);
    ModelContext().orders[1]->lines.commonWarehouses.Add(2);
    ModelContext().orders[2]->lines.commonWarehouses.Add(0);
    ModelContext().orders[2]->lines.commonWarehouses.Add(9); // no such warehouse
    BuildOrderWarehouseMatrix();
    const CBoolTable& matrix = ModelContext().orderWarehouseMatrix;
    ASSERT_EQ(matrix.GetColumns(), 4);
    ASSERT_EQ(matrix.GetRows(), 3);
    const int expected[3][4] = {{1, 1, 1, 1}, {0, 0, 1, 0}, {1, 0, 0, 0}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(matrix.GetBit(column, row), expected[row][column]) << row << "," << column;
}

TEST_F(WareHouseChoiceTest, TheTableIsBuiltOnlyWhenSomeOrderHasNoFixedWarehouse)
{
    struct Case
    {
        const char* name;
        int loadingProblem;
        int kind;           // of every order
        int warehouseIndex; // of every order
        int copyNode;       // node of every order's own warehouse
        bool built;
    };
    const Case cases[] = {
        {"no loading problem", 0, ORDER_DELIVERY, -1, -1, false},
        {"own warehouses", 2, ORDER_DELIVERY, -1, -1, false},
        {"no warehouse index", 3, ORDER_DELIVERY, -1, 5, true},
        {"warehouse index", 3, ORDER_DELIVERY, 1, 5, false},
        {"every order loose", 3, ORDER_DELIVERY_LOOSE, -1, -1, false},
        {"copy without node", 4, ORDER_COLLECTION, 1, -1, true},
        {"copy with node", 5, ORDER_DELIVERY, 1, 5, false},
        {"other loading problem", 1, ORDER_DELIVERY, 1, 5, true},
    };
    Build(10, 3, 2, 1, 3);
    for (const Case& c : cases) {
        UserParameters().LoadingProblem = c.loadingProblem;
        for (COrder* order : ModelContext().orders) {
            order->plan.kind = c.kind;
            order->plan.warehouseIndex = c.warehouseIndex;
            order->wareHouse.location.nodeIndex = c.copyNode;
        }
        ResetWareHouseGlobals();
        EXPECT_EQ(ModelContext().wareHouses.GetNearnessTable().GetCount(), c.built ? 10 : 0)
            << c.name;
    }
}

TEST_F(WareHouseChoiceTest, ListsRankByDetourWithoutRejectedOrUnplacedWarehouses)
{
    // Node positions: 0 → 0, 1 → 37, 2 → 74, 3 → 10.
    Build(4, 2, 2, 2, 3);
    ModelContext().wareHouses[0]->location.nodeIndex = 1;
    ModelContext().wareHouses[1]->location.nodeIndex = 1; // the same detour as warehouse 0
    ModelContext().wareHouses[2]->location.nodeIndex = 2;
    ModelContext().orders[0]->customer.location.nodeIndex = 3;
    ModelContext().orders[1]->customer.location.nodeIndex = -1;
    ResetWareHouseGlobals();
    EXPECT_EQ(Lookup(0, 0, 0), (std::vector<int>{1, 0, 2}));    // equal detours: higher first
    EXPECT_EQ(Lookup(0, 0, 1), (std::vector<int>{1, 2, -1}));   // row 1 rejects warehouse 0
    EXPECT_EQ(Lookup(0, 1, 0), (std::vector<int>{-1, -1, -1})); // no delivery node
    EXPECT_EQ(Lookup(4, 0, 0), std::vector<int>{});             // outside the table
    EXPECT_EQ(Lookup(0, 0, 2), std::vector<int>{});

    ModelContext().wareHouses[1]->location.nodeIndex = -1;
    distances.heldNodes = 3; // node 3, the delivery, is not in the matrices
    ResetWareHouseGlobals();
    EXPECT_EQ(Lookup(0, 0, 0), (std::vector<int>{-1, -1, -1}));
    distances.heldNodes = 1 << 30;
    ResetWareHouseGlobals();
    EXPECT_EQ(Lookup(0, 0, 0), (std::vector<int>{0, 2, -1}));

    // Emptying the warehouses frees the table.
    ModelContext().wareHouses.RemoveAll();
    EXPECT_EQ(ModelContext().wareHouses.GetNearnessTable().GetCount(), 0);
}

TEST_F(WareHouseChoiceTest, StoredAndOnDemandListsMatchADirectRanking)
{
    // The size an optimiser start meets: it fits the budget in bytes.
    Build(2000, 1000, 200, 4, 10);
    ModelContext().wareHouses[4]->location.nodeIndex = -1;
    ModelContext().orders[7]->customer.location.nodeIndex = -1;
    EXPECT_LE(CWareHouseNearnessTable::StoredBytes(2000, 1000, 4, 10),
              CWareHouseNearnessTable::kStoredBudgetBytes);
    for (const std::size_t budget : {CWareHouseNearnessTable::kStoredBudgetBytes, std::size_t{0}}) {
        ResetWareHouseGlobals(budget);
        const CWareHouseNearnessTable& table = ModelContext().wareHouses.GetNearnessTable();
        ASSERT_EQ(table.GetCount(), 2000);
        EXPECT_EQ(table.IsStored(), budget > 0);
        for (int node = 0; node < 2000; node += 67)
            for (int order = 0; order < 1000; order += 31)
                for (int row = 0; row < 200; row += 13)
                    ASSERT_EQ(Lookup(node, order, row), DirectRanking(node, order, row))
                        << node << " " << order << " " << row << " budget " << budget;
        ASSERT_EQ(Lookup(5, 7, 0), std::vector<int>(10, -1));
    }
}

} // namespace
