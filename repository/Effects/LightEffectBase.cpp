// Shared steps of the light effects.
#include "repository/Effects/LightEffectBase.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Resources/RenderChunk.h"

LightEffectBase::LightEffectBase(Brivet::Demo* demo) : ChunkProducerBase(demo), enabled(nullptr) {}

void LightEffectBase::OnInputsResolved()
{
    Emit(0.0f);
}

void LightEffectBase::Render(const Brivet::RenderContext& context)
{
    Emit(context.time);
}

void LightEffectBase::Emit(float time)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk || !enabled || !enabled->GetValue(time))
        return;
    Append(*chunk, time);
}

void LightEffectBase::DeclareEnabled()
{
    RetireInputs();
    RetireParameters();
    enabled = AddParameter<bool>("Enabled", false);
}
