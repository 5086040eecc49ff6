// A 2D texture: width × height × 1, with the views its flags ask for (shader resource,
// render target, unordered access); dynamic textures take uploads, staging ones CPU reads.
#pragma once

#include "Graphics/ITexture.h"

struct ID3D11Texture2D;

namespace Brivet::Graphics
{

class Texture2D : public ITexture
{
public:
    explicit Texture2D(System* system);
    ~Texture2D() override; // releases the texture, then the views

    // flags are TextureFlags; data (or null) is level 0 as packed rows. False when
    // Direct3D refuses the texture or a view (a refused flag combination is logged).
    bool Create(uint32_t width, uint32_t height, uint32_t format, uint32_t flags, const void* data);

    // Takes over a texture made elsewhere and its view (either may be null); size and
    // format come from the texture.
    void Adopt(ID3D11Texture2D* texture, ID3D11ShaderResourceView* view);

    ID3D11Resource* GetResource() const override;
    uint32_t GetWidth() const override { return width; }
    uint32_t GetHeight() const override { return height; }
    uint32_t GetDepth() const override { return 1; }
    uint64_t GetMemorySize() const override;
    bool Upload(const void* bytes) override;

    ID3D11Texture2D* GetTexture() const { return texture; }

protected:
    void Destroy(); // the texture and the common views

    uint32_t width;
    uint32_t height;
    ID3D11Texture2D* texture;
};

} // namespace Brivet::Graphics
