// Particle3D on a real device: six vertices per particle made by the vertex stage, the
// camera and layers of a G-buffer, its depth hiding the particles behind it, the shader's
// listed constants, and nothing drawn without particles, shader or output.
#include "EffectsFixture.h"
#include "Render3DFixture.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Effects/Particle3D.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/GBufferFactory.h"
#include "repository/Resources/Texture.h"

#include "LogCapture.h"
#include "MathAssertions.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <memory>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Base::StaticString;

namespace
{
// Particle p of a 3 x 3 grid (0.6 apart, 0.3 wide) stands at z -1, the top row at z +1.
// Red is the G-buffer's "texAlbedo" under the pixel, green the listed "v4Colour".
std::string ParticleShader(const std::string& passes)
{
    return "/*\n<metadata><input>v4Colour</input>" + passes +
           "</metadata>\n*/\n"
           "cbuffer constants { float4x4 matView; float4x4 matProjection; float4x4 matViewPrevious;\n"
           "  float4 v4CameraPosition; float4 v4Colour; };\n"
           "Texture2D texAlbedo;\n"
           "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
           "VS_OUTPUT vs_main(uint id : SV_VertexID) { VS_OUTPUT Out;\n"
           "  uint p = id / 6; uint c = id % 6;\n"
           "  float cx = (c == 1 || c == 3 || c == 4) ? 1.0 : 0.0;\n"
           "  float cy = (c == 2 || c == 4 || c == 5) ? 1.0 : 0.0;\n"
           "  float column = (float)(p % 3); float row = (float)(p / 3);\n"
           "  float4 world = float4((column - 1.0) * 0.6 + (cx - 0.5) * 0.3, (row - 1.0) * 0.6 + (cy - 0.5) * 0.3,\n"
           "                        row > 1.5 ? 1.0 : -1.0, 1);\n"
           "  Out.Pos = mul(matProjection, mul(matView, world));\n"
           "  Out.Pos += 0 * mul(matViewPrevious, v4CameraPosition);\n"
           "  return Out; }\n"
           "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
           "  return float4(texAlbedo.Load(int3(In.Pos.xy, 0)).r, v4Colour.g, 0, 1); }\n";
}

const std::string DepthTestedPass = "<passes><pass name=\"p0\" vs=\"vs_main\" ps=\"ps_main\">"
                                    "<rasterizer cullMode=\"none\"/><depth read=\"true\" write=\"false\"/></pass></passes>";

struct DestroyGBuffer
{
    void operator()(GBuffer* gbuffer) const { GBufferFactory::instance.Destroy(gbuffer); }
};

// The camera at (0, 0, -5) looking along +z through the unit square, depth 0.1 to 10.
RenderChunk::CameraBlock OrthographicCamera()
{
    RenderChunk::CameraBlock camera = CameraAt(0.0f, 0.0f, -5.0f);
    D3DXMatrixOrthoOffCenterLH(&camera.projection, -1.0f, 1.0f, -1.0f, 1.0f, 0.1f, 10.0f);
    D3DXMatrixTranslation(&camera.previousView, 3.0f, 2.0f, 1.0f);
    return camera;
}

// The depth of world z as that camera sees it.
float DepthOf(float z)
{
    return (z + 5.0f - 0.1f) / (10.0f - 0.1f);
}

struct Rig
{
    std::unique_ptr<Brivet::Compositing::Graph> graph;
    Particle3D* particles = nullptr;
    std::unique_ptr<GBuffer, DestroyGBuffer> gbuffer;

    Texture* Output() const { return static_cast<Texture*>(particles->GetOutput()); }
    Effect* Shader() const { return FileOf(graph.get(), 0); }

    // Renders the particles alone into their output at time t; the output's pixels.
    std::vector<uint32_t> Draw(float t = 0.0f, int64_t* vertices = nullptr) const
    {
        Output()->AcquireTarget();
        Output()->Invalidate();
        const int64_t drawn = VerticesDrawn([&] { particles->Render(Brivet::RenderContext::ForTime(t)); });
        if (vertices)
            *vertices = drawn;
        std::vector<uint32_t> pixels = ReadTexture(Output()->GetTexture());
        Output()->ReleaseTarget();
        return pixels;
    }
};

// The shader file (node 1) and Particle3D (node 10) into a square output, given an acquired
// G-buffer of the graph with "texAlbedo" at 0.5, its depth at world z 0 and the camera above.
Rig LoadRig(const char* file, const std::string& parameters = "")
{
    Rig rig;
    rig.graph = LoadGraph("<graph name=\"particles\">"
                          "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"" +
                          std::string(file) +
                          "\"/></node>"
                          "<node id=\"10\" type=\"effect\" name=\"particles\"><effect type=\"Particle3D\">" +
                          parameters +
                          "</effect></node>"
                          "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
                          "<connection source=\"1\" target=\"10\" slot=\"Shader\"/>"
                          "<connection source=\"10\" target=\"999\"/></graph>");
    if (rig.graph)
        rig.particles = static_cast<Particle3D*>(EffectOf(*rig.graph, 10));
    if (!rig.particles)
    {
        ADD_FAILURE() << "no particles";
        rig.graph.reset();
        return rig;
    }
    Brivet::Utility::XML::Document document;
    EXPECT_TRUE(document.Load("<resource><gbuffer><layer name=\"texAlbedo\" format=\"R8G8B8A8_UNORM\"/>"
                              "</gbuffer></resource>"));
    const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
    rig.gbuffer.reset(static_cast<GBuffer*>(GBufferFactory::instance.CreateDynamic(rig.graph.get(), &element)));
    if (!rig.gbuffer)
        return rig;
    GBuffer& g = *rig.gbuffer;
    g.AcquireTarget();
    g.camera = OrthographicCamera();
    ID3D11DeviceContext* context = SharedDemo()->system.GetContext();
    const float half[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    context->ClearRenderTargetView(g.layers[0].target->GetRenderTargetView(), half);
    context->ClearDepthStencilView(g.depthTarget->GetDepthStencilView(), D3D11_CLEAR_DEPTH, DepthOf(0.0f), 0);
    rig.particles->SetInput(StaticString<64>("GBuffer"), rig.gbuffer.get());
    rig.particles->OnInputsChanged();
    return rig;
}

// The pixel at the centre of particle (column, row).
uint32_t At(const std::vector<uint32_t>& pixels, int column, int row)
{
    const float x = (float(column) - 1.0f) * 0.6f, y = (float(row) - 1.0f) * 0.6f;
    const uint32_t px = uint32_t((x + 1.0f) * 0.5f * Width), py = uint32_t((1.0f - y) * 0.5f * Height);
    return pixels[py * Width + px];
}

class Particle3DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
    }
};

TEST_F(Particle3DTest, GridOverTheGBufferDepthShowsOnlyWhatStandsBeforeIt)
{
    Archive().entries["particles/grid.fx"] = ParticleShader(DepthTestedPass);
    Rig rig = LoadRig("particles/grid.fx",
                      "<parameter name=\"Particle Count\"><value type=\"constant\"><constant value=\"9\"/></value>"
                      "</parameter><parameter name=\"v4Colour\"><value type=\"constant\">"
                      "<constant value=\"0; 1; 0; 1\"/></value></parameter>");
    ASSERT_NE(rig.gbuffer, nullptr);
    int64_t vertices = 0;
    const std::vector<uint32_t> pixels = rig.Draw(0.0f, &vertices);
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, 9 * 6);
    }
    // Rows 0 and 1 stand before the G-buffer's depth: the layer's 0.5 and the listed green;
    // row 2 stands behind it and is hidden. Between the particles nothing is drawn.
    for (int row = 0; row < 3; ++row)
    {
        for (int column = 0; column < 3; ++column)
        {
            const uint32_t pixel = At(pixels, column, row);
            SCOPED_TRACE(::testing::Message() << "column " << column << ", row " << row << ": " << ColourText(pixel));
            if (row < 2)
                EXPECT_TRUE(SameColour(pixel, RgbaOf(0.5f, 1.0f, 0.0f)));
            else
                EXPECT_EQ(pixel, 0u);
        }
    }
    EXPECT_EQ(pixels[Height / 2 * Width + Width / 2 + 10], 0u) << "between two particles";

    // The camera constants are the G-buffer's.
    Brivet::Graphics::Program* program = rig.Shader()->GetProgram(0);
    const RenderChunk::CameraBlock& camera = rig.gbuffer->camera;
    EXPECT_EQ(VertexConstant(program, "matView"), Bytes(&camera.view, sizeof(D3DXMATRIX)));
    EXPECT_EQ(VertexConstant(program, "matViewPrevious"), Bytes(&camera.previousView, sizeof(D3DXMATRIX)));
    EXPECT_EQ(VertexConstant(program, "matProjection"), Bytes(&camera.projection, sizeof(D3DXMATRIX)));
    EXPECT_EQ(VertexConstant(program, "v4CameraPosition"), Bytes(&camera.position, sizeof(D3DXVECTOR4)));
    rig.gbuffer->ReleaseTarget();
}

TEST_F(Particle3DTest, SixVerticesPerParticleAndPass)
{
    Archive().entries["particles/two.fx"] =
        ParticleShader("<passes><pass name=\"a\" vs=\"vs_main\" ps=\"ps_main\"/>"
                       "<pass name=\"b\" vs=\"vs_main\" ps=\"ps_main\"/></passes>");
    Rig rig = LoadRig("particles/two.fx");
    ASSERT_NE(rig.gbuffer, nullptr);
    Particle3D& p = *rig.particles;

    // Declarations: the inputs, then the count (1000 by default), then the shader's constants.
    std::vector<std::string> inputs;
    for (uint32_t i = 0; i < p.inputs.GetCount(); ++i)
        inputs.push_back(p.inputs.GetEntry(i).key.GetText());
    EXPECT_EQ(inputs, (std::vector<std::string>{"GBuffer", "Shader"}));
    EXPECT_STREQ(p.parameters.GetEntry(0).key.GetText(), "Particle Count");
    EXPECT_STREQ(p.parameters.GetEntry(1).key.GetText(), "v4Colour");
    EXPECT_EQ(p.particleCount->GetValue(0.0f), 1000u);
    EXPECT_STREQ(p.outputTypeName.GetText(), "texture");

    int64_t vertices = 0;
    rig.Draw(0.0f, &vertices);
    if (vertices < 0)
        GTEST_SKIP() << "the device counts no vertices";
    EXPECT_EQ(vertices, 2 * 6000);
    p.particleCount->SetValue(0.0f, 0u, 0.0f);
    rig.Draw(0.0f, &vertices);
    EXPECT_EQ(vertices, 0);
    p.particleCount->SetValue(0.0f, 5u, 0.0f);
    rig.Draw(0.0f, &vertices);
    EXPECT_EQ(vertices, 2 * 30);

    // "-1" in a description reads as 4294967295 particles: each pass draws MaxParticles,
    // and the cut is warned once.
    p.particleCount->SetValue(0.0f, 0xFFFFFFFFu, 0.0f);
    rig.Draw(0.0f, &vertices);
    EXPECT_EQ(vertices, 2 * 6 * int64_t(Particle3D::MaxParticles));
    rig.Draw(0.0f, &vertices);
    EXPECT_EQ(LogLinesContaining("[Particle3D]").size(), 1u);

    // Without a shader nothing is drawn.
    p.SetInput(StaticString<64>("Shader"), nullptr);
    p.OnInputsChanged();
    rig.Draw(0.0f, &vertices);
    EXPECT_EQ(vertices, 0);
    rig.gbuffer->ReleaseTarget();

    // A count whose vertices a draw cannot number stops at the last whole particle.
    EXPECT_EQ(Particle3D::VertexCount(0xFFFFFFFFu), 0xFFFFFFFFu / 6 * 6);
    EXPECT_EQ(Particle3D::VertexCount(1000u), 6000u);
}

TEST_F(Particle3DTest, TheDrawingVariationReadsItsOwnTextures)
{
    // One particle over the whole output. Variation 0 reads only texB; "BOTH" reads texA
    // first, so texB has another register there. texA is red, texB green.
    Archive().entries["particles/pick.fx"] =
        "/*\n<metadata><input>texA</input><input>texB</input><variation>BOTH</variation>"
        "<passes><pass name=\"p0\" vs=\"vs_main\" ps=\"ps_main\"><rasterizer cullMode=\"none\"/>"
        "<depth read=\"false\" write=\"false\"/></pass></passes></metadata>\n*/\n"
        "#ifdef BOTH\nTexture2D texA;\n#endif\nTexture2D texB;\n"
        "float4 vs_main(uint id : SV_VertexID) : SV_POSITION {\n"
        "  uint c = id % 6; float x = (c == 1 || c == 3 || c == 4) ? 1 : -1; float y = (c >= 2 && c != 3) ? 1 : -1;\n"
        "  return float4(x, y, 0.5, 1); }\n"
        "float4 ps_main(float4 pos : SV_POSITION) : SV_TARGET { float4 c = float4(texB.Load(int3(0, 0, 0)).rgb, 1);\n"
        "#ifdef BOTH\n  c.r = texA.Load(int3(0, 0, 0)).r;\n#endif\n"
        "  return c; }\n";
    Rig rig = LoadRig("particles/pick.fx", ConstantParameter("Particle Count", "1"));
    ASSERT_NE(rig.particles, nullptr);
    ASSERT_EQ(rig.Shader()->GetProgramCount(), 2u);
    auto red = SolidTexture(rig.graph.get(), Rgba(255, 0, 0));
    auto green = SolidTexture(rig.graph.get(), Rgba(0, 255, 0));
    ASSERT_TRUE(red && green);
    rig.particles->SetInput(StaticString<64>("texA"), red.get());
    rig.particles->SetInput(StaticString<64>("texB"), green.get());
    rig.particles->OnInputsChanged();

    const std::vector<uint32_t> pixels = rig.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_TRUE(SameColour(pixels[Height / 2 * Width + Width / 2], Rgba(0, 255, 0)))
        << ColourText(pixels[Height / 2 * Width + Width / 2]);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(Particle3DTest, WithoutAGBufferNoLayerIsBoundAndTheCameraStays)
{
    Archive().entries["particles/grid.fx"] = ParticleShader(DepthTestedPass);
    Rig rig = LoadRig("particles/grid.fx");
    ASSERT_NE(rig.gbuffer, nullptr);
    rig.Draw();
    Brivet::Graphics::Program* program = rig.Shader()->GetProgram(0);
    const std::vector<uint8_t> view = VertexConstant(program, "matView");

    rig.particles->SetInput(StaticString<64>("GBuffer"), nullptr);
    rig.particles->OnInputsChanged();
    ASSERT_EQ(rig.particles->gbuffer, nullptr);
    ID3D11DeviceContext* context = SharedDemo()->system.GetContext();
    ID3D11ShaderResourceView* views[8] = {};
    context->PSSetShaderResources(0, 8, views);
    const std::vector<uint32_t> pixels = rig.Draw();
    EXPECT_FALSE(pixels.empty());
    context->PSGetShaderResources(0, 8, views);
    for (ID3D11ShaderResourceView* bound : views)
    {
        EXPECT_EQ(bound, nullptr);
        if (bound)
            bound->Release();
    }
    EXPECT_EQ(VertexConstant(program, "matView"), view) << "the camera of the last draw stays";

    // A layer without a target unbinds its name.
    rig.particles->SetInput(StaticString<64>("GBuffer"), rig.gbuffer.get());
    rig.particles->OnInputsChanged();
    Brivet::Graphics::RenderTarget* target = rig.gbuffer->layers[0].target;
    rig.gbuffer->layers[0].target = nullptr;
    ID3D11ShaderResourceView* stale = target->GetShaderResourceView();
    context->PSSetShaderResources(0, 1, &stale);
    rig.Draw();
    ID3D11ShaderResourceView* after = nullptr;
    context->PSGetShaderResources(0, 1, &after);
    EXPECT_EQ(after, nullptr);
    if (after)
        after->Release();
    rig.gbuffer->layers[0].target = target;
    rig.gbuffer->ReleaseTarget();
}
} // namespace
