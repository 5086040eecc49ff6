// Programs and shader stages on a real device: compile, bind, named setters,
// resources by name, draws read back from the back buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <d3d11.h>
#include <d3d11shader.h>

#include "Graphics/Program.h"
#include "Graphics/Sampler.h"
#include "Graphics/Shader.h"
#include "GraphicsFixture.h"
#include "LogCapture.h"
#include "windows/HlslCompiler.h"

using namespace Brivet::Graphics;
using namespace GraphicsTest;

namespace
{

// The vertex stage reads only vertexConstants, the pixel stage only
// pixelConstants, so each stage's constant buffer 0 is a different one.
const char* const ColourSource =
    "cbuffer vertexConstants { float4 vOffset; };\n"
    "cbuffer pixelConstants { float4 vColor; float fSmall; float fNext; float2 v2Pad; float4x4 matBones[2];"
    " float4 vAfter; bool bFlag; uint nObjectID; };\n"
    "Texture2D texDiffuse;\n"
    "SamplerState smpPoint;\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };\n"
    "VS_OUTPUT vs_main(float3 Pos : POSITION, float2 Tex : TEXCOORD0)\n"
    "{ VS_OUTPUT o; o.Pos = float4(Pos, 1) + vOffset; o.Tex = Tex; return o; }\n"
    "float4 ps_main(VS_OUTPUT i) : SV_TARGET\n"
    "{ float4 c = vColor; if (bFlag) c = texDiffuse.Sample(smpPoint, i.Tex); return c + matBones[1][3] * fNext + vAfter * fSmall; }\n";

const char* const PlainSource =
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
    "VS_OUTPUT vs_main(float3 Pos : POSITION) { VS_OUTPUT o; o.Pos = float4(Pos, 1); return o; }\n"
    "float4 ps_main(VS_OUTPUT i) : SV_TARGET { return float4(0, 1, 0, 1); }\n";

struct VariableInfo
{
    bool found = false;
    uint32_t offset = 0;
    uint32_t size = 0;
};

VariableInfo FindVariable(Shader* stage, const char* name)
{
    VariableInfo info;
    ID3D11ShaderReflectionConstantBuffer* buffer = stage->GetConstantBuffer()->GetReflection();
    if (!buffer)
        return info;
    D3D11_SHADER_VARIABLE_DESC desc = {};
    if (FAILED(buffer->GetVariableByName(name)->GetDesc(&desc)))
        return info;
    info.found = true;
    info.offset = desc.StartOffset;
    info.size = desc.Size;
    return info;
}

std::vector<uint8_t> CopyOf(const ConstantBuffer* buffer)
{
    return std::vector<uint8_t>(buffer->GetData(), buffer->GetData() + buffer->GetSize());
}

class ProgramTest : public DeviceTest
{
protected:
    void DrawQuad(Program& program) { GraphicsTest::DrawQuad(system, program); }
};

TEST_F(ProgramTest, NamedColourReachesEveryPixelOfTheFullScreenQuad)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(ColourSource, Program::ZeroTerminated, Program::StagePixel | Program::StageVertex));
    EXPECT_TRUE(program.GetPixelShader()->IsValid());
    EXPECT_TRUE(program.GetVertexShader()->IsValid());
    EXPECT_FALSE(program.GetGeometryShader()->IsValid());
    EXPECT_TRUE(LogCapture::Get().Lines().empty());

    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    program.SetFloat4("vColor", colour);
    DrawQuad(program);

    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    ASSERT_EQ(pixels.size(), (size_t)Width * Height);
    const uint32_t expected = Rgba(64, 128, 191);
    for (size_t i : {(size_t)0, (size_t)Width - 1, pixels.size() / 2, pixels.size() - Width, pixels.size() - 1})
        EXPECT_TRUE(SameColour(pixels[i], expected)) << i << ": " << ColourText(pixels[i]);

    // A second value between binds: one upload, the latest value drawn.
    const float first[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    const float second[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    program.SetFloat4("vColor", first);
    program.SetFloat4("vColor", second);
    EXPECT_TRUE(program.GetPixelShader()->GetConstantBuffer()->IsDirty());
    DrawQuad(program);
    EXPECT_FALSE(program.GetPixelShader()->GetConstantBuffer()->IsDirty());
    pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(pixels[pixels.size() / 2], Rgba(0, 0, 255))) << ColourText(pixels[pixels.size() / 2]);
}

TEST_F(ProgramTest, ConstantBufferStartsZeroed)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(ColourSource, Program::ZeroTerminated, 3));
    const ConstantBuffer* buffer = program.GetPixelShader()->GetConstantBuffer();
    ASSERT_GT(buffer->GetSize(), 0u);
    std::vector<uint8_t> bytes = CopyOf(buffer);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), (long)bytes.size());

    // Nothing set: vColor reads 0 on the GPU, so the quad is transparent black.
    DrawQuad(program);
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(pixels[pixels.size() / 2], Rgba(0, 0, 0, 0))) << ColourText(pixels[pixels.size() / 2]);
}

TEST_F(ProgramTest, SettersReachOnlyTheStagesThatDeclareTheName)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(ColourSource, Program::ZeroTerminated, 3));
    PixelShader* pixel = program.GetPixelShader();
    VertexShader* vertex = program.GetVertexShader();
    ASSERT_TRUE(FindVariable(vertex, "vOffset").found);
    ASSERT_FALSE(FindVariable(pixel, "vOffset").found);
    ASSERT_TRUE(FindVariable(pixel, "vColor").found);

    vertex->GetConstantBuffer()->Upload();
    pixel->GetConstantBuffer()->Upload();
    std::vector<uint8_t> pixelBefore = CopyOf(pixel->GetConstantBuffer());

    const float offset[4] = {0.5f, 0.0f, 0.0f, 0.0f};
    program.SetFloat4("vOffset", offset);
    EXPECT_TRUE(vertex->GetConstantBuffer()->IsDirty());
    EXPECT_FALSE(pixel->GetConstantBuffer()->IsDirty());
    EXPECT_EQ(CopyOf(pixel->GetConstantBuffer()), pixelBefore);
    float written[4];
    memcpy(written, vertex->GetConstantBuffer()->GetData() + FindVariable(vertex, "vOffset").offset, sizeof(written));
    EXPECT_EQ(written[0], 0.5f);

    // The offset moves the quad half a screen to the right: the left quarter stays clear.
    const float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    program.SetFloat4("vColor", colour);
    DrawQuad(program);
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    const size_t row = (Height / 2) * Width;
    EXPECT_TRUE(SameColour(pixels[row + 2], Rgba(0, 0, 0))) << ColourText(pixels[row + 2]);
    EXPECT_TRUE(SameColour(pixels[row + Width - 2], Rgba(255, 255, 255))) << ColourText(pixels[row + Width - 2]);
}

TEST_F(ProgramTest, UnknownNamesChangeNothing)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(ColourSource, Program::ZeroTerminated, 3));
    ConstantBuffer* pixelBuffer = program.GetPixelShader()->GetConstantBuffer();
    ConstantBuffer* vertexBuffer = program.GetVertexShader()->GetConstantBuffer();
    pixelBuffer->Upload();
    vertexBuffer->Upload();
    std::vector<uint8_t> pixelBefore = CopyOf(pixelBuffer);
    std::vector<uint8_t> vertexBefore = CopyOf(vertexBuffer);

    const float value[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    program.SetFloat("fMissing", 1.0f);
    program.SetFloat4("vcolor", value); // names are exact
    program.SetBool("bMissing", true);
    program.SetMatrix("matMissing", (const D3DXMATRIX*)value);
    program.SetMatrixArray("matMissing", (const D3DXMATRIX*)value, 1);
    program.GetPixelShader()->SetObjectID(7); // declared
    program.GetVertexShader()->SetObjectID(7); // not declared there

    EXPECT_FALSE(vertexBuffer->IsDirty());
    EXPECT_EQ(CopyOf(vertexBuffer), vertexBefore);
    VariableInfo id = FindVariable(program.GetPixelShader(), "nObjectID");
    ASSERT_TRUE(id.found);
    uint32_t written = 0;
    memcpy(&written, pixelBuffer->GetData() + id.offset, 4);
    EXPECT_EQ(written, 7u);
    memcpy(pixelBuffer->GetData() + id.offset, pixelBefore.data() + id.offset, 4);
    EXPECT_EQ(CopyOf(pixelBuffer), pixelBefore);
    EXPECT_TRUE(LogCapture::Get().Lines().empty());

    EXPECT_FALSE(program.HasVariable("fMissing"));
    EXPECT_FALSE(program.HasVariable("vcolor"));
    EXPECT_FALSE(program.HasVariable(""));
}

TEST_F(ProgramTest, HasVariableFindsConstantsAndResourcesOfTheMaskedStages)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(ColourSource, Program::ZeroTerminated, 3));
    EXPECT_TRUE(program.HasVariable("vColor"));     // pixel constant
    EXPECT_TRUE(program.HasVariable("vOffset"));    // vertex constant
    EXPECT_TRUE(program.HasVariable("texDiffuse")); // pixel texture
    EXPECT_TRUE(program.HasVariable("smpPoint"));   // pixel sampler

    // Only the vertex stage in the mask: the pixel stage's names are not seen.
    Program vertexOnly(system);
    ASSERT_TRUE(vertexOnly.Compile(ColourSource, Program::ZeroTerminated, Program::StageVertex));
    EXPECT_TRUE(vertexOnly.HasVariable("vOffset"));
    EXPECT_FALSE(vertexOnly.HasVariable("texDiffuse"));
    EXPECT_FALSE(vertexOnly.HasVariable("vColor"));
}

TEST_F(ProgramTest, SettersStopAtTheVariablesEnd)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(ColourSource, Program::ZeroTerminated, 3));
    PixelShader* pixel = program.GetPixelShader();
    ConstantBuffer* buffer = pixel->GetConstantBuffer();
    VariableInfo small = FindVariable(pixel, "fSmall");
    VariableInfo next = FindVariable(pixel, "fNext");
    VariableInfo pad = FindVariable(pixel, "v2Pad");
    VariableInfo bones = FindVariable(pixel, "matBones");
    VariableInfo after = FindVariable(pixel, "vAfter");
    VariableInfo flag = FindVariable(pixel, "bFlag");
    ASSERT_TRUE(small.found && next.found && pad.found && bones.found && after.found && flag.found);
    ASSERT_EQ(next.offset, small.offset + 4);
    ASSERT_EQ(bones.size, 128u);
    ASSERT_EQ(after.offset, bones.offset + 128);

    const float sentinel[4] = {-7.0f, -7.0f, -7.0f, -7.0f};
    program.SetFloat("fNext", -7.0f);
    program.SetFloat2("v2Pad", sentinel);
    program.SetFloat4("vAfter", sentinel);

    // A float4 into a float, a float4 into a float2, three matrices into an array of two.
    const float four[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    program.SetFloat4("fSmall", four);
    D3DXMATRIX matrices[3];
    for (int m = 0; m < 3; ++m)
        for (int i = 0; i < 16; ++i)
            ((float*)&matrices[m])[i] = (float)(m * 16 + i);
    program.SetMatrixArray("matBones", matrices, 3);

    const uint8_t* data = buffer->GetData();
    auto readFloat = [&](uint32_t offset) {
        float f;
        memcpy(&f, data + offset, 4);
        return f;
    };
    EXPECT_EQ(readFloat(small.offset), 1.0f);
    EXPECT_EQ(readFloat(next.offset), -7.0f);
    EXPECT_EQ(readFloat(pad.offset), -7.0f);
    EXPECT_EQ(memcmp(data + bones.offset, matrices, 128), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(readFloat(after.offset + 4 * i), -7.0f) << i;

    // SetBool writes the 32-bit word, not one byte.
    memset(buffer->GetData() + flag.offset, 0xAB, 4);
    program.SetBool("bFlag", true);
    uint32_t word;
    memcpy(&word, data + flag.offset, 4);
    EXPECT_EQ(word, 1u);
    program.SetBool("bFlag", false);
    memcpy(&word, data + flag.offset, 4);
    EXPECT_EQ(word, 0u);

    // A single matrix: 64 bytes as given.
    program.SetMatrix("matBones", &matrices[2]);
    EXPECT_EQ(memcmp(data + bones.offset, &matrices[2], 64), 0);
    EXPECT_EQ(memcmp(data + bones.offset + 64, &matrices[1], 64), 0);
}

TEST_F(ProgramTest, TexturesAndSamplersBindByName)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(ColourSource, Program::ZeroTerminated, 3));
    PixelShader* pixel = program.GetPixelShader();
    uint32_t textureSlot = 99, samplerSlot = 99;
    ASSERT_TRUE(pixel->FindBindPoint("texDiffuse", &textureSlot));
    ASSERT_TRUE(pixel->FindBindPoint("smpPoint", &samplerSlot));

    // A 1 x 1 texture of a known colour.
    const uint32_t texel = Rgba(10, 200, 30);
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = desc.Height = 1;
    desc.MipLevels = desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    D3D11_SUBRESOURCE_DATA data = {&texel, 4, 4};
    ID3D11Texture2D* texture = nullptr;
    ASSERT_HRESULT_SUCCEEDED(system->GetDevice()->CreateTexture2D(&desc, &data, &texture));
    ID3D11ShaderResourceView* view = nullptr;
    ASSERT_HRESULT_SUCCEEDED(system->GetDevice()->CreateShaderResourceView(texture, nullptr, &view));

    Sampler sampler(system);
    D3D11_SAMPLER_DESC samplerDesc = {};
    samplerDesc.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
    samplerDesc.AddressU = samplerDesc.AddressV = samplerDesc.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    samplerDesc.MaxLOD = D3D11_FLOAT32_MAX;
    ASSERT_TRUE(sampler.Create(samplerDesc));

    ID3D11DeviceContext* context = system->GetContext();
    pixel->SetShaderResource("texDiffuse", view);
    pixel->SetSampler("smpPoint", &sampler);
    // Unknown names change no binding.
    pixel->SetShaderResource("texMissing", nullptr);
    pixel->SetSampler("smpMissing", nullptr);
    ID3D11ShaderResourceView* bound = nullptr;
    context->PSGetShaderResources(textureSlot, 1, &bound);
    EXPECT_EQ(bound, view);
    if (bound)
        bound->Release();
    ID3D11SamplerState* boundSampler = nullptr;
    context->PSGetSamplers(samplerSlot, 1, &boundSampler);
    EXPECT_EQ(boundSampler, sampler.GetState());
    if (boundSampler)
        boundSampler->Release();

    program.SetBool("bFlag", true);
    DrawQuad(program);
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(pixels[pixels.size() / 2], texel)) << ColourText(pixels[pixels.size() / 2]);

    pixel->SetShaderResource("texDiffuse", nullptr);
    view->Release();
    texture->Release();
}

TEST_F(ProgramTest, BindUnbindsTheStagesTheMaskLeavesOut)
{
    Program full(system);
    ASSERT_TRUE(full.Compile(ColourSource, Program::ZeroTerminated, 3));
    Program vertexOnly(system);
    ASSERT_TRUE(vertexOnly.Compile(PlainSource, Program::ZeroTerminated, Program::StageVertex));
    Program pixelOnly(system);
    ASSERT_TRUE(pixelOnly.Compile(PlainSource, Program::ZeroTerminated, Program::StagePixel));

    ID3D11DeviceContext* context = system->GetContext();
    auto boundPixel = [&]() {
        ID3D11PixelShader* shader = nullptr;
        context->PSGetShader(&shader, nullptr, nullptr);
        if (shader)
            shader->Release();
        return shader;
    };
    auto boundVertex = [&]() {
        ID3D11VertexShader* shader = nullptr;
        context->VSGetShader(&shader, nullptr, nullptr);
        if (shader)
            shader->Release();
        return shader;
    };
    auto boundGeometry = [&]() {
        ID3D11GeometryShader* shader = nullptr;
        context->GSGetShader(&shader, nullptr, nullptr);
        if (shader)
            shader->Release();
        return shader;
    };

    full.Bind();
    EXPECT_EQ(boundPixel(), full.GetPixelShader()->GetShader());
    EXPECT_EQ(boundVertex(), full.GetVertexShader()->GetShader());
    EXPECT_EQ(boundGeometry(), nullptr);

    vertexOnly.Bind();
    EXPECT_EQ(boundPixel(), nullptr);
    EXPECT_EQ(boundVertex(), vertexOnly.GetVertexShader()->GetShader());

    full.Bind();
    pixelOnly.Bind();
    EXPECT_EQ(boundPixel(), pixelOnly.GetPixelShader()->GetShader());
    EXPECT_EQ(boundVertex(), nullptr);
}

TEST_F(ProgramTest, ShaderWithoutConstantsCompilesBindsAndIgnoresValues)
{
    Program program(system);
    ASSERT_TRUE(program.Compile(PlainSource, Program::ZeroTerminated, 3));
    EXPECT_EQ(program.GetPixelShader()->GetConstantBuffer()->GetSize(), 0u);
    EXPECT_EQ(program.GetVertexShader()->GetConstantBuffer()->GetSize(), 0u);
    program.SetFloat("fAnything", 1.0f);
    program.GetPixelShader()->SetObjectID(3);
    EXPECT_FALSE(program.HasVariable("fAnything"));
    DrawQuad(program);
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(pixels[pixels.size() / 2], Rgba(0, 255, 0))) << ColourText(pixels[pixels.size() / 2]);
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

TEST_F(ProgramTest, CompileErrorIsLoggedWithTheCompilersText)
{
    const char* broken = "float4 ps_main() : SV_TARGET { return float4(0, 0, 0, 1) + vUndeclared; }";
    Program program(system);
    EXPECT_FALSE(program.Compile(broken, (uint32_t)strlen(broken), Program::StagePixel));
    EXPECT_FALSE(program.GetPixelShader()->IsValid());
    std::vector<std::string> lines = LogLinesContaining("[graphics] Failed to compile pixel shader: ");
    ASSERT_EQ(lines.size(), 1u);
    std::string message = lines[0].substr(strlen("[graphics] Failed to compile pixel shader: "));
    EXPECT_NE(message.find("vUndeclared"), std::string::npos) << message;
    EXPECT_EQ(message.find("(the compiler"), std::string::npos) << message;
    EXPECT_EQ(LogCapture::Get().Lines().size(), 1u);

    // A missing entry point of the vertex stage.
    LogCapture::Get().Clear();
    Program noEntry(system);
    noEntry.SetVertexEntry("vs_missing");
    EXPECT_FALSE(noEntry.Compile(PlainSource, Program::ZeroTerminated, 3));
    EXPECT_TRUE(noEntry.GetPixelShader()->IsValid());
    EXPECT_FALSE(noEntry.GetVertexShader()->IsValid());
    EXPECT_EQ(LogLinesContaining("[graphics] Failed to compile vertex shader: ").size(), 1u);
}

TEST_F(ProgramTest, MissingGeometryStageFailsAfterPixelAndVertex)
{
    Program program(system);
    EXPECT_FALSE(program.Compile(PlainSource, Program::ZeroTerminated, 7));
    EXPECT_EQ(program.GetStageMask(), 7u);
    EXPECT_TRUE(program.GetPixelShader()->IsValid());
    EXPECT_TRUE(program.GetVertexShader()->IsValid());
    EXPECT_FALSE(program.GetGeometryShader()->IsValid());
    EXPECT_EQ(LogLinesContaining("[graphics] Failed to compile geometry shader: ").size(), 1u);
}

// The geometry stage halves the quad's width about the centre and paints it in its own
// constant vTint; the pixel stage passes on the colour it is given.
const char* const GeometrySource =
    "cbuffer geometryConstants { float4 vTint; float fWidth; };\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float4 Colour : COLOR0; };\n"
    "VS_OUTPUT vs_main(float3 Pos : POSITION) { VS_OUTPUT o; o.Pos = float4(Pos, 1); o.Colour = float4(1, 0, 0, 1); return o; }\n"
    "[maxvertexcount(3)]\n"
    "void gs_main(triangle VS_OUTPUT input[3], inout TriangleStream<VS_OUTPUT> stream)\n"
    "{\n"
    "    for (uint i = 0; i < 3; ++i)\n"
    "    {\n"
    "        VS_OUTPUT v = input[i];\n"
    "        v.Pos.x *= fWidth;\n"
    "        v.Colour = vTint;\n"
    "        stream.Append(v);\n"
    "    }\n"
    "    stream.RestartStrip();\n"
    "}\n"
    "float4 ps_main(VS_OUTPUT i) : SV_TARGET { return i.Colour; }\n";

TEST_F(ProgramTest, GeometryStageShapesAndColoursTheDraw)
{
    BRIVET_SKIP_WITHOUT_HLSL_2("geometry shaders");
    Program program(system);
    const uint32_t all = Program::StagePixel | Program::StageVertex | Program::StageGeometry;
    ASSERT_TRUE(program.Compile(GeometrySource, Program::ZeroTerminated, all));
    EXPECT_EQ(program.GetStageMask(), 7u);
    EXPECT_TRUE(program.GetGeometryShader()->IsValid());
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
    // Only the geometry stage declares them: the setters reach its constant buffer.
    EXPECT_TRUE(program.HasVariable("vTint"));
    EXPECT_FALSE(program.GetPixelShader()->GetConstantBuffer()->HasVariable("vTint"));
    const float tint[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    program.SetFloat4("vTint", tint);
    program.SetFloat("fWidth", 0.5f);

    DrawQuad(program);
    ID3D11GeometryShader* bound = nullptr;
    system->GetContext()->GSGetShader(&bound, nullptr, nullptr);
    EXPECT_EQ(bound, program.GetGeometryShader()->GetShader());
    if (bound)
        bound->Release();
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    ASSERT_EQ(pixels.size(), (size_t)Width * Height);
    for (uint32_t y : {1u, Height / 2, Height - 2})
    {
        const uint32_t* row = &pixels[(size_t)y * Width];
        for (uint32_t x : {Width / 4 + 1, Width / 2, 3 * Width / 4 - 2})
            EXPECT_TRUE(SameColour(row[x], Rgba(0, 255, 0))) << x << ", " << y << ": " << ColourText(row[x]);
        for (uint32_t x : {0u, Width / 4 - 2, 3 * Width / 4 + 1, Width - 1})
            EXPECT_TRUE(SameColour(row[x], Rgba(0, 0, 0))) << x << ", " << y << ": " << ColourText(row[x]);
    }

    // The same source without the geometry stage: the vertex colour over the whole quad.
    Program plain(system);
    ASSERT_TRUE(plain.Compile(GeometrySource, Program::ZeroTerminated, Program::StagePixel | Program::StageVertex));
    DrawQuad(plain);
    pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(pixels[Width / 2 * Width + 1], Rgba(255, 0, 0))) << ColourText(pixels[Width / 2 * Width + 1]);
}

TEST_F(ProgramTest, GeometryStageAloneAndItsCompileErrors)
{
    BRIVET_SKIP_WITHOUT_HLSL_2("geometry shaders");
    // Mask 4: the geometry stage alone is compiled and bound.
    Program alone(system);
    ASSERT_TRUE(alone.Compile(GeometrySource, Program::ZeroTerminated, Program::StageGeometry));
    EXPECT_EQ(alone.GetStageMask(), 4u);
    EXPECT_TRUE(alone.GetGeometryShader()->IsValid());
    EXPECT_FALSE(alone.GetPixelShader()->IsValid());
    EXPECT_FALSE(alone.GetVertexShader()->IsValid());
    alone.Bind();
    ID3D11DeviceContext* context = system->GetContext();
    ID3D11GeometryShader* geometry = nullptr;
    ID3D11PixelShader* pixel = nullptr;
    context->GSGetShader(&geometry, nullptr, nullptr);
    context->PSGetShader(&pixel, nullptr, nullptr);
    EXPECT_EQ(geometry, alone.GetGeometryShader()->GetShader());
    EXPECT_EQ(pixel, nullptr);
    if (geometry)
        geometry->Release();
    if (pixel)
        pixel->Release();

    // A geometry entry point without its vertex count: the geometry stage's own line with
    // the compiler's text, the other stages built.
    std::string broken = GeometrySource;
    broken.erase(broken.find("[maxvertexcount(3)]"), strlen("[maxvertexcount(3)]"));
    LogCapture::Get().Clear();
    Program program(system);
    EXPECT_FALSE(program.Compile(broken.c_str(), (uint32_t)broken.size(), 7));
    EXPECT_EQ(program.GetStageMask(), 7u);
    EXPECT_TRUE(program.GetPixelShader()->IsValid());
    EXPECT_TRUE(program.GetVertexShader()->IsValid());
    EXPECT_FALSE(program.GetGeometryShader()->IsValid());
    const char* const prefix = "[graphics] Failed to compile geometry shader: ";
    const std::vector<std::string> lines = LogLinesContaining(prefix);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("maxvertexcount"), std::string::npos) << lines[0];
    EXPECT_EQ(LogCapture::Get().Lines().size(), 1u);
}

TEST_F(ProgramTest, EntryPointsAndMacrosAreUsed)
{
    const char* source =
        "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
        "VS_OUTPUT vertexMain(float3 Pos : POSITION) { VS_OUTPUT o; o.Pos = float4(Pos, 1); return o; }\n"
        "float4 pixelMain(VS_OUTPUT i) : SV_TARGET { return float4(RED, 0, 1, 1); }\n";
    const D3D_SHADER_MACRO macros[] = {{"RED", "1"}, {nullptr, nullptr}};
    Program program(system);
    program.SetPixelEntry("pixelMain");
    program.SetVertexEntry("vertexMain");
    program.SetMacros(macros);
    ASSERT_TRUE(program.Compile(source, Program::ZeroTerminated, 3));
    DrawQuad(program);
    std::vector<uint32_t> pixels = ReadBackBuffer(system);
    EXPECT_TRUE(SameColour(pixels[pixels.size() / 2], Rgba(255, 0, 255))) << ColourText(pixels[pixels.size() / 2]);
}

TEST_F(ProgramTest, ComputeStageFailureIsReportedAndDispatchDoesNothing)
{
    const char* source =
        "RWBuffer<float> gOutput;\n"
        "[numthreads(8, 8, 1)]\n"
        "void cs_main(uint3 id : SV_DispatchThreadID) { gOutput[id.x] = undefinedValue; }\n";
    ComputeShader shader(system);
    shader.SetThreadCount(100, 50, 1);
    EXPECT_FALSE(shader.Compile(source, Shader::ZeroTerminated, "cs_main", nullptr));
    EXPECT_FALSE(shader.IsValid());
    // The compiler's message follows the stage's wording.
    const char* const prefix = "[graphics] Failed to compile compute shader: ";
    const std::vector<std::string> lines = LogLinesContaining(prefix);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_GT(lines[0].size(), lines[0].find(prefix) + strlen(prefix) + 4) << lines[0];
    shader.Dispatch(); // no native shader: nothing happens
}

TEST_F(ProgramTest, ComputeDispatchCoversTheThreadCountAndPublishesIt)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    const char* source =
        "cbuffer constants { float3 v3ThreadSizes; float fScale; };\n"
        "RWBuffer<float> gOutput;\n"
        "[numthreads(8, 8, 1)]\n"
        "void cs_main(uint3 id : SV_DispatchThreadID) { gOutput[id.x] = v3ThreadSizes.x * fScale; }\n";
    ComputeShader shader(system);
    shader.SetThreadCount(100, 50, 1);
    ASSERT_TRUE(shader.Compile(source, Shader::ZeroTerminated, "cs_main", nullptr));
    EXPECT_TRUE(shader.IsValid());
    EXPECT_EQ(shader.GetGroupSize()[0], 8u);
    EXPECT_EQ(shader.GetGroupSize()[1], 8u);
    EXPECT_EQ(shader.GetGroupSize()[2], 1u);
    shader.Dispatch(); // 13 × 7 × 1 groups
    VariableInfo sizes = FindVariable(&shader, "v3ThreadSizes");
    ASSERT_TRUE(sizes.found);
    float published[3];
    memcpy(published, shader.GetConstantBuffer()->GetData() + sizes.offset, sizeof(published));
    EXPECT_EQ(published[0], 104.0f);
    EXPECT_EQ(published[1], 56.0f);
    EXPECT_EQ(published[2], 1.0f);
}

} // namespace
