// Render-target pool: lending, reuse and clearing (the targets come from the factory).
#include "Graphics/RenderTargetPool.h"

#include <cstdio>

#include "Graphics/Format.h"
#include "Utility/Assert.h"
#include "Utility/Log.h"

using Brivet::Utility::Log;

namespace Brivet::Graphics
{

namespace
{

bool Matches(const RenderTargetPool::RenderTargetEntry& entry, const RenderTargetPool::Description& d)
{
    return entry.width == d.width && entry.height == d.height && entry.depth == d.depth && entry.type == d.type &&
           entry.format == d.format && entry.flags == d.flags;
}

void LogCreation(const RenderTargetPool::Description& d)
{
    // A format outside the name table is shown by its number.
    char unnamed[32];
    const char* name = FormatToName(d.format);
    if (!name)
    {
        snprintf(unnamed, sizeof(unnamed), "format %u", (unsigned)d.format);
        name = unnamed;
    }
    switch (d.type)
    {
    case RenderTargetPool::Type1D:
        Log::Info("[rendertargetpool] Creating a new 1D texture: %d (%s, %X)", (int)d.width, name, (unsigned)d.flags);
        break;
    case RenderTargetPool::Type2D:
        Log::Info("[rendertargetpool] Creating a new 2D texture: %d x %d (%s, %X)", (int)d.width, (int)d.height, name,
                  (unsigned)d.flags);
        break;
    case RenderTargetPool::Type3D:
        Log::Info("[rendertargetpool] Creating a new 3D texture: %d x %d x %d (%s, %X)", (int)d.width, (int)d.height,
                  (int)d.depth, name, (unsigned)d.flags);
        break;
    case RenderTargetPool::TypeCube:
        Log::Info("[rendertargetpool] Creating a new cube texture: %d x %d x %d (%s, %X)", (int)d.width, (int)d.width,
                  (int)d.width, name, (unsigned)d.flags);
        break;
    default:
        break;
    }
}

} // namespace

RenderTargetPool::TargetKind RenderTargetPool::KindOf(const Description& description)
{
    if (IsDepthFormat(description.format))
        return TargetKind::DepthStencil;
    // 1D and 3D descriptions get a texture of their own dimension rather than a 2D target
    // of width × height, which would drop a volume's depth; callers cast by this kind.
    switch (description.type)
    {
    case TypeCube:
        return TargetKind::Cube;
    case Type1D:
        return TargetKind::Texture1D;
    case Type3D:
        return TargetKind::Texture3D;
    default:
        return TargetKind::RenderTarget;
    }
}

RenderTargetPool::RenderTargetPool(System* system, const TargetFactory& factory)
    : system(system), factory(factory)
{
}

RenderTargetPool::~RenderTargetPool()
{
    Clear();
}

ITexture* RenderTargetPool::Acquire(const Description& description)
{
    for (RenderTargetEntry& entry : entries)
    {
        if (!entry.inUse && Matches(entry, description))
        {
            entry.inUse = 1;
            return entry.target;
        }
    }

    LogCreation(description);
    const TargetKind kind = KindOf(description);
    ITexture* target = factory.create(system, kind, description);
    if (!target)
    {
        // No entry is kept for a failed creation: it would never be lent and the same
        // request would add another one every frame.
        if (kind == TargetKind::Cube)
            Log::Error("[rendertargetpool] Failed to create render target cube in pool!");
        else
            Log::Error("[rendertargetpool] Failed to create render target in pool!");
        return nullptr;
    }

    RenderTargetEntry& entry = entries.AddEmpty();
    entry.inUse = 1;
    entry.width = description.width;
    entry.height = description.height;
    entry.depth = description.depth;
    entry.type = description.type;
    entry.format = description.format;
    entry.flags = description.flags;
    entry.target = target;
    return target;
}

void RenderTargetPool::Release(ITexture* target)
{
    if (target)
    {
        for (RenderTargetEntry& entry : entries)
        {
            if (entry.target == target)
            {
                entry.inUse = 0;
                return;
            }
        }
    }
    // Reported at the line its log readers know.
    if (Utility::Assert("Graphics/RenderTargetPool", 104, "Trying to release render target that's not in the pool!"))
        Utility::BreakIntoDebugger();
}

void RenderTargetPool::Clear()
{
    for (RenderTargetEntry& entry : entries)
    {
        if (entry.target)
            factory.destroy(entry.target);
    }
    entries = Base::Array<RenderTargetEntry>();
    Log::Info("[rendertargetpool] Pool cleared");
}

} // namespace Brivet::Graphics
