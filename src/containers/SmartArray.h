#pragma once

#include "platform/Text.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

// The program's growable array. Elements 0..count-1 are constructed; the storage from count to
// capacity is raw. Derived classes give the elements an order (Compare) or own them
// (DestroyElement). Indexes are not checked and nothing is synchronised.
//
// SortMode: 0 plain, 1 sorted (filled with AddSorted), 2 sorted without repeats (filled with
// AddUnique). Flag is carried for the polygon vertex array and changes nothing here.
template <class TYPE, class ARG_TYPE, int SortMode = 0, int Flag = 0> class CSmartArray
{
  public:
    CSmartArray() = default;
    CSmartArray(const CSmartArray& other) { Copy(other); }
    CSmartArray(CSmartArray&& other) noexcept { TakeBlock(other); }

    CSmartArray& operator=(const CSmartArray& other)
    {
        Copy(other);
        return *this;
    }

    CSmartArray& operator=(CSmartArray&& other) noexcept
    {
        if (this != &other) {
            SetSize(0);
            TakeBlock(other);
        }
        return *this;
    }

    // Destroys the elements with their own destructor; owning derived classes release their
    // objects in their own destructor first.
    virtual ~CSmartArray()
    {
        std::destroy_n(m_items, m_count);
        Deallocate(m_items, m_capacity);
    }

    // Releases what the element at index holds: nothing for scalars and plain pointers, the
    // resources of a class element (it becomes empty); owning arrays delete the object.
    virtual void DestroyElement(int index)
    {
        if constexpr (!std::is_trivially_destructible_v<TYPE>)
            m_items[index] = TYPE();
    }

    // Resizes to newCount elements; a growBy of 0 or more replaces the stored step. New elements
    // are value-initialised, dropped ones released with DestroyElement. SetSize(0) frees the
    // storage.
    virtual void SetSize(int newCount, int growBy = -1)
    {
        assert(newCount >= 0);
        if (growBy >= 0)
            m_growBy = growBy;
        if (newCount <= 0) {
            Clear();
            return;
        }
        if (newCount > m_capacity)
            Reallocate(GrownCapacity(newCount));
        if (newCount > m_count)
            std::uninitialized_value_construct(m_items + m_count, m_items + newCount);
        else
            ReleaseRange(newCount, m_count);
        m_count = newCount;
    }

    // Shrinks the storage to exactly count elements.
    virtual void FreeExtra()
    {
        if (m_count == m_capacity)
            return;
        if (m_count == 0) {
            Deallocate(m_items, m_capacity);
            m_items = nullptr;
            m_capacity = 0;
            return;
        }
        Reallocate(m_count);
    }

    // Negative when a orders before b, 0 when equal, positive after. Mode 0 finds every pair
    // equal; modes 1 and 2 compare the values.
    virtual int Compare(ARG_TYPE a, ARG_TYPE b) const
    {
        if constexpr (SortMode != 0 && std::three_way_comparable<TYPE>)
            return ThreeWay(a, b);
        else
            return 0;
    }

    int GetSize() const { return m_count; }
    int GetCapacity() const { return m_capacity; }
    int GetGrowBy() const { return m_growBy; }

    TYPE& operator[](int index) { return m_items[index]; }
    const TYPE& operator[](int index) const { return m_items[index]; }
    TYPE* begin() { return m_items; }
    TYPE* end() { return m_items + m_count; }
    const TYPE* begin() const { return m_items; }
    const TYPE* end() const { return m_items + m_count; }

    // Appends value; returns its index. Grows by the same rule as SetSize.
    int Add(ARG_TYPE value)
    {
        if (m_count < m_capacity) {
            ::new (static_cast<void*>(m_items + m_count)) TYPE(value);
            return m_count++;
        }
        return AddGrowing(value);
    }

    // The index of an element equal to value (see Find), or value appended.
    int AddUnique(ARG_TYPE value)
    {
        const int index = Find(value);
        return index >= 0 ? index : Add(value);
    }

    // Binary-search insertion in the element's own order (case counting for strings); a repeat
    // goes before the equal element found.
    int AddSorted(ARG_TYPE value) requires std::three_way_comparable<TYPE>
    {
        int low = 0;
        int high = m_count - 1;
        while (high >= low) {
            const int middle = (low + high) / 2;
            const int order = ThreeWay(m_items[middle], value);
            if (order > 0)
                high = middle - 1;
            else if (order < 0)
                low = middle + 1;
            else {
                low = middle;
                break;
            }
        }
        InsertAt(low, value);
        return low;
    }

    // Inserts n copies of value at index, shifting the tail up; beyond the end the gap is
    // value-initialised.
    void InsertAt(int index, ARG_TYPE value, int n = 1)
    {
        assert(index >= 0 && n >= 1);
        TYPE copy(value); // value may be an element of this array
        if (index >= m_count) {
            SetSize(index + n);
        } else {
            const int oldCount = m_count;
            SetSize(oldCount + n);
            std::move_backward(m_items + index, m_items + oldCount, m_items + oldCount + n);
        }
        std::fill_n(m_items + index, n - 1, copy);
        m_items[index + n - 1] = std::move(copy);
    }

    // Releases n elements from index and closes the gap.
    void RemoveAt(int index, int n = 1)
    {
        assert(index >= 0 && n >= 0 && index + n <= m_count);
        for (int i = index; i < index + n; ++i)
            DestroyElement(i);
        std::move(m_items + index + n, m_items + m_count, m_items + index);
        std::destroy(m_items + m_count - n, m_items + m_count);
        m_count -= n;
    }

    void SetAtGrow(int index, ARG_TYPE value)
    {
        if (index < m_count) {
            m_items[index] = value;
            return;
        }
        TYPE copy(value);
        SetSize(index + 1);
        m_items[index] = std::move(copy);
    }

    // First index whose element matches value, or -1. Mode 0 arrays match by equality (their
    // Compare finds everything equal); the others and the string arrays by Compare.
    int Find(ARG_TYPE value) const
    {
        for (int i = 0; i < m_count; ++i)
            if (Matches(value, m_items[i]))
                return i;
        return -1;
    }

    // String arrays: first index at or after start (-1 means 0) equal to text, case counting.
    int FindFrom(int start, const std::string& text) const requires std::same_as<TYPE, std::string>
    {
        for (int i = std::max(start, 0); i < m_count; ++i)
            if (m_items[i] == text)
                return i;
        return -1;
    }

    // Appends copies of other's elements (pointers only for pointer arrays); returns the index of
    // the first.
    int Append(const CSmartArray& other)
    {
        const int first = m_count;
        const int otherCount = other.m_count;
        SetSize(m_count + otherCount);
        for (int i = 0; i < otherCount; ++i)
            m_items[first + i] = other.m_items[i];
        return first;
    }

    // Makes this array an element-by-element copy of other (pointers only for pointer arrays).
    void Copy(const CSmartArray& other)
    {
        if (this == &other)
            return;
        SetSize(other.m_count);
        std::copy_n(other.m_items, other.m_count, m_items);
    }

    // Bubble sort by Compare, ascending and stable; stops after a pass without swaps.
    void Sort()
    {
        for (int pass = 0;; ++pass) {
            bool swapped = false;
            for (int i = 0; i < m_count - pass - 1; ++i) {
                if (Compare(m_items[i], m_items[i + 1]) > 0) {
                    std::swap(m_items[i], m_items[i + 1]);
                    swapped = true;
                }
            }
            if (!swapped)
                return;
        }
    }

    // String arrays: sorts low..high case counting.
    void QuickSort(int low, int high) requires std::same_as<TYPE, std::string>
    {
        // Recurse into the smaller part and loop over the larger, so sorted input cannot
        // exhaust the stack.
        while (low < high) {
            const int split = Partition(low, high);
            if (split - low < high - split) {
                QuickSort(low, split);
                low = split + 1;
            } else {
                QuickSort(split + 1, high);
                high = split;
            }
        }
    }

  protected:
    // Whether an element matches the value Find looks for.
    virtual bool Matches(ARG_TYPE value, ARG_TYPE element) const
    {
        if constexpr (SortMode == 0 && std::equality_comparable<TYPE>)
            return value == element;
        else
            return Compare(value, element) == 0;
    }

    static int ThreeWay(const TYPE& a, const TYPE& b)
    {
        const auto order = std::compare_three_way{}(a, b);
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }

    int m_capacity = 0;
    TYPE* m_items = nullptr;
    int m_count = 0;
    int m_growBy = 0;

  private:
    // Trivially copyable elements live in a malloc block that grows with realloc, which can
    // extend the block in place or remap its pages instead of copying them; the others are
    // moved into a new block.
    static constexpr bool reallocatable =
        std::is_trivially_copyable_v<TYPE> && alignof(TYPE) <= alignof(std::max_align_t);

    static TYPE* Allocate(int capacity)
    {
        if constexpr (reallocatable)
            return Resized(nullptr, capacity);
        else
            return std::allocator<TYPE>().allocate(static_cast<std::size_t>(capacity));
    }

    static void Deallocate(TYPE* block, int capacity)
    {
        if constexpr (reallocatable)
            std::free(block);
        else if (block)
            std::allocator<TYPE>().deallocate(block, static_cast<std::size_t>(capacity));
    }

    // realloc that throws instead of answering null; the old block stays valid on failure.
    static TYPE* Resized(TYPE* block, int capacity)
    {
        void* resized = std::realloc(block, static_cast<std::size_t>(capacity) * sizeof(TYPE));
        if (!resized)
            throw std::bad_alloc();
        return static_cast<TYPE*>(resized);
    }

    // Capacity for newCount elements: the whole request for the first block (at least growBy),
    // later half the count (at least 4 and at least growBy), so that appending n elements
    // moves each one a bounded number of times whatever n is.
    int GrownCapacity(int newCount) const
    {
        if (m_capacity == 0)
            return std::max(m_growBy, newCount);
        const long long step = std::max({m_growBy, m_count / 2, 4});
        const long long grown = std::min<long long>(m_capacity + step, INT_MAX);
        return std::max(static_cast<int>(grown), newCount);
    }

    // Moves the elements into block (which holds at least count elements) and frees the old one.
    // With a throwing move the elements are copied, so a failure leaves the array as it was.
    void RelocateInto(TYPE* block)
    {
        if constexpr (std::is_nothrow_move_constructible_v<TYPE>)
            std::uninitialized_move_n(m_items, m_count, block);
        else
            std::uninitialized_copy_n(m_items, m_count, block);
        std::destroy_n(m_items, m_count);
        Deallocate(m_items, m_capacity);
        m_items = block;
    }

    void Reallocate(int newCapacity)
    {
        if constexpr (reallocatable) {
            m_items = Resized(m_items, newCapacity);
            m_capacity = newCapacity;
            return;
        }
        TYPE* block = Allocate(newCapacity);
        try {
            RelocateInto(block);
        } catch (...) {
            Deallocate(block, newCapacity);
            throw;
        }
        m_capacity = newCapacity;
    }

    // Add on a full array. The value may live in this array: it is copied before the block
    // moves, or built in the new block before the old one is freed.
    int AddGrowing(ARG_TYPE value)
    {
        if constexpr (reallocatable) {
            const TYPE copy = value;
            Reallocate(GrownCapacity(m_count + 1));
            ::new (static_cast<void*>(m_items + m_count)) TYPE(copy);
            return m_count++;
        }
        const int newCapacity = GrownCapacity(m_count + 1);
        TYPE* block = Allocate(newCapacity);
        TYPE* added = block + m_count;
        try {
            ::new (static_cast<void*>(added)) TYPE(value);
            try {
                RelocateInto(block);
            } catch (...) {
                std::destroy_at(added);
                throw;
            }
        } catch (...) {
            Deallocate(block, newCapacity);
            throw;
        }
        m_capacity = newCapacity;
        return m_count++;
    }

    void ReleaseRange(int from, int to)
    {
        for (int i = from; i < to; ++i) {
            DestroyElement(i);
            std::destroy_at(m_items + i);
        }
    }

    void Clear()
    {
        ReleaseRange(0, m_count);
        Deallocate(m_items, m_capacity);
        m_items = nullptr;
        m_capacity = 0;
        m_count = 0;
    }

    void TakeBlock(CSmartArray& other) noexcept
    {
        m_capacity = std::exchange(other.m_capacity, 0);
        m_items = std::exchange(other.m_items, nullptr);
        m_count = std::exchange(other.m_count, 0);
        m_growBy = other.m_growBy;
    }

    // Hoare partition around a copy of the middle element (sorted input stays n log n).
    int Partition(int low, int high)
    {
        const TYPE pivot = m_items[low + (high - low) / 2];
        int i = low - 1;
        int j = high + 1;
        for (;;) {
            do
                --j;
            while (m_items[j] > pivot);
            do
                ++i;
            while (m_items[i] < pivot);
            if (i >= j)
                return j;
            std::swap(m_items[i], m_items[j]);
        }
    }
};

// Owning array of pointers: deletes an object when it is removed, dropped by a shrinking
// SetSize or when the array is destroyed. A null slot is skipped. Copy and Append copy the
// pointers only; ownership stays where it was. T must be complete wherever an array is
// constructed or destroyed.
template <class T> class CSmartPtrArray : public CSmartArray<T*, T*, 0, 0>
{
  public:
    CSmartPtrArray() = default;
    CSmartPtrArray(const CSmartPtrArray&) = delete; // two owners would delete twice
    CSmartPtrArray& operator=(const CSmartPtrArray&) = delete;
    CSmartPtrArray(CSmartPtrArray&&) noexcept = default;
    CSmartPtrArray& operator=(CSmartPtrArray&&) noexcept = default;

    ~CSmartPtrArray() override
    {
        for (int i = 0; i < this->m_count; ++i)
            DestroyElement(i);
    }

    void DestroyElement(int index) override
    {
        delete this->m_items[index];
        this->m_items[index] = nullptr;
    }
};

// String arrays whose Compare and Find ignore the case of ASCII and Latin-1 letters.
template <int SortMode>
class CSmartBaseStringArray : public CSmartArray<std::string, const std::string&, SortMode, 0>
{
  public:
    int Compare(const std::string& a, const std::string& b) const override
    {
        const int order = trv::CompareNoCase(a, b);
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }

  protected:
    bool Matches(const std::string& value, const std::string& element) const override
    {
        return Compare(value, element) == 0;
    }
};

class CSmartStringArray : public CSmartBaseStringArray<0>
{
};
class CSmartSortStringArray : public CSmartBaseStringArray<1>
{
};
class CSmartSortNoRepeatStringArray : public CSmartBaseStringArray<2>
{
};
class CSmartIntArray : public CSmartArray<int, int, 0, 0>
{
};
class CSmartNoRepeatIntArray : public CSmartArray<int, int, 2, 0>
{
};
class CSmartUIntArray : public CSmartArray<unsigned int, unsigned int, 0, 0>
{
};
class CSmartWordArray : public CSmartArray<unsigned short, unsigned short, 0, 0>
{
};
class CSmartSortedWordArray : public CSmartArray<unsigned short, unsigned short, 1, 0>
{
};
class CSmartFloatArray : public CSmartArray<float, float, 0, 0>
{
};
class CSmartBoolArray : public CSmartArray<bool, bool, 0, 0>
{
};
class CSmartByteArray : public CSmartArray<unsigned char, unsigned char, 0, 0>
{
};
