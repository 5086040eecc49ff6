// Full-screen quad.
#include "Rendering/Quad.h"

namespace Brivet::Rendering
{

namespace
{

const Quad::Vertex QuadVertices[4] = {
    {-1.0f, -1.0f, 0.5f, 0.0f, 0.0f},
    {-1.0f, 1.0f, 0.5f, 0.0f, 1.0f},
    {1.0f, -1.0f, 0.5f, 1.0f, 0.0f},
    {1.0f, 1.0f, 0.5f, 1.0f, 1.0f},
};

const D3D11_INPUT_ELEMENT_DESC QuadElements[2] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_VERTEX_DATA, 0},
};

static_assert(sizeof(Quad::Vertex) == 20, "a quad vertex is five floats");

} // namespace

Quad::Quad(Graphics::System* system)
    : GeometryBase(system)
{
}

Quad::~Quad() = default;

uint32_t Quad::GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements)
{
    *elements = QuadElements;
    return 2;
}

const void* Quad::GetVertices()
{
    return QuadVertices;
}

} // namespace Brivet::Rendering
