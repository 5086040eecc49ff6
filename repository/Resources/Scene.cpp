// The scene resource: the import through the process-wide importer, GPU meshes and
// materials with their textures.
#include "repository/Resources/Scene.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/ITexture.h"
#include "Graphics/Program.h"
#include "Utility/Log.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/ReflectedShaderState.h"
#include "repository/Resources/Texture.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <d3d11.h>

#include <cstring>

using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{
const D3D11_INPUT_ELEMENT_DESC SkinnedLayout[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TANGENT", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 24, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"BINORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 36, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 48, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 1, DXGI_FORMAT_R32G32_FLOAT, 0, 56, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"BLENDWEIGHT", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 64, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"BLENDINDICES", 0, DXGI_FORMAT_R32G32B32A32_UINT, 0, 80, D3D11_INPUT_PER_VERTEX_DATA, 0},
};
constexpr uint32_t StaticElementCount = 6; // the first six of the skinned table

D3DXVECTOR4 Vector4(const aiColor4D& c)
{
    return D3DXVECTOR4(c.r, c.g, c.b, c.a);
}
} // namespace

const Scene::MapInfo Scene::Maps[MapCount] = {
    {aiTextureType_LIGHTMAP, -1, false, "bEnableAmbientmap", "texAmbient"},
    {aiTextureType_DIFFUSE, -1, true, "bEnableDiffuse", "texDiffuse"},
    {aiTextureType_DIFFUSE_ROUGHNESS, aiTextureType_SHININESS, false, "bEnableRoughnessMap", "texRoughness"},
    {aiTextureType_METALNESS, -1, false, "bEnableMetallicMap", "texMetallic"},
    {aiTextureType_NORMALS, -1, false, "bEnableNormalmap", "texNormal"},
    {aiTextureType_SPECULAR, -1, false, "bEnableSpecularmap", "texSpecular"},
    {aiTextureType_EMISSIVE, -1, true, "bEnableEmissivemap", "texEmissive"},
};

// ---------------------------------------------------------------------------------------
// Mesh

Scene::Mesh::Mesh(Brivet::Graphics::System* system) : GeometryBase(system) {}

Scene::Mesh::~Mesh() = default;

uint32_t Scene::Mesh::GetInputElements(const D3D11_INPUT_ELEMENT_DESC** elements)
{
    *elements = SkinnedLayout;
    return IsSkinned() ? static_cast<uint32_t>(sizeof(SkinnedLayout) / sizeof(SkinnedLayout[0])) : StaticElementCount;
}

// ---------------------------------------------------------------------------------------
// Material

void Scene::Material::Apply(Brivet::Graphics::Program* program)
{
    if (!program)
        return;
    program->SetFloat4("clrAmbient", ambient);
    program->SetFloat4("clrDiffuse", diffuse);
    program->SetFloat4("clrSpecular", specular);
    program->SetFloat4("clrEmissive", emissive);
    program->SetFloat("fSpecularShininess", shininess);
    program->SetFloat("fSelfIllumination", selfIllumination);
    program->SetFloat("fRoughness", roughness);
    program->SetFloat("fMetallic", metallic);
    program->SetBool("bEnableAmbientmap", maps[MapAmbient].texture != nullptr);
    program->SetBool("bEnableDiffuse", maps[MapDiffuse].texture != nullptr);
    program->SetBool("bEnableNormalmap", maps[MapNormal].texture != nullptr);
    program->SetBool("bEnableSpecularmap", maps[MapSpecular].texture != nullptr);
    program->SetBool("bEnableEmissivemap", maps[MapEmissive].texture != nullptr);
    program->SetBool("bEnableRoughnessMap", maps[MapRoughness].texture != nullptr);
    program->SetBool("bEnableMetallicMap", maps[MapMetallic].texture != nullptr);
    for (uint32_t m = 0; m < MapCount; ++m)
    {
        Brivet::Graphics::ITexture* texture = maps[m].texture ? maps[m].texture->GetTexture() : nullptr;
        ReflectedShaderState::BindView(program, Maps[m].textureName,
                                       texture ? texture->GetShaderResourceView() : nullptr);
    }
}

// ---------------------------------------------------------------------------------------
// Scene

Scene::Scene(Brivet::Compositing::Graph* graph) : IResource(graph, graph ? graph->demo : nullptr) {}

Scene::~Scene()
{
    Unload();
}

void Scene::GetTypeName(StaticString<64>& type) const
{
    type = StaticString<64>("scene");
}

bool Scene::Load(const char* path)
{
    Brivet::Utility::Archive::IArchive* archive = demo ? demo->archive : nullptr;
    if (!archive)
        return false;
    const aiScene* imported = SceneData::Import(SharedImporter(), archive, path);
    if (!imported)
        return false;

    LoadAnimations(imported);
    LoadNodes(imported);

    // Meshes: those without vertices or triangles are skipped and leave a gap in the ids.
    for (uint32_t i = 0; i < imported->mNumMeshes; ++i)
    {
        Mesh* mesh = new Mesh(&demo->system);
        if (!BuildMeshData(imported->mMeshes[i], i, *mesh))
        {
            delete mesh;
            continue;
        }
        if (!BuildMesh(mesh, imported->mMeshes[i], i))
        {
            delete mesh;
            return false;
        }
        meshes.Set(i, mesh);
    }

    LoadCameras(imported);
    LoadLights(imported);
    LoadMaterials(imported);
    return true;
}

bool Scene::BuildMesh(Mesh* mesh, const aiMesh* imported, uint32_t meshId)
{
    if (!mesh->vertices && !BuildMeshData(imported, meshId, *mesh))
        return false;
    if (!mesh->CreateBuffers())
        return false;
    mesh->FreeCpuData();
    return true;
}

void Scene::LoadMaterials(const aiScene* scene)
{
    for (uint32_t i = 0; i < scene->mNumMaterials; ++i)
    {
        const aiMaterial* imported = scene->mMaterials[i];
        Material material;
        material.id = i;

        aiString name;
        if (aiGetMaterialString(imported, AI_MATKEY_NAME, &name) == aiReturn_SUCCESS)
            material.name = String(name.C_Str(), name.length);
        material.transparent = strstr(material.name.GetText(), "TRANSPARENT") ? 1 : 0;

        // Colours (a three-component colour reads with alpha 1)
        aiColor4D colour;
        if (aiGetMaterialColor(imported, AI_MATKEY_COLOR_DIFFUSE, &colour) == aiReturn_SUCCESS)
            material.diffuse = Vector4(colour);
        if (aiGetMaterialColor(imported, AI_MATKEY_COLOR_AMBIENT, &colour) == aiReturn_SUCCESS)
            material.ambient = Vector4(colour);
        if (aiGetMaterialColor(imported, AI_MATKEY_COLOR_SPECULAR, &colour) == aiReturn_SUCCESS)
            material.specular = Vector4(colour);
        if (aiGetMaterialColor(imported, AI_MATKEY_COLOR_EMISSIVE, &colour) == aiReturn_SUCCESS)
            material.emissive = Vector4(colour);

        // Texture maps
        for (uint32_t m = 0; m < MapCount; ++m)
        {
            String fileName;
            bool found = GetTextureFileName(imported, Maps[m].textureType, fileName);
            if (!found && Maps[m].fallbackType >= 0)
                found = GetTextureFileName(imported, Maps[m].fallbackType, fileName);
            if (!found)
                continue;
            material.maps[m].fileName = fileName;
            material.maps[m].texture = LoadMaterialTexture(fileName, Maps[m].sRGB);
        }

        // Factors
        float value = 0.0f;
        unsigned int one = 1;
        if (aiGetMaterialFloatArray(imported, AI_MATKEY_SHININESS, &value, &one) == aiReturn_SUCCESS)
            material.shininess = value;
        one = 1;
        if (aiGetMaterialFloatArray(imported, AI_MATKEY_ROUGHNESS_FACTOR, &value, &one) == aiReturn_SUCCESS)
            material.roughness = value;
        one = 1;
        if (aiGetMaterialFloatArray(imported, AI_MATKEY_METALLIC_FACTOR, &value, &one) == aiReturn_SUCCESS)
            material.metallic = value;
        one = 1;
        if (aiGetMaterialFloatArray(imported, AI_MATKEY_EMISSIVE_INTENSITY, &value, &one) == aiReturn_SUCCESS)
            material.emissive = material.emissive * value;

        material.ambient.x *= ambientColour.x;
        material.ambient.y *= ambientColour.y;
        material.ambient.z *= ambientColour.z;
        material.ambient.w *= ambientColour.w;
        materials.Set(i, material);
    }
}

Texture* Scene::LoadMaterialTexture(const String& fileName, bool sRGB)
{
    if (!demo)
        return nullptr;
    Brivet::Utility::XML::Document document;
    document.Load(sRGB ? "<loadSettings srgb=\"true\"/>" : "<loadSettings srgb=\"false\"/>");
    const Brivet::Utility::XML::Node settings(document.GetHandle()->document_element(), &document);
    const StaticString<64> type("texture");

    Brivet::Assets::Resource::IResource* resource = demo->GetResource(graph, type, fileName.GetText(), &settings);
    const char* dot = strrchr(fileName.GetText(), '.');
    if (!resource && dot)
    {
        const String stem(fileName.GetText(), static_cast<uint32_t>(dot - fileName.GetText()));
        for (const char* extension : {"png", "jpg", "dds"})
        {
            String candidate;
            candidate.Format("%s.%s", stem.GetText(), extension);
            resource = demo->GetResource(graph, type, candidate.GetText(), &settings);
            if (resource)
                break;
        }
        if (!resource)
            Log::Warning("[scene] Missing texture: '%s'", fileName.GetText());
    }
    return static_cast<Texture*>(resource);
}

Scene::Mesh* Scene::FindMesh(uint32_t meshId) const
{
    Mesh* const* mesh = nullptr;
    return meshes.Find(meshId, &mesh) ? *mesh : nullptr;
}

Scene::Material* Scene::FindMaterial(uint32_t materialId)
{
    Material* material = nullptr;
    return materials.Find(materialId, &material) ? material : nullptr;
}

const Scene::Material* Scene::FindMaterial(uint32_t materialId) const
{
    const Material* material = nullptr;
    return materials.Find(materialId, &material) ? material : nullptr;
}

void Scene::Unload()
{
    for (uint32_t i = 0; i < meshes.GetCount(); ++i)
        delete meshes.GetEntry(i).value;
    meshes.Clear();
    for (uint32_t i = 0; i < materials.GetCount(); ++i)
    {
        Material& material = materials.GetEntry(i).value;
        for (TextureMap& map : material.maps)
        {
            if (map.texture && demo)
                demo->resourceManager.ReleaseResource(map.texture);
            map.texture = nullptr;
        }
    }
    materials.Clear();
    ClearData();
}
