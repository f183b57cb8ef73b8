#pragma once

#include "KLV/XlsxReader.h"

#include <string>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

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
    // Writes the next row: numbers and Booleans as such, dates and times as numbers with a
    // date or time format, texts as texts; an empty cell is left out.
    bool WriteRow(const std::vector<XlsxCell>& cells, std::string& error);
    // Writes the next row of texts (the column names).
    bool WriteTexts(const std::vector<std::string>& texts, std::string& error);
    // Writes the workbook to disk; false when it could not be saved.
    bool Close(std::string& error);
    bool IsOpen() const { return m_workbook != nullptr; }

  private:
    lxw_format* DateTimeFormat(XlsxCellKind kind);

    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_worksheet = nullptr;
    // The formats of dates, times and both, made when first needed.
    lxw_format* m_dateFormat = nullptr;
    lxw_format* m_timeFormat = nullptr;
    lxw_format* m_dateTimeFormat = nullptr;
    unsigned m_row = 0;
    std::string m_path;
};

} // namespace trv
