// The full-screen shader layer: draws every pass of an HLSL effect resource over a
// full-screen quad into its output texture, the shader's listed constants and textures
// exposed as the effect's parameters and inputs.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

struct ID3D11Buffer;
struct ID3D11InputLayout;
struct D3D11_INPUT_ELEMENT_DESC;

class Effect;
class Texture;

namespace Brivet::Graphics
{
class DepthStencil;
}

class Layer2D : public Brivet::Assets::Effect::IEffect
{
public:
    // The quad: four vertices of a float3 position and a float2 texture coordinate
    // (v is 0 at the bottom edge), drawn as a triangle strip.
    static constexpr uint32_t VertexStride = 20;
    static constexpr uint32_t VertexCount = 4;
    // The quad's vertices and the two elements of its input layout; the deferred lighting
    // draws the same quad.
    static const float QuadVertices[VertexCount * 5];
    static const D3D11_INPUT_ELEMENT_DESC QuadLayout[2];

    // resource as a texture to draw into; null when it is none (or null).
    static Texture* AsTexture(Brivet::Assets::Resource::IResource* resource);
    // Effect::BindPassTargets, and whether it bound a target to draw into: one of the
    // pass's named targets, else the output's texture.
    static bool BindDrawTargets(Effect* shader, uint32_t pass, Texture* output, Brivet::Graphics::DepthStencil* depth);

    explicit Layer2D(Brivet::Demo* demo);
    // Releases the input layout and the vertex buffer.
    ~Layer2D() override;

    // Vertex buffer, input layout of a bound shader, first declaration pass. False
    // (logged) when a device object cannot be created.
    bool Initialize() override;
    // Takes the shader bound to "Shader", rebuilds the input layout, declares again and
    // resolves the shader's texture and buffer inputs.
    void OnInputsChanged() override;
    void OnResize() override;
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;
    // Every pass of the shader into the output at the context's time; nothing without a
    // shader with passes, an output texture or an input layout.
    void Render(const Brivet::RenderContext& context) override;

    // One declaration pass: output type "texture", the input "Shader", then the bound
    // shader's reflected constants (parameters) and textures and buffers (inputs).
    virtual void DeclareParameters();
    // Called for each pass after its targets and resources are bound and before the
    // constant buffers are uploaded; nothing here, derived layers bind their own data.
    virtual void BindPassConstants(uint32_t pass);

    Effect* GetShader() const { return shader; }
    ID3D11InputLayout* GetInputLayout() const { return inputLayout; }
    const ReflectedShaderState& GetShaderState() const { return shaderState; }

protected:
    // Releases the layout and, with a shader of at least one pass, creates it for the
    // vertex stage of the first pass's current-variation program. False (logged) when the
    // layout cannot be created; no shader or no pass is no failure.
    bool RebuildInputLayout();
    // The output as a texture, or null when it is none (or not set).
    Texture* GetOutputTexture() const;

    ID3D11Buffer* vertexBuffer; // owned
    ID3D11InputLayout* inputLayout; // owned; null until a shader with a pass is bound
    Effect* shader; // borrowed: the resource bound to "Shader"
    Brivet::Assets::Resource::IResource* output; // borrowed; set by SetOutput
    ReflectedShaderState shaderState;

private:
    bool reportedNoTarget; // the warning of a pass without a target is given once
};
