// The scene resource on a device: one model of Assimp's test set per importer format loads
// from the archive with its meshes, materials, nodes, cameras, lights and bones; meshes end
// with GPU buffers only; materials take their colours and textures (sRGB per map, fallback
// extensions, the missing-texture warning); unloading gives the textures back.
#include "ResourcesFixture.h"

#include "DdsBuilder.h"
#include "LogCapture.h"
#include "repository/Resources/Scene.h"
#include "repository/Resources/SceneFactory.h"
#include "repository/Resources/Texture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace ResourcesTest;

namespace
{
std::string Models()
{
    const char* folder = getenv("BRIVET_ASSIMP_MODELS");
    return folder ? folder : "/usr/share/assimp/models";
}

class SceneTest : public DemoTest
{
protected:
    void TearDown() override
    {
        for (Scene* scene : loaded)
            demo->resourceManager.ReleaseResource(scene);
        graph.reset();
    }

    // Adds model files of Assimp's test set to the archive under their own relative names.
    void AddModels(const std::vector<std::string>& names)
    {
        for (const std::string& name : names)
            ASSERT_TRUE(Archive().AddFile(name, Models() + "/" + name)) << name;
    }

    Scene* Load(const char* path)
    {
        Brivet::Assets::Resource::IResource* resource =
            demo->resourceManager.GetResource(graph.get(), "scene", path, nullptr);
        if (resource)
            loaded.push_back(static_cast<Scene*>(resource));
        return static_cast<Scene*>(resource);
    }

    std::vector<Scene*> loaded;
};

uint32_t Skinned(const Scene& scene)
{
    uint32_t count = 0;
    for (uint32_t i = 0; i < scene.meshes.GetCount(); ++i)
        count += scene.meshes.GetEntry(i).value->IsSkinned() ? 1 : 0;
    return count;
}

uint32_t Textured(const Scene& scene, uint32_t map)
{
    uint32_t count = 0;
    for (uint32_t i = 0; i < scene.materials.GetCount(); ++i)
        count += scene.materials.GetEntry(i).value.maps[map].texture ? 1 : 0;
    return count;
}
} // namespace

TEST_F(SceneTest, OneModelPerImporterFormatLoadsWithItsRecords)
{
    const char* fixtures = getenv("BRIVET_SCENE_FIXTURES");
    ASSERT_NE(fixtures, nullptr);
    AddModels({"OBJ/spider.obj", "OBJ/spider.mtl", "OBJ/SpiderTex.jpg", "OBJ/drkwood2.jpg", "OBJ/engineflare1.jpg",
               "OBJ/wal67ar_small.jpg", "OBJ/wal69ar_small.jpg", "Collada/duck.dae", "FBX/animation_with_skeleton.fbx",
               "glTF/BoxTextured-glTF/BoxTextured.gltf", "glTF/BoxTextured-glTF/BoxTextured.bin",
               "glTF/BoxTextured-glTF/BoxTextured0FS.glsl", "glTF/BoxTextured-glTF/BoxTextured0VS.glsl",
               "glTF2/BoxTextured-glTF/BoxTextured.gltf", "glTF2/BoxTextured-glTF/BoxTextured0.bin",
               "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "IQM/mrfixit.iqm"});
    // Textures are looked up by file name alone, at the archive's root.
    ASSERT_TRUE(Archive().AddFile("SpiderTex.jpg", Models() + "/OBJ/SpiderTex.jpg"));
    ASSERT_TRUE(Archive().AddFile("CesiumLogoFlat.png", Models() + "/glTF2/BoxTextured-glTF/CesiumLogoFlat.png"));
    ASSERT_TRUE(Archive().AddFile("Body.jpg", Models() + "/IQM/Body.jpg"));
    ASSERT_TRUE(Archive().AddFile("Head.jpg", Models() + "/IQM/Head.jpg"));
    ASSERT_TRUE(Archive().AddFile("models/duck.assbin", std::string(fixtures) + "/duck.assbin"));

    struct Case
    {
        const char* path;
        uint32_t meshes, materials, nodes, cameras, pointLights, bones, channels, skinned, diffuseMaps;
    };
    const Case cases[] = {
        {"OBJ/spider.obj", 19, 6, 20, 0, 0, 0, 0, 0, 1},
        {"Collada/duck.dae", 1, 1, 4, 1, 0, 0, 0, 0, 0}, // a directional light; its .tga map is missing
        {"FBX/animation_with_skeleton.fbx", 1, 1, 21, 1, 1, 13, 15, 1, 0},
        {"glTF2/BoxTextured-glTF/BoxTextured.gltf", 1, 2, 2, 0, 0, 0, 0, 0, 1},
        {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", 1, 2, 2, 0, 0, 0, 0, 0, 0}, // an embedded image
        {"IQM/mrfixit.iqm", 2, 2, 1, 0, 0, 0, 0, 0, 2},
        {"models/duck.assbin", 1, 1, 4, 1, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        Scene* scene = Load(c.path);
        ASSERT_NE(scene, nullptr);
        EXPECT_EQ(scene->meshes.GetCount(), c.meshes);
        EXPECT_EQ(scene->materials.GetCount(), c.materials);
        EXPECT_EQ(scene->nodes.GetCount(), c.nodes);
        EXPECT_EQ(scene->cameras.GetCount(), c.cameras);
        EXPECT_EQ(scene->pointLights.GetCount(), c.pointLights);
        EXPECT_EQ(scene->bones.GetCount(), c.bones);
        EXPECT_EQ(scene->animations.GetCount(), c.channels);
        EXPECT_EQ(Skinned(*scene), c.skinned);
        EXPECT_EQ(Textured(*scene, Scene::MapDiffuse), c.diffuseMaps);
        for (uint32_t i = 0; i < scene->meshes.GetCount(); ++i)
        {
            Scene::Mesh* mesh = scene->meshes.GetEntry(i).value;
            EXPECT_NE(mesh->GetVertexBuffer(), nullptr);
            EXPECT_NE(mesh->GetIndexBuffer(), nullptr);
            EXPECT_NE(mesh->GetVertexView(), nullptr) << "the vertices stay readable by shaders";
            EXPECT_EQ(mesh->GetVertices(), nullptr) << "the CPU copies are gone";
            EXPECT_EQ(mesh->GetIndices(), nullptr);
            EXPECT_LE(mesh->boneIds.GetCount(), SceneData::MaxBones);
            const D3D11_INPUT_ELEMENT_DESC* elements = nullptr;
            EXPECT_EQ(mesh->GetInputElements(&elements), mesh->IsSkinned() ? 8u : 6u);
            EXPECT_EQ(mesh->GetVertexStride(), mesh->IsSkinned() ? 96u : 64u);
        }
    }
    // The builds leave the glTF 1.0 importer out: a file of that version does not load.
    EXPECT_EQ(Load("glTF/BoxTextured-glTF/BoxTextured.gltf"), nullptr);
}

TEST_F(SceneTest, AnUnprocessedBinaryFileKeepsOnlyItsTriangles)
{
    // The exported duck holds triangles, quads and pentagons: no post-processing
    // triangulates a ".assbin" file, so only its triangles are drawn.
    const char* fixtures = getenv("BRIVET_SCENE_FIXTURES");
    ASSERT_NE(fixtures, nullptr);
    ASSERT_TRUE(Archive().AddFile("duck-raw.assbin", std::string(fixtures) + "/duck.assbin"));
    Scene* scene = Load("duck-raw.assbin");
    ASSERT_NE(scene, nullptr);
    Scene::Mesh* mesh = scene->FindMesh(0);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertexCount, 8500u);
    EXPECT_EQ(mesh->triangleCount, 84u);
}

TEST_F(SceneTest, MeshesWithoutTrianglesAreSkippedAndLeaveGaps)
{
    AddModels({"OBJ/testmixed.obj", "OBJ/testpoints.obj"});
    Scene* mixed = Load("OBJ/testmixed.obj");
    ASSERT_NE(mixed, nullptr);
    ASSERT_EQ(mixed->meshes.GetCount(), 1u) << "the point and line meshes are not built";
    const uint32_t id = mixed->meshes.GetEntry(0).key;
    EXPECT_EQ(mixed->meshes.GetEntry(0).value->meshId, id);
    EXPECT_EQ(id, 2u) << "sorted by primitive type, the triangles come after points and lines";

    Scene* points = Load("OBJ/testpoints.obj");
    ASSERT_NE(points, nullptr) << "a scene of points loads, with nothing to draw";
    EXPECT_EQ(points->meshes.GetCount(), 0u);
}

TEST_F(SceneTest, MaterialsTakeColoursFactorsAndTexturesWithFallbacks)
{
    Archive().entries["materials.obj"] = "mtllib materials.mtl\n"
                                         "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                         "usemtl plain\nf 1 2 3\n"
                                         "usemtl Glass_TRANSPARENT\nf 1 3 2\n"
                                         "usemtl mapped\nf 2 1 3\n";
    Archive().entries["materials.mtl"] = "newmtl plain\nKd 0.25 0.5 0.75\nKs 0 0.5 0\nNs 12\n"
                                         "newmtl Glass_TRANSPARENT\nKe 1 2 3\n"
                                         "newmtl mapped\nmap_Kd C:\\art\\wood.tga\nmap_Ks textures/wood.tga\n"
                                         "norm gone.tga\nmap_Ke noextension\n";
    // wood.tga is not in the archive: wood.png is not either, wood.jpg is not a JPEG,
    // wood.dds is a texture.
    Archive().entries["wood.jpg"] = "not an image";
    Archive().entries["wood.dds"] = BuildDds(DdsSpec().Size(4, 4), PatternBytes(64, 9));

    LogCapture::Get().Clear();
    Scene* scene = Load("materials.obj");
    ASSERT_NE(scene, nullptr);

    const Scene::Material* plain = nullptr;
    const Scene::Material* glass = nullptr;
    const Scene::Material* mapped = nullptr;
    for (uint32_t i = 0; i < scene->materials.GetCount(); ++i)
    {
        const Scene::Material& material = scene->materials.GetEntry(i).value;
        EXPECT_EQ(material.id, scene->materials.GetEntry(i).key);
        const std::string name = material.name.GetText();
        if (name == "plain")
            plain = &material;
        else if (name == "Glass_TRANSPARENT")
            glass = &material;
        else if (name == "mapped")
            mapped = &material;
    }
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(glass, nullptr);
    ASSERT_NE(mapped, nullptr);

    EXPECT_EQ(plain->diffuse, D3DXVECTOR4(0.25f, 0.5f, 0.75f, 1.0f));
    EXPECT_EQ(plain->specular, D3DXVECTOR4(0.0f, 0.5f, 0.0f, 1.0f));
    EXPECT_EQ(plain->shininess, 12.0f);
    EXPECT_EQ(plain->ambient, D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f)) << "no ambient light: ambient times zero";
    EXPECT_FALSE(plain->IsTransparent());
    EXPECT_TRUE(glass->IsTransparent());
    EXPECT_EQ(glass->emissive, D3DXVECTOR4(1.0f, 2.0f, 3.0f, 1.0f));

    EXPECT_STREQ(mapped->maps[Scene::MapDiffuse].fileName.GetText(), "wood.tga");
    EXPECT_STREQ(mapped->maps[Scene::MapSpecular].fileName.GetText(), "wood.tga");
    Texture* diffuse = mapped->maps[Scene::MapDiffuse].texture;
    ASSERT_NE(diffuse, nullptr) << "found as wood.dds";
    EXPECT_EQ(mapped->maps[Scene::MapSpecular].texture, diffuse) << "one cached texture for both maps";
    EXPECT_EQ(diffuse->sRGB, 1) << "the first request (diffuse, sRGB) decides";
    EXPECT_EQ(mapped->maps[Scene::MapNormal].texture, nullptr);
    EXPECT_STREQ(mapped->maps[Scene::MapNormal].fileName.GetText(), "gone.tga");
    EXPECT_EQ(mapped->maps[Scene::MapEmissive].texture, nullptr);

    std::vector<std::string> warnings = Lines(Brivet::Utility::Log::LevelWarning);
    EXPECT_EQ(warnings, std::vector<std::string>{"[scene] Missing texture: 'gone.tga'"})
        << "a name without an extension gets no fallbacks and no warning";

    // The scene holds one reference per map: releasing it gives the texture back.
    const uint32_t cached = demo->resourceManager.GetCache().GetCount();
    demo->resourceManager.ReleaseResource(scene);
    loaded.clear();
    EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), cached - 2) << "the scene and wood.dds";
}

TEST_F(SceneTest, MissingOrBrokenFilesLoadNothing)
{
    Archive().entries["broken.dae"] = "<COLLADA><library_geometries>";
    LogCapture::Get().Clear();
    EXPECT_EQ(Load("none.dae"), nullptr);
    EXPECT_EQ(Load("broken.dae"), nullptr);
    EXPECT_TRUE(Lines(Brivet::Utility::Log::LevelWarning).empty()) << "the scene logs nothing itself";
    EXPECT_TRUE(Lines(Brivet::Utility::Log::LevelError).empty());
}

TEST(SceneFactory, ListsTheExtensionsTheBuiltImportersRead)
{
    Brivet::Assets::Resource::FactoryInfo info;
    ASSERT_TRUE(SceneFactory::instance.GetInfo(info));
    EXPECT_STREQ(info.name.GetText(), "scene");
    EXPECT_FALSE(info.dynamic);
    EXPECT_TRUE(info.extra);
    std::vector<std::string> extensions;
    for (const auto& extension : info.extensions)
        extensions.push_back(extension.GetText());
    EXPECT_EQ(extensions, (std::vector<std::string>{"dae", "fbx", "assbin", "glb", "gltf", "obj", "iqm"}));
}
