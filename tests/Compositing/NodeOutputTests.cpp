// The output node: its letterbox, its shared program (compiled by the platform's HLSL
// compiler) and what it draws onto the back buffer.
#include "CompositingFixture.h"

#include "Compositing/NodeOutput.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cmath>
#include <cstdio>

using namespace Brivet;
using namespace Brivet::Compositing;
using namespace CompositingTest;

namespace
{
// Loads an output node from the text of its "node" element on a back buffer of that size.
bool LoadOutput(NodeOutput& node, const char* xml)
{
    Utility::XML::Document document;
    if (!document.Load(xml))
        return false;
    return node.Load(Utility::XML::Node(document.GetHandle()->first_child(), &document));
}
} // namespace

TEST(NodeOutput, LetterboxFollowsTheAspectRatio)
{
    TestDemo* demo = SharedDemo();
    ASSERT_NE(demo, nullptr);
    struct Case
    {
        uint32_t screenWidth, screenHeight;
        const char* node;
        uint32_t width, height;
        float scaleX, scaleY;
    };
    const Case cases[] = {
        { 1920, 1080, "<node><output aspectRatio='16:9'/></node>", 1920, 1080, 1.0f, 1.0f },
        { 1920, 1080, "<node><output aspectRatio='21:9'/></node>", 1920, 822, 1.0f, 16.0f / 21.0f },
        { 1920, 1080, "<node><output aspectRatio='4:3'/></node>", 1440, 1080, 0.75f, 1.0f },
        { 1366, 768, "<node><output aspectRatio='16:9'/></node>", 1365, 768, (16.0f / 9.0f) / (1366.0f / 768.0f), 1.0f },
        { 1920, 1080, "<node><output aspectRatio='2.35'/></node>", 282, 1080, (2.35f / 9.0f) / (16.0f / 9.0f), 1.0f },
        { 1920, 1080, "<node/>", 1920, 1080, 1.0f, 1.0f },
        { 1920, 1080, "<node><output/></node>", 1920, 1080, 1.0f, 1.0f },
    };
    Graph graph(demo);
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.node);
        demo->width = test.screenWidth;
        demo->height = test.screenHeight;
        NodeOutput node(&graph, 1);
        EXPECT_TRUE(LoadOutput(node, test.node));
        EXPECT_EQ(node.width, test.width);
        EXPECT_EQ(node.height, test.height);
        EXPECT_NEAR(node.scale[0], test.scaleX, 1e-5f);
        EXPECT_NEAR(node.scale[1], test.scaleY, 1e-5f);
    }
    demo->width = 0;
    demo->height = 0;
}

TEST(NodeOutput, ARatioWithoutAPictureFailsItsGraph)
{
    ASSERT_NE(SharedDemo(), nullptr);
    for (const char* ratio : { "0:0", "nan", "-16:9", "1:0", "0:1" })
    {
        SCOPED_TRACE(ratio);
        LogCapture::Get().Clear();
        EXPECT_FALSE(TryLoadGraph(std::string("<graph><node id='1' type='output' name='out'><output aspectRatio='") +
                                  ratio + "'/></node></graph>"));
        EXPECT_EQ(LogLines(Utility::Log::LevelError),
                  (std::vector<std::string>{ std::string("[graph] Output node 'out': the aspect ratio '") + ratio +
                                                 "' gives no picture",
                                             "Failed to load node: 'out'" }));
        EXPECT_EQ(NodeOutput::GetLiveCount(), 0u);
    }
}

TEST(NodeOutput, OutputNodesShareOneProgram)
{
    TestDemo* demo = SharedDemo();
    ASSERT_NE(demo, nullptr);
    Graph graph(demo);
    LogCapture::Get().Clear();
    {
        NodeOutput first(&graph, 1);
        {
            NodeOutput second(&graph, 2);
            EXPECT_EQ(NodeOutput::GetLiveCount(), 2u);
            EXPECT_TRUE(LoadOutput(second, "<node/>"));
        }
        EXPECT_EQ(NodeOutput::GetLiveCount(), 1u);
        // The program the first node made still draws for it.
        EXPECT_TRUE(LoadOutput(first, "<node/>"));
    }
    EXPECT_EQ(NodeOutput::GetLiveCount(), 0u);
    // The built-in shader compiled: no line of the compiler or of the node.
    EXPECT_TRUE(LogLines(Utility::Log::LevelError).empty()) << ::testing::PrintToString(LogLines(Utility::Log::LevelError));
}

TEST(NodeOutput, AConnectionFromTheOutputNodeAsserts)
{
    ASSERT_NE(SharedDemo(), nullptr);
    LogCapture::Get().Clear();
    auto graph = LoadGraph(R"(<graph>
        <node id="1" type="effect"><effect type="Probe"/></node>
        <node id="2" type="output"/>
        <connection source="2" target="1" slot="Input"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);
    ASSERT_EQ(LogCapture::Get().Boxes().size(), 1u);
    EXPECT_NE(LogCapture::Get().Boxes()[0].find("Output node doesn't have a resource!"), std::string::npos);
    EXPECT_EQ(EffectOf(*graph, 1)->Bound("Input"), nullptr);
}

TEST(NodeOutput, WithoutTextureInputsTheBackBufferKeepsTheFrameStart)
{
    TestDemo* demo = SharedDemo();
    ASSERT_NE(demo, nullptr);
    // A test target is no texture resource: the output node has nothing to draw.
    auto graph = LoadGraph(R"(<graph>
        <node id="1" type="effect"><effect type="Probe"/></node>
        <node id="2" type="output"/>
        <connection source="1" target="2"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);

    const float red[4] = { 1.0f, 0.0f, 0.0f, 1.0f };
    demo->system.GetContext()->ClearRenderTargetView(demo->system.GetBackBufferView(), red);
    graph->Render(RenderContext::ForTime(0.0f));
    const std::vector<uint32_t> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), (size_t)Width * Height);
    EXPECT_EQ(pixels[(Height / 2) * Width + Width / 2], 0xFF0000FFu);
}

namespace
{
// State an effect might leave behind that would hide a draw made with the defaults.
void BindHostileState(Graphics::System& system)
{
    ID3D11Device* device = system.GetDevice();
    ID3D11DeviceContext* context = system.GetContext();

    D3D11_BLEND_DESC blend = {};
    blend.RenderTarget[0].BlendEnable = TRUE;
    blend.RenderTarget[0].SrcBlend = D3D11_BLEND_ZERO;
    blend.RenderTarget[0].DestBlend = D3D11_BLEND_ONE;
    blend.RenderTarget[0].BlendOp = D3D11_BLEND_OP_ADD;
    blend.RenderTarget[0].SrcBlendAlpha = D3D11_BLEND_ZERO;
    blend.RenderTarget[0].DestBlendAlpha = D3D11_BLEND_ONE;
    blend.RenderTarget[0].BlendOpAlpha = D3D11_BLEND_OP_ADD;
    blend.RenderTarget[0].RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    ID3D11BlendState* blendState = nullptr;
    ASSERT_TRUE(SUCCEEDED(device->CreateBlendState(&blend, &blendState)));

    D3D11_DEPTH_STENCIL_DESC depth = {};
    depth.DepthEnable = TRUE;
    depth.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ALL;
    depth.DepthFunc = D3D11_COMPARISON_NEVER;
    ID3D11DepthStencilState* depthState = nullptr;
    ASSERT_TRUE(SUCCEEDED(device->CreateDepthStencilState(&depth, &depthState)));

    D3D11_RASTERIZER_DESC rasterizer = {};
    rasterizer.FillMode = D3D11_FILL_SOLID;
    rasterizer.CullMode = D3D11_CULL_BACK;
    rasterizer.FrontCounterClockwise = TRUE;
    rasterizer.ScissorEnable = TRUE;
    ID3D11RasterizerState* rasterizerState = nullptr;
    ASSERT_TRUE(SUCCEEDED(device->CreateRasterizerState(&rasterizer, &rasterizerState)));

    context->OMSetBlendState(blendState, nullptr, 0xFFFFFFFF);
    context->OMSetDepthStencilState(depthState, 0);
    context->RSSetState(rasterizerState);
    const D3D11_RECT nothing = { 0, 0, 0, 0 };
    context->RSSetScissorRects(1, &nothing);
    blendState->Release();
    depthState->Release();
    rasterizerState->Release();
}

// The red channel of a pixel.
uint32_t Red(const std::vector<uint32_t>& pixels, uint32_t x, uint32_t y)
{
    return pixels[y * Width + x] & 0xFF;
}
} // namespace

TEST(NodeOutput, ThePictureStaysOnPassesInWhichNothingIsDirty)
{
    TestDemo* demo = SharedDemo();
    ASSERT_NE(demo, nullptr);
    const NodeOutput::InputTextureFunction previous = NodeOutput::SetInputTexture(&TestTexture);

    // The probe's red rises from 0 at 0 s to 1 at 10 s; a file resource feeds the output too.
    auto graph = LoadGraph(R"(<graph>
        <node id="1" type="effect"><effect type="Probe"><parameter name="Value"><value type="spline">
            <clip start="0" length="10"><key time="0" value="0"/><key time="10" value="1"/></clip>
        </value></parameter></effect></node>
        <node id="3" type="resource"><file type="testfile" path="a.bin"/></node>
        <node id="2" type="output"/>
        <connection source="1" target="2"/>
        <connection source="3" target="2"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);

    // 16:9 on the 64 × 64 back buffer: rows 14 to 49 are the picture, the rest are bars.
    EXPECT_EQ(graph->outputNode->height, 36u);
    struct Frame
    {
        float time;
        uint32_t red;
    };
    ID3D11DeviceContext* context = demo->system.GetContext();
    for (const Frame frame : { Frame{ 5.0f, 128 }, Frame{ 20.0f, 128 }, Frame{ 30.0f, 128 }, Frame{ 7.5f, 191 } })
    {
        SCOPED_TRACE(frame.time);
        demo->system.BeginFrame();
        BindHostileState(demo->system);
        ID3D11BlendState* blendBefore = nullptr;
        ID3D11DepthStencilState* depthBefore = nullptr;
        ID3D11RasterizerState* rasterizerBefore = nullptr;
        float factor[4];
        UINT mask, reference;
        context->OMGetBlendState(&blendBefore, factor, &mask);
        context->OMGetDepthStencilState(&depthBefore, &reference);
        context->RSGetState(&rasterizerBefore);

        graph->Render(RenderContext::ForTime(frame.time));
        const std::vector<uint32_t> pixels = ReadBackBuffer();
        ASSERT_EQ(pixels.size(), (size_t)Width * Height);
        EXPECT_NEAR((int)Red(pixels, Width / 2, Height / 2), (int)frame.red, 2);
        EXPECT_NEAR((int)Red(pixels, 1, 15), (int)frame.red, 2);
        EXPECT_EQ(pixels[Width / 2] & 0xFFFFFF, 0u) << "bar";
        EXPECT_EQ(pixels[(Height - 1) * Width + 3] & 0xFFFFFF, 0u) << "bar";

        // The output node puts back the states the effects left: the next pass that
        // defines none draws with them.
        ID3D11BlendState* blend = nullptr;
        ID3D11DepthStencilState* depth = nullptr;
        ID3D11RasterizerState* rasterizer = nullptr;
        context->OMGetBlendState(&blend, factor, &mask);
        context->OMGetDepthStencilState(&depth, &reference);
        context->RSGetState(&rasterizer);
        EXPECT_NE(blend, nullptr);
        EXPECT_EQ(blend, blendBefore);
        EXPECT_EQ(depth, depthBefore);
        EXPECT_EQ(rasterizer, rasterizerBefore);
        for (IUnknown* state : std::initializer_list<IUnknown*>{ blend, depth, rasterizer, blendBefore, depthBefore,
                                                                 rasterizerBefore })
        {
            if (state)
                state->Release();
        }
    }

    NodeOutput::SetInputTexture(previous);
}

TEST(NodeOutput, GraphsTakingTurnsAreEachSeenInTheirTurn)
{
    TestDemo* demo = SharedDemo();
    ASSERT_NE(demo, nullptr);
    const NodeOutput::InputTextureFunction previous = NodeOutput::SetInputTexture(&TestTexture);

    // Two graphs in description order, each one probe into its output: "a" animated over
    // [0, 3] s with red from 0.2 to 0.4, "b" over [3, 6] s with red from 0.6 to 0.8; "a"
    // is 1:2, so its bars show what else is drawn beside it.
    auto graphOf = [](const char* aspect, float start, float from, float to) {
        char text[512];
        snprintf(text, sizeof(text),
                 "<graph><node id='1' type='effect'><effect type='Probe'><parameter name='Value'>"
                 "<value type='spline'><clip start='%g' length='3'><key time='0' value='%g'/>"
                 "<key time='3' value='%g'/></clip></value></parameter></effect></node>"
                 "<node id='2' type='output'><output aspectRatio='%s'/></node>"
                 "<connection source='1' target='2'/></graph>",
                 start, from, to, aspect);
        return LoadGraph(text);
    };
    auto a = graphOf("1:2", 0.0f, 0.2f, 0.4f);
    auto b = graphOf("16:9", 3.0f, 0.6f, 0.8f);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    demo->graphs.Add(Demo::GraphPage{ a.get(), false, false });
    demo->graphs.Add(Demo::GraphPage{ b.get(), false, false });
    struct Pages // the unique pointers own the graphs; the demo only lends them here
    {
        ~Pages() { demo->graphs = Base::Array<Demo::GraphPage>(); }
        TestDemo* demo;
    } pages{ demo };

    struct Frame
    {
        float time;
        int centre; // red in the middle of the screen
        int side; // red at the left edge of the middle row (a bar of "a"'s 1:2)
    };
    // 16:9 on 64 × 64 covers rows 14 to 49; 1:2 columns 16 to 47.
    const Frame frames[] = {
        { 0.0f, -1, -1 }, // the first pass renders both: "b" over "a"
        { 1.5f, 77, 0 }, // only "a" is dirty: "b" draws nothing over it
        { 2.5f, 94, 0 },
        { 4.5f, 179, 179 }, // "b"'s turn
        { 10.0f, 179, 179 }, // nothing dirty: the last picture again
        { 20.0f, 179, 179 },
        { 1.5f, 77, 0 }, // "a" again
        { 30.0f, 77, 0 },
    };
    for (const Frame& frame : frames)
    {
        SCOPED_TRACE(frame.time);
        demo->system.BeginFrame();
        demo->Render(frame.time);
        if (frame.centre < 0)
            continue;
        const std::vector<uint32_t> pixels = ReadBackBuffer();
        ASSERT_EQ(pixels.size(), (size_t)Width * Height);
        EXPECT_NEAR((int)(pixels[(Height / 2) * Width + Width / 2] & 0xFF), frame.centre, 2);
        EXPECT_NEAR((int)(pixels[(Height / 2) * Width + 2] & 0xFF), frame.side, 2);
        EXPECT_EQ(pixels[2] & 0xFFFFFF, 0u) << "bar of both";
    }

    NodeOutput::SetInputTexture(previous);
}

TEST(NodeOutput, WithoutItsProgramTheOutputNodeFailsItsGraph)
{
    ASSERT_NE(SharedDemo(), nullptr);
    ASSERT_EQ(NodeOutput::GetLiveCount(), 0u);
    TestDemo bare; // no device: the shared program cannot be made
    bare.width = Width;
    bare.height = Height;
    Utility::XML::Document document;
    ASSERT_TRUE(document.Load("<graph><node id='1' type='output' name='out'/></graph>"));
    LogCapture::Get().Clear();
    {
        Graph graph(&bare);
        EXPECT_FALSE(graph.Load(Utility::XML::Node(document.GetHandle()->first_child(), &document)));
        EXPECT_EQ(graph.outputNode, nullptr);
    }
    EXPECT_EQ(LogLines(Utility::Log::LevelError),
              (std::vector<std::string>{ "[graph] The output node needs the graphics device",
                                         "[graph] The output node has no program to draw with",
                                         "Failed to load node: 'out'" }));
    EXPECT_EQ(NodeOutput::GetLiveCount(), 0u);
}
