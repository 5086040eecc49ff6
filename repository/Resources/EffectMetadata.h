// The "<metadata>" block of an HLSL effect file read into plain records: variations,
// passes with their entry points, targets and states, internal targets and samplers.
// Portable: the Effect turns the records into programs and Direct3D states.
#pragma once

#include "Base/Array.h"
#include "Base/String.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <cstdint>

namespace Brivet::Utility::Archive
{
class IArchive;
}

namespace Brivet::Graphics
{
// Blend factor names matched exactly; the end row is {1, null} (ZERO).
struct BlendFactorName
{
    uint64_t blend; // D3D11_BLEND
    const char* name;
};
extern const BlendFactorName BlendFactorNames[];

// Filter names matched exactly; the end row is {0, null} (POINT).
struct FilterName
{
    uint64_t filter; // D3D11_FILTER
    const char* name;
};
extern const FilterName FilterNames[];
} // namespace Brivet::Graphics

class EffectMetadata
{
public:
    // 2^V programs are compiled per pass: the cap keeps a file from asking for more
    // than 256 compiles per pass.
    static constexpr uint32_t MaxVariations = 8;
    // Each pass compiles the whole file 2^V times: passes past either bound are dropped
    // with one warning (the first pass always loads).
    static constexpr uint32_t MaxPasses = 32;
    static constexpr uint32_t MaxPrograms = 256;
    // Direct3D 11 binds at most eight render targets and has eight blend entries.
    static constexpr uint32_t MaxPassTargets = 8;
    static constexpr uint32_t BlendTargetCount = 8;

    // Direct3D's numbers (d3d11.h; the Windows build checks them).
    enum : uint32_t
    {
        BlendZero = 1,
        BlendOne = 2,
        CullNone = 1,
        CullFront = 2,
        CullBack = 3,
        AddressWrap = 1,
        AddressClamp = 3,
        FilterPoint = 0,
        FilterLinear = 0x15, // MIN_MAG_MIP_LINEAR
    };

    struct BlendTarget
    {
        bool enable = false;
        uint32_t sourceColor = BlendOne;
        uint32_t destinationColor = BlendZero;
        uint32_t sourceAlpha = BlendOne;
        uint32_t destinationAlpha = BlendZero;
    };

    struct Pass
    {
        enum Kind : uint32_t
        {
            KindNormal = 0,
            KindShadowCube = 1,  // "shadowcube"
            KindShadow = 2,      // "shadow"
            KindTransparent = 3, // "transparent"
        };
        enum Stage : uint32_t
        {
            StagePixel = 1,
            StageVertex = 2,
            StageGeometry = 4,
        };

        Brivet::Base::String name;
        Brivet::Base::String vertexEntry; // empty when absent
        Brivet::Base::String pixelEntry;
        Brivet::Base::String geometryEntry;
        uint32_t stageMask = 0; // a stage is compiled only when its entry attribute is present
        uint32_t kind = KindNormal;
        uint32_t lightType = 0; // 0 none, 1 ambient ... 6 area tube
        Brivet::Base::Array<Brivet::Base::String> renderTargets; // at most MaxPassTargets

        bool hasDepth = false; // a "depth" child: depth-stencil state
        bool depthRead = false;
        bool depthWrite = false;
        bool hasRasterizer = false; // a "rasterizer" child
        uint32_t cullMode = CullBack;
        bool hasBlend = false; // at least one "blend" child
        BlendTarget blend[BlendTargetCount];
    };

    // An internal render target: fixed "dimensions", or the output size of the graph it
    // is made for.
    struct RenderTarget
    {
        Brivet::Base::String name;
        bool fixedSize = false;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t format = 0; // absent or unknown: 0
    };

    struct Sampler
    {
        Brivet::Base::String name;
        uint32_t addressU = AddressClamp;
        uint32_t addressV = AddressClamp;
        uint32_t addressW = AddressClamp;
        uint32_t filter = FilterLinear;
    };

    EffectMetadata() = default;
    EffectMetadata(const EffectMetadata&) = delete;
    EffectMetadata& operator=(const EffectMetadata&) = delete;

    // Finds "<metadata>" and the "</metadata>" after it within length bytes of text and
    // parses the block. False with "[effect] Metadata tag not found" or "[effect]
    // Metadata XML malformed" (also for a block that is never closed).
    bool Parse(const char* text, uint32_t length);
    // The "metadata" element of the parsed block; null before a successful Parse.
    Brivet::Utility::XML::Node GetElement() const;

    // The text of every "variation" child. False, with a line, for more than
    // MaxVariations (variations is then left empty).
    static bool ReadVariations(const Brivet::Utility::XML::Node& metadata,
                               Brivet::Base::Array<Brivet::Base::String>& variations);
    // Attributes and state children of a "pass" element. A "blend" whose "renderTarget"
    // is not 0 to 7 is passed over with a warning; names beyond the eighth render target
    // are dropped with a warning.
    static void ReadPass(const Brivet::Utility::XML::Node& element, Pass& pass);
    static void ReadRenderTarget(const Brivet::Utility::XML::Node& element, RenderTarget& target);
    static void ReadSampler(const Brivet::Utility::XML::Node& element, Sampler& sampler);

    // The pieces of a comma-separated list in order, without trimming; empty pieces are
    // skipped.
    static void SplitList(const Brivet::Base::String& list, Brivet::Base::Array<Brivet::Base::String>& pieces);
    static uint32_t BlendFactorFromName(const Brivet::Base::String& name); // unknown: ZERO
    static uint32_t FilterFromName(const Brivet::Base::String& name); // unknown: POINT

private:
    Brivet::Utility::XML::Document document;
    pugi::xml_node metadata;
};

// The whole archive entry of a shader file (an effect or a compute shader) in a new[]
// block of size + 1 bytes, zero-terminated; size set to the entry's size. Null, after an
// "[effect]" line (no archive, file not found, no memory, read failed), on failure.
char* ReadShaderSource(Brivet::Utility::Archive::IArchive* archive, const char* path, uint32_t* size);
