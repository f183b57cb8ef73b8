#include "KLV/XlsxParts.h"

#include "KLV/XmlNesting.h"
#include "platform/OleDate.h"
#include "platform/Text.h"
#include "zip/ZipException.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <fstream>

namespace trv::xlsx {

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

namespace {

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

bool IsTrueAttribute(const std::string& value)
{
    return value == "1" || value == "true";
}

std::string PartPath(std::string target)
{
    if (!target.empty() && target.front() == '/')
        return target.substr(1);
    return "xl/" + target;
}

// The sector-aligned directory entry of a compound document named `name` (UTF-16).
bool HasCompoundEntry(const std::string& bytes, std::string_view name)
{
    std::string wide;
    for (const char c : name) {
        wide += c;
        wide += '\0';
    }
    wide.append(2, '\0');
    constexpr std::size_t kEntrySize = 128;
    for (std::size_t at = bytes.find(wide); at != std::string::npos;
         at = bytes.find(wide, at + 1)) {
        if (at % kEntrySize != 0 || at + 66 > bytes.size())
            continue;
        const auto nameBytes = static_cast<unsigned char>(bytes[at + 64]) |
                               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 65]))
                                   << 8;
        if (nameBytes == wide.size())
            return true;
    }
    return false;
}

// Digits of an ISO date or time part.
bool ReadDigits(std::string_view& text, std::size_t count, int& value)
{
    if (text.size() < count)
        return false;
    const auto result = std::from_chars(text.data(), text.data() + count, value);
    if (result.ec != std::errc() || result.ptr != text.data() + count)
        return false;
    text.remove_prefix(count);
    return true;
}

bool Skip(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

// "hh:mm[:ss[.fff]]" as a fraction of a day.
bool ReadIsoTime(std::string_view& text, double& days)
{
    int hour = 0, minute = 0, second = 0;
    if (!ReadDigits(text, 2, hour) || !Skip(text, ':') || !ReadDigits(text, 2, minute))
        return false;
    double fraction = 0;
    if (Skip(text, ':')) {
        if (!ReadDigits(text, 2, second))
            return false;
        if (Skip(text, '.')) {
            double scale = 0.1;
            while (!text.empty() && std::isdigit(static_cast<unsigned char>(text.front()))) {
                fraction += (text.front() - '0') * scale;
                scale /= 10;
                text.remove_prefix(1);
            }
        }
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    days = (hour * 3600 + minute * 60 + second + fraction) / 86400.0;
    return true;
}

// A date cell written as ISO 8601 text ("2024-03-31", "2024-03-31T07:45:30", "07:45:00").
bool ReadIsoDate(std::string_view text, XlsxCell& cell)
{
    text = Trim(text);
    if (!text.empty() && text.back() == 'Z')
        text.remove_suffix(1);
    double days = 0;
    bool hasDate = false;
    bool hasTime = false;
    if (text.size() >= 10 && text[4] == '-') {
        int year = 0, month = 0, day = 0;
        if (!ReadDigits(text, 4, year) || !Skip(text, '-') || !ReadDigits(text, 2, month) ||
            !Skip(text, '-') || !ReadDigits(text, 2, day))
            return false;
        const OleDate date(year, month, day);
        if (!date.IsValid())
            return false;
        days = date.GetValue();
        hasDate = true;
        if (!text.empty() && !Skip(text, 'T') && !Skip(text, ' '))
            return false;
    }
    if (!text.empty()) {
        double time = 0;
        if (!ReadIsoTime(text, time) || !text.empty())
            return false;
        days += time;
        hasTime = true;
    }
    if (!hasDate && !hasTime)
        return false;
    cell.kind = hasDate && hasTime ? XlsxCellKind::DateTime
                : hasDate          ? XlsxCellKind::Date
                                   : XlsxCellKind::Time;
    cell.number = days;
    return true;
}

} // namespace

Archive::Archive(const std::string& path)
{
    m_archive.OpenArchive(path, 1);
}

Archive::~Archive()
{
    try {
        m_archive.CloseArchive(1);
    } catch (const CZipException&) {
    }
}

bool Archive::ReadBytes(const std::string& name, std::string& bytes)
{
    bytes.clear();
    const int index = m_archive.FindEntry(name);
    if (index < 0 || !m_archive.OpenEntry(index))
        return false;
    char block[65536];
    std::size_t count = 0;
    while ((count = m_archive.ReadEntry(block, sizeof block)) > 0)
        bytes.append(block, count);
    m_archive.CloseEntry();
    return true;
}

bool Archive::Parse(const std::string& name, XmlPart& part)
{
    std::string bytes;
    if (!ReadBytes(name, bytes))
        return false;
    part.buffer.assign(bytes.begin(), bytes.end());
    part.buffer.push_back('\0');
    if (!XmlNestingWithin(bytes))
        throw rapidxml::parse_error("elements nested deeper than the reader follows",
                                    part.buffer.data());
    part.document.parse<0>(part.buffer.data());
    return true;
}

std::string CompoundDocumentError(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    file.read(magic, sizeof magic);
    if (std::memcmp(magic, "\xD0\xCF\x11\xE0", 4) != 0)
        return {};
    // A workbook saved with a password is a compound document holding the encrypted package.
    file.seekg(0);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (HasCompoundEntry(bytes, "EncryptedPackage"))
        return path + ": the workbook is encrypted (saved with a password); save it without a "
                      "password to read or write it";
    return path + ": an .xls workbook (the old binary format) cannot be read; save it as .xlsx";
}

bool FindSheetPart(Archive& archive, const std::string& wanted, std::string& part,
                   std::string& error)
{
    XmlPart book;
    XmlPart relations;
    if (!archive.Parse("xl/workbook.xml", book) ||
        !archive.Parse("xl/_rels/workbook.xml.rels", relations)) {
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

XlsxCellKind NumberFormatKind(int formatId, std::string_view code)
{
    // The built-in formats that show dates and times.
    if (formatId >= 14 && formatId <= 17)
        return XlsxCellKind::Date;
    if ((formatId >= 18 && formatId <= 21) || (formatId >= 45 && formatId <= 47))
        return XlsxCellKind::Time;
    if (formatId == 22)
        return XlsxCellKind::DateTime;
    if (formatId < 164)
        return XlsxCellKind::Number;
    // Only the first section (positive numbers) says what the number is.
    bool date = false;
    bool time = false;
    bool afterHour = false;
    for (std::size_t index = 0; index < code.size(); ++index) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(code[index])));
        if (c == ';')
            break;
        if (c == '"') {
            const std::size_t close = code.find('"', index + 1);
            index = close == std::string_view::npos ? code.size() : close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++index; // an escaped or padding character
        } else if (c == '[') {
            // Elapsed times ([h]:mm) count; colours and locales ([Red], [$-409]) do not.
            const std::size_t close = code.find(']', index);
            const std::string_view inside =
                code.substr(index + 1, close == std::string_view::npos ? 0 : close - index - 1);
            if (!inside.empty() &&
                std::string_view("hHmMsS").find(inside.front()) != std::string_view::npos)
                time = true;
            index = close == std::string_view::npos ? code.size() : close;
        } else if (c == 'y' || c == 'd') {
            date = true;
            afterHour = false;
        } else if (c == 'h' || c == 's') {
            time = true;
            afterHour = c == 'h';
        } else if (c == 'm') {
            // Minutes follow hours or precede seconds; otherwise months.
            std::size_t next = index;
            while (next < code.size() &&
                   std::tolower(static_cast<unsigned char>(code[next])) == 'm')
                ++next;
            while (next < code.size() && !std::isalpha(static_cast<unsigned char>(code[next])))
                ++next;
            const bool beforeSeconds =
                next < code.size() && std::tolower(static_cast<unsigned char>(code[next])) == 's';
            if (afterHour || beforeSeconds)
                time = true;
            else
                date = true;
            index = next - 1;
            afterHour = false;
        } else if (code.substr(index, 5) == "AM/PM" || code.substr(index, 5) == "am/pm") {
            time = true;
            index += 4;
        }
    }
    if (date && time)
        return XlsxCellKind::DateTime;
    if (date)
        return XlsxCellKind::Date;
    return time ? XlsxCellKind::Time : XlsxCellKind::Number;
}

CellStyles ReadCellStyles(const Node* styleSheet)
{
    std::vector<std::pair<int, std::string>> codes;
    for (const Node* format = Child(Child(styleSheet, "numFmts"), "numFmt"); format;
         format = Next(format, "numFmt"))
        codes.emplace_back(ParseInt(Attribute(format, "numFmtId")),
                           Attribute(format, "formatCode"));
    CellStyles styles;
    for (const Node* style = Child(Child(styleSheet, "cellXfs"), "xf"); style;
         style = Next(style, "xf")) {
        const int id = ParseInt(Attribute(style, "numFmtId"));
        std::string_view code;
        for (const auto& [customId, customCode] : codes)
            if (customId == id)
                code = customCode;
        styles.kinds.push_back(NumberFormatKind(id, code));
    }
    return styles;
}

bool UsesDate1904(const Node* workbook)
{
    const Node* properties = Child(workbook, "workbookPr");
    return properties && IsTrueAttribute(Attribute(properties, "date1904"));
}

int ColumnOfReference(std::string_view reference)
{
    int column = 0;
    std::size_t index = 0;
    for (; index < reference.size() && index < 3 && reference[index] >= 'A' &&
           reference[index] <= 'Z';
         ++index)
        column = column * 26 + (reference[index] - 'A' + 1);
    return index == 0 ? -1 : column - 1;
}

std::string ColumnLetters(int column)
{
    std::string letters;
    for (int rest = column + 1; rest > 0; rest = (rest - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (rest - 1) % 26));
    return letters;
}

std::vector<std::string> ReadSharedStrings(Archive& archive)
{
    std::vector<std::string> strings;
    XmlPart part;
    if (!archive.Parse("xl/sharedStrings.xml", part))
        return strings;
    const Node* table = Child(&part.document, "sst");
    for (const Node* item = Child(table, "si"); item; item = Next(item, "si")) {
        std::string text;
        AppendRunTexts(item, text);
        strings.push_back(std::move(text));
    }
    return strings;
}

XlsxCell ReadCell(const Node* node, const std::vector<std::string>& sharedStrings,
                  const CellStyles& styles, bool date1904)
{
    XlsxCell cell;
    cell.formula = Child(node, "f") != nullptr;
    const std::string type = Attribute(node, "t");
    if (type == "inlineStr") {
        cell.kind = XlsxCellKind::Text;
        if (const Node* inlineString = Child(node, "is"))
            AppendRunTexts(inlineString, cell.text);
        return cell;
    }
    const Node* valueNode = Child(node, "v");
    if (!valueNode)
        return cell; // no value: empty, even when the type says otherwise
    const std::string value = NodeText(valueNode);
    if (type == "s") {
        int index = 0;
        if (!TryParseInt(value, index) || index < 0 ||
            static_cast<std::size_t>(index) >= sharedStrings.size())
            return cell;
        cell.kind = XlsxCellKind::Text;
        cell.text = sharedStrings[static_cast<std::size_t>(index)];
    } else if (type == "str" || type == "e") {
        cell.kind = XlsxCellKind::Text;
        cell.text = value;
    } else if (type == "b") {
        cell.kind = XlsxCellKind::Boolean;
        cell.number = value == "1" || value == "true" ? 1 : 0;
    } else if (type == "d") {
        if (!ReadIsoDate(value, cell)) {
            cell.kind = XlsxCellKind::Text;
            cell.text = value;
        }
    } else if (!Trim(value).empty()) {
        if (!TryParseDouble(Trim(value), cell.number)) {
            cell.kind = XlsxCellKind::Text;
            cell.text = value;
            return cell;
        }
        cell.kind = styles.KindOf(static_cast<std::size_t>(ParseInt(Attribute(node, "s"))));
        // A time of day stays on the zero day whatever the workbook counts days from.
        if (date1904 && (cell.kind == XlsxCellKind::Date || cell.kind == XlsxCellKind::DateTime))
            cell.number += kDate1904Offset;
    }
    return cell;
}

} // namespace trv::xlsx
