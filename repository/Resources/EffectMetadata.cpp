// Reading the metadata block of an effect file.
#include "repository/Resources/EffectMetadata.h"

#include "Graphics/Format.h"
#include "Utility/Archive/IArchive.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"

#include <cstring>
#include <new>
#include <string_view>

using Brivet::Base::Array;
using Brivet::Base::String;
using Brivet::Utility::Log;
using Brivet::Utility::XML::Node;

namespace Brivet::Graphics
{
const BlendFactorName BlendFactorNames[] = {
    {1, "ZERO"},
    {2, "ONE"},
    {3, "SRC_COLOR"},
    {4, "INV_SRC_COLOR"},
    {5, "SRC_ALPHA"},
    {6, "INV_SRC_ALPHA"},
    {7, "DEST_ALPHA"},
    {8, "INV_DEST_ALPHA"},
    {9, "DEST_COLOR"},
    {10, "INV_DEST_COLOR"},
    {11, "SRC_ALPHA_SAT"},
    {14, "BLEND_FACTOR"},
    {15, "INV_BLEND_FACTOR"},
    {16, "SRC1_COLOR"},
    {17, "INV_SRC1_COLOR"},
    {18, "SRC1_ALPHA"},
    {19, "INV_SRC1_ALPHA"},
    {1, nullptr},
};

const FilterName FilterNames[] = {
    {0, "POINT"},
    {0x15, "LINEAR"},
    {0x55, "ANISOTROPIC"},
    {0, nullptr},
};
} // namespace Brivet::Graphics

namespace
{
constexpr std::string_view OpenTag = "<metadata>";
constexpr std::string_view CloseTag = "</metadata>";

bool EqualsNoCase(const String& text, const char* keyword)
{
    return text.GetHashLower() == String(keyword).GetHashLower();
}

Node FirstChild(const Node& parent, const char* name)
{
    Brivet::Utility::XML::ChildIterator it(name);
    if (!it.Next(parent))
        return Node();
    return it.GetCurrent();
}

// The attribute's text; empty when absent.
String Attribute(const Node& element, const char* name)
{
    String value;
    element.GetAttribute(name, value);
    return value;
}

// The index of keyword in names (compared without regard to case), or fallback.
uint32_t Keyword(const String& text, const char* const* names, uint32_t count, uint32_t fallback)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        if (names[i] && EqualsNoCase(text, names[i]))
            return i;
    }
    return fallback;
}

uint32_t AddressMode(const Node& element, const char* name)
{
    const String value = Attribute(element, name);
    if (EqualsNoCase(value, "wrap"))
        return EffectMetadata::AddressWrap;
    return EffectMetadata::AddressClamp; // "clamp" and anything else
}

void ReadBlend(const Node& element, EffectMetadata::Pass& pass)
{
    String text;
    if (!element.GetAttribute("renderTarget", text))
        return;
    uint32_t index = 0;
    if (text.Scan("%u", &index) != 1 || index >= EffectMetadata::BlendTargetCount)
    {
        Log::Warning("[effect] Blend renderTarget '%s' is not 0 to 7; the element is passed over", text.GetText());
        return;
    }

    EffectMetadata::BlendTarget& target = pass.blend[index];
    target.enable = true;
    if (element.GetAttribute("enabled", text))
        target.enable = EqualsNoCase(text, "true");
    if (!target.enable)
        return;
    const Node alpha = FirstChild(element, "alpha");
    target.sourceAlpha = EffectMetadata::BlendFactorFromName(Attribute(alpha, "src"));
    target.destinationAlpha = EffectMetadata::BlendFactorFromName(Attribute(alpha, "dst"));
    const Node color = FirstChild(element, "color");
    target.sourceColor = EffectMetadata::BlendFactorFromName(Attribute(color, "src"));
    target.destinationColor = EffectMetadata::BlendFactorFromName(Attribute(color, "dst"));
}
} // namespace

bool EffectMetadata::Parse(const char* text, uint32_t length)
{
    metadata = pugi::xml_node();
    const std::string_view source(text ? text : "", text ? length : 0);

    const size_t open = source.find(OpenTag);
    if (open == std::string_view::npos)
    {
        Log::Error("[effect] Metadata tag not found");
        return false;
    }
    const size_t close = source.find(CloseTag, open + OpenTag.size());
    if (close == std::string_view::npos)
    {
        // Logged, as the compute shader's load does: a failure without a line would
        // leave the error box without its cause.
        Log::Error("[effect] Metadata XML malformed");
        return false;
    }

    const String block(source.data() + open, (uint32_t)(close + CloseTag.size() - open));
    if (!document.Load(block.GetText()))
    {
        Log::Error("[effect] Metadata XML malformed");
        return false;
    }
    metadata = document.GetHandle()->child("metadata");
    return true;
}

Node EffectMetadata::GetElement() const
{
    return Node(metadata, const_cast<Brivet::Utility::XML::Document*>(&document));
}

bool EffectMetadata::ReadVariations(const Node& metadata, Array<String>& variations)
{
    variations = Array<String>();
    Array<String> names;
    Brivet::Utility::XML::ChildIterator it("variation");
    while (it.Next(metadata))
        names.Add(String(it.GetCurrent().GetHandle().text().get()));
    if (names.GetCount() > MaxVariations)
    {
        Log::Error("[effect] %u variations; at most %u are compiled", names.GetCount(), MaxVariations);
        return false;
    }
    variations = names;
    return true;
}

void EffectMetadata::ReadPass(const Node& element, Pass& pass)
{
    static const char* const kinds[] = {nullptr, "shadowcube", "shadow", "transparent"};
    static const char* const lightTypes[] = {nullptr, "ambient", "directional", "point", "spot", "areasphere", "areatube"};

    element.GetAttribute("name", pass.name);
    pass.kind = Keyword(Attribute(element, "type"), kinds, 4, Pass::KindNormal);
    pass.lightType = Keyword(Attribute(element, "lighttype"), lightTypes, 7, 0);

    String targets;
    pass.renderTargets = Array<String>();
    if (element.GetAttribute("renderTargets", targets))
    {
        SplitList(targets, pass.renderTargets);
        if (pass.renderTargets.GetCount() > MaxPassTargets)
        {
            Log::Warning("[effect] Pass '%s' names %u render targets; only the first %u are bound", pass.name.GetText(),
                         pass.renderTargets.GetCount(), MaxPassTargets);
            Array<String> first;
            for (uint32_t i = 0; i < MaxPassTargets; ++i)
                first.Add(pass.renderTargets[i]);
            pass.renderTargets = first;
        }
    }

    pass.stageMask = 0;
    if (element.GetAttribute("vs", pass.vertexEntry))
        pass.stageMask |= Pass::StageVertex;
    if (element.GetAttribute("ps", pass.pixelEntry))
        pass.stageMask |= Pass::StagePixel;
    if (element.GetAttribute("gs", pass.geometryEntry))
        pass.stageMask |= Pass::StageGeometry;

    // States: the first child of each name; "blend" every one.
    const Node depth = FirstChild(element, "depth");
    pass.hasDepth = !depth.GetHandle().empty();
    if (pass.hasDepth)
    {
        pass.depthRead = EqualsNoCase(Attribute(depth, "read"), "true");
        pass.depthWrite = EqualsNoCase(Attribute(depth, "write"), "true");
    }

    const Node rasterizer = FirstChild(element, "rasterizer");
    pass.hasRasterizer = !rasterizer.GetHandle().empty();
    if (pass.hasRasterizer)
    {
        const String cull = Attribute(rasterizer, "cullMode");
        pass.cullMode = EqualsNoCase(cull, "front") ? CullFront : EqualsNoCase(cull, "none") ? CullNone : CullBack;
    }

    pass.hasBlend = false;
    Brivet::Utility::XML::ChildIterator blends("blend");
    while (blends.Next(element))
    {
        pass.hasBlend = true;
        ReadBlend(blends.GetCurrent(), pass);
    }
}

void EffectMetadata::ReadRenderTarget(const Node& element, RenderTarget& target)
{
    element.GetAttribute("name", target.name);
    String text;
    target.fixedSize = false;
    if (element.GetAttribute("dimensions", text))
    {
        // Read signed as written; a negative side is refused rather than wrapped.
        int width = 0;
        int height = 0;
        text.Scan("%d*%d", &width, &height);
        target.fixedSize = true;
        target.width = width > 0 ? (uint32_t)width : 0;
        target.height = height > 0 ? (uint32_t)height : 0;
    }
    target.format = 0;
    if (element.GetAttribute("format", text))
        Brivet::Graphics::FormatFromName(text.GetText(), &target.format);
}

void EffectMetadata::ReadSampler(const Node& element, Sampler& sampler)
{
    element.GetAttribute("name", sampler.name);
    sampler.addressU = AddressMode(element, "u");
    sampler.addressV = AddressMode(element, "v");
    sampler.addressW = AddressMode(element, "w");
    String filter;
    if (element.GetAttribute("filter", filter))
        sampler.filter = FilterFromName(filter);
}

void EffectMetadata::SplitList(const String& list, Array<String>& pieces)
{
    const char* text = list.GetText();
    const uint32_t length = list.GetLength();
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; ++i)
    {
        if (i == length || text[i] == ',')
        {
            if (i > start)
                pieces.Add(String(text + start, i - start));
            start = i + 1;
        }
    }
}

uint32_t EffectMetadata::BlendFactorFromName(const String& name)
{
    const Brivet::Graphics::BlendFactorName* row = Brivet::Graphics::BlendFactorNames;
    for (; row->name; ++row)
    {
        if (strcmp(row->name, name.GetText()) == 0)
            break;
    }
    return (uint32_t)row->blend; // the end row holds ZERO
}

uint32_t EffectMetadata::FilterFromName(const String& name)
{
    const Brivet::Graphics::FilterName* row = Brivet::Graphics::FilterNames;
    for (; row->name; ++row)
    {
        if (strcmp(row->name, name.GetText()) == 0)
            break;
    }
    return (uint32_t)row->filter; // the end row holds POINT
}

char* ReadShaderSource(Brivet::Utility::Archive::IArchive* archive, const char* path, uint32_t* size)
{
    if (!archive || !path)
    {
        Log::Error("[effect] No archive to load '%s' from", path ? path : "");
        return nullptr;
    }
    *size = archive->GetSize(path);
    if (*size == 0xFFFFFFFFu)
    {
        Log::Error("[effect] File not found: '%s'", path);
        return nullptr;
    }
    char* text = new (std::nothrow) char[(size_t)*size + 1];
    if (!text)
    {
        Log::Error("[effect] No memory for '%s' (%u bytes)", path, *size);
        return nullptr;
    }
    memset(text, 0, (size_t)*size + 1);
    if (!archive->Read(path, text, *size))
    {
        Log::Error("[effect] Failed to read '%s'", path);
        delete[] text;
        return nullptr;
    }
    return text;
}
