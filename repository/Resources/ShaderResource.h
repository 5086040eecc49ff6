// The resource of type "shaderresource": an empty holder for one shader-resource view that
// the effect producing it fills (a mesh's vertex or index buffer, for instance).
#pragma once

#include "Assets/Resource/IResource.h"

struct ID3D11ShaderResourceView;

class ShaderResource : public Brivet::Assets::Resource::IResource
{
public:
    explicit ShaderResource(Brivet::Compositing::Graph* graph); // graph may be null
    // The view belongs to its producer: nothing is released here.
    ~ShaderResource() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "shaderresource"
    bool Load(const char* path) override;                                  // false: the type has no files

    // The view, or null while no producer set one.
    virtual ID3D11ShaderResourceView* GetShaderResource();
    // Borrowed: the producer keeps the view alive while it is set.
    void SetShaderResource(ID3D11ShaderResourceView* view) { shaderResourceView = view; }

protected:
    ID3D11ShaderResourceView* shaderResourceView;
};
