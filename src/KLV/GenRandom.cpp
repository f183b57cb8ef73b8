#include "KLV/GenRandom.h"

namespace {

// SplitMix64 finaliser: spreads nearby keys (seed 314, generation 7, slot 3) over the whole
// state space, so neighbouring streams do not start correlated.
std::uint64_t Mix(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30u)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27u)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31u);
}

} // namespace

void TGenRandom::Seed(std::uint64_t seed)
{
    Start(Mix(seed), 0);
}

TGenRandom TGenRandom::ForChildSlot(std::uint64_t seed, int generation, int slot)
{
    TGenRandom stream;
    const std::uint64_t key = Mix(Mix(seed) ^ static_cast<std::uint32_t>(generation));
    stream.Start(Mix(key ^ (static_cast<std::uint64_t>(static_cast<std::uint32_t>(slot)) << 32u)),
                 Mix(key + static_cast<std::uint32_t>(slot)));
    return stream;
}

void TGenRandom::Start(std::uint64_t state, std::uint64_t sequence)
{
    // PCG's seeding: the increment must be odd; the first step mixes the state in.
    m_increment = (sequence << 1u) | 1u;
    m_state = 0;
    Next();
    m_state += state;
    Next();
}
