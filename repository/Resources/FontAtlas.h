// Baking a TrueType or OpenType font into a single-channel glyph atlas with stb_truetype
// and stb_rect_pack, after checking that everything the packer reads lies inside the
// file: a demo archive is untrusted input, and stb_truetype trusts the offsets it reads.
// Portable, so the checks are tested and fuzzed on the host.
#pragma once

#include <stb_truetype.h>

#include <cstdint>

namespace FontAtlas
{
// Records 0 to 94 hold the code points 32 to 126, record 95 code point 220 and record
// 96 code point 252.
constexpr uint32_t GlyphCount = 97;
constexpr uint32_t AtlasEdge = 1024; // texels; one byte of coverage each
constexpr float PixelHeight = 128.0f; // the baking size
constexpr int Padding = 1;

// The code point of a record; 0 for an index out of range.
uint32_t CodePointOf(uint32_t record);
// The record of a code point; -1 when it has none.
int RecordOf(uint32_t codePoint);

// Null when stb_truetype can read font 0 of the file and every read the packer makes for
// the atlas's code points lies inside the file (the table directory, the tables, the
// character map, the metrics and the outlines with their components); otherwise why not.
// notFont is set when the file is no font at all (stb_truetype's own check fails).
const char* CheckFont(const uint8_t* data, uint32_t size, bool* notFont = nullptr);

// Checks the file, then packs the atlas's code points at PixelHeight into atlas (edge ×
// edge bytes, zeroed first) with padding 1 and no oversampling, and fills glyphs
// (GlyphCount records). False, with a "[font]" error line, when the file is no font or
// cannot be read safely, the packing cannot begin, or not every glyph fits.
bool Bake(const char* path, const uint8_t* data, uint32_t size, uint32_t edge, uint8_t* atlas,
          stbtt_packedchar* glyphs);
} // namespace FontAtlas
