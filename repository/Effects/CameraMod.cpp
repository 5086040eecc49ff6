// CameraMod: the input's camera with a wider or narrower field of view.
#include "repository/Effects/CameraMod.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::StaticString;

CameraMod::CameraMod(Brivet::Demo* demo)
    : ChunkProducerBase(demo), input(nullptr), fieldOfViewOffset(nullptr)
{
}

void CameraMod::OnInputsChanged()
{
    RetireInputs();
    RetireParameters();
    DeclareInput(StaticString<64>("Input"), StaticString<64>("RenderChunk"));
    fieldOfViewOffset = AddParameter<float>("FOV Offset", 0.0f);
    input = BoundChunk(StaticString<64>("Input"));
}

void CameraMod::Render(const Brivet::RenderContext& context)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk || !input)
        return;
    // The priority stays the input's, also 0 (no camera).
    CopyWithCamera(chunk, input);
    chunk->camera.fieldOfView += fieldOfViewOffset->GetValue(context.time);
}
