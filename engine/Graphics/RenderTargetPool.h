// The demo's pool of render targets, depth buffers and cubes, lent by description and
// given back after use; targets are created on demand and destroyed only by Clear.
#pragma once

#include <cstdint>

#include "Base/Array.h"

namespace Brivet::Graphics
{

class ITexture;
class System;

class RenderTargetPool
{
public:
    enum : uint32_t
    {
        Type1D = 0,
        Type2D = 1,
        Type3D = 2,
        TypeCube = 3,
    };

    // What a user asks for. Compared field by field: a target is reused only for an
    // identical description.
    struct Description
    {
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t depth = 0;
        uint32_t type = Type2D;
        uint32_t format = 0; // DXGI
        uint32_t flags = 3;  // TextureFlags
    };

    struct RenderTargetEntry
    {
        uint8_t inUse;
        uint32_t width;
        uint32_t height;
        uint32_t depth;
        uint32_t type;
        uint32_t format;
        uint32_t flags;
        ITexture* target; // owned
    };

    // The class Acquire creates for a description, which is the class the caller casts
    // the target to: a DepthStencil for the four depth formats (whatever the type), else
    // a TextureCube, Texture1D or Texture3D by type, else (2D and unknown types) a
    // RenderTarget.
    enum class TargetKind
    {
        RenderTarget,
        DepthStencil,
        Cube,
        Texture1D,
        Texture3D,
    };
    static TargetKind KindOf(const Description& description);

    // Makes (null on failure, logging nothing) and destroys the targets. The pool only
    // stores and compares the pointers it is given.
    struct TargetFactory
    {
        ITexture* (*create)(System* system, TargetKind kind, const Description& description);
        void (*destroy)(ITexture* target);
    };

    explicit RenderTargetPool(System* system); // the Direct3D texture classes
    RenderTargetPool(System* system, const TargetFactory& factory);
    virtual ~RenderTargetPool(); // Clear

    // Lends the earliest free target of an identical description, else creates one (logged
    // at Info level). Null when the creation failed (logged); such a request leaves no entry.
    ITexture* Acquire(const Description& description);

    // Gives a lent target back. A pointer the pool does not hold (null included) raises the
    // assertion and changes nothing; giving back a target that is already free does nothing.
    void Release(ITexture* target);

    // Destroys every target and empties the pool.
    void Clear();

    const Base::Array<RenderTargetEntry>& GetEntries() const { return entries; }

private:
    RenderTargetPool(const RenderTargetPool&) = delete;
    RenderTargetPool& operator=(const RenderTargetPool&) = delete;

    System* system;
    TargetFactory factory;
    Base::Array<RenderTargetEntry> entries;
};

} // namespace Brivet::Graphics
