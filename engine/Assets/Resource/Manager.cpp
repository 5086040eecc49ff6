// The resource factory table and the reference-counted cache of file resources.
#include "Assets/Resource/Manager.h"

#include "Assets/Resource/FactoryInfo.h"
#include "Assets/Resource/IResource.h"
#include "Assets/Resource/IResourceFactory.h"
#include "Utility/Assert.h"
#include "Utility/Log.h"

namespace Brivet::Assets::Resource
{
Manager::Manager(Demo* demo)
    : demo(demo)
{
}

Manager::~Manager() = default;

bool Manager::RegisterFactory(IResourceFactory* factory)
{
    if (!factory)
        return false;
    FactoryInfo info;
    if (!factory->GetInfo(info))
        return false;
    factories.Set(info.name, factory);
    return true;
}

IResource* Manager::GetResource(Compositing::Graph* graph, const Base::StaticString<64>& type, const char* path,
                                const Utility::XML::Node* loadSettings)
{
    const Base::String key(path);

    IResource** cached = nullptr;
    if (cache.Find(key, &cached))
    {
        IResource* resource = *cached;
        // Refused rather than handed out: the caller casts the resource to the class of
        // the type it asked for.
        if (!resource->IsCompatible(type))
        {
            Base::StaticString<64> cachedType;
            resource->GetTypeName(cachedType);
            Utility::Log::Error("[resource] '%s' is loaded as '%s', not as '%s'", key.GetText(), cachedType.GetText(),
                                type.GetText());
            return nullptr;
        }
        ++resource->refCount;
        return resource;
    }

    // Another spelling of a cached path that the probe did not reach: the cache holds
    // one entry per lower-case hash, or removing one entry could take the other.
    for (uint32_t i = 0; i < cache.GetCapacity(); ++i)
    {
        const auto& slot = cache.GetSlot(i);
        if (slot.IsLive() && slot.key.GetHashLower() == key.GetHashLower())
        {
            Utility::Log::Error("[resource] '%s' is already loaded as '%s'", key.GetText(), slot.key.GetText());
            return nullptr;
        }
    }

    IResourceFactory* factory = nullptr;
    if (!FindFactory(type, &factory))
        return nullptr;
    IResource* resource = factory->LoadFromFile(graph, path, loadSettings);
    if (!resource)
        return nullptr;
    ++resource->refCount;
    cache.Set(key, resource);
    return resource;
}

void Manager::ReleaseResource(IResource* resource)
{
    if (!resource)
        return;

    // A count of 0 is a resource the cache never held (a dynamic one, or one released
    // once too often): counting down would wrap.
    if (resource->refCount == 0)
    {
        if (Utility::Assert("Assets/Resource/Manager", 78, "Resource not found in cache!"))
            Utility::BreakIntoDebugger();
        return;
    }
    if (--resource->refCount != 0)
        return;

    for (uint32_t i = 0; i < cache.GetCapacity(); ++i)
    {
        const auto& slot = cache.GetSlot(i);
        if (!slot.IsLive() || slot.value != resource)
            continue;
        const Base::String key(slot.key);
        resource->Unload();
        delete resource;
        cache.Remove(key);
        return;
    }

    if (Utility::Assert("Assets/Resource/Manager", 78, "Resource not found in cache!"))
        Utility::BreakIntoDebugger();
}

IResource* Manager::CreateDynamic(Compositing::Graph* graph, const Base::StaticString<64>& type, const Utility::XML::Node* xml)
{
    IResourceFactory* factory = nullptr;
    if (!FindFactory(type, &factory))
        return nullptr;
    FactoryInfo info;
    factory->GetInfo(info);
    if (!info.dynamic)
        return nullptr;
    return factory->CreateDynamic(graph, xml);
}

void Manager::DestroyDynamic(const Base::StaticString<64>& type, IResource* resource)
{
    IResourceFactory* factory = nullptr;
    if (FindFactory(type, &factory))
        factory->Destroy(resource);
}

bool Manager::FindFactory(const Base::StaticString<64>& type, IResourceFactory** factory)
{
    IResourceFactory** entry = nullptr;
    if (!factories.Find(type, &entry))
        return false;
    if (factory)
        *factory = *entry;
    return true;
}
} // namespace Brivet::Assets::Resource
