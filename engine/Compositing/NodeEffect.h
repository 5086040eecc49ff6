// The effect node: owns one effect, created by type name through the demo's effect
// factories, and the effect's output resource.
#pragma once

#include "Compositing/INode.h"

namespace Brivet::Assets::Effect
{
class IEffect;
}

namespace Brivet::Compositing
{
class NodeEffect : public INode
{
public:
    NodeEffect(Graph* graph, uint32_t id);
    ~NodeEffect() override; // Unload when not done yet

    uint32_t GetType() override { return KindEffect; }
    void SetName(const Base::String& text) override; // the effect's name too
    const Base::StaticString<64>& GetTypeName() override { return type; }
    // The effect's outputTypeName; empty without an effect.
    const Base::StaticString<64>& GetOutputTypeName() override;
    // The effect of the "effect" child's "type", then its output resource from the
    // optional "resource" child.
    bool Load(const Utility::XML::Node& element) override;
    bool Save(const Utility::XML::Node& element) override;
    // Gives the output back to its factory, shuts the effect down and deletes it.
    bool Unload() override;
    Assets::Resource::IResource* GetOutput() override { return output; }
    void Invalidate() override;
    void OnResize() override;

    // Creates and initialises the effect of that type (the creation logs its failures).
    bool CreateEffect(const Base::StaticString<64>& effectType);
    // Applies the "parameter" children of the "effect" child to the effect's declared
    // parameters; a name not declared yet is kept as text for a later declaration.
    bool LoadParameters(const Utility::XML::Node& element);

    Assets::Effect::IEffect* GetEffect() const { return effect; }

    Base::StaticString<64> type; // set once the effect is initialised
    Assets::Effect::IEffect* effect; // owned
    Assets::Resource::IResource* output; // owned; given back to its factory
};
} // namespace Brivet::Compositing
