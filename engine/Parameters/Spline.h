// Animated value source: a list of clips, evaluated at a time by the covering clip's keys.
#pragma once

#include "Base/Array.h"
#include "Parameters/Clip.h"
#include "Parameters/ISpline.h"
#include "Parameters/IValue.h"

#include <cstdint>

namespace Brivet::Parameters {

// Only the first covering clip in array order counts, and times before the first clip's
// start or after the last clip's end (in array order) are turned away before the scan.
// Outside every clip, and in a covering clip without keys, the value is the zero value.
template <typename T>
class Spline : public IValue<T>, public ISpline
{
public:
    Spline() = default;
    ~Spline() override = default;

    T GetValue(float time) const override;
    // Writes into the first covering clip: replaces the value of the first key within
    // tolerance (strictly) of the time, else adds a Linear key and sorts. False when no
    // clip covers the time.
    bool SetValue(float time, const T& value, float tolerance) override;
    // A clip covers the time, whether or not it has keys.
    bool IsAnimatedAt(float time) const override;
    // Appends the "clip" children in document order, unsorted.
    bool Load(Utility::XML::Node valueElement) override;
    // Sorts the clips (and each clip's keys), then writes them.
    bool Save(Utility::XML::Node valueElement) override;

    void AddClip(float start, float length) override;
    uint32_t DuplicateClip(uint32_t index, IClip** copy) override;
    IClip* GetClip(uint32_t index) override;
    void RemoveClip(uint32_t index) override;
    uint32_t IndexOfClip(const IClip* clip) const override;
    void MergeClips(IClip* a, IClip* b) override;
    void SortClips() override;

private:
    // Steps of GetValue and IsAnimatedAt: the quick rejects, then the first covering clip.
    const Clip<T>* FindClip(float time) const;

    Base::Array<Clip<T>> clips;
};

extern template class Spline<bool>;
extern template class Spline<int>;
extern template class Spline<unsigned int>;
extern template class Spline<float>;
extern template class Spline<D3DXVECTOR2>;
extern template class Spline<D3DXVECTOR3>;
extern template class Spline<D3DXVECTOR4>;
extern template class Spline<Base::String>;

} // namespace Brivet::Parameters
