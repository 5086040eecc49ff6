// The effect "ComputedBuffer": every render it runs a compute shader that fills its
// "buffer" output through "gOutput" (with the buffer's counter as "gCounter"), over
// "Thread X" × "Thread Y" × "Thread Z" threads; the shader's listed constants and
// textures and buffers become the effect's parameters and inputs.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "repository/Resources/ReflectedShaderState.h"

class Buffer;
class ComputeShader;

class ComputedBuffer : public Brivet::Assets::Effect::IEffect
{
public:
    explicit ComputedBuffer(Brivet::Demo* demo);
    ~ComputedBuffer() override;

    // Output type "buffer" and the first declaration pass; true.
    bool Initialize() override;
    // Takes the shader bound to "Compute Shader", declares again and resolves the shader's
    // texture and buffer inputs.
    void OnInputsChanged() override;
    // Stored when it is a buffer; anything else draws nowhere.
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;
    // One dispatch into the output; nothing when disabled or without a valid compute
    // stage (the buffer keeps its contents then).
    void Render(const Brivet::RenderContext& context) override;

    ComputeShader* GetComputeShader() const { return computeShader; }
    const ReflectedShaderState& GetShaderState() const { return shaderState; }

private:
    Buffer* output;               // borrowed
    ComputeShader* computeShader; // borrowed: the resource bound to "Compute Shader"
    Brivet::Parameters::Parameter<bool>* enabled;
    Brivet::Parameters::Parameter<int>* threadX;
    Brivet::Parameters::Parameter<int>* threadY;
    Brivet::Parameters::Parameter<int>* threadZ;
    ReflectedShaderState shaderState;
};
