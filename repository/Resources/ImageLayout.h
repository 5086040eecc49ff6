// The portable rules of the image loaders: what a DDS file's headers describe, the DXGI
// formats of its pixel formats, the bytes of each surface and where every subresource
// lies in the pixel data, and the size a decoded image is fitted to. Every size, count,
// pitch and offset read from a file is checked against the data in 64-bit arithmetic
// before anything uses it. The Windows loader creates the Direct3D resources from this.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ImageTextureLoader
{
// Results, as the HRESULT values Windows gives these names (the Windows build checks
// them against its headers).
namespace Result
{
constexpr int32_t Ok = 0;
constexpr int32_t Fail = (int32_t)0x80004005u;               // E_FAIL
constexpr int32_t InvalidArgument = (int32_t)0x80070057u;    // E_INVALIDARG
constexpr int32_t OutOfMemory = (int32_t)0x8007000Eu;        // E_OUTOFMEMORY
constexpr int32_t Unexpected = (int32_t)0x8000FFFFu;         // E_UNEXPECTED
constexpr int32_t NoInterface = (int32_t)0x80004002u;        // E_NOINTERFACE
constexpr int32_t Pointer = (int32_t)0x80004003u;            // E_POINTER
constexpr int32_t InvalidData = (int32_t)0x8007000Du;        // from ERROR_INVALID_DATA
constexpr int32_t HandleEof = (int32_t)0x80070026u;          // from ERROR_HANDLE_EOF
constexpr int32_t NotSupported = (int32_t)0x80070032u;       // from ERROR_NOT_SUPPORTED
constexpr int32_t FileTooLarge = (int32_t)0x800700DFu;       // from ERROR_FILE_TOO_LARGE
constexpr int32_t ArithmeticOverflow = (int32_t)0x80070216u; // from ERROR_ARITHMETIC_OVERFLOW
} // namespace Result

// Resource dimensions, in Direct3D's numbers.
enum Dimension : uint32_t
{
    Dimension1D = 2,
    Dimension2D = 3,
    Dimension3D = 4,
};

// The layout of a DDS file.
namespace Dds
{
constexpr uint32_t Magic = 0x20534444u; // "DDS "
constexpr uint32_t HeaderSize = 124;    // the header after the magic
constexpr uint32_t PixelFormatSize = 32;
constexpr uint32_t DataOffset = 128;     // magic and header
constexpr uint32_t DataOffsetDx10 = 148; // with the extended header

constexpr uint32_t FlagHeight = 0x2;
constexpr uint32_t FlagVolume = 0x800000;

constexpr uint32_t PixelAlpha = 0x2;
constexpr uint32_t PixelFourCC = 0x4;
constexpr uint32_t PixelRgb = 0x40;
constexpr uint32_t PixelLuminance = 0x20000;
constexpr uint32_t PixelBump = 0x80000;

constexpr uint32_t Caps2Cube = 0x200;
constexpr uint32_t Caps2AllFaces = 0xFE00; // the cube bit and the six face bits

constexpr uint32_t MiscCube = 0x4; // extended header's misc flag

constexpr uint32_t FourCC(char a, char b, char c, char d)
{
    return (uint32_t)(uint8_t)a | ((uint32_t)(uint8_t)b << 8) | ((uint32_t)(uint8_t)c << 16) |
           ((uint32_t)(uint8_t)d << 24);
}
} // namespace Dds

struct DdsPixelFormat
{
    uint32_t size;
    uint32_t flags;
    uint32_t fourCC;
    uint32_t rgbBitCount;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
};

// The header fields the loader reads (little-endian in the file, after the magic).
struct DdsHeader
{
    uint32_t size;
    uint32_t flags;
    uint32_t height;
    uint32_t width;
    uint32_t pitchOrLinearSize;
    uint32_t depth;
    uint32_t mipMapCount;
    uint32_t reserved1[11];
    DdsPixelFormat pixelFormat;
    uint32_t caps;
    uint32_t caps2;
    uint32_t caps3;
    uint32_t caps4;
    uint32_t reserved2;
};
static_assert(sizeof(DdsHeader) == Dds::HeaderSize, "the DDS header is 124 bytes");

struct DdsHeaderDx10
{
    uint32_t dxgiFormat;
    uint32_t resourceDimension;
    uint32_t miscFlag;
    uint32_t arraySize;
    uint32_t miscFlags2;
};
static_assert(sizeof(DdsHeaderDx10) == 20, "the extended header is 20 bytes");

// What a DDS file's headers describe, checked and limited.
struct DdsTexture
{
    uint32_t dimension;  // Dimension1D, 2D or 3D
    uint32_t width;
    uint32_t height;     // 1 for 1D
    uint32_t depth;      // 1 unless 3D
    uint32_t mipCount;   // 1 to 15
    uint32_t arraySize;  // six faces per cube
    uint32_t format;     // DXGI_FORMAT, before any sRGB variant
    bool cube;
    uint32_t dataOffset; // where the pixel data begin in the file
    uint64_t dataSize;   // bytes of pixel data: the file's size less dataOffset
};

// Reads and checks the headers of a DDS file of size bytes. Fail: shorter than the
// header, larger than 4 GiB, wrong magic or structure sizes; InvalidData: an array size
// of 0, a 1D texture taller than 1, a 3D texture without the volume flag, a zero width,
// height or depth; NotSupported: an unknown or palette format, an incomplete cube, an
// unknown dimension, or a size, array size or mip count above Direct3D 11's limits.
int32_t ReadDdsHeader(const void* data, uint64_t size, DdsTexture* texture);

// The DXGI format of a legacy pixel format; 0 when it has none.
uint32_t DdsPixelFormatToDxgi(const DdsPixelFormat& format);

// Bits per pixel of a DXGI format (block formats per pixel); 0 for UNKNOWN and above 115.
uint32_t DxgiBitsPerPixel(uint32_t format);

// The sRGB variant of a format, or the format itself when it has none.
uint32_t ToSrgbFormat(uint32_t format);

// Bytes of one row (of blocks, for block formats), rows and bytes of a level of
// width × height. InvalidArgument for a format without bits per pixel.
int32_t GetSurfacePitch(uint32_t width, uint32_t height, uint32_t format, uint64_t* rowBytes, uint64_t* rowCount,
                        uint64_t* surfaceBytes);

// Where one subresource lies in the pixel data.
struct DdsSubresource
{
    uint64_t offset;     // from the start of the pixel data
    uint32_t rowPitch;   // bytes of a row
    uint32_t slicePitch; // bytes of a depth slice (a whole 2D surface)
};

// The levels that FillDdsSubresources kept.
struct DdsLevels
{
    uint32_t width; // of the first kept level: the texture's size
    uint32_t height;
    uint32_t depth;
    uint32_t count;   // kept levels per array item
    uint32_t skipped; // levels larger than maxSize, dropped from every item
};

// Lays out the subresources of texture, array item by array item and level by level from
// the largest: records receives arraySize × count entries (it must hold arraySize ×
// mipCount). A level larger than maxSize in any size is skipped, unless maxSize is 0 or
// there is one level. Every surface with its depth slices must lie inside dataSize
// (HandleEof); a row or surface above 4 GiB is ArithmeticOverflow; no level kept is Fail.
int32_t FillDdsSubresources(const DdsTexture& texture, uint32_t maxSize, DdsSubresource* records,
                            DdsLevels* levels);

// Feature levels, in Direct3D's numbers.
enum FeatureLevel : uint32_t
{
    FeatureLevel9_1 = 0x9100,
    FeatureLevel9_2 = 0x9200,
    FeatureLevel9_3 = 0x9300,
    FeatureLevel10_0 = 0xA000,
    FeatureLevel10_1 = 0xA100,
    FeatureLevel11_0 = 0xB000,
};

// The size limit of the DDS loader's second try, after a creation with all levels failed.
uint32_t DdsRetryMaxSize(uint32_t featureLevel, uint32_t dimension, bool cube);

// The largest 2D texture of a feature level: the WIC loader's size limit when none is given.
uint32_t MaxTexture2DSize(uint32_t featureLevel);

// The size an image of width × height (both above 0) is scaled to so that neither side
// exceeds maxSize, keeping the aspect ratio; its own size when it fits.
void FitToMaxSize(uint32_t width, uint32_t height, uint32_t maxSize, uint32_t* fittedWidth, uint32_t* fittedHeight);

// Most bytes one image may decode to (its pixels as decoded and as converted for the
// device): a small file of 16384 x 16384 16-bit pixels would need 2 GiB, and as much again
// on the GPU. A larger image is refused with an error line.
constexpr uint64_t MaxDecodedBytes = 256ull << 20;

// What a PNG, JPEG, BMP or GIF header states: the size and the bits per pixel the image
// decodes to (indexed and BMP images to 32). False for other data and a header cut short.
// Decoders may hold the whole image as soon as they open it, so this is read first.
bool PeekImageHeader(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height, uint32_t* bits);

// Bytes of width x height pixels of bits each, rows rounded up to whole bytes.
uint64_t DecodedBytes(uint32_t width, uint32_t height, uint32_t bits);
} // namespace ImageTextureLoader
