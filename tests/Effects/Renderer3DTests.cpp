// Renderer3D on a real device: the command list it builds and sorts from a chunk, culling
// of entries behind the viewer, the projection it computes from the chunk's camera, the
// camera constants sent once per change of pass or effect, each entry's own state and an
// object id per draw, shadow passes left out of a texture, skinned entries, and effects
// without passes.
#include "Render3DFixture.h"

#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Effects/RendererGBuffer3D.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/Texture.h"

#include "LogCapture.h"

#include "MathAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace EffectsTest;
using Command = Renderer3D::Command;

namespace
{
constexpr uint32_t None = Renderer3D::None;

const std::string ColourConstants = "float4 v4Colour;";
const std::string ColourPixels = "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return v4Colour; }";

// What a command is, without its pointers' identity beyond the effect.
struct Expected
{
    uint32_t pass;
    uint32_t entry;
    uint32_t kind;
    uint32_t light;
    uint32_t face;
};

template <typename Renderer>
::testing::AssertionResult CommandsAre(const Renderer& renderer, const std::vector<Expected>& expected)
{
    const auto& commands = renderer.commands;
    if (commands.GetCount() != expected.size())
        return ::testing::AssertionFailure() << commands.GetCount() << " commands, expected " << expected.size();
    for (uint32_t i = 0; i < commands.GetCount(); ++i)
    {
        const auto& c = commands[i];
        const Expected& e = expected[i];
        if (c.pass != e.pass || c.entryIndex != e.entry || c.kind != e.kind || c.light != e.light || c.face != e.face)
        {
            return ::testing::AssertionFailure()
                   << "command " << i << " is {pass " << c.pass << ", entry " << c.entryIndex << ", kind " << c.kind
                   << ", light " << int32_t(c.light) << ", face " << int32_t(c.face) << "}, expected {pass " << e.pass
                   << ", entry " << e.entry << ", kind " << e.kind << ", light " << int32_t(e.light) << ", face "
                   << int32_t(e.face) << "}";
        }
    }
    return ::testing::AssertionSuccess();
}

template <typename Light>
Light Caster(bool enabled, bool casts)
{
    Light light;
    light.enabled = enabled ? 1 : 0;
    light.castsShadow = casts ? 1 : 0;
    return light;
}

// Three small planes in a row at x = -0.6, 0, 0.6 before an orthographic camera (world x
// and y -1..1 fill the output), with the effect given and the states given (or none).
void AddRowOfPlanes(RenderChunk& chunk, TestPlane& plane, Effect* effect = nullptr,
                    ReflectedShaderState* states = nullptr)
{
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f, 90.0f, 0.0f, 10.0f);
    chunk.camera.orthographic = 1;
    D3DXMATRIX small;
    D3DXMatrixScaling(&small, 0.2f, 0.2f, 1.0f);
    for (int i = 0; i < 3; ++i)
    {
        RenderChunk::Entry entry = PlaneEntry(&plane, small * Translation(-0.6f + 0.6f * float(i), 0.0f, 0.0f), effect);
        if (states)
            entry.state = &states[i];
        chunk.entries.Add(entry);
    }
}

// The middle row's pixel at the centre of each plane of the row, in the row's order.
std::vector<uint32_t> RowOfPlanesPixels(const std::vector<uint32_t>& pixels)
{
    std::vector<uint32_t> found;
    if (pixels.size() != size_t(Width) * Height)
        return found;
    // Column of x: (x + 1) / 2 × width.
    for (uint32_t i = 0; i < 3; ++i)
        found.push_back(pixels[Height / 2 * Width + uint32_t((-0.6f + 0.6f * float(i) + 1.0f) * 0.5f * Width)]);
    return found;
}

class Renderer3DTest : public ::testing::Test
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

TEST_F(Renderer3DTest, EntriesWithoutAnEffectGetOneCommandPerDefaultPassAndPassesComeFirst)
{
    Archive().entries["r3d/two.fx"] = MeshShader(Passes({"", ""}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/two.fx"});
    ASSERT_NE(g.renderer, nullptr);
    for (int i = 0; i < 3; ++i)
        chunk.entries.Add(PlaneEntry(&plane, Translation(float(i), 0.0f, 0.0f)));
    g.Bind(&chunk);

    g.renderer->BuildCommands();
    EXPECT_TRUE(CommandsAre(*g.renderer, {{0, 0, 0, None, None},
                                          {0, 1, 0, None, None},
                                          {0, 2, 0, None, None},
                                          {1, 0, 0, None, None},
                                          {1, 1, 0, None, None},
                                          {1, 2, 0, None, None}}));
    for (const Command& c : g.renderer->commands)
    {
        EXPECT_EQ(c.effect, g.File(0));
        EXPECT_EQ(c.state, &g.renderer->defaultShaderState);
        EXPECT_EQ(c.entry, &chunk.entries[c.entryIndex]);
    }
    // The first pass's vertex stage gave the plane its input layout.
    EXPECT_NE(plane.GetInputSignatureShader(), nullptr);
    EXPECT_NE(plane.GetInputLayout(), nullptr);

    // Rebuilt each frame into the same list.
    const uint32_t capacity = g.renderer->commands.GetCapacity();
    g.renderer->BuildCommands();
    EXPECT_EQ(g.renderer->commands.GetCount(), 6u);
    EXPECT_EQ(g.renderer->commands.GetCapacity(), capacity);
}

TEST_F(Renderer3DTest, MaterialsChooseBetweenNormalAndTransparentPasses)
{
    Archive().entries["r3d/default.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    Archive().entries["r3d/both.fx"] = MeshShader(Passes({"", "transparent"}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/default.fx", "r3d/both.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Effect* both = g.File(1);
    TestMaterial opaque(false), clear(true);
    ReflectedShaderState own;
    chunk.entries.Add(PlaneEntry(&plane, Identity(), both, &opaque));
    chunk.entries.Add(PlaneEntry(&plane, Identity(), both, &clear));
    chunk.entries.Add(PlaneEntry(&plane, Identity(), both));
    chunk.entries[2].state = &own;
    g.Bind(&chunk);

    g.renderer->BuildCommands();
    EXPECT_TRUE(CommandsAre(*g.renderer, {{0, 0, 0, None, None},
                                          {0, 2, 0, None, None},
                                          {1, 1, 3, None, None},
                                          {1, 2, 3, None, None}}));
    // An entry with an effect of its own and no state borrows the default state.
    EXPECT_EQ(g.renderer->commands[0].state, &g.renderer->defaultShaderState);
    EXPECT_EQ(g.renderer->commands[1].state, &own);
    EXPECT_EQ(g.renderer->commands[0].effect, both);
}

TEST_F(Renderer3DTest, ShadowPassesRepeatPerCastingLightAndCubeFace)
{
    // Built by the G-buffer renderer, which has shadow targets; a texture renderer builds
    // none of them, as it would not draw them.
    Archive().entries["r3d/default.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    Archive().entries["r3d/shadows.fx"] = MeshShader(Passes({"shadowcube", "shadow"}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/default.fx", "r3d/shadows.fx"});
    ASSERT_NE(g.renderer, nullptr);
    auto graph = LoadRendererNodes({"r3d/default.fx", "r3d/shadows.fx"}, "1:1", "RendererGBuffer3D",
                                   "<resource><gbuffer shadowSize=\"8\" shadowCubeSize=\"8\">"
                                   "<layer name=\"texDiffuse\" format=\"R8G8B8A8_UNORM\"/></gbuffer></resource>");
    ASSERT_NE(graph, nullptr);
    auto* shadows = static_cast<RendererGBuffer3D*>(EffectOf(*graph, 10));
    ASSERT_NE(shadows, nullptr);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f); // directional records follow a camera
    chunk.entries.Add(PlaneEntry(&plane, Identity(), FileOf(graph.get(), 1)));
    // Point lights 0 and 2 cast; area spheres 0 and 1 cast (indices 3 and 4 after the points).
    chunk.pointLights.Add(Caster<RenderChunk::PointLight>(true, true));
    chunk.pointLights.Add(Caster<RenderChunk::PointLight>(true, false));
    chunk.pointLights.Add(Caster<RenderChunk::PointLight>(true, true));
    chunk.areaSphereLights.Add(Caster<RenderChunk::AreaSphereLight>(true, true));
    chunk.areaSphereLights.Add(Caster<RenderChunk::AreaSphereLight>(true, true));
    // Spot 1 is disabled but still advances the index: spots 0 and 2, directional 0 -> 0, 2, 3.
    chunk.spotLights.Add(Caster<RenderChunk::SpotLight>(true, true));
    chunk.spotLights.Add(Caster<RenderChunk::SpotLight>(false, true));
    chunk.spotLights.Add(Caster<RenderChunk::SpotLight>(true, true));
    chunk.directionalLights.Add(Caster<RenderChunk::DirectionalLight>(true, true));
    g.Bind(&chunk);
    g.renderer->BuildCommands();
    EXPECT_TRUE(CommandsAre(*g.renderer, {}));

    shadows->SetInput(Brivet::Base::StaticString<64>("Input 1"), &chunk);
    shadows->OnInputsChanged();
    shadows->OnInputsResolved();
    shadows->UpdateCamera(Brivet::RenderContext::ForTime(0.0f));
    shadows->PrepareShadowRecords();
    shadows->BuildCommands();
    std::vector<Expected> expected;
    for (uint32_t light : {0u, 2u, 3u, 4u})
    {
        for (uint32_t face = 0; face < 6; ++face)
            expected.push_back({0, 0, 1, light, face});
    }
    for (uint32_t light : {0u, 2u, 3u})
        expected.push_back({1, 0, 2, light, None});
    EXPECT_TRUE(CommandsAre(*shadows, expected));
    // The records give their targets back once their lights are gone.
    chunk.pointLights.Empty();
    chunk.areaSphereLights.Empty();
    chunk.spotLights.Empty();
    chunk.directionalLights.Empty();
    shadows->PrepareShadowRecords();
}

TEST_F(Renderer3DTest, SortGroupsEachPassByEffectWithEntriesInChunkOrder)
{
    Archive().entries["r3d/a.fx"] = MeshShader(Passes({"", ""}), ColourConstants, ColourPixels);
    Archive().entries["r3d/b.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/a.fx", "r3d/b.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Effect* a = g.File(0);
    Effect* b = g.File(1);
    chunk.entries.Add(PlaneEntry(&plane, Identity(), b));
    chunk.entries.Add(PlaneEntry(&plane, Identity(), a));
    chunk.entries.Add(PlaneEntry(&plane, Identity(), b));
    chunk.entries.Add(PlaneEntry(&plane, Identity(), nullptr)); // the default shader: a
    g.Bind(&chunk);

    g.renderer->BuildCommands();
    const Effect* first = a < b ? a : b;
    std::vector<Expected> expected;
    const std::vector<uint32_t> ofA = {1, 3}, ofB = {0, 2};
    for (uint32_t entry : first == a ? ofA : ofB)
        expected.push_back({0, entry, 0, None, None});
    for (uint32_t entry : first == a ? ofB : ofA)
        expected.push_back({0, entry, 0, None, None});
    for (uint32_t entry : ofA)
        expected.push_back({1, entry, 0, None, None});
    EXPECT_TRUE(CommandsAre(*g.renderer, expected));

    // The order of the comparison itself: pass, then light (None first), face, effect, entry.
    Command x = {0, a, nullptr, nullptr, 5, 0, None, None};
    Command y = {0, a, nullptr, nullptr, 5, 2, 0, None};
    EXPECT_LT(Renderer3D::CompareCommands(&x, &y), 0);
    y = {1, a, nullptr, nullptr, 0, 0, None, None};
    EXPECT_LT(Renderer3D::CompareCommands(&x, &y), 0);
    y = {0, a, nullptr, nullptr, 4, 0, None, None};
    EXPECT_GT(Renderer3D::CompareCommands(&x, &y), 0);
    EXPECT_EQ(Renderer3D::CompareCommands(&x, &x), 0);
}

TEST_F(Renderer3DTest, EntryWhoseEffectHasNoPassIsLeftOutEvenWithoutALayout)
{
    Archive().entries["r3d/default.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    Archive().entries["r3d/empty.fx"] = MeshShader("<passes/>", ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/default.fx", "r3d/empty.fx"});
    ASSERT_NE(g.renderer, nullptr);
    ASSERT_NE(g.File(1), nullptr);
    ASSERT_EQ(g.File(1)->passes.GetCount(), 0u);
    TestPlane fresh(false);
    chunk.entries.Add(PlaneEntry(&fresh, Identity(), g.File(1)));
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    chunk.entries.Add(PlaneEntry(nullptr, Identity())); // no geometry: nothing to draw
    g.Bind(&chunk);

    g.renderer->BuildCommands();
    EXPECT_TRUE(CommandsAre(*g.renderer, {{0, 1, 0, None, None}}));
    EXPECT_EQ(fresh.GetInputSignatureShader(), nullptr);
}

TEST_F(Renderer3DTest, EntriesWhollyBehindTheViewerAreCulled)
{
    Archive().entries["r3d/default.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/default.fx"});
    ASSERT_NE(g.renderer, nullptr);
    TestPlane bounded(true);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    // In view space: in front (z 5), behind (z -2), straddling (a plane turned about x spans
    // z -1.5 to 0.5 around z -0.5), and behind without bounds.
    D3DXMATRIX turned;
    D3DXMatrixRotationYawPitchRoll(&turned, 0.0f, 1.5707964f, 0.0f);
    chunk.entries.Add(PlaneEntry(&bounded, Identity()));
    chunk.entries.Add(PlaneEntry(&bounded, Translation(0.0f, 0.0f, -7.0f)));
    chunk.entries.Add(PlaneEntry(&bounded, turned * Translation(0.0f, 0.0f, -5.5f)));
    chunk.entries.Add(PlaneEntry(&plane, Translation(0.0f, 0.0f, -7.0f)));
    g.Bind(&chunk);

    auto* output = static_cast<Texture*>(g.renderer->GetOutput());
    ASSERT_NE(output, nullptr);
    output->AcquireTarget();
    const int64_t vertices =
        VerticesDrawn([&] { g.renderer->Render(Brivet::RenderContext::ForTime(0.0f)); });
    output->ReleaseTarget();
    if (vertices < 0)
        GTEST_SKIP() << "the device counts no vertices";
    EXPECT_EQ(vertices, 3 * int64_t(Shape3D::PlaneGeometry::VertexCount));
}

TEST_F(Renderer3DTest, ProjectionFollowsTheChunkCameraAndTheOutputShape)
{
    Archive().entries["r3d/default.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/default.fx"}, "2:1"); // a 64 × 32 output
    ASSERT_NE(g.renderer, nullptr);
    g.Bind(&chunk);
    Renderer3D& r = *g.renderer;
    ASSERT_EQ(r.OutputAspectRatio(), 2.0f);

    // Perspective with a horizontal field of view: x is scaled by cot(fov / 2) and y by
    // that times the aspect ratio; depth maps near..far to 0..1.
    struct Case
    {
        float fieldOfView;
        float xScale;
    };
    const float n = 0.5f, f = 100.0f;
    for (const Case& c : {Case{90.0f, 1.0f}, Case{60.0f, 1.7320508f}})
    {
        SCOPED_TRACE(c.fieldOfView);
        chunk.camera = CameraAt(1.0f, 2.0f, 3.0f, c.fieldOfView, n, f);
        ASSERT_TRUE(r.UpdateCamera(Brivet::RenderContext::ForTime(0.0f)));
        EXPECT_NEAR(r.projection.m[0][0], c.xScale, 1e-5f);
        EXPECT_NEAR(r.projection.m[1][1], 2.0f * c.xScale, 1e-5f);
        EXPECT_NEAR(r.projection.m[2][2], f / (f - n), 1e-5f);
        EXPECT_NEAR(r.projection.m[3][2], -n * f / (f - n), 1e-4f);
        EXPECT_EQ(r.projection.m[2][3], 1.0f);
        EXPECT_EQ(r.projection.m[3][3], 0.0f);
        EXPECT_TRUE(MatrixNear(r.view, chunk.camera.view));
        EXPECT_EQ(r.cameraPosition, D3DXVECTOR4(1.0f, 2.0f, 3.0f, 1.0f));
        EXPECT_EQ(r.aspectRatio, 2.0f);
    }

    // Orthographic: the unit square, whatever the aspect ratio.
    chunk.camera.orthographic = 1;
    ASSERT_TRUE(r.UpdateCamera(Brivet::RenderContext::ForTime(0.0f)));
    D3DXMATRIX ortho;
    D3DXMatrixOrthoOffCenterLH(&ortho, -1.0f, 1.0f, -1.0f, 1.0f, n, f);
    EXPECT_TRUE(MatrixNear(r.projection, ortho));
    EXPECT_EQ(r.projection.m[0][0], 1.0f);
    EXPECT_NEAR(r.projection.m[2][2], 1.0f / (f - n), 1e-7f);

    // The context's override wins even over an orthographic camera; keepView leaves the
    // view alone while projection and position still follow.
    Brivet::RenderContext context = Brivet::RenderContext::ForTime(0.0f);
    context.projectionOverride = true;
    context.keepView = true;
    D3DXMatrixScaling(&context.projection, 3.0f, 4.0f, 5.0f);
    const D3DXMATRIX viewBefore = r.view;
    chunk.camera = CameraAt(7.0f, 8.0f, 9.0f);
    chunk.camera.orthographic = 1;
    ASSERT_TRUE(r.UpdateCamera(context));
    EXPECT_TRUE(MatrixNear(r.projection, context.projection));
    EXPECT_TRUE(MatrixNear(r.view, viewBefore));
    EXPECT_EQ(r.cameraPosition, D3DXVECTOR4(7.0f, 8.0f, 9.0f, 1.0f));

    // A chunk without camera keeps the last frame's matrices.
    const D3DXMATRIX projectionBefore = r.projection;
    chunk.camera.priority = 0;
    EXPECT_FALSE(r.UpdateCamera(Brivet::RenderContext::ForTime(0.0f)));
    EXPECT_TRUE(MatrixNear(r.projection, projectionBefore));
    EXPECT_EQ(r.cameraPosition, D3DXVECTOR4(7.0f, 8.0f, 9.0f, 1.0f));
}

TEST_F(Renderer3DTest, CameraConstantsAreSentOnlyWhenThePassOrEffectChanges)
{
    Archive().entries["r3d/a.fx"] = MeshShader(Passes({"", "", "shadow"}), ColourConstants, ColourPixels);
    Archive().entries["r3d/b.fx"] = MeshShader(Passes({"", ""}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/a.fx", "r3d/b.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Renderer3D& r = *g.renderer;
    Effect* a = g.File(0);
    Effect* b = g.File(1);
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    g.Bind(&chunk);
    auto* output = static_cast<Texture*>(r.GetOutput());
    ASSERT_NE(output, nullptr);
    output->AcquireTarget();

    ReflectedShaderState* state = &r.defaultShaderState;
    RenderChunk::Entry* e0 = &chunk.entries[0];
    RenderChunk::Entry* e1 = &chunk.entries[1];
    const Command none = Renderer3D::NoCommand();
    const Command a0e0 = {0, a, state, e0, 0, 0, None, None};
    const Command a0e1 = {0, a, state, e1, 1, 0, None, None};
    const Command a1e0 = {1, a, state, e0, 0, 0, None, None};
    const Command b1e0 = {1, b, state, e0, 0, 0, None, None};
    const Command b1e1 = {1, b, state, e1, 1, 0, None, None};
    const Command a2s0 = {2, a, state, e0, 0, 2, 0, None};
    const Command a2s1 = {2, a, state, e0, 0, 2, 1, None};
    struct Step
    {
        const char* what;
        Command previous;
        Command current;
        bool sent;
    };
    const Step steps[] = {
        {"first command", none, a0e0, true},
        {"next entry, same effect and pass", a0e0, a0e1, false},
        {"next pass", a0e1, a1e0, true},
        {"other effect", a1e0, b1e0, true},
        {"next entry of that effect", b1e0, b1e1, false},
        {"a shadow pass gets nothing here", b1e1, a2s0, false},
        {"next shadow light", a2s0, a2s1, false},
    };

    // A view that differs at every step: a constant buffer that was not written holds the
    // view of an earlier step.
    float marker = 1.0f;
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.what);
        D3DXMatrixTranslation(&r.view, marker, 0.0f, 0.0f);
        EXPECT_EQ(r.PrepareCommand(step.previous, step.current), step.sent);
        EXPECT_EQ(step.current.effect->currentPass, step.current.pass);
        Brivet::Graphics::Program** programs = step.current.effect->passes[step.current.pass].programs;
        const std::vector<uint8_t> held = VertexConstant(programs[0], "matView");
        ASSERT_EQ(held.size(), sizeof(D3DXMATRIX));
        if (step.sent)
            EXPECT_EQ(held, Bytes(&r.view, sizeof(D3DXMATRIX)));
        else
            EXPECT_NE(held, Bytes(&r.view, sizeof(D3DXMATRIX)));
        marker += 1.0f;
    }

    // After the last command the last pass ends.
    EXPECT_FALSE(r.PrepareCommand(a2s1, none));
    EXPECT_EQ(a->currentPass, Effect::NoPass);
    output->ReleaseTarget();
}

TEST_F(Renderer3DTest, EveryEntryDrawsWithItsOwnObjectId)
{
    // Three planes of one effect in a row: the colour is the object id.
    Archive().entries["r3d/ids.fx"] = MeshShader(
        Passes({""}), "uint nObjectID;",
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(0.25 * (float)nObjectID + 0.25, 0, 0, 1); }");
    RendererGraph g = LoadRendererGraph({"r3d/ids.fx"});
    ASSERT_NE(g.renderer, nullptr);
    AddRowOfPlanes(chunk, plane);
    g.Bind(&chunk);

    const std::vector<uint32_t> pixels = g.Draw();
    const std::vector<uint32_t> planes = RowOfPlanesPixels(pixels);
    ASSERT_EQ(planes.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_TRUE(SameColour(planes[i], RgbaOf(0.25f * float(i) + 0.25f, 0.0f, 0.0f)))
            << i << ": " << ColourText(planes[i]);
    EXPECT_EQ(pixels[Height / 2 * Width + Width / 2 - 10] & 0xFFFFFF, 0u) << "between the planes";
}

TEST_F(Renderer3DTest, EntriesSharingAnEffectDrawWithTheirOwnStates)
{
    // Entries of three nodes with one effect file, each with its own state and colour: each
    // plane shows its own colour, not the one written last.
    Archive().entries["r3d/default.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    Archive().entries["r3d/shared.fx"] =
        MeshShader("<input>v4Colour</input>" + Passes({""}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/default.fx", "r3d/shared.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Effect* shared = g.File(1);
    ASSERT_NE(shared, nullptr);
    const D3DXVECTOR4 colours[] = {D3DXVECTOR4(1, 0, 0, 1), D3DXVECTOR4(0, 0, 1, 1), D3DXVECTOR4(0, 1, 0, 1)};
    ReflectedShaderState states[3];
    const char* prefixes[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i)
    {
        states[i].Declare(Brivet::Base::String(prefixes[i]), g.renderer, shared);
        Brivet::Parameters::Parameter<D3DXVECTOR4>** colour = nullptr;
        ASSERT_TRUE(states[i].float4Parameters.Find(Brivet::Base::String("v4Colour"), &colour));
        (*colour)->SetValue(0.0f, colours[i], 0.0f);
    }
    AddRowOfPlanes(chunk, plane, shared, states);
    g.Bind(&chunk);

    const std::vector<uint32_t> planes = RowOfPlanesPixels(g.Draw());
    ASSERT_EQ(planes.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i)
    {
        const D3DXVECTOR4& c = colours[i];
        EXPECT_TRUE(SameColour(planes[i], RgbaOf(c.x, c.y, c.z))) << i << ": " << ColourText(planes[i]);
    }
}

TEST_F(Renderer3DTest, ShadowPassesAreNotDrawnIntoATexture)
{
    // A casting spot light makes the shadow pass produce a command for the plane; drawn, it
    // would paint red over the normal pass's green.
    Archive().entries["r3d/cast.fx"] = MeshShader(
        "<passes><pass name=\"colour\" vs=\"vs_main\" ps=\"ps_green\"/>"
        "<pass name=\"cast\" type=\"shadow\" vs=\"vs_main\" ps=\"ps_red\"/></passes>",
        "",
        "float4 ps_green(VS_OUTPUT In) : SV_TARGET { return float4(0, 1, 0, 1); }\n"
        "float4 ps_red(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 0, 1); }");
    RendererGraph g = LoadRendererGraph({"r3d/cast.fx"});
    ASSERT_NE(g.renderer, nullptr);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    chunk.spotLights.Add(Caster<RenderChunk::SpotLight>(true, true));
    g.Bind(&chunk);

    g.renderer->BuildCommands();
    ASSERT_EQ(g.renderer->commands.GetCount(), 1u); // the shadow pass makes none
    const std::vector<uint32_t> pixels = g.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_TRUE(SameColour(pixels[Height / 2 * Width + Width / 2], Rgba(0, 255, 0)))
        << ColourText(pixels[Height / 2 * Width + Width / 2]);

    auto* output = static_cast<Texture*>(g.renderer->GetOutput());
    output->AcquireTarget();
    const int64_t vertices =
        VerticesDrawn([&] { g.renderer->Render(Brivet::RenderContext::ForTime(0.0f)); });
    output->ReleaseTarget();
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, int64_t(Shape3D::PlaneGeometry::VertexCount));
    }
}

TEST_F(Renderer3DTest, SkinnedEntryGetsItsBonesAndNoWorldMatrix)
{
    // The vertex stage places the plane by the first bone when there are bones.
    Archive().entries["r3d/skin.fx"] =
        "/*\n<metadata><passes><pass name=\"p0\" vs=\"vs_main\" ps=\"ps_main\"/></passes>"
        "<variation>SKINNING_ENABLED</variation></metadata>\n*/\n"
        "cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection;\n"
        "  float4x4 matWorldBones[2]; float4x4 matWorldBonesPrevious[2]; float4x4 matWorldPrevious; };\n"
        "struct VS_INPUT { float3 Pos : POSITION; };\n"
        "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
        "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out;\n"
        "#ifdef SKINNING_ENABLED\n"
        "  float4 p = mul(matWorldBones[0], float4(In.Pos, 1)) + 0 * mul(matWorldBonesPrevious[1], float4(In.Pos, 1));\n"
        "#else\n"
        "  float4 p = mul(matWorld, float4(In.Pos, 1)) + 0 * mul(matWorldPrevious, float4(In.Pos, 1));\n"
        "#endif\n"
        "  Out.Pos = mul(matProjection, mul(matView, p)); return Out; }\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(0, 0, 1, 1); }\n";
    RendererGraph g = LoadRendererGraph({"r3d/skin.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Effect* skin = g.File(0);
    ASSERT_EQ(skin->GetProgramCount(), 2u);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f, 90.0f, 0.0f, 10.0f);
    chunk.camera.orthographic = 1;
    D3DXMATRIX small;
    D3DXMatrixScaling(&small, 0.25f, 0.25f, 1.0f);
    RenderChunk::Entry skinned = PlaneEntry(&plane, small * Translation(-0.5f, 0.0f, 0.0f));
    skinned.boneCount = 2;
    skinned.bones[0] = small * Translation(0.5f, 0.0f, 0.0f); // where the skinned plane shows
    skinned.bones[1] = Translation(0.0f, 9.0f, 0.0f);
    skinned.previousBones[0] = Translation(0.0f, 0.0f, 1.0f);
    skinned.previousBones[1] = Translation(0.0f, 0.0f, 2.0f);
    chunk.entries.Add(skinned);
    g.Bind(&chunk);

    const std::vector<uint32_t> pixels = g.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    const uint32_t row = Height / 2 * Width;
    EXPECT_TRUE(SameColour(pixels[row + Width * 3 / 4], Rgba(0, 0, 255))) << "at the first bone";
    EXPECT_EQ(pixels[row + Width / 4] & 0xFFFFFF, 0u) << "not at the world matrix";

    // The skinned program holds both bone arrays and never received a world matrix.
    Brivet::Graphics::Program* skinnedProgram = skin->passes[0].programs[1];
    EXPECT_EQ(VertexConstant(skinnedProgram, "matWorldBones"), Bytes(skinned.bones, 2 * sizeof(D3DXMATRIX)));
    EXPECT_EQ(VertexConstant(skinnedProgram, "matWorldBonesPrevious"),
              Bytes(skinned.previousBones, 2 * sizeof(D3DXMATRIX)));
    EXPECT_EQ(VertexConstant(skinnedProgram, "matWorld"), std::vector<uint8_t>(sizeof(D3DXMATRIX), 0));
}

TEST_F(Renderer3DTest, EachEntryDrawsWithTheViewsOfItsOwnVariation)
{
    // The unskinned program reads only texB; the skinned one reads texA first, so texB has
    // another register there. texA is red, texB green: the unskinned planes on both sides
    // show texB, the skinned one in the middle red from texA and green from texB.
    Archive().entries["r3d/pick.fx"] =
        "/*\n<metadata><input>texA</input><input>texB</input><variation>SKINNING_ENABLED</variation>" +
        Passes({""}) +
        "</metadata>\n*/\n"
        "cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; float4x4 matWorldBones[1]; };\n"
        "#ifdef SKINNING_ENABLED\nTexture2D texA;\n#endif\nTexture2D texB;\n"
        "struct VS_INPUT { float3 Pos : POSITION; };\n"
        "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
        "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out;\n"
        "#ifdef SKINNING_ENABLED\n  float4 p = mul(matWorldBones[0], float4(In.Pos, 1));\n"
        "#else\n  float4 p = mul(matWorld, float4(In.Pos, 1));\n#endif\n"
        "  Out.Pos = mul(matProjection, mul(matView, p)); return Out; }\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET { float4 c = float4(texB.Load(int3(0, 0, 0)).rgb, 1);\n"
        "#ifdef SKINNING_ENABLED\n  c.r = texA.Load(int3(0, 0, 0)).r;\n#endif\n"
        "  return c; }\n";
    RendererGraph g = LoadRendererGraph({"r3d/pick.fx"});
    ASSERT_NE(g.renderer, nullptr);
    ASSERT_EQ(g.File(0)->GetProgramCount(), 2u);
    auto red = SolidTexture(g.graph.get(), Rgba(255, 0, 0));
    auto green = SolidTexture(g.graph.get(), Rgba(0, 255, 0));
    ASSERT_TRUE(red && green);
    g.renderer->SetInput(Brivet::Base::StaticString<64>("texA"), red.get());
    g.renderer->SetInput(Brivet::Base::StaticString<64>("texB"), green.get());
    AddRowOfPlanes(chunk, plane);
    RenderChunk::Entry& skinned = chunk.entries[1];
    skinned.boneCount = 1;
    skinned.bones[0] = skinned.world;
    g.Bind(&chunk);

    const std::vector<uint32_t> planes = RowOfPlanesPixels(g.Draw());
    ASSERT_EQ(planes.size(), 3u);
    const uint32_t expected[] = {Rgba(0, 255, 0), Rgba(255, 255, 0), Rgba(0, 255, 0)};
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_TRUE(SameColour(planes[i], expected[i])) << i << ": " << ColourText(planes[i]);
}

TEST_F(Renderer3DTest, EachPassDrawsIntoItsOwnTargets)
{
    // Four normal passes: white into the output, red into "first", green into "second",
    // blue into a target that does not exist (drawn, it would land in "second").
    auto pass = [](const char* name, const char* targets) {
        return std::string("<pass name=\"") + name + "\" vs=\"vs_main\" ps=\"ps_" + name + "\"" +
               (*targets ? std::string(" renderTargets=\"") + targets + "\"" : std::string()) +
               "><depth read=\"false\" write=\"false\"/></pass>";
    };
    Archive().entries["r3d/targets.fx"] = MeshShader(
        "<renderTarget name=\"first\" format=\"R8G8B8A8_UNORM\"/><renderTarget name=\"second\" "
        "format=\"R8G8B8A8_UNORM\"/><passes>" +
            pass("white", "") + pass("red", "first") + pass("green", "second") + pass("blue", "nothing") +
            "</passes>",
        "",
        "float4 ps_white(VS_OUTPUT In) : SV_TARGET { return 1; }\n"
        "float4 ps_red(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 0, 1); }\n"
        "float4 ps_green(VS_OUTPUT In) : SV_TARGET { return float4(0, 1, 0, 1); }\n"
        "float4 ps_blue(VS_OUTPUT In) : SV_TARGET { return float4(0, 0, 1, 1); }");
    RendererGraph g = LoadRendererGraph({"r3d/targets.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Effect* targets = g.File(0);
    chunk.camera = CameraAt(0.0f, 0.0f, -5.0f);
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    g.Bind(&chunk);

    const size_t centre = Height / 2 * Width + Width / 2;
    const std::vector<uint32_t> pixels = g.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_TRUE(SameColour(pixels[centre], Rgba(255, 255, 255))) << ColourText(pixels[centre]);
    const struct
    {
        const char* name;
        uint32_t colour;
    } expected[] = {{"first", Rgba(255, 0, 0)}, {"second", Rgba(0, 255, 0)}};
    for (const auto& e : expected)
    {
        SCOPED_TRACE(e.name);
        Brivet::Graphics::RenderTarget** target = nullptr;
        ASSERT_TRUE(targets->internalTargets.Find(Brivet::Base::String(e.name), &target));
        const std::vector<uint32_t> texels = ReadTexture(*target);
        ASSERT_EQ(texels.size(), size_t(Width) * Height);
        EXPECT_TRUE(SameColour(texels[centre], e.colour)) << ColourText(texels[centre]);
    }
    EXPECT_EQ(LogLinesContaining("[Renderer3D] 'renderer': pass 3 has no render target to draw into").size(), 1u);
}

TEST_F(Renderer3DTest, NothingIsDrawnWithoutChunkShaderOrCamera)
{
    Archive().entries["r3d/default.fx"] = MeshShader(Passes({""}), ColourConstants, ColourPixels);
    RendererGraph g = LoadRendererGraph({"r3d/default.fx"});
    ASSERT_NE(g.renderer, nullptr);
    Renderer3D& r = *g.renderer;

    // Declarations, in order.
    std::vector<std::string> inputs;
    for (uint32_t i = 0; i < r.inputs.GetCount(); ++i)
        inputs.push_back(r.inputs.GetEntry(i).key.GetText());
    EXPECT_EQ(inputs, (std::vector<std::string>{"Default Shader", "Existing GBuffer", "Input 1"}));
    EXPECT_STREQ(r.parameters.GetEntry(0).key.GetText(), "Inherit camera from GBuffer");
    EXPECT_FALSE(r.inheritCamera->GetValue(0.0f));
    EXPECT_STREQ(r.outputTypeName.GetText(), "texture");

    // No chunk: no commands, and nothing drawn.
    auto* output = static_cast<Texture*>(r.GetOutput());
    output->AcquireTarget();
    const int64_t none = VerticesDrawn([&] { r.Render(Brivet::RenderContext::ForTime(0.0f)); });
    output->ReleaseTarget();
    EXPECT_EQ(r.commands.GetCount(), 0u);
    if (none >= 0)
    {
        EXPECT_EQ(none, 0);
    }

    // A chunk without camera before any camera: the matrices are all zero, and the plane
    // collapses to nothing visible.
    chunk.entries.Add(PlaneEntry(&plane, Identity()));
    g.Bind(&chunk);
    const std::vector<uint32_t> pixels = g.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_EQ(pixels[Height / 2 * Width + Width / 2] & 0xFFFFFF, 0u);
}
} // namespace
