// The factory of the "Instancer3D" effect.
#include "repository/Effects/Instancer3DFactory.h"

#include "repository/Effects/Instancer3D.h"

Instancer3DFactory Instancer3DFactory::instance;

Brivet::Base::StaticString<64> Instancer3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Instancer3D");
}

Brivet::Assets::Effect::IEffect* Instancer3DFactory::Create(Brivet::Demo* demo)
{
    return new Instancer3D(demo);
}
