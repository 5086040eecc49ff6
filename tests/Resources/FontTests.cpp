// The font resource on a device: DejaVu Sans (fonts-dejavu-core) baked into an R8_UNORM
// atlas whose texels and glyph records match the font's metrics, the factory's type and
// extensions, and the loads that fail: a missing entry without a line of its own, a PNG
// file that is no font, and glyphs that do not fit an atlas made small for the test.
#include "ResourcesFixture.h"

#include "LogCapture.h"
#include "repository/Resources/Font.h"
#include "repository/Resources/FontFactory.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace ResourcesTest;

namespace
{
std::string FileBytes(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::string DejaVuSans()
{
    const char* path = getenv("BRIVET_FONT_FILE");
    return FileBytes(path ? path : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
}

// The texels of a single-channel texture, row by row.
std::vector<uint8_t> ReadCoverage(ID3D11Texture2D* texture)
{
    std::vector<uint8_t> texels;
    Brivet::Demo* demo = SharedDemo();
    if (!texture || !demo)
        return texels;
    D3D11_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D11Texture2D* staging = nullptr;
    if (FAILED(demo->system.GetDevice()->CreateTexture2D(&desc, nullptr, &staging)))
        return texels;
    ID3D11DeviceContext* context = demo->system.GetContext();
    context->CopyResource(staging, texture);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped)))
    {
        texels.resize(size_t(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            memcpy(&texels[size_t(y) * desc.Width], static_cast<const uint8_t*>(mapped.pData) + size_t(y) * mapped.RowPitch,
                   desc.Width);
        context->Unmap(staging, 0);
    }
    staging->Release();
    return texels;
}

class FontTest : public DemoTest
{
protected:
    Font* LoadFont(const char* path, uint32_t edge = FontAtlas::AtlasEdge)
    {
        font = new Font(graph.get());
        font->atlasEdge = edge;
        if (!font->Load(path))
        {
            delete font;
            font = nullptr;
        }
        return font;
    }

    void TearDown() override
    {
        delete font;
        graph.reset();
    }

    Font* font = nullptr;
};

TEST_F(FontTest, DejaVuSansBakesIntoTheAtlasWithItsMetrics)
{
    const std::string file = DejaVuSans();
    ASSERT_GT(file.size(), 100000u) << "DejaVu Sans (fonts-dejavu-core) is missing";
    Archive().entries["fonts/DejaVuSans.ttf"] = file;
    ASSERT_NE(LoadFont("fonts/DejaVuSans.ttf"), nullptr) << ::testing::PrintToString(Lines(3));
    EXPECT_TRUE(Lines(2).empty());

    {
        Brivet::Base::StaticString<64> type;
        font->GetTypeName(type);
        EXPECT_STREQ(type.GetText(), "Font");
    }
    // The atlas: 1024 x 1024 single-channel texels.
    D3D11_TEXTURE2D_DESC desc = {};
    ASSERT_NE(font->atlas.GetTexture(), nullptr);
    font->atlas.GetTexture()->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Height, 1024u);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_R8_UNORM);
    EXPECT_EQ(desc.Usage, D3D11_USAGE_DEFAULT);
    EXPECT_NE(font->atlas.GetShaderResourceView(), nullptr);
    EXPECT_EQ(font->GetMemorySize(), 1024u * 1024u);

    // Records: "A" is record 33, 220 record 95, 252 record 96; nothing for other bytes.
    EXPECT_EQ(font->GetGlyph('A'), &font->glyphs[33]);
    EXPECT_EQ(font->GetGlyph(220), &font->glyphs[95]);
    EXPECT_EQ(font->GetGlyph(252), &font->glyphs[96]);
    EXPECT_EQ(font->GetGlyph(127), nullptr);
    EXPECT_EQ(font->GetGlyph(0xE9), nullptr);

    // DejaVu at 128 pixels: 2384 units high (ascent 1901, descent 483); "A" advances 1401
    // units and rises 1493 from the base line; "Ü" is a "U" with dots above it.
    const float scale = 128.0f / 2384.0f;
    const stbtt_packedchar& a = *font->GetGlyph('A');
    EXPECT_NEAR(a.xadvance, 1401 * scale, 0.01f);
    EXPECT_NEAR(a.yoff, -1493 * scale, 1.0f);
    EXPECT_NEAR(a.yoff2, 0.0f, 1.0f);
    const stbtt_packedchar& u = *font->GetGlyph('U');
    const stbtt_packedchar& umlaut = *font->GetGlyph(220);
    EXPECT_EQ(umlaut.xadvance, u.xadvance);
    EXPECT_LT(umlaut.yoff, u.yoff - 10.0f);
    EXPECT_NEAR(umlaut.yoff2, u.yoff2, 1.0f);

    // The texture holds the baked coverage: "A" lit inside its box, the space's box empty,
    // and nothing between the boxes along "A"'s right edge.
    const std::vector<uint8_t> texels = ReadCoverage(font->atlas.GetTexture());
    ASSERT_EQ(texels.size(), 1024u * 1024u);
    uint32_t lit = 0;
    for (uint32_t y = a.y0; y < a.y1; ++y)
        for (uint32_t x = a.x0; x < a.x1; ++x)
            lit += texels[y * 1024 + x] > 128 ? 1 : 0;
    EXPECT_GT(lit, 500u);
    if (a.x1 < 1024)
    {
        for (uint32_t y = a.y0; y < a.y1; ++y)
            EXPECT_EQ(texels[y * 1024 + a.x1], 0) << "padding right of A, row " << y;
    }
}

TEST_F(FontTest, FactoryLoadsFontFilesOnly)
{
    Brivet::Assets::Resource::FactoryInfo info;
    ASSERT_TRUE(FontFactory::instance.GetInfo(info));
    EXPECT_STREQ(info.name.GetText(), "Font");
    EXPECT_FALSE(info.dynamic);
    ASSERT_EQ(info.extensions.GetCount(), 2u);
    EXPECT_STREQ(info.extensions[0].GetText(), "ttf");
    EXPECT_STREQ(info.extensions[1].GetText(), "otf");
    EXPECT_EQ(FontFactory::instance.CreateDynamic(graph.get(), nullptr), nullptr);
    Font font(graph.get());
    EXPECT_FALSE(font.CreateDynamic(nullptr));

    // A font that is not in the archive fails without a line of its own.
    EXPECT_EQ(FontFactory::instance.LoadFromFile(graph.get(), "fonts/absent.ttf", nullptr), nullptr);
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

TEST_F(FontTest, APngIsNoFont)
{
    Archive().entries["fonts/picture.png"] = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06", 26) +
                                             std::string(40, '\0');
    EXPECT_EQ(FontFactory::instance.LoadFromFile(graph.get(), "fonts/picture.png", nullptr), nullptr);
    EXPECT_EQ(Lines(3), std::vector<std::string>{"[font] 'fonts/picture.png' is not a TrueType or OpenType font"});
}

TEST_F(FontTest, GlyphsThatDoNotFitFailTheLoad)
{
    Archive().entries["fonts/DejaVuSans.ttf"] = DejaVuSans();
    EXPECT_EQ(LoadFont("fonts/DejaVuSans.ttf", 256), nullptr);
    EXPECT_EQ(Lines(3), std::vector<std::string>{"[font] stbtt_PackFontRange failed: 0"});
}
} // namespace
