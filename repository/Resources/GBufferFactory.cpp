// The G-buffer factory.
#include "repository/Resources/GBufferFactory.h"

#include "repository/Resources/GBuffer.h"

GBufferFactory GBufferFactory::instance;

bool GBufferFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("gbuffer");
    info.dynamic = true;
    return true;
}

Brivet::Assets::Resource::IResource* GBufferFactory::CreateDynamic(Brivet::Compositing::Graph* graph,
                                                                   const Brivet::Utility::XML::Node* xml)
{
    GBuffer* gbuffer = new GBuffer(graph);
    if (!gbuffer->CreateDynamic(xml))
    {
        delete gbuffer;
        return nullptr;
    }
    return gbuffer;
}
