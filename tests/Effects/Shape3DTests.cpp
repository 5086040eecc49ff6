// Shape3D and the chunk producers inside real graphs: the plane entry and its override
// effect's variables, and a Merge3D whose many connected inputs are found one binding
// pass after another.
#include "Render3DFixture.h"

#include "Compositing/INode.h"
#include "Graphics/Program.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Effects/Merge3D.h"
#include "repository/Resources/Effect.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Assets::Effect::IEffect;
using Brivet::Base::StaticString;

namespace
{
class Shape3DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
    }
};

std::vector<std::string> Names(const IEffect& effect)
{
    std::vector<std::string> names;
    for (uint32_t i = 0; i < effect.parameters.GetCount(); ++i)
        names.push_back(effect.parameters.GetEntry(i).key.GetText());
    for (uint32_t i = 0; i < effect.inputs.GetCount(); ++i)
        names.push_back(std::string("input ") + effect.inputs.GetEntry(i).key.GetText());
    return names;
}

TEST_F(Shape3DTest, PlaneEntryCarriesTheOverrideEffectAndItsListedVariables)
{
    Archive().entries["shape/material.fx"] =
        MeshShader("<input>v4Colour</input><input>fUnused</input>" + Passes({""}), "float4 v4Colour; float fUnused;",
                   "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return v4Colour * (1 + fUnused); }");
    auto graph = LoadGraph(
        "<graph name=\"shape\">"
        "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"shape/material.fx\"/></node>"
        "<node id=\"2\" type=\"effect\" name=\"shape\"><effect type=\"Shape3D\">"
        "<parameter name=\"v4Colour\"><value type=\"constant\"><constant value=\"0.25; 0.5; 0.75; 1\"/></value></parameter>"
        "<parameter name=\"Position\"><value type=\"spline\"><clip start=\"0\" length=\"10\">"
        "<key time=\"0\" interpolation=\"linear\" value=\"0; 0; 0\"/><key time=\"10\" value=\"10; 0; 0\"/>"
        "</clip></value></parameter>"
        "</effect></node>"
        "<node id=\"3\" type=\"effect\" name=\"plain\"><effect type=\"Shape3D\"/></node>"
        "<node id=\"4\" type=\"effect\" name=\"renderer\"><effect type=\"Renderer3D\"/></node>"
        "<node id=\"9\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
        "<connection source=\"1\" target=\"2\" slot=\"Material Override\"/>"
        "<connection source=\"2\" target=\"4\" slot=\"Input 1\"/>"
        "<connection source=\"3\" target=\"4\" slot=\"Input 1\"/>"
        "<connection source=\"4\" target=\"9\"/>"
        "</graph>");
    ASSERT_NE(graph, nullptr);
    auto* shape = static_cast<Shape3D*>(EffectOf(*graph, 2));
    auto* plain = static_cast<Shape3D*>(EffectOf(*graph, 3));
    ASSERT_NE(shape, nullptr);
    ASSERT_NE(plain, nullptr);
    Effect* material = static_cast<Effect*>(graph->FindNode(1)->GetOutput());

    EXPECT_STREQ(shape->outputTypeName.GetText(), "RenderChunk");
    // The reflected constants come in the reflection host's slot order.
    std::vector<std::string> names = Names(*shape);
    ASSERT_EQ(names.size(), 6u);
    std::sort(names.begin() + 3, names.begin() + 5);
    EXPECT_EQ(names, (std::vector<std::string>{"Position", "Rotation", "Scale", "fUnused", "v4Colour",
                                               "input Material Override"}));
    EXPECT_EQ(Names(*plain), (std::vector<std::string>{"Position", "Rotation", "Scale", "input Material Override"}));
    ASSERT_NE(shape->plane, nullptr);
    EXPECT_FALSE(shape->plane->HasBounds());
    EXPECT_NE(shape->plane->GetVertexBuffer(), nullptr);

    // No chunk is built before the first render.
    auto* chunk = static_cast<RenderChunk*>(shape->GetOutput());
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->entries.GetCount(), 0u);

    shape->Render(Brivet::RenderContext::ForTime(4.0f));
    ASSERT_EQ(chunk->entries.GetCount(), 1u);
    const RenderChunk::Entry& entry = chunk->entries[0];
    EXPECT_EQ(entry.geometry, shape->plane);
    EXPECT_EQ(entry.effect, material);
    EXPECT_EQ(entry.state, &shape->state);
    EXPECT_EQ(entry.boneCount, 0u);
    EXPECT_EQ(entry.material, nullptr);
    EXPECT_NEAR(entry.world.m[3][0], 4.0f, 1e-5f);
    EXPECT_NEAR(entry.previousWorld.m[3][0], 4.01f, 1e-5f) << "sampled one hundredth of a second later";
    EXPECT_EQ(chunk->camera.priority, 0);

    // The listed colour went into every program of the material at the render time.
    Brivet::Graphics::Program* program = material->passes[0].programs[0];
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    const std::vector<uint8_t> expected = Bytes(colour, sizeof(colour));
    EXPECT_EQ(PixelConstant(program, "v4Colour"), expected);

    // Without an override the entry has no effect: the renderer's default shader draws it.
    plain->Render(Brivet::RenderContext::ForTime(0.0f));
    auto* plainChunk = static_cast<RenderChunk*>(plain->GetOutput());
    ASSERT_EQ(plainChunk->entries.GetCount(), 1u);
    EXPECT_EQ(plainChunk->entries[0].effect, nullptr);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(plainChunk->entries[0].world, identity);
    EXPECT_EQ(plainChunk->entries[0].previousWorld, identity);
}

TEST_F(Shape3DTest, MergeFindsFortyConnectedInputsThroughTheBindingPasses)
{
    std::string nodes, connections;
    for (int k = 1; k <= 40; ++k)
    {
        nodes += "<node id=\"" + std::to_string(k) + "\" type=\"effect\" name=\"t" + std::to_string(k) +
                 "\"><effect type=\"Transform3D\"/></node>";
        connections += "<connection source=\"" + std::to_string(k) + "\" target=\"100\" slot=\"Input " +
                       std::to_string(k) + "\"/>";
    }
    auto graph = LoadGraph("<graph name=\"merge\">" + nodes +
                           "<node id=\"100\" type=\"effect\" name=\"merge\"><effect type=\"Merge3D\"/></node>"
                           "<node id=\"101\" type=\"effect\" name=\"renderer\"><effect type=\"Renderer3D\"/></node>"
                           "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>" +
                           connections +
                           "<connection source=\"100\" target=\"101\" slot=\"Input 1\"/>"
                           "<connection source=\"101\" target=\"999\"/></graph>");
    ASSERT_NE(graph, nullptr);
    auto* merge = static_cast<Merge3D*>(EffectOf(*graph, 100));
    ASSERT_NE(merge, nullptr);
    EXPECT_EQ(merge->inputCount, 41u);
    for (int k = 1; k <= 40; ++k)
        EXPECT_EQ(merge->chunks[k - 1], graph->FindNode(k)->GetOutput()) << k;
    EXPECT_EQ(merge->chunks[40], nullptr);
    EXPECT_TRUE(LogLinesContaining("binding passes").empty());
}
} // namespace
