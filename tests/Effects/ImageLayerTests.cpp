// Image files of the archive reach a Layer2D shader: a PNG decoded as sRGB and as linear,
// an uncompressed DDS, a BC1 DDS and a cube DDS bound as texture inputs, each drawn into
// a column of the output and read back from the back buffer.
#include "EffectsFixture.h"

#include "DdsBuilder.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

using namespace EffectsTest;

namespace
{
// An 8-bit sRGB value decoded to linear light, as an 8-bit UNORM target stores it.
uint32_t Linear(uint32_t srgb)
{
    const double c = srgb / 255.0;
    const double linear = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    return (uint32_t)std::lround(linear * 255.0);
}

// A DDS of one colour: 4 × 4 R8G8B8A8, or six such faces.
std::string SolidDds(const std::vector<uint32_t>& faces)
{
    std::string pixels;
    for (uint32_t colour : faces)
        for (int i = 0; i < 16; ++i)
            pixels.append(reinterpret_cast<const char*>(&colour), 4);
    DdsSpec spec;
    if (faces.size() == 6)
        spec.Cube();
    return BuildDds(spec, pixels);
}

std::string FileNode(int id, const char* path, bool srgb = true)
{
    return "<node id=\"" + std::to_string(id) + "\" type=\"resource\" name=\"file" + std::to_string(id) +
           "\"><file type=\"texture\" path=\"" + path + "\"/>" + (srgb ? "" : "<loadSettings srgb=\"false\"/>") +
           "</node>";
}

std::string Connection(int source, int target, const char* slot)
{
    return "<connection source=\"" + std::to_string(source) + "\" target=\"" + std::to_string(target) +
           "\" slot=\"" + slot + "\"/>";
}
} // namespace

TEST(ImageLayer, ImageFilesOfTheArchiveReachTheShaderDecodedAsTheirSettingsSay)
{
    ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
    LogCapture::Get().Clear();
    const char* images = getenv("BRIVET_IMAGE_FIXTURES");
    ASSERT_NE(images, nullptr);
    // rgb.png's pixel (1, 1) is (128, 64, 32).
    ASSERT_TRUE(Archive().AddFile("img/srgb.png", std::string(images) + "/rgb.png"));
    ASSERT_TRUE(Archive().AddFile("img/linear.png", std::string(images) + "/rgb.png"));
    Archive().entries["img/plain.dds"] = SolidDds({Rgba(200, 120, 40)});
    // One BC1 block of one 5:6:5 colour (31, 32, 8): every index picks colour 0.
    Archive().entries["img/bc1.dds"] = BuildDds(DdsSpec::FourCC("DXT1"), std::string("\x08\xFC\x08\xFC\0\0\0\0", 8));
    Archive().entries["img/cube.dds"] = SolidDds({Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(0, 0, 255),
                                                  Rgba(255, 255, 0), Rgba(0, 255, 255), Rgba(255, 0, 255)});
    // Five columns; the cube's column shows -Z in its upper half (texture
    // coordinates rise upwards) and +X below. Every texture is sampled
    // and the column picks one (Wine's compiler runs a computed return inside an if wrong).
    Archive().entries["img/tiles.fx"] = LayerShader(
        "<input>texPng</input><input>texPngLinear</input><input>texDds</input><input>texBc1</input>"
        "<input>texCube</input><sampler name=\"smp\" u=\"clamp\" v=\"clamp\" filter=\"POINT\"/>"
        "<passes><pass name=\"main\" vs=\"vs_main\" ps=\"ps_main\"/></passes>",
        "Texture2D texPng; Texture2D texPngLinear; Texture2D texDds; Texture2D texBc1; TextureCube texCube;\n"
        "SamplerState smp;\n"
        "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
        "  float4 png = texPng.Sample(smp, float2(0.375, 0.75));\n"
        "  float4 pngLinear = texPngLinear.Sample(smp, float2(0.375, 0.75));\n"
        "  float4 dds = texDds.Sample(smp, float2(0.5, 0.5));\n"
        "  float4 bc1 = texBc1.Sample(smp, float2(0.5, 0.5));\n"
        "  float4 right = texCube.Sample(smp, float3(1, 0, 0));\n"
        "  float4 back = texCube.Sample(smp, float3(0, 0, -1));\n"
        "  float4 c = png;\n"
        "  if (In.Tex.x > 0.2) c = pngLinear;\n"
        "  if (In.Tex.x > 0.4) c = dds;\n"
        "  if (In.Tex.x > 0.6) c = bc1;\n"
        "  if (In.Tex.x > 0.8) c = right;\n"
        "  if (In.Tex.x > 0.8 && In.Tex.y > 0.5) c = back;\n"
        "  return float4(c.rgb, 1); }");

    const std::string graphXml =
        "<graph name=\"images\">" + FileNode(1, "img/srgb.png") + FileNode(2, "img/linear.png", false) +
        FileNode(3, "img/plain.dds") + FileNode(4, "img/bc1.dds", false) + FileNode(5, "img/cube.dds", false) +
        "<node id=\"9\" type=\"resource\" name=\"shader\"><file type=\"effect\" path=\"img/tiles.fx\"/></node>"
        "<node id=\"101\" type=\"effect\" name=\"tiles\"><effect type=\"Layer2D\"/></node>"
        "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>" +
        Connection(9, 101, "Shader") + Connection(1, 101, "texPng") + Connection(2, 101, "texPngLinear") +
        Connection(3, 101, "texDds") + Connection(4, 101, "texBc1") + Connection(5, 101, "texCube") +
        "<connection source=\"101\" target=\"999\"/></graph>";
    auto graph = LoadGraph(graphXml);
    ASSERT_NE(graph, nullptr);
    ClearBackBuffer(Rgba(1, 2, 3));
    Render(*graph, 0.0f);
    const std::vector<uint32_t> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);

    struct Probe
    {
        const char* what;
        uint32_t x;
        uint32_t y;
        uint32_t colour;
    };
    const Probe probes[] = {
        {"PNG, sRGB (the default)", 6, 32, Rgba(Linear(128), Linear(64), Linear(32))},
        {"PNG, srgb=\"false\"", 19, 32, Rgba(128, 64, 32)},
        {"uncompressed DDS, sRGB", 32, 32, Rgba(Linear(200), Linear(120), Linear(40))},
        {"BC1 DDS, linear", 45, 32, Rgba(255, 130, 66)},
        {"cube DDS, +X face", 58, 48, Rgba(255, 0, 0)},
        {"cube DDS, -Z face", 58, 16, Rgba(255, 0, 255)},
    };
    for (const Probe& p : probes)
    {
        const uint32_t pixel = pixels[p.y * Width + p.x];
        EXPECT_TRUE(SameColour(pixel, p.colour)) << p.what << ": " << ColourText(pixel) << ", expected "
                                                 << ColourText(p.colour);
    }
    EXPECT_TRUE(LogCapture::Get().Lines(Brivet::Utility::Log::LevelError).empty());
}
