// Window, Direct3D 11 device and flip-model swap chain of the demo.
#include "Graphics/System.h"

#include <windows.h>
#include <d3d11.h>
#include <dxgi1_6.h>

#include "Graphics/StartupSettings.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace Brivet::Graphics
{

namespace
{

constexpr const char* WindowClassName = "brivet";
constexpr const char* WindowCaption = "welkor demo suite";

enum WindowMode : uint32_t
{
    WindowModeWindowed = 0,
    WindowModeFullscreen = 1,
    WindowModeBorderless = 2,
};

constexpr DWORD WindowedStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION; // 0x86C00000
constexpr DWORD PopupStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;                 // 0x86000000

// System commands kept away from the default procedure: screen saver and monitor power-off.
constexpr WPARAM ScreenSaveCommand = 0xF140;
constexpr WPARAM MonitorPowerCommand = 0xF170;

System* g_System = nullptr; // the System whose window the procedure serves


} // namespace

System::System()
    : vsync(1), window(nullptr), externalWindow(1), quitRequested(0), active(0), width(0), height(0),
      swapChain(nullptr), device(nullptr), context(nullptr), backBuffer(nullptr), backBufferView(nullptr),
      depthBuffer(nullptr), depthView(nullptr), log(&Log::Instance())
{
}

System::~System()
{
    Shutdown();
}

bool System::Init(const StartupSettings& settings)
{
    width = settings.width;
    height = settings.height;
    window = settings.externalWindow;
    externalWindow = 1;
    if (window)
        return CreateDevice(settings, window);

    externalWindow = 0;
    HINSTANCE module = GetModuleHandleA(nullptr);

    // Window class
    WNDCLASSA windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = &System::WindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.lpszClassName = WindowClassName;
    if (!RegisterClassA(&windowClass))
    {
        window = nullptr;
        return false;
    }

    // Size and position: the client area of the requested size (the whole
    // screen when borderless), centred on the screen.
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT rect = {0, 0, (LONG)width, (LONG)height};
    if (settings.windowMode == WindowModeBorderless)
        rect = {0, 0, screenWidth, screenHeight};
    DWORD style = settings.windowMode == WindowModeWindowed ? WindowedStyle : PopupStyle;
    AdjustWindowRectEx(&rect, style, FALSE, WS_EX_APPWINDOW);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    int x = (screenWidth - w) / 2;
    int y = (screenHeight - h) / 2;

    HWND created = CreateWindowExA(WS_EX_APPWINDOW, WindowClassName, WindowCaption, style, x, y, w, h, nullptr,
                                   nullptr, module, this);
    if (!created)
    {
        window = nullptr;
        return false;
    }

    ShowWindow(created, SW_SHOW);
    SetForegroundWindow(created);
    SetFocus(created);
    if (settings.windowMode == WindowModeFullscreen || settings.windowMode == WindowModeBorderless)
        ShowCursor(FALSE);
    window = created;

    return CreateDevice(settings, window);
}

bool System::CreateDevice(const StartupSettings& settings, HWND__* window)
{
    // Swap chain
    DXGI_SWAP_CHAIN_DESC desc = {};
    desc.BufferDesc.Width = settings.width;
    desc.BufferDesc.Height = settings.height;
    desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.OutputWindow = window;
    desc.Windowed = settings.windowMode == WindowModeFullscreen ? FALSE : TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;

    if (settings.vsync)
    {
        vsync = 1;
        FindDisplayMode(DXGI_FORMAT_R8G8B8A8_UNORM, &desc.BufferDesc); // without a mode the rate stays 0/0
    }

    // Device
    static const D3D_FEATURE_LEVEL featureLevels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0};
    HRESULT hr = D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, featureLevels,
                                               ARRAYSIZE(featureLevels), D3D11_SDK_VERSION, &desc, &swapChain,
                                               &device, nullptr, &context);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Unable to create D3D11 device: %08X", (unsigned)hr);
        return false;
    }

    // Back buffer and its view
    hr = swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), (void**)&backBuffer);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Unable to get the swap chain's back buffer: %08X", (unsigned)hr);
        return false;
    }
    hr = device->CreateRenderTargetView(backBuffer, nullptr, &backBufferView);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Unable to create the back buffer's render-target view: %08X", (unsigned)hr);
        return false;
    }

    // Depth buffer
    D3D11_TEXTURE2D_DESC depthDesc = {};
    depthDesc.Width = width;
    depthDesc.Height = height;
    depthDesc.MipLevels = 1;
    depthDesc.ArraySize = 1;
    depthDesc.Format = DXGI_FORMAT_R24G8_TYPELESS;
    depthDesc.SampleDesc.Count = 1;
    depthDesc.Usage = D3D11_USAGE_DEFAULT;
    depthDesc.BindFlags = D3D11_BIND_DEPTH_STENCIL;
    if (FAILED(device->CreateTexture2D(&depthDesc, nullptr, &depthBuffer)))
        return false;

    D3D11_DEPTH_STENCIL_VIEW_DESC depthViewDesc = {};
    depthViewDesc.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
    depthViewDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
    depthViewDesc.Texture2D.MipSlice = 0;
    if (FAILED(device->CreateDepthStencilView(depthBuffer, &depthViewDesc, &depthView)))
        return false;

    BindBackBuffer();
    return true;
}

bool System::FindDisplayMode(uint32_t format, DXGI_MODE_DESC* mode)
{
    IDXGIFactory2* factory = nullptr;
    if (FAILED(CreateDXGIFactory2(0, __uuidof(IDXGIFactory2), (void**)&factory)))
        return false;

    bool found = false;
    IDXGIFactory6* factory6 = nullptr;
    IDXGIAdapter1* adapter = nullptr;
    IDXGIOutput* output = nullptr;
    DXGI_MODE_DESC* modes = nullptr;
    if (SUCCEEDED(factory->QueryInterface(__uuidof(IDXGIFactory6), (void**)&factory6)) &&
        SUCCEEDED(factory6->EnumAdapterByGpuPreference(0, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE,
                                                       __uuidof(IDXGIAdapter1), (void**)&adapter)) &&
        SUCCEEDED(adapter->EnumOutputs(0, &output)))
    {
        const UINT flags = DXGI_ENUM_MODES_INTERLACED | DXGI_ENUM_MODES_SCALING;
        UINT count = 0;
        if (SUCCEEDED(output->GetDisplayModeList((DXGI_FORMAT)format, flags, &count, nullptr)) && count)
        {
            modes = new DXGI_MODE_DESC[count];
            if (SUCCEEDED(output->GetDisplayModeList((DXGI_FORMAT)format, flags, &count, modes)))
            {
                for (UINT i = 0; i < count; ++i)
                {
                    if (modes[i].Width == width && modes[i].Height == height)
                    {
                        *mode = modes[i];
                        found = true;
                        break;
                    }
                }
            }
            delete[] modes;
        }
    }

    SafeRelease(output);
    SafeRelease(adapter);
    SafeRelease(factory);
    SafeRelease(factory6);
    return found;
}

void System::BeginFrame()
{
    // A window closed by the default procedure is gone: a null window would take the
    // messages of every other window of the thread and the thread's own.
    if (!externalWindow && window)
    {
        MSG message;
        if (PeekMessageW(&message, window, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    static const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    if (backBufferView)
        context->ClearRenderTargetView(backBufferView, black);
    if (depthView)
        context->ClearDepthStencilView(depthView, D3D11_CLEAR_DEPTH, 1.0f, 0);
}

void System::BindBackBuffer()
{
    if (!context)
        return;
    context->OMSetRenderTargets(1, &backBufferView, depthView);

    D3D11_VIEWPORT viewport = {};
    viewport.Width = (float)width;
    viewport.Height = (float)height;
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
}

bool System::Shutdown()
{
    // A swap chain must not be released while it is fullscreen.
    if (swapChain)
        swapChain->SetFullscreenState(FALSE, nullptr);

    // Nothing bound or queued keeps the swap chain, or work for the window, past here.
    if (context)
    {
        context->ClearState();
        context->Flush();
    }

    SafeRelease(depthView);
    SafeRelease(depthBuffer);
    SafeRelease(backBuffer);
    SafeRelease(backBufferView);
    SafeRelease(context);
    SafeRelease(device);
    SafeRelease(swapChain);

    if (externalWindow)
        return true;
    if (window)
        DestroyWindow(window);
    window = nullptr;
    if (g_System == this)
        g_System = nullptr;
    UnregisterClassA(WindowClassName, GetModuleHandleA(nullptr));
    return true;
}

intptr_t __stdcall System::WindowProc(HWND__* window, unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_CREATE:
        g_System = (System*)((const CREATESTRUCTA*)lParam)->lpCreateParams;
        break;
    case WM_ACTIVATE:
        if (g_System)
            g_System->active = (wParam & 3) != 0;
        break;
    case WM_CLOSE:
        if (g_System)
            g_System->quitRequested = 1;
        break;
    case WM_NCDESTROY:
        // Destroyed by the default procedure (a closed window): Shutdown must not destroy
        // the handle a second time.
        if (g_System && g_System->window == window)
            g_System->window = nullptr;
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && g_System)
            g_System->quitRequested = 1;
        break;
    case WM_SYSCOMMAND:
        if (wParam == ScreenSaveCommand || wParam == MonitorPowerCommand)
            return 0;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace Brivet::Graphics
