#pragma once

#include <cstdint>

// The genetic search's random source: draws of 0..32767, so the operators' arithmetic
// (r x n / 32768) holds as written. Streams are independent and keyed, so what a child slot
// draws never depends on the thread that breeds it. Not synchronised: one stream, one thread.
class TGenRandom
{
  public:
    static constexpr int kRandMax = 32767;
    static constexpr std::uint64_t kDefaultSeed = 314;

    explicit TGenRandom(std::uint64_t seed = kDefaultSeed) { Seed(seed); }

    // Restarts the stream: the same seed gives the same draws.
    void Seed(std::uint64_t seed);

    // The stream of one child slot in one generation of a run started with seed.
    static TGenRandom ForChildSlot(std::uint64_t seed, int generation, int slot);

    // The next draw, 0..32767.
    int Next()
    {
        // PCG-XSH-RR: a 64-bit congruential state with a permuted 32-bit output.
        const std::uint64_t old = m_state;
        m_state = old * 6364136223846793005ULL + m_increment;
        const auto xorShifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
        const auto rotation = static_cast<std::uint32_t>(old >> 59u);
        const std::uint32_t output =
            (xorShifted >> rotation) | (xorShifted << ((32u - rotation) & 31u));
        return static_cast<int>(output >> 17u);
    }

  private:
    void Start(std::uint64_t state, std::uint64_t sequence);

    std::uint64_t m_state = 0;
    std::uint64_t m_increment = 1;
};
