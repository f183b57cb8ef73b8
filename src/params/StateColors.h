#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The colours by state with which the plan views draw vehicles, trips and stops. Each is a
// colour reference (blue x 65536 + green x 256 + red), stored in section "Colors" of the
// configuration file as a decimal integer. Colours 21, 22, 23 and 28 have no key and always
// keep their defaults.

constexpr int kStateColorCount = 28;

struct TStateColors
{
    std::array<std::uint32_t, kStateColorCount> colors{};

    TStateColors() { SetDefaults(); }

    void SetDefaults();
    // The defaults, then every keyed colour present with a non-empty value.
    void Load(const std::string& file);
    // Writes the 24 keyed colours; false (and traced) when a key could not be written.
    bool Save(const std::string& file) const;

    // The colour of a key of section "Colors"; 0 for an unknown key.
    std::uint32_t ByKey(std::string_view key) const;

    // Key of colour `index` (0-based) in section "Colors"; null for the colours without key.
    static const char* KeyOf(int index);
};
