// "AreaTubeLight3D": a tube-shaped area light from "Start Position" to "End Position";
// it casts no shadow.
#pragma once

#include "repository/Effects/LightEffectBase.h"
#include "Rendering/D3DX10Math.h"

class AreaTubeLight3D : public LightEffectBase
{
public:
    explicit AreaTubeLight3D(Brivet::Demo* demo);

    // "Enabled", "Color", "Start Position", "End Position", "Radius"; no input.
    void OnInputsChanged() override;

    Brivet::Parameters::Parameter<D3DXVECTOR3>* colour; // "Color", (1, 1, 1)
    Brivet::Parameters::Parameter<D3DXVECTOR3>* start;  // "Start Position", (0, 0, 0)
    Brivet::Parameters::Parameter<D3DXVECTOR3>* end;    // "End Position", (0, 0, 0)
    Brivet::Parameters::Parameter<float>* radius;       // "Radius", 10

protected:
    void Append(RenderChunk& chunk, float time) override;
};
