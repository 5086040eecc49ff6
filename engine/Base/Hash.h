// The 64-bit FNV-1 name hash that strings carry and tables compare names by.
#pragma once

#include <cstdint>

namespace Brivet::Base
{
constexpr uint64_t NameHashOffsetBasis = 0xcbf29ce484222325ull;
constexpr uint64_t NameHashPrime = 0x100000001b3ull;

// Multiply, then XOR the byte taken as a signed char (bytes 0x80-0xFF flip the upper bits too).
constexpr uint64_t NameHash(const char* text, uint32_t length)
{
    uint64_t hash = NameHashOffsetBasis;
    for (uint32_t i = 0; i < length; ++i)
    {
        hash *= NameHashPrime;
        hash ^= static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(text[i])));
    }
    return hash;
}

// As NameHash over the text lower-cased by ASCII rules: only 'A' to 'Z' change.
constexpr uint64_t NameHashLower(const char* text, uint32_t length)
{
    uint64_t hash = NameHashOffsetBasis;
    for (uint32_t i = 0; i < length; ++i)
    {
        signed char c = static_cast<signed char>(text[i]);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<signed char>(c + ('a' - 'A'));
        hash *= NameHashPrime;
        hash ^= static_cast<uint64_t>(static_cast<int64_t>(c));
    }
    return hash;
}
} // namespace Brivet::Base
