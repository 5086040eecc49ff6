// The "rendertarget" element, the "srgb" load setting and the DDS magic test.
#include "repository/Resources/TextureSettings.h"

#include "Base/String.h"
#include "Graphics/Format.h"
#include "Utility/Log.h"
#include "Utility/XML/Node.h"

#include <cstring>

using Brivet::Utility::Log;

namespace
{
// The names of the size modes below SizeFixed, in mode order.
const char* const SizeNames[] = {
    "demo", "demo2x", "demo4x", "demo8x", "demo/2", "demo/4", "demo/8",
};
constexpr uint32_t SizeNameCount = sizeof(SizeNames) / sizeof(SizeNames[0]);

// Keywords compare without regard to the case of A to Z.
bool EqualsNoCase(const Brivet::Base::String& text, const char* keyword)
{
    return text.GetHashLower() == Brivet::Base::String(keyword).GetHashLower();
}

uint32_t FormatByName(const Brivet::Base::String& name)
{
    uint32_t format = 0;
    if (!Brivet::Graphics::FormatFromName(name.GetText(), &format))
        return 0;
    return format;
}
} // namespace

const char* TextureSettings::SizeModeName(uint32_t mode)
{
    return mode < SizeNameCount ? SizeNames[mode] : nullptr;
}

void TextureSettings::ParseRenderTarget(const Brivet::Utility::XML::Node& element)
{
    Brivet::Base::String text;
    if (element.GetAttribute("dimensions", text))
    {
        bool named = false;
        for (uint32_t mode = 0; mode < SizeNameCount && !named; ++mode)
        {
            if (EqualsNoCase(text, SizeNames[mode]))
            {
                sizeMode = mode;
                named = true;
            }
        }
        if (!named && strchr(text.GetText(), '*'))
        {
            sizeMode = SizeFixed;
            text.Scan("%u*%u", &width, &height);
        }
    }

    if (element.GetAttribute("format", text))
        format = FormatByName(text);

    if (element.GetAttribute("depthFormat", text))
    {
        depthFormat = FormatByName(text);
        // The pool makes a depth buffer only for a depth format; a colour format here
        // would come back as a colour target used as a depth buffer.
        if (depthFormat && !Brivet::Graphics::IsDepthFormat(depthFormat))
        {
            Log::Warning("[texture] '%s' is not a depth format; the target has no depth", text.GetText());
            depthFormat = 0;
        }
    }
}

void TextureSettings::UpdateSize(uint32_t outputWidth, uint32_t outputHeight)
{
    switch (sizeMode)
    {
    case SizeDemo:
        width = outputWidth;
        height = outputHeight;
        break;
    case SizeDemo2x:
        width = outputWidth * 2;
        height = outputHeight * 2;
        break;
    case SizeDemo4x:
        width = outputWidth * 4;
        height = outputHeight * 4;
        break;
    case SizeDemo8x:
        width = outputWidth * 8;
        height = outputHeight * 8;
        break;
    case SizeDemoHalf:
        width = outputWidth / 2;
        height = outputHeight / 2;
        break;
    case SizeDemoQuarter:
        width = outputWidth / 4;
        height = outputHeight / 4;
        break;
    case SizeDemoEighth:
        width = outputWidth / 8;
        height = outputHeight / 8;
        break;
    default:
        break; // fixed: the numbers of the description
    }
}

bool TextureSettings::WriteRenderTarget(const Brivet::Utility::XML::Node& element) const
{
    if (!element.GetHandle())
        return false;
    pugi::xml_node target = element.GetHandle().append_child("rendertarget");

    Brivet::Base::String text;
    if (const char* name = SizeModeName(sizeMode))
        text = Brivet::Base::String(name);
    else
        text.Format("%u*%u", width, height);
    target.append_attribute("dimensions").set_value(text.GetText());

    // A format outside the name table has no name to write: its number stands in.
    if (const char* name = Brivet::Graphics::FormatToName(format))
        text = Brivet::Base::String(name);
    else
        text.Format("%u", format);
    target.append_attribute("format").set_value(text.GetText());

    if (depthFormat)
    {
        if (const char* name = Brivet::Graphics::FormatToName(depthFormat))
            text = Brivet::Base::String(name);
        else
            text.Format("%u", depthFormat);
        target.append_attribute("depthFormat").set_value(text.GetText());
    }
    return true;
}

bool TextureSettings::ReadSrgb(const Brivet::Utility::XML::Node* loadSettings)
{
    Brivet::Base::String value;
    if (!loadSettings || !loadSettings->GetAttribute("srgb", value))
        return true;
    return EqualsNoCase(value, "true") || EqualsNoCase(value, "1") || EqualsNoCase(value, "yes");
}


bool IsDDSFile(const void* bytes, uint32_t size)
{
    return bytes && size >= 4 && memcmp(bytes, "DDS ", 4) == 0;
}
