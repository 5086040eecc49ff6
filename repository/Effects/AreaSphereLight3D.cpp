// AreaSphereLight3D: one light from animatable parameters.
#include "repository/Effects/AreaSphereLight3D.h"

#include "Parameters/Parameter.h"
#include "repository/Resources/RenderChunk.h"

AreaSphereLight3D::AreaSphereLight3D(Brivet::Demo* demo)
    : LightEffectBase(demo), castsShadows(nullptr), colour(nullptr), attenuation(nullptr), position(nullptr),
      lightRadius(nullptr), renderRadius(nullptr)
{
}

void AreaSphereLight3D::OnInputsChanged()
{
    DeclareEnabled();
    castsShadows = AddParameter<bool>("Casts Shadows", false);
    colour = AddParameter<D3DXVECTOR3>("Color", D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    attenuation = AddParameter<D3DXVECTOR3>("Attenuation", D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    position = AddParameter<D3DXVECTOR3>("Position", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    lightRadius = AddParameter<float>("Light Radius", 10.0f);
    renderRadius = AddParameter<float>("Render Radius", 100.0f);
}

void AreaSphereLight3D::Append(RenderChunk& chunk, float time)
{
    RenderChunk::AreaSphereLight* added = chunk.AddLight(chunk.areaSphereLights);
    if (!added)
        return;
    RenderChunk::AreaSphereLight& light = *added;
    light.enabled = 1;
    light.castsShadow = castsShadows->GetValue(time) ? 1 : 0;
    light.colour = colour->GetValue(time);
    light.attenuation = attenuation->GetValue(time);
    light.lightRadius = lightRadius->GetValue(time);
    light.renderRadius = renderRadius->GetValue(time);
    const D3DXVECTOR3 p = position->GetValue(time);
    D3DXMatrixTranslation(&light.lightToWorld, p.x, p.y, p.z);
}
