// Shared device and read-back helpers of the graphics tests.
#include "GraphicsFixture.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include "Graphics/Program.h"
#include "LogCapture.h"
#include "Rendering/Quad.h"
#include "windows/DeviceFixture.h"

namespace GraphicsTest
{

namespace
{

struct Shared
{
    WindowsTest::TestWindow window{"brivet-test-host", "graphics tests", Width, Height};
    Brivet::Graphics::System system;
    bool ready = window.StartSystem(system);

    ~Shared() { system.Shutdown(); }
};

} // namespace

Brivet::Graphics::System* SharedSystem()
{
    Shared& shared = WindowsTest::SharedInstance<Shared>::Get();
    return shared.ready ? &shared.system : nullptr;
}

void DeviceTest::SetUp()
{
    system = SharedSystem();
    ASSERT_NE(system, nullptr) << "no Direct3D 11 device";
    LogCapture::Get().Clear();
}

void DeviceTest::TearDown()
{
    if (system)
        system->GetContext()->ClearState();
}

void DrawQuad(Brivet::Graphics::System* system, Brivet::Graphics::Program& program)
{
    Brivet::Rendering::Quad quad(system);
    ASSERT_TRUE(quad.CreateInputLayout(program.GetVertexShader()));
    ASSERT_TRUE(quad.CreateBuffers());
    system->BeginFrame();
    system->BindBackBuffer();
    program.Bind();
    quad.Bind();
    quad.Draw();
}

std::vector<uint32_t> ReadPixels(Brivet::Graphics::System* system, ID3D11Texture2D* texture)
{
    return WindowsTest::ReadPixels(*system, texture);
}

std::vector<uint32_t> ReadBackBuffer(Brivet::Graphics::System* system)
{
    return WindowsTest::ReadBackBuffer(*system);
}

bool SameColour(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
    {
        int a = (int)((actual >> shift) & 0xFF);
        int e = (int)((expected >> shift) & 0xFF);
        if (abs(a - e) > tolerance)
            return false;
    }
    return true;
}

std::string ColourText(uint32_t colour)
{
    char text[32];
    snprintf(text, sizeof(text), "rgba(%u, %u, %u, %u)", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF,
             colour >> 24);
    return text;
}

std::vector<std::string> LogLinesContaining(const char* text)
{
    std::vector<std::string> found;
    for (const LogCapture::Line& line : LogCapture::Get().Lines())
        if (line.text.find(text) != std::string::npos)
            found.push_back(line.text);
    return found;
}

} // namespace GraphicsTest
