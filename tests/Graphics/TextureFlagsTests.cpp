// Creation-flag rules of the texture classes: mip counts, descriptions per class, refused
// combinations, memory sizes and initial-data records.
#include <gtest/gtest.h>

#include <vector>

#include "Graphics/TextureFlags.h"

using namespace Brivet::Graphics;

namespace
{

constexpr uint32_t R8G8B8A8_UNORM = 28;
constexpr uint32_t R32_FLOAT = 41;
constexpr uint32_t R8_UNORM = 61;

constexpr uint32_t SRV = TextureDescription::BindShaderResource;
constexpr uint32_t RTV = TextureDescription::BindRenderTarget;
constexpr uint32_t DSV = TextureDescription::BindDepthStencil;
constexpr uint32_t UAV = TextureDescription::BindUnorderedAccess;
constexpr uint32_t Default = TextureDescription::UsageDefault;
constexpr uint32_t Dynamic = TextureDescription::UsageDynamic;
constexpr uint32_t Staging = TextureDescription::UsageStaging;
constexpr uint32_t Write = TextureDescription::CpuAccessWrite;
constexpr uint32_t Read = TextureDescription::CpuAccessRead;
constexpr uint32_t Mips = TextureDescription::MiscGenerateMips;
constexpr uint32_t Cube = TextureDescription::MiscTextureCube;

const char* KindName(TextureKind kind)
{
    switch (kind)
    {
    case TextureKind::Texture1D: return "Texture1D";
    case TextureKind::Texture2D: return "Texture2D";
    case TextureKind::Texture3D: return "Texture3D";
    case TextureKind::Cube: return "Cube";
    case TextureKind::DepthStencil: return "DepthStencil";
    }
    return "?";
}

} // namespace

TEST(TextureMips, ChainLengthIsTheHighestBitFromSixteenDownToOne)
{
    struct Case
    {
        uint32_t bits;
        uint32_t levels;
    };
    const Case cases[] = {
        {1024, 10}, {1024 | 512, 10}, {1, 0}, {0, 0}, {2, 1}, {3, 1}, {1000, 9},
        {65536, 16}, {65536 | 1024, 16}, {131072, 0}, // bits above 16 are not looked at
    };
    for (const Case& c : cases)
        EXPECT_EQ(MipChainLevels(c.bits), c.levels) << c.bits;

    EXPECT_EQ(FullMipChainLevels(1, 1, 1), 1u);
    EXPECT_EQ(FullMipChainLevels(16, 8, 4), 5u);
    EXPECT_EQ(FullMipChainLevels(3, 5, 1), 3u);
}

TEST(TextureMips, MipFlagSetsTheCountPerClass)
{
    struct Case
    {
        TextureKind kind;
        uint32_t width, height, depth;
        uint32_t flags;
        uint32_t mipLevels; // as described to Direct3D
        uint32_t created;   // levels the texture ends up with
    };
    const Case cases[] = {
        {TextureKind::Texture2D, 1024, 512, 1, 2 | 32, 10, 10},
        {TextureKind::Texture2D, 1, 1, 1, 2 | 32, 1, 1},
        {TextureKind::Texture2D, 256, 256, 1, 2, 1, 1},
        {TextureKind::Texture2D, 3, 1024, 1, 2 | 32, 10, 10}, // width OR height
        {TextureKind::Texture1D, 1024, 0, 0, 32, 10, 10},
        {TextureKind::Cube, 256, 0, 0, 2 | 32, 8, 8},
        {TextureKind::Cube, 256, 0, 0, 2, 1, 1},
        {TextureKind::Texture3D, 16, 8, 4, 0, 0, 5},      // always a full chain
        {TextureKind::Texture3D, 16, 8, 64, 2 | 32, 6, 6}, // width OR height OR depth
        {TextureKind::Texture3D, 1, 1, 1, 2 | 32, 0, 1},   // no bit: stays the full chain
        {TextureKind::DepthStencil, 1024, 1024, 1, 32, 1, 1},
    };
    for (const Case& c : cases)
    {
        const TextureDescription d = DescribeTexture(c.kind, c.width, c.height, c.depth, R8G8B8A8_UNORM, c.flags);
        EXPECT_EQ(d.mipLevels, c.mipLevels) << KindName(c.kind) << " " << c.width << "x" << c.height;
        EXPECT_EQ(CreatedMipLevels(d, c.width, c.height, c.depth), c.created) << KindName(c.kind);
    }
}

TEST(TextureDescription, FlagsGiveBindUsageAccessAndViewsPerClass)
{
    struct Case
    {
        TextureKind kind;
        uint32_t flags;
        uint32_t arraySize, usage, bind, cpu, misc;
        bool srv, rtv, dsv, uav;
        bool accepted;
    };
    const Case cases[] = {
        // Texture1D: only 4 and 32 count.
        {TextureKind::Texture1D, 0, 1, Default, SRV, 0, 0, true, false, false, false, true},
        {TextureKind::Texture1D, 1 | 2 | 8 | 16, 1, Default, SRV, 0, 0, true, false, false, false, true},
        {TextureKind::Texture1D, 4, 1, Default, SRV | UAV, 0, 0, true, false, false, true, true},
        {TextureKind::Texture1D, 32, 1, Default, SRV, 0, Mips, true, false, false, false, false},

        // Texture2D.
        {TextureKind::Texture2D, 0, 1, Default, SRV, 0, 0, true, false, false, false, true},
        {TextureKind::Texture2D, 1, 1, Default, SRV, 0, 0, true, false, false, false, true},
        {TextureKind::Texture2D, 2, 1, Default, SRV | RTV, 0, 0, true, true, false, false, true},
        {TextureKind::Texture2D, 2 | 4, 1, Default, SRV | RTV | UAV, 0, 0, true, true, false, true, true},
        {TextureKind::Texture2D, 8, 1, Dynamic, SRV, Write, 0, true, false, false, false, true},
        {TextureKind::Texture2D, 16, 1, Staging, 0, Read, 0, false, false, false, false, true},
        {TextureKind::Texture2D, 2 | 4 | 16, 1, Staging, 0, Read, 0, false, false, false, false, true},
        {TextureKind::Texture2D, 8 | 16, 1, Staging, 0, Write | Read, 0, false, false, false, false, true},
        {TextureKind::Texture2D, 2 | 32, 1, Default, SRV | RTV, 0, Mips, true, true, false, false, true},
        {TextureKind::Texture2D, 32, 1, Default, SRV, 0, Mips, true, false, false, false, false},
        {TextureKind::Texture2D, 2 | 8, 1, Dynamic, SRV | RTV, Write, 0, true, true, false, false, false},
        {TextureKind::Texture2D, 4 | 8, 1, Dynamic, SRV | UAV, Write, 0, true, false, false, true, false},
        {TextureKind::Texture2D, 2 | 8 | 32, 1, Dynamic, SRV | RTV, Write, Mips, true, true, false, false, false},
        {TextureKind::Texture2D, 2 | 16 | 32, 1, Staging, 0, Read, Mips, false, false, false, false, false},

        // Texture3D: 2 binds without a view; 8 and 16 do nothing.
        {TextureKind::Texture3D, 0, 1, Default, SRV, 0, 0, true, false, false, false, true},
        {TextureKind::Texture3D, 2, 1, Default, SRV | RTV, 0, 0, true, false, false, false, true},
        {TextureKind::Texture3D, 4 | 8 | 16, 1, Default, SRV | UAV, 0, 0, true, false, false, true, true},
        {TextureKind::Texture3D, 2 | 32, 1, Default, SRV | RTV, 0, Mips, true, false, false, false, true},
        {TextureKind::Texture3D, 32, 1, Default, SRV, 0, Mips, true, false, false, false, false},

        // TextureCube.
        {TextureKind::Cube, 0, 6, Default, SRV, 0, Cube, true, false, false, false, true},
        {TextureKind::Cube, 1 | 2, 6, Default, SRV | RTV, 0, Cube, true, true, false, false, true},
        {TextureKind::Cube, 2 | 32, 6, Default, SRV | RTV, 0, Cube | Mips, true, true, false, false, true},
        {TextureKind::Cube, 4, 6, Default, SRV | UAV, 0, Cube, true, false, false, true, false},
        {TextureKind::Cube, 8, 6, Dynamic, SRV, Write, Cube, true, false, false, false, false},
        {TextureKind::Cube, 16, 6, Default, SRV, Read, Cube, true, false, false, false, false},
        {TextureKind::Cube, 32, 6, Default, SRV, 0, Cube | Mips, true, false, false, false, false},

        // DepthStencil: only 1 counts.
        {TextureKind::DepthStencil, 0, 1, Default, DSV, 0, 0, false, false, true, false, true},
        {TextureKind::DepthStencil, 1, 1, Default, DSV | SRV, 0, 0, true, false, true, false, true},
        {TextureKind::DepthStencil, 2 | 4 | 8 | 16 | 32, 1, Default, DSV, 0, 0, false, false, true, false, true},
    };
    for (const Case& c : cases)
    {
        const TextureDescription d = DescribeTexture(c.kind, 64, 64, 4, R8G8B8A8_UNORM, c.flags);
        const std::string what = std::string(KindName(c.kind)) + " flags " + std::to_string(c.flags);
        EXPECT_EQ(d.arraySize, c.arraySize) << what;
        EXPECT_EQ(d.usage, c.usage) << what;
        EXPECT_EQ(d.bindFlags, c.bind) << what;
        EXPECT_EQ(d.cpuAccessFlags, c.cpu) << what;
        EXPECT_EQ(d.miscFlags, c.misc) << what;
        EXPECT_EQ(d.shaderResourceView, c.srv) << what;
        EXPECT_EQ(d.renderTargetView, c.rtv) << what;
        EXPECT_EQ(d.depthStencilView, c.dsv) << what;
        EXPECT_EQ(d.unorderedAccessView, c.uav) << what;
        const char* refused = RefusedTextureDescription(d);
        EXPECT_EQ(refused == nullptr, c.accepted) << what << ": " << (refused ? refused : "accepted");
    }
}

TEST(TextureDescription, DepthBufferIsAlways24BitDepth8BitStencil)
{
    for (uint32_t format : {R32_FLOAT, 40u, 55u, 0u})
    {
        const TextureDescription d = DescribeTexture(TextureKind::DepthStencil, 32, 32, 1, format, 1);
        EXPECT_EQ(d.format, FormatR24G8Typeless) << format;
    }
    EXPECT_EQ(DescribeTexture(TextureKind::Texture2D, 32, 32, 1, R32_FLOAT, 0).format, R32_FLOAT);
}

TEST(TextureDescription, RefusalsNameTheirReason)
{
    const auto reason = [](TextureKind kind, uint32_t flags) {
        const char* text = RefusedTextureDescription(DescribeTexture(kind, 16, 16, 1, R8G8B8A8_UNORM, flags));
        return std::string(text ? text : "");
    };
    EXPECT_EQ(reason(TextureKind::Texture2D, 32), "mip generation needs a render target that shaders read");
    EXPECT_EQ(reason(TextureKind::Texture2D, 2 | 8), "a dynamic texture cannot be a render target or have unordered access");
    EXPECT_EQ(reason(TextureKind::Cube, 8), "a dynamic texture has a single level and a single slice");
    EXPECT_EQ(reason(TextureKind::Cube, 16), "CPU access needs a dynamic or staging texture");
    EXPECT_EQ(reason(TextureKind::Cube, 4), "a cube has no unordered-access view over its six faces");
}

TEST(TextureMemory, SumsEveryLevel)
{
    EXPECT_EQ(TextureMemorySize(256, 256, 1, 1, R8G8B8A8_UNORM, 1), 262144u);
    EXPECT_EQ(TextureMemorySize(16, 16, 1, 6, R32_FLOAT, 1), 6144u);
    // 4x2, 2x1, 1x1 floats.
    EXPECT_EQ(TextureMemorySize(4, 2, 1, 1, R32_FLOAT, 3), (8u + 2u + 1u) * 4u);
    // 4x4x2, 2x2x1, 1x1x1: the depth never halves below 1.
    EXPECT_EQ(TextureMemorySize(4, 4, 2, 1, R32_FLOAT, 3), (32u + 4u + 1u) * 4u);
    // A 1024-wide 1D chain of 10 levels: 1024 + 512 + ... + 2 bytes.
    EXPECT_EQ(TextureMemorySize(1024, 1, 1, 1, R8_UNORM, 10), 2046u);
    // A cube of 4 with three levels: (16 + 4 + 1) texels per face.
    EXPECT_EQ(TextureMemorySize(4, 4, 1, 6, R8G8B8A8_UNORM, 3), 21u * 6u * 4u);
    EXPECT_EQ(TextureMemorySize(64, 64, 1, 1, R8G8B8A8_UNORM, 0), 0u);
}

TEST(TextureInitialData, EverySubresourceGetsARecordAndOnlyLevelZeroReadsTheCallersData)
{
    // A cube of 4 texels, three levels, one byte per texel: 18 records, face-major.
    const uint32_t faces = 6;
    const uint32_t levels = 3;
    std::vector<uint8_t> data(6 * 16);
    const uint64_t zeroBytes = LowerLevelBytes(4, 4, 1, 1, levels);
    EXPECT_EQ(zeroBytes, 4u); // level 1 is 2x2
    std::vector<uint8_t> zeros(zeroBytes);
    std::vector<InitialDataRecord> records(faces * levels);
    LayoutInitialData(4, 4, 1, faces, levels, 1, data.data(), zeros.data(), records.data());
    for (uint32_t face = 0; face < faces; ++face)
    {
        const InitialDataRecord* level = &records[face * levels];
        EXPECT_EQ(level[0].data, data.data() + face * 16) << face;
        EXPECT_EQ(level[0].rowPitch, 4u);
        EXPECT_EQ(level[0].slicePitch, 16u);
        EXPECT_EQ(level[1].data, zeros.data());
        EXPECT_EQ(level[1].rowPitch, 2u);
        EXPECT_EQ(level[2].data, zeros.data());
        EXPECT_EQ(level[2].rowPitch, 1u);
    }

    // A 3D texture of 4x2x2 floats with its full chain: three levels.
    const uint32_t levels3D = FullMipChainLevels(4, 2, 2);
    ASSERT_EQ(levels3D, 3u);
    EXPECT_EQ(LowerLevelBytes(4, 2, 2, 4, levels3D), 2u * 1u * 1u * 4u);
    std::vector<float> volume(4 * 2 * 2);
    std::vector<InitialDataRecord> volumeRecords(levels3D);
    LayoutInitialData(4, 2, 2, 1, levels3D, 4, volume.data(), zeros.data(), volumeRecords.data());
    EXPECT_EQ(volumeRecords[0].data, volume.data());
    EXPECT_EQ(volumeRecords[0].rowPitch, 16u);
    EXPECT_EQ(volumeRecords[0].slicePitch, 32u);
    EXPECT_EQ(volumeRecords[1].rowPitch, 8u);
    EXPECT_EQ(volumeRecords[2].data, zeros.data());

    // One level needs no zeros.
    EXPECT_EQ(LowerLevelBytes(256, 256, 1, 4, 1), 0u);
}
