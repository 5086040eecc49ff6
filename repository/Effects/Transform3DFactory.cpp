// The factory of the "Transform3D" effect.
#include "repository/Effects/Transform3DFactory.h"

#include "repository/Effects/Transform3D.h"

Transform3DFactory Transform3DFactory::instance;

Brivet::Base::StaticString<64> Transform3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Transform3D");
}

Brivet::Assets::Effect::IEffect* Transform3DFactory::Create(Brivet::Demo* demo)
{
    return new Transform3D(demo);
}
