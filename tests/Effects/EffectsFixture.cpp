// The shared demo of the effect tests, its archive, graph loading and read-back.
#include "EffectsFixture.h"

#include "Compositing/INode.h"
#include "Compositing/NodeEffect.h"
#include "Graphics/ITexture.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/RegisterRepository.h"

#include "LogCapture.h"
#include "windows/DeviceFixture.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace Brivet;

namespace EffectsTest
{
namespace
{
struct Shared
{
    WindowsTest::TestWindow window{"brivet-effects-tests", "effects tests", Width, Height};
    Demo demo;
    MemoryArchive archive;
    bool ready = false;

    Shared()
    {
        ready = window.StartSystem(demo.system);

        demo.archive = &archive;
        RegisterRepository(&demo);
    }

    ~Shared()
    {
        demo.archive = nullptr;
        demo.renderTargetPool.Clear();
        demo.system.Shutdown();
    }
};
} // namespace

Demo* SharedDemo()
{
    Shared& shared = WindowsTest::SharedInstance<Shared>::Get();
    return shared.ready ? &shared.demo : nullptr;
}

MemoryArchive& Archive()
{
    return WindowsTest::SharedInstance<Shared>::Get().archive;
}

std::unique_ptr<Compositing::Graph> LoadGraph(const std::string& xml)
{
    Demo* demo = SharedDemo();
    Utility::XML::Document document;
    if (!demo || !document.Load(xml.c_str()))
    {
        ADD_FAILURE() << "no device, or the graph text does not parse";
        return nullptr;
    }
    demo->nodesLoaded = 0;
    demo->nodesTotal = 0;
    auto graph = std::make_unique<Compositing::Graph>(demo);
    if (!graph->Load(Utility::XML::Node(document.GetHandle()->first_child(), &document)))
    {
        std::string log;
        for (const LogCapture::Line& line : LogCapture::Get().Lines())
            log += "\n  " + line.text;
        ADD_FAILURE() << "the graph did not load:" << log;
        return nullptr;
    }
    return graph;
}

Assets::Effect::IEffect* EffectOf(Compositing::Graph& graph, uint32_t id)
{
    Compositing::INode* node = graph.FindNode(id);
    if (!node || node->GetType() != Compositing::INode::KindEffect)
        return nullptr;
    return static_cast<Compositing::NodeEffect*>(node)->GetEffect();
}

void Render(Compositing::Graph& graph, float t)
{
    graph.Render(RenderContext::ForTime(t));
}

void ClearBackBuffer(uint32_t colour)
{
    Graphics::System& system = SharedDemo()->system;
    const float rgba[4] = {(colour & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                           ((colour >> 16) & 0xFF) / 255.0f, ((colour >> 24) & 0xFF) / 255.0f};
    system.GetContext()->ClearRenderTargetView(system.GetBackBufferView(), rgba);
    SharedDemo()->BindBackBuffer(nullptr);
}

std::vector<uint32_t> ReadBackBuffer()
{
    return WindowsTest::ReadBackBuffer(SharedDemo()->system);
}

std::vector<uint32_t> ReadTexture(Graphics::ITexture* texture)
{
    ID3D11ShaderResourceView* view = texture ? texture->GetShaderResourceView() : nullptr;
    if (!view)
        return {};
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    D3D11_RESOURCE_DIMENSION dimension = D3D11_RESOURCE_DIMENSION_UNKNOWN;
    resource->GetType(&dimension);
    std::vector<uint32_t> pixels;
    if (dimension == D3D11_RESOURCE_DIMENSION_TEXTURE2D)
        pixels = WindowsTest::ReadPixels(SharedDemo()->system, static_cast<ID3D11Texture2D*>(resource));
    resource->Release();
    return pixels;
}

int64_t VerticesDrawn(const std::function<void()>& draw)
{
    Graphics::System& system = SharedDemo()->system;
    D3D11_QUERY_DESC desc = {};
    desc.Query = D3D11_QUERY_PIPELINE_STATISTICS;
    ID3D11Query* query = nullptr;
    if (FAILED(system.GetDevice()->CreateQuery(&desc, &query)))
        return -1;
    ID3D11DeviceContext* context = system.GetContext();
    context->Begin(query);
    draw();
    context->End(query);
    D3D11_QUERY_DATA_PIPELINE_STATISTICS statistics = {};
    HRESULT hr = S_FALSE;
    for (int i = 0; i < 1000 && hr == S_FALSE; ++i)
    {
        hr = context->GetData(query, &statistics, sizeof(statistics), 0);
        if (hr == S_FALSE)
            Sleep(1);
    }
    query->Release();
    return hr == S_OK ? static_cast<int64_t>(statistics.IAVertices) : -1;
}

uint32_t RgbaOf(float r, float g, float b, float a)
{
    auto unorm = [](float v) {
        v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
        return static_cast<uint32_t>(std::lround(v * 255.0f));
    };
    return Rgba(unorm(r), unorm(g), unorm(b), unorm(a));
}

bool SameColour(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
    {
        const int a = (actual >> shift) & 0xFF;
        const int e = (expected >> shift) & 0xFF;
        if (a - e > tolerance || e - a > tolerance)
            return false;
    }
    return true;
}

std::string ColourText(uint32_t colour)
{
    char text[48];
    snprintf(text, sizeof(text), "(%u, %u, %u, %u)", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF,
             colour >> 24);
    return text;
}

std::string LayerShader(const std::string& metadata, const std::string& hlsl)
{
    return "/*\n<metadata>\n" + metadata +
           "\n</metadata>\n*/\n"
           "struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };\n"
           "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };\n"
           "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); Out.Tex = In.Tex; "
           "return Out; }\n" +
           hlsl + "\n";
}

std::string ConstantParameter(const char* name, const std::string& value)
{
    return std::string("<parameter name=\"") + name + "\"><value type=\"constant\"><constant value=\"" + value +
           "\"/></value></parameter>";
}

std::string SteppedParameter(const char* name, const std::vector<std::string>& values)
{
    std::string keys;
    for (size_t i = 0; i < values.size(); ++i)
        keys += "<key time=\"" + std::to_string(i) + "\" interpolation=\"hold\" value=\"" + values[i] + "\"/>";
    return std::string("<parameter name=\"") + name + "\"><value type=\"spline\"><clip start=\"0\" length=\"" +
           std::to_string(values.size()) + "\">" + keys + "</clip></value></parameter>";
}

std::vector<std::string> LogLinesContaining(const char* text)
{
    std::vector<std::string> found;
    for (const LogCapture::Line& line : LogCapture::Get().Lines())
    {
        if (line.text.find(text) != std::string::npos)
            found.push_back(line.text);
    }
    return found;
}
} // namespace EffectsTest
