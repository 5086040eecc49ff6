// Small TrueType fonts built in memory for the font tests and the fuzzer's seeds: glyph 0
// (the missing glyph) and one square glyph per listed code point, a character map of
// format 4 or 12, optionally a composite glyph of two components, and where each table
// and glyph landed, so a test can damage exactly one field.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct FontSpec
{
    std::vector<uint32_t> codePoints; // glyphs 1, 2, ... in this order
    uint32_t cmapFormat = 4; // 4 or 12
    bool longLoca = false; // loca of 32-bit offsets
    int16_t ascent = 800;
    int16_t descent = -200;
    // When not 0: one more glyph, mapped to this code point, made of the first two
    // square glyphs side by side.
    uint32_t compositeCodePoint = 0;
};

struct BuiltFont
{
    std::string bytes;
    std::map<std::string, std::pair<uint32_t, uint32_t>> tables; // tag: offset, length
    std::vector<uint32_t> glyphOffsets; // each glyph's start in the file

    // Writes a big-endian value at an offset of the file.
    void Put16(uint32_t at, uint16_t value);
    void Put32(uint32_t at, uint32_t value);
    uint32_t Table(const char* tag) const { return tables.at(tag).first; }
    // The offset of a table's directory record.
    uint32_t Record(const char* tag) const;
};

BuiltFont BuildFont(const FontSpec& spec);

// The printable ASCII characters 32 to 126, 220 and 252: what the atlas holds.
std::vector<uint32_t> AtlasCodePoints();
