// DDS headers, DXGI format rules, surface sizes and subresource layout; fitted image sizes.
#include "repository/Resources/ImageLayout.h"

#include <cstring>

namespace ImageTextureLoader
{
namespace
{
constexpr uint64_t MaxU32 = 0xFFFFFFFFu;

// Direct3D 11's limits.
constexpr uint32_t MaxMipLevels = 15;
constexpr uint32_t MaxArraySize = 2048;
constexpr uint32_t Max1DSize = 16384;
constexpr uint32_t Max2DSize = 16384;
constexpr uint32_t Max3DSize = 2048;

// The DXGI formats named here.
enum : uint32_t
{
    R32G32B32A32_FLOAT = 2,
    R16G16B16A16_FLOAT = 10,
    R16G16B16A16_UNORM = 11,
    R16G16B16A16_SNORM = 13,
    R32G32_FLOAT = 16,
    R10G10B10A2_UNORM = 24,
    R8G8B8A8_UNORM = 28,
    R8G8B8A8_UNORM_SRGB = 29,
    R8G8B8A8_SNORM = 31,
    R16G16_FLOAT = 34,
    R16G16_UNORM = 35,
    R16G16_SNORM = 37,
    R32_FLOAT = 41,
    R8G8_UNORM = 49,
    R8G8_SNORM = 51,
    R16_FLOAT = 54,
    R16_UNORM = 56,
    R8_UNORM = 61,
    A8_UNORM = 65,
    R8G8_B8G8_UNORM = 68,
    G8R8_G8B8_UNORM = 69,
    BC1_UNORM = 71,
    BC1_UNORM_SRGB = 72,
    BC2_UNORM = 74,
    BC2_UNORM_SRGB = 75,
    BC3_UNORM = 77,
    BC3_UNORM_SRGB = 78,
    BC4_UNORM = 80,
    BC4_SNORM = 81,
    BC5_UNORM = 83,
    BC5_SNORM = 84,
    B5G6R5_UNORM = 85,
    B5G5R5A1_UNORM = 86,
    B8G8R8A8_UNORM = 87,
    B8G8R8X8_UNORM = 88,
    B8G8R8A8_UNORM_SRGB = 91,
    B8G8R8X8_UNORM_SRGB = 93,
    BC7_UNORM = 98,
    BC7_UNORM_SRGB = 99,
    AI44 = 111,
    A8P8 = 114,
    B4G4R4A4_UNORM = 115,
};

bool Masks(const DdsPixelFormat& f, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    return f.redMask == r && f.greenMask == g && f.blueMask == b && f.alphaMask == a;
}

uint32_t RgbFormat(const DdsPixelFormat& f)
{
    switch (f.rgbBitCount)
    {
    case 32:
        if (Masks(f, 0xFF, 0xFF00, 0xFF0000, 0xFF000000))
            return R8G8B8A8_UNORM;
        if (Masks(f, 0xFF0000, 0xFF00, 0xFF, 0xFF000000))
            return B8G8R8A8_UNORM;
        if (Masks(f, 0xFF0000, 0xFF00, 0xFF, 0))
            return B8G8R8X8_UNORM;
        if (Masks(f, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000))
            return R10G10B10A2_UNORM;
        if (Masks(f, 0xFFFF, 0xFFFF0000, 0, 0))
            return R16G16_UNORM;
        if (Masks(f, 0xFFFFFFFF, 0, 0, 0))
            return R32_FLOAT;
        break;
    case 16:
        if (Masks(f, 0x7C00, 0x3E0, 0x1F, 0x8000))
            return B5G5R5A1_UNORM;
        if (Masks(f, 0xF800, 0x7E0, 0x1F, 0))
            return B5G6R5_UNORM;
        if (Masks(f, 0xF00, 0xF0, 0xF, 0xF000))
            return B4G4R4A4_UNORM;
        break;
    default:
        break;
    }
    return 0;
}

uint32_t LuminanceFormat(const DdsPixelFormat& f)
{
    if (f.rgbBitCount == 8)
    {
        if (Masks(f, 0xFF, 0, 0, 0))
            return R8_UNORM;
        if (Masks(f, 0xFF, 0, 0, 0xFF00))
            return R8G8_UNORM;
    }
    if (f.rgbBitCount == 16)
    {
        if (Masks(f, 0xFFFF, 0, 0, 0))
            return R16_UNORM;
        if (Masks(f, 0xFF, 0, 0, 0xFF00))
            return R8G8_UNORM;
    }
    return 0;
}

uint32_t BumpFormat(const DdsPixelFormat& f)
{
    if (f.rgbBitCount == 16 && Masks(f, 0xFF, 0xFF00, 0, 0))
        return R8G8_SNORM;
    if (f.rgbBitCount == 32)
    {
        if (Masks(f, 0xFF, 0xFF00, 0xFF0000, 0xFF000000))
            return R8G8B8A8_SNORM;
        if (Masks(f, 0xFFFF, 0xFFFF0000, 0, 0))
            return R16G16_SNORM;
    }
    return 0;
}

uint32_t FourCCFormat(uint32_t fourCC)
{
    using Dds::FourCC;
    struct Row
    {
        uint32_t fourCC;
        uint32_t format;
    };
    static const Row rows[] = {
        {FourCC('D', 'X', 'T', '1'), BC1_UNORM},
        {FourCC('D', 'X', 'T', '3'), BC2_UNORM},
        {FourCC('D', 'X', 'T', '2'), BC2_UNORM},
        {FourCC('D', 'X', 'T', '5'), BC3_UNORM},
        {FourCC('D', 'X', 'T', '4'), BC3_UNORM},
        {FourCC('A', 'T', 'I', '1'), BC4_UNORM},
        {FourCC('B', 'C', '4', 'U'), BC4_UNORM},
        {FourCC('B', 'C', '4', 'S'), BC4_SNORM},
        {FourCC('A', 'T', 'I', '2'), BC5_UNORM},
        {FourCC('B', 'C', '5', 'U'), BC5_UNORM},
        {FourCC('B', 'C', '5', 'S'), BC5_SNORM},
        {FourCC('R', 'G', 'B', 'G'), R8G8_B8G8_UNORM},
        {FourCC('G', 'R', 'G', 'B'), G8R8_G8B8_UNORM},
        {FourCC('Y', 'U', 'Y', '2'), 107},
        // Direct3D 9 format numbers in the FourCC field.
        {36, R16G16B16A16_UNORM},
        {110, R16G16B16A16_SNORM},
        {111, R16_FLOAT},
        {112, R16G16_FLOAT},
        {113, R16G16B16A16_FLOAT},
        {114, R32_FLOAT},
        {115, R32G32_FLOAT},
        {116, R32G32B32A32_FLOAT},
    };
    for (const Row& row : rows)
    {
        if (row.fourCC == fourCC)
            return row.format;
    }
    return 0;
}

// A DX10 extended header after the header.
bool HasDx10Header(const DdsHeader& header)
{
    return (header.pixelFormat.flags & Dds::PixelFourCC) && header.pixelFormat.fourCC == Dds::FourCC('D', 'X', '1', '0');
}

uint32_t Halve(uint32_t size)
{
    return size > 1 ? size / 2 : 1;
}
} // namespace

uint32_t DdsPixelFormatToDxgi(const DdsPixelFormat& format)
{
    if (format.flags & Dds::PixelRgb)
        return RgbFormat(format);
    if (format.flags & Dds::PixelLuminance)
        return LuminanceFormat(format);
    if (format.flags & Dds::PixelAlpha)
        return format.rgbBitCount == 8 ? (uint32_t)A8_UNORM : 0u;
    if (format.flags & Dds::PixelBump)
        return BumpFormat(format);
    if (format.flags & Dds::PixelFourCC)
        return FourCCFormat(format.fourCC);
    return 0;
}

uint32_t DxgiBitsPerPixel(uint32_t format)
{
    if (format >= 1 && format <= 4)
        return 128;
    if (format >= 5 && format <= 8)
        return 96;
    if ((format >= 9 && format <= 22) || format == 102 || format == 108 || format == 109)
        return 64;
    if ((format >= 23 && format <= 47) || (format >= 67 && format <= 69) || (format >= 87 && format <= 93) ||
        format == 100 || format == 101 || format == 107)
        return 32;
    if (format == 104 || format == 105)
        return 24;
    if ((format >= 48 && format <= 59) || format == 85 || format == 86 || format == 114 || format == 115)
        return 16;
    if (format == 103 || format == 106 || format == 110)
        return 12;
    if ((format >= 60 && format <= 65) || (format >= 111 && format <= 113))
        return 8;
    if (format == 66)
        return 1;
    if ((format >= 70 && format <= 72) || (format >= 79 && format <= 81))
        return 4;
    if ((format >= 73 && format <= 78) || (format >= 82 && format <= 84) || (format >= 94 && format <= 99))
        return 8;
    return 0;
}

uint32_t ToSrgbFormat(uint32_t format)
{
    switch (format)
    {
    case R8G8B8A8_UNORM:
        return R8G8B8A8_UNORM_SRGB;
    case BC1_UNORM:
        return BC1_UNORM_SRGB;
    case BC2_UNORM:
        return BC2_UNORM_SRGB;
    case BC3_UNORM:
        return BC3_UNORM_SRGB;
    case B8G8R8A8_UNORM:
        return B8G8R8A8_UNORM_SRGB;
    case B8G8R8X8_UNORM:
        return B8G8R8X8_UNORM_SRGB;
    case BC7_UNORM:
        return BC7_UNORM_SRGB;
    default:
        return format;
    }
}

int32_t GetSurfacePitch(uint32_t width, uint32_t height, uint32_t format, uint64_t* rowBytes, uint64_t* rowCount,
                        uint64_t* surfaceBytes)
{
    const uint64_t w = width;
    const uint64_t h = height;
    uint64_t row = 0;
    uint64_t rows = 0;
    uint64_t surface = 0;

    const bool bc8 = (format >= 70 && format <= 72) || (format >= 79 && format <= 81);
    const bool bc16 = (format >= 73 && format <= 78) || (format >= 82 && format <= 84) || (format >= 94 && format <= 99);
    if (bc8 || bc16)
    {
        const uint64_t blockBytes = bc8 ? 8 : 16;
        // At least one block per row and one row of blocks; none for a zero size.
        row = (w + 3) / 4 * blockBytes;
        rows = (h + 3) / 4;
        surface = row * rows;
    }
    else if (format == R8G8_B8G8_UNORM || format == G8R8_G8B8_UNORM || format == 107)
    {
        row = (w + 1) / 2 * 4;
        rows = h;
        surface = row * h;
    }
    else if (format == 108 || format == 109) // Y210, Y216
    {
        row = (w + 1) / 2 * 8;
        rows = h;
        surface = row * h;
    }
    else if (format == 110) // NV11
    {
        row = (w + 3) / 4 * 4;
        rows = h * 2;
        surface = row * rows;
    }
    else if (format == 103 || format == 106 || format == 104 || format == 105) // NV12, 420_OPAQUE, P010, P016
    {
        row = (w + 1) / 2 * (format == 104 || format == 105 ? 4 : 2);
        rows = h + (h + 1) / 2;
        const uint64_t s = row * h;
        surface = s + s / 2;
    }
    else
    {
        const uint64_t bits = DxgiBitsPerPixel(format);
        if (bits == 0)
            return Result::InvalidArgument;
        row = (w * bits + 7) / 8;
        rows = h;
        surface = row * h;
    }

    if (rowBytes)
        *rowBytes = row;
    if (rowCount)
        *rowCount = rows;
    if (surfaceBytes)
        *surfaceBytes = surface;
    return Result::Ok;
}

int32_t ReadDdsHeader(const void* data, uint64_t size, DdsTexture* texture)
{
    if (!data || !texture)
        return Result::InvalidArgument;
    if (size < Dds::DataOffset || size > MaxU32)
        return Result::Fail;

    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint32_t magic = 0;
    memcpy(&magic, bytes, sizeof(magic));
    DdsHeader header;
    memcpy(&header, bytes + 4, sizeof(header));
    if (magic != Dds::Magic || header.size != Dds::HeaderSize || header.pixelFormat.size != Dds::PixelFormatSize)
        return Result::Fail;

    DdsTexture t = {};
    t.width = header.width;
    t.height = header.height;
    t.depth = header.depth;
    t.mipCount = header.mipMapCount ? header.mipMapCount : 1;
    uint64_t arraySize = 1; // wide: a cube multiplies the extended header's count by six
    t.dataOffset = Dds::DataOffset;

    if (HasDx10Header(header))
    {
        if (size < Dds::DataOffsetDx10)
            return Result::Fail;
        DdsHeaderDx10 extended;
        memcpy(&extended, bytes + Dds::DataOffset, sizeof(extended));
        t.dataOffset = Dds::DataOffsetDx10;

        arraySize = extended.arraySize;
        if (arraySize == 0)
            return Result::InvalidData;
        t.format = extended.dxgiFormat;
        if ((t.format >= AI44 && t.format <= A8P8) || DxgiBitsPerPixel(t.format) == 0)
            return Result::NotSupported;

        switch (extended.resourceDimension)
        {
        case Dimension1D:
            if ((header.flags & Dds::FlagHeight) && t.height != 1)
                return Result::InvalidData;
            t.height = 1;
            t.depth = 1;
            break;
        case Dimension2D:
            if (extended.miscFlag & Dds::MiscCube)
            {
                arraySize *= 6;
                t.cube = true;
            }
            t.depth = 1;
            break;
        case Dimension3D:
            if (!(header.flags & Dds::FlagVolume))
                return Result::InvalidData;
            if (arraySize > 1)
                return Result::NotSupported;
            break;
        default:
            return Result::NotSupported;
        }
        t.dimension = extended.resourceDimension;
    }
    else
    {
        t.format = DdsPixelFormatToDxgi(header.pixelFormat);
        if (t.format == 0)
            return Result::NotSupported;
        if (header.flags & Dds::FlagVolume)
        {
            t.dimension = Dimension3D;
        }
        else
        {
            t.dimension = Dimension2D;
            t.depth = 1;
            if (header.caps2 & Dds::Caps2Cube)
            {
                if ((header.caps2 & Dds::Caps2AllFaces) != Dds::Caps2AllFaces)
                    return Result::NotSupported;
                arraySize = 6;
                t.cube = true;
            }
        }
    }

    // Direct3D refuses empty textures; refusing them here keeps every later size above 0.
    if (t.width == 0 || t.height == 0 || t.depth == 0)
        return Result::InvalidData;

    if (t.mipCount > MaxMipLevels)
        return Result::NotSupported;
    switch (t.dimension)
    {
    case Dimension1D:
        if (arraySize > MaxArraySize || t.width > Max1DSize)
            return Result::NotSupported;
        break;
    case Dimension2D:
        if (arraySize > MaxArraySize || t.width > Max2DSize || t.height > Max2DSize)
            return Result::NotSupported;
        break;
    default:
        if (arraySize > 1 || t.width > Max3DSize || t.height > Max3DSize || t.depth > Max3DSize)
            return Result::NotSupported;
        break;
    }
    t.arraySize = (uint32_t)arraySize;
    t.dataSize = size - t.dataOffset;
    *texture = t;
    return Result::Ok;
}

int32_t FillDdsSubresources(const DdsTexture& texture, uint32_t maxSize, DdsSubresource* records, DdsLevels* levels)
{
    if (!records || !levels)
        return Result::InvalidArgument;
    DdsLevels kept = {};
    uint64_t position = 0;
    uint32_t count = 0;

    for (uint32_t item = 0; item < texture.arraySize; ++item)
    {
        uint32_t w = texture.width;
        uint32_t h = texture.height;
        uint32_t d = texture.depth;
        for (uint32_t level = 0; level < texture.mipCount; ++level)
        {
            uint64_t rowBytes = 0;
            uint64_t surfaceBytes = 0;
            const int32_t result = GetSurfacePitch(w, h, texture.format, &rowBytes, nullptr, &surfaceBytes);
            if (result != Result::Ok)
                return result;
            if (rowBytes > MaxU32 || surfaceBytes > MaxU32)
                return Result::ArithmeticOverflow;

            if (texture.mipCount == 1 || maxSize == 0 || (w <= maxSize && h <= maxSize && d <= maxSize))
            {
                if (kept.width == 0)
                {
                    kept.width = w;
                    kept.height = h;
                    kept.depth = d;
                }
                records[count].offset = position;
                records[count].rowPitch = (uint32_t)rowBytes;
                records[count].slicePitch = (uint32_t)surfaceBytes;
                ++count;
            }
            else if (item == 0)
            {
                ++kept.skipped;
            }

            // Every depth slice of the level must lie inside the data (at most 4 GiB ×
            // 2048 slices: no 64-bit overflow).
            position += surfaceBytes * d;
            if (position > texture.dataSize)
                return Result::HandleEof;
            w = Halve(w);
            h = Halve(h);
            d = Halve(d);
        }
    }
    if (count == 0)
        return Result::Fail;
    kept.count = texture.mipCount - kept.skipped;
    *levels = kept;
    return Result::Ok;
}

uint32_t DdsRetryMaxSize(uint32_t featureLevel, uint32_t dimension, bool cube)
{
    const bool volume = dimension == Dimension3D;
    if (featureLevel <= FeatureLevel9_2)
        return cube ? 512 : (volume ? 256 : 2048);
    if (featureLevel == FeatureLevel9_3)
        return volume ? 256 : 4096;
    return volume ? 2048 : 8192;
}

uint32_t MaxTexture2DSize(uint32_t featureLevel)
{
    if (featureLevel <= FeatureLevel9_2)
        return 2048;
    if (featureLevel == FeatureLevel9_3)
        return 4096;
    if (featureLevel <= FeatureLevel10_1)
        return 8192;
    return 16384;
}

void FitToMaxSize(uint32_t width, uint32_t height, uint32_t maxSize, uint32_t* fittedWidth, uint32_t* fittedHeight)
{
    uint32_t w = width;
    uint32_t h = height;
    if (width > maxSize || height > maxSize)
    {
        const float ratio = (float)height / (float)width;
        if (width > height)
        {
            w = maxSize;
            const float scaled = (float)maxSize * ratio;
            h = scaled >= 1.0f ? (uint32_t)scaled : 1;
        }
        else
        {
            h = maxSize;
            const float scaled = (float)maxSize / ratio;
            w = scaled >= 1.0f ? (uint32_t)scaled : 1;
        }
    }
    *fittedWidth = w;
    *fittedHeight = h;
}

namespace
{
uint32_t BigEndian16(const uint8_t* p)
{
    return uint32_t(p[0]) << 8 | p[1];
}

uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t LittleEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool PeekPng(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height, uint32_t* bits)
{
    static const uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 26 || memcmp(data, Signature, 8) != 0 || memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    *width = BigEndian32(data + 16);
    *height = BigEndian32(data + 20);
    const uint32_t depth = data[24];
    switch (data[25])
    {
    case 0: *bits = depth; break;     // grey
    case 2: *bits = 3 * depth; break; // RGB
    case 3: *bits = 32; break;        // palette, expanded
    case 4: *bits = 2 * depth; break; // grey and alpha
    case 6: *bits = 4 * depth; break; // RGBA
    default: *bits = 4 * depth; break;
    }
    if (*bits < 8)
        *bits = 8;
    return true;
}

// The first start-of-frame marker's size and components.
bool PeekJpeg(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height, uint32_t* bits)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    size_t p = 2;
    while (p + 4 <= size)
    {
        if (data[p] != 0xFF)
            return false;
        const uint8_t marker = data[p + 1];
        if (marker == 0xFF)
        {
            ++p;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
        {
            p += 2;
            continue;
        }
        const uint32_t length = BigEndian16(data + p + 2);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
        {
            if (p + 10 > size)
                return false;
            *height = BigEndian16(data + p + 5);
            *width = BigEndian16(data + p + 7);
            const uint32_t precision = data[p + 4] > 8 ? 16 : 8;
            *bits = precision * data[p + 9];
            if (*bits < 8)
                *bits = 8;
            return true;
        }
        if (marker == 0xD9 || marker == 0xDA || length < 2)
            return false;
        p += 2 + length;
    }
    return false;
}

bool PeekBmp(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height, uint32_t* bits)
{
    if (size < 26 || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t headerSize = LittleEndian32(data + 14);
    if (headerSize == 12)
    {
        *width = uint32_t(data[18]) | uint32_t(data[19]) << 8;
        *height = uint32_t(data[20]) | uint32_t(data[21]) << 8;
    }
    else
    {
        const int32_t w = int32_t(LittleEndian32(data + 18));
        const int32_t h = int32_t(LittleEndian32(data + 22));
        *width = w < 0 ? 0u - uint32_t(w) : uint32_t(w);
        *height = h < 0 ? 0u - uint32_t(h) : uint32_t(h);
    }
    *bits = 32;
    return true;
}

bool PeekGif(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height, uint32_t* bits)
{
    if (size < 10 || (memcmp(data, "GIF87a", 6) != 0 && memcmp(data, "GIF89a", 6) != 0))
        return false;
    *width = uint32_t(data[6]) | uint32_t(data[7]) << 8;
    *height = uint32_t(data[8]) | uint32_t(data[9]) << 8;
    *bits = 32;
    return true;
}
} // namespace

bool PeekImageHeader(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height, uint32_t* bits)
{
    *width = *height = *bits = 0;
    if (!data)
        return false;
    return PeekPng(data, size, width, height, bits) || PeekJpeg(data, size, width, height, bits) ||
           PeekBmp(data, size, width, height, bits) || PeekGif(data, size, width, height, bits);
}

uint64_t DecodedBytes(uint32_t width, uint32_t height, uint32_t bits)
{
    return ((uint64_t)width * bits + 7) / 8 * height;
}
} // namespace ImageTextureLoader
