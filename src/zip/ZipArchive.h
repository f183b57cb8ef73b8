#pragma once

#include "zip/ZipActionCallback.h"
#include "zip/ZipAutoBuffer.h"
#include "zip/ZipCentralDir.h"
#include "zip/ZipFileHeader.h"
#include "zip/ZipStorage.h"

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>
#include <zlib.h>

class CZipAbstractFile;

// One file to add to an archive.
struct CZipAddFileInfo
{
    CZipAddFileInfo() = default;
    explicit CZipAddFileInfo(std::string filePath) : path(std::move(filePath)) {}

    std::string path;          // the file on disk
    std::string nameInArchive; // empty: derived from the path
    bool fullPath = true;      // derive the name from the whole path (less any drive)
    int level = -1;            // -1..9; 0 stores; anything else counts as -1
    int smartFlags = 7;        // CZipArchive::SmartFlags
    int replaceIndex = -1;     // entry to replace; -1 none; -2 the entry of the same name
    unsigned bufferSize = 65536;
    CZipAbstractFile* sourceFile = nullptr; // read from this open file instead of `path`
};

// An archive in the ZIP format: one object per archive file, used by one thread. Adds files from
// disk (raw deflate or stored), extracts entries to disk, keeps the central directory in memory
// and writes it when the archive is closed. Names in memory are UTF-8 with "/". Errors throw
// CZipException; refusals because of the archive's state return false.
class CZipArchive
{
  public:
    enum OpenMode
    {
        zipOpen = 0,
        zipOpenReadOnly = 1,
        zipCreate = 2,
        zipCreateSpan = 3
    };

    enum SmartFlags
    {
        smartFolderUnencrypted = 0x01,
        smartEmptyUnencrypted = 0x02,
        smartStoreSmall = 0x04,
        smartCheckEfficiency = 0x08,
        smartMemoryTemporary = 0x10,
        smartNested = 0xF000,
    };

    enum CallbackType
    {
        callbackAdd = 0x01,
        callbackAddTemporary = 0x02,
        callbackAddStore = 0x04,
        callbackExtract = 0x08,
        callbackSave = 0x80,
        callbackReplace = 0x400,
    };

    struct CZipInternalInfo
    {
        z_stream stream{};
        std::uint64_t uncompressedLeft = 0;
        std::uint64_t compressedLeft = 0;
        std::uint32_t crc = 0;
        int bufferSize = 65536;
        CZipAutoBuffer buffer;
    };

    using CZipClbckStrg = std::map<int, CZipActionCallback*>;

    CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;
    // Frees everything without writing a central directory.
    ~CZipArchive();

    // Ignored when already open. Mode 3 with a volume size creates numbered split volumes
    // (name.000, name.001, ..., name.zip); without one it asks for removable disks.
    void OpenArchive(const std::string& path, int mode, std::uint64_t volumeSize = 0);
    // Creates a new archive inside a (memory) file.
    void OpenArchiveOnFile(CZipAbstractFile& file);
    void ResetState(int mode);

    bool AddFileFromDisk(const CZipAddFileInfo& info);
    bool AddFileFromDisk(const std::string& path);
    // True when the file was written and its CRC, time and attributes are right. Names that
    // are absolute or climb out with ".." are refused (101) and nothing is written; so is an
    // entry whose file another entry of this opening already wrote (118).
    bool ExtractFileToDisk(int index, const std::string& folder);
    bool GetEntryInfo(CZipFileHeader& header, int index) const;
    int FindEntry(const std::string& name);
    int GetCount() const { return IsClosed() ? 0 : m_centralDir.GetCount(); }
    // 0 normal; 1 after an exception (nothing written); 2 abandon the open entry but write the
    // central directory.
    void CloseArchive(int afterException = 0);
    void FlushArchive();
    void SetRootPath(const std::string& path);
    bool SetSystemCompatibility(int system);
    int GetSystemCompatibility() const { return m_systemCompatibility; }
    bool IsClosed() const { return m_storage.IsClosedArchive(); }

    bool OpenNewEntry(CZipFileHeader& header, int level = -1, std::uint32_t sourceSize = 0,
                      int replaceIndex = -1);
    bool WriteNewEntryData(const void* data, std::size_t count);
    bool CloseNewEntry(bool afterException = false);
    bool OpenEntry(int index);
    std::size_t ReadEntry(void* buffer, std::size_t count);
    // 1 good; -1 data left unread; -2 time or attributes could not be set; 0 no entry open.
    int CloseEntry(const std::string& diskPath = {}, bool afterException = false);

    bool SetPassword(const std::string& password);
    std::string GetPassword() const;
    void SetCallback(CZipActionCallback* callback, int kinds);
    CZipActionCallback* GetCallback(int kind) const;
    bool RemoveLastEntry(bool removeAlways = false);
    bool CopyEntryFromArchive(CZipArchive& source, int index, int replaceIndex = -1,
                              CZipActionCallback* callback = nullptr);

    std::string GetArchivePath() const { return m_storage.GetArchivePath(); }

    bool m_removeDrive = true;
    bool m_caseSensitive = false;
    bool m_autoFlush = false;
    bool m_ignoreCrc = false;
    std::string m_tempPath;
    bool m_trackLeaks = true;
    CZipStorage m_storage;
    CZipCentralDir m_centralDir;

  private:
    static voidpf ZlibAlloc(voidpf opaque, uInt items, uInt size);
    static void ZlibFree(voidpf opaque, voidpf address);
    void FreeZlibBlocks();
    void EndEntryState();

    std::string TrimRootPath(const std::string& path) const;
    std::string MakeExtractPath(const std::string& folder, const std::string& name) const;
    bool ResolveReplaceIndex(const std::string& name, int& replaceIndex);
    bool AddDirect(const CZipAddFileInfo& info, CZipFileHeader& header, int level,
                   std::uint64_t size, int replaceIndex, bool nested);
    int AddThroughTemporary(const CZipAddFileInfo& info, const std::string& name, int level,
                            std::uint64_t size, int replaceIndex, bool compressCheck);
    void FlushEntryBuffer(std::size_t count);
    void AbandonNewEntry();
    void MakeSpaceForReplace(int replaceIndex, std::uint64_t needed, const std::string& name);
    void MoveData(std::uint64_t from, std::uint64_t to, std::int64_t delta);

    void CryptInitKeys();
    void CryptUpdateKeys(unsigned char value);
    unsigned char CryptDecryptByte() const;
    void CryptEncode(char* bytes, std::size_t count);
    void CryptDecode(char* bytes, std::size_t count);
    void WriteEncryptionHeader(const CZipFileHeader& header);
    bool CheckEncryptionHeader(const CZipFileHeader& header);

    CZipClbckStrg m_callbacks;
    CZipInternalInfo m_info;
    signed char m_entryState = 0;
    std::string m_rootPath;
    int m_systemCompatibility = 0;
    std::vector<void*> m_zlibBlocks;
    CZipAutoBuffer m_password;
    std::uint32_t m_keys[3] = {0, 0, 0};

    // Entry being written.
    std::uint64_t m_entryInput = 0;
    std::uint64_t m_entryOutput = 0;
    std::uint64_t m_reservedEnd = 0; // a replacement may not write past the next entry
    std::uint64_t m_entryProduced = 0;
    CZipAutoBuffer m_readBuffer;
    // Files written by the extractions since the archive was opened -> the entry's name.
    std::unordered_map<std::string, std::string> m_extractedFiles;
};
