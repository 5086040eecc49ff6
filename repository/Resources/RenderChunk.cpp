// Render chunk: the empty chunk, emptying, and merging one chunk into another.
#include "repository/Resources/RenderChunk.h"

using Brivet::Base::Array;

namespace
{
// Appends the enabled lights among the first count of source (which may be target) and
// returns the index of the first appended one.
template <typename Light>
uint32_t AppendEnabled(Array<Light>& target, const Array<Light>& source, uint32_t count)
{
    const uint32_t first = target.GetCount();
    for (uint32_t i = 0; i < count; ++i)
    {
        if (source[i].enabled)
            target.Add(source[i]); // Add copes with an element of the target itself
    }
    return first;
}

template <typename Light>
void TransformLights(Array<Light>& lights, uint32_t first, const D3DXMATRIX* m)
{
    if (!m)
        return;
    for (uint32_t i = first; i < lights.GetCount(); ++i)
        D3DXMatrixMultiply(&lights[i].lightToWorld, &lights[i].lightToWorld, m);
}
} // namespace

RenderChunk::RenderChunk(Brivet::Compositing::Graph* graph, Brivet::Demo* demo)
    : IResource(graph, demo), camera{}, ambient{}
{
}

RenderChunk::~RenderChunk() = default;

void RenderChunk::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("RenderChunk");
}

bool RenderChunk::Load(const char* path)
{
    return false;
}

void RenderChunk::Empty()
{
    camera.priority = PriorityNone;
    ambient.priority = PriorityNone;
    entries.Empty();
    directionalLights.Empty();
    pointLights.Empty();
    spotLights.Empty();
    areaSphereLights.Empty();
    areaTubeLights.Empty();
}

void RenderChunk::Merge(const RenderChunk* source, const D3DXMATRIX* m, const D3DXMATRIX* p)
{
    if (!source)
        return;
    if (!p)
        p = m;

    // What the source holds now: a chunk merged into itself must not read what this call appends.
    const uint32_t spotCount = source->spotLights.GetCount();
    const uint32_t pointCount = source->pointLights.GetCount();
    const uint32_t sphereCount = source->areaSphereLights.GetCount();
    const uint32_t tubeCount = source->areaTubeLights.GetCount();
    const uint32_t directionalCount = source->directionalLights.GetCount();
    const uint32_t entryCount = source->entries.GetCount();

    // Camera: the source's block when ours is not of a higher priority, moved with the chunk.
    if (camera.priority <= source->camera.priority)
    {
        camera = source->camera;
        if (m)
        {
            D3DXMatrixMultiply(&camera.view, m, &camera.view);
            D3DXMatrixMultiply(&camera.previousView, p, &camera.previousView);
        }
    }

    if (ambient.priority <= source->ambient.priority)
        ambient = source->ambient;

    // Lights: spot, point and area-sphere lights move with the chunk; tube and
    // directional lights are taken as they are.
    TransformLights(spotLights, AppendEnabled(spotLights, source->spotLights, spotCount), m);
    TransformLights(pointLights, AppendEnabled(pointLights, source->pointLights, pointCount), m);
    TransformLights(areaSphereLights, AppendEnabled(areaSphereLights, source->areaSphereLights, sphereCount), m);
    AppendEnabled(areaTubeLights, source->areaTubeLights, tubeCount);
    AppendEnabled(directionalLights, source->directionalLights, directionalCount);

    // Entries: whole copies, their transforms and valid bones moved with the chunk.
    for (uint32_t i = 0; i < entryCount; ++i)
    {
        Entry& entry = entries[entries.Add(source->entries[i])];
        // A producer's count is not trusted: the record holds MaxBones matrices.
        if (entry.boneCount > MaxBones)
            entry.boneCount = MaxBones;
        if (!m)
            continue;
        D3DXMatrixMultiply(&entry.world, &entry.world, m);
        D3DXMatrixMultiply(&entry.previousWorld, &entry.previousWorld, p);
        for (uint32_t b = 0; b < entry.boneCount; ++b)
        {
            D3DXMatrixMultiply(&entry.bones[b], &entry.bones[b], m);
            D3DXMatrixMultiply(&entry.previousBones[b], &entry.previousBones[b], p);
        }
    }
}
