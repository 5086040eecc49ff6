// "Scene3D": turns an imported scene into a render chunk every time it renders: one entry
// per mesh of every scene node, at the node's transform animated over "Scene Time" (a
// fraction of each animation's duration), with up to 32 bone matrices; the scene camera
// that "Camera" names; the scene's lights, each point and spot light behind a switch; the
// ambient colour. Materials draw with the "Material Override" effect, or with an effect of
// their own bound to an input named after the material when its switch is on.
#pragma once

#include "Base/Dictionary.h"
#include "Rendering/D3DX10Math.h"
#include "repository/Effects/ChunkProducerBase.h"
#include "repository/Resources/ReflectedShaderState.h"

#include <cstdint>

class Effect;
class Scene;

class Scene3D : public ChunkProducerBase
{
public:
    // Names used as input names are StaticString<64>: a longer material name gets no input.
    static constexpr uint32_t MaxMaterialNameLength = 63;

    // A named material's own effect and the bindings of its variables, which are
    // parameters named "<material> - <variable>".
    struct MaterialOverride
    {
        Effect* effect = nullptr; // the resource bound to the input named after the material
        ReflectedShaderState state;
    };

    explicit Scene3D(Brivet::Demo* demo);
    ~Scene3D() override; // the material overrides, both matrix arrays

    // "Enabled", "Scene Time", "Camera", the inputs "Material Override" and "Scene", a
    // switch per spot and point light, the override effect's variables, then per named
    // material its switch and, when the switch is on at time 0, its input and variables.
    void OnInputsChanged() override;
    // One identity world matrix pair per scene node, then the entries once.
    void OnInputsResolved() override;
    void OnParameterChanged(Brivet::Parameters::IParameter* parameter) override; // sets changed
    void OnResize() override; // the override states' textures resolved again
    // The output emptied, then (when "Enabled") the animated nodes' camera, ambient
    // colour, lights and entries appended.
    void Render(const Brivet::RenderContext& context) override;

    // The node matrices for "Scene Time" at time and at time − 0.01.
    void Animate(float time);
    // The camera "Camera" names at time, the ambient colour and the lights.
    void EmitCameraAndLights(RenderChunk* chunk, float time);
    // The entry list rebuilt from the nodes' meshes at the current matrices.
    void BuildEntries(RenderChunk* chunk);
    // Destroys every material override record; the dictionary keeps its capacity.
    void ClearMaterialOverrides();

    Scene* scene;           // borrowed: the resource bound to "Scene"
    Effect* overrideEffect; // borrowed: the resource bound to "Material Override"
    ReflectedShaderState overrideState;
    Brivet::Parameters::Parameter<float>* sceneTime;
    Brivet::Parameters::Parameter<unsigned int>* camera;
    Brivet::Parameters::Parameter<bool>* enabled;
    // "Enable Spot Light %d" and "Enable Point Light %d" by the light's id.
    Brivet::Base::Dictionary<unsigned int, Brivet::Parameters::Parameter<bool>*> lightSwitches;
    Brivet::Base::Dictionary<unsigned int, MaterialOverride*> materialOverrides; // owned, by material id
    D3DXMATRIX* currentWorld; // owned: one per scene node, by node id
    D3DXMATRIX* previousWorld;
    uint32_t matrixCount;
};
