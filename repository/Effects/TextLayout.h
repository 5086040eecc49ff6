// The text layout of TextPlane3D: each byte of a text becomes one glyph quad of a font's
// packed glyph records, laid out in font pixels along lines that run downwards. Portable,
// so the layout is tested on the host.
#pragma once

#include <stb_truetype.h>

#include <cstdint>

namespace TextLayout
{
// The vertex buffer's room: 1000 glyphs of six vertices of 20 bytes.
constexpr uint32_t MaxGlyphs = 1000;
constexpr uint32_t VerticesPerGlyph = 6;
constexpr float PixelHeight = 128.0f; // a line is "LineHeight" times this

// POSITION (float3) at 0, TEXCOORD (float2) at 12.
struct Vertex
{
    float x, y, z;
    float u, v;
};
static_assert(sizeof(Vertex) == 20, "the vertex layout has 20 bytes");
constexpr uint32_t BufferBytes = MaxGlyphs * VerticesPerGlyph * sizeof(Vertex);

// The glyph record of a byte of text: 32 to 126 are records 0 to 94, 0xDC (220) record 95
// and 0xFC (252) record 96; -1 for every other byte (control bytes, 127, and the bytes of
// UTF-8 sequences), which the font's 97 records do not cover.
int RecordOfByte(uint8_t byte);

// Lays the zero-terminated text out into vertices (room for MaxGlyphs glyphs) from the
// font's records on an atlas of atlasEdge texels: 13 is skipped, 10 starts a new line
// lineHeight × PixelHeight lower, a byte without a record is skipped. Returns the number
// of glyphs written; truncated (may be null) tells whether glyphs were left out for want of room.
uint32_t LayOut(const char* text, const stbtt_packedchar* glyphs, uint32_t atlasEdge, float lineHeight,
                Vertex* vertices, bool* truncated);
} // namespace TextLayout
