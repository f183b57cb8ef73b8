#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The texts of one record, by slot: a vector of strings whose clear() keeps every string's
// storage, so the next record's values of the same lengths are stored without allocating.
// A slot taken again (resize, push_back, emplace_back) starts empty, as in a fresh vector.
class FetchTextSlots
{
  public:
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    void clear() { m_size = 0; }

    void resize(std::size_t size)
    {
        if (m_items.size() < size)
            m_items.resize(size);
        for (std::size_t slot = m_size; slot < size; ++slot)
            m_items[slot].clear();
        m_size = size;
    }
    std::string& emplace_back()
    {
        resize(m_size + 1);
        return m_items[m_size - 1];
    }
    // Takes the next slot when it still holds `text` from a record before: true, and the
    // slot is not written again.
    bool ReuseNext(const std::string& text)
    {
        if (m_size >= m_items.size() || m_items[m_size] != text)
            return false;
        ++m_size;
        return true;
    }
    void push_back(const std::string& text)
    {
        if (!Holds(text)) {
            emplace_back().assign(text);
            return;
        }
        std::string copy = text; // growing may move it
        emplace_back() = std::move(copy);
    }

    std::string& operator[](std::size_t slot) { return m_items[slot]; }
    const std::string& operator[](std::size_t slot) const { return m_items[slot]; }
    std::string& back() { return m_items[m_size - 1]; }

    std::string* begin() { return m_items.data(); }
    std::string* end() { return m_items.data() + m_size; }
    const std::string* begin() const { return m_items.data(); }
    const std::string* end() const { return m_items.data() + m_size; }

    // Whether `text` is one of the strings kept here (so growing the slots would move it).
    bool Holds(const std::string& text) const
    {
        const std::less<const std::string*> before;
        return !m_items.empty() && !before(&text, m_items.data()) &&
               before(&text, m_items.data() + m_items.size());
    }

  private:
    std::vector<std::string> m_items;
    std::size_t m_size = 0;
};
