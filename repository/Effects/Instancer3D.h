// "Instancer3D": draws every mesh of a scene "Instance Count" times in one instanced draw
// each. Its chunk holds one entry per mesh whose geometry pairs the mesh with a stream of
// one float4 per instance (fraction i / n, index i, and two pseudo-random numbers, the
// last drawn again for every mesh), made when the inputs change; the vertex shader of the
// effect bound to "Shader" turns them into placement.
#pragma once

#include "Base/Array.h"
#include "repository/Effects/ChunkProducerBase.h"
#include "repository/Resources/ReflectedShaderState.h"
#include "repository/Resources/Scene.h"

#include <cstdint>

class Effect;

namespace Brivet::Rendering
{
class Instancer;
}

class Instancer3D : public ChunkProducerBase
{
public:
    // "Instance Count" is clamped to 0..MaxInstances (16 MiB of instance data per mesh),
    // and to MaxInstancesInAll divided among the meshes (64 MiB in all, warned once).
    static constexpr uint32_t MaxInstances = 1u << 20;
    static constexpr uint32_t MaxInstancesInAll = 1u << 22;

    struct Batch
    {
        Brivet::Rendering::Instancer* instancer; // owned
        Scene::Mesh* mesh;                       // borrowed
        Scene::Material* material;               // borrowed; null when the scene has none of the mesh's id
    };

    explicit Instancer3D(Brivet::Demo* demo);
    ~Instancer3D() override; // the batches

    bool Initialize() override; // the declaration pass; true
    // Takes "Shader" and "Instanced Object", declares again, and rebuilds a batch per
    // scene mesh with its input layout and instance data.
    void OnInputsChanged() override;
    void OnParameterChanged(Brivet::Parameters::IParameter* parameter) override; // "Instance Count": new data
    void OnResize() override;
    // The output emptied; with a shader of passes, "Enabled" and batches, one entry per batch.
    void Render(const Brivet::RenderContext& context) override;

    // Retires, sets the output type, declares "Shader", "Instanced Object", "Enabled",
    // "Instance Count" and the shader's variables.
    virtual void DeclareParameters();

    // The instance count of a parameter value: truncated, clamped to 0..MaxInstances.
    static uint32_t ClampInstanceCount(float value);
    // The instances each of batchCount batches gets of count: all of them while the
    // batches together stay within MaxInstancesInAll, else an equal share of it.
    static uint32_t ShareOfInstances(uint32_t count, uint32_t batchCount);
    // The demo's music time as the main loop computes it; −1 without an audio backend.
    float MusicTime() const;
    // Every batch's instance buffer made anew for "Instance Count" at the music time.
    void BuildInstanceData();
    // Deletes every instancer; the array keeps its capacity.
    void ClearBatches();

    Effect* shader;         // borrowed: the resource bound to "Shader"
    Scene* instancedObject; // borrowed: the resource bound to "Instanced Object"
    ReflectedShaderState state;
    Brivet::Parameters::Parameter<bool>* enabled;
    Brivet::Parameters::Parameter<float>* instanceCount;
    Brivet::Base::Array<Batch> batches;

private:
    bool warnedCut = false; // a count cut to a share of MaxInstancesInAll was reported
};
