// The scene factory.
#include "repository/Resources/SceneFactory.h"

#include "repository/Resources/Scene.h"
#include "repository/Resources/SceneFileCheck.h"

#include <assimp/Importer.hpp>

SceneFactory SceneFactory::instance;

bool SceneFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("scene");
    info.dynamic = false;
    info.extra = true;
    Assimp::Importer importer;
    for (const char* extension : SceneFileCheck::Extensions)
    {
        if (importer.IsExtensionSupported(extension))
            info.extensions.Add(Brivet::Base::StaticString<10>(extension));
    }
    return true;
}

Brivet::Assets::Resource::IResource* SceneFactory::LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                                const Brivet::Utility::XML::Node*)
{
    Scene* scene = new Scene(graph);
    if (!scene->Load(path))
    {
        delete scene;
        return nullptr;
    }
    return scene;
}
