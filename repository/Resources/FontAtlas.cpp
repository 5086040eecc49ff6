// The font check and the atlas baking.

// The real rectangle packer must stand before stb_truetype's implementation: without it
// stb_truetype silently falls back to a trivial row packer of its own.
#define STB_RECT_PACK_IMPLEMENTATION
#include <stb_rect_pack.h>
#ifndef STB_RECT_PACK_VERSION
#error "stb_rect_pack.h must be included before stb_truetype's implementation"
#endif
// stb_truetype asserts on some malformed data where it otherwise returns no glyph; the
// check below rejects what is unsafe, and the rest is handled as its release builds do.
#define STBTT_assert(x) ((void)0)
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>
#undef STB_TRUETYPE_IMPLEMENTATION
#undef STB_RECT_PACK_IMPLEMENTATION

#include "repository/Resources/FontAtlas.h"
#include "repository/Resources/FontCffCheck.h"

#include "Utility/Log.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using Brivet::Utility::Log;

namespace FontAtlas
{
namespace
{
// Composite glyphs: stb_truetype follows components without a depth limit (a cycle never
// ends) and copies the outline gathered so far for every component.
constexpr uint32_t MaxComponentDepth = 8;
constexpr uint32_t MaxGlyphVisits = 64; // per code point, components included
constexpr uint32_t MaxPoints = 1u << 14; // outline points per code point
// How far from its origin an outline may reach at the baking size, in pixels. The rasterizer
// flattens a curve into more segments the longer it is at that size: an outline far beyond
// its glyph's box (which alone decides the space in the atlas) would take very long.
constexpr float MaxReach = 4096.0f;

// The extent of a glyph's vertices (their control points and the origin included), as
// stb_truetype stores them: 16-bit coordinates.
struct Extent
{
    float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;
    void Add(float x, float y)
    {
        minX = x < minX ? x : minX;
        maxX = x > maxX ? x : maxX;
        minY = y < minY ? y : minY;
        maxY = y > maxY ? y : maxY;
    }
};

// A range of the file.
struct Span
{
    uint64_t offset = 0;
    uint64_t length = 0;
    bool Holds(uint64_t at, uint64_t count) const
    {
        return at >= offset && at <= offset + length && count <= offset + length - at;
    }
};

class Checker
{
public:
    Checker(const uint8_t* data, uint32_t size) : data(data), size(size) {}

    // The checks of stbtt_InitFont's reads; false with why set, notFont when stb_truetype
    // itself would refuse the file.
    bool CheckHeader();
    // The reads of the packer for one code point.
    bool CheckCodePoint(uint32_t codePoint);

    const char* why = nullptr;
    bool notFont = false;

private:
    bool Fail(const char* reason)
    {
        if (!why)
            why = reason;
        return false;
    }
    bool NotFont()
    {
        notFont = true;
        return Fail("not a TrueType or OpenType font");
    }
    uint16_t U16(uint64_t at) const { return uint16_t(data[at] << 8 | data[at + 1]); }
    int16_t S16(uint64_t at) const { return int16_t(U16(at)); }
    uint32_t U32(uint64_t at) const
    {
        return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8 | data[at + 3];
    }
    // The first record of the tag, as stb_truetype finds it; an offset of 0 is no table.
    bool FindTable(const char* tag, Span* table);
    bool CheckCharacterMap(const Span& cmap);
    bool CheckCffTable();
    // The glyph index stb_truetype's character map lookup gives, every read checked.
    bool LookUp(uint32_t codePoint, int64_t* glyph);
    bool CheckMetrics(uint32_t glyph);
    // extent receives the outline's extent (the origin for a glyph without one).
    bool CheckOutline(uint32_t glyph, uint32_t depth, uint32_t* visits, uint32_t* points, Extent* extent);

    const uint8_t* data;
    uint64_t size;
    uint64_t fontStart = 0;
    Span cmap, loca, head, glyf, hhea, hmtx;
    uint64_t indexMap = 0; // the character map subtable stb_truetype picks
    uint32_t glyphCount = 0xFFFF;
    uint32_t locaFormat = 0;
    uint32_t longMetrics = 0;
    float scale = 0.0f; // pixels per font unit at the baking size
    std::unique_ptr<CffCheck> cff; // fonts of PostScript outlines
};

bool Checker::FindTable(const char* tag, Span* table)
{
    const uint32_t count = U16(fontStart + 4);
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint64_t record = fontStart + 12 + 16 * uint64_t(i);
        if (memcmp(data + record, tag, 4) != 0)
            continue;
        const uint32_t offset = U32(record + 8);
        if (offset == 0)
            return false;
        table->offset = offset;
        table->length = U32(record + 12);
        if (!Span{0, size}.Holds(table->offset, table->length))
            return Fail("a table lies outside the file");
        return true;
    }
    return false;
}

bool Checker::CheckHeader()
{
    // stbtt_GetFontOffsetForIndex reads the tag, and in a collection the first offset.
    if (size < 12)
        return NotFont();
    if (memcmp(data, "ttcf", 4) == 0)
    {
        if (size < 16)
            return NotFont();
    }
    const int start = stbtt_GetFontOffsetForIndex(data, 0);
    if (start < 0)
        return NotFont();
    fontStart = uint64_t(start);
    if (!Span{0, size}.Holds(fontStart, 12))
        return NotFont();
    const uint32_t tables = U16(fontStart + 4);
    if (!Span{0, size}.Holds(fontStart + 12, 16 * uint64_t(tables)))
        return Fail("the table directory lies outside the file");

    // The tables stbtt_InitFont needs, and what it reads of them.
    const bool hasCmap = FindTable("cmap", &cmap);
    const bool hasHead = FindTable("head", &head);
    const bool hasHhea = FindTable("hhea", &hhea);
    const bool hasHmtx = FindTable("hmtx", &hmtx);
    const bool hasGlyf = FindTable("glyf", &glyf);
    const bool hasLoca = FindTable("loca", &loca);
    if (why)
        return false;
    if (!hasCmap || !hasHead || !hasHhea || !hasHmtx || (hasGlyf && !hasLoca))
        return NotFont();
    if (!hasGlyf && !CheckCffTable())
        return false;
    if (!head.Holds(head.offset + 50, 2))
        return Fail("the font header is short");
    locaFormat = U16(head.offset + 50);
    Span maxp;
    if (FindTable("maxp", &maxp))
    {
        if (!maxp.Holds(maxp.offset + 4, 2))
            return Fail("the maximum profile is short");
        glyphCount = U16(maxp.offset + 4);
    }
    if (why)
        return false;
    if (!hhea.Holds(hhea.offset + 34, 2))
        return Fail("the horizontal header is short");
    longMetrics = U16(hhea.offset + 34);
    // stbtt_ScaleForPixelHeight divides by the height the header gives; a glyph's box is
    // turned upside down by a negative one.
    const int height = int(S16(hhea.offset + 4)) - int(S16(hhea.offset + 6));
    if (height <= 0)
        return Fail("the font's height is not positive");
    scale = PixelHeight / float(height); // stbtt_ScaleForPixelHeight
    return CheckCharacterMap(cmap);
}

bool Checker::CheckCharacterMap(const Span& map)
{
    if (!map.Holds(map.offset, 4))
        return Fail("the character map is short");
    const uint32_t count = U16(map.offset + 2);
    if (!map.Holds(map.offset + 4, 8 * uint64_t(count)))
        return Fail("the character map's records lie outside it");
    // The last Unicode record wins, as in stbtt_InitFont.
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint64_t record = map.offset + 4 + 8 * uint64_t(i);
        const uint16_t platform = U16(record);
        const uint16_t encoding = U16(record + 2);
        if (platform == STBTT_PLATFORM_ID_UNICODE ||
            (platform == STBTT_PLATFORM_ID_MICROSOFT &&
             (encoding == STBTT_MS_EID_UNICODE_BMP || encoding == STBTT_MS_EID_UNICODE_FULL)))
            indexMap = map.offset + U32(record + 4);
    }
    if (indexMap == 0 || indexMap > 0xFFFFFFFFu)
        return NotFont();
    if (!map.Holds(indexMap, 2))
        return Fail("the character map's subtable lies outside it");
    return true;
}

bool Checker::LookUp(uint32_t cp, int64_t* glyph)
{
    // The reads and the arithmetic of stbtt_FindGlyphIndex.
    const Span& map = cmap;
    const uint64_t index = indexMap;
    *glyph = 0;
    const uint16_t format = U16(index);
    if (format == 0)
    {
        if (!map.Holds(index + 2, 2))
            return Fail("a character map subtable is short");
        const int32_t bytes = U16(index + 2);
        if (int32_t(cp) < bytes - 6)
        {
            if (!map.Holds(index + 6 + cp, 1))
                return Fail("a character map subtable lies outside the map");
            *glyph = data[index + 6 + cp];
        }
        return true;
    }
    if (format == 6)
    {
        if (!map.Holds(index + 6, 4))
            return Fail("a character map subtable is short");
        const uint32_t first = U16(index + 6);
        const uint32_t count = U16(index + 8);
        if (cp >= first && cp < first + count)
        {
            const uint64_t at = index + 10 + uint64_t(cp - first) * 2;
            if (!map.Holds(at, 2))
                return Fail("a character map subtable lies outside the map");
            *glyph = U16(at);
        }
        return true;
    }
    if (format == 4)
    {
        if (!map.Holds(index + 6, 8))
            return Fail("a character map subtable is short");
        const uint16_t segments = U16(index + 6) >> 1;
        uint16_t searchRange = U16(index + 8) >> 1;
        uint16_t entrySelector = U16(index + 10);
        const uint16_t rangeShift = U16(index + 12) >> 1;
        const uint64_t endCount = index + 14;
        uint64_t search = endCount;
        auto read = [&](uint64_t at, uint16_t* value) {
            if (!map.Holds(at, 2))
                return Fail("a character map search reads outside the map");
            *value = U16(at);
            return true;
        };
        uint16_t value = 0;
        if (!read(search + uint64_t(rangeShift) * 2, &value))
            return false;
        if (cp >= value)
            search += uint64_t(rangeShift) * 2;
        search -= 2;
        while (entrySelector)
        {
            searchRange >>= 1;
            if (!read(search + uint64_t(searchRange) * 2, &value))
                return false;
            if (cp > value)
                search += uint64_t(searchRange) * 2;
            --entrySelector;
        }
        search += 2;
        const uint16_t item = uint16_t((search - endCount) >> 1);
        uint16_t start = 0, last = 0;
        if (!read(index + 14 + uint64_t(segments) * 2 + 2 + 2 * uint64_t(item), &start) ||
            !read(endCount + 2 * uint64_t(item), &last))
            return false;
        if (cp < start || cp > last)
            return true;
        uint16_t offset = 0;
        if (!read(index + 14 + uint64_t(segments) * 6 + 2 + 2 * uint64_t(item), &offset))
            return false;
        if (offset == 0)
        {
            uint16_t delta = 0;
            if (!read(index + 14 + uint64_t(segments) * 4 + 2 + 2 * uint64_t(item), &delta))
                return false;
            *glyph = uint16_t(cp + int16_t(delta));
            return true;
        }
        uint16_t id = 0;
        if (!read(offset + uint64_t(cp - start) * 2 + index + 14 + uint64_t(segments) * 6 + 2 + 2 * uint64_t(item),
                  &id))
            return false;
        *glyph = id;
        return true;
    }
    if (format == 12 || format == 13)
    {
        if (!map.Holds(index + 12, 4))
            return Fail("a character map subtable is short");
        const uint32_t groups = U32(index + 12);
        // Every group inside the map, which also keeps stb_truetype's int arithmetic of the
        // binary search from overflowing.
        if (!map.Holds(index + 16, uint64_t(groups) * 12))
            return Fail("a character map subtable lies outside the map");
        int64_t low = 0, high = int32_t(groups);
        while (low < high)
        {
            const int64_t mid = low + ((high - low) >> 1);
            const uint64_t at = index + 16 + uint64_t(mid) * 12;
            const uint32_t startChar = U32(at);
            const uint32_t endChar = U32(at + 4);
            if (cp < startChar)
                high = mid;
            else if (cp > endChar)
                low = mid + 1;
            else
            {
                const uint32_t startGlyph = U32(at + 8);
                *glyph = format == 12 ? int64_t(int32_t(startGlyph + cp - startChar)) : int64_t(int32_t(startGlyph));
                return true;
            }
        }
        return true;
    }
    // Other formats map nothing.
    return true;
}

bool Checker::CheckMetrics(uint32_t g)
{
    // stbtt_GetGlyphHMetrics
    if (g < longMetrics)
        return hmtx.Holds(hmtx.offset + 4 * uint64_t(g), 4) ? true : Fail("a glyph's metrics lie outside their table");
    if (longMetrics == 0)
        return Fail("the font has no horizontal metrics");
    if (!hmtx.Holds(hmtx.offset + 4 * uint64_t(longMetrics - 1), 2) ||
        !hmtx.Holds(hmtx.offset + 4 * uint64_t(longMetrics) + 2 * uint64_t(g - longMetrics), 2))
        return Fail("a glyph's metrics lie outside their table");
    return true;
}

bool Checker::CheckOutline(uint32_t g, uint32_t depth, uint32_t* visits, uint32_t* points, Extent* extent)
{
    *extent = Extent();
    if (cff)
        return cff->CheckGlyph(g) ? true : Fail(cff->why);
    if (depth > MaxComponentDepth)
        return Fail("composite glyphs nest too deeply");
    if (++*visits > MaxGlyphVisits)
        return Fail("a glyph has too many components");
    // stbtt__GetGlyfOffset: no outline for these.
    if (g >= glyphCount || locaFormat >= 2)
        return true;
    uint64_t first = 0, end = 0;
    if (locaFormat == 0)
    {
        if (!loca.Holds(loca.offset + 2 * uint64_t(g), 4))
            return Fail("a glyph's location lies outside its table");
        first = uint64_t(U16(loca.offset + 2 * uint64_t(g))) * 2;
        end = uint64_t(U16(loca.offset + 2 * uint64_t(g) + 2)) * 2;
    }
    else
    {
        if (!loca.Holds(loca.offset + 4 * uint64_t(g), 8))
            return Fail("a glyph's location lies outside its table");
        first = U32(loca.offset + 4 * uint64_t(g));
        end = U32(loca.offset + 4 * uint64_t(g) + 4);
    }
    if (first == end)
        return true; // empty
    if (first > end || !glyf.Holds(glyf.offset + first, end - first))
        return Fail("a glyph lies outside the glyph table");
    const Span glyph{glyf.offset + first, end - first};
    const uint64_t at = glyph.offset;
    if (!glyph.Holds(at, 10))
        return Fail("a glyph is short");
    // The box gives the size of the glyph's rectangle in the atlas.
    if (S16(at + 2) > S16(at + 6) || S16(at + 4) > S16(at + 8))
        return Fail("a glyph's box is upside down");
    const int16_t contours = S16(at);
    if (contours > 0)
    {
        const uint64_t ends = at + 10;
        if (!glyph.Holds(ends, 2 * uint64_t(contours) + 2))
            return Fail("a glyph's contours lie outside it");
        const uint64_t instructions = U16(ends + 2 * uint64_t(contours));
        uint64_t cursor = ends + 2 * uint64_t(contours) + 2 + instructions;
        if (!glyph.Holds(cursor, 0))
            return Fail("a glyph's instructions lie outside it");
        const uint32_t count = 1u + U16(ends + 2 * uint64_t(contours) - 2);
        *points += count;
        if (*points > MaxPoints)
            return Fail("a glyph has too many points");

        // Flags, then the coordinates they announce.
        std::vector<uint8_t> flags(count);
        uint8_t flag = 0, repeat = 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            if (repeat == 0)
            {
                if (!glyph.Holds(cursor, 1))
                    return Fail("a glyph's flags lie outside it");
                flag = data[cursor++];
                if (flag & 8)
                {
                    if (!glyph.Holds(cursor, 1))
                        return Fail("a glyph's flags lie outside it");
                    repeat = data[cursor++];
                }
            }
            else
            {
                --repeat;
            }
            flags[i] = flag;
        }
        uint64_t coordinates = 0;
        for (uint8_t f : flags)
        {
            coordinates += (f & 2) ? 1 : (f & 16) ? 0 : 2;
            coordinates += (f & 4) ? 1 : (f & 32) ? 0 : 2;
        }
        if (!glyph.Holds(cursor, coordinates))
            return Fail("a glyph's coordinates lie outside it");
        // The points as stb_truetype keeps them: running sums cut to 16 bits.
        std::vector<int16_t> xs(count);
        int32_t x = 0, y = 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            const uint8_t f = flags[i];
            if (f & 2)
            {
                const int16_t d = data[cursor++];
                x += (f & 16) ? d : -d;
            }
            else if (!(f & 16))
            {
                x += int16_t(U16(cursor));
                cursor += 2;
            }
            xs[i] = int16_t(x);
        }
        for (uint32_t i = 0; i < count; ++i)
        {
            const uint8_t f = flags[i];
            if (f & 4)
            {
                const int16_t d = data[cursor++];
                y += (f & 32) ? d : -d;
            }
            else if (!(f & 32))
            {
                y += int16_t(U16(cursor));
                cursor += 2;
            }
            extent->Add(xs[i], int16_t(y));
        }

        // A contour that starts off the curve reads the point after it, which the last
        // point of the glyph does not have.
        uint32_t nextMove = 0, contour = 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            if (nextMove != i)
                continue;
            if (!(flags[i] & 1))
            {
                if (i + 1 >= count)
                    return Fail("a glyph's last contour starts off the curve on its last point");
                if (flags[i + 1] & 1)
                    ++i;
            }
            if (contour >= uint32_t(contours))
                return Fail("a glyph's contours are out of order");
            nextMove = 1u + U16(ends + 2 * uint64_t(contour));
            ++contour;
        }
        return true;
    }
    if (contours < 0)
    {
        uint64_t cursor = at + 10;
        for (;;)
        {
            if (!glyph.Holds(cursor, 4))
                return Fail("a glyph's components lie outside it");
            const uint16_t flags = U16(cursor);
            const uint16_t component = U16(cursor + 2);
            cursor += 4;
            uint64_t extra = 0;
            if (flags & 2)
                extra += (flags & 1) ? 4 : 2;
            if (flags & (1 << 3))
                extra += 2;
            else if (flags & (1 << 6))
                extra += 4;
            else if (flags & (1 << 7))
                extra += 8;
            if (!glyph.Holds(cursor, extra))
                return Fail("a glyph's components lie outside it");
            // The component's placement, as stb_truetype reads and applies it.
            float m[6] = {1, 0, 0, 1, 0, 0};
            uint64_t at = cursor;
            if (flags & 2)
            {
                if (flags & 1)
                {
                    m[4] = S16(at);
                    m[5] = S16(at + 2);
                    at += 4;
                }
                else
                {
                    m[4] = int8_t(data[at]);
                    m[5] = int8_t(data[at + 1]);
                    at += 2;
                }
            }
            if (flags & (1 << 3))
            {
                m[0] = m[3] = S16(at) / 16384.0f;
                m[1] = m[2] = 0;
            }
            else if (flags & (1 << 6))
            {
                m[0] = S16(at) / 16384.0f;
                m[1] = m[2] = 0;
                m[3] = S16(at + 2) / 16384.0f;
            }
            else if (flags & (1 << 7))
            {
                m[0] = S16(at) / 16384.0f;
                m[1] = S16(at + 2) / 16384.0f;
                m[2] = S16(at + 4) / 16384.0f;
                m[3] = S16(at + 6) / 16384.0f;
            }
            cursor += extra;
            Extent part;
            if (!CheckOutline(component, depth + 1, visits, points, &part))
                return false;
            // The transformed vertices are cut to 16 bits: each must fit. The placement is
            // linear, so the corners of the component's extent bound them.
            const float sx = std::sqrt(m[0] * m[0] + m[1] * m[1]);
            const float sy = std::sqrt(m[2] * m[2] + m[3] * m[3]);
            for (float cx : {part.minX, part.maxX})
            {
                for (float cy : {part.minY, part.maxY})
                {
                    const float px = sx * (m[0] * cx + m[2] * cy + m[4]);
                    const float py = sy * (m[1] * cx + m[3] * cy + m[5]);
                    if (!(px > -32767.0f && px < 32766.0f && py > -32767.0f && py < 32766.0f))
                        return Fail("a glyph's components are placed outside the coordinate range");
                    extent->Add(std::trunc(px), std::trunc(py));
                }
            }
            if (!(flags & (1 << 5)))
                break;
        }
    }
    return true;
}

bool Checker::CheckCffTable()
{
    Span table;
    if (!FindTable("CFF ", &table))
        return why ? false : NotFont();
    cff = std::make_unique<CffCheck>(data, size, table.offset, table.length);
    if (cff->CheckTable())
        return true;
    if (cff->notFont)
        return NotFont();
    return Fail(cff->why);
}

bool Checker::CheckCodePoint(uint32_t cp)
{
    int64_t glyph = 0;
    if (!LookUp(cp, &glyph))
        return false;
    // stb_truetype multiplies the index in int arithmetic; real fonts have at most 65535 glyphs.
    if (glyph < 0 || glyph > 0xFFFF)
        return Fail("a character maps to a glyph that cannot exist");
    if (!CheckMetrics(uint32_t(glyph)))
        return false;
    uint32_t visits = 0, points = 0;
    Extent extent;
    if (!CheckOutline(uint32_t(glyph), 0, &visits, &points, &extent))
        return false;
    if (cff)
        extent = Extent{-cff->reach, -cff->reach, cff->reach, cff->reach};
    const float reach = std::fmax(std::fmax(-extent.minX, extent.maxX), std::fmax(-extent.minY, extent.maxY));
    if (reach * scale > MaxReach)
        return Fail("a glyph's outline reaches too far");
    return true;
}
} // namespace

uint32_t CodePointOf(uint32_t record)
{
    if (record < 95)
        return 32 + record;
    if (record == 95)
        return 220;
    if (record == 96)
        return 252;
    return 0;
}

int RecordOf(uint32_t codePoint)
{
    if (codePoint >= 32 && codePoint <= 126)
        return int(codePoint - 32);
    if (codePoint == 220)
        return 95;
    if (codePoint == 252)
        return 96;
    return -1;
}

const char* CheckFont(const uint8_t* data, uint32_t size, bool* notFont)
{
    static const char* const NoFont = "not a TrueType or OpenType font";
    if (notFont)
        *notFont = false;
    Checker checker(data, size);
    bool safe = data && checker.CheckHeader();
    if (safe)
    {
        // What stbtt_InitFont reads has been checked: its own verdict now.
        stbtt_fontinfo info;
        if (!stbtt_InitFont(&info, data, stbtt_GetFontOffsetForIndex(data, 0)))
        {
            if (notFont)
                *notFont = true;
            return NoFont;
        }
    }
    // A code point the font lacks maps to glyph 0, whose outline is then checked.
    for (uint32_t record = 0; safe && record < GlyphCount; ++record)
        safe = checker.CheckCodePoint(CodePointOf(record));
    if (!data)
    {
        if (notFont)
            *notFont = true;
        return NoFont;
    }
    if (notFont)
        *notFont = checker.notFont;
    return checker.why;
}

bool Bake(const char* path, const uint8_t* data, uint32_t size, uint32_t edge, uint8_t* atlas,
          stbtt_packedchar* glyphs)
{
    // stb_truetype ignores its own verdict on the file while packing; it is asked first.
    bool notFont = false;
    if (const char* why = CheckFont(data, size, &notFont))
    {
        if (notFont)
            Log::Error("[font] '%s' is not a TrueType or OpenType font", path);
        else
            Log::Error("[font] '%s' cannot be read safely: %s", path, why);
        return false;
    }

    stbtt_pack_context context;
    if (!atlas || !stbtt_PackBegin(&context, atlas, int(edge), int(edge), int(edge), Padding, nullptr))
    {
        Log::Error("[font] stbtt_PackBegin failed: %d", 0);
        return false;
    }
    stbtt_PackSetOversampling(&context, 1, 1);

    // One range listing the code points of every record in record order: with several
    // ranges stb_truetype copies a later range's missing characters from the index that
    // the missing glyph had in an earlier range, past the end of the later one.
    int codePoints[GlyphCount];
    for (uint32_t record = 0; record < GlyphCount; ++record)
        codePoints[record] = int(CodePointOf(record));
    stbtt_pack_range range = {};
    range.font_size = PixelHeight;
    range.first_unicode_codepoint_in_range = 0;
    range.array_of_unicode_codepoints = codePoints;
    range.num_chars = int(GlyphCount);
    range.chardata_for_range = glyphs;
    const int result = stbtt_PackFontRanges(&context, data, 0, &range, 1);
    stbtt_PackEnd(&context);
    if (result < 1)
    {
        Log::Error("[font] stbtt_PackFontRange failed: %d", result);
        return false;
    }
    return true;
}
} // namespace FontAtlas
