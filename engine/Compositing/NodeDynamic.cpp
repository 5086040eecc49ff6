// The dynamic node: a resource of its own, created from the node's description.
#include "Compositing/NodeDynamic.h"

#include "Assets/Resource/IResource.h"
#include "Compositing/Graph.h"
#include "Demo.h"
#include "Utility/Log.h"
#include "Utility/XML/Node.h"

using Brivet::Utility::Log;

namespace Brivet::Compositing
{
NodeDynamic::NodeDynamic(Graph* graph, uint32_t id)
    : INode(graph, id), resource(nullptr)
{
}

NodeDynamic::~NodeDynamic()
{
    Unload();
}

bool NodeDynamic::Load(const Utility::XML::Node& element)
{
    const Utility::XML::Node dynamic(element.GetHandle().child("dynamic"), element.GetDocument());
    if (!dynamic.GetHandle())
        return false;

    Base::String typeText;
    dynamic.GetAttribute("type", typeText);
    type = Base::StaticString<64>(typeText.GetText());
    if (!CreateResource(type, dynamic))
    {
        Log::Error("[effect] Failed to create dynamic resource: '%s'", type.GetText());
        return false;
    }
    return true;
}

bool NodeDynamic::CreateResource(const Base::StaticString<64>& resourceType, const Utility::XML::Node& element)
{
    resource = demo->resourceManager.CreateDynamic(graph, resourceType, &element);
    if (!resource)
        return false;

    // Render targets and G-buffers hold pooled targets only while acquired. The node's
    // one acquisition lasts as long as the node: the producer that draws into the
    // resource finds targets in every pass, and they keep their content between the
    // passes in which the producer renders (the pool would otherwise lend them to others
    // in between). Other types ignore it.
    resource->AcquireTarget();
    return true;
}

bool NodeDynamic::Save(const Utility::XML::Node& element)
{
    pugi::xml_node dynamic = element.GetHandle().append_child("dynamic");
    dynamic.append_attribute("type").set_value(type.GetText());
    if (!resource)
        return true;
    return resource->WriteXml(Utility::XML::Node(dynamic, element.GetDocument()));
}

bool NodeDynamic::Unload()
{
    if (resource)
    {
        resource->ReleaseTarget();
        demo->resourceManager.DestroyDynamic(type, resource);
        resource = nullptr;
    }
    return true;
}

void NodeDynamic::Invalidate()
{
    if (resource)
        resource->Invalidate();
}

void NodeDynamic::OnResize()
{
    if (resource)
        resource->OnResize();
}
} // namespace Brivet::Compositing
