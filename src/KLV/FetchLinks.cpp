// Linked definitions, the reading side: the child definition of a link, the search of its
// records for the current linking values, the value read through it, and the walk over the
// linked records of one entity.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "platform/UserPrompt.h"

#include <memory>

namespace {

constexpr const char* kRequirementName = "REQUIREMENT_NAME";
constexpr const char* kDefaultTail = "DEFAULT=";
constexpr const char* kFieldNamePrefix = "FIELD_NAME(";
// Links that lead back to their own definition stop here instead of nesting children forever.
constexpr int kMaxLinkDepth = 16;

// The items of a ","-separated text compared with an array, without splitting the text.
bool SameItems(std::string_view text, const FetchTextArray& items)
{
    if (text.empty())
        return items.GetSize() == 0;
    int index = 0;
    for (;;) {
        const std::size_t comma = text.find(',');
        if (index >= items.GetSize() || items[index] != text.substr(0, comma))
            return false;
        ++index;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return index == items.GetSize();
}

void SplitLinkFields(const std::string& text, FetchTextArray& items)
{
    items.SetSize(0);
    SplitString(text, items, ",", false);
}

} // namespace

// ---- Children ----------------------------------------------------------------------------

std::string CFetch::GetLinkFileName(const std::string& name, const std::string&)
{
    const auto found = m_mapFormat.find(name + "_LINKFILENAME");
    if (found == m_mapFormat.end())
        return {};
    std::string value = found->second;
    if (!value.starts_with("CREATE("))
        return value;
    value.erase(0, 7);
    std::string base = ExtractToken(value, ",");
    if (base == "FILENAME") {
        // A file name without an extension is taken whole.
        const std::size_t dot = m_strFile.rfind('.');
        const std::size_t slash = m_strFile.find_last_of("/\\");
        base = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                   ? m_strFile
                   : m_strFile.substr(0, dot);
    }
    const std::string extension = ExtractToken(value, ")");
    return base + "." + extension;
}

int CFetch::SameLinkFields(const std::string& linking, const std::string& linked) const
{
    return SameItems(linking, m_arrLinkingFields) && SameItems(linked, m_arrLinkedFields) ? 1 : 0;
}

int CFetch::SetLinkLists(const std::string& linking, const std::string& linked)
{
    SplitLinkFields(linking, m_arrLinkingFields);
    SplitLinkFields(linked, m_arrLinkedFields);
    return m_arrLinkingFields.GetSize() == m_arrLinkedFields.GetSize() ? 1 : 0;
}

void CFetch::ReportLinkMismatch(const char* traceFormat, const char* method)
{
    const std::string message =
        TranslateFormat("DifferentNumberOfLinkingFields", m_strName, m_strDefinitionFile);
    trv::GetUserPrompt().ShowMessage("DifferentNumberOfLinkingFields", message,
                                     trv::MessageKind::Error);
    WriteTrace(__FILE_NAME__, __LINE__, method, 1, false, traceFormat, message.c_str());
}

int CFetch::GetLinkDepth() const
{
    int depth = 0;
    for (const CFetch* parent = m_pParent; parent; parent = parent->m_pParent)
        ++depth;
    return depth;
}

void CFetch::ClearLinkMarks()
{
    m_bLinkSearched = 0;
    for (auto& child : m_arrChildren)
        child->ClearLinkMarks();
}

void CFetch::ClearChildLinkedFieldNames()
{
    for (auto& child : m_arrChildren) {
        child->m_strLinkedFieldName.clear();
        child->ClearChildLinkedFieldNames();
    }
}

void CFetch::ResetChildLinkedIndexes()
{
    for (auto& child : m_arrChildren) {
        child->m_nLinkedChild = -1;
        child->ResetChildLinkedIndexes();
    }
}

int CFetch::FindLinkedFetch(const std::string& name, const std::string& linking,
                            const std::string& linked, std::string& fileName, int list,
                            const FetchTextMap* variables)
{
    int index = -1;
    if (const auto found = m_mapChildIndex.find(name); found != m_mapChildIndex.end()) {
        index = found->second;
        CFetch& child = *m_arrChildren[static_cast<std::size_t>(index)];
        child.m_strRequirementName = m_strRequirementName;
        child.m_bReuseChildLinks = list ? 0 : 1;
        if (!child.SameLinkFields(linking, linked)) {
            child.m_bLinkSearched = 0;
            if (!child.SetLinkLists(linking, linked)) {
                ReportLinkMismatch("FindLinkedFetch %s", "CFetch::FindLinkedFetch");
                return -1;
            }
            child.m_nRecord = 0;
        }
    } else {
        if (GetLinkDepth() >= kMaxLinkDepth) {
            TRV_TRACE(1, "CFetch::FindLinkedFetch", "FindLinkedFetch %s: links nested too deep",
                      name.c_str());
            return -1;
        }
        auto created = std::make_unique<CFetch>(this, m_bDisabled);
        // Counted before the child opens anything: a mismatch makes no child at all.
        if (!created->SetLinkLists(linking, linked)) {
            ReportLinkMismatch("FindLinkedFetch %s", "CFetch::FindLinkedFetch");
            return -1;
        }
        fileName = name != m_strName ? GetLinkFileName(name) : std::string();
        if (fileName.empty())
            fileName = m_strFile;
        m_arrChildren.push_back(std::move(created));
        index = static_cast<int>(m_arrChildren.size()) - 1;
        CFetch& child = *m_arrChildren.back();
        // A child that cannot open stays registered and finds no records.
        child.Init(name, m_strDateArgument, m_strSchedulingRange, FETCH_MODE_READ, fileName, "", "",
                   1, nullptr, "", "", nullptr, 0, 1);
        child.m_bReuseChildLinks = list ? 0 : 1;
        m_mapChildIndex[name] = index;
        child.m_bLinkSearched = 0;
        child.m_strRequirementName = m_strRequirementName;
        child.SetLinkLists(linking, linked);
        child.m_nRecord = 0;
    }

    m_nLinkedChild = index;
    ResetChildLinkedIndexes();
    ClearChildLinkedFieldNames();

    CFetch& child = *m_arrChildren[static_cast<std::size_t>(index)];
    if (child.m_bLinkSearched && m_bReuseChildLinks)
        return index; // already searched for this record: the records found before stand
    // Unequal lists kept from an earlier mismatch are never searched with.
    if (child.m_arrLinkingFields.GetSize() != child.m_arrLinkedFields.GetSize())
        return -1;

    child.m_arrLinkValues.SetSize(0);
    bool requirementUsed = false;
    for (const std::string& field : child.m_arrLinkingFields) {
        if (field == kRequirementName) {
            child.m_arrLinkValues.Add(m_strRequirementName);
            requirementUsed = true;
            continue;
        }
        int unused = 0;
        child.m_arrLinkValues.Add(GetField(field, unused, 0, 0, variables));
    }
    if (!child.SearchLinkedRegisters())
        return -1;
    // A link through the requirement is searched at every use: the requirement changes.
    if (!requirementUsed)
        child.m_bLinkSearched = 1;
    child.m_arrLineFields.RemoveAll();
    return index;
}

int CFetch::FindLinkedFetchForField(const std::string& field, int* namesLink)
{
    m_nLinkPosition = 0;
    if (namesLink)
        *namesLink = 0;
    const auto found = m_mapFields.find(field);
    if (found == m_mapFields.end())
        return -1;
    std::string source = found->second;
    std::string linking;
    std::string linked;
    if (!ProcessINILine(source, linking, linked))
        return -1;
    if (source.empty() || source.starts_with(kDefaultTail))
        return -1;
    if (namesLink)
        *namesLink = 1;
    const std::string name = ExtractToken(source, ",");
    std::string fileName;
    return FindLinkedFetch(name, linking, linked, fileName, 0, nullptr);
}

// ---- Searching the linked records --------------------------------------------------------

int CFetch::IsLinkKeyPath() const
{
    if (!IsTextSourceKind(m_nKind) || m_arrGroupKeyFields.GetSize() == 0)
        return 0;
    if (m_arrLinkedFields.GetSize() != m_arrGroupKeyFields.GetSize())
        return 0;
    for (int index = 0; index < m_arrLinkedFields.GetSize(); ++index) {
        if (m_arrLinkedFields[index] != m_arrGroupKeyFields[index])
            return 0;
    }
    // Sources read without a key index are scanned instead of finding nothing.
    return !m_mapLineIndex.empty() || m_arrLines.IsEmpty() ? 1 : 0;
}

int CFetch::SearchLinkedRegisters()
{
    m_arrLinkedLines.RemoveAll();
    if (m_bIsListReader)
        m_arrLinkedLineChild.clear();
    if (IsLinkKeyPath())
        return SearchLinkedByKey();
    RewindLinked();
    if (IsTextSourceKind(m_nKind) || m_nKind == FETCH_KIND_INI)
        return ScanLinked();
    if (m_nKind == FETCH_KIND_DATABASE)
        return SearchLinkedDatabase();
    return 0;
}

int CFetch::SearchLinkedByKey()
{
    std::string key;
    for (const std::string& value : m_arrLinkValues) {
        key += value;
        key += m_strSeparator;
    }
    const std::size_t keyLength = key.size();
    int found = 0;
    for (int occurrence = 1;; ++occurrence) {
        key.resize(keyLength);
        key += std::to_string(occurrence);
        const auto line = m_mapLineIndex.find(key);
        if (line == m_mapLineIndex.end() || line->second >= m_arrLines.GetSize())
            break;
        m_arrLinkedLines.Add(m_arrLines[line->second]);
        if (m_bIsListReader)
            m_arrLinkedLineChild.push_back(m_nCurrentChild);
        found = 1;
    }
    return found;
}

int CFetch::ScanLinked()
{
    ++m_nLinkScans;
    int found = 0;
    while (!IsEOF()) {
        if (!MoveNext() || !MatchesLinkValues())
            continue;
        m_arrLinkedLines.Add(m_nKind == FETCH_KIND_INI ? m_strCurrentIniEntry : m_strCurrentLine);
        if (m_bIsListReader)
            m_arrLinkedLineChild.push_back(m_nCurrentChild);
        found = 1;
    }
    return found;
}

int CFetch::MatchesLinkValues()
{
    if (m_arrLinkedFields.GetSize() != m_arrLinkValues.GetSize())
        return 0;
    for (int index = 0; index < m_arrLinkedFields.GetSize(); ++index) {
        int linked = 0;
        if (GetField(m_arrLinkedFields[index], linked, 0, 0, nullptr) != m_arrLinkValues[index])
            return 0;
    }
    return 1;
}

int CFetch::RewindLinked()
{
    if (m_bIsListReader && m_arrListChildren.GetSize() > 0) {
        const std::string first = m_arrListChildren[0];
        const std::string date = m_strDateArgument;
        const std::string range = m_strSchedulingRange;
        const std::string file = m_strListFile;
        const std::string where = m_strListWhere;
        const std::string writeIf = m_strListWriteIf;
        Close();
        Init(first, date, range, FETCH_MODE_READ, file, where, writeIf, 1, nullptr, "", "", nullptr,
             0, 0);
        m_nCurrentChild = 0;
    }
    if (IsTextSourceKind(m_nKind)) {
        if (IsGroupedChild()) {
            // The next MoveNext takes the parent's key group again from its first line.
            m_arrGroupLines.RemoveAll();
            m_nGroupIndex = 0;
        } else {
            m_nRecord = 0;
        }
    } else if (m_nKind == FETCH_KIND_INI) {
        // Put back before its first entry, so that every search sees the whole section.
        m_nIniEntry = -1;
        m_strCurrentIniEntry.clear();
        m_nRecord = 0;
    }
    // A database child runs a new SELECT at every search: nothing to put back here.
    return 1;
}

// ---- Reading through a link --------------------------------------------------------------

void CFetch::MakeLinkedLineCurrent(std::string_view line)
{
    if (m_nKind == FETCH_KIND_INI)
        m_strCurrentIniEntry.assign(line);
    else
        MakeLineCurrent(line, true);
    ClearFieldCache();
}

std::string CFetch::ReadLinkedListValues(CFetch& child, const std::string& field,
                                         const std::string& fileName, const FetchTextMap* variables)
{
    std::string value;
    for (int index = 0; index < child.m_arrLinkedLines.GetSize(); ++index) {
        const std::string_view line = child.m_arrLinkedLines[index];
        if (child.m_bIsListReader) {
            // Each line is read by the member definition it came from; empty values are left
            // out.
            const std::size_t member =
                index < static_cast<int>(child.m_arrLinkedLineChild.size())
                    ? static_cast<std::size_t>(child.m_arrLinkedLineChild[index])
                    : 0;
            if (member >= static_cast<std::size_t>(child.m_arrListChildren.GetSize()))
                continue;
            CFetch reader;
            reader.m_strInitialDefinitionFile = child.m_strInitialDefinitionFile;
            reader.Init(child.m_arrListChildren[static_cast<int>(member)], m_strDateArgument,
                        m_strSchedulingRange, FETCH_MODE_READ, fileName, "", "", 1, nullptr, "", "",
                        nullptr, 0, 1);
            reader.MakeLinkedLineCurrent(line);
            int linked = 0;
            const std::string item = reader.GetField(field, linked, 0, 0, variables);
            if (!item.empty())
                value += item + m_strListSeparator;
            reader.Close();
        } else {
            child.MakeLinkedLineCurrent(line);
            int linked = 0;
            value += child.GetField(field, linked, 0, 0, variables);
            value += m_strListSeparator;
        }
        child.m_arrLineFields.RemoveAll();
        child.ClearFieldCache();
    }
    return value;
}

FetchLinkedValue CFetch::ReadLinkedField(std::string& tail, const std::string& linking,
                                         const std::string& linked, int& linkedFlag, int list,
                                         const FetchTextMap* variables)
{
    FetchLinkedValue read;
    std::string& value = read.value;
    if (!tail.starts_with(kDefaultTail)) {
        const std::string name = ExtractToken(tail, ",");
        std::string field = ExtractToken(tail, ",");
        if (field.starts_with(kFieldNamePrefix) && field.size() > 11) {
            // FIELD_NAME(F): the linked field is named by this record's value of F.
            const std::string inner = field.substr(11, field.size() - 12);
            int unused = 0;
            field = kFieldNamePrefix + GetField(inner, unused, 0, 0, variables) + ")";
        }
        m_strLinkedFieldName = field;
        const int listMode = tail == "LIST" ? 1 : list;
        std::string fileName;
        const int index = FindLinkedFetch(name, linking, linked, fileName, listMode, variables);
        if (index >= 0) {
            CFetch& child = *m_arrChildren[static_cast<std::size_t>(index)];
            child.ClearFieldCache();
            if (IsTextSourceKind(child.m_nKind) || child.m_nKind == FETCH_KIND_INI) {
                if (listMode) {
                    value = ReadLinkedListValues(child, field, fileName, variables);
                } else if (!child.m_arrLinkedLines.IsEmpty()) {
                    child.MakeLinkedLineCurrent(child.m_arrLinkedLines[0]);
                    int unused = 0;
                    value = child.GetField(field, unused, 0, 0, variables);
                }
            } else if (child.m_nKind == FETCH_KIND_DATABASE) {
                value = ReadLinkedDatabaseValues(child, field, listMode, variables);
            }
            if (!m_strListSeparator.empty() && value.ends_with(m_strListSeparator))
                value.resize(value.size() - m_strListSeparator.size());
            // The value is read with the linked definition's formats.
            read.formats = &child;
        }
    } else {
        value = ReadRawValue();
        linkedFlag = 0;
    }
    if (!value.empty() || !tail.starts_with(kDefaultTail))
        return read;
    linkedFlag = 0;
    const std::string fallback = tail.substr(8);
    if (fallback.starts_with("VALUE=")) {
        value = fallback.substr(6);
        return read;
    }
    // The default field is read with its own formats.
    int unused = 0;
    value = ReadField(FindFieldLine(fallback), fallback, unused, read.formats, 0, 0, variables);
    return read;
}

// ---- The linked records of one entity ----------------------------------------------------

int CFetch::MoveNextLinked(int child)
{
    ClearFieldCache();
    for (auto& each : m_arrChildren) {
        each->m_arrLinkingFields.SetSize(0);
        each->m_arrLinkedFields.SetSize(0);
        each->ClearFieldCache();
    }
    if (child == -1) {
        if (m_nKind != FETCH_KIND_DATABASE && m_arrGroupKeyFields.GetSize() > 0) {
            if (m_nLinkPosition < 0 || m_nLinkPosition >= m_arrGroupLines.GetSize())
                return 0;
            m_strCurrentLine.assign(m_arrGroupLines[m_nLinkPosition]);
            if (!m_strSeparator.empty()) {
                m_arrLineFields.RemoveAll();
                SplitCurrentLine();
            }
        }
        ++m_nLinkPosition;
        return 1;
    }
    if (child < 0 || child >= static_cast<int>(m_arrChildren.size()))
        return 0;
    CFetch& linked = *m_arrChildren[static_cast<std::size_t>(child)];
    if (linked.m_nKind == FETCH_KIND_DATABASE)
        return MoveNextLinkedDatabase(linked);
    if (m_nLinkPosition < 0 || m_nLinkPosition >= linked.m_arrLinkedLines.GetSize())
        return 0;
    // The child carries the found record: the entity's fields are read through it.
    linked.MakeLinkedLineCurrent(linked.m_arrLinkedLines[m_nLinkPosition]);
    ++m_nLinkPosition;
    return 1;
}

int CFetch::IsLinkedEOF(int child)
{
    if (child == -1) {
        if (m_nKind == FETCH_KIND_DATABASE || m_arrGroupKeyFields.GetSize() == 0)
            return m_nLinkPosition != 0 ? 1 : 0;
        return m_nLinkPosition < 0 || m_nLinkPosition >= m_arrGroupLines.GetSize() ? 1 : 0;
    }
    if (child < 0 || child >= static_cast<int>(m_arrChildren.size()))
        return 1;
    CFetch& linked = *m_arrChildren[static_cast<std::size_t>(child)];
    if (linked.m_nKind == FETCH_KIND_DATABASE)
        return IsLinkedDatabaseEOF(linked);
    return m_nLinkPosition < 0 || m_nLinkPosition >= linked.m_arrLinkedLines.GetSize() ? 1 : 0;
}
