// A compositing graph: the nodes of one "graph" element, their connections, the
// binding of every effect's inputs and output, and the pass that renders the nodes
// that are dirty at a time.
#pragma once

#include "Base/Array.h"
#include "Base/Dictionary.h"
#include "Base/StaticString.h"
#include "Base/String.h"

#include <cstdint>

namespace Brivet
{
class Demo;
struct RenderContext;
}

namespace Brivet::Assets::Effect
{
class IEffect;
}

namespace Brivet::Utility::XML
{
class Node;
}

namespace Brivet::Compositing
{
class INode;
class NodeOutput;

class Graph
{
public:
    struct Connection
    {
        uint32_t source; // id of the node that feeds
        uint32_t target; // id of the node fed
        Base::StaticString<64> slot; // input name of the target effect; empty: binds nothing
    };

    // Binding passes of one effect before its declarations count as never settling. A
    // Merge3D finds one connected input per pass: its 64 inputs take 65 passes.
    static constexpr uint32_t MaxBindingPasses = 72;

    // Makes the node of a kind (INode::Kind) for LoadNode; null for none.
    using NodeMaker = INode* (*)(Graph* graph, uint32_t kind, uint32_t id);

    // Empty; owned by the demo. The first makes the engine's node kinds (Windows: the
    // output node draws with Direct3D); host tests give their own.
    explicit Graph(Demo* demo);
    Graph(Demo* demo, NodeMaker maker);
    // Unloads and deletes every node (the output node also when a failed load never
    // added it), then empties the lists.
    ~Graph();

    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;

    // Builds the graph from its "graph" element: the first "output" node, the other
    // nodes in document order, the output node appended last, the connections, the
    // parameters, the bindings. False (logged) at the first failure.
    bool Load(const Utility::XML::Node& element);
    // Creates, names, positions and loads one node; a node that fails is deleted. A node
    // whose id is already used loads too (with a warning): lookups by id reach the later.
    bool LoadNode(const Utility::XML::Node& element);
    bool AddNode(INode* node); // false when a list cannot grow: the node is in none
    // Binds one effect node's inputs and output and settles its declarations.
    void ConnectNode(uint32_t id);

    // One pass of a graph alone on the screen: RenderNodes, then Present.
    void Render(const RenderContext& context);
    // Marks the dirty nodes, invalidates them and renders them in order; the output node
    // composes its picture when it is dirty. True when it did.
    bool RenderNodes(const RenderContext& context);
    // Draws the output node's last composed picture onto the back buffer.
    void Present();
    void MarkDirty(const RenderContext& context);
    // After node rendered: gives back the acquisitions its pooled producers took for it.
    void ReleaseInputs(INode* node);

    // Null when no node has the id; of nodes sharing an id, the one added last.
    INode* FindNode(uint32_t id);
    // False when no node has the id.
    bool FindIndex(uint32_t id, uint32_t* index) const;

    Demo* demo; // not owned
    Base::String name;
    NodeOutput* outputNode; // also the last of nodes once loaded
    Base::Array<INode*> nodes; // owned, in load order
    Base::Array<Connection> connections; // in document order; each names two nodes
    Base::Array<bool> dirty; // by node index
    Base::Array<bool> rendered; // by node index
    Base::Dictionary<unsigned int, bool> pooled; // by node id: the output is lent by the pool per pass
    Base::Dictionary<unsigned int, unsigned int> nodeIndex; // node id to index in nodes

private:
    // True when the node at index draws into a pooled output: its id's flag, for the
    // node its id reaches (an earlier node of a shared id is never bound).
    bool IsPooled(uint32_t index) const;
    // One binding pass of the effect of node id.
    void BindNode(uint32_t id, Assets::Effect::IEffect* effect);
    // Before a dirty pooled producer at index renders: one acquisition of its output
    // for every connection to a consumer that renders after it in this pass (or to
    // itself), which is exactly the consumers whose ReleaseInputs gives one back.
    void AcquireOutputs(uint32_t index);
    // Warns of every connection whose producer stands at or after its consumer.
    void CheckOrder();

    NodeMaker maker;
};
} // namespace Brivet::Compositing
