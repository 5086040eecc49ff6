// The demo's window and Direct3D 11 device: window, device, immediate context,
// flip-model swap chain, back-buffer view and depth-stencil buffer.
#pragma once

#include <cstdint>

struct HWND__; // Win32 window handle
struct IDXGISwapChain;
struct ID3D11Device;
struct ID3D11DeviceContext;
struct ID3D11Texture2D;
struct ID3D11RenderTargetView;
struct ID3D11DepthStencilView;
struct DXGI_MODE_DESC;

namespace Brivet
{
struct StartupSettings;
}

namespace Brivet::Utility
{
class Log;
}

namespace Brivet::Graphics
{

// One System per process: its window procedure finds it through a process-wide pointer.
class System
{
public:
    System();
    ~System(); // Shutdown

    // Creates the window (unless settings give one) and the device. False on failure.
    bool Init(const StartupSettings& settings);
    bool CreateDevice(const StartupSettings& settings, HWND__* window);

    // Fills mode (in: the buffer description) with the first display mode of the
    // System's size on output 0 of the high-performance adapter; false when none.
    bool FindDisplayMode(uint32_t format, DXGI_MODE_DESC* mode);

    // Handles at most one message of the own window, then clears both buffers.
    void BeginFrame();
    // Back buffer and depth buffer as render targets with the full viewport.
    void BindBackBuffer();
    // Releases everything in a fixed order; safe to call again. Always true.
    bool Shutdown();

#ifdef _WIN32
    // The window class's procedure (the types of WNDPROC on 64-bit Windows).
    static intptr_t __stdcall WindowProc(HWND__* window, unsigned int message, uintptr_t wParam, intptr_t lParam);
#endif

    bool GetVsync() const { return vsync != 0; }
    HWND__* GetWindow() const { return window; }
    bool HasExternalWindow() const { return externalWindow != 0; }
    bool IsQuitRequested() const { return quitRequested != 0; }
    bool IsActive() const { return active != 0; }
    uint32_t GetWidth() const { return width; }
    uint32_t GetHeight() const { return height; }
    IDXGISwapChain* GetSwapChain() const { return swapChain; }
    ID3D11Device* GetDevice() const { return device; }
    ID3D11DeviceContext* GetContext() const { return context; }
    ID3D11Texture2D* GetBackBuffer() const { return backBuffer; }
    ID3D11RenderTargetView* GetBackBufferView() const { return backBufferView; }
    ID3D11Texture2D* GetDepthBuffer() const { return depthBuffer; }
    ID3D11DepthStencilView* GetDepthView() const { return depthView; }
    Utility::Log* GetLog() const { return log; }

private:
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    uint8_t vsync;
    HWND__* window;
    uint8_t externalWindow;
    uint8_t quitRequested;
    uint8_t active;
    uint32_t width;
    uint32_t height;
    IDXGISwapChain* swapChain;
    ID3D11Device* device;
    ID3D11DeviceContext* context;
    ID3D11Texture2D* backBuffer;
    ID3D11RenderTargetView* backBufferView;
    ID3D11Texture2D* depthBuffer;
    ID3D11DepthStencilView* depthView;
    Utility::Log* log;
};

} // namespace Brivet::Graphics
