// Particle3D: particles made by the vertex stage, drawn over a G-buffer.
#include "repository/Effects/Particle3D.h"

#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/ITexture.h"
#include "Graphics/Program.h"
#include "Graphics/Shader.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "repository/Effects/EffectPasses.h"
#include "repository/Effects/GBufferView.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/Texture.h"

#include <d3d11.h>

using Brivet::Base::StaticString;
using Brivet::Graphics::Program;
using Brivet::Utility::Log;

namespace
{
template <typename T>
T* Bound(Brivet::Assets::Effect::IEffect& effect, const char* name)
{
    Brivet::Assets::Effect::IEffect::Input* input = nullptr;
    // The graph binds only resources of an input's type.
    return effect.inputs.Find(StaticString<64>(name), &input) ? static_cast<T*>(input->bound) : nullptr;
}
} // namespace

Particle3D::Particle3D(Brivet::Demo* demo)
    : IEffect(demo), shader(nullptr), gbuffer(nullptr), output(nullptr), particleCount(nullptr)
{
}

bool Particle3D::Initialize()
{
    Declare();
    return true;
}

void Particle3D::Declare()
{
    RetireParameters();
    RetireInputs();
    outputTypeName = StaticString<64>("texture"); // an equal name is kept as it is
    DeclareInput(StaticString<64>("GBuffer"), StaticString<64>("gbuffer"));
    DeclareInput(StaticString<64>("Shader"), StaticString<64>("effect"));
    particleCount = AddParameter<unsigned int>("Particle Count", 1000u);
    if (shader)
        state.Declare(Brivet::Base::String(""), this, shader);
}

void Particle3D::OnInputsChanged()
{
    shader = Bound<Effect>(*this, "Shader");
    gbuffer = Bound<GBuffer>(*this, "GBuffer");
    Declare();
    if (shader)
        state.ResolveInputs(this, shader);
}

void Particle3D::OnResize()
{
    if (shader)
        state.ResolveInputs(this, shader);
}

void Particle3D::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    output = resource;
}

Brivet::Assets::Resource::IResource* Particle3D::GetOutput()
{
    return output;
}

Texture* Particle3D::GetOutputTexture() const
{
    // A dynamic node of another type may be the output; a cube stands in for a texture but
    // has no view of its own to draw into.
    if (!output || !output->IsCompatible(StaticString<64>("texture")))
        return nullptr;
    Texture* texture = static_cast<Texture*>(output);
    Brivet::Graphics::ITexture* colour = texture->GetTexture();
    return colour && colour->GetRenderTargetView() ? texture : nullptr;
}

uint32_t Particle3D::VertexCount(uint32_t particles)
{
    const uint64_t vertices = uint64_t(particles) * VerticesPerParticle;
    return vertices > 0xFFFFFFFFu ? 0xFFFFFFFFu / VerticesPerParticle * VerticesPerParticle : uint32_t(vertices);
}

void Particle3D::Render(const Brivet::RenderContext& context)
{
    Texture* target = GetOutputTexture();
    if (!shader || !target || shader->passes.GetCount() == 0)
        return;
    const float time = context.time;
    uint32_t particles = particleCount ? particleCount->GetValue(time) : 0;
    if (particles == 0)
        return;
    if (particles > MaxParticles)
    {
        if (!warnedCut)
            Log::Warning("[Particle3D] '%s': %u particles are more than the %u drawn", name.GetText(), particles,
                         MaxParticles);
        warnedCut = true;
        particles = MaxParticles;
    }

    const uint32_t passCount = shader->passes.GetCount();
    EffectPasses::Update(state, *shader, time);

    // No vertex buffer and no layout: the vertex stage makes the particles.
    ID3D11DeviceContext* device = demo->system.GetContext();
    ID3D11Buffer* none = nullptr;
    const UINT zero = 0;
    device->IASetInputLayout(nullptr);
    device->IASetVertexBuffers(0, 1, &none, &zero, &zero);
    device->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);

    for (uint32_t i = 0; i < passCount; ++i)
    {
        shader->BeginPass(i);
        shader->BindPassTargets(i, target, gbuffer ? gbuffer->depthTarget : nullptr);
        Program* program = shader->GetProgram(i);
        if (program && gbuffer)
            GBufferView::Bind(program, *gbuffer, true);
        shader->BindInternalTextures(i);
        EffectPasses::BindResources(state, *shader, i);
        EffectPasses::UploadConstants(program);
        device->Draw(VertexCount(particles), 0);
        shader->EndPass();
    }
}
