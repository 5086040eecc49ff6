// The scene import without a device: archive streams for the importer, the
// post-processing flags, the animation channel a node takes, the node a camera, light or
// bone takes by name, the CPU form of meshes (faces, bone weights) and the sampling of
// node transforms.
#include "repository/Resources/AssimpIO.h"
#include "repository/Resources/SceneData.h"

#include "LogCapture.h"
#include "MemoryArchive.h"

#if defined(BRIVET_HOST)
#include <assimp/Exporter.hpp> // the Windows build of Assimp has no exporters
#endif
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using Brivet::Base::String;

namespace
{
constexpr uint32_t NoId = SceneData::NoId;

// ---------------------------------------------------------------------------------------
// Hand-made Assimp scenes

aiNode* MakeNode(const char* name, std::vector<aiNode*> children = {})
{
    aiNode* node = new aiNode(name);
    if (!children.empty())
        node->addChildren(static_cast<unsigned>(children.size()), children.data());
    return node;
}

aiNodeAnim* MakeChannel(const char* nodeName, std::vector<aiVectorKey> positions = {},
                        std::vector<aiQuatKey> rotations = {}, std::vector<aiVectorKey> scalings = {})
{
    aiNodeAnim* channel = new aiNodeAnim();
    channel->mNodeName = aiString(nodeName);
    channel->mNumPositionKeys = static_cast<unsigned>(positions.size());
    channel->mPositionKeys = new aiVectorKey[positions.size() + 1];
    std::copy(positions.begin(), positions.end(), channel->mPositionKeys);
    channel->mNumRotationKeys = static_cast<unsigned>(rotations.size());
    channel->mRotationKeys = new aiQuatKey[rotations.size() + 1];
    std::copy(rotations.begin(), rotations.end(), channel->mRotationKeys);
    channel->mNumScalingKeys = static_cast<unsigned>(scalings.size());
    channel->mScalingKeys = new aiVectorKey[scalings.size() + 1];
    std::copy(scalings.begin(), scalings.end(), channel->mScalingKeys);
    return channel;
}

aiAnimation* MakeAnimation(const char* name, double duration, std::vector<aiNodeAnim*> channels)
{
    aiAnimation* animation = new aiAnimation();
    animation->mName = aiString(name);
    animation->mDuration = duration;
    animation->mNumChannels = static_cast<unsigned>(channels.size());
    animation->mChannels = new aiNodeAnim*[channels.size()];
    std::copy(channels.begin(), channels.end(), animation->mChannels);
    return animation;
}

struct SceneOwner
{
    SceneOwner() : scene(new aiScene()) {}
    ~SceneOwner() { delete scene; }

    void SetAnimations(std::vector<aiAnimation*> animations)
    {
        scene->mNumAnimations = static_cast<unsigned>(animations.size());
        scene->mAnimations = new aiAnimation*[animations.size()];
        std::copy(animations.begin(), animations.end(), scene->mAnimations);
    }

    void SetCameras(std::vector<aiCamera*> cameras)
    {
        scene->mNumCameras = static_cast<unsigned>(cameras.size());
        scene->mCameras = new aiCamera*[cameras.size()];
        std::copy(cameras.begin(), cameras.end(), scene->mCameras);
    }

    void SetLights(std::vector<aiLight*> lights)
    {
        scene->mNumLights = static_cast<unsigned>(lights.size());
        scene->mLights = new aiLight*[lights.size()];
        std::copy(lights.begin(), lights.end(), scene->mLights);
    }

    aiScene* scene;
};

aiCamera* MakeCamera(const char* name)
{
    aiCamera* camera = new aiCamera();
    camera->mName = aiString(name);
    return camera;
}

aiLight* MakeLight(const char* name, aiLightSourceType type, aiColor3D diffuse = aiColor3D(1, 1, 1))
{
    aiLight* light = new aiLight();
    light->mName = aiString(name);
    light->mType = type;
    light->mColorDiffuse = diffuse;
    return light;
}

// A mesh of vertexCount vertices along x and the given faces.
std::vector<std::string> WarningTexts()
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning))
        texts.push_back(line.text);
    return texts;
}

aiMesh* MakeMesh(uint32_t vertexCount, const std::vector<std::vector<unsigned>>& faces)
{
    aiMesh* mesh = new aiMesh();
    mesh->mNumVertices = vertexCount;
    mesh->mVertices = new aiVector3D[vertexCount];
    for (uint32_t v = 0; v < vertexCount; ++v)
        mesh->mVertices[v] = aiVector3D(static_cast<float>(v), 2.0f * v, -1.0f * v);
    mesh->mNumFaces = static_cast<unsigned>(faces.size());
    mesh->mFaces = new aiFace[faces.size()];
    for (size_t f = 0; f < faces.size(); ++f)
    {
        mesh->mFaces[f].mNumIndices = static_cast<unsigned>(faces[f].size());
        mesh->mFaces[f].mIndices = new unsigned[faces[f].size() + 1];
        std::copy(faces[f].begin(), faces[f].end(), mesh->mFaces[f].mIndices);
    }
    return mesh;
}

void AddBone(aiMesh* mesh, const char* name, std::vector<aiVertexWeight> weights)
{
    aiBone** grown = new aiBone*[mesh->mNumBones + 1];
    for (unsigned i = 0; i < mesh->mNumBones; ++i)
        grown[i] = mesh->mBones[i];
    delete[] mesh->mBones;
    aiBone* bone = new aiBone();
    bone->mName = aiString(name);
    bone->mNumWeights = static_cast<unsigned>(weights.size());
    bone->mWeights = new aiVertexWeight[weights.size() + 1];
    std::copy(weights.begin(), weights.end(), bone->mWeights);
    grown[mesh->mNumBones++] = bone;
    mesh->mBones = grown;
}

const float* VertexFloats(const SceneData::MeshData& mesh, uint32_t vertex)
{
    return reinterpret_cast<const float*>(mesh.vertices + static_cast<size_t>(vertex) * mesh.vertexStride);
}

const uint32_t* BlendIndices(const SceneData::MeshData& mesh, uint32_t vertex)
{
    return reinterpret_cast<const uint32_t*>(mesh.vertices + static_cast<size_t>(vertex) * mesh.vertexStride + 80);
}

bool Near(const D3DXMATRIX& a, const D3DXMATRIX& b, float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; ++i)
    {
        if (std::fabs(a.m[i / 4][i % 4] - b.m[i / 4][i % 4]) > tolerance)
            return false;
    }
    return true;
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}
} // namespace

// ---------------------------------------------------------------------------------------
// Archive streams

TEST(AssimpIO, StreamsServeArchiveEntries)
{
    MemoryArchive archive;
    archive.entries["ten.bin"] = "0123456789";
    AssimpIOSystem io(&archive);

    EXPECT_TRUE(io.Exists("ten.bin"));
    EXPECT_FALSE(io.Exists("none.bin"));
    EXPECT_EQ(io.getOsSeparator(), '/');

    // A missing entry (size 0xFFFFFFFF) and an entry that cannot be read open nothing.
    EXPECT_EQ(io.Open("none.bin"), nullptr);
    archive.entries["locked.bin"] = "abc";
    archive.MakeUnreadable("locked.bin");
    EXPECT_EQ(io.Open("locked.bin"), nullptr);

    Assimp::IOStream* stream = io.Open("ten.bin", "wb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->FileSize(), 10u);
    EXPECT_EQ(stream->Write("xy", 1, 2), 0u);
    char buffer[32] = {};
    EXPECT_EQ(stream->Read(buffer, 1, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "012");
    EXPECT_EQ(stream->Tell(), 3u);
    io.Close(stream);
    io.Close(nullptr);

    // An empty entry opens with size 0 and reads nothing.
    archive.entries["empty.bin"] = "";
    stream = io.Open("empty.bin");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->FileSize(), 0u);
    EXPECT_EQ(stream->Read(buffer, 1, 4), 0u);
    io.Close(stream);
}

TEST(AssimpIO, ReadsAreClampedToWholeElementsBeforeTheEnd)
{
    MemoryArchive archive;
    archive.entries["ten.bin"] = "0123456789";
    struct Case
    {
        const char* what;
        size_t seek;
        aiOrigin origin;
        size_t elementSize;
        size_t count;
        size_t read; // elements
        size_t tellAfter;
        const char* bytes;
    };
    const size_t back4 = static_cast<size_t>(-4);
    const Case cases[] = {
        {"4 × 4 bytes at size − 6: one element", 4, aiOrigin_SET, 4, 4, 1, 8, "4567"},
        {"origin 2, offset −4", back4, aiOrigin_END, 1, 10, 4, 10, "6789"},
        {"origin 1 steps on", 2, aiOrigin_CUR, 2, 1, 1, 4, "23"},
        {"at the end", 10, aiOrigin_SET, 1, 1, 0, 10, ""},
        {"sought past the end", 1000, aiOrigin_SET, 1, 4, 0, 1000, ""},
        {"past the end through origin 2", 6, aiOrigin_END, 1, 4, 0, 16, ""},
        {"element size 0 past the end", 1000, aiOrigin_SET, 0, 4, 0, 1000, ""},
        {"element size 0", 0, aiOrigin_SET, 0, 4, 0, 0, ""},
        {"element larger than what remains", 7, aiOrigin_SET, 4, 1, 0, 7, ""},
        {"huge count", 0, aiOrigin_SET, 2, static_cast<size_t>(-1), 5, 10, "0123456789"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        AssimpIOStream stream(&archive, "ten.bin");
        ASSERT_TRUE(stream.IsOpen());
        EXPECT_EQ(stream.Seek(c.seek, c.origin), aiReturn_SUCCESS);
        std::vector<char> buffer(64, '#');
        EXPECT_EQ(stream.Read(buffer.data(), c.elementSize, c.count), c.read);
        EXPECT_EQ(stream.Tell(), c.tellAfter);
        EXPECT_EQ(std::string(buffer.data(), strlen(c.bytes)), c.bytes);
        EXPECT_EQ(buffer[strlen(c.bytes)], '#') << "nothing is written past what was read";
    }

    // An unknown origin leaves the position.
    AssimpIOStream stream(&archive, "ten.bin");
    stream.Seek(3, aiOrigin_SET);
    EXPECT_EQ(stream.Seek(5, static_cast<aiOrigin>(7)), aiReturn_SUCCESS);
    EXPECT_EQ(stream.Tell(), 3u);
}

TEST(AssimpIO, TheImporterReadsAFileAndTheFilesItNamesFromTheArchive)
{
    MemoryArchive archive;
    archive.entries["models/cube.obj"] = "mtllib cube.mtl\n"
                                         "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                         "usemtl red\nf 1 2 3 4\n";
    archive.entries["models/cube.mtl"] = "newmtl red\nKd 1 0 0\n";
    Assimp::Importer importer;
    const aiScene* scene = SceneData::Import(importer, &archive, "models/cube.obj");
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    EXPECT_EQ(scene->mMeshes[0]->mNumFaces, 2u) << "the quad is triangulated";
    aiColor4D diffuse;
    ASSERT_EQ(
        aiGetMaterialColor(scene->mMaterials[scene->mMeshes[0]->mMaterialIndex], AI_MATKEY_COLOR_DIFFUSE, &diffuse),
        aiReturn_SUCCESS);
    EXPECT_EQ(diffuse.r, 1.0f) << "the material came from the .mtl entry beside the model";

    // A path the archive lacks gives no scene, also to the same importer afterwards.
    EXPECT_EQ(SceneData::Import(importer, &archive, "models/none.obj"), nullptr);
    EXPECT_EQ(SceneData::Import(importer, &archive, nullptr), nullptr);
}

// ---------------------------------------------------------------------------------------
// Post-processing flags

TEST(SceneImport, FlagsFollowThePath)
{
    struct Case
    {
        const char* path;
        uint32_t flags;
    };
    const Case cases[] = {
        {"scene.dae", 0x0388820F},   {"models/walk.fbx", 0x0388820F},
        {"models/walk.assbin", 0},   {"walk.assbin.dae", 0}, // the name contains ".assbin"
        {"walk.ASSBIN", 0x0388820F},                         // case-sensitive
        {"walk.assbin2", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SceneData::ImportFlags(c.path), c.flags) << c.path;

    // The flags are exactly the ten steps.
    const uint32_t steps = aiProcess_CalcTangentSpace | aiProcess_JoinIdenticalVertices | aiProcess_MakeLeftHanded |
                           aiProcess_Triangulate | aiProcess_LimitBoneWeights | aiProcess_SortByPType |
                           aiProcess_TransformUVCoords | aiProcess_FlipUVs | aiProcess_FlipWindingOrder |
                           aiProcess_SplitByBoneCount;
    EXPECT_EQ(SceneData::PostProcessFlags, steps);
}

#if defined(BRIVET_HOST)
TEST(SceneImport, MeshesAreSplitAtThirtyTwoBones)
{
    // A triangle strip of 40 triangles, each moved by a bone of its own.
    SceneOwner owner;
    aiScene* source = owner.scene;
    const uint32_t boneCount = 40;
    source->mRootNode = MakeNode("Root");
    std::vector<aiNode*> boneNodes;
    for (uint32_t b = 0; b < boneCount; ++b)
        boneNodes.push_back(MakeNode(("Bone" + std::to_string(b)).c_str()));
    source->mRootNode->addChildren(boneCount, boneNodes.data());
    source->mRootNode->mNumMeshes = 1;
    source->mRootNode->mMeshes = new unsigned[1]{0};
    std::vector<std::vector<unsigned>> faces;
    for (unsigned t = 0; t < boneCount; ++t)
        faces.push_back({t, t + 1, t + 2});
    aiMesh* mesh = MakeMesh(boneCount + 2, faces);
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNormals = new aiVector3D[mesh->mNumVertices];
    for (uint32_t b = 0; b < boneCount; ++b)
        AddBone(mesh, ("Bone" + std::to_string(b)).c_str(), {{b, 0.5f}, {b + 1, 0.25f}, {b + 2, 0.25f}});
    source->mNumMeshes = 1;
    source->mMeshes = new aiMesh* [1] { mesh };
    source->mNumMaterials = 1;
    source->mMaterials = new aiMaterial* [1] { new aiMaterial() };

    Assimp::Exporter exporter;
    const aiExportDataBlob* blob = exporter.ExportToBlob(source, "collada");
    ASSERT_NE(blob, nullptr) << exporter.GetErrorString();
    MemoryArchive archive;
    archive.entries["bones.dae"] = std::string(static_cast<const char*>(blob->data), blob->size);

    Assimp::Importer importer;
    const aiScene* scene = SceneData::Import(importer, &archive, "bones.dae");
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    uint32_t total = 0;
    for (uint32_t m = 0; m < scene->mNumMeshes; ++m)
    {
        EXPECT_LE(scene->mMeshes[m]->mNumBones, SceneData::MaxBones) << "mesh " << m;
        total += scene->mMeshes[m]->mNumBones;
    }
    EXPECT_GT(scene->mNumMeshes, 1u);
    EXPECT_GE(total, boneCount);
}

#endif

// ---------------------------------------------------------------------------------------
// Nodes and animation channels

TEST(SceneImport, NodesGetIdsInPreOrderAndTheirChannels)
{
    SceneOwner owner;
    owner.scene->mRootNode =
        MakeNode("Root", {MakeNode("Camera01", {MakeNode("Lens")}), MakeNode("Box"), MakeNode("Lamp")});
    owner.scene->mRootNode->mChildren[1]->mTransformation = aiMatrix4x4(1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1);
    owner.SetAnimations({
        MakeAnimation("Walk", 10, {MakeChannel("Camera01"), MakeChannel("Box"), MakeChannel("LAMP")}),
        MakeAnimation("Camera01.CameraAction", 20, {MakeChannel("camera01"), MakeChannel("Box")}),
    });

    SceneData data;
    LogCapture::Get().Clear();
    data.LoadAnimations(owner.scene);
    data.LoadNodes(owner.scene);

    ASSERT_EQ(data.animations.GetCount(), 5u);
    const SceneData::Animation* walkBox = nullptr;
    ASSERT_TRUE(data.animations.Find(1u, &walkBox));
    EXPECT_STREQ(walkBox->nodeName.GetText(), "Box");
    EXPECT_STREQ(walkBox->animationName.GetText(), "Walk");
    EXPECT_EQ(walkBox->duration, 10.0f);

    struct Expected
    {
        const char* name;
        uint32_t parent;
        uint32_t channel;
    };
    const Expected expected[] = {
        {"Root", NoId, NoId}, {"Camera01", 0, 3}, // a camera node takes the "CameraAction" channel
        {"Lens", 1, NoId},    {"Box", 0, 1},      // any other node the last channel that is not a camera's
        {"Lamp", 0, 2},                           // one match, found without regard to case
    };
    ASSERT_EQ(data.nodes.GetCount(), 5u);
    EXPECT_EQ(data.nodeCounter, 5u);
    for (uint32_t id = 0; id < 5; ++id)
    {
        const SceneData::Node* node = nullptr;
        ASSERT_TRUE(data.nodes.Find(id, &node));
        EXPECT_EQ(node->id, id);
        EXPECT_STREQ(node->name.GetText(), expected[id].name);
        EXPECT_EQ(node->parentId, expected[id].parent) << expected[id].name;
        EXPECT_EQ(node->animationId, expected[id].channel) << expected[id].name;
    }
    const SceneData::Node* box = nullptr;
    ASSERT_TRUE(data.nodes.Find(3u, &box));
    EXPECT_TRUE(Near(box->localTransform, Translation(5, 6, 7))) << "stored transposed: row vectors";

    const std::vector<std::string> expectedWarnings = {
        "[assimp] More than one suitable animation channel for node 'Camera01'; taking a best guess with "
        "'Camera01.CameraAction'...",
        "[assimp] More than one suitable animation channel for node 'Box'; taking a best guess with 'Walk'...",
    };
    std::vector<std::string> warnings;
    for (const auto& line : LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning))
        warnings.push_back(line.text);
    EXPECT_EQ(warnings, expectedWarnings);
}

TEST(SceneImport, AmbiguousChannelsWithoutASuitableOneKeepTheLastMatch)
{
    // A camera node whose channels are none of the camera's: none is taken.
    SceneOwner owner;
    owner.scene->mRootNode = MakeNode("CameraMain");
    owner.SetAnimations(
        {MakeAnimation("Walk", 1, {MakeChannel("CameraMain")}), MakeAnimation("Run", 1, {MakeChannel("CameraMain")})});
    SceneData data;
    LogCapture::Get().Clear();
    data.LoadAnimations(owner.scene);
    data.LoadNodes(owner.scene);
    const SceneData::Node* node = nullptr;
    ASSERT_TRUE(data.nodes.Find(0u, &node));
    EXPECT_EQ(node->animationId, 1u);
    ASSERT_EQ(LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning).size(), 1u);
    EXPECT_NE(LogCapture::Get().Lines()[0].text.find("'<null?!>'"), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// Cameras, lights and bones find their nodes by name

TEST(SceneImport, CamerasFindTheirNodeIgnoringCaseAndTheirTargetExactly)
{
    struct Case
    {
        const char* what;
        std::vector<const char*> nodeNames; // children of the root, ids 1...
        uint32_t node;
        uint32_t target;
    };
    const Case cases[] = {
        {"node and dotted target", {"Cam", "Cam.Target"}, 1, 2},
        {"underscore target", {"Cam_Target", "Cam"}, 2, 1},
        {"node in another case", {"CAM"}, 1, NoId},
        {"target in another case", {"Cam", "cam.target"}, 1, NoId},
        {"the last match wins", {"cam", "Cam.Target", "CAM", "Cam_Target"}, 3, 4},
        {"nothing", {"Other"}, NoId, NoId},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        SceneOwner owner;
        std::vector<aiNode*> children;
        for (const char* name : c.nodeNames)
            children.push_back(MakeNode(name));
        owner.scene->mRootNode = MakeNode("Root", children);
        aiCamera* camera = MakeCamera("Cam");
        camera->mHorizontalFOV = 1.0f;
        camera->mClipPlaneNear = 0.5f;
        camera->mClipPlaneFar = 300.0f;
        camera->mPosition = aiVector3D(0, 0, -5);
        camera->mLookAt = aiVector3D(0, 0, 0);
        camera->mUp = aiVector3D(0, 1, 0);
        owner.SetCameras({camera});

        SceneData data;
        data.LoadNodes(owner.scene);
        data.LoadCameras(owner.scene);
        const SceneData::Camera* record = nullptr;
        ASSERT_TRUE(data.cameras.Find(0u, &record));
        EXPECT_EQ(record->nodeId, c.node);
        EXPECT_EQ(record->targetNodeId, c.target);
        EXPECT_NEAR(record->fieldOfView, 57.29578f, 1e-4f);
        EXPECT_EQ(record->nearPlane, 0.5f);
        EXPECT_EQ(record->farPlane, 300.0f);
        EXPECT_TRUE(Near(record->orientation, Translation(0, 0, -5)));
    }
}

TEST(SceneImport, LightsByTypeWithTheirNodesRangesAndShadows)
{
    SceneOwner owner;
    owner.scene->mRootNode = MakeNode("Root", {MakeNode("Lamp_NOSHADOWS"), MakeNode("spot")});
    aiLight* ambient = MakeLight("Sky", aiLightSource_AMBIENT);
    ambient->mColorAmbient = aiColor3D(0.25f, 0.5f, 0.75f);
    aiLight* spot = MakeLight("Spot", aiLightSource_SPOT, aiColor3D(0, 1, 0));
    spot->mAngleInnerCone = 0.25f;
    spot->mAngleOuterCone = 0.5f;
    aiLight* point = MakeLight("Lamp_NOSHADOWS", aiLightSource_POINT, aiColor3D(4, 1, 1));
    point->mAttenuationConstant = 1;
    point->mAttenuationLinear = 2;
    point->mAttenuationQuadratic = 3;
    owner.SetLights({MakeLight("Sun", aiLightSource_DIRECTIONAL), point, ambient, spot,
                     MakeLight("Lost", aiLightSource_POINT, aiColor3D(0.01f, 0, 0))});

    SceneData data;
    data.LoadNodes(owner.scene);
    data.LoadLights(owner.scene);

    EXPECT_EQ(data.directionalLights.GetCount(), 0u) << "directional lights are not imported";
    ASSERT_EQ(data.pointLights.GetCount(), 2u);
    const SceneData::PointLight* lamp = nullptr;
    ASSERT_TRUE(data.pointLights.Find(1u, &lamp)) << "keyed by the index in the file's light list";
    EXPECT_EQ(lamp->nodeId, 1u);
    EXPECT_NEAR(lamp->range, 200.0f, 1e-3f);
    EXPECT_EQ(lamp->castsShadows, 0);
    EXPECT_EQ(lamp->attenuationQuadratic, 3.0f);
    const SceneData::PointLight* lost = nullptr;
    ASSERT_TRUE(data.pointLights.Find(4u, &lost));
    EXPECT_EQ(lost->nodeId, NoId);
    EXPECT_NEAR(lost->range, 10.0f, 1e-3f);
    EXPECT_EQ(lost->castsShadows, 1);

    const SceneData::SpotLight* spotRecord = nullptr;
    ASSERT_TRUE(data.spotLights.Find(3u, &spotRecord));
    EXPECT_EQ(spotRecord->nodeId, 2u) << "the node named in another case";
    EXPECT_EQ(spotRecord->outerCone, 0.5f);
    EXPECT_EQ(spotRecord->innerCone, 0.25f);
    EXPECT_EQ(spotRecord->colour.y, 1.0f);

    EXPECT_EQ(data.ambientColour.x, 0.25f);
    EXPECT_EQ(data.ambientColour.y, 0.5f);
    EXPECT_EQ(data.ambientColour.z, 0.75f);
    EXPECT_EQ(data.ambientColour.w, 1.0f);
}

// ---------------------------------------------------------------------------------------
// The CPU form of meshes

TEST(SceneMeshData, OnlyTriangleFacesBecomeIndices)
{
    struct Case
    {
        const char* what;
        std::vector<std::vector<unsigned>> faces;
        bool built;
        std::vector<unsigned> indices;
    };
    const Case cases[] = {
        {"triangles", {{0, 1, 2}, {2, 1, 3}}, true, {0, 1, 2, 2, 1, 3}},
        {"points and lines only", {{0}, {1, 2}, {3}}, false, {}},
        {"mixed faces of an unprocessed file", {{0}, {0, 1, 2, 3}, {1, 2}, {3, 2, 1}}, true, {3, 2, 1}},
        {"a face naming a vertex the mesh lacks", {{0, 1, 9}, {0, 1, 2}}, true, {0, 1, 2}},
        {"no faces", {}, false, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::unique_ptr<aiMesh> mesh(MakeMesh(4, c.faces));
        SceneData data;
        SceneData::MeshData out;
        ASSERT_EQ(data.BuildMeshData(mesh.get(), 7, out), c.built);
        if (!c.built)
        {
            EXPECT_EQ(out.vertices, nullptr);
            continue;
        }
        EXPECT_EQ(out.meshId, 7u);
        EXPECT_EQ(out.triangleCount, c.indices.size() / 3);
        const uint16_t* indices = static_cast<const uint16_t*>(out.indices);
        EXPECT_EQ(std::vector<unsigned>(indices, indices + c.indices.size()), c.indices);
    }
}

TEST(SceneMeshData, LayoutBoundsAndIndexWidth)
{
    std::unique_ptr<aiMesh> mesh(MakeMesh(3, {{0, 1, 2}}));
    mesh->mMaterialIndex = 2;
    mesh->mNormals = new aiVector3D[3]{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    mesh->mTextureCoords[0] = new aiVector3D[3]{{0.5f, 0.25f, 0}, {1, 1, 0}, {0, 0, 0}};
    mesh->mNumUVComponents[0] = 2;

    SceneData data;
    SceneData::MeshData out;
    ASSERT_TRUE(data.BuildMeshData(mesh.get(), 0, out));
    EXPECT_EQ(out.vertexStride, 64u);
    EXPECT_EQ(out.materialId, 2u);
    EXPECT_EQ(out.boneIds.GetCount(), 0u);
    const float* v0 = VertexFloats(out, 0);
    const float* v1 = VertexFloats(out, 1);
    EXPECT_EQ(std::vector<float>(v1, v1 + 16), (std::vector<float>{1, 2, -1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0}))
        << "position, normal, zero tangent and bitangent, texture coordinates 0 and a zero set 1";
    EXPECT_EQ(v0[12], 0.5f);
    EXPECT_EQ(v0[13], 0.25f);
    EXPECT_EQ(out.boundsMin.x, 0.0f);
    EXPECT_EQ(out.boundsMax.y, 4.0f);
    EXPECT_EQ(out.boundsMin.z, -2.0f);

    // 16-bit indices up to 65535 vertices, 32-bit above.
    for (uint32_t count : {65535u, 65536u})
    {
        std::unique_ptr<aiMesh> big(MakeMesh(count, {{count - 1, 0, 1}}));
        SceneData::MeshData built;
        ASSERT_TRUE(data.BuildMeshData(big.get(), 0, built));
        if (count > 65535)
            EXPECT_EQ(static_cast<const uint32_t*>(built.indices)[0], count - 1);
        else
            EXPECT_EQ(static_cast<const uint16_t*>(built.indices)[0], count - 1);
    }
}

TEST(SceneMeshData, BoneWeightsGoToCheckedVerticesAndBoneIdsRunOverMeshes)
{
    SceneOwner owner;
    owner.scene->mRootNode = MakeNode("Root", {MakeNode("Hip"), MakeNode("knee")});
    SceneData data;
    data.LoadNodes(owner.scene);

    std::unique_ptr<aiMesh> first(MakeMesh(3, {{0, 1, 2}}));
    AddBone(first.get(), "Hip", {{0, 1.0f}, {1, 0.5f}});
    AddBone(first.get(), "KNEE", {{1, 0.5f}, {2, 1.0f}, {3, 1.0f}, {70000, 1.0f}}); // two beyond the mesh
    first->mBones[0]->mOffsetMatrix = aiMatrix4x4(1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1);
    LogCapture::Get().Clear();
    SceneData::MeshData one;
    ASSERT_TRUE(data.BuildMeshData(first.get(), 0, one));
    EXPECT_EQ(one.vertexStride, 96u);
    ASSERT_EQ(one.boneIds.GetCount(), 2u);
    EXPECT_EQ(one.boneIds[0], 0u);
    EXPECT_EQ(one.boneIds[1], 1u);
    const float* v1 = VertexFloats(one, 1);
    EXPECT_EQ(std::vector<float>(v1 + 16, v1 + 20), (std::vector<float>{0.5f, 0.5f, 0, 0}));
    EXPECT_EQ(std::vector<uint32_t>(BlendIndices(one, 1), BlendIndices(one, 1) + 2), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(BlendIndices(one, 2)[0], 1u);
    ASSERT_EQ(LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning).size(), 1u);
    EXPECT_NE(LogCapture::Get().Lines()[0].text.find("'KNEE' weights 2 vertices beyond"), std::string::npos);

    const SceneData::Bone* hip = nullptr;
    ASSERT_TRUE(data.bones.Find(0u, &hip));
    EXPECT_EQ(hip->nodeId, 1u);
    EXPECT_TRUE(Near(hip->offset, Translation(1, 2, 3)));
    const SceneData::Bone* knee = nullptr;
    ASSERT_TRUE(data.bones.Find(1u, &knee));
    EXPECT_EQ(knee->nodeId, 2u) << "found without regard to case";

    // A second mesh continues the scene's bone ids; its blend indices start at 0. A fifth
    // weight on a vertex is dropped with a warning.
    std::unique_ptr<aiMesh> second(MakeMesh(3, {{0, 1, 2}}));
    for (const char* name : {"Hip", "Toe", "Hip", "Hip", "Hip"})
        AddBone(second.get(), name, {{0, 0.2f}});
    LogCapture::Get().Clear();
    SceneData::MeshData two;
    ASSERT_TRUE(data.BuildMeshData(second.get(), 1, two));
    ASSERT_EQ(two.boneIds.GetCount(), 5u);
    EXPECT_EQ(two.boneIds[0], 2u);
    EXPECT_EQ(std::vector<uint32_t>(BlendIndices(two, 0), BlendIndices(two, 0) + 4),
              (std::vector<uint32_t>{0, 1, 2, 3}));
    const SceneData::Bone* toe = nullptr;
    ASSERT_TRUE(data.bones.Find(3u, &toe));
    EXPECT_EQ(toe->nodeId, NoId);
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
    EXPECT_EQ(WarningTexts(), (std::vector<std::string>{
        "[scene] Mesh '': 1 bone weights beyond 4 per vertex dropped (bone overflow on bone 4 first)"}));

    // An unprocessed mesh with many weights per vertex: one warning with the count, no box.
    std::unique_ptr<aiMesh> crowded(MakeMesh(3, {{0, 1, 2}}));
    for (int b = 0; b < 30; ++b)
        AddBone(crowded.get(), "Hip", {{0, 0.1f}, {1, 0.1f}, {2, 0.1f}});
    LogCapture::Get().Clear();
    SceneData::MeshData three;
    ASSERT_TRUE(data.BuildMeshData(crowded.get(), 2, three));
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
    EXPECT_EQ(WarningTexts(), (std::vector<std::string>{
        "[scene] Mesh '': 78 bone weights beyond 4 per vertex dropped (bone overflow on bone 4 first)"}));
}

// A node chain deeper than the walk goes: the deep part is dropped with one warning.
TEST(SceneImport, NodesDeeperThanTheLimitAreDropped)
{
    SceneOwner owner;
    const uint32_t depth = 100000;
    aiNode* chain = nullptr;
    for (uint32_t i = depth; i-- > 0;)
        chain = chain ? MakeNode(("n" + std::to_string(i)).c_str(), {chain}) : MakeNode("leaf");
    owner.scene->mRootNode = chain;
    SceneData data;
    LogCapture::Get().Clear();
    data.LoadNodes(owner.scene);
    EXPECT_EQ(data.nodes.GetCount(), SceneData::MaxNodeDepth);
    const SceneData::Node* last = nullptr;
    ASSERT_TRUE(data.nodes.Find(SceneData::MaxNodeDepth - 1, &last));
    EXPECT_EQ(last->parentId, SceneData::MaxNodeDepth - 2);
    EXPECT_EQ(WarningTexts(), (std::vector<std::string>{"[scene] 1 nodes deeper than 256 levels dropped with their children"}));
    // Assimp's own node destructor recurses: take the chain apart from the root down.
    for (aiNode* node = owner.scene->mRootNode; node;)
    {
        aiNode* child = node->mNumChildren ? node->mChildren[0] : nullptr;
        node->mNumChildren = 0;
        delete node;
        node = child;
    }
    owner.scene->mRootNode = nullptr;
}

// ---------------------------------------------------------------------------------------
// Node transforms over the animations

TEST(SceneAnimation, KeysAreSampledLinearlyAndHeldAtTheEnds)
{
    Brivet::Base::Array<SceneData::VectorKey> keys;
    EXPECT_EQ(SceneData::SampleVector(keys, 1.0f).x, 0.0f) << "no key: zero";
    keys.Add({2.0f, 10, 0, 0});
    keys.Add({4.0f, 20, 2, 0});
    struct Case
    {
        float time;
        float x;
    };
    for (const Case& c :
         {Case{0.0f, 10}, Case{2.0f, 10}, Case{3.0f, 15}, Case{3.5f, 17.5f}, Case{4.0f, 20}, Case{9.0f, 20}})
        EXPECT_FLOAT_EQ(SceneData::SampleVector(keys, c.time).x, c.x) << c.time;

    Brivet::Base::Array<SceneData::QuaternionKey> rotations;
    const D3DXQUATERNION none = SceneData::SampleRotation(rotations, 1.0f);
    EXPECT_EQ(none, D3DXQUATERNION(0, 0, 0, 1)) << "no rotation keys: no rotation";
    const float half = std::sqrt(0.5f);
    rotations.Add({0.0f, 0, 0, 0, 1});
    rotations.Add({1.0f, 0, half, 0, half}); // 90° about y
    const D3DXQUATERNION mid = SceneData::SampleRotation(rotations, 0.5f);
    EXPECT_NEAR(mid.y, std::sin(3.14159265f / 8), 1e-5f);
    EXPECT_EQ(SceneData::SampleRotation(rotations, 5.0f), D3DXQUATERNION(0, half, 0, half));
}

TEST(SceneAnimation, NodesFollowTheirChannelsAndParents)
{
    SceneOwner owner;
    owner.scene->mRootNode = MakeNode("Root", {MakeNode("Arm", {MakeNode("Hand")}), MakeNode("Ghost")});
    owner.scene->mRootNode->mTransformation = aiMatrix4x4(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1);
    owner.scene->mRootNode->mChildren[0]->mChildren[0]->mTransformation =
        aiMatrix4x4(1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1);
    // "Arm" moves along x from 0 to 10 over 4 ticks, with unit scale and no rotation keys.
    owner.SetAnimations({MakeAnimation(
        "Wave", 4,
        {MakeChannel("Arm", {{0, aiVector3D(0, 0, 0)}, {4, aiVector3D(10, 0, 0)}}, {}, {{0, aiVector3D(1, 1, 1)}}),
         MakeChannel("Ghost")})});
    SceneData data;
    data.LoadAnimations(owner.scene);
    data.LoadNodes(owner.scene);
    // "Ghost" points to a channel the scene no longer holds: it keeps its matrices.
    SceneData::Node* ghost = nullptr;
    ASSERT_TRUE(data.nodes.Find(3u, &ghost));
    ghost->animationId = 77;

    D3DXMATRIX current[4];
    D3DXMATRIX previous[4];
    for (int i = 0; i < 4; ++i)
        current[i] = previous[i] = Translation(-1, -1, -1);
    data.AnimateNodes(0.5f, 0.25f, current, previous, 4);

    D3DXMATRIX scale2;
    D3DXMatrixScaling(&scale2, 2, 2, 2);
    EXPECT_TRUE(Near(current[0], scale2));
    EXPECT_TRUE(Near(current[1], Translation(5, 0, 0) * scale2)) << "half the duration, then the parent";
    EXPECT_TRUE(Near(previous[1], Translation(2.5f, 0, 0) * scale2));
    EXPECT_TRUE(Near(current[2], Translation(0, 1, 0) * Translation(5, 0, 0) * scale2)) << "own transform first";
    EXPECT_TRUE(Near(current[3], Translation(-1, -1, -1)));

    // Fewer matrices than nodes: the others are passed over.
    D3DXMATRIX one[1] = {Identity()};
    D3DXMATRIX onePrevious[1] = {Identity()};
    data.AnimateNodes(1.0f, 1.0f, one, onePrevious, 1);
    EXPECT_TRUE(Near(one[0], scale2));
}

TEST(SceneData, ClearDataDropsEveryRecord)
{
    SceneOwner owner;
    owner.scene->mRootNode = MakeNode("Root", {MakeNode("Lamp")});
    owner.SetLights({MakeLight("Lamp", aiLightSource_POINT), MakeLight("Sky", aiLightSource_AMBIENT)});
    owner.SetAnimations({MakeAnimation("Wave", 1, {MakeChannel("Lamp")})});
    SceneData data;
    data.LoadAnimations(owner.scene);
    data.LoadNodes(owner.scene);
    data.LoadLights(owner.scene);
    data.ClearData();
    EXPECT_EQ(data.nodes.GetCount() + data.animations.GetCount() + data.pointLights.GetCount(), 0u);
    EXPECT_EQ(data.nodeCounter, 0u);
    EXPECT_EQ(data.ambientColour.w, 0.0f);
    data.LoadNodes(owner.scene);
    EXPECT_EQ(data.nodes.GetCount(), 2u) << "the scene loads again";
}
