// Creation-flag rules of the texture classes.
#include "Graphics/TextureFlags.h"

#include "Graphics/Format.h"

namespace Brivet::Graphics
{

namespace
{

uint32_t Halved(uint32_t size)
{
    return size > 1 ? size / 2 : 1;
}

} // namespace

uint32_t MipChainLevels(uint32_t sizeBits)
{
    for (uint32_t bit = 16; bit >= 1; --bit)
    {
        if (sizeBits & (1u << bit))
            return bit;
    }
    return 0;
}

uint32_t FullMipChainLevels(uint32_t width, uint32_t height, uint32_t depth)
{
    uint32_t largest = width;
    if (height > largest)
        largest = height;
    if (depth > largest)
        largest = depth;
    uint32_t levels = 1;
    while (largest > 1)
    {
        largest /= 2;
        ++levels;
    }
    return levels;
}

TextureDescription DescribeTexture(TextureKind kind, uint32_t width, uint32_t height, uint32_t depth,
                                   uint32_t format, uint32_t flags)
{
    TextureDescription d = {};
    d.mipLevels = 1;
    d.arraySize = 1;
    d.format = format;
    d.usage = TextureDescription::UsageDefault;
    d.bindFlags = TextureDescription::BindShaderResource;

    // The depth buffer answers to flag 1 alone.
    if (kind == TextureKind::DepthStencil)
    {
        d.format = FormatR24G8Typeless;
        d.bindFlags = TextureDescription::BindDepthStencil;
        if (flags & TextureFlags::DepthReadable)
            d.bindFlags |= TextureDescription::BindShaderResource;
        d.depthStencilView = true;
        d.shaderResourceView = (d.bindFlags & TextureDescription::BindShaderResource) != 0;
        return d;
    }

    uint32_t sizeBits = width;
    switch (kind)
    {
    case TextureKind::Texture2D:
        sizeBits = width | height;
        break;
    case TextureKind::Texture3D:
        sizeBits = width | height | depth;
        d.mipLevels = 0;
        break;
    case TextureKind::Cube:
        d.arraySize = 6;
        d.miscFlags = TextureDescription::MiscTextureCube;
        break;
    default:
        break;
    }

    const bool hasRenderTarget = kind == TextureKind::Texture2D || kind == TextureKind::Texture3D ||
                                 kind == TextureKind::Cube;
    const bool hasCpuAccess = kind == TextureKind::Texture2D || kind == TextureKind::Cube;

    if ((flags & TextureFlags::RenderTarget) && hasRenderTarget)
        d.bindFlags |= TextureDescription::BindRenderTarget;
    if (flags & TextureFlags::UnorderedAccess)
        d.bindFlags |= TextureDescription::BindUnorderedAccess;
    if ((flags & TextureFlags::Dynamic) && hasCpuAccess)
    {
        d.usage = TextureDescription::UsageDynamic;
        d.cpuAccessFlags |= TextureDescription::CpuAccessWrite;
    }
    if ((flags & TextureFlags::Staging) && hasCpuAccess)
    {
        // A 2D texture becomes a staging copy bound to nothing; the cube keeps its usage
        // and only gains the access (which Direct3D refuses, see RefusedTextureDescription).
        if (kind == TextureKind::Texture2D)
        {
            d.usage = TextureDescription::UsageStaging;
            d.bindFlags = 0;
        }
        d.cpuAccessFlags |= TextureDescription::CpuAccessRead;
    }
    if (flags & TextureFlags::MipChain)
    {
        d.miscFlags |= TextureDescription::MiscGenerateMips;
        const uint32_t levels = MipChainLevels(sizeBits);
        if (levels)
            d.mipLevels = levels;
    }

    d.shaderResourceView = (d.bindFlags & TextureDescription::BindShaderResource) != 0;
    // A 3D texture bound as render target gets no view of its own.
    d.renderTargetView = (d.bindFlags & TextureDescription::BindRenderTarget) != 0 && kind != TextureKind::Texture3D;
    d.unorderedAccessView = (d.bindFlags & TextureDescription::BindUnorderedAccess) != 0;
    return d;
}

uint32_t CreatedMipLevels(const TextureDescription& description, uint32_t width, uint32_t height, uint32_t depth)
{
    return description.mipLevels ? description.mipLevels : FullMipChainLevels(width, height, depth);
}

const char* RefusedTextureDescription(const TextureDescription& d)
{
    const uint32_t renderable = TextureDescription::BindRenderTarget | TextureDescription::BindShaderResource;
    if ((d.miscFlags & TextureDescription::MiscGenerateMips) && (d.bindFlags & renderable) != renderable)
        return "mip generation needs a render target that shaders read";
    if (d.usage == TextureDescription::UsageDynamic)
    {
        const uint32_t gpuWritten = TextureDescription::BindRenderTarget | TextureDescription::BindDepthStencil |
                                    TextureDescription::BindUnorderedAccess;
        if (d.bindFlags & gpuWritten)
            return "a dynamic texture cannot be a render target or have unordered access";
        if (d.mipLevels != 1 || d.arraySize != 1)
            return "a dynamic texture has a single level and a single slice";
    }
    if (d.usage == TextureDescription::UsageDefault && d.cpuAccessFlags)
        return "CPU access needs a dynamic or staging texture";
    if ((d.miscFlags & TextureDescription::MiscTextureCube) && (d.bindFlags & TextureDescription::BindUnorderedAccess))
        return "a cube has no unordered-access view over its six faces";
    return nullptr;
}

uint64_t TextureMemorySize(uint32_t width, uint32_t height, uint32_t depth, uint32_t faces, uint32_t format,
                           uint32_t mipLevels)
{
    const uint64_t elementSize = FormatSize(format);
    uint64_t total = 0;
    for (uint32_t level = 0; level < mipLevels; ++level)
    {
        total += elementSize * width * height * depth * faces;
        width = Halved(width);
        height = Halved(height);
        depth = Halved(depth);
    }
    return total;
}

uint64_t LowerLevelBytes(uint32_t width, uint32_t height, uint32_t depth, uint32_t elementSize, uint32_t levels)
{
    if (levels < 2)
        return 0;
    return (uint64_t)elementSize * Halved(width) * Halved(height) * Halved(depth);
}

void LayoutInitialData(uint32_t width, uint32_t height, uint32_t depth, uint32_t faces, uint32_t levels,
                       uint32_t elementSize, const void* data, const void* zeros, InitialDataRecord* records)
{
    const uint64_t faceBytes = (uint64_t)elementSize * width * height * depth;
    for (uint32_t face = 0; face < faces; ++face)
    {
        uint32_t w = width;
        uint32_t h = height;
        for (uint32_t level = 0; level < levels; ++level)
        {
            InitialDataRecord& record = records[face * levels + level];
            record.data = level == 0 ? static_cast<const uint8_t*>(data) + face * faceBytes : zeros;
            record.rowPitch = elementSize * w;
            record.slicePitch = elementSize * w * h;
            w = Halved(w);
            h = Halved(h);
        }
    }
}

} // namespace Brivet::Graphics
