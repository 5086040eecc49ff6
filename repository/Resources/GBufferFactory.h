// The factory of the "gbuffer" resource: G-buffers exist only as dynamic resources.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class GBufferFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "gbuffer", dynamic, no extensions.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // A G-buffer of graph's output size from the node's description (xml may be null);
    // null when the description is refused (logged).
    Brivet::Assets::Resource::IResource* CreateDynamic(Brivet::Compositing::Graph* graph,
                                                       const Brivet::Utility::XML::Node* xml) override;

    static GBufferFactory instance;
};
