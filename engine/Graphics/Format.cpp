// DXGI format names and element sizes (values as in dxgiformat.h).
#include "Graphics/Format.h"

#include <cstring>

#include "Utility/Assert.h"

namespace Brivet::Graphics
{

const FormatName FormatNames[] = {
    {27, "R8G8B8A8_TYPELESS"},
    {28, "R8G8B8A8_UNORM"},
    {29, "R8G8B8A8_UNORM_SRGB"},
    {30, "R8G8B8A8_UINT"},
    {31, "R8G8B8A8_SNORM"},
    {32, "R8G8B8A8_SINT"},
    {39, "R32_TYPELESS"},
    {41, "R32_FLOAT"},
    {42, "R32_UINT"},
    {43, "R32_SINT"},
    {15, "R32G32_TYPELESS"},
    {16, "R32G32_FLOAT"},
    {17, "R32G32_UINT"},
    {18, "R32G32_SINT"},
    {5, "R32G32B32_TYPELESS"},
    {6, "R32G32B32_FLOAT"},
    {7, "R32G32B32_UINT"},
    {8, "R32G32B32_SINT"},
    {1, "R32G32B32A32_TYPELESS"},
    {2, "R32G32B32A32_FLOAT"},
    {3, "R32G32B32A32_UINT"},
    {4, "R32G32B32A32_SINT"},
    {55, "D16_UNORM"},
    {45, "D24_UNORM_S8_UINT"},
    {40, "D32_FLOAT"},
    {0, nullptr},
};

bool FormatFromName(const char* name, uint32_t* format)
{
    if (!name)
        return false;
    for (const FormatName* row = FormatNames; row->name; ++row)
    {
        if (strcmp(row->name, name) == 0)
        {
            if (format)
                *format = (uint32_t)row->format;
            return true;
        }
    }
    return false;
}

const char* FormatToName(uint32_t format)
{
    for (const FormatName* row = FormatNames; row->name; ++row)
        if (row->format == format)
            return row->name;
    return nullptr;
}

uint32_t FormatSize(uint32_t format)
{
    switch (format)
    {
    case 1: case 2: case 3: case 4: // R32G32B32A32
        return 16;
    case 5: case 6: case 7: case 8: // R32G32B32
        return 12;
    case 9: case 10: case 11: case 12: case 13: case 14: // R16G16B16A16
    case 15: case 16: case 17: case 18:                 // R32G32
        return 8;
    case 27: case 28: case 29: case 30: case 31: case 32: // R8G8B8A8
    case 39: case 41: case 42: case 43:                   // R32
    case 45:                                              // D24_UNORM_S8_UINT
    case 87: case 90: case 91:                            // B8G8R8A8
        return 4;
    case 60: case 61: case 62: case 63: case 64: // R8
        return 1;
    default:
        break;
    }
    // Reported as the graphics system's check, at the line its log readers know.
    if (Utility::Assert("Graphics/System", 460, "Unhandled FormatSize: %d", (int)format))
        Utility::BreakIntoDebugger();
    return 0;
}

bool IsDepthFormat(uint32_t format)
{
    switch (format)
    {
    case 20: // D32_FLOAT_S8X24_UINT
    case 40: // D32_FLOAT
    case 45: // D24_UNORM_S8_UINT
    case 55: // D16_UNORM
        return true;
    default:
        return false;
    }
}

} // namespace Brivet::Graphics
