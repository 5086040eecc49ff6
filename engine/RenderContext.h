// The per-frame record the demo hands to every graph, and the graph to every
// effect it renders.
#pragma once

#include "Rendering/D3DX10Math.h"

namespace Brivet
{

struct RenderContext
{
    float time;              // seconds on the demo clock
    bool projectionOverride; // a 3D renderer uses `projection` instead of computing one
    bool keepView;           // a 3D renderer keeps its own view instead of the chunk's camera
    bool reserved;           // read by nothing
    D3DXMATRIX projection;   // row-major D3DX layout; valid only with projectionOverride

    // What every builder in the program makes: the time, all flags clear, the matrix unset.
    static RenderContext ForTime(float t)
    {
        RenderContext context;
        context.time = t;
        context.projectionOverride = false;
        context.keepView = false;
        context.reserved = false;
        return context;
    }
};

} // namespace Brivet
