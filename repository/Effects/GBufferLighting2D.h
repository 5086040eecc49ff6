// "GBufferLighting2D": deferred lighting. Lights a G-buffer that a RendererGBuffer3D filled
// with the lights of a render chunk, into its output texture. Each pass of the effect file
// names a light type and is drawn once per enabled light of that type (the ambient pass
// once): ambient, directional and tube lights over a full-screen quad, point and
// area-sphere lights as a sphere volume and spot lights as a cone volume that the pass's
// vertex stage places and scales, so only the pixels a light can reach are shaded. A
// light's shadow map or cube comes from the G-buffer's record of its type and index.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "Rendering/D3DX10Math.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

struct ID3D11Buffer;
struct ID3D11DepthStencilState;
struct ID3D11InputLayout;
struct ID3D11RasterizerState;
struct ID3D11ShaderResourceView;
struct D3D11_INPUT_ELEMENT_DESC;

class Effect;
class RenderChunk;

namespace Brivet::Graphics
{
class Program;
}

class GBufferLighting2D : public Brivet::Assets::Effect::IEffect
{
public:
    // The light volumes in object space (the full-screen quad is Layer2D's), one float3 per vertex, triangle lists: the unit
    // sphere in 8 × 8 patches, and a cone of 10 segments from its apex at the origin to
    // a base circle of radius 1 in the plane z = 1.
    static constexpr uint32_t VolumeStride = 12;
    static constexpr uint32_t SphereVertexCount = 384;
    static constexpr uint32_t ConeVertexCount = 60;

    explicit GBufferLighting2D(Brivet::Demo* demo);
    // Releases the buffers, layouts and states.
    ~GBufferLighting2D() override;

    // The three vertex buffers, the layouts of a bound shader, the depth and rasterizer
    // states, the first declaration pass. False (logged) when a buffer or layout fails.
    bool Initialize() override;
    // Takes the shader, G-buffer and chunk bound, rebuilds the layouts, declares again
    // and resolves the shader's texture and buffer inputs.
    void OnInputsChanged() override;
    void OnResize() override;
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;
    // Every pass into the output, each drawn per enabled light of its type; nothing
    // without a shader with passes, an output texture, a chunk and a G-buffer.
    void Render(const Brivet::RenderContext& context) override;

    // The object-space volumes: xyz holds SphereVertexCount or ConeVertexCount × 3 floats.
    static void BuildSphere(float* xyz);
    static void BuildCone(float* xyz);

    Effect* GetShader() const { return shader; }

    ID3D11Buffer* quadBuffer;                    // owned
    ID3D11Buffer* sphereBuffer;                  // owned
    ID3D11Buffer* coneBuffer;                    // owned
    ID3D11InputLayout* positionLayout;           // owned; "POSITION" only; null without a shader
    ID3D11InputLayout* quadLayout;               // owned; "POSITION" and "TEXCOORD"
    ID3D11RasterizerState* cullBackState;        // owned
    ID3D11DepthStencilState* outsideDepthState;  // owned; depth LESS, no writes
    ID3D11RasterizerState* cullFrontState;       // owned
    ID3D11DepthStencilState* insideDepthState;   // owned; depth GREATER, no writes
    Effect* shader;                              // borrowed: the resource bound to "Shader"
    RenderChunk* chunk;                          // borrowed: the resource bound to "Render Chunk"
    GBuffer* gbuffer;                            // borrowed: the resource bound to "GBuffer"
    Brivet::Assets::Resource::IResource* output; // borrowed; set by SetOutput
    ReflectedShaderState shaderState;
    uint8_t hasInvView;
    uint8_t hasInvProjection;
    uint8_t hasDepthTexture; // the shader reads "texDepth": the depth buffer is bound as a texture

protected:
    // Binds the program's stages with its changed constants and draws vertexCount vertices
    // of the bound geometry from vertex 0. Tests derive to look at the pipeline per draw.
    virtual void Draw(Brivet::Graphics::Program* program, uint32_t vertexCount);

private:
    // Releases both layouts and, with a shader of at least one pass, creates each for the
    // vertex stage of the current-variation program of the first pass that draws with it:
    // the quad layout for the ambient, directional and tube passes, the position layout
    // for the point, spot and area-sphere passes. False (logged, that layout missing) when
    // one cannot be created; no shader, no pass or no pass of a layout is no failure.
    bool RebuildInputLayouts();
    bool BuildInputLayout(bool volume, const D3D11_INPUT_ELEMENT_DESC* elements, uint32_t count,
                          ID3D11InputLayout** layout, const char* failure);
    // Whether a pass of the light type draws with the volume layout (volume) or the quad one.
    static bool DrawsWith(uint32_t lightType, bool volume);
    // One declaration pass: output type "texture", the inputs "Shader", "GBuffer" and
    // "Render Chunk", then the bound shader's reflected constants and resources.
    void Declare();

    // The pass's light type drawn per enabled light of the chunk.
    void DrawLights(uint32_t pass);
    // Each enabled light with its record (found by type and index) or, without one, its
    // own data unshadowed.
    template <typename Light>
    void DrawMapLights(uint32_t pass, const Brivet::Base::Array<Light>& lights, uint32_t vertexCount);
    template <typename Light>
    void DrawCubeLights(uint32_t pass, const Brivet::Base::Array<Light>& lights);
    // The quad with the outside depth and cull-back states (each only where the pass
    // defines none), or the volume mesh; false when its layout is missing.
    bool BindQuad(uint32_t pass);
    bool BindVolume(ID3D11Buffer* buffer);
    // One light's variation, states, constants and shadow view; the program that draws it.
    // Directional and spot lights: record holds the light's data and, when shadowed, its
    // shadow map.
    Brivet::Graphics::Program* SetMapLight(uint32_t pass, const GBuffer::ShadowMap& record, bool shadowed);
    // Point and area-sphere lights; coverage is the radius the volume must reach.
    Brivet::Graphics::Program* SetCubeLight(uint32_t pass, const GBuffer::ShadowCube& record, bool shadowed,
                                            float coverage);
    // Sets or clears the shader's "ENABLE_SHADOWS" bit; returns the program that draws
    // with it (CurrentProgram).
    Brivet::Graphics::Program* SelectVariation(uint32_t pass, bool shadowed);
    // The pass's program of the current variation, with the pass's views bound for it.
    Brivet::Graphics::Program* CurrentProgram(uint32_t pass);
    // The pass's samplers and internal textures, the G-buffer's layers by name and, for a
    // shader that reads it, its depth as "texDepth", and the reflected resources, onto the
    // pass's program of the current variation.
    void BindViews(uint32_t pass, Brivet::Graphics::Program* program);
    // record (the G-buffer's of the light of that type and index) when it is in use this
    // frame; else null, the first time in the effect's life with a warning.
    template <typename Record>
    const Record* InUse(const Record* record, uint32_t type, uint32_t index);
    void ReportMissingRecord(uint32_t type, uint32_t index);

    Brivet::Graphics::Program* viewsBoundFor; // the program whose slots the pass's views were bound by last
    bool reportedMissingRecord;               // the warning of a light without a record is given once
    bool reportedNoTarget;                    // the warning of a pass without a target is given once
};
