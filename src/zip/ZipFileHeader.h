#pragma once

#include "zip/ZipAutoBuffer.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

class CZipStorage;

// One archive entry as the central directory describes it. The name is kept twice: as stored
// in the archive (code page 850 or UTF-8 with flag bit 11, "/" separators) and in memory
// (UTF-8, "/" separators).
class CZipFileHeader
{
  public:
    static constexpr std::uint16_t kFlagEncrypted = 0x0001;
    static constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
    static constexpr std::uint16_t kFlagUtf8 = 0x0800;
    static constexpr unsigned kCentralSize = 46;
    static constexpr unsigned kLocalSize = 30;
    static constexpr unsigned kDescriptorSize = 16;
    static constexpr unsigned kEncryptionHeaderSize = 12;

    // Parses one central header from `data`; false when the signature is missing; throws
    // "Damaged or not a zip file" (101) when the record is cut short. `consumed` gets its size.
    bool ReadCentral(const char* data, std::size_t available, std::size_t& consumed);
    // Writes the central header in one piece and returns its size.
    unsigned WriteCentral(CZipStorage& storage) const;
    // Writes the local header in one piece and records where it began.
    void WriteLocal(CZipStorage& storage);
    // Reads the local header at the storage's position and compares it with this header (see
    // CZipCentralDir::OpenEntry); false on a mismatch. Passes back the local extra length.
    bool ReadLocal(CZipStorage& storage, std::uint16_t& extraLength);
    bool CompareDescriptor(std::uint32_t crc, std::uint32_t compressed,
                           std::uint32_t uncompressed) const;
    // Fields of a new entry for the level; false when name, extra field or comment exceed
    // 65535 bytes.
    bool PrepareData(int level, bool split, bool encrypted);
    unsigned GetSize(bool local) const;

    const std::string& GetFileName() const { return m_fileName; }
    void SetFileName(const std::string& name) { m_fileName = name; }
    // The in-memory name from the stored one, and the stored one (with flag bit 11) from the
    // in-memory one.
    void ConvertNameToMemory();
    void ConvertNameToArchive();

    std::time_t GetModificationTime() const;
    void SetModificationTime(std::time_t time);
    // Windows-form attributes, converted from and to the entry's system.
    std::uint32_t GetSystemAttributes() const;
    void SetSystemAttributes(std::uint32_t attributes);
    // A folder by its attributes, or by a name ending in a separator (in either form).
    bool IsDirectory() const;
    // Sizes or the offset marked as kept in a ZIP64 extra field.
    bool NeedsZip64() const
    {
        return m_compressedSize == 0xFFFFFFFF || m_uncompressedSize == 0xFFFFFFFF ||
               m_offset == 0xFFFFFFFF || m_diskStart == 0xFFFF;
    }
    int GetSystemCompatibility() const { return m_versionMadeBy >> 8; }
    bool IsEncrypted() const { return (m_flags & kFlagEncrypted) != 0; }
    bool IsDataDescriptor() const { return (m_flags & kFlagDataDescriptor) != 0; }
    // Compressed data without the encryption header.
    std::uint32_t GetDataSize() const;

    std::uint16_t m_versionMadeBy = 20;
    std::uint16_t m_versionNeeded = 20;
    std::uint16_t m_flags = 0;
    std::uint16_t m_method = 8;
    std::uint16_t m_modificationTime = 0;
    std::uint16_t m_modificationDate = 0;
    std::uint32_t m_crc32 = 0;
    std::uint32_t m_compressedSize = 0;
    std::uint32_t m_uncompressedSize = 0;
    std::uint16_t m_diskStart = 0;
    std::uint16_t m_internalAttributes = 0;
    std::uint32_t m_externalAttributes = 0;
    std::uint32_t m_offset = 0;
    CZipAutoBuffer m_extraField;
    CZipAutoBuffer m_storedName;
    CZipAutoBuffer m_comment;

  private:
    std::string m_fileName;
};

// True for the systems whose attributes can be converted: 0, 3, 6, 7, 10.
bool IsSupportedZipSystem(int system);
