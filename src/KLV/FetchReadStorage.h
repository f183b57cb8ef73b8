#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A list of texts stored back to back in one buffer: the lines of a source (100,000 records
// are one allocation, not 100,000) and the fields of the current line (split once per record,
// with no allocation once the buffer has grown to the widest line). Items are read as views
// that stay valid until the list is changed.
class CFetchTextList
{
  public:
    int GetSize() const { return static_cast<int>(m_ends.size()); }
    bool IsEmpty() const { return m_ends.empty(); }

    std::string_view operator[](int index) const
    {
        const std::size_t start = index == 0 ? 0 : m_ends[index - 1];
        return std::string_view(m_text).substr(start, m_ends[index] - start);
    }
    std::string_view GetAt(int index) const { return (*this)[index]; }
    std::string_view GetLast() const { return (*this)[GetSize() - 1]; }

    // Empties the list and keeps its storage for the next fill.
    void RemoveAll()
    {
        m_text.clear();
        m_ends.clear();
    }
    void Reserve(std::size_t bytes, std::size_t items)
    {
        m_text.reserve(bytes);
        m_ends.reserve(items);
    }

    void Add(std::string_view item)
    {
        m_text.append(item);
        m_ends.push_back(m_text.size());
    }
    // Builds the next item piece by piece: Append to the open item, then Close it.
    void Append(std::string_view piece) { m_text.append(piece); }
    void Append(char character) { m_text.push_back(character); }
    void CloseItem() { m_ends.push_back(m_text.size()); }

    // Replaces the item at index (moves the items after it when the size differs).
    void SetAt(int index, std::string_view item);

    // Every item as its own string (tests, callers that keep a copy).
    std::vector<std::string> ToVector() const;

  private:
    std::string m_text;
    std::vector<std::size_t> m_ends;
};
