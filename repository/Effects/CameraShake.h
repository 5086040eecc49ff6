// "CameraShake": copies its input chunk and shakes the camera by a pseudo-random offset
// that follows the time ("Frequency") at a given size ("Amplitude").
#pragma once

#include "repository/Effects/ChunkProducerBase.h"

class CameraShake : public ChunkProducerBase
{
public:
    explicit CameraShake(Brivet::Demo* demo);

    // The input "Input" (its chunk taken), then "Frequency" and "Amplitude".
    void OnInputsChanged() override;
    void Render(const Brivet::RenderContext& context) override;

    // (fmodf(sinf(x) × 43758.546875, 1) − 0.5) × amplitude; fmodf keeps the sign of the sine.
    static float Noise(float x, float amplitude);

    RenderChunk* input; // borrowed: the chunk bound to "Input"
    Brivet::Parameters::Parameter<float>* frequency;
    Brivet::Parameters::Parameter<float>* amplitude;
};
