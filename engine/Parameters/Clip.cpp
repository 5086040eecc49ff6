// Clip keys: removal, joining, sorting, and the "clip" / "key" XML form.
#include "Parameters/Clip.h"

#include "Parameters/ArrayOrder.h"
#include "Parameters/XMLText.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

namespace Brivet::Parameters {

template <typename T>
void Clip<T>::RemoveKey(uint32_t index)
{
    RemoveAt(keys, index);
}

template <typename T>
void Clip<T>::Append(const IClip* other)
{
    if (!other)
        return;
    const Clip& source = *static_cast<const Clip*>(other);

    // Nothing is interpolated across the join.
    const uint32_t count = keys.GetCount();
    if (count)
        keys[count - 1].interpolation = Interpolation::Hold;

    SetEnd(source.GetEnd());
    const float offset = source.GetStart() - GetStart();

    // The count is taken first so that appending a clip to itself ends.
    const uint32_t sourceCount = source.keys.GetCount();
    for (uint32_t i = 0; i < sourceCount; ++i)
    {
        Key key = source.keys[i];
        key.time += offset;
        key.factor = 1.0f;
        keys.Add(key);
    }
}

template <typename T>
void Clip<T>::SortKeys()
{
    BubbleSort(keys, [](const Key& key) { return key.time; });
}

template <typename T>
void Clip<T>::AddKey(float time, const T& value, Interpolation interpolation, float factor)
{
    Key key;
    key.time = time;
    key.value = value;
    key.interpolation = interpolation;
    key.factor = factor;
    keys.Add(key);
}

template <typename T>
bool Clip<T>::Load(Utility::XML::Node clipElement)
{
    ReadNumber(clipElement, "start", start);
    ReadNumber(clipElement, "length", length);

    Utility::XML::ChildIterator keyElements("key");
    while (keyElements.Next(clipElement))
    {
        const Utility::XML::Node keyElement = keyElements.GetCurrent();
        Key key;
        ReadNumber(keyElement, "time", key.time);
        Base::String text;
        if (keyElement.GetAttribute("interpolation", text))
            key.interpolation = InterpolationFromName(text.GetText());
        ReadNumber(keyElement, "factor", key.factor);
        ReadValue(keyElement, "value", key.value);
        keys.Add(key);
    }
    return true;
}

template <typename T>
bool Clip<T>::Save(Utility::XML::Node clipElement)
{
    if (!clipElement.GetHandle())
        return false;

    SortKeys();
    WriteNumber(clipElement, "start", start);
    WriteNumber(clipElement, "length", length);
    for (const Key& key : keys)
    {
        const Utility::XML::Node keyElement = AppendChild(clipElement, "key");
        WriteNumber(keyElement, "time", key.time);
        // A kind without a name is left out and so reloads as Linear.
        if (const char* name = InterpolationToName(key.interpolation))
            WriteText(keyElement, "interpolation", name);
        WriteNumber(keyElement, "factor", key.factor);
        WriteValue(keyElement, "value", key.value);
    }
    return true;
}

template class Clip<bool>;
template class Clip<int>;
template class Clip<unsigned int>;
template class Clip<float>;
template class Clip<D3DXVECTOR2>;
template class Clip<D3DXVECTOR3>;
template class Clip<D3DXVECTOR4>;
template class Clip<Base::String>;

} // namespace Brivet::Parameters
