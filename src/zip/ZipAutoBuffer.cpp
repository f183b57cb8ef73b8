#include "zip/ZipAutoBuffer.h"

#include <cstring>
#include <utility>

CZipAutoBuffer::CZipAutoBuffer(const CZipAutoBuffer& other)
{
    Assign(other.m_data, other.m_size);
}

CZipAutoBuffer::CZipAutoBuffer(CZipAutoBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

CZipAutoBuffer& CZipAutoBuffer::operator=(const CZipAutoBuffer& other)
{
    if (this != &other) {
        Assign(other.m_data, other.m_size);
    }
    return *this;
}

CZipAutoBuffer& CZipAutoBuffer::operator=(CZipAutoBuffer&& other) noexcept
{
    if (this != &other) {
        Release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

char* CZipAutoBuffer::Allocate(unsigned size)
{
    if (size == m_size && (m_data != nullptr || size == 0)) {
        return m_data;
    }
    Release();
    if (size > 0) {
        m_data = new char[size];
        m_size = size;
    }
    return m_data;
}

void CZipAutoBuffer::Release()
{
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
}

void CZipAutoBuffer::Assign(const void* data, unsigned count)
{
    Allocate(count);
    if (count > 0) {
        std::memcpy(m_data, data, count);
    }
}
