#include "containers/BoolTable.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <fstream>
#include <istream>
#include <new>
#include <ostream>
#include <vector>

namespace {

constexpr std::uint32_t allOnes = 0xFFFFFFFFu;

// Words read per step, so a corrupt row count costs no more memory than the data present.
constexpr std::int64_t readChunkWords = 1 << 16;

int WordCount(int wordsPerRow, int rows)
{
    const std::int64_t count = std::int64_t{wordsPerRow} * rows;
    if (count > INT_MAX)
        throw std::bad_array_new_length();
    return count > 0 ? static_cast<int>(count) : 0;
}

void PutInt32(std::ostream& stream, std::uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    stream.write(bytes, 4);
}

std::uint32_t FromLittleEndian(const unsigned char* bytes)
{
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

bool GetInt32(std::istream& stream, std::int32_t& value)
{
    unsigned char bytes[4];
    if (!stream.read(reinterpret_cast<char*>(bytes), 4))
        return false;
    value = static_cast<std::int32_t>(FromLittleEndian(bytes));
    return true;
}

// Reads count little-endian words; false when the stream ends first.
bool GetWords(std::istream& stream, std::int64_t count, std::vector<std::uint32_t>& words)
{
    std::vector<unsigned char> bytes;
    while (std::int64_t(words.size()) < count) {
        const std::int64_t chunk = std::min(readChunkWords, count - std::int64_t(words.size()));
        bytes.resize(static_cast<std::size_t>(chunk) * 4);
        if (!stream.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
            return false;
        for (std::size_t offset = 0; offset < bytes.size(); offset += 4)
            words.push_back(FromLittleEndian(bytes.data() + offset));
    }
    return true;
}

} // namespace

CBoolTable& CBoolTable::operator=(const CBoolTable& other)
{
    if (this == &other)
        return *this;
    // The word layout travels with the words: a table read from a file has 32 * wordsPerRow
    // columns, so wordsPerRow cannot be recomputed from the column count.
    m_words = other.m_words;
    m_wordsPerRow = other.m_wordsPerRow;
    m_columns = other.m_columns;
    m_rows = other.m_rows;
    return *this;
}

void CBoolTable::Create(int columns, int rows)
{
    const int wordsPerRow = columns / 32 + 1;
    const int count = WordCount(wordsPerRow, rows);
    m_words.Free();
    if (count > 0)
        m_words.ResizeZeroed(count);
    m_wordsPerRow = wordsPerRow;
    m_columns = columns;
    m_rows = rows;
}

void CBoolTable::SetRange(int from, int to, int row)
{
    if (to < from || m_columns <= 0)
        return;
    from = std::clamp(from, 0, m_columns - 1);
    to = std::clamp(to, 0, m_columns - 1);
    const int first = row * m_wordsPerRow + from / 32;
    const int last = row * m_wordsPerRow + to / 32;
    const std::uint32_t lowMask = allOnes << (from % 32);
    const std::uint32_t highMask = allOnes >> (31 - to % 32);
    if (first == last) {
        m_words[first] |= lowMask & highMask;
        return;
    }
    m_words[first] |= lowMask;
    for (int word = first + 1; word < last; ++word)
        m_words[word] = allOnes;
    m_words[last] |= highMask;
}

void CBoolTable::ClearAll()
{
    std::fill(m_words.begin(), m_words.end(), 0u);
}

void CBoolTable::SetAll()
{
    for (int row = 0; row < m_rows; ++row)
        SetRange(0, m_columns - 1, row);
}

void CBoolTable::CopyBitsFrom(const CBoolTable& source, int columnEdge, int columnShift,
                              int rowEdge, int rowShift)
{
    for (int row = 0; row < source.m_rows; ++row) {
        if (row == rowEdge && rowShift < 0)
            continue;
        const int newRow = row < rowEdge ? row : row + rowShift;
        if (newRow >= m_rows)
            continue;
        const std::uint32_t* words = source.m_words.GetData() + row * source.m_wordsPerRow;
        for (int word = 0; word < source.m_wordsPerRow; ++word) {
            for (std::uint32_t bits = words[word]; bits != 0; bits &= bits - 1) {
                const int column = word * 32 + std::countr_zero(bits);
                if (column >= source.m_columns || (column == columnEdge && columnShift < 0))
                    continue;
                const int newColumn = column < columnEdge ? column : column + columnShift;
                if (newColumn < m_columns)
                    SetBit(newColumn, newRow);
            }
        }
    }
}

void CBoolTable::Rebuild(int columns, int rows, int columnEdge, int columnShift, int rowEdge,
                         int rowShift)
{
    CBoolTable rebuilt;
    rebuilt.Create(columns, rows);
    rebuilt.CopyBitsFrom(*this, columnEdge, columnShift, rowEdge, rowShift);
    *this = std::move(rebuilt);
}

void CBoolTable::InsertRow(int row)
{
    if (row < 0 || row > m_rows)
        return;
    Rebuild(m_columns, m_rows + 1, INT_MAX, 0, row, 1);
}

void CBoolTable::RemoveRow(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    Rebuild(m_columns, m_rows - 1, INT_MAX, 0, row, -1);
}

void CBoolTable::InsertColumn(int column)
{
    if (column < 0 || column > m_columns)
        return;
    Rebuild(m_columns + 1, m_rows, column, 1, INT_MAX, 0);
}

void CBoolTable::RemoveColumn(int column)
{
    if (column < 0 || column >= m_columns)
        return;
    Rebuild(m_columns - 1, m_rows, column, -1, INT_MAX, 0);
}

void CBoolTable::Resize(int columns, int rows)
{
    Rebuild(columns, rows, INT_MAX, 0, INT_MAX, 0);
}

bool CBoolTable::operator!=(const CBoolTable& other) const
{
    if (m_columns != other.m_columns || m_rows != other.m_rows)
        return true;
    if (m_words.GetSize() == 0 || other.m_words.GetSize() == 0)
        return m_words.GetSize() != other.m_words.GetSize();
    if (m_wordsPerRow == other.m_wordsPerRow)
        return !std::equal(m_words.begin(), m_words.end(), other.m_words.begin());
    // Same size, different layouts (a table read back against a created one): compare row by
    // row, a word missing on one side counting as clear.
    const int widest = std::max(m_wordsPerRow, other.m_wordsPerRow);
    for (int row = 0; row < m_rows; ++row) {
        for (int word = 0; word < widest; ++word) {
            const std::uint32_t mine =
                word < m_wordsPerRow ? m_words[row * m_wordsPerRow + word] : 0u;
            const std::uint32_t theirs =
                word < other.m_wordsPerRow ? other.m_words[row * other.m_wordsPerRow + word] : 0u;
            if (mine != theirs)
                return true;
        }
    }
    return false;
}

bool CBoolTable::Save(const std::string& path) const
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    return WriteTo(file) && file.flush();
}

bool CBoolTable::Load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    return ReadFrom(file);
}

bool CBoolTable::WriteTo(std::ostream& stream) const
{
    PutInt32(stream, static_cast<std::uint32_t>(m_wordsPerRow));
    PutInt32(stream, static_cast<std::uint32_t>(m_rows));
    for (std::uint32_t word : m_words)
        PutInt32(stream, word);
    return bool(stream);
}

bool CBoolTable::ReadFrom(std::istream& stream)
{
    std::int32_t wordsPerRow = 0;
    std::int32_t rows = 0;
    if (!GetInt32(stream, wordsPerRow) || !GetInt32(stream, rows))
        return false;
    // Sizes a table can have: the column count 32 * wordsPerRow and the word count fit an int,
    // and rows need words.
    if (wordsPerRow < 0 || rows < 0 || wordsPerRow > INT_MAX / 32 ||
        (wordsPerRow == 0 && rows != 0))
        return false;
    const std::int64_t count = std::int64_t{wordsPerRow} * rows;
    if (count > INT_MAX)
        return false;
    std::vector<std::uint32_t> words;
    if (!GetWords(stream, count, words))
        return false;

    CAutoArray<std::uint32_t> block(static_cast<int>(count));
    std::copy(words.begin(), words.end(), block.begin());
    m_words = std::move(block);
    m_wordsPerRow = wordsPerRow;
    m_rows = rows;
    m_columns = 32 * wordsPerRow;
    return true;
}
