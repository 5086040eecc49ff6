// What a texture resource reads from its description: the "rendertarget" element (size
// mode, size, formats), the "srgb" load setting, and the test that picks an image loader.
// Portable, so the rules are checked on the host too.
#pragma once

#include <cstdint>

namespace Brivet::Utility::XML
{
class Node;
}

// The size and formats of a texture. A render target follows its graph's output size
// through the size mode; a file texture takes width, height and format from its image.
struct TextureSettings
{
    // How width and height follow the output size W × H of the creating graph.
    enum SizeMode : uint32_t
    {
        SizeDemo = 0,       // "demo": W × H
        SizeDemo2x = 1,     // "demo2x": 2W × 2H
        SizeDemo4x = 2,     // "demo4x"
        SizeDemo8x = 3,     // "demo8x"
        SizeDemoHalf = 4,   // "demo/2": W/2 × H/2 (unsigned division)
        SizeDemoQuarter = 5, // "demo/4"
        SizeDemoEighth = 6, // "demo/8"
        SizeFixed = 7,      // "%u*%u": the two numbers, kept by UpdateSize
    };

    static constexpr uint32_t FormatR8G8B8A8Unorm = 28;

    uint32_t sizeMode = SizeDemo;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = FormatR8G8B8A8Unorm; // DXGI_FORMAT
    uint32_t depthFormat = 0;              // 0: no depth target

    // The name of a size mode below SizeFixed; null for the others.
    static const char* SizeModeName(uint32_t mode);

    // Reads "dimensions" (a size name, compared without regard to case, or any text
    // holding "*" read as "%u*%u"; fields that do not parse keep their values; anything
    // else leaves the mode), "format" (exact name; an unknown name gives 0; absent keeps
    // the format) and "depthFormat" (exact name of a depth format; any other text gives
    // 0, a name that is not a depth format with a warning).
    void ParseRenderTarget(const Brivet::Utility::XML::Node& element);

    // Width and height from the size mode and the output size; SizeFixed and above keep them.
    void UpdateSize(uint32_t outputWidth, uint32_t outputHeight);

    // Appends a "rendertarget" child to element with "dimensions", "format" and, when a
    // depth format is set, "depthFormat". A format without a name is written as its
    // number. False when element is null.
    bool WriteRenderTarget(const Brivet::Utility::XML::Node& element) const;

    // The sRGB decision of a file texture's "loadSettings" (may be null): its attribute
    // "srgb" (exact name) is true for "true", "1" or "yes" in any case and false for any
    // other value; without the element or the attribute, true.
    static bool ReadSrgb(const Brivet::Utility::XML::Node* loadSettings);
};

// True when an image file of size bytes starts with the DDS magic "DDS "; a file shorter
// than the magic is not DDS.
bool IsDDSFile(const void* bytes, uint32_t size);
