// D3DCompile and D3DReflect behind one door.
#include "Graphics/ShaderCompiler.h"

#include <cstring>

#include <d3dcompiler.h>

namespace Brivet::Graphics::ShaderCompiler
{

const GUID ReflectionIID = {0x8d536ca1, 0x0cca, 0x4956, {0xa8, 0x37, 0x78, 0x69, 0x63, 0x75, 0x55, 0x84}};

HRESULT Compile(const char* source, size_t length, const D3D_SHADER_MACRO* macros, const char* entry,
                const char* target, ID3DBlob** byteCode, ID3DBlob** errors)
{
    *byteCode = nullptr;
    *errors = nullptr;
    return D3DCompile(source, length, nullptr, macros, nullptr, entry, target, 0, 0, byteCode, errors);
}

HRESULT Reflect(const void* byteCode, size_t size, ID3D11ShaderReflection** reflection)
{
    *reflection = nullptr;
    return D3DReflect(byteCode, size, ReflectionIID, (void**)reflection);
}

Base::String ErrorText(ID3DBlob* errors)
{
    const char* text = errors ? (const char*)errors->GetBufferPointer() : nullptr;
    size_t size = text ? errors->GetBufferSize() : 0;
    // Not every compiler counts or writes the terminator.
    if (const void* end = size ? memchr(text, 0, size) : nullptr)
        size = (const char*)end - text;
    if (size == 0)
        return Base::String("(the compiler gave no message)");
    return Base::String(text, (uint32_t)size);
}

} // namespace Brivet::Graphics::ShaderCompiler
