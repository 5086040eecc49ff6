// The shader-compiler interface: compile, reflect, and the reflection the
// stages and the shader reflection host read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <d3d11shader.h>
#include <d3dcompiler.h>

#include "Graphics/ShaderCompiler.h"
#include "windows/HlslCompiler.h"

namespace ShaderCompiler = Brivet::Graphics::ShaderCompiler;

namespace
{

const char* const Source =
    "cbuffer constants { float4 vColor; float fTime; float2 v2Scale; float3 v3Light; float4x4 matWorld; bool bOn; };\n"
    "Texture2D texFirst;\n"
    "Texture2D texSecond;\n"
    "SamplerState smpLinear;\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };\n"
    "VS_OUTPUT vs_main(float3 Pos : POSITION, float2 Tex : TEXCOORD0)\n"
    "{ VS_OUTPUT o; o.Pos = mul(float4(Pos, 1), matWorld); o.Tex = Tex * v2Scale; return o; }\n"
    "float4 ps_main(VS_OUTPUT i) : SV_TARGET\n"
    "{ float4 c = texFirst.Sample(smpLinear, i.Tex) + texSecond.Sample(smpLinear, i.Tex);\n"
    "  if (bOn) c = c * fTime; return c * vColor + float4(v3Light, 0); }\n";

struct Blob
{
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    ~Blob()
    {
        if (code)
            code->Release();
        if (errors)
            errors->Release();
    }
};

struct Reflection
{
    ID3D11ShaderReflection* object = nullptr;
    ~Reflection()
    {
        if (object)
            object->Release();
    }
};

TEST(ShaderCompiler, ReflectsConstantBufferZeroOfTheVertexStage)
{
    Blob blob;
    ASSERT_EQ(ShaderCompiler::Compile(Source, strlen(Source), nullptr, "vs_main", "vs_5_0", &blob.code, &blob.errors), S_OK)
        << ShaderCompiler::ErrorText(blob.errors).GetText();
    ASSERT_NE(blob.code, nullptr);
    ASSERT_GT(blob.code->GetBufferSize(), 0u);

    Reflection reflection;
    ASSERT_EQ(ShaderCompiler::Reflect(blob.code->GetBufferPointer(), blob.code->GetBufferSize(), &reflection.object), S_OK);
    ASSERT_NE(reflection.object, nullptr);
    D3D11_SHADER_DESC desc = {};
    ASSERT_EQ(reflection.object->GetDesc(&desc), S_OK);
    ASSERT_GE(desc.ConstantBuffers, 1u);

    ID3D11ShaderReflectionConstantBuffer* buffer = reflection.object->GetConstantBufferByIndex(0);
    D3D11_SHADER_BUFFER_DESC bufferDesc = {};
    ASSERT_EQ(buffer->GetDesc(&bufferDesc), S_OK);
    EXPECT_STREQ(bufferDesc.Name, "constants");
    EXPECT_EQ(bufferDesc.Variables, 6u);
    EXPECT_EQ(bufferDesc.Size, 128u);

    // Packing follows the compiler's default rules (16-byte registers, column-major matrices).
    struct Expected
    {
        const char* name;
        uint32_t offset;
        D3D_SHADER_VARIABLE_TYPE type;
        D3D_SHADER_VARIABLE_CLASS cls;
        uint32_t rows, columns;
    };
    const Expected expected[] = {
        {"vColor", 0, D3D_SVT_FLOAT, D3D_SVC_VECTOR, 1, 4},
        {"fTime", 16, D3D_SVT_FLOAT, D3D_SVC_SCALAR, 1, 1},
        {"v2Scale", 20, D3D_SVT_FLOAT, D3D_SVC_VECTOR, 1, 2},
        {"v3Light", 32, D3D_SVT_FLOAT, D3D_SVC_VECTOR, 1, 3},
        {"matWorld", 48, D3D_SVT_FLOAT, D3D_SVC_MATRIX_COLUMNS, 4, 4},
        {"bOn", 112, D3D_SVT_BOOL, D3D_SVC_SCALAR, 1, 1},
    };
    for (uint32_t i = 0; i < 6; ++i)
    {
        const Expected& e = expected[i];
        ID3D11ShaderReflectionVariable* byIndex = buffer->GetVariableByIndex(i);
        D3D11_SHADER_VARIABLE_DESC variable = {};
        ASSERT_EQ(byIndex->GetDesc(&variable), S_OK) << i;
        EXPECT_STREQ(variable.Name, e.name);

        ID3D11ShaderReflectionVariable* byName = buffer->GetVariableByName(e.name);
        variable = {};
        ASSERT_EQ(byName->GetDesc(&variable), S_OK) << e.name;
        EXPECT_EQ(variable.StartOffset, e.offset) << e.name;
        D3D11_SHADER_TYPE_DESC type = {};
        ASSERT_EQ(byName->GetType()->GetDesc(&type), S_OK) << e.name;
        EXPECT_EQ(type.Type, e.type) << e.name;
        EXPECT_EQ(type.Class, e.cls) << e.name;
        EXPECT_EQ(type.Rows, e.rows) << e.name;
        EXPECT_EQ(type.Columns, e.columns) << e.name;
    }

    D3D11_SHADER_VARIABLE_DESC missing = {};
    EXPECT_TRUE(FAILED(buffer->GetVariableByName("vMissing")->GetDesc(&missing)));
}

TEST(ShaderCompiler, ReflectsTheBoundResourcesOfThePixelStage)
{
    Blob blob;
    ASSERT_EQ(ShaderCompiler::Compile(Source, strlen(Source), nullptr, "ps_main", "ps_5_0", &blob.code, &blob.errors), S_OK)
        << ShaderCompiler::ErrorText(blob.errors).GetText();
    Reflection reflection;
    ASSERT_EQ(ShaderCompiler::Reflect(blob.code->GetBufferPointer(), blob.code->GetBufferSize(), &reflection.object), S_OK);
    D3D11_SHADER_DESC desc = {};
    ASSERT_EQ(reflection.object->GetDesc(&desc), S_OK);

    struct Expected
    {
        const char* name;
        D3D_SHADER_INPUT_TYPE type;
        uint32_t bindPoint;
        bool seen;
    };
    Expected expected[] = {
        {"texFirst", D3D_SIT_TEXTURE, 0, false},
        {"texSecond", D3D_SIT_TEXTURE, 1, false},
        {"smpLinear", D3D_SIT_SAMPLER, 0, false},
        {"constants", D3D_SIT_CBUFFER, 0, false},
    };
    EXPECT_EQ(desc.BoundResources, 4u);
    for (uint32_t i = 0; i < desc.BoundResources; ++i)
    {
        D3D11_SHADER_INPUT_BIND_DESC bind = {};
        ASSERT_EQ(reflection.object->GetResourceBindingDesc(i, &bind), S_OK);
        for (Expected& e : expected)
        {
            if (strcmp(bind.Name, e.name) != 0)
                continue;
            e.seen = true;
            EXPECT_EQ(bind.Type, e.type) << e.name;
            EXPECT_EQ(bind.BindPoint, e.bindPoint) << e.name;
            if (e.type == D3D_SIT_TEXTURE)
            {
                EXPECT_EQ(bind.Dimension, D3D_SRV_DIMENSION_TEXTURE2D) << e.name;
            }
        }
    }
    for (const Expected& e : expected)
    {
        EXPECT_TRUE(e.seen) << e.name;
        D3D11_SHADER_INPUT_BIND_DESC bind = {};
        ASSERT_EQ(reflection.object->GetResourceBindingDescByName(e.name, &bind), S_OK) << e.name;
        EXPECT_EQ(bind.BindPoint, e.bindPoint) << e.name;
    }
    D3D11_SHADER_INPUT_BIND_DESC bind = {};
    EXPECT_TRUE(FAILED(reflection.object->GetResourceBindingDescByName("texMissing", &bind)));
}

TEST(ShaderCompiler, ReflectsTheKindOfEachReadWriteResource)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    const char* source =
        "RWBuffer<float> rwTyped;\n"
        "RWByteAddressBuffer rwRaw;\n"
        "ByteAddressBuffer raw;\n"
        "RWTexture2D<float4> rwImage;\n"
        "RWStructuredBuffer<float4> rwStructured;\n"
        "[numthreads(4, 2, 1)]\n"
        "void cs_main(uint3 id : SV_DispatchThreadID)\n"
        "{\n"
        "    rwTyped[id.x] = asfloat(raw.Load(id.x * 4));\n"
        "    rwRaw.Store(id.x * 4, raw.Load(id.x * 4 + 64));\n"
        "    rwImage[id.xy] = rwStructured[id.x];\n"
        "}\n";
    Blob blob;
    ASSERT_EQ(ShaderCompiler::Compile(source, strlen(source), nullptr, "cs_main", "cs_5_0", &blob.code, &blob.errors), S_OK)
        << ShaderCompiler::ErrorText(blob.errors).GetText();
    Reflection reflection;
    ASSERT_EQ(ShaderCompiler::Reflect(blob.code->GetBufferPointer(), blob.code->GetBufferSize(), &reflection.object), S_OK);

    const struct
    {
        const char* name;
        D3D_SHADER_INPUT_TYPE type;
    } expected[] = {
        {"rwTyped", D3D_SIT_UAV_RWTYPED},
        {"rwRaw", D3D_SIT_UAV_RWBYTEADDRESS},
        {"raw", D3D_SIT_BYTEADDRESS},
        {"rwImage", D3D_SIT_UAV_RWTYPED},
        {"rwStructured", D3D_SIT_UAV_RWSTRUCTURED},
    };
    for (const auto& e : expected)
    {
        D3D11_SHADER_INPUT_BIND_DESC bind = {};
        ASSERT_EQ(reflection.object->GetResourceBindingDescByName(e.name, &bind), S_OK) << e.name;
        EXPECT_EQ(bind.Type, e.type) << e.name;
    }

    UINT x = 0, y = 0, z = 0;
    EXPECT_EQ(reflection.object->GetThreadGroupSize(&x, &y, &z), 8u);
    EXPECT_EQ(x, 4u);
    EXPECT_EQ(y, 2u);
    EXPECT_EQ(z, 1u);
}

TEST(ShaderCompiler, ReflectsStructuredBuffersWithTheirStride)
{
    BRIVET_SKIP_WITHOUT_HLSL_2("StructuredBuffer and stores to RWStructuredBuffer");
    const char* source =
        "struct Particle { float4 position; float life; };\n"
        "StructuredBuffer<float2> sbSource;\n"
        "RWStructuredBuffer<Particle> rwParticles;\n"
        "[numthreads(16, 1, 1)]\n"
        "void cs_main(uint3 id : SV_DispatchThreadID)\n"
        "{\n"
        "    Particle p;\n"
        "    p.position = float4(sbSource[id.x], 0, 1);\n"
        "    p.life = (float)countbits(id.x);\n"
        "    rwParticles[id.x] = p;\n"
        "}\n";
    Blob blob;
    ASSERT_EQ(ShaderCompiler::Compile(source, strlen(source), nullptr, "cs_main", "cs_5_0", &blob.code, &blob.errors), S_OK)
        << ShaderCompiler::ErrorText(blob.errors).GetText();
    Reflection reflection;
    ASSERT_EQ(ShaderCompiler::Reflect(blob.code->GetBufferPointer(), blob.code->GetBufferSize(), &reflection.object), S_OK);
    const struct
    {
        const char* name;
        D3D_SHADER_INPUT_TYPE type;
        UINT stride; // NumSamples of a structured binding
    } expected[] = {
        {"sbSource", D3D_SIT_STRUCTURED, 8},
        {"rwParticles", D3D_SIT_UAV_RWSTRUCTURED, 20},
    };
    for (const auto& e : expected)
    {
        D3D11_SHADER_INPUT_BIND_DESC bind = {};
        ASSERT_EQ(reflection.object->GetResourceBindingDescByName(e.name, &bind), S_OK) << e.name;
        EXPECT_EQ(bind.Type, e.type) << e.name;
        EXPECT_EQ(bind.NumSamples, e.stride) << e.name;
        EXPECT_EQ(bind.BindPoint, 0u) << e.name;
    }
    UINT x = 0, y = 0, z = 0;
    EXPECT_EQ(reflection.object->GetThreadGroupSize(&x, &y, &z), 16u);
}

TEST(ShaderCompiler, FailuresComeWithReadableText)
{
    Blob blob;
    const char* broken = "float4 ps_main() : SV_TARGET { return undefinedThing; }";
    HRESULT hr = ShaderCompiler::Compile(broken, strlen(broken), nullptr, "ps_main", "ps_5_0", &blob.code, &blob.errors);
    EXPECT_TRUE(FAILED(hr));
    ASSERT_NE(blob.errors, nullptr);
    std::string text = ShaderCompiler::ErrorText(blob.errors).GetText();
    EXPECT_NE(text.find("undefinedThing"), std::string::npos) << text;
    EXPECT_EQ(text.find("(the compiler"), std::string::npos) << text;
    EXPECT_EQ(text.find('\0'), std::string::npos);

    // No message at all still gives a line to log.
    EXPECT_STREQ(ShaderCompiler::ErrorText(nullptr).GetText(), "(the compiler gave no message)");

    Reflection reflection;
    const uint32_t garbage[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_TRUE(FAILED(ShaderCompiler::Reflect(garbage, sizeof(garbage), &reflection.object)));
}

} // namespace
