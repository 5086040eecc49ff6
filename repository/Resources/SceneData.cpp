// The device-free part of the scene import: Assimp's records copied into the engine's.
#include "repository/Resources/SceneData.h"

#include "Base/StaticString.h"
#include "Rendering/MathRoutines.h"
#include "Utility/Assert.h"
#include "Utility/Log.h"
#include "repository/Resources/AssimpIO.h"
#include "repository/Resources/SceneFileCheck.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstring>
#include <new>

using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{
// Constructed before the entry point runs, destroyed at exit.
Assimp::Importer sharedImporter;

D3DXMATRIX Transposed(const aiMatrix4x4& m)
{
    return D3DXMATRIX(m.a1, m.b1, m.c1, m.d1, //
                      m.a2, m.b2, m.c2, m.d2, //
                      m.a3, m.b3, m.c3, m.d3, //
                      m.a4, m.b4, m.c4, m.d4);
}

D3DXVECTOR3 Vector(const aiVector3D& v)
{
    return D3DXVECTOR3(v.x, v.y, v.z);
}

D3DXVECTOR3 Colour(const aiColor3D& c)
{
    return D3DXVECTOR3(c.r, c.g, c.b);
}

String Name(const aiString& name)
{
    return String(name.C_Str(), name.length);
}

// True when text holds word (lower case) in any case of A to Z.
bool ContainsIgnoringCase(const char* text, const char* word)
{
    const size_t length = strlen(word);
    for (; *text; ++text)
    {
        size_t i = 0;
        for (; i < length; ++i)
        {
            char c = text[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != word[i])
                break;
        }
        if (i == length)
            return true;
    }
    return false;
}

// Byte offsets in a vertex.
constexpr uint32_t OffsetNormal = 12;
constexpr uint32_t OffsetTangent = 24;
constexpr uint32_t OffsetBitangent = 36;
constexpr uint32_t OffsetTexCoord0 = 48;
constexpr uint32_t OffsetTexCoord1 = 56;
constexpr uint32_t OffsetWeights = 64;
constexpr uint32_t OffsetBlendIndices = 80;

void PutFloats(uint8_t* vertex, uint32_t offset, const float* values, uint32_t count)
{
    memcpy(vertex + offset, values, sizeof(float) * count);
}
} // namespace

SceneData::MeshData::~MeshData()
{
    FreeCpuData();
}

void SceneData::MeshData::FreeCpuData()
{
    delete[] vertices;
    vertices = nullptr;
    if (vertexCount > 65535)
        delete[] static_cast<uint32_t*>(indices);
    else
        delete[] static_cast<uint16_t*>(indices);
    indices = nullptr;
}

SceneData::SceneData() : nodeCounter(0), ambientColour(0.0f, 0.0f, 0.0f, 0.0f) {}

SceneData::~SceneData() = default;

uint32_t SceneData::ImportFlags(const char* path)
{
    return path && strstr(path, ".assbin") ? 0 : PostProcessFlags;
}

Assimp::Importer& SceneData::SharedImporter()
{
    return sharedImporter;
}

const aiScene* SceneData::Import(Assimp::Importer& importer, Brivet::Utility::Archive::IArchive* archive,
                                 const char* path)
{
    if (!path)
        return nullptr;
    if (!SceneFileCheck::HasSceneExtension(path))
    {
        Log::Info("[assimp] '%s' is not named as a scene file", path);
        return nullptr;
    }
    importer.SetIOHandler(new AssimpIOSystem(archive));
    // Entries carry MaxBones bone matrices: meshes with more bones are split.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBBC_MAX_BONES, MaxBones);
    // Beyond the listed flags: the validation refuses a scene whose counts, indices or
    // references are out of range before any other step or the copy reads them.
    const aiScene* scene = importer.ReadFile(path, ImportFlags(path) | aiProcess_ValidateDataStructure);
    if (!scene)
        Log::Info("[assimp] %s", importer.GetErrorString());
    return scene;
}

void SceneData::LoadAnimations(const aiScene* scene)
{
    uint32_t id = 0;
    for (uint32_t a = 0; a < scene->mNumAnimations; ++a)
    {
        const aiAnimation* animation = scene->mAnimations[a];
        for (uint32_t c = 0; c < animation->mNumChannels; ++c)
        {
            const aiNodeAnim* channel = animation->mChannels[c];
            Animation record;
            record.id = id;
            record.nodeName = Name(channel->mNodeName);
            record.animationName = Name(animation->mName);
            record.duration = static_cast<float>(animation->mDuration);
            record.positionKeys.Reserve(channel->mNumPositionKeys);
            for (uint32_t k = 0; k < channel->mNumPositionKeys; ++k)
            {
                const aiVectorKey& key = channel->mPositionKeys[k];
                record.positionKeys.Add({static_cast<float>(key.mTime), key.mValue.x, key.mValue.y, key.mValue.z});
            }
            record.rotationKeys.Reserve(channel->mNumRotationKeys);
            for (uint32_t k = 0; k < channel->mNumRotationKeys; ++k)
            {
                const aiQuatKey& key = channel->mRotationKeys[k];
                D3DXQUATERNION q(key.mValue.x, key.mValue.y, key.mValue.z, key.mValue.w);
                D3DXQuaternionNormalize(&q, &q);
                record.rotationKeys.Add({static_cast<float>(key.mTime), q.x, q.y, q.z, q.w});
            }
            record.scalingKeys.Reserve(channel->mNumScalingKeys);
            for (uint32_t k = 0; k < channel->mNumScalingKeys; ++k)
            {
                const aiVectorKey& key = channel->mScalingKeys[k];
                record.scalingKeys.Add({static_cast<float>(key.mTime), key.mValue.x, key.mValue.y, key.mValue.z});
            }
            animations.Set(id, record);
            ++id;
        }
    }
}

void SceneData::LoadNodes(const aiScene* scene)
{
    nodeCounter = 0;
    if (!scene->mRootNode)
        return;
    const uint32_t dropped = LoadNode(scene->mRootNode, NoId, 0);
    if (dropped)
        Log::Warning("[scene] %u nodes deeper than %u levels dropped with their children", dropped, MaxNodeDepth);
}

uint32_t SceneData::LoadNode(const aiNode* node, uint32_t parentId, uint32_t depth)
{
    if (depth == MaxNodeDepth)
        return 1;
    Node record;
    record.id = nodeCounter++;
    record.name = Name(node->mName);
    record.meshIds.Reserve(node->mNumMeshes);
    for (uint32_t i = 0; i < node->mNumMeshes; ++i)
        record.meshIds.Add(node->mMeshes[i]);
    record.parentId = parentId;
    record.localTransform = Transposed(node->mTransformation);
    record.animationId = ChooseChannel(record.name.GetText());
    const uint32_t id = record.id;
    nodes.Set(id, record);
    uint32_t dropped = 0;
    for (uint32_t i = 0; i < node->mNumChildren; ++i)
        dropped += LoadNode(node->mChildren[i], id, depth + 1);
    return dropped;
}

uint32_t SceneData::ChooseChannel(const char* nodeName) const
{
    const String name(nodeName);
    uint32_t found = NoId;
    uint32_t matches = 0;
    ForEachSlot(animations, [&](const Animation& animation) {
        if (animation.nodeName.GetHashLower() == name.GetHashLower())
        {
            found = animation.id;
            ++matches;
        }
    });
    if (matches < 2)
        return found;

    // Several animations move this node: a camera node takes the camera's own action,
    // any other node an action that is not a camera's.
    const bool cameraNode = ContainsIgnoringCase(name.GetText(), "camera");
    const Animation* taken = nullptr;
    ForEachSlot(animations, [&](const Animation& animation) {
        if (animation.nodeName.GetHashLower() != name.GetHashLower())
            return;
        const bool cameraAction = strstr(animation.animationName.GetText(), "CameraAction") != nullptr;
        if (cameraAction == cameraNode)
            taken = &animation;
    });
    if (taken)
        found = taken->id;
    Log::Warning("[assimp] More than one suitable animation channel for node '%s'; taking a best guess with '%s'...",
                 name.GetText(), taken ? taken->animationName.GetText() : "<null?!>");
    return found;
}

uint32_t SceneData::FindNodeIgnoringCase(const String& name) const
{
    uint32_t found = NoId;
    ForEachSlot(nodes, [&](const Node& node) {
        if (node.name.GetHashLower() == name.GetHashLower())
            found = node.id;
    });
    return found;
}

uint32_t SceneData::FindNodeExact(const String& name) const
{
    uint32_t found = NoId;
    ForEachSlot(nodes, [&](const Node& node) {
        if (node.name.GetHash() == name.GetHash())
            found = node.id;
    });
    return found;
}

void SceneData::LoadCameras(const aiScene* scene)
{
    for (uint32_t i = 0; i < scene->mNumCameras; ++i)
    {
        const aiCamera* camera = scene->mCameras[i];
        Camera record;
        record.id = i;
        record.name = Name(camera->mName);
        record.fieldOfView = camera->mHorizontalFOV * 57.29578f;
        record.nearPlane = camera->mClipPlaneNear;
        record.farPlane = camera->mClipPlaneFar;
        record.position = Vector(camera->mPosition);
        record.lookAt = Vector(camera->mLookAt);
        record.up = Vector(camera->mUp);
        Brivet::Rendering::LookAtOrientation(&record.orientation, &record.position, &record.lookAt, &record.up);

        String underscoreTarget;
        underscoreTarget.Format("%s_Target", record.name.GetText());
        String dotTarget;
        dotTarget.Format("%s.Target", record.name.GetText());
        ForEachSlot(nodes, [&](const Node& node) {
            if (node.name.GetHashLower() == record.name.GetHashLower())
                record.nodeId = node.id;
            if (node.name.GetHash() == underscoreTarget.GetHash() || node.name.GetHash() == dotTarget.GetHash())
                record.targetNodeId = node.id;
        });
        cameras.Set(i, record);
    }
}

void SceneData::LoadLights(const aiScene* scene)
{
    for (uint32_t i = 0; i < scene->mNumLights; ++i)
    {
        const aiLight* light = scene->mLights[i];
        const String name = Name(light->mName);
        const uint8_t castsShadows = strstr(name.GetText(), "NOSHADOWS") ? 0 : 1;
        switch (light->mType)
        {
        case aiLightSource_POINT:
        {
            PointLight record;
            record.id = i;
            record.nodeId = FindNodeIgnoringCase(name);
            record.position = Vector(light->mPosition);
            record.attenuationConstant = light->mAttenuationConstant;
            record.attenuationLinear = light->mAttenuationLinear;
            record.attenuationQuadratic = light->mAttenuationQuadratic;
            record.colour = Colour(light->mColorDiffuse);
            float largest = record.colour.x;
            if (record.colour.y > largest)
                largest = record.colour.y;
            if (record.colour.z > largest)
                largest = record.colour.z;
            record.range = std::sqrt(largest > 0.0f ? largest : 0.0f) / std::sqrt(0.0001f);
            record.castsShadows = castsShadows;
            pointLights.Set(i, record);
            break;
        }
        case aiLightSource_SPOT:
        {
            SpotLight record;
            record.id = i;
            record.nodeId = FindNodeIgnoringCase(name);
            record.position = Vector(light->mPosition);
            record.colour = Colour(light->mColorDiffuse);
            record.outerCone = light->mAngleOuterCone;
            record.innerCone = light->mAngleInnerCone;
            record.castsShadows = castsShadows;
            spotLights.Set(i, record);
            break;
        }
        case aiLightSource_AMBIENT:
            // The fourth component is 1, so that materials keep their ambient alpha.
            ambientColour = D3DXVECTOR4(light->mColorAmbient.r, light->mColorAmbient.g, light->mColorAmbient.b, 1.0f);
            break;
        default: break; // directional, area and undefined lights are not imported
        }
    }
}

bool SceneData::BuildMeshData(const aiMesh* mesh, uint32_t meshId, MeshData& out)
{
    if (!mesh || mesh->mNumVertices == 0 || !mesh->mVertices)
        return false;

    // Triangles only: each face has its own index count (points and lines after SortByPType,
    // any polygon in a file imported without post-processing), and a face naming a vertex
    // the mesh does not have is dropped.
    const uint32_t vertexCount = mesh->mNumVertices;
    uint32_t triangles = 0;
    for (uint32_t f = 0; f < mesh->mNumFaces; ++f)
    {
        const aiFace& face = mesh->mFaces[f];
        if (face.mNumIndices == 3 && face.mIndices && face.mIndices[0] < vertexCount &&
            face.mIndices[1] < vertexCount && face.mIndices[2] < vertexCount)
            ++triangles;
    }
    if (triangles == 0)
        return false;

    const bool skinned = mesh->mNumBones > 0 && mesh->mBones;
    const uint32_t stride = skinned ? SkinnedStride : StaticStride;
    uint8_t* vertices = new (std::nothrow) uint8_t[static_cast<size_t>(vertexCount) * stride];
    const bool wide = vertexCount > 65535;
    void* indices = wide ? static_cast<void*>(new (std::nothrow) uint32_t[static_cast<size_t>(triangles) * 3])
                         : static_cast<void*>(new (std::nothrow) uint16_t[static_cast<size_t>(triangles) * 3]);
    if (!vertices || !indices)
    {
        delete[] vertices;
        if (wide)
            delete[] static_cast<uint32_t*>(indices);
        else
            delete[] static_cast<uint16_t*>(indices);
        return false;
    }
    memset(vertices, 0, static_cast<size_t>(vertexCount) * stride);

    out.FreeCpuData();
    out.meshId = meshId;
    out.materialId = mesh->mMaterialIndex;
    out.vertexStride = stride;
    out.vertexCount = vertexCount;
    out.triangleCount = triangles;
    out.vertices = vertices;
    out.indices = indices;

    // Vertices
    // The leading channels only (Assimp 6 counts every channel set, gaps included).
    const bool hasUv0 = mesh->mTextureCoords[0] != nullptr;
    const bool hasUv1 = hasUv0 && mesh->mTextureCoords[1] != nullptr;
    for (uint32_t v = 0; v < vertexCount; ++v)
    {
        uint8_t* vertex = vertices + static_cast<size_t>(v) * stride;
        PutFloats(vertex, 0, &mesh->mVertices[v].x, 3);
        if (mesh->mNormals)
            PutFloats(vertex, OffsetNormal, &mesh->mNormals[v].x, 3);
        if (mesh->mTangents)
            PutFloats(vertex, OffsetTangent, &mesh->mTangents[v].x, 3);
        if (mesh->mBitangents)
            PutFloats(vertex, OffsetBitangent, &mesh->mBitangents[v].x, 3);
        if (hasUv0)
            PutFloats(vertex, OffsetTexCoord0, &mesh->mTextureCoords[0][v].x, 2);
        if (hasUv1)
            PutFloats(vertex, OffsetTexCoord1, &mesh->mTextureCoords[1][v].x, 2);
    }

    // Bones: scene ids continue over the meshes; blend indices are the mesh's own.
    out.boneIds.Reserve(skinned ? mesh->mNumBones : 0);
    uint32_t overflow = 0;
    uint32_t overflowBone = 0;
    for (uint32_t b = 0; skinned && b < mesh->mNumBones; ++b)
    {
        const aiBone* bone = mesh->mBones[b];
        Bone record;
        record.id = bones.GetCount();
        record.nodeId = FindNodeIgnoringCase(Name(bone->mName));
        record.offset = Transposed(bone->mOffsetMatrix);
        bones.Set(record.id, record);
        out.boneIds.Add(record.id);

        uint32_t outside = 0;
        for (uint32_t w = 0; w < bone->mNumWeights; ++w)
        {
            const aiVertexWeight& weight = bone->mWeights[w];
            if (weight.mVertexId >= vertexCount)
            {
                ++outside;
                continue;
            }
            uint8_t* vertex = vertices + static_cast<size_t>(weight.mVertexId) * stride;
            float* weights = reinterpret_cast<float*>(vertex + OffsetWeights);
            uint32_t* blendIndices = reinterpret_cast<uint32_t*>(vertex + OffsetBlendIndices);
            uint32_t slot = 0;
            while (slot < MaxWeightsPerVertex && weights[slot] != 0.0f)
                ++slot;
            if (slot == MaxWeightsPerVertex)
            {
                // Counted and warned once below: an assertion box per weight would open
                // thousands of boxes for one unprocessed mesh.
                if (overflow++ == 0)
                    overflowBone = b;
                continue;
            }
            weights[slot] = weight.mWeight;
            blendIndices[slot] = b;
        }
        if (outside)
            Log::Warning("[scene] Bone '%s' weights %u vertices beyond the mesh's %u; they are dropped",
                         bone->mName.C_Str(), outside, vertexCount);
    }

    if (overflow)
        Log::Warning("[scene] Mesh '%s': %u bone weights beyond %u per vertex dropped (bone overflow on bone %u first)",
                     mesh->mName.C_Str(), overflow, MaxWeightsPerVertex, overflowBone);

    // Bounds
    D3DXComputeBoundingBox(reinterpret_cast<const D3DXVECTOR3*>(vertices), vertexCount, stride, &out.boundsMin,
                           &out.boundsMax);

    // Indices
    uint32_t written = 0;
    for (uint32_t f = 0; f < mesh->mNumFaces; ++f)
    {
        const aiFace& face = mesh->mFaces[f];
        if (face.mNumIndices != 3 || !face.mIndices || face.mIndices[0] >= vertexCount ||
            face.mIndices[1] >= vertexCount || face.mIndices[2] >= vertexCount)
            continue;
        for (uint32_t i = 0; i < 3; ++i, ++written)
        {
            if (wide)
                static_cast<uint32_t*>(indices)[written] = face.mIndices[i];
            else
                static_cast<uint16_t*>(indices)[written] = static_cast<uint16_t>(face.mIndices[i]);
        }
    }
    return true;
}

bool SceneData::GetTextureFileName(const aiMaterial* material, int textureType, String& out)
{
    aiString path;
    if (aiGetMaterialString(material, AI_MATKEY_TEXTURE(static_cast<aiTextureType>(textureType), 0), &path) !=
        aiReturn_SUCCESS)
        return false;
    const char* name = path.C_Str();
    if (const char* slash = strrchr(name, '\\'))
        name = slash + 1;
    if (const char* slash = strrchr(name, '/'))
        name = slash + 1;
    out = String(name);
    return true;
}

D3DXVECTOR3 SceneData::SampleVector(const Brivet::Base::Array<VectorKey>& keys, float keyTime)
{
    const uint32_t count = keys.GetCount();
    if (count == 0)
        return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    if (count == 1 || keyTime <= keys[0].time)
        return D3DXVECTOR3(keys[0].x, keys[0].y, keys[0].z);
    for (uint32_t i = 0; i + 1 < count; ++i)
    {
        const VectorKey& a = keys[i];
        const VectorKey& b = keys[i + 1];
        if (a.time <= keyTime && keyTime < b.time)
        {
            const float f = (keyTime - a.time) / (b.time - a.time);
            return D3DXVECTOR3(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f);
        }
    }
    const VectorKey& last = keys[count - 1];
    return D3DXVECTOR3(last.x, last.y, last.z);
}

D3DXQUATERNION SceneData::SampleRotation(const Brivet::Base::Array<QuaternionKey>& keys, float keyTime)
{
    const uint32_t count = keys.GetCount();
    if (count == 0)
        return D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f); // no rotation keys: no rotation
    if (count == 1 || keyTime <= keys[0].time)
        return D3DXQUATERNION(keys[0].x, keys[0].y, keys[0].z, keys[0].w);
    for (uint32_t i = 0; i + 1 < count; ++i)
    {
        const QuaternionKey& a = keys[i];
        const QuaternionKey& b = keys[i + 1];
        if (a.time <= keyTime && keyTime < b.time)
        {
            const D3DXQUATERNION qa(a.x, a.y, a.z, a.w);
            const D3DXQUATERNION qb(b.x, b.y, b.z, b.w);
            D3DXQUATERNION q;
            D3DXQuaternionSlerp(&q, &qa, &qb, (keyTime - a.time) / (b.time - a.time));
            return q;
        }
    }
    const QuaternionKey& last = keys[count - 1];
    return D3DXQUATERNION(last.x, last.y, last.z, last.w);
}

D3DXMATRIX* SceneData::ChannelTransform(D3DXMATRIX* out, const Animation& channel, float keyTime)
{
    const D3DXVECTOR3 position = SampleVector(channel.positionKeys, keyTime);
    const D3DXVECTOR3 scaling = SampleVector(channel.scalingKeys, keyTime);
    const D3DXQUATERNION rotation = SampleRotation(channel.rotationKeys, keyTime);
    D3DXMATRIX step;
    D3DXMatrixIdentity(out);
    D3DXMatrixMultiply(out, out, D3DXMatrixScaling(&step, scaling.x, scaling.y, scaling.z));
    D3DXMatrixMultiply(out, out, D3DXMatrixRotationQuaternion(&step, &rotation));
    D3DXMatrixMultiply(out, out, D3DXMatrixTranslation(&step, position.x, position.y, position.z));
    return out;
}

void SceneData::AnimateNodes(float s, float sPrevious, D3DXMATRIX* current, D3DXMATRIX* previous, uint32_t count) const
{
    if (!current || !previous)
        return;
    ForEachSlot(nodes, [&](const Node& node) {
        if (node.id >= count)
            return;
        D3DXMATRIX parentCurrent;
        D3DXMATRIX parentPrevious;
        if (node.parentId == NoId || node.parentId >= count)
        {
            D3DXMatrixIdentity(&parentCurrent);
            D3DXMatrixIdentity(&parentPrevious);
        }
        else
        {
            parentCurrent = current[node.parentId];
            parentPrevious = previous[node.parentId];
        }

        if (node.animationId == NoId)
        {
            D3DXMatrixMultiply(&current[node.id], &node.localTransform, &parentCurrent);
            D3DXMatrixMultiply(&previous[node.id], &node.localTransform, &parentPrevious);
            return;
        }
        const Animation* channel = nullptr;
        if (!animations.Find(node.animationId, &channel))
            return; // keeps its matrices
        D3DXMATRIX local;
        ChannelTransform(&local, *channel, s * channel->duration);
        D3DXMatrixMultiply(&current[node.id], &local, &parentCurrent);
        ChannelTransform(&local, *channel, sPrevious * channel->duration);
        D3DXMatrixMultiply(&previous[node.id], &local, &parentPrevious);
    });
}

void SceneData::ClearData()
{
    nodes.Clear();
    animations.Clear();
    cameras.Clear();
    pointLights.Clear();
    spotLights.Clear();
    directionalLights.Clear();
    bones.Clear();
    nodeCounter = 0;
    ambientColour = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
}
