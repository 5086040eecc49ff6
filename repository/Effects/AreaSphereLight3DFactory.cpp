// The factory of the "AreaSphereLight3D" effect.
#include "repository/Effects/AreaSphereLight3DFactory.h"

#include "repository/Effects/AreaSphereLight3D.h"

AreaSphereLight3DFactory AreaSphereLight3DFactory::instance;

Brivet::Base::StaticString<64> AreaSphereLight3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("AreaSphereLight3D");
}

Brivet::Assets::Effect::IEffect* AreaSphereLight3DFactory::Create(Brivet::Demo* demo)
{
    return new AreaSphereLight3D(demo);
}
