#include "KLV/XlsxWriter.h"

#include "platform/Text.h"

#include <cstdio>
#include <xlsxwriter.h>

namespace trv {
namespace {

// True when the text is a number that a reader gets back as the same text: no leading zeros,
// no plus sign, no trailing zeros after the point.
bool IsExactNumber(const std::string& text, double& value)
{
    if (text.empty() || text.size() > 15 || !TryParseDouble(text, value))
        return false;
    char written[32];
    std::snprintf(written, sizeof written, "%.15g", value);
    return text == written;
}

} // namespace

CXlsxWriter::~CXlsxWriter()
{
    std::string ignored;
    Close(ignored);
}

bool CXlsxWriter::Open(const std::string& path, const std::string& sheet, std::string& error)
{
    std::string closing;
    Close(closing);
    m_workbook = workbook_new(path.c_str());
    if (!m_workbook) {
        error = path + ": the workbook cannot be created";
        return false;
    }
    m_worksheet = workbook_add_worksheet(m_workbook, sheet.empty() ? nullptr : sheet.c_str());
    if (!m_worksheet) {
        error = path + ": no sheet \"" + sheet + "\" can be added";
        workbook_close(m_workbook);
        m_workbook = nullptr;
        return false;
    }
    m_path = path;
    m_row = 0;
    return true;
}

bool CXlsxWriter::WriteRow(const std::vector<std::string>& cells, std::string& error)
{
    if (!m_worksheet) {
        error = "no workbook is open";
        return false;
    }
    for (std::size_t column = 0; column < cells.size(); ++column) {
        const std::string& text = cells[column];
        if (text.empty())
            continue;
        double number = 0;
        const auto col = static_cast<lxw_col_t>(column);
        const lxw_error result =
            IsExactNumber(text, number)
                ? worksheet_write_number(m_worksheet, m_row, col, number, nullptr)
                : worksheet_write_string(m_worksheet, m_row, col, text.c_str(), nullptr);
        if (result != LXW_NO_ERROR) {
            error = m_path + ": row " + std::to_string(m_row + 1) + ": " + lxw_strerror(result);
            return false;
        }
    }
    ++m_row;
    return true;
}

bool CXlsxWriter::Close(std::string& error)
{
    if (!m_workbook)
        return true;
    const lxw_error result = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_worksheet = nullptr;
    if (result != LXW_NO_ERROR) {
        error = m_path + ": " + lxw_strerror(result);
        return false;
    }
    return true;
}

} // namespace trv
