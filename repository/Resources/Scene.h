// The resource of type "scene": a 3D file of the archive imported once through Assimp and
// copied into the engine's records: the node tree, animation channels, cameras, lights and
// bones (SceneData), meshes with their vertex and index buffers on the GPU, and materials
// that put their colours, factors and texture maps into a program. The scene draws
// nothing itself: the scene, instancing and mesh-to-buffer effects read its records.
#pragma once

#include "Assets/Resource/IResource.h"
#include "Base/Dictionary.h"
#include "Base/String.h"
#include "Rendering/Geometry.h"
#include "Rendering/Material.h"
#include "repository/Resources/SceneData.h"

#include <cstdint>

struct aiMesh;
struct aiScene;

class Texture;

class Scene : public Brivet::Assets::Resource::IResource, public SceneData
{
public:
    // A drawable mesh. After the import only its GPU objects (vertex and index buffers and
    // their views, reached through GeometryBase), bounds and bone ids remain: the CPU
    // copies are gone, so GetVertices and GetIndices give null.
    class Mesh : public Brivet::Rendering::GeometryBase, public SceneData::MeshData
    {
    public:
        explicit Mesh(Brivet::Graphics::System* system);
        ~Mesh() override;

        bool HasBounds() override { return true; }
        // The skinned table (8 elements, 96 bytes) with bones, else the static one (6, 64).
        uint32_t GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements) override;
        const void* GetVertices() override { return vertices; }
        uint32_t GetVertexStride() override { return vertexStride; }
        uint32_t GetVertexCount() override { return vertexCount; }
        const void* GetIndices() override { return indices; }
        uint32_t GetTriangleCount() override { return triangleCount; }
        bool Uses32BitIndices() override { return vertexCount > 65535; }
        D3D11_PRIMITIVE_TOPOLOGY GetTopology() override { return D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST; }
        virtual bool IsSkinned() const { return boneIds.GetCount() > 0; }
    };

    // The seven texture maps of a material, in field order.
    enum MapIndex : uint32_t
    {
        MapAmbient = 0,
        MapDiffuse = 1,
        MapRoughness = 2,
        MapMetallic = 3,
        MapNormal = 4,
        MapSpecular = 5,
        MapEmissive = 6,
        MapCount = 7,
    };

    struct TextureMap
    {
        Brivet::Base::String fileName; // as the material names it, without folders
        Texture* texture = nullptr;    // one reference held until Unload; null when missing
    };

    class Material : public Brivet::Rendering::MaterialBase
    {
    public:
        // "clrAmbient", "clrDiffuse", "clrSpecular", "clrEmissive", the four factors, a
        // switch per map and each map's view (null unbinds) on every stage of the program.
        void Apply(Brivet::Graphics::Program* program) override;
        bool IsTransparent() const override { return transparent != 0; }

        uint32_t id = 0;
        Brivet::Base::String name;
        D3DXVECTOR4 ambient = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 1.0f); // times the scene's ambient colour
        D3DXVECTOR4 diffuse = D3DXVECTOR4(0.5f, 0.5f, 0.5f, 1.0f);
        D3DXVECTOR4 specular = D3DXVECTOR4(1.0f, 1.0f, 1.0f, 1.0f);
        D3DXVECTOR4 emissive = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
        float shininess = 0.0f; // 0 when the file gives none
        float selfIllumination = 0.0f;
        float roughness = 0.0f;
        float metallic = 0.0f;
        TextureMap maps[MapCount];
        uint8_t transparent = 0; // the name contains "TRANSPARENT"
    };

    // How a map is filled and what the shaders call it.
    struct MapInfo
    {
        int textureType;  // Assimp's
        int fallbackType; // tried when the first has no texture; -1 for none
        bool sRGB;
        const char* switchName;
        const char* textureName;
    };
    static const MapInfo Maps[MapCount];

    explicit Scene(Brivet::Compositing::Graph* graph); // graph may be null (nothing loads then)
    ~Scene() override;                                 // Unload

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "scene"
    // Imports the archive entry at path: animations, nodes, meshes, cameras, lights,
    // materials. False, logging nothing itself, when the importer cannot read it or a
    // mesh's buffers cannot be made (what was built stays until Unload).
    bool Load(const char* path) override;
    // Meshes deleted, material textures released, every record dropped.
    void Unload() override;

    // The GPU mesh of one imported mesh; false when its buffers cannot be created.
    bool BuildMesh(Mesh* mesh, const aiMesh* imported, uint32_t meshId);
    void LoadMaterials(const aiScene* scene);
    // The "texture" resource of that file name for this scene's graph, decoded as sRGB
    // or not; else the same stem as .png, .jpg and .dds. Null (and a warning when the
    // name has an extension) when none loads.
    Texture* LoadMaterialTexture(const Brivet::Base::String& fileName, bool sRGB);

    // Mesh by id, material by id; null when the scene holds none.
    Mesh* FindMesh(uint32_t meshId) const;
    Material* FindMaterial(uint32_t materialId);
    const Material* FindMaterial(uint32_t materialId) const;

    Brivet::Base::Dictionary<unsigned int, Mesh*> meshes;       // owned; keyed by the file's mesh index
    Brivet::Base::Dictionary<unsigned int, Material> materials; // keyed by the file's material index
};
