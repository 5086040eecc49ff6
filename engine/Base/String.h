// Heap byte string with its two name hashes, the engine's text type.
#pragma once

#include "Base/Compiler.h"

#include <cstdarg>
#include <cstdint>

namespace Brivet::Base
{
// The buffer grows to exactly the size needed and never shrinks. Both hashes are
// recomputed after every change; a String that was never assigned has hashes 0,
// an empty one the offset basis.
class String
{
public:
    String();
    String(const char* text); // null: empty, no buffer, hashes = offset basis
    String(const char* bytes, uint32_t length); // copies exactly length bytes (null bytes: as a null text)
    String(const String& other);
    virtual ~String();

    // Does nothing when the case-sensitive hashes are equal (not even the capacity changes).
    String& operator=(const String& other);

    String& Append(const String& other);
    String& Append(const char* bytes, uint32_t length);

    // The arguments must not point into this String's own text. A formatter error
    // leaves the empty text.
    String& Format(const char* format, ...) BRIVET_PRINTF_FORMAT(2, 3);
    String& FormatV(const char* format, va_list arguments);

    // sscanf over the text with the secure conventions: every %s, %c and %[ destination
    // is followed by its buffer size (unsigned int, in chars). A %s or %[ field that
    // does not fit (terminator included), or a %c width above the size, empties the
    // buffer and ends the scan. Returns the number of fields assigned, or EOF when the
    // text ends before the first conversion. Wide (%ls, %lc, %l[) destinations are
    // not supported and end the scan.
    int Scan(const char* format, ...) const;

    void ComputeHash();

    const char* GetText() const { return text ? text : ""; } // never null
    uint32_t GetLength() const { return length; }
    uint32_t GetCapacity() const { return capacity; }
    uint64_t GetHash() const { return hash; }
    uint64_t GetHashLower() const { return hashLower; }

private:
    void Grow(uint32_t newCapacity);

    char* text;
    uint32_t length;
    uint32_t capacity; // bytes, terminator included; 0 without a buffer
    uint64_t hash;
    uint64_t hashLower;
};
} // namespace Brivet::Base
