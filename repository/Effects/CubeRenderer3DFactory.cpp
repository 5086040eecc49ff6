// The factory of the "CubeRenderer3D" effect.
#include "repository/Effects/CubeRenderer3DFactory.h"

#include "repository/Effects/CubeRenderer3D.h"

CubeRenderer3DFactory CubeRenderer3DFactory::instance;

Brivet::Base::StaticString<64> CubeRenderer3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("CubeRenderer3D");
}

Brivet::Assets::Effect::IEffect* CubeRenderer3DFactory::Create(Brivet::Demo* demo)
{
    return new CubeRenderer3D(demo);
}
