#include "zip/ZipMemFile.h"

#include "zip/ZipException.h"

#include <cstdlib>
#include <cstring>

void CZipMemFile::Close()
{
    if (m_autoDelete) {
        std::free(m_data);
    }
    m_data = nullptr;
    m_position = 0;
    m_capacity = 0;
    m_length = 0;
}

std::uint64_t CZipMemFile::Seek(std::int64_t offset, int origin)
{
    std::int64_t base = 0;
    switch (origin) {
    case begin:
        base = 0;
        break;
    case current:
        base = std::int64_t(m_position);
        break;
    case end:
        base = std::int64_t(m_length);
        break;
    default:
        return m_position;
    }
    if (base + offset >= 0) {
        m_position = std::size_t(base + offset);
    }
    return m_position;
}

void CZipMemFile::SetLength(std::uint64_t length)
{
    if (length > m_capacity) {
        Grow(std::size_t(length));
    } else {
        m_position = std::size_t(length);
    }
    m_length = std::size_t(length);
}

std::size_t CZipMemFile::Read(void* buffer, std::size_t count)
{
    if (m_position >= m_length) {
        return 0;
    }
    const std::size_t available = m_length - m_position;
    const std::size_t done = count < available ? count : available;
    std::memcpy(buffer, m_data + m_position, done);
    m_position += done;
    return done;
}

void CZipMemFile::Write(const void* buffer, std::size_t count)
{
    if (count == 0) {
        return;
    }
    if (m_position + count > m_capacity) {
        Grow(m_position + count);
    }
    std::memcpy(m_data + m_position, buffer, count);
    m_position += count;
    if (m_position > m_length) {
        m_length = m_position;
    }
}

void CZipMemFile::Grow(std::size_t needed)
{
    if (m_growthStep == 0) {
        throw CZipException(CZipException::notEnoughMemory);
    }
    std::size_t capacity = m_capacity;
    // Doubling steps keep large temporary archives from reallocating on every few kilobytes.
    std::size_t step = m_growthStep;
    while (capacity < needed) {
        capacity += step;
        if (capacity > 16 * m_growthStep) {
            step = capacity;
        }
    }
    char* grown = static_cast<char*>(std::realloc(m_data, capacity));
    if (grown == nullptr) {
        throw CZipException(CZipException::notEnoughMemory);
    }
    m_data = grown;
    m_capacity = capacity;
}
