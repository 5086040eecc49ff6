// The demo's resource factory table by type name and its reference-counted cache of
// file resources by path.
#pragma once

#include "Base/Dictionary.h"
#include "Base/StaticString.h"
#include "Base/String.h"

namespace Brivet
{
class Demo;
}

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
class IResourceFactory;

// Names (type names, paths) are matched as the dictionaries match them: the probe
// starts from the exact hash and matches on the lower-case hash, so a name is used in
// one spelling. The manager never owns the factories; cached resources are owned
// through their reference counts.
class Manager
{
public:
    explicit Manager(Demo* demo); // demo is only kept, never used here; may be null
    virtual ~Manager(); // frees the tables; deletes no resource (all are released by then)

    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    // Stores the factory under the type name its GetInfo reports, replacing a factory
    // of that name; returns what GetInfo reported (false: not stored).
    bool RegisterFactory(IResourceFactory* factory);

    // One more reference to the resource cached under path, loaded through the type's
    // factory on first use. Null for an unknown type or a type without a file form (no
    // line: the caller reports), a failed load, or a path cached as another type.
    // loadSettings may be null.
    IResource* GetResource(Compositing::Graph* graph, const Base::StaticString<64>& type, const char* path,
                           const Utility::XML::Node* loadSettings);
    // Gives back one reference; the last one unloads and deletes the resource.
    void ReleaseResource(IResource* resource);

    // A new uncached resource from its description (xml may be null), or null when the
    // type is unknown or not dynamic.
    IResource* CreateDynamic(Compositing::Graph* graph, const Base::StaticString<64>& type, const Utility::XML::Node* xml);
    // Hands a dynamic resource back to its type's factory.
    void DestroyDynamic(const Base::StaticString<64>& type, IResource* resource);

    bool FindFactory(const Base::StaticString<64>& type, IResourceFactory** factory);

    Demo* GetDemo() const { return demo; }
    const Base::Dictionary<Base::StaticString<64>, IResourceFactory*>& GetFactories() const { return factories; }
    const Base::Dictionary<Base::String, IResource*>& GetCache() const { return cache; }

private:
    Demo* demo;
    Base::Dictionary<Base::StaticString<64>, IResourceFactory*> factories;
    Base::Dictionary<Base::String, IResource*> cache; // key: the path as given
};
} // namespace Brivet::Assets::Resource
