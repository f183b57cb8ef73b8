#include "GenCircleProblem.h"
#include "KLV/Gen.h"
#include "KLV/GenEngine.h"
#include "KLV/GenRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

namespace {

using trv::test::CircleGen;
using trv::test::CircleProblem;
using Sequence = std::vector<unsigned short>;

Sequence Items(const TGen& gene)
{
    return Sequence(gene.GetItems(), gene.GetItems() + gene.GetLength());
}

Sequence Identity(int length)
{
    Sequence items(static_cast<std::size_t>(length));
    std::iota(items.begin(), items.end(), 0);
    return items;
}

Sequence Shuffled(int length, TGenRandom& random)
{
    Sequence items = Identity(length);
    for (int i = length - 1; i > 0; --i)
        std::swap(items[i], items[random.Next() * (i + 1) / 32768]);
    return items;
}

bool IsPermutation(Sequence items)
{
    std::sort(items.begin(), items.end());
    return items == Identity(static_cast<int>(items.size()));
}

// A stream whose first draw is below one half: CruceDosPuntos then restarts the second parent
// after the first parent's last kept item instead of at a random place.
TGenRandom StreamStartingLow()
{
    for (std::uint64_t seed = 1;; ++seed) {
        TGenRandom probe(seed);
        if (probe.Next() < 16384)
            return TGenRandom(seed);
    }
}

enum class ECrossover
{
    TwoPoints,
    TwoPointsBackwards,
    OnePoint,
    OnePointTail,
};

// The positions of the first parent a crossover keeps for (start, end); the one-point ones
// take start as their cut.
std::vector<int> KeptPositions(ECrossover kind, int length, int start, int end)
{
    std::vector<int> kept;
    int first = start;
    int last = end;
    if (kind == ECrossover::OnePoint) {
        first = 0;
        last = start - 1;
    } else if (kind == ECrossover::OnePointTail) {
        first = start + 1;
        last = length - 1;
    }
    for (int p = first; p <= last; ++p)
        kept.push_back(p);
    return kept;
}

void Cross(ECrossover kind, TGen& child, int start, int end, const TGen& p1, const TGen& p2)
{
    switch (kind) {
    case ECrossover::TwoPoints:
        child.CruceDosPuntos(start, end, p1, p2);
        break;
    case ECrossover::TwoPointsBackwards:
        child.CruceDosPuntosInverso(start, end, p1, p2);
        break;
    case ECrossover::OnePoint:
        child.CruceUnPunto(start, p1, p2);
        break;
    case ECrossover::OnePointTail:
        child.CruceUnPuntoFinal(start, p1, p2);
        break;
    }
}

TEST(GenOperatorsTest, CrossoversAndMutationGivePermutationsKeepingTheFirstParentsSegment)
{
    struct TCase
    {
        int length;
        int start;
        int end;
    };
    const TCase cases[] = {
        {10, 3, 3}, // start = end
        {10, 7, 9}, // segment up to L - 1: the fill wraps at L
        {10, 0, 9}, // the whole first parent
        {10, 0, 0}, {10, 2, 6}, {1, 0, 0}, {2, 0, 0}, {2, 1, 1}, {2, 0, 1}, {37, 30, 36},
    };
    const ECrossover kinds[] = {ECrossover::TwoPoints, ECrossover::TwoPointsBackwards,
                                ECrossover::OnePoint, ECrossover::OnePointTail};
    for (const TCase& c : cases) {
        const CircleProblem problem(c.length);
        CircleGen p1(nullptr, problem);
        CircleGen p2(nullptr, problem);
        CircleGen child(nullptr, problem);
        for (std::uint64_t seed = 1; seed <= 20; ++seed) {
            TGenRandom random(seed);
            p1.SetItems(Shuffled(c.length, random).data(), c.length);
            p2.SetItems(Shuffled(c.length, random).data(), c.length);
            child.SetRandomStream(&random);
            for (ECrossover kind : kinds) {
                SCOPED_TRACE(testing::Message()
                             << "L=" << c.length << " start=" << c.start << " end=" << c.end
                             << " kind=" << static_cast<int>(kind) << " seed=" << seed);
                Cross(kind, child, c.start, c.end, p1, p2);
                const Sequence items = Items(child);
                ASSERT_TRUE(IsPermutation(items));
                for (int p : KeptPositions(kind, c.length, c.start, c.end))
                    EXPECT_EQ(items[p], p1.GetItems()[p]) << "position " << p;
                EXPECT_EQ(child.GetCoste(), problem.TourLength(items.data(), c.length));
            }
            const Sequence before = Items(p1);
            p1.MutacionSegmento();
            ASSERT_TRUE(IsPermutation(Items(p1)));
            if (c.length == 1) {
                EXPECT_EQ(Items(p1), before);
            }
            child.SetRandomStream(nullptr);
        }
    }
}

TEST(GenOperatorsTest, CrossoversFillInTheSecondParentsOrder)
{
    const CircleProblem problem(10);
    CircleGen p1(nullptr, problem);
    CircleGen p2(nullptr, problem);
    CircleGen child(nullptr, problem);
    const Sequence forward = Identity(10);
    Sequence backward = forward;
    std::reverse(backward.begin(), backward.end());
    p1.SetItems(forward.data(), 10);
    p2.SetItems(backward.data(), 10);

    TGenRandom low = StreamStartingLow();
    child.SetRandomStream(&low);
    child.CruceDosPuntos(3, 5, p1, p2);
    EXPECT_EQ(Items(child), (Sequence{8, 7, 6, 3, 4, 5, 2, 1, 0, 9}));
    child.CruceDosPuntosInverso(3, 5, p1, p2);
    EXPECT_EQ(Items(child), (Sequence{8, 7, 6, 3, 4, 5, 2, 1, 0, 9}));
    child.CruceUnPunto(4, p1, p2);
    EXPECT_EQ(Items(child), (Sequence{0, 1, 2, 3, 9, 8, 7, 6, 5, 4}));
    child.CruceUnPuntoFinal(5, p1, p2);
    EXPECT_EQ(Items(child), (Sequence{5, 4, 3, 2, 1, 0, 6, 7, 8, 9}));
    child.SetRandomStream(nullptr);
}

// Whether after is before with one block of items moved elsewhere.
bool IsOneBlockMoved(const Sequence& before, const Sequence& after)
{
    const int length = static_cast<int>(before.size());
    for (int source = 0; source < length; ++source) {
        for (int moved = 1; source + moved <= length; ++moved) {
            Sequence rest = before;
            const Sequence block(rest.begin() + source, rest.begin() + source + moved);
            rest.erase(rest.begin() + source, rest.begin() + source + moved);
            for (int target = 0; target <= static_cast<int>(rest.size()); ++target) {
                Sequence candidate = rest;
                candidate.insert(candidate.begin() + target, block.begin(), block.end());
                if (candidate == after)
                    return true;
            }
        }
    }
    return false;
}

TEST(GenOperatorsTest, SegmentMutationMovesOneBlock)
{
    const CircleProblem problem(12);
    CircleGen gene(nullptr, problem);
    TGenRandom random(3);
    gene.SetRandomStream(&random);
    int changed = 0;
    for (int round = 0; round < 200; ++round) {
        const Sequence before = Shuffled(12, random);
        gene.SetItems(before.data(), 12);
        gene.MutacionSegmento();
        const Sequence after = Items(gene);
        ASSERT_TRUE(IsOneBlockMoved(before, after)) << "round " << round;
        changed += after != before;
        EXPECT_EQ(gene.GetCoste(), problem.TourLength(after.data(), 12));
    }
    EXPECT_GT(changed, 190);
    gene.SetRandomStream(nullptr);
}

TEST(GenOperatorsTest, InterchangeNumberingGivesEveryPairOnceInOrder)
{
    for (int length : {2, 3, 10, 1000}) {
        std::int64_t k = 0;
        for (int i = 0; i < length - 1; ++i) {
            for (int j = length - 1; j > i; --j, ++k) {
                const auto pair = InterchangePair(k, length);
                ASSERT_EQ(pair, std::make_pair(i, j)) << "L=" << length << " k=" << k;
            }
        }
    }
    // The largest gene: the pair count passes 2^31, and the ends of the range must decode.
    const int length = 65535;
    const std::int64_t pairs = std::int64_t{length} * (length - 1) / 2;
    std::int64_t k = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = length - 1; j > i; --j, ++k)
            ASSERT_EQ(InterchangePair(k, length), std::make_pair(i, j)) << "k=" << k;
    k = pairs - 1;
    for (int i = length - 2; i >= length - 4; --i)
        for (int j = i + 1; j < length; ++j, --k)
            ASSERT_EQ(InterchangePair(k, length), std::make_pair(i, j)) << "k=" << k;
}

TEST(GenOperatorsTest, RankSelectionFavoursTheBestLinearly)
{
    for (int n : {1, 2, 10, 100, 5000}) {
        std::vector<int> chosen(static_cast<std::size_t>(n), 0);
        for (int draw = 0; draw < 32768; ++draw) {
            const int index = RankSelection(n, draw);
            ASSERT_GE(index, 0);
            ASSERT_LT(index, n);
            ++chosen[index];
        }
        if (n == 10) {
            const double h = 55.0;
            for (int r = 0; r < n; ++r)
                EXPECT_NEAR(chosen[r], 32768.0 * (n - r) / h, 32768.0 * 0.01) << "rank " << r;
        }
    }
}

TEST(GenOperatorsTest, CheapestInsertionBuildsTheCircleAndKeepsTiesNearestTheEnd)
{
    const CircleProblem circle(12);
    CircleGen gene(nullptr, circle);
    TGenRandom random(5);
    gene.SetItems(Shuffled(12, random).data(), 12);
    gene.CheapestInsertion();
    EXPECT_TRUE(IsPermutation(Items(gene)));
    EXPECT_NEAR(gene.GetCoste(), circle.OptimumLength(), 1e-4);

    // Every position costs the same: each value stays where it was appended.
    const CircleProblem flat(9, true);
    CircleGen tied(nullptr, flat);
    tied.CheapestInsertion();
    EXPECT_EQ(Items(tied), Identity(9));
}

} // namespace
