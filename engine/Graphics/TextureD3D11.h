// Helpers shared by the Direct3D side of the texture classes.
#pragma once

#include <d3d11.h>

#include "Graphics/TextureFlags.h"

namespace Brivet::Graphics
{
// The Direct3D description of a 2D texture (plain, cube or depth-stencil) of that size.
inline D3D11_TEXTURE2D_DESC Texture2DDesc(const TextureDescription& d, uint32_t width, uint32_t height)
{
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = d.mipLevels;
    desc.ArraySize = d.arraySize;
    desc.Format = (DXGI_FORMAT)d.format;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.Usage = (D3D11_USAGE)d.usage;
    desc.BindFlags = d.bindFlags;
    desc.CPUAccessFlags = d.cpuAccessFlags;
    desc.MiscFlags = d.miscFlags;
    return desc;
}
} // namespace Brivet::Graphics
