// Graph loading, connection binding and the per-pass render walk.
#include "Compositing/Graph.h"

#include "Assets/Effect/IEffect.h"
#include "Assets/Resource/IResource.h"
#include "Compositing/NodeEffect.h"
#include "Compositing/NodeOutput.h"
#include "Demo.h"
#include "Parameters/IParameter.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

#include <algorithm>

using Brivet::Utility::Log;

namespace Brivet::Compositing
{
namespace
{
bool IsKind(const Base::String& type, const char* kind)
{
    return type.GetHashLower() == Base::String(kind).GetHashLower();
}

// The kind a "type" attribute names, any case; false for another or none.
bool KindOf(const Base::String& type, uint32_t& kind)
{
    static const char* const names[] = { "output", "effect", "resource", "dynamic" };
    for (uint32_t i = 0; i < 4; ++i)
    {
        if (IsKind(type, names[i]))
        {
            kind = i;
            return true;
        }
    }
    return false;
}

bool IsOutputElement(const Utility::XML::Node& element)
{
    Base::String type;
    return element.GetAttribute("type", type) && IsKind(type, "output");
}

uint32_t ReadId(const Utility::XML::Node& element, const char* attribute)
{
    uint32_t id = INode::NoId;
    Base::String text;
    if (element.GetAttribute(attribute, text))
        text.Scan("%u", &id);
    return id;
}

// An input as the binding loop compares declarations: its name and expected type.
struct InputKey
{
    uint64_t name;
    uint64_t type;
    bool operator<(const InputKey& other) const
    {
        return name != other.name ? name < other.name : type < other.type;
    }
    bool operator==(const InputKey& other) const { return name == other.name && type == other.type; }
};

// The effect's current inputs as a sorted list, so that passes that declare the same
// inputs in another order compare equal.
void GetInputKeys(const Assets::Effect::IEffect* effect, Base::Array<InputKey>& keys)
{
    keys = Base::Array<InputKey>();
    for (uint32_t i = 0; i < effect->inputs.GetCount(); ++i)
    {
        const auto& entry = effect->inputs.GetEntry(i);
        keys.Add(InputKey{ entry.key.GetHashLower(), entry.value.type.GetHashLower() });
    }
    std::sort(keys.begin(), keys.end());
}

bool SameKeys(const Base::Array<InputKey>& a, const Base::Array<InputKey>& b)
{
    return a.GetCount() == b.GetCount() && std::equal(a.begin(), a.end(), b.begin());
}
} // namespace

Graph::Graph(Demo* demo, NodeMaker maker)
    : demo(demo), outputNode(nullptr), maker(maker)
{
}

Graph::~Graph()
{
    // A load that failed after the output node loaded never appended it.
    const bool outputInNodes = nodes.GetCount() && nodes[nodes.GetCount() - 1] == outputNode;
    for (INode* node : nodes)
    {
        node->Unload();
        delete node;
    }
    if (outputNode && !outputInNodes)
    {
        outputNode->Unload();
        delete outputNode;
    }
    outputNode = nullptr;
    nodes = Base::Array<INode*>();
    connections = Base::Array<Connection>();
    dirty = Base::Array<bool>();
    rendered = Base::Array<bool>();
}

bool Graph::Load(const Utility::XML::Node& element)
{
    element.GetAttribute("name", name);

    // The first output node, before every other node: resources sized from the
    // graph's output read its width and height while the others load.
    Utility::XML::ChildIterator outputIt("node");
    while (outputIt.Next(element))
    {
        if (!IsOutputElement(outputIt.GetCurrent()))
            continue;
        if (!LoadNode(outputIt.GetCurrent()))
            return false;
        break;
    }
    if (!outputNode)
    {
        Log::Error("[graph] Graph '%s' has no output node", name.GetText());
        return false;
    }

    // The other nodes in document order; later "output" nodes are not loaded.
    Utility::XML::ChildIterator nodeIt("node");
    while (nodeIt.Next(element))
    {
        if (IsOutputElement(nodeIt.GetCurrent()))
            continue;
        if (!LoadNode(nodeIt.GetCurrent()))
            return false;
    }
    if (!AddNode(outputNode))
        return false;

    // Connections; one that names no node would bind or render nothing.
    Utility::XML::ChildIterator connectionIt("connection");
    while (connectionIt.Next(element))
    {
        const Utility::XML::Node child = connectionIt.GetCurrent();
        Connection connection;
        connection.source = ReadId(child, "source");
        connection.target = ReadId(child, "target");
        Base::String slot;
        child.GetAttribute("slot", slot);
        connection.slot = Base::StaticString<64>(slot.GetText());
        if (!FindNode(connection.source) || !FindNode(connection.target))
        {
            Log::Warning("[graph] Connection from %u to %u in graph '%s' names no node; dropped", connection.source,
                         connection.target, name.GetText());
            continue;
        }
        connections.Add(connection);
    }
    CheckOrder();

    // Parameters
    Utility::XML::ChildIterator parameterIt("node");
    while (parameterIt.Next(element))
    {
        const Utility::XML::Node child = parameterIt.GetCurrent();
        if (IsOutputElement(child))
            continue;
        INode* node = FindNode(ReadId(child, "id"));
        if (node && node->GetType() == INode::KindEffect && !static_cast<NodeEffect*>(node)->LoadParameters(child))
            return false;
    }

    // Bindings; of nodes sharing an id only the later one is reached, and bound once.
    for (uint32_t i = 0; i < nodes.GetCount(); ++i)
    {
        if (FindNode(nodes[i]->id) == nodes[i])
            ConnectNode(nodes[i]->id);
    }
    return true;
}

bool Graph::LoadNode(const Utility::XML::Node& element)
{
    const uint32_t id = ReadId(element, "id");
    Base::String type;
    element.GetAttribute("type", type);
    Base::String nodeName;
    element.GetAttribute("name", nodeName);

    uint32_t kind = 0;
    INode* node = KindOf(type, kind) ? maker(this, kind, id) : nullptr;
    if (!node)
    {
        Log::Error("[graph] Unknown node type: '%s'", type.GetText());
        return false;
    }
    if (kind == INode::KindOutput)
        outputNode = static_cast<NodeOutput*>(node);

    // Both nodes load and stay (descriptions with two nodes without an id rely on it);
    // every lookup by id reaches the one added later.
    if (node != outputNode && (FindNode(id) || (outputNode && outputNode->id == id)))
        Log::Warning("[graph] Node id %u of '%s' is already used in graph '%s': only the later node is connected",
                     id, nodeName.GetText(), name.GetText());

    node->SetName(nodeName);
    Base::String position;
    if (element.GetAttribute("position", position))
        position.Scan("%g; %g", &node->position[0], &node->position[1]);

    if (!node->Load(element))
    {
        Log::Error("Failed to load node: '%s'", node->name.GetText());
        if (node == outputNode)
            outputNode = nullptr;
        delete node;
        return false;
    }

    if (demo)
    {
        ++demo->nodesLoaded;
        if (demo->nodesTotal != 0)
            demo->OnLoadProgress((float)demo->nodesLoaded / (float)demo->nodesTotal);
    }

    // The output node is appended once every other node is in.
    if (node != outputNode && !AddNode(node))
    {
        node->Unload();
        delete node;
        return false;
    }
    return true;
}

bool Graph::AddNode(INode* node)
{
    // The node goes into every per-node list or into none.
    if (!nodes.ReserveOneMore() || !dirty.ReserveOneMore() || !rendered.ReserveOneMore())
        return false;
    const uint32_t index = nodes.Add(node);
    nodeIndex.Set(node->id, index);
    dirty.Add(true);
    rendered.Add(true);
    pooled.Set(node->id, false);
    return true;
}

INode* Graph::FindNode(uint32_t id)
{
    uint32_t index;
    return FindIndex(id, &index) ? nodes[index] : nullptr;
}

bool Graph::FindIndex(uint32_t id, uint32_t* index) const
{
    const unsigned int* found = nullptr;
    if (!nodeIndex.Find(id, &found))
        return false;
    *index = *found;
    return true;
}

void Graph::CheckOrder()
{
    for (const Connection& connection : connections)
    {
        uint32_t source, target;
        if (!FindIndex(connection.source, &source) || !FindIndex(connection.target, &target) || source < target)
            continue;
        Log::Warning("[graph] Node '%s' (%u) stands before node '%s' (%u) that feeds it: it reads no new output",
                     nodes[target]->name.GetText(), connection.target, nodes[source]->name.GetText(),
                     connection.source);
    }
}

void Graph::ConnectNode(uint32_t id)
{
    INode* node = FindNode(id);
    if (!node || node->GetType() != INode::KindEffect)
        return;
    Assets::Effect::IEffect* effect = static_cast<NodeEffect*>(node)->GetEffect();
    if (!effect)
        return;

    // Bind, let the effect declare again, and repeat while its set of inputs changes:
    // inputs declared by a pass are bound by the next.
    Base::Array<InputKey> before, after;
    for (uint32_t pass = 1;; ++pass)
    {
        BindNode(id, effect);
        GetInputKeys(effect, before);
        effect->OnInputsChanged();
        GetInputKeys(effect, after);
        if (SameKeys(before, after))
            break;
        if (pass == MaxBindingPasses)
        {
            Log::Error("[graph] Inputs of node '%s' still change after %u binding passes", node->name.GetText(),
                       pass);
            break;
        }
    }
    effect->OnInputsResolved();
}

void Graph::BindNode(uint32_t id, Assets::Effect::IEffect* effect)
{
    for (const Connection& connection : connections)
    {
        INode* source = FindNode(connection.source);
        INode* target = FindNode(connection.target);

        // For an effect source this is its own output, also when it draws into a
        // dynamic node.
        if (connection.target == id)
            effect->SetInput(connection.slot, source->GetOutput());

        if (connection.source != id)
            continue;
        // Where the effect draws: the last outgoing connection decides.
        switch (target->GetType())
        {
        case INode::KindDynamic:
            effect->SetOutput(target->GetOutput());
            pooled.Set(id, false);
            break;
        case INode::KindEffect:
        case INode::KindOutput:
            effect->SetOutput(FindNode(id)->GetOutput());
            pooled.Set(id, true);
            break;
        default:
            effect->SetOutput(nullptr);
            pooled.Set(id, false);
            break;
        }
    }
}

void Graph::Render(const RenderContext& context)
{
    RenderNodes(context);
    Present();
}

void Graph::Present()
{
    // The node the walk ends at.
    for (INode* node : nodes)
    {
        if (node->GetType() == INode::KindOutput)
        {
            static_cast<NodeOutput*>(node)->Present();
            return;
        }
    }
}

bool Graph::RenderNodes(const RenderContext& context)
{
    MarkDirty(context);

    for (uint32_t i = 0; i < nodes.GetCount(); ++i)
    {
        rendered[i] = false;
        if (dirty[i])
            nodes[i]->Invalidate();
    }

    for (uint32_t i = 0; i < nodes.GetCount(); ++i)
    {
        INode* node = nodes[i];
        switch (node->GetType())
        {
        case INode::KindOutput:
            // The walk ends at the output node, the last one. It composes into a picture
            // of its own, which Present shows: the frame start clears the back buffer, so a
            // graph with nothing dirty would otherwise go black after one frame.
            if (!dirty[i])
                return false;
            static_cast<NodeOutput*>(node)->Compose();
            rendered[i] = true;
            ReleaseInputs(node);
            dirty[i] = false;
            return true;

        case INode::KindEffect:
        {
            if (!dirty[i])
                break;
            if (IsPooled(i))
                AcquireOutputs(i);
            Assets::Effect::IEffect* effect = static_cast<NodeEffect*>(node)->GetEffect();
            if (effect)
                effect->Render(context);
            rendered[i] = true;
            ReleaseInputs(node);
            dirty[i] = false;
            break;
        }

        default:
            dirty[i] = false;
            break;
        }
    }
    return false;
}

void Graph::AcquireOutputs(uint32_t index)
{
    INode* producer = nodes[index];
    Assets::Resource::IResource* output = producer->GetOutput();
    if (!output)
        return;
    for (const Connection& connection : connections)
    {
        uint32_t target;
        if (connection.source != producer->id || !FindIndex(connection.target, &target))
            continue;
        // Only consumers that render after the producer in this pass give an acquisition
        // back (a producer that feeds itself right after its own render): one taken per
        // outgoing connection, as the plain count does, would keep a target every pass.
        const uint32_t kind = nodes[target]->GetType();
        if ((kind == INode::KindEffect || kind == INode::KindOutput) && target >= index && dirty[target])
            output->AcquireTarget();
    }
}

void Graph::MarkDirty(const RenderContext& context)
{
    // Effects with a parameter animated at the time
    for (uint32_t i = 0; i < nodes.GetCount(); ++i)
    {
        if (nodes[i]->GetType() != INode::KindEffect)
            continue;
        const Assets::Effect::IEffect* effect = static_cast<NodeEffect*>(nodes[i])->GetEffect();
        if (!effect)
            continue;
        for (uint32_t p = 0; p < effect->parameters.GetCount(); ++p)
        {
            const Parameters::IParameter* parameter = effect->parameters.GetEntry(p).value.parameter;
            if (parameter && parameter->IsAnimatedAt(context.time))
            {
                dirty[i] = true;
                break;
            }
        }
    }

    // Along the connections, once, in node order
    for (uint32_t i = 0; i < nodes.GetCount(); ++i)
    {
        if (!dirty[i])
            continue;
        for (const Connection& connection : connections)
        {
            uint32_t target;
            if (connection.source == nodes[i]->id && FindIndex(connection.target, &target))
                dirty[target] = true;
        }
    }
}

void Graph::ReleaseInputs(INode* node)
{
    // An earlier node of a shared id has no connections of its own.
    if (FindNode(node->id) != node)
        return;
    for (const Connection& connection : connections)
    {
        uint32_t source;
        if (connection.target != node->id || !FindIndex(connection.source, &source))
            continue;
        INode* producer = nodes[source];
        if (producer->GetType() == INode::KindEffect && rendered[source] && IsPooled(source) && producer->GetOutput())
            producer->GetOutput()->ReleaseTarget();
    }
}

bool Graph::IsPooled(uint32_t index) const
{
    const uint32_t id = nodes[index]->id;
    uint32_t reached = 0;
    const bool* flag = nullptr;
    return FindIndex(id, &reached) && reached == index && pooled.Find(id, &flag) && *flag;
}
} // namespace Brivet::Compositing
