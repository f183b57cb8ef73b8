#pragma once

// An owned block of bytes; copies are deep.
class CZipAutoBuffer
{
  public:
    CZipAutoBuffer() = default;
    explicit CZipAutoBuffer(unsigned size) { Allocate(size); }
    CZipAutoBuffer(const CZipAutoBuffer& other);
    CZipAutoBuffer(CZipAutoBuffer&& other) noexcept;
    CZipAutoBuffer& operator=(const CZipAutoBuffer& other);
    CZipAutoBuffer& operator=(CZipAutoBuffer&& other) noexcept;
    ~CZipAutoBuffer() { Release(); }

    // Keeps the block when the size is unchanged; otherwise a new, uninitialised block (none
    // for size 0).
    char* Allocate(unsigned size);
    void Release();

    // Replaces the contents with a copy of `count` bytes.
    void Assign(const void* data, unsigned count);

    char* GetBuffer() const { return m_data; }
    unsigned GetSize() const { return m_size; }
    bool IsAllocated() const { return m_data != nullptr; }
    operator char*() const { return m_data; }

  private:
    char* m_data = nullptr;
    unsigned m_size = 0;
};
