// Compute shader resource: compile, metadata inputs, reflection.
#include "repository/Resources/ComputeShader.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/Shader.h"
#include "Utility/Archive/IArchive.h"
#include "Utility/Log.h"
#include "repository/Resources/EffectMetadata.h"

#include <cstring>
#include <new>

using Brivet::Utility::Log;

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
    Brivet::Utility::Archive::IArchive* archive = demo ? demo->archive : nullptr;
    if (!archive || !path)
    {
        Log::Error("[effect] No archive to load '%s' from", path ? path : "");
        return false;
    }

    // The whole entry, zero-terminated
    const uint32_t size = archive->GetSize(path);
    if (size == 0xFFFFFFFFu)
    {
        Log::Error("[effect] File not found: '%s'", path);
        return false;
    }
    char* text = new (std::nothrow) char[(size_t)size + 1];
    if (!text)
    {
        Log::Error("[effect] No memory for '%s' (%u bytes)", path, size);
        return false;
    }
    memset(text, 0, (size_t)size + 1);
    if (!archive->Read(path, text, size))
    {
        Log::Error("[effect] Failed to read '%s'", path);
        delete[] text;
        return false;
    }

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
