// The buffer factory.
#include "repository/Resources/BufferFactory.h"

#include "repository/Resources/Buffer.h"

BufferFactory BufferFactory::instance;

bool BufferFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("buffer");
    info.dynamic = true;
    return true;
}

Brivet::Assets::Resource::IResource* BufferFactory::CreateDynamic(Brivet::Compositing::Graph* graph,
                                                                  const Brivet::Utility::XML::Node* xml)
{
    Buffer* buffer = new Buffer(graph);
    if (!buffer->CreateDynamic(xml))
    {
        delete buffer;
        return nullptr;
    }
    return buffer;
}
