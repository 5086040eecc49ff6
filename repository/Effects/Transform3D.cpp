// Transform3D: one input chunk under one transform.
#include "repository/Effects/Transform3D.h"

#include "RenderContext.h"
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::StaticString;

Transform3D::Transform3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), input(nullptr)
{
}

void Transform3D::OnInputsChanged()
{
    RetireInputs();
    RetireParameters();
    transform.Declare(this);
    DeclareInput(StaticString<64>("Input"), StaticString<64>("RenderChunk"));
    input = BoundChunk(StaticString<64>("Input"));
}

void Transform3D::OnInputsResolved()
{
    Update(0.0f);
}

void Transform3D::Render(const Brivet::RenderContext& context)
{
    Update(context.time);
}

void Transform3D::Update(float time)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk || !input)
        return;
    D3DXMATRIX m, previous;
    transform.ComputePair(&m, &previous, time);
    chunk->Merge(input, &m, &previous);
}
