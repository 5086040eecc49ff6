// The factory of the "Font" resource: fonts are only loaded from files.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class FontFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "Font", extensions "ttf" and "otf", not creatable from a description.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // The font baked into its atlas; null when it cannot be loaded.
    Brivet::Assets::Resource::IResource* LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                      const Brivet::Utility::XML::Node* loadSettings) override;

    static FontFactory instance;
};
