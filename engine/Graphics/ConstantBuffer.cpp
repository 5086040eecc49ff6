// CPU copy and dynamic GPU buffer of a stage's constant buffer 0.
#include "Graphics/ConstantBuffer.h"

#include <cstring>

#include <d3d11.h>
#include <d3d11shader.h>

#include "Graphics/ShaderMath.h"
#include "Graphics/System.h"
#include "Utility/Log.h"

using Brivet::Utility::Log;

namespace Brivet::Graphics
{

ConstantBuffer::ConstantBuffer(System* system)
    : system(system), buffer(nullptr), reflection(nullptr), data(nullptr), size(0), dirty(1)
{
}

ConstantBuffer::~ConstantBuffer()
{
    Release();
}

bool ConstantBuffer::Create(ID3D11ShaderReflectionConstantBuffer* constantBuffer)
{
    Release();
    D3D11_SHADER_BUFFER_DESC desc = {};
    if (!constantBuffer || FAILED(constantBuffer->GetDesc(&desc)))
        return false;
    reflection = constantBuffer;
    if (desc.Size == 0)
        return true;

    // Zeroed, so variables that no caller sets read 0 on the GPU.
    data = new uint8_t[desc.Size];
    memset(data, 0, desc.Size);
    size = desc.Size;

    D3D11_BUFFER_DESC bufferDesc = {};
    bufferDesc.ByteWidth = size;
    bufferDesc.Usage = D3D11_USAGE_DYNAMIC;
    bufferDesc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    bufferDesc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    D3D11_SUBRESOURCE_DATA initial = {};
    initial.pSysMem = data;
    HRESULT hr = system->GetDevice()->CreateBuffer(&bufferDesc, &initial, &buffer);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Failed to create constant buffer '%s'", desc.Name ? desc.Name : "");
        Release();
        return false;
    }
    return true;
}

void ConstantBuffer::Release()
{
    if (buffer)
    {
        buffer->Release();
        buffer = nullptr;
    }
    delete[] data;
    data = nullptr;
    reflection = nullptr;
    size = 0;
    dirty = 1;
}

void ConstantBuffer::Upload()
{
    if (!dirty)
        return;
    if (size != 0 && buffer)
    {
        ID3D11DeviceContext* context = system->GetContext();
        D3D11_MAPPED_SUBRESOURCE mapped = {};
        if (SUCCEEDED(context->Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped)))
        {
            memcpy(mapped.pData, data, size);
            context->Unmap(buffer, 0);
        }
    }
    dirty = 0;
}

bool ConstantBuffer::SetVariable(const char* name, const void* value, uint32_t bytes)
{
    if (size == 0 || !reflection || !name || !value)
        return false;
    ID3D11ShaderReflectionVariable* variable = reflection->GetVariableByName(name);
    D3D11_SHADER_VARIABLE_DESC desc = {};
    if (!variable || FAILED(variable->GetDesc(&desc)))
        return false;
    uint32_t count = ClampVariableWrite(desc.StartOffset, bytes, desc.Size, size);
    if (count)
        memcpy(data + desc.StartOffset, value, count);
    dirty = 1;
    return true;
}

bool ConstantBuffer::HasVariable(const char* name) const
{
    if (size == 0 || !reflection || !name)
        return false;
    ID3D11ShaderReflectionVariable* variable = reflection->GetVariableByName(name);
    D3D11_SHADER_VARIABLE_DESC desc = {};
    return variable && SUCCEEDED(variable->GetDesc(&desc));
}

} // namespace Brivet::Graphics
