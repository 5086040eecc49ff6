// The factory of the "PointLight3D" effect.
#include "repository/Effects/PointLight3DFactory.h"

#include "repository/Effects/PointLight3D.h"

PointLight3DFactory PointLight3DFactory::instance;

Brivet::Base::StaticString<64> PointLight3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("PointLight3D");
}

Brivet::Assets::Effect::IEffect* PointLight3DFactory::Create(Brivet::Demo* demo)
{
    return new PointLight3D(demo);
}
