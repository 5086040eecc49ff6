// Duplicate3D: Count copies of one input chunk, each a step further.
#include "repository/Effects/Duplicate3D.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::StaticString;

namespace
{
// Bounds the copies: a "Count" of "-1" reads as 4294967295. The chunk's own limits bound
// what the copies hold.
constexpr unsigned int MaxCopies = 65536;
} // namespace

Duplicate3D::Duplicate3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), input(nullptr), count(nullptr)
{
}

void Duplicate3D::OnInputsChanged()
{
    RetireInputs();
    RetireParameters();
    count = AddParameter<unsigned int>("Count", 1u);
    transform.Declare(this);
    DeclareInput(StaticString<64>("Input"), StaticString<64>("RenderChunk"));
    input = BoundChunk(StaticString<64>("Input"));
}

void Duplicate3D::OnInputsResolved()
{
    input = BoundChunk(StaticString<64>("Input"));
    Update(0.0f);
}

void Duplicate3D::Render(const Brivet::RenderContext& context)
{
    Update(context.time);
}

void Duplicate3D::Update(float time)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk || !input)
        return;

    const unsigned int n = count ? count->GetValue(time) : 1u;
    D3DXMATRIX step, previousStep;
    transform.ComputePair(&step, &previousStep, time);
    D3DXMATRIX a, previous;
    D3DXMatrixIdentity(&a);
    D3DXMatrixIdentity(&previous);
    for (unsigned int i = 0; i < n && i < MaxCopies; ++i)
    {
        // A copy that did not fit whole ends the copies: the chunk only fills further.
        if (!chunk->Merge(input, &a, &previous))
            break;
        D3DXMatrixMultiply(&a, &step, &a);
        D3DXMatrixMultiply(&previous, &previousStep, &previous);
    }
}
