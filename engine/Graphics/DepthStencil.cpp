// Depth-stencil buffer.
#include "Graphics/DepthStencil.h"

#include <d3d11.h>

#include "Graphics/System.h"
#include "Graphics/TextureD3D11.h"
#include "Graphics/TextureFlags.h"
#include "Utility/SafeRelease.h"

namespace Brivet::Graphics
{

DepthStencil::DepthStencil(System* system)
    : Texture2D(system), depthStencilView(nullptr)
{
}

DepthStencil::~DepthStencil()
{
    Utility::SafeRelease(depthStencilView);
}

bool DepthStencil::Create(uint32_t width, uint32_t height, uint32_t format, uint32_t flags)
{
    Utility::SafeRelease(depthStencilView);
    Destroy();
    this->width = width;
    this->height = height;
    this->format = FormatD24UnormS8Uint;

    const TextureDescription d = DescribeTexture(TextureKind::DepthStencil, width, height, 1, format, flags);
    const D3D11_TEXTURE2D_DESC desc = Texture2DDesc(d, width, height);
    ID3D11Device* device = system->GetDevice();
    if (FAILED(device->CreateTexture2D(&desc, nullptr, &texture)))
        return false;

    // The depth view comes before the shader-resource view.
    D3D11_DEPTH_STENCIL_VIEW_DESC depthView = {};
    depthView.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
    depthView.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
    depthView.Texture2D.MipSlice = 0;
    if (FAILED(device->CreateDepthStencilView(texture, &depthView, &depthStencilView)))
        return false;
    if (d.shaderResourceView)
    {
        D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
        view.Format = DXGI_FORMAT_R24_UNORM_X8_TYPELESS;
        view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        view.Texture2D.MipLevels = (UINT)-1;
        if (FAILED(device->CreateShaderResourceView(texture, &view, &shaderResourceView)))
            return false;
    }
    return true;
}

} // namespace Brivet::Graphics
