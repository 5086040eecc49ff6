// Easing and the interpolation name table.
#include "Parameters/Interpolation.h"

#include <cmath>

namespace Brivet::Parameters {

const InterpolationName InterpolationNames[] = {
    { "hold", Interpolation::Hold },
    { "linear", Interpolation::Linear },
    { "speedup", Interpolation::SpeedUp },
    { "slowdown", Interpolation::SlowDown },
    { "smoothstep", Interpolation::SmoothStep },
    { nullptr, Interpolation::Hold },
};

float Ease(float f, Interpolation kind, float factor)
{
    switch (kind)
    {
    case Interpolation::Linear: return f;
    case Interpolation::SpeedUp: return powf(f, factor);
    case Interpolation::SlowDown: return 1.0f - powf(1.0f - f, factor);
    case Interpolation::SmoothStep: return (3.0f - (f + f)) * (f * f);
    default: return 0.0f; // Hold and unknown codes stay at the segment's first key
    }
}

// ASCII case rule of the name hashes: only 'A' to 'Z' fold.
static bool EqualsIgnoringCase(const char* a, const char* b)
{
    for (;; ++a, ++b)
    {
        char ca = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? char(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
        if (ca == 0)
            return true;
    }
}

Interpolation InterpolationFromName(const char* text)
{
    if (text)
    {
        for (const InterpolationName* row = InterpolationNames; row->name; ++row)
        {
            if (EqualsIgnoringCase(row->name, text))
                return row->kind;
        }
    }
    return Interpolation::Linear;
}

const char* InterpolationToName(Interpolation kind)
{
    for (const InterpolationName* row = InterpolationNames; row->name; ++row)
    {
        if (row->kind == kind)
            return row->name;
    }
    return nullptr;
}

} // namespace Brivet::Parameters
