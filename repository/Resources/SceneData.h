// What the scene resource copies out of an imported Assimp scene, without the GPU side:
// the node tree, animation channels, cameras, lights, bones and the CPU form of each
// mesh, the import through the process-wide importer over the demo archive, and the
// sampling of node transforms over the animations. Portable, so the import rules run
// on the host too; the scene resource adds the meshes' buffers and the materials.
#pragma once

#include "Base/Array.h"
#include "Base/Dictionary.h"
#include "Base/String.h"
#include "Rendering/D3DX10Math.h"

#include <cstdint>

struct aiMaterial;
struct aiMesh;
struct aiNode;
struct aiScene;

namespace Assimp
{
class Importer;
}

namespace Brivet::Utility::Archive
{
class IArchive;
}

class SceneData
{
public:
    static constexpr uint32_t NoId = 0xFFFFFFFF;

    // CalcTangentSpace, JoinIdenticalVertices, MakeLeftHanded, Triangulate,
    // LimitBoneWeights, SortByPType, TransformUVCoords, FlipUVs, FlipWindingOrder and
    // SplitByBoneCount.
    static constexpr uint32_t PostProcessFlags = 0x0388820F;
    // Bone matrices an entry carries; the importer splits meshes above it.
    static constexpr uint32_t MaxBones = 32;
    static constexpr uint32_t StaticStride = 64;
    static constexpr uint32_t SkinnedStride = 96;
    static constexpr uint32_t MaxWeightsPerVertex = 4;
    // Node trees are walked recursively: deeper nodes are dropped with one warning.
    static constexpr uint32_t MaxNodeDepth = 256;

    struct VectorKey
    {
        float time; // ticks
        float x, y, z;
    };

    struct QuaternionKey
    {
        float time;       // ticks
        float x, y, z, w; // normalised
    };

    struct Node
    {
        uint32_t id = 0;
        Brivet::Base::String name;
        Brivet::Base::Array<unsigned int> meshIds; // keys of the meshes, in the file's order
        uint32_t parentId = NoId;                  // NoId for the root
        uint32_t animationId = NoId;               // channel id; NoId when not animated
        D3DXMATRIX localTransform = {};
    };

    // One animated node of one animation of the file.
    struct Animation
    {
        uint32_t id = 0;
        Brivet::Base::String nodeName;
        Brivet::Base::String animationName;
        float duration = 0.0f; // ticks
        Brivet::Base::Array<VectorKey> positionKeys;
        Brivet::Base::Array<QuaternionKey> rotationKeys;
        Brivet::Base::Array<VectorKey> scalingKeys;
    };

    struct Camera
    {
        uint32_t id = 0;
        Brivet::Base::String name;
        uint32_t nodeId = NoId;
        uint32_t targetNodeId = NoId;
        D3DXVECTOR3 position = {}; // as the file gives them, in the camera node's space
        D3DXVECTOR3 lookAt = {};
        D3DXVECTOR3 up = {};
        D3DXMATRIX orientation = {}; // LookAtOrientation(position, look-at, up)
        float fieldOfView = 0.0f;    // horizontal, degrees
        float nearPlane = 0.0f;
        float farPlane = 0.0f;
    };

    struct PointLight
    {
        uint32_t id = 0;
        uint32_t nodeId = NoId;
        D3DXVECTOR3 position = {};
        float attenuationConstant = 0.0f;
        float attenuationLinear = 0.0f;
        float attenuationQuadratic = 0.0f;
        D3DXVECTOR3 colour = {}; // diffuse
        float range = 0.0f;      // 100 √(largest colour component)
        uint8_t castsShadows = 0;
    };

    struct SpotLight
    {
        uint32_t id = 0;
        uint32_t nodeId = NoId;
        D3DXVECTOR3 position = {};
        D3DXVECTOR3 colour = {}; // diffuse
        float outerCone = 0.0f;  // radians
        float innerCone = 0.0f;
        uint8_t castsShadows = 0;
    };

    struct DirectionalLight
    {
        uint32_t id = 0;
        uint32_t nodeId = NoId;
        D3DXVECTOR3 direction = {};
        D3DXVECTOR3 colour = {};
        uint8_t castsShadows = 0;
    };

    struct Bone
    {
        uint32_t id = 0;
        uint32_t nodeId = NoId; // NoId when no node has the bone's name
        D3DXMATRIX offset = {};
    };

    // The CPU form of one mesh. Vertices: position, normal, tangent, bitangent (float3
    // each), texture coordinates 0 and 1 (float2 each) and, when skinned, four blend
    // weights (float) and four blend indices (u32, the mesh's own bone indices).
    struct MeshData
    {
        MeshData() = default;
        virtual ~MeshData(); // frees the CPU copies if still held
        MeshData(const MeshData&) = delete;
        MeshData& operator=(const MeshData&) = delete;

        // Frees vertices and indices and sets both to null.
        void FreeCpuData();

        uint32_t meshId = 0;
        uint32_t materialId = 0;
        Brivet::Base::Array<unsigned int> boneIds; // scene bone ids, in the mesh's bone order
        D3DXVECTOR3 boundsMin = {};
        D3DXVECTOR3 boundsMax = {};
        uint32_t vertexStride = 0; // StaticStride or SkinnedStride
        uint32_t vertexCount = 0;
        uint32_t triangleCount = 0;
        uint8_t* vertices = nullptr; // owned until the GPU buffers exist
        void* indices = nullptr;     // u16, or u32 above 65535 vertices; owned likewise
    };

    SceneData();
    virtual ~SceneData();
    SceneData(const SceneData&) = delete;
    SceneData& operator=(const SceneData&) = delete;

    // The post-processing flags for a path: none for names containing ".assbin".
    static uint32_t ImportFlags(const char* path);
    // The one importer of the process, alive from before the entry point to the exit.
    static Assimp::Importer& SharedImporter();
    // Reads path through importer with a new IO system over archive (the importer owns
    // it) and the flags of the path. The importer's scene, or null when it cannot read it.
    static const aiScene* Import(Assimp::Importer& importer, Brivet::Utility::Archive::IArchive* archive,
                                 const char* path);

    // The import steps that need no device, in the order the scene runs them.
    void LoadAnimations(const aiScene* scene);
    void LoadNodes(const aiScene* scene); // node counter reset, the tree from the root
    void LoadCameras(const aiScene* scene);
    void LoadLights(const aiScene* scene);

    // The CPU form of one mesh: false, with nothing built, for a mesh without vertices or
    // without a triangle face (point and line faces are skipped). Skinned meshes add their
    // bones to the scene.
    bool BuildMeshData(const aiMesh* mesh, uint32_t meshId, MeshData& out);

    // The animation channel for a node name: the one record of that node name, or of
    // several the best guess (logged).
    uint32_t ChooseChannel(const char* nodeName) const;
    // The last node in slot order whose name has the same lower-case hash; NoId for none.
    uint32_t FindNodeIgnoringCase(const Brivet::Base::String& name) const;
    // The last node in slot order whose name has the same case-sensitive hash; NoId for none.
    uint32_t FindNodeExact(const Brivet::Base::String& name) const;

    // The file name of the material's first texture of an Assimp texture type, cut after
    // the last '\' and then the last '/'; false when it has none.
    static bool GetTextureFileName(const aiMaterial* material, int textureType, Brivet::Base::String& out);

    // Transform of an animation channel at a key time: scaling × rotation × translation.
    static D3DXMATRIX* ChannelTransform(D3DXMATRIX* out, const Animation& channel, float keyTime);
    static D3DXVECTOR3 SampleVector(const Brivet::Base::Array<VectorKey>& keys, float keyTime);
    static D3DXQUATERNION SampleRotation(const Brivet::Base::Array<QuaternionKey>& keys, float keyTime);

    // Current and previous world matrices of every node (count matrices each, indexed by
    // node id) for the animation fractions s and sPrevious: nodes in slot order, parents
    // first. A node whose channel the scene lacks keeps its matrices; ids at or above
    // count are passed over.
    void AnimateNodes(float s, float sPrevious, D3DXMATRIX* current, D3DXMATRIX* previous, uint32_t count) const;

    // Every record dropped, counter and ambient colour zero.
    void ClearData();

    // Visits the live values of a record dictionary in slot order (for keys that run from
    // 0 without gaps the key order; light keys may have gaps, and then it is not).
    template <typename V, typename F>
    static void ForEachSlot(const Brivet::Base::Dictionary<unsigned int, V>& dictionary, F&& visit)
    {
        for (uint32_t i = 0; i < dictionary.GetCapacity(); ++i)
        {
            const auto& slot = dictionary.GetSlot(i);
            if (slot.IsLive())
                visit(slot.value);
        }
    }

    Brivet::Base::Dictionary<unsigned int, Node> nodes;
    Brivet::Base::Dictionary<unsigned int, Animation> animations;
    Brivet::Base::Dictionary<unsigned int, Camera> cameras;
    Brivet::Base::Dictionary<unsigned int, PointLight> pointLights;
    Brivet::Base::Dictionary<unsigned int, SpotLight> spotLights;
    Brivet::Base::Dictionary<unsigned int, DirectionalLight> directionalLights; // the import adds none
    Brivet::Base::Dictionary<unsigned int, Bone> bones;
    uint32_t nodeCounter;      // the next node id
    D3DXVECTOR4 ambientColour; // zero until an ambient light is imported

private:
    // Loads node and its children below parentId; returns the number of nodes dropped at
    // MaxNodeDepth (each with its children).
    uint32_t LoadNode(const aiNode* node, uint32_t parentId, uint32_t depth);
};
