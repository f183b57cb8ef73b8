#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Base64 of RFC 4648 (standard alphabet, "=" padding, no line breaks), for HTTP authorisation,
// tokens and mail.

std::string Base64Encode(const void* bytes, std::size_t length);
inline std::string Base64Encode(std::string_view bytes)
{
    return Base64Encode(bytes.data(), bytes.size());
}

// The bytes of the text up to its end, its first "=" or its first character outside the
// alphabet (whatever follows is ignored). A final group of two or three characters gives one or
// two bytes; a single leftover character gives nothing.
std::string Base64Decode(std::string_view text);
