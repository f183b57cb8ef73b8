#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Spreadsheet sources: one worksheet of an .xlsx workbook read as a table, its first row the
// column names. The workbook is a zip archive of XML parts; it is read whole into memory.

namespace trv {

// What a cell holds, as a spreadsheet program shows it. A number's kind comes from its number
// format: a date, a time of day, or both.
enum class XlsxCellKind : std::uint8_t
{
    Empty,
    Number,
    Date,
    Time,
    DateTime,
    Boolean,
    Text,
};

struct XlsxCell
{
    XlsxCellKind kind = XlsxCellKind::Empty;
    // The value is the last result of a formula.
    bool formula = false;
    // Numbers; Booleans 1 or 0; dates and times as OLE days (1904 workbooks converted).
    double number = 0;
    // Texts, and the codes of error values ("#DIV/0!").
    std::string text;

    bool IsDateOrTime() const
    {
        return kind == XlsxCellKind::Date || kind == XlsxCellKind::Time ||
               kind == XlsxCellKind::DateTime;
    }
    bool operator==(const XlsxCell&) const = default;
};

struct XlsxTable
{
    std::vector<std::string> headers;
    // One cell per header and row.
    std::vector<std::vector<XlsxCell>> rows;
    // The sheet's row number (1-based) of the headers and of each row.
    unsigned headerRowNumber = 1;
    std::vector<unsigned> rowNumbers;

    // The column of a header, compared ignoring case; -1 when there is none.
    int ColumnIndex(const std::string& header) const;
};

// "Orders$", "[Orders$]" and "'Orders'" name the sheet "Orders".
std::string BareSheetName(std::string_view name);

class CXlsxReader
{
  public:
    // Reads the named worksheet, or the first one when `sheet` is empty. A name may be written
    // as a query names it ("Orders$", "[Orders$]"). False with the reason in `error` when the
    // file is not an .xlsx workbook (an encrypted or .xls one is refused by name) or the sheet
    // is missing.
    static bool Read(const std::string& path, const std::string& sheet, XlsxTable& table,
                     std::string& error);
    // The names of the workbook's sheets, in order.
    static bool SheetNames(const std::string& path, std::vector<std::string>& names,
                           std::string& error);
};

} // namespace trv
