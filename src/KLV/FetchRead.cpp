// Walking the records of a source: IsEOF and MoveNext over text lines, XML and JSON records,
// INI entries, the one record of a FIXED definition, the files of a FOLDER definition, the
// definitions of a LIST, and groups of lines that share a key.

#include "KLV/DelimitedLine.h"
#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "platform/Text.h"

#include <cstdio>

namespace {

// What the WHERE sees of the record being read.
class CFetchWhereRecord final : public CFetchFilterRecord
{
  public:
    explicit CFetchWhereRecord(CFetch& fetch) : m_fetch(fetch) {}

    std::string_view GetCurrentLine() const override
    {
        return m_fetch.m_nKind == FETCH_KIND_INI ? m_fetch.m_strCurrentIniEntry
                                                 : m_fetch.m_strCurrentLine;
    }

    void GetFieldValue(std::string_view name, std::string& value) override
    {
        int linked = 0;
        value = m_fetch.GetField(std::string(name), linked);
    }

  private:
    CFetch& m_fetch;
};

// Gathers the fields of a separated line into a list holding a copy of the line: a field cut
// as one piece of the line is a range of that copy, only one built of pieces (around
// qualifiers) is copied again.
class CLineFieldCollector
{
  public:
    CLineFieldCollector(CFetchTextList& fields, std::string_view line)
        : m_fields(fields), m_line(line)
    {
        m_fields.AssignText(line);
    }

    void Append(std::string_view piece)
    {
        if (!m_built && !m_pending) {
            m_pending = true;
            m_piece = piece;
            return;
        }
        if (m_pending) {
            m_fields.Append(m_piece);
            m_pending = false;
        }
        m_fields.Append(piece);
        m_built = true;
    }

    void CloseItem()
    {
        if (m_pending) {
            const std::size_t start = static_cast<std::size_t>(m_piece.data() - m_line.data());
            m_fields.AddRange(start, start + m_piece.size());
        } else {
            m_fields.CloseItem();
        }
        m_pending = false;
        m_built = false;
    }

  private:
    CFetchTextList& m_fields;
    std::string_view m_line;
    std::string_view m_piece; // the open field's only piece so far
    bool m_pending = false;
    bool m_built = false;
};

} // namespace

// ---- Record helpers ----------------------------------------------------------------------

void CFetch::SplitCurrentLine()
{
    if (m_strSeparator.empty())
        return;
    for (auto& child : m_arrChildren)
        child->m_arrLineFields.RemoveAll();
    CLineFieldCollector fields(m_arrLineFields, m_strCurrentLine);
    SplitDelimitedLine(m_strCurrentLine, m_strSeparator, m_strStringDelimiter, fields);
}

void CFetch::MakeLineCurrent(std::string_view line, bool split)
{
    m_strCurrentLine.assign(line);
    m_arrLineFields.RemoveAll();
    if (split)
        SplitCurrentLine();
}

int CFetch::TestWhere()
{
    if (m_whereFilter.IsEmpty())
        return 0;
    CFetchWhereRecord record(*this);
    return m_whereFilter.Test(record);
}

bool CFetch::IsGroupedChild() const
{
    return m_pParent && !(m_arrGroupKeyFields.GetSize() == 0) && m_strName == m_pParent->m_strName;
}

// ---- Key groups --------------------------------------------------------------------------

std::string CFetch::GetGroupKey()
{
    std::string key;
    for (const std::string& field : m_arrGroupKeyFields) {
        int linked = 0;
        key += trv::Trim(GetField(field, linked));
        key += ',';
        ClearFieldCache();
    }
    if (!key.empty())
        key.pop_back();
    return key;
}

int CFetch::ReadNextGroup()
{
    if (IsGroupedChild()) {
        if (m_nGroupIndex == m_arrGroupLines.GetSize() - 1) {
            m_nGroupIndex = -1;
            m_arrGroupLines.RemoveAll();
            return 0;
        }
        m_arrGroupLines = m_pParent->m_arrGroupLines;
        m_nGroupIndex = 0;
        MakeLineCurrent(m_arrGroupLines[0], true);
        return 1;
    }

    const int lineCount = m_arrLines.GetSize();
    if (m_nRecord >= lineCount)
        return 0;
    m_arrGroupLines.RemoveAll();
    MakeLineCurrent(m_arrLines[m_nRecord++], true);
    // Only the first line of a group is filtered.
    if (TestWhere())
        return 0;
    const std::string groupKey = GetGroupKey();
    int next = m_nRecord;
    m_nGroupIndex = 0;
    while (m_nRecord <= lineCount && GetGroupKey() == groupKey) {
        m_arrGroupLines.Add(m_strCurrentLine);
        next = m_nRecord;
        if (m_nRecord < lineCount)
            MakeLineCurrent(m_arrLines[m_nRecord], true);
        ++m_nRecord;
    }
    // The first line after the group is read again by the next call.
    m_nRecord = next;
    MakeLineCurrent(m_arrGroupLines.GetLast(), true);
    m_nGroupIndex = m_arrGroupLines.GetSize();
    // Children of the same name walk the new group from its first line.
    for (auto& child : m_arrChildren) {
        if (!child->IsGroupedChild())
            continue;
        child->m_arrGroupLines.RemoveAll();
        child->m_nGroupIndex = 0;
    }
    return 1;
}

// ---- IsEOF -------------------------------------------------------------------------------

int CFetch::IsTextEnd()
{
    if (IsGroupedChild()) {
        if (m_nGroupIndex == -1)
            return 1;
        return m_nGroupIndex < m_arrGroupLines.GetSize() - 1 || m_nGroupIndex == 0 ? 0 : 1;
    }
    return m_nRecord >= m_arrLines.GetSize() ? 1 : 0;
}

int CFetch::IsEOF()
{
    if (m_strModeSetting == "WRITE")
        return 1;
    int end = 1;
    switch (m_nKind) {
    case FETCH_KIND_FIXED:
        return m_nRecord != 0 ? 1 : 0;
    case FETCH_KIND_ASCII:
    case FETCH_KIND_XML:
    case FETCH_KIND_JSON:
        end = IsTextEnd();
        if (end && m_bCopyToTemp && !m_strOutputPath.empty())
            std::remove(m_strOutputPath.c_str());
        break;
    case FETCH_KIND_INI:
        if (m_nIniLength < 1)
            end = 1;
        else if (m_nIniEntry < 0)
            end = 0;
        else
            end = m_nIniEntry >= m_arrIniEntries.GetSize() - 1 ? 1 : 0;
        break;
    case FETCH_KIND_FOLDER:
        end = IsTextEnd();
        if (end)
            return AdvanceFolder();
        return 0;
    case FETCH_KIND_DATABASE:
        end = IsDatabaseEOF(); // FetchDatabase.cpp
        break;
    default:
        // LIST and FETCH_CALCULATED have no records of their own.
        end = 1;
        break;
    }
    if (!end)
        return 0;
    return AdvanceListChild(m_bFollowLinks);
}

// The current file of a FOLDER is finished: it is moved away and the next one that opens
// becomes the source; after the last file a LIST reader goes on with its next definition.
int CFetch::AdvanceFolder()
{
    MoveProcessedFile();
    ++m_nNextFile;
    CollectReadFields();
    for (; m_nNextFile < m_arrFiles.GetSize(); ++m_nNextFile) {
        if (!m_strFolderWhere.empty())
            m_strWhere = m_strFolderWhere;
        m_arrLineTypes.SetSize(0);
        const std::string file = m_arrFiles[m_nNextFile];
        const int opened = m_nFolderFileKind == FETCH_KIND_ASCII
                               ? OpenTextFile(FETCH_MODE_READ, file)
                               : OpenStructuredFile(FETCH_MODE_READ, file);
        m_nKind = FETCH_KIND_FOLDER;
        if (opened) {
            if (!m_bCopyToTemp)
                m_strCurrentFile = file;
            return 0;
        }
        // A file that cannot be read is left where it is; the next one is tried.
        TRV_TRACE(1, "CFetch::IsEOF", "No se pudo abrir %s", file.c_str());
    }
    if (!m_bIsListReader)
        return 1;
    m_arrLines.RemoveAll();
    return AdvanceListChild(1);
}

int CFetch::AdvanceListChild(int followLinks)
{
    if (m_nCurrentChild >= m_arrListChildren.GetSize() - 1)
        return 1;
    CollectReadFields();
    const FetchTextArray readFields = m_arrReadFields;
    const FetchTextArray children = m_arrListChildren;
    const std::string date = m_strDateArgument;
    const std::string range = m_strSchedulingRange;
    Close();
    // Children that cannot be opened are passed over.
    while (m_nCurrentChild < children.GetSize() - 1) {
        ++m_nCurrentChild;
        const int opened = Init(children[m_nCurrentChild], date, range, FETCH_MODE_READ,
                                m_strListFile, m_strListWhere, m_strListWriteIf, followLinks);
        if (!opened) {
            TRV_TRACE(1, "CFetch::IsEOF", "No se pudo abrir %s", children[m_nCurrentChild].c_str());
            continue;
        }
        for (const std::string& field : readFields)
            m_arrReadFields.Add(field);
        return IsEOF();
    }
    return 1;
}

// ---- MoveNext ----------------------------------------------------------------------------

int CFetch::MoveNext()
{
    ClearFieldCache();
    // A new record of a top-level definition: its linked children search again.
    if (!m_pParent)
        ClearLinkMarks();
    switch (m_nKind) {
    case FETCH_KIND_ASCII:
    case FETCH_KIND_XML:
    case FETCH_KIND_JSON:
    case FETCH_KIND_FOLDER:
        return MoveNextText();
    case FETCH_KIND_FIXED:
        return MoveNextFixed();
    case FETCH_KIND_INI:
        return MoveNextIni();
    case FETCH_KIND_DATABASE:
        return MoveNextDatabase(); // FetchDatabase.cpp
    default:
        return 0;
    }
}

int CFetch::MoveNextText()
{
    m_arrLineFields.RemoveAll();
    if (m_nKind == FETCH_KIND_FOLDER && (m_arrFiles.GetSize() == 0)) {
        m_strCurrentLine.clear();
        return 0;
    }
    int accepted = 0;
    if (!(m_arrGroupKeyFields.GetSize() == 0) && (!m_pParent || IsGroupedChild())) {
        if (m_nGroupIndex >= 0 && m_nGroupIndex < m_arrGroupLines.GetSize() - 1) {
            ++m_nGroupIndex;
            MakeLineCurrent(m_arrGroupLines[m_nGroupIndex], false);
            accepted = 1;
        } else {
            accepted = ReadNextGroup();
        }
    } else {
        accepted = MoveNextLine();
    }
    if (!accepted) {
        m_strCurrentLine.clear();
        m_arrLineFields.RemoveAll();
        return 0;
    }
    m_bHasCurrentRecord = 1;
    if (m_arrLineFields.IsEmpty())
        SplitCurrentLine();
    return 1;
}

int CFetch::MoveNextLine()
{
    if (m_nRecord < 0 || m_nRecord >= m_arrLines.GetSize())
        return 0;
    MakeLineCurrent(m_arrLines[m_nRecord], false);
    ++m_nRecord;
    return TestWhere() ? 0 : 1;
}

int CFetch::MoveNextFixed()
{
    ++m_nRecord;
    // The fields of the record are expressions: a condition tests their values, not a line.
    if (!ParseWhereOverFields())
        return 0;
    return TestWhere() ? 0 : 1;
}

bool CFetch::ParseWhereOverFields()
{
    if (m_whereFilter.Parse(m_strWhere, GetFilterSettings(false), FetchFilterUse::Where))
        return true;
    m_strLastError = ReportInvalidFilter(m_strName, "WHERE", m_strWhere, m_whereFilter.GetError());
    return false;
}

int CFetch::MoveNextIni()
{
    if (m_nIniEntry + 1 >= m_arrIniEntries.GetSize()) {
        m_strCurrentIniEntry.clear();
        return 0;
    }
    ++m_nIniEntry;
    m_strCurrentIniEntry.assign(m_arrIniEntries[m_nIniEntry]);
    ++m_nRecord;
    return TestWhere() ? 0 : 1;
}

// ---- Read fields of linked definitions ---------------------------------------------------

void CFetch::CollectReadFields()
{
    for (auto& child : m_arrChildren) {
        child->CollectReadFields();
        for (const std::string& field : child->m_arrReadFields)
            m_arrReadFields.Add(field);
    }
}

void CFetch::GetReadFields(FetchTextArray& fields)
{
    CollectReadFields();
    fields = m_arrReadFields;
}
