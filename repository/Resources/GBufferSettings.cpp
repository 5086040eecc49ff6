// The "gbuffer" element: reading and writing a G-buffer's layers, formats and sizes.
#include "repository/Resources/GBufferSettings.h"

#include "Graphics/Format.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

#include <cstring>

using Brivet::Base::String;
using Brivet::Utility::Log;
using Brivet::Utility::XML::Node;

namespace
{
// A colour format of the name table: the pool makes a depth buffer for a depth format,
// which cannot stand where a colour target is drawn into or read.
bool ColourFormat(const String& name, uint32_t* format)
{
    uint32_t value = 0;
    if (!Brivet::Graphics::FormatFromName(name.GetText(), &value) || Brivet::Graphics::IsDepthFormat(value))
        return false;
    *format = value;
    return true;
}

// An optional format attribute; false (logged) when present and not a colour format.
bool ReadColourFormat(const Node& element, const char* attribute, uint32_t* format)
{
    String text;
    if (!element.GetAttribute(attribute, text))
        return true;
    if (ColourFormat(text, format))
        return true;
    Log::Error("[gbuffer] \"%s\" is not a colour format: '%s'", attribute, text.GetText());
    return false;
}

// An optional "%u" size; false (logged) when it reads as 0. Text that is no number keeps
// the size.
bool ReadSize(const Node& element, const char* attribute, uint32_t* size)
{
    String text;
    if (!element.GetAttribute(attribute, text))
        return true;
    uint32_t value = *size;
    text.Scan("%u", &value);
    if (value == 0)
    {
        Log::Error("[gbuffer] \"%s\" of 0: '%s'", attribute, text.GetText());
        return false;
    }
    *size = value;
    return true;
}

void SetAttribute(pugi::xml_node element, const char* name, const char* value)
{
    element.append_attribute(name).set_value(value);
}
} // namespace

bool GBufferSettings::Parse(const Node* element)
{
    layers.Empty();
    if (!element)
    {
        Layer& layer = layers.AddEmpty();
        layer.name = String("texDiffuse");
        layer.format = FormatR32G32B32A32Float;
        return true;
    }
    Brivet::Utility::XML::ChildIterator it("gbuffer");
    if (!it.Next(*element))
        return true;
    const Node gbuffer = it.GetCurrent();

    // Depth
    String text;
    if (gbuffer.GetAttribute("depthFormat", text))
    {
        uint32_t format = 0;
        const bool known = Brivet::Graphics::FormatFromName(text.GetText(), &format);
        // The pool makes a depth buffer only for a depth format; a colour format would
        // come back as a colour target used as a depth buffer.
        if (!known || !Brivet::Graphics::IsDepthFormat(format))
        {
            if (text.GetLength() != 0)
                Log::Warning("[gbuffer] '%s' is not a depth format; the G-buffer has no depth buffer", text.GetText());
            format = 0;
        }
        depthFormat = format;
    }

    // Layers, in order
    Brivet::Utility::XML::ChildIterator layerIt("layer");
    while (layerIt.Next(gbuffer))
    {
        const Node layerElement = layerIt.GetCurrent();
        Layer layer;
        layerElement.GetAttribute("name", layer.name);
        String format;
        layerElement.GetAttribute("format", format);
        if (!ColourFormat(format, &layer.format))
        {
            Log::Error("[gbuffer] Layer '%s' has no colour format: '%s'", layer.name.GetText(), format.GetText());
            return false;
        }
        layers.Add(layer);
    }

    // Shadow maps and cubes
    if (!ReadSize(gbuffer, "shadowSize", &shadowMapSize) ||
        !ReadColourFormat(gbuffer, "shadowFormat", &shadowMapFormat) ||
        !ReadSize(gbuffer, "shadowCubeSize", &shadowCubeSize) ||
        !ReadColourFormat(gbuffer, "shadowCubeFormat", &shadowCubeFormat))
        return false;

    // Fixed size
    if (gbuffer.GetAttribute("dimensions", text) && strchr(text.GetText(), '*'))
    {
        text.Scan("%u*%u", &width, &height);
        fixedSize = 1;
        if (width == 0 || height == 0)
        {
            Log::Error("[gbuffer] \"dimensions\" give no pixels: '%s'", text.GetText());
            return false;
        }
    }
    return true;
}

bool GBufferSettings::Write(const Node& element) const
{
    if (!element.GetHandle())
        return false;
    pugi::xml_node gbuffer = element.GetHandle().append_child("gbuffer");

    for (const Layer& layer : layers)
    {
        pugi::xml_node child = gbuffer.append_child("layer");
        SetAttribute(child, "name", layer.name.GetText());
        // A format without a name is written as no attribute.
        if (const char* name = Brivet::Graphics::FormatToName(layer.format))
            SetAttribute(child, "format", name);
    }

    // The description's depth format rather than the held target's (always D24_UNORM_S8_UINT,
    // and only while acquired): "none" and a format are read back as they were.
    const char* depthName = depthFormat ? Brivet::Graphics::FormatToName(depthFormat) : "";
    if (depthName)
        SetAttribute(gbuffer, "depthFormat", depthName);

    String number;
    if (shadowMapSize)
        SetAttribute(gbuffer, "shadowSize", number.Format("%u", shadowMapSize).GetText());
    if (const char* name = shadowMapFormat ? Brivet::Graphics::FormatToName(shadowMapFormat) : nullptr)
        SetAttribute(gbuffer, "shadowFormat", name);
    if (shadowCubeSize)
        SetAttribute(gbuffer, "shadowCubeSize", number.Format("%u", shadowCubeSize).GetText());
    if (const char* name = shadowCubeFormat ? Brivet::Graphics::FormatToName(shadowCubeFormat) : nullptr)
        SetAttribute(gbuffer, "shadowCubeFormat", name);
    if (fixedSize)
        SetAttribute(gbuffer, "dimensions", number.Format("%u*%u", width, height).GetText());
    return true;
}
