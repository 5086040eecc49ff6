// Geometry on a real device: buffers and views, indexed and instanced draws.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>
#include <d3d11.h>

#include "Graphics/Program.h"
#include "GraphicsFixture.h"
#include "LogCapture.h"
#include "Rendering/Instancer.h"
#include "Rendering/Material.h"
#include "Rendering/Quad.h"

using namespace Brivet::Graphics;
using namespace Brivet::Rendering;
using namespace GraphicsTest;

namespace
{

const char* const SolidSource =
    "cbuffer constants { float4 vColor; };\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
    "VS_OUTPUT vs_main(float3 Pos : POSITION) { VS_OUTPUT o; o.Pos = float4(Pos, 1); return o; }\n"
    "float4 ps_main(VS_OUTPUT i) : SV_TARGET { return vColor; }\n";

// Each instance: the quad shrunk to a quarter, moved by xy, coloured by zw.
const char* const InstancedSource =
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float4 Colour : COLOR0; };\n"
    "VS_OUTPUT vs_main(float3 Pos : POSITION, float2 Tex : TEXCOORD0, float4 Instance : TEXCOORD1)\n"
    "{ VS_OUTPUT o; o.Pos = float4(Pos.xy * 0.25 + Instance.xy, 0.5, 1); o.Colour = float4(Instance.z, Instance.w, 0, 1); return o; }\n"
    "float4 ps_main(VS_OUTPUT i) : SV_TARGET { return i.Colour; }\n";

// Two triangles over the right half of the screen, drawn through 16-bit indices.
class RightHalf : public GeometryBase
{
public:
    explicit RightHalf(System* system) : GeometryBase(system) {}

    uint32_t GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements) override
    {
        static const D3D11_INPUT_ELEMENT_DESC layout[] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        };
        *elements = layout;
        return 1;
    }
    const void* GetVertices() override { return vertices; }
    uint32_t GetVertexStride() override { return 12; }
    uint32_t GetVertexCount() override { return 4; }
    const void* GetIndices() override { return indices; }
    uint32_t GetTriangleCount() override { return 2; }
    bool Uses32BitIndices() override { return false; }
    D3D11_PRIMITIVE_TOPOLOGY GetTopology() override { return D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST; }

private:
    const float vertices[12] = {0, -1, 0.5f, 0, 1, 0.5f, 1, -1, 0.5f, 1, 1, 0.5f};
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
};

class ColourMaterial : public MaterialBase
{
public:
    void Apply(Program* program) override
    {
        const float colour[4] = {1.0f, 0.0f, 0.0f, 1.0f};
        program->SetFloat4("vColor", colour);
    }
};

class GeometryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        system = SharedSystem();
        ASSERT_NE(system, nullptr) << "no Direct3D 11 device";
        LogCapture::Get().Clear();
    }

    void BeginDraw(Program& program)
    {
        system->BeginFrame();
        system->BindBackBuffer();
        program.Bind();
    }

    uint32_t PixelAt(const std::vector<uint32_t>& pixels, uint32_t x, uint32_t y) { return pixels[y * Width + x]; }

    System* system = nullptr;
};

TEST_F(GeometryTest, QuadBuffersAndRawVertexView)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(SolidSource, Program::ZeroTerminated, 3));
    Quad quad(system);
    EXPECT_EQ(quad.GetInputSignatureShader(), nullptr);
    EXPECT_FALSE(quad.HasBounds());
    ASSERT_TRUE(quad.CreateInputLayout(program.GetVertexShader()));
    EXPECT_EQ(quad.GetInputSignatureShader(), program.GetVertexShader());
    ASSERT_TRUE(quad.CreateBuffers());
    EXPECT_NE(quad.GetVertexBuffer(), nullptr);
    EXPECT_EQ(quad.GetIndexBuffer(), nullptr);
    EXPECT_EQ(quad.GetIndexView(), nullptr);
    ASSERT_NE(quad.GetVertexView(), nullptr);
    EXPECT_TRUE(LogCapture::Get().Lines().empty());

    // The vertex view reads the 80 bytes as 20 raw 32-bit words.
    D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
    quad.GetVertexView()->GetDesc(&view);
    EXPECT_EQ(view.Format, DXGI_FORMAT_R32_TYPELESS);
    EXPECT_EQ(view.ViewDimension, D3D11_SRV_DIMENSION_BUFFEREX);
    EXPECT_EQ(view.BufferEx.FirstElement, 0u);
    EXPECT_EQ(view.BufferEx.NumElements, 20u);
    EXPECT_EQ(view.BufferEx.Flags, (UINT)D3D11_BUFFEREX_SRV_FLAG_RAW);

    // The vertex data as described: texture v is 0 at the bottom.
    const D3D11_INPUT_ELEMENT_DESC* elements = nullptr;
    ASSERT_EQ(quad.GetInputElements(&elements), 2u);
    EXPECT_STREQ(elements[0].SemanticName, "POSITION");
    EXPECT_EQ(elements[0].Format, DXGI_FORMAT_R32G32B32_FLOAT);
    EXPECT_STREQ(elements[1].SemanticName, "TEXCOORD");
    EXPECT_EQ(elements[1].Format, DXGI_FORMAT_R32G32_FLOAT);
    const Quad::Vertex* vertices = (const Quad::Vertex*)quad.GetVertices();
    EXPECT_EQ(quad.GetVertexStride(), 20u);
    EXPECT_EQ(vertices[1].y, 1.0f);
    EXPECT_EQ(vertices[1].v, 1.0f);
    EXPECT_EQ(vertices[2].x, 1.0f);
    EXPECT_EQ(vertices[2].v, 0.0f);

    // No shader, no layout.
    Quad bare(system);
    EXPECT_FALSE(bare.CreateInputLayout(nullptr));
    EXPECT_TRUE(bare.CreateBuffers()); // without a shader the layout is left for later
    EXPECT_EQ(bare.GetInputLayout(), nullptr);
}

TEST_F(GeometryTest, IndexedGeometryDrawsItsTriangles)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(SolidSource, Program::ZeroTerminated, 3));
    RightHalf geometry(system);
    ASSERT_TRUE(geometry.CreateInputLayout(program.GetVertexShader()));
    ASSERT_TRUE(geometry.CreateBuffers());
    ASSERT_NE(geometry.GetIndexBuffer(), nullptr);
    ASSERT_NE(geometry.GetIndexView(), nullptr);
    D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
    geometry.GetIndexView()->GetDesc(&view);
    EXPECT_EQ(view.Format, DXGI_FORMAT_R16_UINT);
    EXPECT_EQ(view.BufferEx.NumElements, 6u);
    D3D11_BUFFER_DESC indexDesc = {};
    geometry.GetIndexBuffer()->GetDesc(&indexDesc);
    EXPECT_EQ(indexDesc.ByteWidth, 12u);

    ColourMaterial material;
    EXPECT_FALSE(material.IsTransparent());
    material.Apply(&program);
    BeginDraw(program);
    geometry.Bind();
    geometry.Draw();
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    ASSERT_EQ(pixels.size(), (size_t)Width * Height);
    EXPECT_TRUE(SameColour(PixelAt(pixels, 4, 32), Rgba(0, 0, 0))) << ColourText(PixelAt(pixels, 4, 32));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 60, 32), Rgba(255, 0, 0))) << ColourText(PixelAt(pixels, 60, 32));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 36, 2), Rgba(255, 0, 0))) << ColourText(PixelAt(pixels, 36, 2));
}

TEST_F(GeometryTest, InstanceElementFollowsTheHighestTexcoord)
{
    const D3D11_INPUT_ELEMENT_DESC gapped[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 2, DXGI_FORMAT_R32G32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 20, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORDS", 7, DXGI_FORMAT_R32G32_FLOAT, 0, 28, D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    const D3D11_INPUT_ELEMENT_DESC none[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"texcoord", 4, DXGI_FORMAT_R32G32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    EXPECT_EQ(Instancer::InstanceSemanticIndex(gapped, 4), 3u);
    EXPECT_EQ(Instancer::InstanceSemanticIndex(none, 2), 1u);
    Quad quad(system);
    const D3D11_INPUT_ELEMENT_DESC* elements = nullptr;
    uint32_t count = quad.GetInputElements(&elements);
    EXPECT_EQ(Instancer::InstanceSemanticIndex(elements, count), 1u);
}

TEST_F(GeometryTest, InstancerDrawsOncePerInstance)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(InstancedSource, Program::ZeroTerminated, 3));
    Quad quad(system);
    ASSERT_TRUE(quad.CreateBuffers());

    Instancer instancer(system);
    EXPECT_FALSE(instancer.CreateInputLayout(program.GetVertexShader())); // no geometry yet
    EXPECT_FALSE(instancer.HasBounds());
    instancer.SetGeometry(&quad);
    ASSERT_TRUE(instancer.CreateInputLayout(program.GetVertexShader()));
    EXPECT_EQ(instancer.GetInputSignatureShader(), program.GetVertexShader());

    // Instance 0 top left in red, instance 1 bottom right in green.
    const float instances[8] = {-0.5f, 0.5f, 1.0f, 0.0f, 0.5f, -0.5f, 0.0f, 1.0f};
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = sizeof(instances);
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    D3D11_SUBRESOURCE_DATA data = {instances, 0, 0};
    ID3D11Buffer* buffer = nullptr;
    ASSERT_HRESULT_SUCCEEDED(system->GetDevice()->CreateBuffer(&desc, &data, &buffer));
    instancer.SetInstanceBuffer(buffer); // owned by the instancer from here

    // No instances: neither binds nor draws.
    BeginDraw(program);
    instancer.Bind();
    instancer.Draw();
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(PixelAt(pixels, 16, 16), Rgba(0, 0, 0))) << ColourText(PixelAt(pixels, 16, 16));

    instancer.SetInstanceCount(2);
    BeginDraw(program);
    instancer.Bind();
    instancer.Draw();
    pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(PixelAt(pixels, 16, 16), Rgba(255, 0, 0))) << ColourText(PixelAt(pixels, 16, 16));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 48, 48), Rgba(0, 255, 0))) << ColourText(PixelAt(pixels, 48, 48));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 48, 16), Rgba(0, 0, 0))) << ColourText(PixelAt(pixels, 48, 16));
    EXPECT_TRUE(SameColour(PixelAt(pixels, 32, 32), Rgba(0, 0, 0))) << ColourText(PixelAt(pixels, 32, 32));
}

} // namespace
