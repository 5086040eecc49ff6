// The render-chunk factory.
#include "repository/Resources/RenderChunkFactory.h"

#include "Compositing/Graph.h"
#include "repository/Resources/RenderChunk.h"

RenderChunkFactory RenderChunkFactory::instance;

bool RenderChunkFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("RenderChunk");
    info.dynamic = true;
    return true;
}

Brivet::Assets::Resource::IResource* RenderChunkFactory::CreateDynamic(Brivet::Compositing::Graph* graph,
                                                                       const Brivet::Utility::XML::Node* xml)
{
    return new RenderChunk(graph, graph ? graph->demo : nullptr);
}
