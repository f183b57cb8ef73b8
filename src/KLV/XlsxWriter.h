#pragma once

#include <string>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;

// Spreadsheet targets: one worksheet of a new .xlsx workbook, written row by row, the first
// row the column names.

namespace trv {

class CXlsxWriter
{
  public:
    CXlsxWriter() = default;
    ~CXlsxWriter();
    CXlsxWriter(const CXlsxWriter&) = delete;
    CXlsxWriter& operator=(const CXlsxWriter&) = delete;

    // Creates the workbook (replacing a file of that name when it is closed) with one sheet,
    // named `sheet` or "Sheet1".
    bool Open(const std::string& path, const std::string& sheet, std::string& error);
    // Writes the next row. A text that reads back as the same number is written as a number;
    // every other text as a string; an empty text leaves the cell empty.
    bool WriteRow(const std::vector<std::string>& cells, std::string& error);
    // Writes the workbook to disk; false when it could not be saved.
    bool Close(std::string& error);
    bool IsOpen() const { return m_workbook != nullptr; }

  private:
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_worksheet = nullptr;
    unsigned m_row = 0;
    std::string m_path;
};

} // namespace trv
