// DirectionalLight3D: one light from animatable parameters.
#include "repository/Effects/DirectionalLight3D.h"

#include "Parameters/Parameter.h"
#include "repository/Resources/RenderChunk.h"

DirectionalLight3D::DirectionalLight3D(Brivet::Demo* demo)
    : LightEffectBase(demo), castsShadows(nullptr), colour(nullptr), direction(nullptr), shadowSourceDistance(nullptr),
      shadowSize(nullptr)
{
}

void DirectionalLight3D::OnInputsChanged()
{
    DeclareEnabled();
    castsShadows = AddParameter<bool>("Casts Shadows", false);
    colour = AddParameter<D3DXVECTOR3>("Color", D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    direction = AddParameter<D3DXVECTOR3>("Direction", D3DXVECTOR3(0.0f, -1.0f, 0.0f));
    shadowSourceDistance = AddParameter<float>("Shadow Source Distance", 100.0f);
    shadowSize = AddParameter<D3DXVECTOR2>("Shadow Size", D3DXVECTOR2(100.0f, 100.0f));
}

void DirectionalLight3D::Append(RenderChunk& chunk, float time)
{
    RenderChunk::DirectionalLight* added = chunk.AddLight(chunk.directionalLights);
    if (!added)
        return;
    RenderChunk::DirectionalLight& light = *added;
    light.enabled = 1;
    light.castsShadow = castsShadows->GetValue(time) ? 1 : 0;
    light.colour = colour->GetValue(time);
    light.direction = direction->GetValue(time); // as given, not normalised
    light.shadowSourceDistance = shadowSourceDistance->GetValue(time);
    light.shadowSize = shadowSize->GetValue(time);
}
