#include "KLV/XlsxUpdater.h"

#include "KLV/XlsxParts.h"
#include "platform/Text.h"
#include "zip/ZipException.h"
#include "zip/ZipFileHeader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <map>

// The sheet's XML is edited as text: each changed cell is replaced by its new element and
// every byte around it is copied, so what this code does not understand survives untouched.

namespace trv {
namespace {

using namespace xlsx;

// ---- A tag-level walk over XML text --------------------------------------------------------

struct XmlTag
{
    enum Kind
    {
        Open,
        Close,
        Empty,
        Other, // comment, CDATA, declaration, processing instruction
    };
    std::size_t begin = 0; // at '<'
    std::size_t end = 0;   // after '>'
    Kind kind = Other;
    std::string_view name; // with its prefix
    std::string_view attributes;

    std::string_view Local() const
    {
        const std::size_t colon = name.find(':');
        return colon == std::string_view::npos ? name : name.substr(colon + 1);
    }
    std::string_view Prefix() const { return name.substr(0, name.size() - Local().size()); }
    bool Starts(std::string_view local) const
    {
        return (kind == Open || kind == Empty) && Local() == local;
    }
    bool Closes(std::string_view local) const { return kind == Close && Local() == local; }
};

// The next tag at or after `from`; false at the end of the text or at a tag left open.
bool NextTag(std::string_view xml, std::size_t from, XmlTag& tag)
{
    const std::size_t at = xml.find('<', from);
    if (at == std::string_view::npos)
        return false;
    tag = XmlTag();
    tag.begin = at;
    const auto skipTo = [&](std::string_view close) {
        const std::size_t found = xml.find(close, at + 2);
        if (found == std::string_view::npos)
            return false;
        tag.end = found + close.size();
        return true;
    };
    if (xml.substr(at, 4) == "<!--")
        return skipTo("-->");
    if (xml.substr(at, 9) == "<![CDATA[")
        return skipTo("]]>");
    if (xml.substr(at, 2) == "<?")
        return skipTo("?>");
    if (xml.substr(at, 2) == "<!")
        return skipTo(">");
    const bool close = xml.substr(at, 2) == "</";
    std::size_t index = at + (close ? 2 : 1);
    const std::size_t nameStart = index;
    while (index < xml.size() && !std::isspace(static_cast<unsigned char>(xml[index])) &&
           xml[index] != '>' && xml[index] != '/')
        ++index;
    tag.name = xml.substr(nameStart, index - nameStart);
    const std::size_t attributesStart = index;
    char quote = 0;
    for (; index < xml.size(); ++index) {
        const char c = xml[index];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (index >= xml.size())
        return false;
    tag.end = index + 1;
    const bool empty = !close && xml[index - 1] == '/';
    tag.attributes = xml.substr(attributesStart, (empty ? index - 1 : index) - attributesStart);
    tag.kind = close ? XmlTag::Close : empty ? XmlTag::Empty : XmlTag::Open;
    return true;
}

// Where an attribute's value lies in the text, found by its local name; npos when absent.
std::pair<std::size_t, std::size_t> AttributeSpan(std::string_view attributes,
                                                  std::string_view name)
{
    std::size_t index = 0;
    while (index < attributes.size()) {
        while (index < attributes.size() &&
               std::isspace(static_cast<unsigned char>(attributes[index])))
            ++index;
        const std::size_t equals = attributes.find('=', index);
        if (equals == std::string_view::npos)
            break;
        std::string_view key = Trim(attributes.substr(index, equals - index));
        const std::size_t colon = key.find(':');
        if (colon != std::string_view::npos)
            key = key.substr(colon + 1);
        std::size_t open = equals + 1;
        while (open < attributes.size() &&
               std::isspace(static_cast<unsigned char>(attributes[open])))
            ++open;
        if (open >= attributes.size())
            break;
        const std::size_t close = attributes.find(attributes[open], open + 1);
        if (close == std::string_view::npos)
            break;
        if (key == name)
            return {open + 1, close - open - 1};
        index = close + 1;
    }
    return {std::string_view::npos, 0};
}

std::string_view TagAttribute(const XmlTag& tag, std::string_view name)
{
    const auto [at, size] = AttributeSpan(tag.attributes, name);
    return at == std::string_view::npos ? std::string_view() : tag.attributes.substr(at, size);
}

// A text as a cell holds it: control characters, which XML cannot carry, in the _xHHHH_ form
// spreadsheet programs read back.
std::string CellTextXml(std::string_view text)
{
    std::string xml;
    for (const char c : XmlEscape(text)) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 && c != '\t' && c != '\n' && c != '\r')
            xml += FormatC("_x%04X_", code);
        else
            xml += c;
    }
    return xml;
}

// ---- The sheet's layout ------------------------------------------------------------------

struct CellSpan
{
    std::size_t begin = 0;
    std::size_t end = 0;
    int column = 0;
    int style = 0;
    bool formula = false;
};

struct RowSpan
{
    std::size_t begin = 0;
    std::size_t openEnd = 0; // after the start tag
    std::size_t end = 0;
    bool empty = false; // <row .../>
    unsigned number = 0;
    std::vector<CellSpan> cells;
};

struct SheetLayout
{
    std::string prefix;        // of the sheet's elements ("x:" or "")
    std::size_t dataBegin = 0; // where new rows go (or the <sheetData/> tag)
    std::size_t dataEnd = 0;
    bool dataEmpty = false;
    std::vector<RowSpan> rows;
    XmlTag dimension;
    bool hasDimension = false;
};

int ParseStyle(std::string_view text)
{
    int style = 0;
    return TryParseInt(text, style) && style >= 0 ? style : 0;
}

bool ReadCellSpan(std::string_view xml, XmlTag tag, int nextColumn, CellSpan& cell)
{
    cell.begin = tag.begin;
    const int column = ColumnOfReference(TagAttribute(tag, "r"));
    cell.column = column < 0 ? nextColumn : column;
    cell.style = ParseStyle(TagAttribute(tag, "s"));
    if (tag.kind == XmlTag::Empty) {
        cell.end = tag.end;
        return true;
    }
    while (NextTag(xml, tag.end, tag)) {
        if (tag.Starts("f"))
            cell.formula = true;
        if (tag.Closes("c")) {
            cell.end = tag.end;
            return true;
        }
    }
    return false;
}

bool ReadRowSpan(std::string_view xml, XmlTag tag, unsigned previous, RowSpan& row)
{
    row.begin = tag.begin;
    row.openEnd = tag.end;
    int number = 0;
    row.number = TryParseInt(TagAttribute(tag, "r"), number) && number > 0
                     ? static_cast<unsigned>(number)
                     : previous + 1;
    if (tag.kind == XmlTag::Empty) {
        row.empty = true;
        row.end = tag.end;
        return true;
    }
    int nextColumn = 0;
    while (NextTag(xml, tag.end, tag)) {
        if (tag.Starts("c")) {
            CellSpan cell;
            if (!ReadCellSpan(xml, tag, nextColumn, cell))
                return false;
            nextColumn = cell.column + 1;
            row.cells.push_back(cell);
            tag.end = cell.end;
        } else if (tag.Closes("row")) {
            row.end = tag.end;
            return true;
        }
    }
    return false;
}

bool ReadLayout(std::string_view xml, SheetLayout& layout)
{
    XmlTag tag;
    std::size_t at = 0;
    while (NextTag(xml, at, tag) && !tag.Starts("sheetData")) {
        if (tag.Starts("dimension")) {
            layout.dimension = tag;
            layout.hasDimension = true;
        }
        at = tag.end;
    }
    if (!tag.Starts("sheetData"))
        return false;
    layout.prefix = std::string(tag.Prefix());
    if (tag.kind == XmlTag::Empty) {
        layout.dataEmpty = true;
        layout.dataBegin = tag.begin;
        layout.dataEnd = tag.end;
        return true;
    }
    at = tag.end;
    unsigned previous = 0;
    while (NextTag(xml, at, tag)) {
        if (tag.Closes("sheetData")) {
            layout.dataBegin = layout.dataEnd = tag.begin;
            return true;
        }
        at = tag.end;
        if (!tag.Starts("row"))
            continue;
        RowSpan row;
        if (!ReadRowSpan(xml, tag, previous, row))
            return false;
        previous = row.number;
        at = row.end;
        layout.rows.push_back(std::move(row));
    }
    return false;
}

// ---- Styles ------------------------------------------------------------------------------

class StyleBook
{
  public:
    StyleBook(std::string xml) : m_xml(std::move(xml))
    {
        if (m_xml.empty())
            return;
        XmlPart part;
        part.buffer.assign(m_xml.begin(), m_xml.end());
        part.buffer.push_back('\0');
        part.document.parse<0>(part.buffer.data());
        m_styles = ReadCellStyles(Child(&part.document, "styleSheet"));
        m_existing = m_styles.kinds.size();
    }

    XlsxCellKind KindOf(int style) const
    {
        return m_styles.KindOf(static_cast<std::size_t>(style));
    }

    // A style showing values of `kind`; added when the workbook has none. -1 when there is
    // no styles part to add it to.
    int StyleFor(XlsxCellKind kind)
    {
        for (std::size_t index = 0; index < m_styles.kinds.size(); ++index)
            if (m_styles.kinds[index] == kind)
                return static_cast<int>(index);
        if (m_xml.empty())
            return -1;
        m_styles.kinds.push_back(kind);
        return static_cast<int>(m_styles.kinds.size() - 1);
    }

    bool Changed() const { return m_styles.kinds.size() > m_existing; }

    // The styles part with the added styles; false when its cell styles cannot be found.
    bool Write(std::string& xml) const
    {
        XmlTag tag;
        XmlTag open;
        std::size_t at = 0;
        while (NextTag(m_xml, at, tag) && !tag.Closes("cellXfs")) {
            if (tag.Starts("cellXfs"))
                open = tag;
            at = tag.end;
        }
        if (!tag.Closes("cellXfs") || open.kind != XmlTag::Open)
            return false;
        std::string added;
        for (std::size_t index = m_existing; index < m_styles.kinds.size(); ++index) {
            // The built-in formats a spreadsheet program shows in the reader's own locale.
            const XlsxCellKind kind = m_styles.kinds[index];
            const int format = kind == XlsxCellKind::Date       ? 14
                               : kind == XlsxCellKind::Time     ? 20
                               : kind == XlsxCellKind::DateTime ? 22
                                                                : 0;
            added += "<" + std::string(open.Prefix()) + "xf numFmtId=\"" + std::to_string(format) +
                     "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
                     "applyNumberFormat=\"1\"/>";
        }
        xml = m_xml;
        xml.insert(tag.begin, added);
        const auto [countAt, countSize] = AttributeSpan(open.attributes, "count");
        if (countAt != std::string_view::npos) {
            const std::size_t offset =
                static_cast<std::size_t>(open.attributes.data() - m_xml.data()) + countAt;
            xml.replace(offset, countSize, std::to_string(m_styles.kinds.size()));
        }
        return true;
    }

  private:
    std::string m_xml;
    CellStyles m_styles;
    std::size_t m_existing = 0;
};

// The style a written value gets: its cell's (or its column's) when that shows the value's
// kind, else one that does.
int ChooseStyle(int candidate, XlsxCellKind kind, StyleBook& styles)
{
    const XlsxCellKind shown = styles.KindOf(candidate < 0 ? 0 : candidate);
    switch (kind) {
    case XlsxCellKind::Number:
        return shown == XlsxCellKind::Number ? candidate : styles.StyleFor(kind);
    case XlsxCellKind::Date:
        return shown == XlsxCellKind::Date || shown == XlsxCellKind::DateTime
                   ? candidate
                   : styles.StyleFor(kind);
    case XlsxCellKind::Time:
    case XlsxCellKind::DateTime:
        return shown == kind ? candidate : styles.StyleFor(kind);
    default:
        return candidate;
    }
}

// ---- Cells -------------------------------------------------------------------------------

std::string NumberText(double number)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, number);
    return std::string(text, result.ptr);
}

std::string CellXml(const std::string& prefix, const std::string& reference, int style,
                    const XlsxCell& cell, bool date1904)
{
    std::string xml = "<" + prefix + "c r=\"" + reference + "\"";
    if (style > 0)
        xml += " s=\"" + std::to_string(style) + "\"";
    const std::string value = "<" + prefix + "v>";
    const std::string valueEnd = "</" + prefix + "v></" + prefix + "c>";
    switch (cell.kind) {
    case XlsxCellKind::Empty:
        return style > 0 ? xml + "/>" : std::string();
    case XlsxCellKind::Text:
        return xml + " t=\"inlineStr\"><" + prefix + "is><" + prefix + "t xml:space=\"preserve\">" +
               CellTextXml(cell.text) + "</" + prefix + "t></" + prefix + "is></" + prefix + "c>";
    case XlsxCellKind::Boolean:
        return xml + " t=\"b\">" + value + (cell.number != 0 ? "1" : "0") + valueEnd;
    case XlsxCellKind::Number:
    case XlsxCellKind::Time:
        return xml + ">" + value + NumberText(cell.number) + valueEnd;
    default:
        return xml + ">" + value + NumberText(cell.number - (date1904 ? kDate1904Offset : 0)) +
               valueEnd;
    }
}

// The start tag of a row that is rewritten, without its "spans" hint (which new cells may
// no longer fit).
std::string RowStartTag(std::string_view xml, const RowSpan& row)
{
    std::string tag(xml.substr(row.begin, row.openEnd - row.begin));
    if (row.empty)
        tag.replace(tag.rfind('/'), 1, "");
    const std::size_t spans = tag.find(" spans=\"");
    if (spans != std::string::npos) {
        const std::size_t close = tag.find('"', spans + 8);
        if (close != std::string::npos)
            tag.erase(spans, close + 1 - spans);
    }
    return tag;
}

using RowEdits = std::map<int, XlsxCell>;

struct Replacement
{
    std::size_t begin;
    std::size_t end;
    std::string text;
};

// The workbook's calculation settings ask for formulas to be computed again at the next
// opening, since the cells they read may have changed.
std::string RecalculateOnLoad(const std::string& workbookXml)
{
    XmlTag tag;
    std::size_t at = 0;
    while (NextTag(workbookXml, at, tag) && !tag.Starts("calcPr"))
        at = tag.end;
    if (!tag.Starts("calcPr"))
        return workbookXml;
    std::string xml = workbookXml;
    const auto [valueAt, valueSize] = AttributeSpan(tag.attributes, "fullCalcOnLoad");
    const std::size_t attributesOffset =
        static_cast<std::size_t>(tag.attributes.data() - workbookXml.data());
    if (valueAt != std::string_view::npos)
        xml.replace(attributesOffset + valueAt, valueSize, "1");
    else
        xml.insert(attributesOffset, " fullCalcOnLoad=\"1\"");
    return xml;
}

class SheetUpdate
{
  public:
    SheetUpdate(const std::string& path, std::string_view xml, const SheetLayout& layout,
                StyleBook& styles, bool date1904)
        : m_path(path), m_xml(xml), m_layout(layout), m_styles(styles), m_date1904(date1904)
    {
    }

    // The sheet with the edits, by sheet row number; false with the reason in `error`.
    bool Apply(const std::map<unsigned, RowEdits>& edits, unsigned headerRow, std::string& out,
               std::string& error)
    {
        // The style each column's last data cell shows, for the cells added to that column.
        std::map<int, int> columnStyles;
        std::map<unsigned, const RowSpan*> rows;
        unsigned lastRow = 0;
        int lastColumn = -1;
        for (const RowSpan& row : m_layout.rows) {
            rows[row.number] = &row;
            lastRow = std::max(lastRow, row.number);
            for (const CellSpan& cell : row.cells) {
                lastColumn = std::max(lastColumn, cell.column);
                if (row.number > headerRow)
                    columnStyles[cell.column] = cell.style;
            }
        }
        std::vector<Replacement> replacements;
        std::string appended;
        for (const auto& [number, cells] : edits) {
            lastRow = std::max(lastRow, number);
            lastColumn = std::max(lastColumn, cells.rbegin()->first);
            const auto found = rows.find(number);
            std::string text;
            if (found == rows.end()) {
                if (!RowXml(nullptr, number, cells, columnStyles, text, error))
                    return false;
                appended += text;
            } else {
                if (!RowXml(found->second, number, cells, columnStyles, text, error))
                    return false;
                replacements.push_back({found->second->begin, found->second->end, text});
            }
        }
        if (!appended.empty()) {
            if (m_layout.dataEmpty)
                appended = "<" + m_layout.prefix + "sheetData>" + appended + "</" +
                           m_layout.prefix + "sheetData>";
            replacements.push_back({m_layout.dataBegin, m_layout.dataEnd, appended});
        }
        if (m_layout.hasDimension)
            replacements.push_back(DimensionReplacement(lastRow, lastColumn));
        std::sort(replacements.begin(), replacements.end(),
                  [](const Replacement& left, const Replacement& right) {
                      return left.begin < right.begin;
                  });
        out.clear();
        std::size_t copied = 0;
        for (const Replacement& replacement : replacements) {
            out.append(m_xml.substr(copied, replacement.begin - copied));
            out += replacement.text;
            copied = replacement.end;
        }
        out.append(m_xml.substr(copied));
        return true;
    }

  private:
    bool RowXml(const RowSpan* row, unsigned number, const RowEdits& edits,
                const std::map<int, int>& columnStyles, std::string& text, std::string& error)
    {
        text = row ? RowStartTag(m_xml, *row)
                   : "<" + m_layout.prefix + "row r=\"" + std::to_string(number) + "\">";
        std::size_t existing = 0;
        const std::vector<CellSpan> none;
        const std::vector<CellSpan>& cells = row ? row->cells : none;
        auto edit = edits.begin();
        while (existing < cells.size() || edit != edits.end()) {
            const bool takeExisting = existing < cells.size() &&
                                      (edit == edits.end() || cells[existing].column < edit->first);
            if (takeExisting) {
                const CellSpan& cell = cells[existing++];
                text.append(m_xml.substr(cell.begin, cell.end - cell.begin));
                continue;
            }
            const CellSpan* old = existing < cells.size() && cells[existing].column == edit->first
                                      ? &cells[existing++]
                                      : nullptr;
            const std::string reference = ColumnLetters(edit->first) + std::to_string(number);
            if (old && old->formula) {
                error = m_path + ": the cell " + reference +
                        " holds a formula, which writing a value would replace";
                return false;
            }
            int candidate = old ? old->style : -1;
            if (!old) {
                const auto column = columnStyles.find(edit->first);
                if (column != columnStyles.end())
                    candidate = column->second;
            }
            const int style = ChooseStyle(candidate, edit->second.kind, m_styles);
            if (style < 0 && edit->second.IsDateOrTime()) {
                error = m_path + ": the workbook has no styles to show a date or time with";
                return false;
            }
            text += CellXml(m_layout.prefix, reference, style, edit->second, m_date1904);
            ++edit;
        }
        text += "</" + m_layout.prefix + "row>";
        return true;
    }

    Replacement DimensionReplacement(unsigned lastRow, int lastColumn) const
    {
        const XmlTag& tag = m_layout.dimension;
        const std::string_view ref = TagAttribute(tag, "ref");
        const std::size_t colon = ref.find(':');
        const std::string_view first = colon == std::string_view::npos ? ref : ref.substr(0, colon);
        const std::string_view last = colon == std::string_view::npos ? ref : ref.substr(colon + 1);
        std::size_t digits = 0;
        while (digits < last.size() && std::isalpha(static_cast<unsigned char>(last[digits])))
            ++digits;
        int oldRow = 0;
        TryParseInt(last.substr(digits), oldRow);
        const int column = std::max(ColumnOfReference(last), lastColumn);
        const unsigned row = std::max(static_cast<unsigned>(std::max(oldRow, 0)), lastRow);
        const std::string wanted =
            std::string(first) + ":" + ColumnLetters(std::max(column, 0)) + std::to_string(row);
        const auto [at, size] = AttributeSpan(tag.attributes, "ref");
        std::string text(m_xml.substr(tag.begin, tag.end - tag.begin));
        if (at != std::string_view::npos)
            text.replace(static_cast<std::size_t>(tag.attributes.data() - m_xml.data()) + at -
                             tag.begin,
                         size, wanted);
        return {tag.begin, tag.end, text};
    }

    const std::string& m_path;
    std::string_view m_xml;
    const SheetLayout& m_layout;
    StyleBook& m_styles;
    bool m_date1904;
};

// The cells of `after` that differ from `before`, by sheet row number and column.
std::map<unsigned, RowEdits> Differences(const XlsxTable& before, const XlsxTable& after)
{
    std::map<unsigned, RowEdits> edits;
    for (std::size_t column = before.headers.size(); column < after.headers.size(); ++column) {
        XlsxCell header;
        header.kind = XlsxCellKind::Text;
        header.text = after.headers[column];
        edits[after.headerRowNumber][static_cast<int>(column)] = header;
    }
    const XlsxCell empty;
    for (std::size_t row = 0; row < after.rows.size(); ++row) {
        const bool added = row >= before.rows.size();
        for (std::size_t column = 0; column < after.rows[row].size(); ++column) {
            const XlsxCell& now = after.rows[row][column];
            const XlsxCell& then =
                !added && column < before.rows[row].size() ? before.rows[row][column] : empty;
            if (now != then && !(added && now.kind == XlsxCellKind::Empty))
                edits[after.rowNumbers[row]][static_cast<int>(column)] = now;
        }
    }
    return edits;
}

bool WriteArchive(Archive& source, const std::string& target,
                  const std::map<std::string, std::string>& changed)
{
    CZipArchive archive;
    archive.OpenArchive(target, CZipArchive::zipCreate);
    CZipArchive& zip = source.Zip();
    const std::time_t now = std::time(nullptr);
    for (int index = 0; index < zip.GetCount(); ++index) {
        CZipFileHeader header;
        if (!zip.GetEntryInfo(header, index))
            return false;
        const auto part = changed.find(header.GetFileName());
        if (part == changed.end()) {
            if (!archive.CopyEntryFromArchive(zip, index))
                return false;
            continue;
        }
        CZipFileHeader written;
        written.SetFileName(part->first);
        written.SetModificationTime(now);
        if (!archive.OpenNewEntry(written) ||
            !archive.WriteNewEntryData(part->second.data(), part->second.size()) ||
            !archive.CloseNewEntry())
            return false;
    }
    archive.CloseArchive();
    return true;
}

} // namespace

bool UpdateWorkbookSheet(const std::string& path, const std::string& target,
                         const std::string& sheet, const XlsxTable& before, const XlsxTable& after,
                         std::string& error)
{
    error.clear();
    const std::map<unsigned, RowEdits> edits = Differences(before, after);
    try {
        Archive source(path);
        std::string part;
        if (!FindSheetPart(source, BareSheetName(sheet), part, error)) {
            error = path + ": " + error;
            return false;
        }
        std::string sheetXml;
        std::string stylesXml;
        std::string workbookXml;
        if (!source.ReadBytes(part, sheetXml) ||
            !source.ReadBytes("xl/workbook.xml", workbookXml)) {
            error = path + ": the sheet's part " + part + " is missing";
            return false;
        }
        source.ReadBytes("xl/styles.xml", stylesXml);
        XmlPart book;
        source.Parse("xl/workbook.xml", book);
        const bool date1904 = UsesDate1904(Child(&book.document, "workbook"));

        SheetLayout layout;
        if (!ReadLayout(sheetXml, layout)) {
            error = path + ": the rows of the sheet's part " + part + " cannot be followed";
            return false;
        }
        StyleBook styles(stylesXml);
        std::map<std::string, std::string> changed;
        std::string updated;
        SheetUpdate update(path, sheetXml, layout, styles, date1904);
        if (!update.Apply(edits, after.headerRowNumber, updated, error))
            return false;
        changed[part] = std::move(updated);
        if (styles.Changed()) {
            std::string stylesUpdated;
            if (!styles.Write(stylesUpdated)) {
                error = path + ": the cell styles of the workbook cannot be followed";
                return false;
            }
            changed["xl/styles.xml"] = std::move(stylesUpdated);
        }
        changed["xl/workbook.xml"] = RecalculateOnLoad(workbookXml);
        if (WriteArchive(source, target, changed))
            return true;
        error = path + ": the updated workbook could not be written to " + target;
    } catch (const CZipException& exception) {
        error = path + ": not an .xlsx workbook (" + exception.what() + ")";
    } catch (const rapidxml::parse_error& exception) {
        error = path + ": broken XML in the workbook (" + exception.what() + ")";
    }
    std::remove(target.c_str());
    return false;
}

} // namespace trv
