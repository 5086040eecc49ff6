// Defaults shared by the node kinds.
#include "Compositing/INode.h"

#include "Compositing/Graph.h"

namespace Brivet::Compositing
{
INode::INode(Graph* graph, uint32_t id)
    : graph(graph), demo(graph ? graph->demo : nullptr), id(id), position{ 0.0f, 0.0f }
{
}

INode::~INode() = default;

void INode::SetName(const Base::String& text)
{
    name = text;
}

bool INode::Unload()
{
    return true;
}

void INode::Invalidate()
{
}

void INode::OnResize()
{
}
} // namespace Brivet::Compositing
