// What the effects that draw over a G-buffer take from it: the camera its renderer used
// and its layers, bound by name as shader resources.
#pragma once

class GBuffer;

namespace Brivet::Graphics
{
class Program;
}

namespace GBufferView
{
// "matView", "matViewPrevious" (with previousView), "matProjection" and "v4CameraPosition"
// from the G-buffer's camera block, then every layer's view under the layer's name on every
// stage of the program (a layer without a target binds none, so nothing stale stays bound).
void Bind(Brivet::Graphics::Program* program, const GBuffer& gbuffer, bool previousView);
} // namespace GBufferView
