// The factory of the "texture" resource: file textures and render targets from descriptions.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class TextureFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "texture", extensions "jpg", "png", "dds", creatable from a description.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // A file texture, decoded as sRGB unless the "loadSettings" element says otherwise.
    Brivet::Assets::Resource::IResource* LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                      const Brivet::Utility::XML::Node* loadSettings) override;
    // A render target sized from graph's output (xml: the node's description, may be null).
    Brivet::Assets::Resource::IResource* CreateDynamic(Brivet::Compositing::Graph* graph,
                                                       const Brivet::Utility::XML::Node* xml) override;

    static TextureFactory instance;
};
