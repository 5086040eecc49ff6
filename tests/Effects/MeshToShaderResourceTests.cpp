// MeshToShaderResource on a real device: a Layer2D shader reads the vertex buffer of the
// mesh that "Mesh Index" picks as a raw buffer and its index buffer as a typed one; an
// index beyond the meshes leaves the output without a view; the output is taken only when
// it is a plain shader resource.
#include "EffectsFixture.h"

#include "Assets/Effect/IEffect.h"
#include "Compositing/INode.h"
#include "repository/Effects/MeshToShaderResource.h"
#include "repository/Effects/MeshToShaderResourceFactory.h"
#include "repository/Resources/Scene.h"
#include "repository/Resources/ShaderResource.h"

#include "LogCapture.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Assets::Effect::IEffect;
using Brivet::Base::StaticString;

namespace
{
// Two meshes (one per material): every vertex of the first has x = 0.25, of the second
// x = 0.75.
const char* const MeshesObj = "mtllib meshes.mtl\n"
                              "o First\nv 0.25 0 0\nv 0.25 1 0\nv 0.25 0 1\nusemtl first\nf 1 2 3\n"
                              "o Second\nv 0.75 0 0\nv 0.75 1 0\nv 0.75 0 1\nusemtl second\nf 4 5 6\n";
const char* const MeshesMtl = "newmtl first\nKd 1 0 0\nnewmtl second\nKd 0 1 0\n";

// Red: x of the first vertex (the first word of the raw vertex buffer); green: the
// triangle's three indices summed, over 3; blue 1 when a vertex view was bound.
const std::string MeshLayer = LayerShader("<input>rawVertices</input><input>bufIndices</input>"
                                          "<passes><pass name=\"main\" vs=\"vs_main\" ps=\"ps_main\"/></passes>",
                                          "ByteAddressBuffer rawVertices;\n"
                                          "Buffer<uint> bufIndices;\n"
                                          "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
                                          "  float x = asfloat(rawVertices.Load(0));\n"
                                          "  float sum = (float)(bufIndices[0] + bufIndices[1] + bufIndices[2]);\n"
                                          "  return float4(x, sum / 3.0, x > 0.0 ? 1.0 : 0.0, 1); }");

class MeshToShaderResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BRIVET_SKIP_WITHOUT_FULLER_HLSL();
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
        Archive().entries["meshes.obj"] = MeshesObj;
        Archive().entries["meshes.mtl"] = MeshesMtl;
        Archive().entries["mesh.fx"] = MeshLayer;
    }
};
} // namespace

TEST_F(MeshToShaderResourceTest, ShaderReadsThePickedMeshsVerticesAndIndices)
{
    // Node 101 hands out vertices, mesh 0, 1, then 5 (there is none); node 102 the indices.
    auto graph = LoadGraph(
        "<graph name=\"meshes\">"
        "<node id=\"1\" type=\"resource\" name=\"scene\"><file type=\"scene\" path=\"meshes.obj\"/></node>"
        "<node id=\"2\" type=\"resource\" name=\"layer shader\"><file type=\"effect\" path=\"mesh.fx\"/></node>"
        "<node id=\"101\" type=\"effect\" name=\"vertices\"><effect type=\"MeshToShaderResource\">" +
        SteppedParameter("Mesh Index", {"0", "1", "5"}) +
        "</effect></node>"
        "<node id=\"102\" type=\"effect\" name=\"indices\"><effect type=\"MeshToShaderResource\">"
        "<parameter name=\"Use Index Buffer\"><value type=\"constant\"><constant value=\"true\"/></value></parameter>"
        "</effect></node>"
        "<node id=\"103\" type=\"effect\" name=\"layer\"><effect type=\"Layer2D\"/></node>"
        "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
        "<connection source=\"1\" target=\"101\" slot=\"Scene\"/>"
        "<connection source=\"1\" target=\"102\" slot=\"Scene\"/>"
        "<connection source=\"2\" target=\"103\" slot=\"Shader\"/>"
        "<connection source=\"101\" target=\"103\" slot=\"rawVertices\"/>"
        "<connection source=\"102\" target=\"103\" slot=\"bufIndices\"/>"
        "<connection source=\"103\" target=\"999\"/></graph>");
    ASSERT_NE(graph, nullptr);
    IEffect* vertices = EffectOf(*graph, 101);
    ASSERT_NE(vertices, nullptr);
    EXPECT_STREQ(vertices->outputTypeName.GetText(), "shaderresource");
    auto* scene = static_cast<Scene*>(graph->FindNode(1)->GetOutput());
    ASSERT_EQ(scene->meshes.GetCount(), 2u);
    // The raw vertex view reaches the layer: its "rawVertices" input was declared.
    IEffect::Input* input = nullptr;
    ASSERT_TRUE(EffectOf(*graph, 103)->inputs.Find(StaticString<64>("rawVertices"), &input));
    EXPECT_EQ(input->bound, vertices->GetOutput());

    auto* output = static_cast<ShaderResource*>(vertices->GetOutput());
    const struct
    {
        float t;
        uint32_t colour;
    } cases[] = {
        {0.5f, RgbaOf(0.25f, 1.0f, 1.0f)},
        {1.5f, RgbaOf(0.75f, 1.0f, 1.0f)},
        {2.5f, RgbaOf(0.0f, 1.0f, 0.0f)}, // no view: the raw buffer reads zeros
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.t);
        ClearBackBuffer(Rgba(10, 20, 200));
        Render(*graph, c.t);
        const std::vector<uint32_t> pixels = ReadBackBuffer();
        ASSERT_FALSE(pixels.empty());
        EXPECT_TRUE(SameColour(pixels[pixels.size() / 2], c.colour)) << ColourText(pixels[pixels.size() / 2]);
    }
    EXPECT_EQ(output->GetShaderResource(), nullptr);

    // The views stay the meshes': the second node lends the first mesh's index view
    auto* indices = static_cast<ShaderResource*>(EffectOf(*graph, 102)->GetOutput());
    EXPECT_EQ(indices->GetShaderResource(), scene->FindMesh(0)->GetIndexView());
}

TEST_F(MeshToShaderResourceTest, OutputIsTakenOnlyWhenItIsAPlainShaderResource)
{
    std::unique_ptr<IEffect> effect(MeshToShaderResourceFactory::instance.Create(SharedDemo()));
    ASSERT_TRUE(effect->Initialize());
    auto graph = LoadGraph("<graph name=\"outputs\"><node id=\"999\" type=\"output\"><output/></node></graph>");
    ASSERT_NE(graph, nullptr);
    auto* holder = SharedDemo()->resourceManager.CreateDynamic(graph.get(), "shaderresource", nullptr);
    auto* buffer = SharedDemo()->resourceManager.CreateDynamic(graph.get(), "buffer", nullptr);
    ASSERT_TRUE(holder && buffer);

    effect->SetOutput(holder);
    EXPECT_EQ(effect->GetOutput(), holder);
    // A buffer fits "shaderresource" inputs but owns its view: it would release the mesh's.
    effect->SetOutput(buffer);
    EXPECT_EQ(effect->GetOutput(), nullptr);

    SharedDemo()->resourceManager.DestroyDynamic("shaderresource", holder);
    SharedDemo()->resourceManager.DestroyDynamic("buffer", buffer);
}
