// Default operations of resource factories.
#include "Assets/Resource/IResourceFactory.h"

#include "Assets/Resource/IResource.h"

namespace Brivet::Assets::Resource
{
IResource* IResourceFactory::LoadFromFile(Compositing::Graph* graph, const char* path, const Utility::XML::Node* loadSettings)
{
    return nullptr;
}

IResource* IResourceFactory::CreateDynamic(Compositing::Graph* graph, const Utility::XML::Node* xml)
{
    return nullptr;
}

void IResourceFactory::Destroy(IResource* resource)
{
    delete resource;
}

bool IResourceFactory::Reload(IResource* resource, const char* path)
{
    if (!resource)
        return false;
    resource->Unload();
    return resource->Load(path);
}
} // namespace Brivet::Assets::Resource
