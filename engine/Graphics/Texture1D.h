// A 1D texture: width × 1 × 1, with a shader-resource view and, with flag 4, an
// unordered-access view.
#pragma once

#include "Graphics/ITexture.h"

struct ID3D11Texture1D;

namespace Brivet::Graphics
{

class Texture1D : public ITexture
{
public:
    explicit Texture1D(System* system);
    ~Texture1D() override; // releases the texture, then the views

    // flags are TextureFlags; data (or null) is the one row of level 0. False when
    // Direct3D refuses the texture or a view (a refused flag combination is logged).
    bool Create(uint32_t width, uint32_t format, uint32_t flags, const void* data);

    // Takes over a texture made elsewhere and its view (either may be null); size and
    // format come from the texture.
    void Adopt(ID3D11Texture1D* texture, ID3D11ShaderResourceView* view);

    ID3D11Resource* GetResource() const override;
    uint32_t GetWidth() const override { return width; }
    uint32_t GetHeight() const override { return 1; }
    uint32_t GetDepth() const override { return 1; }
    uint64_t GetMemorySize() const override;
    bool Upload(const void* bytes) override;

    ID3D11Texture1D* GetTexture() const { return texture; }

private:
    void Destroy();

    uint32_t width;
    ID3D11Texture1D* texture;
};

} // namespace Brivet::Graphics
