// Drawable geometry: IRenderable, anything that sets up the input assembler and
// draws, and GeometryBase, its implementation over vertex and index buffers,
// their shader-resource views and an input layout described by a subclass.
#pragma once

#include <cstdint>

#include <d3d11.h>

namespace Brivet::Graphics
{
class System;
class VertexShader;
}

namespace Brivet::Rendering
{

class IRenderable
{
public:
    virtual void Bind() = 0;
    virtual void Draw() = 0;
    // Null before an input layout was requested.
    virtual Graphics::VertexShader* GetInputSignatureShader() = 0;
    // Builds the input layout against shader's input signature; keeps shader.
    virtual bool CreateInputLayout(Graphics::VertexShader* shader) = 0;
    // True only for geometry a renderer may cull by its bounds.
    virtual bool HasBounds() = 0;

protected:
    ~IRenderable() = default; // not deleted through this interface
};

class GeometryBase : public IRenderable
{
public:
    explicit GeometryBase(Graphics::System* system);
    virtual ~GeometryBase();

    void Bind() override;
    void Draw() override;
    Graphics::VertexShader* GetInputSignatureShader() override { return inputSignatureShader; }
    bool CreateInputLayout(Graphics::VertexShader* shader) override;
    bool HasBounds() override { return false; }

    // The subclass's description.
    virtual uint32_t GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements) = 0; // returns the count
    virtual const void* GetVertices() = 0;
    virtual uint32_t GetVertexStride() = 0; // bytes
    virtual uint32_t GetVertexCount() = 0;
    virtual const void* GetIndices() { return nullptr; }
    virtual uint32_t GetTriangleCount() { return 0; } // 0: no index buffer
    virtual bool Uses32BitIndices() { return true; }
    virtual D3D11_PRIMITIVE_TOPOLOGY GetTopology() = 0;

    // Vertex buffer, index buffer (with triangles), the input layout (when a
    // shader is known) and the buffers' views: a raw view of the vertex buffer
    // in 32-bit words and an R32_UINT or R16_UINT view of the indices.
    bool CreateBuffers();

    Graphics::System* GetSystem() const { return system; }
    ID3D11Buffer* GetVertexBuffer() const { return vertexBuffer; }
    ID3D11Buffer* GetIndexBuffer() const { return indexBuffer; }
    ID3D11ShaderResourceView* GetVertexView() const { return vertexView; }
    ID3D11ShaderResourceView* GetIndexView() const { return indexView; }
    ID3D11InputLayout* GetInputLayout() const { return inputLayout; }

protected:
    void ReleaseBuffers();

    Graphics::VertexShader* inputSignatureShader; // not owned
    Graphics::System* system;
    ID3D11Buffer* vertexBuffer;
    ID3D11Buffer* indexBuffer;
    ID3D11ShaderResourceView* vertexView;
    ID3D11ShaderResourceView* indexView;
    ID3D11InputLayout* inputLayout;

private:
    GeometryBase(const GeometryBase&) = delete;
    GeometryBase& operator=(const GeometryBase&) = delete;
};

} // namespace Brivet::Rendering
