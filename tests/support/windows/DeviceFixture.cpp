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

std::vector<uint8_t> ReadSubresource(Brivet::Graphics::System& system, ID3D11Texture2D* texture,
                                     uint32_t subresource, uint32_t texelBytes)
{
    std::vector<uint8_t> bytes;
    if (!texture)
        return bytes;
    D3D11_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    if (desc.MipLevels == 0 || subresource >= desc.MipLevels * desc.ArraySize)
        return bytes;
    const UINT level = subresource % desc.MipLevels;
    desc.Width = desc.Width >> level ? desc.Width >> level : 1;
    desc.Height = desc.Height >> level ? desc.Height >> level : 1;
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    ID3D11Texture2D* staging = nullptr;
    if (FAILED(system.GetDevice()->CreateTexture2D(&desc, nullptr, &staging)))
        return bytes;
    ID3D11DeviceContext* context = system.GetContext();
    context->CopySubresourceRegion(staging, 0, 0, 0, 0, texture, subresource, nullptr);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped)))
    {
        const size_t row = (size_t)desc.Width * texelBytes;
        bytes.resize(row * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            memcpy(&bytes[y * row], (const uint8_t*)mapped.pData + (size_t)y * mapped.RowPitch, row);
        context->Unmap(staging, 0);
    }
    staging->Release();
    return bytes;
}

std::vector<uint32_t> ReadPixels(Brivet::Graphics::System& system, ID3D11Texture2D* texture)
{
    const std::vector<uint8_t> bytes = ReadSubresource(system, texture, 0, 4);
    std::vector<uint32_t> pixels(bytes.size() / 4);
    if (!bytes.empty())
        memcpy(pixels.data(), bytes.data(), bytes.size());
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
