// A 3D texture: width × height × depth with the full mip chain, a shader-resource view
// and, with flag 4, an unordered-access view over all depth slices.
#pragma once

#include "Graphics/ITexture.h"

struct ID3D11Texture3D;

namespace Brivet::Graphics
{

class Texture3D : public ITexture
{
public:
    explicit Texture3D(System* system);
    ~Texture3D() override; // releases the texture, then the views

    // flags are TextureFlags; data (or null) is level 0 as depth slices of packed rows;
    // the lower levels start as zeros, or are generated from it with flag 32. False when
    // Direct3D refuses the texture or a view (a refused flag combination is logged).
    bool Create(uint32_t width, uint32_t height, uint32_t depth, uint32_t format, uint32_t flags, const void* data);

    // Takes over a texture made elsewhere and its view (either may be null); sizes and
    // format come from the texture.
    void Adopt(ID3D11Texture3D* texture, ID3D11ShaderResourceView* view);

    ID3D11Resource* GetResource() const override;
    uint32_t GetWidth() const override { return width; }
    uint32_t GetHeight() const override { return height; }
    uint32_t GetDepth() const override { return depth; }
    uint64_t GetMemorySize() const override;
    bool Upload(const void* bytes) override;

    ID3D11Texture3D* GetTexture() const { return texture; }

private:
    void Destroy();

    uint32_t width;
    uint32_t height;
    uint32_t depth;
    ID3D11Texture3D* texture;
};

} // namespace Brivet::Graphics
