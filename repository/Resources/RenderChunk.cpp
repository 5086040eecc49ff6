// Render chunk: the empty chunk, emptying, and merging one chunk into another.
#include "repository/Resources/RenderChunk.h"

#include "Utility/Log.h"

using Brivet::Base::Array;
using Brivet::Utility::Log;

namespace
{
// What the lists of all chunks hold together, in bytes of capacity. Chunks are made, filled
// and destroyed on the main thread only.
uint64_t allHeldBytes = 0;

template <typename Light>
void TransformLights(Array<Light>& lights, uint32_t first, const D3DXMATRIX* m)
{
    if (!m)
        return;
    for (uint32_t i = first; i < lights.GetCount(); ++i)
        D3DXMatrixMultiply(&lights[i].lightToWorld, &lights[i].lightToWorld, m);
}

template <typename T>
uint64_t CapacityBytes(const Array<T>& list)
{
    return uint64_t(list.GetCapacity()) * sizeof(T);
}
} // namespace

RenderChunk::RenderChunk(Brivet::Compositing::Graph* graph, Brivet::Demo* demo)
    : IResource(graph, demo), camera{}, ambient{}, heldBytes(0), warned(0)
{
}

RenderChunk::~RenderChunk()
{
    allHeldBytes -= heldBytes;
}

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

uint32_t RenderChunk::GetLightCount() const
{
    return directionalLights.GetCount() + pointLights.GetCount() + spotLights.GetCount() +
           areaSphereLights.GetCount() + areaTubeLights.GetCount();
}

uint64_t RenderChunk::GetHeldBytes()
{
    return allHeldBytes;
}

void RenderChunk::Account()
{
    const uint64_t bytes = CapacityBytes(entries) + CapacityBytes(directionalLights) + CapacityBytes(pointLights) +
                           CapacityBytes(spotLights) + CapacityBytes(areaSphereLights) + CapacityBytes(areaTubeLights);
    allHeldBytes = allHeldBytes - heldBytes + bytes;
    heldBytes = bytes;
}

void RenderChunk::Warn(Limit kind)
{
    if (warned & kind)
        return;
    warned |= kind;
    if (kind == LimitEntries)
        Log::Warning("[RenderChunk] A chunk holds at most %u entries; the rest are left out", MaxEntries);
    else if (kind == LimitLights)
        Log::Warning("[RenderChunk] A chunk holds at most %u lights; the rest are left out", MaxLights);
    else
        Log::Warning("[RenderChunk] All chunks together hold at most %u MiB; the entries and lights beyond are left out",
                     unsigned(MaxHeldBytes >> 20));
}

template <typename T>
bool RenderChunk::Admits(Array<T>& list, uint32_t held, uint32_t limit, Limit kind)
{
    if (held >= limit)
    {
        Warn(kind);
        return false;
    }
    // Only a list that must grow takes more memory: the budget may be passed by one growth.
    if (list.GetCount() == list.GetCapacity() && allHeldBytes >= MaxHeldBytes)
    {
        Warn(LimitHeldBytes);
        return false;
    }
    // Growth by half would pass the limit: a full chunk holds no unusable capacity.
    if (list.GetCount() == list.GetCapacity() && uint64_t(list.GetCapacity()) * 3 / 2 > limit)
    {
        list.Reserve(limit);
        Account();
    }
    return true;
}

template <typename Light>
bool RenderChunk::AppendEnabled(Array<Light>& target, const Array<Light>& source, uint32_t count, uint32_t* first)
{
    *first = target.GetCount();
    for (uint32_t i = 0; i < count; ++i)
    {
        if (!source[i].enabled)
            continue;
        if (!Admits(target, GetLightCount(), MaxLights, LimitLights))
            return false;
        const uint32_t capacity = target.GetCapacity();
        target.Add(source[i]); // Add copes with an element of the target itself
        if (target.GetCapacity() != capacity)
            Account();
    }
    return true;
}

RenderChunk::Entry* RenderChunk::AddEntry()
{
    if (!Admits(entries, entries.GetCount(), MaxEntries, LimitEntries))
        return nullptr;
    const uint32_t capacity = entries.GetCapacity();
    Entry* entry = &entries.AddEmpty(); // zeroed
    if (entries.GetCapacity() != capacity)
        Account();
    return entry;
}

template <typename Light>
Light* RenderChunk::AddLight(Array<Light>& list)
{
    if (!Admits(list, GetLightCount(), MaxLights, LimitLights))
        return nullptr;
    const uint32_t capacity = list.GetCapacity();
    Light* light = &list.AddEmpty();
    *light = Light(); // a reused slot still holds what it held
    if (list.GetCapacity() != capacity)
        Account();
    return light;
}

template RenderChunk::DirectionalLight* RenderChunk::AddLight(Array<DirectionalLight>&);
template RenderChunk::PointLight* RenderChunk::AddLight(Array<PointLight>&);
template RenderChunk::SpotLight* RenderChunk::AddLight(Array<SpotLight>&);
template RenderChunk::AreaSphereLight* RenderChunk::AddLight(Array<AreaSphereLight>&);
template RenderChunk::AreaTubeLight* RenderChunk::AddLight(Array<AreaTubeLight>&);

bool RenderChunk::Merge(const RenderChunk* source, const D3DXMATRIX* m, const D3DXMATRIX* p)
{
    if (!source)
        return true;
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
    // directional lights are taken as they are. Once one list is cut the others are too.
    uint32_t first = 0;
    bool complete = AppendEnabled(spotLights, source->spotLights, spotCount, &first);
    TransformLights(spotLights, first, m);
    complete = complete && AppendEnabled(pointLights, source->pointLights, pointCount, &first);
    TransformLights(pointLights, first, m);
    complete = complete && AppendEnabled(areaSphereLights, source->areaSphereLights, sphereCount, &first);
    TransformLights(areaSphereLights, first, m);
    complete = complete && AppendEnabled(areaTubeLights, source->areaTubeLights, tubeCount, &first);
    complete = complete && AppendEnabled(directionalLights, source->directionalLights, directionalCount, &first);

    // Entries: whole copies, their transforms and valid bones moved with the chunk.
    for (uint32_t i = 0; i < entryCount; ++i)
    {
        if (!Admits(entries, entries.GetCount(), MaxEntries, LimitEntries))
            return false;
        const uint32_t capacity = entries.GetCapacity();
        const uint32_t added = entries.Add(source->entries[i]);
        if (added == entries.NoIndex)
            return false;
        Entry& entry = entries[added];
        if (entries.GetCapacity() != capacity)
            Account();
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
    return complete;
}
