#pragma once

// What reading and updating a workbook share: the archive's XML parts, the number formats of
// the cell styles and the cell references. Internal to the workbook classes.

#include "KLV/XlsxReader.h"
#include "zip/ZipArchive.h"

#include <rapidxml/rapidxml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace trv::xlsx {

using Node = rapidxml::xml_node<char>;

// The element's name without its namespace prefix ("x:row" -> "row").
std::string_view LocalName(const Node* node);
const Node* Child(const Node* parent, std::string_view name);
const Node* Next(const Node* node, std::string_view name);
// The attribute's value, matched by its local name too ("r:id" for "id").
std::string Attribute(const Node* node, std::string_view name);

// A parsed part of the workbook; the document points into `buffer`.
struct XmlPart
{
    std::vector<char> buffer;
    rapidxml::xml_document<char> document;
};

// The workbook's archive, open for reading.
class Archive
{
  public:
    explicit Archive(const std::string& path);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // False when the archive has no such entry.
    bool ReadBytes(const std::string& name, std::string& bytes);
    bool Parse(const std::string& name, XmlPart& part);
    CZipArchive& Zip() { return m_archive; }

  private:
    CZipArchive m_archive;
};

// Why a file is no .xlsx workbook a spreadsheet program can open as such: an encrypted
// workbook or an old binary one (both compound documents); empty for anything else.
std::string CompoundDocumentError(const std::string& path);

// The part of the named sheet ("xl/worksheets/sheet1.xml"), the first sheet when `wanted` is
// empty; false with the reason in `error`.
bool FindSheetPart(Archive& archive, const std::string& wanted, std::string& part,
                   std::string& error);

// The kind a number format gives a numeric cell: Number, Date, Time or DateTime.
XlsxCellKind NumberFormatKind(int formatId, std::string_view code);

// The number format kind of each cell style (cellXfs), by style index.
struct CellStyles
{
    std::vector<XlsxCellKind> kinds;
    XlsxCellKind KindOf(std::size_t style) const
    {
        return style < kinds.size() ? kinds[style] : XlsxCellKind::Number;
    }
};
CellStyles ReadCellStyles(const Node* styleSheet);

// True when the workbook counts its days from 1 January 1904.
bool UsesDate1904(const Node* workbook);
// Days between the two day counts of workbooks: serial 0 of 1904 is serial 1462 of 1900.
constexpr double kDate1904Offset = 1462.0;

// The zero-based column of a cell reference ("C7" -> 2); -1 when there is none.
int ColumnOfReference(std::string_view reference);
// The letters of a zero-based column (2 -> "C").
std::string ColumnLetters(int column);

// The value of a cell as its element holds it.
XlsxCell ReadCell(const Node* cell, const std::vector<std::string>& sharedStrings,
                  const CellStyles& styles, bool date1904);
std::vector<std::string> ReadSharedStrings(Archive& archive);

} // namespace trv::xlsx
