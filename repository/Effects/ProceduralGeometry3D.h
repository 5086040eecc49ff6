// "ProceduralGeometry3D": outputs a chunk with one entry drawn without vertex buffer or
// input layout: the vertex stage of the "Shader" effect makes 3 × "TriangleCount"
// vertices from their index (SV_VertexID). The shader's listed variables become
// parameters and inputs.
#pragma once

#include "Rendering/Geometry.h"
#include "repository/Effects/ChunkProducerBase.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

class Effect;

class ProceduralGeometry3D : public ChunkProducerBase
{
public:
    // The most triangles drawn, 4 times Instancer3D's instances per mesh (3 × 2^22
    // vertices). A larger count appends no entry, warned once.
    static constexpr uint32_t MaxTriangleCount = 1u << 22;

    // A triangle list of 3 × triangle count vertices from no buffer.
    class ProceduralGeometryRenderable : public Brivet::Rendering::IRenderable
    {
    public:
        explicit ProceduralGeometryRenderable(Brivet::Graphics::System* system);
        virtual ~ProceduralGeometryRenderable() = default;

        void Bind() override; // no input layout, no vertex buffer, triangle list
        void Draw() override; // nothing for 0 triangles
        Brivet::Graphics::VertexShader* GetInputSignatureShader() override { return shader; }
        // Remembers the shader; there is no layout to make. True.
        bool CreateInputLayout(Brivet::Graphics::VertexShader* vertexShader) override;
        bool HasBounds() override { return false; }

        Brivet::Graphics::VertexShader* shader; // not owned
        Brivet::Graphics::System* system;
        uint32_t triangleCount;
    };

    explicit ProceduralGeometry3D(Brivet::Demo* demo);
    ~ProceduralGeometry3D() override;

    bool Initialize() override; // the declaration pass; true
    // Takes the shader bound to "Shader", declares again and resolves its inputs.
    void OnInputsChanged() override;
    void OnResize() override;
    // The shader's values at the frame time and the one entry; an empty chunk while
    // disabled, with no triangles or more than MaxTriangleCount.
    void Render(const Brivet::RenderContext& context) override;

    // Output type "RenderChunk", the input "Shader", "Enabled", "TriangleCount", then the
    // bound shader's listed constants and resources.
    virtual void DeclareParameters();

    ProceduralGeometryRenderable& GetRenderable() { return renderable; }

private:
    Effect* shader; // borrowed: the resource bound to "Shader"
    ReflectedShaderState state;
    ProceduralGeometryRenderable renderable;
    Brivet::Parameters::Parameter<bool>* enabled;
    Brivet::Parameters::Parameter<unsigned int>* triangleCount;
    bool warnedCut = false; // a count above MaxTriangleCount was reported
};
