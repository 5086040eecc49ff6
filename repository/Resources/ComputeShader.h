// The resource of type "computeShader": one HLSL compute shader of the archive (".csh"),
// entry point "main". An optional "<metadata>" block names in "input" elements the shader
// variables that become parameters and inputs of the compute effects using it.
#pragma once

#include "Assets/Resource/IResource.h"
#include "repository/Resources/ShaderReflectionHostBase.h"

namespace Brivet::Graphics
{
class ComputeShader;
}

class ComputeShader : public Brivet::Assets::Resource::IResource, public ShaderReflectionHostBase
{
public:
    explicit ComputeShader(Brivet::Compositing::Graph* graph); // graph may be null (nothing loads then)
    // The compiled stage is deleted by Unload, which the resource manager runs first.
    ~ComputeShader() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "computeShader"
    // Reads the entry, compiles it as "cs_5_0" with the entry point "main", reads the
    // metadata's "input" elements when the text has a block, and reflects constant
    // buffer 0 and the bound resources. False (logged) on any failure.
    bool Load(const char* path) override;
    // The input names are forgotten and the compiled stage deleted.
    void Unload() override;

    Brivet::Graphics::ComputeShader* shader; // owned; null until loaded
};
