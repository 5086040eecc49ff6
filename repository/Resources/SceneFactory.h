// The factory of the "scene" resource: 3D files of the archive imported through Assimp.
#pragma once

#include "Assets/Resource/IResourceFactory.h"

class SceneFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    // "scene", not creatable from a description, the extra flag set; the extensions of
    // SceneFileCheck::Extensions that the linked importers read, asked of a short-lived
    // importer of its own.
    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    // The imported scene, or null. The load settings are ignored.
    Brivet::Assets::Resource::IResource* LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                      const Brivet::Utility::XML::Node* loadSettings) override;

    static SceneFactory instance;
};
