// CameraShake: the input's camera moved by a noise offset.
#include "repository/Effects/CameraShake.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Resources/RenderChunk.h"

#include <cmath>

using Brivet::Base::StaticString;

CameraShake::CameraShake(Brivet::Demo* demo)
    : ChunkProducerBase(demo), input(nullptr), frequency(nullptr), amplitude(nullptr)
{
}

void CameraShake::OnInputsChanged()
{
    RetireInputs();
    RetireParameters();
    DeclareInput(StaticString<64>("Input"), StaticString<64>("RenderChunk"));
    frequency = AddParameter<float>("Frequency", 1.0f);
    amplitude = AddParameter<float>("Amplitude", 1.0f);
    input = BoundChunk(StaticString<64>("Input"));
}

float CameraShake::Noise(float x, float size)
{
    return (std::fmod(std::sin(x) * 43758.546875f, 1.0f) - 0.5f) * size;
}

void CameraShake::Render(const Brivet::RenderContext& context)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk || !input)
        return;
    CopyWithCamera(chunk, input);

    const float t = context.time;
    const float a = amplitude->GetValue(t);
    const float phase = frequency->GetValue(t) * t * 1337.0f;

    // Offset of this frame; the previous one takes the 0.01 off the phase, not the time.
    const D3DXVECTOR3 d(Noise(phase, a), Noise(phase + 101.0f, a), Noise(phase + 202.0f, a));
    const D3DXVECTOR3 dp(Noise(phase - 0.01f, a), Noise(phase + 101.0f - 0.01f, a), Noise(phase + 202.0f - 0.01f, a));

    RenderChunk::CameraBlock& camera = chunk->camera;
    camera.position.x += d.x;
    camera.position.y += d.y;
    camera.position.z += d.z;
    D3DXMATRIX offset;
    D3DXMatrixMultiply(&camera.view, D3DXMatrixTranslation(&offset, d.x, d.y, d.z), &camera.view);
    D3DXMatrixMultiply(&camera.previousView, D3DXMatrixTranslation(&offset, dp.x, dp.y, dp.z), &camera.previousView);
}
