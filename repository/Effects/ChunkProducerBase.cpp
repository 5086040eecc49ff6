// Shared steps of the chunk-producing effects.
#include "repository/Effects/ChunkProducerBase.h"

#include "Parameters/Parameter.h"
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::StaticString;

namespace
{
const StaticString<64> ChunkType("RenderChunk");
}

void ChunkProducerBase::TransformParameters::Declare(Brivet::Assets::Effect::IEffect* effect)
{
    position = effect->AddParameter<D3DXVECTOR3>("Position", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    rotation = effect->AddParameter<D3DXVECTOR3>("Rotation", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    scale = effect->AddParameter<D3DXVECTOR3>("Scale", D3DXVECTOR3(1.0f, 1.0f, 1.0f));
}

D3DXMATRIX* ChunkProducerBase::TransformParameters::Compute(D3DXMATRIX* out, float time) const
{
    const D3DXVECTOR3 p = position ? position->GetValue(time) : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 r = rotation ? rotation->GetValue(time) : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 s = scale ? scale->GetValue(time) : D3DXVECTOR3(1.0f, 1.0f, 1.0f);

    // Identity, then each factor multiplied in on the left: S × R × T.
    D3DXMATRIX factor;
    D3DXMatrixIdentity(out);
    D3DXMatrixMultiply(out, D3DXMatrixTranslation(&factor, p.x, p.y, p.z), out);
    D3DXMatrixMultiply(out, D3DXMatrixRotationYawPitchRoll(&factor, r.y, r.x, r.z), out);
    D3DXMatrixMultiply(out, D3DXMatrixScaling(&factor, s.x, s.y, s.z), out);
    return out;
}

void ChunkProducerBase::TransformParameters::ComputePair(D3DXMATRIX* current, D3DXMATRIX* previous, float time) const
{
    Compute(current, time);
    Compute(previous, time + PreviousSampleOffset);
}

ChunkProducerBase::ChunkProducerBase(Brivet::Demo* demo)
    : IEffect(demo), output(nullptr)
{
}

bool ChunkProducerBase::Initialize()
{
    SetChunkOutputType();
    OnInputsChanged();
    return true;
}

void ChunkProducerBase::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    output = resource;
}

Brivet::Assets::Resource::IResource* ChunkProducerBase::GetOutput()
{
    return output;
}

RenderChunk* ChunkProducerBase::GetOutputChunk() const
{
    if (!output || !output->IsCompatible(ChunkType))
        return nullptr;
    return static_cast<RenderChunk*>(output);
}

RenderChunk* ChunkProducerBase::EmptyOutputChunk() const
{
    RenderChunk* chunk = GetOutputChunk();
    if (chunk)
        chunk->Empty();
    return chunk;
}

void ChunkProducerBase::CopyWithCamera(RenderChunk* target, const RenderChunk* source)
{
    target->Merge(source, nullptr, nullptr);
    target->camera = source->camera;
}

void ChunkProducerBase::SetChunkOutputType()
{
    outputTypeName = ChunkType; // the assignment keeps an equal name as it is
}

RenderChunk* ChunkProducerBase::BoundChunk(const StaticString<64>& name)
{
    Input* input = nullptr;
    if (!inputs.Find(name, &input))
        return nullptr;
    return static_cast<RenderChunk*>(input->bound);
}
