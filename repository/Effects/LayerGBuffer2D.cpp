// LayerGBuffer2D: a G-buffer's layers, depth, camera and first shadow map bound to each pass.
#include "repository/Effects/LayerGBuffer2D.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/ReflectedShaderState.h"

using Brivet::Base::StaticString;
using Brivet::Graphics::Program;

LayerGBuffer2D::LayerGBuffer2D(Brivet::Demo* demo)
    : Layer2D(demo), gbuffer(nullptr), hasInvView(0), hasInvProjection(0), hasWorldToLight(0)
{
}

void LayerGBuffer2D::OnInputsChanged()
{
    Layer2D::OnInputsChanged();
    Input* input = nullptr;
    // The graph binds only resources of the input's type: a bound "GBuffer" is a G-buffer.
    gbuffer = inputs.Find(StaticString<64>("GBuffer"), &input) ? static_cast<GBuffer*>(input->bound) : nullptr;
}

void LayerGBuffer2D::DeclareParameters()
{
    Layer2D::DeclareParameters();
    DeclareInput(StaticString<64>("GBuffer"), StaticString<64>("gbuffer"));
    if (shader)
    {
        hasInvView = shader->HasVariable("matInvView") ? 1 : 0;
        hasInvProjection = shader->HasVariable("matInvProjection") ? 1 : 0;
        hasWorldToLight = shader->HasVariable("matWorldToLight") ? 1 : 0;
    }
}

void LayerGBuffer2D::BindPassConstants(uint32_t pass)
{
    Program* program = shader ? shader->GetProgram(pass) : nullptr;
    if (!program || !gbuffer)
        return;

    // Layers by name, depth
    for (const GBuffer::Layer& layer : gbuffer->layers)
    {
        ReflectedShaderState::BindView(program, layer.name.GetText(),
                                       layer.target ? layer.target->GetShaderResourceView() : nullptr);
    }
    ReflectedShaderState::BindView(program, "texDepth",
                                   gbuffer->depthTarget ? gbuffer->depthTarget->GetShaderResourceView() : nullptr);

    // Camera
    const RenderChunk::CameraBlock& camera = gbuffer->camera;
    program->SetMatrix("matView", &camera.view);
    program->SetMatrix("matProjection", &camera.projection);
    D3DXMATRIX inverse;
    if (hasInvView)
        program->SetMatrix("matInvView", D3DXMatrixInverse(&inverse, nullptr, &camera.view));
    if (hasInvProjection)
        program->SetMatrix("matInvProjection", D3DXMatrixInverse(&inverse, nullptr, &camera.projection));

    // The first shadow map, when its light is in use and casts
    const GBuffer::ShadowMap* record = gbuffer->shadowMaps.GetCount() != 0 ? &gbuffer->shadowMaps[0] : nullptr;
    if (record && record->enabled && record->castsShadow)
    {
        if (hasWorldToLight)
            program->SetMatrix("matWorldToLight", D3DXMatrixInverse(&inverse, nullptr, &record->lightToWorld));
        const D3DXVECTOR3 position(record->lightToWorld._41, record->lightToWorld._42, record->lightToWorld._43);
        program->SetFloat3("v3LightPosition", position);
        program->SetFloat("fLightConeAngle", record->coneAngle);
        program->SetFloat("fLightConeRatio", record->coneRatio);
        program->SetFloat3("v3LightColor", record->colour);
        program->SetMatrix("matLightProjection", &record->lightProjection);
        program->SetMatrix("matLightToWorld", &record->lightToWorld);
        ReflectedShaderState::BindView(program, "texShadowMap",
                                       record->colourTarget ? record->colourTarget->GetShaderResourceView() : nullptr);
    }
    else
    {
        // No view rather than whatever the slot last held: a shadow map given back to
        // the pool when its light stopped casting, or another effect's texture.
        ReflectedShaderState::BindView(program, "texShadowMap", nullptr);
    }

    program->SetFloat4("v4CameraPosition", camera.position);
}
