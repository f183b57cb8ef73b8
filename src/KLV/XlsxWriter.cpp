#include "KLV/XlsxWriter.h"

#include <xlsxwriter.h>

namespace trv {
namespace {

// The built-in number formats a spreadsheet program shows in the reader's own locale.
constexpr std::uint8_t kShortDateFormat = 14;
constexpr std::uint8_t kTimeFormat = 20;
constexpr std::uint8_t kDateTimeFormat = 22;

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

lxw_format* CXlsxWriter::DateTimeFormat(XlsxCellKind kind)
{
    lxw_format** format = kind == XlsxCellKind::Date   ? &m_dateFormat
                          : kind == XlsxCellKind::Time ? &m_timeFormat
                                                       : &m_dateTimeFormat;
    if (!*format) {
        *format = workbook_add_format(m_workbook);
        format_set_num_format_index(*format, kind == XlsxCellKind::Date   ? kShortDateFormat
                                             : kind == XlsxCellKind::Time ? kTimeFormat
                                                                          : kDateTimeFormat);
    }
    return *format;
}

bool CXlsxWriter::WriteRow(const std::vector<XlsxCell>& cells, std::string& error)
{
    if (!m_worksheet) {
        error = "no workbook is open";
        return false;
    }
    for (std::size_t column = 0; column < cells.size(); ++column) {
        const XlsxCell& cell = cells[column];
        const auto col = static_cast<lxw_col_t>(column);
        lxw_error result = LXW_NO_ERROR;
        switch (cell.kind) {
        case XlsxCellKind::Empty:
            continue;
        case XlsxCellKind::Number:
            result = worksheet_write_number(m_worksheet, m_row, col, cell.number, nullptr);
            break;
        case XlsxCellKind::Boolean:
            result = worksheet_write_boolean(m_worksheet, m_row, col, cell.number != 0, nullptr);
            break;
        case XlsxCellKind::Text:
            result = worksheet_write_string(m_worksheet, m_row, col, cell.text.c_str(), nullptr);
            break;
        default:
            result = worksheet_write_number(m_worksheet, m_row, col, cell.number,
                                            DateTimeFormat(cell.kind));
            break;
        }
        if (result != LXW_NO_ERROR) {
            error = m_path + ": row " + std::to_string(m_row + 1) + ": " + lxw_strerror(result);
            return false;
        }
    }
    ++m_row;
    return true;
}

bool CXlsxWriter::WriteTexts(const std::vector<std::string>& texts, std::string& error)
{
    std::vector<XlsxCell> cells(texts.size());
    for (std::size_t column = 0; column < texts.size(); ++column) {
        if (texts[column].empty())
            continue;
        cells[column].kind = XlsxCellKind::Text;
        cells[column].text = texts[column];
    }
    return WriteRow(cells, error);
}

bool CXlsxWriter::Close(std::string& error)
{
    if (!m_workbook)
        return true;
    const lxw_error result = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_worksheet = nullptr;
    m_dateFormat = m_timeFormat = m_dateTimeFormat = nullptr;
    if (result != LXW_NO_ERROR) {
        error = m_path + ": " + lxw_strerror(result);
        return false;
    }
    return true;
}

} // namespace trv
