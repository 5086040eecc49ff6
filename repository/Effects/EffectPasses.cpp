// The shared per-pass steps of the effects that draw an HLSL effect resource.
#include "repository/Effects/EffectPasses.h"

#include "Graphics/ConstantBuffer.h"
#include "Graphics/Program.h"
#include "Graphics/Shader.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/ReflectedShaderState.h"

using Brivet::Graphics::Program;

namespace EffectPasses
{
void Update(ReflectedShaderState& state, Effect& effect, float time)
{
    const uint32_t count = effect.GetProgramCount();
    for (uint32_t pass = 0; pass < effect.passes.GetCount(); ++pass)
    {
        Program** programs = effect.passes[pass].programs;
        for (uint32_t k = 0; programs && k < count; ++k)
            state.Update(programs[k], time);
    }
}

void BindResources(ReflectedShaderState& state, Effect& effect, uint32_t pass)
{
    // Only the program that draws: the variations may give a name different registers,
    // and every variation's bound in turn would leave the last one's slots bound.
    Program* program = effect.GetProgram(pass);
    if (program)
        state.BindResources(program);
}

void UploadConstants(Program* program)
{
    if (!program)
        return;
    const uint32_t mask = program->GetStageMask();
    if (mask & Program::StagePixel)
        program->GetPixelShader()->GetConstantBuffer()->Upload();
    if (mask & Program::StageVertex)
        program->GetVertexShader()->GetConstantBuffer()->Upload();
    if (mask & Program::StageGeometry)
        program->GetGeometryShader()->GetConstantBuffer()->Upload();
}
} // namespace EffectPasses
