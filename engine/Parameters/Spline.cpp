// Spline evaluation, key setting, the clip list and the "clip" children of a "value" element.
#include "Parameters/Spline.h"

#include "Parameters/ArrayOrder.h"
#include "Parameters/XMLText.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

#include <cmath>

namespace Brivet::Parameters {

static constexpr uint32_t NoClip = 0xFFFFFFFF;

template <typename T>
const Clip<T>* Spline<T>::FindClip(float time) const
{
    const uint32_t count = clips.GetCount();
    if (count == 0)
        return nullptr;
    if (clips[0].GetStart() > time || time > clips[count - 1].GetEnd())
        return nullptr;
    // Both ends inclusive: at a seam the clip that stands first wins. NaN matches nothing.
    for (const Clip<T>& clip : clips)
    {
        if (clip.GetStart() <= time && clip.GetEnd() >= time)
            return &clip;
    }
    return nullptr;
}

template <typename T>
T Spline<T>::GetValue(float time) const
{
    const Clip<T>* clip = FindClip(time);
    if (!clip)
        return ValueTraits<T>::Zero();

    const float local = time - clip->GetStart();
    const Base::Array<typename Clip<T>::Key>& keys = clip->keys;
    const uint32_t count = keys.GetCount();
    if (count == 0)
        return ValueTraits<T>::Zero();
    if (keys[0].time > local)
        return keys[0].value;

    for (uint32_t j = 0; j + 1 < count; ++j)
    {
        const typename Clip<T>::Key& from = keys[j];
        const typename Clip<T>::Key& to = keys[j + 1];
        if (from.time <= local && to.time > local)
        {
            if constexpr (ValueTraits<T>::Eases)
            {
                const float f = (local - from.time) / (to.time - from.time);
                const float e = Ease(f, from.interpolation, from.factor);
                return ValueTraits<T>::Blend(from.value, to.value, e);
            }
            else
            {
                return from.value; // every kind acts like Hold
            }
        }
    }
    return keys[count - 1].value;
}

template <typename T>
bool Spline<T>::SetValue(float time, const T& value, float tolerance)
{
    // No quick rejects here: the first covering clip in array order takes the value.
    for (Clip<T>& clip : clips)
    {
        if (!(clip.GetStart() <= time && time <= clip.GetEnd()))
            continue;

        const float local = time - clip.GetStart();
        for (typename Clip<T>::Key& key : clip.keys)
        {
            if (fabsf(key.time - local) < tolerance)
            {
                key.value = value;
                return true;
            }
        }
        clip.AddKey(local, value, Interpolation::Linear, 1.0f);
        clip.SortKeys();
        return true;
    }
    return false;
}

template <typename T>
bool Spline<T>::IsAnimatedAt(float time) const
{
    return FindClip(time) != nullptr;
}

template <typename T>
void Spline<T>::AddClip(float start, float length)
{
    Clip<T> clip;
    clip.SetStart(start);
    clip.SetLength(length);
    clips.Add(clip);
    SortClips();
}

template <typename T>
uint32_t Spline<T>::DuplicateClip(uint32_t index, IClip** copy)
{
    if (index >= clips.GetCount())
        return NoClip;
    const Clip<T> source = clips[index]; // copied before the array may move
    const uint32_t added = clips.Add(source);
    if (added == clips.NoIndex)
        return NoClip;
    if (copy)
        *copy = &clips[added];
    return added;
}

template <typename T>
IClip* Spline<T>::GetClip(uint32_t index)
{
    return index < clips.GetCount() ? &clips[index] : nullptr;
}

template <typename T>
void Spline<T>::RemoveClip(uint32_t index)
{
    RemoveAt(clips, index);
}

template <typename T>
uint32_t Spline<T>::IndexOfClip(const IClip* clip) const
{
    const uint32_t count = clips.GetCount();
    for (uint32_t i = 0; i < count; ++i)
    {
        if (static_cast<const IClip*>(&clips[i]) == clip)
            return i;
    }
    return NoClip;
}

template <typename T>
void Spline<T>::MergeClips(IClip* a, IClip* b)
{
    const uint32_t ia = IndexOfClip(a);
    if (ia == NoClip)
        return;
    const uint32_t ib = IndexOfClip(b);
    if (ib == NoClip || ia == ib)
        return;

    // The array order decides which clip survives, not the clips' times.
    const uint32_t lo = ia < ib ? ia : ib;
    const uint32_t hi = ia < ib ? ib : ia;
    clips[lo].Append(&clips[hi]);
    RemoveClip(hi);
}

template <typename T>
void Spline<T>::SortClips()
{
    BubbleSort(clips, [](const Clip<T>& clip) { return clip.GetStart(); });
}

template <typename T>
bool Spline<T>::Load(Utility::XML::Node valueElement)
{
    Utility::XML::ChildIterator clipElements("clip");
    while (clipElements.Next(valueElement))
    {
        Clip<T> clip;
        if (!clip.Load(clipElements.GetCurrent()))
            return false;
        clips.Add(clip);
    }
    return true;
}

template <typename T>
bool Spline<T>::Save(Utility::XML::Node valueElement)
{
    if (!valueElement.GetHandle())
        return false;

    SortClips();
    for (Clip<T>& clip : clips)
    {
        if (!clip.Save(AppendChild(valueElement, "clip")))
            return false;
    }
    return true;
}

template class Spline<bool>;
template class Spline<int>;
template class Spline<unsigned int>;
template class Spline<float>;
template class Spline<D3DXVECTOR2>;
template class Spline<D3DXVECTOR3>;
template class Spline<D3DXVECTOR4>;
template class Spline<Base::String>;

} // namespace Brivet::Parameters
