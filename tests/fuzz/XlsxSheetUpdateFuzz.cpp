// The workbook updater over a fuzzed sheet part (and, after a NUL byte, fuzzed cell styles):
// the sheet as read, then a cell changed, a row and a column added as the first byte chooses,
// written to a new workbook. When the update says it succeeded, the new workbook reads again
// and holds the changed cell.

#include "FuzzSupport.h"
#include "KLV/XlsxReader.h"
#include "KLV/XlsxUpdater.h"
#include "zip/ZipArchive.h"
#include "zip/ZipException.h"

#include <string>

namespace {

constexpr std::string_view kContentTypes =
    "<?xml version=\"1.0\"?><Types "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";
constexpr std::string_view kWorkbook =
    "<?xml version=\"1.0\"?><workbook "
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
    "<sheet name=\"Orders\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
constexpr std::string_view kRelations =
    "<?xml version=\"1.0\"?><Relationships "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
    "Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/></Relationships>";

void AddEntry(CZipArchive& zip, const std::string& name, std::string_view bytes)
{
    CZipFileHeader header;
    header.SetFileName(name);
    if (zip.OpenNewEntry(header))
        zip.WriteNewEntryData(bytes.data(), bytes.size());
    zip.CloseNewEntry();
}

// A workbook of one sheet holding the fuzzed part; its path.
std::string MakeWorkbook(std::string_view sheet, std::string_view styles, bool withStyles)
{
    const std::string path = (trv::fuzz::Folder() / "book.xlsx").string();
    CZipArchive zip;
    zip.OpenArchive(path, CZipArchive::zipCreate);
    AddEntry(zip, "[Content_Types].xml", kContentTypes);
    AddEntry(zip, "xl/workbook.xml", kWorkbook);
    AddEntry(zip, "xl/_rels/workbook.xml.rels", kRelations);
    AddEntry(zip, "xl/worksheets/sheet1.xml", sheet);
    if (withStyles)
        AddEntry(zip, "xl/styles.xml", styles);
    zip.CloseArchive();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    const unsigned selector = trv::fuzz::TakeSelector(input);
    const std::size_t nul = input.find('\0');
    const std::string_view sheet = input.substr(0, nul);
    const std::string_view styles =
        nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    std::string path;
    try {
        path = MakeWorkbook(sheet, styles, nul != std::string_view::npos);
    } catch (const CZipException&) {
        return 0; // our own archive of the input could not be made: nothing to test
    }

    trv::XlsxTable before;
    std::string error;
    if (!trv::CXlsxReader::Read(path, "", before, error)) {
        trv::fuzz::Outcome("refused: " + error);
        return 0;
    }
    trv::XlsxTable after = before;
    bool changedCell = false;
    if ((selector & 1) && !after.rows.empty() && !after.rows.front().empty()) {
        trv::XlsxCell& cell = after.rows.front().front();
        cell = trv::XlsxCell();
        cell.kind = trv::XlsxCellKind::Text;
        cell.text = "changed <&>";
        changedCell = true;
    }
    if (selector & 2) {
        after.headers.push_back("ADDED");
        for (auto& row : after.rows)
            row.emplace_back();
    }
    if (selector & 4) {
        std::vector<trv::XlsxCell> row(after.headers.size());
        if (!row.empty()) {
            row.front().kind =
                (selector & 8) ? trv::XlsxCellKind::DateTime : trv::XlsxCellKind::Number;
            row.front().number = 45292.25;
        }
        after.rows.push_back(row);
        after.rowNumbers.push_back(
            (after.rowNumbers.empty() ? after.headerRowNumber : after.rowNumbers.back()) + 1);
    }

    const std::string target = (trv::fuzz::Folder() / "updated.xlsx").string();
    if (!trv::UpdateWorkbookSheet(path, target, "", before, after, error)) {
        trv::fuzz::Outcome("update refused: " + error);
        return 0;
    }
    trv::fuzz::Outcome("updated");
    trv::XlsxTable reread;
    TRV_FUZZ_CHECK(trv::CXlsxReader::Read(target, "", reread, error));
    if (changedCell) {
        TRV_FUZZ_CHECK(!reread.rows.empty() && !reread.rows.front().empty());
        TRV_FUZZ_CHECK(reread.rows.front().front().text == "changed <&>");
    }
    return 0;
}
