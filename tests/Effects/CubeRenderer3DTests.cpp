// CubeRenderer3D on a real device: six planes around the centre each seen on its own face,
// every face drawn after a depth clear, the face views around "Cubemap center", the far
// plane of the chunk's camera (or a fallback without one), the constants the faces get,
// shadow passes left out, and a default shader without passes drawing nothing.
#include "Render3DFixture.h"

#include "Compositing/INode.h"
#include "Graphics/Program.h"
#include "Graphics/TextureCube.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Effects/CubeRenderer3D.h"
#include "repository/Resources/CubeTextureRenderTarget.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/Texture.h"

#include "LogCapture.h"
#include "MathAssertions.h"
#include "windows/DeviceFixture.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cstring>
#include <string>
#include <vector>

using namespace EffectsTest;

namespace
{
// Entry i is drawn in colour i + 1 read as three bits (red, green, blue): six colours, none black.
const char* const IdColour =
    "float4 ps_main(VS_OUTPUT In) : SV_TARGET { uint c = nObjectID + 1;"
    " return float4(c & 1, (c >> 1) & 1, (c >> 2) & 1, 1); }";

uint32_t ColourOfEntry(uint32_t i)
{
    const uint32_t c = i + 1;
    return Rgba((c & 1) * 255, ((c >> 1) & 1) * 255, ((c >> 2) & 1) * 255);
}

// The pixels of one face of a cube without mips (face f is subresource f), as 0xAABBGGRR words.
std::vector<uint32_t> FacePixels(ID3D11Texture2D* cube, uint32_t face)
{
    const std::vector<uint8_t> bytes = WindowsTest::ReadSubresource(SharedDemo()->system, cube, face, 4);
    std::vector<uint32_t> pixels(bytes.size() / 4);
    if (!pixels.empty())
        memcpy(pixels.data(), bytes.data(), pixels.size() * 4);
    return pixels;
}

std::string CubeShader(const std::string& passes, const std::string& pixels = IdColour)
{
    return MeshShader(passes, "uint nObjectID; float4x4 matViewPrevious; float4 v4CameraPosition;", pixels);
}

const std::string OnePass = "<passes><pass name=\"p0\" vs=\"vs_main\" ps=\"ps_main\"><rasterizer cullMode=\"none\"/>"
                            "<depth read=\"true\" write=\"true\"/></pass></passes>";

// A default shader (file node 1) feeding a CubeRenderer3D (node 10) that draws into a
// dynamic cube of edge 16 with a depth buffer (node 20).
struct CubeGraph
{
    std::unique_ptr<Brivet::Compositing::Graph> graph;
    CubeRenderer3D* renderer = nullptr;
    CubeTextureRenderTarget* cube = nullptr;

    // The default shader's effect resource.
    Effect* File0() const
    {
        Brivet::Compositing::INode* node = graph ? graph->FindNode(1) : nullptr;
        return node ? static_cast<Effect*>(node->GetOutput()) : nullptr;
    }
    void Bind(RenderChunk* chunk) const
    {
        renderer->SetInput(Brivet::Base::StaticString<64>("Input 1"), chunk);
        renderer->OnInputsChanged();
        renderer->OnInputsResolved();
    }
    // The graph's clear, then the renderer alone; the pixels of each face.
    std::vector<std::vector<uint32_t>> Draw(float t = 0.0f) const
    {
        cube->Invalidate();
        renderer->Render(Brivet::RenderContext::ForTime(t));
        std::vector<std::vector<uint32_t>> faces;
        for (uint32_t face = 0; face < 6; ++face)
            faces.push_back(FacePixels(cube->GetCube()->GetTexture(), face));
        return faces;
    }
};

CubeGraph LoadCubeGraph(const char* file, const std::string& rendererParameters = "")
{
    CubeGraph result;
    result.graph = LoadGraph(
        std::string("<graph name=\"cube\">"
                    "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"") +
        file +
        "\"/></node>"
        "<node id=\"10\" type=\"effect\" name=\"cube renderer\"><effect type=\"CubeRenderer3D\">" +
        rendererParameters +
        "</effect></node>"
        "<node id=\"20\" type=\"dynamic\" name=\"environment\"><dynamic type=\"cubetexture\">"
        "<rendertarget dimensions=\"16\" format=\"R8G8B8A8_UNORM\" depthFormat=\"D24_UNORM_S8_UINT\"/></dynamic></node>"
        "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
        "<connection source=\"1\" target=\"10\" slot=\"Default Shader\"/>"
        "<connection source=\"10\" target=\"20\"/>"
        "</graph>");
    if (result.graph)
    {
        result.renderer = static_cast<CubeRenderer3D*>(EffectOf(*result.graph, 10));
        Brivet::Compositing::INode* node = result.graph->FindNode(20);
        result.cube = node ? static_cast<CubeTextureRenderTarget*>(node->GetOutput()) : nullptr;
    }
    if (!result.renderer || !result.cube || result.renderer->GetOutput() != result.cube)
    {
        ADD_FAILURE() << "no cube renderer drawing into the cube";
        result.graph.reset();
        result.renderer = nullptr;
    }
    return result;
}

// The plane (two by two in x and y) turned to face the centre and moved distance along axis
// face's look direction.
D3DXMATRIX OnAxis(uint32_t face, float distance)
{
    D3DXMATRIX turn;
    if (face < 2)
        D3DXMatrixRotationYawPitchRoll(&turn, 1.5707964f, 0.0f, 0.0f); // into the y-z plane
    else if (face < 4)
        D3DXMatrixRotationYawPitchRoll(&turn, 0.0f, 1.5707964f, 0.0f); // into the x-z plane
    else
        D3DXMatrixIdentity(&turn);
    const D3DXVECTOR3 at = CubeRenderer3D::Faces[face].look * distance;
    return turn * Translation(at.x, at.y, at.z);
}

class CubeRenderer3DTest : public ::testing::Test
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

TEST_F(CubeRenderer3DTest, EachFaceSeesThePlaneOnItsAxisAfterADepthClear)
{
    Archive().entries["cube/ids.fx"] = CubeShader(OnePass);
    CubeGraph g = LoadCubeGraph("cube/ids.fx");
    ASSERT_NE(g.renderer, nullptr);
    // Entry f stands on face f's axis. The +x plane is near and fills its face, leaving
    // depth 0.99 there; the -x plane is far (depth 0.998): drawn against a depth buffer
    // that the first face left, it would fail the depth test.
    for (uint32_t face = 0; face < 6; ++face)
        chunk.entries.Add(PlaneEntry(&plane, OnAxis(face, face == 0 ? 1.0f : face == 1 ? 5.0f : 3.0f)));
    // No camera: far plane 0, which makes no projection; the fallback far plane stands in.
    chunk.camera = RenderChunk::CameraBlock{};
    g.Bind(&chunk);

    const auto faces = g.Draw();
    for (uint32_t face = 0; face < 6; ++face)
    {
        SCOPED_TRACE(face);
        ASSERT_EQ(faces[face].size(), 16u * 16u);
        const uint32_t centre = faces[face][8 * 16 + 8];
        EXPECT_TRUE(SameColour(centre, ColourOfEntry(face))) << ColourText(centre);
        if (face != 0)
        {
            EXPECT_EQ(faces[face][0], 0u) << "a corner away from the plane: " << ColourText(faces[face][0]);
        }
    }
    EXPECT_TRUE(SameColour(faces[0][0], ColourOfEntry(0))) << "the near plane fills its face";
    EXPECT_TRUE(MatrixNear(g.renderer->projection, CubeRenderer3D::FaceProjection(25000.0f)));
}

TEST_F(CubeRenderer3DTest, FacesLookAlongTheAxesFromTheCentre)
{
    const D3DXVECTOR3 centre(0.0f, 5.0f, 0.0f);
    for (uint32_t face = 0; face < 6; ++face)
    {
        SCOPED_TRACE(face);
        const D3DXMATRIX view = CubeRenderer3D::FaceView(centre, face);
        const CubeRenderer3D::Face& f = CubeRenderer3D::Faces[face];
        auto place = [&view](const D3DXVECTOR3& p) {
            D3DXVECTOR4 out;
            const D3DXVECTOR4 in(p.x, p.y, p.z, 1.0f);
            D3DXVec4Transform(&out, &in, &view);
            return out;
        };
        const D3DXVECTOR4 ahead = place(centre + f.look), above = place(centre + f.up), eye = place(centre);
        const float aheadExpected[4] = {0.0f, 0.0f, 1.0f, 1.0f};
        const float aboveExpected[4] = {0.0f, 1.0f, 0.0f, 1.0f};
        const float eyeExpected[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        EXPECT_TRUE(Near(ahead, aheadExpected, 4));
        EXPECT_TRUE(Near(above, aboveExpected, 4));
        EXPECT_TRUE(Near(eye, eyeExpected, 4));
    }
    // Face 2 from (0, 5, 0) looks towards (0, 6, 0) with up (0, 0, -1).
    D3DXMATRIX expected;
    const D3DXVECTOR3 at(0.0f, 6.0f, 0.0f), up(0.0f, 0.0f, -1.0f);
    D3DXMatrixLookAtLH(&expected, &centre, &at, &up);
    EXPECT_TRUE(MatrixNear(CubeRenderer3D::FaceView(centre, 2), expected));
}

TEST_F(CubeRenderer3DTest, FacesGetTheirViewTheChunkFarPlaneAndNoCamera)
{
    Archive().entries["cube/ids.fx"] = CubeShader(OnePass);
    CubeGraph g = LoadCubeGraph("cube/ids.fx", "<parameter name=\"Cubemap center\"><value type=\"constant\">"
                                               "<constant value=\"1; 2; 3\"/></value></parameter>");
    ASSERT_NE(g.renderer, nullptr);
    CubeRenderer3D& r = *g.renderer;
    ASSERT_NE(r.center, nullptr);
    EXPECT_EQ(r.center->GetValue(0.0f), D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    chunk.entries.Add(PlaneEntry(&plane, Translation(1.0f, 2.0f, 5.0f)));
    // A camera of any priority gives its far plane and nothing else.
    chunk.camera = CameraAt(-7.0f, 8.0f, 9.0f, 60.0f, 2.0f, 50.0f);
    chunk.camera.priority = RenderChunk::PriorityNone;
    g.Bind(&chunk);

    g.Draw();
    Brivet::Graphics::Program* program = g.File0()->passes[0].programs[0];
    // The last face drawn is face 5; the projection is square, 90 degrees, out to 50.
    const D3DXMATRIX view = CubeRenderer3D::FaceView(D3DXVECTOR3(1.0f, 2.0f, 3.0f), 5);
    const D3DXMATRIX projection = CubeRenderer3D::FaceProjection(50.0f);
    EXPECT_EQ(VertexConstant(program, "matView"), Bytes(&view, sizeof(view)));
    EXPECT_EQ(VertexConstant(program, "matProjection"), Bytes(&projection, sizeof(projection)));
    EXPECT_NEAR(projection.m[2][2], 50.0f / (50.0f - 0.01f), 1e-6f);
    EXPECT_EQ(projection.m[0][0], projection.m[1][1]);
    EXPECT_EQ(VertexConstant(program, "matViewPrevious"), std::vector<uint8_t>(sizeof(D3DXMATRIX), 0));
    EXPECT_EQ(VertexConstant(program, "v4CameraPosition"), std::vector<uint8_t>(sizeof(D3DXVECTOR4), 0));
}

TEST_F(CubeRenderer3DTest, DeclaresTheRendererInputsAndACentreAtTheOrigin)
{
    Archive().entries["cube/ids.fx"] = CubeShader(OnePass);
    CubeGraph g = LoadCubeGraph("cube/ids.fx");
    ASSERT_NE(g.renderer, nullptr);
    CubeRenderer3D& r = *g.renderer;
    std::vector<std::string> inputs, parameters;
    for (uint32_t i = 0; i < r.inputs.GetCount(); ++i)
        inputs.push_back(r.inputs.GetEntry(i).key.GetText());
    for (uint32_t i = 0; i < r.parameters.GetCount(); ++i)
        parameters.push_back(r.parameters.GetEntry(i).key.GetText());
    EXPECT_EQ(inputs, (std::vector<std::string>{"Default Shader", "Existing GBuffer", "Input 1"}));
    EXPECT_EQ(parameters.front(), "Inherit camera from GBuffer");
    EXPECT_EQ(parameters.back(), "Cubemap center");
    EXPECT_STREQ(r.outputTypeName.GetText(), "cubetexture");
    ASSERT_NE(r.center, nullptr);
    EXPECT_EQ(r.center->GetValue(0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(r.OutputAspectRatio(), 1.0f);

    // A plain texture is no output for it.
    Brivet::Assets::Resource::IResource* texture = r.GetOutput();
    Texture plain(g.graph.get());
    r.SetOutput(&plain);
    EXPECT_EQ(r.GetOutput(), nullptr);
    r.SetOutput(texture);
    EXPECT_EQ(r.GetOutput(), texture);
}

TEST_F(CubeRenderer3DTest, ShadowPassesAreLeftOut)
{
    Archive().entries["cube/cast.fx"] = CubeShader(
        "<passes><pass name=\"colour\" vs=\"vs_main\" ps=\"ps_green\"><rasterizer cullMode=\"none\"/></pass>"
        "<pass name=\"cast\" type=\"shadow\" vs=\"vs_main\" ps=\"ps_red\"><rasterizer cullMode=\"none\"/></pass>"
        "<pass name=\"cube\" type=\"shadowcube\" vs=\"vs_main\" ps=\"ps_red\"><rasterizer cullMode=\"none\"/></pass>"
        "</passes>",
        "float4 ps_green(VS_OUTPUT In) : SV_TARGET { return float4(0, 1, 0, 1); }\n"
        "float4 ps_red(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 0, 1); }");
    CubeGraph g = LoadCubeGraph("cube/cast.fx");
    ASSERT_NE(g.renderer, nullptr);
    chunk.entries.Add(PlaneEntry(&plane, OnAxis(4, 3.0f)));
    RenderChunk::SpotLight spot;
    spot.enabled = 1;
    spot.castsShadow = 1;
    chunk.spotLights.Add(spot);
    RenderChunk::PointLight point;
    point.enabled = 1;
    point.castsShadow = 1;
    chunk.pointLights.Add(point);
    g.Bind(&chunk);

    g.renderer->BuildCommands();
    ASSERT_EQ(g.renderer->commands.GetCount(), 1u); // the shadow passes make none
    std::vector<std::vector<uint32_t>> faces;
    const int64_t vertices = VerticesDrawn([&] { faces = g.Draw(); });
    EXPECT_TRUE(SameColour(faces[4][8 * 16 + 8], Rgba(0, 255, 0))) << ColourText(faces[4][8 * 16 + 8]);
    if (vertices >= 0)
    {
        // The normal pass once per face (the plane is never wholly behind a face's viewer).
        EXPECT_EQ(vertices, 6 * int64_t(Shape3D::PlaneGeometry::VertexCount));
    }
}

TEST_F(CubeRenderer3DTest, DefaultShaderWithoutPassesDrawsNothing)
{
    Archive().entries["cube/ids.fx"] = CubeShader(OnePass);
    Archive().entries["cube/empty.fx"] = CubeShader("<passes/>");
    CubeGraph g = LoadCubeGraph("cube/ids.fx");
    ASSERT_NE(g.renderer, nullptr);
    chunk.entries.Add(PlaneEntry(&plane, OnAxis(4, 3.0f)));
    g.Bind(&chunk);
    g.Draw();
    ASSERT_EQ(g.renderer->commands.GetCount(), 1u);

    // Another default shader, without passes; the chunk's entries move to a new array.
    CubeGraph other = LoadCubeGraph("cube/empty.fx");
    ASSERT_NE(other.renderer, nullptr);
    ASSERT_EQ(other.File0()->passes.GetCount(), 0u);
    g.renderer->SetInput(Brivet::Base::StaticString<64>("Default Shader"), other.File0());
    g.Bind(&chunk);
    ASSERT_EQ(g.renderer->defaultShader, other.File0());
    for (int i = 0; i < 20; ++i)
        chunk.entries.Add(PlaneEntry(&plane, OnAxis(4, 3.0f)));
    chunk.entries.Empty();

    std::vector<std::vector<uint32_t>> faces;
    const int64_t vertices = VerticesDrawn([&] { faces = g.Draw(); });
    EXPECT_EQ(faces[4][8 * 16 + 8], 0u);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, 0);
    }
}
} // namespace

namespace
{
TEST_F(CubeRenderer3DTest, TextureDrawersLeaveACubeOutputAlone)
{
    // A cube stands in for a texture, so a layer or a texture renderer may be given one as
    // its output; with no view to draw into they must not draw into whatever is bound.
    Archive().entries["cube/red.fx"] = LayerShader(
        "<passes><pass name=\"p0\" vs=\"vs_main\" ps=\"ps_main\"/></passes>",
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 0, 1); }");
    Archive().entries["cube/ids.fx"] = CubeShader(OnePass);
    auto graph = LoadGraph("<graph name=\"into a cube\">"
                           "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"cube/red.fx\"/></node>"
                           "<node id=\"2\" type=\"resource\"><file type=\"effect\" path=\"cube/ids.fx\"/></node>"
                           "<node id=\"10\" type=\"effect\" name=\"layer\"><effect type=\"Layer2D\"/></node>"
                           "<node id=\"11\" type=\"effect\" name=\"renderer\"><effect type=\"Renderer3D\"/></node>"
                           "<node id=\"20\" type=\"dynamic\" name=\"cube\"><dynamic type=\"cubetexture\">"
                           "<rendertarget dimensions=\"8\" format=\"R8G8B8A8_UNORM\"/></dynamic></node>"
                           "<node id=\"999\" type=\"output\"/>"
                           "<connection source=\"1\" target=\"10\" slot=\"Shader\"/>"
                           "<connection source=\"2\" target=\"11\" slot=\"Default Shader\"/>"
                           "<connection source=\"10\" target=\"20\"/>"
                           "<connection source=\"11\" target=\"20\"/>"
                           "</graph>");
    ASSERT_NE(graph, nullptr);
    auto* cube = static_cast<CubeTextureRenderTarget*>(graph->FindNode(20)->GetOutput());
    Brivet::Assets::Effect::IEffect* layer = EffectOf(*graph, 10);
    auto* renderer = static_cast<Renderer3D*>(EffectOf(*graph, 11));
    ASSERT_EQ(layer->GetOutput(), cube);
    ASSERT_EQ(renderer->GetOutput(), cube);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    renderer->SetInput(Brivet::Base::StaticString<64>("Input 1"), &chunk);
    renderer->OnInputsChanged();
    renderer->OnInputsResolved();

    const uint32_t blue = Rgba(0, 0, 255);
    ClearBackBuffer(blue);
    const int64_t vertices = VerticesDrawn([&] {
        layer->Render(Brivet::RenderContext::ForTime(0.0f));
        renderer->Render(Brivet::RenderContext::ForTime(0.0f));
    });
    const std::vector<uint32_t> back = ReadBackBuffer();
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(back[back.size() / 2], blue) << ColourText(back[back.size() / 2]);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, 0);
    }
    EXPECT_EQ(FacePixels(cube->GetCube()->GetTexture(), 0)[0], 0u);
    EXPECT_EQ(LogLinesContaining("has no render target to draw into").size(), 1u);
}
} // namespace
