// The factory of the "Camera3D" effect.
#include "repository/Effects/Camera3DFactory.h"

#include "repository/Effects/Camera3D.h"

Camera3DFactory Camera3DFactory::instance;

Brivet::Base::StaticString<64> Camera3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Camera3D");
}

Brivet::Assets::Effect::IEffect* Camera3DFactory::Create(Brivet::Demo* demo)
{
    return new Camera3D(demo);
}
