// "DirectionalLight3D": a light from "Direction", casting into a shadow map that follows
// the renderer's camera when "Casts Shadows" is set.
#pragma once

#include "repository/Effects/LightEffectBase.h"
#include "Rendering/D3DX10Math.h"

class DirectionalLight3D : public LightEffectBase
{
public:
    explicit DirectionalLight3D(Brivet::Demo* demo);

    // "Enabled", "Casts Shadows", "Color", "Direction", "Shadow Source Distance", "Shadow Size"; no input.
    void OnInputsChanged() override;

    Brivet::Parameters::Parameter<bool>* castsShadows;          // "Casts Shadows", false
    Brivet::Parameters::Parameter<D3DXVECTOR3>* colour;         // "Color", (1, 1, 1)
    Brivet::Parameters::Parameter<D3DXVECTOR3>* direction;      // "Direction", (0, -1, 0)
    Brivet::Parameters::Parameter<float>* shadowSourceDistance; // "Shadow Source Distance", 100
    Brivet::Parameters::Parameter<D3DXVECTOR2>* shadowSize;     // "Shadow Size", (100, 100)

protected:
    void Append(RenderChunk& chunk, float time) override;
};
