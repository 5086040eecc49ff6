// "LayerGBuffer2D": a Layer2D that binds a G-buffer to every pass: its colour layers by
// name, its depth buffer as "texDepth", the camera it was rendered with and its first
// shadow map with that light's constants. The base of full-screen post-processing over a
// deferred renderer's G-buffer.
#pragma once

#include "repository/Effects/Layer2D.h"

#include <cstdint>

class GBuffer;
struct ID3D11ShaderResourceView;

namespace Brivet::Graphics
{
class ITexture;
class Texture2D;
} // namespace Brivet::Graphics

class LayerGBuffer2D : public Layer2D
{
public:
    explicit LayerGBuffer2D(Brivet::Demo* demo);
    ~LayerGBuffer2D() override; // deletes the empty texture

    // Layer2D's, then the empty texture that stands for a missing one; false (logged) when
    // it cannot be made.
    bool Initialize() override;

    // Layer2D's, then the G-buffer bound to "GBuffer".
    void OnInputsChanged() override;
    // Layer2D's declarations, then the input "GBuffer"; with a shader, whether it has
    // "matInvView", "matInvProjection" and "matWorldToLight".
    void DeclareParameters() override;
    // The G-buffer's layers, depth, camera and first casting shadow map to the pass's
    // program; nothing without a G-buffer.
    void BindPassConstants(uint32_t pass) override;

    GBuffer* gbuffer; // borrowed: the resource bound to "GBuffer"
    // One texel of zeros, bound where a layer, the depth or the shadow map is missing.
    Brivet::Graphics::Texture2D* emptyTexture; // owned
    uint8_t hasInvView;
    uint8_t hasInvProjection;
    uint8_t hasWorldToLight;

private:
    // The view of target, or the empty texture's when there is no target.
    ID3D11ShaderResourceView* ViewOf(const Brivet::Graphics::ITexture* target) const;
};
