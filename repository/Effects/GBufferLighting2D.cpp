// GBufferLighting2D: the light volumes, layouts and states, the declarations, and the
// passes drawn light by light with each light's constants and shadow views.
#include "repository/Effects/GBufferLighting2D.h"

#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/TextureCube.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"
#include "repository/Effects/Layer2D.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/RenderChunk.h"
#include "repository/Resources/Texture.h"

#include <d3d11.h>

#include <cmath>

using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Graphics::Program;
using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace
{
const D3D11_INPUT_ELEMENT_DESC PositionLayout[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
};

const float Pi = 3.14159265358979f;

float* Put(float* xyz, float x, float y, float z)
{
    xyz[0] = x;
    xyz[1] = y;
    xyz[2] = z;
    return xyz + 3;
}

D3DXVECTOR3 PositionOf(const D3DXMATRIX& lightToWorld)
{
    return D3DXVECTOR3(lightToWorld._41, lightToWorld._42, lightToWorld._43);
}

HRESULT CreateVertexBuffer(ID3D11Device* device, const void* data, uint32_t bytes, ID3D11Buffer** buffer)
{
    *buffer = nullptr;
    if (!device)
        return E_POINTER;
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = bytes;
    desc.Usage = D3D11_USAGE_IMMUTABLE;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    D3D11_SUBRESOURCE_DATA initial = {};
    initial.pSysMem = data;
    return device->CreateBuffer(&desc, &initial, buffer);
}

void CreateDepthState(ID3D11Device* device, D3D11_COMPARISON_FUNC test, ID3D11DepthStencilState** state)
{
    D3D11_DEPTH_STENCIL_DESC desc = {};
    desc.DepthEnable = TRUE;
    desc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ZERO;
    desc.DepthFunc = test;
    desc.StencilEnable = FALSE;
    desc.StencilReadMask = D3D11_DEFAULT_STENCIL_READ_MASK;
    desc.StencilWriteMask = D3D11_DEFAULT_STENCIL_WRITE_MASK;
    const D3D11_DEPTH_STENCILOP_DESC face = {D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP,
                                             D3D11_COMPARISON_ALWAYS};
    desc.FrontFace = face;
    desc.BackFace = face;
    device->CreateDepthStencilState(&desc, state);
}

void CreateRasterizerState(ID3D11Device* device, D3D11_CULL_MODE cull, ID3D11RasterizerState** state)
{
    D3D11_RASTERIZER_DESC desc = {};
    desc.FillMode = D3D11_FILL_SOLID;
    desc.CullMode = cull;
    desc.FrontCounterClockwise = FALSE;
    desc.DepthClipEnable = TRUE;
    device->CreateRasterizerState(&desc, state);
}

// The data of a light whose G-buffer record is missing, for drawing it unshadowed.
GBuffer::ShadowMap MapRecordOf(const RenderChunk::SpotLight& light, uint32_t index)
{
    GBuffer::ShadowMap record = {};
    record.lightType = RenderChunk::LightSpot;
    record.lightIndex = index;
    record.enabled = 1;
    D3DXMatrixPerspectiveFovLH(&record.lightProjection, light.outerCone, 1.0f, 0.1f, 25000.0f);
    record.lightToWorld = light.lightToWorld;
    record.colour = light.colour;
    record.spot = 1;
    record.coneAngle = light.outerCone;
    record.coneRatio = light.outerCone != 0.0f ? light.innerCone / light.outerCone : 0.0f;
    return record;
}

GBuffer::ShadowMap MapRecordOf(const RenderChunk::DirectionalLight& light, uint32_t index)
{
    GBuffer::ShadowMap record = {};
    record.lightType = RenderChunk::LightDirectional;
    record.lightIndex = index;
    record.enabled = 1;
    D3DXMatrixIdentity(&record.lightProjection);
    D3DXMatrixIdentity(&record.lightToWorld);
    record.direction = light.direction;
    record.colour = light.colour;
    return record;
}

GBuffer::ShadowCube CubeRecordOf(uint32_t type, uint32_t index, const D3DXMATRIX& lightToWorld,
                                 const D3DXVECTOR3& attenuation, const D3DXVECTOR3& colour, float radius)
{
    GBuffer::ShadowCube record = {};
    record.lightType = type;
    record.lightIndex = index;
    record.enabled = 1;
    record.lightToWorld = lightToWorld;
    record.attenuation = attenuation;
    record.colour = colour;
    record.radius = radius;
    return record;
}

GBuffer::ShadowCube CubeRecordOf(const RenderChunk::PointLight& light, uint32_t index)
{
    return CubeRecordOf(RenderChunk::LightPoint, index, light.lightToWorld, light.attenuation, light.colour,
                        light.radius);
}

GBuffer::ShadowCube CubeRecordOf(const RenderChunk::AreaSphereLight& light, uint32_t index)
{
    return CubeRecordOf(RenderChunk::LightAreaSphere, index, light.lightToWorld, light.attenuation, light.colour,
                        light.renderRadius);
}

// The radius a light's volume must reach: an area-sphere light's render radius bounds
// it, its light radius shades.
float CoverageOf(const RenderChunk::PointLight& light)
{
    return light.radius;
}

float CoverageOf(const RenderChunk::AreaSphereLight& light)
{
    return light.renderRadius;
}

void SetLightRadius(Program* program, const RenderChunk::PointLight& light) {}

void SetLightRadius(Program* program, const RenderChunk::AreaSphereLight& light)
{
    program->SetFloat("fAreaLightRadius", light.lightRadius);
}

ID3D11ShaderResourceView* ViewOf(const Brivet::Graphics::ITexture* texture)
{
    return texture ? texture->GetShaderResourceView() : nullptr;
}
} // namespace

GBufferLighting2D::GBufferLighting2D(Brivet::Demo* demo)
    : IEffect(demo), quadBuffer(nullptr), sphereBuffer(nullptr), coneBuffer(nullptr), positionLayout(nullptr),
      quadLayout(nullptr), cullBackState(nullptr), outsideDepthState(nullptr), cullFrontState(nullptr),
      insideDepthState(nullptr), shader(nullptr), chunk(nullptr), gbuffer(nullptr), output(nullptr), hasInvView(0),
      hasInvProjection(0), hasDepthTexture(0), viewsBoundFor(nullptr), reportedMissingRecord(false),
      reportedNoTarget(false)
{
}

GBufferLighting2D::~GBufferLighting2D()
{
    SafeRelease(quadBuffer);
    SafeRelease(sphereBuffer);
    SafeRelease(coneBuffer);
    SafeRelease(positionLayout);
    SafeRelease(quadLayout);
    SafeRelease(cullBackState);
    SafeRelease(outsideDepthState);
    SafeRelease(cullFrontState);
    SafeRelease(insideDepthState);
}

void GBufferLighting2D::BuildSphere(float* xyz)
{
    auto point = [](float phi, float theta, float* at) {
        return Put(at, cosf(phi) * cosf(theta), cosf(phi) * sinf(theta), sinf(phi));
    };
    for (int j = 0; j < 8; ++j)
    {
        const float theta0 = j * 0.125f * Pi * 2.0f;
        const float theta1 = (j + 1) * 0.125f * Pi * 2.0f;
        for (int k = 0; k < 8; ++k)
        {
            const float phi0 = k * 0.125f * Pi - Pi / 2.0f;
            const float phi1 = (k + 1) * 0.125f * Pi - Pi / 2.0f;
            xyz = point(phi0, theta0, xyz);
            xyz = point(phi0, theta1, xyz);
            xyz = point(phi1, theta1, xyz);
            xyz = point(phi0, theta0, xyz);
            xyz = point(phi1, theta1, xyz);
            xyz = point(phi1, theta0, xyz);
        }
    }
}

void GBufferLighting2D::BuildCone(float* xyz)
{
    const float step = 0.62831855f; // 2π / 10
    for (int i = 0; i < 10; ++i)
    {
        const float a0 = i * step;
        const float a1 = (i + 1) * step;
        // A side triangle from the apex, then a cap triangle to the base's centre
        xyz = Put(xyz, 0.0f, 0.0f, 0.0f);
        xyz = Put(xyz, sinf(a0), cosf(a0), 1.0f);
        xyz = Put(xyz, sinf(a1), cosf(a1), 1.0f);
        xyz = Put(xyz, sinf(a1), cosf(a1), 1.0f);
        xyz = Put(xyz, sinf(a0), cosf(a0), 1.0f);
        xyz = Put(xyz, 0.0f, 0.0f, 1.0f);
    }
}

bool GBufferLighting2D::Initialize()
{
    ID3D11Device* device = demo ? demo->system.GetDevice() : nullptr;

    // Geometry
    float sphere[SphereVertexCount * 3];
    float cone[ConeVertexCount * 3];
    BuildSphere(sphere);
    BuildCone(cone);
    SafeRelease(quadBuffer);
    SafeRelease(sphereBuffer);
    SafeRelease(coneBuffer);
    HRESULT hr = CreateVertexBuffer(device, Layer2D::QuadVertices, sizeof(Layer2D::QuadVertices), &quadBuffer);
    if (SUCCEEDED(hr))
        hr = CreateVertexBuffer(device, sphere, sizeof(sphere), &sphereBuffer);
    if (SUCCEEDED(hr))
        hr = CreateVertexBuffer(device, cone, sizeof(cone), &coneBuffer);
    if (FAILED(hr))
    {
        Log::Error("[GBufferLighting2D] CreateBuffer failed: %08X", (unsigned)hr);
        return false;
    }

    if (!RebuildInputLayouts())
        return false;

    // States: outside a volume its front faces are drawn in front of the scene, inside
    // it its back faces behind the scene.
    SafeRelease(outsideDepthState);
    SafeRelease(cullBackState);
    SafeRelease(insideDepthState);
    SafeRelease(cullFrontState);
    CreateDepthState(device, D3D11_COMPARISON_LESS, &outsideDepthState);
    CreateRasterizerState(device, D3D11_CULL_BACK, &cullBackState);
    CreateDepthState(device, D3D11_COMPARISON_GREATER, &insideDepthState);
    CreateRasterizerState(device, D3D11_CULL_FRONT, &cullFrontState);

    Declare();
    return true;
}

bool GBufferLighting2D::RebuildInputLayouts()
{
    SafeRelease(quadLayout);
    SafeRelease(positionLayout);
    if (!shader || shader->passes.GetCount() == 0)
        return true;

    // Each layout from the first pass that draws with it, not both from the first pass: a
    // full-screen pass whose stage reads a texture coordinate does not fit the volumes.
    const bool quad = BuildInputLayout(false, Layer2D::QuadLayout, 2, &quadLayout,
                                       "[GBufferLighting2D] CreateInputLayout 1 failed: %08X");
    const bool position = BuildInputLayout(true, PositionLayout, 1, &positionLayout,
                                           "[GBufferLighting2D] CreateInputLayout 2 failed: %08X");
    return quad && position;
}

bool GBufferLighting2D::BuildInputLayout(bool volume, const D3D11_INPUT_ELEMENT_DESC* elements, uint32_t count,
                                         ID3D11InputLayout** layout, const char* failure)
{
    uint32_t pass = 0;
    while (pass < shader->passes.GetCount() && !DrawsWith(shader->passes[pass].lightType, volume))
        ++pass;
    // No pass draws with this layout: none is needed.
    if (pass == shader->passes.GetCount())
        return true;

    Program* program = shader->GetProgram(pass);
    ID3D10Blob* byteCode = program ? program->GetVertexShader()->GetByteCode() : nullptr;
    ID3D11Device* device = demo ? demo->system.GetDevice() : nullptr;
    // A pass without a vertex stage has no signature to match the layout against.
    HRESULT hr = E_INVALIDARG;
    if (device && byteCode)
        hr = device->CreateInputLayout(elements, count, byteCode->GetBufferPointer(), byteCode->GetBufferSize(), layout);
    if (FAILED(hr))
    {
        Log::Error(failure, (unsigned)hr);
        *layout = nullptr;
        return false;
    }
    return true;
}

bool GBufferLighting2D::DrawsWith(uint32_t lightType, bool volume)
{
    switch (lightType)
    {
    case RenderChunk::LightAmbient:
    case RenderChunk::LightDirectional:
    case RenderChunk::LightAreaTube: return !volume;
    case RenderChunk::LightPoint:
    case RenderChunk::LightSpot:
    case RenderChunk::LightAreaSphere: return volume;
    default: return false; // draws nothing
    }
}

void GBufferLighting2D::OnInputsChanged()
{
    // The graph binds only resources of an input's type.
    Input* input = nullptr;
    shader = inputs.Find(StaticString<64>("Shader"), &input) ? static_cast<Effect*>(input->bound) : nullptr;
    gbuffer = inputs.Find(StaticString<64>("GBuffer"), &input) ? static_cast<GBuffer*>(input->bound) : nullptr;
    chunk = inputs.Find(StaticString<64>("Render Chunk"), &input) ? static_cast<RenderChunk*>(input->bound) : nullptr;
    RebuildInputLayouts();
    Declare();
    if (shader)
        shaderState.ResolveInputs(this, shader);
}

void GBufferLighting2D::Declare()
{
    RetireParameters();
    RetireInputs();
    outputTypeName = StaticString<64>("texture");
    DeclareInput(StaticString<64>("Shader"), StaticString<64>("effect"));
    DeclareInput(StaticString<64>("GBuffer"), StaticString<64>("gbuffer"));
    DeclareInput(StaticString<64>("Render Chunk"), StaticString<64>("RenderChunk"));
    if (!shader)
        return;
    hasInvView = shader->HasVariable("matInvView") ? 1 : 0;
    hasInvProjection = shader->HasVariable("matInvProjection") ? 1 : 0;
    hasDepthTexture = shader->HasVariable("texDepth") ? 1 : 0;
    shaderState.Declare(String(""), this, shader);
}

void GBufferLighting2D::OnResize()
{
    if (shader)
        shaderState.ResolveInputs(this, shader);
}

void GBufferLighting2D::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    output = resource;
}

Brivet::Assets::Resource::IResource* GBufferLighting2D::GetOutput()
{
    return output;
}

void GBufferLighting2D::Render(const Brivet::RenderContext& context)
{
    Texture* target = Layer2D::AsTexture(output);
    if (!shader || shader->passes.GetCount() == 0 || !target || !chunk || !gbuffer)
        return;

    // Parameter values into every program of every pass
    const uint32_t passCount = shader->passes.GetCount();
    const uint32_t programCount = shader->GetProgramCount();
    for (uint32_t i = 0; i < passCount; ++i)
    {
        Program** programs = shader->passes[i].programs;
        for (uint32_t k = 0; programs && k < programCount; ++k)
            shaderState.Update(programs[k], context.time);
    }

    const RenderChunk::CameraBlock& camera = gbuffer->camera;
    D3DXMATRIX inverseView, inverseProjection;
    D3DXMatrixInverse(&inverseView, nullptr, &camera.view);
    D3DXMatrixInverse(&inverseProjection, nullptr, &camera.projection);
    for (uint32_t i = 0; i < passCount; ++i)
    {
        // States, samplers, program; targets: with the G-buffer's depth buffer to test the
        // volumes against, unless the shader reads it as a texture.
        shader->BeginPass(i);
        Brivet::Graphics::DepthStencil* depth = hasDepthTexture ? nullptr : gbuffer->depthTarget;
        if (!Layer2D::BindDrawTargets(shader, i, target, depth))
        {
            // Drawing on would land in whatever the last draw left bound.
            if (!reportedNoTarget)
                Log::Warning("[GBufferLighting2D] '%s': pass %u has no render target to draw into", name.GetText(), i);
            reportedNoTarget = true;
            shader->EndPass();
            continue;
        }

        // The G-buffer's camera on every variation program; the views go to the program
        // that draws each light (CurrentProgram), not to every variation's: the slots bound
        // last would be another program's.
        viewsBoundFor = nullptr;
        Program** programs = shader->passes[i].programs;
        for (uint32_t k = 0; programs && k < programCount; ++k)
        {
            Program* program = programs[k];
            program->SetMatrix("matView", &camera.view);
            program->SetMatrix("matProjection", &camera.projection);
            if (hasInvView)
                program->SetMatrix("matInvView", &inverseView);
            if (hasInvProjection)
                program->SetMatrix("matInvProjection", &inverseProjection);
            program->SetFloat4("v4CameraPosition", camera.position);
            program->SetFloat3("v3AmbientLightColor", gbuffer->ambient.colour);
        }

        DrawLights(i);
        shader->EndPass();
    }

    ID3D11DeviceContext* device = demo->system.GetContext();
    device->OMSetDepthStencilState(outsideDepthState, 1);
    device->RSSetState(cullBackState);
}

void GBufferLighting2D::BindViews(uint32_t pass, Program* program)
{
    shader->BindSamplers(pass);
    shader->BindInternalTextures(pass);
    for (const GBuffer::Layer& layer : gbuffer->layers)
        ReflectedShaderState::BindView(program, layer.name.GetText(), ViewOf(layer.target));
    if (hasDepthTexture)
        ReflectedShaderState::BindView(program, "texDepth", ViewOf(gbuffer->depthTarget));
    shaderState.BindResources(program);
}

Program* GBufferLighting2D::SelectVariation(uint32_t pass, bool shadowed)
{
    const uint32_t bit = shader->GetVariationBit("ENABLE_SHADOWS");
    shader->currentVariation = shadowed ? (shader->currentVariation | bit) : (shader->currentVariation & ~bit);
    return CurrentProgram(pass);
}

Program* GBufferLighting2D::CurrentProgram(uint32_t pass)
{
    Program* program = shader->GetProgram(pass);
    // Variations may give a name different slots: the views go to the drawing program last.
    if (program && program != viewsBoundFor)
    {
        BindViews(pass, program);
        viewsBoundFor = program;
    }
    return program;
}

bool GBufferLighting2D::BindQuad(uint32_t pass)
{
    if (!quadLayout)
        return false;
    // A state the pass defines itself is kept, as for directional lights.
    const Effect::Pass& own = shader->passes[pass];
    ID3D11DeviceContext* device = demo->system.GetContext();
    if (!own.depthStencilState)
        device->OMSetDepthStencilState(outsideDepthState, 1);
    if (!own.rasterizerState)
        device->RSSetState(cullBackState);
    const UINT stride = Layer2D::VertexStride;
    const UINT offset = 0;
    device->IASetInputLayout(quadLayout);
    device->IASetVertexBuffers(0, 1, &quadBuffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    return true;
}

bool GBufferLighting2D::BindVolume(ID3D11Buffer* buffer)
{
    if (!positionLayout)
        return false;
    ID3D11DeviceContext* device = demo->system.GetContext();
    const UINT stride = VolumeStride;
    const UINT offset = 0;
    device->IASetInputLayout(positionLayout);
    device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    return true;
}

void GBufferLighting2D::DrawLights(uint32_t pass)
{
    RenderChunk& lights = *chunk;
    switch (shader->passes[pass].lightType)
    {
    case RenderChunk::LightAmbient:
        if (BindQuad(pass))
            Draw(CurrentProgram(pass), Layer2D::VertexCount);
        break;
    case RenderChunk::LightDirectional:
        if (BindQuad(pass))
            DrawMapLights(pass, lights.directionalLights, Layer2D::VertexCount);
        break;
    case RenderChunk::LightSpot:
        if (BindVolume(coneBuffer))
            DrawMapLights(pass, lights.spotLights, ConeVertexCount);
        break;
    case RenderChunk::LightPoint:
        if (BindVolume(sphereBuffer))
            DrawCubeLights(pass, lights.pointLights);
        break;
    case RenderChunk::LightAreaSphere:
        if (BindVolume(sphereBuffer))
            DrawCubeLights(pass, lights.areaSphereLights);
        break;
    case RenderChunk::LightAreaTube:
        if (!BindQuad(pass))
            break;
        for (const RenderChunk::AreaTubeLight& light : lights.areaTubeLights)
        {
            if (!light.enabled)
                continue;
            Program* program = SelectVariation(pass, false);
            if (!program)
                continue;
            program->SetFloat3("v3TubeLightPosition1", light.start);
            program->SetFloat3("v3TubeLightPosition2", light.end);
            program->SetFloat3("v3LightColor", light.colour);
            program->SetFloat("fAreaLightRadius", light.radius);
            Draw(program, Layer2D::VertexCount);
        }
        break;
    default: break; // no light type: the pass draws nothing
    }
}

template <typename Record>
const Record* GBufferLighting2D::InUse(const Record* record, uint32_t type, uint32_t index)
{
    // A record not in use this frame holds another frame's light (or another chunk's).
    if (record && record->enabled)
        return record;
    ReportMissingRecord(type, index);
    return nullptr;
}

template <typename Light>
void GBufferLighting2D::DrawMapLights(uint32_t pass, const Brivet::Base::Array<Light>& lights, uint32_t vertexCount)
{
    for (uint32_t i = 0; i < lights.GetCount(); ++i)
    {
        const Light& light = lights[i];
        if (!light.enabled)
            continue;
        const GBuffer::ShadowMap* record = InUse(gbuffer->FindShadowMap(light.GetType(), i), light.GetType(), i);
        const bool shadowed = record && light.CastsShadow() && record->colourTarget;
        Draw(SetMapLight(pass, record ? *record : MapRecordOf(light, i), shadowed), vertexCount);
    }
}

template <typename Light>
void GBufferLighting2D::DrawCubeLights(uint32_t pass, const Brivet::Base::Array<Light>& lights)
{
    for (uint32_t i = 0; i < lights.GetCount(); ++i)
    {
        const Light& light = lights[i];
        if (!light.enabled)
            continue;
        const GBuffer::ShadowCube* record = InUse(gbuffer->FindShadowCube(light.GetType(), i), light.GetType(), i);
        const bool shadowed = record && light.CastsShadow() && record->target;
        Program* program = SetCubeLight(pass, record ? *record : CubeRecordOf(light, i), shadowed, CoverageOf(light));
        if (program)
            SetLightRadius(program, light);
        Draw(program, SphereVertexCount);
    }
}

Program* GBufferLighting2D::SetMapLight(uint32_t pass, const GBuffer::ShadowMap& record, bool shadowed)
{
    Program* program = SelectVariation(pass, shadowed);
    if (!program)
        return nullptr;
    ReflectedShaderState::BindView(program, "texShadowmap", shadowed ? ViewOf(record.colourTarget) : nullptr);
    D3DXMATRIX worldToLight;
    D3DXMatrixInverse(&worldToLight, nullptr, &record.lightToWorld);
    program->SetMatrix("matWorldToLight", &worldToLight);
    program->SetMatrix("matLightToWorld", &record.lightToWorld);
    program->SetMatrix("matLightProjection", &record.lightProjection);

    // A spot light draws its cone's back faces behind the scene, wherever the camera is.
    const Effect::Pass& own = shader->passes[pass];
    ID3D11DeviceContext* device = demo->system.GetContext();
    if (!own.depthStencilState)
        device->OMSetDepthStencilState(record.spot ? insideDepthState : outsideDepthState, 1);
    if (!own.rasterizerState)
        device->RSSetState(record.spot ? cullFrontState : cullBackState);
    if (record.spot)
    {
        program->SetFloat("fLightConeAngle", record.coneAngle);
        program->SetFloat("fLightConeRatio", record.coneRatio);
    }
    program->SetBool("bEnablePenumbra", record.spot != 0);

    program->SetFloat3("v3LightPosition", PositionOf(record.lightToWorld));
    program->SetFloat3("v3LightAttenuation", record.attenuation);
    program->SetFloat3("v3LightDirection", record.direction);
    program->SetFloat3("v3LightColor", record.colour);
    return program;
}

Program* GBufferLighting2D::SetCubeLight(uint32_t pass, const GBuffer::ShadowCube& record, bool shadowed,
                                         float coverage)
{
    Program* program = SelectVariation(pass, shadowed);
    if (!program)
        return nullptr;

    // Inside the volume (or so near its surface that the near plane may cut it) its back
    // faces are drawn behind the scene; outside it its front faces in front of the scene.
    const RenderChunk::CameraBlock& camera = gbuffer->camera;
    const D3DXVECTOR3 position = PositionOf(record.lightToWorld);
    const float dx = position.x - camera.position.x;
    const float dy = position.y - camera.position.y;
    const float dz = position.z - camera.position.z;
    const float distance = sqrtf(dx * dx + dy * dy + dz * dz);
    if (camera.nearPlane > fabsf(coverage - distance))
        coverage += 2.0f * camera.nearPlane;
    const bool inside = coverage > distance;
    ID3D11DeviceContext* device = demo->system.GetContext();
    device->OMSetDepthStencilState(inside ? insideDepthState : outsideDepthState, 1);
    device->RSSetState(inside ? cullFrontState : cullBackState);

    program->SetFloat("fLightCoverageRadius", coverage);
    ReflectedShaderState::BindView(program, "texShadowmapCube", shadowed ? ViewOf(record.target) : nullptr);
    program->SetMatrix("matLightToWorld", &record.lightToWorld);
    program->SetFloat3("v3LightPosition", position);
    program->SetFloat3("v3LightAttenuation", record.attenuation);
    program->SetFloat3("v3LightColor", record.colour);
    return program;
}

void GBufferLighting2D::ReportMissingRecord(uint32_t type, uint32_t index)
{
    if (reportedMissingRecord)
        return;
    reportedMissingRecord = true;
    Log::Warning("[GBufferLighting2D] '%s': the G-buffer holds no record of light %u of type %u (drawn from another "
                 "chunk?); such lights are drawn unshadowed",
                 name.GetText(), index, type);
}

void GBufferLighting2D::Draw(Program* program, uint32_t vertexCount)
{
    if (!program)
        return;
    program->Bind();
    demo->system.GetContext()->Draw(vertexCount, 0);
}
