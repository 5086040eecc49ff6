// Compute shader resource: compile, metadata inputs, reflection.
#include "repository/Resources/ComputeShader.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/Shader.h"
#include "repository/Resources/EffectMetadata.h"

#include <cstring>

ComputeShader::ComputeShader(Brivet::Compositing::Graph* graph)
    : IResource(graph, graph ? graph->demo : nullptr), shader(nullptr)
{
}

ComputeShader::~ComputeShader()
{
    // Normally done by the manager's Unload already; a failed load ends here too.
    delete shader;
    shader = nullptr;
}

void ComputeShader::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("computeShader");
}

bool ComputeShader::Load(const char* path)
{
    uint32_t size = 0;
    char* text = ReadShaderSource(demo ? demo->archive : nullptr, path, &size);
    if (!text)
        return false;

    // The stage (the compiler logs its own failure)
    delete shader;
    shader = new Brivet::Graphics::ComputeShader(&demo->system);
    if (!shader->Compile(text, size, "main", nullptr))
    {
        delete[] text;
        return false;
    }

    // The optional metadata block: only its "input" elements are read
    if (strstr(text, "<metadata>"))
    {
        EffectMetadata metadata;
        if (!metadata.Parse(text, size))
        {
            delete[] text;
            return false;
        }
        ReadInputs(metadata.GetElement());
    }
    delete[] text;

    ReflectConstants(shader->GetConstantBuffer()->GetReflection());
    ReflectResources(shader->GetReflection());
    return true;
}

void ComputeShader::Unload()
{
    inputNames = Brivet::Base::Array<Brivet::Base::String>();
    delete shader;
    shader = nullptr;
}
