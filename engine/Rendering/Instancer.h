// Draws one geometry once per instance, with a second vertex stream of one
// float4 per instance (the instance buffer, filled by the owner).
#pragma once

#include <cstdint>

#include "Rendering/Geometry.h"

namespace Brivet::Rendering
{

class Instancer : public IRenderable
{
public:
    explicit Instancer(Graphics::System* system, GeometryBase* geometry = nullptr);
    virtual ~Instancer(); // releases the input layout and the instance buffer

    // Bind and Draw do nothing unless instances, layout and instance buffer are all there.
    void Bind() override;
    void Draw() override;
    Graphics::VertexShader* GetInputSignatureShader() override { return inputSignatureShader; }
    // The geometry's elements and the per-instance "TEXCOORD" float4 of slot 1.
    bool CreateInputLayout(Graphics::VertexShader* shader) override;
    bool HasBounds() override { return false; }

    // Semantic index of the per-instance element: one more than the highest
    // "TEXCOORD" index among elements (1 when there is none).
    static uint32_t InstanceSemanticIndex(const D3D11_INPUT_ELEMENT_DESC* elements, uint32_t count);

    void SetGeometry(GeometryBase* drawn) { geometry = drawn; } // not owned
    GeometryBase* GetGeometry() const { return geometry; }
    // Takes ownership of buffer (16 bytes per instance); an earlier one is released.
    void SetInstanceBuffer(ID3D11Buffer* buffer);
    ID3D11Buffer* GetInstanceBuffer() const { return instanceBuffer; }
    void SetInstanceCount(uint32_t count) { instanceCount = count; }
    uint32_t GetInstanceCount() const { return instanceCount; }
    ID3D11InputLayout* GetInputLayout() const { return inputLayout; }

private:
    Instancer(const Instancer&) = delete;
    Instancer& operator=(const Instancer&) = delete;

    bool CanDraw() const;

    Graphics::VertexShader* inputSignatureShader; // not owned
    Graphics::System* system;
    GeometryBase* geometry;
    ID3D11InputLayout* inputLayout;
    ID3D11Buffer* instanceBuffer;
    uint32_t instanceCount;
};

} // namespace Brivet::Rendering
