// Loading of the description's tempo changes and markers.
#include "Audio/Rhythm.h"

#include "Base/String.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

namespace Brivet::Audio
{
namespace
{
bool IsNone(const Base::String& text)
{
    const char* none = "none";
    const char* s = text.GetText();
    for (uint32_t i = 0; i < 4; ++i)
    {
        const char c = (s[i] >= 'A' && s[i] <= 'Z') ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
        if (c != none[i])
            return false;
    }
    return s[4] == 0;
}
} // namespace

Rhythm::Rhythm()
{
    changes.Add(DefaultChange);
}

bool Rhythm::Load(const Utility::XML::Node& element)
{
    // Changes: one record carried from change to change, so a missing attribute
    // keeps the previous change's value (the default for the first change).
    changes = Base::Array<Change>();
    Change change = DefaultChange;
    Utility::XML::ChildIterator changeIt("change");
    while (changeIt.Next(element))
    {
        const Utility::XML::Node child = changeIt.GetCurrent();
        Base::String text;
        if (child.GetAttribute("time", text))
            text.Scan("%g", &change.time);
        if (child.GetAttribute("bpm", text))
            text.Scan("%u", &change.bpm);
        if (child.GetAttribute("signature", text))
        {
            if (IsNone(text))
            {
                change.numerator = 0;
                change.denominator = 0;
            }
            else
            {
                int numerator = static_cast<int>(change.numerator);
                int denominator = static_cast<int>(change.denominator);
                text.Scan("%d/%d", &numerator, &denominator);
                change.numerator = static_cast<uint32_t>(numerator);
                change.denominator = static_cast<uint32_t>(denominator);
            }
        }
        changes.Add(change);
    }

    // Markers
    markers = Base::Array<float>();
    Utility::XML::ChildIterator markerIt("marker");
    while (markerIt.Next(element))
    {
        float time = 0.0f;
        Base::String text;
        if (markerIt.GetCurrent().GetAttribute("time", text))
            text.Scan("%g", &time);
        markers.Add(time);
    }

    if (changes.GetCount() == 0)
        changes.Add(DefaultChange);
    return true;
}
} // namespace Brivet::Audio
