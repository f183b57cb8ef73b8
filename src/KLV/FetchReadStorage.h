#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A list of texts kept in one buffer: the lines of a source (100,000 records are one
// allocation, not 100,000; a whole file's text can be adopted as the buffer and its lines
// pointed at without copying, or a block of the file's bytes read without being zero-filled
// first) and the fields of the current line (split once per record, with
// no allocation once the buffer has grown to the widest line). Items are read as views that
// stay valid until the list is changed.
class CFetchTextList
{
  public:
    int GetSize() const { return static_cast<int>(m_spans.size()); }
    bool IsEmpty() const { return m_spans.empty(); }

    std::string_view operator[](int index) const
    {
        const Span& span = m_spans[static_cast<std::size_t>(index)];
        return std::string_view(Data() + span.start, span.end - span.start);
    }
    std::string_view GetAt(int index) const { return (*this)[index]; }
    std::string_view GetLast() const { return (*this)[GetSize() - 1]; }

    // Empties the list and keeps its storage for the next fill.
    void RemoveAll()
    {
        m_block.reset();
        m_blockSize = 0;
        m_text.clear();
        m_spans.clear();
        m_openStart = 0;
    }
    void Reserve(std::size_t bytes, std::size_t items)
    {
        m_text.reserve(bytes);
        m_spans.reserve(items);
    }

    void Add(std::string_view item)
    {
        if (m_block)
            MakeOwnText();
        const std::size_t start = m_text.size();
        m_text.append(item);
        m_spans.push_back({start, m_text.size()});
        m_openStart = m_text.size();
    }
    // Builds the next item piece by piece: Append to the open item, then Close it.
    void Append(std::string_view piece)
    {
        if (m_block)
            MakeOwnText();
        m_text.append(piece);
    }
    void Append(char character)
    {
        if (m_block)
            MakeOwnText();
        m_text.push_back(character);
    }
    void CloseItem()
    {
        m_spans.push_back({m_openStart, m_text.size()});
        m_openStart = m_text.size();
    }

    // Takes the text as the buffer (the list is emptied); AddRange then names its items.
    void Adopt(std::string&& text)
    {
        m_block.reset();
        m_blockSize = 0;
        m_text = std::move(text);
        m_spans.clear();
        m_openStart = m_text.size();
    }
    // Takes `size` bytes of the block as the buffer (the list is emptied); copies of the list
    // share the block, which is never written again.
    void AdoptBlock(std::shared_ptr<char[]> block, std::size_t size)
    {
        m_text.clear();
        m_spans.clear();
        m_block = std::move(block);
        m_blockSize = size;
        m_openStart = 0;
    }
    // Takes a copy of the text as the buffer (the list is emptied, its storage kept); AddRange
    // names items in it and Append builds others after it.
    void AssignText(std::string_view text)
    {
        m_block.reset();
        m_blockSize = 0;
        m_text.assign(text);
        m_spans.clear();
        m_openStart = m_text.size();
    }
    std::string_view GetBuffer() const
    {
        return m_block ? std::string_view(m_block.get(), m_blockSize) : std::string_view(m_text);
    }
    void ReserveItems(std::size_t items) { m_spans.reserve(items); }
    // An item made of the buffer's bytes [start, end).
    void AddRange(std::size_t start, std::size_t end) { m_spans.push_back({start, end}); }

    // Replaces the item at index.
    void SetAt(int index, std::string_view item);

    // Every item as its own string (tests, callers that keep a copy).
    std::vector<std::string> ToVector() const;

  private:
    const char* Data() const { return m_block ? m_block.get() : m_text.data(); }
    // Before the list changes, an adopted block becomes the list's own text.
    void MakeOwnText();

    struct Span
    {
        std::size_t start;
        std::size_t end;
    };
    std::string m_text;
    std::shared_ptr<char[]> m_block; // when set, the items' bytes (m_text is then unused)
    std::size_t m_blockSize = 0;
    std::vector<Span> m_spans;
    std::size_t m_openStart = 0; // where the item being built with Append starts
};
