// Texture creation flags and the rules that turn a texture class, its size and its
// flags into a Direct3D 11 texture description: mip counts, bind flags, usage, views,
// the combinations Direct3D refuses, memory sizes and initial-data records.
#pragma once

#include <cstdint>

namespace Brivet::Graphics
{

// The creation flags of every texture class (bits of a u32).
namespace TextureFlags
{
constexpr uint32_t DepthReadable = 1;   // a depth buffer is also a shader resource
constexpr uint32_t RenderTarget = 2;
constexpr uint32_t UnorderedAccess = 4;
constexpr uint32_t Dynamic = 8;         // CPU write (Upload)
constexpr uint32_t Staging = 16;        // CPU read
constexpr uint32_t MipChain = 32;       // mip chain with generation
} // namespace TextureFlags

enum class TextureKind : uint32_t
{
    Texture1D,
    Texture2D, // also RenderTarget
    Texture3D,
    Cube,
    DepthStencil,
};

// What Create passes to Direct3D, in Direct3D's own numbers (the Windows build checks
// them against d3d11.h), and which views it creates after the texture.
struct TextureDescription
{
    enum : uint32_t
    {
        UsageDefault = 0,
        UsageDynamic = 2,
        UsageStaging = 3,
    };
    enum : uint32_t
    {
        BindShaderResource = 0x8,
        BindRenderTarget = 0x20,
        BindDepthStencil = 0x40,
        BindUnorderedAccess = 0x80,
    };
    enum : uint32_t
    {
        CpuAccessWrite = 0x10000,
        CpuAccessRead = 0x20000,
    };
    enum : uint32_t
    {
        MiscGenerateMips = 0x1,
        MiscTextureCube = 0x4,
    };

    uint32_t mipLevels; // 0: the full chain
    uint32_t arraySize; // 6 for a cube; 1 otherwise (a 3D texture has depth slices instead)
    uint32_t format;    // the texture's format (R24G8_TYPELESS for a depth buffer)
    uint32_t usage;
    uint32_t bindFlags;
    uint32_t cpuAccessFlags;
    uint32_t miscFlags;

    bool shaderResourceView;
    bool renderTargetView; // for a cube: the six face views
    bool depthStencilView;
    bool unorderedAccessView;
};

constexpr uint32_t FormatR24G8Typeless = 44;
constexpr uint32_t FormatD24UnormS8Uint = 45;
constexpr uint32_t FormatR24UnormX8Typeless = 46;

// The mip count of a mip chain over sizeBits (the sizes ORed): the index of its highest
// set bit from 16 down to 1, or 0 when none of those bits is set. 1024 gives 10.
uint32_t MipChainLevels(uint32_t sizeBits);

// The number of levels Direct3D gives a full chain (mip count 0) of these sizes.
uint32_t FullMipChainLevels(uint32_t width, uint32_t height, uint32_t depth);

// The description for a texture of kind (height and depth are ignored by the kinds that
// have none; a cube's edge is width). format is the caller's; a depth buffer ignores it.
TextureDescription DescribeTexture(TextureKind kind, uint32_t width, uint32_t height, uint32_t depth,
                                   uint32_t format, uint32_t flags);

// The levels the texture will have (a full chain resolved to its count).
uint32_t CreatedMipLevels(const TextureDescription& description, uint32_t width, uint32_t height, uint32_t depth);

// Null when Direct3D accepts the combination of usage, bind, CPU access and misc flags
// in description; otherwise the reason it refuses it, as a sentence for the log.
const char* RefusedTextureDescription(const TextureDescription& description);

// Bytes over mipLevels levels of FormatSize (format) × width × height × depth × faces,
// halving each size from one level to the next but never below 1.
uint64_t TextureMemorySize(uint32_t width, uint32_t height, uint32_t depth, uint32_t faces, uint32_t format,
                           uint32_t mipLevels);

// Initial data of one subresource, laid out as Direct3D reads it.
struct InitialDataRecord
{
    const void* data;
    uint32_t rowPitch;
    uint32_t slicePitch;
};

// Bytes of the zeroed block that stands for every level below 0 (the size of level 1;
// 0 with a single level).
uint64_t LowerLevelBytes(uint32_t width, uint32_t height, uint32_t depth, uint32_t elementSize, uint32_t levels);

// Fills faces × levels records, face by face and level by level within a face (Direct3D's
// subresource order): level 0 of face f is read from data at f × (one face's level 0),
// rows packed at elementSize × width; every lower level reads zeros, a block of
// LowerLevelBytes bytes.
void LayoutInitialData(uint32_t width, uint32_t height, uint32_t depth, uint32_t faces, uint32_t levels,
                       uint32_t elementSize, const void* data, const void* zeros, InitialDataRecord* records);

} // namespace Brivet::Graphics
