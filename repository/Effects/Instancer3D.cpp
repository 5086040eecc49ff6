// The instancing effect: batches per scene mesh, their instance buffers and entries.
#include "repository/Effects/Instancer3D.h"

#include "Audio/IBackend.h"
#include "Demo.h"
#include "Graphics/Program.h"
#include "Parameters/IParameter.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Rendering/Instancer.h"
#include "Utility/Log.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/RenderChunk.h"

#include <d3d11.h>

#include <cmath>
#include <cstdlib>
#include <new>

using Brivet::Base::StaticString;
using Brivet::Utility::Log;

namespace
{
const StaticString<64> ShaderInput("Shader");
const StaticString<64> ObjectInput("Instanced Object");

struct InstanceData
{
    float fraction; // i / n
    float index;
    float random;      // one sequence for every batch
    float batchRandom; // drawn again for each batch
};
static_assert(sizeof(InstanceData) == 16, "one float4 per instance");
} // namespace

Instancer3D::Instancer3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), shader(nullptr), instancedObject(nullptr), enabled(nullptr), instanceCount(nullptr)
{
}

Instancer3D::~Instancer3D()
{
    ClearBatches();
}

bool Instancer3D::Initialize()
{
    DeclareParameters();
    return true;
}

void Instancer3D::DeclareParameters()
{
    RetireParameters();
    RetireInputs();
    SetChunkOutputType();
    DeclareInput(ShaderInput, StaticString<64>("effect"));
    DeclareInput(ObjectInput, StaticString<64>("scene"));
    enabled = AddParameter<bool>("Enabled", true);
    instanceCount = AddParameter<float>("Instance Count", 100.0f);
    instanceCount->SetNotifyOnChange(true);
    if (shader)
        state.Declare(Brivet::Base::String(""), this, shader);
}

void Instancer3D::ClearBatches()
{
    for (Batch& batch : batches)
        delete batch.instancer;
    batches.Empty();
}

void Instancer3D::OnInputsChanged()
{
    // The graph binds only resources of an input's type.
    Input* input = nullptr;
    shader = inputs.Find(ShaderInput, &input) ? static_cast<Effect*>(input->bound) : nullptr;
    instancedObject = inputs.Find(ObjectInput, &input) ? static_cast<Scene*>(input->bound) : nullptr;
    DeclareParameters();
    ClearBatches();

    // A batch per mesh, in slot order
    if (instancedObject && demo)
    {
        SceneData::ForEachSlot(instancedObject->meshes, [&](Scene::Mesh* mesh) {
            Batch batch;
            batch.instancer = new Brivet::Rendering::Instancer(&demo->system);
            batch.mesh = mesh;
            batch.material = instancedObject->FindMaterial(mesh->materialId);
            batches.Add(batch);
        });
    }

    // Input layouts for the vertex stage of the shader's first pass
    if (shader && shader->passes.GetCount() > 0)
    {
        Brivet::Graphics::Program* program = shader->GetProgram(0);
        for (Batch& batch : batches)
        {
            batch.instancer->SetGeometry(batch.mesh);
            if (program)
                batch.instancer->CreateInputLayout(program->GetVertexShader());
        }
    }

    BuildInstanceData();
    if (shader)
        state.ResolveInputs(this, shader);
}

uint32_t Instancer3D::ClampInstanceCount(float value)
{
    // NaN and negative counts give none; a count that could not be allocated is cut.
    if (!(value >= 1.0f))
        return 0;
    if (value >= static_cast<float>(MaxInstances))
        return MaxInstances;
    return static_cast<uint32_t>(value);
}

uint32_t Instancer3D::ShareOfInstances(uint32_t count, uint32_t batchCount)
{
    if (batchCount == 0 || uint64_t(count) * batchCount <= MaxInstancesInAll)
        return count;
    return MaxInstancesInAll / batchCount;
}

float Instancer3D::MusicTime() const
{
    if (!demo || !demo->backend)
        return -1.0f;
    const uint32_t frame = demo->backend->GetPosition() + demo->renderer.startFrame;
    return static_cast<float>(frame) / static_cast<float>(demo->backend->GetSampleRate());
}

void Instancer3D::BuildInstanceData()
{
    const uint32_t requested = ClampInstanceCount(instanceCount ? instanceCount->GetValue(MusicTime()) : 0.0f);
    // Instance buffers and rand() calls grow with the meshes too: a scene of thousands of
    // meshes shares one budget.
    const uint32_t n = ShareOfInstances(requested, batches.GetCount());
    if (n < requested && !warnedCut)
    {
        Log::Warning("[Instancer3D] '%s': %u instances of each of %u meshes are more than the %u drawn in all; each "
                     "mesh gets %u",
                     name.GetText(), requested, batches.GetCount(), MaxInstancesInAll, n);
        warnedCut = true;
    }
    InstanceData* values = n ? new (std::nothrow) InstanceData[n] : nullptr;
    const uint32_t count = values ? n : 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        values[i].fraction = static_cast<float>(i) / static_cast<float>(count);
        values[i].index = static_cast<float>(i);
        values[i].random = static_cast<float>(rand()) / 32767.0f;
    }

    ID3D11Device* device = demo ? demo->system.GetDevice() : nullptr;
    for (Batch& batch : batches)
    {
        for (uint32_t i = 0; i < count; ++i)
            values[i].batchRandom = static_cast<float>(rand()) / 32767.0f;
        batch.instancer->SetInstanceBuffer(nullptr);
        batch.instancer->SetInstanceCount(count);
        if (!count || !device)
            continue;
        D3D11_BUFFER_DESC desc = {};
        desc.ByteWidth = count * static_cast<uint32_t>(sizeof(InstanceData));
        desc.Usage = D3D11_USAGE_DEFAULT;
        desc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
        D3D11_SUBRESOURCE_DATA data = {};
        data.pSysMem = values;
        ID3D11Buffer* buffer = nullptr;
        if (SUCCEEDED(device->CreateBuffer(&desc, &data, &buffer)))
            batch.instancer->SetInstanceBuffer(buffer);
    }
    delete[] values;
}

void Instancer3D::OnParameterChanged(Brivet::Parameters::IParameter* parameter)
{
    if (parameter && parameter == instanceCount)
        BuildInstanceData();
}

void Instancer3D::OnResize()
{
    if (shader)
        state.ResolveInputs(this, shader);
}

void Instancer3D::Render(const Brivet::RenderContext& context)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk)
        return;
    const float time = context.time;
    if (!shader || shader->passes.GetCount() == 0 || (enabled && !enabled->GetValue(time)) || batches.GetCount() == 0)
        return;

    const uint32_t programCount = shader->GetProgramCount();
    for (uint32_t p = 0; p < shader->passes.GetCount(); ++p)
    {
        Brivet::Graphics::Program** programs = shader->passes[p].programs;
        for (uint32_t k = 0; programs && k < programCount; ++k)
            state.Update(programs[k], time);
    }

    for (Batch& batch : batches)
    {
        RenderChunk::Entry* added = chunk->AddEntry();
        if (!added)
            return;
        RenderChunk::Entry& entry = *added;
        entry.geometry = batch.instancer;
        D3DXMatrixIdentity(&entry.world);
        D3DXMatrixIdentity(&entry.previousWorld);
        entry.effect = shader;
        entry.state = &state;
        entry.material = batch.material;
    }
}
