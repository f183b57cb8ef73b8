// The text reader: a whole separated or fixed-width file into the definition's lines, decoded
// to UTF-8, with multi-line records assembled from typed lines and the key index of the lines.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A block of `size` bytes that is not zero-filled. A large one is mapped on its own and asks
// for huge pages: touching a fresh page costs far more than copying into it, and a large
// source touches tens of thousands of them.
std::shared_ptr<char[]> NewBlock(std::size_t size)
{
    constexpr std::size_t kLargeBlock = std::size_t{8} << 20;
    if (size >= kLargeBlock) {
        void* mapped =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            ::madvise(mapped, size, MADV_HUGEPAGE);
            return std::shared_ptr<char[]>(static_cast<char*>(mapped),
                                           [size](char* bytes) { ::munmap(bytes, size); });
        }
    }
    return std::shared_ptr<char[]>(new char[size]);
}

// The rest of the file in a block that is not zero-filled first (a large source is read
// once, straight into the memory its lines point at); false when a read failed.
bool ReadRemainingBlock(std::FILE* file, std::shared_ptr<char[]>& block, std::size_t& size)
{
    struct stat status
    {
    };
    std::size_t capacity = 1 << 16;
    if (::fstat(::fileno(file), &status) == 0 && status.st_size > 0)
        capacity = static_cast<std::size_t>(status.st_size) + 1; // + 1: growth shows at once
    block = NewBlock(capacity);
    size = 0;
    for (;;) {
        size += std::fread(block.get() + size, 1, capacity - size, file);
        if (size < capacity)
            break;
        // The file grew while it was read.
        std::shared_ptr<char[]> larger = NewBlock(capacity * 2);
        std::memcpy(larger.get(), block.get(), size);
        block = std::move(larger);
        capacity *= 2;
    }
    return std::ferror(file) == 0;
}

// The physical lines of the text from `offset` on, as [start, end) byte ranges without their
// line ends (LF or CR LF); a last line without a line feed counts, an empty rest after the
// last one does not.
template <typename Visit> void ForEachLine(std::string_view text, std::size_t offset, Visit&& visit)
{
    std::size_t start = offset;
    while (start < text.size()) {
        const char* found =
            static_cast<const char*>(std::memchr(text.data() + start, '\n', text.size() - start));
        std::size_t end = found ? static_cast<std::size_t>(found - text.data()) : text.size();
        const std::size_t next = found ? end + 1 : end;
        if (end > start && text[end - 1] == '\r')
            --end;
        visit(start, end);
        start = next;
    }
}

} // namespace

// Assembles multi-line records: each record holds the segment of line type k at character
// k x width, and a line whose type does not follow the previous one starts a new record.
class CFetchLineTypeAssembler
{
  public:
    CFetchLineTypeAssembler(const CFetch& fetch, CFetchTextList& records)
        : m_fetch(fetch), m_records(records), m_width(fetch.m_nLineTypeCount)
    {
        ParsePosition(fetch.m_strLineTypeField);
    }

    void AddLine(std::string_view line)
    {
        if (trv::Trim(line).empty())
            return;
        const std::string code = ReadCode(line);
        int type = FindType(code);
        if (type > m_previousType) {
            // The line continues the record.
            Pad(m_record, static_cast<std::size_t>(type) * m_width);
            m_record.append(line);
        } else {
            const std::string complete = m_record;
            Store();
            m_record = complete;
            m_searchStart = 0;
            // A type that cannot share (none, or the first) starts the record afresh.
            const bool keepShared = type > 0;
            if (keepShared) {
                // The segments before this type are shared with the record just stored.
                const std::size_t shared = static_cast<std::size_t>(type) * m_width;
                m_record = trv::Left(m_record, shared);
                Pad(m_record, shared);
                m_record.append(line);
            } else {
                m_record.assign(line);
            }
        }
        if (type == -1 && m_fetch.m_arrLineTypes.GetSize() > 0 && code == m_fetch.m_arrLineTypes[0])
            type = 0;
        m_previousType = type;
    }

    void Finish() { Store(); }

  private:
    void Store()
    {
        if (!m_record.empty())
            m_records.Add(m_record);
        m_record.clear();
    }

    static void Pad(std::string& record, std::size_t characters)
    {
        const std::size_t length = trv::Length(record);
        if (length < characters)
            record.append(characters - length, ' ');
    }

    // The position of the type code: "start,length" on fixed-width lines, a column number on
    // separated lines.
    void ParsePosition(const std::string& position)
    {
        const std::size_t comma = position.find(',');
        m_start = trv::ParseInt(position.substr(0, comma));
        m_length = comma == std::string::npos ? 0 : trv::ParseInt(position.substr(comma + 1));
    }

    std::string ReadCode(std::string_view line) const
    {
        const std::string& separator = m_fetch.m_strSeparator;
        if (m_start < 1)
            return std::string();
        if (separator.empty())
            return std::string(trv::Trim(trv::Mid(line, m_start - 1, m_length > 0 ? m_length : 1)));
        std::size_t fieldStart = 0;
        for (int column = 1; column < m_start; ++column) {
            const std::size_t found = line.find(separator, fieldStart);
            if (found == std::string_view::npos)
                return std::string();
            fieldStart = found + separator.size();
        }
        const std::size_t fieldEnd = line.find(separator, fieldStart);
        return std::string(trv::Trim(line.substr(
            fieldStart, fieldEnd == std::string_view::npos ? fieldEnd : fieldEnd - fieldStart)));
    }

    // Position of the code in the LINEA list: the first from the search start on, or with one
    // record per repeated detail line the last of the whole list; -1 when absent.
    int FindType(const std::string& code)
    {
        const FetchTextArray& types = m_fetch.m_arrLineTypes;
        if (m_fetch.m_bLinesPerProduct) {
            for (int index = types.GetSize() - 1; index >= 0; --index)
                if (types[index] == code)
                    return index;
            return -1;
        }
        for (int index = m_searchStart; index < types.GetSize(); ++index) {
            if (types[index] == code) {
                m_searchStart = index + 1;
                return index;
            }
        }
        return -1;
    }

    const CFetch& m_fetch;
    CFetchTextList& m_records;
    std::size_t m_width;
    int m_start = 0;
    int m_length = 0;
    std::string m_record;
    int m_previousType = -1;
    int m_searchStart = 0;
};

int CFetch::ReadTextFile()
{
    m_mapLineIndex.clear();
    m_arrLines.RemoveAll();
    if (!m_pOutputFile)
        return -1;
    std::shared_ptr<char[]> block;
    std::size_t size = 0;
    const bool complete = ReadRemainingBlock(m_pOutputFile.get(), block, size);
    m_pOutputFile.reset();
    if (!complete)
        TRV_TRACE(1, "CFetch::ReadTextFile", "Error leyendo %s", m_strOutputPath.c_str());
    const std::string_view bytes(block.get(), size);
    std::size_t offset = 0;
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        m_strAsciiFormat = "UTF8";
        offset = kByteOrderMark.size();
    }
    // "DOS" is code page 850, "UTF8" and anything else follow the text rule (valid UTF-8 as it
    // is, else Windows-1252). Valid UTF-8 stays in its block; a conversion starts at 0 and the
    // block goes at once, so the file is never held twice.
    if (m_strAsciiFormat == "EBCDIC")
        std::replace(block.get(), block.get() + size, '\0', ' ');
    std::string converted;
    const bool keepBlock = m_strAsciiFormat != "DOS" && trv::IsValidUtf8(bytes.substr(offset));
    if (!keepBlock) {
        converted = m_strAsciiFormat == "DOS" ? trv::Cp850ToUtf8(bytes.substr(offset))
                                              : trv::Cp1252ToUtf8(bytes.substr(offset));
        offset = 0;
        block.reset();
    }

    if (m_strLineTypeField.empty()) {
        // The text becomes the lines' buffer: each line is a range of it.
        if (keepBlock)
            m_arrLines.AdoptBlock(std::move(block), size);
        else
            m_arrLines.Adopt(std::move(converted));
        const std::string_view buffer = m_arrLines.GetBuffer();
        m_arrLines.ReserveItems(buffer.size() / 64 + 16);
        ForEachLine(buffer, offset, [this](std::size_t start, std::size_t end) {
            m_arrLines.AddRange(start, end);
        });
    } else {
        const std::string_view text = keepBlock ? bytes : std::string_view(converted);
        CFetchLineTypeAssembler assembler(*this, m_arrLines);
        ForEachLine(text, offset, [&](std::size_t start, std::size_t end) {
            assembler.AddLine(text.substr(start, end - start));
        });
        assembler.Finish();
    }
    BuildLineIndex();
    return m_arrLines.GetSize() - 1;
}

// ---- Key fields and the key index --------------------------------------------------------

void CFetch::ReadKeyFields()
{
    // The KEY columns as a database source has them; the result does not stop the open.
    GetPrimaryKeys();
    m_arrGroupKeyFields.SetSize(0);
    FetchTextArray names;
    AppendCommaItems(GetSetting("KEY"), names);
    for (const std::string& name : names) {
        const std::string_view trimmed = trv::Trim(name);
        if (!trimmed.empty())
            m_arrGroupKeyFields.Add(std::string(trimmed));
    }
}

std::string CFetch::GetLineKey(std::string_view line)
{
    MakeLineCurrent(line, true);
    ClearFieldCache();
    std::string key;
    for (const std::string& field : m_arrGroupKeyFields) {
        key += GetFieldString(field, "", 0, -1);
        key += m_strSeparator;
    }
    return key;
}

void CFetch::BuildLineIndex()
{
    m_mapLineIndex.clear();
    if ((m_arrGroupKeyFields.GetSize() == 0))
        return;
    m_mapLineIndex.reserve(5447);
    std::unordered_map<std::string, int> occurrences;
    for (int index = 0; index < m_arrLines.GetSize(); ++index) {
        const std::string key = GetLineKey(m_arrLines[index]);
        const int occurrence = ++occurrences[key];
        m_mapLineIndex.emplace(key + std::to_string(occurrence), index);
    }
    MakeLineCurrent(std::string_view(), false);
    ClearFieldCache();
}
