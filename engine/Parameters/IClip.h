// Type-independent interface of a clip: a window of demo time holding keys.
#pragma once

#include <cstdint>

namespace Brivet::Parameters {

class IClip
{
public:
    virtual float GetStart() const = 0;
    virtual float GetLength() const = 0;
    virtual float GetEnd() const = 0;
    // Moves the clip; the length and the keys' offsets from the start stay.
    virtual void SetStart(float start) = 0;
    virtual void SetLength(float length) = 0;
    // Length = end - start; the start stays.
    virtual void SetEnd(float end) = 0;
    // An index at or past the last key drops the last key; nothing happens without keys.
    virtual void RemoveKey(uint32_t index) = 0;
    // Joins other (a clip of the same value type) onto this one: keys re-based, end extended.
    virtual void Append(const IClip* other) = 0;
    virtual void SortKeys() = 0;

    virtual ~IClip() = default;
};

} // namespace Brivet::Parameters
