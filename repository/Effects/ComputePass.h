// The dispatch shared by the compute effects: the counter bound as "gCounter" and the
// output as "gOutput" at the bind points the compute stage reflects, the stage dispatched
// over the output's thread counts, both unbound again.
#pragma once

namespace Brivet::Graphics
{
class ComputeShader;
class IComputable;
} // namespace Brivet::Graphics

#include <cstdint>

namespace ComputePass
{
// A thread count parameter's value as run: 0 and below count as 1.
inline uint32_t ThreadCount(int value)
{
    return value < 1 ? 1u : (uint32_t)value;
}

// Binds the counter's view at "gCounter" when the shader declares it (thread counts then
// 1 × 1 × 1), then the output's at "gOutput" when it declares that (thread counts then
// the output's width, height and depth); dispatches (no groups when it declares neither);
// unbinds "gOutput", then "gCounter", leaving the thread counts at 0. Nothing without a
// shader.
void Run(Brivet::Graphics::ComputeShader* shader, Brivet::Graphics::IComputable* counter,
         Brivet::Graphics::IComputable* output);
} // namespace ComputePass
