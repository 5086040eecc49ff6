// HLSL as the demos' shaders write it, compiled and run through Program and
// ComputeShader on a real device and read back: a pixel shader with a user function
// and sin/cos, a compute pass writing a typed buffer and a 2D texture, and depth
// comparison sampling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <d3d11.h>

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/Sampler.h"
#include "Graphics/Shader.h"
#include "Graphics/Texture2D.h"
#include "Graphics/TextureFlags.h"
#include "GraphicsFixture.h"
#include "LogCapture.h"
#include "Rendering/Quad.h"
#include "windows/HlslCompiler.h"

using namespace Brivet::Graphics;
using namespace GraphicsTest;

namespace
{

constexpr uint32_t R8G8B8A8_UNORM = 28;

uint32_t Channel(double value)
{
    return (uint32_t)std::lround(std::fmin(std::fmax(value, 0.0), 1.0) * 255.0);
}

// The first pixel that differs from expected(x, y) as a message; empty when all match.
template <typename Expected>
std::string FirstMismatch(const std::vector<uint32_t>& pixels, uint32_t width, uint32_t height, Expected expected)
{
    if (pixels.size() != (size_t)width * height)
        return "read back " + std::to_string(pixels.size()) + " pixels";
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint32_t want = expected(x, y);
            const uint32_t got = pixels[(size_t)y * width + x];
            if (!SameColour(got, want))
                return "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + ColourText(got) + ", expected " +
                       ColourText(want);
        }
    return "";
}

// The compile failures logged since the test began.
std::string CompileLog()
{
    std::string text;
    for (const std::string& line : LogLinesContaining("Failed to compile"))
        text += line + "\n";
    return text;
}

// A typed buffer of count floats with an unordered-access view, and its read-back.
class FloatBuffer
{
public:
    FloatBuffer(System* system, uint32_t count)
        : system(system), count(count)
    {
        D3D11_BUFFER_DESC desc = {};
        desc.ByteWidth = count * sizeof(float);
        desc.Usage = D3D11_USAGE_DEFAULT;
        desc.BindFlags = D3D11_BIND_UNORDERED_ACCESS;
        if (FAILED(system->GetDevice()->CreateBuffer(&desc, nullptr, &buffer)))
            return;
        D3D11_UNORDERED_ACCESS_VIEW_DESC viewDesc = {};
        viewDesc.Format = DXGI_FORMAT_R32_FLOAT;
        viewDesc.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
        viewDesc.Buffer.NumElements = count;
        system->GetDevice()->CreateUnorderedAccessView(buffer, &viewDesc, &view);
    }

    ~FloatBuffer()
    {
        if (view)
            view->Release();
        if (buffer)
            buffer->Release();
    }

    std::vector<float> Read() const
    {
        std::vector<float> values;
        D3D11_BUFFER_DESC desc = {};
        desc.ByteWidth = count * sizeof(float);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        ID3D11Buffer* staging = nullptr;
        if (FAILED(system->GetDevice()->CreateBuffer(&desc, nullptr, &staging)))
            return values;
        ID3D11DeviceContext* context = system->GetContext();
        context->CopyResource(staging, buffer);
        D3D11_MAPPED_SUBRESOURCE mapped = {};
        if (SUCCEEDED(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped)))
        {
            values.resize(count);
            memcpy(values.data(), mapped.pData, count * sizeof(float));
            context->Unmap(staging, 0);
        }
        staging->Release();
        return values;
    }

    System* system;
    uint32_t count;
    ID3D11Buffer* buffer = nullptr;
    ID3D11UnorderedAccessView* view = nullptr;
};

class ShaderFeatureTest : public DeviceTest
{
protected:
    void SetUp() override
    {
        BRIVET_SKIP_WITHOUT_FULLER_HLSL();
        DeviceTest::SetUp();
    }

    // Binds view at the bind point the compute stage reflects for name.
    void BindUnorderedAccess(const ComputeShader& shader, const char* name, ID3D11UnorderedAccessView* view)
    {
        uint32_t slot = 0;
        ASSERT_TRUE(shader.FindBindPoint(name, &slot)) << name;
        system->GetContext()->CSSetUnorderedAccessViews(slot, 1, &view, nullptr);
    }
};

} // namespace

TEST_F(ShaderFeatureTest, PixelShaderCallsAUserFunctionWithSinAndCos)
{
    const char* source =
        "cbuffer constants { float fFrequency; float fSplit; };\n"
        "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };\n"
        "VS_OUTPUT vs_main(float3 Pos : POSITION, float2 Tex : TEXCOORD0)\n"
        "{ VS_OUTPUT o; o.Pos = float4(Pos, 1); o.Tex = Tex; return o; }\n"
        "void wave(float x, out float s, out float c) { s = 0.5 + 0.5 * sin(x); c = 0.5 + 0.5 * cos(x); }\n"
        "float4 ps_main(VS_OUTPUT i) : SV_TARGET\n"
        "{\n"
        "    float s, c;\n"
        "    wave(i.Pos.x * fFrequency, s, c);\n"
        "    return float4(s, c, i.Pos.y < fSplit ? 1.0 : 0.0, 1);\n"
        "}\n";
    Program program(system);
    ASSERT_TRUE(program.Compile(source, Program::ZeroTerminated, Program::StagePixel | Program::StageVertex))
        << CompileLog();
    program.SetFloat("fFrequency", 0.2f);
    program.SetFloat("fSplit", 20.0f);
    DrawQuad(system, program);

    const std::string mismatch = FirstMismatch(ReadBackBuffer(system), Width, Height, [](uint32_t x, uint32_t y) {
        const double phase = (x + 0.5) * 0.2;
        return Rgba(Channel(0.5 + 0.5 * std::sin(phase)), Channel(0.5 + 0.5 * std::cos(phase)), y < 20 ? 255 : 0);
    });
    EXPECT_EQ(mismatch, "");
}

TEST_F(ShaderFeatureTest, ComputePassWritesATypedBufferAndA2DTextureInEveryThread)
{
    const char* source =
        "cbuffer constants { float3 v3ThreadSizes; float fScale; };\n"
        "RWBuffer<float> gOutput;\n"
        "RWTexture2D<float4> gImage;\n"
        "[numthreads(4, 2, 1)]\n"
        "void cs_main(uint3 id : SV_DispatchThreadID)\n"
        "{\n"
        "    gOutput[id.y * 8 + id.x] = (id.y * 8 + id.x) * fScale;\n"
        "    gImage[id.xy] = float4(id.x / 7.0, id.y / 7.0, fScale / 4, 1);\n"
        "}\n";
    ComputeShader shader(system);
    ASSERT_TRUE(shader.Compile(source, Shader::ZeroTerminated, "cs_main", nullptr)) << CompileLog();

    // The thread-group size comes from the reflection, each axis apart.
    EXPECT_EQ(shader.GetGroupSize()[0], 4u);
    EXPECT_EQ(shader.GetGroupSize()[1], 2u);
    EXPECT_EQ(shader.GetGroupSize()[2], 1u);

    FloatBuffer buffer(system, 64);
    ASSERT_NE(buffer.view, nullptr);
    Texture2D image(system);
    ASSERT_TRUE(image.Create(8, 8, R8G8B8A8_UNORM, TextureFlags::UnorderedAccess, nullptr));
    BindUnorderedAccess(shader, "gOutput", buffer.view);
    BindUnorderedAccess(shader, "gImage", image.GetUnorderedAccessView());
    const float scale = 0.5f;
    ASSERT_TRUE(shader.GetConstantBuffer()->SetVariable("fScale", &scale, sizeof(scale)));
    shader.SetThreadCount(8, 8, 1);
    shader.Dispatch(); // 2 × 4 × 1 groups
    ID3D11UnorderedAccessView* none[2] = {};
    system->GetContext()->CSSetUnorderedAccessViews(0, 2, none, nullptr);

    const std::vector<float> values = buffer.Read();
    ASSERT_EQ(values.size(), 64u);
    for (uint32_t i = 0; i < 64; ++i)
        EXPECT_EQ(values[i], i * 0.5f) << i;
    const std::string mismatch = FirstMismatch(ReadPixels(system, image.GetTexture()), 8, 8, [](uint32_t x, uint32_t y) {
        return Rgba(Channel(x / 7.0), Channel(y / 7.0), Channel(0.125));
    });
    EXPECT_EQ(mismatch, "");
}

TEST_F(ShaderFeatureTest, ComparisonSamplingOfADepthTexture)
{
    // Depth rises from 0 at the left edge to 1 at the right: pixel column x holds (x + 0.5) / 64.
    const char* fillSource =
        "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
        "VS_OUTPUT vs_main(float3 Pos : POSITION, float2 Tex : TEXCOORD0)\n"
        "{ VS_OUTPUT o; o.Pos = float4(Pos.xy, Pos.x * 0.5 + 0.5, 1); return o; }\n"
        "float4 ps_main(VS_OUTPUT i) : SV_TARGET { return 0; }\n";
    // Red: SampleCmp, green: SampleCmpLevelZero, each 1 where the reference is at most the depth.
    const char* compareSource =
        "cbuffer constants { float fReference; float2 v2Resolution; };\n"
        "Texture2D texDepth;\n"
        "SamplerComparisonState smpCompare;\n"
        "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
        "VS_OUTPUT vs_main(float3 Pos : POSITION, float2 Tex : TEXCOORD0)\n"
        "{ VS_OUTPUT o; o.Pos = float4(Pos, 1); return o; }\n"
        "float4 ps_main(VS_OUTPUT i) : SV_TARGET\n"
        "{\n"
        "    float2 uv = i.Pos.xy / v2Resolution;\n"
        "    float lit = texDepth.SampleCmp(smpCompare, uv, fReference);\n"
        "    float litLevelZero = texDepth.SampleCmpLevelZero(smpCompare, uv, fReference);\n"
        "    return float4(lit, litLevelZero, 0, 1);\n"
        "}\n";

    DepthStencil depth(system);
    ASSERT_TRUE(depth.Create(Width, Height, 0, TextureFlags::DepthReadable));
    ASSERT_NE(depth.GetShaderResourceView(), nullptr);
    Program fill(system);
    ASSERT_TRUE(fill.Compile(fillSource, Program::ZeroTerminated, Program::StagePixel | Program::StageVertex))
        << CompileLog();
    Program compare(system);
    ASSERT_TRUE(compare.Compile(compareSource, Program::ZeroTerminated, Program::StagePixel | Program::StageVertex))
        << CompileLog();

    D3D11_SAMPLER_DESC samplerDesc = {};
    samplerDesc.Filter = D3D11_FILTER_COMPARISON_MIN_MAG_MIP_POINT;
    samplerDesc.AddressU = samplerDesc.AddressV = samplerDesc.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    samplerDesc.ComparisonFunc = D3D11_COMPARISON_LESS_EQUAL;
    samplerDesc.MaxLOD = D3D11_FLOAT32_MAX;
    Sampler sampler(system);
    ASSERT_TRUE(sampler.Create(samplerDesc));

    Brivet::Rendering::Quad quad(system);
    ASSERT_TRUE(quad.CreateInputLayout(fill.GetVertexShader()));
    ASSERT_TRUE(quad.CreateBuffers());
    ID3D11DeviceContext* context = system->GetContext();
    ID3D11RenderTargetView* backBuffer = system->GetBackBufferView();
    system->BeginFrame();
    system->BindBackBuffer();
    context->ClearDepthStencilView(depth.GetDepthStencilView(), D3D11_CLEAR_DEPTH, 1.0f, 0);
    context->OMSetRenderTargets(1, &backBuffer, depth.GetDepthStencilView());
    fill.Bind();
    quad.Bind();
    quad.Draw();
    context->OMSetRenderTargets(1, &backBuffer, nullptr);

    // The first column at or beyond each reference.
    const struct
    {
        float reference;
        uint32_t firstLit;
    } cases[] = {{0.25f, 16}, {0.5f, 32}, {0.75f, 48}};
    const float resolution[2] = {(float)Width, (float)Height};
    for (const auto& c : cases)
    {
        compare.SetFloat("fReference", c.reference);
        compare.SetFloat2("v2Resolution", resolution);
        compare.Bind();
        compare.GetPixelShader()->SetShaderResource("texDepth", depth.GetShaderResourceView());
        compare.GetPixelShader()->SetSampler("smpCompare", &sampler);
        quad.Bind();
        quad.Draw();
        const std::string mismatch =
            FirstMismatch(ReadBackBuffer(system), Width, Height, [&](uint32_t x, uint32_t) {
                return x >= c.firstLit ? Rgba(255, 255, 0) : Rgba(0, 0, 0);
            });
        EXPECT_EQ(mismatch, "") << "reference " << c.reference;
    }
}
