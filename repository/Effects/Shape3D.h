// "Shape3D": outputs a chunk with one entry, a flat two-by-two plane facing +z, placed by
// "Position", "Rotation" and "Scale" and drawn with the effect bound to "Material
// Override", whose listed shader variables become parameters of this effect.
#pragma once

#include "Rendering/Geometry.h"
#include "repository/Effects/ChunkProducerBase.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

class Effect;

class Shape3D : public ChunkProducerBase
{
public:
    // Four vertices from (−1, −1, 0) to (1, 1, 0) as a triangle strip: position, normal,
    // tangent, binormal and two texture coordinates, 64 bytes each. Offers no bounds.
    class PlaneGeometry : public Brivet::Rendering::GeometryBase
    {
    public:
        static constexpr uint32_t VertexStride = 64;
        static constexpr uint32_t VertexCount = 4;

        explicit PlaneGeometry(Brivet::Graphics::System* system);

        uint32_t GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements) override;
        // The 64-byte mesh vertex's layout; also that of computed geometry.
        static uint32_t GetMeshElements(const D3D11_INPUT_ELEMENT_DESC** elements);
        const void* GetVertices() override;
        uint32_t GetVertexStride() override { return VertexStride; }
        uint32_t GetVertexCount() override { return VertexCount; }
        D3D11_PRIMITIVE_TOPOLOGY GetTopology() override { return D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP; }
    };

    explicit Shape3D(Brivet::Demo* demo);
    ~Shape3D() override; // deletes the plane

    // The plane and its buffers, output type "RenderChunk", the declaration pass; true
    // (a plane whose buffers could not be made is still emitted).
    bool Initialize() override;
    void OnInputsChanged() override; // the declaration pass
    // The override effect's values at the frame time, then the output emptied and the
    // plane appended at the transform of the frame time.
    void Render(const Brivet::RenderContext& context) override;

    // "Position", "Rotation", "Scale", the input "Material Override", then the bound
    // effect's listed constants and resources.
    virtual void DeclareParameters();

    Effect* overrideEffect; // borrowed: the resource bound to "Material Override"
    ReflectedShaderState state;
    PlaneGeometry* plane; // owned
    TransformParameters transform;
};
