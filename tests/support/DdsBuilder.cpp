// DDS files for the tests.
#include "DdsBuilder.h"

#include <cstring>

using namespace ImageTextureLoader;

DdsSpec DdsSpec::FourCC(const char* code)
{
    DdsSpec spec;
    spec.pixelFormat = {32, Dds::PixelFourCC, Dds::FourCC(code[0], code[1], code[2], code[3]), 0, 0, 0, 0, 0};
    return spec;
}

DdsSpec DdsSpec::Rgb(uint32_t flags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    DdsSpec spec;
    spec.pixelFormat = {32, flags, 0, bits, r, g, b, a};
    return spec;
}

DdsSpec DdsSpec::Dx10(uint32_t format, uint32_t dimension, uint32_t arraySize)
{
    DdsSpec spec;
    spec.pixelFormat = {32, Dds::PixelFourCC, Dds::FourCC('D', 'X', '1', '0'), 0, 0, 0, 0, 0};
    spec.dx10 = true;
    spec.dxgiFormat = format;
    spec.dimension = dimension;
    spec.arraySize = arraySize;
    return spec;
}

DdsSpec& DdsSpec::Volume(uint32_t volumeDepth)
{
    depth = volumeDepth;
    flags |= Dds::FlagVolume;
    if (dx10)
        dimension = Dimension3D;
    return *this;
}

DdsSpec& DdsSpec::Cube()
{
    if (dx10)
        miscFlag |= Dds::MiscCube;
    else
        caps2 |= Dds::Caps2AllFaces;
    return *this;
}

std::string BuildDds(const DdsSpec& spec, const std::string& pixels)
{
    DdsHeader header = {};
    header.size = Dds::HeaderSize;
    header.flags = spec.flags;
    header.height = spec.height;
    header.width = spec.width;
    header.depth = spec.depth;
    header.mipMapCount = spec.mipCount;
    header.pixelFormat = spec.pixelFormat;
    header.caps = 0x1000;
    header.caps2 = spec.caps2;

    std::string file(4 + sizeof(header), '\0');
    const uint32_t magic = Dds::Magic;
    memcpy(&file[0], &magic, 4);
    memcpy(&file[4], &header, sizeof(header));
    if (spec.dx10)
    {
        DdsHeaderDx10 extended = {spec.dxgiFormat, spec.dimension, spec.miscFlag, spec.arraySize, 0};
        file.append(reinterpret_cast<const char*>(&extended), sizeof(extended));
    }
    return file + pixels;
}

std::string PatternBytes(size_t count, uint32_t seed)
{
    std::string bytes(count, '\0');
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < count; ++i)
    {
        state = state * 1103515245u + 12345u;
        bytes[i] = (char)(state >> 16);
    }
    return bytes;
}
