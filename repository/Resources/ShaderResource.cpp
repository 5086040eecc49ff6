// The shader-resource holder.
#include "repository/Resources/ShaderResource.h"

#include "Compositing/Graph.h"

ShaderResource::ShaderResource(Brivet::Compositing::Graph* graph)
    : IResource(graph, graph ? graph->demo : nullptr), shaderResourceView(nullptr)
{
}

ShaderResource::~ShaderResource() = default;

void ShaderResource::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("shaderresource");
}

bool ShaderResource::Load(const char* path)
{
    return false;
}

ID3D11ShaderResourceView* ShaderResource::GetShaderResource()
{
    return shaderResourceView;
}
