// The resource of type "RenderChunk": what a 3D scene holds for one frame (camera,
// ambient colour, drawable entries and five kinds of light), handed from effect to
// effect. Producers fill it, modifiers merge chunks into theirs under a transform,
// renderers read it. Only the arrays are owned: geometry, materials and effects are
// borrowed from the resources that produced them.
#pragma once

#include "Assets/Resource/IResource.h"
#include "Base/Array.h"
#include "Rendering/D3DX10Math.h"

#include <cstdint>
#include <type_traits>

class Effect;
class ReflectedShaderState;

namespace Brivet::Rendering
{
class IRenderable;
class MaterialBase;
}

class RenderChunk : public Brivet::Assets::Resource::IResource
{
public:
    static constexpr uint32_t MaxBones = 32;
    // What one chunk may hold: modifiers multiply chunks (duplicates of duplicates, merges
    // of merges, a merge fed by its own output), so appends beyond these are left out.
    static constexpr uint32_t MaxEntries = 65536; // 281 MB of entries
    static constexpr uint32_t MaxLights = 4096;   // the five kinds together
    // What all chunks together may hold, in bytes of their lists' capacity: a chain of
    // modifiers keeps a copy in every chunk of it.
    static constexpr uint64_t MaxHeldBytes = uint64_t(1) << 30;

    // Camera priorities (ambient priorities use the same numbers).
    enum Priority : int32_t
    {
        PriorityNone = 0,
        PriorityScene = 1, // a camera or ambient colour of an imported scene
        PriorityEffect = 2, // a camera or light effect
    };

    // Light type codes, as in an effect pass's light type.
    enum LightType : uint32_t
    {
        LightAmbient = 1,
        LightDirectional = 2,
        LightPoint = 3,
        LightSpot = 4,
        LightAreaSphere = 5,
        LightAreaTube = 6,
    };

    enum ShadowKind : uint32_t
    {
        ShadowNone = 0,
        ShadowCube = 1,
        ShadowMap = 2,
    };

    // Copied as one unit; the same record stands in the G-buffer.
    struct CameraBlock
    {
        int32_t priority; // Priority
        D3DXMATRIX view;
        D3DXMATRIX previousView; // the view at the producer's previous sample time
        D3DXMATRIX projection; // not filled by producers; renderers compute their own
        uint8_t orthographic;
        D3DXVECTOR4 position; // (x, y, z, 1)
        float fieldOfView; // horizontal, degrees
        float nearPlane;
        float farPlane;
    };

    struct AmbientBlock
    {
        int32_t priority; // Priority
        D3DXVECTOR3 colour;
    };

    // One drawable instance. A plain record: copied bytewise.
    struct Entry
    {
        Brivet::Rendering::IRenderable* geometry;
        D3DXMATRIX world; // object to world at the frame time
        D3DXMATRIX previousWorld; // at the previous sample time
        uint32_t boneCount; // the first boneCount bones are valid; readers clamp it to MaxBones
        D3DXMATRIX bones[MaxBones];
        D3DXMATRIX previousBones[MaxBones];
        Effect* effect; // null: the renderer's default shader
        ReflectedShaderState* state; // null: the renderer's own
        Brivet::Rendering::MaterialBase* material; // may be null
        D3DXVECTOR3 boundsMin; // object space
        D3DXVECTOR3 boundsMax;
    };

    class LightBase
    {
    public:
        virtual ~LightBase() = default;
        virtual uint32_t GetType() const = 0; // LightType
        virtual uint32_t GetShadowKind() const = 0; // ShadowKind
        // Enabled and casting.
        virtual bool CastsShadow() const { return enabled && castsShadow; }

        uint8_t enabled = 0;
        uint8_t castsShadow = 0;
    };

    class DirectionalLight : public LightBase
    {
    public:
        uint32_t GetType() const override { return LightDirectional; }
        uint32_t GetShadowKind() const override { return ShadowMap; }

        D3DXVECTOR3 colour = {};
        D3DXVECTOR3 direction = {};
        float shadowSourceDistance = 0.0f;
        D3DXVECTOR2 shadowSize = {};
    };

    class PointLight : public LightBase
    {
    public:
        uint32_t GetType() const override { return LightPoint; }
        uint32_t GetShadowKind() const override { return ShadowCube; }

        D3DXVECTOR3 colour = {};
        D3DXMATRIX lightToWorld = {}; // identity rotation, translation = position
        D3DXVECTOR3 attenuation = {}; // constant, linear, quadratic
        float radius = 0.0f;
    };

    class SpotLight : public LightBase
    {
    public:
        uint32_t GetType() const override { return LightSpot; }
        uint32_t GetShadowKind() const override { return ShadowMap; }

        D3DXVECTOR3 colour = {};
        D3DXMATRIX lightToWorld = {}; // from the position towards the target, up (0, 1, 0)
        float outerCone = 0.0f; // radians
        float innerCone = 0.0f;
    };

    class AreaSphereLight : public LightBase
    {
    public:
        uint32_t GetType() const override { return LightAreaSphere; }
        uint32_t GetShadowKind() const override { return ShadowCube; }

        D3DXVECTOR3 colour = {};
        D3DXMATRIX lightToWorld = {}; // translation = position
        D3DXVECTOR3 attenuation = {};
        float lightRadius = 0.0f;
        float renderRadius = 0.0f;
    };

    class AreaTubeLight : public LightBase
    {
    public:
        uint32_t GetType() const override { return LightAreaTube; }
        uint32_t GetShadowKind() const override { return ShadowNone; }
        bool CastsShadow() const override { return false; }

        D3DXVECTOR3 colour = {};
        D3DXVECTOR3 start = {};
        D3DXVECTOR3 end = {};
        float radius = 0.0f;
    };

    // An empty chunk: priorities 0, no entries, no lights. graph and demo may be null.
    RenderChunk(Brivet::Compositing::Graph* graph, Brivet::Demo* demo);
    ~RenderChunk() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "RenderChunk"
    bool Load(const char* path) override; // false: the type has no files
    // Invalidate keeps the default (nothing): the graph does not clear a chunk, its
    // producer empties it at the start of its render.

    // Camera and ambient priorities 0, the entry list and the five light lists emptied
    // (they keep their capacity).
    void Empty();

    // Appends source into this chunk under m (null: no transform at all) and, for the
    // previous-frame matrices, p (null: p = m). The camera and ambient blocks are taken
    // when this chunk's priority is not above the source's; only enabled lights are
    // taken. A chunk merged into itself appends what it held before the call. False when
    // a limit left out some of the source's lights or entries.
    bool Merge(const RenderChunk* source, const D3DXMATRIX* m, const D3DXMATRIX* p);

    // A zeroed entry appended for the caller to fill, or null when the chunk holds
    // MaxEntries or all chunks hold MaxHeldBytes (warned once per chunk).
    Entry* AddEntry();
    // A default light appended to one of this chunk's five lists, or null when the chunk
    // holds MaxLights lights or all chunks hold MaxHeldBytes (warned once per chunk).
    template <typename Light>
    Light* AddLight(Brivet::Base::Array<Light>& list);

    uint32_t GetLightCount() const; // the five lists together
    // Bytes that the lists of all chunks hold (their capacity), as the limit counts them.
    static uint64_t GetHeldBytes();

    CameraBlock camera;
    Brivet::Base::Array<Entry> entries;
    AmbientBlock ambient;
    Brivet::Base::Array<DirectionalLight> directionalLights;
    Brivet::Base::Array<PointLight> pointLights;
    Brivet::Base::Array<SpotLight> spotLights;
    Brivet::Base::Array<AreaSphereLight> areaSphereLights;
    Brivet::Base::Array<AreaTubeLight> areaTubeLights;

private:
    enum Limit : uint8_t
    {
        LimitEntries = 1,
        LimitLights = 2,
        LimitHeldBytes = 4,
    };

    // True when one more element fits into list, held being what the chunk holds of its
    // kind against limit (a list about to grow beyond limit is given exactly limit);
    // otherwise warns once per chunk and limit.
    template <typename T>
    bool Admits(Brivet::Base::Array<T>& list, uint32_t held, uint32_t limit, Limit kind);
    // Appends the enabled lights among the first count of source (which may be target);
    // first receives the index of the first appended one. False when a limit left some out.
    template <typename Light>
    bool AppendEnabled(Brivet::Base::Array<Light>& target, const Brivet::Base::Array<Light>& source, uint32_t count,
                       uint32_t* first);
    // Brings this chunk's share of what all chunks hold up to date with its capacities.
    void Account();
    void Warn(Limit kind);

    uint64_t heldBytes; // this chunk's share, as last accounted
    uint8_t warned; // Limit bits
};

static_assert(std::is_trivial_v<RenderChunk::Entry>, "entries are copied bytewise");
