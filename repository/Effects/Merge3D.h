// "Merge3D": appends up to 64 input chunks ("Input 1", "Input 2", ...) into its output
// under one transform. One unbound input always follows the highest bound one, so the
// graph's binding passes find the connected inputs one after another.
#pragma once

#include "repository/Effects/ChunkProducerBase.h"

#include <cstdint>

class Merge3D : public ChunkProducerBase
{
public:
    static constexpr uint32_t MaxInputs = 64;

    explicit Merge3D(Brivet::Demo* demo);

    // Counts the inputs to declare from the bound ones, then declares "Enabled",
    // "Position", "Rotation", "Scale" and inputs 1 to count, caching their chunks.
    void OnInputsChanged() override;
    // Reads every declared input's binding again, then Update at time 0 ("Enabled" is not read).
    void OnInputsResolved() override;
    // "Enabled" false at the frame time empties the output; otherwise Update.
    void Render(const Brivet::RenderContext& context) override;

    // The output emptied, then every bound input merged in, in input order.
    void Update(float time);

    // The name "Input <k>".
    static Brivet::Base::StaticString<64> InputName(uint32_t k);

    RenderChunk* chunks[MaxInputs]; // borrowed: the chunks bound to inputs 1 to count
    uint32_t inputCount; // declared inputs
    Brivet::Parameters::Parameter<bool>* enabled;
    TransformParameters transform;

private:
    void ReadBindings();
};
