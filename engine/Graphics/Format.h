// DXGI format utilities shared by the texture, render-target and G-buffer code:
// the table of format names a description may use, and bytes per element.
#pragma once

#include <cstdint>

namespace Brivet::Graphics
{

struct FormatName
{
    uint64_t format; // DXGI_FORMAT value
    const char* name;
};

// Ends with the row {0, nullptr}.
extern const FormatName FormatNames[];

// The format of the first row whose name equals name exactly; false when none does.
bool FormatFromName(const char* name, uint32_t* format);

// The name of the first row holding format; null when no row does.
const char* FormatToName(uint32_t format);

// Bytes per element; an unlisted format raises the assertion and gives 0.
uint32_t FormatSize(uint32_t format);

// True for the depth formats (D32_FLOAT_S8X24_UINT, D32_FLOAT, D24_UNORM_S8_UINT, D16_UNORM).
bool IsDepthFormat(uint32_t format);

} // namespace Brivet::Graphics
