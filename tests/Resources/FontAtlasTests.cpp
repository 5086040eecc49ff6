// The font check and the atlas baking on the host: DejaVu Sans and small built fonts pack
// with the metrics their outlines predict, missing characters share the missing glyph, a
// full atlas fails, and files that are no font or whose offsets lead outside the file (the
// directory, the tables, the character map, metrics, outlines, components) are refused
// with the reason before stb_truetype reads them.
#include "repository/Resources/FontAtlas.h"

#include "FontBuilder.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
std::string DejaVuSans()
{
    const char* path = getenv("BRIVET_FONT_FILE");
    std::ifstream file(path ? path : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

const uint8_t* Bytes(const std::string& file)
{
    return reinterpret_cast<const uint8_t*>(file.data());
}

std::vector<std::string> Errors()
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(Brivet::Utility::Log::LevelError))
        texts.push_back(line.text);
    return texts;
}

struct Baked
{
    bool ok = false;
    std::vector<uint8_t> atlas;
    std::vector<stbtt_packedchar> glyphs;
};

Baked Bake(const std::string& file, uint32_t edge = FontAtlas::AtlasEdge)
{
    Baked baked;
    baked.atlas.assign(size_t(edge) * edge, 0xAB);
    baked.glyphs.assign(FontAtlas::GlyphCount, stbtt_packedchar{});
    // The file alone on the heap, at its size: a read past its end is caught.
    std::vector<uint8_t> copy(file.begin(), file.end());
    baked.ok = FontAtlas::Bake("fonts/test.ttf", copy.data(), uint32_t(copy.size()), edge, baked.atlas.data(),
                               baked.glyphs.data());
    return baked;
}

bool SameRecord(const stbtt_packedchar& a, const stbtt_packedchar& b)
{
    return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1 && a.xoff == b.xoff && a.yoff == b.yoff &&
           a.xadvance == b.xadvance && a.xoff2 == b.xoff2 && a.yoff2 == b.yoff2;
}

FontSpec AllCharacters()
{
    FontSpec spec;
    spec.codePoints = AtlasCodePoints();
    spec.codePoints.pop_back(); // 252 comes from the composite glyph
    spec.compositeCodePoint = 252;
    return spec;
}

class FontAtlasTest : public ::testing::Test
{
protected:
    void SetUp() override { LogCapture::Get().Clear(); }
};

TEST_F(FontAtlasTest, RecordsOfTheCodePoints)
{
    EXPECT_EQ(FontAtlas::RecordOf(65), 33); // "A"
    EXPECT_EQ(FontAtlas::RecordOf(32), 0);
    EXPECT_EQ(FontAtlas::RecordOf(126), 94);
    EXPECT_EQ(FontAtlas::RecordOf(220), 95);
    EXPECT_EQ(FontAtlas::RecordOf(252), 96);
    for (uint32_t none : {0u, 10u, 31u, 127u, 128u, 219u, 221u, 0xDCu + 0x100u, 0xFFFFFFFFu})
        EXPECT_EQ(FontAtlas::RecordOf(none), -1) << none;
    for (uint32_t record = 0; record < FontAtlas::GlyphCount; ++record)
        EXPECT_EQ(FontAtlas::RecordOf(FontAtlas::CodePointOf(record)), int(record));
}

TEST_F(FontAtlasTest, DejaVuSansPacksEveryGlyphApart)
{
    const std::string file = DejaVuSans();
    ASSERT_GT(file.size(), 100000u) << "DejaVu Sans (fonts-dejavu-core) is missing";
    const Baked baked = Bake(file);
    ASSERT_TRUE(baked.ok) << ::testing::PrintToString(Errors());
    EXPECT_TRUE(Errors().empty());

    // Every box in the atlas, none overlapping another; no oversampling, so a box is as
    // wide and high as its placement says.
    for (uint32_t i = 0; i < FontAtlas::GlyphCount; ++i)
    {
        const stbtt_packedchar& g = baked.glyphs[i];
        SCOPED_TRACE(i);
        EXPECT_LE(g.x0, g.x1);
        EXPECT_LE(g.y0, g.y1);
        EXPECT_LE(g.x1, FontAtlas::AtlasEdge);
        EXPECT_LE(g.y1, FontAtlas::AtlasEdge);
        EXPECT_FLOAT_EQ(g.xoff2 - g.xoff, float(g.x1 - g.x0));
        EXPECT_FLOAT_EQ(g.yoff2 - g.yoff, float(g.y1 - g.y0));
        EXPECT_GT(g.xadvance, 0.0f);
        for (uint32_t j = 0; j < i; ++j)
        {
            const stbtt_packedchar& h = baked.glyphs[j];
            const bool apart = g.x1 <= h.x0 || h.x1 <= g.x0 || g.y1 <= h.y0 || h.y1 <= g.y0;
            EXPECT_TRUE(apart || g.x0 == g.x1 || h.x0 == h.x1) << "overlaps record " << j;
        }
    }
    // "A" at 128 pixels of height: DejaVu's height is 2384 units (ascent 1901, descent
    // 483), "A" advances 1401 of them and stands on the base line 1493 units high.
    const stbtt_packedchar& a = baked.glyphs[FontAtlas::RecordOf('A')];
    const float scale = 128.0f / 2384.0f;
    EXPECT_NEAR(a.xadvance, 1401 * scale, 0.01f);
    EXPECT_NEAR(a.yoff, -1493 * scale, 1.0f);
    EXPECT_NEAR(a.yoff2, 0.0f, 1.0f);
    EXPECT_NEAR(a.xoff2 - a.xoff, 1401 * scale, 2.0f);
    // Its box holds coverage; "." lies low, on the base line; the space has none.
    uint32_t lit = 0;
    for (uint32_t y = a.y0; y < a.y1; ++y)
        for (uint32_t x = a.x0; x < a.x1; ++x)
            lit += baked.atlas[y * FontAtlas::AtlasEdge + x] > 128 ? 1 : 0;
    EXPECT_GT(lit, 500u);
    const stbtt_packedchar& dot = baked.glyphs[FontAtlas::RecordOf('.')];
    EXPECT_LT(dot.yoff, 0.0f);
    EXPECT_GT(dot.yoff, -20.0f);
    const stbtt_packedchar& space = baked.glyphs[0];
    EXPECT_EQ(space.x1 - space.x0, 0);
    EXPECT_NEAR(space.xadvance, 651 * scale, 0.01f);
    // The atlas was cleared before packing: outside the boxes it is empty.
    std::vector<bool> boxed(baked.atlas.size(), false);
    for (const stbtt_packedchar& g : baked.glyphs)
        for (uint32_t y = g.y0; y < g.y1; ++y)
            for (uint32_t x = g.x0; x < g.x1; ++x)
                boxed[y * FontAtlas::AtlasEdge + x] = true;
    size_t stray = 0;
    for (size_t i = 0; i < baked.atlas.size(); ++i)
        stray += !boxed[i] && baked.atlas[i] != 0 ? 1 : 0;
    EXPECT_EQ(stray, 0u);
}

TEST_F(FontAtlasTest, BuiltGlyphsHaveThePredictedPlacement)
{
    // Square glyph i spans x 40 to 140 + (37 i mod 500) and y -100 + (13 i mod 200) to 650
    // in a font 1000 units high: 0.128 pixels a unit. Glyph i advances 500 + 10 i units.
    for (uint32_t format : {4u, 12u})
    {
        for (bool longLoca : {false, true})
        {
            SCOPED_TRACE(::testing::Message() << "format " << format << (longLoca ? ", long loca" : ""));
            FontSpec spec = AllCharacters();
            spec.cmapFormat = format;
            spec.longLoca = longLoca;
            const Baked baked = Bake(BuildFont(spec).bytes);
            ASSERT_TRUE(baked.ok) << ::testing::PrintToString(Errors());
            for (uint32_t cp : {uint32_t('A'), uint32_t('~'), 220u})
            {
                const uint32_t i = uint32_t(FontAtlas::RecordOf(cp)); // square i + 1
                const stbtt_packedchar& g = baked.glyphs[i];
                const double x1 = 140 + (i * 37) % 500, y0 = -100.0 + (i * 13) % 200;
                EXPECT_EQ(g.xoff, std::floor(40 * 0.128)) << cp;
                EXPECT_EQ(g.xoff2, std::ceil(x1 * 0.128)) << cp;
                EXPECT_EQ(g.yoff, std::floor(-650 * 0.128)) << cp;
                EXPECT_EQ(g.yoff2, std::ceil(-y0 * 0.128)) << cp;
                EXPECT_NEAR(g.xadvance, 0.128 * (500 + 10 * (i + 1)), 1e-4) << cp;
                EXPECT_EQ(g.x1 - g.x0, int(g.xoff2 - g.xoff)) << cp;
                // The square is solid: its middle texel is fully covered.
                const uint32_t mx = (g.x0 + g.x1) / 2, my = (g.y0 + g.y1) / 2;
                EXPECT_EQ(baked.atlas[my * FontAtlas::AtlasEdge + mx], 255) << cp;
            }
            // The composite (252) is the first two squares side by side, the second moved
            // 600 units right: its box is the composite's own, 0 to 1200 by 0 to 700.
            const stbtt_packedchar& c = baked.glyphs[96];
            EXPECT_EQ(c.xoff, 0.0f);
            EXPECT_EQ(c.xoff2, std::ceil(1200 * 0.128));
            EXPECT_EQ(c.yoff, std::floor(-700 * 0.128));
        }
    }
}

TEST_F(FontAtlasTest, MissingCharactersShareTheMissingGlyph)
{
    // Only "A" to "Z": the space is the first character missing and gets the box of glyph
    // 0; every other missing one, 220 and 252 included, takes the space's record.
    FontSpec spec;
    for (uint32_t cp = 'A'; cp <= 'Z'; ++cp)
        spec.codePoints.push_back(cp);
    const Baked baked = Bake(BuildFont(spec).bytes);
    ASSERT_TRUE(baked.ok) << ::testing::PrintToString(Errors());
    const stbtt_packedchar& missing = baked.glyphs[0];
    EXPECT_EQ(missing.xoff, std::floor(50 * 0.128));
    EXPECT_EQ(missing.xoff2, std::ceil(450 * 0.128));
    for (uint32_t cp : {uint32_t('!'), uint32_t('a'), uint32_t('~'), 220u, 252u})
        EXPECT_TRUE(SameRecord(baked.glyphs[FontAtlas::RecordOf(cp)], missing)) << cp;
    EXPECT_FALSE(SameRecord(baked.glyphs[FontAtlas::RecordOf('A')], missing));
}

TEST_F(FontAtlasTest, GlyphsThatDoNotFitFailThePacking)
{
    const Baked baked = Bake(BuildFont(AllCharacters()).bytes, 64);
    EXPECT_FALSE(baked.ok);
    EXPECT_EQ(Errors(), std::vector<std::string>{"[font] stbtt_PackFontRange failed: 0"});
}

TEST_F(FontAtlasTest, FilesThatAreNoFontAreRefused)
{
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 29);
    std::string collection = std::string("ttcf\0\1\0\0\0\0\0\1\x7f\xff\xff\xf0", 16);
    std::string noMap = BuildFont(AllCharacters()).bytes;
    {
        BuiltFont font = BuildFont(AllCharacters());
        font.Put16(font.Table("cmap") + 4, 1); // the only record: Macintosh, not Unicode
        noMap = font.bytes;
    }
    std::string noMetrics;
    {
        BuiltFont font = BuildFont(AllCharacters());
        font.bytes.replace(font.Record("hmtx"), 4, "hmtX");
        noMetrics = font.bytes;
    }
    const std::pair<const char*, std::string> files[] = {
        {"empty", ""},
        {"short", "\0\1\0\0\0"},
        {"png", png},
        {"text", "This is not a font, only some text in a file."},
        {"collection pointing past its end", collection},
        {"no Unicode character map", noMap},
        {"no metrics table", noMetrics},
    };
    for (const auto& [what, file] : files)
    {
        SCOPED_TRACE(what);
        LogCapture::Get().Clear();
        bool notFont = false;
        std::vector<uint8_t> copy(file.begin(), file.end());
        EXPECT_STREQ(FontAtlas::CheckFont(copy.data(), uint32_t(copy.size()), &notFont),
                     "not a TrueType or OpenType font");
        EXPECT_TRUE(notFont);
        EXPECT_FALSE(Bake(file).ok);
        EXPECT_EQ(Errors(), std::vector<std::string>{"[font] 'fonts/test.ttf' is not a TrueType or OpenType font"});
    }
}

TEST_F(FontAtlasTest, OffsetsLeadingOutsideAreRefusedBeforeStbTruetypeReadsThem)
{
    using Damage = std::function<void(BuiltFont&)>;
    auto glyph = [](const BuiltFont& f, uint32_t cp) { return f.glyphOffsets[cp - 32 + 1]; };
    struct Case
    {
        const char* what;
        Damage damage;
        const char* why;
        uint32_t format = 4;
    };
    const Case cases[] = {
        {"directory", [](BuiltFont& f) { f.Put16(4, 4000); }, "the table directory lies outside the file"},
        {"glyf longer than the file", [](BuiltFont& f) { f.Put32(f.Record("glyf") + 12, 0x100000); },
         "a table lies outside the file"},
        {"cmap past the end", [](BuiltFont& f) { f.Put32(f.Record("cmap") + 8, uint32_t(f.bytes.size()) - 4); },
         "a table lies outside the file"},
        {"head short", [](BuiltFont& f) { f.Put32(f.Record("head") + 12, 20); }, "the font header is short"},
        {"maxp short", [](BuiltFont& f) { f.Put32(f.Record("maxp") + 12, 4); }, "the maximum profile is short"},
        {"hhea short", [](BuiltFont& f) { f.Put32(f.Record("hhea") + 12, 30); }, "the horizontal header is short"},
        {"no height", [](BuiltFont& f) { f.Put16(f.Table("hhea") + 6, 800); }, "the font's height is not positive"},
        {"subtable outside the map", [](BuiltFont& f) { f.Put32(f.Table("cmap") + 8, 0x7FFFFFF0); },
         "the character map's subtable lies outside it"},
        {"records outside the map", [](BuiltFont& f) { f.Put16(f.Table("cmap") + 2, 5000); },
         "the character map's records lie outside it"},
        {"segment search outside the map", [](BuiltFont& f) { f.Put16(f.Table("cmap") + 12 + 12, 0xFFFE); },
         "a character map search reads outside the map"},
        {"groups outside the map", [](BuiltFont& f) { f.Put32(f.Table("cmap") + 12 + 12, 0x20000000); },
         "a character map subtable lies outside the map", 12},
        {"glyph index that cannot exist", [](BuiltFont& f) { f.Put32(f.Table("cmap") + 12 + 16 + 8, 0x7FFFFFF0); },
         "a character maps to a glyph that cannot exist", 12},
        {"no long metrics", [](BuiltFont& f) { f.Put16(f.Table("hhea") + 34, 0); },
         "the font has no horizontal metrics"},
        {"metrics outside their table", [](BuiltFont& f) { f.Put32(f.Record("hmtx") + 12, 8); },
         "a glyph's metrics lie outside their table"},
        {"location outside its table", [](BuiltFont& f) { f.Put32(f.Record("loca") + 12, 8); },
         "a glyph's location lies outside its table"},
        {"glyph past the glyph table", [](BuiltFont& f) { f.Put16(f.Table("loca") + 2 * 2, 0xFFFF); },
         "a glyph lies outside the glyph table"},
        {"glyph ending before it starts", [](BuiltFont& f) { f.Put16(f.Table("loca") + 2, 0x100); },
         "a glyph lies outside the glyph table"},
        {"box upside down", [&](BuiltFont& f) { f.Put16(glyph(f, ' ') + 2, 5000); }, "a glyph's box is upside down"},
        {"contours outside", [&](BuiltFont& f) { f.Put16(glyph(f, ' '), 30000); },
         "a glyph's contours lie outside it"},
        {"instructions outside", [&](BuiltFont& f) { f.Put16(glyph(f, ' ') + 12, 0x4000); },
         "a glyph's instructions lie outside it"},
        {"flags outside", [&](BuiltFont& f) { f.Put16(glyph(f, ' ') + 10, 2000); },
         "a glyph's flags lie outside it"},
        {"coordinates outside", [&](BuiltFont& f) { f.Put16(glyph(f, ' ') + 10, 7); },
         "a glyph's coordinates lie outside it"},
        {"last contour starting off the curve on its last point",
         [&](BuiltFont& f) {
             // Two contours (points 0 to 2, and point 3 alone and off the curve); the
             // four flags and the coordinates move two bytes on and still fit.
             const uint32_t g = glyph(f, ' ');
             f.Put16(g, 2);
             f.Put16(g + 10, 2);
             f.Put16(g + 12, 3);
             f.Put16(g + 14, 0);
             f.bytes.replace(g + 16, 4, std::string("\1\1\1\0", 4));
         },
         "a glyph's last contour starts off the curve on its last point"},
        {"outline reaching far past its box",
         [&](BuiltFont& f) {
             // 100 units high: 1.28 pixels a unit; the space's first point moves 30000 units right.
             f.Put16(f.Table("hhea") + 4, 100);
             f.Put16(f.Table("hhea") + 6, 0);
             f.Put16(glyph(f, ' ') + 18, 30000);
         },
         "a glyph's outline reaches too far"},
        {"component cycle", [](BuiltFont& f) { f.Put16(f.glyphOffsets.back() + 12, uint16_t(f.glyphOffsets.size() - 1)); },
         "composite glyphs nest too deeply"},
        {"components outside", [](BuiltFont& f) { f.Put16(f.glyphOffsets.back() + 18, 1 | 2 | 32); },
         "a glyph's components lie outside it"},
        {"component moved past 16 bits",
         [](BuiltFont& f) { f.Put16(f.glyphOffsets.back() + 22, 32700); }, // the second one's x
         "a glyph's components are placed outside the coordinate range"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        LogCapture::Get().Clear();
        FontSpec spec = AllCharacters();
        spec.cmapFormat = c.format;
        BuiltFont font = BuildFont(spec);
        ASSERT_EQ(FontAtlas::CheckFont(Bytes(font.bytes), uint32_t(font.bytes.size())), nullptr);
        c.damage(font);
        bool notFont = true;
        std::vector<uint8_t> copy(font.bytes.begin(), font.bytes.end());
        EXPECT_STREQ(FontAtlas::CheckFont(copy.data(), uint32_t(copy.size()), &notFont), c.why);
        EXPECT_FALSE(notFont);
        EXPECT_FALSE(Bake(font.bytes).ok);
        EXPECT_EQ(Errors(), std::vector<std::string>{std::string("[font] 'fonts/test.ttf' cannot be read safely: ") +
                                                     c.why});
    }
}

TEST_F(FontAtlasTest, ComponentsOfGlyphsTheFontDoesNotHaveAreNoOutline)
{
    // stb_truetype gives a glyph index past the glyph count no outline: nothing to refuse.
    BuiltFont font = BuildFont(AllCharacters());
    font.Put16(font.glyphOffsets.back() + 12, 60000);
    EXPECT_EQ(FontAtlas::CheckFont(Bytes(font.bytes), uint32_t(font.bytes.size())), nullptr);
    EXPECT_TRUE(Bake(font.bytes).ok);
}
} // namespace

namespace
{
FontSpec CffCharacters()
{
    FontSpec spec;
    spec.codePoints = AtlasCodePoints();
    spec.cff = true;
    return spec;
}

TEST_F(FontAtlasTest, PostScriptOutlinesBakeToo)
{
    // The built squares as charstrings: the same placement as their TrueType twins.
    const Baked baked = Bake(BuildFont(CffCharacters()).bytes);
    ASSERT_TRUE(baked.ok) << ::testing::PrintToString(Errors());
    const uint32_t i = uint32_t(FontAtlas::RecordOf('A'));
    const stbtt_packedchar& a = baked.glyphs[i];
    EXPECT_EQ(a.xoff, std::floor(40 * 0.128));
    EXPECT_EQ(a.xoff2, std::ceil((140 + (i * 37) % 500) * 0.128));
    EXPECT_EQ(a.yoff, std::floor(-650 * 0.128));
    EXPECT_NEAR(a.xadvance, 0.128 * (500 + 10 * (i + 1)), 1e-4);
    EXPECT_EQ(baked.atlas[(a.y0 + a.y1) / 2 * FontAtlas::AtlasEdge + (a.x0 + a.x1) / 2], 255);

    // A real font of PostScript outlines (fonts-urw-base35), when the machine has it.
    std::ifstream file("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf", std::ios::binary);
    if (file)
    {
        std::ostringstream bytes;
        bytes << file.rdbuf();
        const Baked nimbus = Bake(bytes.str());
        EXPECT_TRUE(nimbus.ok) << ::testing::PrintToString(Errors());
        EXPECT_GT(nimbus.glyphs[i].x1 - nimbus.glyphs[i].x0, 40);
    }
}

TEST_F(FontAtlasTest, PostScriptOutlinesThatReadOutsideOrNeverEndAreRefused)
{
    // Global subroutine k calls subroutine k + 1 forty times; the last draws a line. Run
    // from a glyph, ten levels deep, that is 40^9 lines.
    std::vector<std::string> fan;
    for (int k = 0; k < 9; ++k)
    {
        std::string subr;
        for (int call = 0; call < 40; ++call)
            subr += CffNumber(k + 1 - 107) + char(0x1D);
        fan.push_back(subr + char(0x0B));
    }
    fan.push_back(CffNumber(1) + CffNumber(1) + char(0x05) + char(0x0B));
    const std::string start = CffNumber(0) + CffNumber(0) + char(0x15);

    struct Case
    {
        const char* what;
        std::function<void(FontSpec&)> spec;
        std::function<void(BuiltFont&)> damage;
        const char* why;
        bool notFont = false;
    };
    const uint32_t glyphA = uint32_t(FontAtlas::RecordOf('A')) + 1;
    const Case cases[] = {
        {"table shorter than its contents", nullptr,
         [](BuiltFont& f) { f.Put32(f.Record("CFF ") + 12, 40); }, "a PostScript outline reads outside its table"},
        {"charstrings past the table",
         nullptr,
         [](BuiltFont& f) {
             // The top DICT's CharStrings operand: the first 29 after the charstring type.
             const uint32_t table = f.Table("CFF ");
             const size_t at = f.bytes.find(std::string("\x0c\x06\x1d", 3), table);
             f.Put32(uint32_t(at) + 3, 0x100000);
         },
         "a PostScript outline reads outside its table"},
        {"endless subroutine calls",
         [&](FontSpec& s) {
             s.globalSubrs = fan;
             s.charstrings[glyphA] = start + CffNumber(-107) + char(0x1D) + char(0x0E);
         },
         nullptr, "a glyph's outline takes too long to draw"},
        {"coordinates past 16 bits",
         [&](FontSpec& s) {
             s.charstrings[glyphA] = start + CffFixed(30000.5) + CffNumber(0) + char(0x05) + CffFixed(30000.5) +
                                     CffNumber(0) + char(0x05) + char(0x0E);
         },
         nullptr, "a glyph's outline lies outside the coordinate range"},
        {"outline reaching far past its box",
         [&](FontSpec& s) {
             s.ascent = 100;
             s.descent = 0;
             s.charstrings[glyphA] = start + CffFixed(30000.5) + CffNumber(0) + char(0x05) + char(0x0E);
         },
         nullptr, "a glyph's outline reaches too far"},
        {"Type 1 charstrings", [](FontSpec& s) { s.charstringType = 1; }, nullptr, "not a TrueType or OpenType font",
         true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        LogCapture::Get().Clear();
        FontSpec spec = CffCharacters();
        if (c.spec)
            c.spec(spec);
        BuiltFont font = BuildFont(spec);
        if (c.damage)
            c.damage(font);
        bool notFont = !c.notFont;
        std::vector<uint8_t> copy(font.bytes.begin(), font.bytes.end());
        EXPECT_STREQ(FontAtlas::CheckFont(copy.data(), uint32_t(copy.size()), &notFont), c.why);
        EXPECT_EQ(notFont, c.notFont);
        EXPECT_FALSE(Bake(font.bytes).ok);
    }

    // Subroutines that nest as deep as stb_truetype allows, and a call of one that does not
    // exist, end the glyph quietly there: nothing to refuse.
    FontSpec quiet = CffCharacters();
    quiet.globalSubrs = {CffNumber(0 - 107) + char(0x1D) + char(0x0B)};
    quiet.charstrings[glyphA] = start + CffNumber(-107) + char(0x1D) + char(0x0E);
    quiet.charstrings[glyphA + 1] = start + CffNumber(500) + char(0x1D) + char(0x0E);
    EXPECT_TRUE(Bake(BuildFont(quiet).bytes).ok) << ::testing::PrintToString(Errors());
}
} // namespace
