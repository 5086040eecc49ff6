// GPU buffers, views and input layout of a described geometry.
#include "Rendering/Geometry.h"

#include "Graphics/Shader.h"
#include "Graphics/System.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace Brivet::Rendering
{

GeometryBase::GeometryBase(Graphics::System* system)
    : inputSignatureShader(nullptr), system(system), vertexBuffer(nullptr), indexBuffer(nullptr), vertexView(nullptr),
      indexView(nullptr), inputLayout(nullptr)
{
}

GeometryBase::~GeometryBase()
{
    SafeRelease(indexBuffer);
    SafeRelease(vertexBuffer);
    SafeRelease(indexView);
    SafeRelease(vertexView);
    SafeRelease(inputLayout);
}

void GeometryBase::ReleaseBuffers()
{
    SafeRelease(indexBuffer);
    SafeRelease(vertexBuffer);
    SafeRelease(indexView);
    SafeRelease(vertexView);
}

bool GeometryBase::CreateBuffers()
{
    ReleaseBuffers();
    ID3D11Device* device = system->GetDevice();

    // Vertex buffer; raw views allowed so shaders can read it as 32-bit words.
    const uint64_t vertexBytes = (uint64_t)GetVertexStride() * GetVertexCount();
    if (vertexBytes == 0 || vertexBytes > 0xFFFFFFFFu)
    {
        Log::Error("[graphics] Geometry has no valid vertex data (%llu bytes)", (unsigned long long)vertexBytes);
        return false;
    }
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = (UINT)vertexBytes;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER | D3D11_BIND_SHADER_RESOURCE;
    desc.MiscFlags = D3D11_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS;
    D3D11_SUBRESOURCE_DATA data = {};
    data.pSysMem = GetVertices();
    HRESULT hr = device->CreateBuffer(&desc, &data, &vertexBuffer);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Failed to create vertex buffer: %08X", (unsigned)hr);
        return false;
    }

    // Index buffer
    const uint32_t triangles = GetTriangleCount();
    const bool wide = Uses32BitIndices();
    if (triangles != 0)
    {
        const uint64_t indexBytes = (uint64_t)triangles * (wide ? 12 : 6);
        if (indexBytes > 0xFFFFFFFFu)
        {
            Log::Error("[graphics] Geometry has too many triangles (%u)", triangles);
            return false;
        }
        desc = {};
        desc.ByteWidth = (UINT)indexBytes;
        desc.Usage = D3D11_USAGE_DEFAULT;
        desc.BindFlags = D3D11_BIND_INDEX_BUFFER | D3D11_BIND_SHADER_RESOURCE;
        data = {};
        data.pSysMem = GetIndices();
        hr = device->CreateBuffer(&desc, &data, &indexBuffer);
        if (FAILED(hr))
        {
            Log::Error("[graphics] Failed to create index buffer: %08X", (unsigned)hr);
            return false;
        }
    }

    // Input layout
    if (inputSignatureShader && !CreateInputLayout(inputSignatureShader))
        return false;

    // Vertex view: raw, in 32-bit words (a typeless view must be raw).
    D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = {};
    viewDesc.Format = DXGI_FORMAT_R32_TYPELESS;
    viewDesc.ViewDimension = D3D11_SRV_DIMENSION_BUFFEREX;
    viewDesc.BufferEx.FirstElement = 0;
    viewDesc.BufferEx.NumElements = (UINT)(vertexBytes / 4);
    viewDesc.BufferEx.Flags = D3D11_BUFFEREX_SRV_FLAG_RAW;
    hr = device->CreateShaderResourceView(vertexBuffer, &viewDesc, &vertexView);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Failed to create vertex buffer view: %08X", (unsigned)hr);
        return false;
    }

    // Index view
    if (!indexBuffer)
        return true;
    viewDesc = {};
    viewDesc.Format = wide ? DXGI_FORMAT_R32_UINT : DXGI_FORMAT_R16_UINT;
    viewDesc.ViewDimension = D3D11_SRV_DIMENSION_BUFFEREX;
    viewDesc.BufferEx.FirstElement = 0;
    viewDesc.BufferEx.NumElements = triangles * 3;
    hr = device->CreateShaderResourceView(indexBuffer, &viewDesc, &indexView);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Failed to create index buffer view: %08X", (unsigned)hr);
        return false;
    }
    return true;
}

bool GeometryBase::CreateInputLayout(Graphics::VertexShader* shader)
{
    SafeRelease(inputLayout);
    inputSignatureShader = shader;
    if (!shader || !shader->GetByteCode())
        return false;

    const D3D11_INPUT_ELEMENT_DESC* elements = nullptr;
    const uint32_t count = GetInputElements(&elements);
    ID3D10Blob* code = shader->GetByteCode();
    HRESULT hr = system->GetDevice()->CreateInputLayout(elements, count, code->GetBufferPointer(),
                                                         code->GetBufferSize(), &inputLayout);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Failed to create input layout: %08X", (unsigned)hr);
        return false;
    }
    return true;
}

void GeometryBase::Bind()
{
    ID3D11DeviceContext* context = system->GetContext();
    context->IASetInputLayout(inputLayout);
    const UINT stride = GetVertexStride();
    const UINT offset = 0;
    context->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
    if (indexBuffer)
        context->IASetIndexBuffer(indexBuffer, Uses32BitIndices() ? DXGI_FORMAT_R32_UINT : DXGI_FORMAT_R16_UINT, 0);
    context->IASetPrimitiveTopology(GetTopology());
}

void GeometryBase::Draw()
{
    ID3D11DeviceContext* context = system->GetContext();
    if (indexBuffer)
        context->DrawIndexed(GetTriangleCount() * 3, 0, 0);
    else
        context->Draw(GetVertexCount(), 0);
}

} // namespace Brivet::Rendering
