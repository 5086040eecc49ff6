// libFuzzer harness: the scene import on arbitrary bytes, as a scene resource runs it:
// SceneData::Import through the archive IO system, then the copy into the engine's
// records and the node animation. The first input byte picks the entry's extension (its
// low seven bits); the rest is the file, which lies alone on the heap at its exact size.
// With the byte's top bit set the rest is a 32-bit little-endian length, the file of that
// length, and a second file served under every other name the importer opens (a glTF
// buffer, an OBJ material library).
#include "FuzzCheck.h"
#include "repository/Resources/SceneData.h"

#include "MemoryArchive.h"
#include "SceneFileBuilder.h"

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const char* const Extensions[] = {"dae", "fbx", "assbin", "glb", "gltf", "obj", "iqm"};
constexpr size_t ExtensionCount = sizeof(Extensions) / sizeof(Extensions[0]);

void WriteSeed(const char* folder, const char* name, int extension, const std::string& file)
{
    const std::string path = std::string(folder) + "/" + name;
    if (FILE* out = fopen(path.c_str(), "wb"))
    {
        fputc(extension, out);
        fwrite(file.data(), 1, file.size(), out);
        fclose(out);
    }
}

// A triangle moved by one bone, an animation of its node, a camera and a point light.
aiScene* SmallScene()
{
    aiScene* scene = new aiScene();
    scene->mRootNode = new aiNode("Root");
    aiNode* children[] = {new aiNode("Mesh"), new aiNode("Bone"), new aiNode("Cam"), new aiNode("Lamp")};
    scene->mRootNode->addChildren(4, children);
    children[0]->mNumMeshes = 1;
    children[0]->mMeshes = new unsigned[1]{0};
    aiMesh* mesh = new aiMesh();
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 3;
    mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->mNormals = new aiVector3D[3]{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    mesh->mNumBones = 1;
    mesh->mBones = new aiBone*[1]{new aiBone()};
    mesh->mBones[0]->mName = aiString("Bone");
    mesh->mBones[0]->mNumWeights = 3;
    mesh->mBones[0]->mWeights = new aiVertexWeight[3]{{0, 1.0f}, {1, 1.0f}, {2, 1.0f}};
    scene->mNumMeshes = 1;
    scene->mMeshes = new aiMesh*[1]{mesh};
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial*[1]{new aiMaterial()};
    aiNodeAnim* channel = new aiNodeAnim();
    channel->mNodeName = aiString("Bone");
    channel->mNumPositionKeys = 2;
    channel->mPositionKeys = new aiVectorKey[2]{{0.0, {0, 0, 0}}, {1.0, {0, 1, 0}}};
    channel->mNumRotationKeys = 1;
    channel->mRotationKeys = new aiQuatKey[1]{{0.0, aiQuaternion()}};
    channel->mNumScalingKeys = 1;
    channel->mScalingKeys = new aiVectorKey[1]{{0.0, {1, 1, 1}}};
    aiAnimation* animation = new aiAnimation();
    animation->mName = aiString("Walk");
    animation->mDuration = 1.0;
    animation->mTicksPerSecond = 1.0;
    animation->mNumChannels = 1;
    animation->mChannels = new aiNodeAnim*[1]{channel};
    scene->mNumAnimations = 1;
    scene->mAnimations = new aiAnimation*[1]{animation};
    scene->mNumCameras = 1;
    scene->mCameras = new aiCamera*[1]{new aiCamera()};
    scene->mCameras[0]->mName = aiString("Cam");
    scene->mNumLights = 1;
    scene->mLights = new aiLight*[1]{new aiLight()};
    scene->mLights[0]->mName = aiString("Lamp");
    scene->mLights[0]->mType = aiLightSource_POINT;
    scene->mLights[0]->mColorDiffuse = aiColor3D(4, 1, 1);
    return scene;
}

// The scene file under its own name and the side file under every other.
class SideArchive : public MemoryArchive
{
public:
    std::string side;
    bool hasSide = false;

    bool Exists(const char* name) override { return MemoryArchive::Exists(name) || hasSide; }
    uint32_t GetSize(const char* name) override
    {
        return MemoryArchive::Exists(name) || !hasSide ? MemoryArchive::GetSize(name)
                                                       : static_cast<uint32_t>(side.size());
    }
    bool Read(const char* name, void* buffer, uint32_t n) override
    {
        if (MemoryArchive::Exists(name) || !hasSide)
            return MemoryArchive::Read(name, buffer, n);
        if (n > side.size())
            return false;
        if (n)
            memcpy(buffer, side.data(), n);
        return true;
    }
};

std::vector<D3DXMATRIX> current, previous;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Small scenes of the importers that take a single file, for the folder
    // BRIVET_FUZZ_SEEDS names (the script copies small test models there as well).
    if (const char* folder = getenv("BRIVET_FUZZ_SEEDS"))
    {
        WriteSeed(folder, "cube.obj", 5,
                  "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 1\nvn 0 0 1\n"
                  "f 1/1/1 2/2/1 3/1/1 4/2/1\no second\nf 1 3 4\n");
        WriteSeed(folder, "triangle.iqm", 6, IqmFile().bytes);
        aiScene* scene = SmallScene();
        Assimp::Exporter exporter;
        const struct
        {
            const char* format;
            const char* name;
            int extension;
        } exports[] = {{"collada", "small.dae", 0}, {"assbin", "small.assbin", 2}};
        for (const auto& e : exports)
        {
            if (const aiExportDataBlob* blob = exporter.ExportToBlob(scene, e.format))
                WriteSeed(folder, e.name, e.extension, std::string(static_cast<const char*>(blob->data), blob->size));
        }
        delete scene;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 0x7FFFFFFF)
        return 0;
    const std::string path = std::string("scene.") + Extensions[(data[0] & 0x7F) % ExtensionCount];
    const char* bytes = reinterpret_cast<const char*>(data) + 1;
    size_t length = size - 1;
    SideArchive archive;
    if ((data[0] & 0x80) && length >= 4)
    {
        const size_t stated = data[1] | data[2] << 8 | data[3] << 16 | static_cast<size_t>(data[4]) << 24;
        bytes += 4;
        length -= 4;
        const size_t file = stated < length ? stated : length;
        archive.side.assign(bytes + file, length - file);
        archive.hasSide = true;
        length = file;
    }
    archive.entries[path] = std::string(bytes, length);
    Assimp::Importer importer;
    const aiScene* scene = SceneData::Import(importer, &archive, path.c_str());
    if (!scene)
        return 0;
    SceneData records;
    records.LoadAnimations(scene);
    records.LoadNodes(scene);
    records.LoadCameras(scene);
    records.LoadLights(scene);
    for (uint32_t m = 0; m < scene->mNumMeshes; ++m)
    {
        SceneData::MeshData mesh;
        if (records.BuildMeshData(scene->mMeshes[m], m, mesh))
        {
            CHECK(mesh.vertices != nullptr && mesh.indices != nullptr);
        }
    }
    CHECK(records.nodes.GetCount() == records.nodeCounter);
    current.assign(records.nodeCounter, D3DXMATRIX());
    previous.assign(records.nodeCounter, D3DXMATRIX());
    records.AnimateNodes(0.5f, 0.25f, current.data(), previous.data(), records.nodeCounter);
    return 0;
}
