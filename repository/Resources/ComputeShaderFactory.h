// The factory of the "computeShader" resource: compute shaders loaded from the archive.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class ComputeShaderFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "computeShader", extension "csh", not creatable from a description.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // The loaded shader, or null (logged).
    Brivet::Assets::Resource::IResource* LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                      const Brivet::Utility::XML::Node* loadSettings) override;

    static ComputeShaderFactory instance;
};
