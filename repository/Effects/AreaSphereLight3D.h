// "AreaSphereLight3D": a spherical area light at "Position", casting into a shadow cube
// when "Casts Shadows" is set.
#pragma once

#include "repository/Effects/LightEffectBase.h"
#include "Rendering/D3DX10Math.h"

class AreaSphereLight3D : public LightEffectBase
{
public:
    explicit AreaSphereLight3D(Brivet::Demo* demo);

    // "Enabled", "Casts Shadows", "Color", "Attenuation", "Position", "Light Radius", "Render Radius"; no input.
    void OnInputsChanged() override;

    Brivet::Parameters::Parameter<bool>* castsShadows;       // "Casts Shadows", false
    Brivet::Parameters::Parameter<D3DXVECTOR3>* colour;      // "Color", (1, 1, 1)
    Brivet::Parameters::Parameter<D3DXVECTOR3>* attenuation; // "Attenuation", (1, 0, 0)
    Brivet::Parameters::Parameter<D3DXVECTOR3>* position;    // "Position", (0, 0, 0)
    Brivet::Parameters::Parameter<float>* lightRadius;       // "Light Radius", 10
    Brivet::Parameters::Parameter<float>* renderRadius;      // "Render Radius", 100

protected:
    void Append(RenderChunk& chunk, float time) override;
};
