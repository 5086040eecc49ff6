// LayerGBuffer2D: a G-buffer's layers, depth, camera and first shadow map bound to each pass.
#include "repository/Effects/LayerGBuffer2D.h"

#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Texture2D.h"
#include "Utility/Log.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/ReflectedShaderState.h"

using Brivet::Base::StaticString;
using Brivet::Graphics::Program;

LayerGBuffer2D::LayerGBuffer2D(Brivet::Demo* demo)
    : Layer2D(demo), gbuffer(nullptr), emptyTexture(nullptr), hasInvView(0), hasInvProjection(0), hasWorldToLight(0)
{
}

LayerGBuffer2D::~LayerGBuffer2D()
{
    delete emptyTexture;
}

bool LayerGBuffer2D::Initialize()
{
    if (!Layer2D::Initialize())
        return false;
    // Where the G-buffer has no texture to give, a slot left unbound would read zeros on
    // Windows but, under Wine, whatever was bound there before (such as a shadow map given
    // back to the pool): one texel of zeros reads the same everywhere.
    delete emptyTexture;
    emptyTexture = new Brivet::Graphics::Texture2D(&demo->system);
    const float zeros[4] = {};
    if (!emptyTexture->Create(1, 1, 2 /* R32G32B32A32_FLOAT */, 0, zeros))
    {
        Brivet::Utility::Log::Error("[Layer2D] '%s': no empty texture for missing G-buffer targets", name.GetText());
        delete emptyTexture;
        emptyTexture = nullptr;
        return false;
    }
    return true;
}

ID3D11ShaderResourceView* LayerGBuffer2D::ViewOf(const Brivet::Graphics::ITexture* target) const
{
    if (target && target->GetShaderResourceView())
        return target->GetShaderResourceView();
    return emptyTexture ? emptyTexture->GetShaderResourceView() : nullptr;
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
        ReflectedShaderState::BindView(program, layer.name.GetText(), ViewOf(layer.target));
    ReflectedShaderState::BindView(program, "texDepth", ViewOf(gbuffer->depthTarget));

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
        ReflectedShaderState::BindView(program, "texShadowMap", ViewOf(record->colourTarget));
    }
    else
    {
        // Zeros rather than whatever the slot last held: a shadow map given back to the
        // pool when its light stopped casting, or another effect's texture.
        ReflectedShaderState::BindView(program, "texShadowMap", ViewOf(nullptr));
    }

    program->SetFloat4("v4CameraPosition", camera.position);
}
