// The factory of the "AmbientLight3D" effect.
#include "repository/Effects/AmbientLight3DFactory.h"

#include "repository/Effects/AmbientLight3D.h"

AmbientLight3DFactory AmbientLight3DFactory::instance;

Brivet::Base::StaticString<64> AmbientLight3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("AmbientLight3D");
}

Brivet::Assets::Effect::IEffect* AmbientLight3DFactory::Create(Brivet::Demo* demo)
{
    return new AmbientLight3D(demo);
}
