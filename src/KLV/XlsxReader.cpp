#include "KLV/XlsxReader.h"

#include "KLV/XlsxParts.h"
#include "platform/Text.h"
#include "zip/ZipException.h"

#include <string_view>

namespace trv {
namespace {

using namespace xlsx;

void ReadRows(const Node* sheetData, const std::vector<std::string>& sharedStrings,
              const CellStyles& styles, bool date1904, XlsxTable& table)
{
    bool first = true;
    unsigned rowNumber = 0;
    for (const Node* row = Child(sheetData, "row"); row; row = Next(row, "row")) {
        int number = 0;
        rowNumber = TryParseInt(Attribute(row, "r"), number) && number > 0
                        ? static_cast<unsigned>(number)
                        : rowNumber + 1;
        std::vector<XlsxCell> cells;
        int nextColumn = 0;
        for (const Node* cell = Child(row, "c"); cell; cell = Next(cell, "c")) {
            int column = ColumnOfReference(Attribute(cell, "r"));
            if (column < 0)
                column = nextColumn;
            nextColumn = column + 1;
            if (first || column < static_cast<int>(table.headers.size())) {
                if (static_cast<int>(cells.size()) <= column)
                    cells.resize(static_cast<std::size_t>(column) + 1);
                cells[static_cast<std::size_t>(column)] =
                    ReadCell(cell, sharedStrings, styles, date1904);
            }
        }
        if (first) {
            for (XlsxCell& cell : cells)
                table.headers.push_back(std::move(cell.text));
            table.headerRowNumber = rowNumber;
            first = false;
            continue;
        }
        cells.resize(table.headers.size());
        table.rows.push_back(std::move(cells));
        table.rowNumbers.push_back(rowNumber);
    }
}

} // namespace

std::string BareSheetName(std::string_view name)
{
    name = Trim(name);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'')
        name = name.substr(1, name.size() - 2);
    if (!name.empty() && name.back() == '$')
        name.remove_suffix(1);
    return std::string(name);
}

int XlsxTable::ColumnIndex(const std::string& header) const
{
    for (std::size_t index = 0; index < headers.size(); ++index)
        if (EqualsNoCase(headers[index], header))
            return static_cast<int>(index);
    return -1;
}

bool CXlsxReader::Read(const std::string& path, const std::string& sheet, XlsxTable& table,
                       std::string& error)
{
    table = XlsxTable();
    error = CompoundDocumentError(path);
    if (!error.empty())
        return false;
    try {
        Archive archive(path);
        std::string part;
        if (!FindSheetPart(archive, BareSheetName(sheet), part, error)) {
            error = path + ": " + error;
            return false;
        }
        const std::vector<std::string> sharedStrings = ReadSharedStrings(archive);
        XmlPart styles;
        XmlPart book;
        const bool hasStyles = archive.Parse("xl/styles.xml", styles);
        archive.Parse("xl/workbook.xml", book);
        const CellStyles cellStyles =
            hasStyles ? ReadCellStyles(Child(&styles.document, "styleSheet")) : CellStyles();
        XmlPart worksheet;
        if (!archive.Parse(part, worksheet)) {
            error = path + ": the sheet's part " + part + " is missing";
            return false;
        }
        ReadRows(Child(Child(&worksheet.document, "worksheet"), "sheetData"), sharedStrings,
                 cellStyles, UsesDate1904(Child(&book.document, "workbook")), table);
        return true;
    } catch (const CZipException& exception) {
        error = path + ": not an .xlsx workbook (" + exception.what() + ")";
    } catch (const rapidxml::parse_error& exception) {
        error = path + ": broken XML in the workbook (" + exception.what() + ")";
    }
    table = XlsxTable();
    return false;
}

bool CXlsxReader::SheetNames(const std::string& path, std::vector<std::string>& names,
                             std::string& error)
{
    names.clear();
    error = CompoundDocumentError(path);
    if (!error.empty())
        return false;
    try {
        Archive archive(path);
        XmlPart book;
        if (!archive.Parse("xl/workbook.xml", book)) {
            error = path + ": it is not an .xlsx workbook";
            return false;
        }
        const Node* sheets = Child(Child(&book.document, "workbook"), "sheets");
        for (const Node* sheet = Child(sheets, "sheet"); sheet; sheet = Next(sheet, "sheet"))
            names.push_back(Attribute(sheet, "name"));
        return true;
    } catch (const CZipException& exception) {
        error = path + ": not an .xlsx workbook (" + exception.what() + ")";
    } catch (const rapidxml::parse_error& exception) {
        error = path + ": broken XML in the workbook (" + exception.what() + ")";
    }
    names.clear();
    return false;
}

} // namespace trv
