// The shader-resource factory.
#include "repository/Resources/ShaderResourceFactory.h"

#include "repository/Resources/ShaderResource.h"

ShaderResourceFactory ShaderResourceFactory::instance;

bool ShaderResourceFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("shaderresource");
    info.dynamic = true;
    return true;
}

Brivet::Assets::Resource::IResource* ShaderResourceFactory::CreateDynamic(Brivet::Compositing::Graph* graph,
                                                                          const Brivet::Utility::XML::Node* xml)
{
    return new ShaderResource(graph);
}
