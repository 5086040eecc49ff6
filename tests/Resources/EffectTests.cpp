// The effect resource and the reflected shader state on a device: metadata inputs
// becoming parameters and inputs, values and textures reaching the shader, passes with
// internal targets, variations, and the failures of loading. Shaders stay inside the
// part of HLSL that Wine's own compiler handles, so these also pass with BRIVET_HLSL=wine.
#include "ResourcesFixture.h"

#include "Assets/Effect/IEffect.h"
#include "Assets/Effect/IEffectFactory.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/ITexture.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Shader.h"
#include "Graphics/Texture2D.h"
#include "LogCapture.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/ReflectedShaderState.h"
#include "repository/Resources/Texture.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <string>
#include <vector>

using namespace ResourcesTest;
using Brivet::Assets::Effect::IEffect;
using Brivet::Assets::Resource::IResource;
using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Graphics::Program;
using Brivet::Utility::Log;

namespace
{
// The vertex stage every test shader shares: one triangle over the whole target, its
// corners (-1, -1), (-1, 3), (3, -1) from the vertex index (Wine's own compiler cannot
// index a constant array with it).
const std::string VertexStage = R"(
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };
VS_OUTPUT vs_main(uint id : SV_VertexID)
{
    VS_OUTPUT o;
    float x = (float)(id / 2) * 4.0 - 1.0;
    float y = (float)(id % 2) * 4.0 - 1.0;
    o.Pos = float4(x, y, 0.5, 1.0);
    o.Tex = float2(0.5, 0.5);
    return o;
}
)";

// Float constants, a matrix, an unnamed texture and a named one, one variation.
const std::string ColourSource = R"(/*
<metadata>
  <input>v4Colour</input>
  <input>fScale</input>
  <input>v2Offset</input>
  <input>v3Missing</input>
  <input>matTransform</input>
  <input>texSource</input>
  <variation>INVERT</variation>
  <passes>
    <pass name="draw" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="false" write="false"/>
    </pass>
  </passes>
  <sampler name="smpSource" filter="POINT"/>
</metadata>
*/
cbuffer Parameters
{
    float4 v4Colour;
    float fScale;
    float2 v2Offset;
    float4x4 matTransform;
    float2 v2Resolution;
};
Texture2D texSource;
Texture2D texUnnamed;
SamplerState smpSource;
)" + VertexStage + R"(
float4 ps_main(VS_OUTPUT i) : SV_TARGET
{
    float4 c = v4Colour * fScale + texSource.Sample(smpSource, i.Tex) + texUnnamed.Load(int3(0, 0, 0)) * v2Offset.x;
    c.r = c.r + matTransform[0][0] * v2Offset.y;
#ifdef INVERT
    c = float4(1.0, 1.0, 1.0, 1.0) - c;
#endif
    return c;
}
)";

// Two passes: the first draws into a graph-sized internal target, the second reads it.
// Blue and alpha carry the "v2Resolution" each pass was given.
const std::string TwoPassSource = R"(/*
<metadata>
  <input>v4Colour</input>
  <renderTarget name="texScratch" format="R8G8B8A8_UNORM"/>
  <renderTarget name="texFixed" dimensions="16*8" format="R8G8B8A8_UNORM"/>
  <passes>
    <pass name="first" vs="vs_main" ps="ps_first" renderTargets="texScratch"/>
    <pass name="second" vs="vs_main" ps="ps_second"/>
  </passes>
</metadata>
*/
cbuffer Parameters
{
    float4 v4Colour;
    float2 v2Resolution;
};
Texture2D texScratch;
)" + VertexStage + R"(
float4 ps_first(VS_OUTPUT i) : SV_TARGET
{
    return float4(v4Colour.r, v4Colour.g, 0.0, v2Resolution.x / 255.0);
}
float4 ps_second(VS_OUTPUT i) : SV_TARGET
{
    float4 s = texScratch.Load(int3(0, 0, 0));
    return float4(s.r, s.g, s.a, v2Resolution.y / 255.0);
}
)";

// Two variations: red marks the first, green the second.
const std::string VariationSource = R"(/*
<metadata>
  <variation>ENABLE_SHADOWS</variation>
  <variation>SKINNING_ENABLED</variation>
  <passes>
    <pass name="only" vs="vs_main" ps="ps_main"/>
    <pass name="empty"/>
  </passes>
</metadata>
*/
)" + VertexStage + R"(
float4 ps_main(VS_OUTPUT i) : SV_TARGET
{
    float4 c = float4(0.0, 0.0, 0.0, 1.0);
#ifdef ENABLE_SHADOWS
    c.r = 1.0;
#endif
#ifdef SKINNING_ENABLED
    c.g = 1.0;
#endif
    return c;
}
)";

// Two internal targets written by one pass (with a name between them that does not
// exist), a pass whose only name does not exist, and a pass without names that reads both.
const std::string BindingSource = R"(/*
<metadata>
  <renderTarget name="texA" dimensions="16*8" format="R8G8B8A8_UNORM"/>
  <renderTarget name="texB" dimensions="16*8" format="R8G8B8A8_UNORM"/>
  <passes>
    <pass name="write" vs="vs_main" ps="ps_write" renderTargets="texA,texNone,texB">
      <depth read="true" write="false"/>
    </pass>
    <pass name="nowhere" vs="vs_main" ps="ps_write" renderTargets="texNone"/>
    <pass name="read" vs="vs_main" ps="ps_read"/>
  </passes>
</metadata>
*/
Texture2D texA;
Texture2D texB;
struct PS_TARGETS { float4 a : SV_TARGET0; float4 b : SV_TARGET1; };
)" + VertexStage + R"(
PS_TARGETS ps_write(VS_OUTPUT i)
{
    PS_TARGETS o;
    o.a = float4(1.0, 0.0, 0.0, 1.0);
    o.b = float4(0.0, 0.0, 1.0, 1.0);
    return o;
}
float4 ps_read(VS_OUTPUT i) : SV_TARGET
{
    return texA.Load(int3(0, 0, 0)) + texB.Load(int3(0, 0, 0));
}
)";

// Draws with an effect resource bound to its input "Shader", as the 2D layers do: the
// reflected variables become its parameters and inputs.
class ProbeEffect : public IEffect
{
public:
    explicit ProbeEffect(Brivet::Demo* demo) : IEffect(demo) {}

    bool Initialize() override
    {
        outputTypeName = StaticString<64>("texture");
        Declare();
        return true;
    }
    void OnInputsChanged() override { Declare(); }
    void OnInputsResolved() override { state.ResolveInputs(this, GetShader()); }
    void SetOutput(IResource* resource) override { output = resource; }
    IResource* GetOutput() override { return output; }
    void Render(const Brivet::RenderContext& context) override { Draw(context.time); }

    void Declare()
    {
        RetireInputs();
        RetireParameters();
        DeclareInput(StaticString<64>("Shader"), StaticString<64>("effect"));
        state.Declare(prefix, this, GetShader());
        state.ResolveInputs(this, GetShader());
    }

    Effect* GetShader()
    {
        Input* input = nullptr;
        if (!inputs.Find(StaticString<64>("Shader"), &input) || !input->bound)
            return nullptr;
        return static_cast<Effect*>(input->bound);
    }

    // Every pass of the shader into the output.
    void Draw(float time)
    {
        Effect* shader = GetShader();
        if (!shader || !output)
            return;
        Texture* target = static_cast<Texture*>(output);
        ID3D11DeviceContext* context = demo->system.GetContext();
        const uint32_t programs = shader->GetProgramCount();
        for (uint32_t i = 0; i < shader->passes.GetCount(); ++i)
        {
            for (uint32_t k = 0; k < programs; ++k)
                state.Update(shader->passes[i].programs[k], time);
            if (selectVariation)
                shader->currentVariation = variation;
            shader->BeginPass(i);
            shader->BindPassTargets(i, target, nullptr);
            shader->BindInternalTextures(i);
            for (uint32_t k = 0; k < programs; ++k)
                state.BindResources(shader->passes[i].programs[k]);
            Program* program = shader->GetProgram(i);
            if (program->GetStageMask() == 0)
                continue; // a pass without stages draws nothing
            program->Bind(); // uploads what changed since BeginPass
            context->IASetInputLayout(nullptr);
            context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
            context->Draw(3, 0);
        }
        if (endPass)
            shader->EndPass();
    }

    template <typename T>
    Brivet::Parameters::Parameter<T>* Find(const char* name)
    {
        Parameter* record = nullptr;
        if (!parameters.Find(StaticString<64>(name), &record))
            return nullptr;
        return static_cast<Brivet::Parameters::Parameter<T>*>(record->parameter);
    }

    ReflectedShaderState state;
    IResource* output = nullptr;
    String prefix;
    bool selectVariation = false;
    uint32_t variation = 0;
    bool endPass = true;
};

class ProbeFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    StaticString<64> GetName() override { return StaticString<64>("EffectProbe"); }
    IEffect* Create(Brivet::Demo* demo) override { return new ProbeEffect(demo); }
};
ProbeFactory g_ProbeFactory;

class EffectTest : public DemoTest
{
protected:
    void TearDown() override
    {
        for (ProbeEffect* probe : probes)
            delete probe;
        for (IResource* resource : loaded)
            demo->resourceManager.ReleaseResource(resource);
        for (IResource* resource : targets)
        {
            resource->ReleaseTarget();
            demo->resourceManager.DestroyDynamic("texture", resource);
        }
        graph.reset();
        EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), 0u);
    }

    Effect* LoadEffect(const char* path, const std::string& source, Brivet::Compositing::Graph* owner = nullptr)
    {
        Archive().entries[path] = source;
        IResource* resource = demo->GetResource(owner ? owner : graph.get(), "effect", path, nullptr);
        if (resource)
            loaded.push_back(resource);
        return static_cast<Effect*>(resource);
    }

    // An acquired render target of the graph's output size.
    Texture* Target(Brivet::Compositing::Graph* owner = nullptr)
    {
        IResource* resource = demo->resourceManager.CreateDynamic(owner ? owner : graph.get(), "texture", nullptr);
        EXPECT_NE(resource, nullptr);
        targets.push_back(resource);
        EXPECT_EQ(resource->AcquireTarget(), 1u);
        return static_cast<Texture*>(resource);
    }

    ProbeEffect* Probe(Effect* shader, IResource* output, const char* prefix = "")
    {
        ProbeEffect* probe = new ProbeEffect(demo);
        probes.push_back(probe);
        probe->prefix = String(prefix);
        EXPECT_TRUE(probe->Initialize());
        probe->SetInput(StaticString<64>("Shader"), shader);
        probe->OnInputsChanged();
        probe->OnInputsResolved();
        probe->SetOutput(output);
        return probe;
    }

    static uint32_t FirstPixel(Texture* texture)
    {
        const std::vector<uint32_t> pixels =
            ReadPixels(static_cast<Brivet::Graphics::Texture2D*>(texture->GetTexture())->GetTexture());
        return pixels.empty() ? 0xDEADBEEF : pixels[pixels.size() / 2];
    }

    std::vector<ProbeEffect*> probes;
    std::vector<IResource*> loaded;
    std::vector<IResource*> targets;
};
} // namespace

TEST_F(EffectTest, MetadataInputsBecomeParametersAndInputs)
{
    Effect* shader = LoadEffect("colour.fx", ColourSource);
    ASSERT_NE(shader, nullptr) << ::testing::PrintToString(Lines(Log::LevelError));
    EXPECT_TRUE(Lines(Log::LevelError).empty());
    EXPECT_EQ(shader->passes.GetCount(), 1u);
    EXPECT_EQ(shader->GetProgramCount(), 2u);
    EXPECT_EQ(shader->samplers.GetCount(), 1u);
    EXPECT_EQ(shader->currentPass, Effect::NoPass);

    // What the reflection made of the named variables
    ASSERT_EQ(shader->inputs.GetCount(), 1u); // texUnnamed is used but not named
    EXPECT_STREQ(shader->inputs[0].name.GetText(), "texSource");
    EXPECT_EQ(shader->inputs[0].kind, (uint32_t)ShaderReflectionHostBase::ShaderInput::KindTexture);
    EXPECT_EQ(shader->constants.GetCount(), 3u); // not matTransform, not the missing v3Missing
    EXPECT_TRUE(shader->HasVariable("matTransform"));
    EXPECT_TRUE(shader->HasVariable("texUnnamed"));
    EXPECT_FALSE(shader->HasVariable("v3Missing"));

    ProbeEffect* probe = Probe(shader, nullptr);
    ASSERT_NE(probe->Find<D3DXVECTOR4>("v4Colour"), nullptr);
    ASSERT_NE(probe->Find<float>("fScale"), nullptr);
    ASSERT_NE(probe->Find<D3DXVECTOR2>("v2Offset"), nullptr);
    EXPECT_EQ(probe->parameters.GetCount(), 3u);
    IEffect::Parameter* record = nullptr;
    ASSERT_TRUE(probe->parameters.Find(StaticString<64>("v4Colour"), &record));
    EXPECT_EQ(record->type, (uint32_t)Brivet::Parameters::Type::Vector4);
    const D3DXVECTOR4 zero = probe->Find<D3DXVECTOR4>("v4Colour")->GetValue(0.0f);
    EXPECT_EQ(zero.x + zero.y + zero.z + zero.w, 0.0f);

    ASSERT_EQ(probe->inputs.GetCount(), 2u);
    IEffect::Input* input = nullptr;
    ASSERT_TRUE(probe->inputs.Find(StaticString<64>("texSource"), &input));
    EXPECT_STREQ(input->type.GetText(), "texture");

    // With a prefix the parameter is declared as "<prefix> - <name>", still written by the plain name.
    ProbeEffect* prefixed = Probe(shader, nullptr, "Layer");
    EXPECT_NE(prefixed->Find<D3DXVECTOR4>("Layer - v4Colour"), nullptr);
    EXPECT_EQ(prefixed->Find<D3DXVECTOR4>("v4Colour"), nullptr);
    EXPECT_TRUE(prefixed->state.float4Parameters.Find(String("v4Colour")));
}

TEST_F(EffectTest, ParameterValueAndBoundTextureReachTheShader)
{
    Effect* shader = LoadEffect("colour.fx", ColourSource);
    ASSERT_NE(shader, nullptr);
    Texture* output = Target();
    ProbeEffect* probe = Probe(shader, output);
    probe->Find<D3DXVECTOR4>("v4Colour")->SetValue(0.0f, D3DXVECTOR4(0.25f, 0.5f, 0.75f, 1.0f), 0.0f);
    probe->Find<float>("fScale")->SetValue(0.0f, 1.0f, 0.0f);

    probe->Draw(0.0f);
    EXPECT_TRUE(SameColour(FirstPixel(output), Rgba(64, 128, 191))) << ColourText(FirstPixel(output));

    // A texture bound to "texSource" is added in.
    Texture* source = Target();
    const float red[4] = {0.25f, 0.0f, 0.0f, 0.0f};
    demo->system.GetContext()->ClearRenderTargetView(source->GetTexture()->GetRenderTargetView(), red);
    probe->SetInput(StaticString<64>("texSource"), source);
    probe->OnInputsResolved();
    probe->Draw(0.0f);
    EXPECT_TRUE(SameColour(FirstPixel(output), Rgba(128, 128, 191))) << ColourText(FirstPixel(output));

    // Unbound again: the slot gets a null view, not the previous draw's texture.
    probe->SetInput(StaticString<64>("texSource"), nullptr);
    probe->OnInputsResolved();
    Texture** kept = nullptr;
    ASSERT_TRUE(probe->state.textures.Find(String("texSource"), &kept));
    EXPECT_EQ(*kept, nullptr);
    probe->Draw(0.0f);
    EXPECT_TRUE(SameColour(FirstPixel(output), Rgba(64, 128, 191))) << ColourText(FirstPixel(output));
}

TEST_F(EffectTest, ResolveTakesOnlyResourcesOfTheInputsType)
{
    Effect* shader = LoadEffect("colour.fx", ColourSource);
    ASSERT_NE(shader, nullptr);
    ProbeEffect* probe = Probe(shader, nullptr);

    // Put an effect where a texture belongs, past SetInput's own check.
    IEffect::Input* input = nullptr;
    ASSERT_TRUE(probe->inputs.Find(StaticString<64>("texSource"), &input));
    input->bound = shader;
    probe->state.ResolveInputs(probe, shader);
    Texture** kept = nullptr;
    ASSERT_TRUE(probe->state.textures.Find(String("texSource"), &kept));
    EXPECT_EQ(*kept, nullptr);
}

TEST_F(EffectTest, DeclareKeepsEachVariableUnderOneValueType)
{
    Effect* first = LoadEffect("colour.fx", ColourSource);
    // The same names with other types: fScale becomes a float2, v4Colour a float.
    std::string other = ColourSource;
    other.replace(other.find("float fScale;"), 13, "float2 fScale;");
    other.replace(other.find("float4 v4Colour;"), 16, "float v4Colour;");
    other.replace(other.find("v4Colour * fScale"), 17, "v4Colour * fScale.x");
    Effect* second = LoadEffect("other.fx", other);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr) << ::testing::PrintToString(Lines(Log::LevelError));

    ProbeEffect* probe = Probe(first, nullptr);
    EXPECT_TRUE(probe->state.floatParameters.Find(String("fScale")));
    probe->SetInput(StaticString<64>("Shader"), second);
    probe->OnInputsChanged();

    EXPECT_FALSE(probe->state.floatParameters.Find(String("fScale")));
    EXPECT_TRUE(probe->state.float2Parameters.Find(String("fScale")));
    EXPECT_FALSE(probe->state.float4Parameters.Find(String("v4Colour")));
    EXPECT_TRUE(probe->state.floatParameters.Find(String("v4Colour")));
    EXPECT_EQ(probe->state.floatParameters.GetCount() + probe->state.float2Parameters.GetCount() +
                  probe->state.float3Parameters.GetCount() + probe->state.float4Parameters.GetCount(),
              3u);

    // Without a shader nothing is declared and nothing is written.
    probe->SetInput(StaticString<64>("Shader"), nullptr);
    probe->OnInputsChanged();
    EXPECT_EQ(probe->state.floatParameters.GetCount() + probe->state.float2Parameters.GetCount(), 0u);
}

TEST_F(EffectTest, TwoPassesThroughAnInternalTargetOfTheGraphsSize)
{
    Effect* shader = LoadEffect("twopass.fx", TwoPassSource);
    ASSERT_NE(shader, nullptr) << ::testing::PrintToString(Lines(Log::LevelError));
    ASSERT_EQ(shader->passes.GetCount(), 2u);
    EXPECT_EQ(shader->internalTargets.GetCount(), 2u);
    Brivet::Graphics::RenderTarget** scratch = nullptr;
    ASSERT_TRUE(shader->internalTargets.Find(String("texScratch"), &scratch));
    EXPECT_EQ((*scratch)->GetWidth(), 64u); // no "dimensions": the loading graph's output size
    EXPECT_EQ((*scratch)->GetHeight(), 32u);

    Texture* output = Target();
    ProbeEffect* probe = Probe(shader, output);
    probe->Find<D3DXVECTOR4>("v4Colour")->SetValue(0.0f, D3DXVECTOR4(0.5f, 1.0f, 0.0f, 1.0f), 0.0f);
    probe->Draw(0.0f);
    // red, green from the first pass; blue its width, alpha the output's height
    EXPECT_TRUE(SameColour(FirstPixel(output), Rgba(128, 255, 64, 32))) << ColourText(FirstPixel(output));

    // The same file drawn for a graph of another size gets internal targets of that size.
    std::unique_ptr<Brivet::Compositing::Graph> small = MakeGraph(32, 16);
    EXPECT_EQ(LoadEffect("twopass.fx", TwoPassSource, small.get()), shader); // cached
    Texture* smallOutput = Target(small.get());
    probe->SetOutput(smallOutput);
    probe->Draw(0.0f);
    EXPECT_TRUE(SameColour(FirstPixel(smallOutput), Rgba(128, 255, 32, 16))) << ColourText(FirstPixel(smallOutput));

    // And the first graph still draws at its own.
    probe->SetOutput(output);
    probe->Draw(0.0f);
    EXPECT_TRUE(SameColour(FirstPixel(output), Rgba(128, 255, 64, 32))) << ColourText(FirstPixel(output));

    // The small graph's target goes before its graph.
    smallOutput->ReleaseTarget();
    demo->resourceManager.DestroyDynamic("texture", smallOutput);
    targets.pop_back();
}

TEST_F(EffectTest, PassTargetsStatesAndInternalTextures)
{
    std::unique_ptr<Brivet::Compositing::Graph> small = MakeGraph(16, 8);
    Effect* shader = LoadEffect("binding.fx", BindingSource, small.get());
    ASSERT_NE(shader, nullptr) << ::testing::PrintToString(Lines(Log::LevelError));
    ASSERT_EQ(shader->passes.GetCount(), 3u);
    EXPECT_NE(shader->passes[0].depthStencilState, nullptr);
    EXPECT_EQ(shader->passes[1].depthStencilState, nullptr);
    Brivet::Graphics::RenderTarget** a = nullptr;
    Brivet::Graphics::RenderTarget** b = nullptr;
    ASSERT_TRUE(shader->internalTargets.Find(String("texA"), &a));
    ASSERT_TRUE(shader->internalTargets.Find(String("texB"), &b));

    // An output of the same size with a depth target of its own
    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load("<dynamic><rendertarget format=\"R8G8B8A8_UNORM\" "
                              "depthFormat=\"D24_UNORM_S8_UINT\"/></dynamic>"));
    const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
    IResource* resource = demo->resourceManager.CreateDynamic(small.get(), "texture", &element);
    ASSERT_NE(resource, nullptr);
    targets.push_back(resource);
    ASSERT_EQ(resource->AcquireTarget(), 1u);
    Texture* output = static_cast<Texture*>(resource);
    ASSERT_NE(output->GetDepthTexture(), nullptr);
    ID3D11DepthStencilView* outputDepth =
        static_cast<Brivet::Graphics::DepthStencil*>(output->GetDepthTexture())->GetDepthStencilView();

    ID3D11DeviceContext* context = demo->system.GetContext();
    ID3D11RenderTargetView* views[8] = {};
    ID3D11DepthStencilView* depth = nullptr;
    auto boundTargets = [&]() {
        for (ID3D11RenderTargetView*& view : views)
            view = nullptr;
        context->OMGetRenderTargets(8, views, &depth);
        for (ID3D11RenderTargetView* view : views)
            if (view)
                view->Release();
        if (depth)
            depth->Release();
    };

    // A pass without "depth" keeps the state the previous draw left; one with it sets its
    // own with stencil reference 1.
    D3D11_DEPTH_STENCIL_DESC desc = {};
    desc.DepthEnable = FALSE;
    desc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ZERO;
    desc.DepthFunc = D3D11_COMPARISON_ALWAYS;
    ID3D11DepthStencilState* earlier = nullptr;
    ASSERT_HRESULT_SUCCEEDED(demo->system.GetDevice()->CreateDepthStencilState(&desc, &earlier));
    context->OMSetDepthStencilState(earlier, 7);
    shader->BeginPass(1);
    EXPECT_EQ(shader->currentPass, 1u);
    ID3D11DepthStencilState* state = nullptr;
    UINT reference = 0;
    context->OMGetDepthStencilState(&state, &reference);
    EXPECT_EQ(state, earlier);
    EXPECT_EQ(reference, 7u);
    if (state)
        state->Release();
    shader->BeginPass(0);
    context->OMGetDepthStencilState(&state, &reference);
    EXPECT_EQ(state, shader->passes[0].depthStencilState);
    EXPECT_EQ(reference, 1u);
    if (state)
        state->Release();
    earlier->Release();

    // Names that do not exist bind nothing.
    output->BindAsRenderTarget();
    EXPECT_FALSE(shader->BindPassTargets(1, output, nullptr));
    boundTargets();
    EXPECT_EQ(views[0], output->GetTexture()->GetRenderTargetView());
    EXPECT_EQ(views[1], nullptr);

    // The names found, in list order, with the output's depth.
    EXPECT_TRUE(shader->BindPassTargets(0, output, nullptr));
    boundTargets();
    EXPECT_EQ(views[0], (*a)->GetRenderTargetView());
    EXPECT_EQ(views[1], (*b)->GetRenderTargetView());
    for (uint32_t i = 2; i < 8; ++i)
        EXPECT_EQ(views[i], nullptr) << i;
    EXPECT_EQ(depth, outputDepth);
    D3D11_VIEWPORT viewport = {};
    UINT viewports = 1;
    context->RSGetViewports(&viewports, &viewport);
    EXPECT_EQ(viewport.Width, 16.0f);
    EXPECT_EQ(viewport.Height, 8.0f);

    // Drawn: each target gets its own output, and the pass without names reads both into
    // the output.
    context->IASetInputLayout(nullptr);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->Draw(3, 0);
    EXPECT_EQ(ReadPixels((*a)->GetTexture())[0], Rgba(255, 0, 0));
    EXPECT_EQ(ReadPixels((*b)->GetTexture())[0], Rgba(0, 0, 255));

    shader->BeginPass(2);
    EXPECT_FALSE(shader->BindPassTargets(2, output, nullptr));
    shader->BindInternalTextures(2);
    context->Draw(3, 0);
    EXPECT_EQ(FirstPixel(output), Rgba(255, 0, 255));
    shader->EndPass();
    context->ClearState(); // the MRT, depth and view bindings of this test stay here

    output->ReleaseTarget();
    demo->resourceManager.DestroyDynamic("texture", output);
    targets.pop_back();
    for (auto it = loaded.begin(); it != loaded.end(); ++it)
    {
        if (*it == shader)
        {
            demo->resourceManager.ReleaseResource(shader);
            loaded.erase(it);
            break;
        }
    }
}

TEST_F(EffectTest, VariationBitsSelectTheProgram)
{
    Effect* shader = LoadEffect("variations.fx", VariationSource);
    ASSERT_NE(shader, nullptr) << ::testing::PrintToString(Lines(Log::LevelError));
    EXPECT_EQ(shader->GetProgramCount(), 4u);
    ASSERT_EQ(shader->passes.GetCount(), 2u);
    EXPECT_EQ(shader->passes[1].programs[0]->GetStageMask(), 0u); // no stage and still loaded
    EXPECT_EQ(shader->GetVariationBit("enable_shadows"), 1u);
    EXPECT_EQ(shader->GetVariationBit("SKINNING_ENABLED"), 2u);
    EXPECT_EQ(shader->GetVariationBit("INVERT"), 0u);

    Texture* output = Target();
    ProbeEffect* probe = Probe(shader, output);
    probe->selectVariation = true;
    const uint32_t expected[] = {Rgba(0, 0, 0), Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(255, 255, 0)};
    for (uint32_t k = 0; k < 4; ++k)
    {
        probe->variation = k;
        probe->Draw(0.0f);
        EXPECT_EQ(FirstPixel(output), expected[k]) << k << ": " << ColourText(FirstPixel(output));
    }
    // Bits above the file's variations name no program: they are masked off.
    probe->variation = 0xFFFFFFFF;
    probe->Draw(0.0f);
    EXPECT_EQ(FirstPixel(output), expected[3]) << ColourText(FirstPixel(output));
}

// Every pass compiles the whole file once per variation combination: a file of many
// passes stops at the pass and program limits, with one warning.
TEST_F(EffectTest, PassesStopAtThePassAndProgramLimits)
{
    struct Case
    {
        const char* path;
        uint32_t variations;
        uint32_t passes;
        uint32_t loaded;
    };
    const Case cases[] = {
        {"passes.fx", 0, 40, EffectMetadata::MaxPasses},
        {"programs.fx", 4, 20, EffectMetadata::MaxPrograms / 16},
        {"within.fx", 2, 3, 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        std::string metadata;
        for (uint32_t i = 0; i < c.variations; ++i)
            metadata += "<variation>V" + std::to_string(i) + "</variation>";
        metadata += "<passes>";
        for (uint32_t i = 0; i < c.passes; ++i)
            metadata += "<pass name=\"p" + std::to_string(i) + "\" ps=\"ps_main\"/>";
        metadata += "</passes>";
        const std::string source = "/*<metadata>" + metadata + "</metadata>*/\n" +
                                   "float4 ps_main(float4 p : SV_POSITION) : SV_TARGET { return float4(1, 0, 0, 1); }\n";
        LogCapture::Get().Clear();
        Effect* shader = LoadEffect(c.path, source);
        ASSERT_NE(shader, nullptr) << ::testing::PrintToString(Lines(Log::LevelError));
        EXPECT_EQ(shader->passes.GetCount(), c.loaded);
        EXPECT_STREQ(shader->passes[c.loaded - 1].name.GetText(), ("p" + std::to_string(c.loaded - 1)).c_str());
        const std::vector<std::string> warnings = Lines(Log::LevelWarning);
        if (c.loaded == c.passes)
        {
            EXPECT_TRUE(warnings.empty()) << ::testing::PrintToString(warnings);
        }
        else
        {
            ASSERT_EQ(warnings.size(), 1u) << ::testing::PrintToString(warnings);
            EXPECT_EQ(warnings[0], "[effect] " + std::to_string(c.passes - c.loaded) +
                                       " passes dropped: at most 32 passes and 256 programs (passes x 2^variations) load");
        }
    }
}

TEST_F(EffectTest, UsersOfASharedFileDoNotInheritEachOthersVariation)
{
    Effect* shader = LoadEffect("variations.fx", VariationSource);
    ASSERT_NE(shader, nullptr);
    Texture* first = Target();
    Texture* second = Target();
    ProbeEffect* shadowed = Probe(shader, first);
    ProbeEffect* plain = Probe(shader, second);
    shadowed->selectVariation = true;
    shadowed->variation = shader->GetVariationBit("ENABLE_SHADOWS");

    shadowed->Draw(0.0f);
    EXPECT_EQ(shader->currentVariation, 0u);
    EXPECT_EQ(shader->currentPass, Effect::NoPass);
    plain->Draw(0.0f);
    EXPECT_EQ(FirstPixel(first), Rgba(255, 0, 0));
    EXPECT_EQ(FirstPixel(second), Rgba(0, 0, 0)) << ColourText(FirstPixel(second));
}

TEST_F(EffectTest, ParameterFromTheDescriptionReachesTheScreen)
{
    Archive().entries["graph.fx"] = ColourSource;
    demo->RegisterEffectFactory(&g_ProbeFactory);
    const char* const xml = R"(<graph name="probe">
        <node id="1" type="resource" name="shader"><file type="effect" path="graph.fx"/></node>
        <node id="2" type="effect" name="layer"><effect type="EffectProbe">
            <parameter name="v4Colour"><value type="constant"><constant value="0; 0.5; 1; 1"/></value></parameter>
            <parameter name="fScale"><value type="constant"><constant value="0.5"/></value></parameter>
        </effect></node>
        <node id="0" type="output" name="out"><output aspectRatio="1:1"/></node>
        <connection source="1" target="2" slot="Shader"/>
        <connection source="2" target="0" slot="Input"/>
    </graph>)";
    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load(xml));
    Brivet::Compositing::Graph loadedGraph(demo);
    ASSERT_TRUE(loadedGraph.Load(Brivet::Utility::XML::Node(document.GetHandle()->document_element(), &document)))
        << ::testing::PrintToString(Lines(Log::LevelError));

    demo->system.BeginFrame();
    loadedGraph.Render(Brivet::RenderContext::ForTime(0.0f));
    const std::vector<uint32_t> pixels = ReadPixels(demo->system.GetBackBuffer());
    ASSERT_EQ(pixels.size(), (size_t)WindowWidth * WindowHeight);
    const uint32_t centre = pixels[pixels.size() / 2 + WindowWidth / 2];
    EXPECT_TRUE(SameColour(centre, Rgba(0, 64, 128, 128), 3)) << ColourText(centre);
    EXPECT_TRUE(Lines(Log::LevelError).empty()) << ::testing::PrintToString(Lines(Log::LevelError));
}

TEST_F(EffectTest, LoadFailuresAndTheirLines)
{
    std::string broken = ColourSource;
    broken.replace(broken.find("return c;"), 9, "return undeclaredThing;");
    std::string tooMany = VariationSource;
    for (int i = 0; i < 8; ++i)
        tooMany.replace(tooMany.find("<passes>"), 0, "<variation>EXTRA" + std::to_string(i) + "</variation>");

    struct Case
    {
        const char* path;
        std::string source;
        std::vector<std::string> errors; // leading lines of the log, in order
    };
    const std::vector<Case> cases = {
        {"nometa.fx", VertexStage, {"[effect] Metadata tag not found"}},
        {"unclosed.fx", "/* <metadata><passes/> */" + VertexStage, {"[effect] Metadata XML malformed"}},
        {"badxml.fx", "/* <metadata><passes><pass></metadata> */" + VertexStage, {"[effect] Metadata XML malformed"}},
        {"nopasses.fx", "/* <metadata><input>x</input></metadata> */" + VertexStage, {"[effect] No passes found"}},
        {"toomany.fx", tooMany, {"[effect] 10 variations; at most 8 are compiled"}},
        {"broken.fx", broken, {"", "[effect] Shader compile failed", "[effect] Pass 1 invalid"}},
        {"target.fx",
         "/* <metadata><renderTarget name=\"t\" dimensions=\"8*8\"/><passes/></metadata> */" + VertexStage,
         {"[effect] Internal render target creation failed"}},
    };
    for (const Case& c : cases)
    {
        LogCapture::Get().Clear();
        EXPECT_EQ(LoadEffect(c.path, c.source), nullptr) << c.path;
        const std::vector<std::string> errors = Lines(Log::LevelError);
        ASSERT_GE(errors.size(), c.errors.size()) << c.path << ": " << ::testing::PrintToString(errors);
        for (size_t i = 0; i < c.errors.size(); ++i)
        {
            if (!c.errors[i].empty())
            {
                EXPECT_EQ(errors[i], c.errors[i]) << c.path;
            }
        }
    }
    EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), 0u);

    // The stage reports the compiler's own text first.
    LogCapture::Get().Clear();
    EXPECT_EQ(LoadEffect("broken.fx", broken), nullptr);
    const std::vector<std::string> errors = Lines(Log::LevelError);
    ASSERT_FALSE(errors.empty());
    const std::string prefix = "[graphics] Failed to compile pixel shader: ";
    EXPECT_EQ(errors[0].compare(0, prefix.size(), prefix), 0) << errors[0];
    EXPECT_GT(errors[0].size(), prefix.size() + 4) << errors[0]; // the compiler's message follows
    EXPECT_NE(errors[0].find("undeclaredThing"), std::string::npos) << errors[0];

    // A missing file
    LogCapture::Get().Clear();
    EXPECT_EQ(demo->GetResource(graph.get(), "effect", "absent.fx", nullptr), nullptr);
    EXPECT_EQ(Lines(Log::LevelError), std::vector<std::string>{"[effect] File not found: 'absent.fx'"});
}

TEST_F(EffectTest, EffectIsNotCreatedFromADescription)
{
    EXPECT_EQ(demo->resourceManager.CreateDynamic(graph.get(), "effect", nullptr), nullptr);
}

TEST_F(EffectTest, ComputeUpdateWithoutConstantBufferWritesNothing)
{
    Effect* shader = LoadEffect("colour.fx", ColourSource);
    ASSERT_NE(shader, nullptr);
    ProbeEffect* probe = Probe(shader, nullptr);
    Brivet::Graphics::ComputeShader compute(&demo->system); // never compiled: constant buffer 0 is empty
    probe->state.UpdateCompute(&compute, 0.0f);
    probe->state.BindComputeResources(&compute);
    EXPECT_EQ(compute.GetConstantBuffer()->GetSize(), 0u);
    EXPECT_EQ(compute.GetConstantBuffer()->GetData(), nullptr);
}
