// Reading the demo description "brivet.xml": the parts of the demo's loading
// that need neither Win32 nor Direct3D.
#pragma once

#include "Audio/Renderer.h"
#include "Base/Array.h"
#include "Base/String.h"
#include "Utility/XML/Node.h"

#include <cstdint>

namespace Brivet::Utility::Archive { class IArchive; }
namespace Brivet::Utility::XML { class Document; }

namespace Brivet::Description
{
constexpr const char* FileName = "brivet.xml";

// Reads "brivet.xml" from archive and parses it into document. Logs the reason
// ("[demo] %s not found", "[demo] Unable to find size for %s", "[demo] Unable to
// read %s", "[demo] Failed to parse %s") and returns false on failure.
bool LoadXml(Utility::Archive::IArchive* archive, Utility::XML::Document& document);

// The child element `name` of the document's first top-level "brivet" element;
// a null node when either is missing.
Utility::XML::Node GetSection(Utility::XML::Document& document, const char* name);

// "name" and "loadingShader" of "properties"; an absent attribute leaves its String as it was.
void ReadProperties(const Utility::XML::Node& properties, Base::String& name, Base::String& loadingShader);

// Each preheat time renders every graph once during the start-up.
constexpr uint32_t MaxPreheatTimes = 64;

// Empties times, then appends one time per "marker" child in order: its text
// content scanned with "%g", 0 when the text does not begin with a number. Markers
// past the first MaxPreheatTimes are dropped with one warning.
void LoadPreheatTimes(const Utility::XML::Node& preheat, Base::Array<float>& times);

// The latest clip end (position + duration) in seconds, at least 0; 60 without clips.
float GetLength(const Base::Array<Audio::Renderer::Clip>& clips);

// The "node" children of all "graph" children of the "compositing" element.
uint32_t CountNodes(const Utility::XML::Node& compositing);
} // namespace Brivet::Description
