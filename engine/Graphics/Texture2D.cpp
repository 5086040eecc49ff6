// 2D texture.
#include "Graphics/Texture2D.h"

#include <cstring>

#include <d3d11.h>

#include "Graphics/Format.h"
#include "Graphics/System.h"
#include "Graphics/TextureD3D11.h"
#include "Graphics/TextureFlags.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;

namespace Brivet::Graphics
{

Texture2D::Texture2D(System* system)
    : ITexture(system), width(0), height(0), texture(nullptr)
{
}

Texture2D::~Texture2D()
{
    Utility::SafeRelease(texture);
}

void Texture2D::Destroy()
{
    Utility::SafeRelease(texture);
    ReleaseViews();
}

bool Texture2D::Create(uint32_t width, uint32_t height, uint32_t format, uint32_t flags, const void* data)
{
    Destroy();
    this->width = width;
    this->height = height;
    this->format = format;

    const TextureDescription d = DescribeTexture(TextureKind::Texture2D, width, height, 1, format, flags);
    if (!IsAccepted("Texture2D", flags, d))
        return false;
    const uint32_t levels = CreatedMipLevels(d, width, height, 1);
    InitialData initial(data, width, height, 1, 1, levels, format);
    if (initial.Failed())
        return false;

    const D3D11_TEXTURE2D_DESC desc = Texture2DDesc(d, width, height);
    ID3D11Device* device = system->GetDevice();
    if (FAILED(device->CreateTexture2D(&desc, initial.Get(), &texture)))
        return false;

    if (!CreateViews(texture, TextureKind::Texture2D, d))
        return false;
    GenerateMipsFromData(data, d);
    return true;
}

void Texture2D::Adopt(ID3D11Texture2D* texture, ID3D11ShaderResourceView* view)
{
    Destroy();
    this->texture = texture;
    shaderResourceView = view;
    width = 0;
    height = 0;
    format = 0;
    if (texture)
    {
        D3D11_TEXTURE2D_DESC desc = {};
        texture->GetDesc(&desc);
        width = desc.Width;
        height = desc.Height;
        format = desc.Format;
    }
}

ID3D11Resource* Texture2D::GetResource() const
{
    return texture;
}

uint64_t Texture2D::GetMemorySize() const
{
    if (!texture)
        return 0;
    D3D11_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    return TextureMemorySize(width, height, 1, 1, format, desc.MipLevels);
}

bool Texture2D::Upload(const void* bytes)
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
    uint8_t* destination = static_cast<uint8_t*>(mapped.pData);
    for (uint32_t row = 0; row < height; ++row)
    {
        memcpy(destination, source, rowBytes);
        source += rowBytes;
        destination += mapped.RowPitch;
    }
    context->Unmap(texture, 0);
    return true;
}

} // namespace Brivet::Graphics
