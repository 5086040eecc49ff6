// The image loaders' portable rules: legacy pixel formats to DXGI, surface sizes, DDS
// headers well-formed and damaged (truncated, lying sizes, huge counts, zero sizes,
// unknown formats), the subresource layout checked against the data, and fitted sizes.
#include "repository/Resources/ImageLayout.h"

#include "DdsBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace ImageTextureLoader;

namespace
{
DdsTexture Parse(const std::string& file, int32_t expected = Result::Ok)
{
    DdsTexture texture = {};
    EXPECT_EQ(ReadDdsHeader(file.data(), file.size(), &texture), expected);
    return texture;
}

std::vector<DdsSubresource> Layout(const std::string& file, uint32_t maxSize, DdsLevels* levels,
                                   int32_t expected = Result::Ok)
{
    const DdsTexture texture = Parse(file);
    std::vector<DdsSubresource> records((size_t)texture.arraySize * texture.mipCount);
    *levels = {};
    EXPECT_EQ(FillDdsSubresources(texture, maxSize, records.data(), levels), expected);
    if (expected == Result::Ok)
        records.resize((size_t)texture.arraySize * levels->count);
    return records;
}
} // namespace

TEST(ImageLayout, LegacyPixelFormatsMapToDxgi)
{
    constexpr uint32_t Rgb = Dds::PixelRgb | 0x1; // with the alpha-pixels bit files carry
    constexpr uint32_t Lum = Dds::PixelLuminance;
    constexpr uint32_t Bump = Dds::PixelBump;
    struct Case
    {
        DdsPixelFormat format;
        uint32_t dxgi;
    };
    auto rgb = [](uint32_t flags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
        return DdsPixelFormat{32, flags, 0, bits, r, g, b, a};
    };
    auto fourCC = [](uint32_t code) { return DdsPixelFormat{32, Dds::PixelFourCC, code, 0, 0, 0, 0, 0}; };
    using Dds::FourCC;
    const Case cases[] = {
        {rgb(Rgb, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), 28},
        {rgb(Rgb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), 87},
        {rgb(Dds::PixelRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0), 88},
        {rgb(Rgb, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), 24},
        {rgb(Rgb, 32, 0xFFFF, 0xFFFF0000, 0, 0), 35},
        {rgb(Rgb, 32, 0xFFFFFFFF, 0, 0, 0), 41},
        {rgb(Rgb, 16, 0x7C00, 0x3E0, 0x1F, 0x8000), 86},
        {rgb(Rgb, 16, 0xF800, 0x7E0, 0x1F, 0), 85},
        {rgb(Rgb, 16, 0xF00, 0xF0, 0xF, 0xF000), 115},
        {rgb(Rgb, 24, 0xFF0000, 0xFF00, 0xFF, 0), 0}, // 24-bit RGB: none
        {rgb(Rgb, 32, 0xFF, 0xFF00, 0xFF0000, 0), 0}, // R8G8B8X8: none
        {rgb(Lum, 8, 0xFF, 0, 0, 0), 61},
        {rgb(Lum, 8, 0xFF, 0, 0, 0xFF00), 49},
        {rgb(Lum, 16, 0xFFFF, 0, 0, 0), 56},
        {rgb(Lum, 16, 0xFF, 0, 0, 0xFF00), 49},
        {rgb(Dds::PixelAlpha, 8, 0, 0, 0, 0xFF), 65},
        {rgb(Dds::PixelAlpha, 16, 0, 0, 0, 0xFFFF), 0},
        {rgb(Bump, 16, 0xFF, 0xFF00, 0, 0), 51},
        {rgb(Bump, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), 31},
        {rgb(Bump, 32, 0xFFFF, 0xFFFF0000, 0, 0), 37},
        {fourCC(FourCC('D', 'X', 'T', '1')), 71},
        {fourCC(FourCC('D', 'X', 'T', '2')), 74},
        {fourCC(FourCC('D', 'X', 'T', '3')), 74},
        {fourCC(FourCC('D', 'X', 'T', '4')), 77},
        {fourCC(FourCC('D', 'X', 'T', '5')), 77},
        {fourCC(FourCC('A', 'T', 'I', '1')), 80},
        {fourCC(FourCC('B', 'C', '4', 'U')), 80},
        {fourCC(FourCC('B', 'C', '4', 'S')), 81},
        {fourCC(FourCC('A', 'T', 'I', '2')), 83},
        {fourCC(FourCC('B', 'C', '5', 'U')), 83},
        {fourCC(FourCC('B', 'C', '5', 'S')), 84},
        {fourCC(FourCC('R', 'G', 'B', 'G')), 68},
        {fourCC(FourCC('G', 'R', 'G', 'B')), 69},
        {fourCC(FourCC('Y', 'U', 'Y', '2')), 107},
        {fourCC(36), 11},
        {fourCC(110), 13},
        {fourCC(111), 54},
        {fourCC(112), 34},
        {fourCC(113), 10},
        {fourCC(114), 41},
        {fourCC(115), 16},
        {fourCC(116), 2},
        {fourCC(FourCC('D', 'X', 'T', '6')), 0},
        // The groups are tried in order; the first whose flag is set decides.
        {DdsPixelFormat{32, Dds::PixelRgb | Dds::PixelFourCC, FourCC('D', 'X', 'T', '1'), 24, 0, 0, 0, 0}, 0},
        {DdsPixelFormat{32, Lum | Dds::PixelAlpha, 0, 8, 0xFF, 0, 0, 0}, 61},
        {rgb(0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), 0}, // no flag at all
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(DdsPixelFormatToDxgi(c.format), c.dxgi)
            << "flags " << std::hex << c.format.flags << " bits " << std::dec << c.format.rgbBitCount << " fourCC "
            << c.format.fourCC;
    }
}

TEST(ImageLayout, BitsPerPixelAndSrgbVariants)
{
    const std::pair<uint32_t, uint32_t> bits[] = {
        {0, 0},    {2, 128},  {6, 96},   {10, 64},  {20, 64},  {24, 32},  {28, 32},   {49, 16},  {54, 16},
        {61, 8},   {65, 8},   {66, 1},   {67, 32},  {68, 32},  {71, 4},   {74, 8},    {77, 8},   {80, 4},
        {83, 8},   {85, 16},  {87, 32},  {93, 32},  {95, 8},   {98, 8},   {100, 32},  {102, 64}, {103, 12},
        {104, 24}, {107, 32}, {108, 64}, {110, 12}, {113, 8},  {114, 16}, {115, 16},  {116, 0},  {130, 0},
        {0xFFFFFFFF, 0},
    };
    for (const auto& [format, expected] : bits)
        EXPECT_EQ(DxgiBitsPerPixel(format), expected) << "format " << format;

    const std::pair<uint32_t, uint32_t> srgb[] = {
        {28, 29}, {71, 72}, {74, 75}, {77, 78}, {87, 91}, {88, 93}, {98, 99},
        {29, 29}, {2, 2},   {80, 80}, {61, 61}, {24, 24}, {0, 0},
    };
    for (const auto& [format, expected] : srgb)
        EXPECT_EQ(ToSrgbFormat(format), expected) << "format " << format;
}

TEST(ImageLayout, SurfacePitchesByFormat)
{
    struct Case
    {
        uint32_t format;
        uint32_t width;
        uint32_t height;
        uint64_t row;
        uint64_t rows;
        uint64_t surface;
    };
    const Case cases[] = {
        {28, 5, 3, 20, 3, 60},        // 32 bits per pixel
        {85, 3, 2, 6, 2, 12},         // 16 bits
        {66, 9, 2, 2, 2, 4},          // R1: bits rounded up to bytes
        {71, 1, 1, 8, 1, 8},          // BC1: one block at least
        {71, 5, 5, 16, 2, 32},        // BC1: blocks round up
        {80, 8, 4, 16, 1, 16},        // BC4 like BC1
        {77, 4, 4, 16, 1, 16},        // BC3: 16 bytes a block
        {98, 13, 9, 64, 3, 192},      // BC7
        {83, 0, 0, 0, 0, 0},          // zero sizes give nothing
        {68, 3, 2, 8, 2, 16},         // R8G8_B8G8: pairs of pixels
        {107, 4, 1, 8, 1, 8},         // YUY2
        {108, 3, 1, 16, 1, 16},       // Y210
        {110, 5, 2, 8, 4, 32},        // NV11
        {103, 4, 3, 4, 5, 18},        // NV12: s = 12, s + s/2
        {104, 4, 3, 8, 5, 36},        // P010
        {2, 16384, 16384, 262144, 16384, 4294967296ull}, // above 4 GiB: 64-bit
    };
    for (const Case& c : cases)
    {
        uint64_t row = 0;
        uint64_t rows = 0;
        uint64_t surface = 0;
        ASSERT_EQ(GetSurfacePitch(c.width, c.height, c.format, &row, &rows, &surface), Result::Ok) << c.format;
        EXPECT_EQ(row, c.row) << "format " << c.format << " " << c.width << " x " << c.height;
        EXPECT_EQ(rows, c.rows) << "format " << c.format;
        EXPECT_EQ(surface, c.surface) << "format " << c.format;
    }
    uint64_t row = 0;
    EXPECT_EQ(GetSurfacePitch(4, 4, 0, &row, nullptr, nullptr), Result::InvalidArgument);
    EXPECT_EQ(GetSurfacePitch(4, 4, 200, &row, nullptr, nullptr), Result::InvalidArgument);
}

TEST(ImageLayout, WellFormedHeadersDescribeTheirTextures)
{
    struct Case
    {
        const char* name;
        std::string file;
        DdsTexture expected;
    };
    const std::string none;
    const Case cases[] = {
        {"legacy RGBA, level count 0", BuildDds(DdsSpec().Size(8, 2).Levels(0), none),
         {Dimension2D, 8, 2, 1, 1, 1, 28, false, 128, 0}},
        {"legacy DXT5 with levels", BuildDds(DdsSpec::FourCC("DXT5").Size(16, 16).Levels(5), std::string(10, 'x')),
         {Dimension2D, 16, 16, 1, 5, 1, 77, false, 128, 10}},
        {"legacy cube", BuildDds(DdsSpec().Size(4, 4).Cube(), none), {Dimension2D, 4, 4, 1, 1, 6, 28, true, 128, 0}},
        {"legacy volume", BuildDds(DdsSpec().Size(4, 2).Volume(3), none), {Dimension3D, 4, 2, 3, 1, 1, 28, false, 128, 0}},
        {"legacy 2D ignores the depth field",
         [] { DdsSpec s; s.depth = 7; return BuildDds(s, ""); }(), {Dimension2D, 4, 4, 1, 1, 1, 28, false, 128, 0}},
        {"DX10 2D array", BuildDds(DdsSpec::Dx10(98, Dimension2D, 3).Size(8, 8), none),
         {Dimension2D, 8, 8, 1, 1, 3, 98, false, 148, 0}},
        {"DX10 cube array", BuildDds(DdsSpec::Dx10(10, Dimension2D, 2).Cube(), none),
         {Dimension2D, 4, 4, 1, 1, 12, 10, true, 148, 0}},
        {"DX10 1D array, height flag off",
         [] { DdsSpec s = DdsSpec::Dx10(28, Dimension1D, 4).Size(64, 9); s.flags &= ~Dds::FlagHeight; return BuildDds(s, ""); }(),
         {Dimension1D, 64, 1, 1, 1, 4, 28, false, 148, 0}},
        {"DX10 volume", BuildDds(DdsSpec::Dx10(2).Volume(2).Levels(2), std::string(3, 'x')),
         {Dimension3D, 4, 4, 2, 2, 1, 2, false, 148, 3}},
        {"largest 2D", BuildDds(DdsSpec::Dx10(28, Dimension2D, 2048).Size(16384, 16384).Levels(15), none),
         {Dimension2D, 16384, 16384, 1, 15, 2048, 28, false, 148, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const DdsTexture t = Parse(c.file);
        EXPECT_EQ(t.dimension, c.expected.dimension);
        EXPECT_EQ(t.width, c.expected.width);
        EXPECT_EQ(t.height, c.expected.height);
        EXPECT_EQ(t.depth, c.expected.depth);
        EXPECT_EQ(t.mipCount, c.expected.mipCount);
        EXPECT_EQ(t.arraySize, c.expected.arraySize);
        EXPECT_EQ(t.format, c.expected.format);
        EXPECT_EQ(t.cube, c.expected.cube);
        EXPECT_EQ(t.dataOffset, c.expected.dataOffset);
        EXPECT_EQ(t.dataSize, c.expected.dataSize);
    }
}

TEST(ImageLayout, DamagedHeadersAreRefused)
{
    const std::string good = BuildDds(DdsSpec(), std::string(64, 'p'));
    auto patched = [&](size_t offset, uint32_t value, std::string file = "") {
        if (file.empty())
            file = good;
        memcpy(&file[offset], &value, 4);
        return file;
    };
    const std::string dx10 = BuildDds(DdsSpec::Dx10(28), std::string(64, 'p'));
    DdsSpec noHeightFlag1D = DdsSpec::Dx10(28, Dimension1D).Size(4, 2);
    DdsSpec volumeWithoutFlag = DdsSpec::Dx10(28, Dimension3D);
    volumeWithoutFlag.depth = 2;
    DdsSpec fiveFaces = DdsSpec().Cube();
    fiveFaces.caps2 &= ~0x8000u;

    struct Case
    {
        const char* name;
        std::string file;
        int32_t result;
    };
    const Case cases[] = {
        {"empty", "", Result::Fail},
        {"the magic alone", "DDS ", Result::Fail},
        {"one byte short of the header", good.substr(0, 127), Result::Fail},
        {"wrong magic", "DDZ" + good.substr(3), Result::Fail},
        {"header size 123", patched(4, 123), Result::Fail},
        {"pixel-format size 0", patched(76, 0), Result::Fail},
        {"DX10 without its extended header", dx10.substr(0, 140), Result::Fail},
        {"DX10 array size 0", patched(140, 0, dx10), Result::InvalidData},
        {"DX10 unknown format 200", patched(128, 200, dx10), Result::NotSupported},
        {"DX10 format 0", patched(128, 0, dx10), Result::NotSupported},
        {"DX10 palette format P8", patched(128, 113, dx10), Result::NotSupported},
        {"DX10 format A8P8", patched(128, 114, dx10), Result::NotSupported},
        {"DX10 dimension 5", patched(132, 5, dx10), Result::NotSupported},
        {"DX10 dimension 0 (buffer)", patched(132, 0, dx10), Result::NotSupported},
        {"DX10 1D taller than 1", BuildDds(noHeightFlag1D, ""), Result::InvalidData},
        {"DX10 3D without the volume flag", BuildDds(volumeWithoutFlag, ""), Result::InvalidData},
        {"DX10 3D array", BuildDds(DdsSpec::Dx10(28, Dimension3D, 2).Volume(2), ""), Result::NotSupported},
        {"legacy 24-bit RGB", BuildDds(DdsSpec::Rgb(0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0), ""), Result::NotSupported},
        {"legacy unknown FourCC", BuildDds(DdsSpec::FourCC("ABCD"), ""), Result::NotSupported},
        {"cube with five faces", BuildDds(fiveFaces, ""), Result::NotSupported},
        {"16 levels", BuildDds(DdsSpec().Levels(16), ""), Result::NotSupported},
        {"huge level count", BuildDds(DdsSpec().Levels(0xFFFFFFFF), ""), Result::NotSupported},
        {"2D wider than 16384", BuildDds(DdsSpec().Size(16385, 1), ""), Result::NotSupported},
        {"2D taller than 16384", BuildDds(DdsSpec().Size(1, 0x80000000u), ""), Result::NotSupported},
        {"2D array of 2049", BuildDds(DdsSpec::Dx10(28, Dimension2D, 2049), ""), Result::NotSupported},
        {"huge array size", BuildDds(DdsSpec::Dx10(28, Dimension2D, 0xFFFFFFFF), ""), Result::NotSupported},
        // 0x2AAAAAAB cubes are 0x100000002 faces: 2 in 32-bit arithmetic.
        {"cube count that wraps in 32 bits", BuildDds(DdsSpec::Dx10(28, Dimension2D, 0x2AAAAAABu).Cube(), ""),
         Result::NotSupported},
        {"342 cubes (2052 faces)", BuildDds(DdsSpec::Dx10(28, Dimension2D, 342).Cube(), ""), Result::NotSupported},
        {"1D wider than 16384", BuildDds(DdsSpec::Dx10(28, Dimension1D).Size(16385, 1), ""), Result::NotSupported},
        {"volume deeper than 2048", BuildDds(DdsSpec().Volume(2049), ""), Result::NotSupported},
        {"volume wider than 2048", BuildDds(DdsSpec().Size(2049, 4).Volume(4), ""), Result::NotSupported},
        {"zero width", BuildDds(DdsSpec().Size(0, 4), ""), Result::InvalidData},
        {"zero height", BuildDds(DdsSpec().Size(4, 0), ""), Result::InvalidData},
        {"zero depth of a volume", BuildDds(DdsSpec().Volume(0), ""), Result::InvalidData},
        {"zero width of a 1D texture", BuildDds(DdsSpec::Dx10(28, Dimension1D).Size(0, 1), ""), Result::InvalidData},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // The file alone on the heap: a read past its end is caught.
        std::vector<char> bytes(c.file.begin(), c.file.end());
        bytes.reserve(1);
        DdsTexture texture = {};
        EXPECT_EQ(ReadDdsHeader(bytes.data(), c.file.size(), &texture), c.result);
    }

    // A size above 4 GiB is refused before anything is read beyond the header.
    DdsTexture texture = {};
    EXPECT_EQ(ReadDdsHeader(good.data(), 0x100000000ull, &texture), Result::Fail);
    EXPECT_EQ(ReadDdsHeader(nullptr, 200, &texture), Result::InvalidArgument);
}

TEST(ImageLayout, SubresourcesLieItemByItemAndLevelByLevel)
{
    DdsLevels levels;
    // 8 × 4 RGBA, three levels: 128, 32 and 8 bytes.
    std::vector<DdsSubresource> records = Layout(BuildDds(DdsSpec().Size(8, 4).Levels(3), std::string(168, 'x')), 0, &levels);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(levels.count, 3u);
    EXPECT_EQ(levels.skipped, 0u);
    EXPECT_EQ(levels.width, 8u);
    EXPECT_EQ(levels.height, 4u);
    const DdsSubresource chain[] = {{0, 32, 128}, {128, 16, 32}, {160, 8, 8}};
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(records[i].offset, chain[i].offset) << i;
        EXPECT_EQ(records[i].rowPitch, chain[i].rowPitch) << i;
        EXPECT_EQ(records[i].slicePitch, chain[i].slicePitch) << i;
    }

    // A BC1 cube of 8 × 8 with two levels: per face 32 + 8 bytes, faces one after another.
    records = Layout(BuildDds(DdsSpec::FourCC("DXT1").Size(8, 8).Levels(2).Cube(), std::string(240, 'x')), 0, &levels);
    ASSERT_EQ(records.size(), 12u);
    for (size_t face = 0; face < 6; ++face)
    {
        EXPECT_EQ(records[face * 2].offset, face * 40) << face;
        EXPECT_EQ(records[face * 2].rowPitch, 16u);
        EXPECT_EQ(records[face * 2 + 1].offset, face * 40 + 32) << face;
        EXPECT_EQ(records[face * 2 + 1].slicePitch, 8u);
    }

    // A 4 × 4 × 4 volume with three levels: every level holds all its depth slices.
    records = Layout(BuildDds(DdsSpec().Volume(4).Levels(3), std::string(256 + 32 + 4, 'x')), 0, &levels);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(levels.depth, 4u);
    EXPECT_EQ(records[1].offset, 256u);
    EXPECT_EQ(records[1].slicePitch, 16u);
    EXPECT_EQ(records[2].offset, 288u);
}

TEST(ImageLayout, LevelsAboveTheSizeLimitAreDropped)
{
    DdsLevels levels;
    // 16 × 8, four levels; at most 4: the two largest are dropped from both items.
    const std::string file = BuildDds(DdsSpec::Dx10(28, Dimension2D, 2).Size(16, 8).Levels(4),
                                      std::string(2 * (512 + 128 + 32 + 8), 'x'));
    std::vector<DdsSubresource> records = Layout(file, 4, &levels);
    EXPECT_EQ(levels.skipped, 2u);
    EXPECT_EQ(levels.count, 2u);
    EXPECT_EQ(levels.width, 4u);
    EXPECT_EQ(levels.height, 2u);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].offset, 640u);
    EXPECT_EQ(records[1].offset, 672u);
    EXPECT_EQ(records[2].offset, 680u + 640u);

    // One level is kept whatever its size; a limit below every level keeps nothing.
    Layout(BuildDds(DdsSpec().Size(64, 64), std::string(64 * 64 * 4, 'x')), 4, &levels);
    EXPECT_EQ(levels.count, 1u);
    Layout(BuildDds(DdsSpec().Size(8, 8).Levels(2), std::string(320, 'x')), 2, &levels, Result::Fail);
}

TEST(ImageLayout, DataThatEndBeforeTheLastSurfaceAreRefused)
{
    struct Case
    {
        const char* name;
        DdsSpec spec;
        size_t bytes;
        int32_t result;
    };
    const Case cases[] = {
        {"RGBA chain, all there", DdsSpec().Size(8, 4).Levels(3), 168, Result::Ok},
        {"RGBA chain, last level one byte short", DdsSpec().Size(8, 4).Levels(3), 167, Result::HandleEof},
        {"cube missing its last face", DdsSpec().Cube(), 5 * 64, Result::HandleEof},
        // A volume of one level must hold every depth slice, not only the first.
        {"one-level volume, one slice of four", DdsSpec().Volume(4), 64, Result::HandleEof},
        {"one-level volume, three slices of four", DdsSpec().Volume(4), 192, Result::HandleEof},
        {"one-level volume, whole", DdsSpec().Volume(4), 256, Result::Ok},
        {"header only", DdsSpec(), 0, Result::HandleEof},
        // Lying sizes: huge extents with a few bytes end at the first surface.
        {"2048 cubed volume, 16 bytes", DdsSpec().Size(2048, 2048).Volume(2048), 16, Result::HandleEof},
        {"2048 items of 15 levels, 16 bytes",
         DdsSpec::Dx10(71, Dimension2D, 2048).Size(16384, 16384).Levels(15), 16, Result::HandleEof},
        // A surface above 4 GiB cannot be described to Direct3D.
        {"4 GiB surface", DdsSpec::Dx10(2).Size(16384, 16384), 16, Result::ArithmeticOverflow},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        DdsLevels levels;
        Layout(BuildDds(c.spec, std::string(c.bytes, 'x')), 0, &levels, c.result);
    }
}

TEST(ImageLayout, SizeLimitsByFeatureLevelAndFittedSizes)
{
    EXPECT_EQ(MaxTexture2DSize(FeatureLevel9_1), 2048u);
    EXPECT_EQ(MaxTexture2DSize(FeatureLevel9_3), 4096u);
    EXPECT_EQ(MaxTexture2DSize(FeatureLevel10_1), 8192u);
    EXPECT_EQ(MaxTexture2DSize(FeatureLevel11_0), 16384u);
    EXPECT_EQ(MaxTexture2DSize(0xC100), 16384u);
    EXPECT_EQ(DdsRetryMaxSize(FeatureLevel9_2, Dimension2D, true), 512u);
    EXPECT_EQ(DdsRetryMaxSize(FeatureLevel9_1, Dimension3D, false), 256u);
    EXPECT_EQ(DdsRetryMaxSize(FeatureLevel9_1, Dimension2D, false), 2048u);
    EXPECT_EQ(DdsRetryMaxSize(FeatureLevel9_3, Dimension2D, true), 4096u);
    EXPECT_EQ(DdsRetryMaxSize(FeatureLevel11_0, Dimension3D, false), 2048u);
    EXPECT_EQ(DdsRetryMaxSize(FeatureLevel11_0, Dimension2D, true), 8192u);

    struct Case
    {
        uint32_t width;
        uint32_t height;
        uint32_t maxSize;
        uint32_t fittedWidth;
        uint32_t fittedHeight;
    };
    const Case cases[] = {
        {20000, 10000, 16384, 16384, 8192},
        {10000, 20000, 16384, 8192, 16384},
        {300, 100, 64, 64, 21},
        {100, 300, 64, 21, 64},
        {500, 500, 64, 64, 64},
        {100000, 1, 4096, 4096, 1}, // never below one pixel
        {1, 100000, 4096, 1, 4096},
        {640, 480, 16384, 640, 480}, // fits: unchanged
        {16384, 16384, 16384, 16384, 16384},
    };
    for (const Case& c : cases)
    {
        uint32_t w = 0;
        uint32_t h = 0;
        FitToMaxSize(c.width, c.height, c.maxSize, &w, &h);
        EXPECT_EQ(w, c.fittedWidth) << c.width << " x " << c.height << " in " << c.maxSize;
        EXPECT_EQ(h, c.fittedHeight) << c.width << " x " << c.height << " in " << c.maxSize;
    }
}

namespace
{
std::string PngHeader(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType)
{
    std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            png += char(value >> shift);
    png += char(depth);
    png += char(colourType);
    png += std::string(7, '\0'); // compression, filter, interlace and a checksum left zero
    return png;
}

std::string JpegHeader(uint32_t width, uint32_t height, uint8_t components)
{
    // Start of image, an application segment, then a baseline frame header.
    std::string jpeg("\xFF\xD8\xFF\xE0\x00\x04\x4A\x46", 8);
    jpeg += std::string("\xFF\xC0\x00\x11\x08", 5);
    jpeg += char(height >> 8);
    jpeg += char(height);
    jpeg += char(width >> 8);
    jpeg += char(width);
    jpeg += char(components);
    return jpeg + std::string(9, '\0');
}
} // namespace

// Decoders may hold a whole image once they open it, so its size is read from the header
// first: a small PNG of 16384 x 16384 16-bit RGBA pixels states 2 GiB and is refused.
TEST(ImageLayout, ImageHeadersStateTheDecodedSize)
{
    std::string bmp = "BM" + std::string(12, '\0') + std::string("\x28\0\0\0", 4);
    for (int32_t value : {20000, -30000})
        for (int shift = 0; shift < 32; shift += 8)
            bmp += char(uint32_t(value) >> shift);
    bmp += std::string(8, '\0');
    const std::string gif = std::string("GIF89a\x10\x27\x20\x4E", 10) + std::string(4, '\0');

    struct Case
    {
        const char* name;
        std::string data;
        bool known;
        uint32_t width, height, bits;
        bool refused;
    };
    const Case cases[] = {
        {"16-bit RGBA PNG", PngHeader(16384, 16384, 16, 6), true, 16384, 16384, 64, true},
        {"8-bit RGBA PNG at the limit", PngHeader(8192, 8192, 8, 6), true, 8192, 8192, 32, false},
        {"8-bit RGB PNG", PngHeader(300, 100, 8, 2), true, 300, 100, 24, false},
        {"1-bit grey PNG", PngHeader(65536, 65536, 1, 0), true, 65536, 65536, 8, true},
        {"palette PNG", PngHeader(10000, 10000, 8, 3), true, 10000, 10000, 32, true},
        {"PNG cut in its header", PngHeader(16384, 16384, 16, 6).substr(0, 20), false, 0, 0, 0, false},
        {"colour JPEG", JpegHeader(65535, 65535, 3), true, 65535, 65535, 24, true},
        {"grey JPEG", JpegHeader(640, 480, 1), true, 640, 480, 8, false},
        {"JPEG without a frame", JpegHeader(640, 480, 3).substr(0, 9), false, 0, 0, 0, false},
        {"bottom-up and top-down BMP", bmp, true, 20000, 30000, 32, true},
        {"GIF", gif, true, 10000, 20000, 32, true},
        {"not an image", std::string(40, 'x'), false, 0, 0, 0, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        uint32_t width = 1, height = 1, bits = 1;
        EXPECT_EQ(PeekImageHeader(reinterpret_cast<const uint8_t*>(c.data.data()), c.data.size(), &width, &height, &bits),
                  c.known);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(bits, c.bits);
        EXPECT_EQ(DecodedBytes(width, height, bits) > MaxDecodedBytes, c.refused);
    }
    EXPECT_EQ(DecodedBytes(3, 2, 12), 10u); // rows rounded up to whole bytes
}
