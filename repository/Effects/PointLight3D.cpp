// PointLight3D: one light from animatable parameters.
#include "repository/Effects/PointLight3D.h"

#include "Parameters/Parameter.h"
#include "repository/Resources/RenderChunk.h"

PointLight3D::PointLight3D(Brivet::Demo* demo)
    : LightEffectBase(demo), castsShadows(nullptr), colour(nullptr), attenuation(nullptr), position(nullptr),
      radius(nullptr)
{
}

void PointLight3D::OnInputsChanged()
{
    DeclareEnabled();
    castsShadows = AddParameter<bool>("Casts Shadows", false);
    colour = AddParameter<D3DXVECTOR3>("Color", D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    attenuation = AddParameter<D3DXVECTOR3>("Attenuation", D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    position = AddParameter<D3DXVECTOR3>("Position", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    radius = AddParameter<float>("Radius", 100.0f);
}

void PointLight3D::Append(RenderChunk& chunk, float time)
{
    RenderChunk::PointLight* added = chunk.AddLight(chunk.pointLights);
    if (!added)
        return;
    RenderChunk::PointLight& light = *added;
    light.enabled = 1;
    light.castsShadow = castsShadows->GetValue(time) ? 1 : 0;
    light.colour = colour->GetValue(time);
    light.attenuation = attenuation->GetValue(time);
    light.radius = radius->GetValue(time);
    const D3DXVECTOR3 p = position->GetValue(time);
    D3DXMatrixTranslation(&light.lightToWorld, p.x, p.y, p.z);
}
