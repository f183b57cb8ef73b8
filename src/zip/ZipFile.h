#pragma once

#include "zip/ZipAbstractFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A disk file. Every failure of an open file (read, write, seek, length) throws CZipException
// with the errno and the file's path.
class CZipFile : public CZipAbstractFile
{
  public:
    // Open flags (combinable). Share flags are accepted for the callers' sake; Linux has no
    // mandatory sharing modes.
    enum OpenFlags : unsigned
    {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyWrite = 0x0020,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };

    CZipFile() = default;
    CZipFile(const CZipFile&) = delete;
    CZipFile& operator=(const CZipFile&) = delete;
    ~CZipFile() override;

    // True on success; on failure false, or with `throwOnError` a CZipException(errno, path).
    bool Open(const std::string& path, unsigned flags, bool throwOnError) override;
    void Close() override;
    void Flush() override;
    std::uint64_t GetPosition() const override { return m_position; }
    std::uint64_t Seek(std::int64_t offset, int origin) override;
    std::uint64_t GetLength() const override;
    void SetLength(std::uint64_t length) override;
    std::string GetFilePath() const override { return m_path; }
    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    bool IsClosed() const override { return m_descriptor < 0; }

  private:
    [[noreturn]] void ThrowError() const;

    int m_descriptor = -1;
    std::uint64_t m_position = 0;
    std::string m_path;
};
