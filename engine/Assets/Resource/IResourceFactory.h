// The factory of one resource type: names it, lists its extensions, loads or creates it.
#pragma once

#include "Assets/Resource/FactoryInfo.h"

namespace Brivet::Compositing
{
class Graph;
}

namespace Brivet::Utility::XML
{
class Node;
}

namespace Brivet::Assets::Resource
{
class IResource;

// One static object per resource type, alive for the whole process; the Manager's
// table points to it and never deletes it.
class IResourceFactory
{
public:
    // False when the factory cannot describe itself: it is then not registered.
    virtual bool GetInfo(FactoryInfo& info) = 0;
    // A new resource with refCount 0, or null (the factory or the resource logs why).
    // loadSettings may be null. Base: null, the type has no file form.
    virtual IResource* LoadFromFile(Compositing::Graph* graph, const char* path, const Utility::XML::Node* loadSettings);
    // xml may be null. Base: null, the type has no dynamic form.
    virtual IResource* CreateDynamic(Compositing::Graph* graph, const Utility::XML::Node* xml);
    // Deletes the resource (null: nothing).
    virtual void Destroy(IResource* resource);
    // Unload, then Load(path).
    virtual bool Reload(IResource* resource, const char* path);

protected:
    ~IResourceFactory() = default; // static objects, never deleted through this interface
};
} // namespace Brivet::Assets::Resource
