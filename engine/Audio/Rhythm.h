// The description's "rhythm" section: tempo changes and markers. Read and kept
// with the demo; nothing in the runtime uses it.
#pragma once

#include "Base/Array.h"

#include <cstdint>

namespace Brivet::Utility::XML { class Node; }

namespace Brivet::Audio
{
class Rhythm
{
public:
    struct Change
    {
        float time; // seconds
        uint32_t numerator; // signature; 0/0 for "none"
        uint32_t denominator;
        uint32_t bpm;
    };

    static constexpr Change DefaultChange = { 0.0f, 4, 4, 120 };

    Rhythm(); // holds the default change

    // Reads the "change" and "marker" children of element (null: none). An attribute
    // missing from a change keeps the previous change's value; the first change
    // starts from the default. Without any change the default is appended. Always true.
    bool Load(const Utility::XML::Node& element);

    Base::Array<Change> changes;
    Base::Array<float> markers; // seconds
};
} // namespace Brivet::Audio
