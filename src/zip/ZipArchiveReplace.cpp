// The less travelled roads of CZipArchive: replacing an entry in place, copying an entry's
// stored bytes from another archive, the efficiency check through a temporary archive, removing
// the last entry, and the traditional encryption.
#include "zip/ZipArchive.h"
#include "zip/ZipBytes.h"
#include "zip/ZipException.h"
#include "zip/ZipMemFile.h"
#include "zip/ZipPlatform.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>

bool CZipArchive::ResolveReplaceIndex(const std::string& name, int& replaceIndex)
{
    if (replaceIndex == -2) {
        replaceIndex = FindEntry(name);
    }
    if (replaceIndex < 0) {
        replaceIndex = -1;
        return true;
    }
    if (replaceIndex >= m_centralDir.GetCount() || m_storage.IsSplit() != 0) {
        return false;
    }
    if (replaceIndex == m_centralDir.GetCount() - 1) {
        RemoveLastEntry(true);
        replaceIndex = -1;
    }
    return true;
}

bool CZipArchive::RemoveLastEntry(bool removeAlways)
{
    if (IsClosed() || m_entryState != 0 || m_centralDir.GetCount() == 0) {
        return false;
    }
    const CZipFileHeader& last = *m_centralDir.GetHeader(m_centralDir.GetCount() - 1);
    if (!removeAlways && last.GetDataSize() <= last.m_uncompressedSize) {
        return false;
    }
    if (m_centralDir.IsOnDisk()) {
        // The old directory goes first, so the cut below lands on the entry's start.
        m_storage.SetLength(std::uint64_t(m_centralDir.m_directoryOffset) +
                            m_centralDir.GetBytesBefore());
    }
    m_centralDir.RemoveEntry(-1);
    return true;
}

int CZipArchive::AddThroughTemporary(const CZipAddFileInfo& info, const std::string& name,
                                     int level, std::uint64_t size, int replaceIndex,
                                     bool compressCheck)
{
    std::unique_ptr<CZipMemFile> memory;
    std::string temporaryPath;
    if (info.smartFlags & smartMemoryTemporary) {
        memory = std::make_unique<CZipMemFile>(1024);
    } else {
        temporaryPath = ZipPlatform::GetTempFileName(m_tempPath, size);
        if (temporaryPath.empty()) {
            return -1; // no room anywhere: the caller adds directly
        }
    }
    CZipArchive temporary;
    bool result = false;
    try {
        if (memory) {
            temporary.OpenArchiveOnFile(*memory);
        } else {
            temporary.OpenArchive(temporaryPath, zipCreate);
        }
        temporary.m_rootPath = m_rootPath;
        temporary.m_password = m_password;
        temporary.SetSystemCompatibility(m_systemCompatibility);
        temporary.SetCallback(GetCallback(callbackAdd), callbackAdd);
        CZipAddFileInfo nested = info;
        nested.nameInArchive = name;
        nested.level = level;
        nested.smartFlags = 0;
        nested.replaceIndex = -1;
        result = temporary.AddFileFromDisk(nested);
        if (result) {
            CZipFileHeader added;
            temporary.GetEntryInfo(added, 0);
            if (compressCheck && added.GetDataSize() > added.m_uncompressedSize) {
                CZipAddFileInfo again = info;
                again.nameInArchive = name;
                again.level = 0;
                again.smartFlags = smartNested;
                again.replaceIndex = replaceIndex;
                result = AddFileFromDisk(again);
            } else {
                result = CopyEntryFromArchive(temporary, 0, replaceIndex,
                                              GetCallback(callbackAddTemporary));
            }
        }
        temporary.CloseArchive(result ? 0 : 1);
    } catch (...) {
        temporary.CloseArchive(1);
        if (!temporaryPath.empty()) {
            ZipPlatform::RemoveFile(temporaryPath, false);
        }
        throw;
    }
    if (!temporaryPath.empty()) {
        ZipPlatform::RemoveFile(temporaryPath, false);
    }
    m_info.buffer.Release();
    return result ? 1 : 0;
}

void CZipArchive::MakeSpaceForReplace(int replaceIndex, std::uint64_t needed,
                                      const std::string& name)
{
    CZipAbstractFile& file = *m_storage.GetFile();
    const std::uint64_t start = file.GetPosition();
    const std::uint64_t end = file.GetLength();
    const int count = m_centralDir.GetCount();
    const std::uint64_t next =
        replaceIndex + 1 < count
            ? std::uint64_t(m_centralDir.GetHeader(replaceIndex + 1)->m_offset) +
                  m_centralDir.GetBytesBefore()
            : end;
    const std::int64_t delta = std::int64_t(needed) - std::int64_t(next - start);
    if (delta != 0) {
        if (end + delta > 0xFFFFFFFFull) {
            throw CZipException(27, GetArchivePath());
        }
        CZipActionCallback* callback = GetCallback(callbackReplace);
        if (callback != nullptr) {
            callback->Init(name, GetArchivePath());
            callback->SetTotal(end - next);
        }
        MoveData(next, end, delta);
        if (callback != nullptr) {
            callback->CallbackEnd();
        }
        for (int i = replaceIndex + 1; i < count; ++i) {
            m_centralDir.GetHeader(i)->m_offset =
                std::uint32_t(std::int64_t(m_centralDir.GetHeader(i)->m_offset) + delta);
        }
    }
    file.Seek(std::int64_t(start), CZipAbstractFile::begin);
    m_reservedEnd = start + needed;
}

void CZipArchive::MoveData(std::uint64_t from, std::uint64_t to, std::int64_t delta)
{
    CZipAbstractFile& file = *m_storage.GetFile();
    CZipActionCallback* callback = GetCallback(callbackReplace);
    const std::size_t chunk = std::max<std::size_t>(m_info.buffer.GetSize(), 65536);
    CZipAutoBuffer buffer{unsigned(chunk)};
    std::uint64_t moved = 0;
    const std::uint64_t total = to - from;
    if (delta > 0) {
        file.SetLength(to + std::uint64_t(delta));
    }
    while (moved < total) {
        const std::size_t piece = std::size_t(std::min<std::uint64_t>(chunk, total - moved));
        // Upwards from the far end, downwards from the near end, so nothing is overwritten
        // before it was read.
        const std::uint64_t at = delta > 0 ? to - moved - piece : from + moved;
        file.Seek(std::int64_t(at), CZipAbstractFile::begin);
        if (file.Read(buffer.GetBuffer(), piece) != piece) {
            break;
        }
        file.Seek(std::int64_t(at) + delta, CZipAbstractFile::begin);
        file.Write(buffer.GetBuffer(), piece);
        moved += piece;
        if (callback != nullptr && !callback->Callback(piece)) {
            throw CZipException(CZipException::actionAborted, GetArchivePath());
        }
    }
    if (moved != total) {
        throw CZipException(CZipException::internalError, GetArchivePath());
    }
    if (delta < 0) {
        file.SetLength(std::uint64_t(std::int64_t(to) + delta));
    }
}

bool CZipArchive::CopyEntryFromArchive(CZipArchive& source, int index, int replaceIndex,
                                       CZipActionCallback* callback)
{
    if (IsClosed() || source.IsClosed() || m_entryState != 0 || source.m_entryState != 0 ||
        m_storage.IsSplit() == -1 || source.m_storage.IsSplit() != 0) {
        return false;
    }
    if (index < 0 || index >= source.m_centralDir.GetCount()) {
        return false;
    }
    CZipFileHeader header = *source.m_centralDir.GetHeader(index);
    if (!ResolveReplaceIndex(header.GetFileName(), replaceIndex)) {
        return false;
    }
    source.m_storage.FlushBuffer();
    source.m_centralDir.OpenEntry(index);
    source.m_centralDir.CloseEntry(true);
    CZipAbstractFile& sourceFile = *source.m_storage.GetFile();
    const std::uint64_t dataStart = sourceFile.GetPosition();
    const std::uint64_t entryEnd = std::uint64_t(source.m_centralDir.GetEntryEnd(index)) +
                                   source.m_centralDir.GetBytesBefore();
    const std::uint64_t gap = entryEnd > dataStart ? entryEnd - dataStart : 0;
    const bool descriptor = header.IsDataDescriptor();
    if (gap < std::uint64_t(header.m_compressedSize) + (descriptor ? 12 : 0)) {
        throw CZipException(CZipException::badZipFile, source.GetArchivePath());
    }
    const std::uint64_t amount =
        descriptor ? std::min<std::uint64_t>(gap, std::uint64_t(header.m_compressedSize) + 16)
                   : header.m_compressedSize;
    const bool addDescriptor = m_storage.IsSplit() == 1 && !descriptor;
    if (addDescriptor) {
        header.m_flags |= CZipFileHeader::kFlagDataDescriptor;
    }
    CZipFileHeader* opened = m_centralDir.AddNewEntry(header, replaceIndex);
    m_reservedEnd = 0;
    if (replaceIndex >= 0) {
        MakeSpaceForReplace(replaceIndex, opened->GetSize(true) + amount, header.GetFileName());
    }
    opened->WriteLocal(m_storage);
    if (callback != nullptr) {
        callback->Init(header.GetFileName(), source.GetArchivePath());
        callback->SetTotal(amount);
    }
    CZipAutoBuffer buffer(65536);
    std::uint64_t copied = 0;
    sourceFile.Seek(std::int64_t(dataStart), CZipAbstractFile::begin);
    while (copied < amount) {
        const std::size_t piece = std::size_t(std::min<std::uint64_t>(65536, amount - copied));
        source.m_storage.Read(buffer.GetBuffer(), piece, false);
        m_storage.Write(buffer.GetBuffer(), piece, false);
        copied += piece;
        if (callback != nullptr && !callback->Callback(piece)) {
            int cause = CZipException::actionAbortedSafely;
            if (copied < amount) {
                if (m_storage.IsSplit() != 0 || replaceIndex >= 0) {
                    cause = CZipException::actionAborted;
                } else {
                    m_centralDir.DropOpenedHeader();
                    m_centralDir.RemoveEntry(-1);
                    callback->CallbackEnd();
                    throw CZipException(cause, GetArchivePath());
                }
            }
            callback->CallbackEnd();
            throw CZipException(cause, GetArchivePath());
        }
    }
    if (addDescriptor) {
        char values[CZipFileHeader::kDescriptorSize];
        std::memcpy(values, "PK\x07\x08", 4);
        ZipBytes::WriteU32(values + 4, header.m_crc32);
        ZipBytes::WriteU32(values + 8, header.m_compressedSize);
        ZipBytes::WriteU32(values + 12, header.m_uncompressedSize);
        m_storage.Write(values, sizeof(values), true);
    }
    m_centralDir.CloseCopiedEntry();
    m_reservedEnd = 0;
    if (callback != nullptr) {
        callback->CallbackEnd();
    }
    return true;
}

// ---- Traditional encryption --------------------------------------------------------------

void CZipArchive::CryptInitKeys()
{
    m_keys[0] = 305419896u;
    m_keys[1] = 591751049u;
    m_keys[2] = 878082192u;
    for (unsigned i = 0; i < m_password.GetSize(); ++i) {
        CryptUpdateKeys(static_cast<unsigned char>(m_password.GetBuffer()[i]));
    }
}

void CZipArchive::CryptUpdateKeys(unsigned char value)
{
    static const z_crc_t* table = get_crc_table();
    m_keys[0] = table[(m_keys[0] ^ value) & 0xFF] ^ (m_keys[0] >> 8);
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
    m_keys[2] = table[(m_keys[2] ^ (m_keys[1] >> 24)) & 0xFF] ^ (m_keys[2] >> 8);
}

unsigned char CZipArchive::CryptDecryptByte() const
{
    const unsigned temp = (m_keys[2] & 0xFFFF) | 2;
    return static_cast<unsigned char>(((temp * (temp ^ 1)) >> 8) & 0xFF);
}

void CZipArchive::CryptEncode(char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const auto plain = static_cast<unsigned char>(bytes[i]);
        bytes[i] = char(plain ^ CryptDecryptByte());
        CryptUpdateKeys(plain);
    }
}

void CZipArchive::CryptDecode(char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const auto plain = static_cast<unsigned char>(bytes[i] ^ CryptDecryptByte());
        bytes[i] = char(plain);
        CryptUpdateKeys(plain);
    }
}

void CZipArchive::WriteEncryptionHeader(const CZipFileHeader& header)
{
    std::minstd_rand generator(unsigned(std::time(nullptr)));
    char bytes[CZipFileHeader::kEncryptionHeaderSize];
    for (int i = 0; i < 10; ++i) {
        const unsigned value = unsigned(generator());
        const unsigned middle = (value >> 6) & 0xFF;
        bytes[i] = char(middle != 0 ? middle : value & 0xFF);
    }
    bytes[10] = char(header.m_modificationTime & 0xFF);
    bytes[11] = char(header.m_modificationTime >> 8);
    CryptEncode(bytes, sizeof(bytes));
    m_storage.Write(bytes, sizeof(bytes), false);
}

bool CZipArchive::CheckEncryptionHeader(const CZipFileHeader& header)
{
    char bytes[CZipFileHeader::kEncryptionHeaderSize];
    m_storage.Read(bytes, sizeof(bytes), false);
    CryptInitKeys();
    CryptDecode(bytes, sizeof(bytes));
    const auto check = static_cast<unsigned char>(bytes[11]);
    const unsigned expected = header.IsDataDescriptor() ? unsigned(header.m_modificationTime >> 8)
                                                        : unsigned(header.m_crc32 >> 24);
    return check == expected;
}
