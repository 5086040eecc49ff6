// Type-independent clip-list interface of a spline.
#pragma once

#include <cstdint>

namespace Brivet::Parameters {

class IClip;

// Clip pointers handed out point into the spline's clip array: they stay good only
// until the next operation that changes the clip list.
class ISpline
{
public:
    // Appends a clip without keys, then sorts the clips by start.
    virtual void AddClip(float start, float length) = 0;
    // Appends a copy of the clip at index (unsorted) and returns its index; stores its
    // address through copy when not null. 0xFFFFFFFF and nothing stored for a bad index.
    virtual uint32_t DuplicateClip(uint32_t index, IClip** copy) = 0;
    // Null when index is not below the number of clips.
    virtual IClip* GetClip(uint32_t index) = 0;
    // An index at or past the last clip drops the last clip; nothing happens without clips.
    virtual void RemoveClip(uint32_t index) = 0;
    // 0xFFFFFFFF when no clip of this spline is at that address.
    virtual uint32_t IndexOfClip(const IClip* clip) const = 0;
    // The clip earlier in the array absorbs the other; clips not in this spline are ignored.
    virtual void MergeClips(IClip* a, IClip* b) = 0;
    virtual void SortClips() = 0;

protected:
    ~ISpline() = default; // splines are deleted as IValue<T>
};

} // namespace Brivet::Parameters
