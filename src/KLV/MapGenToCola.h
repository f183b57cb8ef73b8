#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// The fitness cache: the costs of the item sequences an engine evaluated most recently, so a
// child or random gene that repeats one is not evaluated again. A hash map from sequence to
// cost over a queue in least-recently-used order, bounded to kMaxEntries.
//
// Storage is contiguous: the entries, their queue and chain links are indexes into one pool,
// the keys one block of key-length items per entry. An entry evicted at the bound gives its
// slot and key storage to the next insertion, so a full cache allocates nothing.
//
// Every operation is atomic (the cache's own mutex); the hash is computed before the mutex is
// taken. The gene-level region (GetGeneRegion) is a second mutex, held by the evaluation
// around a look-up and around the pair look up again, insert.
class CMapGenToCola
{
  public:
    static constexpr unsigned kBucketCount = 1000003;
    static constexpr int kMaxEntries = 10000;

    CMapGenToCola() = default;
    CMapGenToCola(const CMapGenToCola&) = delete;
    CMapGenToCola& operator=(const CMapGenToCola&) = delete;

    // Empties the cache, allocates the buckets and sets the key length.
    void Inicializa(int keyLength);

    // The number of items of every key. Changing it empties the cache: a cached sequence of
    // another length can never match again, and its cost belongs to another item set.
    void SetKeyLength(int keyLength);
    int GetKeyLength() const;

    // h = h x 33 + item over the key's items, in unsigned 32-bit arithmetic.
    static unsigned Hash(const unsigned short* items, int count);

    // True on a hit: cost receives the cached cost and the sequence becomes the most recently
    // used. hash receives the sequence's hash for a following Inserta; with hashKnown it is
    // taken as given instead of computed.
    bool Busca(float& cost, unsigned& hash, const unsigned short* items, bool hashKnown = false);

    // Stores the sequence with its cost in one step. A sequence already present keeps its
    // place in the queue and takes the new cost; a new one becomes the most recently used,
    // evicting the least recently used at the bound. True when the sequence was new.
    bool Inserta(const unsigned short* items, float cost, unsigned hash, bool hashKnown);

    // Removes every entry.
    void Vacia();

    // Removes the sequence's entry; true when it was present.
    bool Borra(const unsigned short* items);

    // The queue, walked from either end, holds exactly the entry count.
    bool Comprueba() const;

    int GetCount() const;

    std::mutex& GetGeneRegion() { return m_geneRegion; }

  private:
    static constexpr int kNone = -1;
    // Queue sentinels live in the first two pool slots; entries start after them.
    static constexpr int kHead = 0;
    static constexpr int kTail = 1;
    static constexpr int kFirstEntry = 2;

    struct TEntry
    {
        int chainNext = kNone; // next entry of the same bucket
        int queuePrevious = kNone;
        int queueNext = kNone;
        unsigned hash = 0;
        float cost = 0.0f;
    };

    void ClearLocked();
    void AllocateLocked();
    int FindLocked(const unsigned short* items, unsigned hash) const;
    const unsigned short* KeyOf(int entry) const;
    void UnlinkQueue(int entry);
    void PushFront(int entry);
    void UnlinkChain(int entry);
    int TakeSlot();

    mutable std::mutex m_mutex;
    std::mutex m_geneRegion;
    std::vector<int> m_buckets; // first entry of each bucket's chain
    std::vector<TEntry> m_entries;
    std::vector<unsigned short> m_keys; // key-length items per entry, by pool index
    std::vector<int> m_freeSlots;
    int m_count = 0;
    std::atomic<int> m_keyLength{0}; // read without the mutex to hash outside it
};
