// The check of a font's "CFF " table and charstrings, walked as stb_truetype walks them.
#include "repository/Resources/FontCffCheck.h"

#include <cmath>

namespace FontAtlas
{
namespace
{
// stb_truetype's idea of the table's size.
constexpr int32_t AssumedSize = 512 * 1024 * 1024;
// One glyph's charstring: operators run (subroutines included) and vertices made. A real
// glyph needs a few hundred of each; subroutine calls nest ten deep, so a small font could
// otherwise ask for an endless draw.
constexpr uint32_t MaxOperators = 100000;
constexpr uint32_t MaxVertices = 1u << 14;
// stb_truetype keeps outline coordinates in 16 bits.
constexpr float MinCoordinate = -32768.0f;
constexpr float MaxCoordinate = 32767.0f;
} // namespace

CffCheck::CffCheck(const uint8_t* data, uint64_t size, uint64_t offset, uint64_t length)
    : data(data), size(size), tableEnd(offset + length)
{
    if (tableEnd > size)
        tableEnd = size;
    cff.start = offset;
    cff.size = AssumedSize;
}

int32_t CffCheck::Checked(int64_t value)
{
    if (value < INT32_MIN || value > INT32_MAX)
    {
        Fail("a PostScript outline offset overflows");
        return 0;
    }
    return int32_t(value);
}

uint8_t CffCheck::Get8(Buffer& b)
{
    if (b.cursor >= b.size)
        return 0;
    const uint64_t at = b.start + uint64_t(b.cursor++);
    if (at >= tableEnd)
    {
        Fail("a PostScript outline reads outside its table");
        return 0;
    }
    return data[at];
}

uint8_t CffCheck::Peek8(Buffer& b)
{
    if (b.cursor >= b.size)
        return 0;
    const uint64_t at = b.start + uint64_t(b.cursor);
    if (at >= tableEnd)
    {
        Fail("a PostScript outline reads outside its table");
        return 0;
    }
    return data[at];
}

void CffCheck::Seek(Buffer& b, int64_t to)
{
    const int32_t o = Checked(to);
    b.cursor = (o > b.size || o < 0) ? b.size : o;
}

uint32_t CffCheck::Get(Buffer& b, int n)
{
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | Get8(b);
    return v;
}

CffCheck::Buffer CffCheck::Range(const Buffer& b, int64_t o, int64_t s)
{
    Buffer r;
    if (o < 0 || s < 0 || o > b.size || s > int64_t(b.size) - o)
        return r;
    r.start = b.start + uint64_t(o);
    r.size = int32_t(s);
    return r;
}

CffCheck::Buffer CffCheck::GetIndex(Buffer& b)
{
    const int32_t start = b.cursor;
    const uint32_t count = Get(b, 2);
    if (count)
    {
        const int32_t offsetSize = Get8(b);
        Skip(b, int64_t(offsetSize) * count);
        Skip(b, int32_t(Get(b, offsetSize) - 1u));
    }
    return Range(b, start, int64_t(b.cursor) - start);
}

uint32_t CffCheck::Int(Buffer& b)
{
    const int b0 = Get8(b);
    if (b0 >= 32 && b0 <= 246)
        return uint32_t(b0 - 139);
    if (b0 >= 247 && b0 <= 250)
        return uint32_t((b0 - 247) * 256 + Get8(b) + 108);
    if (b0 >= 251 && b0 <= 254)
        return uint32_t(-(b0 - 251) * 256 - Get8(b) - 108);
    if (b0 == 28)
        return Get(b, 2);
    if (b0 == 29)
        return Get(b, 4);
    return 0;
}

void CffCheck::SkipOperand(Buffer& b)
{
    const int b0 = Peek8(b);
    if (b0 == 30)
    {
        Skip(b, 1);
        // Once a read left the table the rest is refused: no need to walk stb_truetype's
        // 512 MiB to the end.
        while (b.cursor < b.size && !why)
        {
            const int v = Get8(b);
            if ((v & 0xF) == 0xF || (v >> 4) == 0xF)
                break;
        }
    }
    else
    {
        Int(b);
    }
}

CffCheck::Buffer CffCheck::DictGet(Buffer& b, int key)
{
    Seek(b, 0);
    while (b.cursor < b.size && !why)
    {
        const int32_t start = b.cursor;
        while (Peek8(b) >= 28 && !why)
            SkipOperand(b);
        const int32_t end = b.cursor;
        int op = Get8(b);
        if (op == 12)
            op = Get8(b) | 0x100;
        if (op == key)
            return Range(b, start, int64_t(end) - start);
    }
    return Range(b, 0, 0);
}

void CffCheck::DictGetInts(Buffer& b, int key, int count, uint32_t* out)
{
    Buffer operands = DictGet(b, key);
    for (int i = 0; i < count && operands.cursor < operands.size; ++i)
        out[i] = Int(operands);
}

int CffCheck::IndexCount(Buffer& b)
{
    Seek(b, 0);
    return int(Get(b, 2));
}

CffCheck::Buffer CffCheck::IndexGet(Buffer b, int64_t i)
{
    Seek(b, 0);
    const int64_t count = Get(b, 2);
    const int64_t offsetSize = Get8(b);
    Skip(b, Checked(i * offsetSize));
    const int32_t start = int32_t(Get(b, int(offsetSize)));
    const int32_t end = int32_t(Get(b, int(offsetSize)));
    return Range(b, Checked(Checked(2 + (count + 1) * offsetSize) + int64_t(start)), Checked(int64_t(end) - start));
}

CffCheck::Buffer CffCheck::GetSubrs(Buffer table, Buffer fontDict)
{
    uint32_t subrsOffset = 0, privateDict[2] = {0, 0};
    DictGetInts(fontDict, 18, 2, privateDict);
    if (!privateDict[1] || !privateDict[0])
        return Buffer();
    Buffer dict = Range(table, int32_t(privateDict[1]), int32_t(privateDict[0]));
    DictGetInts(dict, 19, 1, &subrsOffset);
    if (!subrsOffset)
        return Buffer();
    Seek(table, int32_t(privateDict[1] + subrsOffset));
    return GetIndex(table);
}

CffCheck::Buffer CffCheck::GetSubr(Buffer index, int n)
{
    const int count = IndexCount(index);
    int bias = 107;
    if (count >= 33900)
        bias = 32768;
    else if (count >= 1240)
        bias = 1131;
    n += bias;
    if (n < 0 || n >= count)
        return Buffer();
    return IndexGet(index, n);
}

CffCheck::Buffer CffCheck::GlyphSubrs(uint32_t glyph)
{
    Buffer select = fdSelect;
    Seek(select, 0);
    const int format = Get8(select);
    int selector = -1;
    if (format == 0)
    {
        Skip(select, glyph);
        selector = Get8(select);
    }
    else if (format == 3)
    {
        const int ranges = int(Get(select, 2));
        int start = int(Get(select, 2));
        for (int i = 0; i < ranges && !why; ++i)
        {
            const int v = Get8(select);
            const int end = int(Get(select, 2));
            if (int(glyph) >= start && int(glyph) < end)
            {
                selector = v;
                break;
            }
            start = end;
        }
    }
    // stb_truetype goes on with selector -1 when no range holds the glyph.
    return GetSubrs(cff, IndexGet(fontDicts, selector));
}

bool CffCheck::CheckTable()
{
    Buffer b = cff;
    Skip(b, 2);
    Seek(b, Get8(b));
    GetIndex(b); // names
    Buffer topDicts = GetIndex(b);
    Buffer topDict = IndexGet(topDicts, 0);
    GetIndex(b); // strings
    globalSubrs = GetIndex(b);

    uint32_t charstringsOffset = 0, charstringType = 2, fdArrayOffset = 0, fdSelectOffset = 0;
    DictGetInts(topDict, 17, 1, &charstringsOffset);
    DictGetInts(topDict, 0x100 | 6, 1, &charstringType);
    DictGetInts(topDict, 0x100 | 36, 1, &fdArrayOffset);
    DictGetInts(topDict, 0x100 | 37, 1, &fdSelectOffset);
    subrs = GetSubrs(b, topDict);

    // stbtt_InitFont reads only Type 2 charstrings of a known place.
    if (charstringType != 2 || charstringsOffset == 0 || (fdArrayOffset && !fdSelectOffset))
    {
        notFont = !why;
        return Fail("not a TrueType or OpenType font");
    }
    if (fdArrayOffset)
    {
        Seek(b, int32_t(fdArrayOffset));
        fontDicts = GetIndex(b);
        fdSelect = Range(b, int32_t(fdSelectOffset), Checked(int64_t(b.size) - int32_t(fdSelectOffset)));
    }
    Seek(b, int32_t(charstringsOffset));
    charstrings = GetIndex(b);
    return !why;
}

bool CffCheck::CheckGlyph(uint32_t glyph)
{
    reach = 0.0f;
    // stbtt__run_charstring, drawing nothing: the same reads, the same stack and the same
    // pen, whose every vertex must fit 16 bits.
    struct Pen
    {
        float x = 0, y = 0, firstX = 0, firstY = 0;
        uint32_t vertices = 0;
        bool inRange = true;
        float reach = 0.0f;
        void Vertex(float a, float b)
        {
            inRange = inRange && a >= MinCoordinate && a <= MaxCoordinate && b >= MinCoordinate && b <= MaxCoordinate;
            reach = std::fmax(reach, std::fmax(std::fabs(a), std::fabs(b)));
            ++vertices;
        }
        void Close()
        {
            if (firstX != x || firstY != y)
                Vertex(firstX, firstY);
        }
        void MoveTo(float dx, float dy)
        {
            Close();
            firstX = x = x + dx;
            firstY = y = y + dy;
            Vertex(x, y);
        }
        void LineTo(float dx, float dy)
        {
            x += dx;
            y += dy;
            Vertex(x, y);
        }
        void CurveTo(float dx1, float dy1, float dx2, float dy2, float dx3, float dy3)
        {
            const float cx1 = x + dx1, cy1 = y + dy1;
            const float cx2 = cx1 + dx2, cy2 = cy1 + dy2;
            x = cx2 + dx3;
            y = cy2 + dy3;
            // The end point and both control points become ints.
            Vertex(x, y);
            --vertices;
            Vertex(cx1, cy1);
            --vertices;
            Vertex(cx2, cy2);
        }
    } pen;

    int inHeader = 1, maskBits = 0, depth = 0, sp = 0, i = 0;
    bool hasSubrs = false, clear = true;
    float s[48] = {};
    Buffer stack[10];
    Buffer local = subrs;
    Buffer b = IndexGet(charstrings, glyph);
    uint32_t operators = 0;
    auto done = [&]() {
        reach = pen.reach;
        return !why;
    };

    while (b.cursor < b.size)
    {
        if (why)
            return false;
        if (++operators > MaxOperators || pen.vertices > MaxVertices)
            return Fail("a glyph's outline takes too long to draw");
        if (!pen.inRange)
            return Fail("a glyph's outline lies outside the coordinate range");
        i = 0;
        clear = true;
        const int b0 = Get8(b);
        switch (b0)
        {
        case 0x13: // hintmask
        case 0x14: // cntrmask
            if (inHeader)
                maskBits += sp / 2;
            inHeader = 0;
            Skip(b, (maskBits + 7) / 8);
            break;
        case 0x01: // hstem
        case 0x03: // vstem
        case 0x12: // hstemhm
        case 0x17: // vstemhm
            maskBits += sp / 2;
            break;
        case 0x15: // rmoveto
            inHeader = 0;
            if (sp < 2)
                return done();
            pen.MoveTo(s[sp - 2], s[sp - 1]);
            break;
        case 0x04: // vmoveto
            inHeader = 0;
            if (sp < 1)
                return done();
            pen.MoveTo(0, s[sp - 1]);
            break;
        case 0x16: // hmoveto
            inHeader = 0;
            if (sp < 1)
                return done();
            pen.MoveTo(s[sp - 1], 0);
            break;
        case 0x05: // rlineto
            if (sp < 2)
                return done();
            for (; i + 1 < sp; i += 2)
                pen.LineTo(s[i], s[i + 1]);
            break;
        case 0x07: // vlineto
        case 0x06: // hlineto
        {
            if (sp < 1)
                return done();
            bool horizontal = b0 == 0x06;
            for (; i < sp; ++i, horizontal = !horizontal)
                pen.LineTo(horizontal ? s[i] : 0, horizontal ? 0 : s[i]);
            break;
        }
        case 0x1F: // hvcurveto
        case 0x1E: // vhcurveto
        {
            if (sp < 4)
                return done();
            bool vertical = b0 == 0x1E;
            for (; i + 3 < sp; i += 4, vertical = !vertical)
            {
                const float last = (sp - i == 5) ? s[i + 4] : 0.0f;
                if (vertical)
                    pen.CurveTo(0, s[i], s[i + 1], s[i + 2], s[i + 3], last);
                else
                    pen.CurveTo(s[i], 0, s[i + 1], s[i + 2], last, s[i + 3]);
            }
            break;
        }
        case 0x08: // rrcurveto
            if (sp < 6)
                return done();
            for (; i + 5 < sp; i += 6)
                pen.CurveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
            break;
        case 0x18: // rcurveline
            if (sp < 8)
                return done();
            for (; i + 5 < sp - 2; i += 6)
                pen.CurveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
            if (i + 1 >= sp)
                return done();
            pen.LineTo(s[i], s[i + 1]);
            break;
        case 0x19: // rlinecurve
            if (sp < 8)
                return done();
            for (; i + 1 < sp - 6; i += 2)
                pen.LineTo(s[i], s[i + 1]);
            if (i + 5 >= sp)
                return done();
            pen.CurveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
            break;
        case 0x1A: // vvcurveto
        case 0x1B: // hhcurveto
        {
            if (sp < 4)
                return done();
            float f = 0.0f;
            if (sp & 1)
                f = s[i++];
            for (; i + 3 < sp; i += 4)
            {
                if (b0 == 0x1B)
                    pen.CurveTo(s[i], f, s[i + 1], s[i + 2], s[i + 3], 0.0f);
                else
                    pen.CurveTo(f, s[i], s[i + 1], s[i + 2], 0.0f, s[i + 3]);
                f = 0.0f;
            }
            break;
        }
        case 0x0A: // callsubr
            if (!hasSubrs)
            {
                if (fdSelect.size)
                    local = GlyphSubrs(glyph);
                hasSubrs = true;
            }
            [[fallthrough]];
        case 0x1D: // callgsubr
        {
            if (sp < 1)
                return done();
            const int v = int(s[--sp]);
            if (depth >= 10)
                return done();
            stack[depth++] = b;
            b = GetSubr(b0 == 0x0A ? local : globalSubrs, v);
            if (b.size == 0)
                return done();
            b.cursor = 0;
            clear = false;
            break;
        }
        case 0x0B: // return
            if (depth <= 0)
                return done();
            b = stack[--depth];
            clear = false;
            break;
        case 0x0E: // endchar
            pen.Close();
            if (!pen.inRange)
                return Fail("a glyph's outline lies outside the coordinate range");
            return done();
        case 0x0C:
        {
            const int b1 = Get8(b);
            switch (b1)
            {
            case 0x22: // hflex
                if (sp < 7)
                    return done();
                pen.CurveTo(s[0], 0, s[1], s[2], s[3], 0);
                pen.CurveTo(s[4], 0, s[5], -s[2], s[6], 0);
                break;
            case 0x23: // flex
                if (sp < 13)
                    return done();
                pen.CurveTo(s[0], s[1], s[2], s[3], s[4], s[5]);
                pen.CurveTo(s[6], s[7], s[8], s[9], s[10], s[11]);
                break;
            case 0x24: // hflex1
                if (sp < 9)
                    return done();
                pen.CurveTo(s[0], s[1], s[2], s[3], s[4], 0);
                pen.CurveTo(s[5], 0, s[6], s[7], s[8], -(s[1] + s[3] + s[7]));
                break;
            case 0x25: // flex1
            {
                if (sp < 11)
                    return done();
                float dx6 = s[10], dy6 = s[10];
                const float dx = s[0] + s[2] + s[4] + s[6] + s[8];
                const float dy = s[1] + s[3] + s[5] + s[7] + s[9];
                if (std::fabs(dx) > std::fabs(dy))
                    dy6 = -dy;
                else
                    dx6 = -dx;
                pen.CurveTo(s[0], s[1], s[2], s[3], s[4], s[5]);
                pen.CurveTo(s[6], s[7], s[8], s[9], dx6, dy6);
                break;
            }
            default:
                return done();
            }
            break;
        }
        default:
        {
            if (b0 != 255 && b0 != 28 && b0 < 32)
                return done();
            float f;
            if (b0 == 255)
            {
                f = float(int32_t(Get(b, 4))) / 0x10000;
            }
            else
            {
                Skip(b, -1);
                f = float(int16_t(Int(b)));
            }
            if (sp >= 48)
                return done();
            s[sp++] = f;
            clear = false;
            break;
        }
        }
        if (clear)
            sp = 0;
    }
    if (!pen.inRange)
        return Fail("a glyph's outline lies outside the coordinate range");
    return done();
}
} // namespace FontAtlas
