#include "containers/LinkedIndexList.h"

#include <cassert>
#include <climits>
#include <new>
#include <utility>

CLinkedIndexList::CLinkedIndexList(CLinkedIndexList&& other) noexcept
    : m_nodes(std::move(other.m_nodes)), m_count(std::exchange(other.m_count, 0)),
      m_head(std::exchange(other.m_head, nullptr)), m_tail(std::exchange(other.m_tail, nullptr))
{
}

CLinkedIndexList& CLinkedIndexList::operator=(CLinkedIndexList&& other) noexcept
{
    if (this != &other) {
        m_nodes = std::move(other.m_nodes);
        m_count = std::exchange(other.m_count, 0);
        m_head = std::exchange(other.m_head, nullptr);
        m_tail = std::exchange(other.m_tail, nullptr);
    }
    return *this;
}

void CLinkedIndexList::Create(int n)
{
    if (n < 0 || n > INT_MAX - 2)
        throw std::bad_array_new_length();
    m_nodes = CAutoArray<Node>(n + 2);
    m_count = n;
    Reset();
}

void CLinkedIndexList::Reset(int n)
{
    if (n < 0)
        n = m_count;
    assert(n <= m_count);
    m_head = &m_nodes[n + 1];
    m_tail = &m_nodes[n];
    Node* previous = m_head;
    for (int index = 0; index < n; ++index) {
        Node& node = m_nodes[index];
        node.value = Node::noValue;
        node.prev = previous;
        previous->next = &node;
        previous = &node;
    }
    previous->next = m_tail;
    m_tail->prev = n > 0 ? previous : nullptr;
    m_tail->next = nullptr;
    m_tail->value = Node::tailValue;
    m_head->prev = nullptr;
    m_head->value = Node::headValue;
}
