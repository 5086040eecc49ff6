// "SpotLight3D": a spot light at "Position" aimed at "Target" with cone angles in degrees,
// casting into a shadow map when "Casts Shadows" is set.
#pragma once

#include "repository/Effects/LightEffectBase.h"
#include "Rendering/D3DX10Math.h"

class SpotLight3D : public LightEffectBase
{
public:
    explicit SpotLight3D(Brivet::Demo* demo);

    // "Enabled", "Casts Shadows", "Color", "Position", "Target", "Cone Outer Angle",
    // "Cone Inner Angle"; no input.
    void OnInputsChanged() override;

    Brivet::Parameters::Parameter<bool>* castsShadows;    // "Casts Shadows", false
    Brivet::Parameters::Parameter<D3DXVECTOR3>* colour;   // "Color", (1, 1, 1)
    Brivet::Parameters::Parameter<D3DXVECTOR3>* position; // "Position", (0, 0, 0)
    Brivet::Parameters::Parameter<D3DXVECTOR3>* target;   // "Target", (0, 0, 0)
    Brivet::Parameters::Parameter<float>* outerCone;      // "Cone Outer Angle", 40
    Brivet::Parameters::Parameter<float>* innerCone;      // "Cone Inner Angle", 30

protected:
    void Append(RenderChunk& chunk, float time) override;
};
