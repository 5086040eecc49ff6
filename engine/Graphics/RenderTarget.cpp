// 2D render target.
#include "Graphics/RenderTarget.h"

#include <d3d11.h>

#include "Graphics/DepthStencil.h"
#include "Graphics/System.h"
#include "Graphics/TextureFlags.h"

namespace Brivet::Graphics
{

RenderTarget::RenderTarget(System* system)
    : Texture2D(system)
{
}

bool RenderTarget::Create(uint32_t width, uint32_t height, uint32_t format, uint32_t flags)
{
    return Texture2D::Create(width, height, format, flags | TextureFlags::RenderTarget, nullptr);
}

void RenderTarget::Bind(DepthStencil* depth)
{
    ID3D11DeviceContext* context = system->GetContext();
    context->OMSetRenderTargets(1, &renderTargetView, depth ? depth->GetDepthStencilView() : nullptr);
    D3D11_VIEWPORT viewport = {};
    viewport.Width = (float)width;
    viewport.Height = (float)height;
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
}

} // namespace Brivet::Graphics
