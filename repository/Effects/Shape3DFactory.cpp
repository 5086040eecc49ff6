// The factory of the "Shape3D" effect.
#include "repository/Effects/Shape3DFactory.h"

#include "repository/Effects/Shape3D.h"

Shape3DFactory Shape3DFactory::instance;

Brivet::Base::StaticString<64> Shape3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Shape3D");
}

Brivet::Assets::Effect::IEffect* Shape3DFactory::Create(Brivet::Demo* demo)
{
    return new Shape3D(demo);
}
