// TextPlane3D's layout of a text into glyph quads.
#include "repository/Effects/TextLayout.h"

#include <cmath>

namespace TextLayout
{
int RecordOfByte(uint8_t byte)
{
    if (byte >= 32 && byte <= 126)
        return byte - 32;
    if (byte == 0xDC)
        return 95;
    if (byte == 0xFC)
        return 96;
    return -1;
}

uint32_t LayOut(const char* text, const stbtt_packedchar* glyphs, uint32_t atlasEdge, float lineHeight,
                Vertex* vertices, bool* truncated)
{
    if (truncated)
        *truncated = false;
    if (!text || !glyphs || !vertices)
        return 0;
    const float edge = atlasEdge ? float(atlasEdge) : 1.0f;
    float x = 0.0f, y = 0.0f;
    uint32_t count = 0;
    for (const char* p = text; *p; ++p)
    {
        const uint8_t byte = uint8_t(*p);
        if (byte == 13)
            continue;
        if (byte == 10)
        {
            x = 0.0f;
            y += lineHeight * PixelHeight;
            continue;
        }
        const int record = RecordOfByte(byte);
        if (record < 0)
            continue;
        if (count == MaxGlyphs)
        {
            if (truncated)
                *truncated = true;
            break;
        }

        const stbtt_packedchar& g = glyphs[record];
        const float qx0 = float(int(std::floor(x + g.xoff + 0.5f)));
        const float qy0 = float(int(std::floor(y + g.yoff + 0.5f)));
        const float qx1 = qx0 + g.xoff2 - g.xoff;
        const float qy1 = qy0 + g.yoff2 - g.yoff;
        const float s0 = float(g.x0) / edge, t0 = float(g.y0) / edge;
        const float s1 = float(g.x1) / edge, t1 = float(g.y1) / edge;
        x += g.xadvance;

        // Lines run downwards: y is negated.
        Vertex* v = vertices + size_t(count) * VerticesPerGlyph;
        v[0] = {qx0, -qy0, 0.0f, s0, t0};
        v[1] = {qx1, -qy0, 0.0f, s1, t0};
        v[2] = {qx0, -qy1, 0.0f, s0, t1};
        v[3] = {qx1, -qy0, 0.0f, s1, t0};
        v[4] = {qx1, -qy1, 0.0f, s1, t1};
        v[5] = {qx0, -qy1, 0.0f, s0, t1};
        ++count;
    }
    return count;
}
} // namespace TextLayout
