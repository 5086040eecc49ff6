// Cube texture.
#include "Graphics/TextureCube.h"

#include <d3d11.h>

#include "Graphics/DepthStencil.h"
#include "Graphics/System.h"
#include "Graphics/TextureD3D11.h"
#include "Graphics/TextureFlags.h"
#include "Utility/SafeRelease.h"

namespace Brivet::Graphics
{

TextureCube::TextureCube(System* system)
    : ITexture(system), faces(), size(0), texture(nullptr)
{
}

TextureCube::~TextureCube()
{
    for (ID3D11RenderTargetView*& face : faces)
        Utility::SafeRelease(face);
    Utility::SafeRelease(texture);
}

void TextureCube::Destroy()
{
    for (ID3D11RenderTargetView*& face : faces)
        Utility::SafeRelease(face);
    Utility::SafeRelease(texture);
    ReleaseViews();
}

bool TextureCube::Create(uint32_t size, uint32_t format, uint32_t flags, const void* data)
{
    Destroy();
    this->size = size;
    this->format = format;

    const TextureDescription d = DescribeTexture(TextureKind::Cube, size, size, 1, format, flags);
    if (!IsAccepted("TextureCube", flags, d))
        return false;
    const uint32_t levels = CreatedMipLevels(d, size, size, 1);
    InitialData initial(data, size, size, 1, FaceCount, levels, format);
    if (initial.Failed())
        return false;

    const D3D11_TEXTURE2D_DESC desc = Texture2DDesc(d, size, size);
    ID3D11Device* device = system->GetDevice();
    if (FAILED(device->CreateTexture2D(&desc, initial.Get(), &texture)))
        return false;

    if (!CreateViews(texture, TextureKind::Cube, d))
        return false;
    if (d.renderTargetView)
    {
        for (uint32_t face = 0; face < FaceCount; ++face)
        {
            D3D11_RENDER_TARGET_VIEW_DESC view = {};
            view.Format = (DXGI_FORMAT)format;
            view.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
            view.Texture2DArray.MipSlice = 0;
            view.Texture2DArray.FirstArraySlice = face;
            view.Texture2DArray.ArraySize = 1;
            if (FAILED(device->CreateRenderTargetView(texture, &view, &faces[face])))
                return false;
        }
    }
    // Unordered access is refused above: no view of the texture covers the six faces as a cube.
    GenerateMipsFromData(data, d);
    return true;
}

void TextureCube::BindFace(uint32_t face, DepthStencil* depth)
{
    if (face >= FaceCount || !faces[face])
        return;
    ID3D11DeviceContext* context = system->GetContext();
    context->OMSetRenderTargets(1, &faces[face], depth ? depth->GetDepthStencilView() : nullptr);
    D3D11_VIEWPORT viewport = {};
    viewport.Width = (float)size;
    viewport.Height = (float)size;
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
}

ID3D11Resource* TextureCube::GetResource() const
{
    return texture;
}

uint64_t TextureCube::GetMemorySize() const
{
    if (!texture)
        return 0;
    D3D11_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    return TextureMemorySize(size, size, 1, FaceCount, format, desc.MipLevels);
}

} // namespace Brivet::Graphics
