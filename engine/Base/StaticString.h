// Fixed-buffer string of at most N-1 characters with the same two name hashes as String.
#pragma once

#include "Base/Compiler.h"
#include "Base/Hash.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace Brivet::Base
{
// N = 64 holds type names, factory-table keys, input, parameter and slot names;
// N = 10 holds file extensions.
template <uint32_t N>
class StaticString
{
    static_assert(N >= 1, "StaticString needs room for the terminator");

public:
    StaticString()
        : buffer{}, length(0), hash(0), hashLower(0)
    {
    }

    // null: empty with hashes = offset basis; a longer text is cut to N-1 characters.
    StaticString(const char* text)
        : buffer{}, length(0), hash(0), hashLower(0)
    {
        if (text)
        {
            uint32_t count = 0;
            for (; count < N - 1 && text[count]; ++count)
                buffer[count] = text[count];
            buffer[count] = 0;
            length = count;
        }
        ComputeHash();
    }

    StaticString(const StaticString& other)
        : StaticString()
    {
        *this = other;
    }

    virtual ~StaticString() = default;

    // Nothing happens when the case-sensitive hashes are equal; a never-assigned
    // source (hash 0) gives length 0 and hashes 0.
    StaticString& operator=(const StaticString& other)
    {
        if (hash == other.hash)
            return *this;
        if (other.hash == 0)
        {
            buffer[0] = 0;
            length = 0;
            hash = 0;
            hashLower = 0;
            return *this;
        }
        memcpy(buffer, other.buffer, other.length);
        buffer[other.length] = 0;
        length = other.length;
        ComputeHash();
        return *this;
    }

    // A result longer than N-1 characters is cut to N-1; a formatter error leaves the
    // empty text. The arguments must not point into this string's own buffer.
    StaticString& Format(const char* format, ...) BRIVET_PRINTF_FORMAT(2, 3)
    {
        va_list arguments;
        va_start(arguments, format);
        const int size = vsnprintf(buffer, N, format, arguments);
        va_end(arguments);
        if (size < 0)
        {
            buffer[0] = 0;
            length = 0;
        }
        else
        {
            length = static_cast<uint32_t>(size) < N - 1 ? static_cast<uint32_t>(size) : N - 1;
        }
        ComputeHash();
        return *this;
    }

    void ComputeHash()
    {
        hash = NameHash(buffer, length);
        hashLower = NameHashLower(buffer, length);
    }

    const char* GetText() const { return buffer; }
    uint32_t GetLength() const { return length; }
    uint64_t GetHash() const { return hash; }
    uint64_t GetHashLower() const { return hashLower; }

private:
    char buffer[N];
    uint32_t length;
    uint64_t hash;
    uint64_t hashLower;
};
} // namespace Brivet::Base
