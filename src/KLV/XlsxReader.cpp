#include "KLV/XlsxReader.h"

#include "KLV/XmlNesting.h"
#include "platform/Text.h"
#include "zip/ZipArchive.h"
#include "zip/ZipException.h"

#include <fstream>
#include <rapidxml/rapidxml.hpp>
#include <string_view>

namespace trv {
namespace {

using Node = rapidxml::xml_node<char>;

// The element's name without its namespace prefix ("x:row" -> "row").
std::string_view LocalName(const Node* node)
{
    const std::string_view name(node->name(), node->name_size());
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

const Node* Child(const Node* parent, std::string_view name)
{
    for (const Node* child = parent ? parent->first_node() : nullptr; child;
         child = child->next_sibling())
        if (child->type() == rapidxml::node_element && LocalName(child) == name)
            return child;
    return nullptr;
}

const Node* Next(const Node* node, std::string_view name)
{
    for (const Node* sibling = node->next_sibling(); sibling; sibling = sibling->next_sibling())
        if (sibling->type() == rapidxml::node_element && LocalName(sibling) == name)
            return sibling;
    return nullptr;
}

// The attribute's value, matched by its local name too ("r:id" for "id").
std::string Attribute(const Node* node, std::string_view name)
{
    for (const auto* attribute = node->first_attribute(); attribute;
         attribute = attribute->next_attribute()) {
        std::string_view key(attribute->name(), attribute->name_size());
        const std::size_t colon = key.find(':');
        if (key == name || (colon != std::string_view::npos && key.substr(colon + 1) == name))
            return std::string(attribute->value(), attribute->value_size());
    }
    return {};
}

std::string NodeText(const Node* node)
{
    return node ? std::string(node->value(), node->value_size()) : std::string();
}

// The text of a rich or plain string item: every <t> under it, in order.
void AppendRunTexts(const Node* item, std::string& text)
{
    for (const Node* child = item->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        if (LocalName(child) == "t")
            text += NodeText(child);
        else if (LocalName(child) == "r")
            AppendRunTexts(child, text);
    }
}

// A parsed part of the workbook; the document points into `buffer`.
struct XmlPart
{
    std::vector<char> buffer;
    rapidxml::xml_document<char> document;
};

class Workbook
{
  public:
    explicit Workbook(const std::string& path) { m_archive.OpenArchive(path, 1); }
    ~Workbook()
    {
        try {
            m_archive.CloseArchive(1);
        } catch (const CZipException&) {
        }
    }

    // False when the archive has no such entry.
    bool Parse(const std::string& name, XmlPart& part)
    {
        const int index = m_archive.FindEntry(name);
        if (index < 0 || !m_archive.OpenEntry(index))
            return false;
        char block[65536];
        std::size_t count = 0;
        while ((count = m_archive.ReadEntry(block, sizeof block)) > 0)
            part.buffer.insert(part.buffer.end(), block, block + count);
        m_archive.CloseEntry();
        part.buffer.push_back('\0');
        if (!XmlNestingWithin(std::string_view(part.buffer.data(), part.buffer.size())))
            throw rapidxml::parse_error("elements nested deeper than the reader follows",
                                        part.buffer.data());
        part.document.parse<0>(part.buffer.data());
        return true;
    }

  private:
    CZipArchive m_archive;
};

// The zero-based column of a cell reference ("C7" -> 2); -1 when there is none.
int ColumnOfReference(std::string_view reference)
{
    int column = 0;
    std::size_t index = 0;
    for (; index < reference.size() && reference[index] >= 'A' && reference[index] <= 'Z'; ++index)
        column = column * 26 + (reference[index] - 'A' + 1);
    return index == 0 ? -1 : column - 1;
}

bool IsOldBinaryWorkbook(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char magic[4] = {};
    file.read(reinterpret_cast<char*>(magic), sizeof magic);
    return magic[0] == 0xD0 && magic[1] == 0xCF && magic[2] == 0x11 && magic[3] == 0xE0;
}

std::string PartPath(std::string target)
{
    if (!target.empty() && target.front() == '/')
        return target.substr(1);
    return "xl/" + target;
}

bool FindSheetPart(Workbook& workbook, const std::string& wanted, std::string& part,
                   std::string& error)
{
    XmlPart book;
    XmlPart relations;
    if (!workbook.Parse("xl/workbook.xml", book) ||
        !workbook.Parse("xl/_rels/workbook.xml.rels", relations)) {
        error = "it is not an .xlsx workbook";
        return false;
    }
    const Node* sheets = Child(Child(&book.document, "workbook"), "sheets");
    std::string relation;
    for (const Node* sheet = Child(sheets, "sheet"); sheet; sheet = Next(sheet, "sheet")) {
        if (wanted.empty() || EqualsNoCase(Attribute(sheet, "name"), wanted)) {
            relation = Attribute(sheet, "id");
            break;
        }
    }
    if (relation.empty()) {
        error = wanted.empty() ? "the workbook has no sheet" : "no sheet \"" + wanted + "\"";
        return false;
    }
    const Node* list = Child(&relations.document, "Relationships");
    for (const Node* item = Child(list, "Relationship"); item; item = Next(item, "Relationship")) {
        if (Attribute(item, "Id") == relation) {
            part = PartPath(Attribute(item, "Target"));
            return true;
        }
    }
    error = "the sheet's part is missing";
    return false;
}

std::vector<std::string> ReadSharedStrings(Workbook& workbook)
{
    std::vector<std::string> strings;
    XmlPart part;
    if (!workbook.Parse("xl/sharedStrings.xml", part))
        return strings;
    const Node* table = Child(&part.document, "sst");
    for (const Node* item = Child(table, "si"); item; item = Next(item, "si")) {
        std::string text;
        AppendRunTexts(item, text);
        strings.push_back(std::move(text));
    }
    return strings;
}

std::string CellText(const Node* cell, const std::vector<std::string>& sharedStrings)
{
    const std::string type = Attribute(cell, "t");
    if (type == "inlineStr") {
        std::string text;
        if (const Node* inlineString = Child(cell, "is"))
            AppendRunTexts(inlineString, text);
        return text;
    }
    const std::string value = NodeText(Child(cell, "v"));
    if (type == "s") {
        std::size_t index = 0;
        for (const char c : value)
            index = index * 10 + static_cast<std::size_t>(c - '0');
        return index < sharedStrings.size() ? sharedStrings[index] : std::string();
    }
    return value;
}

void ReadRows(const Node* sheetData, const std::vector<std::string>& sharedStrings,
              XlsxTable& table)
{
    bool first = true;
    for (const Node* row = Child(sheetData, "row"); row; row = Next(row, "row")) {
        std::vector<std::string> cells;
        int nextColumn = 0;
        for (const Node* cell = Child(row, "c"); cell; cell = Next(cell, "c")) {
            int column = ColumnOfReference(Attribute(cell, "r"));
            if (column < 0)
                column = nextColumn;
            nextColumn = column + 1;
            if (first || column < static_cast<int>(table.headers.size())) {
                if (static_cast<int>(cells.size()) <= column)
                    cells.resize(static_cast<std::size_t>(column) + 1);
                cells[static_cast<std::size_t>(column)] = CellText(cell, sharedStrings);
            }
        }
        if (first) {
            table.headers = std::move(cells);
            first = false;
            continue;
        }
        cells.resize(table.headers.size());
        table.rows.push_back(std::move(cells));
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
    error.clear();
    if (IsOldBinaryWorkbook(path)) {
        error = path + ": an .xls workbook (the old binary format) cannot be read; save it as "
                       ".xlsx";
        return false;
    }
    try {
        Workbook workbook(path);
        std::string part;
        if (!FindSheetPart(workbook, BareSheetName(sheet), part, error)) {
            error = path + ": " + error;
            return false;
        }
        const std::vector<std::string> sharedStrings = ReadSharedStrings(workbook);
        XmlPart worksheet;
        if (!workbook.Parse(part, worksheet)) {
            error = path + ": the sheet's part " + part + " is missing";
            return false;
        }
        ReadRows(Child(Child(&worksheet.document, "worksheet"), "sheetData"), sharedStrings, table);
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
    error.clear();
    if (IsOldBinaryWorkbook(path)) {
        error = path + ": an .xls workbook (the old binary format) cannot be read; save it as "
                       ".xlsx";
        return false;
    }
    try {
        Workbook workbook(path);
        XmlPart book;
        if (!workbook.Parse("xl/workbook.xml", book)) {
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
