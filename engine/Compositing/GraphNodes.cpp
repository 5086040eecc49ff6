// The node kinds of the engine's graphs. The output node draws with Direct3D, so the
// graph constructor that makes them builds for Windows only.
#include "Compositing/Graph.h"

#include "Compositing/NodeDynamic.h"
#include "Compositing/NodeEffect.h"
#include "Compositing/NodeOutput.h"
#include "Compositing/NodeResource.h"

namespace Brivet::Compositing
{
namespace
{
INode* MakeNode(Graph* graph, uint32_t kind, uint32_t id)
{
    switch (kind)
    {
    case INode::KindOutput:
        return new NodeOutput(graph, id);
    case INode::KindEffect:
        return new NodeEffect(graph, id);
    case INode::KindResource:
        return new NodeResource(graph, id);
    case INode::KindDynamic:
        return new NodeDynamic(graph, id);
    default:
        return nullptr;
    }
}
} // namespace

Graph::Graph(Demo* demo)
    : Graph(demo, &MakeNode)
{
}
} // namespace Brivet::Compositing
