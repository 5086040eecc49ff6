// RendererGBuffer3D: the G-buffer renderer's shadow records, pass switching with shadow
// targets, camera and light constants, and frame.
#include "repository/Effects/RendererGBuffer3D.h"

#include "Demo.h"
#include "Graphics/System.h"
#include "Graphics/TextureCube.h"
#include "repository/Effects/Renderer3DBaseImpl.h"
#include "repository/Resources/GBuffer.h"
#include "Utility/Log.h"

#include <d3d11.h>

using Brivet::Graphics::Program;

namespace
{
const D3DXVECTOR3 LightUp(0.0f, 1.0f, 0.0f); // the up vector of every spot and directional light

bool IsShadowKind(uint32_t kind)
{
    return kind == RendererGBuffer3D::KindShadow || kind == RendererGBuffer3D::KindShadowCube;
}

// The normal and transparent commands in the order of the shared sort, then the shadow
// commands target by target: shadow maps light by light, shadow cubes light by light and
// face by face, each target's commands of every pass in one run.
int CompareByShadowTarget(const void* left, const void* right)
{
    using Command = RendererGBuffer3D::Command;
    const Command& a = *static_cast<const Command*>(left);
    const Command& b = *static_cast<const Command*>(right);
    const bool shadowA = IsShadowKind(a.kind);
    const bool shadowB = IsShadowKind(b.kind);
    if (shadowA != shadowB)
        return shadowA ? 1 : -1;
    if (!shadowA)
        return RendererGBuffer3D::CompareCommands(left, right);
    auto order = [](uint32_t x, uint32_t y) { return x < y ? -1 : 1; };
    if (a.kind != b.kind)
        return order(a.kind, b.kind);
    if (a.light != b.light)
        return order(a.light, b.light);
    if (a.face != b.face)
        return order(a.face, b.face);
    if (a.pass != b.pass)
        return order(a.pass, b.pass);
    if (a.effect != b.effect)
        return reinterpret_cast<uintptr_t>(a.effect) < reinterpret_cast<uintptr_t>(b.effect) ? -1 : 1;
    if (a.entryIndex != b.entryIndex)
        return order(a.entryIndex, b.entryIndex);
    return 0;
}

// The shadow target a shadow command draws into; null when its record has none.
Brivet::Graphics::ITexture* ShadowTarget(GBuffer& gbuffer, const RendererGBuffer3D::Command& command)
{
    if (command.kind == RendererGBuffer3D::KindShadow)
        return command.light < gbuffer.shadowMaps.GetCount() ? gbuffer.shadowMaps[command.light].colourTarget : nullptr;
    if (command.kind == RendererGBuffer3D::KindShadowCube)
        return command.light < gbuffer.shadowCubes.GetCount() ? gbuffer.shadowCubes[command.light].target : nullptr;
    return nullptr;
}

void GenerateMips(Brivet::Graphics::ITexture* target)
{
    if (target && target->GetShaderResourceView())
        target->GetSystem()->GetContext()->GenerateMips(target->GetShaderResourceView());
}

D3DXVECTOR3 PositionOf(const D3DXMATRIX& lightToWorld)
{
    return D3DXVECTOR3(lightToWorld._41, lightToWorld._42, lightToWorld._43);
}
} // namespace

void CubeFaceAxes(uint32_t face, D3DXVECTOR3* look, D3DXVECTOR3* up)
{
    static const float axes[6][6] = {
        {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f},  {-1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
        {0.0f, 1.0f, 0.0f, 0.0f, 0.0f, -1.0f}, {0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 1.0f},
        {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f},  {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f},
    };
    const float* row = axes[face < 6 ? face : 0];
    *look = D3DXVECTOR3(row[0], row[1], row[2]);
    *up = D3DXVECTOR3(row[3], row[4], row[5]);
}

template <>
const char* Renderer3DBase<GBuffer>::OutputTypeName()
{
    return "gbuffer";
}

template <>
const char* Renderer3DBase<GBuffer>::LogName()
{
    return "RendererGBuffer3D";
}

template <>
bool Renderer3DBase<GBuffer>::HasShadowTarget(uint32_t kind, uint32_t light) const
{
    // Without a target the shadow command would draw its casters into the layers.
    return output && ShadowTarget(*output, Command{0, nullptr, nullptr, nullptr, 0, kind, light, 0}) != nullptr;
}

template <>
bool Renderer3DBase<GBuffer>::DrawsKind(uint32_t kind)
{
    return kind == KindNormal || kind == KindTransparent || kind == KindShadow || kind == KindShadowCube;
}

template <>
float Renderer3DBase<GBuffer>::OutputAspectRatio() const
{
    if (!output || output->GetHeight() == 0)
        return 1.0f;
    return static_cast<float>(output->GetWidth()) / static_cast<float>(output->GetHeight());
}

template <>
void Renderer3DBase<GBuffer>::PrepareShadowRecords()
{
    if (!chunk || !output)
        return;
    GBuffer& gbuffer = *output;

    // In-use bytes are refilled below, light by light
    for (GBuffer::ShadowCube& record : gbuffer.shadowCubes)
        record.enabled = 0;
    for (GBuffer::ShadowMap& record : gbuffer.shadowMaps)
        record.enabled = 0;
    if (chunk->ambient.priority != RenderChunk::PriorityNone)
        gbuffer.ambient = chunk->ambient;

    // Shadow cubes: point lights, then area-sphere lights
    const uint32_t pointCount = chunk->pointLights.GetCount();
    const uint32_t cubeCount = pointCount + chunk->areaSphereLights.GetCount();
    while (gbuffer.shadowCubes.GetCount() < cubeCount)
        gbuffer.shadowCubes.AddEmpty();
    auto fillCube = [&gbuffer](uint32_t index, const RenderChunk::LightBase& light, uint32_t type, uint32_t lightIndex,
                               const D3DXMATRIX& lightToWorld, const D3DXVECTOR3& attenuation,
                               const D3DXVECTOR3& colour, float radius) {
        GBuffer::ShadowCube& record = gbuffer.shadowCubes[index];
        record.lightType = type;
        record.lightIndex = lightIndex;
        record.enabled = light.enabled;
        record.castsShadow = light.enabled ? light.castsShadow : 0;
        if (light.enabled)
        {
            record.lightToWorld = lightToWorld;
            record.attenuation = attenuation;
            record.colour = colour;
            record.radius = radius;
        }
        gbuffer.AcquireShadowCube(record);
    };
    for (uint32_t j = 0; j < pointCount; ++j)
    {
        const RenderChunk::PointLight& light = chunk->pointLights[j];
        fillCube(j, light, RenderChunk::LightPoint, j, light.lightToWorld, light.attenuation, light.colour,
                 light.radius);
    }
    for (uint32_t j = 0; j < chunk->areaSphereLights.GetCount(); ++j)
    {
        const RenderChunk::AreaSphereLight& light = chunk->areaSphereLights[j];
        fillCube(pointCount + j, light, RenderChunk::LightAreaSphere, j, light.lightToWorld, light.attenuation,
                 light.colour, light.renderRadius);
    }

    // Shadow maps: spot lights, then directional lights
    const uint32_t spotCount = chunk->spotLights.GetCount();
    const uint32_t mapCount = spotCount + chunk->directionalLights.GetCount();
    while (gbuffer.shadowMaps.GetCount() < mapCount)
        gbuffer.shadowMaps.AddEmpty();
    for (uint32_t j = 0; j < spotCount; ++j)
    {
        const RenderChunk::SpotLight& light = chunk->spotLights[j];
        GBuffer::ShadowMap& record = gbuffer.shadowMaps[j];
        record.lightType = RenderChunk::LightSpot;
        record.lightIndex = j;
        record.enabled = light.enabled;
        record.castsShadow = light.enabled ? light.castsShadow : 0;
        if (light.enabled)
        {
            D3DXMatrixPerspectiveFovLH(&record.lightProjection, light.outerCone, 1.0f, 0.1f, 25000.0f);
            record.lightToWorld = light.lightToWorld;
            record.colour = light.colour;
            record.spot = 1;
            record.coneAngle = light.outerCone;
            record.coneRatio = light.innerCone / light.outerCone;
        }
        gbuffer.AcquireShadowMap(record);
    }

    // Records of lights the chunk no longer holds give their targets back.
    for (uint32_t i = cubeCount; i < gbuffer.shadowCubes.GetCount(); ++i)
        gbuffer.AcquireShadowCube(gbuffer.shadowCubes[i]);
    for (uint32_t i = mapCount; i < gbuffer.shadowMaps.GetCount(); ++i)
        gbuffer.AcquireShadowMap(gbuffer.shadowMaps[i]);

    // Directional lights follow the camera: without one their records keep what they held.
    if (chunk->camera.priority == RenderChunk::PriorityNone)
        return;
    const D3DXVECTOR3 target(cameraPosition.x, cameraPosition.y, cameraPosition.z);
    for (uint32_t k = 0; k < chunk->directionalLights.GetCount(); ++k)
    {
        const RenderChunk::DirectionalLight& light = chunk->directionalLights[k];
        GBuffer::ShadowMap& record = gbuffer.shadowMaps[spotCount + k];
        record.lightType = RenderChunk::LightDirectional;
        record.lightIndex = k;
        record.enabled = light.enabled;
        record.castsShadow = light.enabled ? light.castsShadow : 0;
        record.direction = light.direction;
        if (light.enabled)
        {
            D3DXMatrixOrthoLH(&record.lightProjection, light.shadowSize.x, light.shadowSize.y, 0.1f,
                              2.0f * light.shadowSourceDistance);
            D3DXVECTOR3 direction;
            D3DXVec3Normalize(&direction, &light.direction);
            const D3DXVECTOR3 eye = target - direction * light.shadowSourceDistance;
            Brivet::Rendering::LookAtOrientation(&record.lightToWorld, &eye, &target, &LightUp);
            record.colour = light.colour;
            record.spot = 0;
        }
        gbuffer.AcquireShadowMap(record);
    }
}

template <>
bool Renderer3DBase<GBuffer>::PrepareCommand(const Command& previous, const Command& current)
{
    // A finished shadow target builds its mip chain
    if (previous.kind == KindShadowCube &&
        (current.kind != KindShadowCube || current.light != previous.light || current.face != previous.face))
        GenerateMips(ShadowTarget(*output, previous));
    else if (previous.kind == KindShadow && (current.kind != KindShadow || current.light != previous.light))
        GenerateMips(ShadowTarget(*output, previous));

    // Pass switch: the pass's states, samplers and program
    const bool passChanged = SwitchPass(previous, current);
    if (!current.effect)
        return false;

    // Targets, and whether the constants must be sent
    GBuffer& gbuffer = *output;
    bool send = false;
    switch (current.kind)
    {
    case KindNormal:
    case KindTransparent:
        send = passChanged;
        // Also on a change of pass: a pass may name layers of its own to draw into.
        if (previous.kind != current.kind || passChanged)
        {
            // Names of which none is found bind nothing: the pass would draw into what the
            // last pass bound (a shadow target, say).
            const bool named = current.effect->BindPassTargetsGBuffer(current.pass, &gbuffer, ExistingDepth());
            passHasTarget = named || current.effect->passes[current.pass].renderTargets.GetCount() == 0;
            if (!passHasTarget && !reportedNoTarget)
            {
                reportedNoTarget = true;
                Brivet::Utility::Log::Warning("[RendererGBuffer3D] '%s': pass %u has no render target to draw into",
                                              name.GetText(), current.pass);
            }
            aspectRatio = OutputAspectRatio();
        }
        break;
    case KindShadowCube:
        passHasTarget = true; // commands whose record has no target were left out
        send = passChanged;
        if (previous.kind != KindShadowCube || previous.light != current.light || previous.face != current.face)
        {
            send = true;
            Brivet::Graphics::TextureCube* cube =
                current.light < gbuffer.shadowCubes.GetCount() ? gbuffer.shadowCubes[current.light].target : nullptr;
            if (cube)
            {
                // One depth buffer serves every face: cleared before each face is drawn.
                if (gbuffer.cubeDepthTarget && gbuffer.cubeDepthTarget->GetDepthStencilView())
                    demo->system.GetContext()->ClearDepthStencilView(gbuffer.cubeDepthTarget->GetDepthStencilView(),
                                                                     D3D11_CLEAR_DEPTH, 1.0f, 0);
                cube->BindFace(current.face, gbuffer.cubeDepthTarget);
            }
        }
        break;
    case KindShadow:
        passHasTarget = true;
        send = passChanged;
        if (previous.kind != KindShadow || previous.light != current.light)
        {
            send = true;
            GBuffer::ShadowMap* record =
                current.light < gbuffer.shadowMaps.GetCount() ? &gbuffer.shadowMaps[current.light] : nullptr;
            if (record && record->colourTarget)
            {
                if (record->depthTarget && record->depthTarget->GetDepthStencilView())
                    demo->system.GetContext()->ClearDepthStencilView(record->depthTarget->GetDepthStencilView(),
                                                                     D3D11_CLEAR_DEPTH, 1.0f, 0);
                record->colourTarget->Bind(record->depthTarget);
            }
        }
        break;
    default: break;
    }
    if (current.effect != previous.effect)
    {
        SetSkinningBit(current.effect, *current.entry);
        send = true;
    }
    if (previous.kind == current.kind && !send)
        return false;

    // Constants on every variation program of the pass, by kind
    Program** programs = PassPrograms(current.effect, current.pass);
    const uint32_t count = current.effect->GetProgramCount();
    if (!programs)
        return false;
    switch (current.kind)
    {
    case KindNormal:
    case KindTransparent: SetCameraConstants(current.effect, current.pass); return true;
    case KindShadow:
    {
        shadowView = nullptr;
        if (current.light >= gbuffer.shadowMaps.GetCount())
            return false;
        const GBuffer::ShadowMap& record = gbuffer.shadowMaps[current.light];
        D3DXMATRIX& worldToLight = lightView;
        D3DXMatrixInverse(&worldToLight, nullptr, &record.lightToWorld);
        shadowView = &lightView;
        const D3DXVECTOR3 position = PositionOf(record.lightToWorld);
        for (uint32_t k = 0; k < count; ++k)
        {
            programs[k]->SetBool("bEnablePenumbra", record.spot != 0);
            programs[k]->SetMatrix("matWorldToLight", &worldToLight);
            programs[k]->SetMatrix("matLightProjection", &record.lightProjection);
            programs[k]->SetFloat3("v3LightPosition", position);
        }
        return true;
    }
    case KindShadowCube:
    {
        shadowView = nullptr;
        if (current.light >= gbuffer.shadowCubes.GetCount())
            return false;
        const GBuffer::ShadowCube& record = gbuffer.shadowCubes[current.light];
        const D3DXVECTOR3 eye = PositionOf(record.lightToWorld);
        D3DXVECTOR3 look, up;
        CubeFaceAxes(current.face, &look, &up);
        const D3DXVECTOR3 at = eye + look;
        D3DXMATRIX& worldToLight = lightView;
        D3DXMatrixLookAtLH(&worldToLight, &eye, &at, &up);
        shadowView = &lightView;
        for (uint32_t k = 0; k < count; ++k)
        {
            programs[k]->SetMatrix("matWorldToLight", &worldToLight);
            programs[k]->SetMatrix("matLightProjection", &cubeFaceProjection);
            programs[k]->SetFloat3("v3LightPosition", eye);
        }
        return true;
    }
    default: return false;
    }
}

template <>
void Renderer3DBase<GBuffer>::Render(const Brivet::RenderContext& context)
{
    if (!defaultShader || defaultShader->passes.GetCount() == 0 || !output || !chunk)
        return;
    // The layers are lent only while the G-buffer is acquired: without them the draws
    // would land in whatever the last draw left bound.
    if (output->GetUseCount() == 0)
        return;

    RenderChunk::CameraBlock used;
    if (UpdateCamera(context, &used))
        output->camera = used;
    PrepareShadowRecords();
    // After the records: a shadow command whose record has no target is not built (it
    // would draw its casters into the layers).
    BuildCommands();

    // Each shadow target is drawn in one run, so it is cleared once per frame whatever
    // pass indices its effects draw it in.
    if (commands.GetCount() > 1)
        qsort(commands.GetData(), commands.GetCount(), sizeof(Command), &CompareByShadowTarget);

    // Parameter values of the default shader and of every entry's own state
    UpdateShaderStates(context.time);

    output->Bind(ExistingDepth());
    RenderCommands();
}

template class Renderer3DBase<GBuffer>;
