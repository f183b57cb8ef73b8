#pragma once

#include "zip/ZipAbstractFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A growable block of memory behind the file interface (the in-memory temporary archive).
class CZipMemFile : public CZipAbstractFile
{
  public:
    explicit CZipMemFile(std::size_t growthStep = 1024) : m_growthStep(growthStep) {}
    CZipMemFile(const CZipMemFile&) = delete;
    CZipMemFile& operator=(const CZipMemFile&) = delete;
    ~CZipMemFile() override { Close(); }

    void Close() override;
    void Flush() override {}
    std::uint64_t GetPosition() const override { return m_position; }
    // Origins other than begin, current and end leave the position.
    std::uint64_t Seek(std::int64_t offset, int origin) override;
    std::uint64_t GetLength() const override { return m_length; }
    // Beyond the capacity the block grows and the position stays; otherwise the position moves
    // to the new length.
    void SetLength(std::uint64_t length) override;
    std::string GetFilePath() const override { return {}; }
    std::size_t Read(void* buffer, std::size_t count) override;
    // Throws "Not enough memory" (505) when the block cannot grow (growth step 0 included).
    void Write(const void* buffer, std::size_t count) override;
    bool IsClosed() const override { return m_data == nullptr; }

    // The file frees its block on close when set (the default).
    void SetAutoDelete(bool autoDelete) { m_autoDelete = autoDelete; }
    const char* GetData() const { return m_data; }

  private:
    void Grow(std::size_t needed);

    std::size_t m_growthStep;
    std::size_t m_position = 0;
    std::size_t m_capacity = 0;
    std::size_t m_length = 0;
    char* m_data = nullptr;
    bool m_autoDelete = true;
};
