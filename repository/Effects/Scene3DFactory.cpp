// The factory of the "Scene3D" effect.
#include "repository/Effects/Scene3DFactory.h"

#include "repository/Effects/Scene3D.h"

Scene3DFactory Scene3DFactory::instance;

Brivet::Base::StaticString<64> Scene3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Scene3D");
}

Brivet::Assets::Effect::IEffect* Scene3DFactory::Create(Brivet::Demo* demo)
{
    return new Scene3D(demo);
}
