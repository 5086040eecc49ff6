// The program's one way into D3DCompiler: every HLSL compile and every shader
// reflection goes through these calls (the shader stages are their callers).
#pragma once

#include <cstddef>

#include "Base/String.h"

#include <d3dcommon.h>
#include <d3d11shader.h>

namespace Brivet::Graphics::ShaderCompiler
{

// d3dcompiler_47's identifier of ID3D11ShaderReflection. MinGW's headers hold
// several versions of it and __uuidof does not link, so the program defines it.
extern const GUID ReflectionIID;

// D3DCompile of length bytes of source: no source name, no include handler,
// flags 0. macros may be null. On return byteCode holds the compiled code and
// errors the compiler's messages; either may be null (the caller releases both).
HRESULT Compile(const char* source, size_t length, const D3D_SHADER_MACRO* macros, const char* entry,
                const char* target, ID3DBlob** byteCode, ID3DBlob** errors);

// D3DReflect of compiled code into an ID3D11ShaderReflection (caller releases).
HRESULT Reflect(const void* byteCode, size_t size, ID3D11ShaderReflection** reflection);

// The compiler's message text, also when the compiler gave none or did not
// terminate it.
Base::String ErrorText(ID3DBlob* errors);

} // namespace Brivet::Graphics::ShaderCompiler
