// The resource of type "texture": an image file of the archive decoded into a GPU
// texture, or a render target created from a description whose colour and depth targets
// are lent by the demo's render-target pool while it is acquired.
#pragma once

#include "Assets/Resource/ITextureResource.h"
#include "repository/Resources/TextureSettings.h"

#include <cstdint>

struct ID3D11Resource;
struct ID3D11ShaderResourceView;

namespace Brivet::Graphics
{
class DepthStencil;
class ITexture;
}

class Texture : public Brivet::Assets::Resource::ITextureResource
{
public:
    // graph may be null (no demo: nothing can be loaded or acquired).
    explicit Texture(Brivet::Compositing::Graph* graph);
    // Unload: a file texture deletes its textures, a render target gives held targets back.
    ~Texture() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "texture"
    // File mode: reads the archive entry and decodes it with the loader its first bytes
    // pick. False, with the texture left null, when anything fails.
    bool Load(const char* path) override;
    // Render-target mode from the node's description (may be null). Always true.
    bool CreateDynamic(const Brivet::Utility::XML::Node* xml) override;
    // Appends the "rendertarget" element that CreateDynamic reads.
    bool WriteXml(const Brivet::Utility::XML::Node& xml) override;
    void Unload() override;
    uint32_t GetMemorySize() override; // the colour texture's bytes (depth not counted)
    // Render targets only: the first acquisition takes the targets from the pool and
    // clears them. Returns the new count; 0, and nothing held, when the pool gave no
    // target (logged) or the texture is not a render target.
    uint32_t AcquireTarget() override;
    // Render targets only: the last release gives the targets back to the pool. Returns
    // the new count; nothing happens at count 0.
    uint32_t ReleaseTarget() override;
    // Clears the colour target to transparent black and the depth to 1.0.
    void Invalidate() override;
    void OnResize() override; // render targets: UpdateSize; nothing is recreated
    void SetDebugName(const Brivet::Base::String& name) override;

    // The colour texture: owned in file mode, lent by the pool while a render target is
    // acquired (null otherwise).
    Brivet::Graphics::ITexture* GetTexture() override;
    // The depth target (a DepthStencil) or null.
    virtual Brivet::Graphics::ITexture* GetDepthTexture();

    // The colour texture as the only render target with depth's view (null: the own depth
    // target, or none), viewport over the texture. Nothing without a colour texture.
    void BindAsRenderTarget(Brivet::Graphics::DepthStencil* depth = nullptr);
    // The two steps of CreateDynamic; OnResize runs UpdateSize again.
    void ParseRenderTarget(const Brivet::Utility::XML::Node& element);
    void UpdateSize();

    // Takes over what an image loader made (a reference of each): wraps it by dimension in
    // a Texture1D, Texture2D (cube maps and arrays too) or Texture3D and takes the size
    // and format from it. False, releasing both, for null or another dimension.
    bool AdoptLoaded(ID3D11Resource* resource, ID3D11ShaderResourceView* view);

    // The output size of graph's output node; 0 × 0 without graph or output node.
    static void GetOutputSize(const Brivet::Compositing::Graph* graph, uint32_t& width, uint32_t& height);

    uint32_t GetWidth() const { return settings.width; }
    uint32_t GetHeight() const { return settings.height; }
    uint32_t GetFormat() const { return settings.format; }
    uint32_t GetAcquireCount() const { return acquireCount; }
    bool IsRenderTarget() const { return renderTarget != 0; }

    uint8_t sRGB; // file mode: decode as sRGB
    TextureSettings settings; // size mode, width, height, format, depth format
    uint8_t renderTarget; // set for every texture made from a description

protected:
    // Gives pooled targets back, or deletes owned textures; count 0, pointers null.
    void DropTargets();

    Brivet::Graphics::ITexture* texture;
    Brivet::Graphics::ITexture* depthTexture;
    uint32_t acquireCount;
};
