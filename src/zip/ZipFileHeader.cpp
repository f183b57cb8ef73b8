#include "zip/ZipFileHeader.h"

#include "platform/Text.h"
#include "zip/ZipBytes.h"
#include "zip/ZipException.h"
#include "zip/ZipPlatform.h"
#include "zip/ZipStorage.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

using namespace ZipBytes;

namespace {

enum System
{
    systemDos = 0,
    systemUnix = 3,
    systemOs2 = 6,
    systemMacintosh = 7,
    systemNtfs = 10
};

const std::uint32_t kUnixFolder = 0040000;

std::uint32_t UnixModeToWindows(std::uint32_t mode)
{
    std::uint32_t attributes = 0;
    if ((mode & 0170000) == kUnixFolder) {
        attributes |= ZipPlatform::kAttributeFolder;
    }
    if (!(mode & 0100)) {
        attributes |= ZipPlatform::kAttributeArchive;
    }
    if (!(mode & 0200)) {
        attributes |= ZipPlatform::kAttributeReadOnly;
    }
    if (!(mode & 0400)) {
        attributes |= ZipPlatform::kAttributeHidden;
    }
    return attributes;
}

bool EndsWithSeparator(const std::string& name)
{
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

// The fields from "version needed" to the extra field's length stand alike in the local and the
// central header.
char* WriteSharedFields(char* out, const CZipFileHeader& header)
{
    out = WriteU16(out, header.m_versionNeeded);
    out = WriteU16(out, header.m_flags);
    out = WriteU16(out, header.m_method);
    out = WriteU16(out, header.m_modificationTime);
    out = WriteU16(out, header.m_modificationDate);
    out = WriteU32(out, header.m_crc32);
    out = WriteU32(out, header.m_compressedSize);
    out = WriteU32(out, header.m_uncompressedSize);
    out = WriteU16(out, std::uint16_t(header.m_storedName.GetSize()));
    return WriteU16(out, std::uint16_t(header.m_extraField.GetSize()));
}

// Copies the variable parts that follow a record's fixed fields.
char* WriteParts(char* out, std::initializer_list<const CZipAutoBuffer*> parts)
{
    for (const CZipAutoBuffer* part : parts) {
        if (part->GetSize() > 0) {
            std::memcpy(out, part->GetBuffer(), part->GetSize());
            out += part->GetSize();
        }
    }
    return out;
}

} // namespace

bool IsSupportedZipSystem(int system)
{
    return system == systemDos || system == systemUnix || system == systemOs2 ||
           system == systemMacintosh || system == systemNtfs;
}

bool CZipFileHeader::ReadCentral(const char* data, std::size_t available, std::size_t& consumed)
{
    if (available < kCentralSize) {
        throw CZipException(CZipException::badZipFile);
    }
    if (!HasSignature(data, 1, 2)) {
        return false;
    }
    m_versionMadeBy = ReadU16(data + 4);
    m_versionNeeded = ReadU16(data + 6);
    m_flags = ReadU16(data + 8);
    m_method = ReadU16(data + 10);
    m_modificationTime = ReadU16(data + 12);
    m_modificationDate = ReadU16(data + 14);
    m_crc32 = ReadU32(data + 16);
    m_compressedSize = ReadU32(data + 20);
    m_uncompressedSize = ReadU32(data + 24);
    const std::uint16_t nameLength = ReadU16(data + 28);
    const std::uint16_t extraLength = ReadU16(data + 30);
    const std::uint16_t commentLength = ReadU16(data + 32);
    m_diskStart = ReadU16(data + 34);
    m_internalAttributes = ReadU16(data + 36);
    m_externalAttributes = ReadU32(data + 38);
    m_offset = ReadU32(data + 42);
    consumed = std::size_t(kCentralSize) + nameLength + extraLength + commentLength;
    if (available < consumed) {
        throw CZipException(CZipException::badZipFile);
    }
    const char* variable = data + kCentralSize;
    m_storedName.Assign(variable, nameLength);
    m_extraField.Assign(variable + nameLength, extraLength);
    m_comment.Assign(variable + nameLength + extraLength, commentLength);
    return true;
}

unsigned CZipFileHeader::WriteCentral(CZipStorage& storage) const
{
    const unsigned size = GetSize(false);
    std::vector<char> record(size);
    char* out = record.data();
    std::memcpy(out, "PK\x01\x02", 4);
    out = WriteU16(out + 4, m_versionMadeBy);
    out = WriteSharedFields(out, *this);
    out = WriteU16(out, std::uint16_t(m_comment.GetSize()));
    out = WriteU16(out, m_diskStart);
    out = WriteU16(out, m_internalAttributes);
    out = WriteU32(out, m_externalAttributes);
    out = WriteU32(out, m_offset);
    WriteParts(out, {&m_storedName, &m_extraField, &m_comment});
    storage.Write(record.data(), size, true);
    return size;
}

void CZipFileHeader::WriteLocal(CZipStorage& storage)
{
    const unsigned size = GetSize(true);
    std::vector<char> record(size);
    char* out = record.data();
    std::memcpy(out, "PK\x03\x04", 4);
    out = WriteSharedFields(out + 4, *this);
    WriteParts(out, {&m_storedName, &m_extraField});
    storage.Write(record.data(), size, true);
    const std::uint64_t start = storage.GetPosition() - size;
    // Offsets are 32 bits: an archive that would need more is refused rather than wrapped.
    if (start > 0xFFFFFFFFull) {
        throw CZipException(27, storage.GetArchivePath());
    }
    m_diskStart = std::uint16_t(storage.m_currentVolume);
    m_offset = std::uint32_t(start);
}

bool CZipFileHeader::ReadLocal(CZipStorage& storage, std::uint16_t& extraLength)
{
    char record[kLocalSize];
    storage.Read(record, kLocalSize, true);
    if (!HasSignature(record, 3, 4)) {
        return false;
    }
    const std::uint16_t flags = ReadU16(record + 6);
    const std::uint16_t method = ReadU16(record + 8);
    const std::uint16_t nameLength = ReadU16(record + 26);
    if (method != m_method || (method != 0 && method != 8) ||
        nameLength != m_storedName.GetSize()) {
        return false;
    }
    if (!(flags & kFlagDataDescriptor) &&
        (ReadU32(record + 14) != m_crc32 || ReadU32(record + 18) != m_compressedSize ||
         ReadU32(record + 22) != m_uncompressedSize)) {
        return false;
    }
    if ((flags & 0x0F) != (m_flags & 0x0F)) {
        m_flags = flags;
    }
    extraLength = ReadU16(record + 28);
    storage.GetFile()->Seek(nameLength, CZipAbstractFile::current);
    return true;
}

bool CZipFileHeader::CompareDescriptor(std::uint32_t crc, std::uint32_t compressed,
                                       std::uint32_t uncompressed) const
{
    return crc == m_crc32 && compressed == m_compressedSize && uncompressed == m_uncompressedSize;
}

bool CZipFileHeader::PrepareData(int level, bool split, bool encrypted)
{
    m_internalAttributes = 0;
    m_versionNeeded = IsDirectory() ? 10 : 20;
    m_versionMadeBy = std::uint16_t((m_versionMadeBy & 0xFF00) | 20);
    m_crc32 = 0;
    m_compressedSize = 0;
    m_uncompressedSize = 0;
    m_flags &= kFlagUtf8;
    if (level == 0) {
        m_method = 0;
    } else {
        m_method = 8;
        switch (level) {
        case 1:
            m_flags |= 6;
            break;
        case 2:
            m_flags |= 4;
            break;
        case 8:
        case 9:
            m_flags |= 2;
            break;
        default:
            break;
        }
    }
    if (split || encrypted) {
        m_flags |= kFlagDataDescriptor;
    }
    if (encrypted) {
        m_flags |= kFlagEncrypted;
        m_compressedSize = kEncryptionHeaderSize;
    }
    return m_extraField.GetSize() <= 0xFFFF && m_storedName.GetSize() <= 0xFFFF &&
           m_comment.GetSize() <= 0xFFFF && m_fileName.size() <= 0xFFFF;
}

unsigned CZipFileHeader::GetSize(bool local) const
{
    if (local) {
        return kLocalSize + m_storedName.GetSize() + m_extraField.GetSize();
    }
    return kCentralSize + m_storedName.GetSize() + m_extraField.GetSize() + m_comment.GetSize();
}

void CZipFileHeader::ConvertNameToMemory()
{
    const std::string_view stored(m_storedName.GetBuffer(), m_storedName.GetSize());
    if (m_flags & kFlagUtf8) {
        m_fileName = trv::IsValidUtf8(stored) ? std::string(stored) : trv::Cp1252ToUtf8(stored);
    } else if (GetSystemCompatibility() == systemDos) {
        m_fileName = trv::Cp850ToUtf8(stored);
    } else {
        m_fileName = trv::IsValidUtf8(stored) ? std::string(stored) : trv::Cp1252ToUtf8(stored);
    }
    std::replace(m_fileName.begin(), m_fileName.end(), '\\', '/');
}

void CZipFileHeader::ConvertNameToArchive()
{
    std::string name = m_fileName;
    std::replace(name.begin(), name.end(), '\\', '/');
    std::string oem;
    if (GetSystemCompatibility() == systemDos && trv::Utf8ToCp850(name, oem)) {
        m_flags &= std::uint16_t(~kFlagUtf8);
        m_storedName.Assign(oem.data(), unsigned(oem.size()));
        return;
    }
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        m_flags &= std::uint16_t(~kFlagUtf8);
    } else {
        m_flags |= kFlagUtf8;
    }
    m_storedName.Assign(name.data(), unsigned(name.size()));
}

std::time_t CZipFileHeader::GetModificationTime() const
{
    return ZipPlatform::DosToTime(m_modificationDate, m_modificationTime);
}

void CZipFileHeader::SetModificationTime(std::time_t time)
{
    ZipPlatform::TimeToDos(time, m_modificationDate, m_modificationTime);
}

std::uint32_t CZipFileHeader::GetSystemAttributes() const
{
    const int system = GetSystemCompatibility();
    const bool folderName = EndsWithSeparator(m_fileName);
    if (!IsSupportedZipSystem(system)) {
        return folderName ? ZipPlatform::kDefaultFolderAttributes
                          : ZipPlatform::kDefaultFileAttributes;
    }
    if (m_externalAttributes == 0 && folderName) {
        return ZipPlatform::kDefaultFolderAttributes;
    }
    switch (system) {
    case systemUnix:
        return UnixModeToWindows(m_externalAttributes >> 16);
    case systemMacintosh:
        return m_externalAttributes & 0x11;
    default:
        return m_externalAttributes;
    }
}

void CZipFileHeader::SetSystemAttributes(std::uint32_t attributes)
{
    switch (GetSystemCompatibility()) {
    case systemDos:
    case systemOs2:
    case systemNtfs:
        m_externalAttributes = attributes;
        break;
    case systemUnix:
        m_externalAttributes = ZipPlatform::WindowsToUnixAttributes(attributes);
        break;
    case systemMacintosh:
        m_externalAttributes = attributes & 0x11;
        break;
    default:
        throw CZipException(CZipException::platformNotSupported);
    }
}

bool CZipFileHeader::IsDirectory() const
{
    // A file's name never ends in a separator, whatever attributes the writer gave it.
    return EndsWithSeparator(m_fileName) ||
           (GetSystemAttributes() & ZipPlatform::kAttributeFolder) != 0;
}

std::uint32_t CZipFileHeader::GetDataSize() const
{
    if (IsEncrypted() && m_compressedSize >= kEncryptionHeaderSize) {
        return m_compressedSize - kEncryptionHeaderSize;
    }
    return m_compressedSize;
}
