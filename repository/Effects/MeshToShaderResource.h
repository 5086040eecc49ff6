// "MeshToShaderResource": hands the vertex buffer (a raw view of 32-bit words) or the index
// buffer of one mesh of a scene to its "shaderresource" output, so that an effect bound to
// that output reads mesh data in its shaders. The view stays the mesh's.
#pragma once

#include "Assets/Effect/IEffect.h"

class Scene;
class ShaderResource;

class MeshToShaderResource : public Brivet::Assets::Effect::IEffect
{
public:
    explicit MeshToShaderResource(Brivet::Demo* demo);

    bool Initialize() override; // output type "shaderresource", the declarations; true
    // Takes the scene bound to "Scene" and declares again.
    void OnInputsChanged() override;
    // Stored only when it is a plain shader resource: a buffer owns its view and would
    // release the mesh's.
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;
    // The output's view: the "Mesh Index"-th mesh in the scene's slot order, its index
    // view when "Use Index Buffer" is true; none without a scene or such a mesh.
    void Render(const Brivet::RenderContext& context) override;

private:
    ShaderResource* output; // borrowed
    Scene* scene;           // borrowed: the resource bound to "Scene"
    Brivet::Parameters::Parameter<bool>* useIndexBuffer;
    Brivet::Parameters::Parameter<unsigned int>* meshIndex;
};
