// A depth-stencil buffer: always 24-bit depth and 8-bit stencil (D24_UNORM_S8_UINT),
// also readable by shaders (R24_UNORM_X8_TYPELESS) with flag 1.
#pragma once

#include "Graphics/Texture2D.h"

struct ID3D11DepthStencilView;

namespace Brivet::Graphics
{

class DepthStencil : public Texture2D
{
public:
    explicit DepthStencil(System* system);
    ~DepthStencil() override; // releases the depth view, then as Texture2D

    // format is ignored: the buffer is D24_UNORM_S8_UINT and reports format 45. Of the
    // flags only 1 (shader-readable) counts.
    bool Create(uint32_t width, uint32_t height, uint32_t format, uint32_t flags);

    ID3D11DepthStencilView* GetDepthStencilView() const { return depthStencilView; }

private:
    ID3D11DepthStencilView* depthStencilView;
};

} // namespace Brivet::Graphics
