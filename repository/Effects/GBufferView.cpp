// The G-buffer's camera and layers on a program.
#include "repository/Effects/GBufferView.h"

#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/ReflectedShaderState.h"

namespace GBufferView
{
void Bind(Brivet::Graphics::Program* program, const GBuffer& gbuffer, bool previousView)
{
    if (!program)
        return;
    const RenderChunk::CameraBlock& camera = gbuffer.camera;
    program->SetMatrix("matView", &camera.view);
    if (previousView)
        program->SetMatrix("matViewPrevious", &camera.previousView);
    program->SetMatrix("matProjection", &camera.projection);
    program->SetFloat4("v4CameraPosition", camera.position);
    for (const GBuffer::Layer& layer : gbuffer.layers)
        ReflectedShaderState::BindView(program, layer.name.GetText(),
                                       layer.target ? layer.target->GetShaderResourceView() : nullptr);
}
} // namespace GBufferView
