// ComputedBuffer: declarations and the compute pass into the output buffer.
#include "repository/Effects/ComputedBuffer.h"

#include "Demo.h"
#include "Graphics/Shader.h"
#include "Graphics/System.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Effects/ComputePass.h"
#include "repository/Resources/Buffer.h"
#include "repository/Resources/ComputeShader.h"

#include <d3d11.h>

using Brivet::Base::StaticString;
using Brivet::Base::String;

ComputedBuffer::ComputedBuffer(Brivet::Demo* demo)
    : IEffect(demo), output(nullptr), computeShader(nullptr), enabled(nullptr), threadX(nullptr), threadY(nullptr),
      threadZ(nullptr)
{
}

ComputedBuffer::~ComputedBuffer() = default;

bool ComputedBuffer::Initialize()
{
    outputTypeName = StaticString<64>("buffer");
    OnInputsChanged();
    return true;
}

void ComputedBuffer::OnInputsChanged()
{
    Input* input = nullptr;
    // The graph binds only resources of the input's type: a bound "Compute Shader" is one.
    computeShader =
        inputs.Find(StaticString<64>("Compute Shader"), &input) ? static_cast<ComputeShader*>(input->bound) : nullptr;
    RetireInputs();
    RetireParameters();
    enabled = AddParameter<bool>(StaticString<64>("Enabled"), true);
    threadX = AddParameter<int>(StaticString<64>("Thread X"), 10);
    threadY = AddParameter<int>(StaticString<64>("Thread Y"), 10);
    threadZ = AddParameter<int>(StaticString<64>("Thread Z"), 10);
    DeclareInput(StaticString<64>("Compute Shader"), StaticString<64>("computeShader"));
    DeclareInput(StaticString<64>("Material Shader"), StaticString<64>("effect")); // declared, never read
    if (computeShader)
    {
        shaderState.Declare(String(""), this, computeShader);
        shaderState.ResolveInputs(this, computeShader);
    }
}

void ComputedBuffer::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    output = resource && resource->IsCompatible(StaticString<64>("buffer")) ? static_cast<Buffer*>(resource) : nullptr;
}

Brivet::Assets::Resource::IResource* ComputedBuffer::GetOutput()
{
    return output;
}

void ComputedBuffer::Render(const Brivet::RenderContext& context)
{
    const float t = context.time;
    Brivet::Graphics::ComputeShader* stage = computeShader ? computeShader->shader : nullptr;
    if (!output || !enabled->GetValue(t) || !stage || !stage->IsValid())
        return;

    // The threads to run; the buffer's size does not change
    output->SetComputeSize(ComputePass::ThreadCount(threadX->GetValue(t)),
                           ComputePass::ThreadCount(threadY->GetValue(t)),
                           ComputePass::ThreadCount(threadZ->GetValue(t)));

    // Parameters and inputs
    shaderState.UpdateCompute(stage, t);
    shaderState.BindComputeResources(stage);

    // Cleared output and counter, then the pass
    ID3D11DeviceContext* device = demo->system.GetContext();
    if (output->GetUnorderedAccessView())
    {
        const float zeros[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        device->ClearUnorderedAccessViewFloat(output->GetUnorderedAccessView(), zeros);
    }
    if (output->GetCounter().GetUnorderedAccessView())
    {
        const UINT zeros[4] = {0, 0, 0, 0};
        device->ClearUnorderedAccessViewUint(output->GetCounter().GetUnorderedAccessView(), zeros);
    }
    ComputePass::Run(stage, &output->GetCounter(), output);
    shaderState.UnbindComputeResources(stage);
}
