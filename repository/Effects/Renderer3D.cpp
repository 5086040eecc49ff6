// Renderer3D: the texture renderer's pass switching, camera constants and frame.
#include "repository/Effects/Renderer3D.h"

#include "repository/Effects/Renderer3DBaseImpl.h"
#include "repository/Effects/Layer2D.h"
#include "Utility/Log.h"
#include "Graphics/ITexture.h"
#include "repository/Resources/Texture.h"

template <>
const char* Renderer3DBase<Texture>::OutputTypeName()
{
    return "texture";
}

template <>
const char* Renderer3DBase<Texture>::LogName()
{
    return "Renderer3D";
}

template <>
bool Renderer3DBase<Texture>::HasShadowTarget(uint32_t kind, uint32_t light) const
{
    return false; // no shadow targets
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
    // Pass switch: the pass's states, samplers and program
    const bool passChanged = SwitchPass(previous, current);
    if (!current.effect)
        return false;

    // Whether the camera constants must be sent
    bool send = false;
    switch (current.kind)
    {
    case KindNormal:
    case KindTransparent:
        send = passChanged;
        // On every change of pass, not only of kind: a second pass may name targets of its
        // own, and one whose names are all missing has nothing to draw into.
        if (previous.kind != current.kind || passChanged)
        {
            passHasTarget = Layer2D::BindDrawTargets(current.effect, current.pass, output, ExistingDepth());
            if (!passHasTarget && !reportedNoTarget)
            {
                reportedNoTarget = true;
                Brivet::Utility::Log::Warning("[Renderer3D] '%s': pass %u has no render target to draw into",
                                              name.GetText(), current.pass);
            }
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
    SetCameraConstants(current.effect, current.pass);
    return true;
}

template <>
void Renderer3DBase<Texture>::Render(const Brivet::RenderContext& context)
{
    if (!defaultShader || defaultShader->passes.GetCount() == 0 || !output || !chunk)
        return;
    // Without its colour target the output cannot be drawn into: the draws would land in
    // whatever target the last draw left bound. A cube stands in for a texture but has
    // only face views.
    if (!output->GetTexture() || !output->GetTexture()->GetRenderTargetView())
        return;

    BuildCommands();
    UpdateCamera(context);

    // Parameter values of the default shader and of every entry's own state
    UpdateShaderStates(context.time);

    output->BindAsRenderTarget(ExistingDepth());
    RenderCommands();
}

template class Renderer3DBase<Texture>;
