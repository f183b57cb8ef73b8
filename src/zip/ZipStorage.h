#pragma once

#include "zip/ZipAutoBuffer.h"
#include "zip/ZipFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CZipAbstractFile;

// Told when a split archive needs another volume. The code is the number of bytes needed for
// writing, -1 when a volume is needed for reading, -2 when the volume file already exists, -3
// when the disk could not be labelled, -4 when the volume file could not be created. A false
// answer aborts ("Disk change aborted", 104).
class CZipSpanCallback
{
  public:
    virtual ~CZipSpanCallback() = default;
    virtual bool Callback(std::int64_t code) = 0;

    std::string m_path;     // the volume's file
    int m_volumeNumber = 0; // 1-based
};

// The archive's file: a 65536-byte write buffer over a disk or memory file, and the volumes of
// an archive split over removable disks or numbered files (name.000, name.001, ..., name.zip).
class CZipStorage
{
  public:
    enum SplitMode
    {
        noSplit = 0,
        removableDisks = 1,
        numberedFiles = 2,
        splitUnknown = 3
    };
    enum OpenMode
    {
        openExisting = 0,
        openReadOnly = 1,
        create = 2,
        createSplit = 3
    };

    CZipStorage() = default;
    CZipStorage(const CZipStorage&) = delete;
    CZipStorage& operator=(const CZipStorage&) = delete;

    // Modes 0 and 1 open an existing archive (read-write or read-only); the volume stays -1 until
    // the central directory's end record is read. Mode 2 creates a plain archive. Mode 3 creates
    // a split archive: numbered files of `volumeSize` bytes when it is above 0, else removable
    // disks (which need the disk-change callback and a removable drive).
    void Open(const std::string& path, int mode, std::uint64_t volumeSize);
    // An archive inside a caller's (memory) file, truncated to 0.
    void OpenOnFile(CZipAbstractFile& file);

    // Reads exactly `count` bytes, moving to the next volume of a split archive when one ends
    // (unless `atOnce`); a short read throws "Damaged or not a zip file" (101).
    void Read(void* buffer, std::size_t count, bool atOnce);
    // Buffered write; a split archive moves to the next volume when the room runs out (a record
    // written `atOnce` never straddles two volumes).
    void Write(const void* buffer, std::size_t count, bool atOnce);
    void FlushBuffer();

    // Position for the next write (file position plus buffered bytes).
    std::uint64_t GetPosition() const;
    // Flushes the buffer, then moves the file position.
    std::uint64_t Seek(std::int64_t offset, int origin = CZipAbstractFile::begin);
    std::uint64_t GetLength();
    // Flushes the buffer, then cuts (or grows) the file.
    void SetLength(std::uint64_t length);

    // Closes; unless after an exception the buffer is flushed and the last numbered volume gets
    // the archive's own name. Returns the archive's path.
    std::string Close(bool afterException);
    // Ends the creation of a split archive and reopens it for reading (plain when it stayed on
    // volume 0).
    void FinalizeSpan();
    void NextVolume(std::uint64_t needed, const std::string& path = {});
    void ChangeVolume(int number);
    std::uint64_t GetFreeInVolume() const;

    // 0 plain, 1 a split archive being created, -1 an existing split archive.
    int IsSplit() const;
    bool IsClosedArchive() const { return m_currentVolume == -1; }
    bool IsClosedFile() const { return m_file == nullptr || m_file->IsClosed(); }
    bool IsReadOnly() const { return m_readOnly; }
    bool IsInMemory() const { return m_inMemory; }

    // Called by the central directory when the end record names the volume it is on.
    void SetExistingSplit(int lastVolume);
    std::string GetArchivePath() const { return m_archivePath; }
    CZipAbstractFile* GetFile() const { return m_file; }
    std::uint32_t GetBytesInWriteBuffer() const { return m_bytesInBuffer; }
    void ReleaseWriteBuffer() { m_writeBuffer.Release(); }

    int m_writeBufferSize = 65536;
    CZipSpanCallback* m_diskChangeCallback = nullptr;
    int m_currentVolume = -1;
    int m_splitMode = noSplit;

  private:
    std::string GetSplitVolumeName(bool last) const;
    void RenameLastVolume();
    void WriteToFile(const char* bytes, std::size_t count);

    CZipFile m_internalFile;
    CZipAbstractFile* m_file = nullptr;
    std::uint64_t m_splitValue = 0; // volume size while creating, last volume while reading
    std::string m_volumeExtension = "zip";
    std::uint32_t m_bytesInBuffer = 0;
    std::uint64_t m_roomInVolume = 0;
    CZipAutoBuffer m_writeBuffer;
    std::uint64_t m_bytesWrittenToVolume = 0;
    bool m_newSplit = false;
    bool m_inMemory = false;
    bool m_readOnly = false;
    std::string m_archivePath;
};
