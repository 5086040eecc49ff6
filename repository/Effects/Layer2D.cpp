// The full-screen shader layer: quad, input layout, declarations and the pass loop.
#include "repository/Effects/Layer2D.h"

#include "Demo.h"
#include "Graphics/ConstantBuffer.h"
#include "Graphics/Program.h"
#include "Graphics/Shader.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/Texture.h"

#include <d3d11.h>

using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Graphics::Program;
using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

// Position (x, y, z) and texture coordinate (u, v) of the four strip vertices.
const float Layer2D::QuadVertices[Layer2D::VertexCount * 5] = {
    -1.0f, -1.0f, 0.5f, 0.0f, 0.0f, //
    -1.0f, 1.0f, 0.5f, 0.0f, 1.0f, //
    1.0f, -1.0f, 0.5f, 1.0f, 0.0f, //
    1.0f, 1.0f, 0.5f, 1.0f, 1.0f, //
};

const D3D11_INPUT_ELEMENT_DESC Layer2D::QuadLayout[2] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_VERTEX_DATA, 0},
};

namespace
{

// Constant buffer 0 of each stage of the program's mask, pixel, vertex, geometry.
void UploadConstants(Program* program)
{
    const uint32_t mask = program->GetStageMask();
    if (mask & Program::StagePixel)
        program->GetPixelShader()->GetConstantBuffer()->Upload();
    if (mask & Program::StageVertex)
        program->GetVertexShader()->GetConstantBuffer()->Upload();
    if (mask & Program::StageGeometry)
        program->GetGeometryShader()->GetConstantBuffer()->Upload();
}
} // namespace

Layer2D::Layer2D(Brivet::Demo* demo)
    : IEffect(demo), vertexBuffer(nullptr), inputLayout(nullptr), shader(nullptr), output(nullptr),
      reportedNoTarget(false)
{
}

Layer2D::~Layer2D()
{
    SafeRelease(inputLayout);
    SafeRelease(vertexBuffer);
}

bool Layer2D::Initialize()
{
    ID3D11Device* device = demo ? demo->system.GetDevice() : nullptr;
    SafeRelease(vertexBuffer);

    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = sizeof(QuadVertices);
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    D3D11_SUBRESOURCE_DATA data = {};
    data.pSysMem = QuadVertices;
    const HRESULT hr = device ? device->CreateBuffer(&desc, &data, &vertexBuffer) : E_POINTER;
    if (FAILED(hr))
    {
        Log::Error("[Layer2D] CreateBuffer failed: %08X", (unsigned)hr);
        vertexBuffer = nullptr;
        return false;
    }

    if (!RebuildInputLayout())
        return false;
    DeclareParameters();
    return true;
}

void Layer2D::OnInputsChanged()
{
    Input* input = nullptr;
    // The graph binds only resources of the input's type: a bound "Shader" is an effect.
    shader = inputs.Find(StaticString<64>("Shader"), &input) ? static_cast<Effect*>(input->bound) : nullptr;
    RebuildInputLayout();
    DeclareParameters();
    if (shader)
        shaderState.ResolveInputs(this, shader);
}

void Layer2D::OnResize()
{
    if (shader)
        shaderState.ResolveInputs(this, shader);
}

void Layer2D::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    output = resource;
}

Brivet::Assets::Resource::IResource* Layer2D::GetOutput()
{
    return output;
}

void Layer2D::DeclareParameters()
{
    RetireParameters();
    RetireInputs();
    outputTypeName = StaticString<64>("texture"); // the assignment keeps an equal name as it is
    DeclareInput(StaticString<64>("Shader"), StaticString<64>("effect"));
    if (shader)
        shaderState.Declare(String(""), this, shader);
}

void Layer2D::BindPassConstants(uint32_t pass)
{
}

bool Layer2D::RebuildInputLayout()
{
    SafeRelease(inputLayout);
    if (!shader || shader->passes.GetCount() == 0)
        return true;

    Program* program = shader->GetProgram(0);
    ID3D10Blob* byteCode = program ? program->GetVertexShader()->GetByteCode() : nullptr;
    ID3D11Device* device = demo ? demo->system.GetDevice() : nullptr;
    // A pass without a vertex stage has no signature to match the layout against.
    HRESULT hr = E_INVALIDARG;
    if (device && byteCode)
    {
        hr = device->CreateInputLayout(QuadLayout, 2, byteCode->GetBufferPointer(), byteCode->GetBufferSize(),
                                       &inputLayout);
    }
    if (FAILED(hr))
    {
        Log::Error("[Layer2D] CreateInputLayout failed: %08X", (unsigned)hr);
        inputLayout = nullptr;
        return false;
    }
    return true;
}

Texture* Layer2D::AsTexture(Brivet::Assets::Resource::IResource* resource)
{
    // A dynamic node of another type may be the output; only a texture can be drawn into.
    if (!resource || !resource->IsCompatible(StaticString<64>("texture")))
        return nullptr;
    return static_cast<Texture*>(resource);
}

Texture* Layer2D::GetOutputTexture() const
{
    return AsTexture(output);
}

bool Layer2D::BindDrawTargets(Effect* shader, uint32_t pass, Texture* output, Brivet::Graphics::DepthStencil* depth)
{
    const bool internalTargets = shader->BindPassTargets(pass, output, depth);
    return shader->passes[pass].renderTargets.GetCount() != 0 ? internalTargets : output->GetTexture() != nullptr;
}

void Layer2D::Render(const Brivet::RenderContext& context)
{
    Texture* target = GetOutputTexture();
    if (!shader || shader->passes.GetCount() == 0 || !target)
        return;
    // The layout's failure was logged when it was built; the quad cannot be drawn without it.
    if (!inputLayout)
        return;

    const float time = context.time;
    const uint32_t passCount = shader->passes.GetCount();
    const uint32_t programCount = shader->GetProgramCount();

    // Parameter values into every program of every pass
    for (uint32_t i = 0; i < passCount; ++i)
    {
        Program** programs = shader->passes[i].programs;
        for (uint32_t k = 0; programs && k < programCount; ++k)
            shaderState.Update(programs[k], time);
    }

    // Quad
    ID3D11DeviceContext* device = demo->system.GetContext();
    const UINT stride = VertexStride;
    const UINT offset = 0;
    device->IASetInputLayout(inputLayout);
    device->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);

    for (uint32_t i = 0; i < passCount; ++i)
    {
        // States, samplers and program
        shader->BeginPass(i);
        Program* program = shader->GetProgram(i);
        if (program)
            program->SetFloat("fRenderTime", time);

        // Targets: the pass's internal targets, else the output. A pass that has none
        // bound would draw into whatever the last draw left bound.
        if (!BindDrawTargets(shader, i, target, nullptr))
        {
            if (!reportedNoTarget)
                Log::Warning("[Layer2D] '%s': pass %u has no render target to draw into", name.GetText(), i);
            reportedNoTarget = true;
            shader->EndPass();
            continue;
        }

        // Resources
        shader->BindInternalTextures(i);
        Program** programs = shader->passes[i].programs;
        for (uint32_t k = 0; programs && k < programCount; ++k)
            shaderState.BindResources(programs[k]);
        BindPassConstants(i);

        if (program)
            UploadConstants(program);
        device->Draw(VertexCount, 0);
        shader->EndPass();
    }
}
