// Spreadsheet sources and targets: an EXCEL definition reads or writes one worksheet of an
// .xlsx workbook as a table whose first row names the columns. The sheet is held in memory:
// read whole at the opening, filtered and sorted here, and for a target written back whole at
// Close, rows found by the definition's KEY updated in place and the others appended.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/XlsxReader.h"
#include "KLV/XlsxWriter.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

struct CFetchWorkbook
{
    std::string path;
    std::string sheet; // the sheet's bare name
    trv::XlsxTable table;
    std::size_t nextRow = 0;
    std::size_t currentRow = 0;
    bool hasCurrentRow = false;
    // A sheet without headers takes the columns of the records written to it.
    bool addsColumns = false;
    bool changed = false;
};

void FetchWorkbookDeleter::operator()(CFetchWorkbook* workbook) const
{
    delete workbook;
}

namespace {

bool IsOldWorkbookName(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".xls";
}

bool RowIsEmpty(const std::vector<std::string>& row)
{
    return std::all_of(row.begin(), row.end(),
                       [](const std::string& cell) { return cell.empty(); });
}

// Numbers compare as numbers, other texts by their bytes.
int CompareCells(const std::string& left, const std::string& right)
{
    double leftNumber = 0;
    double rightNumber = 0;
    if (trv::TryParseDouble(left, leftNumber) && trv::TryParseDouble(right, rightNumber))
        return leftNumber < rightNumber ? -1 : (rightNumber < leftNumber ? 1 : 0);
    return left.compare(right);
}

} // namespace

int CFetch::OpenExcelSource(int mode)
{
    std::string path;
    if (!ReadFileName(path))
        return 0;
    ReadListSeparator();
    ReadListsInSameLine();
    if (mode == FETCH_MODE_CONSULT)
        return 1;
    const auto fail = [&](const std::string& text) {
        m_strLastError = text;
        trv::GetUserPrompt().ShowMessage("Error_Abrir_Archivo", text, trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::OpenSqlSource", "%s: %s", m_strName.c_str(), text.c_str());
        m_nKind = FETCH_KIND_DATABASE;
        return 0;
    };
    if (path.empty())
        return fail(TranslateFormat("FormatNotFound", "FILENAME", m_strName + "_FORMAT",
                                    m_strDefinitionFile));
    if (IsOldWorkbookName(path))
        return fail(path + ": an .xls workbook (the old binary format) can be neither read nor "
                           "written; save it as .xlsx");
    const std::string& sheet = GetSetting("TABLENAME");
    if (sheet.empty()) {
        ReadTableName(); // reports the missing TABLENAME
        return 0;
    }
    m_strTableName = sheet;

    auto workbook = std::unique_ptr<CFetchWorkbook, FetchWorkbookDeleter>(new CFetchWorkbook);
    workbook->path = path;
    workbook->sheet = trv::BareSheetName(sheet);
    std::string error;
    if (mode == FETCH_MODE_READ) {
        if (!trv::CXlsxReader::Read(path, sheet, workbook->table, error))
            return fail(error);
    } else if (std::filesystem::exists(path)) {
        // The target is written back whole: a workbook with other sheets would lose them.
        std::vector<std::string> names;
        if (!trv::CXlsxReader::SheetNames(path, names, error))
            return fail(error);
        const bool others = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return !trv::EqualsNoCase(name, workbook->sheet);
        });
        if (others)
            return fail(path + ": the workbook holds other sheets than \"" + workbook->sheet +
                        "\", which writing would lose");
        if (!names.empty() && !trv::CXlsxReader::Read(path, sheet, workbook->table, error))
            return fail(error);
    }
    workbook->addsColumns = workbook->table.headers.empty();
    m_pWorkbook = std::move(workbook);

    if (!GetPrimaryKeys() || !GetDeletingFields()) {
        m_pWorkbook.reset();
        m_nKind = FETCH_KIND_DATABASE;
        return 0;
    }
    m_nKind = FETCH_KIND_DATABASE;
    if (mode == FETCH_MODE_READ) {
        // The WHERE tests the fields of each row, as the SELECT of a database would.
        if (!ParseWhereOverFields()) {
            m_pWorkbook.reset();
            return 0;
        }
        m_arrOrderByFields.SetSize(0);
        AppendCommaItems(GetSetting("ORDER_BY"), m_arrOrderByFields);
        std::vector<std::pair<int, bool>> order;
        for (const std::string& item : m_arrOrderByFields) {
            std::string name(trv::Trim(item));
            const bool descending = name.ends_with('<');
            if (descending)
                name = std::string(trv::Trim(name.substr(0, name.size() - 1)));
            std::string column;
            if (!ReadFieldFormat(name, column, true)) {
                m_pWorkbook.reset();
                return 0;
            }
            order.emplace_back(m_pWorkbook->table.ColumnIndex(column), descending);
        }
        if (!order.empty()) {
            std::stable_sort(
                m_pWorkbook->table.rows.begin(), m_pWorkbook->table.rows.end(),
                [&](const std::vector<std::string>& left, const std::vector<std::string>& right) {
                    for (const auto& [column, descending] : order) {
                        if (column < 0)
                            continue;
                        const auto index = static_cast<std::size_t>(column);
                        const int result = CompareCells(left[index], right[index]);
                        if (result != 0)
                            return descending ? result > 0 : result < 0;
                    }
                    return false;
                });
        }
    }
    m_nRecord = 0;
    m_nRecordCount = static_cast<int>(m_pWorkbook->table.rows.size());
    return 1;
}

int CFetch::IsExcelEOF() const
{
    return m_pWorkbook->nextRow >= m_pWorkbook->table.rows.size() ? 1 : 0;
}

int CFetch::MoveNextExcel()
{
    CFetchWorkbook& workbook = *m_pWorkbook;
    workbook.hasCurrentRow = false;
    if (workbook.nextRow >= workbook.table.rows.size())
        return 0;
    workbook.currentRow = workbook.nextRow++;
    workbook.hasCurrentRow = true;
    ++m_nRecord;
    if (RowIsEmpty(workbook.table.rows[workbook.currentRow]))
        return 0;
    return TestWhere() ? 0 : 1;
}

std::string CFetch::ReadExcelValue() const
{
    const CFetchWorkbook& workbook = *m_pWorkbook;
    if (!workbook.hasCurrentRow || m_strColumn.empty())
        return {};
    const int column = workbook.table.ColumnIndex(m_strColumn);
    const std::vector<std::string>& row = workbook.table.rows[workbook.currentRow];
    if (column < 0 || static_cast<std::size_t>(column) >= row.size())
        return {};
    return row[static_cast<std::size_t>(column)];
}

bool CFetch::WriteExcelValues(const std::vector<std::string>& values)
{
    CFetchWorkbook& workbook = *m_pWorkbook;
    trv::XlsxTable& table = workbook.table;
    // The sheet column of each place; -1 for a column the sheet lacks (left out).
    std::vector<int> columns(m_arrOutColumns.size(), -1);
    for (std::size_t place = 0; place < m_arrOutColumns.size(); ++place) {
        const std::string& name = m_arrOutColumns[place];
        if (name.empty())
            continue;
        int column = table.ColumnIndex(name);
        if (column < 0 && (workbook.addsColumns || m_bSameFieldName)) {
            table.headers.push_back(name);
            for (auto& row : table.rows)
                row.emplace_back();
            column = static_cast<int>(table.headers.size()) - 1;
        }
        columns[place] = column;
    }

    MapPrimaryKeys(m_arrKeyColumns, m_arrKeyColumnIndex);
    std::vector<std::pair<int, std::string>> key;
    for (std::size_t index = 0; index < m_arrKeyColumnIndex.size(); ++index) {
        const int place = m_arrKeyColumnIndex[index];
        if (place < 0 || static_cast<std::size_t>(place) >= values.size() ||
            columns[static_cast<std::size_t>(place)] < 0)
            continue;
        const std::string& value = values[static_cast<std::size_t>(place)];
        if (value.empty()) {
            m_strLastError = m_strName + ": the key " + m_arrKeyColumns[static_cast<int>(index)] +
                             " has no value";
            TRV_TRACE(1, "CFetch::FillText", "FillText, %s bKey && sFieldValue==NULL",
                      m_arrKeyColumns[static_cast<int>(index)].c_str());
            return false;
        }
        key.emplace_back(columns[static_cast<std::size_t>(place)], value);
    }

    std::vector<std::string>* target = nullptr;
    if (!key.empty()) {
        for (auto& row : table.rows) {
            const bool same = std::all_of(key.begin(), key.end(), [&](const auto& part) {
                return row[static_cast<std::size_t>(part.first)] == part.second;
            });
            if (same) {
                target = &row;
                break;
            }
        }
    }
    const bool inserted = target == nullptr;
    if (inserted) {
        table.rows.emplace_back(table.headers.size());
        target = &table.rows.back();
    }
    std::string logged;
    for (std::size_t place = 0; place < columns.size() && place < values.size(); ++place) {
        if (columns[place] < 0)
            continue;
        (*target)[static_cast<std::size_t>(columns[place])] = values[place];
        logged += (logged.empty() ? "" : ",") + values[place];
    }
    workbook.changed = true;
    if (inserted && m_bLogNewEntries) {
        if (!m_pNewEntriesLog)
            m_pNewEntriesLog = std::make_unique<trv::CSqlNewEntriesLog>();
        m_pNewEntriesLog->Append(m_strTableName, logged);
    }
    return true;
}

bool CFetch::SaveWorkbook()
{
    CFetchWorkbook& workbook = *m_pWorkbook;
    if (!workbook.changed)
        return true;
    // Written beside the target and renamed onto it, so a failure leaves the old workbook.
    const std::string temporary = workbook.path + "." + std::to_string(::getpid()) + ".xlsx";
    trv::CXlsxWriter writer;
    std::string error;
    bool written = writer.Open(temporary, workbook.sheet, error) &&
                   writer.WriteRow(workbook.table.headers, error);
    for (std::size_t row = 0; written && row < workbook.table.rows.size(); ++row)
        written = writer.WriteRow(workbook.table.rows[row], error);
    std::string closing;
    written = writer.Close(closing) && written;
    if (error.empty())
        error = closing;
    if (written && std::rename(temporary.c_str(), workbook.path.c_str()) != 0) {
        error = workbook.path + ": " + std::strerror(errno);
        written = false;
    }
    if (written) {
        workbook.changed = false;
        return true;
    }
    std::remove(temporary.c_str());
    m_strLastError = TranslateFormat("FileCannotWrite", error, workbook.path);
    TRV_TRACE(1, "CFetch::Close", "%s: %s", m_strName.c_str(), error.c_str());
    trv::GetUserPrompt().ShowMessage("FileCannotWrite", m_strLastError, trv::MessageKind::Error);
    return false;
}
