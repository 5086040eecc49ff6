// The cube render-target factory.
#include "repository/Resources/CubeTextureRenderTargetFactory.h"

#include "repository/Resources/CubeTextureRenderTarget.h"

CubeTextureRenderTargetFactory CubeTextureRenderTargetFactory::instance;

bool CubeTextureRenderTargetFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("cubetexture");
    info.dynamic = true;
    return true;
}

Brivet::Assets::Resource::IResource* CubeTextureRenderTargetFactory::CreateDynamic(
    Brivet::Compositing::Graph* graph, const Brivet::Utility::XML::Node* xml)
{
    auto* cube = new CubeTextureRenderTarget(graph);
    if (!cube->CreateDynamic(xml))
    {
        delete cube;
        return nullptr;
    }
    return cube;
}
