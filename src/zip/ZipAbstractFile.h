#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The file interface every archive reads and writes through: a disk file or a memory block.
class CZipAbstractFile
{
  public:
    enum SeekOrigin
    {
        begin = 0,
        current = 1,
        end = 2
    };

    virtual ~CZipAbstractFile() = default;

    virtual bool Open(const std::string& path, unsigned flags, bool throwOnError);
    virtual void Close() = 0;
    virtual void Flush() = 0;
    virtual std::uint64_t GetPosition() const = 0;
    // Returns the new position.
    virtual std::uint64_t Seek(std::int64_t offset, int origin) = 0;
    virtual std::uint64_t GetLength() const = 0;
    virtual void SetLength(std::uint64_t length) = 0;
    std::uint64_t SeekToBegin() { return Seek(0, begin); }
    std::uint64_t SeekToEnd() { return Seek(0, end); }
    virtual std::string GetFilePath() const = 0;
    // Bytes read; fewer than asked only at the end of the file.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual void Write(const void* buffer, std::size_t count) = 0;
    virtual bool IsClosed() const = 0;
};
