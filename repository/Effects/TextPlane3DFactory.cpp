// The factory of the "TextPlane3D" effect.
#include "repository/Effects/TextPlane3DFactory.h"

#include "repository/Effects/TextPlane3D.h"

TextPlane3DFactory TextPlane3DFactory::instance;

Brivet::Base::StaticString<64> TextPlane3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("TextPlane3D");
}

Brivet::Assets::Effect::IEffect* TextPlane3DFactory::Create(Brivet::Demo* demo)
{
    return new TextPlane3D(demo);
}
