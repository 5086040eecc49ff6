// The factory of the "Merge3D" effect.
#include "repository/Effects/Merge3DFactory.h"

#include "repository/Effects/Merge3D.h"

Merge3DFactory Merge3DFactory::instance;

Brivet::Base::StaticString<64> Merge3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Merge3D");
}

Brivet::Assets::Effect::IEffect* Merge3DFactory::Create(Brivet::Demo* demo)
{
    return new Merge3D(demo);
}
