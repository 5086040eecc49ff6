// "LayerGBuffer2D": a Layer2D that binds a G-buffer to every pass: its colour layers by
// name, its depth buffer as "texDepth", the camera it was rendered with and its first
// shadow map with that light's constants. The base of full-screen post-processing over a
// deferred renderer's G-buffer.
#pragma once

#include "repository/Effects/Layer2D.h"

#include <cstdint>

class GBuffer;

class LayerGBuffer2D : public Layer2D
{
public:
    explicit LayerGBuffer2D(Brivet::Demo* demo);

    // Layer2D's, then the G-buffer bound to "GBuffer".
    void OnInputsChanged() override;
    // Layer2D's declarations, then the input "GBuffer"; with a shader, whether it has
    // "matInvView", "matInvProjection" and "matWorldToLight".
    void DeclareParameters() override;
    // The G-buffer's layers, depth, camera and first casting shadow map to the pass's
    // program; nothing without a G-buffer.
    void BindPassConstants(uint32_t pass) override;

    GBuffer* gbuffer; // borrowed: the resource bound to "GBuffer"
    uint8_t hasInvView;
    uint8_t hasInvProjection;
    uint8_t hasWorldToLight;
};
