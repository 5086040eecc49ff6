// The portable steps of loading the demo description.
#include "DemoDescription.h"

#include "Utility/Archive/EntryBytes.h"
#include "Utility/Archive/IArchive.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Document.h"

#include <cstdlib>

using Brivet::Utility::Log;

namespace Brivet::Description
{
bool LoadXml(Utility::Archive::IArchive* archive, Utility::XML::Document& document)
{
    if (!archive || !archive->Exists(FileName))
    {
        Log::Error("[demo] %s not found", FileName);
        return false;
    }
    const uint32_t size = archive->GetSize(FileName);
    if (size == 0xFFFFFFFFu)
    {
        Log::Error("[demo] Unable to find size for %s", FileName);
        return false;
    }

    // The text followed by a zero byte, parsed up to its first zero byte: the archive's own
    // block of the entry, since the parser copies what it parses anyway.
    Utility::Archive::EntryBytes text;
    if (!text.Read(*archive, FileName))
    {
        Log::Error("[demo] Unable to read %s", FileName);
        return false;
    }
    const bool parsed = document.Load(reinterpret_cast<const char*>(text.GetData()));
    if (!parsed)
    {
        Log::Error("[demo] Failed to parse %s", FileName);
        return false;
    }
    return true;
}

Utility::XML::Node GetSection(Utility::XML::Document& document, const char* name)
{
    pugi::xml_node root = document.GetHandle()->child("brivet");
    return Utility::XML::Node(root.child(name), &document);
}

void ReadProperties(const Utility::XML::Node& properties, Base::String& name, Base::String& loadingShader)
{
    properties.GetAttribute("name", name);
    properties.GetAttribute("loadingShader", loadingShader);
}

void LoadPreheatTimes(const Utility::XML::Node& preheat, Base::Array<float>& times)
{
    times = Base::Array<float>();
    Utility::XML::ChildIterator it("marker");
    uint32_t dropped = 0;
    while (it.Next(preheat))
    {
        if (times.GetCount() == MaxPreheatTimes)
        {
            ++dropped;
            continue;
        }
        float& time = times.AddEmpty();
        time = 0.0f;
        const Base::String text(it.GetCurrent().GetHandle().text().get());
        if (text.Scan("%g", &time) != 1)
            time = 0.0f;
    }
    if (dropped != 0)
        Log::Warning("[demo] %u preheat markers past the first %u dropped", dropped, MaxPreheatTimes);
}

float GetLength(const Base::Array<Audio::Renderer::Clip>& clips)
{
    if (clips.GetCount() == 0)
        return 60.0f;
    float length = 0.0f;
    for (const Audio::Renderer::Clip& clip : clips)
    {
        const float end = clip.position + clip.duration;
        if (end > length)
            length = end;
    }
    return length;
}

uint32_t CountNodes(const Utility::XML::Node& compositing)
{
    uint32_t total = 0;
    Utility::XML::ChildIterator graphIt("graph");
    while (graphIt.Next(compositing))
    {
        Utility::XML::ChildIterator nodeIt("node");
        while (nodeIt.Next(graphIt.GetCurrent()))
            ++total;
    }
    return total;
}
} // namespace Brivet::Description
