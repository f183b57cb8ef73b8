#include "containers/IntTree.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Tree = CIntTree<std::string>;
using Node = Tree::Node;

// Checks order, links, balances and that no subtree leans by more than one; returns the height
// (-1 for no node) and counts the nodes.
int CheckSubtree(const Tree& tree, const Node* node, const Node* parent, long long low,
                 long long high, int& nodes)
{
    if (!node)
        return -1;
    ++nodes;
    EXPECT_EQ(node->parent, parent);
    EXPECT_EQ(node->tree, &tree);
    EXPECT_GT(node->key, low);
    EXPECT_LT(node->key, high);
    const int left = CheckSubtree(tree, node->left, node, low, node->key, nodes);
    const int right = CheckSubtree(tree, node->right, node, node->key, high, nodes);
    EXPECT_EQ(node->balance, right - left) << "key " << node->key;
    EXPECT_LE(std::abs(right - left), 1) << "key " << node->key;
    return 1 + std::max(left, right);
}

void CheckTree(const Tree& tree)
{
    int nodes = 0;
    CheckSubtree(tree, tree.GetRoot(), nullptr, INT64_MIN, INT64_MAX, nodes);
    EXPECT_EQ(nodes, tree.GetCount());
}

TEST(IntTree, AscendingKeysRotateIntoABalancedTree)
{
    Tree tree;
    EXPECT_EQ(tree.Find(2), nullptr);
    tree.Insert(1, "one");
    tree.Insert(2, "two");
    tree.Insert(3, "three");
    const Node* root = tree.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->key, 2);
    EXPECT_EQ(root->balance, 0);
    EXPECT_EQ(root->left->key, 1);
    EXPECT_EQ(root->right->key, 3);
    CheckTree(tree);
}

TEST(IntTree, APresentKeyKeepsItsFirstValue)
{
    Tree tree;
    tree.Insert(7, "first");
    tree.Insert(7, "second");
    EXPECT_EQ(tree.GetCount(), 1);
    EXPECT_EQ(*tree.Find(7), "first");
}

TEST(IntTree, StaysBalancedOverRandomInsertsAndRemovals)
{
    std::mt19937 random(12345);
    Tree tree;
    std::map<int, std::string> model;
    for (int step = 0; step < 10000; ++step) {
        const int key = static_cast<int>(random() % 2000) - 1000;
        if (random() % 3 != 0) {
            tree.Insert(key, std::to_string(key));
            model.emplace(key, std::to_string(key));
        } else if (Node* node = tree.FindNode(key)) {
            tree.RemoveNode(node);
            model.erase(key);
        } else {
            EXPECT_EQ(model.count(key), 0u);
        }
        if (step % 500 == 0)
            CheckTree(tree);
    }
    CheckTree(tree);
    ASSERT_EQ(tree.GetCount(), static_cast<int>(model.size()));
    for (int key = -1000; key < 1000; ++key) {
        const std::string* value = tree.Find(key);
        auto expected = model.find(key);
        if (expected == model.end())
            EXPECT_EQ(value, nullptr) << key;
        else
            EXPECT_EQ(value ? *value : "(missing)", expected->second) << key;
    }

    // Emptied again, through the root and its two-child replacements.
    while (Node* root = tree.GetRoot())
        tree.RemoveNode(root);
    EXPECT_EQ(tree.GetCount(), 0);
}

TEST(IntTree, ValuesAreCopiedWithTheirOwnCopy)
{
    CSimpleList<int> list;
    list.AddTail(10);
    list.AddTail(20);
    CIntTree<CSimpleList<int>> tree;
    tree.Insert(1944, list);
    list.RemoveAll();
    const CSimpleList<int>* stored = tree.Find(1944);
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->GetCount(), 2);
    EXPECT_EQ(stored->GetLast()->GetValue(), 20);
}

TEST(IntTree, HiddenControlsOfADialog)
{
    EXPECT_EQ(FindInIntTree(4242), nullptr);
    CSimpleList<int> controls;
    controls.AddTail(1001);
    InsertInIntTree(4242, controls);
    controls.AddTail(1002);
    InsertInIntTree(4242, controls); // present: unchanged
    const CSimpleList<int>* stored = FindInIntTree(4242);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->GetCount(), 1);
    GetHiddenControlsTree().RemoveNode(GetHiddenControlsTree().FindNode(4242));
}

} // namespace
