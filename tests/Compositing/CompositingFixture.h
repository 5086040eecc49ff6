// A demo on a device of the tests' own, with test-only resource and effect types that
// record what the graph does to them, and a loader for "graph" elements written inline.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "Assets/Resource/IResource.h"
#include "Compositing/Graph.h"
#include "Compositing/INode.h"
#include "Compositing/NodeOutput.h"
#include "Demo.h"
#include "GraphText.h"

#include <memory>
#include <string>
#include <vector>

namespace Brivet::Graphics
{
class ITexture;
}

namespace Brivet::Parameters
{
template <typename T>
class Parameter;
}

namespace CompositingTest
{
constexpr uint32_t Width = 64;
constexpr uint32_t Height = 64;

class TestDemo : public Brivet::Demo
{
public:
    void OnLoadProgress(float fraction) override { progress.push_back(fraction); }
    uint32_t GetWidth() override { return width ? width : Brivet::Demo::GetWidth(); }
    uint32_t GetHeight() override { return height ? height : Brivet::Demo::GetHeight(); }

    std::vector<float> progress;
    uint32_t width = 0; // 0: the back buffer's
    uint32_t height = 0;
};

// The shared demo with the test types registered; null when no device could be made.
TestDemo* SharedDemo();

// "testtarget": a dynamic resource that takes one 8 × 8 target from the demo's pool at
// its first acquisition and gives it back at its last release, like a render target.
class TargetResource : public Brivet::Assets::Resource::IResource
{
public:
    explicit TargetResource(Brivet::Compositing::Graph* graph);
    ~TargetResource() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override;
    bool Load(const char* path) override { return false; }
    uint32_t AcquireTarget() override;
    uint32_t ReleaseTarget() override;
    void Invalidate() override { ++invalidations; }

    uint32_t count = 0; // outstanding acquisitions
    Brivet::Graphics::ITexture* target = nullptr; // lent by the pool
    uint32_t acquisitions = 0; // calls over the resource's life
    uint32_t releases = 0;
    uint32_t invalidations = 0;
    bool sizedFromOutput = false; // the graph's output size was known at creation

    static int live; // resources alive now
};

// "testfile": a file resource; the path "missing" does not load.
class FileResource : public Brivet::Assets::Resource::IResource
{
public:
    explicit FileResource(Brivet::Compositing::Graph* graph);
    void GetTypeName(Brivet::Base::StaticString<64>& type) const override;
    bool Load(const char* path) override { return true; }
};

// What a probe effect saw when it rendered.
struct RenderRecord
{
    std::string name; // the node's name
    float time;
    int outputCount; // acquisitions of its output at that moment; -1 without a test target
    bool outputHasTarget;
    bool inputHasTarget; // "Input" is bound to a test target that holds a target
};

// Renders of probe effects since the last Clear.
std::vector<RenderRecord>& Renders();
std::vector<std::string> RenderedNames();

// "Probe": output "testtarget", parameter "Value" (float), inputs "Input" and "Second"
// ("testtarget") and "File" ("testfile"). Counts what the graph calls; its Render fills
// the output's target, when it has one, with the colour (Value, 0, 0, 1).
class ProbeEffect : public Brivet::Assets::Effect::IEffect
{
public:
    explicit ProbeEffect(Brivet::Demo* demo) : IEffect(demo) {}

    bool Initialize() override;
    void OnInputsChanged() override { ++inputsChanged; }
    void OnInputsResolved() override { ++inputsResolved; }
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override
    {
        output = resource;
        ++setOutputCalls;
    }
    Brivet::Assets::Resource::IResource* GetOutput() override { return output; }
    void Render(const Brivet::RenderContext& context) override;

    Brivet::Assets::Resource::IResource* Bound(const char* input);

    Brivet::Parameters::Parameter<float>* value; // "Value"
    Brivet::Assets::Resource::IResource* output;
    int setOutputCalls;
    int inputsChanged;
    int inputsResolved;
};

// "Grower": declares "In0" first and, in every OnInputsChanged, one input more than it
// has bound ("In0" to "In<bound>"), the way an effect resource's textures become inputs.
class GrowerEffect : public ProbeEffect
{
public:
    explicit GrowerEffect(Brivet::Demo* demo) : ProbeEffect(demo) {}
    bool Initialize() override;
    void OnInputsChanged() override;
    std::vector<uint32_t> inputCounts; // inputs after each OnInputsChanged
};

// "Swapper": declares "A", then in every OnInputsChanged "B" instead: the count of
// inputs stays 1 while the set changes once.
class SwapperEffect : public ProbeEffect
{
public:
    explicit SwapperEffect(Brivet::Demo* demo) : ProbeEffect(demo) {}
    bool Initialize() override;
    void OnInputsChanged() override;
};

// "Restless": declares a new input name in every OnInputsChanged and never settles.
class RestlessEffect : public ProbeEffect
{
public:
    explicit RestlessEffect(Brivet::Demo* demo) : ProbeEffect(demo) {}
    bool Initialize() override;
    void OnInputsChanged() override;
};

// "Failing": Initialize returns false.
class FailingEffect : public ProbeEffect
{
public:
    explicit FailingEffect(Brivet::Demo* demo) : ProbeEffect(demo) {}
    bool Initialize() override { return false; }
};

// The target of a test target resource (the output node's inputs in the tests).
Brivet::Graphics::ITexture* TestTexture(Brivet::Assets::Resource::IResource* resource);

// The back buffer's pixels as 0xAABBGGRR words, row by row.
std::vector<uint32_t> ReadBackBuffer();

// A graph of the shared demo from the text of one "graph" element; null when Load
// failed (the graph is deleted then, as the demo does). nodesTotal is set to nodes.
std::unique_ptr<Brivet::Compositing::Graph> LoadGraph(const std::string& xml, uint32_t nodes = 0);
// As LoadGraph, for a graph expected to fail: the result of Load, the graph deleted.
bool TryLoadGraph(const std::string& xml);

ProbeEffect* EffectOf(Brivet::Compositing::Graph& graph, uint32_t id);
TargetResource* TargetOf(Brivet::Compositing::Graph& graph, uint32_t id);

// Log lines of a level since the last LogCapture::Clear, and the ones containing text.
std::vector<std::string> LogLines(int32_t level);
bool Logged(const char* text);

using GraphText::Animated;
using GraphText::Constant;
using GraphText::Effect;
using GraphText::Link;
} // namespace CompositingTest
