// Base of everything effects read or write besides their parameters: textures,
// render targets, G-buffers, render chunks, shaders, fonts, scenes, buffers.
#pragma once

#include "Assets/Resource/IRefCount.h"
#include "Base/StaticString.h"
#include "Base/String.h"

#include <cstddef>
#include <cstdint>

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
// A file resource is shared through the Manager's cache and counted in refCount; a
// dynamic resource belongs to one node and goes back to its factory. Resources are
// allocated on zero-filled storage: fields a type's constructor leaves alone read 0.
class IResource : public Base::IRefCount
{
public:
    // graph: the graph the resource is created for (for a shared file resource, the
    // first graph that asked for it); demo: that graph's demo. Either may be null.
    IResource(Compositing::Graph* graph, Demo* demo);
    virtual ~IResource();

    IResource(const IResource&) = delete;
    IResource& operator=(const IResource&) = delete;

    static void* operator new(size_t size); // zero-filled block
    static void operator delete(void* block);

    virtual void GetTypeName(Base::StaticString<64>& type) const = 0;
    // True when type names this resource's type (lower-case hashes equal); types that
    // can stand in for another type answer true for that one too.
    virtual bool IsCompatible(const Base::StaticString<64>& type) const;
    virtual bool Load(const char* path) = 0;
    // xml: the node's description of the resource, or null. Base: true.
    virtual bool CreateDynamic(const Utility::XML::Node* xml);
    virtual bool WriteXml(const Utility::XML::Node& xml); // base: true
    virtual void Unload();
    virtual uint32_t GetMemorySize(); // bytes; base: 0
    virtual uint32_t AcquireTarget(); // pooled outputs; base: 0
    virtual uint32_t ReleaseTarget(); // base: 0
    virtual void Invalidate(); // a dirty node's output, each frame
    virtual void OnResize();
    virtual void SetDebugName(const Base::String& name);

    Compositing::Graph* graph; // not owned
    Demo* demo; // not owned
};
} // namespace Brivet::Assets::Resource
