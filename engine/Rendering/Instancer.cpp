// Instanced drawing of a geometry with one float4 per instance.
#include "Rendering/Instancer.h"

#include <cstring>

#include "Graphics/Shader.h"
#include "Graphics/System.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace Brivet::Rendering
{

namespace
{


constexpr UINT InstanceStride = 16; // one float4

} // namespace

Instancer::Instancer(Graphics::System* system, GeometryBase* geometry)
    : inputSignatureShader(nullptr), system(system), geometry(geometry), inputLayout(nullptr),
      instanceBuffer(nullptr), instanceCount(0)
{
}

Instancer::~Instancer()
{
    SafeRelease(inputLayout);
    SafeRelease(instanceBuffer);
}

void Instancer::SetInstanceBuffer(ID3D11Buffer* buffer)
{
    if (instanceBuffer != buffer)
        SafeRelease(instanceBuffer);
    instanceBuffer = buffer;
}

uint32_t Instancer::InstanceSemanticIndex(const D3D11_INPUT_ELEMENT_DESC* elements, uint32_t count)
{
    bool found = false;
    uint32_t highest = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        if (elements[i].SemanticName && strcmp(elements[i].SemanticName, "TEXCOORD") == 0)
        {
            if (!found || elements[i].SemanticIndex > highest)
                highest = elements[i].SemanticIndex;
            found = true;
        }
    }
    return found ? highest + 1 : 1;
}

bool Instancer::CreateInputLayout(Graphics::VertexShader* shader)
{
    SafeRelease(inputLayout);
    inputSignatureShader = shader;
    if (!shader || !geometry || !shader->GetByteCode())
        return false;

    const D3D11_INPUT_ELEMENT_DESC* elements = nullptr;
    const uint32_t count = geometry->GetInputElements(&elements);
    D3D11_INPUT_ELEMENT_DESC* extended = new D3D11_INPUT_ELEMENT_DESC[count + 1];
    for (uint32_t i = 0; i < count; ++i)
        extended[i] = elements[i];
    D3D11_INPUT_ELEMENT_DESC& instance = extended[count];
    instance = {};
    instance.SemanticName = "TEXCOORD";
    instance.SemanticIndex = InstanceSemanticIndex(elements, count);
    instance.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    instance.InputSlot = 1;
    instance.AlignedByteOffset = 0;
    instance.InputSlotClass = D3D11_INPUT_PER_INSTANCE_DATA;
    instance.InstanceDataStepRate = 1;

    ID3D10Blob* code = shader->GetByteCode();
    HRESULT hr = system->GetDevice()->CreateInputLayout(extended, count + 1, code->GetBufferPointer(),
                                                         code->GetBufferSize(), &inputLayout);
    delete[] extended;
    if (FAILED(hr))
    {
        Log::Error("[graphics] Failed to create instanced input layout: %08X", (unsigned)hr);
        return false;
    }
    return true;
}

bool Instancer::CanDraw() const
{
    return instanceCount != 0 && inputLayout && instanceBuffer && geometry;
}

void Instancer::Bind()
{
    if (!CanDraw())
        return;
    ID3D11DeviceContext* context = system->GetContext();
    context->IASetInputLayout(inputLayout);
    ID3D11Buffer* buffers[2] = {geometry->GetVertexBuffer(), instanceBuffer};
    const UINT strides[2] = {geometry->GetVertexStride(), InstanceStride};
    const UINT offsets[2] = {0, 0};
    context->IASetVertexBuffers(0, 2, buffers, strides, offsets);
    context->IASetPrimitiveTopology(geometry->GetTopology());
    if (ID3D11Buffer* indexBuffer = geometry->GetIndexBuffer())
        context->IASetIndexBuffer(indexBuffer, geometry->Uses32BitIndices() ? DXGI_FORMAT_R32_UINT : DXGI_FORMAT_R16_UINT,
                                  0);
}

void Instancer::Draw()
{
    if (!CanDraw())
        return;
    ID3D11DeviceContext* context = system->GetContext();
    if (geometry->GetIndexBuffer())
        context->DrawIndexedInstanced(geometry->GetTriangleCount() * 3, instanceCount, 0, 0, 0);
    else
        context->DrawInstanced(geometry->GetVertexCount(), instanceCount, 0, 0);
}

} // namespace Brivet::Rendering
