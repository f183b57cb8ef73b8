#include "zip/ZipCentralDir.h"

#include "platform/Text.h"
#include "zip/ZipActionCallback.h"
#include "zip/ZipBytes.h"
#include "zip/ZipException.h"
#include "zip/ZipStorage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

using namespace ZipBytes;

namespace {

const unsigned kEndRecordSize = 22;
const unsigned kMaxCommentSize = 0xFFFF;
const std::int64_t kZip64LocatorSize = 20;
const std::size_t kDirectoryBlock = 1 << 20;

} // namespace

void CZipCentralDir::Clear()
{
    m_openedHeader = nullptr;
    m_localExtraField.Release();
    m_headers.clear();
    m_findFast.clear();
    m_findFastEnabled = false;
    m_comment.Release();
    m_bytesBeforeArchive = 0;
    m_onDisk = false;
    m_thisVolume = m_directoryVolume = m_entriesOnVolume = m_totalEntries = 0;
    m_directorySize = m_directoryOffset = m_endRecordPosition = 0;
}

void CZipCentralDir::Read()
{
    const std::string path = m_storage->GetArchivePath();
    try {
        ReadDirectory();
    } catch (const std::bad_alloc&) {
        throw CZipException(CZipException::notEnoughMemory, path);
    }
}

void CZipCentralDir::ReadDirectory()
{
    const std::string path = m_storage->GetArchivePath();
    CZipAbstractFile& file = *m_storage->GetFile();
    const std::uint64_t length = file.GetLength();
    const std::uint64_t searched =
        std::min<std::uint64_t>(length, kMaxCommentSize + kEndRecordSize);
    std::vector<char> tail(searched);
    file.Seek(std::int64_t(length - searched), CZipAbstractFile::begin);
    if (file.Read(tail.data(), tail.size()) != tail.size()) {
        throw CZipException(CZipException::badZipFile, path);
    }
    // The occurrence nearest the end wins.
    std::int64_t found = -1;
    for (std::int64_t at = std::int64_t(searched) - 4; at >= 0; --at) {
        if (HasSignature(tail.data() + at, 5, 6)) {
            found = at;
            break;
        }
    }
    if (found < 0) {
        throw CZipException(CZipException::centralDirNotFound, path);
    }
    if (std::uint64_t(found) + kEndRecordSize > searched) {
        throw CZipException(CZipException::badZipFile, path);
    }
    const char* record = tail.data() + found;
    const std::uint64_t recordPosition = length - searched + std::uint64_t(found);
    m_endRecordPosition = std::uint32_t(recordPosition);
    m_thisVolume = ReadU16(record + 4);
    m_directoryVolume = ReadU16(record + 6);
    m_entriesOnVolume = ReadU16(record + 8);
    m_totalEntries = ReadU16(record + 10);
    m_directorySize = ReadU32(record + 12);
    m_directoryOffset = ReadU32(record + 16);
    const std::uint16_t commentLength = ReadU16(record + 20);

    // A ZIP64 archive keeps its real directory in a record before this one (found by the
    // locator just before it) and marks the fields that do not fit.
    const bool zip64Locator =
        found >= kZip64LocatorSize && HasSignature(record - kZip64LocatorSize, 6, 7);
    if (zip64Locator || m_directorySize == 0xFFFFFFFF || m_directoryOffset == 0xFFFFFFFF) {
        throw CZipException(CZipException::zip64NotSupported, path);
    }
    // Every size is checked against the file before anything is allocated for it.
    if (std::uint64_t(m_totalEntries) * CZipFileHeader::kCentralSize > m_directorySize ||
        m_directoryVolume > m_thisVolume) {
        throw CZipException(CZipException::badZipFile, path);
    }
    const bool directoryHere = m_directoryVolume == m_thisVolume;
    if (directoryHere && recordPosition < std::uint64_t(m_directoryOffset) + m_directorySize) {
        throw CZipException(CZipException::badZipFile, path);
    }

    m_storage->m_currentVolume = m_thisVolume;
    const bool split = m_thisVolume != 0;
    if (split) {
        m_storage->SetExistingSplit(m_thisVolume);
    } else {
        m_storage->m_splitMode = CZipStorage::noSplit;
    }
    if (std::uint64_t(found) + kEndRecordSize + commentLength > searched) {
        throw CZipException(CZipException::badZipFile, path);
    }
    m_comment.Assign(record + kEndRecordSize, commentLength);
    m_bytesBeforeArchive =
        split ? 0 : std::uint32_t(recordPosition - m_directoryOffset - m_directorySize);
    if ((m_directorySize == 0) != (m_totalEntries == 0)) {
        throw CZipException(CZipException::badZipFile, path);
    }
    m_onDisk = true;
    m_storage->ChangeVolume(m_directoryVolume);
    if (m_directorySize == 0) {
        return;
    }
    m_storage->GetFile()->Seek(std::int64_t(m_directoryOffset) + m_bytesBeforeArchive,
                               CZipAbstractFile::begin);
    // A directory spread over earlier volumes cannot be measured beforehand: it is read in
    // blocks, so a false size runs out of volumes before it runs out of memory.
    std::vector<char> directory;
    try {
        while (directory.size() < m_directorySize) {
            const std::size_t start = directory.size();
            directory.resize(start +
                             std::min<std::size_t>(kDirectoryBlock, m_directorySize - start));
            m_storage->Read(directory.data() + start, directory.size() - start, false);
        }
    } catch (const CZipException& error) {
        throw CZipException(error.GetCause(), path);
    }
    m_headers.reserve(m_totalEntries);
    std::size_t position = 0;
    for (unsigned entry = 0; entry < m_totalEntries; ++entry) {
        auto header = std::make_unique<CZipFileHeader>();
        std::size_t consumed = 0;
        bool good = false;
        try {
            good = header->ReadCentral(directory.data() + position, directory.size() - position,
                                       consumed);
        } catch (const CZipException&) {
            good = false;
        }
        if (!good) {
            throw CZipException(CZipException::badZipFile, path);
        }
        if (header->NeedsZip64()) {
            throw CZipException(CZipException::zip64NotSupported, path);
        }
        header->ConvertNameToMemory();
        position += consumed;
        m_headers.push_back(std::move(header));
    }
    SortHeaders();
    if (m_findFastEnabled) {
        BuildFindFast(m_caseSensitiveIndex);
    }
}

void CZipCentralDir::SortHeaders()
{
    std::stable_sort(m_headers.begin(), m_headers.end(), [](const auto& left, const auto& right) {
        if (left->m_diskStart != right->m_diskStart) {
            return left->m_diskStart < right->m_diskStart;
        }
        return left->m_offset < right->m_offset;
    });
    for (std::size_t i = 1; i < m_headers.size(); ++i) {
        if (m_headers[i]->m_diskStart == m_headers[i - 1]->m_diskStart &&
            m_headers[i]->m_offset == m_headers[i - 1]->m_offset) {
            throw CZipException(CZipException::badZipFile, m_storage->GetArchivePath());
        }
    }
}

std::uint32_t CZipCentralDir::GetSize(bool whole) const
{
    std::uint32_t size = kEndRecordSize + m_comment.GetSize();
    if (whole) {
        for (const auto& header : m_headers) {
            size += header->GetSize(false);
        }
    }
    return size;
}

void CZipCentralDir::Write(CZipActionCallback* callback)
{
    if (m_onDisk) {
        return;
    }
    const std::string path = m_storage->GetArchivePath();
    if (m_storage->IsSplit() == 0) {
        m_storage->FlushBuffer();
        m_storage->GetFile()->SeekToEnd();
    }
    m_totalEntries = std::uint16_t(m_headers.size());
    m_directorySize = 0;
    const std::uint64_t start = m_storage->GetPosition() - m_bytesBeforeArchive;
    if (start + GetSize(true) > 0xFFFFFFFFull) {
        throw CZipException(27, path);
    }
    m_directoryOffset = std::uint32_t(start);
    m_directoryVolume = std::uint16_t(m_storage->m_currentVolume);
    m_entriesOnVolume = 0;
    if (callback != nullptr) {
        callback->SetTotal(m_headers.size());
    }
    for (std::size_t i = 0; i < m_headers.size(); ++i) {
        const int volumeBefore = m_storage->m_currentVolume;
        m_directorySize += m_headers[i]->WriteCentral(*m_storage);
        if (m_storage->m_currentVolume == volumeBefore) {
            ++m_entriesOnVolume;
        } else {
            m_entriesOnVolume = 1;
            if (i == 0) {
                m_directoryVolume = std::uint16_t(m_storage->m_currentVolume);
                m_directoryOffset = 0;
            }
        }
        if (callback != nullptr && (i == 0 || (i + 1) % 256 == 0) &&
            !callback->Callback(i == 0 ? 1 : 256)) {
            if (m_storage->IsSplit() == 0) {
                m_storage->SetLength(std::uint64_t(m_directoryOffset) + m_bytesBeforeArchive);
                throw CZipException(CZipException::actionAbortedSafely, path);
            }
            throw CZipException(CZipException::actionAborted, path);
        }
    }
    WriteEndRecord();
    m_onDisk = true;
}

void CZipCentralDir::WriteEndRecord()
{
    const int volumeBefore = m_storage->m_currentVolume;
    std::vector<char> record(kEndRecordSize + m_comment.GetSize());
    char* out = record.data();
    std::memcpy(out, "PK\x05\x06", 4);
    out = WriteU16(out + 4, std::uint16_t(m_storage->m_currentVolume));
    out = WriteU16(out, m_directoryVolume);
    out = WriteU16(out, m_entriesOnVolume);
    out = WriteU16(out, m_totalEntries);
    out = WriteU32(out, m_directorySize);
    out = WriteU32(out, m_directoryOffset);
    out = WriteU16(out, std::uint16_t(m_comment.GetSize()));
    if (m_comment.GetSize() > 0) {
        std::memcpy(out, m_comment.GetBuffer(), m_comment.GetSize());
    }
    m_storage->Write(record.data(), record.size(), true);
    if (m_storage->m_currentVolume != volumeBefore) {
        // The record moved to a new volume: its own number goes in, with no entries on it.
        WriteU16(record.data() + 4, std::uint16_t(m_storage->m_currentVolume));
        WriteU16(record.data() + 8, 0);
        if (m_totalEntries == 0) {
            WriteU16(record.data() + 6, std::uint16_t(m_storage->m_currentVolume));
            WriteU32(record.data() + 16, 0);
        }
        m_storage->Seek(-std::int64_t(record.size()), CZipAbstractFile::current);
        m_storage->GetFile()->Write(record.data(), record.size());
    }
    m_thisVolume = std::uint16_t(m_storage->m_currentVolume);
}

CZipFileHeader* CZipCentralDir::AddNewEntry(const CZipFileHeader& header, int replaceIndex)
{
    auto copy = std::make_unique<CZipFileHeader>(header);
    CZipFileHeader* added = copy.get();
    const bool replacing = replaceIndex >= 0 && replaceIndex < GetCount();
    std::uint32_t replacedOffset = 0;
    if (replacing) {
        replacedOffset = m_headers[std::size_t(replaceIndex)]->m_offset;
        RemoveFindFast(replaceIndex, false);
        copy->m_offset = replacedOffset;
        m_headers[std::size_t(replaceIndex)] = std::move(copy);
        InsertFindFast(added, replaceIndex);
    } else {
        m_headers.push_back(std::move(copy));
        InsertFindFast(added, GetCount() - 1);
    }
    if (m_onDisk) {
        m_storage->SetLength(std::uint64_t(m_directoryOffset) + m_bytesBeforeArchive);
        m_onDisk = false;
    } else {
        m_storage->FlushBuffer();
    }
    if (replacing) {
        m_storage->Seek(std::int64_t(replacedOffset) + m_bytesBeforeArchive);
    } else if (m_storage->IsSplit() == 0) {
        m_storage->GetFile()->SeekToEnd();
    }
    m_openedHeader = added;
    return added;
}

void CZipCentralDir::CloseNewEntry()
{
    CZipFileHeader& header = *m_openedHeader;
    char values[CZipFileHeader::kDescriptorSize];
    std::memcpy(values, "PK\x07\x08", 4);
    WriteU32(values + 4, header.m_crc32);
    WriteU32(values + 8, header.m_compressedSize);
    WriteU32(values + 12, header.m_uncompressedSize);
    const int split = m_storage->IsSplit();
    const auto patchLocal = [&]() {
        m_storage->FlushBuffer();
        CZipAbstractFile& file = *m_storage->GetFile();
        const std::uint64_t end = file.GetPosition();
        file.Seek(std::int64_t(header.m_offset) + 14, CZipAbstractFile::begin);
        file.Write(values + 4, 12);
        file.Seek(std::int64_t(end), CZipAbstractFile::begin);
    };
    if (header.IsDataDescriptor()) {
        m_storage->Write(values, sizeof(values), true);
        if (split == 0 && header.IsEncrypted()) {
            patchLocal();
        }
    } else {
        patchLocal();
    }
    header.m_offset -= m_bytesBeforeArchive;
    if (split == 0) {
        m_storage->FlushBuffer();
    }
    m_openedHeader = nullptr;
}

void CZipCentralDir::OpenEntry(int index)
{
    if (index < 0 || index >= GetCount()) {
        throw CZipException(22, m_storage->GetArchivePath());
    }
    CZipFileHeader& header = *m_headers[std::size_t(index)];
    const std::string path = m_storage->GetArchivePath();
    if (m_storage->IsSplit() != 0) {
        m_storage->ChangeVolume(header.m_diskStart);
    }
    m_storage->Seek(std::int64_t(header.m_offset) + m_bytesBeforeArchive);
    std::uint16_t extraLength = 0;
    bool good = false;
    try {
        good = header.ReadLocal(*m_storage, extraLength);
    } catch (const CZipException&) {
        good = false;
    }
    if (!good) {
        throw CZipException(CZipException::badZipFile, path);
    }
    m_localExtraField.Allocate(extraLength);
    if (extraLength > 0) {
        m_storage->Read(m_localExtraField.GetBuffer(), extraLength, true);
    }
    m_openedHeader = &header;
}

void CZipCentralDir::CloseEntry(bool afterException)
{
    m_localExtraField.Release();
    CZipFileHeader* header = m_openedHeader;
    m_openedHeader = nullptr;
    if (afterException || header == nullptr || !header->IsDataDescriptor()) {
        return;
    }
    char values[12];
    m_storage->Read(values, 4, true);
    if (!HasSignature(values, 7, 8)) {
        m_storage->GetFile()->Seek(-4, CZipAbstractFile::current);
    }
    m_storage->Read(values, 12, true);
    if (!header->CompareDescriptor(ReadU32(values), ReadU32(values + 4), ReadU32(values + 8))) {
        throw CZipException(CZipException::badZipFile, m_storage->GetArchivePath());
    }
}

void CZipCentralDir::RemoveEntry(int index)
{
    if (index == -1) {
        index = GetCount() - 1;
    }
    if (index < 0 || index >= GetCount()) {
        return;
    }
    const std::uint32_t offset = m_headers[std::size_t(index)]->m_offset;
    RemoveFindFast(index, true);
    m_headers.erase(m_headers.begin() + index);
    m_storage->FlushBuffer();
    m_storage->SetLength(std::uint64_t(offset) + m_bytesBeforeArchive);
    m_storage->GetFile()->SeekToEnd();
    m_onDisk = false;
}

std::uint32_t CZipCentralDir::GetEntryEnd(int index) const
{
    if (index + 1 < GetCount()) {
        return m_headers[std::size_t(index) + 1]->m_offset;
    }
    return m_onDisk ? m_directoryOffset
                    : std::uint32_t(m_storage->GetFile()->GetLength() - m_bytesBeforeArchive);
}

int CZipCentralDir::Compare(const std::string& left, const std::string& right,
                            bool caseSensitive) const
{
    if (caseSensitive) {
        return left.compare(right);
    }
    return trv::CompareNoCase(left, right);
}

void CZipCentralDir::BuildFindFast(bool caseSensitive)
{
    m_caseSensitiveIndex = caseSensitive;
    m_findFastEnabled = true;
    m_findFast.clear();
    m_findFast.reserve(m_headers.size());
    for (std::size_t i = 0; i < m_headers.size(); ++i) {
        m_findFast.push_back({m_headers[i].get(), std::uint16_t(i)});
    }
    std::stable_sort(m_findFast.begin(), m_findFast.end(),
                     [&](const auto& left, const auto& right) {
                         return Compare(left.header->GetFileName(), right.header->GetFileName(),
                                        caseSensitive) < 0;
                     });
}

void CZipCentralDir::EnableFindFast(bool caseSensitive)
{
    if (!m_findFastEnabled) {
        BuildFindFast(caseSensitive);
    }
}

void CZipCentralDir::InsertFindFast(CZipFileHeader* header, int index)
{
    if (!m_findFastEnabled) {
        return;
    }
    const auto position = std::lower_bound(
        m_findFast.begin(), m_findFast.end(), header->GetFileName(),
        [&](const CZipFindFast& element, const std::string& name) {
            return Compare(element.header->GetFileName(), name, m_caseSensitiveIndex) < 0;
        });
    m_findFast.insert(position, {header, std::uint16_t(index)});
}

void CZipCentralDir::RemoveFindFast(int index, bool shift)
{
    if (!m_findFastEnabled) {
        return;
    }
    const auto found =
        std::find_if(m_findFast.begin(), m_findFast.end(),
                     [&](const CZipFindFast& element) { return element.index == index; });
    if (found != m_findFast.end()) {
        m_findFast.erase(found);
    }
    if (!shift) {
        return;
    }
    for (auto& element : m_findFast) {
        if (element.index > index) {
            --element.index;
        }
    }
}

int CZipCentralDir::FindEntry(const std::string& name, bool caseSensitive, bool sporadic)
{
    if (!m_findFastEnabled) {
        BuildFindFast(caseSensitive != sporadic);
    }
    if (caseSensitive != m_caseSensitiveIndex) {
        if (sporadic) {
            for (std::size_t i = 0; i < m_headers.size(); ++i) {
                if (Compare(m_headers[i]->GetFileName(), name, caseSensitive) == 0) {
                    return int(i);
                }
            }
            return -1;
        }
        BuildFindFast(caseSensitive);
    }
    const auto found = std::lower_bound(
        m_findFast.begin(), m_findFast.end(), name,
        [&](const CZipFindFast& element, const std::string& wanted) {
            return Compare(element.header->GetFileName(), wanted, m_caseSensitiveIndex) < 0;
        });
    if (found == m_findFast.end() ||
        Compare(found->header->GetFileName(), name, m_caseSensitiveIndex) != 0) {
        return -1;
    }
    return found->index;
}

void CZipCentralDir::CloseCopiedEntry()
{
    m_openedHeader->m_offset -= m_bytesBeforeArchive;
    if (m_storage->IsSplit() == 0) {
        m_storage->FlushBuffer();
    }
    m_openedHeader = nullptr;
}

void CZipCentralDir::DropOpenedHeader()
{
    m_openedHeader = nullptr;
    m_localExtraField.Release();
}
