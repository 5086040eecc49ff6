// Merge3D: input discovery and the merge of every bound input.
#include "repository/Effects/Merge3D.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::StaticString;

Merge3D::Merge3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), chunks{}, inputCount(0), enabled(nullptr)
{
}

StaticString<64> Merge3D::InputName(uint32_t k)
{
    StaticString<64> name;
    name.Format("Input %u", k);
    return name;
}

void Merge3D::OnInputsChanged()
{
    // The highest bound input among those declared so far, and one more after it.
    uint32_t count = 0;
    for (uint32_t k = MaxInputs; k >= 1; --k)
    {
        Input* record = nullptr;
        if (inputs.Find(InputName(k), &record) && record->bound)
        {
            count = k;
            break;
        }
    }
    // Input 64 bound leaves no room for a 65th: the table holds 64.
    inputCount = count < MaxInputs ? count + 1 : MaxInputs;

    RetireInputs();
    RetireParameters();
    enabled = AddParameter<bool>("Enabled", true);
    transform.Declare(this);
    for (uint32_t k = 1; k <= inputCount; ++k)
        DeclareInput(InputName(k), StaticString<64>("RenderChunk"));
    ReadBindings();
}

void Merge3D::OnInputsResolved()
{
    ReadBindings();
    Update(0.0f);
}

void Merge3D::Render(const Brivet::RenderContext& context)
{
    if (enabled && !enabled->GetValue(context.time))
        EmptyOutputChunk();
    else
        Update(context.time);
}

void Merge3D::Update(float time)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk)
        return;
    D3DXMATRIX m, previous;
    transform.ComputePair(&m, &previous, time);
    for (uint32_t k = 0; k < inputCount; ++k)
    {
        if (chunks[k])
            chunk->Merge(chunks[k], &m, &previous);
    }
}

void Merge3D::ReadBindings()
{
    for (uint32_t k = 0; k < MaxInputs; ++k)
        chunks[k] = k < inputCount ? BoundChunk(InputName(k + 1)) : nullptr;
}
