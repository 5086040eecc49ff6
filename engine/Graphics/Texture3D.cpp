// 3D texture.
#include "Graphics/Texture3D.h"

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

Texture3D::Texture3D(System* system)
    : ITexture(system), width(0), height(0), depth(0), texture(nullptr)
{
}

Texture3D::~Texture3D()
{
    Utility::SafeRelease(texture);
}

void Texture3D::Destroy()
{
    Utility::SafeRelease(texture);
    ReleaseViews();
}

bool Texture3D::Create(uint32_t width, uint32_t height, uint32_t depth, uint32_t format, uint32_t flags,
                       const void* data)
{
    Destroy();
    this->width = width;
    this->height = height;
    this->depth = depth;
    this->format = format;

    const TextureDescription d = DescribeTexture(TextureKind::Texture3D, width, height, depth, format, flags);
    if (!IsAccepted("Texture3D", flags, d))
        return false;
    // Direct3D reads one record per level, and a 3D texture always has more than one.
    const uint32_t levels = CreatedMipLevels(d, width, height, depth);
    InitialData initial(data, width, height, depth, 1, levels, format);
    if (initial.Failed())
        return false;

    D3D11_TEXTURE3D_DESC desc = {};
    desc.Width = width;
    desc.Height = height;
    desc.Depth = depth;
    desc.MipLevels = d.mipLevels;
    desc.Format = (DXGI_FORMAT)d.format;
    desc.Usage = (D3D11_USAGE)d.usage;
    desc.BindFlags = d.bindFlags;
    desc.CPUAccessFlags = d.cpuAccessFlags;
    desc.MiscFlags = d.miscFlags;
    ID3D11Device* device = system->GetDevice();
    if (FAILED(device->CreateTexture3D(&desc, initial.Get(), &texture)))
        return false;

    if (!CreateViews(texture, TextureKind::Texture3D, d))
        return false;
    GenerateMipsFromData(data, d);
    return true;
}

void Texture3D::Adopt(ID3D11Texture3D* texture, ID3D11ShaderResourceView* view)
{
    Destroy();
    this->texture = texture;
    shaderResourceView = view;
    width = 0;
    height = 0;
    depth = 0;
    format = 0;
    if (texture)
    {
        D3D11_TEXTURE3D_DESC desc = {};
        texture->GetDesc(&desc);
        width = desc.Width;
        height = desc.Height;
        depth = desc.Depth;
        format = desc.Format;
    }
}

ID3D11Resource* Texture3D::GetResource() const
{
    return texture;
}

uint64_t Texture3D::GetMemorySize() const
{
    if (!texture)
        return 0;
    D3D11_TEXTURE3D_DESC desc = {};
    texture->GetDesc(&desc);
    return TextureMemorySize(width, height, depth, 1, format, desc.MipLevels);
}

bool Texture3D::Upload(const void* bytes)
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
    const size_t rowBytes = (size_t)FormatSize(format) * width;
    const uint8_t* source = static_cast<const uint8_t*>(bytes);
    uint8_t* slice = static_cast<uint8_t*>(mapped.pData);
    for (uint32_t z = 0; z < depth; ++z)
    {
        uint8_t* destination = slice;
        for (uint32_t row = 0; row < height; ++row)
        {
            memcpy(destination, source, rowBytes);
            source += rowBytes;
            destination += mapped.RowPitch;
        }
        slice += mapped.DepthPitch;
    }
    context->Unmap(texture, 0);
    return true;
}

} // namespace Brivet::Graphics
