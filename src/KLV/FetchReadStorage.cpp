#include "KLV/FetchReadStorage.h"

void CFetchTextList::SetAt(int index, std::string_view item)
{
    const std::size_t start = index == 0 ? 0 : m_ends[index - 1];
    const std::size_t oldLength = m_ends[index] - start;
    m_text.replace(start, oldLength, item);
    const std::ptrdiff_t shift =
        static_cast<std::ptrdiff_t>(item.size()) - static_cast<std::ptrdiff_t>(oldLength);
    if (shift == 0)
        return;
    for (std::size_t position = index; position < m_ends.size(); ++position)
        m_ends[position] =
            static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_ends[position]) + shift);
}

std::vector<std::string> CFetchTextList::ToVector() const
{
    std::vector<std::string> items;
    items.reserve(m_ends.size());
    for (int index = 0; index < GetSize(); ++index)
        items.emplace_back((*this)[index]);
    return items;
}
