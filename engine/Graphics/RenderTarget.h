// A 2D texture that is always bound as a render target.
#pragma once

#include "Graphics/Texture2D.h"

namespace Brivet::Graphics
{

class DepthStencil;

class RenderTarget : public Texture2D
{
public:
    explicit RenderTarget(System* system);

    // Texture2D::Create with flag 2 added and no data.
    bool Create(uint32_t width, uint32_t height, uint32_t format, uint32_t flags);

    // The target's view as the only render target with depth's view (or none), then the
    // viewport (0, 0, width, height, depth 0 to 1).
    void Bind(DepthStencil* depth);
};

} // namespace Brivet::Graphics
