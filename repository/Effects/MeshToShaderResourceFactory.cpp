// The factory of the "MeshToShaderResource" effect.
#include "repository/Effects/MeshToShaderResourceFactory.h"

#include "repository/Effects/MeshToShaderResource.h"

MeshToShaderResourceFactory MeshToShaderResourceFactory::instance;

Brivet::Base::StaticString<64> MeshToShaderResourceFactory::GetName()
{
    return Brivet::Base::StaticString<64>("MeshToShaderResource");
}

Brivet::Assets::Effect::IEffect* MeshToShaderResourceFactory::Create(Brivet::Demo* demo)
{
    return new MeshToShaderResource(demo);
}
