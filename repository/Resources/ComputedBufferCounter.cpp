// The compute counter: one raw 32-bit word.
#include "repository/Resources/ComputedBufferCounter.h"

#include "Graphics/System.h"
#include "Utility/SafeRelease.h"

#include <d3d11.h>

using Brivet::Utility::SafeRelease;

ComputedBufferCounter::ComputedBufferCounter(Brivet::Graphics::System* system)
    : system(system), buffer(nullptr), view(nullptr)
{
}

ComputedBufferCounter::~ComputedBufferCounter()
{
    Release();
}

ID3D11Resource* ComputedBufferCounter::GetResource() const
{
    return buffer;
}

void ComputedBufferCounter::Release()
{
    SafeRelease(view);
    SafeRelease(buffer);
}

bool ComputedBufferCounter::Create()
{
    Release();
    ID3D11Device* device = system ? system->GetDevice() : nullptr;
    if (!device)
        return false;

    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = 4;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_UNORDERED_ACCESS;
    desc.MiscFlags = D3D11_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS;
    if (FAILED(device->CreateBuffer(&desc, nullptr, &buffer)))
    {
        buffer = nullptr;
        return false;
    }

    D3D11_UNORDERED_ACCESS_VIEW_DESC viewDesc = {};
    viewDesc.Format = DXGI_FORMAT_R32_TYPELESS;
    viewDesc.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    viewDesc.Buffer.FirstElement = 0;
    viewDesc.Buffer.NumElements = 1;
    viewDesc.Buffer.Flags = D3D11_BUFFER_UAV_FLAG_RAW;
    if (FAILED(device->CreateUnorderedAccessView(buffer, &viewDesc, &view)))
    {
        view = nullptr;
        Release();
        return false;
    }
    return true;
}
