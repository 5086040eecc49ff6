// The factory of the "AreaTubeLight3D" effect.
#include "repository/Effects/AreaTubeLight3DFactory.h"

#include "repository/Effects/AreaTubeLight3D.h"

AreaTubeLight3DFactory AreaTubeLight3DFactory::instance;

Brivet::Base::StaticString<64> AreaTubeLight3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("AreaTubeLight3D");
}

Brivet::Assets::Effect::IEffect* AreaTubeLight3DFactory::Create(Brivet::Demo* demo)
{
    return new AreaTubeLight3D(demo);
}
