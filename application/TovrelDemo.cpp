#include "TovrelDemo.h"

#include <d3d11.h>
#include <dxgi.h>

TovrelDemo::TovrelDemo()
    : loadingQuad(&system), loadingProgram(&system)
{
}

// Members go in reverse order: loadingProgram, loadingQuad, then Demo.
TovrelDemo::~TovrelDemo() = default;

void TovrelDemo::OnLoadProgress(float fraction)
{
    if (!loadingProgram.GetVertexShader()->IsValid())
        return;

    system.BeginFrame();
    system.BindBackBuffer();

    const float resolution[2] = { (float)system.GetWidth(), (float)system.GetHeight() };
    loadingProgram.SetFloat("fProgress", fraction);
    loadingProgram.SetFloat2("v2Resolution", resolution);

    loadingProgram.Bind();
    loadingQuad.Bind();
    loadingQuad.Draw();

    system.GetSwapChain()->Present(system.GetVsync() ? 1 : 0, 0);
}
