// The application's demo: the engine's demo object with a loading bar drawn by
// the loading program over a full-screen quad while the description loads.
#pragma once

#include "Demo.h"
#include "Graphics/Program.h"
#include "Rendering/Quad.h"

class TovrelDemo : public Brivet::Demo
{
public:
    TovrelDemo();
    ~TovrelDemo() override; // the program, then the quad, then the base

    // Draws and presents one frame of the loading bar when the loading program's
    // vertex stage exists.
    void OnLoadProgress(float fraction) override;

    Brivet::Rendering::Quad loadingQuad;
    Brivet::Graphics::Program loadingProgram;
};
