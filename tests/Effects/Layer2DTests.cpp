// Layer2D on a real device: chained layers read each other's pooled outputs, the
// reflected constants follow their splines, layers render only while animated, every
// pass gets the frame time, and a layer without an input layout or a target draws nothing.
#include "EffectsFixture.h"

#include "Assets/Effect/IEffect.h"
#include "Parameters/IParameter.h"
#include "Parameters/Parameter.h"
#include "repository/Effects/Layer2D.h"
#include "repository/Effects/Layer2DFactory.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/Texture.h"
#include "RenderContext.h"

#include "LogCapture.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <d3d11.h>

using namespace EffectsTest;
using Brivet::Assets::Effect::IEffect;
using Brivet::Base::StaticString;

namespace
{
constexpr uint32_t MarkerColour = Rgba(10, 20, 200);

const std::string SinglePass = "<passes><pass name=\"main\" vs=\"vs_main\" ps=\"ps_main\"/></passes>";
const std::string LinearSampler = "<sampler name=\"smp\" u=\"clamp\" v=\"clamp\" filter=\"LINEAR\"/>";

// A graph of one shader file per Layer2D node, chained in order into a square output node.
// Each layer is {file, "parameter" elements, connections into it besides "Shader"}.
struct Layer
{
    std::string file;
    std::string parameters;
};

std::string ChainGraph(const std::vector<Layer>& layers, const std::string& extraConnections = "")
{
    std::string nodes;
    std::string connections;
    const uint32_t count = static_cast<uint32_t>(layers.size());
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint32_t file = 1 + i;
        const uint32_t effect = 101 + i;
        nodes += "<node id=\"" + std::to_string(file) + "\" type=\"resource\" name=\"file" + std::to_string(i) +
                 "\"><file type=\"effect\" path=\"" + layers[i].file + "\"/></node>";
        nodes += "<node id=\"" + std::to_string(effect) + "\" type=\"effect\" name=\"layer" + std::to_string(i) +
                 "\"><effect type=\"Layer2D\">" + layers[i].parameters + "</effect></node>";
        connections += "<connection source=\"" + std::to_string(file) + "\" target=\"" + std::to_string(effect) +
                       "\" slot=\"Shader\"/>";
    }
    connections += "<connection source=\"" + std::to_string(100 + count) + "\" target=\"999\"/>";
    return "<graph name=\"test\">" + nodes + "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>" +
           connections + extraConnections + "</graph>";
}

// Every pixel of the back buffer has the colour.
::testing::AssertionResult BackBufferIs(uint32_t expected, int tolerance = 2)
{
    const std::vector<uint32_t> pixels = ReadBackBuffer();
    if (pixels.size() != size_t(Width) * Height)
        return ::testing::AssertionFailure() << "no back buffer read back";
    for (size_t i = 0; i < pixels.size(); ++i)
    {
        if (!SameColour(pixels[i], expected, tolerance))
        {
            return ::testing::AssertionFailure() << "pixel (" << i % Width << ", " << i / Width << ") is "
                                                 << ColourText(pixels[i]) << ", expected " << ColourText(expected);
        }
    }
    return ::testing::AssertionSuccess();
}

// Every pixel of the texture's colour target has the colour.
::testing::AssertionResult TextureIs(Texture* texture, uint32_t expected)
{
    if (!texture || !texture->GetTexture())
        return ::testing::AssertionFailure() << "the texture holds no target";
    const std::vector<uint32_t> pixels = ReadTexture(texture->GetTexture());
    if (pixels.empty())
        return ::testing::AssertionFailure() << "no pixels read back";
    for (size_t i = 0; i < pixels.size(); ++i)
    {
        if (!SameColour(pixels[i], expected))
            return ::testing::AssertionFailure() << "texel " << i << " is " << ColourText(pixels[i]);
    }
    return ::testing::AssertionSuccess();
}

Brivet::Parameters::IParameter* ParameterOf(IEffect* effect, const char* name, uint32_t* type = nullptr)
{
    IEffect::Parameter* record = nullptr;
    if (!effect || !effect->parameters.Find(StaticString<64>(name), &record))
        return nullptr;
    if (type)
        *type = record->type;
    return record->parameter;
}

bool HasInput(IEffect* effect, const char* name, const char* type)
{
    IEffect::Input* record = nullptr;
    return effect && effect->inputs.Find(StaticString<64>(name), &record) &&
           record->type.GetHashLower() == StaticString<64>(type).GetHashLower();
}

class Layer2DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
    }
};

TEST_F(Layer2DTest, ChainedLayersReadThePooledOutputAndFollowTheSpline)
{
    // The first layer writes an animated colour; the second reads it and swaps its channels,
    // so the output shows what the second layer made of the first one's texture.
    Archive().entries["chain/colour.fx"] = LayerShader(
        "<input>v4Colour</input>" + SinglePass,
        "cbuffer constants { float fRenderTime; float2 v2Resolution; float4 v4Colour; };\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return v4Colour; }");
    Archive().entries["chain/swizzle.fx"] = LayerShader(
        "<input>texInput</input>" + LinearSampler + SinglePass,
        "Texture2D texInput; Texture2D texUnlisted; SamplerState smp;\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
        "  float4 c = texInput.Sample(smp, float2(In.Tex.x, 1.0 - In.Tex.y)) + texUnlisted.Sample(smp, In.Tex);\n"
        "  return float4(c.b, c.r, c.g, 1); }");
    const std::string spline = "<parameter name=\"v4Colour\"><value type=\"spline\"><clip start=\"0\" length=\"2\">"
                               "<key time=\"0\" interpolation=\"linear\" value=\"1; 0; 0; 1\"/>"
                               "<key time=\"1\" interpolation=\"smoothstep\" value=\"0; 1; 0; 1\"/>"
                               "<key time=\"2\" value=\"0; 0; 1; 1\"/></clip></value></parameter>";
    auto graph = LoadGraph(ChainGraph({{"chain/colour.fx", spline}, {"chain/swizzle.fx", ""}},
                                      "<connection source=\"101\" target=\"102\" slot=\"texInput\"/>"));
    ASSERT_NE(graph, nullptr);
    IEffect* colour = EffectOf(*graph, 101);
    IEffect* swizzle = EffectOf(*graph, 102);
    ASSERT_NE(colour, nullptr);
    ASSERT_NE(swizzle, nullptr);

    // The listed constant became a float4 parameter that took the node's spline; the
    // listed texture became an input, the unlisted one did not.
    uint32_t type = 0;
    auto* parameter = static_cast<Brivet::Parameters::Parameter<D3DXVECTOR4>*>(ParameterOf(colour, "v4Colour", &type));
    ASSERT_NE(parameter, nullptr);
    EXPECT_EQ(type, 5u);
    EXPECT_TRUE(parameter->IsAnimatedAt(0.5f));
    EXPECT_TRUE(HasInput(swizzle, "Shader", "effect"));
    EXPECT_TRUE(HasInput(swizzle, "texInput", "texture"));
    EXPECT_FALSE(HasInput(swizzle, "texUnlisted", "texture"));
    EXPECT_EQ(colour->outputTypeName.GetHashLower(), StaticString<64>("texture").GetHashLower());

    // Linear at 0.5 s; smoothstep a quarter of the way at 1.25 s: 0.25² (3 - 0.5) = 0.15625.
    struct Case
    {
        float time;
        D3DXVECTOR4 colour;
    };
    const Case cases[] = {
        {0.5f, D3DXVECTOR4(0.5f, 0.5f, 0.0f, 1.0f)},
        {1.25f, D3DXVECTOR4(0.0f, 0.84375f, 0.15625f, 1.0f)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.time);
        const D3DXVECTOR4 value = parameter->GetValue(c.time);
        EXPECT_NEAR(value.x, c.colour.x, 1e-4f);
        EXPECT_NEAR(value.y, c.colour.y, 1e-4f);
        EXPECT_NEAR(value.z, c.colour.z, 1e-4f);

        ClearBackBuffer(MarkerColour);
        Render(*graph, c.time);
        EXPECT_TRUE(BackBufferIs(RgbaOf(value.z, value.x, value.y)));
    }
}

TEST_F(Layer2DTest, ConstantLayerRendersOnceAndIsNotRenderedAgain)
{
    // Red from a constant parameter, green from the frame time: a frame drawn later would
    // show a later time.
    Archive().entries["static/level.fx"] = LayerShader(
        "<input>fLevel</input>" + SinglePass,
        "cbuffer constants { float fRenderTime; float2 v2Resolution; float fLevel; };\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(fLevel, fRenderTime * 0.25, 0, 1); }");
    auto graph = LoadGraph(ChainGraph({{"static/level.fx", "<parameter name=\"fLevel\"><value type=\"constant\">"
                                                           "<constant value=\"0.5\"/></value></parameter>"}}));
    ASSERT_NE(graph, nullptr);
    IEffect* layer = EffectOf(*graph, 101);
    ASSERT_NE(ParameterOf(layer, "fLevel"), nullptr);
    uint32_t index = 0;
    ASSERT_TRUE(graph->FindIndex(101, &index));

    ClearBackBuffer(MarkerColour);
    Render(*graph, 1.0f);
    EXPECT_TRUE(graph->rendered[index]);
    EXPECT_TRUE(BackBufferIs(RgbaOf(0.5f, 0.25f, 0.0f)));

    // Nothing is animated: the frame time alone does not make the layer draw again, and
    // the picture keeps the first frame.
    for (float t : {1.5f, 3.0f})
    {
        SCOPED_TRACE(t);
        ClearBackBuffer(MarkerColour);
        Render(*graph, t);
        EXPECT_FALSE(graph->rendered[index]);
        EXPECT_TRUE(BackBufferIs(RgbaOf(0.5f, 0.25f, 0.0f)));
    }
}

TEST_F(Layer2DTest, LayerRendersAgainOnlyWhileAClipCoversTheTime)
{
    Archive().entries["animated/level.fx"] = LayerShader(
        "<input>fLevel</input>" + SinglePass,
        "cbuffer constants { float fRenderTime; float2 v2Resolution; float fLevel; };\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(fLevel, fRenderTime * 0.25, 0, 1); }");
    const std::string spline = "<parameter name=\"fLevel\"><value type=\"spline\"><clip start=\"2\" length=\"2\">"
                               "<key time=\"0\" interpolation=\"hold\" value=\"0.5\"/></clip></value></parameter>";
    auto graph = LoadGraph(ChainGraph({{"animated/level.fx", spline}}));
    ASSERT_NE(graph, nullptr);
    uint32_t index = 0;
    ASSERT_TRUE(graph->FindIndex(101, &index));

    // The first render draws everything; outside its clip the parameter is 0. Where the
    // layer does not render, the picture keeps its last frame.
    struct Case
    {
        float time;
        bool rendered;
        uint32_t expected;
    };
    const Case cases[] = {
        {1.0f, true, RgbaOf(0.0f, 0.25f, 0.0f)},
        {1.5f, false, RgbaOf(0.0f, 0.25f, 0.0f)},
        {3.0f, true, RgbaOf(0.5f, 0.75f, 0.0f)},
        {3.5f, true, RgbaOf(0.5f, 0.875f, 0.0f)},
        {4.5f, false, RgbaOf(0.5f, 0.875f, 0.0f)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.time);
        ClearBackBuffer(MarkerColour);
        Render(*graph, c.time);
        EXPECT_EQ(graph->rendered[index], c.rendered);
        EXPECT_TRUE(BackBufferIs(c.expected));
    }
}

TEST_F(Layer2DTest, EveryPassGetsTheFrameTime)
{
    // The first pass draws its time into an internal target, the second reads it back and
    // adds its own time and the output's width.
    Archive().entries["passes/two.fx"] = LayerShader(
        "<renderTarget name=\"first\" format=\"R8G8B8A8_UNORM\"/>" + LinearSampler +
            "<passes><pass name=\"one\" vs=\"vs_main\" ps=\"ps_first\" renderTargets=\"first\"/>"
            "<pass name=\"two\" vs=\"vs_main\" ps=\"ps_second\"/></passes>",
        "cbuffer constants { float fRenderTime; float2 v2Resolution; };\n"
        "Texture2D first; SamplerState smp;\n"
        "float4 ps_first(VS_OUTPUT In) : SV_TARGET { return float4(fRenderTime * 0.1, 0, 0, 1); }\n"
        "float4 ps_second(VS_OUTPUT In) : SV_TARGET {\n"
        "  float4 c = first.Sample(smp, In.Tex);\n"
        "  return float4(c.r, fRenderTime * 0.1, v2Resolution.x / 256.0, 1); }");
    auto graph = LoadGraph(ChainGraph({{"passes/two.fx", ""}}));
    ASSERT_NE(graph, nullptr);
    auto* layer = static_cast<Layer2D*>(EffectOf(*graph, 101));
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->GetShader(), nullptr);
    EXPECT_EQ(layer->GetShader()->passes.GetCount(), 2u);

    ClearBackBuffer(MarkerColour);
    Render(*graph, 2.0f);
    EXPECT_TRUE(BackBufferIs(RgbaOf(0.2f, 0.2f, 0.25f)));
    EXPECT_EQ(layer->GetShader()->currentPass, Effect::NoPass);
}

TEST_F(Layer2DTest, PassWithAGeometryStageDrawsWhatItEmits)
{
    BRIVET_SKIP_WITHOUT_HLSL_2("geometry shaders");
    // The geometry stage narrows the quad to the middle "fWidth" of the target; its
    // constants are the layer's parameters like those of the other stages.
    Archive().entries["narrow.fx"] = LayerShader(
        "<input>fWidth</input><input>v4Tint</input>"
        "<passes><pass name=\"main\" vs=\"vs_main\" gs=\"gs_narrow\" ps=\"ps_main\"/></passes>",
        "cbuffer constants { float4 v4Tint; float fWidth; };\n"
        "[maxvertexcount(3)]\n"
        "void gs_narrow(triangle VS_OUTPUT input[3], inout TriangleStream<VS_OUTPUT> stream) {\n"
        "  for (uint i = 0; i < 3; ++i) { VS_OUTPUT v = input[i]; v.Pos.x *= fWidth; stream.Append(v); }\n"
        "  stream.RestartStrip(); }\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return v4Tint; }");
    auto graph = LoadGraph(ChainGraph(
        {{"narrow.fx", ConstantParameter("fWidth", "0.5") + ConstantParameter("v4Tint", "0; 1; 0; 1")}}));
    ASSERT_NE(graph, nullptr);
    auto* layer = static_cast<Layer2D*>(EffectOf(*graph, 101));
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->GetShader(), nullptr);
    EXPECT_NE(ParameterOf(layer, "fWidth"), nullptr);

    ClearBackBuffer(MarkerColour);
    Render(*graph, 0.0f);
    const std::vector<uint32_t> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    for (uint32_t y : {1u, Height / 2, Height - 2})
    {
        for (uint32_t x : {Width / 4 + 1, Width / 2, 3 * Width / 4 - 2})
            EXPECT_TRUE(SameColour(pixels[y * Width + x], Rgba(0, 255, 0)))
                << x << ", " << y << ": " << ColourText(pixels[y * Width + x]);
        for (uint32_t x : {0u, Width / 4 - 2, 3 * Width / 4 + 1, Width - 1})
            EXPECT_FALSE(SameColour(pixels[y * Width + x], Rgba(0, 255, 0)))
                << x << ", " << y << ": " << ColourText(pixels[y * Width + x]);
    }
    EXPECT_TRUE(LogLinesContaining("[graphics]").empty());
}

TEST_F(Layer2DTest, StatesAPassDoesNotDefineStayAsThePreviousDrawLeftThem)
{
    // Only the last of three passes blends (additively). Its blend state is still bound
    // when the first passes of the next frame draw, the output node's own draw between
    // the frames notwithstanding.
    Archive().entries["states/three.fx"] = LayerShader(
        "<input>fLevel</input><passes>"
        "<pass name=\"one\" vs=\"vs_main\" ps=\"ps_one\"/>"
        "<pass name=\"two\" vs=\"vs_main\" ps=\"ps_two\"/>"
        "<pass name=\"three\" vs=\"vs_main\" ps=\"ps_three\">"
        "<blend renderTarget=\"0\"><color src=\"ONE\" dst=\"ONE\"/><alpha src=\"ONE\" dst=\"ONE\"/></blend>"
        "</pass></passes>",
        "cbuffer constants { float fRenderTime; float2 v2Resolution; float fLevel; };\n"
        "float4 ps_one(VS_OUTPUT In) : SV_TARGET { return float4(fLevel, 0, 0, 1); }\n"
        "float4 ps_two(VS_OUTPUT In) : SV_TARGET { return float4(0, fLevel, 0, 1); }\n"
        "float4 ps_three(VS_OUTPUT In) : SV_TARGET { return float4(0, 0, fLevel * 2.0, 0); }");
    const std::string spline = "<parameter name=\"fLevel\"><value type=\"spline\"><clip start=\"0\" length=\"10\">"
                               "<key time=\"0\" interpolation=\"hold\" value=\"0.25\"/></clip></value></parameter>";
    auto graph = LoadGraph(ChainGraph({{"states/three.fx", spline}}));
    ASSERT_NE(graph, nullptr);
    SharedDemo()->system.GetContext()->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFF);

    // First frame: the second pass replaces the first, the third adds blue.
    ClearBackBuffer(MarkerColour);
    Render(*graph, 1.0f);
    EXPECT_TRUE(BackBufferIs(RgbaOf(0.0f, 0.25f, 0.5f)));

    // Next frames: every pass adds onto the cleared output.
    for (float t : {2.0f, 3.0f})
    {
        SCOPED_TRACE(t);
        ClearBackBuffer(MarkerColour);
        Render(*graph, t);
        EXPECT_TRUE(BackBufferIs(RgbaOf(0.25f, 0.25f, 0.5f)));
    }
    SharedDemo()->system.GetContext()->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFF);
}

TEST_F(Layer2DTest, LayersSharingAFileDrawWithThePlainProgramsAfterEachPass)
{
    // Two layers draw one file; a variation was left selected before the first of them.
    // The first ends its pass as every user does, so the second draws the plain program.
    Archive().entries["variation/red.fx"] = LayerShader(
        "<variation>INVERT</variation>" + SinglePass,
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
        "  float4 c = float4(1, 0, 0, 1);\n"
        "#ifdef INVERT\n"
        "  c = float4(0, 1, 1, 1);\n"
        "#endif\n"
        "  return c; }");
    auto graph = LoadGraph(
        "<graph name=\"shared\">"
        "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"variation/red.fx\"/></node>"
        "<node id=\"3\" type=\"effect\" name=\"first\"><effect type=\"Layer2D\"/></node>"
        "<node id=\"4\" type=\"effect\" name=\"second\"><effect type=\"Layer2D\"/></node>"
        "<node id=\"9\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
        "<connection source=\"1\" target=\"3\" slot=\"Shader\"/>"
        "<connection source=\"1\" target=\"4\" slot=\"Shader\"/>"
        "<connection source=\"3\" target=\"9\"/><connection source=\"4\" target=\"9\"/>"
        "</graph>");
    ASSERT_NE(graph, nullptr);
    Effect* shader = static_cast<Layer2D*>(EffectOf(*graph, 3))->GetShader();
    ASSERT_NE(shader, nullptr);
    ASSERT_EQ(shader->GetProgramCount(), 2u);
    shader->currentVariation = shader->GetVariationBit("INVERT");

    // The output shows the second layer over the first.
    ClearBackBuffer(MarkerColour);
    Render(*graph, 0.0f);
    EXPECT_TRUE(BackBufferIs(Rgba(255, 0, 0)));
    EXPECT_EQ(shader->currentVariation, 0u);
    EXPECT_EQ(shader->currentPass, Effect::NoPass);
}

TEST_F(Layer2DTest, TheDrawingVariationGetsItsOwnViewsAndSamplers)
{
    // Variation 0 reads only texB with smpB; "BOTH" reads texA with smpA first, so the
    // compiler gives texB and smpB other registers there. texA is red, texB black on its left
    // half and white on its right; sampled at u = 1.25, clamping (smpB) gives white and
    // wrapping (smpA) black.
    Archive().entries["pick/red.fx"] =
        LayerShader(SinglePass, "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 0, 1); }");
    Archive().entries["pick/halves.fx"] = LayerShader(
        SinglePass, "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return In.Tex.x < 0.5 ? float4(0, 0, 0, 1) : 1; }");
    Archive().entries["pick/pick.fx"] = LayerShader(
        "<input>texA</input><input>texB</input><variation>BOTH</variation>"
        "<sampler name=\"smpA\" u=\"wrap\" v=\"wrap\" filter=\"POINT\"/>"
        "<sampler name=\"smpB\" u=\"clamp\" v=\"clamp\" filter=\"POINT\"/>" +
            SinglePass,
        "#ifdef BOTH\nTexture2D texA; SamplerState smpA;\n#endif\n"
        "Texture2D texB; SamplerState smpB;\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
        "  float4 c = float4(texB.Sample(smpB, float2(1.25, 0.5)).rgb, 1);\n"
        "#ifdef BOTH\n  c.rb = float2(texA.Sample(smpA, float2(1.25, 0.5)).r, 0);\n#endif\n"
        "  return c; }");
    struct Case
    {
        bool both;
        uint32_t expected;
    };
    const Case cases[] = {
        {false, Rgba(255, 255, 255)}, // texB through smpB
        {true, Rgba(255, 255, 0)},    // red of texA through smpA, green of texB through smpB
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.both ? "BOTH" : "variation 0");
        auto graph = LoadGraph(ChainGraph({{"pick/red.fx", ""}, {"pick/halves.fx", ""}, {"pick/pick.fx", ""}},
                                          "<connection source=\"101\" target=\"103\" slot=\"texA\"/>"
                                          "<connection source=\"102\" target=\"103\" slot=\"texB\"/>"));
        ASSERT_NE(graph, nullptr);
        Effect* pick = static_cast<Layer2D*>(EffectOf(*graph, 103))->GetShader();
        ASSERT_NE(pick, nullptr);
        ASSERT_EQ(pick->GetProgramCount(), 2u);
        if (c.both)
            pick->currentVariation = pick->GetVariationBit("BOTH");

        ClearBackBuffer(MarkerColour);
        Render(*graph, 0.0f);
        EXPECT_TRUE(BackBufferIs(c.expected));
    }
}

TEST_F(Layer2DTest, LayerWithoutAnInputLayoutDrawsNothing)
{
    // The second layer's first pass has no vertex stage, so no layout can be made for its
    // quad; its second pass would draw red with the first layer's layout still bound.
    Archive().entries["layout/green.fx"] = LayerShader(
        SinglePass, "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(0, 1, 0, 1); }");
    Archive().entries["layout/broken.fx"] = LayerShader(
        "<passes><pass name=\"pixels\" ps=\"ps_main\"/><pass name=\"full\" vs=\"vs_main\" ps=\"ps_main\"/></passes>",
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 0, 1); }");
    auto graph = LoadGraph(
        "<graph name=\"layout\">"
        "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"layout/green.fx\"/></node>"
        "<node id=\"2\" type=\"resource\"><file type=\"effect\" path=\"layout/broken.fx\"/></node>"
        "<node id=\"3\" type=\"effect\" name=\"green\"><effect type=\"Layer2D\"/></node>"
        "<node id=\"4\" type=\"effect\" name=\"broken\"><effect type=\"Layer2D\"/></node>"
        "<node id=\"9\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
        "<connection source=\"1\" target=\"3\" slot=\"Shader\"/>"
        "<connection source=\"2\" target=\"4\" slot=\"Shader\"/>"
        "<connection source=\"3\" target=\"9\"/><connection source=\"4\" target=\"9\"/>"
        "</graph>");
    ASSERT_NE(graph, nullptr);
    auto* green = static_cast<Layer2D*>(EffectOf(*graph, 3));
    auto* broken = static_cast<Layer2D*>(EffectOf(*graph, 4));
    ASSERT_NE(green, nullptr);
    ASSERT_NE(broken, nullptr);
    EXPECT_NE(green->GetInputLayout(), nullptr);
    EXPECT_EQ(broken->GetInputLayout(), nullptr);
    EXPECT_FALSE(LogLinesContaining("[Layer2D] CreateInputLayout failed: ").empty());

    // The output draws the broken layer's cleared texture over the green one.
    ClearBackBuffer(MarkerColour);
    Render(*graph, 0.0f);
    EXPECT_TRUE(BackBufferIs(Rgba(0, 0, 0, 0)));

    // Drawn on their own, the green layer sends its quad down the pipeline, the broken one
    // nothing at all. The outputs hold their targets for this.
    Brivet::Assets::Resource::IResource* outputs[] = {green->GetOutput(), broken->GetOutput()};
    for (auto* output : outputs)
        output->AcquireTarget();
    const Brivet::RenderContext context = Brivet::RenderContext::ForTime(0.5f);
    const int64_t greenVertices = VerticesDrawn([&] { green->Render(context); });
    if (greenVertices < 0)
        ADD_FAILURE() << "the device counts no vertices";
    else
        EXPECT_EQ(greenVertices, 4);
    EXPECT_EQ(VerticesDrawn([&] { broken->Render(context); }), 0);
    for (auto* output : outputs)
        output->ReleaseTarget();
}

TEST_F(Layer2DTest, LayerWhoseOutputHoldsNoTargetDrawsNothing)
{
    // A render-target texture that was never acquired holds no target: the layer must not
    // draw into whatever target is bound (here the back buffer).
    Archive().entries["target/red.fx"] = LayerShader(
        SinglePass, "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 0, 1); }");
    auto graph = LoadGraph("<graph name=\"sizes\"><node id=\"9\" type=\"output\">"
                           "<output aspectRatio=\"1:1\"/></node></graph>");
    ASSERT_NE(graph, nullptr);
    Brivet::Demo* demo = SharedDemo();
    Brivet::Assets::Resource::Manager& manager = demo->resourceManager;
    const StaticString<64> textureType("texture");
    Brivet::Assets::Resource::IResource* shader =
        manager.GetResource(graph.get(), StaticString<64>("effect"), "target/red.fx", nullptr);
    ASSERT_NE(shader, nullptr);
    Brivet::Assets::Resource::IResource* texture = manager.CreateDynamic(graph.get(), textureType, nullptr);
    ASSERT_NE(texture, nullptr);

    std::unique_ptr<IEffect> layer(Layer2DFactory::instance.Create(demo));
    ASSERT_TRUE(layer->Initialize());
    layer->SetInput(StaticString<64>("Shader"), shader);
    layer->OnInputsChanged();
    layer->SetOutput(texture);
    ASSERT_NE(static_cast<Layer2D*>(layer.get())->GetInputLayout(), nullptr);

    for (float t : {0.0f, 0.5f})
    {
        SCOPED_TRACE(t);
        ClearBackBuffer(MarkerColour);
        layer->Render(Brivet::RenderContext::ForTime(t));
        EXPECT_TRUE(BackBufferIs(MarkerColour));
    }
    // Reported once, not in every frame.
    EXPECT_EQ(LogLinesContaining("has no render target to draw into").size(), 1u);

    // Once the texture holds its target the layer draws into it, not into the back buffer.
    texture->AcquireTarget();
    ClearBackBuffer(MarkerColour);
    layer->Render(Brivet::RenderContext::ForTime(1.0f));
    EXPECT_TRUE(BackBufferIs(MarkerColour));
    EXPECT_TRUE(TextureIs(static_cast<Texture*>(texture), Rgba(255, 0, 0)));
    texture->ReleaseTarget();

    layer.reset();
    manager.DestroyDynamic(textureType, texture);
    manager.ReleaseResource(shader);
}

TEST_F(Layer2DTest, UnconnectedLayerDeclaresOnlyItsShaderInputAndDrawsNothing)
{
    auto graph = LoadGraph("<graph name=\"alone\">"
                           "<node id=\"1\" type=\"effect\" name=\"alone\"><effect type=\"Layer2D\"/></node>"
                           "<node id=\"9\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
                           "<connection source=\"1\" target=\"9\"/></graph>");
    ASSERT_NE(graph, nullptr);
    auto* layer = static_cast<Layer2D*>(EffectOf(*graph, 1));
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->inputs.GetCount(), 1u);
    EXPECT_TRUE(HasInput(layer, "Shader", "effect"));
    EXPECT_EQ(layer->parameters.GetCount(), 0u);
    EXPECT_EQ(layer->GetShader(), nullptr);
    EXPECT_EQ(layer->GetInputLayout(), nullptr);

    ClearBackBuffer(MarkerColour);
    Render(*graph, 0.0f);
    // Its pooled output was cleared at acquisition and nothing drew into it.
    EXPECT_TRUE(BackBufferIs(Rgba(0, 0, 0, 0)));
    EXPECT_TRUE(LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning).empty());
    EXPECT_TRUE(LogCapture::Get().Lines(Brivet::Utility::Log::LevelError).empty());
}
} // namespace
