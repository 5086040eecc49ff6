// The factory of the "effect" resource: HLSL effect files of the archive.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class EffectFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "effect", extension "fx"; not creatable from a description.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // The loaded effect, or null (the effect logged why).
    Brivet::Assets::Resource::IResource* LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                      const Brivet::Utility::XML::Node* loadSettings) override;

    static EffectFactory instance;
};
