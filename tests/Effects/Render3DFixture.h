// Pieces of the 3D device tests: effect files for chunk entries (a vertex stage that
// places the vertex by matWorld, matView and matProjection as engine matrices are
// uploaded), plane geometry with or without bounds, a material, chunk entries, and a
// graph whose Renderer3D draws into a square output node.
#pragma once

#include "EffectsFixture.h"

#include "Rendering/Material.h"
#include "repository/Effects/Renderer3D.h"
#include "repository/Effects/Shape3D.h"
#include "repository/Resources/RenderChunk.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Effect;
class GBuffer;
class Texture;

namespace Brivet::Assets::Effect
{
class IEffect;
}

namespace EffectsTest
{
// An effect file: the metadata block (passes, variations, inputs as given), one constant
// buffer holding matWorld, matView, matProjection and then constants (HLSL declarations),
// the vertex stage "vs_main" for the plane layout (POSITION in, SV_POSITION out, the
// matrices applied as mul(matrix, vector), since the engine uploads its row-vector
// matrices as stored), then pixelHlsl.
std::string MeshShader(const std::string& metadata, const std::string& constants, const std::string& pixelHlsl);

// One pass of each given type attribute ("" for normal), named "p0", "p1"..., entries
// "vs_main" and "ps_main".
std::string Passes(std::initializer_list<const char*> types);

// Shape3D's plane on the shared device; a bounded one offers its bounds for culling.
class TestPlane : public Shape3D::PlaneGeometry
{
public:
    explicit TestPlane(bool bounded);
    bool HasBounds() override { return bounded; }

    bool bounded;
};

class TestMaterial : public Brivet::Rendering::MaterialBase
{
public:
    explicit TestMaterial(bool transparent) : transparent(transparent) {}
    void Apply(Brivet::Graphics::Program* program) override { ++applied; }
    bool IsTransparent() const override { return transparent; }

    bool transparent;
    int applied = 0;
};

// An entry of the plane at world (previous world the same), bounds −1..1 in x and y.
RenderChunk::Entry PlaneEntry(Brivet::Rendering::IRenderable* geometry, const D3DXMATRIX& world,
                              Effect* effect = nullptr, Brivet::Rendering::MaterialBase* material = nullptr);
D3DXMATRIX Translation(float x, float y, float z);
D3DXMATRIX Identity();

// A camera block at (x, y, z) looking along +z, horizontal field of view in degrees.
RenderChunk::CameraBlock CameraAt(float x, float y, float z, float fieldOfView = 90.0f, float nearPlane = 0.1f,
                                  float farPlane = 100.0f);

// A graph of the shared demo: the archive's effect files (resource nodes 1, 2, ... in
// order; the first feeds "Default Shader"), a Renderer3D (node 10) feeding a square
// output node of the aspect ratio given (its size fitted into the 64 × 64 back buffer).
// Null (a test failure) when it does not load.
struct RendererGraph
{
    std::unique_ptr<Brivet::Compositing::Graph> graph;
    Renderer3D* renderer = nullptr;

    // The effect resource of file node index (0 = the default shader).
    Effect* File(uint32_t index) const;
    // Binds chunk to the renderer's "Input 1" as the graph would.
    void Bind(RenderChunk* chunk) const;
    // Renders the renderer alone into its output (which holds its targets meanwhile) at
    // time t after clearing it, and returns the output's pixels.
    std::vector<uint32_t> Draw(float t = 0.0f) const;
};
RendererGraph LoadRendererGraph(std::initializer_list<const char*> files, const char* aspectRatio = "1:1");

// The same graph with a renderer of another type (node 10) whose node holds the "resource"
// element given (empty: none). Null (a test failure) when it does not load.
std::unique_ptr<Brivet::Compositing::Graph> LoadRendererNodes(std::initializer_list<const char*> files,
                                                              const char* aspectRatio, const char* effectType,
                                                              const std::string& resource);
// The effect resource of the graph's file node index (0 = the default shader).
Effect* FileOf(Brivet::Compositing::Graph* graph, uint32_t index);

// A G-buffer of graph made by its factory from the text of a "resource" element; null
// (a test failure) when the description is refused.
struct DestroyGBuffer
{
    void operator()(GBuffer* gbuffer) const;
};
std::unique_ptr<GBuffer, DestroyGBuffer> MakeGBuffer(Brivet::Compositing::Graph* graph, const std::string& resource);

// A render-target texture of graph (8 × 8, R8G8B8A8), acquired and cleared to colour
// (0xAABBGGRR); released and destroyed by its factory at the end. Null (a test failure)
// when none can be made.
struct DestroyTexture
{
    void operator()(Texture* texture) const;
};
std::unique_ptr<Texture, DestroyTexture> SolidTexture(Brivet::Compositing::Graph* graph, uint32_t colour);

// The names of an effect's current inputs in declaration order.
std::vector<std::string> InputNames(const Brivet::Assets::Effect::IEffect& effect);

// The bytes of a constant of the vertex or pixel stage's constant buffer 0 (empty when the
// stage declares none of that name).
std::vector<uint8_t> VertexConstant(Brivet::Graphics::Program* program, const char* name);
std::vector<uint8_t> PixelConstant(Brivet::Graphics::Program* program, const char* name);
std::vector<uint8_t> Bytes(const void* data, size_t size);
} // namespace EffectsTest
