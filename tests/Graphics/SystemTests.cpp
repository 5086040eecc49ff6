// The graphics system's window modes, window procedure, frame start and shutdown.
#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>
#include <dxgi.h>

#include "Graphics/StartupSettings.h"
#include "Graphics/System.h"
#include "GraphicsFixture.h"
#include "LogCapture.h"

using Brivet::StartupSettings;
using Brivet::Graphics::System;
using namespace GraphicsTest;

namespace
{

int CursorCount()
{
    int count = ShowCursor(TRUE);
    ShowCursor(FALSE);
    return count - 1;
}

StartupSettings Settings(uint32_t width, uint32_t height, uint32_t mode)
{
    StartupSettings settings;
    settings.width = width;
    settings.height = height;
    settings.windowMode = mode;
    settings.vsync = true;
    return settings;
}

DXGI_SWAP_CHAIN_DESC SwapChainDesc(System& system)
{
    DXGI_SWAP_CHAIN_DESC desc = {};
    system.GetSwapChain()->GetDesc(&desc);
    return desc;
}

bool ClassRegistered()
{
    WNDCLASSEXA info = {};
    info.cbSize = sizeof(info);
    return GetClassInfoExA(GetModuleHandleA(nullptr), "brivet", &info) != 0;
}

// Closes the first dialog box of this thread from a timer, so a modal box
// that the default window procedure opens ends by itself.
HWND g_ClosedDialog = nullptr;

BOOL CALLBACK CloseDialog(HWND window, LPARAM)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    if (strcmp(name, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    g_ClosedDialog = window;
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK CloseDialogTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), CloseDialog, 0);
}

bool RunningOnWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

class SystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LogCapture::Get().Clear();
        screenWidth = GetSystemMetrics(SM_CXSCREEN);
        screenHeight = GetSystemMetrics(SM_CYSCREEN);
    }

    int screenWidth = 0;
    int screenHeight = 0;
};

TEST_F(SystemTest, WindowedModeCentresItsClientAreaAndHandlesTheWindowMessages)
{
    const int cursorBefore = CursorCount();
    System system;
    ASSERT_TRUE(system.Init(Settings(1280, 720, 0)));
    HWND window = system.GetWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(system.HasExternalWindow());
    EXPECT_TRUE(system.GetVsync());
    EXPECT_EQ(system.GetWidth(), 1280u);
    EXPECT_EQ(system.GetHeight(), 720u);
    EXPECT_EQ(CursorCount(), cursorBefore); // the cursor stays visible

    // Window class, caption, style
    WNDCLASSEXA info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "brivet", &info));
    EXPECT_EQ(info.style, (UINT)(CS_VREDRAW | CS_HREDRAW | CS_OWNDC));
    EXPECT_EQ(info.hbrBackground, nullptr);
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    EXPECT_STREQ(caption, "welkor demo suite");
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // Client area of the requested size, the window centred on the screen.
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 1280);
    EXPECT_EQ(client.bottom - client.top, 720);
    RECT frame = {};
    GetWindowRect(window, &frame);
    EXPECT_GT(frame.bottom - frame.top, 720); // the caption
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    EXPECT_EQ(frame.left, (screenWidth - w) / 2);
    EXPECT_EQ(frame.top, (screenHeight - h) / 2);

    // Swap chain and depth buffer
    DXGI_SWAP_CHAIN_DESC desc = SwapChainDesc(system);
    EXPECT_EQ(desc.BufferDesc.Width, 1280u);
    EXPECT_EQ(desc.BufferDesc.Height, 720u);
    EXPECT_EQ(desc.BufferDesc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(desc.BufferCount, 2u);
    EXPECT_EQ(desc.SwapEffect, DXGI_SWAP_EFFECT_FLIP_DISCARD);
    EXPECT_TRUE(desc.Windowed);
    EXPECT_EQ(desc.OutputWindow, window);
    ASSERT_NE(system.GetDepthBuffer(), nullptr);
    D3D11_TEXTURE2D_DESC depth = {};
    system.GetDepthBuffer()->GetDesc(&depth);
    EXPECT_EQ(depth.Width, 1280u);
    EXPECT_EQ(depth.Format, DXGI_FORMAT_R24G8_TYPELESS);
    ASSERT_NE(system.GetBackBufferView(), nullptr);
    ASSERT_NE(system.GetDepthView(), nullptr);

    // The back buffer and depth buffer are bound with the full viewport.
    ID3D11RenderTargetView* boundTarget = nullptr;
    ID3D11DepthStencilView* boundDepth = nullptr;
    system.GetContext()->OMGetRenderTargets(1, &boundTarget, &boundDepth);
    EXPECT_EQ(boundTarget, system.GetBackBufferView());
    EXPECT_EQ(boundDepth, system.GetDepthView());
    if (boundTarget)
        boundTarget->Release();
    if (boundDepth)
        boundDepth->Release();
    UINT viewports = 1;
    D3D11_VIEWPORT viewport = {};
    system.GetContext()->RSGetViewports(&viewports, &viewport);
    EXPECT_EQ(viewport.Width, 1280.0f);
    EXPECT_EQ(viewport.Height, 720.0f);
    EXPECT_EQ(viewport.MaxDepth, 1.0f);

    // A frame start clears to opaque black.
    const float white[4] = {1, 1, 1, 1};
    system.GetContext()->ClearRenderTargetView(system.GetBackBufferView(), white);
    system.BeginFrame();
    std::vector<uint32_t> pixels = ReadBackBuffer(&system);
    ASSERT_EQ(pixels.size(), 1280u * 720u);
    EXPECT_EQ(pixels[0], Rgba(0, 0, 0));
    EXPECT_EQ(pixels[pixels.size() - 1], Rgba(0, 0, 0));

    // Activation is tracked.
    SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(system.IsActive());
    SendMessageA(window, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_TRUE(system.IsActive());

    // Screen saver and monitor power-off are refused; other commands reach the
    // default procedure (which, under Wine, opens its About box for 0xF141).
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, 0xF140, 0), 0);
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, 0xF170, 2), 0);
    g_ClosedDialog = nullptr;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, CloseDialogTimer);
    SendMessageA(window, WM_SYSCOMMAND, 0xF141, 0);
    KillTimer(nullptr, timer);
    if (RunningOnWine())
    {
        EXPECT_NE(g_ClosedDialog, nullptr) << "0xF141 did not reach the default window procedure";
    }
    EXPECT_TRUE(IsWindow(window));

    // Escape, taken from the queue by the frame start, asks to quit.
    EXPECT_FALSE(system.IsQuitRequested());
    MSG pending;
    for (int i = 0; i < 100 && PeekMessageW(&pending, window, 0, 0, PM_REMOVE); ++i)
        DispatchMessageW(&pending);
    SendMessageA(window, WM_KEYDOWN, 'A', 0);
    EXPECT_FALSE(system.IsQuitRequested());
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    system.BeginFrame();
    EXPECT_TRUE(system.IsQuitRequested());
    EXPECT_TRUE(system.Shutdown());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(system.GetDevice(), nullptr);
    EXPECT_EQ(system.GetSwapChain(), nullptr);
    EXPECT_TRUE(system.Shutdown()); // again: nothing left to release
}

TEST_F(SystemTest, ClosingTheWindowAsksToQuit)
{
    System system;
    ASSERT_TRUE(system.Init(Settings(333, 222, 0)));
    HWND window = system.GetWindow();

    // No display mode has this size: the description is left as it was.
    DXGI_MODE_DESC mode = {};
    mode.Width = 1;
    EXPECT_FALSE(system.FindDisplayMode(DXGI_FORMAT_R8G8B8A8_UNORM, &mode));
    EXPECT_EQ(mode.Width, 1u);
    EXPECT_EQ(mode.RefreshRate.Numerator, 0u);

    EXPECT_FALSE(system.IsQuitRequested());
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(system.IsQuitRequested());
    EXPECT_FALSE(IsWindow(window)); // the default procedure destroyed it
    EXPECT_EQ(system.GetWindow(), nullptr); // and Shutdown will not destroy it again
    EXPECT_TRUE(system.Shutdown());
    EXPECT_FALSE(ClassRegistered());
}

TEST_F(SystemTest, AfterTheWindowIsClosedTheFrameStartTakesNoOtherMessage)
{
    // Another window of the thread, as the loading code or a library may own.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "brivet-test-other";
    RegisterClassA(&windowClass);
    HWND other = CreateWindowExA(0, "brivet-test-other", "other", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    ASSERT_NE(other, nullptr);

    System system;
    ASSERT_TRUE(system.Init(Settings(160, 90, 0)));
    HWND window = system.GetWindow();
    SendMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_FALSE(IsWindow(window));

    // Loading goes on after the close: its frame starts leave the other window's message
    // and the thread's own in the queue.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    ASSERT_TRUE(PostMessageA(other, WM_USER + 7, 7, 0));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 8, 8, 0));
    for (int i = 0; i < 3; ++i)
        system.BeginFrame();
    EXPECT_TRUE(PeekMessageA(&message, other, WM_USER + 7, WM_USER + 7, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&message, (HWND)-1, WM_USER + 8, WM_USER + 8, PM_REMOVE));

    EXPECT_TRUE(system.Shutdown());
    DestroyWindow(other);
    UnregisterClassA("brivet-test-other", windowClass.hInstance);
}

TEST_F(SystemTest, BorderlessModeCoversTheScreenAndHidesTheCursor)
{
    const int cursorBefore = CursorCount();
    System system;
    ASSERT_TRUE(system.Init(Settings(640, 480, 2)));
    HWND window = system.GetWindow();
    RECT frame = {};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(frame.right, screenWidth);
    EXPECT_EQ(frame.bottom, screenHeight);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_EQ(CursorCount(), cursorBefore - 1);

    // The swap chain keeps the requested size.
    DXGI_SWAP_CHAIN_DESC desc = SwapChainDesc(system);
    EXPECT_EQ(desc.BufferDesc.Width, 640u);
    EXPECT_EQ(desc.BufferDesc.Height, 480u);
    EXPECT_TRUE(desc.Windowed);
    EXPECT_TRUE(system.Shutdown());
    ShowCursor(TRUE);
}

TEST_F(SystemTest, FullscreenModeMakesAPopupAndAFullscreenSwapChain)
{
    const int cursorBefore = CursorCount();
    System system;
    ASSERT_TRUE(system.Init(Settings(screenWidth, screenHeight, 1)));
    HWND window = system.GetWindow();
    RECT frame = {};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, screenWidth);
    EXPECT_EQ(frame.bottom - frame.top, screenHeight);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_EQ(CursorCount(), cursorBefore - 1);

    // The screen's own size is a display mode of the first output.
    DXGI_MODE_DESC mode = {};
    EXPECT_TRUE(system.FindDisplayMode(DXGI_FORMAT_R8G8B8A8_UNORM, &mode));
    EXPECT_EQ(mode.Width, (UINT)screenWidth);
    EXPECT_EQ(mode.Height, (UINT)screenHeight);
    EXPECT_EQ(mode.Format, DXGI_FORMAT_R8G8B8A8_UNORM);

    DXGI_SWAP_CHAIN_DESC desc = SwapChainDesc(system);
    EXPECT_FALSE(desc.Windowed);
    BOOL fullscreen = FALSE;
    system.GetSwapChain()->GetFullscreenState(&fullscreen, nullptr);
    EXPECT_TRUE(fullscreen);

    // The swap chain leaves fullscreen before it is released.
    IDXGISwapChain* swapChain = system.GetSwapChain();
    swapChain->AddRef();
    EXPECT_TRUE(system.Shutdown());
    fullscreen = TRUE;
    swapChain->GetFullscreenState(&fullscreen, nullptr);
    EXPECT_FALSE(fullscreen);
    swapChain->Release();
    ShowCursor(TRUE);
}

TEST_F(SystemTest, GivenWindowIsUsedAndLeftAlone)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "brivet-test-given";
    RegisterClassA(&windowClass);
    HWND given = CreateWindowExA(0, "brivet-test-given", "given", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    ASSERT_NE(given, nullptr);

    StartupSettings settings = Settings(200, 100, 0);
    settings.externalWindow = given;
    System system;
    ASSERT_TRUE(system.Init(settings));
    EXPECT_TRUE(system.HasExternalWindow());
    EXPECT_EQ(system.GetWindow(), given);
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(SwapChainDesc(system).OutputWindow, given);

    // No message of the window is taken by the frame start.
    PostMessageA(given, WM_USER + 5, 0, 0);
    system.BeginFrame();
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, given, WM_USER + 5, WM_USER + 5, PM_REMOVE));

    EXPECT_TRUE(system.Shutdown());
    EXPECT_TRUE(IsWindow(given));
    DestroyWindow(given);
    UnregisterClassA("brivet-test-given", windowClass.hInstance);
}

} // namespace
