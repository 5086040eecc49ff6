// The factory of the "SpotLight3D" effect.
#include "repository/Effects/SpotLight3DFactory.h"

#include "repository/Effects/SpotLight3D.h"

SpotLight3DFactory SpotLight3DFactory::instance;

Brivet::Base::StaticString<64> SpotLight3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("SpotLight3D");
}

Brivet::Assets::Effect::IEffect* SpotLight3DFactory::Create(Brivet::Demo* demo)
{
    return new SpotLight3D(demo);
}
