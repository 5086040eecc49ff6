// The shared part of the effects that output a render chunk: the Initialize that names
// the output type "RenderChunk" and runs the first declaration pass, the output pointer,
// the bound input chunks, and the transform made from "Position", "Rotation" and "Scale".
#pragma once

#include "Assets/Effect/IEffect.h"
#include "Rendering/D3DX10Math.h"

class RenderChunk;

// A chunk producer derives from this class, declares its inputs and parameters in
// OnInputsChanged, empties its output chunk at the start of every render and then appends
// (RenderChunk::Empty, RenderChunk::Merge, or entries and lights of its own).
class ChunkProducerBase : public Brivet::Assets::Effect::IEffect
{
public:
    // The scale × rotation × translation transform of three animatable vectors. The
    // rotation is yaw "Rotation".y, pitch "Rotation".x, roll "Rotation".z, in radians.
    struct TransformParameters
    {
        Brivet::Parameters::Parameter<D3DXVECTOR3>* position = nullptr;
        Brivet::Parameters::Parameter<D3DXVECTOR3>* rotation = nullptr;
        Brivet::Parameters::Parameter<D3DXVECTOR3>* scale = nullptr;

        // Declares "Position" (0; 0; 0), "Rotation" (0; 0; 0) and "Scale" (1; 1; 1).
        void Declare(Brivet::Assets::Effect::IEffect* effect);
        // S × R × T at time (row-vector order: scale, then rotate, then translate).
        D3DXMATRIX* Compute(D3DXMATRIX* out, float time) const;
        // The transform at time and, for the previous-frame matrices, one hundredth of a
        // second after it.
        void ComputePair(D3DXMATRIX* current, D3DXMATRIX* previous, float time) const;
    };

    // One hundredth of a second: the distance of the previous-frame sample.
    static constexpr float PreviousSampleOffset = 0.01f;

    explicit ChunkProducerBase(Brivet::Demo* demo);

    // Output type "RenderChunk", then the first declaration pass; true.
    bool Initialize() override;
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;

    // The output as a chunk; null when there is none or it is of another type (a
    // dynamic node of another type fed by the producer).
    RenderChunk* GetOutputChunk() const;
    // The output chunk emptied (priorities 0, no entries, no lights), or null.
    RenderChunk* EmptyOutputChunk() const;

    // An unchanged copy of source appended to target, then source's whole camera block
    // taken whatever its priority.
    static void CopyWithCamera(RenderChunk* target, const RenderChunk* source);

protected:
    // Sets the output type name "RenderChunk" (copied only when its hash differs).
    void SetChunkOutputType();
    // The chunk bound to a current input of that name, or null. The graph binds only
    // resources of an input's type, so a bound "RenderChunk" input holds a chunk.
    RenderChunk* BoundChunk(const Brivet::Base::StaticString<64>& name);

    Brivet::Assets::Resource::IResource* output; // borrowed; set by SetOutput
};
