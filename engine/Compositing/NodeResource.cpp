// The resource node: a shared file resource through the resource manager.
#include "Compositing/NodeResource.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Utility/Log.h"
#include "Utility/XML/Node.h"

using Brivet::Utility::Log;

namespace Brivet::Compositing
{
NodeResource::NodeResource(Graph* graph, uint32_t id)
    : INode(graph, id), resource(nullptr)
{
}

NodeResource::~NodeResource()
{
    Unload();
}

bool NodeResource::Load(const Utility::XML::Node& element)
{
    const Utility::XML::Node file(element.GetHandle().child("file"), element.GetDocument());
    if (!file.GetHandle())
        return false;

    Base::String typeText;
    file.GetAttribute("type", typeText);
    type = Base::StaticString<64>(typeText.GetText());
    file.GetAttribute("path", path);

    const Utility::XML::Node loadSettings(element.GetHandle().child("loadSettings"), element.GetDocument());
    return LoadResource(loadSettings.GetHandle() ? &loadSettings : nullptr);
}

bool NodeResource::LoadResource(const Utility::XML::Node* loadSettings)
{
    resource = demo->resourceManager.GetResource(graph, type, path.GetText(), loadSettings);
    if (!resource)
    {
        Log::Error("[effect] Failed to load '%s' resource: '%s'", type.GetText(), path.GetText());
        return false;
    }
    return true;
}

bool NodeResource::Save(const Utility::XML::Node& element)
{
    if (path.GetLength() == 0)
        return true;
    pugi::xml_node file = element.GetHandle().append_child("file");
    file.append_attribute("type").set_value(type.GetText());
    file.append_attribute("path").set_value(path.GetText());
    return true;
}

bool NodeResource::Unload()
{
    if (resource)
    {
        demo->resourceManager.ReleaseResource(resource);
        resource = nullptr;
    }
    return true;
}
} // namespace Brivet::Compositing
