#pragma once

#include "containers/SimpleList.h"

#include <algorithm>
#include <memory>

template <class V> class CIntTree;

// A node of CIntTree. balance is the height of the right subtree minus that of the left one.
template <class V> struct CIntTreeNode
{
    int balance = 0;
    int key = -1;
    CIntTreeNode* left = nullptr;  // owned: keys smaller than key
    CIntTreeNode* right = nullptr; // owned: keys greater than key
    CIntTreeNode* parent = nullptr;
    CIntTree<V>* tree = nullptr;
    std::unique_ptr<V> value;
};

// A height-balanced (AVL) search tree with unique int keys, owning one value per key. Balances
// are kept by rotations after every insertion and removal, so no subtree's heights differ by
// more than one. Trees are filled in place and freed whole; they are not copied.
template <class V> class CIntTree
{
  public:
    using Node = CIntTreeNode<V>;

    CIntTree() = default;
    CIntTree(const CIntTree&) = delete;
    CIntTree& operator=(const CIntTree&) = delete;
    ~CIntTree() { FreeSubtree(m_root); }

    // The value stored under key, or null.
    V* Find(int key) const
    {
        Node* node = FindNode(key);
        return node ? node->value.get() : nullptr;
    }

    Node* FindNode(int key) const
    {
        Node* node = m_root;
        while (node && node->key != key)
            node = key > node->key ? node->right : node->left;
        return node;
    }

    // Stores a copy of value under key when the key is absent; a present key keeps its value.
    void Insert(int key, const V& value)
    {
        Node* parent = nullptr;
        Node** place = &m_root;
        while (*place) {
            parent = *place;
            if (key == parent->key)
                return;
            place = key > parent->key ? &parent->right : &parent->left;
        }
        auto node = std::make_unique<Node>();
        node->value = std::make_unique<V>(value);
        node->key = key;
        node->parent = parent;
        node->tree = this;
        *place = node.release();
        ++m_count;
        RetraceInsertion(*place);
    }

    // Removes one node of this tree and frees its value. A node with two subtrees is replaced
    // by the greatest node of its left subtree.
    void RemoveNode(Node* node)
    {
        Node* retraceFrom = nullptr;
        bool leftShrank = false;
        if (node->left && node->right) {
            Node* predecessor = node->left;
            while (predecessor->right)
                predecessor = predecessor->right;
            if (predecessor->parent == node) {
                retraceFrom = predecessor;
                leftShrank = true;
            } else {
                retraceFrom = predecessor->parent;
                leftShrank = false;
                retraceFrom->right = predecessor->left;
                if (predecessor->left)
                    predecessor->left->parent = retraceFrom;
                predecessor->left = node->left;
                node->left->parent = predecessor;
            }
            predecessor->right = node->right;
            node->right->parent = predecessor;
            predecessor->balance = node->balance;
            ReplaceChild(node->parent, node, predecessor);
        } else {
            Node* child = node->left ? node->left : node->right;
            retraceFrom = node->parent;
            leftShrank = retraceFrom && retraceFrom->left == node;
            ReplaceChild(node->parent, node, child);
        }
        node->left = node->right = nullptr;
        delete node;
        --m_count;
        RetraceRemoval(retraceFrom, leftShrank);
    }

    int GetCount() const { return m_count; }
    Node* GetRoot() const { return m_root; }

  private:
    static void FreeSubtree(Node* node)
    {
        if (!node)
            return;
        FreeSubtree(node->left);
        FreeSubtree(node->right);
        delete node;
    }

    void ReplaceChild(Node* parent, Node* oldChild, Node* newChild)
    {
        if (newChild)
            newChild->parent = parent;
        if (!parent)
            m_root = newChild;
        else if (parent->left == oldChild)
            parent->left = newChild;
        else
            parent->right = newChild;
    }

    // Rotations keep the balances exact from the old ones (no subtree walk needed); each returns
    // the subtree's new root, already linked to the old root's parent.
    Node* RotateLeft(Node* node)
    {
        Node* pivot = node->right;
        ReplaceChild(node->parent, node, pivot);
        node->right = pivot->left;
        if (pivot->left)
            pivot->left->parent = node;
        pivot->left = node;
        node->parent = pivot;
        node->balance = node->balance - 1 - std::max(pivot->balance, 0);
        pivot->balance = pivot->balance - 1 + std::min(node->balance, 0);
        return pivot;
    }

    Node* RotateRight(Node* node)
    {
        Node* pivot = node->left;
        ReplaceChild(node->parent, node, pivot);
        node->left = pivot->right;
        if (pivot->right)
            pivot->right->parent = node;
        pivot->right = node;
        node->parent = pivot;
        node->balance = node->balance + 1 - std::min(pivot->balance, 0);
        pivot->balance = pivot->balance + 1 + std::max(node->balance, 0);
        return pivot;
    }

    // Rebalances a node leaning by 2: a single rotation when its taller child leans the same way
    // or not at all, a double one when it leans the other way.
    Node* Rebalance(Node* node)
    {
        if (node->balance > 1) {
            if (node->right->balance < 0)
                RotateRight(node->right);
            return RotateLeft(node);
        }
        if (node->left->balance > 0)
            RotateLeft(node->left);
        return RotateRight(node);
    }

    void RetraceInsertion(Node* child)
    {
        for (Node* node = child->parent; node; child = node, node = node->parent) {
            node->balance += node->right == child ? 1 : -1;
            if (node->balance == 0)
                return;
            if (node->balance == 2 || node->balance == -2) {
                Rebalance(node);
                return;
            }
        }
    }

    // Walks up from the node whose left (or right) subtree got one shorter.
    void RetraceRemoval(Node* node, bool leftShrank)
    {
        while (node) {
            node->balance += leftShrank ? 1 : -1;
            if (node->balance == 1 || node->balance == -1)
                return; // the height did not change
            if (node->balance == 2 || node->balance == -2) {
                node = Rebalance(node);
                if (node->balance != 0)
                    return;
            }
            Node* parent = node->parent;
            leftShrank = parent && parent->left == node;
            node = parent;
        }
    }

    Node* m_root = nullptr;
    int m_count = 0;
};

// The program-wide tree that maps a dialog's template id to the ids of the controls the dialog
// hides when it initialises.
CIntTree<CSimpleList<int>>& GetHiddenControlsTree();

// The hidden controls of a dialog, or null.
CSimpleList<int>* FindInIntTree(int dialogId);

// Stores a copy of the list under the dialog id when the id is absent.
void InsertInIntTree(int dialogId, const CSimpleList<int>& controlIds);
