// The members of Renderer3DBase<T> shared by every renderer. Included only by the .cpp of
// a renderer, which defines its per-T members and then instantiates the template.
#pragma once

#include "repository/Effects/Renderer3DBase.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Shader.h"
#include "Parameters/Parameter.h"
#include "Rendering/Geometry.h"
#include "Rendering/Material.h"
#include "Rendering/MathRoutines.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

template <typename T>
Renderer3DBase<T>::Renderer3DBase(Brivet::Demo* demo)
    : IEffect(demo), output(nullptr), existingGBuffer(nullptr), inheritCamera(nullptr), defaultShader(nullptr),
      chunk(nullptr), aspectRatio(0.0f), stateTime(0.0f), shadowView(nullptr), passHasTarget(true),
      reportedNoTarget(false), reportedTooManyCommands(false)
{
}

template <typename T>
Renderer3DBase<T>::~Renderer3DBase() = default;

template <typename T>
bool Renderer3DBase<T>::Initialize()
{
    outputTypeName = Brivet::Base::StaticString<64>(OutputTypeName()); // an equal name is kept as it is
    D3DXMatrixPerspectiveFovLH(&cubeFaceProjection, 1.5707964f, 1.0f, 0.1f, 25000.0f);
    OnInputsChanged();
    return true;
}

template <typename T>
void Renderer3DBase<T>::OnInputsChanged()
{
    using Brivet::Base::StaticString;
    Input* input = nullptr;
    // The graph binds only resources of an input's type: a bound "Default Shader" is an effect.
    defaultShader = inputs.Find(StaticString<64>("Default Shader"), &input) ? static_cast<Effect*>(input->bound)
                                                                            : nullptr;
    RetireParameters();
    RetireInputs();
    inheritCamera = AddParameter<bool>("Inherit camera from GBuffer", false);
    DeclareInput(StaticString<64>("Default Shader"), StaticString<64>("effect"));
    DeclareInput(StaticString<64>("Existing GBuffer"), StaticString<64>("gbuffer"));
    DeclareInput(StaticString<64>("Input 1"), StaticString<64>("RenderChunk"));
    if (defaultShader)
    {
        defaultShaderState.Declare(Brivet::Base::String(""), this, defaultShader);
        defaultShaderState.ResolveInputs(this, defaultShader);
    }
    // The graph binds only resources of an input's type: a bound "Existing GBuffer" is a G-buffer.
    existingGBuffer = inputs.Find(StaticString<64>("Existing GBuffer"), &input) ? static_cast<GBuffer*>(input->bound)
                                                                              : nullptr;
    chunk = inputs.Find(StaticString<64>("Input 1"), &input) ? static_cast<RenderChunk*>(input->bound) : nullptr;
}

template <typename T>
void Renderer3DBase<T>::OnInputsResolved()
{
    Input* input = nullptr;
    chunk = inputs.Find(Brivet::Base::StaticString<64>("Input 1"), &input) ? static_cast<RenderChunk*>(input->bound)
                                                                           : nullptr;
}

template <typename T>
void Renderer3DBase<T>::OnParameterChanged(Brivet::Parameters::IParameter* parameter)
{
    changed = true;
}

template <typename T>
void Renderer3DBase<T>::OnResize()
{
    if (defaultShader)
        defaultShaderState.ResolveInputs(this, defaultShader);
}

template <typename T>
void Renderer3DBase<T>::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    // Fed into a dynamic node of another type, the renderer has nothing it can draw into.
    if (resource && !resource->IsCompatible(Brivet::Base::StaticString<64>(OutputTypeName())))
        resource = nullptr;
    output = static_cast<T*>(resource);
}

template <typename T>
Brivet::Assets::Resource::IResource* Renderer3DBase<T>::GetOutput()
{
    return output;
}

template <typename T>
void Renderer3DBase<T>::SetSkinningBit(Effect* effect, const RenderChunk::Entry& entry)
{
    const uint32_t bit = effect->GetVariationBit("SKINNING_ENABLED");
    if (entry.boneCount != 0)
        effect->currentVariation |= bit;
    else
        effect->currentVariation &= ~bit;
}

template <typename T>
Brivet::Graphics::Program** Renderer3DBase<T>::PassPrograms(Effect* effect, uint32_t pass)
{
    if (!effect || pass >= effect->passes.GetCount())
        return nullptr;
    return effect->passes[pass].programs;
}

template <typename T>
void Renderer3DBase<T>::BuildCommands()
{
    if (!chunk || !defaultShader || defaultShader->passes.GetCount() == 0)
        return;
    commands.Empty();
    bool cut = false;
    auto add = [this, &cut](const Command& command) {
        if (commands.GetCount() < MaxCommands)
            commands.Add(command);
        else
            cut = true;
    };

    for (uint32_t i = 0; i < chunk->entries.GetCount(); ++i)
    {
        RenderChunk::Entry& entry = chunk->entries[i];
        // Nothing to draw, and nothing to build an input layout for.
        if (!entry.geometry)
            continue;

        // Effect and state
        Effect* effect = entry.effect ? entry.effect : defaultShader;
        ReflectedShaderState* state = (entry.effect && entry.state) ? entry.state : &defaultShaderState;
        const uint32_t passCount = effect->passes.GetCount();
        // An effect without passes has nothing to draw and no first pass to build a layout from.
        if (passCount == 0)
            continue;

        // Input layout from the vertex stage of the first pass
        if (!entry.geometry->GetInputSignatureShader())
        {
            SetSkinningBit(effect, entry);
            Brivet::Graphics::Program* program = effect->GetProgram(0);
            if (program)
                entry.geometry->CreateInputLayout(program->GetVertexShader());
        }

        // One command per pass, by the pass kind
        const bool hasMaterial = entry.material != nullptr;
        const bool transparent = hasMaterial && entry.material->IsTransparent();
        for (uint32_t p = 0; p < passCount && !cut; ++p)
        {
            // Commands that would not be drawn are not built: the shadow kinds in a renderer
            // without shadow targets, and shadow commands whose record has no target.
            const uint32_t kind = effect->passes[p].kind;
            if (!DrawsKind(kind))
                continue;
            switch (kind)
            {
            case KindNormal:
                if (!transparent)
                    add(Command{p, effect, state, &entry, i, KindNormal, None, None});
                break;
            case KindTransparent:
                if (!hasMaterial || transparent)
                    add(Command{p, effect, state, &entry, i, KindTransparent, None, None});
                break;
            case KindShadowCube:
            {
                const uint32_t pointCount = chunk->pointLights.GetCount();
                for (uint32_t j = 0; j < pointCount && !cut; ++j)
                {
                    const RenderChunk::PointLight& light = chunk->pointLights[j];
                    if (!light.enabled || !light.castsShadow || !HasShadowTarget(KindShadowCube, j))
                        continue;
                    for (uint32_t face = 0; face < 6; ++face)
                        add(Command{p, effect, state, &entry, i, KindShadowCube, j, face});
                }
                for (uint32_t j = 0; j < chunk->areaSphereLights.GetCount() && !cut; ++j)
                {
                    const RenderChunk::AreaSphereLight& light = chunk->areaSphereLights[j];
                    if (!light.enabled || !light.castsShadow || !HasShadowTarget(KindShadowCube, pointCount + j))
                        continue;
                    for (uint32_t face = 0; face < 6; ++face)
                        add(Command{p, effect, state, &entry, i, KindShadowCube, pointCount + j, face});
                }
                break;
            }
            case KindShadow:
            {
                // One running index over the spot lights, then the directional lights.
                uint32_t s = 0;
                for (uint32_t j = 0; j < chunk->spotLights.GetCount() && !cut; ++j, ++s)
                {
                    const RenderChunk::SpotLight& light = chunk->spotLights[j];
                    if (light.enabled && light.castsShadow && HasShadowTarget(KindShadow, s))
                        add(Command{p, effect, state, &entry, i, KindShadow, s, None});
                }
                for (uint32_t j = 0; j < chunk->directionalLights.GetCount() && !cut; ++j, ++s)
                {
                    const RenderChunk::DirectionalLight& light = chunk->directionalLights[j];
                    if (light.enabled && light.castsShadow && HasShadowTarget(KindShadow, s))
                        add(Command{p, effect, state, &entry, i, KindShadow, s, None});
                }
                break;
            }
            default:
                break;
            }
        }
        if (cut)
            break;
    }
    if (cut && !reportedTooManyCommands)
    {
        reportedTooManyCommands = true;
        Brivet::Utility::Log::Warning("[%s] '%s': more than %u draw commands in a frame; the rest are not drawn",
                                      LogName(), name.GetText(), MaxCommands);
    }

    if (commands.GetCount() > 1)
        qsort(commands.GetData(), commands.GetCount(), sizeof(Command), &CompareCommands);
}

template <typename T>
int Renderer3DBase<T>::CompareCommands(const void* left, const void* right)
{
    const Command& a = *static_cast<const Command*>(left);
    const Command& b = *static_cast<const Command*>(right);
    // Unsigned differences read as signed: None (0xFFFFFFFF) sorts before every real
    // light and face.
    auto difference = [](uint32_t x, uint32_t y) { return static_cast<int32_t>(x - y); };
    if (a.pass != b.pass)
        return difference(a.pass, b.pass);
    if (a.light != b.light)
        return difference(a.light, b.light);
    if (a.face != b.face)
        return difference(a.face, b.face);
    if (a.effect != b.effect)
    {
        const uintptr_t x = reinterpret_cast<uintptr_t>(a.effect);
        const uintptr_t y = reinterpret_cast<uintptr_t>(b.effect);
        return x < y ? -1 : 1;
    }
    return difference(a.entryIndex, b.entryIndex);
}

template <typename T>
void Renderer3DBase<T>::RenderCommands()
{
    Command previous = NoCommand();
    const ReflectedShaderState* applied = nullptr; // the state whose values the pass's programs hold
    Brivet::Graphics::Program* viewsBoundFor = nullptr; // the program whose slots hold the views
    passHasTarget = true;
    for (const Command& command : commands)
    {
        // A renderer without shadow targets leaves the shadow passes out: drawn into its
        // colour output they would use whatever constants the last draw left.
        if (!DrawsKind(command.kind))
            continue;
        if (SwitchesPass(previous, command))
        {
            applied = nullptr;
            viewsBoundFor = nullptr;
        }
        PrepareCommand(previous, command);
        previous = command;
        // Entries of several nodes may share one effect, each with its own state: the
        // state of the command goes to the programs again when it is not the one they
        // hold, else every entry would draw with the values written last.
        if (command.state != applied)
        {
            ApplyState(command);
            applied = command.state;
            viewsBoundFor = nullptr;
        }
        // A pass whose named targets are missing would draw into what the last pass bound.
        if (!passHasTarget)
            continue;

        // Culling: the box in view space lying wholly behind the viewer. The shadow passes
        // see from the light, not the camera: a caster behind the camera still throws its
        // shadow into view.
        RenderChunk::Entry& entry = *command.entry;
        const D3DXMATRIX* cullView =
            command.kind == KindNormal || command.kind == KindTransparent ? &view : shadowView;
        if (cullView && entry.geometry->HasBounds())
        {
            D3DXVECTOR3 boxMin, boxMax;
            Brivet::Rendering::TransformBounds(&boxMin, &boxMax, &entry.world, &entry.boundsMin, &entry.boundsMax);
            Brivet::Rendering::TransformBounds(&boxMin, &boxMax, cullView, &boxMin, &boxMax);
            if (boxMax.z < 0.0f)
                continue;
        }

        // Program of the entry's variation
        SetSkinningBit(command.effect, entry);
        Brivet::Graphics::Program* program = command.effect->GetProgram(command.pass);
        if (!program)
            continue;
        // Views and samplers go to the drawing program once its variation is known, not to
        // every variation's at the pass switch: the variations may give a name different
        // registers, and the slots bound last would be another program's.
        if (program != viewsBoundFor)
        {
            BindDrawViews(command, program);
            viewsBoundFor = program;
        }
        if (entry.material)
            entry.material->Apply(program);

        // Object constants
        const uint32_t bones = entry.boneCount < RenderChunk::MaxBones ? entry.boneCount : RenderChunk::MaxBones;
        if (bones > 0)
        {
            program->SetMatrixArray("matWorldBones", entry.bones, bones);
            program->SetMatrixArray("matWorldBonesPrevious", entry.previousBones, bones);
        }
        else
        {
            program->SetMatrix("matWorld", &entry.world);
            program->SetMatrix("matWorldPrevious", &entry.previousWorld);
        }
        // Sent with every draw, not once per run of one effect's commands: an object id
        // that all entries of an effect share would identify no object.
        const uint32_t mask = program->GetStageMask();
        if (mask & Brivet::Graphics::Program::StagePixel)
            program->GetPixelShader()->SetObjectID(command.entryIndex);
        if (mask & Brivet::Graphics::Program::StageVertex)
            program->GetVertexShader()->SetObjectID(command.entryIndex);
        if (mask & Brivet::Graphics::Program::StageGeometry)
            program->GetGeometryShader()->SetObjectID(command.entryIndex);

        // Changed constant buffers uploaded with the stages, then the geometry
        program->Bind();
        entry.geometry->Bind();
        entry.geometry->Draw();
    }
    PrepareCommand(previous, NoCommand());
}

template <typename T>
bool Renderer3DBase<T>::SwitchesPass(const Command& previous, const Command& current)
{
    return current.effect != previous.effect || current.pass != previous.pass;
}

template <typename T>
void Renderer3DBase<T>::ApplyState(const Command& command)
{
    Brivet::Graphics::Program** programs = PassPrograms(command.effect, command.pass);
    if (!programs || !command.state)
        return;
    const uint32_t count = command.effect->GetProgramCount();
    for (uint32_t k = 0; k < count; ++k)
        command.state->Update(programs[k], stateTime);
}

template <typename T>
void Renderer3DBase<T>::BindDrawViews(const Command& command, Brivet::Graphics::Program* program)
{
    command.effect->BindSamplers(command.pass);
    if (command.state)
        command.state->BindResources(program);
    BindExistingLayers(program);
}

template <typename T>
bool Renderer3DBase<T>::SwitchPass(const Command& previous, const Command& current)
{
    if (!SwitchesPass(previous, current))
        return false;
    if (previous.effect)
        previous.effect->currentPass = Effect::NoPass;
    if (current.effect)
        current.effect->BeginPass(current.pass);
    return true;
}

template <typename T>
void Renderer3DBase<T>::SetCameraConstants(Effect* effect, uint32_t pass)
{
    Brivet::Graphics::Program** programs = PassPrograms(effect, pass);
    const uint32_t count = effect ? effect->GetProgramCount() : 0;
    for (uint32_t k = 0; programs && k < count; ++k)
    {
        Brivet::Graphics::Program* program = programs[k];
        program->SetMatrix("matView", &view);
        program->SetMatrix("matViewPrevious", &previousView);
        program->SetMatrix("matProjection", &projection);
        program->SetFloat4("v4CameraPosition", cameraPosition);
    }
}

template <typename T>
void Renderer3DBase<T>::UpdateShaderStates(float time)
{
    stateTime = time;
    auto update = [time](ReflectedShaderState& state, Effect* effect) {
        const uint32_t count = effect->GetProgramCount();
        for (uint32_t p = 0; p < effect->passes.GetCount(); ++p)
        {
            Brivet::Graphics::Program** programs = effect->passes[p].programs;
            for (uint32_t k = 0; programs && k < count; ++k)
                state.Update(programs[k], time);
        }
    };
    if (defaultShader)
        update(defaultShaderState, defaultShader);
    for (uint32_t i = 0; chunk && i < chunk->entries.GetCount(); ++i)
    {
        RenderChunk::Entry& entry = chunk->entries[i];
        if (entry.effect && entry.state)
            update(*entry.state, entry.effect);
    }
}

template <typename T>
bool Renderer3DBase<T>::UpdateCamera(const Brivet::RenderContext& context, RenderChunk::CameraBlock* used)
{
    if (!chunk || !output)
        return false;

    RenderChunk::CameraBlock block = chunk->camera;
    const RenderChunk::CameraBlock* inherited = ExistingCamera();
    if (inherited && inheritCamera && inheritCamera->GetValue(context.time))
        block = *inherited;
    // No camera: the matrices of the last frame stay.
    if (block.priority == RenderChunk::PriorityNone)
        return false;

    // Projection. The field of view is horizontal; the aspect ratio is taken from the
    // output here, as the first frame has bound no target yet.
    aspectRatio = OutputAspectRatio();
    if (context.projectionOverride)
    {
        block.projection = context.projection;
    }
    else if (block.orthographic)
    {
        D3DXMatrixOrthoOffCenterLH(&block.projection, -1.0f, 1.0f, -1.0f, 1.0f, block.nearPlane, block.farPlane);
    }
    else
    {
        const float horizontal = block.fieldOfView * 3.14159265358979f / 180.0f;
        const float vertical = 2.0f * std::atan(std::tan(horizontal / 2.0f) / aspectRatio);
        D3DXMatrixPerspectiveFovLH(&block.projection, vertical, aspectRatio, block.nearPlane, block.farPlane);
    }

    projection = block.projection;
    cameraPosition = block.position;
    if (!context.keepView)
    {
        view = block.view;
        previousView = block.previousView;
    }
    if (used)
        *used = block;
    return true;
}

template <typename T>
Brivet::Graphics::DepthStencil* Renderer3DBase<T>::ExistingDepth() const
{
    return existingGBuffer ? existingGBuffer->depthTarget : nullptr;
}

template <typename T>
const RenderChunk::CameraBlock* Renderer3DBase<T>::ExistingCamera() const
{
    return existingGBuffer ? &existingGBuffer->camera : nullptr;
}

template <typename T>
void Renderer3DBase<T>::BindExistingLayers(Brivet::Graphics::Program* program) const
{
    if (!existingGBuffer || !program)
        return;
    // A layer without a target binds no view, so no earlier draw's texture stays in its slot.
    for (const GBuffer::Layer& layer : existingGBuffer->layers)
    {
        ID3D11ShaderResourceView* view = layer.target ? layer.target->GetShaderResourceView() : nullptr;
        ReflectedShaderState::BindView(program, layer.name.GetText(), view);
    }
}
