// What a buffer resource reads from its description: the "buffer" element with the number
// of float elements. Portable, so the rules are checked on the host too.
#pragma once

#include <cstdint>

namespace Brivet::Utility::XML
{
class Node;
}

struct BufferSettings
{
    static constexpr uint32_t DefaultCount = 100;
    // The most elements a typed buffer view may cover (2^27); it also keeps the byte
    // width, 4 × count, within 32 bits.
    static constexpr uint32_t MaxCount = 1u << 27;

    // "size" ("%u") of the first "buffer" child of the node's description (may be null);
    // the count is left as it is without the element, the attribute or a number.
    static void Read(const Brivet::Utility::XML::Node* description, uint32_t& count);
    // Appends a "buffer" child with "size". False when element is null.
    static bool Write(const Brivet::Utility::XML::Node& element, uint32_t count);
    // 1 to MaxCount.
    static bool IsValidCount(uint32_t count) { return count != 0 && count <= MaxCount; }
};
