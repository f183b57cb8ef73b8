#include "model/Tanks.h"

#include "CleanModelTest.h"
#include "model/ModelContext.h"
#include "model/Trailer.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

namespace {

using TanksTest = CleanModelTest;

std::vector<std::vector<int>> Combinations(const CTankCombinations& table, int size)
{
    std::vector<std::vector<int>> all;
    for (int i = 0; i < table.GetCount(size); ++i)
        all.emplace_back(table.Get(size, i), table.Get(size, i) + size);
    return all;
}

void AddTanks(CTanks& tanks, std::initializer_list<float> capacities, int value = 0)
{
    for (const float capacity : capacities)
        tanks.AddTank(capacity, value);
}

TEST_F(TanksTest, TanksStayOrderedByCapacityWithTheirEntryOrder)
{
    CTanks tanks;
    AddTanks(tanks, {3000, 5000, 3000});
    std::vector<float> capacities;
    for (const CTank* tank : tanks)
        capacities.push_back(tank->capacity);
    EXPECT_EQ(capacities, (std::vector<float>{3000, 3000, 5000}));
    const CSmartWordArray& order = tanks.GetEntryOrder();
    EXPECT_EQ(std::vector<int>(order.begin(), order.end()), (std::vector<int>{0, 2, 1}));
}

TEST_F(TanksTest, EqualTanksUseAWholePercentTolerance)
{
    struct Case
    {
        int percent;
        std::vector<float> capacities;
        bool equal;
    } cases[] = {
        {10, {5000, 5200}, false}, // 10 / 100 is 0: only exact equality counts
        {100, {5000, 5200}, true},
        {100, {1000, 9000, 200}, true},
        {0, {4000, 4000}, true},
    };
    for (const Case& c : cases) {
        UserParameters().EqualTanksPerCent = c.percent;
        CTanks tanks;
        for (const float capacity : c.capacities)
            tanks.AddTank(capacity, 0);
        EXPECT_EQ(tanks.AreEqual(), c.equal) << c.percent;
    }
}

TEST_F(TanksTest, CombinationsGrowByTotalCapacityAndBigTankTablesLeadWithIt)
{
    CTanks tanks;
    tanks.AddTank(1000, 0);
    tanks.AddTank(2000, 0);
    tanks.AddTank(3000, 0);
    tanks.Prepare(0);
    EXPECT_EQ(tanks.GetBigTank(), -1);
    EXPECT_EQ(Combinations(tanks.GetCombinations(), 2),
              (std::vector<std::vector<int>>{{0, 1}, {0, 2}, {1, 2}}));
    EXPECT_EQ(tanks.GetBigTankCombinations().GetCount(1), 0);

    // A value of 999999 is an ordinary tank, 1000000 the big one.
    tanks.Clear();
    tanks.AddTank(1000, 0);
    tanks.AddTank(2000, kBigTankValue);
    tanks.AddTank(3000, kBigTankValue - 1);
    tanks.Prepare(0);
    EXPECT_EQ(tanks.GetBigTank(), 1);
    EXPECT_EQ(Combinations(tanks.GetBigTankCombinations(), 2),
              (std::vector<std::vector<int>>{{1, 0}, {1, 2}}));
    EXPECT_EQ(Combinations(tanks.GetBigTankCombinations(), 1),
              (std::vector<std::vector<int>>{{1}}));
}

TEST_F(TanksTest, SixteenTanksGiveEveryCombinationAndASeventeenthIsRefused)
{
    CTanks tanks;
    for (int i = 0; i < kMaxTanks; ++i)
        ASSERT_GE(tanks.AddTank(1000.0f + static_cast<float>(i % 5) * 100.0f, 0), 0);
    EXPECT_EQ(tanks.AddTank(500, 0), -1);
    EXPECT_EQ(tanks.GetSize(), kMaxTanks);
    EXPECT_EQ(tanks.GetRefusedCount(), 1);
    tanks.BuildCombinations();
    // C(16, k), the largest being 12870 at k = 8, which 32-bit factorials cannot give.
    const int binomials[17] = {1,     16,   120,  560,  1820, 4368, 8008, 11440, 12870,
                               11440, 8008, 4368, 1820, 560,  120,  16,   1};
    for (int k = 1; k <= kMaxTanks; ++k) {
        ASSERT_EQ(tanks.GetCombinations().GetCount(k), binomials[k]) << k;
        // Each combination is k distinct positions and totals never decrease.
        float previous = 0;
        for (int i = 0; i < tanks.GetCombinations().GetCount(k); ++i) {
            const uint8_t* entry = tanks.GetCombinations().Get(k, i);
            float total = 0;
            for (int j = 0; j < k; ++j)
                total += tanks[entry[j]]->capacity;
            ASSERT_GE(total, previous);
            previous = total;
        }
    }
}

TEST_F(TanksTest, InitialGroupsNeedOneCountPerTank)
{
    CTanks tanks;
    AddTanks(tanks, {1000, 2000});
    auto ints = [](std::initializer_list<int> values) {
        CSmartIntArray array;
        for (const int value : values)
            array.Add(value);
        return array;
    };
    tanks.SetInitialGroups(ints({1, 2}), 2, ints({7, 8, 9}), ints({4, 5}));
    ASSERT_EQ(tanks.GetInitialGroupsPerTank().size(), 2u);
    EXPECT_EQ(tanks.GetInitialGroupsPerTank()[1].GetSize(), 2);
    EXPECT_EQ(tanks.GetInitialGroupsPerTank()[1][1], 9);
    EXPECT_EQ(tanks.GetInitialGroupPerTank()[0], 4);

    for (const CSmartIntArray& counts : {ints({1}), ints({1, 1, 1}), ints({-1, 1})}) {
        tanks.SetInitialGroups(counts, 1, ints({7, 8}), ints({4, 5}));
        EXPECT_EQ(tanks.GetInitialGroupsPerTank()[0].GetSize(), 0);
        EXPECT_EQ(tanks.GetInitialGroupPerTank()[0], 0);
    }
    tanks.SetInitialGroups(ints({1, 1}), 2, ints({-1, 8}), ints({4, 5}));
    EXPECT_EQ(tanks.GetInitialGroupsPerTank()[1].GetSize(), 0);
}

TEST_F(TanksTest, LoadTexts)
{
    CTanks tanks;
    AddTanks(tanks, {3000, 5000, 6000});
    tanks.AddInitialLoadLine("A", 5000, true);
    tanks.AddInitialLoadLine("B", 3000, true);
    tanks.AddInitialLoadLine("", 0, false);
    EXPECT_EQ(tanks.GetInitialText(), "5000 (A), 3000 (B)");

    tanks.CopyInitialLines();
    COrderLine unloadedA;
    unloadedA.productName = "A";
    COrderLine unloadedB;
    unloadedB.productName = "B";
    CProductsInTank tank;
    tank.AddLine(&unloadedA, 5000); // all of A
    tank.AddLine(&unloadedB, 1000);
    EXPECT_EQ(tank.GetText(), "5000 A, 1000 B");
    EXPECT_EQ(tanks.GetRemainingText(tank), "2000 (B)");
    CProductsInTank nothing;
    EXPECT_EQ(tanks.GetRemainingText(nothing), "5000 (A), 3000 (B)");
}

// Thresholds by (vehicle type, group, next group).
class FakeMatrices : public CConditionedIncompatibilities
{
  public:
    bool HasMatrix(int type) const override { return type == 5; }
    std::optional<float> GetThreshold(int type, int group, int nextGroup) const override
    {
        const auto found = cells.find({type, group, nextGroup});
        if (found == cells.end())
            return std::nullopt;
        return found->second;
    }
    std::map<std::tuple<int, int, int>, float> cells;
};

CTrailer TwoTankTrailer(int hoses)
{
    CTrailer trailer;
    trailer.hoseCount = hoses;
    trailer.alternativeResourceType = 5;
    trailer.tankLastUnloadGroups.Add(0);
    trailer.tankLastUnloadGroups.Add(1);
    trailer.tankLastUnloadQuantities.Add(100);
    trailer.tankLastUnloadQuantities.Add(200);
    return trailer;
}

TEST_F(TanksTest, HosesAreAssignedInTheOrderTheMatrixAsks)
{
    // One hose for two tanks: the tank assigned last holds it.
    struct Case
    {
        std::map<std::tuple<int, int, int>, float> cells;
        int hose;
    } cases[] = {
        {{{{5, 0, 1}, 500.0f}}, 1},                     // 100 below 500: ascending
        {{{{5, 1, 0}, 500.0f}}, 0},                     // only the reverse holds: descending
        {{{{5, 0, 1}, 50.0f}, {{5, 1, 0}, 40.0f}}, 1},  // both cells: larger first, ascending
        {{{{5, 0, 1}, 50.0f}, {{5, 1, 0}, 400.0f}}, 0}, // both cells, the second larger
        {{}, 1},                                        // no cells: ascending
    };
    FakeMatrices matrices;
    ModelContext().conditionedIncompatibilities = &matrices;
    for (const Case& c : cases) {
        matrices.cells = c.cells;
        CTrailer trailer = TwoTankTrailer(1);
        trailer.unloadedGroups.Init(trailer);
        EXPECT_EQ(trailer.unloadedGroups.hoseAssignment, (std::vector<int>{c.hose}));
    }

    // Enough hoses: tank i on hose i, matrices or not.
    CTrailer enough = TwoTankTrailer(2);
    enough.unloadedGroups.Init(enough);
    EXPECT_EQ(enough.unloadedGroups.hoseAssignment, (std::vector<int>{0, 1}));

    ModelContext().conditionedIncompatibilities = nullptr;
    CTrailer without = TwoTankTrailer(1);
    without.unloadedGroups.Init(without);
    EXPECT_EQ(without.unloadedGroups.hoseAssignment, (std::vector<int>{-1}));
}

TEST_F(TanksTest, FindHoseTakesAFreeOrMatchingHoseAndHonoursFixedHoses)
{
    CTrailer trailer;
    trailer.hoseCount = 2;
    trailer.hoseGroups[0] = 7;
    trailer.hoseGroups[1] = 3;
    trailer.tankLastTripGroups.Add(2);
    CInfoGruposProductosDescargados& info = trailer.unloadedGroups;
    info.Init(trailer);
    EXPECT_EQ(info.groupsPresent, (std::vector<int>{0, 0, 1}));

    int position = -5;
    EXPECT_TRUE(info.FindHose(3, position));
    EXPECT_EQ(position, 1); // the hose dedicated to group 3
    EXPECT_TRUE(info.FindHose(9, position));
    EXPECT_EQ(position, 0);

    info.hoseAssignment = {4, 5};
    EXPECT_TRUE(info.FindHose(5, position));
    EXPECT_EQ(position, 1);
    position = -5;
    EXPECT_FALSE(info.FindHose(6, position));
    EXPECT_EQ(position, -5);
}

} // namespace
