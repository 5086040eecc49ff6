// The factory of the "DirectionalLight3D" effect.
#include "repository/Effects/DirectionalLight3DFactory.h"

#include "repository/Effects/DirectionalLight3D.h"

DirectionalLight3DFactory DirectionalLight3DFactory::instance;

Brivet::Base::StaticString<64> DirectionalLight3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("DirectionalLight3D");
}

Brivet::Assets::Effect::IEffect* DirectionalLight3DFactory::Create(Brivet::Demo* demo)
{
    return new DirectionalLight3D(demo);
}
