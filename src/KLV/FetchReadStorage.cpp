#include "KLV/FetchReadStorage.h"

void CFetchTextList::MakeOwnText()
{
    if (!m_block)
        return;
    m_text.assign(m_block.get(), m_blockSize);
    m_block.reset();
    m_blockSize = 0;
    m_openStart = m_text.size();
}

void CFetchTextList::SetAt(int index, std::string_view item)
{
    MakeOwnText();
    Span& span = m_spans[static_cast<std::size_t>(index)];
    if (item.size() == span.end - span.start) {
        m_text.replace(span.start, item.size(), item);
        return;
    }
    // A text of another size goes to the end of the buffer; the old bytes are left unused.
    const std::size_t start = m_text.size();
    m_text.append(item);
    span = {start, m_text.size()};
    m_openStart = m_text.size();
}

std::vector<std::string> CFetchTextList::ToVector() const
{
    std::vector<std::string> items;
    items.reserve(m_spans.size());
    for (int index = 0; index < GetSize(); ++index)
        items.emplace_back((*this)[index]);
    return items;
}
