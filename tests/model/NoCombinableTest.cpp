// Non-combinable rules: the matrices they give over the orders, and the plan's files that keep
// the rules or the matrices.

#include "model/NoCombinable.h"

#include "../KLV/TraceCapture.h"
#include "CleanModelTest.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "model/ModelContext.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct TCustomer
{
    int index;
    TMapPoint place;
};

// X and Y far apart, Z 150 m from X, W far from both.
const TCustomer X{0, {-3.70, 40.40}};
const TCustomer Y{1, {2.17, 41.38}};
const TCustomer Z{2, {-3.701, 40.401}};
const TCustomer W{3, {0.0, 0.0}};

void AddOrder(const TCustomer& customer, int warehouse)
{
    COrder* order = ModelContext().orders.AddOrder();
    order->customer.location.codeIndex = customer.index;
    order->customer.location.coordinates.longitude = customer.place.longitude;
    order->customer.location.coordinates.latitude = customer.place.latitude;
    order->plan.warehouseIndex = warehouse;
}

// Every set bit as (type, matrix, column, row).
using Bits = std::vector<std::tuple<int, int, int, int>>;

Bits SetBits(const CNoCombinable& rules)
{
    Bits bits;
    for (int type = 0; type < 2; ++type)
        for (int k = 0; k < rules.GetMatrixCount(); ++k) {
            const CBoolTable& table = rules.GetMatrix(type, k);
            for (int row = 0; row < table.GetRows(); ++row)
                for (int column = 0; column < table.GetColumns(); ++column)
                    if (table.GetBit(column, row))
                        bits.emplace_back(type, k, column, row);
        }
    std::sort(bits.begin(), bits.end());
    return bits;
}

using NoCombinableTest = CleanModelTest;

TEST_F(NoCombinableTest, RulesMarkCustomersOnOppositeSidesAtOneWarehouse)
{
    struct Case
    {
        const char* name;
        std::vector<std::pair<TCustomer, int>> orders; // customer, warehouse
        TCustomer point1;
        double radius1;
        TCustomer point2;
        double radius2;
        int type;
        int active;
        Bits expected;
    } cases[] = {
        {"points on X and Y",
         {{X, 0}, {Y, 0}, {X, 1}, {Y, 1}, {X, 2}, {Z, 0}, {X, -1}},
         X,
         0,
         Y,
         0,
         0,
         1,
         {{0, 0, 1, 0}, {0, 0, 0, 1}, {0, 1, 1, 0}, {0, 1, 0, 1}}},
        {"point 1 on Y, point 2 on X, type 1",
         {{X, 0}, {Y, 0}},
         Y,
         0,
         X,
         0,
         1,
         1,
         {{1, 0, 1, 0}, {1, 0, 0, 1}}},
        {"both customers near point 1 only", {{X, 0}, {Z, 0}}, X, 1, W, 0, 0, 1, {}},
        {"one customer's orders", {{X, 0}, {X, 0}}, X, 1, X, 1, 0, 1, {}},
        {"different warehouses", {{X, 0}, {Y, 1}, {X, 2}, {Y, -1}}, X, 0, Y, 0, 0, 1, {}},
        {"an inactive rule", {{X, 0}, {Y, 0}}, X, 0, Y, 0, 0, 0, {}},
        {"a rule of type 2", {{X, 0}, {Y, 0}}, X, 0, Y, 0, 2, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetModelContext();
        for (const auto& [customer, warehouse] : c.orders)
            AddOrder(customer, warehouse);
        CNoCombinable& rules = ModelContext().noCombinable;
        rules.InitMatrices(4, 3);
        rules.AddRule(c.point1.place, c.point2.place, c.radius1, c.radius2, c.type);
        rules.GetLastRule()->active = c.active;
        rules.CalculaNoCombinables();
        Bits expected = c.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(SetBits(rules), expected);
    }
}

TEST_F(NoCombinableTest, RadiusHoldsItsBoundAndThePointItself)
{
    // At 10.1 degrees the law of cosines puts a point 9.5 cm from itself.
    const TMapPoint tropic{5.0, 10.1};
    const double oneDegreeKm = 6378.0 * 0.017453292519943295;
    struct Case
    {
        TMapPoint point;
        TMapPoint centre;
        double radiusKm;
        bool inside;
    } cases[] = {
        {tropic, tropic, 0, true},
        {X.place, X.place, 0, true},
        {{0, 1}, {0, 0}, oneDegreeKm * 1.000001, true},
        {{0, 1}, {0, 0}, oneDegreeKm * 0.999999, false},
        {Z.place, X.place, 0, false},
        {X.place, X.place, -1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CNoCombinable::IsInRadius(c.point, c.centre, c.radiusKm), c.inside)
            << c.point.latitude << " " << c.radiusKm;
}

// Adding a rule applies that rule alone, at once; recomputing gives the same bits.
TEST_F(NoCombinableTest, AddedRuleAppliesAtOnce)
{
    AddOrder(X, 0);
    AddOrder(Y, 0);
    AddOrder(W, 0);
    CNoCombinable& rules = ModelContext().noCombinable;
    rules.InitMatrices(4, 1);
    rules.AddRule(X.place, W.place, 0, 0, 1);
    EXPECT_TRUE(rules.IsNonCombinable(1, 0, X.index, W.index));
    EXPECT_FALSE(rules.IsNonCombinable(0, 0, X.index, W.index));
    const Bits once = SetBits(rules);
    rules.CalculaNoCombinables();
    EXPECT_EQ(SetBits(rules), once);

    EXPECT_EQ(rules.RemoveRuleById(7), 0);
    rules.GetLastRule()->id = 7;
    EXPECT_EQ(rules.FindRuleById(7), rules.GetLastRule());
    EXPECT_EQ(rules.RemoveRuleById(7), 1);
    EXPECT_EQ(rules.GetLastRule(), nullptr);
}

// The grouped computation gives the bits of every ordered pair of orders.
TEST_F(NoCombinableTest, GroupedComputationMatchesThePairwiseWalk)
{
    std::minstd_rand random(11);
    std::uniform_real_distribution<double> longitude(-4.0, -3.0);
    std::uniform_real_distribution<double> latitude(40.0, 41.0);
    std::vector<TCustomer> customers;
    for (int c = 0; c < 60; ++c)
        customers.push_back({c, {longitude(random), latitude(random)}});
    for (int o = 0; o < 400; ++o)
        AddOrder(customers[random() % customers.size()], static_cast<int>(random() % 4) - 1);
    CNoCombinable& rules = ModelContext().noCombinable;
    rules.InitMatrices(60, 3);
    std::uniform_real_distribution<double> radius(0.0, 25.0);
    for (int r = 0; r < 12; ++r)
        rules.AddRule({longitude(random), latitude(random)}, {longitude(random), latitude(random)},
                      radius(random), radius(random), static_cast<int>(random() % 3));
    rules.CalculaNoCombinables();

    CNoCombinable walk;
    walk.InitMatrices(60, 3);
    const COrders& orders = ModelContext().orders;
    for (const COrder* i : orders)
        for (const COrder* j : orders) {
            const TLocationData& a = i->customer.location;
            const TLocationData& b = j->customer.location;
            if (a.codeIndex == b.codeIndex || i->plan.warehouseIndex != j->plan.warehouseIndex)
                continue;
            walk.ApplyRules(a.codeIndex, {a.coordinates.longitude, a.coordinates.latitude},
                            b.codeIndex, {b.coordinates.longitude, b.coordinates.latitude},
                            rules.GetRules(), std::max(0, i->plan.warehouseIndex));
        }
    const Bits bits = SetBits(rules);
    EXPECT_FALSE(bits.empty());
    EXPECT_EQ(bits, SetBits(walk));
}

// ---- The plan's files ---------------------------------------------------------------------------

class NoCombinablePlanTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        rules.SetDefinitionFile(std::string(TRV_PROGRAM_DIR) + "/Data.ini");
    }
    void TearDown() override
    {
        CFetch::ResetDefinitionFiles();
        CleanModelTest::TearDown();
    }

    static std::string Words(std::initializer_list<std::uint32_t> words)
    {
        std::string bytes;
        for (std::uint32_t word : words)
            for (int i = 0; i < 4; ++i)
                bytes += static_cast<char>(word >> (8 * i) & 0xFF);
        return bytes;
    }

    trv::test::TempFolder folder{"trv_noncombinable"};
    std::string plan = folder.File("plan");
    CNoCombinable rules;
};

TEST_F(NoCombinablePlanTest, RulesTravelInTheCcdefFileOnly)
{
    rules.InitMatrices(2, 1);
    rules.AddRule(X.place, Y.place, 0, 0, 0);
    rules.AddRule({-3.123456789, 40.5}, {2.25, 41.125}, 1.5, 30, 1);
    rules.GetLastRule()->active = 0;
    rules.GetLastRule()->id = 42;

    // Written and read where numbers take a decimal comma.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // made by tools/install-deps.sh
    ASSERT_EQ(rules.ExportToPlan(plan), 1);
    EXPECT_TRUE(std::filesystem::exists(plan + ".ccdef"));
    EXPECT_FALSE(std::filesystem::exists(plan + ".coc"));
    EXPECT_FALSE(std::filesystem::exists(plan + ".ccpen"));

    CNoCombinable back;
    back.SetDefinitionFile(std::string(TRV_PROGRAM_DIR) + "/Data.ini");
    EXPECT_EQ(back.ImportFromPlan(plan, 1), 1);
    std::setlocale(LC_NUMERIC, saved.c_str());
    ASSERT_EQ(back.GetRules().size(), 2u);
    const TNoCombinableRule& first = back.GetRules().front();
    EXPECT_DOUBLE_EQ(first.longitude1, X.place.longitude);
    EXPECT_DOUBLE_EQ(first.latitude2, Y.place.latitude);
    EXPECT_EQ(first.radius1Km, 0);
    EXPECT_EQ(first.active, 1);
    EXPECT_EQ(first.saved, 0);
    const TNoCombinableRule& second = back.GetRules().back();
    EXPECT_DOUBLE_EQ(second.longitude1, -3.123456789);
    EXPECT_DOUBLE_EQ(second.radius1Km, 1.5);
    EXPECT_EQ(second.rejectionType, 1);
    EXPECT_EQ(second.active, 0);
    EXPECT_EQ(second.id, 42);
}

TEST_F(NoCombinablePlanTest, BadRadiiAreDroppedWithATrace)
{
    folder.Write("plan.ccdef", "1;-3.7;40.4;2.17;41.38;0;0;0;1\n"
                               "2;-3.7;40.4;2.17;41.38;-1;5;0;1\n"
                               "3;-3.7;40.4;2.17;41.38;5;abc;0;1\n"
                               "4;-3.7;40.4;2.17;41.38;;5;0;1\n");
    TraceCapture trace;
    ASSERT_EQ(rules.ImportFromPlan(plan, 1), 1);
    ASSERT_EQ(rules.GetRules().size(), 1u);
    EXPECT_EQ(rules.GetRules().front().id, 1);
    const std::vector<std::string> lines = trace.Messages();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("dropped") != std::string::npos;
                            }),
              3);
}

TEST_F(NoCombinablePlanTest, WithoutRulesEachFamilyComesBackFromItsOwnFile)
{
    rules.InitMatrices(40, 3);
    rules.SetPairBit(1, 35, 0, 2);
    rules.SetPairBit(3, 4, 1, 0);
    ASSERT_EQ(rules.ExportToPlan(plan), 1);
    EXPECT_FALSE(std::filesystem::exists(plan + ".ccdef"));
    EXPECT_EQ(std::filesystem::file_size(plan + ".coc"), 4u + 3u * 4u * (2u + 2u * 40u));

    CNoCombinable back;
    back.SetDefinitionFile(std::string(TRV_PROGRAM_DIR) + "/Data.ini");
    ASSERT_EQ(back.ImportFromPlan(plan, 3), 1);
    EXPECT_EQ(SetBits(back), SetBits(rules));
    ASSERT_EQ(back.GetMatrixCount(), 3);
    EXPECT_EQ(back.GetMatrix(0, 1).GetColumns(), 40);

    // Another number of warehouses refuses the files; one accepts any count.
    EXPECT_EQ(back.ImportFromPlan(plan, 2), 0);
    EXPECT_EQ(back.GetMatrixCount(), 0);
    EXPECT_EQ(back.ImportFromPlan(plan, 1), 1);
    EXPECT_EQ(back.GetMatrixCount(), 3);
}

TEST_F(NoCombinablePlanTest, MatrixFilesAreReadOnlyWhenTheirNumbersFitTheirBytes)
{
    const std::string matrix = Words({1, 1, 3, 0x6, 0x5, 0x3}); // 3 x 3, a triangle
    struct Case
    {
        const char* name;
        std::string bytes;
        int expected;
        bool read;
    } cases[] = {
        {"one matrix", matrix, 1, true},
        {"two matrices", Words({2, 1, 2, 2, 1, 1, 2, 0, 0}), 2, true},
        {"count differs from the warehouses", Words({2, 1, 2, 2, 1, 1, 2, 0, 0}), 3, false},
        {"truncated", matrix.substr(0, matrix.size() - 4), 1, false},
        {"oversized", matrix + Words({0}), 1, false},
        {"odd length", matrix + "x", 1, false},
        {"words per row not from the rows", Words({1, 2, 3, 0, 0, 0, 0, 0, 0}), 1, false},
        {"a later matrix of another size", Words({2, 1, 2, 2, 1, 1, 1, 1, 0}), 2, false},
        {"rows beyond the bytes", Words({1, 67108864, 2147483647, 0}), 1, false},
        {"negative count", Words({0xFFFFFFFF, 1, 1, 0}), 1, false},
        {"empty", "", 1, false},
        {"older form: columns, rows, words", Words({3, 3, 0x6, 0x5, 0x3}), 1, true},
        {"older form needs one matrix", Words({3, 3, 0x6, 0x5, 0x3}), 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CBoolTable> matrices;
        const bool read = ReadNoCombinableMatrices(
            std::as_bytes(std::span(c.bytes.data(), c.bytes.size())), c.expected, matrices);
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(matrices.empty(), !c.read);
    }

    std::vector<CBoolTable> matrices;
    ASSERT_TRUE(ReadNoCombinableMatrices(std::as_bytes(std::span(matrix.data(), matrix.size())), 1,
                                         matrices));
    EXPECT_EQ(matrices[0].GetColumns(), 3);
    EXPECT_EQ(matrices[0].GetBit(1, 0), 1);
    EXPECT_EQ(matrices[0].GetBit(0, 0), 0);
    EXPECT_EQ(matrices[0].GetBit(0, 2), 1);

    // A file that is not accepted leaves the matrices released.
    folder.Write("plan.coc", matrix.substr(0, 8));
    folder.Write("plan.ccpen", matrix);
    rules.InitMatrices(3, 1);
    EXPECT_EQ(rules.ImportFromPlan(plan, 1), 0);
    EXPECT_EQ(rules.GetMatrixCount(), 0);
}

} // namespace
