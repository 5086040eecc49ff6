// The shared demo, archive, graphs and read-back of the resource tests.
#include "ResourcesFixture.h"

#include "Compositing/NodeOutput.h"
#include "Graphics/StartupSettings.h"
#include "LogCapture.h"
#include "repository/Resources/EffectFactory.h"
#include "repository/Resources/TextureFactory.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ResourcesTest
{
namespace
{
struct Shared
{
    HWND window = nullptr;
    Brivet::Demo* demo = nullptr; // on zero-filled memory, as the application makes it
    MemoryArchive archive;
    bool ready = false;

    Shared()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "brivet-resource-tests";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "brivet-resource-tests", "resource tests", WS_POPUP, 0, 0, WindowWidth,
                                 WindowHeight, nullptr, nullptr, windowClass.hInstance, nullptr);

        void* block = calloc(1, sizeof(Brivet::Demo));
        demo = new (block) Brivet::Demo();
        demo->archive = &archive;
        demo->RegisterResourceFactory(&TextureFactory::instance);
        demo->RegisterResourceFactory(&EffectFactory::instance);

        Brivet::StartupSettings settings;
        settings.width = WindowWidth;
        settings.height = WindowHeight;
        settings.windowMode = 0;
        settings.vsync = false;
        settings.externalWindow = window;
        ready = window && demo->system.Init(settings);
    }

    ~Shared()
    {
        demo->~Demo();
        free(demo);
        if (window)
            DestroyWindow(window);
    }
};

Shared* g_Shared = nullptr;

Shared& Get()
{
    if (!g_Shared)
        g_Shared = new Shared;
    return *g_Shared;
}

// Destroys the demo after the last test, while the runtime is whole.
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

Brivet::Demo* SharedDemo()
{
    return Get().ready ? Get().demo : nullptr;
}

MemoryArchive& Archive()
{
    return Get().archive;
}

std::unique_ptr<Brivet::Compositing::Graph> MakeGraph(uint32_t width, uint32_t height)
{
    auto graph = std::make_unique<Brivet::Compositing::Graph>(SharedDemo());
    graph->outputNode = new Brivet::Compositing::NodeOutput(graph.get(), 1000);
    graph->outputNode->width = width;
    graph->outputNode->height = height;
    return graph;
}

std::vector<uint32_t> ReadPixels(ID3D11Texture2D* texture)
{
    std::vector<uint32_t> pixels;
    Brivet::Demo* demo = SharedDemo();
    if (!demo || !texture)
        return pixels;
    D3D11_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    desc.MipLevels = 1;
    ID3D11Texture2D* staging = nullptr;
    if (FAILED(demo->system.GetDevice()->CreateTexture2D(&desc, nullptr, &staging)))
        return pixels;
    ID3D11DeviceContext* context = demo->system.GetContext();
    context->CopySubresourceRegion(staging, 0, 0, 0, 0, texture, 0, nullptr);
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

bool SameColour(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
    {
        const int a = (int)((actual >> shift) & 0xFF);
        const int e = (int)((expected >> shift) & 0xFF);
        if (abs(a - e) > tolerance)
            return false;
    }
    return true;
}

std::string ColourText(uint32_t colour)
{
    char text[40];
    snprintf(text, sizeof(text), "rgba(%u, %u, %u, %u)", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF,
             colour >> 24);
    return text;
}

std::vector<std::string> Lines(int32_t level)
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(level))
        texts.push_back(line.text);
    return texts;
}

std::vector<std::string> LinesContaining(const char* text)
{
    std::vector<std::string> found;
    for (const LogCapture::Line& line : LogCapture::Get().Lines())
    {
        if (line.text.find(text) != std::string::npos)
            found.push_back(line.text);
    }
    return found;
}
} // namespace ResourcesTest
