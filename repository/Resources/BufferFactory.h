// The factory of the "buffer" resource: float buffers created from descriptions.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class BufferFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "buffer", no extensions, creatable from a description.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // A buffer of the description's size (100 floats without one); null when it cannot
    // be created.
    Brivet::Assets::Resource::IResource* CreateDynamic(Brivet::Compositing::Graph* graph,
                                                       const Brivet::Utility::XML::Node* xml) override;

    static BufferFactory instance;
};
