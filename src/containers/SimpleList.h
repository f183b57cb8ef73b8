#pragma once

#include <utility>

template <class T> class CSimpleList;

// A node of CSimpleList; it owns its value and, through next, the rest of the chain.
template <class T> class CSimpleListNode
{
  public:
    CSimpleListNode* GetNext() const { return m_next; }
    CSimpleListNode* GetPrev() const { return m_prev; }
    T& GetValue() { return m_value; }
    const T& GetValue() const { return m_value; }
    CSimpleList<T>* GetList() const { return m_list; }

  private:
    friend class CSimpleList<T>;
    CSimpleListNode(CSimpleList<T>* list, const T& value) : m_list(list), m_value(value) {}

    CSimpleListNode* m_next = nullptr;
    CSimpleListNode* m_prev = nullptr;
    CSimpleList<T>* m_list;
    T m_value;
};

// An owning doubly linked list with a cursor.
template <class T> class CSimpleList
{
  public:
    using Node = CSimpleListNode<T>;

    CSimpleList() = default;
    CSimpleList(const CSimpleList& other) { CopyFrom(other); }
    CSimpleList& operator=(const CSimpleList& other)
    {
        if (this != &other)
            CopyFrom(other);
        return *this;
    }
    ~CSimpleList() { RemoveAll(); }

    // A new last node holding a copy of value.
    void AddTail(const T& value)
    {
        Node* node = new Node(this, value);
        node->m_prev = m_last;
        if (m_last)
            m_last->m_next = node;
        else
            m_first = node;
        m_last = node;
        ++m_count;
    }

    // Removes the node at the cursor; the cursor moves to the node before it (null when the
    // first node was removed). False when there is no cursor.
    bool RemoveCurrent()
    {
        Node* node = m_current;
        if (!node)
            return false;
        Node* before = node->m_prev;
        Node* after = node->m_next;
        if (before)
            before->m_next = after;
        else
            m_first = after;
        if (after)
            after->m_prev = before;
        else
            m_last = before;
        delete node;
        m_current = before;
        --m_count;
        return true;
    }

    void RemoveAll()
    {
        // Iteratively, so a long list cannot exhaust the stack.
        for (Node* node = m_first; node;)
            delete std::exchange(node, node->m_next);
        m_first = m_last = m_current = nullptr;
        m_count = 0;
    }

    // This list becomes a copy of other's values, in order.
    void CopyFrom(const CSimpleList& other)
    {
        if (this == &other)
            return;
        RemoveAll();
        for (const Node* node = other.m_first; node; node = node->m_next)
            AddTail(node->m_value);
    }

    int GetCount() const { return m_count; }
    Node* GetFirst() const { return m_first; }
    Node* GetLast() const { return m_last; }
    Node* GetCurrent() const { return m_current; }
    // The cursor: a node of this list, or null.
    void SetCurrent(Node* node) { m_current = node; }

  private:
    int m_count = 0;
    Node* m_first = nullptr;
    Node* m_last = nullptr;
    Node* m_current = nullptr;
};
