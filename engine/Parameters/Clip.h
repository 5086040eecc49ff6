// A clip of a spline: a window of demo time holding keys of one value type.
#pragma once

#include "Base/Array.h"
#include "Parameters/IClip.h"
#include "Parameters/Interpolation.h"
#include "Parameters/ValueTraits.h"

#include <cstdint>

namespace Brivet::Utility::XML { class Node; }

namespace Brivet::Parameters {

template <typename T>
class Spline;

template <typename T>
class Clip : public IClip
{
public:
    // Key time is in seconds from the clip's start. Its interpolation and factor govern
    // the segment that begins at it.
    struct Key
    {
        float time = 0.0f;
        T value = ValueTraits<T>::Zero();
        Interpolation interpolation = Interpolation::Linear;
        float factor = 1.0f;
    };

    Clip() = default; // start 0, length 1, no keys
    Clip(const Clip&) = default;
    Clip& operator=(const Clip&) = default;
    ~Clip() override = default;

    float GetStart() const override { return start; }
    float GetLength() const override { return length; }
    float GetEnd() const override { return start + length; }
    void SetStart(float value) override { start = value; }
    void SetLength(float value) override { length = value; }
    void SetEnd(float end) override { length = end - start; }
    void RemoveKey(uint32_t index) override;
    // The last key becomes Hold, the clip ends where other ends, other's keys follow
    // re-based onto this clip's start with factor 1 (unsorted). other must be a Clip<T>.
    void Append(const IClip* other) override;
    // By time, with the bubble rule: keys of equal time trade places on every pass.
    void SortKeys() override;

    // Appends one key at the end, unsorted.
    void AddKey(float time, const T& value, Interpolation interpolation, float factor);

    const Base::Array<Key>& GetKeys() const { return keys; }

    // "clip" element: "start", "length" and the "key" children; always true.
    bool Load(Utility::XML::Node clipElement);
    // Sorts the keys, then writes them into the (new) "clip" element.
    bool Save(Utility::XML::Node clipElement);

private:
    friend class Spline<T>;

    float start = 0.0f;
    float length = 1.0f;
    Base::Array<Key> keys;
};

extern template class Clip<bool>;
extern template class Clip<int>;
extern template class Clip<unsigned int>;
extern template class Clip<float>;
extern template class Clip<D3DXVECTOR2>;
extern template class Clip<D3DXVECTOR3>;
extern template class Clip<D3DXVECTOR4>;
extern template class Clip<Base::String>;

} // namespace Brivet::Parameters
