// A demo on a device of the effect tests' own, with the repository's resource and effect
// types registered, HLSL files in an in-memory archive,
// graphs loaded from inline "graph" elements, and back-buffer read-back.
#pragma once

#include "Compositing/Graph.h"
#include "Demo.h"
#include "MemoryArchive.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Brivet::Assets::Effect
{
class IEffect;
}

namespace Brivet::Graphics
{
class ITexture;
}

namespace EffectsTest
{
constexpr uint32_t Width = 64;
constexpr uint32_t Height = 64;

// The shared demo (64 × 64 back buffer) with its archive set; null when no device could be made.
Brivet::Demo* SharedDemo();
MemoryArchive& Archive();

// A graph of the shared demo from the text of one "graph" element; null when Load failed.
// The resource cache is emptied first, so each test's files load afresh.
std::unique_ptr<Brivet::Compositing::Graph> LoadGraph(const std::string& xml);

// The effect of an effect node, or null.
Brivet::Assets::Effect::IEffect* EffectOf(Brivet::Compositing::Graph& graph, uint32_t id);

// One pass of the graph at time t.
void Render(Brivet::Compositing::Graph& graph, float t);

// The back buffer cleared to a colour (0xAABBGGRR), and bound as the render target.
void ClearBackBuffer(uint32_t colour);
// The back buffer's pixels as 0xAABBGGRR words, row by row.
std::vector<uint32_t> ReadBackBuffer();
// Vertices the input assembler read while draw ran (a pipeline-statistics query); -1 when
// the device cannot count them.
int64_t VerticesDrawn(const std::function<void()>& draw);
// The pixels of a two-dimensional R8G8B8A8 texture, the same way.
std::vector<uint32_t> ReadTexture(Brivet::Graphics::ITexture* texture);

constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255)
{
    return r | (g << 8) | (b << 16) | (a << 24);
}
// The colour of unit-range channels as 8-bit UNORM stores it.
uint32_t RgbaOf(float r, float g, float b, float a = 1.0f);
// Every channel within tolerance.
bool SameColour(uint32_t actual, uint32_t expected, int tolerance = 2);
std::string ColourText(uint32_t colour);

// A Layer2D effect file: the metadata block (inputs, samplers, passes and the rest as
// given), then the HLSL source with the quad's vertex shader "vs_main".
std::string LayerShader(const std::string& metadata, const std::string& hlsl);

// A "parameter" element holding a constant value (its text as the XML writes it), and
// one holding each of values for one second from 0 on (a spline of hold keys).
std::string ConstantParameter(const char* name, const std::string& value);
std::string SteppedParameter(const char* name, const std::vector<std::string>& values);

// Log lines since the last LogCapture::Clear that contain text.
std::vector<std::string> LogLinesContaining(const char* text);
} // namespace EffectsTest
