// The resource of type "Font": a TrueType or OpenType file of the archive baked once, when
// it loads, into a single-channel glyph atlas, with the packed glyph records that text
// layout needs (records 0 to 94 for the code points 32 to 126, 95 for 220, 96 for 252).
#pragma once

#include "Assets/Resource/IResource.h"
#include "Graphics/Texture2D.h"
#include "repository/Resources/FontAtlas.h"

#include <cstdint>

class Font : public Brivet::Assets::Resource::IResource
{
public:
    static constexpr uint32_t AtlasFormat = 61; // R8_UNORM

    explicit Font(Brivet::Compositing::Graph* graph); // graph may be null (nothing loads then)
    ~Font() override; // the atlas texture goes with the object

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "Font"
    // Reads the entry, checks and bakes it and uploads the atlas. False when the entry is
    // missing or unreadable (no message of its own) or the font cannot be baked (a
    // "[font]" line).
    bool Load(const char* path) override;
    bool CreateDynamic(const Brivet::Utility::XML::Node* xml) override; // false: fonts come from files
    uint32_t GetMemorySize() override; // the atlas's bytes

    // The record of a code point, or null when it has none.
    const stbtt_packedchar* GetGlyph(uint32_t codePoint) const;

    Brivet::Graphics::Texture2D atlas; // AtlasEdge × AtlasEdge, R8_UNORM coverage
    stbtt_packedchar glyphs[FontAtlas::GlyphCount];
    // The atlas's edge in texels; the tests lower it before Load to make the packing fail.
    uint32_t atlasEdge;
};
