// What a G-buffer reads from its description: the colour layers, the depth format, the
// shadow-map and shadow-cube sizes and formats and an optional fixed size. Portable, so
// the rules are checked on the host too.
#pragma once

#include "Base/Array.h"
#include "Base/String.h"

#include <cstdint>

namespace Brivet::Utility::XML
{
class Node;
}

struct GBufferSettings
{
    static constexpr uint32_t FormatR32G32B32A32Float = 2; // the layer "texDiffuse" without a description
    static constexpr uint32_t FormatR32G32Float = 16;      // shadow maps and cubes by default
    static constexpr uint32_t FormatD24UnormS8Uint = 45;   // the depth buffer by default
    static constexpr uint32_t DefaultShadowSize = 1024;

    // One named colour layer: the shader variable it is bound to and the DXGI format.
    struct Layer
    {
        Brivet::Base::String name;
        uint32_t format = 0;
    };

    uint32_t width = 0; // the creating graph's output size unless fixed
    uint32_t height = 0;
    uint8_t fixedSize = 0;                       // 1 when the description gave "dimensions"
    uint32_t depthFormat = FormatD24UnormS8Uint; // 0: no depth buffer
    Brivet::Base::Array<Layer> layers;
    uint32_t shadowMapSize = DefaultShadowSize;
    uint32_t shadowMapFormat = FormatR32G32Float;
    uint32_t shadowCubeSize = DefaultShadowSize;
    uint32_t shadowCubeFormat = FormatR32G32Float;

    // Reads the description: element is the node's "resource" or "dynamic" element, or
    // null. Without an element the single layer "texDiffuse" (R32G32B32A32_FLOAT); an
    // element without a "gbuffer" child gives no layers. Of the "gbuffer" child:
    // "depthFormat" (a depth format name; an empty value means none; any other text
    // gives none with a warning), "layer" children ("name", "format"), "shadowSize",
    // "shadowFormat", "shadowCubeSize", "shadowCubeFormat" and "dimensions" ("%u*%u",
    // only when the value holds "*"). False, logged with "[gbuffer]", for a layer or
    // shadow format that is not a colour format of the table and for a size of 0: such a
    // G-buffer could never be given its targets.
    bool Parse(const Brivet::Utility::XML::Node* element);

    // Appends the "gbuffer" child that Parse reads back to the same settings. False when
    // element is null.
    bool Write(const Brivet::Utility::XML::Node& element) const;
};
