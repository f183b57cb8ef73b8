// Spreadsheet sources and targets: an EXCEL definition reads or writes one worksheet of an
// .xlsx workbook as a table whose first row names the columns. The sheet is held in memory:
// read whole at the opening, filtered and sorted here. Cells keep their types: they reach the
// field readers as a database column's values do, and the values written become numbers, dates,
// times, Booleans or texts by the type of the field that set them. A target is saved at Close,
// rows found by the definition's KEY updated and the others appended.

#include "KLV/AdoRecordset.h"
#include "KLV/Fetch.h"
#include "KLV/SqlDialect.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/XlsxReader.h"
#include "KLV/XlsxUpdater.h"
#include "KLV/XlsxWriter.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
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
    // A target that exists is updated in place: the sheet as read, to tell what changed.
    bool existing = false;
    trv::XlsxTable original;
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

// The ADO type of the date writers' values.
constexpr long kAdoDate = 7;

bool RowIsEmpty(const std::vector<trv::XlsxCell>& row)
{
    return std::all_of(row.begin(), row.end(), [](const trv::XlsxCell& cell) {
        return cell.kind == trv::XlsxCellKind::Empty;
    });
}

// The order of a sort key, as a database orders its column: empty cells first, then numbers,
// dates and Booleans by value, then texts by their bytes.
int CompareCells(const trv::XlsxCell& left, const trv::XlsxCell& right)
{
    const auto rank = [](const trv::XlsxCell& cell) {
        return cell.kind == trv::XlsxCellKind::Empty  ? 0
               : cell.kind == trv::XlsxCellKind::Text ? 2
                                                      : 1;
    };
    if (rank(left) != rank(right))
        return rank(left) < rank(right) ? -1 : 1;
    if (rank(left) == 2)
        return left.text.compare(right.text);
    return left.number < right.number ? -1 : (right.number < left.number ? 1 : 0);
}

// The text a cell stands for when compared with a written text: a number as a reader of the
// sheet would type it.
std::string CellKeyText(const trv::XlsxCell& cell)
{
    if (cell.kind == trv::XlsxCellKind::Text)
        return cell.text;
    if (cell.kind == trv::XlsxCellKind::Empty)
        return {};
    return trv::FormatC("%.15g", cell.number);
}

// True when a written value is the value the cell holds already.
bool SameCellValue(const trv::XlsxCell& cell, const trv::XlsxCell& value)
{
    if (cell.kind == trv::XlsxCellKind::Text || value.kind == trv::XlsxCellKind::Text ||
        cell.kind == trv::XlsxCellKind::Empty || value.kind == trv::XlsxCellKind::Empty)
        return CellKeyText(cell) == CellKeyText(value);
    // Dates and times to the second, numbers exactly.
    if (cell.IsDateOrTime() || value.IsDateOrTime())
        return std::llround(cell.number * 86400.0) == std::llround(value.number * 86400.0);
    return cell.number == value.number;
}

trv::XlsxCell NumberCell(trv::XlsxCellKind kind, double number)
{
    trv::XlsxCell cell;
    cell.kind = kind;
    cell.number = number;
    return cell;
}

trv::XlsxCell TextCell(const std::string& text)
{
    trv::XlsxCell cell;
    if (!text.empty()) {
        cell.kind = trv::XlsxCellKind::Text;
        cell.text = text;
    }
    return cell;
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
        // Only the cells written will change: the sheet must be there to be updated.
        if (!trv::CXlsxReader::Read(path, sheet, workbook->table, error))
            return fail(error);
        workbook->existing = true;
        workbook->original = workbook->table;
    }
    workbook->addsColumns = workbook->table.headers.empty();
    m_pWorkbook = std::move(workbook);
    ++m_nSourceStamp; // the fields find their columns in the new sheet

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
        std::vector<std::pair<std::string, bool>> columns;
        if (!ReadOrderByColumns(columns)) {
            m_pWorkbook.reset();
            return 0;
        }
        std::vector<std::pair<int, bool>> order;
        for (const auto& [column, descending] : columns)
            order.emplace_back(m_pWorkbook->table.ColumnIndex(column), descending);
        if (!order.empty()) {
            std::stable_sort(m_pWorkbook->table.rows.begin(), m_pWorkbook->table.rows.end(),
                             [&](const std::vector<trv::XlsxCell>& left,
                                 const std::vector<trv::XlsxCell>& right) {
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

const trv::XlsxCell* CFetch::CurrentExcelCell(const std::string& column) const
{
    const CFetchWorkbook& workbook = *m_pWorkbook;
    if (!workbook.hasCurrentRow || column.empty())
        return nullptr;
    const int index = workbook.table.ColumnIndex(column);
    const std::vector<trv::XlsxCell>& row = workbook.table.rows[workbook.currentRow];
    if (index < 0 || static_cast<std::size_t>(index) >= row.size())
        return nullptr;
    return &row[static_cast<std::size_t>(index)];
}

const trv::XlsxCell* CFetch::CurrentExcelCell(FetchFieldPlace& place)
{
    const CFetchWorkbook& workbook = *m_pWorkbook;
    if (!workbook.hasCurrentRow || place.column.empty())
        return nullptr;
    ResolveSourceColumn(place);
    const std::vector<trv::XlsxCell>& row = workbook.table.rows[workbook.currentRow];
    if (place.columnIndex < 0 || static_cast<std::size_t>(place.columnIndex) >= row.size())
        return nullptr;
    return &row[static_cast<std::size_t>(place.columnIndex)];
}

int CFetch::SheetColumnIndex(const std::string& column) const
{
    return m_pWorkbook->table.ColumnIndex(column);
}

void CFetch::ReadExcelValue(FetchFieldPlace& place, std::string& value)
{
    const trv::XlsxCell* cell = CurrentExcelCell(place);
    if (!cell)
        return;
    // The value a database column of the cell's type gives, in the definition's formats.
    switch (cell->kind) {
    case trv::XlsxCellKind::Empty:
        return;
    case trv::XlsxCellKind::Text:
        value = cell->text;
        return;
    case trv::XlsxCellKind::Boolean:
        value = VariantToText(cell->number != 0);
        return;
    case trv::XlsxCellKind::Number:
        value = VariantToText(cell->number);
        return;
    default:
        value = VariantToText(trv::OleDate(cell->number));
        return;
    }
}

long CFetch::ExcelFieldType(const std::string& column) const
{
    return ExcelCellType(CurrentExcelCell(column));
}

long CFetch::ExcelCellType(const trv::XlsxCell* cell)
{
    if (!cell)
        return trv::AdoType::Empty;
    switch (cell->kind) {
    case trv::XlsxCellKind::Number:
        return trv::AdoType::Double;
    case trv::XlsxCellKind::Boolean:
        return trv::AdoType::Boolean;
    case trv::XlsxCellKind::Text:
        return trv::AdoType::VarWChar;
    case trv::XlsxCellKind::Empty:
        return trv::AdoType::Empty;
    default:
        return trv::AdoType::DBTimeStamp;
    }
}

trv::XlsxCell CFetch::ExcelCellOfValue(std::size_t place, const std::string& value) const
{
    const std::optional<TFetchColumnType>& declared =
        place < m_arrSetTypes.size() ? m_arrSetTypes[place] : std::nullopt;
    if (value.empty())
        return {};
    if (!declared) {
        // A value of no typed writer: a number when it reads back as the same text.
        double number = 0;
        char written[32];
        if (value.size() <= 15 && trv::TryParseDouble(value, number) &&
            (std::snprintf(written, sizeof written, "%.15g", number), value == written))
            return NumberCell(trv::XlsxCellKind::Number, number);
        return TextCell(value);
    }
    switch (declared->nAdoType) {
    case trv::AdoType::Integer:
    case trv::AdoType::Single:
    case trv::AdoType::Double: {
        // The definition's decimal separator is read here and never reaches the cell.
        std::string normalised;
        double number = 0;
        if (trv::NormaliseSqlNumber(value, m_strDecimalSeparator, normalised) &&
            trv::TryParseDouble(normalised, number))
            return NumberCell(trv::XlsxCellKind::Number, number);
        return TextCell(value);
    }
    case trv::AdoType::Boolean:
        if (value == m_strBoolTrue || value == m_strBoolFalse)
            return NumberCell(trv::XlsxCellKind::Boolean, value == m_strBoolTrue ? 1 : 0);
        return TextCell(value);
    case kAdoDate: {
        trv::SqlDateParts parts;
        if (!trv::ParseSqlDate(value, m_strDateFormat, parts) || !parts.hasDate)
            return TextCell(value);
        const trv::OleDate date(parts.year, parts.month, parts.day, parts.hour, parts.minute,
                                parts.second);
        if (!date.IsValid())
            return TextCell(value);
        return NumberCell(parts.hasTime ? trv::XlsxCellKind::DateTime : trv::XlsxCellKind::Date,
                          date.GetValue());
    }
    default:
        break;
    }
    if (declared->nKind == FETCH_VALUE_TIME) {
        const int minutes = ParseTime(value);
        if (minutes == kUnsetTime)
            return {};
        return NumberCell(trv::XlsxCellKind::Time, minutes / 1440.0);
    }
    return TextCell(value);
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
            ++m_nSourceStamp;
            for (auto& row : table.rows)
                row.emplace_back();
            column = static_cast<int>(table.headers.size()) - 1;
        }
        columns[place] = column;
    }

    MapPrimaryKeys(m_arrKeyColumns, m_arrKeyColumnIndex);
    std::vector<std::pair<int, trv::XlsxCell>> key;
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
        key.emplace_back(columns[static_cast<std::size_t>(place)],
                         ExcelCellOfValue(static_cast<std::size_t>(place), value));
    }

    std::vector<trv::XlsxCell>* target = nullptr;
    if (!key.empty()) {
        for (auto& row : table.rows) {
            const bool same = std::all_of(key.begin(), key.end(), [&](const auto& part) {
                return SameCellValue(row[static_cast<std::size_t>(part.first)], part.second);
            });
            if (same) {
                target = &row;
                break;
            }
        }
    }
    std::vector<trv::XlsxCell> written(columns.size());
    for (std::size_t place = 0; place < columns.size() && place < values.size(); ++place) {
        if (columns[place] < 0)
            continue;
        written[place] = ExcelCellOfValue(place, values[place]);
        // A formula is the sheet's own: a value written over it would take its place.
        const trv::XlsxCell* cell =
            target ? &(*target)[static_cast<std::size_t>(columns[place])] : nullptr;
        if (cell && cell->formula && !SameCellValue(*cell, written[place])) {
            m_strLastError = m_strName + ": " + workbook.path + ": the column " +
                             table.headers[static_cast<std::size_t>(columns[place])] +
                             " of this row holds a formula, which writing a value would replace";
            TRV_TRACE(1, "CFetch::WriteRecord", "%s", m_strLastError.c_str());
            return false;
        }
    }
    const bool inserted = target == nullptr;
    if (inserted) {
        table.rows.emplace_back(table.headers.size());
        table.rowNumbers.push_back(
            (table.rowNumbers.empty() ? table.headerRowNumber : table.rowNumbers.back()) + 1);
        target = &table.rows.back();
    }
    std::string logged;
    for (std::size_t place = 0; place < columns.size() && place < values.size(); ++place) {
        if (columns[place] < 0)
            continue;
        trv::XlsxCell& cell = (*target)[static_cast<std::size_t>(columns[place])];
        // A cell given the value it holds keeps its type, format and formula.
        if (!SameCellValue(cell, written[place]))
            cell = written[place];
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
    std::string error;
    bool written = false;
    if (workbook.existing) {
        written = trv::UpdateWorkbookSheet(workbook.path, temporary, workbook.sheet,
                                           workbook.original, workbook.table, error);
    } else {
        trv::CXlsxWriter writer;
        written = writer.Open(temporary, workbook.sheet, error) &&
                  writer.WriteTexts(workbook.table.headers, error);
        for (std::size_t row = 0; written && row < workbook.table.rows.size(); ++row)
            written = writer.WriteRow(workbook.table.rows[row], error);
        std::string closing;
        written = writer.Close(closing) && written;
        if (error.empty())
            error = closing;
    }
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
