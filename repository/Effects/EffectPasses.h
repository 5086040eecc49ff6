// Steps that the effects drawing every pass of an HLSL effect resource share.
#pragma once

#include <cstdint>

class Effect;
class ReflectedShaderState;

namespace Brivet::Graphics
{
class Program;
}

namespace EffectPasses
{
// The state's parameter values at time into every variation program of every pass.
void Update(ReflectedShaderState& state, Effect& effect, float time);
// The state's textures and buffers on the pass's program of the current variation.
void BindResources(ReflectedShaderState& state, Effect& effect, uint32_t pass);
// Constant buffer 0 of each stage of the program's mask: pixel, vertex, geometry.
void UploadConstants(Brivet::Graphics::Program* program);
} // namespace EffectPasses
