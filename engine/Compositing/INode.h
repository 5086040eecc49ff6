// The interface of the four node kinds of a compositing graph: output, effect,
// resource and dynamic node. Each kind reads its own children of the "node" element.
#pragma once

#include "Base/StaticString.h"
#include "Base/String.h"

#include <cstdint>

namespace Brivet
{
class Demo;
}

namespace Brivet::Assets::Resource
{
class IResource;
}

namespace Brivet::Utility::XML
{
class Node;
}

namespace Brivet::Compositing
{
class Graph;

class INode
{
public:
    // The values GetType returns.
    enum Kind : uint32_t
    {
        KindOutput = 0,
        KindEffect = 1,
        KindResource = 2,
        KindDynamic = 3,
    };

    static constexpr uint32_t NoId = 0xFFFFFFFF; // a "node" element without "id"

    // graph gives the demo; either may be null only in tests that never load.
    INode(Graph* graph, uint32_t id);
    virtual ~INode();

    INode(const INode&) = delete;
    INode& operator=(const INode&) = delete;

    virtual uint32_t GetType() = 0;
    virtual void SetName(const Base::String& text);
    virtual const Base::StaticString<64>& GetTypeName() = 0;
    virtual const Base::StaticString<64>& GetOutputTypeName() = 0;
    // element: the "node" element; false (logged by the kind) when the node cannot work.
    virtual bool Load(const Utility::XML::Node& element) = 0;
    // Appends the children Load reads to element.
    virtual bool Save(const Utility::XML::Node& element) = 0;
    // Gives back what the node holds; safe to call twice. Always true.
    virtual bool Unload();
    // The resource the node's consumers read; not owned by the caller.
    virtual Assets::Resource::IResource* GetOutput() = 0;
    // The node is dirty in this pass: its resource forgets last pass's content.
    virtual void Invalidate();
    virtual void OnResize();

    Graph* graph; // not owned
    Demo* demo; // the graph's demo; not owned
    uint32_t id;
    Base::String name;
    float position[2]; // editor data; nothing reads it
};
} // namespace Brivet::Compositing
