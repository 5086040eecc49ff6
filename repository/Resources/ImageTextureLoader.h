// Image files in memory to Direct3D 11 textures: DDS files are read here (headers, formats,
// mip levels, arrays, cube maps, volumes), every other image is decoded by the Windows
// Imaging Component and converted to a format the device samples. Both entry points return
// an HRESULT and, on success, the resource and its shader-resource view with one reference
// each. A single level whose format allows it gets its mip chain generated on the GPU; the
// loaders then add render-target binding and mip generation themselves.
#pragma once

#include <d3d11.h>

#include <cstddef>
#include <cstdint>

namespace ImageTextureLoader
{
// The WIC loader's result for an image beyond MaxDecodedBytes (ImageLayout.h).
const HRESULT ImageTooLarge = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);

// The WIC loader's load flags.
enum LoadFlags : uint32_t
{
    LoadForceSrgb = 1,  // the sRGB variant of the decoded format
    LoadIgnoreSrgb = 2, // the format as decoded
};

// context may be null (no mip generation then); texture or view may be null, not both.
// maxSize 0: no size limit (a second try drops the largest levels when Direct3D refuses
// the whole chain).
HRESULT LoadDdsTextureFromMemory(ID3D11Device* device, ID3D11DeviceContext* context, const uint8_t* data, size_t size,
                                 size_t maxSize, D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags,
                                 UINT miscFlags, bool forceSrgb, ID3D11Resource** texture,
                                 ID3D11ShaderResourceView** view);

// The same for any image WIC decodes (frame 0). maxSize 0: the largest 2D size of the
// device's feature level; a larger image is scaled down keeping its aspect ratio.
HRESULT LoadWicTextureFromMemory(ID3D11Device* device, ID3D11DeviceContext* context, const uint8_t* data, size_t size,
                                 size_t maxSize, D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags,
                                 UINT miscFlags, uint32_t loadFlags, ID3D11Resource** texture,
                                 ID3D11ShaderResourceView** view);
} // namespace ImageTextureLoader
