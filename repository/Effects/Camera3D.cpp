// Camera3D: a camera block from animatable parameters.
#include "repository/Effects/Camera3D.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::StaticString;

Camera3D::Camera3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), enabled(nullptr), orthographic(nullptr), clipPlanes(nullptr), fieldOfView(nullptr)
{
}

void Camera3D::OnInputsChanged()
{
    RetireInputs();
    RetireParameters();
    enabled = AddParameter<bool>("Enabled", false);
    orthographic = AddParameter<bool>("IsOrtho", false);
    transform.Declare(this);
    clipPlanes = AddParameter<D3DXVECTOR2>("ClipPlanes", D3DXVECTOR2(0.01f, 1000.0f));
    fieldOfView = AddParameter<float>("FOV", 90.0f);
    DeclareInput(StaticString<64>("Input"), StaticString<64>("RenderChunk"));
}

void Camera3D::OnInputsResolved()
{
    Update(0.0f);
}

void Camera3D::Render(const Brivet::RenderContext& context)
{
    Update(context.time);
}

void Camera3D::Update(float time)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk || !enabled || !enabled->GetValue(time))
        return;

    // The camera's world transform; the view is its inverse.
    D3DXMATRIX m, previous;
    transform.ComputePair(&m, &previous, time);
    const D3DXVECTOR3 position = transform.position->GetValue(time);
    const D3DXVECTOR2 planes = clipPlanes->GetValue(time);

    RenderChunk::CameraBlock& camera = chunk->camera;
    camera.priority = RenderChunk::PriorityEffect;
    camera.orthographic = orthographic->GetValue(time) ? 1 : 0;
    camera.position = D3DXVECTOR4(position.x, position.y, position.z, 1.0f);
    camera.fieldOfView = fieldOfView->GetValue(time);
    camera.nearPlane = planes.x;
    camera.farPlane = planes.y;
    D3DXMatrixInverse(&camera.view, nullptr, &m);
    D3DXMatrixInverse(&camera.previousView, nullptr, &previous);
}
