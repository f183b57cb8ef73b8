#pragma once

#include "containers/AutoArray.h"

#include <cstdint>

// A node of CLinkedIndexList.
struct CLinkedIndexNode
{
    static constexpr std::uint16_t noValue = 0xFFFF;
    static constexpr std::uint16_t headValue = 0xFFFE;
    static constexpr std::uint16_t tailValue = 0xFFFD;

    std::uint16_t value = noValue;
    CLinkedIndexNode* prev = nullptr;
    CLinkedIndexNode* next = nullptr;
};

// A doubly linked list laid over one block of n ordinary nodes (indexes 0..n-1) plus the tail
// (node n) and head (node n+1) sentinels. Runs of nodes move to the front or back in a constant
// number of link changes, without allocation. Indexes are not checked.
//
// Walking: from GetHead()->next along next until GetTail().
class CLinkedIndexList
{
  public:
    using Node = CLinkedIndexNode;

    CLinkedIndexList() = default;
    CLinkedIndexList(const CLinkedIndexList&) = delete;
    CLinkedIndexList& operator=(const CLinkedIndexList&) = delete;
    CLinkedIndexList(CLinkedIndexList&& other) noexcept;
    CLinkedIndexList& operator=(CLinkedIndexList&& other) noexcept;

    // Allocates n ordinary nodes and the sentinels, then links them in index order.
    void Create(int n);

    // Relinks nodes 0..n-1 in index order between the sentinels and clears their values; n is
    // the created count by default and may not exceed it.
    void Reset(int n = -1);

    void SetValue(int index, std::uint16_t value) { m_nodes[index].value = value; }

    // Moves the run of nodes first..last (first reached before last along next) to just after
    // the head (toFront non-zero) or just before the tail.
    void MoveRange(int toFront, int first, int last)
    {
        Node* runFirst = &m_nodes[first];
        Node* runLast = &m_nodes[last];
        if (toFront) {
            if (m_head->next == runFirst)
                return;
            Unlink(runFirst, runLast);
            LinkBefore(runFirst, runLast, m_head->next);
        } else {
            if (m_tail->prev == runLast)
                return;
            Unlink(runFirst, runLast);
            LinkBefore(runFirst, runLast, m_tail);
        }
    }

    // Moves node x to just after node y (before zero) or just before it (before non-zero).
    void MoveNode(int x, int y, int before)
    {
        Node* moved = &m_nodes[x];
        Node* target = before ? &m_nodes[y] : m_nodes[y].next;
        if (moved == target)
            return;
        Unlink(moved, moved);
        LinkBefore(moved, moved, target);
    }

    int GetCount() const { return m_count; }
    Node* GetNode(int index) { return &m_nodes[index]; }
    const Node* GetNode(int index) const { return &m_nodes[index]; }
    int IndexOf(const Node* node) const { return static_cast<int>(node - m_nodes.GetData()); }
    Node* GetHead() const { return m_head; }
    Node* GetTail() const { return m_tail; }

  private:
    static void Unlink(Node* first, Node* last)
    {
        first->prev->next = last->next;
        last->next->prev = first->prev;
    }

    static void LinkBefore(Node* first, Node* last, Node* target)
    {
        Node* before = target->prev;
        before->next = first;
        first->prev = before;
        last->next = target;
        target->prev = last;
    }

    CAutoArray<Node> m_nodes;
    int m_count = 0;
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
};
