// ComputedGeometry3D: the vertex buffer the compute pass fills, its drawing, and the entry.
#include "repository/Effects/ComputedGeometry3D.h"

#include "Demo.h"
#include "Graphics/Shader.h"
#include "Graphics/System.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"
#include "repository/Effects/ComputePass.h"
#include "repository/Effects/Shape3D.h"
#include "repository/Resources/ComputeShader.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/RenderChunk.h"

#include <d3d11.h>

using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace
{
Brivet::Graphics::System* SystemOf(Brivet::Demo* demo)
{
    return demo ? &demo->system : nullptr;
}
} // namespace

// ---------------------------------------------------------------------------
// Output wrapper

ComputedGeometry3D::ComputedGeometryOutputWrapper::ComputedGeometryOutputWrapper(Brivet::Graphics::System* system,
                                                                                 ComputedGeometry3D* owner)
    : system(system), owner(owner), triangleCount(0), vertexStride(VertexStride), vertexBuffer(nullptr), width(1),
      height(1), depth(1), view(nullptr)
{
}

ComputedGeometry3D::ComputedGeometryOutputWrapper::~ComputedGeometryOutputWrapper()
{
    Release();
}

ID3D11Resource* ComputedGeometry3D::ComputedGeometryOutputWrapper::GetResource() const
{
    return vertexBuffer;
}

void ComputedGeometry3D::ComputedGeometryOutputWrapper::Release()
{
    SafeRelease(view);
    SafeRelease(vertexBuffer);
}

bool ComputedGeometry3D::ComputedGeometryOutputWrapper::Create(uint32_t triangles)
{
    Release();
    ID3D11Device* device = system ? system->GetDevice() : nullptr;
    if (!device || triangles == 0 || triangles > MaxTriangleCount)
        return false;

    const uint32_t bytes = triangles * 3 * vertexStride; // within 32 bits below the cap
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = bytes;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER | D3D11_BIND_UNORDERED_ACCESS;
    if (FAILED(device->CreateBuffer(&desc, nullptr, &vertexBuffer)))
    {
        vertexBuffer = nullptr;
        return false;
    }
    D3D11_UNORDERED_ACCESS_VIEW_DESC viewDesc = {};
    viewDesc.Format = DXGI_FORMAT_R32_FLOAT;
    viewDesc.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    viewDesc.Buffer.FirstElement = 0;
    viewDesc.Buffer.NumElements = bytes / 4;
    if (FAILED(device->CreateUnorderedAccessView(vertexBuffer, &viewDesc, &view)))
    {
        view = nullptr;
        Release(); // a buffer the pass cannot write would be drawn uninitialised
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Renderable

ComputedGeometry3D::ComputedGeometryRenderable::ComputedGeometryRenderable(Brivet::Graphics::System* system)
    : shader(nullptr), system(system), output(nullptr), inputLayout(nullptr)
{
}

ComputedGeometry3D::ComputedGeometryRenderable::~ComputedGeometryRenderable()
{
    SafeRelease(inputLayout);
}

void ComputedGeometry3D::ComputedGeometryRenderable::ReleaseLayout()
{
    SafeRelease(inputLayout);
    shader = nullptr;
}

bool ComputedGeometry3D::ComputedGeometryRenderable::CreateInputLayout(Brivet::Graphics::VertexShader* vertexShader)
{
    SafeRelease(inputLayout);
    shader = vertexShader;
    ID3D10Blob* byteCode = vertexShader ? vertexShader->GetByteCode() : nullptr;
    ID3D11Device* device = system ? system->GetDevice() : nullptr;
    if (!device || !byteCode)
        return false;
    // The mesh vertex: position, normal, tangent, binormal, two texture coordinates.
    const D3D11_INPUT_ELEMENT_DESC* elements = nullptr;
    const uint32_t count = Shape3D::PlaneGeometry::GetMeshElements(&elements);
    const HRESULT hr = device->CreateInputLayout(elements, count, byteCode->GetBufferPointer(),
                                                 byteCode->GetBufferSize(), &inputLayout);
    if (FAILED(hr))
    {
        Log::Error("[ComputedGeometry3D] CreateInputLayout failed: %08X", (unsigned)hr);
        inputLayout = nullptr;
        return false;
    }
    return true;
}

void ComputedGeometry3D::ComputedGeometryRenderable::Bind()
{
    if (!output || output->triangleCount == 0 || !output->vertexBuffer)
        return;
    ID3D11DeviceContext* context = system->GetContext();
    const UINT stride = output->vertexStride;
    const UINT offset = 0;
    context->IASetInputLayout(inputLayout);
    context->IASetVertexBuffers(0, 1, &output->vertexBuffer, &stride, &offset);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
}

void ComputedGeometry3D::ComputedGeometryRenderable::Draw()
{
    if (!output || output->triangleCount == 0 || !output->vertexBuffer)
        return;
    system->GetContext()->Draw(output->triangleCount * 3, 0);
}

// ---------------------------------------------------------------------------
// Effect

ComputedGeometry3D::ComputedGeometry3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), computeShader(nullptr), materialShader(nullptr), enabled(nullptr),
      triangleCount(nullptr), threadX(nullptr), threadY(nullptr), threadZ(nullptr), renderable(SystemOf(demo)),
      wrapper(SystemOf(demo), this), counter(SystemOf(demo)), currentTriangleCount(0)
{
}

ComputedGeometry3D::~ComputedGeometry3D() = default;

bool ComputedGeometry3D::Initialize()
{
    SetChunkOutputType();
    OnInputsChanged();
    renderable.output = &wrapper;
    return counter.Create();
}

void ComputedGeometry3D::OnInputsChanged()
{
    // The graph binds only resources of an input's type.
    Input* input = nullptr;
    computeShader =
        inputs.Find(StaticString<64>("Compute Shader"), &input) ? static_cast<ComputeShader*>(input->bound) : nullptr;
    Effect* material =
        inputs.Find(StaticString<64>("Material Shader"), &input) ? static_cast<Effect*>(input->bound) : nullptr;
    // A layout is made against one vertex stage's signature: another shader needs its own.
    if (material != materialShader)
        renderable.ReleaseLayout();
    materialShader = material;

    RetireInputs();
    RetireParameters();
    enabled = AddParameter<bool>(StaticString<64>("Enabled"), true);
    triangleCount = AddParameter<int>(StaticString<64>("Triangle Count"), 100);
    threadX = AddParameter<int>(StaticString<64>("Thread X"), 10);
    threadY = AddParameter<int>(StaticString<64>("Thread Y"), 10);
    threadZ = AddParameter<int>(StaticString<64>("Thread Z"), 10);
    DeclareInput(StaticString<64>("Compute Shader"), StaticString<64>("computeShader"));
    DeclareInput(StaticString<64>("Material Shader"), StaticString<64>("effect"));
    if (computeShader)
    {
        computeState.Declare(String(""), this, computeShader);
        computeState.ResolveInputs(this, computeShader);
    }
    if (materialShader)
    {
        materialState.Declare(String(""), this, materialShader);
        materialState.ResolveInputs(this, materialShader);
    }
}

void ComputedGeometry3D::Render(const Brivet::RenderContext& context)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk)
        return;
    const float t = context.time;
    Brivet::Graphics::ComputeShader* stage = computeShader ? computeShader->shader : nullptr;
    const int count = triangleCount->GetValue(t);
    if (!enabled->GetValue(t) || !stage || !stage->IsValid() || count <= 0)
        return;

    // The buffer, made again only when the count changes
    const uint32_t triangles = (uint32_t)count;
    if (triangles != currentTriangleCount)
    {
        currentTriangleCount = triangles;
        wrapper.triangleCount = triangles;
        wrapper.vertexStride = VertexStride;
        if (triangles > MaxTriangleCount)
            Log::Warning("[ComputedGeometry3D] '%s': %u triangles are more than the %u a buffer is made for",
                         name.GetText(), triangles, MaxTriangleCount);
        wrapper.Create(triangles);
    }
    // Without a buffer there is nothing to write into or draw from.
    if (!wrapper.vertexBuffer || !wrapper.view)
        return;
    wrapper.width = ComputePass::ThreadCount(threadX->GetValue(t));
    wrapper.height = ComputePass::ThreadCount(threadY->GetValue(t));
    wrapper.depth = ComputePass::ThreadCount(threadZ->GetValue(t));

    // Parameters and inputs of the compute shader
    computeState.UpdateCompute(stage, t);
    computeState.BindComputeResources(stage);

    // Cleared vertices and counter, then the pass
    ID3D11DeviceContext* device = demo->system.GetContext();
    const float zeros[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    device->ClearUnorderedAccessViewFloat(wrapper.view, zeros);
    if (counter.GetUnorderedAccessView())
    {
        const UINT none[4] = {0, 0, 0, 0};
        device->ClearUnorderedAccessViewUint(counter.GetUnorderedAccessView(), none);
    }
    ComputePass::Run(stage, &counter, &wrapper);
    computeState.UnbindComputeResources(stage);

    // The entry: every triangle of the buffer, whatever the shader counted
    RenderChunk::Entry* added = chunk->AddEntry(); // zeroed: no bones, material or bounds
    if (!added)
        return;
    RenderChunk::Entry& entry = *added;
    D3DXMatrixIdentity(&entry.world);
    D3DXMatrixIdentity(&entry.previousWorld);
    entry.geometry = &renderable;
    entry.effect = materialShader;
    entry.state = &materialState;
}
