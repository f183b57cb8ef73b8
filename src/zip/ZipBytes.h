#pragma once

#include <cstdint>

// Little-endian fields of the archive records.
namespace ZipBytes {

inline std::uint16_t ReadU16(const char* bytes)
{
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    return std::uint16_t(u[0] | (u[1] << 8));
}

inline std::uint32_t ReadU32(const char* bytes)
{
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    return std::uint32_t(u[0]) | (std::uint32_t(u[1]) << 8) | (std::uint32_t(u[2]) << 16) |
           (std::uint32_t(u[3]) << 24);
}

inline char* WriteU16(char* bytes, std::uint16_t value)
{
    bytes[0] = char(value & 0xFF);
    bytes[1] = char(value >> 8);
    return bytes + 2;
}

inline char* WriteU32(char* bytes, std::uint32_t value)
{
    bytes[0] = char(value & 0xFF);
    bytes[1] = char((value >> 8) & 0xFF);
    bytes[2] = char((value >> 16) & 0xFF);
    bytes[3] = char(value >> 24);
    return bytes + 4;
}

inline bool HasSignature(const char* bytes, char third, char fourth)
{
    return bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == third && bytes[3] == fourth;
}

} // namespace ZipBytes
