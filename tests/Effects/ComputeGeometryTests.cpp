// ComputedGeometry3D and ProceduralGeometry3D on a real device, drawn by Renderer3D: the
// compute pass's triangles appear where its positions put them, the vertex buffer is made
// again only when "Triangle Count" changes, a count whose buffer cannot be made appends no
// entry and runs no pass, an unbound "Material Shader" leaves the entry to the default
// shader; the procedural triangles follow "TriangleCount", 0 giving an empty chunk.
#include "EffectsFixture.h"

#include "Assets/Effect/IEffect.h"
#include "repository/Effects/ComputedGeometry3D.h"
#include "repository/Effects/ProceduralGeometry3D.h"
#include "repository/Resources/RenderChunk.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"

#include "LogCapture.h"
#include "windows/DeviceFixture.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <cstring>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Assets::Effect::IEffect;

namespace
{
const uint32_t Colour = Rgba(51, 204, 102); // "v4Colour" 0.2; 0.8; 0.4
const uint32_t Magenta = Rgba(255, 0, 255);
const uint32_t Black = Rgba(0, 0, 0, 0);

// Both shaders place vertices in clip space as they come: no camera is needed.
const char* const ClipPass = "<passes><pass name=\"p0\" vs=\"vs_main\" ps=\"ps_main\">"
                             "<rasterizer cullMode=\"none\"/><depth read=\"false\" write=\"false\"/></pass></passes>";

std::string ClipShader(const std::string& inputs, const std::string& colour)
{
    return "/*\n<metadata>" + inputs + ClipPass +
           "</metadata>\n*/\n"
           "cbuffer constants { float4x4 matWorld; float4 v4Colour; };\n"
           "struct VS_INPUT { float3 Pos : POSITION; };\n"
           "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
           "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); return Out; }\n"
           "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return " +
           colour + "; }\n";
}

// Triangle 0 is the lower-left half of the square of half size fSize around the centre,
// triangle 1 its upper-right half; one thread per triangle, 16 floats per vertex. The
// counter takes 99.
const std::string SquareCompute = R"(/*
<metadata><input>fSize</input></metadata>
*/
cbuffer constants { float3 v3ThreadSizes; float fSize; };
RWBuffer<float> gOutput;
RWByteAddressBuffer gCounter;
void Vertex(uint index, float x, float y)
{
    gOutput[index * 16 + 0] = x;
    gOutput[index * 16 + 1] = y;
    gOutput[index * 16 + 2] = 0.5 + 0.0 * fSize;
}
[numthreads(1, 1, 1)]
void main(uint3 id : SV_DispatchThreadID)
{
    float s = fSize;
    if (id.x == 0) { Vertex(0, -s, -s); Vertex(1, -s, s); Vertex(2, s, -s); }
    if (id.x == 1) { Vertex(3, s, -s); Vertex(4, -s, s); Vertex(5, s, s); }
    gCounter.Store(0, 99);
}
)";

// Triangle k covers the k-th quarter of the screen's width, from the bottom to the top.
const std::string ProceduralShader = "/*\n<metadata><input>v4Colour</input>" + std::string(ClipPass) + R"(</metadata>
*/
cbuffer constants { float4x4 matWorld; float4 v4Colour; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(uint id : SV_VertexID)
{
    uint quarter = id / 3; // "triangle" is a geometry-stage keyword to vkd3d-shader 2.x
    uint corner = id % 3;
    float left = -1.0 + 0.5 * quarter;
    VS_OUTPUT Out;
    Out.Pos = float4(corner == 1 ? left + 0.5 : left, corner == 2 ? 1.0 : -1.0, 0.5, 1.0);
    return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return v4Colour; }
)";

// Files 1 (compute shader) and 2 (material, connected when material is set), the
// renderer's magenta default shader (3), the producer (101) feeding a Renderer3D (102)
// into a square output.
std::string GeometryGraph(const std::string& producer, bool material)
{
    return "<graph name=\"geometry\">"
           "<node id=\"1\" type=\"resource\" name=\"compute\"><file type=\"computeShader\" path=\"square.csh\"/></node>"
           "<node id=\"2\" type=\"resource\" name=\"material\"><file type=\"effect\" path=\"material.fx\"/></node>"
           "<node id=\"3\" type=\"resource\" name=\"default\"><file type=\"effect\" path=\"default.fx\"/></node>"
           "<node id=\"101\" type=\"effect\" name=\"geometry\">" +
           producer +
           "</node>"
           "<node id=\"102\" type=\"effect\" name=\"renderer\"><effect type=\"Renderer3D\"/></node>"
           "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
           "<connection source=\"1\" target=\"101\" slot=\"Compute Shader\"/>" +
           (material ? "<connection source=\"2\" target=\"101\" slot=\"Material Shader\"/>" : "") +
           "<connection source=\"3\" target=\"102\" slot=\"Default Shader\"/>"
           "<connection source=\"101\" target=\"102\" slot=\"Input 1\"/>"
           "<connection source=\"102\" target=\"999\"/></graph>";
}

// The back-buffer pixel at clip-space (x, y) of the 64 × 64 picture.
uint32_t PixelAt(const std::vector<uint32_t>& pixels, float x, float y)
{
    const uint32_t px = uint32_t((x + 1.0f) * 0.5f * Width);
    const uint32_t py = uint32_t((1.0f - y) * 0.5f * Height);
    return pixels.size() == size_t(Width) * Height ? pixels[py * Width + px] : 0xDEADBEEF;
}

RenderChunk* ChunkOf(Brivet::Compositing::Graph& graph)
{
    IEffect* effect = EffectOf(graph, 101);
    return effect ? static_cast<RenderChunk*>(effect->GetOutput()) : nullptr;
}

class ComputeGeometryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BRIVET_SKIP_WITHOUT_FULLER_HLSL();
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
        Archive().entries["square.csh"] = SquareCompute;
        Archive().entries["material.fx"] = ClipShader("<input>v4Colour</input>", "v4Colour");
        Archive().entries["default.fx"] = ClipShader("", "float4(1, 0, 1, 1)");
        Archive().entries["procedural.fx"] = ProceduralShader;
    }

    std::vector<uint32_t> Frame(Brivet::Compositing::Graph& graph, float t)
    {
        ClearBackBuffer(Rgba(0, 0, 0, 0));
        Render(graph, t);
        return ReadBackBuffer();
    }
};
} // namespace

TEST_F(ComputeGeometryTest, ComputedTrianglesAreDrawnAndTheBufferFollowsTheCount)
{
    // 2 triangles, 1, 1, a count whose buffer would take more than 32 bits, 2 again, 4.
    const std::string producer = "<effect type=\"ComputedGeometry3D\">" +
                                 SteppedParameter("Triangle Count", {"2", "1", "1", "22369622", "2", "4"}) +
                                 ConstantParameter("Thread X", "2") + ConstantParameter("Thread Y", "0") +
                                 ConstantParameter("fSize", "0.5") + ConstantParameter("v4Colour", "0.2; 0.8; 0.4; 1") +
                                 "</effect>";
    auto graph = LoadGraph(GeometryGraph(producer, true));
    ASSERT_NE(graph, nullptr);
    auto* geometry = static_cast<ComputedGeometry3D*>(EffectOf(*graph, 101));
    ASSERT_NE(geometry, nullptr);
    EXPECT_STREQ(geometry->outputTypeName.GetText(), "RenderChunk");
    const ComputedGeometry3D::ComputedGeometryOutputWrapper& wrapper = geometry->GetOutputWrapper();

    // Both halves of the square, nothing outside it
    std::vector<uint32_t> pixels = Frame(*graph, 0.5f);
    EXPECT_TRUE(SameColour(PixelAt(pixels, -0.3f, -0.3f), Colour)) << ColourText(PixelAt(pixels, -0.3f, -0.3f));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 0.3f, 0.3f), Colour)) << ColourText(PixelAt(pixels, 0.3f, 0.3f));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 0.8f, 0.8f), Black)) << ColourText(PixelAt(pixels, 0.8f, 0.8f));
    ASSERT_EQ(ChunkOf(*graph)->entries.GetCount(), 1u);
    const RenderChunk::Entry& entry = ChunkOf(*graph)->entries[0];
    EXPECT_EQ(entry.geometry, &geometry->GetRenderable());
    EXPECT_EQ(entry.boneCount, 0u);
    EXPECT_NE(entry.effect, nullptr);
    EXPECT_EQ(wrapper.width * 10 + wrapper.height, 21u); // "Thread Y" 0 counts as 1
    D3D11_BUFFER_DESC desc = {};
    ASSERT_NE(wrapper.vertexBuffer, nullptr);
    wrapper.vertexBuffer->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 2u * 3 * 64);
    EXPECT_EQ(desc.BindFlags, UINT(D3D11_BIND_VERTEX_BUFFER | D3D11_BIND_UNORDERED_ACCESS));

    // One triangle: the upper half goes; a new buffer for the new count, kept while it holds
    pixels = Frame(*graph, 1.5f);
    EXPECT_TRUE(SameColour(PixelAt(pixels, -0.3f, -0.3f), Colour));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 0.3f, 0.3f), Black)) << ColourText(PixelAt(pixels, 0.3f, 0.3f));
    ID3D11Buffer* oneTriangle = wrapper.vertexBuffer;
    ASSERT_NE(oneTriangle, nullptr);
    wrapper.vertexBuffer->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 3u * 64);
    Frame(*graph, 2.5f);
    EXPECT_EQ(wrapper.vertexBuffer, oneTriangle);

    // 22369622 × 192 bytes wraps to 128 in 32 bits: no buffer, no pass, no entry
    const uint32_t marker = 12345;
    SharedDemo()->system.GetContext()->UpdateSubresource(geometry->GetCounter().GetBuffer(), 0, nullptr, &marker, 0, 0);
    pixels = Frame(*graph, 3.5f);
    EXPECT_EQ(wrapper.vertexBuffer, nullptr);
    EXPECT_EQ(ChunkOf(*graph)->entries.GetCount(), 0u);
    EXPECT_TRUE(SameColour(PixelAt(pixels, -0.3f, -0.3f), Black)) << ColourText(PixelAt(pixels, -0.3f, -0.3f));
    const std::vector<float> counter =
        WindowsTest::ReadFloats(SharedDemo()->system, geometry->GetCounter().GetBuffer());
    uint32_t word = 0;
    ASSERT_EQ(counter.size(), 1u);
    memcpy(&word, counter.data(), 4);
    EXPECT_EQ(word, marker); // neither cleared nor written
    EXPECT_EQ(LogLinesContaining("[ComputedGeometry3D]").size(), 1u);

    // Back to two, then four: the last two, never written, stay degenerate (four, as Wine's
    // draw loses every triangle when exactly one zero triangle follows two)
    pixels = Frame(*graph, 4.5f);
    EXPECT_TRUE(SameColour(PixelAt(pixels, 0.3f, 0.3f), Colour));
    memcpy(&word, WindowsTest::ReadFloats(SharedDemo()->system, geometry->GetCounter().GetBuffer()).data(), 4);
    EXPECT_EQ(word, 99u);
    pixels = Frame(*graph, 5.5f);
    EXPECT_TRUE(SameColour(PixelAt(pixels, 0.3f, 0.3f), Colour)) << ColourText(PixelAt(pixels, 0.3f, 0.3f));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 0.8f, 0.8f), Black));
    wrapper.vertexBuffer->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 4u * 3 * 64);
}

TEST_F(ComputeGeometryTest, WithoutMaterialShaderTheDefaultShaderDraws)
{
    const std::string producer = "<effect type=\"ComputedGeometry3D\">" + ConstantParameter("Triangle Count", "2") +
                                 ConstantParameter("fSize", "0.5") + "</effect>";
    auto graph = LoadGraph(GeometryGraph(producer, false));
    ASSERT_NE(graph, nullptr);
    const std::vector<uint32_t> pixels = Frame(*graph, 0.0f);
    ASSERT_EQ(ChunkOf(*graph)->entries.GetCount(), 1u);
    EXPECT_EQ(ChunkOf(*graph)->entries[0].effect, nullptr);
    EXPECT_TRUE(SameColour(PixelAt(pixels, 0.3f, 0.3f), Magenta)) << ColourText(PixelAt(pixels, 0.3f, 0.3f));
}

TEST_F(ComputeGeometryTest, ProceduralTrianglesFollowTheirCount)
{
    // Its shader on "Shader": the producer node with a file node of its own.
    const std::string producer = "<effect type=\"ProceduralGeometry3D\">" +
                                 SteppedParameter("TriangleCount", {"1", "3", "0", "2"}) +
                                 ConstantParameter("v4Colour", "0.2; 0.8; 0.4; 1") + "</effect>";
    std::string xml = GeometryGraph(producer, false);
    xml.replace(xml.find("<connection source=\"1\" target=\"101\" slot=\"Compute Shader\"/>"),
                strlen("<connection source=\"1\" target=\"101\" slot=\"Compute Shader\"/>"),
                "<connection source=\"4\" target=\"101\" slot=\"Shader\"/>");
    xml.replace(xml.find("<node id=\"101\""), 0,
                "<node id=\"4\" type=\"resource\" name=\"procedural\"><file type=\"effect\" "
                "path=\"procedural.fx\"/></node>");
    auto graph = LoadGraph(xml);
    ASSERT_NE(graph, nullptr);
    auto* procedural = static_cast<ProceduralGeometry3D*>(EffectOf(*graph, 101));
    ASSERT_NE(procedural, nullptr);

    // Quarter k of the width is lit by triangle k (its left half, below the diagonal).
    const struct
    {
        float t;
        uint32_t triangles;
    } cases[] = {{0.5f, 1}, {1.5f, 3}, {2.5f, 0}, {3.5f, 2}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.t);
        const std::vector<uint32_t> pixels = Frame(*graph, c.t);
        EXPECT_EQ(ChunkOf(*graph)->entries.GetCount(), c.triangles ? 1u : 0u);
        for (uint32_t k = 0; k < 4; ++k)
        {
            const uint32_t pixel = PixelAt(pixels, -1.0f + 0.5f * k + 0.1f, -0.5f);
            EXPECT_TRUE(SameColour(pixel, k < c.triangles ? Colour : Black)) << k << ": " << ColourText(pixel);
        }
    }
    EXPECT_EQ(procedural->GetRenderable().triangleCount, 2u);

    // 3 × 1431655766 vertices wrap to 2 in 32 bits: no entry rather than a wrong draw
    IEffect::Parameter* record = nullptr;
    ASSERT_TRUE(procedural->parameters.Find(Brivet::Base::StaticString<64>("TriangleCount"), &record));
    auto* count = static_cast<Brivet::Parameters::Parameter<unsigned int>*>(record->parameter);
    count->MakeConstant();
    count->SetValue(0.0f, 1431655766u, 0.0f);
    procedural->Render(Brivet::RenderContext::ForTime(9.0f));
    EXPECT_EQ(ChunkOf(*graph)->entries.GetCount(), 0u);
    EXPECT_EQ(LogLinesContaining("[ProceduralGeometry3D]").size(), 1u);

    // A count past the limit draws nothing either, warned once in all; the limit itself draws.
    count->SetValue(0.0f, ProceduralGeometry3D::MaxTriangleCount + 1, 0.0f);
    procedural->Render(Brivet::RenderContext::ForTime(9.0f));
    EXPECT_EQ(ChunkOf(*graph)->entries.GetCount(), 0u);
    count->SetValue(0.0f, ProceduralGeometry3D::MaxTriangleCount, 0.0f);
    procedural->Render(Brivet::RenderContext::ForTime(9.0f));
    EXPECT_EQ(ChunkOf(*graph)->entries.GetCount(), 1u);
    EXPECT_EQ(procedural->GetRenderable().triangleCount, ProceduralGeometry3D::MaxTriangleCount);
    EXPECT_EQ(LogLinesContaining("[ProceduralGeometry3D]").size(), 1u);
}
