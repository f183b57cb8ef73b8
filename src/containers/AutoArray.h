#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

// An owning block of a fixed number of elements, value-initialised (scalars zero, classes
// default-constructed). Freeing the block runs every element's destructor.
template <class T> class CAutoArray
{
  public:
    CAutoArray() = default;

    // A negative count, or one whose size in bytes would overflow, throws std::bad_alloc
    // (std::bad_array_new_length) instead of allocating a short block.
    explicit CAutoArray(int count) { Allocate(count); }

    CAutoArray(CAutoArray&& other) noexcept
        : m_count(std::exchange(other.m_count, 0)), m_data(std::exchange(other.m_data, nullptr)),
          m_owned(std::move(other.m_owned))
    {
    }

    CAutoArray& operator=(CAutoArray&& other) noexcept
    {
        if (this != &other) {
            m_owned = std::move(other.m_owned);
            m_data = std::exchange(other.m_data, nullptr);
            m_count = std::exchange(other.m_count, 0);
        }
        return *this;
    }

    CAutoArray(const CAutoArray& other) requires std::is_copy_assignable_v<T> { *this = other; }

    // A block of the source's count (a new one only when the counts differ), then the elements
    // copied.
    CAutoArray& operator=(const CAutoArray& other) requires std::is_copy_assignable_v<T>
    {
        if (this == &other)
            return *this;
        if (m_count != other.m_count)
            Allocate(other.m_count);
        for (int i = 0; i < m_count; ++i)
            m_data[i] = other.m_data[i];
        return *this;
    }

    void Free()
    {
        m_owned.reset();
        m_data = nullptr;
        m_count = 0;
    }

    // Replaces the block by a new value-initialised one of count elements.
    void ResizeZeroed(int count) { Allocate(count); }

    // Arrays of int pairs: a new block of count pairs, each (value, -1).
    void
    AssignPairs(int value,
                int count) requires std::is_constructible_v<T, int, int> || std::is_aggregate_v<T>
    {
        Allocate(count);
        for (int i = 0; i < count; ++i)
            m_data[i] = T{value, -1};
    }

    int GetSize() const { return m_count; }
    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }
    T& operator[](int index) { return m_data[index]; }
    const T& operator[](int index) const { return m_data[index]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_count; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_count; }

  private:
    void Allocate(int count)
    {
        if (count < 0)
            throw std::bad_array_new_length();
        // The new block is made before the old one goes, so a failure changes nothing.
        std::unique_ptr<T[]> block = count > 0 ? std::make_unique<T[]>(count) : nullptr;
        m_owned = std::move(block);
        m_data = m_owned.get();
        m_count = count;
    }

    int m_count = 0;
    T* m_data = nullptr;
    std::unique_ptr<T[]> m_owned;
};
