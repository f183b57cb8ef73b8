#pragma once

#include "zip/ZipAutoBuffer.h"
#include "zip/ZipFileHeader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CZipActionCallback;
class CZipStorage;

// Every header of an open archive, in local-header order: reads the central directory when an
// archive is opened, writes it when the archive is closed or flushed, places new entries,
// checks local headers and data descriptors, and keeps a sorted name index for lookups.
class CZipCentralDir
{
  public:
    struct CZipFindFast
    {
        CZipFileHeader* header;
        std::uint16_t index;
    };

    CZipCentralDir() = default;
    CZipCentralDir(const CZipCentralDir&) = delete;
    CZipCentralDir& operator=(const CZipCentralDir&) = delete;

    void Init(CZipStorage* storage) { m_storage = storage; }
    void Clear();
    // Locates the end record and reads every header; 116 without an end record, 117 for a
    // ZIP64 archive, 101 for any structural fault, 505 when memory runs out.
    void Read();
    // Writes the directory and the end record unless the one on disk is still valid.
    void Write(CZipActionCallback* callback);
    std::uint32_t GetSize(bool whole) const;

    // Places a copy of the header (appended, or at the replace index) as the opened header and
    // cuts the old directory off the file. Returns the opened header.
    CZipFileHeader* AddNewEntry(const CZipFileHeader& header, int replaceIndex);
    // Writes the data descriptor or patches the local header of the opened header.
    void CloseNewEntry();
    // Checks the entry's local header and positions the file at its data.
    void OpenEntry(int index);
    void CloseEntry(bool afterException);
    // Ends an entry whose bytes were copied from another archive (no patch, no descriptor).
    void CloseCopiedEntry();
    // Forgets the opened header without finishing it (after an exception).
    void DropOpenedHeader();
    // Removes an entry (the last when index is -1) and cuts the file at its local header.
    void RemoveEntry(int index);

    int FindEntry(const std::string& name, bool caseSensitive, bool sporadic);
    void EnableFindFast(bool caseSensitive);

    int GetCount() const { return int(m_headers.size()); }
    CZipFileHeader* GetHeader(int index) const { return m_headers[std::size_t(index)].get(); }
    CZipFileHeader* GetOpenedHeader() const { return m_openedHeader; }
    std::uint32_t GetBytesBefore() const { return m_bytesBeforeArchive; }
    bool IsOnDisk() const { return m_onDisk; }
    // Offset (relative) where the next entry after `index` begins: the following local header,
    // or the start of the directory for the last entry.
    std::uint32_t GetEntryEnd(int index) const;

    CZipAutoBuffer m_comment;
    CZipAutoBuffer m_localExtraField;
    std::uint16_t m_thisVolume = 0;
    std::uint16_t m_directoryVolume = 0;
    std::uint16_t m_entriesOnVolume = 0;
    std::uint16_t m_totalEntries = 0;
    std::uint32_t m_directorySize = 0;
    std::uint32_t m_directoryOffset = 0;
    std::uint32_t m_endRecordPosition = 0;

  private:
    void ReadDirectory();
    void SortHeaders();
    void BuildFindFast(bool caseSensitive);
    int Compare(const std::string& left, const std::string& right, bool caseSensitive) const;
    void InsertFindFast(CZipFileHeader* header, int index);
    void RemoveFindFast(int index, bool shift);
    void WriteEndRecord();

    CZipStorage* m_storage = nullptr;
    CZipFileHeader* m_openedHeader = nullptr;
    std::vector<std::unique_ptr<CZipFileHeader>> m_headers;
    std::vector<CZipFindFast> m_findFast;
    bool m_findFastEnabled = false;
    bool m_caseSensitiveIndex = false;
    std::uint32_t m_bytesBeforeArchive = 0;
    bool m_onDisk = false;
};
