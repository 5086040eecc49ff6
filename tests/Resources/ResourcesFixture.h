// The device-side fixture of the resource tests: one demo whose system renders into a
// window of the test's own, an in-memory archive, graphs with an output node of a chosen
// size, and pixel read-back.
#pragma once

#include "Compositing/Graph.h"
#include "Demo.h"
#include "MemoryArchive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ID3D11Texture2D;

namespace ResourcesTest
{
constexpr uint32_t WindowWidth = 64;
constexpr uint32_t WindowHeight = 64;

// Created on first use with the texture, cube-texture, effect, compute shader, shader
// resource and buffer factories registered and Archive() as its archive; destroyed after
// the last test. Null when no device could be made.
Brivet::Demo* SharedDemo();
MemoryArchive& Archive();

// A graph of the shared demo whose output node is width × height.
std::unique_ptr<Brivet::Compositing::Graph> MakeGraph(uint32_t width, uint32_t height);

// A test on the shared demo with a 64 × 32 graph of its own and the log captured afresh;
// fails at SetUp when no device could be made.
class DemoTest : public ::testing::Test
{
protected:
    void SetUp() override;

    Brivet::Demo* demo = nullptr;
    std::unique_ptr<Brivet::Compositing::Graph> graph;
};

// Pixels of a subresource (face f of a cube without mips is subresource f) as 0xAABBGGRR
// words (R8G8B8A8_UNORM), row by row.
std::vector<uint32_t> ReadPixels(ID3D11Texture2D* texture, uint32_t subresource = 0);

constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255)
{
    return r | (g << 8) | (b << 16) | (a << 24);
}
bool SameColour(uint32_t actual, uint32_t expected, int tolerance = 2);
std::string ColourText(uint32_t colour);

// Log texts since the last LogCapture::Clear: at a level, or containing a text.
std::vector<std::string> Lines(int32_t level);
std::vector<std::string> LinesContaining(const char* text);
} // namespace ResourcesTest
