// The factory of the "Duplicate3D" effect.
#include "repository/Effects/Duplicate3DFactory.h"

#include "repository/Effects/Duplicate3D.h"

Duplicate3DFactory Duplicate3DFactory::instance;

Brivet::Base::StaticString<64> Duplicate3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Duplicate3D");
}

Brivet::Assets::Effect::IEffect* Duplicate3DFactory::Create(Brivet::Demo* demo)
{
    return new Duplicate3D(demo);
}
