// "Particle3D": draws "Particle Count" particles into its output texture with an HLSL
// effect whose vertex stage makes each particle from SV_VertexID (six vertices, two
// triangles, per particle; no vertex buffer, no input layout), seen through the camera of a
// G-buffer, with the G-buffer's layers bound by name and its depth as the depth target.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

class Effect;
class GBuffer;
class Texture;

class Particle3D : public Brivet::Assets::Effect::IEffect
{
public:
    static constexpr uint32_t VerticesPerParticle = 6;
    // The most particles a pass draws, as Instancer3D's instances per mesh: 6 × 2^20
    // vertices. A larger "Particle Count" draws that many, warned once.
    static constexpr uint32_t MaxParticles = 1u << 20;

    explicit Particle3D(Brivet::Demo* demo);

    bool Initialize() override; // the first declaration pass; true
    // Takes the resources bound to "Shader" and "GBuffer", declares again and resolves the
    // shader's texture and buffer inputs.
    void OnInputsChanged() override;
    void OnResize() override;
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;
    // Every pass draws 6 × "Particle Count" vertices (at most MaxParticles particles);
    // nothing without a shader with passes, an output texture or particles.
    void Render(const Brivet::RenderContext& context) override;

    // One declaration pass: output "texture", inputs "GBuffer" and "Shader", "Particle
    // Count" (1000), then the shader's listed constants and resources.
    virtual void Declare();

    // The vertices of n particles; counts whose vertices a draw cannot number stop at the
    // last whole particle it can.
    static uint32_t VertexCount(uint32_t particles);

    Effect* shader; // borrowed: bound to "Shader"
    GBuffer* gbuffer; // borrowed: bound to "GBuffer"
    Brivet::Assets::Resource::IResource* output; // borrowed; set by SetOutput
    ReflectedShaderState state;
    Brivet::Parameters::Parameter<unsigned int>* particleCount; // "Particle Count"

private:
    Texture* GetOutputTexture() const; // the output when it is a texture one can draw into

    bool warnedCut = false; // "Particle Count" above MaxParticles was reported
};
