// The render-target pool's Direct3D targets.
#include "Graphics/RenderTargetPool.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Texture1D.h"
#include "Graphics/Texture3D.h"
#include "Graphics/TextureCube.h"

namespace Brivet::Graphics
{

namespace
{

template <typename T>
ITexture* Created(T* texture, bool created)
{
    if (created)
        return texture;
    delete texture;
    return nullptr;
}

ITexture* CreateTarget(System* system, RenderTargetPool::TargetKind kind, const RenderTargetPool::Description& d)
{
    switch (kind)
    {
    case RenderTargetPool::TargetKind::DepthStencil:
    {
        DepthStencil* target = new DepthStencil(system);
        return Created(target, target->Create(d.width, d.height, d.format, d.flags));
    }
    case RenderTargetPool::TargetKind::Cube:
    {
        TextureCube* target = new TextureCube(system);
        return Created(target, target->Create(d.width, d.format, d.flags, nullptr));
    }
    case RenderTargetPool::TargetKind::Texture1D:
    {
        Texture1D* target = new Texture1D(system);
        return Created(target, target->Create(d.width, d.format, d.flags, nullptr));
    }
    case RenderTargetPool::TargetKind::Texture3D:
    {
        Texture3D* target = new Texture3D(system);
        return Created(target, target->Create(d.width, d.height, d.depth, d.format, d.flags, nullptr));
    }
    case RenderTargetPool::TargetKind::RenderTarget:
    default:
    {
        RenderTarget* target = new RenderTarget(system);
        return Created(target, target->Create(d.width, d.height, d.format, d.flags));
    }
    }
}

void DestroyTarget(ITexture* target)
{
    delete target;
}

} // namespace

RenderTargetPool::RenderTargetPool(System* system)
    : RenderTargetPool(system, TargetFactory{CreateTarget, DestroyTarget})
{
}

} // namespace Brivet::Graphics
