// SpotLight3D: one light from animatable parameters.
#include "repository/Effects/SpotLight3D.h"

#include "Parameters/Parameter.h"
#include "Rendering/MathRoutines.h"
#include "repository/Resources/RenderChunk.h"

namespace
{
constexpr double DegreesToRadians = 0.017453292519943295; // the product is taken in double
const D3DXVECTOR3 Up(0.0f, 1.0f, 0.0f);                   // the same for every spot light
} // namespace

SpotLight3D::SpotLight3D(Brivet::Demo* demo)
    : LightEffectBase(demo), castsShadows(nullptr), colour(nullptr), position(nullptr), target(nullptr),
      outerCone(nullptr), innerCone(nullptr)
{
}

void SpotLight3D::OnInputsChanged()
{
    DeclareEnabled();
    castsShadows = AddParameter<bool>("Casts Shadows", false);
    colour = AddParameter<D3DXVECTOR3>("Color", D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    position = AddParameter<D3DXVECTOR3>("Position", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    target = AddParameter<D3DXVECTOR3>("Target", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    outerCone = AddParameter<float>("Cone Outer Angle", 40.0f);
    innerCone = AddParameter<float>("Cone Inner Angle", 30.0f);
}

void SpotLight3D::Append(RenderChunk& chunk, float time)
{
    RenderChunk::SpotLight* added = chunk.AddLight(chunk.spotLights);
    if (!added)
        return;
    RenderChunk::SpotLight& light = *added;
    light.enabled = 1;
    light.castsShadow = castsShadows->GetValue(time) ? 1 : 0;
    light.colour = colour->GetValue(time);
    light.outerCone = static_cast<float>(outerCone->GetValue(time) * DegreesToRadians);
    light.innerCone = static_cast<float>(innerCone->GetValue(time) * DegreesToRadians);
    const D3DXVECTOR3 eye = position->GetValue(time);
    const D3DXVECTOR3 at = target->GetValue(time);
    Brivet::Rendering::LookAtOrientation(&light.lightToWorld, &eye, &at, &Up);
}
