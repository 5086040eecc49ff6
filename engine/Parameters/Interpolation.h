// Interpolation kinds of a key, their names in the description, and the easing between two keys.
#pragma once

#include <cstdint>

namespace Brivet::Parameters {

// How a key's value moves on towards the next key. Codes outside the list ease like Hold.
enum class Interpolation : uint32_t
{
    Hold = 0,
    Linear = 1,
    SpeedUp = 2,
    SlowDown = 3,
    SmoothStep = 4,
};

struct InterpolationName
{
    const char* name;   // null in the last row, which ends the table
    Interpolation kind;
};

// "hold", "linear", "speedup", "slowdown", "smoothstep", then the null row.
extern const InterpolationName InterpolationNames[];

// Eased fraction for f in [0, 1). The factor is the exponent of SpeedUp and SlowDown only.
float Ease(float f, Interpolation kind, float factor);

// Kind of the first row whose name equals text without regard to case; Linear when none does.
Interpolation InterpolationFromName(const char* text);

// Name of the first row of that kind; null when no row has it.
const char* InterpolationToName(Interpolation kind);

} // namespace Brivet::Parameters
