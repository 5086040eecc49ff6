// The compute shader factory.
#include "repository/Resources/ComputeShaderFactory.h"

#include "repository/Resources/ComputeShader.h"

ComputeShaderFactory ComputeShaderFactory::instance;

bool ComputeShaderFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("computeShader");
    info.extensions.Add(Brivet::Base::StaticString<10>("csh"));
    return true;
}

Brivet::Assets::Resource::IResource* ComputeShaderFactory::LoadFromFile(Brivet::Compositing::Graph* graph,
                                                                        const char* path,
                                                                        const Brivet::Utility::XML::Node* loadSettings)
{
    ComputeShader* shader = new ComputeShader(graph);
    if (!shader->Load(path))
    {
        delete shader;
        return nullptr;
    }
    return shader;
}
