// "Camera3D": outputs a chunk that holds only a camera (priority 2, above a scene's
// camera), placed by "Position", "Rotation" and "Scale", perspective or orthographic.
#pragma once

#include "repository/Effects/ChunkProducerBase.h"

class Camera3D : public ChunkProducerBase
{
public:
    explicit Camera3D(Brivet::Demo* demo);

    // "Enabled", "IsOrtho", "Position", "Rotation", "Scale", "ClipPlanes", "FOV", then
    // the input "Input" (bound, never read).
    void OnInputsChanged() override;
    void OnInputsResolved() override; // Update at time 0
    void Render(const Brivet::RenderContext& context) override;

    // The output emptied; with "Enabled" at time, the camera block written into it.
    void Update(float time);

    Brivet::Parameters::Parameter<bool>* enabled;
    Brivet::Parameters::Parameter<bool>* orthographic;
    TransformParameters transform;
    Brivet::Parameters::Parameter<D3DXVECTOR2>* clipPlanes;
    Brivet::Parameters::Parameter<float>* fieldOfView;
};
