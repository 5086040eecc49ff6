// The scene effect: declarations that follow the bound scene, node animation, and the
// chunk's camera, lights and entries.
#include "repository/Effects/Scene3D.h"

#include "Parameters/IParameter.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/Log.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/RenderChunk.h"
#include "repository/Resources/Scene.h"

#include <cstring>

using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{
const StaticString<64> OverrideInput("Material Override");
const StaticString<64> SceneInput("Scene");
const StaticString<64> EffectType("effect");

// The new value of every variation program of every pass of effect at time.
void UpdatePrograms(ReflectedShaderState& state, Effect* effect, float time)
{
    const uint32_t count = effect->GetProgramCount();
    for (uint32_t p = 0; p < effect->passes.GetCount(); ++p)
    {
        Brivet::Graphics::Program** programs = effect->passes[p].programs;
        for (uint32_t k = 0; programs && k < count; ++k)
            state.Update(programs[k], time);
    }
}

} // namespace

Scene3D::Scene3D(Brivet::Demo* demo)
    : ChunkProducerBase(demo), scene(nullptr), overrideEffect(nullptr), sceneTime(nullptr), camera(nullptr),
      enabled(nullptr), currentWorld(nullptr), previousWorld(nullptr), matrixCount(0)
{
}

Scene3D::~Scene3D()
{
    ClearMaterialOverrides();
    delete[] currentWorld;
    delete[] previousWorld;
}

void Scene3D::ClearMaterialOverrides()
{
    for (uint32_t i = 0; i < materialOverrides.GetCount(); ++i)
        delete materialOverrides.GetEntry(i).value;
    materialOverrides.Clear();
}

void Scene3D::OnInputsChanged()
{
    RetireInputs();
    RetireParameters();
    enabled = AddParameter<bool>("Enabled", true);
    sceneTime = AddParameter<float>("Scene Time", 0.0f);
    camera = AddParameter<unsigned int>("Camera", 0u);
    DeclareInput(OverrideInput, EffectType);
    DeclareInput(SceneInput, StaticString<64>("scene"));
    ClearMaterialOverrides();

    // The graph binds only resources of an input's type.
    Input* input = nullptr;
    scene = inputs.Find(SceneInput, &input) ? static_cast<Scene*>(input->bound) : nullptr;
    overrideEffect = inputs.Find(OverrideInput, &input) ? static_cast<Effect*>(input->bound) : nullptr;

    if (scene)
    {
        SceneData::ForEachSlot(scene->spotLights, [&](const SceneData::SpotLight& light) {
            StaticString<64> name;
            name.Format("Enable Spot Light %d", static_cast<int>(light.id));
            lightSwitches.Set(light.id, AddParameter<bool>(name, true));
        });
        SceneData::ForEachSlot(scene->pointLights, [&](const SceneData::PointLight& light) {
            StaticString<64> name;
            name.Format("Enable Point Light %d", static_cast<int>(light.id));
            lightSwitches.Set(light.id, AddParameter<bool>(name, true));
        });
    }

    if (overrideEffect)
    {
        overrideState.Declare(String(""), this, overrideEffect);
        overrideState.ResolveInputs(this, overrideEffect);
    }

    if (!output || !scene)
        return;
    SceneData::ForEachSlot(scene->materials, [&](const Scene::Material& material) {
        if (material.name.GetLength() == 0)
            return;
        // A name that does not fit an input name would be cut into one that may belong to
        // another material: such a material gets no override of its own.
        if (material.name.GetLength() > MaxMaterialNameLength)
        {
            Log::Warning("[Scene3D] Material name too long for an override input: '%s'", material.name.GetText());
            return;
        }
        MaterialOverride** found = nullptr;
        MaterialOverride* record = nullptr;
        if (materialOverrides.Find(material.id, &found))
        {
            record = *found;
        }
        else
        {
            record = new MaterialOverride();
            materialOverrides.Set(material.id, record);
        }

        StaticString<64> switchName;
        switchName.Format("Override mtl '%s'", material.name.GetText());
        Brivet::Parameters::Parameter<bool>* on = AddParameter<bool>(switchName, false);
        on->SetFlagA(false);
        on->SetNotifyOnChange(true);

        record->effect = nullptr;
        if (!on->GetValue(0.0f))
            return;
        const StaticString<64> inputName(material.name.GetText());
        DeclareInput(inputName, EffectType);
        Input* materialInput = nullptr;
        if (inputs.Find(inputName, &materialInput) && materialInput->bound)
        {
            record->effect = static_cast<Effect*>(materialInput->bound);
            record->state.Declare(material.name, this, record->effect);
            record->state.ResolveInputs(this, record->effect);
        }
    });
}

void Scene3D::OnInputsResolved()
{
    delete[] currentWorld;
    delete[] previousWorld;
    currentWorld = nullptr;
    previousWorld = nullptr;
    matrixCount = 0;
    if (scene && scene->nodes.GetCount() > 0)
    {
        matrixCount = scene->nodes.GetCount();
        currentWorld = new D3DXMATRIX[matrixCount];
        previousWorld = new D3DXMATRIX[matrixCount];
        for (uint32_t i = 0; i < matrixCount; ++i)
        {
            D3DXMatrixIdentity(&currentWorld[i]);
            D3DXMatrixIdentity(&previousWorld[i]);
        }
    }
    BuildEntries(GetOutputChunk());
}

void Scene3D::OnParameterChanged(Brivet::Parameters::IParameter*)
{
    changed = true;
}

void Scene3D::OnResize()
{
    if (overrideEffect)
        overrideState.ResolveInputs(this, overrideEffect);
    for (uint32_t i = 0; i < materialOverrides.GetCount(); ++i)
    {
        MaterialOverride* record = materialOverrides.GetEntry(i).value;
        if (record->effect)
            record->state.ResolveInputs(this, record->effect);
    }
}

void Scene3D::Render(const Brivet::RenderContext& context)
{
    RenderChunk* chunk = EmptyOutputChunk();
    if (!chunk)
        return;
    const float time = context.time;
    if (enabled && !enabled->GetValue(time))
        return;
    if (overrideEffect)
        UpdatePrograms(overrideState, overrideEffect, time);
    Animate(time);
    EmitCameraAndLights(chunk, time);
    BuildEntries(chunk);
}

void Scene3D::Animate(float time)
{
    if (!scene)
        return;
    const float s = sceneTime ? sceneTime->GetValue(time) : 0.0f;
    const float sPrevious = sceneTime ? sceneTime->GetValue(time - PreviousSampleOffset) : 0.0f;
    scene->AnimateNodes(s, sPrevious, currentWorld, previousWorld, matrixCount);
}

void Scene3D::EmitCameraAndLights(RenderChunk* chunk, float time)
{
    chunk->camera.priority = RenderChunk::PriorityNone;
    chunk->ambient.priority = RenderChunk::PriorityNone;
    chunk->pointLights.Empty();
    chunk->spotLights.Empty();
    chunk->directionalLights.Empty();
    chunk->areaSphereLights.Empty();
    if (!scene)
        return;

    // Camera
    const SceneData::Camera* sceneCamera = nullptr;
    const uint32_t cameraId = camera ? camera->GetValue(time) : 0u;
    if (scene->cameras.Find(cameraId, &sceneCamera) && sceneCamera->nodeId < matrixCount)
    {
        RenderChunk::CameraBlock& block = chunk->camera;
        block.priority = RenderChunk::PriorityScene;
        block.orthographic = 0;
        block.fieldOfView = sceneCamera->fieldOfView;
        block.nearPlane = sceneCamera->nearPlane;
        block.farPlane = sceneCamera->farPlane;
        D3DXMATRIX placed;
        D3DXMatrixMultiply(&placed, &sceneCamera->orientation, &currentWorld[sceneCamera->nodeId]);
        D3DXMatrixInverse(&block.view, nullptr, &placed);
        D3DXMatrixMultiply(&placed, &sceneCamera->orientation, &previousWorld[sceneCamera->nodeId]);
        D3DXMatrixInverse(&block.previousView, nullptr, &placed);
        const D3DXVECTOR4 origin(0.0f, 0.0f, 0.0f, 1.0f);
        D3DXVec4Transform(&block.position, &origin, &currentWorld[sceneCamera->nodeId]);
    }

    // Ambient colour
    chunk->ambient.priority = RenderChunk::PriorityScene;
    chunk->ambient.colour = D3DXVECTOR3(scene->ambientColour.x, scene->ambientColour.y, scene->ambientColour.z);

    // A light without a node stands at its own position.
    auto lightToWorld = [&](uint32_t nodeId, const D3DXVECTOR3& position, D3DXMATRIX* out) {
        if (nodeId < matrixCount)
            *out = currentWorld[nodeId];
        else
            D3DXMatrixTranslation(out, position.x, position.y, position.z);
    };
    auto switchedOn = [&](uint32_t id) {
        Brivet::Parameters::Parameter<bool>** found = nullptr;
        return lightSwitches.Find(id, &found) && *found ? (*found)->GetValue(time) : true;
    };

    SceneData::ForEachSlot(scene->pointLights, [&](const SceneData::PointLight& light) {
        RenderChunk::PointLight* added = chunk->AddLight(chunk->pointLights);
        if (!added)
            return;
        RenderChunk::PointLight& record = *added;
        record.enabled = switchedOn(light.id) ? 1 : 0;
        if (!record.enabled)
            return;
        record.castsShadow = light.castsShadows;
        lightToWorld(light.nodeId, light.position, &record.lightToWorld);
        record.attenuation =
            D3DXVECTOR3(light.attenuationConstant, light.attenuationLinear, light.attenuationQuadratic);
        record.colour = light.colour;
        record.radius = light.range;
    });
    SceneData::ForEachSlot(scene->spotLights, [&](const SceneData::SpotLight& light) {
        RenderChunk::SpotLight* added = chunk->AddLight(chunk->spotLights);
        if (!added)
            return;
        RenderChunk::SpotLight& record = *added;
        record.enabled = switchedOn(light.id) ? 1 : 0;
        if (!record.enabled)
            return;
        record.castsShadow = light.castsShadows;
        lightToWorld(light.nodeId, light.position, &record.lightToWorld);
        record.colour = light.colour;
        record.outerCone = light.outerCone;
        record.innerCone = light.innerCone;
    });
    SceneData::ForEachSlot(scene->directionalLights, [&](const SceneData::DirectionalLight& light) {
        RenderChunk::DirectionalLight* added = chunk->AddLight(chunk->directionalLights);
        if (!added)
            return;
        RenderChunk::DirectionalLight& record = *added;
        record.enabled = switchedOn(light.id) ? 1 : 0;
        if (!record.enabled)
            return;
        record.castsShadow = light.castsShadows;
        record.direction = light.direction;
        record.colour = light.colour;
    });
}

void Scene3D::BuildEntries(RenderChunk* chunk)
{
    if (!chunk)
        return;
    chunk->entries.Empty();
    if (!scene)
        return;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);

    for (uint32_t n = 0; n < scene->nodes.GetCount(); ++n)
    {
        const SceneData::Node& node = scene->nodes.GetEntry(n).value;
        const D3DXMATRIX& world = node.id < matrixCount ? currentWorld[node.id] : identity;
        const D3DXMATRIX& worldPrevious = node.id < matrixCount ? previousWorld[node.id] : identity;
        for (uint32_t meshId : node.meshIds)
        {
            Scene::Mesh* mesh = scene->FindMesh(meshId);
            if (!mesh)
                continue;
            RenderChunk::Entry* added = chunk->AddEntry();
            if (!added)
                return;
            RenderChunk::Entry& entry = *added;
            entry.geometry = mesh;
            entry.material = scene->FindMaterial(mesh->materialId);

            MaterialOverride** record = nullptr;
            if (materialOverrides.Find(mesh->materialId, &record) && (*record)->effect)
            {
                entry.effect = (*record)->effect;
                entry.state = &(*record)->state;
            }
            else
            {
                entry.effect = overrideEffect;
                entry.state = &overrideState;
            }
            entry.world = world;
            entry.previousWorld = worldPrevious;

            // Bones: offset × the bone node's world; identity for a bone the scene lacks
            // or one whose node no name matched.
            const uint32_t boneCount =
                mesh->boneIds.GetCount() < RenderChunk::MaxBones ? mesh->boneIds.GetCount() : RenderChunk::MaxBones;
            entry.boneCount = boneCount;
            for (uint32_t b = 0; b < boneCount; ++b)
            {
                const SceneData::Bone* bone = nullptr;
                if (scene->bones.Find(mesh->boneIds[b], &bone) && bone->nodeId < matrixCount)
                {
                    D3DXMatrixMultiply(&entry.bones[b], &bone->offset, &currentWorld[bone->nodeId]);
                    D3DXMatrixMultiply(&entry.previousBones[b], &bone->offset, &previousWorld[bone->nodeId]);
                }
                else
                {
                    entry.bones[b] = identity;
                    entry.previousBones[b] = identity;
                }
            }
            entry.boundsMin = mesh->boundsMin;
            entry.boundsMax = mesh->boundsMax;
        }
    }
}
