// The resource of type "cubetexture": a cube-map render target of its own (never lent by
// the pool) with an optional depth buffer, into which the cube renderer draws the six
// faces of an environment. Bound to an effect input it gives the cube, so a shader
// samples it as a TextureCube.
#pragma once

#include "repository/Resources/Texture.h"

#include <cstdint>

namespace Brivet::Graphics
{
class DepthStencil;
class TextureCube;
}

class CubeTextureRenderTarget : public Texture
{
public:
    static constexpr uint32_t DefaultEdge = 256;

    explicit CubeTextureRenderTarget(Brivet::Compositing::Graph* graph); // graph may be null
    ~CubeTextureRenderTarget() override; // deletes the cube and the depth buffer

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "cubetexture"
    // "cubetexture" and "texture", in any case.
    bool IsCompatible(const Brivet::Base::StaticString<64>& type) const override;
    bool Load(const char* path) override; // false: there is no file form
    // Edge 256, R8G8B8A8_UNORM and no depth unless the "rendertarget" child of xml (may be
    // null) says otherwise; creates the cube (and the depth buffer) and clears them. False
    // (logged) when a creation fails.
    bool CreateDynamic(const Brivet::Utility::XML::Node* xml) override;
    // Appends the "rendertarget" element that CreateDynamic reads.
    bool WriteXml(const Brivet::Utility::XML::Node& xml) override;
    void Unload() override; // deletes the cube and the depth buffer
    uint32_t GetMemorySize() override; // the cube's bytes
    // The targets are owned, never pooled: nothing happens, 0.
    uint32_t AcquireTarget() override;
    uint32_t ReleaseTarget() override;
    // The six faces to (0, 0, 0, 0), the depth buffer to 1.0.
    void Invalidate() override;
    void OnResize() override; // the edge stays: it does not follow the output size

    Brivet::Graphics::ITexture* GetTexture() override; // the cube
    Brivet::Graphics::ITexture* GetDepthTexture() override; // the depth buffer or null

    // Reads "dimensions" ("%d": the edge), "format" and "depthFormat" (exact names of the
    // format table; an unknown name gives 0, which for the depth means no depth buffer).
    void ParseRenderTarget(const Brivet::Utility::XML::Node& element);

    Brivet::Graphics::TextureCube* GetCube() const { return cube; }
    Brivet::Graphics::DepthStencil* GetDepth() const { return depth; }
    uint32_t GetEdge() const { return settings.width; }

private:
    void Destroy();

    Brivet::Graphics::TextureCube* cube; // owned
    Brivet::Graphics::DepthStencil* depth; // owned; null without a depth format
};
