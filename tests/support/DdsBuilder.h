// DDS files built in memory for the tests and the fuzzer's seeds: a legacy pixel format or
// the extended header, any sizes, level and array counts, cube and volume flags, followed
// by the given pixel bytes.
#pragma once

#include "repository/Resources/ImageLayout.h"

#include <cstdint>
#include <string>

struct DdsSpec
{
    uint32_t width = 4;
    uint32_t height = 4;
    uint32_t depth = 0;
    uint32_t mipCount = 1; // the header's field: 0 counts as 1
    uint32_t flags = 0x1007; // caps, height, width, pixel format
    ImageTextureLoader::DdsPixelFormat pixelFormat = {32, 0x41, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000};
    uint32_t caps2 = 0;

    bool dx10 = false; // FourCC "DX10" and the extended header
    uint32_t dxgiFormat = 0;
    uint32_t dimension = ImageTextureLoader::Dimension2D;
    uint32_t miscFlag = 0;
    uint32_t arraySize = 1;

    // Legacy R8G8B8A8 (the default), a legacy FourCC, or RGB masks of a bit count.
    static DdsSpec FourCC(const char* code);
    static DdsSpec Rgb(uint32_t flags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a);
    // The extended header with a DXGI format.
    static DdsSpec Dx10(uint32_t format, uint32_t dimension = ImageTextureLoader::Dimension2D, uint32_t arraySize = 1);

    // Width × height × depth with the volume flag.
    DdsSpec& Volume(uint32_t volumeDepth);
    // All six faces (legacy caps2, or the extended header's cube flag).
    DdsSpec& Cube();
    DdsSpec& Size(uint32_t w, uint32_t h)
    {
        width = w;
        height = h;
        return *this;
    }
    DdsSpec& Levels(uint32_t count)
    {
        mipCount = count;
        return *this;
    }
};

// The file: magic, header, extended header when asked for, then pixels as given.
std::string BuildDds(const DdsSpec& spec, const std::string& pixels);

// count bytes of a pattern that differs from byte to byte and from seed to seed.
std::string PatternBytes(size_t count, uint32_t seed);
