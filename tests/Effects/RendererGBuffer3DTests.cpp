// RendererGBuffer3D on a real device: the shadow records it keeps for the chunk's lights,
// the camera and ambient colour it records, its draws into the layers and named layers,
// the shadow passes into shadow maps and cube faces with the light constants, one clear
// per shadow target and frame, shadow commands without a target left out, finite records
// for degenerate lights, and a pool whose size holds while lights start and stop casting.
#include "Render3DFixture.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/RenderTargetPool.h"
#include "Graphics/TextureCube.h"
#include "Rendering/MathRoutines.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Effects/RendererGBuffer3D.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/GBufferFactory.h"
#include "repository/Resources/Texture.h"
#include "Parameters/Parameter.h"

#include "LogCapture.h"
#include "MathAssertions.h"
#include "windows/DeviceFixture.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Graphics::RenderTargetPool;

namespace
{
// Two layers (a colour the pixel stage writes and the world position) and small shadow targets.
const std::string TwoLayers = "<resource><gbuffer shadowSize=\"32\" shadowCubeSize=\"16\">"
                              "<layer name=\"texDiffuse\" format=\"R8G8B8A8_UNORM\"/>"
                              "<layer name=\"texPosition\" format=\"R32G32B32A32_FLOAT\"/></gbuffer></resource>";

// An effect whose passes are given as "pass" elements; every pass culls nothing and tests
// and writes depth. The normal pass writes v4Colour and the world position; the shadow
// passes write the light-space depth (z of matWorldToLight) into the first channel.
std::string GBufferShader(const std::string& passes)
{
    return "/*\n<metadata><passes>" + passes +
           "</passes></metadata>\n*/\n"
           "cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection;\n"
           "  float4x4 matWorldToLight; float4x4 matLightProjection; float3 v3LightPosition; bool bEnablePenumbra;\n"
           "  float4 v4Colour; };\n"
           "struct VS_INPUT { float3 Pos : POSITION; };\n"
           "struct VS_OUTPUT { float4 Pos : SV_POSITION; float4 World : TEXCOORD0; };\n"
           "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out;\n"
           "  Out.World = mul(matWorld, float4(In.Pos, 1));\n"
           "  Out.Pos = mul(matProjection, mul(matView, Out.World)); return Out; }\n"
           "struct PS_OUTPUT { float4 Diffuse : SV_TARGET0; float4 Position : SV_TARGET1; };\n"
           "PS_OUTPUT ps_main(VS_OUTPUT In) { PS_OUTPUT Out; Out.Diffuse = v4Colour;\n"
           "  Out.Position = float4(In.World.xyz, 1); return Out; }\n"
           "struct SHADOW_OUTPUT { float4 Pos : SV_POSITION; float Depth : TEXCOORD0; };\n"
           "SHADOW_OUTPUT vs_shadow(VS_INPUT In) { SHADOW_OUTPUT Out;\n"
           "  float4 l = mul(matWorldToLight, mul(matWorld, float4(In.Pos, 1)));\n"
           "  Out.Pos = mul(matLightProjection, l) + 0 * float4(v3LightPosition, bEnablePenumbra);\n"
           "  Out.Depth = l.z; return Out; }\n"
           "float4 ps_shadow(SHADOW_OUTPUT In) : SV_TARGET { return float4(In.Depth, 1, 0, 1); }\n"
           // A stage that ignores every matrix: the plane fills the target.
           "SHADOW_OUTPUT vs_flat(VS_INPUT In) { SHADOW_OUTPUT Out; Out.Pos = float4(In.Pos.xy, 0.5, 1);\n"
           "  Out.Depth = 1; return Out; }\n"
           "float4 ps_blue(SHADOW_OUTPUT In) : SV_TARGET0 { return float4(0, 0, 1, 1); }\n";
}

std::string Pass(const char* type, const char* vs, const char* ps)
{
    std::string pass = std::string("<pass name=\"") + ps + "\"";
    if (*type)
        pass += std::string(" type=\"") + type + "\"";
    return pass + " vs=\"" + vs + "\" ps=\"" + ps +
           "\"><rasterizer cullMode=\"none\"/><depth read=\"true\" write=\"true\"/></pass>";
}

const std::string Normal = Pass("", "vs_main", "ps_main");
const std::string ShadowMap = Pass("shadow", "vs_shadow", "ps_shadow");
const std::string ShadowCube = Pass("shadowcube", "vs_shadow", "ps_shadow");

struct Rig
{
    std::unique_ptr<Brivet::Compositing::Graph> graph;
    RendererGBuffer3D* renderer = nullptr;
    GBuffer* gbuffer = nullptr;

    Effect* File(uint32_t index) const { return FileOf(graph.get(), index); }

    void Bind(RenderChunk* chunk) const
    {
        renderer->SetInput(Brivet::Base::StaticString<64>("Input 1"), chunk);
        renderer->OnInputsChanged();
        renderer->OnInputsResolved();
    }

    // One frame as the graph gives it: acquired, cleared, drawn; the caller releases.
    void Draw(float t = 0.0f) const
    {
        gbuffer->AcquireTarget();
        gbuffer->Invalidate();
        renderer->Render(Brivet::RenderContext::ForTime(t));
    }
};

Rig LoadRig(std::initializer_list<const char*> files, const std::string& resource = TwoLayers)
{
    Rig rig;
    rig.graph = LoadRendererNodes(files, "1:1", "RendererGBuffer3D", resource);
    if (rig.graph)
        rig.renderer = static_cast<RendererGBuffer3D*>(EffectOf(*rig.graph, 10));
    if (rig.renderer)
        rig.gbuffer = static_cast<GBuffer*>(rig.renderer->GetOutput());
    if (!rig.gbuffer)
    {
        ADD_FAILURE() << "no G-buffer renderer";
        rig.graph.reset();
    }
    return rig;
}

ID3D11Texture2D* Native(Brivet::Graphics::ITexture* texture)
{
    return texture ? static_cast<ID3D11Texture2D*>(texture->GetResource()) : nullptr;
}

// The channels of each texel of a float texture's subresource, texel after texel.
std::vector<float> Texels(Brivet::Graphics::ITexture* texture, uint32_t subresource, uint32_t channels)
{
    const std::vector<uint8_t> bytes =
        WindowsTest::ReadSubresource(SharedDemo()->system, Native(texture), subresource, channels * 4);
    std::vector<float> values(bytes.size() / 4);
    if (!values.empty())
        memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

// The first channel of each texel.
std::vector<float> FirstChannel(Brivet::Graphics::ITexture* texture, uint32_t subresource, uint32_t channels)
{
    const std::vector<float> all = Texels(texture, subresource, channels);
    std::vector<float> first;
    for (size_t i = 0; i < all.size(); i += channels)
        first.push_back(all[i]);
    return first;
}

// The subresource of level 0 of a cube face.
uint32_t FaceSubresource(Brivet::Graphics::TextureCube* cube, uint32_t face)
{
    D3D11_TEXTURE2D_DESC desc = {};
    cube->GetTexture()->GetDesc(&desc);
    return face * desc.MipLevels;
}

template <typename Light>
Light Caster(bool casts)
{
    Light light;
    light.enabled = 1;
    light.castsShadow = casts ? 1 : 0;
    return light;
}

RenderChunk::SpotLight Spot(const D3DXVECTOR3& position, const D3DXVECTOR3& target, bool casts)
{
    RenderChunk::SpotLight light = Caster<RenderChunk::SpotLight>(casts);
    light.outerCone = 1.5707964f;
    light.innerCone = 0.5f;
    light.colour = D3DXVECTOR3(1.0f, 0.5f, 0.25f);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    Brivet::Rendering::LookAtOrientation(&light.lightToWorld, &position, &target, &up);
    return light;
}

RenderChunk::PointLight Point(const D3DXVECTOR3& position, bool casts)
{
    RenderChunk::PointLight light = Caster<RenderChunk::PointLight>(casts);
    light.lightToWorld = Translation(position.x, position.y, position.z);
    light.attenuation = D3DXVECTOR3(1.0f, 0.5f, 0.0f);
    light.colour = D3DXVECTOR3(0.5f, 0.5f, 1.0f);
    light.radius = 30.0f;
    return light;
}

bool Finite(const D3DXMATRIX& m)
{
    for (int i = 0; i < 16; ++i)
    {
        if (!std::isfinite(m.m[i / 4][i % 4]))
            return false;
    }
    return true;
}

uint32_t InUse()
{
    uint32_t count = 0;
    for (const auto& entry : SharedDemo()->renderTargetPool.GetEntries())
        count += entry.inUse ? 1 : 0;
    return count;
}

// Whether the pool lends a target of that description now.
bool Lent(uint32_t width, uint32_t height, uint32_t type, uint32_t format, uint32_t flags)
{
    for (const auto& entry : SharedDemo()->renderTargetPool.GetEntries())
    {
        if (entry.inUse && entry.width == width && entry.height == height && entry.depth == 0 && entry.type == type &&
            entry.format == format && entry.flags == flags)
            return true;
    }
    return false;
}

class RendererGBuffer3DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
    }

    RenderChunk chunk{nullptr, nullptr};
    TestPlane plane{false};
};

TEST_F(RendererGBuffer3DTest, ShadowRecordsFollowTheChunksLightsInOrder)
{
    Archive().entries["gb/default.fx"] = GBufferShader(Normal);
    Rig rig = LoadRig({"gb/default.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    EXPECT_STREQ(rig.renderer->outputTypeName.GetText(), "gbuffer");
    chunk.camera = CameraAt(1.0f, 2.0f, -5.0f);
    const RenderChunk::SpotLight spot0 = Spot(D3DXVECTOR3(0, 3, -3), D3DXVECTOR3(0, 0, 0), true);
    chunk.spotLights.Add(spot0);
    chunk.spotLights.Add(Spot(D3DXVECTOR3(2, 3, -3), D3DXVECTOR3(0, 0, 0), false));
    RenderChunk::DirectionalLight sun = Caster<RenderChunk::DirectionalLight>(true);
    sun.direction = D3DXVECTOR3(0.0f, -3.0f, 4.0f);
    sun.shadowSourceDistance = 50.0f;
    sun.shadowSize = D3DXVECTOR2(40.0f, 30.0f);
    sun.colour = D3DXVECTOR3(0.9f, 0.8f, 0.7f);
    chunk.directionalLights.Add(sun);
    chunk.pointLights.Add(Point(D3DXVECTOR3(4, 5, 6), true));
    RenderChunk::AreaSphereLight sphere = Caster<RenderChunk::AreaSphereLight>(false);
    sphere.renderRadius = 70.0f;
    chunk.areaSphereLights.Add(sphere);
    sphere.castsShadow = 1;
    sphere.enabled = 0; // a disabled light casts nothing
    chunk.areaSphereLights.Add(sphere);
    chunk.ambient.priority = RenderChunk::PriorityEffect;
    chunk.ambient.colour = D3DXVECTOR3(0.1f, 0.2f, 0.3f);
    rig.Bind(&chunk);

    rig.Draw();
    GBuffer& g = *rig.gbuffer;

    // Shadow maps: the spot lights, then the directional light.
    ASSERT_EQ(g.shadowMaps.GetCount(), 3u);
    const uint32_t mapTypes[] = {4, 4, 2};
    const uint32_t mapIndices[] = {0, 1, 0};
    const uint8_t mapCasts[] = {1, 0, 1};
    for (uint32_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(g.shadowMaps[i].lightType, mapTypes[i]);
        EXPECT_EQ(g.shadowMaps[i].lightIndex, mapIndices[i]);
        EXPECT_EQ(g.shadowMaps[i].enabled, 1);
        EXPECT_EQ(g.shadowMaps[i].castsShadow, mapCasts[i]);
        EXPECT_EQ(g.shadowMaps[i].colourTarget != nullptr, mapCasts[i] != 0);
        EXPECT_EQ(g.shadowMaps[i].depthTarget != nullptr, mapCasts[i] != 0);
    }
    EXPECT_EQ(g.FindShadowMap(RenderChunk::LightDirectional, 0), &g.shadowMaps[2]);
    EXPECT_EQ(g.FindShadowMap(RenderChunk::LightSpot, 2), nullptr);

    const GBuffer::ShadowMap& s = g.shadowMaps[0];
    D3DXMATRIX expected;
    EXPECT_TRUE(
        MatrixNear(s.lightProjection, *D3DXMatrixPerspectiveFovLH(&expected, 1.5707964f, 1.0f, 0.1f, 25000.0f)));
    EXPECT_TRUE(MatrixNear(s.lightToWorld, spot0.lightToWorld));
    EXPECT_EQ(s.spot, 1);
    EXPECT_EQ(s.coneAngle, 1.5707964f);
    EXPECT_FLOAT_EQ(s.coneRatio, 0.5f / 1.5707964f);
    EXPECT_EQ(s.colour, spot0.colour);
    EXPECT_EQ(s.colourTarget->GetWidth(), 32u);
    EXPECT_EQ(s.colourTarget->GetFormat(), 16u);

    // The directional light's map follows the camera from the source distance.
    const GBuffer::ShadowMap& d = g.shadowMaps[2];
    EXPECT_TRUE(MatrixNear(d.lightProjection, *D3DXMatrixOrthoLH(&expected, 40.0f, 30.0f, 0.1f, 100.0f)));
    const D3DXVECTOR3 camera(1.0f, 2.0f, -5.0f);
    const D3DXVECTOR3 eye = camera - D3DXVECTOR3(0.0f, -0.6f, 0.8f) * 50.0f;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    EXPECT_TRUE(
        MatrixNear(d.lightToWorld, *Brivet::Rendering::LookAtOrientation(&expected, &eye, &camera, &up), 1e-4f));
    EXPECT_EQ(d.direction, sun.direction);
    EXPECT_EQ(d.spot, 0);
    EXPECT_EQ(d.colour, sun.colour);

    // Shadow cubes: the point light, then the area spheres.
    ASSERT_EQ(g.shadowCubes.GetCount(), 3u);
    EXPECT_EQ(g.shadowCubes[0].lightType, 3u);
    EXPECT_EQ(g.shadowCubes[0].lightIndex, 0u);
    ASSERT_NE(g.shadowCubes[0].target, nullptr);
    EXPECT_EQ(g.shadowCubes[0].target->GetWidth(), 16u);
    EXPECT_TRUE(MatrixNear(g.shadowCubes[0].lightToWorld, Translation(4, 5, 6)));
    EXPECT_EQ(g.shadowCubes[0].radius, 30.0f);
    EXPECT_EQ(g.shadowCubes[0].attenuation, D3DXVECTOR3(1.0f, 0.5f, 0.0f));
    for (uint32_t i : {1u, 2u})
    {
        EXPECT_EQ(g.shadowCubes[i].lightType, 5u);
        EXPECT_EQ(g.shadowCubes[i].lightIndex, i - 1);
        EXPECT_EQ(g.shadowCubes[i].castsShadow, 0);
        EXPECT_EQ(g.shadowCubes[i].target, nullptr);
    }
    EXPECT_EQ(g.shadowCubes[1].radius, 70.0f);
    EXPECT_EQ(g.shadowCubes[2].enabled, 0);
    EXPECT_EQ(g.FindShadowCube(RenderChunk::LightAreaSphere, 1), &g.shadowCubes[2]);

    // Camera and ambient colour as used.
    EXPECT_EQ(g.camera.priority, RenderChunk::PriorityEffect);
    EXPECT_TRUE(MatrixNear(g.camera.view, chunk.camera.view));
    EXPECT_TRUE(MatrixNear(g.camera.projection, rig.renderer->projection));
    EXPECT_EQ(g.camera.projection.m[2][3], 1.0f);
    EXPECT_EQ(g.ambient.colour, D3DXVECTOR3(0.1f, 0.2f, 0.3f));
    rig.gbuffer->ReleaseTarget();

    // A chunk without camera or ambient colour leaves both, and the directional record.
    const D3DXMATRIX directionalBefore = d.lightToWorld;
    chunk.camera = CameraAt(9.0f, 9.0f, 9.0f);
    chunk.camera.priority = RenderChunk::PriorityNone;
    chunk.ambient.priority = RenderChunk::PriorityNone;
    chunk.ambient.colour = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    chunk.directionalLights[0].direction = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    rig.Draw();
    EXPECT_EQ(g.camera.position, D3DXVECTOR4(1.0f, 2.0f, -5.0f, 1.0f));
    EXPECT_EQ(g.ambient.colour, D3DXVECTOR3(0.1f, 0.2f, 0.3f));
    EXPECT_TRUE(MatrixNear(g.shadowMaps[2].lightToWorld, directionalBefore));
    EXPECT_EQ(g.shadowMaps[2].enabled, 0);
    rig.gbuffer->ReleaseTarget();

    // The light list shrinks: the records stay, their lights' targets go back.
    chunk.camera = CameraAt(1.0f, 2.0f, -5.0f);
    chunk.spotLights.Empty();
    chunk.pointLights.Empty();
    rig.Draw();
    EXPECT_EQ(g.shadowMaps.GetCount(), 3u);
    EXPECT_EQ(g.shadowMaps[0].lightType, 2u);
    EXPECT_NE(g.shadowMaps[0].colourTarget, nullptr);
    EXPECT_EQ(g.shadowMaps[2].colourTarget, nullptr);
    EXPECT_EQ(g.shadowCubes[0].lightType, 5u);
    EXPECT_EQ(g.shadowCubes[0].target, nullptr);
    rig.gbuffer->ReleaseTarget();
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST_F(RendererGBuffer3DTest, DegenerateLightOrientationsGiveFiniteRecords)
{
    Archive().entries["gb/default.fx"] = GBufferShader(Normal);
    Rig rig = LoadRig({"gb/default.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    chunk.camera = CameraAt(0.0f, 0.0f, 0.0f);
    // A spot light on its target; directional lights along up, and without a direction.
    chunk.spotLights.Add(Spot(D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(1, 1, 1), true));
    for (const D3DXVECTOR3& direction : {D3DXVECTOR3(0.0f, -1.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f)})
    {
        RenderChunk::DirectionalLight light = Caster<RenderChunk::DirectionalLight>(true);
        light.direction = direction;
        light.shadowSourceDistance = 10.0f;
        light.shadowSize = D3DXVECTOR2(10.0f, 10.0f);
        chunk.directionalLights.Add(light);
    }
    rig.Bind(&chunk);
    rig.Draw();
    ASSERT_EQ(rig.gbuffer->shadowMaps.GetCount(), 3u);
    for (const GBuffer::ShadowMap& record : rig.gbuffer->shadowMaps)
    {
        SCOPED_TRACE(record.lightType);
        EXPECT_TRUE(Finite(record.lightToWorld));
        EXPECT_TRUE(Finite(record.lightProjection));
        D3DXMATRIX worldToLight;
        EXPECT_NE(D3DXMatrixInverse(&worldToLight, nullptr, &record.lightToWorld), nullptr);
        EXPECT_TRUE(Finite(worldToLight));
    }
    // Straight down from ten units above the camera.
    EXPECT_TRUE(Near(&rig.gbuffer->shadowMaps[1].lightToWorld._41, D3DXVECTOR3(0.0f, 10.0f, 0.0f), 3));
    rig.gbuffer->ReleaseTarget();
}

TEST_F(RendererGBuffer3DTest, NormalPassesDrawIntoTheLayersOrTheLayersTheyName)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    Archive().entries["gb/default.fx"] = GBufferShader(Normal);
    // A pass that names the position layer and one name that is nothing: only that layer.
    Archive().entries["gb/named.fx"] =
        GBufferShader("<pass name=\"named\" vs=\"vs_main\" ps=\"ps_shadow\" renderTargets=\"texNothing,texPosition\">"
                      "<rasterizer cullMode=\"none\"/></pass>");
    Rig rig = LoadRig({"gb/default.fx", "gb/named.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    Effect* named = rig.File(1);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.camera.orthographic = 1; // world x and y -1..1 fill the output
    chunk.camera.farPlane = 10.0f;
    D3DXMATRIX half;
    D3DXMatrixScaling(&half, 0.5f, 1.0f, 1.0f);
    chunk.entries.Add(PlaneEntry(&plane, half * Translation(-0.5f, 0.0f, 2.0f)));
    chunk.entries.Add(PlaneEntry(&plane, half * Translation(0.5f, 0.0f, 1.0f), named));
    rig.Bind(&chunk);
    // "v4Colour" of the default shader, straight into its programs' constants.
    const float colour[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    rig.File(0)->GetProgram(0)->SetFloat4("v4Colour", colour);

    rig.Draw();
    GBuffer& g = *rig.gbuffer;
    const std::vector<uint32_t> diffuse = ReadTexture(g.layers[0].target);
    const std::vector<float> position = Texels(g.layers[1].target, 0, 4);
    ASSERT_EQ(diffuse.size(), size_t(Width) * Height);
    ASSERT_EQ(position.size(), size_t(Width) * Height * 4);
    const size_t left = Height / 2 * Width + Width / 4;
    const size_t right = left + Width / 2;
    // Left half: the default pass into both layers (y of the position is 0 there).
    EXPECT_TRUE(SameColour(diffuse[left], Rgba(0, 255, 0))) << ColourText(diffuse[left]);
    EXPECT_NEAR(position[left * 4], -0.5f, 0.05f);
    EXPECT_NEAR(position[left * 4 + 1], 0.0f, 0.05f);
    // Right half: the named pass wrote only the position layer: (x, 1, 0, 1).
    EXPECT_EQ(diffuse[right], 0u) << ColourText(diffuse[right]);
    EXPECT_NEAR(position[right * 4], 0.5f, 0.05f);
    EXPECT_EQ(position[right * 4 + 1], 1.0f);
    g.ReleaseTarget();

    // The binding itself: the named layer with the G-buffer's depth, and "v2Resolution".
    g.AcquireTarget();
    EXPECT_TRUE(named->BindPassTargetsGBuffer(0, &g, nullptr));
    ID3D11RenderTargetView* views[8] = {};
    ID3D11DepthStencilView* depth = nullptr;
    SharedDemo()->system.GetContext()->OMGetRenderTargets(8, views, &depth);
    EXPECT_EQ(views[0], g.layers[1].target->GetRenderTargetView());
    EXPECT_EQ(views[1], nullptr);
    EXPECT_EQ(depth, g.depthTarget->GetDepthStencilView());
    for (ID3D11RenderTargetView* view : views)
    {
        if (view)
            view->Release();
    }
    if (depth)
        depth->Release();
    // No pass names a layer that exists: nothing bound.
    Archive().entries["gb/none.fx"] =
        GBufferShader("<pass name=\"none\" vs=\"vs_main\" ps=\"ps_shadow\" renderTargets=\"texNothing\"/>");
    Rig other = LoadRig({"gb/none.fx"});
    ASSERT_NE(other.gbuffer, nullptr);
    EXPECT_FALSE(other.File(0)->BindPassTargetsGBuffer(0, &g, nullptr));
    g.ReleaseTarget();
}

TEST_F(RendererGBuffer3DTest, PassWhoseNamedTargetsAreAllMissingDrawsNothing)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    // Drawn anyway, the pass would land in the layers the frame bound first.
    Archive().entries["gb/none.fx"] =
        GBufferShader("<pass name=\"none\" vs=\"vs_main\" ps=\"ps_shadow\" renderTargets=\"texNothing\">"
                      "<rasterizer cullMode=\"none\"/></pass>");
    Rig rig = LoadRig({"gb/none.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    rig.Bind(&chunk);

    for (int frame = 0; frame < 2; ++frame)
    {
        rig.Draw();
        for (uint32_t pixel : ReadTexture(rig.gbuffer->layers[0].target))
            ASSERT_EQ(pixel, 0u) << ColourText(pixel);
        rig.gbuffer->ReleaseTarget();
    }
    EXPECT_EQ(LogLinesContaining("[RendererGBuffer3D] 'renderer': pass 0 has no render target to draw into").size(),
              1u);
}

TEST_F(RendererGBuffer3DTest, ShadowPassDrawsTheCastersIntoTheSpotLightsMap)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    Archive().entries["gb/cast.fx"] = GBufferShader(Normal + ShadowMap);
    Rig rig = LoadRig({"gb/cast.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    Effect* cast = rig.File(0);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.spotLights.Add(Spot(D3DXVECTOR3(0, 0, -5), D3DXVECTOR3(0, 0, 0), true));
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    rig.Bind(&chunk);

    rig.Draw();
    const GBuffer::ShadowMap& record = rig.gbuffer->shadowMaps[0];
    ASSERT_NE(record.colourTarget, nullptr);
    // The plane, 5 units in front of the light, covers the middle fifth of the map.
    const std::vector<float> depth = FirstChannel(record.colourTarget, 0, 2);
    ASSERT_EQ(depth.size(), 32u * 32u);
    EXPECT_NEAR(depth[16 * 32 + 16], 5.0f, 1e-3f);
    EXPECT_EQ(depth[2 * 32 + 2], 0.0f) << "outside the plane the map stays cleared";
    // The mip chain was built after the draw.
    const std::vector<float> level1 = FirstChannel(record.colourTarget, 1, 2);
    ASSERT_EQ(level1.size(), 16u * 16u);
    EXPECT_NEAR(level1[8 * 16 + 8], 5.0f, 1e-3f);

    // The light's constants on the shadow pass.
    Brivet::Graphics::Program* program = cast->passes[1].programs[0];
    D3DXMATRIX worldToLight;
    D3DXMatrixInverse(&worldToLight, nullptr, &record.lightToWorld);
    const std::vector<uint8_t> held = VertexConstant(program, "matWorldToLight");
    ASSERT_EQ(held.size(), sizeof(D3DXMATRIX));
    D3DXMATRIX heldMatrix;
    memcpy(&heldMatrix, held.data(), sizeof(heldMatrix));
    EXPECT_TRUE(MatrixNear(heldMatrix, worldToLight));
    EXPECT_EQ(VertexConstant(program, "matLightProjection"), Bytes(&record.lightProjection, sizeof(D3DXMATRIX)));
    const float position[3] = {0.0f, 0.0f, -5.0f};
    EXPECT_EQ(VertexConstant(program, "v3LightPosition"), Bytes(position, sizeof(position)));
    const uint32_t penumbra = 1;
    EXPECT_EQ(VertexConstant(program, "bEnablePenumbra"), Bytes(&penumbra, 4));
    rig.gbuffer->ReleaseTarget();
}

TEST_F(RendererGBuffer3DTest, CastersBehindTheCameraStillThrowTheirShadows)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    // The camera at z -5 looks at a floor at z 0; the spot light stands behind it at z -20,
    // and the caster between them at z -8, behind the camera. Culled by the camera's view,
    // the caster would leave the floor (20 units from the light) in the map's middle.
    Archive().entries["gb/cast.fx"] = GBufferShader(Normal + ShadowMap);
    Rig rig = LoadRig({"gb/cast.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    TestPlane bounded(true);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.spotLights.Add(Spot(D3DXVECTOR3(0, 0, -20), D3DXVECTOR3(0, 0, 0), true));
    D3DXMATRIX floor;
    D3DXMatrixScaling(&floor, 10.0f, 10.0f, 1.0f);
    chunk.entries.Add(PlaneEntry(&bounded, floor));
    chunk.entries.Add(PlaneEntry(&bounded, Translation(0.0f, 0.0f, -8.0f)));
    rig.Bind(&chunk);

    rig.Draw();
    const GBuffer::ShadowMap& record = rig.gbuffer->shadowMaps[0];
    ASSERT_NE(record.colourTarget, nullptr);
    const std::vector<float> depth = FirstChannel(record.colourTarget, 0, 2);
    ASSERT_EQ(depth.size(), 32u * 32u);
    EXPECT_NEAR(depth[16 * 32 + 16], 12.0f, 1e-3f) << "the caster in the middle";
    EXPECT_NEAR(depth[16 * 32 + 10], 20.0f, 1e-3f) << "the floor around it";
    rig.gbuffer->ReleaseTarget();
}

TEST_F(RendererGBuffer3DTest, CommandListStopsAtItsBoundWithOneWarning)
{
    // 1000 entries and 50 casting point lights: 1000 normal and 300000 shadow-cube commands.
    Archive().entries["gb/cube.fx"] = GBufferShader(Normal + ShadowCube);
    Rig rig = LoadRig({"gb/cube.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    for (uint32_t i = 0; i < 1000; ++i)
        chunk.entries.Add(PlaneEntry(&plane, Identity()));
    for (uint32_t i = 0; i < 50; ++i)
        chunk.pointLights.Add(Point(D3DXVECTOR3(0, 0, float(i)), true));
    rig.Bind(&chunk);
    rig.gbuffer->AcquireTarget();
    rig.renderer->PrepareShadowRecords();

    for (int frame = 0; frame < 2; ++frame)
    {
        rig.renderer->BuildCommands();
        EXPECT_EQ(rig.renderer->commands.GetCount(), RendererGBuffer3D::MaxCommands);
    }
    EXPECT_EQ(LogLinesContaining("[RendererGBuffer3D] 'renderer': more than 262144 draw commands in a frame; "
                                 "the rest are not drawn")
                  .size(),
              1u);
    chunk.pointLights.Empty();
    rig.renderer->PrepareShadowRecords(); // the cube targets back to the pool
    rig.gbuffer->ReleaseTarget();
}

TEST_F(RendererGBuffer3DTest, EachShadowMapIsClearedOncePerFrameWhateverItsPassIndex)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    // The near caster's effect has its shadow pass at index 1, the far one's at index 2;
    // between them the near one's last pass draws into the layers.
    Archive().entries["gb/near.fx"] = GBufferShader(Normal + ShadowMap + Normal);
    Archive().entries["gb/far.fx"] = GBufferShader(Normal + Normal + ShadowMap);
    Rig rig = LoadRig({"gb/near.fx", "gb/far.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.spotLights.Add(Spot(D3DXVECTOR3(0, 0, -5), D3DXVECTOR3(0, 0, 0), true));
    chunk.entries.Add(PlaneEntry(&plane, Translation(0.0f, 0.0f, -2.0f), rig.File(0)));
    D3DXMATRIX large;
    D3DXMatrixScaling(&large, 3.0f, 3.0f, 1.0f);
    chunk.entries.Add(PlaneEntry(&plane, large * Translation(0.0f, 0.0f, 1.0f), rig.File(1)));
    rig.Bind(&chunk);

    rig.Draw();
    const std::vector<float> depth = FirstChannel(rig.gbuffer->shadowMaps[0].colourTarget, 0, 2);
    ASSERT_EQ(depth.size(), 32u * 32u);
    // The nearer caster holds the middle (a third of the map); the farther, larger one
    // shows around it (half of the map).
    EXPECT_NEAR(depth[16 * 32 + 16], 3.0f, 1e-3f);
    EXPECT_NEAR(depth[16 * 32 + 9], 6.0f, 1e-3f);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(RendererGBuffer3DTest, ShadowCubeFacesAreDrawnWithTheirOwnViewAfterAClear)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    Archive().entries["gb/cube.fx"] = GBufferShader(Normal + ShadowCube);
    Rig rig = LoadRig({"gb/cube.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    Effect* cube = rig.File(0);
    chunk.camera = CameraAt(0.0f, 0.0f, -10.0f);
    chunk.pointLights.Add(Point(D3DXVECTOR3(0, 0, 0), false));
    chunk.pointLights.Add(Point(D3DXVECTOR3(0, 0, 0), true)); // record 1
    // A near plane on +x (turned to face it) and a farther one on -z, in that draw order.
    D3DXMATRIX turned;
    D3DXMatrixRotationYawPitchRoll(&turned, 1.5707964f, 0.0f, 0.0f);
    chunk.entries.Add(PlaneEntry(&plane, turned * Translation(1.5f, 0.0f, 0.0f)));
    chunk.entries.Add(PlaneEntry(&plane, Translation(0.0f, 0.0f, -4.0f)));
    rig.Bind(&chunk);

    rig.Draw();
    Brivet::Graphics::TextureCube* target = rig.gbuffer->shadowCubes[1].target;
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(rig.gbuffer->shadowCubes[0].target, nullptr);
    const std::vector<float> px = FirstChannel(target, FaceSubresource(target, 0), 2);
    const std::vector<float> py = FirstChannel(target, FaceSubresource(target, 2), 2);
    const std::vector<float> nz = FirstChannel(target, FaceSubresource(target, 5), 2);
    ASSERT_EQ(px.size(), 16u * 16u);
    const size_t middle = 8 * 16 + 8;
    EXPECT_NEAR(px[middle], 1.5f, 1e-3f);
    EXPECT_NEAR(nz[middle], 4.0f, 1e-3f) << "face 5 drew against a cleared depth buffer";
    EXPECT_EQ(py[middle], 0.0f);

    // The constants of the last face drawn: its view from the light, the cube projection.
    Brivet::Graphics::Program* program = cube->passes[1].programs[0];
    D3DXMATRIX view;
    const D3DXVECTOR3 eye(0, 0, 0), at(0, 0, -1), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    EXPECT_EQ(VertexConstant(program, "matWorldToLight"), Bytes(&view, sizeof(view)));
    EXPECT_EQ(VertexConstant(program, "matLightProjection"),
              Bytes(&rig.renderer->cubeFaceProjection, sizeof(D3DXMATRIX)));
    rig.gbuffer->ReleaseTarget();

    // The face table.
    D3DXVECTOR3 look, faceUp;
    CubeFaceAxes(2, &look, &faceUp);
    EXPECT_EQ(look, D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(faceUp, D3DXVECTOR3(0.0f, 0.0f, -1.0f));
    CubeFaceAxes(3, &look, &faceUp);
    EXPECT_EQ(faceUp, D3DXVECTOR3(0.0f, 0.0f, 1.0f));
}

TEST_F(RendererGBuffer3DTest, ExistingGBufferLendsItsDepthCameraAndLayers)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    // A texture renderer over an existing G-buffer: its colour is the layer "texTint".
    Archive().entries["gb/tint.fx"] = MeshShader(Passes({""}), "",
                                                 "Texture2D texTint; float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
                                                 "  return texTint.Load(int3(In.Pos.xy, 0)); }");
    RendererGraph g = LoadRendererGraph({"gb/tint.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load("<resource><gbuffer><layer name=\"texTint\" format=\"R8G8B8A8_UNORM\"/></gbuffer>"
                              "</resource>"));
    const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
    GBuffer* existing = static_cast<GBuffer*>(GBufferFactory::instance.CreateDynamic(g.graph.get(), &element));
    ASSERT_NE(existing, nullptr);
    existing->AcquireTarget();
    const float tint[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    SharedDemo()->system.GetContext()->ClearRenderTargetView(existing->layers[0].target->GetRenderTargetView(), tint);
    existing->camera = CameraAt(0.0f, 0.0f, -2.0f);

    g.renderer->SetInput(Brivet::Base::StaticString<64>("Existing GBuffer"), existing);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    g.Bind(&chunk);
    ASSERT_EQ(g.renderer->existingGBuffer, existing);

    // Its layer bound by name, its depth (1.0) tested against: the plane shows red.
    std::vector<uint32_t> pixels = g.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    const size_t middle = Height / 2 * Width + Width / 2;
    EXPECT_TRUE(SameColour(pixels[middle], Rgba(255, 0, 0))) << ColourText(pixels[middle]);
    EXPECT_TRUE(MatrixNear(g.renderer->view, chunk.camera.view));

    // Its camera only when "Inherit camera from GBuffer" says so.
    g.renderer->inheritCamera->SetValue(0.0f, true, 0.0f);
    ASSERT_TRUE(g.renderer->UpdateCamera(Brivet::RenderContext::ForTime(0.0f)));
    EXPECT_TRUE(MatrixNear(g.renderer->view, existing->camera.view));

    // A depth buffer nearer than the plane everywhere: nothing passes.
    SharedDemo()->system.GetContext()->ClearDepthStencilView(existing->depthTarget->GetDepthStencilView(),
                                                             D3D11_CLEAR_DEPTH, 0.0f, 0);
    pixels = g.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_EQ(pixels[middle], 0u) << ColourText(pixels[middle]);

    existing->ReleaseTarget();
    g.renderer->SetInput(Brivet::Base::StaticString<64>("Existing GBuffer"), nullptr);
    g.renderer->OnInputsChanged();
    EXPECT_EQ(g.renderer->existingGBuffer, nullptr);
    GBufferFactory::instance.Destroy(existing);
}

TEST_F(RendererGBuffer3DTest, ShadowCommandsWithoutATargetDrawNothing)
{
    // Without a camera the directional light's record is not refreshed and gets no target;
    // drawn anyway, its pass (which fills whatever is bound) would paint the layers blue.
    Archive().entries["gb/flat.fx"] = GBufferShader(Pass("shadow", "vs_flat", "ps_blue"));
    Rig rig = LoadRig({"gb/flat.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    chunk.directionalLights.Add(Caster<RenderChunk::DirectionalLight>(true));
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    rig.Bind(&chunk);

    rig.renderer->BuildCommands();
    EXPECT_EQ(rig.renderer->commands.GetCount(), 0u); // a record without a target makes no command
    rig.Draw();
    ASSERT_EQ(rig.gbuffer->shadowMaps.GetCount(), 1u);
    EXPECT_EQ(rig.gbuffer->shadowMaps[0].colourTarget, nullptr);
    EXPECT_EQ(rig.renderer->commands.GetCount(), 0u);
    const std::vector<uint32_t> diffuse = ReadTexture(rig.gbuffer->layers[0].target);
    ASSERT_FALSE(diffuse.empty());
    for (uint32_t pixel : diffuse)
        ASSERT_EQ(pixel, 0u) << ColourText(pixel);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(RendererGBuffer3DTest, PoolHoldsItsSizeWhileLightsStartAndStopCasting)
{
    Archive().entries["gb/cast.fx"] = GBufferShader(Normal + ShadowMap + ShadowCube);
    Rig rig = LoadRig({"gb/cast.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.spotLights.Add(Spot(D3DXVECTOR3(0, 0, -5), D3DXVECTOR3(0, 0, 0), true));
    RenderChunk::DirectionalLight sun = Caster<RenderChunk::DirectionalLight>(true);
    sun.direction = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    sun.shadowSourceDistance = 10.0f;
    sun.shadowSize = D3DXVECTOR2(4.0f, 4.0f);
    chunk.directionalLights.Add(sun);
    chunk.pointLights.Add(Point(D3DXVECTOR3(0, 0, -3), true));
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    rig.Bind(&chunk);
    const uint32_t idle = InUse();

    // Everything casting: the layers, the depth buffers, two shadow maps and a cube.
    rig.Draw();
    EXPECT_TRUE(Lent(64, 64, RenderTargetPool::Type2D, 28, 3));
    EXPECT_TRUE(Lent(64, 64, RenderTargetPool::Type2D, 2, 3));
    EXPECT_TRUE(Lent(64, 64, RenderTargetPool::Type2D, 45, 3));
    EXPECT_TRUE(Lent(16, 16, RenderTargetPool::Type2D, 45, 3)); // the cube faces' depth
    EXPECT_TRUE(Lent(32, 32, RenderTargetPool::Type2D, 16, 35));
    EXPECT_TRUE(Lent(32, 32, RenderTargetPool::Type2D, 45, 3));
    EXPECT_TRUE(Lent(16, 0, RenderTargetPool::TypeCube, 16, 35));
    EXPECT_EQ(InUse(), idle + 9);
    rig.gbuffer->ReleaseTarget();
    EXPECT_EQ(InUse(), idle);

    // Each light switches on its own rhythm; the frames that cast least hold fewest targets.
    uint32_t entries = 0;
    for (uint32_t frame = 0; frame < 1000; ++frame)
    {
        chunk.spotLights[0].castsShadow = (frame / 3) % 2 ? 1 : 0;
        chunk.directionalLights[0].castsShadow = (frame / 5) % 2 ? 1 : 0;
        chunk.pointLights[0].castsShadow = (frame / 7) % 2 ? 1 : 0;
        rig.Draw(float(frame) / 60.0f);
        const uint32_t casting =
            chunk.spotLights[0].castsShadow + chunk.directionalLights[0].castsShadow + chunk.pointLights[0].castsShadow;
        // Two shadow maps hold two targets each, the cube one.
        const uint32_t expected =
            4 + 2 * (casting - chunk.pointLights[0].castsShadow) + chunk.pointLights[0].castsShadow;
        ASSERT_EQ(InUse(), idle + expected) << "frame " << frame;
        rig.gbuffer->ReleaseTarget();
        ASSERT_EQ(InUse(), idle) << "frame " << frame;
        if (frame == 100)
            entries = SharedDemo()->renderTargetPool.GetEntries().GetCount();
        if (frame > 100)
        {
            ASSERT_EQ(SharedDemo()->renderTargetPool.GetEntries().GetCount(), entries) << "frame " << frame;
        }
    }
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}
} // namespace
