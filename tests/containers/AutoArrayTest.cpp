#include "containers/AutoArray.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <utility>

namespace {

struct Pair
{
    int first = 7;
    int second = 7;
};

TEST(AutoArray, NewBlocksAreValueInitialised)
{
    CAutoArray<int> numbers(5);
    EXPECT_EQ(numbers.GetSize(), 5);
    for (int value : numbers)
        EXPECT_EQ(value, 0);

    CAutoArray<std::string> texts(3);
    EXPECT_TRUE(texts[2].empty());

    CAutoArray<Pair> pairs;
    pairs.AssignPairs(4, 2);
    EXPECT_EQ(pairs[1].first, 4);
    EXPECT_EQ(pairs[1].second, -1);
}

TEST(AutoArray, ImpossibleCountsThrowInsteadOfAllocatingShort)
{
    EXPECT_THROW(CAutoArray<int>(-1), std::bad_alloc);
}

TEST(AutoArray, MovesLeaveTheSourceEmptyAndCopiesMatchTheSource)
{
    CAutoArray<int> source(3);
    source[1] = 42;
    CAutoArray<int> moved(std::move(source));
    EXPECT_EQ(source.GetSize(), 0);
    EXPECT_EQ(source.GetData(), nullptr);
    EXPECT_EQ(moved[1], 42);

    CAutoArray<int> target(3);
    const int* block = target.GetData();
    target = moved; // same count: the block stays
    EXPECT_EQ(target.GetData(), block);
    EXPECT_EQ(target[1], 42);

    CAutoArray<int> longer(10);
    target = longer;
    EXPECT_EQ(target.GetSize(), 10);
    EXPECT_EQ(target[1], 0);

    target = std::move(target);
    EXPECT_EQ(target.GetSize(), 10);
    target.Free();
    EXPECT_EQ(target.GetSize(), 0);
}

} // namespace
