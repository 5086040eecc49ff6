// TextPlane3D's layout on the host: which byte takes which glyph record, quads placed from
// the records along lines that run downwards, line breaks and carriage returns that take no
// glyph, bytes without a record skipped, and a text longer than the buffer cut at its room.
#include "repository/Effects/TextLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using TextLayout::Vertex;

namespace
{
// Records that tell each other apart: record r is 10 + r pixels wide and advances 12 + r.
std::vector<stbtt_packedchar> Records()
{
    std::vector<stbtt_packedchar> glyphs(97);
    for (int r = 0; r < 97; ++r)
    {
        stbtt_packedchar& g = glyphs[r];
        g.x0 = uint16_t(r * 10);
        g.y0 = uint16_t(r);
        g.x1 = uint16_t(r * 10 + 10 + r);
        g.y1 = uint16_t(r + 40);
        g.xoff = 0.3f + 0.01f * float(r);
        g.yoff = -30.4f;
        g.xoff2 = g.xoff + float(10 + r);
        g.yoff2 = g.yoff + 40.0f;
        g.xadvance = 12.25f + float(r);
    }
    return glyphs;
}

struct Quad
{
    float x0, y0, x1, y1; // as laid out: y negated
    float s0, t0, s1, t1;
};

Quad QuadOf(const Vertex* v)
{
    return {v[0].x, v[0].y, v[4].x, v[4].y, v[0].u, v[0].v, v[4].u, v[4].v};
}

std::vector<Vertex> Buffer()
{
    return std::vector<Vertex>(TextLayout::MaxGlyphs * TextLayout::VerticesPerGlyph + 6, Vertex{7, 7, 7, 7, 7});
}

TEST(TextLayout, RecordsOfBytes)
{
    EXPECT_EQ(TextLayout::RecordOfByte(' '), 0);
    EXPECT_EQ(TextLayout::RecordOfByte('A'), 33);
    EXPECT_EQ(TextLayout::RecordOfByte('~'), 94);
    EXPECT_EQ(TextLayout::RecordOfByte(0xDC), 95);
    EXPECT_EQ(TextLayout::RecordOfByte(0xFC), 96);
    // Control bytes, 127 and every other byte above it (UTF-8 sequences among them).
    for (int byte : {0, 9, 10, 13, 31, 127, 0x80, 0xC3, 0xBC, 0xDB, 0xDD, 0xFB, 0xFD, 0xFF})
        EXPECT_EQ(TextLayout::RecordOfByte(uint8_t(byte)), -1) << byte;
}

TEST(TextLayout, QuadsFollowTheRecordsAlongLinesThatRunDown)
{
    const std::vector<stbtt_packedchar> glyphs = Records();
    std::vector<Vertex> v = Buffer();
    bool truncated = true;
    ASSERT_EQ(TextLayout::LayOut("AB\r\nC", glyphs.data(), 1024, 0.5f, v.data(), &truncated), 3u);
    EXPECT_FALSE(truncated);

    const stbtt_packedchar& a = glyphs[33];
    const stbtt_packedchar& b = glyphs[34];
    const stbtt_packedchar& c = glyphs[35];
    // The pen's x rounds to whole pixels with the offset; the quad keeps the box's size.
    const float ax = std::floor(0.0f + a.xoff + 0.5f), ay = std::floor(0.0f + a.yoff + 0.5f);
    const Quad qa = QuadOf(&v[0]);
    EXPECT_EQ(qa.x0, ax);
    EXPECT_EQ(qa.y0, -ay);
    EXPECT_FLOAT_EQ(qa.x1, ax + (a.xoff2 - a.xoff));
    EXPECT_FLOAT_EQ(qa.y1, -(ay + (a.yoff2 - a.yoff)));
    EXPECT_FLOAT_EQ(qa.s0, a.x0 / 1024.0f);
    EXPECT_FLOAT_EQ(qa.t0, a.y0 / 1024.0f);
    EXPECT_FLOAT_EQ(qa.s1, a.x1 / 1024.0f);
    EXPECT_FLOAT_EQ(qa.t1, a.y1 / 1024.0f);
    // The six vertices are two triangles over the quad's corners, all at z 0.
    const float xs[6] = {qa.x0, qa.x1, qa.x0, qa.x1, qa.x1, qa.x0};
    const float ys[6] = {qa.y0, qa.y0, qa.y1, qa.y0, qa.y1, qa.y1};
    for (int k = 0; k < 6; ++k)
    {
        EXPECT_EQ(v[k].x, xs[k]) << k;
        EXPECT_EQ(v[k].y, ys[k]) << k;
        EXPECT_EQ(v[k].z, 0.0f) << k;
    }

    // "B" after A's advance (not rounded); "C" at the start of the next line, 64 pixels down.
    const Quad qb = QuadOf(&v[6]);
    EXPECT_EQ(qb.x0, std::floor(a.xadvance + b.xoff + 0.5f));
    const Quad qc = QuadOf(&v[12]);
    EXPECT_EQ(qc.x0, std::floor(c.xoff + 0.5f));
    EXPECT_EQ(qc.y0, -std::floor(64.0f + c.yoff + 0.5f));
    EXPECT_EQ(v[18].x, 7.0f) << "nothing past the last glyph";
}

TEST(TextLayout, BytesWithoutARecordAreSkipped)
{
    const std::vector<stbtt_packedchar> glyphs = Records();
    std::vector<Vertex> v = Buffer();
    // "Ü" in UTF-8 (0xC3 0x9C) takes nothing; in Latin-1 (0xDC) it is record 95; a tab,
    // 127 and 0xFF take nothing either.
    const std::string text = "\xC3\x9C\t\x7F\xDC\xFF!";
    ASSERT_EQ(TextLayout::LayOut(text.c_str(), glyphs.data(), 1024, 1.0f, v.data(), nullptr), 2u);
    EXPECT_FLOAT_EQ(v[0].u, glyphs[95].x0 / 1024.0f);
    EXPECT_FLOAT_EQ(v[6].u, glyphs[1].x0 / 1024.0f);
    // Skipped bytes do not move the pen.
    EXPECT_EQ(v[6].x, std::floor(glyphs[95].xadvance + glyphs[1].xoff + 0.5f));

    EXPECT_EQ(TextLayout::LayOut("", glyphs.data(), 1024, 1.0f, v.data(), nullptr), 0u);
    EXPECT_EQ(TextLayout::LayOut("\n\r\n", glyphs.data(), 1024, 1.0f, v.data(), nullptr), 0u);
}

TEST(TextLayout, TextsLongerThanTheBufferStopAtItsRoom)
{
    const std::vector<stbtt_packedchar> glyphs = Records();
    for (uint32_t length : {999u, 1000u, 1001u, 1500u})
    {
        SCOPED_TRACE(length);
        std::vector<Vertex> v = Buffer();
        // Line breaks in between take no room.
        std::string text;
        for (uint32_t i = 0; i < length; ++i)
            text += (i % 50 == 49) ? "x\n" : "x";
        bool truncated = false;
        const uint32_t count = TextLayout::LayOut(text.c_str(), glyphs.data(), 1024, 1.0f, v.data(), &truncated);
        EXPECT_EQ(count, std::min(length, TextLayout::MaxGlyphs));
        EXPECT_EQ(truncated, length > TextLayout::MaxGlyphs);
        // The vertex past the room is untouched.
        EXPECT_EQ(v[TextLayout::MaxGlyphs * TextLayout::VerticesPerGlyph].x, 7.0f);
    }
    EXPECT_EQ(TextLayout::BufferBytes, 120000u);
}
} // namespace
