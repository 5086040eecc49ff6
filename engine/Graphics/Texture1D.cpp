// 1D texture.
#include "Graphics/Texture1D.h"

#include <cstring>

#include <d3d11.h>

#include "Graphics/Format.h"
#include "Graphics/System.h"
#include "Graphics/TextureFlags.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;

namespace Brivet::Graphics
{

Texture1D::Texture1D(System* system)
    : ITexture(system), width(0), texture(nullptr)
{
}

Texture1D::~Texture1D()
{
    Utility::SafeRelease(texture);
}

void Texture1D::Destroy()
{
    Utility::SafeRelease(texture);
    ReleaseViews();
}

bool Texture1D::Create(uint32_t width, uint32_t format, uint32_t flags, const void* data)
{
    Destroy();
    this->width = width;
    this->format = format;

    const TextureDescription d = DescribeTexture(TextureKind::Texture1D, width, 1, 1, format, flags);
    if (!IsAccepted("Texture1D", flags, d))
        return false;
    const uint32_t levels = CreatedMipLevels(d, width, 1, 1);
    InitialData initial(data, width, 1, 1, 1, levels, format);
    if (initial.Failed())
        return false;

    D3D11_TEXTURE1D_DESC desc = {};
    desc.Width = width;
    desc.MipLevels = d.mipLevels;
    desc.ArraySize = d.arraySize;
    desc.Format = (DXGI_FORMAT)d.format;
    desc.Usage = (D3D11_USAGE)d.usage;
    desc.BindFlags = d.bindFlags;
    desc.CPUAccessFlags = d.cpuAccessFlags;
    desc.MiscFlags = d.miscFlags;
    ID3D11Device* device = system->GetDevice();
    if (FAILED(device->CreateTexture1D(&desc, initial.Get(), &texture)))
        return false;

    if (!CreateViews(texture, TextureKind::Texture1D, d))
        return false;
    GenerateMipsFromData(data, d);
    return true;
}

void Texture1D::Adopt(ID3D11Texture1D* texture, ID3D11ShaderResourceView* view)
{
    Destroy();
    this->texture = texture;
    shaderResourceView = view;
    width = 0;
    format = 0;
    if (texture)
    {
        D3D11_TEXTURE1D_DESC desc = {};
        texture->GetDesc(&desc);
        width = desc.Width;
        format = desc.Format;
    }
}

ID3D11Resource* Texture1D::GetResource() const
{
    return texture;
}

uint64_t Texture1D::GetMemorySize() const
{
    if (!texture)
        return 0;
    D3D11_TEXTURE1D_DESC desc = {};
    texture->GetDesc(&desc);
    return TextureMemorySize(width, 1, 1, 1, format, desc.MipLevels);
}

bool Texture1D::Upload(const void* bytes)
{
    if (!texture || !bytes)
        return false;
    ID3D11DeviceContext* context = system->GetContext();
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    const HRESULT hr = context->Map(texture, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped);
    if (FAILED(hr) || !mapped.pData)
    {
        if (SUCCEEDED(hr))
            context->Unmap(texture, 0);
        Log::Error("[graphics] Unable to map texture for upload: %08X", (unsigned)hr);
        return false;
    }
    memcpy(mapped.pData, bytes, (size_t)FormatSize(format) * width);
    context->Unmap(texture, 0);
    return true;
}

} // namespace Brivet::Graphics
