// A cube texture: six square faces with a cube shader-resource view and, with flag 2,
// one render-target view per face.
#pragma once

#include "Graphics/ITexture.h"

struct ID3D11Texture2D;

namespace Brivet::Graphics
{

class DepthStencil;

class TextureCube : public ITexture
{
public:
    static constexpr uint32_t FaceCount = 6;

    explicit TextureCube(System* system);
    ~TextureCube() override; // releases the faces and the texture, then the views

    // flags are TextureFlags; data (or null) is level 0 of the six faces one after another,
    // each size rows. Dynamic, staging and unordered-access cubes are refused (logged).
    bool Create(uint32_t size, uint32_t format, uint32_t flags, const void* data);

    // That face (0 to 5) as the only render target with depth's view (or none), viewport
    // (0, 0, size, size). Nothing for a face without a view.
    void BindFace(uint32_t face, DepthStencil* depth);

    ID3D11Resource* GetResource() const override;
    uint32_t GetWidth() const override { return size; }
    uint32_t GetHeight() const override { return size; }
    uint32_t GetDepth() const override { return size; }
    uint64_t GetMemorySize() const override;

    ID3D11Texture2D* GetTexture() const { return texture; }
    ID3D11RenderTargetView* GetFaceView(uint32_t face) const { return face < FaceCount ? faces[face] : nullptr; }

private:
    void Destroy();

    ID3D11RenderTargetView* faces[FaceCount];
    uint32_t size;
    ID3D11Texture2D* texture;
};

} // namespace Brivet::Graphics
