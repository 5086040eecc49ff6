// "ComputedGeometry3D": outputs a chunk with one entry whose triangles a compute shader
// writes every render into a vertex buffer it sees as floats ("gOutput", with a counter as
// "gCounter"); the entry draws "Triangle Count" triangles of 64-byte mesh vertices with the
// "Material Shader". The listed variables of both shaders become parameters and inputs.
#pragma once

#include "Graphics/IComputable.h"
#include "Rendering/Geometry.h"
#include "repository/Effects/ChunkProducerBase.h"
#include "repository/Resources/ComputedBufferCounter.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

struct ID3D11Buffer;
struct ID3D11InputLayout;

class ComputeShader;
class Effect;

class ComputedGeometry3D : public ChunkProducerBase
{
public:
    static constexpr uint32_t VertexStride = 64;
    // The most triangles a buffer is made for: its float view covers 48 elements per
    // triangle and a typed view at most 2^27 elements, which also keeps the byte size
    // (192 per triangle) within 32 bits.
    static constexpr uint32_t MaxTriangleCount = (1u << 27) / 48;

    // The vertex buffer that the compute pass writes as "gOutput", with its float view and
    // the thread counts of the last render.
    class ComputedGeometryOutputWrapper : public Brivet::Graphics::IComputable
    {
    public:
        ComputedGeometryOutputWrapper(Brivet::Graphics::System* system, ComputedGeometry3D* owner);
        virtual ~ComputedGeometryOutputWrapper(); // Release

        ID3D11Resource* GetResource() const override;
        ID3D11UnorderedAccessView* GetUnorderedAccessView() const override { return view; }
        uint32_t GetWidth() const override { return width; }
        uint32_t GetHeight() const override { return height; }
        uint32_t GetDepth() const override { return depth; }

        // A buffer of triangles × 3 vertices (bound as vertex buffer and for unordered
        // access) and its R32_FLOAT view over every float; false, with neither kept, when
        // either cannot be made or triangles is 0 or above MaxTriangleCount.
        bool Create(uint32_t triangles);
        void Release();

        Brivet::Graphics::System* system;
        ComputedGeometry3D* owner;
        uint32_t triangleCount;
        uint32_t vertexStride;
        ID3D11Buffer* vertexBuffer; // owned
        uint32_t width;
        uint32_t height;
        uint32_t depth;
        ID3D11UnorderedAccessView* view; // owned
    };

    // Draws the wrapper's buffer as a triangle list of mesh vertices.
    class ComputedGeometryRenderable : public Brivet::Rendering::IRenderable
    {
    public:
        explicit ComputedGeometryRenderable(Brivet::Graphics::System* system);
        virtual ~ComputedGeometryRenderable(); // releases the layout

        void Bind() override; // nothing without triangles and a buffer
        void Draw() override; // triangle count × 3 vertices
        Brivet::Graphics::VertexShader* GetInputSignatureShader() override { return shader; }
        // The mesh-vertex layout against shader's input signature; true when the device made it.
        bool CreateInputLayout(Brivet::Graphics::VertexShader* shader) override;
        bool HasBounds() override { return false; }
        // Forgets the layout: the next draw builds one for its shader.
        void ReleaseLayout();

        Brivet::Graphics::VertexShader* shader; // not owned
        Brivet::Graphics::System* system;
        ComputedGeometryOutputWrapper* output; // set by Initialize
        ID3D11InputLayout* inputLayout;        // owned
    };

    explicit ComputedGeometry3D(Brivet::Demo* demo);
    ~ComputedGeometry3D() override;

    // Output type "RenderChunk", the declaration pass, the counter; false when the counter
    // cannot be made.
    bool Initialize() override;
    // Takes the shaders bound to "Compute Shader" and "Material Shader", declares again and
    // resolves both shaders' inputs.
    void OnInputsChanged() override;
    // The compute pass and the one entry; nothing appended while disabled, without a valid
    // compute stage, with no triangles, or when the buffer for the count could not be made.
    void Render(const Brivet::RenderContext& context) override;

    const ComputedGeometryOutputWrapper& GetOutputWrapper() const { return wrapper; }
    ComputedGeometryRenderable& GetRenderable() { return renderable; }
    const ComputedBufferCounter& GetCounter() const { return counter; }

private:
    ComputeShader* computeShader; // borrowed: the resource bound to "Compute Shader"
    Effect* materialShader;       // borrowed: the resource bound to "Material Shader"
    Brivet::Parameters::Parameter<bool>* enabled;
    Brivet::Parameters::Parameter<int>* triangleCount;
    Brivet::Parameters::Parameter<int>* threadX;
    Brivet::Parameters::Parameter<int>* threadY;
    Brivet::Parameters::Parameter<int>* threadZ;
    ReflectedShaderState materialState;
    ReflectedShaderState computeState;
    ComputedGeometryRenderable renderable;
    ComputedGeometryOutputWrapper wrapper;
    ComputedBufferCounter counter;
    uint32_t currentTriangleCount; // the count the buffer was made for
};
