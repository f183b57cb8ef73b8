// The JSON reader: a document flattened into (path, value) pairs and then into records of
// values joined by "#,#", each value in the column of its path. A record whose nested array
// holds several objects gives one record per object, each repeating the enclosing values.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <cstdio>
#include <json/json.h>
#include <memory>
#include <vector>

namespace {

constexpr const char* kJoint = "#,#";
// Deeper documents are refused: parsing and flattening recurse once per level.
constexpr int kMaxJsonDepth = 512;

struct JsonPair
{
    int column;
    std::string value;
};

// Opens and parses the file; false (traced, and shown to the person) when it cannot be read
// or is no JSON document. The program goes on: the open fails.
bool ReadJsonDocument(const std::string& fileName, const std::string& encoding,
                      Json::Value& document, std::string& error)
{
    std::string bytes;
    if (!trv::ReadFileBytes(fileName, bytes)) {
        error = "File not found => " + fileName;
        return false;
    }
    const std::string text =
        encoding == "DOS" ? trv::Cp850ToUtf8(bytes) : trv::DecodeFileText(bytes);

    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = kMaxJsonDepth;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string parseErrors;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &document, &parseErrors)) {
            error = "Error parsing file => " + fileName + ": " + parseErrors;
            return false;
        }
    } catch (const Json::Exception&) {
        // The reader throws only when the nesting passes the limit.
        error = trv::FormatC("Error parsing file => %s: nested deeper than %d levels",
                             fileName.c_str(), kMaxJsonDepth);
        return false;
    }
    return true;
}

std::string JoinPath(const std::vector<std::string>& parts, const char* separator)
{
    std::string path;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        if (index > 0)
            path += separator;
        path += parts[index];
    }
    return path;
}

// Line breaks become "\\n" and double quotes are doubled, so a value stays on its line.
std::string EscapeValue(const std::string& value)
{
    std::string escaped;
    escaped.reserve(value.size());
    for (const char character : value) {
        if (character == '\r' || character == '\n')
            escaped += "\\\\n";
        else if (character == '"')
            escaped += "\"\"";
        else
            escaped += character;
    }
    return escaped;
}

class CJsonFlattener
{
  public:
    explicit CJsonFlattener(std::unordered_map<std::string, int>& columns) : m_columns(columns) {}

    // Pairs of one record, depth first; object members in name order.
    void Flatten(const Json::Value& value, std::vector<JsonPair>& pairs)
    {
        switch (value.type()) {
        case Json::nullValue:
            return;
        case Json::objectValue:
            for (const std::string& member : value.getMemberNames()) {
                m_path.push_back(member);
                Flatten(value[member], pairs);
                m_path.pop_back();
            }
            return;
        case Json::arrayValue:
            for (const Json::Value& element : value)
                Flatten(element, pairs);
            return;
        default:
            pairs.push_back({ColumnOf(JoinPath(m_path, ".")), value.asString()});
            return;
        }
    }

    int ColumnOf(const std::string& path)
    {
        const auto [entry, added] = m_columns.try_emplace(path, static_cast<int>(m_paths.size()));
        if (added)
            m_paths.push_back(path);
        return entry->second;
    }

    std::size_t ColumnCount() const { return m_paths.size(); }

  private:
    std::unordered_map<std::string, int>& m_columns;
    std::vector<std::string> m_path;
    std::vector<std::string> m_paths;
};

// Rows of one record: a value whose column is already filled starts a new row (the next
// element of an array) that keeps the values set before that column was first filled (the
// enclosing object's members) and drops the ones set since.
void BuildRows(const std::vector<JsonPair>& pairs, std::size_t columnCount, CFetchTextList& lines)
{
    constexpr int kUnset = -1;
    std::vector<std::string> row(columnCount);
    std::vector<int> order(columnCount, kUnset); // when each column was filled
    int filledCount = 0;
    const auto emit = [&]() {
        for (std::size_t column = 0; column < columnCount; ++column) {
            if (column > 0)
                lines.Append(kJoint);
            lines.Append(row[column]);
        }
        lines.CloseItem();
    };
    for (const JsonPair& pair : pairs) {
        const std::size_t column = static_cast<std::size_t>(pair.column);
        if (order[column] != kUnset) {
            emit();
            const int since = order[column];
            for (std::size_t other = 0; other < columnCount; ++other) {
                if (order[other] >= since) {
                    row[other].clear();
                    order[other] = kUnset;
                }
            }
            filledCount = since;
        }
        row[column] = EscapeValue(pair.value);
        order[column] = filledCount++;
    }
    if (filledCount > 0)
        emit();
}

} // namespace

int CFetch::ReadJsonFile(const std::string& fileName)
{
    ++m_nSourceStamp; // paths are columns of this document
    m_mapColumns.clear();
    m_arrLines.RemoveAll();
    Json::Value document;
    std::string error;
    if (!ReadJsonDocument(fileName, m_strAsciiFormat, document, error)) {
        m_strLastError = error;
        TRV_TRACE(1, "CFetch::ReadJsonFile", "%s", error.c_str());
        trv::GetUserPrompt().ShowMessage("Error_Abrir_Archivo", error, trv::MessageKind::Error);
        return -1;
    }
    std::vector<const Json::Value*> records;
    if (document.isArray()) {
        for (const Json::Value& element : document)
            records.push_back(&element);
    } else if (!document.isNull()) {
        records.push_back(&document);
    }

    // First every record's pairs, so that the columns are known before the rows are built.
    CJsonFlattener flattener(m_mapColumns);
    std::vector<std::vector<JsonPair>> recordPairs(records.size());
    for (std::size_t index = 0; index < records.size(); ++index)
        flattener.Flatten(*records[index], recordPairs[index]);
    for (const std::vector<JsonPair>& pairs : recordPairs)
        BuildRows(pairs, flattener.ColumnCount(), m_arrLines);
    if (m_arrLines.GetSize() == 0) {
        m_strLastError = "Error parsing file => " + fileName + ": the document holds no values";
        TRV_TRACE(1, "CFetch::ReadJsonFile", "%s", m_strLastError.c_str());
    }
    return m_arrLines.GetSize();
}
