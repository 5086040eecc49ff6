// Shape3D: the plane geometry and its one chunk entry.
#include "repository/Effects/Shape3D.h"

#include "Demo.h"
#include "Graphics/Program.h"
#include "RenderContext.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::StaticString;

namespace
{
struct PlaneVertex
{
    float position[3];
    float normal[3];
    float tangent[3];
    float binormal[3];
    float uv0[2];
    float uv1[2];
};
static_assert(sizeof(PlaneVertex) == Shape3D::PlaneGeometry::VertexStride);

// Strip order; both texture coordinates run with x and y from 0 to 1.
const PlaneVertex PlaneVertices[Shape3D::PlaneGeometry::VertexCount] = {
    {{-1.0f, -1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}},
    {{-1.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}},
    {{1.0f, -1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 0.0f}},
    {{1.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, 1.0f}},
};

const D3D11_INPUT_ELEMENT_DESC PlaneLayout[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TANGENT", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 24, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"BINORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 36, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 48, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 1, DXGI_FORMAT_R32G32_FLOAT, 0, 56, D3D11_INPUT_PER_VERTEX_DATA, 0},
};
} // namespace

Shape3D::PlaneGeometry::PlaneGeometry(Brivet::Graphics::System* system)
    : GeometryBase(system)
{
}

uint32_t Shape3D::PlaneGeometry::GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements)
{
    return GetMeshElements(elements);
}

uint32_t Shape3D::PlaneGeometry::GetMeshElements(const D3D11_INPUT_ELEMENT_DESC** elements)
{
    *elements = PlaneLayout;
    return sizeof(PlaneLayout) / sizeof(PlaneLayout[0]);
}

const void* Shape3D::PlaneGeometry::GetVertices()
{
    return PlaneVertices;
}

Shape3D::Shape3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), overrideEffect(nullptr), plane(nullptr)
{
}

Shape3D::~Shape3D()
{
    delete plane;
}

bool Shape3D::Initialize()
{
    delete plane;
    plane = nullptr;
    if (demo)
    {
        plane = new PlaneGeometry(&demo->system);
        plane->CreateBuffers(); // logged on failure; the plane is emitted all the same
    }
    SetChunkOutputType();
    DeclareParameters();
    return true;
}

void Shape3D::OnInputsChanged()
{
    DeclareParameters();
}

void Shape3D::DeclareParameters()
{
    RetireParameters();
    RetireInputs();
    transform.Declare(this);
    const StaticString<64> overrideName("Material Override");
    DeclareInput(overrideName, StaticString<64>("effect"));
    Input* input = nullptr;
    // The graph binds only resources of an input's type: a bound override is an effect.
    overrideEffect = inputs.Find(overrideName, &input) ? static_cast<Effect*>(input->bound) : nullptr;
    if (overrideEffect)
    {
        state.Declare(Brivet::Base::String(""), this, overrideEffect);
        state.ResolveInputs(this, overrideEffect);
    }
    SetChunkOutputType();
}

void Shape3D::Render(const Brivet::RenderContext& context)
{
    RenderChunk* chunk = GetOutputChunk();
    if (!chunk)
        return;
    const float time = context.time;

    // The override effect's values into every program of every pass
    if (overrideEffect)
    {
        const uint32_t count = overrideEffect->GetProgramCount();
        for (uint32_t p = 0; p < overrideEffect->passes.GetCount(); ++p)
        {
            Brivet::Graphics::Program** programs = overrideEffect->passes[p].programs;
            for (uint32_t k = 0; programs && k < count; ++k)
                state.Update(programs[k], time);
        }
    }

    // The one entry; AddEmpty zeroes it (no bones, no material, no bounds)
    chunk->Empty();
    RenderChunk::Entry* added = chunk->AddEntry();
    if (!added)
        return;
    RenderChunk::Entry& entry = *added;
    transform.ComputePair(&entry.world, &entry.previousWorld, time);
    entry.geometry = plane;
    entry.effect = overrideEffect;
    entry.state = &state;
}
