// A pixel, vertex and geometry stage compiled from one HLSL source. The setters
// write a value by name into constant buffer 0 of every stage that declares it.
#pragma once

#include <cstdint>

#include "Base/String.h"
#include "Graphics/Shader.h"
#include "Rendering/D3DX10Math.h"

namespace Brivet::Graphics
{

class System;

class Program
{
public:
    enum Stage : uint32_t
    {
        StagePixel = 1,
        StageVertex = 2,
        StageGeometry = 4,
    };
    static constexpr uint32_t ZeroTerminated = 0xFFFFFFFF; // length of a zero-terminated source

    explicit Program(System* system);
    virtual ~Program();

    // Compiles the stages of stageMask with their entry points and the macros;
    // false at the first stage that fails (the stage logs why). The mask is
    // kept also on failure.
    bool Compile(const char* source, uint32_t length, uint32_t stageMask);
    // Binds the stages of the mask and unbinds the pipeline's other stages.
    void Bind();

    // True when a stage of the mask has a constant of that name in constant
    // buffer 0 or a bound resource (texture, buffer, sampler) of that name.
    bool HasVariable(const char* name) const;

    // Names that no stage declares change nothing. A value is cut to the
    // variable's size and never written past constant buffer 0.
    void SetBool(const char* name, bool value); // written as the 32-bit 0 or 1
    void SetFloat(const char* name, float value);
    void SetFloat2(const char* name, const float* value);
    void SetFloat3(const char* name, const float* value);
    void SetFloat4(const char* name, const float* value);
    void SetMatrix(const char* name, const D3DXMATRIX* value); // as stored, not transposed
    void SetMatrixArray(const char* name, const D3DXMATRIX* values, uint32_t count);

    // Entry points ("ps_main", "vs_main", "gs_main") and the zero-terminated
    // macro array (null; owned by the caller) may be set before Compile.
    void SetPixelEntry(const char* entry) { pixelEntry = Base::String(entry); }
    void SetVertexEntry(const char* entry) { vertexEntry = Base::String(entry); }
    void SetGeometryEntry(const char* entry) { geometryEntry = Base::String(entry); }
    void SetMacros(const _D3D_SHADER_MACRO* shaderMacros) { macros = shaderMacros; }

    uint32_t GetStageMask() const { return stageMask; }
    PixelShader* GetPixelShader() { return &pixelShader; }
    VertexShader* GetVertexShader() { return &vertexShader; }
    GeometryShader* GetGeometryShader() { return &geometryShader; }
    System* GetSystem() const { return system; }

private:
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void SetValue(const char* name, const void* value, uint32_t bytes);

    System* system;
    uint32_t stageMask;
    PixelShader pixelShader;
    VertexShader vertexShader;
    GeometryShader geometryShader;
    const _D3D_SHADER_MACRO* macros;
    Base::String pixelEntry;
    Base::String vertexEntry;
    Base::String geometryEntry;
};

} // namespace Brivet::Graphics
