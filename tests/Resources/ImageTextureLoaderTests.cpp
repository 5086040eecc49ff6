// The image loaders on a real device: DDS files of the listed formats with stored or
// generated mip chains, cube maps, arrays and volumes, read back byte by byte; damaged and
// truncated files; PNG, JPEG and BMP files decoded through WIC to their formats and
// pixels, with and without sRGB, scaled to a size limit.
#include "ResourcesFixture.h"

#include "DdsBuilder.h"
#include "LogCapture.h"
#include "repository/Resources/ImageLayout.h"
#include "repository/Resources/ImageTextureLoader.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

using namespace ResourcesTest;
using namespace ImageTextureLoader;

namespace
{
// What a loader returned, released with the object.
struct Loaded
{
    HRESULT hr = E_FAIL;
    ID3D11Resource* resource = nullptr;
    ID3D11ShaderResourceView* view = nullptr;

    Loaded() = default;
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    Loaded(Loaded&& other) noexcept : hr(other.hr), resource(other.resource), view(other.view)
    {
        other.resource = nullptr;
        other.view = nullptr;
    }
    ~Loaded()
    {
        if (view)
            view->Release();
        if (resource)
            resource->Release();
    }
};

struct Options
{
    UINT bindFlags = D3D11_BIND_SHADER_RESOURCE; // what the texture resource asks for
    UINT miscFlags = 0;
    bool srgb = false;
    size_t maxSize = 0;
    bool context = true;
    bool texture = true;
    bool view = true;
};

Loaded LoadDds(const std::string& file, const Options& options = Options())
{
    Brivet::Demo* demo = SharedDemo();
    Loaded loaded;
    loaded.hr = LoadDdsTextureFromMemory(demo->system.GetDevice(), options.context ? demo->system.GetContext() : nullptr,
                                         reinterpret_cast<const uint8_t*>(file.data()), file.size(), options.maxSize,
                                         D3D11_USAGE_DEFAULT, options.bindFlags, 0, options.miscFlags, options.srgb,
                                         options.texture ? &loaded.resource : nullptr,
                                         options.view ? &loaded.view : nullptr);
    return loaded;
}

Loaded LoadWic(const std::string& file, uint32_t flags, size_t maxSize = 0)
{
    Brivet::Demo* demo = SharedDemo();
    Loaded loaded;
    loaded.hr = LoadWicTextureFromMemory(demo->system.GetDevice(), demo->system.GetContext(),
                                         reinterpret_cast<const uint8_t*>(file.data()), file.size(), maxSize,
                                         D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE, 0, 0, flags,
                                         &loaded.resource, &loaded.view);
    return loaded;
}

std::string Fixture(const char* name)
{
    const char* folder = getenv("BRIVET_IMAGE_FIXTURES");
    std::ifstream file(std::string(folder ? folder : ".") + "/" + name, std::ios::binary);
    EXPECT_TRUE(file.good()) << name;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The sizes, format and levels of a loaded texture of any dimension.
struct Shape
{
    D3D11_RESOURCE_DIMENSION dimension = D3D11_RESOURCE_DIMENSION_UNKNOWN;
    UINT width = 0;
    UINT height = 0;
    UINT depth = 0;
    UINT levels = 0;
    UINT arraySize = 0;
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    UINT bindFlags = 0;
};

Shape ShapeOf(ID3D11Resource* resource)
{
    Shape shape;
    resource->GetType(&shape.dimension);
    switch (shape.dimension)
    {
    case D3D11_RESOURCE_DIMENSION_TEXTURE1D:
    {
        D3D11_TEXTURE1D_DESC d;
        static_cast<ID3D11Texture1D*>(resource)->GetDesc(&d);
        shape = {shape.dimension, d.Width, 1, 1, d.MipLevels, d.ArraySize, d.Format, d.BindFlags};
        break;
    }
    case D3D11_RESOURCE_DIMENSION_TEXTURE2D:
    {
        D3D11_TEXTURE2D_DESC d;
        static_cast<ID3D11Texture2D*>(resource)->GetDesc(&d);
        shape = {shape.dimension, d.Width, d.Height, 1, d.MipLevels, d.ArraySize, d.Format, d.BindFlags};
        break;
    }
    case D3D11_RESOURCE_DIMENSION_TEXTURE3D:
    {
        D3D11_TEXTURE3D_DESC d;
        static_cast<ID3D11Texture3D*>(resource)->GetDesc(&d);
        shape = {shape.dimension, d.Width, d.Height, d.Depth, d.MipLevels, 1, d.Format, d.BindFlags};
        break;
    }
    default:
        break;
    }
    return shape;
}

// Every subresource's bytes (Direct3D's order: item by item, level by level), rows packed
// at the format's row bytes and depth slices one after another, through a staging copy.
std::vector<std::string> ReadAll(ID3D11Resource* resource)
{
    std::vector<std::string> result;
    Brivet::Demo* demo = SharedDemo();
    ID3D11Device* device = demo->system.GetDevice();
    ID3D11DeviceContext* context = demo->system.GetContext();
    const Shape shape = ShapeOf(resource);

    // A staging twin of the texture: same description, CPU-readable, bound to nothing.
    ID3D11Resource* staging = nullptr;
    HRESULT hr = E_FAIL;
    auto twin = [&](auto* texture, auto desc, auto create) {
        using Texture = std::remove_pointer_t<decltype(texture)>;
        texture->GetDesc(&desc);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        desc.MiscFlags = 0;
        Texture* copy = nullptr;
        hr = (device->*create)(&desc, nullptr, &copy);
        staging = copy;
    };
    if (shape.dimension == D3D11_RESOURCE_DIMENSION_TEXTURE1D)
        twin(static_cast<ID3D11Texture1D*>(resource), D3D11_TEXTURE1D_DESC{}, &ID3D11Device::CreateTexture1D);
    else if (shape.dimension == D3D11_RESOURCE_DIMENSION_TEXTURE2D)
        twin(static_cast<ID3D11Texture2D*>(resource), D3D11_TEXTURE2D_DESC{}, &ID3D11Device::CreateTexture2D);
    else if (shape.dimension == D3D11_RESOURCE_DIMENSION_TEXTURE3D)
        twin(static_cast<ID3D11Texture3D*>(resource), D3D11_TEXTURE3D_DESC{}, &ID3D11Device::CreateTexture3D);
    EXPECT_HRESULT_SUCCEEDED(hr) << "staging copy";
    if (FAILED(hr))
        return result;
    context->CopyResource(staging, resource);

    for (UINT item = 0; item < shape.arraySize; ++item)
    {
        for (UINT level = 0; level < shape.levels; ++level)
        {
            const UINT w = shape.width >> level ? shape.width >> level : 1;
            const UINT h = shape.height >> level ? shape.height >> level : 1;
            const UINT d = shape.depth >> level ? shape.depth >> level : 1;
            uint64_t rowBytes = 0;
            uint64_t rows = 0;
            GetSurfacePitch(w, h, shape.format, &rowBytes, &rows, nullptr);
            std::string bytes;
            D3D11_MAPPED_SUBRESOURCE mapped = {};
            const UINT subresource = D3D11CalcSubresource(level, item, shape.levels);
            if (SUCCEEDED(context->Map(staging, subresource, D3D11_MAP_READ, 0, &mapped)))
            {
                for (UINT slice = 0; slice < d; ++slice)
                {
                    for (UINT row = 0; row < rows; ++row)
                    {
                        const char* source = static_cast<const char*>(mapped.pData) + (size_t)slice * mapped.DepthPitch +
                                             (size_t)row * mapped.RowPitch;
                        bytes.append(source, (size_t)rowBytes);
                    }
                }
                context->Unmap(staging, subresource);
            }
            result.push_back(bytes);
        }
    }
    staging->Release();
    return result;
}

// The bytes of one subresource of width × height × depth in a format of bytesPerPixel,
// each pixel the given value.
std::string Fill(uint32_t pixels, uint32_t value, uint32_t bytesPerPixel = 4)
{
    std::string bytes;
    for (uint32_t i = 0; i < pixels; ++i)
        bytes.append(reinterpret_cast<const char*>(&value), bytesPerPixel);
    return bytes;
}

UINT FormatSupport(DXGI_FORMAT format)
{
    UINT support = 0;
    if (FAILED(SharedDemo()->system.GetDevice()->CheckFormatSupport(format, &support)))
        return 0;
    return support;
}

D3D11_SRV_DIMENSION ViewDimension(ID3D11ShaderResourceView* view)
{
    D3D11_SHADER_RESOURCE_VIEW_DESC desc = {};
    view->GetDesc(&desc);
    return desc.ViewDimension;
}

class ImageLoaderTest : public DemoTest
{
};
} // namespace

TEST_F(ImageLoaderTest, DdsFormatsArriveByteForByteWithTheirStoredLevels)
{
    struct Case
    {
        const char* name;
        DdsSpec spec;
        DXGI_FORMAT format;
    };
    const Case cases[] = {
        {"RGBA", DdsSpec(), DXGI_FORMAT_R8G8B8A8_UNORM},
        {"BGRA", DdsSpec::Rgb(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), DXGI_FORMAT_B8G8R8A8_UNORM},
        {"BGRX", DdsSpec::Rgb(0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0), DXGI_FORMAT_B8G8R8X8_UNORM},
        {"A2B10G10R10", DdsSpec::Rgb(0x41, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), DXGI_FORMAT_R10G10B10A2_UNORM},
        {"G16R16", DdsSpec::Rgb(0x40, 32, 0xFFFF, 0xFFFF0000, 0, 0), DXGI_FORMAT_R16G16_UNORM},
        {"R32F by masks", DdsSpec::Rgb(0x40, 32, 0xFFFFFFFF, 0, 0, 0), DXGI_FORMAT_R32_FLOAT},
        {"A1R5G5B5", DdsSpec::Rgb(0x41, 16, 0x7C00, 0x3E0, 0x1F, 0x8000), DXGI_FORMAT_B5G5R5A1_UNORM},
        {"R5G6B5", DdsSpec::Rgb(0x40, 16, 0xF800, 0x7E0, 0x1F, 0), DXGI_FORMAT_B5G6R5_UNORM},
        {"L8", DdsSpec::Rgb(0x20000, 8, 0xFF, 0, 0, 0), DXGI_FORMAT_R8_UNORM},
        {"A8L8", DdsSpec::Rgb(0x20001, 16, 0xFF, 0, 0, 0xFF00), DXGI_FORMAT_R8G8_UNORM},
        {"L16", DdsSpec::Rgb(0x20000, 16, 0xFFFF, 0, 0, 0), DXGI_FORMAT_R16_UNORM},
        {"A8", DdsSpec::Rgb(0x2, 8, 0, 0, 0, 0xFF), DXGI_FORMAT_A8_UNORM},
        {"V8U8", DdsSpec::Rgb(0x80000, 16, 0xFF, 0xFF00, 0, 0), DXGI_FORMAT_R8G8_SNORM},
        {"Q8W8V8U8", DdsSpec::Rgb(0x80000, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), DXGI_FORMAT_R8G8B8A8_SNORM},
        {"V16U16", DdsSpec::Rgb(0x80000, 32, 0xFFFF, 0xFFFF0000, 0, 0), DXGI_FORMAT_R16G16_SNORM},
        {"DXT1", DdsSpec::FourCC("DXT1"), DXGI_FORMAT_BC1_UNORM},
        {"DXT2", DdsSpec::FourCC("DXT2"), DXGI_FORMAT_BC2_UNORM},
        {"DXT3", DdsSpec::FourCC("DXT3"), DXGI_FORMAT_BC2_UNORM},
        {"DXT4", DdsSpec::FourCC("DXT4"), DXGI_FORMAT_BC3_UNORM},
        {"DXT5", DdsSpec::FourCC("DXT5"), DXGI_FORMAT_BC3_UNORM},
        {"ATI1", DdsSpec::FourCC("ATI1"), DXGI_FORMAT_BC4_UNORM},
        {"BC4S", DdsSpec::FourCC("BC4S"), DXGI_FORMAT_BC4_SNORM},
        {"ATI2", DdsSpec::FourCC("ATI2"), DXGI_FORMAT_BC5_UNORM},
        {"BC5S", DdsSpec::FourCC("BC5S"), DXGI_FORMAT_BC5_SNORM},
        {"A16B16G16R16", [] { DdsSpec s; s.pixelFormat = {32, 4, 36, 0, 0, 0, 0, 0}; return s; }(),
         DXGI_FORMAT_R16G16B16A16_UNORM},
        {"R16F", [] { DdsSpec s; s.pixelFormat = {32, 4, 111, 0, 0, 0, 0, 0}; return s; }(), DXGI_FORMAT_R16_FLOAT},
        {"G16R16F", [] { DdsSpec s; s.pixelFormat = {32, 4, 112, 0, 0, 0, 0, 0}; return s; }(), DXGI_FORMAT_R16G16_FLOAT},
        {"A16B16G16R16F", [] { DdsSpec s; s.pixelFormat = {32, 4, 113, 0, 0, 0, 0, 0}; return s; }(),
         DXGI_FORMAT_R16G16B16A16_FLOAT},
        {"R32F", [] { DdsSpec s; s.pixelFormat = {32, 4, 114, 0, 0, 0, 0, 0}; return s; }(), DXGI_FORMAT_R32_FLOAT},
        {"G32R32F", [] { DdsSpec s; s.pixelFormat = {32, 4, 115, 0, 0, 0, 0, 0}; return s; }(), DXGI_FORMAT_R32G32_FLOAT},
        {"A32B32G32R32F", [] { DdsSpec s; s.pixelFormat = {32, 4, 116, 0, 0, 0, 0, 0}; return s; }(),
         DXGI_FORMAT_R32G32B32A32_FLOAT},
        {"DX10 BC7", DdsSpec::Dx10(DXGI_FORMAT_BC7_UNORM), DXGI_FORMAT_BC7_UNORM},
        {"DX10 BC6H", DdsSpec::Dx10(DXGI_FORMAT_BC6H_UF16), DXGI_FORMAT_BC6H_UF16},
        {"DX10 R11G11B10", DdsSpec::Dx10(DXGI_FORMAT_R11G11B10_FLOAT), DXGI_FORMAT_R11G11B10_FLOAT},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // 8 × 8 with two stored levels: no mip generation, whatever the format allows.
        DdsSpec spec = c.spec;
        spec.Size(8, 8).Levels(2);
        uint64_t bytes0 = 0;
        uint64_t bytes1 = 0;
        ASSERT_EQ(GetSurfacePitch(8, 8, c.format, nullptr, nullptr, &bytes0), Result::Ok);
        ASSERT_EQ(GetSurfacePitch(4, 4, c.format, nullptr, nullptr, &bytes1), Result::Ok);
        std::string level0 = PatternBytes(bytes0, 1);
        std::string level1 = PatternBytes(bytes1, 2);
        if (c.format == DXGI_FORMAT_B8G8R8X8_UNORM)
        {
            // The unused byte reads back as 0xFF.
            for (std::string* level : {&level0, &level1})
                for (size_t i = 3; i < level->size(); i += 4)
                    (*level)[i] = '\xFF';
        }
        Loaded loaded = LoadDds(BuildDds(spec, level0 + level1));

        if (!(FormatSupport(c.format) & D3D11_FORMAT_SUPPORT_TEXTURE2D))
        {
            // A format this device cannot hold fails cleanly.
            EXPECT_TRUE(FAILED(loaded.hr));
            EXPECT_EQ(loaded.resource, nullptr);
            EXPECT_EQ(loaded.view, nullptr);
            continue;
        }
        ASSERT_HRESULT_SUCCEEDED(loaded.hr);
        ASSERT_NE(loaded.view, nullptr);
        const Shape shape = ShapeOf(loaded.resource);
        EXPECT_EQ(shape.format, c.format);
        EXPECT_EQ(shape.width, 8u);
        EXPECT_EQ(shape.levels, 2u);
        EXPECT_EQ(shape.bindFlags, (UINT)D3D11_BIND_SHADER_RESOURCE);
        EXPECT_EQ(ViewDimension(loaded.view), D3D11_SRV_DIMENSION_TEXTURE2D);
        const std::vector<std::string> read = ReadAll(loaded.resource);
        ASSERT_EQ(read.size(), 2u);
        EXPECT_EQ(read[0], level0);
        EXPECT_EQ(read[1], level1);
    }
}

TEST_F(ImageLoaderTest, BlockCompressedFilesNeedShaderResourceBindingOnly)
{
    // One 8 × 8 level: BC formats have no mip generation, so the level is all there is.
    for (const char* code : {"DXT1", "DXT3", "DXT5"})
    {
        SCOPED_TRACE(code);
        const DXGI_FORMAT format = code[3] == '1' ? DXGI_FORMAT_BC1_UNORM
                                                  : (code[3] == '3' ? DXGI_FORMAT_BC2_UNORM : DXGI_FORMAT_BC3_UNORM);
        const std::string blocks = PatternBytes(code[3] == '1' ? 32 : 64, 3);
        const std::string file = BuildDds(DdsSpec::FourCC(code).Size(8, 8), blocks);

        // What the texture resource asks for: shader-resource binding, sRGB.
        Options options;
        options.srgb = true;
        Loaded loaded = LoadDds(file, options);
        ASSERT_HRESULT_SUCCEEDED(loaded.hr);
        const Shape shape = ShapeOf(loaded.resource);
        EXPECT_EQ(shape.format, (DXGI_FORMAT)ToSrgbFormat(format));
        EXPECT_EQ(shape.levels, 1u);
        EXPECT_EQ(ReadAll(loaded.resource), std::vector<std::string>{blocks});

        // Render-target binding and mip generation on a block format: Direct3D refuses them.
        Options generate = options;
        generate.bindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
        generate.miscFlags = D3D11_RESOURCE_MISC_GENERATE_MIPS;
        EXPECT_FALSE(FormatSupport(format) & D3D11_FORMAT_SUPPORT_MIP_AUTOGEN);
        Loaded refused = LoadDds(file, generate);
        EXPECT_TRUE(FAILED(refused.hr)) << std::hex << refused.hr;
    }
}

TEST_F(ImageLoaderTest, OneLevelGetsItsChainGeneratedSeveralLevelsKeepTheirs)
{
    ASSERT_TRUE(FormatSupport(DXGI_FORMAT_R8G8B8A8_UNORM_SRGB) & D3D11_FORMAT_SUPPORT_MIP_AUTOGEN);
    // 256 × 256: the left half red, the right half blue; the smallest level averages them.
    std::string row = Fill(128, Rgba(255, 0, 0)) + Fill(128, Rgba(0, 0, 255));
    std::string level0;
    for (int y = 0; y < 256; ++y)
        level0 += row;
    Options options;
    options.srgb = true;
    Loaded generated = LoadDds(BuildDds(DdsSpec().Size(256, 256), level0), options);
    ASSERT_HRESULT_SUCCEEDED(generated.hr);
    Shape shape = ShapeOf(generated.resource);
    EXPECT_EQ(shape.levels, 9u);
    EXPECT_EQ(shape.format, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    EXPECT_EQ(shape.bindFlags, (UINT)(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET));
    std::vector<std::string> read = ReadAll(generated.resource);
    ASSERT_EQ(read.size(), 9u);
    EXPECT_EQ(read[0], level0);
    ASSERT_EQ(read[8].size(), 4u);
    uint32_t pixel = 0;
    memcpy(&pixel, read[8].data(), 4);
    // An sRGB texture averages in linear light: half of full red is 188 in sRGB.
    EXPECT_TRUE(SameColour(pixel, Rgba(188, 0, 188), 3)) << ColourText(pixel);

    // Three levels of their own colours stay exactly as stored.
    const std::string levels = Fill(256 * 256, Rgba(255, 0, 0)) + Fill(128 * 128, Rgba(0, 255, 0)) +
                               Fill(64 * 64, Rgba(0, 0, 255));
    Loaded stored = LoadDds(BuildDds(DdsSpec().Size(256, 256).Levels(3), levels), options);
    ASSERT_HRESULT_SUCCEEDED(stored.hr);
    shape = ShapeOf(stored.resource);
    EXPECT_EQ(shape.levels, 3u);
    EXPECT_EQ(shape.bindFlags, (UINT)D3D11_BIND_SHADER_RESOURCE);
    read = ReadAll(stored.resource);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[2], Fill(64 * 64, Rgba(0, 0, 255)));

    // Without a context, or without a view, nothing is generated.
    Options noContext = options;
    noContext.context = false;
    Loaded plain = LoadDds(BuildDds(DdsSpec().Size(256, 256), level0), noContext);
    ASSERT_HRESULT_SUCCEEDED(plain.hr);
    EXPECT_EQ(ShapeOf(plain.resource).levels, 1u);
    Options noView = options;
    noView.view = false;
    Loaded textureOnly = LoadDds(BuildDds(DdsSpec().Size(256, 256), level0), noView);
    ASSERT_HRESULT_SUCCEEDED(textureOnly.hr);
    EXPECT_EQ(textureOnly.view, nullptr);
    EXPECT_EQ(ShapeOf(textureOnly.resource).levels, 1u);
}

TEST_F(ImageLoaderTest, CubeMapsAndArraysKeepEveryFace)
{
    // Six faces of 8 × 8 with two levels, each level of each face a colour of its own.
    std::vector<std::string> faces;
    std::string pixels;
    for (uint32_t face = 0; face < 6; ++face)
    {
        for (uint32_t level = 0; level < 2; ++level)
        {
            faces.push_back(Fill(level ? 16 : 64, Rgba(40 * face, 100 + level * 100, 7)));
            pixels += faces.back();
        }
    }
    Loaded cube = LoadDds(BuildDds(DdsSpec().Size(8, 8).Levels(2).Cube(), pixels));
    ASSERT_HRESULT_SUCCEEDED(cube.hr);
    Shape shape = ShapeOf(cube.resource);
    EXPECT_EQ(shape.dimension, D3D11_RESOURCE_DIMENSION_TEXTURE2D);
    EXPECT_EQ(shape.arraySize, 6u);
    EXPECT_EQ(ViewDimension(cube.view), D3D11_SRV_DIMENSION_TEXTURECUBE);
    EXPECT_EQ(ReadAll(cube.resource), faces);

    // One level per face: each face gets its chain, its top level kept.
    std::string tops;
    for (uint32_t face = 0; face < 6; ++face)
        tops += Fill(64, Rgba(0, 40 * face, 200));
    Loaded generated = LoadDds(BuildDds(DdsSpec().Size(8, 8).Cube(), tops));
    ASSERT_HRESULT_SUCCEEDED(generated.hr);
    shape = ShapeOf(generated.resource);
    EXPECT_EQ(shape.levels, 4u);
    const std::vector<std::string> read = ReadAll(generated.resource);
    ASSERT_EQ(read.size(), 24u);
    EXPECT_EQ(read[5 * 4], Fill(64, Rgba(0, 200, 200)));
    for (uint32_t face = 0; face < 6; ++face)
        EXPECT_EQ(read[face * 4 + 3], Fill(1, Rgba(0, 40 * face, 200))) << face; // uniform faces stay uniform

    // Two cubes from the extended header: a cube array; three items: a 2D array.
    Loaded cubes = LoadDds(BuildDds(DdsSpec::Dx10(DXGI_FORMAT_R8G8B8A8_UNORM, Dimension2D, 2).Size(4, 4).Levels(2).Cube(),
                                    PatternBytes(12 * 80, 4)));
    ASSERT_HRESULT_SUCCEEDED(cubes.hr);
    EXPECT_EQ(ShapeOf(cubes.resource).arraySize, 12u);
    EXPECT_EQ(ViewDimension(cubes.view), D3D11_SRV_DIMENSION_TEXTURECUBEARRAY);
    Loaded array = LoadDds(BuildDds(DdsSpec::Dx10(DXGI_FORMAT_R8G8B8A8_UNORM, Dimension2D, 3).Levels(2),
                                    PatternBytes(3 * 80, 5)));
    ASSERT_HRESULT_SUCCEEDED(array.hr);
    EXPECT_EQ(ShapeOf(array.resource).arraySize, 3u);
    EXPECT_EQ(ViewDimension(array.view), D3D11_SRV_DIMENSION_TEXTURE2DARRAY);
    EXPECT_EQ(ReadAll(array.resource)[5], PatternBytes(3 * 80, 5).substr(160 + 64, 16));

    // A cube map without all six faces is refused.
    DdsSpec fiveFaces = DdsSpec().Cube();
    fiveFaces.caps2 &= ~0x400u;
    Loaded refused = LoadDds(BuildDds(fiveFaces, pixels));
    EXPECT_EQ(refused.hr, HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(refused.resource, nullptr);
}

TEST_F(ImageLoaderTest, VolumesAndLinesKeepTheirSlices)
{
    // 4 × 4 × 4 with three stored levels: 16 pixels a slice.
    const std::string level0 = PatternBytes(256, 6);
    const std::string level1 = PatternBytes(32, 7);
    const std::string level2 = PatternBytes(4, 8);
    Loaded stored = LoadDds(BuildDds(DdsSpec().Volume(4).Levels(3), level0 + level1 + level2));
    ASSERT_HRESULT_SUCCEEDED(stored.hr);
    Shape shape = ShapeOf(stored.resource);
    EXPECT_EQ(shape.dimension, D3D11_RESOURCE_DIMENSION_TEXTURE3D);
    EXPECT_EQ(shape.depth, 4u);
    EXPECT_EQ(ViewDimension(stored.view), D3D11_SRV_DIMENSION_TEXTURE3D);
    EXPECT_EQ(ReadAll(stored.resource), (std::vector<std::string>{level0, level1, level2}));

    // One level of 8 × 8 × 4: every slice uploaded, then the chain generated.
    std::string slices;
    for (uint32_t slice = 0; slice < 4; ++slice)
        slices += Fill(64, Rgba(60 * slice, 10, 250));
    Loaded generated = LoadDds(BuildDds(DdsSpec().Size(8, 8).Volume(4), slices));
    ASSERT_HRESULT_SUCCEEDED(generated.hr);
    shape = ShapeOf(generated.resource);
    const bool autogen = FormatSupport(DXGI_FORMAT_R8G8B8A8_UNORM) & D3D11_FORMAT_SUPPORT_MIP_AUTOGEN;
    EXPECT_EQ(shape.levels, autogen ? 4u : 1u);
    const std::vector<std::string> chain = ReadAll(generated.resource);
    ASSERT_EQ(chain.size(), shape.levels);
    EXPECT_EQ(chain[0], slices);
    if (autogen)
    {
        // Level 1 averages slices 0 and 1, level 2 all four.
        uint32_t pixel = 0;
        memcpy(&pixel, chain[1].data(), 4);
        EXPECT_TRUE(SameColour(pixel, Rgba(30, 10, 250), 1)) << ColourText(pixel);
        memcpy(&pixel, chain[2].data(), 4);
        EXPECT_TRUE(SameColour(pixel, Rgba(90, 10, 250), 1)) << ColourText(pixel);
    }

    // A one-level volume whose data hold fewer slices than its depth is refused before
    // anything is uploaded, with or without mip generation.
    for (bool context : {true, false})
    {
        SCOPED_TRACE(context ? "with a context" : "without a context");
        Options options;
        options.context = context;
        Loaded truncated = LoadDds(BuildDds(DdsSpec().Size(8, 8).Volume(4), slices.substr(0, 3 * 256)), options);
        EXPECT_EQ(truncated.hr, HRESULT_FROM_WIN32(ERROR_HANDLE_EOF));
        EXPECT_EQ(truncated.resource, nullptr);
        EXPECT_EQ(truncated.view, nullptr);
    }

    // A one-dimensional array of two rows.
    DdsSpec line = DdsSpec::Dx10(DXGI_FORMAT_R8G8B8A8_UNORM, Dimension1D, 2).Size(16, 1).Levels(2);
    const std::string rows = PatternBytes(2 * (64 + 32), 9);
    Loaded lines = LoadDds(BuildDds(line, rows));
    ASSERT_HRESULT_SUCCEEDED(lines.hr);
    EXPECT_EQ(ShapeOf(lines.resource).dimension, D3D11_RESOURCE_DIMENSION_TEXTURE1D);
    EXPECT_EQ(ViewDimension(lines.view), D3D11_SRV_DIMENSION_TEXTURE1DARRAY);
    EXPECT_EQ(ReadAll(lines.resource)[3], rows.substr(96 + 64, 32));
}

TEST_F(ImageLoaderTest, TruncatedDamagedAndMisusedDdsFail)
{
    ID3D11Device* device = SharedDemo()->system.GetDevice();
    const std::string good = BuildDds(DdsSpec().Size(8, 4).Levels(3), PatternBytes(168, 10));
    DdsSpec lyingVolume = DdsSpec().Size(2048, 2048).Volume(2048);
    struct Case
    {
        const char* name;
        std::string file;
        HRESULT result;
    };
    const Case cases[] = {
        {"last level one byte short", good.substr(0, good.size() - 1), HRESULT_FROM_WIN32(ERROR_HANDLE_EOF)},
        {"header only", good.substr(0, 128), HRESULT_FROM_WIN32(ERROR_HANDLE_EOF)},
        {"header cut short", good.substr(0, 100), E_FAIL},
        {"a 2048 cubed volume in 64 bytes", BuildDds(lyingVolume, PatternBytes(64, 1)),
         HRESULT_FROM_WIN32(ERROR_HANDLE_EOF)},
        {"24-bit RGB", BuildDds(DdsSpec::Rgb(0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0), PatternBytes(48, 1)),
         HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)},
        {"zero width", BuildDds(DdsSpec().Size(0, 4), ""), HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        for (bool context : {true, false})
        {
            Options options;
            options.context = context;
            Loaded loaded = LoadDds(c.file, options);
            EXPECT_EQ(loaded.hr, c.result) << std::hex << loaded.hr;
            EXPECT_EQ(loaded.resource, nullptr);
            EXPECT_EQ(loaded.view, nullptr);
        }
    }

    // Arguments: no device, no data, no output, a view without shader-resource binding.
    const uint8_t* data = reinterpret_cast<const uint8_t*>(good.data());
    ID3D11Resource* resource = reinterpret_cast<ID3D11Resource*>(1);
    ID3D11ShaderResourceView* view = reinterpret_cast<ID3D11ShaderResourceView*>(1);
    EXPECT_EQ(LoadDdsTextureFromMemory(nullptr, nullptr, data, good.size(), 0, D3D11_USAGE_DEFAULT,
                                       D3D11_BIND_SHADER_RESOURCE, 0, 0, false, &resource, &view),
              E_INVALIDARG);
    EXPECT_EQ(resource, nullptr); // the outputs are cleared first
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(LoadDdsTextureFromMemory(device, nullptr, nullptr, 200, 0, D3D11_USAGE_DEFAULT,
                                       D3D11_BIND_SHADER_RESOURCE, 0, 0, false, &resource, &view),
              E_INVALIDARG);
    EXPECT_EQ(LoadDdsTextureFromMemory(device, nullptr, data, good.size(), 0, D3D11_USAGE_DEFAULT,
                                       D3D11_BIND_SHADER_RESOURCE, 0, 0, false, nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(LoadDdsTextureFromMemory(device, nullptr, data, good.size(), 0, D3D11_USAGE_DEFAULT, 0, 0, 0, false,
                                       &resource, &view),
              E_INVALIDARG);
}

TEST_F(ImageLoaderTest, ASizeLimitDropsTheLargestLevels)
{
    // 16 × 8 with four levels, at most 4 pixels a side: the 4 × 2 and 2 × 1 levels remain.
    const std::string levels = PatternBytes(512, 11) + PatternBytes(128, 12) + PatternBytes(32, 13) +
                               PatternBytes(8, 14);
    Options options;
    options.maxSize = 4;
    Loaded loaded = LoadDds(BuildDds(DdsSpec().Size(16, 8).Levels(4), levels), options);
    ASSERT_HRESULT_SUCCEEDED(loaded.hr);
    const Shape shape = ShapeOf(loaded.resource);
    EXPECT_EQ(shape.width, 4u);
    EXPECT_EQ(shape.height, 2u);
    EXPECT_EQ(shape.levels, 2u);
    EXPECT_EQ(ReadAll(loaded.resource), (std::vector<std::string>{PatternBytes(32, 13), PatternBytes(8, 14)}));
}

TEST_F(ImageLoaderTest, ImagesDecodeToTheirFormatsAndPixels)
{
    const std::string greys("\x00\x40\x80\xff\x11\x22\x33\x44", 8);
    std::string greys16;
    for (char grey : greys)
        greys16 += std::string(2, grey); // 8-bit values widened: v × 257
    // The palette, RGB and BMP files' colours, as R8G8B8A8.
    const std::string colours = Fill(1, Rgba(255, 0, 0)) + Fill(1, Rgba(0, 255, 0)) + Fill(1, Rgba(0, 0, 255)) +
                                Fill(1, Rgba(255, 255, 255)) + Fill(1, Rgba(16, 32, 48)) +
                                Fill(1, Rgba(128, 64, 32)) + Fill(1, Rgba(1, 2, 3)) + Fill(1, Rgba(250, 251, 252));
    // The RGBA file as B8G8R8A8: PNG's 8-bit RGBA decodes as BGRA.
    const std::string bgra = Fill(1, Rgba(0, 0, 255, 255)) + Fill(1, Rgba(0, 255, 0, 128)) +
                             Fill(1, Rgba(255, 0, 0, 0)) + Fill(1, Rgba(48, 32, 16, 64));

    struct Case
    {
        const char* file;
        uint32_t flags;
        DXGI_FORMAT format;
        uint32_t width;
        const std::string* pixels;
    };
    const Case cases[] = {
        {"grey.png", LoadIgnoreSrgb, DXGI_FORMAT_R8_UNORM, 4, &greys},
        {"grey.png", LoadForceSrgb, DXGI_FORMAT_R8_UNORM, 4, &greys}, // no sRGB variant
        {"grey16.png", LoadIgnoreSrgb, DXGI_FORMAT_R16_UNORM, 4, &greys16},
        {"palette.png", LoadIgnoreSrgb, DXGI_FORMAT_R8G8B8A8_UNORM, 4, &colours},
        {"palette.png", LoadForceSrgb, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, 4, &colours},
        {"rgb.png", LoadIgnoreSrgb, DXGI_FORMAT_R8G8B8A8_UNORM, 4, &colours},
        {"rgb.png", LoadForceSrgb, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, 4, &colours},
        {"rgb.bmp", LoadIgnoreSrgb, DXGI_FORMAT_R8G8B8A8_UNORM, 4, &colours},
        {"rgba.png", LoadIgnoreSrgb, DXGI_FORMAT_B8G8R8A8_UNORM, 2, &bgra},
        {"rgba.png", LoadForceSrgb, DXGI_FORMAT_B8G8R8A8_UNORM_SRGB, 2, &bgra},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.file) + (c.flags == LoadForceSrgb ? " sRGB" : " linear"));
        Loaded loaded = LoadWic(Fixture(c.file), c.flags);
        ASSERT_HRESULT_SUCCEEDED(loaded.hr);
        const Shape shape = ShapeOf(loaded.resource);
        EXPECT_EQ(shape.format, c.format);
        EXPECT_EQ(shape.width, c.width);
        EXPECT_EQ(shape.height, 2u);
        // The chain is generated where the format allows it.
        const bool autogen = FormatSupport(c.format) & D3D11_FORMAT_SUPPORT_MIP_AUTOGEN;
        EXPECT_EQ(shape.levels, autogen ? (c.width == 4 ? 3u : 2u) : 1u);
        const std::vector<std::string> read = ReadAll(loaded.resource);
        ASSERT_FALSE(read.empty());
        EXPECT_EQ(read[0], *c.pixels);
    }

    // JPEG: one colour within the rounding of its transform.
    Loaded jpeg = LoadWic(Fixture("solid.jpg"), LoadForceSrgb);
    ASSERT_HRESULT_SUCCEEDED(jpeg.hr);
    const Shape shape = ShapeOf(jpeg.resource);
    EXPECT_EQ(shape.format, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    EXPECT_EQ(shape.width, 16u);
    EXPECT_EQ(shape.height, 8u);
    const std::string pixels = ReadAll(jpeg.resource)[0];
    ASSERT_EQ(pixels.size(), 16u * 8u * 4u);
    for (size_t i = 0; i < pixels.size(); i += 4)
    {
        uint32_t pixel = 0;
        memcpy(&pixel, pixels.data() + i, 4);
        ASSERT_TRUE(SameColour(pixel, Rgba(200, 100, 50), 3)) << ColourText(pixel);
    }
}

TEST_F(ImageLoaderTest, LargeImagesAreScaledToTheSizeLimit)
{
    Loaded loaded = LoadWic(Fixture("wide.png"), LoadIgnoreSrgb, 64);
    ASSERT_HRESULT_SUCCEEDED(loaded.hr);
    const Shape shape = ShapeOf(loaded.resource);
    EXPECT_EQ(shape.width, 64u);
    EXPECT_EQ(shape.height, 21u);
    EXPECT_EQ(shape.format, DXGI_FORMAT_R8G8B8A8_UNORM);
    const std::string pixels = ReadAll(loaded.resource)[0];
    ASSERT_EQ(pixels.size(), 64u * 21u * 4u);
    for (size_t i = 0; i < pixels.size(); i += 4)
    {
        uint32_t pixel = 0;
        memcpy(&pixel, pixels.data() + i, 4);
        ASSERT_TRUE(SameColour(pixel, Rgba(10, 200, 30), 1)) << ColourText(pixel);
    }

    // Without a limit: the feature level's, which this image is far below.
    Loaded whole = LoadWic(Fixture("wide.png"), LoadIgnoreSrgb);
    ASSERT_HRESULT_SUCCEEDED(whole.hr);
    EXPECT_EQ(ShapeOf(whole.resource).width, 300u);
    EXPECT_EQ(LoadWic(Fixture("wide.png"), LoadIgnoreSrgb, 0x100000000ull).hr, E_INVALIDARG);
}

TEST_F(ImageLoaderTest, DamagedImagesFail)
{
    const std::string png = Fixture("rgb.png");
    struct Case
    {
        const char* name;
        std::string file;
    };
    const Case cases[] = {
        {"PNG cut after its header", png.substr(0, 40)},
        {"PNG signature alone", png.substr(0, 8)},
        {"not an image", std::string(300, 'x')},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Loaded loaded = LoadWic(c.file, LoadForceSrgb);
        EXPECT_TRUE(FAILED(loaded.hr)) << std::hex << loaded.hr;
        EXPECT_EQ(loaded.resource, nullptr);
        EXPECT_EQ(loaded.view, nullptr);
    }
    EXPECT_EQ(LoadWic(std::string(), LoadForceSrgb).hr, E_FAIL);
}

// A ~2 MB PNG of 16384 x 16384 16-bit RGBA pixels would decode to 2 GiB and take as much
// again on the GPU: it is refused from its header, before any decoder holds it.
TEST_F(ImageLoaderTest, ImagesBeyondTheDecodedLimitAreRefused)
{
    std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x40\0\0\0\x40\0\x10\x06\0\0\0", 29);
    png += std::string("\0\0\0\0", 4) + std::string("\0\0\0\x10IDAT", 8) + std::string(20, '\0');
    LogCapture::Get().Clear();
    Loaded loaded = LoadWic(png, LoadIgnoreSrgb);
    EXPECT_EQ(loaded.hr, ImageTooLarge);
    EXPECT_EQ(loaded.resource, nullptr);
    EXPECT_EQ(loaded.view, nullptr);
    EXPECT_EQ(LinesContaining("[texture] Image of 16384x16384 at 64 bits per pixel decodes to more than 256 MiB; refused")
                  .size(),
              1u);
}
