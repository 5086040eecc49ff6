// Buffer resource: a float buffer with shader-resource and unordered-access views.
#include "repository/Resources/Buffer.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"
#include "repository/Resources/BufferSettings.h"

#include <d3d11.h>

using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace
{
Brivet::Graphics::System* SystemOf(Brivet::Compositing::Graph* graph)
{
    return graph && graph->demo ? &graph->demo->system : nullptr;
}
} // namespace

Buffer::Buffer(Brivet::Compositing::Graph* graph)
    : ShaderResource(graph), buffer(nullptr), count(BufferSettings::DefaultCount), width(1), height(1), depth(1),
      unorderedAccessView(nullptr), counter(SystemOf(graph))
{
}

Buffer::~Buffer()
{
    Unload();
}

void Buffer::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("buffer");
}

bool Buffer::IsCompatible(const Brivet::Base::StaticString<64>& type) const
{
    static const Brivet::Base::StaticString<64> shaderResource("shaderresource");
    return IResource::IsCompatible(type) || type.GetHashLower() == shaderResource.GetHashLower();
}

bool Buffer::CreateDynamic(const Brivet::Utility::XML::Node* xml)
{
    Unload();
    BufferSettings::Read(xml, count);
    if (!BufferSettings::IsValidCount(count))
    {
        Log::Error("[buffer] Size %u is not 1 to %u floats", count, BufferSettings::MaxCount);
        return false;
    }
    Brivet::Graphics::System* system = demo ? &demo->system : nullptr;
    ID3D11Device* device = system ? system->GetDevice() : nullptr;
    if (!device)
        return false;

    // The buffer
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = count * 4; // at most 2^29: the count is capped
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS;
    HRESULT hr = device->CreateBuffer(&desc, nullptr, &buffer);
    if (FAILED(hr))
    {
        Log::Error("[buffer] CreateBuffer failed for %u floats: %08X", count, (unsigned)hr);
        buffer = nullptr;
        return false;
    }

    // Its views
    D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = {};
    viewDesc.Format = DXGI_FORMAT_R32_FLOAT;
    viewDesc.ViewDimension = D3D11_SRV_DIMENSION_BUFFEREX;
    viewDesc.BufferEx.FirstElement = 0;
    viewDesc.BufferEx.NumElements = count;
    hr = device->CreateShaderResourceView(buffer, &viewDesc, &shaderResourceView);
    if (FAILED(hr))
    {
        Log::Error("[buffer] CreateShaderResourceView failed: %08X", (unsigned)hr);
        shaderResourceView = nullptr;
        Unload();
        return false;
    }
    D3D11_UNORDERED_ACCESS_VIEW_DESC accessDesc = {};
    accessDesc.Format = DXGI_FORMAT_R32_FLOAT;
    accessDesc.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    accessDesc.Buffer.FirstElement = 0;
    accessDesc.Buffer.NumElements = count;
    hr = device->CreateUnorderedAccessView(buffer, &accessDesc, &unorderedAccessView);
    if (FAILED(hr))
    {
        Log::Error("[buffer] CreateUnorderedAccessView failed: %08X", (unsigned)hr);
        unorderedAccessView = nullptr;
        Unload();
        return false;
    }

    // The counter
    if (!counter.Create())
    {
        Log::Error("[buffer] Failed to create the counter");
        Unload();
        return false;
    }
    return true;
}

bool Buffer::WriteXml(const Brivet::Utility::XML::Node& xml)
{
    return BufferSettings::Write(xml, count);
}

void Buffer::Unload()
{
    SafeRelease(unorderedAccessView);
    SafeRelease(shaderResourceView);
    SafeRelease(buffer);
    counter.Release();
}

ID3D11Resource* Buffer::GetResource() const
{
    return buffer;
}
