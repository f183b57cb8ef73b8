#pragma once

#include "containers/AutoArray.h"

#include <cstdint>
#include <iosfwd>
#include <string>

// A matrix of bits, columns by rows. Each row takes columns/32 + 1 words of 32 bits; the bit of
// (column c, row r) is bit c%32 of word r * wordsPerRow + c/32. Bits beyond the columns stay
// clear. Columns come first, then rows, in every operation; indexes are not checked.
//
// Stored form (little-endian, no header): int32 wordsPerRow, int32 rows, then the words row
// after row. The column count is not stored: a table read back has 32 * wordsPerRow columns.
class CBoolTable
{
  public:
    CBoolTable() = default;
    CBoolTable(const CBoolTable& other) { *this = other; }
    CBoolTable(CBoolTable&&) noexcept = default;
    CBoolTable& operator=(const CBoolTable& other);
    CBoolTable& operator=(CBoolTable&&) noexcept = default;

    // A clear table of the given size.
    void Create(int columns, int rows);

    int GetBit(int column, int row) const
    {
        return (m_words[row * m_wordsPerRow + (column >> 5)] >> (column & 31)) & 1u;
    }

    void SetBit(int column, int row)
    {
        m_words[row * m_wordsPerRow + (column >> 5)] |= 1u << (column & 31);
    }

    void ClearBit(int column, int row)
    {
        m_words[row * m_wordsPerRow + (column >> 5)] &= ~(1u << (column & 31));
    }

    // Sets the bits from..to (inclusive, clamped to the columns) of one row.
    void SetRange(int from, int to, int row);
    void ClearAll();
    void SetAll();

    // Structural edits; an index out of range leaves the table unchanged. Insertions accept the
    // end (0..rows, 0..columns) and append.
    void InsertRow(int row);
    void RemoveRow(int row);
    void InsertColumn(int column);
    void RemoveColumn(int column);
    // New size, keeping every bit whose column and row exist in both sizes.
    void Resize(int columns, int rows);

    // Tables of different sizes differ; equal sizes compare their bits.
    bool operator!=(const CBoolTable& other) const;
    bool operator==(const CBoolTable& other) const { return !(*this != other); }

    // False when the file cannot be written.
    bool Save(const std::string& path) const;
    // False when the file cannot be read or is short or corrupt; the table is then unchanged.
    bool Load(const std::string& path);
    bool WriteTo(std::ostream& stream) const;
    bool ReadFrom(std::istream& stream);

    int GetColumns() const { return m_columns; }
    int GetRows() const { return m_rows; }
    int GetWordsPerRow() const { return m_wordsPerRow; }

  private:
    // Copies every bit that exists in both tables, moving it by the given offsets where its
    // column or row is at or beyond the given edges.
    void CopyBitsFrom(const CBoolTable& source, int columnEdge, int columnShift, int rowEdge,
                      int rowShift);
    void Rebuild(int columns, int rows, int columnEdge, int columnShift, int rowEdge, int rowShift);

    CAutoArray<std::uint32_t> m_words;
    int m_wordsPerRow = 0;
    int m_columns = 0;
    int m_rows = 0;
};
