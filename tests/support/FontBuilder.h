// Small fonts built in memory for the font tests and the fuzzer's seeds: glyph 0 (the
// missing glyph) and one square glyph per listed code point, a character map of format 4
// or 12, TrueType outlines (optionally a composite glyph of two components) or PostScript
// ones in a "CFF " table (optionally with charstrings and global subroutines of the
// test's own), and where each table and glyph landed, so a test can damage one field.
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

    // PostScript outlines: Type 2 charstrings in a "CFF " table in place of "glyf" and
    // "loca". A listed charstring replaces the square of that glyph; the global
    // subroutines are called by index - 107.
    bool cff = false;
    std::map<uint32_t, std::string> charstrings; // glyph: charstring bytes
    std::vector<std::string> globalSubrs;
    uint32_t charstringType = 2;
};

// Type 2 charstring pieces: a number (16-bit, or 16.16 fixed), and the operators used here.
std::string CffNumber(int value);
std::string CffFixed(double value);

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
