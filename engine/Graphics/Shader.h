// Compiled pipeline stages with their reflection: vertex, geometry, pixel and
// compute shaders. Resources and samplers are bound by their HLSL names;
// constant buffer 0 is kept as a CPU copy (ConstantBuffer).
#pragma once

#include <cstdint>

#include "Base/Dictionary.h"
#include "Base/String.h"
#include "Graphics/ConstantBuffer.h"

struct ID3D10Blob;
struct ID3D11ShaderReflection;
struct ID3D11ShaderResourceView;
struct ID3D11VertexShader;
struct ID3D11GeometryShader;
struct ID3D11PixelShader;
struct ID3D11ComputeShader;
struct _D3D_SHADER_MACRO; // D3D_SHADER_MACRO

namespace Brivet::Graphics
{

class System;
class Sampler;

class Shader
{
public:
    // A length whose low 32 bits are this means a zero-terminated source.
    static constexpr uint32_t ZeroTerminated = 0xFFFFFFFF;

    explicit Shader(System* system);
    virtual ~Shader();

    // Compiles, creates the native shader and reflects it; macros may be null.
    // Logs and returns false on failure.
    virtual bool Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros) = 0;
    virtual bool IsValid() const = 0; // the native shader exists
    // Constant buffer 0 to slot 0 of the stage, then the shader on its stage.
    virtual void Bind() = 0;
    // Uploads buffer when dirty and binds it to slot of the stage.
    virtual void SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer) = 0;
    // Binds view at the reflected bind point of name; an unknown name does nothing.
    virtual void SetShaderResource(const char* name, ID3D11ShaderResourceView* view) = 0;
    virtual void SetSampler(const char* name, Sampler* sampler);

    // Reads the reflection of the byte code and creates constant buffer 0.
    bool Reflect();
    // Writes id into "nObjectID" of constant buffer 0 when it has one.
    void SetObjectID(uint32_t id);

    // Bind point of the resource (texture, buffer, sampler, view) of that name.
    bool FindBindPoint(const char* name, uint32_t* bindPoint) const;

    System* GetSystem() const { return system; }
    ID3D11ShaderReflection* GetReflection() const { return reflection; } // null before Compile succeeded
    ID3D10Blob* GetByteCode() const { return byteCode; }
    ConstantBuffer* GetConstantBuffer() { return &constantBuffer; }
    const ConstantBuffer* GetConstantBuffer() const { return &constantBuffer; }
    const Base::Dictionary<Base::String, unsigned int>& GetConstantBufferIndices() const { return constantBufferIndices; }

protected:
    // Compiles source for target into the byte code (earlier state released);
    // stage names the stage in the failure line ("vertex", "pixel", ...).
    bool CompileByteCode(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros,
                         const char* target, const char* stage);
    // The steps after the native shader's creation (createResult, an HRESULT):
    // logs a failed creation or reflection of the stage.
    bool FinishCompile(long createResult, const char* stage);
    void ReleaseCompiled();

    System* system;
    ID3D11ShaderReflection* reflection;
    ID3D10Blob* byteCode;
    ConstantBuffer constantBuffer;
    Base::Dictionary<Base::String, unsigned int> constantBufferIndices; // every constant buffer's index by name

private:
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;
};

class VertexShader : public Shader
{
public:
    explicit VertexShader(System* system);
    ~VertexShader() override;

    bool Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros) override;
    bool IsValid() const override { return shader != nullptr; }
    void Bind() override;
    void SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer) override;
    void SetShaderResource(const char* name, ID3D11ShaderResourceView* view) override;
    void SetSampler(const char* name, Sampler* sampler) override;

    ID3D11VertexShader* GetShader() const { return shader; }

private:
    ID3D11VertexShader* shader;
};

class GeometryShader : public Shader
{
public:
    explicit GeometryShader(System* system);
    ~GeometryShader() override;

    bool Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros) override;
    bool IsValid() const override { return shader != nullptr; }
    void Bind() override;
    void SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer) override;
    void SetShaderResource(const char* name, ID3D11ShaderResourceView* view) override;
    void SetSampler(const char* name, Sampler* sampler) override;

    ID3D11GeometryShader* GetShader() const { return shader; }

private:
    ID3D11GeometryShader* shader;
};

class PixelShader : public Shader
{
public:
    explicit PixelShader(System* system);
    ~PixelShader() override;

    bool Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros) override;
    bool IsValid() const override { return shader != nullptr; }
    void Bind() override;
    void SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer) override;
    void SetShaderResource(const char* name, ID3D11ShaderResourceView* view) override;
    void SetSampler(const char* name, Sampler* sampler) override;

    ID3D11PixelShader* GetShader() const { return shader; }

private:
    ID3D11PixelShader* shader;
};

// Its Bind does nothing: Dispatch binds. Unordered-access views are bound by
// the caller before Dispatch.
class ComputeShader : public Shader
{
public:
    explicit ComputeShader(System* system);
    ~ComputeShader() override;

    bool Compile(const char* source, int64_t length, const char* entry, const _D3D_SHADER_MACRO* macros) override;
    bool IsValid() const override { return shader != nullptr; }
    void Bind() override {}
    void SetConstantBuffer(uint32_t slot, ConstantBuffer* buffer) override;
    void SetShaderResource(const char* name, ID3D11ShaderResourceView* view) override;
    void SetSampler(const char* name, Sampler* sampler) override;

    // Threads to cover in the next Dispatch.
    void SetThreadCount(uint32_t x, uint32_t y, uint32_t z);
    // Enough thread groups to cover the thread count, within the limits of
    // ComputeDispatchSize (warned once per stage when they cut); publishes the threads
    // actually run as "v3ThreadSizes". Nothing without a native shader.
    void Dispatch();

    const uint32_t* GetThreadCount() const { return threadCount; }
    const uint32_t* GetGroupSize() const { return groupSize; } // from reflection
    ID3D11ComputeShader* GetShader() const { return shader; }

private:
    ID3D11ComputeShader* shader;
    uint32_t threadCount[3];
    uint32_t groupSize[3];
    bool warnedCut;
};

} // namespace Brivet::Graphics
