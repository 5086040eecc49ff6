// The shared part of the six light effects: each outputs a chunk that holds nothing but
// its light (the ambient light: only the ambient colour), and only while "Enabled" is
// true at the frame time. Every light is off by default.
#pragma once

#include "repository/Effects/ChunkProducerBase.h"

class RenderChunk;

class LightEffectBase : public ChunkProducerBase
{
public:
    explicit LightEffectBase(Brivet::Demo* demo);

    void OnInputsResolved() override;                           // Emit at time 0
    void Render(const Brivet::RenderContext& context) override; // Emit at the frame time

    // The output emptied; with "Enabled" at time, the light appended. Nothing without an
    // output chunk.
    void Emit(float time);

    Brivet::Parameters::Parameter<bool>* enabled; // "Enabled", false

protected:
    // Appends the light to chunk with the parameters at time.
    virtual void Append(RenderChunk& chunk, float time) = 0;
    // Begins a declaration pass with "Enabled" (no input is declared).
    void DeclareEnabled();
};
