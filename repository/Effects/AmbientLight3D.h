// "AmbientLight3D": the ambient colour, at a priority above an imported scene's.
#pragma once

#include "repository/Effects/LightEffectBase.h"
#include "Rendering/D3DX10Math.h"

class AmbientLight3D : public LightEffectBase
{
public:
    explicit AmbientLight3D(Brivet::Demo* demo);

    // "Enabled", "Color"; no input.
    void OnInputsChanged() override;

    Brivet::Parameters::Parameter<D3DXVECTOR3>* colour; // "Color", (1, 1, 1)

protected:
    void Append(RenderChunk& chunk, float time) override;
};
