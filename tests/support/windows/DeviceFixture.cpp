// The test window, System start, read-back and shutdown environment of the Windows fixtures.
#include "DeviceFixture.h"

#include <cstring>

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include "Graphics/StartupSettings.h"
#include "Graphics/System.h"

namespace WindowsTest
{

TestWindow::TestWindow(const char* className, const char* title, uint32_t width, uint32_t height)
    : width(width), height(height)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    handle = CreateWindowExA(0, className, title, WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
}

TestWindow::~TestWindow()
{
    if (handle)
        DestroyWindow(handle);
}

bool TestWindow::StartSystem(Brivet::Graphics::System& system) const
{
    Brivet::StartupSettings settings;
    settings.width = width;
    settings.height = height;
    settings.windowMode = 0;
    settings.vsync = false;
    settings.externalWindow = handle;
    return handle && system.Init(settings);
}

std::vector<uint32_t> ReadPixels(Brivet::Graphics::System& system, ID3D11Texture2D* texture)
{
    std::vector<uint32_t> pixels;
    if (!texture)
        return pixels;
    D3D11_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    desc.MipLevels = 1;
    ID3D11Texture2D* staging = nullptr;
    if (FAILED(system.GetDevice()->CreateTexture2D(&desc, nullptr, &staging)))
        return pixels;
    ID3D11DeviceContext* context = system.GetContext();
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

std::vector<uint32_t> ReadBackBuffer(Brivet::Graphics::System& system)
{
    return ReadPixels(system, system.GetBackBuffer());
}

std::vector<float> ReadFloats(Brivet::Graphics::System& system, ID3D11Buffer* buffer)
{
    std::vector<float> values;
    if (!buffer)
        return values;
    D3D11_BUFFER_DESC desc = {};
    buffer->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    desc.StructureByteStride = 0;
    ID3D11Buffer* staging = nullptr;
    if (FAILED(system.GetDevice()->CreateBuffer(&desc, nullptr, &staging)))
        return values;
    ID3D11DeviceContext* context = system.GetContext();
    context->CopyResource(staging, buffer);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped)))
    {
        values.resize(desc.ByteWidth / sizeof(float));
        memcpy(values.data(), mapped.pData, values.size() * sizeof(float));
        context->Unmap(staging, 0);
    }
    staging->Release();
    return values;
}

namespace
{
class ShutdownEnvironment : public ::testing::Environment
{
public:
    explicit ShutdownEnvironment(void (*shutdown)()) : shutdown(shutdown) {}
    void TearDown() override { shutdown(); }

private:
    void (*shutdown)();
};
} // namespace

::testing::Environment* ShutDownAfterLastTest(void (*shutdown)())
{
    return ::testing::AddGlobalTestEnvironment(new ShutdownEnvironment(shutdown));
}

} // namespace WindowsTest
