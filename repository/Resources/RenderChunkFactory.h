// The factory of the "RenderChunk" resource: chunks exist only as dynamic resources.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class RenderChunkFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "RenderChunk", dynamic, no extensions.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // An empty chunk of the graph and its demo; the description is not read.
    Brivet::Assets::Resource::IResource* CreateDynamic(Brivet::Compositing::Graph* graph,
                                                       const Brivet::Utility::XML::Node* xml) override;

    static RenderChunkFactory instance;
};
