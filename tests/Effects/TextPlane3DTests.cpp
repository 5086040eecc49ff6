// TextPlane3D on a real device with DejaVu Sans (fonts-dejavu-core): the glyphs' coverage
// inside the boxes the layout predicts, "TextStart" and "TextEnd" picking whole glyphs,
// a layout only when the text changes (letter case included), texts longer than the buffer,
// bytes without a glyph, and what is drawn without its inputs or its vertex buffer.
#include "EffectsFixture.h"
#include "Render3DFixture.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/SafeRelease.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Effects/TextLayout.h"
#include "repository/Effects/TextPlane3D.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/Font.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/GBufferFactory.h"
#include "repository/Resources/Texture.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Base::StaticString;
using Brivet::Base::String;

namespace
{
// The output shows font pixels -16 to 496 across and -256 to 256 up: 8 a texel.
constexpr float Left = -16.0f, Right = 496.0f, Bottom = -256.0f, Top = 256.0f;

const std::string TextShader =
    "/*\n<metadata><sampler name=\"smp\" filter=\"POINT\"/><passes><pass name=\"p0\" vs=\"vs_main\" ps=\"ps_main\">"
    "<rasterizer cullMode=\"none\"/><depth read=\"false\" write=\"false\"/></pass></passes></metadata>\n*/\n"
    "cbuffer constants { float4x4 matView; float4x4 matProjection; float4 v4CameraPosition; };\n"
    "Texture2D texFont; SamplerState smp;\n"
    "struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };\n"
    "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out;\n"
    "  Out.Pos = mul(matProjection, mul(matView, float4(In.Pos, 1))) + 0 * v4CameraPosition; Out.Tex = In.Tex;\n"
    "  return Out; }\n"
    "float4 ps_main(VS_OUTPUT In) : SV_TARGET { float c = texFont.Sample(smp, In.Tex).r; return float4(c, c, c, 1); }\n";

std::string DejaVuSans()
{
    const char* path = getenv("BRIVET_FONT_FILE");
    std::ifstream file(path ? path : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

struct DestroyGBuffer
{
    void operator()(GBuffer* gbuffer) const { GBufferFactory::instance.Destroy(gbuffer); }
};

struct Box
{
    int x0, y0, x1, y1; // output texels, y from the top, end exclusive
};

struct Rig
{
    std::unique_ptr<Brivet::Compositing::Graph> graph;
    TextPlane3D* text = nullptr;
    std::unique_ptr<GBuffer, DestroyGBuffer> gbuffer;

    Texture* Output() const { return static_cast<Texture*>(text->GetOutput()); }

    void Set(const char* value) const { text->text->SetValue(0.0f, String(value), 0.0f); }
    void Range(float start, float end) const
    {
        text->textStart->SetValue(0.0f, start, 0.0f);
        text->textEnd->SetValue(0.0f, end, 0.0f);
    }

    std::vector<uint32_t> Draw(int64_t* vertices = nullptr) const
    {
        Output()->AcquireTarget();
        Output()->Invalidate();
        const int64_t drawn = VerticesDrawn([&] { text->Render(Brivet::RenderContext::ForTime(0.0f)); });
        if (vertices)
            *vertices = drawn;
        std::vector<uint32_t> pixels = ReadTexture(Output()->GetTexture());
        Output()->ReleaseTarget();
        return pixels;
    }

    // The output boxes of the glyphs of a text as the layout places them.
    std::vector<Box> Boxes(const char* value) const
    {
        std::vector<TextLayout::Vertex> vertices(TextLayout::MaxGlyphs * TextLayout::VerticesPerGlyph);
        const uint32_t count =
            TextLayout::LayOut(value, text->font->glyphs, text->font->atlasEdge, 1.0f, vertices.data(), nullptr);
        std::vector<Box> boxes;
        for (uint32_t g = 0; g < count; ++g)
        {
            const TextLayout::Vertex& a = vertices[g * 6];
            const TextLayout::Vertex& b = vertices[g * 6 + 4];
            auto column = [](float x) { return int((x - Left) / (Right - Left) * Width); };
            auto row = [](float y) { return int((Top - y) / (Top - Bottom) * Height); };
            boxes.push_back({column(a.x), row(a.y), column(b.x) + 1, row(b.y) + 1});
        }
        return boxes;
    }
};

Rig LoadRig()
{
    Archive().entries["text/text.fx"] = TextShader;
    static const std::string font = DejaVuSans();
    Archive().entries["fonts/DejaVuSans.ttf"] = font;
    Rig rig;
    rig.graph = LoadGraph("<graph name=\"text\">"
                          "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"text/text.fx\"/></node>"
                          "<node id=\"2\" type=\"resource\"><file type=\"Font\" path=\"fonts/DejaVuSans.ttf\"/></node>"
                          "<node id=\"10\" type=\"effect\" name=\"text\"><effect type=\"TextPlane3D\"/></node>"
                          "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
                          "<connection source=\"1\" target=\"10\" slot=\"Effect\"/>"
                          "<connection source=\"2\" target=\"10\" slot=\"Font\"/>"
                          "<connection source=\"10\" target=\"999\"/></graph>");
    if (rig.graph)
        rig.text = static_cast<TextPlane3D*>(EffectOf(*rig.graph, 10));
    if (!rig.text || !rig.text->font || !rig.text->effect)
    {
        ADD_FAILURE() << "no text effect with its font and shader";
        rig.graph.reset();
        rig.text = nullptr;
        return rig;
    }
    Brivet::Utility::XML::Document document;
    EXPECT_TRUE(document.Load("<resource><gbuffer><layer name=\"texAlbedo\" format=\"R8G8B8A8_UNORM\"/>"
                              "</gbuffer></resource>"));
    const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
    rig.gbuffer.reset(static_cast<GBuffer*>(GBufferFactory::instance.CreateDynamic(rig.graph.get(), &element)));
    if (!rig.gbuffer)
        return rig;
    GBuffer& g = *rig.gbuffer;
    g.AcquireTarget();
    g.camera = CameraAt(0.0f, 0.0f, 0.0f);
    D3DXMatrixIdentity(&g.camera.view);
    D3DXMatrixOrthoOffCenterLH(&g.camera.projection, Left, Right, Bottom, Top, -1.0f, 1.0f);
    rig.text->SetInput(StaticString<64>("GBuffer"), rig.gbuffer.get());
    rig.text->OnInputsChanged();
    return rig;
}

// Texels lit (red above half) inside and outside the boxes (each widened by one texel).
struct Lit
{
    std::vector<int> inside; // per box
    int outside = 0;
};

Lit Count(const std::vector<uint32_t>& pixels, const std::vector<Box>& boxes)
{
    Lit lit;
    lit.inside.assign(boxes.size(), 0);
    for (int y = 0; y < int(Height); ++y)
    {
        for (int x = 0; x < int(Width); ++x)
        {
            if ((pixels[y * Width + x] & 0xFF) <= 128)
                continue;
            bool in = false;
            for (size_t b = 0; b < boxes.size(); ++b)
            {
                const Box& box = boxes[b];
                if (x >= box.x0 - 1 && x <= box.x1 && y >= box.y0 - 1 && y <= box.y1)
                {
                    ++lit.inside[b];
                    in = true;
                }
            }
            lit.outside += in ? 0 : 1;
        }
    }
    return lit;
}

class TextPlane3DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
    }
};

TEST_F(TextPlane3DTest, GlyphsCoverTheBoxesTheLayoutPredicts)
{
    Rig rig = LoadRig();
    ASSERT_NE(rig.gbuffer, nullptr);
    TextPlane3D& t = *rig.text;

    // Declarations: the four parameters, then the three inputs.
    std::vector<std::string> parameters, inputs;
    for (uint32_t i = 0; i < t.parameters.GetCount(); ++i)
        parameters.push_back(t.parameters.GetEntry(i).key.GetText());
    for (uint32_t i = 0; i < t.inputs.GetCount(); ++i)
        inputs.push_back(t.inputs.GetEntry(i).key.GetText());
    EXPECT_EQ(parameters, (std::vector<std::string>{"Text", "LineHeight", "TextStart", "TextEnd"}));
    EXPECT_EQ(inputs, (std::vector<std::string>{"GBuffer", "Effect", "Font"}));
    EXPECT_TRUE(t.lineHeight->GetNotifyOnChange());
    EXPECT_EQ(t.lineHeight->GetValue(0.0f), 1.0f);
    EXPECT_EQ(t.textEnd->GetValue(0.0f), 1.0f);
    EXPECT_STREQ(t.outputTypeName.GetText(), "texture");
    EXPECT_NE(t.vertexBuffer, nullptr);
    EXPECT_NE(t.inputLayout, nullptr);

    // Two lines: the second starts 128 font pixels lower.
    const char* value = "HIT\nLO";
    rig.Set(value);
    int64_t vertices = 0;
    const std::vector<uint32_t> pixels = rig.Draw(&vertices);
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_EQ(t.glyphCount, 5u);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, 5 * 6);
    }
    const std::vector<Box> boxes = rig.Boxes(value);
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_GT(boxes[3].y0, boxes[0].y1 - 2) << "the second line lies below the first";
    const Lit lit = Count(pixels, boxes);
    for (size_t b = 0; b < boxes.size(); ++b)
        EXPECT_GT(lit.inside[b], 4) << "glyph " << b;
    EXPECT_EQ(lit.outside, 0);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(TextPlane3DTest, StartAndEndPickWholeGlyphs)
{
    Rig rig = LoadRig();
    ASSERT_NE(rig.gbuffer, nullptr);
    // Line breaks and carriage returns take no glyph: four glyphs.
    rig.Set("AB\r\nCD");
    struct Case
    {
        float start, end;
        int first, last;
    };
    for (const Case& c : {Case{0.0f, 0.5f, 0, 2}, Case{0.25f, 0.75f, 1, 3}, Case{0.3f, 0.6f, 1, 2},
                          Case{0.5f, 0.5f, 0, 0}, Case{0.8f, 0.2f, 0, 0}, Case{-1.0f, 2.0f, 0, 4}})
    {
        SCOPED_TRACE(::testing::Message() << c.start << " to " << c.end);
        rig.Range(c.start, c.end);
        int64_t vertices = 0;
        const std::vector<uint32_t> pixels = rig.Draw(&vertices);
        if (vertices >= 0)
        {
            EXPECT_EQ(vertices, 6 * (c.last - c.first));
        }
        const std::vector<Box> boxes = rig.Boxes("AB\r\nCD");
        const Lit lit = Count(pixels, boxes);
        for (int g = 0; g < 4; ++g)
            EXPECT_EQ(lit.inside[g] > 0, g >= c.first && g < c.last) << "glyph " << g;
    }
    rig.gbuffer->ReleaseTarget();
}

TEST_F(TextPlane3DTest, ALetterCaseChangeIsLaidOutAgain)
{
    Rig rig = LoadRig();
    ASSERT_NE(rig.gbuffer, nullptr);
    rig.Set("ace");
    const std::vector<uint32_t> lower = rig.Draw();
    EXPECT_STREQ(rig.text->laidOut.GetText(), "ace");
    rig.Set("ACE");
    const std::vector<uint32_t> upper = rig.Draw();
    EXPECT_STREQ(rig.text->laidOut.GetText(), "ACE");
    EXPECT_NE(lower, upper);
    EXPECT_EQ(Count(upper, rig.Boxes("ACE")).outside, 0);
    // Capitals stand higher than small letters.
    EXPECT_LT(rig.Boxes("ACE")[0].y0, rig.Boxes("ace")[0].y0);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(TextPlane3DTest, LongTextsStopAtTheBufferAndBytesWithoutAGlyphAreSkipped)
{
    Rig rig = LoadRig();
    ASSERT_NE(rig.gbuffer, nullptr);
    rig.Set(std::string(1200, 'x').c_str());
    int64_t vertices = 0;
    rig.Draw(&vertices);
    EXPECT_EQ(rig.text->glyphCount, TextLayout::MaxGlyphs);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, int64_t(TextLayout::MaxGlyphs) * 6);
    }
    EXPECT_EQ(LogLinesContaining("[TextPlane3D]").size(), 1u);
    // Drawn again, the text is not laid out again: no second warning.
    rig.Draw();
    EXPECT_EQ(LogLinesContaining("[TextPlane3D]").size(), 1u);

    // UTF-8 "Ü", a tab and 127 take no glyph; Latin-1 "Ü" (0xDC) does.
    rig.Set("A\xC3\x9C\t\x7F" "B\xDC");
    rig.Draw();
    EXPECT_EQ(rig.text->glyphCount, 3u);
    rig.gbuffer->ReleaseTarget();
}

TEST_F(TextPlane3DTest, NothingIsDrawnWithoutItsInputsOrItsBuffer)
{
    Rig rig = LoadRig();
    ASSERT_NE(rig.gbuffer, nullptr);
    rig.Set("HI");
    int64_t vertices = 0;
    rig.Draw(&vertices);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, 12);
    }

    // Without a G-buffer the render stops.
    rig.text->SetInput(StaticString<64>("GBuffer"), nullptr);
    rig.text->OnInputsChanged();
    std::vector<uint32_t> pixels = rig.Draw(&vertices);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, 0);
    }
    EXPECT_EQ(Count(pixels, {}).outside, 0);
    rig.text->SetInput(StaticString<64>("GBuffer"), rig.gbuffer.get());
    rig.text->OnInputsChanged();

    // Without the vertex buffer (its creation failed) a new text is not laid out: nothing
    // is mapped and nothing is drawn.
    Brivet::Utility::SafeRelease(rig.text->vertexBuffer);
    rig.text->glyphCount = 0;
    rig.Set("LO");
    pixels = rig.Draw(&vertices);
    if (vertices >= 0)
    {
        EXPECT_EQ(vertices, 0);
    }
    EXPECT_EQ(rig.text->glyphCount, 0u);
    EXPECT_STREQ(rig.text->laidOut.GetText(), "LO");
    rig.gbuffer->ReleaseTarget();
}
} // namespace
