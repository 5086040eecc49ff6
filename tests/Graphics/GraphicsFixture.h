// Shared device and helpers of the graphics tests: one System that renders into
// a window of the test's own (so it claims no window class and no window
// procedure), the full-screen quad drawn with a program, and pixel read-back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Graphics/System.h"

struct ID3D11Texture2D;

namespace Brivet::Graphics
{
class Program;
}

namespace GraphicsTest
{

constexpr uint32_t Width = 64;
constexpr uint32_t Height = 64;

// Created on first use, shut down at exit. Null (and the test fails) when no device could be made.
Brivet::Graphics::System* SharedSystem();

// A test on the shared device: the log capture cleared before it, the device
// context's state cleared after it.
class DeviceTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    Brivet::Graphics::System* system = nullptr;
};

// Clears both buffers, binds the back buffer and draws the full-screen quad with program
// (a test failure when the quad cannot be made).
void DrawQuad(Brivet::Graphics::System* system, Brivet::Graphics::Program& program);

// The texture's pixels as 0xAABBGGRR words (R8G8B8A8_UNORM), row by row.
std::vector<uint32_t> ReadPixels(Brivet::Graphics::System* system, ID3D11Texture2D* texture);
std::vector<uint32_t> ReadBackBuffer(Brivet::Graphics::System* system);

constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255)
{
    return r | (g << 8) | (b << 16) | (a << 24);
}

// Every channel within tolerance.
bool SameColour(uint32_t actual, uint32_t expected, int tolerance = 2);
std::string ColourText(uint32_t colour);

// Log lines since the last LogCapture::Clear that contain text.
std::vector<std::string> LogLinesContaining(const char* text);

} // namespace GraphicsTest
