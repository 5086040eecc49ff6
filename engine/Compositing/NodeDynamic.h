// The dynamic node: owns a resource created from its description by the type's
// factory (a render target, a G-buffer, a buffer). The resource's pooled targets, if
// it has any, are held from load to unload, so that what its producer draws stays
// from pass to pass.
#pragma once

#include "Compositing/INode.h"

namespace Brivet::Compositing
{
class NodeDynamic : public INode
{
public:
    NodeDynamic(Graph* graph, uint32_t id);
    ~NodeDynamic() override; // Unload when not done yet

    uint32_t GetType() override { return KindDynamic; }
    const Base::StaticString<64>& GetTypeName() override { return type; }
    const Base::StaticString<64>& GetOutputTypeName() override { return type; }
    // The resource of the "dynamic" child's "type", created from that child (required;
    // no line of its own without it).
    bool Load(const Utility::XML::Node& element) override;
    bool Save(const Utility::XML::Node& element) override;
    // Gives the targets and then the resource back.
    bool Unload() override;
    Assets::Resource::IResource* GetOutput() override { return resource; }
    void Invalidate() override;
    void OnResize() override;

    // Creates the resource and takes its targets; false when the type cannot create one.
    bool CreateResource(const Base::StaticString<64>& resourceType, const Utility::XML::Node& element);

    Base::StaticString<64> type;
    Assets::Resource::IResource* resource; // owned; given back to its factory
};
} // namespace Brivet::Compositing
