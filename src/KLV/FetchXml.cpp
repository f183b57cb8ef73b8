// The XML reader: a document flattened into records of values joined by "#,#", with the map
// from element paths to column numbers. A repeated structure (several Order elements) gives
// one record per occurrence, each repeating the values of the enclosing elements.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/XmlNesting.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <cstdio>
#include <rapidxml/rapidxml.hpp>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr const char* kJoint = "#,#";

// The leaf values met at one nesting level while a document is flattened.
struct TInfoNiveles
{
    std::vector<std::string> values;
    std::vector<std::string> names; // full path of each value
    int level = 0;
    int firstLine = 0;
};

std::string JoinValues(const std::vector<std::string>& values)
{
    std::string joined;
    for (std::size_t index = 0; index < values.size(); ++index) {
        if (index > 0)
            joined += kJoint;
        joined += values[index];
    }
    return joined;
}

bool HasElementChild(const rapidxml::xml_node<>* node)
{
    for (const rapidxml::xml_node<>* child = node->first_node(); child;
         child = child->next_sibling())
        if (child->type() == rapidxml::node_element)
            return true;
    return false;
}

std::string NodeName(const rapidxml::xml_node<>* node)
{
    return std::string(node->name(), node->name_size());
}

class CXmlFlattener
{
  public:
    CXmlFlattener(CFetchTextList& lines, std::unordered_map<std::string, int>& columns,
                  const std::string& prefix)
        : m_columns(columns), m_prefix(prefix), m_output(lines)
    {
    }

    int Flatten(const rapidxml::xml_node<>* top)
    {
        m_lines.assign(1, std::string());
        m_levels.assign(1, TInfoNiveles());
        const std::string topPath = NodeName(top);
        FlattenNode(top, topPath, 0);
        // Leaf values directly under the top element lead every record.
        PrependLevel(m_levels[0]);
        const int entries = static_cast<int>(m_columns.size());
        for (auto& entry : m_columns)
            entry.second = entries - entry.second - 1;
        m_output.RemoveAll();
        for (const std::string& line : m_lines)
            m_output.Add(line);
        return static_cast<int>(m_lines.size());
    }

  private:
    bool Handled(const std::string& path) const
    {
        if (m_prefix.empty())
            return true;
        // Elements on the way to the prefix element and everything below it.
        return m_prefix.find(path.substr(0, m_prefix.size())) != std::string::npos;
    }

    // Enters the level's names in the column map and puts its values before every line the
    // level covers.
    void PrependLevel(const TInfoNiveles& level)
    {
        if (level.values.empty())
            return;
        const int start = static_cast<int>(level.values.size() + m_columns.size()) - 1;
        for (std::size_t index = 0; index < level.names.size(); ++index)
            m_columns.try_emplace(level.names[index], start - static_cast<int>(index));
        const std::string joined = JoinValues(level.values);
        for (std::size_t line = static_cast<std::size_t>(level.firstLine); line < m_lines.size();
             ++line)
            m_lines[line] = m_lines[line].empty() ? joined : joined + kJoint + m_lines[line];
    }

    void FlattenNode(const rapidxml::xml_node<>* parent, const std::string& parentPath,
                     int levelIndex)
    {
        // The last child of each name: a structure followed by another of its name starts a
        // new record after it. Found in one pass, so long runs of records stay linear.
        std::unordered_map<std::string_view, const rapidxml::xml_node<>*> lastOfName;
        for (const rapidxml::xml_node<>* child = parent->first_node(); child;
             child = child->next_sibling())
            lastOfName[std::string_view(child->name(), child->name_size())] = child;
        for (const rapidxml::xml_node<>* child = parent->first_node(); child;
             child = child->next_sibling()) {
            if (child->type() != rapidxml::node_element)
                continue;
            const std::string name = NodeName(child);
            const std::string path = parentPath + "." + name;
            if (!Handled(path))
                continue;
            if (!HasElementChild(child)) {
                m_levels[levelIndex].values.emplace_back(child->value(), child->value_size());
                m_levels[levelIndex].names.push_back(path);
                continue;
            }
            const bool repeatedAfter = lastOfName.at(std::string_view(name)) != child;
            const std::string lastLine = m_lines.back();
            const int nested = levelIndex + 1;
            if (static_cast<int>(m_levels.size()) <= nested)
                m_levels.resize(nested + 1);
            m_levels[nested] = TInfoNiveles();
            m_levels[nested].level = nested;
            m_levels[nested].firstLine = static_cast<int>(m_lines.size()) - 1;
            FlattenNode(child, path, nested);
            PrependLevel(m_levels[nested]);
            m_levels[nested] = TInfoNiveles();
            // The next occurrence starts a new record.
            if (repeatedAfter)
                m_lines.push_back(lastLine);
        }
    }

    std::unordered_map<std::string, int>& m_columns;
    const std::string& m_prefix;
    CFetchTextList& m_output;
    std::vector<std::string> m_lines;
    std::vector<TInfoNiveles> m_levels;
};

} // namespace

int CFetch::ReadXmlFile(const std::string& fileName)
{
    ++m_nSourceStamp; // paths are columns of this document
    m_mapColumns.clear();
    m_arrLines.RemoveAll();
    std::string bytes;
    if (!trv::ReadFileBytes(fileName, bytes)) {
        TRV_TRACE(1, "CFetch::ReadXmlFile", "File not found => %s", fileName.c_str());
        return -1;
    }
    std::string text =
        m_strAsciiFormat == "DOS" ? trv::Cp850ToUtf8(bytes) : trv::DecodeFileText(bytes);
    if (!XmlNestingWithin(text)) {
        m_strLastError = trv::FormatC("%s: elements nested deeper than %d levels", fileName.c_str(),
                                      kMaxXmlNesting);
        TRV_TRACE(1, "CFetch::ReadXmlFile", "Error parsing file => %s", m_strLastError.c_str());
        trv::GetUserPrompt().ShowMessage("Error_Abrir_Archivo", m_strLastError,
                                         trv::MessageKind::Error);
        return -1;
    }
    text.push_back('\0');
    rapidxml::xml_document<> document;
    try {
        document.parse<rapidxml::parse_default>(text.data());
    } catch (const rapidxml::parse_error& error) {
        const std::size_t offset = static_cast<std::size_t>(error.where<char>() - text.data());
        m_strLastError = trv::FormatC("%s: %s (byte %zu)", fileName.c_str(), error.what(), offset);
        TRV_TRACE(1, "CFetch::ReadXmlFile", "Error parsing file => %s", m_strLastError.c_str());
        trv::GetUserPrompt().ShowMessage("Error_Abrir_Archivo", m_strLastError,
                                         trv::MessageKind::Error);
        return -1;
    }
    const rapidxml::xml_node<>* top = document.first_node();
    while (top && top->type() != rapidxml::node_element)
        top = top->next_sibling();
    if (!top) {
        m_strLastError = fileName + ": the document holds no element";
        TRV_TRACE(1, "CFetch::ReadXmlFile", "%s", m_strLastError.c_str());
        return 0;
    }
    CXmlFlattener flattener(m_arrLines, m_mapColumns, GetSetting("PREFIXXML"));
    return flattener.Flatten(top);
}
