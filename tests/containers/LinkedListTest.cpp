#include "containers/LinkedIndexList.h"
#include "containers/SimpleList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <list>
#include <new>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<int> Values(const CSimpleList<int>& list)
{
    std::vector<int> values;
    for (auto* node = list.GetFirst(); node; node = node->GetNext()) {
        EXPECT_EQ(node->GetNext() ? node->GetNext()->GetPrev() : list.GetLast(), node);
        values.push_back(node->GetValue());
    }
    return values;
}

CSimpleList<int> ListOf(std::initializer_list<int> values)
{
    CSimpleList<int> list;
    for (int value : values)
        list.AddTail(value);
    return list;
}

TEST(SimpleList, RemoveCurrentMovesTheCursorBack)
{
    CSimpleList<int> list = ListOf({1, 2, 3, 4});
    list.SetCurrent(list.GetFirst()->GetNext()->GetNext()); // 3
    EXPECT_TRUE(list.RemoveCurrent());
    EXPECT_EQ(list.GetCurrent()->GetValue(), 2);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 4}));

    list.SetCurrent(list.GetLast());
    EXPECT_TRUE(list.RemoveCurrent());
    EXPECT_EQ(list.GetLast()->GetValue(), 2);

    list.SetCurrent(list.GetFirst());
    EXPECT_TRUE(list.RemoveCurrent());
    EXPECT_EQ(list.GetCurrent(), nullptr);
    EXPECT_EQ(list.GetFirst()->GetValue(), 2);
    EXPECT_EQ(list.GetFirst()->GetPrev(), nullptr);
    EXPECT_FALSE(list.RemoveCurrent()); // no cursor

    list.SetCurrent(list.GetFirst());
    EXPECT_TRUE(list.RemoveCurrent());
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetFirst(), nullptr);
    EXPECT_EQ(list.GetLast(), nullptr);
}

TEST(SimpleList, CopyFromReplacesTheValues)
{
    CSimpleList<std::string> source;
    source.AddTail("a");
    source.AddTail("b");
    CSimpleList<std::string> target;
    target.AddTail("old");
    target.CopyFrom(source);
    ASSERT_EQ(target.GetCount(), 2);
    EXPECT_EQ(target.GetFirst()->GetValue(), "a");
    EXPECT_EQ(target.GetLast()->GetValue(), "b");
    EXPECT_EQ(target.GetFirst()->GetList(), &target);

    CSimpleList<int> big;
    for (int i = 0; i < 200000; ++i) // freed without deep recursion
        big.AddTail(i);
    EXPECT_EQ(big.GetCount(), 200000);
}

// The indexes met walking from the head, checking every back link on the way.
std::vector<int> Walk(const CLinkedIndexList& list)
{
    std::vector<int> indexes;
    const CLinkedIndexNode* node = list.GetHead();
    EXPECT_EQ(node->prev, nullptr);
    EXPECT_EQ(node->value, CLinkedIndexNode::headValue);
    for (; node->next != list.GetTail(); node = node->next) {
        EXPECT_EQ(node->next->prev, node);
        indexes.push_back(list.IndexOf(node->next));
        if (indexes.size() > 100000)
            break;
    }
    EXPECT_EQ(list.GetTail()->next, nullptr);
    EXPECT_EQ(list.GetTail()->value, CLinkedIndexNode::tailValue);
    return indexes;
}

std::vector<int> Sequence(int n)
{
    std::vector<int> indexes(n);
    for (int i = 0; i < n; ++i)
        indexes[i] = i;
    return indexes;
}

TEST(LinkedIndexList, ResetLinksTheNodesInIndexOrder)
{
    for (int n : {0, 1, 2, 7}) {
        CLinkedIndexList list;
        list.Create(n);
        EXPECT_EQ(Walk(list), Sequence(n)) << n;
        EXPECT_EQ(list.GetTail(), list.GetNode(n));
        EXPECT_EQ(list.GetHead(), list.GetNode(n + 1));
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(list.GetNode(i)->value, CLinkedIndexNode::noValue);
    }

    CLinkedIndexList list;
    list.Create(6);
    list.SetValue(2, 42);
    list.MoveRange(0, 1, 3);
    list.Reset();
    EXPECT_EQ(Walk(list), Sequence(6));
    EXPECT_EQ(list.GetNode(2)->value, CLinkedIndexNode::noValue);
    list.Reset(3); // fewer nodes in the same block
    EXPECT_EQ(Walk(list), Sequence(3));

    CLinkedIndexList impossible;
    EXPECT_THROW(impossible.Create(INT_MAX), std::bad_alloc); // n + 2 nodes would overflow
    EXPECT_THROW(impossible.Create(-1), std::bad_alloc);
}

TEST(LinkedIndexList, MoveRangeAndMoveNode)
{
    CLinkedIndexList list;
    list.Create(6);
    list.MoveRange(1, 0, 1); // already first: nothing
    EXPECT_EQ(Walk(list), Sequence(6));
    list.MoveRange(0, 4, 5); // already last: nothing
    EXPECT_EQ(Walk(list), Sequence(6));

    list.MoveRange(1, 3, 4);
    EXPECT_EQ(Walk(list), (std::vector<int>{3, 4, 0, 1, 2, 5}));
    list.MoveRange(0, 4, 1);
    EXPECT_EQ(Walk(list), (std::vector<int>{3, 2, 5, 4, 0, 1}));

    list.MoveNode(3, 0, 0); // after 0
    EXPECT_EQ(Walk(list), (std::vector<int>{2, 5, 4, 0, 3, 1}));
    list.MoveNode(1, 2, 1); // before 2
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 2, 5, 4, 0, 3}));
    list.MoveNode(5, 2, 0); // already after 2: nothing
    list.MoveNode(4, 4, 1); // before itself: nothing
    list.MoveNode(0, 0, 0); // after itself: nothing
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 2, 5, 4, 0, 3}));
}

TEST(LinkedIndexList, RandomMovesMatchAModel)
{
    std::mt19937 random(99);
    const int n = 50;
    CLinkedIndexList list;
    list.Create(n);
    std::list<int> model(n);
    std::iota(model.begin(), model.end(), 0);
    auto at = [&](int index) { return std::find(model.begin(), model.end(), index); };

    for (int step = 0; step < 2000; ++step) {
        if (random() % 2) {
            const int x = static_cast<int>(random() % n);
            const int y = static_cast<int>(random() % n);
            const int before = static_cast<int>(random() % 2);
            list.MoveNode(x, y, before);
            if (x != y) {
                auto moved = at(x);
                auto target = before ? at(y) : std::next(at(y));
                model.splice(target, model, moved);
            }
        } else {
            // A run between two positions of the current order.
            int first = static_cast<int>(random() % n);
            int length = static_cast<int>(random() % 5);
            auto start = at(first);
            auto stop = start;
            for (int i = 0; i < length && std::next(stop) != model.end(); ++i)
                ++stop;
            const bool toFront = random() % 2;
            list.MoveRange(toFront, *start, *stop);
            if (!(toFront && start == model.begin())) // a run cannot be spliced into itself
                model.splice(toFront ? model.begin() : model.end(), model, start, std::next(stop));
        }
    }
    EXPECT_EQ(Walk(list), std::vector<int>(model.begin(), model.end()));
}

} // namespace
