// TrueType files for the font tests.
#include "FontBuilder.h"

#include <algorithm>
#include <utility>

namespace
{
void Put16(std::string& out, uint16_t value)
{
    out += char(value >> 8);
    out += char(value & 0xFF);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, uint16_t(value >> 16));
    Put16(out, uint16_t(value & 0xFFFF));
}

// A square glyph: one contour of four on-curve points from (x0, y0) to (x1, y1).
std::string Square(int16_t x0, int16_t y0, int16_t x1, int16_t y1)
{
    std::string g;
    Put16(g, 1);
    Put16(g, uint16_t(x0));
    Put16(g, uint16_t(y0));
    Put16(g, uint16_t(x1));
    Put16(g, uint16_t(y1));
    Put16(g, 3); // end point of the contour
    Put16(g, 0); // no instructions
    for (int i = 0; i < 4; ++i)
        g += char(1); // on the curve, 16-bit deltas
    const int16_t xs[4] = {x0, x1, x1, x0};
    const int16_t ys[4] = {y0, y0, y1, y1};
    int16_t x = 0, y = 0;
    for (int16_t v : xs)
    {
        Put16(g, uint16_t(int16_t(v - x)));
        x = v;
    }
    for (int16_t v : ys)
    {
        Put16(g, uint16_t(int16_t(v - y)));
        y = v;
    }
    return g;
}

std::string Composite(uint16_t first, uint16_t second)
{
    std::string g;
    Put16(g, uint16_t(-1));
    Put16(g, 0);
    Put16(g, 0);
    Put16(g, 1200);
    Put16(g, 700);
    // 16-bit x-y offsets (1 | 2), more components (32) after the first
    Put16(g, 1 | 2 | 32);
    Put16(g, first);
    Put16(g, 0);
    Put16(g, 0);
    Put16(g, 1 | 2);
    Put16(g, second);
    Put16(g, 600);
    Put16(g, 0);
    return g;
}

// A CFF INDEX of 4-byte offsets.
std::string CffIndex(const std::vector<std::string>& items)
{
    std::string index;
    Put16(index, uint16_t(items.size()));
    if (items.empty())
        return index;
    index += char(4);
    uint32_t offset = 1;
    Put32(index, offset);
    for (const std::string& item : items)
    {
        offset += uint32_t(item.size());
        Put32(index, offset);
    }
    for (const std::string& item : items)
        index += item;
    return index;
}

// A DICT integer operand of five bytes, so that offsets can be filled in afterwards.
std::string DictInt(int32_t value)
{
    std::string operand(1, char(29));
    Put32(operand, uint32_t(value));
    return operand;
}

std::string SquareCharstring(int x0, int y0, int x1, int y1)
{
    return CffNumber(x0) + CffNumber(y0) + char(0x15) + CffNumber(x1 - x0) + CffNumber(0) + CffNumber(0) +
           CffNumber(y1 - y0) + CffNumber(x0 - x1) + CffNumber(0) + char(0x05) + char(0x0E);
}

// Header, name, top DICT (charstring type, CharStrings), strings, global subroutines and
// charstrings.
std::string CffTable(const std::vector<std::string>& glyphs, const std::vector<std::string>& globalSubrs,
                     uint32_t charstringType)
{
    const std::string header("\1\0\4\4", 4);
    const std::string names = CffIndex({"Test"});
    const std::string strings = CffIndex({});
    const std::string subrs = CffIndex(globalSubrs);
    auto topDict = [&](int32_t charstrings) {
        std::string dict = DictInt(int32_t(charstringType)) + char(12) + char(6);
        return dict + DictInt(charstrings) + char(17);
    };
    const size_t topSize = CffIndex({topDict(0)}).size();
    const int32_t charstrings = int32_t(header.size() + names.size() + topSize + strings.size() + subrs.size());
    return header + names + CffIndex({topDict(charstrings)}) + strings + subrs + CffIndex(glyphs);
}

void Align(std::string& table)
{
    while (table.size() % 4)
        table += char(0);
}

std::string CharacterMap(const std::vector<std::pair<uint32_t, uint16_t>>& map, uint32_t format)
{
    std::string sub;
    if (format == 12)
    {
        Put16(sub, 12);
        Put16(sub, 0);
        Put32(sub, uint32_t(16 + 12 * map.size()));
        Put32(sub, 0);
        Put32(sub, uint32_t(map.size()));
        for (const auto& [cp, glyph] : map)
        {
            Put32(sub, cp);
            Put32(sub, cp);
            Put32(sub, glyph);
        }
    }
    else
    {
        // One segment per code point, then the closing 0xFFFF segment.
        const uint16_t segments = uint16_t(map.size() + 1);
        uint16_t power = 1, selector = 0;
        while (power * 2 <= segments)
        {
            power *= 2;
            ++selector;
        }
        Put16(sub, 4);
        Put16(sub, uint16_t(16 + 8 * segments));
        Put16(sub, 0);
        Put16(sub, uint16_t(segments * 2));
        Put16(sub, uint16_t(power * 2));
        Put16(sub, selector);
        Put16(sub, uint16_t(segments * 2 - power * 2));
        for (const auto& entry : map)
            Put16(sub, uint16_t(entry.first));
        Put16(sub, 0xFFFF);
        Put16(sub, 0); // reserved
        for (const auto& entry : map)
            Put16(sub, uint16_t(entry.first));
        Put16(sub, 0xFFFF);
        for (const auto& [cp, glyph] : map)
            Put16(sub, uint16_t(glyph - cp));
        Put16(sub, 1);
        for (size_t i = 0; i < map.size() + 1; ++i)
            Put16(sub, 0);
    }
    std::string table;
    Put16(table, 0);
    Put16(table, 1);
    Put16(table, 3); // Microsoft
    Put16(table, format == 12 ? 10 : 1);
    Put32(table, 12);
    return table + sub;
}
} // namespace

void BuiltFont::Put16(uint32_t at, uint16_t value)
{
    bytes[at] = char(value >> 8);
    bytes[at + 1] = char(value & 0xFF);
}

void BuiltFont::Put32(uint32_t at, uint32_t value)
{
    Put16(at, uint16_t(value >> 16));
    Put16(at + 2, uint16_t(value & 0xFFFF));
}

uint32_t BuiltFont::Record(const char* tag) const
{
    const uint32_t count = uint32_t(uint8_t(bytes[4])) << 8 | uint8_t(bytes[5]);
    for (uint32_t i = 0; i < count; ++i)
    {
        if (bytes.compare(12 + 16 * i, 4, tag) == 0)
            return 12 + 16 * i;
    }
    return 0;
}

BuiltFont BuildFont(const FontSpec& spec)
{
    // Glyphs: 0 the missing glyph, then the squares, then the composite.
    std::vector<std::string> glyphs, charstrings;
    glyphs.push_back(Square(50, 0, 450, 700));
    charstrings.push_back(SquareCharstring(50, 0, 450, 700));
    std::vector<std::pair<uint32_t, uint16_t>> map;
    for (size_t i = 0; i < spec.codePoints.size(); ++i)
    {
        const int16_t width = int16_t(100 + (i * 37) % 500);
        const int16_t bottom = int16_t(-100 + (i * 13) % 200);
        glyphs.push_back(Square(40, bottom, int16_t(40 + width), 650));
        charstrings.push_back(SquareCharstring(40, bottom, 40 + width, 650));
        map.push_back({spec.codePoints[i], uint16_t(i + 1)});
    }
    for (const auto& [glyph, bytes] : spec.charstrings)
    {
        if (glyph < charstrings.size())
            charstrings[glyph] = bytes;
    }
    if (spec.compositeCodePoint && glyphs.size() >= 3 && !spec.cff)
    {
        map.push_back({spec.compositeCodePoint, uint16_t(glyphs.size())});
        glyphs.push_back(Composite(1, 2));
    }
    std::sort(map.begin(), map.end());
    const uint16_t glyphCount = uint16_t(glyphs.size());

    std::string glyf, loca;
    std::vector<uint32_t> inGlyf;
    for (const std::string& g : glyphs)
    {
        inGlyf.push_back(uint32_t(glyf.size()));
        glyf += g;
        Align(glyf);
    }
    inGlyf.push_back(uint32_t(glyf.size()));
    for (uint32_t offset : inGlyf)
    {
        if (spec.longLoca)
            Put32(loca, offset);
        else
            Put16(loca, uint16_t(offset / 2));
    }

    std::string head;
    Put32(head, 0x00010000);
    Put32(head, 0x00010000);
    Put32(head, 0);
    Put32(head, 0x5F0F3CF5);
    Put16(head, 0);
    Put16(head, 1000); // units per em
    head.append(16, '\0'); // created, modified
    Put16(head, 0);
    Put16(head, uint16_t(-200));
    Put16(head, 1200);
    Put16(head, 800);
    Put16(head, 0);
    Put16(head, 8);
    Put16(head, 2);
    Put16(head, spec.longLoca ? 1 : 0); // at 50: the loca format
    Put16(head, 0);

    std::string hhea;
    Put32(hhea, 0x00010000);
    Put16(hhea, uint16_t(spec.ascent));
    Put16(hhea, uint16_t(spec.descent));
    Put16(hhea, 0);
    Put16(hhea, 1200);
    hhea.append(22, '\0');
    Put16(hhea, glyphCount); // at 34: long metrics

    std::string hmtx;
    for (uint16_t i = 0; i < glyphCount; ++i)
    {
        Put16(hmtx, uint16_t(500 + 10 * i));
        Put16(hmtx, 40);
    }

    std::string maxp;
    Put32(maxp, 0x00005000);
    Put16(maxp, glyphCount);

    std::vector<std::pair<std::string, std::string>> tables;
    if (spec.cff)
        tables = {
            {"CFF ", CffTable(charstrings, spec.globalSubrs, spec.charstringType)},
            {"cmap", CharacterMap(map, spec.cmapFormat)},
            {"head", head},
            {"hhea", hhea},
            {"hmtx", hmtx},
            {"maxp", maxp},
        };
    else
        tables = {
            {"cmap", CharacterMap(map, spec.cmapFormat)},
            {"glyf", glyf},
            {"head", head},
            {"hhea", hhea},
            {"hmtx", hmtx},
            {"loca", loca},
            {"maxp", maxp},
        };

    BuiltFont font;
    std::string& out = font.bytes;
    if (spec.cff)
        out = "OTTO";
    else
        Put32(out, 0x00010000);
    Put16(out, uint16_t(tables.size()));
    Put16(out, 64);
    Put16(out, 2);
    Put16(out, uint16_t(tables.size() * 16 - 64));
    uint32_t offset = uint32_t(12 + 16 * tables.size());
    for (const auto& [tag, data] : tables)
    {
        out += tag;
        Put32(out, 0); // checksum: not read
        Put32(out, offset);
        Put32(out, uint32_t(data.size()));
        font.tables[tag] = {offset, uint32_t(data.size())};
        offset += uint32_t((data.size() + 3) / 4 * 4);
    }
    for (const auto& entry : tables)
    {
        std::string data = entry.second;
        Align(data);
        out += data;
    }
    for (size_t i = 0; !spec.cff && i + 1 < inGlyf.size(); ++i)
        font.glyphOffsets.push_back(font.Table("glyf") + inGlyf[i]);
    return font;
}

std::string CffNumber(int value)
{
    std::string number(1, char(28));
    Put16(number, uint16_t(int16_t(value)));
    return number;
}

std::string CffFixed(double value)
{
    std::string number(1, char(255));
    Put32(number, uint32_t(int32_t(value * 65536.0)));
    return number;
}

std::vector<uint32_t> AtlasCodePoints()
{
    std::vector<uint32_t> points;
    for (uint32_t cp = 32; cp <= 126; ++cp)
        points.push_back(cp);
    points.push_back(220);
    points.push_back(252);
    return points;
}
