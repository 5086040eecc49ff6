// Shader stages: compile through the shader compiler, create, reflect, bind by name.
#include "Graphics/Shader.h"

#include <cstring>

#include <d3d11.h>
#include <d3d11shader.h>

#include "Graphics/Sampler.h"
#include "Graphics/ShaderCompiler.h"
#include "Graphics/ShaderMath.h"
#include "Graphics/System.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace Brivet::Graphics
{

// ---------------------------------------------------------------------------
// Shader

Shader::Shader(System* system)
    : system(system), reflection(nullptr), byteCode(nullptr), constantBuffer(system)
{
}

Shader::~Shader()
{
    ReleaseCompiled();
}

void Shader::ReleaseCompiled()
{
    SafeRelease(byteCode);
    SafeRelease(reflection);
    constantBuffer.Release();
}

void Shader::SetSampler(const char*, Sampler*)
{
}

bool Shader::CompileByteCode(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros,
                             const char* target, const char* stage)
{
    ReleaseCompiled();

    size_t size = (uint32_t)length == ZeroTerminated ? (source ? strlen(source) : 0) : (size_t)length;
    ID3DBlob* errors = nullptr;
    HRESULT hr = ShaderCompiler::Compile(source, size, macros, entry, target, &byteCode, &errors);
    if (FAILED(hr) || !byteCode)
    {
        Log::Error("[graphics] Failed to compile %s shader: %s", stage, ShaderCompiler::ErrorText(errors).GetText());
        SafeRelease(errors);
        SafeRelease(byteCode);
        return false;
    }
    SafeRelease(errors); // warnings
    return true;
}

bool Shader::FinishCompile(long createResult, const char* stage)
{
    // Every stage logs its own failure, not the vertex stage alone: a silent one would
    // leave the error box without its cause.
    if (FAILED(createResult))
    {
        Log::Error("[graphics] Failed to create %s shader", stage);
        return false;
    }
    if (!Reflect())
    {
        Log::Error("[graphics] Failed to create constant buffer for %s shader", stage);
        return false;
    }
    return true;
}

bool Shader::Reflect()
{
    SafeRelease(reflection);
    constantBuffer.Release();
    if (!byteCode)
        return false;

    if (FAILED(ShaderCompiler::Reflect(byteCode->GetBufferPointer(), byteCode->GetBufferSize(), &reflection)) ||
        !reflection)
    {
        Log::Error("[graphics] D3DReflect failed");
        return false;
    }

    D3D11_SHADER_DESC desc = {};
    if (FAILED(reflection->GetDesc(&desc)))
    {
        Log::Error("[graphics] GetDesc failed");
        return false;
    }
    if (desc.ConstantBuffers == 0)
        return true;

    for (UINT i = 0; i < desc.ConstantBuffers; ++i)
    {
        D3D11_SHADER_BUFFER_DESC bufferDesc = {};
        ID3D11ShaderReflectionConstantBuffer* buffer = reflection->GetConstantBufferByIndex(i);
        if (buffer && SUCCEEDED(buffer->GetDesc(&bufferDesc)) && bufferDesc.Name)
            constantBufferIndices.Set(Base::String(bufferDesc.Name), i);
    }

    ID3D11ShaderReflectionConstantBuffer* buffer0 = reflection->GetConstantBufferByIndex(0);
    D3D11_SHADER_BUFFER_DESC buffer0Desc = {};
    if (!buffer0 || FAILED(buffer0->GetDesc(&buffer0Desc)))
    {
        Log::Error("[graphics] GetConstantBufferByIndex(0)");
        return false;
    }
    return constantBuffer.Create(buffer0);
}

void Shader::SetObjectID(uint32_t id)
{
    constantBuffer.SetVariable("nObjectID", &id, sizeof(id));
}

bool Shader::FindBindPoint(const char* name, uint32_t* bindPoint) const
{
    if (!reflection || !name)
        return false;
    D3D11_SHADER_INPUT_BIND_DESC desc = {};
    if (FAILED(reflection->GetResourceBindingDescByName(name, &desc)))
        return false;
    *bindPoint = desc.BindPoint;
    return true;
}

// ---------------------------------------------------------------------------
// The four stages differ only in target, creation call and the stage's calls.

VertexShader::VertexShader(System* system)
    : Shader(system), shader(nullptr)
{
}

VertexShader::~VertexShader()
{
    SafeRelease(shader);
}

bool VertexShader::Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros)
{
    SafeRelease(shader);
    if (!CompileByteCode(source, length, entry, macros, "vs_5_0", "vertex"))
        return false;
    HRESULT hr = system->GetDevice()->CreateVertexShader(byteCode->GetBufferPointer(), byteCode->GetBufferSize(),
                                                         nullptr, &shader);
    return FinishCompile(hr, "vertex");
}

void VertexShader::Bind()
{
    SetConstantBuffer(0, &constantBuffer);
    system->GetContext()->VSSetShader(shader, nullptr, 0);
}

void VertexShader::SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer)
{
    buffer->Upload();
    ID3D11Buffer* gpuBuffer = buffer->GetBuffer();
    system->GetContext()->VSSetConstantBuffers(slot, 1, &gpuBuffer);
}

void VertexShader::SetShaderResource(const char* name, ID3D11ShaderResourceView* view)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
        system->GetContext()->VSSetShaderResources(bindPoint, 1, &view);
}

void VertexShader::SetSampler(const char* name, Sampler* sampler)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
    {
        ID3D11SamplerState* state = sampler ? sampler->GetState() : nullptr;
        system->GetContext()->VSSetSamplers(bindPoint, 1, &state);
    }
}

GeometryShader::GeometryShader(System* system)
    : Shader(system), shader(nullptr)
{
}

GeometryShader::~GeometryShader()
{
    SafeRelease(shader);
}

bool GeometryShader::Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros)
{
    SafeRelease(shader);
    if (!CompileByteCode(source, length, entry, macros, "gs_4_0", "geometry"))
        return false;
    HRESULT hr = system->GetDevice()->CreateGeometryShader(byteCode->GetBufferPointer(), byteCode->GetBufferSize(),
                                                           nullptr, &shader);
    return FinishCompile(hr, "geometry");
}

void GeometryShader::Bind()
{
    SetConstantBuffer(0, &constantBuffer);
    system->GetContext()->GSSetShader(shader, nullptr, 0);
}

void GeometryShader::SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer)
{
    buffer->Upload();
    ID3D11Buffer* gpuBuffer = buffer->GetBuffer();
    system->GetContext()->GSSetConstantBuffers(slot, 1, &gpuBuffer);
}

void GeometryShader::SetShaderResource(const char* name, ID3D11ShaderResourceView* view)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
        system->GetContext()->GSSetShaderResources(bindPoint, 1, &view);
}

void GeometryShader::SetSampler(const char* name, Sampler* sampler)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
    {
        ID3D11SamplerState* state = sampler ? sampler->GetState() : nullptr;
        system->GetContext()->GSSetSamplers(bindPoint, 1, &state);
    }
}

PixelShader::PixelShader(System* system)
    : Shader(system), shader(nullptr)
{
}

PixelShader::~PixelShader()
{
    SafeRelease(shader);
}

bool PixelShader::Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros)
{
    SafeRelease(shader);
    if (!CompileByteCode(source, length, entry, macros, "ps_5_0", "pixel"))
        return false;
    HRESULT hr = system->GetDevice()->CreatePixelShader(byteCode->GetBufferPointer(), byteCode->GetBufferSize(),
                                                        nullptr, &shader);
    return FinishCompile(hr, "pixel");
}

void PixelShader::Bind()
{
    SetConstantBuffer(0, &constantBuffer);
    system->GetContext()->PSSetShader(shader, nullptr, 0);
}

void PixelShader::SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer)
{
    buffer->Upload();
    ID3D11Buffer* gpuBuffer = buffer->GetBuffer();
    system->GetContext()->PSSetConstantBuffers(slot, 1, &gpuBuffer);
}

void PixelShader::SetShaderResource(const char* name, ID3D11ShaderResourceView* view)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
        system->GetContext()->PSSetShaderResources(bindPoint, 1, &view);
}

void PixelShader::SetSampler(const char* name, Sampler* sampler)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
    {
        ID3D11SamplerState* state = sampler ? sampler->GetState() : nullptr;
        system->GetContext()->PSSetSamplers(bindPoint, 1, &state);
    }
}

ComputeShader::ComputeShader(System* system)
    : Shader(system), shader(nullptr), threadCount{0, 0, 0}, groupSize{0, 0, 0}, warnedCut(false)
{
}

ComputeShader::~ComputeShader()
{
    SafeRelease(shader);
}

bool ComputeShader::Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros)
{
    SafeRelease(shader);
    groupSize[0] = groupSize[1] = groupSize[2] = 0;
    if (!CompileByteCode(source, length, entry, macros, "cs_5_0", "compute"))
        return false;
    HRESULT hr = system->GetDevice()->CreateComputeShader(byteCode->GetBufferPointer(), byteCode->GetBufferSize(),
                                                          nullptr, &shader);
    if (!FinishCompile(hr, "compute"))
        return false;
    reflection->GetThreadGroupSize(&groupSize[0], &groupSize[1], &groupSize[2]);
    return true;
}

void ComputeShader::SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer)
{
    buffer->Upload();
    ID3D11Buffer* gpuBuffer = buffer->GetBuffer();
    system->GetContext()->CSSetConstantBuffers(slot, 1, &gpuBuffer);
}

void ComputeShader::SetShaderResource(const char* name, ID3D11ShaderResourceView* view)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
        system->GetContext()->CSSetShaderResources(bindPoint, 1, &view);
}

void ComputeShader::SetSampler(const char* name, Sampler* sampler)
{
    uint32_t bindPoint;
    if (FindBindPoint(name, &bindPoint))
    {
        ID3D11SamplerState* state = sampler ? sampler->GetState() : nullptr;
        system->GetContext()->CSSetSamplers(bindPoint, 1, &state);
    }
}

void ComputeShader::SetThreadCount(uint32_t x, uint32_t y, uint32_t z)
{
    threadCount[0] = x;
    threadCount[1] = y;
    threadCount[2] = z;
}

void ComputeShader::Dispatch()
{
    if (!shader)
        return;

    DispatchSize size = ComputeDispatchSize(threadCount, groupSize);
    if (size.cut && !warnedCut)
    {
        warnedCut = true;
        Log::Warning("[graphics] A dispatch of %u x %u x %u threads runs %u x %u x %u thread groups of %u x %u x %u "
                     "(at most %u on an axis and %u in all)",
                     threadCount[0], threadCount[1], threadCount[2], size.groups[0], size.groups[1], size.groups[2],
                     groupSize[0], groupSize[1], groupSize[2], MaxDispatchGroupsPerAxis, unsigned(MaxDispatchGroups));
    }
    const float threadsRun[3] = {(float)size.threads[0], (float)size.threads[1], (float)size.threads[2]};
    constantBuffer.SetVariable("v3ThreadSizes", threadsRun, sizeof(threadsRun));

    SetConstantBuffer(0, &constantBuffer);
    ID3D11DeviceContext* context = system->GetContext();
    context->CSSetShader(shader, nullptr, 0);
    context->Dispatch(size.groups[0], size.groups[1], size.groups[2]);
}

} // namespace Brivet::Graphics
