// Scene3D and Instancer3D over a scene built in the test: animated node matrices, the
// camera, lights without a node, bones without a node or record, material switches and
// names too long for an input, "Enabled"; batches, instance counts within their limits
// and entries.
#include "EffectsFixture.h"

#include "LogCapture.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Rendering/Instancer.h"
#include "repository/Effects/Instancer3D.h"
#include "repository/Effects/Scene3D.h"
#include "repository/Resources/RenderChunk.h"
#include "repository/Resources/Scene.h"

#include <assimp/scene.h>

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cmath>
#include <memory>
#include <string>

using namespace EffectsTest;
using Brivet::Assets::Effect::IEffect;
using Brivet::Base::StaticString;
using Brivet::Base::String;

namespace
{
constexpr uint32_t NoId = SceneData::NoId;

D3DXMATRIX Move(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

D3DXMATRIX Unit()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

bool Near(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    for (int i = 0; i < 16; ++i)
    {
        if (std::fabs(a.m[i / 4][i % 4] - b.m[i / 4][i % 4]) > 1e-5f)
            return false;
    }
    return true;
}

template <typename T>
Brivet::Parameters::Parameter<T>* ParameterOf(IEffect& effect, const char* name)
{
    IEffect::Parameter* record = nullptr;
    if (!effect.parameters.Find(StaticString<64>(name), &record))
        return nullptr;
    return static_cast<Brivet::Parameters::Parameter<T>*>(record->parameter);
}

// A scene of nodes Root (0) and Arm (1, moved by a channel of translation keys only), a
// skinned triangle on Arm with bones on Arm, on no node and one the scene lacks, a camera
// on Arm, a point light on no node and a spot light on Arm, and two materials.
class SceneEffectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        demo = SharedDemo();
        ASSERT_NE(demo, nullptr);
        LogCapture::Get().Clear();
        scene.reset(new Scene(nullptr));
        scene->demo = demo;

        SceneData::Node root;
        root.id = 0;
        root.name = String("Root");
        root.localTransform = Move(0, 0, 10);
        scene->nodes.Set(0u, root);
        SceneData::Node arm;
        arm.id = 1;
        arm.name = String("Arm");
        arm.parentId = 0;
        arm.animationId = 0;
        arm.localTransform = Unit();
        arm.meshIds.Add(0);
        arm.meshIds.Add(5); // no such mesh
        scene->nodes.Set(1u, arm);
        scene->nodeCounter = 2;

        SceneData::Animation slide;
        slide.nodeName = String("Arm");
        slide.duration = 10.0f;
        slide.positionKeys.Add({0.0f, 0, 0, 0});
        slide.positionKeys.Add({10.0f, 4, 0, 0});
        slide.scalingKeys.Add({0.0f, 1, 1, 1});
        scene->animations.Set(0u, slide);

        aiMesh mesh;
        mesh.mNumVertices = 3;
        mesh.mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        mesh.mNumFaces = 1;
        mesh.mFaces = new aiFace[1];
        mesh.mFaces[0].mNumIndices = 3;
        mesh.mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
        mesh.mMaterialIndex = 1;
        mesh.mNumBones = 2;
        mesh.mBones = new aiBone* [2] { new aiBone(), new aiBone() };
        mesh.mBones[0]->mName = aiString("arm");
        mesh.mBones[0]->mOffsetMatrix = aiMatrix4x4(1, 0, 0, 0, 0, 1, 0, 2, 0, 0, 1, 0, 0, 0, 0, 1);
        mesh.mBones[1]->mName = aiString("nowhere");
        Scene::Mesh* built = new Scene::Mesh(&demo->system);
        ASSERT_TRUE(scene->BuildMesh(built, &mesh, 0));
        built->boneIds.Add(77); // a bone id the scene lacks
        scene->meshes.Set(0u, built);

        SceneData::Camera camera;
        camera.nodeId = 1;
        camera.orientation = Unit();
        camera.fieldOfView = 60.0f;
        camera.nearPlane = 0.5f;
        camera.farPlane = 50.0f;
        scene->cameras.Set(0u, camera);

        SceneData::PointLight lamp;
        lamp.id = 3;
        lamp.nodeId = NoId; // no node bears its name
        lamp.position = D3DXVECTOR3(3, 4, 5);
        lamp.colour = D3DXVECTOR3(1, 0.5f, 0.25f);
        lamp.range = 7.0f;
        scene->pointLights.Set(3u, lamp);
        SceneData::SpotLight spot;
        spot.id = 4;
        spot.nodeId = 1;
        spot.outerCone = 0.5f;
        scene->spotLights.Set(4u, spot);
        scene->ambientColour = D3DXVECTOR4(0.1f, 0.2f, 0.3f, 1.0f);

        Scene::Material paint;
        paint.id = 1;
        paint.name = String("Paint");
        scene->materials.Set(1u, paint);
        Scene::Material longName;
        longName.id = 2;
        longName.name = String(std::string(70, 'x').c_str());
        scene->materials.Set(2u, longName);

        chunk.reset(new RenderChunk(nullptr, demo));
    }

    void TearDown() override
    {
        effect.reset();
        scene.reset();
    }

    // A Scene3D bound to the scene as the graph binds it.
    Scene3D& MakeEffect()
    {
        effect.reset(new Scene3D(demo));
        effect->SetOutput(chunk.get());
        effect->Initialize();
        effect->SetInput("Scene", scene.get());
        effect->OnInputsChanged();
        effect->OnInputsResolved();
        return *effect;
    }

    Brivet::Demo* demo = nullptr;
    std::unique_ptr<Scene> scene;
    std::unique_ptr<RenderChunk> chunk;
    std::unique_ptr<Scene3D> effect;
};
} // namespace

TEST_F(SceneEffectTest, NodesCameraLightsAndBonesGoIntoTheChunk)
{
    Scene3D& scene3d = MakeEffect();
    ParameterOf<float>(scene3d, "Scene Time")->SetValue(0.0f, 0.5f, 0.0f);
    scene3d.Render(Brivet::RenderContext::ForTime(1.0f));

    // Arm: half way along its keys, no rotation keys (no rotation), below Root.
    const D3DXMATRIX arm = Move(2, 0, 10);
    ASSERT_EQ(chunk->entries.GetCount(), 1u) << "the missing mesh is skipped";
    const RenderChunk::Entry& entry = chunk->entries[0];
    EXPECT_EQ(entry.geometry, scene->FindMesh(0));
    EXPECT_EQ(entry.material, scene->FindMaterial(1));
    EXPECT_TRUE(Near(entry.world, arm));
    EXPECT_TRUE(Near(entry.previousWorld, arm)) << "a constant Scene Time: previous = current";
    ASSERT_EQ(entry.boneCount, 3u);
    EXPECT_TRUE(Near(entry.bones[0], Move(0, 2, 0) * arm)) << "offset × the bone node's world";
    EXPECT_TRUE(Near(entry.bones[1], Unit())) << "a bone on no node";
    EXPECT_TRUE(Near(entry.bones[2], Unit())) << "a bone the scene lacks";
    EXPECT_TRUE(Near(entry.previousBones[1], Unit()));

    EXPECT_EQ(chunk->camera.priority, RenderChunk::PriorityScene);
    EXPECT_EQ(chunk->camera.fieldOfView, 60.0f);
    EXPECT_TRUE(Near(chunk->camera.view, Move(-2, 0, -10)));
    EXPECT_EQ(chunk->camera.position, D3DXVECTOR4(2, 0, 10, 1));
    EXPECT_EQ(chunk->ambient.priority, RenderChunk::PriorityScene);
    EXPECT_EQ(chunk->ambient.colour, D3DXVECTOR3(0.1f, 0.2f, 0.3f));

    ASSERT_EQ(chunk->pointLights.GetCount(), 1u);
    EXPECT_TRUE(Near(chunk->pointLights[0].lightToWorld, Move(3, 4, 5))) << "a light on no node: its own position";
    EXPECT_EQ(chunk->pointLights[0].radius, 7.0f);
    ASSERT_EQ(chunk->spotLights.GetCount(), 1u);
    EXPECT_TRUE(Near(chunk->spotLights[0].lightToWorld, arm));
    EXPECT_EQ(chunk->spotLights[0].outerCone, 0.5f);

    // A switched-off light keeps its record, disabled; "Enabled" false empties the chunk.
    ParameterOf<bool>(scene3d, "Enable Point Light 3")->SetValue(0.0f, false, 0.0f);
    scene3d.Render(Brivet::RenderContext::ForTime(2.0f));
    ASSERT_EQ(chunk->pointLights.GetCount(), 1u);
    EXPECT_EQ(chunk->pointLights[0].enabled, 0);
    const D3DXMATRIX zero{};
    EXPECT_TRUE(Near(chunk->pointLights[0].lightToWorld, zero));
    ParameterOf<bool>(scene3d, "Enabled")->SetValue(0.0f, false, 0.0f);
    scene3d.Render(Brivet::RenderContext::ForTime(3.0f));
    EXPECT_EQ(chunk->entries.GetCount() + chunk->pointLights.GetCount() + chunk->spotLights.GetCount(), 0u);
    EXPECT_EQ(chunk->camera.priority, RenderChunk::PriorityNone);
}

TEST_F(SceneEffectTest, NamedMaterialsGetSwitchesUnlessTheNameIsTooLongForAnInput)
{
    Scene3D& scene3d = MakeEffect();
    EXPECT_NE(ParameterOf<bool>(scene3d, "Override mtl 'Paint'"), nullptr);
    std::vector<std::string> warnings;
    for (const auto& line : LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning))
        warnings.push_back(line.text);
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(warnings.back(),
              "[Scene3D] Material name too long for an override input: '" + std::string(70, 'x') + "'");
    for (uint32_t i = 0; i < scene3d.inputs.GetCount(); ++i)
        EXPECT_NE(std::string(scene3d.inputs.GetEntry(i).key.GetText()).substr(0, 10), std::string(10, 'x'));

    // With its switch on at time 0, "Paint" gets an input named after it.
    ParameterOf<bool>(scene3d, "Override mtl 'Paint'")->SetValue(0.0f, true, 0.0f);
    scene3d.OnInputsChanged();
    IEffect::Input* input = nullptr;
    ASSERT_TRUE(scene3d.inputs.Find(StaticString<64>("Paint"), &input));
    EXPECT_STREQ(input->type.GetText(), "effect");
}

TEST_F(SceneEffectTest, InstancerMakesABatchPerMeshWithClampedInstanceCounts)
{
    struct Case
    {
        float value;
        uint32_t count;
    };
    for (const Case& c : {Case{0.0f, 0}, Case{100.9f, 100}, Case{-5.0f, 0}, Case{NAN, 0}, Case{1e12f, 1u << 20},
                          Case{static_cast<float>(1u << 20), 1u << 20}})
        EXPECT_EQ(Instancer3D::ClampInstanceCount(c.value), c.count) << c.value;

    Instancer3D instancer(demo);
    instancer.SetOutput(chunk.get());
    instancer.Initialize();
    instancer.SetInput("Instanced Object", scene.get());
    ParameterOf<float>(instancer, "Instance Count")->SetValue(0.0f, -3.0f, 0.0f);
    instancer.OnInputsChanged();
    ASSERT_EQ(instancer.batches.GetCount(), 1u);
    EXPECT_EQ(instancer.batches[0].mesh, scene->FindMesh(0));
    EXPECT_EQ(instancer.batches[0].material, scene->FindMaterial(1));
    EXPECT_EQ(instancer.batches[0].instancer->GetInstanceCount(), 0u) << "a negative count gives none";
    EXPECT_EQ(instancer.batches[0].instancer->GetInstanceBuffer(), nullptr);

    ParameterOf<float>(instancer, "Instance Count")->SetValue(0.0f, 5e9f, 0.0f);
    instancer.OnInputsChanged();
    EXPECT_EQ(instancer.batches[0].instancer->GetInstanceCount(), Instancer3D::MaxInstances);
    EXPECT_NE(instancer.batches[0].instancer->GetInstanceBuffer(), nullptr);

    // Without a shader the chunk stays empty.
    instancer.Render(Brivet::RenderContext::ForTime(0.0f));
    EXPECT_EQ(chunk->entries.GetCount(), 0u);
}

TEST_F(SceneEffectTest, InstancesOfManyMeshesShareOneLimit)
{
    struct Case
    {
        uint32_t count, batches, share;
    };
    for (const Case& c : {Case{1u << 20, 4, 1u << 20}, Case{1u << 20, 5, (1u << 22) / 5}, Case{100, 40000, 100},
                          Case{1000, 40000, (1u << 22) / 40000}, Case{1000, 0, 1000}, Case{7, 1u << 23, 0}})
        EXPECT_EQ(Instancer3D::ShareOfInstances(c.count, c.batches), c.share) << c.count << " x " << c.batches;

    // Five meshes of 2^20 instances each: 5 x 16 MiB of instance buffers unbounded.
    for (uint32_t id = 1; id < 5; ++id)
    {
        aiMesh mesh;
        mesh.mNumVertices = 3;
        mesh.mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        mesh.mNumFaces = 1;
        mesh.mFaces = new aiFace[1];
        mesh.mFaces[0].mNumIndices = 3;
        mesh.mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
        Scene::Mesh* built = new Scene::Mesh(&demo->system);
        ASSERT_TRUE(scene->BuildMesh(built, &mesh, id));
        scene->meshes.Set(id, built);
    }
    Instancer3D instancer(demo);
    instancer.SetOutput(chunk.get());
    instancer.Initialize();
    instancer.SetInput("Instanced Object", scene.get());
    ParameterOf<float>(instancer, "Instance Count")->SetValue(0.0f, 5e9f, 0.0f);
    instancer.OnInputsChanged();
    ASSERT_EQ(instancer.batches.GetCount(), 5u);
    for (const Instancer3D::Batch& batch : instancer.batches)
    {
        EXPECT_EQ(batch.instancer->GetInstanceCount(), Instancer3D::MaxInstancesInAll / 5);
        ASSERT_NE(batch.instancer->GetInstanceBuffer(), nullptr);
        D3D11_BUFFER_DESC desc = {};
        batch.instancer->GetInstanceBuffer()->GetDesc(&desc);
        EXPECT_EQ(desc.ByteWidth, Instancer3D::MaxInstancesInAll / 5 * 16);
    }
    instancer.OnInputsChanged();
    EXPECT_EQ(LogLinesContaining("[Instancer3D]").size(), 1u);
}
