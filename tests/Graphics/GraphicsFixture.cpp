// Shared device and read-back helpers of the graphics tests.
#include "GraphicsFixture.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include "Graphics/StartupSettings.h"
#include "LogCapture.h"

namespace GraphicsTest
{

namespace
{

struct Shared
{
    HWND window = nullptr;
    Brivet::Graphics::System system;
    bool ready = false;

    Shared()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "brivet-test-host";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "brivet-test-host", "graphics tests", WS_POPUP, 0, 0, Width, Height, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
        Brivet::StartupSettings settings;
        settings.width = Width;
        settings.height = Height;
        settings.windowMode = 0;
        settings.vsync = false;
        settings.externalWindow = window;
        ready = window && system.Init(settings);
    }

    ~Shared()
    {
        system.Shutdown();
        if (window)
            DestroyWindow(window);
    }
};

Shared* g_Shared = nullptr;

// Shuts the shared device down after the last test, while the runtime is whole.
class SharedEnvironment : public ::testing::Environment
{
public:
    void TearDown() override
    {
        delete g_Shared;
        g_Shared = nullptr;
    }
};

::testing::Environment* const g_Environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment);

} // namespace

Brivet::Graphics::System* SharedSystem()
{
    if (!g_Shared)
        g_Shared = new Shared;
    return g_Shared->ready ? &g_Shared->system : nullptr;
}

std::vector<uint32_t> ReadPixels(Brivet::Graphics::System* system, ID3D11Texture2D* texture)
{
    std::vector<uint32_t> pixels;
    D3D11_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D11Texture2D* staging = nullptr;
    if (FAILED(system->GetDevice()->CreateTexture2D(&desc, nullptr, &staging)))
        return pixels;
    ID3D11DeviceContext* context = system->GetContext();
    context->CopyResource(staging, texture);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped)))
    {
        pixels.resize((size_t)desc.Width * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            memcpy(&pixels[(size_t)y * desc.Width], (const uint8_t*)mapped.pData + (size_t)y * mapped.RowPitch,
                   desc.Width * 4);
        context->Unmap(staging, 0);
    }
    staging->Release();
    return pixels;
}

std::vector<uint32_t> ReadBackBuffer(Brivet::Graphics::System* system)
{
    return ReadPixels(system, system->GetBackBuffer());
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
