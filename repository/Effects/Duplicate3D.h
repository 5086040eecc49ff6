// "Duplicate3D": appends its input chunk "Count" times, each copy one more step of the
// transform away from the previous one (copy k under the transform to the power k); at
// most 65536 copies, and none after the first that does not fit whole into the chunk.
#pragma once

#include "repository/Effects/ChunkProducerBase.h"

class Duplicate3D : public ChunkProducerBase
{
public:
    explicit Duplicate3D(Brivet::Demo* demo);

    // "Count", "Position", "Rotation", "Scale", then the input "Input"; takes its chunk.
    void OnInputsChanged() override;
    void OnInputsResolved() override; // the binding of "Input" again, then Update at time 0
    void Render(const Brivet::RenderContext& context) override;

    void Update(float time);

    RenderChunk* input; // borrowed: the chunk bound to "Input"
    Brivet::Parameters::Parameter<unsigned int>* count;
    TransformParameters transform;
};
