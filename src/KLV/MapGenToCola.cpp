#include "KLV/MapGenToCola.h"

#include <algorithm>

void CMapGenToCola::Inicializa(int keyLength)
{
    std::lock_guard lock(m_mutex);
    ClearLocked();
    m_keyLength = keyLength;
    AllocateLocked();
}

void CMapGenToCola::SetKeyLength(int keyLength)
{
    std::lock_guard lock(m_mutex);
    if (keyLength == m_keyLength)
        return;
    ClearLocked();
    m_keyLength = keyLength;
}

int CMapGenToCola::GetKeyLength() const
{
    return m_keyLength.load(std::memory_order_relaxed);
}

unsigned CMapGenToCola::Hash(const unsigned short* items, int count)
{
    // h x 33 + v, four items a step: the powers of 33 break the one long chain of
    // multiplications into independent ones (the same value, a few times faster).
    constexpr std::uint32_t k33 = 33u, k33p2 = k33 * k33, k33p3 = k33p2 * k33, k33p4 = k33p3 * k33;
    std::uint32_t h = 0;
    int i = 0;
    for (; i + 4 <= count; i += 4)
        h = h * k33p4 + items[i] * k33p3 + items[i + 1] * k33p2 + items[i + 2] * k33 + items[i + 3];
    for (; i < count; ++i)
        h = h * k33 + items[i];
    return h;
}

bool CMapGenToCola::Busca(float& cost, unsigned& hash, const unsigned short* items, bool hashKnown)
{
    if (!hashKnown)
        hash = Hash(items, GetKeyLength());
    std::lock_guard lock(m_mutex);
    const int entry = FindLocked(items, hash);
    if (entry == kNone)
        return false;
    cost = m_entries[entry].cost;
    UnlinkQueue(entry);
    PushFront(entry);
    return true;
}

bool CMapGenToCola::Inserta(const unsigned short* items, float cost, unsigned hash, bool hashKnown)
{
    if (!hashKnown)
        hash = Hash(items, GetKeyLength());
    std::lock_guard lock(m_mutex);
    if (m_buckets.empty())
        AllocateLocked();
    if (const int present = FindLocked(items, hash); present != kNone) {
        m_entries[present].cost = cost;
        return false;
    }
    const int entry = TakeSlot();
    TEntry& added = m_entries[entry];
    added.hash = hash;
    added.cost = cost;
    // std::copy_n and std::equal, not memcpy/memcmp: an empty gene has no key storage at all.
    std::copy_n(items, GetKeyLength(),
                m_keys.data() + static_cast<std::size_t>(entry - kFirstEntry) * GetKeyLength());
    PushFront(entry);
    int& bucket = m_buckets[hash % kBucketCount];
    added.chainNext = bucket;
    bucket = entry;
    ++m_count;
    return true;
}

void CMapGenToCola::Vacia()
{
    std::lock_guard lock(m_mutex);
    ClearLocked();
}

bool CMapGenToCola::Borra(const unsigned short* items)
{
    const unsigned hash = Hash(items, GetKeyLength());
    std::lock_guard lock(m_mutex);
    const int entry = FindLocked(items, hash);
    if (entry == kNone)
        return false;
    UnlinkChain(entry);
    UnlinkQueue(entry);
    m_freeSlots.push_back(entry);
    --m_count;
    return true;
}

bool CMapGenToCola::Comprueba() const
{
    std::lock_guard lock(m_mutex);
    if (m_entries.empty())
        return m_count == 0;
    const int limit = m_count + 1; // a cycle in the links must not walk forever
    int forward = 0;
    for (int entry = m_entries[kHead].queueNext; entry != kTail && forward <= limit;
         entry = m_entries[entry].queueNext)
        ++forward;
    int backward = 0;
    for (int entry = m_entries[kTail].queuePrevious; entry != kHead && backward <= limit;
         entry = m_entries[entry].queuePrevious)
        ++backward;
    return forward == m_count && backward == m_count;
}

int CMapGenToCola::GetCount() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

void CMapGenToCola::ClearLocked()
{
    // Only the buckets in use are reset, so emptying a full cache costs its entries, not the
    // million buckets.
    if (!m_buckets.empty()) {
        for (std::size_t entry = kFirstEntry; entry < m_entries.size(); ++entry)
            m_buckets[m_entries[entry].hash % kBucketCount] = kNone;
    }
    m_entries.assign(kFirstEntry, TEntry{});
    m_entries[kHead].queueNext = kTail;
    m_entries[kTail].queuePrevious = kHead;
    m_keys.clear();
    m_freeSlots.clear();
    m_count = 0;
}

void CMapGenToCola::AllocateLocked()
{
    if (m_entries.empty())
        ClearLocked();
    m_buckets.assign(kBucketCount, kNone);
}

int CMapGenToCola::FindLocked(const unsigned short* items, unsigned hash) const
{
    if (m_buckets.empty())
        return kNone;
    const std::size_t keyLength = GetKeyLength();
    for (int entry = m_buckets[hash % kBucketCount]; entry != kNone;
         entry = m_entries[entry].chainNext) {
        if (m_entries[entry].hash == hash && std::equal(items, items + keyLength, KeyOf(entry)))
            return entry;
    }
    return kNone;
}

const unsigned short* CMapGenToCola::KeyOf(int entry) const
{
    return m_keys.data() + static_cast<std::size_t>(entry - kFirstEntry) * GetKeyLength();
}

void CMapGenToCola::UnlinkQueue(int entry)
{
    TEntry& unlinked = m_entries[entry];
    m_entries[unlinked.queuePrevious].queueNext = unlinked.queueNext;
    m_entries[unlinked.queueNext].queuePrevious = unlinked.queuePrevious;
}

void CMapGenToCola::PushFront(int entry)
{
    const int first = m_entries[kHead].queueNext;
    m_entries[entry].queuePrevious = kHead;
    m_entries[entry].queueNext = first;
    m_entries[first].queuePrevious = entry;
    m_entries[kHead].queueNext = entry;
}

void CMapGenToCola::UnlinkChain(int entry)
{
    int* link = &m_buckets[m_entries[entry].hash % kBucketCount];
    while (*link != entry)
        link = &m_entries[*link].chainNext;
    *link = m_entries[entry].chainNext;
}

int CMapGenToCola::TakeSlot()
{
    if (!m_freeSlots.empty()) {
        const int slot = m_freeSlots.back();
        m_freeSlots.pop_back();
        return slot;
    }
    if (m_count < kMaxEntries) {
        m_entries.emplace_back();
        m_keys.resize(m_keys.size() + static_cast<std::size_t>(GetKeyLength()));
        return static_cast<int>(m_entries.size()) - 1;
    }
    // Full: the least recently used entry gives its slot and key storage to the new one.
    const int evicted = m_entries[kTail].queuePrevious;
    UnlinkChain(evicted);
    UnlinkQueue(evicted);
    --m_count;
    return evicted;
}
