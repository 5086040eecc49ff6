// AmbientLight3D: one ambient colour from animatable parameters.
#include "repository/Effects/AmbientLight3D.h"

#include "Parameters/Parameter.h"
#include "repository/Resources/RenderChunk.h"

AmbientLight3D::AmbientLight3D(Brivet::Demo* demo) : LightEffectBase(demo), colour(nullptr) {}

void AmbientLight3D::OnInputsChanged()
{
    DeclareEnabled();
    colour = AddParameter<D3DXVECTOR3>("Color", D3DXVECTOR3(1.0f, 1.0f, 1.0f));
}

void AmbientLight3D::Append(RenderChunk& chunk, float time)
{
    chunk.ambient.priority = RenderChunk::PriorityEffect;
    chunk.ambient.colour = colour->GetValue(time);
}
