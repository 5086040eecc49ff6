// The factory of the "shaderresource" resource: empty holders created from descriptions.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class ShaderResourceFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "shaderresource", no extensions, creatable from a description.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // A new holder without a view; the description is not read.
    Brivet::Assets::Resource::IResource* CreateDynamic(Brivet::Compositing::Graph* graph,
                                                       const Brivet::Utility::XML::Node* xml) override;

    static ShaderResourceFactory instance;
};
