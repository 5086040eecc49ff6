// The full-screen quad of the loading bar, the output node and the 2D effects:
// a triangle strip of four vertices with position and texture coordinate.
#pragma once

#include "Rendering/Geometry.h"

namespace Brivet::Rendering
{

class Quad : public GeometryBase
{
public:
    struct Vertex
    {
        float x, y, z;
        float u, v; // v is 0 at the bottom of the screen, 1 at the top
    };

    explicit Quad(Graphics::System* system);
    ~Quad() override;

    uint32_t GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements) override;
    const void* GetVertices() override;
    uint32_t GetVertexStride() override { return sizeof(Vertex); }
    uint32_t GetVertexCount() override { return 4; }
    D3D11_PRIMITIVE_TOPOLOGY GetTopology() override { return D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP; }
};

} // namespace Brivet::Rendering
