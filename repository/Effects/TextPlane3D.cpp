// TextPlane3D: glyph quads laid out once per text, drawn over a G-buffer.
#include "repository/Effects/TextPlane3D.h"

#include "Audio/IBackend.h"
#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/ITexture.h"
#include "Graphics/Program.h"
#include "Graphics/Shader.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"
#include "repository/Effects/EffectPasses.h"
#include "repository/Effects/GBufferView.h"
#include "repository/Effects/TextLayout.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/Font.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/Texture.h"

#include <d3d11.h>

#include <cstring>

using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Graphics::Program;
using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace
{
const D3D11_INPUT_ELEMENT_DESC TextLayoutElements[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
};

template <typename T>
T* Bound(Brivet::Assets::Effect::IEffect& effect, const char* name)
{
    Brivet::Assets::Effect::IEffect::Input* input = nullptr;
    // The graph binds only resources of an input's type.
    return effect.inputs.Find(StaticString<64>(name), &input) ? static_cast<T*>(input->bound) : nullptr;
}

float Clamped(float value)
{
    return value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
}
} // namespace

TextPlane3D::TextPlane3D(Brivet::Demo* demo)
    : IEffect(demo), vertexBuffer(nullptr), inputLayout(nullptr), effect(nullptr), output(nullptr), font(nullptr),
      gbuffer(nullptr), text(nullptr), lineHeight(nullptr), textStart(nullptr), textEnd(nullptr), glyphCount(0)
{
}

TextPlane3D::~TextPlane3D()
{
    SafeRelease(inputLayout);
    SafeRelease(vertexBuffer);
}

bool TextPlane3D::Initialize()
{
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = TextLayout::BufferBytes;
    desc.Usage = D3D11_USAGE_DYNAMIC;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER | D3D11_BIND_SHADER_RESOURCE;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    ID3D11Device* device = demo ? demo->system.GetDevice() : nullptr;
    const HRESULT hr = device ? device->CreateBuffer(&desc, nullptr, &vertexBuffer) : E_FAIL;
    if (FAILED(hr))
    {
        Log::Error("[Text3D] CreateBuffer failed: %08X", (unsigned)hr);
        vertexBuffer = nullptr;
    }
    OnInputsChanged();
    return true;
}

void TextPlane3D::OnInputsChanged()
{
    gbuffer = Bound<GBuffer>(*this, "GBuffer");
    effect = Bound<Effect>(*this, "Effect");
    font = Bound<Font>(*this, "Font");

    SafeRelease(inputLayout);
    Program* program = effect && effect->passes.GetCount() != 0 ? effect->GetProgram(0) : nullptr;
    ID3D10Blob* byteCode = program ? program->GetVertexShader()->GetByteCode() : nullptr;
    if (byteCode)
    {
        const HRESULT hr = demo->system.GetDevice()->CreateInputLayout(
            TextLayoutElements, 2, byteCode->GetBufferPointer(), byteCode->GetBufferSize(), &inputLayout);
        if (FAILED(hr))
        {
            Log::Error("[TextPlane3D] CreateInputLayout failed: %08X", (unsigned)hr);
            inputLayout = nullptr;
        }
    }

    RetireParameters();
    RetireInputs();
    outputTypeName = StaticString<64>("texture"); // an equal name is kept as it is
    text = AddParameter<String>("Text", String(""));
    lineHeight = AddParameter<float>("LineHeight", 1.0f);
    lineHeight->SetNotifyOnChange(true);
    textStart = AddParameter<float>("TextStart", 0.0f);
    textEnd = AddParameter<float>("TextEnd", 1.0f);
    DeclareInput(StaticString<64>("GBuffer"), StaticString<64>("gbuffer"));
    DeclareInput(StaticString<64>("Effect"), StaticString<64>("effect"));
    DeclareInput(StaticString<64>("Font"), StaticString<64>("Font"));
    if (effect)
    {
        state.Declare(String(""), this, effect);
        state.ResolveInputs(this, effect);
    }
}

void TextPlane3D::OnParameterChanged(Brivet::Parameters::IParameter* parameter)
{
    if (!lineHeight || parameter != lineHeight)
        return;
    // The music's time, as the main loop computes it.
    float time = -1.0f;
    if (demo && demo->backend && demo->backend->GetSampleRate() != 0)
        time = float(demo->backend->GetPosition() + demo->renderer.startFrame) /
               float(demo->backend->GetSampleRate());
    LayOut(time);
}

void TextPlane3D::OnResize()
{
    if (effect)
        state.ResolveInputs(this, effect);
}

void TextPlane3D::SetOutput(Brivet::Assets::Resource::IResource* resource)
{
    output = resource;
}

Brivet::Assets::Resource::IResource* TextPlane3D::GetOutput()
{
    return output;
}

Texture* TextPlane3D::GetOutputTexture() const
{
    // A dynamic node of another type may be the output; a cube stands in for a texture but
    // has no view of its own to draw into.
    if (!output || !output->IsCompatible(StaticString<64>("texture")))
        return nullptr;
    Texture* texture = static_cast<Texture*>(output);
    Brivet::Graphics::ITexture* colour = texture->GetTexture();
    return colour && colour->GetRenderTargetView() ? texture : nullptr;
}

void TextPlane3D::LayOut(float time)
{
    // Without the buffer there is nothing to write the glyphs into.
    if (!vertexBuffer || !font)
        return;
    ID3D11DeviceContext* context = demo->system.GetContext();
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    const HRESULT hr = context->Map(vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped);
    if (FAILED(hr))
    {
        Log::Error("[TextPlane3D] Map failed: %08X", (unsigned)hr);
        glyphCount = 0;
        return;
    }
    bool truncated = false;
    glyphCount = TextLayout::LayOut(laidOut.GetText(), font->glyphs, font->atlasEdge,
                                    lineHeight ? lineHeight->GetValue(time) : 1.0f,
                                    static_cast<TextLayout::Vertex*>(mapped.pData), &truncated);
    context->Unmap(vertexBuffer, 0);
    if (truncated)
        Log::Warning("[TextPlane3D] '%s': only the first %u glyphs of the text fit; the rest is not drawn",
                     name.GetText(), TextLayout::MaxGlyphs);
}

void TextPlane3D::Render(const Brivet::RenderContext& context)
{
    Texture* target = GetOutputTexture();
    if (!effect || !gbuffer || !font || !target)
        return;
    const float time = context.time;
    const float start = Clamped(textStart ? textStart->GetValue(time) : 0.0f);
    const float end = Clamped(textEnd ? textEnd->GetValue(time) : 1.0f);
    if (start >= end)
        return;

    const uint32_t passCount = effect->passes.GetCount();
    EffectPasses::Update(state, *effect, time);

    // The text is laid out again only when it changes. Compared case-sensitively: a text
    // that differs only in letter case is another text on screen.
    const String value = text ? text->GetValue(time) : String("");
    if (value.GetHash() != laidOut.GetHash() || strcmp(value.GetText(), laidOut.GetText()) != 0)
    {
        laidOut = value;
        LayOut(time);
    }
    // The layout's failure was logged when it was built; the quads cannot be drawn without it.
    if (!vertexBuffer || glyphCount == 0 || !inputLayout)
        return;

    target->BindAsRenderTarget();
    const uint32_t first = uint32_t(float(glyphCount) * start);
    const uint32_t last = uint32_t(float(glyphCount) * end);
    if (last <= first)
        return;

    ID3D11DeviceContext* device = demo->system.GetContext();
    const UINT stride = sizeof(TextLayout::Vertex);
    const UINT offset = first * TextLayout::VerticesPerGlyph * sizeof(TextLayout::Vertex);
    device->IASetInputLayout(inputLayout);
    device->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
    device->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);

    ID3D11ShaderResourceView* atlas = font->atlas.GetShaderResourceView();
    for (uint32_t i = 0; i < passCount; ++i)
    {
        effect->BeginPass(i);
        effect->BindPassTargets(i, target, gbuffer->depthTarget);
        Program* program = effect->GetProgram(i);
        if (program)
        {
            GBufferView::Bind(program, *gbuffer, false);
            ReflectedShaderState::BindView(program, "texFont", atlas);
        }
        effect->BindInternalTextures(i);
        EffectPasses::BindResources(state, *effect, i);
        EffectPasses::UploadConstants(program);
        device->Draw((last - first) * TextLayout::VerticesPerGlyph, 0);
        effect->EndPass();
    }
}
