// The factory of the "ProceduralGeometry3D" effect.
#include "repository/Effects/ProceduralGeometry3DFactory.h"

#include "repository/Effects/ProceduralGeometry3D.h"

ProceduralGeometry3DFactory ProceduralGeometry3DFactory::instance;

Brivet::Base::StaticString<64> ProceduralGeometry3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("ProceduralGeometry3D");
}

Brivet::Assets::Effect::IEffect* ProceduralGeometry3DFactory::Create(Brivet::Demo* demo)
{
    return new ProceduralGeometry3D(demo);
}
