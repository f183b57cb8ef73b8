#pragma once

#include <string>
#include <string_view>
#include <vector>

// Spreadsheet sources: one worksheet of an .xlsx workbook read as a table, its first row the
// column names. The workbook is a zip archive of XML parts; it is read whole into memory.

namespace trv {

struct XlsxTable
{
    std::vector<std::string> headers;
    // One text per header and row. Numbers as the workbook stores them (C locale; dates as
    // serial day numbers), Booleans "1" or "0", empty cells "".
    std::vector<std::vector<std::string>> rows;

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
    // file is not an .xlsx workbook (an .xls one is refused by name) or the sheet is missing.
    static bool Read(const std::string& path, const std::string& sheet, XlsxTable& table,
                     std::string& error);
    // The names of the workbook's sheets, in order.
    static bool SheetNames(const std::string& path, std::vector<std::string>& names,
                           std::string& error);
};

} // namespace trv
