// MeshToShaderResource: picks a mesh of the scene and lends its view to the output.
#include "repository/Effects/MeshToShaderResource.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "repository/Resources/Scene.h"
#include "repository/Resources/ShaderResource.h"

using Brivet::Base::StaticString;

MeshToShaderResource::MeshToShaderResource(Brivet::Demo* demo)
    : IEffect(demo), output(nullptr), scene(nullptr), useIndexBuffer(nullptr), meshIndex(nullptr)
{
}

bool MeshToShaderResource::Initialize()
{
    outputTypeName = StaticString<64>("shaderresource"); // the assignment keeps an equal name as it is
    OnInputsChanged();
    return true;
}

void MeshToShaderResource::OnInputsChanged()
{
    Input* input = nullptr;
    // The graph binds only resources of an input's type: a bound "Scene" is a scene.
    scene = inputs.Find(StaticString<64>("Scene"), &input) ? static_cast<Scene*>(input->bound) : nullptr;
    RetireInputs();
    RetireParameters();
    useIndexBuffer = AddParameter<bool>(StaticString<64>("Use Index Buffer"), false);
    meshIndex = AddParameter<unsigned int>(StaticString<64>("Mesh Index"), 0u);
    DeclareInput(StaticString<64>("Scene"), StaticString<64>("scene"));
}

void MeshToShaderResource::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    static const StaticString<64> shaderResourceType("shaderresource");
    StaticString<64> type;
    if (resource)
        resource->GetTypeName(type);
    output = resource && type.GetHashLower() == shaderResourceType.GetHashLower()
                 ? static_cast<ShaderResource*>(resource)
                 : nullptr;
}

Brivet::Assets::Resource::IResource* MeshToShaderResource::GetOutput()
{
    return output;
}

void MeshToShaderResource::Render(const Brivet::RenderContext& context)
{
    if (!output)
        return;
    output->SetShaderResource(nullptr);
    if (!scene)
        return;

    // The k-th used slot of the mesh table
    const float t = context.time;
    const uint32_t wanted = meshIndex->GetValue(t);
    const bool indices = useIndexBuffer->GetValue(t);
    uint32_t used = 0;
    for (uint32_t i = 0; i < scene->meshes.GetCapacity(); ++i)
    {
        const auto& slot = scene->meshes.GetSlot(i);
        if (!slot.IsLive())
            continue;
        if (used++ == wanted)
        {
            Scene::Mesh* mesh = slot.value;
            if (mesh)
                output->SetShaderResource(indices ? mesh->GetIndexView() : mesh->GetVertexView());
            return;
        }
    }
}
