// "Transform3D": copies its input chunk into its output under the transform of its
// "Position", "Rotation" and "Scale" parameters.
#pragma once

#include "repository/Effects/ChunkProducerBase.h"

class Transform3D : public ChunkProducerBase
{
public:
    explicit Transform3D(Brivet::Demo* demo);

    // "Position", "Rotation", "Scale", then the input "Input"; takes its bound chunk.
    void OnInputsChanged() override;
    void OnInputsResolved() override; // Update at time 0: a chunk exists before the first render
    void Render(const Brivet::RenderContext& context) override;

    // The output emptied, then the input merged in under the transform at time (and the
    // previous-frame transform one hundredth of a second later).
    void Update(float time);

    RenderChunk* input; // borrowed: the chunk bound to "Input"
    TransformParameters transform;
};
