// The shared demo, archive, graphs and read-back of the resource tests.
#include "ResourcesFixture.h"

#include "Compositing/NodeOutput.h"
#include "LogCapture.h"
#include "windows/DeviceFixture.h"
#include "repository/Resources/CubeTextureRenderTargetFactory.h"
#include "repository/Resources/BufferFactory.h"
#include "repository/Resources/ComputeShaderFactory.h"
#include "repository/Resources/EffectFactory.h"
#include "repository/Resources/SceneFactory.h"
#include "repository/Resources/ShaderResourceFactory.h"
#include "repository/Resources/TextureFactory.h"

#include <gtest/gtest.h>

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
    WindowsTest::TestWindow window{"brivet-resource-tests", "resource tests", WindowWidth, WindowHeight};
    Brivet::Demo* demo = nullptr; // on zero-filled memory, as the application makes it
    MemoryArchive archive;
    bool ready = false;

    Shared()
    {
        void* block = calloc(1, sizeof(Brivet::Demo));
        demo = new (block) Brivet::Demo();
        demo->archive = &archive;
        demo->RegisterResourceFactory(&TextureFactory::instance);
        demo->RegisterResourceFactory(&CubeTextureRenderTargetFactory::instance);
        demo->RegisterResourceFactory(&EffectFactory::instance);
        demo->RegisterResourceFactory(&SceneFactory::instance);
        demo->RegisterResourceFactory(&ComputeShaderFactory::instance);
        demo->RegisterResourceFactory(&ShaderResourceFactory::instance);
        demo->RegisterResourceFactory(&BufferFactory::instance);

        ready = window.StartSystem(demo->system);
    }

    ~Shared()
    {
        demo->~Demo();
        free(demo);
    }
};

// The demo is destroyed after the last test, while the runtime is whole.
Shared& Get()
{
    return WindowsTest::SharedInstance<Shared>::Get();
}
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

void DemoTest::SetUp()
{
    demo = SharedDemo();
    ASSERT_NE(demo, nullptr) << "no Direct3D 11 device";
    LogCapture::Get().Clear();
    graph = MakeGraph(64, 32);
}

std::vector<uint32_t> ReadPixels(ID3D11Texture2D* texture, uint32_t subresource)
{
    Brivet::Demo* demo = SharedDemo();
    if (!demo)
        return {};
    if (subresource == 0)
        return WindowsTest::ReadPixels(demo->system, texture);
    const std::vector<uint8_t> bytes = WindowsTest::ReadSubresource(demo->system, texture, subresource, 4);
    std::vector<uint32_t> pixels(bytes.size() / 4);
    if (!pixels.empty())
        memcpy(pixels.data(), bytes.data(), pixels.size() * 4);
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
