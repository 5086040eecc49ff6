// The host graphs' node kinds, probe effect and counting resources.
#include "PortableFixture.h"

#include "Compositing/NodeDynamic.h"
#include "Compositing/NodeEffect.h"
#include "Compositing/NodeResource.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>


using namespace Brivet;
using Brivet::Compositing::Graph;
using Brivet::Compositing::INode;

namespace PortableGraph
{
namespace
{
std::vector<RenderRecord> g_Renders;
DrawCounts g_Draws;

// An effect node whose effect is a probe, whatever the "effect" child names.
class EffectNode : public Compositing::NodeEffect
{
public:
    using NodeEffect::NodeEffect;
    ~EffectNode() override { EffectNode::Unload(); }

    bool Load(const Utility::XML::Node& element) override
    {
        ProbeEffect* probe = new ProbeEffect();
        probe->name = name;
        effect = probe;
        type = Base::StaticString<64>("Probe");
        output = new CountingTarget();
        return probe->Initialize();
    }
    bool Unload() override
    {
        delete output;
        output = nullptr;
        delete effect;
        effect = nullptr;
        return true;
    }
};

// A dynamic node: a target held for the node's life.
class DynamicNode : public Compositing::NodeDynamic
{
public:
    using NodeDynamic::NodeDynamic;
    ~DynamicNode() override { DynamicNode::Unload(); }

    bool Load(const Utility::XML::Node& element) override
    {
        resource = new CountingTarget();
        resource->AcquireTarget();
        return true;
    }
    bool Unload() override
    {
        if (resource)
            resource->ReleaseTarget();
        delete resource;
        resource = nullptr;
        return true;
    }
};

class ResourceNode : public Compositing::NodeResource
{
public:
    using NodeResource::NodeResource;
    ~ResourceNode() override { ResourceNode::Unload(); }

    bool Load(const Utility::XML::Node& element) override
    {
        resource = new CountingTarget("file");
        return true;
    }
    bool Unload() override
    {
        delete resource;
        resource = nullptr;
        return true;
    }
};

bool CreateShared(Demo*)
{
    return true;
}
void DestroyShared() {}
bool LoadPicture(Compositing::NodeOutput&)
{
    return true;
}
void UnloadPicture(Compositing::NodeOutput&) {}
void ComposePicture(Compositing::NodeOutput&)
{
    ++g_Draws.composes;
}
void PresentPicture(Compositing::NodeOutput&)
{
    ++g_Draws.presents;
}
const Compositing::NodeOutput::Drawing CountingDrawing = {
    &CreateShared, &DestroyShared, &LoadPicture, &UnloadPicture, &ComposePicture, &PresentPicture,
};

// The letterbox of 16:9 on a 64 × 64 screen, without a demo to ask for the screen.
class OutputNode : public Compositing::NodeOutput
{
public:
    OutputNode(Graph* graph, uint32_t id) : NodeOutput(graph, id, CountingDrawing) {}
    bool Load(const Utility::XML::Node& element) override
    {
        width = 64;
        height = 36;
        return true;
    }
};

INode* MakeNode(Graph* graph, uint32_t kind, uint32_t id)
{
    switch (kind)
    {
    case INode::KindOutput:
        return new OutputNode(graph, id);
    case INode::KindEffect:
        return new EffectNode(graph, id);
    case INode::KindResource:
        return new ResourceNode(graph, id);
    case INode::KindDynamic:
        return new DynamicNode(graph, id);
    default:
        return nullptr;
    }
}
} // namespace

int CountingTarget::live = 0;

CountingTarget::CountingTarget(const char* type)
    : IResource(nullptr, nullptr), typeName(type)
{
    ++live;
}

CountingTarget::~CountingTarget()
{
    --live;
}

uint32_t CountingTarget::AcquireTarget()
{
    ++acquisitions;
    return ++count;
}

uint32_t CountingTarget::ReleaseTarget()
{
    ++releases;
    if (count == 0)
    {
        ++releasesWithoutAcquisition;
        return 0;
    }
    return --count;
}

std::vector<RenderRecord>& Renders()
{
    return g_Renders;
}

std::vector<std::string> RenderedNames()
{
    std::vector<std::string> names;
    for (const RenderRecord& record : g_Renders)
        names.push_back(record.name);
    return names;
}

DrawCounts& Draws()
{
    return g_Draws;
}

bool ProbeEffect::Initialize()
{
    outputTypeName = Base::StaticString<64>("target");
    value = AddParameter<float>("Value", 0.0f);
    DeclareInput("Input", "target");
    DeclareInput("Second", "target");
    DeclareInput("File", "file");
    return true;
}

Assets::Resource::IResource* ProbeEffect::Bound(const char* input)
{
    Input* record = nullptr;
    return inputs.Find(Base::StaticString<64>(input), &record) ? record->bound : nullptr;
}

void ProbeEffect::Render(const RenderContext& context)
{
    RenderRecord record;
    record.name = name.GetText();
    record.outputCount = output ? (int)static_cast<CountingTarget*>(output)->count : -1;
    const auto* input = static_cast<CountingTarget*>(Bound("Input"));
    record.inputHolds = input && input->Holds();
    g_Renders.push_back(record);
}

std::unique_ptr<Graph> LoadGraph(const std::string& xml)
{
    Utility::XML::Document document;
    if (!document.Load(xml.c_str()))
    {
        ADD_FAILURE() << "the graph text does not parse";
        return nullptr;
    }
    g_Renders.clear();
    auto graph = std::make_unique<Graph>(nullptr, &MakeNode);
    if (!graph->Load(Utility::XML::Node(document.GetHandle()->first_child(), &document)))
        return nullptr;
    return graph;
}

ProbeEffect* EffectOf(Graph& graph, uint32_t id)
{
    INode* node = graph.FindNode(id);
    if (!node || node->GetType() != INode::KindEffect)
        return nullptr;
    return static_cast<ProbeEffect*>(static_cast<Compositing::NodeEffect*>(node)->GetEffect());
}

CountingTarget* TargetOf(Graph& graph, uint32_t id)
{
    INode* node = graph.FindNode(id);
    return node ? static_cast<CountingTarget*>(node->GetOutput()) : nullptr;
}

std::vector<std::string> Pass(Graph& graph, float time)
{
    g_Renders.clear();
    graph.Render(RenderContext::ForTime(time));
    return RenderedNames();
}

bool Composed(const Graph& graph)
{
    return graph.rendered[graph.nodes.GetCount() - 1];
}
} // namespace PortableGraph
