// The factory of the "ComputedGeometry3D" effect.
#include "repository/Effects/ComputedGeometry3DFactory.h"

#include "repository/Effects/ComputedGeometry3D.h"

ComputedGeometry3DFactory ComputedGeometry3DFactory::instance;

Brivet::Base::StaticString<64> ComputedGeometry3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("ComputedGeometry3D");
}

Brivet::Assets::Effect::IEffect* ComputedGeometry3DFactory::Create(Brivet::Demo* demo)
{
    return new ComputedGeometry3D(demo);
}
