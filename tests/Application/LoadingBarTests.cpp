// The application's loading bar: TovrelDemo::OnLoadProgress on a real device and
// window, read back from the screen after it presented.
#include "application/TovrelDemo.h"

#include "Graphics/StartupSettings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace
{
// The bar's picture in the HLSL subset Wine's compiler handles: no any(), no ?:,
// and no return inside an if (it compiles there but the later return wins).
const char* const WineLoadingShader =
    "cbuffer c { float fProgress; float2 v2Resolution; };\n"
    "struct VS_INPUT { float3 Pos : POSITION0; };\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
    "VS_OUTPUT vs_main( VS_INPUT In ) { VS_OUTPUT Out; Out.Pos = float4( In.Pos, 1 ); return Out; }\n"
    "float4 ps_main( float4 Pos : SV_POSITION ) : SV_TARGET {\n"
    "  float2 uv = Pos.xy / v2Resolution;\n"
    "  uv = (uv - 0.5) * float2(3, 19);\n"
    "  float4 c = float4(0.3, 0.3, 0.3, 0.3);\n"
    "  if (uv.x * 0.5 + 0.5 < fProgress) c = float4(1, 1, 1, 1);\n"
    "  if (abs(uv.x) > 1) c = float4(0, 0, 0, 0);\n"
    "  if (abs(uv.y) > 1) c = float4(0, 0, 0, 0);\n"
    "  return c;\n"
    "}\n";

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

TEST_F(LoadingBar, DrawsWhiteUpToTheFractionAndGreyAfterIt)
{
    ASSERT_TRUE(demo.loadingProgram.Compile(WineLoadingShader, (uint32_t)strlen(WineLoadingShader), 3));
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
