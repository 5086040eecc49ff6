// "TextPlane3D": a text drawn as one textured quad per glyph on a plane in 3D, from a
// Font's atlas and glyph records, with an HLSL effect and the camera, layers and depth of
// a G-buffer. The glyphs are laid out on the CPU into a vertex buffer of fixed size only
// when the text changes; "TextStart" and "TextEnd" pick the part of them that is drawn.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "Base/String.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

struct ID3D11Buffer;
struct ID3D11InputLayout;

class Effect;
class Font;
class GBuffer;
class Texture;

class TextPlane3D : public Brivet::Assets::Effect::IEffect
{
public:
    explicit TextPlane3D(Brivet::Demo* demo);
    ~TextPlane3D() override; // releases the input layout and the vertex buffer

    // The vertex buffer (a failure is logged and leaves the effect without one), then the
    // first declaration pass; true.
    bool Initialize() override;
    // Takes what is bound to "GBuffer", "Effect" and "Font", rebuilds the input layout for
    // the effect's first pass and declares again.
    void OnInputsChanged() override;
    // "LineHeight" lays the text out again at the music's time.
    void OnParameterChanged(Brivet::Parameters::IParameter* parameter) override;
    void OnResize() override;
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;
    // The glyphs from "TextStart" to "TextEnd" of "Text"; nothing without an effect, a
    // G-buffer, a font and an output texture.
    void Render(const Brivet::RenderContext& context) override;

    // Lays the held text out into the vertex buffer with "LineHeight" at time; nothing
    // without a vertex buffer or a font.
    void LayOut(float time);

    ID3D11Buffer* vertexBuffer; // owned: TextLayout::BufferBytes, dynamic
    ID3D11InputLayout* inputLayout; // owned: for the effect's first pass
    Effect* effect; // borrowed: bound to "Effect"
    Brivet::Assets::Resource::IResource* output; // borrowed; set by SetOutput
    Font* font; // borrowed: bound to "Font"
    GBuffer* gbuffer; // borrowed: bound to "GBuffer"
    ReflectedShaderState state;
    Brivet::Parameters::Parameter<Brivet::Base::String>* text; // "Text"
    Brivet::Parameters::Parameter<float>* lineHeight; // "LineHeight"
    Brivet::Parameters::Parameter<float>* textStart; // "TextStart"
    Brivet::Parameters::Parameter<float>* textEnd; // "TextEnd"
    Brivet::Base::String laidOut; // the text the vertex buffer holds
    uint32_t glyphCount; // glyphs in the vertex buffer

private:
    Texture* GetOutputTexture() const; // the output when it is a texture one can draw into
};
