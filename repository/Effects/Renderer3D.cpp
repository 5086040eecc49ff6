// Renderer3D: the texture renderer's pass switching, camera constants and frame.
#include "repository/Effects/Renderer3D.h"

#include "repository/Effects/Renderer3DBaseImpl.h"
#include "repository/Resources/Texture.h"

using Brivet::Graphics::Program;

template <>
const char* Renderer3DBase<Texture>::OutputTypeName()
{
    return "texture";
}

template <>
bool Renderer3DBase<Texture>::DrawsKind(uint32_t kind)
{
    return kind == KindNormal || kind == KindTransparent;
}

template <>
float Renderer3DBase<Texture>::OutputAspectRatio() const
{
    if (!output || output->GetHeight() == 0)
        return 1.0f;
    return static_cast<float>(output->GetWidth()) / static_cast<float>(output->GetHeight());
}

template <>
bool Renderer3DBase<Texture>::PrepareCommand(const Command& previous, const Command& current)
{
    // Pass switch: the pass's states and program, its resources on every variation program
    bool passChanged = false;
    if (current.effect != previous.effect || current.pass != previous.pass)
    {
        if (previous.effect)
            previous.effect->currentPass = Effect::NoPass;
        if (current.effect)
        {
            current.effect->BeginPass(current.pass);
            Program** programs = PassPrograms(current.effect, current.pass);
            const uint32_t count = current.effect->GetProgramCount();
            for (uint32_t k = 0; programs && k < count; ++k)
                current.state->BindResources(programs[k]);
            BindExistingLayers(current.effect, current.pass);
        }
        passChanged = true;
    }
    if (!current.effect)
        return false;

    // Whether the camera constants must be sent
    bool send = false;
    switch (current.kind)
    {
    case KindNormal:
    case KindTransparent:
        send = passChanged;
        if (previous.kind != current.kind)
        {
            current.effect->BindPassTargets(current.pass, output, ExistingDepth());
            aspectRatio = OutputAspectRatio();
        }
        break;
    case KindShadowCube:
        send = passChanged || previous.kind != KindShadowCube || previous.light != current.light ||
               previous.face != current.face;
        break;
    case KindShadow:
        send = passChanged || previous.kind != KindShadow || previous.light != current.light;
        break;
    default:
        break;
    }
    if (current.effect != previous.effect)
    {
        SetSkinningBit(current.effect, *current.entry);
        send = true;
    }
    if (previous.kind == current.kind && !send)
        return false;
    // This renderer has no shadow targets and sends the shadow passes nothing.
    if (current.kind != KindNormal && current.kind != KindTransparent)
        return false;

    // Camera constants on every variation program of the pass
    Program** programs = PassPrograms(current.effect, current.pass);
    const uint32_t count = current.effect->GetProgramCount();
    for (uint32_t k = 0; programs && k < count; ++k)
    {
        Program* program = programs[k];
        program->SetMatrix("matView", &view);
        program->SetMatrix("matViewPrevious", &previousView);
        program->SetMatrix("matProjection", &projection);
        program->SetFloat4("v4CameraPosition", cameraPosition);
    }
    return true;
}

template <>
void Renderer3DBase<Texture>::Render(const Brivet::RenderContext& context)
{
    if (!defaultShader || defaultShader->passes.GetCount() == 0 || !output || !chunk)
        return;
    // Without its colour target the output cannot be drawn into: the draws would land in
    // whatever target the last draw left bound.
    if (!output->GetTexture())
        return;

    BuildCommands();
    UpdateCamera(context);

    // Parameter values of the default shader and of every entry's own state
    const float time = context.time;
    auto update = [time](ReflectedShaderState& state, Effect* effect) {
        const uint32_t count = effect->GetProgramCount();
        for (uint32_t p = 0; p < effect->passes.GetCount(); ++p)
        {
            Program** programs = effect->passes[p].programs;
            for (uint32_t k = 0; programs && k < count; ++k)
                state.Update(programs[k], time);
        }
    };
    update(defaultShaderState, defaultShader);
    for (uint32_t i = 0; i < chunk->entries.GetCount(); ++i)
    {
        RenderChunk::Entry& entry = chunk->entries[i];
        if (entry.effect && entry.state)
            update(*entry.state, entry.effect);
    }

    output->BindAsRenderTarget(ExistingDepth());
    RenderCommands();
}

template class Renderer3DBase<Texture>;
