// Graphs on the host, without a demo or a device: node kinds of the tests' own made
// through the graph's node maker, an effect that records its renders, resources that
// count their acquisitions, and an output node whose drawing only counts.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "Assets/Resource/IResource.h"
#include "Compositing/Graph.h"
#include "Compositing/NodeOutput.h"
#include "GraphText.h"

#include <memory>
#include <string>
#include <vector>

namespace Brivet::Parameters
{
template <typename T>
class Parameter;
}

namespace PortableGraph
{
// A resource standing for a render target: it holds a target while acquired.
class CountingTarget : public Brivet::Assets::Resource::IResource
{
public:
    explicit CountingTarget(const char* type = "target");
    ~CountingTarget() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override { type = typeName; }
    bool Load(const char* path) override { return true; }
    uint32_t AcquireTarget() override;
    uint32_t ReleaseTarget() override;
    void Invalidate() override { ++invalidations; }

    bool Holds() const { return count != 0; }

    Brivet::Base::StaticString<64> typeName;
    uint32_t count = 0; // outstanding acquisitions
    uint32_t acquisitions = 0;
    uint32_t releases = 0;
    uint32_t releasesWithoutAcquisition = 0;
    uint32_t invalidations = 0;

    static int live;
};

// What a probe saw when it rendered.
struct RenderRecord
{
    std::string name;
    int outputCount; // acquisitions of its output at that moment; -1 without one
    bool inputHolds; // "Input" is bound to a target that holds one
};

// Renders since the last graph load or Pass.
std::vector<RenderRecord>& Renders();
std::vector<std::string> RenderedNames();

// "Probe": output "target", parameter "Value" (float), inputs "Input" and "Second"
// ("target") and "File" ("file").
class ProbeEffect : public Brivet::Assets::Effect::IEffect
{
public:
    ProbeEffect() : IEffect(nullptr) {}

    bool Initialize() override;
    void OnInputsChanged() override { ++inputsChanged; }
    void OnInputsResolved() override { ++inputsResolved; }
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override { output = resource; }
    Brivet::Assets::Resource::IResource* GetOutput() override { return output; }
    void Render(const Brivet::RenderContext& context) override;

    Brivet::Assets::Resource::IResource* Bound(const char* input);

    Brivet::Parameters::Parameter<float>* value = nullptr;
    Brivet::Assets::Resource::IResource* output = nullptr;
    int inputsChanged = 0;
    int inputsResolved = 0;
};

// What the output nodes' drawing was asked to do.
struct DrawCounts
{
    int composes = 0;
    int presents = 0;
};
DrawCounts& Draws();

// The graph of one "graph" element made with the tests' node kinds; null when Load
// failed (the graph is deleted then, as the demo does). Effect nodes of any effect
// type hold a probe; the output node is 64 × 36.
std::unique_ptr<Brivet::Compositing::Graph> LoadGraph(const std::string& xml);

ProbeEffect* EffectOf(Brivet::Compositing::Graph& graph, uint32_t id);
CountingTarget* TargetOf(Brivet::Compositing::Graph& graph, uint32_t id);

// One pass at time; the names of the effects that rendered, in order.
std::vector<std::string> Pass(Brivet::Compositing::Graph& graph, float time);
// True when the output node composed in the last pass.
bool Composed(const Brivet::Compositing::Graph& graph);

using GraphText::Animated;
using GraphText::Constant;
using GraphText::Effect;
using GraphText::Link;
} // namespace PortableGraph
