// The application's loading bar: TovrelDemo::OnLoadProgress on a real device and
// window, read back from the screen after it presented.
#include "application/TovrelDemo.h"

#include "Graphics/StartupSettings.h"
#include "application/LoadingShader.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

namespace
{
constexpr uint32_t Width = 300;
constexpr uint32_t Height = 190; // the bar is 2/19 of it: rows 85 to 104

// The grey level of a client pixel as the screen shows it (-1: not grey).
int ScreenGrey(HWND window, int x, int y)
{
    POINT point = { x, y };
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    return (r == g && g == b) ? r : -1;
}

class LoadingBar : public ::testing::Test
{
protected:
    // A window of the test's own in the screen's bottom-right corner, away from the
    // windows other tests centre or put at the origin.
    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "brivet-loading-bar-test";
        RegisterClassA(&windowClass);
        const int x = GetSystemMetrics(SM_CXSCREEN) - (int)Width - 10;
        const int y = GetSystemMetrics(SM_CYSCREEN) - (int)Height - 10;
        window = CreateWindowExA(WS_EX_TOPMOST, "brivet-loading-bar-test", "loading bar test", WS_POPUP | WS_VISIBLE, x,
                                 y, Width, Height, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(window, nullptr);

        Brivet::StartupSettings settings;
        settings.width = Width;
        settings.height = Height;
        settings.windowMode = 0;
        settings.externalWindow = window;
        settings.noAudio = 1; // graphics only: the audio start fails by request
        demo.StartSystems(settings);
        ASSERT_NE(demo.system.GetDevice(), nullptr);
    }

    void TearDown() override
    {
        demo.StopSystems();
        if (window)
            DestroyWindow(window);
    }

    void Show(float fraction)
    {
        demo.OnLoadProgress(fraction);
        GdiFlush();
        Sleep(200); // the presented frame reaches the screen
    }

    HWND window = nullptr;
    TovrelDemo demo;
};
} // namespace

TEST_F(LoadingBar, BuiltInBarDrawsWhiteUpToTheFractionAndGreyAfterIt)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    ASSERT_TRUE(demo.loadingProgram.Compile(g_LoadingShader, g_LoadingShaderLength, 3));
    demo.loadingQuad.CreateInputLayout(demo.loadingProgram.GetVertexShader());
    demo.loadingQuad.CreateBuffers();

    // The bar spans x 50 to 250; at 0.5 it is white up to x 150.
    Show(0.5f);
    EXPECT_EQ(ScreenGrey(window, 100, 95), 255);
    EXPECT_NEAR(ScreenGrey(window, 200, 95), 77, 2);
    EXPECT_EQ(ScreenGrey(window, 20, 95), 0);   // left of the bar
    EXPECT_EQ(ScreenGrey(window, 280, 95), 0);  // right of it
    EXPECT_EQ(ScreenGrey(window, 150, 60), 0);  // above it
    EXPECT_EQ(ScreenGrey(window, 150, 130), 0); // below it

    Show(1.0f);
    EXPECT_EQ(ScreenGrey(window, 200, 95), 255);
    Show(0.0f);
    EXPECT_NEAR(ScreenGrey(window, 100, 95), 77, 2);
}

TEST_F(LoadingBar, DrawsNothingWithoutALoadingProgram)
{
    // The first frame of the window is the cleared one; without a vertex stage
    // OnLoadProgress neither begins a frame nor presents.
    demo.RenderFrame(0.0f);
    Sleep(200);
    const int before = ScreenGrey(window, 100, 95);
    Show(0.5f);
    EXPECT_EQ(ScreenGrey(window, 100, 95), before);
    EXPECT_FALSE(demo.loadingProgram.GetVertexShader()->IsValid());
}
