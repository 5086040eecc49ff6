// The factory of the "cubetexture" resource: cube render targets from descriptions only.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class CubeTextureRenderTargetFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "cubetexture", creatable from a description, no extensions.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // A cube of the description (xml may be null: the defaults); null when it cannot be made.
    Brivet::Assets::Resource::IResource* CreateDynamic(Brivet::Compositing::Graph* graph,
                                                       const Brivet::Utility::XML::Node* xml) override;

    static CubeTextureRenderTargetFactory instance;
};
