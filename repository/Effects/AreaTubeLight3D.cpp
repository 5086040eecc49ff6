// AreaTubeLight3D: one light from animatable parameters.
#include "repository/Effects/AreaTubeLight3D.h"

#include "Parameters/Parameter.h"
#include "repository/Resources/RenderChunk.h"

AreaTubeLight3D::AreaTubeLight3D(Brivet::Demo* demo)
    : LightEffectBase(demo), colour(nullptr), start(nullptr), end(nullptr), radius(nullptr)
{
}

void AreaTubeLight3D::OnInputsChanged()
{
    DeclareEnabled();
    colour = AddParameter<D3DXVECTOR3>("Color", D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    start = AddParameter<D3DXVECTOR3>("Start Position", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    end = AddParameter<D3DXVECTOR3>("End Position", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    radius = AddParameter<float>("Radius", 10.0f);
}

void AreaTubeLight3D::Append(RenderChunk& chunk, float time)
{
    RenderChunk::AreaTubeLight* added = chunk.AddLight(chunk.areaTubeLights);
    if (!added)
        return;
    RenderChunk::AreaTubeLight& light = *added;
    light.enabled = 1;
    light.castsShadow = 0;
    light.colour = colour->GetValue(time);
    light.start = start->GetValue(time);
    light.end = end->GetValue(time);
    light.radius = radius->GetValue(time);
}
