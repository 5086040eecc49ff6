// The output node: its letterbox, its description and the steps of its drawing.
#include "Compositing/NodeOutput.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Utility/Assert.h"
#include "Utility/Log.h"
#include "Utility/XML/Node.h"

#include <cmath>

using Brivet::Utility::Log;

namespace Brivet::Compositing
{
namespace
{
uint32_t g_LiveCount = 0;
bool g_SharedReady = false;
} // namespace

NodeOutput::NodeOutput(Graph* graph, uint32_t id, const Drawing& drawing)
    : INode(graph, id), aspectRatio("16:9"), width(0), height(0), scale{ 1.0f, 1.0f }, picture(nullptr),
      hasPicture(false), drawing(drawing)
{
    if (g_LiveCount++ == 0)
        g_SharedReady = drawing.createShared(demo);
}

NodeOutput::~NodeOutput()
{
    Unload();
    if (--g_LiveCount == 0)
    {
        drawing.destroyShared();
        g_SharedReady = false;
    }
}

uint32_t NodeOutput::GetLiveCount()
{
    return g_LiveCount;
}

const Base::StaticString<64>& NodeOutput::GetTypeName()
{
    static const Base::StaticString<64> typeName("output");
    return typeName;
}

const Base::StaticString<64>& NodeOutput::GetOutputTypeName()
{
    return GetTypeName();
}

bool NodeOutput::Load(const Utility::XML::Node& element)
{
    const Utility::XML::Node output(element.GetHandle().child("output"), element.GetDocument());
    if (!output.GetAttribute("aspectRatio", aspectRatio))
        aspectRatio = Base::String("16:9");
    // The graph-sized targets of every effect would fail on every frame.
    if (!UpdateAspect())
    {
        Log::Error("[graph] Output node '%s': the aspect ratio '%s' gives no picture", name.GetText(),
                   aspectRatio.GetText());
        return false;
    }

    if (!g_SharedReady)
    {
        Log::Error("[graph] The output node has no program to draw with");
        return false;
    }
    Unload();
    return drawing.load(*this);
}

bool NodeOutput::Save(const Utility::XML::Node& element)
{
    pugi::xml_node output = element.GetHandle().append_child("output");
    output.append_attribute("aspectRatio").set_value(aspectRatio.GetText());
    return true;
}

bool NodeOutput::Unload()
{
    drawing.unload(*this);
    hasPicture = false;
    return true;
}

Assets::Resource::IResource* NodeOutput::GetOutput()
{
    BRIVET_ASSERT("Compositing/NodeOutput", "Output node doesn't have a resource!");
    return nullptr;
}

void NodeOutput::OnResize()
{
    UpdateAspect();
}

bool NodeOutput::Fit(const Base::String& aspectRatio, uint32_t screenWidth, uint32_t screenHeight, Letterbox& box)
{
    float a = 16.0f;
    float b = 9.0f;
    aspectRatio.Scan("%g:%g", &a, &b);

    box = Letterbox{ 0, 0, { 1.0f, 1.0f } };
    // "0:0", "nan", "-16:9", "1:0" and "0:1" have no picture; the casts below need a
    // finite positive ratio.
    const float ratio = a / b;
    if (!std::isfinite(ratio) || !(ratio > 0.0f) || screenWidth == 0 || screenHeight == 0)
        return false;

    const float screen = (float)screenWidth / (float)screenHeight;
    if (ratio >= screen)
    {
        // At least as wide as the screen: bars above and below.
        box.width = screenWidth;
        box.height = (uint32_t)((float)screenWidth / ratio);
        box.scale[1] = screen / ratio;
    }
    else
    {
        // Narrower: bars left and right.
        box.width = (uint32_t)((float)screenHeight * ratio);
        box.height = screenHeight;
        box.scale[0] = ratio / screen;
    }
    if (box.width == 0 || box.height == 0)
    {
        box = Letterbox{ 0, 0, { 1.0f, 1.0f } };
        return false;
    }
    return true;
}

bool NodeOutput::UpdateAspect()
{
    Letterbox box;
    const bool fits = Fit(aspectRatio, demo ? demo->GetWidth() : 0, demo ? demo->GetHeight() : 0, box);
    width = fits ? box.width : 0;
    height = fits ? box.height : 0;
    scale[0] = box.scale[0];
    scale[1] = box.scale[1];
    return fits;
}

void NodeOutput::Compose()
{
    if (g_SharedReady)
        drawing.compose(*this);
}

void NodeOutput::Present()
{
    if (g_SharedReady)
        drawing.present(*this);
}
} // namespace Brivet::Compositing
