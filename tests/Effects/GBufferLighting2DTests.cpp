// GBufferLighting2D on a real device, observed draw by draw: the passes drawn per enabled
// light of their type with the quad, sphere or cone (vertices counted by a
// pipeline-statistics query), the depth and rasterizer states of the inside/outside
// choice and of passes with states of their own, the constants and shadow views of each
// light from the G-buffer's records, lights without a record drawn unshadowed from the
// chunk, and the depth buffer read as "texDepth" or tested against.
#include "EffectsFixture.h"
#include "Render3DFixture.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Sampler.h"
#include "Graphics/TextureCube.h"
#include "RenderContext.h"
#include "Rendering/MathRoutines.h"
#include "repository/Effects/GBufferLighting2D.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/RenderChunk.h"
#include "repository/Resources/Texture.h"

#include "LogCapture.h"
#include "MathAssertions.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Base::StaticString;
using Brivet::Graphics::Program;

namespace
{
// One pass per light type and one without, in this order.
const char* const LightTypes[] = {"ambient", "directional", "point", "spot", "areasphere", "areatube", ""};
enum PassIndex : uint32_t
{
    AmbientPass,
    DirectionalPass,
    PointPass,
    SpotPass,
    AreaSpherePass,
    AreaTubePass,
    NoLightPass,
};

// The passes of LightTypes; the quad passes' vertex stage passes the position through, the
// volume passes' one scales the unit volume by the coverage radius around the light.
// states: "depth" and "rasterizer" elements of every pass.
std::string LightPasses(const std::string& states = "")
{
    std::string passes = "<passes>";
    for (const char* type : LightTypes)
    {
        const bool volume = !strcmp(type, "point") || !strcmp(type, "spot") || !strcmp(type, "areasphere");
        passes += std::string("<pass name=\"") + (*type ? type : "none") + "\"" +
                  (*type ? std::string(" lighttype=\"") + type + "\"" : std::string()) + " vs=\"" +
                  (volume ? "vs_volume" : "vs_quad") + "\" ps=\"ps_main\">" + states + "</pass>";
    }
    return passes + "</passes>";
}

// Every constant the effect sends, kept by a branch that never runs, in both variations of
// "ENABLE_SHADOWS"; the texture "texAlbedo" is the G-buffer's layer. extra adds
// declarations and keep the terms that use them.
std::string LightingShader(const std::string& passes, const std::string& extra = "", const std::string& keep = "0")
{
    return "/*\n<metadata><input>fGain</input><variation>ENABLE_SHADOWS</variation>"
           "<sampler name=\"smpFirst\" filter=\"LINEAR\"/><sampler name=\"smp\" filter=\"POINT\"/>" +
           passes +
           "</metadata>\n*/\n"
           // The shadow variation reads one more texture and sampler first: its slots differ
           // from the other's.
           "#ifdef ENABLE_SHADOWS\nTexture2D texFirst; SamplerState smpFirst;\n#endif\n"
           "Texture2D texAlbedo; Texture2D texShadowmap; TextureCube texShadowmapCube; SamplerState smp;\n" +
           extra +
           "\ncbuffer constants { float4x4 matView; float4x4 matProjection; float4x4 matInvView;\n"
           "  float4x4 matInvProjection; float4x4 matWorldToLight; float4x4 matLightToWorld;\n"
           "  float4x4 matLightProjection; float4 v4CameraPosition; float3 v3AmbientLightColor;\n"
           "  float fLightCoverageRadius; float3 v3LightPosition; float fLightConeAngle; float3 v3LightAttenuation;\n"
           "  float fLightConeRatio; float3 v3LightDirection; float fAreaLightRadius; float3 v3LightColor;\n"
           "  bool bEnablePenumbra; float3 v3TubeLightPosition1; float fGain; float3 v3TubeLightPosition2; };\n"
           "struct VS_INPUT { float3 Pos : POSITION; };\n"
           "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
           "VS_OUTPUT vs_quad(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); return Out; }\n"
           "VS_OUTPUT vs_volume(VS_INPUT In) { VS_OUTPUT Out;\n"
           "  float3 p = In.Pos * fLightCoverageRadius + v3LightPosition;\n"
           "  Out.Pos = mul(matProjection, mul(matView, float4(p, 1))); return Out; }\n"
           "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
           "  float4 c = texAlbedo.Load(int3(In.Pos.xy, 0));\n"
           "  if (In.Pos.x < -1.0) {\n"
           "#ifdef ENABLE_SHADOWS\n    c += texFirst.SampleLevel(smpFirst, In.Pos.xy, 0);\n#endif\n"
           "    c += texShadowmap.SampleLevel(smp, In.Pos.xy, 0) + texShadowmapCube.SampleLevel(smp, In.Pos.xyz, 0);\n"
           "    c += mul(matView, v4CameraPosition) + mul(matProjection, v4CameraPosition)\n"
           "      + mul(matInvView, v4CameraPosition) + mul(matInvProjection, v4CameraPosition)\n"
           "      + mul(matWorldToLight, v4CameraPosition) + mul(matLightToWorld, v4CameraPosition)\n"
           "      + mul(matLightProjection, v4CameraPosition);\n"
           "    c.xyz += v3AmbientLightColor + v3LightPosition + v3LightAttenuation + v3LightDirection + v3LightColor\n"
           "      + v3TubeLightPosition1 + v3TubeLightPosition2;\n"
           "    c.w += fLightCoverageRadius + fLightConeAngle + fLightConeRatio + fAreaLightRadius + fGain\n"
           "      + (bEnablePenumbra ? 1 : 0) + " +
           keep +
           ";\n  }\n"
           "  return c; }\n";
}

// A vertex stage of the quad that also reads its texture coordinate.
const std::string TexturedVertexStage =
    "struct TEX_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };\n"
    "float4 vs_tex(TEX_INPUT In) : SV_POSITION { return float4(In.Pos.xy + In.Tex, 0.5, 1); }";

// The pipeline at one draw.
struct DrawRecord
{
    uint32_t pass = 0;
    int64_t vertices = -1;
    bool shadowBit = false;
    ID3D11DepthStencilState* depthState = nullptr; // compared by address only
    ID3D11RasterizerState* rasterizerState = nullptr;
    ID3D11DepthStencilView* depthView = nullptr;
    ID3D11ShaderResourceView* shadowMap = nullptr; // the views at the drawing program's slots
    ID3D11ShaderResourceView* shadowCube = nullptr;
    ID3D11ShaderResourceView* depthTexture = nullptr;
    ID3D11ShaderResourceView* albedo = nullptr;
    ID3D11SamplerState* sampler = nullptr; // at the drawing program's slot of "smp"
    std::map<std::string, std::vector<uint8_t>> constants; // of the pixel stage

    std::vector<float> Floats(const char* name) const
    {
        auto it = constants.find(name);
        std::vector<float> values;
        if (it != constants.end())
        {
            values.resize(it->second.size() / 4);
            memcpy(values.data(), it->second.data(), values.size() * 4);
        }
        return values;
    }
    D3DXMATRIX Matrix(const char* name) const
    {
        D3DXMATRIX m = {};
        const std::vector<float> values = Floats(name);
        if (values.size() == 16)
            memcpy(&m, values.data(), sizeof(m));
        return m;
    }
    float Float(const char* name) const
    {
        const std::vector<float> values = Floats(name);
        return values.empty() ? NAN : values[0];
    }
    // A bool as the 32-bit word it is written as; -1 when the stage has no such constant.
    int64_t Word(const char* name) const
    {
        auto it = constants.find(name);
        uint32_t word = 0;
        if (it == constants.end() || it->second.size() != 4)
            return -1;
        memcpy(&word, it->second.data(), 4);
        return word;
    }
};

const char* const ConstantNames[] = {
    "matView",
    "matProjection",
    "matInvView",
    "matInvProjection",
    "matWorldToLight",
    "matLightToWorld",
    "matLightProjection",
    "v4CameraPosition",
    "v3AmbientLightColor",
    "fLightCoverageRadius",
    "v3LightPosition",
    "fLightConeAngle",
    "v3LightAttenuation",
    "fLightConeRatio",
    "v3LightDirection",
    "fAreaLightRadius",
    "v3LightColor",
    "bEnablePenumbra",
    "v3TubeLightPosition1",
    "v3TubeLightPosition2",
    "fGain",
};

// The effect with each draw recorded as the pipeline holds it.
class Recorder : public GBufferLighting2D
{
public:
    explicit Recorder(Brivet::Demo* demo) : GBufferLighting2D(demo) {}

    std::vector<DrawRecord> draws;

protected:
    void Draw(Program* program, uint32_t vertexCount) override
    {
        DrawRecord record;
        record.pass = shader->currentPass;
        record.shadowBit = (shader->currentVariation & shader->GetVariationBit("ENABLE_SHADOWS")) != 0;
        ID3D11DeviceContext* context = demo->system.GetContext();
        UINT reference = 0;
        context->OMGetDepthStencilState(&record.depthState, &reference);
        context->RSGetState(&record.rasterizerState);
        ID3D11RenderTargetView* target = nullptr;
        context->OMGetRenderTargets(1, &target, &record.depthView);
        record.shadowMap = View(program, "texShadowmap");
        record.shadowCube = View(program, "texShadowmapCube");
        record.depthTexture = View(program, "texDepth");
        record.albedo = View(program, "texAlbedo");
        uint32_t slot = 0;
        if (program->GetPixelShader()->FindBindPoint("smp", &slot))
        {
            context->PSGetSamplers(slot, 1, &record.sampler);
            if (record.sampler)
                record.sampler->Release(); // the effect resource holds it
        }
        for (IUnknown* object :
             std::initializer_list<IUnknown*>{record.depthState, record.rasterizerState, target, record.depthView})
        {
            if (object)
                object->Release(); // the effect, the G-buffer or the output holds each
        }
        for (const char* name : ConstantNames)
            record.constants[name] = PixelConstant(program, name);
        record.vertices = VerticesDrawn([&] { GBufferLighting2D::Draw(program, vertexCount); });
        draws.push_back(record);
    }

private:
    // The view bound at the pixel stage's slot of name; null for no slot.
    ID3D11ShaderResourceView* View(Program* program, const char* name) const
    {
        uint32_t slot = 0;
        if (!program->GetPixelShader()->FindBindPoint(name, &slot))
            return nullptr;
        ID3D11ShaderResourceView* view = nullptr;
        demo->system.GetContext()->PSGetShaderResources(slot, 1, &view);
        if (view)
            view->Release();
        return view;
    }
};

struct Rig
{
    std::unique_ptr<Brivet::Compositing::Graph> graph;
    std::unique_ptr<Recorder> lighting;
    std::unique_ptr<GBuffer, DestroyGBuffer> gbuffer;
    std::unique_ptr<RenderChunk> chunk;
    Texture* output = nullptr;

    // Renders the effect into its output and returns its draws.
    std::vector<DrawRecord> Render()
    {
        lighting->draws.clear();
        output->AcquireTarget();
        output->Invalidate();
        lighting->Render(Brivet::RenderContext::ForTime(0.0f));
        output->ReleaseTarget();
        return lighting->draws;
    }

    // The draws of one pass.
    std::vector<DrawRecord> Render(uint32_t pass)
    {
        std::vector<DrawRecord> of;
        for (const DrawRecord& draw : Render())
        {
            if (draw.pass == pass)
                of.push_back(draw);
        }
        return of;
    }

    // The camera at position, looking along +z, with its projection.
    void Camera(const D3DXVECTOR3& position, float nearPlane = 0.1f)
    {
        gbuffer->camera = CameraAt(position.x, position.y, position.z, 90.0f, nearPlane, 1000.0f);
        D3DXMatrixPerspectiveFovLH(&gbuffer->camera.projection, 1.5707964f, 1.0f, nearPlane, 1000.0f);
    }

    void Bind(Effect* shader)
    {
        lighting->SetInput(StaticString<64>("Shader"), shader);
        lighting->SetInput(StaticString<64>("GBuffer"), gbuffer.get());
        lighting->SetInput(StaticString<64>("Render Chunk"), chunk.get());
        lighting->OnInputsChanged();
    }
};

// File nodes 1, 2 ... and a GBufferLighting2D made by its factory (node 10) into a square
// output; beside it a recording effect drawing into that output with the first file, an
// acquired G-buffer of one layer "texAlbedo" and small shadow targets, and an empty chunk.
Rig LoadRig(std::initializer_list<const char*> files)
{
    Rig rig;
    rig.graph = LoadRendererNodes(files, "1:1", "GBufferLighting2D", "");
    auto* made = rig.graph ? static_cast<GBufferLighting2D*>(EffectOf(*rig.graph, 10)) : nullptr;
    rig.output = made ? static_cast<Texture*>(made->GetOutput()) : nullptr;
    if (!rig.output)
    {
        ADD_FAILURE() << "no lighting node";
        rig.graph.reset();
        return rig;
    }

    rig.gbuffer =
        MakeGBuffer(rig.graph.get(), "<resource><gbuffer shadowSize=\"8\" shadowCubeSize=\"8\">"
                                     "<layer name=\"texAlbedo\" format=\"R8G8B8A8_UNORM\"/></gbuffer></resource>");
    if (!rig.gbuffer)
    {
        rig.graph.reset();
        return rig;
    }
    rig.gbuffer->AcquireTarget();
    rig.chunk = std::make_unique<RenderChunk>(rig.graph.get(), SharedDemo());
    rig.lighting.reset(new Recorder(SharedDemo()));
    EXPECT_TRUE(rig.lighting->Initialize());
    rig.lighting->SetOutput(rig.output);
    rig.Bind(FileOf(rig.graph.get(), 0));
    rig.Camera(D3DXVECTOR3(0.0f, 0.0f, -5.0f));
    return rig;
}

template <typename Light>
Light Enabled(bool casts = false)
{
    Light light;
    light.enabled = 1;
    light.castsShadow = casts ? 1 : 0;
    return light;
}

RenderChunk::PointLight Point(const D3DXVECTOR3& position, float radius, bool casts = false)
{
    RenderChunk::PointLight light = Enabled<RenderChunk::PointLight>(casts);
    D3DXMatrixTranslation(&light.lightToWorld, position.x, position.y, position.z);
    light.colour = D3DXVECTOR3(0.5f, 0.25f, 1.0f);
    light.attenuation = D3DXVECTOR3(1.0f, 0.5f, 0.25f);
    light.radius = radius;
    return light;
}

RenderChunk::AreaSphereLight AreaSphere(const D3DXVECTOR3& position, float lightRadius, float renderRadius)
{
    RenderChunk::AreaSphereLight light = Enabled<RenderChunk::AreaSphereLight>();
    D3DXMatrixTranslation(&light.lightToWorld, position.x, position.y, position.z);
    light.colour = D3DXVECTOR3(1.0f, 1.0f, 0.5f);
    light.attenuation = D3DXVECTOR3(1.0f, 0.0f, 0.5f);
    light.lightRadius = lightRadius;
    light.renderRadius = renderRadius;
    return light;
}

RenderChunk::SpotLight Spot(const D3DXVECTOR3& position, const D3DXVECTOR3& target, bool casts = false)
{
    RenderChunk::SpotLight light = Enabled<RenderChunk::SpotLight>(casts);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    Brivet::Rendering::LookAtOrientation(&light.lightToWorld, &position, &target, &up);
    light.colour = D3DXVECTOR3(0.25f, 0.75f, 0.5f);
    light.outerCone = 0.8f;
    light.innerCone = 0.6f;
    return light;
}

RenderChunk::DirectionalLight Directional(const D3DXVECTOR3& direction, bool casts = false)
{
    RenderChunk::DirectionalLight light = Enabled<RenderChunk::DirectionalLight>(casts);
    light.direction = direction;
    light.colour = D3DXVECTOR3(0.75f, 0.5f, 0.25f);
    return light;
}

RenderChunk::AreaTubeLight Tube(const D3DXVECTOR3& start, const D3DXVECTOR3& end)
{
    RenderChunk::AreaTubeLight light = Enabled<RenderChunk::AreaTubeLight>();
    light.start = start;
    light.end = end;
    light.colour = D3DXVECTOR3(0.5f, 0.5f, 0.5f);
    light.radius = 0.75f;
    return light;
}

std::vector<float> Floats(const D3DXVECTOR3& v)
{
    return {v.x, v.y, v.z};
}

std::vector<float> Floats(const D3DXVECTOR4& v)
{
    return {v.x, v.y, v.z, v.w};
}

ID3D11SamplerState* SamplerOf(Effect* effect, const char* name)
{
    Brivet::Graphics::Sampler** sampler = nullptr;
    return effect && effect->samplers.Find(Brivet::Base::String(name), &sampler) ? (*sampler)->GetState() : nullptr;
}

D3DXMATRIX Inverse(const D3DXMATRIX& m)
{
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &m);
    return inverse;
}

class GBufferLighting2DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        BRIVET_SKIP_WITHOUT_FULLER_HLSL();
        LogCapture::Get().Clear();
    }
};

TEST_F(GBufferLighting2DTest, DeclaresItsInputsAndDrawsOnlyWithShaderGBufferChunkAndLayouts)
{
    Archive().entries["gbl/lights.fx"] = LightingShader(LightPasses());
    // A volume pass whose vertex stage also reads a texture coordinate: no position layout.
    Archive().entries["gbl/textured.fx"] =
        LightingShader("<passes><pass name=\"a\" lighttype=\"ambient\" vs=\"vs_quad\" ps=\"ps_main\"/>"
                       "<pass name=\"p\" lighttype=\"point\" vs=\"vs_tex\" ps=\"ps_main\"/></passes>",
                       TexturedVertexStage);
    Rig rig = LoadRig({"gbl/lights.fx", "gbl/textured.fx"});
    ASSERT_TRUE(rig.lighting);

    // The factory's effect: the fixed inputs, then the shader's listed constant.
    auto* made = static_cast<GBufferLighting2D*>(EffectOf(*rig.graph, 10));
    EXPECT_STREQ(made->outputTypeName.GetText(), "texture");
    EXPECT_EQ(InputNames(*made), (std::vector<std::string>{"Shader", "GBuffer", "Render Chunk"}));
    EXPECT_EQ(made->GetShader(), nullptr);
    EXPECT_EQ(InputNames(*rig.lighting), (std::vector<std::string>{"Shader", "GBuffer", "Render Chunk"}));
    EXPECT_TRUE(rig.lighting->parameters.Find(StaticString<64>("fGain")));
    EXPECT_TRUE(rig.lighting->hasInvView && rig.lighting->hasInvProjection);
    EXPECT_FALSE(rig.lighting->hasDepthTexture);
    EXPECT_NE(rig.lighting->quadLayout, nullptr);
    EXPECT_NE(rig.lighting->positionLayout, nullptr);
    rig.chunk->pointLights.Add(Point(D3DXVECTOR3(0.0f, 0.0f, 0.0f), 2.0f));
    EXPECT_EQ(rig.Render().size(), 2u); // ambient and the point light

    // Without a chunk or a G-buffer nothing is drawn.
    rig.lighting->SetInput(StaticString<64>("Render Chunk"), nullptr);
    rig.lighting->OnInputsChanged();
    EXPECT_TRUE(rig.Render().empty());
    rig.lighting->SetInput(StaticString<64>("Render Chunk"), rig.chunk.get());
    rig.lighting->SetInput(StaticString<64>("GBuffer"), nullptr);
    rig.lighting->OnInputsChanged();
    EXPECT_TRUE(rig.Render().empty());

    // A shader whose volume pass the position layout does not fit leaves the effect
    // without it: the volume pass draws nothing, the ambient pass still does.
    LogCapture::Get().Clear();
    rig.Bind(FileOf(rig.graph.get(), 1));
    EXPECT_NE(rig.lighting->quadLayout, nullptr);
    EXPECT_EQ(rig.lighting->positionLayout, nullptr);
    EXPECT_EQ(LogLinesContaining("[GBufferLighting2D] CreateInputLayout 2 failed: ").size(), 1u);
    const std::vector<DrawRecord> draws = rig.Render();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].pass, 0u);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(GBufferLighting2DTest, EachLayoutComesFromTheFirstPassThatDrawsWithIt)
{
    // The first pass is a full-screen one whose vertex stage reads a texture coordinate,
    // which the position layout does not fit; the volume passes after it read positions.
    struct Case
    {
        const char* passes;
        bool quad;
        bool position;
        size_t draws;
    };
    const Case cases[] = {
        {"<pass name=\"a\" lighttype=\"ambient\" vs=\"vs_tex\" ps=\"ps_main\"/>"
         "<pass name=\"p\" lighttype=\"point\" vs=\"vs_volume\" ps=\"ps_main\"/>",
         true, true, 2},
        // No full-screen pass: no quad layout is needed, and none is made.
        {"<pass name=\"none\" vs=\"vs_tex\" ps=\"ps_main\"/>"
         "<pass name=\"p\" lighttype=\"point\" vs=\"vs_volume\" ps=\"ps_main\"/>",
         false, true, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.passes);
        LogCapture::Get().Clear();
        Archive().entries["gbl/first.fx"] =
            LightingShader(std::string("<passes>") + c.passes + "</passes>", TexturedVertexStage);
        Rig rig = LoadRig({"gbl/first.fx"});
        ASSERT_TRUE(rig.lighting);
        EXPECT_EQ(rig.lighting->quadLayout != nullptr, c.quad);
        EXPECT_EQ(rig.lighting->positionLayout != nullptr, c.position);
        EXPECT_TRUE(LogLinesContaining("CreateInputLayout").empty());
        rig.chunk->pointLights.Add(Point(D3DXVECTOR3(0.0f, 0.0f, 0.0f), 2.0f));
        const std::vector<DrawRecord> draws = rig.Render();
        ASSERT_EQ(draws.size(), c.draws);
        EXPECT_EQ(draws.back().pass, 1u); // the point light
        if (draws.back().vertices >= 0)
        {
            EXPECT_EQ(draws.back().vertices, int64_t(GBufferLighting2D::SphereVertexCount));
        }
        rig.gbuffer->ReleaseTarget();
    }
}

TEST_F(GBufferLighting2DTest, DrawsEachPassOncePerEnabledLightOfItsTypeWithItsVolume)
{
    Archive().entries["gbl/lights.fx"] = LightingShader(LightPasses());
    Rig rig = LoadRig({"gbl/lights.fx"});
    ASSERT_TRUE(rig.lighting);
    RenderChunk& chunk = *rig.chunk;
    RenderChunk::DirectionalLight off = Directional(D3DXVECTOR3(0.0f, -1.0f, 0.0f));
    off.enabled = 0;
    chunk.directionalLights.Add(off);
    chunk.directionalLights.Add(Directional(D3DXVECTOR3(0.0f, -1.0f, 1.0f)));
    chunk.pointLights.Add(Point(D3DXVECTOR3(0.0f, 0.0f, 0.0f), 2.0f));
    chunk.pointLights.Add(Point(D3DXVECTOR3(1.0f, 0.0f, 0.0f), 2.0f));
    chunk.spotLights.Add(Spot(D3DXVECTOR3(0.0f, 0.0f, -3.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f)));
    RenderChunk::SpotLight darkSpot = Spot(D3DXVECTOR3(0.0f, 0.0f, -3.0f), D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    darkSpot.enabled = 0;
    chunk.spotLights.Add(darkSpot);
    chunk.areaSphereLights.Add(AreaSphere(D3DXVECTOR3(0.0f, 1.0f, 0.0f), 0.5f, 3.0f));
    chunk.areaTubeLights.Add(Tube(D3DXVECTOR3(-1.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 0.0f, 0.0f)));
    chunk.areaTubeLights.Add(Tube(D3DXVECTOR3(-1.0f, 1.0f, 0.0f), D3DXVECTOR3(1.0f, 1.0f, 0.0f)));

    struct Case
    {
        uint32_t pass;
        std::vector<int64_t> vertices; // per draw, in order
    };
    const Case cases[] = {
        {AmbientPass, {4}},      // once, whatever the lights
        {DirectionalPass, {4}},  // the disabled one is not drawn
        {PointPass, {384, 384}}, // a sphere each
        {SpotPass, {60}},        // a cone; the disabled one is not drawn
        {AreaSpherePass, {384}}, //
        {AreaTubePass, {4, 4}},  // a quad each
        {NoLightPass, {}},       // a pass without light type draws nothing
    };
    const std::vector<DrawRecord> draws = rig.Render();
    if (!draws.empty() && draws[0].vertices < 0)
        GTEST_SKIP() << "the device counts no vertices";
    for (const Case& c : cases)
    {
        std::vector<int64_t> vertices;
        for (const DrawRecord& draw : draws)
        {
            if (draw.pass == c.pass)
                vertices.push_back(draw.vertices);
        }
        EXPECT_EQ(vertices, c.vertices) << "pass " << LightTypes[c.pass];
    }

    // The factory's effect, not looked at draw by draw, sends the same down the pipeline.
    auto* made = static_cast<GBufferLighting2D*>(EffectOf(*rig.graph, 10));
    made->SetInput(StaticString<64>("Shader"), rig.lighting->GetShader());
    made->SetInput(StaticString<64>("GBuffer"), rig.gbuffer.get());
    made->SetInput(StaticString<64>("Render Chunk"), rig.chunk.get());
    made->OnInputsChanged();
    rig.output->AcquireTarget();
    const int64_t total = VerticesDrawn([&] { made->Render(Brivet::RenderContext::ForTime(0.0f)); });
    rig.output->ReleaseTarget();
    EXPECT_EQ(total, 4 + 4 + 2 * 384 + 60 + 384 + 2 * 4);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(GBufferLighting2DTest, VolumeStatesFollowTheCameraAndThePassStates)
{
    Archive().entries["gbl/lights.fx"] = LightingShader(LightPasses());
    Archive().entries["gbl/own.fx"] =
        LightingShader(LightPasses("<depth read=\"true\" write=\"false\"/><rasterizer cullMode=\"none\"/>"));
    Rig rig = LoadRig({"gbl/lights.fx", "gbl/own.fx"});
    ASSERT_TRUE(rig.lighting);
    const Recorder& l = *rig.lighting;
    Effect* own = FileOf(rig.graph.get(), 1);

    enum States
    {
        Outside, // depth LESS, back faces culled
        Inside,  // depth GREATER, front faces culled
        Own,     // the pass's own
    };
    struct Case
    {
        const char* name;
        uint32_t pass;
        bool ownStates;
        D3DXVECTOR3 camera;
        float nearPlane;
        States states;
        float coverage; // the radius sent; NAN where none is
    };
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    const Case cases[] = {
        {"point seen from 50", PointPass, false, D3DXVECTOR3(0.0f, 0.0f, -50.0f), 0.1f, Outside, 10.0f},
        {"point seen from 5", PointPass, false, D3DXVECTOR3(0.0f, 3.0f, -4.0f), 0.1f, Inside, 10.0f},
        {"point seen from 10.05: the near plane grows the radius", PointPass, false, D3DXVECTOR3(0.0f, 0.0f, -10.05f),
         0.1f, Inside, 10.2f},
        {"point seen from 10.5 with a near plane of 1", PointPass, false, D3DXVECTOR3(0.0f, 0.0f, -10.5f), 1.0f, Inside,
         12.0f},
        {"point seen from 10.5 with a near plane of 0.1", PointPass, false, D3DXVECTOR3(0.0f, 0.0f, -10.5f), 0.1f,
         Outside, 10.0f},
        {"point from outside, the pass's states replaced", PointPass, true, D3DXVECTOR3(0.0f, 0.0f, -50.0f), 0.1f,
         Outside, 10.0f},
        {"point from inside, the pass's states replaced", PointPass, true, D3DXVECTOR3(0.0f, 0.0f, -5.0f), 0.1f, Inside,
         10.0f},
        {"area sphere by its render radius, outside", AreaSpherePass, false, D3DXVECTOR3(0.0f, 0.0f, -12.0f), 0.1f,
         Outside, 10.0f},
        {"area sphere by its render radius, inside", AreaSpherePass, false, D3DXVECTOR3(0.0f, 0.0f, -8.0f), 0.1f,
         Inside, 10.0f},
        {"spot from far away", SpotPass, false, D3DXVECTOR3(0.0f, 0.0f, -50.0f), 0.1f, Inside, NAN},
        {"spot with states of its own", SpotPass, true, D3DXVECTOR3(0.0f, 0.0f, -50.0f), 0.1f, Own, NAN},
        {"directional", DirectionalPass, false, origin, 0.1f, Outside, NAN},
        {"directional with states of its own", DirectionalPass, true, origin, 0.1f, Own, NAN},
        {"ambient", AmbientPass, false, origin, 0.1f, Outside, NAN},
        {"ambient with states of its own", AmbientPass, true, origin, 0.1f, Own, NAN},
        {"tube", AreaTubePass, false, origin, 0.1f, Outside, NAN},
    };
    rig.chunk->pointLights.Add(Point(origin, 10.0f));
    rig.chunk->areaSphereLights.Add(AreaSphere(origin, 2.0f, 10.0f));
    rig.chunk->spotLights.Add(Spot(D3DXVECTOR3(0.0f, 5.0f, 0.0f), origin));
    rig.chunk->directionalLights.Add(Directional(D3DXVECTOR3(1.0f, -1.0f, 0.0f)));
    rig.chunk->areaTubeLights.Add(Tube(origin, D3DXVECTOR3(1.0f, 0.0f, 0.0f)));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        rig.Bind(c.ownStates ? own : FileOf(rig.graph.get(), 0));
        rig.Camera(c.camera, c.nearPlane);
        const std::vector<DrawRecord> draws = rig.Render(c.pass);
        ASSERT_EQ(draws.size(), 1u);
        const DrawRecord& draw = draws[0];
        const Effect::Pass& pass = rig.lighting->GetShader()->passes[c.pass];
        switch (c.states)
        {
        case Outside:
            EXPECT_EQ(draw.depthState, l.outsideDepthState);
            EXPECT_EQ(draw.rasterizerState, l.cullBackState);
            break;
        case Inside:
            EXPECT_EQ(draw.depthState, l.insideDepthState);
            EXPECT_EQ(draw.rasterizerState, l.cullFrontState);
            break;
        case Own:
            ASSERT_NE(pass.depthStencilState, nullptr);
            EXPECT_EQ(draw.depthState, pass.depthStencilState);
            EXPECT_EQ(draw.rasterizerState, pass.rasterizerState);
            break;
        }
        if (!std::isnan(c.coverage))
        {
            EXPECT_NEAR(draw.Float("fLightCoverageRadius"), c.coverage, 1e-4f);
        }
        if (c.pass == AreaSpherePass)
        {
            EXPECT_EQ(draw.Float("fAreaLightRadius"), 2.0f); // the light radius shades
        }
    }

    // After the last pass the outside states are left set.
    ID3D11DeviceContext* context = SharedDemo()->system.GetContext();
    ID3D11DepthStencilState* depth = nullptr;
    ID3D11RasterizerState* rasterizer = nullptr;
    UINT reference = 0;
    context->OMGetDepthStencilState(&depth, &reference);
    context->RSGetState(&rasterizer);
    EXPECT_EQ(depth, l.outsideDepthState);
    EXPECT_EQ(rasterizer, l.cullBackState);
    if (depth)
        depth->Release();
    if (rasterizer)
        rasterizer->Release();
    rig.gbuffer->ReleaseTarget();
}

TEST_F(GBufferLighting2DTest, EachLightSendsItsRecordsConstantsAndShadowView)
{
    Archive().entries["gbl/lights.fx"] = LightingShader(LightPasses());
    Rig rig = LoadRig({"gbl/lights.fx"});
    ASSERT_TRUE(rig.lighting);
    GBuffer& g = *rig.gbuffer;
    RenderChunk& chunk = *rig.chunk;
    rig.Camera(D3DXVECTOR3(1.0f, 2.0f, -20.0f));
    g.ambient.colour = D3DXVECTOR3(0.1f, 0.2f, 0.3f);

    // A casting point light and a point light that casts no shadow; a casting spot light;
    // a directional light that casts none and one that casts; records as the renderer
    // keeps them, but with light data of their own, to show that the records' data is sent.
    chunk.pointLights.Add(Point(D3DXVECTOR3(0.0f, 0.0f, 0.0f), 3.0f, true));
    chunk.pointLights.Add(Point(D3DXVECTOR3(4.0f, 0.0f, 0.0f), 2.0f, false));
    chunk.spotLights.Add(Spot(D3DXVECTOR3(0.0f, 5.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), true));
    chunk.directionalLights.Add(Directional(D3DXVECTOR3(0.0f, -2.0f, 1.0f), false));
    chunk.directionalLights.Add(Directional(D3DXVECTOR3(1.0f, -2.0f, 0.0f), true));
    chunk.areaTubeLights.Add(Tube(D3DXVECTOR3(-1.0f, 2.0f, 3.0f), D3DXVECTOR3(4.0f, 5.0f, 6.0f)));
    for (uint32_t j = 0; j < 2; ++j)
    {
        GBuffer::ShadowCube record = {};
        record.lightType = RenderChunk::LightPoint;
        record.lightIndex = j;
        record.enabled = 1;
        record.castsShadow = chunk.pointLights[j].castsShadow;
        record.lightToWorld = Translation(0.5f + j, 0.25f, 0.125f);
        record.attenuation = D3DXVECTOR3(2.0f, 0.0f, 1.0f + j);
        record.colour = D3DXVECTOR3(0.0f, 1.0f, 0.5f * j);
        g.shadowCubes.Add(record);
        ASSERT_TRUE(g.AcquireShadowCube(g.shadowCubes[j]));
    }
    GBuffer::ShadowMap spot = {};
    spot.lightType = RenderChunk::LightSpot;
    spot.enabled = 1;
    spot.castsShadow = 1;
    spot.lightToWorld = chunk.spotLights[0].lightToWorld;
    D3DXMatrixPerspectiveFovLH(&spot.lightProjection, 0.9f, 1.0f, 0.1f, 25000.0f);
    spot.colour = D3DXVECTOR3(0.2f, 0.4f, 0.6f);
    spot.spot = 1;
    spot.coneAngle = 0.9f;
    spot.coneRatio = 0.25f;
    GBuffer::ShadowMap directional = {};
    directional.lightType = RenderChunk::LightDirectional;
    directional.enabled = 1;
    directional.lightToWorld = Translation(7.0f, 8.0f, 9.0f);
    D3DXMatrixOrthoLH(&directional.lightProjection, 10.0f, 10.0f, 0.1f, 100.0f);
    directional.direction = D3DXVECTOR3(0.0f, -3.0f, 0.0f);
    directional.colour = D3DXVECTOR3(0.9f, 0.8f, 0.7f);
    GBuffer::ShadowMap casting = directional;
    casting.lightIndex = 1;
    casting.castsShadow = 1;
    g.shadowMaps.Add(spot);
    g.shadowMaps.Add(directional);
    g.shadowMaps.Add(casting);
    for (uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(g.AcquireShadowMap(g.shadowMaps[i]));

    const std::vector<DrawRecord> draws = rig.Render();
    ASSERT_EQ(draws.size(), 7u); // ambient, two directionals, two points, spot, tube
    for (const DrawRecord& draw : draws)
    {
        SCOPED_TRACE(LightTypes[draw.pass]);
        // The G-buffer's camera and ambient colour in every pass
        EXPECT_TRUE(MatrixNear(draw.Matrix("matView"), g.camera.view));
        EXPECT_TRUE(MatrixNear(draw.Matrix("matProjection"), g.camera.projection));
        EXPECT_TRUE(MatrixNear(draw.Matrix("matInvView"), Inverse(g.camera.view)));
        EXPECT_TRUE(MatrixNear(draw.Matrix("matInvProjection"), Inverse(g.camera.projection), 1e-4f));
        EXPECT_EQ(draw.Floats("v4CameraPosition"), Floats(g.camera.position));
        EXPECT_EQ(draw.Floats("v3AmbientLightColor"), Floats(g.ambient.colour));
        // The G-buffer's depth is tested against; its layer is read by the drawing variation.
        EXPECT_EQ(draw.depthView, g.depthTarget->GetDepthStencilView());
        EXPECT_EQ(draw.albedo, g.layers[0].target->GetShaderResourceView());
        EXPECT_EQ(draw.sampler, SamplerOf(rig.lighting->GetShader(), "smp"));
    }

    // Point lights: the record's data, its cube only while the light casts.
    for (uint32_t j = 0; j < 2; ++j)
    {
        const DrawRecord& draw = draws[3 + j];
        const GBuffer::ShadowCube& record = g.shadowCubes[j];
        ASSERT_EQ(draw.pass, PointPass);
        EXPECT_EQ(draw.shadowBit, j == 0);
        EXPECT_EQ(draw.shadowCube, j == 0 ? record.target->GetShaderResourceView() : nullptr);
        EXPECT_EQ(record.target != nullptr, j == 0);
        EXPECT_EQ(draw.Matrix("matLightToWorld"), record.lightToWorld);
        EXPECT_EQ(draw.Floats("v3LightPosition"), (std::vector<float>{0.5f + j, 0.25f, 0.125f}));
        EXPECT_EQ(draw.Floats("v3LightAttenuation"), Floats(record.attenuation));
        EXPECT_EQ(draw.Floats("v3LightColor"), Floats(record.colour));
        EXPECT_EQ(draw.Float("fLightCoverageRadius"), chunk.pointLights[j].radius);
    }

    // The spot light: its map, the inverse of its light to world, its cone, penumbra on.
    const DrawRecord& spotDraw = draws[5];
    ASSERT_EQ(spotDraw.pass, SpotPass);
    EXPECT_TRUE(spotDraw.shadowBit);
    EXPECT_EQ(spotDraw.shadowMap, g.shadowMaps[0].colourTarget->GetShaderResourceView());
    EXPECT_TRUE(MatrixNear(spotDraw.Matrix("matWorldToLight"), Inverse(spot.lightToWorld)));
    EXPECT_EQ(spotDraw.Matrix("matLightToWorld"), spot.lightToWorld);
    EXPECT_EQ(spotDraw.Matrix("matLightProjection"), spot.lightProjection);
    EXPECT_EQ(spotDraw.Float("fLightConeAngle"), 0.9f);
    EXPECT_EQ(spotDraw.Float("fLightConeRatio"), 0.25f);
    EXPECT_EQ(spotDraw.Word("bEnablePenumbra"), 1);
    EXPECT_EQ(spotDraw.Floats("v3LightPosition"), (std::vector<float>{0.0f, 5.0f, 0.0f}));
    EXPECT_EQ(spotDraw.Floats("v3LightColor"), Floats(spot.colour));

    // The directional light casts none: no shadow bit, no map; its direction, penumbra off.
    const DrawRecord& directionalDraw = draws[1];
    ASSERT_EQ(directionalDraw.pass, DirectionalPass);
    EXPECT_FALSE(directionalDraw.shadowBit);
    EXPECT_EQ(directionalDraw.shadowMap, nullptr);
    EXPECT_EQ(directionalDraw.Floats("v3LightDirection"), Floats(directional.direction));
    EXPECT_EQ(directionalDraw.Floats("v3LightColor"), Floats(directional.colour));
    EXPECT_EQ(directionalDraw.Floats("v3LightPosition"), (std::vector<float>{7.0f, 8.0f, 9.0f}));
    EXPECT_TRUE(MatrixNear(directionalDraw.Matrix("matWorldToLight"), Translation(-7.0f, -8.0f, -9.0f)));
    EXPECT_EQ(directionalDraw.Matrix("matLightProjection"), directional.lightProjection);
    EXPECT_EQ(directionalDraw.Word("bEnablePenumbra"), 0);
    // The casting one after it: its map, drawn by the shadow variation.
    ASSERT_EQ(draws[2].pass, DirectionalPass);
    EXPECT_TRUE(draws[2].shadowBit);
    EXPECT_EQ(draws[2].shadowMap, g.shadowMaps[2].colourTarget->GetShaderResourceView());

    // The tube light: its ends, colour and radius, never shadowed.
    const DrawRecord& tubeDraw = draws[6];
    ASSERT_EQ(tubeDraw.pass, AreaTubePass);
    EXPECT_FALSE(tubeDraw.shadowBit);
    EXPECT_EQ(tubeDraw.Floats("v3TubeLightPosition1"), (std::vector<float>{-1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(tubeDraw.Floats("v3TubeLightPosition2"), (std::vector<float>{4.0f, 5.0f, 6.0f}));
    EXPECT_EQ(tubeDraw.Floats("v3LightColor"), (std::vector<float>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(tubeDraw.Float("fAreaLightRadius"), 0.75f);

    // Every pass ends with no current pass and the plain variation.
    EXPECT_EQ(rig.lighting->GetShader()->currentPass, Effect::NoPass);
    EXPECT_EQ(rig.lighting->GetShader()->currentVariation, 0u);
    g.ReleaseTarget();
}

TEST_F(GBufferLighting2DTest, LightWithoutRecordOfItsTypeAndIndexIsDrawnUnshadowedFromTheChunk)
{
    Archive().entries["gbl/lights.fx"] = LightingShader(LightPasses());
    Rig rig = LoadRig({"gbl/lights.fx"});
    ASSERT_TRUE(rig.lighting);
    GBuffer& g = *rig.gbuffer;
    RenderChunk& chunk = *rig.chunk;

    // The G-buffer was drawn from another chunk: a casting point light of index 0 (with
    // its cube) and a spot record that is not in use this frame. This chunk holds a
    // casting area-sphere light 0, two casting point lights and a casting spot light.
    GBuffer::ShadowCube cube = {};
    cube.lightType = RenderChunk::LightPoint;
    cube.enabled = 1;
    cube.castsShadow = 1;
    cube.lightToWorld = Translation(9.0f, 9.0f, 9.0f);
    g.shadowCubes.Add(cube);
    ASSERT_TRUE(g.AcquireShadowCube(g.shadowCubes[0]));
    GBuffer::ShadowMap stale = {};
    stale.lightType = RenderChunk::LightSpot;
    stale.lightToWorld = Translation(9.0f, 9.0f, 9.0f);
    g.shadowMaps.Add(stale);
    chunk.areaSphereLights.Add(AreaSphere(D3DXVECTOR3(1.0f, 2.0f, 3.0f), 0.5f, 4.0f));
    chunk.areaSphereLights[0].castsShadow = 1;
    chunk.pointLights.Add(Point(D3DXVECTOR3(0.0f, 0.0f, 0.0f), 3.0f, true));
    chunk.pointLights.Add(Point(D3DXVECTOR3(2.0f, 1.0f, 0.0f), 2.0f, true));
    const RenderChunk::SpotLight spot = Spot(D3DXVECTOR3(0.0f, 5.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), true);
    chunk.spotLights.Add(spot);

    std::vector<DrawRecord> draws = rig.Render();
    ASSERT_EQ(draws.size(), 5u); // ambient, two points, spot, area sphere
    EXPECT_EQ(LogLinesContaining("drawn unshadowed").size(), 1u);

    // Point light 0 has its record; point light 1 none: the chunk's data, unshadowed.
    ASSERT_EQ(draws[1].pass, PointPass);
    EXPECT_TRUE(draws[1].shadowBit);
    EXPECT_EQ(draws[1].shadowCube, g.shadowCubes[0].target->GetShaderResourceView());
    const DrawRecord& point = draws[2];
    ASSERT_EQ(point.pass, PointPass);
    EXPECT_FALSE(point.shadowBit);
    EXPECT_EQ(point.shadowCube, nullptr);
    EXPECT_EQ(point.Matrix("matLightToWorld"), chunk.pointLights[1].lightToWorld);
    EXPECT_EQ(point.Floats("v3LightPosition"), (std::vector<float>{2.0f, 1.0f, 0.0f}));
    EXPECT_EQ(point.Floats("v3LightAttenuation"), Floats(chunk.pointLights[1].attenuation));
    EXPECT_EQ(point.Floats("v3LightColor"), Floats(chunk.pointLights[1].colour));
    EXPECT_EQ(point.Float("fLightCoverageRadius"), 2.0f);

    // The spot record is not in use: the chunk's spot light, its cone, unshadowed.
    const DrawRecord& spotDraw = draws[3];
    ASSERT_EQ(spotDraw.pass, SpotPass);
    EXPECT_FALSE(spotDraw.shadowBit);
    EXPECT_EQ(spotDraw.shadowMap, nullptr);
    EXPECT_EQ(spotDraw.Matrix("matLightToWorld"), spot.lightToWorld);
    EXPECT_TRUE(MatrixNear(spotDraw.Matrix("matWorldToLight"), Inverse(spot.lightToWorld)));
    EXPECT_EQ(spotDraw.Floats("v3LightPosition"), (std::vector<float>{0.0f, 5.0f, 0.0f}));
    EXPECT_EQ(spotDraw.Floats("v3LightColor"), Floats(spot.colour));
    EXPECT_EQ(spotDraw.Float("fLightConeAngle"), 0.8f);
    EXPECT_NEAR(spotDraw.Float("fLightConeRatio"), 0.75f, 1e-6f);
    EXPECT_EQ(spotDraw.Word("bEnablePenumbra"), 1);
    EXPECT_EQ(spotDraw.depthState, rig.lighting->insideDepthState);

    // The point record of index 0 is no area-sphere record.
    const DrawRecord& area = draws[4];
    ASSERT_EQ(area.pass, AreaSpherePass);
    EXPECT_FALSE(area.shadowBit);
    EXPECT_EQ(area.shadowCube, nullptr);
    EXPECT_EQ(area.Floats("v3LightPosition"), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(area.Float("fLightCoverageRadius"), 4.0f);
    EXPECT_EQ(area.Float("fAreaLightRadius"), 0.5f);

    // The warning is given once per effect.
    LogCapture::Get().Clear();
    draws = rig.Render();
    EXPECT_EQ(draws.size(), 5u);
    EXPECT_TRUE(LogLinesContaining("drawn unshadowed").empty());
    g.ReleaseTarget();
}

TEST_F(GBufferLighting2DTest, ShaderThatReadsTexDepthGetsTheDepthBufferAsATexture)
{
    Archive().entries["gbl/depth.fx"] =
        LightingShader(LightPasses(), "Texture2D texDepth;", "texDepth.Load(int3(0, 0, 0)).r");
    Rig rig = LoadRig({"gbl/depth.fx"});
    ASSERT_TRUE(rig.lighting);
    EXPECT_TRUE(rig.lighting->hasDepthTexture);
    const std::vector<DrawRecord> draws = rig.Render(AmbientPass);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].depthTexture, rig.gbuffer->depthTarget->GetShaderResourceView());
    EXPECT_NE(draws[0].depthView, rig.gbuffer->depthTarget->GetDepthStencilView());
    rig.gbuffer->ReleaseTarget();
}
} // namespace
