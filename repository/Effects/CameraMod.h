// "CameraMod": copies its input chunk and adds "FOV Offset" to the camera's field of view.
#pragma once

#include "repository/Effects/ChunkProducerBase.h"

class CameraMod : public ChunkProducerBase
{
public:
    explicit CameraMod(Brivet::Demo* demo);

    // The input "Input" (its chunk taken), then "FOV Offset".
    void OnInputsChanged() override;
    void Render(const Brivet::RenderContext& context) override;

    RenderChunk* input; // borrowed: the chunk bound to "Input"
    Brivet::Parameters::Parameter<float>* fieldOfViewOffset;
};
