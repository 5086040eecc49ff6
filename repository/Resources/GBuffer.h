// The resource of type "gbuffer": the render targets of a deferred renderer. Named colour
// layers and a depth buffer, the camera and ambient colour its renderer used, and one
// shadow-map record per spot and directional light and one shadow-cube record per point
// and area-sphere light. Every target is lent by the demo's render-target pool while the
// G-buffer is acquired (and, for a shadow record, while its light casts shadows).
#pragma once

#include "Assets/Resource/IResource.h"
#include "Base/Array.h"
#include "Rendering/D3DX10Math.h"
#include "repository/Resources/GBufferSettings.h"
#include "repository/Resources/RenderChunk.h"

#include <cstdint>

namespace Brivet::Graphics
{
class DepthStencil;
class ITexture;
class RenderTarget;
class TextureCube;
} // namespace Brivet::Graphics

// Readers (the full-screen G-buffer effects, the particle and text effects) take the
// layers by name (FindLayer), the depth target, the camera block and the shadow records;
// a shadow record is found by its light type and light index (FindShadowMap,
// FindShadowCube), which are those of the render chunk the renderer drew.
class GBuffer : public Brivet::Assets::Resource::IResource
{
public:
    // A named colour layer; target is lent by the pool while acquired, null otherwise.
    struct Layer
    {
        Brivet::Base::String name; // the shader variable it is bound to
        uint32_t format;
        Brivet::Graphics::RenderTarget* target;
    };

    // The shadow of one spot (light type 4) or directional (2) light. A plain record.
    struct ShadowMap
    {
        uint32_t lightType;  // RenderChunk::LightType
        uint32_t lightIndex; // position in the chunk's list of that type
        uint8_t enabled;     // the light is in use this frame
        uint8_t castsShadow;
        Brivet::Graphics::RenderTarget* colourTarget; // shadow-map size and format, mip chain
        Brivet::Graphics::DepthStencil* depthTarget;  // the G-buffer's depth format; none without one
        D3DXMATRIX lightProjection;
        D3DXMATRIX lightToWorld; // its translation row is the light position
        D3DXVECTOR3 attenuation;
        D3DXVECTOR3 direction; // directional lights, as given
        D3DXVECTOR3 colour;
        uint8_t spot;    // 1 for a spot light
        float coneAngle; // outer cone angle, radians
        float coneRatio; // inner over outer cone angle
    };

    // The shadow of one point (3) or area-sphere (5) light. A plain record.
    struct ShadowCube
    {
        uint32_t lightType;
        uint32_t lightIndex;
        uint8_t enabled;
        uint8_t castsShadow;
        Brivet::Graphics::TextureCube* target; // shadow-cube size and format, mip chain
        D3DXMATRIX lightToWorld;               // its translation row is the light position
        D3DXVECTOR3 attenuation;
        D3DXVECTOR3 colour;
        float radius;
    };

    // graph may be null (no demo: nothing can be acquired). Defaults: no targets, size
    // 0 × 0, depth format D24_UNORM_S8_UINT, shadow sizes 1024, shadow formats R32G32_FLOAT.
    explicit GBuffer(Brivet::Compositing::Graph* graph);
    // Gives back what an acquired G-buffer holds, then frees the arrays.
    ~GBuffer() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "gbuffer"
    bool Load(const char* path) override;                                  // false: the type has no files
    // The graph's output size, then the description (GBufferSettings::Parse); false
    // (logged) for a description whose targets could never be made.
    bool CreateDynamic(const Brivet::Utility::XML::Node* xml) override;
    // Appends the "gbuffer" element that CreateDynamic reads.
    bool WriteXml(const Brivet::Utility::XML::Node& xml) override;
    void Unload() override;            // empties both record arrays (targets are not given back)
    uint32_t GetMemorySize() override; // bytes of every target held
    // The first acquisition takes the layers, the depth targets and the targets of the
    // shadow records that need them from the pool, and clears them. Returns the new count.
    uint32_t AcquireTarget() override;
    // The last release gives every target back to the pool. Returns the new count;
    // nothing happens at count 0.
    uint32_t ReleaseTarget() override;
    void Invalidate() override; // Clear while acquired
    void OnResize() override;   // the graph's output size, unless fixed
    void SetDebugName(const Brivet::Base::String& name) override;

    // Layers and shadow-map colour targets to (0, 0, 0, 0), the six faces of every shadow
    // cube likewise, and every depth target to depth 1.0 (stencil untouched).
    virtual void Clear();

    // A record whose light is enabled and casts shadows keeps its targets and gets each
    // one it lacks (cleared); any other record gives its targets back. False when the pool
    // gave no target (the record keeps what it got).
    bool AcquireShadowMap(ShadowMap& record);
    bool AcquireShadowCube(ShadowCube& record);

    // The layers' views as render targets (in layer order, at most 8) with depth's view
    // (null: the G-buffer's own depth target, else none); viewport over the G-buffer.
    void Bind(Brivet::Graphics::DepthStencil* depth = nullptr);

    // The layer of that name (compared by lower-case hash), or null.
    Layer* FindLayer(const Brivet::Base::String& name);
    // The record of a light, or null.
    ShadowMap* FindShadowMap(uint32_t lightType, uint32_t lightIndex);
    ShadowCube* FindShadowCube(uint32_t lightType, uint32_t lightIndex);

    uint32_t GetWidth() const { return settings.width; }
    uint32_t GetHeight() const { return settings.height; }
    uint32_t GetUseCount() const { return useCount; }

    GBufferSettings settings;                    // size, depth format, layer formats, shadow sizes and formats
    uint32_t useCount;                           // acquisitions not yet released
    Brivet::Base::Array<Layer> layers;           // in description order
    Brivet::Graphics::DepthStencil* depthTarget; // lent while acquired
    RenderChunk::CameraBlock camera;             // written by the renderer
    RenderChunk::AmbientBlock ambient;           // written by the renderer
    Brivet::Base::Array<ShadowMap> shadowMaps;
    Brivet::Base::Array<ShadowCube> shadowCubes;
    // A 2D depth buffer of the shadow-cube size, shared by every cube face; lent while acquired.
    Brivet::Graphics::DepthStencil* cubeDepthTarget;

    // Bytes the shadow targets of one G-buffer may hold, counted at 16 bytes a pixel with
    // the mip chain; records past it get no target (their lights draw unshadowed).
    static constexpr uint64_t MaxShadowBytes = 2ull << 30;

private:
    // The counted bytes of one shadow map (colour and depth) or cube.
    uint64_t ShadowMapBytes() const;
    uint64_t ShadowCubeBytes() const;
    // True when a target of bytes fits the budget; warns once when it does not.
    bool ShadowFits(uint64_t bytes);

    uint64_t shadowBytes;    // counted bytes of the shadow targets held
    bool warnedShadowBudget; // the budget's warning was logged
    // Gives target back to the pool when there is one and nulls it.
    template <typename Target>
    void GiveBack(Target*& target);
    // Everything held back to the pool.
    void ReleaseAll();
    // visit(target pointer by reference) for every target pointer: layers, depth, each
    // shadow map's colour and depth, each shadow cube, the cube depth.
    template <typename Visit>
    void ForEachTarget(Visit visit);
};
