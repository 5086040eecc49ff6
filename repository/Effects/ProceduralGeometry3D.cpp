// ProceduralGeometry3D: declarations, the bufferless draw and the entry.
#include "repository/Effects/ProceduralGeometry3D.h"

#include "Demo.h"
#include "Graphics/Program.h"
#include "Graphics/System.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/RenderChunk.h"

#include <d3d11.h>

using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Utility::Log;

ProceduralGeometry3D::ProceduralGeometryRenderable::ProceduralGeometryRenderable(Brivet::Graphics::System* system)
    : shader(nullptr), system(system), triangleCount(0)
{
}

void ProceduralGeometry3D::ProceduralGeometryRenderable::Bind()
{
    ID3D11DeviceContext* context = system->GetContext();
    ID3D11Buffer* none = nullptr;
    const UINT zero = 0;
    context->IASetInputLayout(nullptr);
    context->IASetVertexBuffers(0, 1, &none, &zero, &zero);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
}

void ProceduralGeometry3D::ProceduralGeometryRenderable::Draw()
{
    if (triangleCount > 0)
        system->GetContext()->Draw(triangleCount * 3, 0);
}

bool ProceduralGeometry3D::ProceduralGeometryRenderable::CreateInputLayout(Brivet::Graphics::VertexShader* vertexShader)
{
    shader = vertexShader;
    return true;
}

ProceduralGeometry3D::ProceduralGeometry3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), shader(nullptr), renderable(demo ? &demo->system : nullptr), enabled(nullptr),
      triangleCount(nullptr)
{
}

ProceduralGeometry3D::~ProceduralGeometry3D() = default;

bool ProceduralGeometry3D::Initialize()
{
    DeclareParameters();
    return true;
}

void ProceduralGeometry3D::DeclareParameters()
{
    RetireParameters();
    RetireInputs();
    SetChunkOutputType();
    DeclareInput(StaticString<64>("Shader"), StaticString<64>("effect"));
    enabled = AddParameter<bool>(StaticString<64>("Enabled"), true);
    triangleCount = AddParameter<unsigned int>(StaticString<64>("TriangleCount"), 100u);
    if (shader)
        state.Declare(String(""), this, shader);
}

void ProceduralGeometry3D::OnInputsChanged()
{
    Input* input = nullptr;
    // The graph binds only resources of an input's type: a bound "Shader" is an effect.
    shader = inputs.Find(StaticString<64>("Shader"), &input) ? static_cast<Effect*>(input->bound) : nullptr;
    DeclareParameters();
    if (shader)
        state.ResolveInputs(this, shader);
}

void ProceduralGeometry3D::OnResize()
{
    if (shader)
        state.ResolveInputs(this, shader);
}

void ProceduralGeometry3D::Render(const Brivet::RenderContext& context)
{
    // Emptied whenever there is an output, shader or not, as every chunk producer does:
    // entries of an earlier render would otherwise stay in the chunk.
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk || !shader || shader->passes.GetCount() == 0)
        return;
    const float t = context.time;
    const uint32_t count = triangleCount->GetValue(t);
    if (!enabled->GetValue(t) || count == 0)
        return;
    // A count read from a description is bounded (and 3 × count vertices could wrap in 32
    // bits and draw a few): nothing is drawn instead.
    if (count > MaxTriangleCount)
    {
        if (!warnedCut)
            Log::Warning("[ProceduralGeometry3D] '%s': %u triangles are more than the %u that can be drawn",
                         name.GetText(), count, MaxTriangleCount);
        warnedCut = true;
        return;
    }
    renderable.triangleCount = count;

    // Values into every program variation of every pass
    const uint32_t programCount = shader->GetProgramCount();
    for (uint32_t p = 0; p < shader->passes.GetCount(); ++p)
    {
        Brivet::Graphics::Program** programs = shader->passes[p].programs;
        for (uint32_t k = 0; programs && k < programCount; ++k)
            state.Update(programs[k], t);
    }

    RenderChunk::Entry* added = chunk->AddEntry(); // zeroed: no bones, material or bounds
    if (!added)
        return;
    RenderChunk::Entry& entry = *added;
    D3DXMatrixIdentity(&entry.world);
    D3DXMatrixIdentity(&entry.previousWorld);
    entry.geometry = &renderable;
    entry.effect = shader;
    entry.state = &state;
}
