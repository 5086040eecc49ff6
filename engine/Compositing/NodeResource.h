// The resource node: one reference to a file resource held in the resource
// manager's cache (a texture, a scene, an effect source).
#pragma once

#include "Compositing/INode.h"

namespace Brivet::Compositing
{
class NodeResource : public INode
{
public:
    NodeResource(Graph* graph, uint32_t id);
    ~NodeResource() override; // Unload when not done yet

    uint32_t GetType() override { return KindResource; }
    const Base::StaticString<64>& GetTypeName() override { return type; }
    const Base::StaticString<64>& GetOutputTypeName() override { return type; }
    // "type" and "path" of the "file" child (required; no line of its own without
    // it), loaded with the optional "loadSettings" child.
    bool Load(const Utility::XML::Node& element) override;
    bool Save(const Utility::XML::Node& element) override;
    bool Unload() override; // gives the reference back
    Assets::Resource::IResource* GetOutput() override { return resource; }

    // loadSettings may be null.
    bool LoadResource(const Utility::XML::Node* loadSettings);

    Base::StaticString<64> type;
    Base::String path;
    Assets::Resource::IResource* resource; // one reference of the manager's cache
};
} // namespace Brivet::Compositing
